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
// Sixteen columns a step through the 512-bit twin where UseAvx512Loops() holds.
bool DrawStretchedColumnRows(CWipeCanvas& c, const std::vector<CWipeCanvas::ColumnStretch>& columns);

namespace columns_detail {

// Runs of neighbouring columns that step alike, cut at every sixteenth column: a run's pixels of a
// row lie side by side in one source row, so one masked load of sixteen lanes fetches them. Each
// run keeps its stepping; the lists are padded to whole groups of sixteen with runs never shown.
struct ColumnRuns {
    std::vector<int32_t> base; // source byte offset the group's lane 0 would read
    std::vector<int32_t> nextBase; // the same a row further on (the even rows' second row)
    std::vector<int32_t> acc;
    std::vector<int32_t> frac;
    std::vector<int32_t> den;
    std::vector<int32_t> whole; // whole rows a step, in bytes
    std::vector<int32_t> top;   // destination rows top..bottom-1 show the run
    std::vector<int32_t> bottom;
    std::vector<uint16_t> lanes;   // the group's lanes the run covers
    std::vector<int32_t> groupEnd; // runs of group g are groupEnd[g - 1]..groupEnd[g] - 1
    std::vector<uint16_t> groupLanes; // the lanes of group g's runs together
    // Where every group holds this many runs (padded with copies of its last run that show no
    // lane), so a row's groups take a fixed count of loads each; 0 where the counts differ.
    int perGroup = 0;
};

// Rows top..bottom-1 of a span of columns starting at dstRow (the top row's first column), sixteen
// columns a step with 512-bit masked loads; the runs' steppings move on as the rows go. Only while
// UseAvx512Loops() holds.
void DrawColumnRunsAvx512(BYTE* dstRow, LONG dstPitch, const BYTE* src, int32_t srcPitch, int32_t top,
                          int32_t bottom, ColumnRuns& runs, bool blend);

} // namespace columns_detail

} // namespace wipe
