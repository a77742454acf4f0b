// Window-bound targets: subclassing that keeps the window's own user data visible to its own
// procedure, WM_PAINT from the image, detaching on WM_DESTROY, and a 0x0 client.
#include "display/window_surface.h"
#include "drawing/primitive_object.h"
#include "winapi/gdi.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <gtest/gtest.h>

namespace {

LONG_PTR g_seenUserData = 0;
int g_ownCalls = 0;

LRESULT CALLBACK OwnProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 1) {
        ++g_ownCalls;
        g_seenUserData = GetWindowLongPtrA(hwnd, GWLP_USERDATA);
        return 42;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND MakeWindow(int width, int height)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = OwnProc;
    wc.lpszClassName = "WindowTargetTest";
    RegisterClassExA(&wc);
    HWND hwnd = CreateWindowExA(0, "WindowTargetTest", "target", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                                nullptr, nullptr, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0x5150);
    return hwnd;
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

TEST(WindowSurface, ForwardsWithTheWindowsOwnUserDataAndPaintsFromItsImage)
{
    HWND hwnd = MakeWindow(40, 30);
    CWindowSurface target(hwnd);
    ASSERT_EQ(target.GetWindow(), hwnd);
    EXPECT_NE(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 0x5150);
    g_ownCalls = 0;
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 1, 0, 0), 42);
    EXPECT_EQ(g_ownCalls, 1);
    EXPECT_EQ(g_seenUserData, 0x5150);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&target));

    CPrimitiveObject shape;
    ASSERT_EQ(shape.Setup(10, 10, 0xFF0000FF, 5, 5), 0);
    target.GetList().Insert(&shape, 0, 0);
    target.Redraw(false);
    Pump();
    winapi::Frame frame = winapi::CurrentHeadlessHost()->ReadBack(hwnd);
    ASSERT_EQ(frame.width, 40);
    EXPECT_EQ(frame.At(6, 6) & 0xFFFFFF, 0x0000FFu);
    InvalidateRect(hwnd, nullptr, FALSE);
    Pump(); // WM_PAINT comes from the image
    frame = winapi::CurrentHeadlessHost()->ReadBack(hwnd);
    EXPECT_EQ(frame.At(6, 6) & 0xFFFFFF, 0x0000FFu);
    target.GetList().Remove(&shape);

    // WM_DESTROY detaches: the object's destruction afterwards leaves the window alone.
    DestroyWindow(hwnd);
    EXPECT_EQ(target.GetWindow(), nullptr);
}

TEST(WindowSurface, ZeroClientGivesOneWithTheProcedureRestored)
{
    HWND hwnd = MakeWindow(0, 0);
    const LONG_PTR ownProc = GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    CWindowSurface surface;
    EXPECT_EQ(surface.Attach(hwnd, true), 1);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), ownProc);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 0x5150);
    CGdiBackingWindow backing;
    EXPECT_EQ(backing.Attach(hwnd, 32), 1);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), ownProc);
    EXPECT_EQ(backing.Attach(nullptr, 32), -1);
    DestroyWindow(hwnd);
}

TEST(GdiBackingWindow, PaintsItsImageAndLetsGo)
{
    HWND hwnd = MakeWindow(20, 10);
    const LONG_PTR ownProc = GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    {
        CGdiBackingWindow backing(hwnd);
        ASSERT_EQ(backing.GetImage().GetWidth(), 20);
        backing.GetImage().FillRect32(0x00123456, nullptr);
        backing.PaintNow();
        EXPECT_EQ(winapi::CurrentHeadlessHost()->ReadBack(hwnd).At(19, 9) & 0xFFFFFF, 0x123456u);
        EXPECT_EQ(SendMessageA(hwnd, WM_USER + 1, 0, 0), 42);
        EXPECT_EQ(g_seenUserData, 0x5150);
    }
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), ownProc);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 0x5150);
    DestroyWindow(hwnd);
}

} // namespace
