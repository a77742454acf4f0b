// The shared frame of the drawing operations that combine a source surface with a destination
// image: the empty/depth checks, the clip step, the first pixels and skips of the clipped
// rectangles, and the record of what changed. Internal to the raster operations.
#pragma once

#include "raster/image.h"

#include <algorithm>

namespace op_frame {

// 1 when the destination has no pixels, the source is null or has none; 2 when either is not
// 32 bits per pixel; 0 when the pair can be drawn.
inline int CheckPair32(const CImage& dst, const CSurface* src)
{
    if (!dst.GetBits() || !src || !src->GetBits()) {
        return 1;
    }
    return dst.GetBitsPerPixel() == 32 && src->GetBitsPerPixel() == 32 ? 0 : 2;
}

// The clipped rectangles of one call, with the first pixels and skips the kernels take.
struct Placement {
    BYTE* dst = nullptr;
    const BYTE* src = nullptr;
    int dstSkip = 0, srcSkip = 0, srcPitch = 0, width = 0, height = 0;
    RECT dstRect{}, srcRect{};
    StretchState step{};
};

// Runs the clip step of dst (scaled when dstSize is given, with the destination's own size for a
// null dstSize when scaled is set); false when nothing is left to draw.
inline bool Place(CImage& dst, const CSurface* src, LONG x, LONG y, const RECT* srcRect, bool scaled,
                  const SIZE* dstSize, Placement& p)
{
    SIZE whole{dst.GetWidth(), dst.GetHeight()};
    if (scaled && !dstSize) {
        dstSize = &whole;
    }
    if (dst.TransferRect(src, x, y, srcRect, scaled ? dstSize : nullptr, scaled ? &p.step : nullptr, nullptr) !=
        0) {
        return false;
    }
    p.dstRect = dst.TransferDstRect();
    p.srcRect = dst.TransferSrcRect();
    p.width = p.dstRect.right - p.dstRect.left;
    p.height = p.dstRect.bottom - p.dstRect.top;
    if (p.width <= 0 || p.height <= 0) {
        return false;
    }
    const int bpp = src->GetBitsPerPixel() / 8;
    const int dstBpp = dst.GetBitsPerPixel() / 8;
    p.srcPitch = src->GetPitch();
    p.dst = dst.GetBits() + intptr_t(p.dstRect.top) * dst.GetPitch() + intptr_t(p.dstRect.left) * dstBpp;
    p.src = src->GetBits() + intptr_t(p.srcRect.top) * p.srcPitch + intptr_t(p.srcRect.left) * bpp;
    p.dstSkip = dst.GetPitch() - p.width * dstBpp;
    p.srcSkip = p.srcPitch - p.width * bpp;
    return true;
}

// A destination rectangle for the fill-type operations: null = the clip rectangle; a given one
// is cut to the clip rectangle. False when nothing is left.
inline bool TargetRect(const CImage& dst, const RECT* rect, RECT& out)
{
    if (!rect) {
        out = dst.ClipRect();
    } else {
        out = *rect;
        if (!dst.ClipRectToBounds(&out)) {
            return false;
        }
    }
    return out.left < out.right && out.top < out.bottom;
}

// The source's clip rectangle kept inside its bounds.
inline RECT SourceClip(const CSurface* src)
{
    RECT r = src->ClipRect();
    r.left = std::max<LONG>(r.left, 0);
    r.top = std::max<LONG>(r.top, 0);
    r.right = std::min<LONG>(r.right, src->GetWidth());
    r.bottom = std::min<LONG>(r.bottom, src->GetHeight());
    return r;
}

} // namespace op_frame
