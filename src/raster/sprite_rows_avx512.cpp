// The sprite blend's 512-bit twins: rows of sixteen pixels and more a group of sixteen a step, the
// row's last pixels under a lane mask; narrow rows (one to seven pixels, as small flakes and sparks
// are) as one group under a lane mask, loaded, blended and stored in one step instead of a pixel at
// a time.
// GCC 12 starts some 512-bit intrinsics' results from a deliberately undefined register and then
// reports that register from inside its own header; the header is included here first, quietly.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include "raster/pixel_simd_avx2.h"
#include "raster/pixel_simd_avx512.h"
#include "raster/sprite_rows.h"

#include <cstddef>
#include <cstdint>

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

namespace {

using sprite_rows_detail::kBandRowsAtMost;
using sprite_rows_detail::kRowsAhead;
using sprite_rows_detail::PrefetchRow;

template <bool Band>
PIXEL_SIMD_AVX512 void WideRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    raster_simd::BlendConstants16 c = raster_simd::MakeBlendConstants16();
    raster_simd::KeepInRegister(c.up);
    raster_simd::KeepInRegister(c.by255);
    raster_simd::KeepInRegister(c.colour);
    const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(width) * 4;
    // Rows ask for the rows further down as the AVX2 walk's do (its reasons hold here).
    const ptrdiff_t srcAhead = kRowsAhead * (static_cast<ptrdiff_t>(srcSkip) + rowBytes);
    const ptrdiff_t dstAhead = kRowsAhead * (static_cast<ptrdiff_t>(dstSkip) + rowBytes);
    const int rest = width & 15;
    const auto last = static_cast<__mmask16>((1u << rest) - 1);
    for (int y = 0; y < height; ++y) {
        PrefetchRow(src, srcAhead, rowBytes);
        if (!Band) {
            PrefetchRow(dst, dstAhead, rowBytes);
        }
        for (int x = 16; x <= width; x += 16, dst += 64, src += 64) {
            _mm512_storeu_si512(dst, raster_simd::BlendAlpha16(c, _mm512_loadu_si512(src), _mm512_loadu_si512(dst)));
        }
        if (rest != 0) {
            const __m512i s = _mm512_maskz_loadu_epi32(last, src), d = _mm512_maskz_loadu_epi32(last, dst);
            _mm512_mask_storeu_epi32(dst, last, raster_simd::BlendAlpha16(c, s, d));
        }
        dst += rest * 4 + dstSkip;
        src += rest * 4 + srcSkip;
    }
}

} // namespace

void BlendSpriteRows32Avx512(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    if (height <= kBandRowsAtMost) {
        WideRows<true>(dst, src, dstSkip, srcSkip, width, height);
    } else {
        WideRows<false>(dst, src, dstSkip, srcSkip, width, height);
    }
}
