// Bilinear stretch of an x888 picture (pixel centres aligned, edges clamped), the primary's
// stretches: the rows of the result one at a time, from per-column positions and weights worked
// out once. Internal to winapi.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "winapi/base.h"

namespace winapi::ddraw {

// Where result pixel i of an axis `to` long samples an axis `from` long: source pixel *at and the
// next one (clamped) mixed by *weight / 256.
void BilinearAxis(LONG i, LONG from, LONG to, LONG* at, int* weight);

class BilinearRows {
public:
    // A picture of sourceWidth x sourceHeight x888 pixels, rows `pitch` bytes apart, stretched to
    // width x height (all sides at least 1).
    BilinearRows(const BYTE* source, std::ptrdiff_t pitch, LONG sourceWidth, LONG sourceHeight, LONG width,
                 LONG height);
    // Row `row` of the result from column left to right (exclusive) into out (alpha 0).
    void Make(LONG row, LONG left, LONG right, uint32_t* out);

private:
    // The source row y sampled across the current span, kept in one of two slots.
    const uint32_t* Across(LONG y, LONG keep);

    const BYTE* m_source;
    std::ptrdiff_t m_pitch;
    LONG m_sourceWidth;
    LONG m_sourceHeight;
    LONG m_height;
    std::vector<int32_t> m_xa, m_xb;
    std::vector<uint16_t> m_weights;  // four per column
    bool m_pairs = false;             // xb = xa + 1 everywhere (AVX2 mixes neighbours)
    LONG m_left = 0;
    LONG m_right = 0;
    LONG m_rowOf[2] = {-1, -1};
    std::vector<uint32_t> m_rows[2];
};

} // namespace winapi::ddraw
