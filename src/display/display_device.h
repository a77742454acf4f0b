// The DirectDraw display device: owns the IDirectDraw7 through which every DirectDraw surface is
// made, the cooperative level and display mode, and the caps the screen consults. A process-wide
// driver list records each DirectDraw driver with its modes and Direct3D devices.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "winapi/d3d.h"
#include "winapi/ddraw.h"

// One display mode of a driver.
struct CDriverMode {
    DWORD width;
    DWORD height;
    DWORD bitsPerPixel;
    DWORD refreshRate;
};

// One Direct3D device of a driver.
struct CDriver3DDevice {
    GUID guid;
    std::string description;
    D3DDEVICEDESC7 desc;
    bool hardwareRasterization;  // D3DDEVCAPS_HWRASTERIZATION
};

// One DirectDraw driver (zero GUID and null monitor for the primary display driver).
struct CDriverRecord {
    GUID guid{};
    bool hasGuid = false;
    std::string description;
    std::string name;
    HMONITOR monitor = nullptr;
    DDCAPS hardwareCaps{};
    DDCAPS emulationCaps{};
    bool hardware3D = false;  // DDCAPS_3D in the hardware caps
    std::vector<CDriverMode> modes;
    std::vector<CDriver3DDevice> devices;
};

// What FindBestDevice chose.
struct CBestDevice {
    GUID driverGuid{};
    bool driverHasGuid = false;
    GUID deviceGuid{};
    DWORD renderDepths = 0;
    uint8_t kind = 0;  // 2 transform-and-lighting hardware, 1 hardware, 0 other
    bool hardware3D = false;
};

class CDisplayDevice {
public:
    // Initialises COM for the thread (the flag records success).
    CDisplayDevice();
    // Release, COM uninitialised when it was initialised, the driver list freed.
    virtual ~CDisplayDevice();

    // --- the process-wide driver list ---
    // 0 at least one driver recorded; -1 none; 1 "ddraw.dll" cannot be loaded; 2 it lacks
    // "DirectDrawCreateEx"; 3 it lacks "DirectDrawEnumerateExA". Frees the old list first.
    static int BuildDriverList(bool emulationOnly, bool withModes);
    static void FreeDriverList();
    // The list as built (tests fill it with made-up drivers).
    static std::vector<CDriverRecord>& DriverList();
    // true when a device was found; `best` filled.
    static bool FindBestDevice(CBestDevice* best, bool preferSecondaryHardware);
    // Device kind of a Direct3D device GUID: 2 TnL HAL, 1 HAL, 0 other.
    static uint8_t DeviceKindOf(const GUID& device);

    // 0 ok; 1 COM not initialised; 2 no Direct3D device could be chosen; 3 the DirectDraw object
    // cannot be created; 4 Initialize failed.
    int Create(bool emulationOnly, bool wantD3D, const GUID* driverGuid, const GUID* deviceGuid, DWORD renderDepths,
               bool hardware3D, DWORD modeWidth, DWORD modeHeight, bool listWithModes, bool useGivenGuids,
               bool preferSecondaryHardware);
    // RestoreWindowedMode, then the DirectDraw object released; level 0.
    void Release();
    // Free video memory (with refresh: asked again); 0 without a DirectDraw object.
    DWORD GetVideoMemory(bool refresh);
    // 0 set; 1 no DirectDraw or that depth already set by this object; 2 depth not in the mask;
    // 3 the exclusive level was refused; 4 the mode was refused at the exclusive level.
    int SetFullScreenMode(HWND window, DWORD width, DWORD height, DWORD bitsPerPixel, bool try60);
    // 0; 1 no DirectDraw; 2 hardware 3D required and the driver has none.
    int RestoreWindowedMode(bool requireHardware3D);

    IDirectDraw7* DirectDraw() const { return m_directDraw; }
    // 2 transform-and-lighting hardware, 1 hardware, 0 other (as DeviceKindOf).
    uint8_t DeviceKind() const { return m_deviceKind; }
    bool HasNoHardware() const { return (m_hardwareCaps & DDCAPS_NOHARDWARE) != 0; }
    uint8_t DepthMask() const { return m_depthMask; }
    void SetDepthMask(uint8_t mask) { m_depthMask = mask; }
    bool Has60Hz() const { return m_has60Hz; }
    void Set60Hz(bool on) { m_has60Hz = on; }
    uint8_t CooperativeLevel() const { return m_cooperativeLevel; }
    uint8_t DisplayModeState() const { return m_displayModeSet; }
    uint8_t ModeRefresh() const { return m_modeRefresh; }
    DWORD VideoMemoryTotal() const { return m_videoMemoryTotal; }
    const std::string& DriverDescription() const { return m_driverDescription; }
    // Whether full screen needs the exclusive level (set once a mode was refused at the normal
    // level; stays for the run). Tests reset it.
    static bool& ExclusiveNeeded();

protected:
    bool m_comInitialised = false;
    IDirectDraw7* m_directDraw = nullptr;
    GUID m_driverGuid{};
    bool m_hasDriverGuid = false;
    GUID m_deviceGuid{};
    bool m_hasDeviceGuid = false;
    DWORD m_renderDepths = 0;
    uint8_t m_deviceKind = 0;
    bool m_hardware3D = false;
    bool m_wantD3D = false;
    uint8_t m_depthMask = 0;  // bit 0 32, bit 1 24, bit 2 16, bit 3 8 bits per pixel
    bool m_has60Hz = false;
    std::string m_driverName;
    std::string m_driverDescription;
    DWORD m_driverVersionHigh = 0;
    DWORD m_driverVersionLow = 0;
    DWORD m_hardwareCaps = 0;
    DWORD m_videoMemoryTotal = 0;
    DWORD m_videoMemoryFree = 0;
    uint8_t m_displayModeSet = 0;  // 1 set by this object, 2 restored, 0 never
    uint8_t m_modeDepth = 0;
    uint8_t m_modeRefresh = 0;
    uint8_t m_cooperativeLevel = 0;  // 0 none, 1 exclusive full screen, 2 normal
};

// The display device the DirectDraw surface objects (images, text surfaces, blank surfaces,
// canvases) are made on: the screen points it at its own device while it lives. Null: none.
extern CDisplayDevice* g_pSurfaceDisplayDevice;

// Depth-mask bit of a bit depth: 1 << (4 - bits / 8).
constexpr uint8_t DepthBit(DWORD bits)
{
    return bits >= 8 && bits <= 32 ? static_cast<uint8_t>(1u << (4 - bits / 8)) : 0;
}

// The one clipper that binds the primary to the window.
class CSurfaceClipper {
public:
    ~CSurfaceClipper() { Release(); }
    // 0; 1 DirectDraw or surface null; 2 CreateClipper failed; 3 SetHWnd failed; 4 SetClipper
    // failed. An old clipper is released first.
    int Create(IDirectDraw7* directDraw, IDirectDrawSurface7* surface, HWND window);
    void Release();
    IDirectDrawClipper* Clipper() const { return m_clipper; }

private:
    IDirectDrawClipper* m_clipper = nullptr;
};
