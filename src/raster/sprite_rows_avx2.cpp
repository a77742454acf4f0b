// The sprite blend's kernels: the choice by SIMD level and the AVX2 form.
//
// The AVX2 walk blends every group of eight without looking at its alpha first. Sprites are made
// of runs of opaque, clear and soft pixels whose lengths vary, so a walk that copies opaque groups
// and skips clear ones mispredicts a branch at nearly every run's end; measured on whole frames of
// such sprites, that cost more than the blends it saved.
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
// How many rows ahead a band's walk asks for its source.
constexpr ptrdiff_t kRowsAhead = 4;

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
    // A band's few rows ask for their source some rows ahead, the next band's first rows at its
    // end (a band's walk through each sprite is too short for the processor's own prefetch to
    // start); a taller block asks along its walk, as the alpha blend does.
    const ptrdiff_t rowsAhead = kRowsAhead * (static_cast<ptrdiff_t>(srcSkip) + rowBytes);
    const ptrdiff_t ahead = std::min(kBlendAhead, rowBytes & ~ptrdiff_t{63});
    for (int y = 0; y < height; ++y) {
        if (Band) {
            // Every line of that row, its partly used first and last ones included.
            const uintptr_t at = reinterpret_cast<uintptr_t>(src) + static_cast<uintptr_t>(rowsAhead);
            const uintptr_t end = at + static_cast<uintptr_t>(rowBytes);
            for (uintptr_t line = at & ~uintptr_t{63}; line < end; line += 64) {
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
    } else if (UseAvx2() && width >= 8) {
        BlendSpriteRows32Avx2(dst, src, dstSkip, srcSkip, width, height);
    } else {
        BlendAlphaRows32Mmx(dst, src, dstSkip, srcSkip, width, height);
    }
}
