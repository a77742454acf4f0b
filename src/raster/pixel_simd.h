// Internal helpers of the row kernels: per-channel rules written once for single pixels and once
// for four pixels in an SSE2 register, and the row loops that drive them. The SIMD twins built from
// them give bit for bit the results of the plain kernels (the tests compare both on random data).
#pragma once

#include "raster/blend_tables.h"

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace pixel_simd {

inline uint32_t Load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline __m128i Load4(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store4(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
// Four mask bytes widened to 32-bit lanes.
inline __m128i LoadMask4(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    const __m128i zero = _mm_setzero_si128();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v)), zero), zero);
}

// --- scalar rules -------------------------------------------------------------------------------

// (a * b + 127) / 255, the rounded byte product of the multiply table.
inline uint32_t MulByte(uint32_t a, uint32_t b) { return (a * b + 127) / 255; }
// The opacity factor of a level: level + 1, and 0 for level 0.
inline uint32_t FactorOf(uint32_t level) { return level ? level + 1 : 0; }
// Per colour channel d + floor((s - d) * f / 256); the alpha byte of d is kept.
inline uint32_t BlendByFactor(uint32_t d, uint32_t s, uint32_t f)
{
    uint32_t out = d & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const int dc = static_cast<int>((d >> shift) & 0xFF);
        const int sc = static_cast<int>((s >> shift) & 0xFF);
        const int v = dc + ((sc - dc) * static_cast<int>(f) >> 8);
        out |= static_cast<uint32_t>(v) << shift;
    }
    return out;
}
// Per colour channel min(255, d + floor(s * f / 256)); alpha kept.
inline uint32_t AddByFactor(uint32_t d, uint32_t s, uint32_t f)
{
    uint32_t out = d & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t v = ((d >> shift) & 0xFF) + ((((s >> shift) & 0xFF) * f) >> 8);
        out |= (v > 255 ? 255 : v) << shift;
    }
    return out;
}
// Per colour channel max(0, d - floor(s * f / 256)); alpha kept.
inline uint32_t SubByFactor(uint32_t d, uint32_t s, uint32_t f)
{
    uint32_t out = d & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const int v = static_cast<int>((d >> shift) & 0xFF) - static_cast<int>((((s >> shift) & 0xFF) * f) >> 8);
        out |= static_cast<uint32_t>(v < 0 ? 0 : v) << shift;
    }
    return out;
}
inline uint32_t AddSat4(uint32_t d, uint32_t s)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t v = ((d >> shift) & 0xFF) + ((s >> shift) & 0xFF);
        out |= (v > 255 ? 255 : v) << shift;
    }
    return out;
}
inline uint32_t SubSat4(uint32_t d, uint32_t s)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int v = static_cast<int>((d >> shift) & 0xFF) - static_cast<int>((s >> shift) & 0xFF);
        out |= static_cast<uint32_t>(v < 0 ? 0 : v) << shift;
    }
    return out;
}

// --- vector rules (four pixels) -----------------------------------------------------------------

inline __m128i Splat32(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
inline __m128i Splat16(int v) { return _mm_set1_epi16(static_cast<short>(v)); }
// Exact (a * b + 127) / 255 of 16-bit lanes holding bytes: for all bytes a and b it equals
// ((a * b + 128) * 257) >> 16 (checked over every pair), one high multiply and no shift.
inline __m128i MulByte16(__m128i a, __m128i b)
{
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, b), Splat16(128));
    return _mm_mulhi_epu16(t, Splat16(257));
}
// The same on 32-bit lanes that hold bytes.
inline __m128i MulByte32(__m128i a, __m128i b) { return MulByte16(a, b); }
// Opacity factors of four levels held in 32-bit lanes.
inline __m128i Factor32(__m128i level) { return _mm_sub_epi32(level, _mm_cmpgt_epi32(level, _mm_setzero_si128())); }
inline __m128i AlphaOf(__m128i px) { return _mm_srli_epi32(px, 24); }
// Spreads four 32-bit lane factors over the colour words of two pixels each (alpha word 0).
inline void SpreadFactors(__m128i f32, __m128i& lo, __m128i& hi)
{
    const __m128i colour = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i ff = _mm_or_si128(f32, _mm_slli_epi32(f32, 16));
    lo = _mm_and_si128(_mm_unpacklo_epi32(ff, ff), colour);
    hi = _mm_and_si128(_mm_unpackhi_epi32(ff, ff), colour);
}
inline __m128i BlendWords(__m128i d, __m128i s, __m128i f)
{
    const __m128i p = _mm_mullo_epi16(_mm_sub_epi16(s, d), f);
    return _mm_and_si128(_mm_add_epi16(d, _mm_srli_epi16(p, 8)), Splat16(0xFF));
}
// Four pixels s blended over d: (s * a + d * (255 - a) + 127) / 255 per channel, alpha 0.
// The even bytes (blue, red) and the odd bytes (green, alpha) each stand in 16-bit words as they
// are, so nothing is unpacked, and both halves take the same weights a and 255 - a. With
// x = s * a + d * (255 - a) <= 255 * 255, x / 255 rounded is exactly ((x + 127) * 0x8081) >> 23
// (the even half, from the high word of the product) and (t + (t >> 8)) >> 8 with t = x + 128
// (the odd half, left in the high byte, where the mask also clears the alpha word).
inline __m128i BlendAlpha4(__m128i s, __m128i d)
{
    const __m128i evenMask = _mm_set1_epi32(0x00FF00FF);
    const __m128i sE = _mm_and_si128(s, evenMask);
    const __m128i sO = _mm_srli_epi16(s, 8);
    const __m128i dE = _mm_and_si128(d, evenMask);
    const __m128i dO = _mm_srli_epi16(d, 8);
    const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sO, 0xF5), 0xF5);
    const __m128i na = _mm_xor_si128(a, evenMask);
    __m128i xE = _mm_add_epi16(_mm_mullo_epi16(sE, a), _mm_mullo_epi16(dE, na));
    __m128i xO = _mm_add_epi16(_mm_mullo_epi16(sO, a), _mm_mullo_epi16(dO, na));
    xE = _mm_add_epi16(xE, _mm_set1_epi16(127));
    xO = _mm_add_epi16(xO, _mm_set1_epi16(128));
    xE = _mm_srli_epi16(_mm_mulhi_epu16(xE, _mm_set1_epi16(static_cast<short>(0x8081))), 7);
    xO = _mm_and_si128(_mm_add_epi16(xO, _mm_srli_epi16(xO, 8)), _mm_set1_epi32(0x0000FF00));
    return _mm_or_si128(xE, xO);
}

// Blend by factor for four pixels with per-pixel factors in 32-bit lanes.
inline __m128i BlendByFactor4(__m128i d, __m128i s, __m128i f32)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i flo, fhi;
    SpreadFactors(f32, flo, fhi);
    const __m128i lo = BlendWords(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero), flo);
    const __m128i hi = BlendWords(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero), fhi);
    return _mm_packus_epi16(lo, hi);
}
inline __m128i AddByFactor4(__m128i d, __m128i s, __m128i f32)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i flo, fhi;
    SpreadFactors(f32, flo, fhi);
    const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(d, zero),
                                     _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), flo), 8));
    const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(d, zero),
                                     _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), fhi), 8));
    return _mm_packus_epi16(lo, hi);
}
inline __m128i SubByFactor4(__m128i d, __m128i s, __m128i f32)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i flo, fhi;
    SpreadFactors(f32, flo, fhi);
    const __m128i lo = _mm_sub_epi16(_mm_unpacklo_epi8(d, zero),
                                     _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), flo), 8));
    const __m128i hi = _mm_sub_epi16(_mm_unpackhi_epi8(d, zero),
                                     _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), fhi), 8));
    return _mm_packus_epi16(lo, hi);
}
// Keeps d where the mask lanes are all ones, else takes v.
inline __m128i Select(__m128i keepMask, __m128i d, __m128i v)
{
    return _mm_or_si128(_mm_and_si128(keepMask, d), _mm_andnot_si128(keepMask, v));
}
// Replaces the alpha bytes of v by those of d.
inline __m128i KeepAlpha(__m128i d, __m128i v)
{
    const __m128i alpha = Splat32(0xFF000000u);
    return _mm_or_si128(_mm_and_si128(alpha, d), _mm_andnot_si128(alpha, v));
}
// Per-lane table look-up of four indices (scalar gather; the tables are small and hot). The lanes
// travel through general registers two at a time rather than through memory, which would stall on
// store forwarding.
template <class F> inline __m128i Gather4(__m128i idx, F&& lookup)
{
    const uint64_t lo = static_cast<uint64_t>(_mm_cvtsi128_si64(idx));
    const uint64_t hi = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(idx, idx)));
    const uint64_t outLo = uint64_t(lookup(uint32_t(lo))) | uint64_t(lookup(uint32_t(lo >> 32))) << 32;
    const uint64_t outHi = uint64_t(lookup(uint32_t(hi))) | uint64_t(lookup(uint32_t(hi >> 32))) << 32;
    return _mm_unpacklo_epi64(_mm_cvtsi64_si128(static_cast<int64_t>(outLo)),
                              _mm_cvtsi64_si128(static_cast<int64_t>(outHi)));
}

// The blend tables' source weight and alpha union of four (dA, e) pairs in 32-bit lanes, computed.
// Weight: 255 over dA 0, else min(255, floor(65025 e / (255 (e + dA) - e dA))). Both integers are
// below 2^24, so they and their single-precision quotient are exact or correctly rounded, and a
// quotient that is no whole number lies at least 1/65025 below the next one, more than a float
// step below 256: truncating gives the floor. Union: 255 - floor((255 - dA) (255 - e) / 255), the
// product fitting a word, where x * 0x8081 >> 23 is floor(x / 255).
inline __m128i SourceWeight4(__m128i dA, __m128i e)
{
    const __m128i sum = _mm_add_epi32(e, dA);
    const __m128i den = _mm_sub_epi32(_mm_sub_epi32(_mm_slli_epi32(sum, 8), sum), _mm_mullo_epi16(e, dA));
    const __m128 q = _mm_div_ps(_mm_mul_ps(_mm_cvtepi32_ps(e), _mm_set1_ps(65025.0f)), _mm_cvtepi32_ps(den));
    const __m128i w = _mm_min_epi16(_mm_cvttps_epi32(q), Splat32(255));
    // dA 0 (where 0 / 0 gave no number) takes 255.
    const __m128i clear = _mm_cmpeq_epi32(dA, _mm_setzero_si128());
    return _mm_or_si128(_mm_and_si128(clear, Splat32(255)), _mm_andnot_si128(clear, w));
}
inline __m128i AlphaUnion4(__m128i dA, __m128i e)
{
    const __m128i full = Splat32(255);
    const __m128i rest = _mm_mullo_epi16(_mm_sub_epi32(full, dA), _mm_sub_epi32(full, e));
    return _mm_sub_epi32(full, _mm_srli_epi16(_mm_mulhi_epu16(rest, Splat16(0x8081)), 7));
}

// Four pixels s laid over d at levels e (32-bit lanes) by d's alpha: colour blended by the factor of
// the source weight, alpha the union.
inline __m128i BlendOnAlpha4(__m128i d, __m128i s, __m128i e)
{
    const __m128i dA = AlphaOf(d);
    const __m128i w = SourceWeight4(dA, e);
    const __m128i out = _mm_and_si128(BlendByFactor4(d, s, Factor32(w)), Splat32(0x00FFFFFFu));
    return _mm_or_si128(out, _mm_slli_epi32(AlphaUnion4(dA, e), 24));
}

// The row of the multiply table that `table` is (its level), or -1 for any other table.
inline int MulTableRowOf(const uint8_t* table)
{
    const uintptr_t base = reinterpret_cast<uintptr_t>(&g_MulTable[0][0]);
    const uintptr_t at = reinterpret_cast<uintptr_t>(table);
    return at >= base && at - base < 65536 && (at - base) % 256 == 0 ? int((at - base) / 256) : -1;
}
// Four look-ups of a byte table; a row of the multiply table is computed instead of read.
struct ByteTable {
    const uint8_t* table;
    int row;
    explicit ByteTable(const uint8_t* t) : table(t), row(MulTableRowOf(t)) {}
    __m128i Look4(__m128i idx) const
    {
        if (row == 255) {
            return idx; // the identity row
        }
        if (row >= 0) {
            return MulByte32(idx, Splat32(uint32_t(row)));
        }
        return Gather4(idx, [this](uint32_t i) { return uint32_t(table[i]); });
    }
};

// --- row loops ----------------------------------------------------------------------------------

// How far ahead (bytes) the two-picture loops ask for their lines: pictures that do not fit the
// near caches otherwise leave the loops waiting on memory. A hint only: the address may lie past
// the row or the picture.
constexpr intptr_t kAhead = 2048;
inline void PrefetchAhead(const uint8_t* p)
{
    _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(p) + kAhead), _MM_HINT_T0);
}

// Scaled sampling state along one axis (see the copy operations' stepping record).
struct Axis {
    int32_t acc, frac, den, step;
};
inline void Advance(const uint8_t*& p, int32_t& acc, const Axis& a, intptr_t unit)
{
    p += a.step * unit;
    acc += a.frac;
    if (acc >= 0) {
        p += unit;
        acc -= a.den;
    }
}

// dst/src rows, op.Pixel(d, s) and, for the SIMD form, op.Vec(d4, s4).
template <class Op> void Rows2(uint8_t* dst, const uint8_t* src, int dstSkip, int srcSkip, int w, int h, const Op& op)
{
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x, dst += 4, src += 4) {
            Store32(dst, op.Pixel(Load32(dst), Load32(src)));
        }
        dst += dstSkip;
        src += srcSkip;
    }
}
template <class Op>
void Rows2Simd(uint8_t* dst, const uint8_t* src, int dstSkip, int srcSkip, int w, int h, const Op& op)
{
    for (int y = 0; y < h; ++y) {
        int x = 0;
        for (; x + 16 <= w; x += 16) {
            PrefetchAhead(dst);
            PrefetchAhead(src);
            for (int k = 0; k < 4; ++k, dst += 16, src += 16) {
                Store4(dst, op.Vec(Load4(dst), Load4(src)));
            }
        }
        for (; x + 4 <= w; x += 4, dst += 16, src += 16) {
            Store4(dst, op.Vec(Load4(dst), Load4(src)));
        }
        for (; x < w; ++x, dst += 4, src += 4) {
            Store32(dst, op.Pixel(Load32(dst), Load32(src)));
        }
        dst += dstSkip;
        src += srcSkip;
    }
}
template <class Op>
void Rows2Scaled(uint8_t* dst, const uint8_t* src, int dstSkip, int srcPitch, int w, int h, Axis ax, Axis ay,
                 const Op& op)
{
    int32_t yacc = ay.acc;
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src;
        int32_t xacc = ax.acc;
        for (int x = 0; x < w; ++x, dst += 4) {
            Store32(dst, op.Pixel(Load32(dst), Load32(s)));
            Advance(s, xacc, ax, 4);
        }
        dst += dstSkip;
        Advance(src, yacc, ay, srcPitch);
    }
}
template <class Op>
void Rows2ScaledSimd(uint8_t* dst, const uint8_t* src, int dstSkip, int srcPitch, int w, int h, Axis ax, Axis ay,
                     const Op& op)
{
    int32_t yacc = ay.acc;
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src;
        int32_t xacc = ax.acc;
        int x = 0;
        for (; x + 4 <= w; x += 4, dst += 16) {
            alignas(16) uint32_t texels[4];
            for (int i = 0; i < 4; ++i) {
                texels[i] = Load32(s);
                Advance(s, xacc, ax, 4);
            }
            Store4(dst, op.Vec(Load4(dst), _mm_load_si128(reinterpret_cast<const __m128i*>(texels))));
        }
        for (; x < w; ++x, dst += 4) {
            Store32(dst, op.Pixel(Load32(dst), Load32(s)));
            Advance(s, xacc, ax, 4);
        }
        dst += dstSkip;
        Advance(src, yacc, ay, srcPitch);
    }
}
// Destination-only rows: op.Pixel(d), op.Vec(d4).
template <class Op> void Rows1(uint8_t* dst, int dstSkip, int w, int h, const Op& op)
{
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x, dst += 4) {
            Store32(dst, op.Pixel(Load32(dst)));
        }
        dst += dstSkip;
    }
}
template <class Op> void Rows1Simd(uint8_t* dst, int dstSkip, int w, int h, const Op& op)
{
    for (int y = 0; y < h; ++y) {
        int x = 0;
        for (; x + 4 <= w; x += 4, dst += 16) {
            Store4(dst, op.Vec(Load4(dst)));
        }
        for (; x < w; ++x, dst += 4) {
            Store32(dst, op.Pixel(Load32(dst)));
        }
        dst += dstSkip;
    }
}
// Destination with an 8-bit mask: op.Pixel(d, m), op.Vec(d4, m4 in 32-bit lanes).
template <class Op>
void MaskRows(uint8_t* dst, const uint8_t* mask, int dstSkip, int maskSkip, int w, int h, const Op& op)
{
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x, dst += 4, ++mask) {
            Store32(dst, op.Pixel(Load32(dst), *mask));
        }
        dst += dstSkip;
        mask += maskSkip;
    }
}
template <class Op>
void MaskRowsSimd(uint8_t* dst, const uint8_t* mask, int dstSkip, int maskSkip, int w, int h, const Op& op)
{
    for (int y = 0; y < h; ++y) {
        int x = 0;
        for (; x + 4 <= w; x += 4, dst += 16, mask += 4) {
            Store4(dst, op.Vec(Load4(dst), LoadMask4(mask)));
        }
        for (; x < w; ++x, dst += 4, ++mask) {
            Store32(dst, op.Pixel(Load32(dst), *mask));
        }
        dst += dstSkip;
        mask += maskSkip;
    }
}

// Skips source pixels equal to the key (all 32 bits).
template <class Op> struct SourceKeyed {
    Op op;
    uint32_t key;
    uint32_t Pixel(uint32_t d, uint32_t s) const { return s == key ? d : op.Pixel(d, s); }
    __m128i Vec(__m128i d, __m128i s) const { return Select(_mm_cmpeq_epi32(s, Splat32(key)), d, op.Vec(d, s)); }
};
// Leaves destination pixels equal to the key (all 32 bits).
template <class Op> struct DestKeyed {
    Op op;
    uint32_t key;
    uint32_t Pixel(uint32_t d) const { return d == key ? d : op.Pixel(d); }
    __m128i Vec(__m128i d) const { return Select(_mm_cmpeq_epi32(d, Splat32(key)), d, op.Vec(d)); }
};

} // namespace pixel_simd

// The stepping record of the scaled kernels split into its two axes.
#define PIXEL_SIMD_AXES(step)                                                                         \
    pixel_simd::Axis{(step).xAcc, (step).xFrac, (step).xDen, (step).xStep},                           \
        pixel_simd::Axis { (step).yAcc, (step).yFrac, (step).yDen, (step).yStep }
