// The canvas shown from a DirectDraw surface; see canvas_surface.h.
#include "display/canvas_surface.h"

#include "display/device_surface_create.h"
#include "drawing/scene.h"
#include "raster/device_blit.h"

uint8_t g_bCanvasImageDC = 0;

CCanvasSurface::CCanvasSurface(CDisplayDevice* device)
{
    if (device) {
        g_pSurfaceDisplayDevice = device;
    }
    m_device = g_pSurfaceDisplayDevice;
}

CCanvasSurface::~CCanvasSurface() { ReleaseSurface(); }

void CCanvasSurface::ReleaseSurface()
{
    if (m_surface) {
        m_surface->Release();
        m_surface = nullptr;
    }
    m_format = 0;
    m_deviceKey = kNoColorKey;
}

void CCanvasSurface::ReleaseAll()
{
    Release();
    SyncSurfaceFields();
    ReleaseSurface();
}

int CCanvasSurface::CreateSurface(LONG width, LONG height)
{
    ReleaseSurface();
    if (!m_device || !m_device->DirectDraw()) {
        return 1;
    }
    IDirectDrawSurface7* surface = nullptr;
    DDSURFACEDESC2 made;
    if (CreateDeviceSurface(m_device, width, height, false, false, nullptr, &surface, &made) != 0) {
        return 2;
    }
    m_surface = surface;
    m_format = OpaqueFormat(::GetPixelFormatCode(nullptr, nullptr, &made.ddpfPixelFormat));
    return 0;
}

int CCanvasSurface::Create(LONG width, LONG height, int bitsPerPixel, int sceneMode)
{
    if (!m_device) {
        return 1;
    }
    ReleaseAll();
    if (CreateSurface(width, height) != 0) {
        return 2;
    }
    // The memory canvas's codes: 1 image, 2 allocation, 3 the scene's target.
    if (const int code = CSurfaceSprite::Create(width, height, bitsPerPixel, sceneMode); code != 0) {
        ReleaseAll();
        return code + 2;
    }
    m_image.CDibSurface::FillRect(0, 0, 0, nullptr, nullptr);
    FillSurfaceRect(m_surface, nullptr, 0, 0, 0, nullptr, 0);
    return 0;
}

int CCanvasSurface::SetDepth(int bitsPerPixel)
{
    if (!m_surface) {
        return 1;
    }
    if (CSurfaceSprite::SetDepth(bitsPerPixel) != 0) {
        ReleaseAll();
        return 2;
    }
    return 0;
}

int CCanvasSurface::Update(bool incremental)
{
    if (!m_surface) {
        return 1;
    }
    if (m_filter) {
        DrawFilterFrame(nullptr, nullptr, m_surface, m_format);
        return 0;
    }
    if (m_sceneActive && m_scene) {
        if (!incremental) {
            m_scene->InvalidateAll();
        }
        const int r = m_image.GetDc() ? m_scene->RedrawToDC(nullptr, nullptr, m_surface, 0, 0)
                                      : m_scene->RedrawToSurface(m_surface, m_format, 0, 0);
        return r != 0 ? r + 1 : 0;
    }
    return m_image.GetDc() ? CopyByGdi(incremental) : CopyByLock(incremental);
}

int CCanvasSurface::CopyByGdi(bool incremental)
{
    if (!m_surface) {
        return 1;
    }
    if (incremental && (!m_image.IsChanged() || !m_image.GetUpdateRegion())) {
        return -1;
    }
    HDC dc = nullptr;
    if (m_surface->GetDC(&dc) != DD_OK) {
        return 2;
    }
    // The memory canvas's copy into a DC: the tracked rectangles (tracker emptied) or the whole.
    CSurfaceSprite::Present(nullptr, dc, nullptr, 0, incremental);
    return m_surface->ReleaseDC(dc) != DD_OK ? 3 : 0;
}

int CCanvasSurface::CopyByLock(bool incremental)
{
    if (!m_surface) {
        return 1;
    }
    // The memory canvas's copy into a locked surface; without filter or active scene that is the
    // plain copy (-1 when nothing changed, 2 when the lock failed).
    return CSurfaceSprite::Present(nullptr, nullptr, m_surface, m_format, incremental);
}

int CCanvasSurface::SetColorKeyRgb(BYTE r, BYTE g, BYTE b)
{
    if (!m_surface) {
        return 1;
    }
    m_deviceKey = kNoColorKey;
    CPixelFormatDesc desc;
    if (::GetPixelFormatCode(m_surface, &desc, nullptr) == 0) {
        return 2;
    }
    const DWORD key = PackColorKey(desc, r, g, b);
    DDCOLORKEY ck{key, key};
    if (m_surface->SetColorKey(DDCKEY_SRCBLT, &ck) != DD_OK) {
        return 3;
    }
    m_deviceKey = key;
    return 0;
}

int CCanvasSurface::SetColorKeyAt(LONG x, LONG y)
{
    if (!m_surface) {
        return 1;
    }
    m_deviceKey = kNoColorKey;
    // The point is checked apart from the value: an opaque white 32-bit pixel reads as -1.
    if (x < 0 || y < 0 || x >= m_image.GetWidth() || y >= m_image.GetHeight() || m_image.IsEmpty()) {
        return 1;
    }
    const auto p = static_cast<DWORD>(m_image.GetPixel(x, y));
    if (m_image.GetBitsPerPixel() == 8) {
        const uint32_t* palette = m_image.GetPalette();
        if (!palette) {
            return 1;
        }
        const uint32_t c = palette[p & 0xFF];
        return SetColorKeyRgb(static_cast<BYTE>(c >> 16), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c));
    }
    return SetColorKeyRgb(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p));
}

int CCanvasSurface::ClearColorKey()
{
    return RemoveSourceKey(m_surface, &m_deviceKey);
}

int CCanvasSurface::Restore(bool onlyIfLost)
{
    if (!SurfaceNeedsRebuild(m_surface, onlyIfLost)) {
        return 0;
    }
    const DWORD key = m_deviceKey;
    if (CreateSurface(m_image.GetWidth(), m_image.GetHeight()) != 0) {
        return 1;
    }
    if (Update(false) != 0) {
        return 2;
    }
    if (key != kNoColorKey) {
        // Same format as before (a changed display format fails the restore above).
        DDCOLORKEY ck{key, key};
        if (m_surface->SetColorKey(DDCKEY_SRCBLT, &ck) != DD_OK) {
            return 3;
        }
        m_deviceKey = key;
    }
    return 0;
}
