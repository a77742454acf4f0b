// The dropping cells of sixteen pixels drawn a destination row at a time with 512-bit registers,
// for callers while wipe::UseAvx512Loops() (wipe_canvas.h) holds.
#pragma once

#include "winapi/base.h"

#include <cstddef>
#include <cstdint>

namespace wipe {

// One grid row of cells 16 x 16: cell b shows the top ks[b] rows of its source (src + 64 b, rows
// down by srcPitch) at the bottom of its place (last + 64 b is the place's bottom row; rows up by
// dstPitch). Only the cells lo <= b < hi with 0 < ks[b] <= most (most <= 16) are drawn, copied or
// blended; the others are left to the caller. ks may end anywhere past hi - 1: lanes past it are
// not read. Cells never overlap, so the order of the rows gives the pixels of cell by cell.
void DropBand16Avx512(BYTE* last, const BYTE* src, ptrdiff_t dstPitch, ptrdiff_t srcPitch, const int32_t* ks,
                      int32_t lo, int32_t hi, int32_t most, bool blend);

// The same for cells 8 x 8 blended (src + 32 b, last + 32 b), a cell at a time, two of its rows
// to a register.
void DropCells8BlendAvx512(BYTE* last, const BYTE* src, ptrdiff_t dstPitch, ptrdiff_t srcPitch, const int32_t* ks,
                           int32_t lo, int32_t hi, int32_t most);

} // namespace wipe
