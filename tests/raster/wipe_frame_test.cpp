// The dispatcher and the frame every wipe shares: which surfaces and indices are refused, nothing
// below progress 1, exactly the source from 256 on, the cosine-table gate, one update rectangle
// per step.
#include "wipe_test_util.h"

#include "raster/wipes.h"

namespace {

using namespace wipetest;

constexpr LONG kSw = 53, kSh = 37, kDw = 64, kDh = 48, kX = 5, kY = 4;

class WipeFrameTest : public WipeTest {};

TEST_F(WipeFrameTest, SurfacesAreCheckedBeforeTheIndex)
{
    auto src = MakeSource(kSw, kSh);
    auto dst = MakeDestination(kDw, kDh);
    DeviceSet dev;
    TestDeviceImage devSrc(dev.SurfaceLike(*src));
    CDibSurface bare;
    ASSERT_EQ(bare.Create(kDw, kDh, 32, false), 0);
    struct DummyScreen final : CDisplayTarget {
        IDirectDrawSurface7* GetTargetSurface() const override { return nullptr; }
        RECT GetTargetRect() const override { return RECT{0, 0, 10, 10}; }
    } screen;

    struct Case {
        const char* what;
        int index;
        CSurface* dst;
        CSurface* src;
        const CDisplayTarget* screen;
        int32_t expected;
    };
    const Case cases[] = {
        {"no source", 0, dst.get(), nullptr, nullptr, 1},
        {"no destination", 0, nullptr, src.get(), nullptr, 1},
        {"memory destination, device source", 0, dst.get(), &devSrc, nullptr, 1},
        {"device destination, memory source", 0, &devSrc, src.get(), nullptr, 1},
        {"memory surface that is not an image", 0, &bare, src.get(), nullptr, 1},
        {"screen target with a memory source", 0, dst.get(), src.get(), &screen, 1},
        {"screen target without a surface", 0, nullptr, &devSrc, &screen, 1},
        {"index 87", 87, dst.get(), src.get(), nullptr, -1},
        {"negative index", -1, dst.get(), src.get(), nullptr, -1},
        {"index 87 without a source", 87, dst.get(), nullptr, nullptr, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DrawTransition(c.index, c.dst, c.src, 128, 0, 0, kTransitionCopy, c.screen), c.expected);
    }
    EXPECT_EQ(Pixels(*dst), Pixels(*MakeDestination(kDw, kDh)));
}

TEST_F(WipeFrameTest, NothingBelowProgressOne)
{
    auto src = MakeSource(kSw, kSh);
    const auto untouched = Pixels(*MakeDestination(kDw, kDh));
    for (int index = 0; index < kTransitionCount; ++index)
        for (int mode : {0, 1})
            for (int progress : {0, -7}) {
                int32_t result = -99;
                EXPECT_EQ(Step(index, *src, kDw, kDh, progress, kX, kY, mode, &result), untouched) << index;
                EXPECT_EQ(result, 0) << index;
            }
}

TEST_F(WipeFrameTest, WholeSourceFromProgress256)
{
    auto src = MakeSource(kSw, kSh);
    for (int mode : {0, 1}) {
        std::vector<uint32_t> expected = Pixels(*MakeDestination(kDw, kDh));
        for (LONG j = 0; j < kSh && j + kY < kDh; ++j)
            for (LONG i = 0; i < kSw && i + kX < kDw; ++i)
                expected[static_cast<size_t>((j + kY) * kDw + i + kX)] =
                    mode == 0 ? SourcePixel(i, j) : SourcePixel(i, j) & 0xFFFFFF;
        for (int index = 0; index < kTransitionCount; ++index)
            for (int progress : {256, 1000}) {
                int32_t result = -99;
                EXPECT_EQ(Step(index, *src, kDw, kDh, progress, kX, kY, mode, &result), expected)
                    << index << " mode " << mode;
                EXPECT_EQ(result, 0) << index;
            }
    }
}

TEST_F(WipeFrameTest, UnknownModeDrawsNothing)
{
    auto src = MakeSource(kSw, kSh);
    const auto untouched = Pixels(*MakeDestination(kDw, kDh));
    for (int index = 0; index < kTransitionCount; ++index) {
        if (index >= 68 && index <= 70)
            continue; // the filters run over the destination whatever the mode
        int32_t result = -99;
        EXPECT_EQ(Step(index, *src, kDw, kDh, 128, kX, kY, 5, &result), untouched) << index;
        EXPECT_EQ(result, index == 53 ? -1 : 0) << index;
        EXPECT_EQ(Step(index, *src, kDw, kDh, 256, kX, kY, 5, &result), untouched) << index;
    }
}

TEST_F(WipeFrameTest, DeviceModeWithMemoryImagesAnswersOne)
{
    // Memory images wrap no DirectDraw surface: the device mode has nothing to draw into.
    auto src = MakeSource(kSw, kSh);
    for (int index : {0, 6, 45, 68, 79}) {
        int32_t result = -99;
        EXPECT_EQ(Step(index, *src, kDw, kDh, 128, kX, kY, kTransitionDeviceBlit, &result),
                  Pixels(*MakeDestination(kDw, kDh)));
        EXPECT_EQ(result, 1) << index;
    }
}

TEST_F(WipeFrameTest, CosineEntriesNeedTheTableOnlyBelow256)
{
    auto src = MakeSource(kSw, kSh);
    g_pCosTable = nullptr;
    const auto untouched = Pixels(*MakeDestination(kDw, kDh));
    for (int index : {2, 3, 23, 24, 25, 26, 57, 58, 59, 60, 61, 62, 63, 83, 84}) {
        int32_t result = -99;
        EXPECT_EQ(Step(index, *src, kDw, kDh, 100, kX, kY, 0, &result), untouched) << index;
        EXPECT_EQ(result, 1) << index;
        EXPECT_NE(Step(index, *src, kDw, kDh, 256, kX, kY, 0, &result), untouched) << index;
        EXPECT_EQ(result, 0) << index;
    }
}

TEST_F(WipeFrameTest, OneUpdateRectanglePerStep)
{
    auto src = MakeSource(kSw, kSh);
    for (int index : {6, 20, 45, 1, 2, 3, 35, 79, 83}) {
        auto dst = MakeDestination(kDw, kDh, kImageWithTracker);
        ASSERT_NE(dst->GetUpdateRegion(), nullptr);
        Reseed();
        ASSERT_EQ(DrawTransition(index, dst.get(), src.get(), 200, kX, kY, 0, nullptr), 0);
        EXPECT_EQ(dst->GetUpdateRegion()->Count(), 1) << index;
        EXPECT_TRUE(dst->IsChanged());
        // The rectangle covers every changed pixel and stays inside the picture's place.
        const RECT b = dst->GetUpdateRegion()->Head()->rect;
        const auto pixels = Pixels(*dst);
        for (LONG j = 0; j < kDh; ++j)
            for (LONG i = 0; i < kDw; ++i)
                if (pixels[static_cast<size_t>(j * kDw + i)] != kOld) {
                    EXPECT_TRUE(i >= b.left && i < b.right && j >= b.top && j < b.bottom) << index;
                }
        if (index != 2 && index != 3 && index != 79) { // stretched rows and smears reach further
            EXPECT_GE(b.left, kX);
            EXPECT_GE(b.top, kY);
        }
    }
}

TEST_F(WipeFrameTest, SourceThatIsTheDestination)
{
    // Each piece reads the picture as it stands; pieces in their own place change nothing.
    auto image = MakeSource(kSw, kSh);
    const auto before = Pixels(*image);
    for (int index : {6, 45, 71, 83}) {
        Reseed();
        EXPECT_EQ(DrawTransition(index, image.get(), image.get(), 150, 0, 0, 0, nullptr), 0);
        EXPECT_EQ(Pixels(*image), before) << index;
    }
    EXPECT_EQ(DrawTransition(85, image.get(), image.get(), 150, 0, 0, 0, nullptr), 0);
}

TEST_F(WipeFrameTest, SourceThatIsTheDestinationIsReadRowByRow)
{
    // Drawn one row down onto itself, each row of the single-row tile spiral reads the row above
    // as the rows before it left it: the rows are drawn in order, whatever the drawing batches.
    constexpr uint8_t kSpiralIn[16] = {0, 1, 2, 3, 11, 12, 13, 4, 10, 15, 14, 5, 9, 8, 7, 6};
    constexpr int kProgress = 200;
    auto image = MakeSource(kSw, kSh);
    auto expected = Pixels(*image);
    for (LONG j = 0; j + 1 < kSh; ++j) // the last row would land below the picture
        for (LONG i = 0; i < kSw; ++i)
            if (kSpiralIn[(j & 3) * 4 + (i & 3)] <= kProgress >> 4)
                expected[static_cast<size_t>((j + 1) * kSw + i)] = expected[static_cast<size_t>(j * kSw + i)];
    ASSERT_EQ(DrawTransition(45, image.get(), image.get(), kProgress, 0, 1, 0, nullptr), 0);
    EXPECT_EQ(Pixels(*image), expected);
}

TEST_F(WipeFrameTest, NothingDrawnAddsNoRectangle)
{
    auto src = MakeSource(kSw, kSh);
    auto dst = MakeDestination(kDw, kDh, kImageWithTracker);
    ASSERT_EQ(DrawTransition(32, dst.get(), src.get(), 63, kX, kY, 0, nullptr), 0); // cells of 0 x 0
    EXPECT_EQ(dst->GetUpdateRegion()->Count(), 0);
    EXPECT_FALSE(dst->IsChanged());
}

TEST_F(WipeFrameTest, PositionsNearThe32BitLimitsDoNotWrap)
{
    auto src = MakeSource(kSw, kSh);
    const auto untouched = Pixels(*MakeDestination(kDw, kDh));
    for (int index = 0; index < kTransitionCount; ++index) {
        if (index >= 68 && index <= 70)
            continue;
        for (LONG x : {INT32_MAX - 3, INT32_MIN + 3}) {
            EXPECT_EQ(Step(index, *src, kDw, kDh, 128, x, 0, 0), untouched) << index << " x " << x;
            EXPECT_EQ(Step(index, *src, kDw, kDh, 128, 0, x, 0), untouched) << index << " y " << x;
        }
    }
}

} // namespace
