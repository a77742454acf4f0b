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

} // namespace

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
