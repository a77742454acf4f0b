// Scanline kernels of the quadrilateral mapping (see quad_kernels.h for the coverage rules).
#include "raster/quad_kernels.h"

#include "raster/pixel_simd.h"

#include <algorithm>

using namespace pixel_simd;

namespace {

using i128 = __int128;
constexpr int kFrac = 20;

int64_t FloorDiv(i128 num, int64_t den)
{
    if (num >= INT64_MIN && num <= INT64_MAX) {
        const int64_t n = int64_t(num);
        int64_t q = n / den;
        if ((n % den != 0) && ((n < 0) != (den < 0))) {
            --q;
        }
        return q;
    }
    i128 q = num / den;
    if ((num % den != 0) && ((num < 0) != (den < 0))) {
        --q;
    }
    return static_cast<int64_t>(q);
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
        q = FloorDiv(delta, den);
        r = delta - q * den;
        const i128 base = i128(delta) * start;
        const int64_t whole = FloorDiv(base, den);
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
    int order[4] = {0, 1, 2, 3};
    std::stable_sort(order, order + 4, [dq](int a, int b) { return CompareQuadVertices(dq[a], dq[b]) < 0; });
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

// One coordinate stepped exactly two pixels at a time: value += q2, plus one when the remainder
// carries. Two of them (even and odd pixels) run as independent chains.
struct DoubleStep {
    int64_t q2, r2, den;
    DoubleStep(const Stepper& s) : den(s.den)
    {
        const int64_t r = 2 * s.r;
        q2 = 2 * s.q + (r >= den ? 1 : 0);
        r2 = r >= den ? r - den : r;
    }
    void Next(int64_t& value, int64_t& acc) const
    {
        acc += r2;
        const int64_t carry = -int64_t(acc >= den);
        acc -= den & carry;
        value += q2 - carry;
    }
};

template <class Pixel>
void MapPlain(const QuadTarget& dst, const QuadSource& src, const POINT* dq, const POINT* sq, int edgeFlag,
              Pixel&& pixel)
{
    const int64_t cl = src.clip.left, ct = src.clip.top;
    const uint64_t cw = uint64_t(int64_t(src.clip.right) - cl), ch = uint64_t(int64_t(src.clip.bottom) - ct);
    const intptr_t pitch = src.pitch;
    auto texel = [&](BYTE* p, int64_t u, int64_t v) {
        const int64_t col = (u >> kFrac) - cl, row = (v >> kFrac) - ct;
        if (uint64_t(col) < cw && uint64_t(row) < ch) {
            pixel(p, Load32(src.bits + (row + ct) * pitch + (col + cl) * 4));
        }
    };
    ScanQuad(dst, dq, sq, edgeFlag, [&](int y, int x0, int x1, Stepper& us, Stepper& vs) {
        BYTE* p = dst.bits + intptr_t(y) * dst.pitch + intptr_t(x0) * 4;
        // Even pixels from the steppers as they are, odd ones from a copy one step ahead.
        int64_t u0 = us.value, ua0 = us.acc, v0 = vs.value, va0 = vs.acc;
        us.Next();
        vs.Next();
        int64_t u1 = us.value, ua1 = us.acc, v1 = vs.value, va1 = vs.acc;
        const DoubleStep du(us), dv(vs);
        int x = x0;
        for (; x + 2 <= x1; x += 2, p += 8) {
            texel(p, u0, v0);
            texel(p + 4, u1, v1);
            du.Next(u0, ua0);
            du.Next(u1, ua1);
            dv.Next(v0, va0);
            dv.Next(v1, va1);
        }
        if (x < x1) {
            texel(p, u0, v0);
        }
    });
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

void MapQuadRows32(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad, const POINT* srcQuad,
                   int edgeFlag)
{
    MapPlain(dst, src, dstQuad, srcQuad, edgeFlag, [](BYTE* p, uint32_t s) { Store32(p, s); });
}

void MapQuadKeyRows32(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad, const POINT* srcQuad,
                      int edgeFlag, DWORD key)
{
    MapPlain(dst, src, dstQuad, srcQuad, edgeFlag, [key](BYTE* p, uint32_t s) {
        if (s != key) {
            Store32(p, s);
        }
    });
}

void MapQuadBlendRows32(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad, const POINT* srcQuad,
                        int edgeFlag, const BYTE* levels)
{
    MapPlain(dst, src, dstQuad, srcQuad, edgeFlag, [levels](BYTE* p, uint32_t s) {
        Store32(p, BlendByFactor(Load32(p), s, FactorOf(levels[s >> 24])));
    });
}

void MapQuadBlendRows32Mmx(const QuadTarget& dst, const QuadSource& src, const POINT* dstQuad,
                           const POINT* srcQuad, int edgeFlag, const BYTE* levels)
{
    ScanQuad(dst, dstQuad, srcQuad, edgeFlag, [&](int y, int x0, int x1, Stepper& u, Stepper& v) {
        BYTE* p = dst.bits + intptr_t(y) * dst.pitch + intptr_t(x0) * 4;
        int x = x0;
        for (; x + 4 <= x1; x += 4, p += 16) {
            alignas(16) uint32_t texel[4];
            alignas(16) uint32_t level[4];
            for (int i = 0; i < 4; ++i) {
                const BYTE* t = Texel(src, u.value, v.value);
                // A texel outside the source gets level 0, which leaves the pixel.
                texel[i] = t ? Load32(t) : 0;
                level[i] = t ? levels[texel[i] >> 24] : 0;
                u.Next();
                v.Next();
            }
            const __m128i f = Factor32(_mm_load_si128(reinterpret_cast<const __m128i*>(level)));
            Store4(p, BlendByFactor4(Load4(p), _mm_load_si128(reinterpret_cast<const __m128i*>(texel)), f));
        }
        for (; x < x1; ++x, p += 4) {
            if (const BYTE* t = Texel(src, u.value, v.value)) {
                const uint32_t s = Load32(t);
                Store32(p, BlendByFactor(Load32(p), s, FactorOf(levels[s >> 24])));
            }
            u.Next();
            v.Next();
        }
    });
}
