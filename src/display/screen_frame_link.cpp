#include "display/screen_frame_link.h"

#include "display/surface_sprite.h"

ScreenBox CScreenFrameLink::GetOutputRect()
{
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
