// The sprite blend's kernels: the choice by SIMD level and the AVX2 form (narrow rows, and rows of
// sixteen pixels and more, go to the 512-bit twins where the processor has them).
//
// The AVX2 walk blends every group of eight without looking at its alpha first. Sprites are made
// of runs of opaque, clear and soft pixels whose lengths vary, so a walk that copies opaque groups
// and skips clear ones mispredicts a branch at nearly every run's end; measured on whole frames of
// such sprites, that cost more than the blends it saved.
#include "raster/sprite_rows.h"

#include "platform/cpu_info.h"
#include "raster/pixel_simd_avx2.h"
#include "raster/row_kernels.h"
#include "winapi/simd_level.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace {

using pixel_simd_avx2::BlendAlpha8;
using pixel_simd_avx2::Load8;
using pixel_simd_avx2::Splat;
using pixel_simd_avx2::Store8;

using sprite_rows_detail::kBandRowsAtMost;
using sprite_rows_detail::kRowsAhead;
using sprite_rows_detail::PrefetchRow;

PIXEL_SIMD_AVX2 inline void Blend8(BYTE* dst, const BYTE* src)
{
    Store8(dst, BlendAlpha8(Load8(src), Load8(dst)));
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
    // Each row asks for the rows some rows further down: a sprite's rows are short and lie a pitch
    // apart, too short a walk for the processor's own prefetch to start. A band's rows ask for the
    // source only (the band's target rows were just painted; at its end it asks for the next
    // band's first source rows); a taller block asks for the target too.
    const ptrdiff_t srcAhead = kRowsAhead * (static_cast<ptrdiff_t>(srcSkip) + rowBytes);
    const ptrdiff_t dstAhead = kRowsAhead * (static_cast<ptrdiff_t>(dstSkip) + rowBytes);
    for (int y = 0; y < height; ++y) {
        PrefetchRow(src, srcAhead, rowBytes);
        if (!Band) {
            PrefetchRow(dst, dstAhead, rowBytes);
        }
        int x = 0;
        for (; x + 16 <= width; x += 16) {
            Blend8(dst, src);
            Blend8(dst + 32, src + 32);
            dst += 64;
            src += 64;
        }
        if (x + 8 <= width) {
            Blend8(dst, src);
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
    } else if (width >= 16 && UseAvx512Bw()) {
        BlendSpriteRows32Avx512(dst, src, dstSkip, srcSkip, width, height);
    } else if (UseAvx2() && width >= 8) {
        BlendSpriteRows32Avx2(dst, src, dstSkip, srcSkip, width, height);
    } else if (width >= 1 && width < 8 && UseAvx512Bw()) {
        BlendNarrowSpriteRows32Avx512(dst, src, dstSkip, srcSkip, width, height);
    } else {
        BlendAlphaRows32Mmx(dst, src, dstSkip, srcSkip, width, height);
    }
}
