// The script text natives against their peer: native 473 stepping a 2,000-character Shift-JIS
// message (50 lines of 40 kana and kanji) into an 800 x 600 image through a warm glyph font (its
// cache holding every glyph),
// against FreeType loading and rendering each character (FT_Load_Char, FT_Render_Glyph) and a
// plain loop blending it at the same places: goal ratio >= 3. Counters: ours_ms, peer_ms, ratio
// (peer time / our time), goal.
#include "contest.h"
#include "font_reference.h"
#include "pixel_library_guard.h"
#include "drawing/glyph_font.h"
#include "natives/native_table.h"
#include "natives/script_host.h"
#include "platform/font_settings.h"
#include "raster/image.h"
#include "script/tagged_text.h"
#include "winapi/text.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using bench::Contest;

constexpr int kEm = 12;
constexpr size_t kPerLine = 40;
constexpr size_t kLines = 50;

uint32_t Call(CScriptHost& host, uint32_t n, uint32_t block, const std::vector<uint32_t>& words)
{
    for (size_t i = 0; i < words.size(); ++i)
        host.Memory().Store32(block + static_cast<uint32_t>(4 * i), words[i]);
    SobNativeArgs args(host.Memory(), nullptr, block, &host);
    return GetNativeRow(n).function(args);
}

void StepMessageVsFreeType(benchmark::State& state)
{
    bench::PixelLibrary pixels;
    CScriptHost host(1u << 20);
    // Warm means every glyph of the message cached: the cache holds 2,000 (the player's setting
    // allows up to 65,535; the default 512 would make every pass rasterise again).
    g_GlyphCacheLimit = 4096;
    CGlyphFont font;
    font.SetFont(kEm, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
    CImage image;
    image.Create(800, 600, 32, 0);
    // Kana and kanji, a "\" after every 40 characters.
    std::string body;
    std::vector<char32_t> codes;
    unsigned code = 0x82A0;
    for (size_t line = 0; line < kLines; ++line) {
        for (size_t i = 0; i < kPerLine; ++i) {
            if (code == 0x82F2)
                code = 0x889F;
            body += static_cast<char>(code >> 8);
            body += static_cast<char>(code & 0xFF);
            codes.push_back(winapi::SjisCodeToUnicode(code));
            // The next code with a valid trail byte (0x40-0x7E, 0x80-0xFC), on to the next lead.
            ++code;
            if ((code & 0xFF) == 0x7F)
                ++code;
            if ((code & 0xFF) > 0xFC)
                code = ((code >> 8) + 1) << 8 | 0x40;
        }
        body += '\\';
    }
    const uint32_t record = host.Memory().Allocate(static_cast<uint32_t>(body.size() + 4));
    uint8_t* p = host.Memory().Span(record, static_cast<uint32_t>(body.size() + 4));
    p[0] = 1;
    p[1] = 1;
    p[2] = 0;
    std::memcpy(p + 3, body.c_str(), body.size() + 1);
    const uint32_t block = host.Memory().Allocate(64);
    const uint32_t surface = host.ObjectHandle(static_cast<CSurface*>(&image));
    const uint32_t fontHandle = host.ObjectHandle(static_cast<CFont*>(&font));
    Call(host, 470, block, {surface, 0, 0, 0, fontHandle, 0, 0, 0});
    auto ours = [&] {
        Call(host, 468, block, {record});
        while (Call(host, 473, block, {1}) != 5) {
        }
    };
    ours(); // warm the glyph cache
    // Both sides must have drawn every line: count the lines of the image that hold ink.
    auto inkedLines = [](auto row) {
        int lines = 0;
        for (size_t line = 0; line < kLines; ++line) {
            bool ink = false;
            for (int y = 0; y < kEm && !ink; ++y)
                for (int x = 0; x < 800 && !ink; ++x)
                    ink = (row(static_cast<int>(line) * kEm + y)[x] & 0xFFFFFF) != 0;
            lines += ink ? 1 : 0;
        }
        return lines;
    };

    font_reference::Face face("IPAGothic");
    FT_Set_Pixel_Sizes(face.Get(), 0, kEm);
    std::vector<uint32_t> peer(800u * 600u);
    auto theirs = [&] {
        for (size_t i = 0; i < codes.size(); ++i) {
            if (FT_Load_Char(face.Get(), codes[i], FT_LOAD_NO_BITMAP) != 0 ||
                FT_Render_Glyph(face.Get()->glyph, FT_RENDER_MODE_NORMAL) != 0)
                continue;
            const FT_GlyphSlot g = face.Get()->glyph;
            const int x0 = static_cast<int>(i % kPerLine) * kEm + g->bitmap_left;
            const int y0 = static_cast<int>(i / kPerLine) * kEm + kEm - 2 - g->bitmap_top;
            for (int y = 0; y < static_cast<int>(g->bitmap.rows); ++y)
                for (int x = 0; x < static_cast<int>(g->bitmap.width); ++x) {
                    const int px = x0 + x, py = y0 + y;
                    if (px < 0 || py < 0 || px >= 800 || py >= 600)
                        continue;
                    const unsigned a = g->bitmap.buffer[y * g->bitmap.pitch + x];
                    uint32_t& d = peer[static_cast<size_t>(py) * 800 + px];
                    uint32_t o = d & 0xFF000000u;
                    for (int s = 0; s < 24; s += 8)
                        o |= ((255 * a + ((d >> s) & 255) * (255 - a) + 127) / 255) << s;
                    d = o;
                }
        }
    };
    Contest(state, ours, theirs, 9);
    state.counters["ours_lines"] =
        inkedLines([&](int y) { return reinterpret_cast<const uint32_t*>(image.GetRowPointer(y)); });
    state.counters["peer_lines"] = inkedLines([&](int y) { return peer.data() + static_cast<size_t>(y) * 800; });
    bench::ReportGoal(state, {.ratio = 3});
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
}

} // namespace

BENCHMARK(StepMessageVsFreeType)->Unit(benchmark::kMillisecond)->Iterations(1);
