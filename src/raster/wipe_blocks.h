// Small blocks of 32-bit pixels copied or blended inline, and a writer that draws the blocks of a
// block wipe as they are worked out: a kernel call, or a list of pieces, costs more per block than
// the few pixels of the block.
#pragma once

#include "raster/pixel_simd.h"
#include "raster/pixel_simd_avx2.h"
#include "raster/wipe_canvas.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <iterator>
#include <vector>

namespace wipe {

// Copies a short run of 32-bit pixels with plain register moves: a call to memcpy costs more than
// runs of a few pixels (and the compiler folds a switch of fixed-size memcpys back into one call).
inline void CopyShort(BYTE* d, const BYTE* s, int width)
{
    int i = 0;
    for (; i + 4 <= width; i += 4)
        pixel_simd::Store4(d + i * 4, pixel_simd::Load4(s + i * 4));
    if (i + 2 <= width) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + i * 4),
                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i * 4)));
        i += 2;
    }
    if (i < width)
        pixel_simd::Store32(d + i * 4, pixel_simd::Load32(s + i * 4));
}

// Blends a short run of 32-bit pixels over the destination inline (the blocks of the block wipes
// cost more in a kernel call than in their arithmetic); the same pixels as the blend kernels.
inline void BlendShort(BYTE* d, const BYTE* s, int width)
{
    using pixel_simd::BlendAlpha4;
    int i = 0;
    for (; i + 4 <= width; i += 4)
        pixel_simd::Store4(d + i * 4, BlendAlpha4(pixel_simd::Load4(s + i * 4), pixel_simd::Load4(d + i * 4)));
    if (i + 2 <= width) {
        auto* at = reinterpret_cast<__m128i*>(d + i * 4);
        _mm_storel_epi64(at, BlendAlpha4(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i * 4)),
                                         _mm_loadl_epi64(at)));
        i += 2;
    }
    if (i < width) {
        const __m128i one = BlendAlpha4(_mm_cvtsi32_si128(static_cast<int>(pixel_simd::Load32(s + i * 4))),
                                        _mm_cvtsi32_si128(static_cast<int>(pixel_simd::Load32(d + i * 4))));
        pixel_simd::Store32(d + i * 4, static_cast<uint32_t>(_mm_cvtsi128_si32(one)));
    }
}

// Rows of a block blended eight pixels a step with AVX2, the last few of each row by BlendShort:
// the pixels of BlendShort. Only while UseAvx2Loops() holds.
PIXEL_SIMD_AVX2 inline void BlendBlockAvx2(BYTE* d, const BYTE* s, LONG dstPitch, LONG srcPitch, int width,
                                           int height)
{
    using namespace pixel_simd_avx2;
    for (int row = 0; row < height; ++row, d += dstPitch, s += srcPitch) {
        int i = 0;
        for (; i + 8 <= width; i += 8)
            Store8(d + i * 4, BlendAlpha8(Load8(s + i * 4), Load8(d + i * 4)));
        if (i < width)
            BlendShort(d + i * 4, s + i * 4, width - i);
    }
}

// Lowest and highest corners of the blocks a walk draws, lane by lane, for walks that place
// eight blocks at a time: kept with a few vector steps a group, reduced once at the end.
struct alignas(32) LaneBounds {
    int32_t left[8], top[8], right[8], bottom[8];

    LaneBounds()
    {
        std::fill(std::begin(left), std::end(left), INT32_MAX);
        std::fill(std::begin(top), std::end(top), INT32_MAX);
        std::fill(std::begin(right), std::end(right), INT32_MIN);
        std::fill(std::begin(bottom), std::end(bottom), INT32_MIN);
    }
    // The lanes of a bound moved towards v where mask is set.
    PIXEL_SIMD_AVX2 static void Widen(int32_t* lanes, __m256i v, __m256i mask, bool lowest)
    {
        const __m256i was = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes));
        const __m256i now = lowest ? _mm256_min_epi32(was, v) : _mm256_max_epi32(was, v);
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), _mm256_blendv_epi8(was, now, mask));
    }
    static int32_t Lowest(const int32_t (&lanes)[8]) { return *std::min_element(std::begin(lanes), std::end(lanes)); }
    static int32_t Highest(const int32_t (&lanes)[8]) { return *std::max_element(std::begin(lanes), std::end(lanes)); }
};

// Rows of a block of a fixed width, copied or blended.
template <int Width, bool Blend>
inline void ShortRows(BYTE* d, const BYTE* s, LONG dstPitch, LONG srcPitch, int height)
{
    if constexpr (Blend && Width == 2) {
        // Two rows of two pixels make one register.
        int row = 0;
        for (; row + 2 <= height; row += 2, d += 2 * dstPitch, s += 2 * srcPitch) {
            const auto load = [](const BYTE* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); };
            const __m128i src = _mm_unpacklo_epi64(load(s), load(s + srcPitch));
            const __m128i dst = _mm_unpacklo_epi64(load(d), load(d + dstPitch));
            const __m128i out = pixel_simd::BlendAlpha4(src, dst);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d), out);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + dstPitch), _mm_unpackhi_epi64(out, out));
        }
        if (row < height)
            BlendShort(d, s, 2);
        return;
    }
    for (int row = 0; row < height; ++row, d += dstPitch, s += srcPitch) {
        if constexpr (Blend)
            BlendShort(d, s, Width);
        else
            CopyShort(d, s, Width);
    }
}

// Draws the blocks of one step as they come, in that order: the same pixels as Pieces given the
// same blocks. Blocks Width pixels wide that lie inside both clips take a loop made for them; any
// other block is cut and drawn by the canvas. Only for memory images that draw in any order, with
// plain copies or blends (CWipeCanvas::WritesBlocks).
template <int Width, bool Blend> class BlockWriter {
public:
    explicit BlockWriter(CWipeCanvas& canvas)
        : m_canvas(canvas),
          m_dst(canvas.m_dstBits),
          m_src(canvas.m_srcBits),
          m_dstPitch(canvas.m_dstPitch),
          m_srcPitch(canvas.m_srcPitch),
          m_lMin(canvas.m_srcClip.left),
          m_lSpan(int64_t{canvas.m_srcClip.right} - Width - canvas.m_srcClip.left),
          m_tMin(canvas.m_srcClip.top),
          m_tMax(canvas.m_srcClip.bottom),
          m_dxMin(canvas.m_clip.left),
          m_dxSpan(int64_t{canvas.m_clip.right} - Width - canvas.m_clip.left),
          m_dxMax(canvas.m_clip.right),
          m_dyMin(canvas.m_clip.top),
          m_dyMax(canvas.m_clip.bottom)
    {
    }
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;
    ~BlockWriter()
    {
        if (m_left < m_right)
            m_canvas.Track(m_left, m_top, m_right, m_bottom);
    }

    // Inlined into each entry's loop: a call per block costs as much as the block.
    __attribute__((always_inline)) void Add(const CWipeCanvas::Placed& p)
    {
        // A negative span leaves every block to the canvas (the unsigned compare then fails).
        const int64_t h = p.b - p.t;
        const bool inside = p.r - p.l == Width && h > 0 && m_lSpan >= 0 && m_dxSpan >= 0 &&
                            static_cast<uint64_t>(p.l - m_lMin) <= static_cast<uint64_t>(m_lSpan) &&
                            static_cast<uint64_t>(p.dx - m_dxMin) <= static_cast<uint64_t>(m_dxSpan) &&
                            p.t >= m_tMin && p.b <= m_tMax && p.dy >= m_dyMin && p.dy + h <= m_dyMax;
        if (!inside) {
            // Blocks thrown off the picture are most of a burst's early steps: they are dropped
            // here; a block that may show in part is cut by the canvas.
            const bool misses = p.dx >= m_dxMax || p.dx + (p.r - p.l) <= m_dxMin || p.dy >= m_dyMax ||
                                p.dy + h <= m_dyMin;
            if (!misses)
                m_canvas.PieceAt(p.l, p.t, p.r, p.b, p.dx, p.dy);
            return;
        }
        BYTE* d = m_dst + static_cast<ptrdiff_t>(p.dy) * m_dstPitch + p.dx * 4;
        const BYTE* s = m_src + static_cast<ptrdiff_t>(p.t) * m_srcPitch + p.l * 4;
        if (kWideBlend && m_avx2)
            BlendBlockAvx2(d, s, m_dstPitch, m_srcPitch, Width, static_cast<int>(h));
        else
            ShortRows<Width, Blend>(d, s, m_dstPitch, m_srcPitch, static_cast<int>(h));
        m_left = std::min(m_left, p.dx);
        m_top = std::min(m_top, p.dy);
        m_right = std::max(m_right, p.dx + Width);
        m_bottom = std::max(m_bottom, p.dy + h);
    }

    // Nothing waits for the end of a grid row.
    void EndRow() {}

private:
    // Blended blocks a register wide or wider take the AVX2 rows (narrower ones lose the call).
    static constexpr bool kWideBlend = Blend && Width >= 8;

    CWipeCanvas& m_canvas;
    const bool m_avx2 = kWideBlend && UseAvx2Loops();
    BYTE* m_dst;
    const BYTE* m_src;
    LONG m_dstPitch;
    LONG m_srcPitch;
    int64_t m_lMin, m_lSpan, m_tMin, m_tMax;
    int64_t m_dxMin, m_dxSpan, m_dxMax, m_dyMin, m_dyMax;
    int64_t m_left = INT64_MAX, m_top = INT64_MAX, m_right = INT64_MIN, m_bottom = INT64_MIN;
};

// The pieces of a grid row, drawn together by CWipeCanvas::Pieces when the row is done: the
// blocks' path where BlockWriter does not serve.
class PieceBatch {
public:
    PieceBatch(CWipeCanvas& c, size_t perRow) : m_canvas(c)
    {
        m_pieces.clear();
        m_pieces.reserve(perRow);
    }
    void Add(const CWipeCanvas::Placed& p) { m_pieces.push_back(p); }
    void EndRow()
    {
        m_canvas.Pieces(m_pieces);
        m_pieces.clear();
    }

private:
    CWipeCanvas& m_canvas;
    std::vector<CWipeCanvas::Placed>& m_pieces = Scratch<CWipeCanvas::Placed, ScratchUse::Pieces>();
};

} // namespace wipe
