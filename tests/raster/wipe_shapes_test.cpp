// The shapes of single entries at chosen progress values: which source pixels show where.
#include "wipe_test_util.h"

#include "platform/random.h"
#include "raster/wipe_common.h"

#include <algorithm>
#include <random>

#include <set>

namespace {

using namespace wipetest;

class WipeShapeTest : public WipeTest {
protected:
    // Draws entry index at (0, 0) onto a destination of the source's size.
    std::vector<uint32_t> Draw(int index, const CImage& src, int progress, int mode = 0)
    {
        return Step(index, src, src.GetWidth(), src.GetHeight(), progress, 0, 0, mode);
    }
    static uint32_t Get(const std::vector<uint32_t>& pixels, LONG width, LONG i, LONG j)
    {
        return pixels[static_cast<size_t>(j * width + i)];
    }
};

TEST_F(WipeShapeTest, MirrorsShowTheWholeMirroredSourceAtEveryProgress)
{
    auto src = MakeSource(9, 5);
    for (int progress : {1, 128, 255}) {
        const auto cols = Draw(0, *src, progress);
        const auto rows = Draw(1, *src, progress);
        for (LONG j = 0; j < 5; ++j)
            for (LONG i = 0; i < 9; ++i) {
                EXPECT_EQ(Get(cols, 9, i, j), SourcePixel(8 - i, j));
                EXPECT_EQ(Get(rows, 9, i, j), SourcePixel(i, 4 - j));
            }
    }
}

TEST_F(WipeShapeTest, InterleaveRows4CompletesHalfTheRowsAt128)
{
    auto src = MakeSource(40, 12);
    const auto at128 = Draw(18, *src, 128);
    for (LONG j = 0; j < 12; ++j)
        for (LONG i = 0; i < 40; ++i) {
            const bool shown = j % 4 == 0 || j % 4 == 2;
            EXPECT_EQ(Get(at128, 40, i, j), shown ? SourcePixel(i, j) : kOld) << i << "," << j;
        }
    // At 129 the second pass starts with (w >> 7) = 0 columns on rows 4k + 1 and one column on
    // rows 4k + 3 (the right-hand pieces are one longer).
    const auto at129 = Draw(18, *src, 129);
    EXPECT_EQ(Get(at129, 40, 0, 1), kOld);
    EXPECT_EQ(Get(at129, 40, 39, 3), SourcePixel(39, 3));
    EXPECT_EQ(Get(at129, 40, 38, 3), kOld);
}

TEST_F(WipeShapeTest, BandsKeepTheirLastColumn)
{
    // w = 100, n = 16: count 7, at p = 128 eleven steps are filled; band 6 starts at column 96 and
    // reaches the right edge (the last column is drawn, not cut off one short).
    auto src = MakeSource(100, 3);
    const auto pixels = Draw(71, *src, 128);
    const int widths[7] = {11, 10, 9, 8, 7, 6, 4};
    for (int k = 0; k < 7; ++k)
        for (LONG i = k * 16; i < std::min<LONG>(k * 16 + 16, 100); ++i)
            EXPECT_EQ(Get(pixels, 100, i, 1) != kOld, i < k * 16 + widths[k])
                << "band " << k << " column " << i;
    // Rows from the bottom: the first band reaches the bottom row.
    auto tall = MakeSource(3, 20);
    const auto rows = Draw(78, *tall, 255);
    for (LONG j = 0; j < 20; ++j)
        EXPECT_EQ(Get(rows, 3, 1, j), SourcePixel(1, j)) << j;
}

TEST_F(WipeShapeTest, BlindsAddOneLinePerStepOfProgress)
{
    auto src = MakeSource(32, 2);
    const auto at31 = Draw(35, *src, 31);
    const auto at32 = Draw(35, *src, 32);
    const auto reverse = Draw(36, *src, 1);
    for (LONG i = 0; i < 32; ++i) {
        EXPECT_EQ(Get(at31, 32, i, 1) != kOld, i % 8 == 0) << i;
        EXPECT_EQ(Get(at32, 32, i, 1) != kOld, i % 8 <= 1) << i;
        EXPECT_EQ(Get(reverse, 32, i, 0) != kOld, i % 8 == 7) << i;
    }
    auto tall = MakeSource(2, 32);
    const auto rows = Draw(41, *tall, 16); // rows 16: phases 0 and 1
    for (LONG j = 0; j < 32; ++j)
        EXPECT_EQ(Get(rows, 2, 0, j) != kOld, j % 16 <= 1) << j;
}

TEST_F(WipeShapeTest, SlantedDashesRepeatEverySevenRows)
{
    auto src = MakeSource(40, 15);
    const auto pixels = Draw(43, *src, 100); // dashes of 3 every 8, row j shifted left by j mod 7
    for (LONG j = 0; j < 15; ++j)
        for (LONG i = 0; i < 40; ++i) {
            const LONG phase = ((i + j % 7) % 8);
            EXPECT_EQ(Get(pixels, 40, i, j) != kOld, phase < 3) << i << "," << j;
        }
}

TEST_F(WipeShapeTest, TileSpiralOut2At16ShowsTheTwoInnerCells)
{
    auto src = MakeSource(16, 16);
    const auto pixels = Draw(48, *src, 16);
    for (LONG j = 0; j < 16; ++j)
        for (LONG i = 0; i < 16; ++i) {
            const LONG ti = i % 8, tj = j % 8;
            const bool shown = tj >= 2 && tj < 4 && ti >= 2 && ti < 6;
            EXPECT_EQ(Get(pixels, 16, i, j) != kOld, shown) << i << "," << j;
        }
}

TEST_F(WipeShapeTest, GrowCellsStopOneShortOfFull)
{
    auto src = MakeSource(35, 20);
    const auto cells16 = Draw(34, *src, 255);
    const auto cells4 = Draw(32, *src, 63);
    for (LONG j = 0; j < 20; ++j)
        for (LONG i = 0; i < 35; ++i) {
            EXPECT_EQ(Get(cells16, 35, i, j) != kOld, i % 16 < 15 && j % 16 < 15) << i << "," << j;
            EXPECT_EQ(Get(cells4, 35, i, j), kOld);
        }
}

TEST_F(WipeShapeTest, HalvesMeetInTheMiddle)
{
    auto src = MakeSource(64, 4);
    const auto pixels = Draw(85, *src, 128); // s = 16
    for (LONG i = 0; i < 64; ++i) {
        uint32_t expected = kOld;
        if (i < 16)
            expected = SourcePixel(i + 16, 2);
        else if (i >= 48)
            expected = SourcePixel(i - 16, 2);
        EXPECT_EQ(Get(pixels, 64, i, 2), expected) << i;
    }
    auto tall = MakeSource(3, 64);
    const auto vertical = Draw(86, *tall, 128);
    EXPECT_EQ(Get(vertical, 3, 1, 0), SourcePixel(1, 16));
    EXPECT_EQ(Get(vertical, 3, 1, 63), SourcePixel(1, 47));
    EXPECT_EQ(Get(vertical, 3, 1, 30), kOld);
}

TEST_F(WipeShapeTest, SectorsStartEmptyAndStayInPlace)
{
    auto src = MakeSource(40, 30);
    const auto untouched = Pixels(*MakeDestination(40, 30));
    EXPECT_EQ(Draw(83, *src, 1), untouched);
    EXPECT_EQ(Draw(84, *src, 1), untouched);
    for (int index : {83, 84})
        for (int progress : {60, 128, 200}) {
            const auto pixels = Draw(index, *src, progress);
            int shown = 0;
            for (LONG j = 0; j < 30; ++j)
                for (LONG i = 0; i < 40; ++i) {
                    const uint32_t v = Get(pixels, 40, i, j);
                    if (v != kOld) {
                        EXPECT_EQ(v, SourcePixel(i, j));
                        ++shown;
                    }
                }
            EXPECT_GT(shown, 0) << index << " at " << progress;
        }
}

// The sectors' pieces in the order of their definition: the rows of pieces 1 and 2 outward from
// the centre, the row runs of pieces 3 and 4, then the four rectangles, each drawn by the canvas.
void SectorPieces(CWipeCanvas& c, int32_t progress, bool clockwise)
{
    const int64_t hw = c.Width() >> 1, hh = c.Height() >> 1;
    const int64_t r = ((std::max(hw, hh) + 1) * 65536) / wipe::Cos(448);
    const int64_t cv = (wipe::Cos(progress >> 1) * r) >> 16, sv = (wipe::Cos((progress >> 1) - 128) * r) >> 16;
    if (sv > 0) {
        for (int64_t k = 0; k < sv; ++k) {
            const int64_t q = (k * cv) / sv;
            const int64_t below = hh + k, above = hh - k;
            c.Piece(hw + q, clockwise ? below : above, hw + cv, (clockwise ? below : above) + 1);
            c.Piece(hw - cv, clockwise ? above : below, hw - q, (clockwise ? above : below) + 1);
        }
        for (int64_t row = 0; row < cv; ++row) {
            int64_t reach = 0;
            while (reach < sv && (reach * cv) / sv <= row)
                ++reach;
            if (reach == 0)
                continue;
            const int64_t below = hh + row, above = hh - 1 - row;
            c.Piece(hw - reach + 1, clockwise ? below : above, hw + 1, (clockwise ? below : above) + 1);
            c.Piece(hw, clockwise ? above : below, hw + reach, (clockwise ? above : below) + 1);
        }
    }
    if (sv > cv) {
        const int64_t w = 2 * hw, h = 2 * hh;
        if (clockwise) {
            c.Piece(hw + cv, hh, w, hh + sv + 1);
            c.Piece(0, hh - sv, hw - cv, hh + 1);
            c.Piece(0, hh + cv, hw + 1, h);
            c.Piece(hw, 0, w + 1, hh - cv);
        } else {
            c.Piece(hw + cv, hh - sv, w, hh + 1);
            c.Piece(0, hh, hw - cv, hh + sv + 1);
            c.Piece(0, 0, hw + 1, hh - cv);
            c.Piece(hw, hh + cv, w + 1, h);
        }
    }
}

// Drawn as the entries draw them, the sectors give the pixels of their pieces one by one: where
// two pieces meet, a blend covers the pixel twice. Odd and even sizes, sources taller or wider
// than the destination, offsets either way and clipped sources and destinations.
TEST_F(WipeShapeTest, SectorsDrawThePixelsOfTheirPieces)
{
    std::mt19937 rng(kSeed);
    struct Case {
        LONG sw, sh, dw, dh, x, y;
        bool clipped;
    };
    const Case cases[] = {
        {40, 30, 40, 30, 0, 0, false}, {41, 31, 50, 40, 3, 2, false}, {7, 90, 30, 60, -2, -20, false},
        {90, 7, 60, 30, -20, 5, true}, {64, 48, 64, 48, 0, 0, true},  {33, 57, 40, 40, 6, -9, true},
    };
    AtEverySimdSetting([&] {
        for (const Case& k : cases)
            for (int index : {83, 84})
                for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha})
                    for (int32_t progress : {1, 30, 64, 100, 128, 160, 192, 230, 255}) {
                        auto src = NoisyImage(rng, k.sw, k.sh);
                        auto viaEntry = NoisyImage(rng, k.dw, k.dh, kImageWithTracker);
                        auto viaPieces = TrackedCopy(*viaEntry);
                        if (k.clipped) {
                            const RECT srcClip{1, 3, k.sw - 2, k.sh - 1}, dstClip{2, 1, k.dw - 3, k.dh - 4};
                            ASSERT_TRUE(src->ClipRectToSize(&srcClip));
                            ASSERT_TRUE(viaEntry->ClipRectToSize(&dstClip));
                            ASSERT_TRUE(viaPieces->ClipRectToSize(&dstClip));
                        }
                        ASSERT_EQ(DrawTransition(index, viaEntry.get(), src.get(), progress, k.x, k.y, mode, nullptr),
                                  0);
                        {
                            CWipeCanvas canvas;
                            int32_t result = 0;
                            ASSERT_TRUE(canvas.Begin(viaPieces.get(), src.get(), progress, k.x, k.y, mode, nullptr,
                                                     &result));
                            SectorPieces(canvas, progress, index == 83);
                        }
                        ASSERT_EQ(Pixels(*viaEntry), Pixels(*viaPieces))
                            << "entry " << index << ", source " << k.sw << "x" << k.sh << ", mode " << mode
                            << " at " << progress;
                        const RECT a = viaEntry->GetUpdateRegion()->Bounds();
                        const RECT b = viaPieces->GetUpdateRegion()->Bounds();
                        EXPECT_TRUE(a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom)
                            << "entry " << index << " at " << progress;
                    }
    });
}

TEST_F(WipeShapeTest, RotateBlocksQuarterTurn)
{
    // p = 192: t = 128, C0 = 0, S0 = 65536: the corner (dx, dy) goes to (-dy, dx).
    auto src = MakeSource(16, 16);
    const auto pixels = Draw(61, *src, 192);
    // Block (12, 8): dx = 4, dy = 0 lands at (8 + 0, 8 + 4).
    EXPECT_EQ(Get(pixels, 16, 8, 12), SourcePixel(12, 8));
    EXPECT_EQ(Get(pixels, 16, 11, 15), SourcePixel(15, 11));
}

TEST_F(WipeShapeTest, JitterBlocksLinearEndsAtMostOnePixelLeft)
{
    auto src = MakeSource(32, 32);
    const auto pixels = Draw(67, *src, 255);
    ASSERT_NE(g_pNoiseTable, nullptr);
    for (LONG j = 0; j < 32; j += 4)
        for (LONG i = 4; i < 32; i += 4) {
            const int u = g_pNoiseTable[((i >> 2) + 13 * (j >> 2)) & 255];
            const LONG ox = u < 128 ? -1 : 0;
            EXPECT_EQ(Get(pixels, 32, i + ox, j), SourcePixel(i, j)) << i << "," << j;
        }
}

TEST_F(WipeShapeTest, DropCellsFollowTheNoiseTable)
{
    auto src = MakeSource(32, 16);
    Draw(64, *src, 1); // builds the table
    ASSERT_NE(g_pNoiseTable, nullptr);
    for (int progress : {40, 100, 140}) {
        const auto pixels = Draw(64, *src, progress);
        for (LONG j = 0; j < 16; j += 8)
            for (LONG i = 0; i < 32; i += 8) {
                const int v = g_pNoiseTable[((i >> 3) + 13 * j) & 255];
                int k = (((v >> 1) + progress) >> 4) - 8;
                k = std::min(k, 8);
                // The bottom row of the cell shows row k - 1 of the cell's picture, or nothing.
                const uint32_t bottom = Get(pixels, 32, i + 3, j + 7);
                EXPECT_EQ(bottom, k > 0 ? SourcePixel(i + 3, j + k - 1) : kOld)
                    << i << "," << j << " at " << progress;
            }
    }
}

TEST_F(WipeShapeTest, ScatterOffsetsShrinkWithProgress)
{
    auto src = MakeSource(40, 20);
    for (auto [progress, limit] : {std::pair{230, 2}, std::pair{229, 4}, std::pair{100, 10}}) {
        const auto pixels = Draw(5, *src, progress);
        for (LONG j = 0; j < 20; ++j)
            for (LONG i = 0; i < 40; ++i) {
                const uint32_t v = Get(pixels, 40, i, j);
                ASSERT_NE(v, kOld); // every block is drawn
                const LONG si = static_cast<LONG>(v & 0xFFF), sj = static_cast<LONG>((v >> 12) & 0xFFF);
                EXPECT_GE(si - i, 0);
                EXPECT_LT(si - i, limit) << progress;
                EXPECT_GE(sj - j, 0);
                EXPECT_LT(sj - j, limit) << progress;
            }
    }
}

TEST_F(WipeShapeTest, DissolveFromTopStartsWithTheLowestDraws)
{
    auto src = MakeSource(40, 20);
    const auto pixels = Draw(7, *src, 1);
    // Reproduce the draws: only blocks whose low byte is at most their threshold show.
    Reseed();
    for (LONG y0 = 0; y0 < 20; y0 += 2)
        for (LONG x0 = 0; x0 < 40; x0 += 4) {
            const int64_t r8 = DrawSubtractiveRandom(g_RandomState) & 255;
            const int64_t t = ((20 - 1 - y0) * 256) / 20 - 256 + 2;
            EXPECT_EQ(Get(pixels, 40, x0, y0) != kOld, r8 <= t) << x0 << "," << y0;
            EXPECT_LE(t, 1);
        }
}

TEST_F(WipeShapeTest, DiscsDrawNothingTooSmall)
{
    auto one = MakeSource(1, 1);
    const auto untouched = Pixels(*MakeDestination(1, 1));
    for (int progress = 1; progress < 256; progress += 17)
        EXPECT_EQ(Draw(31, *one, progress), untouched);
    auto src = MakeSource(30, 20);
    const auto full = Draw(31, *src, 255);
    EXPECT_EQ(Get(full, 30, 15, 10), SourcePixel(15, 10));
}

TEST_F(WipeShapeTest, SlideSmearStretchesTheFirstHiddenColumn)
{
    auto src = MakeSource(20, 4);
    const auto pixels = Step(80, *src, 30, 4, 128, 0, 0, 0); // s = 10; destination wider than the source
    for (LONG i = 0; i < 30; ++i)
        EXPECT_EQ(Get(pixels, 30, i, 1), SourcePixel(i < 10 ? i : 10, 1)) << i;
    const auto rows = Step(82, *src, 20, 9, 128, 0, 0, 0); // s = 2
    for (LONG j = 0; j < 9; ++j)
        EXPECT_EQ(Get(rows, 20, 5, j), SourcePixel(5, j < 2 ? j : 2)) << j;
}

TEST_F(WipeShapeTest, SlideSmearFromTheFarSide)
{
    auto src = MakeSource(20, 4);
    // Direction 1, s = 10: columns 10..19 in place at x + 10, column 9 stretched over 0..x + 9.
    const auto cols = Step(79, *src, 30, 4, 128, 10, 0, 0);
    for (LONG i = 0; i < 30; ++i)
        EXPECT_EQ(Get(cols, 30, i, 2), SourcePixel(i < 20 ? 9 : i - 10, 2)) << i;
    auto tall = MakeSource(3, 8);
    // Rows: s = 4, rows 4..7 in place at y + 4, row 3 stretched over 0..y + 3.
    const auto rows = Step(81, *tall, 3, 12, 128, 0, 4, 0);
    for (LONG j = 0; j < 12; ++j)
        EXPECT_EQ(Get(rows, 3, 1, j), SourcePixel(1, j < 8 ? 3 : j - 4)) << j;
}

TEST_F(WipeShapeTest, TornEdgesShiftTheSixRowsPastTheEdge)
{
    auto src = MakeSource(27, 20);
    const auto down = Step(21, *src, 60, 20, 128, 15, 0, 0); // s = 10
    const LONG offsets[6] = {-3, 3, -6, 6, -9, 9};
    for (LONG j = 0; j < 10; ++j)
        EXPECT_EQ(Get(down, 60, 15, j), SourcePixel(0, j));
    for (LONG k = 0; k < 6; ++k)
        EXPECT_EQ(Get(down, 60, 15 + offsets[k], 10 + k), SourcePixel(0, 10 + k)) << k;
    EXPECT_EQ(Get(down, 60, 15, 16), kOld);
    const auto up = Step(22, *src, 60, 20, 128, 15, 0, 0); // t = 10
    for (LONG j = 10; j < 20; ++j)
        EXPECT_EQ(Get(up, 60, 15, j), SourcePixel(0, j));
    for (LONG k = 0; k < 6; ++k)
        EXPECT_EQ(Get(up, 60, 15 + offsets[k], 9 - k), SourcePixel(0, 9 - k)) << k;
    EXPECT_EQ(Get(up, 60, 15, 3), kOld);
}

TEST_F(WipeShapeTest, JitterRowsStayWithinTheRange)
{
    auto src = MakeSource(30, 16);
    for (int progress : {1, 200, 250}) {
        const auto pixels = Step(4, *src, 600, 16, progress, 280, 0, 0);
        const LONG range = 256 - progress;
        for (LONG j = 0; j < 16; ++j) {
            LONG found = -1000;
            for (LONG i = 0; i < 600; ++i)
                if (Get(pixels, 600, i, j) == SourcePixel(0, j)) {
                    found = i - 280;
                    break;
                }
            EXPECT_GE(found, -(range >> 1)) << j;
            EXPECT_LT(found, range - (range >> 1)) << j;
        }
    }
}

TEST_F(WipeShapeTest, WavesSettleAtTheEnd)
{
    auto src = MakeSource(30, 12);
    for (int index : {23, 24, 25, 26}) {
        const auto pixels = Draw(index, *src, 255);
        EXPECT_EQ(pixels, Pixels(*src)) << index;
    }
}

} // namespace
