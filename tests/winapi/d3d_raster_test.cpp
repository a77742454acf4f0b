// The software Direct3D device's points, lines and triangles against a per-pixel reference
// written here in doubles from the rules in d3d.h: one table over primitive types, vertex
// formats, shading, culling, stage operations, filters, colour keys, alpha tests, blends and
// formats, drawn into every target format. Exact where nothing interpolates, else within one
// step of the target's channel. Also: the fast spans give the general loop's pixels, the scene
// bracket, counts and refusals, z-buffers and the test switches.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "winapi/d3d.h"
#include "winapi/ddraw.h"
#include "winapi/ddraw_testing.h"
#include "winapi/simd_level.h"

namespace {

using winapi::ddraw_testing::TextureFormat;

struct Format {
    const char* name;
    DDPIXELFORMAT pf;
};
const Format kTargets[] = {{"555", TextureFormat(16, 0, 0x7C00, 0x3E0, 0x1F)},
                           {"565", TextureFormat(16, 0, 0xF800, 0x7E0, 0x1F)},
                           {"888", TextureFormat(24, 0, 0xFF0000, 0xFF00, 0xFF)},
                           {"x888", TextureFormat(32, 0, 0xFF0000, 0xFF00, 0xFF)}};
const Format kTextures[] = {{"565", TextureFormat(16, 0, 0xF800, 0x7E0, 0x1F)},
                            {"1555", TextureFormat(16, 0x8000, 0x7C00, 0x3E0, 0x1F)},
                            {"4444", TextureFormat(16, 0xF000, 0xF00, 0xF0, 0xF)},
                            {"x888", TextureFormat(32, 0, 0xFF0000, 0xFF00, 0xFF)},
                            {"8888", TextureFormat(32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF)}};

// A channel of `mask` in pixel p widened to 8 bits by repeating its top bits.
int Widen(DWORD p, DWORD mask)
{
    if (mask == 0)
        return 255;
    const int shift = std::countr_zero(mask), bits = std::popcount(mask);
    const DWORD c = (p & mask) >> shift;
    int v = 0;
    for (int filled = 0; filled < 8; filled += bits)
        v |= static_cast<int>(filled <= 8 - bits ? c << (8 - bits - filled) : c >> (filled - (8 - bits)));
    return v & 0xFF;
}

DWORD Narrow(const DDPIXELFORMAT& pf, const int rgb[3])
{
    const DWORD masks[3] = {pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask};
    DWORD v = 0;
    for (int i = 0; i < 3; ++i) {
        const int bits = std::popcount(masks[i]);
        v |= (static_cast<DWORD>(rgb[i]) >> (8 - bits)) << std::countr_zero(masks[i]);
    }
    return v;
}

int Round255(double v) { return static_cast<int>(std::clamp(std::floor(v + 0.5), 0.0, 255.0)); }
int Mul(double a, double b) { return Round255(a * b / 255.0); }

struct V {
    float x, y, u, v;
    DWORD colour;
};

struct Case {
    const char* name;
    D3DPRIMITIVETYPE type;
    DWORD fvf;
    std::vector<V> vertices;
    bool interpolates;  // u, v or colour vary across pixels: within one step
    DWORD shade = D3DSHADE_GOURAUD;
    DWORD cull = D3DCULL_NONE;
    DWORD colorOp = D3DTOP_MODULATE, colorArg1 = D3DTA_TEXTURE, colorArg2 = D3DTA_CURRENT;
    DWORD alphaOp = D3DTOP_SELECTARG1, alphaArg1 = D3DTA_TEXTURE, alphaArg2 = D3DTA_CURRENT;
    DWORD factor = 0xFFFFFFFF;
    bool linear = false;
    bool key = false;
    DWORD alphaFunc = 0;  // 0: no alpha test
    int alphaRef = 0;
    DWORD srcBlend = 0, destBlend = 0;  // 0: no blending
    bool texture = true;
};

// The reference device: the header's rules in doubles.
class Reference {
public:
    Reference(const Case& c, const std::vector<DWORD>& texels, int tw, int th, const DDPIXELFORMAT& tf, DWORD keyValue)
        : m_c(c), m_texels(texels), m_tw(tw), m_th(th), m_tf(tf), m_key(keyValue)
    {
        m_factor[0] = static_cast<int>(c.factor >> 16 & 0xFF);
        m_factor[1] = static_cast<int>(c.factor >> 8 & 0xFF);
        m_factor[2] = static_cast<int>(c.factor & 0xFF);
        m_factor[3] = static_cast<int>(c.factor >> 24);
    }

    // The final 8-bit colour of a pixel over destination dst; false when it is not drawn.
    bool Pixel(const double diffuse[4], double u, double v, bool linear, const int dst[3], int out[3]) const
    {
        int d[4];
        for (int i = 0; i < 4; ++i)
            d[i] = Round255(diffuse[i]);
        int s[4] = {d[0], d[1], d[2], d[3]};
        if (m_c.texture) {
            int t[4];
            if (!Sample(u, v, linear, t))
                return false;
            if (m_c.colorOp != D3DTOP_DISABLE) {
                for (int i = 0; i < 3; ++i)
                    s[i] = Op(m_c.colorOp, Arg(m_c.colorArg1, d, t, i), Arg(m_c.colorArg2, d, t, i), d[3], t[3]);
                s[3] = m_c.alphaOp == D3DTOP_DISABLE
                           ? d[3]
                           : Op(m_c.alphaOp, Arg(m_c.alphaArg1, d, t, 3), Arg(m_c.alphaArg2, d, t, 3), d[3], t[3]);
            }
        }
        if (m_c.alphaFunc != 0 && !Passes(s[3]))
            return false;
        for (int i = 0; i < 3; ++i) {
            if (m_c.srcBlend == 0) {
                out[i] = s[i];
                continue;
            }
            double sf = Factor(m_c.srcBlend, i, s, dst), df = Factor(m_c.destBlend, i, s, dst);
            if (m_c.srcBlend == D3DBLEND_BOTHSRCALPHA) {
                sf = s[3];
                df = 255 - s[3];
            } else if (m_c.srcBlend == D3DBLEND_BOTHINVSRCALPHA) {
                sf = 255 - s[3];
                df = s[3];
            }
            out[i] = Round255((s[i] * sf + dst[i] * df) / 255.0);
        }
        return true;
    }

private:
    bool Texel(int x, int y, int t[4]) const
    {
        const DWORD p = m_texels[static_cast<size_t>(y * m_tw + x)];
        const DWORD colourBits = m_tf.dwRBitMask | m_tf.dwGBitMask | m_tf.dwBBitMask;
        if (m_c.key && (p & colourBits) == (m_key & colourBits)) {
            t[0] = t[1] = t[2] = t[3] = 0;
            return false;
        }
        t[0] = Widen(p, m_tf.dwRBitMask);
        t[1] = Widen(p, m_tf.dwGBitMask);
        t[2] = Widen(p, m_tf.dwBBitMask);
        t[3] = Widen(p, m_tf.dwRGBAlphaBitMask);
        return true;
    }
    bool Sample(double u, double v, bool linear, int t[4]) const
    {
        if (!linear)
            return Texel(std::clamp(static_cast<int>(std::floor(u * m_tw)), 0, m_tw - 1),
                         std::clamp(static_cast<int>(std::floor(v * m_th)), 0, m_th - 1), t);
        const double su = std::clamp(u * m_tw - 0.5, 0.0, m_tw - 1.0), sv = std::clamp(v * m_th - 0.5, 0.0, m_th - 1.0);
        const int x0 = static_cast<int>(su), y0 = static_cast<int>(sv);
        const int x1 = std::min(x0 + 1, m_tw - 1), y1 = std::min(y0 + 1, m_th - 1);
        const double fx = su - x0, fy = sv - y0;
        int a[4], b[4], c[4], d[4];
        const bool any = (Texel(x0, y0, a) && (1 - fx) * (1 - fy) > 0) | (Texel(x1, y0, b) && fx * (1 - fy) > 0) |
                         (Texel(x0, y1, c) && (1 - fx) * fy > 0) | (Texel(x1, y1, d) && fx * fy > 0);
        if (!any)
            return false;
        for (int i = 0; i < 4; ++i)
            t[i] = Round255((a[i] * (1 - fx) + b[i] * fx) * (1 - fy) + (c[i] * (1 - fx) + d[i] * fx) * fy);
        return true;
    }
    int Arg(DWORD arg, const int d[4], const int t[4], int ch) const
    {
        const int* from = (arg & 15) == D3DTA_TEXTURE ? t : (arg & 15) == D3DTA_TFACTOR ? m_factor : d;
        const int v = from[(arg & D3DTA_ALPHAREPLICATE) ? 3 : ch];
        return (arg & D3DTA_COMPLEMENT) ? 255 - v : v;
    }
    int Op(DWORD op, int a, int b, int da, int ta) const
    {
        switch (op) {
        case D3DTOP_SELECTARG1: return a;
        case D3DTOP_SELECTARG2: return b;
        case D3DTOP_MODULATE: return Mul(a, b);
        case D3DTOP_MODULATE2X: return std::min(255, 2 * Mul(a, b));
        case D3DTOP_MODULATE4X: return std::min(255, 4 * Mul(a, b));
        case D3DTOP_ADD: return std::min(255, a + b);
        case D3DTOP_ADDSIGNED: return std::clamp(a + b - 128, 0, 255);
        case D3DTOP_ADDSIGNED2X: return std::clamp(2 * (a + b) - 255, 0, 255);
        case D3DTOP_SUBTRACT: return std::max(0, a - b);
        case D3DTOP_ADDSMOOTH: return std::clamp(a + b - Mul(a, b), 0, 255);
        case D3DTOP_BLENDDIFFUSEALPHA:
        case D3DTOP_BLENDCURRENTALPHA: return Round255((a * da + b * (255.0 - da)) / 255.0);
        case D3DTOP_BLENDTEXTUREALPHA: return Round255((a * ta + b * (255.0 - ta)) / 255.0);
        case D3DTOP_BLENDFACTORALPHA: return Round255((a * m_factor[3] + b * (255.0 - m_factor[3])) / 255.0);
        case D3DTOP_BLENDTEXTUREALPHAPM: return std::min(255, a + Mul(b, 255 - ta));
        }
        return -1;
    }
    bool Passes(int a) const
    {
        const int r = m_c.alphaRef;
        switch (m_c.alphaFunc) {
        case D3DCMP_NEVER: return false;
        case D3DCMP_LESS: return a < r;
        case D3DCMP_EQUAL: return a == r;
        case D3DCMP_LESSEQUAL: return a <= r;
        case D3DCMP_GREATER: return a > r;
        case D3DCMP_NOTEQUAL: return a != r;
        case D3DCMP_GREATEREQUAL: return a >= r;
        }
        return true;
    }
    static double Factor(DWORD f, int ch, const int s[4], const int d[3])
    {
        switch (f) {
        case D3DBLEND_ZERO: return 0;
        case D3DBLEND_ONE: return 255;
        case D3DBLEND_SRCCOLOR: return s[ch];
        case D3DBLEND_INVSRCCOLOR: return 255 - s[ch];
        case D3DBLEND_SRCALPHA: return s[3];
        case D3DBLEND_INVSRCALPHA: return 255 - s[3];
        case D3DBLEND_DESTALPHA: return 255;
        case D3DBLEND_INVDESTALPHA: return 0;
        case D3DBLEND_DESTCOLOR: return d[ch];
        case D3DBLEND_INVDESTCOLOR: return 255 - d[ch];
        case D3DBLEND_SRCALPHASAT: return 0;
        }
        return -1;
    }

    const Case& m_c;
    const std::vector<DWORD>& m_texels;
    int m_tw, m_th;
    DDPIXELFORMAT m_tf;
    DWORD m_key;
    int m_factor[4];
};

class D3DRaster : public ::testing::Test {
public:
    void SetUp() override
    {
        winapi::ddraw_testing::Reset();
        ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr), DD_OK);
        void* out = nullptr;
        ASSERT_EQ(dd->QueryInterface(IID_IDirect3D7, &out), S_OK);
        d3d = static_cast<IDirect3D7*>(out);
    }
    void TearDown() override
    {
        for (auto* s : made)
            s->Release();
        d3d->Release();
        dd->Release();
        winapi::ddraw_testing::Reset();
    }
    IDirectDrawSurface7* Surface(LONG w, LONG h, const DDPIXELFORMAT& pf, DWORD caps)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddsCaps.dwCaps = caps;
        d.ddpfPixelFormat = pf;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        if (s != nullptr)
            made.push_back(s);
        return s;
    }
    static std::vector<DWORD> Pixels(IDirectDrawSurface7* s)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DD_OK);
        const int bytes = static_cast<int>(d.ddpfPixelFormat.dwRGBBitCount / 8);
        std::vector<DWORD> out;
        for (DWORD y = 0; y < d.dwHeight; ++y)
            for (DWORD x = 0; x < d.dwWidth; ++x) {
                DWORD p = 0;
                std::memcpy(&p, static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * bytes, static_cast<size_t>(bytes));
                out.push_back(p);
            }
        s->Unlock(nullptr);
        return out;
    }
    static void Fill(IDirectDrawSurface7* s, const std::vector<DWORD>& pixels)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        ASSERT_EQ(s->Lock(nullptr, &d, 0, nullptr), DD_OK);
        const int bytes = static_cast<int>(d.ddpfPixelFormat.dwRGBBitCount / 8);
        for (DWORD y = 0; y < d.dwHeight; ++y)
            for (DWORD x = 0; x < d.dwWidth; ++x)
                std::memcpy(static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * bytes, &pixels[y * d.dwWidth + x],
                            static_cast<size_t>(bytes));
        s->Unlock(nullptr);
    }
    IDirect3DDevice7* Device(IDirectDrawSurface7* target)
    {
        IDirect3DDevice7* device = nullptr;
        EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, target, &device), DD_OK);
        return device;
    }
    static std::vector<BYTE> Pack(const Case& c)
    {
        std::vector<BYTE> out;
        for (const V& v : c.vertices) {
            const float head[4] = {v.x, v.y, 0, 1};
            out.insert(out.end(), reinterpret_cast<const BYTE*>(head), reinterpret_cast<const BYTE*>(head) + 16);
            if (c.fvf & D3DFVF_DIFFUSE)
                out.insert(out.end(), reinterpret_cast<const BYTE*>(&v.colour), reinterpret_cast<const BYTE*>(&v.colour) + 4);
            if (c.fvf & D3DFVF_TEX1) {
                const float uv[2] = {v.u, v.v};
                out.insert(out.end(), reinterpret_cast<const BYTE*>(uv), reinterpret_cast<const BYTE*>(uv) + 8);
            }
        }
        return out;
    }
    void Apply(IDirect3DDevice7* device, const Case& c)
    {
        device->SetRenderState(D3DRENDERSTATE_SHADEMODE, c.shade);
        device->SetRenderState(D3DRENDERSTATE_CULLMODE, c.cull);
        device->SetRenderState(D3DRENDERSTATE_TEXTUREFACTOR, c.factor);
        device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, c.key);
        device->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, c.alphaFunc != 0);
        device->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, c.alphaFunc);
        device->SetRenderState(D3DRENDERSTATE_ALPHAREF, static_cast<DWORD>(c.alphaRef));
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, c.srcBlend != 0);
        device->SetRenderState(D3DRENDERSTATE_SRCBLEND, c.srcBlend);
        device->SetRenderState(D3DRENDERSTATE_DESTBLEND, c.destBlend);
        device->SetTextureStageState(0, D3DTSS_COLOROP, c.colorOp);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, c.colorArg1);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, c.colorArg2);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, c.alphaOp);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, c.alphaArg1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, c.alphaArg2);
        const DWORD filter = c.linear ? D3DTFG_LINEAR : D3DTFG_POINT;
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
    }
    // The strip q of a texture of tw x th texels drawn into an ow x oh target of random bytes
    // (from seed), by the general loop alone or with the fast spans; the target's pixels.
    std::vector<DWORD> DrawnStrip(const Case& q, const DDPIXELFORMAT& texturePf, const std::vector<DWORD>& texels,
                                  int tw, int th, const DDPIXELFORMAT& targetPf, int ow, int oh, unsigned seed,
                                  bool general)
    {
        winapi::ddraw_testing::Current().noFastSpans = general;
        IDirectDrawSurface7* texture = Surface(tw, th, texturePf, DDSCAPS_TEXTURE);
        Fill(texture, texels);
        IDirectDrawSurface7* surface = Surface(ow, oh, targetPf, DDSCAPS_3DDEVICE);
        std::vector<DWORD> before(static_cast<size_t>(ow * oh));
        std::mt19937 same(seed);
        for (DWORD& p : before)
            p = static_cast<DWORD>(same());
        Fill(surface, before);
        IDirect3DDevice7* device = Device(surface);
        Apply(device, q);
        device->SetTexture(0, texture);
        std::vector<BYTE> packed = Pack(q);
        EXPECT_EQ(device->DrawPrimitive(q.type, q.fvf, packed.data(), 4, 0), DD_OK);
        device->SetTexture(0, nullptr);
        device->Release();
        winapi::ddraw_testing::Current().noFastSpans = false;
        return Pixels(surface);
    }

    IDirectDraw7* dd = nullptr;
    IDirect3D7* d3d = nullptr;
    std::vector<IDirectDrawSurface7*> made;
};

constexpr LONG kW = 24, kH = 20;

// The reference picture of a case: which pixels each primitive covers, and their colours.
struct Covered {
    LONG x, y;
    double diffuse[4];
    double u, v;
    bool linear;
};

double Cross(const V& a, const V& b, const V& c)
{
    return (static_cast<double>(b.x) - a.x) * (static_cast<double>(c.y) - a.y) -
           (static_cast<double>(b.y) - a.y) * (static_cast<double>(c.x) - a.x);
}

void Colour(DWORD c, double out[4])
{
    out[0] = c >> 16 & 0xFF;
    out[1] = c >> 8 & 0xFF;
    out[2] = c & 0xFF;
    out[3] = c >> 24;
}

std::vector<Covered> Coverage(const Case& c, int tw, int th)
{
    std::vector<Covered> out;
    const auto& vs = c.vertices;
    const bool flat = c.shade == D3DSHADE_FLAT;
    auto colourOf = [&](const V& v, double o[4]) { Colour((c.fvf & D3DFVF_DIFFUSE) ? v.colour : 0xFFFFFFFF, o); };
    auto uvOf = [&](const V& v, double& u, double& w) {
        u = (c.fvf & D3DFVF_TEX1) ? v.u : 0;
        w = (c.fvf & D3DFVF_TEX1) ? v.v : 0;
    };
    auto point = [&](const V& a) {
        Covered p{static_cast<LONG>(std::floor(a.x + 0.5)), static_cast<LONG>(std::floor(a.y + 0.5)), {}, 0, 0, c.linear};
        colourOf(a, p.diffuse);
        uvOf(a, p.u, p.v);
        out.push_back(p);
    };
    auto line = [&](const V& a, const V& b) {
        const double dx = b.x - a.x, dy = b.y - a.y;
        const bool xm = std::abs(dx) >= std::abs(dy);
        const double s0 = xm ? a.x : a.y, ds = xm ? dx : dy;
        const LONG p0 = static_cast<LONG>(std::floor(s0 + 0.5)), p1 = static_cast<LONG>(std::floor(s0 + ds + 0.5));
        for (LONG m = std::min(p0, p1); m <= std::max(p0, p1); ++m) {
            const double t = ds == 0 ? 0 : std::clamp((m - s0) / ds, 0.0, 1.0);
            const LONG minor = static_cast<LONG>(std::floor((xm ? a.y + t * dy : a.x + t * dx) + 0.5));
            Covered p{xm ? m : minor, xm ? minor : m, {}, 0, 0, c.linear};
            double ca[4], cb[4];
            colourOf(a, ca);
            colourOf(b, cb);
            for (int i = 0; i < 4; ++i)
                p.diffuse[i] = flat ? ca[i] : ca[i] + t * (cb[i] - ca[i]);
            double ua, va, ub, vb;
            uvOf(a, ua, va);
            uvOf(b, ub, vb);
            p.u = ua + t * (ub - ua);
            p.v = va + t * (vb - va);
            out.push_back(p);
        }
    };
    auto triangle = [&](const V& a, const V& b, const V& cc, const V& lead, bool reversed) {
        const double area = Cross(a, b, cc);
        if (area == 0)
            return;
        const bool cw = (area > 0) != reversed;
        if ((c.cull == D3DCULL_CW && cw) || (c.cull == D3DCULL_CCW && !cw))
            return;
        const V* p[3] = {&a, &b, &cc};
        if (area < 0)
            std::swap(p[1], p[2]);
        const double A = std::abs(area);
        double texelArea = 0;
        {
            double u[3], w[3];
            for (int k = 0; k < 3; ++k)
                uvOf(*p[k], u[k], w[k]);
            texelArea = std::abs(((u[1] - u[0]) * (w[2] - w[0]) - (w[1] - w[0]) * (u[2] - u[0])) * tw * th);
        }
        (void)texelArea;
        for (LONG y = 0; y < kH; ++y)
            for (LONG x = 0; x < kW; ++x) {
                double e[3];
                bool inside = true;
                for (int i = 0; i < 3; ++i) {
                    const V& f = *p[(i + 1) % 3];
                    const V& t = *p[(i + 2) % 3];
                    const double dx = static_cast<double>(t.x) - f.x, dy = static_cast<double>(t.y) - f.y;
                    e[i] = dx * (y - f.y) - dy * (x - f.x);
                    const bool topLeft = (dy == 0 && dx > 0) || dy < 0;
                    inside = inside && (e[i] > 0 || (e[i] == 0 && topLeft));
                }
                if (!inside)
                    continue;
                Covered q{x, y, {}, 0, 0, c.linear};
                double col[3][4], u[3], w[3];
                for (int k = 0; k < 3; ++k) {
                    colourOf(*p[k], col[k]);
                    uvOf(*p[k], u[k], w[k]);
                }
                double lc[4];
                colourOf(lead, lc);
                for (int i = 0; i < 4; ++i)
                    q.diffuse[i] = flat ? lc[i] : (e[0] * col[0][i] + e[1] * col[1][i] + e[2] * col[2][i]) / A;
                q.u = (e[0] * u[0] + e[1] * u[1] + e[2] * u[2]) / A;
                q.v = (e[0] * w[0] + e[1] * w[1] + e[2] * w[2]) / A;
                out.push_back(q);
            }
    };
    switch (c.type) {
    case D3DPT_POINTLIST:
        for (const V& v : vs)
            point(v);
        break;
    case D3DPT_LINELIST:
        for (size_t i = 0; i + 1 < vs.size(); i += 2)
            line(vs[i], vs[i + 1]);
        break;
    case D3DPT_LINESTRIP:
        for (size_t i = 0; i + 1 < vs.size(); ++i)
            line(vs[i], vs[i + 1]);
        break;
    case D3DPT_TRIANGLELIST:
        for (size_t i = 0; i + 2 < vs.size(); i += 3)
            triangle(vs[i], vs[i + 1], vs[i + 2], vs[i], false);
        break;
    case D3DPT_TRIANGLESTRIP:
        for (size_t i = 0; i + 2 < vs.size(); ++i)
            triangle(vs[i], vs[i + 1], vs[i + 2], vs[i], (i & 1) != 0);
        break;
    case D3DPT_TRIANGLEFAN:
        for (size_t i = 1; i + 1 < vs.size(); ++i)
            triangle(vs[0], vs[i], vs[i + 1], vs[i], false);
        break;
    }
    return out;
}

const DWORD kTex = D3DFVF_XYZRHW | D3DFVF_TEX1, kCol = D3DFVF_XYZRHW | D3DFVF_DIFFUSE,
            kBoth = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// Triangles at quarter-pixel positions (no pixel centre on an edge) unless a case wants ties.
const std::vector<V> kTri = {{2.25f, 1.75f, 0, 0, 0xFFFF0000}, {21.6f, 4.3f, 1, 0.1f, 0x8000FF00},
                             {6.4f, 18.2f, 0.2f, 1, 0x200000FF}};
const std::vector<V> kQuadStrip = {{1.3f, 1.2f, 0, 0, 0xFF102030}, {22.2f, 2.4f, 1, 0, 0xC0F0E0D0},
                                   {0.7f, 18.6f, 0, 1, 0x40805020}, {20.9f, 19.3f, 1, 1, 0x00FFFFFF}};

std::vector<Case> Cases()
{
    std::vector<Case> cases;
    auto add = [&](Case c) { cases.push_back(std::move(c)); };
    add({"points of colour", D3DPT_POINTLIST, kCol,
         {{0.4f, 0.6f, 0, 0, 0xFF112233}, {23.49f, 19.5f, 0, 0, 0x80FFFFFF}, {10.5f, 10.5f, 0, 0, 0x12345678},
          {-3, 5, 0, 0, 0xFFFFFFFF}, {5, 30, 0, 0, 0xFFFFFFFF}},
         false, D3DSHADE_GOURAUD, D3DCULL_NONE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1,
         D3DTA_TEXTURE, D3DTA_CURRENT, 0xFFFFFFFF, false, false, 0, 0, 0, 0, false});
    add({"textured points", D3DPT_POINTLIST, kTex,
         {{1, 1, 0.05f, 0.05f, 0}, {7.7f, 3.2f, 0.5f, 0.9f, 0}, {20, 15, 0.99f, 0.3f, 0}}, false});
    Case lines{"line list flat", D3DPT_LINELIST, kCol,
               {{1.2f, 1.6f, 0, 0, 0xFF00FF00}, {20.7f, 8.2f, 0, 0, 0xFF0000FF}, {3.3f, 2.5f, 0, 0, 0xFFFF00FF},
                {7.6f, 18.4f, 0, 0, 0xFF00FFFF}},
               false, D3DSHADE_FLAT};
    lines.texture = false;
    add(lines);
    Case strip{"line strip gouraud", D3DPT_LINESTRIP, kCol,
               {{0.2f, 0.2f, 0, 0, 0xFF000000}, {23.1f, 19.3f, 0, 0, 0xFFFFFFFF}, {2.1f, 17.8f, 0, 0, 0xFF804020},
                {2.1f, 17.8f, 0, 0, 0xFF804020}},
               true};
    strip.texture = false;
    add(strip);
    add({"textured line", D3DPT_LINELIST, kTex, {{1.3f, 10.2f, 0, 0.5f, 0}, {22.6f, 12.1f, 1, 0.5f, 0}}, false});
    Case flatTri{"flat triangle no texture", D3DPT_TRIANGLELIST, kCol, kTri, false, D3DSHADE_FLAT};
    flatTri.texture = false;
    add(flatTri);
    Case gouraudTri{"gouraud triangle no texture", D3DPT_TRIANGLELIST, kCol, kTri, true};
    gouraudTri.texture = false;
    add(gouraudTri);
    add({"point-sampled triangle", D3DPT_TRIANGLELIST, kTex, kTri, true});
    add({"bilinear strip", D3DPT_TRIANGLESTRIP, kTex, kQuadStrip, true, D3DSHADE_GOURAUD, D3DCULL_NONE,
         D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, 0xFFFFFFFF,
         true});
    add({"strip culled clockwise", D3DPT_TRIANGLESTRIP, kTex, kQuadStrip, true, D3DSHADE_GOURAUD, D3DCULL_CW});
    add({"strip culled counter-clockwise", D3DPT_TRIANGLESTRIP, kTex, kQuadStrip, true, D3DSHADE_GOURAUD, D3DCULL_CCW});
    add({"fan flat from the second vertex", D3DPT_TRIANGLEFAN, kBoth,
         {{12, 10, 0.52f, 0.47f, 0xFFFFFFFF}, {1.3f, 1.1f, 0, 0, 0xFFFF0000}, {22.6f, 1.7f, 1, 0, 0xFF00FF00},
          {21.2f, 18.9f, 1, 1, 0xFF0000FF}, {0.6f, 17.7f, 0, 1, 0xFF808080}},
         true, D3DSHADE_FLAT, D3DCULL_CCW});
    // Stage operations over a gouraud-coloured, textured triangle.
    const DWORD ops[] = {D3DTOP_DISABLE, D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, D3DTOP_MODULATE,
                         D3DTOP_MODULATE2X, D3DTOP_MODULATE4X, D3DTOP_ADD, D3DTOP_ADDSIGNED,
                         D3DTOP_ADDSIGNED2X, D3DTOP_SUBTRACT, D3DTOP_ADDSMOOTH, D3DTOP_BLENDDIFFUSEALPHA,
                         D3DTOP_BLENDTEXTUREALPHA, D3DTOP_BLENDFACTORALPHA, D3DTOP_BLENDTEXTUREALPHAPM,
                         D3DTOP_BLENDCURRENTALPHA};
    for (DWORD op : ops) {
        Case c{"stage op", D3DPT_TRIANGLELIST, kBoth, kTri, true};
        c.colorOp = op;
        c.alphaOp = op;
        c.colorArg2 = D3DTA_DIFFUSE;
        c.alphaArg1 = D3DTA_TEXTURE;
        c.alphaArg2 = D3DTA_DIFFUSE;
        c.factor = 0x9040C0E0;
        c.srcBlend = D3DBLEND_SRCALPHA;
        c.destBlend = D3DBLEND_INVSRCALPHA;
        add(c);
    }
    Case args{"factor, complement and alpha replicate", D3DPT_TRIANGLELIST, kBoth, kTri, true};
    args.colorArg1 = D3DTA_TFACTOR | D3DTA_COMPLEMENT;
    args.colorArg2 = D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE;
    args.alphaOp = D3DTOP_MODULATE;
    args.alphaArg1 = D3DTA_TEXTURE | D3DTA_COMPLEMENT;
    args.alphaArg2 = D3DTA_TFACTOR;
    args.factor = 0x7F20A0FF;
    add(args);
    for (bool linear : {false, true}) {
        Case key{"colour key", D3DPT_TRIANGLESTRIP, kTex, kQuadStrip, true};
        key.key = true;
        key.linear = linear;
        key.srcBlend = D3DBLEND_SRCALPHA;
        key.destBlend = D3DBLEND_INVSRCALPHA;
        add(key);
    }
    const DWORD funcs[] = {D3DCMP_NEVER, D3DCMP_LESS, D3DCMP_EQUAL, D3DCMP_LESSEQUAL,
                           D3DCMP_GREATER, D3DCMP_NOTEQUAL, D3DCMP_GREATEREQUAL, D3DCMP_ALWAYS};
    for (DWORD f : funcs) {
        Case c{"alpha test", D3DPT_TRIANGLELIST, kCol, kTri, true};
        c.texture = false;
        c.alphaFunc = f;
        c.alphaRef = 0x80;
        add(c);
    }
    for (DWORD src = D3DBLEND_ZERO; src <= D3DBLEND_BOTHINVSRCALPHA; ++src) {
        Case c{"blend", D3DPT_TRIANGLESTRIP, kBoth, kQuadStrip, true};
        c.srcBlend = src;
        c.destBlend = src * 5 % 11 + 1;
        c.alphaOp = D3DTOP_MODULATE;
        c.alphaArg2 = D3DTA_DIFFUSE;
        add(c);
    }
    return cases;
}

TEST_F(D3DRaster, EveryCaseFollowsTheReferenceInEveryFormat)
{
    const auto cases = Cases();
    std::mt19937 random(41);
    for (const Format& target : kTargets)
        for (size_t n = 0; n < cases.size(); ++n) {
            const Case& c = cases[n];
            const Format& tf = kTextures[n % std::size(kTextures)];
            SCOPED_TRACE(std::string(c.name) + " #" + std::to_string(n) + ", texture " + tf.name + " -> " + target.name);
            const int tw = 8, th = 6;
            std::vector<DWORD> texels(tw * th);
            for (DWORD& t : texels)
                t = static_cast<DWORD>(random()) & (tf.pf.dwRGBBitCount == 32 ? 0xFFFFFFFFu : 0xFFFFu);
            const DWORD keyValue = texels[9];
            for (size_t i = 0; i < texels.size(); i += 4)
                texels[i] = keyValue;
            IDirectDrawSurface7* texture = Surface(tw, th, tf.pf, DDSCAPS_TEXTURE);
            Fill(texture, texels);
            DDCOLORKEY key{keyValue, keyValue};
            texture->SetColorKey(DDCKEY_SRCBLT, &key);
            IDirectDrawSurface7* surface = Surface(kW, kH, target.pf, DDSCAPS_3DDEVICE);
            std::vector<DWORD> before(kW * kH);
            for (DWORD& p : before)
                p = static_cast<DWORD>(random()) & (target.pf.dwRGBBitCount == 32 ? 0xFFFFFF : 0xFFFF);
            Fill(surface, before);
            IDirect3DDevice7* device = Device(surface);
            Apply(device, c);
            device->SetTexture(0, c.texture ? texture : nullptr);
            std::vector<BYTE> packed = Pack(c);
            ASSERT_EQ(device->DrawPrimitive(c.type, c.fvf, packed.data(), static_cast<DWORD>(c.vertices.size()), 0),
                      DD_OK);
            device->SetTexture(0, nullptr);
            device->Release();
            // The reference, in the order the device draws.
            std::vector<DWORD> want = before;
            std::vector<int> touched(kW * kH, 0);
            const Reference ref(c, texels, tw, th, tf.pf, keyValue);
            for (const Covered& p : Coverage(c, tw, th)) {
                if (p.x < 0 || p.y < 0 || p.x >= kW || p.y >= kH)
                    continue;
                DWORD& w = want[static_cast<size_t>(p.y * kW + p.x)];
                const int dst[3] = {Widen(w, target.pf.dwRBitMask), Widen(w, target.pf.dwGBitMask),
                                    Widen(w, target.pf.dwBBitMask)};
                int rgb[3];
                if (ref.Pixel(p.diffuse, p.u, p.v, p.linear, dst, rgb)) {
                    w = Narrow(target.pf, rgb);
                    ++touched[static_cast<size_t>(p.y * kW + p.x)];
                }
            }
            const std::vector<DWORD> got = Pixels(surface);
            const DWORD masks[3] = {target.pf.dwRBitMask, target.pf.dwGBitMask, target.pf.dwBBitMask};
            int wrong = 0;
            for (size_t i = 0; i < got.size(); ++i)
                for (DWORD m : masks) {
                    const int a = static_cast<int>((got[i] & m) >> std::countr_zero(m));
                    const int b = static_cast<int>((want[i] & m) >> std::countr_zero(m));
                    // A pixel drawn twice (lines meeting, blending twice) may carry its rounding on.
                    const int slack = c.interpolates ? touched[i] : 0;
                    if (std::abs(a - b) > slack && wrong++ < 3)
                        ADD_FAILURE() << "pixel " << i % kW << "," << i / kW << " got " << std::hex << got[i] << " want "
                                      << want[i];
                }
            EXPECT_EQ(wrong, 0);
        }
}

TEST_F(D3DRaster, FastSpansGiveTheGeneralLoopsPixels)
{
    // Random quads (turned and scaled, 1:1 at any sub-pixel offset, flat in any colour or
    // Gouraud) of every texture format, both filters and with and without blending, into every
    // target: the general loop alone and the fast spans at every SIMD level give the same bytes.
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(0, 1);
    for (const Format& target : kTargets)
        for (const Format& tf : kTextures)
            for (bool linear : {false, true})
                for (bool blend : {false, true})
                    for (int n = 0; n < 6; ++n) {
                        SCOPED_TRACE(std::string(tf.name) + " -> " + target.name + (linear ? " bilinear" : " point") +
                                     (blend ? " blended" : "") + " quad " + std::to_string(n));
                        const int tw = 13, th = 9;
                        std::vector<DWORD> texels(tw * th);
                        for (DWORD& t : texels)
                            t = static_cast<DWORD>(random());
                        // Quads 0-2 turned and scaled, 3-5 1:1 (a texel a pixel); 0 and 3 white.
                        const bool oneToOne = n >= 3;
                        const float a = oneToOne ? 0.0f : unit(random) * 6.3f;
                        const float cx = 30 + unit(random) * 4, cy = 20 + unit(random) * 4;
                        const float rx = oneToOne ? tw / 2.0f : 8 + unit(random) * 20;
                        const float ry = oneToOne ? th / 2.0f : rx * (0.7f + unit(random) * 0.6f);
                        const float c = std::cos(a), s = std::sin(a);
                        auto corner = [&](float sx, float sy, float u, float v, DWORD colour) {
                            return V{cx + sx * rx * c - sy * ry * s, cy + sx * rx * s + sy * ry * c, u, v, colour};
                        };
                        const DWORD flat = n == 0 || n == 3 ? 0xFFFFFFFF : static_cast<DWORD>(random());
                        const bool gouraud = n == 2;
                        auto colour = [&]() { return gouraud ? static_cast<DWORD>(random()) : flat; };
                        Case q{"random", D3DPT_TRIANGLESTRIP, kBoth,
                               {corner(-1, -1, 0, 0, colour()), corner(1, -1, 1, 0, colour()),
                                corner(-1, 1, 0, 1, colour()), corner(1, 1, 1, 1, colour())},
                               true};
                        q.linear = linear;
                        q.alphaOp = D3DTOP_MODULATE;
                        q.alphaArg2 = D3DTA_DIFFUSE;
                        q.colorArg2 = D3DTA_DIFFUSE;
                        if (blend) {
                            q.srcBlend = D3DBLEND_SRCALPHA;
                            q.destBlend = D3DBLEND_INVSRCALPHA;
                        }
                        auto draw = [&](bool general) {
                            return DrawnStrip(q, tf.pf, texels, tw, th, target.pf, 60, 40, static_cast<unsigned>(n),
                                              general);
                        };
                        const std::vector<DWORD> general = draw(true);
                        for (SimdLevel level : kAllSimdLevels) {
                            const ScopedSimdLevel scoped(level);
                            EXPECT_EQ(draw(false), general) << "level " << static_cast<int>(level);
                        }
                    }
}

TEST_F(D3DRaster, LongTurnedBilinearRowsGiveTheGeneralLoopsPixels)
{
    // Turned and scaled quads wider than the fast rows' steps, partly off the target, of 4-byte
    // textures with alpha clear, opaque and between (in runs), blended and not, into x888: the
    // fast rows at every SIMD level give the general loop's bytes.
    std::mt19937 random(17);
    std::uniform_real_distribution<float> unit(0, 1);
    const int tw = 67, th = 45, ow = 230, oh = 170;
    std::vector<DWORD> texels(tw * th);
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x) {
            const DWORD alphas[] = {0, 255, static_cast<DWORD>(random() & 0xFF)};
            texels[static_cast<size_t>(y * tw + x)] = alphas[(x / 7 + y / 5) % 3] << 24 | (random() & 0xFFFFFF);
        }
    for (const Format& tf : {kTextures[3], kTextures[4]})
        for (bool blend : {false, true})
            for (int n = 0; n < 5; ++n) {
                SCOPED_TRACE(std::string(tf.name) + (blend ? " blended" : "") + " quad " + std::to_string(n));
                const float a = unit(random) * 6.3f, scale = 0.6f + unit(random) * 2.2f;
                const float cx = n == 4 ? 10.0f : 115 + unit(random) * 3, cy = n == 4 ? 160.0f : 85 + unit(random) * 3;
                const float rx = tw * scale / 2, ry = th * scale / 2, c = std::cos(a), s = std::sin(a);
                auto corner = [&](float sx, float sy, float u, float v) {
                    return V{cx + sx * rx * c - sy * ry * s, cy + sx * rx * s + sy * ry * c, u, v, 0xFFFFFFFF};
                };
                Case q{"turned", D3DPT_TRIANGLESTRIP, kTex,
                       {corner(-1, -1, 0, 0), corner(1, -1, 1, 0), corner(-1, 1, 0, 1), corner(1, 1, 1, 1)}, true};
                q.linear = true;
                if (blend) {
                    q.srcBlend = D3DBLEND_SRCALPHA;
                    q.destBlend = D3DBLEND_INVSRCALPHA;
                }
                auto draw = [&](bool general) {
                    return DrawnStrip(q, tf.pf, texels, tw, th, kTargets[3].pf, ow, oh, static_cast<unsigned>(n), general);
                };
                const std::vector<DWORD> general = draw(true);
                for (SimdLevel level : kAllSimdLevels) {
                    const ScopedSimdLevel scoped(level);
                    EXPECT_EQ(draw(false), general) << "level " << static_cast<int>(level);
                }
            }
}

TEST_F(D3DRaster, SceneBracketCountsAndRefusals)
{
    IDirectDrawSurface7* target = Surface(16, 16, kTargets[3].pf, DDSCAPS_3DDEVICE);
    IDirect3DDevice7* device = Device(target);
    EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(device->BeginScene(), DD_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
    EXPECT_EQ(device->EndScene(), DD_OK);
    const float v[4] = {1, 1, 0, 1};
    struct Refusal {
        const char* name;
        D3DPRIMITIVETYPE type;
        DWORD fvf;
        DWORD count;
        HRESULT want;
    } const refusals[] = {
        {"type 0", static_cast<D3DPRIMITIVETYPE>(0), kTex, 1, DDERR_INVALIDPARAMS},
        {"type 7", static_cast<D3DPRIMITIVETYPE>(7), kTex, 1, DDERR_INVALIDPARAMS},
        {"format 0x4", D3DPT_POINTLIST, D3DFVF_XYZRHW, 1, DDERR_INVALIDPARAMS},
        {"format 0x142", D3DPT_POINTLIST, 0x142, 1, DDERR_INVALIDPARAMS},
        {"65536 vertices", D3DPT_POINTLIST, kCol, 65536, DDERR_INVALIDPARAMS},
        {"no vertices", D3DPT_POINTLIST, kCol, 0, DD_OK},
    };
    for (const Refusal& r : refusals)
        EXPECT_EQ(device->DrawPrimitive(r.type, r.fvf, const_cast<float*>(v), r.count, 0), r.want) << r.name;
    // Unknown states and values are taken and act as the defaults.
    EXPECT_EQ(device->SetRenderState(9999, 1), DD_OK);
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_SRCBLEND, 77), DD_OK);
    EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, 99), DD_OK);
    EXPECT_EQ(device->SetTextureStageState(1, D3DTSS_COLOROP, 4), DDERR_INVALIDPARAMS);
    EXPECT_EQ(winapi::ddraw_testing::RenderStateCalls(D3DRENDERSTATE_SRCBLEND), 1);
    EXPECT_EQ(winapi::ddraw_testing::StageStateCalls(D3DTSS_COLOROP), 1);
    EXPECT_EQ(winapi::ddraw_testing::MethodCalls("BeginScene"), 2);
    // The n-th call of a method fails.
    winapi::ddraw_testing::Current().failMethod = "SetRenderState";
    winapi::ddraw_testing::Current().failMethodCall = winapi::ddraw_testing::MethodCalls("SetRenderState") + 2;
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_CULLMODE, 1), DD_OK);
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_CULLMODE, 1), DDERR_GENERIC);
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_CULLMODE, 1), DD_OK);
    // Viewports inside the target only; drawing keeps inside the viewport.
    D3DVIEWPORT7 outside{8, 8, 9, 8, 0, 1};
    EXPECT_EQ(device->SetViewport(&outside), DDERR_INVALIDPARAMS);
    D3DVIEWPORT7 inner{4, 4, 8, 8, 0, 1};
    EXPECT_EQ(device->SetViewport(&inner), DD_OK);
    struct Coloured {
        float x, y, z, rhw;
        DWORD colour;
    } const fill[] = {{-5, -5, 0, 1, 0xFFFFFFFF}, {40, -5, 0, 1, 0xFFFFFFFF}, {-5, 40, 0, 1, 0xFFFFFFFF}};
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, kCol, const_cast<Coloured*>(fill), 3, 0), DD_OK);
    const auto pixels = Pixels(target);
    for (LONG y = 0; y < 16; ++y)
        for (LONG x = 0; x < 16; ++x)
            EXPECT_EQ(pixels[static_cast<size_t>(y * 16 + x)] != 0, x >= 4 && x < 12 && y >= 4 && y < 12) << x << "," << y;
    // NaN, infinite and huge coordinates drop the primitive or clip; a lost target answers.
    const float odd[] = {NAN, 1, 0, 1, 0, 1e30f, -1e30f, 0, 1, 0, INFINITY, 3, 0, 1, 0, 1e30f, 1e30f, 0, 1, 0};
    for (D3DPRIMITIVETYPE t : {D3DPT_POINTLIST, D3DPT_LINELIST, D3DPT_LINESTRIP, D3DPT_TRIANGLESTRIP, D3DPT_TRIANGLEFAN})
        EXPECT_EQ(device->DrawPrimitive(t, kCol, const_cast<float*>(odd), 4, 0), DD_OK);
    winapi::ddraw_testing::LoseAllSurfaces();
    EXPECT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, kCol, const_cast<Coloured*>(fill), 1, 0), DDERR_SURFACELOST);
    device->Release();
}

TEST_F(D3DRaster, ZBuffersCapsAndFormats)
{
    std::vector<DDPIXELFORMAT> zs;
    auto collect = [](LPDDPIXELFORMAT pf, LPVOID context) -> HRESULT {
        static_cast<std::vector<DDPIXELFORMAT>*>(context)->push_back(*pf);
        return D3DENUMRET_OK;
    };
    ASSERT_EQ(d3d->EnumZBufferFormats(IID_IDirect3DRGBDevice, collect, &zs), DD_OK);
    ASSERT_EQ(zs.size(), 3u);
    EXPECT_EQ(zs[0].dwZBufferBitDepth, 16u);
    EXPECT_EQ(zs[1].dwZBufferBitDepth, 32u);
    EXPECT_EQ(zs[1].dwZBitMask, 0xFFFFFFu);
    IDirectDrawSurface7* target = Surface(16, 8, kTargets[3].pf, DDSCAPS_3DDEVICE);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = 16;
    d.dwHeight = 8;
    d.ddsCaps.dwCaps = DDSCAPS_ZBUFFER;
    d.ddpfPixelFormat = zs[0];
    IDirectDrawSurface7* z = nullptr;
    ASSERT_EQ(dd->CreateSurface(&d, &z, nullptr), DD_OK);
    made.push_back(z);
    EXPECT_EQ(target->AddAttachedSurface(z), DD_OK);
    EXPECT_EQ(target->AddAttachedSurface(z), DDERR_CANNOTATTACHSURFACE);
    EXPECT_EQ(target->AddAttachedSurface(target), DDERR_CANNOTATTACHSURFACE);
    void* owner = nullptr;
    ASSERT_EQ(z->GetDDInterface(&owner), DD_OK);
    EXPECT_EQ(owner, static_cast<void*>(dd));
    static_cast<IDirectDraw7*>(owner)->Release();

    winapi::ddraw_testing::Current().textureCaps = D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY;
    winapi::ddraw_testing::Current().maxTextureSide = 256;
    IDirect3DDevice7* device = Device(target);
    D3DDEVICEDESC7 caps{};
    ASSERT_EQ(device->GetCaps(&caps), DD_OK);
    EXPECT_TRUE(caps.dwDevCaps & D3DDEVCAPS_DRAWPRIMTLVERTEX);
    EXPECT_TRUE(caps.dpcTriCaps.dwShadeCaps & D3DPSHADECAPS_ALPHAGOURAUDBLEND);
    EXPECT_EQ(caps.dpcTriCaps.dwTextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY),
              D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY);
    EXPECT_EQ(caps.dwMaxTextureWidth, 256u);
    EXPECT_EQ(caps.dpcTriCaps.dwSrcBlendCaps, D3DPBLENDCAPS_ALL);
    EXPECT_EQ(caps.dpcTriCaps.dwAlphaCmpCaps, D3DPCMPCAPS_ALL);
    std::vector<DDPIXELFORMAT> formats;
    ASSERT_EQ(device->EnumTextureFormats(collect, &formats), DD_OK);
    ASSERT_EQ(formats.size(), 7u);
    EXPECT_EQ(formats[3].dwRGBAlphaBitMask, 0xF000u);
    winapi::ddraw_testing::Current().textureFormats = {kTextures[4].pf};
    formats.clear();
    ASSERT_EQ(device->EnumTextureFormats(collect, &formats), DD_OK);
    EXPECT_EQ(formats.size(), 1u);
    device->Release();
}

} // namespace
