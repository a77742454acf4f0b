// Natives 31-33: the variable files (save the class-1 variables with a header and a comment,
// read back only the header and comment, restore the variables).
#pragma once

#include "script/sob_native_args.h"

// Words: file name, header variable (address or 0), comment variable (address or 0),
// from-snapshot (byte) → CScriptHostBase::SaveVariableFile with selector 0.
uint32_t NativeSaveVariableFile(SobNativeArgs& args);
// Words: file name or 0 (the persistent file), header variable or 0, comment variable or 0
// → CScriptHostBase::ReadVariableFileHeader.
uint32_t NativeReadVariableFileHeader(SobNativeArgs& args);
// Word: file name or 0 → CScriptHostBase::LoadVariableFile.
uint32_t NativeLoadVariableFile(SobNativeArgs& args);
