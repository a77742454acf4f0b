// What the application frame asks of the screen and its display device: the fields it reads and
// the calls it makes while starting, switching screen modes, painting, pausing for modal UI and
// shutting down. The screen implements it; tests give the frame a recording double.
#pragma once

#include <cstdint>

#include "platform/monitor_list.h"
#include "winapi/user.h"

// A rectangle as the screen keeps it: origin and size.
struct ScreenBox {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

class IFrameScreen {
public:
    virtual ~IFrameScreen() = default;

    // Fields read by the frame.
    virtual uint8_t GetMode() = 0;                 // 1 full screen, 2 window, 0 not set up
    virtual ScreenBox GetOutputRect() = 0;         // where the picture goes in the window or monitor
    virtual bool IsScaled() = 0;                   // the picture is scaled into the output
    virtual ScreenBox GetPictureRect() = 0;        // the scaled picture inside the output
    virtual bool IsLetterboxed() = 0;
    virtual RECT GetBorderRect(int which) = 0;     // the two letterbox borders (0, 1), client pixels
    virtual ScreenBox GetScaledModeSize() = 0;     // display-mode size while scaling (width, height)
    virtual uint8_t GetFullScreenDepth() = 0;
    virtual bool HasDevice() = 0;                  // a DirectDraw device exists
    virtual bool HasPrimarySurface() = 0;
    virtual bool UsesFlipping() = 0;               // full screen with a flipping chain
    virtual bool IsDeviceFullScreen() = 0;         // the display device holds the full-screen mode
    virtual bool IsGdiMode() = 0;                  // the GDI surface is shown (FlipToGdi)
    virtual bool ShowsMenuInFullScreen() = 0;
    virtual bool HasFrameImage() = 0;              // the display canvas exists

    // Calls. 0 is success unless said otherwise.
    virtual int EnumDisplayDevices(CMonitorList* monitors, int width, int height, uint8_t flag) = 0;
    virtual int SetOutputSize(int width, int height) = 0;             // 1 a size below 1
    virtual int CreateSurfaceSprite(int width, int height, int bits, int kindFlag) = 0;
    virtual int SetFrameImage() = 0;
    // The screen-mode change: windowed 0 full screen, 1 window; → 0 or the device's failure code.
    virtual int CreateDisplay(HWND window, bool windowed, uint8_t depth, bool zBuffer, bool secondFlag) = 0;
    virtual void ClearDisplayFlags() = 0;          // the retry after a failed first switch
    virtual int RestoreDevice() = 0;               // 0 ok, 1 minor, above 1 failure
    virtual int FlipToGdi() = 0;
    virtual int LeaveGdi() = 0;
    virtual void PaintToDC(HDC dc, const RECT* rect) = 0;
    virtual void ReleaseDevice() = 0;              // Direct3D
    virtual void ReleaseSurfaces() = 0;
    virtual int SetFullScreenMode(HWND window, int width, int height, uint8_t depth, uint32_t flags) = 0;
    virtual void RestoreWindowedMode(int flags) = 0;
    virtual void ReleaseDisplayDevice() = 0;       // DirectDraw, restoring the display mode
};

// Set by the frame to its screen during start-up.
extern IFrameScreen* g_pDisplayDevice;
