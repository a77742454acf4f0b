#include "drawing/glyph_blit.h"

#include "drawing/glyph_kernels.h"

#include "platform/cpu_info.h"
#include "raster/blend_tables.h"
#include "raster/color_kernels.h"
#include "raster/mask_kernels.h"
#include "raster/row_kernels.h"

#include <algorithm>

bool ClipGlyphRect(const CSurface* target, int32_t x, int32_t y, uint32_t width, uint32_t height, RECT* out)
{
    const RECT& clip = target->ClipRect();
    const int64_t left = std::max<int64_t>({x, clip.left, 0});
    const int64_t top = std::max<int64_t>({y, clip.top, 0});
    const int64_t right = std::min<int64_t>({int64_t{x} + width, clip.right, target->GetWidth()});
    const int64_t bottom = std::min<int64_t>({int64_t{y} + height, clip.bottom, target->GetHeight()});
    if (right <= left || bottom <= top)
        return false;
    *out = RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
                static_cast<LONG>(bottom)};
    return true;
}

void UniteRect(RECT* into, const RECT& r)
{
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    if (into->right <= into->left || into->bottom <= into->top) {
        *into = r;
        return;
    }
    into->left = std::min(into->left, r.left);
    into->top = std::min(into->top, r.top);
    into->right = std::max(into->right, r.right);
    into->bottom = std::max(into->bottom, r.bottom);
}

namespace {

uint32_t InkAt(const GlyphInk& ink, int row, int column)
{
    if (ink.ramp == nullptr)
        return ink.rgb;
    return ink.ramp[ink.rampStart + (ink.columns ? column : row)] & 0xFFFFFF;
}

} // namespace

bool BlitGlyph(CSurface* target, const CGlyphBitmap& glyph, int32_t x, int32_t y, GlyphBlit kind,
               const GlyphInk& ink, RECT* clipped)
{
    BYTE* bits = target != nullptr ? target->GetBits() : nullptr;
    if (bits == nullptr || glyph.pixels == nullptr)
        return false;
    const int bpp = target->GetBitsPerPixel();
    if (bpp != 32 && (bpp != 8 || kind == GlyphBlit::Coverage32))
        return false;
    uint32_t width = glyph.width, height = glyph.height;
    // A gradient colours only the rows (or columns) its table holds.
    if (ink.ramp != nullptr) {
        const uint32_t room = static_cast<uint32_t>(std::max(0, ink.rampCount - ink.rampStart));
        (ink.columns ? width : height) = std::min(ink.columns ? width : height, room);
    }
    RECT r;
    if (!ClipGlyphRect(target, x, y, width, height, &r))
        return false;
    if (clipped != nullptr)
        *clipped = r;
    const LONG pitch = target->GetPitch();
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int gx = r.left - x, gy = r.top - y;
    const uint8_t* mask = glyph.pixels + static_cast<ptrdiff_t>(gy) * glyph.pitch + gx;
    if (bpp == 32 && kind != GlyphBlit::SolidMask) {
        BYTE* dst = bits + static_cast<ptrdiff_t>(r.top) * pitch + static_cast<ptrdiff_t>(r.left) * 4;
        if (ink.ramp == nullptr) {
            BlendGlyphRows32Best(dst, mask, pitch - 4 * w, static_cast<int>(glyph.pitch) - w, w, h, ink.rgb);
        } else if (ink.columns) {
            const uint32_t* colours = ink.ramp + ink.rampStart + gx;
            if (g_bUseMmx)
                BlendImageByMaskRows32Mmx(dst, mask, pitch - 4 * w, static_cast<int>(glyph.pitch) - w, w, h,
                                          colours, g_MulTable[255]);
            else
                BlendImageByMaskRows32(dst, mask, pitch, static_cast<int>(glyph.pitch), w, h, colours,
                                       g_MulTable[255]);
        } else {
            const uint32_t* colours = ink.ramp + ink.rampStart + gy;
            if (g_bUseMmx)
                BlendColorByMaskRows32Mmx(dst, mask, pitch - 4 * w, static_cast<int>(glyph.pitch) - w, w, h,
                                          colours, g_MulTable[255]);
            else
                BlendColorByMaskRows32(dst, mask, pitch, static_cast<int>(glyph.pitch), w, h, colours,
                                       g_MulTable[255]);
        }
        return true;
    }
    for (int row = 0; row < h; ++row) {
        const uint8_t* m = mask + static_cast<ptrdiff_t>(row) * glyph.pitch;
        BYTE* p =
            bits + static_cast<ptrdiff_t>(r.top + row) * pitch + static_cast<ptrdiff_t>(r.left) * (bpp / 8);
        for (int col = 0; col < w; ++col) {
            const unsigned coverage = m[col];
            const uint32_t colour = InkAt(ink, gy + row, gx + col);
            if (kind == GlyphBlit::SolidMask) {
                if (coverage < 128)
                    continue;
                if (bpp == 32) {
                    const uint32_t v = colour;
                    std::copy_n(reinterpret_cast<const BYTE*>(&v), 4, p + col * 4);
                } else {
                    p[col] = static_cast<BYTE>(colour >> 16);
                }
                continue;
            }
            // 8-bit coverage blend: the index byte mixed like a grey level.
            const BYTE c = static_cast<BYTE>(colour >> 16);
            p[col] = static_cast<BYTE>(g_MulTable[coverage][c] + g_MulTable[255 - coverage][p[col]]);
        }
    }
    return true;
}

void WriteCoverageAlpha(CSurface* target, const CGlyphBitmap& glyph, int32_t x, int32_t y, bool unite)
{
    RECT r;
    if (target == nullptr || target->GetBits() == nullptr || target->GetBitsPerPixel() != 32 ||
        glyph.pixels == nullptr || !ClipGlyphRect(target, x, y, glyph.width, glyph.height, &r))
        return;
    const LONG pitch = target->GetPitch();
    const int w = r.right - r.left, h = r.bottom - r.top;
    BYTE* dst =
        target->GetBits() + static_cast<ptrdiff_t>(r.top) * pitch + static_cast<ptrdiff_t>(r.left) * 4;
    const uint8_t* src = glyph.pixels + static_cast<ptrdiff_t>(r.top - y) * glyph.pitch + (r.left - x);
    WriteCoverageAlphaRows32Best(dst, src, pitch - 4 * w, static_cast<int>(glyph.pitch) - w, w, h, unite);
}

void FillColourKeepAlpha(CSurface* target, const RECT& box, uint32_t rgb)
{
    RECT r;
    if (target == nullptr || target->GetBits() == nullptr || target->GetBitsPerPixel() != 32 ||
        box.right <= box.left || box.bottom <= box.top ||
        !ClipGlyphRect(target, box.left, box.top, static_cast<uint32_t>(int64_t{box.right} - box.left),
                       static_cast<uint32_t>(int64_t{box.bottom} - box.top), &r))
        return;
    for (LONG y = r.top; y < r.bottom; ++y) {
        auto* row =
            reinterpret_cast<uint32_t*>(target->GetBits() + static_cast<ptrdiff_t>(y) * target->GetPitch());
        FillColourKeepAlphaRow32Best(row + r.left, r.right - r.left, rgb);
    }
}
