// The turning block wipes a grid row at a time (see wipe_turns.h). A block at a time, working out
// where it goes, testing it against both clips and drawing it cost about a hundred instructions
// and a mispredicted branch in three; here a row's positions come out of a few adds (rotated and
// zoomed grids: each product is shifted on its own, so a position is a column term plus a row
// term), the clip tests of eight blocks make one mask, and only the drawing is left per block.
#include "raster/wipe_avx512.h" // first: the 512-bit header

#include "raster/wipe_turns.h"

#include "platform/cpu_info.h"
#include "raster/pixel_simd_avx2.h"
#include "raster/wipe_blocks.h"
#include "raster/wipe_common.h"
#include "raster/wipe_drop_avx512.h"
#include "raster/wipe_turns_avx512.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace wipe {
namespace {

// Pictures up to this side, placed at most this far from the origin, keep every position of the
// walk (the offset, half the picture and a turned or thrown corner of at most twice the larger
// side) well inside 32 bits.
constexpr int64_t kMostSide = 16384;
constexpr int64_t kMostOffset = int64_t{1} << 29;
// Pictures up to this size stay in the caches from one step to the next: asking ahead for the
// lines of scattered blocks or stepped source rows pays only beyond it.
constexpr int64_t kCachedBytes = int64_t{4} << 20;
// The largest cosine in 16.16.
constexpr int64_t kOne = 65536;

// True when the grid walks serve the canvas (see wipe_turns.h), with its pixel memory in mem.
bool Serves(const CWipeCanvas& c, CWipeCanvas::Memory& mem)
{
    return g_bUseMmx && c.WritesBlocks() && c.DirectMemory(mem) && c.Width() >= 1 && c.Height() >= 1 &&
           c.Width() <= kMostSide && c.Height() <= kMostSide && std::llabs(c.X()) <= kMostOffset &&
           std::llabs(c.Y()) <= kMostOffset;
}

// One grid row's block positions, padded to whole groups of eight.
std::vector<int32_t>& RowXs()
{
    return Scratch<int32_t, ScratchUse::GridXs>();
}
std::vector<int32_t>& RowYs()
{
    return Scratch<int32_t, ScratchUse::GridYs>();
}
// Terms of the columns worked out once a step.
std::vector<int32_t>& ColumnTerms()
{
    return Scratch<int32_t, ScratchUse::GridColumnTerms>();
}

// The grid walk of one step: blocks n wide and m high, block b of a grid row at column b·n.
class GridWalk {
public:
    // False when the walk does not serve (see wipe_turns.h).
    bool Start(CWipeCanvas& c, int64_t n, int64_t m)
    {
        m_canvas = &c;
        m_w = c.Width();
        m_h = c.Height();
        if (!Serves(c, m_mem))
            return false;
        m_n = n;
        m_m = m;
        m_cols = (m_w + n - 1) / n;
        const size_t padded = static_cast<size_t>((m_cols + 7) / 8 * 8);
        RowXs().assign(padded, 0);
        RowYs().assign(padded, 0);
        const RECT& clip = c.Clip();
        const RECT& source = c.SourceClip();
        m_dL = clip.left;
        m_dT = clip.top;
        m_dR = clip.right;
        m_dB = clip.bottom;
        m_sT = source.top;
        m_sB = source.bottom;
        // Blocks of the full width whose columns the source gives: b·n >= left, b·n + n <= right.
        const int64_t right = std::min<int64_t>(m_w, source.right);
        const int64_t left = std::max<int64_t>(0, source.left);
        m_first = (left + n - 1) / n;
        m_end = right >= n ? (right - n) / n + 1 : 0;
        m_end = std::min(m_end, m_cols);
        return true;
    }

    // Asks ahead for the destination lines of the blocks to come (blocks thrown far apart).
    void AskAhead() { m_ahead = true; }

    // Asks, while a grid row is drawn, for the destination lines of the rows `rows` below its top
    // (the rows the next grid row reaches first): blocks moved by small offsets touch the rows of
    // a band in no order a walker of memory follows, yet the band itself moves down row by row.
    void AskBandAhead(int64_t rows) { m_bandAhead = rows; }

    // Copies groups of eight blocks 4 x 4 wholly inside from four source rows of four blocks each
    // (one 512-bit load a row, where the 512-bit loops serve) instead of a load per block row:
    // with the pictures in the caches the block rows' loads, not the stores, set the pace.
    void AskWideCopies() { m_wideCopies = true; }

    int32_t* Xs() const { return RowXs().data(); }
    int32_t* Ys() const { return RowYs().data(); }
    int64_t Columns() const { return m_cols; }

    // Fills each grid row's positions with fill(j, row index, xs, ys) and draws its blocks.
    template <typename Fill> void Run(Fill fill)
    {
        const bool blend = m_canvas->Mode() == kTransitionBlendAlpha;
        const bool avx2 = UseAvx2Loops();
        if (m_wideCopies && !blend && m_n == 4 && m_m == 4 && UseAvx512Loops())
            return RowsOf<4, 4, false, true, true>(fill);
        switch (m_n) {
        case 2:
            return Dispatch<2>(blend, avx2, fill);
        case 4:
            return Dispatch<4>(blend, avx2, fill);
        default:
            return Dispatch<8>(blend, avx2, fill);
        }
    }

    // Cells n x n (n = Width) that show their top ks[b] rows at the bottom of their own place
    // (none for ks[b] <= 0, at most n): fill(j, ks) gives each grid row's heights. Cells never
    // overlap; those wholly inside are picked by a mask and drawn without a test per cell.
    template <int Width, typename Fill> void Drop(Fill fill)
    {
        const bool blend = m_canvas->Mode() == kTransitionBlendAlpha;
        if (UseAvx2Loops())
            blend ? DropAvx2<Width, true>(fill) : DropAvx2<Width, false>(fill);
        else
            blend ? DropOf<Width, true, false>(fill) : DropOf<Width, false, false>(fill);
    }

    ~GridWalk()
    {
        if (m_left < m_right)
            m_canvas->MarkDrawn(m_left, m_top, m_right, m_bottom);
    }

private:
    template <int Width, typename Fill> void Dispatch(bool blend, bool avx2, Fill& fill)
    {
        if (blend)
            avx2 ? Rows<Width, true, true>(fill) : Rows<Width, true, false>(fill);
        else
            avx2 ? Rows<Width, false, true>(fill) : Rows<Width, false, false>(fill);
    }

    template <int Width, bool Blend, bool Avx2, typename Fill> void Rows(Fill& fill)
    {
        if (m_m == Width)
            return RowsOf<Width, Width, Blend, Avx2>(fill);
        if (m_m == 2)
            return RowsOf<Width, 2, Blend, Avx2>(fill);
        RowsOf<Width, 0, Blend, Avx2>(fill);
    }

    // Grid rows of Height rows take a loop made for them; the last one, cut short, the general one.
    template <int Width, int Height, bool Blend, bool Avx2, bool Wide = false, typename Fill>
    void RowsOf(Fill& fill)
    {
        int64_t k = 0;
        for (int64_t j = 0; j < m_h; j += m_m, ++k) {
            fill(j, k, Xs(), Ys());
            const bool whole = Height > 0 && j + Height <= m_h;
            if constexpr (Wide)
                whole ? RowWide(j) : RowAvx2<Width, 0, Blend>(j);
            else if constexpr (Avx2)
                whole ? RowAvx2<Width, Height, Blend>(j) : RowAvx2<Width, 0, Blend>(j);
            else
                whole ? RowPlain<Width, Height, Blend>(j) : RowPlain<Width, 0, Blend>(j);
        }
    }

    // The limits of a row of blocks sh high, as bounds for greater-than tests.
    struct Limits {
        int32_t fastX0, fastX1, fastY0, fastY1; // wholly inside the clip: x0 < x < x1, y0 < y < y1
        int32_t showX0, showX1, showY0, showY1; // may show a pixel
        int32_t first, end;                     // blocks the source gives whole: first - 1 < b < end
    };

    template <int Width> Limits LimitsOf(int64_t j, int64_t sh) const
    {
        const bool rowInside = j >= m_sT && j + sh <= m_sB;
        return Limits{static_cast<int32_t>(m_dL - 1),
                      static_cast<int32_t>(m_dR - Width + 1),
                      static_cast<int32_t>(m_dT - 1),
                      static_cast<int32_t>(m_dB - sh + 1),
                      static_cast<int32_t>(m_dL - Width),
                      static_cast<int32_t>(m_dR),
                      static_cast<int32_t>(m_dT - sh),
                      static_cast<int32_t>(m_dB),
                      static_cast<int32_t>(rowInside ? m_first - 1 : 0),
                      static_cast<int32_t>(rowInside ? m_end : 0)};
    }

    // Which of the eight blocks from b on show (low bits) and which of them are wholly inside.
    struct Group {
        unsigned show, fast;
    };

    static Group GroupOf(const Limits& l, const int32_t* xs, const int32_t* ys, int32_t b,
                         LaneBounds& corners)
    {
        Group g{0, 0};
        for (int32_t lane = 0; lane < 8; ++lane) {
            const int32_t x = xs[lane], y = ys[lane], at = b + lane;
            const bool show = x > l.showX0 && x < l.showX1 && y > l.showY0 && y < l.showY1;
            const bool fast =
                x > l.fastX0 && x < l.fastX1 && y > l.fastY0 && y < l.fastY1 && at > l.first && at < l.end;
            g.show |= static_cast<unsigned>(show) << lane;
            g.fast |= static_cast<unsigned>(fast) << lane;
            if (fast) {
                corners.left[lane] = std::min(corners.left[lane], x);
                corners.top[lane] = std::min(corners.top[lane], y);
                corners.right[lane] = std::max(corners.right[lane], x);
                corners.bottom[lane] = std::max(corners.bottom[lane], y);
            }
        }
        return g;
    }

    // Lanes with lo < v < hi.
    PIXEL_SIMD_AVX2 static __m256i Between(__m256i v, int32_t lo, int32_t hi)
    {
        return _mm256_and_si256(_mm256_cmpgt_epi32(v, _mm256_set1_epi32(lo)),
                                _mm256_cmpgt_epi32(_mm256_set1_epi32(hi), v));
    }

    PIXEL_SIMD_AVX2 static Group GroupOfAvx2(const Limits& l, const int32_t* xs, const int32_t* ys, int32_t b,
                                             LaneBounds& corners)
    {
        using pixel_simd_avx2::Load8;
        const __m256i x = Load8(reinterpret_cast<const uint8_t*>(xs));
        const __m256i y = Load8(reinterpret_cast<const uint8_t*>(ys));
        const __m256i at = _mm256_add_epi32(_mm256_set1_epi32(b), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        const __m256i show = _mm256_and_si256(Between(x, l.showX0, l.showX1), Between(y, l.showY0, l.showY1));
        const __m256i fast =
            _mm256_and_si256(_mm256_and_si256(Between(x, l.fastX0, l.fastX1), Between(y, l.fastY0, l.fastY1)),
                             Between(at, l.first, l.end));
        LaneBounds::Widen(corners.left, x, fast, true);
        LaneBounds::Widen(corners.top, y, fast, true);
        LaneBounds::Widen(corners.right, x, fast, false);
        LaneBounds::Widen(corners.bottom, y, fast, false);
        return Group{static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(show))),
                     static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(fast)))};
    }

    // Four pixels of a row and four of the next in one register.
    PIXEL_SIMD_AVX2 static __m256i RowPair(const BYTE* p, LONG pitch)
    {
        return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + pitch),
                                   reinterpret_cast<const __m128i*>(p));
    }

    // Rows of a block four pixels wide blended two at a time, one row in each half of a register;
    // an odd last row by itself. The pixels of BlendShort.
    PIXEL_SIMD_AVX2 static void BlendRowPairsAvx2(BYTE* d, const BYTE* s, LONG dstPitch, LONG srcPitch,
                                                  int rows)
    {
        using namespace pixel_simd_avx2;
        int row = 0;
        for (; row + 2 <= rows; row += 2, d += 2 * dstPitch, s += 2 * srcPitch)
            _mm256_storeu2_m128i(reinterpret_cast<__m128i*>(d + dstPitch), reinterpret_cast<__m128i*>(d),
                                 BlendAlpha8(RowPair(s, srcPitch), RowPair(d, dstPitch)));
        if (row < rows)
            BlendShort(d, s, 4);
    }

    // Two blocks 2 x 2 that do not overlap blended in one register: the source's four pixels of
    // each row (the blocks are neighbours there) against the two places of each. The pixels of
    // BlendShort.
    PIXEL_SIMD_AVX2 static void BlendSquarePairAvx2(BYTE* d0, BYTE* d1, const BYTE* s, LONG dstPitch,
                                                    LONG srcPitch)
    {
        const auto low = [](const BYTE* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); };
        const __m256i src = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(s + srcPitch),
                                                reinterpret_cast<const __m128i*>(s));
        const __m256i dst = _mm256_set_m128i(_mm_unpacklo_epi64(low(d0 + dstPitch), low(d1 + dstPitch)),
                                             _mm_unpacklo_epi64(low(d0), low(d1)));
        const __m256i out = pixel_simd_avx2::BlendAlpha8(src, dst);
        const __m128i top = _mm256_castsi256_si128(out), bottom = _mm256_extracti128_si256(out, 1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d0), top);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d1), _mm_unpackhi_epi64(top, top));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d0 + dstPitch), bottom);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d1 + dstPitch), _mm_unpackhi_epi64(bottom, bottom));
    }

    // 1 when the eight blocks from xs, ys stand side by side on one row in walk order, -1 when
    // side by side in reverse order, else 0.
    template <int Width> PIXEL_SIMD_AVX2 static int RunOf(const int32_t* xs, const int32_t* ys)
    {
        using pixel_simd_avx2::All;
        using pixel_simd_avx2::Load8;
        // Most groups fail at their ends: two compares, before any vector work.
        if (ys[7] != ys[0] || std::abs(xs[7] - xs[0]) != 7 * Width)
            return 0;
        const __m256i x = Load8(reinterpret_cast<const uint8_t*>(xs));
        const __m256i y = Load8(reinterpret_cast<const uint8_t*>(ys));
        if (!All(_mm256_cmpeq_epi32(y, _mm256_set1_epi32(ys[0]))))
            return 0;
        const __m256i steps =
            _mm256_setr_epi32(0, Width, 2 * Width, 3 * Width, 4 * Width, 5 * Width, 6 * Width, 7 * Width);
        const __m256i x0 = _mm256_set1_epi32(xs[0]);
        if (All(_mm256_cmpeq_epi32(x, _mm256_add_epi32(x0, steps))))
            return 1;
        return All(_mm256_cmpeq_epi32(x, _mm256_sub_epi32(x0, steps))) ? -1 : 0;
    }

    // Eight blocks of Width pixels side by side blended as one run of rows: d is the run's left
    // end, s the source of the first block. Reversed, the blocks stand in the opposite order, so
    // each register of source pixels is turned block by block. The pixels of BlendShort.
    template <int Width>
    PIXEL_SIMD_AVX2 static void BlendRunAvx2(BYTE* d, const BYTE* s, LONG dstPitch, LONG srcPitch, int rows,
                                             bool reversed)
    {
        using namespace pixel_simd_avx2;
        constexpr int kChunks = Width; // registers of eight pixels in a run of 8 Width
        // Blocks of two pixels are 64-bit quarters of a register, blocks of four its halves.
        constexpr int kTurn = Width == 2 ? 0x1B : 0x4E;
        for (int row = 0; row < rows; ++row, d += dstPitch, s += srcPitch) {
            for (int c = 0; c < kChunks; ++c) {
                const __m256i from = reversed
                                         ? _mm256_permute4x64_epi64(Load8(s + (kChunks - 1 - c) * 32), kTurn)
                                         : Load8(s + c * 32);
                Store8(d + c * 32, BlendAlpha8(from, Load8(d + c * 32)));
            }
        }
    }

    // Block rows of a fixed count (0: sh rows), copied or blended.
    template <int Width, int Height, bool Blend, bool Avx2>
    __attribute__((always_inline)) static void Block(BYTE* d, const BYTE* s, LONG dstPitch, LONG srcPitch,
                                                     int sh)
    {
        const int rows = Height > 0 ? Height : sh;
        if constexpr (Blend && Avx2 && Width >= 8)
            BlendBlockAvx2(d, s, dstPitch, srcPitch, Width, rows);
        else if constexpr (Blend && Avx2 && Width == 4)
            BlendRowPairsAvx2(d, s, dstPitch, srcPitch, rows);
        else
            ShortRows<Width, Blend>(d, s, dstPitch, srcPitch, rows);
    }

    // Block Lane of four source rows' registers copied to d.
    template <int Lane>
    WIPE_SIMD_AVX512 static void PutLane(BYTE* d, LONG dstPitch, __m512i r0, __m512i r1, __m512i r2,
                                         __m512i r3)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm512_extracti32x4_epi32(r0, Lane));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + dstPitch), _mm512_extracti32x4_epi32(r1, Lane));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * dstPitch), _mm512_extracti32x4_epi32(r2, Lane));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * dstPitch), _mm512_extracti32x4_epi32(r3, Lane));
    }

    // Eight blocks 4 x 4 from s (the first block's top row) copied to their places xs, ys: a source
    // row of four blocks a register, the blocks stored in walk order, so overlapping blocks cover
    // each other as block by block (the source never shares memory with the destination). The
    // places' byte offsets are worked out together, in 64 bits.
    WIPE_SIMD_AVX512 static void CopyGroupWide(BYTE* dst, LONG dstPitch, const BYTE* s, LONG srcPitch,
                                               const int32_t* xs, const int32_t* ys)
    {
        alignas(64) int64_t at[8];
        const __m512i x = _mm512_cvtepi32_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(xs)));
        const __m512i y = _mm512_cvtepi32_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(ys)));
        _mm512_store_si512(
            at, _mm512_add_epi64(_mm512_mul_epi32(y, _mm512_set1_epi64(dstPitch)), _mm512_slli_epi64(x, 2)));
        for (int half = 0; half < 8; half += 4, s += 64) {
            const __m512i r0 = _mm512_loadu_si512(s), r1 = _mm512_loadu_si512(s + srcPitch);
            const __m512i r2 = _mm512_loadu_si512(s + 2 * srcPitch),
                          r3 = _mm512_loadu_si512(s + 3 * srcPitch);
            PutLane<0>(dst + at[half], dstPitch, r0, r1, r2, r3);
            PutLane<1>(dst + at[half + 1], dstPitch, r0, r1, r2, r3);
            PutLane<2>(dst + at[half + 2], dstPitch, r0, r1, r2, r3);
            PutLane<3>(dst + at[half + 3], dstPitch, r0, r1, r2, r3);
        }
    }

    // The blocks of grid row j, Height rows each (0: as many as the picture has left); Wide: copies
    // of blocks 4 x 4 by CopyGroupWide.
    template <int Width, int Height, bool Blend, bool Avx2, bool Wide = false>
    __attribute__((always_inline)) void RowOf(int64_t j)
    {
        const int sh = static_cast<int>(std::min(j + m_m, m_h) - j);
        const Limits limits = LimitsOf<Width>(j, sh);
        const int32_t* xs = Xs();
        const int32_t* ys = Ys();
        BYTE* const dst = m_mem.dst;
        const LONG dstPitch = m_mem.dstPitch, srcPitch = m_mem.srcPitch;
        const BYTE* srcRow = m_mem.src + static_cast<ptrdiff_t>(j) * srcPitch;
        const int32_t cols = static_cast<int32_t>(m_cols);
        // Lowest and highest corners of the blocks the row draws inline.
        LaneBounds corners;
        // The lines of the rows below asked for by group (those inside the destination's clip).
        const BYTE* bandRow = nullptr;
        int bandRows = 0;
        if (m_bandAhead >= 0) {
            const int64_t from = std::max<int64_t>(m_canvas->Y() + j + m_bandAhead, m_dT);
            const int64_t to = std::min<int64_t>(m_canvas->Y() + j + m_bandAhead + m_m, m_dB);
            if (from < to) {
                bandRow = dst + static_cast<ptrdiff_t>(from) * dstPitch + m_canvas->X() * 4;
                bandRows = static_cast<int>(to - from);
            }
        }
        const auto draw = [&](int32_t at) {
            const int32_t x = xs[at], y = ys[at];
            Block<Width, Height, Blend, Avx2>(dst + static_cast<ptrdiff_t>(y) * dstPitch + x * 4,
                                              srcRow + static_cast<ptrdiff_t>(at) * (Width * 4), dstPitch,
                                              srcPitch, sh);
        };
        // Groups whose blocks are all drawn here take a loop without calls, which keeps the
        // blend's constants in registers; a group with a block the canvas cuts leaves it.
        for (int32_t b = 0; b < cols; b += 8) {
            Group g{0, 0};
            for (; b < cols; b += 8) {
                if constexpr (Avx2)
                    g = GroupOfAvx2(limits, xs + b, ys + b, b, corners);
                else
                    g = GroupOf(limits, xs + b, ys + b, b, corners);
                if (cols - b < 8)
                    g.show &= (1u << (cols - b)) - 1;
                if ((g.show & ~g.fast) != 0)
                    break;
                if (Blend && m_ahead && b + kAhead < cols)
                    Ahead<Height>(dst, dstPitch, xs + b + kAhead, ys + b + kAhead);
                if (bandRow != nullptr)
                    BandAhead<Width>(bandRow + static_cast<ptrdiff_t>(b) * (Width * 4), dstPitch, bandRows);
                if (g.fast != 0xFF) {
                    for (unsigned bits = g.show; bits != 0; bits &= bits - 1)
                        draw(b + __builtin_ctz(bits));
                    continue;
                }
                // The usual group: eight blocks wholly inside, drawn without a test.
                if constexpr (Wide) {
                    CopyGroupWide(dst, dstPitch, srcRow + static_cast<ptrdiff_t>(b) * 16, srcPitch, xs + b,
                                  ys + b);
                    continue;
                }
                if constexpr (Blend && Avx2 && (Width == 2 || Width == 4)) {
                    // Eight neighbours side by side (a grid near a half turn lies reversed): one
                    // run, a register of eight pixels at a time. They do not overlap each other,
                    // so the run is the same pixels as its blocks one after another.
                    const int order = RunOf<Width>(xs + b, ys + b);
                    if (order != 0) {
                        BlendRunAvx2<Width>(dst + static_cast<ptrdiff_t>(ys[b]) * dstPitch +
                                                (order > 0 ? xs[b] : xs[b + 7]) * 4,
                                            srcRow + static_cast<ptrdiff_t>(b) * (Width * 4), dstPitch,
                                            srcPitch, Height > 0 ? Height : sh, order < 0);
                        continue;
                    }
                }
                if constexpr (Width == 2 && Height == 2 && Blend && Avx2) {
                    // Neighbours that do not overlap are blended together, a register of eight.
                    for (int32_t at = b; at < b + 8; at += 2) {
                        const int32_t x0 = xs[at], y0 = ys[at], x1 = xs[at + 1], y1 = ys[at + 1];
                        if (std::abs(x1 - x0) < 2 && std::abs(y1 - y0) < 2) {
                            draw(at);
                            draw(at + 1);
                            continue;
                        }
                        BlendSquarePairAvx2(dst + static_cast<ptrdiff_t>(y0) * dstPitch + x0 * 4,
                                            dst + static_cast<ptrdiff_t>(y1) * dstPitch + x1 * 4,
                                            srcRow + static_cast<ptrdiff_t>(at) * 8, dstPitch, srcPitch);
                    }
                } else {
                    for (int32_t lane = 0; lane < 8; ++lane)
                        draw(b + lane);
                }
            }
            if (b >= cols)
                break;
            for (unsigned bits = g.show; bits != 0; bits &= bits - 1) {
                const int lane = __builtin_ctz(bits);
                const int32_t at = b + lane;
                if ((g.fast >> lane & 1) != 0) {
                    draw(at);
                    continue;
                }
                const int64_t i = int64_t{at} * m_n;
                m_canvas->PieceAt(i, j, std::min(i + m_n, m_w), j + sh, xs[at], ys[at]);
            }
        }
        const int32_t left = LaneBounds::Lowest(corners.left), right = LaneBounds::Highest(corners.right);
        if (left <= right) {
            m_left = std::min<int64_t>(m_left, left);
            m_top = std::min<int64_t>(m_top, LaneBounds::Lowest(corners.top));
            m_right = std::max<int64_t>(m_right, int64_t{right} + Width);
            m_bottom = std::max<int64_t>(m_bottom, int64_t{LaneBounds::Highest(corners.bottom)} + sh);
        }
    }

    // Blocks thrown apart land on rows far from each other, where the processor's own prefetch
    // does not follow: the lines of the group kAhead blocks on are asked for while this group is
    // blended (plain copies only store, and ran no faster with it).
    static constexpr int32_t kAhead = 32;
    template <int Height>
    __attribute__((always_inline)) static void Ahead(BYTE* dst, LONG dstPitch, const int32_t* xs,
                                                     const int32_t* ys)
    {
        for (int lane = 0; lane < 8; ++lane) {
            // Blocks that do not show may lie outside the picture: a prefetch never faults.
            const uintptr_t at = reinterpret_cast<uintptr_t>(dst) +
                                 static_cast<uintptr_t>(static_cast<ptrdiff_t>(ys[lane]) * dstPitch + xs[lane] * 4);
            for (int row = 0; row < std::max(Height, 1); ++row)
                __builtin_prefetch(reinterpret_cast<const void*>(at + static_cast<uintptr_t>(row) * dstPitch), 1, 3);
        }
    }

    // The lines of a group of eight blocks' columns on `rows` rows from p.
    template <int Width>
    __attribute__((always_inline)) static void BandAhead(const BYTE* p, LONG dstPitch, int rows)
    {
        for (int row = 0; row < rows; ++row, p += dstPitch)
            for (int at = 0; at < 8 * Width * 4; at += 64)
                _mm_prefetch(reinterpret_cast<const char*>(p) + at, _MM_HINT_T0);
    }

    template <int Width, int Height, bool Blend>
    PIXEL_SIMD_AVX2 __attribute__((flatten)) void RowAvx2(int64_t j)
    {
        RowOf<Width, Height, Blend, true>(j);
    }
    WIPE_SIMD_AVX512 __attribute__((flatten)) void RowWide(int64_t j) { RowOf<4, 4, false, true, true>(j); }
    template <int Width, int Height, bool Blend> void RowPlain(int64_t j)
    {
        RowOf<Width, Height, Blend, false>(j);
    }

    template <int Width, bool Blend, typename Fill>
    PIXEL_SIMD_AVX2 __attribute__((flatten)) void DropAvx2(Fill& fill)
    {
        DropOf<Width, Blend, true>(fill);
    }

    template <int Width, bool Blend, bool Avx2, typename Fill>
    __attribute__((always_inline)) void DropOf(Fill& fill)
    {
        constexpr int64_t n = Width;
        int32_t* ks = Xs();
        const int64_t x = m_canvas->X(), y = m_canvas->Y();
        BYTE* const dst = m_mem.dst;
        const LONG dstPitch = m_mem.dstPitch, srcPitch = m_mem.srcPitch;
        // Cells whose columns both pictures hold whole.
        const int64_t firstX = std::max(m_first, (m_dL - x + n - 1) / n);
        const int64_t endX = std::min(m_end, m_dR - x >= n ? (m_dR - x - n) / n + 1 : 0);
        // Cells of sixteen take the 512-bit rows, blended cells of eight the 512-bit row pairs.
        const bool wide = Avx2 && (Width == 16 || (Width == 8 && Blend)) && UseAvx512Loops();
        for (int64_t j = 0; j < m_h; j += n) {
            fill(j, ks);
            const int64_t top = y + j + n; // the cells' bottom edge
            // Rows the source and the destination hold whole: every cell's shown rows, or those
            // of at most kMost rows.
            const bool rows = j + n <= m_h && j >= m_sT && j + n <= m_sB && top <= m_dB;
            const int32_t kMost = static_cast<int32_t>(rows ? std::clamp<int64_t>(top - m_dT, -1, n) : -1);
            const int32_t lo = static_cast<int32_t>(firstX), hi = static_cast<int32_t>(endX);
            const BYTE* srcRow = m_mem.src + static_cast<ptrdiff_t>(j) * srcPitch;
            int64_t left = INT64_MAX, right = INT64_MIN, highest = INT64_MAX;
            if (wide) {
                // The cells drawn here a destination row at a time; the others, which the canvas
                // cuts, one by one (cells never overlap, so the order does not matter).
                for (int32_t at = 0; at < m_cols; ++at) {
                    const int32_t k = ks[at];
                    if (k <= 0)
                        continue;
                    const int64_t i = int64_t{at} * n;
                    if (k > kMost || at < lo || at >= hi) {
                        m_canvas->PieceAt(i, j, std::min(i + n, m_w), std::min(j + k, m_h), x + i, top - k);
                        continue;
                    }
                    left = std::min(left, x + i);
                    right = std::max(right, x + i + n);
                    highest = std::min<int64_t>(highest, top - k);
                }
                // Only the rows some cell reaches.
                if (left < right && Width == 16)
                    DropBand16Avx512(dst + static_cast<ptrdiff_t>(top - 1) * dstPitch + (x + int64_t{lo} * n) * 4,
                                     srcRow + int64_t{lo} * n * 4, dstPitch, srcPitch, ks + lo, 0, hi - lo,
                                     static_cast<int32_t>(top - highest), Blend);
                else if (left < right)
                    DropCells8BlendAvx512(dst + static_cast<ptrdiff_t>(top - 1) * dstPitch + (x + int64_t{lo} * n) * 4,
                                          srcRow + int64_t{lo} * n * 4, dstPitch, srcPitch, ks + lo, 0, hi - lo,
                                          static_cast<int32_t>(top - highest));
            }
            for (int32_t b = 0; b < (wide ? 0 : m_cols); b += 8) {
                unsigned shown = 0, fast = 0;
                for (int32_t lane = 0; lane < 8; ++lane) {
                    const int32_t k = ks[b + lane], at = b + lane;
                    shown |= static_cast<unsigned>(k > 0) << lane;
                    fast |= static_cast<unsigned>(k > 0 && k <= kMost && at >= lo && at < hi) << lane;
                }
                if (m_cols - b < 8)
                    shown &= (1u << (m_cols - b)) - 1;
                for (unsigned bits = shown; bits != 0; bits &= bits - 1) {
                    const int lane = __builtin_ctz(bits);
                    const int32_t at = b + lane, k = ks[at];
                    const int64_t i = int64_t{at} * n;
                    if ((fast >> lane & 1) == 0) {
                        m_canvas->PieceAt(i, j, std::min(i + n, m_w), std::min(j + k, m_h), x + i, top - k);
                        continue;
                    }
                    Block<Width, 0, Blend, Avx2>(dst + static_cast<ptrdiff_t>(top - k) * dstPitch +
                                                     (x + i) * 4,
                                                 srcRow + i * 4, dstPitch, srcPitch, k);
                    left = std::min(left, x + i);
                    right = std::max(right, x + i + n);
                    highest = std::min<int64_t>(highest, top - k);
                }
            }
            if (left < right) {
                m_left = std::min(m_left, left);
                m_top = std::min(m_top, highest);
                m_right = std::max(m_right, right);
                m_bottom = std::max(m_bottom, top);
            }
        }
    }

    CWipeCanvas* m_canvas = nullptr;
    bool m_ahead = false;
    int64_t m_bandAhead = -1; // rows below a grid row's top asked for ahead; -1: none
    bool m_wideCopies = false;
    CWipeCanvas::Memory m_mem{};
    int64_t m_w = 0, m_h = 0, m_n = 0, m_m = 0, m_cols = 0;
    int64_t m_dL = 0, m_dT = 0, m_dR = 0, m_dB = 0, m_sT = 0, m_sB = 0, m_first = 0, m_end = 0;
    int64_t m_left = INT64_MAX, m_top = INT64_MAX, m_right = INT64_MIN, m_bottom = INT64_MIN;
};

// out[b] = base + b step + terms[b]: a loop the compiler makes wide, since nothing it reads is
// written.
void Offset(int32_t* __restrict out, const int32_t* __restrict terms, int32_t base, int64_t count,
            int32_t step = 0)
{
    for (int32_t b = 0; b < count; ++b)
        out[b] = base + b * step + terms[b];
}

bool IsCosine(int64_t v)
{
    return v >= -kOne && v <= kOne;
}

// The thrown positions of one grid row, four blocks at a time in doubles: every value is a whole
// number below 2^53, so products, sums and the halvings by 256 are exact, and the root and the
// quotient are rounded once, as the block-by-block walk's double forms are.
PIXEL_SIMD_AVX2 void SpunRowAvx2(int64_t cols, int64_t x, int64_t y, int64_t j, int64_t hw, int64_t hh,
                                 int64_t ct, int64_t st, int64_t a, int32_t* xs, int32_t* ys)
{
    const double dy = static_cast<double>(j - hh);
    const __m256d dy2 = _mm256_set1_pd(dy * dy);
    const __m256d stv = _mm256_set1_pd(static_cast<double>(st));
    const __m256d av = _mm256_set1_pd(static_cast<double>(a));
    const __m256d eighth = _mm256_set1_pd(1.0 / 256);
    const __m256d one = _mm256_set1_pd(1.0);
    // (ct dy 256) >> 16 is the same for the whole row.
    const __m256d cy = _mm256_set1_pd(std::floor(static_cast<double>(ct) * dy / 256));
    const __m128i step = _mm_setr_epi32(0, 4, 8, 12);
    constexpr int kFloor = _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC;
    constexpr int kTrunc = _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC;
    for (int64_t b = 0; b < cols; b += 4) {
        const __m128i i = _mm_add_epi32(_mm_set1_epi32(static_cast<int32_t>(b * 4)), step);
        const __m256d dx = _mm256_cvtepi32_pd(_mm_sub_epi32(i, _mm_set1_epi32(static_cast<int32_t>(hw))));
        const __m256d root =
            _mm256_round_pd(_mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), dy2)), kTrunc);
        // At the centre the root is 0 and so is every numerator: dividing by 1 keeps (dx, dy).
        const __m256d d = _mm256_max_pd(root, one);
        const __m256d sx = _mm256_round_pd(_mm256_mul_pd(_mm256_mul_pd(stv, dx), eighth), kFloor);
        const __m256d ux = _mm256_round_pd(_mm256_div_pd(sx, d), kTrunc);
        const __m256d uy = _mm256_round_pd(_mm256_div_pd(cy, d), kTrunc);
        const __m256d ox = _mm256_round_pd(_mm256_mul_pd(_mm256_mul_pd(ux, av), eighth), kFloor);
        const __m256d oy = _mm256_round_pd(_mm256_mul_pd(_mm256_mul_pd(uy, av), eighth), kFloor);
        const __m128i px =
            _mm_add_epi32(_mm_add_epi32(_mm_set1_epi32(static_cast<int32_t>(x)), i), _mm256_cvttpd_epi32(ox));
        const __m128i py =
            _mm_add_epi32(_mm_set1_epi32(static_cast<int32_t>(y + j)), _mm256_cvttpd_epi32(oy));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(xs + b), px);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(ys + b), py);
    }
}

// The thrown positions of one grid row as SpunRowAvx2 gives them, eight blocks at a time from a
// row of roots (padded to whole groups of eight) in 32-bit lanes and floats. Every product fits 32
// bits (|st dx| <= 2^30, |u a| <= 2^23). The numerators (at most 256 |dx| <= 256 d, below 2^24) and
// the roots are floats exactly, so a float quotient is off the true one by at most 256 · 2^-24,
// less than the 1 / d by which a quotient that is not whole misses every whole number: its
// truncation is the exact one.
// Across and Down: the sine, or the cosine, is not 0 (a quotient of 0 is 0: its division is left out).
template <bool Across, bool Down>
PIXEL_SIMD_AVX2 void SpunRowFromRootsAvx2(int64_t cols, int64_t x, int64_t y, int64_t j, int64_t hw,
                                          int64_t hh, int64_t ct, int64_t st, int64_t a, const float* roots,
                                          int32_t* xs, int32_t* ys)
{
    const __m256 cy = _mm256_set1_ps(static_cast<float>((ct * (j - hh)) >> 8));
    const __m256i stv = _mm256_set1_epi32(static_cast<int32_t>(st));
    const __m256i av = _mm256_set1_epi32(static_cast<int32_t>(a));
    const __m256i across = _mm256_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28);
    const __m256i left = _mm256_set1_epi32(static_cast<int32_t>(x)),
                  top = _mm256_set1_epi32(static_cast<int32_t>(y + j));
    const __m256 one = _mm256_set1_ps(1.0f);
    for (int64_t b = 0; b < cols; b += 8) {
        const __m256i i = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(b * 4)), across);
        const __m256i dx = _mm256_sub_epi32(i, _mm256_set1_epi32(static_cast<int32_t>(hw)));
        // At the centre the root is 0 and so is every numerator: dividing by 1 keeps (dx, dy).
        const __m256 d = _mm256_max_ps(_mm256_loadu_ps(roots + b), one);
        const __m256 sx = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_mullo_epi32(stv, dx), 8));
        const __m256i ux = Across ? _mm256_cvttps_epi32(_mm256_div_ps(sx, d)) : _mm256_setzero_si256();
        const __m256i uy = Down ? _mm256_cvttps_epi32(_mm256_div_ps(cy, d)) : _mm256_setzero_si256();
        const __m256i ox = _mm256_srai_epi32(_mm256_mullo_epi32(ux, av), 8);
        const __m256i oy = _mm256_srai_epi32(_mm256_mullo_epi32(uy, av), 8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(xs + b),
                            _mm256_add_epi32(_mm256_add_epi32(left, i), ox));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(ys + b), _mm256_add_epi32(top, oy));
    }
}

// trunc(sqrt(dx² + dy²)) of the blocks of a grid 4 x 2, row by row, for pictures up to a size: they
// depend only on the size, so a spinning wipe works them out at its first step.
class Roots {
public:
    // The roots of the canvas's grid, padded to whole groups of eight a row, or null when the
    // grid has more blocks than the table holds.
    static const float* Of(int64_t w, int64_t h, int64_t* stride)
    {
        static thread_local Roots table;
        return table.For(w, h, stride);
    }

private:
    static constexpr int64_t kMostBlocks = int64_t{1} << 21;

    const float* For(int64_t w, int64_t h, int64_t* stride)
    {
        const int64_t cols = (w + 3) / 4, rows = (h + 1) / 2;
        *stride = (cols + 7) / 8 * 8;
        if (w == m_w && h == m_h)
            return m_roots.data();
        if (*stride * rows > kMostBlocks)
            return nullptr;
        m_roots.assign(static_cast<size_t>(*stride * rows), 0.0f);
        const int64_t hw = w / 2, hh = h / 2;
        for (int64_t r = 0; r < rows; ++r)
            for (int64_t b = 0; b < cols; ++b) {
                const int64_t dx = b * 4 - hw, dy = r * 2 - hh;
                m_roots[static_cast<size_t>(r * *stride + b)] = static_cast<float>(ISqrt(dx * dx + dy * dy));
            }
        m_w = w;
        m_h = h;
        return m_roots.data();
    }

    int64_t m_w = 0, m_h = 0;
    std::vector<float> m_roots;
};

// a / n rounded toward minus infinity and toward plus infinity, for n > 0.
int64_t FloorDiv(int64_t a, int64_t n)
{
    return a >= 0 ? a / n : -((n - 1 - a) / n);
}
int64_t CeilDiv(int64_t a, int64_t n)
{
    return -FloorDiv(-a, n);
}

// Blocks of Width pixels side by side from d, count of them: the first one's source at s, each
// next one's step bytes on. The pixels of BlendShort (or plain copies).
constexpr int64_t kSideAhead = 8;
template <int Width, bool Blend>
PIXEL_SIMD_AVX2 void SideBySideAvx2(BYTE* d, const BYTE* s, ptrdiff_t step, int64_t count, bool ahead)
{
    using namespace pixel_simd_avx2;
    constexpr int64_t kPer = 8 / Width; // blocks in a register of eight pixels
    int64_t p = 0;
    for (; p + kPer <= count; p += kPer, d += 32) {
        const BYTE* const at = s + p * step;
        // Quarter turns step whole rows of the source a block: its lines are asked for ahead
        // where a blend waits on them.
        for (int64_t k = 0; Blend && ahead && k < kPer; ++k)
            _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(at) +
                                                       static_cast<uintptr_t>((kSideAhead + k) * step)),
                         _MM_HINT_T0);
        __m256i v;
        if constexpr (Width == 8) {
            v = Load8(at);
        } else if constexpr (Width == 4) {
            v = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(at + step),
                                    reinterpret_cast<const __m128i*>(at));
        } else {
            const auto two = [](const BYTE* a, const BYTE* b) {
                return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                                          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)));
            };
            v = _mm256_set_m128i(two(at + 2 * step, at + 3 * step), two(at, at + step));
        }
        Store8(d, Blend ? BlendAlpha8(v, Load8(d)) : v);
    }
    for (; p < count; ++p, d += Width * 4) {
        if constexpr (Blend)
            BlendShort(d, s + p * step, Width);
        else
            CopyShort(d, s + p * step, Width);
    }
}

// Eight source pixels from at with their blocks of Width pixels end for end.
template <int Width> __attribute__((always_inline)) PIXEL_SIMD_AVX2 inline __m256i TurnedEight(const BYTE* at)
{
    const __m256i v = pixel_simd_avx2::Load8(at);
    if constexpr (Width == 8)
        return v;
    else
        return _mm256_permute4x64_epi64(v, Width == 2 ? 0x1B : 0x4E); // quarters or halves
}

// Blocks of Width pixels side by side from d, count of them, each from the source just before the
// one of the block to its left, which is at s: a row of blocks turned by half a turn. A register
// of source pixels is read whole and its blocks swapped end for end. The pixels of BlendShort.
template <int Width, bool Blend>
PIXEL_SIMD_AVX2 void ReversedBlocksAvx2(BYTE* d, const BYTE* s, int64_t count)
{
    using namespace pixel_simd_avx2;
    constexpr int64_t kPer = 8 / Width;
    // Both walks are long and even: their lines are asked for a stretch ahead.
    constexpr uintptr_t kAhead = 2048;
    int64_t p = 0;
    // Two registers a step, a line of each walk asked for per step.
    for (; p + 2 * kPer <= count; p += 2 * kPer, d += 64) {
        const BYTE* const at = s - (p + kPer - 1) * Width * 4; // the first register's last block
        _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(d) + kAhead), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(at) - kAhead), _MM_HINT_T0);
        const __m256i v0 = TurnedEight<Width>(at), v1 = TurnedEight<Width>(at - 32);
        if constexpr (Blend) {
            const __m256i d0 = Load8(d), d1 = Load8(d + 32);
            Store8(d, BlendAlpha8(v0, d0));
            Store8(d + 32, BlendAlpha8(v1, d1));
        } else {
            Store8(d, v0);
            Store8(d + 32, v1);
        }
    }
    for (; p + kPer <= count; p += kPer, d += 32) {
        const __m256i v = TurnedEight<Width>(s - (p + kPer - 1) * Width * 4);
        Store8(d, Blend ? BlendAlpha8(v, Load8(d)) : v);
    }
    for (; p < count; ++p, d += Width * 4) {
        if constexpr (Blend)
            BlendShort(d, s - p * Width * 4, Width);
        else
            CopyShort(d, s - p * Width * 4, Width);
    }
}

// A turn by one, two or three quarters keeps the turned grid a lattice of whole cells n pixels
// apart: no two blocks overlap, so the step is every pixel they cover drawn once from its own
// source pixel, in any order, and the destination is walked a row at a time instead of a block
// at a time. Along a destination row the blocks follow each other n pixels apart, their sources
// a fixed step apart: the neighbouring block of one source row (a half turn) or the block n
// source rows on (quarter turns). A block's own pixels keep their order. The pixels and bounds
// of the grid walk.
class QuarterTurn {
public:
    // False, drawing nothing, unless (c0, s0) turns by a quarter, a half or three quarters and
    // the walk's AVX2 loops serve the canvas.
    static bool Draw(CWipeCanvas& c, int64_t n, int64_t c0, int64_t s0)
    {
        QuarterTurn turn;
        const int64_t hw = c.Width() / 2, hh = c.Height() / 2, x = c.X(), y = c.Y();
        // Block (b, k) of the grid is drawn at (x + hw + c0 (b n - hw) - s0 (k n - hh),
        // y + hh + c0 (k n - hh) + s0 (b n - hw)), the cosines here being -1, 0 or 1 exactly.
        if (c0 == 0 && s0 == kOne)
            turn = QuarterTurn{false, y + hh - hw, 1, x + hw + hh, -1};
        else if (c0 == -kOne && s0 == 0)
            turn = QuarterTurn{true, y + 2 * hh, -1, x + 2 * hw, -1};
        else if (c0 == 0 && s0 == -kOne)
            turn = QuarterTurn{false, y + hh + hw, -1, x + hw - hh, 1};
        else
            return false;
        if (!UseAvx2Loops() || !Serves(c, turn.m_mem))
            return false;
        turn.m_ahead = c.Width() * c.Height() * 4 > kCachedBytes;
        turn.m_wide = UseAvx512Loops();
        const bool blend = c.Mode() == kTransitionBlendAlpha;
        switch (n) {
        case 2:
            blend ? turn.Rows<2, true>(c) : turn.Rows<2, false>(c);
            break;
        case 4:
            blend ? turn.Rows<4, true>(c) : turn.Rows<4, false>(c);
            break;
        default:
            blend ? turn.Rows<8, true>(c) : turn.Rows<8, false>(c);
            break;
        }
        if (turn.m_left < turn.m_right)
            c.MarkDrawn(turn.m_left, turn.m_top, turn.m_right, turn.m_bottom);
        return true;
    }

private:
    QuarterTurn() = default;
    QuarterTurn(bool sourceRows, int64_t yc, int ys, int64_t xc, int xs)
        : m_sourceRows(sourceRows), m_yc(yc), m_ys(ys), m_xc(xc), m_xs(xs)
    {}

    // Each destination row: block row t of the lattice (its cells' top at yc + ys t n), row r of
    // its cells, and block m of it at column xc + xs m n. Block m's pixel q is the source pixel
    // (m n + q, t n + r) after a half turn and (t n + q, m n + r) after a quarter turn.
    template <int Width, bool Blend> PIXEL_SIMD_AVX2 void Rows(const CWipeCanvas& c)
    {
        constexpr int64_t n = Width;
        const int64_t sL = std::max<int64_t>(0, c.SourceClip().left),
                      sR = std::min<int64_t>(c.Width(), c.SourceClip().right);
        const int64_t sT = std::max<int64_t>(0, c.SourceClip().top),
                      sB = std::min<int64_t>(c.Height(), c.SourceClip().bottom);
        const RECT& clip = c.Clip();
        const int64_t cL = clip.left, cR = clip.right;
        if (sL >= sR || sT >= sB || cL >= cR)
            return;
        const ptrdiff_t srcPitch = m_mem.srcPitch;
        // Blocks that reach into the clip's columns, and those wholly inside them.
        int64_t dLo, dHi, dFullLo, dFullHi;
        if (m_xs > 0) {
            dLo = FloorDiv(cL - m_xc, n);
            dHi = CeilDiv(cR - m_xc, n);
            dFullLo = CeilDiv(cL - m_xc, n);
            dFullHi = FloorDiv(cR - m_xc, n);
        } else {
            dLo = FloorDiv(m_xc - cR, n) + 1;
            dHi = CeilDiv(m_xc - cL, n) + 1;
            dFullLo = CeilDiv(m_xc - cR, n) + 1;
            dFullHi = FloorDiv(m_xc - cL, n) + 1;
        }
        Whole group[kGroup];
        int grouped = 0;
        for (int64_t yd = clip.top; yd < clip.bottom; ++yd) {
            const int64_t e = yd - m_yc, f = FloorDiv(e, n), r = e - f * n, t = m_ys * f;
            // Source columns every block of the row gives (quarter turns), blocks that give any
            // pixel and blocks that give all, where the source pixels of block m start.
            int64_t qLo = 0, qHi = n, lo, hi, fullLo, fullHi, base;
            ptrdiff_t step;
            if (m_sourceRows) {
                const int64_t sy = t * n + r;
                if (sy < sT || sy >= sB)
                    continue;
                lo = FloorDiv(sL, n);
                hi = CeilDiv(sR, n);
                fullLo = CeilDiv(sL, n);
                fullHi = FloorDiv(sR, n);
                base = sy * srcPitch;
                step = n * 4;
            } else {
                qLo = std::max<int64_t>(0, sL - t * n);
                qHi = std::min<int64_t>(n, sR - t * n);
                if (qLo >= qHi)
                    continue;
                lo = CeilDiv(sT - r, n);
                hi = CeilDiv(sB - r, n);
                fullLo = lo;
                fullHi = qLo == 0 && qHi == n ? hi : lo;
                base = r * srcPitch + t * n * 4;
                step = n * srcPitch;
            }
            lo = std::max(lo, dLo);
            hi = std::min(hi, dHi);
            if (lo >= hi)
                continue;
            fullLo = std::max({fullLo, dFullLo, lo});
            fullHi = std::min({fullHi, dFullHi, hi});
            if (fullLo >= fullHi)
                fullLo = fullHi = hi;
            BYTE* const row = m_mem.dst + static_cast<ptrdiff_t>(yd) * m_mem.dstPitch;
            const BYTE* const src = m_mem.src + base;
            // The blocks at the ends, cut by the source or the clip.
            const auto cut = [&](int64_t m) {
                const int64_t x0 = m_xc + m_xs * m * n;
                int64_t a = std::max(qLo, cL - x0), b = std::min(qHi, cR - x0);
                if (m_sourceRows) {
                    a = std::max(a, sL - m * n);
                    b = std::min(b, sR - m * n);
                }
                if (a >= b)
                    return;
                BYTE* const d = row + (x0 + a) * 4;
                const BYTE* const s = src + m * step + a * 4;
                if constexpr (Blend)
                    BlendShort(d, s, static_cast<int>(b - a));
                else
                    CopyShort(d, s, static_cast<int>(b - a));
                Mark(yd, x0 + a, x0 + b);
            };
            for (int64_t m = lo; m < fullLo; ++m)
                cut(m);
            for (int64_t m = fullHi; m < hi; ++m)
                cut(m);
            if (fullLo < fullHi) {
                const Whole whole{row, src, step, fullLo, fullHi};
                const int64_t x0 = m_xc + m_xs * (m_xs > 0 ? fullLo : fullHi - 1) * n;
                Mark(yd, x0, x0 + (fullHi - fullLo) * n);
                if (m_sourceRows) {
                    DrawWhole<Width, Blend>(whole, fullLo, fullHi);
                    continue;
                }
                // A group read by 512-bit registers starts where its source lines do, so that each
                // register is one line; only the first group is cut short for it.
                if (m_wide && grouped > 0 && r == 0 &&
                    (reinterpret_cast<uintptr_t>(src) - (m_ys > 0 ? 0 : (16 - n) * 4)) % 64 == 0) {
                    DrawGroup<Width, Blend>(group, grouped);
                    grouped = 0;
                }
                group[grouped++] = whole;
                if (grouped == kGroup) {
                    DrawGroup<Width, Blend>(group, grouped);
                    grouped = 0;
                }
            }
        }
        DrawGroup<Width, Blend>(group, grouped);
    }

    // A destination row's whole blocks: blocks m with lo <= m < hi, block m's source at src + m step.
    struct Whole {
        BYTE* row;
        const BYTE* src;
        ptrdiff_t step;
        int64_t lo, hi;
    };
    // Quarter turns read one short piece of each of many source rows: rows of the destination
    // are taken kGroup at a time, a stretch of kStretch blocks of each in turn, so the source
    // lines one stretch reads serve every row of the group from the nearest cache.
    static constexpr int kGroup = 16;

    // Blocks m of the row with a <= m < b.
    template <int Width, bool Blend> PIXEL_SIMD_AVX2 void DrawWhole(const Whole& whole, int64_t a, int64_t b)
    {
        const int64_t first = m_xs > 0 ? a : b - 1; // the leftmost block
        BYTE* const d = whole.row + (m_xc + m_xs * first * Width) * 4;
        if (m_sourceRows && m_xs < 0 && m_wide && Blend) {
            // The blocks before the first whole line of the destination by themselves, then
            // registers of a line each, then the rest (plain copies ran slower so).
            const BYTE* const s = whole.src + first * whole.step;
            const uintptr_t off = (64 - reinterpret_cast<uintptr_t>(d) % 64) % 64;
            const int64_t head = std::min<int64_t>(b - a, off % (Width * 4) == 0 ? off / (Width * 4) : 0);
            constexpr int64_t kPer = 16 / Width;
            const int64_t body = (b - a - head) / kPer;
            ReversedBlocksAvx2<Width, Blend>(d, s, head);
            ReversedRowAvx512(Width, d + head * Width * 4, s - head * Width * 4, body, Blend);
            const int64_t done = head + body * kPer;
            ReversedBlocksAvx2<Width, Blend>(d + done * Width * 4, s - done * Width * 4, b - a - done);
        } else if (m_sourceRows && m_xs < 0) {
            ReversedBlocksAvx2<Width, Blend>(d, whole.src + first * whole.step, b - a);
        } else
            SideBySideAvx2<Width, Blend>(d, whole.src + first * whole.step,
                                         m_xs > 0 ? whole.step : -whole.step, b - a, m_ahead);
    }

    template <int Width, bool Blend> PIXEL_SIMD_AVX2 void DrawGroup(const Whole* group, int count)
    {
        constexpr int64_t kStretch = 128 / Width;
        int64_t lo = INT64_MAX, hi = INT64_MIN;
        for (int i = 0; i < count; ++i) {
            lo = std::min(lo, group[i].lo);
            hi = std::max(hi, group[i].hi);
        }
        // The whole group lined up 16 / Width rows at a time (every row of it a share of a
        // 64-byte register of source pixels), where the 512-bit registers serve.
        if (m_wide && count == kGroup && WholeGroupLinesUp<Width>(group)) {
            // Each row's blocks before the first register whose stores fill whole lines are drawn
            // by themselves, then the registers, then the blocks after them.
            constexpr int64_t kWide = 16 / Width;
            for (int i = 0; i < Width; ++i) {
                const int64_t a = group[i].lo, b = group[i].hi;
                const int64_t x = m_xc + m_xs * (m_xs > 0 ? a : a + kWide - 1) * Width;
                const int64_t off = (m_xs > 0 ? -x : x) & 15; // pixels to the next line's start
                const int64_t from = std::min(b, a + (off % Width == 0 ? off / Width : 0));
                const int64_t end = from + (b - from) / kWide * kWide;
                for (int k = 0; k < kWide; ++k)
                    if (a < from)
                        DrawWhole<Width, Blend>(group[i + Width * k], a, from);
                if (from < end)
                    DrawLinedUpAvx512<Width, Blend>(group + i, from, end);
                for (int k = 0; k < kWide; ++k)
                    if (end < b)
                        DrawWhole<Width, Blend>(group[i + Width * k], end, b);
            }
            return;
        }
        // Blocks two or four pixels wide: the destination rows of one row of the cells of four
        // or two block rows in turn each take a share of a register of source pixels (see
        // DrawLinedUp), where they line up so.
        constexpr int kShare = 8 / Width; // rows sharing a register, and blocks in each share
        bool leads[kGroup] = {}, led[kGroup] = {};
        if constexpr (Width < 8)
            if (count == kGroup && !m_sourceRows)
                for (int i = 0; i < kGroup; ++i)
                    if (i % 8 < Width && LineUp<Width>(group + i)) {
                        leads[i] = true;
                        for (int k = 1; k < kShare; ++k)
                            led[i + Width * k] = true;
                    }
        for (int64_t from = lo; from < hi; from += kStretch)
            for (int i = 0; i < count; ++i) {
                const int64_t a = std::max(from, group[i].lo), b = std::min(from + kStretch, group[i].hi);
                if (a >= b || led[i])
                    continue;
                if (!leads[i]) {
                    DrawWhole<Width, Blend>(group[i], a, b);
                    continue;
                }
                const int64_t end = a + (b - a) / kShare * kShare;
                DrawLinedUp<Width, Blend>(group + i, a, end);
                for (int k = 0; k < kShare; ++k)
                    if (end < b)
                        DrawWhole<Width, Blend>(group[i + Width * k], end, b);
            }
    }

    // Whether rows rows[0], rows[Width], rows[2 Width], ... (Rows of them, 8 / Width unless said:
    // one row of the cells of block rows in turn) have the same blocks, their sources Width pixels
    // apart in the walk's order.
    template <int Width, int Rows = 8 / Width> bool LineUp(const Whole* rows) const
    {
        for (int k = 1; k < Rows; ++k) {
            const Whole& w = rows[Width * k];
            if (w.lo != rows[0].lo || w.hi != rows[0].hi || w.step != rows[0].step ||
                reinterpret_cast<uintptr_t>(w.src) !=
                    reinterpret_cast<uintptr_t>(rows[0].src) + m_ys * Width * 4 * k ||
                reinterpret_cast<uintptr_t>(w.row) != reinterpret_cast<uintptr_t>(rows[0].row) +
                                                          Width * k * static_cast<ptrdiff_t>(m_mem.dstPitch))
                return false;
        }
        return true;
    }

    // Whether the group's rows i, i + Width, ... i + 16 - Width line up, for every i < Width.
    template <int Width> bool WholeGroupLinesUp(const Whole* group) const
    {
        for (int i = 0; i < Width; ++i)
            if (!LineUp<Width, 16 / Width>(group + i))
                return false;
        return true;
    }

    // DrawLinedUp's blocks with 512-bit registers, 16 / Width rows from lined[0] (see
    // wipe_turns_avx512.h); hi - lo a multiple of 16 / Width.
    template <int Width, bool Blend> void DrawLinedUpAvx512(const Whole* lined, int64_t lo, int64_t hi)
    {
        constexpr int kShare = 16 / Width;
        const BYTE* const src = lined[m_ys > 0 ? 0 : Width * (kShare - 1)].src;
        const int64_t x = m_xc + m_xs * (m_xs > 0 ? lo : lo + kShare - 1) * Width;
        BYTE* rows[kShare];
        for (int k = 0; k < kShare; ++k)
            rows[k] = lined[Width * (m_ys > 0 ? k : kShare - 1 - k)].row + x * 4;
        const ptrdiff_t step = lined[0].step;
        LinedUpRowsAvx512(Width, rows, m_xs * 64, src + lo * step, step, (hi - lo) / kShare, m_xs < 0, Blend,
                          m_ahead);
    }

    // Blocks lo <= m < hi (a multiple of 8 / Width of them) of rows lined up (LineUp): a register
    // read at a block's source holds that block of every row, so 8 / Width such registers, turned
    // about their diagonal, give as many blocks of each row.
    static constexpr int64_t kLinedAhead = 32;
    template <int Width, bool Blend>
    PIXEL_SIMD_AVX2 void DrawLinedUp(const Whole* lined, int64_t lo, int64_t hi)
    {
        using namespace pixel_simd_avx2;
        constexpr int kShare = 8 / Width;
        // Share k of a register belongs to row k, or to row kShare - 1 - k where the block rows
        // run upwards.
        const BYTE* const src = lined[m_ys > 0 ? 0 : Width * (kShare - 1)].src;
        BYTE* rows[kShare];
        for (int k = 0; k < kShare; ++k)
            rows[k] = lined[Width * (m_ys > 0 ? k : kShare - 1 - k)].row;
        const ptrdiff_t step = lined[0].step;
        for (int64_t m = lo; m < hi; m += kShare) {
            // The source is walked down its rows, a line each block: asked for ahead, as the
            // processor's own prefetch does not follow steps of whole rows (copies, which do not
            // wait on the destination, gained nothing from it).
            for (int k = 0; Blend && m_ahead && k < kShare; ++k)
                _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(src) +
                                                           static_cast<uintptr_t>((m + kLinedAhead + k) * step)),
                             _MM_HINT_T0);
            __m256i v[kShare];
            for (int k = 0; k < kShare; ++k)
                v[m_xs > 0 ? k : kShare - 1 - k] = Load8(src + (m + k) * step); // in the destination's order
            __m256i out[kShare];
            if constexpr (Width == 2) {
                const __m256i a = _mm256_unpacklo_epi64(v[0], v[1]), b = _mm256_unpackhi_epi64(v[0], v[1]);
                const __m256i c = _mm256_unpacklo_epi64(v[2], v[3]), d = _mm256_unpackhi_epi64(v[2], v[3]);
                out[0] = _mm256_permute2x128_si256(a, c, 0x20);
                out[1] = _mm256_permute2x128_si256(b, d, 0x20);
                out[2] = _mm256_permute2x128_si256(a, c, 0x31);
                out[3] = _mm256_permute2x128_si256(b, d, 0x31);
            } else {
                out[0] = _mm256_permute2x128_si256(v[0], v[1], 0x20);
                out[1] = _mm256_permute2x128_si256(v[0], v[1], 0x31);
            }
            const int64_t x = m_xc + m_xs * (m_xs > 0 ? m : m + kShare - 1) * Width;
            for (int k = 0; k < kShare; ++k) {
                BYTE* const at = rows[k] + x * 4;
                Store8(at, Blend ? BlendAlpha8(out[k], Load8(at)) : out[k]);
            }
        }
    }

    void Mark(int64_t yd, int64_t l, int64_t r)
    {
        m_left = std::min(m_left, l);
        m_right = std::max(m_right, r);
        m_top = std::min(m_top, yd);
        m_bottom = std::max(m_bottom, yd + 1);
    }

    bool m_sourceRows = false; // a destination row's blocks come from one source row
    bool m_ahead = false;      // the source's lines are asked for ahead
    bool m_wide = false;       // lined-up rows and blended half-turned rows take 512-bit registers
    int64_t m_yc = 0;
    int m_ys = 1;
    int64_t m_xc = 0;
    int m_xs = 1;
    CWipeCanvas::Memory m_mem{};
    int64_t m_left = INT64_MAX, m_top = INT64_MAX, m_right = INT64_MIN, m_bottom = INT64_MIN;
};

} // namespace

bool TurnedGrid(CWipeCanvas& c, int64_t n, int64_t c0, int64_t s0)
{
    if ((n != 2 && n != 4 && n != 8) || !IsCosine(c0) || !IsCosine(s0))
        return false;
    if (QuarterTurn::Draw(c, n, c0, s0))
        return true;
    GridWalk walk;
    if (!walk.Start(c, n, n))
        return false;
    const int64_t hw = c.Width() / 2, hh = c.Height() / 2;
    const int64_t cols = walk.Columns();
    // Column b's two terms, side by side.
    std::vector<int32_t>& terms = ColumnTerms();
    terms.resize(static_cast<size_t>(cols) * 2);
    for (int64_t b = 0; b < cols; ++b) {
        const int64_t dx = b * n - hw;
        terms[static_cast<size_t>(b)] = static_cast<int32_t>((c0 * dx) >> 16);
        terms[static_cast<size_t>(cols + b)] = static_cast<int32_t>((s0 * dx) >> 16);
    }
    const int32_t* cx = terms.data();
    const int32_t* sx = terms.data() + cols;
    walk.Run([&](int64_t j, int64_t, int32_t* xs, int32_t* ys) {
        const int64_t dy = j - hh;
        Offset(xs, cx, static_cast<int32_t>(c.X() + hw - ((s0 * dy) >> 16)), cols);
        Offset(ys, sx, static_cast<int32_t>(c.Y() + hh + ((c0 * dy) >> 16)), cols);
    });
    return true;
}

bool ZoomedGrid(CWipeCanvas& c, int64_t cx, int64_t sy, int64_t a)
{
    GridWalk walk;
    if (!IsCosine(cx) || !IsCosine(sy) || a < 0 || a > 2 * kMostSide || !walk.Start(c, 4, 2))
        return false;
    const int64_t hw = c.Width() / 2, hh = c.Height() / 2;
    // Every grid row has the same columns.
    for (int64_t b = 0; b < walk.Columns(); ++b) {
        const int64_t i = b * 4;
        walk.Xs()[b] = static_cast<int32_t>(c.X() + i + (((i - hw) * cx * a) >> 24));
    }
    const int64_t cols = walk.Columns();
    walk.Run([&](int64_t j, int64_t, int32_t*, int32_t* ys) {
        std::fill(ys, ys + cols, static_cast<int32_t>(c.Y() + j + (((j - hh) * sy * a) >> 24)));
    });
    return true;
}

bool SpunGrid(CWipeCanvas& c, int64_t ct, int64_t st, int64_t a)
{
    GridWalk walk;
    if (!IsCosine(ct) || !IsCosine(st) || a < 0 || a > 2 * kMostSide || !walk.Start(c, 4, 2))
        return false;
    const int64_t hw = c.Width() / 2, hh = c.Height() / 2;
    const int64_t cols = walk.Columns();
    const int64_t x = c.X(), y = c.Y();
    // Asking ahead pays where the destination is larger than the caches keep between steps, and
    // where blocks leave their rows: thrown only across (no cosine), a grid row's blocks stay on
    // its own two rows, which are walked left to right.
    if (c.Width() * c.Height() * 4 > kCachedBytes && ct != 0)
        walk.AskAhead();
    if (UseAvx2Loops()) {
        int64_t stride = 0;
        const float* roots = Roots::Of(c.Width(), c.Height(), &stride);
        walk.Run([&](int64_t j, int64_t k, int32_t* xs, int32_t* ys) {
            if (roots == nullptr)
                return SpunRowAvx2(cols, x, y, j, hw, hh, ct, st, a, xs, ys);
            const float* const row = roots + k * stride;
            if (st == 0)
                SpunRowFromRootsAvx2<false, true>(cols, x, y, j, hw, hh, ct, st, a, row, xs, ys);
            else if (ct == 0)
                SpunRowFromRootsAvx2<true, false>(cols, x, y, j, hw, hh, ct, st, a, row, xs, ys);
            else
                SpunRowFromRootsAvx2<true, true>(cols, x, y, j, hw, hh, ct, st, a, row, xs, ys);
        });
        return true;
    }
    walk.Run([&](int64_t j, int64_t, int32_t* xs, int32_t* ys) {
        const int64_t dy = j - hh;
        for (int64_t b = 0; b < cols; ++b) {
            const int64_t i = b * 4, dx = i - hw;
            const int64_t d = ISqrt(dx * dx + dy * dy);
            int64_t ux = dx, uy = dy;
            if (d != 0) {
                ux =
                    static_cast<int64_t>(static_cast<double>((st * dx * 256) >> 16) / static_cast<double>(d));
                uy =
                    static_cast<int64_t>(static_cast<double>((ct * dy * 256) >> 16) / static_cast<double>(d));
            }
            xs[b] = static_cast<int32_t>(x + i + ((ux * a) >> 8));
            ys[b] = static_cast<int32_t>(y + j + ((uy * a) >> 8));
        }
    });
    return true;
}

bool JitteredGrid(CWipeCanvas& c, const uint8_t* noise, const int32_t* ox, const int32_t* oy)
{
    const auto small = [](const int32_t* offsets) {
        return std::all_of(offsets, offsets + 256, [](int32_t v) { return std::abs(v) <= kMostSide; });
    };
    GridWalk walk;
    if (!small(ox) || !small(oy) || !walk.Start(c, 4, 4))
        return false;
    // The offsets of noise positions 0 to 255, twice over, so a row's run never wraps.
    int32_t nx[512], ny[512];
    for (int k = 0; k < 512; ++k) {
        nx[k] = ox[noise[k & 255]];
        ny[k] = oy[noise[k & 255]];
    }
    // The rows a grid row reaches first are those of its deepest offset: asked for one grid row
    // ahead where the destination is larger than the caches keep between steps.
    if (c.Width() * c.Height() * 4 > kCachedBytes)
        walk.AskBandAhead(std::max(*std::max_element(ny, ny + 256) + 4, 0));
    walk.AskWideCopies();
    const int64_t cols = walk.Columns();
    walk.Run([&](int64_t j, int64_t r, int32_t* xs, int32_t* ys) {
        const int32_t y = static_cast<int32_t>(c.Y() + j);
        for (int64_t from = 0; from < cols; from += 256) {
            const int64_t count = std::min<int64_t>(256, cols - from);
            const int32_t* px = nx + ((from + 13 * r) & 255);
            const int32_t* py = ny + ((from + 19 * r) & 255);
            Offset(xs + from, px, static_cast<int32_t>(c.X() + from * 4), count, 4);
            Offset(ys + from, py, y, count);
        }
    });
    return true;
}

bool DroppedGrid(CWipeCanvas& c, int64_t n, int s, int32_t progress, const uint8_t* noise)
{
    GridWalk walk;
    if ((n != 8 && n != 16) || !walk.Start(c, n, n))
        return false;
    // The height of each noise position, twice over, so a row's run never wraps.
    int32_t heights[512];
    for (int k = 0; k < 512; ++k)
        heights[k] =
            static_cast<int32_t>(std::min<int64_t>((((noise[k & 255] >> 1) + progress) >> s) - n, n));
    const int64_t cols = walk.Columns();
    const auto fill = [&](int64_t j, int32_t* ks) {
        // Cell b reads noise position (b n / 8 + 13 j) & 255.
        const int64_t step = n / 8;
        for (int64_t from = 0; from < cols; from += 128) {
            const int32_t* h = heights + ((from * step + 13 * j) & 255);
            const int64_t count = std::min<int64_t>(128, cols - from);
            for (int64_t b = 0; b < count; ++b)
                ks[from + b] = h[b * step];
        }
    };
    n == 8 ? walk.Drop<8>(fill) : walk.Drop<16>(fill);
    return true;
}

} // namespace wipe
