// Monitors, display settings, system metrics and system parameters from the host's displays.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "winapi/kernel_system.h"
#include "winapi/user_internal.h"

namespace {

using winapi::CurrentDisplays;
using winapi::DisplayInfo;

// Monitor handles name the display's place in the list.
HMONITOR MonitorHandle(size_t index)
{
    return reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(0x50000 + (index + 1) * 16));
}

bool MonitorIndex(HMONITOR monitor, const std::vector<DisplayInfo>& displays, size_t* index)
{
    const auto value = reinterpret_cast<uintptr_t>(monitor);
    if (value < 0x50010 || (value - 0x50000) % 16 != 0)
        return false;
    const size_t i = (value - 0x50000) / 16 - 1;
    if (i >= displays.size())
        return false;
    *index = i;
    return true;
}

// Distances and areas in 64 bits: rectangles far out at the integer limits overflowed in 32.
int64_t DistanceSquared(const RECT& r, int64_t x, int64_t y)
{
    const int64_t dx = x < r.left ? r.left - x : x >= r.right ? x - r.right + 1 : 0;
    const int64_t dy = y < r.top ? r.top - y : y >= r.bottom ? y - r.bottom + 1 : 0;
    return dx * dx + dy * dy;
}

int64_t OverlapArea(const RECT& a, const RECT& b)
{
    const int64_t w = int64_t{std::min(a.right, b.right)} - std::max(a.left, b.left);
    const int64_t h = int64_t{std::min(a.bottom, b.bottom)} - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

HMONITOR Fallback(DWORD flags, const std::vector<DisplayInfo>& displays, const RECT& rect)
{
    if (flags == MONITOR_DEFAULTTONULL)
        return nullptr;
    if (flags == MONITOR_DEFAULTTOPRIMARY)
        return MonitorHandle(0);
    const int64_t x = (int64_t{rect.left} + rect.right) / 2, y = (int64_t{rect.top} + rect.bottom) / 2;
    size_t best = 0;
    for (size_t i = 1; i < displays.size(); ++i)
        if (DistanceSquared(displays[i].bounds, x, y) < DistanceSquared(displays[best].bounds, x, y))
            best = i;
    return MonitorHandle(best);
}

struct SystemSwitches {
    std::mutex mutex;
    BOOL screenSaver = TRUE;
    BOOL lowPower = TRUE;
    BOOL powerOff = TRUE;
    DWORD executionState = ES_CONTINUOUS;
};

SystemSwitches& Switches()
{
    static SystemSwitches* switches = new SystemSwitches;
    return *switches;
}

// The host lets its screen saver run unless a switch or the execution state keeps it away.
void TellHostScreenSaver(const SystemSwitches& switches)
{
    const bool required = (switches.executionState & (ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED)) != 0;
    winapi::CurrentHost().SetScreenSaverAllowed(switches.screenSaver && !required);
}

} // namespace

DWORD WINAPI SetThreadExecutionState(DWORD flags)
{
    auto& switches = Switches();
    std::lock_guard lock(switches.mutex);
    DWORD previous = switches.executionState;
    if (flags & ES_CONTINUOUS)
        switches.executionState = flags;
    TellHostScreenSaver(switches);
    return previous;
}

BOOL WINAPI EnumDisplayMonitors(HDC hdc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data)
{
    if (callback == nullptr)
        return FALSE;
    const auto displays = CurrentDisplays();
    for (size_t i = 0; i < displays.size(); ++i) {
        RECT rect = displays[i].bounds;
        if (clip != nullptr && OverlapArea(rect, *clip) == 0)
            continue;
        if (!callback(MonitorHandle(i), hdc, &rect, data))
            return FALSE;
    }
    return TRUE;
}

BOOL WINAPI GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info)
{
    if (info == nullptr || (info->cbSize != sizeof(MONITORINFO) && info->cbSize != sizeof(MONITORINFOEXA)))
        return FALSE;
    const auto displays = CurrentDisplays();
    size_t index;
    if (!MonitorIndex(monitor, displays, &index))
        return FALSE;
    const DisplayInfo& display = displays[index];
    info->rcMonitor = display.bounds;
    info->rcWork = display.work;
    info->dwFlags = display.primary ? MONITORINFOF_PRIMARY : 0;
    if (info->cbSize == sizeof(MONITORINFOEXA)) {
        auto* ex = reinterpret_cast<MONITORINFOEXA*>(info);
        std::memset(ex->szDevice, 0, sizeof(ex->szDevice));
        std::strncpy(ex->szDevice, display.deviceName.c_str(), sizeof(ex->szDevice) - 1);
    }
    return TRUE;
}

HMONITOR WINAPI MonitorFromRect(LPCRECT rect, DWORD flags)
{
    if (rect == nullptr)
        return nullptr;
    const auto displays = CurrentDisplays();
    size_t best = 0;
    int64_t bestArea = 0;
    for (size_t i = 0; i < displays.size(); ++i) {
        const int64_t area = OverlapArea(displays[i].bounds, *rect);
        if (area > bestArea) {
            bestArea = area;
            best = i;
        }
    }
    if (bestArea > 0)
        return MonitorHandle(best);
    // An empty rectangle still lies on the monitor that holds its corner.
    for (size_t i = 0; i < displays.size(); ++i)
        if (DistanceSquared(displays[i].bounds, rect->left, rect->top) == 0)
            return MonitorHandle(i);
    return Fallback(flags, displays, *rect);
}

HMONITOR WINAPI MonitorFromPoint(POINT point, DWORD flags)
{
    // A point at INT_MAX is an empty rectangle: it still finds the monitor holding it.
    const RECT rect{point.x, point.y, point.x < INT32_MAX ? point.x + 1 : point.x,
                    point.y < INT32_MAX ? point.y + 1 : point.y};
    return MonitorFromRect(&rect, flags);
}

HMONITOR WINAPI MonitorFromWindow(HWND hwnd, DWORD flags)
{
    RECT rect;
    if (!GetWindowRect(hwnd, &rect))
        return flags == MONITOR_DEFAULTTONULL ? nullptr : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    return MonitorFromRect(&rect, flags);
}

BOOL WINAPI EnumDisplaySettingsA(LPCSTR device, DWORD index, DEVMODEA* mode)
{
    if (mode == nullptr)
        return FALSE;
    const auto displays = CurrentDisplays();
    size_t which = 0;
    if (device != nullptr) {
        auto it = std::find_if(displays.begin(), displays.end(), [device](const DisplayInfo& d) {
            return d.deviceName == device;
        });
        if (it == displays.end())
            return FALSE;
        which = static_cast<size_t>(it - displays.begin());
    }
    DisplayInfo chosen;
    if (index == ENUM_CURRENT_SETTINGS || index == ENUM_REGISTRY_SETTINGS)
        chosen = displays[which];
    else {
        const auto modes = winapi::CurrentHost().Modes(static_cast<int>(which));
        if (index >= modes.size())
            return FALSE;
        chosen = modes[index];
    }
    const WORD size = mode->dmSize;
    std::memset(mode, 0, sizeof(DEVMODEA));
    mode->dmSize = size != 0 ? size : sizeof(DEVMODEA);
    std::strncpy(reinterpret_cast<char*>(mode->dmDeviceName), displays[which].deviceName.c_str(), CCHDEVICENAME - 1);
    mode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    mode->dmBitsPerPel = static_cast<DWORD>(chosen.bitsPerPixel);
    mode->dmPelsWidth = static_cast<DWORD>(chosen.bounds.right - chosen.bounds.left);
    mode->dmPelsHeight = static_cast<DWORD>(chosen.bounds.bottom - chosen.bounds.top);
    mode->dmDisplayFrequency = static_cast<DWORD>(chosen.refreshHz);
    mode->dmPosition = POINT{displays[which].bounds.left, displays[which].bounds.top};
    return TRUE;
}

BOOL WINAPI EnumDisplayDevicesA(LPCSTR device, DWORD index, DISPLAY_DEVICEA* out, DWORD)
{
    if (out == nullptr || device != nullptr)
        return FALSE;  // monitors of an adapter are not listed
    const auto displays = CurrentDisplays();
    if (index >= displays.size())
        return FALSE;
    const DisplayInfo& display = displays[index];
    const DWORD cb = out->cb;
    std::memset(out, 0, sizeof(DISPLAY_DEVICEA));
    out->cb = cb;
    std::strncpy(out->DeviceName, display.deviceName.c_str(), sizeof(out->DeviceName) - 1);
    std::strncpy(out->DeviceString, display.adapter.c_str(), sizeof(out->DeviceString) - 1);
    out->StateFlags = DISPLAY_DEVICE_ATTACHED_TO_DESKTOP | (display.primary ? DISPLAY_DEVICE_PRIMARY_DEVICE : 0);
    return TRUE;
}

int WINAPI GetSystemMetrics(int index)
{
    const auto displays = CurrentDisplays();
    const DisplayInfo& primary = displays.front();
    RECT virtualScreen = primary.bounds;
    for (const DisplayInfo& display : displays) {
        virtualScreen.left = std::min(virtualScreen.left, display.bounds.left);
        virtualScreen.top = std::min(virtualScreen.top, display.bounds.top);
        virtualScreen.right = std::max(virtualScreen.right, display.bounds.right);
        virtualScreen.bottom = std::max(virtualScreen.bottom, display.bounds.bottom);
    }
    // Frame sizes match what AdjustWindowRectEx adds.
    switch (index) {
    case SM_CXSCREEN: return primary.bounds.right - primary.bounds.left;
    case SM_CYSCREEN: return primary.bounds.bottom - primary.bounds.top;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return 17;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CYMENU: return 19;
    case SM_CXFULLSCREEN: return primary.work.right - primary.work.left;
    case SM_CYFULLSCREEN: return primary.work.bottom - primary.work.top - 19;
    case SM_CXMAXIMIZED: return primary.work.right - primary.work.left + 8;
    case SM_CYMAXIMIZED: return primary.work.bottom - primary.work.top + 8;
    case SM_MOUSEPRESENT:
    case SM_MOUSEWHEELPRESENT: return 1;
    case SM_CMOUSEBUTTONS: return 3;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_XVIRTUALSCREEN: return virtualScreen.left;
    case SM_YVIRTUALSCREEN: return virtualScreen.top;
    case SM_CXVIRTUALSCREEN: return virtualScreen.right - virtualScreen.left;
    case SM_CYVIRTUALSCREEN: return virtualScreen.bottom - virtualScreen.top;
    case SM_CMONITORS: return static_cast<int>(displays.size());
    default: return 0;
    }
}

BOOL WINAPI SystemParametersInfoA(UINT action, UINT uiParam, PVOID pvParam, UINT)
{
    if (action == SPI_GETWORKAREA) {
        if (pvParam == nullptr)
            return FALSE;
        *static_cast<RECT*>(pvParam) = CurrentDisplays().front().work;
        return TRUE;
    }
    // Switches the engine may turn off while it runs and restore at exit.
    static const struct {
        UINT get;
        UINT set;
        BOOL SystemSwitches::*value;
    } kSwitches[] = {
        {SPI_GETSCREENSAVEACTIVE, SPI_SETSCREENSAVEACTIVE, &SystemSwitches::screenSaver},
        {SPI_GETLOWPOWERACTIVE, SPI_SETLOWPOWERACTIVE, &SystemSwitches::lowPower},
        {SPI_GETPOWEROFFACTIVE, SPI_SETPOWEROFFACTIVE, &SystemSwitches::powerOff},
    };
    auto& switches = Switches();
    for (const auto& row : kSwitches) {
        if (action != row.get && action != row.set)
            continue;
        std::lock_guard lock(switches.mutex);
        if (action == row.set) {
            switches.*row.value = uiParam != 0;
            TellHostScreenSaver(switches);
            return TRUE;
        }
        if (pvParam == nullptr)
            return FALSE;
        *static_cast<BOOL*>(pvParam) = switches.*row.value;
        return TRUE;
    }
    return FALSE;
}
