// The stretched rows sixteen pixels a step: each group's source columns lie within sixteen of its
// first where a row is widened, so a load and a permute fetch them.
#include "raster/wipe_avx512.h"

#include "raster/wipe_basic_rows.h"

#include <cstddef>

namespace wipe::rows_detail {
namespace {

template <bool Blend>
WIPE_SIMD_AVX512 void RowLoop(BYTE* d, const BYTE* src, const int32_t* at, int w, int64_t room, LONG srcPitch)
{
    const __m512i fifteen = _mm512_set1_epi32(15);
    for (int x = 0; x < w; x += 16) {
        const int n = w - x < 16 ? w - x : 16;
        const auto lanes = static_cast<__mmask16>(n == 16 ? 0xFFFFu : (1u << n) - 1);
        const __m512i columns = _mm512_maskz_loadu_epi32(lanes, at + x);
        const int32_t first = at[x];
        // The next row reads columns near these: asked for ahead, the rows come one call each.
        _mm_prefetch(reinterpret_cast<const char*>(src + srcPitch + static_cast<ptrdiff_t>(first) * 4),
                     _MM_HINT_T0);
        const __m512i rel = _mm512_sub_epi32(columns, _mm512_set1_epi32(first));
        __m512i s;
        if (_mm512_mask_cmpgt_epu32_mask(lanes, rel, fifteen) == 0 && first >= 0 && int64_t{first} + 16 <= room)
            s = _mm512_permutexvar_epi32(rel, _mm512_loadu_si512(src + static_cast<ptrdiff_t>(first) * 4));
        else
            s = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, columns, src, 4);
        BYTE* const p = d + static_cast<ptrdiff_t>(x) * 4;
        if (Blend)
            s = BlendAlpha16(s, _mm512_maskz_loadu_epi32(lanes, p));
        _mm512_mask_storeu_epi32(p, lanes, s);
    }
}

} // namespace

void StretchedRowAvx512(BYTE* d, const BYTE* src, const int32_t* at, int w, int64_t room, LONG srcPitch,
                        bool blend)
{
    (blend ? RowLoop<true> : RowLoop<false>)(d, src, at, w, room, srcPitch);
}

} // namespace wipe::rows_detail
