// The random block entries (5's scattered blocks, the dissolves 6 to 10, the noisy circle 20) drawn with the
// SIMD switch on, rows of blocks at a time and eight draws at once, against the block-by-block walk with it
// off: the same pixels and the same draws left in the shared random state, at every move range and threshold,
// both modes, sizes whose blocks do not fill the last column or row, placed inside the destination and across
// its edge.
#include "platform/cpu_info.h"
#include "winapi/simd_level.h"
#include "wipe_test_util.h"

#include <random>

namespace {

using namespace wipetest;

struct Step {
    std::vector<uint32_t> pixels;
    SubtractiveRandomState after;
    RECT bounds;
};

Step Draw(int32_t index, const CImage& start, const CImage& src, int32_t progress, int32_t x, int32_t y,
          int32_t mode, int32_t seed, bool simd)
{
    const uint8_t savedSwitch = g_bUseMmx;
    g_bUseMmx = simd ? 1 : 0;
    auto dst = TrackedCopy(start);
    SeedSubtractiveRandom(g_RandomState, seed);
    // Start part way into the table, so blocks meet a refill at every place of their draws.
    for (int32_t k = 0; k < seed % 55; ++k)
        DrawSubtractiveRandom(g_RandomState);
    DrawTransition(index, dst.get(), const_cast<CImage*>(&src), progress, x, y, mode, nullptr);
    g_bUseMmx = savedSwitch;
    return Step{Pixels(*dst), g_RandomState, dst->GetUpdateRegion()->Bounds()};
}

TEST(WipeRandomBlocks, RowsOfBlocksDrawTheBlockWalk)
{
    std::mt19937 rng(kSeed);
    struct Case {
        LONG w, h;
        int32_t x, y;
    };
    const Case cases[] = {{64, 32, 0, 0}, {37, 19, 0, 0}, {5, 3, 0, 0},
                          {3, 1, 0, 0},   {41, 23, 3, 2}, {41, 23, -6, 5}, {301, 9, 0, 0}};
    for (SimdLevel level : kAllSimdLevels) {
        ScopedSimdLevel scoped(level);
        for (int32_t index : {5, 6, 7, 8, 9, 10, 20})
            for (const Case& c : cases)
                for (int32_t progress : {1, 64, 127, 128, 199, 200, 229, 230, 255})
                    for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha}) {
                        auto src = NoisyImage(rng, c.w, c.h);
                        auto start = NoisyImage(rng, c.w + 4, c.h + 3);
                        const int32_t seed = static_cast<int32_t>(rng() % 100000);
                        const Step walk = Draw(index, *start, *src, progress, c.x, c.y, mode, seed, false);
                        const Step rows = Draw(index, *start, *src, progress, c.x, c.y, mode, seed, true);
                        ASSERT_EQ(rows.pixels, walk.pixels)
                            << "entry " << index << ", " << c.w << "x" << c.h << " at " << c.x << "," << c.y
                            << ", progress " << progress << ", mode " << mode;
                        ASSERT_EQ(rows.after.position, walk.after.position);
                        EXPECT_TRUE(rows.bounds.left == walk.bounds.left && rows.bounds.top == walk.bounds.top &&
                                    rows.bounds.right == walk.bounds.right &&
                                    rows.bounds.bottom == walk.bounds.bottom)
                            << "entry " << index << ", progress " << progress << ", mode " << mode;
                        ASSERT_EQ(0,
                                  std::memcmp(rows.after.table, walk.after.table, sizeof(walk.after.table)));
                    }
    }
}

} // namespace
