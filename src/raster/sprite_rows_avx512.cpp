// The sprite blend's 512-bit twin for narrow rows (one to seven pixels, as small flakes and sparks
// are): each row is one group under a lane mask, loaded, blended and stored in one step instead of
// a pixel at a time.
// GCC 12 starts some 512-bit intrinsics' results from a deliberately undefined register and then
// reports that register from inside its own header; the header is included here first, quietly.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include "raster/pixel_simd_avx2.h"
#include "raster/sprite_rows.h"

#include <cstddef>

#define PIXEL_SIMD_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))

PIXEL_SIMD_AVX512 void BlendNarrowSpriteRows32Avx512(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width,
                                                     int height)
{
    // The lanes past the row are neither read (a masked load does not touch them) nor written.
    const auto lanes = static_cast<__mmask8>((1u << (width & 7)) - 1);
    const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(width & 7) * 4;
    for (int y = 0; y < height; ++y) {
        const __m256i s = _mm256_maskz_loadu_epi32(lanes, src);
        const __m256i d = _mm256_maskz_loadu_epi32(lanes, dst);
        _mm256_mask_storeu_epi32(dst, lanes, pixel_simd_avx2::BlendAlpha8(s, d));
        dst += rowBytes + dstSkip;
        src += rowBytes + srcSkip;
    }
}
