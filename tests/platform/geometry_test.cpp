#include <gtest/gtest.h>

#include <cmath>

#include "platform/cos_table.h"
#include "platform/rect_clip.h"

TEST(CosTable, FixedTableIsSymmetricAndTruncated)
{
    CCosTable table;
    const int32_t c64 = static_cast<int32_t>(std::cos(M_PI / 4) * 65536.0);
    EXPECT_EQ(table.Cos(64), c64);
    EXPECT_EQ(table.Cos(448), c64);
    EXPECT_EQ(table.Cos(192), -c64);
    EXPECT_EQ(table.Cos(320), -c64);
    EXPECT_EQ(table.Cos(0), 0x10000);
    EXPECT_EQ(table.Cos(256), -0x10000);
    EXPECT_EQ(table.Cos(128), 0);
    EXPECT_EQ(table.Cos(512 + 64), c64);
    EXPECT_EQ(table.Sin(128), 0x10000);
    EXPECT_EQ(table.ArctanTable()[0], 0);
    EXPECT_EQ(table.ArctanTable()[255], static_cast<uint16_t>(std::atan2(255 / 256.0, 1.0) * 32768.0 / M_PI));
    EXPECT_EQ(table.DoubleTable(), nullptr);
    ASSERT_TRUE(table.BuildDoubleTable());
    EXPECT_DOUBLE_EQ(table.DoubleTable()[64], std::cos(M_PI / 4));
    EXPECT_DOUBLE_EQ(table.DoubleTable()[320], -std::cos(M_PI / 4));
}

class RotateZoomQuad : public ::testing::Test {
protected:
    void SetUp() override { g_pCosTable = &m_table; }
    void TearDown() override { g_pCosTable = nullptr; }
    CCosTable m_table;
};

TEST_F(RotateZoomQuad, ZoomWithoutTurnKeepsTheCentre)
{
    QuadPoint quad[4];
    int32_t bw = 0, bh = 0, ox = 0, oy = 0;
    ASSERT_TRUE(ComputeRotateZoomQuad(quad, 100, 50, 0, 2.0, 10, 20, 5, 10, &bw, &bh, &ox, &oy));
    EXPECT_EQ(bw, 20);
    EXPECT_EQ(bh, 40);
    EXPECT_EQ(ox, 100 - 4); // -4.5 truncates toward zero
    EXPECT_EQ(oy, 50 - 9);
    EXPECT_DOUBLE_EQ(quad[0].x, -0.5);
    EXPECT_DOUBLE_EQ(quad[3].x, 19.5);
    EXPECT_DOUBLE_EQ(quad[3].y, 39.5);
}

TEST_F(RotateZoomQuad, IdentityRefusedButAShiftIsNot)
{
    QuadPoint quad[4] = {};
    EXPECT_FALSE(ComputeRotateZoomQuad(quad, 0, 0, 512, 1.0, 8, 8, 0, 0, nullptr, nullptr, nullptr, nullptr));
    int32_t ox = 0, oy = 0;
    ASSERT_TRUE(ComputeRotateZoomQuad(quad, 1, 0, 0, 1.0, 8, 8, 0, 0, nullptr, nullptr, &ox, &oy));
    EXPECT_EQ(ox, 1);
    EXPECT_EQ(oy, 0);
    ASSERT_TRUE(ComputeRotateZoomQuad(quad, 1, 0, 0, 1.0, 8, 8, 0, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_DOUBLE_EQ(quad[1].x, 8.5);
    EXPECT_DOUBLE_EQ(quad[1].y, -0.5);
}

TEST_F(RotateZoomQuad, TurnsBothWaysAndWrapsAngles)
{
    QuadPoint a[4], b[4], c[4];
    ASSERT_TRUE(ComputeRotateZoomQuad(a, 0, 0, 128, 1.0, 10, 4, 0, 0, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(
        ComputeRotateZoomQuad(b, 0, 0, 128 + 512, 1.0, 10, 4, 0, 0, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(ComputeRotateZoomQuad(c, 0, 0, -128, 1.0, 10, 4, 0, 0, nullptr, nullptr, nullptr, nullptr));
    for (int i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(a[i].x, b[i].x);
        EXPECT_DOUBLE_EQ(a[i].y, b[i].y);
    }
    // A quarter turn one way puts the top-right corner 10 above the top-left, the other way below.
    EXPECT_NEAR(a[1].x - a[0].x, 0.0, 1e-9);
    EXPECT_NEAR(a[1].y - a[0].y, -10.0, 1e-9);
    EXPECT_NEAR(c[1].x - c[0].x, 0.0, 1e-9);
    EXPECT_NEAR(c[1].y - c[0].y, 10.0, 1e-9);
}

TEST_F(RotateZoomQuad, RefusesBadZoomsAndMissingTable)
{
    QuadPoint quad[4];
    for (double zoom : {0.0, double(NAN), double(INFINITY), -double(INFINITY)})
        EXPECT_FALSE(
            ComputeRotateZoomQuad(quad, 5, 5, 3, zoom, 8, 8, 4, 4, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(
        ComputeRotateZoomQuad(nullptr, 5, 5, 3, 1.0, 8, 8, 4, 4, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(ComputeRotateZoomQuad(quad, 5, 5, 3, 1e12, 8, 8, 4, 4, nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(ComputeRotateZoomQuad(quad, 5, 5, 3, -1.0, 8, 8, 4, 4, nullptr, nullptr, nullptr, nullptr));
    g_pCosTable = nullptr;
    EXPECT_FALSE(ComputeRotateZoomQuad(quad, 5, 5, 3, 1.0, 8, 8, 4, 4, nullptr, nullptr, nullptr, nullptr));
}

TEST(RectClip, ClipRectToSize)
{
    RECT clip{1, 2, 3, 4};
    EXPECT_TRUE(ClipRectToSize(clip, 8, 8, nullptr));
    EXPECT_EQ(clip.right, 8);
    RECT wanted{-5, -5, 10, 10};
    EXPECT_TRUE(ClipRectToSize(clip, 8, 8, &wanted));
    EXPECT_EQ(clip.left, 0);
    EXPECT_EQ(clip.top, 0);
    EXPECT_EQ(clip.right, 8);
    EXPECT_EQ(clip.bottom, 8);
    RECT empty{3, 3, 3, 9};
    clip = RECT{1, 1, 2, 2};
    EXPECT_FALSE(ClipRectToSize(clip, 8, 8, &empty));
    EXPECT_EQ(clip.right, 2);
    // Wholly outside: an empty clip, never an inverted one.
    const struct {
        RECT wanted;
        RECT clip;
    } outside[] = {{{30, 30, 50, 50}, {20, 20, 20, 20}},
                   {{-50, -40, -30, -20}, {0, 0, 0, 0}},
                   {{5, 30, 10, 50}, {5, 20, 10, 20}}};
    for (const auto& c : outside) {
        EXPECT_TRUE(ClipRectToSize(clip, 20, 20, &c.wanted));
        EXPECT_EQ(clip.left, c.clip.left);
        EXPECT_EQ(clip.top, c.clip.top);
        EXPECT_EQ(clip.right, c.clip.right);
        EXPECT_EQ(clip.bottom, c.clip.bottom);
    }
}

TEST(RectClip, ClipRectToBounds)
{
    struct Case {
        RECT in;
        bool result;
        RECT out;
    } cases[] = {
        {{-5, -5, 5, 5}, true, {0, 0, 5, 5}},
        {{20, 3, 30, 4}, false, {20, 3, 10, 4}}, // nothing across: top and bottom untouched
        {{2, 20, 4, 30}, false, {2, 20, 4, 10}},
        {{2, 2, 4, 4}, true, {2, 2, 4, 4}},
    };
    const RECT clip{0, 0, 10, 10};
    for (const Case& c : cases) {
        RECT r = c.in;
        EXPECT_EQ(ClipRectToBounds(clip, r), c.result);
        EXPECT_EQ(r.left, c.out.left);
        EXPECT_EQ(r.top, c.out.top);
        EXPECT_EQ(r.right, c.out.right);
        EXPECT_EQ(r.bottom, c.out.bottom);
    }
}
