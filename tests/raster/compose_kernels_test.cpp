// Opacity, compositing and rule-blend row kernels, and the mask blend kernels: SIMD twins against
// the plain kernels on random pictures of every width from 1 to 33 with guard bytes, and the
// per-pixel rules against their definitions.
#include "raster/compose_kernels.h"
#include "raster/mask_kernels.h"

#include "raster/blend_tables.h"

#include "pixel_test_util.h"

using namespace pixel_test;

namespace {

struct Inputs {
    Picture dst, src, rule;
    std::vector<uint32_t> colors;
    StretchState step{};
    uint32_t level = 0;
    BYTE levels[256];
};

template <class Run> void ExpectTwins(const char* name, Run run, bool scaled = false)
{
    std::mt19937 rng(4242);
    for (int width = 1; width <= 33; ++width) {
        for (int rep = 0; rep < 3; ++rep) {
            Inputs in;
            const int height = 1 + int(rng() % 3);
            int srcW = width, srcH = height;
            if (scaled) {
                srcW = 1 + int(rng() % 40);
                srcH = 1 + int(rng() % 5);
                in.step = {-width - 1, srcW % width, width, srcW / width, -height - 1, srcH % height, height,
                           srcH / height};
            }
            in.dst = RandomPicture(rng, width, height, 4);
            in.src = RandomPicture(rng, srcW, srcH, 4);
            in.rule = RandomPicture(rng, width, height, 1, int(rng() % 5));
            SprinkleEdges(rng, in.dst);
            SprinkleEdges(rng, in.src);
            in.colors.resize(std::max(width, height));
            for (auto& c : in.colors) {
                c = rng();
            }
            in.level = rng() % 256;
            for (auto& l : in.levels) {
                l = BYTE(rng());
            }
            in.levels[rng() % 256] = 0;
            Inputs a = in, b = in;
            run(false, a);
            run(true, b);
            ASSERT_EQ(a.dst.mem, b.dst.mem) << name << " width " << width;
        }
    }
}

BYTE* B(uint32_t& v) { return reinterpret_cast<BYTE*>(&v); }
const BYTE* CB(const uint32_t& v) { return reinterpret_cast<const BYTE*>(&v); }

} // namespace

TEST(ComposeKernels, TwinsMatch)
{
    ExpectTwins("add/sub", [](bool simd, Inputs& in) {
        Picture& d = in.dst;
        const Picture& s = in.src;
        (simd ? AddBlendRows32Mmx : AddBlendRows32)(d.First(), s.First(), d.Skip(), s.Skip(), d.width, d.height,
                                                    BYTE(in.level));
        (simd ? SubBlendRows32Mmx : SubBlendRows32)(d.First(), s.First(), d.Skip(), s.Skip(), d.width, d.height,
                                                    BYTE(255 - in.level));
    });
    using K = AlphaTableKernel;
    const K tables[4][2] = {{BlendAlphaTableRows32, BlendAlphaTableRows32Mmx},
                            {BlendAlphaTableAddRows32, BlendAlphaTableAddRows32Mmx},
                            {BlendAlphaTableSubRows32, BlendAlphaTableSubRows32Mmx},
                            {AlphaOnAlphaRows32, AlphaOnAlphaRows32Mmx}};
    using KS = AlphaTableScaledKernel;
    const KS scaledTables[4][2] = {{BlendAlphaTableRows32Scaled, BlendAlphaTableRows32MmxScaled},
                                   {BlendAlphaTableAddRows32Scaled, BlendAlphaTableAddRows32MmxScaled},
                                   {BlendAlphaTableSubRows32Scaled, BlendAlphaTableSubRows32MmxScaled},
                                   {AlphaOnAlphaRows32Scaled, AlphaOnAlphaRows32MmxScaled}};
    for (int k = 0; k < 4; ++k) {
        ExpectTwins("alpha table", [&](bool simd, Inputs& in) {
            tables[k][simd](in.dst.First(), in.src.First(), in.dst.Skip(), in.src.Skip(), in.dst.width,
                            in.dst.height, g_MulTable[in.level]);
        });
        ExpectTwins(
            "alpha table scaled",
            [&](bool simd, Inputs& in) {
                scaledTables[k][simd](in.dst.First(), in.src.First(), in.dst.Skip(), in.src.pitch, in.dst.width,
                                      in.dst.height, in.step, g_MulTable[in.level]);
            },
            true);
    }
    ExpectTwins("rule", [](bool simd, Inputs& in) {
        Picture& d = in.dst;
        const Picture& s = in.src;
        (simd ? RuleBlendRows32Mmx : RuleBlendRows32)(d.First(), s.First(), d.Skip(), s.Skip(), d.width, d.height,
                                                      in.rule.First(), in.rule.Skip(), in.levels);
        (simd ? RuleBlendRows32Mmx : RuleBlendRows32)(d.First(), s.First(), d.Skip(), s.Skip(), d.width, d.height,
                                                      nullptr, 0, in.levels);
        (simd ? RuleBlendAlphaRows32Mmx : RuleBlendAlphaRows32)(d.First(), s.First(), d.Skip(), s.Skip(), d.width,
                                                                d.height, in.rule.First(), in.rule.Skip(),
                                                                in.levels);
    });
    const MaskBlendKernel masks[4][2] = {{BlendImageByMaskRows32, BlendImageByMaskRows32Mmx},
                                         {BlendColorByMaskRows32, BlendColorByMaskRows32Mmx},
                                         {BlendImageByMaskOnAlphaRows32, BlendImageByMaskOnAlphaRows32Mmx},
                                         {BlendColorByMaskOnAlphaRows32, BlendColorByMaskOnAlphaRows32Mmx}};
    for (int k = 0; k < 4; ++k) {
        ExpectTwins("mask blend", [&](bool simd, Inputs& in) {
            Picture& d = in.dst;
            // Plain kernels step by pitches, SIMD ones by the skips after a row.
            masks[k][simd](d.First(), in.rule.First(), simd ? d.Skip() : d.pitch,
                           simd ? in.rule.Skip() : in.rule.pitch, d.width, d.height, in.colors.data(),
                           g_MulTable[in.level]);
        });
    }
}

TEST(ComposeKernels, AlphaOnAlphaTwinsMatchForEveryAlphaPair)
{
    // The SIMD twin takes shortcuts by alpha (clear, opaque) and computes the union: every pair of
    // destination and source alpha, in runs and mixed within a group of four, at several opacities
    // and through a table that is no row of the multiply table.
    std::mt19937 rng(77);
    BYTE odd[256];
    for (auto& v : odd) {
        v = BYTE(rng());
    }
    odd[0] = 0;
    odd[255] = 255;
    const BYTE* tables[] = {g_MulTable[255], g_MulTable[128], g_MulTable[1], odd};
    for (int order = 0; order < 2; ++order) {
        std::vector<uint32_t> dst(65536), src(65536);
        for (uint32_t i = 0; i < 65536; ++i) {
            // order 0: source alpha runs along rows; order 1: pairs scattered.
            const uint32_t k = order == 0 ? i : (i * 40503u) & 0xFFFF;
            dst[i] = (k >> 8) << 24 | (rng() & 0xFFFFFF);
            src[i] = (k & 0xFF) << 24 | (rng() & 0xFFFFFF);
        }
        for (const BYTE* table : tables) {
            std::vector<uint32_t> a = dst, b = dst;
            AlphaOnAlphaRows32(B(a[0]), CB(src[0]), 0, 0, 256, 256, table);
            AlphaOnAlphaRows32Mmx(B(b[0]), CB(src[0]), 0, 0, 256, 256, table);
            ASSERT_EQ(a, b) << "order " << order;
        }
    }
}

TEST(ComposeKernels, RuleBlendTwinsMatchOnFadeLevels)
{
    // A fade's levels are 0 below a band and 255 above it: rule runs wholly at either end, across
    // the band and mixed within a group, with a rule and by the source alpha.
    std::mt19937 rng(99);
    BYTE levels[256];
    for (int k = 0; k < 256; ++k) {
        levels[k] = BYTE(k < 96 ? 0 : k >= 160 ? 255 : (k - 96) * 4);
    }
    for (int width = 1; width <= 40; ++width) {
        Picture dst = RandomPicture(rng, width, 4, 4), src = RandomPicture(rng, width, 4, 4);
        Picture rule = RandomPicture(rng, width, 4, 1);
        SprinkleEdges(rng, src);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < width; ++x) {
                const BYTE runs[4] = {BYTE(x < 8 ? 0 : 255), BYTE(x * 16), BYTE(255 - x * 8), BYTE(rng())};
                *rule.At(x, y) = runs[y];
                src.At(x, y)[3] = y == 0 ? BYTE(x < 16 ? 0 : 255) : src.At(x, y)[3];
            }
        }
        for (int alpha = 0; alpha < 2; ++alpha) {
            for (const BYTE* r : {static_cast<const BYTE*>(rule.First()), static_cast<const BYTE*>(nullptr)}) {
                Picture a = dst, b = dst;
                const auto plain = alpha ? RuleBlendAlphaRows32 : RuleBlendRows32;
                const auto simd = alpha ? RuleBlendAlphaRows32Mmx : RuleBlendRows32Mmx;
                plain(a.First(), src.First(), a.Skip(), src.Skip(), width, 4, r, rule.Skip(), levels);
                simd(b.First(), src.First(), b.Skip(), src.Skip(), width, 4, r, rule.Skip(), levels);
                ASSERT_EQ(a.mem, b.mem) << "width " << width << " alpha " << alpha << (r ? " rule" : "");
            }
        }
    }
}

TEST(ComposeKernels, PerPixelRules)
{
    std::mt19937 rng(8);
    for (int i = 0; i < 20000; ++i) {
        const uint32_t d = rng(), s = rng(), op = rng() % 256;
        const BYTE r = BYTE(rng());
        const uint32_t f = Factor(op);
        uint32_t add = d & 0xFF000000u, sub = add;
        for (int c = 0; c < 3; ++c) {
            add |= uint32_t(std::min(255, Chan(d, c) + (Chan(s, c) * int(f) >> 8))) << (8 * c);
            sub |= uint32_t(std::max(0, Chan(d, c) - (Chan(s, c) * int(f) >> 8))) << (8 * c);
        }
        const uint32_t e = Mul(op, s >> 24);
        BYTE levels[256];
        for (int k = 0; k < 256; ++k) {
            levels[k] = BYTE(k * 7 + 3);
        }
        for (int simd = 0; simd < 2; ++simd) {
            uint32_t v = d;
            (simd ? AddBlendRows32Mmx : AddBlendRows32)(B(v), CB(s), 0, 0, 1, 1, BYTE(op));
            ASSERT_EQ(v, add);
            v = d;
            (simd ? SubBlendRows32Mmx : SubBlendRows32)(B(v), CB(s), 0, 0, 1, 1, BYTE(op));
            ASSERT_EQ(v, sub);
            v = d;
            (simd ? BlendAlphaTableRows32Mmx : BlendAlphaTableRows32)(B(v), CB(s), 0, 0, 1, 1, g_MulTable[op]);
            ASSERT_EQ(v, BlendF(d, s, Factor(e)));
            v = d;
            (simd ? AlphaOnAlphaRows32Mmx : AlphaOnAlphaRows32)(B(v), CB(s), 0, 0, 1, 1, g_MulTable[op]);
            ASSERT_EQ(v, (BlendF(d, s, Factor(Weight(d >> 24, e))) & 0xFFFFFF) | Union(d >> 24, e) << 24);
            v = d;
            (simd ? RuleBlendRows32Mmx : RuleBlendRows32)(B(v), CB(s), 0, 0, 1, 1, &r, 0, levels);
            ASSERT_EQ(v, BlendF(d, s, Factor(levels[r])));
            v = d;
            (simd ? RuleBlendAlphaRows32Mmx : RuleBlendAlphaRows32)(B(v), CB(s), 0, 0, 1, 1, &r, 0, levels);
            ASSERT_EQ(v, BlendF(d, s, Factor(Mul(levels[r], s >> 24))));
            // Mask kernels: level = levels[m]; the compositing form from weight and union.
            const BYTE m = r;
            v = d;
            (simd ? BlendImageByMaskRows32Mmx : BlendImageByMaskRows32)(B(v), &m, 4, 1, 1, 1, &s, g_MulTable[op]);
            ASSERT_EQ(v, BlendF(d, s, Factor(Mul(op, m))));
            v = d;
            (simd ? BlendColorByMaskOnAlphaRows32Mmx : BlendColorByMaskOnAlphaRows32)(B(v), &m, 4, 1, 1, 1, &s,
                                                                                      g_MulTable[op]);
            const uint32_t lv = Mul(op, m);
            ASSERT_EQ(v, (BlendF(d, s, Factor(Weight(d >> 24, lv))) & 0xFFFFFF) | Union(d >> 24, lv) << 24);
        }
    }
}

TEST(ComposeKernels, MaskColourRuns)
{
    // Per-column kernels repeat the run in every row; per-row kernels give a row one colour.
    uint32_t px[3 * 2] = {};
    const BYTE mask[3 * 2] = {255, 255, 255, 255, 255, 255};
    const uint32_t colors[3] = {0x010203u, 0x040506u, 0x070809u};
    BlendImageByMaskRows32Mmx(reinterpret_cast<BYTE*>(px), mask, 0, 0, 3, 2, colors, g_MulTable[255]);
    EXPECT_EQ(px[3], colors[0]);
    EXPECT_EQ(px[5], colors[2]);
    BlendColorByMaskRows32(reinterpret_cast<BYTE*>(px), mask, 12, 3, 3, 2, colors, g_MulTable[255]);
    EXPECT_EQ(px[2], colors[0]);
    EXPECT_EQ(px[3], colors[1]);
    // Level 0 leaves the pixel, alpha included; over alpha 0 the alpha becomes the level.
    uint32_t v = 0x00112233u;
    const BYTE m = 200;
    BlendImageByMaskOnAlphaRows32(reinterpret_cast<BYTE*>(&v), &m, 4, 1, 1, 1, colors, g_MulTable[255]);
    EXPECT_EQ(v, 0xC8010203u);
    const BYTE zero = 0;
    v = 0x80112233u;
    BlendImageByMaskOnAlphaRows32Mmx(reinterpret_cast<BYTE*>(&v), &zero, 0, 0, 1, 1, colors, g_MulTable[255]);
    EXPECT_EQ(v, 0x80112233u);
}
