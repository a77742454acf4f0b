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
#include <cmath>
#include <cstring>

#include "winapi/ddraw/row_kernels.h"

namespace winapi::ddraw {

namespace {

constexpr double kMaxCoordinate = 16777216.0;  // vertex positions and texel positions the bound covers
constexpr double kSlack = 0x1p-44;             // 512 units of 2^-53
constexpr double kFloatBand = 0x1p-12;         // the float rows' own error is below 2^-14

struct Span {
    LONG begin = 0, end = 0;
    bool Empty() const { return begin >= end; }
    bool Has(LONG x) const { return x >= begin && x < end; }
};

// The first x in (lo, hi) where pred differs from pred(lo), given that it does at hi - 1 and
// changes only once; the search starts at hint.
template <class Pred> LONG Switch(const Pred& pred, LONG lo, LONG hi, LONG hint)
{
    const bool first = pred(lo);
    LONG same = lo, other = hi - 1;
    const LONG h = std::clamp(hint, lo + 1, hi - 1);
    LONG step = 1;
    if (pred(h) != first) {
        other = h;
        for (LONG probe = h - 1; probe > same; probe = other - step) {
            if (pred(probe) == first) {
                same = probe;
                break;
            }
            other = probe;
            step *= 2;
        }
    } else {
        same = h;
        for (LONG probe = h + 1; probe < other; probe = same + step) {
            if (pred(probe) != first) {
                other = probe;
                break;
            }
            same = probe;
            step *= 2;
        }
    }
    while (other - same > 1) {
        const LONG mid = same + (other - same) / 2;
        (pred(mid) == first ? same : other) = mid;
    }
    return other;
}

// The pixels of row y the triangle owns (hints: where each edge changed on the row before).
Span RowSpan(const Triangle& t, LONG y, LONG hints[3])
{
    if (!t.Drawable() || y < t.Y0() || y >= t.Y1() || t.X0() >= t.X1())
        return {};
    Span span{t.X0(), t.X1()};
    for (int i = 0; i < 3; ++i) {
        auto owns = [&t, i, y](LONG x) { return t.EdgeOwns(i, x, y); };
        const bool left = owns(t.X0()), right = owns(t.X1() - 1);
        if (left && right)
            continue;
        if (!left && !right)
            return {};
        hints[i] = Switch(owns, t.X0(), t.X1(), hints[i]);
        if (left)
            span.end = std::min(span.end, hints[i]);
        else
            span.begin = std::max(span.begin, hints[i]);
    }
    return span;
}

// Whether the two spans together are exactly the columns x0..x1-1.
bool Covers(const Span& a, const Span& b, LONG x0, LONG x1)
{
    if (a.Empty() || b.Empty()) {
        const Span& one = a.Empty() ? b : a;
        return one.begin == x0 && one.end == x1;
    }
    return a.begin <= b.end && b.begin <= a.end && std::min(a.begin, b.begin) == x0 && std::max(a.end, b.end) == x1;
}

// Where the texel position p (texels, before clamping) may fall with the slack d: the clamped
// texel, and whether both ends of the slack agree on it.
LONG PointTexel(double p, double d, LONG size, bool* sure)
{
    const double top = size - 1.0;
    const double low = std::clamp(std::floor(p - d), 0.0, top), high = std::clamp(std::floor(p + d), 0.0, top);
    *sure = low == high;
    return static_cast<LONG>(low);
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
    if (!from.IsX888()) {
        for (size_t i = 0; i < m_widened.size(); ++i)
            m_widened[i] = from.X888(from.Read(row + (m_base + static_cast<LONG>(i)) * from.bytes));
        src = m_widened.data();
    }
    QuadAcross(src, m_xa.data(), m_xb.data(), m_fu.data(), m_slot[slot], m_columns);
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
    const double slackU = kSlack * (reachU + 1), slackV = kSlack * (reachV + 1);
    const float band = static_cast<float>(kFloatBand + 255 * (slackU + slackV));
    const Sampler sampler(texture, linear);
    const PixelFormat to(target.format), from(texture.format);

    m_columns = x1 - x0;
    const auto columns = static_cast<size_t>(m_columns);
    m_xa.resize(columns);
    m_xb.resize(columns);
    m_fu.resize(columns);
    m_sure.resize(columns);
    bool allSure = true, straight = true;
    for (LONG x = x0; x < x1; ++x) {
        const size_t i = static_cast<size_t>(x - x0);
        const double u = u0 + (x - left) / (right - left) * (u1 - u0);
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
            allSure = allSure && sure;
            straight = straight && m_xa[i] == m_xa[0] + static_cast<LONG>(i);
        }
    }

    // The runs of each row: the pixels of the second triangle, and those of the first outside them.
    std::vector<Span> firstSpans(static_cast<size_t>(y1 - y0)), secondSpans(firstSpans.size());
    LONG hints[2][3] = {{x0, x0, x0}, {x0, x0, x0}};
    bool whole = true;
    for (LONG y = y0; y < y1; ++y) {
        const size_t r = static_cast<size_t>(y - y0);
        firstSpans[r] = RowSpan(first, y, hints[0]);
        secondSpans[r] = RowSpan(second, y, hints[1]);
        whole = whole && Covers(firstSpans[r], secondSpans[r], x0, x1);
    }

    m_out.resize(columns);
    m_unsure.resize(columns);
    const bool same = to.SameAs(from);
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
    } else if (same && allSure && straight && whole && x0 == 0 && m_xa[0] == 0 &&
               static_cast<LONG>(columns) * to.bytes == target.pitch && target.pitch == texture.pitch) {
        // Whole rows of both, one after the other, when the rows also follow each other.
        bool rowsStraight = true;
        LONG first = 0;
        for (LONG y = y0; y < y1 && rowsStraight; ++y) {
            const double v = v0 + (y - top) / (bottom - top) * (v1 - v0);
            bool sure;
            const LONG ty = PointTexel(v * th, slackV, texture.height, &sure);
            if (y == y0)
                first = ty;
            rowsStraight = sure && ty == first + (y - y0);
        }
        if (rowsStraight) {
            std::memcpy(target.pixels + static_cast<ptrdiff_t>(y0) * target.pitch,
                        texture.pixels + static_cast<ptrdiff_t>(first) * texture.pitch,
                        columns * static_cast<size_t>(to.bytes) * static_cast<size_t>(y1 - y0));
            return true;
        }
    }

    for (LONG y = y0; y < y1; ++y) {
        const size_t r = static_cast<size_t>(y - y0);
        const Span& a = firstSpans[r];
        const Span& b = secondSpans[r];
        // At most three runs, each owned by one triangle.
        struct Run {
            LONG begin, end;
            const Triangle* owner;
        } runs[3];
        int count = 0;
        auto add = [&](LONG begin, LONG end, const Triangle* owner) {
            if (begin < end)
                runs[count++] = {begin, end, owner};
        };
        if (b.Empty()) {
            add(a.begin, a.end, &first);
        } else {
            add(a.begin, std::min(a.end, b.begin), &first);
            add(b.begin, b.end, &second);
            add(std::max(a.begin, b.end), a.end, &first);
        }
        BYTE* dstRow = target.pixels + static_cast<ptrdiff_t>(y) * target.pitch;
        auto shade = [&](LONG x, const Triangle* owner) {
            int rgb[3];
            owner->Shade(x, y, sampler, rgb);
            to.Write(dstRow + x * to.bytes, rgb[0], rgb[1], rgb[2]);
        };
        const double v = v0 + (y - top) / (bottom - top) * (v1 - v0);
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
                for (LONG j = 0; j < unsure; ++j)
                    shade(run.begin + m_unsure[static_cast<size_t>(j)], run.owner);
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
