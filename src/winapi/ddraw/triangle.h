// One opaque textured triangle by Direct3D 7's rules (pixel centres at integers, top-left fill,
// affine coordinates, clamped point or bilinear sampling): the general per-pixel path, and the
// single-pixel ownership and shading that the quad rows fall back on, so both give the same
// pixels. Internal to winapi.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "winapi/ddraw/pixel_format.h"
#include "winapi/ddraw/surface_access.h"

namespace winapi::ddraw {

// A pre-transformed vertex with one pair of texture coordinates (D3DFVF_XYZRHW | D3DFVF_TEX1).
struct TLVertex {
    float x, y, z, rhw, u, v;
};

// Whether the triangle a, b, c covers fewer pixels than texels of a tw x th texture, so that the
// minification filter rules its pixels rather than the magnification one.
bool Minifies(const TLVertex& a, const TLVertex& b, const TLVertex& c, LONG tw, LONG th);

// Bilinear weights in fixed point: a position's fraction is rounded to kWeightBits bits, so that
// one channel mixes exactly in 32-bit integers and positions a few units in the last place apart
// give the same weight unless they straddle a rounding edge.
constexpr int kWeightBits = 11;
constexpr int32_t kWeightOne = 1 << kWeightBits;

// A bilinear texel position s (0..size - 1) as its left texel and the weight of the next one.
struct WeightedTexel {
    LONG texel;
    int32_t weight;  // 0..kWeightOne - 1
};
inline WeightedTexel Weighted(double s)
{
    const auto fixed = static_cast<int64_t>(s * kWeightOne + 0.5);
    return {static_cast<LONG>(fixed >> kWeightBits), static_cast<int32_t>(fixed & (kWeightOne - 1))};
}
// The four texels around texture coordinates (u, v) (0..1 over a width x height texture) and
// their weights: the position u * width - 0.5 (0 when not finite) clamped to the texture.
struct BilinearTexels {
    LONG x0, x1, y0, y1;
    int32_t wu, wv;  // weights of x1 and y1
};
inline BilinearTexels BilinearAt(double u, double v, LONG width, LONG height)
{
    double su = u * width - 0.5, sv = v * height - 0.5;
    su = std::isfinite(su) ? std::clamp(su, 0.0, width - 1.0) : 0.0;
    sv = std::isfinite(sv) ? std::clamp(sv, 0.0, height - 1.0) : 0.0;
    const WeightedTexel across = Weighted(su), down = Weighted(sv);
    return {across.texel, std::min<LONG>(across.texel + 1, width - 1), down.texel,
            std::min<LONG>(down.texel + 1, height - 1), across.weight, down.weight};
}
// Mixing along a row: a * (one - w) + b * w, up to 255 * kWeightOne.
inline int32_t MixAcross(int32_t a, int32_t b, int32_t w) { return a * (kWeightOne - w) + b * w; }
// Two mixed rows down, rounded to a channel.
inline int MixDown(int32_t top, int32_t bottom, int32_t w)
{
    return (top * (kWeightOne - w) + bottom * w + (1 << (2 * kWeightBits - 1))) >> (2 * kWeightBits);
}
// One channel of the four texels.
inline int Mix(int c00, int c01, int c10, int c11, const BilinearTexels& t)
{
    return MixDown(MixAcross(c00, c01, t.wu), MixAcross(c10, c11, t.wu), t.wv);
}

// A texture and its sampling.
class Sampler {
public:
    Sampler(const SurfaceMemory& texture, bool linear);
    // The widened channels at texture coordinates (u, v), 0..1 over the texture: point = the
    // texel floor(u * width), bilinear = the four texels around u * width - 0.5 (weights rounded
    // to kWeightBits); clamped.
    void Sample(double u, double v, int rgb[3]) const;
    const BYTE* Texel(LONG x, LONG y) const { return m_pixels + static_cast<ptrdiff_t>(y) * m_pitch + x * m_from.bytes; }
    const PixelFormat& Format() const { return m_from; }
    const BYTE* Pixels() const { return m_pixels; }
    LONG Pitch() const { return m_pitch; }
    LONG Width() const { return m_width; }
    LONG Height() const { return m_height; }
    bool Linear() const { return m_linear; }

private:
    const BYTE* m_pixels;
    LONG m_pitch;
    LONG m_width;
    LONG m_height;
    PixelFormat m_from;
    bool m_linear;
};

class Triangle {
public:
    // The triangle a, b, c over a target of width x height (either winding).
    Triangle(const TLVertex& a, const TLVertex& b, const TLVertex& c, LONG width, LONG height);
    // The same, its pixels cut to the clip rectangle (inside the target).
    Triangle(const TLVertex& a, const TLVertex& b, const TLVertex& c, const RECT& clip);
    // False when its area is zero or not finite: it owns no pixel.
    bool Drawable() const { return m_drawable; }
    // The pixels it may own: columns x0..x1-1 and rows y0..y1-1, within the target.
    LONG X0() const { return m_x0; }
    LONG X1() const { return m_x1; }
    LONG Y0() const { return m_y0; }
    LONG Y1() const { return m_y1; }
    // Whether edge i (0: b->c, 1: c->a, 2: a->b) owns pixel (x, y): the pixel is inside it, or on
    // it and the edge is a top or left one. Along a row the answer changes at most once: from
    // false to true when the edge runs up (RunsUp), the other way when it runs down; an edge that
    // runs neither way gives the same answer along the row, and a vertical one on every row.
    bool EdgeOwns(int i, LONG x, LONG y) const
    {
        const double e = RowPart(i, y) - ColumnPart(i, x);
        if (e > 0)
            return true;
        if (e < 0)
            return false;
        return m_edges[i].topLeft;
    }
    bool RunsUp(int i) const { return m_edges[i].dy < 0; }
    bool Horizontal(int i) const { return m_edges[i].dy == 0; }
    bool Vertical(int i) const { return m_edges[i].dx == 0; }
    bool Owns(LONG x, LONG y) const;
    // Edge i's value at (x, y) is RowPart(i, y) - ColumnPart(i, x); weight i (of vertex i) is
    // that value / Area(), and the pixel's u is (weight 0 * U(0) + weight 1 * U(1)) + weight 2 * U(2).
    double RowPart(int i, LONG y) const { return m_edges[i].dx * (static_cast<double>(y) - m_edges[i].ay); }
    double ColumnPart(int i, LONG x) const { return m_edges[i].dy * (static_cast<double>(x) - m_edges[i].ax); }
    double Area() const { return m_area; }
    // Which of the given vertices (0 a, 1 b, 2 c) is vertex k here (b and c swap for the winding).
    int Given(int k) const { return m_given[k]; }
    // The three weights of pixel (x, y) (edge value / area, by vertex k); true when it is owned.
    bool Weights(LONG x, LONG y, double w[3]) const
    {
        double e[3];
        const bool owns = Edges(x, y, e);
        w[0] = e[0] / m_area;
        w[1] = e[1] / m_area;
        w[2] = e[2] / m_area;
        return owns;
    }
    float U(int k) const { return m_v[k]->u; }
    float V(int k) const { return m_v[k]->v; }
    // The colour of pixel (x, y), as the triangle draws it.
    void Shade(LONG x, LONG y, const Sampler& sampler, int rgb[3]) const;
    // Every pixel it owns, shaded and written into target.
    void Draw(const SurfaceMemory& target, const Sampler& sampler) const;

private:
    // The three edge values at pixel (x, y); true when the triangle owns it.
    bool Edges(LONG x, LONG y, double e[3]) const;
    void ShadeEdges(const double e[3], const Sampler& sampler, int rgb[3]) const;

    // Edge from (ax, ay) by (dx, dy): its value at p is dx * (py - ay) - dy * (px - ax), positive inside.
    struct Line {
        double ax, ay, dx, dy;
        bool topLeft;  // owns the pixels on it
    };

    void Setup(const RECT& clip);

    const TLVertex* m_v[3];
    int m_given[3] = {0, 1, 2};
    Line m_edges[3]{};
    double m_area = 0;
    bool m_drawable = false;
    LONG m_x0 = 0, m_x1 = 0, m_y0 = 0, m_y1 = 0;
};

} // namespace winapi::ddraw
