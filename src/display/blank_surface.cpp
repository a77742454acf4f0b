// The blank work surface; see blank_surface.h.
#include "display/blank_surface.h"

#include "display/device_surface_create.h"
#include "raster/device_blit.h"

#include <cstring>

CBlankSurface::CBlankSurface(CDisplayDevice* device)
{
    if (device) {
        g_pSurfaceDisplayDevice = device;
    }
    m_device = g_pSurfaceDisplayDevice;
}

CBlankSurface::~CBlankSurface() { Release(); }

void CBlankSurface::Release()
{
    if (m_surface) {
        m_surface->Release();
        m_surface = nullptr;
    }
    m_memory = nullptr;
    m_format = 0;
}

int CBlankSurface::Create(LONG width, LONG height)
{
    Release();
    IDirectDrawSurface7* surface = nullptr;
    DDSURFACEDESC2 made;
    const int code = CreateDeviceSurface(m_device, width, height, true, false, nullptr, &surface, &made);
    if (code != 0) {
        // A surface that cannot be described cannot be looked at either.
        return code;
    }
    DDSURFACEDESC2 locked;
    std::memset(&locked, 0, sizeof(locked));
    locked.dwSize = sizeof(locked);
    if (surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK) {
        surface->Release();
        return 4;
    }
    m_memory = locked.lpSurface;
    m_pitch = locked.lPitch;
    surface->Unlock(nullptr);
    m_surface = surface;
    m_width = width;
    m_height = height;
    m_clip = RECT{0, 0, width, height};
    m_bitsPerPixel = static_cast<uint8_t>(made.ddpfPixelFormat.dwRGBBitCount);
    m_format = OpaqueFormat(::GetPixelFormatCode(nullptr, nullptr, &made.ddpfPixelFormat));
    FillSurfaceRect(m_surface, nullptr, 0, 0, 0, nullptr, 0);
    return 0;
}

int CBlankSurface::Restore(bool onlyIfLost)
{
    if (!SurfaceNeedsRebuild(m_surface, onlyIfLost)) {
        return 0;
    }
    CScopedLock hold(&m_lock);
    return Create(m_width, m_height) != 0 ? 1 : 0;
}
