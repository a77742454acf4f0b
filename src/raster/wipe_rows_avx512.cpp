// The wipes' 512-bit row loops (see wipe_rows_avx512.h).
#include "raster/wipe_avx512.h"

#include "raster/row_kernel_loops.h"
#include "raster/wipe_rows_avx512.h"

#include <algorithm>
#include <cstdint>

namespace {

// The shown columns of sixteen mask bytes as a lane mask.
WIPE_SIMD_AVX512 inline __mmask16 Shown16(const uint8_t* mask)
{
    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask));
    return _mm_test_epi8_mask(m, m);
}

// The shown lanes of sixteen pixels blended; the other lanes are neither read nor written.
WIPE_SIMD_AVX512 inline void BlendShown(const wipe::BlendConstants16& c, BYTE* dst, const BYTE* src, __mmask16 shown)
{
    const __m512i alpha = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
    const __m512i s = _mm512_maskz_loadu_epi32(shown, src);
    if (_mm512_mask_cmpge_epu32_mask(shown, s, alpha) == shown) {
        // Opaque: the blend gives the source's colour with alpha 0.
        _mm512_mask_storeu_epi32(dst, shown, _mm512_andnot_si512(alpha, s));
        return;
    }
    const __m512i d = _mm512_maskz_loadu_epi32(shown, dst);
    _mm512_mask_storeu_epi32(dst, shown, wipe::BlendAlpha16(c, s, d));
}

// Sixteen pixels that lie wholly inside the row, the shown lanes blended: the hidden ones are
// stored back as they were read, so the store is whole (a store under a lane mask costs more).
// The destination is read in any case, so opaque lanes take the blend too (it gives the source's
// colour for them): a test for them would only cost a branch.
WIPE_SIMD_AVX512 inline void BlendWhole(const wipe::BlendConstants16& c, BYTE* dst, const BYTE* src, __mmask16 shown)
{
    const __m512i s = _mm512_loadu_si512(src);
    const __m512i d = _mm512_loadu_si512(dst);
    _mm512_storeu_si512(dst, _mm512_mask_mov_epi32(d, shown, wipe::BlendAlpha16(c, s, d)));
}

} // namespace

WIPE_SIMD_AVX512 void wipe::MaskedBlendRowsAvx512(BYTE* dstRow, const BYTE* srcRow, ptrdiff_t dstPitch,
                                                 ptrdiff_t srcPitch, int width, int rows, const uint8_t* mask,
                                                 ptrdiff_t maskPitch)
{
    const int whole = width & ~15;
    const __mmask16 tail = _cvtu32_mask16((1u << (width & 15)) - 1);
    // The lines further along are asked for as the blend kernels ask for them: the loads otherwise
    // wait on memory. Past a row's end the next row's lines are asked for.
    const ptrdiff_t ahead =
        std::min(raster_detail::kBlendAhead, static_cast<ptrdiff_t>(width) * 4 & ~ptrdiff_t{63});
    const ptrdiff_t dstSkip = dstPitch - ptrdiff_t{width} * 4, srcSkip = srcPitch - ptrdiff_t{width} * 4;
    const BlendConstants16 c = LoopBlendConstants16();
    for (int row = 0; row < rows; ++row, dstRow += dstPitch, srcRow += srcPitch, mask += maskPitch) {
        int i = 0;
        for (; i < whole; i += 16) {
            const ptrdiff_t left = static_cast<ptrdiff_t>(width - i) * 4;
            raster_detail::PrefetchAlong(dstRow + i * 4, ahead, left, dstSkip);
            raster_detail::PrefetchAlong(srcRow + i * 4, ahead, left, srcSkip);
            const __mmask16 shown = Shown16(mask + i);
            if (shown != 0)
                BlendWhole(c, dstRow + i * 4, srcRow + i * 4, shown);
        }
        if (i < width) {
            const __m128i m = _mm_maskz_loadu_epi8(tail, mask + i);
            const __mmask16 shown = _mm_test_epi8_mask(m, m);
            if (shown != 0)
                BlendShown(c, dstRow + i * 4, srcRow + i * 4, shown);
        }
    }
}

WIPE_SIMD_AVX512 void wipe::MaskedCopyRowsAvx512(BYTE* dstRow, const BYTE* srcRow, ptrdiff_t dstPitch,
                                            ptrdiff_t srcPitch, int width, int rows, const uint8_t* mask,
                                            ptrdiff_t maskPitch)
{
    // The last pixels of a row through a lane mask: the loads and stores leave the lanes past the
    // row's end alone.
    const int whole = width & ~15;
    const __mmask16 tail = _cvtu32_mask16((1u << (width & 15)) - 1);
    for (int row = 0; row < rows; ++row, dstRow += dstPitch, srcRow += srcPitch, mask += maskPitch) {
        int i = 0;
        for (; i < whole; i += 16) {
            const __mmask16 shown = Shown16(mask + i);
            _mm512_mask_storeu_epi32(dstRow + i * 4, shown, _mm512_loadu_si512(srcRow + i * 4));
        }
        if (i < width) {
            const __m128i m = _mm_maskz_loadu_epi8(tail, mask + i);
            const __mmask16 shown = _mm_test_epi8_mask(m, m);
            _mm512_mask_storeu_epi32(dstRow + i * 4, shown, _mm512_maskz_loadu_epi32(shown, srcRow + i * 4));
        }
    }
}

WIPE_SIMD_AVX512 void wipe::MirroredBlendRowsAvx512(BYTE* dstRow, const BYTE* srcEnd, ptrdiff_t dstPitch,
                                                    ptrdiff_t srcPitch, int width, int rows)
{
    const __m512i turn = _mm512_setr_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    const int whole = width & ~15, rest = width - whole;
    // The row's last pixels: the source pixels they read lie in the top lanes of a load ending at
    // the read point, which the turn brings down to the low lanes.
    const __mmask16 tail = _cvtu32_mask16((1u << rest) - 1);
    const __mmask16 tailRead = _cvtu32_mask16((0xFFFFu << (16 - rest)) & 0xFFFFu);
    const ptrdiff_t ahead = std::min(raster_detail::kBlendAhead, static_cast<ptrdiff_t>(width) * 4 & ~ptrdiff_t{63});
    const ptrdiff_t dstSkip = dstPitch - ptrdiff_t{width} * 4, srcSkip = srcPitch + ptrdiff_t{width} * 4;
    const BlendConstants16 c = LoopBlendConstants16();
    for (int row = 0; row < rows; ++row, dstRow += dstPitch, srcEnd += srcPitch) {
        BYTE* d = dstRow;
        const BYTE* s = srcEnd;
        for (int i = 0; i < whole; i += 16, d += 64) {
            const ptrdiff_t left = static_cast<ptrdiff_t>(width - i) * 4;
            raster_detail::PrefetchAlong(d, ahead, left, dstSkip);
            raster_detail::PrefetchAlong(s, -ahead - 64, left, srcSkip);
            s -= 64;
            const __m512i v = _mm512_permutexvar_epi32(turn, _mm512_loadu_si512(s));
            _mm512_storeu_si512(d, BlendAlpha16(c, v, _mm512_loadu_si512(d)));
        }
        if (rest != 0) {
            // The load starts before the segment; its lanes there are neither read nor faulted.
            const auto* from = reinterpret_cast<const BYTE*>(reinterpret_cast<uintptr_t>(s) - 64);
            const __m512i v = _mm512_permutexvar_epi32(turn, _mm512_maskz_loadu_epi32(tailRead, from));
            _mm512_mask_storeu_epi32(d, tail, BlendAlpha16(c, v, _mm512_maskz_loadu_epi32(tail, d)));
        }
    }
}

WIPE_SIMD_AVX512 void wipe::BlendPixelsAvx512(BYTE* dst, const BYTE* src, int64_t n)
{
    if (n <= 0)
        return;
    const BlendConstants16 c = LoopBlendConstants16();
    int64_t i = std::min<int64_t>(n, static_cast<int64_t>((64 - (reinterpret_cast<uintptr_t>(dst) & 63)) & 63) / 4);
    if (i != 0) {
        const __mmask16 head = _cvtu32_mask16((1u << i) - 1);
        _mm512_mask_storeu_epi32(
            dst, head, BlendAlpha16(c, _mm512_maskz_loadu_epi32(head, src), _mm512_maskz_loadu_epi32(head, dst)));
    }
    const ptrdiff_t ahead = raster_detail::kBlendAhead;
    for (; i + 16 <= n; i += 16) {
        BYTE* const d = dst + i * 4;
        const BYTE* const s = src + i * 4;
        // Lines further along asked for as the row kernels ask (a hint: the address may lie past
        // the run).
        _mm_prefetch(reinterpret_cast<const char*>(d) + ahead, _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(s) + ahead, _MM_HINT_T0);
        _mm512_storeu_si512(d, BlendAlpha16(c, _mm512_loadu_si512(s), _mm512_loadu_si512(d)));
    }
    if (i < n) {
        const __mmask16 last = _cvtu32_mask16((1u << (n - i)) - 1);
        BYTE* const d = dst + i * 4;
        _mm512_mask_storeu_epi32(
            d, last, BlendAlpha16(c, _mm512_maskz_loadu_epi32(last, src + i * 4), _mm512_maskz_loadu_epi32(last, d)));
    }
}
