// Rectangle shapes: set-up and sizes, the shape modes 0, 2 and 3 against formulas written here at
// full and half alpha, mode 1 and a zero natural width drawing nothing.
#include <gtest/gtest.h>

#include <algorithm>

#include "drawing/draw_list.h"
#include "drawing/primitive_object.h"
#include "drawing_test_util.h"
#include "raster/blend_tables.h"

namespace {

using namespace drawing_test;

TEST(PrimitiveObject, SetupSizesAndModes)
{
    CPrimitiveObject shape;
    EXPECT_EQ(shape.GetKind(), kDrawableShape);
    EXPECT_EQ(shape.Setup(100, 50, 0x80FF0000, 10, 20), 0);
    EXPECT_EQ(shape.GetAlpha(), 128);
    EXPECT_EQ(shape.GetColor(), 0xFF0000u);
    EXPECT_TRUE(SameRect(*shape.GetScreenRectPtr(), RECT{10, 20, 110, 70}));
    EXPECT_TRUE(shape.SetSize(200, 0)); // explicit: 200 wide, natural height
    EXPECT_TRUE(SameRect(*shape.GetScreenRectPtr(), RECT{10, 20, 210, 70}));
    EXPECT_EQ(shape.GetWidth(), 100);
    EXPECT_FALSE(shape.SetSize(200, 0));
    EXPECT_TRUE(shape.SetNaturalSize(30, 40)); // clears the explicit size
    EXPECT_TRUE(SameRect(*shape.GetScreenRectPtr(), RECT{10, 20, 40, 60}));
    EXPECT_FALSE(shape.SetNaturalSize(-1, 40));
    EXPECT_EQ(shape.SetBlendMode(4), 1);
    EXPECT_EQ(shape.GetBlendMode(), 0);
    EXPECT_FALSE(shape.SetColor(0xAAFF0000)); // only the low 24 bits count
    EXPECT_TRUE(shape.SetColorARGB(0x10FF0000));
    EXPECT_FALSE(shape.MoveBy(0, 0));
    EXPECT_TRUE(shape.SetSizeAndPosition(0, 0, 0, 0));
    EXPECT_TRUE(shape.HitTest(5, 5, true));
    EXPECT_FALSE(shape.HitTest(30, 5, false));
    // Natural width 0 with an explicit size: neither drawn nor hit.
    CPrimitiveObject flat;
    flat.Setup(0, 10, 0xFFFFFFFF, 0, 0);
    flat.SetSize(10, 10);
    CImage target;
    ASSERT_EQ(target.Create(16, 16, 32, kImageWithTracker), 0);
    EXPECT_EQ(flat.Draw(&target, nullptr), 0);
    EXPECT_FALSE(target.IsChanged());
    EXPECT_FALSE(flat.HitTest(5, 5, false));
    EXPECT_FALSE(flat.Intersects(&shape));
    EXPECT_EQ(shape.Draw(nullptr, nullptr), 1);
    RECT local{0, 0, 5, 5};
    EXPECT_FALSE(shape.InvalidateLocalRect(&local)); // in no list
}

TEST(PrimitiveObject, ModesFollowTheirFormulas)
{
    BuildBlendTables();
    for (const int mode : {0, 2, 3}) {
        for (const int alpha : {255, 128}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " alpha " + std::to_string(alpha));
            auto target = RandomImage(20, 12, 32, 5, kImageWithTracker);
            auto before = RandomImage(20, 12, 32, 5);
            CPrimitiveObject shape;
            shape.Setup(30, 6, static_cast<DWORD>(alpha) << 24 | 0xC08020, -5, 4);
            shape.SetBlendMode(static_cast<BYTE>(mode));
            RECT drawn;
            ASSERT_EQ(shape.Draw(target.get(), &drawn), 0);
            EXPECT_TRUE(SameRect(drawn, RECT{0, 4, 20, 10}));
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 20; ++x) {
                    const uint32_t d = Px(*before, x, y);
                    uint32_t want = d;
                    if (y >= 4 && y < 10) {
                        want = d & 0xFF000000u;
                        for (int sh = 0; sh < 24; sh += 8) {
                            const int dc = static_cast<int>(d >> sh & 255);
                            const int c = static_cast<int>(0xC08020u >> sh & 255);
                            const int scaled = (c * alpha + 127) / 255;
                            int v = 0;
                            if (mode == 0)
                                v = g_MulTable[255 - alpha][dc] + g_MulTable[c][alpha];
                            else if (mode == 2)
                                v = std::min(255, dc + scaled);
                            else
                                v = std::max(0, dc - scaled);
                            want |= static_cast<uint32_t>(v) << sh;
                        }
                    }
                    ASSERT_EQ(Px(*target, x, y), want) << x << "," << y;
                }
        }
    }
    CImage target;
    ASSERT_EQ(target.Create(8, 8, 32, kImageWithTracker), 0);
    CPrimitiveObject shape;
    shape.Setup(4, 4, 0xFFFFFFFF, 10, 10);
    RECT drawn;
    EXPECT_EQ(shape.Draw(&target, &drawn), 0);
    EXPECT_EQ(drawn.left, -1); // nothing of it on the target
    EXPECT_EQ(shape.SetBlendMode(1), 0);
    EXPECT_EQ(shape.Draw(&target, nullptr), 2);
    EXPECT_FALSE(target.IsChanged());
}

} // namespace
