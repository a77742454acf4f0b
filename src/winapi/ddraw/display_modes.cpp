// Virtual display modes: setting one changes what the display list reports and loses the
// video-memory surfaces; the machine's real mode never changes.
#include "winapi/ddraw/display_modes.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>

#include "winapi/ddraw_testing.h"
#include "winapi/display_info.h"
#include "winapi/user.h"
#include "winapi/user_internal.h"
#include "winapi/user_monitor.h"

namespace winapi::ddraw {

namespace {

struct Size {
    DWORD width;
    DWORD height;
};

// The sizes a display offers, besides its own.
constexpr Size kModeSizes[] = {
    {640, 480},   {800, 600},   {1024, 768},  {1280, 720},  {1280, 960},   {1280, 1024},
    {1366, 768},  {1600, 900},  {1600, 1200}, {1920, 1080}, {1920, 1200},  {2560, 1440},
};

struct ModeState {
    std::mutex mutex;
    std::vector<DisplayInfo> desktop;  // the displays before the first mode was set; empty when none is
    std::vector<bool> modeSet;
};

ModeState& State()
{
    static ModeState* state = new ModeState;
    return *state;
}

std::atomic<uint32_t> g_epoch{1};
std::atomic<int> g_calls{0};
std::atomic<int> g_quadsByRows{0};
ddraw_testing::Switches g_switches;

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

DisplayInfo DesktopOf(size_t display, const std::vector<DisplayInfo>& now)
{
    ModeState& state = State();
    if (display < state.desktop.size())
        return state.desktop[display];
    return now[display];
}

void PostDisplayChange(const DisplayInfo& primary)
{
    const LPARAM size = MAKELONG(Width(primary.bounds), Height(primary.bounds));
    for (auto& window : user::AllWindows())
        if (user::IsTopLevel(*window))
            PostMessageA(window->hwnd, WM_DISPLAYCHANGE, static_cast<WPARAM>(primary.bitsPerPixel), size);
    user::UpdateHostWindows();
}

} // namespace

std::vector<Mode> OfferedModes(size_t display)
{
    const auto now = CurrentDisplays();
    if (display >= now.size())
        return {};
    DisplayInfo desktop;
    {
        std::lock_guard lock(State().mutex);
        desktop = DesktopOf(display, now);
    }
    const DWORD maxW = static_cast<DWORD>(std::max<LONG>(Width(desktop.bounds), 0));
    const DWORD maxH = static_cast<DWORD>(std::max<LONG>(Height(desktop.bounds), 0));
    std::vector<Size> sizes;
    for (const Size& size : kModeSizes)
        if (size.width <= maxW && size.height <= maxH)
            sizes.push_back(size);
    if (maxW > 0 && maxH > 0 &&
        std::none_of(sizes.begin(), sizes.end(), [&](const Size& s) { return s.width == maxW && s.height == maxH; }))
        sizes.push_back({maxW, maxH});
    std::vector<DWORD> depths{16, 32};
    if (g_switches.offer24Bits)
        depths = {16, 24, 32};
    std::vector<Mode> modes;
    for (const Size& size : sizes)
        for (DWORD bits : depths)
            modes.push_back({size.width, size.height, bits, 60});
    return modes;
}

HRESULT SetMode(size_t display, const Mode& mode)
{
    const auto offered = OfferedModes(display);
    const bool known = std::any_of(offered.begin(), offered.end(), [&](const Mode& m) {
        return m.width == mode.width && m.height == mode.height && m.bits == mode.bits &&
               (mode.refresh == 0 || mode.refresh == m.refresh);
    });
    if (!known)
        return DDERR_INVALIDMODE;
    DisplayInfo primary;
    {
        ModeState& state = State();
        std::lock_guard lock(state.mutex);
        auto displays = CurrentDisplays();
        if (display >= displays.size())
            return DDERR_INVALIDMODE;
        if (state.desktop.empty()) {
            state.desktop = displays;
            state.modeSet.assign(displays.size(), false);
        }
        DisplayInfo& info = displays[display];
        info.bounds.right = info.bounds.left + static_cast<LONG>(mode.width);
        info.bounds.bottom = info.bounds.top + static_cast<LONG>(mode.height);
        info.work = info.bounds;
        info.bitsPerPixel = static_cast<int>(mode.bits);
        info.refreshHz = 60;
        if (display < state.modeSet.size())
            state.modeSet[display] = true;
        primary = displays.front();
        SetDisplays(std::move(displays));
    }
    AdvanceLossEpoch();
    PostDisplayChange(primary);
    return DD_OK;
}

void RestoreMode(size_t display)
{
    DisplayInfo primary;
    {
        ModeState& state = State();
        std::lock_guard lock(state.mutex);
        if (display >= state.modeSet.size() || !state.modeSet[display])
            return;
        auto displays = CurrentDisplays();
        if (display < displays.size())
            displays[display] = state.desktop[display];
        state.modeSet[display] = false;
        if (std::none_of(state.modeSet.begin(), state.modeSet.end(), [](bool set) { return set; })) {
            displays = state.desktop;
            state.desktop.clear();
            state.modeSet.clear();
        }
        primary = displays.front();
        SetDisplays(std::move(displays));
    }
    AdvanceLossEpoch();
    PostDisplayChange(primary);
}

DWORD DisplayBits(size_t display)
{
    const auto displays = CurrentDisplays();
    return static_cast<DWORD>(displays[display < displays.size() ? display : 0].bitsPerPixel);
}

DDPIXELFORMAT FormatOfBits(DWORD bits)
{
    DDPIXELFORMAT pf{};
    pf.dwSize = sizeof(DDPIXELFORMAT);
    pf.dwFlags = DDPF_RGB;
    pf.dwRGBBitCount = bits;
    if (bits == 16) {
        pf.dwRBitMask = 0xF800;
        pf.dwGBitMask = 0x07E0;
        pf.dwBBitMask = 0x001F;
    } else {
        pf.dwRGBBitCount = bits == 24 ? 24 : 32;
        pf.dwRBitMask = 0x00FF0000;
        pf.dwGBitMask = 0x0000FF00;
        pf.dwBBitMask = 0x000000FF;
    }
    return pf;
}

uint32_t LossEpoch() { return g_epoch.load(); }
void AdvanceLossEpoch() { g_epoch.fetch_add(1); }

void CountQuadByRows() { g_quadsByRows.fetch_add(1); }

void CountCall()
{
    if (g_switches.loseAtCall > 0 && g_calls.fetch_add(1) + 1 == g_switches.loseAtCall)
        AdvanceLossEpoch();
}

namespace {

// The methods whose calls are counted (and can be made to fail): a fixed table of counters, so a
// draw call pays a few compares and one atomic add, no lock and no string.
constexpr const char* kCountedMethods[] = {"DrawPrimitive",      "SetTexture",   "SetRenderState",
                                           "SetTextureStageState", "BeginScene", "EndScene",
                                           "SetViewport",        "GetCaps",      "EnumTextureFormats",
                                           "EnumZBufferFormats", "AddAttachedSurface"};
constexpr int kCountedMethodCount = static_cast<int>(std::size(kCountedMethods));

int CountedMethodIndex(const char* method)
{
    for (int i = 0; i < kCountedMethodCount; ++i)
        if (std::strcmp(kCountedMethods[i], method) == 0)
            return i;
    return -1;
}

struct CallCounts {
    std::mutex lock; // the state maps
    std::atomic<int> methods[kCountedMethodCount] = {};
    std::map<DWORD, int> renderStates;
    std::map<DWORD, int> stageStates;
};
CallCounts& Counts()
{
    static CallCounts counts;
    return counts;
}

} // namespace

HRESULT MethodCall(const char* method)
{
    CountCall();
    const int index = CountedMethodIndex(method);
    assert(index >= 0 && "a counted method must be in kCountedMethods");
    if (index < 0)
        return DD_OK;
    const int n = Counts().methods[index].fetch_add(1, std::memory_order_relaxed) + 1;
    if (g_switches.failMethodCall > 0 && n == g_switches.failMethodCall && g_switches.failMethod == method)
        return DDERR_GENERIC;
    return DD_OK;
}

void CountRenderState(DWORD state)
{
    std::lock_guard<std::mutex> hold(Counts().lock);
    ++Counts().renderStates[state];
}

void CountStageState(DWORD state)
{
    std::lock_guard<std::mutex> hold(Counts().lock);
    ++Counts().stageStates[state];
}

std::vector<Driver> Drivers()
{
    const auto displays = CurrentDisplays();
    std::vector<Driver> drivers;
    drivers.push_back({GUID{}, false, "Primary Display Driver", "display", nullptr, 0});
    if (displays.size() >= 2) {
        for (size_t i = 0; i < displays.size(); ++i) {
            GUID guid{0x67c2a0d0, 0x1f5b, 0x4e5a, {0x9d, 0x11, 0x54, 0x65, 0x73, 0x73, 0x00, static_cast<BYTE>(i + 1)}};
            const POINT corner{displays[i].bounds.left, displays[i].bounds.top};
            drivers.push_back({guid, true, displays[i].adapter, displays[i].deviceName,
                               MonitorFromPoint(corner, MONITOR_DEFAULTTONEAREST), i});
        }
    }
    return drivers;
}

bool FindDriver(const GUID* guid, Driver* out)
{
    for (const Driver& driver : Drivers()) {
        if (guid == nullptr ? !driver.hasGuid : (driver.hasGuid && driver.guid == *guid)) {
            *out = driver;
            return true;
        }
    }
    return false;
}

} // namespace winapi::ddraw

namespace winapi::ddraw_testing {

Switches& Current() { return ddraw::g_switches; }

void Reset()
{
    ddraw::g_switches = Switches{};
    ddraw::g_calls = 0;
    ddraw::g_quadsByRows = 0;
    auto& counts = ddraw::Counts();
    std::lock_guard<std::mutex> hold(counts.lock);
    for (std::atomic<int>& n : counts.methods)
        n.store(0, std::memory_order_relaxed);
    counts.renderStates.clear();
    counts.stageStates.clear();
}

void LoseAllSurfaces() { ddraw::AdvanceLossEpoch(); }

int CallsCounted() { return ddraw::g_calls; }

int QuadsByRows() { return ddraw::g_quadsByRows; }

int MethodCalls(const std::string& method)
{
    const int index = ddraw::CountedMethodIndex(method.c_str());
    return index < 0 ? 0 : ddraw::Counts().methods[index].load(std::memory_order_relaxed);
}

int RenderStateCalls(DWORD state)
{
    auto& counts = ddraw::Counts();
    std::lock_guard<std::mutex> hold(counts.lock);
    auto found = counts.renderStates.find(state);
    return found == counts.renderStates.end() ? 0 : found->second;
}

int StageStateCalls(DWORD state)
{
    auto& counts = ddraw::Counts();
    std::lock_guard<std::mutex> hold(counts.lock);
    auto found = counts.stageStates.find(state);
    return found == counts.stageStates.end() ? 0 : found->second;
}

DDPIXELFORMAT TextureFormat(DWORD bits, DWORD alpha, DWORD red, DWORD green, DWORD blue)
{
    DDPIXELFORMAT pf{};
    pf.dwSize = sizeof pf;
    pf.dwFlags = DDPF_RGB | (alpha != 0 ? DDPF_ALPHAPIXELS : 0);
    pf.dwRGBBitCount = bits;
    pf.dwRBitMask = red;
    pf.dwGBitMask = green;
    pf.dwBBitMask = blue;
    pf.dwRGBAlphaBitMask = alpha;
    return pf;
}

} // namespace winapi::ddraw_testing

namespace {

// The display of a device name (null: the primary); false when unknown.
bool DisplayOfDevice(LPCSTR device, size_t* index)
{
    const auto displays = winapi::CurrentDisplays();
    if (device == nullptr) {
        *index = 0;
        return true;
    }
    for (size_t i = 0; i < displays.size(); ++i)
        if (displays[i].deviceName == device) {
            *index = i;
            return true;
        }
    return false;
}

} // namespace

LONG WINAPI ChangeDisplaySettingsExA(LPCSTR device, DEVMODEA* mode, HWND, DWORD, LPVOID)
{
    size_t display = 0;
    if (!DisplayOfDevice(device, &display))
        return DISP_CHANGE_BADMODE;
    if (mode == nullptr) {
        winapi::ddraw::RestoreMode(display);
        return DISP_CHANGE_SUCCESSFUL;
    }
    if ((mode->dmFields & (DM_PELSWIDTH | DM_PELSHEIGHT)) != (DM_PELSWIDTH | DM_PELSHEIGHT))
        return DISP_CHANGE_BADMODE;
    const DWORD bits = (mode->dmFields & DM_BITSPERPEL) ? mode->dmBitsPerPel : winapi::ddraw::DisplayBits(display);
    return winapi::ddraw::SetMode(display, {mode->dmPelsWidth, mode->dmPelsHeight, bits, 0}) == DD_OK
               ? DISP_CHANGE_SUCCESSFUL
               : DISP_CHANGE_BADMODE;
}

BOOL WINAPI EnumDisplaySettingsExA(LPCSTR device, DWORD index, DEVMODEA* mode, DWORD)
{
    size_t display = 0;
    if (mode == nullptr || !DisplayOfDevice(device, &display))
        return FALSE;
    if (index == ENUM_CURRENT_SETTINGS || index == ENUM_REGISTRY_SETTINGS)
        return EnumDisplaySettingsA(device, index, mode);
    const auto modes = winapi::ddraw::OfferedModes(display);
    if (index >= modes.size())
        return FALSE;
    const WORD size = mode->dmSize;
    *mode = DEVMODEA{};
    mode->dmSize = size != 0 ? size : sizeof(DEVMODEA);
    mode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    mode->dmPelsWidth = modes[index].width;
    mode->dmPelsHeight = modes[index].height;
    mode->dmBitsPerPel = modes[index].bits;
    mode->dmDisplayFrequency = modes[index].refresh;
    return TRUE;
}
