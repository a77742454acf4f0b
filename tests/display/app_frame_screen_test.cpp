// The application frame over the real screen (GDI): it starts with a display canvas in a window,
// what the game draws on the canvas reaches the host, WM_PAINT repaints it, and it goes full
// screen (the host hears which display) and back.
#include <gtest/gtest.h>

#include "display/screen_game.h"
#include "winapi/host_headless.h"

namespace {

TEST(FrameOverTheScreen, TheCanvasReachesTheWindowAndFullScreenAndBack)
{
    winapi::CurrentHost();
    auto* host = winapi::CurrentHeadlessHost();
    ASSERT_NE(host, nullptr);
    CScreen screen;
    CScreenFrameLink link(&screen);
    ScreenGame game(&link);
    ASSERT_EQ(game.Init(), 0);
    HWND hwnd = game.GetMainWindow();
    EXPECT_EQ(screen.GetMode(), kDisplayWindow);
    EXPECT_EQ(g_pDisplayDevice, &link);
    ASSERT_NE(link.GetCanvas(), nullptr);
    EXPECT_EQ(link.GetCanvas()->GetWidth(), 640);

    ASSERT_TRUE(FillCanvas(link.GetCanvas(), RGB(0x33, 0x66, 0xCC)));
    EXPECT_EQ(screen.RenderFrameImage(), 0);
    game.PumpMessages(true);
    winapi::Frame frame = host->ReadBack(hwnd);
    ASSERT_EQ(frame.width, 640);
    EXPECT_EQ(frame.At(320, 240) & 0xFFFFFF, 0x3366CCu);

    // WM_PAINT goes to the screen while a canvas is in use.
    HDC dc = GetDC(hwnd);
    RECT all{0, 0, 640, 480};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(hwnd, dc);
    InvalidateRect(hwnd, nullptr, FALSE);
    game.PumpMessages(true);
    frame = host->ReadBack(hwnd);
    EXPECT_EQ(frame.At(10, 10) & 0xFFFFFF, 0x3366CCu);

    // Full screen on the display device, and back to the window: the desktop as it was.
    const int desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    ASSERT_EQ(game.SwitchScreenMode(1, 32, 0), 0);
    EXPECT_EQ(screen.GetMode(), kDisplayFullScreen);
    EXPECT_NE(screen.DirectDraw(), nullptr);
    ASSERT_TRUE(FillCanvas(link.GetCanvas(), RGB(0x11, 0x22, 0x33)));
    EXPECT_EQ(screen.RenderFrameImage(), 0);
    game.PumpMessages(true);
    frame = host->ReadBack(hwnd);
    ASSERT_GT(frame.width, 320);
    EXPECT_EQ(frame.At(320, 240) & 0xFFFFFF, 0x112233u);
    EXPECT_EQ(host->WindowState(hwnd).fullScreenDisplay, 0);
    EXPECT_EQ(game.SwitchScreenMode(2, 3, 1), 0);
    EXPECT_EQ(screen.GetMode(), kDisplayWindow);
    EXPECT_EQ(host->WindowState(hwnd).fullScreenDisplay, -1);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopWidth);
    game.Exit(0);
}

} // namespace
