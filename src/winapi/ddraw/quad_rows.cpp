// The textured quad by rows.
//
// Why the rows give the triangles' pixels: a triangle works each pixel's u and v from its edge
// values in double, so the same column may get a u a few units in the last place apart from row
// to row and from one triangle to the other. Those differences stay below kSlack * (size *
// |u| + 1) texels (the triangles' arithmetic is good to about 63 units of 2^-53 there). The
// sampling rounds a position to its texel (point) or to a weight of kWeightBits bits (bilinear)
// and mixes in integers, so a column whose rows' position lies farther than the slack from a
// rounding edge gets the triangles' texels and weights on every row, and so does a row; the
// pixels of a column or row within the slack are shaded by their triangle. Which pixels each
// triangle owns comes from its own edge tests: along a row each edge's answer changes at most
// once.
#include "winapi/ddraw/quad_rows.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "winapi/ddraw/row_kernels.h"

namespace winapi::ddraw {

namespace {

constexpr double kMaxCoordinate = 16777216.0;  // vertex positions and texel positions the bound covers
constexpr double kSlack = 0x1p-44;             // 512 units of 2^-53

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

private:
    const Triangle& m_t;
    LONG m_x0, m_x1;
    int m_flat = -1, m_upright = -1, m_slanted = -1;
    bool m_usable = false;
    // Per column: the upright edge's u and v terms, the slanted edge's column part.
    struct Column {
        double u, v, slanted;
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

// The bilinear position s (texels, before clamping) with the slack d: its texel and weight, and
// whether both ends of the slack round to the same weight.
inline WeightedTexel LinearTexel(double s, double d, LONG size, bool* sure)
{
    const double clamped = std::clamp(s, 0.0, size - 1.0), fixed = clamped * kWeightOne + 0.5;
    const double above = fixed - Floor(fixed), reach = d * kWeightOne;
    *sure = above > reach && above < 1 - reach;
    return Weighted(clamped);
}

// The first pixel at or after c, within 0..limit.
inline LONG CeilClamped(double c, LONG limit)
{
    return static_cast<LONG>(std::clamp(std::ceil(c), 0.0, static_cast<double>(limit)));
}

} // namespace

int32_t* const* QuadRows::Across(const SurfaceMemory& texture, LONG y, LONG keep)
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
    QuadAcross(src, length, m_xa.data(), m_xb.data(), m_w.data(), m_slot[slot], m_columns);
    m_rowOf[slot] = y;
    return m_slot[slot];
}

bool QuadRows::Draw(const TLVertex* q, const SurfaceMemory& target, const SurfaceMemory& texture, bool linear,
                    bool blend)
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
    if (blend && (linear || !PixelFormat(target.format).IsX888() || !PixelFormat(texture.format).IsX888() ||
                  PixelFormat(texture.format).alphaMask != 0xFF000000u))
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
    const Sampler sampler(texture, linear);
    const PixelFormat to(target.format), from(texture.format);
    const bool same = to.SameAs(from);

    m_columns = x1 - x0;
    const auto columns = static_cast<size_t>(m_columns);
    m_xa.resize(columns);
    m_xb.resize(columns);
    m_w.resize(columns);
    m_sure.resize(columns);
    m_out.resize(columns);
    m_unsureColumns.clear();
    m_unsureColumns.reserve(columns);
    const double stepU = (u1 - u0) / (right - left), stepV = (v1 - v0) / (bottom - top);
    bool allSure = true, straight = true;
    if (linear) {
        for (LONG x = x0; x < x1; ++x) {
            const size_t i = static_cast<size_t>(x - x0);
            const double u = u0 + (x - left) * stepU;
            bool sure;
            const WeightedTexel across = LinearTexel(u * tw - 0.5, slackU, texture.width, &sure);
            m_xa[i] = across.texel;
            m_xb[i] = std::min<LONG>(across.texel + 1, texture.width - 1);
            m_w[i] = across.weight;
            if (!sure)
                m_unsureColumns.push_back(x);
        }
    } else {
        PointTexels(u0, left, stepU, slackU, texture.width, x0, m_columns, m_xa.data(), m_sure.data());
        // Only the quad's own columns count: no triangle owns a pixel outside them.
        for (LONG x = std::max(x0, cx0); x < std::min(x1, cx1); ++x) {
            const size_t i = static_cast<size_t>(x - x0);
            allSure = allSure && m_sure[i] != 0;
            straight = straight && m_xa[i] == m_xa[static_cast<size_t>(cx0 - x0)] + (x - cx0);
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
    } else if (blend) {
        // A pixel drawn twice would be blended twice, and the triangles' own shading of an
        // unsure texel is not blended here: those quads go to the triangles.
        if (!exact || !allSure || cx0 < x0 || cx1 > x1)
            return false;
        const LONG rowsFrom = std::max(y0, cy0), rowsTo = std::min(y1, cy1);
        const auto rows = static_cast<size_t>(std::max<LONG>(rowsTo - rowsFrom, 0));
        m_rowTexels.resize(rows);
        m_rowSure.resize(rows);
        PointTexels(v0, top, stepV, slackV, texture.height, rowsFrom, static_cast<LONG>(rows), m_rowTexels.data(),
                    m_rowSure.data());
        if (std::find(m_rowSure.begin(), m_rowSure.end(), 0) != m_rowSure.end())
            return false;
        for (LONG y = rowsFrom; y < rowsTo && cx0 < cx1; ++y) {
            const LONG ty = m_rowTexels[static_cast<size_t>(y - rowsFrom)];
            const auto* srcRow = reinterpret_cast<const uint32_t*>(texture.pixels + static_cast<ptrdiff_t>(ty) * texture.pitch);
            auto* dstRow = reinterpret_cast<uint32_t*>(target.pixels + static_cast<ptrdiff_t>(y) * target.pitch) + cx0;
            const size_t at = static_cast<size_t>(cx0 - x0);
            const LONG n = cx1 - cx0;
            if (straight) {
                BlendOver8888(srcRow + m_xa[at], dstRow, n);
            } else {
                Pick32Sse2(reinterpret_cast<const BYTE*>(srcRow), m_xa.data() + at, reinterpret_cast<BYTE*>(m_out.data()), n);
                BlendOver8888(m_out.data(), dstRow, n);
            }
        }
        return true;
    } else if (exact && same && allSure && straight && cx0 == 0 && cx0 < cx1 && cy0 < cy1 &&
               m_xa[static_cast<size_t>(cx0 - x0)] == 0 && (cx1 - cx0) * to.bytes == target.pitch &&
               target.pitch == texture.pitch) {
        // Whole rows of both, one after the other, when the rows also follow each other.
        const auto rows = static_cast<size_t>(cy1 - cy0);
        m_rowTexels.resize(rows);
        m_rowSure.resize(rows);
        PointTexels(v0, top, stepV, slackV, texture.height, cy0, cy1 - cy0, m_rowTexels.data(), m_rowSure.data());
        const LONG firstRow = m_rowTexels[0];
        bool rowsStraight = true;
        for (size_t i = 0; i < rows && rowsStraight; ++i)
            rowsStraight = m_rowSure[i] != 0 && m_rowTexels[i] == firstRow + static_cast<LONG>(i);
        if (rowsStraight) {
            CopyRow(texture.pixels + static_cast<ptrdiff_t>(firstRow) * texture.pitch,
                    target.pixels + static_cast<ptrdiff_t>(cy0) * target.pitch,
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
        const double v = v0 + (y - top) * stepV;
        if (linear) {
            bool rowSure;
            const WeightedTexel down = LinearTexel(v * th - 0.5, slackV, texture.height, &rowSure);
            if (!rowSure) {
                for (int i = 0; i < count; ++i)
                    for (LONG x = runs[i].begin; x < runs[i].end; ++x)
                        shade(x, runs[i].owner);
                continue;
            }
            const LONG vy = down.texel, vy1 = std::min<LONG>(vy + 1, texture.height - 1);
            const int32_t* const* upper = Across(texture, vy, vy1);
            const int32_t* const* lower = Across(texture, vy1, vy);
            for (int i = 0; i < count; ++i) {
                const Run& run = runs[i];
                const size_t at = static_cast<size_t>(run.begin - x0);
                const int32_t* const upperRun[3] = {upper[0] + at, upper[1] + at, upper[2] + at};
                const int32_t* const lowerRun[3] = {lower[0] + at, lower[1] + at, lower[2] + at};
                const LONG n = run.end - run.begin;
                uint32_t* out = to.IsX888() ? reinterpret_cast<uint32_t*>(dstRow) + run.begin : m_out.data();
                QuadDown(upperRun, lowerRun, down.weight, out, n);
                if (!to.IsX888())
                    for (LONG j = 0; j < n; ++j)
                        to.Write(dstRow + (run.begin + j) * to.bytes, static_cast<int>(out[j] >> 16 & 0xFF),
                                 static_cast<int>(out[j] >> 8 & 0xFF), static_cast<int>(out[j] & 0xFF));
                for (auto x = std::lower_bound(m_unsureColumns.begin(), m_unsureColumns.end(), run.begin);
                     x != m_unsureColumns.end() && *x < run.end; ++x)
                    shade(*x, run.owner);
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
                    CopyRow(srcRow + m_xa[at] * from.bytes, dst, static_cast<size_t>(n * to.bytes));
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
