// Font setters and measuring, the glyph cache's edges, the grey fallback, image glyphs, the font
// list and the installed-font list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/picture_io.h"
#include "drawing/font_list.h"
#include "drawing/gdi_font.h"
#include "drawing/glyph_font.h"
#include "drawing/glyph_kernels.h"
#include "drawing/image_glyph_table.h"
#include "drawing/installed_font_list.h"
#include "drawing/text_image.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "platform/cos_table.h"
#include "raster/blend_tables.h"
#include "raster/image.h"
#include "winapi/text.h"

namespace {

const char* Gothic()
{
    return winapi::Sjis("ＭＳ ゴシック");
}

TEST(GlyphFont, MeasureStringCases)
{
    CGlyphFont glyph;
    CGdiFont gdi;
    ASSERT_EQ(glyph.SetFont(16, 0, 0, Gothic()), 0);
    ASSERT_EQ(gdi.SetFont(16, 0, 0, Gothic()), 0);
    SIZE a{};
    ASSERT_EQ(glyph.MeasureString("A", &a, nullptr, nullptr, 0, nullptr), 1);
    struct Case {
        const char* name;
        const char* text;
        int lines;
        int chars;
        LONG width; // -1: not checked
        LONG height;
    };
    const Case cases[] = {
        {"empty", "", 1, 0, 0, 16},
        {"two lines", "AB\nC", 2, 3, 2 * a.cx, 32},
        {"doubled at", "@@", 1, 1, -1, 16},
        {"picture then letter", "@12A", 1, 2, a.cx, 16}, // no table: the picture is 0 wide
        {"lone lead byte at the end", "A\x81", 1, 2, -1, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SIZE size{};
        int32_t count = -1;
        EXPECT_EQ(glyph.MeasureString(c.text, &size, nullptr, nullptr, 0, &count), c.lines);
        EXPECT_EQ(count, c.chars);
        if (c.width >= 0) {
            EXPECT_EQ(size.cx, c.width);
        }
        EXPECT_EQ(size.cy, c.height);
    }
    // Half-width katakana are one byte: "ｱA" is two characters on a GDI font too.
    int32_t count = 0;
    SIZE size{};
    EXPECT_EQ(gdi.MeasureString(winapi::Utf8ToSjis("ｱA").c_str(), &size, nullptr, nullptr, 0, &count), 1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(size.cx, 2 * a.cx);
    // Effects: outline adds twice the radius and offsets by -radius; a negative shadow offsets.
    glyph.SetEffect(2, 0, 0, 0);
    glyph.SetOutline(1024, 3);
    int32_t ox = 0, oy = 0;
    glyph.MeasureString("A", &size, &ox, &oy, 1, nullptr);
    EXPECT_EQ(size.cx, a.cx + 6);
    EXPECT_EQ(ox, -3);
    glyph.SetEffect(1, 0, 0, 0);
    glyph.SetShadowOffset(-2, 5);
    glyph.MeasureString("A", &size, &ox, &oy, 1, nullptr);
    EXPECT_EQ(size.cx, a.cx + 2);
    EXPECT_EQ(size.cy, 16 + 5);
    EXPECT_EQ(ox, -2);
    EXPECT_EQ(oy, 0);
    // Bold glyph fonts measure the regular width plus width / 50 + 1.
    CGlyphFont bold;
    ASSERT_EQ(bold.SetFont(16, 1, 0, Gothic()), 0);
    bold.MeasureString("A", &size, nullptr, nullptr, 0, nullptr);
    EXPECT_EQ(size.cx, a.cx + a.cx / 50 + 1);
    // Italic adds a third of the height.
    ASSERT_EQ(glyph.SetStyle(0, 1), 0);
    glyph.SetEffect(0, 0, 0, 0);
    glyph.MeasureString("A", &size, nullptr, nullptr, 0, nullptr);
    EXPECT_EQ(size.cx, a.cx + 16 / 3);
    // Widths measured once are not kept past a change of the font: each measure equals a fresh
    // font's of the same setting.
    const std::string kanji = winapi::Utf8ToSjis("漢字AB");
    ASSERT_EQ(glyph.SetStyle(0, 0), 0);
    for (int height : {16, 32, 16}) {
        for (uint8_t weight : {0, 1}) {
            SCOPED_TRACE(height * 10 + weight);
            ASSERT_EQ(glyph.SetFont(height, weight, 0, Gothic()), 0);
            CGlyphFont fresh;
            ASSERT_EQ(fresh.SetFont(height, weight, 0, Gothic()), 0);
            SIZE got{}, want{};
            glyph.MeasureString(kanji.c_str(), &got, nullptr, nullptr, 0, nullptr);
            fresh.MeasureString(kanji.c_str(), &want, nullptr, nullptr, 0, nullptr);
            EXPECT_EQ(got.cx, want.cx);
            EXPECT_EQ(got.cy, want.cy);
        }
    }
}

TEST(GlyphFont, SettersAnswerAsTheirTableSays)
{
    CGlyphFont glyph;
    CGdiFont gdi;
    EXPECT_EQ(glyph.MeasureString("A", nullptr, nullptr, nullptr, 0, nullptr), 0); // not built yet
    CImage image;
    ASSERT_EQ(image.Create(8, 8, 32, 0), 0);
    EXPECT_EQ(glyph.DrawText(&image, 0, 0, "A", nullptr, nullptr), 1);
    ASSERT_EQ(glyph.SetFont(16, 0, 0, Gothic()), 0);
    ASSERT_EQ(gdi.SetFont(16, 0, 0, Gothic()), 0);
    EXPECT_EQ(glyph.SetHeight(16), 0);
    EXPECT_EQ(glyph.SetHeight(-16), 0);
    EXPECT_EQ(gdi.SetFaceName(nullptr), 2);
    EXPECT_EQ(glyph.SetFaceName(nullptr), 3);
    EXPECT_EQ(glyph.SetFaceName(Gothic()), 0);
    EXPECT_EQ(glyph.SetStyle(0, 0), 0);
    TEXTMETRICA tm{};
    GetTextMetricsA(glyph.m_hDC, &tm);
    EXPECT_EQ(glyph.m_baselineX, 0);
    EXPECT_EQ(glyph.m_baselineY, tm.tmAscent);
    CCosTable table;
    g_pCosTable = &table;
    EXPECT_EQ(glyph.SetAngle(2700), 0);
    EXPECT_EQ(glyph.m_baselineX, -tm.tmAscent);
    EXPECT_EQ(glyph.m_baselineY, 0);
    EXPECT_EQ(glyph.SetAngle(-900), 0); // the same turn as 2700, now signed
    EXPECT_EQ(glyph.m_baselineX, -tm.tmAscent);
    g_pCosTable = nullptr;
    // A face name of 32 bytes or more is cut at a character boundary.
    std::string longName;
    for (int i = 0; i < 20; ++i)
        longName += winapi::Sjis("あ");
    EXPECT_EQ(glyph.SetFaceName(longName.c_str()), 0);
    EXPECT_EQ(std::strlen(glyph.m_logFont.lfFaceName), 30u);
    // An em beyond what GDI makes fails and releases everything.
    EXPECT_EQ(glyph.SetHeight(100000), 2);
    EXPECT_EQ(glyph.m_hDC, nullptr);
    EXPECT_EQ(gdi.SetHeight(100000), 1);
}

CGlyphBitmap* NewGlyph()
{
    return new CGlyphBitmap;
}

TEST(GlyphCache, EvictsTheLeastRecentlyUsedAndKeepsChainsReachable)
{
    CGlyphCache cache(3);
    auto store = [&](uint32_t code) {
        return cache.Store(CGlyphCache::MakeKey(code, 16, 0, 0, 0), CGlyphCache::MakeHash(code, 16, 0, 0, 0),
                           NewGlyph());
    };
    auto find = [&](uint32_t code) {
        return cache.Find(CGlyphCache::MakeKey(code, 16, 0, 0, 0), CGlyphCache::MakeHash(code, 16, 0, 0, 0));
    };
    // 0x0101 and 0x0202 hash alike (the code bytes cancel): one bucket entry, one chained.
    EXPECT_EQ(CGlyphCache::MakeHash(0x0101, 16, 0, 0, 0), CGlyphCache::MakeHash(0x0202, 16, 0, 0, 0));
    store(0x0101);
    store(0x0202);
    store('A');
    EXPECT_EQ(cache.Count(), 3u);
    store('B'); // evicts 0x0101, the bucket entry
    EXPECT_EQ(cache.Count(), 3u);
    EXPECT_EQ(find(0x0101), nullptr);
    EXPECT_NE(find(0x0202), nullptr); // still reachable behind the freed bucket entry
    store('C');                       // 'A' is now the oldest
    EXPECT_EQ(find('A'), nullptr);
    EXPECT_NE(find('B'), nullptr);
    // Heights 1024 apart are different keys.
    EXPECT_NE(CGlyphCache::MakeKey('A', 16, 0, 0, 0), CGlyphCache::MakeKey('A', 16 + 1024, 0, 0, 0));
    cache.Clear();
    EXPECT_EQ(cache.Count(), 0u);
    EXPECT_EQ(find('B'), nullptr);
}

TEST(GlyphCache, FontKeepsAtMostTheLimitAndRasterisesTheEvictedAgain)
{
    CGlyphFont font;
    font.m_cache.SetLimit(512);
    ASSERT_EQ(font.SetFont(12, 0, 0, Gothic()), 0);
    std::vector<uint32_t> codes;
    for (uint32_t trail = 0x40; codes.size() < 513; ++trail) {
        const uint32_t lead = 0x89 + (trail - 0x40) / 0xBC;
        const uint32_t t = 0x40 + (trail - 0x40) % 0xBC;
        if (t == 0x7F)
            continue;
        codes.push_back(lead * 256 + t);
    }
    CGlyphBitmap* first = font.GetGlyph(codes[0], 12, 0, 0, 0, 0);
    ASSERT_NE(first, nullptr);
    for (size_t i = 1; i < codes.size(); ++i)
        ASSERT_NE(font.GetGlyph(codes[i], 12, 0, 0, 0, 0), nullptr);
    EXPECT_EQ(font.m_cache.Count(), 512u);
    const uint64_t misses = font.m_cache.Misses();
    font.GetGlyph(codes[0], 12, 0, 0, 0, 0); // evicted: rasterised again, evicting the second
    EXPECT_EQ(font.m_cache.Misses(), misses + 1);
    font.GetGlyph(codes[2], 12, 0, 0, 0, 0);
    EXPECT_EQ(font.m_cache.Misses(), misses + 1);
    font.GetGlyph(codes[1], 12, 0, 0, 0, 0);
    EXPECT_EQ(font.m_cache.Misses(), misses + 2);
    // h and h + 1024 are different glyphs; a space has no pixels but an advance.
    EXPECT_NE(font.GetGlyph('A', 12, 0, 0, 0, 0), font.GetGlyph('A', 12 + 1024, 0, 0, 0, 0));
    CGlyphBitmap* space = font.GetGlyph(' ', 12, 0, 0, 0, 0);
    ASSERT_NE(space, nullptr);
    EXPECT_EQ(space->pixels, nullptr);
    EXPECT_EQ(space->width, 0u);
    EXPECT_GT(space->advanceX, 0);
    EXPECT_EQ(font.GetGlyph(0x8540, 12, 0, 0, 0, 0), nullptr);
    EXPECT_EQ(font.GetGlyph(3, 12, 0, 0, 0, 1), nullptr); // a picture without a table
}

// An outlined glyph is its plain glyph's outline, pixel by pixel: grey coverage summed over the
// offsets within the radius, each weighted by its nearness and clamped at 255 (one-bit glyphs: set
// wherever ink lies within the radius), moved up and left by the radius; whether the plain glyph
// was cached first, drawn after, or the cache is off.
TEST(GlyphFont, OutlinedGlyphsAreTheirPlainGlyphsOutline)
{
    const uint32_t codes[] = {'A', 'g', ' ', 0x82A0, 0x8ABF}; // あ, 漢
    for (const int size : {13, 24, 37})
        for (const uint8_t antialias : {0, 1, 2})
            for (const uint8_t bold : {0, 1})
                for (const auto& [strength, radius] : {std::pair{2, 2}, {1024, 1}, {1024, 3}, {300, 0}, {100, 0}})
                    for (const int order : {0, 1, 2}) { // plain first, outline first, no cache
                        SCOPED_TRACE(testing::Message() << "size " << size << " antialias " << int{antialias}
                                                        << " bold " << int{bold} << " strength " << strength
                                                        << " radius " << radius << " order " << order);
                        CGlyphFont font;
                        ASSERT_EQ(font.SetFont(size, bold, 0, Gothic()), 0);
                        font.SetAntialias(antialias);
                        font.SetOutline(strength, radius);
                        if (order == 2)
                            font.m_cache.SetLimit(0);
                        for (const uint32_t code : codes) {
                            CGlyphBitmap* outlined = nullptr;
                            if (order == 1)
                                outlined = font.GetGlyph(code, size, 1, bold, 0, 0);
                            CGlyphBitmap* plain = font.GetGlyph(code, size, 0, bold, 0, 0);
                            if (order != 1)
                                outlined = font.GetGlyph(code, size, 1, bold, 0, 0);
                            ASSERT_NE(plain, nullptr);
                            ASSERT_NE(outlined, nullptr);
                            EXPECT_EQ(outlined->advanceX, plain->advanceX);
                            EXPECT_EQ(outlined->advanceY, plain->advanceY);
                            if (plain->pixels == nullptr) {
                                EXPECT_EQ(outlined->pixels, nullptr);
                                EXPECT_EQ(outlined->left, plain->left);
                                EXPECT_EQ(outlined->top, plain->top);
                            } else {
                                const int r = radius, w = int(plain->width), h = int(plain->height);
                                ASSERT_EQ(outlined->left, plain->left - r);
                                ASSERT_EQ(outlined->top, plain->top - r);
                                ASSERT_EQ(int(outlined->width), w + 2 * r);
                                ASSERT_EQ(int(outlined->height), h + 2 * r);
                                const int kernel = OutlineKernelValue(r);
                                auto source = [&](int x, int y) -> int {
                                    return x < 0 || y < 0 || x >= w || y >= h ? 0
                                                                              : plain->pixels[y * plain->pitch + x];
                                };
                                for (int y = 0; y < h + 2 * r; ++y)
                                    for (int x = 0; x < w + 2 * r; ++x) {
                                        int64_t want = 0;
                                        for (int dy = -r; dy <= r; ++dy)
                                            for (int dx = -r; dx <= r; ++dx) {
                                                const int d = ApproxDistance(dx, dy);
                                                const int s = source(x - r - dx, y - r - dy);
                                                if (d > r || s == 0)
                                                    continue;
                                                if (antialias == 0) {
                                                    want = 255;
                                                } else if (r == 0) {
                                                    want = strength >= 256 ? s : g_MulTable[strength][s];
                                                } else {
                                                    const int64_t weight = std::clamp<int64_t>(
                                                        (int64_t{r - d + 1} * strength * kernel) >> 8, 0, 1 << 24);
                                                    want += (s * weight) >> 16;
                                                }
                                            }
                                        ASSERT_EQ(outlined->pixels[y * outlined->pitch + x], std::min<int64_t>(want, 255))
                                            << "code " << code << " at " << x << "," << y;
                                    }
                            }
                            font.DoneWithGlyph(plain, false);
                            font.DoneWithGlyph(outlined, false);
                        }
                    }
}

TEST(GlyphFont, GreyFallbackReducesEnlargedBitmapsWhenGreyIsRefused)
{
    for (uint8_t mode : {1, 2}) {
        CGlyphFont font;
        font.m_cache.SetLimit(0);
        ASSERT_EQ(font.SetFont(24, 0, 0, Gothic()), 0);
        font.SetAntialias(mode);
        CGlyphBitmap* grey = font.GetGlyph(0x81A1, 24, 0, 0, 0, 0); // "■"
        winapi::SetGreyGlyphFormatsRefused(true);
        CGlyphBitmap* fallback = font.GetGlyph(0x81A1, 24, 0, 0, 0, 0);
        winapi::SetGreyGlyphFormatsRefused(false);
        ASSERT_NE(grey, nullptr);
        ASSERT_NE(fallback, nullptr);
        EXPECT_NEAR(static_cast<int>(fallback->width), static_cast<int>(grey->width), 1);
        EXPECT_NEAR(fallback->top, grey->top, 1);
        // The inside of the square is full: 16 (or 64) set bits scale to 255, not 256.
        EXPECT_EQ(fallback->pixels[(fallback->height / 2) * fallback->pitch + fallback->width / 2], 255);
        font.DoneWithGlyph(grey, false);
        font.DoneWithGlyph(fallback, false);
    }
}

// A 32-bit sheet whose cell i is filled with alpha 10 × (i + 1), 8 x 6 cells, 3 to a row.
void MakeSheet(CImage& sheet)
{
    ASSERT_EQ(sheet.Create(26, 20, 32, 0), 0);
    sheet.SetAlphaFlag(true);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 26; ++x) {
            const int cell = x < 24 ? (y / 6) * 3 + x / 8 : 99;
            auto* row = reinterpret_cast<uint32_t*>(sheet.GetRowAddress(y));
            row[x] = static_cast<uint32_t>(10 * (cell + 1)) << 24 | 0x123456;
        }
}

TEST(ImageGlyphTable, CutsCellsAcrossRowsAndRefusesWhatDoesNotFit)
{
    CImage sheet;
    MakeSheet(sheet);
    CImageGlyphTable table;
    struct Case {
        const char* name;
        int32_t count, width, height;
        uint32_t flags;
        int result;
    };
    const Case cases[] = {
        {"negative count", -1, 8, 6, 1, 2},
        {"empty cell", 4, 0, 6, 1, 2},
        {"cell wider than the sheet", 1, 27, 6, 1, 2},
        {"more cells than the sheet", 10, 8, 6, 1, 2},
        {"two variants too many", 5, 8, 6, 3, 2},
        {"fits", 7, 8, 6, 1, 0},
        {"two variants", 3, 8, 6, 3, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(table.Cut(sheet, c.count, c.width, c.height, c.flags), c.result) << c.name;
    // Two variants of three cells: the second starts on the next row of cells.
    CGlyphBitmap* first = table.GetGlyph(2, 1, 0);
    CGlyphBitmap* second = table.GetGlyph(0, 0, 0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->pixels[0], 30);
    EXPECT_EQ(second->pixels[5 * second->pitch + 7], 40);
    EXPECT_EQ(first->advanceX, 8);
    EXPECT_EQ(table.GetGlyph(3, 1, 0), nullptr);
    ASSERT_EQ(table.Cut(sheet, 7, 8, 6, 1), 0);
    EXPECT_EQ(table.GetGlyph(6, 1, 0)->pixels[0], 70); // third row of cells
    // Turned, outlined copies keep the turned advance.
    table.SetOutline(1024, 1, 6553);
    table.SetDirection(2700);
    CGlyphBitmap* turned = table.GetGlyph(0, 1, 1);
    ASSERT_NE(turned, nullptr);
    EXPECT_EQ(turned->advanceX, 0);
    EXPECT_EQ(turned->advanceY, 6);
    EXPECT_EQ(turned->width, 10u);
    EXPECT_EQ(turned->left, -8 - 1);
    CCosTable cosines;
    g_pCosTable = &cosines;
    table.SetDirection(900);
    EXPECT_EQ(table.GetGlyph(0, 1, 0)->advanceY, -6); // not zeroed
    g_pCosTable = nullptr;
}

TEST(ImageGlyphTable, LoadsSheetsThroughTheImageLoaders)
{
    CImage sheet;
    MakeSheet(sheet);
    pictures::Decoded picture;
    picture.width = 26;
    picture.height = 20;
    picture.hasAlpha = true;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 26; ++x)
            picture.pixels.push_back(static_cast<uint32_t>(sheet.GetPixel(x, y)));
    std::vector<uint8_t> bmp;
    std::string error;
    ASSERT_TRUE(pictures::EncodeBmp32(picture, bmp, &error)) << error;
    TempFolder dir;
    dir.Write("sheet.bmp", std::string(bmp.begin(), bmp.end()));
    CFileManager files;
    ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
    g_pFileManager = &files;
    CGllManager manager;
    ASSERT_EQ(RegisterBuiltinImageLoaders(manager), 0);
    g_pGllManager = &manager;
    CGlyphFont font;
    ASSERT_EQ(font.SetFont(16, 0, 0, Gothic()), 0);
    EXPECT_EQ(font.LoadImageGlyphs(dir.Windows("missing.bmp").c_str(), 7, 8, 6, 1), 1);
    ASSERT_EQ(font.LoadImageGlyphs(dir.Windows("sheet.bmp").c_str(), 7, 8, 6, 1), 0);
    ASSERT_NE(font.m_imageGlyphs, nullptr);
    CGlyphBitmap* cell = font.m_imageGlyphs->GetGlyph(4, 1, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->pixels[0], 50);
    EXPECT_EQ(font.LoadImageGlyphs(dir.Windows("sheet.bmp").c_str(), 7, 30, 6, 1), 2);
    EXPECT_EQ(font.m_imageGlyphs->Count(), 0);
    g_pGllManager = nullptr;
    g_pFileManager = nullptr;
}

TEST(ImageGlyphTable, PicturesDrawInPlaceOfEscapes)
{
    CImage sheet;
    MakeSheet(sheet);
    CGlyphFont font;
    ASSERT_EQ(font.SetFont(16, 0, 0, Gothic()), 0);
    ASSERT_EQ(font.CutImageGlyphs(sheet, 7, 8, 6, 1), 0);
    CGlyphFont other;
    other.ShareImageGlyphs(font.m_imageGlyphs); // both hold it; the last one deletes it
    SIZE size{};
    int32_t count = 0;
    font.MeasureString("@2@@", &size, nullptr, nullptr, 0, &count);
    EXPECT_EQ(count, 2);
    CImage image;
    ASSERT_EQ(image.Create(40, 20, 32, 0), 0);
    POINT end{};
    ASSERT_EQ(font.DrawString(&image, 1, 1, "@2", nullptr, &end), 0);
    EXPECT_EQ(end.x, 9);
    EXPECT_EQ(image.GetPixel(1, 1) & 0xFF, 0xFF * 30 / 255); // white blended by the cell's coverage
}

TEST(FontList, CreatesDeletesAndClearsTheDefault)
{
    CFontList list;
    CFont* gdi = nullptr;
    CFont* glyph = nullptr;
    ASSERT_EQ(list.CreateGdiFont(&gdi, Gothic(), 16), 0);
    ASSERT_EQ(list.CreateGlyphFont(&glyph, Gothic(), 20), 0);
    EXPECT_FALSE(gdi->IsGlyphFont());
    EXPECT_TRUE(glyph->IsGlyphFont());
    EXPECT_EQ(list.Count(), 2u);
    g_pDefaultFont = glyph;
    CFont* failed = reinterpret_cast<CFont*>(1);
    EXPECT_EQ(list.CreateGlyphFont(&failed, Gothic(), 100000), 2);
    EXPECT_EQ(failed, nullptr);
    EXPECT_EQ(list.Count(), 2u);
    CGlyphFont outside;
    CFont* stranger = &outside;
    EXPECT_EQ(list.DeleteFont(&stranger), 2);
    EXPECT_EQ(list.DeleteFont(&glyph), 0);
    EXPECT_EQ(glyph, nullptr);
    EXPECT_EQ(g_pDefaultFont, nullptr); // no dangling default
    EXPECT_EQ(list.DeleteFont(&glyph), 1);
    list.DeleteAllFonts();
    EXPECT_EQ(list.Count(), 0u);
}

TEST(TextImage, MakesImagesJustLargeEnough)
{
    CGlyphFont font;
    ASSERT_EQ(font.SetFont(16, 0, 0, Gothic()), 0);
    CImage image;
    EXPECT_EQ(CreateTextImage(&image, "", &font, 0), 1);
    EXPECT_EQ(image.GetBits(), nullptr);
    g_pDefaultFont = nullptr;
    EXPECT_EQ(CreateTextImage(&image, "A", nullptr, 0), 2);
    SIZE size{};
    font.MeasureString("AB", &size, nullptr, nullptr, 1, nullptr);
    ASSERT_EQ(CreateTextImage(&image, "AB", &font, 0), 0);
    EXPECT_EQ(image.GetWidth(), size.cx);
    EXPECT_EQ(image.GetHeight(), size.cy);
    EXPECT_TRUE(image.HasAlpha());
    CGdiFont gdi;
    ASSERT_EQ(gdi.SetFont(16, 0, 0, Gothic()), 0);
    gdi.SetAntialias(0);
    CImage plain;
    ASSERT_EQ(CreateTextImage(&plain, "AB", &gdi, 1), 0);
    EXPECT_EQ(plain.GetColorKey() & 0xFFFFFF, 0x00FF00u); // the background colour keyed out
    EXPECT_EQ(DrawTextIntoImage(&plain, 0, 0, "", &gdi), 1);
    EXPECT_EQ(DrawGlyphTextIntoImage(&plain, 0, 0, "A", &gdi), 2);
    CGlyphFont unbuilt;
    EXPECT_EQ(DrawTextIntoImage(&plain, 0, 0, "A", &unbuilt), 3);
}

TEST(InstalledFontList, FiltersReportsAsTheirFlagsSay)
{
    auto report = [](const char* face, BYTE charset, BYTE pitch) {
        LOGFONTA lf{};
        std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
        lf.lfCharSet = charset;
        lf.lfPitchAndFamily = pitch;
        return lf;
    };
    struct Case {
        const char* name;
        uint8_t flags;
        LOGFONTA font;
        uint32_t type;
        bool kept;
    };
    const Case cases[] = {
        {"flags 0 keep all", 0, report("Face", 0, VARIABLE_PITCH), RASTER_FONTTYPE, true},
        {"dollar always dropped", 0, report("$Face", 0, 0), TRUETYPE_FONTTYPE, false},
        {"truetype only", 1, report("Face", 0, 0), RASTER_FONTTYPE, false},
        {"fixed pitch only", 2, report("Face", 0, VARIABLE_PITCH), TRUETYPE_FONTTYPE, false},
        {"fixed pitch kept", 2, report("Face", 0, FIXED_PITCH), TRUETYPE_FONTTYPE, true},
        {"vertical dropped", 4, report("@Face", 128, 0), TRUETYPE_FONTTYPE, false},
        {"upright kept", 4, report("Face", 128, 0), TRUETYPE_FONTTYPE, true},
        {"other charset", 8, report("Face", 0, 0), TRUETYPE_FONTTYPE, false},
        {"charset kept", 8, report("Face", 128, 0), TRUETYPE_FONTTYPE, true},
    };
    for (const Case& c : cases) {
        CInstalledFontList list;
        list.EnumInstalledFonts(nullptr, c.flags, 128); // sets the filters
        const size_t before = list.Fonts().size();
        list.AddFont(&c.font, c.type);
        EXPECT_EQ(list.Fonts().size(), before + (c.kept ? 1 : 0)) << c.name;
    }
    CInstalledFontList list;
    const uint32_t all = list.EnumInstalledFonts(nullptr, 0, 0);
    const uint32_t japanese = list.EnumInstalledFonts(nullptr, 13, 128);
    EXPECT_LT(japanese, all); // a second enumeration replaces the first
    EXPECT_EQ(japanese, list.Fonts().size());
    for (const char* name : {"IPAゴシック", "IPA Pゴシック", "IPA明朝", "IPA P明朝"}) {
        int count = 0;
        for (const LOGFONTA& f : list.Fonts()) {
            EXPECT_NE(f.lfFaceName[0], '@');
            count += winapi::SjisToUtf8(f.lfFaceName) == name;
        }
        EXPECT_EQ(count, 1) << name;
    }
}

} // namespace
