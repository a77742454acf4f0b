// Which display a window is the full-screen window of, as the window system tells the host: a
// frameless window whose client covers a display as it is now (virtual modes included).
#include <gtest/gtest.h>

#include "winapi/headless_util.h"
#include "winapi/virtual_mode.h"

namespace {

using headless_test::Display;
using headless_test::Host;
using headless_test::Pump;

class HostFullScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        Host().SetDisplays({Display({0, 0, 1920, 1080}), Display({1920, 0, 3200, 1024}, 1)});
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "HostFullScreen";
        RegisterClassExA(&wc);
    }
    void TearDown() override
    {
        RestoreDesktopMode();
        Host().SetDisplays({winapi::DisplayInfo{}});
        Pump();
    }
    HWND Make(DWORD style, RECT r)
    {
        return CreateWindowExA(0, "HostFullScreen", "w", style | WS_VISIBLE, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    }
    int FullScreenOf(HWND hwnd) { return Host().WindowState(hwnd).fullScreenDisplay; }
};

TEST_F(HostFullScreen, AFramelessWindowOverADisplayNamesIt)
{
    RECT captioned{0, 0, 1920, 1080};
    AdjustWindowRectEx(&captioned, WS_OVERLAPPEDWINDOW, FALSE, 0);
    struct Case {
        const char* name;
        DWORD style;
        RECT rect;
        int display;
    } cases[] = {
        {"frameless over the primary", WS_POPUP, {0, 0, 1920, 1080}, 0},
        {"frameless over the second display", WS_POPUP, {1920, 0, 3200, 1024}, 1},
        {"frameless, one pixel short", WS_POPUP, {0, 0, 1919, 1080}, -1},
        {"frameless across both", WS_POPUP, {0, 0, 3200, 1080}, -1},
        {"captioned with its client over the primary", WS_OVERLAPPEDWINDOW, captioned, -1},
    };
    for (const Case& c : cases) {
        HWND hwnd = Make(c.style, c.rect);
        ASSERT_NE(hwnd, nullptr) << c.name;
        Pump();
        EXPECT_EQ(FullScreenOf(hwnd), c.display) << c.name;
        DestroyWindow(hwnd);
    }
}

TEST_F(HostFullScreen, AVirtualModeMovesFullScreenToTheWindowThatCoversIt)
{
    HWND hwnd = Make(WS_POPUP, {0, 0, 1920, 1080});
    ASSERT_NE(hwnd, nullptr);
    Pump();
    ASSERT_EQ(FullScreenOf(hwnd), 0);
    ASSERT_EQ(SetVirtualMode(640, 480), DISP_CHANGE_SUCCESSFUL);
    // The window did not move, but the display under it shrank.
    EXPECT_EQ(FullScreenOf(hwnd), -1);
    MoveWindow(hwnd, 0, 0, 640, 480, TRUE);
    EXPECT_EQ(FullScreenOf(hwnd), 0);
    ASSERT_EQ(RestoreDesktopMode(), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(FullScreenOf(hwnd), -1);
    DestroyWindow(hwnd);
}

} // namespace
