// Entry 5's scattered blocks drawn a row of blocks at a time, for the frames where the whole grid
// lies inside both clips.
#pragma once

#include "platform/random.h"
#include "raster/wipe_canvas.h"

#include <cstdint>

namespace wipe {

// Blocks of 4 x 2 in grid order, each read from its place moved by up to k - 1 pixels right and
// down when its draw is above the progress (k is 2, 4, 6 or 10), drawn at its place; the draws
// and pixels of the block-by-block walk. False, with nothing drawn and nothing drawn from the
// random state, where the wipes' AVX2 loops do not run, the images do not go straight to the row
// kernels or the grid is not wholly inside both clips.
bool DrawScatteredBlockRows(CWipeCanvas& c, int32_t progress, uint32_t k);

} // namespace wipe

namespace wipe::scatter_detail {

// The moves of `blocks` blocks of the walk with move range k (2, 4, 6 or 10) from `state`, as the
// block-by-block walk takes its draws: block b's move right (its second draw modulo k) in the low
// byte of moves[b] and its move down (its third draw modulo k) in the high byte where its first
// draw is above the progress, 0 where not; the state (table and position) left as that walk leaves
// it. `moves` has room for 16 entries past `blocks`, which may be overwritten. A generator table at
// a time; only on machines with the 512-bit twins (MachineHasAvx512Bw).
void WalkMovesAvx512(SubtractiveRandomState& state, int32_t progress, uint32_t k, uint16_t* moves,
                     int64_t blocks);

// DrawScatteredBlockRows' drawing, once the grid is known to lie inside both clips (m from
// DirectGrid): the walk a table at a time, the rows four blocks to a register. Only while
// UseAvx512Loops() holds.
void DrawRowsAvx512(CWipeCanvas& c, const CWipeCanvas::Memory& m, int32_t progress, uint32_t k);

} // namespace wipe::scatter_detail
