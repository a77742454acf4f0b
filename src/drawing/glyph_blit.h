// The glyph blitters: a glyph's coverage laid over an 8- or 32-bit target at a position, clipped
// to the target's clip rectangle, in one colour or per row (or column) from a gradient table.
#pragma once

#include "drawing/glyph_cache.h"
#include "raster/surface.h"

#include <cstdint>

enum class GlyphBlit {
    SolidMask,  // pixel set where coverage >= 128; 8-bit targets take the red byte as the index
    Coverage,   // blended by coverage (8 and 32 bits)
    Coverage32, // blended by coverage, 32-bit targets only
};

struct GlyphInk {
    uint32_t rgb = 0; // 0x00RRGGBB
    // Gradient: colour of glyph row (or column) i is ramp[start + i]; rows past the ramp are not drawn.
    const uint32_t* ramp = nullptr;
    int rampCount = 0;
    int rampStart = 0;
    bool columns = false;
};

// False when nothing of the glyph lies on the target (or it cannot take the blit); clipped (when
// given) receives the rectangle drawn.
bool BlitGlyph(CSurface* target, const CGlyphBitmap& glyph, int32_t x, int32_t y, GlyphBlit kind,
               const GlyphInk& ink, RECT* clipped);

// The clipped rectangle a glyph placed at (x, y) covers on the target; false when none.
bool ClipGlyphRect(const CSurface* target, int32_t x, int32_t y, uint32_t width, uint32_t height, RECT* out);

// Adds r to the union in *into (an empty *into takes r).
void UniteRect(RECT* into, const RECT& r);

// The glyph's coverage written into the alpha bytes of a 32-bit target at (x, y), clipped: copied,
// or united with the alpha already there.
void WriteCoverageAlpha(CSurface* target, const CGlyphBitmap& glyph, int32_t x, int32_t y, bool unite);
// The colour bytes of a rectangle of a 32-bit target set to rgb, alpha kept; clipped.
void FillColourKeepAlpha(CSurface* target, const RECT& box, uint32_t rgb);
