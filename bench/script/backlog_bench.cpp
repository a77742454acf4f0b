// The backlog's redraw against its peer (ratio = peer / ours):
// - backlog_relayout: one scroll step of DrawBacklogPages through a 150-page log (named pages of
//   two 30-character lines, 24 px, the glyph cache warm), which fills the 16 page images; against
//   FreeType rendering the same glyphs (FT_Load_Char and FT_Render_Glyph per character) and a
//   plain blend loop of their coverage into images of the same sizes. Goals: at most 4 ms a step,
//   ratio at least 1.5, no allocation a step (`allocs`).
#include "alloc_count.h"
#include "contest.h"
#include "pixel_library_guard.h"
#include "controls/control_container.h"
#include "display/surface_sprite.h"
#include "drawing/glyph_font.h"
#include "platform/app_config.h"
#include "platform/cpu_info.h"
#include "raster/image.h"
#include "script/sob_runtime.h"
#include "script/tgs_frame.h"
#include "script/tgs_host_link.h"
#include "winapi/text.h"
#include "font_reference.h"
#include "script/tgs_quiet_host.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using bench::Contest;
using bench::PixelLibrary;
using tgsbench::Form;
using tgsbench::QuietLink;

// 60 kana: two lines of the backlog's page.
std::string PageText()
{
    std::string text;
    for (unsigned i = 0; i < 60; ++i) {
        const unsigned c = 0x82A0 + i % 80;
        text += std::string{static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    }
    return text;
}

void BacklogRelayout(benchmark::State& state)
{
    IdentifyCpu(); // the SIMD kernels where the processor has them, as at start-up
    PixelLibrary pixels;
    AppConfig config{};
    SetAppConfigDefaults(&config);
    config.historyPages = 200;
    g_pAppConfig = &config;
    CSobRuntime runtime{1u << 20};
    Form form;
    QuietLink link;
    link.form = &form;
    CSurfaceSprite canvas;
    canvas.Create(800, 600, 32, 2);
    auto frame = std::make_unique<CTgsFrame>(runtime, &link);
    frame->CreateMessageWindow(&canvas, &form);
    frame->StartScenario(false);
    const std::string text = PageText();
    const std::string name = winapi::Utf8ToSjis("名前");
    for (int i = 0; i < 150; ++i)
        frame->TextLog().AddMessage(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()),
                                    2 * 37, name.c_str(), "", 0);
    frame->PrepareBacklog();
    const int32_t start = frame->BacklogMaxScroll() / 2;
    frame->DrawBacklogPages(start); // warm cache
    int32_t scroll = start;
    int pages = frame->BacklogPageCount();

    // The peer: the same glyphs through FreeType, blended into images of the pages' sizes.
    font_reference::Face face("IPAGothic");
    FT_Set_Pixel_Sizes(face.Get(), 0, 24);
    std::vector<char32_t> glyphs;
    for (unsigned i = 0; i < 60; ++i)
        glyphs.push_back(winapi::SjisCodeToUnicode(static_cast<uint16_t>(0x82A0 + i % 80)));
    for (const char* p = "「名前」"; *p != 0;) {
        // The name line's characters (UTF-8 here).
        char32_t c = static_cast<unsigned char>(*p);
        int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        c &= n == 1 ? 0x7F : n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07;
        for (int k = 1; k < n; ++k)
            c = (c << 6) | (static_cast<unsigned char>(p[k]) & 0x3F);
        glyphs.push_back(c);
        p += n;
    }
    std::vector<std::vector<uint32_t>> images(static_cast<size_t>(std::max(1, pages)));
    for (int i = 0; i < pages; ++i)
        images[static_cast<size_t>(i)].assign(static_cast<size_t>(CTgsFrame::kBacklogWidth) *
                                                  frame->BacklogPage(i)->GetHeight(), 0);
    bench::AllocationTally tally;
    Contest(
        state,
        tally.Wrap([&] {
            scroll = scroll == start ? start + frame->BacklogLineStep() : start;
            frame->DrawBacklogPages(scroll);
        }),
        [&] {
            for (auto& image : images) {
                std::fill(image.begin(), image.end(), 0u);
                const int height = static_cast<int>(image.size() / CTgsFrame::kBacklogWidth);
                int x = 0, y = 4;
                for (const char32_t c : glyphs) {
                    if (FT_Load_Char(face.Get(), c, FT_LOAD_NO_BITMAP) != 0 ||
                        FT_Render_Glyph(face.Get()->glyph, FT_RENDER_MODE_NORMAL) != 0)
                        continue;
                    const FT_GlyphSlot g = face.Get()->glyph;
                    for (unsigned r = 0; r < g->bitmap.rows; ++r) {
                        const int ty = y + 20 - g->bitmap_top + static_cast<int>(r);
                        if (ty < 0 || ty >= height)
                            continue;
                        const unsigned char* row = g->bitmap.buffer + r * g->bitmap.pitch;
                        for (unsigned col = 0; col < g->bitmap.width; ++col) {
                            const int tx = x + g->bitmap_left + static_cast<int>(col);
                            if (tx < 0 || tx >= CTgsFrame::kBacklogWidth)
                                continue;
                            uint32_t& px = image[static_cast<size_t>(ty) * CTgsFrame::kBacklogWidth + tx];
                            const uint32_t a = row[col];
                            const uint32_t old = px & 0xFF;
                            const uint32_t v = (255 * a + old * (255 - a)) / 255;
                            px = (v << 24) | (v << 16) | (v << 8) | v;
                        }
                    }
                    x += static_cast<int>(g->advance.x >> 6);
                    if (x > CTgsFrame::kBacklogWidth - 40) {
                        x = 0;
                        y += 37;
                    }
                }
            }
        });
    state.counters["pages"] = pages;
    bench::ReportGoal(state, {.ratio = 1.5, .ms = 4.0});
    tally.Report(state, 0);
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
    frame.reset();
    g_pAppConfig = nullptr;
}
BENCHMARK(BacklogRelayout)->Name("backlog_relayout")->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
