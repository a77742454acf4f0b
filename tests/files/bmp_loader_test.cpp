// The BMP loader against ImageMagick's convert (files it wrote, pixels it decodes), the BMP
// writer read back by convert, and bad bitmaps that must be refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "authoring/sample_pictures.h"
#include "files/bmp_loader.h"
#include "gll_test_support.h"
#include "winapi/gdi.h"
#include "winapi/kernel.h"

namespace {

using picture_test::Target;
using Bytes = std::vector<BYTE>;

// A bitmap file with a 40-byte header; rows are given as stored.
Bytes MakeBmp(int width, int heightField, int bits, DWORD compression, const Bytes& table, const Bytes& pixels,
              DWORD clrUsed = 0, const Bytes& masks = {})
{
    Bytes b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    const auto offset = static_cast<uint32_t>(54 + masks.size() + table.size());
    picture_test::PutLe32(b, 2, static_cast<uint32_t>(offset + pixels.size()));
    picture_test::PutLe32(b, 10, offset);
    picture_test::PutLe32(b, 14, 40);
    picture_test::PutLe32(b, 18, static_cast<uint32_t>(width));
    picture_test::PutLe32(b, 22, static_cast<uint32_t>(heightField));
    b[26] = 1;
    b[28] = static_cast<BYTE>(bits);
    picture_test::PutLe32(b, 30, compression);
    picture_test::PutLe32(b, 34, static_cast<uint32_t>(pixels.size()));
    picture_test::PutLe32(b, 46, clrUsed);
    b.insert(b.end(), masks.begin(), masks.end());
    b.insert(b.end(), table.begin(), table.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

Bytes GrayTable(int n)
{
    Bytes t;
    for (int i = 0; i < n; ++i)
        t.insert(t.end(), {static_cast<BYTE>(i * 16), static_cast<BYTE>(i * 16), static_cast<BYTE>(i * 16), 0});
    return t;
}

int Load32(const Bytes& file, Target& target)
{
    CBmpLoader loader;
    return loader.Load(file.data(), static_cast<DWORD>(file.size()), Target::Allocate, &target, FALSE, nullptr,
                       nullptr);
}

// convert fixtures ------------------------------------------------------------------------------

// Rewrites a bitmap with a larger header (what convert writes for bit fields) as a 40-byte header
// followed by the three masks, the layout the loader reads; convert reads both.
Bytes ToInfoHeaderWithMasks(const Bytes& v5)
{
    const uint32_t headerSize = picture_test::Le32(v5, 14);
    const uint32_t offset = picture_test::Le32(v5, 10);
    Bytes out(v5.begin(), v5.begin() + 54);
    picture_test::PutLe32(out, 14, 40);
    out.insert(out.end(), v5.begin() + 54, v5.begin() + 66);  // masks: the same place in both
    picture_test::PutLe32(out, 10, 66);
    out.insert(out.end(), v5.begin() + offset, v5.end());
    picture_test::PutLe32(out, 2, static_cast<uint32_t>(out.size()));
    (void)headerSize;
    return out;
}

// Stores the rows top-down (negative height), as some writers do.
Bytes ToTopDown(const Bytes& file)
{
    const uint32_t offset = picture_test::Le32(file, 10);
    const auto height = static_cast<int32_t>(picture_test::Le32(file, 22));
    const size_t stride = (file.size() - offset) / static_cast<size_t>(height);
    Bytes out(file.begin(), file.begin() + offset);
    for (int r = height - 1; r >= 0; --r)
        out.insert(out.end(), file.begin() + offset + stride * r, file.begin() + offset + stride * (r + 1));
    picture_test::PutLe32(out, 22, static_cast<uint32_t>(-height));
    return out;
}

// RLE4 of an uncompressed 4-bit bitmap (convert writes RLE only for 8 bits): runs, absolute runs
// of odd and even length, end of line and end of bitmap.
Bytes ToRle4(const Bytes& file)
{
    const uint32_t offset = picture_test::Le32(file, 10);
    const int width = static_cast<int>(picture_test::Le32(file, 18));
    const int height = static_cast<int>(picture_test::Le32(file, 22));
    const size_t stride = ((static_cast<size_t>(width) * 4 + 31) / 32) * 4;
    Bytes rle;
    for (int r = 0; r < height; ++r) {
        std::vector<int> px;
        for (int x = 0; x < width; ++x) {
            const BYTE b = file[offset + stride * r + x / 2];
            px.push_back((x & 1) == 0 ? b >> 4 : b & 15);
        }
        size_t x = 0;
        while (x < px.size()) {
            size_t run = 1;
            while (x + run < px.size() && px[x + run] == px[x] && run < 255)
                ++run;
            if (run >= 3) {
                rle.push_back(static_cast<BYTE>(run));
                rle.push_back(static_cast<BYTE>(px[x] << 4 | px[x]));
                x += run;
                continue;
            }
            size_t n = std::min<size_t>(px.size() - x, 7);
            if (n < 3) {
                rle.push_back(static_cast<BYTE>(n));
                rle.push_back(static_cast<BYTE>(px[x] << 4 | (n > 1 ? px[x + 1] : 0)));
                x += n;
                continue;
            }
            rle.push_back(0);
            rle.push_back(static_cast<BYTE>(n));
            Bytes packed((n + 1) / 2, 0);
            for (size_t i = 0; i < n; ++i)
                packed[i / 2] |= static_cast<BYTE>((i & 1) == 0 ? px[x + i] << 4 : px[x + i]);
            if (packed.size() % 2 != 0)
                packed.push_back(0);
            rle.insert(rle.end(), packed.begin(), packed.end());
            x += n;
        }
        rle.insert(rle.end(), {0, 0});
    }
    rle.insert(rle.end(), {0, 1});
    Bytes out(file.begin(), file.begin() + offset);
    picture_test::PutLe32(out, 30, BI_RLE4);
    picture_test::PutLe32(out, 34, static_cast<uint32_t>(rle.size()));
    out.insert(out.end(), rle.begin(), rle.end());
    picture_test::PutLe32(out, 2, static_cast<uint32_t>(out.size()));
    return out;
}

enum class Fix { None, Masks, TopDown, Rle4 };

struct ConvertForm {
    const char* name;
    const char* args;  // convert options and the output format
    Fix fix;
    int bits;
    DWORD compression;
    bool alpha;        // compare alpha too
    BYTE masks[3];     // red, green, blue bits kept by a bit-field form (0xFF = exact)
};

TEST(BmpConvert, LoadsEveryFormConvertWritesWithConvertsPixels)
{
    if (!picture_test::HaveConvert())
        GTEST_SKIP() << "convert is not installed";
    const std::string dir = picture_test::TempDir();
    const int w = 37;
    const int h = 23;
    const std::string source = dir + "/bmp_source.pam";
    ASSERT_TRUE(picture_test::WritePam(source, w, h, samples::WithAlpha(w, h, 21)));
    const std::string opaque = dir + "/bmp_source_opaque.pam";
    ASSERT_TRUE(picture_test::WritePam(opaque, w, h, samples::PhotoLike(w, h, 21)));

    const ConvertForm forms[] = {
        {"1-bit palette", "-type bilevel BMP3:", Fix::None, 1, BI_RGB, false, {0xFF, 0xFF, 0xFF}},
        {"4-bit palette", "-colors 16 -type palette -compress none BMP3:", Fix::None, 4, BI_RGB, false, {0xFF, 0xFF, 0xFF}},
        {"8-bit palette", "-colors 200 -type palette -compress none BMP3:", Fix::None, 8, BI_RGB, false, {0xFF, 0xFF, 0xFF}},
        {"RLE8", "-colors 200 -type palette -compress RLE BMP3:", Fix::None, 8, BI_RLE8, false, {0xFF, 0xFF, 0xFF}},
        {"RLE4", "-colors 16 -type palette -compress none BMP3:", Fix::Rle4, 4, BI_RLE4, false, {0xFF, 0xFF, 0xFF}},
        {"16-bit 565 bit fields", "-alpha off -define bmp:subtype=RGB565 BMP:", Fix::Masks, 16, BI_BITFIELDS, false, {0xF8, 0xFC, 0xF8}},
        {"16-bit 555 bit fields", "-alpha off -define bmp:subtype=RGB555 BMP:", Fix::Masks, 16, BI_BITFIELDS, false, {0xF8, 0xF8, 0xF8}},
        {"24-bit", "-type truecolor BMP3:", Fix::None, 24, BI_RGB, false, {0xFF, 0xFF, 0xFF}},
        {"24-bit top-down", "-type truecolor BMP3:", Fix::TopDown, 24, BI_RGB, false, {0xFF, 0xFF, 0xFF}},
        {"8-bit top-down", "-colors 200 -type palette -compress none BMP3:", Fix::TopDown, 8, BI_RGB, false, {0xFF, 0xFF, 0xFF}},
        {"32-bit with alpha", "-define bmp3:alpha=true BMP3:", Fix::None, 32, BI_RGB, true, {0xFF, 0xFF, 0xFF}},
    };
    int index = 0;
    for (const ConvertForm& form : forms) {
        SCOPED_TRACE(form.name);
        const std::string file = dir + "/bmp_form_" + std::to_string(index++) + ".bmp";
        const std::string& input = form.alpha ? source : opaque;
        ASSERT_TRUE(picture_test::RunConvert("'" + input + "' " + form.args + "'" + file + "'"));
        Bytes bytes = picture_test::ReadAll(file);
        ASSERT_GE(bytes.size(), 54u);
        if (form.fix == Fix::Masks)
            bytes = ToInfoHeaderWithMasks(bytes);
        else if (form.fix == Fix::TopDown)
            bytes = ToTopDown(bytes);
        else if (form.fix == Fix::Rle4)
            bytes = ToRle4(bytes);
        ASSERT_TRUE(picture_test::WriteAll(file, bytes));
        ASSERT_EQ(bytes[28], form.bits);
        ASSERT_EQ(picture_test::Le32(bytes, 30), form.compression);

        const Bytes expected = picture_test::ConvertRgba(file);
        ASSERT_EQ(expected.size(), static_cast<size_t>(w) * h * 4);

        Target t;
        t.extraPitch = 8;
        ASSERT_EQ(Load32(bytes, t), kGllOk);
        EXPECT_EQ(t.hasAlpha, form.bits == 32);
        Target gray;
        CBmpLoader eight;
        ASSERT_EQ(eight.Load(bytes.data(), static_cast<DWORD>(bytes.size()), Target::Allocate, &gray, TRUE, nullptr,
                             nullptr),
                  kGllOk);
        EXPECT_EQ(gray.paletteRequested, form.bits < 16);
        int bad = 0;
        for (int y = 0; y < h && bad < 5; ++y) {
            for (int x = 0; x < w && bad < 5; ++x) {
                const BYTE* e = expected.data() + (static_cast<size_t>(y) * w + x) * 4;
                const BYTE r = e[0] & form.masks[0];
                const BYTE g = e[1] & form.masks[1];
                const BYTE b = e[2] & form.masks[2];
                const uint32_t p = t.Pixel32(x, y);
                const bool colourOk = ((p >> 16) & 255) == r && ((p >> 8) & 255) == g && (p & 255) == b;
                const bool alphaOk = !form.alpha || (p >> 24) == e[3];
                BYTE eightExpected;
                if (gray.paletteRequested) {
                    const BYTE* entry = gray.palette.data() + gray.Pixel8(x, y) * 4;
                    eightExpected = (entry[2] == r && entry[1] == g && entry[0] == b) ? gray.Pixel8(x, y) : 255 - gray.Pixel8(x, y);
                } else {
                    eightExpected = static_cast<BYTE>((29u * b + 150u * g + 77u * r) >> 8);
                }
                if (!colourOk || !alphaOk || gray.Pixel8(x, y) != eightExpected) {
                    ++bad;
                    ADD_FAILURE() << "pixel " << x << "," << y << " got " << std::hex << p << " expected rgba "
                                  << int(e[0]) << " " << int(e[1]) << " " << int(e[2]) << " " << int(e[3]);
                }
            }
        }
    }
}

TEST(BmpConvert, WriterOutputReadsBackInConvert)
{
    if (!picture_test::HaveConvert())
        GTEST_SKIP() << "convert is not installed";
    const std::string dir = picture_test::TempDir();
    const int w = 29;
    const int h = 17;
    const std::vector<uint32_t> px = samples::WithAlpha(w, h, 4);
    Bytes palette(1024);
    for (int i = 0; i < 1024; ++i)
        palette[i] = static_cast<BYTE>(i * 13 + 7);
    Bytes indexes(static_cast<size_t>(w + 3) * h);
    for (size_t i = 0; i < indexes.size(); ++i)
        indexes[i] = static_cast<BYTE>(i * 5);
    Bytes rgb24(static_cast<size_t>(w * 3 + 2) * h);
    for (size_t i = 0; i < rgb24.size(); ++i)
        rgb24[i] = static_cast<BYTE>(i * 3);

    struct Case {
        const char* name;
        int mode;
        int bits;
        const void* pixels;
        int pitch;
        const BYTE* palette;
        bool bottomUp;
    };
    const Case cases[] = {
        {"32-bit as 24-bit", 0, 32, px.data(), w * 4, nullptr, false},
        {"32-bit as 24-bit from bottom-up rows", 0, 32, px.data(), w * 4, nullptr, true},
        {"32-bit with alpha", 1, 32, px.data(), w * 4, nullptr, false},
        {"alpha plane", 2, 32, px.data(), w * 4, nullptr, false},
        {"24-bit with padded pitch", 0, 24, rgb24.data(), w * 3 + 2, nullptr, false},
        {"8-bit with palette", 0, 8, indexes.data(), w + 3, palette.data(), false},
        {"8-bit gray ramp", 0, 8, indexes.data(), w + 3, nullptr, false},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file;
        CBmpLoader writer;
        auto append = [](const void* data, DWORD bytes, void* user) -> DWORD {
            auto* out = static_cast<Bytes*>(user);
            out->insert(out->end(), static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + bytes);
            return bytes;
        };
        ASSERT_EQ(writer.Save(c.mode, c.pixels, w, c.bottomUp ? -h : h, c.bits, c.pitch, append, &file, c.palette,
                              nullptr, nullptr),
                  kGllOk);
        const std::string path = dir + "/bmp_written_" + std::to_string(index++) + ".bmp";
        ASSERT_TRUE(picture_test::WriteAll(path, file));
        const Bytes got = picture_test::ConvertRgba(path);
        ASSERT_EQ(got.size(), static_cast<size_t>(w) * h * 4);
        for (int y = 0; y < h; ++y) {
            // Rows given bottom-up come out upside down in the picture.
            const int srcY = c.bottomUp ? h - 1 - y : y;
            for (int x = 0; x < w; ++x) {
                const BYTE* g = got.data() + (static_cast<size_t>(y) * w + x) * 4;
                BYTE r, gr, b;
                if (c.bits == 8) {
                    const BYTE i = indexes[static_cast<size_t>(srcY) * (w + 3) + x];
                    r = c.palette ? c.palette[i * 4 + 2] : i;
                    gr = c.palette ? c.palette[i * 4 + 1] : i;
                    b = c.palette ? c.palette[i * 4] : i;
                } else if (c.bits == 24) {
                    const BYTE* s = rgb24.data() + static_cast<size_t>(srcY) * (w * 3 + 2) + x * 3;
                    r = s[2];
                    gr = s[1];
                    b = s[0];
                } else {
                    const uint32_t p = px[static_cast<size_t>(srcY) * w + x];
                    r = static_cast<BYTE>(p >> 16);
                    gr = static_cast<BYTE>(p >> 8);
                    b = static_cast<BYTE>(p);
                    if (c.mode == 2)
                        r = gr = b = static_cast<BYTE>(p >> 24);
                }
                ASSERT_EQ(g[0], r) << x << "," << y;
                ASSERT_EQ(g[1], gr) << x << "," << y;
                ASSERT_EQ(g[2], b) << x << "," << y;
            }
        }
        // And the engine reads its own file back to the same pixels.
        Target t;
        ASSERT_EQ(Load32(file, t), kGllOk);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const BYTE* g = got.data() + (static_cast<size_t>(y) * w + x) * 4;
                ASSERT_EQ(t.Pixel32(x, y) & 0xFFFFFF, static_cast<uint32_t>(g[0] << 16 | g[1] << 8 | g[2]));
            }
    }
}

// Edge cases ----------------------------------------------------------------------------------

TEST(BmpLoader, BitFieldsScaleEachChannelToEightBits)
{
    // 565 white and pure green; 555 red.
    const Bytes masks565 = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
    const Bytes file = MakeBmp(2, 1, 16, BI_BITFIELDS, {}, {0xFF, 0xFF, 0xE0, 0x07}, 0, masks565);
    Target t;
    ASSERT_EQ(Load32(file, t), kGllOk);
    EXPECT_EQ(t.Pixel32(0, 0), 0x00F8FCF8u);
    EXPECT_EQ(t.Pixel32(1, 0), 0x0000FC00u);
    EXPECT_FALSE(t.hasAlpha);

    // A 32-bit mask bitmap with 10-bit fields keeps each field's top 8 bits.
    const Bytes masks1010 = {0x00, 0x00, 0xF0, 0x3F, 0x00, 0xFC, 0x0F, 0x00, 0xFF, 0x03, 0x00, 0x00};
    const Bytes wide = MakeBmp(1, 1, 32, BI_BITFIELDS, {}, {0xFF, 0x03, 0x00, 0x00}, 0, masks1010);
    Target t2;
    ASSERT_EQ(Load32(wide, t2), kGllOk);
    EXPECT_EQ(t2.Pixel32(0, 0), 0x000000FFu);
}

TEST(BmpLoader, ColourTableEdgeCases)
{
    // Colours used 0 means 1 << bit count; a 4-bit index beyond a short table reads a zero entry
    // instead of memory past the table.
    const Bytes full = MakeBmp(2, 1, 4, BI_RGB, GrayTable(16), {0x1F, 0, 0, 0}, 0);
    Target t;
    ASSERT_EQ(Load32(full, t), kGllOk);
    EXPECT_EQ(t.Pixel32(0, 0) & 0xFFFFFF, 0x101010u);
    EXPECT_EQ(t.Pixel32(1, 0) & 0xFFFFFF, 0xF0F0F0u);
    const Bytes shortTable = MakeBmp(2, 1, 4, BI_RGB, GrayTable(2), {0x1F, 0, 0, 0}, 2);
    Target s;
    ASSERT_EQ(Load32(shortTable, s), kGllOk);
    EXPECT_EQ(s.Pixel32(0, 0) & 0xFFFFFF, 0x101010u);
    EXPECT_EQ(s.Pixel32(1, 0) & 0xFFFFFF, 0u);
}

TEST(BmpLoader, RleIsReadFromThePixelOffset)
{
    // Bytes between the colour table and the pixel data are not RLE data.
    Bytes file = MakeBmp(4, 2, 8, BI_RLE8, GrayTable(4), {4, 1, 0, 0, 0, 4, 1, 2, 3, 0, 0, 1}, 4);
    const uint32_t offset = picture_test::Le32(file, 10);
    file.insert(file.begin() + offset, {0, 2, 9, 9});  // a delta escape, if it were read
    picture_test::PutLe32(file, 10, offset + 4);
    Target t;
    ASSERT_EQ(Load32(file, t), kGllOk);
    // Stored row 0 is the bottom row.
    EXPECT_EQ(t.Pixel32(0, 1) & 0xFFFFFF, 0x101010u);
    EXPECT_EQ(t.Pixel32(2, 0) & 0xFFFFFF, 0x303030u);
    EXPECT_EQ(t.Pixel32(3, 0) & 0xFFFFFF, 0u);
}

TEST(BmpLoader, RleRunsPastTheRowEndAreDropped)
{
    // Runs and absolute runs that pass the row end write only the row's pixels.
    const Bytes file = MakeBmp(3, 2, 8, BI_RLE8, GrayTable(4), {5, 1, 0, 0, 0, 5, 2, 3, 1, 2, 3, 0, 0, 1}, 4);
    Target t;
    ASSERT_EQ(Load32(file, t), kGllOk);
    EXPECT_EQ(t.Pixel32(2, 1) & 0xFFFFFF, 0x101010u);
    EXPECT_EQ(t.Pixel32(0, 0) & 0xFFFFFF, 0x202020u);
    EXPECT_EQ(t.Pixel32(2, 0) & 0xFFFFFF, 0x101010u);
    const Bytes rle4 = MakeBmp(3, 1, 4, BI_RLE4, GrayTable(16), {7, 0x12, 0, 1}, 16);
    Target t4;
    ASSERT_EQ(Load32(rle4, t4), kGllOk);
    EXPECT_EQ(t4.Pixel32(0, 0) & 0xFFFFFF, 0x101010u);
    EXPECT_EQ(t4.Pixel32(1, 0) & 0xFFFFFF, 0x202020u);
    EXPECT_EQ(t4.Pixel32(2, 0) & 0xFFFFFF, 0x101010u);
}

TEST(BmpLoader, LoadPictureMakesABottomUpDib)
{
    // A top-down 24-bit file: the DIB has a positive height and its first stored row is the bottom.
    const Bytes file = MakeBmp(1, -2, 24, BI_RGB, {}, {1, 2, 3, 0, 4, 5, 6, 0});
    CBmpLoader loader;
    HGLOBAL info = nullptr;
    HGLOBAL bits = nullptr;
    ASSERT_EQ(loader.LoadPicture(file.data(), static_cast<DWORD>(file.size()), &info, &bits, nullptr, nullptr), kGllOk);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(info);
    EXPECT_EQ(header->biHeight, 2);
    EXPECT_EQ(static_cast<const BYTE*>(bits)[0], 4);
    EXPECT_EQ(static_cast<const BYTE*>(bits)[4], 1);
    GlobalFree(info);
    GlobalFree(bits);

    EXPECT_EQ(loader.LoadPicture(file.data(), static_cast<DWORD>(file.size()), &info, nullptr, nullptr, nullptr),
              kGllBadArguments);
    ASSERT_EQ(loader.LoadPicture(file.data(), static_cast<DWORD>(file.size()), nullptr, nullptr, nullptr, nullptr),
              kGllOk);
    EXPECT_NE(loader.m_bits, nullptr);
    loader.FreePicture();
    EXPECT_EQ(loader.m_bits, nullptr);
    EXPECT_EQ(loader.m_pictureSize, 0u);
}

TEST(BmpLoader, TopDownRunsLandInBottomUpRows)
{
    // Stored rows 0, 1, 2 of a top-down file are DIB rows 2, 1, 0; an early end leaves index 0.
    struct Case {
        const char* name;
        Bytes file;
        BYTE rows[3];
    };
    const Case cases[] = {
        {"RLE8", MakeBmp(2, -3, 8, BI_RLE8, GrayTable(4), {2, 1, 0, 0, 2, 2, 0, 0, 2, 3, 0, 1}, 4), {3, 2, 1}},
        {"RLE4", MakeBmp(2, -3, 4, BI_RLE4, GrayTable(4), {2, 0x11, 0, 0, 2, 0x22, 0, 1}, 4), {0x00, 0x22, 0x11}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CBmpLoader loader;
        HGLOBAL info = nullptr;
        HGLOBAL bits = nullptr;
        ASSERT_EQ(loader.LoadPicture(c.file.data(), static_cast<DWORD>(c.file.size()), &info, &bits, nullptr, nullptr),
                  kGllOk);
        EXPECT_EQ(static_cast<const BITMAPINFOHEADER*>(info)->biHeight, 3);
        for (int r = 0; r < 3; ++r)
            EXPECT_EQ(static_cast<const BYTE*>(bits)[4 * r], c.rows[r]) << "DIB row " << r;
        GlobalFree(info);
        GlobalFree(bits);
    }
}

struct BadBmp {
    const char* name;
    Bytes file;
    int expected;
};

TEST(BmpLoader, RefusesBadBitmaps)
{
    const Bytes ok8 = MakeBmp(4, 2, 8, BI_RGB, GrayTable(4), Bytes(8, 1), 4);
    auto with = [&](size_t at, uint32_t v) {
        Bytes b = ok8;
        picture_test::PutLe32(b, at, v);
        return b;
    };
    auto rle8 = [&](const Bytes& data) { return MakeBmp(4, 2, 8, BI_RLE8, GrayTable(4), data, 4); };
    const BadBmp cases[] = {
        {"not BM", Bytes{'B', 'A', 0, 0}, kGllNotSupported},
        {"a larger header", with(14, 108), kGllNotSupported},
        {"truncated before the header size", Bytes(ok8.begin(), ok8.begin() + 16), kGllBadData},
        {"truncated header", Bytes(ok8.begin(), ok8.begin() + 50), kGllBadData},
        {"zero width", with(18, 0), kGllBadData},
        {"zero height", with(22, 0), kGllBadData},
        {"most negative height", with(22, 0x80000000u), kGllBadData},
        {"bit count 2", [&] { Bytes b = ok8; b[28] = 2; return b; }(), kGllBadData},
        {"RLE8 in a 4-bit bitmap", [&] { Bytes b = with(30, BI_RLE8); b[28] = 4; return b; }(), kGllBadData},
        {"unknown compression", with(30, 4), kGllBadData},
        {"more colours than the bit count allows", with(46, 300), kGllBadData},
        {"colour table past the end", with(46, 256), kGllBadData},
        {"pixels past the end", Bytes(ok8.begin(), ok8.end() - 1), kGllBadData},
        {"huge size", [&] { Bytes b = with(18, 0x10000); picture_test::PutLe32(b, 22, 0x10000); return b; }(), kGllBadData},
        {"past the picture limit", [&] { Bytes b = with(18, 16385); picture_test::PutLe32(b, 22, 1); return b; }(), kGllBadData},
        {"RLE delta escape", rle8({0, 2, 1, 1, 0, 1}), kGllBadCompression},
        {"RLE rows past the bottom", rle8({0, 0, 0, 0, 1, 1, 0, 1}), kGllBadCompression},
        {"RLE without end of bitmap", rle8({4, 1, 0, 0}), kGllBadCompression},
        {"RLE absolute run past the data", rle8({0, 4, 1, 2}), kGllBadCompression},
        {"RLE pixel offset past the end", [&] { Bytes b = rle8({0, 1}); picture_test::PutLe32(b, 10, 5000); return b; }(), kGllBadData},
    };
    for (const BadBmp& c : cases) {
        Target t;
        EXPECT_EQ(Load32(c.file, t), c.expected) << c.name;
        CBmpLoader loader;
        HGLOBAL info = nullptr;
        HGLOBAL bits = nullptr;
        EXPECT_EQ(loader.LoadPicture(c.file.data(), static_cast<DWORD>(c.file.size()), &info, &bits, nullptr, nullptr),
                  c.expected)
            << c.name;
        EXPECT_EQ(info, nullptr) << c.name;
        EXPECT_EQ(loader.m_bits, nullptr) << c.name;
    }
    CBmpLoader loader;
    Target t;
    EXPECT_EQ(loader.Load(nullptr, 0, Target::Allocate, &t, FALSE, nullptr, nullptr), kGllBadData);
    EXPECT_EQ(loader.Load(ok8.data(), static_cast<DWORD>(ok8.size()), nullptr, nullptr, FALSE, nullptr, nullptr),
              kGllBadArguments);
    t.refuse = true;
    EXPECT_EQ(loader.Load(ok8.data(), static_cast<DWORD>(ok8.size()), Target::Allocate, &t, FALSE, nullptr, nullptr),
              kGllNoMemory);
}

TEST(BmpWriter, RefusesBadArguments)
{
    CBmpLoader writer;
    const uint32_t px[4] = {};
    auto sink = [](const void*, DWORD bytes, void*) -> DWORD { return bytes; };
    auto failing = [](const void*, DWORD, void*) -> DWORD { return 0; };
    EXPECT_EQ(writer.Save(0, px, 2, 2, 16, 8, sink, nullptr, nullptr, nullptr, nullptr), kGllBadData);
    EXPECT_EQ(writer.Save(0, nullptr, 2, 2, 32, 8, sink, nullptr, nullptr, nullptr, nullptr), kGllBadData);
    EXPECT_EQ(writer.Save(0, px, 2, 2, 32, 8, nullptr, nullptr, nullptr, nullptr, nullptr), kGllBadArguments);
    EXPECT_EQ(writer.Save(1, px, 2, 2, 24, 8, sink, nullptr, nullptr, nullptr, nullptr), kGllBadCompression);
    EXPECT_EQ(writer.Save(3, px, 2, 2, 32, 8, sink, nullptr, nullptr, nullptr, nullptr), kGllBadCompression);
    EXPECT_EQ(writer.Save(0, px, 2, 2, 32, 4, sink, nullptr, nullptr, nullptr, nullptr), kGllBadData);
    EXPECT_EQ(writer.Save(0, px, 2, 2, 32, 8, failing, nullptr, nullptr, nullptr, nullptr), kGllFileError);
    EXPECT_TRUE(writer.CanSave());

    // Progress sees (0, h) first and (h, h) last; a non-zero answer stops the writer.
    struct Calls {
        std::vector<std::pair<int, int>> seen;
        int stopAt = -1;
    } calls;
    auto progress = [](int done, int total, void* user) {
        auto* c = static_cast<Calls*>(user);
        c->seen.emplace_back(done, total);
        return static_cast<int>(c->seen.size()) == c->stopAt ? 1 : 0;
    };
    ASSERT_EQ(writer.Save(1, px, 2, 2, 32, 8, sink, nullptr, nullptr, progress, &calls), kGllOk);
    EXPECT_EQ(calls.seen.front(), std::make_pair(0, 2));
    EXPECT_EQ(calls.seen.back(), std::make_pair(2, 2));
    calls = Calls{{}, 2};
    EXPECT_EQ(writer.Save(1, px, 2, 2, 32, 8, sink, nullptr, nullptr, progress, &calls), kGllAborted);
}

}  // namespace
