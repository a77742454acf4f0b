// The 512-bit twins of our pixel library's row kernels (see pixel_lib_kernels.h): sixteen pixels a
// step, the last pixels of a row through a lane mask instead of one at a time.
// GCC 12 starts some 512-bit intrinsics' results from a deliberately undefined register and then
// reports that register from inside its own header; the header is included here first, quietly.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include "raster/blend_tables.h"
#include "raster/pixel_lib_kernels.h"
#include "raster/pixel_simd_avx512.h"
#include "raster/row_kernel_loops.h"

#include <algorithm>
#include <cstddef>

#include <cstdint>

#define PIXEL_SIMD_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))
#define PIXEL_SIMD_AVX512_VBMI __attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi")))

namespace pixel_lib {
namespace {

PIXEL_SIMD_AVX512 inline __m512i Splat16(uint32_t v)
{
    return _mm512_set1_epi32(static_cast<int>(v));
}

// The level of each pixel, mul(level, sA), in 32-bit lanes.
PIXEL_SIMD_AVX512 inline __m512i LevelOf16(__m512i s, uint8_t level)
{
    return raster_simd::MulWordBytes16(_mm512_srli_epi32(s, 24), Splat16(level));
}

// The low word of each 32-bit lane in both its words.
PIXEL_SIMD_AVX512 inline __m512i BothWords(__m512i v)
{
    return _mm512_shuffle_epi8(v, _mm512_set4_epi32(0x0D0C0D0C, 0x09080908, 0x05040504, 0x01000100));
}

// The constants of alpha over alpha, made once a call and kept in registers (KeepInRegister): left as
// constants, the compiler builds several of them again inside the loop.
struct OverConstants {
    __m512i full, alpha, colour, odd, one, by255;
    __m512 area, whole, most, words;
};

PIXEL_SIMD_AVX512 inline OverConstants MakeOverConstants()
{
    // The weight's quotient is taken of (255 - a) << 24 read as floats, so both its terms carry a
    // factor 2^48 (exact: every value has at most 24 significant bits).
    constexpr float kScale = 281474976710656.0f; // 2^48
    OverConstants c{Splat16(255),
                    Splat16(0xFF000000u),
                    Splat16(0x00FFFFFFu),
                    Splat16(0xFF00FF00u),
                    _mm512_set1_epi16(1),
                    _mm512_set1_epi16(-32639),
                    _mm512_set1_ps(65025.0f * kScale),
                    _mm512_set1_ps(255.0f * 65025.0f * kScale),
                    _mm512_set1_ps(255.0f),
                    _mm512_set1_ps(65537.0f)};
    raster_simd::KeepInRegister(c.full);
    raster_simd::KeepInRegister(c.alpha);
    raster_simd::KeepInRegister(c.colour);
    raster_simd::KeepInRegister(c.odd);
    raster_simd::KeepInRegister(c.one);
    raster_simd::KeepInRegister(c.by255);
    return c;
}

// Sixteen pixels s over d by d's alpha, the rule of the AVX2 kernel (OnAlpha8 there), given
// na = (255 - dA) << 24 and nb = (255 - e) << 24 for the levels e (s's alpha bytes are not read).
// With rest = (255 - dA) (255 - e), the union alpha is 255 - floor(rest / 255) and the source
// weight w = min(255, floor(65025 e / (65025 - rest))), the single-precision quotient truncating
// to the floor; 0 / 0 (both clear) goes to 255 through the minimum. Each colour byte becomes
// d + floor((s - d) f / 256) with f = w + 1 (0 for w = 0).
PIXEL_SIMD_AVX512 inline __m512i OnAlpha16(const OverConstants& c, __m512i d, __m512i s, __m512i na, __m512i nb)
{
    // Word products of na and nb: the high word of each lane is rest, exactly.
    const __m512i rest = _mm512_mulhi_epu16(na, nb);
    // Both terms of the quotient times 2^48, each formed exactly by one fused step: with
    // b = (255 - e) 2^24, 65025 e 2^48 = 255 65025 2^48 - 65025 2^24 b.
    const __m512 b = _mm512_cvtepu32_ps(nb);
    const __m512 den = _mm512_fnmadd_ps(_mm512_cvtepu32_ps(na), b, c.area);
    const __m512 num = _mm512_fnmadd_ps(b, _mm512_set1_ps(65025.0f * 16777216.0f), c.whole);
    const __m512 w = _mm512_roundscale_ps(_mm512_min_ps(_mm512_div_ps(num, den), c.most),
                                          _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    // f in both words of its lane at once: (w + 1) 65537, exact in single precision (the largest,
    // 256 65537, is even).
    const __mmask16 some = _mm512_cmp_ps_mask(w, _mm512_setzero_ps(), _CMP_GT_OQ);
    const __m512i ff = _mm512_cvttps_epi32(_mm512_maskz_fmadd_ps(some, w, c.words, c.words));
    // floor(rest / 255) lies in bits 7-14 of the high word: shifted up by 1 it fills the alpha
    // byte, whose complement is 255 minus it.
    const __m512i cut = _mm512_slli_epi32(_mm512_mulhi_epu16(rest, c.by255), 1);
    // Odd bytes as d 256 + (s - d) f, which lies in 0..65280, so its high byte is the result. Even
    // bytes from the whole words' difference: its product carries the odd bytes' product times
    // 256, whose low byte is taken off again (only the low byte is kept, so all is modulo 256).
    const __m512i pO = _mm512_mullo_epi16(_mm512_sub_epi16(_mm512_srli_epi16(s, 8), _mm512_srli_epi16(d, 8)), ff);
    const __m512i p = _mm512_mullo_epi16(_mm512_sub_epi16(s, d), ff);
    const __m512i rE = _mm512_sub_epi16(_mm512_add_epi16(d, _mm512_srli_epi16(p, 8)), pO);
    const __m512i rO = _mm512_add_epi16(_mm512_and_si512(d, c.odd), pO);
    const __m512i mixed = _mm512_ternarylogic_epi32(c.odd, rO, rE, 0xCA);  // odd ? rO : rE
    return _mm512_ternarylogic_epi32(c.alpha, cut, mixed, 0x3A);          // alpha ? ~cut : mixed
}

// Levels all 0: a clear pixel of d takes the source's colour (alpha 0), any other is left.
PIXEL_SIMD_AVX512 inline __m512i ClearOver16(const OverConstants& c, __m512i d, __m512i s)
{
    const __mmask16 bare = _mm512_testn_epi32_mask(d, c.alpha);
    return _mm512_mask_and_epi32(d, bare, s, c.colour);
}

// Over pixels d that are all opaque: the weight is the level itself and the union opaque.
PIXEL_SIMD_AVX512 inline __m512i OverOpaque16(const OverConstants& c, __m512i d, __m512i s, __m512i e)
{
    const __m512i f = _mm512_mask_add_epi32(e, _mm512_test_epi32_mask(e, e), e, c.one);
    const __m512i ff = BothWords(f);
    return _mm512_or_si512(raster_simd::BlendBytesByWords16(d, s, ff, ff), c.alpha);
}

// The pixels of the lanes in `live` of one group; the others are neither read nor written.
template <bool Whole>
PIXEL_SIMD_AVX512 inline void OnAlphaOverGroup(const OverConstants& c, BYTE* dst, const BYTE* under, const BYTE* src,
                                               __mmask16 live, BYTE o)
{
    const __m512i s = _mm512_maskz_loadu_epi32(live, src);
    // (255 - level) << 24, the form the quotient takes; at 255 straight from the alpha bytes.
    const __m512i e = Whole ? _mm512_setzero_si512() : LevelOf16(s, o);
    const __m512i nb = Whole ? _mm512_andnot_si512(s, c.alpha) : _mm512_slli_epi32(_mm512_sub_epi32(c.full, e), 24);
    __m512i out;
    if (_mm512_mask_test_epi32_mask(live, nb, nb) == 0) {
        out = s; // opaque source pixels are the result: what lies under them is not read
    } else {
        const __m512i u = _mm512_maskz_loadu_epi32(live, under);
        const __m512i na = _mm512_andnot_si512(u, c.alpha);
        if ((Whole ? _mm512_test_epi32_mask(s, c.alpha) : _mm512_test_epi32_mask(e, e)) == 0) {
            out = ClearOver16(c, u, s);
        } else if (_mm512_mask_test_epi32_mask(live, na, na) == 0) {
            out = OverOpaque16(c, u, s, Whole ? _mm512_srli_epi32(s, 24) : e);
        } else {
            out = OnAlpha16(c, u, s, na, nb);
        }
    }
    _mm512_mask_storeu_epi32(dst, live, out);
}

// Ahead: each row's lines are asked for a row ahead (see AlphaOnAlphaOverRowsAvx512).
template <bool Whole, bool Ahead>
PIXEL_SIMD_AVX512 void OnAlphaOverRows16(BYTE* dst, const BYTE* under, const BYTE* src, int dstSkip, int underSkip,
                                         int srcSkip, int width, int height, BYTE o)
{
    const OverConstants c = MakeOverConstants();
    const int whole = width & ~15, rest = width - whole;
    const __mmask16 last = static_cast<__mmask16>((1u << rest) - 1);
    const ptrdiff_t ahead = std::min(raster_detail::kBlendAhead, static_cast<ptrdiff_t>(width) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < whole; x += 16, dst += 64, under += 64, src += 64) {
            if (Ahead) {
                raster_detail::PrefetchAlong(src, ahead, static_cast<ptrdiff_t>(width - x) * 4, srcSkip);
            }
            OnAlphaOverGroup<Whole>(c, dst, under, src, 0xFFFF, o);
        }
        if (rest) {
            OnAlphaOverGroup<Whole>(c, dst, under, src, last, o);
        }
        dst += rest * 4 + dstSkip;
        under += rest * 4 + underSkip;
        src += rest * 4 + srcSkip;
    }
}

// Sixteen pixels d plus floor(s f / 256) per colour byte, saturating; the alpha byte of d kept.
// Blue and red are weighed in the low bytes of their words, green in the high byte of its word.
PIXEL_SIMD_AVX512 inline __m512i AddByFactor16(__m512i d, __m512i s, __m512i f)
{
    const __m512i even = _mm512_srli_epi16(_mm512_mullo_epi16(_mm512_and_si512(s, Splat16(0x00FF00FFu)), f), 8);
    const __m512i green = _mm512_mullo_epi16(_mm512_and_si512(_mm512_srli_epi32(s, 8), Splat16(0xFFu)), f);
    // even | (green & 0xFF00): the alpha byte of the sum is 0, so d's alpha passes unchanged.
    return _mm512_adds_epu8(d, _mm512_ternarylogic_epi32(even, green, Splat16(0x0000FF00u), 0xF8));
}

PIXEL_SIMD_AVX512 void AddRows16(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                                 uint16_t factor)
{
    const int whole = width & ~15, rest = width - whole;
    const __mmask16 last = static_cast<__mmask16>((1u << rest) - 1);
    const __m512i f = _mm512_set1_epi16(static_cast<short>(factor));
    // Two streams read in order: the processor's own prefetching keeps up, asking ahead gained nothing.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < whole; x += 16, dst += 64, src += 64) {
            _mm512_storeu_si512(dst, AddByFactor16(_mm512_loadu_si512(dst), _mm512_loadu_si512(src), f));
        }
        if (rest) {
            const __m512i d = _mm512_maskz_loadu_epi32(last, dst), s = _mm512_maskz_loadu_epi32(last, src);
            _mm512_mask_storeu_epi32(dst, last, AddByFactor16(d, s, f));
        }
        dst += rest * 4 + dstSkip;
        src += rest * 4 + srcSkip;
    }
}

// The levels of the rule bytes of `live` lanes through the table, one a 32-bit lane.
PIXEL_SIMD_AVX512 inline __m512i RuleLevels16(const BYTE* rule, const uint32_t* table, __mmask16 live)
{
    const __m512i r = _mm512_cvtepu8_epi32(_mm_maskz_loadu_epi8(live, rule));
    return _mm512_i32gather_epi32(r, table, 4);
}

// The lanes in `live` of a rule fade: a's pixels blended towards b's by the factor of each level,
// a's alpha kept. Level 0 takes a without reading b, level 255 b's colour.
PIXEL_SIMD_AVX512 inline void RuleFadeGroup(BYTE* dst, const BYTE* a, const BYTE* b, __m512i e, __mmask16 live)
{
    const __m512i alpha = Splat16(0xFF000000u);
    const __m512i pa = _mm512_maskz_loadu_epi32(live, a);
    const __mmask16 some = _mm512_test_epi32_mask(e, e);
    if (some == 0) {
        _mm512_mask_storeu_epi32(dst, live, pa);
        return;
    }
    const __m512i pb = _mm512_maskz_loadu_epi32(some, b);
    __m512i colour;
    if ((_mm512_cmpeq_epi32_mask(e, Splat16(255)) & live) == live) {
        colour = pb;
    } else {
        const __m512i f = _mm512_mask_add_epi32(e, some, e, Splat16(1));
        const __m512i ff = BothWords(f);
        colour = raster_simd::BlendBytesByWords16(pa, pb, ff, ff);
    }
    // (pa & alpha) | (colour & ~alpha)
    _mm512_mask_storeu_epi32(dst, live, _mm512_ternarylogic_epi32(alpha, pa, colour, 0xCA));
}

PIXEL_SIMD_AVX512 void RuleFadeRows16(BYTE* dst, const BYTE* a, const BYTE* b, int dstSkip, int aSkip, int bSkip,
                                      int width, int height, const BYTE* rule, int ruleSkip, const BYTE* levels)
{
    // The levels widened once a call, so each group gathers its sixteen at once.
    alignas(64) uint32_t table[256];
    for (int i = 0; i < 256; ++i) {
        table[i] = levels[i];
    }
    const int whole = width & ~15, rest = width - whole;
    const __mmask16 last = static_cast<__mmask16>((1u << rest) - 1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < whole; x += 16, dst += 64, a += 64, b += 64, rule += 16) {
            RuleFadeGroup(dst, a, b, RuleLevels16(rule, table, 0xFFFF), 0xFFFF);
        }
        if (rest) {
            RuleFadeGroup(dst, a, b, RuleLevels16(rule, table, last), last);
        }
        dst += rest * 4 + dstSkip;
        a += rest * 4 + aSkip;
        b += rest * 4 + bSkip;
        rule += rest + ruleSkip;
    }
}

// A table of 256 bytes in four registers.
struct ByteTable {
    __m512i part[4];
};

// Byte v of the table for each byte v of x: the low seven bits pick within a half, the top bit
// picks the half.
PIXEL_SIMD_AVX512_VBMI inline __m512i Look(const ByteTable& t, __m512i x)
{
    const __m512i low = _mm512_permutex2var_epi8(t.part[0], x, t.part[1]);
    const __m512i high = _mm512_permutex2var_epi8(t.part[2], x, t.part[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
}

// The alpha bytes of sixteen pixels.
constexpr uint64_t kAlphaBytes = 0x8888888888888888ull;

// The lanes in `live` of one group of CrossFadeRowsAvx512; the others are neither read nor written.
PIXEL_SIMD_AVX512_VBMI inline void FadeGroup(const ByteTable& keep, const ByteTable& take, bool aKept,
                                             __mmask16 live, BYTE* d, const BYTE* pa, const BYTE* pb)
{
    const __m512i va = _mm512_maskz_loadu_epi32(live, pa), vb = _mm512_maskz_loadu_epi32(live, pb);
    const __m512i mixed = _mm512_add_epi8(Look(keep, aKept ? va : vb), Look(take, aKept ? vb : va));
    _mm512_mask_storeu_epi32(d, live, _mm512_mask_mov_epi8(mixed, _cvtu64_mask64(kAlphaBytes), va));
}

} // namespace

void RuleFadeRowsAvx512(BYTE* dst, const BYTE* a, const BYTE* b, int dstSkip, int aSkip, int bSkip, int width,
                        int height, const BYTE* rule, int ruleSkip, const BYTE* levels)
{
    RuleFadeRows16(dst, a, b, dstSkip, aSkip, bSkip, width, height, rule, ruleSkip, levels);
}

void AddRowsAvx512(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE o)
{
    AddRows16(dst, src, dstSkip, srcSkip, width, height, static_cast<uint16_t>(o ? o + 1 : 0));
}

PIXEL_SIMD_AVX512_VBMI void CrossFadeRowsAvx512(BYTE* dst, const BYTE* a, const BYTE* b, int dstSkip,
                                                int aSkip, int bSkip, int width, int height, BYTE o)
{
    // With f = min(o, 255 - o), mul(255 - f, p) = p - mul(f, p), so each colour byte is
    // keep[p] + take[q] with keep[v] = v - mul(f, v) and take[v] = mul(f, v), where p is the source
    // weighed by 255 - f: a for o up to 127, else b. The sum never passes 255 (at most 255 - f and
    // f), so the plain kernel's cap is never reached.
    const bool aKept = o <= 127;
    const int f = aKept ? o : 255 - o;
    ByteTable keep, take;
    for (int k = 0; k < 4; ++k) {
        take.part[k] = _mm512_loadu_si512(&g_MulTable[f][64 * k]);
        __m512i v = _mm512_set_epi8(63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46,
                                    45, 44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28,
                                    27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9,
                                    8, 7, 6, 5, 4, 3, 2, 1, 0);
        v = _mm512_add_epi8(v, _mm512_set1_epi8(static_cast<char>(64 * k)));
        keep.part[k] = _mm512_sub_epi8(v, take.part[k]);
    }
    const int whole = width & ~15, rest = width - whole;
    const __mmask16 last = static_cast<__mmask16>((1u << rest) - 1);
    const ptrdiff_t ahead = std::min(raster_detail::kBlendAhead, static_cast<ptrdiff_t>(width) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < whole; x += 16, dst += 64, a += 64, b += 64) {
            const ptrdiff_t left = static_cast<ptrdiff_t>(width - x) * 4;
            raster_detail::PrefetchAlong(a, ahead, left, aSkip);
            raster_detail::PrefetchAlong(b, ahead, left, bSkip);
            FadeGroup(keep, take, aKept, 0xFFFF, dst, a, b);
        }
        if (rest) {
            FadeGroup(keep, take, aKept, last, dst, a, b);
        }
        dst += rest * 4 + dstSkip;
        a += rest * 4 + aSkip;
        b += rest * 4 + bSkip;
    }
}

void AlphaOnAlphaOverRowsAvx512(BYTE* dst, const BYTE* under, const BYTE* src, int dstSkip, int underSkip,
                                int srcSkip, int width, int height, BYTE o)
{
    // Rows of a kilobyte and more are cells of a sheet too large for the caches, whose rows lie far
    // apart: each row's lines are asked for a row ahead, or every row begins waiting on memory.
    // Shorter rows come from the caches, where asking costs more than it saves.
    const bool ahead = width >= 256;
    const auto rows = o == 255 ? (ahead ? OnAlphaOverRows16<true, true> : OnAlphaOverRows16<true, false>)
                               : (ahead ? OnAlphaOverRows16<false, true> : OnAlphaOverRows16<false, false>);
    rows(dst, under, src, dstSkip, underSkip, srcSkip, width, height, o);
}

} // namespace pixel_lib
