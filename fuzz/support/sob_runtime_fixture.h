// The runtime the SOB loader harnesses fuzz against: 4 MiB of script memory, the sample game's
// module table, variables (both copies) and library, four natives and three host variables.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "authoring/sob_sample_game.h"
#include "script/sob_runtime.h"

namespace fuzzsob {

inline uint32_t Add(SobNativeArgs& args)
{
    return args.U32(0) + args.U32(1);
}
inline uint32_t Length(SobNativeArgs& args)
{
    return static_cast<uint32_t>(args.Str(0).size());
}
inline uint32_t Out(SobNativeArgs& args)
{
    args.Out32(0, args.Address());
    return 0;
}
// Marks read and choice bits of the current module through the runtime.
inline uint32_t Mark(SobNativeArgs& args)
{
    auto* rt = static_cast<CSobRuntime*>(args.Context());
    return rt->SetReadBit(args.U32(0), args.U32(1) != 0) + rt->SetChoiceBit(args.U32(0), args.U32(1) != 0);
}

inline const samples::SobSampleGame& Game()
{
    static samples::SobSampleGame game;
    static const bool made = samples::MakeSobSampleGame(&game);
    if (!made)
        __builtin_trap();
    return game;
}

// withTable / withVariables / withLibrary: which of the sample files to load.
inline std::unique_ptr<CSobRuntime> MakeRuntime(bool withTable, bool withVariables, bool withLibrary)
{
    const samples::SobSampleGame& game = Game();
    auto rt = std::make_unique<CSobRuntime>(4u << 20);
    for (SobNative native : {Add, Length, Out, Mark})
        rt->AddNative(native);
    for (int i = 0; i < 2; ++i)
        rt->RegisterVariable("host", rt->Memory().Allocate(4));
    if ((withTable && rt->LoadModuleTable(game.moduleTable.data(), game.moduleTable.size()) != 0) ||
        (withVariables && rt->LoadUserVariables(game.userVariables.data(), game.userVariables.size(), true, true) != 0) ||
        (withLibrary && rt->LoadFunctionLibrary(game.library.data(), game.library.size()) != 0))
        __builtin_trap();
    return rt;
}

} // namespace fuzzsob
