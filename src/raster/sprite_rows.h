// The sprite blend by source alpha over a block of rows, as a scene draws one sprite into a band:
// the same pixels as BlendAlphaRows32 (colour (s a + d (255 - a) + 127) / 255, alpha 0). Its AVX2
// form blends a row's last pixels as one masked group rather than one at a time, and a band's few
// rows ask for the source rows ahead of them, the next band's first ones included.
#pragma once

#include "winapi/base.h"

#include <xmmintrin.h>

#include <cstddef>
#include <cstdint>

// The plain kernel while g_bUseMmx is clear, the SSE2 twin at that level, AVX2 where it runs.
void BlendSpriteRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);

// The AVX2 form, for rows of eight pixels or more; only while UseAvx2() holds.
void BlendSpriteRows32Avx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);

// The 512-bit twin for rows of sixteen pixels and more; only while UseAvx512Bw() holds.
void BlendSpriteRows32Avx512(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);

// The 512-bit twin for rows of one to seven pixels; only while UseAvx512Bw() holds.
void BlendNarrowSpriteRows32Avx512(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);

// What the AVX2 and 512-bit walks share.
namespace sprite_rows_detail {

// Blocks of at most this many rows are a band's.
constexpr int kBandRowsAtMost = 32;
// How many rows ahead the walk asks for its pixels.
constexpr ptrdiff_t kRowsAhead = 4;

// Asks for every line of the row `ahead` bytes along from p, its partly used first and last ones
// included. A hint only: the address may lie outside any buffer.
inline void PrefetchRow(const BYTE* p, ptrdiff_t ahead, ptrdiff_t rowBytes)
{
    const uintptr_t at = reinterpret_cast<uintptr_t>(p) + static_cast<uintptr_t>(ahead);
    const uintptr_t end = at + static_cast<uintptr_t>(rowBytes);
    for (uintptr_t line = at & ~uintptr_t{63}; line < end; line += 64) {
        _mm_prefetch(reinterpret_cast<const char*>(line), _MM_HINT_T0);
    }
}

} // namespace sprite_rows_detail
