// Columns stretched to heights of their own, drawn a destination row at a time, against the canvas's
// StretchedColumns: random sources (alpha 0, 255 and between), runs of neighbouring columns that
// stretch alike (as entry 3's do) and columns that each stretch their own way, widened and
// narrowed, gaps between columns, pieces cut by either clip and reaching the source's last pixels,
// both modes and a colour key, at every SIMD level with the switch off and on, and with the
// 512-bit twin allowed and not; and entry 3 on pictures wide enough for groups of sixteen columns
// that hold a few runs each, against the plain drawing.
#include "platform/cpu_info.h"
#include "raster/wipe_basic_columns.h"
#include "raster/wipe_canvas.h"
#include "winapi/simd_level.h"
#include "wipe_test_util.h"

#include <random>

namespace {

using namespace wipetest;

using Columns = std::vector<CWipeCanvas::ColumnStretch>;

// Columns left to right: `runs` picks runs of up to `longest` neighbours that share a height and
// a top (entry 3's shape) or a height and top for each column.
Columns RandomColumns(std::mt19937& rng, LONG sw, LONG sh, LONG dw, LONG dh, bool runs, int longest)
{
    const auto within = [&](int64_t n) { return static_cast<int64_t>(rng() % static_cast<uint32_t>(n)); };
    Columns columns;
    int64_t dx = within(dw / 2 + 2) - 2, left = 0, height = 1, dy = 0;
    for (int64_t i = within(3) - 1; i < sw + 1; ++i) {
        if (left == 0) {
            left = runs ? 1 + within(longest) : 1;
            height = 1 + within(3 * sh);
            dy = within(dh + 4) - 2 - (height - sh) / 2;
        }
        --left;
        if (within(12) == 0) // a column left out
            ++dx;
        columns.push_back(CWipeCanvas::ColumnStretch{i, height, dx, dy});
        ++dx;
    }
    return columns;
}

struct Outcome {
    std::vector<uint32_t> pixels;
    RECT bounds;
    bool byRows;
};

Outcome Draw(const CImage& start, CImage& src, const RECT* clip, int32_t mode, const Columns& columns,
             bool byRows, bool wide = true)
{
    auto dst = TrackedCopy(start);
    if (clip != nullptr)
        dst->ClipRectToSize(clip);
    bool drawnByRows = false;
    {
        int32_t result = 0;
        CWipeCanvas canvas;
        EXPECT_TRUE(canvas.Begin(dst.get(), &src, 128, 0, 0, mode, nullptr, &result));
        {
            ScopedAvx512 twins(wide);
            drawnByRows = byRows && wipe::DrawStretchedColumnRows(canvas, columns);
        }
        if (!drawnByRows)
            canvas.StretchedColumns(columns);
    }
    return Outcome{Pixels(*dst), dst->GetUpdateRegion()->Bounds(), drawnByRows};
}

void CompareWithStretchedColumns(std::mt19937& rng, int32_t mode, bool keyed, bool runs, int longest,
                                 LONG widest)
{
    const LONG sw = 1 + static_cast<LONG>(rng() % widest), sh = 1 + static_cast<LONG>(rng() % 24);
    const LONG dw = 1 + static_cast<LONG>(rng() % (widest + 10)), dh = 1 + static_cast<LONG>(rng() % 30);
    auto src = RandomSource(rng, sw, sh, keyed);
    auto start = NoisyImage(rng, dw, dh);
    RECT clip = RandomClip(rng, dw, dh);
    const bool clipped = rng() % 2 == 0;
    const Columns columns = RandomColumns(rng, sw, sh, dw, dh, runs, longest);
    const Outcome whole = Draw(*start, *src, clipped ? &clip : nullptr, mode, columns, false);
    for (bool wide : {false, true}) {
        const Outcome rows = Draw(*start, *src, clipped ? &clip : nullptr, mode, columns, true, wide);
        ASSERT_EQ(rows.pixels, whole.pixels)
            << "source " << sw << "x" << sh << ", destination " << dw << "x" << dh << ", mode " << mode
            << (keyed ? " keyed" : "") << (rows.byRows ? ", by rows" : "") << (wide ? ", 512-bit allowed" : "");
        EXPECT_TRUE(SameRect(rows.bounds, whole.bounds));
        // The rows are drawn wherever the wipes' AVX2 loops run a plain copy or a blend.
        if (!keyed && g_bUseMmx && UseAvx2()) {
            EXPECT_TRUE(rows.byRows);
        }
        if (keyed || !g_bUseMmx || !UseAvx2()) {
            EXPECT_FALSE(rows.byRows);
        }
    }
}

TEST(WipeStretchedColumns, RowsDrawThePixelsOfTheColumnWalk)
{
    std::mt19937 rng(kSeed);
    AtEverySimdSetting([&] {
        for (int round = 0; round < 120; ++round)
            for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha}) {
                // Short runs and single columns (mostly gathered), runs of a group of eight and
                // more (loaded whole), and now and then a keyed copy.
                CompareWithStretchedColumns(rng, mode, false, round % 3 != 0, 4, 40);
                CompareWithStretchedColumns(rng, mode, false, true, 12, 90);
                CompareWithStretchedColumns(rng, mode, mode == kTransitionCopy && round % 6 == 0, true, 9,
                                            50);
            }
    });
}

// Columns that would land on one destination column, or right to left, go to the column walk.
TEST(WipeStretchedColumns, OverlappingColumnsAreLeftToTheColumnWalk)
{
    std::mt19937 rng(kSeed + 1);
    auto src = NoisyImage(rng, 20, 10);
    auto start = NoisyImage(rng, 24, 12);
    const uint8_t savedSwitch = g_bUseMmx;
    g_bUseMmx = 1;
    for (SimdLevel level : kAllSimdLevels) {
        ScopedSimdLevel scoped(level);
        for (const Columns& columns :
             {Columns{{0, 10, 3, 0}, {1, 12, 3, 1}}, Columns{{0, 10, 5, 0}, {1, 12, 4, 1}}})
            for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha}) {
                const Outcome rows = Draw(*start, *src, nullptr, mode, columns, true);
                const Outcome whole = Draw(*start, *src, nullptr, mode, columns, false);
                EXPECT_FALSE(rows.byRows);
                EXPECT_EQ(rows.pixels, whole.pixels);
            }
    }
    g_bUseMmx = savedSwitch;
}

using WipeStretchedColumnsEntryTest = WipeTest;

// Columns a few to a cosine step (groups of sixteen holding two to eight runs) and one or two to
// a step (more runs than the even groups take), every column over the same rows (in place or cut
// by a clip) or not (offset).
TEST_F(WipeStretchedColumnsEntryTest, EntryThreeDrawsThePlainPixels)
{
    const std::vector<PlacedCase> cases = {
        {1920, 10, 1920, 10, 0, 0, false, false}, {960, 12, 960, 12, 0, 0, false, false},
        {640, 16, 640, 16, 0, 0, false, false},   {650, 20, 600, 22, -30, -4, false, true},
        {700, 14, 720, 20, 9, 3, true, false},    {300, 12, 300, 12, 0, 0, false, false},
    };
    ExpectWideRowsMatchPlain(kSeed + 6, cases, {3}, {1, 64, 128, 192, 255});
}

} // namespace
