// Blits between DirectDraw surfaces cut to a clip rectangle first (DirectDraw itself refuses
// rectangles that leave a surface), and the pixel-format code of a DirectDraw pixel format. The
// device-blit mode of the transitions draws its pieces through these.
#pragma once

#include "winapi/ddraw.h"

#include <cstdint>

// Copies srcRect of src to (x, y) on dst: srcRect is cut to the source, the placed rectangle to
// clip (and to dst), the position moving by what is cut; the source's own DirectDraw key is used
// unless key is 0xFFFFFFFF. 0 drawn or nothing left; 1 a null surface or rectangle; 2 BltFast
// failed.
int BltFastClipped(IDirectDrawSurface7* dst, IDirectDrawSurface7* src, LONG x, LONG y, const RECT* srcRect,
                   const RECT* clip, DWORD key);

// As BltFastClipped, with srcRect stretched into width x height at (x, y); the destination
// rectangle is cut to clip (and to dst) and the source edges move in proportion. 0, 1, or 2 when
// Blt failed.
int BltClipped(IDirectDrawSurface7* dst, IDirectDrawSurface7* src, LONG width, LONG height, LONG x, LONG y,
               const RECT* srcRect, const RECT* clip, DWORD key);

// The EPixelFormatCode of the first of surface, desc or format that is given; 0 when none is
// given, the format cannot be read or it is none of the seven device formats.
uint32_t GetPixelFormatCode(IDirectDrawSurface7* surface, const DDSURFACEDESC2* desc,
                            const DDPIXELFORMAT* format);
