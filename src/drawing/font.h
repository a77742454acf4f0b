// The abstract font that every text of the system is measured and drawn through, the default
// font that serves calls made without one, and the helpers shared by both kinds of font: the
// text angle as cosine and sine, and the turned bounding box of a text.
#pragma once

#include "raster/surface.h"
#include "winapi/gdi.h"

#include <cstdint>

class CFont {
public:
    CFont();
    virtual ~CFont();
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    // Virtual operations, in slot order.
    virtual bool IsGlyphFont() const = 0;
    // Deletes the DCs and font handles.
    virtual void Release() = 0;
    // Height (stored as -|height|), weight 700/400, italic, face (null keeps it); then Rebuild.
    virtual int SetFont(int32_t height, uint8_t bold, uint8_t italic, const char* face) = 0;
    // 0 ok; 1 the (regular-weight) font could not be made; 2 a glyph font's main font failed.
    virtual int Rebuild() = 0;
    // Null face: 2 (GDI font) or 3 (glyph font); the same face: 0 with nothing done; else Rebuild's.
    virtual int SetFaceName(const char* face) = 0;
    // -|height| unchanged: 0; else Rebuild's result.
    virtual int SetHeight(int32_t height) = 0;
    virtual int SetStyle(uint8_t bold, uint8_t italic) = 0;
    // Tenths of a degree; unchanged: 0; else Rebuild's result.
    virtual int SetAngle(int32_t tenths) = 0;
    virtual void SetAntialias(uint8_t mode) = 0;
    // The number of lines (0 for a null text or a font without DC, size untouched).
    virtual int MeasureString(const char* text, SIZE* size, int32_t* offsetX, int32_t* offsetY,
                              uint8_t withEffect, int32_t* charCount) = 0;
    // 0 drawn; 1 no font, no target or no pixels; 2 no work surface.
    virtual int DrawText(CSurface* target, int32_t x, int32_t y, const char* text, RECT* drawn,
                         POINT* end) = 0;
    // As DrawText into a 32-bit target, writing coverage into the alpha channel; 1 also for other depths.
    virtual int DrawTextWithAlpha(CSurface* target, int32_t x, int32_t y, const char* text, RECT* drawn,
                                  POINT* end) = 0;

    // Plain setters of the shared fields.
    void SetTextColor(uint8_t r, uint8_t g, uint8_t b);
    void SetEffect(uint8_t mode, uint8_t r, uint8_t g, uint8_t b);
    void SetShadowOffset(int32_t x, int32_t y);
    void SetLineSpacing(int32_t spacing) { m_lineSpacing = spacing; }

    HFONT m_hFont = nullptr;
    HDC m_hDC = nullptr;
    LOGFONTA m_logFont{};
    uint8_t m_antialias = 2;
    uint8_t m_textColor[3] = {255, 255, 255};
    uint8_t m_effectMode = 0; // 0 none, 1 shadow, 2 outline
    uint8_t m_effectColor[3] = {0, 0, 0};
    int32_t m_shadowX = 0;
    int32_t m_shadowY = 0;
    int32_t m_lineSpacing = 0;
    uint8_t m_bgColor[3] = {0, 255, 0};

protected:
    // A memory DC compatible with the screen, made when there is none; false when it cannot be.
    static bool EnsureDc(HDC* dc);
    static void FreeDcAndFont(HDC* dc, HFONT* font);
    // A font made from the description and selected into *dc (made when there is none) in place of
    // *font; false (nothing changed) when either cannot be made.
    static bool ReplaceFont(const LOGFONTA& description, HDC* dc, HFONT* font);
    // -|height|, within 32 bits.
    static int32_t NegativeHeight(int32_t height);
    // Copies a face name into lfFaceName, cut before a character that would not fit whole (a name of
    // 32 bytes or more used to run past it).
    void CopyFaceName(const char* face);
    bool SameFaceName(const char* face) const;
    // A measured size grown by the effect: the shadow's offsets, or an outline of the radius on
    // every side; the offsets say where the grown box starts.
    void AddEffectRoom(int64_t* width, int64_t* height, int32_t* offsetX, int32_t* offsetY,
                       int32_t radius) const;
    static void StoreSize(SIZE* size, int64_t width, int64_t height);
};

// Serves every text operation called without a font; borrowed, never deleted through it.
extern CFont* g_pDefaultFont;

// The text angle as 16.16 cosine and sine from g_pCosTable; turned is false at angle 0 or
// without the table (then c = 65536, s = 0).
struct TextTurn {
    bool turned;
    int32_t c;
    int32_t s;
};
TextTurn GetTextTurn(int32_t tenths);
// (a × b) >> 16 in 64 bits, cut to 32 bits.
int32_t MulFixed(int64_t a, int64_t b);
// The step from one line's start to the next (lineStep pixels down the text) and the shadow
// offset, both turned by the font's angle (the shadow stays as set at 2700).
void TurnLineStep(const CFont& font, int64_t lineStep, POINT* step, POINT* shadow);
void MoveRect(RECT* r, int32_t dx, int32_t dy);
// a + b kept within ±2^30 (far outside any target), so that positions never overflow.
int32_t AddClamped(int64_t a, int64_t b);

// The bounding rectangle of a width × height box at (x, y) turned by the font's angle.
void RotateRectToQuad(CFont* font, RECT* out, int32_t x, int32_t y, int32_t width, int32_t height);

// One step of a Shift-JIS text: a lead byte takes its trail (a lead byte before the NUL is one
// byte); "@@" is a literal "@", "@" and up to seven digits a picture. Returns the bytes used.
struct TextChar {
    enum Kind { Char, LineFeed, Picture } kind;
    uint32_t code; // character code, or picture index
};
int NextTextChar(const char* text, TextChar* out);

// Characters of a text (a double-byte character, a picture escape and "@@" counting one each); 0
// for null.
uint32_t CountChars(const char* text);
