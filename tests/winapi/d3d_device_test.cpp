// The software Direct3D device against a per-pixel reference written here: 1:1 exact with both
// filters in every target format, 640x480 into 1440x1080, a 1024x512 texture read at U = 0.625,
// V = 0.9375, the top-left rule at shared edges, and the refusals.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "d3d_sampling.h"
#include "winapi/d3d.h"
#include "winapi/ddraw.h"
#include "winapi/ddraw_testing.h"
#include "winapi/simd_level.h"

namespace {

struct Vertex {
    float x, y, z, rhw, u, v;
};

struct FormatCase {
    const char* name;
    DWORD bits, r, g, b;
    DWORD a = 0;
};
// A float drawn evenly from lo..hi.
float Uniform(std::mt19937& random, double lo, double hi)
{
    return static_cast<float>(std::uniform_real_distribution<double>(lo, hi)(random));
}

const FormatCase kX888{"x888", 32, 0xFF0000, 0xFF00, 0xFF};
const FormatCase kFormats[] = {{"555", 16, 0x7C00, 0x3E0, 0x1F}, {"565", 16, 0xF800, 0x7E0, 0x1F},
                               {"888", 24, 0xFF0000, 0xFF00, 0xFF}, kX888};

class D3DDevice : public ::testing::Test {
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
    }
    IDirectDrawSurface7* Surface(LONG w, LONG h, const FormatCase& f, DWORD caps, unsigned seed)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddsCaps.dwCaps = caps;
        d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        d.ddpfPixelFormat.dwFlags = DDPF_RGB | (f.a != 0 ? DDPF_ALPHAPIXELS : 0);
        d.ddpfPixelFormat.dwRGBAlphaBitMask = f.a;
        d.ddpfPixelFormat.dwRGBBitCount = f.bits;
        d.ddpfPixelFormat.dwRBitMask = f.r;
        d.ddpfPixelFormat.dwGBitMask = f.g;
        d.ddpfPixelFormat.dwBBitMask = f.b;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        made.push_back(s);
        std::mt19937 random(seed);
        Locked l(s);
        for (LONG y = 0; y < h; ++y)
            for (LONG x = 0; x < w * static_cast<LONG>(f.bits / 8); ++x)
                l.Row(y)[x] = seed == 0 ? 0 : static_cast<BYTE>(random());
        return s;
    }
public:
    struct Locked {
        explicit Locked(IDirectDrawSurface7* s) : surface(s)
        {
            desc.dwSize = sizeof desc;
            EXPECT_EQ(s->Lock(nullptr, &desc, 0, nullptr), DD_OK);
        }
        ~Locked() { surface->Unlock(nullptr); }
        BYTE* Row(LONG y) { return static_cast<BYTE*>(desc.lpSurface) + y * desc.lPitch; }
        uint32_t X888(LONG x, LONG y) { return (reinterpret_cast<uint32_t*>(Row(y))[x]) & 0xFFFFFF; }
        IDirectDrawSurface7* surface;
        DDSURFACEDESC2 desc{};
    };
    IDirect3DDevice7* Device(IDirectDrawSurface7* target)
    {
        IDirect3DDevice7* device = nullptr;
        EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), DD_OK);
        if (device != nullptr)
            device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        return device;
    }
    // One filter whether the quad grows or shrinks the texture.
    static void Filter(IDirect3DDevice7* device, DWORD filter)
    {
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
    }
    // The quad of the texture path over w x h, texture coordinates up to (u, v).
    static void Quad(IDirect3DDevice7* device, float w, float h, float u, float v)
    {
        Vertex q[4] = {{-0.5f, -0.5f, 0, 1, 0, 0}, {w - 0.5f, -0.5f, 0, 1, u, 0}, {-0.5f, h - 0.5f, 0, 1, 0, v},
                       {w - 0.5f, h - 0.5f, 0, 1, u, v}};
        ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, q, 4, D3DDP_WAIT), DD_OK);
    }

    // The strip drawn onto two ow x oh targets of the same picture, by rows where the device can
    // (rows = whether it did) and as two triangles pixel by pixel; answers the pixels of both
    // (point samples in the target's format copy the texel whole: only the colour bits kept).
    // `states` sets more of each device's states (blending).
    std::array<std::vector<DWORD>, 2> DrawnBothWays(IDirectDrawSurface7* texture, const Vertex strip[4], LONG ow,
                                                    LONG oh, const FormatCase& format, DWORD mag, DWORD min,
                                                    bool* rows,
                                                    const std::function<void(IDirect3DDevice7*)>& states = {})
    {
        const bool linear = mag == D3DTFG_LINEAR && min == D3DTFN_LINEAR;
        const LONG bytes = static_cast<LONG>(format.bits / 8);
        std::array<std::vector<DWORD>, 2> drawn;
        for (int triangles = 0; triangles < 2; ++triangles) {
            winapi::ddraw_testing::Current().noQuadRows = triangles == 1;
            IDirectDrawSurface7* target = Surface(ow, oh, format, DDSCAPS_3DDEVICE, 23);
            IDirect3DDevice7* device = Device(target);
            device->SetTexture(0, texture);
            device->SetTextureStageState(0, D3DTSS_MAGFILTER, mag);
            device->SetTextureStageState(0, D3DTSS_MINFILTER, min);
            if (states)
                states(device);
            const int before = winapi::ddraw_testing::QuadsByRows();
            EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, const_cast<Vertex*>(strip),
                                            4, 0),
                      DD_OK);
            if (triangles == 0)
                *rows = winapi::ddraw_testing::QuadsByRows() != before;
            device->Release();
            Locked l(target);
            for (LONG y = 0; y < oh; ++y)
                for (LONG x = 0; x < ow; ++x) {
                    DWORD p = 0;
                    std::memcpy(&p, l.Row(y) + x * bytes, static_cast<size_t>(bytes));
                    drawn[static_cast<size_t>(triangles)].push_back(linear || states ? p : p & (format.r | format.g | format.b));
                }
        }
        winapi::ddraw_testing::Current().noQuadRows = false;
        return drawn;
    }
    // The first pixel where two pictures of width w differ, as "x,y: one, other" ("" when alike).
    static std::string FirstDifference(const std::array<std::vector<DWORD>, 2>& drawn, LONG w)
    {
        for (size_t i = 0; i < drawn[0].size(); ++i)
            if (drawn[0][i] != drawn[1][i])
                return std::to_string(i % static_cast<size_t>(w)) + "," + std::to_string(i / static_cast<size_t>(w)) +
                       ": " + std::to_string(drawn[0][i]) + ", " + std::to_string(drawn[1][i]);
        return "";
    }

    IDirectDraw7* dd = nullptr;
    IDirect3D7* d3d = nullptr;
    std::vector<IDirectDrawSurface7*> made;
};

TEST_F(D3DDevice, OneToOneIsExactWithBothFiltersInEveryFormat)
{
    for (const FormatCase& f : kFormats) {
        for (DWORD filter : {D3DTFG_POINT, D3DTFG_LINEAR}) {
            SCOPED_TRACE(std::string(f.name) + (filter == D3DTFG_LINEAR ? " linear" : " point"));
            IDirectDrawSurface7* texture = Surface(37, 23, f, DDSCAPS_TEXTURE, 7);
            IDirectDrawSurface7* target = Surface(37, 23, f, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, 0);
            IDirect3DDevice7* device = Device(target);
            ASSERT_NE(device, nullptr);
            device->SetTexture(0, texture);
            Filter(device, filter);
            device->BeginScene();
            Quad(device, 37, 23, 1, 1);
            device->EndScene();
            device->SetTexture(0, nullptr);
            device->Release();
            Locked a(texture), b(target);
            const DWORD used = f.r | f.g | f.b;
            for (LONG y = 0; y < 23; ++y)
                for (LONG x = 0; x < 37; ++x) {
                    DWORD p = 0, q = 0;
                    std::memcpy(&p, a.Row(y) + x * (f.bits / 8), f.bits / 8);
                    std::memcpy(&q, b.Row(y) + x * (f.bits / 8), f.bits / 8);
                    ASSERT_EQ(p & used, q & used) << x << "," << y;
                }
        }
    }
}

TEST_F(D3DDevice, ScaledQuadsFollowTheReference)
{
    struct Case {
        LONG tw, th, ow, oh;
        float u, v;
        bool linear;
    } const cases[] = {
        {640, 480, 1440, 1080, 1, 1, false},
        {640, 480, 1440, 1080, 1, 1, true},
        {1024, 512, 640, 480, 0.625f, 0.9375f, false},  // the output's corner of a power-of-two texture
        {1024, 512, 640, 480, 0.625f, 0.9375f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.ow) + (c.linear ? " linear" : " point"));
        IDirectDrawSurface7* texture = Surface(c.tw, c.th, kX888, DDSCAPS_TEXTURE, 11);
        IDirectDrawSurface7* target = Surface(c.ow, c.oh, kX888, DDSCAPS_3DDEVICE, 0);
        IDirect3DDevice7* device = Device(target);
        device->SetTexture(0, texture);
        Filter(device, c.linear ? D3DTFG_LINEAR : D3DTFG_POINT);
        Quad(device, static_cast<float>(c.ow), static_cast<float>(c.oh), c.u, c.v);
        device->Release();
        Locked tex(texture), out(target);
        int off = 0;
        for (LONG y = 0; y < c.oh; y += 7)
            for (LONG x = 0; x < c.ow; x += 3) {
                const double u = (x + 0.5) / c.ow * c.u, v = (y + 0.5) / c.oh * c.v;
                // A coordinate on a texel border may round either way: both neighbours are right.
                const uint32_t got = out.X888(x, y);
                bool near = false;
                for (double du : {-1e-9, 1e-9})
                    for (double dv : {-1e-9, 1e-9}) {
                        auto texel = [&](LONG x, LONG y) { return tex.X888(x, y); };
                        const uint32_t want = d3d_test::Sample(texel, c.tw, c.th, u + du, v + dv, c.linear);
                        bool close = true;
                        for (int shift : {16, 8, 0})
                            close = close && std::abs(static_cast<int>((want >> shift) & 0xFF) -
                                                      static_cast<int>((got >> shift) & 0xFF)) <= 1;
                        near = near || close;
                    }
                off += near ? 0 : 1;
            }
        EXPECT_EQ(off, 0);
        if (!c.linear && c.tw == 1024) {
            // U = 0.625 and V = 0.9375 put texel (x, y) at pixel (x, y).
            for (LONG y = 0; y < c.oh; y += 13)
                for (LONG x = 0; x < c.ow; x += 5)
                    ASSERT_EQ(out.X888(x, y), tex.X888(x, y));
        }
    }
}

TEST_F(D3DDevice, QuadRowsGiveTheTrianglesPixels)
{
    // Each quad drawn by rows and then, on a target with the same picture, as two triangles pixel by
    // pixel: every byte alike (point samples in the target's format copy the texel whole, so there
    // only the colour bits are compared). Upscaling by 2 and by 9/4 puts many samples exactly on
    // texel borders and colours exactly halfway between two values.
    struct Case {
        const char* name;
        LONG tw, th, ow, oh;
        float left, top, right, bottom, u0, u1, v0, v1;
        bool rows;  // drawn by rows, not as triangles
    } const cases[] = {
        {"frame quad 9/4", 64, 48, 144, 108, -0.5f, -0.5f, 143.5f, 107.5f, 0, 1, 0, 1, true},
        {"corner of a power-of-two texture", 128, 64, 80, 60, -0.5f, -0.5f, 79.5f, 59.5f, 0, 0.625f, 0, 0.9375f, true},
        {"twice as large", 33, 17, 66, 34, -0.5f, -0.5f, 65.5f, 33.5f, 0, 1, 0, 1, true},
        {"fractional corners", 20, 15, 50, 40, 3.3f, 2.7f, 41.6f, 33.1f, 0.1f, 0.85f, 0.05f, 0.95f, true},
        {"smaller", 100, 80, 37, 29, -0.5f, -0.5f, 36.5f, 28.5f, 0, 1, 0, 1, true},
        {"cut by the target's edges", 24, 18, 40, 30, -10.25f, -7.5f, 60.75f, 45.5f, 0, 1, 0, 1, true},
        {"mirrored coordinates", 16, 12, 48, 36, -0.5f, -0.5f, 47.5f, 35.5f, 1, 0, 1, 0, true},
        {"one texel column", 1, 5, 9, 20, -0.5f, -0.5f, 8.5f, 19.5f, 0, 1, 0, 1, true},
        {"coordinates past the texture", 10, 10, 40, 40, 0.25f, 0.75f, 39.25f, 39.75f, -0.5f, 1.5f, -0.25f, 1.25f, true},
        {"corners on pixel centres", 7, 5, 24, 20, 2, 3, 20, 15, 0, 1, 0, 1, true},
        {"off the target", 8, 8, 20, 20, 30, 2, 50, 10, 0, 1, 0, 1, true},
        {"under a pixel wide", 4, 4, 10, 10, 2.2f, 2, 2.9f, 8, 0, 1, 0, 1, false},
    };
    const FormatCase k555 = kFormats[0], k565 = kFormats[1], k888 = kFormats[2];
    const struct {
        FormatCase texture, target;
    } pairs[] = {{kX888, kX888}, {k565, k565}, {k555, kX888}, {k888, k565}, {kX888, k555}, {k888, k888}};
    // Magnification and minification filters, alike and mixed (each triangle takes the one of
    // its own scale, so the rows draw the quad with that one).
    const struct {
        const char* name;
        DWORD mag, min;
    } filters[] = {{"point", D3DTFG_POINT, D3DTFN_POINT},
                   {"bilinear", D3DTFG_LINEAR, D3DTFN_LINEAR},
                   {"bilinear growing", D3DTFG_LINEAR, D3DTFN_POINT},
                   {"bilinear shrinking", D3DTFG_POINT, D3DTFN_LINEAR}};
    // The bilinear rows mix in the SIMD level's kernels.
    for (SimdLevel level : kAllSimdLevels)
    for (const Case& c : cases)
        for (const auto& pair : pairs)
            for (const auto& filter : filters) {
                if (level != SimdLevel::Avx2 && filter.mag != D3DTFG_LINEAR && filter.min != D3DTFN_LINEAR)
                    continue;
                const ScopedSimdLevel scoped(level);
                SCOPED_TRACE(std::string(c.name) + " " + pair.texture.name + " -> " + pair.target.name + " " +
                             filter.name + " level " + std::to_string(static_cast<int>(level)));
                IDirectDrawSurface7* texture = Surface(c.tw, c.th, pair.texture, DDSCAPS_TEXTURE, 17);
                const Vertex strip[4] = {{c.left, c.top, 0, 1, c.u0, c.v0}, {c.right, c.top, 0, 1, c.u1, c.v0},
                                         {c.left, c.bottom, 0, 1, c.u0, c.v1}, {c.right, c.bottom, 0, 1, c.u1, c.v1}};
                bool rows = false;
                const auto drawn = DrawnBothWays(texture, strip, c.ow, c.oh, pair.target, filter.mag, filter.min, &rows);
                EXPECT_EQ(rows, c.rows);
                EXPECT_EQ(FirstDifference(drawn, c.ow), "");
            }
}

TEST_F(D3DDevice, RandomQuadsByRowsGiveTheTrianglesPixels)
{
    // Random sizes, scales, texture coordinates (mirrored, past the texture), corners on and off
    // the pixel grid and past the target's edges, bilinear and point, at every SIMD level; the
    // turned ones go to the triangles (the rows refuse them) and must still match.
    std::mt19937 random(29);
    auto uniform = [&](double lo, double hi) { return Uniform(random, lo, hi); };
    int byRows = 0;
    for (int round = 0; round < 60; ++round) {
        const LONG tw = 1 + static_cast<LONG>(random() % 40), th = 1 + static_cast<LONG>(random() % 40);
        const LONG ow = 1 + static_cast<LONG>(random() % 90), oh = 1 + static_cast<LONG>(random() % 90);
        float left = uniform(-20, ow), top = uniform(-20, oh);
        float right = left + uniform(1, 110), bottom = top + uniform(1, 110);
        if (round % 3 == 0) {  // corners on a grid of quarter pixels
            left = std::round(left * 4) / 4;
            top = std::round(top * 4) / 4;
            right = std::round(right * 4) / 4 + 1;
            bottom = std::round(bottom * 4) / 4 + 1;
        }
        const float u0 = uniform(-0.3, 0.6), u1 = uniform(0.4, 1.3), v0 = uniform(-0.3, 0.6), v1 = uniform(0.4, 1.3);
        const bool mirrored = round % 4 == 1;
        Vertex strip[4] = {{left, top, 0, 1, mirrored ? u1 : u0, v0},
                           {right, top, 0, 1, mirrored ? u0 : u1, v0},
                           {left, bottom, 0, 1, mirrored ? u1 : u0, v1},
                           {right, bottom, 0, 1, mirrored ? u0 : u1, v1}};
        const bool turned = round % 5 == 2;
        if (turned) {
            const double angle = uniform(0.05, 3), cx = (left + right) / 2.0, cy = (top + bottom) / 2.0;
            for (Vertex& v : strip) {
                const double dx = v.x - cx, dy = v.y - cy;
                v.x = static_cast<float>(cx + dx * std::cos(angle) - dy * std::sin(angle));
                v.y = static_cast<float>(cy + dx * std::sin(angle) + dy * std::cos(angle));
            }
        }
        const DWORD filter = round % 6 == 5 ? D3DTFG_POINT : D3DTFG_LINEAR;
        IDirectDrawSurface7* texture = Surface(tw, th, kX888, DDSCAPS_TEXTURE, 31 + static_cast<unsigned>(round));
        for (SimdLevel level : kAllSimdLevels) {
            const ScopedSimdLevel scoped(level);
            SCOPED_TRACE(testing::Message() << "round " << round << " level " << static_cast<int>(level) << " quad "
                                            << left << "," << top << " " << right << "," << bottom << " texture "
                                            << tw << "x" << th << " target " << ow << "x" << oh);
            bool rows = false;
            const auto drawn = DrawnBothWays(texture, strip, ow, oh, kX888, filter,
                                             filter == D3DTFG_LINEAR ? D3DTFN_LINEAR : D3DTFN_POINT, &rows);
            EXPECT_EQ(FirstDifference(drawn, ow), "");
            if (turned) {
                EXPECT_FALSE(rows);
            }
            byRows += rows ? 1 : 0;
        }
    }
    EXPECT_GT(byRows, 0);
}

TEST_F(D3DDevice, BlendedQuadsByRowsGiveTheTrianglesPixels)
{
    // An 8888 texture blended by its alpha (clear, opaque and between, in runs and scattered) over
    // an x888 target whose unused byte is set: 1:1 quads on the pixel grid and off it, scaled,
    // mirrored, past the target's edges, with a modulating or selecting alpha operation, at every
    // SIMD level. Quads whose pixels the rows cannot settle go to the triangles and must match too.
    const FormatCase k8888{"8888", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    std::mt19937 random(41);
    auto uniform = [&](double lo, double hi) { return Uniform(random, lo, hi); };
    int byRows = 0;
    for (int round = 0; round < 40; ++round) {
        const LONG tw = 1 + static_cast<LONG>(random() % 48), th = 1 + static_cast<LONG>(random() % 30);
        const LONG ow = 1 + static_cast<LONG>(random() % 80), oh = 1 + static_cast<LONG>(random() % 60);
        IDirectDrawSurface7* texture = Surface(tw, th, k8888, DDSCAPS_TEXTURE, 43 + static_cast<unsigned>(round));
        {
            Locked l(texture);
            for (LONG y = 0; y < th; ++y)
                for (LONG x = 0; x < tw; ++x) {
                    const int run = static_cast<int>((x / 9 + y) % 4);
                    if (run < 2)
                        l.Row(y)[x * 4 + 3] = run == 0 ? 0 : 255;
                }
        }
        float left = std::floor(uniform(-20, ow)) - 0.5f, top = std::floor(uniform(-20, oh)) - 0.5f;
        float right = left + static_cast<float>(tw), bottom = top + static_cast<float>(th);
        if (round % 4 == 1) {  // scaled
            right = left + uniform(1, 90);
            bottom = top + uniform(1, 70);
        } else if (round % 4 == 2) {  // off the grid by a quarter
            left += 0.25f, right += 0.25f;
        }
        const bool mirrored = round % 5 == 3;
        const Vertex strip[4] = {{left, top, 0, 1, mirrored ? 1.0f : 0.0f, 0},
                                 {right, top, 0, 1, mirrored ? 0.0f : 1.0f, 0},
                                 {left, bottom, 0, 1, mirrored ? 1.0f : 0.0f, 1},
                                 {right, bottom, 0, 1, mirrored ? 0.0f : 1.0f, 1}};
        const DWORD alphaOp = round % 2 ? D3DTOP_MODULATE : D3DTOP_SELECTARG1;
        auto blending = [&](IDirect3DDevice7* device) {
            device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
            device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
            device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
            device->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
        };
        for (SimdLevel level : kAllSimdLevels) {
            const ScopedSimdLevel scoped(level);
            SCOPED_TRACE(testing::Message() << "round " << round << " level " << static_cast<int>(level) << " quad "
                                            << left << "," << top << " " << right << "," << bottom << " texture "
                                            << tw << "x" << th << " target " << ow << "x" << oh);
            bool rows = false;
            const auto drawn =
                DrawnBothWays(texture, strip, ow, oh, kX888, D3DTFG_POINT, D3DTFN_POINT, &rows, blending);
            EXPECT_EQ(FirstDifference(drawn, ow), "");
            byRows += rows ? 1 : 0;
        }
    }
    EXPECT_GT(byRows, 0);
}

TEST_F(D3DDevice, BilinearWeightsOnRoundingEdgesGoToTheTriangles)
{
    // Every other column and row samples exactly halfway between two weights: those pixels are
    // the triangles' own, the rest the rows'.
    IDirectDrawSurface7* texture = Surface(16, 16, kX888, DDSCAPS_TEXTURE, 5);
    const float lo = 0.5f, hi = 0.5f + 1.0f / 1024;
    const Vertex strip[4] = {{0, 0, 0, 1, lo, lo}, {64, 0, 0, 1, hi, lo}, {0, 64, 0, 1, lo, hi}, {64, 64, 0, 1, hi, hi}};
    for (SimdLevel level : kAllSimdLevels) {
        const ScopedSimdLevel scoped(level);
        bool rows = false;
        const auto drawn = DrawnBothWays(texture, strip, 64, 64, kX888, D3DTFG_LINEAR, D3DTFN_LINEAR, &rows);
        EXPECT_TRUE(rows);
        EXPECT_EQ(FirstDifference(drawn, 64), "") << "level " << static_cast<int>(level);
    }
}

TEST_F(D3DDevice, SharedEdgesDrawEachPixelOnce)
{
    // Vertices on pixel centres: the edges pass through pixels, and the top-left rule decides.
    IDirectDrawSurface7* texture = Surface(1, 1, kX888, DDSCAPS_TEXTURE, 3);
    const Vertex strip[4] = {{0, 0, 0, 1, 0, 0}, {6, 0, 0, 1, 1, 0}, {0, 5, 0, 1, 0, 1}, {6, 5, 0, 1, 1, 1}};
    std::vector<int> count(10 * 10, 0);
    for (int which = 0; which < 2; ++which) {
        IDirectDrawSurface7* target = Surface(10, 10, kX888, DDSCAPS_3DDEVICE, 0);
        IDirect3DDevice7* device = Device(target);
        device->SetTexture(0, texture);
        Vertex three[3] = {strip[which], strip[which + 1], strip[which + 2]};
        ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZRHW | D3DFVF_TEX1, three, 3, 0), DD_OK);
        device->Release();
        Locked l(target);
        for (LONG y = 0; y < 10; ++y)
            for (LONG x = 0; x < 10; ++x)
                if (l.X888(x, y) != 0)
                    ++count[static_cast<size_t>(y * 10 + x)];
    }
    Locked t(texture);
    ASSERT_NE(t.X888(0, 0), 0u);
    for (LONG y = 0; y < 10; ++y)
        for (LONG x = 0; x < 10; ++x)
            EXPECT_EQ(count[static_cast<size_t>(y * 10 + x)], (x < 6 && y < 5) ? 1 : 0) << x << "," << y;
}

TEST_F(D3DDevice, RefusalsAndOddVertices)
{
    IDirectDrawSurface7* plain = Surface(8, 8, kX888, DDSCAPS_OFFSCREENPLAIN, 0);
    IDirect3DDevice7* device = nullptr;
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, plain, &device), DDERR_INVALIDPARAMS);
    IDirectDrawSurface7* target = Surface(8, 8, kX888, DDSCAPS_3DDEVICE, 0);
    winapi::ddraw_testing::Current().failCreateDevice = true;
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), DDERR_GENERIC);
    winapi::ddraw_testing::Reset();
    device = Device(target);
    Vertex q[4] = {{NAN, 0, 0, 1, 0, 0}, {INFINITY, 1e30f, 0, 1, NAN, 0}, {-1e30f, 3, 0, 1, 0, INFINITY},
                   {4, 4, 0, 1, 1, 1}};
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, q, 4, 0), DD_OK);
    IDirectDrawSurface7* texture = Surface(4, 4, kX888, DDSCAPS_TEXTURE, 5);
    device->SetTexture(0, texture);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, q, 4, 0), DD_OK);
    Filter(device, D3DTFG_LINEAR);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, q, 4, 0), DD_OK);
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, q, 4, 0), DD_OK);
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
    winapi::ddraw_testing::LoseAllSurfaces();
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, q, 4, 0), DDERR_SURFACELOST);
    device->Release();
}

} // namespace
