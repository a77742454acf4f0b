// The stand-in's DirectDraw device: drivers and virtual modes per display, cooperative levels,
// mode changes as the window system sees them, losses and WRONGMODE, the primary writing into the
// windows' stores (clipped, bilinear when stretched), flip chains and the built-in module.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "winapi/com.h"
#include "winapi/d3d.h"
#include "winapi/ddraw.h"
#include "winapi/ddraw_testing.h"
#include "winapi/gdi.h"
#include "winapi/host_headless.h"
#include "winapi/kernel_module.h"
#include "winapi/user.h"

namespace {

winapi::HeadlessHost& Host() { return *winapi::CurrentHeadlessHost(); }

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

winapi::DisplayInfo Display(RECT bounds, const char* name, bool primary)
{
    winapi::DisplayInfo info;
    info.bounds = bounds;
    info.work = bounds;
    info.deviceName = name;
    info.adapter = std::string("Adapter ") + name;
    info.primary = primary;
    return info;
}

UINT g_displayChanges = 0;
LPARAM g_lastDisplayChange = 0;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DISPLAYCHANGE) {
        ++g_displayChanges;
        g_lastDisplayChange = lParam;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class DDrawDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        winapi::ddraw_testing::Reset();
        Host().SetDisplays({Display({0, 0, 1920, 1080}, "\\\\.\\DISPLAY1", true)});
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = CountingProc;
        wc.lpszClassName = "DDrawDeviceTest";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "DDrawDeviceTest", "d", WS_POPUP | WS_VISIBLE, 100, 50, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        Pump();
        ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr), DD_OK);
        g_displayChanges = 0;
    }
    void TearDown() override
    {
        if (dd != nullptr)
            dd->Release();
        DestroyWindow(window);
        Pump();
        winapi::ddraw_testing::Reset();
    }

    IDirectDrawSurface7* Offscreen(LONG w, LONG h, DWORD caps = DDSCAPS_OFFSCREENPLAIN)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddsCaps.dwCaps = caps;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        return s;
    }
    IDirectDrawSurface7* Primary(DWORD backBuffers = 0)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | (backBuffers ? DDSD_BACKBUFFERCOUNT : 0);
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | (backBuffers ? DDSCAPS_FLIP | DDSCAPS_COMPLEX : 0);
        d.dwBackBufferCount = backBuffers;
        IDirectDrawSurface7* s = nullptr;
        lastResult = dd->CreateSurface(&d, &s, nullptr);
        return s;
    }
    static void Fill(IDirectDrawSurface7* s, DWORD colour, RECT* r = nullptr)
    {
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = colour;
        ASSERT_EQ(s->Blt(r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    }
    uint32_t Shown(int x, int y) { return Host().ReadBack(window).At(x, y) & 0xFFFFFF; }

    HWND window = nullptr;
    IDirectDraw7* dd = nullptr;
    HRESULT lastResult = DD_OK;
};

struct DriverCase {
    const char* name;
    std::vector<winapi::DisplayInfo> displays;
    size_t drivers;
};

BOOL CALLBACK CollectDriver(GUID* guid, LPSTR description, LPSTR name, LPVOID context, HMONITOR monitor)
{
    auto* out = static_cast<std::vector<std::tuple<bool, std::string, std::string, HMONITOR>>*>(context);
    out->emplace_back(guid != nullptr, description, name, monitor);
    return TRUE;
}

TEST_F(DDrawDevice, DriversAreThePrimaryDriverAndOnePerDisplayWhenThereAreTwo)
{
    const DriverCase cases[] = {
        {"one display", {Display({0, 0, 1920, 1080}, "\\\\.\\DISPLAY1", true)}, 1},
        {"two displays",
         {Display({0, 0, 1920, 1080}, "\\\\.\\DISPLAY1", true), Display({1920, 0, 3200, 1024}, "\\\\.\\DISPLAY2", false)},
         3},
    };
    for (const DriverCase& c : cases) {
        SCOPED_TRACE(c.name);
        Host().SetDisplays(c.displays);
        std::vector<std::tuple<bool, std::string, std::string, HMONITOR>> drivers;
        ASSERT_EQ(DirectDrawEnumerateExA(CollectDriver, &drivers, DDENUM_ATTACHEDSECONDARYDEVICES), DD_OK);
        ASSERT_EQ(drivers.size(), c.drivers);
        EXPECT_FALSE(std::get<0>(drivers[0]));
        EXPECT_EQ(std::get<3>(drivers[0]), nullptr);
        for (size_t i = 1; i < drivers.size(); ++i) {
            EXPECT_TRUE(std::get<0>(drivers[i]));
            EXPECT_EQ(std::get<2>(drivers[i]), c.displays[i - 1].deviceName);
            const POINT corner{c.displays[i - 1].bounds.left, c.displays[i - 1].bounds.top};
            EXPECT_EQ(std::get<3>(drivers[i]), MonitorFromPoint(corner, MONITOR_DEFAULTTONULL));
        }
    }
}

HRESULT CALLBACK CollectMode(LPDDSURFACEDESC2 desc, LPVOID context)
{
    static_cast<std::vector<DDSURFACEDESC2>*>(context)->push_back(*desc);
    return DDENUMRET_OK;
}

TEST_F(DDrawDevice, ModesAreTheTableSizesThatFitAndTheDisplaysOwn)
{
    struct ModeCase {
        RECT display;
        bool offer24;
        size_t sizes;
        size_t depths;
    } const cases[] = {
        {{0, 0, 1920, 1080}, false, 9, 2},  // up to 1920x1080 (its own size is in the table)
        {{0, 0, 1000, 700}, false, 3, 2},   // 640x480, 800x600 and its own 1000x700
        {{0, 0, 2560, 1600}, true, 13, 3},  // the whole table and its own size, 24 bits too
        {{0, 0, 600, 400}, false, 1, 2},    // only its own size
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.display.right);
        winapi::ddraw_testing::Current().offer24Bits = c.offer24;
        Host().SetDisplays({Display(c.display, "\\\\.\\DISPLAY1", true)});
        std::vector<DDSURFACEDESC2> modes;
        ASSERT_EQ(dd->EnumDisplayModes(DDEDM_REFRESHRATES, nullptr, &modes, CollectMode), DD_OK);
        ASSERT_EQ(modes.size(), c.sizes * c.depths);
        bool own = false;
        for (const auto& m : modes) {
            EXPECT_LE(m.dwWidth, static_cast<DWORD>(c.display.right));
            EXPECT_LE(m.dwHeight, static_cast<DWORD>(c.display.bottom));
            EXPECT_EQ(m.dwRefreshRate, 60u);
            EXPECT_EQ(m.ddpfPixelFormat.dwRBitMask, m.ddpfPixelFormat.dwRGBBitCount == 16 ? 0xF800u : 0xFF0000u);
            own = own || (m.dwWidth == static_cast<DWORD>(c.display.right) &&
                          m.dwHeight == static_cast<DWORD>(c.display.bottom));
        }
        EXPECT_TRUE(own);
    }
    Host().SetDisplays({Display({0, 0, 1920, 1080}, "\\\\.\\DISPLAY1", true)});
    DDSURFACEDESC2 want{};
    want.dwSize = sizeof want;
    want.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
    want.dwWidth = 640;
    want.dwHeight = 480;
    std::vector<DDSURFACEDESC2> modes;
    dd->EnumDisplayModes(0, &want, &modes, CollectMode);
    ASSERT_EQ(modes.size(), 2u);
    EXPECT_EQ(modes[0].dwRefreshRate, 0u);  // rates only when asked
}

TEST_F(DDrawDevice, AModeChangeIsSeenByTheWindowSystemAndLosesVideoSurfaces)
{
    IDirectDrawSurface7* video = Offscreen(8, 8);
    IDirectDrawSurface7* system = Offscreen(8, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
    EXPECT_EQ(dd->SetDisplayMode(800, 600, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    IDirectDraw7* other = nullptr;
    ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&other), IID_IDirectDraw7, nullptr), DD_OK);
    EXPECT_EQ(other->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_EXCLUSIVEMODEALREADYSET);
    EXPECT_EQ(dd->SetDisplayMode(3000, 2000, 32, 0, 0), DDERR_INVALIDMODE);
    ASSERT_EQ(dd->SetDisplayMode(800, 600, 16, 60, 0), DD_OK);
    Pump();
    EXPECT_EQ(g_displayChanges, 1u);
    EXPECT_EQ(g_lastDisplayChange, MAKELONG(800, 600));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 16);
    ReleaseDC(nullptr, screen);
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(mode.dmPelsWidth, 800u);
    EXPECT_EQ(mode.dmBitsPerPel, 16u);

    EXPECT_EQ(video->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(system->IsLost(), DD_OK);
    EXPECT_EQ(video->Restore(), DDERR_WRONGMODE);  // made at 32 bits
    IDirectDrawSurface7* made16 = Offscreen(4, 4);
    DDPIXELFORMAT pf{};
    pf.dwSize = sizeof pf;
    made16->GetPixelFormat(&pf);
    EXPECT_EQ(pf.dwRGBBitCount, 16u);
    EXPECT_EQ(pf.dwRBitMask, 0xF800u);

    // Same depth, other size: lost, restored black.
    Fill(made16, 0x1234);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
    EXPECT_EQ(made16->Blt(nullptr, made16, nullptr, 0, nullptr), DDERR_SURFACELOST);
    ASSERT_EQ(made16->Restore(), DD_OK);
    DDSURFACEDESC2 locked{};
    locked.dwSize = sizeof locked;
    ASSERT_EQ(made16->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(*static_cast<WORD*>(locked.lpSurface), 0);
    made16->Unlock(nullptr);

    // Release restores the desktop mode.
    dd->Release();
    dd = nullptr;
    Pump();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(g_lastDisplayChange, MAKELONG(1920, 1080));
    EXPECT_EQ(other->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    other->Release();
    for (auto* s : {video, system, made16})
        s->Release();
}

TEST_F(DDrawDevice, ABltToThePrimaryLandsInTheWindowAtItsClientOffsetClipped)
{
    IDirectDrawSurface7* primary = Primary();
    ASSERT_NE(primary, nullptr);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    primary->GetSurfaceDesc(&desc);
    EXPECT_EQ(desc.dwWidth, 1920u);
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    clipper->SetHWnd(0, window);
    ASSERT_EQ(primary->SetClipper(clipper), DD_OK);

    IDirectDrawSurface7* red = Offscreen(50, 50);
    Fill(red, 0xFF0000);
    RECT to{90, 40, 140, 90};  // overlaps the client's top-left corner at (100, 50)
    ASSERT_EQ(primary->Blt(&to, red, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Shown(0, 0), 0xFF0000u);
    EXPECT_EQ(Shown(39, 39), 0xFF0000u);
    EXPECT_EQ(Shown(40, 40), 0u);
    EXPECT_EQ(Shown(40, 0), 0u);

    // Keyed: the key shows what the window had.
    IDirectDrawSurface7* keyed = Offscreen(4, 1);
    DDSURFACEDESC2 locked{};
    locked.dwSize = sizeof locked;
    ASSERT_EQ(keyed->Lock(nullptr, &locked, 0, nullptr), DD_OK);
    const DWORD row[4] = {0x00FF00, 0x000000, 0x00FF00, 0x000000};
    std::memcpy(locked.lpSurface, row, sizeof row);
    keyed->Unlock(nullptr);
    DDCOLORKEY key{0, 0};
    keyed->SetColorKey(DDCKEY_SRCBLT, &key);
    ASSERT_EQ(primary->BltFast(100, 50, keyed, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
    EXPECT_EQ(Shown(0, 0), 0x00FF00u);
    EXPECT_EQ(Shown(1, 0), 0xFF0000u);

    // Lock gives a gathered copy; what is written comes back at Unlock.
    RECT corner{100, 50, 102, 51};
    ASSERT_EQ(primary->Lock(&corner, &locked, 0, nullptr), DD_OK);
    EXPECT_EQ(static_cast<DWORD*>(locked.lpSurface)[1] & 0xFFFFFF, 0xFF0000u);
    static_cast<DWORD*>(locked.lpSurface)[1] = 0x0000FF;
    primary->Unlock(nullptr);
    EXPECT_EQ(Shown(1, 0), 0x0000FFu);
    EXPECT_EQ(dd->FlipToGDISurface(), DD_OK);
    EXPECT_EQ(primary->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
    for (IUnknown* o : std::initializer_list<IUnknown*>{keyed, red, clipper, primary})
        o->Release();
}

TEST_F(DDrawDevice, StretchesIntoThePrimaryAreBilinear)
{
    IDirectDrawSurface7* primary = Primary();
    IDirectDrawSurface7* src = Offscreen(2, 1);
    DDSURFACEDESC2 locked{};
    locked.dwSize = sizeof locked;
    ASSERT_EQ(src->Lock(nullptr, &locked, 0, nullptr), DD_OK);
    static_cast<DWORD*>(locked.lpSurface)[0] = 0x000000;
    static_cast<DWORD*>(locked.lpSurface)[1] = 0xFFFFFF;
    src->Unlock(nullptr);
    RECT to{100, 50, 108, 51};
    ASSERT_EQ(primary->Blt(&to, src, nullptr, 0, nullptr), DD_OK);
    // Centres at (x + 0.5) / 4 - 0.5, clamped: 0, 0, 0.125, 0.375, 0.625, 0.875, 1, 1.
    const double expected[8] = {0, 0, 0.125, 0.375, 0.625, 0.875, 1, 1};
    for (int x = 0; x < 8; ++x)
        EXPECT_NEAR(static_cast<double>(Shown(x, 0) & 0xFF), expected[x] * 255, 2.0) << x;
    // Off-screen stretches keep the raster's stepping: no new colours.
    IDirectDrawSurface7* wide = Offscreen(8, 1);
    ASSERT_EQ(wide->Blt(nullptr, src, nullptr, 0, nullptr), DD_OK);
    ASSERT_EQ(wide->Lock(nullptr, &locked, 0, nullptr), DD_OK);
    for (int x = 0; x < 8; ++x) {
        const DWORD v = static_cast<DWORD*>(locked.lpSurface)[x] & 0xFFFFFF;
        EXPECT_TRUE(v == 0 || v == 0xFFFFFF) << x;
    }
    wide->Unlock(nullptr);
    for (auto* s : {wide, src, primary})
        s->Release();
}

// The primary's stretch of x888 pixels, per result pixel: centres aligned, edges clamped, 8-bit
// weights, each channel mixed across, cut to 8 bits, then mixed down.
uint32_t BilinearAt(const std::vector<uint32_t>& src, LONG sw, LONG sh, LONG dw, LONG dh, LONG x, LONG y)
{
    auto axis = [](LONG i, LONG from, LONG to, LONG* at, LONG* next, uint32_t* weight) {
        int64_t pos = ((2 * int64_t{i} + 1) * from * 65536) / (2 * int64_t{to}) - 32768;
        pos = std::clamp<int64_t>(pos, 0, int64_t{from - 1} * 65536);
        *at = static_cast<LONG>(pos >> 16);
        *next = std::min(*at + 1, from - 1);
        *weight = static_cast<uint32_t>((pos & 0xFFFF) >> 8);
    };
    LONG x0, x1, y0, y1;
    uint32_t wx, wy;
    axis(x, sw, dw, &x0, &x1, &wx);
    axis(y, sh, dh, &y0, &y1, &wy);
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        auto c = [&](LONG px, LONG py) { return (src[static_cast<size_t>(py * sw + px)] >> shift) & 0xFF; };
        const uint32_t top = (c(x0, y0) * (256 - wx) + c(x1, y0) * wx) >> 8;
        const uint32_t bottom = (c(x0, y1) * (256 - wx) + c(x1, y1) * wx) >> 8;
        out |= ((top * (256 - wy) + bottom * wy) >> 8) << shift;
    }
    return out;
}

TEST_F(DDrawDevice, PrimaryStretchesEqualTheBilinearReferenceWhereTheWindowShowsThem)
{
    IDirectDrawSurface7* primary = Primary();
    std::mt19937 random(5);
    struct StretchCase {
        LONG sw, sh;
        RECT to;  // on the desktop; the window's client is 100,50 .. 300,150
    };
    const StretchCase cases[] = {
        {37, 23, {60, 30, 221, 127}},    // up, cut by the window's left and top
        {5, 3, {150, 60, 297, 149}},     // far up, inside
        {181, 97, {110, 55, 189, 121}},  // down
        {1, 1, {100, 50, 140, 53}},      // one pixel
        {64, 40, {230, 120, 370, 200}},  // cut by the right and bottom
    };
    for (const StretchCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sw << "x" << c.sh);
        IDirectDrawSurface7* src = Offscreen(c.sw, c.sh);
        std::vector<uint32_t> pixels(static_cast<size_t>(c.sw * c.sh));
        DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        ASSERT_EQ(src->Lock(nullptr, &locked, 0, nullptr), DD_OK);
        for (LONG y = 0; y < c.sh; ++y)
            for (LONG x = 0; x < c.sw; ++x) {
                // The alpha byte is noise the stretch drops.
                pixels[static_cast<size_t>(y * c.sw + x)] = static_cast<uint32_t>(random());
                std::memcpy(static_cast<BYTE*>(locked.lpSurface) + y * locked.lPitch + x * 4,
                            &pixels[static_cast<size_t>(y * c.sw + x)], 4);
            }
        src->Unlock(nullptr);
        Fill(primary, 0x0000FF);
        RECT to = c.to;
        ASSERT_EQ(primary->Blt(&to, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
        const LONG dw = to.right - to.left, dh = to.bottom - to.top;
        const winapi::Frame shown = Host().ReadBack(window);
        int wrong = 0;
        for (LONG y = 0; y < 100; ++y)
            for (LONG x = 0; x < 200; ++x) {
                const LONG rx = x + 100 - to.left, ry = y + 50 - to.top;
                const bool inside = rx >= 0 && rx < dw && ry >= 0 && ry < dh;
                const uint32_t expected =
                    inside ? BilinearAt(pixels, c.sw, c.sh, dw, dh, rx, ry) & 0xFFFFFF : 0x0000FFu;
                wrong += (shown.At(x, y) & 0xFFFFFF) != expected;
            }
        EXPECT_EQ(wrong, 0);
        src->Release();
    }
    primary->Release();
}

TEST_F(DDrawDevice, FlipChainsNeedTheExclusiveLevelAndShowTheBackBuffer)
{
    EXPECT_EQ(Primary(1), nullptr);
    EXPECT_EQ(lastResult, DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_EQ(Primary(3), nullptr);
    EXPECT_EQ(lastResult, DDERR_INVALIDPARAMS);
    for (DWORD count : {1u, 2u}) {
        SCOPED_TRACE(count);
        IDirectDrawSurface7* front = Primary(count);
        ASSERT_NE(front, nullptr);
        DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
        IDirectDrawSurface7* back = nullptr;
        ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
        RECT area{100, 50, 300, 150};
        Fill(back, 0x0000FF);
        Fill(back, 0x00FF00, &area);
        ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
        EXPECT_EQ(Shown(0, 0), 0x00FF00u);
        EXPECT_EQ(Shown(199, 99), 0x00FF00u);
        // The back buffer keeps its picture.
        DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        ASSERT_EQ(back->Lock(nullptr, &locked, 0, nullptr), DD_OK);
        EXPECT_EQ(static_cast<DWORD*>(locked.lpSurface)[0], 0x0000FFu);
        back->Unlock(nullptr);
        back->Release();
        front->Release();
    }
}

TEST_F(DDrawDevice, SwitchesLoseAtTheNthCallAndFailCalls)
{
    IDirectDrawSurface7* s = Offscreen(4, 4);
    winapi::ddraw_testing::Reset();
    winapi::ddraw_testing::Current().loseAtCall = 2;
    EXPECT_EQ(s->IsLost(), DD_OK);
    EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(s->Restore(), DD_OK);
    EXPECT_EQ(s->IsLost(), DD_OK);
    winapi::ddraw_testing::Current().failRestore = true;
    winapi::ddraw_testing::LoseAllSurfaces();
    EXPECT_EQ(s->Restore(), DDERR_GENERIC);
    winapi::ddraw_testing::Reset();
    EXPECT_EQ(s->Restore(), DD_OK);
    winapi::ddraw_testing::Current().displayModeAtNormalLevel = true;
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
    EXPECT_EQ(dd->RestoreDisplayMode(), DD_OK);
    winapi::ddraw_testing::Current().noHardware = true;
    DDCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
    EXPECT_NE(caps.dwCaps & DDCAPS_NOHARDWARE, 0u);
    winapi::ddraw_testing::Current().noHardware = false;
    ASSERT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
    EXPECT_EQ(caps.dwCaps & DDCAPS_3D, DDCAPS_3D);
    EXPECT_EQ(caps.dwVidMemTotal, 256u << 20);
    EXPECT_LT(caps.dwVidMemFree, caps.dwVidMemTotal);  // the surface above is in video memory
    s->Release();
}

HRESULT CALLBACK CollectDevice(LPSTR, LPSTR, LPD3DDEVICEDESC7 desc, LPVOID context)
{
    static_cast<std::vector<D3DDEVICEDESC7>*>(context)->push_back(*desc);
    return DDENUMRET_OK;
}

TEST_F(DDrawDevice, TheModuleAndComMakeAnObjectWithDirect3D)
{
    HMODULE module = LoadLibraryA("ddraw.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "DirectDrawCreateEx"), nullptr);
    EXPECT_NE(GetProcAddress(module, "DirectDrawEnumerateExA"), nullptr);
    FreeLibrary(module);

    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    void* made = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectDraw7, &made), S_OK);
    auto* object = static_cast<IDirectDraw7*>(made);
    void* d3dOut = nullptr;
    EXPECT_NE(object->QueryInterface(IID_IDirect3D7, &d3dOut), S_OK);  // not bound to a driver yet
    ASSERT_EQ(object->Initialize(nullptr), DD_OK);
    EXPECT_EQ(object->Initialize(nullptr), DDERR_ALREADYINITIALIZED);
    ASSERT_EQ(object->QueryInterface(IID_IDirect3D7, &d3dOut), S_OK);
    auto* d3d = static_cast<IDirect3D7*>(d3dOut);
    std::vector<D3DDEVICEDESC7> devices;
    ASSERT_EQ(d3d->EnumDevices(CollectDevice, &devices), DD_OK);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_TRUE(devices[0].deviceGUID == IID_IDirect3DHALDevice);
    EXPECT_NE(devices[0].dwDevCaps & D3DDEVCAPS_HWRASTERIZATION, 0u);
    EXPECT_EQ(devices[0].dwMaxTextureWidth, 4096u);
    EXPECT_EQ(devices[0].dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_POW2, 0u);
    EXPECT_TRUE(devices[1].deviceGUID == IID_IDirect3DRGBDevice);
    d3d->Release();
    object->Release();
    CoUninitialize();
}

} // namespace
