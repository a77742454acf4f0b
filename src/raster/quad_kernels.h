// Scanline kernels of the quadrilateral mapping: affine texture mapping of a source quadrilateral
// onto a destination quadrilateral of 32-bit pixels (plain copy, keyed copy, blend by source alpha
// at a level). Quadrilaterals are four points in the order top-left, top-right, bottom-left,
// bottom-right of the rectangle they image; the outline runs TL, TR, BR, BL.
//
// Coverage and sampling (our choice where the rule is open):
// - The destination is scanned from the top vertex down, along a left and a right chain of the
//   outline; rows are half-open [top, bottom) and each row's span half-open [left x, right x), the
//   edges' x taken at (k + 1) / n of an edge of n rows for its row k. Quads that share an edge so
//   neither overlap nor leave gaps.
// - Source positions are interpolated exactly (64/128-bit quotient and remainder, no rounding
//   drift). Edge flag 0: the first and the last row of an edge, and the first and the last pixel of
//   a span, land exactly on the source quad's points (step = extent / (count - 1)); edge flag 1:
//   the step is extent / count. So right-angle turns and zoom 1 copy pixels exactly.
// - All edge arithmetic is 64-bit (128-bit products), rows are limited to the clip rectangle
//   before any work, and texels outside the source clip rectangle leave the destination pixel, so
//   no point, however far out, degenerate or crossed, makes a kernel touch memory outside the two
//   pictures.
#pragma once

#include "winapi/base.h"

#include <cstdint>

// A source picture as the kernels read it: pixels, pitch and the rectangle texels may come from
// (the source's clip rectangle, inside its bounds).
struct QuadSource {
    const BYTE* bits;
    int pitch;
    RECT clip;
};
// The destination: pixels, pitch and the clip rectangle (inside its bounds).
struct QuadTarget {
    BYTE* bits;
    int pitch;
    RECT clip;
};

// Orders points by y, then x; the comparison of the vertex sort (negative, 0, positive).
int CompareQuadVertices(const POINT& a, const POINT& b);

void MapQuadRows32(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad, const POINT* srcQuad,
                   int edgeFlag);
// As filling fill (inside the target's pixels) with colour, then MapQuadRows32, in one pass: the
// pixels the mapping draws are not filled first.
void MapQuadOnColourRows32(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad,
                           const POINT* srcQuad, int edgeFlag, const RECT& fill, DWORD colour);
// Skips texels equal to key (all 32 bits).
void MapQuadKeyRows32(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad, const POINT* srcQuad,
                      int edgeFlag, DWORD key);
// Per pixel: e = levels[sA] (levels = row `level` of the multiply table), f = its opacity factor,
// each colour byte d + floor((s - d) f / 256); destination alpha kept. The SSE2 twin gives the same.
void MapQuadBlendRows32(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad, const POINT* srcQuad,
                        int edgeFlag, const BYTE* levels);
void MapQuadBlendRows32Mmx(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad,
                           const POINT* srcQuad, int edgeFlag, const BYTE* levels);

// The mapping's coverage and texel positions for pixel rules of the caller's (the pixel
// library's modes and its bilinear filter). Per visible row: Cover gets the covered span [x0, x1)
// cut to the destination clip; Texels gets the part of it whose texels lie inside the source clip,
// as the first destination pixel and the texels gathered into a buffer, nearest or bilinear (the
// four texels around the position, neighbours beyond the source clip clamped to its edge).
// A sink whose rule is a plain copy says so (Copies): the texels are then sampled straight into
// the destination and Texels is not called.
class QuadSpanSink {
public:
    virtual ~QuadSpanSink() = default;
    virtual void Cover(int y, int x0, int x1) = 0;
    virtual void Texels(BYTE* dst, const uint32_t* texels, int count) = 0;
    virtual bool Copies() const { return false; }
    // A copying sink hears of each stretch sampled straight into the destination, before it is.
    virtual void Direct(BYTE* /*dst*/, int /*count*/) {}
};
// simd: the AVX2 sampler may run (where the level allows it); the samples are the same.
// Bilinear runs take sixteen pixels a step where UseAvx512Bw() holds.
void MapQuadGatherRows32(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad, const POINT* srcQuad,
                         int edgeFlag, bool bilinear, bool simd, QuadSpanSink& sink);
