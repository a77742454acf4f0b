#include "natives/plugin_natives.h"

#include <string>

#include "files/archive.h"
#include "files/file_manager.h"
#include "files/spi_plugin.h"
#include "natives/native_args.h"

namespace {

// Word k as a path in the host's roots → false for null, a bad address (the call marked) or a
// path elsewhere: plug-ins are programs, loaded only from the game's own folders.
bool RootedPath(SobNativeArgs& args, uint32_t k, std::string* path)
{
    CScriptHostBase* host = NativeHost(args);
    const char* name = NativeOptionalString(args, k);
    if (args.Faulted() || name == nullptr || host == nullptr)
        return false;
    return host->ResolveScriptPath(name, path);
}

// The words from word 1 to the end of the argument block, at most kPluginWords of them.
struct WordBlock {
    DWORD words[kPluginWords] = {};
    uint32_t count = 0;
};

bool ReadWords(SobNativeArgs& args, WordBlock* block)
{
    uint32_t start = 0, size = 0;
    if (!args.Memory().FindBlock(args.Address(), &start, &size)) {
        args.MarkFault();
        return false;
    }
    const uint64_t end = static_cast<uint64_t>(start) + size;
    for (uint32_t k = 1; k <= kPluginWords && static_cast<uint64_t>(args.Address()) + 4ull * (k + 1) <= end; ++k)
        block->words[block->count++] = args.U32(k);
    return !args.Faulted();
}

// What the plug-in wrote into its block goes back to the words it was read from.
void WriteWords(SobNativeArgs& args, const WordBlock& block)
{
    for (uint32_t k = 0; k < block.count; ++k)
        args.Memory().Store32(args.Address() + 4 * (k + 1), block.words[k]);
}

} // namespace

uint32_t NativeLoadDecoderPlugin(SobNativeArgs& args)
{
    std::string path;
    const bool ok = RootedPath(args, 0, &path);
    if (args.Faulted() || g_pFileManager == nullptr)
        return 0;
    return ok ? static_cast<uint32_t>(g_pFileManager->LoadDecoderPlugin(path.c_str())) : 1;
}

uint32_t NativeLoadDecoderFolder(SobNativeArgs& args)
{
    std::string path;
    const bool ok = RootedPath(args, 0, &path);
    if (args.Faulted() || g_pFileManager == nullptr)
        return 0;
    return static_cast<uint32_t>(ok ? g_pFileManager->LoadDecoderFolder(path.c_str()) : -1);
}

uint32_t NativeUnloadDecoders(SobNativeArgs& args)
{
    const int32_t type = args.I32(0);
    if (args.Faulted() || g_pFileManager == nullptr)
        return 0;
    if (type == -1)
        g_pFileManager->UnloadAllDecoders();
    else
        g_pFileManager->UnloadDecoderType(static_cast<DWORD>(type));
    return 0;
}

uint32_t NativeCallDecoder(SobNativeArgs& args)
{
    const DWORD type = args.U32(0);
    WordBlock block;
    if (args.Faulted() || !ReadWords(args, &block))
        return 0;
    PluginAssistFunc assist = g_pFileManager != nullptr ? g_pFileManager->FindDecoderByType(type) : nullptr;
    if (assist == nullptr)
        return static_cast<uint32_t>(-2);
    const DWORD answer = assist(block.words);
    WriteWords(args, block);
    return answer;
}

uint32_t NativeQueryArchive(SobNativeArgs& args)
{
    const int32_t id = args.I32(0);
    WordBlock block;
    if (args.Faulted() || !ReadWords(args, &block))
        return 0;
    CArchive* archive = g_pFileManager != nullptr ? g_pFileManager->GetMountArchive(id, 0) : nullptr;
    if (archive == nullptr)
        return static_cast<uint32_t>(-3);
    const int answer = archive->Query(block.words, block.count);
    WriteWords(args, block);
    return static_cast<uint32_t>(answer);
}

uint32_t NativeLoadSpiPlugin(SobNativeArgs& args)
{
    std::string path;
    const bool ok = RootedPath(args, 0, &path);
    if (args.Faulted())
        return 0;
    return ok ? static_cast<uint32_t>(LoadSPIPlugin(path.c_str(), true, true)) : 1;
}

uint32_t NativeLoadSpiFolder(SobNativeArgs& args)
{
    std::string path;
    const bool ok = RootedPath(args, 0, &path);
    if (args.Faulted())
        return 0;
    return static_cast<uint32_t>(ok ? LoadSPIFolder(path.c_str(), true, true) : -1);
}
