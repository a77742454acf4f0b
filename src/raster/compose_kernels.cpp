// Row kernels of the opacity, compositing and rule-blend operations (see compose_kernels.h).
#include "raster/compose_kernels.h"

#include "raster/blend_tables.h"
#include "raster/pixel_simd.h"

using namespace pixel_simd;

namespace {

enum class Way { Blend, Add, Sub };

template <Way W> uint32_t Apply(uint32_t d, uint32_t s, uint32_t f)
{
    return W == Way::Blend ? BlendByFactor(d, s, f) : W == Way::Add ? AddByFactor(d, s, f) : SubByFactor(d, s, f);
}
template <Way W> __m128i Apply4(__m128i d, __m128i s, __m128i f)
{
    return W == Way::Blend ? BlendByFactor4(d, s, f) : W == Way::Add ? AddByFactor4(d, s, f) : SubByFactor4(d, s, f);
}

template <Way W> struct OpacityOp {
    uint32_t f;
    uint32_t Pixel(uint32_t d, uint32_t s) const { return Apply<W>(d, s, f); }
    __m128i Vec(__m128i d, __m128i s) const { return Apply4<W>(d, s, Splat32(f)); }
};

template <Way W> struct AlphaTableOp {
    const BYTE* table;
    ByteTable lookup{table};
    uint32_t Pixel(uint32_t d, uint32_t s) const { return Apply<W>(d, s, FactorOf(table[s >> 24])); }
    __m128i Vec(__m128i d, __m128i s) const
    {
        return Apply4<W>(d, s, Factor32(lookup.Look4(AlphaOf(s))));
    }
};

// The tables' rows and columns where alpha over alpha needs no look-up: weight[0][e] = 255 with
// union[0][e] = e (over a clear pixel the source is taken with its alpha e), weight[dA][255] = 255
// with union 255 (an opaque source is taken whole), weight[dA][0] = 0 with union dA (a clear source
// leaves the pixel). Elsewhere both are computed.
struct AlphaOnAlphaOp {
    const BYTE* table;
    ByteTable lookup{table};
    uint32_t Pixel(uint32_t d, uint32_t s) const
    {
        const uint32_t dA = d >> 24;
        const uint32_t e = table[s >> 24];
        const uint32_t out = BlendByFactor(d, s, FactorOf(g_SourceWeightTable[dA][e])) & 0x00FFFFFFu;
        return out | uint32_t(g_AlphaUnionTable[dA][e]) << 24;
    }
    __m128i Vec(__m128i d, __m128i s) const
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i full = Splat32(255);
        const __m128i e = lookup.Look4(AlphaOf(s));
        const __m128i dA = AlphaOf(d);
        const __m128i takeSource = _mm_or_si128(_mm_cmpeq_epi32(e, full), _mm_cmpeq_epi32(dA, zero));
        const __m128i keep = _mm_andnot_si128(takeSource, _mm_cmpeq_epi32(e, zero));
        const __m128i colour = Splat32(0x00FFFFFFu);
        if (_mm_movemask_epi8(_mm_or_si128(takeSource, keep)) == 0xFFFF) {
            return Select(keep, d, _mm_or_si128(_mm_and_si128(s, colour), _mm_slli_epi32(e, 24)));
        }
        return BlendOnAlpha4(d, s, e);
    }
};

template <Way W, bool Simd> void AlphaTable(BYTE* dst, const BYTE* src, int ds, int ss, int w, int h, const BYTE* t)
{
    if (Simd) {
        Rows2Simd(dst, src, ds, ss, w, h, AlphaTableOp<W>{t});
    } else {
        Rows2(dst, src, ds, ss, w, h, AlphaTableOp<W>{t});
    }
}
template <Way W, bool Simd>
void AlphaTableScaled(BYTE* dst, const BYTE* src, int ds, int pitch, int w, int h, const StretchState& st,
                      const BYTE* t)
{
    if (Simd) {
        Rows2ScaledSimd(dst, src, ds, pitch, w, h, PIXEL_SIMD_AXES(st), AlphaTableOp<W>{t});
    } else {
        Rows2Scaled(dst, src, ds, pitch, w, h, PIXEL_SIMD_AXES(st), AlphaTableOp<W>{t});
    }
}

// Eight pixels of a rule blend. Opacity 0 leaves a pixel and 255 (factor 256) takes the source's
// colour, so groups wholly at either end (most of a fade) skip the arithmetic.
template <bool Alpha> inline void RuleBlend8(BYTE* dst, const BYTE* src, const BYTE* rule, const BYTE* levels)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i s0 = Load4(src), s1 = Load4(src + 16);
    uint64_t packed = 0;
    for (int i = 0; i < 8; ++i) {
        packed |= uint64_t(levels[rule ? rule[i] : src[4 * i + 3]]) << (8 * i);
    }
    __m128i o = _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<int64_t>(packed)), zero);
    if (Alpha) {
        o = MulByte16(o, _mm_packs_epi32(AlphaOf(s0), AlphaOf(s1)));
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(o, zero)) == 0xFFFF) {
        return;
    }
    const __m128i d0 = Load4(dst), d1 = Load4(dst + 16);
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(o, Splat16(255))) == 0xFFFF) {
        Store4(dst, KeepAlpha(d0, s0));
        Store4(dst + 16, KeepAlpha(d1, s1));
        return;
    }
    // Factors as words, spread over the colour words of each pixel (alpha words 0: alpha kept).
    const __m128i f = _mm_sub_epi16(o, _mm_cmpgt_epi16(o, zero));
    const __m128i colour = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i f03 = _mm_unpacklo_epi16(f, f), f47 = _mm_unpackhi_epi16(f, f);
    const __m128i fw[4] = {_mm_and_si128(_mm_unpacklo_epi32(f03, f03), colour),
                           _mm_and_si128(_mm_unpackhi_epi32(f03, f03), colour),
                           _mm_and_si128(_mm_unpacklo_epi32(f47, f47), colour),
                           _mm_and_si128(_mm_unpackhi_epi32(f47, f47), colour)};
    Store4(dst, _mm_packus_epi16(BlendWords(_mm_unpacklo_epi8(d0, zero), _mm_unpacklo_epi8(s0, zero), fw[0]),
                                 BlendWords(_mm_unpackhi_epi8(d0, zero), _mm_unpackhi_epi8(s0, zero), fw[1])));
    Store4(dst + 16,
           _mm_packus_epi16(BlendWords(_mm_unpacklo_epi8(d1, zero), _mm_unpacklo_epi8(s1, zero), fw[2]),
                            BlendWords(_mm_unpackhi_epi8(d1, zero), _mm_unpackhi_epi8(s1, zero), fw[3])));
}

// Rule rows: level(r, s) gives the opacity of a pixel.
template <bool Alpha, bool Simd>
void RuleRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int w, int h, const BYTE* rule, int ruleSkip,
              const BYTE* levels)
{
    auto opacity = [&](uint32_t s, uint32_t r) -> uint32_t {
        const uint32_t o = levels[r];
        return Alpha ? g_MulTable[o][s >> 24] : o;
    };
    for (int y = 0; y < h; ++y) {
        int x = 0;
        if (Simd) {
            for (; x + 8 <= w; x += 8, dst += 32, src += 32) {
                RuleBlend8<Alpha>(dst, src, rule, levels);
                if (rule) {
                    rule += 8;
                }
            }
            for (; x + 4 <= w; x += 4, dst += 16, src += 16) {
                const __m128i s = Load4(src);
                alignas(16) uint32_t o[4];
                for (int i = 0; i < 4; ++i) {
                    const uint32_t sp = Load32(src + 4 * i);
                    o[i] = opacity(sp, rule ? rule[i] : sp >> 24);
                }
                if (rule) {
                    rule += 4;
                }
                const __m128i f = Factor32(_mm_load_si128(reinterpret_cast<const __m128i*>(o)));
                Store4(dst, BlendByFactor4(Load4(dst), s, f));
            }
        }
        for (; x < w; ++x, dst += 4, src += 4) {
            const uint32_t s = Load32(src);
            const uint32_t r = rule ? *rule++ : s >> 24;
            Store32(dst, BlendByFactor(Load32(dst), s, FactorOf(opacity(s, r))));
        }
        dst += dstSkip;
        src += srcSkip;
        if (rule) {
            rule += ruleSkip;
        }
    }
}

} // namespace

void AddBlendRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE opacity)
{
    Rows2(dst, src, dstSkip, srcSkip, width, height, OpacityOp<Way::Add>{FactorOf(opacity)});
}
void AddBlendRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE opacity)
{
    Rows2Simd(dst, src, dstSkip, srcSkip, width, height, OpacityOp<Way::Add>{FactorOf(opacity)});
}
void SubBlendRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE opacity)
{
    Rows2(dst, src, dstSkip, srcSkip, width, height, OpacityOp<Way::Sub>{FactorOf(opacity)});
}
void SubBlendRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE opacity)
{
    Rows2Simd(dst, src, dstSkip, srcSkip, width, height, OpacityOp<Way::Sub>{FactorOf(opacity)});
}

#define ALPHA_TABLE_KERNELS(Name, W)                                                                          \
    void Name##Rows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,            \
                      const BYTE* table)                                                                     \
    {                                                                                                         \
        AlphaTable<W, false>(dst, src, dstSkip, srcSkip, width, height, table);                               \
    }                                                                                                         \
    void Name##Rows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,         \
                         const BYTE* table)                                                                  \
    {                                                                                                         \
        AlphaTable<W, true>(dst, src, dstSkip, srcSkip, width, height, table);                                \
    }                                                                                                         \
    void Name##Rows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,     \
                            const StretchState& step, const BYTE* table)                                      \
    {                                                                                                         \
        AlphaTableScaled<W, false>(dst, src, dstSkip, srcPitch, width, height, step, table);                  \
    }                                                                                                         \
    void Name##Rows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,  \
                               const StretchState& step, const BYTE* table)                                   \
    {                                                                                                         \
        AlphaTableScaled<W, true>(dst, src, dstSkip, srcPitch, width, height, step, table);                   \
    }
ALPHA_TABLE_KERNELS(BlendAlphaTable, Way::Blend)
ALPHA_TABLE_KERNELS(BlendAlphaTableAdd, Way::Add)
ALPHA_TABLE_KERNELS(BlendAlphaTableSub, Way::Sub)
#undef ALPHA_TABLE_KERNELS

void AlphaOnAlphaRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                        const BYTE* table)
{
    Rows2(dst, src, dstSkip, srcSkip, width, height, AlphaOnAlphaOp{table});
}
void AlphaOnAlphaRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                           const BYTE* table)
{
    Rows2Simd(dst, src, dstSkip, srcSkip, width, height, AlphaOnAlphaOp{table});
}
void AlphaOnAlphaRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                              const StretchState& step, const BYTE* table)
{
    Rows2Scaled(dst, src, dstSkip, srcPitch, width, height, PIXEL_SIMD_AXES(step), AlphaOnAlphaOp{table});
}
void AlphaOnAlphaRows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                 const StretchState& step, const BYTE* table)
{
    Rows2ScaledSimd(dst, src, dstSkip, srcPitch, width, height, PIXEL_SIMD_AXES(step), AlphaOnAlphaOp{table});
}

void RuleBlendRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                     const BYTE* rule, int ruleSkip, const BYTE* levels)
{
    RuleRows<false, false>(dst, src, dstSkip, srcSkip, width, height, rule, ruleSkip, levels);
}
void RuleBlendRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                        const BYTE* rule, int ruleSkip, const BYTE* levels)
{
    RuleRows<false, true>(dst, src, dstSkip, srcSkip, width, height, rule, ruleSkip, levels);
}
void RuleBlendAlphaRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                          const BYTE* rule, int ruleSkip, const BYTE* levels)
{
    RuleRows<true, false>(dst, src, dstSkip, srcSkip, width, height, rule, ruleSkip, levels);
}
void RuleBlendAlphaRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                             const BYTE* rule, int ruleSkip, const BYTE* levels)
{
    RuleRows<true, true>(dst, src, dstSkip, srcSkip, width, height, rule, ruleSkip, levels);
}
