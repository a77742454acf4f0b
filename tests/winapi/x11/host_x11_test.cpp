// The SDL host on a real X server (the private Xvfb that scripts/test starts): a window's picture,
// and full screen over the whole display and over a virtual display mode.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "winapi/pixman_scale.h"
#include "winapi/sdl_round_trip.h"
#include "winapi/sdl_testing.h"
#include "winapi/kernel.h"
#include "winapi/virtual_mode.h"
#include "winapi/window_movie_shown.h"

namespace {

TEST(SdlHostX11, WindowShowsWhatGdiDrew)
{
    if (!UseTestXServer())
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
    ASSERT_TRUE(StartSdlHost("x11"));
    DrawAndReadBack();
}

TEST(SdlHostX11, WindowMovieShowsOverItsOwner)
{
    if (!UseTestXServer())
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
    ASSERT_TRUE(StartSdlHost("x11"));
    CheckWindowMovieShown();
}

} // namespace

namespace {

TEST(SdlHostX11, FramelessWindowOverTheWholeDisplayIsFullScreen)
{
    if (!UseTestXServer())
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
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

namespace {

namespace sdl = winapi::sdl_testing;

POINT g_lastMove{-100, -100};

LRESULT CALLBACK MoveProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MOUSEMOVE)
        g_lastMove = POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void PumpAll()
{
    for (int i = 0; i < 3; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
}

// A virtual 640x480 mode on the real display: the frameless window over it goes desktop full
// screen, the picture is scaled in (linear, aspect kept, black borders), the pointer comes back
// in client coordinates, and after the mode the window has its own size and place again.
TEST(SdlHostX11, AWindowOverAVirtualModeIsScaledOntoTheRealDisplay)
{
    if (!UseTestXServer())
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
    ASSERT_TRUE(StartSdlHost("x11"));
    int realW = 0, realH = 0;
    ASSERT_TRUE(sdl::CurrentDisplayMode(0, &realW, &realH));
    ASSERT_GE(realW, 640);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = MoveProc;
    wc.lpszClassName = "VirtualModeTest";
    RegisterClassExA(&wc);
    HWND hwnd = CreateWindowExA(0, "VirtualModeTest", "virtual", WS_POPUP | WS_VISIBLE, 60, 50, 320, 200, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    PumpAll();
    RECT placed;
    ASSERT_TRUE(sdl::WindowBounds(hwnd, &placed));

    ASSERT_EQ(SetVirtualMode(640, 480), DISP_CHANGE_SUCCESSFUL);
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
    MoveWindow(hwnd, 0, 0, 640, 480, TRUE);
    // A picture with detail in both directions.
    std::vector<uint32_t> picture(640 * 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            picture[static_cast<size_t>(y) * 640 + x] =
                static_cast<uint32_t>((x * 7) & 255) << 16 | static_cast<uint32_t>((y * 3) & 255) << 8 |
                static_cast<uint32_t>(((x / 16 + y / 16) & 1) * 255);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 640;
    info.bmiHeader.biHeight = -480;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC dc = GetDC(hwnd);
    ASSERT_EQ(SetDIBitsToDevice(dc, 0, 0, 640, 480, 0, 0, 0, 480, picture.data(), &info, DIB_RGB_COLORS), 480);
    ReleaseDC(hwnd, dc);
    // The X server takes the window to the display's size in its own time.
    RECT bounds{};
    for (int i = 0; i < 100 && (bounds.right - bounds.left != realW); ++i) {
        PumpAll();
        usleep(20000);
        ASSERT_TRUE(sdl::WindowBounds(hwnd, &bounds));
    }
    PumpAll();
    EXPECT_TRUE(sdl::IsDesktopFullScreen(hwnd));
    int nowW = 0, nowH = 0;
    ASSERT_TRUE(sdl::CurrentDisplayMode(0, &nowW, &nowH));
    EXPECT_EQ(nowW, realW);  // the machine's mode never changes
    EXPECT_EQ(nowH, realH);

    const winapi::Frame shown = sdl::ReadShown(hwnd);
    ASSERT_EQ(shown.width, realW);
    ASSERT_EQ(shown.height, realH);
    const RECT box = winapi::LetterboxRect(640, 480, realW, realH);
    const pixman_test::LetterboxDifference d = pixman_test::CompareLetterboxed(shown, picture.data(), 640, 480);
    EXPECT_EQ(d.far, 0) << d.firstFar;
    EXPECT_EQ(d.border, 0);

    // The pointer: the picture's middle is the client's middle; a border is the client's edge.
    sdl::PushMouseMotion(hwnd, (box.left + box.right) / 2, (box.top + box.bottom) / 2);
    PumpAll();
    EXPECT_NEAR(g_lastMove.x, 320, 1);
    EXPECT_NEAR(g_lastMove.y, 240, 1);
    if (box.top > 0) {
        sdl::PushMouseMotion(hwnd, realW / 2, box.top / 2);
        PumpAll();
        EXPECT_EQ(g_lastMove.y, 0);
    } else if (box.left > 0) {
        sdl::PushMouseMotion(hwnd, box.left / 2, realH / 2);
        PumpAll();
        EXPECT_EQ(g_lastMove.x, 0);
    }

    // The desktop's mode again: the window covers no display and leaves full screen; moved back,
    // the SDL window has its old place and size.
    ASSERT_EQ(RestoreDesktopMode(), DISP_CHANGE_SUCCESSFUL);
    PumpAll();
    EXPECT_FALSE(sdl::IsDesktopFullScreen(hwnd));
    MoveWindow(hwnd, 60, 50, 320, 200, TRUE);
    PumpAll();
    RECT back;
    ASSERT_TRUE(sdl::WindowBounds(hwnd, &back));
    EXPECT_EQ(back.left, placed.left);
    EXPECT_EQ(back.top, placed.top);
    EXPECT_EQ(back.right - back.left, 320);
    EXPECT_EQ(back.bottom - back.top, 200);
    DestroyWindow(hwnd);
    PumpAll();
}

} // namespace

namespace {

constexpr UINT kRound = WM_APP;
constexpr UINT kLast = WM_APP + 1;
std::atomic<int> g_rounds{0};
std::atomic<bool> g_paintAsked{false};

LRESULT CALLBACK RoundProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kRound) {
        ++g_rounds;
        return 0;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        if (g_paintAsked.exchange(false))
            ++g_rounds;
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// On X11 the window thread sleeps in SDL until the X connection or a pushed event wakes it. Each
// round another thread posts, sends, posts to the thread or invalidates the window at a varying
// moment (before the window thread's wait, while it enters it, while it sleeps) and waits until
// the window thread has taken it. The waits are made endless, so a lost wake-up is a hang.
TEST(SdlHostX11, EveryArrivalFromAnotherThreadWakesTheSleepingWindowThread)
{
    if (!UseTestXServer())
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
    ASSERT_TRUE(StartSdlHost("x11"));
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RoundProc;
    wc.lpszClassName = "WakeTest";
    RegisterClassExA(&wc);
    HWND hwnd = CreateWindowExA(0, "WakeTest", "wake", WS_POPUP | WS_VISIBLE, 10, 10, 32, 32, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    PumpAll();
    ASSERT_FALSE(winapi::CurrentHost().Pump()) << "the window thread must sleep in SDL, not poll";
    winapi::sdl_testing::SetWaitTimeout(3600 * 1000);

    constexpr int kRounds = 400;
    g_rounds = 0;
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 600 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!done) {
            std::fprintf(stderr, "watchdog: round %d was never taken\n", g_rounds.load());
            std::abort();
        }
    });
    const DWORD windowThread = GetCurrentThreadId();
    std::thread other([&] {
        std::mt19937 random(28);
        for (int i = 0; i < kRounds; ++i) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(random() % 200);
            while (std::chrono::steady_clock::now() < until) {
            }
            switch (i % 4) {
            case 0: PostMessageA(hwnd, kRound, 0, 0); break;
            case 1: SendMessageA(hwnd, kRound, 0, 0); break;
            case 2: PostThreadMessageA(windowThread, kRound, 0, 0); break;
            default:
                g_paintAsked = true;
                InvalidateRect(hwnd, nullptr, FALSE);
                break;
            }
            while (g_rounds.load() != i + 1)
                std::this_thread::yield();
        }
        PostMessageA(hwnd, kLast, 0, 0);
    });
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message != kLast) {
        if (msg.hwnd == nullptr && msg.message == kRound)
            ++g_rounds;
        DispatchMessageA(&msg);
    }
    other.join();
    done = true;
    watchdog.join();
    winapi::sdl_testing::SetWaitTimeout(0);
    EXPECT_EQ(g_rounds.load(), kRounds);
    DestroyWindow(hwnd);
    PumpAll();
}

} // namespace
