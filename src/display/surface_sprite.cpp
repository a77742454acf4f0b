// The memory canvases; see surface_sprite.h.
#include "display/surface_sprite.h"

#include "raster/surface_convert.h"

RECT* CSurfaceSprite::GetBounds(RECT* out) const
{
    *out = m_image.ClipRect();
    return out;
}

int CSurfaceSprite::SetColorKeyRgb(BYTE r, BYTE g, BYTE b)
{
    const int result = m_image.SetColorKeyRgb(r, g, b);
    m_colorKey = m_image.GetColorKey();
    return result;
}

int CSurfaceSprite::SetColorKeyAt(LONG x, LONG y)
{
    const int result = m_image.SetColorKeyAt(x, y);
    m_colorKey = m_image.GetColorKey();
    return result;
}

int CSurfaceSprite::ClearColorKey()
{
    const int result = m_image.ClearColorKey();
    m_colorKey = m_image.GetColorKey();
    return result;
}

void CSurfaceSprite::SyncSurfaceFields()
{
    m_width = m_image.GetWidth();
    m_height = m_image.GetHeight();
    m_pitch = m_image.GetPitch();
    m_bitsPerPixel = m_image.GetBitsPerPixel();
    m_colorKey = m_image.GetColorKey();
    m_clip = m_image.ClipRect();
}

int CSurfaceSprite::Create(LONG width, LONG height, int bitsPerPixel, int sceneMode)
{
    Release();
    if (m_image.Create(width, height, bitsPerPixel, ImageFlags()) != 0) {
        SyncSurfaceFields();
        return 1;
    }
    const int result = CreateScene(sceneMode, HasOverlay(), (ImageFlags() & kImageWithTracker) != 0, 2, 3);
    SyncSurfaceFields();
    return result;
}

int CSurfaceSprite::SetDepth(int bitsPerPixel)
{
    if (!m_image.GetBits())
        return 1;
    if (m_image.Create(m_image.GetWidth(), m_image.GetHeight(), bitsPerPixel, ImageFlags()) != 0) {
        Release();
        SyncSurfaceFields();
        return 2;
    }
    if (m_scene) {
        // The scene's target pixels were made again.
        m_scene->SetTarget(&m_image, true);
        SetSceneActive(m_sceneActive != 0);
    }
    SyncSurfaceFields();
    return 0;
}

int CSurfaceSprite::Present(HWND window, HDC dc, IDirectDrawSurface7* surface, uint32_t pixelFormat,
                            bool incremental)
{
    if (m_filter) {
        DrawFilterFrame(window, dc, surface, pixelFormat);
        return 0;
    }
    if (m_sceneActive && m_scene) {
        if (!incremental)
            m_scene->InvalidateAll();
        if (surface)
            return m_scene->RedrawToSurface(surface, pixelFormat, 0, 0);
        return m_scene->RedrawToDC(window, dc, nullptr, 0, 0);
    }
    const RECT whole{0, 0, m_image.GetWidth(), m_image.GetHeight()};
    CUpdateRegion* tracker = m_image.GetUpdateRegion();
    if (incremental && (!m_image.IsChanged() || !tracker))
        return -1;
    if (!surface) {
        // An image without a device context has nothing to copy from: it used to answer 0.
        HDC from = m_image.GetDc();
        if (!from)
            return 1;
        HDC to = window ? GetDC(window) : dc;
        if (!to)
            return 1;
        if (incremental) {
            if (g_bMergeUpdateRects)
                tracker->Optimize();
            for (RectNode* node = tracker->Head(); node; node = node->next == tracker->Head() ? nullptr : node->next) {
                const RECT& r = node->rect;
                BitBlt(to, r.left, r.top, r.right - r.left, r.bottom - r.top, from, r.left, r.top, SRCCOPY);
            }
        } else {
            BitBlt(to, 0, 0, whole.right, whole.bottom, from, 0, 0, SRCCOPY);
        }
        if (window)
            ReleaseDC(window, to);
    } else if (incremental) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = DDSURFACEDESC2_SIZE32;
        if (FAILED(surface->Lock(nullptr, &desc, 0, nullptr)))
            return 2;
        if (g_bMergeUpdateRects)
            tracker->Optimize();
        for (RectNode* node = tracker->Head(); node; node = node->next == tracker->Head() ? nullptr : node->next)
            CopyImageToSurface(surface, pixelFormat, &whole, &m_image, node->rect.left, node->rect.top, &node->rect,
                               &desc);
        surface->Unlock(nullptr);
    } else {
        return CopyImageToSurface(surface, pixelFormat, &whole, &m_image, 0, 0, nullptr, nullptr) == 2 ? 2 : 0;
    }
    if (incremental) {
        tracker->Reset();
        m_image.SetChanged(false);
    }
    return 0;
}

bool CSurfaceSprite10::SetSceneActive(bool active)
{
    const bool previous = m_sceneActive != 0;
    m_sceneActive = active ? 1 : 0;
    return previous;
}

void CSurfaceSprite10::InvalidateRect(const RECT* rect)
{
    if (m_sceneActive && m_scene)
        m_scene->InvalidateRect(rect);
}
