// The random masks of the dissolves and the noisy circle, marked eight blocks at a time from the
// shared subtractive draws where the wipes' AVX2 loops run.
#pragma once

#include "raster/wipe_canvas.h"
#include "raster/wipe_common.h"
#include "winapi/simd_level.h"

#include <cstdint>

namespace wipe {

// The pixel memory of both images where the wipes' AVX2 loops run, the mode is a plain copy or a
// blend, and the whole source placed at the canvas's position lies inside both clips: rows of
// blocks can then be written straight. False, with out untouched, otherwise.
bool DirectGrid(const CWipeCanvas& c, CWipeCanvas::Memory& out);

// One row of blocks to draw: `rows` (1 or 2) source rows from `src` drawn where their pixels are
// shown to `dst`.
struct BlockRows {
    BYTE* dst;
    LONG dstPitch;
    const BYTE* src;
    LONG srcPitch;
    int rows;
};

// How the column parts of a dissolve run along the row.
enum class PartOrder { Rising, Falling, Mixed };
PartOrder OrderOfParts(const int32_t* part, int64_t count);

// The widest row BlendDissolveRow and BlendCircleRow take.
constexpr int64_t kWidestBlendedRow = int64_t{1} << 26;

// A row of blocks in parts: blocks [0, a) and [d, end) hidden and [b, c) shown whatever their
// draws, [a, b) and [c, d) by their draws; 0 <= a <= b <= c <= d <= end.
struct BlockSplit {
    int64_t a, b, c, d;
};

// The shared subtractive draws in order, through a RandomRun (the position written back when
// the run ends); eight at once where they all come from the table as it stands. Nothing else may
// draw meanwhile.
class MaskDraws {
public:
    MaskDraws() = default;

    // One row of blocks four columns wide over `w` columns: block k (columns 4k to 4k + 3, the
    // last one cut at w) shown, its mask bytes 1, when its draw's low eight bits are at most
    // row + part[k]; hidden ones 0. part holds (w + 3) / 4 values, each 0 to 255. Only where
    // UseAvx2() holds.
    void DissolveRow(uint8_t* on, int64_t w, int64_t row, const int32_t* part);
    // One row of blocks two columns wide: block k shown when m = radius - (its draw AND 255) is
    // 0 or more and dySquared + dxSquared[k] is below (m + 1) squared. Every squared distance,
    // and (radius + 1) squared, below 2^30; dxSquared holds (w + 1) / 2 values. Only where
    // UseAvx2() holds.
    void CircleRow(uint8_t* on, int64_t w, int32_t dySquared, int32_t radius, const int32_t* dxSquared);

    // The same draws and rules as DissolveRow and CircleRow, with the shown blocks' pixels copied
    // at once instead of marked: the pixels ScatteredMaskedRows copies with those masks (order:
    // OrderOfParts of part). l and r are set to the shown columns' extent (l >= r when none
    // shows). Only for plain copies where DirectGrid holds.
    void CopyDissolveRow(const BlockRows& at, int64_t w, int64_t row, const int32_t* part, PartOrder order,
                         int64_t& l, int64_t& r);
    void CopyCircleRow(const BlockRows& at, int64_t w, int32_t dySquared, int32_t radius, const int32_t* dxSquared,
                       int64_t& l, int64_t& r);
    // The same with the shown blocks' pixels blended, as ScatteredMaskedRows blends them with those
    // masks (order: OrderOfParts of part); only for blends where DirectGrid holds and w is at most
    // kWidestBlendedRow.
    void BlendDissolveRow(const BlockRows& at, int64_t w, int64_t row, const int32_t* part, PartOrder order,
                          int64_t& l, int64_t& r);
    void BlendCircleRow(const BlockRows& at, int64_t w, int32_t dySquared, int32_t radius, const int32_t* dxSquared,
                        int64_t& l, int64_t& r);

private:
    RandomRun m_run;
    // The rows' 512-bit twins, asked once a step.
    const bool m_wide = UseAvx512Bw();
};

} // namespace wipe
