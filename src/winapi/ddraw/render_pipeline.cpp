// The software Direct3D device's pixel rules.
#include "winapi/ddraw/render_pipeline.h"

#include "winapi/ddraw/row_kernels.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <type_traits>
#include <cmath>
#include <cstring>
#include <emmintrin.h>

namespace winapi::ddraw {

namespace {

int Clamp255(int v) { return std::clamp(v, 0, 255); }

int RoundChannel(double v)
{
    const double r = std::floor(v + 0.5);
    return std::isfinite(r) ? static_cast<int>(std::clamp(r, 0.0, 255.0)) : 0;
}

bool InRange(DWORD v, DWORD lo, DWORD hi) { return v >= lo && v <= hi; }

bool StageArgKnown(DWORD value) { return (value & ~0x3Fu) == 0 && (value & D3DTA_SELECTMASK) <= D3DTA_TFACTOR; }

// Stage operation op on a and b (0..255); alphas of the diffuse colour, texture and factor.
int Operate(DWORD op, int a, int b, int diffuseAlpha, int textureAlpha, int factorAlpha)
{
    switch (op) {
    case D3DTOP_SELECTARG1:
        return a;
    case D3DTOP_SELECTARG2:
        return b;
    case D3DTOP_MODULATE:
        return Div255(a * b);
    case D3DTOP_MODULATE2X:
        return std::min(255, 2 * Div255(a * b));
    case D3DTOP_MODULATE4X:
        return std::min(255, 4 * Div255(a * b));
    case D3DTOP_ADD:
        return std::min(255, a + b);
    case D3DTOP_ADDSIGNED:
        return Clamp255(a + b - 128);
    case D3DTOP_ADDSIGNED2X:
        return Clamp255(2 * (a + b) - 255);
    case D3DTOP_SUBTRACT:
        return std::max(0, a - b);
    case D3DTOP_ADDSMOOTH:
        return Clamp255(a + b - Div255(a * b));
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDCURRENTALPHA:
        return Div255(a * diffuseAlpha + b * (255 - diffuseAlpha));
    case D3DTOP_BLENDTEXTUREALPHA:
        return Div255(a * textureAlpha + b * (255 - textureAlpha));
    case D3DTOP_BLENDFACTORALPHA:
        return Div255(a * factorAlpha + b * (255 - factorAlpha));
    case D3DTOP_BLENDTEXTUREALPHAPM:
        return std::min(255, a + Div255(b * (255 - textureAlpha)));
    default:
        return Div255(a * b);
    }
}

int BlendFactor(DWORD factor, int channel, const int src[4], const int dst[3])
{
    switch (factor) {
    case D3DBLEND_ZERO:
        return 0;
    case D3DBLEND_ONE:
        return 255;
    case D3DBLEND_SRCCOLOR:
        return src[channel];
    case D3DBLEND_INVSRCCOLOR:
        return 255 - src[channel];
    case D3DBLEND_SRCALPHA:
        return src[3];
    case D3DBLEND_INVSRCALPHA:
        return 255 - src[3];
    case D3DBLEND_DESTALPHA:
        return 255;
    case D3DBLEND_INVDESTALPHA:
        return 0;
    case D3DBLEND_DESTCOLOR:
        return dst[channel];
    case D3DBLEND_INVDESTCOLOR:
        return 255 - dst[channel];
    case D3DBLEND_SRCALPHASAT:
        return std::min(src[3], 255 - 255);
    default:
        return 255;
    }
}

bool Compare(DWORD func, int value, int ref)
{
    switch (func) {
    case D3DCMP_NEVER:
        return false;
    case D3DCMP_LESS:
        return value < ref;
    case D3DCMP_EQUAL:
        return value == ref;
    case D3DCMP_LESSEQUAL:
        return value <= ref;
    case D3DCMP_GREATER:
        return value > ref;
    case D3DCMP_NOTEQUAL:
        return value != ref;
    case D3DCMP_GREATEREQUAL:
        return value >= ref;
    default:
        return true;
    }
}

bool Finite(const RasterVertex& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

} // namespace

void RenderStates::SetRender(DWORD state, DWORD value)
{
    switch (state) {
    case D3DRENDERSTATE_CULLMODE:
        cull = InRange(value, D3DCULL_NONE, D3DCULL_CCW) ? value : D3DCULL_CCW;
        break;
    case D3DRENDERSTATE_SHADEMODE:
        shade = value == D3DSHADE_FLAT ? D3DSHADE_FLAT : D3DSHADE_GOURAUD;
        break;
    case D3DRENDERSTATE_COLORKEYENABLE:
        colorKey = value != 0;
        break;
    case D3DRENDERSTATE_ALPHABLENDENABLE:
        blend = value != 0;
        break;
    case D3DRENDERSTATE_SRCBLEND:
        srcBlend = InRange(value, D3DBLEND_ZERO, D3DBLEND_BOTHINVSRCALPHA) ? value : D3DBLEND_ONE;
        break;
    case D3DRENDERSTATE_DESTBLEND:
        destBlend = InRange(value, D3DBLEND_ZERO, D3DBLEND_BOTHINVSRCALPHA) ? value : D3DBLEND_ZERO;
        break;
    case D3DRENDERSTATE_ALPHATESTENABLE:
        alphaTest = value != 0;
        break;
    case D3DRENDERSTATE_ALPHAFUNC:
        alphaFunc = InRange(value, D3DCMP_NEVER, D3DCMP_ALWAYS) ? value : D3DCMP_ALWAYS;
        break;
    case D3DRENDERSTATE_ALPHAREF:
        alphaRef = static_cast<int>(value & 0xFF);
        break;
    case D3DRENDERSTATE_TEXTUREFACTOR:
        textureFactor = value;
        break;
    default:
        break;
    }
}

void RenderStates::SetStage(DWORD state, DWORD value)
{
    switch (state) {
    case D3DTSS_COLOROP:
        colorOp = InRange(value, D3DTOP_DISABLE, D3DTOP_BLENDCURRENTALPHA) ? value : D3DTOP_MODULATE;
        break;
    case D3DTSS_COLORARG1:
        colorArg1 = StageArgKnown(value) ? value : D3DTA_TEXTURE;
        break;
    case D3DTSS_COLORARG2:
        colorArg2 = StageArgKnown(value) ? value : D3DTA_CURRENT;
        break;
    case D3DTSS_ALPHAOP:
        alphaOp = InRange(value, D3DTOP_DISABLE, D3DTOP_BLENDCURRENTALPHA) ? value : D3DTOP_SELECTARG1;
        break;
    case D3DTSS_ALPHAARG1:
        alphaArg1 = StageArgKnown(value) ? value : D3DTA_TEXTURE;
        break;
    case D3DTSS_ALPHAARG2:
        alphaArg2 = StageArgKnown(value) ? value : D3DTA_CURRENT;
        break;
    case D3DTSS_MAGFILTER:
        magLinear = value == D3DTFG_LINEAR;
        break;
    case D3DTSS_MINFILTER:
        minLinear = value == D3DTFN_LINEAR;
        break;
    default:
        break;
    }
}

TexelSource::TexelSource(const SurfaceMemory& texture, bool colorKey)
    : m_pixels(texture.pixels), m_pitch(texture.pitch), m_width(texture.width), m_height(texture.height),
      m_format(texture.format), m_keyed(colorKey && texture.hasKey)
{
    if (m_keyed) {
        m_keyLow = m_format.ColourBits(texture.key.dwColorSpaceLowValue);
        m_keyHigh = m_format.ColourBits(texture.key.dwColorSpaceHighValue);
    }
}

bool TexelSource::Texel(LONG x, LONG y, int rgba[4]) const
{
    const DWORD p = m_format.Read(m_pixels + static_cast<ptrdiff_t>(y) * m_pitch + x * m_format.bytes);
    if (m_keyed) {
        const DWORD c = m_format.ColourBits(p);
        if (c >= m_keyLow && c <= m_keyHigh) {
            rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
            return false;
        }
    }
    for (int i = 0; i < 3; ++i)
        rgba[i] = m_format.Channel(p, i);
    rgba[3] = m_format.Alpha(p);
    return true;
}

bool TexelSource::Sample(double u, double v, bool linear, int rgba[4]) const
{
    const double tw = m_width, th = m_height;
    if (!linear) {
        const double fu = std::floor(u * tw), fv = std::floor(v * th);
        const LONG tx = static_cast<LONG>(std::clamp(std::isfinite(fu) ? fu : 0.0, 0.0, tw - 1));
        const LONG ty = static_cast<LONG>(std::clamp(std::isfinite(fv) ? fv : 0.0, 0.0, th - 1));
        return Texel(tx, ty, rgba);
    }
    const BilinearTexels t = BilinearAt(u, v, m_width, m_height);
    int c00[4], c01[4], c10[4], c11[4];
    const bool k00 = Texel(t.x0, t.y0, c00), k01 = Texel(t.x1, t.y0, c01);
    const bool k10 = Texel(t.x0, t.y1, c10), k11 = Texel(t.x1, t.y1, c11);
    if (m_keyed) {
        // A kept texel counts where its weight is above zero (the left and upper ones always are).
        const bool any = k00 || (k01 && t.wu > 0) || (k10 && t.wv > 0) || (k11 && t.wu > 0 && t.wv > 0);
        if (!any)
            return false;
    }
    for (int i = 0; i < 4; ++i)
        rgba[i] = Mix(c00[i], c01[i], c10[i], c11[i], t);
    return true;
}

PrimitiveDrawer::PrimitiveDrawer(const SurfaceMemory& target, const RECT& clip, const TexelSource* texture,
                                 const RenderStates& states, bool fastSpans)
    : m_target(target), m_to(target.format), m_clip(clip), m_texture(texture), m_states(states)
{
    const DWORD f = states.textureFactor;
    m_factor[0] = static_cast<int>(f >> 16 & 0xFF);
    m_factor[1] = static_cast<int>(f >> 8 & 0xFF);
    m_factor[2] = static_cast<int>(f & 0xFF);
    m_factor[3] = static_cast<int>(f >> 24 & 0xFF);
    if (fastSpans)
        ChooseFastRows();
}

int PrimitiveDrawer::Arg(DWORD arg, const int diffuse[4], const int texel[4], int channel) const
{
    const DWORD select = arg & D3DTA_SELECTMASK;
    const int* from = select == D3DTA_TEXTURE ? texel : select == D3DTA_TFACTOR ? m_factor : diffuse;
    const int v = from[(arg & D3DTA_ALPHAREPLICATE) ? 3 : channel];
    return (arg & D3DTA_COMPLEMENT) ? 255 - v : v;
}

bool PrimitiveDrawer::Shade(const int diffuse[4], double u, double v, bool linear, int out[4]) const
{
    const RenderStates& s = m_states;
    int texel[4];
    if (m_texture == nullptr || s.colorOp == D3DTOP_DISABLE) {
        if (m_texture != nullptr && !m_texture->Sample(u, v, linear, texel))
            return false;
        for (int i = 0; i < 4; ++i)
            out[i] = diffuse[i];
    } else {
        if (!m_texture->Sample(u, v, linear, texel))
            return false;
        for (int i = 0; i < 3; ++i)
            out[i] = Operate(s.colorOp, Arg(s.colorArg1, diffuse, texel, i), Arg(s.colorArg2, diffuse, texel, i),
                             diffuse[3], texel[3], m_factor[3]);
        out[3] = s.alphaOp == D3DTOP_DISABLE
                     ? diffuse[3]
                     : Operate(s.alphaOp, Arg(s.alphaArg1, diffuse, texel, 3), Arg(s.alphaArg2, diffuse, texel, 3),
                               diffuse[3], texel[3], m_factor[3]);
    }
    return !s.alphaTest || Compare(s.alphaFunc, out[3], s.alphaRef);
}

void PrimitiveDrawer::Write(BYTE* p, const int rgba[4]) const
{
    if (!m_states.blend) {
        m_to.Write(p, rgba[0], rgba[1], rgba[2]);
        return;
    }
    const DWORD d = m_to.Read(p);
    const int dst[3] = {m_to.Channel(d, 0), m_to.Channel(d, 1), m_to.Channel(d, 2)};
    int out[3];
    for (int i = 0; i < 3; ++i) {
        int sf, df;
        if (m_states.srcBlend == D3DBLEND_BOTHSRCALPHA) {
            sf = rgba[3];
            df = 255 - rgba[3];
        } else if (m_states.srcBlend == D3DBLEND_BOTHINVSRCALPHA) {
            sf = 255 - rgba[3];
            df = rgba[3];
        } else {
            sf = BlendFactor(m_states.srcBlend, i, rgba, dst);
            df = BlendFactor(m_states.destBlend, i, rgba, dst);
        }
        out[i] = std::min(255, Div255(rgba[i] * sf + dst[i] * df));
    }
    m_to.Write(p, out[0], out[1], out[2]);
}

void PrimitiveDrawer::Point(const RasterVertex& a)
{
    if (!Finite(a))
        return;
    const double x = std::floor(static_cast<double>(a.x) + 0.5), y = std::floor(static_cast<double>(a.y) + 0.5);
    if (x < m_clip.left || x >= m_clip.right || y < m_clip.top || y >= m_clip.bottom)
        return;
    int rgba[4];
    if (!Shade(a.colour, a.u, a.v, m_states.magLinear, rgba))
        return;
    Write(m_target.pixels + static_cast<ptrdiff_t>(y) * m_target.pitch + static_cast<ptrdiff_t>(x) * m_to.bytes, rgba);
}

void PrimitiveDrawer::Line(const RasterVertex& a, const RasterVertex& b)
{
    if (!Finite(a) || !Finite(b))
        return;
    const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const double s0 = xMajor ? a.x : a.y, ds = xMajor ? dx : dy;
    const double p0 = std::floor(s0 + 0.5), p1 = std::floor(s0 + ds + 0.5);
    const double clipLo = xMajor ? m_clip.left : m_clip.top, clipHi = xMajor ? m_clip.right : m_clip.bottom;
    const double lo = std::max(std::min(p0, p1), clipLo), hi = std::min(std::max(p0, p1), clipHi - 1);
    if (!(lo <= hi) || !std::isfinite(ds))
        return;
    bool linear = m_states.magLinear;
    if (m_texture != nullptr) {
        const double tu = (static_cast<double>(b.u) - a.u) * m_texture->Width();
        const double tv = (static_cast<double>(b.v) - a.v) * m_texture->Height();
        if (tu * tu + tv * tv > dx * dx + dy * dy)
            linear = m_states.minLinear;
    }
    const bool flat = m_states.shade == D3DSHADE_FLAT;
    for (LONG m = static_cast<LONG>(lo); m <= static_cast<LONG>(hi); ++m) {
        const double t = ds == 0 ? 0.0 : std::clamp((m - s0) / ds, 0.0, 1.0);
        const double minor = std::floor((xMajor ? a.y + t * dy : a.x + t * dx) + 0.5);
        const double x = xMajor ? m : minor, y = xMajor ? minor : m;
        if (x < m_clip.left || x >= m_clip.right || y < m_clip.top || y >= m_clip.bottom)
            continue;
        int diffuse[4];
        for (int i = 0; i < 4; ++i)
            diffuse[i] = flat ? a.colour[i] : RoundChannel(a.colour[i] + t * (b.colour[i] - a.colour[i]));
        const double u = a.u + t * (static_cast<double>(b.u) - a.u), v = a.v + t * (static_cast<double>(b.v) - a.v);
        int rgba[4];
        if (!Shade(diffuse, u, v, linear, rgba))
            continue;
        Write(m_target.pixels + static_cast<ptrdiff_t>(y) * m_target.pitch + static_cast<ptrdiff_t>(x) * m_to.bytes,
              rgba);
    }
}

void PrimitiveDrawer::Triangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, int flat,
                               bool reversed)
{
    if (!Finite(a) || !Finite(b) || !Finite(c))
        return;
    const double cross = (static_cast<double>(b.x) - a.x) * (static_cast<double>(c.y) - a.y) -
                         (static_cast<double>(b.y) - a.y) * (static_cast<double>(c.x) - a.x);
    if (!std::isfinite(cross) || cross == 0)
        return;
    // y grows down the screen, so a positive cross product turns clockwise as seen.
    const bool clockwise = (cross > 0) != reversed;
    if ((m_states.cull == D3DCULL_CW && clockwise) || (m_states.cull == D3DCULL_CCW && !clockwise))
        return;
    const TLVertex ta{a.x, a.y, a.z, a.rhw, a.u, a.v}, tb{b.x, b.y, b.z, b.rhw, b.u, b.v},
        tc{c.x, c.y, c.z, c.rhw, c.u, c.v};
    const winapi::ddraw::Triangle t(ta, tb, tc, m_clip);
    if (!t.Drawable())
        return;
    const RasterVertex* given[3] = {&a, &b, &c};
    const RasterVertex* vk[3] = {given[t.Given(0)], given[t.Given(1)], given[t.Given(2)]};
    const bool linear = m_texture != nullptr && Minifies(ta, tb, tc, m_texture->Width(), m_texture->Height())
                            ? m_states.minLinear
                            : m_states.magLinear;
    // Three equal colours interpolate to that colour exactly (the weights sum to 1 within far
    // less than half a step), so they are taken as flat.
    const bool sameColour = std::equal(a.colour, a.colour + 4, b.colour) && std::equal(a.colour, a.colour + 4, c.colour);
    const bool gouraud = m_states.shade != D3DSHADE_FLAT && !sameColour;
    const int* flatColour = given[std::clamp(flat, 0, 2)]->colour;
    for (LONG y = t.Y0(); y < t.Y1(); ++y) {
        // The owned columns of the row: each edge's answer changes at most once along it.
        LONG lo = t.X0(), hi = t.X1();
        for (int i = 0; i < 3 && lo < hi; ++i) {
            if (t.Horizontal(i)) {
                if (!t.EdgeOwns(i, lo, y))
                    hi = lo;
                continue;
            }
            const double c0 = t.ColumnPart(i, 0), step = t.ColumnPart(i, 1) - c0;
            const double cross0 = step != 0 ? (t.RowPart(i, y) - c0) / step : 0.0;
            const double hint = std::clamp(std::isfinite(cross0) ? cross0 : 0.0, static_cast<double>(lo),
                                           static_cast<double>(hi));
            if (t.RunsUp(i)) {
                LONG xs = static_cast<LONG>(std::ceil(hint));
                while (xs > lo && t.EdgeOwns(i, xs - 1, y))
                    --xs;
                while (xs < hi && !t.EdgeOwns(i, xs, y))
                    ++xs;
                lo = std::max(lo, xs);
            } else {
                LONG xe = std::min(hi, static_cast<LONG>(std::floor(hint)) + 1);
                while (xe < hi && t.EdgeOwns(i, xe, y))
                    ++xe;
                while (xe > lo && !t.EdgeOwns(i, xe - 1, y))
                    --xe;
                hi = std::min(hi, xe);
            }
        }
        BYTE* row = m_target.pixels + static_cast<ptrdiff_t>(y) * m_target.pitch;
        if (m_fastRows[linear] != nullptr) {
            if (lo < hi) {
                const RowContext context{&t, {vk[0], vk[1], vk[2]}, gouraud, flatColour, row};
                m_fastRows[linear](*this, context, y, lo, hi);
                m_fastPixels += hi - lo;
            }
            continue;
        }
        for (LONG x = lo; x < hi; ++x) {
            double w[3];
            if (!t.Weights(x, y, w))
                continue;
            const double u = w[0] * t.U(0) + w[1] * t.U(1) + w[2] * t.U(2);
            const double v = w[0] * t.V(0) + w[1] * t.V(1) + w[2] * t.V(2);
            int diffuse[4];
            if (gouraud) {
                for (int i = 0; i < 4; ++i)
                    diffuse[i] = RoundChannel(w[0] * vk[0]->colour[i] + w[1] * vk[1]->colour[i] + w[2] * vk[2]->colour[i]);
            } else {
                for (int i = 0; i < 4; ++i)
                    diffuse[i] = flatColour[i];
            }
            int rgba[4];
            if (!Shade(diffuse, u, v, linear, rgba))
                continue;
            Write(row + static_cast<ptrdiff_t>(x) * m_to.bytes, rgba);
        }
    }
}

namespace {

// Texture and target formats of the fast rows: a pixel's widened channels (as PixelFormat gives
// them) and the write of a colour (as PixelFormat::Write).
struct Argb8888 {
    static constexpr int kBytes = 4;
    static constexpr bool kHasAlpha = true;
    static void Read(const BYTE* p, int c[4])
    {
        uint32_t v;
        std::memcpy(&v, p, 4);
        c[0] = static_cast<int>(v >> 16 & 0xFF);
        c[1] = static_cast<int>(v >> 8 & 0xFF);
        c[2] = static_cast<int>(v & 0xFF);
        c[3] = static_cast<int>(v >> 24);
    }
};
struct Xrgb8888 {
    static constexpr int kBytes = 4;
    static constexpr bool kHasAlpha = false;
    static void Read(const BYTE* p, int c[4])
    {
        uint32_t v;
        std::memcpy(&v, p, 4);
        c[0] = static_cast<int>(v >> 16 & 0xFF);
        c[1] = static_cast<int>(v >> 8 & 0xFF);
        c[2] = static_cast<int>(v & 0xFF);
        c[3] = 255;
    }
    static void Write(BYTE* p, int r, int g, int b)
    {
        const uint32_t v = static_cast<uint32_t>(r << 16 | g << 8 | b);
        std::memcpy(p, &v, 4);
    }
};
struct Rgb565 {
    static constexpr int kBytes = 2;
    static constexpr bool kHasAlpha = false;
    static void Read(const BYTE* p, int c[4])
    {
        uint16_t v;
        std::memcpy(&v, p, 2);
        const int r = v >> 11, g = v >> 5 & 0x3F, b = v & 0x1F;
        c[0] = r << 3 | r >> 2;
        c[1] = g << 2 | g >> 4;
        c[2] = b << 3 | b >> 2;
        c[3] = 255;
    }
    static void Write(BYTE* p, int r, int g, int b)
    {
        const uint16_t v = static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
        std::memcpy(p, &v, 2);
    }
};

// One row of a triangle by the general loop's arithmetic, with the format and blend fixed.
template <class Tex, class Target, bool Linear, bool Blend>
void FastRowOf(const PrimitiveDrawer& drawer, const PrimitiveDrawer::RowContext& c, LONG y, LONG lo, LONG hi)
{
    const TexelSource& ts = *drawer.Texture();
    const BYTE* pixels = ts.Pixels();
    const LONG pitch = ts.Pitch(), width = ts.Width(), height = ts.Height();
    const double tw = width, th = height;
    const bool modulateColour = drawer.ModulatesColour(), modulateAlpha = drawer.ModulatesAlpha();
    const winapi::ddraw::Triangle& t = *c.triangle;
    auto texel = [&](LONG x, LONG yy, int out[4]) {
        Tex::Read(pixels + static_cast<ptrdiff_t>(yy) * pitch + static_cast<ptrdiff_t>(x) * Tex::kBytes, out);
    };
    for (LONG x = lo; x < hi; ++x) {
        double w[3];
        if (!t.Weights(x, y, w))
            continue;
        const double u = w[0] * t.U(0) + w[1] * t.U(1) + w[2] * t.U(2);
        const double v = w[0] * t.V(0) + w[1] * t.V(1) + w[2] * t.V(2);
        int d[4];
        if (c.gouraud) {
            for (int i = 0; i < 4; ++i)
                d[i] = RoundChannel(w[0] * c.vertex[0]->colour[i] + w[1] * c.vertex[1]->colour[i] +
                                    w[2] * c.vertex[2]->colour[i]);
        } else {
            for (int i = 0; i < 4; ++i)
                d[i] = c.flatColour[i];
        }
        int s[4];
        if constexpr (!Linear) {
            const double fu = std::floor(u * tw), fv = std::floor(v * th);
            const LONG tx = static_cast<LONG>(std::clamp(std::isfinite(fu) ? fu : 0.0, 0.0, tw - 1));
            const LONG ty = static_cast<LONG>(std::clamp(std::isfinite(fv) ? fv : 0.0, 0.0, th - 1));
            texel(tx, ty, s);
        } else {
            const BilinearTexels t = BilinearAt(u, v, width, height);
            int c00[4], c01[4], c10[4], c11[4];
            texel(t.x0, t.y0, c00);
            texel(t.x1, t.y0, c01);
            texel(t.x0, t.y1, c10);
            texel(t.x1, t.y1, c11);
            for (int i = 0; i < 4; ++i)
                s[i] = Mix(c00[i], c01[i], c10[i], c11[i], t);
        }
        if (modulateColour)
            for (int i = 0; i < 3; ++i)
                s[i] = Div255(s[i] * d[i]);
        if (modulateAlpha)
            s[3] = Div255(s[3] * d[3]);
        BYTE* p = c.row + static_cast<ptrdiff_t>(x) * Target::kBytes;
        if constexpr (Blend) {
            int dst[4];
            Target::Read(p, dst);
            const int a = s[3];
            Target::Write(p, std::min(255, Div255(s[0] * a + dst[0] * (255 - a))),
                          std::min(255, Div255(s[1] * a + dst[1] * (255 - a))),
                          std::min(255, Div255(s[2] * a + dst[2] * (255 - a))));
        } else {
            Target::Write(p, s[0], s[1], s[2]);
        }
    }
}

// floor for |f| below 2^62 by truncation (std::floor is a library call on the SSE2 baseline).
inline double FloorOf(double f)
{
    const double t = static_cast<double>(static_cast<int64_t>(f));
    return t > f ? t - 1 : t;
}

// x * y / 255 rounded (as Div255) for x in 0..65152, without a division.
inline uint32_t Div255Fast(uint32_t x) { return ((x + 127) * 0x8081u) >> 23; }

// Texels tx..tx+n-1 of row p (8888 or x888) over n target pixels (x888), each multiplied by the
// flat colour d when it is not white, blended SRCALPHA / INVSRCALPHA or written: the general
// loop's arithmetic, pixel for pixel.
template <class Tex, bool Blend>
void ContiguousRow(const BYTE* texels, BYTE* out, LONG n, const int d[4], bool modulateColour, bool modulateAlpha)
{
    const bool white = !modulateColour || (d[0] == 255 && d[1] == 255 && d[2] == 255);
    const bool opaque = !modulateAlpha || d[3] == 255;
    const auto* src = reinterpret_cast<const uint32_t*>(texels);
    auto* dst = reinterpret_cast<uint32_t*>(out);
    if (Blend && Tex::kHasAlpha && white && opaque) {
        BlendOver8888(src, dst, n);
        return;
    }
    for (LONG i = 0; i < n; ++i) {
        uint32_t sv, dv;
        std::memcpy(&sv, src + i, 4);
        uint32_t r = sv >> 16 & 0xFF, g = sv >> 8 & 0xFF, b = sv & 0xFF;
        uint32_t a = Tex::kHasAlpha ? sv >> 24 : 255;
        if (!white) {
            r = Div255Fast(r * static_cast<uint32_t>(d[0]));
            g = Div255Fast(g * static_cast<uint32_t>(d[1]));
            b = Div255Fast(b * static_cast<uint32_t>(d[2]));
        }
        if (!opaque)
            a = Div255Fast(a * static_cast<uint32_t>(d[3]));
        if constexpr (Blend) {
            std::memcpy(&dv, dst + i, 4);
            const uint32_t ia = 255 - a;
            r = Div255Fast(r * a + (dv >> 16 & 0xFF) * ia);
            g = Div255Fast(g * a + (dv >> 8 & 0xFF) * ia);
            b = Div255Fast(b * a + (dv & 0xFF) * ia);
        }
        const uint32_t v = r << 16 | g << 8 | b;
        std::memcpy(dst + i, &v, 4);
    }
}

// A flat-coloured row by the general loop's pixels, without working the weights out per pixel:
// texture positions step along the row from its exact ends, and a pixel whose texel or rounding
// the few ulps between the two could change is shaded by the general arithmetic itself. A run
// of point samples stepping one texel a pixel (1:1 quads) is blended as a whole.
template <class Tex, class Target, bool Linear, bool Blend>
void FlatRowOf(const PrimitiveDrawer& drawer, const PrimitiveDrawer::RowContext& c, LONG y, LONG lo, LONG hi)
{
    if (c.gouraud || hi - lo < 2) {
        FastRowOf<Tex, Target, Linear, Blend>(drawer, c, y, lo, hi);
        return;
    }
    const winapi::ddraw::Triangle& t = *c.triangle;
    const TexelSource& ts = *drawer.Texture();
    const BYTE* pixels = ts.Pixels();
    const LONG pitch = ts.Pitch(), width = ts.Width(), height = ts.Height();
    const double tw = width, th = height;
    // The general loop's texture position of a pixel, in texels.
    auto exact = [&](LONG x, double* a, double* b) {
        double w[3];
        t.Weights(x, y, w);
        *a = (w[0] * t.U(0) + w[1] * t.U(1) + w[2] * t.U(2)) * tw;
        *b = (w[0] * t.V(0) + w[1] * t.V(1) + w[2] * t.V(2)) * th;
    };
    double a0, b0, a1, b1;
    exact(lo, &a0, &b0);
    exact(hi - 1, &a1, &b1);
    if (!std::isfinite(a0) || !std::isfinite(b0) || !std::isfinite(a1) || !std::isfinite(b1) ||
        std::max({std::abs(a0), std::abs(b0), std::abs(a1), std::abs(b1)}) > 1e6) {
        FastRowOf<Tex, Target, Linear, Blend>(drawer, c, y, lo, hi);
        return;
    }
    const double da = (a1 - a0) / (hi - 1 - lo), db = (b1 - b0) / (hi - 1 - lo);
    // Far more than the positions' rounding (about 1e-10 here), far less than a texel.
    constexpr double kMargin = 1e-6;
    auto sure = [](double f) {
        const double part = f - FloorOf(f);
        return part > kMargin && part < 1 - kMargin;
    };
    const int* d = c.flatColour;
    const bool modulateColour = drawer.ModulatesColour(), modulateAlpha = drawer.ModulatesAlpha();
    const bool whiteColour = d[0] == 255 && d[1] == 255 && d[2] == 255;
    if constexpr (!Linear) {
        if (Target::kBytes == 4 && Tex::kBytes == 4 && std::abs(da - 1) < 1e-3 && sure(a0) && sure(a1) && sure(b0) &&
            sure(b1) && FloorOf(a1) - FloorOf(a0) == hi - 1 - lo && FloorOf(b0) == FloorOf(b1) &&
            FloorOf(a0) >= 0 && FloorOf(a1) <= tw - 1 && FloorOf(b0) >= 0 && FloorOf(b0) <= th - 1) {
            // Every pixel takes the next texel of one texture row.
            const LONG tx = static_cast<LONG>(FloorOf(a0)), ty = static_cast<LONG>(FloorOf(b0));
            ContiguousRow<Tex, Blend>(pixels + static_cast<ptrdiff_t>(ty) * pitch + static_cast<ptrdiff_t>(tx) * 4,
                                      c.row + static_cast<ptrdiff_t>(lo) * 4, hi - lo, d, modulateColour,
                                      modulateAlpha);
            return;
        }
    }
    if constexpr (Linear && Tex::kBytes == 4 && std::is_same_v<Target, Xrgb8888>) {
        // Eight samples a step; the few pixels near a weight's rounding edge as below, one by one.
        const bool plainColour = (!modulateColour || whiteColour) && (!modulateAlpha || d[3] == 255);
        if (plainColour && HasAvx2() && pitch > 0 && static_cast<int64_t>(pitch) * height <= INT32_MAX) {
            alignas(32) uint32_t samples[64];
            for (LONG x = lo; x < hi; x += 64) {
                const LONG n = std::min<LONG>(64, hi - x);
                uint64_t unsure = SampleBilinearRowAvx2(pixels, pitch, width, height, !Tex::kHasAlpha, a0, b0, da,
                                                        db, x - lo, n, 0.5 - kMargin * kWeightOne, samples);
                auto* row = reinterpret_cast<uint32_t*>(c.row) + x;
                if constexpr (Blend) {
                    BlendOver8888(samples, row, n);  // an unsure pixel's 0 leaves its colour
                } else {
                    for (LONG k = 0; k < n; ++k)
                        row[k] = samples[k] & 0xFFFFFF;
                }
                for (; unsure != 0; unsure &= unsure - 1) {
                    const LONG at = x + std::countr_zero(unsure);
                    FastRowOf<Tex, Target, Linear, Blend>(drawer, c, y, at, at + 1);
                }
            }
            return;
        }
    }
    auto texel = [&](LONG x, LONG yy, int out[4]) {
        Tex::Read(pixels + static_cast<ptrdiff_t>(yy) * pitch + static_cast<ptrdiff_t>(x) * Tex::kBytes, out);
    };
    for (LONG x = lo; x < hi; ++x) {
        const double a = a0 + (x - lo) * da, b = b0 + (x - lo) * db;
        int s[4];
        if constexpr (!Linear) {
            if (!sure(a) || !sure(b)) {
                FastRowOf<Tex, Target, Linear, Blend>(drawer, c, y, x, x + 1);
                continue;
            }
            const LONG tx = static_cast<LONG>(std::clamp(FloorOf(a), 0.0, tw - 1));
            const LONG ty = static_cast<LONG>(std::clamp(FloorOf(b), 0.0, th - 1));
            texel(tx, ty, s);
        } else {
            const double su = std::clamp(a - 0.5, 0.0, tw - 1), sv = std::clamp(b - 0.5, 0.0, th - 1);
            // The sampling rounds positions to whole weights: only one within kMargin of a
            // rounding step can round otherwise in the general loop. Both at once (positions
            // below 1e6 texels keep the fixed-point ones within 32 bits).
            const __m128d f = _mm_add_pd(_mm_mul_pd(_mm_set_pd(sv, su), _mm_set1_pd(kWeightOne)), _mm_set1_pd(0.5));
            const __m128i fixed = _mm_cvttpd_epi32(f);  // f >= 0.5: truncation is the floor
            const __m128d off = _mm_sub_pd(_mm_sub_pd(f, _mm_cvtepi32_pd(fixed)), _mm_set1_pd(0.5));
            const __m128d distance = _mm_andnot_pd(_mm_set1_pd(-0.0), off);
            if (_mm_movemask_pd(_mm_cmpge_pd(distance, _mm_set1_pd(0.5 - kMargin * kWeightOne))) != 0) {
                FastRowOf<Tex, Target, Linear, Blend>(drawer, c, y, x, x + 1);
                continue;
            }
            const int32_t fixedU = _mm_cvtsi128_si32(fixed), fixedV = _mm_cvtsi128_si32(_mm_shuffle_epi32(fixed, 1));
            const WeightedTexel wu{fixedU >> kWeightBits, fixedU & (kWeightOne - 1)};
            const WeightedTexel wv{fixedV >> kWeightBits, fixedV & (kWeightOne - 1)};
            const LONG ux = wu.texel, vy = wv.texel;
            const LONG ux1 = std::min<LONG>(ux + 1, width - 1), vy1 = std::min<LONG>(vy + 1, height - 1);
            if constexpr (Tex::kBytes == 4) {
                // Four channels at once: each texel pair as 16-bit neighbours mixed by one
                // multiply-add, the rows by 64-bit products (below 2^31: their low halves).
                auto at = [&](LONG xx, LONG yy) {
                    uint32_t v;
                    std::memcpy(&v, pixels + static_cast<ptrdiff_t>(yy) * pitch + static_cast<ptrdiff_t>(xx) * 4, 4);
                    if (!Tex::kHasAlpha)
                        v |= 0xFF000000u;
                    return _mm_cvtsi32_si128(static_cast<int>(v));
                };
                const __m128i z = _mm_setzero_si128();
                // Lanes one - wu, wu, one - wv, wv, from the fixed-point positions.
                const __m128i weights = _mm_and_si128(fixed, _mm_set1_epi32(kWeightOne - 1));
                const __m128i rest = _mm_sub_epi32(_mm_set1_epi32(kWeightOne), weights);
                const __m128i across = _mm_shuffle_epi32(_mm_packs_epi32(_mm_unpacklo_epi32(rest, weights), rest), 0);
                const __m128i top = _mm_madd_epi16(_mm_unpacklo_epi8(_mm_unpacklo_epi8(at(ux, vy), at(ux1, vy)), z), across);
                const __m128i bottom =
                    _mm_madd_epi16(_mm_unpacklo_epi8(_mm_unpacklo_epi8(at(ux, vy1), at(ux1, vy1)), z), across);
                const __m128i upper = _mm_shuffle_epi32(rest, 0x55), lower = _mm_shuffle_epi32(weights, 0x55);
                const __m128i even = _mm_add_epi64(_mm_mul_epu32(top, upper), _mm_mul_epu32(bottom, lower));
                const __m128i odd = _mm_add_epi64(_mm_mul_epu32(_mm_srli_epi64(top, 32), upper),
                                                  _mm_mul_epu32(_mm_srli_epi64(bottom, 32), lower));
                const __m128i sum = _mm_or_si128(_mm_and_si128(even, _mm_set_epi32(0, -1, 0, -1)), _mm_slli_epi64(odd, 32));
                const __m128i whole =
                    _mm_srli_epi32(_mm_add_epi32(sum, _mm_set1_epi32(1 << (2 * kWeightBits - 1))), 2 * kWeightBits);
                alignas(16) int32_t lanes[4];
                _mm_store_si128(reinterpret_cast<__m128i*>(lanes), whole);
                s[0] = lanes[2], s[1] = lanes[1], s[2] = lanes[0], s[3] = lanes[3];
            } else {
                int c00[4], c01[4], c10[4], c11[4];
                texel(ux, vy, c00);
                texel(ux1, vy, c01);
                texel(ux, vy1, c10);
                texel(ux1, vy1, c11);
                for (int i = 0; i < 4; ++i)
                    s[i] = MixDown(MixAcross(c00[i], c01[i], wu.weight), MixAcross(c10[i], c11[i], wu.weight),
                                   wv.weight);
            }
        }
        // Div255(s * 255) is s: a white flat colour changes nothing.
        if (modulateColour && !whiteColour)
            for (int i = 0; i < 3; ++i)
                s[i] = Div255(s[i] * d[i]);
        if (modulateAlpha && d[3] != 255)
            s[3] = Div255(s[3] * d[3]);
        BYTE* p = c.row + static_cast<ptrdiff_t>(x) * Target::kBytes;
        if constexpr (Blend) {
            int dst[4];
            Target::Read(p, dst);
            const int al = s[3];
            Target::Write(p, std::min(255, Div255(s[0] * al + dst[0] * (255 - al))),
                          std::min(255, Div255(s[1] * al + dst[1] * (255 - al))),
                          std::min(255, Div255(s[2] * al + dst[2] * (255 - al))));
        } else {
            Target::Write(p, s[0], s[1], s[2]);
        }
    }
}

template <class Tex, class Target>
void FastRowsFor(bool blend, PrimitiveDrawer::FastRow rows[2])
{
    rows[0] = blend ? &FlatRowOf<Tex, Target, false, true> : &FlatRowOf<Tex, Target, false, false>;
    rows[1] = blend ? &FlatRowOf<Tex, Target, true, true> : &FlatRowOf<Tex, Target, true, false>;
}

template <class Tex>
void FastRowsForTexture(const PixelFormat& to, bool blend, PrimitiveDrawer::FastRow rows[2])
{
    if (to.IsX888())
        FastRowsFor<Tex, Xrgb8888>(blend, rows);
    else if (to.bytes == 2 && to.mask[0] == 0xF800 && to.mask[1] == 0x7E0 && to.mask[2] == 0x1F)
        FastRowsFor<Tex, Rgb565>(blend, rows);
}

bool IsDiffuse(DWORD arg) { return arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT; }

} // namespace

void PrimitiveDrawer::ChooseFastRows()
{
    const RenderStates& s = m_states;
    if (m_texture == nullptr || m_texture->Keyed() || s.alphaTest)
        return;
    if (s.blend && !(s.srcBlend == D3DBLEND_SRCALPHA && s.destBlend == D3DBLEND_INVSRCALPHA))
        return;
    // Colour and alpha: the texture's, or the texture times the diffuse colour.
    auto kind = [](DWORD op, DWORD a1, DWORD a2, bool* modulate) {
        if (op == D3DTOP_SELECTARG1 && a1 == D3DTA_TEXTURE)
            return *modulate = false, true;
        if (op == D3DTOP_SELECTARG2 && a2 == D3DTA_TEXTURE)
            return *modulate = false, true;
        if (op == D3DTOP_MODULATE && ((a1 == D3DTA_TEXTURE && IsDiffuse(a2)) || (a2 == D3DTA_TEXTURE && IsDiffuse(a1))))
            return *modulate = true, true;
        return false;
    };
    if (!kind(s.colorOp, s.colorArg1, s.colorArg2, &m_modulateColour) ||
        !kind(s.alphaOp, s.alphaArg1, s.alphaArg2, &m_modulateAlpha))
        return;
    const PixelFormat& from = m_texture->Format();
    if (from.IsX888() && from.alphaMask == 0)
        FastRowsForTexture<Xrgb8888>(m_to, s.blend, m_fastRows);
    else if (from.IsX888() && from.alphaMask == 0xFF000000)
        FastRowsForTexture<Argb8888>(m_to, s.blend, m_fastRows);
    else if (from.bytes == 2 && from.alphaMask == 0 && from.mask[0] == 0xF800 && from.mask[1] == 0x7E0 &&
             from.mask[2] == 0x1F)
        FastRowsForTexture<Rgb565>(m_to, s.blend, m_fastRows);
}

} // namespace winapi::ddraw
