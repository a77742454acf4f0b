// Drawing natives driven from SOB against their peers. (a) 100 alpha blits (native 337) of 256 x
// 256 soft-alpha pictures into a 1280 x 720 image, one SOB pass, against pixman_image_composite32
// OVER of the same pictures premultiplied (goal ratio >= 1.5) and against CImage::BlendAlpha
// called from C++ at the same places (within 5 %: ratio >= 1 / 1.05). (b) An 800 x 600 scene of
// 100 sprites, each moved by native 441 and the scene redrawn by native 428, one SOB pass, against
// the same MoveBy and CScene::Redraw calls from C++ (within 5 %). Counters: ours_ms, peer_ms,
// ratio (peer time / our time), goal.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "authoring/sob_assembler.h"
#include "contest.h"
#include "pixel_library_guard.h"
#include "display/display_objects.h"
#include "display/screen.h"
#include "display/surface_sprite.h"
#include "drawing/draw_list.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "files/pixel_library.h"
#include "natives/script_host.h"
#include "platform/cpu_info.h"
#include "raster/image.h"

namespace {

using bench::Contest;

using bench::PixelLibrary;

// The screen the natives create and find surfaces on, published as g_pDisplay.
struct Display {
    Display()
    {
        saved = g_pDisplay;
        g_pDisplay = &screen;
    }
    ~Display() { g_pDisplay = saved; }
    CScreen screen;
    CScreen* saved = nullptr;
};

// A SOB module of the given lines placed once in the host's memory and run on each call.
struct SobPass {
    CScriptHost& host;
    SobAssembly assembly;
    uint32_t code = 0;
    SobPass(CScriptHost& h, const std::string& source) : host(h)
    {
        std::vector<std::string> errors;
        if (!AssembleSob(source, "bench", &assembly, &errors))
            std::fprintf(stderr, "%s\n", errors.empty() ? "assembly failed" : errors[0].c_str());
        code = host.Memory().Allocate(static_cast<uint32_t>(assembly.cells.size() * 4));
        std::string error;
        PlaceSob(assembly, host.Memory(), code, &error);
    }
    void Run() { host.Machine().Call(code); }
};

constexpr int kBlits = 100;
constexpr int kSide = 256;

// A picture whose alpha runs softly over its area (every level from clear to opaque).
void SoftAlpha(CImage& image, uint32_t seed)
{
    std::mt19937 rng(seed);
    for (LONG y = 0; y < kSide; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.GetBits() + static_cast<size_t>(y) * image.GetPitch());
        for (LONG x = 0; x < kSide; ++x) {
            const uint32_t a = static_cast<uint32_t>((x + y) * 255 / (2 * kSide - 2));
            row[x] = a << 24 | (rng() & 0xFFFFFF);
        }
    }
    image.SetAlphaFlag(true);
}

struct BlitWork {
    PixelLibrary pixels;
    Display display;
    CScriptHost host{16u << 20};
    CImage* target = nullptr;
    CImage* sources[4] = {};
    std::vector<std::pair<LONG, LONG>> places;
    std::unique_ptr<SobPass> pass;
    BlitWork()
    {
        g_bUseMmx = 1;
        display.screen.CreateImage(&target, 1280, 720, 32, 0);
        for (int i = 0; i < 4; ++i) {
            display.screen.CreateImage(&sources[i], kSide, kSide, 32, 0);
            SoftAlpha(*sources[i], static_cast<uint32_t>(i + 1));
        }
        const uint32_t dst = host.ObjectHandle(target);
        std::string code, data;
        for (int i = 0; i < kBlits; ++i) {
            const LONG x = (i * 97) % (1280 - kSide), y = (i * 53) % (720 - kSide);
            places.emplace_back(x, y);
            const std::string label = std::string("a").append(std::to_string(i));
            code += "       ncall native 337, " + label + ", r\n";
            data += label + ": .word " + std::to_string(dst) + ", " + std::to_string(host.ObjectHandle(sources[i % 4])) +
                    ", " + std::to_string(x) + ", " + std::to_string(y) + ", 65535, 0, 0, 0\n";
        }
        pass = std::make_unique<SobPass>(host, code + "       ret\nr: .word 0\n" + data);
    }
    void Cpp()
    {
        for (int i = 0; i < kBlits; ++i)
            target->BlendAlpha(sources[i % 4], places[i].first, places[i].second, nullptr, false);
    }
};

void AlphaBlitsFromSobVsPixman(benchmark::State& state)
{
    BlitWork work;
    // pixman's OVER takes premultiplied pixels: the same pictures, premultiplied once.
    std::vector<std::vector<uint32_t>> premultiplied(4);
    std::vector<pixman_image_t*> peerSources;
    for (int i = 0; i < 4; ++i) {
        premultiplied[i].resize(static_cast<size_t>(kSide) * kSide);
        for (LONG y = 0; y < kSide; ++y)
            for (LONG x = 0; x < kSide; ++x) {
                const uint32_t p = static_cast<uint32_t>(work.sources[i]->GetPixel(x, y)), a = p >> 24;
                auto scale = [&](int shift) { return ((p >> shift & 255) * a + 127) / 255 << shift; };
                premultiplied[i][static_cast<size_t>(y) * kSide + x] = a << 24 | scale(16) | scale(8) | scale(0);
            }
        peerSources.push_back(
            pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, premultiplied[i].data(), kSide * 4));
    }
    std::vector<uint32_t> canvas(1280u * 720u, 0xFF204060u);
    pixman_image_t* peerTarget = pixman_image_create_bits(PIXMAN_x8r8g8b8, 1280, 720, canvas.data(), 1280 * 4);
    Contest(
        state, [&] { work.pass->Run(); },
        [&] {
            for (int i = 0; i < kBlits; ++i)
                pixman_image_composite32(PIXMAN_OP_OVER, peerSources[i % 4], nullptr, peerTarget, 0, 0, 0, 0,
                                         work.places[i].first, work.places[i].second, kSide, kSide);
        });
    for (pixman_image_t* s : peerSources)
        pixman_image_unref(s);
    pixman_image_unref(peerTarget);
    bench::ReportGoal(state, {.ratio = 1.5});
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
}
BENCHMARK(AlphaBlitsFromSobVsPixman)->Iterations(1)->Unit(benchmark::kMillisecond);

void AlphaBlitsFromSobVsCpp(benchmark::State& state)
{
    BlitWork work;
    Contest(state, [&] { work.pass->Run(); }, [&] { work.Cpp(); });
    bench::ReportGoal(state, {.ratio = 1 / 1.05});
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
}
BENCHMARK(AlphaBlitsFromSobVsCpp)->Iterations(1)->Unit(benchmark::kMillisecond);

void SceneMovesFromSobVsCpp(benchmark::State& state)
{
    g_bUseMmx = 1;
    PixelLibrary pixels;
    Display display;
    CScriptHost host{16u << 20};
    CSurfaceSprite* canvas = nullptr;
    display.screen.CreateSurfaceSprite(&canvas, 800, 600, 32, 1);
    CScene* scene = GetSurfaceScene(canvas);
    CImage* pictures[4] = {};
    for (int i = 0; i < 4; ++i) {
        display.screen.CreateImage(&pictures[i], 64, 64, 32, 0);
        std::mt19937 rng(static_cast<uint32_t>(i + 7));
        for (LONG y = 0; y < 64; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(pictures[i]->GetBits() + static_cast<size_t>(y) * pictures[i]->GetPitch());
            for (LONG x = 0; x < 64; ++x)
                row[x] = static_cast<uint32_t>((x * 4) & 255) << 24 | (rng() & 0xFFFFFF);
        }
        pictures[i]->SetAlphaFlag(true);
    }
    std::vector<CSprite*> sprites;
    std::string code, data;
    for (int i = 0; i < kBlits; ++i) {
        CSprite* sprite = nullptr;
        display.screen.CreateSprite(&sprite, pictures[i % 4], nullptr, (i * 71) % 720, (i * 43) % 520);
        scene->GetList().Insert(sprite, i, 0);
        sprites.push_back(sprite);
        const std::string label = std::string("m").append(std::to_string(i));
        code += "       ncall native 441, " + label + ", r\n";
        data += label + ": .word " + std::to_string(host.ObjectHandle(sprite)) + ", 1, 1\n";
    }
    code += "       ncall native 428, redraw, r\n";
    data += "redraw: .word " + std::to_string(host.ObjectHandle(static_cast<CSurface*>(canvas))) + "\n";
    SobPass pass(host, code + "       ret\nr: .word 0\n" + data);
    scene->Redraw(nullptr, nullptr, 0, 0);
    // The C++ side moves them back, so both sides redraw the same moves.
    Contest(
        state, [&] { pass.Run(); },
        [&] {
            for (CSprite* sprite : sprites)
                sprite->MoveBy(-1, -1);
            scene->Redraw(nullptr, nullptr, 0, 0);
        });
    bench::ReportGoal(state, {.ratio = 1 / 1.05});
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
}
BENCHMARK(SceneMovesFromSobVsCpp)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
