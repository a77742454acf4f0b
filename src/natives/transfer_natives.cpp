#include "natives/transfer_natives.h"

#include "script/script_transfer.h"

namespace {

uint32_t Request(SobNativeArgs& args, uint32_t state)
{
    std::string_view name;
    if (!args.IsNull(0))
        name = args.Str(0);
    if (args.Faulted()) // a bad address: the machine stops with its fault, nothing recorded
        return 0;
    SetScriptTransfer(state, name.data(), name.size());
    return 0;
}

} // namespace

uint32_t NativeCallScript(SobNativeArgs& args)
{
    return Request(args, kTransferCall);
}

uint32_t NativeJumpScript(SobNativeArgs& args)
{
    return Request(args, kTransferJump);
}

uint32_t NativeReturnScript(SobNativeArgs&)
{
    g_ScriptTransferState = kTransferReturn;
    return 0;
}
