// Filter operations on images: blur-blend and its radius-0 forms, the in-place blur and mosaic,
// with their rectangles, results and records of what changed.
#include "raster/blur_ops.h"

#include "raster/blend_mode_ops.h"
#include "raster/compose_ops.h"
#include "winapi/simd_level.h"

#include "op_test_util.h"
#include "pixel_test_util.h"

using namespace op_test;
using namespace pixel_test;

TEST(BlurOps, RadiusZeroIsTheCrossFadeOrAlphaTable)
{
    raster_test::Random random(1);
    auto src = MakeImage(9, 7, 32, random);
    auto base = MakeImage(12, 10, 32, random);
    CImage a, b;
    ASSERT_EQ(a.CopyFrom(base.get(), 0), 0);
    ASSERT_EQ(b.CopyFrom(base.get(), 0), 0);
    EXPECT_EQ(BlurBlend(a, src.get(), 0, 140, 2, 1, nullptr), 0);
    EXPECT_EQ(CrossFade(b, src.get(), 140, 2, 1, nullptr), 0);
    EXPECT_EQ(raster_test::Snapshot(a), raster_test::Snapshot(b));
    EXPECT_EQ(BlurBlendAlpha(a, src.get(), 0, 140, -1, 3, nullptr), 0);
    EXPECT_EQ(BlendAlphaTable(b, 0, src.get(), 140, -1, 3, nullptr), 0);
    EXPECT_EQ(raster_test::Snapshot(a), raster_test::Snapshot(b));
    // Radius 0 reports the cross-fade's own errors.
    EXPECT_EQ(BlurBlend(a, nullptr, 0, 140, 0, 0, nullptr), 1);
}

TEST(BlurOps, BlurBlendReadsTheWholeSourceRow)
{
    raster_test::Random random(2);
    auto src = MakeImage(20, 4, 32, random);
    auto base = MakeImage(10, 6, 32, random);
    // Drawing source columns 5..14 at x = 0: the window reaches columns outside the source rectangle
    // (but not outside the source); radius 200 blurs as 127, the edges repeat the end columns.
    const RECT part{5, 1, 15, 3};
    for (int radius : {3, 200}) {
        for (int level : {255, 90}) {
            CImage dst;
            ASSERT_EQ(dst.CopyFrom(base.get(), kImageWithTracker), 0);
            dst.SetChanged(false);
            ASSERT_EQ(BlurBlend(dst, src.get(), BYTE(radius), BYTE(level), 0, 2, &part), 0);
            const int r = std::min(radius, 127);
            for (int y = 0; y < 2; ++y) {
                for (int x = 0; x < 10; ++x) {
                    uint32_t b = 0;
                    for (int c = 0; c < 4; ++c) {
                        uint32_t sum = 0;
                        for (int k = x + 5 - r; k <= x + 5 + r; ++k) {
                            sum += Chan(Px(*src, std::clamp(k, 0, 19), y + 1), c);
                        }
                        b |= ((sum * (65536u / (2 * r + 1)) + 32768) >> 16) << (8 * c);
                    }
                    const uint32_t d = Px(*base, x, y + 2);
                    ASSERT_EQ(Px(dst, x, y + 2), level == 255 ? b : BlendF(d, b, Factor(level)))
                        << radius << " " << level << " " << x;
                }
            }
            EXPECT_TRUE(Marked(dst, RECT{0, 2, 10, 4}));
        }
    }
    CImage empty;
    auto src8 = MakeImage(4, 4, 8, random);
    EXPECT_EQ(BlurBlend(empty, src.get(), 2, 10, 0, 0, nullptr), 1);
    EXPECT_EQ(BlurBlendAlpha(*base, src8.get(), 2, 10, 0, 0, nullptr), 2);
    EXPECT_EQ(BlurBlend(*base, src.get(), 2, 0, 0, 0, nullptr), 0);
}

TEST(BlurOps, BlurInPlace)
{
    raster_test::Random random(3);
    auto img = MakeImage(10, 10, 32, random);
    img->SetColorKeyAt(0, 0);
    const RECT narrow{0, 0, 3, 10};
    const std::vector<BYTE> before = raster_test::Snapshot(*img);
    EXPECT_EQ(Blur(*img, 0, &narrow), 2);
    EXPECT_EQ(raster_test::Snapshot(*img), before);
    EXPECT_TRUE(Untouched(*img));
    // A uniform area in mode 2 keeps its colour and loses its alpha; the key is cleared.
    const RECT area{2, 2, 8, 7};
    for (int y = 2; y < 7; ++y) {
        for (int x = 2; x < 8; ++x) {
            SetPx(*img, x, y, 0x7F406080u);
        }
    }
    EXPECT_EQ(Blur(*img, 2, &area), 0);
    EXPECT_EQ(Px(*img, 4, 4), 0x00406080u);
    EXPECT_EQ(Px(*img, 2, 2), 0x00406080u);
    EXPECT_EQ(Px(*img, 1, 1), uint32_t(before[img->GetPitch() + 4] | before[img->GetPitch() + 5] << 8 |
                                        before[img->GetPitch() + 6] << 16 | uint32_t(before[img->GetPitch() + 7]) << 24));
    EXPECT_TRUE(Marked(*img, area));
    EXPECT_EQ(img->GetColorKey(), kNoColorKey);
    // 8-bit images use the plane smoothing.
    auto plane = MakeImage(6, 6, 8, random);
    EXPECT_EQ(Blur(*plane, 0, nullptr), 0);
    CImage empty;
    EXPECT_EQ(Blur(empty, 0, nullptr), 1);
}

TEST(BlurOps, Mosaic)
{
    raster_test::Random random(4);
    auto img = MakeImage(12, 5, 32, random);
    const std::vector<BYTE> before = raster_test::Snapshot(*img);
    // Block sizes 0 and 1 change nothing.
    EXPECT_EQ(Mosaic(*img, 0, 1, nullptr), 0);
    EXPECT_EQ(Mosaic(*img, 1, 1, nullptr), 0);
    EXPECT_EQ(raster_test::Snapshot(*img), before);
    // Alignment 1 with block 4 on a 10-wide rectangle: blocks 4, 4, 2 from its left edge.
    const RECT r{1, 0, 11, 5};
    CImage copy;
    ASSERT_EQ(copy.CopyFrom(img.get(), kImageWithTracker), 0);
    copy.SetChanged(false);
    EXPECT_EQ(Mosaic(copy, 4, 1, &r), 0);
    for (int y = 0; y < 5; ++y) {
        for (int x = 1; x < 11; ++x) {
            const int bx = 1 + (x - 1) / 4 * 4, by = y / 4 * 4;
            ASSERT_EQ(Px(copy, x, y), Px(*img, bx, by)) << x << "," << y;
        }
        EXPECT_EQ(Px(copy, 0, y), Px(*img, 0, y));
        EXPECT_EQ(Px(copy, 11, y), Px(*img, 11, y));
    }
    EXPECT_TRUE(Marked(copy, r));
    // A block far larger than the picture makes one block; works on 8-bit images too.
    EXPECT_EQ(Mosaic(copy, 0xFFFFFFFFu, 1, nullptr), 0);
    EXPECT_EQ(Px(copy, 11, 4), Px(copy, 0, 0));
    auto plane = MakeImage(6, 6, 8, random);
    EXPECT_EQ(Mosaic(*plane, 3, 1, nullptr), 0);
    EXPECT_EQ(plane->GetRowAddress(2)[2], plane->GetRowAddress(0)[0]);
    CImage empty;
    EXPECT_EQ(Mosaic(empty, 3, 1, nullptr), 1);
}

TEST(BlurOps, BlurBlendOverEqualsACopyThenBlurBlend)
{
    // The one-pass form against its definition, with the SIMD switch off and on at every level:
    // placements whole and cut at the edges, an under picture with a colour key (copied keyed)
    // or too small for the rectangle, and every kind of level and radius.
    struct Case {
        int x, y, uw, uh;
        RECT under, from;
        int radius, level;
        bool keyed;
    };
    const Case cases[] = {
        {0, 0, 40, 9, {0, 0, 30, 6}, {2, 1, 32, 7}, 4, 100, false},
        {3, 2, 700, 5, {5, 0, 605, 3}, {0, 1, 600, 4}, 9, 1, false},
        {3, 2, 700, 5, {5, 0, 605, 3}, {0, 1, 600, 4}, 127, 254, false},
        {-4, 1, 40, 9, {0, 0, 30, 6}, {2, 1, 32, 7}, 3, 77, false},
        {20, 5, 40, 9, {0, 0, 30, 6}, {2, 1, 32, 7}, 3, 77, false},
        {1, 1, 40, 9, {0, 0, 30, 6}, {2, 1, 32, 7}, 3, 77, true},
        {1, 1, 20, 9, {0, 0, 30, 6}, {2, 1, 32, 7}, 3, 77, false},
        {1, 1, 40, 9, {0, 0, 30, 6}, {2, 1, 32, 7}, 0, 77, false},
        {1, 1, 40, 9, {0, 0, 30, 6}, {2, 1, 32, 7}, 5, 0, false},
        {1, 1, 40, 9, {0, 0, 30, 6}, {2, 1, 32, 7}, 5, 255, false},
    };
    raster_test::Random random(7);
    for (const Case& c : cases) {
        auto src = MakeImage(620, 8, 32, random);
        auto base = MakeImage(640, 10, 32, random);
        auto under = MakeImage(c.uw, c.uh, 32, random);
        if (c.keyed) {
            ASSERT_EQ(under->SetColorKeyAt(3, 2), 0);
        }
        CImage want;
        ASSERT_EQ(want.CopyFrom(base.get(), kImageWithTracker), 0);
        want.SetChanged(false);
        const int wantCode = want.Copy(under.get(), c.x, c.y, &c.under, false) != 0
                                 ? 1
                                 : BlurBlend(want, src.get(), BYTE(c.radius), BYTE(c.level), c.x, c.y, &c.from);
        for (int run = 0; run <= int(std::size(kAllSimdLevels)); ++run) {
            SimdSwitch simd(run > 0);
            ScopedSimdLevel forced(kAllSimdLevels[run == 0 ? 0 : run - 1]);
            CImage got;
            ASSERT_EQ(got.CopyFrom(base.get(), kImageWithTracker), 0);
            got.SetChanged(false);
            const int code = BlurBlendOver(got, under.get(), c.under, src.get(), BYTE(c.radius), BYTE(c.level), c.x,
                                           c.y, &c.from);
            EXPECT_EQ(code != 0, wantCode != 0) << c.x << " " << run;
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 640; ++x)
                    ASSERT_EQ(Px(got, x, y), Px(want, x, y)) << c.x << "," << c.radius << " " << run << " at " << x
                                                             << "," << y;
            EXPECT_EQ(got.IsChanged(), want.IsChanged());
            if (want.GetUpdateRegion()->BoundsValid()) {
                EXPECT_TRUE(Marked(got, want.GetUpdateRegion()->Bounds()));
            }
        }
    }
}
