// Row kernels of 8-bit planes (palette indices or alpha planes): copies, keyed, scaled and
// mirrored copies, bilinear scaling, smoothing and mosaic. Pointers address the first pixel; a
// skip is the pitch minus the row's bytes.
#pragma once

#include "raster/image.h"
#include "raster/row_kernels.h"

#include <cstdint>

// Copies width bytes per row. direction < 0 reads the source right to left from src, which then
// addresses the row's last pixel (a mirror); the source skip is then pitch + width.
void CopyRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int direction, int width, int height);
// As CopyRows; source bytes equal to key are not written.
void CopyRowsKeyed8(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int direction, int width,
                    int height, BYTE key);
void ScaledCopyRows8(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                     const StretchState& step);
void ScaledCopyRowsKeyed8(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                          const StretchState& step, BYTE key);
// Mirrored: reads the byte before the source pointer and steps leftwards.
void ScaledCopyRowsMirror8(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                           const StretchState& step);
void ScaledCopyRowsMirrorKeyed8(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                int height, const StretchState& step, BYTE key);
// Bilinear scaling; reads one pixel right of and one row below each sample.
void BilinearScaleRows8(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                        const StretchSteps& steps);
// In-place smoothing from the pixels as they were: 0 done, 1 width or height 3 or less, 2 no memory.
int SmoothPlane8(BYTE* pixels, int rowSkip, int pitch, int width, int height);
// Each block of n x n takes its top-left pixel; nothing when width or height is below 3 or n below 2.
// anchor: 1 top-left, 2 right, 3 bottom, 4 bottom-right, other values centred.
void MosaicPlane8(BYTE* pixels, int rowSkip, int pitch, int width, int height, int n, BYTE anchor);

// The mosaic over any pixel size (1 to 4 bytes): blocks of n x n, the first block column c0 and
// row r0 chosen by the anchor, each block filled with its top-left pixel. Nothing when width or
// height is below 3 or n below 2.
void MosaicRows(BYTE* pixels, int pitch, int width, int height, int bytesPerPixel, int n, BYTE anchor);
// The height of the first band of blocks of MosaicRows over `height` rows (n >= 1); the bands
// below it are n rows. The mosaic reads only the first row of each band and writes all the others.
int MosaicFirstBand(int height, int n, BYTE anchor);
// As MosaicRows with blocks blockWidth x blockHeight; nothing when both are below 2.
void MosaicBlocks(BYTE* pixels, int pitch, int width, int height, int bytesPerPixel, int blockWidth,
                  int blockHeight, BYTE anchor);
