// The settings sheet's previews on the headless host.
// - SpeedPreviewTick: one tick of the text-speed page (both strips redrawn with a different number
//   of cells: button-face cells, grey marks, the translucent bar, composed into the statics'
//   window surfaces) against pixman doing the same fills and the OVER composite of the bar into
//   images of the same size. Goal: ratio >= 1 and under 1 ms.
// - FontSampleColourChange: the font sample shown with another frame colour (checkerboard, frame
//   colour at its opacity, the face's name by the cached glyph font, composed into the static's
//   window surface) against FreeType rendering the same characters (FT_Load_Char,
//   FT_Render_Glyph) composited by pixman over the same checkerboard and frame colour. Both draw
//   the text plain (no shadow or outline), anti-aliased, 24 pixels high. Goal: ratio >= 1.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "contest.h"
#include "font_reference.h"
#include "game/font_sample.h"
#include "game/speed_preview.h"
#include "platform/cpu_info.h"
#include "winapi/host.h"
#include "winapi/text.h"
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
    const bench::Goal goal{.ratio = 1.0, .ms = 1.0};
    bench::Contest(state, ours, peer, goal, 101);
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
    for (pixman_image_t* target : targets)
        pixman_image_unref(target);
    pixman_image_unref(barFill);
    DestroyWindow(parent);
}

constexpr int kSampleWidth = 372, kSampleHeight = 49;  // the sample's static in pixels

pixman_color_t Colour(uint32_t rgb, uint16_t alpha = 0xFFFF)
{
    // Premultiplied 16-bit channels.
    auto channel = [&](int shift) {
        return static_cast<uint16_t>(((rgb >> shift) & 0xFF) * 0x101u * alpha / 0xFFFFu);
    };
    return {channel(16), channel(8), channel(0), alpha};
}

void FontSampleColourChange(benchmark::State& state)
{
    g_bUseMmx = 1;
    winapi::CurrentHost();
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, kSampleWidth + 20, kSampleHeight + 20,
                                  nullptr, nullptr, nullptr, nullptr);
    HWND sampleStatic = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 4, 4, kSampleWidth, kSampleHeight,
                                        parent, nullptr, nullptr, nullptr);
    CFontSample sample;
    if (sample.Attach(sampleStatic) != 0) {
        state.SkipWithError("the sample could not be attached");
        return;
    }
    FontSampleLook look;
    look.faceSjis = winapi::Sjis("ＭＳ ゴシック");
    look.decoration = 0;
    look.frameOpacity = 140;
    look.frameColour = 0x106EA8;
    sample.Show(look);  // the glyphs are cached from here on
    uint32_t step = 0;
    auto ours = [&] {
        look.frameColour = (0x106EA8 + 0x0B0503 * ++step) & 0xFFFFFF;
        sample.Show(look);
    };

    font_reference::Face face("IPAGothic");
    if (face.Get() == nullptr) {
        state.SkipWithError("no IPAGothic face for the peer");
        return;
    }
    FT_Set_Pixel_Sizes(face.Get(), 0, CFontSample::kTextHeight);
    int ascent = 0, descent = 0;
    face.Extent(CFontSample::kTextHeight, &ascent, &descent);
    std::vector<char32_t> text;
    for (const char* p = look.faceSjis.c_str(); *p != '\0';) {
        const auto lead = static_cast<uint8_t>(*p);
        const bool wide = winapi::IsSjisLeadByte(lead);
        const unsigned code = wide && p[1] != '\0' ? lead * 256u + static_cast<uint8_t>(p[1]) : lead;
        text.push_back(winapi::SjisCodeToUnicode(code));
        p += wide && p[1] != '\0' ? 2 : 1;
    }
    std::vector<uint32_t> pixels(kSampleWidth * kSampleHeight);
    pixman_image_t* target =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, kSampleWidth, kSampleHeight, pixels.data(), kSampleWidth * 4);
    const pixman_color_t light = Colour(0xFFFFFF), dark = Colour(0xCCCCCC), white = Colour(0xFFFFFF);
    pixman_image_t* ink = pixman_image_create_solid_fill(&white);
    std::vector<pixman_rectangle16_t> lightCells, darkCells;
    for (int y = 0; y < kSampleHeight; y += 8)
        for (int x = 0; x < kSampleWidth; x += 8)
            ((x / 8 + y / 8) % 2 == 0 ? lightCells : darkCells)
                .push_back({static_cast<int16_t>(x), static_cast<int16_t>(y),
                            static_cast<uint16_t>(std::min(8, kSampleWidth - x)),
                            static_cast<uint16_t>(std::min(8, kSampleHeight - y))});
    uint32_t peerStep = 0;
    std::vector<uint32_t> coverage;
    auto peer = [&] {
        const uint32_t colour = (0x106EA8 + 0x0B0503 * ++peerStep) & 0xFFFFFF;
        pixman_image_fill_rectangles(PIXMAN_OP_SRC, target, &light, static_cast<int>(lightCells.size()),
                                     lightCells.data());
        pixman_image_fill_rectangles(PIXMAN_OP_SRC, target, &dark, static_cast<int>(darkCells.size()),
                                     darkCells.data());
        const pixman_color_t frame = Colour(colour, static_cast<uint16_t>(140 * 0x101));
        pixman_image_t* frameFill = pixman_image_create_solid_fill(&frame);
        pixman_image_composite32(PIXMAN_OP_OVER, frameFill, nullptr, target, 0, 0, 0, 0, 0, 0, kSampleWidth,
                                 kSampleHeight);
        pixman_image_unref(frameFill);
        int penX = CFontSample::kTextX;
        for (char32_t u : text) {
            FT_Load_Char(face.Get(), u, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL);
            FT_Render_Glyph(face.Get()->glyph, FT_RENDER_MODE_NORMAL);
            const FT_GlyphSlot g = face.Get()->glyph;
            if (g->bitmap.width > 0 && g->bitmap.rows > 0) {
                // pixman wants rows of whole words: the coverage is copied into such rows.
                const int stride = (static_cast<int>(g->bitmap.width) + 3) & ~3;
                coverage.assign(static_cast<size_t>(stride) * g->bitmap.rows / 4 + 1, 0);
                auto* bytes = reinterpret_cast<uint8_t*>(coverage.data());
                for (unsigned y = 0; y < g->bitmap.rows; ++y)
                    std::memcpy(bytes + static_cast<size_t>(y) * stride, g->bitmap.buffer + y * g->bitmap.pitch,
                                g->bitmap.width);
                pixman_image_t* mask = pixman_image_create_bits(PIXMAN_a8, static_cast<int>(g->bitmap.width),
                                                                static_cast<int>(g->bitmap.rows), coverage.data(),
                                                                stride);
                pixman_image_composite32(PIXMAN_OP_OVER, ink, mask, target, 0, 0, 0, 0, penX + g->bitmap_left,
                                         CFontSample::kTextY + ascent - g->bitmap_top,
                                         static_cast<int>(g->bitmap.width), static_cast<int>(g->bitmap.rows));
                pixman_image_unref(mask);
            }
            penX += static_cast<int>(g->advance.x >> 6);
        }
    };
    const bench::Goal goal{.ratio = 1.0};
    bench::Contest(state, ours, peer, goal, 101);
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
    pixman_image_unref(ink);
    pixman_image_unref(target);
    DestroyWindow(parent);
}

} // namespace

BENCHMARK(SpeedPreviewTick)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(FontSampleColourChange)->Iterations(1)->Unit(benchmark::kMillisecond);
