// The blended step of the picture changes (sp_cfade) in one pass: each pixel of the work area is
// written once from the old and the new picture, giving exactly what the four-pass form gives
// (clear the new picture's place, copy the old picture, fade the old-only strips' alpha, then
// the alpha-aware cross-fade of the new picture). Rows come as plain, SSE2 and AVX2 twins; the
// SIMD level picks between the last two.
#pragma once

#include <cstdint>

#include "effects/rect_split.h"

class CImage;

// What one run of a row holds: the old picture only, the new one only, or both.
enum class EChangeRun { kOld, kNew, kBoth };

// count pixels of a run at level (0..255) into dst; old and fresh point at the run's first
// source pixels (the one not used by the run may be null). simd false: the plain rows.
void ChangeBlendRun(uint32_t* dst, const uint32_t* old, const uint32_t* fresh, int count, EChangeRun run,
                    uint8_t level, bool simd);

// The four-pass form: clear the new picture's place (split.refresh[1]), copy the old picture, fade
// the alpha of split's old-only strips, cross-fade the new picture (alpha-aware); any depths.
void DrawChangeBlendPasses(CImage& work, const RectSplit& split, const CImage& oldImage,
                           const RECT& oldSource, LONG oldX, LONG oldY, const CImage& newImage,
                           const RECT& newSource, LONG newX, LONG newY, uint8_t level);

// Draws the blend of the two pictures into work at level: the old picture's rectangle src at
// (oldX, oldY), the new one's at (newX, newY) (work coordinates, the rectangles of split). False
// (nothing drawn) when a picture is not 32 bits or a rectangle leaves its picture or the work
// image; the caller then takes the four-pass form.
bool DrawChangeBlend(CImage& work, const CImage& oldImage, const RECT& oldSource, LONG oldX, LONG oldY,
                     const CImage& newImage, const RECT& newSource, LONG newX, LONG newY, uint8_t level,
                     bool simd);
