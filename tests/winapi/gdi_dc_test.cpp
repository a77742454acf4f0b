// Device contexts, DIB sections and blits.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "winapi/gdi.h"
#include "winapi/gdi_memory_dc.h"
#include "winapi/simd_level.h"

namespace {

struct Dib {
    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    BYTE* bits = nullptr;
    int pitch = 0;

    Dib(int width, int height, int bpp = 32, bool bottomUp = false)
    {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colors[256];
        } info{};
        info.header.biSize = sizeof(BITMAPINFOHEADER);
        info.header.biWidth = width;
        info.header.biHeight = bottomUp ? height : -height;
        info.header.biPlanes = 1;
        info.header.biBitCount = static_cast<WORD>(bpp);
        info.header.biCompression = BI_RGB;
        for (int i = 0; i < 256; ++i)
            info.colors[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 7, 0};
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        void* p = nullptr;
        bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &p, nullptr, 0);
        ReleaseDC(nullptr, screen);
        bits = static_cast<BYTE*>(p);
        pitch = ((width * bpp + 31) / 32) * 4;
        old = SelectObject(dc, bitmap);
    }
    ~Dib()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    // Row y counted from the top of the picture.
    uint32_t* Row32(int y, bool bottomUp = false, int height = 0)
    {
        return reinterpret_cast<uint32_t*>(bits + pitch * (bottomUp ? height - 1 - y : y));
    }
};

TEST(GdiDc, DibSectionDescribesItselfAndOwnsZeroedPixels)
{
    Dib dib(5, 3, 32, true);
    ASSERT_NE(dib.bitmap, nullptr);
    ASSERT_NE(dib.bits, nullptr);
    for (int i = 0; i < 5 * 3 * 4; ++i)
        EXPECT_EQ(dib.bits[i], 0);
    DIBSECTION section{};
    EXPECT_EQ(GetObjectA(dib.bitmap, sizeof(section), &section), static_cast<int>(sizeof(DIBSECTION)));
    EXPECT_EQ(section.dsBm.bmWidth, 5);
    EXPECT_EQ(section.dsBm.bmHeight, 3);
    EXPECT_EQ(section.dsBm.bmWidthBytes, 20);
    EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(section.dsBm.bmBits, dib.bits);
    EXPECT_EQ(section.dshSection, nullptr);
    BITMAP plain{};
    EXPECT_EQ(GetObjectA(dib.bitmap, sizeof(plain), &plain), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(GetObjectType(dib.bitmap), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_EQ(GetObjectType(dib.dc), static_cast<DWORD>(OBJ_MEMDC));
    EXPECT_EQ(GetCurrentObject(dib.dc, OBJ_BITMAP), dib.bitmap);

    Dib eight(3, 2, 8);
    EXPECT_EQ(eight.pitch, 4);  // rows are 32-bit aligned
}

TEST(GdiDc, BadHeadersAreRefused)
{
    struct Case {
        const char* name;
        LONG width, height;
        WORD planes, bpp;
        DWORD compression;
    } cases[] = {
        {"zero width", 0, 4, 1, 32, BI_RGB},     {"zero height", 4, 0, 1, 32, BI_RGB},
        {"two planes", 4, 4, 2, 32, BI_RGB},     {"one bit", 4, 4, 1, 1, BI_RGB},
        {"RLE8", 4, 4, 1, 8, BI_RLE8},           {"huge", 1 << 20, 1 << 20, 1, 32, BI_RGB},
        {"negative width", -4, 4, 1, 32, BI_RGB},
    };
    for (const Case& c : cases) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = c.width;
        info.bmiHeader.biHeight = c.height;
        info.bmiHeader.biPlanes = c.planes;
        info.bmiHeader.biBitCount = c.bpp;
        info.bmiHeader.biCompression = c.compression;
        void* bits = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr) << c.name;
        EXPECT_EQ(bits, nullptr) << c.name;
    }
}

TEST(GdiDc, SelectionRules)
{
    Dib a(2, 2);
    HDC other = CreateCompatibleDC(nullptr);
    // A bitmap lives in one DC at a time, and cannot be deleted while it is there.
    EXPECT_EQ(SelectObject(other, a.bitmap), nullptr);
    EXPECT_FALSE(DeleteObject(a.bitmap));
    HGDIOBJ stock = SelectObject(a.dc, a.old);
    EXPECT_EQ(stock, a.bitmap);
    EXPECT_NE(SelectObject(other, a.bitmap), nullptr);
    EXPECT_NE(SelectObject(other, a.old), nullptr);
    EXPECT_FALSE(DeleteObject(a.old));  // the stock bitmap stays
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_FALSE(DeleteDC(other));  // stale handle
    EXPECT_EQ(SelectObject(other, a.bitmap), HGDI_ERROR);
    a.old = SelectObject(a.dc, a.bitmap);
    int fake = 0;
    EXPECT_FALSE(DeleteObject(&fake));
    EXPECT_FALSE(BitBlt(a.dc, 0, 0, 1, 1, reinterpret_cast<HDC>(&fake), 0, 0, SRCCOPY));
}

TEST(GdiDc, BitBltCopiesClippedRectanglesWithAlpha)
{
    Dib src(4, 4), dst(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            src.Row32(y)[x] = 0x80000000u | static_cast<uint32_t>(y * 16 + x);
    struct Case {
        const char* name;
        int x, y, w, h, sx, sy;
        int firstX, firstY;  // destination pixel that receives source (0, 0) offset
    } cases[] = {
        {"whole", 0, 0, 4, 4, 0, 0, 0, 0},
        {"destination off the top-left", -1, -2, 4, 4, 0, 0, -1, -2},
        {"source off the top-left", 0, 0, 4, 4, -1, -1, 1, 1},
        {"past the bottom-right", 2, 3, 10, 10, 0, 0, 2, 3},
    };
    for (const Case& c : cases) {
        std::memset(dst.bits, 0, 64);
        EXPECT_TRUE(BitBlt(dst.dc, c.x, c.y, c.w, c.h, src.dc, c.sx, c.sy, SRCCOPY)) << c.name;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const int srcX = x - c.firstX, srcY = y - c.firstY;
                const bool inside = x >= c.x && y >= c.y && x < c.x + c.w && y < c.y + c.h && srcX >= 0 &&
                                    srcY >= 0 && srcX < 4 && srcY < 4;
                const uint32_t expected = inside ? src.Row32(srcY)[srcX] : 0;
                EXPECT_EQ(dst.Row32(y)[x], expected) << c.name << " at " << x << "," << y;
            }
    }
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 0x00EE0086 /* SRCPAINT */));
}

TEST(GdiDc, BitBltKeepsPictureOrientationAcrossStorageOrders)
{
    Dib bottomUp(3, 3, 32, true), topDown(3, 3);
    for (int y = 0; y < 3; ++y)
        bottomUp.Row32(y, true, 3)[0] = static_cast<uint32_t>(y + 1);
    ASSERT_TRUE(BitBlt(topDown.dc, 0, 0, 3, 3, bottomUp.dc, 0, 0, SRCCOPY));
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(topDown.Row32(y)[0], static_cast<uint32_t>(y + 1));
    EXPECT_EQ(GetPixel(bottomUp.dc, 0, 2), RGB(0, 0, 3));
    EXPECT_EQ(GetPixel(bottomUp.dc, 3, 0), CLR_INVALID);
}

TEST(GdiDc, OverlappingCopyWithinOneBitmap)
{
    Dib dib(1, 6);
    for (int y = 0; y < 6; ++y)
        dib.Row32(y)[0] = static_cast<uint32_t>(y);
    ASSERT_TRUE(BitBlt(dib.dc, 0, 2, 1, 4, dib.dc, 0, 0, SRCCOPY));
    const uint32_t down[] = {0, 1, 0, 1, 2, 3};
    for (int y = 0; y < 6; ++y)
        EXPECT_EQ(dib.Row32(y)[0], down[y]);
    ASSERT_TRUE(BitBlt(dib.dc, 0, 0, 1, 4, dib.dc, 0, 2, SRCCOPY));
    const uint32_t up[] = {0, 1, 2, 3, 2, 3};
    for (int y = 0; y < 6; ++y)
        EXPECT_EQ(dib.Row32(y)[0], up[y]);
}

TEST(GdiDc, BitBltBetweenBitmapsMatchesThePixelsAtEverySimdLevel)
{
    // Rectangles of every width class (a few bytes, vector steps with tails, rows past the short
    // rows that are fetched ahead) between random bitmaps of each storage order and depth.
    struct Case {
        const char* name;
        int bpp;
        bool srcBottomUp, dstBottomUp;
        int width, height;
    } cases[] = {
        {"32 top-down", 32, false, false, 1300, 40},
        {"32 bottom-up to top-down", 32, true, false, 1300, 40},
        {"32 top-down to bottom-up", 32, false, true, 300, 40},
        {"24 both bottom-up", 24, true, true, 700, 30},
        {"16 mixed orders", 16, false, true, 900, 30},
    };
    std::mt19937 random(11);
    for (const Case& c : cases) {
        Dib src(c.width, c.height, c.bpp, c.srcBottomUp), dst(c.width, c.height, c.bpp, c.dstBottomUp);
        const int bytes = c.bpp / 8;
        for (int i = 0; i < src.pitch * c.height; ++i)
            src.bits[i] = static_cast<BYTE>(random());
        auto rowOf = [&](Dib& dib, bool bottomUp, int y) { return dib.bits + dib.pitch * (bottomUp ? c.height - 1 - y : y); };
        for (SimdLevel level : kAllSimdLevels) {
            for (bool wide : {false, true}) {
                ScopedSimdLevel scoped(level);
                ScopedAvx512 avx512(wide);
                for (int round = 0; round < 12; ++round) {
                    for (int i = 0; i < dst.pitch * c.height; ++i)
                        dst.bits[i] = static_cast<BYTE>(random());
                    std::vector<BYTE> want(dst.bits, dst.bits + dst.pitch * c.height);
                    const int w = 1 + static_cast<int>(random() % static_cast<unsigned>(c.width));
                    const int h = 1 + static_cast<int>(random() % static_cast<unsigned>(c.height));
                    const int x = static_cast<int>(random() % static_cast<unsigned>(c.width - w + 1));
                    const int y = static_cast<int>(random() % static_cast<unsigned>(c.height - h + 1));
                    const int sx = static_cast<int>(random() % static_cast<unsigned>(c.width - w + 1));
                    const int sy = static_cast<int>(random() % static_cast<unsigned>(c.height - h + 1));
                    for (int row = 0; row < h; ++row) {
                        const int at = dst.pitch * (c.dstBottomUp ? c.height - 1 - (y + row) : y + row);
                        std::memcpy(want.data() + at + x * bytes, rowOf(src, c.srcBottomUp, sy + row) + sx * bytes,
                                    static_cast<size_t>(w) * bytes);
                    }
                    ASSERT_TRUE(BitBlt(dst.dc, x, y, w, h, src.dc, sx, sy, SRCCOPY)) << c.name;
                    ASSERT_EQ(0, std::memcmp(want.data(), dst.bits, want.size()))
                        << c.name << " level " << static_cast<int>(level) << " wide " << wide << " round " << round;
                }
            }
        }
    }
}

TEST(GdiDc, EightBitSourcesGoThroughTheirPalette)
{
    Dib src(2, 1, 8), dst(2, 1);
    src.bits[0] = 3;
    src.bits[1] = 200;
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.Row32(0)[0], 0x0007FC03u);  // red 7, green 252, blue 3
    const RGBQUAD red{0, 0, 255, 0};
    EXPECT_EQ(SetDIBColorTable(src.dc, 200, 1, &red), 1u);
    RGBQUAD back{};
    EXPECT_EQ(GetDIBColorTable(src.dc, 200, 1, &back), 1u);
    RGBQUAD tail[4];
    EXPECT_EQ(GetDIBColorTable(src.dc, 254, 4, tail), 2u);  // stops at the last entry
    EXPECT_EQ(back.rgbRed, 255);
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.Row32(0)[1], 0x00FF0000u);
    // Nothing converts down to palette indices.
    EXPECT_FALSE(BitBlt(src.dc, 0, 0, 2, 1, dst.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(SetDIBColorTable(dst.dc, 0, 1, &red), 0u);
}

TEST(GdiDc, MemoryDcOverACallersBuffer)
{
    std::vector<uint32_t> pixels(4 * 3, 0);
    EXPECT_EQ(winapi::CreateMemoryDC(nullptr, 4, 3, 16, 32), nullptr);
    EXPECT_EQ(winapi::CreateMemoryDC(pixels.data(), 4, 3, 12, 32), nullptr);  // pitch shorter than a row
    EXPECT_EQ(winapi::CreateMemoryDC(pixels.data(), 4, 3, 16, 4), nullptr);
    // Bottom-up: the top row is the last one in memory and the pitch is negative.
    HDC buffer = winapi::CreateMemoryDC(pixels.data() + 8, 4, 3, -16, 32);
    ASSERT_NE(buffer, nullptr);
    winapi::PixelView view;
    ASSERT_TRUE(winapi::GetDcPixels(buffer, &view));
    EXPECT_EQ(view.width, 4);
    EXPECT_EQ(view.stride, -16);

    Dib dib(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            dib.Row32(y)[x] = static_cast<uint32_t>(0xFF000000u | (y << 8) | x);
    ASSERT_TRUE(BitBlt(buffer, 0, 0, 4, 3, dib.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(pixels[8], 0xFF000000u);   // top-left
    EXPECT_EQ(pixels[3], 0xFF000203u);   // bottom-right
    std::memset(dib.bits, 0, 48);
    ASSERT_TRUE(BitBlt(dib.dc, 1, 1, 1, 1, buffer, 3, 2, SRCCOPY));
    EXPECT_EQ(dib.Row32(1)[1], 0xFF000203u);
    EXPECT_EQ(SelectObject(buffer, dib.bitmap), nullptr);
    EXPECT_TRUE(DeleteDC(buffer));
}

TEST(GdiDc, StretchBltScalesAndMirrors)
{
    Dib src(2, 2), dst(4, 4);
    src.Row32(0)[0] = 1;
    src.Row32(0)[1] = 2;
    src.Row32(1)[0] = 3;
    src.Row32(1)[1] = 4;
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, SRCCOPY));
    const uint32_t doubled[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dst.Row32(y)[x], doubled[y][x]);
    ASSERT_TRUE(StretchBlt(dst.dc, 2, 0, -2, 2, src.dc, 0, 0, 2, 2, SRCCOPY));  // mirrored left to right
    EXPECT_EQ(dst.Row32(0)[0], 2u);
    EXPECT_EQ(dst.Row32(0)[1], 1u);
    EXPECT_EQ(dst.Row32(1)[0], 4u);
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, 2, 2, SRCCOPY));  // shrink samples the centre
    EXPECT_EQ(dst.Row32(0)[0], 4u);
}

TEST(GdiDc, SetDIBitsToDeviceReadsBottomUpRows)
{
    const uint32_t rows[2][2] = {{0x10, 0x11}, {0x20, 0x21}};  // memory order: bottom row first
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = 2;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    Dib dst(2, 2);
    EXPECT_EQ(SetDIBitsToDevice(dst.dc, 0, 0, 2, 2, 0, 0, 0, 2, rows, &info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(dst.Row32(0)[0], 0x20u);
    EXPECT_EQ(dst.Row32(1)[1], 0x11u);
    info.bmiHeader.biBitCount = 1;
    EXPECT_EQ(SetDIBitsToDevice(dst.dc, 0, 0, 2, 2, 0, 0, 0, 2, rows, &info, DIB_RGB_COLORS), 0);
}

TEST(GdiDc, ScreenDcIsInformationOnly)
{
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_GT(GetDeviceCaps(screen, HORZRES), 0);
    Dib dib(2, 2);
    EXPECT_FALSE(BitBlt(screen, 0, 0, 2, 2, dib.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(DeleteObject(screen));
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 0);
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(GetDeviceCaps(display, VREFRESH), 60);
    EXPECT_TRUE(DeleteDC(display));
    EXPECT_EQ(CreateDCA("\\\\.\\NOSUCH", "\\\\.\\NOSUCH", nullptr, nullptr), nullptr);
}

} // namespace
