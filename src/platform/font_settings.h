// Frame settings that the glyph fonts read. The application copies them from its settings before
// the display is made.
#pragma once

#include <cstdint>

// 0: the glyph rasteriser thickens bold glyphs itself; non-zero: it relies on the bold GDI font
// (except for the enlarged fallback glyphs).
extern uint8_t g_bBoldByGdiFont;
// Read when a glyph font is made: its low 16 bits are the glyph cache's entry limit (0: no cache).
extern uint32_t g_GlyphCacheLimit;
