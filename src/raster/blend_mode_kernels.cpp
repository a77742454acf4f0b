// Row kernels of the blend-mode operations (see blend_mode_kernels.h).
#include "raster/blend_mode_kernels.h"

#include "raster/blend_tables.h"
#include "raster/pixel_simd.h"
#include "raster/pixel_simd_avx2.h"
#include "winapi/simd_level.h"

#include <immintrin.h>

using namespace pixel_simd;

namespace {

// min(255, mul(fd, d) + mul(fs, s)) per colour byte, alpha kept.
struct MixOp {
    uint8_t fd[3], fs[3];
    __m128i fdv, fsv;
    MixOp(DWORD dstFactors, DWORD srcFactors)
    {
        for (int c = 0; c < 3; ++c) {
            fd[c] = static_cast<uint8_t>(dstFactors >> (8 * c));
            fs[c] = static_cast<uint8_t>(srcFactors >> (8 * c));
        }
        // The alpha lane takes mul(255, dA) + mul(0, sA) = dA: alpha passes through unchanged.
        fdv = _mm_set_epi16(255, fd[2], fd[1], fd[0], 255, fd[2], fd[1], fd[0]);
        fsv = _mm_set_epi16(0, fs[2], fs[1], fs[0], 0, fs[2], fs[1], fs[0]);
    }
    uint32_t Pixel(uint32_t d, uint32_t s) const
    {
        uint32_t out = d & 0xFF000000u;
        for (int c = 0; c < 3; ++c) {
            const uint32_t v = g_MulTable[fd[c]][(d >> (8 * c)) & 0xFF] + g_MulTable[fs[c]][(s >> (8 * c)) & 0xFF];
            out |= (v > 255 ? 255 : v) << (8 * c);
        }
        return out;
    }
    __m128i Vec(__m128i d, __m128i s) const
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i lo = _mm_add_epi16(MulByte16(_mm_unpacklo_epi8(d, zero), fdv),
                                         MulByte16(_mm_unpacklo_epi8(s, zero), fsv));
        const __m128i hi = _mm_add_epi16(MulByte16(_mm_unpackhi_epi8(d, zero), fdv),
                                         MulByte16(_mm_unpackhi_epi8(s, zero), fsv));
        return _mm_packus_epi16(lo, hi);
    }
};
MixOp FadeOp(BYTE level) { return MixOp((255u - level) * 0x010101u, level * 0x010101u); }

struct AverageOp {
    uint32_t Pixel(uint32_t d, uint32_t s) const { return (d & s) + (((d ^ s) >> 1) & 0x7F7F7Fu); }
    __m128i Vec(__m128i d, __m128i s) const
    {
        return _mm_add_epi32(_mm_and_si128(d, s),
                             _mm_and_si128(_mm_srli_epi32(_mm_xor_si128(d, s), 1), Splat32(0x7F7F7Fu)));
    }
};
struct AddOp {
    uint32_t Pixel(uint32_t d, uint32_t s) const { return AddSat4(d, s); }
    __m128i Vec(__m128i d, __m128i s) const { return _mm_adds_epu8(d, s); }
    PIXEL_SIMD_AVX2 static __m256i Vec8(__m256i d, __m256i s) { return _mm256_adds_epu8(d, s); }
};
struct SubOp {
    uint32_t Pixel(uint32_t d, uint32_t s) const { return SubSat4(d, s); }
    __m128i Vec(__m128i d, __m128i s) const { return _mm_subs_epu8(d, s); }
    PIXEL_SIMD_AVX2 static __m256i Vec8(__m256i d, __m256i s) { return _mm256_subs_epu8(d, s); }
};

// The saturating byte rules with AVX2: sixteen pixels a step. Rows that follow each other on both
// sides are walked as one, so a whole picture costs one loop.
template <class Op>
PIXEL_SIMD_AVX2 void BytewiseRowsAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int w, int h)
{
    using pixel_simd_avx2::Load8;
    using pixel_simd_avx2::Store8;
    if (dstSkip == 0 && srcSkip == 0 && int64_t{w} * h <= INT32_MAX) {
        w *= h;
        h = 1;
    }
    for (int y = 0; y < h; ++y) {
        int x = 0;
        for (; x + 16 <= w; x += 16, dst += 64, src += 64) {
            const __m256i a = Op::Vec8(Load8(dst), Load8(src));
            const __m256i b = Op::Vec8(Load8(dst + 32), Load8(src + 32));
            Store8(dst, a);
            Store8(dst + 32, b);
        }
        for (; x + 8 <= w; x += 8, dst += 32, src += 32) {
            Store8(dst, Op::Vec8(Load8(dst), Load8(src)));
        }
        for (; x < w; ++x, dst += 4, src += 4) {
            Store32(dst, Op{}.Pixel(Load32(dst), Load32(src)));
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

template <class Op> constexpr bool kBytewise = false;
template <> constexpr bool kBytewise<AddOp> = true;
template <> constexpr bool kBytewise<SubOp> = true;

template <class Op, bool Simd>
void Unscaled(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int w, int h, const Op& op)
{
    if (Simd) {
        Rows2Simd(dst, src, dstSkip, srcSkip, w, h, op);
    } else {
        Rows2(dst, src, dstSkip, srcSkip, w, h, op);
    }
}
template <class Op, bool Simd>
void Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int w, int h, const StretchState& st,
            const Op& op)
{
    if (Simd) {
        Rows2ScaledSimd(dst, src, dstSkip, srcPitch, w, h, PIXEL_SIMD_AXES(st), op);
    } else {
        Rows2Scaled(dst, src, dstSkip, srcPitch, w, h, PIXEL_SIMD_AXES(st), op);
    }
}

template <class Op, bool Keyed, bool Simd>
void ModeKernel(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int w, int h, DWORD key)
{
    if (Keyed) {
        Unscaled<SourceKeyed<Op>, Simd>(dst, src, dstSkip, srcSkip, w, h, SourceKeyed<Op>{Op{}, key});
    } else {
        if constexpr (kBytewise<Op> && Simd) {
            if (UseAvx2()) {
                BytewiseRowsAvx2<Op>(dst, src, dstSkip, srcSkip, w, h);
                return;
            }
        }
        Unscaled<Op, Simd>(dst, src, dstSkip, srcSkip, w, h, Op{});
    }
}
template <class Op, bool Keyed, bool Simd>
void ModeKernelScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int w, int h, const StretchState& st,
                      DWORD key)
{
    if (Keyed) {
        Scaled<SourceKeyed<Op>, Simd>(dst, src, dstSkip, srcPitch, w, h, st, SourceKeyed<Op>{Op{}, key});
    } else {
        Scaled<Op, Simd>(dst, src, dstSkip, srcPitch, w, h, st, Op{});
    }
}

// [mode][keyed][simd]
template <class Op> struct ModeRow {
    BlendModeKernel k[2][2] = {{ModeKernel<Op, false, false>, ModeKernel<Op, false, true>},
                               {ModeKernel<Op, true, false>, ModeKernel<Op, true, true>}};
    BlendModeScaledKernel s[2][2] = {{ModeKernelScaled<Op, false, false>, ModeKernelScaled<Op, false, true>},
                                     {ModeKernelScaled<Op, true, false>, ModeKernelScaled<Op, true, true>}};
};
const ModeRow<AverageOp> kAverage;
const ModeRow<AddOp> kAdd;
const ModeRow<SubOp> kSub;

} // namespace

void CrossFadeRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                     DWORD dstFactors, DWORD srcFactors)
{
    Unscaled<MixOp, false>(dst, src, dstSkip, srcSkip, width, height, MixOp(dstFactors, srcFactors));
}
void CrossFadeRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                           const StretchState& step, DWORD dstFactors, DWORD srcFactors)
{
    Scaled<MixOp, false>(dst, src, dstSkip, srcPitch, width, height, step, MixOp(dstFactors, srcFactors));
}
void CrossFadeKeyRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, DWORD key,
                        DWORD dstFactors, DWORD srcFactors)
{
    Unscaled<SourceKeyed<MixOp>, false>(dst, src, dstSkip, srcSkip, width, height,
                                        {MixOp(dstFactors, srcFactors), key});
}
void CrossFadeKeyRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                              const StretchState& step, DWORD key, DWORD dstFactors, DWORD srcFactors)
{
    Scaled<SourceKeyed<MixOp>, false>(dst, src, dstSkip, srcPitch, width, height, step,
                                      {MixOp(dstFactors, srcFactors), key});
}
void CrossFadeRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, BYTE level)
{
    Unscaled<MixOp, true>(dst, src, dstSkip, srcSkip, width, height, FadeOp(level));
}
void CrossFadeRows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                              const StretchState& step, BYTE level)
{
    Scaled<MixOp, true>(dst, src, dstSkip, srcPitch, width, height, step, FadeOp(level));
}
void CrossFadeKeyRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                           BYTE level, DWORD key)
{
    Unscaled<SourceKeyed<MixOp>, true>(dst, src, dstSkip, srcSkip, width, height, {FadeOp(level), key});
}
void CrossFadeKeyRows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                 const StretchState& step, BYTE level, DWORD key)
{
    Scaled<SourceKeyed<MixOp>, true>(dst, src, dstSkip, srcPitch, width, height, step, {FadeOp(level), key});
}
void MixRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, DWORD dstFactors,
                  DWORD srcFactors)
{
    Unscaled<MixOp, true>(dst, src, dstSkip, srcSkip, width, height, MixOp(dstFactors, srcFactors));
}
void MixRows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                        const StretchState& step, DWORD dstFactors, DWORD srcFactors)
{
    Scaled<MixOp, true>(dst, src, dstSkip, srcPitch, width, height, step, MixOp(dstFactors, srcFactors));
}
void MixKeyRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, DWORD key,
                     DWORD dstFactors, DWORD srcFactors)
{
    Unscaled<SourceKeyed<MixOp>, true>(dst, src, dstSkip, srcSkip, width, height,
                                       {MixOp(dstFactors, srcFactors), key});
}
void MixKeyRows32MmxScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                           const StretchState& step, DWORD key, DWORD dstFactors, DWORD srcFactors)
{
    Scaled<SourceKeyed<MixOp>, true>(dst, src, dstSkip, srcPitch, width, height, step,
                                     {MixOp(dstFactors, srcFactors), key});
}

namespace {

// The alpha-aware cross-fade's rule for one pixel and for four: the alpha byte is always
// mul(255 - l, dA) + mul(l, sA) (one side is 0 in the two special cases); the colour is the
// destination's where the source is transparent, the source's where only the destination is,
// else mixed like the alpha.
struct AlphaAwareFadeOp {
    explicit AlphaAwareFadeOp(BYTE level) : keep(255 - level), take(level) {}
    uint32_t Pixel(uint32_t d, uint32_t s) const
    {
        const uint32_t sA = s >> 24, dA = d >> 24;
        if (sA == 0)
            return (d & 0xFFFFFFu) | MulByte(keep, dA) << 24;
        if (dA == 0)
            return (s & 0xFFFFFFu) | MulByte(take, sA) << 24;
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8)
            out |= (MulByte(keep, (d >> shift) & 0xFF) + MulByte(take, (s >> shift) & 0xFF)) << shift;
        return out;
    }
    __m128i Vec(__m128i d, __m128i s) const
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i k = Splat16(static_cast<int>(keep)), t = Splat16(static_cast<int>(take));
        const __m128i lo = _mm_add_epi16(MulByte16(_mm_unpacklo_epi8(d, zero), k), MulByte16(_mm_unpacklo_epi8(s, zero), t));
        const __m128i hi = _mm_add_epi16(MulByte16(_mm_unpackhi_epi8(d, zero), k), MulByte16(_mm_unpackhi_epi8(s, zero), t));
        const __m128i mixed = _mm_packus_epi16(lo, hi);
        const __m128i alpha = Splat32(0xFF000000u);
        const __m128i sourceClear = _mm_cmpeq_epi32(_mm_and_si128(s, alpha), zero);
        const __m128i destClear = _mm_cmpeq_epi32(_mm_and_si128(d, alpha), zero);
        const __m128i colour = Select(sourceClear, d, Select(destClear, s, mixed));
        return KeepAlpha(mixed, colour);
    }
    uint32_t keep, take;
};

} // namespace

void CrossFadeAlphaAwareRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                                  BYTE level)
{
    Rows2Simd(dst, src, dstSkip, srcSkip, width, height, AlphaAwareFadeOp(level));
}

void CrossFadeAlphaAwareRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                               BYTE level)
{
    const uint8_t* keep = g_MulTable[255 - level];
    const uint8_t* take = g_MulTable[level];
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, dst += 4, src += 4) {
            const uint32_t sA = src[3];
            const uint32_t dA = dst[3];
            if (sA == 0) {
                dst[3] = keep[dA];
            } else if (dA == 0) {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
                dst[3] = take[sA];
            } else {
                for (int c = 0; c < 4; ++c) {
                    dst[c] = static_cast<BYTE>(keep[dst[c]] + take[src[c]]);
                }
            }
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

BlendModeKernel BlendModeRows32(int mode, bool keyed, bool simd)
{
    switch (mode) {
    case 0: return kAverage.k[keyed][simd];
    case 1: return kAdd.k[keyed][simd];
    case 2: return kSub.k[keyed][simd];
    default: return nullptr;
    }
}
BlendModeScaledKernel BlendModeRows32Scaled(int mode, bool keyed, bool simd)
{
    switch (mode) {
    case 0: return kAverage.s[keyed][simd];
    case 1: return kAdd.s[keyed][simd];
    case 2: return kSub.s[keyed][simd];
    default: return nullptr;
    }
}
