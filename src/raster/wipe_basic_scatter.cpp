// Entry 5's blocks a row of blocks at a time: the walk takes a row's draws while the row before
// is drawn, the draws become source offsets eight blocks at a time, and the row's two pixel rows
// are written left to right, two blocks to a register.
#include "raster/wipe_basic_scatter.h"

#include "raster/pixel_simd_avx2.h"
#include "raster/wipe_basic_masks.h"
#include "raster/wipe_blocks.h"
#include "raster/wipe_common.h"

#include <vector>

namespace wipe {
namespace {

// The shared subtractive draws walked as RandomRun walks them, with a bit per word of the table
// as it stands: whether the word, as a block's first draw, moves the block. The next block's
// first draw then follows from a shift of the bits instead of a load and a compare, so the walk
// from block to block (one draw or three) stays short.
class MovedWalk {
public:
    explicit MovedWalk(int32_t progress) : m_position(g_RandomState.position), m_progress(progress)
    {
        Mark();
    }
    MovedWalk(const MovedWalk&) = delete;
    MovedWalk& operator=(const MovedWalk&) = delete;
    ~MovedWalk() { g_RandomState.position = static_cast<int16_t>(m_position); }

    // The draws of `blocks` blocks in walk order: a moved block's two draws for its move right
    // and down (taken modulo the move range later), 0 and 0 for one left in place. The position
    // and the bits stay in locals: stores of the draws could otherwise be taken to change them.
    void Draws(uint32_t* across, uint32_t* down, int64_t blocks)
    {
        int position = m_position;
        uint64_t bits = m_moved;
        for (int64_t k = 0; k < blocks; ++k)
            Step(position, bits, across[k], down[k]);
        m_position = position;
    }

    // One block of Draws, for loops that walk beside other work (Position, Bits and Leave keep
    // the walk's place).
    void Step(int& position, uint64_t& bits, uint32_t& across, uint32_t& down)
    {
        if (position >= 0 && position <= 52) {
            // The block's draws all come from the table as it stands.
            const int32_t* table = g_RandomState.table + position;
            const uint64_t moved = (bits >> (position + 1)) & 1;
            const uint32_t take = 0u - static_cast<uint32_t>(moved);
            across = static_cast<uint32_t>(table[2]) & take;
            down = static_cast<uint32_t>(table[3]) & take;
            position += 1 + 2 * static_cast<int>(moved);
            return;
        }
        // Draws that may reach a refill, one at a time; the table may then be new.
        m_position = position;
        across = down = 0;
        if (m_progress < static_cast<int32_t>(Draw() & 255)) {
            across = Draw();
            down = Draw();
        }
        Mark();
        position = m_position;
        bits = m_moved;
    }

    int Position() const { return m_position; }
    uint64_t Bits() const { return m_moved; }
    void Leave(int position) { m_position = position; }

private:
    uint32_t Draw()
    {
        ++m_position;
        if (m_position > 55 || m_position < 1) {
            RefillSubtractiveRandom(g_RandomState);
            m_position = 1;
        }
        return static_cast<uint32_t>(g_RandomState.table[m_position]);
    }

    // Bit i for word i (1 to 55) of the table: its low eight bits above the progress. The runs of
    // eight read are those a refill stores (word 48 in two), so each load finds its words in one
    // store still on its way to the cache.
    PIXEL_SIMD_AVX2 void Mark()
    {
        const __m256i progress = _mm256_set1_epi32(m_progress);
        const __m256i low = _mm256_set1_epi32(255);
        uint64_t bits = 0;
        for (const int i : {1, 9, 17, 25, 33, 41, 48}) {
            const __m256i words = _mm256_and_si256(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(g_RandomState.table + i)), low);
            const int above = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(words, progress)));
            bits |= static_cast<uint64_t>(static_cast<uint32_t>(above)) << i;
        }
        m_moved = bits;
    }

    int m_position;
    int32_t m_progress;
    uint64_t m_moved = 0;
};

// v mod K of eight unsigned lanes, K a constant of each instance (2, 4, 6 or 10): the quotient by
// a multiply and shift exact for every 32-bit value.
template <uint32_t K> PIXEL_SIMD_AVX2 inline __m256i Remainder8(__m256i v)
{
    if constexpr ((K & (K - 1)) == 0) {
        return _mm256_and_si256(v, _mm256_set1_epi32(K - 1));
    } else {
        static_assert(K == 6 || K == 10);
        constexpr uint32_t kMagic = K == 6 ? 0xAAAAAAABu : 0xCCCCCCCDu; // ceil(2^(32 + shift) / K)
        constexpr int kShift = 32 + (K == 6 ? 2 : 3);
        const __m256i magic = _mm256_set1_epi32(static_cast<int>(kMagic));
        const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(v, magic), kShift);
        const __m256i odd = _mm256_slli_epi64(
            _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(v, 32), magic), kShift), 32);
        const __m256i q = _mm256_blend_epi32(even, odd, 0xAA);
        return _mm256_sub_epi32(v, _mm256_mullo_epi32(q, _mm256_set1_epi32(K)));
    }
}

// The source offset of each block of the row at y0 from its draws, eight blocks a step: the move
// is each draw modulo K, and a move that would carry the block past the right or bottom edge is
// dropped on that axis. The arrays hold whole groups of eight.
template <uint32_t K>
PIXEL_SIMD_AVX2 void Offsets(const uint32_t* across, const uint32_t* down, int64_t blocks, int64_t w, int64_t h,
                             int64_t y0, LONG srcPitch, int32_t* offsets)
{
    const int32_t bh = static_cast<int32_t>(std::min<int64_t>(2, h - y0));
    // A move down stays when y0 + dy + bh <= h; a move right when x0 + dx + bw <= w.
    const __m256i roomDown = _mm256_set1_epi32(static_cast<int32_t>(h - y0 - bh));
    const __m256i pitch = _mm256_set1_epi32(srcPitch);
    const __m256i rowAt = _mm256_set1_epi32(static_cast<int32_t>(y0 * srcPitch));
    const __m256i width = _mm256_set1_epi32(static_cast<int32_t>(w));
    const __m256i four = _mm256_set1_epi32(4);
    __m256i x0 = _mm256_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28);
    for (int64_t k = 0; k < blocks; k += 8, x0 = _mm256_add_epi32(x0, _mm256_set1_epi32(32))) {
        __m256i dx = Remainder8<K>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(across + k)));
        __m256i dy = Remainder8<K>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(down + k)));
        const __m256i bw = _mm256_min_epi32(four, _mm256_sub_epi32(width, x0));
        dx = _mm256_andnot_si256(_mm256_cmpgt_epi32(_mm256_add_epi32(_mm256_add_epi32(x0, dx), bw), width), dx);
        dy = _mm256_andnot_si256(_mm256_cmpgt_epi32(dy, roomDown), dy);
        const __m256i at = _mm256_add_epi32(_mm256_add_epi32(rowAt, _mm256_mullo_epi32(dy, pitch)),
                                            _mm256_slli_epi32(_mm256_add_epi32(x0, dx), 2));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(offsets + k), at);
    }
}

// A row of blocks drawn (its one or two pixel rows: block k's four pixels from src + offsets[k],
// a narrower last block of `tail` pixels) while the walk takes the next row's draws (none where
// `walks` is false): the walk's chain of draws runs beside the drawing instead of before it. The
// two source rows at `ahead`, which the row of blocks after next reaches first, are asked for on
// the way: the moved blocks touch them first at random, where no walker of memory foresees them.
template <bool Blend>
PIXEL_SIMD_AVX2 void BlockRowAndWalk(MovedWalk& walk, bool walks, uint32_t* across, uint32_t* down, BYTE* d,
                                     LONG dstPitch, const BYTE* src, LONG srcPitch, int64_t rows,
                                     const int32_t* offsets, int64_t w, const BYTE* ahead)
{
    using namespace pixel_simd_avx2;
    const int64_t whole = w / 4;
    const int tail = static_cast<int>(w - whole * 4);
    const int64_t blocks = (w + 3) / 4;
    int position = walk.Position();
    uint64_t bits = walk.Bits();
    BYTE* const d1 = d + dstPitch;
    int64_t k = 0;
    for (; k + 2 <= whole; k += 2) {
        if (walks) {
            walk.Step(position, bits, across[k], down[k]);
            walk.Step(position, bits, across[k + 1], down[k + 1]);
        }
        if (k % 4 == 0) {
            _mm_prefetch(reinterpret_cast<const char*>(ahead) + 16 * k, _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(ahead) + srcPitch + 16 * k, _MM_HINT_T0);
            // The destination lines of the next row of blocks, asked for to be written.
            _mm_prefetch(reinterpret_cast<const char*>(d1 + dstPitch) + 16 * k, _MM_HINT_ET0);
            _mm_prefetch(reinterpret_cast<const char*>(d1 + 2 * dstPitch) + 16 * k, _MM_HINT_ET0);
        }
        const BYTE* const a = src + offsets[k];
        const BYTE* const b = src + offsets[k + 1];
        BYTE* const p = d + 16 * k;
        const __m256i s0 = _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b)),
                                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(a)));
        Store8(p, Blend ? BlendAlpha8(s0, Load8(p)) : s0);
        if (rows > 1) {
            const __m256i s1 = _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + srcPitch)),
                                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + srcPitch)));
            BYTE* const q = d1 + 16 * k;
            Store8(q, Blend ? BlendAlpha8(s1, Load8(q)) : s1);
        }
    }
    if (walks)
        for (int64_t j = k; j < blocks; ++j)
            walk.Step(position, bits, across[j], down[j]);
    walk.Leave(position);
    for (int64_t r = 0; r < rows; ++r) {
        BYTE* const row = r == 0 ? d : d1;
        const BYTE* const from = src + r * srcPitch;
        int64_t j = k;
        if (j < whole) {
            (Blend ? BlendShort : CopyShort)(row + 16 * j, from + offsets[j], 4);
            ++j;
        }
        if (tail > 0)
            (Blend ? BlendShort : CopyShort)(row + 16 * j, from + offsets[j], tail);
    }
}

template <uint32_t K> void ScatterRows(CWipeCanvas& c, const CWipeCanvas::Memory& m, int32_t progress)
{
    const int64_t w = c.Width(), h = c.Height();
    const int64_t blocks = (w + 3) / 4;
    const size_t lanes = static_cast<size_t>(blocks + 7) & ~size_t{7};
    std::vector<uint32_t>& draws = wipe::Scratch<uint32_t, wipe::ScratchUse::ScatterDraws>();
    std::vector<int32_t>& offsets = wipe::Scratch<int32_t, wipe::ScratchUse::ScatterOffsets>();
    draws.assign(2 * lanes, 0);
    offsets.resize(lanes);
    uint32_t* const across = draws.data();
    uint32_t* const down = draws.data() + lanes;
    const bool blend = c.Mode() == kTransitionBlendAlpha;
    MovedWalk walk(progress);
    walk.Draws(across, down, blocks);
    BYTE* dstRow = m.dst + static_cast<ptrdiff_t>(c.Y()) * m.dstPitch + static_cast<ptrdiff_t>(c.X()) * 4;
    for (int64_t y0 = 0; y0 < h; y0 += 2, dstRow += 2 * static_cast<ptrdiff_t>(m.dstPitch)) {
        Offsets<K>(across, down, blocks, w, h, y0, m.srcPitch, offsets.data());
        // Only an address to ask for: it may lie past the source's last row.
        const BYTE* const ahead = reinterpret_cast<const BYTE*>(
            reinterpret_cast<uintptr_t>(m.src) + static_cast<uintptr_t>((y0 + K + 3) * m.srcPitch));
        (blend ? BlockRowAndWalk<true> : BlockRowAndWalk<false>)(walk, y0 + 2 < h, across, down, dstRow,
                                                                 m.dstPitch, m.src, m.srcPitch,
                                                                 std::min<int64_t>(2, h - y0), offsets.data(), w,
                                                                 ahead);
    }
    c.MarkDrawn(c.X(), c.Y(), int64_t{c.X()} + w, int64_t{c.Y()} + h);
}

} // namespace

bool DrawScatteredBlockRows(CWipeCanvas& c, int32_t progress, uint32_t k)
{
    CWipeCanvas::Memory m{};
    if (!DirectGrid(c, m))
        return false;
    // Offsets of 32 bits, with room for a move past the last row.
    const int64_t extent = int64_t{m.srcPitch} * (c.Height() + 10) + (int64_t{c.Width()} + 10) * 4;
    if (m.srcPitch < 0 || extent > INT32_MAX)
        return false;
    if (UseAvx512Loops() && (k == 10 || k == 6 || k == 4 || k == 2)) {
        scatter_detail::DrawRowsAvx512(c, m, progress, k);
        return true;
    }
    switch (k) {
    case 10:
        ScatterRows<10>(c, m, progress);
        return true;
    case 6:
        ScatterRows<6>(c, m, progress);
        return true;
    case 4:
        ScatterRows<4>(c, m, progress);
        return true;
    case 2:
        ScatterRows<2>(c, m, progress);
        return true;
    default:
        return false;
    }
}

} // namespace wipe
