// The turning block wipes (spin, zoom, rotated grids, jitter) drawn a grid row at a time: each
// row's block positions are worked out together (eight or four at once where AVX2 serves), the
// blocks that lie wholly inside both clips are picked by a mask, and the blocks are then drawn in
// the walk's order, so overlapping blocks cover each other as block by block.
//
// Each function returns false, having drawn nothing, where this walk does not serve: the SIMD
// switch is off, the images are not plain 32-bit memory, or the picture and its offset are too
// large for positions in 32 bits. The caller then walks the blocks one at a time.
#pragma once

#include "raster/wipe_canvas.h"

#include <cstdint>

namespace wipe {

// Blocks n x n of the grid, block (i, j) drawn at (x + hw + cx(i) - sy(j), y + hh + cy(j) + sx(i))
// where cx(i) = (c0 (i - hw)) >> 16, sx(i) = (s0 (i - hw)) >> 16 and likewise for rows, each
// product shifted on its own; hw, hh are half the width and height. n is 2, 4 or 8. Turned by a
// quarter, a half or three quarters exactly, the blocks make a lattice that does not overlap and
// are drawn a destination row at a time.
bool TurnedGrid(CWipeCanvas& c, int64_t n, int64_t c0, int64_t s0);

// Blocks 4 x 2 drawn at (x + i + ((i - hw) cx a) >> 24, y + j + ((j - hh) sy a) >> 24).
bool ZoomedGrid(CWipeCanvas& c, int64_t cx, int64_t sy, int64_t a);

// Blocks 4 x 2 thrown along their direction from the centre, turned by the cosines ct and st:
// with d = trunc(sqrt(dx² + dy²)), ux = trunc(((st dx 256) >> 16) / d) and uy the same of ct and
// dy (dx, dy themselves at the centre), block (i, j) is drawn at (x + i + (ux a) >> 8,
// y + j + (uy a) >> 8).
bool SpunGrid(CWipeCanvas& c, int64_t ct, int64_t st, int64_t a);

// Blocks 4 x 4 moved by the noise table: block (i, j) with b = i / 4 and r = j / 4 is drawn at
// (x + i + ox[noise[(b + 13 r) & 255]], y + j + oy[noise[(b + 19 r) & 255]]); ox and oy hold 256
// offsets each (offsets beyond 16384 pixels leave the entry to the block walk).
bool JitteredGrid(CWipeCanvas& c, const uint8_t* noise, const int32_t* ox, const int32_t* oy);

// Cells n x n (8 or 16) dropping into place: cell (i, j) with v = noise[(i / 8 + 13 j) & 255]
// shows its top k = min(n, (((v >> 1) + progress) >> s) - n) rows at the bottom of its own place,
// nothing where k <= 0.
bool DroppedGrid(CWipeCanvas& c, int64_t n, int s, int32_t progress, const uint8_t* noise);

} // namespace wipe
