// The 512-bit form of the bilinear copy's vertical step (see scale_ops_avx2.cpp for the rule):
// sixteen pixels a step, a row's last pixels through a lane mask.
// GCC 12 starts some 512-bit intrinsics' results from a deliberately undefined register and then
// reports that register from inside its own header; the header is included here first, quietly.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include "raster/scale_ops.h"

#include <cstdint>

#define TESSARO_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl,prfchw")))

namespace {

// ((256 - f) a + f b) >> 8 of each channel pair, as the AVX2 form's LerpPairs.
TESSARO_AVX512 inline __m512i LerpPairs16(__m512i pairs, __m512i low, __m512i weights)
{
    const __m512i sum = _mm512_maddubs_epi16(weights, _mm512_xor_si512(pairs, _mm512_set1_epi8(static_cast<char>(0x80))));
    return _mm512_srli_epi16(_mm512_add_epi16(_mm512_add_epi16(sum, low), _mm512_set1_epi16(255 * 128)), 8);
}

TESSARO_AVX512 inline __m512i Lerp16(__m512i a, __m512i b, __m512i weights)
{
    const __m512i zero = _mm512_setzero_si512();
    const __m512i lo = LerpPairs16(_mm512_unpacklo_epi8(a, b), _mm512_unpacklo_epi8(a, zero), weights);
    const __m512i hi = LerpPairs16(_mm512_unpackhi_epi8(a, b), _mm512_unpackhi_epi8(a, zero), weights);
    return _mm512_packus_epi16(lo, hi);
}

} // namespace

TESSARO_AVX512 void SmoothVerticalRowAvx512(BYTE* out, const BYTE* a, const BYTE* b, int n, uint32_t fy,
                                            intptr_t next)
{
    const __m512i weights = _mm512_set1_epi16(static_cast<short>((fy << 8) | (255 - fy)));
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        // The same line of the next row is asked for, to be written: a row's lines begin as misses
        // otherwise, the stores waiting on each.
        __builtin_prefetch(out + next + 4 * i, 1, 3);
        _mm512_storeu_si512(out + 4 * i,
                            Lerp16(_mm512_loadu_si512(a + 4 * i), _mm512_loadu_si512(b + 4 * i), weights));
    }
    if (i < n) {
        const auto live = static_cast<__mmask16>((1u << (n - i)) - 1);
        const __m512i ta = _mm512_maskz_loadu_epi32(live, a + 4 * i), tb = _mm512_maskz_loadu_epi32(live, b + 4 * i);
        _mm512_mask_storeu_epi32(out + 4 * i, live, Lerp16(ta, tb, weights));
    }
}
