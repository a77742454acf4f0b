// The effects against pixman (and memcpy), each contest on the same work (ratio = peer / ours;
// goal printed beside it):
// - weather, 100 / 500 / 2000 particles, one step and the redraw of the shown scene at 800x600
//   and 1920x1080 (the scene recomposes only the tiles the particles left and reached), against
//   pixman's full SRC of the background then OVER of every particle at the same places: goal 1.5;
// - quake at 1920x1080, a step and the redraw, against one pixman_blt of the background where the
//   quake moved it and pixman_fill of the strips it uncovers (frame mode keeps the picture in place
//   and moves a copy, so there the peer blits it unmoved): goal 0.8, frame mode 0.4; the noise
//   frame against a memcpy of the frame: goal 0.8;
// - wipes at 1920x1080: a whole reveal run (kinds 2-7, 14-21, 16 steps) against pixman_blt of the
//   rectangles each step changes (the same 16 frames; one whole-frame blit is shown beside it as
//   one_blt_ms): goal 0.67; one fade step against pixman ADD of a solid colour: goal 1.0.
#include "alloc_count.h"
#include "contest.h"
#include "authoring/effect_data.h"
#include "display/surface_sprite.h"
#include "drawing/sprite.h"
#include "effects/effect_random.h"
#include "effects/effect_rows.h"
#include "effects/layer_noise.h"
#include "effects/weather_effect.h"
#include "effects/wipe_task.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/pixel_library.h"
#include "platform/cpu_info.h"
#include "platform/timer_resolution.h"
#include "raster/fill_ops.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

pixman_image_t* Wrap(CImage& image, pixman_format_code_t format)
{
    return pixman_image_create_bits(format, image.GetWidth(), image.GetHeight(),
                                    reinterpret_cast<uint32_t*>(image.GetBits()), image.GetPitch());
}

// The game folder, loaders, pixel library, registry and generator, once a program.
struct World {
    World()
    {
        IdentifyCpu();
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\bench\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        folder = (std::filesystem::temp_directory_path() / ("tessaro-bench-effects-" + std::to_string(getpid()))).string();
        std::string error;
        if (!effect_data::Write(folder, 3, &error))
            std::abort();
        std::string windows = "Z:" + folder + "\\";
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        SetBaseFolder(windows.c_str());
        g_pFileManager = &files;
        RegisterBuiltinImageLoaders(loaders);
        g_pGllManager = &loaders;
        SeedSubtractiveRandom(state, 99);
        SetEffectRandomSources(&state);
        RegisterRows(registry, HostEffectRows());
        g_pObjectPluginManager = &registry;
    }
    ~World()
    {
        std::error_code code;
        std::filesystem::remove_all(folder, code);
    }
    std::unique_ptr<CPixelLibrary> library;
    std::string folder;
    CFileManager files;
    CGllManager loaders;
    SubtractiveRandomState state{};
    CObjectPluginManager registry;
};

World& TheWorld()
{
    static World* world = new World;
    return *world;
}

// A front and a back canvas with photo-like backgrounds.
struct Canvases {
    Canvases(LONG w, LONG h)
    {
        front.Create(w, h, 32, 1);
        back.Create(w, h, 32, 1);
        front.SetBackCanvas(&back);
        background.Create(w, h, 32, 0);
        for (LONG y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(background.GetBits() + intptr_t(y) * background.GetPitch());
            for (LONG x = 0; x < w; ++x)
                row[x] = 0xFF000000u | uint32_t(x * 7 & 255) << 16 | uint32_t(y * 3 & 255) << 8 | uint32_t((x ^ y) & 255);
        }
        front.GetScene()->SetBackgroundImage(&background, 0, 0, true);
        back.GetScene()->SetBackgroundImage(&background, 0, 0, true);
        front.GetScene()->Redraw(nullptr, nullptr, 0, 0);
    }
    CSurfaceSprite front, back;
    CImage background;
};

void Weather(benchmark::State& state, const char* name, LONG w, LONG h, int count)
{
    TheWorld();
    Canvases canvases(w, h);
    CTimerManager scheduler;
    auto* effect = static_cast<CWeatherEffect*>(TheWorld().registry.CreateRaw(name));
    if (effect->SetUp(&scheduler, &canvases.front, count, 100, 600, 1, nullptr, 1, 0) != 0)
        std::abort();
    uint32_t now = TimerNow() + 80;
    CImage target;
    target.Create(w, h, 32, 0);
    pixman_image_t* bg = Wrap(canvases.background, PIXMAN_x8r8g8b8);
    pixman_image_t* dst = Wrap(target, PIXMAN_x8r8g8b8);
    std::vector<pixman_image_t*> pictures;
    auto pictureOf = [&](CImage* image) {
        for (size_t i = 0; i < pictures.size(); i += 2)
            if (pixman_image_get_data(pictures[i]) == reinterpret_cast<uint32_t*>(image->GetBits()))
                return pictures[i];
        pictures.push_back(Wrap(*image, PIXMAN_a8r8g8b8));
        pictures.push_back(nullptr);
        return pictures[pictures.size() - 2];
    };
    const auto step = [&] {
        scheduler.RunDue(now);
        now += 80;
        canvases.front.GetScene()->Redraw(nullptr, nullptr, 0, 0);
    };
    // The first steps size the scene's lists and tiles and the shared pool of region nodes; later
    // ones allocate nothing.
    for (int i = 0; i < 3; ++i)
        step();
    bench::AllocationTally tally;
    bench::Contest(
        state,
        tally.Wrap(step),
        [&] {
            pixman_image_composite32(PIXMAN_OP_SRC, bg, nullptr, dst, 0, 0, 0, 0, 0, 0, w, h);
            for (const WeatherParticle& p : effect->Particles()) {
                if (!p.alive)
                    continue;
                CDrawable* d = p.drawables[0].get();
                if (d->GetKind() == kDrawableSprite) {
                    auto* sprite = static_cast<CSprite*>(d);
                    const RECT& from = sprite->GetSourceRect();
                    pixman_image_composite32(PIXMAN_OP_OVER, pictureOf(sprite->GetImage()), nullptr, dst, from.left,
                                             from.top, 0, 0, d->GetX(), d->GetY(), from.right - from.left,
                                             from.bottom - from.top);
                } else {
                    pixman_color_t colour{0xA0A0, 0xAAAA, 0xEBEB, static_cast<uint16_t>(d->GetAlpha() * 257)};
                    pixman_image_t* solid = pixman_image_create_solid_fill(&colour);
                    pixman_image_composite32(PIXMAN_OP_OVER, solid, nullptr, dst, 0, 0, 0, 0, d->GetX(), d->GetY(),
                                             d->GetWidth(), d->GetHeight());
                    pixman_image_unref(solid);
                }
            }
        },
        5);
    bench::ReportGoal(state, {.ratio = 1.5});
    tally.Report(state, 0);
    for (size_t i = 0; i < pictures.size(); i += 2)
        pixman_image_unref(pictures[i]);
    pixman_image_unref(bg);
    pixman_image_unref(dst);
    scheduler.CancelAll();
}

void Quake(benchmark::State& state, int frameMode)
{
    TheWorld();
    const LONG w = 1920, h = 1080;
    Canvases canvases(w, h);
    CTimerManager scheduler;
    auto* quake = static_cast<CLayerEffect*>(TheWorld().registry.CreateRaw("quake"));
    if (quake->SetUp(&scheduler, &canvases.front, 0, 16, 16, 0, nullptr, frameMode, 1, 0, 0) != 0)
        std::abort();
    uint32_t now = TimerNow();
    CImage target;
    target.Create(w, h, 32, 0);
    bench::AllocationTally tally;
    bench::Contest(
        state,
        tally.Wrap([&] {
            scheduler.RunDue(now += 16);
            canvases.front.GetScene()->Redraw(nullptr, nullptr, 0, 0);
        }),
        [&] {
            // The same picture: the background where the quake has moved it (screen pixel p shows
            // background pixel p + position), the scene's colour where it uncovers.
            CScene& scene = *canvases.front.GetScene();
            CSurface* picture = nullptr;
            LONG bx = 0, by = 0;
            scene.GetBackground(&picture, &bx, &by, nullptr, nullptr, nullptr);
            const LONG left = std::max<LONG>(0, -bx), top = std::max<LONG>(0, -by);
            const LONG right = std::min<LONG>(w, w - bx), bottom = std::min<LONG>(h, h - by);
            auto* to = reinterpret_cast<uint32_t*>(target.GetBits());
            const int toStride = target.GetPitch() / 4;
            pixman_blt(reinterpret_cast<uint32_t*>(canvases.background.GetBits()), to,
                       canvases.background.GetPitch() / 4, toStride, 32, 32, left + bx, top + by, left, top,
                       right - left, bottom - top);
            const uint32_t colour = scene.GetBackgroundColor();
            const RECT strips[4] = {{0, 0, w, top}, {0, bottom, w, h}, {0, top, left, bottom}, {right, top, w, bottom}};
            for (const RECT& r : strips)
                if (r.left < r.right && r.top < r.bottom)
                    pixman_fill(to, toStride, 32, r.left, r.top, r.right - r.left, r.bottom - r.top, colour);
        });
    bench::ReportGoal(state, {.ratio = frameMode ? 0.4 : 0.8});
    tally.Report(state, 0);
    if (!frameMode) {
        // Both sides show the same colours after the last pair of calls.
        int differing = 0;
        for (LONG y = 0; y < h; ++y) {
            const auto* ours = reinterpret_cast<const uint32_t*>(canvases.front.GetBits() + intptr_t(y) * canvases.front.GetPitch());
            const auto* peer = reinterpret_cast<const uint32_t*>(target.GetBits() + intptr_t(y) * target.GetPitch());
            for (LONG x = 0; x < w; ++x)
                differing += ((ours[x] ^ peer[x]) & 0xFFFFFFu) != 0;
        }
        state.counters["pixels_differing"] = differing;
        bench::ReportCeiling(state, "pixels_differing", 0);
    }
    scheduler.CancelAll();
}

void NoiseFrame(benchmark::State& state)
{
    TheWorld();
    CImage noise, frame, copy;
    noise.Load("SYS\\NOISE.ELG", nullptr, 0, 0);
    frame.Create(1920, 1080, 32, 0);
    copy.Create(1920, 1080, 32, 0);
    uint64_t r = 12345;
    const size_t bytes = size_t(frame.GetPitch()) * frame.GetHeight();
    bench::Contest(
        state, [&] { CopyNoiseFrame(noise, frame, r += 7919); },
        [&] { std::memcpy(copy.GetBits(), frame.GetBits(), bytes); });
    bench::ReportGoal(state, {.ratio = 0.8});
}

// The rectangles each step of a wipe run changes, found by comparing the destination before and
// after the step: runs of changed pixels in a row, joined downwards while the next row has the
// same run.
std::vector<std::vector<RECT>> StepRectangles(int kind, CImage& dst, CImage& src, const int32_t words[8])
{
    CTimerManager scheduler;
    CWipeRunner runner{&scheduler};
    const LONG w = dst.GetWidth(), h = dst.GetHeight();
    dst.FillRect32(0, nullptr);
    CImage before;
    before.Create(w, h, 32, 0);
    std::vector<std::vector<RECT>> steps;
    CWipeTask* task = StartWipeTask(&runner, kind, 160, &dst, &src, words);
    const uint32_t start = task->GetStartTime();
    for (uint32_t e = 10; e <= 160; e += 10) {
        std::memcpy(before.GetBits(), dst.GetBits(), size_t(dst.GetPitch()) * h);
        scheduler.RunDue(start + e);
        std::vector<RECT> done, open;
        for (LONG y = 0; y <= h; ++y) {
            std::vector<RECT> next;
            const auto* now = reinterpret_cast<const uint32_t*>(dst.GetBits() + intptr_t(y) * dst.GetPitch());
            const auto* was = reinterpret_cast<const uint32_t*>(before.GetBits() + intptr_t(y) * before.GetPitch());
            for (LONG x = 0; y < h && x < w;) {
                if (now[x] == was[x]) {
                    ++x;
                    continue;
                }
                LONG end = x;
                while (end < w && now[end] != was[end])
                    ++end;
                RECT run{x, y, end, y + 1};
                for (RECT& r : open)
                    if (r.left == x && r.right == end) {
                        run.top = r.top;
                        r.left = r.right; // taken
                    }
                next.push_back(run);
                x = end;
            }
            for (const RECT& r : open)
                if (r.left < r.right)
                    done.push_back(r);
            open = std::move(next);
        }
        steps.push_back(std::move(done));
    }
    return steps;
}

void WipeRun(benchmark::State& state, int kind)
{
    const LONG w = 1920, h = 1080;
    CImage src, dst;
    src.Create(w, h, 32, 0);
    dst.Create(w, h, 32, 0);
    src.FillRect32(0xFF336699u, nullptr);
    CTimerManager scheduler;
    CWipeRunner runner{&scheduler};
    const int32_t words[8] = {0, 0, 0, 65535, 0, 0, 0, 0};
    // The peer shows the same 16 frames: at each step it blits exactly the pixels ours changes.
    const std::vector<std::vector<RECT>> steps = StepRectangles(kind, dst, src, words);
    auto* from = reinterpret_cast<uint32_t*>(src.GetBits());
    auto* to = reinterpret_cast<uint32_t*>(dst.GetBits());
    const int fromStride = src.GetPitch() / 4, toStride = dst.GetPitch() / 4;
    // A run allocates its task and the list its steps gather their pieces in, once a wipe.
    bench::AllocationTally tally;
    bench::Contest(
        state,
        tally.Wrap([&] {
            CWipeTask* task = StartWipeTask(&runner, kind, 160, &dst, &src, words);
            const uint32_t start = task->GetStartTime();
            for (uint32_t e = 10; e <= 160; e += 10)
                scheduler.RunDue(start + e);
        }),
        [&] {
            for (const std::vector<RECT>& step : steps)
                for (const RECT& r : step)
                    pixman_blt(from, to, fromStride, toStride, 32, 32, r.left, r.top, r.left, r.top, r.right - r.left,
                               r.bottom - r.top);
        });
    bench::ReportGoal(state, {.ratio = 0.67});
    tally.Report(state);
    // For comparison: one blit of the whole frame, which shows only the last of the 16 frames.
    std::vector<double> times;
    for (int i = 0; i < 15; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        pixman_blt(from, to, fromStride, toStride, 32, 32, 0, 0, 0, 0, w, h);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
    }
    state.counters["one_blt_ms"] = bench::MedianMs(times);
}

void FadeStep(benchmark::State& state)
{
    // The CPU facts pick the kernels, as in the game; run alone the entry had none.
    TheWorld();
    const LONG w = 1920, h = 1080;
    CImage dst;
    dst.Create(w, h, 32, 0);
    dst.FillRect32(0xFF808080u, nullptr);
    pixman_image_t* target = Wrap(dst, PIXMAN_x8r8g8b8);
    pixman_color_t colour{0x0101, 0x0101, 0x0101, 0xFFFF};
    pixman_image_t* solid = pixman_image_create_solid_fill(&colour);
    const RECT all{0, 0, w, h};
    // One step of a fade to white: the colour added over the rectangle.
    bench::Contest(
        state, [&] { AddColor(dst, 1, 1, 1, &all); },
        [&] { pixman_image_composite32(PIXMAN_OP_ADD, solid, nullptr, target, 0, 0, 0, 0, 0, 0, w, h); });
    bench::ReportGoal(state, {.ratio = 1.0});
    pixman_image_unref(solid);
    pixman_image_unref(target);
}

} // namespace

BENCHMARK_CAPTURE(Weather, snow_100_800x600, "snow", 800, 600, 100)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Weather, snow_500_800x600, "snow", 800, 600, 500)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Weather, snow_2000_800x600, "snow", 800, 600, 2000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Weather, paper_100_1920x1080, "paper", 1920, 1080, 100)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Weather, paper_500_1920x1080, "paper", 1920, 1080, 500)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Weather, light_2000_1920x1080, "light", 1920, 1080, 2000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Weather, rain_500_1920x1080, "rain", 1920, 1080, 500)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Quake, normal_1920x1080, 0)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Quake, frame_mode_1920x1080, 1)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(NoiseFrame)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind2, 2)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind3, 3)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind4, 4)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind5, 5)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind6, 6)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind7, 7)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind14, 14)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind15, 15)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind16, 16)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind17, 17)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind18, 18)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind19, 19)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind20, 20)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(WipeRun, kind21, 21)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FadeStep)->Unit(benchmark::kMillisecond)->Iterations(1);
