// Fill and colour operations (see fill_ops.h).
#include "raster/fill_ops.h"

#include "platform/cpu_info.h"
#include "raster/blend_tables.h"
#include "raster/color_kernels.h"
#include "raster/op_frame.h"
#include "raster/pixel_lib_handoff.h"
#include "raster/row_kernels.h"

#include <cstring>

namespace {

DWORD Pack(BYTE r, BYTE g, BYTE b) { return DWORD(r) << 16 | DWORD(g) << 8 | b; }

struct Area {
    BYTE* first;
    int skip, width, height;
};
Area AreaOf(CImage& dst, const RECT& r)
{
    const int bpp = dst.GetBitsPerPixel() / 8;
    Area a;
    a.width = r.right - r.left;
    a.height = r.bottom - r.top;
    a.first = dst.GetBits() + intptr_t(r.top) * dst.GetPitch() + intptr_t(r.left) * bpp;
    a.skip = dst.GetPitch() - a.width * bpp;
    return a;
}

bool Is32(const CImage& dst) { return dst.GetBits() && dst.GetBitsPerPixel() == 32; }

// The 32-bit path of the per-pixel operations: rows(area, key) runs over the target rectangle (key is
// kNoColorKey when the image has none) and the rectangle is marked changed. 0, also when nothing
// is left of the rectangle.
template <class Rows> int OnRows32(CImage& dst, const RECT* rect, Rows rows)
{
    RECT r;
    if (!op_frame::TargetRect(dst, rect, r)) {
        return 0;
    }
    rows(AreaOf(dst, r), dst.GetColorKey());
    dst.MarkChanged(r);
    return 0;
}

int AddOrSub(CImage& dst, DWORD color, const RECT* rect, bool add)
{
    if (!Is32(dst)) {
        return 1;
    }
    if (color == 0) {
        return 0;
    }
    return OnRows32(dst, rect, [&](const Area& a, DWORD key) {
        if (key != kNoColorKey) {
            (add ? (g_bUseMmx ? AddColorKeyRows32Mmx : AddColorKeyRows32)
                 : (g_bUseMmx ? SubColorKeyRows32Mmx : SubColorKeyRows32))(a.first, a.skip, a.width, a.height,
                                                                           color, key);
        } else {
            (add ? (g_bUseMmx ? AddColorRows32Mmx : AddColorRows32)
                 : (g_bUseMmx ? SubColorRows32Mmx : SubColorRows32))(a.first, a.skip, a.width, a.height, color);
        }
    });
}

// Applies a byte map to the colour bytes of every palette entry and hands the palette back.
template <class Map> void MapPalette(CImage& dst, Map&& map)
{
    uint32_t entries[256];
    std::memcpy(entries, dst.GetPalette(), sizeof entries);
    for (uint32_t& e : entries) {
        uint32_t out = e & 0xFF000000u;
        for (int c = 0; c < 3; ++c) {
            out |= uint32_t(map(c, BYTE(e >> (8 * c)))) << (8 * c);
        }
        e = out;
    }
    dst.SetPaletteEntries(entries, 256, 0);
}

} // namespace

int FillRectAlpha(CImage& dst, BYTE red, BYTE green, BYTE blue, BYTE alpha, const RECT* rect)
{
    if (!Is32(dst)) {
        return 1;
    }
    if (alpha == 0) {
        return 0;
    }
    if (pixel_lib::Loaded()) {
        return pixel_lib::Finish(dst, g_PixelLibFuncs.fillColor(&dst, Pack(red, green, blue), alpha, rect) ? 0 : 1, 2);
    }
    return OnRows32(dst, rect, [&](const Area& a, DWORD key) {
        if (key != kNoColorKey) {
            BlendColorKeyRows32(a.first, dst.GetPitch(), a.width, a.height, Pack(red, green, blue), alpha, key);
        } else {
            BlendColorRows32(a.first, dst.GetPitch(), a.width, a.height, Pack(red, green, blue), alpha);
        }
    });
}

int AddColor(CImage& dst, BYTE red, BYTE green, BYTE blue, const RECT* rect)
{
    return AddOrSub(dst, Pack(red, green, blue), rect, true);
}
int SubColor(CImage& dst, BYTE red, BYTE green, BYTE blue, const RECT* rect)
{
    return AddOrSub(dst, Pack(red, green, blue), rect, false);
}

int PaintThroughMask(CImage& dst, BYTE mode, const CSurface* mask, BYTE level, BYTE red, BYTE green, BYTE blue,
                     LONG x, LONG y, const RECT* maskRect)
{
    if (!dst.GetBits() || !mask || !mask->GetBits()) {
        return 1;
    }
    if (dst.GetBitsPerPixel() != 32 || mask->GetBitsPerPixel() != 8) {
        return 2;
    }
    op_frame::Placement p;
    if (level == 0 || !op_frame::Place(dst, mask, x, y, maskRect, false, nullptr, p)) {
        return 0;
    }
    using Kernel = void (*)(BYTE*, const BYTE*, int, int, int, int, DWORD, const BYTE*);
    static const Kernel kKernels[3][2] = {{PaintMaskRows32, PaintMaskRows32Mmx},
                                          {PaintMaskAddRows32, PaintMaskAddRows32Mmx},
                                          {PaintMaskSubRows32, PaintMaskSubRows32Mmx}};
    if (mode < 3) {
        kKernels[mode][g_bUseMmx ? 1 : 0](p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height,
                                          Pack(red, green, blue), g_MulTable[level]);
    }
    dst.MarkChanged(p.dstRect);
    return 0;
}

int Grayscale(CImage& dst, const RECT* rect)
{
    if (!dst.GetBits()) {
        return 1;
    }
    if (dst.GetBitsPerPixel() == 8) {
        if (rect) {
            return 3;
        }
        const uint32_t* pal = dst.GetPalette();
        if (!pal) {
            return 0;
        }
        BYTE grey[256];
        uint32_t ramp[256];
        for (int i = 0; i < 256; ++i) {
            const uint32_t e = pal[i];
            grey[i] = BYTE((29 * (e & 0xFF) + 150 * ((e >> 8) & 0xFF) + 77 * ((e >> 16) & 0xFF)) >> 8);
            ramp[i] = (e & 0xFF000000u) | uint32_t(i) * 0x010101u;
        }
        for (LONG y = 0; y < dst.GetHeight(); ++y) {
            BYTE* row = dst.GetRowAddress(y);
            for (LONG x = 0; x < dst.GetWidth(); ++x) {
                row[x] = grey[row[x]];
            }
        }
        dst.SetPaletteEntries(ramp, 256, 0);
        dst.ClearColorKey();
        RECT all;
        dst.MarkChanged(*dst.GetBounds(&all));
        return 0;
    }
    if (dst.GetBitsPerPixel() != 32) {
        return 1;
    }
    return OnRows32(dst, rect, [&](const Area& a, DWORD key) {
        if (key != kNoColorKey) {
            GrayKeyRows32(a.first, a.skip, a.width, a.height, key);
        } else {
            (g_bUseMmx ? GrayRows32Mmx : GrayRows32)(a.first, a.skip, a.width, a.height);
        }
    });
}

int Colorize(CImage& dst, int redGain, int greenGain, int blueGain, int redOffset, int greenOffset,
             int blueOffset, const RECT* rect)
{
    auto badGain = [](int g) { return g < 0 || g > 256; };
    auto badOffset = [](int o) { return o < -255 || o > 255; };
    if (badGain(redGain) || badGain(greenGain) || badGain(blueGain) || badOffset(redOffset) ||
        badOffset(greenOffset) || badOffset(blueOffset)) {
        return 3;
    }
    if (!dst.GetBits()) {
        return 1;
    }
    if (dst.GetBitsPerPixel() == 8) {
        if (rect) {
            return 2;
        }
        if (!dst.GetPalette()) {
            return 1;
        }
        const int gain[3] = {blueGain, greenGain, redGain};
        const int offset[3] = {blueOffset, greenOffset, redOffset};
        MapPalette(dst, [&](int c, BYTE v) { return g_ClampTable[((v * gain[c]) >> 7) + offset[c]]; });
        return 0;
    }
    if (dst.GetBitsPerPixel() != 32) {
        return 1;
    }
    return OnRows32(dst, rect, [&](const Area& a, DWORD key) {
        if (key != kNoColorKey) {
            ColorizeKeyRows32(a.first, a.skip, a.width, a.height, redGain, greenGain, blueGain, redOffset,
                              greenOffset, blueOffset, key);
        } else {
            (g_bUseMmx ? ColorizeRows32Mmx : ColorizeRows32)(a.first, a.skip, a.width, a.height, redGain,
                                                             greenGain, blueGain, redOffset, greenOffset,
                                                             blueOffset);
        }
    });
}

int Invert(CImage& dst, BYTE mode, const RECT* rect)
{
    if (!dst.GetBits()) {
        return 1;
    }
    if (dst.GetBitsPerPixel() == 8) {
        if (mode == 0) {
            if (rect) {
                return 2;
            }
            if (!dst.GetPalette()) {
                return 1;
            }
            MapPalette(dst, [](int, BYTE v) { return BYTE(255 - v); });
        } else {
            RECT r;
            if (op_frame::TargetRect(dst, rect, r)) {
                const Area a = AreaOf(dst, r);
                BYTE* p = a.first;
                for (int y = 0; y < a.height; ++y, p += a.skip) {
                    for (int x = 0; x < a.width; ++x, ++p) {
                        *p = BYTE(255 - *p);
                    }
                }
                dst.MarkChanged(r);
            }
        }
        dst.ClearColorKey();
        return 0;
    }
    if (dst.GetBitsPerPixel() != 32) {
        return 1;
    }
    return OnRows32(dst, rect, [&](const Area& a, DWORD key) {
        if (key != kNoColorKey) {
            InvertKeyRows32(a.first, a.skip, a.width, a.height, mode, key);
        } else {
            (g_bUseMmx ? InvertRows32Mmx : InvertRows32)(a.first, a.skip, a.width, a.height, mode);
        }
    });
}

int GradientFill(CImage& dst, BYTE direction, DWORD from, DWORD to, const RECT* rect)
{
    if (direction > 1) {
        return 3;
    }
    const int depth = dst.GetBitsPerPixel();
    if (!dst.GetBits() || (depth != 8 && depth != 32)) {
        return 1;
    }
    RECT r;
    if (!op_frame::TargetRect(dst, rect, r)) {
        return 0;
    }
    const Area a = AreaOf(dst, r);
    const int count = direction == 0 ? a.width : a.height;
    CGradientRamp ramp;
    // A ramp needs two entries; a one-entry rectangle simply takes the start value.
    const uint32_t single = depth == 8 ? (from & 0xFF) : from;
    if (count >= 2 && ramp.Build(count, from, to, uint8_t(depth)) != 0) {
        return 2;
    }
    auto value = [&](int i) -> uint32_t {
        if (count < 2) {
            return single;
        }
        return depth == 8 ? ramp.Bytes()[i] : ramp.Colors()[i];
    };
    const int pitch = dst.GetPitch();
    for (int y = 0; y < a.height; ++y) {
        BYTE* row = a.first + intptr_t(y) * pitch;
        for (int x = 0; x < a.width; ++x) {
            const uint32_t v = value(direction == 0 ? x : y);
            if (depth == 8) {
                row[x] = BYTE(v);
            } else {
                std::memcpy(row + 4 * x, &v, 4);
            }
        }
    }
    dst.ClearColorKey();
    dst.MarkChanged(r);
    return 0;
}

bool AdjustAlphaLevel(CImage& dst, int level, const RECT* rect)
{
    const int depth = dst.GetBitsPerPixel();
    RECT r;
    if (!dst.GetBits() || level < 0 || level >= 512 || (depth != 8 && depth != 32) ||
        !op_frame::TargetRect(dst, rect, r)) {
        return false;
    }
    const Area a = AreaOf(dst, r);
    AdjustAlphaRows(a.first, a.skip, a.width, a.height, depth / 8, level);
    return true;
}

bool ScaleOffsetAlpha(CImage& dst, int gain, int offset, const RECT* rect)
{
    const int depth = dst.GetBitsPerPixel();
    RECT r;
    if (!dst.GetBits() || gain < 0 || gain > 256 || offset < -255 || offset > 255 || (depth != 8 && depth != 32) ||
        !op_frame::TargetRect(dst, rect, r)) {
        return false;
    }
    const Area a = AreaOf(dst, r);
    ScaleOffsetAlphaRows(a.first, a.skip, a.width, a.height, depth / 8, gain, offset);
    return true;
}
