// Smooth scaled copies (see scale_ops.h).
#include "raster/scale_ops.h"

#include "platform/cpu_info.h"
#include "raster/blur_kernels.h"
#include "raster/kernels8.h"
#include "raster/op_frame.h"
#include "raster/row_kernels.h"
#include "winapi/simd_level.h"

#include <algorithm>

namespace {

// The source's palette, or the grey ramp for a source without one.
const uint32_t* PaletteOf(const CSurface* src, uint32_t* grey)
{
    if (auto* dib = dynamic_cast<const CDibSurface*>(src)) {
        if (const uint32_t* pal = dib->GetPalette()) {
            return pal;
        }
    }
    for (uint32_t i = 0; i < 256; ++i) {
        grey[i] = i * 0x010101u;
    }
    return grey;
}

bool DepthPairServed(int srcBpp, int dstBpp) { return dstBpp == 32 ? srcBpp == 32 || srcBpp == 8 : srcBpp == 8 && dstBpp == 8; }

// A copy (scaled when dstSize is given) that ignores the source's colour key; drawn receives the
// rectangle written (left empty when nothing is).
int CopyIgnoringKey(CImage& dst, const CSurface* src, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect,
                    RECT& drawn)
{
    op_frame::Placement p;
    if (!op_frame::Place(dst, src, x, y, srcRect, dstSize != nullptr, dstSize, p)) {
        return 0;
    }
    const int sb = src->GetBitsPerPixel(), db = dst.GetBitsPerPixel();
    uint32_t grey[256];
    if (db == 32 && sb == 32) {
        if (dstSize) {
            (g_bUseMmx ? CopyRows32ScaledMmx : CopyRows32Scaled)(p.dst, p.src, p.dstSkip, p.srcPitch, p.width,
                                                                 p.height, p.step);
        } else {
            (g_bUseMmx ? CopyRows32Mmx : CopyRows32)(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height);
        }
    } else if (db == 32) {
        const uint32_t* pal = PaletteOf(src, grey);
        if (dstSize) {
            PaletteRows32Scaled(p.dst, p.src, p.dstSkip, p.srcPitch, p.width, p.height, p.step, pal);
        } else {
            PaletteRows32(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height, pal);
        }
    } else if (dstSize) {
        ScaledCopyRows8(p.dst, p.src, p.dstSkip, p.srcPitch, p.width, p.height, p.step);
    } else {
        CopyRows(p.dst, p.src, p.dstSkip, p.srcSkip, 1, p.width, p.height);
    }
    drawn = p.dstRect;
    return 0;
}

} // namespace

int SmoothStretchCopy(CImage& dst, const CSurface* src, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect)
{
    // Left as it is when nothing was drawn (a right edge left of the left one, which no drawing gives).
    constexpr RECT kUntouched{0, 0, -1, -1};
    RECT drawn = kUntouched;
    const int result = SmoothStretchDraw(dst, src, dstSize, x, y, srcRect, drawn);
    if (drawn.right != kUntouched.right || drawn.left != kUntouched.left) {
        dst.MarkChanged(drawn);
    }
    return result;
}

int SmoothStretchDraw(CImage& dst, const CSurface* src, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect,
                      RECT& drawn)
{
    if (!dst.GetBits() || !src || !src->GetBits()) {
        return 1;
    }
    const int sb = src->GetBitsPerPixel(), db = dst.GetBitsPerPixel();
    if (!DepthPairServed(sb, db)) {
        return 2;
    }
    RECT s;
    if (srcRect) {
        // An inverted rectangle is taken by its extent; it is then cut to the source.
        s = RECT{std::min(srcRect->left, srcRect->right), std::min(srcRect->top, srcRect->bottom),
                 std::max(srcRect->left, srcRect->right), std::max(srcRect->top, srcRect->bottom)};
    } else {
        src->GetBounds(&s);
    }
    s.left = std::max<LONG>(s.left, 0);
    s.top = std::max<LONG>(s.top, 0);
    s.right = std::min(s.right, src->GetWidth());
    s.bottom = std::min(s.bottom, src->GetHeight());
    const SIZE size = dstSize ? *dstSize : SIZE{dst.GetWidth(), dst.GetHeight()};
    if (s.left >= s.right || s.top >= s.bottom || size.cx <= 0 || size.cy <= 0) {
        return 0;
    }
    const uint32_t sw = uint32_t(s.right - s.left), sh = uint32_t(s.bottom - s.top);
    if (uint32_t(size.cx) == sw && uint32_t(size.cy) == sh) {
        return CopyIgnoringKey(dst, src, nullptr, x, y, &s, drawn);
    }
    if (sw <= 1 || sh <= 1 || uint32_t(size.cx) <= sw / 2 || uint32_t(size.cy) <= sh / 2) {
        return CopyIgnoringKey(dst, src, &size, x, y, &s, drawn);
    }
    // Bilinear: sampling inside the rectangle shrunk by one keeps the right and lower neighbours
    // that the kernels read inside the given one.
    RECT b{s.left, s.top, s.right - 1, s.bottom - 1};
    RECT a{x, y, LONG(int64_t(x) + size.cx), LONG(int64_t(y) + size.cy)};
    if (int64_t(x) + size.cx > INT32_MAX || int64_t(y) + size.cy > INT32_MAX) {
        return 0;
    }
    RECT bounds;
    src->GetBounds(&bounds);
    StretchSteps steps;
    if (!dst.MapStretchRects(&a, &b, &bounds, &steps)) {
        return 0;
    }
    const int w = a.right - a.left, h = a.bottom - a.top;
    const int dstPitch = dst.GetPitch();
    BYTE* d = dst.GetBits() + intptr_t(a.top) * dstPitch + intptr_t(a.left) * (db / 8);
    const BYTE* sp = src->GetBits() + intptr_t(b.top) * src->GetPitch() + intptr_t(b.left) * (sb / 8);
    uint32_t grey[256];
    if (db == 32 && sb == 32) {
        if (g_bUseMmx && UseAvx2() && src->GetWidth() < (1 << 28)) {
            SmoothRows32Avx2(d, sp, dstPitch - 4 * w, src->GetPitch(), w, h, steps);
        } else {
            (g_bUseMmx ? SmoothRows32Mmx : SmoothRows32)(d, sp, dstPitch - 4 * w, src->GetPitch(), w, h, steps);
        }
    } else if (db == 32) {
        (g_bUseMmx ? SmoothPalRows32Mmx : SmoothPalRows32)(d, sp, dstPitch - 4 * w, src->GetPitch(), w, h, steps,
                                                           PaletteOf(src, grey));
    } else {
        BilinearScaleRows8(d, sp, dstPitch - w, src->GetPitch(), w, h, steps);
    }
    drawn = a;
    return 0;
}
