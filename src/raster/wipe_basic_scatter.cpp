// Entry 5's blocks a row of blocks at a time: the moves of a row's blocks are drawn first, as
// source offsets, and the row's two pixel rows are then written left to right, two blocks to a
// register.
#include "raster/wipe_basic_scatter.h"

#include "raster/pixel_simd_avx2.h"
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

    // The source offset of each block of the row at y0, as the block-by-block walk moves it (K a
    // constant of each instance, so the remainders need no division). The position and the bits
    // are kept in locals here: stores to `offsets` could otherwise be taken to change them.
    template <uint32_t K> void Row(int64_t w, int64_t h, int64_t y0, LONG srcPitch, ptrdiff_t* offsets)
    {
        const int64_t bh = std::min<int64_t>(2, h - y0);
        int position = m_position;
        uint64_t bits = m_moved;
        for (int64_t x0 = 0, k = 0; x0 < w; x0 += 4, ++k) {
            const int64_t bw = std::min<int64_t>(4, w - x0);
            int64_t dx = 0, dy = 0;
            if (position >= 0 && position <= 52) {
                // The block's draws all come from the table as it stands.
                const int32_t* table = g_RandomState.table + position;
                const uint64_t moved = (bits >> (position + 1)) & 1;
                const int64_t take = -static_cast<int64_t>(moved);
                dx = static_cast<int64_t>(static_cast<uint32_t>(table[2]) % K) & take;
                dy = static_cast<int64_t>(static_cast<uint32_t>(table[3]) % K) & take;
                position += 1 + 2 * static_cast<int>(moved);
            } else {
                // Draws that may reach a refill, one at a time; the table may then be new.
                m_position = position;
                if (m_progress < static_cast<int32_t>(Draw() & 255)) {
                    dx = Draw() % K;
                    dy = Draw() % K;
                }
                Mark();
                position = m_position;
                bits = m_moved;
            }
            if (x0 + dx + bw > w)
                dx = 0;
            if (y0 + dy + bh > h)
                dy = 0;
            offsets[k] = static_cast<ptrdiff_t>(y0 + dy) * srcPitch + static_cast<ptrdiff_t>(x0 + dx) * 4;
        }
        m_position = position;
    }

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

    // Bit i for word i (0 to 55) of the table: its low eight bits above the progress.
    PIXEL_SIMD_AVX2 void Mark()
    {
        const __m256i progress = _mm256_set1_epi32(m_progress);
        const __m256i low = _mm256_set1_epi32(255);
        uint64_t bits = 0;
        for (int i = 0; i < 56; i += 8) {
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

// One pixel row of a row of blocks: block k's four pixels from src + offsets[k]; a narrower last
// block of `tail` pixels.
template <bool Blend>
PIXEL_SIMD_AVX2 void BlockRow(BYTE* d, const BYTE* src, const ptrdiff_t* offsets, int64_t whole, int tail)
{
    using namespace pixel_simd_avx2;
    int64_t k = 0;
    for (; k + 2 <= whole; k += 2, d += 32) {
        const __m256i s =
            _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + offsets[k + 1])),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + offsets[k])));
        Store8(d, Blend ? BlendAlpha8(s, Load8(d)) : s);
    }
    if (k < whole) {
        (Blend ? BlendShort : CopyShort)(d, src + offsets[k], 4);
        d += 16;
        ++k;
    }
    if (tail > 0)
        (Blend ? BlendShort : CopyShort)(d, src + offsets[k], tail);
}

template <uint32_t K> void ScatterRows(CWipeCanvas& c, const CWipeCanvas::Memory& m, int32_t progress)
{
    const int64_t w = c.Width(), h = c.Height();
    const int64_t whole = w / 4;
    const int tail = static_cast<int>(w - whole * 4);
    static thread_local std::vector<ptrdiff_t> offsets;
    offsets.resize(static_cast<size_t>(whole + 1));
    const bool blend = c.Mode() == kTransitionBlendAlpha;
    MovedWalk walk(progress);
    BYTE* dstRow = m.dst + static_cast<ptrdiff_t>(c.Y()) * m.dstPitch + static_cast<ptrdiff_t>(c.X()) * 4;
    for (int64_t y0 = 0; y0 < h; y0 += 2) {
        walk.Row<K>(w, h, y0, m.srcPitch, offsets.data());
        const int64_t bh = std::min<int64_t>(2, h - y0);
        for (int64_t r = 0; r < bh; ++r, dstRow += m.dstPitch)
            (blend ? BlockRow<true> : BlockRow<false>)(dstRow, m.src + r * m.srcPitch, offsets.data(), whole,
                                                       tail);
    }
    c.MarkDrawn(c.X(), c.Y(), int64_t{c.X()} + w, int64_t{c.Y()} + h);
}

} // namespace

bool DrawScatteredBlockRows(CWipeCanvas& c, int32_t progress, uint32_t k)
{
    CWipeCanvas::Memory m{};
    const bool plain =
        c.Mode() == kTransitionBlendAlpha || (c.Mode() == kTransitionCopy && c.ColorKey() == 0xFFFFFFFFu);
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
