// The DirectDraw stand-in on the headless host. Back buffer -> primary until the window's store
// holds it (x888; the headless recorder's copy of each present is switched off): 640x480 at 1:1
// beside a memcpy of the same bytes, and stretched into 1440x1080 beside pixman's bilinear scaling
// (PIXMAN_REPEAT_PAD) and beside SDL_RenderCopy of the software renderer (linear). Off-screen
// Blt/BltFast at 256x256 and 640x480 in x888 and 565: plain beside memcpy, keyed beside
// SDL_BlitSurface with a colour key, stretched (2x) beside SDL_BlitScaled. The texture path's quad,
// 640x480 at 1:1 with point sampling, beside memcpy of the same bytes, and bilinear into 1440x1080
// beside pixman's bilinear scaling. `allocs` counts the allocations of one call of ours.
#include "alloc_count.h"
#include "contest.h"
#include "winapi/d3d.h"
#include "winapi/ddraw.h"
#include "winapi/host.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <SDL.h>
#include <pixman.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

struct Setup {
    Setup()
    {
        setenv("TESSARO_HOST", "headless", 1);
        winapi::SetHost(std::make_unique<winapi::HeadlessHost>());
        winapi::CurrentHeadlessHost()->SetFrameCapture(false);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "DDrawBench";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "DDrawBench", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 1440, 1080, nullptr, nullptr,
                                 nullptr, nullptr);
        DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr);
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS;
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        dd->CreateSurface(&d, &primary, nullptr);
        IDirectDrawClipper* clipper = nullptr;
        dd->CreateClipper(0, &clipper, nullptr);
        clipper->SetHWnd(0, window);
        primary->SetClipper(clipper);
        clipper->Release();
    }
    IDirectDrawSurface7* Surface(LONG w, LONG h, int bits)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        d.ddpfPixelFormat.dwFlags = DDPF_RGB;
        d.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(bits);
        d.ddpfPixelFormat.dwRBitMask = bits == 16 ? 0xF800 : 0xFF0000;
        d.ddpfPixelFormat.dwGBitMask = bits == 16 ? 0x07E0 : 0xFF00;
        d.ddpfPixelFormat.dwBBitMask = bits == 16 ? 0x001F : 0xFF;
        IDirectDrawSurface7* s = nullptr;
        dd->CreateSurface(&d, &s, nullptr);
        DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        s->Lock(nullptr, &locked, 0, nullptr);
        std::mt19937 random(3);
        for (LONG y = 0; y < h; ++y)
            for (LONG x = 0; x < w * bits / 8; ++x)
                static_cast<BYTE*>(locked.lpSurface)[y * locked.lPitch + x] = static_cast<BYTE>(random() & 0xF0);
        s->Unlock(nullptr);
        return s;
    }
    HWND window = nullptr;
    IDirectDraw7* dd = nullptr;
    IDirectDrawSurface7* primary = nullptr;
};

Setup& Get()
{
    static Setup* setup = new Setup;
    return *setup;
}

// The back buffer's pixels as a tight 640x480 x888 block.
std::vector<uint32_t> Pixels(IDirectDrawSurface7* back)
{
    DDSURFACEDESC2 locked{};
    locked.dwSize = sizeof locked;
    back->Lock(nullptr, &locked, 0, nullptr);
    std::vector<uint32_t> src(640 * 480);
    for (int y = 0; y < 480; ++y)
        std::memcpy(&src[static_cast<size_t>(y) * 640], static_cast<BYTE*>(locked.lpSurface) + y * locked.lPitch,
                    640 * 4);
    back->Unlock(nullptr);
    return src;
}

void BM_PrimaryOneToOne(benchmark::State& state)
{
    Setup& s = Get();
    IDirectDrawSurface7* back = s.Surface(640, 480, 32);
    std::vector<uint32_t> from(640 * 480, 0x123456), to(640 * 480);
    RECT dst{0, 0, 640, 480};
    bench::Contest(
        state, [&] { s.primary->Blt(&dst, back, nullptr, DDBLT_ASYNC, nullptr); },
        [&] { std::memcpy(to.data(), from.data(), to.size() * 4); });
    bench::ReportGoal(state, {.ratio = 0.8});
    // The two are the headless recorder's: it keeps each present's rectangles for the tests.
    bench::ReportAllocations(state, [&] { s.primary->Blt(&dst, back, nullptr, DDBLT_ASYNC, nullptr); }, 2);
    back->Release();
}
BENCHMARK(BM_PrimaryOneToOne)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PrimaryStretchVsPixman(benchmark::State& state)
{
    Setup& s = Get();
    IDirectDrawSurface7* back = s.Surface(640, 480, 32);
    std::vector<uint32_t> src = Pixels(back);
    std::vector<uint32_t> dst(1440 * 1080);
    pixman_image_t* in = pixman_image_create_bits(PIXMAN_x8r8g8b8, 640, 480, src.data(), 640 * 4);
    pixman_image_t* out = pixman_image_create_bits(PIXMAN_x8r8g8b8, 1440, 1080, dst.data(), 1440 * 4);
    pixman_transform_t transform;
    pixman_transform_init_scale(&transform, pixman_double_to_fixed(640.0 / 1440), pixman_double_to_fixed(480.0 / 1080));
    pixman_image_set_transform(in, &transform);
    pixman_image_set_filter(in, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(in, PIXMAN_REPEAT_PAD);
    RECT to{0, 0, 1440, 1080};
    bench::Contest(
        state, [&] { s.primary->Blt(&to, back, nullptr, DDBLT_ASYNC, nullptr); },
        [&] { pixman_image_composite32(PIXMAN_OP_SRC, in, nullptr, out, 0, 0, 0, 0, 0, 0, 1440, 1080); }, 5);
    bench::ReportGoal(state, {.ratio = 1.5});
    pixman_image_unref(in);
    pixman_image_unref(out);
    back->Release();
}
BENCHMARK(BM_PrimaryStretchVsPixman)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PrimaryStretchVsSdlRenderCopy(benchmark::State& state)
{
    Setup& s = Get();
    IDirectDrawSurface7* back = s.Surface(640, 480, 32);
    std::vector<uint32_t> src = Pixels(back);
    SDL_Surface* in = SDL_CreateRGBSurfaceWithFormatFrom(src.data(), 640, 480, 32, 640 * 4, SDL_PIXELFORMAT_RGB888);
    SDL_Surface* out = SDL_CreateRGBSurfaceWithFormat(0, 1440, 1080, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(out);
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, in);
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
    RECT to{0, 0, 1440, 1080};
    bench::Contest(
        state, [&] { s.primary->Blt(&to, back, nullptr, DDBLT_ASYNC, nullptr); },
        [&] {
            SDL_RenderCopy(renderer, texture, nullptr, nullptr);
            SDL_RenderFlush(renderer);
        },
        5);
    bench::ReportGoal(state, {.ratio = 1.0});
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(out);
    SDL_FreeSurface(in);
    back->Release();
}
BENCHMARK(BM_PrimaryStretchVsSdlRenderCopy)->Iterations(1)->Unit(benchmark::kMillisecond);

// Off-screen blits: args are side (256 or 640) and bits (32 or 16).
void BM_BltPlainVsMemcpy(benchmark::State& state)
{
    Setup& s = Get();
    const LONG w = static_cast<LONG>(state.range(0)), h = w == 640 ? 480 : w;
    const int bits = static_cast<int>(state.range(1));
    IDirectDrawSurface7* a = s.Surface(w, h, bits);
    IDirectDrawSurface7* b = s.Surface(w, h, bits);
    std::vector<BYTE> from(static_cast<size_t>(w * h * bits / 8)), to(from.size());
    bench::Contest(state, [&] { b->BltFast(0, 0, a, nullptr, 0); },
                   [&] { std::memcpy(to.data(), from.data(), to.size()); });
    bench::ReportGoal(state, {.ratio = 0.8});
    a->Release();
    b->Release();
}
BENCHMARK(BM_BltPlainVsMemcpy)->Args({256, 32})->Args({640, 32})->Args({256, 16})->Args({640, 16})->Iterations(1)->Unit(benchmark::kMillisecond);

SDL_Surface* SdlCopy(IDirectDrawSurface7* s, LONG w, LONG h, int bits)
{
    SDL_Surface* made = SDL_CreateRGBSurfaceWithFormat(0, w, h, bits,
                                                       bits == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888);
    DDSURFACEDESC2 locked{};
    locked.dwSize = sizeof locked;
    s->Lock(nullptr, &locked, 0, nullptr);
    for (LONG y = 0; y < h; ++y)
        std::memcpy(static_cast<BYTE*>(made->pixels) + y * made->pitch,
                    static_cast<BYTE*>(locked.lpSurface) + y * locked.lPitch, static_cast<size_t>(w * bits / 8));
    s->Unlock(nullptr);
    return made;
}

void BM_BltKeyedVsSdl(benchmark::State& state)
{
    Setup& s = Get();
    const LONG w = static_cast<LONG>(state.range(0)), h = w == 640 ? 480 : w;
    const int bits = static_cast<int>(state.range(1));
    IDirectDrawSurface7* a = s.Surface(w, h, bits);
    IDirectDrawSurface7* b = s.Surface(w, h, bits);
    DDCOLORKEY key{0, 0};
    a->SetColorKey(DDCKEY_SRCBLT, &key);
    SDL_Surface* sa = SdlCopy(a, w, h, bits);
    SDL_Surface* sb = SdlCopy(b, w, h, bits);
    SDL_SetColorKey(sa, SDL_TRUE, 0);
    bench::Contest(state, [&] { b->BltFast(0, 0, a, nullptr, DDBLTFAST_SRCCOLORKEY); },
                   [&] { SDL_BlitSurface(sa, nullptr, sb, nullptr); });
    bench::ReportGoal(state, {.ratio = 1.5});
    bench::ReportAllocations(state, [&] { b->BltFast(0, 0, a, nullptr, DDBLTFAST_SRCCOLORKEY); });
    SDL_FreeSurface(sa);
    SDL_FreeSurface(sb);
    a->Release();
    b->Release();
}
BENCHMARK(BM_BltKeyedVsSdl)->Args({256, 32})->Args({640, 32})->Args({256, 16})->Args({640, 16})->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_BltStretchedVsSdl(benchmark::State& state)
{
    Setup& s = Get();
    const LONG w = static_cast<LONG>(state.range(0)), h = w == 640 ? 480 : w;
    const int bits = static_cast<int>(state.range(1));
    IDirectDrawSurface7* a = s.Surface(w / 2, h / 2, bits);
    IDirectDrawSurface7* b = s.Surface(w, h, bits);
    SDL_Surface* sa = SdlCopy(a, w / 2, h / 2, bits);
    SDL_Surface* sb = SdlCopy(b, w, h, bits);
    SDL_Rect all{0, 0, w, h};
    bench::Contest(state, [&] { b->Blt(nullptr, a, nullptr, DDBLT_WAIT, nullptr); },
                   [&] { SDL_BlitScaled(sa, nullptr, sb, &all); });
    bench::ReportGoal(state, {.ratio = 1.5});
    SDL_FreeSurface(sa);
    SDL_FreeSurface(sb);
    a->Release();
    b->Release();
}
BENCHMARK(BM_BltStretchedVsSdl)->Args({256, 32})->Args({640, 32})->Args({256, 16})->Args({640, 16})->Iterations(1)->Unit(benchmark::kMillisecond);

struct QuadVertex {
    float x, y, z, rhw, u, v;
};

// A Direct3D device drawing into a new w x h render target of the display's format, texture set.
struct QuadDevice {
    QuadDevice(Setup& s, LONG w, LONG h, IDirectDrawSurface7* texture)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        s.dd->CreateSurface(&d, &target, nullptr);
        void* out = nullptr;
        s.dd->QueryInterface(IID_IDirect3D7, &out);
        d3d = static_cast<IDirect3D7*>(out);
        d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device);
        device->SetTexture(0, texture);
    }
    ~QuadDevice()
    {
        device->Release();
        d3d->Release();
        target->Release();
    }
    IDirectDrawSurface7* target = nullptr;
    IDirect3D7* d3d = nullptr;
    IDirect3DDevice7* device = nullptr;
};

void BM_TextureQuadVsMemcpy(benchmark::State& state)
{
    Setup& s = Get();
    IDirectDrawSurface7* texture = s.Surface(640, 480, 32);
    QuadDevice quad(s, 640, 480, texture);
    QuadVertex strip[4] = {{-0.5f, -0.5f, 0, 1, 0, 0}, {639.5f, -0.5f, 0, 1, 1, 0}, {-0.5f, 479.5f, 0, 1, 0, 1},
                           {639.5f, 479.5f, 0, 1, 1, 1}};
    std::vector<uint32_t> from(640 * 480, 0x123456), to(640 * 480);
    bench::Contest(
        state, [&] { quad.device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, strip, 4, D3DDP_WAIT); },
        [&] { std::memcpy(to.data(), from.data(), to.size() * 4); }, 5);
    bench::ReportGoal(state, {.ratio = 0.8});
    texture->Release();
}
BENCHMARK(BM_TextureQuadVsMemcpy)->Iterations(1)->Unit(benchmark::kMillisecond);

// The texture path's frame quad: a 640x480 texture drawn bilinear into 1440x1080, beside pixman's
// bilinear scaling of the same pixels. Arg 0: colours in steps of 16 (as the other contests);
// 1: any 8-bit colours (many pixels then lie exactly halfway between two values).
void BM_BilinearQuadVsPixman(benchmark::State& state)
{
    Setup& s = Get();
    IDirectDrawSurface7* texture = s.Surface(640, 480, 32);
    if (state.range(0) == 1) {
        DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        texture->Lock(nullptr, &locked, 0, nullptr);
        std::mt19937 random(9);
        for (LONG y = 0; y < 480; ++y)
            for (LONG x = 0; x < 640 * 4; ++x)
                static_cast<BYTE*>(locked.lpSurface)[y * locked.lPitch + x] = static_cast<BYTE>(random());
        texture->Unlock(nullptr);
    }
    std::vector<uint32_t> src = Pixels(texture);
    QuadDevice quad(s, 1440, 1080, texture);
    quad.device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    QuadVertex strip[4] = {{-0.5f, -0.5f, 0, 1, 0, 0}, {1439.5f, -0.5f, 0, 1, 1, 0}, {-0.5f, 1079.5f, 0, 1, 0, 1},
                           {1439.5f, 1079.5f, 0, 1, 1, 1}};
    std::vector<uint32_t> dst(1440 * 1080);
    pixman_image_t* in = pixman_image_create_bits(PIXMAN_x8r8g8b8, 640, 480, src.data(), 640 * 4);
    pixman_image_t* to = pixman_image_create_bits(PIXMAN_x8r8g8b8, 1440, 1080, dst.data(), 1440 * 4);
    pixman_transform_t transform;
    pixman_transform_init_scale(&transform, pixman_double_to_fixed(640.0 / 1440), pixman_double_to_fixed(480.0 / 1080));
    pixman_image_set_transform(in, &transform);
    pixman_image_set_filter(in, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(in, PIXMAN_REPEAT_PAD);
    bench::Contest(
        state, [&] { quad.device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, strip, 4, D3DDP_WAIT); },
        [&] { pixman_image_composite32(PIXMAN_OP_SRC, in, nullptr, to, 0, 0, 0, 0, 0, 0, 1440, 1080); }, 5);
    bench::ReportGoal(state, {.ratio = 1.0});
    bench::ReportAllocations(state, [&] {
        quad.device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, strip, 4, D3DDP_WAIT);
    });
    pixman_image_unref(in);
    pixman_image_unref(to);
    texture->Release();
}
BENCHMARK(BM_BilinearQuadVsPixman)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
