// Smooth (bilinear) scaled copies onto an image, and copies onto an image from surfaces of any
// kind (device surfaces through their device context).
#pragma once

#include "raster/image.h"

// The source rectangle (null: the source's bounds, cut to them) scaled into dstSize (null: the
// image's size) at (x, y). The same size copies every source pixel (the colour key is not used);
// a strong shrink (to half or less on an axis) or a one-pixel source is a nearest-pixel scaled copy
// (again without the key); otherwise bilinear, 32 -> 32, 8 -> 32 (through the source palette, the
// grey ramp when it has none) and 8 -> 8. A destination size of 0 or below draws nothing.
// 0 drawn or nothing to draw; 1 destination empty, source null or without pixels; 2 depth pair
// not served.
int SmoothStretchCopy(CImage& dst, const CSurface* src, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect);
// The same pixels without marking them changed: drawn receives the rectangle written (left as it
// was when nothing is).
int SmoothStretchDraw(CImage& dst, const CSurface* src, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect,
                      RECT& drawn);

// The AVX2 form of the 32-bit bilinear rows (the same pixels as SmoothRows32); only while
// UseAvx2() holds, and for sources whose columns lie below 2^28.
void SmoothRows32Avx2(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                      const StretchSteps& steps);
// Its vertical step with 512-bit registers, while UseAvx512Bw() holds: n pixels of out, each
// ((256 - fy) a + fy b) >> 8 per channel of the buffered rows a and b; the row after out lies
// `next` bytes on (a hint only: it is asked for, never read or written).
void SmoothVerticalRowAvx512(BYTE* out, const BYTE* a, const BYTE* b, int n, uint32_t fy, intptr_t next);
