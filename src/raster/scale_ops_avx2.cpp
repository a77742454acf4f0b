// The AVX2 form of the smooth scaled copy of 32-bit pixels. The same column chunks, row buffers
// and rounding as the SSE2 form: each source row a chunk needs is stepped across once into a row
// buffer, then each destination row is the vertical step of two buffered rows. Each step per
// channel is a + floor((b - a) f / 256) = ((256 - f) a + f b) >> 8, worked as one multiply-add of
// bytes: the weights (255 - f, f) unsigned, the pixels moved down by 128 signed, so the sum
// (255 - f) a + f b - 255 * 128 fits 16 signed bits; adding a and 255 * 128 back gives
// (256 - f) a + f b, at most 255 * 256, read as an unsigned word.
#include "raster/scale_ops.h"

#include "raster/pixel_simd_avx2.h"
#include "raster/row_kernel_loops.h"
#include "winapi/simd_level.h"

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#define TESSARO_AVX2 __attribute__((target("avx2")))

namespace {

using pixel_simd_avx2::Load8;
using pixel_simd_avx2::Store8;

constexpr int kChunk = 1024;
constexpr int kGroups = kChunk / 8;

uint32_t Lerp(uint32_t p0, uint32_t p1, uint32_t f)
{
    uint32_t out = 0;
    for (int c = 0; c < 32; c += 8) {
        const int a = static_cast<int>((p0 >> c) & 0xFF);
        const int b = static_cast<int>((p1 >> c) & 0xFF);
        out |= static_cast<uint32_t>(a + ((b - a) * static_cast<int>(f) >> 8)) << c;
    }
    return out;
}

uint32_t Load32(const BYTE* p)
{
    return raster_detail::Load<uint32_t>(p);
}

void Store32(BYTE* p, uint32_t v)
{
    raster_detail::Store<uint32_t>(p, v);
}

// Eight columns of a chunk: each column's pixel and its right neighbour, as pairs in the order of
// the columns, either permuted out of eight source pixels loaded whole from `first` or gathered
// from offsets after it; and each column's weights (255 - f, f) for its four channels.
struct PairGroup {
    int32_t first;
    bool gather;
    alignas(32) int32_t index[16];
    alignas(32) uint8_t weights[64];
};

struct ChunkColumns {
    PairGroup groups[kGroups];
    uint64_t column[kChunk];
    uint32_t fraction[kChunk];

    void Build(uint64_t xpos, uint64_t xStep, int n)
    {
        for (int i = 0; i < n; ++i, xpos += xStep) {
            column[i] = xpos >> 32;
            fraction[i] = static_cast<uint32_t>(xpos) >> 24;
        }
        // The pixels read lie in [column[0], column[n - 1] + 1]: a window is moved back where it
        // would run past them.
        const int64_t lowest = static_cast<int64_t>(column[0]);
        const int64_t highest = static_cast<int64_t>(column[n - 1]) + 1;
        for (int g = 0; g < n / 8; ++g) {
            PairGroup& group = groups[g];
            const int64_t lo = static_cast<int64_t>(column[g * 8]);
            const int64_t hi = static_cast<int64_t>(column[g * 8 + 7]) + 1;
            const int64_t window = std::min(lo, highest - 7);
            group.gather = hi - lo >= 8 || window < lowest;
            group.first = static_cast<int32_t>(group.gather ? lo : window);
            for (int k = 0; k < 8; ++k) {
                const auto at = static_cast<int32_t>(static_cast<int64_t>(column[g * 8 + k]) - group.first);
                if (group.gather) {
                    group.index[k] = at;
                } else {
                    group.index[2 * k] = at;
                    group.index[2 * k + 1] = at + 1;
                }
                const auto f = static_cast<uint8_t>(fraction[g * 8 + k]);
                for (int c = 0; c < 4; ++c) {
                    group.weights[k * 8 + c * 2] = static_cast<uint8_t>(255 - f);
                    group.weights[k * 8 + c * 2 + 1] = f;
                }
            }
        }
    }
};

// ((256 - f) a + f b) >> 8 of each channel pair: `pairs` holds each channel's (a, b) as bytes,
// `low` each channel's a as a word, `weights` each pair's (255 - f, f).
TESSARO_AVX2 inline __m256i LerpPairs(__m256i pairs, __m256i low, __m256i weights)
{
    const __m256i down = _mm256_set1_epi8(static_cast<char>(0x80));
    const __m256i sum = _mm256_maddubs_epi16(weights, _mm256_xor_si256(pairs, down));
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(sum, low), _mm256_set1_epi16(255 * 128)), 8);
}

// Four columns' pairs (a0 b0 a1 b1 ...) to the lerp of each.
TESSARO_AVX2 inline __m256i LerpFour(__m256i pairs, __m256i weights)
{
    const __m256i interleave =
        _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15, 0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13,
                         10, 14, 11, 15);
    const __m256i first = _mm256_setr_epi8(0, -1, 1, -1, 2, -1, 3, -1, 8, -1, 9, -1, 10, -1, 11, -1, 0, -1, 1, -1,
                                           2, -1, 3, -1, 8, -1, 9, -1, 10, -1, 11, -1);
    return LerpPairs(_mm256_shuffle_epi8(pairs, interleave), _mm256_shuffle_epi8(pairs, first), weights);
}

// next: bytes from a source row to the one stepped across after it, whose lines are asked for
// on the way (a hint only).
TESSARO_AVX2 void HorizontalRow(const BYTE* row, const ChunkColumns& cols, int n, BYTE* out, ptrdiff_t next)
{
    const int groups = n / 8;
    for (int g = 0; g < groups; ++g, out += 32) {
        const PairGroup& group = cols.groups[g];
        const BYTE* from = row + static_cast<ptrdiff_t>(group.first) * 4;
        _mm_prefetch(reinterpret_cast<const char*>(from + next), _MM_HINT_T0);
        __m256i p0, p1;
        if (group.gather) {
            const auto* base = reinterpret_cast<const long long*>(from);
            p0 = _mm256_i32gather_epi64(base, _mm_load_si128(reinterpret_cast<const __m128i*>(group.index)), 4);
            p1 = _mm256_i32gather_epi64(base, _mm_load_si128(reinterpret_cast<const __m128i*>(group.index + 4)), 4);
        } else {
            const __m256i window = Load8(from);
            p0 = _mm256_permutevar8x32_epi32(window,
                                             _mm256_load_si256(reinterpret_cast<const __m256i*>(group.index)));
            p1 = _mm256_permutevar8x32_epi32(window,
                                             _mm256_load_si256(reinterpret_cast<const __m256i*>(group.index + 8)));
        }
        const __m256i r0 = LerpFour(p0, _mm256_load_si256(reinterpret_cast<const __m256i*>(group.weights)));
        const __m256i r1 = LerpFour(p1, _mm256_load_si256(reinterpret_cast<const __m256i*>(group.weights + 32)));
        Store8(out, _mm256_permute4x64_epi64(_mm256_packus_epi16(r0, r1), 0xD8));
    }
    for (int i = groups * 8; i < n; ++i, out += 4) {
        const BYTE* p = row + cols.column[i] * 4;
        Store32(out, Lerp(Load32(p), Load32(p + 4), cols.fraction[i]));
    }
}

} // namespace

TESSARO_AVX2 void SmoothRows32Avx2(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                   const StretchSteps& steps)
{
    alignas(32) BYTE rows[2][kChunk * 4];
    thread_local ChunkColumns cols;
    const intptr_t dstPitch = intptr_t(width) * 4 + dstSkip;
    const __m256i zero = _mm256_setzero_si256();
    const bool wide = UseAvx512Bw();
    for (int c0 = 0; c0 < width; c0 += kChunk) {
        const int n = std::min(kChunk, width - c0);
        cols.Build(steps.xFraction + steps.xStep * uint64_t(c0), steps.xStep, n);
        int64_t held[2] = {-1, -1}; // the source row in each buffer
        uint64_t ypos = steps.yFraction;
        BYTE* out = dst + intptr_t(c0) * 4;
        for (int y = 0; y < height; ++y, out += dstPitch, ypos += steps.yStep) {
            const int64_t r = int64_t(ypos >> 32);
            // Buffer `top` must hold row r and the other row r + 1.
            int top = held[0] == r ? 0 : held[1] == r ? 1 : -1;
            if (top < 0) {
                top = held[0] == r + 1 ? 1 : 0;
                HorizontalRow(src + r * srcPitch, cols, n, rows[top], srcPitch);
                held[top] = r;
            }
            if (held[1 - top] != r + 1) {
                HorizontalRow(src + (r + 1) * srcPitch, cols, n, rows[1 - top], srcPitch);
                held[1 - top] = r + 1;
            }
            const BYTE* a = rows[top];
            const BYTE* b = rows[1 - top];
            const auto fy = static_cast<uint32_t>(static_cast<uint32_t>(ypos) >> 24);
            if (wide) {
                SmoothVerticalRowAvx512(out, a, b, n, fy, dstPitch);
                continue;
            }
            const __m256i weights = _mm256_set1_epi16(static_cast<short>((fy << 8) | (255 - fy)));
            int i = 0;
            for (; i + 8 <= n; i += 8) {
                const __m256i ta = Load8(a + 4 * i), tb = Load8(b + 4 * i);
                const __m256i lo =
                    LerpPairs(_mm256_unpacklo_epi8(ta, tb), _mm256_unpacklo_epi8(ta, zero), weights);
                const __m256i hi =
                    LerpPairs(_mm256_unpackhi_epi8(ta, tb), _mm256_unpackhi_epi8(ta, zero), weights);
                Store8(out + 4 * i, _mm256_packus_epi16(lo, hi));
            }
            for (; i < n; ++i) {
                Store32(out + 4 * i, Lerp(Load32(a + 4 * i), Load32(b + 4 * i), fy));
            }
        }
    }
}
