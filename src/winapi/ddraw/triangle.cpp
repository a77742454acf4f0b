// The triangle rules of the software Direct3D device.
#include "winapi/ddraw/triangle.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace winapi::ddraw {

namespace {

// Edge a -> b seen from p, doubled area sign.
inline double Edge(double ax, double ay, double bx, double by, double px, double py)
{
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

} // namespace

bool Minifies(const TLVertex& a, const TLVertex& b, const TLVertex& c, LONG tw, LONG th)
{
    const double cross = (static_cast<double>(b.x) - a.x) * (static_cast<double>(c.y) - a.y) -
                         (static_cast<double>(b.y) - a.y) * (static_cast<double>(c.x) - a.x);
    const double texelArea = std::abs(((static_cast<double>(b.u) - a.u) * (static_cast<double>(c.v) - a.v) -
                                       (static_cast<double>(b.v) - a.v) * (static_cast<double>(c.u) - a.u)) *
                                      static_cast<double>(tw) * static_cast<double>(th));
    return texelArea > std::abs(cross);
}

Sampler::Sampler(const SurfaceMemory& texture, bool linear)
    : m_pixels(texture.pixels), m_pitch(texture.pitch), m_width(texture.width), m_height(texture.height),
      m_from(texture.format), m_linear(linear)
{
}

void Sampler::Sample(double u, double v, int rgb[3]) const
{
    const double tw = m_width, th = m_height;
    if (!m_linear) {
        const double fu = std::floor(u * tw), fv = std::floor(v * th);
        const LONG tx = static_cast<LONG>(std::clamp(std::isfinite(fu) ? fu : 0.0, 0.0, tw - 1));
        const LONG ty = static_cast<LONG>(std::clamp(std::isfinite(fv) ? fv : 0.0, 0.0, th - 1));
        const DWORD p = m_from.Read(Texel(tx, ty));
        for (int i = 0; i < 3; ++i)
            rgb[i] = m_from.Channel(p, i);
        return;
    }
    const BilinearTexels t = BilinearAt(u, v, m_width, m_height);
    const DWORD p00 = m_from.Read(Texel(t.x0, t.y0)), p01 = m_from.Read(Texel(t.x1, t.y0));
    const DWORD p10 = m_from.Read(Texel(t.x0, t.y1)), p11 = m_from.Read(Texel(t.x1, t.y1));
    for (int i = 0; i < 3; ++i)
        rgb[i] = Mix(m_from.Channel(p00, i), m_from.Channel(p01, i), m_from.Channel(p10, i), m_from.Channel(p11, i), t);
}

Triangle::Triangle(const TLVertex& a, const TLVertex& b, const TLVertex& c, LONG width, LONG height)
    : m_v{&a, &b, &c}
{
    Setup(RECT{0, 0, width, height});
}

Triangle::Triangle(const TLVertex& a, const TLVertex& b, const TLVertex& c, const RECT& clip)
    : m_v{&a, &b, &c}
{
    Setup(clip);
}

void Triangle::Setup(const RECT& clip)
{
    const TLVertex& a = *m_v[0];
    const TLVertex& b = *m_v[1];
    const TLVertex& c = *m_v[2];
    m_area = Edge(a.x, a.y, b.x, b.y, c.x, c.y);
    if (!std::isfinite(m_area) || m_area == 0)
        return;
    if (m_area < 0) {
        std::swap(m_v[1], m_v[2]);
        std::swap(m_given[1], m_given[2]);
        m_area = -m_area;
    }
    const double minX = std::floor(std::min({a.x, b.x, c.x}));
    const double maxX = std::ceil(std::max({a.x, b.x, c.x}));
    const double minY = std::floor(std::min({a.y, b.y, c.y}));
    const double maxY = std::ceil(std::max({a.y, b.y, c.y}));
    if (!(std::isfinite(minX) && std::isfinite(maxX) && std::isfinite(minY) && std::isfinite(maxY)))
        return;
    const double left = clip.left, right = clip.right, top = clip.top, bottom = clip.bottom;
    m_x0 = static_cast<LONG>(std::clamp(minX, left, right));
    m_x1 = static_cast<LONG>(std::clamp(maxX + 1, left, right));
    m_y0 = static_cast<LONG>(std::clamp(minY, top, bottom));
    m_y1 = static_cast<LONG>(std::clamp(maxY + 1, top, bottom));
    for (int i = 0; i < 3; ++i) {
        const TLVertex& from = *m_v[(i + 1) % 3];
        const TLVertex& to = *m_v[(i + 2) % 3];
        Line& l = m_edges[i];
        l.ax = from.x;
        l.ay = from.y;
        l.dx = static_cast<double>(to.x) - from.x;
        l.dy = static_cast<double>(to.y) - from.y;
        // The inside is on the positive side. With y growing down the screen, a top edge runs
        // right (the inside below it) and a left edge runs up (the inside to its right).
        l.topLeft = (l.dy == 0 && l.dx > 0) || l.dy < 0;
    }
    m_drawable = true;
}

bool Triangle::Edges(LONG x, LONG y, double e[3]) const
{
    bool owns = true;
    for (int i = 0; i < 3; ++i) {
        e[i] = RowPart(i, y) - ColumnPart(i, x);
        owns = owns && (e[i] > 0 || (!(e[i] < 0) && m_edges[i].topLeft));
    }
    return owns;
}

bool Triangle::Owns(LONG x, LONG y) const
{
    double e[3];
    return m_drawable && Edges(x, y, e);
}

void Triangle::ShadeEdges(const double e[3], const Sampler& sampler, int rgb[3]) const
{
    const double wa = e[0] / m_area, wb = e[1] / m_area, wc = e[2] / m_area;
    const double u = wa * U(0) + wb * U(1) + wc * U(2);
    const double v = wa * V(0) + wb * V(1) + wc * V(2);
    sampler.Sample(u, v, rgb);
}

void Triangle::Shade(LONG x, LONG y, const Sampler& sampler, int rgb[3]) const
{
    double e[3];
    Edges(x, y, e);
    ShadeEdges(e, sampler, rgb);
}

void Triangle::Draw(const SurfaceMemory& target, const Sampler& sampler) const
{
    if (!m_drawable)
        return;
    const PixelFormat to(target.format);
    for (LONG y = m_y0; y < m_y1; ++y) {
        BYTE* row = target.pixels + static_cast<ptrdiff_t>(y) * target.pitch;
        for (LONG x = m_x0; x < m_x1; ++x) {
            double e[3];
            if (!Edges(x, y, e))
                continue;
            int rgb[3];
            ShadeEdges(e, sampler, rgb);
            to.Write(row + x * to.bytes, rgb[0], rgb[1], rgb[2]);
        }
    }
}

} // namespace winapi::ddraw
