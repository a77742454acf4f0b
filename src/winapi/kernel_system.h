// Facts about the machine: the Windows version the stand-in presents (NT 6.1 build 7601, with
// uname's system and release as the service-pack text), processors, the locale's language name,
// the Windows folder, the old free-space call and the built-in "kernel32.dll". Tests replace
// uname's answer (or make it fail) with SetUnameForTests.
#pragma once

#include <optional>
#include <string>

#include "winapi/base.h"

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;  // 148
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148);
struct OSVERSIONINFOEXA {
    DWORD dwOSVersionInfoSize;  // 156
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
static_assert(sizeof(OSVERSIONINFOEXA) == 156);
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
#define VER_NT_WORKSTATION 1

struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};
using LPSYSTEM_INFO = SYSTEM_INFO*;
#define PROCESSOR_ARCHITECTURE_AMD64 9
#define PROCESSOR_AMD_X8664 8664

#define LOCALE_SYSTEM_DEFAULT 0x0800u
#define LOCALE_USER_DEFAULT 0x0400u
#define LOCALE_SLANGUAGE 0x00000002u
using LCID = DWORD;
using LCTYPE = DWORD;

// info->dwOSVersionInfoSize must be 148 or 156 (ERROR_INSUFFICIENT_BUFFER otherwise); FALSE when
// uname fails. szCSDVersion is "SYSTEM RELEASE" of uname.
BOOL WINAPI GetVersionExA(OSVERSIONINFOA* info);
// Processors online, the x86-64 architecture, 4 KiB pages.
void WINAPI GetSystemInfo(LPSYSTEM_INFO info);
// LOCALE_SLANGUAGE only: the language of LC_ALL / LC_MESSAGES / LANG in the system's own words
// ("日本語" for ja, "English (United States)" for en_US ...) in Shift-JIS → the length written
// with its NUL, the size needed for a null buffer or size 0; 0 (ERROR_INVALID_FLAGS) for other
// types, 0 (ERROR_INSUFFICIENT_BUFFER) when it does not fit.
#define ERROR_INVALID_FLAGS 1004L
int WINAPI GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR data, int size);
// "Z:\windows" (a folder that holds no drive's system) → the length, or the size needed.
UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size);
// The old form, in clusters of 8 sectors of 512 bytes; counts above 32 bits are cut to 0xFFFFFFFF.
BOOL WINAPI GetDiskFreeSpaceA(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                              LPDWORD freeClusters, LPDWORD totalClusters);

namespace winapi {
struct UnameFacts {
    bool fails = false;
    std::string system;   // "Linux"
    std::string release;  // "6.1.0-18-amd64"
};
// Replaces uname's answer; nullopt goes back to the machine's.
void SetUnameForTests(const std::optional<UnameFacts>& facts);
} // namespace winapi

// Execution state (power management): the process's state word; → the previous one. With
// ES_CONTINUOUS the word stays until changed; ES_SYSTEM_REQUIRED or ES_DISPLAY_REQUIRED keep the
// host's screen saver away while set.
#define ES_SYSTEM_REQUIRED 0x00000001u
#define ES_DISPLAY_REQUIRED 0x00000002u
#define ES_CONTINUOUS 0x80000000u
DWORD WINAPI SetThreadExecutionState(DWORD flags);

// Ends the process at once with the code: the other threads end with it, no destructor or exit
// handler runs (buffered standard output is written first).
[[noreturn]] void WINAPI ExitProcess(UINT code);
