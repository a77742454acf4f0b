// The canvas base; see image_object.h.
#include "display/image_object.h"

#include "platform/timer_resolution.h"
#include "raster/surface_convert.h"
#include "winapi/kernel.h"

#include <algorithm>
#include <new>

void (*g_pfnLowerThreadPriority)() = nullptr;
void (*g_pfnRestoreThreadPriority)() = nullptr;

CImageObject::~CImageObject()
{
    Release();
}

void CImageObject::Release()
{
    DetachFilter(false);
    delete m_scene;
    m_scene = nullptr;
    delete m_overlay;
    m_overlay = nullptr;
    ReleaseFilterImage();
    m_backCanvas = nullptr;
}

bool CImageObject::SetSceneActive(bool active)
{
    const bool previous = m_sceneActive != 0;
    m_sceneActive = active ? 1 : 0;
    m_image.SetTrackerActive(!active);
    return previous;
}

void CImageObject::InvalidateRect(const RECT* rect)
{
    if (m_sceneActive && m_scene) {
        m_scene->InvalidateRect(rect);
        return;
    }
    if (CUpdateRegion* tracker = m_image.GetUpdateRegion()) {
        const RECT whole{0, 0, m_image.GetWidth(), m_image.GetHeight()};
        tracker->AddRect(rect ? *rect : whole);
    }
    m_image.SetChanged(true);
}

void CImageObject::SetSceneNoBackground(uint8_t value)
{
    if (m_scene)
        m_scene->SetNoBackground(value != 0);
}

void CImageObject::SetSceneListsHidden(uint8_t hideOwn, uint8_t hideOverlay)
{
    if (!m_scene)
        return;
    m_scene->SetHideList(hideOwn != 0);
    m_scene->SetHideOverlay(hideOverlay != 0);
}

void CImageObject::SwapScenes(CImageObject* other)
{
    if (!m_scene || !other || !other->m_scene)
        return;
    CScene* mine = m_scene;
    CScene* theirs = other->m_scene;
    // Each canvas keeps its overlay list: both leave their scenes first, then join the scene
    // that comes to their canvas.
    mine->SetOverlay(nullptr);
    theirs->SetOverlay(nullptr);
    m_scene = theirs;
    other->m_scene = mine;
    m_scene->SetOverlay(m_overlay);
    other->m_scene->SetOverlay(other->m_overlay);
    m_scene->SetTarget(&m_image, true);
    other->m_scene->SetTarget(&other->m_image, true);
    if (m_onSceneSwap)
        m_onSceneSwap(m_onSceneSwapContext);
    if (other != this && other->m_onSceneSwap)
        other->m_onSceneSwap(other->m_onSceneSwapContext);
}

void CImageObject::SwapBackgrounds(CImageObject* other)
{
    if (m_scene && other && other->m_scene)
        m_scene->SwapBackground(other->m_scene, true);
}

void CImageObject::ReleaseFilterImage()
{
    delete m_filterImage;
    m_filterImage = nullptr;
}

HDC CImageObject::GetDrawDC() const
{
    if (HasFilter() && m_filterImage)
        return m_filterImage->GetDc();
    return m_image.GetDc();
}

int CImageObject::SetBackCanvas(CImageObject* other)
{
    if (!other) {
        m_backCanvas = nullptr;
        return 0;
    }
    const CImage* image = other->GetImage();
    if (!image || image->GetWidth() != m_image.GetWidth() || image->GetHeight() != m_image.GetHeight() ||
        image->GetBitsPerPixel() != GetBitsPerPixel())
        return 1;
    m_backCanvas = other;
    return 0;
}

int CImageObject::AttachFilter(CScreenFilter* filter, uint8_t mode, uint8_t applyOnEnd, uint8_t lowerPriority)
{
    if (!m_scene)
        return 1;
    if (m_filter)
        DetachFilter(m_applyOnEnd != 0);
    if (!filter)
        return 0;
    if (!m_backCanvas)
        return 2;
    if (mode != kFilterModeImage) {
        const uint8_t kind = filter->GetObjectType();
        CScene* backScene = m_backCanvas->GetScene();
        CSurface* background = nullptr;
        m_scene->GetBackground(&background, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (kind <= 1) {
            if (!backScene)
                return 3;
            CSurface* backBackground = nullptr;
            backScene->GetBackground(&backBackground, nullptr, nullptr, nullptr, nullptr, nullptr);
            if (mode == kFilterModeBackground && (!background || !backBackground))
                return 4;
        } else if (mode == kFilterModeBackground && !background) {
            return 4;
        }
        if (mode == kFilterModeScene && m_overlay && m_overlay->Head())
            m_scene->InvalidateAll();
    }
    if (!m_filterImage) {
        m_filterImage = new (std::nothrow) CImage();
        if (!m_filterImage || m_filterImage->Create(m_image.GetWidth(), m_image.GetHeight(), GetBitsPerPixel(),
                                                    kImageWithDc) != 0)
            return 3;
    }
    if (lowerPriority && g_pfnLowerThreadPriority)
        g_pfnLowerThreadPriority();
    m_filterMode = mode;
    m_applyOnEnd = applyOnEnd;
    m_lowerPriority = lowerPriority;
    m_filter = filter;
    return 0;
}

void CImageObject::DetachFilter(bool apply)
{
    if (!m_filter)
        return;
    CScreenFilter* filter = m_filter;
    m_filter = nullptr;
    filter->Release(); // deleted when this was its last holder
    if (m_lowerPriority && g_pfnRestoreThreadPriority)
        g_pfnRestoreThreadPriority();
    if (apply && m_backCanvas) {
        if (m_filterMode == kFilterModeScene)
            SwapScenes(m_backCanvas);
        else if (m_filterMode == kFilterModeBackground)
            SwapBackgrounds(m_backCanvas);
    }
    if (m_filterMode != kFilterModeImage)
        InvalidateWhole();
}

void CImageObject::InvalidateWhole()
{
    const RECT whole{0, 0, m_image.GetWidth(), m_image.GetHeight()};
    if (m_scene) {
        m_scene->InvalidateRect(nullptr);
        if (m_sceneActive)
            return;
    }
    if (CUpdateRegion* tracker = m_image.GetUpdateRegion())
        tracker->AddRect(whole);
    m_image.SetChanged(true);
}

int CImageObject::Present(HWND, HDC, IDirectDrawSurface7*, uint32_t, bool)
{
    return 1;
}

int CImageObject::CreateScene(int sceneMode, bool withOverlay, bool withTracker, int sceneCode, int targetCode)
{
    if (sceneMode != 0) {
        m_scene = new (std::nothrow) CScene();
        if (!m_scene) {
            Release();
            return sceneCode;
        }
        if (m_scene->SetTarget(&m_image, true) != 0) {
            Release();
            return targetCode;
        }
        if (sceneMode == 2 && withOverlay) {
            m_overlay = new (std::nothrow) CDrawList();
            if (!m_overlay) {
                Release();
                return sceneCode;
            }
            m_scene->SetOverlay(m_overlay);
        }
        m_sceneActive = 1;
        if (withTracker)
            m_image.SetTrackerActive(false);
    }
    return 0;
}

void CImageObject::DrawOverResult(const RECT& band)
{
    if (!m_sceneActive || !m_scene)
        return;
    auto drawList = [&](const CDrawList* list) {
        for (DrawNode* node = list ? list->Tail() : nullptr; node; node = node->prev) {
            CDrawable* drawable = node->drawable;
            if (drawable->IsVisible() && drawable->GetAlpha() != 0)
                drawable->DrawRegion(m_filterImage, band);
        }
    };
    if (m_filterMode == kFilterModeBackground && !m_scene->IsListHidden())
        drawList(&m_scene->GetList());
    if (!m_scene->IsOverlayHidden())
        drawList(m_scene->GetOverlay());
}

int CImageObject::DrawFilterFrame(HWND window, HDC dc, IDirectDrawSurface7* surface, uint32_t pixelFormat)
{
    const DWORD now = g_UseTimeGetTime ? timeGetTime() : GetTickCount();
    if (const int stepped = m_filter->Step(now); stepped != 0) {
        DetachFilter(m_applyOnEnd != 0);
        return stepped;
    }
    const uint8_t kind = m_filter->GetObjectType();
    const bool twoSources = kind <= 1;
    CScene* backScene = m_backCanvas ? m_backCanvas->GetScene() : nullptr;
    CImage* first = &m_image;
    CImage* second = nullptr;
    const bool active = m_sceneActive && m_scene;
    switch (m_filterMode) {
    case kFilterModeImage:
        second = twoSources && m_backCanvas ? m_backCanvas->GetImage() : nullptr;
        break;
    case kFilterModeScene:
        if (active) {
            // Each scene composes without its overlay; the overlay comes over the result.
            auto redraw = [](CScene* scene) {
                CDrawList* overlay = scene->GetOverlay();
                scene->SetOverlay(nullptr);
                scene->Redraw(nullptr, nullptr, 0, 0);
                scene->SetOverlay(overlay);
            };
            if (twoSources && backScene)
                redraw(backScene);
            redraw(m_scene);
        }
        second = twoSources && backScene ? backScene->GetTarget() : nullptr;
        break;
    default: {
        CSurface* background = nullptr;
        if (m_scene)
            m_scene->GetBackground(&background, nullptr, nullptr, nullptr, nullptr, nullptr);
        first = dynamic_cast<CImage*>(background);
        if (twoSources && backScene) {
            CSurface* backBackground = nullptr;
            backScene->GetBackground(&backBackground, nullptr, nullptr, nullptr, nullptr, nullptr);
            second = dynamic_cast<CImage*>(backBackground);
        }
        break;
    }
    }
    // Sources are read at the canvas's rows: one of another size or depth (a back canvas or a
    // background changed since) is not handed to the filter, nor a background that is no image.
    auto fits = [&](const CImage* image) {
        return image && image->GetWidth() == m_image.GetWidth() && image->GetHeight() == m_image.GetHeight() &&
               image->GetBitsPerPixel() == m_image.GetBitsPerPixel();
    };
    if (!fits(first))
        first = &m_image;
    if (!fits(second))
        second = nullptr;
    if (!fits(m_filterImage)) {
        if (!m_filterImage || m_filterImage->Create(m_image.GetWidth(), m_image.GetHeight(), GetBitsPerPixel(),
                                                    kImageWithDc) != 0)
            return 1;
    }

    // Open the target.
    HDC to = nullptr;
    DDSURFACEDESC2 desc{};
    if (!surface) {
        to = window ? GetDC(window) : dc;
        if (!to)
            return 1;
    } else {
        desc.dwSize = DDSURFACEDESC2_SIZE32;
        if (FAILED(surface->Lock(nullptr, &desc, 0, nullptr)))
            return 1;
        if (m_image.GetBitsPerPixel() == 8) {
            if (!m_image.GetPalette() && m_image.SetPaletteEntries(nullptr, 256, 0) != 0) {
                surface->Unlock(nullptr);
                return 2;
            }
            // The band converter reads the canvas image's palette.
            m_filterImage->CopyPalette(&m_image);
        }
    }

    const LONG width = m_image.GetWidth();
    const LONG height = m_image.GetHeight();
    const bool banded = (kind & 1) == 0 && g_bBandedRedraw;
    const LONG step = banded ? CScene::BandHeight(width) : height;
    for (LONG y = 0; y < height; y += step) {
        const LONG bandHeight = std::min(step, height - y);
        const FilterJob job{0, y, width, bandHeight, m_filterImage, 0, y, first, 0, y, second, 0, y};
        m_filter->Draw(job);
        const RECT band{0, y, width, y + bandHeight};
        DrawOverResult(band);
        if (to)
            BitBlt(to, 0, y, width, bandHeight, m_filterImage->GetDc(), 0, y, SRCCOPY);
        else
            CopyImageToSurface(nullptr, pixelFormat, nullptr, m_filterImage, 0, y, &band, &desc);
    }

    if (surface)
        surface->Unlock(nullptr);
    else if (window)
        ReleaseDC(window, to);
    const int done = m_filter ? m_filter->IsDone() : 0;
    if (done != 0)
        DetachFilter(m_applyOnEnd != 0);
    return done;
}
