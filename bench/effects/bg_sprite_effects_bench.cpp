// The background and sprite effects against pixman and bare loops, each contest on the same work
// (ratio = peer / ours; goal printed beside it):
// - bg_rast, bg_haze and bg_loop, one step at 800x600 and 1920x1080, against one full-frame
//   pixman_blt; bg_cross's step against a pixman OVER of the second picture with a solid mask:
//   goal 0.67;
// - bg_blur at level 255 (turning and zooming) against pixman's bilinear affine transform, bg_zoom
//   (a step and the smoothed redraw that scales) against pixman's bilinear scaled SRC, sp_cfade's
//   blended step (two 400x600 pictures overlapping by half) against pixman SRC + OVER with a solid
//   mask over the union: goal 1.0;
// - bg_anime's frame step against CImage::LoadFileAt of the same bytes: goal 0.91 (10 % overhead);
// - sp_fade with 200 moving entries, one step, against a bare loop computing the same alphas and
//   positions: goal 0.33 (within 3x).
#include "authoring/elg_encoder.h"
#include "authoring/image_group_writer.h"
#include "authoring/sample_pictures.h"
#include "alloc_count.h"
#include "contest.h"
#include "display/surface_sprite.h"
#include "drawing/kad_file.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/bg_anime.h"
#include "effects/effect_rows.h"
#include "effects/sp_cfade.h"
#include "effects/sp_fade.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/pixel_library.h"
#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "platform/timer_resolution.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

struct World {
    World()
    {
        IdentifyCpu();
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\bench\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        folder = (std::filesystem::temp_directory_path() / ("tessaro-bench-bg-" + std::to_string(getpid())))
                     .string();
        std::filesystem::create_directories(folder);
        windows = "Z:" + folder;
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        SetBaseFolder((windows + "\\").c_str());
        g_pFileManager = &files;
        RegisterBuiltinImageLoaders(loaders);
        g_pGllManager = &loaders;
        RegisterRows(registry, HostEffectRows());
        RegisterRows(registry, GameEffectRows());
        g_pObjectPluginManager = &registry;
        g_pCosTable = &cosines;
    }
    ~World()
    {
        std::error_code code;
        std::filesystem::remove_all(folder, code);
    }
    std::unique_ptr<CPixelLibrary> library;
    std::string folder, windows;
    CFileManager files;
    CGllManager loaders;
    CObjectPluginManager registry;
    CCosTable cosines;
};

World& TheWorld()
{
    static World* world = new World;
    return *world;
}

void Photo(CImage& image, LONG w, LONG h, uint32_t seed)
{
    image.Create(w, h, 32, 0);
    const std::vector<uint32_t> pixels = samples::PhotoLike(w, h, seed);
    for (LONG y = 0; y < h; ++y)
        std::memcpy(image.GetBits() + intptr_t(y) * image.GetPitch(), &pixels[size_t(y) * w], size_t(w) * 4);
}

struct Canvases {
    Canvases(LONG w, LONG h)
    {
        front.Create(w, h, 32, 1);
        back.Create(w, h, 32, 1);
        front.SetBackCanvas(&back);
        Photo(background, w, h, 1);
        Photo(backBackground, w, h, 2);
        front.GetScene()->SetBackgroundImage(&background, 0, 0, true);
        back.GetScene()->SetBackgroundImage(&backBackground, 0, 0, true);
    }
    CSurfaceSprite front, back;
    CImage background, backBackground;
};

CLayerEffect* Make(const char* name, CTimerManager& scheduler, CImageObject* target, const CEffectArgs& args)
{
    auto* effect = dynamic_cast<CLayerEffect*>(TheWorld().registry.CreateRaw(name));
    if (effect == nullptr || effect->SetUpV(&scheduler, target, args) != 0)
        std::abort();
    return effect;
}

void Blt(CImage& from, CImage& to)
{
    pixman_blt(reinterpret_cast<uint32_t*>(from.GetBits()), reinterpret_cast<uint32_t*>(to.GetBits()),
               from.GetPitch() / 4, to.GetPitch() / 4, 32, 32, 0, 0, 0, 0, to.GetWidth(), to.GetHeight());
}

// One step of a background effect against one full-frame copy.
void BgStep(benchmark::State& state, const char* name, LONG w, LONG h)
{
    TheWorld();
    Canvases canvases(w, h);
    CTimerManager scheduler;
    CEffectArgs args;
    if (std::string(name) == "bg_rast")
        args = CEffectArgs::Of(24, 96, 1000, 0, 1, 1, 0, 0);
    else if (std::string(name) == "bg_haze")
        args = CEffectArgs::Of("(1,0,10)(3,40,6)", 256, 1000, 0, 1, 1, 0, 0);
    else if (std::string(name) == "bg_loop")
        args = CEffectArgs::Of(0, 997, 0, 0);
    else
        args = CEffectArgs::Of(997, 0, 0, 0, 0); // bg_cross
    Make(name, scheduler, &canvases.front, args);
    uint32_t now = TimerNow();
    scheduler.RunDue(now);
    CImage target;
    target.Create(w, h, 32, 0);
    pixman_image_t* second = Wrap(canvases.backBackground, PIXMAN_a8r8g8b8);
    pixman_image_t* dst = Wrap(target, PIXMAN_a8r8g8b8);
    pixman_color_t grey{0x8000, 0x8000, 0x8000, 0x8000};
    pixman_image_t* mask = pixman_image_create_solid_fill(&grey);
    const bool cross = std::string(name) == "bg_cross";
    Blt(canvases.background, target);
    bench::Contest(
        state, [&] { scheduler.RunDue(now += 17); },
        [&] {
            if (cross)
                pixman_image_composite32(PIXMAN_OP_OVER, second, mask, dst, 0, 0, 0, 0, 0, 0, w, h);
            else
                Blt(canvases.background, target);
        });
    bench::ReportGoal(state, {.ratio = 0.67});
    pixman_image_unref(second);
    pixman_image_unref(dst);
    pixman_image_unref(mask);
    scheduler.CancelAll();
}

// bg_blur at level 255, turning and zooming on every step, against pixman's bilinear affine.
void BgBlur(benchmark::State& state)
{
    TheWorld();
    const LONG w = 800, h = 600;
    Canvases canvases(w, h);
    CTimerManager scheduler;
    Make(
        "bg_blur", scheduler, &canvases.front,
        CEffectArgs::Of(0, 400, 300, "1.0", "0.0", "2.0", "1.0", 1000000, 255, nullptr, 0, 0, 0, 0, 0, 0, 0));
    uint32_t now = TimerNow();
    scheduler.RunDue(now);
    CImage target;
    target.Create(w, h, 32, 0);
    pixman_image_t* src = Wrap(canvases.background, PIXMAN_a8r8g8b8);
    pixman_image_t* dst = Wrap(target, PIXMAN_a8r8g8b8);
    pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    double angle = 0.1;
    bench::Contest(
        state, [&] { scheduler.RunDue(now += 997); },
        [&] {
            pixman_transform_t t;
            const double c = std::cos(angle) / 1.3, s = std::sin(angle) / 1.3;
            angle += 0.01;
            pixman_transform_init_identity(&t);
            t.matrix[0][0] = pixman_double_to_fixed(c);
            t.matrix[0][1] = pixman_double_to_fixed(-s);
            t.matrix[1][0] = pixman_double_to_fixed(s);
            t.matrix[1][1] = pixman_double_to_fixed(c);
            pixman_image_set_transform(src, &t);
            pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, w, h);
        });
    bench::ReportGoal(state, {.ratio = 1.0});
    pixman_image_unref(src);
    pixman_image_unref(dst);
    scheduler.CancelAll();
}

// bg_zoom: a step and the redraw that scales the view, against pixman's bilinear scaled SRC.
void BgZoom(benchmark::State& state)
{
    TheWorld();
    const LONG w = 800, h = 600;
    Canvases canvases(w, h);
    CTimerManager scheduler;
    Make("bg_zoom", scheduler, &canvases.front, CEffectArgs::Of(400, 300, "2.0", nullptr, 100000));
    uint32_t now = TimerNow();
    scheduler.RunDue(now);
    CImage target;
    target.Create(w, h, 32, 0);
    pixman_image_t* src = Wrap(canvases.background, PIXMAN_x8r8g8b8);
    pixman_image_t* dst = Wrap(target, PIXMAN_x8r8g8b8);
    // The scene smooths the zoomed background as bg_blur's does (pixman would pick nearest).
    pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    double zoom = 1.3;
    const auto step = [&] {
        scheduler.RunDue(now += 997); // the view changes on every step
        canvases.front.GetScene()->Redraw(nullptr, nullptr, 0, 0);
    };
    step(); // the first view makes the scene's work picture, once an effect
    bench::AllocationTally tally;
    bench::Contest(
        state,
        tally.Wrap(step),
        [&] {
            pixman_transform_t t;
            zoom += 0.0001;
            pixman_transform_init_scale(&t, pixman_double_to_fixed(1.0 / zoom),
                                        pixman_double_to_fixed(1.0 / zoom));
            pixman_image_set_transform(src, &t);
            pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, w, h);
        });
    bench::ReportGoal(state, {.ratio = 1.0});
    tally.Report(state, 0);
    pixman_image_unref(src);
    pixman_image_unref(dst);
    scheduler.CancelAll();
}

// sp_cfade's blended step: two 400x600 pictures overlapping by half.
void SpCfadeBlend(benchmark::State& state)
{
    TheWorld();
    Canvases canvases(800, 600);
    CTimerManager scheduler;
    // The old sprite and its picture go to the effect, as the scenario engine hands them over.
    auto* oldPicture = new CImage;
    CImage newPicture;
    Photo(*oldPicture, 400, 600, 3);
    Photo(newPicture, 400, 600, 4);
    auto* old = new CSprite;
    old->SetImage(oldPicture, nullptr, 0, 0);
    canvases.front.GetScene()->GetList().Insert(old, 0, 0);
    CSprite fresh;
    fresh.SetImage(&newPicture, nullptr, 200, 0);
    canvases.front.GetScene()->GetList().Insert(&fresh, 0, 0);
    auto* effect = static_cast<CSpCfadeEffect*>(Make(
        "sp_cfade", scheduler, &canvases.front,
        CEffectArgs::Of(static_cast<CDrawable*>(&fresh), static_cast<CDrawable*>(old), 0, 255000000, 0)));
    if (!effect->IsBlended())
        std::abort();
    uint32_t start = TimerNow();
    effect->Step(start);
    CImage work;
    work.Create(600, 600, 32, 0);
    pixman_image_t* a = Wrap(*oldPicture, PIXMAN_a8r8g8b8);
    pixman_image_t* b = Wrap(newPicture, PIXMAN_a8r8g8b8);
    pixman_image_t* dst = Wrap(work, PIXMAN_a8r8g8b8);
    pixman_color_t half{0x8000, 0x8000, 0x8000, 0x8000};
    pixman_image_t* mask = pixman_image_create_solid_fill(&half);
    uint32_t k = 1;
    bench::AllocationTally tally;
    bench::Contest(
        state, tally.Wrap([&] { effect->Step(start + (k = k % 250 + 1) * 1000000); }),
        [&] {
            pixman_image_composite32(PIXMAN_OP_SRC, a, nullptr, dst, 0, 0, 0, 0, 0, 0, 400, 600);
            pixman_image_composite32(PIXMAN_OP_OVER, b, mask, dst, 0, 0, 0, 0, 200, 0, 400, 600);
        });
    bench::ReportGoal(state, {.ratio = 1.0});
    tally.Report(state, 0);
    pixman_image_unref(a);
    pixman_image_unref(b);
    pixman_image_unref(dst);
    pixman_image_unref(mask);
    scheduler.CancelAll();
    canvases.front.GetScene()->GetList().Remove(&fresh);
}

// bg_anime: a step that shows the next 800x600 frame, against decoding the same bytes.
void BgAnimeFrame(benchmark::State& state)
{
    World& world = TheWorld();
    std::vector<uint8_t> frames[2];
    for (int k = 0; k < 2; ++k) {
        elg::Picture picture;
        std::string error;
        const std::vector<uint32_t> pixels = samples::PhotoLike(800, 600, 10 + k);
        if (!elg::PictureFromPixels(800, 600, pixels.data(), 32, picture, &error) ||
            !elg::Encode(picture, elg::Options{}, frames[k], &error))
            std::abort();
        std::ofstream(world.folder + "/A" + std::to_string(k) + ".ELG", std::ios::binary)
            .write(reinterpret_cast<const char*>(frames[k].data()), std::streamsize(frames[k].size()));
    }
    std::vector<uint8_t> kadBytes;
    std::string error;
    if (!image_groups::BuildKad("header 800 600 0 1\nrecord 0 0 A0.ELG\nrecord 0 0 A1.ELG\n"
                                "entry 0 10 0 0 0\nentry 1 10 0 0 0\n",
                                kadBytes, &error))
        std::abort();
    CKadFile kad;
    if (kad.LoadFromMemory(kadBytes.data(), uint32_t(kadBytes.size())) != 0)
        std::abort();
    Canvases canvases(800, 600);
    CTimerManager scheduler;
    Make("bg_anime", scheduler, &canvases.front,
         CEffectArgs::Of(static_cast<CGroupFile*>(&kad), world.windows.c_str(), 0, 0, 1, 1));
    uint32_t now = TimerNow();
    scheduler.RunDue(now);
    CImage peer;
    peer.Create(800, 600, 32, 0);
    int which = 0;
    bench::Contest(
        state, [&] { scheduler.RunDue(now += 10); },
        [&] {
            which ^= 1;
            peer.LoadFileAt(nullptr, frames[which].data(), uint32_t(frames[which].size()), 0, 0, false);
        });
    bench::ReportGoal(state, {.ratio = 0.91});
    scheduler.CancelAll();
}

// sp_fade with 200 moving entries against a bare loop computing the same values.
void SpFade200(benchmark::State& state)
{
    TheWorld();
    Canvases canvases(800, 600);
    CTimerManager scheduler;
    CImage picture;
    Photo(picture, 8, 8, 5);
    std::vector<std::unique_ptr<CSprite>> sprites;
    auto* fade =
        static_cast<CSpFadeEffect*>(Make("sp_fade", scheduler, &canvases.front, CEffectArgs::Of(200, 0, 0)));
    for (int i = 0; i < 200; ++i) {
        sprites.push_back(std::make_unique<CSprite>());
        sprites.back()->SetImage(&picture, nullptr, i, i);
        canvases.front.GetScene()->GetList().Insert(sprites.back().get(), 0, 0);
        sprites.back()->SetVisible(false);
        fade->SetParams(1, i, static_cast<CDrawable*>(sprites.back().get()), 2000000000, 0, 1, 700, 500, 2);
    }
    uint32_t now = TimerNow();
    fade->Step(now);
    struct Bare {
        int startAlpha, endAlpha;
        uint32_t time, start;
        LONG sx, sy, ex, ey;
        double easing;
    };
    std::vector<Bare> bare;
    for (int i = 0; i < 200; ++i)
        bare.push_back({0, 255, fade->GetEntry(uint32_t(i)).time, now, i, i, 700, 500, 2.0});
    std::vector<int> alphas(200);
    std::vector<LONG> xs(200), ys(200);
    uint32_t peerNow = now;
    bench::Contest(
        state, [&] { fade->Step(now += 1000); },
        [&] {
            peerNow += 1000;
            for (size_t i = 0; i < bare.size(); ++i) {
                const Bare& b = bare[i];
                const double f = double(std::min(peerNow - b.start, b.time)) / b.time;
                alphas[i] = int((b.endAlpha - b.startAlpha) * f + b.startAlpha);
                const double g = std::pow(f, b.easing);
                xs[i] = LONG((b.ex - b.sx) * g + b.sx);
                ys[i] = LONG((b.ey - b.sy) * g + b.sy);
            }
            benchmark::DoNotOptimize(alphas.data());
            benchmark::DoNotOptimize(xs.data());
            benchmark::DoNotOptimize(ys.data());
        });
    bench::ReportGoal(state, {.ratio = 0.33});
    scheduler.CancelAll();
    for (auto& sprite : sprites)
        canvases.front.GetScene()->GetList().Remove(sprite.get());
}

} // namespace

BENCHMARK_CAPTURE(BgStep, rast_800, "bg_rast", 800, 600)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BgStep, rast_1920, "bg_rast", 1920, 1080)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BgStep, haze_800, "bg_haze", 800, 600)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BgStep, haze_1920, "bg_haze", 1920, 1080)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BgStep, loop_800, "bg_loop", 800, 600)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BgStep, loop_1920, "bg_loop", 1920, 1080)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BgStep, cross_800, "bg_cross", 800, 600)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BgStep, cross_1920, "bg_cross", 1920, 1080)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BgBlur)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BgZoom)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(SpCfadeBlend)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BgAnimeFrame)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(SpFade200)->Unit(benchmark::kMillisecond)->Iterations(1);
