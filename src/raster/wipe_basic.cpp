// Wipe entries 0 to 33 (mirrors, stretches, jitter, block dissolves, squares, interleaves, discs,
// waves, torn edges, growing cells) and the shared band and slide routines.
#include "platform/cpu_info.h"
#include "raster/row_kernels.h"
#include "raster/wipe_basic_columns.h"
#include "raster/wipe_basic_masks.h"
#include "raster/wipe_basic_rows.h"
#include "raster/wipe_basic_scatter.h"
#include "raster/wipe_blocks.h"
#include "raster/wipe_common.h"
#include "raster/wipe_rows_avx512.h"

#include <cstring>
#include <vector>

using wipe::Cos;
using wipe::Draw;
using wipe::ISqrt;

// --- mirrors ------------------------------------------------------------------------------------

namespace {

// Entry 0's blend sixteen pixels a step where the wipes' 512-bit loops run, cut to both clips as
// CWipeCanvas::MirroredColumns cuts it; false where the canvas draws it.
bool MirroredColumnsWide(CWipeCanvas& c)
{
    CWipeCanvas::Memory m{};
    if (c.Mode() != kTransitionBlendAlpha || !wipe::UseAvx512Loops() || !c.DirectMemory(m))
        return false;
    const int64_t w = c.Width(), h = c.Height(), x = c.X(), y = c.Y();
    const RECT& from = c.SourceClip();
    const RECT& to = c.Clip();
    // Rows in place; destination column d shows source column x + w - 1 - d.
    const int64_t t0 = std::max<int64_t>({0, from.top, to.top - y});
    const int64_t t1 = std::min<int64_t>({h, from.bottom, to.bottom - y});
    const int64_t srcLeft = std::max<int64_t>(0, from.left), srcRight = std::min<int64_t>(w, from.right);
    const int64_t d0 = std::max<int64_t>({x, to.left, x + w - srcRight});
    const int64_t d1 = std::min<int64_t>({x + w, to.right, x + w - srcLeft});
    if (t0 >= t1 || d0 >= d1)
        return true;
    wipe::MirroredBlendRowsAvx512(m.dst + static_cast<ptrdiff_t>(y + t0) * m.dstPitch + d0 * 4,
                                  m.src + static_cast<ptrdiff_t>(t0) * m.srcPitch + (x + w - d0) * 4, m.dstPitch,
                                  m.srcPitch, static_cast<int>(d1 - d0), static_cast<int>(t1 - t0));
    c.MarkDrawn(d0, y + t0, d1, y + t1);
    return true;
}

} // namespace

TESSARO_WIPE(WipeMirrorColumns)
{
    WIPE_BEGIN(c);
    // Column i at x + w - 1 - i, for every column (the canvas runs them as one mirrored copy).
    if (!MirroredColumnsWide(c))
        c.MirroredColumns();
    return 0;
}

namespace {

// Entry 1's rows in one call of the row kernel, the destination walked upwards, so the kernel's
// look-ahead follows the rows it draws next; the pixels of one piece per row. False where the
// pieces do not go straight to the row kernels.
bool MirroredRowsAtOnce(CWipeCanvas& c)
{
    CWipeCanvas::Memory m{};
    if (!c.DirectMemory(m))
        return false;
    const int64_t w = c.Width(), h = c.Height(), x = c.X(), y = c.Y();
    const RECT& from = c.SourceClip();
    const RECT& to = c.Clip();
    // Source row i lands on row y + h - 1 - i; rows and columns cut to both clips.
    const int64_t l = std::max<int64_t>({0, from.left, to.left - x});
    const int64_t r = std::min<int64_t>({w, from.right, to.right - x});
    const int64_t i0 = std::max<int64_t>({0, from.top, y + h - to.bottom});
    const int64_t i1 = std::min<int64_t>({h, from.bottom, y + h - to.top});
    if (l >= r || i0 >= i1)
        return true;
    const int width = static_cast<int>(r - l), rows = static_cast<int>(i1 - i0);
    BYTE* d = m.dst + static_cast<ptrdiff_t>(y + h - 1 - i0) * m.dstPitch + static_cast<ptrdiff_t>(x + l) * 4;
    const BYTE* p = m.src + static_cast<ptrdiff_t>(i0) * m.srcPitch + static_cast<ptrdiff_t>(l) * 4;
    const int dstSkip = -m.dstPitch - width * 4, srcSkip = m.srcPitch - width * 4;
    if (c.Mode() == kTransitionBlendAlpha)
        (g_bUseMmx ? BlendAlphaRows32Mmx : BlendAlphaRows32)(d, p, dstSkip, srcSkip, width, rows);
    else if (c.ColorKey() != 0xFFFFFFFFu)
        CopyKeyRows32(d, p, dstSkip, srcSkip, width, rows, c.ColorKey());
    else
        (g_bUseMmx ? CopyRows32Mmx : CopyRows32)(d, p, dstSkip, srcSkip, width, rows);
    c.MarkDrawn(x + l, y + h - i1, x + r, y + h - i0);
    return true;
}

} // namespace

TESSARO_WIPE(WipeMirrorRows)
{
    WIPE_BEGIN(c);
    if (MirroredRowsAtOnce(c))
        return 0;
    const int64_t w = c.Width(), h = c.Height();
    for (int64_t i = 0; i < h; ++i)
        c.PieceAt(0, i, w, i + 1, x, int64_t{y} + h - 1 - i);
    return 0;
}

// --- cosine stretches ---------------------------------------------------------------------------

TESSARO_WIPE(WipeStretchRows)
{
    WIPE_BEGIN(c);
    if (g_pCosTable == nullptr)
        return 1;
    const int64_t w = c.Width(), h = c.Height();
    const double a = (256 - progress) * 0.00390625;
    if (!c.DrawsInAnyOrder() || h > (int64_t{1} << 40)) {
        for (int64_t i = 0; i < h; ++i) {
            const int64_t cs = Cos((i * 256) / h - 128);
            const double f = static_cast<double>(2 * cs) * a * (1.0 / 65536) + 1.0;
            const int64_t width = static_cast<int64_t>(f * static_cast<double>(w));
            const int64_t shift = static_cast<int64_t>((f - 1.0) * static_cast<double>(w >> 1));
            c.StretchedRows(0, i, w, i + 1, width, 1, int64_t{x} - shift, int64_t{y} + i);
        }
        return 0;
    }
    wipe::StretchedRowBatch batch(c);
    // Each row lands on a row of its own, so the rows may come in any order: those of cosine
    // index 128 - d and 128 + d stretch alike (the cosine is even), and drawn one after the other
    // they share one table of source columns (and are drawn together).
    const auto rowsOf = [&](int64_t index) {
        const int64_t cs = Cos(index - 128);
        const double f = static_cast<double>(2 * cs) * a * (1.0 / 65536) + 1.0;
        const int64_t width = static_cast<int64_t>(f * static_cast<double>(w));
        const int64_t shift = static_cast<int64_t>((f - 1.0) * static_cast<double>(w >> 1));
        // Rows i with (i * 256) / h == index: index h <= 256 i < (index + 1) h.
        const int64_t end = std::min(h, ((index + 1) * h + 255) / 256);
        for (int64_t i = (index * h + 255) / 256; i < end; ++i)
            batch.Add(0, i, w, i + 1, width, 1, int64_t{x} - shift, int64_t{y} + i);
    };
    for (int64_t d = 0; d <= 128; ++d) {
        rowsOf(128 - d);
        if (d > 0 && d < 128)
            rowsOf(128 + d);
    }
    return 0;
}

TESSARO_WIPE(WipeStretchColumns)
{
    WIPE_BEGIN(c);
    if (g_pCosTable == nullptr)
        return 1;
    const int64_t w = c.Width(), h = c.Height();
    const double a = (256 - progress) * 0.00390625;
    auto& columns = wipe::Scratch<CWipeCanvas::ColumnStretch, wipe::ScratchUse::Stretches>();
    columns.clear();
    columns.reserve(static_cast<size_t>(w));
    for (int64_t i = 0; i < w; ++i) {
        const int64_t cs = Cos((i * 256) / w - 128);
        const double f = static_cast<double>(2 * cs) * a * (1.0 / 65536) + 1.0;
        const int64_t height = static_cast<int64_t>(f * static_cast<double>(h));
        const int64_t shift = static_cast<int64_t>((f - 1.0) * static_cast<double>(h >> 1));
        // Piece (i, 0, i + 1, h) stretched to (1, height) at (x + i, y - shift).
        columns.push_back(CWipeCanvas::ColumnStretch{i, height, int64_t{x} + i, int64_t{y} - shift});
    }
    if (!wipe::DrawStretchedColumnRows(c, columns))
        c.StretchedColumns(columns);
    return 0;
}

// --- jitter -------------------------------------------------------------------------------------

namespace {

// One-row pieces of blends, and of plain copies where `copies`, drawn through the 512-bit row
// loops where they run (PieceAt otherwise): a row moved a few pixels off its alignment costs the
// row kernels a split line a store. The extent of what was drawn goes to the step's bounds at the
// end.
class WideRows {
public:
    WideRows(CWipeCanvas& c, bool copies) : m_c(c)
    {
        const bool copy = copies && c.Mode() == kTransitionCopy && c.ColorKey() == 0xFFFFFFFFu;
        m_on = wipe::UseAvx512Loops() && (c.Mode() == kTransitionBlendAlpha || copy) && c.DirectMemory(m_m);
        m_blend = c.Mode() == kTransitionBlendAlpha;
    }
    WideRows(const WideRows&) = delete;
    WideRows& operator=(const WideRows&) = delete;
    ~WideRows()
    {
        if (m_left < m_right)
            m_c.MarkDrawn(m_left, m_top, m_right, m_bottom);
    }

    // Source columns l..r-1 of row i with its left end at (dx, dy), as PieceAt draws it.
    void Row(int64_t l, int64_t i, int64_t r, int64_t dx, int64_t dy)
    {
        if (!m_on) {
            m_c.PieceAt(l, i, r, i + 1, dx, dy);
            return;
        }
        CWipeCanvas::Placed p{l, i, r, i + 1, dx, dy};
        if (!m_c.CutPiece(p))
            return;
        BYTE* d = m_m.dst + static_cast<ptrdiff_t>(p.dy) * m_m.dstPitch + p.dx * 4;
        const BYTE* s = m_m.src + static_cast<ptrdiff_t>(p.t) * m_m.srcPitch + p.l * 4;
        if (m_blend)
            wipe::BlendPixelsAvx512(d, s, p.r - p.l);
        else
            wipe::rows_detail::CopyPixelsAvx512(d, s, p.r - p.l);
        m_left = std::min(m_left, p.dx);
        m_top = std::min(m_top, p.dy);
        m_right = std::max(m_right, p.dx + (p.r - p.l));
        m_bottom = std::max(m_bottom, p.dy + 1);
    }

private:
    CWipeCanvas& m_c;
    CWipeCanvas::Memory m_m{};
    bool m_on = false;
    bool m_blend = false;
    int64_t m_left = INT64_MAX, m_top = INT64_MAX, m_right = INT64_MIN, m_bottom = INT64_MIN;
};

} // namespace

TESSARO_WIPE(WipeJitterRows)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    // From 256 on only an unknown mode gets here; it draws nothing, and there is no range left.
    const uint32_t range = progress < 256 ? static_cast<uint32_t>(256 - progress) : 1;
    // Plain copies too: their rows land off the alignment of their source rows, which the 512-bit
    // copy reads a line at a time and shifts into place.
    WideRows rows(c, true);
    for (int64_t i = 0; i < h; ++i) {
        const int64_t d = static_cast<int64_t>(Draw() % range) - (range >> 1);
        rows.Row(0, i, w, int64_t{x} + d, int64_t{y} + i);
    }
    return 0;
}

// --- blocks of 4 x 2 ----------------------------------------------------------------------------

namespace {

// Each block moved from its place in the source by up to K - 1 pixels right and down when its draw
// is above the progress. K is a constant of each instance, so the remainders need no division.
template <uint32_t K, typename Out> void ScatterBlockRows(CWipeCanvas& c, int32_t progress, Out& out)
{
    const int64_t w = c.Width(), h = c.Height();
    wipe::RandomRun random;
    for (int64_t y0 = 0; y0 < h; y0 += 2) {
        const int64_t bh = std::min<int64_t>(2, h - y0);
        for (int64_t x0 = 0; x0 < w; x0 += 4) {
            const int64_t bw = std::min<int64_t>(4, w - x0);
            int64_t dx = 0, dy = 0;
            if (random.ThreeAhead()) {
                // Whether the block moves is a coin toss at mid progress: the draws it may need
                // are read ahead and taken without a branch on it.
                const bool moved = progress < static_cast<int32_t>(random.Peek(1) & 255);
                const int64_t take = -static_cast<int64_t>(moved);
                dx = static_cast<int64_t>(random.Peek(2) % K) & take;
                dy = static_cast<int64_t>(random.Peek(3) % K) & take;
                random.Skip(moved ? 3 : 1);
            } else if (progress < static_cast<int32_t>(random.Draw() & 255)) {
                dx = random.Draw() % K;
                dy = random.Draw() % K;
            }
            if (x0 + dx + bw > w)
                dx = 0;
            if (y0 + dy + bh > h)
                dy = 0;
            out.Add(CWipeCanvas::Placed{x0 + dx, y0 + dy, x0 + dx + bw, y0 + dy + bh, int64_t{c.X()} + x0,
                                        int64_t{c.Y()} + y0});
        }
        out.EndRow();
    }
}

// Each row of blocks drawn as one batch, or each block as it comes where the canvas allows.
template <uint32_t K> void ScatterBlocks(CWipeCanvas& c, int32_t progress)
{
    if (wipe::DrawScatteredBlockRows(c, progress, K))
        return;
    if (c.WritesBlocks() && c.Mode() == kTransitionBlendAlpha) {
        wipe::BlockWriter<4, true> out(c);
        ScatterBlockRows<K>(c, progress, out);
    } else if (c.WritesBlocks()) {
        wipe::BlockWriter<4, false> out(c);
        ScatterBlockRows<K>(c, progress, out);
    } else {
        wipe::PieceBatch out(c, static_cast<size_t>((c.Width() + 3) / 4));
        ScatterBlockRows<K>(c, progress, out);
    }
}

} // namespace

TESSARO_WIPE(WipeScatterBlocks)
{
    WIPE_BEGIN(c);
    if (progress < 128)
        ScatterBlocks<10>(c, progress);
    else if (progress < 200)
        ScatterBlocks<6>(c, progress);
    else if (progress <= 229)
        ScatterBlocks<4>(c, progress);
    else
        ScatterBlocks<2>(c, progress);
    return 0;
}

namespace {

// The dissolves of 4 x 2 blocks: one draw per block in grid order, the block shown when its low
// eight bits are at most the threshold of its position, rowPart(y0) + columnPart(x0). The column
// parts are worked out once per step, not once per block.
// Sets the mask bytes of columns x0..x0+N-1 (clamped to the width) to shown; a whole block is
// one store.
template <int N> void MarkBlock(uint8_t* on, int64_t w, int64_t x0, bool shown)
{
    uint8_t bytes[N];
    for (uint8_t& b : bytes)
        b = shown ? 1 : 0;
    if (x0 + N <= w)
        std::memcpy(on + x0, bytes, N);
    else
        std::memcpy(on + x0, bytes, static_cast<size_t>(w - x0));
}

// Rows of blocks drawn straight (DirectGrid), two source rows each, and the extent of what
// showed, added to the step's bounds when the walk ends.
class ShownRows {
public:
    ShownRows(CWipeCanvas& c, const CWipeCanvas::Memory& m) : m_c(c), m_m(m) {}
    ShownRows(const ShownRows&) = delete;
    ShownRows& operator=(const ShownRows&) = delete;
    ~ShownRows()
    {
        if (m_l < m_r)
            m_c.MarkDrawn(int64_t{m_c.X()} + m_l, int64_t{m_c.Y()} + m_top, int64_t{m_c.X()} + m_r,
                          int64_t{m_c.Y()} + m_bottom);
    }

    // The row of blocks at y0.
    wipe::BlockRows Rows(int64_t y0) const
    {
        return wipe::BlockRows{
            m_m.dst + static_cast<ptrdiff_t>(m_c.Y() + y0) * m_m.dstPitch + static_cast<ptrdiff_t>(m_c.X()) * 4,
            m_m.dstPitch, m_m.src + static_cast<ptrdiff_t>(y0) * m_m.srcPitch, m_m.srcPitch,
            static_cast<int>(std::min<int64_t>(2, m_c.Height() - y0))};
    }
    // Columns l..r-1 of the row of blocks at y0 showed (none while l >= r).
    void Add(int64_t y0, int64_t l, int64_t r)
    {
        if (l >= r)
            return;
        if (m_l >= m_r)
            m_top = y0;
        m_l = std::min(m_l, l);
        m_r = std::max(m_r, r);
        m_bottom = std::min<int64_t>(y0 + 2, m_c.Height());
    }

private:
    CWipeCanvas& m_c;
    const CWipeCanvas::Memory m_m;
    int64_t m_l = INT64_MAX, m_r = INT64_MIN, m_top = 0, m_bottom = 0;
};

template <typename RowPart, typename ColumnPart>
void DissolveBlocks(CWipeCanvas& c, RowPart rowPart, ColumnPart columnPart)
{
    const int64_t w = c.Width(), h = c.Height();
    std::vector<int64_t>& columns = wipe::Scratch<int64_t, wipe::ScratchUse::Columns>();
    columns.clear();
    for (int64_t x0 = 0; x0 < w; x0 += 4)
        columns.push_back(columnPart(x0));
    uint8_t* on = c.ColumnMask();
    if (wipe::UseAvx2Loops() &&
        std::all_of(columns.begin(), columns.end(), [](int64_t v) { return v >= 0 && v <= 255; })) {
        // Eight blocks' draws at a time.
        std::vector<int32_t>& parts = wipe::Scratch<int32_t, wipe::ScratchUse::DissolveParts>();
        parts.assign(columns.begin(), columns.end());
        wipe::MaskDraws draws;
        CWipeCanvas::Memory m{};
        if (wipe::DirectGrid(c, m) && (c.Mode() == kTransitionCopy || w <= wipe::kWidestBlendedRow)) {
            const bool blend = c.Mode() == kTransitionBlendAlpha;
            const wipe::PartOrder order = wipe::OrderOfParts(parts.data(), static_cast<int64_t>(parts.size()));
            ShownRows shown(c, m);
            for (int64_t y0 = 0; y0 < h; y0 += 2) {
                int64_t l = 0, r = 0;
                if (blend)
                    draws.BlendDissolveRow(shown.Rows(y0), w, rowPart(y0), parts.data(), order, l, r);
                else
                    draws.CopyDissolveRow(shown.Rows(y0), w, rowPart(y0), parts.data(), order, l, r);
                shown.Add(y0, l, r);
            }
            return;
        }
        for (int64_t y0 = 0; y0 < h; y0 += 2) {
            draws.DissolveRow(on, w, rowPart(y0), parts.data());
            c.ScatteredMaskedRows(y0, std::min<int64_t>(y0 + 2, h), on);
        }
        return;
    }
    wipe::RandomRun random;
    const int64_t whole = w / 4; // blocks of four columns; a narrower one may end the row
    const int64_t* const part = columns.data();
    for (int64_t y0 = 0; y0 < h; y0 += 2) {
        const int64_t row = rowPart(y0);
        for (int64_t k = 0; k < whole; ++k) {
            const uint32_t shown = static_cast<int64_t>(random.Draw() & 255) <= row + part[k] ? 1 : 0;
            const uint32_t bytes = shown * 0x01010101u;
            std::memcpy(on + 4 * k, &bytes, 4);
        }
        if (whole * 4 < w)
            MarkBlock<4>(on, w, whole * 4, static_cast<int64_t>(random.Draw() & 255) <= row + part[whole]);
        c.ScatteredMaskedRows(y0, std::min<int64_t>(y0 + 2, h), on);
    }
}

int64_t None(int64_t)
{
    return 0;
}

} // namespace

TESSARO_WIPE(WipeDissolveBlocks)
{
    WIPE_BEGIN(c);
    DissolveBlocks(
        c, [&](int64_t) { return int64_t{progress}; }, None);
    return 0;
}

TESSARO_WIPE(WipeDissolveFromTop)
{
    WIPE_BEGIN(c);
    const int64_t h = c.Height();
    DissolveBlocks(
        c, [&](int64_t y0) { return ((h - 1 - y0) * 256) / h - 256 + 2 * int64_t{progress}; }, None);
    return 0;
}

TESSARO_WIPE(WipeDissolveFromBottom)
{
    WIPE_BEGIN(c);
    const int64_t h = c.Height();
    DissolveBlocks(
        c, [&](int64_t y0) { return (y0 * 256) / h - 256 + 2 * int64_t{progress}; }, None);
    return 0;
}

TESSARO_WIPE(WipeDissolveFromLeft)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width();
    DissolveBlocks(
        c, [&](int64_t) { return 2 * int64_t{progress} - 256; },
        [&](int64_t x0) { return ((w - 1 - x0) * 256) / w; });
    return 0;
}

TESSARO_WIPE(WipeDissolveFromRight)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width();
    DissolveBlocks(
        c, [&](int64_t) { return 2 * int64_t{progress} - 256; }, [&](int64_t x0) { return (x0 * 256) / w; });
    return 0;
}

// --- squares ------------------------------------------------------------------------------------

namespace {

// The piece (l, t, l + s, t + s) with left and top clamped to 0 first and the far edges cut.
void SquarePiece(CWipeCanvas& c, int64_t l, int64_t t, int64_t s)
{
    l = std::max<int64_t>(l, 0);
    t = std::max<int64_t>(t, 0);
    c.Piece(l, t, std::min<int64_t>(l + s, c.Width()), std::min<int64_t>(t + s, c.Height()));
}

int64_t SquareSide(const CWipeCanvas& c, int32_t progress)
{
    return (int64_t{std::max(c.Width(), c.Height())} * progress) >> 8;
}

} // namespace

TESSARO_WIPE(WipeSquareFromCenter)
{
    WIPE_BEGIN(c);
    const int64_t m = std::max(c.Width(), c.Height());
    const int64_t half = (m * progress) >> 9;
    SquarePiece(c, (c.Width() >> 1) - half, (c.Height() >> 1) - half, SquareSide(c, progress));
    return 0;
}

TESSARO_WIPE(WipeSquareFromTopLeft)
{
    WIPE_BEGIN(c);
    SquarePiece(c, 0, 0, SquareSide(c, progress));
    return 0;
}

TESSARO_WIPE(WipeSquareFromTopRight)
{
    WIPE_BEGIN(c);
    const int64_t s = SquareSide(c, progress);
    SquarePiece(c, c.Width() - s, 0, s);
    return 0;
}

TESSARO_WIPE(WipeSquareFromBottomLeft)
{
    WIPE_BEGIN(c);
    const int64_t s = SquareSide(c, progress);
    SquarePiece(c, 0, c.Height() - s, s);
    return 0;
}

TESSARO_WIPE(WipeSquareFromBottomRight)
{
    WIPE_BEGIN(c);
    const int64_t s = SquareSide(c, progress);
    SquarePiece(c, c.Width() - s, c.Height() - s, s);
    return 0;
}

// --- interleaves --------------------------------------------------------------------------------

TESSARO_WIPE(WipeInterleaveRows)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    const int64_t s = (w * progress) >> 8;
    const int64_t l = std::max<int64_t>(w - s - 1, 0);
    for (int64_t i = 0; i < h; i += 2) {
        c.Piece(0, i, std::min(s, w), i + 1);
        c.Piece(l, i + 1, w, std::min(i + 2, h));
    }
    return 0;
}

namespace {

// Columns in classes by their phase (column mod n); class k shows rows top[k]..bottom[k]-1. Drawn
// as bands of rows with a column mask each: the pixels of one piece per column, in memory order.
void ColumnClasses(CWipeCanvas& c, int n, const int64_t* top, const int64_t* bottom)
{
    const int64_t w = c.Width(), h = c.Height();
    std::vector<int64_t>& edges = wipe::Scratch<int64_t, wipe::ScratchUse::Edges>();
    edges.assign({0, h});
    for (int k = 0; k < n; ++k) {
        edges.push_back(std::clamp<int64_t>(top[k], 0, h));
        edges.push_back(std::clamp<int64_t>(bottom[k], 0, h));
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    uint8_t* on = c.ColumnMask();
    for (size_t e = 0; e + 1 < edges.size(); ++e) {
        const int64_t a = edges[e], b = edges[e + 1];
        bool any = false;
        for (int64_t i = 0; i < w; ++i) {
            const int k = static_cast<int>(i % n);
            on[i] = top[k] <= a && b <= bottom[k] ? 1 : 0;
            any = any || on[i];
        }
        // Where sixteen columns blend under a lane mask, each group is blended once.
        if (any && c.BlendsByLanes())
            c.PhasedMaskedRows(a, b, on, 1, b);
        else if (any)
            c.ScatteredMaskedRows(a, b, on);
    }
}

} // namespace

TESSARO_WIPE(WipeInterleaveColumns)
{
    WIPE_BEGIN(c);
    const int64_t h = c.Height();
    const int64_t s = (h * progress) >> 8;
    const int64_t t = std::max<int64_t>(h - s - 1, 0);
    // Even columns (i, 0, i + 1, min(s, h)); odd columns (i + 1, t, i + 2, h).
    const int64_t top[2] = {0, t};
    const int64_t bottom[2] = {std::min(s, h), h};
    ColumnClasses(c, 2, top, bottom);
    return 0;
}

TESSARO_WIPE(WipeInterleaveRows4)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    const int64_t s = (w * progress) >> 7;
    const int64_t l = std::max<int64_t>(w - s - 1, 0);
    const bool second = progress >= 129;
    const int64_t s2 = second ? ((progress - 128) * w) >> 7 : 0;
    const int64_t l2 = std::max<int64_t>(w - s2 - 1, 0);
    if (c.DrawsInAnyOrder() && c.Mode() == kTransitionBlendAlpha) {
        // Every piece is a row of its own, so the blended rows go down the picture in order, as
        // the look-ahead of memory expects, instead of in two passes.
        WideRows rows(c, false);
        const int64_t x0 = c.X(), y0 = c.Y();
        for (int64_t g = 0; g < h; g += 4) {
            rows.Row(0, g, std::min(s, w), x0, y0 + g);
            if (second)
                rows.Row(0, g + 1, std::min(s2, w), x0, y0 + g + 1);
            rows.Row(l, g + 2, w, x0 + l, y0 + g + 2);
            if (second)
                rows.Row(l2, g + 3, w, x0 + l2, y0 + g + 3);
        }
        return 0;
    }
    for (int64_t g = 0; g < h; g += 4) {
        c.Piece(0, g, std::min(s, w), g + 1);
        c.Piece(l, g + 2, w, std::min(g + 3, h));
    }
    if (second) {
        for (int64_t g = 0; g < h; g += 4) {
            c.Piece(0, g + 1, std::min(s2, w), std::min(g + 2, h));
            c.Piece(l2, g + 3, w, std::min(g + 4, h));
        }
    }
    return 0;
}

TESSARO_WIPE(WipeInterleaveColumns4)
{
    WIPE_BEGIN(c);
    const int64_t h = c.Height();
    const int64_t s = (h * progress) >> 7;
    const int64_t t = std::max<int64_t>(h - s - 1, 0);
    // Column g from the top, g + 2 from the bottom; from 129 on, g + 1 from the top and g + 3 from
    // the bottom as a second pass.
    int64_t top[4] = {0, 0, t, h};
    int64_t bottom[4] = {std::min(s, h), 0, h, h};
    if (progress >= 129) {
        const int64_t s2 = ((progress - 128) * h) >> 7;
        bottom[1] = std::min(s2, h);
        top[3] = std::max<int64_t>(h - s2 - 1, 0);
    }
    ColumnClasses(c, 4, top, bottom);
    return 0;
}

// --- noisy circle -------------------------------------------------------------------------------

namespace {

// ISqrt(v) <= m, without the root where it is exact: ISqrt is the floor of the root while v stays
// below 2^52, and then ISqrt(v) <= m exactly when v < (m + 1)^2.
inline bool WithinNoisyRadius(int64_t v, int64_t m)
{
    if (m < 0)
        return false;
    if (v < (int64_t{1} << 52) && m < (int64_t{1} << 26))
        return v < (m + 1) * (m + 1);
    return ISqrt(v) <= m;
}

} // namespace

TESSARO_WIPE(WipeNoisyCircle)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    const int64_t radius = ((w + h) * progress) >> 8;
    uint8_t* on = c.ColumnMask();
    // Where every squared distance stays below 2^52 and every radius below 2^26, the test is a
    // plain compare of squares (WithinNoisyRadius's exact case) and runs without a branch.
    const int64_t far = std::max(w, h);
    const bool plain =
        far < (int64_t{1} << 24) && radius < (int64_t{1} << 25) && radius > -(int64_t{1} << 25);
    if (wipe::UseAvx2Loops() && w <= 16384 && h <= 16384) {
        // Eight blocks' draws at a time; every square then fits 32 bits.
        std::vector<int32_t>& across = wipe::Scratch<int32_t, wipe::ScratchUse::CircleAcross>();
        across.clear();
        for (int64_t x0 = 0; x0 < w; x0 += 2)
            across.push_back(static_cast<int32_t>((2 * x0 - w) * (2 * x0 - w)));
        wipe::MaskDraws draws;
        CWipeCanvas::Memory m{};
        if (wipe::DirectGrid(c, m)) {
            const bool blend = c.Mode() == kTransitionBlendAlpha;
            ShownRows shown(c, m);
            for (int64_t y0 = 0; y0 < h; y0 += 2) {
                int64_t l = 0, r = 0;
                const auto dySquared = static_cast<int32_t>((2 * y0 - h) * (2 * y0 - h));
                if (blend)
                    draws.BlendCircleRow(shown.Rows(y0), w, dySquared, static_cast<int32_t>(radius), across.data(),
                                         l, r);
                else
                    draws.CopyCircleRow(shown.Rows(y0), w, dySquared, static_cast<int32_t>(radius), across.data(), l,
                                        r);
                shown.Add(y0, l, r);
            }
            return 0;
        }
        for (int64_t y0 = 0; y0 < h; y0 += 2) {
            draws.CircleRow(on, w, static_cast<int32_t>((2 * y0 - h) * (2 * y0 - h)),
                            static_cast<int32_t>(radius), across.data());
            c.ScatteredMaskedRows(y0, std::min<int64_t>(y0 + 2, h), on);
        }
        return 0;
    }
    wipe::RandomRun random;
    const int64_t pairs = w / 2; // blocks of two columns; a single one may end the row
    for (int64_t y0 = 0; y0 < h; y0 += 2) {
        const int64_t dy = 2 * y0 - h;
        int64_t x0 = 0;
        if (plain) {
            for (int64_t k = 0; k < pairs; ++k, x0 += 2) {
                const int64_t dx = 2 * x0 - w;
                const int64_t m = radius - static_cast<int64_t>(random.Draw() & 255);
                const uint16_t shown = m >= 0 && dy * dy + dx * dx < (m + 1) * (m + 1) ? 0x0101 : 0;
                std::memcpy(on + x0, &shown, 2);
            }
        }
        for (; x0 < w; x0 += 2) {
            const int64_t dx = 2 * x0 - w;
            const int64_t r8 = random.Draw() & 255;
            MarkBlock<2>(on, w, x0, WithinNoisyRadius(dy * dy + dx * dx, radius - r8));
        }
        c.ScatteredMaskedRows(y0, std::min<int64_t>(y0 + 2, h), on);
    }
    return 0;
}

// --- torn edges ---------------------------------------------------------------------------------

namespace {

void TornOffsets(int64_t w, int64_t o[6])
{
    o[0] = -w / 9;
    o[1] = w / 9;
    o[2] = -(2 * w) / 9;
    o[3] = (2 * w) / 9;
    o[4] = -w / 3;
    o[5] = w / 3;
}

} // namespace

TESSARO_WIPE(WipeTornFromTop)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    const int64_t s = (h * progress) >> 8;
    c.Piece(0, 0, w, std::min(h, s));
    int64_t o[6];
    TornOffsets(w, o);
    for (int64_t k = 0; k < 6; ++k)
        c.PieceAt(0, s + k, w, s + k + 1, int64_t{x} + o[k], int64_t{y} + s + k);
    return 0;
}

TESSARO_WIPE(WipeTornFromBottom)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    const int64_t s = (h * progress) >> 8;
    const int64_t t = std::max<int64_t>(h - s, 0);
    c.Piece(0, t, w, std::min(t + s, h));
    int64_t o[6];
    TornOffsets(w, o);
    for (int64_t k = 0; k < 6; ++k)
        c.PieceAt(0, t - 1 - k, w, t - k, int64_t{x} + o[k], int64_t{y} + t - 1 - k);
    return 0;
}

// --- waves --------------------------------------------------------------------------------------

namespace {

template <typename Offset> int32_t WaveRows(CWipeCanvas& c, Offset offset)
{
    if (g_pCosTable == nullptr)
        return 1;
    const int64_t w = c.Width(), h = c.Height();
    WideRows rows(c, false);
    for (int64_t i = 0; i < h; ++i)
        rows.Row(0, i, w, int64_t{c.X()} + offset(i), int64_t{c.Y()} + i);
    return 0;
}

} // namespace

TESSARO_WIPE(WipeWaveRows)
{
    WIPE_BEGIN(c);
    return WaveRows(c, [&](int64_t i) { return (Cos(i) * (255 - progress) * 2) >> 16; });
}

TESSARO_WIPE(WipeWaveRowsInverted)
{
    WIPE_BEGIN(c);
    return WaveRows(c, [&](int64_t i) { return (Cos(i - 256) * (255 - progress) * 2) >> 16; });
}

TESSARO_WIPE(WipeWaveRowsFine)
{
    WIPE_BEGIN(c);
    return WaveRows(c, [&](int64_t i) { return (Cos(8 * i) * (255 - progress)) >> 16; });
}

TESSARO_WIPE(WipeWaveRowsFineInverted)
{
    WIPE_BEGIN(c);
    return WaveRows(c, [&](int64_t i) { return (Cos(8 * i - 256) * (255 - progress)) >> 16; });
}

// --- discs --------------------------------------------------------------------------------------

namespace {

// A centred chord of length len on source row `row`.
void CentredChord(CWipeCanvas& c, int64_t row, int64_t len)
{
    const int64_t w = c.Width();
    const int64_t l = std::max<int64_t>((w >> 1) - (len >> 1), 0);
    len = std::min(len, w - l);
    c.Piece(l, row, l + len, row + 1);
}

} // namespace

TESSARO_WIPE(WipeHalfDiscFromTop)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    const int64_t d = static_cast<int64_t>(2 * std::sqrt(static_cast<double>((w * w) / 4 + h * h)));
    const int64_t r = (d * progress) >> 8;
    const int64_t n = r >> 1;
    const int64_t q = (r * r) / 4;
    // Rows below the source draw nothing; the loop stops at its bottom edge.
    for (int64_t i = 0; i < std::min(n, h); ++i)
        CentredChord(
            c, i, static_cast<int64_t>(2 * std::sqrt(static_cast<double>(std::max<int64_t>(q - i * i, 0)))));
    return 0;
}

TESSARO_WIPE(WipeHalfDiscFromBottom)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    const int64_t d = static_cast<int64_t>(2 * std::sqrt(static_cast<double>((w * w) / 4 + h * h)));
    const int64_t r = (d * progress) >> 8;
    const int64_t start = h - (r >> 1);
    if (start >= h)
        return 0;
    const int64_t q = (r * r) / 4;
    const auto chord = [&](int64_t row) {
        const int64_t k = h - row;
        CentredChord(
            c, row,
            static_cast<int64_t>(2 * std::sqrt(static_cast<double>(std::max<int64_t>(q - k * k, 0)))));
    };
    if (c.DrawsInAnyOrder()) {
        // Each chord lands on a row of its own: drawn top to bottom, the row kernels' look-ahead
        // runs into the row drawn next.
        for (int64_t row = std::max<int64_t>(start + 1, 0); row <= h; ++row)
            chord(row);
        return 0;
    }
    for (int64_t row = h; row > start && row >= 0; --row)
        chord(row);
    return 0;
}

namespace {

// Rows cy - (R >> 1) .. cy + (R >> 1) - 1 of a disc from the left (fromRight false) or right edge.
void HalfDiscSide(CWipeCanvas& c, int32_t progress, bool fromRight)
{
    const int64_t w = c.Width(), h = c.Height();
    const int64_t d = static_cast<int64_t>(2 * std::sqrt(static_cast<double>((h * h) / 4 + w * w)));
    const int64_t r = (d * progress) >> 8;
    const int64_t cy = h >> 1;
    const int64_t q = (r * r) / 4;
    // Rows outside the source draw nothing, so the loop keeps to the source.
    const int64_t first = std::max<int64_t>(cy - (r >> 1), 0);
    const int64_t end = std::min<int64_t>(cy + (r >> 1), h);
    for (int64_t row = first; row < end; ++row) {
        const int64_t dy = row - cy;
        int64_t len = ISqrt(q - dy * dy);
        if (fromRight) {
            const int64_t l = std::max<int64_t>(w - len, 0);
            len = std::min(len, w - l);
            c.Piece(l, row, l + len, row + 1);
        } else {
            c.Piece(0, row, std::min(len, w), row + 1);
        }
    }
}

} // namespace

TESSARO_WIPE(WipeHalfDiscFromLeft)
{
    WIPE_BEGIN(c);
    HalfDiscSide(c, progress, false);
    return 0;
}

TESSARO_WIPE(WipeHalfDiscFromRight)
{
    WIPE_BEGIN(c);
    HalfDiscSide(c, progress, true);
    return 0;
}

TESSARO_WIPE(WipeDiscFromCenter)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    const int64_t r = ((w + h) * progress) >> 8;
    const int64_t half = ((w + h) * progress) >> 9;
    const int64_t cy = h >> 1;
    const int64_t q = (r * r) / 4;
    const int64_t first = std::max<int64_t>(cy - half, 0);
    const int64_t end = std::min<int64_t>(cy + half, h);
    for (int64_t row = first; row < end; ++row) {
        const int64_t dy = row - cy;
        CentredChord(
            c, row,
            static_cast<int64_t>(2 * std::sqrt(static_cast<double>(std::max<int64_t>(q - dy * dy, 0)))));
    }
    return 0;
}

// --- growing cells ------------------------------------------------------------------------------

namespace {

// Every n x n cell shows its top-left b x b corner.
void GrowCells(CWipeCanvas& c, int64_t n, int64_t b)
{
    if (b <= 0)
        return;
    const int64_t w = c.Width(), h = c.Height();
    uint8_t* on = c.ColumnMask();
    for (int64_t i = 0; i < w; ++i)
        on[i] = (i % n) < b ? 1 : 0;
    const bool plainCopy = c.Mode() == kTransitionCopy && c.ColorKey() == 0xFFFFFFFFu;
    if (n == 16 && c.BlendsByLanes()) {
        // A cell's shown columns lie in one group of sixteen (or two): a blend of each group under
        // its lane mask costs less than a blend of each run.
        for (int64_t y0 = 0; y0 < h; y0 += n)
            c.PhasedMaskedRows(y0, std::min(y0 + b, h), on, 1, h);
        return;
    }
    if (n <= 8 && (c.Mode() == kTransitionBlendAlpha || plainCopy) && c.DrawsInAnyOrder()) {
        // Runs under eight pixels: every group is drawn and keeps what the mask hides (wider runs
        // do better as runs).
        for (int64_t y0 = 0; y0 < h; y0 += n) {
            if (c.BlendsByLanes()) // each group of sixteen columns blended once under its lane mask
                c.PhasedMaskedRows(y0, std::min(y0 + b, h), on, 1, h);
            else
                c.ScatteredMaskedRows(y0, std::min(y0 + b, h), on);
        }
        return;
    }
    auto& runs = wipe::Scratch<CWipeCanvas::ColumnRun, wipe::ScratchUse::PhaseRuns>();
    c.RunsOf(on, runs);
    for (int64_t y0 = 0; y0 < h; y0 += n)
        c.RunRows(y0, std::min(y0 + b, h), runs);
}

} // namespace

TESSARO_WIPE(WipeGrowCells4)
{
    WIPE_BEGIN(c);
    GrowCells(c, 4, progress >> 6);
    return 0;
}

TESSARO_WIPE(WipeGrowCells8)
{
    WIPE_BEGIN(c);
    GrowCells(c, 8, progress >> 5);
    return 0;
}

TESSARO_WIPE(WipeGrowCells16)
{
    WIPE_BEGIN(c);
    GrowCells(c, 16, progress >> 4);
    return 0;
}

// --- shared band routines -----------------------------------------------------------------------

namespace {

// Bands along one axis of length `extent`; piece(lo, hi) draws the band's span on that axis.
template <typename Piece>
void Bands(int64_t extent, int32_t progress, uint8_t direction, int64_t n, Piece piece)
{
    if (n < 1)
        return;
    const int64_t count = (extent + n + 1) / n;
    const int64_t filled = ((count + n) * progress) / 256;
    for (int64_t k = 0; k < count; ++k) {
        if (filled <= k)
            break;
        const int64_t len = std::min(filled - k, n);
        int64_t lo;
        int64_t hi;
        if (direction != 0) {
            lo = k * n;
            hi = k * n + len;
        } else {
            hi = extent - k * n;
            lo = hi - len;
        }
        // A band reaching past the edge ends at the edge (the last column or row is kept).
        hi = std::min(hi, extent);
        lo = std::max<int64_t>(lo, 0);
        piece(lo, hi);
    }
}

} // namespace

int32_t WipeBandsColumns(CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y,
                         uint8_t direction, int32_t mode, int32_t n, const CDisplayTarget* screen)
{
    WIPE_BEGIN(c);
    // Every band is whole columns of full height: one column mask, drawn row by row.
    uint8_t* on = c.ColumnMask();
    Bands(c.Width(), progress, direction, n, [&](int64_t l, int64_t r) {
        for (int64_t i = l; i < r; ++i)
            on[i] = 1;
    });
    // Blended under lane masks, the staircase's narrow bands cost no more than the wide ones.
    if (c.BlendsByLanes())
        c.PhasedMaskedRows(0, c.Height(), on, 1, std::max(c.Height(), 1));
    else
        c.MaskedRows(0, c.Height(), on);
    return 0;
}

int32_t WipeBandsRows(CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y, uint8_t direction,
                      int32_t mode, int32_t n, const CDisplayTarget* screen)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width();
    Bands(c.Height(), progress, direction, n, [&](int64_t t, int64_t b) { c.Piece(0, t, w, b); });
    return 0;
}

// --- shared slide routines ----------------------------------------------------------------------

namespace {

// The far edge of the slides: the destination's width or height, or in device mode with a screen
// target the right or bottom edge of its rectangle.
int64_t FarEdge(const CWipeCanvas& c, CSurface* dst, bool columns)
{
    if (c.Mode() == kTransitionDeviceBlit && c.Screen() != nullptr)
        return columns ? c.Clip().right : c.Clip().bottom;
    if (c.Mode() == kTransitionDeviceBlit) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof(desc);
        if (FAILED(c.DeviceDestination()->GetSurfaceDesc(&desc)))
            return 0;
        return columns ? int64_t{desc.dwWidth} : int64_t{desc.dwHeight};
    }
    return columns ? dst->GetWidth() : dst->GetHeight();
}

} // namespace

int32_t WipeSlideSmearColumns(CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y,
                              uint8_t direction, int32_t mode, const CDisplayTarget* screen)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    const int64_t s = (w * progress) >> 8;
    const int64_t far = FarEdge(c, dst, true);
    if (direction == 0) {
        if (s > 0)
            c.Piece(0, 0, s, h);
        c.StretchedRows(s, 0, std::min(s + 1, w), h, far - s - x, h, int64_t{x} + s, y);
    } else {
        if (s > 0)
            c.Piece(w - s, 0, w, h);
        c.StretchedRows(std::max<int64_t>(w - s - 1, 0), 0, w - s, h, int64_t{x} + w - s, h, 0, y);
    }
    return 0;
}

int32_t WipeSlideSmearRows(CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y,
                           uint8_t direction, int32_t mode, const CDisplayTarget* screen)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    const int64_t s = (h * progress) >> 8;
    const int64_t far = FarEdge(c, dst, false);
    if (direction == 0) {
        c.Piece(0, 0, w, s);
        c.StretchedRows(0, s, w, std::min(s + 1, h), w, far - s - y, x, int64_t{y} + s);
    } else {
        c.Piece(0, h - s, w, h);
        c.StretchedRows(0, std::max<int64_t>(h - s - 1, 0), w, h - s, w, int64_t{y} + h - s, x, 0);
    }
    return 0;
}
