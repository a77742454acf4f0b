// The eight-pixel alpha blend and the blend by level against their rules over every (source,
// destination, alpha) byte triple, each channel of the pixel carrying a different triple, so a
// lane or channel mixed up or a rounding off by one anywhere in the range shows.
#include "raster/pixel_simd_avx2.h"
#include "winapi/simd_level.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

uint32_t RuleBlend(uint32_t s, uint32_t d)
{
    const uint32_t a = s >> 24;
    uint32_t out = 0;
    for (int shift : {0, 8, 16}) {
        const uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
        out |= ((sc * a + dc * (255 - a) + 127) / 255) << shift;
    }
    return out;
}

// The level of alpha a at opacity o, and the colour of s blended into d by it (d's alpha kept).
uint32_t RuleLevel(uint32_t a, uint32_t o)
{
    return (a * o + 127) / 255;
}
uint32_t RuleByLevel(uint32_t s, uint32_t d, uint32_t level)
{
    const int f = level == 0 ? 0 : static_cast<int>(level) + 1;
    uint32_t out = d & 0xFF000000u;
    for (int shift : {0, 8, 16}) {
        const int sc = static_cast<int>((s >> shift) & 0xFF), dc = static_cast<int>((d >> shift) & 0xFF);
        out |= static_cast<uint32_t>(dc + (((sc - dc) * f) >> 8)) << shift;
    }
    return out;
}

template <bool Whole>
PIXEL_SIMD_AVX2 void ByLevel8(const uint32_t* s, const uint32_t* d, uint8_t o, uint32_t* out)
{
    using namespace pixel_simd_avx2;
    const __m256i sv = Load8(reinterpret_cast<const uint8_t*>(s));
    Store8(reinterpret_cast<uint8_t*>(out),
           BlendByLevelWords8(Load8(reinterpret_cast<const uint8_t*>(d)), sv, LevelWords<Whole>(sv, o)));
}

PIXEL_SIMD_AVX2 void Blend8(const uint32_t* s, const uint32_t* d, uint32_t* out)
{
    using namespace pixel_simd_avx2;
    Store8(reinterpret_cast<uint8_t*>(out),
           BlendAlpha8(Load8(reinterpret_cast<const uint8_t*>(s)), Load8(reinterpret_cast<const uint8_t*>(d))));
}

}  // namespace

TEST(PixelSimdAvx2, BlendAlpha8FollowsTheRuleForEveryByteTriple)
{
    const ScopedSimdLevel forced(SimdLevel::Avx2);
    if (!UseAvx2()) {
        GTEST_SKIP() << "this processor has no AVX2";
    }
    uint32_t s[8], d[8], out[8];
    for (uint32_t alpha = 0; alpha < 256; ++alpha) {
        for (uint32_t source = 0; source < 256; source += 8) {
            for (uint32_t dest = 0; dest < 256; ++dest) {
                for (uint32_t lane = 0; lane < 8; ++lane) {
                    // Blue takes the triple; green and red take others, each lane its own source.
                    const uint32_t sb = source + lane, sg = 255 - sb, sr = (sb * 37) & 0xFF;
                    s[lane] = alpha << 24 | sr << 16 | sg << 8 | sb;
                    d[lane] = (lane * 29u & 0xFF) << 24 | ((dest * 53) & 0xFF) << 16 | (255 - dest) << 8 | dest;
                }
                Blend8(s, d, out);
                for (int lane = 0; lane < 8; ++lane) {
                    ASSERT_EQ(RuleBlend(s[lane], d[lane]), out[lane])
                        << std::hex << "source " << s[lane] << " destination " << d[lane];
                }
            }
        }
    }
}

// At opacity 255 the level is the alpha itself, so every (source, destination, level) triple is
// met; every (alpha, opacity) pair then checks the level's own rounding.
TEST(PixelSimdAvx2, BlendByLevelFollowsTheRuleForEveryByteTripleAndLevel)
{
    const ScopedSimdLevel forced(SimdLevel::Avx2);
    if (!UseAvx2()) {
        GTEST_SKIP() << "this processor has no AVX2";
    }
    uint32_t s[8], d[8], out[8];
    const auto check = [&](uint32_t o, bool whole) {
        (whole ? ByLevel8<true> : ByLevel8<false>)(s, d, static_cast<uint8_t>(o), out);
        for (int lane = 0; lane < 8; ++lane) {
            ASSERT_EQ(RuleByLevel(s[lane], d[lane], RuleLevel(s[lane] >> 24, o)), out[lane])
                << std::hex << "source " << s[lane] << " destination " << d[lane] << std::dec << " opacity " << o;
        }
    };
    for (uint32_t alpha = 0; alpha < 256; ++alpha) {
        for (uint32_t source = 0; source < 256; source += 8) {
            for (uint32_t dest = 0; dest < 256; ++dest) {
                for (uint32_t lane = 0; lane < 8; ++lane) {
                    const uint32_t sb = source + lane, sg = 255 - sb, sr = (sb * 37) & 0xFF;
                    s[lane] = alpha << 24 | sr << 16 | sg << 8 | sb;
                    d[lane] = (lane * 29u & 0xFF) << 24 | ((dest * 53) & 0xFF) << 16 | (255 - dest) << 8 | dest;
                }
                check(255, true);
                check(255, false);
            }
        }
    }
    for (uint32_t o = 0; o < 256; ++o) {
        for (uint32_t alpha = 0; alpha < 256; alpha += 8) {
            for (uint32_t lane = 0; lane < 8; ++lane) {
                s[lane] = (alpha + lane) << 24 | 0xFF00FFu;
                d[lane] = 0x8000FF00u | lane;
            }
            check(o, false);
        }
    }
}
