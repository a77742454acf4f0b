#include "natives/variable_file_natives.h"

#include "natives/native_args.h"

uint32_t NativeSaveVariableFile(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const char* name = NativeOptionalString(args, 0);
    const uint32_t header = args.U32(1), comment = args.U32(2);
    const bool fromSnapshot = (args.U32(3) & 0xFF) != 0;
    if (host == nullptr || args.Faulted())
        return 0;
    return static_cast<uint32_t>(host->SaveVariableFile(name, 0, header, comment, fromSnapshot));
}

uint32_t NativeReadVariableFileHeader(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const char* name = NativeOptionalString(args, 0);
    const uint32_t header = args.U32(1), comment = args.U32(2);
    if (host == nullptr || args.Faulted())
        return 0;
    return static_cast<uint32_t>(host->ReadVariableFileHeader(name, header, comment));
}

uint32_t NativeLoadVariableFile(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const char* name = NativeOptionalString(args, 0);
    if (host == nullptr || args.Faulted())
        return 0;
    return static_cast<uint32_t>(host->LoadVariableFile(name));
}
