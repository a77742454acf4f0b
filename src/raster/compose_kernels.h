// Row kernels of the opacity, compositing and rule-blend operations. Arguments as every row kernel
// (destination, source, row skips, width, height; scaled kernels the source pitch and stepping
// record), then their own. With f the opacity factor of a level (level + 1, 0 for 0), per colour
// byte: blend = d + floor((s - d) f / 256), add = min(255, d + floor(s f / 256)),
// sub = max(0, d - floor(s f / 256)); alpha is kept unless a kernel says otherwise. The "Mmx" twins
// are SSE2 and give exactly the plain results.
#pragma once

#include "raster/row_kernels.h"
#include "winapi/base.h"

// Add / subtract the source by the factor of opacity.
void AddBlendRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE opacity);
void AddBlendRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE opacity);
void SubBlendRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE opacity);
void SubBlendRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE opacity);

// By the source alpha through table (row `opacity` of the multiply table): e = table[sA], then
// blend (mode 0), add (1) or subtract (2) by the factor of e.
using AlphaTableKernel = void (*)(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                                  const BYTE* table);
using AlphaTableScaledKernel = void (*)(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                        int height, const StretchState& step, const BYTE* table);
void BlendAlphaTableRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                           const BYTE* table);
void BlendAlphaTableRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                              const BYTE* table);
void BlendAlphaTableAddRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                              const BYTE* table);
void BlendAlphaTableAddRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                                 const BYTE* table);
void BlendAlphaTableSubRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                              const BYTE* table);
void BlendAlphaTableSubRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                                 const BYTE* table);
void BlendAlphaTableRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                 const StretchState& step, const BYTE* table);
void BlendAlphaTableRows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                    const StretchState& step, const BYTE* table);
void BlendAlphaTableAddRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                    const StretchState& step, const BYTE* table);
void BlendAlphaTableAddRows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                       int height, const StretchState& step, const BYTE* table);
void BlendAlphaTableSubRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                    const StretchState& step, const BYTE* table);
void BlendAlphaTableSubRows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                       int height, const StretchState& step, const BYTE* table);

// Alpha over alpha: e = table[sA], w = source weight[dA][e]; colour blended by the factor of w;
// alpha := alpha union[dA][e].
void AlphaOnAlphaRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                        const BYTE* table);
void AlphaOnAlphaRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                           const BYTE* table);
void AlphaOnAlphaRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                              const StretchState& step, const BYTE* table);
void AlphaOnAlphaRows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                 const StretchState& step, const BYTE* table);

// Rule blends: r = the rule byte (rule image aligned with the source, ruleSkip = its pitch minus the
// width), or the source alpha when rule is null. RuleBlend: blend by the factor of levels[r].
// RuleBlendAlpha: blend by the factor of mul(levels[r], sA).
void RuleBlendRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                     const BYTE* rule, int ruleSkip, const BYTE* levels);
void RuleBlendRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                        const BYTE* rule, int ruleSkip, const BYTE* levels);
void RuleBlendAlphaRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                          const BYTE* rule, int ruleSkip, const BYTE* levels);
void RuleBlendAlphaRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                             const BYTE* rule, int ruleSkip, const BYTE* levels);
