// What the raster's 512-bit twins share: the quiet intrinsics header and the blend of sixteen
// pixels. Included first in their translation units: GCC 12 starts some 512-bit intrinsics' results
// from a deliberately undefined register and then reports that register from inside its own header.
#pragma once

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#define RASTER_SIMD_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))

namespace raster_simd {

// The constants of BlendAlpha16. A loop that makes them once and keeps them in registers
// (KeepInRegister) spares the steps the compiler otherwise spends building some of them again
// inside the loop.
struct BlendConstants16 {
    __m512i alphaOf, flip, down, up, by255, colour;
};

RASTER_SIMD_AVX512 inline void KeepInRegister(__m512i& v)
{
    asm("" : "+v"(v));
}

__attribute__((always_inline)) RASTER_SIMD_AVX512 inline BlendConstants16 MakeBlendConstants16()
{
    return {_mm512_set4_epi32(0x0F0F0F0F, 0x0B0B0B0B, 0x07070707, 0x03030303), _mm512_set1_epi8(static_cast<char>(0xFF)),
            _mm512_set1_epi8(static_cast<char>(0x80)),         _mm512_set1_epi16(128 * 255 + 127),
            _mm512_set1_epi16(static_cast<short>(0x8081)),      _mm512_set1_epi32(0x00FFFFFF)};
}

// Sixteen pixels s over d, (s a + d (255 - a) + 127) / 255 per channel, alpha 0: the rule of the
// AVX2 form (BlendAlpha8), each channel's pair weighed in one multiply-add of bytes; every step
// keeps to its 128-bit quarter, so the pixels are the same. Always inlined: as a call it saves and
// restores registers around every group.
__attribute__((always_inline)) RASTER_SIMD_AVX512 inline __m512i BlendAlpha16(const BlendConstants16& c, __m512i s,
                                                                              __m512i d)
{
    // Each pixel's alpha (its byte 3) in all four of its bytes.
    const __m512i a = _mm512_shuffle_epi8(s, c.alphaOf);
    const __m512i na = _mm512_xor_si512(a, c.flip);
    const __m512i sd = _mm512_xor_si512(s, c.down), dd = _mm512_xor_si512(d, c.down);
    const __m512i lo = _mm512_maddubs_epi16(_mm512_unpacklo_epi8(a, na), _mm512_unpacklo_epi8(sd, dd));
    const __m512i hi = _mm512_maddubs_epi16(_mm512_unpackhi_epi8(a, na), _mm512_unpackhi_epi8(sd, dd));
    const __m512i rlo = _mm512_srli_epi16(_mm512_mulhi_epu16(_mm512_add_epi16(lo, c.up), c.by255), 7);
    const __m512i rhi = _mm512_srli_epi16(_mm512_mulhi_epu16(_mm512_add_epi16(hi, c.up), c.by255), 7);
    return _mm512_and_si512(_mm512_packus_epi16(rlo, rhi), c.colour);
}

// (a * b + 127) / 255 of 16-bit lanes holding bytes, exactly as ((a b + 128) 257) >> 16.
RASTER_SIMD_AVX512 inline __m512i MulWordBytes16(__m512i a, __m512i b)
{
    const __m512i t = _mm512_add_epi16(_mm512_mullo_epi16(a, b), _mm512_set1_epi16(128));
    return _mm512_mulhi_epu16(t, _mm512_set1_epi16(257));
}

// Per byte d + floor((s - d) f / 256), even and odd bytes each worked on in the 16-bit words they
// lie in: fEven holds the factors for the even bytes (blue, red), fOdd those for the odd ones
// (green, alpha), each in the word of its byte. Only the low byte of a word is kept, so the sum is
// right modulo 256.
RASTER_SIMD_AVX512 inline __m512i BlendBytesByWords16(__m512i d, __m512i s, __m512i fEven, __m512i fOdd)
{
    const __m512i even = _mm512_set1_epi32(0x00FF00FF);
    const __m512i dE = _mm512_and_si512(d, even), sE = _mm512_and_si512(s, even);
    const __m512i dO = _mm512_srli_epi16(d, 8), sO = _mm512_srli_epi16(s, 8);
    const __m512i rE =
        _mm512_add_epi16(dE, _mm512_srli_epi16(_mm512_mullo_epi16(_mm512_sub_epi16(sE, dE), fEven), 8));
    const __m512i rO =
        _mm512_add_epi16(dO, _mm512_srli_epi16(_mm512_mullo_epi16(_mm512_sub_epi16(sO, dO), fOdd), 8));
    // (rE & even) | (rO << 8)
    return _mm512_ternarylogic_epi32(rE, _mm512_slli_epi16(rO, 8), even, 0xEC);
}

} // namespace raster_simd
