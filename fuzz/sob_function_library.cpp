// Fuzzes CSobRuntime::LoadFunctionLibrary (FUNC_LIB.SOB): the first byte picks the input as the
// whole file, or the sample game's library with the rest as (u16 position, byte) patches. A
// refused library leaves script memory as it was; a loaded one links and runs the sample MAIN for
// at most 10,000 instructions.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/sob_runtime_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const samples::SobSampleGame& game = fuzzsob::Game();
    std::vector<uint8_t> file;
    if ((data[0] & 1) == 0) {
        file.assign(data + 1, data + size);
    } else {
        file = game.library;
        for (size_t i = 1; i + 3 <= size && !file.empty(); i += 3)
            file[(data[i] | data[i + 1] << 8) % file.size()] = data[i + 2];
    }
    std::unique_ptr<CSobRuntime> rt = fuzzsob::MakeRuntime(true, true, false);
    const uint64_t allocated = rt->Memory().AllocatedBytes();
    if (rt->LoadFunctionLibrary(file.data(), file.size()) != 0) {
        if (rt->Memory().AllocatedBytes() != allocated)
            __builtin_trap();
        return 0;
    }
    if (rt->LoadModuleBytes("SCRIPT\\MAIN.SOB", game.main.data(), game.main.size(), nullptr) != 0)
        return 0;
    rt->Machine().SetInstructionBudget(10000);
    const int run = rt->Machine().Run();
    if (run < 0 || run > 3)
        __builtin_trap();
    rt->UnloadModule();
    return 0;
}
