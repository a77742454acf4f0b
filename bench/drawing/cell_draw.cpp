// One cell change of the cell-animation task (copy: the cell copied; blend: the background
// restored, the cell blended; both: the rectangle noted for redrawing) for 64², 128² and 256²
// cells, against pixman doing the same pixels (pixman_blt for the copies, OVER for the blend) and
// noting the same rectangle in a damage region, as a pixman-drawn screen must to be redrawn. Both
// sides draw the same cells in the same order. Goals: blend at least 1.5× pixman, copy at least
// 1.0×. `allocs` counts the allocations of one cell change (none are wanted).
#include "alloc_count.h"
#include "contest.h"
#include "drawing/anim_task.h"
#include "drawing/cell_sheet.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "files/pixel_library.h"
#include "platform/cpu_info.h"
#include "platform/timer_manager.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <memory>
#include <random>

namespace {

constexpr int kCells = 64;

void Fill(CImage& image, uint32_t seed)
{
    std::mt19937 random(seed);
    for (LONG y = 0; y < image.GetHeight(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.GetRowAddress(y));
        for (LONG x = 0; x < image.GetWidth(); ++x)
            row[x] = random();
    }
}

pixman_image_t* PixmanOf(CImage& image)
{
    return pixman_image_create_bits(PIXMAN_a8r8g8b8, image.GetWidth(), image.GetHeight(),
                                    reinterpret_cast<uint32_t*>(image.GetBits()), image.GetPitch());
}

struct Environment {
    Environment()
    {
        IdentifyCpu();
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\bench\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
    }
    std::unique_ptr<CPixelLibrary> library;
};

void CellChange(benchmark::State& state)
{
    static Environment env;
    const int side = static_cast<int>(state.range(0));
    const bool blend = state.range(1) != 0;
    CImage target, source, picture, peerTarget;
    target.Create(side * 2, side * 2, 32, 0);
    source.Create(side * 2, side * 2, 32, 0);
    peerTarget.Create(side * 2, side * 2, 32, 0);
    picture.Create(side * kCells, side, 32, 0);
    Fill(source, 1);
    Fill(picture, 2);
    picture.SetAlphaFlag(true);
    CScene scene;
    scene.SetTarget(&target, false);
    CSprite sprite;
    sprite.SetImage(&source, nullptr, 0, 0);
    scene.GetList().Insert(&sprite, 1, 0);
    CCellSheet sheet;
    sheet.SetImage(&picture, side, side, &sprite, nullptr, side / 2, side / 2, 0, 2, false);
    sheet.SetAnimation(kCells, 100, 0, blend ? 1 : 0, 1);
    CTimerManager timers;
    auto* task = new CAnimTask;
    task->Setup(&timers, &sheet, nullptr, 0, 0, 0, 0, nullptr);
    uint32_t now = 1000;
    task->Step(now);

    pixman_image_t* dst = PixmanOf(peerTarget);
    pixman_image_t* cells = PixmanOf(picture);
    pixman_image_t* saved = PixmanOf(*sheet.GetWorkImage());
    constexpr int kChanges = 64;
    // A forward cycle ends on the cell already shown and starts again at cell 1 (cell 0 is shown
    // only at the start), so of each 64 steps 63 draw: the peer skips cell 0 the same way.
    int cell = 0;
    pixman_region32_t damage;
    pixman_region32_init(&damage);
    bench::Contest(
        state,
        [&] {
            for (int i = 0; i < kChanges; ++i) {
                now += 100;
                task->Step(now);
            }
            scene.ClearDirtyState();
        },
        [&] {
            for (int i = 0; i < kChanges; ++i) {
                cell = (cell + 1) % kCells;
                if (cell == 0)
                    continue;
                if (blend) {
                    pixman_image_composite32(PIXMAN_OP_SRC, saved, nullptr, dst, 0, 0, 0, 0, side / 2, side / 2, side,
                                             side);
                    pixman_image_composite32(PIXMAN_OP_OVER, cells, nullptr, dst, cell * side, 0, 0, 0, side / 2,
                                             side / 2, side, side);
                } else {
                    pixman_blt(reinterpret_cast<uint32_t*>(picture.GetBits()),
                               reinterpret_cast<uint32_t*>(peerTarget.GetBits()), picture.GetPitch() / 4,
                               peerTarget.GetPitch() / 4, 32, 32, cell * side, 0, side / 2, side / 2, side, side);
                }
                pixman_region32_union_rect(&damage, &damage, side / 2, side / 2, side, side);
            }
            pixman_region32_clear(&damage);
        });
    const uint64_t before = bench::AllocationCount();
    for (int i = 0; i < kChanges; ++i) {
        now += 100;
        task->Step(now);
    }
    state.counters["allocs"] = static_cast<double>(bench::AllocationCount() - before) / kChanges;
    bench::ReportCeiling(state, "allocs", 0);
    // Goals: the blend at least 1.5x pixman, the copy at least as fast.
    bench::ReportGoal(state, {.ratio = blend ? 1.5 : 1.0});
    pixman_image_unref(dst);
    pixman_image_unref(cells);
    pixman_image_unref(saved);
    pixman_region32_fini(&damage);
    timers.CancelAll();
}
BENCHMARK(CellChange)
    ->ArgNames({"side", "blend"})
    ->Args({64, 0})
    ->Args({128, 0})
    ->Args({256, 0})
    ->Args({64, 1})
    ->Args({128, 1})
    ->Args({256, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
