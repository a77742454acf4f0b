// Off-screen surfaces of the surface objects and their keys; see device_surface_create.h.
#include "display/device_surface_create.h"

#include "raster/dib_convert.h"

#include <cstring>

int CreateDeviceSurface(CDisplayDevice* device, LONG width, LONG height, bool systemMemory, bool texture,
                        const DDPIXELFORMAT* format, IDirectDrawSurface7** out, DDSURFACEDESC2* made)
{
    *out = nullptr;
    if (!device || width < 1 || height < 1 || (texture && !format)) {
        return 1;
    }
    IDirectDraw7* directDraw = device->DirectDraw();
    if (!directDraw) {
        return 2;
    }
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    if (texture) {
        desc.dwFlags |= DDSD_TEXTURESTAGE;
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    } else {
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    }
    if (format) {
        desc.dwFlags |= DDSD_PIXELFORMAT;
        desc.ddpfPixelFormat = *format;
    }
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    if (!texture && (width & 1) != 0) {
        DDSURFACEDESC2 mode;
        std::memset(&mode, 0, sizeof(mode));
        mode.dwSize = sizeof(mode);
        if (directDraw->GetDisplayMode(&mode) == DD_OK && mode.ddpfPixelFormat.dwRGBBitCount == 24) {
            desc.dwWidth += 1;
        }
    }
    if (systemMemory) {
        desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    } else if (texture) {
        if (device->DeviceKind() != 0) {
            desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
        } else {
            desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
        }
    }
    IDirectDrawSurface7* surface = nullptr;
    if (directDraw->CreateSurface(&desc, &surface, nullptr) != DD_OK || !surface) {
        return 3;
    }
    std::memset(made, 0, sizeof(*made));
    made->dwSize = sizeof(*made);
    if (surface->GetSurfaceDesc(made) != DD_OK) {
        surface->Release();
        return 4;
    }
    *out = surface;
    return 0;
}

uint32_t OpaqueFormat(uint32_t code)
{
    if (code == kPixelA1R5G5B5) {
        return kPixelX1R5G5B5;
    }
    return code == kPixelA8R8G8B8 ? kPixelX8R8G8B8 : code;
}

// Device key of (r, g, b) in a format: the index r for 8 bits or fewer, else each channel cut to
// its bits and placed at its shift (channels the format lacks left out).
DWORD PackColorKey(const CPixelFormatDesc& desc, BYTE r, BYTE g, BYTE b)
{
    if (desc.bits <= 8) {
        return r;
    }
    const BYTE value[3] = {r, g, b};
    DWORD key = 0;
    for (int i = 0; i < 3; ++i) {
        if (desc.maskBits[i] == 0 || desc.maskBits[i] > 8 || desc.shift[i] >= 32) {
            continue;
        }
        key |= (static_cast<DWORD>(value[i]) >> (8 - desc.maskBits[i])) << desc.shift[i];
    }
    return key;
}

bool SurfaceNeedsRebuild(IDirectDrawSurface7* surface, bool onlyIfLost)
{
    return surface && !(onlyIfLost && surface->IsLost() == DD_OK);
}

int RemoveSourceKey(IDirectDrawSurface7* surface, DWORD* deviceKey)
{
    if (*deviceKey == 0xFFFFFFFFu) {
        return 0;
    }
    if (!surface) {
        return 1;
    }
    if (surface->SetColorKey(DDCKEY_SRCBLT, nullptr) != DD_OK) {
        return 2;
    }
    *deviceKey = 0xFFFFFFFFu;
    return 0;
}
