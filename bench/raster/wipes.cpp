// Every wipe entry at 800x600 and 1920x1080, copy and blend modes, progress 64, 128 and 192: the
// time of one step next to one full-frame copy (copy mode) or blend (blend mode) of the same
// size, as the counter "x_frame". A summary of the slowest entries is printed at the end.
#include "platform/cos_table.h"
#include "platform/random.h"
#include "raster/draw_transition.h"
#include "raster/image.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
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
    static CCosTable table;
    g_pCosTable = &table;
    SeedSubtractiveRandom(g_RandomState, 1);
}

double SecondsPer(const std::function<void()>& f)
{
    f();
    int n = 0;
    const auto start = std::chrono::steady_clock::now();
    double elapsed = 0;
    do {
        f();
        ++n;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (elapsed < 0.2);
    return elapsed / n;
}

// One full-frame copy or blend of the same size.
double FrameSeconds(const Size& size, int mode)
{
    static std::map<std::pair<LONG, int>, double> cache;
    auto key = std::make_pair(size.w, mode);
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    Pictures& p = PicturesOf(size);
    const double t = SecondsPer([&] {
        if (mode == 0)
            p.dst->Copy(p.src.get(), 0, 0, nullptr, false);
        else
            p.dst->BlendAlpha(p.src.get(), 0, 0, nullptr, false);
        p.dst->GetUpdateRegion()->Reset();
    });
    cache[key] = t;
    return t;
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

void BM_Wipe(benchmark::State& state, int index, Size size, int mode, int progress)
{
    Setup();
    Pictures& p = PicturesOf(size);
    const double frame = FrameSeconds(size, mode);
    double total = 0;
    int64_t n = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        DrawTransition(index, p.dst.get(), p.src.get(), progress, 0, 0, mode, nullptr);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++n;
        state.PauseTiming();
        p.dst->GetUpdateRegion()->Reset();
        state.ResumeTiming();
    }
    const double per = total / static_cast<double>(std::max<int64_t>(n, 1));
    state.counters["x_frame"] = per / frame;
    state.counters["ms"] = per * 1000;
    Worst& w = WorstByEntry()[index];
    if (per / frame > w.ratio) {
        w.ratio = per / frame;
        w.ms = per * 1000;
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
                        ->MinTime(0.05);
                }
    std::atexit(PrintSummary);
    return true;
}();

} // namespace
