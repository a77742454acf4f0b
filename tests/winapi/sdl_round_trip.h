// Shared by the SDL host tests: a window drawn through a DIB and BitBlt, read back from the host.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "winapi/gdi.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

// The test X server of scripts/test (TESSARO_TEST_X_DISPLAY) becomes DISPLAY; false without one.
inline bool UseTestXServer()
{
    const char* display = std::getenv("TESSARO_TEST_X_DISPLAY");
    if (display == nullptr)
        return false;
    setenv("DISPLAY", display, 1);
    return true;
}

// Starts the SDL host with the video driver named, or skips the test when SDL cannot start it.
inline bool StartSdlHost(const char* driver)
{
    setenv("SDL_VIDEODRIVER", driver, 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);  // the renderer every machine has
    auto host = winapi::MakeSdlHost();
    if (!host)
        return false;
    winapi::SetHost(std::move(host));
    return true;
}

inline void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

// A shown popup window of a class of its own name (registered here), its first messages handled.
inline HWND OpenPopup(const char* className, int width, int height)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
    HWND hwnd = CreateWindowExA(0, className, className, WS_POPUP | WS_VISIBLE, 40, 40, width, height, nullptr,
                                nullptr, nullptr, nullptr);
    PumpMessages();
    return hwnd;
}

// Draws a known picture into a window through a DIB section and BitBlt, then reads the pixels
// back from the host and compares them (colour bytes; the host's surface may not keep alpha).
inline void DrawAndReadBack()
{
    ASSERT_STREQ(winapi::CurrentHost().Name(), "sdl");
    constexpr int kWidth = 64, kHeight = 48;
    HWND hwnd = OpenPopup("SdlRoundTrip", kWidth, kHeight);
    ASSERT_NE(hwnd, nullptr);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = kHeight;  // bottom-up, as the engine's DIBs often are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    auto* pixels = static_cast<uint32_t*>(bits);
    auto expected = [](int x, int y) { return static_cast<uint32_t>((x * 4) << 16 | (y * 5) << 8 | ((x + y) & 0xFF)); };
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            pixels[(kHeight - 1 - y) * kWidth + x] = expected(x, y);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, dib);
    HDC window = GetDC(hwnd);
    ASSERT_TRUE(BitBlt(window, 0, 0, kWidth, kHeight, memory, 0, 0, SRCCOPY));
    ReleaseDC(hwnd, window);
    PumpMessages();

    const winapi::Frame frame = winapi::CurrentHost().ReadBack(hwnd);
    ASSERT_EQ(frame.width, kWidth);
    ASSERT_EQ(frame.height, kHeight);
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            wrong += (frame.At(x, y) & 0xFFFFFF) != expected(x, y);
    EXPECT_EQ(wrong, 0);

    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    DestroyWindow(hwnd);
}
