#include <gtest/gtest.h>

#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effect_test_world.h"
#include "effects/bg_panime.h"

namespace {

using effects_test::EffectWorld;
using effects_test::PixelAt;

struct PanimeWorld : EffectWorld {
    PanimeWorld() : EffectWorld(64, 48, false) { RegisterRows(registry, GameEffectRows()); }
    CScene& Layer() { return *front.GetScene(); }
    POINT Position()
    {
        LONG x = 0, y = 0;
        Layer().GetBackground(nullptr, &x, &y, nullptr, nullptr, nullptr);
        return {x, y};
    }
    CSurface* Picture()
    {
        CSurface* picture = nullptr;
        Layer().GetBackground(&picture, nullptr, nullptr, nullptr, nullptr, nullptr);
        return picture;
    }
};

TEST(BgPanime, MovesTheLayersPictureAndEndsOnTheFinalPoint)
{
    PanimeWorld world;
    CLayerEffect* holder = nullptr;
    ASSERT_EQ(CreateLayerEffect("bg_panime", &world.front, CEffectArgs::Of("1000 P100,-50", 500, 65535, 0, 0, 0, 0),
                                &holder),
              0);
    EXPECT_EQ(holder->GetKind(), kBgEffectKind);
    CEffectArgs out;
    EXPECT_EQ(holder->Query(&out), 0);
    EXPECT_EQ(out.IntAt(0), 100);
    EXPECT_EQ(out.IntAt(1), -50);
    world.Tick(0);
    world.Tick(250);
    EXPECT_EQ(world.Position().x, 25);
    EXPECT_EQ(world.Position().y, -12);
    world.Tick(750);
    EXPECT_EQ(holder, nullptr);
    EXPECT_EQ(world.Position().x, 100);
    EXPECT_EQ(world.Position().y, -50);
}

TEST(BgPanime, WorkImageShowsThePictureScrolledAndFilled)
{
    PanimeWorld world;
    world.Layer().SetBackgroundColor(0x123456, false);
    world.Layer().SetBackgroundImage(world.frontBackground.get(), 0, 0, false); // the colour dropped it
    CLayerEffect* holder = nullptr;
    ASSERT_EQ(CreateLayerEffect("bg_panime", &world.front, CEffectArgs::Of("100 P40,20", 100, 1, 0, 0, 0, 0), &holder),
              0);
    auto* effect = static_cast<CBgPanimeEffect*>(holder);
    EXPECT_EQ(effect->GetPictureMode(), 1);
    world.Tick(0);
    world.Tick(50); // (20, 10): work (0, 0) shows the picture's (20, 10)
    const CImage* work = world.Layer().GetBackgroundWork();
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(PixelAt(*work, 0, 0), PixelAt(*world.frontBackground, 20, 10));
    EXPECT_EQ(PixelAt(*work, 43, 37), PixelAt(*world.frontBackground, 63, 47));
    EXPECT_EQ(PixelAt(*work, 44, 5) & 0xFFFFFF, 0x123456u); // beyond the picture's right edge
    EXPECT_EQ(PixelAt(*work, 5, 38) & 0xFFFFFF, 0x123456u);
    world.Tick(50);
    EXPECT_EQ(holder, nullptr);
    EXPECT_EQ(world.Layer().GetBackgroundWork(), nullptr);
    EXPECT_EQ(world.Position().x, 40);
}

TEST(BgPanime, RenderedPictureStandsInAndIsPutBack)
{
    PanimeWorld world;
    auto image = effects_test::OriginImage(8, 8, 7);
    CSprite sprite;
    ASSERT_EQ(sprite.SetImage(image.get(), nullptr, 4, 4), 0);
    ASSERT_EQ(world.Layer().GetList().Insert(&sprite, 10, 0), 0);
    CSurface* own = world.Picture();
    CLayerEffect* holder = nullptr;
    ASSERT_EQ(CreateLayerEffect("bg_panime", &world.front, CEffectArgs::Of("100 P10,0", 100, 0, 1, 0, 0, 0), &holder),
              0);
    EXPECT_EQ(static_cast<CBgPanimeEffect*>(holder)->GetPictureMode(), 2);
    EXPECT_NE(world.Picture(), own);
    EXPECT_TRUE(world.Layer().IsListHidden());
    // The rendered picture holds the sprite where it stood.
    auto* rendered = static_cast<CImage*>(world.Picture());
    EXPECT_EQ(PixelAt(*rendered, 5, 5), PixelAt(*image, 1, 1));
    EXPECT_EQ(PixelAt(*rendered, 20, 20), PixelAt(*world.frontBackground, 20, 20));
    world.Tick(0);
    world.Tick(50);
    EXPECT_EQ(world.Position().x, 5);
    holder->OnCancel();
    EXPECT_EQ(world.Picture(), own);
    EXPECT_FALSE(world.Layer().IsListHidden());
    EXPECT_EQ(world.Position().x, 10);
    world.scheduler.CancelAll();
}

TEST(BgPanime, SetUpCodesAndDirectApply)
{
    PanimeWorld world;
    const struct {
        const char* name;
        bool manager;
        const char* text;
        int32_t duration;
        int code;
    } kCases[] = {
        {"no manager", false, "P1,1", 100, 1},
        {"unreadable list", true, "P1,1#", 100, 2},
        {"duration 0 finishes at once", true, "P7,3", 0, -1},
    };
    for (const auto& c : kCases) {
        CBgPanimeEffect effect;
        EXPECT_EQ(effect.SetUp(c.manager ? &world.scheduler : nullptr, &world.front, c.text, c.duration, 65535, 0, 0,
                               0, 0),
                  c.code)
            << c.name;
    }
    EXPECT_EQ(world.Position().x, 7);
    CEffectArgs out;
    EXPECT_EQ(ApplyBgPanimeDirect(CEffectArgs::Of(static_cast<CImageObject*>(&world.front), "200 P-3,9 P30,40", 0, 0),
                                  &out),
              0);
    EXPECT_EQ(world.Position().x, 30);
    EXPECT_EQ(world.Position().y, 40);
    EXPECT_EQ(out.IntAt(2), 30);
    EXPECT_EQ(out.IntAt(3), 40);
    EXPECT_EQ(ApplyBgPanimeDirect(CEffectArgs::Of(nullptr, "P1,1"), &out), -1);
    EXPECT_EQ(ApplyBgPanimeDirect(CEffectArgs::Of(static_cast<CImageObject*>(&world.front), "#"), &out), 4);
}

} // namespace
