// The entries that blend groups of sixteen columns under lane masks or whole runs through the row
// kernel, or a row of cells at a time (growing cells of sixteen, blinds, slanted dashes, tile
// spirals, dropping cells, column bands) with the 512-bit twins on against the plain drawing: the same
// pixels and bounds on random pictures wide enough for long runs and many groups, placed inside
// and across the destination's edges, with clipped sources and destinations, both modes, at every
// SIMD level.
#include "winapi/simd_level.h"
#include "wipe_test_util.h"

#include <random>
#include <string>

namespace {

using namespace wipetest;

using WipeLaneMaskEntriesTest = WipeTest;

const PlacedCase kCases[] = {
    {640, 40, 640, 40, 0, 0, false, false},    // in place, runs of several hundred columns
    {600, 37, 620, 45, 7, 3, true, false},     // clipped source, groups off their lines
    {613, 35, 600, 40, -21, 2, false, true},   // across the left edge, clipped destination
    {700, 33, 640, 36, 45, -5, true, true},    // across the right and top edges
    {300, 20, 320, 24, 1, 1, false, false},    // runs just over and under the row kernel's share
    {37, 19, 40, 21, 2, 0, false, false},      // narrower than three groups
};

TEST_F(WipeLaneMaskEntriesTest, EntriesDrawTheSamePixelsWithTheWideRowsOnAndOff)
{
    std::mt19937 rng(kSeed + 7);
    for (const PlacedCase& k : kCases) {
        auto src = PlacedSource(rng, k);
        auto start = NoisyImage(rng, k.dw, k.dh, kImageWithTracker);
        for (int index : {34, 37, 44, 45, 47, 64, 65, 71, 72, 73, 74})
            for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha})
                for (int32_t progress : {1, 64, 128, 150, 192, 255}) {
                    Drawn plain;
                    {
                        ScopedAvx512 narrow(false);
                        ScopedSimdLevel level(SimdLevel::Plain);
                        plain = DrawPlaced(index, k, *start, *src, progress, mode);
                    }
                    AtEverySimdSetting([&] {
                        for (bool wide : {false, true}) {
                            ScopedAvx512 twins(wide);
                            const Drawn got = DrawPlaced(index, k, *start, *src, progress, mode);
                            const std::string where = "entry " + std::to_string(index) + ", " +
                                                      std::to_string(k.sw) + "x" + std::to_string(k.sh) + " at " +
                                                      std::to_string(k.x) + ", " + std::to_string(k.y) +
                                                      ", mode " + std::to_string(mode) + ", progress " +
                                                      std::to_string(progress) + (wide ? ", 512-bit" : "");
                            ASSERT_EQ(got.pixels, plain.pixels) << where;
                            EXPECT_TRUE(SameRect(got.changed, plain.changed)) << where;
                        }
                    });
                    if (HasFatalFailure())
                        return;
                }
    }
}

} // namespace
