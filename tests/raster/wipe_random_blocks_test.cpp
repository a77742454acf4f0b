// The random block entries (5's scattered blocks, the dissolves 6 to 10, the noisy circle 20) drawn with the
// SIMD switch on, rows of blocks at a time and eight draws at once (and with the 512-bit twins on and off),
// against the block-by-block walk with it off: the same pixels and the same draws left in the shared random
// state, at every move range and threshold, both modes, sizes whose blocks do not fill the last column or
// row, placed inside the destination and across its edge. Entry 5's table-at-a-time walk is also checked
// alone against the draws taken one by one.
#include "platform/cpu_info.h"
#include "raster/wipe_basic_scatter.h"
#include "winapi/simd_level.h"
#include "wipe_test_util.h"

#include <array>
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
    const Case cases[] = {{64, 32, 0, 0}, {37, 19, 0, 0},  {5, 3, 0, 0},  {3, 1, 0, 0},
                          {41, 23, 3, 2}, {41, 23, -6, 5}, {301, 9, 0, 0}, {157, 37, 0, 0}};
    for (SimdLevel level : kAllSimdLevels)
        for (bool wide : {false, true}) {
            ScopedSimdLevel scoped(level);
            ScopedAvx512 twins(wide);
            for (int32_t index : {5, 6, 7, 8, 9, 10, 20})
                for (const Case& c : cases)
                    for (int32_t progress : {1, 64, 127, 128, 199, 200, 229, 230, 255})
                        for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha}) {
                            auto src = NoisyImage(rng, c.w, c.h);
                            auto start = NoisyImage(rng, c.w + 4, c.h + 3);
                            const int32_t seed = static_cast<int32_t>(rng() % 100000);
                            const Step walk =
                                Draw(index, *start, *src, progress, c.x, c.y, mode, seed, false);
                            const Step rows = Draw(index, *start, *src, progress, c.x, c.y, mode, seed, true);
                            ASSERT_EQ(rows.pixels, walk.pixels)
                                << "entry " << index << ", " << c.w << "x" << c.h << " at " << c.x << ","
                                << c.y << ", progress " << progress << ", mode " << mode;
                            ASSERT_EQ(rows.after.position, walk.after.position);
                            EXPECT_TRUE(rows.bounds.left == walk.bounds.left &&
                                        rows.bounds.top == walk.bounds.top &&
                                        rows.bounds.right == walk.bounds.right &&
                                        rows.bounds.bottom == walk.bounds.bottom)
                                << "entry " << index << ", progress " << progress << ", mode " << mode;
                            ASSERT_EQ(
                                0, std::memcmp(rows.after.table, walk.after.table, sizeof(walk.after.table)));
                        }
        }
}

// The scattered blocks' moves from the draws one by one: a block's first draw, and where its low byte is
// above the progress its two draws for the move modulo k, right in the low byte and down in the high one.
void BlockMoves(SubtractiveRandomState& state, int32_t progress, uint32_t k, uint16_t* moves, int64_t blocks)
{
    for (int64_t b = 0; b < blocks; ++b) {
        moves[b] = 0;
        if (progress < static_cast<int32_t>(DrawSubtractiveRandom(state) & 255)) {
            const uint32_t across = DrawSubtractiveRandom(state) % k;
            moves[b] = static_cast<uint16_t>(across | (DrawSubtractiveRandom(state) % k) << 8);
        }
    }
}

// The walk a generator table at a time against the draws one by one, several walks in a row from one state:
// every start in the table (positions 0 to 55, and corrupt ones that refill at once), walks ending at and
// around a table's end (a moved block's draws across a refill, a last draw on word 55 with the refill not yet
// made), every move range, any threshold (all moved, none moved, between), and tables with words outside the
// modulus.
TEST(WipeRandomBlocks, TableWalkTakesTheDrawsOneByOne)
{
    if (!MachineHasAvx512Bw())
        GTEST_SKIP() << "no 512-bit twins on this machine";
    std::mt19937 rng(kSeed);
    const int64_t counts[] = {1, 2, 3, 5, 14, 18, 19, 20, 27, 28, 55, 56, 480, 1000};
    const int32_t progresses[] = {INT32_MIN, -1, 0, 1, 64, 127, 128, 200, 229, 254, 255, 256, INT32_MAX};
    const int16_t positions[] = {0, 1, 2, 30, 52, 53, 54, 55, 56, -1, -300, 1000};
    std::vector<uint16_t> moves(1000 + 16), want(1000);
    for (int round = 0; round < 40; ++round) {
        SubtractiveRandomState start{};
        SeedSubtractiveRandom(start, static_cast<int32_t>(rng()));
        if (round / 4 % 3 == 2) // words anywhere in 32 bits, as a seed stored as given leaves some
            for (int32_t& word : start.table)
                word = static_cast<int32_t>(rng());
        const uint32_t k = std::array<uint32_t, 4>{10, 6, 4, 2}[round % 4];
        for (int16_t position : positions)
            for (int32_t progress : progresses) {
                start.position = position;
                SubtractiveRandomState walked = start, drawn = start;
                for (int walk = 0; walk < 3; ++walk) {
                    const int64_t blocks = counts[rng() % std::size(counts)];
                    BlockMoves(drawn, progress, k, want.data(), blocks);
                    wipe::scatter_detail::WalkMovesAvx512(walked, progress, k, moves.data(), blocks);
                    const auto where = [&] {
                        return ::testing::Message() << "round " << round << ", range " << k << ", position "
                                                    << position << ", progress " << progress << ", walk " << walk
                                                    << " of " << blocks;
                    };
                    ASSERT_TRUE(std::equal(want.begin(), want.begin() + blocks, moves.begin())) << where();
                    ASSERT_EQ(walked.position, drawn.position) << where();
                    ASSERT_EQ(0, std::memcmp(walked.table, drawn.table, sizeof(drawn.table))) << where();
                }
            }
    }
}

} // namespace
