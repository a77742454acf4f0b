// The rows of the stand-in's blits: each plain kernel and its SSE2 and AVX2 twins give bit for
// bit the same pixels (the tests compare them); the blits run the twins (SSE2 is the x86-64
// baseline; AVX2 only where HasAvx2 says so). Pixels are read and written unaligned. Internal to
// winapi.
#pragma once

#include <algorithm>
#include <cstdint>

#include "winapi/base.h"

namespace winapi::ddraw {

// Whether the AVX2 twins may run: the SIMD level in use is AVX2 (see winapi/simd_level.h).
bool HasAvx2();

// Bilinear x888 across one source row: per channel out[i] = (s[xa[i]] * (256 - w) + s[xb[i]] * w)
// >> 8 with w = weights[4 * i] (the weight stands four times, once per byte); alpha comes out 0.
void LerpAcrossPlain(const uint32_t* src, const int32_t* xa, const int32_t* xb, const uint16_t* weights,
                     uint32_t* out, LONG count);
void LerpAcrossSse2(const uint32_t* src, const int32_t* xa, const int32_t* xb, const uint16_t* weights,
                    uint32_t* out, LONG count);
// The same where each sample mixes a pixel with the next one (xb[i] = xa[i] + 1, weights up to
// 256), AVX2 only: src[xa[i] + 1] must be readable.
void LerpPairsAvx2(const uint32_t* src, const int32_t* xa, const uint16_t* weights, uint32_t* out, LONG count);
// Two rows mixed: per channel out[i] = (top[i] * (256 - w) + bottom[i] * w) >> 8, w in 0..255.
void LerpDownPlain(const uint32_t* top, const uint32_t* bottom, uint32_t w, uint32_t* out, LONG count);
void LerpDownSse2(const uint32_t* top, const uint32_t* bottom, uint32_t w, uint32_t* out, LONG count);
void LerpDownAvx2(const uint32_t* top, const uint32_t* bottom, uint32_t w, uint32_t* out, LONG count);
// The AVX2 twin where the processor has AVX2, else the SSE2 one.
void LerpDown(const uint32_t* top, const uint32_t* bottom, uint32_t w, uint32_t* out, LONG count);

// The textured quad's bilinear rows in the weights of the device's sampling (triangle.h). Across:
// one x888 row of `length` pixels into three rows (red, green, blue), out[k][i] = MixAcross of
// channel k of src[xa[i]] and src[xb[i]] by weight w[i] (0..kWeightOne - 1).
void QuadAcrossPlain(const uint32_t* src, LONG length, const int32_t* xa, const int32_t* xb, const int32_t* w,
                     int32_t* const out[3], LONG count);
void QuadAcrossSse2(const uint32_t* src, LONG length, const int32_t* xa, const int32_t* xb, const int32_t* w,
                    int32_t* const out[3], LONG count);
void QuadAcrossAvx2(const uint32_t* src, LONG length, const int32_t* xa, const int32_t* xb, const int32_t* w,
                    int32_t* const out[3], LONG count);
void QuadAcross(const uint32_t* src, LONG length, const int32_t* xa, const int32_t* xb, const int32_t* w,
                int32_t* const out[3], LONG count);
// Down: pixel i of out (x888, alpha 0) has channel k = MixDown(top[k][i], bottom[k][i], w).
void QuadDownPlain(const int32_t* const top[3], const int32_t* const bottom[3], int32_t w, uint32_t* out, LONG count);
void QuadDownSse2(const int32_t* const top[3], const int32_t* const bottom[3], int32_t w, uint32_t* out, LONG count);
void QuadDownAvx2(const int32_t* const top[3], const int32_t* const bottom[3], int32_t w, uint32_t* out, LONG count);
void QuadDown(const int32_t* const top[3], const int32_t* const bottom[3], int32_t w, uint32_t* out, LONG count);

// Source-keyed copy: a pixel whose value lies in low..high is left out (4- and 2-byte pixels).
void KeyedCopy32Plain(const BYTE* src, BYTE* dst, LONG count, DWORD low, DWORD high);
void KeyedCopy32Sse2(const BYTE* src, BYTE* dst, LONG count, DWORD low, DWORD high);
void KeyedCopy16Plain(const BYTE* src, BYTE* dst, LONG count, DWORD low, DWORD high);
void KeyedCopy16Sse2(const BYTE* src, BYTE* dst, LONG count, DWORD low, DWORD high);
void KeyedCopy32Avx2(const BYTE* src, BYTE* dst, LONG count, DWORD low, DWORD high);
// The widest twin of the SIMD level in use.
void KeyedCopy32(const BYTE* src, BYTE* dst, LONG count, DWORD low, DWORD high);

// 8888 pixels over x888 ones by their alpha a (SRCALPHA / INVSRCALPHA): per channel
// (s * a + d * (255 - a)) / 255 rounded to nearest, alpha written 0.
void BlendOver8888Plain(const uint32_t* src, uint32_t* dst, LONG count);
void BlendOver8888Sse2(const uint32_t* src, uint32_t* dst, LONG count);
void BlendOver8888Avx2(const uint32_t* src, uint32_t* dst, LONG count);
// Thirty-two pixels a step where UseAvx512Bw says the 512-bit registers may run.
void BlendOver8888Avx512(const uint32_t* src, uint32_t* dst, LONG count);
void BlendOver8888(const uint32_t* src, uint32_t* dst, LONG count);

// Bilinear samples of a turned or scaled row of a 4-byte texture (8888, or x888 read as opaque
// when opaque is set) in the device's weights (triangle.h): pixel k of count takes the position
// (a0 + (first + k) * da, b0 + (first + k) * db) in texels, clamped and placed to its weights as
// the device's per-pixel sampling does, and out[k] gets the mixed A8R8G8B8 pixel. A pixel whose
// fixed-point position lies `edge` or more (in weight units) from the nearest whole weight, so
// near a rounding step, gets 0 and its bit in the answer: its caller shades it the slow way.
// count is at most 64; the texture's bytes must be addressable by 32-bit offsets.
uint64_t SampleBilinearRowAvx2(const BYTE* pixels, LONG pitch, LONG width, LONG height, bool opaque, double a0,
                               double b0, double da, double db, LONG first, LONG count, double edge, uint32_t* out);

// A row's bytes copied (rows of x888 into a window's store). The library copy starts a string
// instruction for rows of a few kilobytes, which on some processors costs more than the row; the
// AVX2 twin moves 128 bytes a step with plain loads and stores, the AVX-512 one 256 (where
// UseAvx512Bw says so). The rows must not overlap.
void CopyRowPlain(const BYTE* src, BYTE* dst, size_t bytes);
void CopyRowAvx2(const BYTE* src, BYTE* dst, size_t bytes);
void CopyRowAvx512(const BYTE* src, BYTE* dst, size_t bytes);
void CopyRow(const BYTE* src, BYTE* dst, size_t bytes);

// floor(p) for |p| well below 2^63, without a library call.
inline double Floor(double p)
{
    const auto t = static_cast<double>(static_cast<int64_t>(p));
    return t > p ? t - 1 : t;
}

// Where the texel position p (texels, before clamping) may fall with the slack d: the clamped
// texel, and whether both ends of the slack agree on it.
inline LONG PointTexel(double p, double d, LONG size, bool* sure)
{
    const double top = size - 1.0, whole = Floor(p);
    if (p - whole > d && p - whole < 1 - d) {
        *sure = true;
        return static_cast<LONG>(std::clamp(whole, 0.0, top));
    }
    const double low = std::clamp(Floor(p - d), 0.0, top), high = std::clamp(Floor(p + d), 0.0, top);
    *sure = low == high;
    return static_cast<LONG>(low);
}

// The point texels of consecutive pixels along one axis of a textured quad (the quad's setup
// takes one per column and one per row): pixel first + k, k < count, lies at the texel position
// p = (origin + (first + k - edge) * step) * size, and gets texels[k] = PointTexel(p, slack, size)
// and sure[k] its answer (1 or 0). Positions must stay well inside 32-bit integers.
void PointTexelsPlain(double origin, double edge, double step, double slack, LONG size, LONG first, LONG count,
                      int32_t* texels, uint8_t* sure);
void PointTexelsAvx2(double origin, double edge, double step, double slack, LONG size, LONG first, LONG count,
                     int32_t* texels, uint8_t* sure);
void PointTexels(double origin, double edge, double step, double slack, LONG size, LONG first, LONG count,
                 int32_t* texels, uint8_t* sure);

// Point-sampled row: out pixel i is source pixel xs[i] (4- and 2-byte pixels).
void Pick32Plain(const BYTE* src, const int32_t* xs, BYTE* out, LONG count);
void Pick32Sse2(const BYTE* src, const int32_t* xs, BYTE* out, LONG count);
void Pick16Plain(const BYTE* src, const int32_t* xs, BYTE* out, LONG count);
void Pick16Sse2(const BYTE* src, const int32_t* xs, BYTE* out, LONG count);

} // namespace winapi::ddraw
