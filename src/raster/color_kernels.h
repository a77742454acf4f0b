// Row kernels of the fill and colour operations (fill at an alpha, add and subtract a colour,
// colour through an 8-bit mask, grayscale, colourise, alpha-plane levels) and the colour kernels
// that text, mask painting and texture upload call directly. Arguments: first pixel, row skip in
// bytes (pitch minus 4 x width, unless a kernel says "pitch"), width, height (at least 1), then the
// kernel's own. Keyed kernels leave destination pixels whose whole value equals key. The "Mmx"
// twins are SSE2 and give exactly the plain results.
#pragma once

#include "winapi/base.h"

#include <cstdint>

// Each colour byte := mul(255 - alpha, d) + mul(colour byte, alpha); alpha kept. Takes the pitch.
void BlendColorRows32(BYTE* dst, int pitch, int width, int height, DWORD color, BYTE alpha);
void BlendColorKeyRows32(BYTE* dst, int pitch, int width, int height, DWORD color, BYTE alpha, DWORD key);

// Saturating add / subtract of a packed colour (its alpha byte 0) to every colour byte.
void AddColorRows32(BYTE* dst, int skip, int width, int height, DWORD color);
void AddColorKeyRows32(BYTE* dst, int skip, int width, int height, DWORD color, DWORD key);
void AddColorRows32Mmx(BYTE* dst, int skip, int width, int height, DWORD color);
void AddColorKeyRows32Mmx(BYTE* dst, int skip, int width, int height, DWORD color, DWORD key);
void SubColorRows32(BYTE* dst, int skip, int width, int height, DWORD color);
void SubColorKeyRows32(BYTE* dst, int skip, int width, int height, DWORD color, DWORD key);
void SubColorRows32Mmx(BYTE* dst, int skip, int width, int height, DWORD color);
void SubColorKeyRows32Mmx(BYTE* dst, int skip, int width, int height, DWORD color, DWORD key);

// Colour through a mask: o = table[m], f = the opacity factor of o; per colour byte
// blend: d + floor((c - d) f / 256); add: min(255, d + floor(c f / 256)); sub: max(0, d - ...).
// Alpha kept. table is a 256-byte row of the multiply table.
void PaintMaskRows32(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height, DWORD color,
                     const BYTE* table);
void PaintMaskRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                        DWORD color, const BYTE* table);
void PaintMaskAddRows32(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                        DWORD color, const BYTE* table);
void PaintMaskAddRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                           DWORD color, const BYTE* table);
void PaintMaskSubRows32(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                        DWORD color, const BYTE* table);
void PaintMaskSubRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                           DWORD color, const BYTE* table);
// Over a destination with alpha: o = table[m], w = source weight[dA][o]; colour blended by the
// factor of w; alpha := alpha union[dA][o].
void PaintMaskOnAlphaRows32(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                            DWORD color, const BYTE* table);
void PaintMaskOnAlphaRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                               DWORD color, const BYTE* table);

// Blue, green, red := (77 red + 150 green + 29 blue) >> 8; alpha kept.
void GrayRows32(BYTE* dst, int skip, int width, int height);
void GrayKeyRows32(BYTE* dst, int skip, int width, int height, DWORD key);
void GrayRows32Mmx(BYTE* dst, int skip, int width, int height);

// Alpha := the largest of blue, green and red (light ink drawn over black: how much ink a pixel
// holds); colour kept.
void BrightestToAlphaRows32(BYTE* dst, int skip, int width, int height);
void BrightestToAlphaRows32Mmx(BYTE* dst, int skip, int width, int height);

// Each colour byte v := clamp(((v x gain) >> 7) + offset) with its channel's gain (0..256) and
// offset (-255..255); alpha kept.
void ColorizeRows32(BYTE* dst, int skip, int width, int height, int redGain, int greenGain, int blueGain,
                    int redOffset, int greenOffset, int blueOffset);
void ColorizeKeyRows32(BYTE* dst, int skip, int width, int height, int redGain, int greenGain, int blueGain,
                       int redOffset, int greenOffset, int blueOffset, DWORD key);
void ColorizeRows32Mmx(BYTE* dst, int skip, int width, int height, int redGain, int greenGain, int blueGain,
                       int redOffset, int greenOffset, int blueOffset);

// XOR with 0x00FFFFFF (mode 0), 0xFFFFFFFF (mode 1) or 0xFF000000 (other modes); keyed form.
void InvertKeyRows32(BYTE* dst, int skip, int width, int height, BYTE mode, DWORD key);

// Alpha plane (or 8-bit plane) levels. bytesPerPixel 4 targets the alpha bytes, 1 every byte.
// level < 256: v := mul(level, v); 256..511: v := mul(255 - k, v) + k with k = level - 256.
void AdjustAlphaRows(BYTE* dst, int skip, int width, int height, int bytesPerPixel, int level);
// v := clamp(((v x gain) >> 7) + offset).
void ScaleOffsetAlphaRows(BYTE* dst, int skip, int width, int height, int bytesPerPixel, int gain, int offset);

// Each colour byte c := mul(level, c); alpha kept. Takes the pitch.
void ScaleColorRows32(BYTE* pixels, int pitch, int width, int height, BYTE level);

// The mask (maskWidth x maskHeight bytes, maskPitch apart) placed at (x, y) over a 32-bit
// destination, clipped to it. PaintMaskColor writes the colour into every pixel whose mask byte is
// non-zero; BlendGlyphMask sets each colour byte to mul(m, c) + mul(255 - m, d). Alpha kept.
// True when any part of the mask lay inside the destination.
bool PaintMaskColor(int x, int y, BYTE red, BYTE green, BYTE blue, BYTE* dst, int dstWidth, int dstHeight,
                    int dstPitch, const BYTE* mask, int maskWidth, int maskHeight, int maskPitch);
bool BlendGlyphMask(int x, int y, BYTE red, BYTE green, BYTE blue, BYTE* dst, int dstWidth, int dstHeight,
                    int dstPitch, const BYTE* mask, int maskWidth, int maskHeight, int maskPitch);
// The rows of BlendGlyphMask (plain and SIMD; identical results).
void BlendGlyphRows32(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height, DWORD color);
void BlendGlyphRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                         DWORD color);

// 32-bit pixels into texture pixels: format 64 A1R5G5B5, 128 A4R4G4B4, 256 copied; other formats
// do nothing.
void ConvertArgbToTexture16(uint32_t format, BYTE* dstBase, int dstX, int dstY, int width, int height,
                            int dstPitch, const BYTE* srcBase, int srcX, int srcY, int srcPitch);
