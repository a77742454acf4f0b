// Scanline kernels of the quadrilateral mapping (see quad_kernels.h for the coverage rules).
#include "raster/quad_kernels.h"

// GCC 12 starts some 512-bit intrinsics' results from a deliberately undefined register and then
// reports that register from inside its own header; the header is included here first, quietly.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include "raster/pixel_simd.h"
#include "raster/row_kernels.h"
#include "raster/pixel_simd_avx2.h"
#include "winapi/simd_level.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

using namespace pixel_simd;

namespace {

using i128 = __int128;
constexpr int kFrac = 20;

// floor(num / den) for den > 0, in 64 bits when both fit.
i128 FloorDiv(i128 num, i128 den)
{
    i128 q;
    if (num >= INT64_MIN && num <= INT64_MAX && den <= INT64_MAX) {
        const int64_t n = int64_t(num), d = int64_t(den);
        q = n / d;
        if (n % d != 0 && n < 0) {
            --q;
        }
        return q;
    }
    q = num / den;
    if (num % den != 0 && num < 0) {
        --q;
    }
    return q;
}

// Outline neighbours of each corner (TL, TR, BL, BR) in the order the vertex rule lists them.
constexpr int kNeighbour[4][2] = {{1, 2}, {0, 3}, {0, 3}, {1, 2}};

struct Segment {
    int64_t y0, y1;         // rows [y0, y1)
    int64_t x0, dx;         // destination x at the start and its extent
    int64_t u0, du, v0, dv; // source point at the start (12.20) and extents
};

struct Chain {
    Segment seg[3];
    int count = 0;
    int64_t End() const { return count ? seg[count - 1].y1 : 0; }
    const Segment* Find(int64_t y) const
    {
        for (int i = 0; i < count; ++i) {
            if (y >= seg[i].y0 && y < seg[i].y1) {
                return &seg[i];
            }
        }
        return nullptr;
    }
};

// Walks the outline from `top` through `first` and onwards while it does not climb.
Chain BuildChain(const POINT* dq, const POINT* sq, int top, int first)
{
    Chain chain;
    int prev = top, cur = first;
    for (int i = 0; i < 3; ++i) {
        const POINT& p = dq[prev];
        const POINT& q = dq[cur];
        if (q.y < p.y) {
            break;
        }
        if (q.y > p.y) {
            Segment& s = chain.seg[chain.count++];
            s.y0 = p.y;
            s.y1 = q.y;
            s.x0 = int64_t(p.x) << kFrac;
            s.dx = (int64_t(q.x) - p.x) << kFrac;
            s.u0 = int64_t(sq[prev].x) << kFrac;
            s.du = (int64_t(sq[cur].x) - sq[prev].x) << kFrac;
            s.v0 = int64_t(sq[prev].y) << kFrac;
            s.dv = (int64_t(sq[cur].y) - sq[prev].y) << kFrac;
        }
        const int next = kNeighbour[cur][0] == prev ? kNeighbour[cur][1] : kNeighbour[cur][0];
        prev = cur;
        cur = next;
    }
    return chain;
}

// Exact stepping of value0 + floor(delta * i / den) along a span.
struct Stepper {
    int64_t value, q, r, den, acc;
    void Init(int64_t value0, int64_t delta, int64_t denominator, int64_t start)
    {
        den = denominator;
        q = int64_t(FloorDiv(delta, den));
        r = delta - q * den;
        const i128 base = i128(delta) * start;
        const int64_t whole = int64_t(FloorDiv(base, den));
        value = value0 + whole;
        acc = static_cast<int64_t>(base - i128(whole) * den);
    }
    void Next()
    {
        value += q;
        acc += r;
        if (acc >= den) {
            acc -= den;
            ++value;
        }
    }
    // Moves k >= 0 steps on.
    void Skip(int64_t k)
    {
        const i128 t = i128(acc) + i128(r) * k;
        const i128 carry = t / den;
        value = int64_t(value + i128(q) * k + carry);
        acc = int64_t(t - carry * den);
    }
};

// Follows one chain down the rows: the edge's x at (k + 1) / n of its n rows for row k, and the
// source point at k / (n - 1) (edge flag 0: both end rows reach the source points) or k / n (flag 1).
// Consecutive rows step exactly without dividing; a new segment, or the first row, starts anew.
class EdgeWalker {
public:
    EdgeWalker(const Chain& chain, int edgeFlag) : m_chain(chain), m_flag(edgeFlag) {}
    // False when no segment of the chain holds row y.
    bool Row(int64_t y)
    {
        if (m_seg && y == m_y + 1 && y < m_seg->y1) {
            x.Next();
            u.Next();
            v.Next();
        } else {
            m_seg = m_chain.Find(y);
            if (!m_seg) {
                return false;
            }
            const int64_t k = y - m_seg->y0;
            const int64_t n = m_seg->y1 - m_seg->y0;
            x.Init(m_seg->x0, m_seg->dx, n, k + 1);
            const int64_t den = m_flag == 0 ? n - 1 : n;
            if (den <= 0) {
                u.Init(m_seg->u0, 0, 1, 0);
                v.Init(m_seg->v0, 0, 1, 0);
            } else {
                u.Init(m_seg->u0, m_seg->du, den, k);
                v.Init(m_seg->v0, m_seg->dv, den, k);
            }
        }
        m_y = y;
        return true;
    }
    Stepper x, u, v;

private:
    const Chain& m_chain;
    int m_flag;
    const Segment* m_seg = nullptr;
    int64_t m_y = 0;
};

// Calls span(y, x0, x1, u, v) for every visible row, with u and v steppers positioned at x0.
template <class Span>
void ScanQuad(const QuadTarget& dst, const POINT* dq, const POINT* sq, int edgeFlag, Span&& span)
{
    // A stable insertion sort of the four corners (std::stable_sort would ask the heap for a buffer
    // on every call).
    int order[4] = {0, 1, 2, 3};
    for (int i = 1; i < 4; ++i) {
        for (int j = i; j > 0 && CompareQuadVertices(dq[order[j]], dq[order[j - 1]]) < 0; --j) {
            std::swap(order[j], order[j - 1]);
        }
    }
    const int top = order[0];
    const int a = kNeighbour[top][0];
    const int b = kNeighbour[top][1];
    if (order[1] != a && order[1] != b) {
        return; // the second-highest vertex is the opposite corner
    }
    const POINT& t = dq[top];
    const i128 cross = i128(int64_t(dq[a].y) - t.y) * (int64_t(dq[b].x) - t.x) -
                       i128(int64_t(dq[b].y) - t.y) * (int64_t(dq[a].x) - t.x);
    const Chain left = BuildChain(dq, sq, top, cross < 0 ? b : a);
    const Chain right = BuildChain(dq, sq, top, cross < 0 ? a : b);
    const int64_t yBegin = std::max<int64_t>(t.y, dst.clip.top);
    const int64_t yEnd = std::min<int64_t>({left.End(), right.End(), int64_t(dst.clip.bottom)});
    EdgeWalker lw(left, edgeFlag), rw(right, edgeFlag);
    for (int64_t y = yBegin; y < yEnd; ++y) {
        if (!lw.Row(y) || !rw.Row(y)) {
            continue;
        }
        const int64_t xl = lw.x.value >> kFrac;
        const int64_t count = (rw.x.value >> kFrac) - xl;
        if (count <= 0) {
            continue;
        }
        const int64_t x0 = std::max<int64_t>(xl, dst.clip.left);
        const int64_t x1 = std::min<int64_t>(xl + count, dst.clip.right);
        if (x0 >= x1) {
            continue;
        }
        int64_t den = edgeFlag == 0 ? count - 1 : count;
        Stepper u, v;
        if (den <= 0) {
            u.Init(lw.u.value, 0, 1, 0);
            v.Init(lw.v.value, 0, 1, 0);
        } else {
            u.Init(lw.u.value, rw.u.value - lw.u.value, den, x0 - xl);
            v.Init(lw.v.value, rw.v.value - lw.v.value, den, x0 - xl);
        }
        span(static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1), u, v);
    }
}

// The texel under (u, v), or null outside the source clip rectangle.
inline const BYTE* Texel(const QuadSource& src, int64_t u, int64_t v)
{
    const int64_t col = u >> kFrac;
    const int64_t row = v >> kFrac;
    if (col < src.clip.left || col >= src.clip.right || row < src.clip.top || row >= src.clip.bottom) {
        return nullptr;
    }
    return src.bits + row * src.pitch + col * 4;
}

// Cuts [first, last) to the pixels i of a span whose coordinate s(i) >> kFrac lies in [lo, hi).
// s(i) = floor(N(i) / den) with N(i) = N(0) + delta i is monotonic along the span, so those pixels
// form one interval; its ends come from solving 0 <= N(i) - (lo << kFrac) den < ((hi - lo) << kFrac) den.
void CutToAxis(const Stepper& s, int64_t lo, int64_t hi, int64_t& first, int64_t& last)
{
    const i128 den = s.den;
    const i128 delta = i128(s.q) * den + s.r;
    const i128 below = (i128(s.value) - (i128(lo) << kFrac)) * den + s.acc; // N(0) above the low bound
    const i128 above = ((i128(hi) - lo) << kFrac) * den - 1 - below;        // N(0) below the high bound
    if (delta == 0) {
        if (below < 0 || above < 0) {
            last = first;
        }
        return;
    }
    // Rising: i >= -below / delta and i <= above / delta; falling: the two bounds swap roles.
    const i128 d = delta < 0 ? -delta : delta;
    const i128 from = -FloorDiv(delta > 0 ? below : above, d);
    const i128 to = FloorDiv(delta > 0 ? above : below, d) + 1;
    first = int64_t(std::max<i128>(first, std::min<i128>(from, last)));
    last = int64_t(std::min<i128>(last, std::max<i128>(to, first)));
}

// Four consecutive pixels' coordinate in SSE2 lanes, stepped exactly `stride` pixels at a time: the
// value less the clip edge (modulo 2^32: only values inside the clip are used, and those fit) and
// the remainder.
struct LaneStep {
    __m128i value, acc, qStep, rStep, den, denLess1;
    LaneStep(Stepper s, int64_t edge, int stride)
    {
        alignas(16) uint32_t v[4], a[4];
        for (int k = 0; k < 4; ++k, s.Next()) {
            v[k] = uint32_t(s.value - (edge << kFrac));
            a[k] = uint32_t(s.acc);
        }
        value = _mm_load_si128(reinterpret_cast<const __m128i*>(v));
        acc = _mm_load_si128(reinterpret_cast<const __m128i*>(a));
        const int64_t r = stride * s.r;
        qStep = Splat32(uint32_t(stride * s.q + r / s.den));
        rStep = Splat32(uint32_t(r % s.den));
        den = Splat32(uint32_t(s.den));
        denLess1 = Splat32(uint32_t(s.den - 1));
    }
    // Texel offsets of the lanes along this axis (value >> kFrac).
    __m128i Whole() const { return _mm_srli_epi32(value, kFrac); }
    void Next()
    {
        acc = _mm_add_epi32(acc, rStep);
        const __m128i carry = _mm_cmpgt_epi32(acc, denLess1);
        acc = _mm_sub_epi32(acc, _mm_and_si128(carry, den));
        value = _mm_sub_epi32(_mm_add_epi32(value, qStep), carry);
    }
};

// Whether the lanes can hold a run: remainders below 2^30 (sums stay positive), clip offsets below
// 4096 (values below 2^32) and a pitch of at most 32767 pixels (16-bit multiply).
bool LanesFit(const QuadSource& src, int64_t den)
{
    const int64_t pitch = src.pitch / 4;
    return den <= (int64_t(1) << 30) && src.pitch % 4 == 0 && pitch >= -32768 && pitch <= 32767 &&
           int64_t(src.clip.right) - src.clip.left <= 4096 && int64_t(src.clip.bottom) - src.clip.top <= 4096;
}

struct CopyOp {
    uint32_t Pixel(uint32_t, uint32_t s) const { return s; }
    __m128i Vec(__m128i, __m128i s) const { return s; }
};

// Maps n pixels from p whose texels are all inside the source clip; op.Pixel(d, s), op.Vec(d4, s4).
template <class Op> void Run(const QuadSource& src, BYTE* p, int n, Stepper& u, Stepper& v, const Op& op)
{
    if (!LanesFit(src, u.den) || !LanesFit(src, v.den)) {
        for (int i = 0; i < n; ++i, p += 4, u.Next(), v.Next()) {
            const BYTE* t = src.bits + (v.value >> kFrac) * src.pitch + (u.value >> kFrac) * 4;
            Store32(p, op.Pixel(Load32(p), Load32(t)));
        }
        return;
    }
    const BYTE* base = src.bits + intptr_t(src.clip.top) * src.pitch + intptr_t(src.clip.left) * 4;
    // Texel index column + row * pitch in one multiply-add of 16-bit halves.
    const __m128i rowStep = Splat32((uint32_t(src.pitch / 4) << 16) | 1u);
    // Up to four pixels at p from the lanes.
    auto four = [&](BYTE* p, const LaneStep& ul, const LaneStep& vl, int count) {
        const __m128i at = _mm_madd_epi16(_mm_or_si128(ul.Whole(), _mm_slli_epi32(vl.Whole(), 16)), rowStep);
        // The four indices come out as two 64-bit halves (fewer shuffles than four 32-bit ones).
        const int64_t lo = _mm_cvtsi128_si64(at), hi = _mm_cvtsi128_si64(_mm_unpackhi_epi64(at, at));
        const BYTE* t[4] = {base + intptr_t(int32_t(lo)) * 4, base + (lo >> 32) * 4, base + intptr_t(int32_t(hi)) * 4,
                            base + (hi >> 32) * 4};
        if (count == 4) {
            if constexpr (std::is_same_v<Op, CopyOp>) {
                for (int k = 0; k < 4; ++k) {
                    Store32(p + 4 * k, Load32(t[k]));
                }
            } else {
                const __m128i s = _mm_setr_epi32(int(Load32(t[0])), int(Load32(t[1])), int(Load32(t[2])),
                                                 int(Load32(t[3])));
                Store4(p, op.Vec(Load4(p), s));
            }
        } else {
            for (int k = 0; k < count; ++k) {
                Store32(p + 4 * k, op.Pixel(Load32(p + 4 * k), Load32(t[k])));
            }
        }
    };
    // Two groups of four lanes (pixels i..i+3 and i+4..i+7), each stepping eight pixels: two
    // independent chains of carries.
    Stepper u4 = u, v4 = v;
    u4.Skip(4);
    v4.Skip(4);
    LaneStep ua(u, src.clip.left, 8), va(v, src.clip.top, 8), ub(u4, src.clip.left, 8), vb(v4, src.clip.top, 8);
    for (int i = 0; i < n; i += 8, p += 32) {
        four(p, ua, va, std::min(4, n - i));
        if (n - i > 4) {
            four(p + 16, ub, vb, std::min(4, n - i - 4));
        }
        ua.Next();
        va.Next();
        ub.Next();
        vb.Next();
    }
}

// Visits every span: cover(y, x0, x1) gets the whole covered span, inside(p, n, u, v) the part of
// it whose texels lie inside the source clip (p its first pixel, u and v positioned there).
template <class Cover, class Inside>
void ScanInside(const QuadTarget& dst, const QuadSource& src, const POINT* dq, const POINT* sq, int edgeFlag,
                Cover&& cover, Inside&& inside)
{
    ScanQuad(dst, dq, sq, edgeFlag, [&](int y, int x0, int x1, Stepper& u, Stepper& v) {
        cover(y, x0, x1);
        int64_t first = 0, last = x1 - x0;
        CutToAxis(u, src.clip.left, src.clip.right, first, last);
        CutToAxis(v, src.clip.top, src.clip.bottom, first, last);
        if (first >= last) {
            return;
        }
        u.Skip(first);
        v.Skip(first);
        inside(dst.bits + intptr_t(y) * dst.pitch + (intptr_t(x0) + first) * 4, int(last - first), u, v);
    });
}

// Maps every span: only the part of a span whose texels lie inside the source clip is visited.
template <class Op>
void MapSpans(const QuadTarget& dst, const QuadSource& src, const POINT* dq, const POINT* sq, int edgeFlag,
              const Op& op)
{
    ScanInside(
        dst, src, dq, sq, edgeFlag, [](int, int, int) {},
        [&](BYTE* p, int n, Stepper& u, Stepper& v) { Run(src, p, n, u, v, op); });
}

// Blend by the factor of levels[sA].
struct LevelBlendOp {
    const BYTE* levels;
    ByteTable lookup{levels};
    uint32_t Pixel(uint32_t d, uint32_t s) const { return BlendByFactor(d, s, FactorOf(levels[s >> 24])); }
    __m128i Vec(__m128i d, __m128i s) const { return BlendByFactor4(d, s, Factor32(lookup.Look4(AlphaOf(s)))); }
};

// Eight consecutive pixels' coordinate in AVX2 lanes, stepped eight pixels at a time (as LaneStep).
struct LaneStep8 {
    __m256i value, acc, qStep, rStep, den, denLess1;
    PIXEL_SIMD_AVX2 LaneStep8(Stepper s, int64_t edge)
    {
        alignas(32) uint32_t v[8], a[8];
        for (int k = 0; k < 8; ++k, s.Next()) {
            v[k] = uint32_t(s.value - (edge << kFrac));
            a[k] = uint32_t(s.acc);
        }
        value = _mm256_load_si256(reinterpret_cast<const __m256i*>(v));
        acc = _mm256_load_si256(reinterpret_cast<const __m256i*>(a));
        const int64_t r = 8 * s.r;
        qStep = _mm256_set1_epi32(int(uint32_t(8 * s.q + r / s.den)));
        rStep = _mm256_set1_epi32(int(uint32_t(r % s.den)));
        den = _mm256_set1_epi32(int(uint32_t(s.den)));
        denLess1 = _mm256_set1_epi32(int(uint32_t(s.den - 1)));
    }
    PIXEL_SIMD_AVX2 __m256i Whole() const { return _mm256_srli_epi32(value, kFrac); }
    PIXEL_SIMD_AVX2 void Next()
    {
        acc = _mm256_add_epi32(acc, rStep);
        const __m256i carry = _mm256_cmpgt_epi32(acc, denLess1);
        acc = _mm256_sub_epi32(acc, _mm256_and_si256(carry, den));
        value = _mm256_sub_epi32(_mm256_add_epi32(value, qStep), carry);
    }
};

// Run with LevelBlendOp for a row of the multiply table, eight texels a gather: groups whose
// levels are all 0 leave the destination unread, groups all at 255 take the texels' colour.
template <bool Whole>
PIXEL_SIMD_AVX2 void RunBlendAvx2(const QuadSource& src, BYTE* p, int n, Stepper& u, Stepper& v, int level)
{
    using namespace pixel_simd_avx2;
    const auto* base = reinterpret_cast<const int*>(src.bits + intptr_t(src.clip.top) * src.pitch +
                                                    intptr_t(src.clip.left) * 4);
    const __m256i rowStep = Splat((uint32_t(src.pitch / 4) << 16) | 1u);
    LaneStep8 ul(u, src.clip.left), vl(v, src.clip.top);
    int i = 0;
    for (; i + 8 <= n; i += 8, p += 32) {
        const __m256i at =
            _mm256_madd_epi16(_mm256_or_si256(ul.Whole(), _mm256_slli_epi32(vl.Whole(), 16)), rowStep);
        const __m256i s = _mm256_i32gather_epi32(base, at, 4);
        BlendByLevel8(p, s, LevelOf<Whole>(s, uint8_t(level)));
        ul.Next();
        vl.Next();
    }
    if (i < n) {
        // The last pixels through a buffer of eight; lanes past the span gather nothing (level 0).
        const int rest = n - i;
        const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        const __m256i live = _mm256_cmpgt_epi32(_mm256_set1_epi32(rest), lanes);
        const __m256i at =
            _mm256_madd_epi16(_mm256_or_si256(ul.Whole(), _mm256_slli_epi32(vl.Whole(), 16)), rowStep);
        const __m256i s =
            _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), base, _mm256_and_si256(at, live), live, 4);
        alignas(32) uint8_t tail[32];
        std::memcpy(tail, p, size_t(rest) * 4);
        BlendByLevel8(tail, s, LevelOf<Whole>(s, uint8_t(level)));
        std::memcpy(p, tail, size_t(rest) * 4);
    }
}

} // namespace

int CompareQuadVertices(const POINT& a, const POINT& b)
{
    if (a.y != b.y) {
        return a.y < b.y ? -1 : 1;
    }
    if (a.x != b.x) {
        return a.x < b.x ? -1 : 1;
    }
    return 0;
}

namespace {
void Sample(const QuadSource& src, BYTE* out, int n, Stepper& u, Stepper& v, bool bilinear, bool simd);
} // namespace

// A copy is the nearest sample taken straight into the destination.
void MapQuadRows32(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad, const POINT* srcQuad,
                   int edgeFlag)
{
    ScanInside(
        dst, src, dstQuad, srcQuad, edgeFlag, [](int, int, int) {},
        [&](BYTE* p, int n, Stepper& u, Stepper& v) { Sample(src, p, n, u, v, false, true); });
}

void MapQuadOnColourRows32(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad,
                           const POINT* srcQuad, int edgeFlag, const RECT& fill, DWORD colour)
{
    // Rows come in rising order, one span each: the rows before a drawn span, and its row beside
    // the drawn pixels, are filled as the scan reaches them; the rows after the last at the end.
    int64_t next = fill.top, row = 0;
    auto fillRow = [&](int64_t y, int64_t x0, int64_t x1) {
        x0 = std::max<int64_t>(x0, fill.left);
        x1 = std::min<int64_t>(x1, fill.right);
        if (y >= fill.top && y < fill.bottom && x0 < x1) {
            FillRows32(dst.bits + intptr_t(y) * dst.pitch + intptr_t(x0) * 4, 0, int(x1 - x0), 1, colour);
        }
    };
    ScanInside(
        dst, src, dstQuad, srcQuad, edgeFlag, [&](int y, int, int) { row = y; },
        [&](BYTE* p, int n, Stepper& u, Stepper& v) {
            for (; next < row; ++next) {
                fillRow(next, fill.left, fill.right);
            }
            const int64_t x = (p - (dst.bits + intptr_t(row) * dst.pitch)) / 4;
            fillRow(row, fill.left, x);
            fillRow(row, x + n, fill.right);
            next = std::max<int64_t>(next, row + 1);
            Sample(src, p, n, u, v, false, true);
        });
    for (; next < fill.bottom; ++next) {
        fillRow(next, fill.left, fill.right);
    }
}

void MapQuadKeyRows32(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad,
                      const POINT* srcQuad, int edgeFlag, DWORD key)
{
    MapSpans(dst, src, dstQuad, srcQuad, edgeFlag, SourceKeyed<CopyOp>{CopyOp{}, key});
}

// The plain twin tests every texel against the source clip as it goes, the rule itself.
void MapQuadBlendRows32(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad,
                        const POINT* srcQuad, int edgeFlag, const BYTE* levels)
{
    ScanQuad(dst, dstQuad, srcQuad, edgeFlag, [&](int y, int x0, int x1, Stepper& u, Stepper& v) {
        BYTE* p = dst.bits + intptr_t(y) * dst.pitch + intptr_t(x0) * 4;
        for (int x = x0; x < x1; ++x, p += 4, u.Next(), v.Next()) {
            if (const BYTE* t = Texel(src, u.value, v.value)) {
                const uint32_t s = Load32(t);
                Store32(p, BlendByFactor(Load32(p), s, FactorOf(levels[s >> 24])));
            }
        }
    });
}

void MapQuadBlendRows32Mmx(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad,
                           const POINT* srcQuad, int edgeFlag, const BYTE* levels)
{
    const int level = MulTableRowOf(levels);
    if (UseAvx2() && level >= 0) {
        // Eight texels a gather where the lanes can hold the span, as Run decides for its four.
        const LevelBlendOp op{levels};
        ScanInside(
            dst, src, dstQuad, srcQuad, edgeFlag, [](int, int, int) {},
            [&](BYTE* p, int n, Stepper& u, Stepper& v) {
                if (!LanesFit(src, u.den) || !LanesFit(src, v.den)) {
                    Run(src, p, n, u, v, op);
                } else {
                    (level == 255 ? RunBlendAvx2<true> : RunBlendAvx2<false>)(src, p, n, u, v, level);
                }
            });
        return;
    }
    MapSpans(dst, src, dstQuad, srcQuad, edgeFlag, LevelBlendOp{levels});
}

namespace {

// Bilinear sample at (u, v) (12.20) of a texel inside the clip; neighbours past the clip repeat it.
uint32_t Bilinear(const QuadSource& src, int64_t u, int64_t v)
{
    const int64_t col = u >> kFrac, row = v >> kFrac;
    const int64_t col1 = std::min<int64_t>(col + 1, src.clip.right - 1);
    const int64_t row1 = std::min<int64_t>(row + 1, src.clip.bottom - 1);
    const int fx = int((u >> (kFrac - 8)) & 0xFF), fy = int((v >> (kFrac - 8)) & 0xFF);
    const uint32_t s00 = Load32(src.bits + row * src.pitch + col * 4);
    const uint32_t s10 = Load32(src.bits + row * src.pitch + col1 * 4);
    const uint32_t s01 = Load32(src.bits + row1 * src.pitch + col * 4);
    const uint32_t s11 = Load32(src.bits + row1 * src.pitch + col1 * 4);
    uint32_t out = 0;
    for (int c = 0; c < 32; c += 8) {
        const int a = int(s00 >> c & 0xFF), b = int(s10 >> c & 0xFF);
        const int d = int(s01 >> c & 0xFF), e = int(s11 >> c & 0xFF);
        const int top = a + (((b - a) * fx) >> 8);
        const int bottom = d + (((e - d) * fx) >> 8);
        out |= uint32_t(top + (((bottom - top) * fy) >> 8)) << c;
    }
    return out;
}

// n samples from (u, v) on, one a pixel, stored from out; every texel lies inside the source clip.
void SampleRun(const QuadSource& src, BYTE* out, int n, Stepper& u, Stepper& v, bool bilinear)
{
    for (int i = 0; i < n; ++i, out += 4, u.Next(), v.Next()) {
        Store32(out, bilinear ? Bilinear(src, u.value, v.value)
                              : Load32(src.bits + (v.value >> kFrac) * src.pitch + (u.value >> kFrac) * 4));
    }
}

// Per colour byte of four pixel pairs: (a (256 - w) + b w) >> 8 with w (0..255) in 32-bit lanes,
// which is a + floor((b - a) w / 256) exactly; no 16-bit sum exceeds 255 * 256.
__m128i Lerp4(__m128i a, __m128i b, __m128i w)
{
    const __m128i even = Splat32(0x00FF00FFu);
    const __m128i wb = _mm_or_si128(w, _mm_slli_epi32(w, 16));
    const __m128i wa = _mm_sub_epi16(Splat32(0x01000100u), wb);
    const __m128i e = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(a, even), wa), _mm_mullo_epi16(_mm_and_si128(b, even), wb)), 8);
    const __m128i o = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(a, 8), wa), _mm_mullo_epi16(_mm_srli_epi16(b, 8), wb)), 8);
    return _mm_or_si128(e, _mm_slli_epi16(o, 8));
}

// SampleRun four pixels a step in SSE2 lanes (the lanes must fit, LanesFit): the texels are read
// one by one, the weighing is done four pixels at once.
template <bool Smooth>
void SampleRunSse2(const QuadSource& src, BYTE* out, int n, const Stepper& u, const Stepper& v)
{
    const BYTE* base = src.bits + intptr_t(src.clip.top) * src.pitch + intptr_t(src.clip.left) * 4;
    const uint32_t lastCol = uint32_t(src.clip.right - src.clip.left - 1);
    const uint32_t lastRow = uint32_t(src.clip.bottom - src.clip.top - 1);
    const __m128i fraction = Splat32(0xFFu);
    LaneStep ul(u, src.clip.left, 4), vl(v, src.clip.top, 4);
    for (int i = 0; i < n; i += 4, out += 16, ul.Next(), vl.Next()) {
        const int count = std::min(4, n - i);
        alignas(16) uint32_t col[4], row[4], t00[4] = {}, t10[4] = {}, t01[4] = {}, t11[4] = {};
        _mm_store_si128(reinterpret_cast<__m128i*>(col), ul.Whole());
        _mm_store_si128(reinterpret_cast<__m128i*>(row), vl.Whole());
        for (int k = 0; k < count; ++k) {
            const BYTE* t = base + intptr_t(row[k]) * src.pitch + intptr_t(col[k]) * 4;
            t00[k] = Load32(t);
            if constexpr (Smooth) {
                const intptr_t right = col[k] < lastCol ? 4 : 0, down = row[k] < lastRow ? src.pitch : 0;
                t10[k] = Load32(t + right);
                t01[k] = Load32(t + down);
                t11[k] = Load32(t + down + right);
            }
        }
        const auto lanes = [](const uint32_t* t) { return _mm_load_si128(reinterpret_cast<const __m128i*>(t)); };
        __m128i s = lanes(t00);
        if constexpr (Smooth) {
            const __m128i fx = _mm_and_si128(_mm_srli_epi32(ul.value, kFrac - 8), fraction);
            const __m128i fy = _mm_and_si128(_mm_srli_epi32(vl.value, kFrac - 8), fraction);
            s = Lerp4(Lerp4(s, lanes(t10), fx), Lerp4(lanes(t01), lanes(t11), fx), fy);
        }
        if (count == 4) {
            Store4(out, s);
        } else {
            alignas(16) uint8_t tail[16];
            Store4(tail, s);
            std::memcpy(out, tail, size_t(count) * 4);
        }
    }
}

// Per colour byte of eight pixel pairs: (a (256 - w) + b w) >> 8 with w (0..255) in 32-bit lanes,
// which is a + floor((b - a) w / 256) exactly; no 16-bit sum exceeds 255 * 256.
PIXEL_SIMD_AVX2 __m256i Lerp8(__m256i a, __m256i b, __m256i w)
{
    using namespace pixel_simd_avx2;
    const __m256i even = Splat(0x00FF00FFu);
    const __m256i wb = _mm256_or_si256(w, _mm256_slli_epi32(w, 16));
    const __m256i wa = _mm256_sub_epi16(Splat(0x01000100u), wb);
    const __m256i e = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(a, even), wa),
                                                         _mm256_mullo_epi16(_mm256_and_si256(b, even), wb)),
                                        8);
    const __m256i o = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(a, 8), wa),
                                                         _mm256_mullo_epi16(_mm256_srli_epi16(b, 8), wb)),
                                        8);
    return _mm256_or_si256(e, _mm256_slli_epi16(o, 8));
}

// The texels at base[at[k]] (into left) and base[at[k] + 1] (into right) of eight pixels, each
// pair read as one eight-byte word.
PIXEL_SIMD_AVX2 inline void PairsOf8(const int* base, const int32_t* at, __m256i* left, __m256i* right)
{
    const auto pair = [base, at](int k) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + at[k]));
    };
    // Pixels 0 1 | 4 5 and 2 3 | 6 7, so that taking the even and the odd words of both keeps the order.
    const __m256i a = _mm256_set_m128i(_mm_unpacklo_epi64(pair(4), pair(5)), _mm_unpacklo_epi64(pair(0), pair(1)));
    const __m256i b = _mm256_set_m128i(_mm_unpacklo_epi64(pair(6), pair(7)), _mm_unpacklo_epi64(pair(2), pair(3)));
    *left = _mm256_castps_si256(
        _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
    *right = _mm256_castps_si256(
        _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
}

// How far ahead along a run the AVX2 sampler asks for texels, in pixels, and the least source
// (rows times pitch) it does so for: an 800 x 600 source stays cached, and asking ahead only cost
// it time.
constexpr int kSampleAhead = 192;
constexpr int64_t kSampleAheadFrom = int64_t(4) << 20;

// SampleRun eight pixels a step (the lanes must fit, LanesFit); the last step stores only the
// pixels of the run, and its lanes past the run read the clip's first texel.
template <bool Smooth>
PIXEL_SIMD_AVX2 void SampleRunAvx2(const QuadSource& src, BYTE* out, int n, const Stepper& u, const Stepper& v)
{
    using namespace pixel_simd_avx2;
    const auto* base = reinterpret_cast<const int*>(src.bits + intptr_t(src.clip.top) * src.pitch +
                                                    intptr_t(src.clip.left) * 4);
    const __m256i rowStep = Splat((uint32_t(src.pitch / 4) << 16) | 1u);
    const __m256i pitch = Splat(uint32_t(src.pitch / 4));
    const __m256i lastCol = Splat(uint32_t(src.clip.right - src.clip.left - 1));
    const __m256i lastRow = Splat(uint32_t(src.clip.bottom - src.clip.top - 1));
    const __m256i one = Splat(1), fraction = Splat(0xFFu);
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    LaneStep8 ul(u, src.clip.left), vl(v, src.clip.top);
    // The lanes kSampleAhead pixels on (nearest runs only): each lane's texel is asked for ahead,
    // since a turned run crosses source rows too often for the hardware to see a stream (asking
    // for two lanes of eight gained half as much). Bilinear runs gained nothing: their texels are
    // mostly cached by the rows before.
    const int64_t sourceBytes = (int64_t(src.clip.bottom) - src.clip.top) * std::abs(int64_t(src.pitch));
    const bool ahead = !Smooth && n >= kSampleAhead + 8 && sourceBytes >= kSampleAheadFrom;
    // Set up only where used (a run's set-up showed in 800 x 600 frames).
    LaneStep8 ua = ul, va = vl;
    if (ahead) {
        Stepper uAhead = u, vAhead = v;
        uAhead.Skip(kSampleAhead);
        vAhead.Skip(kSampleAhead);
        ua = LaneStep8(uAhead, src.clip.left);
        va = LaneStep8(vAhead, src.clip.top);
        // The run's first texels, which the lanes ahead never reach.
        LaneStep8 us = ul, vs = vl;
        for (int i = 0; i < kSampleAhead; i += 8, us.Next(), vs.Next()) {
            const __m256i at =
                _mm256_madd_epi16(_mm256_or_si256(us.Whole(), _mm256_slli_epi32(vs.Whole(), 16)), rowStep);
            alignas(32) int32_t soon[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(soon), at);
            for (int k = 0; k < 8; ++k) {
                _mm_prefetch(reinterpret_cast<const char*>(base + soon[k]), _MM_HINT_T0);
            }
        }
    }
    for (int i = 0; i < n; i += 8, out += 32, ul.Next(), vl.Next()) {
        if (ahead && i + kSampleAhead + 8 <= n) {
            const __m256i next =
                _mm256_madd_epi16(_mm256_or_si256(ua.Whole(), _mm256_slli_epi32(va.Whole(), 16)), rowStep);
            alignas(32) int32_t soon[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(soon), next);
            for (int k = 0; k < 8; ++k) {
                _mm_prefetch(reinterpret_cast<const char*>(base + soon[k]), _MM_HINT_T0);
            }
            ua.Next();
            va.Next();
        }
        const __m256i live = _mm256_cmpgt_epi32(Splat(uint32_t(n - i)), lanes);
        const __m256i col = _mm256_and_si256(ul.Whole(), live), row = _mm256_and_si256(vl.Whole(), live);
        const __m256i at = _mm256_madd_epi16(_mm256_or_si256(col, _mm256_slli_epi32(row, 16)), rowStep);
        __m256i s;
        if constexpr (Smooth) {
            // The right and lower neighbours, the texel itself on the clip's last column or row.
            const __m256i inside = _mm256_cmpgt_epi32(lastCol, col);
            const __m256i down = _mm256_and_si256(_mm256_cmpgt_epi32(lastRow, row), pitch);
            const __m256i at01 = _mm256_add_epi32(at, down);
            const __m256i fx = _mm256_and_si256(_mm256_srli_epi32(ul.value, kFrac - 8), fraction);
            const __m256i fy = _mm256_and_si256(_mm256_srli_epi32(vl.value, kFrac - 8), fraction);
            __m256i s10, s01, s11;
            if (All(inside)) {
                // Every texel has its right neighbour beside it: each pair in one eight-byte read
                // (gathers were measured slower than single reads).
                alignas(32) int32_t upper[8], lower[8];
                _mm256_store_si256(reinterpret_cast<__m256i*>(upper), at);
                _mm256_store_si256(reinterpret_cast<__m256i*>(lower), at01);
                PairsOf8(base, upper, &s, &s10);
                PairsOf8(base, lower, &s01, &s11);
            } else {
                const __m256i right = _mm256_and_si256(inside, one);
                s = _mm256_i32gather_epi32(base, at, 4);
                s10 = _mm256_i32gather_epi32(base, _mm256_add_epi32(at, right), 4);
                s01 = _mm256_i32gather_epi32(base, at01, 4);
                s11 = _mm256_i32gather_epi32(base, _mm256_add_epi32(at01, right), 4);
            }
            s = Lerp8(Lerp8(s, s10, fx), Lerp8(s01, s11, fx), fy);
        } else {
            // Single reads (gathers were measured slower).
            alignas(32) int32_t index[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(index), at);
            s = _mm256_setr_epi32(base[index[0]], base[index[1]], base[index[2]], base[index[3]], base[index[4]],
                                  base[index[5]], base[index[6]], base[index[7]]);
        }
        if (n - i >= 8) {
            Store8(out, s);
        } else {
            _mm256_maskstore_epi32(reinterpret_cast<int*>(out), live, s);
        }
    }
}

#define QUAD_SIMD_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))


// Sixteen consecutive pixels' coordinate in 512-bit lanes, stepped sixteen pixels at a time (as
// LaneStep8).
struct LaneStep16 {
    __m512i value, acc, qStep, rStep, den, denLess1;
    QUAD_SIMD_AVX512 LaneStep16(Stepper s, int64_t edge)
    {
        alignas(64) uint32_t v[16], a[16];
        for (int k = 0; k < 16; ++k, s.Next()) {
            v[k] = uint32_t(s.value - (edge << kFrac));
            a[k] = uint32_t(s.acc);
        }
        value = _mm512_load_si512(v);
        acc = _mm512_load_si512(a);
        const int64_t r = 16 * s.r;
        qStep = _mm512_set1_epi32(int(uint32_t(16 * s.q + r / s.den)));
        rStep = _mm512_set1_epi32(int(uint32_t(r % s.den)));
        den = _mm512_set1_epi32(int(uint32_t(s.den)));
        denLess1 = _mm512_set1_epi32(int(uint32_t(s.den - 1)));
    }
    QUAD_SIMD_AVX512 __m512i Whole() const { return _mm512_srli_epi32(value, kFrac); }
    QUAD_SIMD_AVX512 void Next()
    {
        acc = _mm512_add_epi32(acc, rStep);
        const __mmask16 carry = _mm512_cmpgt_epi32_mask(acc, denLess1);
        acc = _mm512_mask_sub_epi32(acc, carry, acc, den);
        value = _mm512_add_epi32(value, qStep);
        value = _mm512_mask_add_epi32(value, carry, value, _mm512_set1_epi32(1));
    }
};

// Lerp8 for sixteen pixel pairs.
QUAD_SIMD_AVX512 __m512i Lerp16(__m512i a, __m512i b, __m512i w)
{
    const __m512i even = _mm512_set1_epi32(0x00FF00FF);
    const __m512i wb = _mm512_or_si512(w, _mm512_slli_epi32(w, 16));
    const __m512i wa = _mm512_sub_epi16(_mm512_set1_epi32(0x01000100), wb);
    const __m512i e = _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(_mm512_and_si512(a, even), wa),
                                                         _mm512_mullo_epi16(_mm512_and_si512(b, even), wb)),
                                        8);
    const __m512i o = _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(_mm512_srli_epi16(a, 8), wa),
                                                         _mm512_mullo_epi16(_mm512_srli_epi16(b, 8), wb)),
                                        8);
    return _mm512_or_si512(e, _mm512_slli_epi16(o, 8));
}

// PairsOf8 for sixteen pixels.
QUAD_SIMD_AVX512 inline void PairsOf16(const int* base, const int32_t* at, __m512i* left, __m512i* right)
{
    const auto two = [base, at](int k) {
        return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + at[k])),
                                  _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + at[k + 1])));
    };
    // Pixels 0-7 and 8-15 as left, right words in order; the even and the odd words of both
    // are the left and the right texels.
    const __m512i a = _mm512_inserti64x4(_mm512_zextsi256_si512(_mm256_set_m128i(two(2), two(0))),
                                         _mm256_set_m128i(two(6), two(4)), 1);
    const __m512i b = _mm512_inserti64x4(_mm512_zextsi256_si512(_mm256_set_m128i(two(10), two(8))),
                                         _mm256_set_m128i(two(14), two(12)), 1);
    const __m512i evens = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    *left = _mm512_permutex2var_epi32(a, evens, b);
    *right = _mm512_permutex2var_epi32(a, _mm512_add_epi32(evens, _mm512_set1_epi32(1)), b);
}

// SampleRunAvx2<true> sixteen pixels a step (the lanes must fit, LanesFit); the last step stores
// only the pixels of the run through a lane mask.
QUAD_SIMD_AVX512 void SampleRunSmoothAvx512(const QuadSource& src, BYTE* out, int n, const Stepper& u,
                                            const Stepper& v)
{
    const auto* base = reinterpret_cast<const int*>(src.bits + intptr_t(src.clip.top) * src.pitch +
                                                    intptr_t(src.clip.left) * 4);
    const __m512i rowStep = _mm512_set1_epi32(int((uint32_t(src.pitch / 4) << 16) | 1u));
    const __m512i pitch = _mm512_set1_epi32(src.pitch / 4);
    const __m512i lastCol = _mm512_set1_epi32(int(src.clip.right - src.clip.left - 1));
    const __m512i lastRow = _mm512_set1_epi32(int(src.clip.bottom - src.clip.top - 1));
    const __m512i fraction = _mm512_set1_epi32(0xFF);
    LaneStep16 ul(u, src.clip.left), vl(v, src.clip.top);
    for (int i = 0; i < n; i += 16, out += 64, ul.Next(), vl.Next()) {
        const __mmask16 live = n - i >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << (n - i)) - 1);
        const __m512i col = _mm512_maskz_mov_epi32(live, ul.Whole());
        const __m512i row = _mm512_maskz_mov_epi32(live, vl.Whole());
        const __m512i at = _mm512_madd_epi16(_mm512_or_si512(col, _mm512_slli_epi32(row, 16)), rowStep);
        // The right and lower neighbours, the texel itself on the clip's last column or row.
        const __mmask16 inside = _mm512_cmpgt_epi32_mask(lastCol, col);
        const __m512i down = _mm512_maskz_mov_epi32(_mm512_cmpgt_epi32_mask(lastRow, row), pitch);
        const __m512i at01 = _mm512_add_epi32(at, down);
        const __m512i fx = _mm512_and_si512(_mm512_srli_epi32(ul.value, kFrac - 8), fraction);
        const __m512i fy = _mm512_and_si512(_mm512_srli_epi32(vl.value, kFrac - 8), fraction);
        __m512i s, s10, s01, s11;
        if (inside == 0xFFFF) {
            alignas(64) int32_t upper[16], lower[16];
            _mm512_store_si512(upper, at);
            _mm512_store_si512(lower, at01);
            PairsOf16(base, upper, &s, &s10);
            PairsOf16(base, lower, &s01, &s11);
        } else {
            const __m512i right = _mm512_maskz_mov_epi32(inside, _mm512_set1_epi32(1));
            s = _mm512_i32gather_epi32(at, base, 4);
            s10 = _mm512_i32gather_epi32(_mm512_add_epi32(at, right), base, 4);
            s01 = _mm512_i32gather_epi32(at01, base, 4);
            s11 = _mm512_i32gather_epi32(_mm512_add_epi32(at01, right), base, 4);
        }
        s = Lerp16(Lerp16(s, s10, fx), Lerp16(s01, s11, fx), fy);
        _mm512_mask_storeu_epi32(out, live, s);
    }
}

// The samples of a run by the widest sampler allowed (u and v are spent).
void Sample(const QuadSource& src, BYTE* out, int n, Stepper& u, Stepper& v, bool bilinear, bool simd)
{
    const bool lanes = simd && LanesFit(src, u.den) && LanesFit(src, v.den);
    if (lanes && bilinear && UseAvx512Bw()) {
        SampleRunSmoothAvx512(src, out, n, u, v);
    } else if (lanes && UseAvx2()) {
        (bilinear ? SampleRunAvx2<true> : SampleRunAvx2<false>)(src, out, n, u, v);
    } else if (lanes && UseSse2()) {
        (bilinear ? SampleRunSse2<true> : SampleRunSse2<false>)(src, out, n, u, v);
    } else {
        SampleRun(src, out, n, u, v, bilinear);
    }
}

} // namespace

void MapQuadGatherRows32(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad,
                         const POINT* srcQuad, int edgeFlag, bool bilinear, bool simd, QuadSpanSink& sink)
{
    // Kept from draw to draw, so a draw allocates nothing once rows as wide have been drawn.
    static thread_local std::vector<uint32_t> texels;
    const bool copies = sink.Copies();
    ScanInside(
        dst, src, dstQuad, srcQuad, edgeFlag, [&](int y, int x0, int x1) { sink.Cover(y, x0, x1); },
        [&](BYTE* p, int n, Stepper& u, Stepper& v) {
            if (copies) {
                sink.Direct(p, n);
                Sample(src, p, n, u, v, bilinear, simd);
                return;
            }
            texels.resize(size_t(n));
            Sample(src, reinterpret_cast<BYTE*>(texels.data()), n, u, v, bilinear, simd);
            sink.Texels(p, texels.data(), n);
        });
}

