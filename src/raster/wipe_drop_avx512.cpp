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

// Eight pixels of a row and the eight below them in one register.
WIPE_SIMD_AVX512 inline __m512i RowPair8(const BYTE* p, ptrdiff_t pitch)
{
    return _mm512_inserti64x4(_mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))),
                              _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + pitch)), 1);
}

// Cells of eight blended cell by cell, two rows to a register (the pixels of the AVX2 blend of
// eight, which keeps to its 128-bit quarters as this one does).
WIPE_SIMD_AVX512 void BlendCells8(BYTE* last, const BYTE* src, ptrdiff_t dstPitch, ptrdiff_t srcPitch,
                                  const int32_t* ks, int32_t lo, int32_t hi, int32_t most)
{
    const wipe::BlendConstants16 c = wipe::LoopBlendConstants16();
    for (int32_t at = lo; at < hi; ++at) {
        const int32_t k = ks[at];
        if (k <= 0 || k > most)
            continue;
        BYTE* d = last - static_cast<ptrdiff_t>(k - 1) * dstPitch + static_cast<ptrdiff_t>(at) * 32;
        const BYTE* s = src + static_cast<ptrdiff_t>(at) * 32;
        int32_t row = 0;
        for (; row + 2 <= k; row += 2, d += 2 * dstPitch, s += 2 * srcPitch) {
            const __m512i out = wipe::BlendAlpha16(c, RowPair8(s, srcPitch), RowPair8(d, dstPitch));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm512_castsi512_si256(out));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + dstPitch), _mm512_extracti64x4_epi64(out, 1));
        }
        if (row < k) {
            const __m512i one = _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s)));
            const __m512i old = _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(d)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm512_castsi512_si256(wipe::BlendAlpha16(c, one, old)));
        }
    }
}

} // namespace

void wipe::DropCells8BlendAvx512(BYTE* last, const BYTE* src, ptrdiff_t dstPitch, ptrdiff_t srcPitch,
                                 const int32_t* ks, int32_t lo, int32_t hi, int32_t most)
{
    if (most <= 0 || lo >= hi)
        return;
    BlendCells8(last, src, dstPitch, srcPitch, ks, lo, hi, most);
}

void wipe::DropBand16Avx512(BYTE* last, const BYTE* src, ptrdiff_t dstPitch, ptrdiff_t srcPitch,
                            const int32_t* ks, int32_t lo, int32_t hi, int32_t most, bool blend)
{
    if (most <= 0 || lo >= hi)
        return;
    (blend ? Band<true> : Band<false>)(last, src, dstPitch, srcPitch, ks, lo, hi, most);
}
