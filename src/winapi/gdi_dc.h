// Device contexts, GDI objects and blits of the Windows stand-in. A DC draws into one pixel store:
// the DIB section selected into a memory DC, a caller-owned buffer (winapi/gdi_memory_dc.h), a
// window's backing store (GetDC of a window) or nothing (the screen's information DC).
#pragma once

#include "winapi/base.h"
#include "winapi/gdi_bitmap.h"

// Raster operations: the stand-in copies (SRCCOPY) only.
#define SRCCOPY 0x00CC0020u

// Stretch modes (every mode samples the nearest pixel here).
#define BLACKONWHITE 1
#define WHITEONBLACK 2
#define COLORONCOLOR 3
#define HALFTONE 4
#define STRETCH_DELETESCANS COLORONCOLOR

// GetDeviceCaps indexes.
#define DRIVERVERSION 0
#define TECHNOLOGY 2
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define RASTERCAPS 38
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define SIZEPALETTE 104
#define VREFRESH 116
#define DESKTOPVERTRES 117
#define DESKTOPHORZRES 118
#define DT_RASDISPLAY 1
#define RC_BITBLT 0x0001
#define RC_DI_BITMAP 0x0080
#define RC_DIBTODEV 0x0200
#define RC_STRETCHBLT 0x0800
#define RC_STRETCHDIB 0x2000

// GetObjectType / GetCurrentObject kinds.
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_PAL 5
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_MEMDC 10

#define HGDI_ERROR (reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(-1)))
#define CLR_INVALID 0xFFFFFFFFu

// The record GetObjectA fills for a DIB section.
struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3];
    HANDLE dshSection;
    DWORD dsOffset;
};

// A DIB section: 8, 16, 24 or 32 bits per pixel, BI_RGB (or BI_BITFIELDS at 16 and 32 bits),
// palette from bmi for 8 bits (DIB_RGB_COLORS only); zeroed pixels, *bits receives their address.
// Null on bad headers, unsupported formats, a file-mapping section, or no memory.
HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* bmi, UINT usage, void** bits, HANDLE section,
                                DWORD offset);
// A 32-bit top-down bitmap of that size (the stand-in's screen format); null when w or h < 1.
HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int width, int height);
// A memory DC holding the stock 1x1 bitmap; hdc is ignored. Null only when out of memory.
HDC WINAPI CreateCompatibleDC(HDC hdc);
// An information DC for "DISPLAY" or a monitor's device name; null for other names.
HDC WINAPI CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR port, const void* devmode);
// Selects a bitmap into a memory DC and returns the one it replaces; null when the object is not
// a bitmap, is selected into another DC, or the DC cannot hold it; HGDI_ERROR for a bad DC.
HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ object);
// FALSE for a bad handle, a stock object or a bitmap still selected into a DC.
BOOL WINAPI DeleteObject(HGDIOBJ object);
// FALSE for a bad handle or a window DC (those are given back with ReleaseDC).
BOOL WINAPI DeleteDC(HDC hdc);
// GetDC(null) is the screen's information DC; GetDC(window) draws into the window's client area.
// Null for a window that does not exist.
HDC WINAPI GetDC(HWND hwnd);
// 1 when the DC was given out by GetDC for that window (or the screen), else 0.
int WINAPI ReleaseDC(HWND hwnd, HDC hdc);
// Bytes written: a BITMAP (or a DIBSECTION when size allows) for a bitmap; 0 on failure.
int WINAPI GetObjectA(HGDIOBJ object, int size, LPVOID out);
DWORD WINAPI GetObjectType(HGDIOBJ object);
HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type);
// Device facts: screen size, depth and refresh of the display the DC belongs to.
int WINAPI GetDeviceCaps(HDC hdc, int index);
// Colour table of the DIB selected into the DC (8 bits): entries copied; 0 on failure.
UINT WINAPI SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colors);
UINT WINAPI GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colors);
// Copies a rectangle; clipped to both pixel stores. Same depth copies bytes (alpha included);
// 8 → 16/24/32 goes through the source palette; 16/24/32 between each other convert colour.
// FALSE for a bad DC, an unsupported raster operation or pairing of depths.
BOOL WINAPI BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
// As BitBlt, sampling the nearest source pixel; a negative width or height mirrors.
BOOL WINAPI StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                       int srcHeight, DWORD rop);
// Previous mode, 0 on failure.
int WINAPI SetStretchBltMode(HDC hdc, int mode);
int WINAPI GetStretchBltMode(HDC hdc);
// Copies DIB rows (8, 16, 24 or 32 bits, BI_RGB) to the DC; the lines set, 0 on failure.
int WINAPI SetDIBitsToDevice(HDC hdc, int x, int y, DWORD width, DWORD height, int srcX, int srcY, UINT startScan,
                             UINT lines, const void* bits, const BITMAPINFO* bmi, UINT usage);
// As SetDIBitsToDevice with nearest-pixel scaling; the lines copied, 0 on failure.
int WINAPI StretchDIBits(HDC hdc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                         int srcHeight, const void* bits, const BITMAPINFO* bmi, UINT usage, DWORD rop);
// Stock objects: brushes (WHITE_BRUSH .. NULL_BRUSH). Stock objects are never deleted.
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
// Null for other indexes.
HGDIOBJ WINAPI GetStockObject(int index);
HBRUSH WINAPI CreateSolidBrush(COLORREF color);
// Fills the rectangle (clipped to the DC's pixels) with the brush's colour (alpha 0); a null
// brush fills nothing, a system-colour brush (COLOR_xxx + 1) light grey. FALSE on a bad DC.
int WINAPI FillRect(HDC hdc, const RECT* rect, HBRUSH brush);

// Pixel colour as COLORREF; CLR_INVALID outside the pixels.
COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
BOOL WINAPI GdiFlush();
