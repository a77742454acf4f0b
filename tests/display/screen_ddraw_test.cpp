// The screen on DirectDraw: the window with a back buffer and a clipped primary, a full screen
// flip chain, scaled full screen with black borders, a driver without hardware, losses injected at
// every call of the display's creation, frame and restore, and window <-> full-screen switches.
#include <gtest/gtest.h>

#include "display/screen.h"
#include "display/surface_sprite.h"
#include "platform/monitor_list.h"
#include "raster/device_blit.h"
#include "winapi/ddraw_testing.h"
#include "winapi/headless_util.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

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
