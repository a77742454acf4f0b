// Opacity, compositing and rule-blend operations: a 32-bit source drawn onto a 32-bit image with an
// opacity (added, subtracted, by the source alpha, composited over the destination alpha), and the
// rule blends that reveal or hide the source in the order of an 8-bit rule image. x, y place the
// source rectangle (null: the source's clip rectangle); dstSize null = the image's own size.
//
// Results: 0 drawn or nothing to draw (opacity or level 0, progress 0 or 512, nothing left after
// clipping, a mode outside 0..2); 1 the destination has no pixels, the source is null or has none;
// 2 either side is not 32-bit (BlendAlphaByRule: also a null, empty or non-8-bit rule image);
// 3 (rule blends) progress above 512, softness 0 or above 511; 4 a rule image that is empty, not
// 8-bit (BlendByRule) or smaller than the drawn part of the source needs.
#pragma once

#include "raster/image.h"

// Every pixel added (subtracted) by the factor of the opacity, saturating; alpha kept.
int AddBlendOpacity(CImage& dst, const CSurface* src, BYTE opacity, LONG x, LONG y, const RECT* srcRect);
int SubBlendOpacity(CImage& dst, const CSurface* src, BYTE opacity, LONG x, LONG y, const RECT* srcRect);
// e = mul(opacity, source alpha); mode 0 blends, 1 adds, 2 subtracts by the factor of e. A mode
// outside 0..2 draws nothing but marks the clipped rectangle.
int BlendAlphaTable(CImage& dst, BYTE mode, const CSurface* src, BYTE opacity, LONG x, LONG y, const RECT* srcRect);
int StretchBlendAlphaTable(CImage& dst, BYTE mode, const CSurface* src, BYTE opacity, const SIZE* dstSize, LONG x,
                           LONG y, const RECT* srcRect);
// The source with its alpha laid over a destination with its own alpha.
int BlendAlphaOnAlpha(CImage& dst, const CSurface* src, BYTE opacity, LONG x, LONG y, const RECT* srcRect);
int StretchBlendAlphaOnAlpha(CImage& dst, const CSurface* src, BYTE opacity, const SIZE* dstSize, LONG x, LONG y,
                             const RECT* srcRect);
// Progress 0..512 reveals (up to 256) and hides again (from 257) the source in rule order with a
// soft edge `softness` rule steps wide; rule null = the source alpha serves as the rule.
int BlendByRule(CImage& dst, const CSurface* src, const CSurface* rule, BYTE level, int progress, int softness,
                LONG x, LONG y, const RECT* srcRect);
// As BlendByRule, the opacity further scaled by the source alpha; the rule image is required.
int BlendAlphaByRule(CImage& dst, const CSurface* src, const CSurface* rule, BYTE level, int progress, int softness,
                     LONG x, LONG y, const RECT* srcRect);

// The 256-entry opacity table of a rule blend (entry r = the opacity for rule value r).
void BuildRuleLevels(BYTE level, int progress, int softness, BYTE* table);
