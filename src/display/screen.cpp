// The screen's presentation (pure GDI window); see screen.h.
#include "display/screen.h"

#include "raster/update_region.h"
#include "winapi/gdi.h"

#include <algorithm>

CScreen* g_pDisplay = nullptr;

CScreen::CScreen()
{
    g_pSurfaceDisplayDevice = this;
    g_pRenderDevice = this;
    g_pDisplayReportSource = this;
}

CScreen::~CScreen()
{
    if (g_pSurfaceDisplayDevice == this) {
        g_pSurfaceDisplayDevice = nullptr;
    }
    if (g_pRenderDevice == this)
        g_pRenderDevice = nullptr;
    if (g_pDisplayReportSource == this)
        g_pDisplayReportSource = nullptr;
    ReleaseSurfaces();
    DeleteAllObjects();
    DeleteAllFonts();
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
    if (m_output.right < 1 || m_output.bottom < 1)
        return 1;
    ReleaseSurfaces();
    ReleaseDevice();
    m_window = window;
    m_zBuffer = zBuffer ? 1 : 0;
    m_tripleBuffering = tripleBuffering;
    m_scaled.active = false;
    // A new display shows the whole frame image again.
    if (m_frameImage)
        m_frameImage->InvalidateRect(nullptr);
    auto pureGdi = [&]() {
        HDC screen = GetDC(nullptr);
        m_colorDepth = static_cast<uint8_t>(GetDeviceCaps(screen, BITSPIXEL));
        ReleaseDC(nullptr, screen);
        m_pixelFormat = 0;
        return 0;
    };
    if (windowed) {
        m_mode = kDisplayWindow;
        CDisplayDevice::Release();
        if (!m_exclusive)
            RestoreDisplaySettings();
        if (m_frameImage && !(m_texturePathInWindow && m_presentPathRequest))
            return pureGdi();
        if (CDisplayDevice::Create(false, m_wantD3DForTests, nullptr, nullptr, 0, false, 0, 0, false, true, false) != 0)
            return 1;
        if (FAILED(DirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL)))
            return 2;
        m_cooperativeLevel = 2;
        const int code = CreateDisplaySurfaces(false, m_frameImage != nullptr && WantsTexturePath());
        if (code == kTexturePathDropped) {
            // The texture path could not be had: the frame image goes straight into the window.
            CDisplayDevice::Release();
            return pureGdi();
        }
        return code;
    } else {
        m_mode = kDisplayNone;
        const CDisplayDeviceRecord* record = m_selectedDevice >= 0 ? &m_displayDevices[static_cast<size_t>(m_selectedDevice)]
                                                                    : nullptr;
        const GUID* driver = record != nullptr && record->driverHasGuid ? &record->driverGuid : nullptr;
        if (CDisplayDevice::Create(false, m_wantD3DForTests, driver, record != nullptr ? &record->hardwareDevice : nullptr,
                   record != nullptr ? record->renderDepths : 0, record != nullptr && record->hardware3D, 0, 0, false,
                   true, false) != 0)
            return 1;
        LONG width = m_output.right, height = m_output.bottom;
        if (m_scaledConfigured) {
            width = m_scaled.targetWidth;
            height = m_scaled.targetHeight;
            m_scaled.active = true;
        } else if (m_fullScreenMode && record != nullptr) {
            width = static_cast<LONG>(record->fullScreenWidth);
            height = static_cast<LONG>(record->fullScreenHeight);
        }
        if (m_fullScreenMode) {
            if (m_exclusive) {
                if (SetFullScreenMode(window, static_cast<DWORD>(width), static_cast<DWORD>(height), m_chosenDepth,
                                      m_try60) != 0)
                    return 2;
            } else {
                if (ChangeDisplaySettings(static_cast<DWORD>(width), static_cast<DWORD>(height),
                                          record != nullptr ? record->deviceName.c_str() : nullptr) != 0 ||
                    FAILED(DirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL)))
                    return 2;
                m_cooperativeLevel = 2;
            }
        } else {
            if (FAILED(DirectDraw()->SetCooperativeLevel(nullptr, DDSCL_NORMAL)))
                return 2;
            m_cooperativeLevel = 2;
        }
        m_mode = kDisplayFullScreen;
        if (m_frameImage && !m_scaledConfigured) {
            m_pixelFormat = 0;
            return 0;
        }
        return CreateDisplaySurfaces(true, m_frameImage != nullptr && WantsTexturePath());
    }
}

int CScreen::RenderFrameImage()
{
    if (!m_frameImage)
        return Present();
    CScopedLock lock(m_lock);
    if (!m_backBuffer) {
        const int drawn = m_frameImage->Present(m_window, nullptr, nullptr, 0, true);
        // A window DC that could not be had lost the frame: it used to answer 0 like "nothing changed".
        return drawn == 1 ? 2 : 0;
    }
    const int drawn = DrawFrameImageToBackBuffer(true);
    if (drawn == 2 && (m_drawThroughBackBuffer || m_texture))
        return m_texture ? 1 : 2;
    if (drawn != 0)
        return 0;
    if (m_device) {
        const HRESULT quad = DrawTextureQuad();
        if (quad == DDERR_SURFACELOST || quad == DDERR_WRONGMODE) {
            m_texture->Restore();
            m_backBuffer->Restore();
            m_frameImage->InvalidateRect(nullptr);
            return 0;
        }
        if (FAILED(quad))
            return 3;
    }
    // A driver without hardware has no primary: the back buffer goes to the window by GDI.
    if (!m_primary) {
        const int shown = Present();
        if (shown == 2) {
            m_backBuffer->Restore();
            m_frameImage->InvalidateRect(nullptr);
        }
        return shown == 1 ? 4 : 0;
    }
    const HRESULT result = BlitToPrimary(DDBLT_ASYNC, m_waitMode != 0);
    if (result == DDERR_SURFACELOST || result == DDERR_WRONGMODE) {
        m_primary->Restore();
        m_backBuffer->Restore();
        m_frameImage->InvalidateRect(nullptr);
        return 0;
    }
    return FAILED(result) ? 4 : 0;
}

HRESULT CScreen::PaintToDC(HDC dc, const RECT* rect)
{
    RECT area = m_output;
    if (rect && !IntersectRects(&area, *rect, m_output))
        return 0;
    CScopedLock lock(m_lock);
    if (!m_backBuffer) {
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
    if (HasNoHardware()) {
        HDC from = nullptr;
        if (const HRESULT result = m_backBuffer->GetDC(&from); FAILED(result))
            return result;
        BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, from, area.left, area.top,
               SRCCOPY);
        m_backBuffer->ReleaseDC(from);
        return 0;
    }
    if (!m_primary)
        return E_FAIL;
    return BlitToPrimary(DDBLT_WAIT, false);
}
