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

// What a pixel format holds: bit depth, the four masks (red, green, blue, alpha), the set bits of
// each and the zero bits below each (32 for an empty mask).
struct CPixelFormatDesc {
    uint8_t bits = 0;
    DWORD mask[4] = {};
    uint8_t maskBits[4] = {};
    uint8_t shift[4] = {};
};

// Codes besides the seven device formats of EPixelFormatCode: a format that is none of them, and
// 8-bit palettised.
constexpr uint32_t kPixelUnknown = 1;
constexpr uint32_t kPixelIndexed8 = 2;

// The EPixelFormatCode of `format` when given, else of the surface's GetPixelFormat (0 when that
// fails or both are null); 1 for any other format. desc (may be null) is filled whatever the code.
uint32_t GetPixelFormatCode(IDirectDrawSurface7* surface, CPixelFormatDesc* desc, const DDPIXELFORMAT* format);

// Fills rect (null: the whole surface) with (r, g, b, a) in the surface's format: a DirectDraw colour
// fill, else by locking. desc: the surface's format (null: read here). Channels the format lacks
// are left out. 0; 1 no surface or unreadable format; 2 the lock failed.
int FillSurfaceRect(IDirectDrawSurface7* surface, const CPixelFormatDesc* desc, BYTE r, BYTE g, BYTE b,
                    const RECT* rect, BYTE a);
