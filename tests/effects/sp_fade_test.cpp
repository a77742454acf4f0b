#include <gtest/gtest.h>

#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effect_test_world.h"
#include "effects/sp_fade.h"
#include "effects/sp_loop.h"

namespace {

using effects_test::BusyCounter;
using effects_test::EffectWorld;
using effects_test::OriginImage;

struct Fade {
    EffectWorld world{64, 48, false};
    std::unique_ptr<CImage> picture = OriginImage(8, 8, 9);
    CSprite sprites[3];
    CLayerEffect* holder = nullptr;

    explicit Fade(int endFlag = 0, int count = 4, int busy = 0)
    {
        for (CSprite& sprite : sprites) {
            EXPECT_EQ(sprite.SetImage(picture.get(), nullptr, 0, 0), 0);
            world.front.GetScene()->GetList().Insert(&sprite, 0, 0);
        }
        EXPECT_EQ(CreateLayerEffect("sp_fade", &world.front, CEffectArgs::Of(count, endFlag, busy), &holder),
                  0);
    }
    ~Fade()
    {
        world.scheduler.CancelAll();
        for (CSprite& sprite : sprites)
            world.front.GetScene()->GetList().Remove(&sprite);
    }
    CSpFadeEffect& Effect() { return *static_cast<CSpFadeEffect*>(holder); }
    // SetParams(mode, index, target, time, delay, move, x, y, easing).
    int Set(int mode, int index, CSprite* sprite, int time, int delay = 0, int move = 0, int x = 0, int y = 0,
            int easing = 0)
    {
        return holder->SetParams(mode, index, static_cast<CDrawable*>(sprite), time, delay, move, x, y,
                                 easing);
    }
};

TEST(SpFade, FadesAHiddenSpriteInOverExactlyItsTime)
{
    Fade fade;
    CSprite& sprite = fade.sprites[0];
    sprite.SetVisible(false);
    EXPECT_EQ(fade.Effect().GetKind(), kSpEffectKind);
    EXPECT_EQ(fade.holder->Query(nullptr), 0);
    ASSERT_EQ(fade.Set(1, 0, &sprite, 1000), 0);
    EXPECT_EQ(sprite.GetAlpha(), 0);
    EXPECT_EQ(fade.holder->Query(nullptr), 1);
    fade.world.Tick(0); // takes the start, shows the sprite
    EXPECT_TRUE(sprite.IsVisible());
    EXPECT_EQ(sprite.GetAlpha(), 0);
    fade.world.Tick(500);
    EXPECT_EQ(sprite.GetAlpha(), 127); // 255 × 0.5, integer part
    fade.world.Tick(499);
    EXPECT_EQ(sprite.GetAlpha(), 254);
    EXPECT_EQ(fade.Effect().GetEntry(0).target, &sprite);
    fade.world.Tick(1);
    EXPECT_EQ(sprite.GetAlpha(), 255);
    EXPECT_EQ(fade.Effect().GetEntry(0).target, nullptr);
    EXPECT_TRUE(fade.Effect().IsRunning());
    fade.world.Tick(16); // the step that finds no entry stops it; the object stays
    EXPECT_FALSE(fade.Effect().IsRunning());
    EXPECT_NE(fade.holder, nullptr);
}

TEST(SpFade, FadeOutOfAHalfVisibleSpriteTakesItsShareOfTheTime)
{
    Fade fade;
    CSprite& sprite = fade.sprites[0];
    sprite.SetAlpha(128);
    ASSERT_EQ(fade.Set(2, 1, &sprite, 1000), 0);
    EXPECT_EQ(fade.Effect().GetEntry(1).time, 501u); // 128 / 255 × 1000
    fade.world.Tick(0);
    fade.world.Tick(500);
    EXPECT_EQ(sprite.GetAlpha(), 0); // 128 - 128 × 500/501 = 0.25...
    EXPECT_TRUE(sprite.IsVisible());
    fade.world.Tick(1);
    EXPECT_FALSE(sprite.IsVisible());
    EXPECT_EQ(sprite.GetAlpha(), 255); // reset for the next show
}

TEST(SpFade, MovesWithItsEasingAndWaitsOutItsDelay)
{
    Fade fade;
    struct Case {
        int easing;
        LONG xAtHalf;
    } const cases[] = {{0, 50}, {2, 25}, {-2, 75}};
    for (const Case& c : cases) {
        CSprite& sprite = fade.sprites[0];
        sprite.SetPosition(0, 10);
        sprite.SetVisible(true);
        sprite.SetAlpha(0);
        ASSERT_EQ(fade.Set(1, 0, &sprite, 1020, 0, 1, 100, 30, c.easing), 0);
        EXPECT_EQ(fade.Effect().GetEntry(0).time, 1020u);
        fade.world.Tick(0);
        fade.world.Tick(510);
        EXPECT_EQ(sprite.GetX(), c.xAtHalf) << c.easing;
        fade.world.Tick(510);
        EXPECT_EQ(sprite.GetX(), 100);
        EXPECT_EQ(sprite.GetY(), 30);
    }

    // A delayed entry stays hidden until its delay has passed, then shows at its start alpha.
    CSprite& late = fade.sprites[1];
    late.SetVisible(false);
    ASSERT_EQ(fade.Set(1, 2, &late, 255, 300), 0);
    fade.world.Tick(0);
    fade.world.Tick(300);
    EXPECT_FALSE(late.IsVisible());
    fade.world.Tick(10);
    EXPECT_TRUE(late.IsVisible());
    EXPECT_EQ(late.GetAlpha(), 10);
}

TEST(SpFade, CompleteAndCancelEndEveryFadeAtOnce)
{
    BusyCounter busy;
    Fade fade(0, 3, 1);
    CSprite& in = fade.sprites[0];
    CSprite& out = fade.sprites[1];
    in.SetVisible(false);
    ASSERT_EQ(fade.Set(1, 0, &in, 1000, 0, 1, 40, 20), 0);
    ASSERT_EQ(fade.Set(2, 1, &out, 1000), 0);
    EXPECT_EQ(BusyCounter::begins, 1);
    fade.world.Tick(0);
    fade.world.Tick(100);
    EXPECT_EQ(fade.Set(0, 0, nullptr, 0), 0); // mode < 1: complete
    EXPECT_EQ(in.GetAlpha(), 255);
    EXPECT_EQ(in.GetX(), 40);
    EXPECT_TRUE(in.IsVisible());
    EXPECT_FALSE(out.IsVisible());
    EXPECT_EQ(out.GetAlpha(), 255);
    EXPECT_EQ(BusyCounter::ends, 1);
    EXPECT_FALSE(fade.Effect().IsRunning());

    ASSERT_EQ(fade.Set(2, 2, &in, 1000), 0);
    EXPECT_EQ(BusyCounter::begins, 2);
    fade.world.scheduler.Cancel(fade.holder);
    EXPECT_FALSE(in.IsVisible());
    EXPECT_EQ(BusyCounter::open, 0);
}

TEST(SpFade, RefusesBadSetUpsAndEntries)
{
    EffectWorld world(64, 48, false);
    CSprite sprite;
    CSpFadeEffect none;
    EXPECT_EQ(none.SetUp(nullptr, &world.front, 2, 0, 0), 1);
    CSpFadeEffect empty;
    EXPECT_EQ(empty.SetUp(&world.scheduler, &world.front, 0, 0, 0), 1);
    CSpFadeEffect huge;
    EXPECT_EQ(huge.SetUp(&world.scheduler, &world.front, 0x7FFFFFFF, 0, 0), 4);

    Fade fade;
    EXPECT_EQ(fade.Set(1, 4, &fade.sprites[0], 100), 1); // past the table
    EXPECT_EQ(fade.Set(1, -1, &fade.sprites[0], 100), 1);
    EXPECT_EQ(fade.Set(1, 0, nullptr, 100), 1);
    EXPECT_FALSE(fade.Effect().IsRunning());
}

TEST(SpFade, EndFlagOneEndsTheObjectOnItsFirstRunningStep)
{
    Fade fade(1);
    ASSERT_EQ(fade.Set(1, 0, &fade.sprites[0], 1000), 0);
    fade.world.Tick(0);
    EXPECT_EQ(fade.holder, nullptr);
}

} // namespace
