// Machine facts; see kernel_system.h.
#include "winapi/kernel_system.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <iterator>
#include <mutex>

#include "winapi/kernel_file.h"
#include "winapi/kernel_module.h"
#include "winapi/text.h"

namespace winapi {

namespace {

std::mutex g_factsMutex;
std::optional<UnameFacts> g_uname;

bool ReadUname(UnameFacts* out)
{
    {
        std::lock_guard lock(g_factsMutex);
        if (g_uname) {
            *out = *g_uname;
            return !out->fails;
        }
    }
    struct utsname name {};
    if (uname(&name) != 0)
        return false;
    out->system = name.sysname;
    out->release = name.release;
    return true;
}

// Language names as the system writes them, by the locale's language (and territory).
struct LanguageRow {
    const char* prefix;
    const char* name;
};
constexpr LanguageRow kLanguages[] = {
    {"ja", "日本語"},
    {"en_US", "English (United States)"},
    {"en_GB", "English (United Kingdom)"},
    {"en", "English"},
    {"zh_TW", "中国語 (台湾)"},
    {"zh", "中国語 (中華人民共和国)"},
    {"ko", "韓国語"},
    {"de", "ドイツ語"},
    {"fr", "フランス語"},
    {"C", "English (United States)"},
    {"POSIX", "English (United States)"},
};

std::string LocaleName()
{
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != 0)
            return value;
    }
    return "C";
}

BOOL WINAPI BuiltinGetDiskFreeSpaceExA(LPCSTR root, ULARGE_INTEGER* available, ULARGE_INTEGER* total,
                                       ULARGE_INTEGER* totalFree)
{
    return GetDiskFreeSpaceExA(root, available, total, totalFree);
}

// GetProductInfo is left out on purpose: the stand-in is no edition of Windows.
const BuiltinProc kKernel32Procs[] = {
    {"GetDiskFreeSpaceExA", ToFarProc(&BuiltinGetDiskFreeSpaceExA)},
    {"GetDiskFreeSpaceA", ToFarProc(&GetDiskFreeSpaceA)},
    {"GetVersionExA", ToFarProc(&GetVersionExA)},
};
const bool g_kernel32Registered = RegisterBuiltinModule("kernel32.dll", kKernel32Procs, std::size(kKernel32Procs));

} // namespace

void SetUnameForTests(const std::optional<UnameFacts>& facts)
{
    std::lock_guard lock(g_factsMutex);
    g_uname = facts;
}

} // namespace winapi

BOOL WINAPI GetVersionExA(OSVERSIONINFOA* info)
{
    if (info == nullptr ||
        (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) && info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    winapi::UnameFacts facts;
    if (!winapi::ReadUname(&facts)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    const DWORD size = info->dwOSVersionInfoSize;
    std::memset(reinterpret_cast<char*>(info) + sizeof(DWORD), 0, size - sizeof(DWORD));
    info->dwMajorVersion = 6;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 7601;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    const std::string csd = winapi::Utf8ToSjis(facts.system + " " + facts.release);
    std::memcpy(info->szCSDVersion, csd.data(), winapi::SjisPrefixLength(csd, sizeof(info->szCSDVersion) - 1));
    if (size == sizeof(OSVERSIONINFOEXA))
        reinterpret_cast<OSVERSIONINFOEXA*>(info)->wProductType = VER_NT_WORKSTATION;
    return TRUE;
}

void WINAPI GetSystemInfo(LPSYSTEM_INFO info)
{
    if (info == nullptr)
        return;
    std::memset(info, 0, sizeof(*info));
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    info->dwPageSize = 4096;
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x10000);
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFEFFFF);
    info->dwNumberOfProcessors = processors > 0 ? static_cast<DWORD>(processors) : 1;
    info->dwActiveProcessorMask = info->dwNumberOfProcessors >= 64 ? ~DWORD_PTR{0} : (DWORD_PTR{1} << info->dwNumberOfProcessors) - 1;
    info->dwProcessorType = PROCESSOR_AMD_X8664;
    info->dwAllocationGranularity = 65536;
    info->wProcessorLevel = 6;
}

int WINAPI GetLocaleInfoA(LCID, LCTYPE type, LPSTR data, int size)
{
    if ((type & 0xFFFF) != LOCALE_SLANGUAGE) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    const std::string locale = winapi::LocaleName();
    const char* name = "English (United States)";
    for (const auto& row : winapi::kLanguages)
        if (locale.compare(0, std::strlen(row.prefix), row.prefix) == 0) {
            name = row.name;
            break;
        }
    const char* sjis = winapi::Sjis(name);
    const int needed = static_cast<int>(std::strlen(sjis)) + 1;
    if (data == nullptr || size == 0)
        return needed;
    if (size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(data, sjis, static_cast<size_t>(needed));
    return needed;
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    static const char kFolder[] = "Z:\\windows";
    if (buffer == nullptr || size < sizeof kFolder)
        return sizeof kFolder;
    std::memcpy(buffer, kFolder, sizeof kFolder);
    return sizeof kFolder - 1;
}

BOOL WINAPI GetDiskFreeSpaceA(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector, LPDWORD freeClusters,
                              LPDWORD totalClusters)
{
    ULARGE_INTEGER available{}, total{};
    if (!GetDiskFreeSpaceExA(root, &available, &total, nullptr))
        return FALSE;
    constexpr ULONGLONG kCluster = 8 * 512;
    auto clusters = [](ULONGLONG bytes) { return static_cast<DWORD>(std::min<ULONGLONG>(bytes / kCluster, 0xFFFFFFFFu)); };
    if (sectorsPerCluster != nullptr)
        *sectorsPerCluster = 8;
    if (bytesPerSector != nullptr)
        *bytesPerSector = 512;
    if (freeClusters != nullptr)
        *freeClusters = clusters(available.QuadPart);
    if (totalClusters != nullptr)
        *totalClusters = clusters(total.QuadPart);
    return TRUE;
}


void WINAPI ExitProcess(UINT code)
{
    std::fflush(nullptr);
    _exit(static_cast<int>(code));
}
