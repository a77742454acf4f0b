// The screen's display-device list, the choice of a full-screen mode for the game's size, the
// display-settings change without DirectDraw, and the scaled output rectangle.
#include <algorithm>
#include <cstring>

#include "display/screen.h"
#include "platform/monitor_list.h"
#include "winapi/gdi.h"

namespace {

// The first hardware-rasterising Direct3D device of a driver; null when none.
const CDriver3DDevice* FirstHardwareDevice(const CDriverRecord& driver)
{
    for (const CDriver3DDevice& device : driver.devices)
        if (device.hardwareRasterization)
            return &device;
    return nullptr;
}

// Modes of width W: the driver's DirectDraw list (exclusive) or the display settings of a device.
std::vector<CDriverMode> ModesOfWidth(const CDriverRecord& driver, const char* deviceName, DWORD width,
                                      bool exclusive)
{
    std::vector<CDriverMode> modes;
    if (exclusive) {
        for (const CDriverMode& mode : driver.modes)
            if (mode.width == width)
                modes.push_back(mode);
        return modes;
    }
    DEVMODEA dm{};
    dm.dmSize = sizeof dm;
    for (DWORD i = 0; EnumDisplaySettingsExA(deviceName, i, &dm, 0); ++i)
        if (dm.dmPelsWidth == width)
            modes.push_back({dm.dmPelsWidth, dm.dmPelsHeight, dm.dmBitsPerPel, dm.dmDisplayFrequency});
    return modes;
}

} // namespace

void CScreen::ClearDisplayDeviceList()
{
    m_displayDevices.clear();
    m_selectedDevice = -1;
}

int CScreen::EnumDisplayDevices(const CMonitorList* monitors, LONG width, LONG height, bool exclusive)
{
    if (monitors == nullptr)
        return 1;
    ClearDisplayDeviceList();
    if (BuildDriverList(false, exclusive) != 0 || monitors->Records().empty())
        return -1;
    const auto& drivers = DriverList();
    const auto& records = monitors->Records();
    for (const CMonitorRecord& monitor : records) {
        const CDriverRecord* driver = nullptr;
        for (const CDriverRecord& candidate : drivers)
            if (candidate.monitor == monitor.monitor)
                driver = &candidate;
        if (driver == nullptr) {
            if (drivers.size() != 1 || drivers.front().monitor != nullptr)
                return -1;
            driver = &drivers.front();
        }
        CDisplayDeviceRecord record;
        record.monitor = monitor.monitor;
        record.monitorDepth = monitor.bitsPerPixel;
        record.deviceName = monitor.deviceName;
        record.displayName = monitor.description;
        if (monitor.primary && records.size() >= 2)
            record.displayName += " (Primary)";
        record.driverGuid = driver->guid;
        record.driverHasGuid = driver->hasGuid;
        if (const CDriver3DDevice* device = FirstHardwareDevice(*driver)) {
            record.hardwareDevice = device->guid;
            record.renderDepths = device->desc.dwDeviceRenderBitDepth;
            record.hardware3D = driver->hardware3D;
        }
        // The height of the monitor's aspect at the game's width; a monitor of zero width has none.
        const LONG monitorWidth = monitor.monitorRect.right - monitor.monitorRect.left;
        const LONG monitorHeight = monitor.monitorRect.bottom - monitor.monitorRect.top;
        const DWORD aspectHeight = monitorWidth > 0 && width > 0
                                       ? static_cast<DWORD>(int64_t{monitorHeight} * width / monitorWidth)
                                       : 0;
        const auto modes = ModesOfWidth(*driver, monitor.deviceName, static_cast<DWORD>(std::max<LONG>(width, 0)),
                                         exclusive);
        DWORD found = 0;
        bool hasAspect = false, hasWanted = false;
        for (const CDriverMode& mode : modes) {
            hasAspect = hasAspect || (aspectHeight != 0 && mode.height == aspectHeight);
            hasWanted = hasWanted || mode.height == static_cast<DWORD>(height);
            if (mode.height != aspectHeight && mode.height != static_cast<DWORD>(height))
                found = mode.height;
        }
        if (hasAspect)
            found = aspectHeight;
        else if (hasWanted)
            found = static_cast<DWORD>(height);
        if (monitorWidth <= 0)
            found = 0;
        uint8_t depthBits = 0;
        bool has60 = false;
        for (const CDriverMode& mode : modes) {
            if (found == 0 || mode.height != found)
                continue;
            depthBits |= DepthBit(mode.bitsPerPixel);
            has60 = has60 || mode.refreshRate == 60;
        }
        if (found != 0 && depthBits != 0) {
            record.fullScreenWidth = static_cast<DWORD>(width);
            record.fullScreenHeight = found;
            record.exactHeight = found == static_cast<DWORD>(height);
            record.has60Hz = has60;
        }
        record.depthMask = static_cast<DWORD>(depthBits) << 8;
        m_displayDevices.push_back(std::move(record));
    }
    m_exclusive = exclusive;
    return 0;
}

int CScreen::SelectDisplayMode(bool fullScreen, HMONITOR monitor, size_t index, DWORD depth,
                               const CMonitorList* monitors)
{
    if (m_displayDevices.empty())
        return 1;
    int chosen = -1;
    for (size_t i = 0; i < m_displayDevices.size(); ++i)
        if (monitor != nullptr && m_displayDevices[i].monitor == monitor)
            chosen = static_cast<int>(i);
    if (chosen < 0)
        chosen = index < m_displayDevices.size() ? static_cast<int>(index) : 0;
    const CDisplayDeviceRecord& record = m_displayDevices[static_cast<size_t>(chosen)];
    if (chosen != m_selectedDevice) {
        m_selectedDevice = chosen;
        SetDepthMask(static_cast<uint8_t>(record.depthMask >> 8));
        Set60Hz(record.has60Hz);
    }
    m_fullScreenMode = fullScreen && record.fullScreenWidth != 0;
    const uint8_t mask = DepthMask();
    if (depth != 0 && (mask & DepthBit(depth)) != 0) {
        m_chosenDepth = depth;
    } else if (depth != 0) {
        m_chosenDepth = 0;
        for (DWORD bits : {32u, 24u, 16u})
            if (m_chosenDepth == 0 && (mask & DepthBit(bits)) != 0)
                m_chosenDepth = bits;
        if (m_chosenDepth == 0)
            return 3;
    } else if (record.monitorDepth != 0) {
        m_chosenDepth = record.monitorDepth;
    } else {
        HDC screen = GetDC(nullptr);
        m_chosenDepth = static_cast<DWORD>(GetDeviceCaps(screen, BITSPIXEL));
        ReleaseDC(nullptr, screen);
    }
    if (monitors != nullptr)
        m_chosenMonitor = record.monitor;
    if (m_fullScreenMode && record.exactHeight) {
        ClearScaledOutput();
        return 0;
    }
    LONG targetWidth, targetHeight;
    if (m_fullScreenMode) {
        targetWidth = static_cast<LONG>(record.fullScreenWidth);
        targetHeight = static_cast<LONG>(record.fullScreenHeight);
    } else if (monitors != nullptr) {
        RECT rect;
        monitors->GetMonitorRect(&rect, record.monitor);
        targetWidth = rect.right - rect.left;
        targetHeight = rect.bottom - rect.top;
    } else {
        targetWidth = GetSystemMetrics(SM_CXSCREEN);
        targetHeight = GetSystemMetrics(SM_CYSCREEN);
    }
    return SetScaledOutput(targetWidth, targetHeight, false) < 1 ? 0 : 4;
}

int CScreen::SetScaledOutput(LONG targetWidth, LONG targetHeight, bool keepWhenSameAspect)
{
    const LONG gameWidth = m_output.right - m_output.left;
    const LONG gameHeight = m_output.bottom - m_output.top;
    if (targetWidth < 1 || targetHeight < 1 || gameWidth < 1 || gameHeight < 1)
        return 1;
    const double target = static_cast<double>(targetWidth) / targetHeight;
    const double game = static_cast<double>(gameWidth) / gameHeight;
    bool borders = true;
    if (target == game) {
        borders = false;
        if (targetWidth == gameWidth) {
            ClearScaledOutput();
            return -1;
        }
        if (keepWhenSameAspect) {
            ClearScaledOutput();
            return 0;
        }
    }
    CScaledOutput& s = m_scaled;
    if (target <= game) {
        s.width = targetWidth;
        s.height = static_cast<LONG>(int64_t{gameHeight} * targetWidth / gameWidth);
        s.x = 0;
        s.y = (targetHeight - s.height) >> 1;
        s.border[0] = RECT{0, 0, targetWidth, s.y};
        s.border[1] = RECT{0, s.y + s.height, targetWidth, targetHeight};
    } else {
        s.height = targetHeight;
        s.width = static_cast<LONG>(int64_t{gameWidth} * targetHeight / gameHeight);
        s.y = 0;
        s.x = (targetWidth - s.width) >> 1;
        s.border[0] = RECT{0, 0, s.x, targetHeight};
        s.border[1] = RECT{s.x + s.width, 0, targetWidth, targetHeight};
    }
    s.windowWidth = s.targetWidth = targetWidth;
    s.windowHeight = s.targetHeight = targetHeight;
    s.borders = borders;
    s.active = true;
    m_scaledConfigured = true;
    return 0;
}

void CScreen::ClearScaledOutput()
{
    m_scaledConfigured = false;
    m_scaled.active = false;
    m_scaled.borders = false;
    m_scaled.windowWidth = m_output.right - m_output.left;
    m_scaled.windowHeight = m_output.bottom - m_output.top;
}

int CScreen::ChangeDisplaySettings(DWORD width, DWORD height, const char* deviceName)
{
    if (m_displaySettingsActive)
        RestoreDisplaySettings();
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    if (ChangeDisplaySettingsExA(deviceName, &mode, nullptr, CDS_FULLSCREEN, nullptr) != DISP_CHANGE_SUCCESSFUL)
        return 1;
    m_displaySettingsDevice = deviceName != nullptr ? deviceName : "";
    m_displaySettingsActive = true;
    return 0;
}

int CScreen::RestoreDisplaySettings()
{
    if (!m_displaySettingsActive)
        return 1;
    ChangeDisplaySettingsExA(m_displaySettingsDevice.empty() ? nullptr : m_displaySettingsDevice.c_str(), nullptr,
                             nullptr, 0, nullptr);
    m_displaySettingsActive = false;
    m_displaySettingsDevice.clear();
    return 0;
}
