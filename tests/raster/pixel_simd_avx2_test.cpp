// The eight-pixel alpha blend against its rule over every (source, destination, alpha) byte
// triple, each channel of the pixel carrying a different triple, so a lane or channel mixed up or
// a rounding off by one anywhere in the range shows.
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
