// Mask blend kernels: a run of colours laid over a rectangle of 32-bit pixels, weighted pixel by
// pixel by an 8-bit mask through a level table (row L of the multiply table for opacity L). The
// "Image" kernels take colours[column] (the same run for every row), the "Color" kernels
// colours[row]. With level = levels[m] and f its opacity factor, each colour byte becomes
// d + floor((s - d) f / 256). The "OnAlpha" kernels composite over the destination alpha a instead:
// f is the factor of source weight[a][level] and the alpha becomes alpha union[a][level].
//
// Arguments: (destination, mask, destination step, mask step, width, height, colours, levels),
// width and height at least 1, no clipping. Plain kernels take the steps as full pitches; the SSE2
// "Mmx" twins as the bytes to skip after a row (pitch - 4 x width, mask pitch - width). Twins give
// exactly the plain results.
#pragma once

#include "winapi/base.h"

#include <cstdint>

using MaskBlendKernel = void (*)(BYTE* dst, const BYTE* mask, int dstStep, int maskStep, int width, int height,
                                 const uint32_t* colors, const BYTE* levels);

void BlendImageByMaskRows32(BYTE* dst, const BYTE* mask, int dstPitch, int maskPitch, int width, int height,
                            const uint32_t* colors, const BYTE* levels);
void BlendImageByMaskRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                               const uint32_t* colors, const BYTE* levels);
void BlendColorByMaskRows32(BYTE* dst, const BYTE* mask, int dstPitch, int maskPitch, int width, int height,
                            const uint32_t* colors, const BYTE* levels);
void BlendColorByMaskRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                               const uint32_t* colors, const BYTE* levels);
void BlendImageByMaskOnAlphaRows32(BYTE* dst, const BYTE* mask, int dstPitch, int maskPitch, int width,
                                   int height, const uint32_t* colors, const BYTE* levels);
void BlendImageByMaskOnAlphaRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width,
                                      int height, const uint32_t* colors, const BYTE* levels);
void BlendColorByMaskOnAlphaRows32(BYTE* dst, const BYTE* mask, int dstPitch, int maskPitch, int width,
                                   int height, const uint32_t* colors, const BYTE* levels);
void BlendColorByMaskOnAlphaRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width,
                                      int height, const uint32_t* colors, const BYTE* levels);
