// Text through the glyph and GDI fonts against lines composed here from FreeType's own glyphs,
// and the effects, gradients and alpha writing as exact pictures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drawing/gdi_font.h"
#include "drawing/glyph_font.h"
#include "drawing/glyph_kernels.h"
#include "font_reference.h"
#include "platform/cos_table.h"
#include "raster/image.h"
#include "winapi/text.h"

namespace {

using font_reference::Glyph;

const char* kGothic()
{
    return winapi::Sjis("ＭＳ ゴシック");
}

// The codes of a Shift-JIS text.
std::vector<unsigned> Codes(const std::string& sjis)
{
    std::vector<unsigned> codes;
    for (size_t i = 0; i < sjis.size(); ++i) {
        const auto b = static_cast<unsigned char>(sjis[i]);
        if (winapi::IsSjisLeadByte(b) && i + 1 < sjis.size())
            codes.push_back(b * 256u + static_cast<unsigned char>(sjis[++i]));
        else
            codes.push_back(b);
    }
    return codes;
}

// Coverage of a line as FreeType draws it: cell top-left at (x, y), baseline at y + ascent.
std::vector<int> ComposeLine(const font_reference::Face& face, const std::string& sjis, int em, bool mono,
                             int width, int height, int x, int y)
{
    int ascent = 0, descent = 0;
    face.Extent(em, &ascent, &descent);
    std::vector<int> picture(static_cast<size_t>(width) * height, 0);
    int pen = x;
    for (unsigned code : Codes(sjis)) {
        const Glyph g = face.Render(winapi::SjisCodeToUnicode(code), em, mono);
        const Glyph hinted = mono ? g : face.Render(winapi::SjisCodeToUnicode(code), em, true);
        for (int gy = 0; gy < g.rows; ++gy)
            for (int gx = 0; gx < g.width; ++gx) {
                const int px = pen + g.left + gx, py = y + ascent - g.top + gy;
                if (px >= 0 && py >= 0 && px < width && py < height)
                    picture[static_cast<size_t>(py) * width + px] =
                        g.pixels[static_cast<size_t>(gy) * g.width + gx];
            }
        pen += hinted.advance; // the fonts' advances come from the mono load
    }
    return picture;
}

int Channel(const CImage& image, int x, int y, int shift)
{
    return static_cast<int>((static_cast<uint32_t>(image.GetPixel(x, y)) >> shift) & 0xFF);
}

const std::string& SampleLine()
{
    static const std::string line = winapi::Utf8ToSjis("「今日は晴れ。」テスト１２３ｱｲｳ");
    return line;
}

class GlyphText : public ::testing::Test {
protected:
    font_reference::Face reference{"IPAGothic"};
    CImage image;
    void SetUp() override { ASSERT_EQ(image.Create(560, 40, 32, 0), 0); }
};

TEST_F(GlyphText, GlyphFontLineMatchesFreeTypeExactlyInModeZeroAndClosely)
{
    for (uint8_t mode : {0, 2}) {
        SCOPED_TRACE(mode);
        CGlyphFont font;
        ASSERT_EQ(font.SetFont(24, 0, 0, kGothic()), 0);
        font.SetAntialias(mode);
        image.FillRect32(0, nullptr);
        RECT drawn{};
        POINT end{};
        ASSERT_EQ(font.DrawText(&image, 4, 6, SampleLine().c_str(), &drawn, &end), 0);
        const auto expected = ComposeLine(reference, SampleLine(), 24, mode == 0, 560, 40, 4, 6);
        int worst = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 560; ++x) {
                const int want = expected[static_cast<size_t>(y) * 560 + x];
                worst = std::max(worst, std::abs(Channel(image, x, y, 8) - want));
            }
        EXPECT_LE(worst, mode == 0 ? 0 : 4);
        SIZE size{};
        EXPECT_EQ(font.MeasureString(SampleLine().c_str(), &size, nullptr, nullptr, 0, nullptr), 1);
        EXPECT_EQ(end.x, 4 + size.cx);
        EXPECT_EQ(end.y, 6);
    }
}

TEST_F(GlyphText, GdiFontLineMatchesFreeTypeExactly)
{
    CGdiFont font;
    ASSERT_EQ(font.SetFont(24, 0, 0, kGothic()), 0);
    font.SetAntialias(0);
    image.FillRect32(0, nullptr);
    RECT drawn{};
    ASSERT_EQ(font.DrawText(&image, 4, 6, SampleLine().c_str(), &drawn, nullptr), 0);
    const auto expected = ComposeLine(reference, SampleLine(), 24, true, 560, 40, 4, 6);
    int wrong = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 560; ++x)
            wrong += Channel(image, x, y, 16) != expected[static_cast<size_t>(y) * 560 + x];
    EXPECT_EQ(wrong, 0);
}

// The mode-0 glyph font with an effect against the effect composed here.
TEST_F(GlyphText, ShadowAndOutlineArePlacedExactly)
{
    const std::string text = winapi::Utf8ToSjis("今A");
    const auto plain = ComposeLine(reference, text, 20, true, 560, 40, 6, 6);
    for (uint8_t effect : {1, 2}) {
        SCOPED_TRACE(effect);
        CGlyphFont font;
        ASSERT_EQ(font.SetFont(20, 0, 0, kGothic()), 0);
        font.SetAntialias(0);
        font.SetEffect(effect, 255, 0, 0);
        font.SetShadowOffset(2, 1);
        font.SetOutline(1024, 2);
        image.FillRect32(0, nullptr);
        ASSERT_EQ(font.DrawText(&image, 6, 6, text.c_str(), nullptr, nullptr), 0);
        int wrong = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 560; ++x) {
                const bool ink = plain[static_cast<size_t>(y) * 560 + x] != 0;
                bool under = false;
                if (effect == 1) {
                    under = x >= 2 && y >= 1 && plain[static_cast<size_t>(y - 1) * 560 + x - 2] != 0;
                } else {
                    for (int dy = -2; dy <= 2 && !under; ++dy)
                        for (int dx = -2; dx <= 2 && !under; ++dx)
                            under = ApproxDistance(dx, dy) <= 2 && y + dy >= 0 && x + dx >= 0 &&
                                    y + dy < 40 && x + dx < 560 &&
                                    plain[static_cast<size_t>(y + dy) * 560 + x + dx] != 0;
                }
                const uint32_t want = ink ? 0xFFFFFF : under ? 0xFF0000 : 0;
                wrong += (static_cast<uint32_t>(image.GetPixel(x, y)) & 0xFFFFFF) != want;
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(GlyphText, GradientColoursEachRowAndEachColumnWhenTurned)
{
    CCosTable table;
    g_pCosTable = &table;
    for (int32_t angle : {0, 2700}) {
        SCOPED_TRACE(angle);
        CGlyphFont font;
        ASSERT_EQ(font.SetFont(24, 0, 0, kGothic()), 0);
        font.SetAntialias(0);
        ASSERT_EQ(font.SetAngle(angle), 0);
        ASSERT_EQ(font.SetGradient(1, 0xFF0000, 0x0000FF, 1), 0);
        CGradientRamp ramp;
        ASSERT_EQ(ramp.Build(24, 0xFF0000, 0x0000FF, 32), 0);
        image.FillRect32(0, nullptr);
        const std::string text = winapi::Utf8ToSjis("■");
        ASSERT_EQ(font.DrawText(&image, 100, 4, text.c_str(), nullptr, nullptr), 0);
        CGlyphBitmap* g = font.GetGlyph(0x81A1, 24, 0, 0, 0, 0);
        ASSERT_NE(g, nullptr);
        const int gx = 100 + g->left, gy = 4 + g->top;
        int64_t start = angle == 0 ? std::llabs(g->top) : std::llabs(-24 - g->left);
        start = std::max<int64_t>(0, std::min<int64_t>(start, 24 - (angle == 0 ? g->height : g->width)));
        int checked = 0, wrong = 0;
        for (uint32_t y = 0; y < g->height; ++y)
            for (uint32_t x = 0; x < g->width; ++x) {
                if (g->pixels[y * g->pitch + x] < 128)
                    continue;
                const uint32_t want = ramp.Colors()[start + (angle == 0 ? y : x)] & 0xFFFFFF;
                wrong += (static_cast<uint32_t>(
                              image.GetPixel(gx + static_cast<int>(x), gy + static_cast<int>(y))) &
                          0xFFFFFF) != want;
                ++checked;
            }
        EXPECT_GT(checked, 100);
        EXPECT_EQ(wrong, 0);
    }
    g_pCosTable = nullptr;
}

TEST_F(GlyphText, DrawTextWithAlphaWritesCoverageForEachEffect)
{
    const std::string text = winapi::Utf8ToSjis("日");
    for (uint8_t effect : {0, 1, 2}) {
        SCOPED_TRACE(effect);
        CGlyphFont font;
        ASSERT_EQ(font.SetFont(20, 0, 0, kGothic()), 0);
        font.SetAntialias(2);
        font.SetEffect(effect, 0, 0, 255);
        font.SetShadowOffset(3, 3);
        font.SetOutline(1024, 1);
        image.FillRect32(0, nullptr);
        ASSERT_EQ(font.DrawTextWithAlpha(&image, 10, 5, text.c_str(), nullptr, nullptr), 0);
        CGlyphBitmap* g = font.GetGlyph(0x93FA, 20, 0, 0, 0, 0);
        ASSERT_NE(g, nullptr);
        CGlyphBitmap* ring = font.GetGlyph(0x93FA, 20, 1, 0, 0, 0);
        ASSERT_NE(ring, nullptr);
        int wrong = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) {
                auto at = [](const CGlyphBitmap* b, int px, int py) -> int {
                    return px >= 0 && py >= 0 && px < static_cast<int>(b->width) &&
                                   py < static_cast<int>(b->height)
                               ? b->pixels[static_cast<uint32_t>(py) * b->pitch + static_cast<uint32_t>(px)]
                               : 0;
                };
                const int own = at(g, x - 10 - g->left, y - 5 - g->top);
                int want = own;
                if (effect == 1) {
                    const int shadow = at(g, x - 13 - g->left, y - 8 - g->top);
                    want = 255 - (255 - own) * (255 - shadow) / 255;
                } else if (effect == 2) {
                    want = at(ring, x - 10 - ring->left, y - 5 - ring->top);
                }
                wrong += std::abs(Channel(image, x, y, 24) - want) > 1;
            }
        EXPECT_EQ(wrong, 0);
    }
}

} // namespace
