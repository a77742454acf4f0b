// The entries that blend groups of sixteen columns under lane masks or whole runs through the row
// kernel, or a row of cells at a time (growing cells of sixteen, blinds, slanted dashes, tile
// spirals, dropping cells, column bands) with the 512-bit twins on against the plain drawing: the same
// pixels and bounds on random pictures wide enough for long runs and many groups, placed inside
// and across the destination's edges, with clipped sources and destinations, both modes, at every
// SIMD level.
#include "winapi/simd_level.h"
#include "wipe_test_util.h"

namespace {

using namespace wipetest;

using WipeLaneMaskEntriesTest = WipeTest;

const std::vector<PlacedCase> kCases = {
    {640, 40, 640, 40, 0, 0, false, false},  // in place, runs of several hundred columns
    {600, 37, 620, 45, 7, 3, true, false},   // clipped source, groups off their lines
    {613, 35, 600, 40, -21, 2, false, true}, // across the left edge, clipped destination
    {700, 33, 640, 36, 45, -5, true, true},  // across the right and top edges
    {300, 20, 320, 24, 1, 1, false, false},  // runs just over and under the row kernel's share
    {37, 19, 40, 21, 2, 0, false, false},    // narrower than three groups
};

TEST_F(WipeLaneMaskEntriesTest, EntriesDrawTheSamePixelsWithTheWideRowsOnAndOff)
{
    ExpectWideRowsMatchPlain(kSeed + 7, kCases, {34, 37, 44, 45, 47, 64, 65, 71, 72, 73, 74},
                             {1, 64, 128, 150, 192, 255});
}

} // namespace
