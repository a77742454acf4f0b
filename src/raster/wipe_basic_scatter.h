// Entry 5's scattered blocks drawn a row of blocks at a time, for the frames where the whole grid
// lies inside both clips.
#pragma once

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
