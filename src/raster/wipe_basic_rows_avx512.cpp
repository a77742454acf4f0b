// The stretched rows sixteen pixels a step: each group's source columns lie within sixteen of its
// first where a row is widened, so a load and a permute fetch them.
#include "raster/wipe_avx512.h"

#include "raster/row_kernel_loops.h"
#include "raster/wipe_basic_rows.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace wipe::rows_detail {
namespace {

template <bool Blend>
WIPE_SIMD_AVX512 void RowLoop(BYTE* d, const BYTE* src, const int32_t* at, int w, int64_t room, LONG srcPitch)
{
    const __m512i fifteen = _mm512_set1_epi32(15);
    const BlendConstants16 c = LoopBlendConstants16();
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
        // The destination's lines a little further along: the rows come in no order a walker of
        // memory follows.
        _mm_prefetch(reinterpret_cast<const char*>(p) + raster_detail::kBlendAhead, _MM_HINT_T0);
        if (Blend)
            s = BlendAlpha16(c, s, _mm512_maskz_loadu_epi32(lanes, p));
        _mm512_mask_storeu_epi32(p, lanes, s);
    }
}

} // namespace

void StretchedRowAvx512(BYTE* d, const BYTE* src, const int32_t* at, int w, int64_t room, LONG srcPitch,
                        bool blend)
{
    (blend ? RowLoop<true> : RowLoop<false>)(d, src, at, w, room, srcPitch);
}

WIPE_SIMD_AVX512 void SmearRowAvx512(BYTE* d, const BYTE* src, int w, LONG dstPitch, bool blend)
{
    if (w < 1)
        return;
    uint32_t v;
    std::memcpy(&v, src, 4);
    const __m512i same = _mm512_set1_epi32(static_cast<int>(v));
    const auto lanesAt = [w](int x) {
        return static_cast<__mmask16>(w - x >= 16 ? 0xFFFFu : (1u << (w - x)) - 1);
    };
    if (!blend || v >= 0xFF000000u) {
        // A copy, or an opaque pixel, whose blend is its colour with alpha 0: the destination is
        // not read.
        const __m512i out = blend ? _mm512_and_si512(same, _mm512_set1_epi32(0x00FFFFFF)) : same;
        for (int x = 0; x < w; x += 16)
            _mm512_mask_storeu_epi32(d + static_cast<ptrdiff_t>(x) * 4, lanesAt(x), out);
        return;
    }
    const ptrdiff_t ahead = std::min(raster_detail::kBlendAhead, static_cast<ptrdiff_t>(w) * 4 & ~ptrdiff_t{63});
    const ptrdiff_t skip = dstPitch - static_cast<ptrdiff_t>(w) * 4;
    const BlendConstants16 c = LoopBlendConstants16();
    // Whole groups without lane masks (a store under one costs more), the last few through one.
    int x = 0;
    for (; x + 16 <= w; x += 16) {
        BYTE* const p = d + static_cast<ptrdiff_t>(x) * 4;
        raster_detail::PrefetchAlong(p, ahead, static_cast<ptrdiff_t>(w - x) * 4, skip);
        _mm512_storeu_si512(p, BlendAlpha16(c, same, _mm512_loadu_si512(p)));
    }
    if (x < w) {
        BYTE* const p = d + static_cast<ptrdiff_t>(x) * 4;
        const __mmask16 lanes = lanesAt(x);
        _mm512_mask_storeu_epi32(p, lanes, BlendAlpha16(c, same, _mm512_maskz_loadu_epi32(lanes, p)));
    }
}

WIPE_SIMD_AVX512 void CopyPixelsAvx512(BYTE* dst, const BYTE* src, int64_t n)
{
    const size_t bytes = static_cast<size_t>(n) * 4;
    if (n < 16) {
        std::memcpy(dst, src, bytes);
        return;
    }
    BYTE* const end = dst + bytes;
    const BYTE* const srcEnd = src + bytes;
    if (bytes < 192) {
        // Too short for the first source line to end inside the source.
        for (size_t i = 0; i + 64 <= bytes; i += 64)
            _mm512_storeu_si512(dst + i, _mm512_loadu_si512(src + i));
        _mm512_storeu_si512(end - 64, _mm512_loadu_si512(srcEnd - 64));
        return;
    }
    // The first and last 64 bytes whole and unaligned; the aligned stores between them.
    _mm512_storeu_si512(dst, _mm512_loadu_si512(src));
    ptrdiff_t at = 64 - static_cast<ptrdiff_t>(reinterpret_cast<uintptr_t>(dst) & 63); // first aligned store
    const uintptr_t from = reinterpret_cast<uintptr_t>(src) + static_cast<uintptr_t>(at);
    const BYTE* line = src + at - static_cast<ptrdiff_t>(from & 63); // the source line holding it
    const int shift = static_cast<int>(from & 63) / 4;
    const __m512i lanes = _mm512_add_epi32(_mm512_set1_epi32(shift),
                                           _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
    // The line's pixels before the source are never read.
    const int outside = line < src ? static_cast<int>((src - line) / 4) : 0;
    __m512i low = _mm512_maskz_loadu_epi32(static_cast<__mmask16>(0xFFFFu << outside), line);
    for (; at + 64 <= static_cast<ptrdiff_t>(bytes) && line + 128 <= srcEnd; at += 64, line += 64) {
        const __m512i high = _mm512_load_si512(line + 64);
        _mm512_store_si512(dst + at, _mm512_permutex2var_epi32(low, lanes, high));
        low = high;
    }
    // Where the next line would pass the source's end, one more store unaligned.
    if (at + 64 <= static_cast<ptrdiff_t>(bytes))
        _mm512_storeu_si512(dst + at, _mm512_loadu_si512(src + at));
    _mm512_storeu_si512(end - 64, _mm512_loadu_si512(srcEnd - 64));
}

} // namespace wipe::rows_detail
