// CScreenFrameLink: the real screen (CScreen) as the application frame sees it. The screen draws
// through GDI only for now, so the link answers the DirectDraw questions as a GDI screen does: no
// device, no flipping, no scaling, and a full-screen switch that fails with the screen's code.
#pragma once

#include "display/frame_screen.h"
#include "display/screen.h"

class CSurfaceSprite;

class CScreenFrameLink : public IFrameScreen {
public:
    explicit CScreenFrameLink(CScreen* screen) : m_screen(screen) {}
    CScreen* GetScreen() const { return m_screen; }
    // The display canvas made by CreateSurfaceSprite (owned by the screen); null before.
    CSurfaceSprite* GetCanvas() const { return m_canvas; }

    uint8_t GetMode() override { return m_screen->GetMode(); }
    ScreenBox GetOutputRect() override;
    bool IsScaled() override { return false; }
    ScreenBox GetPictureRect() override { return GetOutputRect(); }
    bool IsLetterboxed() override { return false; }
    RECT GetBorderRect(int) override { return RECT{0, 0, 0, 0}; }
    ScreenBox GetScaledModeSize() override { return GetOutputRect(); }
    uint8_t GetFullScreenDepth() override { return m_screen->GetColorDepth(); }
    bool HasDevice() override { return false; }
    bool HasPrimarySurface() override { return false; }
    bool UsesFlipping() override { return false; }
    bool IsDeviceFullScreen() override { return false; }
    bool IsGdiMode() override { return true; }
    bool ShowsMenuInFullScreen() override { return false; }
    bool HasFrameImage() override { return m_screen->GetFrameImage() != nullptr; }

    // A GDI screen has no device list to make: 0.
    int EnumDisplayDevices(CMonitorList*, int, int, uint8_t) override { return 0; }
    int SetOutputSize(int width, int height) override { return m_screen->SetOutputSize(width, height); }
    // The 32-bit canvas of the screen's factory (kind flag 2 gives scene mode 2, else 0).
    int CreateSurfaceSprite(int width, int height, int bits, int kindFlag) override;
    int SetFrameImage() override;
    int CreateDisplay(HWND window, bool windowed, uint8_t depth, bool zBuffer, bool secondFlag) override;
    void ClearDisplayFlags() override {}
    int RestoreDevice() override { return m_screen->RestoreDevice(); }
    int FlipToGdi() override { return m_screen->FlipToGdi(); }
    int LeaveGdi() override { return m_screen->LeaveGdi(); }
    void PaintToDC(HDC dc, const RECT* rect) override { m_screen->PaintToDC(dc, rect); }
    void ReleaseDevice() override {}
    void ReleaseSurfaces() override { m_screen->ReleaseSurfaces(); }
    // No DirectDraw: the mode cannot be set (1).
    int SetFullScreenMode(HWND, int, int, uint8_t, uint32_t) override { return 1; }
    void RestoreWindowedMode(int) override {}
    void ReleaseDisplayDevice() override {}

private:
    CScreen* m_screen;
    CSurfaceSprite* m_canvas = nullptr;
};
