// The block-scatter wipes' walk in 32-bit lanes: the positions of eight blocks of a grid row are
// worked out at once, tested against the picture as a mask (blocks thrown wholly off it are most of
// the early steps), and the blocks that show are drawn in the walk's order, so overlaps come out as
// block by block. Only where every product and position of the walk fits 32 bits (ScatterFits);
// other pictures keep the 64-bit block walk.
#pragma once

#include "raster/pixel_simd.h"
#include "raster/pixel_simd_avx2.h"
#include "raster/wipe_blocks.h"
#include "raster/wipe_canvas.h"

#include <immintrin.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace wipe {

// The largest w + h of a picture the lane walk takes. A noise byte (<= 255) times a direction
// (|u| <= 256) times an amplitude (<= w + h) stays under 255 * 256 * 16384 < 2^31, and so does
// such a term (at most w + h) times a 16.16 cosine (|c| <= 65536).
constexpr int64_t kScatterMostSpan = 16384;
// The largest |x| and |y| of the placement: positions then stay far inside 32 bits.
constexpr int64_t kScatterMostPlace = int64_t{1} << 28;

// True when the lane walk serves this canvas: AVX2 loops on, blocks drawn as they come, and a
// picture and placement small enough for 32-bit lanes.
inline bool ScatterFits(const CWipeCanvas& c)
{
    return UseAvx2Loops() && c.WritesBlocks() && c.Width() >= 1 && c.Height() >= 1 &&
           int64_t{c.Width()} + c.Height() <= kScatterMostSpan && std::abs(int64_t{c.X()}) <= kScatterMostPlace &&
           std::abs(int64_t{c.Y()}) <= kScatterMostPlace;
}

// The noise bytes at base, base + n, base + 2n, ... (each index AND 255) as 32-bit lanes, eight at
// a time, for a stride n of 2 or 4: strip r holds the bytes at r, r + n, r + 2n, ... once round
// the table and sixteen more, so any eight (or sixteen) in a row are one load.
class NoiseStrides {
public:
    NoiseStrides(const uint8_t* noise, int n) : m_n(n), m_period(256 / n)
    {
        for (int r = 0; r < n; ++r)
            for (int q = 0; q < m_period + kPast; ++q)
                m_strips[r * (m_period + kPast) + q] = noise[(r + n * q) & 255];
    }

    // The bytes from base on, eight a step.
    class Run {
    public:
        Run() = default;
        PIXEL_SIMD_AVX2 __m256i Next()
        {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m_strip + m_at));
            m_at += 8;
            if (m_at >= m_period) // the period is a multiple of 8: the next load starts in the strip
                m_at -= m_period;
            return v;
        }
        // The next sixteen bytes, in place (the period is a multiple of 16).
        const int32_t* TakeSixteen()
        {
            const int32_t* const at = m_strip + m_at;
            m_at += 16;
            if (m_at >= m_period)
                m_at -= m_period;
            return at;
        }

    private:
        friend class NoiseStrides;
        Run(const int32_t* strip, int at, int period) : m_strip(strip), m_at(at), m_period(period) {}
        const int32_t* m_strip = nullptr;
        int m_at = 0;
        int m_period = 8;
    };

    Run From(int64_t base) const
    {
        const int b = static_cast<int>(base & 255);
        return Run(m_strips + (b % m_n) * (m_period + kPast), b / m_n, m_period);
    }

private:
    static constexpr int kPast = 16;
    int m_n;
    int m_period;
    int32_t m_strips[256 + 4 * kPast];
};

// Directions of eight blocks from a table of (ux, uy) 16-bit pairs: ux in the low half of each
// 32-bit lane, uy in the high half.
PIXEL_SIMD_AVX2 inline void LoadDirections(const int16_t* pairs, __m256i& ux, __m256i& uy)
{
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs));
    ux = _mm256_srai_epi32(_mm256_slli_epi32(v, 16), 16);
    uy = _mm256_srai_epi32(v, 16);
}

// (a * b) >> s of 32-bit lanes whose product fits 32 bits, rounded toward minus infinity.
PIXEL_SIMD_AVX2 inline __m256i MulShift(__m256i a, __m256i b, int s)
{
    return _mm256_srai_epi32(_mm256_mullo_epi32(a, b), s);
}

// The lanes of each 8-bit mask packed to the front: entry m holds, as bytes, the indices of the set
// bits of m in rising order.
struct PackOrder {
    constexpr PackOrder()
    {
        for (unsigned m = 0; m < 256; ++m) {
            uint64_t order = 0;
            int at = 0;
            for (int k = 0; k < 8; ++k)
                if ((m >> k) & 1)
                    order |= uint64_t(k) << (8 * at++);
            of[m] = order;
        }
    }
    uint64_t of[256] = {};
};
inline constexpr PackOrder kPackOrder{};

// The block draws both scatter writers share. Both rows of four pixels at p in one register.
PIXEL_SIMD_AVX2 inline __m256i ScatterPair(const BYTE* p, ptrdiff_t pitch)
{
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + pitch)), 1);
}

// Blocks 2 x 2 from s0 and s1 blended at d0 and d1 (places that do not overlap) in one register:
// the pixels of BlendShort.
__attribute__((always_inline)) PIXEL_SIMD_AVX2 inline void BlendSquaresAvx2(BYTE* d0, BYTE* d1, const BYTE* s0,
                                                                            const BYTE* s1, ptrdiff_t dstPitch,
                                                                            ptrdiff_t srcPitch)
{
    const auto two = [](const BYTE* a, const BYTE* b) {
        return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                                  _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)));
    };
    const __m256i src = _mm256_set_m128i(two(s0 + srcPitch, s1 + srcPitch), two(s0, s1));
    const __m256i was = _mm256_set_m128i(two(d0 + dstPitch, d1 + dstPitch), two(d0, d1));
    const __m256i out = pixel_simd_avx2::BlendAlpha8(src, was);
    const __m128i top = _mm256_castsi256_si128(out), bottom = _mm256_extracti128_si256(out, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d0), top);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d1), _mm_unpackhi_epi64(top, top));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d0 + dstPitch), bottom);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d1 + dstPitch), _mm_unpackhi_epi64(bottom, bottom));
}

// A block four pixels wide and rows high blended, two rows a register.
__attribute__((always_inline)) PIXEL_SIMD_AVX2 inline void BlendBlock4Avx2(BYTE* d, const BYTE* s, ptrdiff_t dstPitch,
                                                                           ptrdiff_t srcPitch, int rows)
{
    int row = 0;
    for (; row + 2 <= rows; row += 2, d += 2 * dstPitch, s += 2 * srcPitch) {
        const __m256i out = pixel_simd_avx2::BlendAlpha8(ScatterPair(s, srcPitch), ScatterPair(d, dstPitch));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm256_castsi256_si128(out));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + dstPitch), _mm256_extracti128_si256(out, 1));
    }
    if (row < rows)
        BlendShort(d, s, 4);
}

// What both scatter writers keep of the canvas: its memory, size and clips, and the blocks of a grid
// row (of blocks `width` wide) that lie whole within the source's columns, bLo <= b < bHi. Only
// where the lanes fit: blocks go straight to the pixels.
class ScatterFrame {
protected:
    ScatterFrame(CWipeCanvas& c, int width)
        : m_canvas(c), m_w(c.Width()), m_h(c.Height()), m_perRow(static_cast<int>((m_w + width - 1) / width))
    {
        CWipeCanvas::Memory memory{};
        c.DirectMemory(memory);
        m_dst = memory.dst;
        m_src = memory.src;
        m_dstPitch = memory.dstPitch;
        m_srcPitch = memory.srcPitch;
        const int64_t srcL = std::max<int64_t>(c.SourceClip().left, 0);
        const int64_t srcR = std::min<int64_t>(c.SourceClip().right, m_w);
        m_bLo = static_cast<int32_t>((srcL + width - 1) / width);
        m_bHi = std::max(static_cast<int32_t>(std::max<int64_t>(srcR, 0) / width), m_bLo);
        m_clipL = c.Clip().left;
        m_clipT = c.Clip().top;
        m_clipR = c.Clip().right;
        m_clipB = c.Clip().bottom;
    }

    CWipeCanvas& m_canvas;
    BYTE* m_dst = nullptr;
    const BYTE* m_src = nullptr;
    LONG m_dstPitch = 0;
    LONG m_srcPitch = 0;
    int64_t m_w, m_h;
    int m_perRow;
    int32_t m_bLo = 0, m_bHi = 0;
    int32_t m_clipL = 0, m_clipT = 0, m_clipR = 0, m_clipB = 0;
};

// Draws the blocks of an n x m grid (n = Width, m = Height) row by row from positions given eight at
// a time: block i of a row is source columns Width*i .. Width*i + Width - 1 (cut to the picture),
// rows j .. j + Height - 1. The blocks of a row that may show are packed into a list as their
// positions come (no branch on how many show), and drawn in order when the row ends: blocks wholly
// inside both clips here, the others cut by the canvas. The same pixels as BlockWriter given the
// same blocks in the same order.
template <int Width, int Height, bool Blend> class ScatterWriter : ScatterFrame {
public:
    explicit ScatterWriter(CWipeCanvas& c) : ScatterFrame(c, Width) // ScatterFits holds
    {
        // A row's list: block numbers (the sign bit set for blocks the canvas cuts), lefts, tops;
        // a whole group of eight is stored past the last entry.
        m_lists.resize(std::max<size_t>(m_lists.size(), 3 * (static_cast<size_t>(m_perRow) + 8)));
        m_blocks = m_lists.data();
        m_lefts = m_blocks + m_perRow + 8;
        m_tops = m_lefts + m_perRow + 8;
    }
    ScatterWriter(const ScatterWriter&) = delete;
    ScatterWriter& operator=(const ScatterWriter&) = delete;
    // The bounds of the blocks drawn here join the step's.
    ~ScatterWriter()
    {
        const int32_t left = LaneBounds::Lowest(m_bounds.left), right = LaneBounds::Highest(m_bounds.right);
        if (left < right)
            m_canvas.MarkDrawn(left, LaneBounds::Lowest(m_bounds.top), right,
                               LaneBounds::Highest(m_bounds.bottom));
    }

    // Blocks per grid row.
    int PerRow() const { return m_perRow; }

    // Starts grid row j.
    void BeginRow(int64_t j)
    {
        m_j = j;
        m_rowHeight = static_cast<int>(std::min<int64_t>(Height, m_h - j));
        const bool rowInSource = j >= m_canvas.SourceClip().top && j + m_rowHeight <= m_canvas.SourceClip().bottom;
        m_rowLo = rowInSource ? m_bLo : 0;
        m_rowHi = rowInSource ? m_bHi : 0;
        m_srcRow = m_src + static_cast<ptrdiff_t>(j) * m_srcPitch;
        m_count = 0;
    }

    // Blocks b0 .. b0 + 7 of the row (those past its end are left out) with their top-left corners
    // at (dx, dy): those that may show join the row's list.
    PIXEL_SIMD_AVX2 void Eight(int b0, __m256i dx, __m256i dy)
    {
        const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        const __m256i b = _mm256_add_epi32(_mm256_set1_epi32(b0), lane);
        const __m256i inRow = _mm256_cmpgt_epi32(_mm256_set1_epi32(m_perRow), b);
        // May show: placed over the clip at least in part.
        const __m256i misses = _mm256_or_si256(Outside(dx, m_clipL - Width + 1, m_clipR - 1),
                                               Outside(dy, m_clipT - m_rowHeight + 1, m_clipB - 1));
        const unsigned shows = static_cast<unsigned>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_andnot_si256(misses, inRow))));
        // Drawn here: whole, within the source, and placed wholly inside the clip; the sign bit
        // marks the others.
        const __m256i notInside =
            _mm256_or_si256(Outside(b, m_rowLo, m_rowHi - 1),
                            _mm256_or_si256(Outside(dx, m_clipL, m_clipR - Width),
                                            Outside(dy, m_clipT, m_clipB - m_rowHeight)));
        const __m256i cut = _mm256_and_si256(notInside, _mm256_set1_epi32(INT32_MIN));
        // The bounds of the blocks drawn here, lane by lane (early steps throw most groups off).
        const __m256i drawn = _mm256_andnot_si256(_mm256_or_si256(notInside, misses), inRow);
        if (!_mm256_testz_si256(drawn, drawn)) {
            LaneBounds::Widen(m_bounds.left, dx, drawn, true);
            LaneBounds::Widen(m_bounds.top, dy, drawn, true);
            LaneBounds::Widen(m_bounds.right, _mm256_add_epi32(dx, _mm256_set1_epi32(Width)), drawn, false);
            LaneBounds::Widen(m_bounds.bottom, _mm256_add_epi32(dy, _mm256_set1_epi32(m_rowHeight)), drawn,
                              false);
        }
        const __m256i order = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(kPackOrder.of[shows])));
        Pack(m_blocks, _mm256_or_si256(b, cut), order);
        Pack(m_lefts, dx, order);
        Pack(m_tops, dy, order);
        m_count += __builtin_popcount(shows);
    }

    // Draws the row's list in order.
    PIXEL_SIMD_AVX2 void EndRow()
    {
        if (m_rowHeight == Height)
            DrawList<Height>(Height);
        else
            DrawList<0>(m_rowHeight);
    }

private:
    static constexpr int kAhead = 16;

    // Rows (0: the given count) fixed for the whole-row case. Everything the loop reads is held in
    // locals: its stores through byte pointers would otherwise make every member be read again.
    template <int Rows> __attribute__((always_inline)) PIXEL_SIMD_AVX2 void DrawList(int rows)
    {
        BYTE* const dst = m_dst;
        const BYTE* const srcRow = m_srcRow;
        const ptrdiff_t dstPitch = m_dstPitch, srcPitch = m_srcPitch;
        const int32_t* const blocks = m_blocks;
        const int32_t* const lefts = m_lefts;
        const int32_t* const tops = m_tops;
        const int count = m_count;
        for (int e = 0; e < count;) {
            // Blocks the canvas cuts are few: the blocks between them take a loop without calls,
            // which keeps the blend's constants in registers.
            if (blocks[e] < 0) {
                Cut(blocks[e], lefts[e], tops[e]);
                ++e;
                continue;
            }
            for (; e < count && blocks[e] >= 0; ++e) {
                if constexpr (Blend) {
                    // A blend waits for its destination's read, and the blocks land far apart: the
                    // destination rows of the block kAhead entries on are asked for meanwhile (a copy's
                    // stores wait for nothing, and asking gains it nothing).
                    // As a plain number: a block the canvas cuts may lie off the picture, and asking
                    // for an address that is not there is harmless.
                    const int f = std::min(e + kAhead, count - 1);
                    const uintptr_t ahead =
                        reinterpret_cast<uintptr_t>(dst) +
                        static_cast<uintptr_t>(tops[f] * dstPitch + static_cast<ptrdiff_t>(lefts[f]) * 4);
                    for (int r = 0; r < Height; ++r)
                        _mm_prefetch(
                            reinterpret_cast<const char*>(ahead + static_cast<uintptr_t>(r * dstPitch)),
                            _MM_HINT_T0);
                }
                BYTE* const d = dst + tops[e] * dstPitch + static_cast<ptrdiff_t>(lefts[e]) * 4;
                const BYTE* const s = srcRow + static_cast<ptrdiff_t>(blocks[e]) * (Width * 4);
                if constexpr (Blend && Width == 2 && Rows == 2) {
                    // Two blocks 2 x 2 that do not overlap take one register of eight pixels.
                    const int n = e + 1;
                    if (n < count && blocks[n] >= 0 &&
                        (std::abs(lefts[n] - lefts[e]) >= 2 || std::abs(tops[n] - tops[e]) >= 2)) {
                        BlendSquaresAvx2(d, dst + tops[n] * dstPitch + static_cast<ptrdiff_t>(lefts[n]) * 4,
                                         s, srcRow + static_cast<ptrdiff_t>(blocks[n]) * 8, dstPitch,
                                         srcPitch);
                        ++e;
                        continue;
                    }
                }
                DrawBlock<Rows>(d, s, dstPitch, srcPitch, rows);
            }
        }
    }

    // Block b & INT32_MAX of the row, placed at (x, y), cut by the canvas.
    __attribute__((noinline)) void Cut(int32_t b, int32_t x, int32_t y)
    {
        const int64_t i = int64_t{b & INT32_MAX} * Width;
        m_canvas.PieceAt(i, m_j, std::min<int64_t>(i + Width, m_w), m_j + m_rowHeight, x, y);
    }

    // The lanes of v in the given order, stored after the list's entries.
    PIXEL_SIMD_AVX2 void Pack(int32_t* list, __m256i v, __m256i order)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(list + m_count), _mm256_permutevar8x32_epi32(v, order));
    }
    static std::vector<int32_t>& Lists()
    {
        return Scratch<int32_t, ScratchUse::ScatterLists>();
    }

    // Lanes of a below lo or above hi.
    PIXEL_SIMD_AVX2 static __m256i Outside(__m256i a, int32_t lo, int32_t hi)
    {
        return _mm256_or_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(lo), a),
                               _mm256_cmpgt_epi32(a, _mm256_set1_epi32(hi)));
    }
    template <int Rows>
    __attribute__((always_inline)) PIXEL_SIMD_AVX2 static void
    DrawBlock(BYTE* d, const BYTE* s, ptrdiff_t dstPitch, ptrdiff_t srcPitch, int rows)
    {
        if constexpr (Rows > 0)
            rows = Rows;
        if constexpr (Blend && Width == 4) {
            BlendBlock4Avx2(d, s, dstPitch, srcPitch, rows);
        } else {
            ShortRows<Width, Blend>(d, s, static_cast<LONG>(dstPitch), static_cast<LONG>(srcPitch), rows);
        }
    }

    int64_t m_j = 0;
    int m_rowHeight = 0;
    int32_t m_rowLo = 0, m_rowHi = 0;
    const BYTE* m_srcRow = nullptr;
    // The row's list (kept from step to step, so a step allocates nothing once it has grown).
    std::vector<int32_t>& m_lists = Lists();
    int32_t* m_blocks = nullptr;
    int32_t* m_lefts = nullptr;
    int32_t* m_tops = nullptr;
    int m_count = 0;
    // The bounds of the blocks drawn here.
    LaneBounds m_bounds;
};

// Walks the grid of Width x Height blocks row by row, drawing as ScatterWriter draws: place.Row(k,
// j) starts grid row k (its top at j), then place.Eight(b0, dx, dy) gives the top-left corners of its
// blocks b0 .. b0 + 7. Both are inlined into this AVX2 loop.
template <int Width, int Height, bool Blend, typename Place>
PIXEL_SIMD_AVX2 void ScatterWalkAs(CWipeCanvas& c, Place& place)
{
    ScatterWriter<Width, Height, Blend> out(c);
    const int perRow = out.PerRow();
    int64_t k = 0;
    for (int64_t j = 0; j < c.Height(); j += Height, ++k) {
        out.BeginRow(j);
        place.Row(k, j);
        for (int b0 = 0; b0 < perRow; b0 += 8) {
            __m256i dx, dy;
            place.Eight(b0, dx, dy);
            out.Eight(b0, dx, dy);
        }
        out.EndRow();
    }
}

// ScatterWalkAs for the canvas's mode; only where ScatterFits.
template <int Width, int Height, typename Place> PIXEL_SIMD_AVX2 void ScatterWalk(CWipeCanvas& c, Place& place)
{
    if (c.Mode() == kTransitionBlendAlpha)
        ScatterWalkAs<Width, Height, true>(c, place);
    else
        ScatterWalkAs<Width, Height, false>(c, place);
}

// The column of each of eight blocks b0 .. b0 + 7 of Width pixels, plus base.
template <int Width> PIXEL_SIMD_AVX2 inline __m256i BlockColumns(int b0, int32_t base)
{
    return _mm256_add_epi32(_mm256_set1_epi32(b0 * Width + base),
                            _mm256_setr_epi32(0, Width, 2 * Width, 3 * Width, 4 * Width, 5 * Width, 6 * Width,
                                              7 * Width));
}

// The block-scatter entries' walks in lanes, each only where ScatterFits holds and with an amplitude
// 0 <= a <= w + h. The direction tables hold the (ux, uy) pairs of the grid's blocks in walk order
// (|ux|, |uy| <= 256) and eight pairs more past the last block; cosines are 16.16 values of the
// cosine table.
// Blocks of 4 x 2 scattered by the noise bytes at i + j and i + j + 1, away to the lower right.
void ScatterNoiseLanes(CWipeCanvas& c, int64_t a);
// Blocks of n x 2 (n = 2 or 4) thrown along their directions by the noise bytes of their row.
void BurstLanes(CWipeCanvas& c, int n, int64_t a, const int16_t* directions);
// The burst of 4 x 2 blocks with its offsets scaled by the cosine ct and the sine st.
void BurstSwirlLanes(CWipeCanvas& c, int64_t a, int64_t ct, int64_t st, const int16_t* directions);
// Blocks of 4 x 4 turned about the centre by (c0, s0) and thrown along their directions.
void RotateBurstLanes(CWipeCanvas& c, int64_t a, int64_t c0, int64_t s0, const int16_t* directions);

} // namespace wipe
