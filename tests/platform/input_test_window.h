// A top-level window of the headless host for the input tests: host key and mouse events are
// delivered to it, and it is active so that foreground DirectInput devices may read.
#pragma once

#include "winapi/host.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

class InputTestWindow {
public:
    InputTestWindow()
    {
        winapi::CurrentHost();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "TessaroInputTest";
        RegisterClassExA(&wc);
        hwnd = CreateWindowExA(0, "TessaroInputTest", "input", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480,
                               nullptr, nullptr, nullptr, nullptr);
        SetActiveWindow(hwnd);
        SetFocus(hwnd);
    }
    ~InputTestWindow() { DestroyWindow(hwnd); }
    void Key(int scancode, bool down) const { winapi::HostKey(hwnd, winapi::HostKeyEvent{scancode, down, false}); }
    HWND hwnd = nullptr;
};
