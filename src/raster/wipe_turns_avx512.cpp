// Lined-up rows of quarter-turned grids (see wipe_turns_avx512.h). A 64-byte register of source
// pixels holds one block of each of 16 / width destination rows; as many registers, read down the
// source and turned about their diagonal, give each of those rows a whole register of blocks, so
// every store is 64 bytes of one row.
#include "raster/wipe_avx512.h"

#include "raster/wipe_turns_avx512.h"

namespace {

// The source lines this many blocks on are asked for while a register is blended.
constexpr int64_t kAhead = 32;

// Lanes of 128 bits: (a[x], a[y], b[z], b[w]) picked by _MM_SHUFFLE(w, z, y, x).
#define WIPE_QUARTERS(a, b, imm) _mm512_shuffle_i64x2((a), (b), (imm))

// out[q] holds share q of v[0], v[1], ... in that order: shares of 64 bits (8 registers), 128
// bits (4) or 256 bits (2).
template <int Share> WIPE_SIMD_AVX512 inline __attribute__((always_inline)) void Turn(const __m512i* v, __m512i* out)
{
    constexpr int kEven = _MM_SHUFFLE(2, 0, 2, 0), kOdd = _MM_SHUFFLE(3, 1, 3, 1);
    if constexpr (Share == 8) {
        // Pairs of 64 bits, then quarters of pairs, then quarters of quarters.
        __m512i lo[4], hi[4];
        for (int j = 0; j < 4; ++j) {
            lo[j] = _mm512_unpacklo_epi64(v[2 * j], v[2 * j + 1]); // quarter L: shares 2L of 2j, 2j + 1
            hi[j] = _mm512_unpackhi_epi64(v[2 * j], v[2 * j + 1]); // shares 2L + 1
        }
        for (int odd = 0; odd < 2; ++odd) {
            const __m512i* p = odd ? hi : lo;
            const __m512i e01 = WIPE_QUARTERS(p[0], p[1], kEven), o01 = WIPE_QUARTERS(p[0], p[1], kOdd);
            const __m512i e23 = WIPE_QUARTERS(p[2], p[3], kEven), o23 = WIPE_QUARTERS(p[2], p[3], kOdd);
            out[odd + 0] = WIPE_QUARTERS(e01, e23, kEven);
            out[odd + 4] = WIPE_QUARTERS(e01, e23, kOdd);
            out[odd + 2] = WIPE_QUARTERS(o01, o23, kEven);
            out[odd + 6] = WIPE_QUARTERS(o01, o23, kOdd);
        }
    } else if constexpr (Share == 4) {
        const __m512i e01 = WIPE_QUARTERS(v[0], v[1], kEven), o01 = WIPE_QUARTERS(v[0], v[1], kOdd);
        const __m512i e23 = WIPE_QUARTERS(v[2], v[3], kEven), o23 = WIPE_QUARTERS(v[2], v[3], kOdd);
        out[0] = WIPE_QUARTERS(e01, e23, kEven);
        out[2] = WIPE_QUARTERS(e01, e23, kOdd);
        out[1] = WIPE_QUARTERS(o01, o23, kEven);
        out[3] = WIPE_QUARTERS(o01, o23, kOdd);
    } else {
        out[0] = WIPE_QUARTERS(v[0], v[1], _MM_SHUFFLE(1, 0, 1, 0));
        out[1] = WIPE_QUARTERS(v[0], v[1], _MM_SHUFFLE(3, 2, 3, 2));
    }
}

#undef WIPE_QUARTERS

template <int Width, bool Blend, bool Reversed>
WIPE_SIMD_AVX512 void Rows(BYTE* const* rows, ptrdiff_t dstStep, const BYTE* src, ptrdiff_t step, int64_t count,
                           bool ahead)
{
    constexpr int kShare = 16 / Width;
    const wipe::BlendConstants16 c = wipe::LoopBlendConstants16();
    BYTE* at[kShare];
    for (int q = 0; q < kShare; ++q)
        at[q] = rows[q];
    for (int64_t g = 0; g < count; ++g, src += kShare * step) {
        // The source is walked down its rows, a line a block, which the processor's own prefetch
        // does not follow.
        for (int k = 0; Blend && k < kShare; ++k)
            if (ahead)
                _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(src) +
                                                           static_cast<uintptr_t>((kAhead + k) * step)),
                             _MM_HINT_T0);
        __m512i v[kShare], out[kShare];
        for (int k = 0; k < kShare; ++k)
            v[Reversed ? kShare - 1 - k : k] = _mm512_loadu_si512(src + k * step);
        Turn<kShare>(v, out);
        for (int q = 0; q < kShare; ++q) {
            if constexpr (Blend)
                _mm512_storeu_si512(at[q], wipe::BlendAlpha16(c, out[q], _mm512_loadu_si512(at[q])));
            else
                _mm512_storeu_si512(at[q], out[q]);
            at[q] += dstStep;
        }
    }
}

template <int Width>
void RowsOf(BYTE* const* rows, ptrdiff_t dstStep, const BYTE* src, ptrdiff_t step, int64_t count, bool reversed,
            bool blend, bool ahead)
{
    if (blend)
        reversed ? Rows<Width, true, true>(rows, dstStep, src, step, count, ahead)
                 : Rows<Width, true, false>(rows, dstStep, src, step, count, ahead);
    else
        reversed ? Rows<Width, false, true>(rows, dstStep, src, step, count, ahead)
                 : Rows<Width, false, false>(rows, dstStep, src, step, count, ahead);
}

// Sixteen source pixels from at with their blocks of Width pixels end for end.
template <int Width> WIPE_SIMD_AVX512 inline __attribute__((always_inline)) __m512i Turned(const BYTE* at)
{
    const __m512i v = _mm512_loadu_si512(at);
    if constexpr (Width == 2)
        return _mm512_permutexvar_epi64(_mm512_setr_epi64(7, 6, 5, 4, 3, 2, 1, 0), v);
    else
        return _mm512_shuffle_i64x2(v, v, Width == 4 ? 0x1B : 0x4E); // quarters or halves
}

template <int Width, bool Blend> WIPE_SIMD_AVX512 void Reversed(BYTE* d, const BYTE* s, int64_t count)
{
    // Both walks are long and even: each of their lines is asked for a stretch ahead.
    constexpr uintptr_t kStretch = 2048;
    const wipe::BlendConstants16 c = wipe::LoopBlendConstants16();
    const BYTE* at = s - (16 - Width) * 4; // the first register's last block
    int64_t g = 0;
    for (; g + 2 <= count; g += 2, d += 128, at -= 128) {
        for (uintptr_t line = 0; line < 128; line += 64) {
            _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(d) + kStretch + line),
                         _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(at) - kStretch - line),
                         _MM_HINT_T0);
        }
        const __m512i v0 = Turned<Width>(at), v1 = Turned<Width>(at - 64);
        if constexpr (Blend) {
            const __m512i d0 = _mm512_loadu_si512(d), d1 = _mm512_loadu_si512(d + 64);
            _mm512_storeu_si512(d, wipe::BlendAlpha16(c, v0, d0));
            _mm512_storeu_si512(d + 64, wipe::BlendAlpha16(c, v1, d1));
        } else {
            _mm512_storeu_si512(d, v0);
            _mm512_storeu_si512(d + 64, v1);
        }
    }
    if (g < count) {
        const __m512i v = Turned<Width>(at);
        _mm512_storeu_si512(d, Blend ? wipe::BlendAlpha16(c, v, _mm512_loadu_si512(d)) : v);
    }
}

template <int Width> void ReversedOf(BYTE* d, const BYTE* s, int64_t count, bool blend)
{
    blend ? Reversed<Width, true>(d, s, count) : Reversed<Width, false>(d, s, count);
}

} // namespace

void wipe::ReversedRowAvx512(int width, BYTE* d, const BYTE* s, int64_t count, bool blend)
{
    switch (width) {
    case 2:
        return ReversedOf<2>(d, s, count, blend);
    case 4:
        return ReversedOf<4>(d, s, count, blend);
    default:
        return ReversedOf<8>(d, s, count, blend);
    }
}

void wipe::LinedUpRowsAvx512(int width, BYTE* const* rows, ptrdiff_t dstStep, const BYTE* src, ptrdiff_t step,
                             int64_t count, bool reversed, bool blend, bool ahead)
{
    switch (width) {
    case 2:
        return RowsOf<2>(rows, dstStep, src, step, count, reversed, blend, ahead);
    case 4:
        return RowsOf<4>(rows, dstStep, src, step, count, reversed, blend, ahead);
    default:
        return RowsOf<8>(rows, dstStep, src, step, count, reversed, blend, ahead);
    }
}
