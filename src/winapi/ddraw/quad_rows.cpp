// The textured quad by rows.
//
// Why the rows give the triangles' pixels: a triangle works each pixel's u and v from its edge
// values in double, so the same column may get a u a few units in the last place apart from row
// to row and from one triangle to the other. Those differences stay below kSlack * (size *
// |u| + 1) texels (the triangles' arithmetic is good to about 63 units of 2^-53 there). The
// bilinear colour moves by at most 255 per texel of position, so a channel whose rows' value
// lies farther than the band from a rounding edge is the triangles' channel too; a pixel with a
// channel in the band, and a point sample whose texel the slack could change, is shaded by its
// triangle. Which pixels each triangle owns comes from its own edge tests: along a row each
// edge's answer changes at most once.
#include "winapi/ddraw/quad_rows.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "winapi/ddraw/row_kernels.h"
#include "winapi/simd_level.h"

#include <immintrin.h>

namespace winapi::ddraw {

namespace {

constexpr double kMaxCoordinate = 16777216.0;  // vertex positions and texel positions the bound covers
constexpr double kSlack = 0x1p-44;             // 512 units of 2^-53
constexpr double kFloatBand = 0x1p-12;         // the float rows' own error is below 2^-14

// The first x in lo..hi-1 where after(x) holds (hi when none), given that it holds from there
// on; the search starts at hint, so that it takes two tests when the hint is right.
template <class After> LONG FirstAfter(const After& after, LONG lo, LONG hi, LONG hint)
{
    if (lo >= hi)
        return hi;
    const LONG h = std::clamp(hint, lo, hi - 1);
    LONG before, from;  // after(before) fails (or before = lo - 1), after(from) holds (or from = hi)
    LONG step = 1;
    if (after(h)) {
        from = h;
        for (;;) {
            const LONG probe = from - step;
            if (probe < lo) {
                before = lo - 1;
                break;
            }
            if (!after(probe)) {
                before = probe;
                break;
            }
            from = probe;
            step *= 2;
        }
    } else {
        before = h;
        for (;;) {
            const LONG probe = before + step;
            if (probe >= hi) {
                from = hi;
                break;
            }
            if (after(probe)) {
                from = probe;
                break;
            }
            before = probe;
            step *= 2;
        }
    }
    while (from - before > 1) {
        const LONG mid = before + (from - before) / 2;
        (after(mid) ? from : before) = mid;
    }
    return from;
}

// The pixels a triangle owns, row by row.
class SpanWalker {
public:
    explicit SpanWalker(const Triangle& t) : m_t(t)
    {
        if (!t.Drawable())
            return;
        // A vertical edge answers the same on every row.
        m_columns = {t.X0(), t.X1()};
        for (int i = 0; i < 3; ++i) {
            if (!t.Vertical(i))
                continue;
            const bool up = t.RunsUp(i);
            const LONG at = FirstAfter([&](LONG x) { return t.EdgeOwns(i, x, t.Y0()) == up; }, t.X0(), t.X1(), t.X0());
            if (up)
                m_columns.begin = std::max(m_columns.begin, at);
            else
                m_columns.end = std::min(m_columns.end, at);
        }
    }

    Span Row(LONG y)
    {
        const Triangle& t = m_t;
        if (!t.Drawable() || y < t.Y0() || y >= t.Y1() || m_columns.Empty())
            return {};
        Span span = m_columns;
        for (int i = 0; i < 3; ++i) {
            if (t.Vertical(i))
                continue;
            if (t.Horizontal(i)) {
                if (!t.EdgeOwns(i, span.begin, y))
                    return {};
                continue;
            }
            const bool up = t.RunsUp(i);
            m_hint[i] = FirstAfter([&](LONG x) { return t.EdgeOwns(i, x, y) == up; }, t.X0(), t.X1(), m_hint[i]);
            if (up)
                span.begin = std::max(span.begin, m_hint[i]);
            else
                span.end = std::min(span.end, m_hint[i]);
        }
        return span.Empty() ? Span{} : span;
    }

private:
    const Triangle& m_t;
    Span m_columns;
    LONG m_hint[3] = {0, 0, 0};
};

// Single pixels of one of the quad's triangles shaded as the triangle shades them, with the
// weights of its horizontal and vertical edges (which depend on the row alone and on the column
// alone) worked once: only the slanted edge's weight is divided out per pixel. A weight of zero
// may come out with the other sign than the triangle's, which no sampled colour tells apart.
class PixelShader {
public:
    PixelShader(const Triangle& t, LONG x0, LONG x1) : m_t(t), m_x0(x0), m_x1(x1)
    {
        for (int i = 0; i < 3; ++i) {
            if (t.Horizontal(i))
                m_flat = i;
            else if (t.Vertical(i))
                m_upright = i;
            else
                m_slanted = i;
        }
        m_usable = m_flat >= 0 && m_upright >= 0 && m_slanted >= 0;
    }
    // Row y's terms; the columns' ones the first time.
    void Row(LONG y)
    {
        m_y = y;
        if (!m_usable)
            return;
        if (m_columns.empty()) {
            m_columns.resize(static_cast<size_t>(m_x1 - m_x0));
            for (LONG x = m_x0; x < m_x1; ++x) {
                Column& c = m_columns[static_cast<size_t>(x - m_x0)];
                const double w = (m_t.RowPart(m_upright, y) - m_t.ColumnPart(m_upright, x)) / m_t.Area();
                c.u = w * m_t.U(m_upright);
                c.v = w * m_t.V(m_upright);
                c.slanted = m_t.ColumnPart(m_slanted, x);
            }
        }
        const double w = (m_t.RowPart(m_flat, y) - m_t.ColumnPart(m_flat, m_x0)) / m_t.Area();
        m_rowU = w * m_t.U(m_flat);
        m_rowV = w * m_t.V(m_flat);
        m_slantedRow = m_t.RowPart(m_slanted, y);
    }
    void Shade(LONG x, const Sampler& sampler, int rgb[3]) const
    {
        if (!m_usable) {
            m_t.Shade(x, m_y, sampler, rgb);
            return;
        }
        const Column& c = m_columns[static_cast<size_t>(x - m_x0)];
        const double w = (m_slantedRow - c.slanted) / m_t.Area();
        double tu[3], tv[3];
        tu[m_flat] = m_rowU;
        tv[m_flat] = m_rowV;
        tu[m_upright] = c.u;
        tv[m_upright] = c.v;
        tu[m_slanted] = w * m_t.U(m_slanted);
        tv[m_slanted] = w * m_t.V(m_slanted);
        sampler.Sample(tu[0] + tu[1] + tu[2], tv[0] + tv[1] + tv[2], rgb);
    }
    // Shade for the columns xs[0..n-1] of the row, into out as x888 (alpha 0).
    void ShadeMany(const int32_t* xs, LONG n, const Sampler& sampler, uint32_t* out) const
    {
        LONG i = 0;
        if (m_usable && (m_flat == 2 || m_upright == 2) && UseAvx2() && BilinearX888(sampler)) {
            i = ShadeAvx2(xs, n, sampler, out);
            if (i < n) {
                // The last few as one more group, the last column standing in for the missing ones.
                int32_t last[4];
                uint32_t shaded[4];
                for (int lane = 0; lane < 4; ++lane)
                    last[lane] = xs[std::min<LONG>(i + lane, n - 1)];
                ShadeAvx2(last, 4, sampler, shaded);
                std::copy(shaded, shaded + (n - i), out + i);
                i = n;
            }
        }
        for (; i < n; ++i) {
            int rgb[3];
            Shade(xs[i], sampler, rgb);
            out[i] = static_cast<uint32_t>(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
        }
    }

private:
    // Whether the four-lane path reads the sampler's texels: bilinear x888, every texel index
    // within 32 bits.
    static bool BilinearX888(const Sampler& sampler)
    {
        return sampler.Linear() && sampler.Format().IsX888() && sampler.Width() >= 2 && sampler.Pitch() % 4 == 0 &&
               sampler.Pitch() > 0 &&
               static_cast<int64_t>(sampler.Pitch() / 4) * sampler.Height() <= INT32_MAX;
    }
    // As the sampler: p * size - 0.5, 0 when not finite, clamped to 0..top.
    static inline __attribute__((target("avx2"))) __m256d Place(__m256d p, __m256d size, __m256d top)
    {
        const __m256d zero = _mm256_setzero_pd();
        __m256d s = _mm256_sub_pd(_mm256_mul_pd(p, size), _mm256_set1_pd(0.5));
        s = _mm256_and_pd(s, _mm256_cmp_pd(_mm256_sub_pd(s, s), zero, _CMP_EQ_OQ));
        return _mm256_min_pd(_mm256_max_pd(s, zero), top);
    }
    // One byte channel of four x888 texels, as doubles.
    static inline __attribute__((target("avx2"))) __m256d Widen(__m128i p, __m128i shift)
    {
        return _mm256_cvtepi32_pd(_mm_and_si128(_mm_srl_epi32(p, shift), _mm_set1_epi32(0xFF)));
    }
    // Texels x and x + 1 of four rows (x + 1 no farther than the row's last texel: the pair starts
    // one sooner at the last one, whose left texel is then the right one). Low half the left texels.
    static inline __attribute__((target("avx2"))) __m256i Pairs(const uint32_t* texels, const int32_t* start,
                                                               __m128i last)
    {
        auto pair = [&](int lane) {
            long long p;
            std::memcpy(&p, texels + start[lane], 8);
            return p;
        };
        // Built in registers: a 32-byte load of four 8-byte stores would wait for them.
        const __m256i loaded = _mm256_set_epi64x(pair(3), pair(2), pair(1), pair(0));
        const __m256i split = _mm256_permutevar8x32_epi32(loaded, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
        const __m128i right = _mm256_extracti128_si256(split, 1);
        const __m128i left = _mm_blendv_epi8(_mm256_castsi256_si128(split), right, last);
        return _mm256_set_m128i(right, left);
    }
    // Shade in four lanes of doubles, the same operations in the same order; answers how many
    // pixels it did (a multiple of four).
    template <bool FlatLast>
    __attribute__((target("avx2"))) LONG ShadeAvx2(const int32_t* xs, LONG n, const Sampler& sampler,
                                                   uint32_t* out) const
    {
        const Column* columns = m_columns.data();
        const LONG x0 = m_x0;
        const __m256d one = _mm256_set1_pd(1.0), half = _mm256_set1_pd(0.5);
        const __m256d tw = _mm256_set1_pd(sampler.Width()), th = _mm256_set1_pd(sampler.Height());
        const __m256d topU = _mm256_set1_pd(sampler.Width() - 1.0), topV = _mm256_set1_pd(sampler.Height() - 1.0);
        const __m128i lastX = _mm_set1_epi32(sampler.Width() - 1), lastY = _mm_set1_epi32(sampler.Height() - 1);
        const __m128i pairX = _mm_set1_epi32(sampler.Width() - 2);
        const __m128i oneI = _mm_set1_epi32(1), rowPixels = _mm_set1_epi32(sampler.Pitch() / 4);
        const __m256d area = _mm256_set1_pd(m_t.Area()), slantedRow = _mm256_set1_pd(m_slantedRow);
        const __m256d slantedU = _mm256_set1_pd(m_t.U(m_slanted)), slantedV = _mm256_set1_pd(m_t.V(m_slanted));
        const __m256d rowU = _mm256_set1_pd(m_rowU), rowV = _mm256_set1_pd(m_rowV);
        const auto* texels = reinterpret_cast<const uint32_t*>(sampler.Pixels());
        LONG i = 0;
        for (; i + 4 <= n; i += 4) {
            // Four columns' records as a square, turned: u terms, v terms, slanted parts.
            const __m256d c0 = _mm256_load_pd(&columns[xs[i] - x0].u);
            const __m256d c1 = _mm256_load_pd(&columns[xs[i + 1] - x0].u);
            const __m256d c2 = _mm256_load_pd(&columns[xs[i + 2] - x0].u);
            const __m256d c3 = _mm256_load_pd(&columns[xs[i + 3] - x0].u);
            const __m256d lo01 = _mm256_unpacklo_pd(c0, c1), hi01 = _mm256_unpackhi_pd(c0, c1);
            const __m256d lo23 = _mm256_unpacklo_pd(c2, c3), hi23 = _mm256_unpackhi_pd(c2, c3);
            const __m256d columnU = _mm256_permute2f128_pd(lo01, lo23, 0x20);
            const __m256d columnV = _mm256_permute2f128_pd(hi01, hi23, 0x20);
            const __m256d columnSlanted = _mm256_permute2f128_pd(lo01, lo23, 0x31);
            const __m256d w = _mm256_div_pd(_mm256_sub_pd(slantedRow, columnSlanted), area);
            const __m256d su = Place(Sum<FlatLast>(rowU, columnU, _mm256_mul_pd(w, slantedU)), tw, topU);
            const __m256d sv = Place(Sum<FlatLast>(rowV, columnV, _mm256_mul_pd(w, slantedV)), th, topV);
            const __m128i ux = _mm256_cvttpd_epi32(su), vy = _mm256_cvttpd_epi32(sv);
            const __m128i vy1 = _mm_min_epi32(_mm_add_epi32(vy, oneI), lastY);
            const __m256d fu = _mm256_sub_pd(su, _mm256_cvtepi32_pd(ux)), fv = _mm256_sub_pd(sv, _mm256_cvtepi32_pd(vy));
            const __m128i start = _mm_min_epi32(ux, pairX), last = _mm_cmpeq_epi32(ux, lastX);
            alignas(16) int32_t at0[4], at1[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(at0), _mm_add_epi32(_mm_mullo_epi32(vy, rowPixels), start));
            _mm_store_si128(reinterpret_cast<__m128i*>(at1), _mm_add_epi32(_mm_mullo_epi32(vy1, rowPixels), start));
            const __m256i upper = Pairs(texels, at0, last), lower = Pairs(texels, at1, last);
            const __m128i p00 = _mm256_castsi256_si128(upper), p01 = _mm256_extracti128_si256(upper, 1);
            const __m128i p10 = _mm256_castsi256_si128(lower), p11 = _mm256_extracti128_si256(lower, 1);
            const __m256d gu = _mm256_sub_pd(one, fu), gv = _mm256_sub_pd(one, fv);
            __m128i pixel = _mm_setzero_si128();
            for (int k = 0; k < 3; ++k) {
                const __m128i shift = _mm_cvtsi32_si128(16 - 8 * k);
                const __m256d top =
                    _mm256_add_pd(_mm256_mul_pd(Widen(p00, shift), gu), _mm256_mul_pd(Widen(p01, shift), fu));
                const __m256d bottom =
                    _mm256_add_pd(_mm256_mul_pd(Widen(p10, shift), gu), _mm256_mul_pd(Widen(p11, shift), fu));
                const __m256d mixed = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(top, gv), _mm256_mul_pd(bottom, fv)), half);
                pixel = _mm_or_si128(pixel, _mm_sll_epi32(_mm256_cvttpd_epi32(mixed), shift));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), pixel);
        }
        return i;
    }
    // The three terms of the flat, upright and slanted edges summed in the vertices' order: the
    // first two commute, so only whether the flat (FlatLast) or the upright edge's term comes last
    // counts. The quad's corners always put one of them last.
    template <bool FlatLast>
    static inline __attribute__((target("avx2"))) __m256d Sum(__m256d flat, __m256d upright, __m256d slanted)
    {
        if constexpr (FlatLast)
            return _mm256_add_pd(_mm256_add_pd(upright, slanted), flat);
        else
            return _mm256_add_pd(_mm256_add_pd(flat, slanted), upright);
    }
    __attribute__((target("avx2"))) LONG ShadeAvx2(const int32_t* xs, LONG n, const Sampler& sampler,
                                                   uint32_t* out) const
    {
        return m_flat == 2 ? ShadeAvx2<true>(xs, n, sampler, out) : ShadeAvx2<false>(xs, n, sampler, out);
    }

    const Triangle& m_t;
    LONG m_x0, m_x1;
    int m_flat = -1, m_upright = -1, m_slanted = -1;
    bool m_usable = false;
    // Per column: the upright edge's u and v terms, the slanted edge's column part (four doubles,
    // so that four columns load as a square).
    struct alignas(32) Column {
        double u, v, slanted, unused;
    };
    std::vector<Column> m_columns;
    double m_rowU = 0, m_rowV = 0, m_slantedRow = 0;
    LONG m_y = 0;
};

// Whether every edge value of the quad's triangles is exact in double: corners on a grid of 1/256
// pixel within 2^16 of the origin, on a target of at most 2^16 pixels a side (products of 25-bit
// values). Then each pixel of the quad belongs to exactly one of its triangles, and the quad's
// pixels are the columns ceil(left)..ceil(right)-1 of the rows ceil(top)..ceil(bottom)-1.
bool ExactEdges(const double corners[4], const SurfaceMemory& target)
{
    for (int i = 0; i < 4; ++i) {
        const double grid = corners[i] * 256;
        if (!(std::fabs(corners[i]) <= 65536 && grid == std::floor(grid)))
            return false;
    }
    return target.width <= 65536 && target.height <= 65536;
}

// floor(p) for |p| well below 2^63, without a library call.
inline double Floor(double p)
{
    const auto t = static_cast<double>(static_cast<int64_t>(p));
    return t > p ? t - 1 : t;
}

// Where the texel position p (texels, before clamping) may fall with the slack d: the clamped
// texel, and whether both ends of the slack agree on it.
inline LONG PointTexel(double p, double d, LONG size, bool* sure)
{
    const double top = size - 1.0, whole = Floor(p);
    if (p - whole > d && p - whole < 1 - d) {
        *sure = true;
        return static_cast<LONG>(std::clamp(whole, 0.0, top));
    }
    const double low = std::clamp(Floor(p - d), 0.0, top), high = std::clamp(Floor(p + d), 0.0, top);
    *sure = low == high;
    return static_cast<LONG>(low);
}

// The first pixel at or after c, within 0..limit.
inline LONG CeilClamped(double c, LONG limit)
{
    return static_cast<LONG>(std::clamp(std::ceil(c), 0.0, static_cast<double>(limit)));
}

} // namespace

const float* const* QuadRows::Across(const SurfaceMemory& texture, LONG y, LONG keep)
{
    for (int slot = 0; slot < 2; ++slot)
        if (m_rowOf[slot] == y)
            return m_slot[slot];
    const int slot = m_rowOf[0] == keep ? 1 : 0;
    const BYTE* row = texture.pixels + static_cast<ptrdiff_t>(y) * texture.pitch;
    const PixelFormat from(texture.format);
    const uint32_t* src = reinterpret_cast<const uint32_t*>(row);
    LONG length = texture.width;
    if (!from.IsX888()) {
        for (size_t i = 0; i < m_widened.size(); ++i)
            m_widened[i] = from.X888(from.Read(row + (m_base + static_cast<LONG>(i)) * from.bytes));
        src = m_widened.data();
        length = static_cast<LONG>(m_widened.size());
    }
    QuadAcross(src, length, m_xa.data(), m_xb.data(), m_fu.data(), m_slot[slot], m_columns);
    m_rowOf[slot] = y;
    return m_slot[slot];
}

bool QuadRows::Draw(const TLVertex* q, const SurfaceMemory& target, const SurfaceMemory& texture, bool linear)
{
    const double left = q[0].x, right = q[1].x, top = q[0].y, bottom = q[2].y;
    if (!(q[2].x == q[0].x && q[3].x == q[1].x && q[1].y == q[0].y && q[3].y == q[2].y))
        return false;
    if (!(q[2].u == q[0].u && q[3].u == q[1].u && q[1].v == q[0].v && q[3].v == q[2].v))
        return false;
    auto bounded = [](double c) { return std::isfinite(c) && std::fabs(c) <= kMaxCoordinate; };
    if (!(bounded(left) && bounded(right) && bounded(top) && bounded(bottom) && right - left >= 1 &&
          bottom - top >= 1))
        return false;
    const double u0 = q[0].u, u1 = q[1].u, v0 = q[0].v, v1 = q[2].v;
    const double tw = texture.width, th = texture.height;
    const double reachU = tw * std::max(std::fabs(u0), std::fabs(u1)),
                 reachV = th * std::max(std::fabs(v0), std::fabs(v1));
    if (!(bounded(u0) && bounded(u1) && bounded(v0) && bounded(v1) && reachU <= kMaxCoordinate &&
          reachV <= kMaxCoordinate))
        return false;
    const Triangle first(q[0], q[1], q[2], target.width, target.height);
    const Triangle second(q[1], q[2], q[3], target.width, target.height);
    if (!first.Drawable() || !second.Drawable())
        return false;
    const LONG x0 = std::min(first.X0(), second.X0()), x1 = std::max(first.X1(), second.X1());
    const LONG y0 = std::min(first.Y0(), second.Y0()), y1 = std::max(first.Y1(), second.Y1());
    if (x0 >= x1 || y0 >= y1)
        return true;
    const double corners[4] = {left, right, top, bottom};
    const bool exact = ExactEdges(corners, target);
    const LONG cx0 = CeilClamped(left, target.width), cx1 = CeilClamped(right, target.width);
    const LONG cy0 = CeilClamped(top, target.height), cy1 = CeilClamped(bottom, target.height);
    const double slackU = kSlack * (reachU + 1), slackV = kSlack * (reachV + 1);
    const float band = static_cast<float>(kFloatBand + 255 * (slackU + slackV));
    const Sampler sampler(texture, linear);
    const PixelFormat to(target.format), from(texture.format);
    const bool same = to.SameAs(from);

    m_columns = x1 - x0;
    const auto columns = static_cast<size_t>(m_columns);
    m_xa.resize(columns);
    m_xb.resize(columns);
    m_fu.resize(columns);
    m_sure.resize(columns);
    m_out.resize(columns);
    m_unsure.resize(columns);
    m_shaded.resize(columns);
    const double stepU = (u1 - u0) / (right - left), stepV = (v1 - v0) / (bottom - top);
    bool allSure = true, straight = true;
    for (LONG x = x0; x < x1; ++x) {
        const size_t i = static_cast<size_t>(x - x0);
        const double u = u0 + (x - left) * stepU;
        if (linear) {
            const double s = std::clamp(u * tw - 0.5, 0.0, tw - 1);
            const auto ux = static_cast<LONG>(s);
            m_xa[i] = ux;
            m_xb[i] = std::min<LONG>(ux + 1, texture.width - 1);
            m_fu[i] = static_cast<float>(s - ux);
        } else {
            bool sure;
            m_xa[i] = PointTexel(u * tw, slackU, texture.width, &sure);
            m_sure[i] = sure;
            // Only the quad's own columns count: no triangle owns a pixel outside them.
            if (x >= cx0 && x < cx1) {
                allSure = allSure && sure;
                straight = straight && m_xa[i] == m_xa[static_cast<size_t>(cx0 - x0)] + (x - cx0);
            }
        }
    }
    if (linear) {
        LONG low = texture.width, high = 0;
        for (size_t i = 0; i < columns; ++i) {
            low = std::min<LONG>(low, m_xa[i]);
            high = std::max<LONG>(high, m_xb[i]);
        }
        m_base = from.IsX888() ? 0 : low;
        m_widened.resize(from.IsX888() ? 0 : static_cast<size_t>(high - low + 1));
        for (size_t i = 0; i < columns; ++i) {
            m_xa[i] -= m_base;
            m_xb[i] -= m_base;
        }
        m_rowOf[0] = m_rowOf[1] = -1;
        for (int slot = 0; slot < 2; ++slot) {
            m_across[slot].resize(3 * columns);
            for (int k = 0; k < 3; ++k)
                m_slot[slot][k] = m_across[slot].data() + k * columns;
        }
    } else if (exact && same && allSure && straight && cx0 == 0 && cx0 < cx1 && cy0 < cy1 &&
               m_xa[static_cast<size_t>(cx0 - x0)] == 0 && (cx1 - cx0) * to.bytes == target.pitch &&
               target.pitch == texture.pitch) {
        // Whole rows of both, one after the other, when the rows also follow each other.
        bool rowsStraight = true;
        LONG firstRow = 0;
        for (LONG y = cy0; y < cy1 && rowsStraight; ++y) {
            bool sure;
            const LONG ty = PointTexel((v0 + (y - top) * stepV) * th, slackV, texture.height, &sure);
            if (y == cy0)
                firstRow = ty;
            rowsStraight = sure && ty == firstRow + (y - cy0);
        }
        if (rowsStraight) {
            std::memcpy(target.pixels + static_cast<ptrdiff_t>(cy0) * target.pitch,
                        texture.pixels + static_cast<ptrdiff_t>(firstRow) * texture.pitch,
                        static_cast<size_t>(target.pitch) * static_cast<size_t>(cy1 - cy0));
            return true;
        }
    }

    SpanWalker firstWalk(first), secondWalk(second);
    PixelShader firstShader(first, x0, x1), secondShader(second, x0, x1);
    for (LONG y = y0; y < y1; ++y) {
        // At most three runs, each of one triangle (none: of the one that owns the pixel, when
        // the edges are exact and the pixel has one owner).
        struct Run {
            LONG begin, end;
            const Triangle* owner;
        } runs[3];
        int count = 0;
        auto add = [&](LONG begin, LONG end, const Triangle* owner) {
            if (begin < end)
                runs[count++] = {begin, end, owner};
        };
        if (exact) {
            if (y >= cy0 && y < cy1)
                add(cx0, cx1, nullptr);
        } else {
            // The second triangle's pixels, and the first one's outside them (drawn before).
            const Span a = firstWalk.Row(y), b = secondWalk.Row(y);
            if (b.Empty()) {
                add(a.begin, a.end, &first);
            } else {
                add(a.begin, std::min(a.end, b.begin), &first);
                add(b.begin, b.end, &second);
                add(std::max(a.begin, b.end), a.end, &first);
            }
        }
        if (count == 0)
            continue;
        BYTE* dstRow = target.pixels + static_cast<ptrdiff_t>(y) * target.pitch;
        bool shading = false;
        auto shade = [&](LONG x, const Triangle* owner) {
            if (!shading) {
                firstShader.Row(y);
                secondShader.Row(y);
                shading = true;
            }
            if (owner == nullptr)
                owner = second.Owns(x, y) ? &second : &first;
            int rgb[3];
            (owner == &second ? secondShader : firstShader).Shade(x, sampler, rgb);
            to.Write(dstRow + x * to.bytes, rgb[0], rgb[1], rgb[2]);
        };
        // Columns xs (ascending) of one triangle, or with exact edges of the quad's row.
        auto shadeMany = [&](const int32_t* xs, LONG n, const Triangle* owner) {
            if (!shading) {
                firstShader.Row(y);
                secondShader.Row(y);
                shading = true;
            }
            auto batch = [&](const PixelShader& shader, const int32_t* part, LONG count) {
                shader.ShadeMany(part, count, sampler, m_shaded.data());
                for (LONG j = 0; j < count; ++j) {
                    const uint32_t c = m_shaded[static_cast<size_t>(j)];
                    if (to.IsX888())
                        std::memcpy(dstRow + part[j] * 4, &c, 4);
                    else
                        to.Write(dstRow + part[j] * to.bytes, static_cast<int>(c >> 16), static_cast<int>(c >> 8 & 0xFF),
                                 static_cast<int>(c & 0xFF));
                }
            };
            if (owner != nullptr) {
                batch(owner == &second ? secondShader : firstShader, xs, n);
                return;
            }
            // Along a row of the quad one triangle owns the columns up to the diagonal and the
            // other the rest: one search finds where the owner changes.
            const bool secondFirst = second.Owns(xs[0], y);
            LONG split = n;
            if (second.Owns(xs[n - 1], y) != secondFirst) {
                LONG same = 0, other = n - 1;
                while (other - same > 1) {
                    const LONG mid = same + (other - same) / 2;
                    (second.Owns(xs[mid], y) == secondFirst ? same : other) = mid;
                }
                split = other;
            }
            batch(secondFirst ? secondShader : firstShader, xs, split);
            batch(secondFirst ? firstShader : secondShader, xs + split, n - split);
        };
        const double v = v0 + (y - top) * stepV;
        if (linear) {
            const double s = std::clamp(v * th - 0.5, 0.0, th - 1);
            const auto vy = static_cast<LONG>(s);
            const LONG vy1 = std::min<LONG>(vy + 1, texture.height - 1);
            const float fv = static_cast<float>(s - vy);
            const float* const* upper = Across(texture, vy, vy1);
            const float* const* lower = Across(texture, vy1, vy);
            for (int i = 0; i < count; ++i) {
                const Run& run = runs[i];
                const size_t at = static_cast<size_t>(run.begin - x0);
                const float* const upperRun[3] = {upper[0] + at, upper[1] + at, upper[2] + at};
                const float* const lowerRun[3] = {lower[0] + at, lower[1] + at, lower[2] + at};
                const LONG n = run.end - run.begin;
                uint32_t* out = to.IsX888() ? reinterpret_cast<uint32_t*>(dstRow) + run.begin : m_out.data();
                const LONG unsure = QuadDown(upperRun, lowerRun, fv, band, out, m_unsure.data(), n);
                if (!to.IsX888())
                    for (LONG j = 0; j < n; ++j)
                        to.Write(dstRow + (run.begin + j) * to.bytes, static_cast<int>(out[j] >> 16 & 0xFF),
                                 static_cast<int>(out[j] >> 8 & 0xFF), static_cast<int>(out[j] & 0xFF));
                if (unsure > 0) {
                    for (LONG j = 0; j < unsure; ++j)
                        m_unsure[static_cast<size_t>(j)] += run.begin;
                    shadeMany(m_unsure.data(), unsure, run.owner);
                }
            }
            continue;
        }
        bool rowSure;
        const LONG ty = PointTexel(v * th, slackV, texture.height, &rowSure);
        const BYTE* srcRow = texture.pixels + static_cast<ptrdiff_t>(ty) * texture.pitch;
        for (int i = 0; i < count; ++i) {
            const Run& run = runs[i];
            const size_t at = static_cast<size_t>(run.begin - x0);
            const LONG n = run.end - run.begin;
            BYTE* dst = dstRow + run.begin * to.bytes;
            if (rowSure && same && allSure) {
                if (straight)
                    std::memcpy(dst, srcRow + m_xa[at] * from.bytes, static_cast<size_t>(n * to.bytes));
                else if (to.bytes == 4)
                    Pick32Sse2(srcRow, m_xa.data() + at, dst, n);
                else if (to.bytes == 2)
                    Pick16Sse2(srcRow, m_xa.data() + at, dst, n);
                else
                    for (LONG j = 0; j < n; ++j)
                        std::memcpy(dst + j * to.bytes, srcRow + m_xa[at + static_cast<size_t>(j)] * from.bytes, 3);
                continue;
            }
            for (LONG j = 0; j < n; ++j) {
                const size_t c = at + static_cast<size_t>(j);
                if (!rowSure || !m_sure[c]) {
                    shade(run.begin + j, run.owner);
                } else if (same) {
                    std::memcpy(dst + j * to.bytes, srcRow + m_xa[c] * from.bytes, static_cast<size_t>(to.bytes));
                } else {
                    const DWORD p = from.Read(srcRow + m_xa[c] * from.bytes);
                    to.Write(dst + j * to.bytes, from.Channel(p, 0), from.Channel(p, 1), from.Channel(p, 2));
                }
            }
        }
    }
    return true;
}

} // namespace winapi::ddraw
