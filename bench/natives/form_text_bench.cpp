// The main-screen form and the script text object against their peers. (a) ShowHint of a
// 40-character Japanese hint (glyph cache warm) against pixman filling and compositing the same
// box (fill, frame, shadow) with FreeType glyphs rendered once: goal ratio >= 1.5. (b)
// ControlTyping (2) of a 3 x 30-character page against DrawString of the same three lines into the
// same panel image after the same clear: the typing machinery may cost at most 20 % (ratio >= 0.83),
// allocating nothing (allocs, a page).
#include "alloc_count.h"
#include "contest.h"
#include "pixel_library_guard.h"
#include "drawing/glyph_font.h"
#include "drawing/scene.h"
#include "files/pixel_library.h"
#include "font_reference.h"
#include "natives/main_form.h"
#include "natives/text_object.h"
#include "platform/app_config.h"
#include "platform/cpu_info.h"
#include "platform/timer_manager.h"
#include "raster/image.h"
#include "script/message_store.h"
#include "script/script_memory.h"
#include "winapi/text.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using bench::Contest;

using bench::PixelLibrary;

// count kana and kanji (no line-break marks), as Shift-JIS, and their code points.
std::string Characters(size_t count, std::vector<char32_t>* unicode)
{
    std::string text;
    for (unsigned c = 0x82A0; text.size() < 2 * count && c < 0x82F2; ++c)
        text += std::string{static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    for (unsigned c = 0x889F; text.size() < 2 * count; ++c)
        text += std::string{static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    if (unicode != nullptr)
        for (size_t i = 0; i < text.size(); i += 2)
            unicode->push_back(winapi::SjisCodeToUnicode(static_cast<uint8_t>(text[i]) << 8 |
                                                         static_cast<uint8_t>(text[i + 1])));
    return text;
}

void HintBoxVsPixman(benchmark::State& state)
{
    g_bUseMmx = 1;
    PixelLibrary pixels;
    std::vector<char32_t> codes;
    const std::string text = Characters(40, &codes);
    CImage screen;
    screen.Create(800, 600, 32, 0);
    CScene scene;
    scene.SetTarget(&screen, false);
    CGlyphFont font;
    font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
    g_MainForm.DetachAndSetTarget(&scene);
    g_MainForm.SetHintFont(&font);
    g_MainForm.ShowHint(text.c_str(), 100, 100); // warm cache
    const int w = g_MainForm.HintImage().GetWidth(), h = g_MainForm.HintImage().GetHeight();

    // The peer: the glyphs rendered once as a8 masks, composited over the filled box each run.
    font_reference::Face face("IPAGothic");
    struct Glyph {
        pixman_image_t* mask = nullptr;
        std::vector<uint8_t> bits;
        int x = 0, y = 0, w = 0, h = 0;
    };
    std::vector<Glyph> glyphs;
    int pen = 3;
    for (char32_t c : codes) {
        const font_reference::Glyph g = face.Render(c, 16, false);
        Glyph out;
        out.w = g.width;
        out.h = g.rows;
        const int stride = (g.width + 3) & ~3;
        out.bits.assign(static_cast<size_t>(stride) * std::max(g.rows, 1), 0);
        for (int y = 0; y < g.rows; ++y)
            std::memcpy(&out.bits[static_cast<size_t>(y) * stride], &g.pixels[static_cast<size_t>(y) * g.width],
                        static_cast<size_t>(g.width));
        out.mask = pixman_image_create_bits(PIXMAN_a8, std::max(g.width, 1), std::max(g.rows, 1),
                                            reinterpret_cast<uint32_t*>(out.bits.data()), stride);
        out.x = pen + g.left;
        out.y = 3 + 14 - g.top;
        pen += g.advance;
        glyphs.push_back(std::move(out));
    }
    std::vector<uint32_t> box(static_cast<size_t>(w) * h);
    pixman_image_t* target = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, box.data(), w * 4);
    pixman_color_t ink{0, 0, 0, 0xFFFF};
    pixman_image_t* solid = pixman_image_create_solid_fill(&ink);
    auto fill = [&](uint32_t argb, int x, int y, int fw, int fh) {
        const pixman_color_t c{static_cast<uint16_t>((argb >> 16 & 255) * 257),
                               static_cast<uint16_t>((argb >> 8 & 255) * 257), static_cast<uint16_t>((argb & 255) * 257),
                               static_cast<uint16_t>((argb >> 24) * 257)};
        const pixman_rectangle16_t r{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<uint16_t>(fw),
                                     static_cast<uint16_t>(fh)};
        pixman_image_fill_rectangles(PIXMAN_OP_SRC, target, &c, 1, &r);
    };
    Contest(
        state, [&] { g_MainForm.ShowHint(text.c_str(), 100, 100); },
        [&] {
            fill(0, 0, 0, w, h);
            fill(0xD0FFFFE1u, 1, 1, w - 6, h - 6);
            fill(0xFF445F97u, 0, 0, w - 4, 1);
            fill(0xFF445F97u, 0, h - 5, w - 4, 1);
            fill(0xFF445F97u, 0, 0, 1, h - 4);
            fill(0xFF445F97u, w - 5, 0, 1, h - 4);
            fill(0x80000000u, w - 4, 4, 4, h - 4);
            fill(0x80000000u, 4, h - 4, w - 8, 4);
            for (const Glyph& g : glyphs)
                if (g.w > 0)
                    pixman_image_composite32(PIXMAN_OP_OVER, solid, g.mask, target, 0, 0, 0, 0, g.x, g.y, g.w, g.h);
        });
    for (Glyph& g : glyphs)
        pixman_image_unref(g.mask);
    pixman_image_unref(solid);
    pixman_image_unref(target);
    g_MainForm.OnHideHint();
    g_MainForm.DetachAndSetTarget(nullptr);
    g_MainForm.SetHintFont(nullptr);
    bench::ReportGoal(state, {.ratio = 1.5});
}
BENCHMARK(HintBoxVsPixman)->Iterations(1)->Unit(benchmark::kMillisecond);

// A store whose messages count as unread.
struct Store : CMessageStore {
    using CMessageStore::CMessageStore;
    bool IsMessageRead(uint8_t, uint16_t) override { return false; }
    void MarkMessageRead(uint8_t, uint16_t) override {}
};

void TypingPageVsDrawString(benchmark::State& state)
{
    g_bUseMmx = 1;
    PixelLibrary pixels;
    AppConfig config{};
    config.unreadCharMs = 10;
    g_pAppConfig = &config;
    const std::string text = Characters(90, nullptr);
    CScriptMemory memory(1u << 16);
    Store store(memory);
    std::vector<uint8_t> record{0, 1, 0};
    record.insert(record.end(), text.begin(), text.end());
    record.push_back(0);
    const uint32_t at = memory.Allocate(static_cast<uint32_t>(record.size()));
    std::memcpy(memory.Span(at, static_cast<uint32_t>(record.size())), record.data(), record.size());
    store.SetMessage(at);
    CGlyphFont font;
    font.SetFont(24, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
    font.SetAntialias(2);
    CTimerManager tasks;
    CDrawList list;
    CTextObject object(&store, &tasks);
    // 30 characters a line: 720 wide plus margins; three lines.
    object.Create(&list, 1, 30 * 24 + 16, 3 * 28 + 16, 0, 0, &font, nullptr, 0);
    object.SetWrapReserve(0);
    object.StartTyping(false);
    auto ours = [&] {
        object.NewPage();
        store.SetParseCursor(0);
        object.ControlTyping(2);
    };
    ours(); // warm cache
    const bool whole = store.ParseCursor() == store.Body().size();
    std::string lines[3];
    for (int i = 0; i < 3; ++i)
        lines[i] = text.substr(static_cast<size_t>(i) * 60, 60);
    const int pitch = object.GetLinePitch();
    CImage& image = object.GetImage();
    bench::AllocationTally tally;
    Contest(state, tally.Wrap(ours), [&] {
        object.NewPage();
        for (int i = 0; i < 3; ++i)
            font.DrawString(&image, 8, 8 + i * pitch, lines[i].c_str(), nullptr, nullptr);
    });
    tally.Report(state, 0);
    tasks.CancelAll();
    g_pAppConfig = nullptr;
    bench::ReportGoal(state, {.ratio = 0.83});
    if (!whole)
        state.SkipWithError("the typing did not reach the page's end: the two sides did not draw the same");
}
BENCHMARK(TypingPageVsDrawString)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
