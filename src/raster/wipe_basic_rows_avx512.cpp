// The stretched rows sixteen pixels a step: each group's source columns lie within sixteen of its
// first where a row is widened, so a load and a permute fetch them.
#include "raster/wipe_avx512.h"

#include "raster/row_kernel_loops.h"
#include "raster/wipe_basic_rows.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace wipe::rows_detail {
namespace {

template <bool Blend>
WIPE_SIMD_AVX512 void RowLoop(BYTE* d, const BYTE* src, const int32_t* at, int w, int64_t room, LONG srcPitch)
{
    const __m512i fifteen = _mm512_set1_epi32(15);
    const BlendConstants16 c = LoopBlendConstants16();
    for (int x = 0; x < w; x += 16) {
        const int n = w - x < 16 ? w - x : 16;
        const auto lanes = static_cast<__mmask16>(n == 16 ? 0xFFFFu : (1u << n) - 1);
        const __m512i columns = _mm512_maskz_loadu_epi32(lanes, at + x);
        const int32_t first = at[x];
        // The next row reads columns near these: asked for ahead, the rows come one call each.
        _mm_prefetch(reinterpret_cast<const char*>(src + srcPitch + static_cast<ptrdiff_t>(first) * 4),
                     _MM_HINT_T0);
        const __m512i rel = _mm512_sub_epi32(columns, _mm512_set1_epi32(first));
        __m512i s;
        if (_mm512_mask_cmpgt_epu32_mask(lanes, rel, fifteen) == 0 && first >= 0 && int64_t{first} + 16 <= room)
            s = _mm512_permutexvar_epi32(rel, _mm512_loadu_si512(src + static_cast<ptrdiff_t>(first) * 4));
        else
            s = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, columns, src, 4);
        BYTE* const p = d + static_cast<ptrdiff_t>(x) * 4;
        // The destination's lines a little further along: the rows come in no order a walker of
        // memory follows.
        _mm_prefetch(reinterpret_cast<const char*>(p) + raster_detail::kBlendAhead, _MM_HINT_T0);
        if (Blend)
            s = BlendAlpha16(c, s, _mm512_maskz_loadu_epi32(lanes, p));
        _mm512_mask_storeu_epi32(p, lanes, s);
    }
}

// How many groups ahead a batch row asks for its lines.
constexpr int kBatchAheadGroups = 32;

// One group of a batch row: its sixteen pixels through the plan, and the lines of the group
// `kBatchAheadGroups` further along (at `aheadDst`, and `aheadFrom` bytes into `aheadSrc`) asked for.
template <bool Blend>
WIPE_SIMD_AVX512 inline void BatchGroup(const BlendConstants16& c, BYTE* d, const BYTE* s, const int32_t* rel,
                                        BYTE* aheadDst, const BYTE* aheadSrc)
{
    // A copy does not read the destination: its lines are left to the stores.
    if (Blend)
        _mm_prefetch(reinterpret_cast<const char*>(aheadDst), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(aheadSrc), _MM_HINT_T0);
    __m512i v = _mm512_permutexvar_epi32(_mm512_loadu_si512(rel), _mm512_loadu_si512(s));
    if (Blend)
        v = BlendAlpha16(c, v, _mm512_loadu_si512(d));
    _mm512_storeu_si512(d, v);
}

template <bool Blend>
WIPE_SIMD_AVX512 void BatchLoop(BYTE* const* dst, const BYTE* const* src, int rows, bool followed,
                                const int32_t* first, const int32_t* lanes, int groups)
{
    const BlendConstants16 c = LoopBlendConstants16();
    const int within = std::max(groups - kBatchAheadGroups, 0);
    for (int r = 0; r < rows; ++r) {
        const BYTE* const s = src[r];
        BYTE* const d = dst[r];
        // Past the row's end the lines asked for are those of the next row drawn.
        const int next = r + 1 < rows || followed ? r + 1 : r;
        const BYTE* const nextSrc = src[next];
        BYTE* const nextDst = dst[next];
        int g = 0;
        for (; g < within; ++g) {
            const int ahead = g + kBatchAheadGroups;
            BatchGroup<Blend>(c, d + static_cast<ptrdiff_t>(g) * 64, s + static_cast<ptrdiff_t>(first[g]) * 4,
                              lanes + static_cast<ptrdiff_t>(g) * 16, d + static_cast<ptrdiff_t>(ahead) * 64,
                              s + static_cast<ptrdiff_t>(first[ahead]) * 4);
        }
        for (; g < groups; ++g) {
            const int ahead = std::min(g + kBatchAheadGroups - groups, groups - 1);
            BatchGroup<Blend>(c, d + static_cast<ptrdiff_t>(g) * 64, s + static_cast<ptrdiff_t>(first[g]) * 4,
                              lanes + static_cast<ptrdiff_t>(g) * 16, nextDst + static_cast<ptrdiff_t>(ahead) * 64,
                              nextSrc + static_cast<ptrdiff_t>(first[ahead]) * 4);
        }
    }
}

} // namespace

WIPE_SIMD_AVX512 int PlanGroups16Avx512(const int32_t* at, int groups, int64_t room, int32_t* first, int32_t* lanes)
{
    const __m512i fifteen = _mm512_set1_epi32(15);
    for (int g = 0; g < groups; ++g) {
        const __m512i columns = _mm512_loadu_si512(at + static_cast<ptrdiff_t>(g) * 16);
        const int32_t from = at[static_cast<ptrdiff_t>(g) * 16];
        const __m512i rel = _mm512_sub_epi32(columns, _mm512_set1_epi32(from));
        if (from < 0 || int64_t{from} + 16 > room || _mm512_cmpgt_epu32_mask(rel, fifteen) != 0)
            return g;
        first[g] = from;
        _mm512_storeu_si512(lanes + static_cast<ptrdiff_t>(g) * 16, rel);
    }
    return groups;
}

WIPE_SIMD_AVX512 int FillColumnsAvx512(int32_t* at, int w, const StretchState& st, int64_t room, int32_t* first,
                                       int32_t* lanes)
{
    const int64_t acc = st.xAcc, frac = st.xFrac, den = st.xDen, step = st.xStep;
    const auto floorDiv = [den](int64_t v) { return v >= 0 ? v / den : -((-v + den - 1) / den); };
    int k = 0, groups = 0;
    if (w >= 32) {
        // Lane j's quotient and remainder of acc + j frac (below 2^30): the quotient is small
        // (acc lies in [-den, 0) and frac below den), so the division of doubles rounds down to
        // it exactly.
        const __m512i index = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        const __m512i dens = _mm512_set1_epi32(static_cast<int>(den));
        const __m512i v = _mm512_add_epi32(_mm512_set1_epi32(static_cast<int>(acc)),
                                           _mm512_mullo_epi32(index, _mm512_set1_epi32(static_cast<int>(frac))));
        const __m512d by = _mm512_set1_pd(static_cast<double>(den));
        const auto quotient = [&](__m256i half) WIPE_SIMD_AVX512 {
            return _mm512_cvtpd_epi32(_mm512_roundscale_pd(_mm512_div_pd(_mm512_cvtepi32_pd(half), by),
                                                           _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
        };
        __m512i q = _mm512_inserti64x4(_mm512_castsi256_si512(quotient(_mm512_castsi512_si256(v))),
                                       quotient(_mm512_extracti64x4_epi64(v, 1)), 1);
        __m512i r = _mm512_sub_epi32(v, _mm512_mullo_epi32(q, dens));
        __m512i moved = _mm512_add_epi32(_mm512_mullo_epi32(index, _mm512_set1_epi32(static_cast<int>(step))),
                                         _mm512_set1_epi32(1));
        // The second run of lanes sixteen columns on.
        const int32_t r16 = static_cast<int32_t>(16 * frac % den), q16 = static_cast<int32_t>(16 * frac / den);
        __m512i r2 = _mm512_add_epi32(r, _mm512_set1_epi32(r16));
        const __mmask16 carry16 = _mm512_cmpge_epi32_mask(r2, dens);
        r2 = _mm512_mask_sub_epi32(r2, carry16, r2, dens);
        __m512i q2 = _mm512_add_epi32(q, _mm512_set1_epi32(q16));
        q2 = _mm512_mask_add_epi32(q2, carry16, q2, _mm512_set1_epi32(1));
        __m512i moved2 = _mm512_add_epi32(moved, _mm512_set1_epi32(static_cast<int>(16 * step)));
        // Two runs of lanes sixteen columns apart, each stepping thirty-two columns a time: the
        // remainder's chain of steps is the loop's limit, and two of them overlap.
        const __m512i q32 = _mm512_set1_epi32(static_cast<int>(32 * frac / den));
        const __m512i r32 = _mm512_set1_epi32(static_cast<int>(32 * frac % den));
        const __m512i movedStep = _mm512_set1_epi32(static_cast<int>(32 * step));
        const __m512i fifteen = _mm512_set1_epi32(15);
        const auto advance = [&](__m512i& qv, __m512i& rv) WIPE_SIMD_AVX512 {
            rv = _mm512_add_epi32(rv, r32);
            const __mmask16 carry = _mm512_cmpge_epi32_mask(rv, dens);
            rv = _mm512_mask_sub_epi32(rv, carry, rv, dens);
            qv = _mm512_mask_add_epi32(_mm512_add_epi32(qv, q32), carry, _mm512_add_epi32(qv, q32),
                                       _mm512_set1_epi32(1));
        };
        // The leading groups whose columns lie within sixteen of their first and whose load stays
        // within the room.
        // Every group's plan is written, without a branch; the count stops at the first that
        // does not serve.
        int serving = 1;
        const auto plan = [&](__m512i columns, int g) WIPE_SIMD_AVX512 {
            const int32_t from = _mm_cvtsi128_si32(_mm512_castsi512_si128(columns));
            const __m512i rel = _mm512_sub_epi32(columns, _mm512_set1_epi32(from));
            first[g] = from;
            _mm512_storeu_si512(lanes + static_cast<ptrdiff_t>(g) * 16, rel);
            serving &= static_cast<int>(_mm512_cmpgt_epu32_mask(rel, fifteen) == 0) &
                       static_cast<int>(from >= 0) & static_cast<int>(int64_t{from} + 16 <= room);
            groups += serving;
        };
        for (; k + 32 <= w; k += 32) {
            const __m512i c0 = _mm512_add_epi32(moved, q), c1 = _mm512_add_epi32(moved2, q2);
            _mm512_storeu_si512(at + k, c0);
            _mm512_storeu_si512(at + k + 16, c1);
            plan(c0, k / 16);
            plan(c1, k / 16 + 1);
            advance(q, r);
            advance(q2, r2);
            moved = _mm512_add_epi32(moved, movedStep);
            moved2 = _mm512_add_epi32(moved2, movedStep);
        }
        if (k + 16 <= w) {
            const __m512i c0 = _mm512_add_epi32(moved, q);
            _mm512_storeu_si512(at + k, c0);
            plan(c0, k / 16);
            k += 16;
        }
    }
    for (; k < w; ++k) {
        const int64_t v = acc + k * frac;
        at[k] = static_cast<int32_t>(k * step + floorDiv(v) + 1);
    }
    if (w < 32) {
        // Too short for the loop: the groups from the columns as written.
        const __m512i fifteen = _mm512_set1_epi32(15);
        for (int g = 0; g < w / 16; ++g) {
            const __m512i columns = _mm512_loadu_si512(at + static_cast<ptrdiff_t>(g) * 16);
            const int32_t from = at[static_cast<ptrdiff_t>(g) * 16];
            const __m512i rel = _mm512_sub_epi32(columns, _mm512_set1_epi32(from));
            if (from < 0 || int64_t{from} + 16 > room || _mm512_cmpgt_epu32_mask(rel, fifteen) != 0)
                break;
            first[g] = from;
            _mm512_storeu_si512(lanes + static_cast<ptrdiff_t>(g) * 16, rel);
            groups = g + 1;
        }
    }
    return groups;
}

void StretchedRowsAvx512(BYTE* const* dst, const BYTE* const* src, int rows, bool followed, const int32_t* first,
                         const int32_t* lanes, int groups, bool blend)
{
    (blend ? BatchLoop<true> : BatchLoop<false>)(dst, src, rows, followed, first, lanes, groups);
}

void StretchedRowAvx512(BYTE* d, const BYTE* src, const int32_t* at, int w, int64_t room, LONG srcPitch,
                        bool blend)
{
    (blend ? RowLoop<true> : RowLoop<false>)(d, src, at, w, room, srcPitch);
}

WIPE_SIMD_AVX512 void SmearRowAvx512(BYTE* d, const BYTE* src, int w, LONG dstPitch, bool blend)
{
    if (w < 1)
        return;
    uint32_t v;
    std::memcpy(&v, src, 4);
    const __m512i same = _mm512_set1_epi32(static_cast<int>(v));
    const auto lanesAt = [w](int x) {
        return static_cast<__mmask16>(w - x >= 16 ? 0xFFFFu : (1u << (w - x)) - 1);
    };
    if (!blend || v >= 0xFF000000u) {
        // A copy, or an opaque pixel, whose blend is its colour with alpha 0: the destination is
        // not read.
        const __m512i out = blend ? _mm512_and_si512(same, _mm512_set1_epi32(0x00FFFFFF)) : same;
        for (int x = 0; x < w; x += 16)
            _mm512_mask_storeu_epi32(d + static_cast<ptrdiff_t>(x) * 4, lanesAt(x), out);
        return;
    }
    const ptrdiff_t ahead = std::min(raster_detail::kBlendAhead, static_cast<ptrdiff_t>(w) * 4 & ~ptrdiff_t{63});
    const ptrdiff_t skip = dstPitch - static_cast<ptrdiff_t>(w) * 4;
    const BlendConstants16 c = LoopBlendConstants16();
    // Whole groups without lane masks (a store under one costs more), the last few through one.
    int x = 0;
    for (; x + 16 <= w; x += 16) {
        BYTE* const p = d + static_cast<ptrdiff_t>(x) * 4;
        raster_detail::PrefetchAlong(p, ahead, static_cast<ptrdiff_t>(w - x) * 4, skip);
        _mm512_storeu_si512(p, BlendAlpha16(c, same, _mm512_loadu_si512(p)));
    }
    if (x < w) {
        BYTE* const p = d + static_cast<ptrdiff_t>(x) * 4;
        const __mmask16 lanes = lanesAt(x);
        _mm512_mask_storeu_epi32(p, lanes, BlendAlpha16(c, same, _mm512_maskz_loadu_epi32(lanes, p)));
    }
}

WIPE_SIMD_AVX512 void CopyPixelsAvx512(BYTE* dst, const BYTE* src, int64_t n)
{
    const size_t bytes = static_cast<size_t>(n) * 4;
    if (n < 16) {
        std::memcpy(dst, src, bytes);
        return;
    }
    BYTE* const end = dst + bytes;
    const BYTE* const srcEnd = src + bytes;
    if (bytes < 192) {
        // Too short for the first source line to end inside the source.
        for (size_t i = 0; i + 64 <= bytes; i += 64)
            _mm512_storeu_si512(dst + i, _mm512_loadu_si512(src + i));
        _mm512_storeu_si512(end - 64, _mm512_loadu_si512(srcEnd - 64));
        return;
    }
    // The first and last 64 bytes whole and unaligned; the aligned stores between them.
    _mm512_storeu_si512(dst, _mm512_loadu_si512(src));
    ptrdiff_t at = 64 - static_cast<ptrdiff_t>(reinterpret_cast<uintptr_t>(dst) & 63); // first aligned store
    const uintptr_t from = reinterpret_cast<uintptr_t>(src) + static_cast<uintptr_t>(at);
    const BYTE* line = src + at - static_cast<ptrdiff_t>(from & 63); // the source line holding it
    const int shift = static_cast<int>(from & 63) / 4;
    const __m512i lanes = _mm512_add_epi32(_mm512_set1_epi32(shift),
                                           _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
    // The line's pixels before the source are never read.
    const int outside = line < src ? static_cast<int>((src - line) / 4) : 0;
    __m512i low = _mm512_maskz_loadu_epi32(static_cast<__mmask16>(0xFFFFu << outside), line);
    for (; at + 64 <= static_cast<ptrdiff_t>(bytes) && line + 128 <= srcEnd; at += 64, line += 64) {
        const __m512i high = _mm512_load_si512(line + 64);
        _mm512_store_si512(dst + at, _mm512_permutex2var_epi32(low, lanes, high));
        low = high;
    }
    // Where the next line would pass the source's end, one more store unaligned.
    if (at + 64 <= static_cast<ptrdiff_t>(bytes))
        _mm512_storeu_si512(dst + at, _mm512_loadu_si512(src + at));
    _mm512_storeu_si512(end - 64, _mm512_loadu_si512(srcEnd - 64));
}

} // namespace wipe::rows_detail
