// The 512-bit form of the unscaled alpha blend, which the SIMD twin hands its rows to while
// UseAvx512Bw() holds. Sixteen pixels a step, a row's last pixels through a lane mask; the same
// skips as the AVX2 form: opaque steps store the source colour without reading the destination,
// transparent ones store only where an alpha byte is still set. Destinations larger than the
// caches stream the lines an opaque run fills and ask for their lines ahead, as do rows that lie
// apart.
#include "raster/pixel_simd_avx512.h"

#include "raster/row_kernels.h"

#include "raster/row_kernel_loops.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#define TESSARO_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))

using namespace raster_detail;
using raster_simd::BlendAlpha16;
using raster_simd::BlendConstants16;

namespace {

TESSARO_AVX512 inline __m512i Splat16(uint32_t v)
{
    return _mm512_set1_epi32(static_cast<int>(v));
}

// The pixels of the lanes in `live`; the others are neither read nor written. Stream: a whole
// group on a line of its own whose source is opaque goes to memory past the caches, so the line
// is not first read from memory only to be overwritten.
template <bool Stream>
TESSARO_AVX512 inline void BlendGroup(const BlendConstants16& c, BYTE* dst, const BYTE* src, __mmask16 live)
{
    const __m512i colour = c.colour;
    const __m512i s = _mm512_maskz_loadu_epi32(live, src);
    if (_mm512_cmpge_epu32_mask(s, Splat16(0xFF000000u)) == live) {
        if (Stream && live == 0xFFFF && (reinterpret_cast<uintptr_t>(dst) & 63) == 0) {
            _mm512_stream_si512(reinterpret_cast<__m512i*>(dst), _mm512_and_si512(s, colour));
        } else {
            _mm512_mask_storeu_epi32(dst, live, _mm512_and_si512(s, colour));
        }
        return;
    }
    const __m512i d = _mm512_maskz_loadu_epi32(live, dst);
    if (_mm512_test_epi32_mask(s, Splat16(0xFF000000u)) == 0) {
        const __mmask16 set = _mm512_test_epi32_mask(d, Splat16(0xFF000000u));
        if (set != 0) {
            _mm512_mask_storeu_epi32(dst, set, _mm512_and_si512(d, colour));
        }
        return;
    }
    _mm512_mask_storeu_epi32(dst, live, BlendAlpha16(c, s, d));
}

// Ask: each group asks for the lines kBlendAhead bytes along both walks (rows that lie apart).
template <bool Stream, bool Ask>
TESSARO_AVX512 void BlendRows16(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    BlendConstants16 c = raster_simd::MakeBlendConstants16();
    raster_simd::KeepInRegister(c.up);
    raster_simd::KeepInRegister(c.by255);
    raster_simd::KeepInRegister(c.colour);
    const ptrdiff_t ahead = std::min(kBlendAhead, static_cast<ptrdiff_t>(width) * 4 & ~ptrdiff_t{63});
    for (int y = 0; y < height; ++y) {
        int x = 0;
        if (Stream) {
            // The row's first pixels up to a line's start, so that the whole groups fill lines.
            const int head = static_cast<int>((64 - (reinterpret_cast<uintptr_t>(dst) & 63)) & 63) / 4;
            if (head != 0 && head < width && (reinterpret_cast<uintptr_t>(dst) & 3) == 0) {
                BlendGroup<false>(c, dst, src, static_cast<__mmask16>((1u << head) - 1));
                x = head;
                dst += head * 4;
                src += head * 4;
            }
        }
        for (; x + 16 <= width; x += 16, dst += 64, src += 64) {
            const ptrdiff_t left = static_cast<ptrdiff_t>(width - x) * 4;
            if (Ask) {
                PrefetchAlong(dst, ahead, left, dstSkip);
                PrefetchAlong(src, ahead, left, srcSkip);
            }
            BlendGroup<Stream>(c, dst, src, 0xFFFF);
        }
        const int tail = width - x;
        if (tail != 0) {
            BlendGroup<false>(c, dst, src, static_cast<__mmask16>((1u << tail) - 1));
        }
        dst += tail * 4 + dstSkip;
        src += tail * 4 + srcSkip;
    }
    if (Stream) {
        _mm_sfence();
    }
}

// Destinations of this many bytes and more (with their sources, more than the third-level cache
// holds) come from memory whatever is done: their opaque lines are streamed. Smaller ones gained
// nothing, their lines often still being in the cache.
constexpr int64_t kStreamBytes = int64_t{16} << 20;

// Whether a walk's rows follow each other with at most a line's padding between them: one stream
// the processor's own prefetching follows, where asking ahead only costs (measured on whole
// pictures from 640x480 to 1920x1080). Streamed destinations still ask: their opaque and clear runs
// skip the destination's reads, which breaks the stream the processor follows (a sprite-like 4K
// blend took 5.8 ms without the asks, 3.6 ms with them).
inline bool Continuous(int skip)
{
    return skip >= 0 && skip < 64;
}

} // namespace

void BlendAlphaRows32Avx512(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    const bool stream = int64_t{width} * height * 4 >= kStreamBytes;
    const bool ask = !Continuous(dstSkip) || !Continuous(srcSkip);
    const auto rows = stream ? BlendRows16<true, true> : ask ? BlendRows16<false, true> : BlendRows16<false, false>;
    rows(dst, src, dstSkip, srcSkip, width, height);
}
