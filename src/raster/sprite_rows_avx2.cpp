// The sprite blend's kernels: the choice by SIMD level and the AVX2 form. The AVX2 walk tests the
// alpha of sixteen pixels at once (all opaque, all clear), then of each eight, and blends only the
// groups that hold soft or mixed pixels; opaque groups never read the destination.
#include "raster/sprite_rows.h"

#include "platform/cpu_info.h"
#include "raster/pixel_simd_avx2.h"
#include "raster/row_kernel_loops.h"
#include "raster/row_kernels.h"
#include "winapi/simd_level.h"

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace raster_detail;

namespace {

using pixel_simd_avx2::BlendAlpha8;
using pixel_simd_avx2::Load8;
using pixel_simd_avx2::Splat;
using pixel_simd_avx2::Store8;

// Blocks of at most this many rows are a band's.
constexpr int kBandRowsAtMost = 16;

PIXEL_SIMD_AVX2 inline __m256i AlphaBits()
{
    return Splat(0xFF000000u);
}
PIXEL_SIMD_AVX2 inline __m256i ColourBits()
{
    return Splat(0x00FFFFFFu);
}
// Every alpha byte 255 / every alpha byte 0.
PIXEL_SIMD_AVX2 inline bool Opaque(__m256i s)
{
    return _mm256_testc_si256(s, AlphaBits()) != 0;
}
PIXEL_SIMD_AVX2 inline bool Clear(__m256i s)
{
    return _mm256_testz_si256(s, AlphaBits()) != 0;
}

// Eight transparent pixels: the destination keeps its colour and loses its alpha, stored only
// where an alpha byte is still set.
PIXEL_SIMD_AVX2 inline void ClearAlpha8(BYTE* dst)
{
    const __m256i d = Load8(dst);
    if (!Clear(d)) {
        Store8(dst, _mm256_and_si256(d, ColourBits()));
    }
}

PIXEL_SIMD_AVX2 inline void Blend8(BYTE* dst, __m256i s)
{
    if (Opaque(s)) {
        Store8(dst, _mm256_and_si256(s, ColourBits()));
    } else if (Clear(s)) {
        ClearAlpha8(dst);
    } else {
        Store8(dst, BlendAlpha8(s, Load8(dst)));
    }
}

PIXEL_SIMD_AVX2 inline void Blend16(BYTE* dst, __m256i s0, __m256i s1)
{
    if (Opaque(_mm256_and_si256(s0, s1))) {
        Store8(dst, _mm256_and_si256(s0, ColourBits()));
        Store8(dst + 32, _mm256_and_si256(s1, ColourBits()));
    } else if (Clear(_mm256_or_si256(s0, s1))) {
        const __m256i d0 = Load8(dst), d1 = Load8(dst + 32);
        if (!Clear(_mm256_or_si256(d0, d1))) {
            Store8(dst, _mm256_and_si256(d0, ColourBits()));
            Store8(dst + 32, _mm256_and_si256(d1, ColourBits()));
        }
    } else {
        Blend8(dst, s0);
        Blend8(dst + 32, s1);
    }
}

// The row's last `rest` pixels (1 to 7) as the eight that end the row: the lanes before them hold
// pixels already drawn, which are stored back unchanged.
PIXEL_SIMD_AVX2 inline void BlendLast(BYTE* rowEnd, const BYTE* srcEnd, int rest)
{
    BYTE* const at = rowEnd - 32;
    const __m256i d = Load8(at);
    const __m256i fresh = _mm256_cmpgt_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), Splat(7u - rest));
    Store8(at, _mm256_blendv_epi8(d, BlendAlpha8(Load8(srcEnd - 32), d), fresh));
}

template <bool Band>
PIXEL_SIMD_AVX2 void Rows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(width) * 4;
    // A band's few rows ask for their source two rows ahead (a band's walk through each sprite is
    // too short for the processor's own prefetch to start); a taller block asks along its walk, as
    // the alpha blend does.
    const ptrdiff_t rowsAhead = 2 * (static_cast<ptrdiff_t>(srcSkip) + rowBytes);
    const ptrdiff_t ahead = std::min(kBlendAhead, rowBytes & ~ptrdiff_t{63});
    for (int y = 0; y < height; ++y) {
        if (Band) {
            // Every line of the row two rows down, its partly used first and last ones included:
            // the last rows of a band ask for the next band's first.
            const uintptr_t at = reinterpret_cast<uintptr_t>(src) + static_cast<uintptr_t>(rowsAhead);
            const uintptr_t end = at + static_cast<uintptr_t>(rowBytes);
            const uintptr_t first = at & ~uintptr_t{63};
            for (uintptr_t line = first; line < end; line += 64) {
                _mm_prefetch(reinterpret_cast<const char*>(line), _MM_HINT_T0);
            }
        }
        int x = 0;
        for (; x + 16 <= width; x += 16) {
            if (!Band) {
                const ptrdiff_t left = rowBytes - static_cast<ptrdiff_t>(x) * 4;
                PrefetchAlong(dst, ahead, left, dstSkip);
                PrefetchAlong(src, ahead, left, srcSkip);
            }
            Blend16(dst, Load8(src), Load8(src + 32));
            dst += 64;
            src += 64;
        }
        if (x + 8 <= width) {
            Blend8(dst, Load8(src));
            dst += 32;
            src += 32;
            x += 8;
        }
        if (x < width) {
            const int rest = width - x;
            dst += static_cast<ptrdiff_t>(rest) * 4;
            src += static_cast<ptrdiff_t>(rest) * 4;
            BlendLast(dst, src, rest);
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

} // namespace

void BlendSpriteRows32Avx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    if (height <= kBandRowsAtMost) {
        Rows<true>(dst, src, dstSkip, srcSkip, width, height);
    } else {
        Rows<false>(dst, src, dstSkip, srcSkip, width, height);
    }
}

void BlendSpriteRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    if (!g_bUseMmx) {
        BlendAlphaRows32(dst, src, dstSkip, srcSkip, width, height);
    } else if (UseAvx2() && width >= 8) {
        BlendSpriteRows32Avx2(dst, src, dstSkip, srcSkip, width, height);
    } else {
        BlendAlphaRows32Mmx(dst, src, dstSkip, srcSkip, width, height);
    }
}
