// The eight-pixel forms of the per-channel rules of pixel_simd.h, for the AVX2 twins of the row
// and span kernels. Every function carries the AVX2 target itself (the tree is built for baseline
// x86-64), so only kernels chosen while UseAvx2() holds may call them.
#pragma once

#include <immintrin.h>

#include <cstdint>

#define PIXEL_SIMD_AVX2 __attribute__((target("avx2")))

namespace pixel_simd_avx2 {

PIXEL_SIMD_AVX2 inline __m256i Load8(const uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
PIXEL_SIMD_AVX2 inline void Store8(uint8_t* p, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
PIXEL_SIMD_AVX2 inline __m256i Splat(uint32_t v)
{
    return _mm256_set1_epi32(static_cast<int>(v));
}
// Whether every 32-bit lane of the mask is set / any is.
PIXEL_SIMD_AVX2 inline bool All(__m256i mask)
{
    return _mm256_movemask_ps(_mm256_castsi256_ps(mask)) == 0xFF;
}
PIXEL_SIMD_AVX2 inline bool Any(__m256i mask)
{
    return _mm256_movemask_ps(_mm256_castsi256_ps(mask)) != 0;
}
// (a * b + 127) / 255 of 16-bit lanes holding bytes, exactly as ((a b + 128) 257) >> 16.
PIXEL_SIMD_AVX2 inline __m256i MulByte(__m256i a, __m256i b)
{
    const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(a, b), _mm256_set1_epi16(128));
    return _mm256_mulhi_epu16(t, _mm256_set1_epi16(257));
}
// The level of each pixel, mul(level, sA), in 32-bit lanes; sA itself at 255 (the identity row).
template <bool Whole> PIXEL_SIMD_AVX2 inline __m256i LevelOf(__m256i s, uint8_t level)
{
    const __m256i a = _mm256_srli_epi32(s, 24);
    return Whole ? a : MulByte(a, Splat(level));
}
// The opacity factor of levels in 32-bit lanes: level + 1, 0 for 0.
PIXEL_SIMD_AVX2 inline __m256i Factor(__m256i level)
{
    return _mm256_sub_epi32(level, _mm256_cmpgt_epi32(level, _mm256_setzero_si256()));
}
// Per colour byte d + floor((s - d) f / 256) with the factor f of each pixel in both 16-bit words
// of its lane; the alpha byte of the result is not meaningful. Blue and red stand in the even
// bytes of 16-bit words and green and alpha in the odd ones, each worked on as it lies; only the
// low byte of each word is kept, so the sum is right modulo 256, and the true result is a byte.
PIXEL_SIMD_AVX2 inline __m256i BlendColourByWords(__m256i d, __m256i s, __m256i ff)
{
    const __m256i even = Splat(0x00FF00FFu);
    const __m256i dE = _mm256_and_si256(d, even), sE = _mm256_and_si256(s, even);
    const __m256i dO = _mm256_srli_epi16(d, 8), sO = _mm256_srli_epi16(s, 8);
    const __m256i rE =
        _mm256_add_epi16(dE, _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(sE, dE), ff), 8));
    const __m256i rO =
        _mm256_add_epi16(dO, _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(sO, dO), ff), 8));
    return _mm256_or_si256(_mm256_and_si256(rE, even), _mm256_slli_epi16(rO, 8));
}
// The same with the factor of each pixel in 32-bit lanes.
PIXEL_SIMD_AVX2 inline __m256i BlendColour(__m256i d, __m256i s, __m256i f)
{
    return BlendColourByWords(d, s, _mm256_or_si256(f, _mm256_slli_epi32(f, 16)));
}
// The colour of v under the alpha bytes of a.
PIXEL_SIMD_AVX2 inline __m256i WithAlpha(__m256i v, __m256i a)
{
    return _mm256_blendv_epi8(v, a, Splat(0xFF000000u));
}
// Eight pixels s blended into d by the factor of their levels e, d's alpha kept: nothing for
// levels all 0 (d is then not read), the source's colour for levels all 255.
PIXEL_SIMD_AVX2 inline void BlendByLevel8(uint8_t* dst, __m256i s, __m256i e)
{
    if (_mm256_testz_si256(e, e)) {
        return;
    }
    const __m256i d = Load8(dst);
    const __m256i out = All(_mm256_cmpeq_epi32(e, Splat(255))) ? s : BlendColour(d, s, Factor(e));
    Store8(dst, WithAlpha(out, d));
}

// The level of each pixel, mul(sA, level), in both 16-bit words of its lane (sA itself at 255).
template <bool Whole> PIXEL_SIMD_AVX2 inline __m256i LevelWords(__m256i s, uint8_t level)
{
    const __m256i a = _mm256_shuffle_epi8(
        s, _mm256_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1, 3, -1, 3, -1, 7, -1, 7, -1,
                            11, -1, 11, -1, 15, -1, 15, -1));
    return Whole ? a : MulByte(a, _mm256_set1_epi16(level));
}
// Eight pixels s blended into d by their levels ew (as LevelWords gives them), d's alpha kept:
// per colour d + floor((s - d) f / 256), f = level + 1 (0 for level 0), exact at every level, so
// no run of 0 or 255 needs a path of its own. The factor of the alpha's word is 0.
PIXEL_SIMD_AVX2 inline __m256i BlendByLevelWords8(__m256i d, __m256i s, __m256i ew)
{
    const __m256i even = Splat(0x00FF00FFu);
    const __m256i f = _mm256_sub_epi16(ew, _mm256_cmpgt_epi16(ew, _mm256_setzero_si256()));
    const __m256i fOdd = _mm256_and_si256(f, Splat(0x0000FFFFu));
    const __m256i dE = _mm256_and_si256(d, even), sE = _mm256_and_si256(s, even);
    const __m256i dO = _mm256_srli_epi16(d, 8), sO = _mm256_srli_epi16(s, 8);
    const __m256i rE =
        _mm256_add_epi16(dE, _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(sE, dE), f), 8));
    const __m256i rO =
        _mm256_add_epi16(dO, _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(sO, dO), fOdd), 8));
    return _mm256_blendv_epi8(rE, _mm256_slli_epi16(rO, 8), Splat(0xFF00FF00u));
}

// Eight pixels s blended over d: (s * a + d * (255 - a) + 127) / 255 per channel, alpha 0. Each
// channel's pair (s, d) is weighed by (a, 255 - a) in one multiply-add of bytes: the weights are
// the unsigned bytes, the pixels the signed ones, moved down by 128 (s - 128 and d - 128), so the
// sum x - 128 * 255 (x the weighed sum, at most 255 * 255) lies within 16 signed bits. Adding
// 128 * 255 + 127 gives x + 127, and x / 255 rounded is ((x + 127) * 0x8081) >> 23.
PIXEL_SIMD_AVX2 inline __m256i BlendAlpha8(__m256i s, __m256i d)
{
    const __m256i down = _mm256_set1_epi8(static_cast<char>(0x80));
    const __m256i a = _mm256_shuffle_epi8(s, _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15,
                                                             3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15));
    const __m256i na = _mm256_xor_si256(a, _mm256_set1_epi8(static_cast<char>(0xFF)));
    const __m256i sd = _mm256_xor_si256(s, down), dd = _mm256_xor_si256(d, down);
    const __m256i lo = _mm256_maddubs_epi16(_mm256_unpacklo_epi8(a, na), _mm256_unpacklo_epi8(sd, dd));
    const __m256i hi = _mm256_maddubs_epi16(_mm256_unpackhi_epi8(a, na), _mm256_unpackhi_epi8(sd, dd));
    const __m256i up = _mm256_set1_epi16(128 * 255 + 127);
    const __m256i by255 = _mm256_set1_epi16(static_cast<short>(0x8081));
    const __m256i rlo = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(lo, up), by255), 7);
    const __m256i rhi = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(hi, up), by255), 7);
    return _mm256_and_si256(_mm256_packus_epi16(rlo, rhi), Splat(0x00FFFFFFu));
}

} // namespace pixel_simd_avx2
