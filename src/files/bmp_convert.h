// Turns a DIB (header, colour table, bits) into the rows a load caller asked for,
// through the raster's DIB conversions: 8-bit (indexes or gray), 32-bit with the bitmap's alpha,
// or 32-bit with alpha 0.
#pragma once

#include "winapi/base.h"
#include "winapi/gdi.h"

enum EBitmapConversion { kConvertTo8, kConvertTo32, kConvertTo32NoAlpha };

// Converts width x height pixels (from the top-left corner) of a bottom-up or top-down DIB into
// dst, dstPitch bytes a row → false when the DIB's form is not convertible (bad depth, compressed,
// rows shorter than the width, a rectangle outside the bitmap).
bool ConvertBitmapRows(BYTE* dst, int dstPitch, EBitmapConversion kind, const BITMAPINFOHEADER* header,
                       const BYTE* bits, int srcPitch, int width, int height);
