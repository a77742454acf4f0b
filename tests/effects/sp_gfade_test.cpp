#include <gtest/gtest.h>

#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effect_test_world.h"
#include "effects/sp_gfade.h"
#include "raster/blend_tables.h"

namespace {

using effects_test::EffectWorld;
using effects_test::OriginImage;
using effects_test::PixelAt;

struct Wipe {
    EffectWorld world{64, 48, false};
    std::unique_ptr<CImage> picture = OriginImage(40, 8, 5);
    CSprite sprite;
    CLayerEffect* holder = nullptr;

    Wipe(int direction, int gradient, const char* acceleration = nullptr, int duration = 400)
    {
        EXPECT_EQ(sprite.SetImage(picture.get(), nullptr, 10, 5), 0);
        world.front.GetScene()->GetList().Insert(&sprite, 0, 0);
        EXPECT_EQ(CreateLayerEffect("sp_gfade", &world.front,
                                    CEffectArgs::Of(static_cast<CDrawable*>(&sprite), duration, direction,
                                                    gradient, acceleration),
                                    &holder),
                  0);
    }
    ~Wipe() { world.scheduler.CancelAll(); }
    BYTE AlphaAt(LONG x) const { return static_cast<BYTE>(PixelAt(*picture, x, 3) >> 24); }
};

TEST(SpGfade, HardEdgeRevealsFromEachSide)
{
    struct Case {
        int direction;
        RECT at100;
        LONG x, y;
    } const cases[] = {
        {0, {0, 0, 10, 8}, 10, 5},  // span 40: 10 px at a quarter
        {1, {30, 0, 40, 8}, 40, 5}, // the picture stays in place
        {2, {0, 0, 40, 2}, 10, 5},  // span 8
        {3, {0, 6, 40, 8}, 10, 11},
    };
    for (const Case& c : cases) {
        Wipe wipe(c.direction, 0);
        EXPECT_FALSE(wipe.sprite.IsVisible());
        wipe.world.Tick(0);
        EXPECT_FALSE(wipe.sprite.IsVisible()) << "nothing while the edge is below 1";
        wipe.world.Tick(100);
        EXPECT_TRUE(wipe.sprite.IsVisible());
        const RECT& src = wipe.sprite.GetSourceRect();
        EXPECT_EQ(src.left, c.at100.left) << c.direction;
        EXPECT_EQ(src.top, c.at100.top) << c.direction;
        EXPECT_EQ(src.right, c.at100.right) << c.direction;
        EXPECT_EQ(src.bottom, c.at100.bottom) << c.direction;
        EXPECT_EQ(wipe.sprite.GetX(), c.x) << c.direction;
        EXPECT_EQ(wipe.sprite.GetY(), c.y) << c.direction;
        wipe.world.Tick(300);
        EXPECT_EQ(wipe.holder, nullptr);
        EXPECT_EQ(wipe.sprite.GetSourceRect().right, 40);
        EXPECT_EQ(wipe.sprite.GetX(), 10);
        EXPECT_EQ(wipe.sprite.GetY(), 5);
    }
}

TEST(SpGfade, GradientRampsTheStripBehindTheEdgeAndGivesItBack)
{
    for (int direction : {0, 1}) {
        Wipe wipe(direction, 8, "0", 480); // span 48: the edge moves 1 px per 10 ms
        EXPECT_EQ(static_cast<CSpGfadeEffect*>(wipe.holder)->GetSpan(), 48);
        int built = 0;
        CGradientRamp ramp(&built, 8, direction == 0 ? 255 : 0, direction == 0 ? 0 : 255, 8);
        ASSERT_EQ(built, 0);
        wipe.world.Tick(0);
        wipe.world.Tick(240); // edge 24: the strip is columns 16..23 (counted from the wipe's side)
        const LONG firstShown = direction == 0 ? 0 : 16;
        EXPECT_EQ(wipe.sprite.GetSourceRect().left, firstShown);
        for (LONG x = 0; x < 40; ++x) {
            const bool inStrip = x >= 16 && x < 24;
            const BYTE expected = inStrip ? g_MulTable[ramp.Bytes()[x - 16]][255] : 255;
            EXPECT_EQ(wipe.AlphaAt(x), expected) << "direction " << direction << " x " << x;
        }
        // Fast towards the edge: the interior side of the strip keeps nearly all of its alpha.
        EXPECT_GT(wipe.AlphaAt(direction == 0 ? 16 : 23), 200);
        EXPECT_LT(wipe.AlphaAt(direction == 0 ? 23 : 16), 50);
        wipe.world.Tick(120); // edge 36: the last strip is given back
        EXPECT_EQ(wipe.AlphaAt(direction == 0 ? 20 : 19), 255);
        if (direction == 0) {
            // A cancel shows the whole sprite with its picture untouched.
            wipe.world.scheduler.Cancel(wipe.holder);
        } else {
            wipe.world.Tick(120);
            EXPECT_EQ(wipe.holder, nullptr);
        }
        for (LONG x = 0; x < 40; ++x)
            ASSERT_EQ(wipe.AlphaAt(x), 255) << x;
        EXPECT_TRUE(wipe.sprite.IsVisible());
        EXPECT_EQ(wipe.sprite.GetSourceRect().right - wipe.sprite.GetSourceRect().left, 40);
    }
}

struct RefusingManager : CTimerManager {
    uint32_t Add(CTimedTask*, uint32_t, uint32_t, uint32_t) override { return 1; }
};

TEST(SpGfade, SetUpCodes)
{
    EffectWorld world(64, 48, false);
    std::unique_ptr<CImage> picture = OriginImage(16, 8, 5);
    CSprite sprite;
    ASSERT_EQ(sprite.SetImage(picture.get(), nullptr, 0, 0), 0);
    CSprite bare;
    RefusingManager refusing;
    struct Case {
        const char* what;
        CTimerManager* manager;
        CDrawable* sprite;
        int duration;
        int code;
    } const cases[] = {
        {"no manager", nullptr, &sprite, 100, 1},
        {"no sprite", &world.scheduler, nullptr, 100, 1},
        {"a sprite without picture", &world.scheduler, &bare, 100, 1},
        {"duration 0: shown at once", &world.scheduler, &sprite, 0, -1},
        {"manager refuses", &refusing, &sprite, 100, 5},
    };
    for (const Case& c : cases) {
        sprite.SetVisible(false);
        CSpGfadeEffect effect;
        EXPECT_EQ(effect.SetUp(c.manager, &world.front, c.sprite, c.duration, 7, 4, nullptr), c.code)
            << c.what;
        if (c.code == -1) {
            EXPECT_TRUE(sprite.IsVisible());
        }
    }
}

} // namespace
