// The blend tables against their definitions, over every byte pair, and the gradient ramps.
#include "platform/cpu_info.h"
#include "raster/blend_tables.h"
#include "support/pixel_buffers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

TEST(BlendTables, EveryEntryFollowsItsDefinition)
{
    BuildBlendTables();
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            // Rounded to nearest: a x b / 255 + 0.5, written independently of the table's formula.
            ASSERT_EQ(static_cast<int>(std::floor(a * b / 255.0 + 0.5 - 1e-9)), g_MulTable[a][b]) << a << " " << b;
            // Rounded up: 255 (1 - (1 - a/255)(1 - b/255)).
            const double u = 255.0 * (1.0 - (1.0 - a / 255.0) * (1.0 - b / 255.0));
            ASSERT_EQ(static_cast<int>(std::ceil(u - 1e-9)), g_AlphaUnionTable[a][b]) << a << " " << b;
        }
    }
    // The source weight in floating point: S = s k, D = d k in double with k the single-precision
    // value nearest to 1/255.
    const float k = 1.0f / 255.0f;
    for (int d = 0; d < 256; ++d) {
        for (int s = 0; s < 256; ++s) {
            int want = 255;
            if (d > 0) {
                const double S = s * static_cast<double>(k), D = d * static_cast<double>(k);
                const double w = 255.0 * (S / D) / ((1.0 - S) + S / D);
                want = std::min(255, static_cast<int>(w));
            }
            ASSERT_EQ(want, g_SourceWeightTable[d][s]) << d << " " << s;
        }
    }
    for (int i = -768; i < 1024; ++i) {
        ASSERT_EQ(i < 0 ? 0 : i > 255 ? 255 : i, g_ClampTable[i]) << i;
    }
    for (int i = 0; i < 256; ++i) {
        const uint16_t f = i == 0 ? 0 : static_cast<uint16_t>(i + 1);
        EXPECT_EQ(f, g_OpacityFactors[i][0]);
        EXPECT_EQ(f, g_OpacityFactors[i][1]);
        EXPECT_EQ(f, g_OpacityFactors[i][2]);
        EXPECT_EQ(0, g_OpacityFactors[i][3]);
    }
}

TEST(BlendTables, NamedEntries)
{
    EXPECT_EQ(255, g_MulTable[255][255]);
    EXPECT_EQ(64, g_MulTable[128][128]);
    EXPECT_EQ(0, g_MulTable[1][1]);
    EXPECT_EQ(255, g_SourceWeightTable[0][0]);
    EXPECT_EQ(127, g_SourceWeightTable[1][1]);
    EXPECT_EQ(170, g_SourceWeightTable[128][128]);
    for (int x = 0; x < 256; ++x) {
        EXPECT_EQ(x, g_MulTable[255][x]);
        EXPECT_EQ(x, g_SourceWeightTable[255][x]);
        EXPECT_EQ(x, g_AlphaUnionTable[0][x]);
        EXPECT_EQ(255, g_AlphaUnionTable[255][x]);
        if (x > 0) {
            EXPECT_EQ(0, g_SourceWeightTable[x][0]);
        }
    }
}

TEST(GradientRamp, EightBitRamps)
{
    struct Case {
        const char* name;
        int count;
        uint32_t start, end;
        std::vector<uint8_t> want;
    } cases[] = {
        {"up", 2, 0, 255, {0, 128}},
        {"down", 2, 255, 0, {128, 0}},
        {"between", 2, 10, 200, {10, 105}},
        {"falling", 4, 200, 100, {200, 174, 149, 124}},
    };
    for (const Case& c : cases) {
        CGradientRamp ramp;
        ASSERT_EQ(0, ramp.Build(c.count, c.start, c.end, 8)) << c.name;
        ASSERT_EQ(c.count, ramp.Count());
        EXPECT_EQ(c.want, std::vector<uint8_t>(ramp.Bytes(), ramp.Bytes() + c.count)) << c.name;
    }
}

TEST(GradientRamp, ThirtyTwoBitRampKeepsStartAlphaAndStopsShortOfEnd)
{
    int result = -5;
    CGradientRamp ramp(&result, 3, 0x80FF0010u, 0x0000FF90u, 32);
    ASSERT_EQ(0, result);
    // step = 2^32 / 3: levels 0, 85, 170; factors 0, 86, 171.
    auto channel = [](int s, int e, int f) { return s + ((f * (e - s)) >> 8); };
    const int factors[3] = {0, 86, 171};
    for (int i = 0; i < 3; ++i) {
        const uint32_t want = 0x80000000u | channel(0xFF, 0x00, factors[i]) << 16 | channel(0x00, 0xFF, factors[i]) << 8 |
                              channel(0x10, 0x90, factors[i]);
        EXPECT_EQ(want, ramp.Colors()[i]) << i;
    }
}

TEST(GradientRamp, FailuresLeaveTheRampEmpty)
{
    CGradientRamp ramp;
    ASSERT_EQ(0, ramp.Build(5, 0, 255, 8));
    EXPECT_EQ(1, ramp.Build(1, 0, 255, 8));
    EXPECT_EQ(nullptr, ramp.Bytes());
    EXPECT_EQ(0, ramp.Count());
    EXPECT_EQ(0xFFFFFFFFu, ramp.Start());
    EXPECT_EQ(3, ramp.Build(4, 0, 255, 16));
    EXPECT_EQ(nullptr, ramp.Bytes());
}

TEST(GradientRamp, SimdRampEqualsPlainRamp)
{
    uint8_t& useMmx = g_bUseMmx;
    const uint8_t saved = useMmx;
    raster_test::Random random(11);
    for (int trial = 0; trial < 200; ++trial) {
        const int count = random.Range(2, 300);
        const uint32_t start = random.Next(), end = random.Next();
        CGradientRamp plain, simd;
        useMmx = 0;
        ASSERT_EQ(0, plain.Build(count, start, end, 32));
        useMmx = 1;
        ASSERT_EQ(0, simd.Build(count, start, end, 32));
        ASSERT_EQ(0, std::memcmp(plain.Colors(), simd.Colors(), static_cast<size_t>(count) * 4))
            << count << " " << std::hex << start << " " << end;
    }
    useMmx = saved;
}
