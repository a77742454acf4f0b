// The glyph font: characters rasterised one at a time with GetGlyphOutlineA, kept in a glyph cache
// and composed by the font itself, with gradient colours, weighted outlines and inline pictures.
#pragma once

#include "drawing/font.h"
#include "drawing/glyph_cache.h"
#include "raster/blend_tables.h"

#include <cstdint>

class CImage;
class CImageGlyphTable;

class CGlyphFont : public CFont {
public:
    CGlyphFont();
    ~CGlyphFont() override;

    bool IsGlyphFont() const override { return true; }
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

    // Blends over 32-bit targets only. 0 drawn; 1 no font, no target or no pixels.
    int DrawString(CSurface* target, int32_t x, int32_t y, const char* text, RECT* drawn, POINT* end);

    // 0 ok; a gradient-table build failure's code (the gradient is then off).
    int SetGradient(uint8_t on, uint32_t top, uint32_t bottom, uint8_t build);
    void SetOutline(int32_t strength, int32_t radius);
    // Makes the image-glyph table on first use and loads a sheet into it; Load's codes.
    int LoadImageGlyphs(const char* sheet, int32_t count, int32_t cellWidth, int32_t cellHeight,
                        uint32_t flags);
    // As LoadImageGlyphs, from a sheet already in memory; Cut's codes.
    int CutImageGlyphs(const CImage& sheet, int32_t count, int32_t cellWidth, int32_t cellHeight,
                       uint32_t flags);
    // Shares another font's table (or drops this one's with null).
    void ShareImageGlyphs(CImageGlyphTable* table);

    // The coverage of one character (or picture index); null when there is none. With the cache
    // off the caller releases a non-picture glyph (ReleaseGlyph).
    CGlyphBitmap* GetGlyph(uint32_t code, int32_t height, uint8_t outlined, uint8_t bold, uint8_t italic,
                           uint8_t picture);
    // Drops a glyph that GetGlyph gave out when the cache does not own it.
    void DoneWithGlyph(CGlyphBitmap* glyph, bool picture);

    CGlyphCache m_cache;
    CImageGlyphTable* m_imageGlyphs = nullptr;
    uint32_t m_gradientTop = 0xFFFFFF;
    uint32_t m_gradientBottom = 0;
    CGradientRamp m_gradient;
    uint8_t m_gradientOn = 0;
    HFONT m_hRegularFont = nullptr;
    HDC m_hRegularDC = nullptr;
    int32_t m_outlineStrength = 1024;
    int32_t m_outlineRadius = 2;
    int32_t m_outlineKernel = 1872;
    int32_t m_baselineX = 0;
    int32_t m_baselineY = 0;

private:
    // A character's measured width through the measuring DC, remembered: the lookups behind
    // GetTextExtentPoint32A cost more than the sum they feed. Forgotten when the font is rebuilt.
    int32_t MeasuredWidth(HDC measure, uint32_t code);
    void ForgetWidths();
    struct KnownWidth {
        uint32_t code = 0; // 0: empty
        int32_t width = 0;
    };
    KnownWidth m_widths[256];
    HDC m_widthsDc = nullptr;

    void EmptyCache();
    void DropImageGlyphs();
    // The table, made on first use with the font's direction and outline; null without memory.
    CImageGlyphTable* ImageGlyphs();
    CGlyphBitmap* Rasterise(uint32_t code, int32_t height, uint8_t bold);
    // The outline of a plain glyph at the font's strength and radius, as a new glyph; null without
    // memory.
    CGlyphBitmap* Outline(const CGlyphBitmap& plain);
    int PenLoop(CSurface* target, int32_t x, int32_t y, const char* text, RECT* drawn, POINT* end, int mode);
};
