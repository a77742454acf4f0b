// The copy and alpha-blend operations: result codes, the named pixel cases, flips, and the rule
// that drawing with a clip equals drawing unclipped and keeping only the clip, for every
// operation, flip and scale, with the SIMD twins on and off.
#include "platform/cpu_info.h"
#include "raster/image.h"
#include "support/pixel_buffers.h"
#include "winapi/simd_level.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iterator>
#include <string>

using namespace raster_test;

namespace {

struct MmxSwitch {
    explicit MmxSwitch(bool on) : saved(g_bUseMmx) { g_bUseMmx = on ? 1 : 0; }
    ~MmxSwitch() { g_bUseMmx = saved; }
    uint8_t saved;
};

uint32_t Pixel(const CImage& image, int x, int y)
{
    return static_cast<uint32_t>(image.GetPixel(x, y));
}

using Draw = std::function<int(CImage&, const CImage&, LONG, LONG, const RECT*, const SIZE*)>;

struct OpCase {
    std::string name;
    int srcBpp;
    int dstBpp;
    Draw draw;
};

std::vector<OpCase> AllOps()
{
    std::vector<OpCase> ops;
    for (int flip = 0; flip < 4; ++flip) {
        // flip 3 = the plain operation, 0..2 the Flip forms with that mode.
        const std::string f = flip == 3 ? "" : "Flip" + std::to_string(flip);
        const uint8_t mode = static_cast<uint8_t>(flip);
        auto copy = [flip, mode](CImage& d, const CImage& s, LONG x, LONG y, const RECT* r, const SIZE* z) {
            if (flip == 3) {
                return z ? d.StretchCopy(&s, z, x, y, r, false) : d.Copy(&s, x, y, r, false);
            }
            return z ? d.StretchCopyFlip(&s, mode, z, x, y, r) : d.CopyFlip(&s, mode, x, y, r);
        };
        auto blend = [flip, mode](CImage& d, const CImage& s, LONG x, LONG y, const RECT* r, const SIZE* z) {
            if (flip == 3) {
                return z ? d.StretchBlendAlpha(&s, z, x, y, r, true) : d.BlendAlpha(&s, x, y, r, false);
            }
            return z ? d.StretchBlendAlphaFlip(&s, mode, z, x, y, r) : d.BlendAlphaFlip(&s, mode, x, y, r);
        };
        auto plane = [flip, mode](CImage& d, const CImage& s, LONG x, LONG y, const RECT* r, const SIZE* z) {
            if (flip == 3) {
                return z ? d.StretchCopyAlphaPlane(&s, z, x, y, r, false) : d.CopyAlphaPlane(&s, x, y, r, true);
            }
            return z ? d.StretchCopyAlphaPlaneFlip(&s, mode, z, x, y, r) : d.CopyAlphaPlaneFlip(&s, mode, x, y, r);
        };
        ops.push_back({"Copy8to8" + f, 8, 8, copy});
        ops.push_back({"Copy8to32" + f, 8, 32, copy});
        ops.push_back({"Copy32" + f, 32, 32, copy});
        ops.push_back({"BlendAlpha" + f, 32, 32, blend});
        ops.push_back({"AlphaPlane32to8" + f, 32, 8, plane});
        ops.push_back({"AlphaPlane8to32" + f, 8, 32, plane});
    }
    ops.push_back({"CopyColorKeepAlpha", 32, 32, [](CImage& d, const CImage& s, LONG x, LONG y, const RECT* r, const SIZE* z) {
                       return z ? d.StretchCopyColorKeepAlpha(&s, z, x, y, r) : d.CopyColorKeepAlpha(&s, x, y, r);
                   }});
    ops.push_back({"CopyAlphaKeepColor", 32, 32, [](CImage& d, const CImage& s, LONG x, LONG y, const RECT* r, const SIZE* z) {
                       return z ? d.StretchCopyAlphaKeepColor(&s, z, x, y, r) : d.CopyAlphaKeepColor(&s, x, y, r);
                   }});
    return ops;
}

}  // namespace

TEST(ImageCopy, ResultCodes)
{
    CImage empty, dst32, dst8, src32, src8;
    ASSERT_EQ(0, dst32.Create(8, 8, 32, 0));
    ASSERT_EQ(0, dst8.Create(8, 8, 8, 0));
    ASSERT_EQ(0, src32.Create(4, 4, 32, 0));
    ASSERT_EQ(0, src8.Create(4, 4, 8, 0));
    EXPECT_EQ(1, empty.Copy(&src32, 0, 0, nullptr, false));
    EXPECT_EQ(1, dst32.Copy(nullptr, 0, 0, nullptr, false));
    EXPECT_EQ(1, dst32.Copy(&empty, 0, 0, nullptr, false));
    EXPECT_EQ(2, dst8.Copy(&src32, 0, 0, nullptr, false));
    EXPECT_EQ(2, dst32.BlendAlpha(&src8, 0, 0, nullptr, false));
    EXPECT_EQ(2, dst8.BlendAlpha(&src32, 0, 0, nullptr, false));
    EXPECT_EQ(2, dst32.CopyAlphaPlane(&src32, 0, 0, nullptr, false));
    EXPECT_EQ(2, dst8.CopyColorKeepAlpha(&src32, 0, 0, nullptr));
}

TEST(ImageCopy, NothingLeftAfterClippingLeavesTrackerAndFlag)
{
    CImage dst, src;
    ASSERT_EQ(0, dst.Create(8, 8, 32, kImageWithTracker));
    ASSERT_EQ(0, src.Create(4, 4, 32, 0));
    EXPECT_EQ(0, dst.Copy(&src, 20, 0, nullptr, false));
    EXPECT_FALSE(dst.IsChanged());
    EXPECT_EQ(0, dst.GetUpdateRegion()->Count());
    const SIZE zero{0, 4};
    EXPECT_EQ(0, dst.StretchCopy(&src, &zero, 0, 0, nullptr, false));
    EXPECT_FALSE(dst.IsChanged());
    // A drawn copy adds exactly its rectangle, once.
    EXPECT_EQ(0, dst.Copy(&src, 6, 6, nullptr, false));
    EXPECT_TRUE(dst.IsChanged());
    ASSERT_EQ(1, dst.GetUpdateRegion()->Count());
    const RECT& r = dst.GetUpdateRegion()->Head()->rect;
    EXPECT_EQ(6, r.left);
    EXPECT_EQ(6, r.top);
    EXPECT_EQ(8, r.right);
    EXPECT_EQ(8, r.bottom);
}

TEST(ImageCopy, BlendNamedPixels)
{
    for (bool mmx : {false, true}) {
        MmxSwitch sw(mmx);
        CImage dst, src;
        ASSERT_EQ(0, dst.Create(3, 1, 32, 0));
        ASSERT_EQ(0, src.Create(3, 1, 32, 0));
        const uint32_t d[3] = {0x7F646464u, 0x7F646464u, 0x7F646464u};
        const uint32_t s[3] = {0xFFC8C8C8u, 0x00C8C8C8u, 0x80C8C8C8u};
        std::memcpy(dst.GetBits(), d, 12);
        std::memcpy(src.GetBits(), s, 12);
        ASSERT_EQ(0, dst.BlendAlpha(&src, 0, 0, nullptr, false));
        EXPECT_EQ(0x00C8C8C8u, Pixel(dst, 0, 0)) << mmx;  // alpha 255: the source colour, alpha 0
        EXPECT_EQ(0x00646464u, Pixel(dst, 1, 0)) << mmx;  // alpha 0: the destination colour, alpha 0
        // 200 at 128 over 100: (200 x 128 + 100 x 127 + 127) / 255 = 150 with either switch.
        EXPECT_EQ(0x00969696u, Pixel(dst, 2, 0)) << mmx;
    }
}

TEST(ImageCopy, EightBitSourceWithoutPaletteDrawsGreyAndKeepsTheRamp)
{
    CImage dst, src;
    ASSERT_EQ(0, dst.Create(4, 1, 32, 0));
    ASSERT_EQ(0, src.Create(4, 1, 8, 0));
    const BYTE levels[4] = {0, 1, 128, 255};
    std::memcpy(src.GetBits(), levels, 4);
    ASSERT_EQ(nullptr, src.GetPalette());
    ASSERT_EQ(0, dst.Copy(&src, 0, 0, nullptr, false));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(levels[i] * 0x010101u, Pixel(dst, i, 0));
    }
    ASSERT_NE(nullptr, src.GetPalette());
    EXPECT_EQ(0x808080u, src.GetPalette()[128]);
}

TEST(ImageCopy, KeyedCopySkipsOnlyTheWholeKey)
{
    CImage dst, src;
    ASSERT_EQ(0, dst.Create(3, 1, 32, 0));
    ASSERT_EQ(0, src.Create(3, 1, 32, 0));
    dst.FillRect32(0x11111111u, nullptr);
    const uint32_t s[3] = {0x00FF00FFu, 0x80FF00FFu, 0x00123456u};
    std::memcpy(src.GetBits(), s, 12);
    src.SetColorKeyRgb(0xFF, 0x00, 0xFF);
    ASSERT_EQ(0, dst.Copy(&src, 0, 0, nullptr, false));
    EXPECT_EQ(0x11111111u, Pixel(dst, 0, 0));
    EXPECT_EQ(0x80FF00FFu, Pixel(dst, 1, 0));
    EXPECT_EQ(0x00123456u, Pixel(dst, 2, 0));
}

TEST(ImageCopy, FlipsTurnTheSourceRectangle)
{
    CImage src;
    ASSERT_EQ(0, src.Create(5, 4, 32, 0));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            const RECT p{x, y, x + 1, y + 1};
            src.FillRect32(static_cast<DWORD>(y * 16 + x), &p);
        }
    }
    CImage a, b;
    ASSERT_EQ(0, a.Create(5, 4, 32, 0));
    ASSERT_EQ(0, b.Create(5, 4, 32, 0));
    ASSERT_EQ(0, a.CopyFlip(&src, 2, 0, 0, nullptr));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(Pixel(src, 4 - x, 3 - y), Pixel(a, x, y));
        }
    }
    ASSERT_EQ(0, a.CopyFlip(&src, 1, 0, 0, nullptr));
    ASSERT_EQ(0, b.Copy(&src, 0, 0, nullptr, true));
    EXPECT_EQ(0, std::memcmp(a.GetBits(), b.GetBits(), 5 * 4 * 4));
    // Vertical flip clipped at the top by 3 rows: destination row 0 shows source row
    // bottom - 4, and the 3 bottom rows of the source are left out.
    CImage tall, dst;
    ASSERT_EQ(0, tall.Create(1, 10, 32, 0));
    for (int y = 0; y < 10; ++y) {
        const RECT p{0, y, 1, y + 1};
        tall.FillRect32(static_cast<DWORD>(y), &p);
    }
    ASSERT_EQ(0, dst.Create(1, 10, 32, 0));
    dst.FillRect32(0xEEEEEEEEu, nullptr);
    ASSERT_EQ(0, dst.Copy(&tall, 0, -3, nullptr, true));
    for (int y = 0; y < 7; ++y) {
        EXPECT_EQ(static_cast<uint32_t>(6 - y), Pixel(dst, 0, y));
    }
    EXPECT_EQ(0xEEEEEEEEu, Pixel(dst, 0, 7));
}

TEST(ImageCopy, StretchToTheSameSizeEqualsCopy)
{
    Random random(5);
    CImage src, a, b;
    ASSERT_EQ(0, src.Create(9, 7, 32, 0));
    FillRandom(src, random);
    ASSERT_EQ(0, a.Create(12, 12, 32, 0));
    ASSERT_EQ(0, b.Create(12, 12, 32, 0));
    const SIZE same{9, 7};
    ASSERT_EQ(0, a.StretchCopy(&src, &same, 5, -2, nullptr, false));
    ASSERT_EQ(0, b.Copy(&src, 5, -2, nullptr, false));
    EXPECT_EQ(Snapshot(a), Snapshot(b));
}

TEST(ImageCopy, CopyOntoItselfReadsAnUntouchedSource)
{
    Random random(6);
    // Overlapping rectangles, and ones beside each other on the same rows (touching or one
    // column apart), which share row spans but no pixel.
    for (int dx : {-10, -3, 0, 2, 9, 10, 11}) {
        for (int dy : {-2, 0, 1, 8}) {
            for (bool flip : {false, true}) {
                CImage image, snapshot, want;
                ASSERT_EQ(0, image.Create(16, 12, 32, 0));
                FillRandom(image, random);
                ASSERT_EQ(0, snapshot.CopyFrom(&image, 0));
                ASSERT_EQ(0, want.CopyFrom(&image, 0));
                const RECT r{2, 2, 12, 10};
                ASSERT_EQ(0, want.CopyFlip(&snapshot, flip ? 2 : 1, 2 + dx, 2 + dy, &r));
                ASSERT_EQ(0, image.CopyFlip(&image, flip ? 2 : 1, 2 + dx, 2 + dy, &r));
                EXPECT_EQ(Snapshot(want), Snapshot(image)) << dx << "," << dy << " " << flip;
            }
        }
    }
}

// Drawing with a clip rectangle equals drawing unclipped and keeping only the clip, at every
// clipping edge, for every operation, scaled and unscaled; the SIMD switch and level change nothing.
TEST(ImageCopy, ClippedDrawingEqualsUnclippedDrawingInsideTheClip)
{
    Random random(8);
    const RECT clip{3, 2, 17, 13};
    for (const OpCase& op : AllOps()) {
        for (int trial = 0; trial < 24; ++trial) {
            CImage src;
            ASSERT_EQ(0, src.Create(random.Range(1, 12), random.Range(1, 12), op.srcBpp, 0));
            FillRandom(src, random);
            if (trial % 3 == 0) {
                src.SetColorKeyAt(0, 0);
            }
            const RECT srcRect{random.Range(-2, 3), random.Range(-2, 3), random.Range(2, 14), random.Range(2, 14)};
            const LONG x = random.Range(-8, 18), y = random.Range(-8, 15);
            const SIZE size{random.Range(1, 25), random.Range(1, 25)};
            const bool scaled = trial % 2 == 1;

            CImage full, clipped, simd[std::size(kAllSimdLevels)];
            ASSERT_EQ(0, full.Create(20, 15, op.dstBpp, 0));
            FillRandom(full, random);
            ASSERT_EQ(0, clipped.CopyFrom(&full, 0));
            for (CImage& image : simd) {
                ASSERT_EQ(0, image.CopyFrom(&full, 0));
                image.ClipRectToSize(&clip);
            }
            const std::vector<BYTE> before = Snapshot(full);
            clipped.ClipRectToSize(&clip);
            int rFull, rClipped;
            {
                MmxSwitch sw(false);
                rFull = op.draw(full, src, x, y, &srcRect, scaled ? &size : nullptr);
                rClipped = op.draw(clipped, src, x, y, &srcRect, scaled ? &size : nullptr);
            }
            ASSERT_EQ(0, rFull) << op.name;
            ASSERT_EQ(0, rClipped) << op.name;
            const std::string where = op.name + " trial " + std::to_string(trial) + (scaled ? " scaled" : "");
            ASSERT_TRUE(SameOutside(clipped, before, clip)) << where;
            for (size_t i = 0; i < std::size(kAllSimdLevels); ++i) {
                MmxSwitch sw(true);
                const ScopedSimdLevel forced(kAllSimdLevels[i]);
                ASSERT_EQ(0, op.draw(simd[i], src, x, y, &srcRect, scaled ? &size : nullptr)) << op.name;
                ASSERT_EQ(Snapshot(clipped), Snapshot(simd[i]))
                    << where << " SIMD level " << static_cast<int>(ActiveSimdLevel());
            }
            const int bpp = op.dstBpp / 8;
            for (LONG row = clip.top; row < clip.bottom; ++row) {
                ASSERT_EQ(0, std::memcmp(full.GetRowAddress(row) + clip.left * bpp,
                                         clipped.GetRowAddress(row) + clip.left * bpp,
                                         static_cast<size_t>((clip.right - clip.left) * bpp)))
                    << where << " row " << row;
            }
            // What the unclipped draw changed lies inside its recorded rectangle.
            if (full.IsChanged()) {
                CImage check;
                ASSERT_EQ(0, check.CopyFrom(&full, 0));
                ASSERT_TRUE(SameOutside(full, before, full.TransferDstRect())) << where;
            }
        }
    }
}
