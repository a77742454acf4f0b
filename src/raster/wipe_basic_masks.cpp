// Masks of random blocks, eight blocks a step: eight draws in a row of the table compared at once
// with their thresholds, each comparison widened to the block's four mask bytes.
#include "raster/wipe_basic_masks.h"

#include "platform/random.h"
#include "raster/pixel_simd_avx2.h"
#include "raster/row_kernels.h"
#include "raster/row_kernel_loops.h"
#include "raster/wipe_avx512.h"
#include "raster/wipe_blocks.h"
#include "raster/wipe_canvas.h"
#include "raster/wipe_rows_avx512.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

namespace wipe {

namespace {

// Eight draws across a refill: the k words left in the table (a masked load, which touches
// nothing past the table), then the refill, then the new table's first 8 - k words moved up to
// lanes k to 7.
PIXEL_SIMD_AVX2 __attribute__((noinline)) __m256i EightDrawsAcrossRefill(RandomRun& run)
{
    const int k = run.Left();
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i old = _mm256_cmpgt_epi32(_mm256_set1_epi32(k), lanes);
    const __m256i before = _mm256_maskload_epi32(run.Ahead(), old);
    run.Refill();
    const __m256i after =
        _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(run.Ahead())),
                                    _mm256_sub_epi32(lanes, _mm256_set1_epi32(k)));
    run.Skip(8 - k);
    return _mm256_blendv_epi8(after, before, old);
}

// The next eight draws AND 255 in 32-bit lanes: one load where the table holds them all, two
// masked ones around a refill among them.
PIXEL_SIMD_AVX2 inline __attribute__((always_inline)) __m256i EightDraws(RandomRun& run)
{
    const __m256i low = _mm256_set1_epi32(255);
    if (run.EightAhead()) {
        const __m256i draws =
            _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(run.Ahead())), low);
        run.Skip(8);
        return draws;
    }
    if (run.Left() >= 0)
        return _mm256_and_si256(EightDrawsAcrossRefill(run), low);
    alignas(32) int32_t each[8];
    for (int32_t& draw : each)
        draw = static_cast<int32_t>(run.Draw() & 255);
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(each));
}

// Eight blocks shown where their draw is not above level + part (part: eight values from part).
// draws: the eight draws AND 255.
PIXEL_SIMD_AVX2 inline __attribute__((always_inline)) __m256i DissolveShown(__m256i draws, __m256i levels,
                                                                            const int32_t* part)
{
    const __m256i limits =
        _mm256_add_epi32(levels, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(part)));
    return _mm256_xor_si256(_mm256_cmpgt_epi32(draws, limits), _mm256_set1_epi32(-1));
}

PIXEL_SIMD_AVX2 inline __attribute__((always_inline)) __m256i DissolveShown(RandomRun& run, __m256i levels,
                                                                            const int32_t* part)
{
    return DissolveShown(EightDraws(run), levels, part);
}

// The eight draws at `drawn` AND 255.
PIXEL_SIMD_AVX2 inline __m256i EightDrawn(const int32_t* drawn)
{
    return _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(drawn)), _mm256_set1_epi32(255));
}

// Block k of two columns shown when its draw leaves m = radius - (draw AND 255) at 0 or more and
// its squared distance under (m + 1) squared; every value stays within 2^30 for the sizes taken.
inline bool WithinCircle(uint32_t draw, int32_t radius, int32_t distance)
{
    const int32_t m = radius - static_cast<int32_t>(draw & 255);
    return m >= 0 && distance < (m + 1) * (m + 1);
}

// Eight blocks of WithinCircle, their squared distances rows + across[0..7].
PIXEL_SIMD_AVX2 inline __attribute__((always_inline)) __m256i CircleShown(__m256i draws, __m256i radii,
                                                                          __m256i rows, const int32_t* across)
{
    const __m256i m = _mm256_sub_epi32(radii, draws);
    const __m256i distance =
        _mm256_add_epi32(rows, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(across)));
    const __m256i next = _mm256_add_epi32(m, _mm256_set1_epi32(1));
    const __m256i inside = _mm256_cmpgt_epi32(_mm256_mullo_epi32(next, next), distance);
    return _mm256_andnot_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), m), inside);
}

PIXEL_SIMD_AVX2 inline __attribute__((always_inline)) __m256i CircleShown(RandomRun& run, __m256i radii,
                                                                          __m256i rows, const int32_t* across)
{
    return CircleShown(EightDraws(run), radii, rows, across);
}

// Beyond these bounds every block of the row shows or none does, as part lies in 0..255.
int32_t DissolveLevel(int64_t row)
{
    return static_cast<int32_t>(std::clamp<int64_t>(row, -512, 512));
}

PIXEL_SIMD_AVX2 void DissolveRowAvx2(uint8_t* on, int64_t w, int64_t row, const int32_t* part, RandomRun& run)
{
    const int32_t level = DissolveLevel(row);
    const __m256i levels = _mm256_set1_epi32(level);
    const __m256i ones = _mm256_set1_epi32(0x01010101);
    const int64_t whole = w / 4;
    int64_t k = 0;
    for (; k + 8 <= whole; k += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(on + 4 * k),
                            _mm256_and_si256(DissolveShown(run, levels, part + k), ones));
    for (; k < (w + 3) / 4; ++k) {
        const uint8_t shown = static_cast<int32_t>(run.Draw() & 255) <= level + part[k] ? 1 : 0;
        std::memset(on + 4 * k, shown, static_cast<size_t>(std::min<int64_t>(4, w - 4 * k)));
    }
}

PIXEL_SIMD_AVX2 void CircleRowAvx2(uint8_t* on, int64_t w, int32_t dySquared, int32_t radius,
                                   const int32_t* dxSquared, RandomRun& run)
{
    const __m256i radii = _mm256_set1_epi32(radius);
    const __m256i rows = _mm256_set1_epi32(dySquared);
    const __m128i pairs = _mm_set1_epi16(0x0101);
    const int64_t whole = w / 2;
    int64_t k = 0;
    for (; k + 8 <= whole; k += 8) {
        const __m256i shown = CircleShown(run, radii, rows, dxSquared + k);
        // Eight 32-bit answers to eight pairs of mask bytes.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(shown, shown), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(on + 2 * k),
                         _mm_and_si128(_mm256_castsi256_si128(packed), pairs));
    }
    for (; k < (w + 1) / 2; ++k) {
        const uint8_t shown = WithinCircle(run.Draw(), radius, dySquared + dxSquared[k]) ? 1 : 0;
        std::memset(on + 2 * k, shown, static_cast<size_t>(std::min<int64_t>(2, w - 2 * k)));
    }
}

} // namespace

void MaskDraws::DissolveRow(uint8_t* on, int64_t w, int64_t row, const int32_t* part)
{
    DissolveRowAvx2(on, w, row, part, m_run);
}

void MaskDraws::CircleRow(uint8_t* on, int64_t w, int32_t dySquared, int32_t radius, const int32_t* dxSquared)
{
    CircleRowAvx2(on, w, dySquared, radius, dxSquared, m_run);
}

namespace {

// Which of sixteen pixels blocks B pixels wide cover, by the blocks' bits (16 / B of them).
template <int B> struct PixelLanes {
    uint16_t of[1 << (16 / B)];

    constexpr PixelLanes() : of{}
    {
        for (unsigned bits = 0; bits < (1u << (16 / B)); ++bits)
            for (int i = 0; i < 16; ++i)
                if ((bits >> (i / B) & 1) != 0)
                    of[bits] = static_cast<uint16_t>(of[bits] | 1u << i);
    }
};
template <int B> constexpr PixelLanes<B> kPixelLanes{};

// Eight blocks B pixels wide copied where their lane of `shown` is set: each register of eight
// pixels takes its blocks' answers by a permute, and only the shown pixels are stored (the
// destination is not read at all).
template <int B> PIXEL_SIMD_AVX2 inline void DrawEightBlocks(const BlockRows& at, int64_t x, __m256i shown)
{
    using namespace pixel_simd_avx2;
    static_assert(B == 2 || B == 4);
    for (int r = 0; r < at.rows; ++r) {
        BYTE* d = at.dst + static_cast<ptrdiff_t>(r) * at.dstPitch + x * 4;
        const BYTE* s = at.src + static_cast<ptrdiff_t>(r) * at.srcPitch + x * 4;
        for (int j = 0; j < B; ++j, d += 32, s += 32) {
            const int f = 8 / B * j; // the register's first block
            const __m256i which = B == 4 ? _mm256_setr_epi32(f, f, f, f, f + 1, f + 1, f + 1, f + 1)
                                         : _mm256_setr_epi32(f, f, f + 1, f + 1, f + 2, f + 2, f + 3, f + 3);
            if (j % 2 == 0) {
                // Lines a little further along, as the row kernels ask for them (a hint: the
                // address may lie past the row).
                _mm_prefetch(reinterpret_cast<const char*>(d) + raster_detail::kBlendAhead, _MM_HINT_T0);
                _mm_prefetch(reinterpret_cast<const char*>(s) + raster_detail::kBlendAhead, _MM_HINT_T0);
            }
            const __m256i mask = _mm256_permutevar8x32_epi32(shown, which);
            _mm256_maskstore_epi32(reinterpret_cast<int*>(d), mask, Load8(s));
        }
    }
}

// The columns from the first shown block's to the last one's end (empty while l >= r).
struct ShownSpan {
    int64_t l = INT64_MAX;
    int64_t r = INT64_MIN;

    // Eight blocks B wide from column x, shown by the lanes of `shown`.
    PIXEL_SIMD_AVX2 void Add(__m256i shown, int64_t x, int b)
    {
        Add(static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(shown))), x, b);
    }
    // Blocks b wide from column x, block i shown by bit i.
    void Add(unsigned bits, int64_t x, int b)
    {
        if (bits == 0)
            return;
        l = std::min<int64_t>(l, x + b * __builtin_ctz(bits));
        r = std::max<int64_t>(r, x + b * (32 - __builtin_clz(bits)));
    }
};

// Block k (columns B k to B k + B - 1, cut at w) drawn when shown.
inline void DrawOneBlock(const BlockRows& at, int64_t w, int64_t x, int b, bool shown, ShownSpan& span)
{
    if (!shown)
        return;
    const int n = static_cast<int>(std::min<int64_t>(b, w - x));
    span.l = std::min(span.l, x);
    span.r = std::max(span.r, x + n);
    for (int r = 0; r < at.rows; ++r) {
        BYTE* d = at.dst + static_cast<ptrdiff_t>(r) * at.dstPitch + x * 4;
        const BYTE* s = at.src + static_cast<ptrdiff_t>(r) * at.srcPitch + x * 4;
        CopyShort(d, s, n);
    }
}

// A row of b-wide blocks copied where shown: eight(k) tests blocks k to k + 7 at once, one(k)
// block k alone for the row's last blocks.
template <int B, class Eight, class One>
PIXEL_SIMD_AVX2 inline __attribute__((always_inline)) ShownSpan CopyMaskedRowAvx2(const BlockRows& at, int64_t w,
                                                                                Eight eight, One one)
{
    ShownSpan span;
    const int64_t whole = w / B;
    int64_t k = 0;
    for (; k + 8 <= whole; k += 8) {
        const __m256i shown = eight(k);
        DrawEightBlocks<B>(at, B * k, shown);
        span.Add(shown, B * k, B);
    }
    for (; k < (w + B - 1) / B; ++k)
        DrawOneBlock(at, w, B * k, B, one(k), span);
    return span;
}

// Blocks k0 to k1 - 1 of a row of b-wide blocks copied where shown, with 512-bit stores under a
// lane mask (the AVX2 masked store is slow on some processors; this one costs little more than a
// plain store): eight(k) tests blocks k to k + 7 at once, one(k) block k alone for the last few.
template <int B, class Eight, class One>
WIPE_SIMD_AVX512 inline __attribute__((always_inline)) void CopyShownAvx512(const BlockRows& at, int64_t w, int64_t k0,
                                                                     int64_t k1, Eight eight, One one,
                                                                     ShownSpan& span)
{
    static_assert(B == 2 || B == 4);
    constexpr int kPerRegister = 16 / B; // blocks per sixteen pixels
    const int64_t whole = std::min(k1, w / B);
    // In locals: the stores through byte pointers would otherwise make `at` be read again.
    BYTE* const dst = at.dst;
    const BYTE* const src = at.src;
    const ptrdiff_t dstPitch = at.dstPitch, srcPitch = at.srcPitch;
    const bool two = at.rows > 1;
    int64_t k = k0;
    // The first and last groups where anything shows, kept by selects: whether a group shows
    // anything is as random as its draws, and a branch on it would often be mispredicted.
    unsigned firstBits = 0, lastBits = 0;
    int64_t firstK = 0, lastK = 0;
    for (; k + 8 <= whole; k += 8) {
        const auto bits = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(eight(k))));
        const bool none = firstBits == 0;
        firstK = none ? k : firstK;
        firstBits = none ? bits : firstBits;
        lastK = bits != 0 ? k : lastK;
        lastBits = bits != 0 ? bits : lastBits;
        BYTE* const d = dst + B * k * 4;
        const BYTE* const s = src + B * k * 4;
        for (int j = 0; j < B / 2; ++j) {
            const __mmask16 shown = kPixelLanes<B>.of[(bits >> (j * kPerRegister)) & ((1u << kPerRegister) - 1)];
            _mm512_mask_storeu_epi32(d + 64 * j, shown, _mm512_loadu_si512(s + 64 * j));
            if (two)
                _mm512_mask_storeu_epi32(d + dstPitch + 64 * j, shown, _mm512_loadu_si512(s + srcPitch + 64 * j));
        }
    }
    span.Add(firstBits, B * firstK, B);
    span.Add(lastBits, B * lastK, B);
    for (; k < k1; ++k)
        DrawOneBlock(at, w, B * k, B, one(k), span);
}

// A row of b-wide blocks copied as CopyMaskedRowAvx2 copies it, in the parts `split` gives: the
// blocks hidden whatever their draws take them unread and touch nothing, those shown whatever
// their draws are copied as one run. Only while UseAvx512Bw() holds.
template <int B, class Eight, class One>
WIPE_SIMD_AVX512 inline __attribute__((always_inline)) ShownSpan CopyMaskedRowAvx512(const BlockRows& at, int64_t w,
                                                                              const BlockSplit& split,
                                                                              RandomRun& run, Eight eight, One one)
{
    ShownSpan span;
    const int64_t count = (w + B - 1) / B;
    run.Pass(split.a);
    CopyShownAvx512<B>(at, w, split.a, split.b, eight, one, span);
    run.Pass(split.c - split.b);
    const int64_t l = B * split.b, r = std::min(w, B * split.c);
    if (l < r) {
        span.l = std::min(span.l, l);
        span.r = std::max(span.r, r);
        for (int row = 0; row < at.rows; ++row)
            std::memcpy(at.dst + static_cast<ptrdiff_t>(row) * at.dstPitch + l * 4,
                        at.src + static_cast<ptrdiff_t>(row) * at.srcPitch + l * 4, static_cast<size_t>(r - l) * 4);
    }
    CopyShownAvx512<B>(at, w, split.c, split.d, eight, one, span);
    run.Pass(count - split.d);
    return span;
}

// Which of a group's eight pixels keep the destination, by the group's block bits: blocks B pixels
// wide, so 8 / B bits a group.
template <int B> struct KeepLanes {
    alignas(32) int32_t lanes[1 << (8 / B)][8];

    constexpr KeepLanes() : lanes{}
    {
        for (int bits = 0; bits < (1 << (8 / B)); ++bits)
            for (int i = 0; i < 8; ++i)
                lanes[bits][i] = (bits >> (i / B) & 1) != 0 ? 0 : -1;
    }
};
template <int B> constexpr KeepLanes<B> kKeepLanes{};

// Copies the next n draws of the run to out, in order: eight words a step from the table as it
// stands, the last few of a table by a masked load (which reads nothing past the table).
PIXEL_SIMD_AVX2 void TakeDraws(RandomRun& run, int32_t* out, int64_t n)
{
    if (n > 0 && run.Left() < 0) {
        *out++ = static_cast<int32_t>(run.Draw());
        --n;
    }
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    while (n > 0) {
        if (run.Left() == 0)
            run.Refill();
        const int k = static_cast<int>(std::min<int64_t>(n, run.Left()));
        int i = 0;
        for (; i + 8 <= k; i += 8)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(run.Ahead() + i)));
        if (i < k) {
            const __m256i some = _mm256_cmpgt_epi32(_mm256_set1_epi32(k - i), lanes);
            _mm256_maskstore_epi32(out + i, some, _mm256_maskload_epi32(run.Ahead() + i, some));
        }
        run.Skip(k);
        out += k;
        n -= k;
    }
}

// TakeDraws sixteen words a step, the last few of a table through a lane mask (the AVX2 masked
// store is slow on some processors); only while UseAvx512Bw() holds.
WIPE_SIMD_AVX512 void TakeDrawsAvx512(RandomRun& run, int32_t* out, int64_t n)
{
    if (n > 0 && run.Left() < 0) {
        *out++ = static_cast<int32_t>(run.Draw());
        --n;
    }
    while (n > 0) {
        if (run.Left() == 0) {
            run.Refill();
            if (n >= 55) {
                // The whole table just written: read within the refill's own stores of eight words
                // (from words 1, 9, ..., 41 and 48, the last two overlapping), so that each load
                // takes its words straight from one store instead of waiting for several.
                const int32_t* from = run.Ahead();
                for (int i = 0; i < 40; i += 8)
                    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 40),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 40)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 43),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 43)));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 47),
                                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 47)));
                run.Skip(55);
                out += 55;
                n -= 55;
                continue;
            }
        }
        const int k = static_cast<int>(std::min<int64_t>(n, run.Left()));
        const int32_t* from = run.Ahead();
        int i = 0;
        for (; i + 16 <= k; i += 16)
            _mm512_storeu_si512(out + i, _mm512_loadu_si512(from + i));
        if (i < k) {
            const __mmask16 some = _cvtu32_mask16((1u << (k - i)) - 1);
            _mm512_mask_storeu_epi32(out + i, some, _mm512_maskz_loadu_epi32(some, from + i));
        }
        run.Skip(k);
        out += k;
        n -= k;
    }
}

// Groups of eight pixels of one row from `d` and `s`, listed as (first column << 4) | block bits,
// blended where their blocks show and kept elsewhere.
template <int B>
PIXEL_SIMD_AVX2 inline void BlendListedGroups(BYTE* d, const BYTE* s, const uint32_t* list, int64_t n)
{
    using namespace pixel_simd_avx2;
    for (int64_t i = 0; i < n; ++i) {
        const uint32_t e = list[i];
        const ptrdiff_t x = static_cast<ptrdiff_t>(e >> 4) * 4;
        _mm_prefetch(reinterpret_cast<const char*>(d + x) + raster_detail::kBlendAhead, _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(s + x) + raster_detail::kBlendAhead, _MM_HINT_T0);
        const __m256i keep = _mm256_load_si256(reinterpret_cast<const __m256i*>(kKeepLanes<B>.lanes[e & 15]));
        const __m256i old = Load8(d + x);
        Store8(d + x, _mm256_blendv_epi8(BlendAlpha8(Load8(s + x), old), old, keep));
    }
}

// The groups of eight pixels of eight b-wide blocks (b groups) where a block shows, by the blocks'
// bits: the groups' entries (8 j << 4) | their bits, those with nothing shown left out, in order.
template <int B> struct ShownGroups {
    alignas(16) uint32_t entries[256][4];
    int count[256];

    constexpr ShownGroups() : entries{}, count{}
    {
        constexpr int kBits = 8 / B;
        for (unsigned bits = 0; bits < 256; ++bits) {
            int n = 0;
            for (unsigned j = 0; j < B; ++j) {
                const unsigned g = bits >> (j * kBits) & ((1u << kBits) - 1);
                if (g != 0)
                    entries[bits][n++] = 8 * j << 4 | g;
            }
            count[bits] = n;
        }
    }
};
template <int B> constexpr ShownGroups<B> kShownGroups{};

// The shown groups and blocks of one row of b-wide blocks, in column order.
struct ShownList {
    uint32_t* groups = nullptr; // (first column << 4) | block bits; room for w / 8 + 8 entries
    int64_t count = 0;
    int64_t blocks[16]; // blocks past the last whole eight of a stretch (two at most), drawn alone
    int blockCount = 0;
};

// Lists the shown groups of blocks k0 to k1 - 1: eight(k) tests blocks k to k + 7 at once, one(k)
// block k alone for the last few.
template <int B, class Eight, class One>
PIXEL_SIMD_AVX2 inline __attribute__((always_inline)) void ListShownBlocks(int64_t w, int64_t k0, int64_t k1,
                                                                         Eight eight, One one, ShownList& out)
{
    static_assert(B == 2 || B == 4);
    const int64_t whole = std::min(k1, w / B);
    int64_t k = k0;
    uint32_t* list = out.groups;
    int64_t n = out.count;
    for (; k + 8 <= whole; k += 8) {
        const auto bits = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(eight(k))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(list + n),
                         _mm_add_epi32(_mm_set1_epi32(static_cast<int>(B * k) << 4),
                                       _mm_load_si128(reinterpret_cast<const __m128i*>(kShownGroups<B>.entries[bits]))));
        n += kShownGroups<B>.count[bits];
    }
    out.count = n;
    for (; k < k1; ++k)
        if (one(k))
            out.blocks[out.blockCount++] = k;
}

// A row of b-wide blocks in the parts `split` gives (drawn: room for a draw per block and seven
// more; eight(k) and one(k) read block k's draw there): the blocks before a and from d on hidden
// whatever their draws, those from b to c shown whatever their draws (their draws are taken
// unread; the shown ones blended as a run by the row kernel), the rest by their draws. Only the
// groups of eight pixels where something shows are blended: where the draws hide whole groups,
// their pixels are not touched at all. Each pixel row goes left to right, as the look-ahead of the
// loads expects.
template <int B, class Eight, class One>
PIXEL_SIMD_AVX2 inline __attribute__((always_inline)) ShownSpan BlendMaskedRowAvx2(const BlockRows& at, int64_t w,
                                                                                 const BlockSplit& split, RandomRun& run,
                                                                                 int32_t* drawn, Eight eight, One one)
{
    std::vector<uint32_t>& groups = Scratch<uint32_t, ScratchUse::ShownGroups>();
    const auto room = static_cast<size_t>(w / 8 + 8); // a table row is stored whole past the last entry
    if (groups.size() < room)
        groups.resize(room);
    ShownList list;
    list.groups = groups.data();
    const int64_t count = (w + B - 1) / B;
    // The undecided blocks' draws, block k's at drawn[k], read first a table at a time.
    run.Pass(split.a);
    TakeDraws(run, drawn + split.a, split.b - split.a);
    run.Pass(split.c - split.b);
    TakeDraws(run, drawn + split.c, split.d - split.c);
    run.Pass(count - split.d);
    ListShownBlocks<B>(w, split.a, split.b, eight, one, list);
    const int64_t before = list.count;
    ListShownBlocks<B>(w, split.c, split.d, eight, one, list);

    ShownSpan span;
    if (list.count > 0) {
        const uint32_t first = list.groups[0], last = list.groups[list.count - 1];
        span.Add(first & 15, first >> 4, B);
        span.Add(last & 15, last >> 4, B);
    }
    const int64_t l = B * split.b, r = std::min(w, B * split.c);
    if (l < r) {
        span.l = std::min(span.l, l);
        span.r = std::max(span.r, r);
    }
    for (int i = 0; i < list.blockCount; ++i) {
        const int64_t x = B * list.blocks[i];
        span.l = std::min(span.l, x);
        span.r = std::max(span.r, std::min(w, x + B));
    }
    for (int row = 0; row < at.rows; ++row) {
        BYTE* d = at.dst + static_cast<ptrdiff_t>(row) * at.dstPitch;
        const BYTE* s = at.src + static_cast<ptrdiff_t>(row) * at.srcPitch;
        BlendListedGroups<B>(d, s, list.groups, before);
        if (l < r)
            BlendAlphaRows32Mmx(d + l * 4, s + l * 4, 0, 0, static_cast<int>(r - l), 1);
        BlendListedGroups<B>(d, s, list.groups + before, list.count - before);
        for (int i = 0; i < list.blockCount; ++i) {
            const int64_t x = B * list.blocks[i];
            BlendShort(d + x * 4, s + x * 4, static_cast<int>(std::min<int64_t>(B, w - x)));
        }
    }
    return span;
}


// How many listed groups ahead a list walk asks for lines.
constexpr int64_t kListAhead = 64;

// Where a walk of blocks from k0 on, eight at a time, starts, and which of that first eight it
// keeps. The groups start on whole sixteen pixels (lines of the destination, where its rows start
// on one), so a first group before k0 keeps only the blocks from k0 on; with fewer than eight whole
// blocks left the walk starts at k0 itself.
inline std::pair<int64_t, unsigned> FirstGroupOfEight(int64_t k0, int64_t whole)
{
    int64_t k = k0 & ~int64_t{7};
    if (k + 8 > whole)
        k = k0;
    return {k, 0xFFu << (k0 - k)};
}

// Lists the sixteen-pixel groups of blocks k0 to k1 - 1 where something shows, as (first column
// << 16) | the shown pixels' lanes, and the last few blocks alone: eight(k) tests blocks k to k + 7
// at once, one(k) block k alone.
template <int B, class Eight, class One>
WIPE_SIMD_AVX512 inline __attribute__((always_inline)) void ListShownAvx512(int64_t w, int64_t k0, int64_t k1,
                                                                     Eight eight, One one, uint64_t* list,
                                                                     int64_t& count, ShownList& alone)
{
    static_assert(B == 2 || B == 4);
    constexpr int kPerRegister = 16 / B;
    const int64_t whole = std::min(k1, w / B);
    auto [k, from] = FirstGroupOfEight(k0, whole);
    int64_t n = count;
    for (; k + 8 <= whole; k += 8, from = 0xFFu) {
        const auto bits = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(eight(k)))) & from;
        for (int j = 0; j < B / 2; ++j) {
            const uint64_t lanes = kPixelLanes<B>.of[(bits >> (j * kPerRegister)) & ((1u << kPerRegister) - 1)];
            list[n] = static_cast<uint64_t>(B * k + 16 * j) << 16 | lanes;
            n += lanes != 0 ? 1 : 0;
        }
    }
    count = n;
    for (; k < k1; ++k)
        if (one(k))
            alone.blocks[alone.blockCount++] = k;
}

// Blocks k0 to k1 - 1 of one pixel row blended where they show, straight from their draws sixteen
// pixels at a time, without a list: for rows where nearly every group shows something, the list
// costs more than the few groups it leaves out. Groups start on whole sixteen pixels as
// ListShownAvx512's do. With span and alone given, the shown extent goes to span and the blocks
// past the last whole eight to alone (those are not drawn here).
template <int B, class Eight, class One>
WIPE_SIMD_AVX512 inline __attribute__((always_inline)) void BlendShownAvx512(const BlendConstants16& c, BYTE* d,
                                                                      const BYTE* s, int64_t w,
                                                                      int64_t k0, int64_t k1, Eight eight,
                                                                      One one, ShownSpan* span, ShownList* alone)
{
    static_assert(B == 2 || B == 4);
    constexpr int kPerRegister = 16 / B;
    const int64_t whole = std::min(k1, w / B);
    auto [k, from] = FirstGroupOfEight(k0, whole);
    // The first and last groups where anything shows, kept by selects (a branch on them would be
    // as random as the draws).
    unsigned firstBits = 0, lastBits = 0;
    int64_t firstK = 0, lastK = 0;
    for (; k + 8 <= whole; k += 8, from = 0xFFu) {
        const unsigned bits = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(eight(k)))) & from;
        const bool none = firstBits == 0;
        firstK = none ? k : firstK;
        firstBits = none ? bits : firstBits;
        lastK = bits != 0 ? k : lastK;
        lastBits = bits != 0 ? bits : lastBits;
        for (int j = 0; j < B / 2; ++j) {
            const __mmask16 lanes = kPixelLanes<B>.of[(bits >> (j * kPerRegister)) & ((1u << kPerRegister) - 1)];
            BYTE* const p = d + (B * k + 16 * j) * 4;
            const BYTE* const q = s + (B * k + 16 * j) * 4;
            _mm_prefetch(reinterpret_cast<const char*>(p) + raster_detail::kBlendAhead, _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(q) + raster_detail::kBlendAhead, _MM_HINT_T0);
            _mm512_mask_storeu_epi32(p, lanes, BlendAlpha16(c, _mm512_loadu_si512(q), _mm512_loadu_si512(p)));
        }
    }
    if (span != nullptr) {
        span->Add(firstBits, B * firstK, B);
        span->Add(lastBits, B * lastK, B);
    }
    if (alone != nullptr)
        for (; k < k1; ++k)
            if (one(k))
                alone->blocks[alone->blockCount++] = k;
}

// BlendMaskedRowAvx2's pixels, sixteen a step: each shown group blended and stored under its
// lanes (the kept pixels are not written). The groups of blocks m1 to b - 1 and c to m2 - 1, where
// nearly every group shows something, are blended as their draws are tested; the others' shown
// groups are listed first, and only those are read (a <= m1 <= b, c <= m2 <= d). Only while
// UseAvx512Bw() holds.
template <int B, class Eight, class One>
WIPE_SIMD_AVX512 inline __attribute__((always_inline)) ShownSpan BlendMaskedRowAvx512(const BlockRows& at, int64_t w,
                                                                               const BlockSplit& split,
                                                                               RandomRun& run, int32_t* drawn,
                                                                               Eight eight, One one, int64_t m1,
                                                                               int64_t m2)
{
    std::vector<uint64_t>& groups = Scratch<uint64_t, ScratchUse::ShownGroups>();
    const auto room = static_cast<size_t>(w / 16 + 8);
    if (groups.size() < room)
        groups.resize(room);
    uint64_t* const list = groups.data();
    ShownList alone;
    const int64_t count = (w + B - 1) / B;
    run.Pass(split.a);
    TakeDrawsAvx512(run, drawn + split.a, split.b - split.a);
    run.Pass(split.c - split.b);
    TakeDrawsAvx512(run, drawn + split.c, split.d - split.c);
    run.Pass(count - split.d);
    int64_t n = 0;
    ListShownAvx512<B>(w, split.a, m1, eight, one, list, n, alone);
    const int64_t before = n;
    ListShownAvx512<B>(w, m2, split.d, eight, one, list, n, alone);

    ShownSpan span;
    if (n > 0) {
        span.Add(static_cast<unsigned>(list[0] & 0xFFFF), static_cast<int64_t>(list[0] >> 16), 1);
        span.Add(static_cast<unsigned>(list[n - 1] & 0xFFFF), static_cast<int64_t>(list[n - 1] >> 16), 1);
    }
    const int64_t l = B * split.b, r = std::min(w, B * split.c);
    if (l < r) {
        span.l = std::min(span.l, l);
        span.r = std::max(span.r, r);
    }
    const BlendConstants16 c = LoopBlendConstants16();
    // The lines asked for ahead are the listed groups' own (see kListAhead).
    const auto blendListed = [&c](BYTE* d, const BYTE* s, const uint64_t* entries, int64_t m) WIPE_SIMD_AVX512 {
        for (int64_t i = 0; i < m; ++i) {
            const uint64_t e = entries[i];
            const ptrdiff_t x = static_cast<ptrdiff_t>(e >> 16) * 4;
            // Near the list's end, the lines a fixed distance along, as the row kernels ask.
            const ptrdiff_t next = i + kListAhead < m ? static_cast<ptrdiff_t>(entries[i + kListAhead] >> 16) * 4
                                                      : x + raster_detail::kBlendAhead;
            _mm_prefetch(reinterpret_cast<const char*>(d + next), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(s + next), _MM_HINT_T0);
            const __m512i out = BlendAlpha16(c, _mm512_loadu_si512(s + x), _mm512_loadu_si512(d + x));
            _mm512_mask_storeu_epi32(d + x, static_cast<__mmask16>(e), out);
        }
    };
    for (int row = 0; row < at.rows; ++row) {
        BYTE* d = at.dst + static_cast<ptrdiff_t>(row) * at.dstPitch;
        const BYTE* s = at.src + static_cast<ptrdiff_t>(row) * at.srcPitch;
        // The first row finds the dense stretches' extent and last few blocks; the second has them.
        ShownSpan* const found = row == 0 ? &span : nullptr;
        ShownList* const last = row == 0 ? &alone : nullptr;
        // The first listed groups' lines, and the first lines of the run of shown pixels where only
        // listed groups come before it, asked for before anything of the row is drawn: the
        // look-ahead of what comes before them on the row asks for them late or not at all.
        for (int64_t i = 0; i < std::min(before, kListAhead); ++i) {
            const ptrdiff_t x = static_cast<ptrdiff_t>(list[i] >> 16) * 4;
            _mm_prefetch(reinterpret_cast<const char*>(d + x), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(s + x), _MM_HINT_T0);
        }
        if (l < r && m1 == split.b) {
            const ptrdiff_t first = l * 4 & ~ptrdiff_t{63};
            const ptrdiff_t end = std::min<ptrdiff_t>(r * 4, first + raster_detail::kBlendAhead);
            for (ptrdiff_t at = first; at < end; at += 64) {
                _mm_prefetch(reinterpret_cast<const char*>(d + at), _MM_HINT_T0);
                _mm_prefetch(reinterpret_cast<const char*>(s + at), _MM_HINT_T0);
            }
        }
        blendListed(d, s, list, before);
        BlendShownAvx512<B>(c, d, s, w, m1, split.b, eight, one, found, last);
        if (l < r)
            BlendPixelsAvx512(d + l * 4, s + l * 4, r - l);
        BlendShownAvx512<B>(c, d, s, w, split.c, m2, eight, one, found, last);
        blendListed(d, s, list + before, n - before);
        for (int i = 0; i < alone.blockCount; ++i) {
            const int64_t x = B * alone.blocks[i];
            BlendShort(d + x * 4, s + x * 4, static_cast<int>(std::min<int64_t>(B, w - x)));
        }
    }
    for (int i = 0; i < alone.blockCount; ++i) {
        const int64_t x = B * alone.blocks[i];
        span.l = std::min(span.l, x);
        span.r = std::max(span.r, std::min(w, x + B));
    }
    return span;
}

// The least level + part along a dissolve row blended without a list of the groups that show:
// from it on, a block shows with odds of one in two or more, and a group of four blocks is left
// out one time in sixteen.
constexpr int32_t kDenseBlendFrom = 128;

// Room for a row's draws, `count` blocks and seven more.
int32_t* RowDraws(int64_t count)
{
    std::vector<int32_t>& drawn = Scratch<int32_t, ScratchUse::RowDraws>();
    if (drawn.size() < static_cast<size_t>(count + 8))
        drawn.resize(static_cast<size_t>(count + 8));
    return drawn.data();
}

// First k in [lo, hi) where pred(k) holds, for a pred false and then true along the range (hi where
// it never holds).
template <class Pred> int64_t FirstWhere(int64_t lo, int64_t hi, Pred pred)
{
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (pred(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// The dissolve's certain blocks: hidden where level + part < 0, shown where level + part >= 255,
// whatever the draw. Where the parts neither rise nor fall along the row, every block goes by its
// draw.
BlockSplit DissolveSplit(int64_t count, int32_t level, const int32_t* part, PartOrder order)
{
    const auto reaches = [&](int32_t at) { return [=](int64_t k) { return level + part[k] >= at; }; };
    const auto below = [&](int32_t at) { return [=](int64_t k) { return level + part[k] < at; }; };
    if (order == PartOrder::Rising) {
        const int64_t a = FirstWhere(0, count, reaches(0));
        const int64_t b = FirstWhere(a, count, reaches(255));
        return BlockSplit{a, b, count, count};
    }
    if (order == PartOrder::Falling) {
        const int64_t c = FirstWhere(0, count, below(255));
        const int64_t d = FirstWhere(c, count, below(0));
        return BlockSplit{0, 0, c, d};
    }
    return BlockSplit{0, count, count, count};
}

// FirstWhere walked from a guess: the steps from the guess to the answer, each one pred, instead
// of a search whose every step is a branch as likely taken as not.
template <class Pred> int64_t FirstWhereNear(int64_t lo, int64_t hi, int64_t guess, Pred pred)
{
    int64_t k = std::clamp(guess, lo, hi);
    while (k > lo && pred(k - 1))
        --k;
    while (k < hi && !pred(k))
        ++k;
    return k;
}

// The noisy circle's certain blocks: hidden where the squared distance reaches (radius + 1)
// squared, shown where it stays under (radius - 254) squared (and radius - 255 is 0 or more). The
// squared distances fall to the row's middle and rise after it, so each set is a stretch; its ends
// are guessed from the distances' form, (4k - w) squared, and then found by the exact test.
BlockSplit CircleSplit(int64_t w, int32_t dySquared, int32_t radius, const int32_t* dxSquared)
{
    const int64_t count = (w + 1) / 2;
    if (radius < 0)
        return BlockSplit{count, count, count, count};
    const int64_t middle = std::min(count, (w + 3) / 4); // the first block with 4k >= w
    const auto within = [&](int64_t limit, int64_t& lo, int64_t& hi) {
        const auto inside = [&](int64_t k) { return int64_t{dySquared} + dxSquared[k] < limit; };
        const int64_t room = limit - dySquared;
        const auto reach = static_cast<int64_t>(std::sqrt(static_cast<double>(std::max<int64_t>(room, 0))));
        lo = FirstWhereNear(0, middle, (w - reach) / 4, inside);
        hi = FirstWhereNear(middle, count, (w + reach) / 4 + 1, [&](int64_t k) { return !inside(k); });
    };
    int64_t a = 0, d = 0;
    within((int64_t{radius} + 1) * (int64_t{radius} + 1), a, d);
    int64_t b = middle, c = middle;
    if (radius >= 255)
        within((int64_t{radius} - 254) * (int64_t{radius} - 254), b, c);
    if (b >= c)
        b = c = std::clamp(middle, a, d);
    return BlockSplit{a, b, c, d};
}

PIXEL_SIMD_AVX2 ShownSpan BlendDissolveRowAvx2(const BlockRows& at, int64_t w, int64_t row, const int32_t* part,
                                               PartOrder order, RandomRun& run)
{
    const int32_t level = DissolveLevel(row);
    const __m256i levels = _mm256_set1_epi32(level);
    int32_t* drawn = RowDraws((w + 3) / 4);
    return BlendMaskedRowAvx2<4>(
        at, w, DissolveSplit((w + 3) / 4, level, part, order), run, drawn,
        [&](int64_t k) PIXEL_SIMD_AVX2 { return DissolveShown(EightDrawn(drawn + k), levels, part + k); },
        [&](int64_t k) { return (drawn[k] & 255) <= level + part[k]; });
}

WIPE_SIMD_AVX512 ShownSpan BlendDissolveRowAvx512(const BlockRows& at, int64_t w, int64_t row, const int32_t* part,
                                             PartOrder order, RandomRun& run)
{
    const int32_t level = DissolveLevel(row);
    const __m256i levels = _mm256_set1_epi32(level);
    const int64_t count = (w + 3) / 4;
    int32_t* drawn = RowDraws(count);
    const BlockSplit split = DissolveSplit(count, level, part, order);
    // Where a block shows at least every other time all along the row, every uncertain block goes
    // without a list. (Along parts that only reach it part of the way, the list of the sparse
    // stretch costs more in sixteen-pixel groups than a row of groups of eight.)
    const bool dense = order != PartOrder::Mixed && level + std::min(part[0], part[count - 1]) >= kDenseBlendFrom;
    const int64_t m1 = dense ? split.a : split.b, m2 = dense ? split.d : split.c;
    return BlendMaskedRowAvx512<4>(
        at, w, split, run, drawn,
        [&](int64_t k) PIXEL_SIMD_AVX2 { return DissolveShown(EightDrawn(drawn + k), levels, part + k); },
        [&](int64_t k) { return (drawn[k] & 255) <= level + part[k]; }, m1, m2);
}

// A dissolve row blended sixteen pixels a step from masks of its blocks' answers: sixteen blocks'
// draws are compared at once, whatever their part of the split (the certain blocks' answers do not
// depend on their draws, so the draws taken unread leave nothing to go wrong there), and each
// group of sixteen pixels (one line of a row that starts on one) where a block shows is listed
// with its lanes; only the listed groups are read, each stored under its lanes. Only while
// UseAvx512Bw() holds.
WIPE_SIMD_AVX512 ShownSpan BlendDissolveRowLanes(const BlockRows& at, int64_t w, int64_t row, const int32_t* part,
                                                 PartOrder order, RandomRun& run)
{
    const int32_t level = DissolveLevel(row);
    const int64_t count = (w + 3) / 4;
    int32_t* drawn = RowDraws(count + 8); // sixteen draws may be read from any block
    const BlockSplit split = DissolveSplit(count, level, part, order);
    run.Pass(split.a);
    TakeDrawsAvx512(run, drawn + split.a, split.b - split.a);
    run.Pass(split.c - split.b);
    TakeDrawsAvx512(run, drawn + split.c, split.d - split.c);
    run.Pass(count - split.d);
    ShownSpan span;
    if (split.a >= split.d)
        return span; // nothing shows
    std::vector<uint64_t>& groups = Scratch<uint64_t, ScratchUse::ShownGroups>();
    const auto room = static_cast<size_t>(w / 16 + 8);
    if (groups.size() < room)
        groups.resize(room);
    uint64_t* const list = groups.data();
    int64_t n = 0;
    const __m512i levels = _mm512_set1_epi32(level);
    const __m512i low = _mm512_set1_epi32(255);
    for (int64_t k = split.a & ~int64_t{15}; k < split.d; k += 16) {
        const __mmask16 valid = k + 16 <= count ? __mmask16{0xFFFF} : _cvtu32_mask16((1u << (count - k)) - 1);
        const __m512i draws = _mm512_and_si512(_mm512_maskz_loadu_epi32(valid, drawn + k), low);
        const __m512i limits = _mm512_add_epi32(_mm512_maskz_loadu_epi32(valid, part + k), levels);
        const unsigned bits = _cvtmask16_u32(_mm512_mask_cmple_epi32_mask(valid, draws, limits));
        for (int j = 0; j < 4; ++j) {
            const int64_t x = 4 * k + 16 * j;
            uint64_t lanes = kPixelLanes<4>.of[(bits >> (4 * j)) & 15];
            if (x + 16 > w)
                lanes &= x < w ? (uint64_t{1} << (w - x)) - 1 : 0;
            list[n] = static_cast<uint64_t>(x) << 16 | lanes;
            n += lanes != 0 ? 1 : 0;
        }
    }
    if (n == 0)
        return span;
    span.Add(static_cast<unsigned>(list[0] & 0xFFFF), static_cast<int64_t>(list[0] >> 16), 1);
    span.Add(static_cast<unsigned>(list[n - 1] & 0xFFFF), static_cast<int64_t>(list[n - 1] >> 16), 1);
    // A last group cut by the row's end goes through lane masks; every other one lies inside it.
    const bool cut = static_cast<int64_t>(list[n - 1] >> 16) + 16 > w;
    const int64_t whole = cut ? n - 1 : n;
    const BlendConstants16 c = LoopBlendConstants16();
    // The lines asked for ahead are the listed groups' own, up to kListAhead groups further along
    // (the next pixel row's past the list's end): a fixed distance in bytes would ask for lines
    // the list leaves out and miss some that it draws. Where nearly every group is listed, half as
    // far: that is as far along as the row kernels ask.
    const int64_t groupCount = (w + 15) / 16;
    const int64_t ahead = std::min(kListAhead / 2 + kListAhead / 2 * (groupCount - whole) / groupCount, whole);
    for (int r = 0; r < at.rows; ++r) {
        BYTE* const d = at.dst + static_cast<ptrdiff_t>(r) * at.dstPitch;
        const BYTE* const s = at.src + static_cast<ptrdiff_t>(r) * at.srcPitch;
        const auto ask = [&](int64_t j, ptrdiff_t dstShift, ptrdiff_t srcShift) {
            const ptrdiff_t x = static_cast<ptrdiff_t>(list[j] >> 16) * 4;
            _mm_prefetch(reinterpret_cast<const char*>(d + dstShift + x), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(s + srcShift + x), _MM_HINT_T0);
        };
        const auto blend = [&](int64_t j) WIPE_SIMD_AVX512 {
            const uint64_t e = list[j];
            BYTE* const p = d + static_cast<ptrdiff_t>(e >> 16) * 4;
            const BYTE* const q = s + static_cast<ptrdiff_t>(e >> 16) * 4;
            _mm512_mask_storeu_epi32(p, static_cast<__mmask16>(e),
                                     BlendAlpha16(c, _mm512_loadu_si512(q), _mm512_loadu_si512(p)));
        };
        int64_t i = 0;
        for (; i + ahead < whole; ++i) {
            ask(i + ahead, 0, 0);
            blend(i);
        }
        for (; i < whole; ++i) {
            ask(i + ahead - whole, at.dstPitch, at.srcPitch);
            blend(i);
        }
        if (cut) {
            const uint64_t e = list[n - 1];
            const auto lanes = static_cast<__mmask16>(e);
            BYTE* const p = d + static_cast<ptrdiff_t>(e >> 16) * 4;
            const BYTE* const q = s + static_cast<ptrdiff_t>(e >> 16) * 4;
            _mm512_mask_storeu_epi32(
                p, lanes, BlendAlpha16(c, _mm512_maskz_loadu_epi32(lanes, q), _mm512_maskz_loadu_epi32(lanes, p)));
        }
    }
    return span;
}

WIPE_SIMD_AVX512 ShownSpan BlendCircleRowAvx512(const BlockRows& at, int64_t w, int32_t dySquared, int32_t radius,
                                           const int32_t* dxSquared, RandomRun& run)
{
    const __m256i radii = _mm256_set1_epi32(radius);
    const __m256i rows = _mm256_set1_epi32(dySquared);
    int32_t* drawn = RowDraws((w + 1) / 2);
    const BlockSplit split = CircleSplit(w, dySquared, radius, dxSquared);
    // The uncertain blocks all listed: the stretches where they show every other time or more are
    // short, and their ends would leave more blocks to be drawn alone.
    return BlendMaskedRowAvx512<2>(
        at, w, split, run, drawn,
        [&](int64_t k) PIXEL_SIMD_AVX2 { return CircleShown(EightDrawn(drawn + k), radii, rows, dxSquared + k); },
        [&](int64_t k) { return WithinCircle(static_cast<uint32_t>(drawn[k]), radius, dySquared + dxSquared[k]); },
        split.b, split.c);
}

PIXEL_SIMD_AVX2 ShownSpan BlendCircleRowAvx2(const BlockRows& at, int64_t w, int32_t dySquared, int32_t radius,
                                             const int32_t* dxSquared, RandomRun& run)
{
    const __m256i radii = _mm256_set1_epi32(radius);
    const __m256i rows = _mm256_set1_epi32(dySquared);
    int32_t* drawn = RowDraws((w + 1) / 2);
    return BlendMaskedRowAvx2<2>(
        at, w, CircleSplit(w, dySquared, radius, dxSquared), run, drawn,
        [&](int64_t k) PIXEL_SIMD_AVX2 { return CircleShown(EightDrawn(drawn + k), radii, rows, dxSquared + k); },
        [&](int64_t k) { return WithinCircle(static_cast<uint32_t>(drawn[k]), radius, dySquared + dxSquared[k]); });
}

PIXEL_SIMD_AVX2 ShownSpan CopyDissolveRowAvx2(const BlockRows& at, int64_t w, int64_t row,
                                              const int32_t* part, RandomRun& run)
{
    const int32_t level = DissolveLevel(row);
    const __m256i levels = _mm256_set1_epi32(level);
    return CopyMaskedRowAvx2<4>(
        at, w, [&](int64_t k) PIXEL_SIMD_AVX2 { return DissolveShown(run, levels, part + k); },
        [&](int64_t k) { return static_cast<int32_t>(run.Draw() & 255) <= level + part[k]; });
}

WIPE_SIMD_AVX512 ShownSpan CopyDissolveRowAvx512(const BlockRows& at, int64_t w, int64_t row, const int32_t* part,
                                            PartOrder order, RandomRun& run)
{
    const int32_t level = DissolveLevel(row);
    const __m256i levels = _mm256_set1_epi32(level);
    return CopyMaskedRowAvx512<4>(
        at, w, DissolveSplit((w + 3) / 4, level, part, order), run,
        [&](int64_t k) PIXEL_SIMD_AVX2 { return DissolveShown(run, levels, part + k); },
        [&](int64_t k) { return static_cast<int32_t>(run.Draw() & 255) <= level + part[k]; });
}

PIXEL_SIMD_AVX2 ShownSpan CopyCircleRowAvx2(const BlockRows& at, int64_t w, int32_t dySquared, int32_t radius,
                                            const int32_t* dxSquared, RandomRun& run)
{
    const __m256i radii = _mm256_set1_epi32(radius);
    const __m256i rows = _mm256_set1_epi32(dySquared);
    return CopyMaskedRowAvx2<2>(
        at, w, [&](int64_t k) PIXEL_SIMD_AVX2 { return CircleShown(run, radii, rows, dxSquared + k); },
        [&](int64_t k) { return WithinCircle(run.Draw(), radius, dySquared + dxSquared[k]); });
}

WIPE_SIMD_AVX512 ShownSpan CopyCircleRowAvx512(const BlockRows& at, int64_t w, int32_t dySquared, int32_t radius,
                                          const int32_t* dxSquared, RandomRun& run)
{
    const __m256i radii = _mm256_set1_epi32(radius);
    const __m256i rows = _mm256_set1_epi32(dySquared);
    return CopyMaskedRowAvx512<2>(
        at, w, CircleSplit(w, dySquared, radius, dxSquared), run,
        [&](int64_t k) PIXEL_SIMD_AVX2 { return CircleShown(run, radii, rows, dxSquared + k); },
        [&](int64_t k) { return WithinCircle(run.Draw(), radius, dySquared + dxSquared[k]); });
}

} // namespace

bool DirectGrid(const CWipeCanvas& c, CWipeCanvas::Memory& out)
{
    const bool plain =
        c.Mode() == kTransitionBlendAlpha || (c.Mode() == kTransitionCopy && c.ColorKey() == 0xFFFFFFFFu);
    CWipeCanvas::Memory m{};
    if (!plain || !UseAvx2Loops() || !c.DirectMemory(m))
        return false;
    const int64_t w = c.Width(), h = c.Height(), x = c.X(), y = c.Y();
    const RECT& from = c.SourceClip();
    const RECT& to = c.Clip();
    const bool inside = w > 0 && h > 0 && from.left <= 0 && from.top <= 0 && from.right >= w &&
                        from.bottom >= h && to.left <= x && to.top <= y && to.right >= x + w &&
                        to.bottom >= y + h;
    if (!inside)
        return false;
    out = m;
    return true;
}

void MaskDraws::CopyDissolveRow(const BlockRows& at, int64_t w, int64_t row, const int32_t* part, PartOrder order,
                                int64_t& l, int64_t& r)
{
    const ShownSpan span = m_wide ? CopyDissolveRowAvx512(at, w, row, part, order, m_run)
                                  : CopyDissolveRowAvx2(at, w, row, part, m_run);
    l = span.l;
    r = span.r;
}

PartOrder OrderOfParts(const int32_t* part, int64_t count)
{
    if (std::is_sorted(part, part + count))
        return PartOrder::Rising;
    if (std::is_sorted(part, part + count, std::greater<>()))
        return PartOrder::Falling;
    return PartOrder::Mixed;
}

void MaskDraws::BlendDissolveRow(const BlockRows& at, int64_t w, int64_t row, const int32_t* part, PartOrder order,
                                 int64_t& l, int64_t& r)
{
    // Where a block shows at least every other time all along parts that rise or fall, hardly a
    // group of sixteen pixels is left out, and they go without a list. Elsewhere the groups where
    // something shows are listed: where the odds change along the row, sixteen pixels (a line)
    // each where the 512-bit twins run, whose walk asks for the listed lines themselves; where
    // they are the same all along, eight pixels each with the lines a fixed distance along asked
    // for, which measured faster there.
    const int64_t count = (w + 3) / 4;
    const int32_t level = DissolveLevel(row);
    const bool dense = order != PartOrder::Mixed && level + std::min(part[0], part[count - 1]) >= kDenseBlendFrom;
    const bool even = order != PartOrder::Mixed && part[0] == part[count - 1];
    const ShownSpan span = m_wide && dense   ? BlendDissolveRowAvx512(at, w, row, part, order, m_run)
                           : m_wide && !even ? BlendDissolveRowLanes(at, w, row, part, order, m_run)
                                             : BlendDissolveRowAvx2(at, w, row, part, order, m_run);
    l = span.l;
    r = span.r;
}

void MaskDraws::BlendCircleRow(const BlockRows& at, int64_t w, int32_t dySquared, int32_t radius,
                               const int32_t* dxSquared, int64_t& l, int64_t& r)
{
    const ShownSpan span = m_wide ? BlendCircleRowAvx512(at, w, dySquared, radius, dxSquared, m_run)
                                  : BlendCircleRowAvx2(at, w, dySquared, radius, dxSquared, m_run);
    l = span.l;
    r = span.r;
}

void MaskDraws::CopyCircleRow(const BlockRows& at, int64_t w, int32_t dySquared, int32_t radius,
                              const int32_t* dxSquared, int64_t& l, int64_t& r)
{
    const ShownSpan span = m_wide ? CopyCircleRowAvx512(at, w, dySquared, radius, dxSquared, m_run)
                                  : CopyCircleRowAvx2(at, w, dySquared, radius, dxSquared, m_run);
    l = span.l;
    r = span.r;
}

} // namespace wipe
