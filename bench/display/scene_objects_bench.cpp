// Deleting a script scene's objects: DeleteObjectsByGroup (1, 1) over 10,000 listed scene objects
// (coloured rectangles, all in the screen's task list) and 1,000 memory surfaces, half of each in
// group 1, beside std::erase_if over a vector of std::unique_ptr of the same objects. Only the
// deletion is timed; each run builds its objects anew.
#include "contest.h"
#include "display/color_rect_object.h"
#include "display/screen.h"
#include "raster/image.h"

#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr int kObjects = 10000, kSurfaces = 1000;

template <class Setup, class Timed>
double TimedMs(Setup&& setup, Timed&& timed)
{
    setup();
    const auto start = std::chrono::steady_clock::now();
    timed();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

struct PeerObject {
    DWORD group;
    std::unique_ptr<CColorRectObject> rect;
    std::unique_ptr<CImage> image;
};

void BM_DeleteObjectsByGroupVsEraseIf(benchmark::State& state)
{
    std::vector<double> ours, peer;
    for (auto _ : state) {
        for (int run = 0; run < 9; ++run) {
            std::unique_ptr<CScreen> screen;
            ours.push_back(TimedMs(
                [&] {
                    screen = std::make_unique<CScreen>();
                    for (int i = 0; i < kObjects; ++i) {
                        screen->SetGroup(static_cast<DWORD>(i & 1));
                        CColorRectObject* rect = nullptr;
                        screen->CreateColorRect(&rect, 8, 8, 0xFFFFFFFF, i % 640, i % 480);
                        screen->Insert(rect, static_cast<uint32_t>(i % 7), 0);
                    }
                    for (int i = 0; i < kSurfaces; ++i) {
                        screen->SetGroup(static_cast<DWORD>(i & 1));
                        CImage* image = nullptr;
                        screen->CreateImage(&image, 8, 8, 32, 0);
                    }
                },
                [&] { screen->DeleteObjectsByGroup(1, 1); }));
            std::vector<PeerObject> objects;
            peer.push_back(TimedMs(
                [&] {
                    for (int i = 0; i < kObjects; ++i) {
                        auto rect = std::make_unique<CColorRectObject>();
                        rect->Init(8, 8, 0xFFFFFFFF, i % 640, i % 480);
                        objects.push_back({static_cast<DWORD>(i & 1), std::move(rect), nullptr});
                    }
                    for (int i = 0; i < kSurfaces; ++i) {
                        auto image = std::make_unique<CImage>();
                        image->Create(8, 8, 32, 0);
                        objects.push_back({static_cast<DWORD>(i & 1), nullptr, std::move(image)});
                    }
                },
                [&] { std::erase_if(objects, [](const PeerObject& o) { return o.group == 1; }); }));
            if (screen->SceneObjectCount() != kObjects / 2 || objects.size() != (kObjects + kSurfaces) / 2)
                state.SkipWithError("the deletions differ");
        }
    }
    const double o = bench::MedianMs(ours), p = bench::MedianMs(peer);
    state.counters["ours_ms"] = o;
    state.counters["peer_ms"] = p;
    state.counters["ratio"] = p / o;
    bench::ReportGoal(state, {.ratio = 0.67});
}
BENCHMARK(BM_DeleteObjectsByGroupVsEraseIf)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
