// The block-scatter walk with 512-bit lanes: sixteen blocks of a grid row placed at once, the ones
// that show packed to the row's list by a compress, each with its destination as a byte offset. A
// row is placed before the one above it is drawn, so while a row is drawn the destination lines of
// the next are asked for a whole row ahead: the blocks land all over the picture, and a row's drawing
// gives the lines time to come from the shared cache (pictures of a few megabytes and more). The same
// pixels as ScatterWriter, drawn in the same order. Included first in its translation unit
// (wipe_avx512.h).
#pragma once

#include "raster/wipe_avx512.h"
#include "raster/wipe_scatter.h"

#include <cstring>

namespace wipe {

// The least clip, in bytes, for which the 512-bit walk asks for lines a row ahead: smaller pictures
// stay in the caches, where asking only costs.
constexpr int64_t kScatter512LeastBytes = int64_t{4} << 20;

// The clip's area in bytes.
inline int64_t ScatterClipBytes(const CWipeCanvas& c)
{
    const RECT& clip = c.Clip();
    return (int64_t{clip.right} - clip.left) * (int64_t{clip.bottom} - clip.top) * 4;
}

// Where the 512-bit walk can serve: every destination the lists keep as a byte offset within 32
// bits. On clips under kScatter512LeastBytes it asks for no lines ahead.
inline bool Scatter512Serves(const CWipeCanvas& c)
{
    if (!UseAvx512Loops() || !ScatterFits(c))
        return false;
    CWipeCanvas::Memory memory{};
    if (!c.DirectMemory(memory))
        return false;
    const RECT& clip = c.Clip();
    const int64_t across = std::max(std::abs(int64_t{clip.left}), std::abs(int64_t{clip.right}));
    const int64_t down = std::max(std::abs(int64_t{clip.top}), std::abs(int64_t{clip.bottom}));
    return std::abs(int64_t{memory.dstPitch}) * down + 4 * across < (int64_t{1} << 30);
}

// Where the 512-bit walk serves and asks ahead: a clip of at least kScatter512LeastBytes.
inline bool Scatter512Fits(const CWipeCanvas& c)
{
    return Scatter512Serves(c) && ScatterClipBytes(c) >= kScatter512LeastBytes;
}

// Draws the blocks of an n x m grid (n = Width, m = Height) as ScatterWriter draws them, from
// positions given sixteen at a time.
template <int Width, int Height, bool Blend> class ScatterWriter512 : ScatterFrame {
public:
    explicit ScatterWriter512(CWipeCanvas& c) : ScatterFrame(c, Width) // Scatter512Serves holds
    {
        // Two rows' lists (the one drawn, the one placed): destinations as byte offsets and block
        // numbers (negative for blocks the canvas cuts), each with room for a whole group past the
        // end, then the cut blocks' numbers and places, three to a block. Only two lists a group:
        // the walk's stores queue behind the drawing's, and each list costs a compress and a store.
        m_stride = static_cast<size_t>(m_perRow) + 16;
        m_ask = ScatterClipBytes(c) >= kScatter512LeastBytes;
        m_lists.resize(std::max<size_t>(m_lists.size(), 10 * m_stride));
        for (int r = 0; r < 2; ++r) {
            int32_t* base = m_lists.data() + r * 5 * m_stride;
            m_rows[r].offsets = base;
            m_rows[r].blocks = base + m_stride;
            m_rows[r].cuts = base + 2 * m_stride;
        }
    }
    ScatterWriter512(const ScatterWriter512&) = delete;
    ScatterWriter512& operator=(const ScatterWriter512&) = delete;

    int PerRow() const { return m_perRow; }

    // The bounds of the blocks drawn here, lane by lane, held by the walk in registers.
    struct Bounds {
        __m512i left, top, right, bottom;
    };
    WIPE_SIMD_AVX512 static Bounds NoBounds()
    {
        return Bounds{_mm512_set1_epi32(INT32_MAX), _mm512_set1_epi32(INT32_MAX),
                      _mm512_set1_epi32(INT32_MIN), _mm512_set1_epi32(INT32_MIN)};
    }

    // What placing a row reads and keeps, held by the walk in registers: members of the writer
    // would be read again after every store to the lists.
    struct Placing {
        int32_t perRow, pitch, height;
        int32_t showsL, showsR, showsT, showsB; // may show: placed over the clip in part
        int32_t blockLo, blockHi, insideL, insideR, insideT, insideB; // drawn here
        int32_t* offsets;
        int32_t* blocks;
        int32_t* cuts;
        int count, cutCount;
    };

    // Starts placing grid row j.
    Placing BeginRow(int64_t j)
    {
        Row& r = m_rows[m_placing];
        r.j = j;
        r.height = static_cast<int>(std::min<int64_t>(Height, m_h - j));
        const bool rowInSource =
            j >= m_canvas.SourceClip().top && j + r.height <= m_canvas.SourceClip().bottom;
        r.srcRow = m_src + static_cast<ptrdiff_t>(j) * m_srcPitch;
        return Placing{m_perRow,
                       static_cast<int32_t>(m_dstPitch),
                       r.height,
                       m_clipL - Width + 1,
                       m_clipR - 1,
                       m_clipT - r.height + 1,
                       m_clipB - 1,
                       rowInSource ? m_bLo : 0,
                       (rowInSource ? m_bHi : 0) - 1,
                       m_clipL,
                       m_clipR - Width,
                       m_clipT,
                       m_clipB - r.height,
                       r.offsets,
                       r.blocks,
                       r.cuts,
                       0,
                       0};
    }

    // Blocks b0 .. b0 + 15 of the row (those past its end left out) with top-left corners (dx, dy);
    // the bounds of those drawn here join bounds.
    WIPE_SIMD_AVX512 static void Sixteen(Placing& p, int b0, __m512i dx, __m512i dy, Bounds& bounds)
    {
        const __m512i b =
            _mm512_add_epi32(_mm512_set1_epi32(b0),
                             _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
        const __mmask16 inRow = _mm512_cmplt_epi32_mask(b, _mm512_set1_epi32(p.perRow));
        const __mmask16 shows = inRow & Within(dx, p.showsL, p.showsR) & Within(dy, p.showsT, p.showsB);
        // Drawn here: whole, within the source, and wholly inside the clip.
        const __mmask16 inside = Within(b, p.blockLo, p.blockHi) & Within(dx, p.insideL, p.insideR) &
                                 Within(dy, p.insideT, p.insideB);
        const __mmask16 drawn = shows & inside;
        bounds.left = _mm512_mask_min_epi32(bounds.left, drawn, bounds.left, dx);
        bounds.top = _mm512_mask_min_epi32(bounds.top, drawn, bounds.top, dy);
        bounds.right = _mm512_mask_max_epi32(bounds.right, drawn, bounds.right,
                                             _mm512_add_epi32(dx, _mm512_set1_epi32(Width)));
        bounds.bottom = _mm512_mask_max_epi32(bounds.bottom, drawn, bounds.bottom,
                                              _mm512_add_epi32(dy, _mm512_set1_epi32(p.height)));
        const __m512i offset =
            _mm512_add_epi32(_mm512_mullo_epi32(dy, _mm512_set1_epi32(p.pitch)), _mm512_slli_epi32(dx, 2));
        const __m512i numbered =
            _mm512_mask_mov_epi32(b, static_cast<__mmask16>(~inside), _mm512_set1_epi32(-1));
        Pack(p.offsets + p.count, offset, shows);
        Pack(p.blocks + p.count, numbered, shows);
        p.count += __builtin_popcount(shows);
        // Blocks the canvas cuts are few (the picture's edges): their numbers and places go to a
        // list of their own, in order.
        if (const __mmask16 cut = shows & static_cast<__mmask16>(~inside); cut != 0)
            p.cutCount = AddCuts(p.cuts, p.cutCount, b0, dx, dy, cut);
    }

    // The bounds of the blocks drawn here join the step's.
    WIPE_SIMD_AVX512 void MarkDrawn(const Bounds& bounds)
    {
        const int32_t left = _mm512_reduce_min_epi32(bounds.left),
                      right = _mm512_reduce_max_epi32(bounds.right);
        if (left < right)
            m_canvas.MarkDrawn(left, _mm512_reduce_min_epi32(bounds.top), right,
                               _mm512_reduce_max_epi32(bounds.bottom));
    }

    // The row is placed: the row before it is drawn, asking for this one's lines meanwhile.
    WIPE_SIMD_AVX512 void EndRow(const Placing& p)
    {
        m_rows[m_placing].count = p.count;
        if (m_pending)
            Draw(m_rows[m_placing ^ 1], m_ask ? &m_rows[m_placing] : nullptr);
        m_pending = true;
        m_placing ^= 1;
    }

    // Draws the last row placed.
    WIPE_SIMD_AVX512 void Finish()
    {
        if (m_pending)
            Draw(m_rows[m_placing ^ 1], nullptr);
        m_pending = false;
    }

private:
    struct Row {
        int32_t* offsets = nullptr;
        int32_t* blocks = nullptr;
        int32_t* cuts = nullptr;
        const BYTE* srcRow = nullptr;
        int64_t j = 0;
        int height = 0;
        int count = 0;
    };

    // The lanes of cut added to a list of count cut blocks, in order: block number, left and top
    // each. Returns the new count.
    __attribute__((noinline)) WIPE_SIMD_AVX512 static int AddCuts(int32_t* cuts, int count, int b0,
                                                                  __m512i dx, __m512i dy, __mmask16 cut)
    {
        alignas(64) int32_t xs[16], ys[16];
        _mm512_store_si512(xs, dx);
        _mm512_store_si512(ys, dy);
        int32_t* out = cuts + 3 * count;
        for (unsigned m = cut; m != 0; m &= m - 1) {
            const int lane = __builtin_ctz(m);
            *out++ = b0 + lane;
            *out++ = xs[lane];
            *out++ = ys[lane];
        }
        return count + __builtin_popcount(cut);
    }
    // Lanes of v within a block's row width of zero.
    WIPE_SIMD_AVX512 static __mmask16 Near(__m512i v)
    {
        return _mm512_cmplt_epu32_mask(_mm512_add_epi32(v, _mm512_set1_epi32(Width * 4 - 1)),
                                       _mm512_set1_epi32(Width * 8 - 1));
    }
    WIPE_SIMD_AVX512 static __mmask16 Within(__m512i a, int32_t lo, int32_t hi)
    {
        return _mm512_cmpge_epi32_mask(a, _mm512_set1_epi32(lo)) & _mm512_cmple_epi32_mask(a, _mm512_set1_epi32(hi));
    }
    // The lanes of keep packed to the front, stored at list (a whole register: the lists have room).
    WIPE_SIMD_AVX512 static void Pack(int32_t* list, __m512i v, __mmask16 keep)
    {
        _mm512_storeu_si512(list, _mm512_maskz_compress_epi32(keep, v));
    }

    __attribute__((noinline)) WIPE_SIMD_AVX512 void Draw(const Row& row, const Row* next)
    {
        if (row.height == Height)
            DrawRow<Height>(row, next);
        else
            DrawRow<0>(row, next);
    }

    // Rows (0: the row's own count) fixed for whole rows. The next row's destinations are asked for
    // as this one's are drawn, entry for entry.
    template <int Rows> __attribute__((always_inline)) WIPE_SIMD_AVX512 void DrawRow(const Row& row, const Row* next)
    {
        BYTE* const dst = m_dst;
        const uintptr_t dstAt = reinterpret_cast<uintptr_t>(m_dst);
        const BYTE* const srcRow = row.srcRow;
        const ptrdiff_t dstPitch = m_dstPitch, srcPitch = m_srcPitch;
        const int32_t* const offsets = row.offsets;
        const int32_t* const blocks = row.blocks;
        const int32_t* cuts = row.cuts;
        const int count = row.count;
        const int32_t* const ahead = next != nullptr ? next->offsets : nullptr;
        const int aheadCount = next != nullptr ? next->count : 0;
        const int rows = Rows > 0 ? Rows : row.height;
        const BlendConstants16 c = LoopBlendConstants16();
        // Each entry asks for the destination rows of the next row's entry of the same place: the
        // lines arrive a row's drawing later, long before they are wanted. A row's lines outgrow the
        // first-level cache, so they are asked into the second.
        const auto ask = [dstAt, dstPitch](int32_t offset) __attribute__((always_inline)) {
            // As a plain number: a block the canvas cuts may lie off the picture, and asking for an
            // address that is not there is harmless.
            const uintptr_t at = dstAt + static_cast<uintptr_t>(static_cast<ptrdiff_t>(offset));
            for (int r = 0; r < Height; ++r)
                _mm_prefetch(reinterpret_cast<const char*>(at + static_cast<uintptr_t>(r * dstPitch)), _MM_HINT_T1);
        };
        constexpr bool kPairs = Blend && Rows == 2 && (Width == 4 || Width == 2);
        int e = 0, asked = 0;
        for (int base = 0; base < count; base += 16) {
            for (const int until = std::min(base + 16, aheadCount); asked < until; ++asked)
                ask(ahead[asked]);
            [[maybe_unused]] const unsigned pairs =
                kPairs ? Pairs(offsets + base, blocks + base, count - base, dstPitch) : 0;
            for (const int end = std::min(base + 16, count); e < end; ++e) {
                const int32_t b = blocks[e];
                if (b < 0) {
                    Cut(row, cuts[0], cuts[1], cuts[2]);
                    cuts += 3;
                    continue;
                }
                BYTE* const d = dst + offsets[e];
                const BYTE* const s = srcRow + static_cast<ptrdiff_t>(b) * (Width * 4);
                if constexpr (kPairs) {
                    // Two blocks that do not overlap take one register: 4 x 2 blocks sixteen pixels,
                    // 2 x 2 blocks eight.
                    if ((pairs >> (e - base)) & 1) {
                        const int n = e + 1;
                        const BYTE* const s1 = srcRow + static_cast<ptrdiff_t>(blocks[n]) * (Width * 4);
                        if constexpr (Width == 4)
                            BlendQuads(c, d, dst + offsets[n], s, s1, dstPitch, srcPitch);
                        else
                            BlendSquaresAvx2(d, dst + offsets[n], s, s1, dstPitch, srcPitch);
                        ++e;
                        continue;
                    }
                }
                if constexpr (Blend && Width == 4 && Rows == 4) {
                    // A block 4 x 4 is one register of sixteen pixels.
                    BlendSquare4(c, d, s, dstPitch, srcPitch);
                    continue;
                }
                DrawBlock<Rows>(d, s, dstPitch, srcPitch, rows);
            }
        }
        for (; asked < aheadCount; ++asked)
            ask(ahead[asked]);
    }

    // Bit i set where entries i and i + 1 of the lists (of which left remain) are both drawn here and
    // cannot overlap. Rows a pitch apart are told apart by the offsets alone, as a block's row is
    // narrower than a pitch; places far apart across the picture may be taken for neighbours, and
    // those are only drawn one at a time. The offsets of blocks drawn here lie within 2^30 of zero,
    // so the 32-bit differences come out whole. The lists have room past their ends for the loads.
    WIPE_SIMD_AVX512 static unsigned Pairs(const int32_t* offsets, const int32_t* blocks, int left,
                                           ptrdiff_t pitch)
    {
        const __m512i d = _mm512_sub_epi32(_mm512_loadu_si512(offsets + 1), _mm512_loadu_si512(offsets));
        const __m512i p = _mm512_set1_epi32(static_cast<int32_t>(pitch));
        const __mmask16 overlap = Near(d) | Near(_mm512_sub_epi32(d, p)) | Near(_mm512_add_epi32(d, p));
        const __m512i zero = _mm512_setzero_si512();
        const __mmask16 drawn = _mm512_cmpge_epi32_mask(_mm512_loadu_si512(blocks), zero) &
                                _mm512_cmpge_epi32_mask(_mm512_loadu_si512(blocks + 1), zero);
        const unsigned within = left - 1 >= 16 ? 0xFFFFu : (1u << (left - 1)) - 1; // entry i + 1 is listed
        return drawn & within & static_cast<unsigned>(static_cast<__mmask16>(~overlap));
    }

    // Four pixels from each of a, b, c and d, in that order.
    __attribute__((always_inline)) WIPE_SIMD_AVX512 static __m512i Quarters(const BYTE* a, const BYTE* b,
                                                                            const BYTE* c, const BYTE* d)
    {
        const auto at = [](const BYTE* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
        __m512i v = _mm512_castsi128_si512(at(a));
        v = _mm512_inserti32x4(v, at(b), 1);
        v = _mm512_inserti32x4(v, at(c), 2);
        return _mm512_inserti32x4(v, at(d), 3);
    }

    // Blocks 4 x 2 from s0 and s1 blended at d0 and d1 (places that do not overlap) in one
    // register: the pixels of BlendAlpha8.
    __attribute__((always_inline)) WIPE_SIMD_AVX512 static void
    BlendQuads(const BlendConstants16& c, BYTE* d0, BYTE* d1, const BYTE* s0, const BYTE* s1, ptrdiff_t dstPitch, ptrdiff_t srcPitch)
    {
        const __m512i out = BlendAlpha16(c, Quarters(s0, s0 + srcPitch, s1, s1 + srcPitch),
                                         Quarters(d0, d0 + dstPitch, d1, d1 + dstPitch));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d0), _mm512_castsi512_si128(out));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d0 + dstPitch), _mm512_extracti32x4_epi32(out, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d1), _mm512_extracti32x4_epi32(out, 2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d1 + dstPitch), _mm512_extracti32x4_epi32(out, 3));
    }

    // A block 4 x 4 from s blended at d in one register: the pixels of BlendAlpha8.
    __attribute__((always_inline)) WIPE_SIMD_AVX512 static void
    BlendSquare4(const BlendConstants16& c, BYTE* d, const BYTE* s, ptrdiff_t dstPitch, ptrdiff_t srcPitch)
    {
        const __m512i out = BlendAlpha16(c, Quarters(s, s + srcPitch, s + 2 * srcPitch, s + 3 * srcPitch),
                                         Quarters(d, d + dstPitch, d + 2 * dstPitch, d + 3 * dstPitch));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm512_castsi512_si128(out));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + dstPitch), _mm512_extracti32x4_epi32(out, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * dstPitch), _mm512_extracti32x4_epi32(out, 2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * dstPitch), _mm512_extracti32x4_epi32(out, 3));
    }

    template <int Rows>
    __attribute__((always_inline)) WIPE_SIMD_AVX512 static void DrawBlock(BYTE* d, const BYTE* s, ptrdiff_t dstPitch,
                                                                             ptrdiff_t srcPitch, int rows)
    {
        if constexpr (!Blend) {
            for (int r = 0; r < (Rows > 0 ? Rows : rows); ++r)
                std::memcpy(d + r * dstPitch, s + r * srcPitch, Width * 4);
        } else if constexpr (Width == 4) {
            BlendBlock4Avx2(d, s, dstPitch, srcPitch, rows);
        } else {
            ShortRows<Width, Blend>(d, s, static_cast<LONG>(dstPitch), static_cast<LONG>(srcPitch), rows);
        }
    }

    __attribute__((noinline)) void Cut(const Row& row, int32_t b, int32_t x, int32_t y)
    {
        const int64_t i = int64_t{b} * Width;
        m_canvas.PieceAt(i, row.j, std::min<int64_t>(i + Width, m_w), row.j + row.height, x, y);
    }

    std::vector<int32_t>& m_lists = Scratch<int32_t, ScratchUse::ScatterLists>();
    size_t m_stride = 0;
    Row m_rows[2];
    int m_placing = 0;
    bool m_pending = false;
    bool m_ask = true;
};

// ScatterWalkAs with the 512-bit writer: place.Sixteen gives a group's corners, or else place.Eight
// gives eight, two of them a group.
template <int Width, int Height, bool Blend, typename Place>
WIPE_SIMD_AVX512 void ScatterWalk512As(CWipeCanvas& c, Place& place)
{
    using Writer = ScatterWriter512<Width, Height, Blend>;
    Writer out(c);
    typename Writer::Bounds bounds = Writer::NoBounds();
    // A copy of its own: the lists' stores cannot reach it, so its state stays in registers.
    Place at = place;
    const int perRow = out.PerRow();
    int64_t k = 0;
    for (int64_t j = 0; j < c.Height(); j += Height, ++k) {
        typename Writer::Placing row = out.BeginRow(j);
        at.Row(k, j);
        for (int b0 = 0; b0 < perRow; b0 += 16) {
            if constexpr (requires(__m512i & v) { at.Sixteen(b0, v, v); }) {
                __m512i dx, dy;
                at.Sixteen(b0, dx, dy);
                Writer::Sixteen(row, b0, dx, dy, bounds);
            } else {
                __m256i dx0, dy0, dx1 = _mm256_setzero_si256(), dy1 = _mm256_setzero_si256();
                at.Eight(b0, dx0, dy0);
                if (b0 + 8 < perRow)
                    at.Eight(b0 + 8, dx1, dy1);
                Writer::Sixteen(row, b0, _mm512_inserti64x4(_mm512_castsi256_si512(dx0), dx1, 1),
                                _mm512_inserti64x4(_mm512_castsi256_si512(dy0), dy1, 1), bounds);
            }
        }
        out.EndRow(row);
    }
    out.Finish();
    out.MarkDrawn(bounds);
}

// ScatterWalk512As for the canvas's mode; only where Scatter512Serves.
template <int Width, int Height, typename Place> WIPE_SIMD_AVX512 void ScatterWalk512(CWipeCanvas& c, Place& place)
{
    if (c.Mode() == kTransitionBlendAlpha)
        ScatterWalk512As<Width, Height, true>(c, place);
    else
        ScatterWalk512As<Width, Height, false>(c, place);
}

} // namespace wipe
