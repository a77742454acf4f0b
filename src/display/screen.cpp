// The screen's presentation (pure GDI window); see screen.h.
#include "display/screen.h"

#include "raster/update_region.h"
#include "winapi/gdi.h"

#include <algorithm>

CScreen::CScreen() = default;

CScreen::~CScreen()
{
    ReleaseSurfaces();
    DeleteAllObjects();
    DeleteAllDrawables();
    RestoreDisplaySettings();
    ClearDisplayDeviceList();
}

int CScreen::SetOutputSize(LONG width, LONG height)
{
    if (width < 1 || height < 1)
        return 1;
    m_output = RECT{0, 0, width, height};
    return 0;
}

int CScreen::SetFrameImage(CImageObject* image)
{
    CScopedLock lock(m_lock);
    m_frameImage = image;
    if (image) {
        image->InvalidateRect(nullptr);
        const CImage* pixels = image->GetImage();
        m_output = RECT{0, 0, pixels->GetWidth(), pixels->GetHeight()};
    }
    return 0;
}

int CScreen::CreateDisplay(HWND window, bool windowed, bool tripleBuffering, bool zBuffer)
{
    (void)tripleBuffering;
    if (m_output.right < 1 || m_output.bottom < 1)
        return 1;
    ReleaseSurfaces();
    m_window = window;
    m_zBuffer = zBuffer ? 1 : 0;
    if (!windowed) {
        // Full screen needs DirectDraw, which the stand-in does not offer yet.
        m_mode = kDisplayNone;
        return 1;
    }
    m_mode = kDisplayWindow;
    if (!m_frameImage)
        return 1; // the window without a frame image is drawn through DirectDraw
    if (m_texturePathInWindow && m_presentPathRequest) {
        // The texture path cannot be built: as when it fails, the request is dropped and the
        // frame image is drawn straight into the window.
        m_presentPathRequest = 0;
    }
    HDC screen = GetDC(nullptr);
    m_colorDepth = static_cast<uint8_t>(GetDeviceCaps(screen, BITSPIXEL));
    ReleaseDC(nullptr, screen);
    m_pixelFormat = 0;
    return 0;
}

int CScreen::RenderFrameImage()
{
    if (!m_frameImage)
        return Present();
    CScopedLock lock(m_lock);
    const int drawn = m_frameImage->Present(m_window, nullptr, nullptr, 0, true);
    // A window DC that could not be had lost the frame: it used to answer 0 like "nothing changed".
    return drawn == 1 ? 2 : 0;
}

HRESULT CScreen::PaintToDC(HDC dc, const RECT* rect)
{
    RECT area = m_output;
    if (rect && !IntersectRects(&area, *rect, m_output))
        return 0;
    CScopedLock lock(m_lock);
    if (!m_frameImage)
        return E_FAIL;
    // A canvas without a device context (kind 10) has nothing to copy from.
    HDC from = m_frameImage->GetDrawDC();
    if (!from)
        return E_FAIL;
    BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, from, area.left, area.top,
           SRCCOPY);
    return 0;
}
