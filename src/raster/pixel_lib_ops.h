// Image operations that exist only as calls into the pixel library: each checks the pictures,
// hands them and the caller's values to one entry (pixel_lib.h) and records the rectangle the
// library reports in the image's update region (with the changed flag). While no library is
// loaded they draw nothing. Values are passed on unchanged.
#pragma once

#include "raster/pixel_lib.h"

// 0 done, or at once when level's low byte is 0; 1 no pixels or not 32-bit; 2 no library;
// 3 the library refused. Entry 5 (colour, level, rect, mode).
int PixelLibOp5(CImage& dst, DWORD color, DWORD level, DWORD mode, const RECT* rect);
// 0 done; 1 no pixels or not 32-bit; 2 no library; 3 refused. Entry 7.
int PixelLibOp7(CImage& dst, BYTE alpha, const RECT* rect);
// 0 done; 1 no destination pixels, no source or a source without pixels; 2 a depth other than 32
// or no library; 3 refused. Entries 9 and 10.
int PixelLibBlend(CImage& dst, const CSurface* src, DWORD mode, DWORD opacity, DWORD a4, LONG x, LONG y,
                  const RECT* srcRect);
int PixelLibStretchCopy(CImage& dst, const CSurface* src, DWORD mode, DWORD filter, DWORD opacity, DWORD a5,
                        const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect);
// As PixelLibBlend. Entries 11 and 12.
int PixelLibOp11(CImage& dst, const CSurface* src, const PixelLibPoint* corners, const RECT* srcRect,
                 DWORD mode, DWORD filter, DWORD opacity, DWORD a7, DWORD clear, DWORD fill, RECT* outRect);
int PixelLibOp12(CImage& dst, const CSurface* src, const PixelLibTransform* transform, const RECT* srcRect,
                 DWORD mode, DWORD filter, DWORD opacity, DWORD a7, DWORD clear, DWORD fill, RECT* outRect);
// 0 done; 1 no pixels; 2 not 32-bit or no library; 3 refused. Entry 13.
int PixelLibOp13(CImage& dst, DWORD a1, DWORD a2, DWORD a3, DWORD a4);
// 0 done; 1 no pixels or no library; 2 refused. Entry 14 (32-bit) or 15 (other depths) mirrors,
// entry 16 or 17 turns upside down.
int PixelLibOp14(CImage& dst, const RECT* rect);
int PixelLibOp16(CImage& dst, const RECT* rect);
// False for no pixels, not 32-bit, no library or a refusal. Entry 22 (a1 non-zero) or 21; 23; 24.
bool PixelLibOp21(CImage& dst, BYTE a1);
bool PixelLibOp23(CImage& dst, DWORD a1);
bool PixelLibOp24(CImage& dst, DWORD a1);
// 0 done; 1 no destination pixels, a source missing or without pixels; 2 a depth other than 32 or
// no library; 3 refused. Entries 25 and 26.
int PixelLibOp25(CImage& dst, const CSurface* src1, const CSurface* src2, DWORD opacity, DWORD a4, LONG dx,
                 LONG dy, LONG width, LONG height, LONG s1x, LONG s1y, LONG s2x, LONG s2y);
int PixelLibOp26(CImage& dst, const CSurface* src1, const CSurface* src2, const CSurface* rule,
                 DWORD progress, DWORD softness, DWORD a6, LONG dx, LONG dy, LONG width, LONG height,
                 LONG s1x, LONG s1y, LONG s2x, LONG s2y, LONG rx, LONG ry);
