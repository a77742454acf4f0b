// Conventions shared by every native over SobNativeArgs: the host behind a call, and the order
// "check, then act" (every word, view and span of a call is resolved before any effect; a call
// marked faulted returns at once and the machine stops with its memory fault).
#pragma once

#include "natives/script_host_base.h"
#include "script/sob_native_args.h"

// The host whose table the calling machine uses, or null (a bare runtime or no context).
inline CScriptHostBase* NativeHost(SobNativeArgs& args)
{
    return dynamic_cast<CScriptHostBase*>(static_cast<CSobRuntime*>(args.Context()));
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
