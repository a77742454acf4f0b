// Global memory blocks (GlobalAlloc and friends). Every block is fixed: the handle is the address
// of the memory, also for GMEM_MOVEABLE, so GlobalLock returns the handle itself. Local blocks
// (LocalAlloc and friends) are what plug-ins hand over: fixed ones are global blocks, moveable ones
// have handles that are not their addresses.
#pragma once

#include "winapi/base.h"

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

// → the block (size 0 is allowed), or null (ERROR_NOT_ENOUGH_MEMORY).
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
// → the resized block (contents kept, new bytes zeroed with GMEM_ZEROINIT) or null, the old block
// then untouched (ERROR_INVALID_HANDLE or ERROR_NOT_ENOUGH_MEMORY).
HGLOBAL WINAPI GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags);
// → null when freed (null is accepted), or the handle itself (ERROR_INVALID_HANDLE) for a handle
// that is not a live block.
HGLOBAL WINAPI GlobalFree(HGLOBAL block);
// → the block's address, or null (ERROR_INVALID_HANDLE).
LPVOID WINAPI GlobalLock(HGLOBAL block);
// → FALSE (last error NO_ERROR: fixed blocks keep no lock count), FALSE with ERROR_INVALID_HANDLE.
BOOL WINAPI GlobalUnlock(HGLOBAL block);
// → the size asked for at allocation, or 0 (ERROR_INVALID_HANDLE).
SIZE_T WINAPI GlobalSize(HGLOBAL block);

// Local blocks. C linkage: executables export these to plug-in shared objects (a dynamic symbol
// list), so that a plug-in's blocks are the engine's. A fixed block is a global block (GlobalFree
// frees it too); a moveable block's handle is an odd number, never an address, and LocalLock gives
// its memory.
#define LMEM_FIXED 0x0000u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)

extern "C" {
// → the block or handle, or null (ERROR_NOT_ENOUGH_MEMORY).
HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes);
// → the resized block's handle (a moveable handle stays the same; a fixed block may move), or null
// with the old block untouched (ERROR_INVALID_HANDLE, ERROR_NOT_ENOUGH_MEMORY).
HLOCAL WINAPI LocalReAlloc(HLOCAL block, SIZE_T bytes, UINT flags);
// → null when freed (null is accepted), or the handle itself (ERROR_INVALID_HANDLE).
HLOCAL WINAPI LocalFree(HLOCAL block);
// → the block's address (a moveable block counts one more lock), or null (ERROR_INVALID_HANDLE).
LPVOID WINAPI LocalLock(HLOCAL block);
// → TRUE while a moveable block stays locked; FALSE when unlocked (NO_ERROR), for a fixed block,
// or for a bad handle (ERROR_INVALID_HANDLE).
BOOL WINAPI LocalUnlock(HLOCAL block);
// → the size asked for, or 0 (ERROR_INVALID_HANDLE).
SIZE_T WINAPI LocalSize(HLOCAL block);
}

// The 32-byte record of GlobalMemoryStatus: sizes above 4 GB read as 0xFFFFFFFF, as on Windows.
struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad; // percent of physical memory in use
    DWORD dwTotalPhys;
    DWORD dwAvailPhys;
    DWORD dwTotalPageFile;
    DWORD dwAvailPageFile;
    DWORD dwTotalVirtual;
    DWORD dwAvailVirtual;
};
using LPMEMORYSTATUS = MEMORYSTATUS*;

struct MEMORYSTATUSEX {
    DWORD dwLength; // set to sizeof(MEMORYSTATUSEX) by the caller
    DWORD dwMemoryLoad;
    DWORDLONG ullTotalPhys;
    DWORDLONG ullAvailPhys;
    DWORDLONG ullTotalPageFile;
    DWORDLONG ullAvailPageFile;
    DWORDLONG ullTotalVirtual;
    DWORDLONG ullAvailVirtual;
    DWORDLONG ullAvailExtendedVirtual;
};
using LPMEMORYSTATUSEX = MEMORYSTATUSEX*;

// Physical memory and swap of the machine; the virtual sizes are those of a 32-bit process.
void WINAPI GlobalMemoryStatus(LPMEMORYSTATUS status);
// → FALSE (ERROR_INVALID_PARAMETER) when dwLength is not the record's size.
BOOL WINAPI GlobalMemoryStatusEx(LPMEMORYSTATUSEX status);
