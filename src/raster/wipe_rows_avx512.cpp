// The wipes' 512-bit row loops (see wipe_rows_avx512.h).
#include "raster/wipe_avx512.h"

#include "raster/wipe_rows_avx512.h"

namespace {

// The shown columns of sixteen mask bytes as a lane mask.
WIPE_SIMD_AVX512 inline __mmask16 Shown16(const uint8_t* mask)
{
    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask));
    return _mm_test_epi8_mask(m, m);
}

} // namespace

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
