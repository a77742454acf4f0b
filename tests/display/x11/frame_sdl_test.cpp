// The application frame on the SDL host: message boxes that cannot be shown on the offscreen
// driver, and under a real X server (the private Xvfb of scripts/test) the switch from a window to
// desktop full screen and back, with the picture letterboxed and the display mode untouched.
#include <gtest/gtest.h>

#include <cstdlib>

#include "display/frame_test_game.h"
#include "winapi/sdl_round_trip.h"
#include "winapi/sdl_testing.h"

namespace {

namespace sdl = winapi::sdl_testing;

void Pump(FrameTestGame& game)
{
    for (int i = 0; i < 5; ++i)
        game.PumpMessages(true);
}

TEST(FrameSdl, ABoxThatCannotBeShownAnswersZeroAndTheBracketCloses)
{
    if (!StartSdlHost("offscreen"))
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    FrameTestScreen screen;
    FrameTestGame game(&screen);
    ASSERT_EQ(game.Init(), 0);
    EXPECT_FALSE(game.AskYesNo("?", 3));
    EXPECT_FALSE(game.AskOkCancel("?", 2));
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

TEST(FrameSdlX11, WindowToDesktopFullScreenAndBack)
{
    const char* display = std::getenv("TESSARO_TEST_X_DISPLAY");
    if (display == nullptr)
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
    setenv("DISPLAY", display, 1);
    ASSERT_TRUE(StartSdlHost("x11"));
    int modeW = 0, modeH = 0;
    ASSERT_TRUE(sdl::CurrentDisplayMode(0, &modeW, &modeH));
    FrameTestScreen screen;
    FrameTestGame game(&screen);
    game.configure = [](AppFrameOptions& o) { o.keyOptions = 0x04, o.windowX = 60, o.windowY = 50; };
    ASSERT_EQ(game.Init(), 0);
    HWND hwnd = game.GetMainWindow();
    Pump(game);
    RECT before;
    GetWindowRect(hwnd, &before);
    EXPECT_FALSE(sdl::IsDesktopFullScreen(hwnd));

    ASSERT_EQ(game.SwitchScreenMode(1, 32, 0), 0);
    screen.Present(0x3366CC);
    Pump(game);
    EXPECT_TRUE(sdl::IsDesktopFullScreen(hwnd));
    EXPECT_TRUE(sdl::IsKeyboardGrabbed(hwnd));
    const winapi::Frame frame = winapi::CurrentHost().ReadBack(hwnd);
    ASSERT_EQ(frame.width, modeW);
    ASSERT_EQ(frame.height, modeH);
    // 640x480 on the display: the picture scaled into the middle, black beside it.
    const ScreenBox picture = screen.picture;
    ASSERT_GT(picture.width, 0);
    EXPECT_EQ(frame.At(picture.x + picture.width / 2, picture.y + picture.height / 2) & 0xFFFFFF, 0x3366CCu);
    if (picture.x > 0) {
        EXPECT_EQ(frame.At(picture.x / 2, modeH / 2) & 0xFFFFFF, 0u);
    } else {
        EXPECT_EQ(frame.At(modeW / 2, picture.y / 2) & 0xFFFFFF, 0u);
    }
    int nowW = 0, nowH = 0;
    ASSERT_TRUE(sdl::CurrentDisplayMode(0, &nowW, &nowH));
    EXPECT_EQ(nowW, modeW);
    EXPECT_EQ(nowH, modeH);

    ASSERT_EQ(game.SwitchScreenMode(2, 3, 0), 0);
    Pump(game);
    EXPECT_FALSE(sdl::IsDesktopFullScreen(hwnd));
    EXPECT_FALSE(sdl::IsKeyboardGrabbed(hwnd));
    RECT after;
    GetWindowRect(hwnd, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    game.Exit(0);
}

} // namespace
