// The text panel's costs against their peers: a 3-line x 30-character page drawn with DrawChar
// (24 px, warm cache), horizontal and vertical, against FreeType glyphs rendered once and blended
// each page by a plain loop at the same positions; and a nine-slice Clear at 1280x320 against
// pixman composing the same pieces from repeating sources.
#include "contest.h"
#include "pixel_library_guard.h"
#include "controls/text_panel.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "files/pixel_library.h"
#include "font_reference.h"
#include "platform/cpu_info.h"
#include "raster/image.h"
#include "winapi/text.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using bench::Contest;

using bench::PixelLibrary;

// 90 kana and kanji codes (no line-break marks, so the page layout is plain).
std::vector<unsigned> PageCodes()
{
    std::vector<unsigned> codes;
    for (unsigned c = 0x82A0; codes.size() < 60; ++c)
        codes.push_back(c);
    for (unsigned c = 0x889F; codes.size() < 90; ++c)
        codes.push_back(c);
    return codes;
}

void DrawCharPageVsFreeType(benchmark::State& state)
{
    const bool vertical = state.range(0) != 0;
    g_bUseMmx = 1;
    PixelLibrary pixels;
    const auto codes = PageCodes();
    std::string text;
    for (unsigned c : codes)
        text += std::string{static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    CGlyphFont font;
    font.SetFont(24, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
    font.SetAntialias(2);
    CDrawList list;
    CTextPanel panel;
    // 30 characters a line: 720 wide plus margins; three lines.
    const int along = 30 * 24 + 16, across = 3 * 28 + 16;
    panel.Create(&list, 1, vertical ? across : along, vertical ? along : across, 0, 0, &font, nullptr, 1);
    panel.SetWrapReserve(0);
    panel.SetVertical(vertical, true);
    auto page = [&] {
        panel.ResetTextCursor(true);
        const char* p = text.c_str();
        while (*p && panel.DrawNextChar(&p) != 1) {
        }
    };
    page(); // warm cache
    // The peer: the same glyphs rendered once, then blended at the positions our page used.
    font_reference::Face face("IPAGothic");
    FT_Set_Pixel_Sizes(face.Get(), 0, 24);
    if (vertical) {
        FT_Matrix turn{0, 0x10000, -0x10000, 0};
        FT_Set_Transform(face.Get(), &turn, nullptr);
    }
    struct Glyph {
        std::vector<uint8_t> pixels;
        int w, h, left, top, advance;
    };
    std::vector<Glyph> glyphs;
    for (unsigned c : codes) {
        FT_Load_Char(face.Get(), winapi::SjisCodeToUnicode(c), FT_LOAD_NO_BITMAP);
        FT_Render_Glyph(face.Get()->glyph, FT_RENDER_MODE_NORMAL);
        const FT_GlyphSlot g = face.Get()->glyph;
        Glyph out{{}, static_cast<int>(g->bitmap.width), static_cast<int>(g->bitmap.rows), g->bitmap_left,
                  g->bitmap_top, 24};
        for (unsigned y = 0; y < g->bitmap.rows; ++y)
            for (unsigned x = 0; x < g->bitmap.width; ++x)
                out.pixels.push_back(g->bitmap.buffer[y * g->bitmap.pitch + x]);
        glyphs.push_back(std::move(out));
    }
    const int w = panel.GetWidth(), h = panel.GetHeight();
    std::vector<uint32_t> peer(static_cast<size_t>(w) * h);
    Contest(state, page, [&] {
        std::fill(peer.begin(), peer.end(), 0x80000000u);
        for (size_t i = 0; i < glyphs.size(); ++i) {
            const Glyph& g = glyphs[i];
            const int line = static_cast<int>(i / 30), pos = static_cast<int>(i % 30) * 24;
            const int x0 = vertical ? w - 8 - (line + 1) * 28 + g.left : 8 + pos + g.left;
            const int y0 = vertical ? 8 + pos + 24 - g.top : 8 + line * 28 + 20 - g.top;
            for (int y = 0; y < g.h; ++y)
                for (int x = 0; x < g.w; ++x) {
                    const int px = x0 + x, py = y0 + y;
                    if (px < 0 || py < 0 || px >= w || py >= h)
                        continue;
                    const unsigned a = g.pixels[static_cast<size_t>(y) * g.w + x];
                    uint32_t& d = peer[static_cast<size_t>(py) * w + px];
                    uint32_t o = d & 0xFF000000u;
                    for (int s = 0; s < 24; s += 8)
                        o |= ((255 * a + ((d >> s) & 255) * (255 - a) + 127) / 255) << s;
                    d = o;
                }
        }
    });
    bench::ReportGoal(state, {.ratio = 1.5});
}
BENCHMARK(DrawCharPageVsFreeType)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

void NineSliceClearVsPixman(benchmark::State& state)
{
    PixelLibrary pixels;
    // A 48x48 frame: borders 16, tile 16.
    CImage frame;
    frame.Create(48, 48, 32, 0);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x)
            frame.FillRect32XYWH(x, y, 1, 1, 0xFF000000u | static_cast<uint32_t>(x * 5 << 8 | y * 5));
    frame.SetAlphaFlag(true);
    CGlyphFont font;
    font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
    CDrawList list;
    CTextPanel panel;
    panel.SetFrameSlices(16, 16, 16, 16);
    panel.Create(&list, 1, 1280, 320, 0, 0, &font, nullptr, 1);
    // A masked frame is copied as composed (no black fill or alpha inversion on either side).
    CImage mask;
    mask.Create(48, 48, 8, 0);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x)
            mask.GetRowAddress(y)[x] = static_cast<BYTE>(200 + (x + y) % 50);
    panel.SetFrameImages(&frame, &mask, nullptr, true);
    CImage* composed = panel.GetFrameImage();
    // The peer: the same pieces as repeating pixman sources.
    std::vector<uint32_t> dst(1280 * 320);
    pixman_image_t* target = pixman_image_create_bits(PIXMAN_a8r8g8b8, 1280, 320, dst.data(), 1280 * 4);
    auto piece = [&](int sx, int sy, int sw, int sh) {
        pixman_image_t* whole =
            pixman_image_create_bits(PIXMAN_a8r8g8b8, 48, 48, reinterpret_cast<uint32_t*>(composed->GetBits()),
                                     static_cast<int>(composed->GetPitch()));
        std::vector<uint32_t>* copy = new std::vector<uint32_t>(static_cast<size_t>(sw) * sh);
        pixman_image_t* part = pixman_image_create_bits(PIXMAN_a8r8g8b8, sw, sh, copy->data(), sw * 4);
        pixman_image_composite32(PIXMAN_OP_SRC, whole, nullptr, part, sx, sy, 0, 0, 0, 0, sw, sh);
        pixman_image_unref(whole);
        pixman_image_set_repeat(part, PIXMAN_REPEAT_NORMAL);
        return std::make_pair(part, copy);
    };
    auto tl = piece(0, 0, 16, 16), top = piece(16, 0, 16, 16), tr = piece(32, 0, 16, 16);
    auto left = piece(0, 16, 16, 16), centre = piece(16, 16, 16, 16), right = piece(32, 16, 16, 16);
    auto bl = piece(0, 32, 16, 16), bottom = piece(16, 32, 16, 16), br = piece(32, 32, 16, 16);
    Contest(
        state, [&] { panel.ResetTextCursor(true); },
        [&] {
            auto put = [&](pixman_image_t* src, int x, int y, int w, int h) {
                pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, target, 0, 0, 0, 0, x, y, w, h);
            };
            put(tl.first, 0, 0, 16, 16);
            put(top.first, 16, 0, 1248, 16);
            put(tr.first, 1264, 0, 16, 16);
            put(left.first, 0, 16, 16, 288);
            put(centre.first, 16, 16, 1248, 288);
            put(right.first, 1264, 16, 16, 288);
            put(bl.first, 0, 304, 16, 16);
            put(bottom.first, 16, 304, 1248, 16);
            put(br.first, 1264, 304, 16, 16);
        });
    for (auto* p : {&tl, &top, &tr, &left, &centre, &right, &bl, &bottom, &br}) {
        pixman_image_unref(p->first);
        delete p->second;
    }
    pixman_image_unref(target);
    bench::ReportGoal(state, {.ratio = 1.5});
}
BENCHMARK(NineSliceClearVsPixman)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
