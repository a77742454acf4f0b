// Fill and colour operations on an image: fill at an alpha, add and subtract a colour, a colour
// painted through an 8-bit mask, grayscale, colourise, invert, gradient fill, and two adjustments
// of the alpha plane. rect: null = the image's clip rectangle; a given one is cut to it first, and
// nothing left does nothing (result 0, or false). All but the last two record the changed
// rectangle in the update region and set the changed flag.
#pragma once

#include "raster/image.h"

// 0 done or nothing to do (alpha 0); 1 no pixels or not 32-bit. Colour bytes := mul(255 - a, d) +
// mul(c, a); alpha kept.
int FillRectAlpha(CImage& dst, BYTE red, BYTE green, BYTE blue, BYTE alpha, const RECT* rect);
// 0 done or nothing to do (colour 0); 1 no pixels or not 32-bit. Saturating; alpha kept.
int AddColor(CImage& dst, BYTE red, BYTE green, BYTE blue, const RECT* rect);
int SubColor(CImage& dst, BYTE red, BYTE green, BYTE blue, const RECT* rect);
// The 8-bit mask placed like a source at (x, y) (maskRect null = its clip rectangle); per pixel the
// opacity is mul(level, m). Mode 0 blend, 1 add, 2 subtract; other modes only mark the rectangle.
// 0 done or nothing to do (level 0); 1 destination empty, mask null or empty; 2 destination not
// 32-bit or mask not 8-bit.
int PaintThroughMask(CImage& dst, BYTE mode, const CSurface* mask, BYTE level, BYTE red, BYTE green, BYTE blue,
                     LONG x, LONG y, const RECT* maskRect);
// 32-bit: colour bytes := (77 r + 150 g + 29 b) >> 8. 8-bit (whole image only): the palette becomes
// the grey ramp and each index the grey of its old colour. 0 done; 1 no pixels; 3 a rect for an
// 8-bit image.
int Grayscale(CImage& dst, const RECT* rect);
// Each colour byte v := clamp(((v x gain) >> 7) + offset) (128 = unchanged); 8-bit images change
// their palette. 0 done; 1 no pixels, or no palette at 8 bits; 2 a rect for an 8-bit image; 3 a gain
// above 256 or an offset outside -255..255 (tested first).
int Colorize(CImage& dst, int redGain, int greenGain, int blueGain, int redOffset, int greenOffset,
             int blueOffset, const RECT* rect);
// 32-bit: XOR with 0x00FFFFFF (mode 0), 0xFFFFFFFF (1), 0xFF000000 (other). 8-bit: mode 0 inverts
// the palette's colours (whole image only), other modes the index bytes of the rectangle.
// 0 done; 1 no pixels, or no palette at 8 bits mode 0; 2 a rect for an 8-bit image in mode 0.
int Invert(CImage& dst, BYTE mode, const RECT* rect);
// Direction 0: a ramp from `from` to `to` across the rectangle, the same in every row; 1: down it.
// A rectangle one ramp entry long takes `from`. 0 done; 1 no pixels; 2 the ramp could not be built;
// 3 a direction other than 0 or 1 (nothing touched).
int GradientFill(CImage& dst, BYTE direction, DWORD from, DWORD to, const RECT* rect);
// Alpha bytes (32-bit) or bytes (8-bit): level < 256: v := mul(level, v); 256..511: v :=
// mul(511 - level, v) + level - 256. False: no pixels, level 512 or more, or nothing left.
bool AdjustAlphaLevel(CImage& dst, int level, const RECT* rect);
// v := clamp(((v x gain) >> 7) + offset). False: no pixels, gain above 256, offset outside
// -255..255, or nothing left.
bool ScaleOffsetAlpha(CImage& dst, int gain, int offset, const RECT* rect);
