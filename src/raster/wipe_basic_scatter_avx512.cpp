// Entry 5's blocks with 512-bit steps. The walk's draws are one stream: the words 1 to 55 of the
// shared generator's successive tables laid end to end, whatever they are used for. Which words
// start a block is a chain over one bit per word (a block left in place takes one word, a moved
// one three), which a table of the chain advances eight words at a time; the moves of a table's
// blocks are then gathered from its words sixteen at a time. The picture is drawn in bands of rows
// of blocks, a strip of columns at a time and four blocks to a register, while the next band's
// walk is taken a table at a time beside it.
#include "raster/wipe_avx512.h"

#include "platform/random.h"
#include "raster/wipe_basic_scatter.h"
#include "raster/wipe_blocks.h"
#include "raster/wipe_canvas.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>

// The 512-bit steps with the bit count every processor with them has.
#define SCATTER_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl,popcnt")))

namespace wipe::scatter_detail {
namespace {

constexpr int32_t kModulus = 1000000000;
// Every lane: the masked forms of the shifts start from zeros where GCC's plain forms start from
// a register it then reports as unset.
constexpr __mmask16 kAll = 0xFFFF;

// The chain over eight words: entry [first][moved] for the words' moved bits and the offset of the
// first block start among them (0 to 7) holds the start bits in its low byte and, above them, the
// offset past the eight words of the next start (0 to 2).
constexpr std::array<std::array<uint16_t, 256>, 8> MakeChain()
{
    std::array<std::array<uint16_t, 256>, 8> chain{};
    for (int first = 0; first < 8; ++first)
        for (int moved = 0; moved < 256; ++moved) {
            int starts = 0, s = first;
            for (; s < 8; s += 1 + 2 * ((moved >> s) & 1))
                starts |= 1 << s;
            chain[first][moved] = static_cast<uint16_t>(starts | (s - 8) << 8);
        }
    return chain;
}
alignas(64) constexpr std::array<std::array<uint16_t, 256>, 8> kChain = MakeChain();

// A table of the generator in four registers: word i in lane i % 16 of w[i / 16]. Words 1 to 55
// are the table's; word 0 and the lanes past 55 are never read as the table's.
struct Table {
    __m512i w[4];
};

WIPE_SIMD_AVX512 inline Table LoadTable(const SubtractiveRandomState& state)
{
    return {{_mm512_loadu_si512(state.table), _mm512_loadu_si512(state.table + 16),
             _mm512_loadu_si512(state.table + 32), _mm512_maskz_loadu_epi32(0x00FF, state.table + 48)}};
}

// Words 1 to 55 back to the state; word 0 is left as it was.
WIPE_SIMD_AVX512 inline void StoreTable(SubtractiveRandomState& state, const Table& t)
{
    _mm512_mask_storeu_epi32(state.table, 0xFFFE, t.w[0]);
    _mm512_storeu_si512(state.table + 16, t.w[1]);
    _mm512_storeu_si512(state.table + 32, t.w[2]);
    _mm512_mask_storeu_epi32(state.table + 48, 0x00FF, t.w[3]);
}

// a - b on wrapping 32-bit words, then + the modulus where negative: the refill's subtraction.
WIPE_SIMD_AVX512 inline __m512i SubtractWords(__m512i a, __m512i b)
{
    const __m512i d = _mm512_sub_epi32(a, b);
    return _mm512_add_epi32(
        d, _mm512_and_si512(_mm512_maskz_srai_epi32(kAll, d, 31), _mm512_set1_epi32(kModulus)));
}

// One refill in registers: words 1 to 24 less the old words 32 to 55, then words 25 to 55 less the
// new words 1 to 31.
WIPE_SIMD_AVX512 inline Table Refill(const Table& t)
{
    const __m512i a = SubtractWords(t.w[0], _mm512_maskz_alignr_epi32(kAll, t.w[2], t.w[1], 15));
    const __m512i early = SubtractWords(t.w[1], _mm512_maskz_alignr_epi32(kAll, t.w[3], t.w[2], 15));
    const __m512i b =
        _mm512_mask_mov_epi32(early, 0xFE00, SubtractWords(t.w[1], _mm512_maskz_alignr_epi32(kAll, a, a, 8)));
    const __m512i c = SubtractWords(t.w[2], _mm512_maskz_alignr_epi32(kAll, b, a, 8));
    const __m512i d = SubtractWords(t.w[3], _mm512_maskz_alignr_epi32(kAll, c, b, 8));
    return {{a, b, c, d}};
}

// The progress as MovedBits compares with it: the least low byte that moves a block (0 where
// every byte does), and the words it may find moved (none where no byte does).
struct MoveLimit {
    __m512i least;
    uint64_t words;
};

WIPE_SIMD_AVX512 inline MoveLimit LimitOf(int32_t progress)
{
    const int64_t least = std::clamp<int64_t>(int64_t{progress} + 1, 0, 255);
    return {_mm512_set1_epi8(static_cast<char>(least)), progress < 255 ? 0x00FFFFFFFFFFFFFEull : 0};
}

// Bit i for word i (1 to 55): the word's low eight bits above the progress, a block starting there
// moved. The words' low bytes in one register, one compare.
WIPE_SIMD_AVX512 inline uint64_t MovedBits(const Table& t, const MoveLimit& limit)
{
    __m512i bytes = _mm512_maskz_broadcast_i32x4(0x000F, _mm512_maskz_cvtepi32_epi8(kAll, t.w[0]));
    bytes = _mm512_mask_broadcast_i32x4(bytes, 0x00F0, _mm512_maskz_cvtepi32_epi8(kAll, t.w[1]));
    bytes = _mm512_mask_broadcast_i32x4(bytes, 0x0F00, _mm512_maskz_cvtepi32_epi8(kAll, t.w[2]));
    bytes = _mm512_mask_broadcast_i32x4(bytes, 0xF000, _mm512_maskz_cvtepi32_epi8(kAll, t.w[3]));
    return _mm512_cmpge_epu8_mask(bytes, limit.least) & limit.words;
}

// The words of a table that start blocks, from its first start `first` (1 to 55) on; `next` is
// then the first start of the table after it (1 to 3). One chain of lookups, eight words each: the
// walk's steps between lookups run beside it.
inline uint64_t Starts(uint64_t moved, int first, int& next)
{
    const auto* chain = &kChain[0][0];
    // The bits eight words at a time, and the start bits likewise: single bytes to load and store
    // cost fewer steps than shifts and masks.
    uint8_t eights[8], starts[8] = {};
    std::memcpy(eights, &moved, sizeof eights);
    size_t at = static_cast<size_t>(first & 7) << 8;
    const auto step = [&](int part) {
        const uint16_t e = chain[at + eights[part]];
        starts[part] = static_cast<uint8_t>(e);
        at = e & 0xFF00u;
    };
    if (first < 8) {
        for (int part = 0; part < 7; ++part)
            step(part);
    } else {
        for (int part = first >> 3; part < 7; ++part)
            step(part);
    }
    next = 1 + static_cast<int>(at >> 8);
    uint64_t bits = 0;
    std::memcpy(&bits, starts, sizeof bits);
    return bits;
}

// v mod K of sixteen unsigned lanes, K a constant of each instance (2, 4, 6 or 10). For 6 and 10
// every power of 256 is 4 or 6 modulo K, so v is congruent to its low byte plus 4 or 6 times its
// other three: a sum below 5000, whose quotient by K a 16-bit multiply gives exactly.
template <uint32_t K> WIPE_SIMD_AVX512 inline __m512i Remainder16(__m512i v)
{
    if constexpr ((K & (K - 1)) == 0) {
        return _mm512_and_si512(v, _mm512_set1_epi32(K - 1));
    } else {
        static_assert(K == 6 || K == 10);
        const __m512i weights = _mm512_set1_epi32(K == 10 ? 0x06060601 : 0x04040401);
        const __m512i sum = _mm512_madd_epi16(_mm512_maddubs_epi16(v, weights), _mm512_set1_epi16(1));
        // ceil(2^16 / K): exact for the sums' range.
        const __m512i q = _mm512_mulhi_epu16(sum, _mm512_set1_epi16(K == 10 ? 6554 : 10923));
        return _mm512_sub_epi16(sum, _mm512_mullo_epi16(q, _mm512_set1_epi16(K)));
    }
}

// The moves of the blocks starting at `starts` of table t, in order from `moves` on: the words
// one and two after each start, modulo K, as the move right (low byte) and down (high byte) where
// the start's word moves the block, 0 where not. The words after 55 are the first two of the next
// table `then`. Up to 16 entries past the last are overwritten. Returns how many.
template <uint32_t K>
SCATTER_AVX512 inline int64_t GatherMoves(const Table& t, const Table& then, uint64_t moved, uint64_t starts,
                                          uint16_t* moves)
{
    const __m512i last = _mm512_mask_alignr_epi32(t.w[3], 0xFF00, then.w[0], then.w[0], 9);
    const __m512i r[5] = {Remainder16<K>(t.w[0]), Remainder16<K>(t.w[1]), Remainder16<K>(t.w[2]),
                          Remainder16<K>(last), _mm512_setzero_si512()};
    int64_t n = 0;
    for (int part = 0; part < 4; ++part) {
        const auto at = static_cast<__mmask16>(starts >> (16 * part));
        // Lanes that start no block are dropped by the compress whatever they hold.
        const auto move = static_cast<__mmask16>(moved >> (16 * part));
        const __m512i one = _mm512_maskz_alignr_epi32(kAll, r[part + 1], r[part], 1);
        const __m512i two = _mm512_maskz_alignr_epi32(kAll, r[part + 1], r[part], 2);
        const __m512i both = _mm512_maskz_mov_epi32(move, _mm512_or_si512(one, _mm512_slli_epi32(two, 8)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(moves + n),
                            _mm512_cvtepi32_epi16(_mm512_maskz_compress_epi32(at, both)));
        n += __builtin_popcount(at);
    }
    return n;
}

// The walk's draws a table at a time, as the moves (GatherMoves) of blocks in grid order; a walk
// may be taken a table at a time between other work. The shared state is read when a walk begins
// and written back when it ends; nothing else may draw meanwhile.
template <uint32_t K> class MoveWalk {
public:
    SCATTER_AVX512 MoveWalk(SubtractiveRandomState& state, int32_t progress)
        : m_state(state), m_limit(LimitOf(progress))
    {
    }
    MoveWalk(const MoveWalk&) = delete;
    MoveWalk& operator=(const MoveWalk&) = delete;

    // A walk of `blocks` blocks, their moves from `moves` on (with room for 16 more).
    SCATTER_AVX512 void Begin(uint16_t* moves, int64_t blocks)
    {
        m_t = LoadTable(m_state);
        m_first = m_state.position + 1;
        if (m_state.position < 0 || m_state.position > 54) {
            // The next draw refills (a position out of range included).
            m_t = Refill(m_t);
            m_first = 1;
        }
        m_moves = moves;
        m_left = blocks;
        m_walking = blocks > 0;
    }

    bool Walking() const { return m_walking; }

    // The blocks starting in one table.
    SCATTER_AVX512 inline void Step()
    {
        const Table then = Refill(m_t);
        const uint64_t moved = MovedBits(m_t, m_limit);
        int next = 0;
        uint64_t starts = Starts(moved, m_first, next);
        const int64_t count = __builtin_popcountll(starts);
        if (count >= m_left) {
            // The walk ends in this table: its last block's last word is the last draw.
            int lastStart = 63 - __builtin_clzll(starts);
            for (int64_t extra = count - m_left; extra > 0; --extra) {
                starts &= ~(uint64_t{1} << lastStart);
                lastStart = 63 - __builtin_clzll(starts);
            }
            GatherMoves<K>(m_t, then, moved, starts, m_moves);
            const int end = lastStart + 2 * static_cast<int>((moved >> lastStart) & 1);
            StoreTable(m_state, end > 55 ? then : m_t);
            m_state.position = static_cast<int16_t>(end > 55 ? end - 55 : end);
            m_walking = false;
            return;
        }
        const int64_t n = GatherMoves<K>(m_t, then, moved, starts, m_moves);
        m_moves += n;
        m_left -= n;
        m_first = next;
        m_t = then;
    }

private:
    SubtractiveRandomState& m_state;
    const MoveLimit m_limit;
    Table m_t{};
    int m_first = 1;
    uint16_t* m_moves = nullptr;
    int64_t m_left = 0;
    bool m_walking = false;
};

// The source offset of each block of the row at y0 from its moves, sixteen blocks a step: a move
// that would carry the block past the right or bottom edge is dropped on that axis. The offsets
// are whole groups of sixteen; the moves are read up to 15 past the row.
WIPE_SIMD_AVX512 inline void Offsets(const uint16_t* moves, int64_t blocks, int64_t w, int64_t h, int64_t y0,
                                     LONG srcPitch, int32_t* offsets)
{
    const int32_t bh = static_cast<int32_t>(std::min<int64_t>(2, h - y0));
    // A move down stays when y0 + dy + bh <= h; a move right when x0 + dx + bw <= w.
    const __m512i roomDown = _mm512_set1_epi32(static_cast<int32_t>(h - y0 - bh));
    const __m512i pitch = _mm512_set1_epi32(srcPitch);
    const __m512i rowAt = _mm512_set1_epi32(static_cast<int32_t>(y0 * srcPitch));
    const __m512i width = _mm512_set1_epi32(static_cast<int32_t>(w));
    const __m512i four = _mm512_set1_epi32(4);
    __m512i x0 = _mm512_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60);
    for (int64_t k = 0; k < blocks; k += 16, x0 = _mm512_add_epi32(x0, _mm512_set1_epi32(64))) {
        const __m512i both =
            _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(moves + k)));
        __m512i dx = _mm512_and_si512(both, _mm512_set1_epi32(255));
        __m512i dy = _mm512_srli_epi32(both, 8);
        const __m512i bw = _mm512_min_epi32(four, _mm512_sub_epi32(width, x0));
        dx = _mm512_maskz_mov_epi32(
            _mm512_cmple_epi32_mask(_mm512_add_epi32(_mm512_add_epi32(x0, dx), bw), width), dx);
        dy = _mm512_maskz_mov_epi32(_mm512_cmple_epi32_mask(dy, roomDown), dy);
        const __m512i at = _mm512_add_epi32(_mm512_add_epi32(rowAt, _mm512_mullo_epi32(dy, pitch)),
                                            _mm512_slli_epi32(_mm512_add_epi32(x0, dx), 2));
        _mm512_storeu_si512(offsets + k, at);
    }
}

// Four blocks' pixel rows (sixteen bytes each, at the four addresses plus `row`) in one register.
WIPE_SIMD_AVX512 inline __m512i FourBlocks(const BYTE* const (&at)[4], ptrdiff_t row)
{
    const __m256i low = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(at[1] + row),
                                            reinterpret_cast<const __m128i*>(at[0] + row));
    const __m256i high = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(at[3] + row),
                                             reinterpret_cast<const __m128i*>(at[2] + row));
    return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

// The picture is drawn in bands of rows of blocks, each band a strip of columns at a time: the
// source rows a strip's blocks read (their own and up to K - 1 below) stay in the first-level cache
// from one row of blocks to the next, where whole rows would not.
constexpr int64_t kBand = 8;   // rows of blocks
constexpr int64_t kStrip = 64; // blocks, whole groups of four

// Blocks [k0, k1) of a row of blocks (whole groups of four), its one or two pixel rows: block k's
// four pixels from src + offsets[k]. The lines of the same columns in the source row at `ahead`
// and the destination row at `next`, and the rows after them, which the next band reaches, are
// asked for on the way into the second-level cache.
template <uint32_t K, bool Blend>
SCATTER_AVX512 inline void Groups(BYTE* d, LONG dstPitch, const BYTE* src, LONG srcPitch, bool two,
                                  const int32_t* offsets, int64_t k0, int64_t k1, const BYTE* ahead,
                                  const BYTE* next, const BlendConstants16& bc, MoveWalk<K>& walk)
{
    BYTE* const d1 = d + dstPitch;
    for (int64_t k = k0; k < k1; k += 4) {
        // Two tables of the next band's walk every eight groups: its chain of steps runs beside
        // the drawing instead of before it, and the table stays in registers from one to the next.
        if (k % 32 == 0)
            for (int table = 0; table < 2 && walk.Walking(); ++table)
                walk.Step();
        _mm_prefetch(reinterpret_cast<const char*>(ahead) + 16 * k, _MM_HINT_T1);
        _mm_prefetch(reinterpret_cast<const char*>(ahead) + srcPitch + 16 * k, _MM_HINT_T1);
        _mm_prefetch(reinterpret_cast<const char*>(next) + 16 * k, _MM_HINT_T1);
        _mm_prefetch(reinterpret_cast<const char*>(next) + dstPitch + 16 * k, _MM_HINT_T1);
        // The blocks' sources, read before any store (which could otherwise be taken to change them).
        const BYTE* const at[4] = {src + offsets[k], src + offsets[k + 1], src + offsets[k + 2],
                                   src + offsets[k + 3]};
        BYTE* const p = d + 16 * k;
        const __m512i s0 = FourBlocks(at, 0);
        _mm512_storeu_si512(p, Blend ? BlendAlpha16(bc, s0, _mm512_loadu_si512(p)) : s0);
        if (two) {
            BYTE* const q = d1 + 16 * k;
            const __m512i s1 = FourBlocks(at, srcPitch);
            _mm512_storeu_si512(q, Blend ? BlendAlpha16(bc, s1, _mm512_loadu_si512(q)) : s1);
        }
    }
}

// The blocks of a row of blocks from k on (fewer than four whole ones and a narrower last one of
// `tail` pixels), its `rows` pixel rows.
template <bool Blend>
void LastBlocks(BYTE* d, LONG dstPitch, const BYTE* src, LONG srcPitch, int64_t rows, const int32_t* offsets,
                int64_t k, int64_t whole, int tail)
{
    for (int64_t r = 0; r < rows; ++r) {
        BYTE* const row = d + r * dstPitch;
        const BYTE* const from = src + r * srcPitch;
        int64_t j = k;
        for (; j < whole; ++j)
            (Blend ? BlendShort : CopyShort)(row + 16 * j, from + offsets[j], 4);
        if (tail > 0)
            (Blend ? BlendShort : CopyShort)(row + 16 * j, from + offsets[j], tail);
    }
}

// An address only to ask for: it may lie past the picture.
inline const BYTE* Beyond(const BYTE* at, int64_t rows, LONG pitch)
{
    return reinterpret_cast<const BYTE*>(reinterpret_cast<uintptr_t>(at) + static_cast<uintptr_t>(rows * pitch));
}

template <uint32_t K, bool Blend>
SCATTER_AVX512 void Rows(CWipeCanvas& c, const CWipeCanvas::Memory& m, int32_t progress)
{
    const int64_t w = c.Width(), h = c.Height();
    const int64_t blocks = (w + 3) / 4;
    const int64_t whole = w / 4;
    const int tail = static_cast<int>(w - whole * 4);
    const int64_t grouped = whole & ~int64_t{3};
    // Whole groups of sixteen a row.
    const size_t lanes = static_cast<size_t>(blocks + 15) & ~size_t{15};
    std::vector<uint16_t>& moves = wipe::Scratch<uint16_t, wipe::ScratchUse::ScatterDraws>();
    std::vector<int32_t>& offsets = wipe::Scratch<int32_t, wipe::ScratchUse::ScatterOffsets>();
    // A band's moves, and the sixteen a gather may write (or a row's offsets read) past them.
    moves.resize(static_cast<size_t>(kBand * blocks) + 16);
    offsets.resize(kBand * lanes);
    // Held in registers only where they are used: the copy leaves them to the walk.
    const BlendConstants16 bc = Blend ? LoopBlendConstants16() : BlendConstants16{};
    MoveWalk<K> walk(g_RandomState, progress);
    const auto bandRows = [&](int64_t y0) { return std::max<int64_t>(0, std::min(kBand, (h - y0 + 1) / 2)); };
    walk.Begin(moves.data(), bandRows(0) * blocks);
    while (walk.Walking())
        walk.Step();
    BYTE* const dstAt = m.dst + static_cast<ptrdiff_t>(c.Y()) * m.dstPitch + static_cast<ptrdiff_t>(c.X()) * 4;
    for (int64_t y0 = 0; y0 < h; y0 += 2 * kBand) {
        const int64_t band = bandRows(y0);
        for (int64_t r = 0; r < band; ++r)
            Offsets(moves.data() + r * blocks, blocks, w, h, y0 + 2 * r, m.srcPitch, offsets.data() + r * lanes);
        // The moves are free again: the next band's walk goes beside this band's drawing.
        walk.Begin(moves.data(), bandRows(y0 + 2 * kBand) * blocks);
        BYTE* const d = dstAt + y0 * m.dstPitch;
        for (int64_t k0 = 0; k0 < grouped; k0 += kStrip) {
            const int64_t k1 = std::min(k0 + kStrip, grouped);
            for (int64_t r = 0; r < band; ++r)
                Groups<K, Blend>(d + 2 * r * m.dstPitch, m.dstPitch, m.src, m.srcPitch, y0 + 2 * r + 1 < h,
                                 offsets.data() + r * lanes, k0, k1,
                                 Beyond(m.src, y0 + 2 * kBand + K + 2 * r, m.srcPitch),
                                 Beyond(d, 2 * kBand + 2 * r, m.dstPitch), bc, walk);
        }
        while (walk.Walking())
            walk.Step();
        if (grouped < blocks)
            for (int64_t r = 0; r < band; ++r)
                LastBlocks<Blend>(d + 2 * r * m.dstPitch, m.dstPitch, m.src, m.srcPitch,
                                  std::min<int64_t>(2, h - y0 - 2 * r), offsets.data() + r * lanes, grouped,
                                  whole, tail);
    }
    c.MarkDrawn(c.X(), c.Y(), int64_t{c.X()} + w, int64_t{c.Y()} + h);
}

template <uint32_t K> void RowsOfMode(CWipeCanvas& c, const CWipeCanvas::Memory& m, int32_t progress)
{
    if (c.Mode() == kTransitionBlendAlpha)
        Rows<K, true>(c, m, progress);
    else
        Rows<K, false>(c, m, progress);
}

} // namespace

void WalkMovesAvx512(SubtractiveRandomState& state, int32_t progress, uint32_t k, uint16_t* moves,
                     int64_t blocks)
{
    const auto walkAll = [&](auto range) {
        MoveWalk<decltype(range)::value> walk(state, progress);
        walk.Begin(moves, blocks);
        while (walk.Walking())
            walk.Step();
    };
    switch (k) {
    case 10:
        walkAll(std::integral_constant<uint32_t, 10>{});
        break;
    case 6:
        walkAll(std::integral_constant<uint32_t, 6>{});
        break;
    case 4:
        walkAll(std::integral_constant<uint32_t, 4>{});
        break;
    default:
        walkAll(std::integral_constant<uint32_t, 2>{});
        break;
    }
}

void DrawRowsAvx512(CWipeCanvas& c, const CWipeCanvas::Memory& m, int32_t progress, uint32_t k)
{
    switch (k) {
    case 10:
        RowsOfMode<10>(c, m, progress);
        break;
    case 6:
        RowsOfMode<6>(c, m, progress);
        break;
    case 4:
        RowsOfMode<4>(c, m, progress);
        break;
    default:
        RowsOfMode<2>(c, m, progress);
        break;
    }
}

} // namespace wipe::scatter_detail
