// The settings sheet's text-speed preview: one tick of the page (both strips redrawn with a
// different number of cells: button-face cells, grey marks, the translucent bar, composed into
// the statics' window surfaces on the headless host) against pixman doing the same fills and the
// OVER composite of the bar into images of the same size. Goal: ratio >= 1 and under 1 ms.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <vector>

#include "contest.h"
#include "game/speed_preview.h"
#include "winapi/host.h"
#include "winapi/user.h"

namespace {

constexpr int kWidth = 464, kHeight = 24;  // a strip of the page in pixels

void SpeedPreviewTick(benchmark::State& state)
{
    winapi::CurrentHost();
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, kWidth + 20, 2 * kHeight + 20, nullptr,
                                  nullptr, nullptr, nullptr);
    HWND statics[2];
    CSpeedPreview strips[2];
    for (int i = 0; i < 2; ++i) {
        statics[i] = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 4, 4 + i * (kHeight + 4), kWidth, kHeight,
                                     parent, nullptr, nullptr, nullptr);
        strips[i].Attach(statics[i], false);
    }
    int cells = 0;
    auto ours = [&] {
        cells = (cells + 1) % (CSpeedPreview::kCells + 1);
        strips[0].Show(cells);
        strips[1].Show(CSpeedPreview::kCells - cells);
    };

    std::vector<uint32_t> pixels[2] = {std::vector<uint32_t>(kWidth * kHeight), std::vector<uint32_t>(kWidth * kHeight)};
    pixman_image_t* targets[2];
    for (int i = 0; i < 2; ++i)
        targets[i] = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, pixels[i].data(), kWidth * 4);
    const pixman_color_t face{0xD4D4, 0xD0D0, 0xC8C8, 0xFFFF}, mark{0x8080, 0x8080, 0x8080, 0xFFFF};
    // The bar: 0x0000FF at alpha 0x30, premultiplied.
    const pixman_color_t bar{0, 0, static_cast<uint16_t>(0x30 * 0xFF * 0x101 / 0xFF), 0x3030};
    pixman_image_t* barFill = pixman_image_create_solid_fill(&bar);
    const int cell = kWidth / CSpeedPreview::kCells;
    int peerCells = 0;
    auto peer = [&] {
        peerCells = (peerCells + 1) % (CSpeedPreview::kCells + 1);
        const int shown[2] = {peerCells, CSpeedPreview::kCells - peerCells};
        for (int i = 0; i < 2; ++i) {
            pixman_rectangle16_t all{0, 0, kWidth, kHeight};
            pixman_image_fill_rectangles(PIXMAN_OP_SRC, targets[i], &face, 1, &all);
            pixman_rectangle16_t marks[CSpeedPreview::kCells + 1];
            int n = 0;
            for (int x = 0; x < kWidth; x += cell)
                marks[n++] = {static_cast<int16_t>(x), 0, 1, kHeight};
            pixman_image_fill_rectangles(PIXMAN_OP_SRC, targets[i], &mark, n, marks);
            pixman_image_composite32(PIXMAN_OP_OVER, barFill, nullptr, targets[i], 0, 0, 0, 0, 0, 0,
                                     shown[i] * cell, kHeight);
        }
    };
    bench::Contest(state, ours, peer, bench::Goal{.ratio = 1.0, .ms = 1.0}, 101);
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
    for (pixman_image_t* target : targets)
        pixman_image_unref(target);
    pixman_image_unref(barFill);
    DestroyWindow(parent);
}

} // namespace

BENCHMARK(SpeedPreviewTick)->Iterations(1)->Unit(benchmark::kMillisecond);
