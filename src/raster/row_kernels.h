// Row kernels of the copy, alpha-blend, plane and fill operations: plain functions over a first
// pixel, row skips in bytes, a width and a height (both at least 1). The "Mmx" twins are the SIMD
// forms (SSE2, the unscaled blends AVX2 at that SIMD level) that the operations choose while
// g_bUseMmx is set; every twin gives exactly the plain kernel's results.
//
// Conventions:
// - dstSkip / srcSkip: bytes added to the pointer after each row, once the kernel has walked the
//   row (pitch minus the row's bytes; negative where rows are walked upwards).
// - Mirrored kernels read the pixel before their source pointer and walk leftwards, so the source
//   pointer starts one pixel past the row segment's right end; their skip is added after that walk
//   (pitch plus the row's bytes).
// - Scaled kernels take the source pitch (negative walks upwards) and a stepping record; each row
//   starts at the same source column.
#pragma once

#include "winapi/base.h"

#include <cstdint>

// Stepping of the scaled kernels (filled by CImage::TransferRect): per pixel the source moves by
// the whole step, the fraction is added to the accumulator and, when it reaches 0 or more, the
// source moves one more and the denominator is subtracted. Rows follow the same rule.
struct StretchState {
    int32_t xAcc;
    int32_t xFrac;
    int32_t xDen;
    int32_t xStep;
    int32_t yAcc;
    int32_t yFrac;
    int32_t yDen;
    int32_t yStep;
};

// --- 32-bit copies ----------------------------------------------------------------------------
void CopyRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void CopyRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                      const StretchState& step);
void CopyRows32Mirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void CopyRows32MirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                            const StretchState& step);
void CopyRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void CopyRows32ScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                         const StretchState& step);
void CopyRows32MirrorMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void CopyRows32MirrorScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                               int height, const StretchState& step);

// Keyed: source pixels whose whole 32-bit value equals key are skipped.
void CopyKeyRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, DWORD key);
void CopyKeyRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                         const StretchState& step, DWORD key);
void CopyKeyRows32Mirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                         DWORD key);
void CopyKeyRows32MirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                               int height, const StretchState& step, DWORD key);

// --- 8 -> 32 through a palette (256 words 0xAARRGGBB; the entry's reserved byte is the alpha) ----
void PaletteRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                   const uint32_t* palette);
void PaletteRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                         const StretchState& step, const uint32_t* palette);
void PaletteRows32Mirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                         const uint32_t* palette);
void PaletteRows32MirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                               int height, const StretchState& step, const uint32_t* palette);
// Keyed: indices equal to key (its low byte) are skipped.
void PaletteKeyRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                      const uint32_t* palette, BYTE key);
void PaletteKeyRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                            const StretchState& step, const uint32_t* palette, BYTE key);
void PaletteKeyRows32Mirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                            const uint32_t* palette, BYTE key);
void PaletteKeyRows32MirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                  int height, const StretchState& step, const uint32_t* palette, BYTE key);

// --- alpha blend by the source alpha a: colour = (s * a + d * (255 - a) + 127) / 255, alpha 0 ---
void BlendAlphaRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void BlendAlphaRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                            const StretchState& step);
void BlendAlphaRows32Mirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void BlendAlphaRows32MirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                  int height, const StretchState& step);
void BlendAlphaRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void BlendAlphaRows32ScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                               int height, const StretchState& step);
void BlendAlphaRows32MirrorMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void BlendAlphaRows32MirrorScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                     int height, const StretchState& step);
// The AVX2 forms of the unscaled blend twins, which hand rows of eight pixels or more over while
// UseAvx2() says so (only then may these run). Callers use the twins.
void BlendAlphaRows32Avx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void BlendAlphaRows32MirrorAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
// The 512-bit form of the forward blend, for rows of sixteen pixels or more while UseAvx512Bw() holds.
void BlendAlphaRows32Avx512(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
// The copy's AVX2 form for rows of 8 to 512 pixels (the rows of cells and faces, where a library
// call a row costs as much as the bytes).
void CopyRows32Avx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
// The mirrored copy's AVX2 form for rows of eight pixels or more: a register of eight pixels
// turned end for end a step.
void CopyRows32MirrorAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
// The AVX2 forms of the forward scaled copy and blend; false (nothing drawn) for rows of fewer than
// eight pixels and walks they do not serve, which the SSE2 forms then draw.
bool CopyRows32ScaledAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                          const StretchState& step);
bool BlendAlphaRows32ScaledAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                const StretchState& step);

// --- alpha planes ------------------------------------------------------------------------------
// 32-bit destination, 8-bit source: alpha byte := plane byte, colour kept.
void CopyPlaneToAlphaRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void CopyPlaneToAlphaRowsScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                int height, const StretchState& step);
void CopyPlaneToAlphaRowsMirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void CopyPlaneToAlphaRowsMirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                      int height, const StretchState& step);
// 8-bit destination, 32-bit source: byte := source alpha.
void CopyAlphaToPlaneRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void CopyAlphaToPlaneRowsScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                int height, const StretchState& step);
void CopyAlphaToPlaneRowsMirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void CopyAlphaToPlaneRowsMirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                      int height, const StretchState& step);
// 32-bit destination, 8-bit plane: alpha a := g_AlphaUnionTable[a][plane byte], colour kept.
void UniteAlphaWithPlaneRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);

// --- colour / alpha parts ----------------------------------------------------------------------
// dst := (src & 0x00FFFFFF) | (dst & 0xFF000000).
void CopyColorRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void CopyColorRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void CopyColorRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                           const StretchState& step);
void CopyColorRows32ScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                              const StretchState& step);
// As CopyColorRows32, skipping source pixels equal to key (all 32 bits).
void CopyColorKeyRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                        DWORD key);
void CopyColorKeyRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                           DWORD key);
void CopyColorKeyRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                              const StretchState& step, DWORD key);
void CopyColorKeyRows32ScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                 int height, const StretchState& step, DWORD key);
// dst := (src & 0xFF000000) | (dst & 0x00FFFFFF).
void CopyAlphaRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void CopyAlphaRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height);
void CopyAlphaRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                           const StretchState& step);
void CopyAlphaRows32ScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                              const StretchState& step);

// --- fills -------------------------------------------------------------------------------------
// Every pixel := value.
void FillRows32(BYTE* dst, int dstSkip, int width, int height, DWORD value);
// Colour bytes := rgb (0x00RRGGBB), alpha kept.
void FillRgbRows32(BYTE* dst, int dstSkip, int width, int height, DWORD rgb);
void FillRgbRows32Mmx(BYTE* dst, int dstSkip, int width, int height, DWORD rgb);

// --- invert ------------------------------------------------------------------------------------
// Each pixel XOR 0x00FFFFFF (mode 0: colour), 0xFFFFFFFF (mode 1: all bytes) or 0xFF000000 (other
// modes: alpha only).
void InvertRows32(BYTE* dst, int skip, int width, int height, BYTE mode);
void InvertRows32Mmx(BYTE* dst, int skip, int width, int height, BYTE mode);
// The XOR mask of a mode.
constexpr DWORD InvertMask(BYTE mode)
{
    return mode == 0 ? 0x00FFFFFFu : mode == 1 ? 0xFFFFFFFFu : 0xFF000000u;
}
