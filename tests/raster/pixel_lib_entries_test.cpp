// Our pixel library's entries against per-pixel rules written here: every width from 1 to 33,
// nothing outside the area touched, the plain and the SIMD kernels alike; the parallelogram
// entries on a quarter turn (pixel for pixel) and at 30 degrees (the rest filled); the scaled and
// transformed entries filling their area with the picture; and the refusals.
#include "platform/cos_table.h"
#include "raster/compose_ops.h"
#include "raster/pixel_lib_entries.h"
#include "raster/scale_ops.h"
#include "winapi/simd_level.h"

#include "op_test_util.h"
#include "pixel_test_util.h"

#include <cmath>
#include <functional>

using namespace op_test;
using namespace pixel_test;

namespace {

const PixelLibEntries kLib = pixel_lib::Entries();

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Runs a fill-type entry over the middle of an image (width + 4, 3 rows) for every width and both
// kernel sets, and checks each pixel of the area against rule(before) and nothing else changed.
void CheckArea(const std::function<bool(CImage&, const RECT*)>& entry,
               const std::function<uint32_t(uint32_t, int x, int y)>& rule, int bpp = 32)
{
    uint32_t seed = 11;
    for (bool simd : {false, true}) {
        SimdSwitch sw(simd);
        for (int w = 1; w <= 33; ++w) {
            SCOPED_TRACE(testing::Message() << "width " << w << " simd " << simd);
            raster_test::Random random(seed++);
            auto image = MakeImage(w + 4, 4, bpp, random);
            const auto before = raster_test::Snapshot(*image);
            std::vector<uint32_t> old;
            const RECT area{2, 1, 2 + w, 3};
            for (int y = area.top; y < area.bottom; ++y) {
                for (int x = area.left; x < area.right; ++x) {
                    old.push_back(bpp == 32 ? Px(*image, x, y) : image->GetRowAddress(y)[x]);
                }
            }
            ASSERT_TRUE(entry(*image, &area));
            EXPECT_TRUE(SameRect(pixel_lib::g_changed, area));
            EXPECT_TRUE(raster_test::SameOutside(*image, before, area));
            size_t i = 0;
            for (int y = area.top; y < area.bottom; ++y) {
                for (int x = area.left; x < area.right; ++x, ++i) {
                    const uint32_t got = bpp == 32 ? Px(*image, x, y) : image->GetRowAddress(y)[x];
                    ASSERT_EQ(got, rule(old[i], x - area.left, y - area.top)) << x << "," << y;
                }
            }
        }
    }
}

uint32_t Colour(uint32_t d, uint32_t c, uint32_t o)
{
    uint32_t out = d & 0xFF000000u;
    for (int k = 0; k < 3; ++k) {
        out |= (Mul(255 - o, Chan(d, k)) + Mul(Chan(c, k), o)) << (8 * k);
    }
    return out;
}

TEST(PixelLibEntries, FillsFollowTheirRules)
{
    CheckArea([](CImage& d, const RECT* r) { return kLib.fill32(&d, 0x80A1B2C3u, r); },
              [](uint32_t, int, int) { return 0x80A1B2C3u; });
    CheckArea([](CImage& d, const RECT* r) { return kLib.fill8(&d, 0x1F7, r); },
              [](uint32_t, int, int) { return 0xF7u; }, 8);
    // Whole pictures, whose rows follow each other without a gap for some widths: every pixel set.
    for (int w = 1; w <= 20; ++w) {
        raster_test::Random random{uint32_t(w)};
        auto p8 = MakeImage(w, 3, 8, random), p32 = MakeImage(w, 3, 32, random);
        ASSERT_TRUE(kLib.fill8(p8.get(), 0x5C, nullptr));
        ASSERT_TRUE(kLib.fill32(p32.get(), 0x80A1B2C3u, nullptr));
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < w; ++x) {
                ASSERT_EQ(p8->GetRowAddress(y)[x], 0x5C) << w;
                ASSERT_EQ(Px(*p32, x, y), 0x80A1B2C3u) << w;
            }
        }
    }
    for (uint32_t o : {1u, 100u, 254u, 255u}) {
        SCOPED_TRACE(o);
        CheckArea([o](CImage& d, const RECT* r) { return kLib.fillColor(&d, 0x3080F0, o, r); },
                  [o](uint32_t d, int, int) { return Colour(d, 0x3080F0, o); });
        CheckArea([o](CImage& d, const RECT* r) { return kLib.fillColorMode(&d, 0x3080F0, o, r, 0); },
                  [o](uint32_t d, int, int) { return Colour(d, 0x3080F0, o); });
        for (DWORD mode : {1u, 2u}) {
            CheckArea(
                [o, mode](CImage& d, const RECT* r) { return kLib.fillColorMode(&d, 0x3080F0, o, r, mode); },
                [o, mode](uint32_t d, int, int) {
                    uint32_t out = d & 0xFF000000u;
                    for (int k = 0; k < 3; ++k) {
                        const int add = int(Chan(0x3080F0, k) * Factor(o) >> 8);
                        out |= uint32_t(std::clamp(Chan(d, k) + (mode == 1 ? add : -add), 0, 255)) << (8 * k);
                    }
                    return out;
                });
        }
    }
    CheckArea([](CImage& d, const RECT* r) { return kLib.fillAlpha(&d, 0x5A, r); },
              [](uint32_t d, int, int) { return (d & 0xFFFFFFu) | 0x5A000000u; });
}

TEST(PixelLibEntries, MirrorsAndFlips)
{
    // Rule: the pixel that sat at the mirrored place (read from a copy); widths past the blocks
    // the row reversal and the row swap move at once; both kernel sets at every SIMD level (the
    // SIMD ones reverse bytes differently).
    for (int combo = 0; combo < 2 + 2 * int(std::size(kAllSimdLevels)); ++combo) {
        const int bpp = combo % 2 ? 8 : 32;
        SimdSwitch sw(combo >= 2);
        ScopedSimdLevel level(kAllSimdLevels[std::max(0, combo / 2 - 1)]);
        for (int w = 1; w <= 135; ++w) {
            SCOPED_TRACE(testing::Message() << "bpp " << bpp << " width " << w << " simd " << (combo >= 2)
                                            << " level " << int(ActiveSimdLevel()));
            raster_test::Random random(static_cast<uint32_t>(w));
            auto image = MakeImage(w + 2, 5, bpp, random);
            auto copy = MakeImage(w + 2, 5, bpp, random);
            ASSERT_EQ(copy->Copy(image.get(), 0, 0, nullptr, false), 0);
            const auto before = raster_test::Snapshot(*image);
            const RECT area{1, 1, 1 + w, 5};
            auto at = [bpp](const CImage& i, int x, int y) {
                return bpp == 32 ? Px(i, x, y) : uint32_t(i.GetRowAddress(y)[x]);
            };
            ASSERT_TRUE((bpp == 32 ? kLib.mirror32 : kLib.mirror8)(image.get(), &area));
            EXPECT_TRUE(raster_test::SameOutside(*image, before, area));
            for (int y = 1; y < 5; ++y) {
                for (int x = 1; x <= w; ++x) {
                    ASSERT_EQ(at(*image, x, y), at(*copy, w + 1 - x, y));
                }
            }
            ASSERT_TRUE((bpp == 32 ? kLib.flip32 : kLib.flip8)(image.get(), &area));
            for (int y = 1; y < 5; ++y) {
                for (int x = 1; x <= w; ++x) {
                    ASSERT_EQ(at(*image, x, y), at(*copy, w + 1 - x, 5 - y));
                }
            }
            // The wrong depth is refused; null is the whole clip rectangle.
            EXPECT_FALSE((bpp == 32 ? kLib.mirror8 : kLib.mirror32)(image.get(), nullptr));
            EXPECT_TRUE((bpp == 32 ? kLib.flip32 : kLib.flip8)(image.get(), nullptr));
            EXPECT_TRUE(SameRect(pixel_lib::g_changed, RECT{0, 0, w + 2, 5}));
        }
    }
}

// Entry 13: blocks of a1 x a2 from the top-left corner, each the colour of its top-left pixel;
// below 2 on both sides nothing changes; 8-bit pictures are refused.
TEST(PixelLibEntries, MosaicOfBlocksFromTheTopLeft)
{
    struct Case {
        DWORD w, h;
        int width, height;
    };
    const Case cases[] = {{2, 2, 9, 7}, {3, 5, 10, 11}, {4, 1, 13, 3}, {1, 3, 5, 8}, {40, 40, 17, 9},
                          {1, 1, 8, 8}, {0, 0, 8, 8},   {7, 7, 2, 9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " on " << c.width << "x" << c.height);
        raster_test::Random random(c.w * 31 + c.h);
        auto image = MakeImage(c.width, c.height, 32, random);
        auto copy = MakeImage(c.width, c.height, 32, random);
        ASSERT_EQ(copy->Copy(image.get(), 0, 0, nullptr, false), 0);
        ASSERT_TRUE(kLib.op13(image.get(), c.w, c.h, 9, 9));
        const bool changes = (c.w >= 2 || c.h >= 2) && c.width >= 3 && c.height >= 3;
        const int bw = std::max<int>(c.w, 1), bh = std::max<int>(c.h, 1);
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const uint32_t want = changes ? Px(*copy, x / bw * bw, y / bh * bh) : Px(*copy, x, y);
                ASSERT_EQ(Px(*image, x, y), want) << x << "," << y;
            }
        }
    }
    raster_test::Random random(5);
    auto eight = MakeImage(9, 9, 8, random);
    EXPECT_FALSE(kLib.op13(eight.get(), 2, 2, 0, 0));
}

TEST(PixelLibEntries, FadesOfTwoSources)
{
    raster_test::Random random(5);
    for (bool simd : {false, true}) {
        SimdSwitch sw(simd);
        for (uint32_t o : {0u, 1u, 128u, 255u}) {
            for (int w = 1; w <= 33; w += 4) {
                SCOPED_TRACE(testing::Message() << "o " << o << " w " << w << " simd " << simd);
                auto d = MakeImage(40, 6, 32, random);
                auto a = MakeImage(40, 6, 32, random);
                auto b = MakeImage(40, 6, 32, random);
                const auto before = raster_test::Snapshot(*d);
                // Area at (3, 1), first source from (1, 2), second from (0, 0); cut to 3 rows by a.
                ASSERT_EQ(kLib.crossFade(d.get(), a.get(), b.get(), o, 0, 3, 1, w, 9, 1, 2, 0, 0), 0);
                const RECT area{3, 1, 3 + w, 5};
                EXPECT_TRUE(SameRect(pixel_lib::g_changed, area));
                EXPECT_TRUE(raster_test::SameOutside(*d, before, area));
                std::vector<DWORD> row(static_cast<size_t>(w), 0u);
                for (int y = 1; y < 5; ++y) {
                    for (int x = 0; x < w; ++x) {
                        const uint32_t s1 = Px(*a, 1 + x, y + 1), s2 = Px(*b, x, y - 1);
                        uint32_t want = s1 & 0xFF000000u;
                        for (int k = 0; k < 3; ++k) {
                            want |= std::min(255u, Mul(255 - o, Chan(s1, k)) + Mul(o, Chan(s2, k)))
                                    << (8 * k);
                        }
                        ASSERT_EQ(Px(*d, 3 + x, y), want);
                    }
                    // Entry 93 gives the same rule on pixel runs.
                    ASSERT_EQ(kLib.fadePixels(row.data(),
                                              reinterpret_cast<const DWORD*>(a->GetRowAddress(y + 1)) + 1,
                                              reinterpret_cast<const DWORD*>(b->GetRowAddress(y - 1)), w, o),
                              0);
                    ASSERT_EQ(0, std::memcmp(row.data(), d->GetRowAddress(y) + 12, size_t(w) * 4));
                }
            }
        }
    }
    DWORD one = 0;
    EXPECT_EQ(kLib.fadePixels(&one, &one, &one, 0, 9), 0);
    EXPECT_NE(kLib.fadePixels(nullptr, &one, &one, 1, 9), 0);
}

TEST(PixelLibEntries, RuleFade)
{
    raster_test::Random random(6);
    auto d = MakeImage(20, 8, 32, random);
    auto a = MakeImage(20, 8, 32, random);
    auto b = MakeImage(20, 8, 32, random);
    auto rule = MakeImage(20, 8, 8, random);
    for (uint32_t p : {0u, 1u, 100u, 255u, 999u}) {
        for (uint32_t soft : {0u, 1u, 40u}) {
            SCOPED_TRACE(testing::Message() << "p " << p << " soft " << soft);
            ASSERT_EQ(kLib.ruleFade(d.get(), a.get(), b.get(), rule.get(), p, soft, 0, 0, 0, 20, 8, 0, 0, 0,
                                    0, 0, 0),
                      0);
            BYTE levels[256];
            const int progress = int((std::min(p, 255u) * 256 + 127) / 255);
            BuildRuleLevels(255, progress, int(std::max(soft, 1u)), levels);
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 20; ++x) {
                    const uint32_t s1 = Px(*a, x, y);
                    const uint32_t want =
                        progress == 0 ? s1
                                      : BlendF(s1, Px(*b, x, y), Factor(levels[rule->GetRowAddress(y)[x]]));
                    ASSERT_EQ(Px(*d, x, y), want) << x << "," << y;
                }
            }
        }
    }
    // A rule picture that does not cover the area, or is not 8-bit: refused.
    EXPECT_NE(kLib.ruleFade(d.get(), a.get(), b.get(), rule.get(), 9, 1, 0, 0, 0, 20, 8, 0, 0, 0, 0, 1, 0),
              0);
    EXPECT_NE(kLib.ruleFade(d.get(), a.get(), b.get(), a.get(), 9, 1, 0, 0, 0, 20, 8, 0, 0, 0, 0, 0, 0), 0);
}

TEST(PixelLibEntries, BlendModesOneAndAboveFiveAndBadPicturesAreRefused)
{
    raster_test::Random random(8);
    auto d = MakeImage(10, 10, 32, random);
    auto s = MakeImage(10, 10, 32, random);
    auto eight = MakeImage(10, 10, 8, random);
    const auto before = raster_test::Snapshot(*d);
    for (DWORD mode : {1u, 6u, 31u, 32u}) {
        EXPECT_NE(kLib.blend(d.get(), s.get(), 0, 0, nullptr, mode, 255, 0), 0);
        EXPECT_NE(kLib.stretchBlend(d.get(), s.get(), nullptr, 0, 0, nullptr, mode, 0, 255, 0), 0);
    }
    EXPECT_NE(kLib.blend(d.get(), eight.get(), 0, 0, nullptr, 0, 255, 0), 0);
    EXPECT_NE(kLib.blend(eight.get(), s.get(), 0, 0, nullptr, 0, 255, 0), 0);
    EXPECT_NE(kLib.blend(d.get(), nullptr, 0, 0, nullptr, 0, 255, 0), 0);
    EXPECT_NE(kLib.blend(d.get(), s.get(), 0, 0, nullptr, 0, 256, 0), 0);
    EXPECT_EQ(kLib.blend(d.get(), s.get(), 0, 0, nullptr, 2, 0, 0), 0); // opacity 0: nothing, success
    EXPECT_TRUE(raster_test::Snapshot(*d) == before);
    EXPECT_TRUE(SameRect(pixel_lib::g_changed, RECT{0, 0, 0, 0}));
    // Subtract, by a per-pixel rule.
    ASSERT_EQ(kLib.blend(d.get(), s.get(), 2, 3, nullptr, 5, 77, 0), 0);
    EXPECT_TRUE(SameRect(pixel_lib::g_changed, RECT{2, 3, 10, 10}));
    for (int y = 3; y < 10; ++y) {
        for (int x = 2; x < 10; ++x) {
            uint32_t old;
            std::memcpy(&old, &before[size_t(y) * d->GetPitch() + size_t(x) * 4], 4);
            const uint32_t src = Px(*s, x - 2, y - 3);
            uint32_t want = old & 0xFF000000u;
            for (int k = 0; k < 3; ++k) {
                want |= uint32_t(std::max(0, Chan(old, k) - int(Chan(src, k) * Factor(77) >> 8))) << (8 * k);
            }
            ASSERT_EQ(Px(*d, x, y), want);
        }
    }
}

TEST(PixelLibEntries, ADestinationThatIsItsOwnSourceReadsItUntouched)
{
    raster_test::Random random(12);
    auto d = MakeImage(16, 16, 32, random);
    auto copy = MakeImage(16, 16, 32, random);
    // Moved down and right, straight down (rows that share bytes only within one row's length
    // of each other), along one row, and by a single pixel.
    const POINT moves[] = {{3, 2}, {0, 5}, {5, 0}, {1, 0}};
    for (const POINT m : moves) {
        ASSERT_EQ(copy->Copy(d.get(), 0, 0, nullptr, false), 0);
        ASSERT_EQ(kLib.blend(d.get(), d.get(), m.x, m.y, nullptr, 0, 255, 0), 0);
        for (LONG y = m.y; y < 16; ++y) {
            for (LONG x = m.x; x < 16; ++x) {
                ASSERT_EQ(Px(*d, x, y), Px(*copy, x - m.x, y - m.y)) << m.x << ", " << m.y;
            }
        }
    }
    ASSERT_EQ(copy->Copy(d.get(), 0, 0, nullptr, false), 0);
    const SIZE size{32, 32};
    ASSERT_EQ(copy->Copy(d.get(), 0, 0, nullptr, false), 0);
    ASSERT_EQ(kLib.stretchBlend(d.get(), d.get(), &size, 0, 0, nullptr, 4, 0, 200, 0), 0);
    ASSERT_EQ(kLib.crossFade(d.get(), d.get(), copy.get(), 100, 0, 1, 1, 16, 16, 0, 0, 0, 0), 0);
}

// A filter's low nibble other than 0 samples as the smooth scaled copy; in mode 0 at 255 the
// entry gives its pixels and its rectangle.
TEST(PixelLibEntries, FilteredScalingIsTheSmoothCopy)
{
    const SIZE sizes[] = {{13, 11}, {30, 25}, {5, 4}, {19, 6}};
    const POINT places[] = {{0, 0}, {-7, 3}, {12, 9}, {2, -20}};
    uint32_t seed = 40;
    for (const SIZE& size : sizes) {
        for (const POINT& at : places) {
            SCOPED_TRACE(testing::Message() << size.cx << "x" << size.cy << " at " << at.x << "," << at.y);
            // The same pictures twice, from the same seed.
            raster_test::Random random(seed), again(seed);
            ++seed;
            auto lib = MakeImage(23, 17, 32, random);
            auto own = MakeImage(23, 17, 32, again);
            auto src = MakeImage(13, 11, 32, random);
            const RECT part{1, 2, 12, 10};
            ASSERT_EQ(kLib.stretchBlend(lib.get(), src.get(), &size, at.x, at.y, &part, 0, 0x21, 255, 0), 0);
            ASSERT_EQ(SmoothStretchCopy(*own, src.get(), &size, at.x, at.y, &part), 0);
            EXPECT_TRUE(raster_test::Snapshot(*lib) == raster_test::Snapshot(*own));
            const CUpdateRegion* region = own->GetUpdateRegion();
            if (region->Count() > 0) {
                EXPECT_TRUE(SameRect(pixel_lib::g_changed, region->Bounds()));
            } else {
                EXPECT_TRUE(SameRect(pixel_lib::g_changed, RECT{0, 0, 0, 0}));
            }
        }
    }
}

// Filtered scaling large enough to be sampled in bands gives, in every mode, what one smooth copy
// of the whole area laid over by the unscaled entry gives; a source sharing the destination's
// memory is read before any of it is drawn.
TEST(PixelLibEntries, FilteredScalingInBandsLaysOverTheWholeSmoothCopy)
{
    struct Case {
        SIZE size;
        POINT at;
    };
    const Case cases[] = {{{300, 120}, {0, 0}}, {{310, 200}, {5, -40}}, {{290, 131}, {-9, 3}}, {{17, 600}, {40, -100}}};
    const struct {
        DWORD mode, opacity;
    } modes[] = {{0, 255}, {0, 100}, {2, 255}, {2, 77}};
    uint32_t seed = 70;
    for (SimdLevel level : kAllSimdLevels) {
        const ScopedSimdLevel forced(level);
        for (bool simd : {false, true}) {
            SimdSwitch sw(simd);
            for (const Case& c : cases) {
                for (const auto& m : modes) {
                    SCOPED_TRACE(testing::Message() << c.size.cx << "x" << c.size.cy << " at " << c.at.x << ","
                                                    << c.at.y << " mode " << m.mode << " at " << m.opacity
                                                    << " simd " << simd << " level " << int(level));
                    raster_test::Random random(seed), again(seed);
                    ++seed;
                    auto lib = MakeImage(320, 130, 32, random);
                    auto own = MakeImage(320, 130, 32, again);
                    auto src = MakeImage(200, 90, 32, random);
                    const RECT part{3, 1, 190, 88};
                    ASSERT_EQ(kLib.stretchBlend(lib.get(), src.get(), &c.size, c.at.x, c.at.y, &part, m.mode, 1,
                                                m.opacity, 0),
                              0);
                    auto samples = MakeImage(320, 130, 32, random);
                    ASSERT_EQ(SmoothStretchCopy(*samples, src.get(), &c.size, c.at.x, c.at.y, &part), 0);
                    const RECT drawn = samples->GetUpdateRegion()->Bounds();
                    ASSERT_EQ(kLib.blend(own.get(), samples.get(), drawn.left, drawn.top, &drawn, m.mode, m.opacity, 0),
                              0);
                    EXPECT_TRUE(SameRect(pixel_lib::g_changed, drawn));
                    ASSERT_TRUE(raster_test::Snapshot(*lib) == raster_test::Snapshot(*own));
                }
            }
        }
    }
    // The destination as its own source, scaled up over itself.
    raster_test::Random random(seed), again(seed);
    auto lib = MakeImage(320, 200, 32, random);
    auto own = MakeImage(320, 200, 32, again);
    const SIZE size{320, 200};
    const RECT part{0, 0, 200, 150};
    ASSERT_EQ(kLib.stretchBlend(lib.get(), lib.get(), &size, 0, 0, &part, 0, 1, 255, 0), 0);
    auto copy = MakeImage(320, 200, 32, random);
    ASSERT_EQ(copy->Copy(own.get(), 0, 0, nullptr, false), 0);
    ASSERT_EQ(SmoothStretchCopy(*own, copy.get(), &size, 0, 0, &part), 0);
    EXPECT_TRUE(raster_test::Snapshot(*lib) == raster_test::Snapshot(*own));
}

class PixelLibQuads : public testing::Test {
protected:
    void SetUp() override
    {
        m_saved = g_pCosTable;
        g_pCosTable = &m_table;
    }
    void TearDown() override { g_pCosTable = m_saved; }
    CCosTable m_table;
    CCosTable* m_saved = nullptr;
};

TEST_F(PixelLibQuads, QuarterTurnOnTheSpritesCornersTurnsThePicture)
{
    raster_test::Random random(21);
    const int w = 13, h = 7;
    auto src = MakeImage(w, h, 32, random);
    QuadPoint quad[4];
    int32_t bw = 0, bh = 0, ox = 0, oy = 0;
    ASSERT_TRUE(ComputeRotateZoomQuad(quad, 0, 0, 128, 1.0, w, h, w / 2, h / 2, &bw, &bh, &ox, &oy));
    ASSERT_EQ(bw, h);
    ASSERT_EQ(bh, w);
    for (bool simd : {false, true}) {
        for (DWORD filter : {0u, 1u}) {
            SimdSwitch sw(simd);
            auto work = MakeImage(bw, bh, 32, random);
            const PixelLibPoint corners[3] = {
                {quad[0].x, quad[0].y}, {quad[1].x, quad[1].y}, {quad[2].x, quad[2].y}};
            RECT out;
            ASSERT_EQ(kLib.drawQuad(work.get(), src.get(), corners, nullptr, 0, filter, 255, 0, 1, 0, &out),
                      0);
            EXPECT_TRUE(SameRect(out, RECT{0, 0, bw, bh}));
            // A positive quarter turn is counter-clockwise: the source's right column is the top row.
            for (int y = 0; y < bh; ++y) {
                for (int x = 0; x < bw; ++x) {
                    ASSERT_EQ(Px(*work, x, y), Px(*src, w - 1 - y, x))
                        << x << "," << y << " filter " << filter;
                }
            }
        }
    }
}

TEST_F(PixelLibQuads, ThirtyDegreesFillsTheRestWithTheFillColour)
{
    raster_test::Random random(22);
    const int w = 20, h = 12;
    auto src = MakeImage(w, h, 32, random);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            SetPx(*src, x, y, 0xFF000000u | uint32_t(x * 7 + y)); // never the fill colour
        }
    }
    QuadPoint quad[4];
    int32_t bw = 0, bh = 0, ox = 0, oy = 0;
    ASSERT_TRUE(ComputeRotateZoomQuad(quad, 0, 0, 512 / 12, 1.0, w, h, w / 2, h / 2, &bw, &bh, &ox, &oy));
    auto work = MakeImage(bw, bh, 32, random);
    const PixelLibPoint corners[3] = {{quad[0].x, quad[0].y}, {quad[1].x, quad[1].y}, {quad[2].x, quad[2].y}};
    ASSERT_EQ(kLib.drawQuad(work.get(), src.get(), corners, nullptr, 0, 0, 255, 0, 1, 0x00ABCDEFu, nullptr),
              0);
    EXPECT_EQ(Px(*work, 0, 0), 0x00ABCDEFu);
    EXPECT_EQ(Px(*work, bw - 1, 0), 0x00ABCDEFu);
    EXPECT_EQ(Px(*work, 0, bh - 1), 0x00ABCDEFu);
    EXPECT_EQ(Px(*work, bw - 1, bh - 1), 0x00ABCDEFu);
    EXPECT_NE(Px(*work, bw / 2, bh / 2), 0x00ABCDEFu);
    int fill = 0, picture = 0;
    for (int y = 0; y < bh; ++y) {
        for (int x = 0; x < bw; ++x) {
            const uint32_t p = Px(*work, x, y);
            fill += p == 0x00ABCDEFu;
            picture += p >> 24 == 0xFF;
        }
    }
    EXPECT_EQ(fill + picture, bw * bh); // every pixel is one or the other
    EXPECT_NEAR(picture, w * h, w + h);
}

TEST_F(PixelLibQuads, ScaledAndTransformedCopiesFillTheirArea)
{
    raster_test::Random random(23);
    auto src = MakeImage(9, 7, 32, random);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 9; ++x) {
            SetPx(*src, x, y, 0xFF000000u | uint32_t(y * 16 + x));
        }
    }
    for (DWORD filter : {0u, 0x11u}) {
        auto d = MakeImage(31, 23, 32, random);
        d->FillRect32(0, nullptr);
        const SIZE size{31, 23};
        ASSERT_EQ(kLib.stretchBlend(d.get(), src.get(), &size, 0, 0, nullptr, 0, filter, 255, 0), 0);
        auto t = MakeImage(31, 23, 32, random);
        t->FillRect32(0, nullptr);
        const PixelLibTransform scale{31.0 / 9, 0, 0, 23.0 / 7, 0, 0};
        ASSERT_EQ(kLib.drawTransformed(t.get(), src.get(), &scale, nullptr, 0, filter, 255, 0, 0, 0, nullptr),
                  0);
        for (int y = 0; y < 23; ++y) {
            for (int x = 0; x < 31; ++x) {
                ASSERT_EQ(Px(*d, x, y) >> 24, 0xFFu) << "stretch " << x << "," << y;
                ASSERT_EQ(Px(*t, x, y) >> 24, 0xFFu) << "transform " << x << "," << y;
            }
        }
    }
}

TEST_F(PixelLibQuads, EveryKernelSetDrawsThePlainKernelsQuads)
{
    // Random corners on a target with a random clip rectangle (and a source with one), every mode at
    // opacity 255 and between, both filters, with and without the rest filled: the SIMD kernels at
    // every level give the plain kernels' pixels and changed rectangle.
    raster_test::Random random(25);
    std::mt19937 rng(25);
    for (int rep = 0; rep < 240; ++rep) {
        auto src = MakeImage(1 + int(rng() % 37), 1 + int(rng() % 29), 32, random);
        auto target = MakeImage(1 + int(rng() % 61), 1 + int(rng() % 43), 32, random);
        const auto cut = [&](CImage& image) {
            const LONG l = LONG(rng() % 4), t = LONG(rng() % 4);
            const RECT r{l, t, l + 1 + LONG(rng() % image.GetWidth()), t + 1 + LONG(rng() % image.GetHeight())};
            image.ClipRectToSize(&r);
        };
        cut(*target);
        cut(*src);
        PixelLibPoint corners[3];
        for (auto& p : corners) {
            p = {double(int(rng() % 1000) - 200) / 10, double(int(rng() % 700) - 150) / 10};
        }
        const DWORD modes[] = {0, 2, 3, 4, 5};
        const DWORD mode = modes[rng() % 5];
        const DWORD opacity = rng() % 2 ? 255 : rng() % 256;
        const DWORD filter = rng() % 2, clear = rng() % 2, fill = rng();
        const auto draw = [&](RECT& out) {
            auto d = MakeImage(target->GetWidth(), target->GetHeight(), 32, random);
            for (int y = 0; y < d->GetHeight(); ++y) {
                std::memcpy(d->GetRowAddress(y), target->GetRowAddress(y), size_t(d->GetWidth()) * 4);
            }
            d->ClipRectToSize(&target->ClipRect());
            EXPECT_EQ(kLib.drawQuad(d.get(), src.get(), corners, nullptr, mode, filter, opacity, 0, clear, fill, &out),
                      0);
            return raster_test::Snapshot(*d);
        };
        RECT plainOut;
        SimdSwitch off(false);
        const auto plain = draw(plainOut);
        for (SimdLevel level : kAllSimdLevels) {
            SimdSwitch on(true);
            ScopedSimdLevel scoped(level);
            RECT out;
            ASSERT_TRUE(draw(out) == plain) << rep << ", mode " << mode << ", opacity " << opacity << ", filter "
                                            << filter << ", clear " << clear << ", level " << int(level);
            ASSERT_TRUE(SameRect(out, plainOut)) << rep;
        }
    }
}

TEST_F(PixelLibQuads, HostileCornersAndTransforms)
{
    raster_test::Random random(24);
    auto d = MakeImage(16, 16, 32, random);
    auto s = MakeImage(8, 8, 32, random);
    const double nan = std::nan(""), inf = INFINITY;
    for (double bad : {nan, inf, -inf}) {
        const PixelLibPoint c[3] = {{0, 0}, {bad, 0}, {0, 8}};
        EXPECT_NE(kLib.drawQuad(d.get(), s.get(), c, nullptr, 0, 0, 255, 0, 0, 0, nullptr), 0);
        const PixelLibTransform t{1, 0, 0, bad, 0, 0};
        EXPECT_NE(kLib.drawTransformed(d.get(), s.get(), &t, nullptr, 0, 0, 255, 0, 0, 0, nullptr), 0);
    }
    const auto before = raster_test::Snapshot(*d);
    // Far out and zero-area: nothing drawn, success.
    const PixelLibPoint far[3] = {{1e300, 0}, {-1e300, 5}, {3, 1e18}};
    EXPECT_EQ(kLib.drawQuad(d.get(), s.get(), far, nullptr, 2, 1, 255, 0, 0, 0, nullptr), 0);
    const PixelLibPoint flat[3] = {{2, 2}, {9, 2}, {2, 2}};
    EXPECT_EQ(kLib.drawQuad(d.get(), s.get(), flat, nullptr, 0, 0, 255, 0, 0, 0, nullptr), 0);
    const PixelLibTransform zero{0, 0, 0, 0, 4, 4};
    EXPECT_EQ(kLib.drawTransformed(d.get(), s.get(), &zero, nullptr, 0, 0, 255, 0, 0, 0, nullptr), 0);
    EXPECT_TRUE(raster_test::Snapshot(*d) == before);
    // Clearing with nothing to draw fills the whole clip rectangle.
    RECT out;
    EXPECT_EQ(kLib.drawQuad(d.get(), s.get(), far, nullptr, 0, 0, 255, 0, 1, 0x12345678u, &out), 0);
    EXPECT_TRUE(SameRect(out, RECT{0, 0, 16, 16}));
    EXPECT_EQ(Px(*d, 7, 7), 0x12345678u);
}

} // namespace
