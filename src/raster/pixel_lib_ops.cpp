// The pixel-library operations (see pixel_lib_ops.h).
#include "raster/pixel_lib_ops.h"

#include "raster/pixel_lib_handoff.h"

#include <initializer_list>

namespace {

bool Is32(const CSurface* s)
{
    return s->GetBitsPerPixel() == 32;
}

// The checks of the operations with sources: 1, 2 or 0 when the call may go ahead.
int CheckSources(const CImage& dst, std::initializer_list<const CSurface*> sources)
{
    if (!dst.GetBits()) {
        return 1;
    }
    for (const CSurface* s : sources) {
        if (!s || !s->GetBits()) {
            return 1;
        }
    }
    if (!Is32(&dst) || !pixel_lib::Loaded()) {
        return 2;
    }
    for (const CSurface* s : sources) {
        if (!Is32(s)) {
            return 2;
        }
    }
    return 0;
}

// A truth-valued entry's answer as the operations' codes.
int Truth(CImage& dst, bool ok, int failure)
{
    return pixel_lib::Finish(dst, ok ? 0 : 1, failure);
}

} // namespace

int PixelLibOp5(CImage& dst, DWORD color, DWORD level, DWORD mode, const RECT* rect)
{
    if (!dst.GetBits() || !Is32(&dst)) {
        return 1;
    }
    if ((level & 0xFF) == 0) {
        return 0;
    }
    if (!pixel_lib::Loaded()) {
        return 2;
    }
    return Truth(dst, g_PixelLibFuncs.fillColorMode(&dst, color, level, rect, mode), 3);
}

int PixelLibOp7(CImage& dst, BYTE alpha, const RECT* rect)
{
    if (!dst.GetBits() || !Is32(&dst)) {
        return 1;
    }
    if (!pixel_lib::Loaded()) {
        return 2;
    }
    return Truth(dst, g_PixelLibFuncs.fillAlpha(&dst, alpha, rect), 3);
}

int PixelLibBlend(CImage& dst, const CSurface* src, DWORD mode, DWORD opacity, DWORD a4, LONG x, LONG y,
                  const RECT* srcRect)
{
    if (int r = CheckSources(dst, {src})) {
        return r;
    }
    return pixel_lib::Finish(dst, g_PixelLibFuncs.blend(&dst, src, x, y, srcRect, mode, opacity, a4), 3);
}

int PixelLibStretchCopy(CImage& dst, const CSurface* src, DWORD mode, DWORD filter, DWORD opacity, DWORD a5,
                        const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect)
{
    if (int r = CheckSources(dst, {src})) {
        return r;
    }
    return pixel_lib::Finish(
        dst, g_PixelLibFuncs.stretchBlend(&dst, src, dstSize, x, y, srcRect, mode, filter, opacity, a5), 3);
}

int PixelLibOp11(CImage& dst, const CSurface* src, const PixelLibPoint* corners, const RECT* srcRect,
                 DWORD mode, DWORD filter, DWORD opacity, DWORD a7, DWORD clear, DWORD fill, RECT* outRect)
{
    if (int r = CheckSources(dst, {src})) {
        return r;
    }
    return pixel_lib::Finish(dst,
                             g_PixelLibFuncs.drawQuad(&dst, src, corners, srcRect, mode, filter, opacity, a7,
                                                      clear, fill, outRect),
                             3);
}

int PixelLibOp12(CImage& dst, const CSurface* src, const PixelLibTransform* transform, const RECT* srcRect,
                 DWORD mode, DWORD filter, DWORD opacity, DWORD a7, DWORD clear, DWORD fill, RECT* outRect)
{
    if (int r = CheckSources(dst, {src})) {
        return r;
    }
    return pixel_lib::Finish(dst,
                             g_PixelLibFuncs.drawTransformed(&dst, src, transform, srcRect, mode, filter,
                                                             opacity, a7, clear, fill, outRect),
                             3);
}

int PixelLibOp13(CImage& dst, DWORD a1, DWORD a2, DWORD a3, DWORD a4)
{
    if (!dst.GetBits()) {
        return 1;
    }
    if (!Is32(&dst) || !pixel_lib::Loaded()) {
        return 2;
    }
    return Truth(dst, g_PixelLibFuncs.op13(&dst, a1, a2, a3, a4), 3);
}

int PixelLibOp14(CImage& dst, const RECT* rect)
{
    if (!dst.GetBits() || !pixel_lib::Loaded()) {
        return 1;
    }
    return Truth(dst, (Is32(&dst) ? g_PixelLibFuncs.mirror32 : g_PixelLibFuncs.mirror8)(&dst, rect), 2);
}

int PixelLibOp16(CImage& dst, const RECT* rect)
{
    if (!dst.GetBits() || !pixel_lib::Loaded()) {
        return 1;
    }
    return Truth(dst, (Is32(&dst) ? g_PixelLibFuncs.flip32 : g_PixelLibFuncs.flip8)(&dst, rect), 2);
}

bool PixelLibOp21(CImage& dst, BYTE a1)
{
    if (!dst.GetBits() || !Is32(&dst) || !pixel_lib::Loaded()) {
        return false;
    }
    return Truth(dst, (a1 ? g_PixelLibFuncs.op22 : g_PixelLibFuncs.op21)(&dst), 1) == 0;
}

bool PixelLibOp23(CImage& dst, DWORD a1)
{
    if (!dst.GetBits() || !Is32(&dst) || !pixel_lib::Loaded()) {
        return false;
    }
    return Truth(dst, g_PixelLibFuncs.op23(&dst, a1), 1) == 0;
}

bool PixelLibOp24(CImage& dst, DWORD a1)
{
    if (!dst.GetBits() || !Is32(&dst) || !pixel_lib::Loaded()) {
        return false;
    }
    return Truth(dst, g_PixelLibFuncs.op24(&dst, a1), 1) == 0;
}

int PixelLibOp25(CImage& dst, const CSurface* src1, const CSurface* src2, DWORD opacity, DWORD a4, LONG dx,
                 LONG dy, LONG width, LONG height, LONG s1x, LONG s1y, LONG s2x, LONG s2y)
{
    if (int r = CheckSources(dst, {src1, src2})) {
        return r;
    }
    return pixel_lib::Finish(
        dst,
        g_PixelLibFuncs.crossFade(&dst, src1, src2, opacity, a4, dx, dy, width, height, s1x, s1y, s2x, s2y),
        3);
}

int PixelLibOp26(CImage& dst, const CSurface* src1, const CSurface* src2, const CSurface* rule,
                 DWORD progress, DWORD softness, DWORD a6, LONG dx, LONG dy, LONG width, LONG height,
                 LONG s1x, LONG s1y, LONG s2x, LONG s2y, LONG rx, LONG ry)
{
    if (int r = CheckSources(dst, {src1, src2})) {
        return r;
    }
    return pixel_lib::Finish(dst,
                             g_PixelLibFuncs.ruleFade(&dst, src1, src2, rule, progress, softness, a6, dx, dy,
                                                      width, height, s1x, s1y, s2x, s2y, rx, ry),
                             3);
}
