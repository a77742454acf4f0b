// The wipes' inline drawing against the canvas's general routes: blocks drawn as they come against
// lists of pieces (random blocks on and off the picture, every width the writer is made for and
// others), and masked rows drawn group by group against runs of shown columns; clipped source and
// destination, both modes, at every SIMD level with the SIMD switch off and on.
#include "platform/cpu_info.h"
#include "raster/wipe_blocks.h"
#include "winapi/simd_level.h"
#include "wipe_test_util.h"

#include <algorithm>
#include <random>

namespace {

using namespace wipetest;

std::unique_ptr<CImage> RandomImage(std::mt19937& rng, LONG w, LONG h, uint32_t flags = 0)
{
    auto image = MakeImage(w, h, flags);
    for (LONG j = 0; j < h; ++j)
        for (LONG i = 0; i < w; ++i) {
            uint32_t v = rng();
            // Alpha 0, 255 and between, each often.
            const uint32_t pick = v % 3;
            v = (v & 0x00FFFFFFu) | (pick == 0 ? 0u : pick == 1 ? 0xFF000000u : (v & 0xFF000000u));
            Put(*image, i, j, v);
        }
    return image;
}

RECT RandomClip(std::mt19937& rng, LONG w, LONG h)
{
    const LONG l = static_cast<LONG>(rng() % (w / 2)), t = static_cast<LONG>(rng() % (h / 2));
    return RECT{l, t, l + 1 + static_cast<LONG>(rng() % (w - l)), t + 1 + static_cast<LONG>(rng() % (h - t))};
}

// The same blocks drawn by the writer and by Pieces a row at a time give the same pixels.
template <int Width, bool Blend> void CompareWithPieces(std::mt19937& rng)
{
    const LONG sw = 8 + static_cast<LONG>(rng() % 40), sh = 4 + static_cast<LONG>(rng() % 30);
    const LONG dw = 8 + static_cast<LONG>(rng() % 40), dh = 4 + static_cast<LONG>(rng() % 30);
    auto src = RandomImage(rng, sw, sh);
    auto viaWriter = RandomImage(rng, dw, dh, kImageWithTracker);
    auto viaPieces = MakeImage(dw, dh, kImageWithTracker);
    for (LONG j = 0; j < dh; ++j)
        for (LONG i = 0; i < dw; ++i)
            Put(*viaPieces, i, j, At(*viaWriter, i, j));
    const RECT srcClip = RandomClip(rng, sw, sh), dstClip = RandomClip(rng, dw, dh);
    ASSERT_TRUE(src->ClipRectToSize(&srcClip));
    ASSERT_TRUE(viaWriter->ClipRectToSize(&dstClip));
    ASSERT_TRUE(viaPieces->ClipRectToSize(&dstClip));
    // Rows of blocks, most of the writer's width, some narrower or wider, many overlapping, some
    // wholly or partly off either picture.
    std::vector<std::vector<CWipeCanvas::Placed>> rows(4);
    const auto coordinate = [&](LONG size) { return static_cast<int64_t>(rng() % (size + 16)) - 8; };
    for (auto& row : rows)
        for (int k = 0; k < 40; ++k) {
            const int64_t w = rng() % 4 == 0 ? 1 + rng() % 9 : Width;
            const int64_t h = rng() % 5 == 0 ? static_cast<int64_t>(rng() % 3) : 1 + rng() % 4;
            const int64_t l = coordinate(sw), t = coordinate(sh);
            row.push_back(CWipeCanvas::Placed{l, t, l + w, t + h, coordinate(dw), coordinate(dh)});
        }
    const int32_t mode = Blend ? kTransitionBlendAlpha : kTransitionCopy;
    int32_t result = 0;
    {
        CWipeCanvas canvas;
        ASSERT_TRUE(canvas.Begin(viaWriter.get(), src.get(), 128, 0, 0, mode, nullptr, &result));
        ASSERT_TRUE(canvas.WritesBlocks());
        wipe::BlockWriter<Width, Blend> writer(canvas);
        for (const auto& row : rows) {
            for (const CWipeCanvas::Placed& p : row)
                writer.Add(p);
            writer.EndRow();
        }
    }
    {
        CWipeCanvas canvas;
        ASSERT_TRUE(canvas.Begin(viaPieces.get(), src.get(), 128, 0, 0, mode, nullptr, &result));
        for (const auto& row : rows)
            canvas.Pieces(row);
    }
    ASSERT_EQ(Pixels(*viaWriter), Pixels(*viaPieces)) << "width " << Width << (Blend ? " blend" : " copy");
    // One bounding rectangle of what was drawn, the same either way.
    CUpdateRegion& ra = *viaWriter->GetUpdateRegion();
    CUpdateRegion& rb = *viaPieces->GetUpdateRegion();
    ra.RecomputeBounds();
    rb.RecomputeBounds();
    const RECT a = ra.Bounds(), b = rb.Bounds();
    EXPECT_TRUE(a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom);
}

TEST(WipeBlockWriter, DrawsThePixelsOfTheCanvasPieces)
{
    std::mt19937 rng(kSeed);
    const uint8_t savedSwitch = g_bUseMmx;
    for (uint8_t simdSwitch : {0, 1})
        for (SimdLevel level : kAllSimdLevels) {
            g_bUseMmx = simdSwitch;
            ScopedSimdLevel scoped(level);
            for (int trial = 0; trial < 30; ++trial) {
                CompareWithPieces<2, false>(rng);
                CompareWithPieces<2, true>(rng);
                CompareWithPieces<4, false>(rng);
                CompareWithPieces<4, true>(rng);
                CompareWithPieces<8, false>(rng);
                CompareWithPieces<8, true>(rng);
            }
        }
    g_bUseMmx = savedSwitch;
}

// Rows under a random column mask (runs of every length, single columns, none shown) drawn by
// ScatteredMaskedRows and by MaskedRows give the same pixels.
void CompareMaskedRows(std::mt19937& rng, int32_t mode)
{
    const LONG sw = 8 + static_cast<LONG>(rng() % 40), sh = 4 + static_cast<LONG>(rng() % 30);
    const LONG dw = 8 + static_cast<LONG>(rng() % 40), dh = 4 + static_cast<LONG>(rng() % 30);
    auto src = RandomImage(rng, sw, sh);
    auto viaGroups = RandomImage(rng, dw, dh);
    auto viaRuns = MakeImage(dw, dh);
    for (LONG j = 0; j < dh; ++j)
        for (LONG i = 0; i < dw; ++i)
            Put(*viaRuns, i, j, At(*viaGroups, i, j));
    const RECT srcClip = RandomClip(rng, sw, sh), dstClip = RandomClip(rng, dw, dh);
    ASSERT_TRUE(src->ClipRectToSize(&srcClip));
    ASSERT_TRUE(viaGroups->ClipRectToSize(&dstClip));
    ASSERT_TRUE(viaRuns->ClipRectToSize(&dstClip));
    const uint32_t density = rng() % 5; // 0: nothing shown ... 4: mostly shown
    std::vector<uint8_t> mask(static_cast<size_t>(sw));
    for (uint8_t& m : mask)
        m = rng() % 4 < density ? 1 : 0;
    const int64_t top = static_cast<int64_t>(rng() % sh) - 2,
                  bottom = top + 1 + static_cast<int64_t>(rng() % 8);
    const int32_t x = static_cast<int32_t>(rng() % 12) - 6, y = static_cast<int32_t>(rng() % 12) - 6;
    int32_t result = 0;
    {
        CWipeCanvas canvas;
        ASSERT_TRUE(canvas.Begin(viaGroups.get(), src.get(), 128, x, y, mode, nullptr, &result));
        uint8_t* on = canvas.ColumnMask();
        std::copy(mask.begin(), mask.end(), on);
        canvas.ScatteredMaskedRows(top, bottom, on);
    }
    {
        CWipeCanvas canvas;
        ASSERT_TRUE(canvas.Begin(viaRuns.get(), src.get(), 128, x, y, mode, nullptr, &result));
        uint8_t* on = canvas.ColumnMask();
        std::copy(mask.begin(), mask.end(), on);
        canvas.MaskedRows(top, bottom, on);
    }
    ASSERT_EQ(Pixels(*viaGroups), Pixels(*viaRuns)) << "mode " << mode;
}

TEST(WipeMaskedRows, GroupsDrawThePixelsOfTheRuns)
{
    std::mt19937 rng(kSeed);
    const uint8_t savedSwitch = g_bUseMmx;
    for (uint8_t simdSwitch : {0, 1})
        for (SimdLevel level : kAllSimdLevels) {
            g_bUseMmx = simdSwitch;
            ScopedSimdLevel scoped(level);
            for (int trial = 0; trial < 60; ++trial) {
                CompareMaskedRows(rng, kTransitionCopy);
                CompareMaskedRows(rng, kTransitionBlendAlpha);
            }
        }
    g_bUseMmx = savedSwitch;
}

// Rows under masks that change with the row (period masks, cell rows each, some showing nothing)
// drawn by PhasedMaskedRows and row by row by MaskedRows give the same pixels and bounds.
void ComparePhasedRows(std::mt19937& rng, int32_t mode)
{
    const LONG sw = 8 + static_cast<LONG>(rng() % 60), sh = 4 + static_cast<LONG>(rng() % 30);
    const LONG dw = 8 + static_cast<LONG>(rng() % 60), dh = 4 + static_cast<LONG>(rng() % 30);
    auto src = RandomImage(rng, sw, sh);
    auto viaPhases = RandomImage(rng, dw, dh, kImageWithTracker);
    auto viaRows = MakeImage(dw, dh, kImageWithTracker);
    for (LONG j = 0; j < dh; ++j)
        for (LONG i = 0; i < dw; ++i)
            Put(*viaRows, i, j, At(*viaPhases, i, j));
    const RECT srcClip = RandomClip(rng, sw, sh), dstClip = RandomClip(rng, dw, dh);
    ASSERT_TRUE(src->ClipRectToSize(&srcClip));
    ASSERT_TRUE(viaPhases->ClipRectToSize(&dstClip));
    ASSERT_TRUE(viaRows->ClipRectToSize(&dstClip));
    const int64_t period = 1 + static_cast<int64_t>(rng() % 5), cell = 1 + static_cast<int64_t>(rng() % 4);
    std::vector<uint8_t> masks(static_cast<size_t>(period * sw));
    for (int64_t phase = 0; phase < period; ++phase) {
        const uint32_t density = rng() % 5; // 0: nothing shown ... 4: all shown
        for (LONG i = 0; i < sw; ++i)
            masks[static_cast<size_t>(phase * sw + i)] = rng() % 4 < density ? 1 : 0;
    }
    const int64_t top = static_cast<int64_t>(rng() % sh) - 2,
                  bottom = top + 1 + static_cast<int64_t>(rng() % (sh + 4));
    const int32_t x = static_cast<int32_t>(rng() % 12) - 6, y = static_cast<int32_t>(rng() % 12) - 6;
    int32_t result = 0;
    {
        CWipeCanvas canvas;
        ASSERT_TRUE(canvas.Begin(viaPhases.get(), src.get(), 128, x, y, mode, nullptr, &result));
        canvas.PhasedMaskedRows(top, bottom, masks.data(), period, cell);
    }
    {
        CWipeCanvas canvas;
        ASSERT_TRUE(canvas.Begin(viaRows.get(), src.get(), 128, x, y, mode, nullptr, &result));
        uint8_t* on = canvas.ColumnMask();
        for (int64_t j = std::max<int64_t>(top, 0); j < bottom; ++j) {
            const uint8_t* phase = masks.data() + (j / cell) % period * sw;
            std::copy(phase, phase + sw, on);
            canvas.MaskedRows(j, j + 1, on);
        }
    }
    ASSERT_EQ(Pixels(*viaPhases), Pixels(*viaRows)) << "mode " << mode;
    CUpdateRegion& ra = *viaPhases->GetUpdateRegion();
    CUpdateRegion& rb = *viaRows->GetUpdateRegion();
    ra.RecomputeBounds();
    rb.RecomputeBounds();
    const RECT a = ra.Bounds(), b = rb.Bounds();
    EXPECT_TRUE(a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom)
        << "mode " << mode;
}

TEST(WipeMaskedRows, PhasesDrawThePixelsOfEachRow)
{
    std::mt19937 rng(kSeed);
    const uint8_t savedSwitch = g_bUseMmx;
    for (uint8_t simdSwitch : {0, 1})
        for (SimdLevel level : kAllSimdLevels) {
            g_bUseMmx = simdSwitch;
            ScopedSimdLevel scoped(level);
            for (int trial = 0; trial < 60; ++trial) {
                ComparePhasedRows(rng, kTransitionCopy);
                ComparePhasedRows(rng, kTransitionBlendAlpha);
            }
        }
    g_bUseMmx = savedSwitch;
}

} // namespace
