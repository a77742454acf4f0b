// Clipped DirectDraw blits and the pixel-format codes of DirectDraw formats.
#include "raster/device_blit.h"

#include <algorithm>
#include <bit>

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

uint32_t GetPixelFormatCode(IDirectDrawSurface7* surface, CPixelFormatDesc* desc, const DDPIXELFORMAT* format)
{
    DDPIXELFORMAT pf{};
    if (format != nullptr) {
        pf = *format;
    } else if (surface != nullptr) {
        pf.dwSize = sizeof(pf);
        if (FAILED(surface->GetPixelFormat(&pf)))
            return 0;
    } else {
        return 0;
    }
    const DWORD masks[4] = {pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask, pf.dwRGBAlphaBitMask};
    if (desc != nullptr) {
        desc->bits = static_cast<uint8_t>(pf.dwRGBBitCount);
        for (int i = 0; i < 4; ++i) {
            desc->mask[i] = masks[i];
            desc->maskBits[i] = static_cast<uint8_t>(std::popcount(masks[i]));
            desc->shift[i] = static_cast<uint8_t>(masks[i] == 0 ? 32 : std::countr_zero(masks[i]));
        }
    }
    const bool rgb24 = masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
    switch (pf.dwRGBBitCount) {
    case 8:
        return kPixelIndexed8;
    case 16: {
        const bool m555 = masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F;
        if (masks[3] == 0x8000 && m555)
            return kPixelA1R5G5B5;
        if (masks[3] == 0xF000 && masks[0] == 0x0F00 && masks[1] == 0x00F0 && masks[2] == 0x000F)
            return kPixelA4R4G4B4;
        if (m555)
            return kPixelX1R5G5B5;
        if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F)
            return kPixelR5G6B5;
        return kPixelUnknown;
    }
    case 24:
        return rgb24 ? uint32_t{kPixelR8G8B8} : kPixelUnknown;
    case 32:
        if (rgb24 && masks[3] == 0)
            return kPixelX8R8G8B8;
        if (rgb24 && masks[3] == 0xFF000000)
            return kPixelA8R8G8B8;
        return kPixelUnknown;
    default:
        return kPixelUnknown;
    }
}

int FillSurfaceRect(IDirectDrawSurface7* surface, const CPixelFormatDesc* desc, BYTE r, BYTE g, BYTE b,
                    const RECT* rect, BYTE a)
{
    if (surface == nullptr)
        return 1;
    CPixelFormatDesc read;
    if (desc == nullptr) {
        if (GetPixelFormatCode(surface, &read, nullptr) == 0)
            return 1;
        desc = &read;
    }
    const BYTE channels[4] = {r, g, b, a};
    DWORD colour = 0;
    for (int i = 0; i < 4; ++i) {
        // A channel the format lacks has no place in the colour (its shift would be 32).
        if (desc->mask[i] == 0 || desc->shift[i] >= 32)
            continue;
        DWORD value = channels[i];
        if (desc->bits == 16 && desc->maskBits[i] < 8)
            value >>= 8 - desc->maskBits[i];
        colour |= (value << desc->shift[i]) & desc->mask[i];
    }
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = colour;
    if (surface->Blt(const_cast<RECT*>(rect), nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx) == DD_OK)
        return 0;
    DDSURFACEDESC2 locked{};
    locked.dwSize = sizeof locked;
    if (FAILED(surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr)))
        return 2;
    RECT area{0, 0, static_cast<LONG>(locked.dwWidth), static_cast<LONG>(locked.dwHeight)};
    if (rect != nullptr) {
        area.left = std::max(area.left, rect->left);
        area.top = std::max(area.top, rect->top);
        area.right = std::min(area.right, rect->right);
        area.bottom = std::min(area.bottom, rect->bottom);
    }
    const int bytes = desc->bits / 8;
    for (LONG y = area.top; y < area.bottom; ++y) {
        BYTE* p = static_cast<BYTE*>(locked.lpSurface) + static_cast<ptrdiff_t>(y) * locked.lPitch;
        for (LONG x = area.left; x < area.right; ++x)
            for (int k = 0; k < bytes && k < 4; ++k)
                p[x * bytes + k] = static_cast<BYTE>(colour >> (8 * k));
    }
    surface->Unlock(nullptr);
    return 0;
}
