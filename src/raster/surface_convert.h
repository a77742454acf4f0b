// Memory images into locked device-surface memory: 8-bit indexes through a palette and 32-bit
// 0xAARRGGBB pixels into the seven device pixel formats (EPixelFormatCode), and the copy of a
// clipped part of an image into a DirectDraw surface that scenes and canvases use.
#pragma once

#include "raster/dib_surface.h"
#include "winapi/ddraw.h"

#include <cstdint>

// Writes width x height indexes from src (srcPitch bytes a row) as their palette entries (0x00RRGGBB)
// at column x, row y of dst (dstPitch bytes a row). True for the codes 4, 8, 16, 32, 64, 128, 256;
// false, nothing written, for any other code or a size below 1.
bool ConvertIndexedToSurface(uint32_t code, BYTE* dst, LONG x, LONG y, LONG dstPitch, const BYTE* src,
                             LONG srcPitch, LONG width, LONG height, const uint32_t* palette);
// The same for 32-bit source pixels; alpha formats take the source alpha's top bits (256: copied).
bool ConvertRgb32ToSurface(uint32_t code, BYTE* dst, LONG x, LONG y, LONG dstPitch, const BYTE* src,
                           LONG srcPitch, LONG width, LONG height);

// Copies srcRect (null: the source's clip rectangle; a given one is cut to it) of an 8- or 32-bit
// memory image to (x, y) of a DirectDraw surface of the given format code, cut to clip (null: the
// surface) and to the surface's size. desc: an already locked description of the whole surface
// (null: the surface is locked and unlocked here). An 8-bit source without palette reads as grey.
// 0 done or nothing to copy; 1 no surface (nor description), no source or a source without pixels;
// 2 the lock failed.
int CopyImageToSurface(IDirectDrawSurface7* surface, uint32_t code, const RECT* clip, const CDibSurface* source,
                       LONG x, LONG y, const RECT* srcRect, const DDSURFACEDESC2* desc);
