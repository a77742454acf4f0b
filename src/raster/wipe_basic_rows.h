// The 512-bit twins of the stretched rows' row loop (CWipeCanvas::StretchedRows) and of the
// shifted rows' copies (entry 4).
#pragma once

#include "raster/wipe_canvas.h"

#include <cstdint>

namespace wipe::rows_detail {

// One destination row of `w` pixels at d from the source row at src, pixel k reading source
// column at[k]; `room` is how many pixels from the row's first read column may be loaded whole.
// Sixteen pixels a step: a load and a permute where a group's columns lie within sixteen of its
// first, a gather otherwise. Only while UseAvx512Loops() holds.
void StretchedRowAvx512(BYTE* d, const BYTE* src, const int32_t* at, int w, int64_t room, LONG srcPitch,
                        bool blend);

// One destination row of `w` pixels at d all reading the one source pixel at src (a smear of one
// column), copied or blended sixteen at a time. The lines further along are asked for as the blend
// kernels ask for them, past the row's end those of the next row, dstPitch further on (the rows
// come one call each). The pixels of StretchedRowAvx512 with every column 0. Only while
// UseAvx512Loops() holds.
void SmearRowAvx512(BYTE* d, const BYTE* src, int w, LONG dstPitch, bool blend);

// Rows of one stretching each drawn from its own source row, sixteen pixels a step for groups
// 0..groups-1 of every row: group g reads the sixteen source pixels from column first[g] on and
// puts them in place with lanes[16 g..16 g + 15] (one plan for all the rows, no test per group).
// `followed`: dst[rows] and src[rows] start the row drawn after them, whose first lines are asked
// for ahead. Only while UseAvx512Loops() holds.
void StretchedRowsAvx512(BYTE* const* dst, const BYTE* const* src, int rows, bool followed, const int32_t* first,
                         const int32_t* lanes, int groups, bool blend);

// The plan of StretchedRowsAvx512 for the columns `at` of `groups` groups of sixteen: each
// group's first column and its lanes from it, for the leading groups whose columns lie within
// sixteen of their first and whose load stays within `room` pixels. Returns how many.
int PlanGroups16Avx512(const int32_t* at, int groups, int64_t room, int32_t* first, int32_t* lanes);

// The columns of the stepping in closed form (as the AVX2 table fill works them out) for `w`
// pixels into at, with the plan of PlanGroups16Avx512 for `room`, in one pass; returns the
// plan's count of groups. Only where the stepping keeps every sum within 2^30: den > 0,
// 0 <= frac < den, -den <= acc < 0, step >= 0, den + w frac < 2^30 and w (step + 1) < 2^30.
int FillColumnsAvx512(int32_t* at, int w, const StretchState& st, int64_t room, int32_t* first, int32_t* lanes);

// Copies n 32-bit pixels from src to dst (not overlapping), the same bytes as memcpy: every store
// but the first and last is whole and aligned, each source line read once and shifted into place
// (a row copied a few pixels off its alignment otherwise reads two lines a store). Only while
// UseAvx512Loops() holds.
void CopyPixelsAvx512(BYTE* dst, const BYTE* src, int64_t n);

} // namespace wipe::rows_detail

namespace wipe {

// One-row pieces widened or narrowed as CWipeCanvas::StretchedRows draws them, the pixels the
// same, kept back while they stretch alike and then drawn together: where each group of sixteen
// destination pixels comes from (a load and a permute) is worked out once for all of them.
// Rows must land on rows of their own (the canvas draws in any order). Where the 512-bit loops do
// not run, or a piece is not one row, the pieces go to StretchedRows as they come.
class StretchedRowBatch {
public:
    explicit StretchedRowBatch(CWipeCanvas& canvas);
    ~StretchedRowBatch() { Flush(); }
    StretchedRowBatch(const StretchedRowBatch&) = delete;
    StretchedRowBatch& operator=(const StretchedRowBatch&) = delete;

    // The arguments of CWipeCanvas::StretchedRows.
    void Add(int64_t l, int64_t t, int64_t r, int64_t b, int64_t width, int64_t height, int64_t dx, int64_t dy);
    // Draws the rows kept back.
    void Flush() { Draw(false); }

private:
    // Draws the rows kept back; `followed`: the entries after them start the row drawn next.
    void Draw(bool followed);

    static constexpr int kMostRows = 16;
    CWipeCanvas& m_canvas;
    CWipeCanvas::Memory m_memory{};
    bool m_on = false;
    bool m_blend = false;
    // The rows kept back and what they share.
    int m_rows = 0;
    BYTE* m_dst[kMostRows + 1] = {};
    const BYTE* m_src[kMostRows + 1] = {};
    LONG m_lastTop = 0; // the destination row of the last one
    // The last piece the image cut, whose columns serve every row placed alike.
    struct Placed {
        bool known;
        int64_t l, r, width, dx;
        StretchState st;
        RECT sr, dr;
        LONG srcTop, srcBottom; // the source rows the image keeps
    };
    Placed m_placed{};
    LONG m_sourceWidth = 0;
    // The box about the rows kept back.
    RECT m_drawn{};
    bool m_drawing = false;
    StretchState m_st{};
    int m_width = 0;
    int64_t m_room = 0;
};

} // namespace wipe
