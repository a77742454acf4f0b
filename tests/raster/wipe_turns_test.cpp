// The turning block entries (spin, zoom, rotated grids, dropping cells, jitter) drawn a grid row at a time
// with the SIMD switch on, against the block-by-block walk with it off: the same pixels and the same changed
// bounds, at every SIMD level (the AVX2 one with and without the 512-bit twins), both modes, sizes that do
// and do not fill their last block column and row (down to one pixel), placed inside the destination and
// across each of its edges, with clip rectangles on the destination and on the source.
#include "platform/cpu_info.h"
#include "raster/update_region.h"
#include "winapi/simd_level.h"
#include "wipe_test_util.h"

#include <random>
#include <string>

namespace {

using namespace wipetest;

constexpr int32_t kTurningEntries[] = {58, 59, 60, 61, 62, 64, 65, 66, 67};

struct Case {
    LONG w, h;   // source
    LONG dw, dh; // destination
    int32_t x, y;
    RECT dstClip, srcClip; // empty: the whole picture
};

Drawn Draw(const Case& c, int32_t index, const CImage& start, CImage& src, int32_t progress, int32_t mode,
           bool simd)
{
    const uint8_t savedSwitch = g_bUseMmx;
    g_bUseMmx = simd ? 1 : 0;
    auto dst = MakeImage(c.dw, c.dh, kImageWithTracker);
    for (LONG j = 0; j < c.dh; ++j)
        for (LONG i = 0; i < c.dw; ++i)
            Put(*dst, i, j, At(start, i, j));
    if (c.dstClip.right > c.dstClip.left)
        *dst->GetClipRectPtr() = c.dstClip;
    DrawTransition(index, dst.get(), &src, progress, c.x, c.y, mode, nullptr);
    g_bUseMmx = savedSwitch;
    const CUpdateRegion* region = dst->GetUpdateRegion();
    return Drawn{Pixels(*dst), region->BoundsValid() ? region->Bounds() : RECT{0, 0, 0, 0}};
}

// The case drawn from fresh noisy pictures (the source clipped as the case says) a grid row at a
// time and block by block: the same pixels and the same changed bounds.
void ExpectRowsMatchWalk(std::mt19937& rng, const Case& c, int32_t index, int32_t progress, int32_t mode,
                         const std::string& setting)
{
    auto src = NoisyImage(rng, c.w, c.h);
    if (c.srcClip.right > c.srcClip.left)
        *src->GetClipRectPtr() = c.srcClip;
    auto start = NoisyImage(rng, c.dw, c.dh);
    const Drawn walk = Draw(c, index, *start, *src, progress, mode, false);
    const Drawn rows = Draw(c, index, *start, *src, progress, mode, true);
    const std::string where = "entry " + std::to_string(index) + ", " + std::to_string(c.w) + "x" +
                              std::to_string(c.h) + " at " + std::to_string(c.x) + "," + std::to_string(c.y) +
                              ", progress " + std::to_string(progress) + ", mode " + std::to_string(mode) + ", " +
                              setting;
    ASSERT_EQ(rows.pixels, walk.pixels) << where;
    ASSERT_EQ(rows.changed.left, walk.changed.left) << where;
    ASSERT_EQ(rows.changed.top, walk.changed.top) << where;
    ASSERT_EQ(rows.changed.right, walk.changed.right) << where;
    ASSERT_EQ(rows.changed.bottom, walk.changed.bottom) << where;
}

class WipeTurnsTest : public WipeTest {};

TEST_F(WipeTurnsTest, RowsOfBlocksDrawTheBlockWalk)
{
    std::mt19937 rng(kSeed);
    const Case cases[] = {
        {64, 48, 64, 48, 0, 0, {}, {}},
        {53, 37, 64, 48, 5, 4, {}, {}},
        {41, 23, 47, 29, -6, 5, {}, {}},
        {41, 23, 47, 29, 9, -7, {}, {}},
        {37, 19, 30, 16, 3, 2, {}, {}}, // the destination cuts the right and bottom
        {1, 1, 8, 8, 2, 3, {}, {}},
        {3, 2, 8, 8, 0, 0, {}, {}},
        {5, 3, 9, 7, 1, 1, {}, {}},
        {9, 9, 12, 12, 1, 1, {}, {}},
        {48, 40, 56, 48, 2, 2, {5, 3, 41, 37}, {}},
        {48, 40, 56, 48, 2, 2, {}, {3, 5, 37, 31}},
        {48, 40, 56, 48, -3, 4, {7, 2, 50, 44}, {1, 2, 45, 38}},
        {133, 71, 140, 80, 3, 4, {}, {}}, // rows of more than one group of eight blocks, tails
        // Long rows of whole blocks between cut ends, clipped on every side of both pictures.
        {203, 157, 190, 170, -7, 11, {3, 5, 181, 160}, {2, 1, 199, 150}},
        {130, 94, 150, 150, 10, -20, {}, {5, 3, 127, 91}},
    };
    // Every SIMD level, the AVX2 one with and without the 512-bit twins.
    for (SimdLevel level : kAllSimdLevels)
        for (bool wide : {false, true}) {
            if (wide && level != SimdLevel::Avx2)
                continue;
            ScopedSimdLevel scoped(level);
            ScopedAvx512 wideRows(wide);
            for (int32_t index : kTurningEntries)
                for (const Case& c : cases)
                    for (int32_t progress : {1, 37, 64, 100, 126, 128, 170, 192, 230, 255})
                        for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha}) {
                            ExpectRowsMatchWalk(rng, c, index, progress, mode,
                                                "level " + std::to_string(static_cast<int>(level)) + ", wide " +
                                                    std::to_string(wide));
                            if (HasFatalFailure())
                                return;
                        }
        }
}

// Pictures too large for the caches, where the blends ask ahead for the lines they will touch:
// spun, quarter-turned and jittered grids give the block walk's pixels, through a window of the
// destination and over one the picture fills, with and without the 512-bit twins.
TEST_F(WipeTurnsTest, LargePicturesAskingAheadDrawTheBlockWalk)
{
    std::mt19937 rng(kSeed);
    const Case cases[] = {
        {1100, 1000, 320, 240, -390, -380, {}, {}},
        {1030, 1020, 1040, 1030, 4, 3, {}, {}},
    };
    ScopedSimdLevel scoped(SimdLevel::Avx2);
    for (bool wide : {false, true}) {
        ScopedAvx512 wideRows(wide);
        for (const Case& c : cases) {
            auto src = NoisyImage(rng, c.w, c.h);
            auto start = NoisyImage(rng, c.dw, c.dh);
            for (int32_t index : {58, 60, 61, 62, 66, 67})
                for (int32_t progress : {64, 100, 128, 192}) {
                    const Drawn walk = Draw(c, index, *start, *src, progress, kTransitionBlendAlpha, false);
                    const Drawn rows = Draw(c, index, *start, *src, progress, kTransitionBlendAlpha, true);
                    ASSERT_EQ(rows.pixels, walk.pixels) << "entry " << index << ", " << c.w << "x" << c.h
                                                        << ", progress " << progress << ", wide " << wide;
                    EXPECT_EQ(rows.changed.left, walk.changed.left) << index;
                    EXPECT_EQ(rows.changed.top, walk.changed.top) << index;
                    EXPECT_EQ(rows.changed.right, walk.changed.right) << index;
                    EXPECT_EQ(rows.changed.bottom, walk.changed.bottom) << index;
                }
        }
    }
}

// Spinning blocks far from the centre: long numerators over large roots, where a quotient worked
// out in less precision than the walk's would land a block a pixel off. Every progress, a window
// of the destination over the middle of a wide and of a tall picture.
TEST_F(WipeTurnsTest, SpinningBlocksFarFromTheCentreLandWhereTheWalkPutsThem)
{
    std::mt19937 rng(kSeed);
    const Case cases[] = {
        {6000, 46, 300, 80, -2850, 10, {}, {}},
        {38, 5000, 90, 300, 20, -2350, {}, {}},
    };
    ScopedSimdLevel scoped(SimdLevel::Avx2);
    for (const Case& c : cases) {
        auto src = NoisyImage(rng, c.w, c.h);
        auto start = NoisyImage(rng, c.dw, c.dh);
        for (int32_t progress = 1; progress < 256; ++progress) {
            const Drawn walk = Draw(c, 58, *start, *src, progress, kTransitionCopy, false);
            const Drawn rows = Draw(c, 58, *start, *src, progress, kTransitionCopy, true);
            ASSERT_EQ(rows.pixels, walk.pixels) << c.w << "x" << c.h << ", progress " << progress;
        }
    }
}

// Dropping cells with and without the 512-bit rows, against the walk: rows of more than sixteen
// cells and a short group at the end, bands cut by the destination's top and bottom edges and
// clips, cells cut at either end of a row, sources clipped on every side.
TEST_F(WipeTurnsTest, DroppingCellsDrawTheWalkWithAndWithoutWideRows)
{
    std::mt19937 rng(kSeed + 2);
    const Case cases[] = {
        {300, 70, 320, 90, 0, 0, {}, {}},
        {290, 75, 300, 80, 7, -9, {}, {}},              // the top band above the destination
        {310, 66, 300, 90, -13, 20, {}, {}},            // rows past the destination's right
        {300, 64, 320, 90, 5, 6, {21, 11, 290, 63}, {}}, // clip edges inside bands
        {300, 64, 320, 90, 2, 3, {}, {9, 4, 281, 57}},
        {17, 33, 40, 40, 3, 2, {}, {}},
    };
    ScopedSimdLevel scoped(SimdLevel::Avx2);
    for (bool wide : {false, true}) {
        ScopedAvx512 wideRows(wide);
        for (int32_t index : {64, 65})
            for (const Case& c : cases)
                for (int32_t progress : {1, 64, 100, 128, 150, 192, 220, 255})
                    for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha}) {
                        ExpectRowsMatchWalk(rng, c, index, progress, mode, "wide " + std::to_string(wide));
                        if (HasFatalFailure())
                            return;
                    }
    }
}

// Jittered blocks copied with and without the 512-bit source rows, against the walk: rows of
// several groups of eight blocks between cut ends, blocks pushed past each edge of the destination
// and of its clip, sources clipped on every side, a last grid row cut short, and offsets from
// several pixels (blocks covering their neighbours out of order) down to none.
TEST_F(WipeTurnsTest, JitteredBlocksCopyTheWalkWithAndWithoutWideRows)
{
    std::mt19937 rng(kSeed + 3);
    const Case cases[] = {
        {160, 64, 160, 64, 0, 0, {}, {}},
        {150, 70, 170, 80, 7, -5, {}, {}},              // the top rows above the destination
        {170, 62, 160, 72, -9, 6, {}, {}},              // columns past the destination's left and right
        {160, 66, 176, 80, 3, 4, {13, 7, 150, 61}, {}}, // clip edges inside groups
        {160, 66, 176, 80, 2, 1, {}, {6, 5, 141, 58}},  // source columns cut inside groups
    };
    ScopedSimdLevel scoped(SimdLevel::Avx2);
    for (bool wide : {false, true}) {
        ScopedAvx512 wideRows(wide);
        for (int32_t index : {66, 67})
            for (const Case& c : cases)
                for (int32_t progress : {1, 64, 128, 192, 255}) {
                    ExpectRowsMatchWalk(rng, c, index, progress, kTransitionCopy,
                                        "wide " + std::to_string(wide));
                    if (HasFatalFailure())
                        return;
                }
    }
}

} // namespace
