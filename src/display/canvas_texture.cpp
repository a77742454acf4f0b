// The canvas texture; see canvas_texture.h.
#include "display/canvas_texture.h"

#include "display/canvas_surface.h"
#include "display/file_image_surface.h"
#include "drawing/scene.h"
#include "raster/device_blit.h"
#include "winapi/picture_limit.h"

#include <cstring>

CCanvasTexture::CCanvasTexture(CD3DDevice* device)
{
    if (device != nullptr)
        g_pRenderDevice = device;
    ReleaseAll();
}

CCanvasTexture::~CCanvasTexture()
{
    if (g_pRenderDevice != nullptr)
        g_pRenderDevice->ForgetTexture(this);
}

uint32_t CCanvasTexture::ImageFlags() const
{
    // The alpha formats never copy through GDI.
    return kImageWithTracker | (g_bCanvasImageDC && m_requested <= 32 ? static_cast<uint32_t>(kImageWithDc) : 0u);
}

void CCanvasTexture::ReleaseAll()
{
    CImageObject::Release();
    if (g_pRenderDevice != nullptr)
        g_pRenderDevice->ForgetTexture(this);
    CDDImage::Release();
}

int CCanvasTexture::CreateTexture(uint32_t pixelFormat, LONG width, LONG height, bool systemMemory)
{
    if (g_pRenderDevice != nullptr)
        g_pRenderDevice->ForgetTexture(this);
    CDDImage::Release();
    CD3DDevice* device = g_pRenderDevice;
    if (device == nullptr)
        return 1;
    const DDPIXELFORMAT* found = device->GetTextureFormat(pixelFormat);
    if (found == nullptr)
        return 2;
    const DDPIXELFORMAT format = *found;
    LONG tw = 0, th = 0;
    bool tooLarge = false;
    CFileImageSurface::FitTexture(width, height, device->GetTextureCaps(), device->GetMinTextureWidth(),
                                  device->GetMinTextureHeight(), device->GetMaxTextureWidth(),
                                  device->GetMaxTextureHeight(), &tw, &th, &tooLarge);
    if (tooLarge || tw > kMaxPictureSide || th > kMaxPictureSide)
        return 3;
    if (CDDImage::Create(tw, th, systemMemory, true, &format) != 0)
        return 4;
    m_requested = pixelFormat;
    m_keptSystemMemory = systemMemory;
    return 0;
}

int CCanvasTexture::Create(uint32_t pixelFormat, LONG width, LONG height, int bitsPerPixel, int sceneMode,
                           bool systemMemory)
{
    if (g_pRenderDevice == nullptr)
        return 1;
    ReleaseAll();
    if (CreateTexture(pixelFormat, width, height, systemMemory) != 0) {
        ReleaseAll();
        return 2;
    }
    if (m_image.Create(width, height, bitsPerPixel, ImageFlags()) != 0) {
        ReleaseAll();
        return 3;
    }
    if (const int code = CreateScene(sceneMode, true, true, 4, 5); code != 0) {
        ReleaseAll();
        return code;
    }
    FillSurfaceRect(m_surface, nullptr, 0, 0, 0, nullptr, 0);
    return 0;
}

int CCanvasTexture::SetDepth(int bitsPerPixel)
{
    if (m_surface == nullptr)
        return 1;
    if (m_image.Create(m_image.GetWidth(), m_image.GetHeight(), bitsPerPixel, ImageFlags()) != 0) {
        ReleaseAll();
        return 2;
    }
    if (m_scene != nullptr) {
        // The scene's target pixels were made again.
        m_scene->SetTarget(&m_image, true);
        SetSceneActive(m_sceneActive != 0);
    }
    return 0;
}

double CCanvasTexture::GetTexU(LONG x) const
{
    const LONG w = m_image.GetWidth();
    if (m_surface == nullptr || m_width <= 0)
        return 0;
    if (w > m_width)
        return (static_cast<double>(m_width) * x / w + 0.5) / m_width;
    return (x + 0.5) / m_width;
}

double CCanvasTexture::GetTexV(LONG y) const
{
    const LONG h = m_image.GetHeight();
    if (m_surface == nullptr || m_height <= 0)
        return 0;
    if (h > m_height)
        return (static_cast<double>(m_height) * y / h + 0.5) / m_height;
    return (y + 0.5) / m_height;
}

int CCanvasTexture::Update(bool incremental)
{
    if (m_surface == nullptr)
        return 1;
    const uint32_t format = CDDImage::GetPixelFormatCode();
    if (m_filter != nullptr) {
        DrawFilterFrame(nullptr, nullptr, m_surface, format);
        return 0;
    }
    if (m_sceneActive && m_scene != nullptr) {
        if (!incremental)
            m_scene->InvalidateAll();
        const int r = m_image.GetDc() != nullptr ? m_scene->RedrawToDC(nullptr, nullptr, m_surface, 0, 0)
                                                 : m_scene->RedrawToSurface(m_surface, format, 0, 0);
        return r != 0 ? r + 1 : 0;
    }
    return m_image.GetDc() != nullptr ? CopyByGdi(incremental) : CopyByLock(incremental);
}

int CCanvasTexture::CopyByGdi(bool incremental)
{
    if (m_surface == nullptr)
        return 1;
    CUpdateRegion* tracker = m_image.GetUpdateRegion();
    HDC from = m_image.GetDc();
    if (from == nullptr || (incremental && (!m_image.IsChanged() || tracker == nullptr)))
        return -1;
    HDC dc = nullptr;
    if (m_surface->GetDC(&dc) != DD_OK)
        return 2;
    if (incremental) {
        if (g_bMergeUpdateRects)
            tracker->Optimize();
        for (RectNode* node = tracker->Head(); node; node = node->next == tracker->Head() ? nullptr : node->next) {
            const RECT& r = node->rect;
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, from, r.left, r.top, SRCCOPY);
        }
        tracker->Reset();
        m_image.SetChanged(false);
    } else {
        BitBlt(dc, 0, 0, m_image.GetWidth(), m_image.GetHeight(), from, 0, 0, SRCCOPY);
    }
    return m_surface->ReleaseDC(dc) != DD_OK ? 3 : 0;
}

int CCanvasTexture::CopyByLock(bool incremental)
{
    if (m_surface == nullptr)
        return 1;
    if (!incremental)
        return CopyImageToSurface(&m_image, 0, 0, nullptr, nullptr) == 2 ? 2 : 0;
    CUpdateRegion* tracker = m_image.GetUpdateRegion();
    if (!m_image.IsChanged() || tracker == nullptr)
        return -1;
    DDSURFACEDESC2 locked;
    std::memset(&locked, 0, sizeof(locked));
    locked.dwSize = sizeof(locked);
    if (m_surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK)
        return 2;
    if (g_bMergeUpdateRects)
        tracker->Optimize();
    for (RectNode* node = tracker->Head(); node; node = node->next == tracker->Head() ? nullptr : node->next)
        CopyImageToSurface(&m_image, node->rect.left, node->rect.top, &node->rect, &locked);
    tracker->Reset();
    m_image.SetChanged(false);
    m_surface->Unlock(nullptr);
    return 0;
}

int CCanvasTexture::SetColorKeyAt(LONG x, LONG y)
{
    if (m_surface == nullptr)
        return 1;
    // The point is checked apart from the value: an opaque white 32-bit pixel reads as -1.
    if (x < 0 || y < 0 || x >= m_image.GetWidth() || y >= m_image.GetHeight() || m_image.IsEmpty())
        return 1;
    const auto p = static_cast<DWORD>(m_image.GetPixel(x, y));
    DWORD rgb = p;
    if (m_image.GetBitsPerPixel() == 8) {
        const uint32_t* palette = m_image.GetPalette();
        if (palette == nullptr)
            return 1;
        rgb = palette[p & 0xFF];
    }
    const int code = SetColorKeyRgb(static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb));
    if (code == 0) {
        m_keyX = x;
        m_keyY = y;
    }
    return code;
}

int CCanvasTexture::ClearColorKey()
{
    return CDDImage::ClearColorKey();
}

int CCanvasTexture::Restore(bool onlyIfLost)
{
    if (m_surface == nullptr)
        return 0;
    bool lost = true;
    if (onlyIfLost)
        lost = m_surface->IsLost() != DD_OK;
    if (!lost)
        return 0;
    const DWORD key = m_colorKey;
    const LONG keyX = m_keyX;
    const LONG keyY = m_keyY;
    if (CreateTexture(m_requested, m_width, m_height, m_keptSystemMemory) != 0)
        return 1;
    if (Update(false) != 0)
        return 2;
    if (key != kNoColorKey) {
        if (SetColorKeyRgb(static_cast<BYTE>(key >> 16), static_cast<BYTE>(key >> 8), static_cast<BYTE>(key)) != 0)
            return 3;
        m_keyX = keyX;
        m_keyY = keyY;
    } else if (keyX >= 0 && SetColorKeyAt(keyX, keyY) != 0) {
        return 4;
    }
    return 0;
}
