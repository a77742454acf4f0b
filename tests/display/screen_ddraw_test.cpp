// The screen on DirectDraw: the window with a back buffer and a clipped primary, a full screen
// flip chain, scaled full screen with black borders, a driver without hardware, losses injected at
// every call of the display's creation, frame and restore, and window <-> full-screen switches.
// The texture path in the window and in full screen (scaled against Direct3D's own sampling),
// dropped when it cannot be made; a full-screen frame image at its own size without surfaces.
#include <gtest/gtest.h>

#include "../winapi/d3d_sampling.h"
#include "display/screen.h"
#include "display/surface_sprite.h"
#include "platform/monitor_list.h"
#include "raster/device_blit.h"
#include "winapi/ddraw_testing.h"
#include "winapi/headless_util.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using headless_test::Display;
using headless_test::Host;
using headless_test::Pump;

class ScreenDDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        winapi::ddraw_testing::Reset();
        CDisplayDevice::ExclusiveNeeded() = false;
        Host().SetDisplays({Display({0, 0, 1920, 1080})});
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "ScreenDDraw";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "ScreenDDraw", "s", WS_POPUP | WS_VISIBLE, 30, 20, 64, 48, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        Pump();
    }
    void TearDown() override
    {
        screen.reset();
        DestroyWindow(window);
        Pump();
        winapi::ddraw_testing::Reset();
        CDisplayDevice::ExclusiveNeeded() = false;
    }
    // One frame: clear, a green square drawn by the "tasks", present.
    int Frame()
    {
        screen->ClearBackBuffer();
        RECT square{8, 8, 24, 24};
        FillSurfaceRect(screen->GetBackBuffer(), nullptr, 0, 255, 0, &square, 0);
        return screen->Present();
    }
    uint32_t Shown(int x, int y) { return Host().ReadBack(window).At(x, y) & 0xFFFFFF; }
    void ExpectFrameShown(int dx = 0, int dy = 0)
    {
        EXPECT_EQ(Shown(dx + 10, dy + 10), 0x00FF00u);
        EXPECT_EQ(Shown(dx + 40, dy + 30), 0x102030u);
    }

    std::unique_ptr<CScreen> screen = std::make_unique<CScreen>();
    HWND window = nullptr;
};

TEST_F(ScreenDDraw, TheWindowPresentsItsBackBufferAtTheClientOrigin)
{
    ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
    screen->SetClearColor(0x10, 0x20, 0x30);
    ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
    EXPECT_EQ(screen->GetMode(), kDisplayWindow);
    EXPECT_EQ(screen->GetPresentPath(), 1);
    EXPECT_EQ(screen->GetPixelFormatCode(), 32u);
    EXPECT_EQ(screen->GetColorDepth(), 32);
    ASSERT_NE(screen->GetPrimary(), nullptr);
    EXPECT_FALSE(screen->IsStretchBlitSmooth());
    ASSERT_EQ(Frame(), 0);
    ExpectFrameShown();
    // WM_PAINT brings the back buffer again.
    HDC dc = GetDC(window);
    ASSERT_EQ(screen->PaintToDC(dc, nullptr), S_OK);
    ReleaseDC(window, dc);
    ExpectFrameShown();

    // A dialog: GDI shown, then back; the window keeps its clipper.
    EXPECT_EQ(screen->FlipToGdi(), 0);
    EXPECT_EQ(screen->LeaveGdi(), 0);
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(screen->GetPrimary()->GetClipper(&clipper), DD_OK);
    clipper->Release();

    // A loss: Present says so, RestoreDevice brings the surfaces back, the next frame is whole.
    winapi::ddraw_testing::LoseAllSurfaces();
    EXPECT_EQ(Frame(), 2);
    EXPECT_EQ(screen->RestoreDevice(), 0);
    EXPECT_EQ(screen->RestoreDevice(), 0);  // nothing lost now
    ASSERT_EQ(Frame(), 0);
    ExpectFrameShown();
    screen->ReleaseSurfaces();
    EXPECT_EQ(screen->FlipToGdi(), 1);
    EXPECT_EQ(screen->Present(), 1);
    EXPECT_EQ(screen->RestoreDevice(), 1);
}

// A loss at every DirectDraw call of CreateDisplay, one frame and RestoreDevice, in the window,
// in a full-screen flip chain and scaled at the desktop resolution: the codes stay the screen's,
// and after the restore the next frame is whole.
TEST_F(ScreenDDraw, ALossAtEveryCallEndsInAWholeFrame)
{
    struct Case {
        const char* name;
        bool windowed;
        LONG width, height;   // the output
        bool exclusive;       // DirectDraw's modes, exclusive level: a flip chain
        POINT square, clear;  // where the frame's square and its clear colour show
    } cases[] = {
        {"window", true, 64, 48, false, {10, 10}, {40, 30}},
        {"full-screen flip chain", false, 640, 480, true, {10, 10}, {40, 30}},
        {"desktop resolution, scaled", false, 64, 48, false, {240 + 16 * 22, 16 * 22}, {240 + 40 * 22, 30 * 22}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        screen = std::make_unique<CScreen>();
        ASSERT_EQ(screen->SetOutputSize(c.width, c.height), 0);
        screen->SetClearColor(0x10, 0x20, 0x30);
        CMonitorList monitors;
        if (!c.windowed) {
            ASSERT_EQ(screen->EnumDisplayDevices(&monitors, c.width, c.height, c.exclusive), 0);
            ASSERT_EQ(screen->SelectDisplayMode(c.exclusive, nullptr, 0, c.exclusive ? 32 : 0, &monitors), 0);
        }
        auto run = [&] {
            const int created = screen->CreateDisplay(window, c.windowed, false, false);
            if (created == 0 && !c.windowed)
                SetWindowPos(window, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                             SWP_NOZORDER);
            return created;
        };
        auto shownWhole = [&] {
            return Shown(c.square.x, c.square.y) == 0x00FF00u && Shown(c.clear.x, c.clear.y) == 0x102030u;
        };
        // How many calls the sequence makes, counted without a loss.
        winapi::ddraw_testing::Reset();
        winapi::ddraw_testing::Current().loseAtCall = 1 << 30;
        ASSERT_EQ(run(), 0);
        ASSERT_EQ(Frame(), 0);
        ASSERT_EQ(screen->RestoreDevice(), 0);
        ASSERT_TRUE(shownWhole());
        const int calls = winapi::ddraw_testing::CallsCounted();
        ASSERT_GT(calls, 5);
        for (int n = 1; n <= calls; ++n) {
            SCOPED_TRACE(n);
            winapi::ddraw_testing::Reset();
            winapi::ddraw_testing::Current().loseAtCall = n;
            const int created = run();
            EXPECT_TRUE(created == 0 || (created >= 3 && created <= 7)) << created;
            if (created != 0) {
                ASSERT_EQ(run(), 0);
            }
            const int presented = Frame();
            EXPECT_TRUE(presented == 0 || presented == 2) << presented;
            ASSERT_EQ(screen->RestoreDevice(), 0);
            // A loss inside the restore shows at the next present, which the game answers with
            // one more restore.
            int next = Frame();
            if (next == 2) {
                ASSERT_EQ(screen->RestoreDevice(), 0);
                next = Frame();
            }
            ASSERT_EQ(next, 0);
            ASSERT_TRUE(shownWhole());
        }
        screen.reset();
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
        SetWindowPos(window, nullptr, 30, 20, 64, 48, SWP_NOZORDER);
    }
}

TEST_F(ScreenDDraw, FullScreenUsesAFlipChainAndBlitsWhileGdiIsShown)
{
    SetWindowPos(window, nullptr, 0, 0, 640, 480, SWP_NOZORDER);
    ASSERT_EQ(screen->SetOutputSize(640, 480), 0);
    screen->SetClearColor(0x10, 0x20, 0x30);
    CMonitorList monitors;
    ASSERT_EQ(screen->EnumDisplayDevices(&monitors, 640, 480, true), 0);
    ASSERT_EQ(screen->SelectDisplayMode(true, nullptr, 0, 32, &monitors), 0);
    for (bool triple : {false, true}) {
        SCOPED_TRACE(triple);
        ASSERT_EQ(screen->CreateDisplay(window, false, triple, false), 0);
        EXPECT_EQ(screen->GetMode(), kDisplayFullScreen);
        EXPECT_TRUE(screen->IsBackBufferInFlipChain());
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
        for (uint8_t wait : {0, 1, 2}) {
            screen->SetWaitMode(wait);
            ASSERT_EQ(Frame(), 0);
            ExpectFrameShown();
        }
        ASSERT_EQ(screen->FlipToGdi(), 0);
        ASSERT_EQ(Frame(), 0);
        ExpectFrameShown();
        ASSERT_EQ(screen->LeaveGdi(), 0);
        // Back to the window: the desktop mode comes back.
        ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    }
}

TEST_F(ScreenDDraw, ScaledFullScreenHasBlackBorders)
{
    SetWindowPos(window, nullptr, 0, 0, 1920, 1080, SWP_NOZORDER);
    ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
    screen->SetClearColor(0x10, 0x20, 0x30);
    CMonitorList monitors;
    ASSERT_EQ(screen->EnumDisplayDevices(&monitors, 64, 48, false), 0);
    ASSERT_EQ(screen->SelectDisplayMode(true, nullptr, 0, 0, &monitors), 0);  // desktop resolution, scaled
    ASSERT_EQ(screen->CreateDisplay(window, false, false, false), 0);
    EXPECT_FALSE(screen->IsBackBufferInFlipChain());
    EXPECT_TRUE(screen->GetScaledOutput().active);
    EXPECT_EQ(screen->GetScaledOutput().x, 240);
    ASSERT_EQ(Frame(), 0);
    EXPECT_EQ(Shown(100, 500), 0u);    // left border
    EXPECT_EQ(Shown(1800, 500), 0u);   // right border
    EXPECT_EQ(Shown(240 + 16 * 22, 16 * 22), 0x00FF00u);  // inside the square, scaled by 22.5
    EXPECT_EQ(Shown(240 + 40 * 22, 30 * 22), 0x102030u);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);  // no mode change
}

TEST_F(ScreenDDraw, ADriverWithoutHardwarePresentsByGdi)
{
    winapi::ddraw_testing::Current().noHardware = true;
    ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
    screen->SetClearColor(0x10, 0x20, 0x30);
    ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
    EXPECT_EQ(screen->GetPrimary(), nullptr);
    EXPECT_EQ(screen->FlipToGdi(), 0);
    ASSERT_EQ(Frame(), 0);
    ExpectFrameShown();
}

TEST_F(ScreenDDraw, HundredSwitchesLeaveTheDesktopAsItWas)
{
    SetWindowPos(window, nullptr, 0, 0, 640, 480, SWP_NOZORDER);
    ASSERT_EQ(screen->SetOutputSize(640, 480), 0);
    CMonitorList monitors;
    ASSERT_EQ(screen->EnumDisplayDevices(&monitors, 640, 480, true), 0);
    ASSERT_EQ(screen->SelectDisplayMode(true, nullptr, 0, 16, &monitors), 0);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(screen->CreateDisplay(window, false, false, false), 0);
        ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
        ASSERT_EQ(screen->GetColorDepth(), 16);
        ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
        ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
        ASSERT_EQ(screen->GetColorDepth(), 32);
    }
    Pump();
}

} // namespace

namespace {

// A scaled full screen with a frame image on a driver without hardware: the frame image goes
// into the back buffer, which reaches the window by GDI.
TEST_F(ScreenDDraw, AScaledFrameImageWithoutHardwareGoesByGdi)
{
    winapi::ddraw_testing::Current().noHardware = true;
    CSurfaceSprite canvas;
    ASSERT_EQ(canvas.Create(64, 48, 32, 0), 0);
    canvas.GetImage()->FillRect32(0xFF405060, nullptr);
    screen->SetFrameImage(&canvas);
    CMonitorList monitors;
    ASSERT_EQ(screen->EnumDisplayDevices(&monitors, 64, 48, false), 0);
    ASSERT_EQ(screen->SelectDisplayMode(true, nullptr, 0, 0, &monitors), 0);
    ASSERT_EQ(screen->CreateDisplay(window, false, false, false), 0);
    EXPECT_EQ(screen->GetPrimary(), nullptr);
    ASSERT_NE(screen->GetBackBuffer(), nullptr);
    EXPECT_EQ(screen->ClearBackBuffer(), 0);
    EXPECT_EQ(screen->RenderFrameImage(), 0);
    EXPECT_EQ(Shown(10, 10), 0x405060u);
    winapi::ddraw_testing::LoseAllSurfaces();
    EXPECT_EQ(screen->RenderFrameImage(), 0);
    EXPECT_EQ(screen->RenderFrameImage(), 0);
    EXPECT_EQ(Shown(10, 10), 0x405060u);
    screen->SetFrameImage(nullptr);
}

} // namespace

namespace {

TEST_F(ScreenDDraw, TheWindowTexturePathDrawsTheFrameImageAsAQuad)
{
    CSurfaceSprite canvas;
    ASSERT_EQ(canvas.Create(64, 48, 32, 0), 0);
    for (LONG y = 0; y < 48; ++y)
        for (LONG x = 0; x < 64; ++x)
            reinterpret_cast<uint32_t*>(canvas.GetImage()->GetRowAddress(y))[x] =
                0xFF000000u | static_cast<uint32_t>(x * 4) << 16 | static_cast<uint32_t>(y * 5) << 8 | 0x40;
    screen->SetFrameImage(&canvas);
    screen->SetPresentPathRequest(3);
    screen->SetTexturePathInWindow(true);
    for (bool powerOfTwo : {false, true}) {
        for (bool through : {true, false}) {
            SCOPED_TRACE(std::to_string(powerOfTwo) + " " + std::to_string(through));
            screen->SetPowerOfTwoTexture(powerOfTwo);
            screen->SetDrawThroughBackBuffer(through);
            ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
            ASSERT_EQ(screen->GetPresentPath(), 2);
            DDSURFACEDESC2 d{};
            d.dwSize = sizeof d;
            screen->GetTexture()->GetSurfaceDesc(&d);
            EXPECT_EQ(d.dwWidth, powerOfTwo ? 64u : 64u);
            EXPECT_EQ(d.dwHeight, powerOfTwo ? 64u : 48u);
            ASSERT_EQ(screen->RenderFrameImage(), 0);
            for (int y = 0; y < 48; y += 5)
                for (int x = 0; x < 64; x += 7)
                    ASSERT_EQ(Shown(x, y), static_cast<uint32_t>(x * 4) << 16 | static_cast<uint32_t>(y * 5) << 8 | 0x40u)
                        << x << "," << y;
            // A loss on the way: the next frames bring the whole picture back.
            winapi::ddraw_testing::LoseAllSurfaces();
            EXPECT_EQ(screen->RenderFrameImage(), 0);
            EXPECT_EQ(screen->RestoreDevice(), 0);
            EXPECT_EQ(screen->RenderFrameImage(), 0);
            EXPECT_EQ(Shown(63, 47), (63u * 4) << 16 | (47u * 5) << 8 | 0x40u);
        }
    }
    screen->SetFrameImage(nullptr);
}

} // namespace

namespace {

// A locked x888 surface, read pixel by pixel.
class Locked {
public:
    explicit Locked(IDirectDrawSurface7* surface) : m_surface(surface)
    {
        m_desc.dwSize = sizeof m_desc;
        m_ok = surface != nullptr && surface->Lock(nullptr, &m_desc, DDLOCK_WAIT, nullptr) == DD_OK;
    }
    ~Locked()
    {
        if (m_ok)
            m_surface->Unlock(nullptr);
    }
    bool Ok() const { return m_ok; }
    uint32_t At(LONG x, LONG y) const
    {
        uint32_t v;
        std::memcpy(&v, static_cast<const BYTE*>(m_desc.lpSurface) + y * m_desc.lPitch + x * 4, 4);
        return v & 0xFFFFFFu;
    }

private:
    IDirectDrawSurface7* m_surface;
    DDSURFACEDESC2 m_desc{};
    bool m_ok = false;
};

int Farthest(uint32_t a, uint32_t b)
{
    int far = 0;
    for (int shift : {16, 8, 0}) {
        const int one = static_cast<int>((a >> shift) & 0xFF), other = static_cast<int>((b >> shift) & 0xFF);
        far = std::max(far, std::abs(one - other));
    }
    return far;
}

uint32_t Pattern(LONG x, LONG y)
{
    return static_cast<uint32_t>(x * 7 & 0xFF) << 16 | static_cast<uint32_t>(y * 11 & 0xFF) << 8 | 0x40;
}

// The full screen of a 320 by 240 display (the game scaled to fit it) with a frame image.
class FullScreenFrameImage : public ScreenDDraw {
protected:
    void SetUp() override
    {
        ScreenDDraw::SetUp();
        Host().SetDisplays({Display({0, 0, 320, 240})});
        SetWindowPos(window, nullptr, 0, 0, 320, 240, SWP_NOZORDER);
        Pump();
    }
    void TearDown() override
    {
        screen->SetFrameImage(nullptr);
        ScreenDDraw::TearDown();
    }
    // The canvas at (width, height) in the pattern, shown full screen on the desktop's mode.
    int Show(LONG width, LONG height)
    {
        if (canvas.Create(width, height, 32, 0) != 0)
            return -100;
        for (LONG y = 0; y < height; ++y)
            for (LONG x = 0; x < width; ++x)
                reinterpret_cast<uint32_t*>(canvas.GetImage()->GetRowAddress(y))[x] = 0xFF000000u | Pattern(x, y);
        screen->SetFrameImage(&canvas);
        CMonitorList monitors;
        if (screen->EnumDisplayDevices(&monitors, width, height, false) != 0 ||
            screen->SelectDisplayMode(true, nullptr, 0, 0, &monitors) != 0)
            return -101;
        return screen->CreateDisplay(window, false, false, false);
    }
    // One frame of the frame image; the window's pixels.
    winapi::Frame Frame()
    {
        screen->ClearBackBuffer();
        EXPECT_EQ(screen->RenderFrameImage(), 0);
        return Host().ReadBack(window);
    }

    CSurfaceSprite canvas;
};

// The texture path in full screen: the frame image goes into the texture, the quad draws it at
// the scaled size into a back buffer of that size, which is blitted 1:1 between black borders.
// Point sampling at a whole factor is exact; bilinear is within 2 of Direct3D's sampling of the
// texture, whose picture is the frame image's exactly.
TEST_F(FullScreenFrameImage, TheTexturePathDrawsTheScaledPicture)
{
    struct Case {
        const char* name;
        LONG width, height;
        bool linear, powerOfTwo, throughDc;
        RECT scaled;
    } const cases[] = {
        {"point, 10x", 32, 24, false, false, true, {0, 0, 320, 240}},
        {"point, 10x, locked texture", 32, 24, false, false, false, {0, 0, 320, 240}},
        {"bilinear, letterboxed", 32, 18, true, false, true, {0, 30, 320, 210}},
        {"bilinear, 3.2x, power-of-two texture", 100, 75, true, true, false, {0, 0, 320, 240}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        screen = std::make_unique<CScreen>();
        screen->SetPresentPathRequest(3);
        screen->SetLinearFilter(c.linear);
        screen->SetPowerOfTwoTexture(c.powerOfTwo);
        screen->SetDrawThroughBackBuffer(c.throughDc);
        ASSERT_EQ(Show(c.width, c.height), 0);
        ASSERT_EQ(screen->GetPresentPath(), 2);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320) << "no mode change";
        const CScaledOutput& scaled = screen->GetScaledOutput();
        ASSERT_TRUE(scaled.active);
        ASSERT_EQ(scaled.x, c.scaled.left);
        ASSERT_EQ(scaled.y, c.scaled.top);
        ASSERT_EQ(scaled.x + scaled.width, c.scaled.right);
        ASSERT_EQ(scaled.y + scaled.height, c.scaled.bottom);
        DDSURFACEDESC2 back{}, tex{};
        back.dwSize = tex.dwSize = sizeof back;
        ASSERT_EQ(screen->GetBackBuffer()->GetSurfaceDesc(&back), DD_OK);
        EXPECT_EQ(back.dwWidth, static_cast<DWORD>(scaled.width));
        EXPECT_EQ(back.dwHeight, static_cast<DWORD>(scaled.height));
        ASSERT_EQ(screen->GetTexture()->GetSurfaceDesc(&tex), DD_OK);
        const auto tw = static_cast<LONG>(tex.dwWidth), th = static_cast<LONG>(tex.dwHeight);
        EXPECT_EQ(tw, c.powerOfTwo ? 128 : c.width);

        auto expectPicture = [&](const char* when, bool render = true) {
            const winapi::Frame shown = render ? Frame() : Host().ReadBack(window);
            Locked texture(screen->GetTexture());
            ASSERT_TRUE(texture.Ok());
            for (LONG y = 0; y < c.height; ++y)
                for (LONG x = 0; x < c.width; ++x)
                    ASSERT_EQ(texture.At(x, y), Pattern(x, y)) << when << " texel " << x << "," << y;
            const double u = static_cast<double>(c.width) / tw, v = static_cast<double>(c.height) / th;
            auto texel = [&](LONG x, LONG y) { return texture.At(x, y); };
            int off = 0;
            for (LONG y = 0; y < scaled.height; y += 3)
                for (LONG x = 0; x < scaled.width; x += 2) {
                    const uint32_t want = d3d_test::Sample(texel, tw, th, (x + 0.5) / scaled.width * u,
                                                           (y + 0.5) / scaled.height * v, c.linear);
                    off += Farthest(shown.At(scaled.x + x, scaled.y + y) & 0xFFFFFF, want) > (c.linear ? 2 : 0);
                }
            EXPECT_EQ(off, 0) << when;
            for (const RECT& border : scaled.border)
                for (LONG y = border.top; y < border.bottom; y += 7)
                    for (LONG x = border.left; x < border.right; x += 7)
                        ASSERT_EQ(shown.At(x, y) & 0xFFFFFF, 0u) << when << " border " << x << "," << y;
        };
        expectPicture("first frame");
        // WM_PAINT over a window GDI painted black brings the picture back.
        HDC dc = GetDC(window);
        const RECT all{0, 0, 320, 240};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ASSERT_EQ(screen->PaintToDC(dc, nullptr), S_OK);
        ReleaseDC(window, dc);
        expectPicture("painted", false);

        // A loss met by a frame, then one that Restore cannot mend (everything made again): the
        // next frame that shows anything shows the whole picture.
        RECT corner{0, 0, 1, 1};
        winapi::ddraw_testing::LoseAllSurfaces();
        EXPECT_EQ(screen->RenderFrameImage(), 0);
        EXPECT_EQ(screen->RestoreDevice(), 0);
        canvas.InvalidateRect(&corner);
        expectPicture("restored");
        winapi::ddraw_testing::Current().failRestore = true;
        winapi::ddraw_testing::LoseAllSurfaces();
        EXPECT_EQ(screen->RestoreDevice(), 0);
        winapi::ddraw_testing::Current().failRestore = false;
        EXPECT_EQ(screen->GetPresentPath(), 2);
        canvas.InvalidateRect(&corner);
        expectPicture("made again");
    }
}

// Whatever keeps the texture path from being made in full screen drops the path, not the
// display: the back buffer then has the output size and the primary's stretch scales it.
TEST_F(FullScreenFrameImage, ATexturePathThatCannotBeHadIsDropped)
{
    struct Case {
        const char* name;
        void (*breakIt)(winapi::ddraw_testing::Switches&);
    } const cases[] = {
        {"texture over the device's maximum", [](auto& s) { s.maxTextureSide = 16; }},
        {"no 3D-capable back buffer", [](auto& s) { s.fail3DDeviceSurfaces = true; }},
        {"no Direct3D device", [](auto& s) { s.failCreateDevice = true; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        winapi::ddraw_testing::Reset();
        c.breakIt(winapi::ddraw_testing::Current());
        screen = std::make_unique<CScreen>();
        screen->SetPresentPathRequest(3);
        ASSERT_EQ(Show(32, 18), 0);
        EXPECT_EQ(screen->GetPresentPath(), 1);
        EXPECT_EQ(screen->GetPresentPathRequest(), 0);
        DDSURFACEDESC2 back{};
        back.dwSize = sizeof back;
        ASSERT_EQ(screen->GetBackBuffer()->GetSurfaceDesc(&back), DD_OK);
        EXPECT_EQ(back.dwWidth, 32u);
        EXPECT_EQ(back.dwHeight, 18u);
        const winapi::Frame shown = Frame();
        // Texel (5, 7) covers pixels 50..59 by 30 + 70..79; its middle is its own colour.
        EXPECT_LE(Farthest(shown.At(55, 30 + 75) & 0xFFFFFF, Pattern(5, 7)), 2);
        EXPECT_EQ(shown.At(160, 10) & 0xFFFFFF, 0u) << "border";
        EXPECT_EQ(shown.At(160, 230) & 0xFFFFFF, 0u) << "border";
    }
}

// A frame image at a display mode of its own size needs no surfaces in full screen: it goes
// straight into the window, and there is no primary to hand to GDI.
TEST_F(FullScreenFrameImage, AtItsOwnSizeTheFrameImageNeedsNoSurfaces)
{
    screen->SetPresentPathRequest(3);
    ASSERT_EQ(Show(320, 240), 0);
    EXPECT_EQ(screen->GetMode(), kDisplayFullScreen);
    EXPECT_FALSE(screen->GetScaledOutput().active);
    EXPECT_EQ(screen->GetPresentPath(), 0);
    EXPECT_EQ(screen->GetPrimary(), nullptr);
    EXPECT_EQ(screen->FlipToGdi(), 1);
    EXPECT_EQ(screen->LeaveGdi(), 1);
    const winapi::Frame shown = Frame();
    EXPECT_EQ(shown.At(0, 0) & 0xFFFFFF, Pattern(0, 0));
    EXPECT_EQ(shown.At(319, 239) & 0xFFFFFF, Pattern(319, 239));
}

// A loss at any DirectDraw or Direct3D call of the full-screen texture path's creation, frame or
// restore: CreateDisplay answers one of its own codes, nothing breaks, and after a restore the frame is whole.
TEST_F(FullScreenFrameImage, ALossAtEveryCallOfTheTexturePathEndsInAWholeFrame)
{
    screen->SetPresentPathRequest(3);
    screen->SetLinearFilter(false);
    ASSERT_EQ(Show(32, 24), 0);
    for (int n = 1; n <= 60; ++n) {
        SCOPED_TRACE(n);
        winapi::ddraw_testing::Reset();
        winapi::ddraw_testing::Current().loseAtCall = n;
        screen->SetPresentPathRequest(3);
        const int created = screen->CreateDisplay(window, false, false, false);
        EXPECT_TRUE(created == 0 || (created >= 3 && created <= 7)) << created;
        if (created == 0) {
            screen->ClearBackBuffer();
            EXPECT_EQ(screen->RenderFrameImage(), 0);
            EXPECT_EQ(screen->RestoreDevice(), 0);
        }
        winapi::ddraw_testing::Reset();
        screen->SetPresentPathRequest(3);
        ASSERT_EQ(screen->CreateDisplay(window, false, false, false), 0);
        ASSERT_EQ(screen->GetPresentPath(), 2);
        canvas.InvalidateRect(nullptr);
        const winapi::Frame shown = Frame();
        for (LONG y = 5; y < 240; y += 10)
            for (LONG x = 5; x < 320; x += 10)
                ASSERT_EQ(shown.At(x, y) & 0xFFFFFF, Pattern(x / 10, y / 10)) << x << "," << y;
    }
}

}  // namespace
