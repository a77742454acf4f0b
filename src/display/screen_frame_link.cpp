#include "display/screen_frame_link.h"

#include "display/surface_sprite.h"

ScreenBox CScreenFrameLink::GetOutputRect()
{
    // Scaled, the picture is shown inside the whole target.
    const CScaledOutput& s = m_screen->GetScaledOutput();
    if (s.active)
        return ScreenBox{0, 0, s.targetWidth, s.targetHeight};
    const RECT& r = m_screen->GetOutputRect();
    return ScreenBox{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

int CScreenFrameLink::CreateSurfaceSprite(int width, int height, int bits, int kindFlag)
{
    return m_screen->CreateSurfaceSprite(&m_canvas, width, height, bits, kindFlag == 2 ? 2 : 0);
}

int CScreenFrameLink::SetFrameImage()
{
    return m_screen->SetFrameImage(m_canvas);
}

int CScreenFrameLink::CreateDisplay(HWND window, bool windowed, uint8_t, bool zBuffer, bool secondFlag)
{
    return m_screen->CreateDisplay(window, windowed, secondFlag, zBuffer);
}

ScreenBox CScreenFrameLink::GetPictureRect()
{
    const CScaledOutput& s = m_screen->GetScaledOutput();
    return s.active ? ScreenBox{s.x, s.y, s.width, s.height} : GetOutputRect();
}

RECT CScreenFrameLink::GetBorderRect(int which)
{
    return IsLetterboxed() && (which == 0 || which == 1) ? m_screen->GetScaledOutput().border[which] : RECT{0, 0, 0, 0};
}

ScreenBox CScreenFrameLink::GetScaledModeSize()
{
    const CScaledOutput& s = m_screen->GetScaledOutput();
    return s.active ? ScreenBox{0, 0, s.targetWidth, s.targetHeight} : GetOutputRect();
}

int CScreenFrameLink::EnumDisplayDevices(CMonitorList* monitors, int width, int height, uint8_t flag)
{
    const int result = m_screen->EnumDisplayDevices(monitors, width, height, flag != 0);
    if (result == 0)
        m_screen->SelectDisplayMode(true, nullptr, 0, 0, monitors);
    return result;
}

void CScreenFrameLink::ReleaseDevice() { m_screen->CD3DDevice::ReleaseDevice(); }
