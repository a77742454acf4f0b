// What the frame knows about the machine: Windows release and edition, version text, language,
// memory, processors, screen, DirectX version and free disk space. The start-up report and the
// system-information text print it.
#pragma once

#include <cstdint>
#include <string>

#include "winapi/kernel.h"

class CWindowsInfo {
public:
    // GetProductInfo's form; null when kernel32.dll does not offer it.
    using ProductInfoProc = BOOL(WINAPI*)(DWORD major, DWORD minor, DWORD spMajor, DWORD spMinor, DWORD* type);

    CWindowsInfo();
    virtual ~CWindowsInfo() = default;

    void UpdateDisplayInfo();
    // On the NT family GetDeviceCaps(VREFRESH); values below 2 are stored as 0.
    void UpdateRefreshRate();
    // → true with the free and total bytes of the drive of root.
    bool GetDiskFreeSpace(const char* root, uint64_t* freeBytes, uint64_t* totalBytes) const;

    // The Windows name (Shift-JIS) and the six flags of a version record; with `haveEx` false only
    // the OSVERSIONINFOA part is read. Used by the constructor; tests feed it records.
    void DescribeVersion(const OSVERSIONINFOEXA& version, bool haveEx, ProductInfoProc productInfo);
    // "DirectX %d (%d.%02d.%02d.%04d)", or "Unknown" without a version.
    std::string DirectXText() const;
    // Reads the DirectX version value of the registry (both halves 0 without it).
    void ReadDirectXVersion();

    uint32_t m_platformId = 0;
    uint32_t m_buildNumber = 0;
    char m_windowsName[64] = {};
    std::string m_versionText;
    MEMORYSTATUS m_memory{};
    // The same in 64 bits: the 32-bit record caps every size at 4 GB.
    MEMORYSTATUSEX m_memoryEx{};
    uint8_t m_isNt = 0;
    uint8_t m_isNt5 = 0;
    uint8_t m_isWin95 = 0;
    uint8_t m_isNt4Sp3 = 0;
    uint8_t m_isXp = 0;
    uint8_t m_isVista = 0;
    uint32_t m_directXHigh = 0;
    uint32_t m_directXLow = 0;
    uint16_t m_screenWidth = 0;
    uint16_t m_screenHeight = 0;
    uint8_t m_bitsPerPixel = 0;
    uint8_t m_processorCount = 0;
    uint16_t m_refreshRate = 0;
    std::string m_language;  // Shift-JIS; empty when unavailable
};
