// Run-time libraries: LoadLibraryA looks first in the table of built-in modules (libraries the
// engine carries itself, registered by name), then loads a Linux shared object from disk with the
// same entry points. Windows DLL files fail to load there, as a missing library does.
#pragma once

#include "winapi/base.h"

// Declared without a return type (Win32 says INT_PTR): a function pointer of this type casts to any
// entry-point type without -Wcast-function-type warnings.
using FARPROC = void(WINAPI*)();

// → the module, or null (ERROR_MOD_NOT_FOUND). A built-in module is found by the last component of
// the name, case-insensitively, ".dll" added when the name has no extension. Each successful call
// counts one reference.
HMODULE WINAPI LoadLibraryA(LPCSTR fileName);
// → the entry point, or null (ERROR_PROC_NOT_FOUND; ERROR_INVALID_HANDLE for a bad module).
// Ordinals (values below 0x10000 in place of a name) are not supported and give null.
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
// → TRUE, unloading the module at its last reference; FALSE (ERROR_INVALID_HANDLE).
BOOL WINAPI FreeLibrary(HMODULE module);
// A null name → the program's own module (the instance whose resources are the compiled-in
// table); other names are not looked up → null (ERROR_MOD_NOT_FOUND).
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);

namespace winapi {

// One named entry point of a built-in module.
struct BuiltinProc {
    const char* name;
    FARPROC proc;
};

// Registers a built-in module under `name` (e.g. "wuvorbis.dll") with its entry points. The table
// must outlive the process. Registering a name again replaces the table for later loads.
// → false for a null or empty name.
bool RegisterBuiltinModule(const char* name, const BuiltinProc* procs, size_t count);

// Removes a registered built-in module (tests); modules already loaded keep their table.
void UnregisterBuiltinModule(const char* name);

// Casts any function pointer to the FARPROC of a BuiltinProc row.
template <typename F> FARPROC ToFarProc(F* function)
{
    return reinterpret_cast<FARPROC>(function);
}

} // namespace winapi
