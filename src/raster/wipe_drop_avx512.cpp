// The dropping cells a destination row at a time (see wipe_drop_avx512.h). Cell by cell, each of
// a cell's rows lands on its own destination row, so a band's sixteen rows are written as sixteen
// interleaved streams no prefetcher follows; a row at a time, the destination is read and written
// left to right and only the source rows jump, within the band.
#include "raster/wipe_avx512.h"

#include "raster/wipe_drop_avx512.h"

namespace {

template <bool Blend>
WIPE_SIMD_AVX512 void Band(BYTE* last, const BYTE* src, ptrdiff_t dstPitch, ptrdiff_t srcPitch,
                           const int32_t* ks, int32_t lo, int32_t hi, int32_t most)
{
    const __m512i lanes = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m512i top = _mm512_set1_epi32(most);
    const wipe::BlendConstants16 c = wipe::LoopBlendConstants16();
    // The band's row u from the bottom (1 to most) shows the cells of at least u rows, the
    // source's row k - u of a cell k rows high.
    for (int32_t u = most; u >= 1; --u) {
        const __m512i need = _mm512_set1_epi32(u);
        BYTE* const row = last - (u - 1) * dstPitch;
        for (int32_t b = lo; b < hi; b += 16) {
            const __mmask16 in =
                _mm512_cmplt_epi32_mask(_mm512_add_epi32(_mm512_set1_epi32(b), lanes), _mm512_set1_epi32(hi));
            // The next band's source, a row a step: its cells' rows come at random, where no
            // walker of memory foresees them. Only addresses to ask for: they may lie past the
            // source's last row.
            const uintptr_t next =
                reinterpret_cast<uintptr_t>(src) +
                static_cast<uintptr_t>((32 - u) * srcPitch + static_cast<ptrdiff_t>(b) * 64);
            for (int line = 0; line < 16; ++line)
                _mm_prefetch(reinterpret_cast<const char*>(next + static_cast<uintptr_t>(line * 64)),
                             _MM_HINT_T0);
            const __m512i k = _mm512_maskz_loadu_epi32(in, ks + b);
            unsigned shown = _mm512_mask_cmpge_epi32_mask(_mm512_mask_cmple_epi32_mask(in, k, top), k, need);
            for (; shown != 0; shown &= shown - 1) {
                const int32_t at = b + __builtin_ctz(shown);
                BYTE* const d = row + static_cast<ptrdiff_t>(at) * 64;
                const __m512i s =
                    _mm512_loadu_si512(src + (ks[at] - u) * srcPitch + static_cast<ptrdiff_t>(at) * 64);
                if constexpr (Blend)
                    _mm512_storeu_si512(d, wipe::BlendAlpha16(c, s, _mm512_loadu_si512(d)));
                else
                    _mm512_storeu_si512(d, s);
            }
        }
    }
}

} // namespace

void wipe::DropBand16Avx512(BYTE* last, const BYTE* src, ptrdiff_t dstPitch, ptrdiff_t srcPitch,
                            const int32_t* ks, int32_t lo, int32_t hi, int32_t most, bool blend)
{
    if (most <= 0 || lo >= hi)
        return;
    (blend ? Band<true> : Band<false>)(last, src, dstPitch, srcPitch, ks, lo, hi, most);
}
