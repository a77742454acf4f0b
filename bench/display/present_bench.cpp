// Presenting a 1920x1080 frame image on the SDL host (offscreen driver, the host's software
// renderer into memory) with 1, 10 and 100 changed rectangles of 160x120: ours is
// CSurfaceSprite::Present of a plain frame image whose tracker holds the rectangles, through the
// window's store, until the host shows it (without a screen the host draws the store into the
// window's canvas itself, no texture between); the peer is one full-frame SDL_UpdateTexture of the
// same picture into a streaming texture of the same renderer, drawn as the host would draw a
// texture. Both sides show the picture scaled into a small output (each run checks that they show
// the same pixels); the peer's SDL_RenderCopy + SDL_RenderPresent is measured on its own, printed
// as render_ms and taken out of both.
// `allocs` counts the allocations of one present of ours (none are wanted a frame).
#include "alloc_count.h"
#include "contest.h"
#include "display/surface_sprite.h"
#include "winapi/host.h"
#include "winapi/sdl_testing.h"
#include "winapi/user.h"

#include <SDL.h>

#include <cstdlib>
#include <random>

namespace {

constexpr int kW = 1920, kH = 1080;

struct Setup {
    Setup()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        auto host = winapi::MakeSdlHost();
        if (!host)
            return;
        winapi::SetHost(std::move(host));
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "PresentBench";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "PresentBench", "bench", WS_POPUP | WS_VISIBLE, 0, 0, kW, kH, nullptr, nullptr,
                                 nullptr, nullptr);
        Pump();
        canvas.Create(kW, kH, 32, 0);
        std::mt19937 random(5);
        for (LONG y = 0; y < kH; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(canvas.GetImage()->GetRowAddress(y));
            for (LONG x = 0; x < kW; ++x)
                row[x] = random();
        }
        // The output is made small, so that drawing the texture (which both sides pay) costs
        // little next to the uploads measured; the texture keeps the client size.
        if (SDL_Window* sdl = SDL_GetWindowFromID(winapi::sdl_testing::SdlWindowId(window)))
            SDL_SetWindowSize(sdl, kW / 20, kH / 20);
        Pump();
        canvas.Present(window, nullptr, nullptr, 0, false); // the host's renderer and texture exist
        Pump();
        renderer = static_cast<SDL_Renderer*>(winapi::sdl_testing::Renderer(window));
        // The peer's texture is drawn as the host draws its own (smoothed).
        if (renderer)
            texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kW, kH);
        if (texture)
            SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
    }
    static void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    HWND window = nullptr;
    CSurfaceSprite canvas;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
};

Setup& Shared()
{
    static Setup* setup = new Setup();
    return *setup;
}

void BM_PresentDirtyRects(benchmark::State& state)
{
    Setup& s = Shared();
    if (!s.window || !s.texture) {
        state.SkipWithError("SDL offscreen driver or renderer not available");
        return;
    }
    const int count = static_cast<int>(state.range(0));
    std::vector<RECT> rects;
    for (int i = 0; i < count; ++i) {
        const LONG x = (i * 173) % (kW - 160), y = (i * 97) % (kH - 120);
        rects.push_back(RECT{x, y, x + 160, y + 120});
    }
    auto render = [&] {
        SDL_RenderClear(s.renderer);
        SDL_RenderCopy(s.renderer, s.texture, nullptr, nullptr);
        SDL_RenderPresent(s.renderer);
    };
    auto ours = [&] {
        for (const RECT& r : rects)
            s.canvas.InvalidateRect(&r);
        s.canvas.Present(s.window, nullptr, nullptr, 0, true); // ReleaseDC ends the batch: presented
    };
    auto peer = [&] {
        SDL_UpdateTexture(s.texture, nullptr, s.canvas.GetImage()->GetBits(), s.canvas.GetImage()->GetPitch());
        render();
    };
    // What each side leaves on the output, read back once: the same picture is shown.
    auto shown = [&] {
        int w = 0, h = 0;
        SDL_GetRendererOutputSize(s.renderer, &w, &h);
        std::vector<uint32_t> pixels(static_cast<size_t>(std::max(w, 0)) * std::max(h, 0));
        if (!pixels.empty())
            SDL_RenderReadPixels(s.renderer, nullptr, SDL_PIXELFORMAT_XRGB8888, pixels.data(), w * 4);
        for (uint32_t& p : pixels)
            p &= 0xFFFFFF;
        return pixels;
    };
    ours();
    const std::vector<uint32_t> oursShown = shown();
    peer();
    if (oursShown.empty() || oursShown != shown()) {
        state.SkipWithError("the two sides do not show the same pixels");
        return;
    }
    // Each round times ours, the peer and the render alone back to back; the render is taken out
    // of each side within its round, so that the machine's drift between rounds cancels.
    auto time = [](const std::function<void()>& work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    std::vector<double> ourTimes, peerTimes, renderTimes;
    for (auto _ : state) {
        for (int i = 0; i < 101; ++i) {
            const double o = time(ours), r1 = time(render), p = time(peer), r2 = time(render);
            const double r = (r1 + r2) / 2;
            ourTimes.push_back(o - r);
            peerTimes.push_back(p - r);
            renderTimes.push_back(r);
        }
    }
    constexpr int kCounted = 20;
    const uint64_t before = bench::AllocationCount();
    for (int i = 0; i < kCounted; ++i)
        ours();
    state.counters["allocs"] = static_cast<double>(bench::AllocationCount() - before) / kCounted;
    const double o = std::max(bench::MedianMs(ourTimes), 1e-3);
    const double p = std::max(bench::MedianMs(peerTimes), 1e-3);
    state.counters["ours_ms"] = o;
    state.counters["peer_ms"] = p;
    state.counters["render_ms"] = bench::MedianMs(renderTimes);
    state.counters["ratio"] = p / o;
    // Ten rectangles at least 3x the full upload (one the same); a hundred never slower than it.
    bench::ReportGoal(state, {.ratio = count <= 10 ? 3.0 : 1.0});
}
BENCHMARK(BM_PresentDirtyRects)->Arg(1)->Arg(10)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
