// The application frame on the SDL host: message boxes that cannot be shown on the offscreen
// driver, and under a real X server (the private Xvfb of scripts/test) the switch on the real
// screen from a window to full screen and back, the picture scaled in with black borders and the
// machine's display mode untouched.
#include <gtest/gtest.h>

#include <cstdlib>

#include "display/frame_test_game.h"
#include "display/screen_game.h"
#include "winapi/sdl_round_trip.h"
#include "winapi/sdl_testing.h"

namespace {

namespace sdl = winapi::sdl_testing;

// A box that cannot show answers its default button, as Windows does.
TEST(FrameSdl, ABoxThatCannotBeShownAnswersItsDefaultButtonAndTheBracketCloses)
{
    if (!StartSdlHost("offscreen"))
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    sdl::SetNoMessageBoxes(true);
    FrameTestScreen screen;
    FrameTestGame game(&screen);
    ASSERT_EQ(game.Init(), 0);
    EXPECT_TRUE(game.AskYesNo("?", 3));
    EXPECT_TRUE(game.AskOkCancel("?", 2));
    sdl::SetNoMessageBoxes(false);
    EXPECT_FALSE(game.IsMenuInUse());
    EXPECT_TRUE(game.IsRunningFlag());
    // The screen saver may run unless the engine asks otherwise.
    EXPECT_TRUE(sdl::IsScreenSaverAllowed());
    BOOL was = TRUE;
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);
    EXPECT_FALSE(sdl::IsScreenSaverAllowed());
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, was, nullptr, 0);
    EXPECT_TRUE(sdl::IsScreenSaverAllowed());
    game.Exit(0);
}

// The frame on the real screen: full screen sets the virtual 640x480 mode, the host shows the
// window over it scaled onto the real display with black borders; back in the window, the
// desktop's mode, the SDL window's place and size and the keyboard are as they were.
TEST(FrameSdlX11, WindowToFullScreenAndBackOnTheScreen)
{
    if (!UseTestXServer())
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
    ASSERT_TRUE(StartSdlHost("x11"));
    int realW = 0, realH = 0;
    ASSERT_TRUE(sdl::CurrentDisplayMode(0, &realW, &realH));
    CScreen screen;
    CScreenFrameLink link(&screen);
    ScreenGame game(&link);
    game.configure = [](AppFrameOptions& o) { o.keyOptions = 0x04, o.windowX = 60, o.windowY = 50; };
    ASSERT_EQ(game.Init(), 0);
    HWND hwnd = game.GetMainWindow();
    auto pump = [&] {
        for (int i = 0; i < 5; ++i)
            game.PumpMessages(true);
    };
    pump();
    RECT before;
    ASSERT_TRUE(sdl::WindowBounds(hwnd, &before));
    EXPECT_FALSE(sdl::IsDesktopFullScreen(hwnd));

    ASSERT_EQ(game.SwitchScreenMode(1, 32, 0), 0);
    EXPECT_EQ(screen.GetMode(), kDisplayFullScreen);
    ASSERT_TRUE(FillCanvas(link.GetCanvas(), RGB(0x33, 0x66, 0xCC)));
    EXPECT_EQ(screen.RenderFrameImage(), 0);
    pump();
    EXPECT_TRUE(sdl::IsDesktopFullScreen(hwnd));
    EXPECT_TRUE(sdl::IsKeyboardGrabbed(hwnd));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);  // the virtual mode
    int nowW = 0, nowH = 0;
    ASSERT_TRUE(sdl::CurrentDisplayMode(0, &nowW, &nowH));
    EXPECT_EQ(nowW, realW);
    EXPECT_EQ(nowH, realH);
    const winapi::Frame shown = sdl::ReadShown(hwnd);
    ASSERT_EQ(shown.width, realW);
    ASSERT_EQ(shown.height, realH);
    const RECT box = winapi::LetterboxRect(640, 480, realW, realH);
    EXPECT_EQ(shown.At((box.left + box.right) / 2, (box.top + box.bottom) / 2) & 0xFFFFFF, 0x3366CCu);
    if (box.top > 0) {
        EXPECT_EQ(shown.At(realW / 2, box.top / 2) & 0xFFFFFF, 0u);
    }
    if (box.left > 0) {
        EXPECT_EQ(shown.At(box.left / 2, realH / 2) & 0xFFFFFF, 0u);
    }

    ASSERT_EQ(game.SwitchScreenMode(2, 3, 0), 0);
    pump();
    EXPECT_EQ(screen.GetMode(), kDisplayWindow);
    EXPECT_FALSE(sdl::IsDesktopFullScreen(hwnd));
    EXPECT_FALSE(sdl::IsKeyboardGrabbed(hwnd));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), realW);
    RECT after;
    ASSERT_TRUE(sdl::WindowBounds(hwnd, &after));
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);

    // More switches: the machine's mode never changes, and the window ends where it was. (Ten:
    // without a window manager SDL waits 100 ms for one to confirm each full-screen change; the
    // hundred switches run on the headless host.)
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(game.SwitchScreenMode(1, 32, 0), 0);
        game.PumpMessages(true);
        ASSERT_EQ(game.SwitchScreenMode(2, 3, 0), 0);
        game.PumpMessages(true);
    }
    pump();
    ASSERT_TRUE(sdl::CurrentDisplayMode(0, &nowW, &nowH));
    EXPECT_EQ(nowW, realW);
    EXPECT_EQ(nowH, realH);
    EXPECT_FALSE(sdl::IsDesktopFullScreen(hwnd));
    ASSERT_TRUE(sdl::WindowBounds(hwnd, &after));
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    game.Exit(0);
}

} // namespace
