// The SDL host on a real X server (the private Xvfb that scripts/test starts).
#include <cstdlib>

#include "winapi/sdl_round_trip.h"

namespace {

TEST(SdlHostX11, WindowShowsWhatGdiDrew)
{
    const char* display = std::getenv("TESSARO_TEST_X_DISPLAY");
    if (display == nullptr)
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
    setenv("DISPLAY", display, 1);
    ASSERT_TRUE(StartSdlHost("x11"));
    DrawAndReadBack();
}

} // namespace

namespace {

TEST(SdlHostX11, FramelessWindowOverTheWholeDisplayIsFullScreen)
{
    const char* display = std::getenv("TESSARO_TEST_X_DISPLAY");
    if (display == nullptr)
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
    setenv("DISPLAY", display, 1);
    ASSERT_TRUE(StartSdlHost("x11"));
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_GT(width, 0);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "FullScreenTest";
    RegisterClassExA(&wc);
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, "FullScreenTest", "full", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    HDC dc = GetDC(hwnd);
    RECT all{0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(hwnd, dc);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    const winapi::Frame frame = winapi::CurrentHost().ReadBack(hwnd);
    EXPECT_EQ(frame.width, width);
    EXPECT_EQ(frame.height, height);
    ASSERT_FALSE(frame.pixels.empty());
    EXPECT_EQ(frame.At(width / 2, height / 2) & 0xFFFFFF, 0xFFFFFFu);
    DestroyWindow(hwnd);
}

} // namespace
