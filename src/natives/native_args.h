// Conventions shared by every native over SobNativeArgs: the host behind a call, and the order
// "check, then act" (every word, view and span of a call is resolved before any effect; a call
// marked faulted returns at once and the machine stops with its memory fault).
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "natives/script_host_base.h"
#include "script/sob_native_args.h"

// The host whose table the calling machine uses, or null (a bare runtime or no context). The
// newest host is recognised by its address; others take the checked cast.
inline CScriptHostBase* NativeHost(SobNativeArgs& args)
{
    void* context = args.Context();
    if (context != nullptr && context == CScriptHostBase::NewestContext())
        return CScriptHostBase::Newest();
    return dynamic_cast<CScriptHostBase*>(static_cast<CSobRuntime*>(context));
}

// Word k as an optional string: 0 is null, any other word a checked view (marks the call when
// outside script memory or without a NUL). The view stays valid during the call.
inline const char* NativeOptionalString(SobNativeArgs& args, uint32_t k)
{
    if (args.IsNull(k))
        return nullptr;
    const std::string_view text = args.Str(k);
    // Str ends the view at the NUL inside script memory, so its data is a C string.
    return args.Faulted() ? nullptr : text.data();
}

// Where a native writes a length it computed itself (copies, formats, fills): the write must end
// inside the script-memory block that holds dst, or it would run over a neighbouring block.
// → the host bytes of [dst, dst + length); null with the call marked otherwise.
inline uint8_t* NativeBlockSpan(SobNativeArgs& args, uint32_t dst, uint32_t length)
{
    uint32_t start = 0, size = 0;
    if (!args.Memory().FindBlock(dst, &start, &size) || static_cast<uint64_t>(dst - start) + length > size) {
        args.MarkFault();
        return nullptr;
    }
    return args.Memory().Span(dst, length);
}

// Text the engine computed, copied with its NUL to a script buffer of unknown size: it must end
// inside the buffer's block → true; false with the call marked and nothing written otherwise.
inline bool NativeCopyText(SobNativeArgs& args, uint32_t buffer, std::string_view text)
{
    const uint32_t size = static_cast<uint32_t>(text.size() + 1);
    uint8_t* dst = NativeBlockSpan(args, buffer, size);
    if (dst == nullptr)
        return false;
    std::memcpy(dst, text.data(), text.size());
    dst[text.size()] = 0;
    return true;
}

// Out addresses in words [first, first + count): each 0 (not wanted) or a whole cell in script
// memory → true; false with the call marked at the first that is not, before anything is written.
inline bool NativeOutCellsOk(SobNativeArgs& args, uint32_t first, uint32_t count)
{
    for (uint32_t k = first; k < first + count; ++k) {
        const uint32_t at = args.U32(k);
        if (args.Faulted())
            return false;
        if (at != 0 && !args.Memory().Contains(at, 4)) {
            args.MarkFault();
            return false;
        }
    }
    return true;
}

// Stores value into the out cell of word k (checked by NativeOutCellsOk); 0 is not wanted.
inline void NativeStoreOutCell(SobNativeArgs& args, uint32_t k, uint32_t value)
{
    if (const uint32_t at = args.U32(k); at != 0)
        args.Memory().Store32(at, value);
}

// Release by cell: the handle in the 4-byte cell at script address `cell` goes to release, which
// answers 0 when it released it (the cell is then cleared) or its own code (2: the handle names
// nothing it may release; the cell keeps it). → 1 for a null cell or one holding 0; 0 with the
// call marked when the cell is outside script memory.
template <class Release>
uint32_t NativeReleaseByCell(SobNativeArgs& args, uint32_t cell, Release release)
{
    if (cell == 0)
        return 1;
    uint32_t handle = 0;
    if (!args.Memory().Load32(cell, &handle)) {
        args.MarkFault();
        return 0;
    }
    if (handle == 0)
        return 1;
    const int code = release(handle);
    if (code == 0)
        args.Memory().Store32(cell, 0);
    return static_cast<uint32_t>(code);
}
