// Shared by tests on the headless host: the host, a message pump, and displays to give it.
#pragma once

#include <string>

#include "winapi/host_headless.h"
#include "winapi/user.h"

namespace headless_test {

inline winapi::HeadlessHost& Host() { return *winapi::CurrentHeadlessHost(); }

// Dispatches every message waiting for this thread.
inline void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

// A display over `bounds` (work area the same); index 0 is the primary.
inline winapi::DisplayInfo Display(RECT bounds, int index = 0)
{
    winapi::DisplayInfo info;
    info.bounds = bounds;
    info.work = bounds;
    info.primary = index == 0;
    info.deviceName = "\\\\.\\DISPLAY" + std::to_string(index + 1);
    return info;
}

} // namespace headless_test
