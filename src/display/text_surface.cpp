// The text texture; see text_surface.h.
#include "display/text_surface.h"

#include "display/device_surface_create.h"
#include "display/file_image_surface.h"
#include "drawing/font.h"
#include "drawing/gdi_font.h"
#include "raster/color_kernels.h"
#include "raster/device_blit.h"
#include "raster/image.h"
#include "raster/pixel_ops.h"
#include "winapi/picture_limit.h"

#include <cstring>
#include <new>

namespace {

bool HasAlpha(uint32_t code)
{
    return code >= kPixelA1R5G5B5;
}

// Copies a picture's DC into the surface's: 0; 3 no surface DC; 4 it could not be given back.
int BlitDc(IDirectDrawSurface7* into, LONG w, LONG h, HDC from)
{
    HDC dc = nullptr;
    if (into->GetDC(&dc) != DD_OK)
        return 3;
    BitBlt(dc, 0, 0, w, h, from, 0, 0, SRCCOPY);
    return into->ReleaseDC(dc) != DD_OK ? 4 : 0;
}

} // namespace

CTextSurface::CTextSurface(CD3DDevice* device)
{
    if (device != nullptr)
        g_pRenderDevice = device;
}

CTextSurface::~CTextSurface()
{
    if (g_pRenderDevice != nullptr)
        g_pRenderDevice->ForgetTexture(this);
}

void CTextSurface::Clear()
{
    if (g_pRenderDevice != nullptr)
        g_pRenderDevice->ForgetTexture(this);
    CDDSurface::Clear();
    m_textWidth = m_textHeight = 0;
    m_format = 0;
}

double CTextSurface::GetTexU(LONG x) const
{
    if (m_surface == nullptr || m_width <= 0)
        return 0;
    if (m_textWidth > m_width)
        return (static_cast<double>(m_width) * x / m_textWidth + 0.5) / m_width;
    return (x + 0.5) / m_width;
}

double CTextSurface::GetTexV(LONG y) const
{
    if (m_surface == nullptr || m_height <= 0)
        return 0;
    if (m_textHeight > m_height)
        return (static_cast<double>(m_height) * y / m_textHeight + 0.5) / m_height;
    return (y + 0.5) / m_height;
}

int CTextSurface::SetText(uint32_t format, const char* text, CFont* font)
{
    Clear();
    if (g_pSurfaceDisplayDevice == nullptr || g_pRenderDevice == nullptr || text == nullptr)
        return 1;
    try {
        m_text = text;
    } catch (const std::bad_alloc&) {
        return 2;
    }
    m_hasText = true;
    m_font = font;
    m_format = format;
    if (const int code = Render(); code != 0) {
        Clear();
        return 2 + code;
    }
    return 0;
}

int CTextSurface::Render()
{
    const int code = [this]() -> int {
        CFont* font = m_font != nullptr ? m_font : g_pDefaultFont;
        CD3DDevice* device = g_pRenderDevice;
        if (!m_hasText || font == nullptr || device == nullptr)
            return 1;
        const DDPIXELFORMAT* found = device->GetTextureFormat(m_format);
        if (found == nullptr)
            return 2;
        const DDPIXELFORMAT format = *found;
        SIZE size{0, 0};
        int32_t offsetX = 0, offsetY = 0;
        font->MeasureString(m_text.c_str(), &size, &offsetX, &offsetY, 1, nullptr);
        if (font->IsGlyphFont()) {
            RECT box{};
            RotateRectToQuad(font, &box, offsetX, offsetY, size.cx, size.cy);
            size = SIZE{box.right - box.left, box.bottom - box.top};
            offsetX = box.left;
            offsetY = box.top;
        }
        // Refused before anything is made: a box this large once asked for gigabytes.
        if (size.cx > kMaxPictureSide || size.cy > kMaxPictureSide || size.cx < 0 || size.cy < 0)
            return 4 + 1;
        LONG tw = 0, th = 0;
        bool tooLarge = false;
        CFileImageSurface::FitTexture(size.cx, size.cy, device->GetTextureCaps(), device->GetMinTextureWidth(),
                                      device->GetMinTextureHeight(), device->GetMaxTextureWidth(),
                                      device->GetMaxTextureHeight(), &tw, &th, &tooLarge);
        if (tw > kMaxPictureSide || th > kMaxPictureSide)
            return 2 + 2;
        if (const int made = CreateSurface(tw, th, true, &format); made != 0)
            return 2 + made;
        const uint32_t pixelCode = ::GetPixelFormatCode(nullptr, nullptr, &format);
        auto draw = [&](IDirectDrawSurface7* into, LONG w, LONG h) {
            const int step = font->IsGlyphFont() ? DrawGlyphs(into, w, h, pixelCode, font, -offsetX, -offsetY)
                                                 : DrawGdi(into, w, h, pixelCode, font, -offsetX, -offsetY);
            return step != 0 ? 4 + step : 0;
        };
        if (!tooLarge) {
            if (const int drawn = draw(m_surface, tw, th); drawn != 0)
                return drawn;
        } else {
            // At full size into a temporary, then scaled onto the whole texture.
            CDDSurface temporary;
            if (const int made = temporary.CreateSurface(size.cx, size.cy, true, &format); made != 0)
                return 2 + made;
            if (const int drawn = draw(temporary.GetDirectDrawSurface(), size.cx, size.cy); drawn != 0)
                return drawn;
            if (m_surface->Blt(nullptr, temporary.GetDirectDrawSurface(), nullptr, DDBLT_WAIT, nullptr) != DD_OK)
                return 15;
        }
        m_textWidth = size.cx;
        m_textHeight = size.cy;
        return 0;
    }();
    if (code != 0)
        Clear();
    return code;
}

int CTextSurface::DrawWithAlpha(IDirectDrawSurface7* into, LONG w, LONG h, uint32_t code, CFont* font, LONG x,
                                LONG y)
{
    CImage work;
    if (work.Create(w, h, 32, kImageWithDc) != 0)
        return 1;
    for (LONG row = 0; row < h; ++row)
        std::memset(work.GetRowPointer(row), 0, static_cast<size_t>(w) * 4);
    if (font->DrawTextWithAlpha(&work, x, y, m_text.c_str(), nullptr, nullptr) != 0)
        return 2;
    DDSURFACEDESC2 locked;
    std::memset(&locked, 0, sizeof(locked));
    locked.dwSize = sizeof(locked);
    if (into->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK)
        return 6;
    for (LONG row = 0; row < h; ++row)
        ConvertArgbToTexture16(code, static_cast<BYTE*>(locked.lpSurface), 0, row, w, 1, locked.lPitch,
                               work.GetRowPointer(row), 0, 0, 0);
    return into->Unlock(nullptr) != DD_OK ? 7 : 0;
}

int CTextSurface::DrawGlyphs(IDirectDrawSurface7* into, LONG w, LONG h, uint32_t code, CFont* font, LONG x, LONG y)
{
    if (HasAlpha(code))
        return DrawWithAlpha(into, w, h, code, font, x, y);
    CImage work;
    if (work.Create(w, h, 32, kImageWithDc) != 0)
        return 1;
    const uint8_t* bg = font->m_bgColor;
    work.CDibSurface::FillRect(bg[0], bg[1], bg[2], nullptr, nullptr);
    if (font->DrawText(&work, x, y, m_text.c_str(), nullptr, nullptr) != 0)
        return 2;
    if (const int copied = BlitDc(into, w, h, work.GetDc()); copied != 0)
        return copied;
    return SetColorKeyRgb(bg[0], bg[1], bg[2]) != 0 ? 8 : 0;
}

int CTextSurface::DrawGdi(IDirectDrawSurface7* into, LONG w, LONG h, uint32_t code, CFont* font, LONG x, LONG y)
{
    auto* gdi = static_cast<CGdiFont*>(font);
    // A copy: the background is switched while drawing.
    const uint8_t bg[3] = {font->m_bgColor[0], font->m_bgColor[1], font->m_bgColor[2]};
    const uint8_t transparent = gdi->m_transparent;
    if (font->m_antialias == 0) {
        if (FillSurfaceRect(into, nullptr, bg[0], bg[1], bg[2], nullptr, 0xFF) != 0)
            return 5;
        HDC dc = nullptr;
        if (into->GetDC(&dc) != DD_OK)
            return 3;
        gdi->SetBackground(1, bg[0], bg[1], bg[2]);
        const int drawn = gdi->DrawToDib(dc, x, y, m_text.c_str());
        gdi->SetBackground(transparent, bg[0], bg[1], bg[2]);
        if (into->ReleaseDC(dc) != DD_OK)
            return 4;
        if (drawn != 0)
            return 2;
        if (!HasAlpha(code))
            return 0;
        // GDI leaves the alpha bits of what it writes clear: inverted, the filled background becomes
        // transparent and the text opaque.
        DDSURFACEDESC2 locked;
        std::memset(&locked, 0, sizeof(locked));
        locked.dwSize = sizeof(locked);
        if (into->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK)
            return 6;
        const RECT bounds{0, 0, w, h};
        InvertPixels(2, code, static_cast<BYTE*>(locked.lpSurface), locked.lPitch, &bounds, nullptr);
        return into->Unlock(nullptr) != DD_OK ? 7 : 0;
    }
    if (HasAlpha(code))
        return DrawWithAlpha(into, w, h, code, font, x, y);
    CImage work;
    if (work.Create(w, h, 32, kImageWithDc) != 0)
        return 1;
    work.CDibSurface::FillRect(bg[0], bg[1], bg[2], nullptr, nullptr);
    gdi->SetBackground(0, bg[0], bg[1], bg[2]);
    const int drawn = font->DrawText(&work, x, y, m_text.c_str(), nullptr, nullptr);
    gdi->SetBackground(transparent, bg[0], bg[1], bg[2]);
    if (drawn != 0)
        return 2;
    return BlitDc(into, w, h, work.GetDc());
}

int CTextSurface::Restore(bool onlyIfLost)
{
    if (!SurfaceNeedsRebuild(m_surface, onlyIfLost))
        return 0;
    const DWORD rgbKey = m_colorKey;
    const LONG keyX = m_keyX;
    const LONG keyY = m_keyY;
    // Render clears everything when it fails; the text and font are kept for it.
    if (Render() != 0)
        return 1;
    return SetKeyAgain(rgbKey, keyX, keyY);
}
