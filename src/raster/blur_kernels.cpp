// Filter row kernels (see blur_kernels.h).
#include "raster/blur_kernels.h"

#include "raster/blend_tables.h"
#include "raster/pixel_simd.h"

#include <new>
#include <vector>

using namespace pixel_simd;

namespace {

enum class BlurWay { Replace, Level, Alpha };

template <BlurWay W>
void BoxBlurRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, int srcLeft,
                 int srcRight, int radius, BYTE level)
{
    const uint32_t weight = 65536u / (2u * radius + 1u);
    const uint32_t f = FactorOf(level);
    auto at = [&](const BYTE* row, int k) {
        k = k < -srcLeft ? -srcLeft : k > srcRight ? srcRight : k;
        return Load32(row + intptr_t(k) * 4);
    };
    for (int y = 0; y < height; ++y) {
        // Sums held per channel; at most 255 x 255, so 32 bits are plenty.
        uint32_t sum[4] = {0, 0, 0, 0};
        for (int k = -radius; k <= radius; ++k) {
            const uint32_t p = at(src, k);
            for (int c = 0; c < 4; ++c) {
                sum[c] += (p >> (8 * c)) & 0xFF;
            }
        }
        for (int x = 0; x < width; ++x, dst += 4) {
            uint32_t b = 0;
            for (int c = 0; c < 4; ++c) {
                b |= ((sum[c] * weight + 32768) >> 16) << (8 * c);
            }
            const uint32_t d = Load32(dst);
            if (W == BlurWay::Replace) {
                Store32(dst, b);
            } else if (W == BlurWay::Level) {
                Store32(dst, BlendByFactor(d, b, f));
            } else {
                Store32(dst, BlendByFactor(d, b, FactorOf(g_MulTable[level][b >> 24])));
            }
            const uint32_t in = at(src, x + radius + 1);
            const uint32_t out = at(src, x - radius);
            for (int c = 0; c < 4; ++c) {
                sum[c] += ((in >> (8 * c)) & 0xFF) - ((out >> (8 * c)) & 0xFF);
            }
        }
        dst += dstSkip;
        src += intptr_t(width) * 4 + srcSkip;
    }
}

} // namespace

void BlurBlendRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, int srcLeft,
                     int srcRight, int radius, BYTE level)
{
    BoxBlurRows<BlurWay::Replace>(dst, src, dstSkip, srcSkip, width, height, srcLeft, srcRight, radius, level);
}
void BlurBlendLevelRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                          int srcLeft, int srcRight, int radius, BYTE level)
{
    BoxBlurRows<BlurWay::Level>(dst, src, dstSkip, srcSkip, width, height, srcLeft, srcRight, radius, level);
}
void BlurBlendAlphaRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                          int srcLeft, int srcRight, int radius, BYTE level)
{
    BoxBlurRows<BlurWay::Alpha>(dst, src, dstSkip, srcSkip, width, height, srcLeft, srcRight, radius, level);
}

int BlurRows32(BYTE* pixels, int pitch, int width, int height, BYTE mode)
{
    if (width < 4 || height < 4 || pitch % 4 != 0) {
        return 2;
    }
    std::vector<uint32_t> pending;
    std::vector<uint32_t> saved;
    try {
        pending.resize(width);
        saved.resize(width);
    } catch (const std::bad_alloc&) {
        return 3;
    }
    const uint32_t cut = mode == 0 || mode == 1 ? 0xF8F8F8u : 0xFFFFFFu;
    const uint32_t bias = mode == 1 ? 7 : 0;
    // The row above as it was before the call (its new values wait in pending).
    auto sample = [&](const BYTE* row, int x) { return Load32(row + intptr_t(x) * 4) & cut; };
    auto channel = [](uint32_t p, int c) { return (p >> (8 * c)) & 0xFF; };
    for (int y = 0; y < height; ++y) {
        BYTE* row = pixels + intptr_t(y) * pitch;
        const BYTE* below = y + 1 < height ? row + pitch : nullptr;
        const bool top = y == 0, bottom = y + 1 == height;
        uint32_t out[1];
        for (int x = 0; x < width; ++x) {
            const bool left = x == 0, right = x + 1 == width;
            uint32_t v = 0;
            for (int c = 0; c < 3; ++c) {
                const uint32_t cc = channel(sample(row, x), c);
                const uint32_t l = left ? 0 : channel(sample(row, x - 1), c);
                const uint32_t r = right ? 0 : channel(sample(row, x + 1), c);
                const uint32_t a = top ? 0 : channel(saved[x] & cut, c);
                const uint32_t b = bottom ? 0 : channel(sample(below, x), c);
                uint32_t sum;
                uint32_t shift = 2;
                if (top || bottom) {
                    const uint32_t n = top ? b : a;
                    sum = left ? n + 2 * cc + r : right ? n + 2 * cc + l : l + cc + r + n;
                } else if (left) {
                    sum = a + cc + b + r;
                } else if (right) {
                    sum = a + cc + b + l;
                } else {
                    sum = a + 2 * l + 2 * cc + 2 * r + b;
                    shift = 3;
                }
                v |= ((sum >> shift) + bias) << (8 * c);
            }
            out[0] = v;
            pending[x] = out[0];
        }
        // Keep this row's old pixels for the next row's "above", then write its new values.
        for (int x = 0; x < width; ++x) {
            saved[x] = Load32(row + intptr_t(x) * 4);
            Store32(row + intptr_t(x) * 4, pending[x]);
        }
    }
    return 0;
}

namespace {

inline uint32_t Lerp(uint32_t p0, uint32_t p1, uint32_t f)
{
    uint32_t out = 0;
    for (int c = 0; c < 32; c += 8) {
        const int a = static_cast<int>((p0 >> c) & 0xFF);
        const int b = static_cast<int>((p1 >> c) & 0xFF);
        out |= static_cast<uint32_t>(a + ((b - a) * static_cast<int>(f) >> 8)) << c;
    }
    return out;
}
// Per-pixel fractions of two pixels spread over their four channel words.
inline __m128i LerpWords(__m128i a, __m128i b, __m128i f)
{
    const __m128i p = _mm_mullo_epi16(_mm_sub_epi16(b, a), f);
    return _mm_and_si128(_mm_add_epi16(a, _mm_srli_epi16(p, 8)), Splat16(0xFF));
}
struct Direct {
    uint32_t At(const BYTE* row, uint64_t i) const { return Load32(row + i * 4); }
    // Pixels i and i + 1 in the low half.
    __m128i Pair(const BYTE* row, uint64_t i) const
    {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + i * 4));
    }
};
struct ThroughPalette {
    const uint32_t* palette;
    uint32_t At(const BYTE* row, uint64_t i) const { return palette[row[i]]; }
    __m128i Pair(const BYTE* row, uint64_t i) const
    {
        return _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(palette[row[i]])), _mm_cvtsi32_si128(int(palette[row[i + 1]])));
    }
};

// Two destination pixels: the horizontal step on the top and bottom pairs of both at once, then
// the vertical step; the same order and rounding as the plain form.
template <class Source>
inline __m128i BilinearTwo(const Source& source, const BYTE* row, const BYTE* next, uint64_t ia, uint64_t ib,
                           uint32_t fxa, uint32_t fxb, __m128i fy)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = _mm_unpacklo_epi32(source.Pair(row, ia), source.Pair(next, ia)); // p00 p10 p01 p11
    const __m128i b = _mm_unpacklo_epi32(source.Pair(row, ib), source.Pair(next, ib));
    const __m128i left = _mm_unpacklo_epi64(a, b);
    const __m128i right = _mm_unpackhi_epi64(a, b);
    const __m128i ha = LerpWords(_mm_unpacklo_epi8(left, zero), _mm_unpacklo_epi8(right, zero), Splat16(int(fxa)));
    const __m128i hb = LerpWords(_mm_unpackhi_epi8(left, zero), _mm_unpackhi_epi8(right, zero), Splat16(int(fxb)));
    const __m128i v = LerpWords(_mm_unpacklo_epi64(ha, hb), _mm_unpackhi_epi64(ha, hb), fy);
    return _mm_packus_epi16(v, v);
}

template <bool Simd, class Source>
void Bilinear(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
              const StretchSteps& steps, const Source& source)
{
    uint64_t ypos = steps.yFraction;
    for (int y = 0; y < height; ++y) {
        const BYTE* row = src + static_cast<intptr_t>(ypos >> 32) * srcPitch;
        const BYTE* next = row + srcPitch;
        const uint32_t fy = static_cast<uint32_t>(ypos) >> 24;
        uint64_t xpos = steps.xFraction;
        int x = 0;
        if (Simd) {
            const __m128i fyv = Splat16(int(fy));
            for (; x + 2 <= width; x += 2, dst += 8) {
                const uint64_t xb = xpos + steps.xStep;
                const __m128i two = BilinearTwo(source, row, next, xpos >> 32, xb >> 32,
                                                static_cast<uint32_t>(xpos) >> 24, static_cast<uint32_t>(xb) >> 24, fyv);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), two);
                xpos = xb + steps.xStep;
            }
        }
        for (; x < width; ++x, dst += 4) {
            const uint64_t ix = xpos >> 32;
            const uint32_t fx = static_cast<uint32_t>(xpos) >> 24;
            const uint32_t top = Lerp(source.At(row, ix), source.At(row, ix + 1), fx);
            const uint32_t bottom = Lerp(source.At(next, ix), source.At(next, ix + 1), fx);
            Store32(dst, Lerp(top, bottom, fy));
            xpos += steps.xStep;
        }
        dst += dstSkip;
        ypos += steps.yStep;
    }
}

} // namespace

void SmoothRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                  const StretchSteps& steps)
{
    Bilinear<false>(dst, src, dstSkip, srcPitch, width, height, steps, Direct{});
}
void SmoothRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                     const StretchSteps& steps)
{
    Bilinear<true>(dst, src, dstSkip, srcPitch, width, height, steps, Direct{});
}
void SmoothPalRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                     const StretchSteps& steps, const uint32_t* palette)
{
    Bilinear<false>(dst, src, dstSkip, srcPitch, width, height, steps, ThroughPalette{palette});
}
void SmoothPalRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                        const StretchSteps& steps, const uint32_t* palette)
{
    Bilinear<true>(dst, src, dstSkip, srcPitch, width, height, steps, ThroughPalette{palette});
}
