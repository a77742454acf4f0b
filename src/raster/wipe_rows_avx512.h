// The wipes' 512-bit row loops: sixteen pixels a step, for callers while wipe::UseAvx512Loops()
// (wipe_canvas.h) holds. Each gives the pixels of the canvas's plain routes.
#pragma once

#include "winapi/base.h"

#include <cstddef>
#include <cstdint>

namespace wipe {

// Rows of 32-bit pixels copied under a column mask (one byte per column, non-zero shown): the shown
// columns take the source, the others keep the destination, which is never read. The mask of row r
// starts at mask + r * maskPitch (a pitch of 0 shows the same columns on every row).
void MaskedCopyRowsAvx512(BYTE* dstRow, const BYTE* srcRow, ptrdiff_t dstPitch, ptrdiff_t srcPitch, int width,
                          int rows, const uint8_t* mask, ptrdiff_t maskPitch);

// The same rows blended: the shown columns take the source over the destination (the pixels of
// the blend kernels), the others are left alone. Groups of sixteen columns none of which shows
// read nothing, and an opaque group's destination is not read either.
void MaskedBlendRowsAvx512(BYTE* dstRow, const BYTE* srcRow, ptrdiff_t dstPitch, ptrdiff_t srcPitch, int width,
                           int rows, const uint8_t* mask, ptrdiff_t maskPitch);

// Rows of 32-bit pixels blended over the destination with the source mirrored left to right:
// pixel i of a destination row takes the source pixel just before srcEnd - 4 i (srcEnd points one
// pixel past the row's source segment), the pixels of BlendAlphaRows32MirrorMmx.
void MirroredBlendRowsAvx512(BYTE* dstRow, const BYTE* srcEnd, ptrdiff_t dstPitch, ptrdiff_t srcPitch, int width,
                             int rows);

// A run of n 32-bit pixels blended over the destination, the pixels of BlendAlphaRows32Mmx: the
// pixels up to the destination's first 64-byte line boundary through a lane mask, then whole
// aligned lines (a run placed a few pixels off its alignment otherwise splits every store).
void BlendPixelsAvx512(BYTE* dst, const BYTE* src, int64_t n);

} // namespace wipe
