// The machine's facts; see windows_info.h.
#include "platform/windows_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "winapi/gdi.h"
#include "winapi/registry.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace {

// Trims blanks at both ends.
std::string Trimmed(const char* text, size_t size)
{
    std::string out(text, strnlen(text, size));
    const size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    out.erase(0, first);
    out.erase(out.find_last_not_of(' ') + 1);
    return out;
}

// An entry point of kernel32.dll, null when it offers none by that name.
FARPROC KernelProc(const char* name)
{
    HMODULE kernel = LoadLibraryA("kernel32.dll");
    if (kernel == nullptr)
        return nullptr;
    FARPROC proc = GetProcAddress(kernel, name);
    FreeLibrary(kernel);  // built in: its entry points stay
    return proc;
}

} // namespace

CWindowsInfo::CWindowsInfo()
{
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    bool haveEx = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)) != FALSE;
    bool haveVersion = haveEx;
    if (!haveEx) {
        std::memset(&version, 0, sizeof(version));
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        haveVersion = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)) != FALSE;
    }
    if (haveVersion) {
        DescribeVersion(version, haveEx, reinterpret_cast<ProductInfoProc>(KernelProc("GetProductInfo")));
    } else {
        // A failed query says nothing of the platform: not Win32s.
        std::snprintf(m_windowsName, sizeof m_windowsName, "Unknown Windows");
        m_versionText = "0.00.0000";
    }
    GlobalMemoryStatus(&m_memory);
    m_memoryEx.dwLength = sizeof(m_memoryEx);
    GlobalMemoryStatusEx(&m_memoryEx);
    ReadDirectXVersion();
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    m_processorCount = static_cast<uint8_t>(system.dwNumberOfProcessors > 255 ? 255 : system.dwNumberOfProcessors);
    const int needed = GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SLANGUAGE, nullptr, 0);
    if (needed > 0) {
        std::string language(static_cast<size_t>(needed), '\0');
        if (GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SLANGUAGE, language.data(), needed) > 0)
            m_language.assign(language.c_str());
    }
    UpdateDisplayInfo();
    UpdateRefreshRate();
}

void CWindowsInfo::DescribeVersion(const OSVERSIONINFOEXA& version, bool haveEx, ProductInfoProc productInfo)
{
    m_platformId = version.dwPlatformId;
    m_buildNumber = version.dwBuildNumber;
    m_isNt = m_isNt5 = m_isWin95 = m_isNt4Sp3 = m_isXp = m_isVista = 0;
    const DWORD major = version.dwMajorVersion;
    const DWORD minor = version.dwMinorVersion;
    const char* csd = version.szCSDVersion;
    const WORD suite = haveEx ? version.wSuiteMask : 0;
    std::string name = "Windows ";
    switch (m_platformId) {
    case VER_PLATFORM_WIN32s: name = "Win32s"; break;
    case VER_PLATFORM_WIN32_WINDOWS:
        if (minor == 0) {
            name += "95";
            m_isWin95 = 1;
        } else if (minor <= 10) {
            name += csd[1] == 'A' ? "98 Second Edition" : "98";
        } else if (minor <= 90) {
            name += "Me";
        } else {
            name += winapi::Sjis("Me以降");
        }
        break;
    case VER_PLATFORM_WIN32_NT:
        m_isNt = 1;
        if (major <= 4) {
            name += "NT";
            if (csd[13] >= '3') {
                name += " 4.0";
                m_isNt4Sp3 = 1;
            }
            break;
        }
        m_isNt5 = 1;
        if (major == 5) {
            if (minor == 0) {
                name += "2000";
                if (suite & 0x80)
                    name += " Datacenter Server";
                else if (suite & 0x2)
                    name += " Advanced Server";
            } else if (minor == 1) {
                m_isXp = 1;
                name += suite & 0x200 ? "XP Home Edition" : "XP Professional";
            } else if (minor == 2) {
                name += "Server 2003";
                if (suite & 0x80)
                    name += " Datacenter Edition";
                else if (suite & 0x2)
                    name += " Enterprise Edition";
                else if (suite == 0x400)
                    name += " Web Edition";
                else
                    name += " Standard Edition";
            } else {
                name += winapi::Sjis("Server 2003以降");
            }
            break;
        }
        m_isXp = m_isVista = 1;
        if (major >= 7) {
            name += winapi::Sjis("Vista以降");
            break;
        }
        name += minor == 0 ? "Vista" : minor == 1 ? "7" : "NT6.x(unknown)";
        if (DWORD type = 0; productInfo != nullptr &&
                            productInfo(major, minor, haveEx ? version.wServicePackMajor : 0,
                                        haveEx ? version.wServicePackMinor : 0, &type)) {
            struct Edition {
                DWORD type;
                const char* text;
            };
            static const Edition kEditions[] = {
                {1, " Ultimate"}, {2, " Home Basic"}, {3, " Home Premium"}, {4, " Enterprise"},
                {6, " Business"}, {11, " Starter"},   {48, " Professional"},
            };
            const char* text = nullptr;
            for (const Edition& edition : kEditions)
                if (edition.type == type)
                    text = edition.text;
            char unknown[32];
            if (text == nullptr) {
                std::snprintf(unknown, sizeof unknown, " [Edition:0x%02x]", static_cast<unsigned>(type));
                text = unknown;
            }
            name += text;
        }
        break;
    default: name = "Unknown Windows"; break;
    }
    const size_t length = winapi::SjisPrefixLength(name, sizeof m_windowsName - 1);
    std::memcpy(m_windowsName, name.data(), length);
    m_windowsName[length] = 0;
    char number[48];
    std::snprintf(number, sizeof number, "%d.%02d.%04d", static_cast<int>(major), static_cast<int>(minor),
                  static_cast<int>(version.dwBuildNumber & 0xFFFF));
    m_versionText = number;
    const std::string trimmed = Trimmed(csd, sizeof version.szCSDVersion);
    if (!trimmed.empty())
        m_versionText += " " + trimmed;
}

void CWindowsInfo::ReadDirectXVersion()
{
    m_directXHigh = m_directXLow = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    char value[261] = {};
    DWORD size = 260;
    DWORD type = 0;
    if (RegQueryValueExA(key, "Version", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS) {
        int parts[4] = {0, 0, 0, 0};
        const char* p = value;
        for (int& part : parts) {
            part = std::atoi(p);
            p = std::strchr(p, '.');
            if (p == nullptr)
                break;
            ++p;
        }
        m_directXHigh = (static_cast<uint32_t>(parts[0]) << 16) | (static_cast<uint32_t>(parts[1]) & 0xFFFF);
        m_directXLow = (static_cast<uint32_t>(parts[2]) << 16) | (static_cast<uint32_t>(parts[3]) & 0xFFFF);
    }
    RegCloseKey(key);
}

std::string CWindowsInfo::DirectXText() const
{
    if (m_directXHigh == 0)
        return "Unknown";
    const int a = static_cast<int>(m_directXHigh >> 16), b = static_cast<int>(m_directXHigh & 0xFFFF);
    const int c = static_cast<int>(m_directXLow >> 16), d = static_cast<int>(m_directXLow & 0xFFFF);
    char text[64];
    std::snprintf(text, sizeof text, "DirectX %d (%d.%02d.%02d.%04d)", b, a, b, c, d);
    return text;
}

void CWindowsInfo::UpdateDisplayInfo()
{
    m_screenWidth = static_cast<uint16_t>(GetSystemMetrics(SM_CXSCREEN));
    m_screenHeight = static_cast<uint16_t>(GetSystemMetrics(SM_CYSCREEN));
    HDC screen = GetDC(nullptr);
    m_bitsPerPixel = static_cast<uint8_t>(GetDeviceCaps(screen, BITSPIXEL));
    ReleaseDC(nullptr, screen);
}

void CWindowsInfo::UpdateRefreshRate()
{
    m_refreshRate = 0;
    if (!m_isNt)
        return;
    HDC screen = GetDC(nullptr);
    const int rate = GetDeviceCaps(screen, VREFRESH);
    ReleaseDC(nullptr, screen);
    m_refreshRate = static_cast<uint16_t>(rate < 2 ? 0 : rate);
}

bool CWindowsInfo::GetDiskFreeSpace(const char* root, uint64_t* freeBytes, uint64_t* totalBytes) const
{
    if (m_isNt || (m_platformId == VER_PLATFORM_WIN32_WINDOWS && m_buildNumber >= 1001)) {
        using ExProc = BOOL(WINAPI*)(LPCSTR, ULARGE_INTEGER*, ULARGE_INTEGER*, ULARGE_INTEGER*);
        auto proc = reinterpret_cast<ExProc>(KernelProc("GetDiskFreeSpaceExA"));
        ULARGE_INTEGER available{}, total{}, totalFree{};
        if (proc != nullptr && proc(root, &available, &total, &totalFree)) {
            *freeBytes = available.QuadPart;
            *totalBytes = total.QuadPart;
            return true;
        }
    }
    DWORD sectors = 0, bytes = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectors, &bytes, &freeClusters, &totalClusters))
        return false;
    // 32-bit products, as the old call's callers computed them.
    *freeBytes = static_cast<uint32_t>(sectors * bytes * freeClusters);
    *totalBytes = static_cast<uint32_t>(sectors * bytes * totalClusters);
    return true;
}
