// Row kernels of the blend-mode operations: cross-fade at a level, per-channel mix of source and
// destination, average, saturating add and subtract, and the alpha-aware cross-fade. Arguments as
// every row kernel: destination and source first pixels, row skips in bytes (scaled kernels: the
// source pitch and the stepping record instead of the source skip), width and height (at least 1),
// then the kernel's own. The "Mmx" twins are SSE2 and give exactly the plain results.
#pragma once

#include "raster/row_kernels.h"
#include "winapi/base.h"

#include <cstdint>

// Cross-fade and mix: each colour byte becomes min(255, mul(fd, d) + mul(fs, s)) with fd, fs the
// channel's byte of dstFactors and srcFactors (packed RGB) and mul the rounded multiply table;
// alpha is kept. (A mix whose sum passes 255 saturates rather than wrapping.)
void CrossFadeRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                     DWORD dstFactors, DWORD srcFactors);
void CrossFadeRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                           const StretchState& step, DWORD dstFactors, DWORD srcFactors);
// Keyed: source pixels whose whole value equals key are skipped.
void CrossFadeKeyRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, DWORD key,
                        DWORD dstFactors, DWORD srcFactors);
void CrossFadeKeyRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                              const StretchState& step, DWORD key, DWORD dstFactors, DWORD srcFactors);
// SIMD cross-fade at level l: the plain rule with dstFactors 255 - l and srcFactors l.
void CrossFadeRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE level);
void CrossFadeRows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                              const StretchState& step, BYTE level);
void CrossFadeKeyRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                           BYTE level, DWORD key);
void CrossFadeKeyRows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                 const StretchState& step, BYTE level, DWORD key);
// SIMD mix: the plain rule of CrossFadeRows32.
void MixRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, DWORD dstFactors,
                  DWORD srcFactors);
void MixRows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                        const StretchState& step, DWORD dstFactors, DWORD srcFactors);
void MixKeyRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, DWORD key,
                     DWORD dstFactors, DWORD srcFactors);
void MixKeyRows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                           const StretchState& step, DWORD key, DWORD dstFactors, DWORD srcFactors);

// Alpha-aware cross-fade at level l (1..254): both alphas non-zero: all four bytes become
// mul(255 - l, d) + mul(l, s); source alpha 0: colour kept, alpha mul(255 - l, dA); destination
// alpha 0 (source alpha not): colour copied, alpha mul(l, sA).
void CrossFadeAlphaAwareRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                               BYTE level);
// Its SIMD twin.
void CrossFadeAlphaAwareRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                                  BYTE level);

// The three blend modes: 0 average (colour floor((d + s) / 2), alpha d AND s), 1 saturating add,
// 2 saturating subtract (all four bytes saturate). Keyed kernels skip source pixels equal to key;
// the others ignore key.
using BlendModeKernel = void (*)(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                                 DWORD key);
using BlendModeScaledKernel = void (*)(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                       int height, const StretchState& step, DWORD key);
// The kernel for a mode (0..2; null for other modes), keyed or not, plain or SIMD.
BlendModeKernel BlendModeRows32(int mode, bool keyed, bool simd);
BlendModeScaledKernel BlendModeRows32Scaled(int mode, bool keyed, bool simd);
