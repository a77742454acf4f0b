// The software Direct3D device drawing scene quads: 100 quads of a soft-alpha 256x256 8888
// texture, turned and scaled 0.8-1.2, bilinear, SRCALPHA/INVSRCALPHA into a 1280x720 x888 back
// buffer, beside pixman's OVER of the premultiplied texture under the same transform (BILINEAR,
// REPEAT_NONE) over each quad's bounding box; and the same quads 1:1 with point sampling beside
// untransformed OVER. Each entry checks first that one quad's pictures agree within 3 inside the
// quad (counter "mismatches"); `allocs` counts the allocations of one round of ours.
#include "alloc_count.h"
#include "contest.h"
#include "winapi/d3d.h"
#include "winapi/ddraw.h"

#include <pixman.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kW = 1280, kH = 720, kSide = 256, kQuads = 100;

struct Vertex {
    float x, y, z, rhw, u, v;
};

struct Quad {
    double cx, cy, angle, scale;
};

std::vector<Quad> Quads(bool turned)
{
    std::vector<Quad> quads;
    for (int i = 0; i < kQuads; ++i) {
        const double cx = 160 + (i * 97) % (kW - 320), cy = 150 + (i * 61) % (kH - 300);
        quads.push_back(turned ? Quad{cx + 0.3, cy + 0.7, i * 0.37, 0.8 + 0.4 * ((i * 7) % 11) / 10.0}
                               : Quad{std::floor(cx), std::floor(cy), 0, 1});
    }
    return quads;
}

// The texture: colours varying across it, alpha falling off from the centre.
std::vector<uint32_t> Texture()
{
    std::vector<uint32_t> t(kSide * kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const double d = std::hypot(x - 127.5, y - 127.5) / 128;
            const uint32_t a = static_cast<uint32_t>(std::clamp(255 * (1.2 - d), 0.0, 255.0));
            t[static_cast<size_t>(y * kSide + x)] = a << 24 | static_cast<uint32_t>(x) << 16 |
                                                    static_cast<uint32_t>(y) << 8 | static_cast<uint32_t>((x ^ y) & 0xFF);
        }
    return t;
}

struct Device {
    Device()
    {
        DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr);
        void* out = nullptr;
        dd->QueryInterface(IID_IDirect3D7, &out);
        d3d = static_cast<IDirect3D7*>(out);
        target = Make(kW, kH, 0, DDSCAPS_3DDEVICE);
        texture = Make(kSide, kSide, 0xFF000000, DDSCAPS_TEXTURE);
        d3d->CreateDevice(IID_IDirect3DRGBDevice, target, &device);
        device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
        device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTexture(0, texture);
    }
    ~Device()
    {
        device->SetTexture(0, nullptr);
        device->Release();
        texture->Release();
        target->Release();
        d3d->Release();
        dd->Release();
    }
    IDirectDrawSurface7* Make(int w, int h, DWORD alpha, DWORD caps)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.ddsCaps.dwCaps = caps | DDSCAPS_SYSTEMMEMORY;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        d.ddpfPixelFormat.dwFlags = DDPF_RGB | (alpha ? DDPF_ALPHAPIXELS : 0);
        d.ddpfPixelFormat.dwRGBBitCount = 32;
        d.ddpfPixelFormat.dwRBitMask = 0xFF0000;
        d.ddpfPixelFormat.dwGBitMask = 0xFF00;
        d.ddpfPixelFormat.dwBBitMask = 0xFF;
        d.ddpfPixelFormat.dwRGBAlphaBitMask = alpha;
        IDirectDrawSurface7* s = nullptr;
        dd->CreateSurface(&d, &s, nullptr);
        return s;
    }
    void Put(IDirectDrawSurface7* s, const std::vector<uint32_t>& pixels, int w, int h)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        s->Lock(nullptr, &d, 0, nullptr);
        for (int y = 0; y < h; ++y)
            std::memcpy(static_cast<BYTE*>(d.lpSurface) + y * d.lPitch, &pixels[static_cast<size_t>(y * w)],
                        static_cast<size_t>(w) * 4);
        s->Unlock(nullptr);
    }
    std::vector<uint32_t> Get()
    {
        std::vector<uint32_t> out(kW * kH);
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        target->Lock(nullptr, &d, 0, nullptr);
        for (int y = 0; y < kH; ++y)
            std::memcpy(&out[static_cast<size_t>(y * kW)], static_cast<BYTE*>(d.lpSurface) + y * d.lPitch, kW * 4);
        target->Unlock(nullptr);
        return out;
    }
    void Draw(const Quad& q)
    {
        const double c = std::cos(q.angle) * q.scale * kSide / 2, s = std::sin(q.angle) * q.scale * kSide / 2;
        // Corners in pixel-centre coordinates (Direct3D's are half a pixel off pixman's).
        auto at = [&](double sx, double sy, float u, float v) {
            return Vertex{static_cast<float>(q.cx + sx * c - sy * s - 0.5), static_cast<float>(q.cy + sx * s + sy * c - 0.5),
                          0, 1, u, v};
        };
        Vertex strip[4] = {at(-1, -1, 0, 0), at(1, -1, 1, 0), at(-1, 1, 0, 1), at(1, 1, 1, 1)};
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, strip, 4, 0);
    }

    IDirectDraw7* dd = nullptr;
    IDirect3D7* d3d = nullptr;
    IDirectDrawSurface7* target = nullptr;
    IDirectDrawSurface7* texture = nullptr;
    IDirect3DDevice7* device = nullptr;
};

struct Peer {
    Peer(const std::vector<uint32_t>& texture) : premultiplied(texture), dst(kW * kH, 0x203040)
    {
        for (uint32_t& p : premultiplied) {
            const uint32_t a = p >> 24;
            auto m = [&](int shift) { return ((p >> shift & 0xFF) * a + 127) / 255 << shift; };
            p = a << 24 | m(16) | m(8) | m(0);
        }
        src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, premultiplied.data(), kSide * 4);
        out = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, dst.data(), kW * 4);
    }
    ~Peer()
    {
        pixman_image_unref(src);
        pixman_image_unref(out);
    }
    void Draw(const Quad& q, bool turned)
    {
        if (!turned) {
            pixman_image_set_transform(src, nullptr);
            pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
            pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, out, 0, 0, 0, 0, static_cast<int>(q.cx) - kSide / 2,
                                     static_cast<int>(q.cy) - kSide / 2, kSide, kSide);
            return;
        }
        // Destination -> source: turn back, unscale, move to the texture's centre.
        const double cs = std::cos(q.angle) / q.scale, sn = std::sin(q.angle) / q.scale;
        pixman_transform_t t;
        pixman_transform_init_identity(&t);
        t.matrix[0][0] = pixman_double_to_fixed(cs);
        t.matrix[0][1] = pixman_double_to_fixed(sn);
        t.matrix[0][2] = pixman_double_to_fixed(kSide / 2.0 - (cs * q.cx + sn * q.cy));
        t.matrix[1][0] = pixman_double_to_fixed(-sn);
        t.matrix[1][1] = pixman_double_to_fixed(cs);
        t.matrix[1][2] = pixman_double_to_fixed(kSide / 2.0 - (-sn * q.cx + cs * q.cy));
        pixman_image_set_transform(src, &t);
        pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
        pixman_image_set_repeat(src, PIXMAN_REPEAT_NONE);
        // The turned square's own bounding box (and a pixel for the filter's reach).
        const double reach = q.scale * kSide / 2 * (std::fabs(std::cos(q.angle)) + std::fabs(std::sin(q.angle)));
        const int half = static_cast<int>(std::ceil(reach)) + 2;
        const int x0 = std::max(0, static_cast<int>(q.cx) - half), y0 = std::max(0, static_cast<int>(q.cy) - half);
        const int x1 = std::min(kW, static_cast<int>(q.cx) + half), y1 = std::min(kH, static_cast<int>(q.cy) + half);
        pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, out, x0, y0, 0, 0, x0, y0, x1 - x0, y1 - y0);
    }
    std::vector<uint32_t> premultiplied;
    std::vector<uint32_t> dst;
    pixman_image_t* src = nullptr;
    pixman_image_t* out = nullptr;
};

// Pixels of one quad inside it (a texel and more from its edges) differing by more than 3.
int Mismatches(const Quad& q, bool turned)
{
    const std::vector<uint32_t> texture = Texture();
    Device ours;
    ours.Put(ours.texture, texture, kSide, kSide);
    const std::vector<uint32_t> background(kW * kH, 0x203040);
    ours.Put(ours.target, background, kW, kH);
    if (!turned) {
        ours.device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
        ours.device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_POINT);
    } else {
        ours.device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
        ours.device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    }
    ours.Draw(q);
    Peer peer(texture);
    peer.Draw(q, turned);
    const std::vector<uint32_t> a = ours.Get();
    int off = 0;
    const double cs = std::cos(q.angle) / q.scale, sn = std::sin(q.angle) / q.scale;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double u = cs * (px - q.cx) + sn * (py - q.cy) + kSide / 2.0;
            const double v = -sn * (px - q.cx) + cs * (py - q.cy) + kSide / 2.0;
            if (u < 2 || v < 2 || u > kSide - 2 || v > kSide - 2)
                continue;
            const uint32_t g = a[static_cast<size_t>(y * kW + x)], w = peer.dst[static_cast<size_t>(y * kW + x)];
            for (int shift : {16, 8, 0})
                if (std::abs(static_cast<int>(g >> shift & 0xFF) - static_cast<int>(w >> shift & 0xFF)) > 3) {
                    ++off;
                    break;
                }
        }
    return off;
}

void Run(benchmark::State& state, bool turned)
{
    const auto quads = Quads(turned);
    const int mismatches = Mismatches(quads[3], turned);
    const std::vector<uint32_t> texture = Texture();
    Device ours;
    ours.Put(ours.texture, texture, kSide, kSide);
    const DWORD filter = turned ? D3DTFG_LINEAR : D3DTFG_POINT;
    ours.device->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
    ours.device->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
    Peer peer(texture);
    bench::Contest(
        state, [&] { for (const Quad& q : quads) ours.Draw(q); },
        [&] { for (const Quad& q : quads) peer.Draw(q, turned); }, 5);
    bench::ReportGoal(state, {.ratio = 1.5});
    bench::ReportAllocations(state, [&] { for (const Quad& q : quads) ours.Draw(q); });
    state.counters["mismatches"] = mismatches;
}

void BM_TurnedQuadsVsPixmanOver(benchmark::State& state) { Run(state, true); }
BENCHMARK(BM_TurnedQuadsVsPixmanOver)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_OneToOneQuadsVsPixmanOver(benchmark::State& state) { Run(state, false); }
BENCHMARK(BM_OneToOneQuadsVsPixmanOver)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
