// Every entry at progress values between 1 and 255, in each mode: properties that hold for the
// entry (new pixels in their own place, growth of the new area), band-wise drawing equal to the
// whole draw, device blits equal to memory copies, and golden hashes against regressions.
#include "platform/cpu_info.h"
#include "winapi/simd_level.h"
#include "wipe_test_util.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <set>

namespace {

using namespace wipetest;

constexpr LONG kSw = 53, kSh = 37, kDw = 64, kDh = 48, kX = 5, kY = 4;
constexpr int kProgress[] = {1, 64, 128, 192, 255};

// Entries whose every new pixel is the source pixel of its own place.
bool InPlace(int index)
{
    return (index >= 6 && index <= 20) || (index >= 27 && index <= 52) || (index >= 71 && index <= 78) ||
           index == 83 || index == 84;
}

// Entries whose new area only grows with the progress (random ones with the same seed).
bool Grows(int index)
{
    return (index >= 6 && index <= 20) || (index >= 27 && index <= 52) || (index >= 71 && index <= 78) ||
           index == 85 || index == 86;
}

// Entries whose device mode differs from the memory modes by design: the cross-fade has no
// device form (it answers -1 there).
bool MemoryOnly(int index)
{
    return index == 53;
}

class WipeGoldenTest : public WipeTest {
protected:
    void SetUp() override
    {
        WipeTest::SetUp();
        m_src = MakeSource(kSw, kSh);
    }
    std::unique_ptr<CImage> m_src;
};

TEST_F(WipeGoldenTest, NewPixelsSitInTheirOwnPlace)
{
    for (int index = 0; index < kTransitionCount; ++index) {
        if (!InPlace(index))
            continue;
        for (int mode : {0, 1})
            for (int progress : kProgress) {
                const auto pixels = Step(index, *m_src, kDw, kDh, progress, kX, kY, mode);
                for (LONG j = 0; j < kDh; ++j)
                    for (LONG i = 0; i < kDw; ++i) {
                        const uint32_t v = pixels[static_cast<size_t>(j * kDw + i)];
                        if (v == kOld)
                            continue;
                        const uint32_t expected = SourcePixel(i - kX, j - kY);
                        ASSERT_EQ(v, mode == 0 ? expected : expected & 0xFFFFFF)
                            << "entry " << index << " at " << progress << " pixel " << i << "," << j;
                    }
            }
    }
}

TEST_F(WipeGoldenTest, NewAreaGrows)
{
    for (int index = 0; index < kTransitionCount; ++index) {
        if (!Grows(index))
            continue;
        std::vector<uint32_t> before = Pixels(*MakeDestination(kDw, kDh));
        size_t count = 0;
        for (int progress = 1; progress <= 256; progress += 15) {
            const auto now = Step(index, *m_src, kDw, kDh, std::min(progress, 256), kX, kY, 0);
            size_t shown = 0;
            for (size_t k = 0; k < now.size(); ++k) {
                if (before[k] != kOld) {
                    ASSERT_NE(now[k], kOld) << "entry " << index << " lost pixel " << k << " at " << progress;
                }
                shown += now[k] != kOld;
            }
            EXPECT_GE(shown, count);
            count = shown;
            before = now;
        }
        EXPECT_EQ(count, static_cast<size_t>(kSw * kSh)) << index;
    }
}

TEST_F(WipeGoldenTest, BandWiseDrawingEqualsTheWholeDraw)
{
    for (int index = 0; index < kTransitionCount; ++index) {
        // The mosaics lay their blocks out over the visible part of the picture, so a band has
        // its own grid.
        if (index == 68 || index == 69)
            continue;
        for (int mode : {0, 1})
            for (int progress : {37, 128, 230}) {
                const auto whole = Step(index, *m_src, kDw, kDh, progress, kX, kY, mode);
                auto dst = MakeDestination(kDw, kDh);
                for (LONG top = 0; top < kDh; top += 7) {
                    RECT band{0, top, kDw, std::min<LONG>(top + 7, kDh)};
                    ASSERT_TRUE(dst->ClipRectToSize(&band));
                    Reseed();
                    DrawTransition(index, dst.get(), m_src.get(), progress, kX, kY, mode, nullptr);
                }
                EXPECT_EQ(Pixels(*dst), whole) << "entry " << index << " mode " << mode << " at " << progress;
            }
    }
}

TEST_F(WipeGoldenTest, DeviceBlitsGiveTheMemoryPixels)
{
    for (int index = 0; index < kTransitionCount; ++index) {
        // Rows and columns stretched past the clip: a device stretch of the cut rectangles samples
        // afresh, a memory stretch goes on with the uncut sampling (checked unclipped below).
        if (MemoryOnly(index) || index == 2 || index == 3)
            continue;
        for (int progress : {0, 1, 64, 128, 192, 255, 256}) {
            const auto memory = Step(index, *m_src, kDw, kDh, progress, kX, kY, 0);
            DeviceSet dev;
            auto blank = MakeDestination(kDw, kDh);
            TestDeviceImage devDst(dev.SurfaceLike(*blank));
            TestDeviceImage devSrc(dev.SurfaceLike(*m_src), 1);
            Reseed();
            ASSERT_EQ(DrawTransition(index, &devDst, &devSrc, progress, kX, kY, 0, nullptr), 0) << index;
            EXPECT_EQ(DeviceSet::Read(devDst.GetDirectDrawSurface()), memory)
                << "entry " << index << " at " << progress;
        }
    }
}

TEST_F(WipeGoldenTest, UnclippedStretchesMatchOnTheDevice)
{
    // A source narrower than the destination with room on every side: nothing is cut.
    auto src = MakeSource(12, 10);
    for (int index : {2, 3})
        for (int progress : {0, 128, 255, 256}) {
            const auto memory = Step(index, *src, 60, 50, progress, 24, 20, 0);
            DeviceSet dev;
            auto blank = MakeDestination(60, 50);
            TestDeviceImage devDst(dev.SurfaceLike(*blank));
            TestDeviceImage devSrc(dev.SurfaceLike(*src));
            ASSERT_EQ(DrawTransition(index, &devDst, &devSrc, progress, 24, 20, 0, nullptr), 0);
            EXPECT_EQ(DeviceSet::Read(devDst.GetDirectDrawSurface()), memory) << index << " at " << progress;
        }
}

TEST_F(WipeGoldenTest, ScreenTargetClipsToItsRectangle)
{
    DeviceSet dev;
    auto blank = MakeDestination(kDw, kDh);
    IDirectDrawSurface7* screenSurface = dev.SurfaceLike(*blank);
    TestDeviceImage devSrc(dev.SurfaceLike(*m_src));
    struct Screen final : CDisplayTarget {
        IDirectDrawSurface7* surface;
        IDirectDrawSurface7* GetTargetSurface() const override { return surface; }
        // Wider than the surface: pieces are still cut to the surface.
        RECT GetTargetRect() const override { return RECT{10, 8, 200, 30}; }
    } screen;
    screen.surface = screenSurface;
    ASSERT_EQ(DrawTransition(12, nullptr, &devSrc, 256, kX, kY, 0, &screen), 0);
    const auto pixels = DeviceSet::Read(screenSurface);
    for (LONG j = 0; j < kDh; ++j)
        for (LONG i = 0; i < kDw; ++i) {
            const bool inside = i >= 10 && j >= 8 && j < 30 && i - kX < kSw && j - kY < kSh;
            EXPECT_EQ(pixels[static_cast<size_t>(j * kDw + i)], inside ? SourcePixel(i - kX, j - kY) : kOld);
        }
}

TEST_F(WipeGoldenTest, DeviceSourceKeyIsHonoured)
{
    auto src = MakeSource(8, 4);
    Put(*src, 2, 1, 0x00FF00FFu);
    DeviceSet dev;
    auto blank = MakeDestination(8, 4);
    TestDeviceImage devDst(dev.SurfaceLike(*blank));
    IDirectDrawSurface7* s = dev.SurfaceLike(*src);
    DDCOLORKEY key{0x00FF00FFu, 0x00FF00FFu};
    s->SetColorKey(DDCKEY_SRCBLT, &key);
    TestDeviceImage devSrc(s);
    devSrc.SetKey(0x00FF00FFu);
    ASSERT_EQ(DrawTransition(35, &devDst, &devSrc, 255, 0, 0, 0, nullptr), 0);
    const auto pixels = DeviceSet::Read(devDst.GetDirectDrawSurface());
    EXPECT_EQ(pixels[1 * 8 + 2], kOld);
    EXPECT_EQ(pixels[1 * 8 + 3], SourcePixel(3, 1));
}

// Hashes of the five frames of each entry; regenerate with TESSARO_PRINT_GOLDEN=1 after a change
// that is meant to alter the pictures.
struct Golden {
    uint64_t copy;
    uint64_t blend;
};

#include "wipe_golden_hashes.h"

TEST_F(WipeGoldenTest, FramesMatchTheirHashes)
{
    const bool print = std::getenv("TESSARO_PRINT_GOLDEN") != nullptr;
    // The plain drawing, then the SIMD switch on at every level: the same frames each time.
    const uint8_t savedSwitch = g_bUseMmx;
    for (int pass = 0; pass <= static_cast<int>(std::size(kAllSimdLevels)); ++pass) {
        g_bUseMmx = pass > 0 ? 1 : 0;
        ScopedSimdLevel level(pass > 0 ? kAllSimdLevels[pass - 1] : ActiveSimdLevel());
        for (int index = 0; index < kTransitionCount; ++index) {
            uint64_t hashes[2];
            for (int mode : {0, 1}) {
                uint64_t h = 1469598103934665603ull;
                for (int progress : kProgress)
                    h = Hash(Step(index, *m_src, kDw, kDh, progress, kX, kY, mode), h);
                hashes[mode] = h;
            }
            if (print) {
                if (pass == 0)
                    std::printf("    {0x%016llxull, 0x%016llxull},  // %d\n",
                                static_cast<unsigned long long>(hashes[0]),
                                static_cast<unsigned long long>(hashes[1]), index);
                continue;
            }
            EXPECT_EQ(hashes[0], kGolden[index].copy) << "entry " << index << " copy, pass " << pass;
            EXPECT_EQ(hashes[1], kGolden[index].blend) << "entry " << index << " blend, pass " << pass;
        }
    }
    g_bUseMmx = savedSwitch;
}

} // namespace

namespace {

using namespace wipetest;

class WipeSourceKindsTest : public WipeTest {};

TEST_F(WipeSourceKindsTest, KeyedSourcePixelsAreSkipped)
{
    auto src = MakeSource(kSw, kSh);
    ASSERT_EQ(src->SetColorKeyAt(3, 2), 0);
    for (int index = 0; index < kTransitionCount; ++index) {
        for (int progress : {128, 255}) {
            const auto pixels = Step(index, *src, kDw, kDh, progress, kX, kY, 0);
            for (size_t k = 0; k < pixels.size(); ++k)
                ASSERT_NE(pixels[k], SourcePixel(3, 2)) << "entry " << index << " at " << progress;
        }
    }
}

TEST_F(WipeSourceKindsTest, EightBitSourcesShowTheSameShapes)
{
    // An 8-bit source goes through the image's own copy; the shape must not change with it.
    auto src32 = MakeSource(kSw, kSh);
    CImage src8;
    ASSERT_EQ(src8.Create(kSw, kSh, 8, 0), 0);
    for (LONG j = 0; j < kSh; ++j)
        for (LONG i = 0; i < kSw; ++i)
            src8.GetRowPointer(j)[i] = static_cast<BYTE>(1 + (i + j) % 200);
    for (int index = 0; index < kTransitionCount; ++index) {
        // The cross-fade mixes 32-bit pictures only; the negative changes the colours themselves.
        if (index == 53 || index == 70)
            continue;
        for (int progress : {64, 200}) {
            const auto with32 = Step(index, *src32, kDw, kDh, progress, kX, kY, 0);
            const auto with8 = Step(index, src8, kDw, kDh, progress, kX, kY, 0);
            for (size_t k = 0; k < with32.size(); ++k) {
                ASSERT_EQ(with32[k] == kOld, with8[k] == kOld) << "entry " << index << " at " << progress;
                if (with8[k] != kOld) {
                    // The pixel names the source place it came from; the 8-bit one is grey.
                    const LONG i = static_cast<LONG>(with32[k] & 0xFFF),
                               j = static_cast<LONG>((with32[k] >> 12) & 0xFFF);
                    const uint32_t grey = static_cast<uint32_t>(1 + (i + j) % 200) * 0x010101u;
                    ASSERT_EQ(with8[k] & 0xFFFFFF, grey) << "entry " << index << " at " << progress;
                }
            }
        }
    }
}

} // namespace
