// The DirectDraw text surface; see dd_surface.h.
#include "display/dd_surface.h"

#include "display/device_surface_create.h"
#include "drawing/font.h"
#include "drawing/gdi_font.h"
#include "raster/device_blit.h"
#include "raster/image.h"

#include <new>

CDDSurface::CDDSurface(CFont* font, CDisplayDevice* device)
{
    if (font) {
        g_pDefaultFont = font;
    }
    if (device) {
        g_pSurfaceDisplayDevice = device;
    }
}

CDDSurface::~CDDSurface() { Clear(); }

uint32_t CDDSurface::GetPixelFormatCode() const
{
    return m_surface ? ::GetPixelFormatCode(m_surface, nullptr, nullptr) : 0;
}

void CDDSurface::Clear()
{
    m_text.clear();
    m_hasText = false;
    m_font = nullptr;
    ReleaseSurface();
}

int CDDSurface::CreateSurface(LONG width, LONG height, bool texture, const DDPIXELFORMAT* format)
{
    ReleaseSurface();
    CDisplayDevice* device = g_pSurfaceDisplayDevice;
    if (!device || !device->DirectDraw()) {
        return 1;
    }
    IDirectDrawSurface7* surface = nullptr;
    DDSURFACEDESC2 made;
    if (CreateDeviceSurface(device, width, height, false, texture, format, &surface, &made) != 0) {
        return 2;
    }
    m_surface = surface;
    m_width = width;
    m_height = height;
    m_pitch = made.lPitch;
    m_clip = RECT{0, 0, width, height};
    m_bitsPerPixel = static_cast<uint8_t>(made.ddpfPixelFormat.dwRGBBitCount);
    return 0;
}

int CDDSurface::SetText(const char* text, CFont* font)
{
    Clear();
    if (!g_pSurfaceDisplayDevice || !text) {
        return 1;
    }
    try {
        m_text = text;
    } catch (const std::bad_alloc&) {
        return 2;
    }
    m_hasText = true;
    m_font = font;
    if (const int code = Render(); code != 0) {
        Clear();
        return 2 + code;
    }
    return 0;
}

int CDDSurface::Render()
{
    CFont* font = m_font ? m_font : g_pDefaultFont;
    if (!m_hasText || !font) {
        return 3;
    }
    SIZE size{0, 0};
    int32_t offsetX = 0;
    int32_t offsetY = 0;
    font->MeasureString(m_text.c_str(), &size, &offsetX, &offsetY, 1, nullptr);
    int code;
    if (!font->IsGlyphFont()) {
        code = CreateSurface(size.cx, size.cy, false, nullptr);
        if (code == 0) {
            code = DrawGdi(font, -offsetX, -offsetY);
            code = code != 0 ? 3 + code : 0;
        }
    } else {
        RECT box{};
        RotateRectToQuad(font, &box, offsetX, offsetY, size.cx, size.cy);
        code = CreateSurface(box.right - box.left, box.bottom - box.top, false, nullptr);
        if (code == 0) {
            code = DrawGlyphs(font, -box.left, -box.top);
            code = code != 0 ? 3 + code : 0;
        }
    }
    if (code != 0) {
        Clear();
    }
    return code;
}

int CDDSurface::BlitFromDc(HDC from)
{
    HDC dc = nullptr;
    if (m_surface->GetDC(&dc) != DD_OK) {
        return 3;
    }
    BitBlt(dc, 0, 0, m_width, m_height, from, 0, 0, SRCCOPY);
    return m_surface->ReleaseDC(dc) != DD_OK ? 4 : 0;
}

// A GDI font: straight into the surface's DC on a filled background (no antialiasing), else
// through a 32-bit work picture; then the background becomes the key when the font is transparent.
int CDDSurface::DrawGdi(CFont* font, LONG x, LONG y)
{
    auto* gdi = static_cast<CGdiFont*>(font);
    // A copy: the background is switched while drawing.
    const uint8_t bg[3] = {font->m_bgColor[0], font->m_bgColor[1], font->m_bgColor[2]};
    const uint8_t transparent = gdi->m_transparent;
    if (font->m_antialias == 0) {
        if (FillSurfaceRect(m_surface, nullptr, bg[0], bg[1], bg[2], nullptr, 0) != 0) {
            return 5;
        }
        HDC dc = nullptr;
        if (m_surface->GetDC(&dc) != DD_OK) {
            return 3;
        }
        gdi->SetBackground(1, 0, 0, 0);
        const int drawn = gdi->DrawToDib(dc, x, y, m_text.c_str());
        gdi->SetBackground(transparent, bg[0], bg[1], bg[2]);
        if (drawn != 0) {
            m_surface->ReleaseDC(dc);
            return 2;
        }
        if (m_surface->ReleaseDC(dc) != DD_OK) {
            return 4;
        }
    } else {
        CImage work;
        if (work.Create(m_width, m_height, 32, kImageWithDc) != 0) {
            return 1;
        }
        const BYTE r = bg[0];
        const BYTE g = bg[1];
        const BYTE b = bg[2];
        work.CDibSurface::FillRect(r, g, b, nullptr, nullptr);
        gdi->SetBackground(0, r, g, b);
        const int drawn = font->DrawText(&work, x, y, m_text.c_str(), nullptr, nullptr);
        gdi->SetBackground(transparent, r, g, b);
        if (drawn != 0) {
            return 2;
        }
        if (const int code = BlitFromDc(work.GetDc()); code != 0) {
            return code;
        }
    }
    if (transparent) {
        return SetColorKeyRgb(bg[0], bg[1], bg[2]) != 0 ? 6 : 0;
    }
    return ClearColorKey() != 0 ? 7 : 0;
}

int CDDSurface::DrawGlyphs(CFont* font, LONG x, LONG y)
{
    CImage work;
    if (work.Create(m_width, m_height, 32, kImageWithDc) != 0) {
        return 1;
    }
    const uint8_t* bg = font->m_bgColor;
    work.CDibSurface::FillRect(bg[0], bg[1], bg[2], nullptr, nullptr);
    if (font->DrawText(&work, x, y, m_text.c_str(), nullptr, nullptr) != 0) {
        return 2;
    }
    if (const int code = BlitFromDc(work.GetDc()); code != 0) {
        return code;
    }
    return SetColorKeyRgb(bg[0], bg[1], bg[2]) != 0 ? 6 : 0;
}

int CDDSurface::ClearColorKey()
{
    return RemoveSourceKey(m_surface, &m_deviceKey);
}

int CDDSurface::Restore(bool onlyIfLost)
{
    if (!SurfaceNeedsRebuild(m_surface, onlyIfLost)) {
        return 0;
    }
    const DWORD rgbKey = m_colorKey;
    const LONG keyX = m_keyX;
    const LONG keyY = m_keyY;
    if (Render() != 0) {
        return 1;
    }
    return SetKeyAgain(rgbKey, keyX, keyY);
}
