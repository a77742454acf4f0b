// The SIMD twins ("Mmx" names) of the row kernels, written with SSE2 (the x86-64 baseline). Each
// gives exactly the plain kernel's results: four pixels a step, the rest of a row one at a time.
#include "raster/row_kernels.h"

#include "raster/row_kernel_loops.h"

#include <emmintrin.h>

#include <cstring>

using namespace raster_detail;

namespace {

inline __m128i Load4(const BYTE* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void Store4(BYTE* p, __m128i v)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Four pixels s blended over d: (s * a + d * (255 - a) + 127) / 255 per channel, alpha 0.
// x / 255 for x <= 65152 is (x * 0x8081) >> 23, taken from the high word of the product.
inline __m128i Blend4(__m128i s, __m128i d)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i c255 = _mm_set1_epi16(255);
    const __m128i c127 = _mm_set1_epi16(127);
    const __m128i magic = _mm_set1_epi16(static_cast<short>(0x8081));
    const __m128i sl = _mm_unpacklo_epi8(s, zero);
    const __m128i sh = _mm_unpackhi_epi8(s, zero);
    const __m128i dl = _mm_unpacklo_epi8(d, zero);
    const __m128i dh = _mm_unpackhi_epi8(d, zero);
    const __m128i al = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sl, 0xFF), 0xFF);
    const __m128i ah = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sh, 0xFF), 0xFF);
    __m128i xl = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(sl, al), _mm_mullo_epi16(dl, _mm_sub_epi16(c255, al))),
                               c127);
    __m128i xh = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(sh, ah), _mm_mullo_epi16(dh, _mm_sub_epi16(c255, ah))),
                               c127);
    xl = _mm_srli_epi16(_mm_mulhi_epu16(xl, magic), 7);
    xh = _mm_srli_epi16(_mm_mulhi_epu16(xh, magic), 7);
    return _mm_and_si128(_mm_packus_epi16(xl, xh), _mm_set1_epi32(0x00FFFFFF));
}

inline __m128i Reverse4(__m128i v)
{
    return _mm_shuffle_epi32(v, 0x1B);
}

// Gathers four scaled source pixels (forward or mirrored) into one vector.
template <bool Mirror>
struct ScaledCursor {
    const BYTE* s;
    int64_t acc;
    ptrdiff_t whole;
    const StretchState& st;

    uint32_t Next()
    {
        uint32_t v;
        if (Mirror) {
            v = Load<uint32_t>(s - 4);
            s -= whole;
            acc += st.xFrac;
            if (acc >= 0) {
                s -= 4;
                acc -= st.xDen;
            }
        } else {
            v = Load<uint32_t>(s);
            s += whole;
            acc += st.xFrac;
            if (acc >= 0) {
                s += 4;
                acc -= st.xDen;
            }
        }
        return v;
    }
    __m128i Next4()
    {
        const uint32_t a = Next();
        const uint32_t b = Next();
        const uint32_t c = Next();
        const uint32_t d = Next();
        return _mm_set_epi32(static_cast<int>(d), static_cast<int>(c), static_cast<int>(b), static_cast<int>(a));
    }
};

// Scaled walk with four destination pixels a step: op4(dst, src4) and op1(dst, src1).
template <bool Mirror, typename Op4, typename Op1>
void ScaledRows4(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                 const StretchState& st, Op4 op4, Op1 op1)
{
    const ptrdiff_t yWhole = static_cast<ptrdiff_t>(st.yStep) * srcPitch;
    int64_t yAcc = st.yAcc;
    for (int y = 0; y < height; ++y) {
        ScaledCursor<Mirror> c{src, st.xAcc, static_cast<ptrdiff_t>(st.xStep) * 4, st};
        int x = 0;
        for (; x + 4 <= width; x += 4) {
            op4(dst, c.Next4());
            dst += 16;
        }
        for (; x < width; ++x) {
            op1(dst, c.Next());
            dst += 4;
        }
        dst += dstSkip;
        if (y + 1 < height) {
            src += yWhole;
            yAcc += st.yFrac;
            if (yAcc >= 0) {
                src += srcPitch;
                yAcc -= st.yDen;
            }
        }
    }
}

// Forward and mirrored walks with four pixels a step.
template <bool Mirror, typename Op4, typename Op1>
void Rows4(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, Op4 op4, Op1 op1)
{
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 4 <= width; x += 4) {
            if (Mirror) {
                src -= 16;
                op4(dst, Reverse4(Load4(src)));
            } else {
                op4(dst, Load4(src));
                src += 16;
            }
            dst += 16;
        }
        for (; x < width; ++x) {
            if (Mirror) {
                src -= 4;
                op1(dst, Load<uint32_t>(src));
            } else {
                op1(dst, Load<uint32_t>(src));
                src += 4;
            }
            dst += 4;
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

const auto kCopy4 = [](BYTE* d, __m128i s) { Store4(d, s); };
const auto kCopy1 = [](BYTE* d, uint32_t s) { Store<uint32_t>(d, s); };
// Groups of four opaque or four transparent pixels (most of a sprite) skip the arithmetic.
const auto kBlend4 = [](BYTE* d, __m128i s) {
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i colourMask = _mm_set1_epi32(0x00FFFFFF);
    const __m128i a = _mm_and_si128(s, alphaMask);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, alphaMask)) == 0xFFFF) {
        Store4(d, _mm_and_si128(s, colourMask));
    } else if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128())) == 0xFFFF) {
        // The destination keeps its colour; only alpha bytes still set need the store.
        const __m128i old = Load4(d);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(old, alphaMask), _mm_setzero_si128())) != 0xFFFF) {
            Store4(d, _mm_and_si128(old, colourMask));
        }
    } else {
        Store4(d, Blend4(s, Load4(d)));
    }
};
const auto kBlend1 = [](BYTE* d, uint32_t s) { Store<uint32_t>(d, BlendPixel(Load<uint32_t>(d), s)); };

inline __m128i Merge(__m128i take, __m128i keep, __m128i takeMask)
{
    return _mm_or_si128(_mm_and_si128(take, takeMask), _mm_andnot_si128(takeMask, keep));
}

const auto kColor4 = [](BYTE* d, __m128i s) { Store4(d, Merge(s, Load4(d), _mm_set1_epi32(0x00FFFFFF))); };
const auto kColor1 = [](BYTE* d, uint32_t s) {
    Store<uint32_t>(d, (s & 0x00FFFFFFu) | (Load<uint32_t>(d) & 0xFF000000u));
};
const auto kAlpha4 = [](BYTE* d, __m128i s) {
    Store4(d, Merge(s, Load4(d), _mm_set1_epi32(static_cast<int>(0xFF000000u))));
};
const auto kAlpha1 = [](BYTE* d, uint32_t s) {
    Store<uint32_t>(d, (s & 0xFF000000u) | (Load<uint32_t>(d) & 0x00FFFFFFu));
};

struct ColorKey4 {
    __m128i key;
    void operator()(BYTE* d, __m128i s) const
    {
        // Lanes equal to the key keep the destination; the others take the colour, keep alpha.
        const __m128i take = _mm_andnot_si128(_mm_cmpeq_epi32(s, key), _mm_set1_epi32(0x00FFFFFF));
        Store4(d, Merge(s, Load4(d), take));
    }
};
struct ColorKey1 {
    DWORD key;
    void operator()(BYTE* d, uint32_t s) const
    {
        if (s != key) {
            Store<uint32_t>(d, (s & 0x00FFFFFFu) | (Load<uint32_t>(d) & 0xFF000000u));
        }
    }
};

}  // namespace

void CopyRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    const size_t bytes = static_cast<size_t>(width) * 4;
    if (bytes >= 256) {
        // Long rows: the library's copy already streams at full bandwidth.
        CopyRows32(dst, src, dstSkip, srcSkip, width, height);
        return;
    }
    Rows4<false>(dst, src, dstSkip, srcSkip, width, height, kCopy4, kCopy1);
}

void CopyRows32ScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                         const StretchState& step)
{
    ScaledRows4<false>(dst, src, dstSkip, srcPitch, width, height, step, kCopy4, kCopy1);
}

void CopyRows32MirrorMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    Rows4<true>(dst, src, dstSkip, srcSkip, width, height, kCopy4, kCopy1);
}

void CopyRows32MirrorScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                               const StretchState& step)
{
    ScaledRows4<true>(dst, src, dstSkip, srcPitch, width, height, step, kCopy4, kCopy1);
}

void BlendAlphaRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    Rows4<false>(dst, src, dstSkip, srcSkip, width, height, kBlend4, kBlend1);
}

void BlendAlphaRows32ScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                               const StretchState& step)
{
    ScaledRows4<false>(dst, src, dstSkip, srcPitch, width, height, step, kBlend4, kBlend1);
}

void BlendAlphaRows32MirrorMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    Rows4<true>(dst, src, dstSkip, srcSkip, width, height, kBlend4, kBlend1);
}

void BlendAlphaRows32MirrorScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                     int height, const StretchState& step)
{
    ScaledRows4<true>(dst, src, dstSkip, srcPitch, width, height, step, kBlend4, kBlend1);
}

void CopyColorRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    Rows4<false>(dst, src, dstSkip, srcSkip, width, height, kColor4, kColor1);
}

void CopyColorRows32ScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                              const StretchState& step)
{
    ScaledRows4<false>(dst, src, dstSkip, srcPitch, width, height, step, kColor4, kColor1);
}

void CopyColorKeyRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                           DWORD key)
{
    Rows4<false>(dst, src, dstSkip, srcSkip, width, height, ColorKey4{_mm_set1_epi32(static_cast<int>(key))},
                 ColorKey1{key});
}

void CopyColorKeyRows32ScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                 const StretchState& step, DWORD key)
{
    ScaledRows4<false>(dst, src, dstSkip, srcPitch, width, height, step,
                       ColorKey4{_mm_set1_epi32(static_cast<int>(key))}, ColorKey1{key});
}

void CopyAlphaRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    Rows4<false>(dst, src, dstSkip, srcSkip, width, height, kAlpha4, kAlpha1);
}

void CopyAlphaRows32ScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                              const StretchState& step)
{
    ScaledRows4<false>(dst, src, dstSkip, srcPitch, width, height, step, kAlpha4, kAlpha1);
}

void FillRgbRows32Mmx(BYTE* dst, int dstSkip, int width, int height, DWORD rgb)
{
    const __m128i colour = _mm_set1_epi32(static_cast<int>(rgb & 0x00FFFFFFu));
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 4 <= width; x += 4) {
            Store4(dst, _mm_or_si128(_mm_and_si128(Load4(dst), alphaMask), colour));
            dst += 16;
        }
        for (; x < width; ++x) {
            Store<uint32_t>(dst, (Load<uint32_t>(dst) & 0xFF000000u) | (rgb & 0x00FFFFFFu));
            dst += 4;
        }
        dst += dstSkip;
    }
}

void InvertRows32Mmx(BYTE* dst, int skip, int width, int height, BYTE mode)
{
    const uint32_t mask = InvertMask(mode);
    const __m128i mask4 = _mm_set1_epi32(static_cast<int>(mask));
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 4 <= width; x += 4) {
            Store4(dst, _mm_xor_si128(Load4(dst), mask4));
            dst += 16;
        }
        for (; x < width; ++x) {
            Store<uint32_t>(dst, Load<uint32_t>(dst) ^ mask);
            dst += 4;
        }
        dst += skip;
    }
}
