// Stretched pieces drawn a row at a time against the canvas's Scaled: random sources (alpha 0,
// 255 and between), pieces widened, narrowed, one column or one row wide, placed partly or wholly
// off the clip, several on one canvas (so a kept column table meets pieces that step alike and
// pieces that do not), both modes and a colour key, at every SIMD level with the switch off and on,
// with the 512-bit twin and without. One-row pieces kept back in batches against the same pieces
// drawn one at a time, and entry 2 on pictures wide enough for whole batches against the plain
// drawing.
#include "platform/cpu_info.h"
#include "raster/wipe_basic_rows.h"
#include "raster/wipe_canvas.h"
#include "winapi/simd_level.h"
#include "wipe_test_util.h"

#include <iterator>
#include <random>

namespace {

using namespace wipetest;

struct Stretch {
    int64_t l, t, r, b, width, height, dx, dy;
};

// A piece of the source stretched somewhere near the destination; `shape` picks a smear of one
// column, of one row, rows widened as entry 2 widens them, or any.
Stretch RandomStretch(std::mt19937& rng, LONG sw, LONG sh, LONG dw, LONG dh, int shape)
{
    const auto within = [&](int64_t n) { return static_cast<int64_t>(rng() % static_cast<uint32_t>(n)); };
    Stretch s{};
    s.l = within(sw + 4) - 2;
    s.t = within(sh + 4) - 2;
    s.r = s.l + 1 + within(sw);
    s.b = s.t + 1 + within(sh);
    s.width = 1 + within(3 * dw);
    s.height = 1 + within(2 * dh);
    if (shape == 0) { // one column smeared across
        s.r = s.l + 1;
        s.height = s.b - s.t;
    } else if (shape == 1) { // one row smeared down
        s.b = s.t + 1;
        s.width = s.r - s.l;
    } else if (shape == 2) { // a row widened about its middle
        s.l = 0;
        s.r = sw;
        s.b = s.t + 1;
        s.height = 1;
        s.width = sw + within(2 * sw);
    }
    s.dx = within(dw + 2 * s.width / 3 + 2) - s.width / 3;
    s.dy = within(dh + 8) - 4;
    return s;
}

void CompareWithScaled(std::mt19937& rng, int32_t mode, bool keyed)
{
    const LONG sw = 1 + static_cast<LONG>(rng() % 60), sh = 1 + static_cast<LONG>(rng() % 20);
    const LONG dw = 1 + static_cast<LONG>(rng() % 70), dh = 1 + static_cast<LONG>(rng() % 20);
    auto src = NoisyImage(rng, sw, sh);
    if (keyed)
        src->SetColorKeyValue(At(*src, 0, 0));
    auto viaRows = NoisyImage(rng, dw, dh, kImageWithTracker);
    auto viaScaled = MakeImage(dw, dh, kImageWithTracker);
    for (LONG j = 0; j < dh; ++j)
        for (LONG i = 0; i < dw; ++i)
            Put(*viaScaled, i, j, At(*viaRows, i, j));
    if (rng() % 2 == 0) {
        const RECT clip{static_cast<LONG>(rng() % dw), static_cast<LONG>(rng() % dh),
                        dw - 1 - static_cast<LONG>(rng() % 3), dh};
        viaRows->ClipRectToSize(&clip);
        viaScaled->ClipRectToSize(&clip);
    }
    std::vector<Stretch> pieces;
    const int shape = static_cast<int>(rng() % 4);
    for (int k = 0; k < 4; ++k) {
        // Now and then the same stepping again one row down, as entry 2's rows come.
        if (!pieces.empty() && rng() % 2 == 0) {
            Stretch again = pieces.back();
            ++again.t;
            ++again.b;
            ++again.dy;
            pieces.push_back(again);
        } else {
            pieces.push_back(RandomStretch(rng, sw, sh, dw, dh, shape));
        }
    }
    int32_t result = 0;
    {
        CWipeCanvas canvas;
        ASSERT_TRUE(canvas.Begin(viaRows.get(), src.get(), 128, 0, 0, mode, nullptr, &result));
        for (const Stretch& s : pieces)
            canvas.StretchedRows(s.l, s.t, s.r, s.b, s.width, s.height, s.dx, s.dy);
    }
    {
        CWipeCanvas canvas;
        ASSERT_TRUE(canvas.Begin(viaScaled.get(), src.get(), 128, 0, 0, mode, nullptr, &result));
        for (const Stretch& s : pieces)
            canvas.Scaled(s.l, s.t, s.r, s.b, s.width, s.height, s.dx, s.dy);
    }
    ASSERT_EQ(Pixels(*viaRows), Pixels(*viaScaled)) << "source " << sw << "x" << sh << ", destination " << dw
                                                    << "x" << dh << ", shape " << shape << ", mode " << mode;
    const RECT a = viaRows->GetUpdateRegion()->Bounds(), b = viaScaled->GetUpdateRegion()->Bounds();
    EXPECT_TRUE(a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom);
}

TEST(WipeStretchedRows, DrawThePixelsOfScaled)
{
    std::mt19937 rng(kSeed);
    for (bool wide : {false, true}) {
        ScopedAvx512 twins(wide);
        AtEverySimdSetting([&] {
            for (int round = 0; round < 150; ++round) {
                CompareWithScaled(rng, kTransitionCopy, false);
                CompareWithScaled(rng, kTransitionBlendAlpha, false);
                CompareWithScaled(rng, kTransitionCopy, round % 5 == 0);
            }
        });
    }
}

// Wide rows, where most groups of eight take the load-and-permute path, and their ends, where
// the load would pass the source's last column.
TEST(WipeStretchedRows, WideRowsAtEveryScaleMatchScaled)
{
    std::mt19937 rng(kSeed + 1);
    const LONG sw = 333, sh = 3, dw = 517, dh = 3;
    auto src = NoisyImage(rng, sw, sh);
    const uint8_t savedSwitch = g_bUseMmx;
    g_bUseMmx = 1;
    for (int setting = 0; setting <= static_cast<int>(std::size(kAllSimdLevels)); ++setting) {
        // Each level, then the AVX2 level again with its 512-bit twin.
        const bool wide = setting == static_cast<int>(std::size(kAllSimdLevels));
        ScopedSimdLevel scoped(wide ? SimdLevel::Avx2 : kAllSimdLevels[setting]);
        ScopedAvx512 twins(wide);
        // Each width copied, then blended: the blend meets the column table the copy kept.
        for (int64_t width : {int64_t{1}, int64_t{7}, int64_t{200}, int64_t{333}, int64_t{334}, int64_t{500},
                              int64_t{665}, int64_t{999}, int64_t{1400}})
            for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha}) {
                auto viaRows = NoisyImage(rng, dw, dh);
                auto viaScaled = MakeImage(dw, dh);
                for (LONG j = 0; j < dh; ++j)
                    for (LONG i = 0; i < dw; ++i)
                        Put(*viaScaled, i, j, At(*viaRows, i, j));
                const int64_t dx = (dw - width) / 2;
                int32_t result = 0;
                {
                    CWipeCanvas canvas;
                    ASSERT_TRUE(canvas.Begin(viaRows.get(), src.get(), 128, 0, 0, mode, nullptr, &result));
                    canvas.StretchedRows(0, 1, sw, 2, width, 2, dx, 0);
                }
                {
                    CWipeCanvas canvas;
                    ASSERT_TRUE(canvas.Begin(viaScaled.get(), src.get(), 128, 0, 0, mode, nullptr, &result));
                    canvas.Scaled(0, 1, sw, 2, width, 2, dx, 0);
                }
                ASSERT_EQ(Pixels(*viaRows), Pixels(*viaScaled))
                    << "width " << width << ", mode " << mode << (wide ? ", 512-bit" : "");
            }
    }
    g_bUseMmx = savedSwitch;
}

// A run of one-row pieces as entry 2 sends them: rows that stretch alike one after another, going
// down and now and then back up the destination, among pieces of several rows (which the batch
// passes on) and rows that stretch their own way.
std::vector<Stretch> RandomRowRun(std::mt19937& rng, LONG sw, LONG sh, LONG dw, LONG dh)
{
    const auto within = [&](int64_t n) { return static_cast<int64_t>(rng() % static_cast<uint32_t>(n)); };
    std::vector<Stretch> pieces;
    Stretch s = RandomStretch(rng, sw, sh, dw, dh, 2);
    for (int k = 0; k < 40; ++k) {
        const int64_t pick = within(10);
        if (pick < 6) { // the same stepping a row or a few further down
            const int64_t by = 1 + within(3);
            s.t += by;
            s.b += by;
            s.dy += by;
        } else if (pick == 6) { // back up the destination
            s.t -= 2;
            s.b -= 2;
            s.dy -= 5;
        } else if (pick == 7) { // a piece of several rows
            pieces.push_back(RandomStretch(rng, sw, sh, dw, dh, 3));
            continue;
        } else {
            s = RandomStretch(rng, sw, sh, dw, dh, within(2) == 0 ? 2 : 3);
            s.b = s.t + 1;
            s.height = 1;
        }
        pieces.push_back(s);
    }
    return pieces;
}

void CompareBatchWithRows(std::mt19937& rng, int32_t mode, bool keyed)
{
    const LONG sw = 1 + static_cast<LONG>(rng() % 90), sh = 1 + static_cast<LONG>(rng() % 20);
    const LONG dw = 1 + static_cast<LONG>(rng() % 120), dh = 1 + static_cast<LONG>(rng() % 30);
    auto src = RandomSource(rng, sw, sh, keyed);
    auto start = NoisyImage(rng, dw, dh, kImageWithTracker);
    const bool clipped = rng() % 2 == 0;
    const RECT clip = RandomClip(rng, dw, dh);
    const std::vector<Stretch> pieces = RandomRowRun(rng, sw, sh, dw, dh);
    const auto draw = [&](bool batched) {
        auto dst = TrackedCopy(*start);
        if (clipped)
            dst->ClipRectToSize(&clip);
        {
            int32_t result = 0;
            CWipeCanvas canvas;
            EXPECT_TRUE(canvas.Begin(dst.get(), src.get(), 128, 0, 0, mode, nullptr, &result));
            if (batched) {
                wipe::StretchedRowBatch batch(canvas);
                for (const Stretch& s : pieces)
                    batch.Add(s.l, s.t, s.r, s.b, s.width, s.height, s.dx, s.dy);
            } else {
                for (const Stretch& s : pieces)
                    canvas.StretchedRows(s.l, s.t, s.r, s.b, s.width, s.height, s.dx, s.dy);
            }
        }
        return Drawn{Pixels(*dst), dst->GetUpdateRegion()->Bounds()};
    };
    const Drawn one = draw(false), batched = draw(true);
    ASSERT_EQ(batched.pixels, one.pixels) << "source " << sw << "x" << sh << ", destination " << dw << "x" << dh
                                          << ", mode " << mode << (keyed ? " keyed" : "");
    EXPECT_TRUE(SameRect(batched.changed, one.changed));
}

TEST(WipeStretchedRows, BatchesDrawThePiecesOneAtATime)
{
    std::mt19937 rng(kSeed + 2);
    for (bool wide : {false, true}) {
        ScopedAvx512 twins(wide);
        AtEverySimdSetting([&] {
            for (int round = 0; round < 40; ++round) {
                CompareBatchWithRows(rng, kTransitionCopy, false);
                CompareBatchWithRows(rng, kTransitionBlendAlpha, false);
                CompareBatchWithRows(rng, kTransitionCopy, round % 5 == 0);
            }
        });
    }
}

using WipeStretchedRowsEntryTest = WipeTest;

// Widths of many groups of sixteen (whole batches, each row's last pixels past the plan), in
// place, offset with a clipped source, and across the destination's edges.
TEST_F(WipeStretchedRowsEntryTest, EntryTwoDrawsThePlainPixels)
{
    const std::vector<PlacedCase> cases = {
        {640, 24, 640, 24, 0, 0, false, false},
        {700, 30, 720, 36, 9, 3, true, false},
        {650, 22, 600, 20, -30, -4, false, true},
        {1920, 6, 1920, 6, 0, 0, false, false},
    };
    ExpectWideRowsMatchPlain(kSeed + 5, cases, {2}, {1, 64, 128, 192, 255});
}

} // namespace
