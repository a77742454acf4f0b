#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "effects/change_blend.h"
#include "raster/blend_tables.h"
#include "raster/image.h"
#include "winapi/simd_level.h"

namespace {

// Pixels with alpha 0, 255 and between, so every branch of the cross-fade is taken.
void Fill(CImage& image, LONG w, LONG h, std::mt19937& random)
{
    ASSERT_EQ(image.Create(w, h, 32, 0), 0);
    for (LONG y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.GetBits() + intptr_t(y) * image.GetPitch());
        for (LONG x = 0; x < w; ++x) {
            uint32_t v = random();
            const uint32_t pick = random() % 4;
            if (pick == 0)
                v &= 0x00FFFFFFu;
            else if (pick == 1)
                v |= 0xFF000000u;
            row[x] = v;
        }
    }
}

bool Same(const CImage& a, const CImage& b)
{
    for (LONG y = 0; y < a.GetHeight(); ++y)
        if (std::memcmp(a.GetBits() + intptr_t(y) * a.GetPitch(), b.GetBits() + intptr_t(y) * b.GetPitch(),
                        size_t(a.GetWidth()) * 4) != 0)
            return false;
    return true;
}

TEST(ChangeBlend, OnePassTwinsEqualTheFourPassForm)
{
    BuildBlendTables();
    std::mt19937 random(35);
    for (int round = 0; round < 400; ++round) {
        const LONG ow = 1 + LONG(random() % 33), oh = 1 + LONG(random() % 6);
        const LONG nw = 1 + LONG(random() % 33), nh = 1 + LONG(random() % 6);
        // Screen rectangles that overlap: the new one placed around the old one.
        const LONG ox = 0, oy = 0;
        const LONG nx = LONG(random() % (ow + nw - 1)) - (nw - 1),
                   ny = LONG(random() % (oh + nh - 1)) - (nh - 1);
        RectSplit split;
        ASSERT_TRUE(SplitChangeRects(RECT{ox, oy, ox + ow, oy + oh}, RECT{nx, ny, nx + nw, ny + nh}, &split));
        CImage oldImage, newImage;
        Fill(oldImage, ow + 3, oh + 2, random);
        Fill(newImage, nw + 2, nh + 3, random);
        const RECT oldSource{3, 2, 3 + ow, 2 + oh}, newSource{1, 0, 1 + nw, nh};
        const LONG aw = split.area.right - split.area.left, ah = split.area.bottom - split.area.top;
        CImage passes, plain, simd;
        Fill(passes, aw, ah, random);
        ASSERT_EQ(plain.CopyFrom(&passes, 0), 0);
        ASSERT_EQ(simd.CopyFrom(&passes, 0), 0);
        const LONG oldX = split.refresh[0].left, oldY = split.refresh[0].top;
        const LONG newX = split.refresh[1].left, newY = split.refresh[1].top;
        const uint8_t levels[] = {0, 1, 77, 128, 254, 255, uint8_t(random())};
        const uint8_t level = levels[round % 7];
        DrawChangeBlendPasses(passes, split, oldImage, oldSource, oldX, oldY, newImage, newSource, newX, newY,
                              level);
        ASSERT_TRUE(DrawChangeBlend(plain, oldImage, oldSource, oldX, oldY, newImage, newSource, newX, newY,
                                    level, false));
        ASSERT_TRUE(Same(passes, plain)) << "round " << round << " level " << int(level);
        for (SimdLevel simdLevel : kAllSimdLevels) {
            ScopedSimdLevel scoped(simdLevel);
            ASSERT_TRUE(DrawChangeBlend(simd, oldImage, oldSource, oldX, oldY, newImage, newSource, newX, newY,
                                        level, true));
            ASSERT_TRUE(Same(passes, simd)) << "round " << round << " level " << int(level) << " SIMD level "
                                            << int(simdLevel);
        }
    }
}

TEST(ChangeBlend, RefusesWhatItCannotDrawInOnePass)
{
    CImage work, old, fresh, grey;
    ASSERT_EQ(work.Create(8, 8, 32, 0), 0);
    ASSERT_EQ(old.Create(4, 4, 32, 0), 0);
    ASSERT_EQ(fresh.Create(4, 4, 32, 0), 0);
    ASSERT_EQ(grey.Create(4, 4, 8, 0), 0);
    const RECT all{0, 0, 4, 4};
    EXPECT_TRUE(DrawChangeBlend(work, old, all, 0, 0, fresh, all, 2, 2, 9, true));
    EXPECT_FALSE(DrawChangeBlend(work, grey, all, 0, 0, fresh, all, 2, 2, 9, true));
    EXPECT_FALSE(
        DrawChangeBlend(work, old, RECT{1, 1, 5, 4}, 0, 0, fresh, all, 2, 2, 9, true)); // past the picture
    EXPECT_FALSE(DrawChangeBlend(work, old, all, 0, 0, fresh, all, 5, 5, 9, true));     // past the work
}

} // namespace
