// Clipped DirectDraw blits and the pixel-format codes of DirectDraw formats.
#include "raster/device_blit.h"

#include "raster/dib_convert.h"
#include "raster/dib_surface.h"

#include <algorithm>

namespace {

constexpr DWORD kNoKey = 0xFFFFFFFFu;

bool SurfaceSize(IDirectDrawSurface7* s, LONG* width, LONG* height)
{
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    if (FAILED(s->GetSurfaceDesc(&desc)))
        return false;
    *width = static_cast<LONG>(desc.dwWidth);
    *height = static_cast<LONG>(desc.dwHeight);
    return true;
}

// The clip rectangle cut to the destination surface: a screen target larger than the surface
// would otherwise make every blit fail.
bool DestinationClip(IDirectDrawSurface7* dst, const RECT& clip, RECT* out)
{
    LONG width = 0;
    LONG height = 0;
    if (!SurfaceSize(dst, &width, &height))
        return false;
    out->left = std::max<LONG>(clip.left, 0);
    out->top = std::max<LONG>(clip.top, 0);
    out->right = std::min(clip.right, width);
    out->bottom = std::min(clip.bottom, height);
    return out->left < out->right && out->top < out->bottom;
}

} // namespace

int BltFastClipped(IDirectDrawSurface7* dst, IDirectDrawSurface7* src, LONG x, LONG y, const RECT* srcRect,
                   const RECT* clip, DWORD key)
{
    if (dst == nullptr || src == nullptr || srcRect == nullptr || clip == nullptr)
        return 1;
    LONG srcWidth = 0;
    LONG srcHeight = 0;
    RECT area{};
    if (!SurfaceSize(src, &srcWidth, &srcHeight) || !DestinationClip(dst, *clip, &area))
        return 0;
    // 64-bit positions: a piece placed near the ends of the 32-bit range must not wrap round.
    int64_t l = srcRect->left, t = srcRect->top, r = srcRect->right, b = srcRect->bottom;
    int64_t dx = x, dy = y;
    if (l < 0) {
        dx -= l;
        l = 0;
    }
    if (t < 0) {
        dy -= t;
        t = 0;
    }
    r = std::min<int64_t>(r, srcWidth);
    b = std::min<int64_t>(b, srcHeight);
    if (dx < area.left) {
        l += area.left - dx;
        dx = area.left;
    }
    if (dy < area.top) {
        t += area.top - dy;
        dy = area.top;
    }
    r = std::min<int64_t>(r, l + (area.right - dx));
    b = std::min<int64_t>(b, t + (area.bottom - dy));
    if (l >= r || t >= b)
        return 0;
    RECT piece{static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r), static_cast<LONG>(b)};
    const DWORD flags = DDBLTFAST_WAIT | (key != kNoKey ? DDBLTFAST_SRCCOLORKEY : 0);
    return FAILED(dst->BltFast(static_cast<DWORD>(dx), static_cast<DWORD>(dy), src, &piece, flags)) ? 2 : 0;
}

int BltClipped(IDirectDrawSurface7* dst, IDirectDrawSurface7* src, LONG width, LONG height, LONG x, LONG y,
               const RECT* srcRect, const RECT* clip, DWORD key)
{
    if (dst == nullptr || src == nullptr || srcRect == nullptr || clip == nullptr)
        return 1;
    if (width < 1 || height < 1)
        return 0;
    LONG srcWidth = 0;
    LONG srcHeight = 0;
    RECT area{};
    if (!SurfaceSize(src, &srcWidth, &srcHeight) || !DestinationClip(dst, *clip, &area))
        return 0;
    RECT from{std::max<LONG>(srcRect->left, 0), std::max<LONG>(srcRect->top, 0),
              std::min(srcRect->right, srcWidth), std::min(srcRect->bottom, srcHeight)};
    if (from.left >= from.right || from.top >= from.bottom)
        return 0;
    // The placed rectangle must fit the 32-bit range before it is cut.
    if (static_cast<int64_t>(x) + width > INT32_MAX || static_cast<int64_t>(y) + height > INT32_MAX)
        return 0;
    RECT to{};
    const SIZE size{width, height};
    if (ClipBlitRects(x, y, &from, &to, &area, &size) != 0)
        return 0;
    const DWORD flags = DDBLT_WAIT | (key != kNoKey ? DDBLT_KEYSRC : 0);
    return FAILED(dst->Blt(&to, src, &from, flags, nullptr)) ? 2 : 0;
}

uint32_t GetPixelFormatCode(IDirectDrawSurface7* surface, const DDSURFACEDESC2* desc,
                            const DDPIXELFORMAT* format)
{
    DDPIXELFORMAT pf{};
    if (surface != nullptr) {
        pf.dwSize = sizeof(pf);
        if (FAILED(surface->GetPixelFormat(&pf)))
            return 0;
    } else if (desc != nullptr) {
        pf = desc->ddpfPixelFormat;
    } else if (format != nullptr) {
        pf = *format;
    } else {
        return 0;
    }
    if ((pf.dwFlags & DDPF_RGB) == 0)
        return 0;
    const bool alpha = (pf.dwFlags & DDPF_ALPHAPIXELS) != 0 && pf.dwRGBAlphaBitMask != 0;
    switch (pf.dwRGBBitCount) {
    case 16:
        if (pf.dwRBitMask == 0xF800 && pf.dwGBitMask == 0x07E0 && pf.dwBBitMask == 0x001F)
            return kPixelR5G6B5;
        if (pf.dwRBitMask == 0x7C00 && pf.dwGBitMask == 0x03E0 && pf.dwBBitMask == 0x001F)
            return alpha ? uint32_t{kPixelA1R5G5B5} : uint32_t{kPixelX1R5G5B5};
        if (pf.dwRBitMask == 0x0F00 && pf.dwGBitMask == 0x00F0 && pf.dwBBitMask == 0x000F && alpha)
            return kPixelA4R4G4B4;
        return 0;
    case 24:
        return pf.dwRBitMask == 0xFF0000 && pf.dwBBitMask == 0xFF ? uint32_t{kPixelR8G8B8} : 0u;
    case 32:
        if (pf.dwRBitMask != 0xFF0000 || pf.dwGBitMask != 0xFF00 || pf.dwBBitMask != 0xFF)
            return 0;
        return alpha ? uint32_t{kPixelA8R8G8B8} : uint32_t{kPixelX8R8G8B8};
    default:
        return 0;
    }
}
