// The DirectDraw display device and its driver list.
#include "display/display_device.h"

#include "platform/com_init.h"
#include "winapi/kernel_module.h"

namespace {

std::vector<CDriverRecord> g_driverList;
bool g_exclusiveNeeded = false;

struct EnumContext {
    bool emulationOnly;
    bool withModes;
};

HRESULT CALLBACK AddMode(LPDDSURFACEDESC2 desc, LPVOID context)
{
    auto* modes = static_cast<std::vector<CDriverMode>*>(context);
    const DWORD needed = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    if ((desc->dwFlags & needed) == needed && (desc->ddpfPixelFormat.dwFlags & DDPF_RGB) != 0)
        modes->push_back({desc->dwWidth, desc->dwHeight, desc->ddpfPixelFormat.dwRGBBitCount, desc->dwRefreshRate});
    return DDENUMRET_OK;
}

HRESULT CALLBACK AddDevice(LPSTR description, LPSTR, LPD3DDEVICEDESC7 desc, LPVOID context)
{
    auto* devices = static_cast<std::vector<CDriver3DDevice>*>(context);
    devices->push_back({desc->deviceGUID, description != nullptr ? description : "", *desc,
                        (desc->dwDevCaps & D3DDEVCAPS_HWRASTERIZATION) != 0});
    return DDENUMRET_OK;
}

// A DirectDraw object made by COM and bound to a driver (emulation when asked) → null on failure.
IDirectDraw7* MakeDirectDraw(const GUID* guid, bool emulationOnly, HRESULT* initResult = nullptr)
{
    void* made = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectDraw7, &made)) ||
        made == nullptr)
        return nullptr;
    auto* directDraw = static_cast<IDirectDraw7*>(made);
    GUID copy = guid != nullptr ? *guid : GUID{};
    const HRESULT result = directDraw->Initialize(emulationOnly ? DDCREATE_EMULATIONONLY
                                                  : guid != nullptr ? &copy
                                                                    : nullptr);
    if (initResult != nullptr)
        *initResult = result;
    if (FAILED(result)) {
        directDraw->Release();
        return nullptr;
    }
    return directDraw;
}

BOOL CALLBACK AddDriver(GUID* guid, LPSTR description, LPSTR name, LPVOID context, HMONITOR monitor)
{
    const auto* ctx = static_cast<const EnumContext*>(context);
    IDirectDraw7* directDraw = MakeDirectDraw(guid, ctx->emulationOnly);
    if (directDraw == nullptr)
        return TRUE;  // the driver is skipped, the enumeration goes on
    void* d3dOut = nullptr;
    if (FAILED(directDraw->QueryInterface(IID_IDirect3D7, &d3dOut)) || d3dOut == nullptr) {
        directDraw->Release();
        return TRUE;
    }
    auto* d3d = static_cast<IDirect3D7*>(d3dOut);
    CDriverRecord record;
    record.hasGuid = guid != nullptr;
    record.guid = guid != nullptr ? *guid : GUID{};
    record.description = description != nullptr ? description : "";
    record.name = name != nullptr ? name : "";
    record.monitor = monitor;
    record.hardwareCaps.dwSize = sizeof(DDCAPS);
    record.emulationCaps.dwSize = sizeof(DDCAPS);
    directDraw->GetCaps(&record.hardwareCaps, &record.emulationCaps);
    record.hardware3D = (record.hardwareCaps.dwCaps & DDCAPS_3D) != 0;
    if (ctx->withModes)
        directDraw->EnumDisplayModes(DDEDM_REFRESHRATES, nullptr, &record.modes, AddMode);
    d3d->EnumDevices(AddDevice, &record.devices);
    d3d->Release();
    directDraw->Release();
    g_driverList.push_back(std::move(record));
    return TRUE;
}

HRESULT CALLBACK CollectSizeModes(LPDDSURFACEDESC2 desc, LPVOID context)
{
    auto* modes = static_cast<std::vector<CDriverMode>*>(context);
    modes->push_back({desc->dwWidth, desc->dwHeight, desc->ddpfPixelFormat.dwRGBBitCount, desc->dwRefreshRate});
    return DDENUMRET_OK;
}

} // namespace

CDisplayDevice* g_pSurfaceDisplayDevice = nullptr;

CDisplayDevice::CDisplayDevice() { m_comInitialised = ComInitForThread() == 0; }

CDisplayDevice::~CDisplayDevice()
{
    Release();
    if (m_comInitialised)
        ComUninitForThread();
    FreeDriverList();
}

std::vector<CDriverRecord>& CDisplayDevice::DriverList() { return g_driverList; }
bool& CDisplayDevice::ExclusiveNeeded() { return g_exclusiveNeeded; }

int CDisplayDevice::BuildDriverList(bool emulationOnly, bool withModes)
{
    FreeDriverList();
    HMODULE module = LoadLibraryA("ddraw.dll");
    if (module == nullptr)
        return 1;
    int result = 0;
    if (GetProcAddress(module, "DirectDrawCreateEx") == nullptr) {
        result = 2;
    } else if (auto enumerate = reinterpret_cast<decltype(&DirectDrawEnumerateExA)>(
                   GetProcAddress(module, "DirectDrawEnumerateExA"));
               enumerate == nullptr) {
        result = 3;
    } else {
        EnumContext context{emulationOnly, withModes};
        enumerate(AddDriver, &context,
                  DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_DETACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES);
        result = g_driverList.empty() ? -1 : 0;
    }
    FreeLibrary(module);
    return result;
}

void CDisplayDevice::FreeDriverList() { std::vector<CDriverRecord>().swap(g_driverList); }

uint8_t CDisplayDevice::DeviceKindOf(const GUID& device)
{
    if (device == IID_IDirect3DTnLHalDevice)
        return 2;
    return device == IID_IDirect3DHALDevice ? 1 : 0;
}

bool CDisplayDevice::FindBestDevice(CBestDevice* best, bool preferSecondaryHardware)
{
    // One candidate per class; a later match of a class replaces an earlier one.
    struct Candidate {
        const CDriverRecord* driver = nullptr;
        const CDriver3DDevice* device = nullptr;
        bool hardware3D = false;
    };
    Candidate tnl, secondary, hardware, software, mmx;
    for (const CDriverRecord& driver : g_driverList) {
        for (const CDriver3DDevice& device : driver.devices) {
            if (device.guid == IID_IDirect3DTnLHalDevice && driver.hardware3D)
                tnl = {&driver, &device, true};
            else if (preferSecondaryHardware && device.hardwareRasterization && !driver.hardware3D)
                secondary = {&driver, &device, false};
            else if ((device.guid == IID_IDirect3DHALDevice || device.hardwareRasterization) && driver.hardware3D)
                hardware = {&driver, &device, true};
            else if (device.guid == IID_IDirect3DMMXDevice)
                mmx = {&driver, &device, false};
            else if (!device.hardwareRasterization)
                software = {&driver, &device, false};
        }
    }
    struct Pick {
        const Candidate* candidate;
        uint8_t kind;
    };
    const Pick order[] = {{&tnl, 2}, {&secondary, 1}, {&hardware, 1}, {&software, 0}, {&mmx, 0}};
    for (const Pick& pick : order) {
        if (pick.candidate->device == nullptr)
            continue;
        best->driverGuid = pick.candidate->driver->guid;
        best->driverHasGuid = pick.candidate->driver->hasGuid;
        best->deviceGuid = pick.candidate->device->guid;
        best->renderDepths = pick.candidate->device->desc.dwDeviceRenderBitDepth;
        best->kind = pick.kind;
        best->hardware3D = pick.candidate->hardware3D;
        return true;
    }
    return false;
}

int CDisplayDevice::Create(bool emulationOnly, bool wantD3D, const GUID* driverGuid, const GUID* deviceGuid,
                           DWORD renderDepths, bool hardware3D, DWORD modeWidth, DWORD modeHeight,
                           bool listWithModes, bool useGivenGuids, bool preferSecondaryHardware)
{
    if (!m_comInitialised)
        return 1;
    Release();
    m_hasDriverGuid = driverGuid != nullptr;
    m_driverGuid = driverGuid != nullptr ? *driverGuid : GUID{};
    m_hasDeviceGuid = false;
    m_deviceKind = 0;
    bool searched = false;
    auto search = [&]() -> bool {
        searched = true;
        BuildDriverList(emulationOnly, listWithModes && !useGivenGuids);
        CBestDevice best;
        const bool found = FindBestDevice(&best, preferSecondaryHardware);
        if (useGivenGuids)
            FreeDriverList();
        if (!found)
            return false;
        m_hasDriverGuid = best.driverHasGuid;
        m_driverGuid = best.driverGuid;
        m_hasDeviceGuid = true;
        m_deviceGuid = best.deviceGuid;
        m_renderDepths = best.renderDepths;
        m_deviceKind = best.kind;
        m_hardware3D = best.hardware3D;
        return true;
    };
    if (wantD3D) {
        if (driverGuid != nullptr && deviceGuid != nullptr && useGivenGuids) {
            m_hasDeviceGuid = true;
            m_deviceGuid = *deviceGuid;
            m_renderDepths = renderDepths;
            m_hardware3D = hardware3D;
            m_deviceKind = DeviceKindOf(*deviceGuid);
        } else if (!search()) {
            return 2;
        }
    }
    void* made = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectDraw7, &made)) ||
        made == nullptr)
        return 3;
    m_directDraw = static_cast<IDirectDraw7*>(made);
    auto initialise = [&]() {
        GUID copy = m_driverGuid;
        return m_directDraw->Initialize(emulationOnly ? DDCREATE_EMULATIONONLY : m_hasDriverGuid ? &copy : nullptr);
    };
    HRESULT result = initialise();
    if (FAILED(result) && m_hasDriverGuid && wantD3D && !searched && search()) {
        // The object cannot be initialised twice: a fresh one for the retry.
        m_directDraw->Release();
        m_directDraw = nullptr;
        if (FAILED(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectDraw7, &made)) ||
            made == nullptr)
            return 3;
        m_directDraw = static_cast<IDirectDraw7*>(made);
        result = initialise();
    }
    if (FAILED(result)) {
        m_directDraw->Release();
        m_directDraw = nullptr;
        return 4;
    }
    m_wantD3D = wantD3D;
    if (modeWidth != 0 && modeHeight != 0) {
        std::vector<CDriverMode> modes;
        DDSURFACEDESC2 want{};
        want.dwSize = sizeof want;
        want.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
        want.dwWidth = modeWidth;
        want.dwHeight = modeHeight;
        m_directDraw->EnumDisplayModes(DDEDM_REFRESHRATES, &want, &modes, CollectSizeModes);
        m_depthMask = 0;
        m_has60Hz = false;
        for (const CDriverMode& mode : modes) {
            m_depthMask |= DepthBit(mode.bitsPerPixel);
            m_has60Hz = m_has60Hz || mode.refreshRate == 60;
        }
        if (wantD3D)
            m_depthMask &= static_cast<uint8_t>(m_renderDepths >> 8);
    }
    DDCAPS caps{};
    caps.dwSize = sizeof caps;
    if (SUCCEEDED(m_directDraw->GetCaps(&caps, nullptr))) {
        m_hardwareCaps = caps.dwCaps;
        m_videoMemoryTotal = caps.dwVidMemTotal;
        m_videoMemoryFree = caps.dwVidMemFree;
    }
    // The stand-in is a Windows NT 5 or later: the identifier is always asked.
    DDDEVICEIDENTIFIER2 identifier{};
    if (SUCCEEDED(m_directDraw->GetDeviceIdentifier(&identifier, 0))) {
        m_driverName = identifier.szDriver;
        m_driverDescription = identifier.szDescription;
        m_driverVersionHigh = static_cast<DWORD>(identifier.liDriverVersion.u.HighPart);
        m_driverVersionLow = identifier.liDriverVersion.u.LowPart;
    }
    return 0;
}

void CDisplayDevice::Release()
{
    if (m_directDraw == nullptr)
        return;
    RestoreWindowedMode(false);
    m_directDraw->Release();
    m_directDraw = nullptr;
    m_cooperativeLevel = 0;
}

DWORD CDisplayDevice::GetVideoMemory(bool refresh)
{
    if (m_directDraw == nullptr)
        return 0;
    if (refresh) {
        DDCAPS caps{};
        caps.dwSize = sizeof caps;
        if (SUCCEEDED(m_directDraw->GetCaps(&caps, nullptr))) {
            m_videoMemoryTotal = caps.dwVidMemTotal;
            m_videoMemoryFree = caps.dwVidMemFree;
        }
    }
    return m_videoMemoryFree;
}

int CDisplayDevice::SetFullScreenMode(HWND window, DWORD width, DWORD height, DWORD bitsPerPixel, bool try60)
{
    if (m_directDraw == nullptr || (m_displayModeSet == 1 && m_modeDepth == bitsPerPixel))
        return 1;
    if ((m_depthMask & DepthBit(bitsPerPixel)) == 0)
        return 2;
    for (;;) {
        if (g_exclusiveNeeded && m_cooperativeLevel != 1) {
            if (FAILED(m_directDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)))
                return 3;
            m_cooperativeLevel = 1;
        } else if (m_cooperativeLevel == 0 && !g_exclusiveNeeded) {
            m_directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
            m_cooperativeLevel = 2;
        }
        auto record = [&](uint8_t refresh) {
            m_displayModeSet = 1;
            m_modeDepth = static_cast<uint8_t>(bitsPerPixel);
            m_modeRefresh = refresh;
            return 0;
        };
        if (try60 && m_has60Hz && SUCCEEDED(m_directDraw->SetDisplayMode(width, height, bitsPerPixel, 60, 0)))
            return record(60);
        if (SUCCEEDED(m_directDraw->SetDisplayMode(width, height, bitsPerPixel, 0, 0)))
            return record(0);
        if (m_cooperativeLevel == 1)
            return 4;
        g_exclusiveNeeded = true;
    }
}

int CDisplayDevice::RestoreWindowedMode(bool requireHardware3D)
{
    if (m_directDraw == nullptr)
        return 1;
    if (m_cooperativeLevel != 2) {
        m_directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
        m_cooperativeLevel = 2;
    }
    if (m_displayModeSet == 1)
        m_directDraw->RestoreDisplayMode();
    m_displayModeSet = 2;
    m_modeRefresh = 0;
    if (requireHardware3D && !m_hardware3D)
        return 2;
    return 0;
}

int CSurfaceClipper::Create(IDirectDraw7* directDraw, IDirectDrawSurface7* surface, HWND window)
{
    Release();
    if (directDraw == nullptr || surface == nullptr)
        return 1;
    if (directDraw->CreateClipper(0, &m_clipper, nullptr) != DD_OK || m_clipper == nullptr) {
        m_clipper = nullptr;
        return 2;
    }
    if (m_clipper->SetHWnd(0, window) != DD_OK) {
        Release();
        return 3;
    }
    if (surface->SetClipper(m_clipper) != DD_OK) {
        Release();
        return 4;
    }
    return 0;
}

void CSurfaceClipper::Release()
{
    if (m_clipper != nullptr) {
        m_clipper->Release();
        m_clipper = nullptr;
    }
}
