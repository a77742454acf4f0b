// GDI fonts of the Windows stand-in: logical fonts, text metrics, glyph outlines, text output and
// font enumeration, served by FreeType (one lock, each face file opened once), fontconfig and
// HarfBuzz. Japanese Windows face names map to the IPA fonts. gdi.h includes this header.
#pragma once

#include "winapi/base.h"

#define LF_FACESIZE 32
#define LF_FULLFACESIZE 64

// Weights.
#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_SEMIBOLD 600
#define FW_BOLD 700

// Character sets.
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SHIFTJIS_CHARSET 128

// Precision and quality bytes.
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define DRAFT_QUALITY 1
#define PROOF_QUALITY 2
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4

// Pitch and family.
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30

// Font types of the enumeration.
#define RASTER_FONTTYPE 0x0001
#define DEVICE_FONTTYPE 0x0002
#define TRUETYPE_FONTTYPE 0x0004

// Background modes.
#define TRANSPARENT 1
#define OPAQUE 2

// GetGlyphOutlineA formats.
#define GGO_METRICS 0
#define GGO_BITMAP 1
#define GGO_NATIVE 2
#define GGO_GRAY2_BITMAP 4
#define GGO_GRAY4_BITMAP 5
#define GGO_GRAY8_BITMAP 6
#define GDI_ERROR 0xFFFFFFFFu

// The stock font every DC starts with.
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17

struct LOGFONTA {
    LONG lfHeight; // < 0: em height in pixels; > 0: cell height; 0: the default size
    LONG lfWidth;
    LONG lfEscapement; // tenths of a degree, counterclockwise
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE]; // Shift-JIS; NUL-terminated or filling all 32 bytes
};
using LPLOGFONTA = LOGFONTA*;

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily; // FIXED_PITCH for monospaced faces, else VARIABLE_PITCH
    BYTE tmCharSet;
};
using LPTEXTMETRICA = TEXTMETRICA*;

struct NEWTEXTMETRICA {
    TEXTMETRICA tm;
    DWORD ntmFlags;
    UINT ntmSizeEM;
    UINT ntmCellHeight;
    UINT ntmAvgWidth;
};

struct FONTSIGNATURE {
    DWORD fsUsb[4];
    DWORD fsCsb[2];
};

struct NEWTEXTMETRICEXA {
    NEWTEXTMETRICA ntmTm;
    FONTSIGNATURE ntmFontSig;
};

struct ENUMLOGFONTEXA {
    LOGFONTA elfLogFont;
    BYTE elfFullName[LF_FULLFACESIZE];
    BYTE elfStyle[LF_FACESIZE];
    BYTE elfScript[LF_FACESIZE];
};

struct FIXED {
    WORD fract;
    SHORT value;
};

struct MAT2 {
    FIXED eM11;
    FIXED eM12;
    FIXED eM21;
    FIXED eM22;
};

struct GLYPHMETRICS {
    UINT gmBlackBoxX;
    UINT gmBlackBoxY;
    POINT gmptGlyphOrigin; // left and top of the black box from the origin, y upwards
    SHORT gmCellIncX;
    SHORT gmCellIncY;
};

// The enumeration callback receives an ENUMLOGFONTEXA and a NEWTEXTMETRICEXA through these
// pointers; 0 stops the enumeration.
using FONTENUMPROCA = int(CALLBACK*)(const LOGFONTA* font, const TEXTMETRICA* metrics, DWORD fontType,
                                     LPARAM lParam);

// A font from the description; null for a null description, an em above 4096 pixels or no face.
HFONT WINAPI CreateFontIndirectA(const LOGFONTA* font);
// The metrics of the DC's font; FALSE for a bad DC or a null record.
BOOL WINAPI GetTextMetricsA(HDC hdc, TEXTMETRICA* metrics);
// cx: the sum of the characters' advances; cy: tmHeight. FALSE for a bad DC or null arguments.
BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, SIZE* size);
// One character (lead × 256 + trail, or the byte) in the format asked: the bytes needed when the
// buffer is null, else the bytes written; 0 for a character without ink (a space) in the bitmap
// formats; GDI_ERROR for a bad DC, another format, a code without a glyph or a buffer too small.
DWORD WINAPI GetGlyphOutlineA(HDC hdc, UINT code, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize,
                              LPVOID buffer, const MAT2* matrix);
// Draws count bytes with the DC's font from the first cell's top-left along the escapement.
// FALSE for a bad DC or a DC without pixels.
BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR text, int count);
// Previous colour; CLR_INVALID for a bad DC.
COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color);
COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color);
// Previous mode (TRANSPARENT or OPAQUE); 0 for a bad DC or another mode.
int WINAPI SetBkMode(HDC hdc, int mode);
// Calls proc once for each installed family and character set that matches font's lfCharSet
// (DEFAULT_CHARSET: all) and lfFaceName (empty: all); the last answer of proc, or 1 when it was
// never called.
int WINAPI EnumFontFamiliesExA(HDC hdc, const LOGFONTA* font, FONTENUMPROCA proc, LPARAM lParam, DWORD flags);

namespace winapi {

// Stand-in extension for tests: while set, GetGlyphOutlineA answers GDI_ERROR to the grey formats.
void SetGreyGlyphFormatsRefused(bool refused);

} // namespace winapi
