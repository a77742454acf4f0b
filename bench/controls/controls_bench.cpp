// The controls' per-frame and creation costs: HandleInput with 50 and 300 linked controls while
// the pointer moves over the last one (the whole hit-test walk) and a key action is pushed every
// frame; CreateDrawn of a 160x40 four-column button with a two-character label (warm glyph
// cache); and without a font against pixman drawing the same faces, lines and highlight blends
// (`allocs`: the allocations of one button made, its picture among them).
#include "alloc_count.h"
#include "contest.h"
#include "controls/button_control.h"
#include "controls/control_container.h"
#include "controls/image_button.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "files/pixel_library.h"
#include "platform/action_map.h"
#include "platform/cpu_info.h"
#include "platform/input_source.h"
#include "winapi/text.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

class ScriptedSource : public CInputSource {
public:
    bool IsDown(int code) override { return code == held; }
    bool IsPushed(int code) override { return code == pushed; }
    int FindFirstDown() override { return held; }
    int FindFirstPushed() override { return pushed; }
    void Clear() override {}
    int held = -1;
    int pushed = -1;
};

class Form : public CControlContainer {
public:
    Form() { actions.Create(6); }
    ~Form() override { RemoveAllControls(); }
    void GetCursorPos(int* x, int* y) override
    {
        *x = px;
        *y = py;
    }
    CActionMap* GetActionMap() override { return &actions; }
    CInputSource* GetKeyboard() override { return &keyboard; }
    CInputSource* GetMouse() override { return &mouse; }
    int px = 0;
    int py = 0;
    CActionMap actions{nullptr};
    ScriptedSource keyboard;
    ScriptedSource mouse;
};

void HandleInputPerFrame(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    std::vector<std::unique_ptr<CButton>> buttons;
    Form form;
    for (int i = 0; i < count; ++i) {
        auto button = std::make_unique<CButton>();
        button->Create((i % 20) * 30, (i / 20) * 20, 28, 18, -1, -1, true, true, i);
        form.AddControl(button.get(), -1);
        buttons.push_back(std::move(button));
    }
    const CButton& last = *buttons.back();
    form.keyboard.pushed = 0x0F;  // Tab every frame: the focus walks the list
    uint32_t time = 0;
    int frame = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        form.px = last.GetX() + (frame & 7);
        form.py = last.GetY() + 1;
        benchmark::DoNotOptimize(form.HandleInput(time));
        time += 16;
        ++frame;
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    state.counters["ms_per_frame"] = ms / frame;
    state.counters["goal_ms"] = 0.1;
}
BENCHMARK(HandleInputPerFrame)->Arg(50)->Arg(300);

struct PixelLibrary {
    PixelLibrary()
    {
        g_bUseMmx = 1;  // as start-up sets it from the CPU features
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\bench\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
    }
    ~PixelLibrary() { SetPixelLibrary(nullptr); }
    std::unique_ptr<CPixelLibrary> library;
};

void CreateDrawnWithLabel(benchmark::State& state)
{
    PixelLibrary pixels;
    CGlyphFont font;
    font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
    const char* label = winapi::Sjis("決定");
    CDrawList list;
    CButtonControl button;
    button.CreateDrawn(&list, 1, label, &font, 0, 0, 160, 40, true, 1);  // the glyph cache warms
    int runs = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(button.CreateDrawn(&list, 1, label, &font, 0, 0, 160, 40, true, 1));
        ++runs;
    }
    const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    state.counters["us_per_button"] = us / runs;
    state.counters["goal_us"] = 50;
}
BENCHMARK(CreateDrawnWithLabel);

// pixman drawing the same four columns: faces, shifted face copy, lines and highlight blends.
void PixmanButton(pixman_image_t* image, int w, int h)
{
    auto color = [](uint32_t rgb) {
        return pixman_color_t{static_cast<uint16_t>((rgb >> 16 & 255) * 257), static_cast<uint16_t>((rgb >> 8 & 255) * 257),
                              static_cast<uint16_t>((rgb & 255) * 257), 0};
    };
    auto fill = [&](uint32_t rgb, int l, int t, int r, int b) {
        const pixman_color_t c = color(rgb);
        const pixman_rectangle16_t rect{static_cast<int16_t>(l), static_cast<int16_t>(t), static_cast<uint16_t>(r - l),
                                        static_cast<uint16_t>(b - t)};
        pixman_image_fill_rectangles(PIXMAN_OP_SRC, image, &c, 1, &rect);
    };
    pixman_color_t glowColor{0x0000, 0x8080, 0xFFFF, 0x4040};
    pixman_image_t* glow = pixman_image_create_solid_fill(&glowColor);
    const uint32_t face = 0xD4D0C8, light = 0xE6E4DE, half = 0x6A6864, quarter = 0x353432;
    fill(face, 1, 1, w - 2, h - 2);
    for (int i = 0; i < 4; ++i) {
        const int o = i * w;
        if (i == 1) {
            pixman_image_composite32(PIXMAN_OP_SRC, image, nullptr, image, 1, 1, 0, 0, o + 1, 1, w - 3, h - 3);
            pixman_image_composite32(PIXMAN_OP_OVER, glow, nullptr, image, 0, 0, 0, 0, o + 2, 2, w - 5, h - 5);
        } else if (i == 2) {
            pixman_image_composite32(PIXMAN_OP_SRC, image, nullptr, image, 1, 1, 0, 0, o + 2, 2, w - 4, h - 4);
            fill(half, o + 1, 1, o + w - 1, 2);
            fill(half, o + 1, 2, o + 2, h - 1);
            pixman_image_composite32(PIXMAN_OP_OVER, glow, nullptr, image, 0, 0, 0, 0, o + 3, 3, w - 6, h - 6);
        } else if (i == 3) {
            fill(face, o + 1, 1, o + w - 2, h - 2);
        }
        const bool pressed = i == 2;
        fill(pressed ? 0 : light, o, 0, o + w - 1, 1);
        fill(pressed ? 0 : light, o, 1, o + 1, h - 1);
        fill(pressed ? 0 : quarter, o, h - 1, o + w, h);
        fill(pressed ? 0 : quarter, o + w - 1, 0, o + w, h - 1);
        fill(half, o + 1, h - 2, o + w - 1, h - 1);
        fill(half, o + w - 2, 1, o + w - 1, h - 2);
    }
    pixman_image_unref(glow);
}

void CreateDrawnVsPixman(benchmark::State& state)
{
    PixelLibrary pixels;
    CDrawList list;
    CButtonControl button;
    const int repeat = 50;
    bench::Contest(
        state,
        [&] {
            for (int i = 0; i < repeat; ++i)
                benchmark::DoNotOptimize(button.CreateDrawn(&list, 1, "", nullptr, 0, 0, 160, 40, true, 1));
        },
        [&] {
            // The same work as CreateDrawn: a fresh picture each time, then the drawing.
            for (int i = 0; i < repeat; ++i) {
                pixman_image_t* image = pixman_image_create_bits(PIXMAN_a8r8g8b8, 160 * 4, 40, nullptr, 160 * 4 * 4);
                PixmanButton(image, 160, 40);
                benchmark::DoNotOptimize(pixman_image_get_data(image));
                pixman_image_unref(image);
            }
        });
    const uint64_t before = bench::AllocationCount();
    button.CreateDrawn(&list, 1, "", nullptr, 0, 0, 160, 40, true, 1);
    state.counters["allocs"] = static_cast<double>(bench::AllocationCount() - before);
    bench::ReportGoal(state, {.ratio = 1.5});
}
BENCHMARK(CreateDrawnVsPixman)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
