// Our pixel library's entries: each clips as the raster does, ignores colour keys, refuses
// missing, empty or wrong-depth pictures, runs the raster's kernels (the SIMD twins while
// g_bUseMmx is set) and reports its changed rectangle (empty when nothing changed). Entries never
// call a raster operation that could hand its work back to the library.
#include "raster/pixel_lib_entries.h"

#include "platform/cpu_info.h"
#include "raster/blend_mode_kernels.h"
#include "raster/blend_tables.h"
#include "raster/color_kernels.h"
#include "raster/compose_kernels.h"
#include "raster/compose_ops.h"
#include "raster/kernels8.h"
#include "raster/op_frame.h"
#include "raster/pixel_lib_kernels.h"
#include "raster/pixel_simd.h"
#include "raster/quad_kernels.h"
#include "raster/rotate_ops.h"
#include "raster/scale_ops.h"
#include "winapi/simd_level.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <immintrin.h>

namespace pixel_lib {
namespace {

constexpr RECT kEmpty{0, 0, 0, 0};

bool Empty(const RECT& r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

void Changed(const RECT& r)
{
    g_changed = Empty(r) ? kEmpty : r;
}

bool Has(const CSurface* s, int bpp)
{
    return s && s->GetBits() && s->GetBitsPerPixel() == bpp;
}

BYTE* At(const CSurface* s, LONG x, LONG y)
{
    return s->GetBits() + intptr_t(y) * s->GetPitch() + intptr_t(x) * (s->GetBitsPerPixel() / 8);
}

DWORD Spread(DWORD v)
{
    return v * 0x010101u;
}

// --- the blend modes of entries 9 to 12 ------------------------------------------------------

enum Mode : DWORD { kCrossFade = 0, kByAlpha = 2, kAlphaOnAlpha = 3, kAdd = 4, kSub = 5 };

bool ModeServed(DWORD mode)
{
    return mode == 0 || (mode >= 2 && mode <= 5);
}

// Whether the library's own AVX2 kernels run (the SIMD kernel set on, the level allowing them).
bool Avx2()
{
    return g_bUseMmx != 0 && UseAvx2();
}

// One mode at one opacity (1..255) over rows of gathered or source pixels.
void ApplyMode(DWORD mode, BYTE o, BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int w, int h)
{
    const bool simd = g_bUseMmx != 0;
    const bool avx2 = Avx2();
    switch (mode) {
    case kCrossFade:
        if (o == 255) {
            g_kernels.copyRows(dst, src, dstSkip, srcSkip, w, h);
        } else if (avx2) {
            // The destination is the fade's first source, as the raster's own fade draws it.
            const auto fade = UseAvx512Vbmi() ? CrossFadeRowsAvx512 : CrossFadeRowsAvx2;
            fade(dst, dst, src, dstSkip, dstSkip, srcSkip, w, h, o);
        } else if (simd) {
            CrossFadeRows32Mmx(dst, src, dstSkip, srcSkip, w, h, o);
        } else {
            CrossFadeRows32(dst, src, dstSkip, srcSkip, w, h, Spread(255u - o), Spread(o));
        }
        break;
    case kByAlpha:
        if (o == 255) {
            (simd ? BlendAlphaRows32Mmx : BlendAlphaRows32)(dst, src, dstSkip, srcSkip, w, h);
        } else if (avx2) {
            BlendByLevelRowsAvx2(dst, src, dstSkip, srcSkip, w, h, o);
        } else {
            (simd ? BlendAlphaTableRows32Mmx : BlendAlphaTableRows32)(dst, src, dstSkip, srcSkip, w, h,
                                                                      g_MulTable[o]);
        }
        break;
    case kAlphaOnAlpha:
        if (avx2) {
            AlphaOnAlphaRowsAvx2(dst, src, dstSkip, srcSkip, w, h, o);
        } else {
            (simd ? AlphaOnAlphaRows32Mmx : AlphaOnAlphaRows32)(dst, src, dstSkip, srcSkip, w, h,
                                                                g_MulTable[o]);
        }
        break;
    case kAdd:
        if (simd && w >= 16 && UseAvx512Bw()) {
            AddRowsAvx512(dst, src, dstSkip, srcSkip, w, h, o);
            break;
        }
        (simd ? AddBlendRows32Mmx : AddBlendRows32)(dst, src, dstSkip, srcSkip, w, h, o);
        break;
    case kSub:
        (simd ? SubBlendRows32Mmx : SubBlendRows32)(dst, src, dstSkip, srcSkip, w, h, o);
        break;
    default:
        break;
    }
}

// The scaled twin where one exists; false for the modes drawn from a staged copy.
bool ApplyModeScaled(DWORD mode, BYTE o, BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int w, int h,
                     const StretchState& st)
{
    const bool simd = g_bUseMmx != 0;
    switch (mode) {
    case kCrossFade:
        if (o == 255) {
            (simd ? CopyRows32ScaledMmx : CopyRows32Scaled)(dst, src, dstSkip, srcPitch, w, h, st);
        } else if (simd) {
            CrossFadeRows32MmxScaled(dst, src, dstSkip, srcPitch, w, h, st, o);
        } else {
            CrossFadeRows32Scaled(dst, src, dstSkip, srcPitch, w, h, st, Spread(255u - o), Spread(o));
        }
        return true;
    case kByAlpha:
        if (o == 255) {
            (simd ? BlendAlphaRows32ScaledMmx : BlendAlphaRows32Scaled)(dst, src, dstSkip, srcPitch, w, h,
                                                                        st);
        } else {
            (simd ? BlendAlphaTableRows32MmxScaled : BlendAlphaTableRows32Scaled)(dst, src, dstSkip, srcPitch,
                                                                                  w, h, st, g_MulTable[o]);
        }
        return true;
    case kAlphaOnAlpha:
        (simd ? AlphaOnAlphaRows32MmxScaled : AlphaOnAlphaRows32Scaled)(dst, src, dstSkip, srcPitch, w, h, st,
                                                                        g_MulTable[o]);
        return true;
    default:
        return false;
    }
}

// Byte span [first, last) of a rectangle's rows.
void RowSpan(const CSurface* s, const RECT& r, const BYTE*& first, const BYTE*& last)
{
    const BYTE* a = At(s, r.left, r.top);
    const BYTE* b = At(s, r.right, r.bottom - 1);
    first = std::min(a, b);
    last = std::max(a, b);
}

// Whether the rows of an unscaled placement share memory on both sides, from the first pixels
// and pitches it already holds (the spans RowSpan gives, without asking the pictures again).
bool RowsOverlap(const op_frame::Placement& p)
{
    const ptrdiff_t row = ptrdiff_t(p.width) * 4, rows = p.height - 1;
    const BYTE* d0 = p.dst;
    const BYTE* d1 = p.dst + rows * (p.dstSkip + row) + row;
    const BYTE* s0 = p.src;
    const BYTE* s1 = p.src + rows * (p.srcSkip + row) + row;
    return std::min(s0, s1) < std::max(d0, d1) && std::min<const BYTE*>(d0, d1) < std::max(s0, s1);
}

bool Overlaps(const CSurface* d, const RECT& dr, const CSurface* s, const RECT& sr)
{
    const BYTE *d0, *d1, *s0, *s1;
    RowSpan(d, dr, d0, d1);
    RowSpan(s, sr, s0, s1);
    return s0 < d1 && d0 < s1;
}

// A copy of a source rectangle of 32-bit pixels, read as a picture of its own.
struct Staged {
    std::vector<uint32_t> pixels;
    int pitch = 0;
    void Take(const CSurface* s, const RECT& r)
    {
        const int w = r.right - r.left, h = r.bottom - r.top;
        pixels.resize(size_t(w) * size_t(h));
        pitch = w * 4;
        for (int row = 0; row < h; ++row) {
            std::memcpy(&pixels[size_t(row) * size_t(w)], At(s, r.left, r.top + row), size_t(w) * 4);
        }
    }
    const BYTE* Bits() const { return reinterpret_cast<const BYTE*>(pixels.data()); }
};

// A source rectangle as the kernels read it: in place, or from a copy when it shares memory with
// the destination area.
struct Source {
    Staged staged;
    const BYTE* bits;
    int skip;
    Source(const CSurface* d, const RECT& area, const CSurface* s, const RECT& r)
    {
        const int w = r.right - r.left;
        if (Overlaps(d, area, s, r)) {
            staged.Take(s, r);
            bits = staged.Bits();
            skip = 0;
        } else {
            bits = At(s, r.left, r.top);
            skip = s->GetPitch() - 4 * w;
        }
    }
};

// The bytes of a band of the filtered scaling's work picture: small enough to stay in the
// second-level cache until the mode has laid it over.
constexpr LONG kBandBytes = 256 * 1024;

// The work picture of the filtered scaling, kept for the thread between calls (a new one each call
// cost an allocation and the first touch of every page of it); made anew when the size changes.
// Nothing is tracked in it when handed out.
CImage* WorkPicture(LONG width, LONG height)
{
    thread_local CImage work;
    if (!work.GetBits() || work.GetWidth() != width || work.GetHeight() != height) {
        if (work.Create(width, height, 32, kImageWithTracker) != 0) {
            return nullptr;
        }
    }
    work.GetUpdateRegion()->Reset();
    work.SetChanged(false);
    return &work;
}

// The filtered scaling of Blend (the destination size given): kept apart, so that the frame of
// its work picture and bands is not set up on every unscaled call.
__attribute__((noinline)) int BlendFiltered(CImage* d, const CSurface* s, const SIZE* dstSize, LONG x, LONG y,
                                            const RECT* srcRect, DWORD mode, BYTE o)
{
    // Sampled as the smooth scaled copy: the samples of the destination area are made in a
    // work picture a band of rows at a time, each band laid over by the mode while it is still
    // in the cache.
    RECT area{x, y, LONG(std::min<int64_t>(int64_t(x) + dstSize->cx, INT32_MAX)),
              LONG(std::min<int64_t>(int64_t(y) + dstSize->cy, INT32_MAX))};
    if (!d->ClipRectToBounds(&area) || Empty(area)) {
        return 0;
    }
    const LONG width = area.right - area.left, height = area.bottom - area.top;
    // A source that shares memory with the area is sampled whole before any of it is drawn.
    RECT whole;
    s->GetBounds(&whole);
    const bool overlaps = Overlaps(d, area, s, whole);
    if (mode == kCrossFade && o == 255 && !overlaps) {
        // A plain copy: the samples go straight into the destination.
        RECT drawn = kEmpty;
        if (SmoothStretchDraw(*d, s, dstSize, x, y, srcRect, drawn) != 0) {
            return 2;
        }
        Changed(drawn);
        return 0;
    }
    const LONG bandRows = overlaps
                              ? height
                              : std::min<LONG>(height, std::max<LONG>(8, kBandBytes / (4 * width)));
    CImage* const picture = WorkPicture(width, bandRows);
    if (!picture) {
        return 2;
    }
    CImage& work = *picture;
    RECT changed = kEmpty;
    for (LONG top = area.top; top < area.bottom; top += bandRows) {
        work.GetUpdateRegion()->Reset();
        work.SetChanged(false);
        if (SmoothStretchCopy(work, s, dstSize, x - area.left, y - top, srcRect) != 0) {
            return 2;
        }
        const CUpdateRegion* region = work.GetUpdateRegion();
        if (!work.IsChanged() || !region || !region->BoundsValid()) {
            continue;
        }
        // The last band's picture may reach below the area.
        RECT drawn = region->Bounds();
        drawn.bottom = std::min(drawn.bottom, area.bottom - top);
        if (Empty(drawn)) {
            continue;
        }
        const int w = drawn.right - drawn.left, h = drawn.bottom - drawn.top;
        const RECT out{area.left + drawn.left, top + drawn.top, area.left + drawn.right, top + drawn.bottom};
        ApplyMode(mode, o, At(d, out.left, out.top), At(&work, drawn.left, drawn.top), d->GetPitch() - 4 * w,
                  work.GetPitch() - 4 * w, w, h);
        changed = Empty(changed) ? out
                                 : RECT{std::min(changed.left, out.left), std::min(changed.top, out.top),
                                        std::max(changed.right, out.right), std::max(changed.bottom, out.bottom)};
    }
    Changed(changed);
    return 0;
}

int Blend(CImage* d, const CSurface* s, bool scaled, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect,
          DWORD mode, DWORD filter, DWORD opacity)
{
    Changed(kEmpty);
    if (!Has(d, 32) || !Has(s, 32) || !ModeServed(mode) || opacity > 255) {
        return 1;
    }
    const BYTE o = BYTE(opacity);
    SIZE whole{};
    if (scaled && !dstSize) {
        whole = SIZE{d->GetWidth(), d->GetHeight()};
        dstSize = &whole;
    }
    if (o == 0 || (scaled && (dstSize->cx <= 0 || dstSize->cy <= 0))) {
        return 0;
    }
    if (scaled && (filter & 0xF) != 0) {
        return BlendFiltered(d, s, dstSize, x, y, srcRect, mode, o);
    }
    op_frame::Placement p;
    if (!op_frame::Place(*d, s, x, y, srcRect, scaled, dstSize, p)) {
        return 0;
    }
    Staged staged;
    if (scaled ? Overlaps(d, p.dstRect, s, p.srcRect) : RowsOverlap(p)) {
        staged.Take(s, p.srcRect);
        p.src = staged.Bits();
        p.srcPitch = staged.pitch;
        p.srcSkip = staged.pitch - 4 * p.width;
    }
    if (!scaled) {
        ApplyMode(mode, o, p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height);
    } else if (!ApplyModeScaled(mode, o, p.dst, p.src, p.dstSkip, p.srcPitch, p.width, p.height, p.step)) {
        // Add and subtract have no scaled kernels: the stepped samples are gathered first.
        std::vector<uint32_t> samples(size_t(p.width) * size_t(p.height));
        auto* buffer = reinterpret_cast<BYTE*>(samples.data());
        (g_bUseMmx ? CopyRows32ScaledMmx : CopyRows32Scaled)(buffer, p.src, 0, p.srcPitch, p.width, p.height,
                                                             p.step);
        ApplyMode(mode, o, p.dst, buffer, p.dstSkip, 0, p.width, p.height);
    }
    Changed(p.dstRect);
    return 0;
}

int BlendEntry(CImage* d, const CSurface* s, LONG x, LONG y, const RECT* srcRect, DWORD mode, DWORD opacity,
               DWORD)
{
    return Blend(d, s, false, nullptr, x, y, srcRect, mode, 0, opacity);
}

int StretchBlendEntry(CImage* d, const CSurface* s, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect,
                      DWORD mode, DWORD filter, DWORD opacity, DWORD)
{
    return Blend(d, s, true, dstSize, x, y, srcRect, mode, filter, opacity);
}

// --- entries 11 and 12: a source rectangle onto a parallelogram -------------------------------

using op_frame::SourceClip;

// Rows of the clip rectangle outside the covered spans take the fill value, filled as the rows
// are covered (the spans lie in the rows' order) and the rest by Finish.
class ClearOutside : public QuadSpanSink {
public:
    ClearOutside(CDibSurface* d, const RECT& clip, DWORD mode, BYTE o, bool clear, DWORD fill)
        : m_d(d), m_clip(clip), m_mode(mode), m_o(o), m_clear(clear), m_fill(fill), m_next(clip.top)
    {
    }
    void Cover(int y, int x0, int x1) override
    {
        if (m_clear) {
            FillRows(y);
            Fill(y, m_clip.left, x0);
            Fill(y, x1, m_clip.right);
            m_next = y + 1;
        }
    }
    void Texels(BYTE* dst, const uint32_t* texels, int count) override
    {
        ApplyMode(m_mode, m_o, dst, reinterpret_cast<const BYTE*>(texels), 0, 0, count, 1);
    }
    bool Copies() const override { return m_mode == kCrossFade && m_o == 255; }
    // The rows below the last covered one.
    void Finish() { FillRows(m_clip.bottom); }

private:
    void Fill(LONG y, LONG x0, LONG x1) const
    {
        if (x0 < x1) {
            FillRows32(At(m_d, x0, y), 0, x1 - x0, 1, m_fill);
        }
    }
    // Whole rows from the next unfilled one up to `end`.
    void FillRows(LONG end) const
    {
        const LONG w = m_clip.right - m_clip.left;
        if (m_next < end) {
            FillRows32(At(m_d, m_clip.left, m_next), m_d->GetPitch() - 4 * w, w, end - m_next, m_fill);
        }
    }

    CDibSurface* m_d;
    RECT m_clip;
    DWORD m_mode;
    BYTE m_o;
    bool m_clear;
    DWORD m_fill;
    LONG m_next;
};

// corners: TL, TR, BL of the picture in destination pixels.
int DrawParallelogram(CImage* d, const CSurface* s, const double (*corners)[2], const RECT* srcRect,
                      DWORD mode, DWORD filter, DWORD opacity, DWORD clear, DWORD fill, RECT* outRect)
{
    Changed(kEmpty);
    if (outRect) {
        *outRect = kEmpty;
    }
    if (!Has(d, 32) || !Has(s, 32) || !ModeServed(mode) || opacity > 255) {
        return 1;
    }
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(corners[i][0]) || !std::isfinite(corners[i][1])) {
            return 1;
        }
    }
    const BYTE o = BYTE(opacity);
    const RECT clip = d->ClipRect();
    if (Empty(clip)) {
        return 0;
    }
    // Corners beyond the 32-bit range leave nothing of the picture to draw.
    POINT dq[4];
    const bool fits = ParallelogramQuad(corners, dq);
    RECT sr = srcRect ? *srcRect : SourceClip(s);
    const RECT sc = SourceClip(s);
    sr.left = std::max(sr.left, sc.left);
    sr.top = std::max(sr.top, sc.top);
    sr.right = std::min(sr.right, sc.right);
    sr.bottom = std::min(sr.bottom, sc.bottom);
    const bool draws = fits && !Empty(sr);

    ClearOutside sink(d, clip, mode, o, clear != 0 && o != 0, fill);
    RECT changed = kEmpty;
    if (draws) {
        POINT sq[4];
        RectQuad(sr, sq);
        const QuadTarget target{d->GetBits(), d->GetPitch(), clip};
        const QuadSource source{s->GetBits(), s->GetPitch(), sc};
        // A source sharing memory with the destination is read from a copy of its rectangle.
        Staged staged;
        QuadSource from = source;
        if (Overlaps(d, clip, s, sr)) {
            staged.Take(s, sr);
            from =
                QuadSource{staged.Bits(), staged.pitch, RECT{0, 0, sr.right - sr.left, sr.bottom - sr.top}};
            for (POINT& q : sq) {
                q.x -= sr.left;
                q.y -= sr.top;
            }
        }
        const bool bilinear = (filter & 0xF) != 0;
        if (o == 0) {
            // Nothing drawn; the box is still reported, as the raster's quad mapping records it.
        } else if (!bilinear && clear == 0 && mode == kCrossFade && o == 255) {
            MapQuadRows32(target, from, dq, sq, 0);
        } else if (!bilinear && clear == 0 && mode == kByAlpha) {
            (g_bUseMmx ? MapQuadBlendRows32Mmx : MapQuadBlendRows32)(target, from, dq, sq, 0, g_MulTable[o]);
        } else if (mode == kByAlpha) {
            // The quad blend's rule (by the factor of mul(o, sA)) at every opacity.
            class ByLevel : public QuadSpanSink {
            public:
                ByLevel(ClearOutside& outer, BYTE level) : m_outer(outer), m_level(level) {}
                void Cover(int y, int x0, int x1) override { m_outer.Cover(y, x0, x1); }
                void Texels(BYTE* dst, const uint32_t* texels, int count) override
                {
                    const auto* bytes = reinterpret_cast<const BYTE*>(texels);
                    if (Avx2()) {
                        BlendByLevelRowsAvx2(dst, bytes, 0, 0, count, 1, m_level);
                    } else {
                        (g_bUseMmx ? BlendAlphaTableRows32Mmx
                                   : BlendAlphaTableRows32)(dst, bytes, 0, 0, count, 1, g_MulTable[m_level]);
                    }
                }

            private:
                ClearOutside& m_outer;
                BYTE m_level;
            } byLevel(sink, o);
            MapQuadGatherRows32(target, from, dq, sq, 0, bilinear, g_bUseMmx != 0, byLevel);
        } else {
            MapQuadGatherRows32(target, from, dq, sq, 0, bilinear, g_bUseMmx != 0, sink);
        }
        const auto byX = [](const POINT& a, const POINT& b) { return a.x < b.x; };
        const auto byY = [](const POINT& a, const POINT& b) { return a.y < b.y; };
        changed = RECT{std::min_element(dq, dq + 4, byX)->x, std::min_element(dq, dq + 4, byY)->y,
                       std::max_element(dq, dq + 4, byX)->x, std::max_element(dq, dq + 4, byY)->y};
        if (!d->ClipRectToBounds(&changed) || Empty(changed)) {
            changed = kEmpty;
        }
    }
    if (clear != 0 && o != 0) {
        sink.Finish();
        changed = clip;
    }
    Changed(changed);
    if (outRect) {
        *outRect = g_changed;
    }
    return 0;
}

int DrawQuadEntry(CImage* d, const CSurface* s, const PixelLibPoint* corners, const RECT* srcRect, DWORD mode,
                  DWORD filter, DWORD opacity, DWORD, DWORD clear, DWORD fill, RECT* outRect)
{
    if (!corners) {
        Changed(kEmpty);
        return 1;
    }
    const double c[3][2] = {
        {corners[0].x, corners[0].y}, {corners[1].x, corners[1].y}, {corners[2].x, corners[2].y}};
    return DrawParallelogram(d, s, c, srcRect, mode, filter, opacity, clear, fill, outRect);
}

int DrawTransformedEntry(CImage* d, const CSurface* s, const PixelLibTransform* t, const RECT* srcRect,
                         DWORD mode, DWORD filter, DWORD opacity, DWORD, DWORD clear, DWORD fill,
                         RECT* outRect)
{
    if (!t || !Has(s, 32)) {
        Changed(kEmpty);
        return 1;
    }
    const RECT r = srcRect ? *srcRect : SourceClip(s);
    const double xs[3] = {double(r.left), double(r.right), double(r.left)};
    const double ys[3] = {double(r.top), double(r.top), double(r.bottom)};
    double c[3][2];
    for (int i = 0; i < 3; ++i) {
        c[i][0] = t->m11 * xs[i] + t->m21 * ys[i] + t->tx;
        c[i][1] = t->m12 * xs[i] + t->m22 * ys[i] + t->ty;
    }
    return DrawParallelogram(d, s, c, srcRect, mode, filter, opacity, clear, fill, outRect);
}

// --- fills ---------------------------------------------------------------------------------------

// The area of a fill: null = the clip rectangle, a given one cut to it; false when the picture is
// not of the depth (the area may then be empty: nothing to do, still a success).
bool FillArea(CDibSurface* d, int bpp, const RECT* rect, RECT& area)
{
    Changed(kEmpty);
    if (!Has(d, bpp)) {
        return false;
    }
    area = rect ? *rect : d->ClipRect();
    if (!d->ClipRectToBounds(&area) || Empty(area)) {
        area = kEmpty;
    }
    return true;
}

int Skip32(const CDibSurface* d, const RECT& a)
{
    return d->GetPitch() - 4 * (a.right - a.left);
}

bool Fill32(CDibSurface* d, DWORD value, const RECT* rect)
{
    RECT a;
    if (!FillArea(d, 32, rect, a)) {
        return false;
    }
    if (!Empty(a)) {
        FillRows32(At(d, a.left, a.top), Skip32(d, a), a.right - a.left, a.bottom - a.top, value);
        Changed(a);
    }
    return true;
}

bool Fill8(CDibSurface* d, DWORD index, const RECT* rect)
{
    RECT a;
    if (!FillArea(d, 8, rect, a)) {
        return false;
    }
    const size_t w = size_t(a.right - a.left);
    if (LONG(w) == d->GetPitch()) {
        // Whole rows without a gap between them: one fill.
        std::memset(At(d, a.left, a.top), int(index & 0xFF), w * size_t(a.bottom - a.top));
    } else {
        for (LONG y = a.top; y < a.bottom; ++y) {
            std::memset(At(d, a.left, y), int(index & 0xFF), w);
        }
    }
    Changed(a);
    return true;
}

// Colour bytes := mul(255 - o, d) + mul(c, o), alpha kept; at 255 the colour itself.
bool FillColor(CDibSurface* d, DWORD rgb, DWORD opacity, const RECT* rect)
{
    RECT a;
    if (!FillArea(d, 32, rect, a) || opacity > 255) {
        return false;
    }
    if (opacity == 0 || Empty(a)) {
        Changed(kEmpty);
        return true;
    }
    const int w = a.right - a.left, h = a.bottom - a.top;
    if (opacity == 255) {
        (g_bUseMmx ? FillRgbRows32Mmx : FillRgbRows32)(At(d, a.left, a.top), Skip32(d, a), w, h,
                                                       rgb & 0xFFFFFF);
    } else if (Avx2()) {
        FillColorRowsAvx2(At(d, a.left, a.top), Skip32(d, a), w, h, rgb, BYTE(opacity));
    } else {
        // The cross-fade towards a row of the colour, read again for every row, is this rule
        // (mul(255 - o, d) + mul(o, c) never passes 255) and has a SIMD twin. The row lives on the
        // stack: the area is faded in bands of at most its width.
        constexpr int kBand = 256;
        uint32_t colour[kBand];
        std::fill(colour, colour + std::min(w, kBand), rgb & 0xFFFFFF);
        for (int x = 0; x < w; x += kBand) {
            const int n = std::min(kBand, w - x);
            ApplyMode(kCrossFade, BYTE(opacity), At(d, a.left + x, a.top),
                      reinterpret_cast<const BYTE*>(colour), d->GetPitch() - 4 * n, -4 * n, n, h);
        }
    }
    Changed(a);
    return true;
}

// Mode 0 as FillColor; 1 adds, 2 subtracts floor(c f / 256) with f the level's factor.
bool FillColorMode(CDibSurface* d, DWORD rgb, DWORD level, const RECT* rect, DWORD mode)
{
    if (mode == 0) {
        return FillColor(d, rgb, level, rect);
    }
    RECT a;
    if (!FillArea(d, 32, rect, a) || level > 255 || mode > 2) {
        Changed(kEmpty);
        return false;
    }
    if (level == 0 || Empty(a)) {
        Changed(kEmpty);
        return true;
    }
    const DWORD f = g_OpacityFactors[level][0];
    DWORD scaled = 0;
    for (int c = 0; c < 24; c += 8) {
        scaled |= (((rgb >> c) & 0xFF) * f >> 8) << c;
    }
    const int w = a.right - a.left, h = a.bottom - a.top;
    if (mode == 1) {
        (g_bUseMmx ? AddColorRows32Mmx : AddColorRows32)(At(d, a.left, a.top), Skip32(d, a), w, h, scaled);
    } else {
        (g_bUseMmx ? SubColorRows32Mmx : SubColorRows32)(At(d, a.left, a.top), Skip32(d, a), w, h, scaled);
    }
    Changed(a);
    return true;
}

bool FillAlpha(CDibSurface* d, BYTE alpha, const RECT* rect)
{
    RECT a;
    if (!FillArea(d, 32, rect, a)) {
        return false;
    }
    for (LONG y = a.top; y < a.bottom; ++y) {
        BYTE* p = At(d, a.left, y);
        for (LONG x = a.left; x < a.right; ++x, p += 4) {
            p[3] = alpha;
        }
    }
    Changed(a);
    return true;
}

// --- mirrors and flips ---------------------------------------------------------------------------

// 16 bytes in reverse order, or four pixels (Bpp 4).
template <int Bpp> __m128i Reverse16(__m128i v)
{
    v = _mm_shuffle_epi32(v, 0x1B);
    if (Bpp == 1) {
        v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    }
    return v;
}

// Reverses n pixels in place: 16-byte blocks from both ends swapped while they do not meet, then
// the middle pixel by pixel.
template <int Bpp> void ReverseRow(BYTE* row, int n)
{
    constexpr int kBlock = 16 / Bpp;
    int i = 0, j = n;
    while (j - i >= 2 * kBlock) {
        BYTE* lo = row + i * Bpp;
        BYTE* hi = row + (j - kBlock) * Bpp;
        const __m128i a = pixel_simd::Load4(lo), b = pixel_simd::Load4(hi);
        pixel_simd::Store4(lo, Reverse16<Bpp>(b));
        pixel_simd::Store4(hi, Reverse16<Bpp>(a));
        i += kBlock;
        j -= kBlock;
    }
    for (--j; i < j; ++i, --j) {
        std::swap_ranges(row + i * Bpp, row + (i + 1) * Bpp, row + j * Bpp);
    }
}

// Reverses n bytes in place with SSSE3's byte shuffle (one instruction a block where SSE2 needs
// five); the caller checks that the processor has it.
__attribute__((target("ssse3"))) void ReverseBytesSsse3(BYTE* row, int n)
{
    const __m128i order = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    int i = 0, j = n;
    while (j - i >= 32) {
        BYTE* lo = row + i;
        BYTE* hi = row + j - 16;
        const __m128i a = pixel_simd::Load4(lo), b = pixel_simd::Load4(hi);
        pixel_simd::Store4(lo, _mm_shuffle_epi8(b, order));
        pixel_simd::Store4(hi, _mm_shuffle_epi8(a, order));
        i += 16;
        j -= 16;
    }
    std::reverse(row + i, row + j);
}

// The same 32 bytes at a time: the byte shuffle reverses each half, the lane swap the halves.
__attribute__((target("avx2"))) inline void ReverseBytesAvx2(BYTE* row, int n)
{
    const __m256i order = _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13,
                                           12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    const auto reverse = [&](__m256i v) __attribute__((target("avx2")))
    {
        return _mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, order), 0x4E);
    };
    int i = 0, j = n;
    // 64 bytes from each end a step while both stay apart, then 32.
    while (j - i >= 128) {
        auto* lo = reinterpret_cast<__m256i*>(row + i);
        auto* hi = reinterpret_cast<__m256i*>(row + j - 64);
        const __m256i a0 = _mm256_loadu_si256(lo), a1 = _mm256_loadu_si256(lo + 1);
        const __m256i b0 = _mm256_loadu_si256(hi), b1 = _mm256_loadu_si256(hi + 1);
        _mm256_storeu_si256(lo, reverse(b1));
        _mm256_storeu_si256(lo + 1, reverse(b0));
        _mm256_storeu_si256(hi, reverse(a1));
        _mm256_storeu_si256(hi + 1, reverse(a0));
        i += 64;
        j -= 64;
    }
    while (j - i >= 64) {
        auto* lo = reinterpret_cast<__m256i*>(row + i);
        auto* hi = reinterpret_cast<__m256i*>(row + j - 32);
        const __m256i a = _mm256_loadu_si256(lo), b = _mm256_loadu_si256(hi);
        _mm256_storeu_si256(lo, reverse(b));
        _mm256_storeu_si256(hi, reverse(a));
        i += 32;
        j -= 32;
    }
    std::reverse(row + i, row + j);
}

// Rows of bytes reversed, all in one call (a call a row cost a quarter of a small picture's time).
__attribute__((target("avx2"))) void ReverseByteRowsAvx2(BYTE* first, intptr_t pitch, int n, int rows)
{
    for (int y = 0; y < rows; ++y, first += pitch) {
        ReverseBytesAvx2(first, n);
    }
}

// Swaps the bytes of two rows that do not overlap, 16 at a time (the AVX2 form 64 first).
__attribute__((target("avx2"))) size_t SwapRowsAvx2(BYTE* a, BYTE* b, size_t n)
{
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        auto* p = reinterpret_cast<__m256i*>(a + i);
        auto* q = reinterpret_cast<__m256i*>(b + i);
        const __m256i x0 = _mm256_loadu_si256(p), x1 = _mm256_loadu_si256(p + 1);
        const __m256i y0 = _mm256_loadu_si256(q), y1 = _mm256_loadu_si256(q + 1);
        _mm256_storeu_si256(p, y0);
        _mm256_storeu_si256(p + 1, y1);
        _mm256_storeu_si256(q, x0);
        _mm256_storeu_si256(q + 1, x1);
    }
    return i;
}
void SwapRows(BYTE* a, BYTE* b, size_t n)
{
    size_t i = Avx2() ? SwapRowsAvx2(a, b, n) : 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i x = pixel_simd::Load4(a + i), y = pixel_simd::Load4(b + i);
        pixel_simd::Store4(a + i, y);
        pixel_simd::Store4(b + i, x);
    }
    std::swap_ranges(a + i, a + n, b + i);
}

// Whether the SSSE3 shuffles may run (the SIMD level in use and the processor).
bool HasSsse3()
{
    return UseSsse3();
}

template <int Bpp, bool Mirror> bool Turn(CDibSurface* d, const RECT* rect)
{
    RECT a;
    if (!FillArea(d, Bpp * 8, rect, a)) {
        return false;
    }
    const int w = a.right - a.left;
    if (Mirror) {
        // The SIMD kernel set takes the byte shuffle where the processor has it.
        if (Bpp == 1 && Avx2()) {
            ReverseByteRowsAvx2(At(d, a.left, a.top), d->GetPitch(), w, a.bottom - a.top);
            Changed(a);
            return true;
        }
        auto* reverse = Bpp != 1 || !g_bUseMmx ? ReverseRow<Bpp>
                        : HasSsse3()           ? ReverseBytesSsse3
                                               : ReverseRow<Bpp>;
        for (LONG y = a.top; y < a.bottom; ++y) {
            reverse(At(d, a.left, y), w);
        }
    } else {
        for (LONG y0 = a.top, y1 = a.bottom - 1; y0 < y1; ++y0, --y1) {
            SwapRows(At(d, a.left, y0), At(d, a.left, y1), size_t(w) * Bpp);
        }
    }
    Changed(a);
    return true;
}

// --- entries 25, 26 and 93: two sources faded into the destination --------------------------

// The area (dx, dy, w, h) cut to the destination's clip and to both sources placed at (s1x, s1y)
// and (s2x, s2y) (and to the rule picture at (rx, ry) when given); false when nothing is left.
bool FadeArea(const CImage* d, const CSurface* const* pictures, const LONG* px, const LONG* py, int count,
              LONG dx, LONG dy, LONG w, LONG h, RECT& area)
{
    if (w <= 0 || h <= 0) {
        return false;
    }
    int64_t l = dx, t = dy, r = int64_t(dx) + w, b = int64_t(dy) + h;
    const RECT c = d->ClipRect();
    l = std::max<int64_t>(l, c.left);
    t = std::max<int64_t>(t, c.top);
    r = std::min<int64_t>(r, c.right);
    b = std::min<int64_t>(b, c.bottom);
    for (int i = 0; i < count; ++i) {
        const RECT sc = SourceClip(pictures[i]);
        // Destination x shows picture column x - dx + px.
        l = std::max<int64_t>(l, int64_t(sc.left) - px[i] + dx);
        t = std::max<int64_t>(t, int64_t(sc.top) - py[i] + dy);
        r = std::min<int64_t>(r, int64_t(sc.right) - px[i] + dx);
        b = std::min<int64_t>(b, int64_t(sc.bottom) - py[i] + dy);
    }
    if (l >= r || t >= b) {
        return false;
    }
    area = RECT{LONG(l), LONG(t), LONG(r), LONG(b)};
    return true;
}

// The rectangle of a picture placed at (px, py) under the destination area at (dx, dy).
RECT Under(const RECT& area, LONG dx, LONG dy, LONG px, LONG py)
{
    return RECT{LONG(int64_t(area.left) - dx + px), LONG(int64_t(area.top) - dy + py),
                LONG(int64_t(area.right) - dx + px), LONG(int64_t(area.bottom) - dy + py)};
}

int CrossFadeEntry(CImage* d, const CSurface* s1, const CSurface* s2, DWORD opacity, DWORD, LONG dx, LONG dy,
                   LONG w, LONG h, LONG s1x, LONG s1y, LONG s2x, LONG s2y)
{
    Changed(kEmpty);
    if (!Has(d, 32) || !Has(s1, 32) || !Has(s2, 32) || opacity > 255) {
        return 1;
    }
    const CSurface* pictures[2] = {s1, s2};
    const LONG px[2] = {s1x, s2x}, py[2] = {s1y, s2y};
    RECT area;
    if (!FadeArea(d, pictures, px, py, 2, dx, dy, w, h, area)) {
        return 0;
    }
    const int aw = area.right - area.left, ah = area.bottom - area.top;
    // A source sharing memory with the destination area is read from a copy.
    const Source a(d, area, s1, Under(area, dx, dy, s1x, s1y));
    const Source b(d, area, s2, Under(area, dx, dy, s2x, s2y));
    BYTE* out = At(d, area.left, area.top);
    const int skip = d->GetPitch() - 4 * aw;
    if (opacity == 255) {
        // The fade keeps the first source's alpha at every opacity.
        g_kernels.copyRows(out, b.bits, skip, b.skip, aw, ah);
        g_kernels.copyAlphaRows(out, a.bits, skip, a.skip, aw, ah);
    } else if (opacity != 0 && Avx2()) {
        const auto fade = UseAvx512Vbmi() ? CrossFadeRowsAvx512 : CrossFadeRowsAvx2;
        fade(out, a.bits, b.bits, skip, a.skip, b.skip, aw, ah, BYTE(opacity));
    } else {
        g_kernels.copyRows(out, a.bits, skip, a.skip, aw, ah);
        if (opacity != 0) {
            ApplyMode(kCrossFade, BYTE(opacity), out, b.bits, skip, b.skip, aw, ah);
        }
    }
    Changed(area);
    return 0;
}

int RuleFadeEntry(CImage* d, const CSurface* s1, const CSurface* s2, const CSurface* rule, DWORD progress,
                  DWORD softness, DWORD, LONG dx, LONG dy, LONG w, LONG h, LONG s1x, LONG s1y, LONG s2x,
                  LONG s2y, LONG rx, LONG ry)
{
    Changed(kEmpty);
    if (!Has(d, 32) || !Has(s1, 32) || !Has(s2, 32) || !Has(rule, 8)) {
        return 1;
    }
    const CSurface* pictures[2] = {s1, s2};
    const LONG px[2] = {s1x, s2x}, py[2] = {s1y, s2y};
    RECT area;
    if (!FadeArea(d, pictures, px, py, 2, dx, dy, w, h, area)) {
        return 0;
    }
    // The rule picture must cover the whole area it is read under.
    const RECT under = Under(area, dx, dy, rx, ry);
    const RECT rc = SourceClip(rule);
    if (under.left < rc.left || under.top < rc.top || under.right > rc.right || under.bottom > rc.bottom) {
        return 2;
    }
    const int aw = area.right - area.left, ah = area.bottom - area.top;
    const Source a(d, area, s1, Under(area, dx, dy, s1x, s1y));
    const Source b(d, area, s2, Under(area, dx, dy, s2x, s2y));
    BYTE* out = At(d, area.left, area.top);
    const int skip = d->GetPitch() - 4 * aw;
    const int p = int((std::min<DWORD>(progress, 255) * 256 + 127) / 255);
    if (p != 0) {
        BYTE levels[256];
        BuildRuleLevels(255, p, int(std::clamp<DWORD>(softness, 1, 511)), levels);
        const BYTE* const bytes = At(rule, under.left, under.top);
        if (g_bUseMmx && aw >= 16 && UseAvx512Bw()) {
            // Both sources in one pass: the destination is written once and not read back.
            RuleFadeRowsAvx512(out, a.bits, b.bits, skip, a.skip, b.skip, aw, ah, bytes, rule->GetPitch() - aw,
                               levels);
        } else {
            g_kernels.copyRows(out, a.bits, skip, a.skip, aw, ah);
            (g_bUseMmx ? RuleBlendRows32Mmx : RuleBlendRows32)(out, b.bits, skip, b.skip, aw, ah, bytes,
                                                               rule->GetPitch() - aw, levels);
        }
    } else {
        g_kernels.copyRows(out, a.bits, skip, a.skip, aw, ah);
    }
    Changed(area);
    return 0;
}

// n pixels of the first source faded towards the second in place, their alpha kept.
void FadeBand(uint32_t* first, const uint32_t* second, int n, BYTE opacity)
{
    if (opacity == 255) {
        // The cross-fade at 255 is a plain copy, alpha and all.
        for (int i = 0; i < n; ++i) {
            first[i] = (second[i] & 0xFFFFFFu) | (first[i] & 0xFF000000u);
        }
    } else if (opacity != 0) {
        ApplyMode(kCrossFade, opacity, reinterpret_cast<BYTE*>(first), reinterpret_cast<const BYTE*>(second),
                  0, 0, n, 1);
    }
}

int FadePixelsEntry(DWORD* dst, const DWORD* s1, const DWORD* s2, int count, DWORD opacity)
{
    if (count <= 0) {
        return 0;
    }
    if (!dst || !s1 || !s2 || opacity > 255) {
        return 1;
    }
    // The colour of the cross-fade, the alpha of the first source. Pixel i reads only pixel i of
    // each source, so a destination that is a source, or shares no memory with it, is faded in
    // bands through the stack; one that overlaps a source at an offset reads whole copies.
    const auto apart = [&](const DWORD* source) {
        return source == dst || source + count <= dst || dst + count <= source;
    };
    if (!apart(s1) || !apart(s2)) {
        std::vector<uint32_t> out(s1, s1 + count), second(s2, s2 + count);
        FadeBand(out.data(), second.data(), count, BYTE(opacity));
        std::memcpy(dst, out.data(), size_t(count) * 4);
        return 0;
    }
    constexpr int kBand = 256;
    uint32_t out[kBand], second[kBand];
    for (int i = 0; i < count; i += kBand) {
        const int n = std::min(kBand, count - i);
        std::memcpy(out, s1 + i, size_t(n) * 4);
        std::memcpy(second, s2 + i, size_t(n) * 4);
        FadeBand(out, second, n, BYTE(opacity));
        std::memcpy(dst + i, out, size_t(n) * 4);
    }
    return 0;
}

// --- entry 13: a mosaic of a1 x a2 blocks anchored top-left (a3, a4 unused) -----------------

bool MosaicEntry(CDibSurface* d, DWORD blockWidth, DWORD blockHeight, DWORD, DWORD)
{
    RECT a;
    if (!FillArea(d, 32, nullptr, a)) {
        return Changed(kEmpty), false;
    }
    const int n = static_cast<int>(std::min<DWORD>(blockWidth, 65536));
    const int m = static_cast<int>(std::min<DWORD>(blockHeight, 65536));
    if (n < 2 && m < 2) {
        return Changed(kEmpty), true;
    }
    MosaicBlocks(At(d, a.left, a.top), d->GetPitch(), a.right - a.left, a.bottom - a.top, 4, std::max(n, 1),
                 std::max(m, 1), 1);
    Changed(a);
    return true;
}

// --- entries without a meaning ---------------------------------------------------------------

bool RefuseNone(CDibSurface*)
{
    return Changed(kEmpty), false;
}
bool RefuseOne(CDibSurface*, DWORD)
{
    return Changed(kEmpty), false;
}

} // namespace

PixelLibEntries Entries()
{
    PixelLibEntries e;
    e.fill32 = Fill32;
    e.fill8 = Fill8;
    e.fillColor = FillColor;
    e.fillColorMode = FillColorMode;
    e.fillAlpha = FillAlpha;
    e.blend = BlendEntry;
    e.stretchBlend = StretchBlendEntry;
    e.drawQuad = DrawQuadEntry;
    e.drawTransformed = DrawTransformedEntry;
    e.op13 = MosaicEntry;
    e.mirror32 = Turn<4, true>;
    e.mirror8 = Turn<1, true>;
    e.flip32 = Turn<4, false>;
    e.flip8 = Turn<1, false>;
    e.op21 = RefuseNone;
    e.op22 = RefuseNone;
    e.op23 = RefuseOne;
    e.op24 = RefuseOne;
    e.crossFade = CrossFadeEntry;
    e.ruleFade = RuleFadeEntry;
    e.fadePixels = FadePixelsEntry;
    return e;
}

} // namespace pixel_lib
