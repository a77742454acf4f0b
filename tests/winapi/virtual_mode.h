// Virtual display modes for the tests: the primary display's size as the window system reports it
// (nothing real changes).
#pragma once

#include "winapi/user.h"

// The primary display at width x height → DISP_CHANGE_SUCCESSFUL, DISP_CHANGE_BADMODE.
inline LONG SetVirtualMode(DWORD width, DWORD height)
{
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    return ChangeDisplaySettingsExA(nullptr, &mode, nullptr, CDS_FULLSCREEN, nullptr);
}

// Back to the desktop's own mode.
inline LONG RestoreDesktopMode()
{
    return ChangeDisplaySettingsExA(nullptr, nullptr, nullptr, 0, nullptr);
}
