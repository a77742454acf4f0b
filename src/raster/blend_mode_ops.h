// Blend-mode operations on an image (the destination): cross-fade at a level, per-channel mix,
// average / saturating add / saturating subtract, and the alpha-aware cross-fade, each unscaled
// and (the first three) stretched into a destination size. x, y place the source rectangle
// (null: the source's clip rectangle); dstSize null = the destination's own size.
//
// Results: 0 drawn, or nothing to do (level or factors 0, nothing left after clipping);
// 1 the destination has no pixels, the source is null or has none; 2 either side is not 32-bit.
#pragma once

#include "raster/image.h"

int CrossFade(CImage& dst, const CSurface* src, BYTE level, LONG x, LONG y, const RECT* srcRect);
int StretchCrossFade(CImage& dst, const CSurface* src, BYTE level, const SIZE* dstSize, LONG x, LONG y,
                     const RECT* srcRect);
// Each colour byte := min(255, mul(dstFactor, d) + mul(srcFactor, s)); factors packed RGB.
int MixChannels(CImage& dst, const CSurface* src, DWORD dstFactors, DWORD srcFactors, LONG x, LONG y,
                const RECT* srcRect);
int StretchMixChannels(CImage& dst, const CSurface* src, DWORD dstFactors, DWORD srcFactors, const SIZE* dstSize,
                       LONG x, LONG y, const RECT* srcRect);
// Mode 0 average, 1 saturating add, 2 saturating subtract; other modes draw nothing but still
// mark the clipped rectangle changed.
int BlendMode(CImage& dst, BYTE mode, const CSurface* src, LONG x, LONG y, const RECT* srcRect);
int StretchBlendMode(CImage& dst, BYTE mode, const CSurface* src, const SIZE* dstSize, LONG x, LONG y,
                     const RECT* srcRect);
// Level 255 is a plain copy (the copy's result); level 0 does nothing.
int CrossFadeAlphaAware(CImage& dst, const CSurface* src, BYTE level, LONG x, LONG y, const RECT* srcRect);
