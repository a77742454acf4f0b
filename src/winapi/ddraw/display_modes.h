// Virtual display modes of the stand-in's DirectDraw: the modes offered per display, the mode in
// force (the display list reports it; nothing real changes), the loss epoch that a mode change
// advances, and the drivers as DirectDrawEnumerateExA lists them. Internal to winapi.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "winapi/ddraw.h"

namespace winapi::ddraw {

struct Mode {
    DWORD width;
    DWORD height;
    DWORD bits;
    DWORD refresh;
};

// Offered modes of display `display` (0 primary), sizes of the table and the display's own size
// none larger than its desktop size, each at 16 and 32 bits (24 too when the switch says so).
std::vector<Mode> OfferedModes(size_t display);
// DD_OK (WM_DISPLAYCHANGE posted, every video-memory surface lost), DDERR_INVALIDMODE for a mode
// not offered (refresh 0 or 60 accepted).
HRESULT SetMode(size_t display, const Mode& mode);
// Back to the desktop mode of the display; nothing when none was set.
void RestoreMode(size_t display);
// The display's bits per pixel now.
DWORD DisplayBits(size_t display);
// The pixel format of a bit depth (16: 565, 24: 888, 32: x888).
DDPIXELFORMAT FormatOfBits(DWORD bits);

// Surfaces made before the epoch last advanced are lost.
uint32_t LossEpoch();
void AdvanceLossEpoch();
// Counts one DirectDraw/Direct3D call; at the switch's call every surface is lost.
void CountCall();
// Counts a call of `method`, one of the methods counted in display_modes.cpp (and CountCall);
// DDERR_GENERIC when the test switch fails this one.
HRESULT MethodCall(const char* method);
void CountRenderState(DWORD state);
void CountStageState(DWORD state);
// Counts one quad drawn by rows (for the tests).
void CountQuadByRows();

struct Driver {
    GUID guid;             // zero for the primary display driver
    bool hasGuid;
    std::string description;
    std::string name;
    HMONITOR monitor;      // null for the primary display driver
    size_t display;        // which display it drives
};
std::vector<Driver> Drivers();
// The driver of a GUID (null: the default one); false for an unknown GUID.
bool FindDriver(const GUID* guid, Driver* out);

} // namespace winapi::ddraw
