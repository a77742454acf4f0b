// The 512-bit twins of the stretched rows' row loop (CWipeCanvas::StretchedRows) and of the
// shifted rows' copies (entry 4).
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

// One destination row of `w` pixels at d all reading the one source pixel at src (a smear of one
// column), copied or blended sixteen at a time. The lines further along are asked for as the blend
// kernels ask for them, past the row's end those of the next row, dstPitch further on (the rows
// come one call each). The pixels of StretchedRowAvx512 with every column 0. Only while
// UseAvx512Loops() holds.
void SmearRowAvx512(BYTE* d, const BYTE* src, int w, LONG dstPitch, bool blend);

// Copies n 32-bit pixels from src to dst (not overlapping), the same bytes as memcpy: every store
// but the first and last is whole and aligned, each source line read once and shifted into place
// (a row copied a few pixels off its alignment otherwise reads two lines a store). Only while
// UseAvx512Loops() holds.
void CopyPixelsAvx512(BYTE* dst, const BYTE* src, int64_t n);

} // namespace wipe::rows_detail
