// The screen's DirectDraw side: the display surfaces for each mode, presenting the back buffer
// (blit, flip or GDI), restoring after a loss, and handing the screen to GDI for dialogs.
#include "display/screen.h"
#include "raster/device_blit.h"
#include "raster/dib_convert.h"
#include "raster/update_region.h"
#include "winapi/d3d.h"

#include <algorithm>
#include <cstring>
#include "winapi/user.h"

namespace {

void ReleaseInto(IDirectDrawSurface7** surface)
{
    if (*surface != nullptr) {
        (*surface)->Release();
        *surface = nullptr;
    }
}

void Shift(RECT* r, LONG dx, LONG dy)
{
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
}

} // namespace

POINT CScreen::ClientOnPrimary() const
{
    // The default driver's primary spans the desktop; a display's driver spans that display.
    POINT origin{0, 0};
    ClientToScreen(m_window, &origin);
    POINT corner{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN)};
    if (m_mode == kDisplayFullScreen && m_selectedDevice >= 0) {
        const CDisplayDeviceRecord& record = m_displayDevices[static_cast<size_t>(m_selectedDevice)];
        if (record.driverHasGuid) {
            MONITORINFO info{};
            info.cbSize = sizeof info;
            if (GetMonitorInfoA(record.monitor, &info))
                corner = POINT{info.rcMonitor.left, info.rcMonitor.top};
        }
    }
    return POINT{origin.x - corner.x, origin.y - corner.y};
}

int CScreen::CreateDisplaySurfaces(bool fullScreen, bool texturePath)
{
    for (;;) {
        const int made = CreateSurfaces(fullScreen, texturePath);
        if (made == 0) {
            if (const int read = ReadBackBufferFormat(); read != 0)
                return read;
            if (!texturePath || CreateTexturePath() == 0)
                break;
            ReleaseSurfaces();
        } else if (!texturePath) {
            return made + 2;
        }
        m_presentPathRequest = 0;
        if (!fullScreen)
            return kTexturePathDropped;
        texturePath = false;
    }
    int code = 0;
    if (!texturePath && UsesDirect3D()) {
        code = CreateDevice(m_backBuffer, &m_output, m_zBuffer != 0);
        if (code > 0) {
            ReleaseSurfaces();
            return code + 7;
        }
    }
    if (!m_frameImage)
        RestoreSurfaces(false);
    return code;
}

int CScreen::CreateSurfaces(bool fullScreen, bool texturePath)
{
    IDirectDraw7* dd = DirectDraw();
    if (dd == nullptr)
        return 1;
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS;
    const bool flipChain = fullScreen && !m_frameImage && !m_scaled.active && m_cooperativeLevel == 1;
    if (!HasNoHardware() && flipChain) {
        d.dwFlags |= DDSD_BACKBUFFERCOUNT;
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | (UsesDirect3D() ? DDSCAPS_3DDEVICE : 0);
        d.dwBackBufferCount = m_tripleBuffering ? 2 : 1;
        if (FAILED(dd->CreateSurface(&d, &m_primary, nullptr)))
            return 2;
        DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
        if (FAILED(m_primary->GetAttachedSurface(&caps, &m_backBuffer))) {
            ReleaseSurfaces();
            return 3;
        }
        m_backInChain = true;
        return 0;
    }
    if (!HasNoHardware()) {
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        if (FAILED(dd->CreateSurface(&d, &m_primary, nullptr)))
            return 2;
    }
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | (texturePath || UsesDirect3D() ? DDSCAPS_3DDEVICE : 0);
    // The quad draws a scaled frame image at its full-screen size; everything else is drawn at
    // the output size.
    const bool scaledQuad = texturePath && m_frameImage && m_scaled.active;
    d.dwWidth = static_cast<DWORD>(scaledQuad ? m_scaled.width : m_output.right);
    d.dwHeight = static_cast<DWORD>(scaledQuad ? m_scaled.height : m_output.bottom);
    if (FAILED(dd->CreateSurface(&d, &m_backBuffer, nullptr))) {
        ReleaseSurfaces();
        return 3;
    }
    // A clipper binds the primary to the window unless DirectDraw set the mode (the window then
    // covers the display).
    if (m_primary != nullptr && (!fullScreen || DisplayModeState() != 1) &&
        CSurfaceClipper::Create(dd, m_primary, m_window) != 0) {
        ReleaseSurfaces();
        return 4;
    }
    return 0;
}

int CScreen::ReadBackBufferFormat()
{
    CPixelFormatDesc desc;
    uint32_t code = ::GetPixelFormatCode(m_backBuffer, &desc, nullptr);
    if (code == 0) {
        ReleaseSurfaces();
        return 7;
    }
    if (m_frameImage && code == kPixelA1R5G5B5)
        code = kPixelX1R5G5B5;
    if (m_frameImage && code == kPixelA8R8G8B8)
        code = kPixelX8R8G8B8;
    m_pixelFormat = code;
    m_colorDepth = desc.bits;
    if (m_primary != nullptr) {
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        m_primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
    FillSurfaceRect(m_backBuffer, &desc, m_clear[0], m_clear[1], m_clear[2], nullptr, 0);
    return 0;
}

void CScreen::ReleaseSurfaces()
{
    CScopedLock lock(m_lock);
    ReleaseTexturePath();
    CSurfaceClipper::Release();
    ReleaseInto(&m_backBuffer);
    ReleaseInto(&m_primary);
    m_backInChain = false;
    m_gdiShown = false;
}

int CScreen::ClearBackBuffer()
{
    if (!m_backBuffer)
        return 1;
    // A scaled frame image without the quad draws only what changed: a clear would leave black
    // elsewhere.
    if (m_frameImage && m_scaled.active && !m_device)
        return 0;
    FillSurfaceRect(m_backBuffer, nullptr, m_clear[0], m_clear[1], m_clear[2], nullptr, 0);
    return 0;
}

RECT CScreen::PresentTarget() const
{
    RECT to = m_output;
    if (m_scaled.active)
        to = RECT{m_scaled.x, m_scaled.y, m_scaled.x + m_scaled.width, m_scaled.y + m_scaled.height};
    const POINT origin = ClientOnPrimary();
    Shift(&to, origin.x, origin.y);
    return to;
}

RECT CScreen::PresentSource() const
{
    if (m_device && m_scaled.active)
        return RECT{0, 0, m_scaled.width, m_scaled.height};
    return m_output;
}

void CScreen::FillBorders()
{
    if (!m_scaled.active || !m_scaled.borders || m_primary == nullptr)
        return;
    const POINT origin = ClientOnPrimary();
    for (RECT border : m_scaled.border) {
        if (border.right <= border.left || border.bottom <= border.top)
            continue;
        Shift(&border, origin.x, origin.y);
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        m_primary->Blt(&border, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
}

HRESULT CScreen::BlitToPrimary(DWORD flags, bool wait)
{
    RECT to = PresentTarget();
    RECT from = PresentSource();
    // The primary refuses rectangles that leave it: the part on the desktop is blitted.
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(m_primary->GetSurfaceDesc(&desc)))
        return DDERR_GENERIC;
    const RECT bounds{0, 0, static_cast<LONG>(desc.dwWidth), static_cast<LONG>(desc.dwHeight)};
    RECT cut;
    if (!IntersectRects(&cut, to, bounds))
        return DD_OK;
    if (to.right - to.left == from.right - from.left && to.bottom - to.top == from.bottom - from.top) {
        Shift(&from, cut.left - to.left, cut.top - to.top);
        from.right = from.left + (cut.right - cut.left);
        from.bottom = from.top + (cut.bottom - cut.top);
        to = cut;
    } else if (!(cut.left == to.left && cut.top == to.top && cut.right == to.right && cut.bottom == to.bottom)) {
        return DD_OK;  // a scaled picture partly off the desktop is not shown
    }
    FillBorders();
    if (wait) {
        BOOL inBlank = FALSE;
        DirectDraw()->GetVerticalBlankStatus(&inBlank);
        if (!inBlank)
            DirectDraw()->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    }
    return m_primary->Blt(&to, m_backBuffer, &from, flags, nullptr);
}

int CScreen::Present()
{
    if (!m_backBuffer)
        return 1;
    HRESULT result = DD_OK;
    if (HasNoHardware()) {
        CScopedLock lock(m_lock);
        HDC from = nullptr;
        result = m_backBuffer->GetDC(&from);
        if (SUCCEEDED(result)) {
            HDC to = GetDC(m_window);
            BitBlt(to, 0, 0, m_output.right, m_output.bottom, from, 0, 0, SRCCOPY);
            ReleaseDC(m_window, to);
            m_backBuffer->ReleaseDC(from);
            GdiFlush();
        }
    } else if (m_primary == nullptr) {
        return 1;
    } else if (m_mode == kDisplayFullScreen) {
        if (m_waitMode != 0 && !m_gdiShown && m_waitMode != 1 && m_backInChain)
            result = m_primary->Flip(nullptr, 0);
        else
            result = BlitToPrimary(DDBLT_ASYNC, m_waitMode != 0);
    } else {
        CScopedLock lock(m_lock);
        result = BlitToPrimary(DDBLT_ASYNC, m_waitMode != 0);
    }
    // A mode change under the surfaces is as much a loss as a stolen surface.
    return result == DDERR_SURFACELOST || result == DDERR_WRONGMODE ? 2 : 0;
}

int CScreen::DrawFrameImageToBackBuffer(bool incremental)
{
    // The texture path draws into the texture, the others into the back buffer.
    IDirectDrawSurface7* into = m_texture ? m_texture : m_backBuffer;
    const uint32_t format = m_texture ? m_textureFormat : m_pixelFormat;
    if (!m_drawThroughBackBuffer && (!m_texture || m_texture32))
        return m_frameImage->Present(nullptr, nullptr, into, format, incremental);
    HDC dc = nullptr;
    HRESULT result = into->GetDC(&dc);
    if (result == DDERR_SURFACELOST || result == DDERR_WRONGMODE) {
        into->Restore();
        incremental = false;
        result = into->GetDC(&dc);
    }
    if (FAILED(result))
        return 2;
    const int drawn = m_frameImage->Present(nullptr, dc, nullptr, 0, incremental);
    into->ReleaseDC(dc);
    return drawn;
}

bool CScreen::WantsTexturePath()
{
    return m_presentPathRequest == 3 || (m_presentPathRequest == 1 && !IsStretchBlitSmooth());
}

void CScreen::ReleaseTexturePath()
{
    if (m_device != nullptr) {
        m_device->Release();
        m_device = nullptr;
    }
    if (m_d3d != nullptr) {
        m_d3d->Release();
        m_d3d = nullptr;
    }
    ReleaseInto(&m_texture);
    m_textureFormat = 0;
    m_texture32 = false;
}

int CScreen::CreateTexturePath()
{
    ReleaseTexturePath();
    IDirectDraw7* dd = DirectDraw();
    if (dd == nullptr || m_backBuffer == nullptr)
        return 1;
    int code = 0;
    void* out = nullptr;
    D3DDEVICEDESC7 caps{};
    if (FAILED(dd->QueryInterface(IID_IDirect3D7, &out)) || out == nullptr)
        code = 2;
    if (code == 0) {
        m_d3d = static_cast<IDirect3D7*>(out);
        if (FAILED(m_d3d->CreateDevice(IID_IDirect3DHALDevice, m_backBuffer, &m_device)))
            code = 3;
    }
    if (code == 0 && FAILED(m_device->GetCaps(&caps)))
        code = 4;
    LONG width = m_output.right, height = m_output.bottom;
    if (code == 0) {
        auto power = [](LONG v) {
            LONG p = 1;
            while (p < v)
                p <<= 1;
            return p;
        };
        if ((caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_POW2) || m_powerOfTwo) {
            width = power(width);
            height = power(height);
        }
        if (caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY)
            width = height = std::max(width, height);
        width = std::max<LONG>(width, static_cast<LONG>(caps.dwMinTextureWidth));
        height = std::max<LONG>(height, static_cast<LONG>(caps.dwMinTextureHeight));
        if (width > static_cast<LONG>(caps.dwMaxTextureWidth) || height > static_cast<LONG>(caps.dwMaxTextureHeight))
            code = 5;
    }
    if (code == 0) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        d.dwWidth = static_cast<DWORD>(width);
        d.dwHeight = static_cast<DWORD>(height);
        d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        d.ddpfPixelFormat.dwFlags = DDPF_RGB;
        d.ddpfPixelFormat.dwRGBBitCount = 32;
        d.ddpfPixelFormat.dwRBitMask = 0xFF0000;
        d.ddpfPixelFormat.dwGBitMask = 0xFF00;
        d.ddpfPixelFormat.dwBBitMask = 0xFF;
        m_texture32 = SUCCEEDED(dd->CreateSurface(&d, &m_texture, nullptr));
        if (!m_texture32) {
            d.dwFlags &= ~DDSD_PIXELFORMAT;
            if (FAILED(dd->CreateSurface(&d, &m_texture, nullptr)))
                code = 6;
        }
    }
    if (code == 0) {
        m_textureFormat = ::GetPixelFormatCode(m_texture, nullptr, nullptr);
        if (m_textureFormat < kPixelX1R5G5B5)
            code = 7;
    }
    if (code != 0) {
        ReleaseTexturePath();
        return code;
    }
    m_textureWidth = width;
    m_textureHeight = height;
    const float w = static_cast<float>(m_scaled.active ? m_scaled.width : m_output.right);
    const float h = static_cast<float>(m_scaled.active ? m_scaled.height : m_output.bottom);
    const float u = static_cast<float>(m_output.right) / static_cast<float>(width);
    const float v = static_cast<float>(m_output.bottom) / static_cast<float>(height);
    const float quad[4][6] = {{-0.5f, -0.5f, 1, 1, 0, 0}, {w - 0.5f, -0.5f, 1, 1, u, 0}, {-0.5f, h - 0.5f, 1, 1, 0, v},
                              {w - 0.5f, h - 0.5f, 1, 1, u, v}};
    std::memcpy(m_quad, quad, sizeof quad);
    return 0;
}

HRESULT CScreen::DrawTextureQuad()
{
    m_device->SetTexture(0, m_texture);
    m_device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    m_device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
    m_device->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, FALSE);
    m_device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    const DWORD filter = m_linearFilter ? D3DTFG_LINEAR : D3DTFG_POINT;
    m_device->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
    m_device->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
    m_device->SetTextureStageState(0, D3DTSS_MIPFILTER, filter);
    m_device->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    m_device->BeginScene();
    const HRESULT result =
        m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, m_quad, 4, D3DDP_WAIT);
    m_device->EndScene();
    m_device->SetTexture(0, nullptr);
    return result;
}

int CScreen::RestoreDevice()
{
    if (DirectDraw() == nullptr)
        return 0;
    if (!m_backBuffer)
        return 1;
    CScopedLock lock(m_lock);
    enum { kNothing, kRestored, kRecreate } state = kNothing;
    for (IDirectDrawSurface7* surface : {m_primary, m_backBuffer, m_texture}) {
        if (surface == nullptr || surface->IsLost() != DDERR_SURFACELOST)
            continue;
        state = kRestored;
        if (FAILED(surface->Restore())) {
            state = kRecreate;
            break;
        }
    }
    if (state == kRecreate) {
        const bool hadTexture = m_texture != nullptr;
        ReleaseSurfaces();
        ReleaseDevice();
        if (CreateSurfaces(m_mode == kDisplayFullScreen, hadTexture) != 0 || ReadBackBufferFormat() != 0)
            return 2;
        if (hadTexture ? CreateTexturePath() != 0
                       : UsesDirect3D() && CreateDevice(m_backBuffer, &m_output, m_zBuffer != 0) > 0) {
            ReleaseSurfaces();
            return 3;
        }
    }
    if (state == kNothing)
        return 0;
    RestoreSurfaces(true);
    if (m_frameImage) {
        // Whatever the redraw answers, the next frame brings the whole picture.
        m_frameImage->InvalidateRect(nullptr);
        if (DrawFrameImageToBackBuffer(false) != 0)
            m_frameImage->InvalidateRect(nullptr);
    }
    return 0;
}

int CScreen::FlipToGdi()
{
    if (HasNoHardware())
        return 0;
    if (!m_primary)
        return 1;
    CSurfaceClipper::Create(DirectDraw(), m_primary, m_window);
    DirectDraw()->FlipToGDISurface();
    m_gdiShown = true;
    return 0;
}

int CScreen::LeaveGdi()
{
    if (HasNoHardware())
        return 0;
    if (!m_primary)
        return 1;
    // The window keeps its clipper: without it the presents would land on other windows too.
    if (m_mode != kDisplayWindow) {
        m_primary->SetClipper(nullptr);
        CSurfaceClipper::Release();
    }
    m_gdiShown = false;
    return 0;
}

bool CScreen::IsStretchBlitSmooth()
{
    if (m_stretchTest != 0)
        return m_stretchTest == 2;
    IDirectDraw7* dd = DirectDraw();
    if (dd == nullptr)
        return false;
    m_stretchTest = 1;
    IDirectDrawSurface7* small = nullptr;
    IDirectDrawSurface7* large = nullptr;
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    d.dwWidth = d.dwHeight = 100;
    if (SUCCEEDED(dd->CreateSurface(&d, &small, nullptr))) {
        d.dwWidth = d.dwHeight = 200;
        if (SUCCEEDED(dd->CreateSurface(&d, &large, nullptr))) {
            CPixelFormatDesc format;
            ::GetPixelFormatCode(small, &format, nullptr);
            const DWORD white = format.mask[0] | format.mask[1] | format.mask[2];
            bool ok = format.bits >= 16;
            for (LONG x = 0; ok && x < 100; ++x) {
                RECT column{x, 0, x + 1, 100};
                DDBLTFX fx{};
                fx.dwSize = sizeof fx;
                fx.dwFillColor = (x % 2 == 0) ? white : 0;
                ok = SUCCEEDED(small->Blt(&column, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
            }
            RECT from{0, 0, 100, 100}, to{0, 0, 200, 200};
            DDSURFACEDESC2 locked{};
            locked.dwSize = sizeof locked;
            if (ok && SUCCEEDED(large->Blt(&to, small, &from, DDBLT_WAIT, nullptr)) &&
                SUCCEEDED(large->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr))) {
                const int bytes = format.bits / 8;
                const BYTE* row = static_cast<const BYTE*>(locked.lpSurface) + 100 * locked.lPitch;
                for (int x = 90; x < 110; ++x) {
                    DWORD v = 0;
                    for (int k = 0; k < bytes && k < 4; ++k)
                        v |= static_cast<DWORD>(row[x * bytes + k]) << (8 * k);
                    v &= white;
                    if (v != 0 && v != white)
                        m_stretchTest = 2;
                }
                large->Unlock(nullptr);
            }
        }
    }
    ReleaseInto(&large);
    ReleaseInto(&small);
    return m_stretchTest == 2;
}
