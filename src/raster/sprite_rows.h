// The sprite blend by source alpha over a block of rows, as a scene draws one sprite into a band:
// the same pixels as BlendAlphaRows32 (colour (s a + d (255 - a) + 127) / 255, alpha 0). Its AVX2
// form blends a row's last pixels as one masked group rather than one at a time, and a band's few
// rows ask for the source rows ahead of them, the next band's first ones included.
#pragma once

#include "winapi/base.h"

// The plain kernel while g_bUseMmx is clear, the SSE2 twin at that level, AVX2 where it runs.
void BlendSpriteRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);

// The AVX2 form, for rows of eight pixels or more; only while UseAvx2() holds.
void BlendSpriteRows32Avx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);

// The 512-bit twin for rows of sixteen pixels and more; only while UseAvx512Bw() holds.
void BlendSpriteRows32Avx512(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);

// The 512-bit twin for rows of one to seven pixels; only while UseAvx512Bw() holds.
void BlendNarrowSpriteRows32Avx512(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
