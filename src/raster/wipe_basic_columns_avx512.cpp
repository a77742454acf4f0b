// The 512-bit twin of the stretched columns' rows: sixteen columns a step, each run of columns that
// step alike fetched by one masked load, so a row takes a load per run instead of a gather.
#include "raster/wipe_avx512.h"

#include "raster/wipe_basic_columns.h"

#include <cstddef>
#include <cstdint>

namespace wipe::columns_detail {
namespace {

// The run's pixels of a row; lanes outside `lanes` are 0 and their memory is never touched (the
// base may lie before the source, where the run starts past the group's first lane).
WIPE_SIMD_AVX512 inline __m512i LoadRun(const BYTE* src, int32_t base, __mmask16 lanes)
{
    const auto at = reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(src) +
                                                  static_cast<uintptr_t>(static_cast<intptr_t>(base)));
    return _mm512_maskz_loadu_epi32(lanes, at);
}

// How far ahead lines are asked for: a run's source this many rows on, the destination this many
// bytes along the row.
constexpr ptrdiff_t kAheadRows = 2;
constexpr ptrdiff_t kDestinationAhead = 2048;
// The even rows' source lines are asked for a row on: a run reads its next row at most a
// destination row later, and lines further off stay in the first-level cache less often.
constexpr ptrdiff_t kEvenAheadRows = 1;

// Uniform: every run shows on every row from top to bottom.
template <bool Blend, bool Uniform>
WIPE_SIMD_AVX512 void DrawRows(BYTE* dstRow, LONG dstPitch, const BYTE* src, int32_t srcPitch, int32_t top,
                                int32_t bottom, ColumnRuns& runs)
{
    int32_t* const base = runs.base.data();
    int32_t* const acc = runs.acc.data();
    const int32_t* const frac = runs.frac.data();
    const int32_t* const den = runs.den.data();
    const int32_t* const whole = runs.whole.data();
    const int32_t* const first = runs.top.data();
    const int32_t* const last = runs.bottom.data();
    const uint16_t* const lanes = runs.lanes.data();
    const int32_t* const groupEnd = runs.groupEnd.data();
    const uint16_t* const groupLanes = runs.groupLanes.data();
    const size_t groups = runs.groupEnd.size();
    const size_t padded = runs.base.size();
    const __m512i pitches = _mm512_set1_epi32(srcPitch);
    const __m512i zero = _mm512_setzero_si512();
    const ptrdiff_t ahead = kAheadRows * static_cast<ptrdiff_t>(srcPitch) + 32;
    const BlendConstants16 c = LoopBlendConstants16();
    for (int32_t y = top; y < bottom; ++y, dstRow += dstPitch) {
        int32_t s = 0;
        for (size_t g = 0; g < groups; ++g) {
            __m512i v = zero;
            uint32_t shown = 0;
            for (const int32_t end = groupEnd[g]; s < end; ++s) {
                // The run's lanes where this row lies in top..bottom-1, none otherwise.
                const uint32_t on =
                    Uniform || static_cast<uint32_t>(y - first[s]) < static_cast<uint32_t>(last[s] - first[s])
                        ? lanes[s]
                        : 0u;
                v = _mm512_or_si512(v, LoadRun(src, base[s], static_cast<__mmask16>(on)));
                // The line the run reads a few rows on: its source moves by rows no walker of
                // memory foresees.
                _mm_prefetch(reinterpret_cast<const char*>(src) + base[s] + ahead, _MM_HINT_T0);
                if (!Uniform)
                    shown |= on;
            }
            if (Uniform)
                shown = groupLanes[g];
            if (!Uniform && shown == 0)
                continue;
            BYTE* const d = dstRow + static_cast<ptrdiff_t>(g) * 64;
            // The destination's lines a little further along (measured faster for 1920-pixel blends).
            _mm_prefetch(reinterpret_cast<const char*>(d) + kDestinationAhead, _MM_HINT_T0);
            const auto k = static_cast<__mmask16>(shown);
            if (Blend)
                _mm512_mask_storeu_epi32(d, k, BlendAlpha16(c, v, _mm512_maskz_loadu_epi32(k, d)));
            else if (shown == 0xFFFFu)
                _mm512_storeu_si512(d, v);
            else
                _mm512_mask_storeu_epi32(d, k, v);
        }
        if (y + 1 >= bottom)
            break;
        // The runs shown on this row and the next step on to the row they read next, as the
        // scaled kernels step.
        const __m512i at = _mm512_set1_epi32(y);
        const __m512i next = _mm512_set1_epi32(y + 1);
        for (size_t r = 0; r < padded; r += 16) {
            const __mmask16 moves = _mm512_cmple_epi32_mask(_mm512_loadu_si512(first + r), at) &
                                    _mm512_cmpgt_epi32_mask(_mm512_loadu_si512(last + r), next);
            const __m512i a = _mm512_loadu_si512(acc + r);
            const __m512i b = _mm512_loadu_si512(base + r);
            const __m512i sum = _mm512_add_epi32(a, _mm512_loadu_si512(frac + r));
            const __mmask16 carry = _mm512_cmpge_epi32_mask(sum, zero);
            const __m512i movedAcc = _mm512_mask_sub_epi32(sum, carry, sum, _mm512_loadu_si512(den + r));
            __m512i movedBase = _mm512_add_epi32(b, _mm512_loadu_si512(whole + r));
            movedBase = _mm512_mask_add_epi32(movedBase, carry, movedBase, pitches);
            _mm512_storeu_si512(acc + r, _mm512_mask_mov_epi32(a, moves, movedAcc));
            _mm512_storeu_si512(base + r, _mm512_mask_mov_epi32(b, moves, movedBase));
        }
    }
}

// The runs' steppings moved on a row: base and acc from `from` and acc, as the scaled kernels step.
WIPE_SIMD_AVX512 inline void StepRuns(int32_t* to, const int32_t* from, int32_t* acc, const int32_t* frac,
                                      const int32_t* den, const int32_t* whole, size_t padded, int32_t srcPitch)
{
    const __m512i pitches = _mm512_set1_epi32(srcPitch);
    const __m512i zero = _mm512_setzero_si512();
    for (size_t r = 0; r < padded; r += 16) {
        const __m512i sum = _mm512_add_epi32(_mm512_loadu_si512(acc + r), _mm512_loadu_si512(frac + r));
        const __mmask16 carry = _mm512_cmpge_epi32_mask(sum, zero);
        _mm512_storeu_si512(acc + r, _mm512_mask_sub_epi32(sum, carry, sum, _mm512_loadu_si512(den + r)));
        const __m512i moved = _mm512_add_epi32(_mm512_loadu_si512(from + r), _mm512_loadu_si512(whole + r));
        _mm512_storeu_si512(to + r, _mm512_mask_add_epi32(moved, carry, moved, pitches));
    }
}

// One row, or two (Two: the second reading the runs' next rows, `next`), of groups that hold
// PerGroup runs each.
template <bool Blend, int PerGroup, bool Two>
WIPE_SIMD_AVX512 void DrawEvenRow(BYTE* dstRow, LONG dstPitch, const BYTE* src, ptrdiff_t ahead, const int32_t* base,
                                  const int32_t* next, const uint16_t* lanes, const uint16_t* groupLanes,
                                  size_t groups, const BlendConstants16& c)
{
    for (size_t g = 0; g < groups; ++g) {
        const size_t s = g * PerGroup;
        __m512i v = LoadRun(src, base[s], static_cast<__mmask16>(lanes[s]));
        __m512i w = Two ? LoadRun(src, next[s], static_cast<__mmask16>(lanes[s])) : v;
        // The line each run reads a row after the last drawn here: its source moves by rows no
        // walker of memory foresees.
        _mm_prefetch(reinterpret_cast<const char*>(src) + (Two ? next : base)[s] + ahead, _MM_HINT_T0);
        for (int k = 1; k < PerGroup; ++k) {
            const auto m = static_cast<__mmask16>(lanes[s + k]);
            v = _mm512_or_si512(v, LoadRun(src, base[s + k], m));
            if (Two)
                w = _mm512_or_si512(w, LoadRun(src, next[s + k], m));
            _mm_prefetch(reinterpret_cast<const char*>(src) + (Two ? next : base)[s + k] + ahead, _MM_HINT_T0);
        }
        const uint32_t shown = groupLanes[g];
        const auto k = static_cast<__mmask16>(shown);
        for (int row = 0; row < (Two ? 2 : 1); ++row) {
            BYTE* const d = dstRow + static_cast<ptrdiff_t>(row) * dstPitch + static_cast<ptrdiff_t>(g) * 64;
            const __m512i p = row == 0 ? v : w;
            _mm_prefetch(reinterpret_cast<const char*>(d) + kDestinationAhead, _MM_HINT_T0);
            if (Blend)
                _mm512_mask_storeu_epi32(d, k, BlendAlpha16(c, p, _mm512_maskz_loadu_epi32(k, d)));
            else if (shown == 0xFFFFu)
                _mm512_storeu_si512(d, p);
            else
                _mm512_mask_storeu_epi32(d, k, p);
        }
    }
}

// Every run shows on every row, and every group holds PerGroup runs: the loads of a group
// unrolled, with no branch on how many runs it holds; copies two rows a step (the runs' masks and
// the requests for lines ahead serve both).
template <bool Blend, int PerGroup>
WIPE_SIMD_AVX512 void DrawEvenRows(BYTE* dstRow, LONG dstPitch, const BYTE* src, int32_t srcPitch, int32_t top,
                                    int32_t bottom, ColumnRuns& runs)
{
    const size_t padded = runs.base.size();
    runs.nextBase.resize(padded);
    int32_t* const base = runs.base.data();
    int32_t* const next = runs.nextBase.data();
    int32_t* const acc = runs.acc.data();
    const int32_t* const frac = runs.frac.data();
    const int32_t* const den = runs.den.data();
    const int32_t* const whole = runs.whole.data();
    const uint16_t* const lanes = runs.lanes.data();
    const uint16_t* const groupLanes = runs.groupLanes.data();
    const size_t groups = runs.groupEnd.size();
    const ptrdiff_t ahead = kEvenAheadRows * static_cast<ptrdiff_t>(srcPitch);
    const BlendConstants16 c = LoopBlendConstants16();
    int32_t y = top;
    // Blends one row a step: two rows' destination lines beside the runs' source lines are more
    // than the first-level cache keeps (measured slower for 1920-pixel rows).
    for (; !Blend && y + 2 <= bottom; y += 2, dstRow += 2 * static_cast<ptrdiff_t>(dstPitch)) {
        StepRuns(next, base, acc, frac, den, whole, padded, srcPitch);
        DrawEvenRow<Blend, PerGroup, true>(dstRow, dstPitch, src, ahead, base, next, lanes, groupLanes, groups, c);
        if (y + 2 < bottom)
            StepRuns(base, next, acc, frac, den, whole, padded, srcPitch);
    }
    for (; y < bottom; ++y, dstRow += dstPitch) {
        DrawEvenRow<Blend, PerGroup, false>(dstRow, dstPitch, src, ahead, base, base, lanes, groupLanes, groups, c);
        if (y + 1 < bottom)
            StepRuns(base, base, acc, frac, den, whole, padded, srcPitch);
    }
}

} // namespace

void DrawColumnRunsAvx512(BYTE* dstRow, LONG dstPitch, const BYTE* src, int32_t srcPitch, int32_t top,
                          int32_t bottom, ColumnRuns& runs, bool blend)
{
    bool uniform = true;
    for (size_t s = 0; s < static_cast<size_t>(runs.groupEnd.back()); ++s)
        uniform = uniform && runs.top[s] == top && runs.bottom[s] == bottom;
    if (uniform && runs.perGroup >= 1 && runs.perGroup <= 8) {
        using Draw = void (*)(BYTE*, LONG, const BYTE*, int32_t, int32_t, int32_t, ColumnRuns&);
        static constexpr Draw kBlends[] = {DrawEvenRows<true, 1>, DrawEvenRows<true, 2>, DrawEvenRows<true, 3>,
                                           DrawEvenRows<true, 4>, DrawEvenRows<true, 5>, DrawEvenRows<true, 6>,
                                           DrawEvenRows<true, 7>, DrawEvenRows<true, 8>};
        static constexpr Draw kCopies[] = {DrawEvenRows<false, 1>, DrawEvenRows<false, 2>, DrawEvenRows<false, 3>,
                                           DrawEvenRows<false, 4>, DrawEvenRows<false, 5>, DrawEvenRows<false, 6>,
                                           DrawEvenRows<false, 7>, DrawEvenRows<false, 8>};
        (blend ? kBlends : kCopies)[runs.perGroup - 1](dstRow, dstPitch, src, srcPitch, top, bottom, runs);
        return;
    }
    const auto draw = blend ? (uniform ? DrawRows<true, true> : DrawRows<true, false>)
                            : (uniform ? DrawRows<false, true> : DrawRows<false, false>);
    draw(dstRow, dstPitch, src, srcPitch, top, bottom, runs);
}

} // namespace wipe::columns_detail
