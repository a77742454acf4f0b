// The glyph kernels: distances and kernel values, the weighted outline and the dilation as exact
// pictures, bold thickening, block reduction, and the SSE2 twins against the plain rows.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "drawing/glyph_kernels.h"
#include "platform/cpu_info.h"
#include "raster/color_kernels.h"
#include "winapi/simd_level.h"

namespace {

TEST(GlyphKernels, KernelValuesFollowTheRadius)
{
    EXPECT_EQ(OutlineKernelValue(1), 6553);
    EXPECT_EQ(OutlineKernelValue(2), 1872);
    EXPECT_EQ(OutlineKernelValue(3), 819);
    EXPECT_EQ(OutlineKernelValue(-2), 1872);
    EXPECT_EQ(OutlineKernelValue(0), 65536);
    EXPECT_EQ(OutlineKernelValue(1000), OutlineKernelValue(64));
    EXPECT_EQ(ApproxDistance(0, 0), 0);
    EXPECT_EQ(ApproxDistance(3, 0), 3);
    EXPECT_EQ(ApproxDistance(1, 1), 1);
    EXPECT_EQ(ApproxDistance(-2, 2), 2);
}

// The test's own distance: a = min, b = max, a2 = a + a/2.
int Distance(int dx, int dy)
{
    const int a = std::min(std::abs(dx), std::abs(dy)), b = std::max(std::abs(dx), std::abs(dy));
    const int a2 = a + a / 2;
    return a2 / 4 + b + a2 / 64 - b / 128 - b / 32;
}

TEST(GlyphKernels, WeightedOutlineOfOnePixelIsTheKernel)
{
    for (int mmx = 0; mmx < 2; ++mmx) {
        g_bUseMmx = static_cast<uint8_t>(mmx);
        for (int r = 1; r <= 3; ++r) {
            const int kernel = OutlineKernelValue(r);
            const uint8_t pixel = 255;
            const int size = 2 * r + 1;
            std::vector<uint8_t> out(static_cast<size_t>(size) * size, 77);
            BuildGlyphOutline(&pixel, 1, 1, 1, out.data(), size, 1024, r, kernel);
            for (int dy = -r; dy <= r; ++dy)
                for (int dx = -r; dx <= r; ++dx) {
                    const int d = Distance(dx, dy);
                    int expected = 0;
                    if (d <= r) {
                        const int64_t w = (int64_t{r - d + 1} * 1024 * kernel) >> 8;
                        expected = static_cast<int>(std::min<int64_t>(255, (255 * w) >> 16));
                    }
                    EXPECT_EQ(out[static_cast<size_t>(dy + r) * size + dx + r], expected)
                        << r << " " << dx << "," << dy;
                }
        }
    }
    g_bUseMmx = 0;
}

TEST(GlyphKernels, HugeStrengthsSaturateAndRadiusZeroScales)
{
    const uint8_t pixel = 1;
    uint8_t out[9];
    BuildGlyphOutline(&pixel, 1, 1, 1, out, 3, INT32_MAX, 1, 6553);
    EXPECT_EQ(out[4], 255); // the weight saturates instead of wrapping
    const uint8_t grey[4] = {0, 100, 200, 255};
    uint8_t scaled[4];
    BuildGlyphOutline(grey, 4, 4, 1, scaled, 4, 128, 0, 65536);
    EXPECT_EQ(scaled[2], (200 * 128 + 127) / 255);
    BuildGlyphOutline(grey, 4, 4, 1, scaled, 4, -5, 0, 65536);
    EXPECT_EQ(scaled[3], 0);
    BuildGlyphOutline(grey, 4, 4, 1, scaled, 4, 300, 0, 65536);
    EXPECT_EQ(scaled[2], 200);
}

TEST(GlyphKernels, DilationSetsEveryPixelWithinTheRadius)
{
    const uint8_t src[2] = {255, 0};
    const int r = 2, w = 2 + 2 * r, h = 1 + 2 * r;
    std::vector<uint8_t> out(static_cast<size_t>(w) * h);
    DilateGlyph(src, 2, 2, 1, out.data(), w, r);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(out[static_cast<size_t>(y) * w + x], Distance(x - r, y - r) <= r ? 255 : 0)
                << x << "," << y;
}

TEST(GlyphKernels, BoldThickensIntoAWiderBitmapAndBlocksReduceToCounts)
{
    const uint8_t mono[4] = {0x81, 0, 0, 0}; // bits 0 and 7
    uint8_t thick[4] = {};
    ThickenMonoRows(mono, 4, 8, 1, thick, 4, 2);
    EXPECT_EQ(thick[0], 0xE1); // 0, 1, 2 and 7
    EXPECT_EQ(thick[1], 0xC0); // 8, 9: the bits that ran off the byte
    const uint8_t grey[4] = {10, 50, 20, 0};
    uint8_t wide[8] = {};
    ThickenGreyRows(grey, 4, 3, 1, wide, 8, 2);
    EXPECT_EQ(std::vector<uint8_t>(wide, wide + 5), (std::vector<uint8_t>{10, 50, 50, 50, 20}));
    // A full 4 x 4 block counts 16; a partial edge block what it has.
    uint8_t rows[5 * 4];
    for (int y = 0; y < 5; ++y) {
        rows[y * 4] = 0xFF;
        rows[y * 4 + 1] = 0x80;
        rows[y * 4 + 2] = rows[y * 4 + 3] = 0;
    }
    uint8_t reduced[2 * 4] = {};
    ReduceMonoBlocks(rows, 4, 9, 5, 4, reduced, 4);
    EXPECT_EQ(reduced[0], 16);
    EXPECT_EQ(reduced[2], 1 * 4); // bit 8 over four rows
    EXPECT_EQ(reduced[4], 4);     // the fifth row
}

TEST(GlyphKernels, SimdTwinsMatchThePlainRowsForWidthsOneTo33)
{
    std::mt19937 random(7);
    for (int width = 1; width <= 33; ++width)
        for (int factor : {4, 16}) {
            std::vector<uint8_t> a(static_cast<size_t>(width) * 3), b;
            for (auto& v : a)
                v = static_cast<uint8_t>(random() % 70);
            b = a;
            ScaleGreyRows(a.data(), width, width, 3, factor);
            ScaleGreyRowsMmx(b.data(), width, width, 3, factor);
            EXPECT_EQ(a, b) << width;
        }
    for (int width = 1; width <= 33; ++width)
        for (uint32_t weight : {0u, 1u, 6553u, 65536u, 300000u, 1u << 24}) {
            std::vector<uint8_t> src(width), a(width), b;
            for (int i = 0; i < width; ++i) {
                src[i] = static_cast<uint8_t>(random());
                a[i] = static_cast<uint8_t>(random());
            }
            b = a;
            AccumulateOutlineRow(a.data(), src.data(), width, weight);
            AccumulateOutlineRowMmx(b.data(), src.data(), width, weight);
            EXPECT_EQ(a, b) << width << " " << weight;
        }
}

// The glyph blend over 32-bit rows at every SIMD level against the plain rows: widths 1-33 (runs
// of eight and the columns past them), coverage in runs of 0 and 255 and between, destination
// alpha kept, and the skipped bytes between rows and around the picture left alone.
TEST(GlyphKernels, GlyphBlendTwinsEqualThePlainRows)
{
    std::mt19937 rng(49);
    const uint8_t savedMmx = g_bUseMmx;
    for (int width = 1; width <= 33; ++width) {
        for (int round = 0; round < 4; ++round) {
            const int height = 1 + static_cast<int>(rng() % 5), dstSkip = 4 * static_cast<int>(rng() % 3);
            const int maskSkip = static_cast<int>(rng() % 5), guard = 16;
            const int dstPitch = 4 * width + dstSkip, maskPitch = width + maskSkip;
            std::vector<uint8_t> dst(static_cast<size_t>(dstPitch) * height + 2 * guard);
            for (auto& b : dst)
                b = static_cast<uint8_t>(rng());
            std::vector<uint8_t> mask(static_cast<size_t>(maskPitch) * height);
            for (size_t i = 0; i < mask.size();) { // runs, so that whole groups of 0 and 255 occur
                const uint8_t kind = static_cast<uint8_t>(rng() % 3);
                for (size_t n = 1 + rng() % 12; n > 0 && i < mask.size(); --n, ++i)
                    mask[i] = kind == 0 ? 0 : kind == 1 ? 255 : static_cast<uint8_t>(rng());
            }
            const uint32_t rgb = static_cast<uint32_t>(rng());
            std::vector<uint8_t> want = dst;
            BlendGlyphRows32(want.data() + guard, mask.data(), dstSkip, maskSkip, width, height, rgb);
            for (int mmx = 0; mmx < 2; ++mmx) {
                g_bUseMmx = static_cast<uint8_t>(mmx);
                for (SimdLevel level : kAllSimdLevels) {
                    ScopedSimdLevel forced(level);
                    std::vector<uint8_t> got = dst;
                    BlendGlyphRows32Best(got.data() + guard, mask.data(), dstSkip, maskSkip, width, height, rgb);
                    ASSERT_EQ(got, want) << "width " << width << " mmx " << mmx << " level " << int(level);
                }
            }
        }
    }
    g_bUseMmx = savedMmx;
}

// Coverage into alpha (copied and united) and the colour fill that keeps alpha: every SIMD level
// and both settings of g_bUseMmx against the rule worked out pixel by pixel.
TEST(GlyphKernels, CoverageAlphaAndColourFillTwinsEqualTheRule)
{
    std::mt19937 rng(4911);
    const uint8_t savedMmx = g_bUseMmx;
    for (int width = 1; width <= 35; ++width) {
        for (int round = 0; round < 4; ++round) {
            const int height = 1 + static_cast<int>(rng() % 4), dstSkip = 4 * static_cast<int>(rng() % 3);
            const int maskSkip = static_cast<int>(rng() % 5);
            const int dstPitch = 4 * width + dstSkip, maskPitch = width + maskSkip;
            std::vector<uint8_t> dst(static_cast<size_t>(dstPitch) * height);
            for (auto& b : dst) // alpha too: 0, 255 and between
                b = rng() % 4 == 0 ? static_cast<uint8_t>(rng() % 2 * 255) : static_cast<uint8_t>(rng());
            std::vector<uint8_t> mask(static_cast<size_t>(maskPitch) * height);
            for (size_t i = 0; i < mask.size();) {
                const uint8_t kind = static_cast<uint8_t>(rng() % 3);
                for (size_t n = 1 + rng() % 12; n > 0 && i < mask.size(); --n, ++i)
                    mask[i] = kind == 0 ? 0 : kind == 1 ? 255 : static_cast<uint8_t>(rng());
            }
            const uint32_t rgb = static_cast<uint32_t>(rng());
            std::vector<uint8_t> copied = dst, united = dst, filled = dst;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const size_t at = static_cast<size_t>(y) * dstPitch + 4 * x;
                    const int m = mask[static_cast<size_t>(y) * maskPitch + x], a = dst[at + 3];
                    copied[at + 3] = static_cast<uint8_t>(m);
                    united[at + 3] = static_cast<uint8_t>(255 - (255 - a) * (255 - m) / 255);
                    filled[at] = static_cast<uint8_t>(rgb);
                    filled[at + 1] = static_cast<uint8_t>(rgb >> 8);
                    filled[at + 2] = static_cast<uint8_t>(rgb >> 16);
                }
            for (int mmx = 0; mmx < 2; ++mmx) {
                g_bUseMmx = static_cast<uint8_t>(mmx);
                for (SimdLevel level : kAllSimdLevels) {
                    ScopedSimdLevel forced(level);
                    for (bool unite : {false, true}) {
                        std::vector<uint8_t> got = dst;
                        WriteCoverageAlphaRows32Best(got.data(), mask.data(), dstSkip, maskSkip, width, height, unite);
                        ASSERT_EQ(got, unite ? united : copied)
                            << "width " << width << " unite " << unite << " mmx " << mmx << " level " << int(level);
                    }
                    std::vector<uint8_t> got = dst;
                    for (int y = 0; y < height; ++y)
                        FillColourKeepAlphaRow32Best(reinterpret_cast<uint32_t*>(got.data() + static_cast<size_t>(y) * dstPitch),
                                                     width, rgb);
                    ASSERT_EQ(got, filled) << "fill width " << width << " mmx " << mmx << " level " << int(level);
                }
            }
        }
    }
    g_bUseMmx = savedMmx;
}

} // namespace
