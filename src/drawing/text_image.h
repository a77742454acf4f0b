// Texts drawn into images, and images made just large enough to hold a text. A null font means
// g_pDefaultFont.
#pragma once

#include "drawing/font.h"

#include <cstdint>

class CImage;

// 0 ok; 1 empty or null text; 2 no font and no default; 3 the image could not be made (or would
// lie past the picture limit); 4 drawing failed (the image is destroyed).
int CreateTextImage(CImage* image, const char* text, CFont* font, uint32_t createFlags);
// GDI fonts through the image's own DC. 0 ok; 1 no DC or empty text; 2 no GDI font; 3 drawing
// failed; 4 the text measures no lines.
int DrawTextRotated(CImage* image, int32_t x, int32_t y, const char* text, CFont* font);
// Through the font's DrawText. 0 ok; 1 no pixels or empty text; 2 no font; DrawText's code + 2.
int DrawTextIntoImage(CImage* image, int32_t x, int32_t y, const char* text, CFont* font);
// Glyph fonts through DrawString. Codes as DrawTextIntoImage (2 also for a GDI font).
int DrawGlyphTextIntoImage(CImage* image, int32_t x, int32_t y, const char* text, CFont* font);
