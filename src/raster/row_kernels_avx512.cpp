// The 512-bit form of the unscaled alpha blend, which the SIMD twin hands its rows to while
// UseAvx512Bw() holds. Sixteen pixels a step, a row's last pixels through a lane mask; the same
// skips as the AVX2 form: opaque steps store the source colour without reading the destination,
// transparent ones store only where an alpha byte is still set.
#include "raster/pixel_simd_avx512.h"

#include "raster/row_kernels.h"

#include "raster/row_kernel_loops.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#define TESSARO_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))

using namespace raster_detail;
using raster_simd::BlendAlpha16;

namespace {

TESSARO_AVX512 inline __m512i Splat16(uint32_t v)
{
    return _mm512_set1_epi32(static_cast<int>(v));
}

// The pixels of the lanes in `live`; the others are neither read nor written.
TESSARO_AVX512 inline void BlendGroup(BYTE* dst, const BYTE* src, __mmask16 live)
{
    const __m512i colour = Splat16(0x00FFFFFFu);
    const __m512i s = _mm512_maskz_loadu_epi32(live, src);
    if (_mm512_cmpge_epu32_mask(s, Splat16(0xFF000000u)) == live) {
        _mm512_mask_storeu_epi32(dst, live, _mm512_and_si512(s, colour));
        return;
    }
    const __m512i d = _mm512_maskz_loadu_epi32(live, dst);
    if (_mm512_test_epi32_mask(s, Splat16(0xFF000000u)) == 0) {
        const __mmask16 set = _mm512_test_epi32_mask(d, Splat16(0xFF000000u));
        if (set != 0) {
            _mm512_mask_storeu_epi32(dst, set, _mm512_and_si512(d, colour));
        }
        return;
    }
    _mm512_mask_storeu_epi32(dst, live, BlendAlpha16(s, d));
}

TESSARO_AVX512 void BlendRows16(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    const int whole = width & ~15, rest = width - whole;
    const __mmask16 last = static_cast<__mmask16>((1u << rest) - 1);
    const ptrdiff_t ahead = std::min(kBlendAhead, static_cast<ptrdiff_t>(width) * 4 & ~ptrdiff_t{63});
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < whole; x += 16, dst += 64, src += 64) {
            const ptrdiff_t left = static_cast<ptrdiff_t>(width - x) * 4;
            PrefetchAlong(dst, ahead, left, dstSkip);
            PrefetchAlong(src, ahead, left, srcSkip);
            BlendGroup(dst, src, 0xFFFF);
        }
        if (rest) {
            BlendGroup(dst, src, last);
        }
        dst += rest * 4 + dstSkip;
        src += rest * 4 + srcSkip;
    }
}

} // namespace

void BlendAlphaRows32Avx512(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    BlendRows16(dst, src, dstSkip, srcSkip, width, height);
}
