// CScreenFrameLink: the real screen (CScreen) as the application frame sees it: its DirectDraw
// device, surfaces, flip chain, scaled output and display-device list.
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
    bool IsScaled() override { return m_screen->GetScaledOutput().active; }
    ScreenBox GetPictureRect() override;
    bool IsLetterboxed() override { return IsScaled() && m_screen->GetScaledOutput().borders; }
    RECT GetBorderRect(int which) override;
    ScreenBox GetScaledModeSize() override;
    uint8_t GetFullScreenDepth() override { return m_screen->GetColorDepth(); }
    bool HasDevice() override { return m_screen->DirectDraw() != nullptr; }
    bool HasPrimarySurface() override { return m_screen->GetPrimary() != nullptr; }
    bool UsesFlipping() override { return m_screen->IsBackBufferInFlipChain(); }
    bool IsDeviceFullScreen() override { return m_screen->DisplayModeState() == 1; }
    bool IsGdiMode() override { return m_screen->GetPrimary() == nullptr || m_screen->IsGdiShown(); }
    bool ShowsMenuInFullScreen() override { return false; }
    bool HasFrameImage() override { return m_screen->GetFrameImage() != nullptr; }

    // The screen's list, and the first monitor's mode chosen for full screen.
    int EnumDisplayDevices(CMonitorList* monitors, int width, int height, uint8_t flag) override;
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
    void ReleaseDevice() override;
    void ReleaseSurfaces() override { m_screen->ReleaseSurfaces(); }
    int SetFullScreenMode(HWND window, int width, int height, uint8_t depth, uint32_t flags) override
    {
        return m_screen->SetFullScreenMode(window, static_cast<DWORD>(width), static_cast<DWORD>(height), depth,
                                           (flags & 1) != 0);
    }
    void RestoreWindowedMode(int flags) override { m_screen->RestoreWindowedMode(flags != 0); }
    void ReleaseDisplayDevice() override { m_screen->CDisplayDevice::Release(); }

private:
    CScreen* m_screen;
    CSurfaceSprite* m_canvas = nullptr;
};
