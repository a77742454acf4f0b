// Copies onto a memory image from a surface of any kind: memory images and canvases by the raster
// copies, device surfaces (DirectDraw) through their device context and GDI.
//
// Results: 0 drawn or nothing left after clipping; 1 the destination has no device context or no
// pixels, the source is null, of an unknown kind or without a DirectDraw surface (or, for a
// memory kind, the copy's own 1); 2 the surface's device context cannot be had or GDI fails (or
// the copy's own 2).
#pragma once

#include "raster/image.h"

// srcRect null = (0, 0, source width, source height); it is cut to the source's bounds.
int CopyFromAny(CImage& dst, const CSurface* src, LONG x, LONG y, const RECT* srcRect);
// As CopyFromAny, stretched into dstSize (null: the image's size).
int StretchCopyFromAny(CImage& dst, const CSurface* src, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect);
