#include <gtest/gtest.h>

#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effect_test_world.h"
#include "effects/sp_loop.h"

namespace {

using effects_test::EffectWorld;

RECT Source(const CSprite& sprite)
{
    return sprite.GetSourceRect();
}

TEST(SpLoop, ScrollsThroughTwoSpritesAndEndsAfterItsRepeats)
{
    // SYS/NOISE.ELG is 96 × 64; a window of 64 along x, period 960 ms: 1 pixel per 10 ms.
    EffectWorld world(128, 96);
    CLayerEffect* holder = nullptr;
    ASSERT_EQ(CreateLayerEffect("sp_loop", &world.front,
                                CEffectArgs::Of("SYS\\NOISE.ELG", nullptr, 10, 20, 64, 0, 960, 2, 0, 0), &holder),
              0);
    auto* loop = static_cast<CSpLoopEffect*>(holder);
    EXPECT_EQ(loop->GetKind(), kSpEffectKind);
    CSprite& first = *loop->GetSprite(0);
    CSprite& second = *loop->GetSprite(1);
    world.Tick(0);
    EXPECT_EQ(Source(first).left, 0);
    EXPECT_EQ(Source(first).right, 64);
    EXPECT_FALSE(second.IsVisible());
    world.Tick(500); // offset 50: 46 from the end, then 18 from the start
    EXPECT_EQ(Source(first).left, 50);
    EXPECT_EQ(Source(first).right, 96);
    ASSERT_TRUE(second.IsVisible());
    EXPECT_EQ(Source(second).left, 0);
    EXPECT_EQ(Source(second).right, 18);
    RECT at{};
    second.GetScreenRect(&at);
    EXPECT_EQ(at.left, 10 + 46);
    EXPECT_EQ(at.top, 20);
    EXPECT_EQ(holder->SetParams(1, 0), 0);
    EXPECT_FALSE(first.IsVisible());
    EXPECT_EQ(holder->SetParams(1, 1), 0);
    EXPECT_TRUE(first.IsVisible());
    world.Tick(460); // second period
    ASSERT_NE(holder, nullptr);
    world.Tick(960);
    EXPECT_EQ(holder, nullptr);
    EXPECT_EQ(world.front.GetScene()->GetList().Remove(&first), false); // gone with the effect
}

TEST(SpLoop, StopsOnRequestAndRefusesBadSetUps)
{
    EffectWorld world(128, 96);
    CSpLoopEffect missing;
    EXPECT_EQ(missing.SetUp(&world.scheduler, &world.front, "SYS\\NONE.ELG", nullptr, 0, 0, 0, 0, 100, 0, 0, 0), 2);
    CSpLoopEffect wide;
    EXPECT_EQ(wide.SetUp(&world.scheduler, &world.front, "SYS\\NOISE.ELG", nullptr, 0, 0, 97, 0, 100, 0, 0, 0), 2);
    CSpLoopEffect noManager;
    EXPECT_EQ(noManager.SetUp(nullptr, &world.front, "SYS\\NOISE.ELG", nullptr, 0, 0, 0, 0, 100, 0, 0, 0), 1);

    CLayerEffect* holder = nullptr;
    ASSERT_EQ(CreateLayerEffect("sp_loop", &world.front,
                                CEffectArgs::Of("SYS\\NOISE.ELG", nullptr, 0, 0, 32, 3, 0, 0, 0, 0), &holder),
              0);
    world.Tick(0);
    world.Tick(5); // period 0 counts as 1 ms
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->SetParams(0), 0);
    world.Tick(1);
    EXPECT_EQ(holder, nullptr);
}

} // namespace
