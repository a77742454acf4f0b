// Tool-help snapshots over /proc: the processes (szExeFile the executable's name) and, for one
// process, its first module (the executable's "Z:\" path). A process that vanished while the
// snapshot was taken is left out; one whose executable cannot be read fails its module snapshot.
#pragma once

#include <string>

#include "winapi/base.h"

#define TH32CS_SNAPPROCESS 0x00000002u
#define TH32CS_SNAPMODULE 0x00000008u

struct PROCESSENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    CHAR szExeFile[MAX_PATH];
};
using LPPROCESSENTRY32 = PROCESSENTRY32*;

struct MODULEENTRY32 {
    DWORD dwSize;
    DWORD th32ModuleID;
    DWORD th32ProcessID;
    DWORD GlblcntUsage;
    DWORD ProccntUsage;
    BYTE* modBaseAddr;
    DWORD modBaseSize;
    HMODULE hModule;
    CHAR szModule[256];
    CHAR szExePath[MAX_PATH];
};
using LPMODULEENTRY32 = MODULEENTRY32*;

// → a snapshot handle (closed with CloseHandle), or INVALID_HANDLE_VALUE: ERROR_ACCESS_DENIED for
// a module snapshot of a process whose executable cannot be read, ERROR_INVALID_PARAMETER for a
// missing process or other flags.
HANDLE WINAPI CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
// dwSize must be set (ERROR_INVALID_PARAMETER); FALSE with ERROR_NO_MORE_FILES at the end.
BOOL WINAPI Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry);
BOOL WINAPI Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry);
BOOL WINAPI Module32First(HANDLE snapshot, LPMODULEENTRY32 entry);

namespace winapi {
// The folder read as /proc (tests and benchmarks use a made-up one); empty goes back to /proc.
void SetProcRootForTests(const std::string& root);
// CloseHandle's part for snapshots → true when the handle was one.
bool CloseSnapshotHandle(HANDLE handle);
} // namespace winapi
