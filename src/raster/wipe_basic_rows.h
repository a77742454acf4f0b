// The 512-bit twin of the stretched rows' row loop (CWipeCanvas::StretchedRows).
#pragma once

#include "raster/wipe_canvas.h"

#include <cstdint>

namespace wipe::rows_detail {

// One destination row of `w` pixels at d from the source row at src, pixel k reading source
// column at[k]; `room` is how many pixels from the row's first read column may be loaded whole.
// Sixteen pixels a step: a load and a permute where a group's columns lie within sixteen of its
// first, a gather otherwise. Only while UseAvx512Loops() holds.
void StretchedRowAvx512(BYTE* d, const BYTE* src, const int32_t* at, int w, int64_t room, LONG srcPitch,
                        bool blend);

} // namespace wipe::rows_detail
