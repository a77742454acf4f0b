// GDI fonts of the stand-in against FreeType's own rendering of the same face file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "font_reference.h"
#include "winapi/gdi.h"
#include "winapi/gdi_memory_dc.h"
#include "winapi/text.h"
#include "winapi/fonts/font_engine.h"

namespace {

using font_reference::Glyph;

HFONT MakeFont(const char* faceUtf8, int height, int escapement = 0, BYTE quality = NONANTIALIASED_QUALITY,
               LONG weight = FW_NORMAL)
{
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfEscapement = lf.lfOrientation = escapement;
    lf.lfWeight = weight;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfQuality = quality;
    const std::string sjis = winapi::Utf8ToSjis(faceUtf8);
    std::memcpy(lf.lfFaceName, sjis.data(), std::min<size_t>(sjis.size(), LF_FACESIZE - 1));
    return CreateFontIndirectA(&lf);
}

// A DC with a font selected, freed at the end of the scope.
struct FontDc {
    HDC dc;
    HFONT font;
    HGDIOBJ old;
    explicit FontDc(HFONT f) : dc(CreateCompatibleDC(nullptr)), font(f), old(SelectObject(dc, f)) {}
    ~FontDc()
    {
        SelectObject(dc, old);
        DeleteObject(font);
        DeleteDC(dc);
    }
};

const MAT2 kIdentity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};

// The glyph as GetGlyphOutlineA gives it, expanded to one byte a pixel (0/255 or 0..levels).
Glyph Outline(HDC dc, UINT code, UINT format, DWORD* result)
{
    Glyph g;
    GLYPHMETRICS gm{};
    const DWORD size = GetGlyphOutlineA(dc, code, format, &gm, 0, nullptr, &kIdentity);
    *result = size;
    if (size == GDI_ERROR)
        return g;
    g.found = true;
    g.left = gm.gmptGlyphOrigin.x;
    g.top = gm.gmptGlyphOrigin.y;
    g.advance = gm.gmCellIncX;
    if (size == 0)
        return g;
    std::vector<BYTE> buffer(size);
    EXPECT_EQ(GetGlyphOutlineA(dc, code, format, &gm, size, buffer.data(), &kIdentity), size);
    g.width = static_cast<int>(gm.gmBlackBoxX);
    g.rows = static_cast<int>(gm.gmBlackBoxY);
    const size_t pitch = size / g.rows;
    g.pixels.resize(static_cast<size_t>(g.width) * g.rows);
    for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.width; ++x) {
            const BYTE* row = buffer.data() + pitch * y;
            g.pixels[static_cast<size_t>(y) * g.width + x] =
                format == GGO_BITMAP ? ((row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0) : row[x];
        }
    return g;
}

struct CodeCase {
    const char* name;
    UINT code;
};
const CodeCase kCodes[] = {
    {"hiragana a", 0x82A0}, {"kanji kan", 0x8ABF}, {"ascii A", 0x41},     {"ascii g", 0x67},
    {"half-width a", 0xB1}, {"comma", 0x8141},     {"full stop", 0x8142}, {"exclamation", 0x8149},
};

TEST(GdiFonts, AFreshDcMeasuresWithTheStockFont)
{
    // First in the program: the stock font is made by the measuring call itself.
    HDC dc = CreateCompatibleDC(nullptr);
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "AB", 2, &size));
    EXPECT_GT(size.cx, 0);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), GetStockObject(SYSTEM_FONT));
    DeleteDC(dc);
}

TEST(GdiFonts, CodeTableMapsCp932)
{
    EXPECT_EQ(winapi::SjisCodeToUnicode(0x82A0), U'あ');
    EXPECT_EQ(winapi::SjisCodeToUnicode(0xB1), U'ｱ');
    EXPECT_EQ(winapi::SjisCodeToUnicode(0x41), U'A');
    EXPECT_EQ(winapi::SjisCodeToUnicode(0x815F), U'＼');
    EXPECT_EQ(winapi::SjisCodeToUnicode(0x8540), 0u); // unassigned row
    EXPECT_EQ(winapi::SjisCodeToUnicode(0x81), 0u);   // lone lead byte
    EXPECT_EQ(winapi::SjisCodeToUnicode(0x817F), 0u); // trail out of range
}

TEST(GdiFonts, BitmapsEqualFreeTypeMonoAndGreyWithinOneLevel)
{
    font_reference::Face reference("IPAGothic");
    ASSERT_NE(reference.Get(), nullptr);
    for (int em : {12, 16, 24, 33}) {
        FontDc dc(MakeFont("ＭＳ ゴシック", -em));
        for (const CodeCase& c : kCodes) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(em));
            const char32_t u = winapi::SjisCodeToUnicode(c.code);
            const Glyph mono = reference.Render(u, em, true);
            DWORD result = 0;
            const Glyph ours = Outline(dc.dc, c.code, GGO_BITMAP, &result);
            ASSERT_TRUE(ours.found);
            EXPECT_EQ(ours.width, mono.width);
            EXPECT_EQ(ours.rows, mono.rows);
            EXPECT_EQ(ours.left, mono.left);
            EXPECT_EQ(ours.top, mono.top);
            EXPECT_EQ(ours.advance, mono.advance);
            EXPECT_EQ(ours.pixels, mono.pixels);

            const Glyph grey = reference.Render(u, em, false);
            const Glyph ours8 = Outline(dc.dc, c.code, GGO_GRAY8_BITMAP, &result);
            ASSERT_EQ(ours8.width, grey.width);
            ASSERT_EQ(ours8.rows, grey.rows);
            EXPECT_EQ(ours8.left, grey.left);
            EXPECT_EQ(ours8.top, grey.top);
            int worst = 0;
            for (size_t i = 0; i < grey.pixels.size(); ++i)
                worst = std::max(worst, std::abs(ours8.pixels[i] * 255 / 64 - grey.pixels[i]) * 64 / 255);
            EXPECT_LE(worst, 1);
        }
    }
}

TEST(GdiFonts, CodesWithoutGlyphsFailAndSpacesHaveNoInk)
{
    FontDc dc(MakeFont("MS Gothic", -16));
    GLYPHMETRICS gm{};
    for (UINT code : {0x8540u, 0xF040u, 0x81u, 0x9Fu, 0xE0u}) {
        EXPECT_EQ(GetGlyphOutlineA(dc.dc, code, GGO_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR) << code;
        const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code)};
        SIZE size{};
        ASSERT_TRUE(GetTextExtentPoint32A(dc.dc, code > 255 ? bytes : bytes + 1, code > 255 ? 2 : 1, &size));
        EXPECT_EQ(size.cx, 0) << code;
    }
    EXPECT_EQ(GetGlyphOutlineA(dc.dc, ' ', GGO_BITMAP, &gm, 0, nullptr, &kIdentity), 0u);
    EXPECT_GT(gm.gmCellIncX, 0);
    // Other formats and short buffers fail.
    EXPECT_EQ(GetGlyphOutlineA(dc.dc, 'A', GGO_NATIVE, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    BYTE small[4];
    EXPECT_EQ(GetGlyphOutlineA(dc.dc, 0x8ABF, GGO_GRAY8_BITMAP, &gm, sizeof small, small, &kIdentity),
              GDI_ERROR);
    winapi::SetGreyGlyphFormatsRefused(true);
    EXPECT_EQ(GetGlyphOutlineA(dc.dc, 'A', GGO_GRAY8_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    EXPECT_NE(GetGlyphOutlineA(dc.dc, 'A', GGO_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    winapi::SetGreyGlyphFormatsRefused(false);
}

TEST(GdiFonts, MetricsAndExtentsFollowFreeType)
{
    font_reference::Face reference("IPAPGothic");
    for (int em : {13, 24}) {
        FontDc dc(MakeFont("ＭＳ Ｐゴシック", -em));
        TEXTMETRICA tm{};
        ASSERT_TRUE(GetTextMetricsA(dc.dc, &tm));
        int ascent = 0, descent = 0;
        reference.Extent(em, &ascent, &descent);
        EXPECT_EQ(tm.tmAscent, ascent);
        EXPECT_EQ(tm.tmDescent, descent);
        EXPECT_EQ(tm.tmHeight, ascent + descent);
        EXPECT_EQ(tm.tmInternalLeading, ascent + descent - em);
        EXPECT_EQ(tm.tmCharSet, SHIFTJIS_CHARSET);
        const std::string text = winapi::Utf8ToSjis("日本語 Text");
        int expected = 0;
        for (unsigned i = 0; i < text.size(); ++i) {
            const auto b = static_cast<unsigned char>(text[i]);
            const unsigned code =
                winapi::IsSjisLeadByte(b) ? b * 256u + static_cast<unsigned char>(text[++i]) : b;
            expected += reference.Render(winapi::SjisCodeToUnicode(code), em, true).advance;
        }
        SIZE size{};
        ASSERT_TRUE(GetTextExtentPoint32A(dc.dc, text.data(), static_cast<int>(text.size()), &size));
        EXPECT_EQ(size.cx, expected);
        EXPECT_EQ(size.cy, tm.tmHeight);
    }
    // Positive heights are cell heights.
    FontDc cell(MakeFont("MS PGothic", 40));
    TEXTMETRICA tm{};
    GetTextMetricsA(cell.dc, &tm);
    EXPECT_NEAR(tm.tmHeight, 40, 1);
    EXPECT_EQ(MakeFont("MS PGothic", -4097), nullptr);
}

// Pixels set in `a` that are unset in `b` shifted by (dx, dy), and the other way round.
int Mismatch(const Glyph& a, const Glyph& b, int dx, int dy)
{
    int count = 0;
    for (int y = -2; y < std::max(a.rows, b.rows) + 4; ++y)
        for (int x = -2; x < std::max(a.width, b.width) + 4; ++x)
            count += a.At(x, y) != b.At(x - dx, y - dy);
    return count;
}

// The glyph turned a quarter clockwise (escapement 2700), expressed as a glyph box.
Glyph TurnClockwise(const Glyph& g)
{
    Glyph t;
    t.found = true;
    t.width = g.rows;
    t.rows = g.width;
    t.pixels.assign(static_cast<size_t>(t.width) * t.rows, 0);
    for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.width; ++x)
            t.pixels[static_cast<size_t>(x) * t.width + (g.rows - 1 - y)] =
                g.pixels[static_cast<size_t>(y) * g.width + x];
    return t;
}

int BestMismatch(const Glyph& a, const Glyph& b)
{
    int best = 1 << 30;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            best = std::min(best, Mismatch(a, b, dx, dy));
    return best;
}

TEST(GdiFonts, EscapementTurnsGlyphsAndAtFacesStandUpright)
{
    FontDc plain(MakeFont("MS Gothic", -32));
    FontDc turned(MakeFont("MS Gothic", -32, 2700));
    FontDc vertical(MakeFont("@MS Gothic", -32, 2700));
    DWORD r = 0;
    for (UINT code : {0x8ABFu, 0x82A0u}) {
        const Glyph upright = Outline(plain.dc, code, GGO_BITMAP, &r);
        const Glyph side = Outline(turned.dc, code, GGO_BITMAP, &r);
        EXPECT_LE(BestMismatch(side, TurnClockwise(upright)), 12) << code;
        // The "@" face turns double-byte characters back: upright again, only shifted.
        const Glyph standing = Outline(vertical.dc, code, GGO_BITMAP, &r);
        EXPECT_EQ(BestMismatch(standing, upright), 0) << code;
    }
    // "、" in the "@" face sits in the upper right of its upright cell; the plain face's turned
    // comma lies at the cell's left. Cell columns run from x - tmHeight to x, rows from y.
    TEXTMETRICA tm{};
    GetTextMetricsA(vertical.dc, &tm);
    auto centre = [&](const Glyph& g, double* column, double* row) {
        *column = g.left + tm.tmDescent + g.width / 2.0;
        *row = -g.top + g.rows / 2.0;
    };
    double column = 0, row = 0;
    centre(Outline(vertical.dc, 0x8141, GGO_BITMAP, &r), &column, &row);
    EXPECT_GT(column, tm.tmHeight / 2.0);
    EXPECT_LT(row, 16.0);
    centre(Outline(turned.dc, 0x8141, GGO_BITMAP, &r), &column, &row);
    EXPECT_LT(column, tm.tmHeight / 2.0);
}

TEST(GdiFonts, SelectObjectSwapsFontsAndDeletedFontsStayUsable)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = MakeFont("MS Mincho", -20);
    ASSERT_NE(font, nullptr);
    HGDIOBJ stock = SelectObject(dc, font);
    EXPECT_EQ(stock, GetStockObject(SYSTEM_FONT));
    EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    EXPECT_TRUE(DeleteObject(font));
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 20);
    HFONT other = MakeFont("Unknown Face Name", -10);
    EXPECT_EQ(SelectObject(dc, other), reinterpret_cast<HGDIOBJ>(font));
    EXPECT_FALSE(DeleteObject(GetStockObject(SYSTEM_FONT)));
    SelectObject(dc, stock);
    DeleteObject(other);
    DeleteDC(dc);
    // A face name that fills all 32 bytes without NUL is read within them.
    LOGFONTA lf{};
    lf.lfHeight = -12;
    std::memset(lf.lfFaceName, 'x', sizeof lf.lfFaceName);
    HFONT full = CreateFontIndirectA(&lf);
    EXPECT_NE(full, nullptr);
    DeleteObject(full);
}

struct DepthCase {
    const char* name;
    int bpp;
    bool r5g6b5;
};

TEST(GdiFonts, TextOutSetsExactlyFreeTypesMonoPixelsAtEveryDepth)
{
    font_reference::Face reference("IPAGothic");
    const int em = 20;
    const std::string text = winapi::Utf8ToSjis("漢A");
    // The expected picture: 1 where FreeType's mono glyph is set.
    const int width = 64, height = 32, x0 = 3, y0 = 2;
    TEXTMETRICA tm{};
    std::vector<int> expected(width * height, 0);
    {
        FontDc probe(MakeFont("MS Gothic", -em));
        GetTextMetricsA(probe.dc, &tm);
        int pen = x0;
        for (char32_t u : {U'漢', U'A'}) {
            const Glyph g = reference.Render(u, em, true);
            for (int y = 0; y < g.rows; ++y)
                for (int x = 0; x < g.width; ++x)
                    if (g.At(x, y))
                        expected[(y0 + tm.tmAscent - g.top + y) * width + pen + g.left + x] = 1;
            pen += g.advance;
        }
    }
    const DepthCase depths[] = {
        {"8", 8, false}, {"555", 16, false}, {"565", 16, true}, {"24", 24, false}, {"32", 32, false}};
    for (const DepthCase& d : depths) {
        SCOPED_TRACE(d.name);
        struct {
            BITMAPINFOHEADER header;
            DWORD masks[256];
        } info{};
        info.header.biSize = sizeof(BITMAPINFOHEADER);
        info.header.biWidth = width;
        info.header.biHeight = -height;
        info.header.biPlanes = 1;
        info.header.biBitCount = static_cast<WORD>(d.bpp);
        info.header.biCompression = d.r5g6b5 ? BI_BITFIELDS : BI_RGB;
        if (d.r5g6b5) {
            info.masks[0] = 0xF800;
            info.masks[1] = 0x07E0;
            info.masks[2] = 0x001F;
        } else {
            for (int i = 0; i < 256; ++i)
                info.masks[i] = static_cast<DWORD>(i * 0x010101); // grey ramp for 8 bits
        }
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                          &bits, nullptr, 0);
        ASSERT_NE(bitmap, nullptr);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        std::memset(bits, 0xFF, static_cast<size_t>(((width * d.bpp + 31) / 32) * 4) * height);
        HFONT font = MakeFont("MS Gothic", -em);
        HGDIOBJ oldFont = SelectObject(dc, font);
        const COLORREF colour = d.bpp == 8    ? RGB(15, 15, 15)
                                : d.bpp == 16 ? RGB(8, 16, 248)
                                              : RGB(10, 20, 30);
        SetTextColor(dc, colour);
        SetBkMode(dc, TRANSPARENT);
        ASSERT_TRUE(TextOutA(dc, x0, y0, text.data(), static_cast<int>(text.size())));
        const int pitch = ((width * d.bpp + 31) / 32) * 4;
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const BYTE* p = static_cast<BYTE*>(bits) + pitch * y + x * d.bpp / 8;
                uint32_t v = 0;
                std::memcpy(&v, p, static_cast<size_t>(d.bpp / 8));
                const uint32_t white = d.bpp == 32 ? 0xFFFFFFFFu
                                                   : (d.bpp == 8    ? 0xFFu
                                                      : d.bpp == 16 ? 0xFFFFu
                                                                    : 0xFFFFFFu);
                uint32_t ink = 0;
                switch (d.bpp) {
                case 8:
                    ink = 15;
                    break; // nearest entry of the grey ramp
                case 16:
                    ink = d.r5g6b5 ? ((248u >> 3) | ((16u >> 2) << 5) | ((8u >> 3) << 11))
                                   : ((248u >> 3) | ((16u >> 3) << 5) | ((8u >> 3) << 10));
                    break;
                case 24:
                    ink = 0x0A141E;
                    break;
                case 32:
                    ink = 0x000A141E;
                    break; // alpha 0
                }
                wrong += v != (expected[y * width + x] ? ink : white);
            }
        EXPECT_EQ(wrong, 0);
        // Opaque mode fills the cell box in the background colour.
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, RGB(0, 0, 0));
        ASSERT_TRUE(TextOutA(dc, x0, y0, text.data(), static_cast<int>(text.size())));
        SIZE extent{};
        GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &extent);
        auto first = [&](int x, int y) { return static_cast<BYTE*>(bits)[pitch * y + x * d.bpp / 8]; };
        // The box's last pixel (no ink there) takes the black background; the pixel right of it
        // stays white.
        ASSERT_EQ(expected[(y0 + extent.cy - 1) * width + x0 + extent.cx - 1], 0);
        EXPECT_EQ(first(x0 + extent.cx - 1, y0 + extent.cy - 1), 0);
        EXPECT_EQ(first(x0 + extent.cx, y0 + extent.cy - 1), 0xFF);
        SelectObject(dc, oldFont);
        DeleteObject(font);
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
}

int CALLBACK CollectFaces(const LOGFONTA* font, const TEXTMETRICA*, DWORD type, LPARAM lParam)
{
    auto* list = reinterpret_cast<std::vector<std::pair<std::string, DWORD>>*>(lParam);
    list->emplace_back(winapi::SjisToUtf8(font->lfFaceName) + "/" + std::to_string(font->lfCharSet), type);
    return 1;
}

int CALLBACK StopAtFirst(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM lParam)
{
    ++*reinterpret_cast<int*>(lParam);
    return 0;
}

TEST(GdiFonts, EnumerationListsEachFamilyOncePerCharsetWithVerticalTwins)
{
    LOGFONTA lf{};
    lf.lfCharSet = SHIFTJIS_CHARSET;
    std::vector<std::pair<std::string, DWORD>> faces;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(dc, &lf, CollectFaces, reinterpret_cast<LPARAM>(&faces), 0);
    for (const char* name :
         {"IPAゴシック/128", "IPA Pゴシック/128", "IPA明朝/128", "IPA P明朝/128", "@IPAゴシック/128"}) {
        int count = 0;
        for (auto& [face, type] : faces)
            if (face == name) {
                ++count;
                EXPECT_EQ(type, static_cast<DWORD>(TRUETYPE_FONTTYPE));
            }
        EXPECT_EQ(count, 1) << name;
    }
    // An enumerated Japanese name creates that family's font.
    HFONT font = MakeFont("IPA明朝", -16);
    EXPECT_NE(font, nullptr);
    DeleteObject(font);
    int calls = 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    EXPECT_EQ(EnumFontFamiliesExA(dc, &lf, StopAtFirst, reinterpret_cast<LPARAM>(&calls), 0), 0);
    EXPECT_EQ(calls, 1);
    ReleaseDC(nullptr, dc);
}

// Face files are read through a few cached blocks: every range reads the file's own bytes, across
// block edges, past the cache's size, at the end and past it.
TEST(GdiFonts, FontFileReadsTheFilesBytesAtAnyRange)
{
    const unsigned long block = winapi::FontFile::kBlockBytes;
    const unsigned long size = block * (winapi::FontFile::kBlocks + 5) + 123; // more than the cache holds
    std::vector<unsigned char> bytes(size);
    std::mt19937 random(7);
    for (auto& b : bytes)
        b = static_cast<unsigned char>(random());
    const std::string path = ::testing::TempDir() + "font_file_blocks.bin";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
    winapi::FontFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(file.Size(), size);
    struct Case {
        unsigned long offset, count, expected;
    };
    const Case cases[] = {
        {0, 4, 4},                            // a field
        {block - 2, 4, 4},                    // across a block edge
        {block * 3 + 5, block, block},        // a whole block's worth over two blocks
        {block * 2, block * 3, block * 3},    // larger than a block: read directly
        {size - 3, 10, 3},                    // cut at the end
        {size, 4, 0},                         // at the end
        {size + block, 4, 0},                 // past it
    };
    std::vector<unsigned char> got(block * 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        ASSERT_EQ(file.Read(c.offset, got.data(), c.count), c.expected);
        EXPECT_EQ(0, std::memcmp(got.data(), bytes.data() + std::min(c.offset, size), c.expected));
    }
    // Random small reads over every block, twice round: evicted blocks come back right.
    for (int i = 0; i < 2000; ++i) {
        const unsigned long offset = random() % size, count = 1 + random() % 64;
        const unsigned long expected = std::min(count, size - offset);
        ASSERT_EQ(file.Read(offset, got.data(), count), expected);
        ASSERT_EQ(0, std::memcmp(got.data(), bytes.data() + offset, expected)) << offset;
    }
    // Neighbouring fields share a block: one system read for many.
    const uint64_t before = file.SystemReads();
    for (unsigned long at = block * 7; at < block * 7 + 256; at += 4)
        file.Read(at, got.data(), 4);
    EXPECT_LE(file.SystemReads() - before, 1u);
    std::remove(path.c_str());
    winapi::FontFile missing;
    EXPECT_FALSE(missing.Open(path));
    EXPECT_EQ(missing.Read(0, got.data(), 4), 0u);
}

} // namespace
