// Every wipe entry at 800x600 and 1920x1080, copy and blend modes, progress 64, 128 and 192: a
// contest of one step against one full-frame copy (copy mode) or blend (blend mode) of the same
// size; "x_frame" is the step in full frames (1 / ratio), "allocs" the allocations a step makes.
// A summary of the slowest entries is printed at the end.
#include "alloc_count.h"
#include "contest.h"
#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "platform/random.h"
#include "raster/draw_transition.h"
#include "raster/image.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Size {
    LONG w, h;
};
constexpr Size kSizes[] = {{800, 600}, {1920, 1080}};

struct Pictures {
    std::unique_ptr<CImage> src;
    std::unique_ptr<CImage> dst;
};

Pictures& PicturesOf(const Size& size)
{
    static std::map<LONG, Pictures> cache;
    Pictures& p = cache[size.w];
    if (!p.src) {
        p.src = std::make_unique<CImage>();
        p.dst = std::make_unique<CImage>();
        p.src->Create(size.w, size.h, 32, 0);
        p.dst->Create(size.w, size.h, 32, kImageWithTracker);
        uint32_t v = 12345;
        for (LONG j = 0; j < size.h; ++j)
            for (LONG i = 0; i < size.w; ++i) {
                v = v * 1103515245u + 12345u;
                std::memcpy(p.src->GetRowPointer(j) + i * 4, &v, 4);
            }
    }
    return p;
}

void Setup()
{
    IdentifyCpu(); // the SIMD kernels where the processor has them, as at start-up
    static CCosTable table;
    g_pCosTable = &table;
    SeedSubtractiveRandom(g_RandomState, 1);
}

struct Worst {
    double ratio = 0;
    double ms = 0;
    std::string where;
};
std::map<int, Worst>& WorstByEntry()
{
    static std::map<int, Worst> worst;
    return worst;
}

// The per-pixel dissolves, held to a time of their own at 800x600.
bool IsDissolve(int index)
{
    return index == 45 || index == 46;
}

// At 1920x1080 a copy-mode step within 1 ms and a blend-mode step within 1.2 full-frame blends;
// at 800x600 no step slower than 1.5 full-frame copies or blends, the dissolves within 1 ms.
bench::Goal GoalOf(int index, const Size& size, int mode)
{
    if (size.w >= 1920)
        return mode == 0 ? bench::Goal{.ms = 1.0} : bench::Goal{.ratio = 1 / 1.2};
    return IsDissolve(index) ? bench::Goal{.ms = 1.0} : bench::Goal{.ratio = 1 / 1.5};
}

void BM_Wipe(benchmark::State& state, int index, Size size, int mode, int progress)
{
    Setup();
    Pictures& p = PicturesOf(size);
    uint64_t allocations = 0, steps = 0;
    bench::Contest(
        state,
        [&] {
            const uint64_t before = bench::AllocationCount();
            DrawTransition(index, p.dst.get(), p.src.get(), progress, 0, 0, mode, nullptr);
            allocations += bench::AllocationCount() - before;
            ++steps;
            p.dst->GetUpdateRegion()->Reset();
        },
        [&] {
            if (mode == 0)
                p.dst->Copy(p.src.get(), 0, 0, nullptr, false);
            else
                p.dst->BlendAlpha(p.src.get(), 0, 0, nullptr, false);
            p.dst->GetUpdateRegion()->Reset();
        },
        GoalOf(index, size, mode), 9);
    const double ms = state.counters["ours_ms"], perFrame = 1 / state.counters["ratio"];
    state.counters["x_frame"] = perFrame;
    state.counters["allocs"] = static_cast<double>(allocations) / static_cast<double>(std::max<uint64_t>(steps, 1));
    Worst& w = WorstByEntry()[index];
    if (perFrame > w.ratio) {
        w.ratio = perFrame;
        w.ms = ms;
        w.where = std::to_string(size.w) + "x" + std::to_string(size.h) + " mode " + std::to_string(mode) +
                  " p " + std::to_string(progress);
    }
}

void PrintSummary()
{
    std::vector<std::pair<int, Worst>> rows(WorstByEntry().begin(), WorstByEntry().end());
    if (rows.empty())
        return;
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return a.second.ratio > b.second.ratio; });
    std::printf("\nWorst step of each entry against one full-frame copy/blend (slowest first):\n");
    std::printf("%5s %10s %10s  %s\n", "entry", "x_frame", "ms", "where");
    for (const auto& [index, w] : rows)
        std::printf("%5d %10.2f %10.3f  %s\n", index, w.ratio, w.ms, w.where.c_str());
}

const bool kRegistered = [] {
    WorstByEntry(); // made before the summary is registered, so it outlives it
    for (const Size& size : kSizes)
        for (int mode : {0, 1})
            for (int index = 0; index < kTransitionCount; ++index)
                for (int progress : {64, 128, 192}) {
                    const std::string name = "Wipe/" + std::to_string(index) + "/" + std::to_string(size.w) +
                                             "x" + std::to_string(size.h) + "/mode" + std::to_string(mode) +
                                             "/p" + std::to_string(progress);
                    benchmark::RegisterBenchmark(name.c_str(), BM_Wipe, index, size, mode, progress)
                        ->Unit(benchmark::kMillisecond)
                        ->Iterations(1);
                }
    std::atexit(PrintSummary);
    return true;
}();

} // namespace
