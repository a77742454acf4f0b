// The image buffer: creation, copies of whole images, fills and palette with their tracking, the
// row table, and the clip computations as tables of cases.
#include "raster/image.h"
#include "support/pixel_buffers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace raster_test;

namespace {

std::string Show(const RECT& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

}  // namespace

TEST(Image, CreateByDepthAndFlags)
{
    struct Case {
        int bpp;
        uint32_t flags;
        int result;
    } cases[] = {{8, 0, 0}, {32, 0, 0}, {16, 0, 1}, {24, 0, 1}, {32, kImageWithDc, 0}, {8, kImageWithDc | kImageWithTracker, 0}};
    for (const Case& c : cases) {
        CImage image;
        EXPECT_EQ(c.result, image.Create(7, 3, c.bpp, c.flags)) << c.bpp;
        EXPECT_EQ(c.result == 0, image.GetBits() != nullptr);
        EXPECT_EQ(c.result == 0 && (c.flags & kImageWithTracker), image.GetUpdateRegion() != nullptr);
        EXPECT_EQ(c.result == 0 && (c.flags & kImageWithDc), image.GetDc() != nullptr);
    }
    CImage image;
    EXPECT_EQ(2, image.Create(0, 5, 32, 0));
    // pitch x height past what memory can hold is refused, not wrapped.
    EXPECT_EQ(2, image.Create(0x7FFFFFF0, 0x7FFFFFF0, 32, 0));
    EXPECT_EQ(nullptr, image.GetBits());
}

// Creating over an image: every new picture starts zeroed and fresh (no key, tracker or alpha
// flag left over), whether its pixels are a new block or the old one kept; only kImageUncleared
// leaves the old bytes of a kept block of the same size.
TEST(Image, CreateOverAnImageStartsFresh)
{
    struct Case {
        LONG w, h;
        int bpp;
        uint32_t flags;
        bool oldBytesStay;
    } cases[] = {{9, 4, 32, 0, false},           {9, 4, 32, kImageUncleared, true}, {8, 4, 32, kImageUncleared, false},
                 {9, 5, 32, kImageUncleared, false}, {36, 4, 8, kImageUncleared, true}, {9, 4, 32, kImageWithDc, false},
                 {9, 4, 32, kImageWithTracker, false}};
    for (const Case& c : cases) {
        for (const uint32_t oldFlags : {0u, static_cast<uint32_t>(kImageWithDc | kImageWithTracker)}) {
            SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " flags " + std::to_string(c.flags) +
                         " over flags " + std::to_string(oldFlags));
            CImage image;
            ASSERT_EQ(0, image.Create(9, 4, 32, oldFlags));
            for (LONG y = 0; y < 4; ++y)
                std::memset(image.GetRowAddress(y), 0x5A, 36);
            image.SetColorKeyValue(0x123456);
            image.SetAlphaFlag(true);
            ASSERT_EQ(0, image.Create(c.w, c.h, c.bpp, c.flags));
            EXPECT_EQ(c.w, image.GetWidth());
            EXPECT_EQ(c.bpp, image.GetBitsPerPixel());
            EXPECT_EQ(kNoColorKey, image.GetColorKey());
            EXPECT_FALSE(image.HasAlpha());
            EXPECT_EQ((c.flags & kImageWithTracker) != 0, image.GetUpdateRegion() != nullptr);
            // A block is kept only from heap pixels.
            const bool stay = c.oldBytesStay && oldFlags == 0;
            int old = 0, zero = 0;
            for (LONG y = 0; y < c.h; ++y)
                for (LONG x = 0; x < c.w * c.bpp / 8; ++x) {
                    old += image.GetRowAddress(y)[x] == 0x5A;
                    zero += image.GetRowAddress(y)[x] == 0;
                }
            EXPECT_EQ(stay ? c.w * c.h * c.bpp / 8 : 0, old);
            EXPECT_EQ(stay ? 0 : c.w * c.h * c.bpp / 8, zero);
        }
    }
}

TEST(Image, FillTracksExactlyWhatChanged)
{
    CImage image;
    ASSERT_EQ(0, image.Create(40, 30, 32, kImageWithTracker));
    const RECT r{10, 10, 20, 20};
    EXPECT_TRUE(image.FillRect(1, 2, 3, &r));
    ASSERT_EQ(1, image.GetUpdateRegion()->Count());
    EXPECT_EQ(Show(r), Show(image.GetUpdateRegion()->Head()->rect));
    EXPECT_TRUE(image.IsChanged());
    EXPECT_EQ(0x00010203, image.GetPixel(10, 10));

    image.SetChanged(false);
    image.GetUpdateRegion()->Reset();
    const RECT outside{50, 0, 60, 10};
    EXPECT_FALSE(image.FillRect(1, 2, 3, &outside));
    EXPECT_FALSE(image.IsChanged());
    EXPECT_EQ(0, image.GetUpdateRegion()->Count());

    EXPECT_TRUE(image.FillRect32(0x80112233u, nullptr));
    EXPECT_EQ(static_cast<LONG>(0x80112233u), image.GetPixel(39, 29));
    EXPECT_TRUE(image.FillRgbKeepAlpha(9, 8, 7, &r));
    EXPECT_EQ(static_cast<LONG>(0x80090807u), image.GetPixel(15, 15));
}

TEST(Image, CopyFromCopiesPixelsPaletteAndKey)
{
    CImage source;
    ASSERT_EQ(0, source.Create(5, 4, 8, kImageWithTracker));
    uint32_t entries[256];
    for (int i = 0; i < 256; ++i) {
        entries[i] = 0x010203u * i;
    }
    ASSERT_EQ(0, source.SetPaletteEntries(entries, 256, 0));
    Random random(4);
    FillRandom(source, random);
    source.SetColorKeyAt(1, 1);
    source.SetUserValue1(11);
    CImage copy;
    ASSERT_EQ(0, copy.CopyFrom(&source, 2));
    EXPECT_NE(nullptr, copy.GetUpdateRegion());
    EXPECT_EQ(0, std::memcmp(source.GetPalette(), copy.GetPalette(), 1024));
    EXPECT_EQ(0, std::memcmp(source.GetBits(), copy.GetBits(), 4 * 8));
    EXPECT_EQ(source.GetColorKey(), copy.GetColorKey());
    EXPECT_EQ(11u, copy.GetUserValue1());
    EXPECT_FALSE(copy.IsChanged());

    CImage empty, target;
    EXPECT_EQ(1, target.CopyFrom(&empty, 0));
    EXPECT_EQ(1, target.CopyFrom(nullptr, 0));
}

TEST(Image, RowTableAndPaletteOperations)
{
    CImage image;
    EXPECT_EQ(1, image.BuildRowTable());
    ASSERT_EQ(0, image.Create(3, 5, 8, kImageWithTracker));
    ASSERT_EQ(0, image.BuildRowTable());
    for (int y = 0; y < 5; ++y) {
        EXPECT_EQ(image.GetRowAddress(y), image.GetRowTable()[y]);
    }
    EXPECT_FALSE(image.SetPaletteEntry(3, 0x123456, true));  // no palette yet
    ASSERT_EQ(0, image.SetPaletteEntries(nullptr, 0, 0));
    EXPECT_TRUE(image.IsChanged());
    image.SetChanged(false);
    EXPECT_TRUE(image.SetPaletteEntry(3, 0x123456, false));
    EXPECT_FALSE(image.IsChanged());
    EXPECT_EQ(3, image.FindPaletteIndex(0x12, 0x34, 0x56));
    CImage other;
    ASSERT_EQ(0, other.Create(2, 2, 8, 0));
    EXPECT_TRUE(other.CopyPalette(&image));
    EXPECT_EQ(3, other.FindPaletteIndex(0x12, 0x34, 0x56));
    CImage wide;
    ASSERT_EQ(0, wide.Create(2, 2, 32, 0));
    EXPECT_FALSE(wide.CopyPalette(&image));
}

TEST(Image, TransferRectUnscaledCases)
{
    struct Case {
        const char* name;
        RECT srcClip;
        bool withSrcRect;
        RECT srcRect;
        LONG x, y;
        int result;
        RECT wantSrc, wantDst;
    } cases[] = {
        {"inside", {0, 0, 10, 10}, true, {0, 0, 10, 10}, 5, 5, 0, {0, 0, 10, 10}, {5, 5, 15, 15}},
        {"source rect cut to source clip moves x", {0, 0, 10, 10}, true, {-5, 0, 10, 10}, 0, 0, 0, {0, 0, 10, 10}, {5, 0, 15, 10}},
        {"null source rect is the source clip", {2, 3, 6, 8}, false, {}, 0, 0, 0, {2, 3, 6, 8}, {0, 0, 4, 5}},
        {"left and top cut", {0, 0, 10, 10}, true, {0, 0, 10, 10}, -3, -4, 0, {3, 4, 10, 10}, {0, 0, 7, 6}},
        {"right and bottom cut", {0, 0, 10, 10}, true, {0, 0, 10, 10}, 25, 15, 0, {0, 0, 5, 5}, {25, 15, 30, 20}},
        {"wholly outside", {0, 0, 10, 10}, true, {0, 0, 10, 10}, 30, 0, -1, {}, {}},
        {"wholly left", {0, 0, 10, 10}, true, {0, 0, 10, 10}, -10, 0, -1, {}, {}},
        {"empty source", {0, 0, 10, 10}, true, {4, 4, 4, 9}, 0, 0, -1, {}, {}},
        {"far positions do not wrap", {0, 0, 10, 10}, true, {0, 0, 10, 10}, 0x7FFFFFF8, 0, -1, {}, {}},
    };
    for (const Case& c : cases) {
        CImage dst, src;
        ASSERT_EQ(0, dst.Create(30, 20, 32, 0));
        ASSERT_EQ(0, src.Create(10, 10, 32, 0));
        src.ClipRectToSize(&c.srcClip);
        const int result = dst.TransferRect(&src, c.x, c.y, c.withSrcRect ? &c.srcRect : nullptr, nullptr, nullptr, nullptr);
        ASSERT_EQ(c.result, result) << c.name;
        if (result == 0) {
            EXPECT_EQ(Show(c.wantSrc), Show(dst.TransferSrcRect())) << c.name;
            EXPECT_EQ(Show(c.wantDst), Show(dst.TransferDstRect())) << c.name;
        }
    }
}

TEST(Image, TransferRectArgumentsAndCallerClip)
{
    CImage dst;
    ASSERT_EQ(0, dst.Create(30, 20, 32, 0));
    EXPECT_EQ(1, dst.TransferRect(nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr));
    const RECT r{0, 0, 5, 5};
    const SIZE size{10, 10};
    EXPECT_EQ(2, dst.TransferRect(nullptr, 0, 0, &r, &size, nullptr, nullptr));
    StretchState st{};
    for (SIZE bad : {SIZE{0, 5}, SIZE{5, 0}, SIZE{-4, 5}, SIZE{5, -1}}) {
        EXPECT_EQ(-1, dst.TransferRect(nullptr, 0, 0, &r, &bad, &st, nullptr));
    }
    // The caller's clip comes back narrowed to the image's clip rectangle.
    RECT clip{-10, 5, 100, 12};
    const RECT tall{0, 0, 5, 10};
    ASSERT_EQ(0, dst.TransferRect(nullptr, 0, 0, &tall, nullptr, nullptr, &clip));
    EXPECT_EQ(Show(RECT{0, 5, 30, 12}), Show(clip));
    EXPECT_EQ(Show(RECT{0, 5, 5, 10}), Show(dst.TransferDstRect()));
}

TEST(Image, TransferRectScaledClipAdvancesSource)
{
    CImage dst;
    ASSERT_EQ(0, dst.Create(30, 20, 32, 0));
    // 10 source columns onto 20 destination columns at x = -5: the first visible pixel is
    // destination column 5 of the unclipped row, which samples source column 2.
    const RECT src{0, 0, 10, 10};
    const SIZE size{20, 20};
    StretchState st{};
    ASSERT_EQ(0, dst.TransferRect(nullptr, -5, 0, &src, &size, &st, nullptr));
    EXPECT_EQ(Show(RECT{0, 0, 15, 20}), Show(dst.TransferDstRect()));
    EXPECT_EQ(0, st.xStep);
    EXPECT_EQ(10, st.xFrac);
    EXPECT_EQ(20, st.xDen);
    // Walk both: unclipped samples from column 5 on must equal the clipped walk.
    auto walk = [](int acc, int start, const StretchState& s, int n) {
        std::vector<int> out;
        int pos = start;
        for (int i = 0; i < n; ++i) {
            out.push_back(pos);
            pos += s.xStep;
            acc += s.xFrac;
            if (acc >= 0) {
                ++pos;
                acc -= s.xDen;
            }
        }
        return out;
    };
    const std::vector<int> clipped = walk(st.xAcc, dst.TransferSrcRect().left, st, 15);
    StretchState full{};
    ASSERT_EQ(0, dst.TransferRect(nullptr, 0, 0, &src, &size, &full, nullptr));
    std::vector<int> unclipped = walk(full.xAcc, 0, full, 20);
    unclipped.erase(unclipped.begin(), unclipped.begin() + 5);
    EXPECT_EQ(unclipped, clipped);
}

// A stretch by a whole factor k shows every source pixel k times (the walk used to start one step
// short, showing the first pixel k + 1 times and the last k - 1 times); a stretch by a fraction
// takes the source pixel under each destination pixel's left edge.
TEST(Image, ScaledWalkRepeatsEachPixelEvenly)
{
    CImage dst;
    ASSERT_EQ(0, dst.Create(64, 8, 32, 0));
    struct Case {
        LONG source, dest;
        std::vector<int> columns;
    };
    const Case cases[] = {
        {3, 9, {0, 0, 0, 1, 1, 1, 2, 2, 2}},
        {2, 4, {0, 0, 1, 1}},
        {4, 4, {0, 1, 2, 3}},
        {8, 4, {0, 2, 4, 6}},
        {3, 5, {0, 0, 1, 1, 2}},
        {5, 3, {0, 1, 3}},
    };
    for (const Case& c : cases) {
        const RECT src{0, 0, c.source, 1};
        const SIZE size{c.dest, 1};
        StretchState st{};
        ASSERT_EQ(0, dst.TransferRect(nullptr, 0, 0, &src, &size, &st, nullptr));
        std::vector<int> walk;
        int pos = 0, acc = st.xAcc;
        for (LONG i = 0; i < c.dest; ++i) {
            walk.push_back(pos);
            pos += st.xStep;
            acc += st.xFrac;
            if (acc >= 0) {
                ++pos;
                acc -= st.xDen;
            }
        }
        EXPECT_EQ(walk, c.columns) << c.source << " onto " << c.dest;
    }
}

TEST(Image, TransferRectFlipXTakesCutsFromTheOppositeEdge)
{
    CImage dst;
    ASSERT_EQ(0, dst.Create(30, 20, 32, 0));
    const RECT src{0, 0, 10, 10};
    ASSERT_EQ(0, dst.TransferRectFlipX(nullptr, -3, 0, &src, nullptr, nullptr, nullptr));
    EXPECT_EQ(Show(RECT{0, 0, 7, 10}), Show(dst.TransferSrcRect()));
    ASSERT_EQ(0, dst.TransferRectFlipX(nullptr, 25, 0, &src, nullptr, nullptr, nullptr));
    EXPECT_EQ(Show(RECT{5, 0, 10, 10}), Show(dst.TransferSrcRect()));
}

TEST(Image, MapStretchRects)
{
    CImage image;
    ASSERT_EQ(0, image.Create(100, 100, 32, 0));
    StretchSteps steps{};
    // A inside the clip, B inside its clip: nothing cut; steps are B per A in 32.32.
    RECT a{10, 10, 30, 30}, b{0, 0, 40, 10};
    const RECT clipB{0, 0, 40, 10};
    ASSERT_TRUE(image.MapStretchRects(&a, &b, &clipB, &steps));
    EXPECT_EQ(uint64_t{2} << 32, steps.xStep);
    EXPECT_EQ(uint64_t{1} << 31, steps.yStep);
    // A starting above the clip: B moves by the exact fixed-point amount.
    RECT a2{10, -3, 30, 17}, b2{0, 0, 40, 10};
    ASSERT_TRUE(image.MapStretchRects(&a2, &b2, &clipB, &steps));
    EXPECT_EQ(0, a2.top);
    EXPECT_EQ(1, b2.top);  // 3 x 0.5 = 1.5
    EXPECT_EQ(0x80000000u, steps.yFraction);
    RECT empty{5, 5, 5, 9}, b3{0, 0, 4, 4};
    EXPECT_FALSE(image.MapStretchRects(&empty, &b3, &clipB, &steps));
    RECT a4{0, 0, 4, 4}, inverted{4, 0, 0, 4};
    EXPECT_FALSE(image.MapStretchRects(&a4, &inverted, &clipB, &steps));
    RECT a5{-50, 0, -10, 4}, b5{0, 0, 4, 4};
    EXPECT_FALSE(image.MapStretchRects(&a5, &b5, &clipB, &steps));
}

TEST(Image, AdjustBrightnessLevels)
{
    CImage image;
    ASSERT_EQ(0, image.Create(4, 2, 32, kImageWithTracker));
    image.FillRect32(0x80405060u, nullptr);
    image.SetChanged(false);
    EXPECT_TRUE(image.AdjustBrightness(255, nullptr));
    EXPECT_FALSE(image.IsChanged());
    EXPECT_EQ(static_cast<LONG>(0x80405060u), image.GetPixel(0, 0));
    EXPECT_FALSE(image.AdjustBrightness(511, nullptr));
    const RECT left{0, 0, 2, 2};
    EXPECT_TRUE(image.AdjustBrightness(0, &left));
    EXPECT_EQ(static_cast<LONG>(0x80000000u), image.GetPixel(1, 1));
    EXPECT_EQ(static_cast<LONG>(0x80405060u), image.GetPixel(2, 1));
    EXPECT_TRUE(image.AdjustBrightness(510, nullptr));
    EXPECT_EQ(static_cast<LONG>(0x80FFFFFFu), image.GetPixel(3, 0));
    const RECT outside{10, 10, 12, 12};
    EXPECT_FALSE(image.AdjustBrightness(100, &outside));
}

TEST(Image, AdjustBrightnessOfPaletteImagesStartsFromTheFirstPalette)
{
    CImage image;
    ASSERT_EQ(0, image.Create(2, 2, 8, 0));
    EXPECT_FALSE(image.AdjustBrightness(100, nullptr));  // no palette
    uint32_t entries[256];
    for (uint32_t i = 0; i < 256; ++i) {
        entries[i] = 0x7F000000u | i << 16 | (255 - i) << 8 | (i / 2);
    }
    ASSERT_EQ(0, image.SetPaletteEntries(entries, 256, 0));
    const RECT r{0, 0, 1, 1};
    EXPECT_FALSE(image.AdjustBrightness(100, &r));
    ASSERT_TRUE(image.AdjustBrightness(100, nullptr));
    ASSERT_TRUE(image.AdjustBrightness(300, nullptr));
    const uint32_t k = 300 - 255;
    for (uint32_t i = 0; i < 256; ++i) {
        auto level = [&](uint32_t c) { return (255 - k) * c / 255 + ((255 - k) * c % 255 >= 128 ? 1 : 0) + k; };
        const uint32_t want = 0x7F000000u | level(i) << 16 | level(255 - i) << 8 | level(i / 2);
        ASSERT_EQ(want, image.GetPalette()[i]) << i;
    }
}
