// Filter operations on an image: a source drawn through a horizontal box blur at a level (plain or
// weighted by the blurred alpha), an in-place blur of a rectangle with a small weighted kernel, and
// mosaic. rect: null = the image's clip rectangle; a given one is cut to it first.
#pragma once

#include "raster/image.h"

// Radius 0: MixChannels with factors 255 - level and level (its result). Otherwise 0 done or
// nothing to draw (level 0, nothing left); 1 destination empty, source null or empty; 2 not both
// 32-bit. Radii above 127 blur as 127. Level 255 writes the blurred pixel (alpha included).
int BlurBlend(CImage& dst, const CSurface* src, BYTE radius, BYTE level, LONG x, LONG y, const RECT* srcRect);
// As dst.Copy(under, x, y, &underRect) then BlurBlend(dst, src, radius, level, x, y, srcRect), in
// one pass where it can: the copy's code when it fails, else BlurBlend's.
int BlurBlendOver(CImage& dst, const CImage* under, const RECT& underRect, const CSurface* src, BYTE radius,
                  BYTE level, LONG x, LONG y, const RECT* srcRect);
// Radius 0: BlendAlphaTable mode 0 with the level as opacity. Otherwise as BlurBlend, the colour
// blended towards the blurred pixel by mul(level, blurred alpha).
int BlurBlendAlpha(CImage& dst, const CSurface* src, BYTE radius, BYTE level, LONG x, LONG y,
                   const RECT* srcRect);
// In place, from the unchanged pixels (32-bit: alpha becomes 0; mode 0 cuts samples to five bits,
// mode 1 as 0 plus 7, other modes exact; 8-bit: the plane smoothing). 0 done (also nothing left);
// 1 no pixels; 2 rectangle narrower or lower than 4 pixels; 3 out of memory. Clears the colour key.
int Blur(CImage& dst, BYTE mode, const RECT* rect);
// Blocks of blockSize take their top-left pixel; alignment: 1 top-left, 2 right, 3 bottom,
// 4 bottom-right, others centred. Block sizes below 2 and rectangles below 3 x 3 change nothing.
// 0 done; 1 no pixels. Clears the colour key when it draws.
int Mosaic(CImage& dst, DWORD blockSize, BYTE alignment, const RECT* rect);
