#include "natives/stream_natives.h"

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "files/loader_thread.h"
#include "natives/native_args.h"
#include "natives/script_format.h"
#include "natives/script_host.h"

namespace {

CFileStream* Stream(SobNativeArgs& args, CScriptHostBase** hostOut = nullptr)
{
    CScriptHostBase* host = NativeHost(args);
    if (hostOut != nullptr)
        *hostOut = host;
    const uint32_t handle = args.U32(0);
    if (args.Faulted() || host == nullptr)
        return nullptr;
    return host->Object<CFileStream>(handle);
}

// The name of word k when it lies in the roots → null otherwise (or for a bad address).
const char* RootedName(SobNativeArgs& args, uint32_t k)
{
    CScriptHostBase* host = NativeHost(args);
    const char* name = NativeOptionalString(args, k);
    std::string full;
    if (args.Faulted() || name == nullptr || host == nullptr || !host->ResolveScriptPath(name, &full))
        return nullptr;
    return name;
}

// 127, 129, 131: stream, name → the open's code; 5 for no stream or a name outside the roots.
template <DWORD (CFileStream::*Op)(const char*)>
uint32_t OpenByName(SobNativeArgs& args)
{
    CFileStream* stream = Stream(args);
    const char* name = RootedName(args, 1);
    if (args.Faulted())
        return 0;
    if (stream == nullptr || name == nullptr)
        return 5;
    return (stream->*Op)(name);
}

void ForgetPath(CScriptHostBase* host, const CFileStream* stream)
{
    if (host != nullptr && stream != nullptr)
        host->ReleaseMirror(const_cast<CFileStream*>(stream)->GetPath());
}

} // namespace

uint32_t NativeStreamNew(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    if (host == nullptr)
        return 0;
    std::unique_ptr<CFileStream> made(new (std::nothrow) CFileStream);
    if (made == nullptr)
        return 0;
    CFileStream* stream = g_ScriptFileStreams.Add(std::move(made));
    return stream == nullptr ? 0 : host->ObjectHandle(stream);
}

uint32_t NativeStreamRelease(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t cell = args.U32(0);
    uint32_t handle = 0;
    if (args.Faulted())
        return 0;
    if (cell == 0)
        return 1;
    if (!args.Memory().Load32(cell, &handle) || !args.Memory().Contains(cell, 4)) {
        args.MarkFault();
        return 0;
    }
    if (handle == 0)
        return 1;
    CFileStream* stream = host == nullptr ? nullptr : host->Object<CFileStream>(handle);
    if (stream == nullptr)
        return 2; // not listed
    ForgetPath(host, stream);
    const int result = g_ScriptFileStreams.Release(stream);
    if (result == 0)
        args.Memory().Store32(cell, 0);
    return static_cast<uint32_t>(result);
}

uint32_t NativeStreamReleaseAll(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    g_ScriptFileStreams.ForEach([host](const CFileStream* stream) { ForgetPath(host, stream); });
    g_ScriptFileStreams.ReleaseAll();
    return 0;
}

uint32_t NativeStreamOpenInMemory(SobNativeArgs& args)
{
    return OpenByName<&CFileStream::OpenInMemory>(args);
}

uint32_t NativeStreamOpenEntry(SobNativeArgs& args)
{
    CFileStream* stream = Stream(args);
    const int32_t id = args.I32(1), index = args.I32(2);
    const char* name = NativeOptionalString(args, 3); // an entry's name, not a file on disk
    if (args.Faulted())
        return 0;
    if (stream == nullptr)
        return 5;
    return stream->OpenArchiveEntry(id, index, name);
}

uint32_t NativeStreamOpen(SobNativeArgs& args)
{
    return OpenByName<&CFileStream::Open>(args);
}

uint32_t NativeStreamCreate(SobNativeArgs& args)
{
    CFileStream* stream = Stream(args);
    const char* name = RootedName(args, 1);
    const bool replace = (args.U32(2) & 0xFF) != 0;
    if (args.Faulted())
        return 0;
    if (stream == nullptr || name == nullptr)
        return 5;
    return stream->Create(name, replace);
}

uint32_t NativeStreamOpenReadWrite(SobNativeArgs& args)
{
    return OpenByName<&CFileStream::OpenReadWrite>(args);
}

uint32_t NativeStreamClose(SobNativeArgs& args)
{
    if (CFileStream* stream = Stream(args))
        stream->Close();
    return 0;
}

uint32_t NativeStreamBuffer(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CFileStream* stream = Stream(args, &host);
    if (stream == nullptr)
        return 0;
    const void* buffer = stream->GetBuffer();
    return buffer == nullptr ? 0 : host->MirrorBytes(stream, buffer, stream->GetSize());
}

uint32_t NativeStreamSize(SobNativeArgs& args)
{
    CFileStream* stream = Stream(args);
    return stream == nullptr ? 0 : stream->GetSize();
}

uint32_t NativeStreamPath(SobNativeArgs& args)
{
    CScriptHostBase* host = nullptr;
    CFileStream* stream = Stream(args, &host);
    if (stream == nullptr)
        return 0;
    return host->MirrorString(stream->GetPath(), stream->GetPath());
}

uint32_t NativeStreamTell(SobNativeArgs& args)
{
    CFileStream* stream = Stream(args);
    return stream == nullptr ? UINT32_MAX : stream->Tell();
}

uint32_t NativeStreamSeekSet(SobNativeArgs& args)
{
    CFileStream* stream = Stream(args);
    const uint32_t position = args.U32(1);
    if (args.Faulted())
        return 0;
    return stream == nullptr ? 5 : stream->SeekSet(position);
}

uint32_t NativeStreamSeekCurrent(SobNativeArgs& args)
{
    CFileStream* stream = Stream(args);
    const int32_t delta = args.I32(1);
    if (args.Faulted())
        return 0;
    return stream == nullptr ? 5 : stream->SeekCurrent(delta);
}

uint32_t NativeStreamRead(SobNativeArgs& args)
{
    CFileStream* stream = Stream(args);
    const uint32_t buffer = args.U32(1), n = args.U32(2);
    if (args.Faulted() || stream == nullptr || n == 0)
        return 0;
    uint8_t* out = NativeBlockSpan(args, buffer, n);
    return out == nullptr ? 0 : stream->Read(out, n);
}

uint32_t NativeStreamReadLine(SobNativeArgs& args)
{
    CFileStream* stream = Stream(args);
    const uint32_t buffer = args.U32(1);
    uint32_t size = args.U32(2);
    if (args.Faulted() || stream == nullptr)
        return 0;
    if (size == 0)
        size = 256;
    uint8_t* out = NativeBlockSpan(args, buffer, size);
    return out == nullptr ? 0 : stream->ReadLine(reinterpret_cast<char*>(out), size);
}

uint32_t NativeStreamWrite(SobNativeArgs& args)
{
    CFileStream* stream = Stream(args);
    const uint32_t n = args.U32(2);
    if (args.Faulted() || stream == nullptr || n == 0)
        return 0;
    const uint8_t* bytes = args.Span(1, n); // a read past memory faults
    return bytes == nullptr ? 0 : stream->Write(bytes, n);
}

uint32_t NativeStreamPrintf(SobNativeArgs& args)
{
    CFileStream* stream = Stream(args);
    if (args.Faulted() || stream == nullptr)
        return 0;
    std::string text;
    FormatScriptText(args, 1, 2, 1023, &text); // cut at 1,023 bytes as the 1,024-byte buffer was
    if (args.Faulted() || text.empty())
        return 0;
    return stream->Write(text.data(), static_cast<DWORD>(text.size()));
}

namespace {

// One mirror source per slot, so reloading a slot refreshes its block instead of adding one.
char g_SlotMirrorKeys[65536];

} // namespace

uint32_t NativeLoaderAlloc(SobNativeArgs& args)
{
    const uint32_t n = args.U32(0) & 0xFFFF;
    if (args.Faulted())
        return 0;
    if (g_pScriptLoader == nullptr)
        g_pScriptLoader = new (std::nothrow) CLoaderThread;
    if (g_pScriptLoader == nullptr)
        return 1; // no memory
    const int result = g_pScriptLoader->AllocSlots(n); // stops a running batch first
    g_ScriptLoaderNames.clear();
    return static_cast<uint32_t>(result);
}

uint32_t NativeLoaderStart(SobNativeArgs& args)
{
    const WORD first = static_cast<WORD>(args.U32(0) & 0xFFFF);
    const uint32_t count = args.U32(1);
    const uint32_t list = args.U32(2);
    if (args.Faulted())
        return 0;
    if (count == 0 || count > 0xFFFF || g_pScriptLoader == nullptr)
        return 1; // a bad range or no slots
    // Every name is read (and copied: the batch outlives the call) before the loader changes.
    const uint8_t* words = args.Memory().Span(list, count * 4);
    if (words == nullptr) {
        args.MarkFault();
        return 0;
    }
    std::vector<std::string> names(count);
    std::vector<bool> present(count, false);
    for (uint32_t k = 0; k < count; ++k) {
        uint32_t at = 0;
        args.Memory().Load32(list + 4 * k, &at);
        if (at == 0)
            continue;
        std::string_view name;
        if (!args.Memory().Str(at, &name)) {
            args.MarkFault();
            return 0;
        }
        names[k] = name;
        present[k] = true;
    }
    g_pScriptLoader->WaitIdle(); // the old names go only once no batch reads them
    g_ScriptLoaderNames = std::move(names);
    std::vector<const char*> pointers(count, nullptr);
    for (uint32_t k = 0; k < count; ++k) {
        if (present[k])
            pointers[k] = g_ScriptLoaderNames[k].c_str();
    }
    // The loader keeps the pointer array's entries until the batch is done; it copies the array.
    return static_cast<uint32_t>(g_pScriptLoader->StartLoading(first, static_cast<WORD>(count), pointers.data()));
}

uint32_t NativeLoaderWait(SobNativeArgs&)
{
    return g_pScriptLoader != nullptr && g_pScriptLoader->WaitIdle() ? 1 : 0;
}

uint32_t NativeLoaderClose(SobNativeArgs& args)
{
    const uint32_t first = args.U32(0) & 0xFFFF, count = args.U32(1);
    if (args.Faulted() || g_pScriptLoader == nullptr)
        return 0;
    if (count == 0) {
        g_pScriptLoader->FreeSlots();
        g_ScriptLoaderNames.clear();
        return 0;
    }
    return static_cast<uint32_t>(g_pScriptLoader->CloseSlots(first, count));
}

uint32_t NativeLoaderBuffer(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t slot = args.U32(0) & 0xFFFF;
    if (args.Faulted() || host == nullptr || g_pScriptLoader == nullptr)
        return 0;
    const void* buffer = g_pScriptLoader->GetSlotBuffer(slot);
    if (buffer == nullptr)
        return 0;
    return host->MirrorBytes(&g_SlotMirrorKeys[slot], buffer, g_pScriptLoader->GetSlotSize(slot));
}

uint32_t NativeLoaderSize(SobNativeArgs& args)
{
    const uint32_t slot = args.U32(0) & 0xFFFF;
    return args.Faulted() || g_pScriptLoader == nullptr ? 0 : g_pScriptLoader->GetSlotSize(slot);
}
