// The GDI font: whole lines drawn with TextOutA into a work DIB (at size, or four times larger and
// reduced to coverage) and laid over the target with the glyph blitters.
#pragma once

#include "drawing/font.h"

#include <cstdint>

class CImage;

class CGdiFont : public CFont {
public:
    CGdiFont() = default;
    ~CGdiFont() override;

    bool IsGlyphFont() const override { return false; }
    void Release() override;
    int SetFont(int32_t height, uint8_t bold, uint8_t italic, const char* face) override;
    int Rebuild() override;
    int SetFaceName(const char* face) override;
    int SetHeight(int32_t height) override;
    int SetStyle(uint8_t bold, uint8_t italic) override;
    int SetAngle(int32_t tenths) override;
    void SetAntialias(uint8_t mode) override;
    int MeasureString(const char* text, SIZE* size, int32_t* offsetX, int32_t* offsetY, uint8_t withEffect,
                      int32_t* charCount) override;
    int DrawText(CSurface* target, int32_t x, int32_t y, const char* text, RECT* drawn, POINT* end) override;
    int DrawTextWithAlpha(CSurface* target, int32_t x, int32_t y, const char* text, RECT* drawn,
                          POINT* end) override;

    void SetBackground(uint8_t transparent, uint8_t red, uint8_t green, uint8_t blue);
    int SetUnderlineStrikeout(uint8_t underline, uint8_t strikeout);
    int SetQuality(uint8_t quality);
    // Draws with GDI into a DC that holds a bitmap; 1 when the font has no handle or the text is null.
    int DrawToDib(HDC dc, int32_t x, int32_t y, const char* text);

    uint8_t m_transparent = 1;

private:
    // The text rendered white (or grey 15 at four times the size, then reduced) into an 8-bit work
    // plane of the measured size; false when the work DIB cannot be made.
    bool RenderCoverage(const char* text, int width, int height, int offsetX, int offsetY, bool outlineToo,
                        CImage* plane);
    // Measures the text with its effects and renders its coverage at that size.
    bool MeasureAndRender(const char* text, SIZE* size, int32_t* offsetX, int32_t* offsetY, CImage* plane);
};
