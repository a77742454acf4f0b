// The memory surface: storage, palette, key, pixel reads, fills, the alpha setter, and the blit
// rectangle clipper as a table of cases.
#include "raster/dib_surface.h"
#include "raster/image.h"
#include "support/pixel_buffers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Show(const RECT& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

}  // namespace

TEST(DibSurface, CreateSizesAndAlignment)
{
    struct Case {
        LONG w, h;
        int bpp;
        int result;
        LONG pitch;
        size_t heap;
    } cases[] = {
        {1, 1, 32, 0, 4, 4}, {3, 1, 8, 0, 4, 4}, {5, 2, 8, 0, 8, 16}, {0, 5, 32, 1, 0, 0},
        {5, 0, 32, 1, 0, 0},  {5, 5, 4, 1, 0, 0},  {5, 5, 12, 1, 0, 0},
    };
    for (const Case& c : cases) {
        CDibSurface s;
        ASSERT_EQ(c.result, s.Create(c.w, c.h, c.bpp, false)) << c.w << "x" << c.h << "@" << c.bpp;
        if (c.result != 0) {
            EXPECT_TRUE(s.IsEmpty());
            continue;
        }
        EXPECT_EQ(c.pitch, s.GetPitch());
        EXPECT_EQ(c.heap, s.GetHeapSize());
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(s.GetBits()) % 64);
        RECT clip;
        s.GetClipRect(&clip);
        EXPECT_EQ(Show(RECT{0, 0, c.w, c.h}), Show(clip));
    }
    CDibSurface s;
    EXPECT_EQ(2, s.Create(0x40000000, 0x40000000, 32, false));  // pitch x height too large
    EXPECT_EQ(0, s.Create(4, 4, 32, true));
    EXPECT_NE(nullptr, s.GetDc());
    EXPECT_EQ(0u, s.GetHeapSize());
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(s.GetBits()) % 64);
}

TEST(DibSurface, ResizeKeepsASmallerHeapBlock)
{
    CDibSurface s;
    EXPECT_EQ(1, s.Resize(4, 4));
    ASSERT_EQ(0, s.Create(8, 8, 32, false));
    std::memset(s.GetBits(), 0x5C, 8 * 32);
    BYTE* before = s.GetBits();
    ASSERT_EQ(0, s.Resize(4, 4));
    EXPECT_EQ(before, s.GetBits());
    EXPECT_EQ(0x5C, s.GetBits()[0]);
    EXPECT_EQ(16, s.GetPitch());
    EXPECT_EQ(1, s.Resize(0, 4));
    ASSERT_EQ(0, s.Resize(40, 40));
    EXPECT_EQ(40, s.GetWidth());
    EXPECT_EQ(0, s.Resize(40, 40));
}

TEST(DibSurface, PaletteAndKey)
{
    CDibSurface s;
    EXPECT_EQ(1, s.SetPaletteEntries(nullptr, 0, 0));  // empty: not 8 bits
    ASSERT_EQ(0, s.Create(4, 4, 8, true));
    uint32_t entries[256];
    for (uint32_t i = 0; i < 256; ++i) {
        entries[i] = 0xABCD00u + i;
    }
    ASSERT_EQ(0, s.SetPaletteEntries(nullptr, 0, 0));
    ASSERT_EQ(0, s.SetPaletteEntries(entries, 10, 250));
    EXPECT_EQ(249u * 0x010101u, s.GetPalette()[249]);
    for (int p = 250; p < 256; ++p) {
        EXPECT_EQ(entries[p], s.GetPalette()[p]);
    }
    EXPECT_EQ(1, s.SetColorKeyRgb(0x12, 0x34, 0x57));  // absent colour: no key
    EXPECT_EQ(kNoColorKey, s.GetColorKey());
    EXPECT_EQ(0, s.SetColorKeyRgb(0xAB, 0xCD, 0xFB));
    EXPECT_EQ(251u, s.GetColorKey());
    EXPECT_EQ(0, s.ClearColorKey());
    EXPECT_EQ(kNoColorKey, s.GetColorKey());
    EXPECT_TRUE(s.FillPalette(0x010203, true));
    EXPECT_EQ(0, s.FindPaletteIndex(1, 2, 3));

    CDibSurface t;
    ASSERT_EQ(0, t.Create(2, 2, 32, false));
    EXPECT_EQ(0, t.SetColorKeyRgb(1, 2, 3));
    EXPECT_EQ(0x010203u, t.GetColorKey());
    EXPECT_FALSE(t.SetPaletteEntry(0, 0, false));
}

TEST(DibSurface, PixelsAndFills)
{
    CDibSurface s;
    EXPECT_EQ(-1, s.GetPixel(0, 0));
    ASSERT_EQ(0, s.Create(6, 4, 32, false));
    EXPECT_EQ(-1, s.GetPixel(-1, 0));
    EXPECT_EQ(-1, s.GetPixel(6, 0));
    EXPECT_EQ(nullptr, s.GetRowAddress(4));
    EXPECT_EQ(nullptr, s.GetRowAddress(-1));
    RECT changed{};
    const RECT r{-2, 1, 3, 9};
    ASSERT_TRUE(s.FillRect(0x10, 0x20, 0x30, &r, &changed));
    EXPECT_EQ(Show(RECT{0, 1, 3, 4}), Show(changed));
    EXPECT_EQ(0x00102030, s.GetPixel(0, 1));
    ASSERT_TRUE(s.FillRect32(0x80AABBCCu, nullptr, nullptr));
    EXPECT_EQ(static_cast<LONG>(0x80AABBCCu), s.GetPixel(5, 3));
    const RECT outside{7, 0, 9, 2};
    EXPECT_FALSE(s.FillRect(1, 1, 1, &outside, nullptr));

    CDibSurface p;
    ASSERT_EQ(0, p.Create(5, 3, 8, false));
    ASSERT_TRUE(p.FillRect(7, 0, 0, nullptr, nullptr));
    EXPECT_EQ(7, p.GetPixel(4, 2));
    EXPECT_FALSE(p.FillRect32(1, nullptr, nullptr));
}

TEST(DibSurface, SetImageAlphaTouchesOnlyThirtyTwoBitPixels)
{
    CDibSurface s;
    ASSERT_EQ(0, s.Create(3, 2, 32, false));
    s.FillRect32(0x12345678u, nullptr, nullptr);
    SetImageAlpha(&s, 0x80);
    EXPECT_EQ(static_cast<LONG>(0x80345678u), s.GetPixel(2, 1));
    SetImageAlpha(&s, 0);
    EXPECT_EQ(0x00345678, s.GetPixel(0, 0));
    // An 8-bit image is a quarter the size: its bytes (and what follows) stay as they are.
    CDibSurface p;
    ASSERT_EQ(0, p.Create(3, 2, 8, false));
    p.FillRect(9, 0, 0, nullptr, nullptr);
    SetImageAlpha(&p, 0xFF);
    EXPECT_EQ(9, p.GetPixel(2, 1));
}

TEST(ClipBlitRects, Cases)
{
    struct Case {
        const char* name;
        LONG x, y;
        RECT src;
        bool scaled;
        SIZE size;
        int result;
        RECT wantSrc, wantDst;
    } cases[] = {
        {"inside", 2, 3, {0, 0, 4, 4}, false, {}, 0, {0, 0, 4, 4}, {2, 3, 6, 7}},
        {"left cut moves the source left", -3, 0, {0, 0, 10, 4}, false, {}, 0, {3, 0, 10, 4}, {0, 0, 7, 4}},
        {"right and bottom cut", 15, 8, {0, 0, 10, 10}, false, {}, 0, {0, 0, 5, 2}, {15, 8, 20, 10}},
        {"outside", 30, 0, {0, 0, 10, 10}, false, {}, -1, {}, {}},
        {"scaled left cut in proportion", -4, 0, {0, 0, 10, 10}, true, {20, 10}, 0, {2, 0, 10, 10}, {0, 0, 16, 10}},
        {"scaled zero width", 0, 0, {0, 0, 10, 10}, true, {0, 10}, -1, {}, {}},
        {"scaled negative height", 0, 0, {0, 0, 10, 10}, true, {5, -3}, -1, {}, {}},
    };
    const RECT clip{0, 0, 20, 10};
    for (const Case& c : cases) {
        RECT src = c.src, dst{};
        const int result = ClipBlitRects(c.x, c.y, &src, &dst, &clip, c.scaled ? &c.size : nullptr);
        ASSERT_EQ(c.result, result) << c.name;
        if (result == 0) {
            EXPECT_EQ(Show(c.wantSrc), Show(src)) << c.name;
            EXPECT_EQ(Show(c.wantDst), Show(dst)) << c.name;
        }
    }
    RECT src{0, 0, 1, 1}, dst{};
    EXPECT_EQ(1, ClipBlitRects(0, 0, &src, &dst, nullptr, nullptr));
}

TEST(IntersectClipRect, LeavesTopAndBottomWhenNothingIsLeftAcross)
{
    const RECT clip{10, 10, 20, 20};
    RECT left{0, 0, 5, 30};
    EXPECT_FALSE(IntersectClipRect(&left, &clip));
    EXPECT_EQ(0, left.top);
    EXPECT_EQ(30, left.bottom);
    RECT r{5, 5, 15, 25};
    EXPECT_TRUE(IntersectClipRect(&r, &clip));
    EXPECT_EQ(Show(RECT{10, 10, 15, 20}), Show(r));
    EXPECT_FALSE(IntersectClipRect(&r, nullptr));
}

TEST(DibSurface, GdiCopyOfPaletteImagesEqualsThePaletteKernel)
{
    raster_test::Random random(9);
    CImage srcDc, dstDc, srcHeap, dstHeap;
    ASSERT_EQ(0, srcDc.Create(7, 5, 8, kImageWithDc));
    ASSERT_EQ(0, dstDc.Create(9, 6, 32, kImageWithDc));
    ASSERT_EQ(0, srcHeap.Create(7, 5, 8, 0));
    ASSERT_EQ(0, dstHeap.Create(9, 6, 32, 0));
    uint32_t entries[256];
    for (uint32_t& e : entries) {
        e = random.Next() & 0x00FFFFFFu;
    }
    ASSERT_EQ(0, srcDc.SetPaletteEntries(entries, 256, 0));
    ASSERT_EQ(0, srcHeap.SetPaletteEntries(entries, 256, 0));
    raster_test::FillRandom(srcDc, random);
    for (LONG y = 0; y < 5; ++y) {
        std::memcpy(srcHeap.GetRowAddress(y), srcDc.GetRowAddress(y), 7);
    }
    ASSERT_EQ(0, dstDc.Copy(&srcDc, 3, -1, nullptr, false));
    ASSERT_EQ(0, dstHeap.Copy(&srcHeap, 3, -1, nullptr, false));
    for (LONG y = 0; y < 6; ++y) {
        for (LONG x = 0; x < 9; ++x) {
            ASSERT_EQ(dstHeap.GetPixel(x, y), dstDc.GetPixel(x, y)) << x << "," << y;
        }
    }
}
