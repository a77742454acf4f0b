// Row kernels of the filters: the horizontal box blur drawn at a level (plain or by the blurred
// alpha), the small in-place blur, and the bilinear kernels of the smooth scaled copy.
#pragma once

#include "raster/image.h"
#include "winapi/base.h"

#include <cstdint>

// Box blur of radius r (1..127) along source rows, each channel (sum x floor(65536 / (2r + 1)) +
// 32768) >> 16 over the 2r + 1 pixels centred on the source pixel; positions left of the source's
// first column take that column, right of its last column the last one. srcLeft / srcRight: the
// source pixels available left / right of the first drawn one.
// BlurBlendRows32: the destination becomes the blurred pixel (all four bytes).
void BlurBlendRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, int srcLeft,
                     int srcRight, int radius, BYTE level);
// BlurBlendLevelRows32: colour blended towards the blurred pixel by the factor of level; alpha kept.
void BlurBlendLevelRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                          int srcLeft, int srcRight, int radius, BYTE level);
// BlurBlendAlphaRows32: colour blended towards the blurred pixel b by the factor of mul(level, bA).
void BlurBlendAlphaRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                          int srcLeft, int srcRight, int radius, BYTE level);
// BlurBlendLevelOverRows32: as copying the rows of under (its own skip) into dst, then
// BlurBlendLevelRows32 over them.
void BlurBlendLevelOverRows32(BYTE* dst, const BYTE* under, int dstSkip, int underSkip, const BYTE* src,
                              int srcSkip, int width, int height, int srcLeft, int srcRight, int radius, BYTE level);
// SIMD twins of the four (SSE2, the windows eight at a time with AVX2 where the level allows):
// the same pixels, the window sums taken from running sums of the row.
void BlurBlendRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, int srcLeft,
                        int srcRight, int radius, BYTE level);
void BlurBlendLevelRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                             int srcLeft, int srcRight, int radius, BYTE level);
void BlurBlendAlphaRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                             int srcLeft, int srcRight, int radius, BYTE level);
void BlurBlendLevelOverRows32Mmx(BYTE* dst, const BYTE* under, int dstSkip, int underSkip, const BYTE* src,
                                 int srcSkip, int width, int height, int srcLeft, int srcRight, int radius,
                                 BYTE level);

// In-place blur of a 32-bit rectangle (at least 4 x 4) from its unchanged pixels; alpha becomes 0.
// Mode 0: samples cut to their top five bits, weighted sum truncated; mode 1: as mode 0, then 7 is
// added to each channel (undoing the average loss of the cut, at most 248 + 7 = 255); other modes:
// exact samples. 0 done, 2 rectangle below 4 x 4, 3 no memory for the row buffer.
int BlurRows32(BYTE* pixels, int pitch, int width, int height, BYTE mode);

// Bilinear kernels: per pixel with neighbours p00, p01 (right), p10 (below), p11 and the top eight
// fraction bits fx, fy: top = p00 + ((p01 - p00) fx >> 8), bottom likewise, result = top +
// ((bottom - top) fy >> 8), per channel, all four bytes. The accumulators start at the record's
// fractions and grow by its 32.32 steps. They read the right and lower neighbours of every sample.
void SmoothRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                  const StretchSteps& steps);
void SmoothRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                     const StretchSteps& steps);
// 8-bit source indices through a 256-entry palette of 32-bit colours.
void SmoothPalRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                     const StretchSteps& steps, const uint32_t* palette);
void SmoothPalRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                        const StretchSteps& steps, const uint32_t* palette);
