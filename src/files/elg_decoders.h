// Decoders of the two ELG stream codings (byte coding for palettes, indexes and alpha; pixel
// coding for 3-byte colours) into the pixel layouts the loaders and the display code need.
// Each reads one stream from src, never past srcEnd, writes exactly the picture's values and
// returns the byte after the stream's 0xFF terminator. It returns null when the stream is bad:
// it ends early or runs on without its terminator, it holds more or fewer values than the
// picture, a copy reaches before the first value, or an up-reference reaches above the top row
// or across the left or right edge. The output may then be partly written.
#pragma once

#include <cstddef>

#include "winapi/base.h"

// Byte coding, contiguous bytes (a 1024-byte palette, or count indexes when pitch = width).
const BYTE* DecodeRleImageA(const BYTE* src, const BYTE* srcEnd, BYTE* dst, size_t count);
// Byte coding, 8-bit rows stored bottom-up, stride bytes apart (DIB indexes).
const BYTE* DecodeRleImageB(const BYTE* src, const BYTE* srcEnd, BYTE* bits, int width, int height, int stride);
// Byte coding, 8-bit rows top-down, pitch bytes apart.
const BYTE* DecodeRleIndexesPitched(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height,
                                    int pitch);
// Byte coding, 32-bit pixels top-down, pitch bytes apart: each index becomes the palette entry's
// blue, green, red (1024-byte palette) with the given alpha byte.
const BYTE* DecodeRleIndexedTo32(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height, int pitch,
                                 const BYTE* palette, BYTE alpha);
// Byte coding into the alpha byte of 32-bit pixels top-down, pitch bytes apart.
const BYTE* DecodeRleAlphaTo32(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height, int pitch);
// Byte coding into the alpha byte of 32-bit pixels, bottom-up rows of width x 4 bytes.
const BYTE* DecodeRleAlphaTo32BottomUp(const BYTE* src, const BYTE* srcEnd, BYTE* bits, int width, int height);
// Pixel coding, 24-bit rows (blue, green, red) bottom-up, stride bytes apart.
const BYTE* DecodeRleBytesBottomUp(const BYTE* src, const BYTE* srcEnd, BYTE* bits, int width, int height,
                                   int stride);
// Pixel coding into blue, green, red of 32-bit pixels, bottom-up rows of width x 4 bytes
// (the alpha bytes become 0).
const BYTE* DecodeRleRgbTo32BottomUp(const BYTE* src, const BYTE* srcEnd, BYTE* bits, int width, int height);
// Pixel coding, 32-bit pixels top-down, pitch bytes apart: blue, green, red, alpha 0.
const BYTE* DecodeRleRgbTo32(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height, int pitch);
// Pixel coding, 8-bit gray = (29 B + 150 G + 77 R) >> 8, contiguous rows.
const BYTE* DecodeRleImageC(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height);
// Pixel coding, 8-bit gray, top-down rows pitch bytes apart.
const BYTE* DecodeRleBytesPitched(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height, int pitch);
