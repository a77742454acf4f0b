// The SIMD twins ("Mmx" names) of the row kernels, written with SSE2 (the x86-64 baseline). Each
// gives exactly the plain kernel's results: four pixels a step (the unscaled blends sixteen, with
// eight-pixel fast paths; the scaled ones gather through column offsets walked once), the rest of
// a row one at a time.
#include "raster/row_kernels.h"

#include "raster/pixel_simd.h"
#include "raster/row_kernel_loops.h"
#include "winapi/simd_level.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

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

inline __m128i Blend4(__m128i s, __m128i d)
{
    return pixel_simd::BlendAlpha4(s, d);
}

inline __m128i Reverse4(__m128i v)
{
    return _mm_shuffle_epi32(v, 0x1B);
}

// The horizontal stepping of a scaled walk: Next gives the byte offset, from the row's first
// source pixel, of each pixel read in turn (forward or mirrored).
template <bool Mirror>
struct ColumnStep {
    explicit ColumnStep(const StretchState& st)
        : whole(static_cast<ptrdiff_t>(st.xStep) * 4), acc(st.xAcc), frac(st.xFrac), den(st.xDen)
    {
    }
    ptrdiff_t Next()
    {
        const ptrdiff_t at = Mirror ? pos - 4 : pos;
        ptrdiff_t move = whole;
        acc += frac;
        if (acc >= 0) {
            move += 4;
            acc -= den;
        }
        pos += Mirror ? -move : move;
        return at;
    }
    ptrdiff_t whole;
    ptrdiff_t pos = 0;
    int64_t acc;
    int64_t frac;
    int64_t den;
};

// The byte offsets, from a row's first source pixel, of the pixels a scaled walk reads (forward or
// mirrored). Every row reads the same columns, so they are walked once; the rows gather through
// them without the stepping.
template <bool Mirror>
struct Columns {
    std::vector<ptrdiff_t> at;
    ptrdiff_t lowest = 0, highest = 0; // the bytes read lie in [lowest, highest + 4)
    Columns(int width, const StretchState& st) : at(static_cast<size_t>(width))
    {
        ColumnStep<Mirror> step(st);
        for (ptrdiff_t& a : at) {
            a = step.Next();
            lowest = std::min(lowest, a);
            highest = std::max(highest, a);
        }
    }
    // Whether a destination row of `bytes` shares a byte with what is read from the row at `from`.
    bool Touch(const BYTE* row, ptrdiff_t bytes, const BYTE* from) const
    {
        const uintptr_t r = reinterpret_cast<uintptr_t>(row), f = reinterpret_cast<uintptr_t>(from);
        return r < f + static_cast<uintptr_t>(highest + 4) && f + static_cast<uintptr_t>(lowest) < r + bytes;
    }
};

// Scaled walk with four destination pixels a step: op4(dst, src4) and op1(dst, src1). With
// RepeatRows (plain copies), a row that reads the same source row as the row before is that row
// again, unless writing either destination row changed what they read.
template <bool Mirror, bool RepeatRows = false, typename Op4, typename Op1>
void ScaledRows4(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                 const StretchState& st, Op4 op4, Op1 op1)
{
    if (height == 1) {
        // A single row (the row-by-row wipes) steps its columns as it goes: the table of
        // columns would cost as much to build as the row itself.
        ColumnStep<Mirror> step(st);
        const auto next = [&] { return Load<uint32_t>(src + step.Next()); };
        int x = 0;
        for (; x + 4 <= width; x += 4) {
            const uint32_t p0 = next(), p1 = next(), p2 = next(), p3 = next();
            op4(dst + static_cast<ptrdiff_t>(x) * 4,
                _mm_set_epi32(static_cast<int>(p3), static_cast<int>(p2), static_cast<int>(p1), static_cast<int>(p0)));
        }
        for (; x < width; ++x)
            op1(dst + static_cast<ptrdiff_t>(x) * 4, next());
        return;
    }
    const Columns<Mirror> columns(width, st);
    const ptrdiff_t* at = columns.at.data();
    const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(width) * 4;
    ScaledRows rows(st, srcPitch);
    const BYTE* lastSrc = nullptr;
    BYTE* lastDst = nullptr;
    for (int y = 0; y < height; ++y) {
        if (RepeatRows && src == lastSrc && !columns.Touch(lastDst, rowBytes, src) &&
            !columns.Touch(dst, rowBytes, src) && std::abs(dst - lastDst) >= rowBytes) {
            std::memcpy(dst, lastDst, static_cast<size_t>(rowBytes));
        } else {
            int x = 0;
            for (; x + 4 <= width; x += 4) {
                op4(dst + static_cast<ptrdiff_t>(x) * 4,
                    _mm_set_epi32(static_cast<int>(Load<uint32_t>(src + at[x + 3])),
                                  static_cast<int>(Load<uint32_t>(src + at[x + 2])),
                                  static_cast<int>(Load<uint32_t>(src + at[x + 1])),
                                  static_cast<int>(Load<uint32_t>(src + at[x]))));
            }
            for (; x < width; ++x) {
                op1(dst + static_cast<ptrdiff_t>(x) * 4, Load<uint32_t>(src + at[x]));
            }
        }
        lastSrc = src;
        lastDst = dst;
        dst += rowBytes + dstSkip;
        if (y + 1 < height) {
            rows.Next(src);
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

// Eight pixels s0, s1 blended over dst. Runs of eight opaque or eight transparent pixels (most of
// a sprite) skip the arithmetic; mixed ones blend without further tests.
inline void Blend8(BYTE* dst, __m128i s0, __m128i s1)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i colourMask = _mm_set1_epi32(0x00FFFFFF);
    constexpr int kAlphaBytes = 0x8888;
    const int opaque = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(s0, s1), _mm_set1_epi32(-1))) & kAlphaBytes;
    const int clear = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(s0, s1), zero)) & kAlphaBytes;
    if (opaque == kAlphaBytes) {
        Store4(dst, _mm_and_si128(s0, colourMask));
        Store4(dst + 16, _mm_and_si128(s1, colourMask));
        return;
    }
    const __m128i d0 = Load4(dst);
    const __m128i d1 = Load4(dst + 16);
    if (clear == kAlphaBytes) {
        // The destination keeps its colour; only alpha bytes still set need the store.
        if ((_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(d0, d1), zero)) & kAlphaBytes) != kAlphaBytes) {
            Store4(dst, _mm_and_si128(d0, colourMask));
            Store4(dst + 16, _mm_and_si128(d1, colourMask));
        }
        return;
    }
    Store4(dst, Blend4(s0, d0));
    Store4(dst + 16, Blend4(s1, d1));
}

// Forward and mirrored blends: sixteen pixels a step with prefetch, then eight, four and one.
template <bool Mirror>
void BlendRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    const auto next4 = [&src]() {
        if (Mirror) {
            src -= 16;
            return Reverse4(Load4(src));
        }
        const __m128i v = Load4(src);
        src += 16;
        return v;
    };
    const ptrdiff_t ahead = std::min(kBlendAhead, static_cast<ptrdiff_t>(width) * 4 & ~ptrdiff_t{63});
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 16 <= width; x += 16) {
            const ptrdiff_t left = static_cast<ptrdiff_t>(width - x) * 4;
            PrefetchAlong(dst, ahead, left, dstSkip);
            PrefetchAlong(src, Mirror ? -ahead - 64 : ahead, left, srcSkip);
            const __m128i s0 = next4();
            const __m128i s1 = next4();
            Blend8(dst, s0, s1);
            const __m128i s2 = next4();
            const __m128i s3 = next4();
            Blend8(dst + 32, s2, s3);
            dst += 64;
        }
        for (; x + 8 <= width; x += 8) {
            const __m128i s0 = next4();
            const __m128i s1 = next4();
            Blend8(dst, s0, s1);
            dst += 32;
        }
        for (; x + 4 <= width; x += 4) {
            kBlend4(dst, next4());
            dst += 16;
        }
        for (; x < width; ++x) {
            if (Mirror) {
                src -= 4;
                kBlend1(dst, Load<uint32_t>(src));
            } else {
                kBlend1(dst, Load<uint32_t>(src));
                src += 4;
            }
            dst += 4;
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

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
    if (UseAvx2() && width >= 8 && width <= 512) {
        CopyRows32Avx2(dst, src, dstSkip, srcSkip, width, height);
        return;
    }
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
    if (UseAvx2() && height > 1 && CopyRows32ScaledAvx2(dst, src, dstSkip, srcPitch, width, height, step)) {
        return;
    }
    ScaledRows4<false, true>(dst, src, dstSkip, srcPitch, width, height, step, kCopy4, kCopy1);
}

void CopyRows32MirrorMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    if (UseAvx2() && width >= 8) {
        CopyRows32MirrorAvx2(dst, src, dstSkip, srcSkip, width, height);
        return;
    }
    Rows4<true>(dst, src, dstSkip, srcSkip, width, height, kCopy4, kCopy1);
}

void CopyRows32MirrorScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                               const StretchState& step)
{
    ScaledRows4<true, true>(dst, src, dstSkip, srcPitch, width, height, step, kCopy4, kCopy1);
}

// Rows of eight pixels or more blend faster with AVX2, of sixteen or more with 512-bit registers;
// shorter ones lose more on the call than the wider registers gain.
void BlendAlphaRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    if (UseAvx512Bw() && width >= 16) {
        BlendAlphaRows32Avx512(dst, src, dstSkip, srcSkip, width, height);
        return;
    }
    if (UseAvx2() && width >= 8) {
        BlendAlphaRows32Avx2(dst, src, dstSkip, srcSkip, width, height);
        return;
    }
    BlendRows<false>(dst, src, dstSkip, srcSkip, width, height);
}

void BlendAlphaRows32ScaledMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                               const StretchState& step)
{
    if (UseAvx2() && height > 1 && BlendAlphaRows32ScaledAvx2(dst, src, dstSkip, srcPitch, width, height, step)) {
        return;
    }
    ScaledRows4<false>(dst, src, dstSkip, srcPitch, width, height, step, kBlend4, kBlend1);
}

void BlendAlphaRows32MirrorMmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    if (UseAvx2() && width >= 8) {
        BlendAlphaRows32MirrorAvx2(dst, src, dstSkip, srcSkip, width, height);
        return;
    }
    BlendRows<true>(dst, src, dstSkip, srcSkip, width, height);
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
