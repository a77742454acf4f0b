// The quarter-turned grids' lined-up destination rows with 512-bit registers, for callers while
// wipe::UseAvx512Loops() (wipe_canvas.h) holds.
#pragma once

#include "winapi/base.h"

#include <cstddef>
#include <cstdint>

namespace wipe {

// Blocks of width pixels (2, 4 or 8) of 16 / width destination rows that line up: one block row
// of a quarter-turned grid, a row of its cells, each next row taking the blocks of the next block
// row, whose source lies width pixels on. Register g reads the 64 bytes at src + (g s + k) step
// for k < s (s = 16 / width): share q of each (width pixels) belongs to rows[q], and the s blocks
// of row q land side by side at rows[q] + g dstStep (dstStep is 64 or -64), block k at its k-th
// place, or its (s - 1 - k)-th where reversed. count registers are drawn, copied or blended; with
// ahead, the source lines a stretch on are asked for first.
void LinedUpRowsAvx512(int width, BYTE* const* rows, ptrdiff_t dstStep, const BYTE* src, ptrdiff_t step,
                       int64_t count, bool reversed, bool blend, bool ahead);

// Blocks of width pixels (2, 4 or 8) side by side from d, count registers of 64 bytes of them,
// each block from the source just before the one of the block to its left, which is at s: a row
// of blocks turned by half a turn, a register of source pixels read whole and its blocks swapped
// end for end, copied or blended.
void ReversedRowAvx512(int width, BYTE* d, const BYTE* s, int64_t count, bool blend);

} // namespace wipe
