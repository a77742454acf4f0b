// Entry 3's columns, each stretched to a height of its own, drawn a destination row at a time.
#pragma once

#include "raster/wipe_canvas.h"

#include <vector>

namespace wipe {

// The pixels of CWipeCanvas::StretchedColumns, walked one destination row at a time, eight
// columns a step: each column keeps its own source row and stepping, and the row's pixels are
// gathered through them. False, with nothing drawn, where the wipes' AVX2 loops do not run, the
// images do not go straight to the row kernels, the mode is not a plain copy or a blend, two
// columns land on one destination column or out of order, or the source's offsets do not fit 32
// bits.
bool DrawStretchedColumnRows(CWipeCanvas& c, const std::vector<CWipeCanvas::ColumnStretch>& columns);

} // namespace wipe
