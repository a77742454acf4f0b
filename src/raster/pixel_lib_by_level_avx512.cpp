// The blend by alpha at a level, sixteen pixels a step (see pixel_lib_kernels.h): the rule of the
// AVX2 form (BlendByLevelWords8), each step kept to its 128-bit quarter, so the pixels are the same.
#include "raster/pixel_simd_avx512.h"

#include "raster/pixel_lib_kernels.h"
#include "raster/row_kernel_loops.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace pixel_lib {
namespace {

// The level of each pixel, mul(sA, level), in both 16-bit words of its lane (sA itself at 255).
template <bool Whole> RASTER_SIMD_AVX512 inline __m512i LevelWords16(__m512i s, __m512i alphaWords, __m512i level)
{
    const __m512i a = _mm512_shuffle_epi8(s, alphaWords);
    if (Whole)
        return a;
    return raster_simd::MulWordBytes16(a, level);
}

// Sixteen pixels s blended into d by their levels ew: per colour d + floor((s - d) f / 256), f =
// level + 1 (0 for level 0), d's alpha kept (the factor of the alpha's word is 0).
RASTER_SIMD_AVX512 inline __m512i BlendByLevelWords16(__m512i d, __m512i s, __m512i ew)
{
    const __m512i f = _mm512_mask_add_epi16(ew, _mm512_cmpgt_epu16_mask(ew, _mm512_setzero_si512()), ew,
                                            _mm512_set1_epi16(1));
    // The alpha's word (the odd byte of the high word) takes factor 0.
    return raster_simd::BlendBytesByWords16(d, s, f, _mm512_and_si512(f, _mm512_set1_epi32(0x0000FFFF)));
}

template <bool Whole>
RASTER_SIMD_AVX512 void ByLevelRows16(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                                      BYTE o)
{
    // The masked form: GCC's plain one starts from a register it then reports as unset.
    const __m512i alphaWords = _mm512_maskz_broadcast_i32x4(
        0xFFFF, _mm_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1));
    const __m512i level = _mm512_set1_epi16(o);
    const int whole = width & ~15;
    const __mmask16 tail = _cvtu32_mask16((1u << (width & 15)) - 1);
    const ptrdiff_t ahead = std::min(raster_detail::kBlendAhead, static_cast<ptrdiff_t>(width) * 4 & ~ptrdiff_t{63});
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x < whole; x += 16, dst += 64, src += 64) {
            const ptrdiff_t left = static_cast<ptrdiff_t>(width - x) * 4;
            raster_detail::PrefetchAlong(dst, ahead, left, dstSkip);
            raster_detail::PrefetchAlong(src, ahead, left, srcSkip);
            const __m512i s = _mm512_loadu_si512(src);
            const __m512i e = LevelWords16<Whole>(s, alphaWords, level);
            if (_mm512_test_epi32_mask(e, e) == 0)
                continue; // all clear: the destination is neither read nor written
            _mm512_storeu_si512(dst, BlendByLevelWords16(_mm512_loadu_si512(dst), s, e));
        }
        if (x < width) {
            const __m512i s = _mm512_maskz_loadu_epi32(tail, src);
            const __m512i e = LevelWords16<Whole>(s, alphaWords, level);
            _mm512_mask_storeu_epi32(dst, tail, BlendByLevelWords16(_mm512_maskz_loadu_epi32(tail, dst), s, e));
            const int rest = width - x;
            dst += rest * 4;
            src += rest * 4;
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

} // namespace

void BlendByLevelRowsAvx512(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE o)
{
    (o == 255 ? ByLevelRows16<true> : ByLevelRows16<false>)(dst, src, dstSkip, srcSkip, width, height, o);
}

} // namespace pixel_lib
