// The DIB conversions: each output format's formulas on small bitmaps built here, the walk of
// bottom-up and top-down rows from an origin, and the header checks that refuse to read.
#include "raster/dib_convert.h"

#include "winapi/simd_level.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

// A bitmap information block with a colour table and its bits.
struct Dib {
    std::vector<BYTE> info;
    std::vector<BYTE> bits;
    LONG pitch;
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(info.data()); }

    Dib(LONG width, LONG height, int bitCount, int colors = 0)
    {
        info.assign(sizeof(BITMAPINFOHEADER) + 4 * static_cast<size_t>(colors > 0 ? colors : 1), 0);
        BITMAPINFOHEADER& h = Info()->bmiHeader;
        h.biSize = 40;
        h.biWidth = width;
        h.biHeight = height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(bitCount);
        h.biClrUsed = static_cast<DWORD>(colors);
        pitch = ((width * bitCount + 31) / 32) * 4;
        bits.assign(static_cast<size_t>(pitch) * static_cast<size_t>(height < 0 ? -height : height), 0);
    }
    void SetColor(int i, BYTE r, BYTE g, BYTE b, BYTE a = 0) { Info()->bmiColors[i] = RGBQUAD{b, g, r, a}; }
    // Row of the stored bitmap in image order (row 0 = top).
    BYTE* ImageRow(LONG y)
    {
        const LONG h = Info()->bmiHeader.biHeight;
        const LONG memoryRow = h > 0 ? h - 1 - y : y;
        return bits.data() + static_cast<size_t>(memoryRow) * pitch;
    }
};

uint32_t Word32(const std::vector<BYTE>& out, size_t i)
{
    uint32_t v;
    std::memcpy(&v, out.data() + i * 4, 4);
    return v;
}

uint32_t Word16(const std::vector<BYTE>& out, size_t i)
{
    return out[i * 2] | out[i * 2 + 1] << 8;
}

}  // namespace

TEST(DibConvert, SixteenBitPixelsInEveryFormat)
{
    Dib dib(3, 1, 16);
    const uint16_t pixels[3] = {0x7FFF, 0x7C00, 0x03E0};
    std::memcpy(dib.ImageRow(0), pixels, 6);
    const RECT r{0, 0, 3, 1};
    std::vector<BYTE> out(12);
    ASSERT_TRUE(ConvertDibTo32(out.data(), r, 12, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ(0xFFF8F8F8u, Word32(out, 0));  // all fifteen bits: 248 each, alpha 255
    ASSERT_TRUE(ConvertDibTo32NoAlpha(out.data(), r, 12, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ(0x00F80000u, Word32(out, 1));
    ASSERT_TRUE(ConvertDibTo8(out.data(), r, 3, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ((248 * 77) >> 8, out[1]);   // pure red: 74
    EXPECT_EQ((248 * 150) >> 8, out[2]);  // pure green: 145
    ASSERT_TRUE(ConvertDibTo16Argb4444(out.data(), r, 6, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ(0xFF00u, Word16(out, 1));
    EXPECT_EQ(0xF000u, Word16(out, 0) & 0xF000);
    ASSERT_TRUE(ConvertDibTo16Argb1555(out.data(), r, 6, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ(0xFC00u, Word16(out, 1));
    ASSERT_TRUE(ConvertDibTo16Rgb565(out.data(), r, 6, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ(0xF800u, Word16(out, 1));
    EXPECT_EQ(0x07C0u, Word16(out, 2));
    ASSERT_TRUE(ConvertDibTo16Rgb555(out.data(), r, 6, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ(0x7C00u, Word16(out, 1));
    ASSERT_TRUE(ConvertDibTo24(out.data(), r, 9, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ(0, out[3]);
    EXPECT_EQ(0, out[4]);
    EXPECT_EQ(0xF8, out[5]);
}

TEST(DibConvert, TrueColourFormulas)
{
    Dib dib(2, 1, 32);
    const BYTE pixels[8] = {0x10, 0x80, 0xF0, 0x7F, 0xFF, 0xFF, 0xFF, 0x80};  // B G R A
    std::memcpy(dib.ImageRow(0), pixels, 8);
    const RECT r{0, 0, 2, 1};
    std::vector<BYTE> out(8);
    ASSERT_TRUE(ConvertDibTo32(out.data(), r, 8, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ(0x7FF08010u, Word32(out, 0));  // 32 bits keep their alpha
    ASSERT_TRUE(ConvertDibTo32NoAlpha(out.data(), r, 8, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ(0x00F08010u, Word32(out, 0));
    ASSERT_TRUE(ConvertDibTo8(out.data(), r, 2, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ((0xF0 * 77 + 0x80 * 150 + 0x10 * 29) >> 8, out[0]);
    ASSERT_TRUE(ConvertDibTo16Argb4444(out.data(), r, 4, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ(0x7F81u, Word16(out, 0));
    ASSERT_TRUE(ConvertDibTo16Argb1555(out.data(), r, 4, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ(0x0000u | (0xF0 >> 3) << 10 | (0x80 >> 3) << 5 | (0x10 >> 3), Word16(out, 0));
    EXPECT_EQ(0xFFFFu, Word16(out, 1));
    ASSERT_TRUE(ConvertDibTo16Rgb565(out.data(), r, 4, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    EXPECT_EQ((0xF0u & 0xF8) << 8 | (0x80u & 0xFC) << 3 | (0x10 >> 3), Word16(out, 0));

    // 24 bits into 32 from an origin, into the middle of a row: opaque, or alpha 0 without alpha;
    // the words around the rectangle stay as they were.
    Dib colour(3, 1, 24);
    const BYTE bgr[9] = {1, 2, 3, 0x10, 0x80, 0xF0, 0xFF, 0x00, 0x7F};
    std::memcpy(colour.ImageRow(0), bgr, 9);
    const RECT middle{1, 0, 3, 1};
    for (const auto& [convert, alpha] : {std::pair{&ConvertDibTo32, 0xFF000000u}, std::pair{&ConvertDibTo32NoAlpha, 0u}}) {
        std::vector<BYTE> row(16, 0xAB);
        ASSERT_TRUE(convert(row.data(), middle, 16, colour.Info(), colour.bits.data(), colour.pitch, POINT{1, 0}));
        EXPECT_EQ(0xABABABABu, Word32(row, 0));
        EXPECT_EQ(alpha | 0xF08010u, Word32(row, 1));
        EXPECT_EQ(alpha | 0x7F00FFu, Word32(row, 2));
        EXPECT_EQ(0xABABABABu, Word32(row, 3));
    }
}

TEST(DibConvert, PaletteDepthsFromAnOrigin)
{
    // 1 bit, 12 wide: the first byte's bits 3..7 come first from origin x = 3.
    Dib one(12, 2, 1, 2);
    one.SetColor(0, 0, 0, 0);
    one.SetColor(1, 0xFF, 0x20, 0x10);
    one.ImageRow(1)[0] = 0b10110010;
    one.ImageRow(1)[1] = 0b01000000;
    std::vector<BYTE> plane(6);
    const RECT r{0, 0, 6, 1};
    ASSERT_TRUE(ConvertDibTo8(plane.data(), r, 6, one.Info(), one.bits.data(), one.pitch, POINT{3, 1}));
    EXPECT_EQ((std::vector<BYTE>{1, 0, 0, 1, 0, 0}), plane);
    std::vector<BYTE> out(24);
    ASSERT_TRUE(ConvertDibTo32(out.data(), r, 24, one.Info(), one.bits.data(), one.pitch, POINT{3, 1}));
    EXPECT_EQ(0xFFFF2010u, Word32(out, 0));
    EXPECT_EQ(0xFF000000u, Word32(out, 1));

    // 4 bits from an odd origin begin with the low nibble.
    Dib four(4, 1, 4, 16);
    for (int i = 0; i < 16; ++i) {
        four.SetColor(i, static_cast<BYTE>(i * 16), 0, 0, static_cast<BYTE>(i));
    }
    four.ImageRow(0)[0] = 0x12;
    four.ImageRow(0)[1] = 0x34;
    std::vector<BYTE> nib(3);
    ASSERT_TRUE(ConvertDibTo8(nib.data(), RECT{0, 0, 3, 1}, 3, four.Info(), four.bits.data(), four.pitch, POINT{1, 0}));
    EXPECT_EQ((std::vector<BYTE>{2, 3, 4}), nib);
    std::vector<BYTE> quads(12);
    ASSERT_TRUE(ConvertDibTo32NoAlpha(quads.data(), RECT{0, 0, 3, 1}, 12, four.Info(), four.bits.data(), four.pitch,
                                      POINT{1, 0}));
    EXPECT_EQ(0x02200000u, Word32(quads, 0));  // the entry's four bytes as they are

    // An index past the colour table reads as black.
    Dib eight(2, 1, 8, 4);
    eight.SetColor(3, 1, 2, 3);
    eight.ImageRow(0)[0] = 3;
    eight.ImageRow(0)[1] = 200;
    std::vector<BYTE> two(8);
    ASSERT_TRUE(ConvertDibTo32(two.data(), RECT{0, 0, 2, 1}, 8, eight.Info(), eight.bits.data(), eight.pitch, POINT{0, 0}));
    EXPECT_EQ(0xFF010203u, Word32(two, 0));
    EXPECT_EQ(0xFF000000u, Word32(two, 1));
}

TEST(DibConvert, RowsWalkDownTheImageInBothStorageOrders)
{
    for (LONG sign : {1, -1}) {
        Dib dib(1, sign * 3, 24);
        for (LONG y = 0; y < 3; ++y) {
            dib.ImageRow(y)[2] = static_cast<BYTE>(10 * (y + 1));  // red
        }
        std::vector<BYTE> out(2 * 4, 0xEE);
        ASSERT_TRUE(ConvertDibTo32(out.data(), RECT{0, 0, 1, 2}, 4, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 1}));
        EXPECT_EQ(0xFF140000u, Word32(out, 0)) << sign;
        EXPECT_EQ(0xFF1E0000u, Word32(out, 1)) << sign;
    }
}

TEST(DibConvert, HeadersThatCannotBeReadAreRefusedBeforeReading)
{
    struct Case {
        const char* name;
        int bitCount;
        DWORD compression;
        LONG width, height;
        LONG pitchDelta;
        POINT origin;
        RECT rect;
    } cases[] = {
        {"bit count 0", 0, BI_RGB, 4, 4, 0, {0, 0}, {0, 0, 4, 4}},
        {"bit count 2", 2, BI_RGB, 4, 4, 0, {0, 0}, {0, 0, 4, 4}},
        {"bit count 40", 40, BI_RGB, 4, 4, 0, {0, 0}, {0, 0, 4, 4}},
        {"compressed 8 bits", 8, BI_RLE8, 4, 4, 0, {0, 0}, {0, 0, 4, 4}},
        {"compressed 4 bits", 4, BI_RLE4, 4, 4, 0, {0, 0}, {0, 0, 4, 4}},
        {"zero width", 8, BI_RGB, 0, 4, 0, {0, 0}, {0, 0, 1, 1}},
        {"zero height", 8, BI_RGB, 4, 0, 0, {0, 0}, {0, 0, 1, 1}},
        {"short rows", 24, BI_RGB, 4, 4, -4, {0, 0}, {0, 0, 4, 4}},
        {"origin left of the bitmap", 8, BI_RGB, 4, 4, 0, {-1, 0}, {0, 0, 2, 2}},
        {"origin below the bitmap", 8, BI_RGB, 4, 4, 0, {0, 4}, {0, 0, 1, 1}},
        {"rectangle past the right edge", 8, BI_RGB, 4, 4, 0, {2, 0}, {0, 0, 3, 1}},
        {"rectangle past the bottom", 32, BI_RGB, 4, 4, 0, {0, 2}, {0, 0, 1, 3}},
        {"inverted rectangle", 8, BI_RGB, 4, 4, 0, {0, 0}, {2, 0, 1, 1}},
    };
    for (const Case& c : cases) {
        Dib dib(c.width > 0 ? c.width : 1, c.height != 0 ? c.height : 1, c.bitCount > 0 && c.bitCount <= 32 ? c.bitCount : 8, 2);
        BITMAPINFOHEADER& h = dib.Info()->bmiHeader;
        h.biBitCount = static_cast<WORD>(c.bitCount);
        h.biCompression = c.compression;
        h.biWidth = c.width;
        h.biHeight = c.height;
        std::vector<BYTE> out(256, 0xEE);
        EXPECT_FALSE(ConvertDibTo32(out.data(), c.rect, 32, dib.Info(), dib.bits.data(), dib.pitch + c.pitchDelta, c.origin))
            << c.name;
        EXPECT_FALSE(ConvertDibTo8(out.data(), c.rect, 32, dib.Info(), dib.bits.data(), dib.pitch + c.pitchDelta, c.origin))
            << c.name;
        EXPECT_EQ(std::vector<BYTE>(256, 0xEE), out) << c.name;
    }
}

TEST(DibConvert, ConverterByFormatCode)
{
    EXPECT_EQ(&ConvertDibTo16Rgb555, DibConverterForFormat(kPixelX1R5G5B5));
    EXPECT_EQ(&ConvertDibTo32, DibConverterForFormat(kPixelA8R8G8B8));
    EXPECT_EQ(&ConvertDibTo32NoAlpha, DibConverterForFormat(kPixelX8R8G8B8));
    EXPECT_EQ(nullptr, DibConverterForFormat(12));
}

// The gray of every (red, green) pair, with blue running through all values alongside, against the
// formula gray = (29 blue + 150 green + 77 red) >> 8.
TEST(DibConvert, GrayOfEveryChannelPair)
{
    Dib dib(256, 256, 24);
    for (LONG y = 0; y < 256; ++y) {
        BYTE* row = dib.ImageRow(y);
        for (LONG x = 0; x < 256; ++x) {
            row[x * 3 + 0] = static_cast<BYTE>((x * 7 + y) & 255);  // blue
            row[x * 3 + 1] = static_cast<BYTE>(x);                  // green
            row[x * 3 + 2] = static_cast<BYTE>(y);                  // red
        }
    }
    std::vector<BYTE> out(256 * 256);
    ASSERT_TRUE(ConvertDibTo8(out.data(), RECT{0, 0, 256, 256}, 256, dib.Info(), dib.bits.data(), dib.pitch, POINT{0, 0}));
    for (int red = 0; red < 256; ++red) {
        for (int green = 0; green < 256; ++green) {
            const int blue = (green * 7 + red) & 255;
            ASSERT_EQ((29 * blue + 150 * green + 77 * red) >> 8, out[static_cast<size_t>(red) * 256 + green]);
        }
    }
}

// Rows of random 24-bit pixels of every width up to a few vector steps, from several origins, at
// every SIMD level: each pixel is its three bytes and the alpha, and nothing past the rectangle is
// written (the vector steps read ahead but store only whole pixels of the row).
TEST(DibConvert, TrueColourRowsOfEveryWidthExpandPixelByPixel)
{
    uint32_t seed = 99;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<BYTE>(seed >> 16);
    };
    for (SimdLevel level : kAllSimdLevels) {
        const ScopedSimdLevel forced(level);
        SCOPED_TRACE(testing::Message() << "level " << static_cast<int>(ActiveSimdLevel()));
        for (LONG width = 1; width <= 40; ++width) {
            Dib dib(width, -2, 24);
            for (BYTE& b : dib.bits)
                b = next();
            for (LONG origin : {0L, 1L, 3L}) {
                if (origin >= width)
                    continue;
                const LONG w = width - origin;
                const RECT r{0, 0, w, 2};
                for (const auto& [convert, alpha] :
                     {std::pair{&ConvertDibTo32, 0xFF000000u}, std::pair{&ConvertDibTo32NoAlpha, 0u}}) {
                    const LONG pitch = w * 4 + 4;
                    std::vector<BYTE> out(static_cast<size_t>(pitch) * 2, 0xAB);
                    ASSERT_TRUE(convert(out.data(), r, pitch, dib.Info(), dib.bits.data(), dib.pitch, POINT{origin, 0}));
                    for (LONG y = 0; y < 2; ++y) {
                        const BYTE* row = dib.ImageRow(y);
                        for (LONG x = 0; x < w; ++x) {
                            const BYTE* p = row + (origin + x) * 3;
                            const uint32_t expected = alpha | p[0] | p[1] << 8 | p[2] << 16;
                            ASSERT_EQ(Word32(out, static_cast<size_t>(y * pitch / 4 + x)), expected)
                                << "width " << width << " origin " << origin << " x " << x << " y " << y;
                        }
                        ASSERT_EQ(Word32(out, static_cast<size_t>(y * pitch / 4 + w)), 0xABABABABu) << width;
                    }
                }
            }
        }
    }
}
