// The random masks of the dissolves and the noisy circle, marked eight blocks at a time from the
// shared subtractive draws where the wipes' AVX2 loops run.
#pragma once

#include <cstdint>

namespace wipe {

// The shared subtractive draws in order, as RandomRun walks them (the position kept here and
// written back when the run ends); eight at once where they all come from the table as it
// stands. Nothing else may draw meanwhile.
class MaskDraws {
public:
    MaskDraws();
    MaskDraws(const MaskDraws&) = delete;
    MaskDraws& operator=(const MaskDraws&) = delete;
    ~MaskDraws();

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

private:
    int m_position;
};

} // namespace wipe
