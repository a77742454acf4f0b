// The step-list sprite effects against their peers, each contest on the same work (ratio = peer /
// ours; goal printed beside it):
// - sp_change's blended step (two 400x600 pictures on one origin, so the union is 400x600 and
//   the blend covers it whole) against pixman SRC of the old picture then OVER of the new one
//   with a solid mask at the level, over the union: goal 1.0;
// - sp_parts with 24 looping parts on their splines, one step, against a bare loop computing the
//   same positions (a cubic a part) and alphas: goal 1/3 (a step within 3x the loop);
// - a looping 50-record sp_panime list, one step, against a bare loop finding the same segment
//   and values: goal 1/3.
#include "alloc_count.h"
#include "contest.h"
#include "authoring/effect_data.h"
#include "display/surface_sprite.h"
#include "drawing/sprite.h"
#include "effects/sp_change.h"
#include "effects/sp_panime.h"
#include "effects/sp_parts.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/pixel_library.h"
#include "platform/cpu_info.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdlib>
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

// The game folder (effect data and a 24-part list), loaders and pixel library, once a program.
struct World {
    World()
    {
        IdentifyCpu();
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\bench\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        folder = (std::filesystem::temp_directory_path() / ("tessaro-bench-sp-" + std::to_string(getpid()))).string();
        std::string error;
        if (!effect_data::Write(folder, 3, &error))
            std::abort();
        std::ofstream list(folder + "/SYS/PARTS24.TXT", std::ios::binary);
        for (int i = 0; i < 24; ++i) {
            const int x = (i % 6) * 40, y = (i / 6) * 30;
            list << "* CA040_EYE.ELG\r\n" << x << ", " << y << "\r\nt " << 100 + i << "\r\n" << x + 10 << ", " << y
                 << ", 128\r\nt 90\r\n" << x << ", " << y << "\r\ns\r\n";
        }
        list.close();
        std::string windows = "Z:" + folder + "\\";
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        SetBaseFolder(windows.c_str());
        g_pFileManager = &files;
        RegisterBuiltinImageLoaders(loaders);
        g_pGllManager = &loaders;
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
};

World& TheWorld()
{
    static World* world = new World;
    return *world;
}

std::unique_ptr<CImage> Picture(LONG w, LONG h, uint32_t seed)
{
    auto image = std::make_unique<CImage>();
    image->Create(w, h, 32, 0);
    for (LONG y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image->GetBits() + intptr_t(y) * image->GetPitch());
        for (LONG x = 0; x < w; ++x)
            row[x] = 0xFF000000u | ((uint32_t(x) * 7 + seed) & 255) << 16 | (uint32_t(y) * 3 & 255) << 8 | seed;
    }
    image->SetAlphaFlag(true);
    return image;
}

void SpChangeBlend(benchmark::State& state)
{
    TheWorld();
    CSurfaceSprite canvas;
    canvas.Create(800, 600, 32, 1);
    auto newImage = Picture(400, 600, 1);
    CSprite newSprite;
    newSprite.SetImage(newImage.get(), nullptr, 0, 0);
    canvas.GetScene()->GetList().Insert(&newSprite, 30, 0);
    CImage* oldImage = Picture(400, 600, 2).release();
    auto* oldSprite = new CSprite;
    oldSprite->SetImage(oldImage, nullptr, 200, 0);
    canvas.GetScene()->GetList().Insert(oldSprite, 30, 0);
    CTimerManager scheduler;
    auto* effect = new CSpChangeEffect;
    // One level a step: 4000 ms a level over 1 020 000 ms.
    if (effect->SetUp(&scheduler, &canvas, static_cast<CDrawable*>(&newSprite), static_cast<CDrawable*>(oldSprite),
                      "P200,0", 2, 25, 0, 1020000, 0) != 0)
        std::abort();
    uint32_t now = 1000;
    effect->Step(now);
    CImage target;
    target.Create(400, 600, 32, 0);
    pixman_image_t* oldPix = Wrap(*oldImage, PIXMAN_a8r8g8b8);
    pixman_image_t* newPix = Wrap(*newImage, PIXMAN_a8r8g8b8);
    pixman_image_t* dst = Wrap(target, PIXMAN_a8r8g8b8);
    int level = 0;
    bench::AllocationTally tally;
    bench::Contest(
        state,
        tally.Wrap([&] {
            now += 4000;
            if (now > 1000 + 1000000)
                now = 1000 + 4000;
            effect->Step(now);
        }),
        [&] {
            level = (level + 1) % 255;
            pixman_color_t colour{0, 0, 0, static_cast<uint16_t>(level * 257)};
            pixman_image_t* mask = pixman_image_create_solid_fill(&colour);
            pixman_image_composite32(PIXMAN_OP_SRC, oldPix, nullptr, dst, 0, 0, 0, 0, 0, 0, 400, 600);
            pixman_image_composite32(PIXMAN_OP_OVER, newPix, mask, dst, 0, 0, 0, 0, 0, 0, 400, 600);
            pixman_image_unref(mask);
        });
    pixman_image_unref(oldPix);
    pixman_image_unref(newPix);
    pixman_image_unref(dst);
    scheduler.CancelAll();
    bench::ReportGoal(state, {.ratio = 1.0});
    tally.Report(state, 0);
}

void SpParts24(benchmark::State& state)
{
    TheWorld();
    CSurfaceSprite canvas;
    canvas.Create(800, 600, 32, 1);
    CTimerManager scheduler;
    auto* effect = new CSpPartsEffect;
    if (effect->SetUp(&scheduler, &canvas, "SYS\\PARTS24.TXT", 0, 0, 100, 0, 1.0, 0, 0, 0, 1, 1) != 0 ||
        effect->GetPartCount() != 24)
        std::abort();
    uint32_t now = 1000;
    effect->Step(now);
    // The bare loop: per part two steps, 100 + i ms then 90 ms, looping ("s" turns the spline on
    // and loops from the second frame): the way out runs from the last point back to the middle
    // one, a straight line; the way back follows the natural cubic spline through the three
    // points. Each step a cubic in x and y, its coefficients worked out beforehand.
    struct Cubic {
        double a, b, c, d;
        double At(double f) const { return a + f * (b + f * (c + f * d)); }
    };
    // Back: through p0, p1, p2 with the ends' second derivatives 0, m = 1.5 (p0 - 2 p1 + p2).
    const auto segments = [](double p0, double p1, double p2, Cubic out[2]) {
        const double m = 1.5 * (p0 - 2 * p1 + p2);
        out[0] = Cubic{p2, p1 - p2, 0, 0};
        out[1] = Cubic{p1, p2 - p1 - m / 3, m / 2, -m / 6};
    };
    std::vector<Cubic> xCurves(48), yCurves(48);
    for (int i = 0; i < 24; ++i) {
        const double x = (i % 6) * 40, y = (i / 6) * 30;
        segments(x, x + 10, x, &xCurves[2 * i]);
        segments(y, y, y, &yCurves[2 * i]);
    }
    std::vector<int32_t> xs(24), ys(24), alphas(24);
    uint32_t e = 0;
    bench::AllocationTally tally;
    bench::Contest(
        state,
        tally.Wrap([&] {
            now += 7;
            effect->Step(now);
        }),
        [&] {
            e += 7;
            for (int i = 0; i < 24; ++i) {
                const uint32_t first = 100 + i, cycle = first + 90, u = e % cycle;
                const bool out = u < first;
                const double f = out ? double(u) / first : double(u - first) / 90;
                const int k = 2 * i + (out ? 0 : 1);
                xs[i] = static_cast<int32_t>(xCurves[k].At(f));
                ys[i] = static_cast<int32_t>(yCurves[k].At(f));
                alphas[i] = out ? 255 - static_cast<int32_t>(127 * f) : 128 + static_cast<int32_t>(127 * f);
            }
            benchmark::DoNotOptimize(xs.data());
            benchmark::DoNotOptimize(ys.data());
            benchmark::DoNotOptimize(alphas.data());
        });
    // Both sides stepped alike: the parts stand where the loop put them.
    int differing = 0;
    for (int i = 0; i < 24; ++i) {
        const CSprite& sprite = *effect->GetPart(size_t(i)).front;
        differing += sprite.GetX() != xs[i] || sprite.GetY() != ys[i] || sprite.GetAlpha() != alphas[i];
    }
    state.counters["parts_differing"] = differing;
    bench::ReportCeiling(state, "parts_differing", 0);
    tally.Report(state, 0);
    scheduler.CancelAll();
    bench::ReportGoal(state, {.ratio = 1.0 / 3.0});
}

void SpPanime50(benchmark::State& state)
{
    TheWorld();
    CSurfaceSprite canvas;
    canvas.Create(800, 600, 32, 1);
    auto image = Picture(64, 64, 3);
    CSprite sprite;
    sprite.SetImage(image.get(), nullptr, 0, 0);
    canvas.GetScene()->GetList().Insert(&sprite, 10, 0);
    // 50 records: 25 durations and 25 points.
    std::string list;
    for (int i = 0; i < 25; ++i)
        list += std::to_string(20 + i) + " P" + std::to_string(i * 13 % 700) + "," + std::to_string(i * 29 % 500) +
                "O" + std::to_string(255 - i * 5) + " ";
    CTimerManager scheduler;
    auto* effect = new CSpPanimeEffect;
    if (effect->SetUp(&scheduler, &canvas, static_cast<CDrawable*>(&sprite), list.c_str(), 20, 1, 0) != 0 ||
        effect->GetPath().GetSteps().size() != 50)
        std::abort();
    uint32_t now = 1000;
    effect->Step(now);
    std::vector<int32_t> px(25), py(25), pa(25), pd(25);
    uint32_t cycle = 0;
    for (int i = 0; i < 25; ++i) {
        px[i] = i * 13 % 700;
        py[i] = i * 29 % 500;
        pa[i] = 255 - i * 5;
        pd[i] = 20 + i;
        cycle += pd[i];
    }
    int32_t out[3];
    uint32_t e = 0;
    bench::Contest(
        state,
        [&] {
            now += 7;
            effect->Step(now);
        },
        [&] {
            e += 7;
            uint32_t u = e % cycle;
            int i = 0;
            while (u >= static_cast<uint32_t>(pd[i]))
                u -= pd[i++];
            const int j = (i + 24) % 25;
            const double f = double(u) / pd[i];
            out[0] = px[j] + static_cast<int32_t>((px[i] - px[j]) * f);
            out[1] = py[j] + static_cast<int32_t>((py[i] - py[j]) * f);
            out[2] = pa[j] + static_cast<int32_t>((pa[i] - pa[j]) * f);
            benchmark::DoNotOptimize(out);
        });
    scheduler.CancelAll();
    bench::ReportGoal(state, {.ratio = 1.0 / 3.0});
}

} // namespace

BENCHMARK(SpChangeBlend)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(SpParts24)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(SpPanime50)->Unit(benchmark::kMillisecond)->Iterations(1);
