// The application frame over the real screen (GDI): it starts with a display canvas in a window,
// what the game draws on the canvas reaches the host, WM_PAINT repaints it, and full screen is
// refused with the screen's code while the window goes on.
#include <gtest/gtest.h>

#include "display/app_frame.h"
#include "display/screen_frame_link.h"
#include "display/surface_sprite.h"
#include "winapi/gdi.h"
#include "winapi/host_headless.h"

namespace {

class ScreenGame : public CAppFrame {
public:
    explicit ScreenGame(CScreenFrameLink* link) { SetScreen(link); }
    int SetAppInfo() override
    {
        SetAppStrings("ScreenGame", "Screen game", "", "", "");
        m_options.singleInstance = 0;
        return 0;
    }
};

void FillCanvas(CSurfaceSprite* canvas, COLORREF colour)
{
    HDC dc = canvas->GetDrawDC();
    ASSERT_NE(dc, nullptr);
    RECT all{0, 0, canvas->GetWidth(), canvas->GetHeight()};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    canvas->InvalidateRect(nullptr);
}

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

    FillCanvas(link.GetCanvas(), RGB(0x33, 0x66, 0xCC));
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
    FillCanvas(link.GetCanvas(), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(screen.RenderFrameImage(), 0);
    game.PumpMessages(true);
    frame = host->ReadBack(hwnd);
    ASSERT_GT(frame.width, 320);
    EXPECT_EQ(frame.At(320, 240) & 0xFFFFFF, 0x112233u);
    EXPECT_EQ(game.SwitchScreenMode(2, 3, 1), 0);
    EXPECT_EQ(screen.GetMode(), kDisplayWindow);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopWidth);
    game.Exit(0);
}

} // namespace
