// Conversions of a device-independent bitmap (header, colour table, bits) into the pixel formats
// of memory images and locked device surfaces. Every conversion checks the header first and
// returns false, writing nothing, when it cannot convert: a bit count other than 1, 4, 8, 16, 24
// or 32, a compressed 4- or 8-bit bitmap, a width or height of 0, a source row shorter than the
// bitmap's width, or a rectangle that does not lie inside the bitmap from the source origin.
// Bottom-up bitmaps (positive height) and top-down ones (negative height) are both read in image
// row order; indices past the colour table (biClrUsed entries, or 2^bits when 0) read as black.
#pragma once

#include "winapi/gdi.h"

#include <cstdint>

// The device pixel formats (one bit each).
enum EPixelFormatCode : uint32_t {
    kPixelX1R5G5B5 = 4,
    kPixelR5G6B5 = 8,
    kPixelR8G8B8 = 16,
    kPixelX8R8G8B8 = 32,
    kPixelA1R5G5B5 = 64,
    kPixelA4R4G4B4 = 128,
    kPixelA8R8G8B8 = 256,
};

// Bytes per pixel of a format code; 0 for a code not in the table.
int PixelFormatBytes(uint32_t code);

// All take: destination pixels, destination rectangle (its width x height pixels are written at its
// position), destination pitch, bitmap information (header + colour table), source bits, bytes per
// source row, source origin (x, y in image rows, counted from the top). True when converted.
using DibConverter = bool (*)(BYTE* dstBits, const RECT& dstRect, LONG dstPitch, const BITMAPINFO* info,
                              const BYTE* srcBits, LONG srcPitch, POINT srcOrigin);

// 32-bit, alpha 0xFF (a 32-bit source keeps its own alpha byte).
bool ConvertDibTo32(BYTE* dstBits, const RECT& dstRect, LONG dstPitch, const BITMAPINFO* info,
                    const BYTE* srcBits, LONG srcPitch, POINT srcOrigin);
// 32-bit; palette entries as they are, other depths alpha 0.
bool ConvertDibTo32NoAlpha(BYTE* dstBits, const RECT& dstRect, LONG dstPitch, const BITMAPINFO* info,
                           const BYTE* srcBits, LONG srcPitch, POINT srcOrigin);
// 8-bit plane: palette depths keep the index, others become gray (29 B + 150 G + 77 R) >> 8.
bool ConvertDibTo8(BYTE* dstBits, const RECT& dstRect, LONG dstPitch, const BITMAPINFO* info,
                   const BYTE* srcBits, LONG srcPitch, POINT srcOrigin);
bool ConvertDibTo16Argb4444(BYTE* dstBits, const RECT& dstRect, LONG dstPitch, const BITMAPINFO* info,
                            const BYTE* srcBits, LONG srcPitch, POINT srcOrigin);
bool ConvertDibTo16Argb1555(BYTE* dstBits, const RECT& dstRect, LONG dstPitch, const BITMAPINFO* info,
                            const BYTE* srcBits, LONG srcPitch, POINT srcOrigin);
bool ConvertDibTo24(BYTE* dstBits, const RECT& dstRect, LONG dstPitch, const BITMAPINFO* info,
                    const BYTE* srcBits, LONG srcPitch, POINT srcOrigin);
bool ConvertDibTo16Rgb565(BYTE* dstBits, const RECT& dstRect, LONG dstPitch, const BITMAPINFO* info,
                          const BYTE* srcBits, LONG srcPitch, POINT srcOrigin);
bool ConvertDibTo16Rgb555(BYTE* dstBits, const RECT& dstRect, LONG dstPitch, const BITMAPINFO* info,
                          const BYTE* srcBits, LONG srcPitch, POINT srcOrigin);

// The conversion for a locked device surface of that format; null for an unknown code.
DibConverter DibConverterForFormat(uint32_t code);
