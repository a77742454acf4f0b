#include "raster/surface_convert.h"

#include "raster/dib_convert.h"

#include <cstring>

namespace {

// One pixel 0xAARRGGBB (or a palette entry) in a device format; the alpha formats differ between
// palette entries (always opaque) and 32-bit pixels (their own alpha).
inline uint32_t To555(uint32_t p) { return (p >> 9 & 0x7C00) + (p >> 6 & 0x3E0) + (p >> 3 & 0x1F); }
inline uint32_t To565(uint32_t p) { return (p >> 8 & 0xF800) + (p >> 5 & 0x7E0) + (p >> 3 & 0x1F); }
inline uint32_t To4444Rgb(uint32_t p) { return (p >> 12 & 0xF00) + (p >> 8 & 0xF0) + (p >> 4 & 0xF); }

inline void Put16(BYTE* d, uint32_t v)
{
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(d, &w, 2);
}
inline void Put32(BYTE* d, uint32_t v) { std::memcpy(d, &v, 4); }
inline void Put24(BYTE* d, uint32_t p)
{
    d[0] = static_cast<BYTE>(p);
    d[1] = static_cast<BYTE>(p >> 8);
    d[2] = static_cast<BYTE>(p >> 16);
}

// Writes one pixel p of the code; indexed = p is a palette entry.
template <bool Indexed>
inline void PutPixel(uint32_t code, BYTE* d, uint32_t p)
{
    switch (code) {
    case kPixelX1R5G5B5:
        Put16(d, To555(p));
        break;
    case kPixelR5G6B5:
        Put16(d, To565(p));
        break;
    case kPixelR8G8B8:
        Put24(d, p);
        break;
    case kPixelX8R8G8B8:
        Put32(d, Indexed ? p : p & 0xFFFFFF);
        break;
    case kPixelA1R5G5B5:
        Put16(d, To555(p) + (Indexed ? 0x8000 : (p >> 16 & 0x8000)));
        break;
    case kPixelA4R4G4B4:
        Put16(d, To4444Rgb(p) + (Indexed ? 0xF000 : (p >> 16 & 0xF000)));
        break;
    default: // kPixelA8R8G8B8
        Put32(d, Indexed ? (p | 0xFF000000u) : p);
        break;
    }
}

// The row loop, with the format switch hoisted out of the pixel loop.
template <bool Indexed, uint32_t Code>
void ConvertRows(BYTE* dst, LONG dstPitch, const BYTE* src, LONG srcPitch, LONG width, LONG height,
                 const uint32_t* palette)
{
    const int bytes = PixelFormatBytes(Code);
    for (LONG row = 0; row < height; ++row) {
        BYTE* d = dst + static_cast<ptrdiff_t>(row) * dstPitch;
        const BYTE* s = src + static_cast<ptrdiff_t>(row) * srcPitch;
        if (!Indexed && Code == kPixelA8R8G8B8) {
            std::memcpy(d, s, static_cast<size_t>(width) * 4);
            continue;
        }
        for (LONG i = 0; i < width; ++i, d += bytes) {
            uint32_t p;
            if constexpr (Indexed) {
                p = palette[s[i]];
            } else {
                std::memcpy(&p, s + 4 * static_cast<ptrdiff_t>(i), 4);
            }
            PutPixel<Indexed>(Code, d, p);
        }
    }
}

template <bool Indexed>
bool Convert(uint32_t code, BYTE* dst, LONG x, LONG y, LONG dstPitch, const BYTE* src, LONG srcPitch, LONG width,
             LONG height, const uint32_t* palette)
{
    using Rows = void (*)(BYTE*, LONG, const BYTE*, LONG, LONG, LONG, const uint32_t*);
    static const struct {
        uint32_t code;
        Rows rows;
    } kTable[] = {
        {kPixelX1R5G5B5, ConvertRows<Indexed, kPixelX1R5G5B5>},
        {kPixelR5G6B5, ConvertRows<Indexed, kPixelR5G6B5>},
        {kPixelR8G8B8, ConvertRows<Indexed, kPixelR8G8B8>},
        {kPixelX8R8G8B8, ConvertRows<Indexed, kPixelX8R8G8B8>},
        {kPixelA1R5G5B5, ConvertRows<Indexed, kPixelA1R5G5B5>},
        {kPixelA4R4G4B4, ConvertRows<Indexed, kPixelA4R4G4B4>},
        {kPixelA8R8G8B8, ConvertRows<Indexed, kPixelA8R8G8B8>},
    };
    if (!dst || !src || width < 1 || height < 1 || (Indexed && !palette)) {
        return false;
    }
    for (const auto& row : kTable) {
        if (row.code == code) {
            BYTE* first = dst + static_cast<ptrdiff_t>(y) * dstPitch +
                          static_cast<ptrdiff_t>(x) * PixelFormatBytes(code);
            row.rows(first, dstPitch, src, srcPitch, width, height, palette);
            return true;
        }
    }
    return false;
}

} // namespace

bool ConvertIndexedToSurface(uint32_t code, BYTE* dst, LONG x, LONG y, LONG dstPitch, const BYTE* src,
                             LONG srcPitch, LONG width, LONG height, const uint32_t* palette)
{
    return Convert<true>(code, dst, x, y, dstPitch, src, srcPitch, width, height, palette);
}

bool ConvertRgb32ToSurface(uint32_t code, BYTE* dst, LONG x, LONG y, LONG dstPitch, const BYTE* src,
                           LONG srcPitch, LONG width, LONG height)
{
    return Convert<false>(code, dst, x, y, dstPitch, src, srcPitch, width, height, nullptr);
}

int CopyImageToSurface(IDirectDrawSurface7* surface, uint32_t code, const RECT* clip, const CDibSurface* source,
                       LONG x, LONG y, const RECT* srcRect, const DDSURFACEDESC2* desc)
{
    if ((!surface && !desc) || !source || !source->GetBits()) {
        return 1;
    }
    RECT src = source->ClipRect();
    if (srcRect) {
        src = *srcRect;
        if (!source->ClipRectToBounds(&src)) {
            return 0;
        }
    }
    DDSURFACEDESC2 locked{};
    if (!desc) {
        locked.dwSize = sizeof(locked);
        if (FAILED(surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr))) {
            return 2;
        }
        desc = &locked;
    }
    // The copy never leaves the locked memory, whatever clip the caller passed.
    RECT area{0, 0, static_cast<LONG>(desc->dwWidth), static_cast<LONG>(desc->dwHeight)};
    if (clip && !IntersectClipRect(&area, clip)) {
        area = RECT{0, 0, 0, 0};
    }
    RECT dst{};
    if (area.left < area.right && area.top < area.bottom && desc->lpSurface &&
        ClipBlitRects(x, y, &src, &dst, &area, nullptr) == 0) {
        const BYTE* from = source->GetRowPointer(src.top) +
                           static_cast<ptrdiff_t>(src.left) * (source->GetBitsPerPixel() / 8);
        const LONG w = dst.right - dst.left;
        const LONG h = dst.bottom - dst.top;
        auto* to = static_cast<BYTE*>(desc->lpSurface);
        if (source->GetBitsPerPixel() == 8) {
            uint32_t grey[256];
            const uint32_t* palette = source->GetPalette();
            if (!palette) {
                for (uint32_t i = 0; i < 256; ++i) {
                    grey[i] = i << 16 | i << 8 | i;
                }
                palette = grey;
            }
            ConvertIndexedToSurface(code, to, dst.left, dst.top, desc->lPitch, from, source->GetPitch(), w, h,
                                    palette);
        } else if (source->GetBitsPerPixel() == 32) {
            ConvertRgb32ToSurface(code, to, dst.left, dst.top, desc->lPitch, from, source->GetPitch(), w, h);
        }
    }
    if (desc == &locked) {
        surface->Unlock(nullptr);
    }
    return 0;
}
