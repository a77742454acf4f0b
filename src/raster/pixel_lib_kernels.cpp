// AVX2 row kernels of our pixel library (see pixel_lib_kernels.h).
#include "raster/pixel_lib_kernels.h"

#include "raster/blend_tables.h"
#include "raster/pixel_simd.h"
#include "raster/pixel_simd_avx2.h"
#include "raster/row_kernel_loops.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace pixel_lib {
namespace {

using namespace pixel_simd_avx2;
using pixel_simd::BlendByFactor;
using pixel_simd::FactorOf;
using pixel_simd::Load32;
using pixel_simd::Store32;

// --- alpha over alpha ----------------------------------------------------------------------------

uint32_t OnAlphaPixel(uint32_t d, uint32_t s, BYTE o)
{
    const uint32_t dA = d >> 24;
    const uint32_t e = g_MulTable[o][s >> 24];
    const uint32_t out = BlendByFactor(d, s, FactorOf(g_SourceWeightTable[dA][e])) & 0x00FFFFFFu;
    return out | uint32_t(g_AlphaUnionTable[dA][e]) << 24;
}

// Eight pixels s at levels e over d by d's alpha, any levels and alphas, without a branch. With
// rest = (255 - dA) (255 - e), the alpha union is 255 - floor(rest / 255) and the source weight
// floor(65025 e / (65025 - rest)), which is at most 255 (the divisor is at least 255 e). Both
// integers of the quotient stay below 2^24, so the single-precision quotient truncates to the
// floor (a quotient that is no whole number lies at least 1/65025 below the next). A clear source
// over a clear destination gives 0 / 0, which the minimum takes to 255 (a clear destination takes
// the source's colour). Over dA 255 this is e with union 255, over dA 0 it is 255 with union e.
PIXEL_SIMD_AVX2 inline __m256i OnAlpha8(__m256i d, __m256i s, __m256i e)
{
    const __m256i full = Splat(255);
    const __m256i dA = _mm256_srli_epi32(d, 24);
    // rest fits a word, where x * 0x8081 >> 23 is floor(x / 255).
    const __m256i rest = _mm256_mullo_epi16(_mm256_sub_epi32(full, dA), _mm256_sub_epi32(full, e));
    const __m256i den = _mm256_sub_epi32(Splat(65025), rest);
    const __m256 q = _mm256_div_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(e), _mm256_set1_ps(65025.0f)),
                                   _mm256_cvtepi32_ps(den));
    const __m256i w = _mm256_cvttps_epi32(_mm256_min_ps(q, _mm256_set1_ps(255.0f)));
    // The weight in both words of its lane, then its factor (w + 1, 0 for 0) per word.
    const __m256i ww = _mm256_shuffle_epi8(
        w, _mm256_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13, 0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9,
                            12, 13, 12, 13));
    const __m256i ff = _mm256_sub_epi16(ww, _mm256_cmpgt_epi16(ww, _mm256_setzero_si256()));
    // The union's alpha byte: 255 - floor(rest / 255), taken from an alpha byte of 255.
    const __m256i cut = _mm256_srli_epi16(_mm256_mulhi_epu16(rest, _mm256_set1_epi16(-32639)), 7);
    return _mm256_sub_epi32(_mm256_or_si256(BlendColourByWords(d, s, ff), Splat(0xFF000000u)),
                            _mm256_slli_epi32(cut, 24));
}

// Eight pixels s at levels all 0 over d: a clear pixel of d takes the source's colour (alpha 0),
// any other is left.
PIXEL_SIMD_AVX2 inline __m256i ClearOverValue8(__m256i d, __m256i s)
{
    const __m256i bare = _mm256_cmpeq_epi32(_mm256_srli_epi32(d, 24), _mm256_setzero_si256());
    return _mm256_blendv_epi8(d, _mm256_and_si256(s, Splat(0x00FFFFFFu)), bare);
}

// The same in place.
PIXEL_SIMD_AVX2 inline void ClearOver8(BYTE* dst, __m256i s)
{
    const __m256i d = Load8(dst);
    // Clear pixels already holding the source's colour are not written again.
    const __m256i out = ClearOverValue8(d, s);
    if (!All(_mm256_cmpeq_epi32(out, d))) {
        Store8(dst, out);
    }
}

PIXEL_SIMD_AVX2 inline void OnAlphaGroup8(BYTE* dst, __m256i s, __m256i e)
{
    if (All(_mm256_cmpeq_epi32(e, Splat(255)))) {
        Store8(dst, s); // level 255 needs sA 255 and o 255: the source pixels as they are
    } else if (_mm256_testz_si256(e, e)) {
        ClearOver8(dst, s);
    } else {
        Store8(dst, OnAlpha8(Load8(dst), s, e));
    }
}

// Alpha over alpha of s over pixels u that are all opaque: the weight is the level itself and the
// union opaque, so no quotient is needed.
PIXEL_SIMD_AVX2 inline __m256i OverOpaque8(__m256i u, __m256i s, __m256i e)
{
    return _mm256_or_si256(BlendColour(u, s, Factor(e)), Splat(0xFF000000u));
}
PIXEL_SIMD_AVX2 inline bool AllOpaque(__m256i u)
{
    return All(_mm256_cmpeq_epi32(_mm256_or_si256(u, Splat(0x00FFFFFFu)), Splat(0xFFFFFFFFu)));
}

// --- by the source alpha at a level ------------------------------------------------------------

uint32_t ByLevelPixel(uint32_t d, uint32_t s, BYTE o)
{
    return BlendByFactor(d, s, FactorOf(g_MulTable[o][s >> 24]));
}

// --- towards a colour ----------------------------------------------------------------------------

PIXEL_SIMD_AVX2 inline __m256i TowardsColour(__m256i d, __m256i fdv, __m256i k)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo = _mm256_add_epi16(MulByte(_mm256_unpacklo_epi8(d, zero), fdv), k);
    const __m256i hi = _mm256_add_epi16(MulByte(_mm256_unpackhi_epi8(d, zero), fdv), k);
    return _mm256_packus_epi16(lo, hi);
}

template <bool Whole>
PIXEL_SIMD_AVX2 void OnAlphaRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                                 BYTE o)
{
    const __m256i full = Splat(255);
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 16 <= width; x += 16, dst += 64, src += 64) {
            const __m256i s0 = Load8(src), s1 = Load8(src + 32);
            const __m256i e0 = LevelOf<Whole>(s0, o), e1 = LevelOf<Whole>(s1, o);
            if (All(_mm256_cmpeq_epi32(_mm256_and_si256(e0, e1), full))) {
                // Level 255 needs sA 255 and o 255: the source pixels as they are.
                Store8(dst, s0);
                Store8(dst + 32, s1);
                continue;
            }
            const __m256i any = _mm256_or_si256(e0, e1);
            if (_mm256_testz_si256(any, any)) {
                ClearOver8(dst, s0);
                ClearOver8(dst + 32, s1);
                continue;
            }
            // Mixed groups take the whole rule: a branch a group costs more than it saves here.
            Store8(dst, OnAlpha8(Load8(dst), s0, e0));
            Store8(dst + 32, OnAlpha8(Load8(dst + 32), s1, e1));
        }
        if (x + 8 <= width) {
            const __m256i s = Load8(src);
            OnAlphaGroup8(dst, s, LevelOf<Whole>(s, o));
            x += 8;
            dst += 32;
            src += 32;
        }
        for (; x < width; ++x, dst += 4, src += 4) {
            Store32(dst, OnAlphaPixel(Load32(dst), Load32(src), o));
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

template <bool Whole>
PIXEL_SIMD_AVX2 void OnAlphaOverRows(BYTE* dst, const BYTE* under, const BYTE* src, int dstSkip, int underSkip,
                                     int srcSkip, int width, int height, BYTE o)
{
    const __m256i full = Splat(255);
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 16 <= width; x += 16, dst += 64, under += 64, src += 64) {
            const __m256i s0 = Load8(src), s1 = Load8(src + 32);
            const __m256i e0 = LevelOf<Whole>(s0, o), e1 = LevelOf<Whole>(s1, o);
            if (All(_mm256_cmpeq_epi32(_mm256_and_si256(e0, e1), full))) {
                // Opaque source pixels are the result: what lies under them is not read.
                Store8(dst, s0);
                Store8(dst + 32, s1);
                continue;
            }
            const __m256i u0 = Load8(under), u1 = Load8(under + 32);
            const __m256i any = _mm256_or_si256(e0, e1);
            if (_mm256_testz_si256(any, any)) {
                Store8(dst, ClearOverValue8(u0, s0));
                Store8(dst + 32, ClearOverValue8(u1, s1));
            } else if (AllOpaque(_mm256_and_si256(u0, u1))) {
                Store8(dst, OverOpaque8(u0, s0, e0));
                Store8(dst + 32, OverOpaque8(u1, s1, e1));
            } else {
                Store8(dst, OnAlpha8(u0, s0, e0));
                Store8(dst + 32, OnAlpha8(u1, s1, e1));
            }
        }
        if (x + 8 <= width) {
            const __m256i s = Load8(src), u = Load8(under);
            const __m256i e = LevelOf<Whole>(s, o);
            Store8(dst, All(_mm256_cmpeq_epi32(e, full)) ? s
                        : _mm256_testz_si256(e, e) ? ClearOverValue8(u, s)
                        : AllOpaque(u)              ? OverOpaque8(u, s, e)
                                                    : OnAlpha8(u, s, e));
            x += 8;
            dst += 32;
            under += 32;
            src += 32;
        }
        for (; x < width; ++x, dst += 4, under += 4, src += 4) {
            Store32(dst, OnAlphaPixel(Load32(under), Load32(src), o));
        }
        dst += dstSkip;
        under += underSkip;
        src += srcSkip;
    }
}

template <bool Whole>
PIXEL_SIMD_AVX2 void ByLevelRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                                 BYTE o)
{
    // The lines a little further along are asked for ahead, as the blend kernels do: the loads of
    // the destination otherwise wait on memory.
    const ptrdiff_t ahead = std::min(raster_detail::kBlendAhead, static_cast<ptrdiff_t>(width) * 4 & ~ptrdiff_t{63});
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 16 <= width; x += 16, dst += 64, src += 64) {
            const ptrdiff_t left = static_cast<ptrdiff_t>(width - x) * 4;
            raster_detail::PrefetchAlong(dst, ahead, left, dstSkip);
            raster_detail::PrefetchAlong(src, ahead, left, srcSkip);
            const __m256i s0 = Load8(src), s1 = Load8(src + 32);
            const __m256i e0 = LevelWords<Whole>(s0, o), e1 = LevelWords<Whole>(s1, o);
            const __m256i any = _mm256_or_si256(e0, e1);
            if (_mm256_testz_si256(any, any)) {
                continue; // all clear: the destination is neither read nor written
            }
            Store8(dst, BlendByLevelWords8(Load8(dst), s0, e0));
            Store8(dst + 32, BlendByLevelWords8(Load8(dst + 32), s1, e1));
        }
        if (x + 8 <= width) {
            const __m256i s = Load8(src);
            BlendByLevel8(dst, s, LevelOf<Whole>(s, o));
            x += 8;
            dst += 32;
            src += 32;
        }
        for (; x < width; ++x, dst += 4, src += 4) {
            Store32(dst, ByLevelPixel(Load32(dst), Load32(src), o));
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

// min(255, mul(fa, a) + mul(fb, b)) per byte, the factors per word (alpha words 255 and 0: a's alpha).
PIXEL_SIMD_AVX2 inline __m256i Mix(__m256i a, __m256i b, __m256i fa, __m256i fb)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo = _mm256_add_epi16(MulByte(_mm256_unpacklo_epi8(a, zero), fa),
                                        MulByte(_mm256_unpacklo_epi8(b, zero), fb));
    const __m256i hi = _mm256_add_epi16(MulByte(_mm256_unpackhi_epi8(a, zero), fa),
                                        MulByte(_mm256_unpackhi_epi8(b, zero), fb));
    return _mm256_packus_epi16(lo, hi);
}

} // namespace

void AlphaOnAlphaRowsAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE o)
{
    (o == 255 ? OnAlphaRows<true> : OnAlphaRows<false>)(dst, src, dstSkip, srcSkip, width, height, o);
}

void AlphaOnAlphaOverRowsAvx2(BYTE* dst, const BYTE* under, const BYTE* src, int dstSkip, int underSkip, int srcSkip,
                              int width, int height, BYTE o)
{
    (o == 255 ? OnAlphaOverRows<true> : OnAlphaOverRows<false>)(dst, under, src, dstSkip, underSkip, srcSkip, width,
                                                                 height, o);
}

void BlendByLevelRowsAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE o)
{
    (o == 255 ? ByLevelRows<true> : ByLevelRows<false>)(dst, src, dstSkip, srcSkip, width, height, o);
}

PIXEL_SIMD_AVX2 void FillColorRowsAvx2(BYTE* dst, int dstSkip, int width, int height, DWORD rgb, BYTE o)
{
    // Per word: mul(fd, d) + k, the alpha word by 255 with nothing added (alpha kept).
    const auto chan = [&](int c) { return short(g_MulTable[o][(rgb >> (8 * c)) & 0xFF]); };
    const short fd = short(255 - o);
    const __m256i fdv = _mm256_setr_epi16(fd, fd, fd, 255, fd, fd, fd, 255, fd, fd, fd, 255, fd, fd, fd, 255);
    const __m256i k = _mm256_setr_epi16(chan(0), chan(1), chan(2), 0, chan(0), chan(1), chan(2), 0, chan(0),
                                        chan(1), chan(2), 0, chan(0), chan(1), chan(2), 0);
    if (width < 8) {
        // Narrow columns (falling rain): the pixels of several rows share a register, rather than
        // a register a row.
        alignas(32) uint32_t group[8] = {};
        BYTE* at[8];
        int n = 0;
        for (int y = 0; y < height; ++y, dst += dstSkip) {
            for (int x = 0; x < width; ++x, dst += 4) {
                at[n] = dst;
                std::memcpy(&group[n], dst, 4);
                if (++n == 8 || (y + 1 == height && x + 1 == width)) {
                    _mm256_store_si256(
                        reinterpret_cast<__m256i*>(group),
                        TowardsColour(_mm256_load_si256(reinterpret_cast<const __m256i*>(group)), fdv, k));
                    for (int i = 0; i < n; ++i) {
                        std::memcpy(at[i], &group[i], 4);
                    }
                    n = 0;
                }
            }
        }
        return;
    }
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 8 <= width; x += 8, dst += 32) {
            Store8(dst, TowardsColour(Load8(dst), fdv, k));
        }
        if (x < width) {
            // The last pixels through a buffer of eight.
            alignas(32) uint32_t tail[8] = {};
            const int n = width - x;
            std::memcpy(tail, dst, size_t(n) * 4);
            _mm256_store_si256(
                reinterpret_cast<__m256i*>(tail),
                TowardsColour(_mm256_load_si256(reinterpret_cast<const __m256i*>(tail)), fdv, k));
            std::memcpy(dst, tail, size_t(n) * 4);
            dst += 4 * n;
        }
        dst += dstSkip;
    }
}

PIXEL_SIMD_AVX2 void CrossFadeRowsAvx2(BYTE* dst, const BYTE* a, const BYTE* b, int dstSkip, int aSkip,
                                       int bSkip, int width, int height, BYTE o)
{
    const short n = short(255 - o), f = short(o);
    const __m256i fa = _mm256_setr_epi16(n, n, n, 255, n, n, n, 255, n, n, n, 255, n, n, n, 255);
    const __m256i fb = _mm256_setr_epi16(f, f, f, 0, f, f, f, 0, f, f, f, 0, f, f, f, 0);
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 8 <= width; x += 8, dst += 32, a += 32, b += 32) {
            Store8(dst, Mix(Load8(a), Load8(b), fa, fb));
        }
        for (; x < width; ++x, dst += 4, a += 4, b += 4) {
            uint32_t out = uint32_t(a[3]) << 24;
            for (int c = 0; c < 3; ++c) {
                const uint32_t v = g_MulTable[255 - o][a[c]] + g_MulTable[o][b[c]];
                out |= (v > 255 ? 255 : v) << (8 * c);
            }
            Store32(dst, out);
        }
        dst += dstSkip;
        a += aSkip;
        b += bSkip;
    }
}

} // namespace pixel_lib
