// Filter kernels: the box blur against a direct average of its window, the in-place blur against
// its weight table, and the bilinear kernels (plain against SIMD on every width from 1 to 33, and
// against the interpolation formula).
#include "raster/blur_kernels.h"

#include "raster/blend_tables.h"
#include "winapi/simd_level.h"

#include "pixel_test_util.h"

using namespace pixel_test;

namespace {

uint32_t BoxAverage(const Picture& src, int x, int y, int r)
{
    uint32_t out = 0;
    const uint32_t weight = 65536u / (2u * r + 1u);
    for (int c = 0; c < 4; ++c) {
        uint32_t sum = 0;
        for (int k = x - r; k <= x + r; ++k) {
            sum += Chan(src.Px(std::clamp(k, 0, src.width - 1), y), c);
        }
        out |= ((sum * weight + 32768) >> 16) << (8 * c);
    }
    return out;
}

} // namespace

TEST(BlurKernels, BoxBlurMatchesItsWindow)
{
    std::mt19937 rng(17);
    for (int rep = 0; rep < 70; ++rep) {
        // Some rows wider than the SIMD twins' column chunk, so a window straddles two chunks.
        const int srcWidth = rep % 10 == 9 ? 500 + int(rng() % 800) : 1 + int(rng() % 40);
        Picture src = RandomPicture(rng, srcWidth, 1 + int(rng() % 4), 4);
        const int left = int(rng() % src.width);
        const int width = 1 + int(rng() % (src.width - left));
        const int radius = rep < 50 ? 1 + int(rng() % 12) : 100 + int(rng() % 28);
        const BYTE level = BYTE(rep % 3 == 0 ? 255 : rng());
        Picture dst = RandomPicture(rng, width, src.height, 4);
        // The plain kernels and their SSE2 twins, each way: replace, by level, by the blurred alpha.
        using K = void (*)(BYTE*, const BYTE*, int, int, int, int, int, int, int, BYTE);
        const K kernels[6] = {BlurBlendRows32,    BlurBlendLevelRows32,    BlurBlendAlphaRows32,
                              BlurBlendRows32Mmx, BlurBlendLevelRows32Mmx, BlurBlendAlphaRows32Mmx};
        // The twins at each SIMD level they have (the plain kernels run once).
        for (int run = 0; run < 3 + 3 * int(std::size(kAllSimdLevels) - 1); ++run) {
            const int k = run < 3 ? run : 3 + (run - 3) % 3;
            const int way = k % 3;
            ScopedSimdLevel forced(run < 3 ? SimdLevel::Plain : kAllSimdLevels[1 + (run - 3) / 3]);
            Picture out = dst;
            const int srcSkip = src.pitch - width * 4;
            kernels[k](out.First(), src.At(left, 0), out.Skip(), srcSkip, width, src.height, left,
                       src.width - left - 1, radius, level);
            for (int y = 0; y < src.height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const uint32_t b = BoxAverage(src, left + x, y, radius);
                    const uint32_t d = dst.Px(x, y);
                    const uint32_t want = way == 0   ? b
                                          : way == 1 ? BlendF(d, b, Factor(level))
                                                     : BlendF(d, b, Factor(Mul(level, b >> 24)));
                    ASSERT_EQ(out.Px(x, y), want) << run << " " << x << "," << y;
                }
            }
            for (size_t i = 0; i < size_t(kGuard); ++i) {
                ASSERT_EQ(out.mem[i], dst.mem[i]);
                ASSERT_EQ(out.mem[out.mem.size() - 1 - i], dst.mem[dst.mem.size() - 1 - i]);
            }
        }
    }
    // A uniform row keeps its value at radius 1; at radius 72 the truncated weight gives 233 -> 232.
    Picture uniform = RandomPicture(rng, 200, 1, 4, 0);
    for (int x = 0; x < 200; ++x) {
        uniform.SetPx(x, 0, 0xE9E9E9E9u);
    }
    Picture out = RandomPicture(rng, 10, 1, 4, 0);
    BlurBlendRows32(out.First(), uniform.At(50, 0), 0, 0, 10, 1, 50, 149, 1, 255);
    EXPECT_EQ(out.Px(3, 0), 0xE9E9E9E9u);
    BlurBlendRows32(out.First(), uniform.At(50, 0), 0, 0, 10, 1, 50, 149, 72, 255);
    EXPECT_EQ(out.Px(3, 0), 0xE8E8E8E8u);
    BlurBlendRows32Mmx(out.First(), uniform.At(50, 0), 0, 0, 10, 1, 50, 149, 72, 255);
    EXPECT_EQ(out.Px(3, 0), 0xE8E8E8E8u);
}

TEST(BlurKernels, InPlaceBlurWeights)
{
    std::mt19937 rng(21);
    for (int rep = 0; rep < 40; ++rep) {
        const int w = 4 + int(rng() % 8), h = 4 + int(rng() % 8);
        Picture p = RandomPicture(rng, w, h, 4);
        const BYTE mode = BYTE(rep % 3);
        Picture out = p;
        ASSERT_EQ(BlurRows32(out.First(), out.pitch, w, h, mode), 0);
        const uint32_t cut = mode < 2 ? 0xF8 : 0xFF;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                uint32_t want = 0;
                for (int c = 0; c < 3; ++c) {
                    auto at = [&](int xx, int yy) { return uint32_t(Chan(p.Px(xx, yy), c)) & cut; };
                    const bool t = y == 0, b = y == h - 1, l = x == 0, r = x == w - 1;
                    uint32_t v;
                    if (!t && !b && !l && !r) {
                        v = (at(x, y - 1) + 2 * at(x - 1, y) + 2 * at(x, y) + 2 * at(x + 1, y) +
                             at(x, y + 1)) /
                            8;
                    } else if (t || b) {
                        const uint32_t n = t ? at(x, y + 1) : at(x, y - 1);
                        v = l   ? (n + 2 * at(x, y) + at(x + 1, y)) / 4
                            : r ? (n + 2 * at(x, y) + at(x - 1, y)) / 4
                                : (at(x - 1, y) + at(x, y) + at(x + 1, y) + n) / 4;
                    } else {
                        v = (at(x, y - 1) + at(x, y) + at(x, y + 1) + (l ? at(x + 1, y) : at(x - 1, y))) / 4;
                    }
                    want |= (v + (mode == 1 ? 7 : 0)) << (8 * c);
                }
                ASSERT_EQ(out.Px(x, y), want) << int(mode) << " " << x << "," << y;
            }
        }
        ASSERT_TRUE(std::equal(out.mem.begin(), out.mem.begin() + kGuard, p.mem.begin()));
    }
    Picture small = RandomPicture(rng, 3, 10, 4);
    Picture copy = small;
    EXPECT_EQ(BlurRows32(small.First(), small.pitch, 3, 10, 0), 2);
    EXPECT_EQ(small.mem, copy.mem);
}

namespace {

StretchSteps RandomSteps(std::mt19937& rng, int width, int height, int& srcW, int& srcH)
{
    StretchSteps s;
    s.xFraction = rng();
    s.yFraction = rng();
    s.xStep = (uint64_t(rng() % 3) << 32) | rng();
    s.yStep = (uint64_t(rng() % 2) << 32) | rng();
    srcW = int(((uint64_t(s.xFraction) + s.xStep * (width - 1)) >> 32) + 2);
    srcH = int(((uint64_t(s.yFraction) + s.yStep * (height - 1)) >> 32) + 2);
    return s;
}

uint32_t LerpRef(uint32_t a, uint32_t b, uint32_t f)
{
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        out |= uint32_t(Chan(a, c) + FloorShift8((Chan(b, c) - Chan(a, c)) * int(f))) << (8 * c);
    }
    return out;
}

} // namespace

TEST(BlurKernels, BilinearTwinsAndRule)
{
    std::mt19937 rng(31);
    uint32_t palette[256];
    for (auto& p : palette) {
        p = rng();
    }
    std::vector<int> widths;
    for (int w = 1; w <= 33; ++w) {
        widths.push_back(w);
    }
    // The SIMD form works in column chunks: cross their edges too.
    for (int w : {255, 256, 257, 300, 513}) {
        widths.push_back(w);
    }
    for (int width : widths) {
        for (int rep = 0; rep < 3; ++rep) {
            const int height = 1 + int(rng() % (width > 33 ? 8 : 3));
            int srcW, srcH;
            const StretchSteps steps = RandomSteps(rng, width, height, srcW, srcH);
            const Picture src = RandomPicture(rng, srcW, srcH, 4);
            const Picture idx = RandomPicture(rng, srcW, srcH, 1);
            const Picture dst = RandomPicture(rng, width, height, 4);
            Picture a = dst, b = dst, c = dst, d = dst;
            SmoothRows32(a.First(), src.First(), a.Skip(), src.pitch, width, height, steps);
            SmoothRows32Mmx(b.First(), src.First(), b.Skip(), src.pitch, width, height, steps);
            ASSERT_EQ(a.mem, b.mem) << width;
            SmoothPalRows32(c.First(), idx.First(), c.Skip(), idx.pitch, width, height, steps, palette);
            SmoothPalRows32Mmx(d.First(), idx.First(), d.Skip(), idx.pitch, width, height, steps, palette);
            ASSERT_EQ(c.mem, d.mem) << width;
            for (int y = 0; y < height; ++y) {
                const uint64_t yp = steps.yFraction + steps.yStep * y;
                const int sy = int(yp >> 32);
                const uint32_t fy = uint32_t(yp) >> 24;
                for (int x = 0; x < width; ++x) {
                    const uint64_t xp = steps.xFraction + steps.xStep * x;
                    const int sx = int(xp >> 32);
                    const uint32_t fx = uint32_t(xp) >> 24;
                    const uint32_t top = LerpRef(src.Px(sx, sy), src.Px(sx + 1, sy), fx);
                    const uint32_t bottom = LerpRef(src.Px(sx, sy + 1), src.Px(sx + 1, sy + 1), fx);
                    ASSERT_EQ(a.Px(x, y), LerpRef(top, bottom, fy));
                    const uint32_t ptop = LerpRef(palette[*idx.At(sx, sy)], palette[*idx.At(sx + 1, sy)], fx);
                    const uint32_t pbot =
                        LerpRef(palette[*idx.At(sx, sy + 1)], palette[*idx.At(sx + 1, sy + 1)], fx);
                    ASSERT_EQ(c.Px(x, y), LerpRef(ptop, pbot, fy));
                }
            }
        }
    }
}
