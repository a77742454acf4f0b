// The frame every wipe entry shares: the progress gates, the set-up of the drawing mode, the
// whole-picture draw at full progress, and the routing of each piece (a source rectangle placed on
// the destination, plain or stretched) to the mode's drawing routine. Pieces are clipped here in
// 64-bit arithmetic, so positions near the ends of the 32-bit range cannot wrap round, and a whole
// step adds one bounding rectangle to the destination's update region instead of one per piece.
// One canvas at a time on a thread: its working lists are the thread's, kept from step to step.
#pragma once

#include "raster/draw_transition.h"
#include "raster/image.h"

#include <cstdint>
#include <vector>

namespace wipe {
template <int Width, bool Blend> class BlockWriter;

// Whether the wipes' own inline loops take their AVX2 forms: the raster's SIMD switch is on and
// the SIMD level allows it. Asked once a step.
bool UseAvx2Loops();
// Whether the wipes' loops that have a 512-bit twin take it: UseAvx2Loops() and UseAvx512Bw().
bool UseAvx512Loops();

// The working lists of the wipes, one per use and thread, kept from step to step: a step then
// allocates nothing once they have grown. Each use clears or sizes its own.
enum class ScratchUse {
    Mask,
    Runs,
    Visible,
    Walks,
    Row,
    Active,
    Stretches,
    Columns,
    Edges,
    PhaseMasks,
    PhaseRuns,
    Pieces,
    GridXs,
    GridYs,
    GridColumnTerms,
    ScatterLists,
    StretchedColumns,
    ScatterDraws,
    ScatterOffsets,
    DissolveParts,
    CircleAcross,
    ShownGroups,
    RowDraws,
    PhaseShown,
    SectorReach,
};
template <typename T, ScratchUse Use> std::vector<T>& Scratch()
{
    static thread_local std::vector<T> list;
    return list;
}
} // namespace wipe

class CWipeCanvas {
public:
    CWipeCanvas() = default;
    CWipeCanvas(const CWipeCanvas&) = delete;
    CWipeCanvas& operator=(const CWipeCanvas&) = delete;
    // Adds the bounding rectangle of what was drawn to the update region and sets the changed flag.
    ~CWipeCanvas();

    // The frame's first steps. True when the entry's own shape follows (1 <= progress <= 255);
    // false with *result set otherwise: 0 below progress 1, 1 mode 2 without a device destination,
    // the whole-picture routine's result from progress 256 on.
    bool Begin(CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y, int32_t mode,
               const CDisplayTarget* screen, int32_t* result);
    // Draws the whole source at (x, y) by the mode; the routine's result (0 for an unknown mode).
    int32_t DrawWhole();

    int32_t Width() const { return m_w; }
    int32_t Height() const { return m_h; }
    int32_t X() const { return m_x; }
    int32_t Y() const { return m_y; }
    int32_t Mode() const { return m_mode; }
    CSurface* Source() const { return m_src; }
    CImage* Image() const { return m_image; }
    IDirectDrawSurface7* DeviceDestination() const { return m_devDst; }
    IDirectDrawSurface7* DeviceSource() const { return m_devSrc; }
    DWORD ColorKey() const { return m_key; }
    const RECT& Clip() const { return m_clip; }
    const CDisplayTarget* Screen() const { return m_screen; }
    // True when pieces that cover different pixels may be drawn in any order: 32-bit memory
    // images whose pixels do not overlap, so no piece reads what another one wrote.
    bool DrawsInAnyOrder() const { return m_fast; }

    // Source rectangle (l, t, r, b) with its top-left at (x + l, y + t).
    void Piece(int64_t l, int64_t t, int64_t r, int64_t b)
    {
        PieceAt(l, t, r, b, int64_t{m_x} + l, int64_t{m_y} + t);
    }
    // Source rectangle (l, t, r, b) with its top-left at (dx, dy).
    void PieceAt(int64_t l, int64_t t, int64_t r, int64_t b, int64_t dx, int64_t dy);
    // Source rectangle (l, t, r, b) with its top-left at (dx, dy), for Pieces.
    struct Placed {
        int64_t l, t, r, b;
        int64_t dx, dy;
    };
    // The piece cut to the source and to the clip as PieceAt cuts it, for entries that then draw
    // it through DirectMemory; false when nothing is left.
    bool CutPiece(Placed& p) const;
    // The pieces in order, each drawn as PieceAt draws it; pieces that need no cutting skip it.
    void Pieces(const std::vector<Placed>& pieces);
    // True when small blocks can go through wipe::BlockWriter: memory images that draw in any
    // order, with plain copies or blends.
    bool WritesBlocks() const;
    // Source rectangle stretched to width x height with its top-left at (dx, dy).
    void Scaled(int64_t l, int64_t t, int64_t r, int64_t b, int64_t width, int64_t height, int64_t dx,
                int64_t dy);
    // Source rows top..bottom-1 in place, only the columns i whose on[i] is non-zero (on holds one
    // byte per source column). The same pixels as one piece per column run.
    void MaskedRows(int64_t top, int64_t bottom, const uint8_t* on);
    // The pixels of MaskedRows, for masks whose shown columns change every few columns (random
    // dissolves, interleaved columns): plain copies select each pixel without branching on it.
    void ScatteredMaskedRows(int64_t top, int64_t bottom, const uint8_t* on);
    // Source rows top..bottom-1 in place, row j showing the columns of the mask that starts at
    // masks + ((j / cell) % period) * Width(): period masks of a byte per source column, one after
    // another. The pixels of MaskedRows for each row; shown columns are copied or blended a lane
    // mask at a time where the wipes' 512-bit loops run.
    void PhasedMaskedRows(int64_t top, int64_t bottom, const uint8_t* masks, int64_t period, int64_t cell);
    // True when PhasedMaskedRows copies a lane mask at a time, so that a row drawn whole costs less
    // than its runs.
    bool CopiesByLanes() const;
    // True when PhasedMaskedRows blends a lane mask at a time: each group of sixteen columns is
    // blended once under its mask, whatever runs the mask makes.
    bool BlendsByLanes() const;
    // A zeroed byte per source column, for MaskedRows.
    uint8_t* ColumnMask();

    // Columns l..r-1 of the source.
    struct ColumnRun {
        int64_t l;
        int64_t r;
    };
    // The runs of non-zero bytes of on (one byte per source column).
    void RunsOf(const uint8_t* on, std::vector<ColumnRun>& out) const;
    // Source rows top, top + step, ... below bottom in place, only the given column runs (sorted,
    // not empty, not overlapping).
    void RunRows(int64_t top, int64_t bottom, const std::vector<ColumnRun>& runs, int64_t step = 1);
    // Every source column i drawn at x + w - 1 - i: the source mirrored left to right in place.
    void MirroredColumns();

    // Source column i stretched to a height, with its top-left at (dx, dy).
    struct ColumnStretch {
        int64_t i;
        int64_t height;
        int64_t dx;
        int64_t dy;
    };
    // One stretched piece per column, in order (the pixels of Scaled for each); with 32-bit
    // memory images the destination is walked row by row.
    void StretchedColumns(const std::vector<ColumnStretch>& columns);

    // The pixels of Scaled, a destination row at a time eight pixels a step where the wipes' AVX2
    // loops run (Scaled itself otherwise): the source columns a row reads are worked out once and
    // kept while following pieces step alike.
    void StretchedRows(int64_t l, int64_t t, int64_t r, int64_t b, int64_t width, int64_t height, int64_t dx,
                       int64_t dy);

    // The pixel memory of both images, for entries that walk it with loops of their own: only
    // while pieces go straight to the row kernels (DrawsInAnyOrder).
    struct Memory {
        BYTE* dst;
        const BYTE* src;
        LONG dstPitch;
        LONG srcPitch;
    };
    // False, with out untouched, when the pieces do not go straight to the row kernels.
    bool DirectMemory(Memory& out) const;
    // What the source gives (its clip).
    const RECT& SourceClip() const { return m_srcClip; }
    // Adds a destination rectangle drawn through DirectMemory to the step's bounds.
    void MarkDrawn(int64_t l, int64_t t, int64_t r, int64_t b) { Track(l, t, r, b); }

private:
    template <int Width, bool Blend> friend class wipe::BlockWriter;

    struct Span {
        int64_t l, t, r, b; // source rectangle
        int64_t dx, dy;     // destination of its top-left
    };
    // Cuts a span to the source and to the clip; false when nothing is left.
    bool ClipSpan(Span& s) const;
    // True when a span certainly draws nothing: placed, it lies wholly outside the clip.
    bool Misses(const Span& s) const;
    void DrawSpan(const Span& s);
    // Pieces for plain 32-bit copies or blends, in a loop made for blocks Width pixels wide.
    template <int Width, bool Blend> void DrawBlocks(const std::vector<Placed>& pieces, int64_t height);
    void Track(int64_t l, int64_t t, int64_t r, int64_t b);

    CSurface* m_src = nullptr;
    CImage* m_image = nullptr; // modes 0 and 1
    IDirectDrawSurface7* m_devDst = nullptr;
    IDirectDrawSurface7* m_devSrc = nullptr;
    const CDisplayTarget* m_screen = nullptr;
    RECT m_clip{0, 0, 0, 0};    // destination clip
    RECT m_srcClip{0, 0, 0, 0}; // what the source gives
    DWORD m_key = 0xFFFFFFFFu;
    int32_t m_w = 0;
    int32_t m_h = 0;
    int32_t m_x = 0;
    int32_t m_y = 0;
    int32_t m_mode = -1;
    bool m_active = false; // a mode that draws
    bool m_fast = false;   // 32-bit to 32-bit memory images: pieces go straight to the row kernels
    bool m_tracked = false;
    RECT m_bounds{0, 0, 0, 0};
    // Fast path: the pixel memory of both images.
    BYTE* m_dstBits = nullptr;
    const BYTE* m_srcBits = nullptr;
    LONG m_dstPitch = 0;
    LONG m_srcPitch = 0;
    std::vector<uint8_t>& m_mask = wipe::Scratch<uint8_t, wipe::ScratchUse::Mask>();
    std::vector<ColumnRun>& m_runs = wipe::Scratch<ColumnRun, wipe::ScratchUse::Runs>();
    std::vector<ColumnRun>& m_visible = wipe::Scratch<ColumnRun, wipe::ScratchUse::Visible>();
};
