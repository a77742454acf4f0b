// Fill and colour operations on images: rectangles clipped as a table, the per-pixel rules, the
// colour key, 8-bit palettes, the error results and what is (not) recorded as changed.
#include "raster/fill_ops.h"

#include "raster/blend_tables.h"

#include "op_test_util.h"
#include "pixel_test_util.h"

#include <functional>

using namespace op_test;
using namespace pixel_test;

namespace {

using Call = std::function<int(CImage&, const RECT*)>;
using Rule = std::function<uint32_t(uint32_t)>;

struct Case {
    const char* name;
    Call call;
    Rule rule;
};

uint32_t EachColour(uint32_t d, const std::function<int(int, int)>& f)
{
    uint32_t out = d & 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
        out |= uint32_t(f(c, Chan(d, c))) << (8 * c);
    }
    return out;
}

std::vector<Case> Cases()
{
    return {
        {"FillRectAlpha", [](CImage& d, const RECT* r) { return FillRectAlpha(d, 10, 200, 77, 99, r); },
         [](uint32_t d) {
             const int col[3] = {77, 200, 10};
             return EachColour(d, [&](int c, int v) { return int(Mul(156, v) + Mul(col[c], 99)); });
         }},
        {"AddColor", [](CImage& d, const RECT* r) { return AddColor(d, 10, 200, 77, r); },
         [](uint32_t d) {
             const int col[3] = {77, 200, 10};
             return EachColour(d, [&](int c, int v) { return std::min(255, v + col[c]); });
         }},
        {"SubColor", [](CImage& d, const RECT* r) { return SubColor(d, 10, 200, 77, r); },
         [](uint32_t d) {
             const int col[3] = {77, 200, 10};
             return EachColour(d, [&](int c, int v) { return std::max(0, v - col[c]); });
         }},
        {"Grayscale", [](CImage& d, const RECT* r) { return Grayscale(d, r); },
         [](uint32_t d) {
             const uint32_t g = (77 * Chan(d, 2) + 150 * Chan(d, 1) + 29 * Chan(d, 0)) >> 8;
             return (d & 0xFF000000u) | g * 0x010101u;
         }},
        {"Colorize", [](CImage& d, const RECT* r) { return Colorize(d, 256, 64, 128, -20, 30, 255, r); },
         [](uint32_t d) {
             const int gain[3] = {128, 64, 256}, off[3] = {255, 30, -20};
             return EachColour(d, [&](int c, int v) { return std::clamp(((v * gain[c]) >> 7) + off[c], 0, 255); });
         }},
        {"Invert colour", [](CImage& d, const RECT* r) { return Invert(d, 0, r); }, [](uint32_t d) { return d ^ 0xFFFFFFu; }},
        {"Invert all", [](CImage& d, const RECT* r) { return Invert(d, 1, r); }, [](uint32_t d) { return ~d; }},
        {"Invert alpha", [](CImage& d, const RECT* r) { return Invert(d, 2, r); }, [](uint32_t d) { return d ^ 0xFF000000u; }},
    };
}

struct Area {
    const char* what;
    bool given;
    RECT rect;
    bool clipSet;
    RECT want;
};
const Area kAreas[] = {
    {"whole clip rectangle", false, {}, false, {0, 0, 12, 9}},
    {"inside", true, {2, 3, 7, 8}, false, {2, 3, 7, 8}},
    {"reaching outside", true, {-5, 4, 40, 20}, false, {0, 4, 12, 9}},
    {"cut by a clip rectangle", true, {0, 0, 12, 9}, true, {3, 1, 9, 6}},
    {"null rect inside a clip rectangle", false, {}, true, {3, 1, 9, 6}},
    {"wholly outside", true, {20, 0, 30, 9}, false, {0, 0, 0, 0}},
};

} // namespace

TEST(FillOps, EveryAreaMatchesTheRule)
{
    raster_test::Random random(31);
    for (const Case& c : Cases()) {
        for (const Area& a : kAreas) {
            for (int keyed = 0; keyed < 2; ++keyed) {
                auto base = MakeImage(12, 9, 32, random);
                if (keyed) {
                    SetPx(*base, 4, 4, Px(*base, 3, 4));
                    base->SetColorKeyAt(3, 4);
                }
                for (int simd = 0; simd < 2; ++simd) {
                    SimdSwitch sw(simd);
                    CImage dst;
                    ASSERT_EQ(dst.CopyFrom(base.get(), kImageWithTracker), 0);
                    dst.SetChanged(false);
                    const RECT clip{3, 1, 9, 6};
                    if (a.clipSet) {
                        dst.ClipRectToSize(&clip);
                    }
                    ASSERT_EQ(c.call(dst, a.given ? &a.rect : nullptr), 0) << c.name;
                    const bool any = a.want.left < a.want.right;
                    for (int y = 0; y < 9; ++y) {
                        for (int x = 0; x < 12; ++x) {
                            const uint32_t d = Px(*base, x, y);
                            const bool in = any && x >= a.want.left && x < a.want.right && y >= a.want.top &&
                                            y < a.want.bottom;
                            const bool skip = keyed && d == base->GetColorKey();
                            ASSERT_EQ(Px(dst, x, y), in && !skip ? c.rule(d) : d)
                                << c.name << ", " << a.what << ", key " << keyed << " at " << x << "," << y;
                        }
                    }
                    EXPECT_TRUE(any ? Marked(dst, a.want) : Untouched(dst)) << c.name << ", " << a.what;
                }
            }
        }
    }
}

TEST(FillOps, NamedCasesAndErrors)
{
    raster_test::Random random(2);
    auto img = MakeImage(6, 4, 32, random);
    CImage empty;
    auto img8 = MakeImage(6, 4, 8, random);
    // Results for an empty image, wrong depths and bad parameters; nothing is touched.
    EXPECT_EQ(FillRectAlpha(empty, 1, 2, 3, 4, nullptr), 1);
    EXPECT_EQ(FillRectAlpha(*img8, 1, 2, 3, 4, nullptr), 1);
    EXPECT_EQ(AddColor(*img8, 1, 2, 3, nullptr), 1);
    EXPECT_EQ(Grayscale(empty, nullptr), 1);
    EXPECT_EQ(Colorize(*img, 257, 128, 128, 0, 0, 0, nullptr), 3);
    EXPECT_EQ(Colorize(*img, 128, 128, 128, 0, -256, 0, nullptr), 3);
    EXPECT_EQ(Colorize(empty, 128, 128, 128, 0, 0, 0, nullptr), 1);
    EXPECT_EQ(Invert(empty, 0, nullptr), 1);
    EXPECT_EQ(GradientFill(*img, 2, 0, 0xFFFFFF, nullptr), 3);
    EXPECT_EQ(GradientFill(empty, 0, 0, 0xFFFFFF, nullptr), 1);
    EXPECT_TRUE(Untouched(*img));
    // Alpha 0 and colour 0 are no-ops that record nothing.
    const std::vector<BYTE> before = raster_test::Snapshot(*img);
    EXPECT_EQ(FillRectAlpha(*img, 9, 9, 9, 0, nullptr), 0);
    EXPECT_EQ(AddColor(*img, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(SubColor(*img, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(raster_test::Snapshot(*img), before);
    EXPECT_TRUE(Untouched(*img));
    // Alpha 255 writes the colour exactly; adding white makes every colour byte 255, alpha kept.
    EXPECT_EQ(FillRectAlpha(*img, 0x12, 0x34, 0x56, 255, nullptr), 0);
    EXPECT_EQ(Px(*img, 5, 3) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(Px(*img, 5, 3) >> 24, uint32_t(before[3 * img->GetPitch() + 5 * 4 + 3]));
    EXPECT_EQ(AddColor(*img, 255, 255, 255, nullptr), 0);
    EXPECT_EQ(Px(*img, 0, 0) & 0xFFFFFF, 0xFFFFFFu);
    // Invert mode 1 twice restores the image.
    auto twice = MakeImage(6, 4, 32, random);
    const std::vector<BYTE> orig = raster_test::Snapshot(*twice);
    Invert(*twice, 1, nullptr);
    Invert(*twice, 1, nullptr);
    EXPECT_EQ(raster_test::Snapshot(*twice), orig);
}

TEST(FillOps, EightBitImages)
{
    raster_test::Random random(3);
    auto img = MakeImage(5, 3, 8, random);
    const RECT r{0, 0, 2, 2};
    // A rect is refused where the operation works on the palette.
    EXPECT_EQ(Grayscale(*img, &r), 3);
    EXPECT_EQ(Colorize(*img, 128, 128, 128, 0, 0, 0, &r), 2);
    EXPECT_EQ(Invert(*img, 0, &r), 2);
    // Grayscale: the palette becomes the grey ramp and each index the grey of its colour.
    uint32_t pal[256];
    for (int i = 0; i < 256; ++i) {
        pal[i] = random.Next() & 0xFFFFFF;
    }
    ASSERT_EQ(img->SetPaletteEntries(pal, 256, 0), 0);
    const std::vector<BYTE> before = raster_test::Snapshot(*img);
    img->SetColorKeyAt(0, 0);
    ASSERT_EQ(Grayscale(*img, nullptr), 0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const uint32_t e = pal[before[y * img->GetPitch() + x]];
            EXPECT_EQ(img->GetRowAddress(y)[x], (29 * (e & 0xFF) + 150 * ((e >> 8) & 0xFF) + 77 * (e >> 16)) >> 8);
        }
    }
    EXPECT_EQ(img->GetPalette()[200], 200u * 0x010101u);
    EXPECT_EQ(img->GetColorKey(), kNoColorKey);
    // Invert mode 0 inverts the palette's colours; other modes the indices of the rectangle.
    ASSERT_EQ(Invert(*img, 0, nullptr), 0);
    EXPECT_EQ(img->GetPalette()[200] & 0xFFFFFF, 55u * 0x010101u);
    const BYTE at = img->GetRowAddress(1)[1];
    ASSERT_EQ(Invert(*img, 1, &r), 0);
    EXPECT_EQ(img->GetRowAddress(1)[1], BYTE(255 - at));
    // Colorize on the palette.
    ASSERT_EQ(Colorize(*img, 128, 128, 0, 0, 0, 10, nullptr), 0);
    EXPECT_EQ(img->GetPalette()[200] & 0xFF, 10u);
    // Without a palette: colour operations refuse, grayscale has nothing to do.
    CImage bare;
    ASSERT_EQ(bare.Create(4, 4, 8, 0), 0);
    if (!bare.GetPalette()) {
        EXPECT_EQ(Colorize(bare, 128, 128, 128, 0, 0, 0, nullptr), 1);
        EXPECT_EQ(Invert(bare, 0, nullptr), 1);
        EXPECT_EQ(Grayscale(bare, nullptr), 0);
    }
}

TEST(FillOps, GradientFill)
{
    raster_test::Random random(4);
    for (int depth : {32, 8}) {
        auto img = MakeImage(10, 6, depth, random);
        const RECT r{1, 1, 9, 5};
        ASSERT_EQ(GradientFill(*img, 0, 0x000000, 0xFF80FF, &r), 0);
        CGradientRamp ramp;
        ASSERT_EQ(ramp.Build(8, 0x000000, 0xFF80FF, uint8_t(depth)), 0);
        for (int y = 1; y < 5; ++y) {
            for (int x = 1; x < 9; ++x) {
                const uint32_t got = depth == 32 ? Px(*img, x, y) : img->GetRowAddress(y)[x];
                const uint32_t want = depth == 32 ? ramp.Colors()[x - 1] : ramp.Bytes()[x - 1];
                ASSERT_EQ(got, want) << depth << " " << x << "," << y;
            }
        }
        EXPECT_TRUE(Marked(*img, r));
        // Down the rectangle: one value per row.
        ASSERT_EQ(GradientFill(*img, 1, 0x102030, 0x405060, &r), 0);
        CGradientRamp down;
        ASSERT_EQ(down.Build(4, 0x102030, 0x405060, uint8_t(depth)), 0);
        for (int y = 1; y < 5; ++y) {
            const uint32_t want = depth == 32 ? down.Colors()[y - 1] : down.Bytes()[y - 1];
            EXPECT_EQ(depth == 32 ? Px(*img, 5, y) : img->GetRowAddress(y)[5], want);
        }
        // A one-pixel rectangle takes the start value instead of failing.
        const RECT one{3, 3, 4, 4};
        EXPECT_EQ(GradientFill(*img, 0, 0x00ABCDEF, 0x000000, &one), 0);
        EXPECT_EQ(depth == 32 ? Px(*img, 3, 3) : img->GetRowAddress(3)[3], depth == 32 ? 0x00ABCDEFu : 0xEFu);
    }
}

TEST(FillOps, AlphaPlaneAdjustments)
{
    raster_test::Random random(6);
    auto img = MakeImage(4, 3, 32, random);
    const std::vector<BYTE> before = raster_test::Snapshot(*img);
    EXPECT_TRUE(AdjustAlphaLevel(*img, 256, nullptr));
    EXPECT_EQ(raster_test::Snapshot(*img), before);
    EXPECT_FALSE(AdjustAlphaLevel(*img, 512, nullptr));
    const RECT outside{10, 10, 12, 12};
    EXPECT_FALSE(AdjustAlphaLevel(*img, 100, &outside));
    EXPECT_FALSE(ScaleOffsetAlpha(*img, 257, 0, nullptr));
    EXPECT_FALSE(ScaleOffsetAlpha(*img, 128, 256, nullptr));
    EXPECT_TRUE(AdjustAlphaLevel(*img, 511, nullptr));
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(Px(*img, x, 2) >> 24, 255u);
    }
    // Colour bytes stay; these two record nothing.
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            uint32_t was;
            std::memcpy(&was, &before[y * img->GetPitch() + 4 * x], 4);
            EXPECT_EQ(Px(*img, x, y) & 0xFFFFFF, was & 0xFFFFFF);
        }
    }
    EXPECT_TRUE(ScaleOffsetAlpha(*img, 64, -10, nullptr));
    EXPECT_EQ(Px(*img, 0, 0) >> 24, 117u);
    EXPECT_TRUE(Untouched(*img));
    auto plane = MakeImage(4, 3, 8, random);
    const RECT part{1, 0, 3, 2};
    const BYTE v = plane->GetRowAddress(1)[2];
    EXPECT_TRUE(AdjustAlphaLevel(*plane, 128, &part));
    EXPECT_EQ(plane->GetRowAddress(1)[2], Mul(128, v));
}

TEST(FillOps, PaintThroughMask)
{
    raster_test::Random random(8);
    auto mask = MakeImage(7, 5, 8, random);
    auto base = MakeImage(10, 8, 32, random);
    mask->GetRowAddress(0)[0] = 0;
    mask->GetRowAddress(0)[1] = 255;
    for (int mode = 0; mode < 4; ++mode) {
        for (int simd = 0; simd < 2; ++simd) {
            SimdSwitch sw(simd);
            CImage dst;
            ASSERT_EQ(dst.CopyFrom(base.get(), kImageWithTracker), 0);
            dst.SetChanged(false);
            ASSERT_EQ(PaintThroughMask(dst, BYTE(mode), mask.get(), 200, 0x10, 0x80, 0xF0, 5, -1, nullptr), 0);
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 10; ++x) {
                    const uint32_t d = Px(*base, x, y);
                    const bool in = x >= 5 && y < 4;
                    uint32_t want = d;
                    if (in && mode < 3) {
                        const uint32_t f = Factor(Mul(200, mask->GetRowAddress(y + 1)[x - 5]));
                        const int col[3] = {0xF0, 0x80, 0x10};
                        want = mode == 0 ? BlendF(d, 0x1080F0, f) : EachColour(d, [&](int c, int v) {
                            const int t = col[c] * int(f) >> 8;
                            return mode == 1 ? std::min(255, v + t) : std::max(0, v - t);
                        });
                    }
                    ASSERT_EQ(Px(dst, x, y), want) << mode << " " << x << "," << y;
                }
            }
            EXPECT_TRUE(Marked(dst, RECT{5, 0, 10, 4}));
        }
    }
    // Level 255 with mask 255 writes the colour; mask 0 leaves the pixel.
    CImage dst;
    ASSERT_EQ(dst.CopyFrom(base.get(), 0), 0);
    ASSERT_EQ(PaintThroughMask(dst, 0, mask.get(), 255, 1, 2, 3, 0, 0, nullptr), 0);
    EXPECT_EQ(Px(dst, 1, 0) & 0xFFFFFF, 0x010203u);
    EXPECT_EQ(Px(dst, 0, 0), Px(*base, 0, 0));
    // Errors.
    CImage empty;
    EXPECT_EQ(PaintThroughMask(empty, 0, mask.get(), 1, 0, 0, 0, 0, 0, nullptr), 1);
    EXPECT_EQ(PaintThroughMask(dst, 0, nullptr, 1, 0, 0, 0, 0, 0, nullptr), 1);
    EXPECT_EQ(PaintThroughMask(dst, 0, base.get(), 1, 0, 0, 0, 0, 0, nullptr), 2);
    EXPECT_EQ(PaintThroughMask(*mask, 0, mask.get(), 1, 0, 0, 0, 0, 0, nullptr), 2);
}
