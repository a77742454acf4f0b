// Filter operations (see blur_ops.h).
#include "raster/blur_ops.h"

#include "platform/cpu_info.h"
#include "raster/blend_mode_ops.h"
#include "raster/blur_kernels.h"
#include "raster/compose_ops.h"
#include "raster/kernels8.h"
#include "raster/op_frame.h"
#include "raster/pixel_ops.h"
#include "winapi/simd_level.h"

namespace {

int BoxBlur(CImage& dst, const CSurface* src, BYTE radius, BYTE level, LONG x, LONG y, const RECT* srcRect,
            bool byAlpha)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    op_frame::Placement p;
    if (level == 0 || !op_frame::Place(dst, src, x, y, srcRect, false, nullptr, p)) {
        return 0;
    }
    const int r = radius > 127 ? 127 : radius;
    const int left = p.srcRect.left;
    const int right = src->GetWidth() - left - 1;
    const bool simd = g_bUseMmx && UseSse2();
    if (byAlpha) {
        (simd ? BlurBlendAlphaRows32Mmx : BlurBlendAlphaRows32)(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height,
                                                                left, right, r, level);
    } else if (level == 255) {
        (simd ? BlurBlendRows32Mmx : BlurBlendRows32)(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height, left,
                                                      right, r, level);
    } else {
        (simd ? BlurBlendLevelRows32Mmx : BlurBlendLevelRows32)(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height,
                                                                left, right, r, level);
    }
    dst.MarkChanged(p.dstRect);
    return 0;
}

} // namespace

int BlurBlend(CImage& dst, const CSurface* src, BYTE radius, BYTE level, LONG x, LONG y, const RECT* srcRect)
{
    if (radius == 0) {
        return MixChannels(dst, src, DWORD(255 - level) * 0x010101u, DWORD(level) * 0x010101u, x, y, srcRect);
    }
    return BoxBlur(dst, src, radius, level, x, y, srcRect, false);
}

int BlurBlendOver(CImage& dst, const CImage* under, const RECT& underRect, const CSurface* src, BYTE radius,
                  BYTE level, LONG x, LONG y, const RECT* srcRect)
{
    // One pass (the blurred colour blended over under's pixels, written to dst) where under is a
    // plain 32-bit picture holding the whole rectangle and the placement cuts nothing off.
    const int64_t w = int64_t(underRect.right) - underRect.left, h = int64_t(underRect.bottom) - underRect.top;
    op_frame::Placement p;
    if (radius != 0 && level != 0 && level != 255 && g_bUseMmx && UseSse2() && under && under->GetBits() &&
        under->GetBitsPerPixel() == 32 && under->GetColorKey() == kNoColorKey && under != &dst &&
        src != static_cast<const CSurface*>(&dst) && op_frame::CheckPair32(dst, src) == 0 && underRect.left >= 0 &&
        underRect.top >= 0 && w > 0 && h > 0 && underRect.right <= under->GetWidth() &&
        underRect.bottom <= under->GetHeight() && op_frame::Place(dst, src, x, y, srcRect, false, nullptr, p) &&
        p.dstRect.left == x && p.dstRect.top == y && p.width == w && p.height == h) {
        const BYTE* below = under->GetBits() + intptr_t(underRect.top) * under->GetPitch() + intptr_t(underRect.left) * 4;
        const int r = radius > 127 ? 127 : radius;
        BlurBlendLevelOverRows32Mmx(p.dst, below, p.dstSkip, under->GetPitch() - p.width * 4, p.src, p.srcSkip, p.width,
                                    p.height, p.srcRect.left, src->GetWidth() - p.srcRect.left - 1, r, level);
        dst.MarkChanged(p.dstRect);
        return 0;
    }
    if (const int copied = dst.Copy(under, x, y, &underRect, false); copied != 0) {
        return copied;
    }
    return BlurBlend(dst, src, radius, level, x, y, srcRect);
}

int BlurBlendAlpha(CImage& dst, const CSurface* src, BYTE radius, BYTE level, LONG x, LONG y, const RECT* srcRect)
{
    if (radius == 0) {
        return BlendAlphaTable(dst, 0, src, level, x, y, srcRect);
    }
    return BoxBlur(dst, src, radius, level, x, y, srcRect, true);
}

int Blur(CImage& dst, BYTE mode, const RECT* rect)
{
    const int depth = dst.GetBitsPerPixel();
    if (!dst.GetBits() || (depth != 8 && depth != 32)) {
        return 1;
    }
    RECT r;
    if (!op_frame::TargetRect(dst, rect, r)) {
        return 0;
    }
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w < 4 || h < 4) {
        return 2;
    }
    const int pitch = dst.GetPitch();
    BYTE* first = dst.GetBits() + intptr_t(r.top) * pitch + intptr_t(r.left) * (depth / 8);
    if (depth == 32) {
        if (int res = BlurRows32(first, pitch, w, h, mode)) {
            return res;
        }
    } else {
        switch (SmoothPlane8(first, pitch - w, pitch, w, h)) {
        case 0: break;
        case 1: return 2;
        default: return 3;
        }
    }
    dst.ClearColorKey();
    dst.MarkChanged(r);
    return 0;
}

int Mosaic(CImage& dst, DWORD blockSize, BYTE alignment, const RECT* rect)
{
    const int depth = dst.GetBitsPerPixel();
    if (!dst.GetBits() || (depth != 8 && depth != 32)) {
        return 1;
    }
    RECT r;
    if (!op_frame::TargetRect(dst, rect, r)) {
        return 0;
    }
    const int w = r.right - r.left, h = r.bottom - r.top;
    // Any block at least as large as the rectangle is one block; keep the size a positive int.
    const int n = blockSize > 0x40000000u ? 0x40000000 : int(blockSize);
    if (n < 2 || w < 3 || h < 3) {
        return 0;
    }
    if (depth == 32) {
        RECT bounds;
        dst.GetBounds(&bounds);
        MosaicPixels(32, dst.GetBits(), dst.GetPitch(), &bounds, &r, n, alignment);
    } else {
        const int pitch = dst.GetPitch();
        MosaicPlane8(dst.GetBits() + intptr_t(r.top) * pitch + r.left, pitch - w, pitch, w, h, n, alignment);
    }
    dst.ClearColorKey();
    dst.MarkChanged(r);
    return 0;
}
