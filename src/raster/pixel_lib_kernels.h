// AVX2 row kernels of our pixel library, for the modes its callers use most: each gives exactly
// the result of the raster's plain kernel named beside it, and skips the arithmetic of 8- and
// 16-pixel groups that are wholly clear or wholly opaque. The entries call them only while the
// SIMD level allows AVX2 (UseAvx2()) and g_bUseMmx is set. Arguments as every row kernel:
// destination, source, row skips (bytes past the row), width, height.
#pragma once

#include "winapi/base.h"

namespace pixel_lib {

// Alpha over alpha at opacity o (1..255): AlphaOnAlphaRows32 with row o of the multiply table.
void AlphaOnAlphaRowsAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                          BYTE o);
// Alpha over alpha of src over under, written to dst (apart from both): what copying under to
// dst and then AlphaOnAlphaRowsAvx2 gives, in one pass. Opaque source groups do not read under.
void AlphaOnAlphaOverRowsAvx2(BYTE* dst, const BYTE* under, const BYTE* src, int dstSkip, int underSkip, int srcSkip,
                              int width, int height, BYTE o);
// The same sixteen pixels a step, for callers while UseAvx512Bw() holds.
void AlphaOnAlphaOverRowsAvx512(BYTE* dst, const BYTE* under, const BYTE* src, int dstSkip, int underSkip,
                                int srcSkip, int width, int height, BYTE o);
// Adds the source by the factor of o, alpha kept: AddBlendRows32, sixteen pixels a step, for
// callers while UseAvx512Bw() holds.
void AddRowsAvx512(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE o);
// By the factor of mul(o, sA), destination alpha kept: BlendAlphaTableRows32 with row o.
void BlendByLevelRowsAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                          BYTE o);
// The same sixteen pixels a step, for callers while UseAvx512Bw() holds.
void BlendByLevelRowsAvx512(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE o);
// Colour bytes := mul(255 - o, d) + mul(o, c), alpha kept (o 1..254): the cross-fade towards a
// picture of the colour rgb.
void FillColorRowsAvx2(BYTE* dst, int dstSkip, int width, int height, DWORD rgb, BYTE o);

// Two sources faded into the destination in one pass (o 1..254): colour bytes min(255, mul(255 - o,
// a) + mul(o, b)), the alpha of a; what copying a and then cross-fading b over it gives.
void CrossFadeRowsAvx2(BYTE* dst, const BYTE* a, const BYTE* b, int dstSkip, int aSkip, int bSkip, int width,
                       int height, BYTE o);
// The same pixels sixteen a step through byte tables, for callers while UseAvx512Vbmi() holds.
void CrossFadeRowsAvx512(BYTE* dst, const BYTE* a, const BYTE* b, int dstSkip, int aSkip, int bSkip,
                         int width, int height, BYTE o);

// A rule fade of two sources in one pass, for callers while UseAvx512Bw() holds: what copying a
// to dst and then RuleBlendRows32 of b by the rule bytes through levels gives (the rule's rows
// ruleSkip bytes apart past their width).
void RuleFadeRowsAvx512(BYTE* dst, const BYTE* a, const BYTE* b, int dstSkip, int aSkip, int bSkip, int width,
                        int height, const BYTE* rule, int ruleSkip, const BYTE* levels);

} // namespace pixel_lib
