// Pixel work on glyph coverage: the grey scaling and the outline accumulation (plain rows and SSE2
// twins with exactly the same bytes, chosen by g_bUseMmx), the weighted outline filter, the
// one-bit dilation, bold thickening and the reduction of enlarged fallback glyphs.
#pragma once

#include <cstdint>

// The approximate distance of an offset: a = min, b = max of |dx|, |dy|, a2 = a + a/2,
// d = a2/4 + b + a2/64 - b/128 - b/32.
int ApproxDistance(int dx, int dy);
// 65536 / Σ(r − d + 1) over the offsets with d ≤ r (65536 when the sum is 0); radius beyond ±64
// counts as 64. 1 → 6553, 2 → 1872, 3 → 819.
int OutlineKernelValue(int radius);

// Every byte × factor, clamped at 255.
void ScaleGreyRows(uint8_t* pixels, int pitch, int width, int height, int factor);
void ScaleGreyRowsMmx(uint8_t* pixels, int pitch, int width, int height, int factor);

// dst[i] := min(255, dst[i] + (src[i] × weight) >> 16), weight 0 .. 2^24.
void AccumulateOutlineRow(uint8_t* dst, const uint8_t* src, int width, uint32_t weight);
void AccumulateOutlineRowMmx(uint8_t* dst, const uint8_t* src, int width, uint32_t weight);

// The weighted outline of a width × height coverage into dst, which is 2r larger each way
// (r = min(|radius|, 64)) and is cleared first. Radius 0: dst (same size) takes the coverage
// scaled by the strength (below 256; negative counts as 0) or unchanged (256 and more).
void BuildGlyphOutline(const uint8_t* src, int srcPitch, int width, int height, uint8_t* dst, int dstPitch,
                       int strength, int radius, int kernel);

// One-bit outline: dst (2r larger each way, cleared here) is 255 where any set source byte lies
// within approximate distance r.
void DilateGlyph(const uint8_t* src, int srcPitch, int width, int height, uint8_t* dst, int dstPitch,
                 int radius);

// Bold: one-bit rows OR-ed with themselves shifted right 1..n bits; dst rows are one byte wider
// per 8 bits of growth (dstPitch given).
void ThickenMonoRows(const uint8_t* src, int srcPitch, int widthBits, int height, uint8_t* dst, int dstPitch,
                     int n);
// Bold: each column of dst (width + n) takes the largest of the source's n columns to its left and
// itself; the last n columns repeat the source's last ones.
void ThickenGreyRows(const uint8_t* src, int srcPitch, int width, int height, uint8_t* dst, int dstPitch,
                     int n);

// Enlarged fallback glyph: each s × s block of one-bit rows becomes the count of its set bits.
// dst is (widthBits / s) × (height / s), rounded up.
void ReduceMonoBlocks(const uint8_t* src, int srcPitch, int widthBits, int height, int s, uint8_t* dst,
                      int dstPitch);

// A glyph's coverage over 32-bit pixels in one colour (rgb; each colour byte min(255, mul(m, c) +
// mul(255 − m, d)), alpha kept, coverage 0 leaves the pixel): the plain rows, or the SSE2 or
// AVX2 twin as g_bUseMmx and the SIMD level allow, all with the same bytes.
void BlendGlyphRows32Best(uint8_t* dst, const uint8_t* mask, int dstSkip, int maskSkip, int width, int height,
                          uint32_t rgb);
// The AVX2 twin (eight pixels a step); only while UseAvx2() holds.
void BlendGlyphRows32Avx2(uint8_t* dst, const uint8_t* mask, int dstSkip, int maskSkip, int width, int height,
                          uint32_t rgb);

// A glyph's coverage into the alpha bytes of 32-bit pixels, colour kept: copied, or united with
// the alpha there (255 − (255 − a)(255 − m) / 255, as g_AlphaUnionTable). The plain rows, or the
// AVX2 twin where g_bUseMmx and the SIMD level allow, with the same bytes.
void WriteCoverageAlphaRows32Best(uint8_t* dst, const uint8_t* mask, int dstSkip, int maskSkip, int width,
                                  int height, bool unite);
void WriteCoverageAlphaRows32Avx2(uint8_t* dst, const uint8_t* mask, int dstSkip, int maskSkip, int width,
                                  int height, bool unite);
// The colour bytes of one row of 32-bit pixels set to rgb, alpha kept (plain or AVX2 as above).
void FillColourKeepAlphaRow32Best(uint32_t* row, int width, uint32_t rgb);
void FillColourKeepAlphaRow32Avx2(uint32_t* row, int width, uint32_t rgb);
