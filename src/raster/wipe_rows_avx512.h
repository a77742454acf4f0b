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

} // namespace wipe
