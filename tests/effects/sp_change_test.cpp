#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effect_test_world.h"
#include "effects/sp_change.h"
#include "platform/cos_table.h"
#include "raster/blend_mode_ops.h"
#include "raster/fill_ops.h"
#include "winapi/simd_level.h"

#include <random>

namespace {

using effects_test::EffectWorld;
using effects_test::OriginImage;
using effects_test::PixelAt;

struct Cosines {
    Cosines() { g_pCosTable = &table; }
    ~Cosines() { g_pCosTable = nullptr; }
    CCosTable table;
};

// A scheduler that refuses every task.
class RefusingScheduler : public CTimerManager {
public:
    uint32_t Add(CTimedTask*, uint32_t, uint32_t, uint32_t) override { return 2; }
};

// The old sprite as the scenario engine hands it over: made on the heap with its picture, owned
// by the effect once the set-up answered 0.
struct Change {
    Change(EffectWorld& world, LONG oldW, LONG oldH, LONG newW, LONG newH) : world(world)
    {
        newImage = OriginImage(newW, newH, 4);
        EXPECT_EQ(newSprite.SetImage(newImage.get(), nullptr, 0, 0), 0);
        EXPECT_EQ(world.front.GetScene()->GetList().Insert(&newSprite, 30, 0), 0);
        newSprite.SetVisible(false);
        oldImage = OriginImage(oldW, oldH, 3).release();
        oldSprite = new CSprite;
        EXPECT_EQ(oldSprite->SetImage(oldImage, nullptr, 40, 30), 0);
        EXPECT_EQ(world.front.GetScene()->GetList().Insert(oldSprite, 30, 0), 0);
    }
    ~Change()
    {
        world.scheduler.CancelAll();
        world.scheduler.RunDue(timeGetTime());
        if (!owned) {
            delete oldSprite;
            delete oldImage;
        }
    }
    int Start(CTimerManager* manager, const char* list, int mode, int zoom, int time)
    {
        auto* effect = new CSpChangeEffect;
        const int code = effect->SetUp(manager, &world.front, static_cast<CDrawable*>(&newSprite),
                                       static_cast<CDrawable*>(oldSprite), list, mode, 25, zoom, time, 0);
        if (code == 0) {
            owned = true;
            this->effect = effect;
        } else {
            delete effect;
        }
        return code;
    }
    std::unique_ptr<CImage> Frame()
    {
        auto frame = std::make_unique<CImage>();
        EXPECT_EQ(frame->Create(world.front.GetWidth(), world.front.GetHeight(), 32, 0), 0);
        EXPECT_EQ(world.front.GetScene()->RenderToImage(frame.get(), 0, 0, true), 0);
        return frame;
    }
    static bool Same(const CImage& a, const CImage& b)
    {
        // The screen shows colours: the frame's alpha bytes are not compared.
        for (LONG y = 0; y < a.GetHeight(); ++y)
            for (LONG x = 0; x < a.GetWidth(); ++x)
                if ((PixelAt(a, x, y) ^ PixelAt(b, x, y)) & 0xFFFFFF) {
                    ADD_FAILURE() << "first difference at " << x << "," << y << ": " << std::hex << PixelAt(a, x, y)
                                  << " against " << PixelAt(b, x, y);
                    return false;
                }
        return true;
    }

    EffectWorld& world;
    std::unique_ptr<CImage> newImage;
    CSprite newSprite;
    CImage* oldImage = nullptr;
    CSprite* oldSprite = nullptr;
    CSpChangeEffect* effect = nullptr;
    bool owned = false;
};

TEST(SpChange, ModeTable)
{
    const struct {
        int input;
        bool zoom, transformed;
        LONG oldW, newW;
        bool listZooms;
        uint8_t mode;
        bool blended, zoomOn;
        double ratio;
    } kCases[] = {
        {0, false, false, 40, 20, false, 0, false, false, 1.0},
        {0, true, false, 40, 20, false, 0, false, true, 2.0},
        {1, false, false, 40, 20, false, 1, false, false, 1.0},
        {1, true, false, 40, 20, false, 1, false, true, 0.5},
        {1, false, false, 40, 20, true, 1, false, true, 1.0},
        {2, false, false, 40, 20, false, 5, true, false, 1.0},
        {2, false, true, 40, 20, false, 2, true, false, 1.0},
        {3, false, true, 40, 20, false, 3, true, false, 1.0},
        {2, true, false, 40, 20, false, 3, true, true, 0.5},
        {3, true, false, 20, 40, false, 2, true, true, 0.5},
        {2, false, false, 40, 20, true, 2, true, true, 1.0},
        {4, false, false, 40, 20, false, 1, true, false, 1.0},
        {4, true, true, 40, 20, false, 1, true, true, 0.5},
    };
    for (const auto& c : kCases) {
        const SpChangePlan plan = SettleSpChangeMode(c.input, c.zoom, c.transformed, c.oldW, c.newW, c.listZooms);
        SCOPED_TRACE(testing::Message() << "input " << c.input << " zoom " << c.zoom << " transformed "
                                        << c.transformed << " list zooms " << c.listZooms);
        EXPECT_EQ(plan.mode, c.mode);
        EXPECT_EQ(plan.blended, c.blended);
        EXPECT_EQ(plan.zoom, c.zoomOn);
        EXPECT_DOUBLE_EQ(plan.ratio, c.ratio);
    }
}

TEST(SpChange, ZoomCurvePerMode)
{
    const struct {
        uint8_t mode;
        double r, f, z;
    } kCases[] = {
        {0, 2.0, 0.0, 2.0}, {0, 2.0, 0.5, 1.5}, {0, 2.0, 1.0, 1.0}, {0, 0.5, 0.0, 0.5}, {0, 0.5, 1.0, 1.0},
        {1, 0.5, 0.0, 1.0}, {1, 0.5, 0.5, 0.75}, {1, 2.0, 1.0, 2.0}, {2, 0.5, 0.0, 0.5}, {2, 0.5, 1.0, 1.0},
        {3, 0.5, 0.0, 1.0}, {3, 0.5, 1.0, 0.5}, {5, 1.0, 0.5, 1.0},
    };
    for (const auto& c : kCases)
        EXPECT_DOUBLE_EQ(SpChangeZoom(c.mode, c.r, c.f), c.z) << int(c.mode) << " r " << c.r << " f " << c.f;
}

TEST(SpChange, BlendStartsOnTheOldPictureAndEndsOnTheNewSprite)
{
    Cosines cosines;
    EffectWorld world(128, 96);
    Change change(world, 20, 20, 30, 10);
    const auto before = change.Frame();
    ASSERT_EQ(change.Start(&world.scheduler, "100 p10,0", 2, 0, 100), 0);
    CSpChangeEffect& effect = *change.effect;
    EXPECT_EQ(effect.GetPlan().mode, 5);
    // Old (40, 30, 20 × 20), new 30 × 10 on the same bottom middle (50, 50): at (35, 40).
    EXPECT_EQ(change.newSprite.GetX(), 35);
    EXPECT_EQ(change.newSprite.GetY(), 40);
    const RECT& area = effect.GetSplit().area;
    EXPECT_EQ(area.left, 35);
    EXPECT_EQ(area.top, 30);
    EXPECT_EQ(area.right, 65);
    EXPECT_EQ(area.bottom, 50);
    CEffectArgs out;
    EXPECT_EQ(effect.Query(&out), 0);
    EXPECT_EQ(out.IntAt(0), 45); // the final point
    EXPECT_EQ(out.IntAt(1), 40);
    EXPECT_EQ(out.IntAt(2), 25); // the priority given
    EXPECT_EQ(out.IntAt(6), 15); // the new picture's origin inside it
    EXPECT_EQ(out.IntAt(7), 10);
    EXPECT_EQ(out.IntAt(8), 0);
    world.Tick(0);
    ASSERT_NE(effect.GetWorkSprite(), nullptr);
    EXPECT_TRUE(effect.GetWorkSprite()->IsVisible());
    EXPECT_FALSE(change.oldSprite->IsVisible());
    EXPECT_TRUE(Change::Same(*change.Frame(), *before)); // f = 0: exactly the old picture
    world.Tick(50);
    EXPECT_EQ(effect.GetLastLevel(), 127);
    EXPECT_EQ(effect.GetWorkSprite()->GetX(), 40); // moved with the list
    const CImage& work = *effect.GetWorkSprite()->GetImage();
    EXPECT_EQ(PixelAt(work, 0, 15) >> 24, 127u);             // new only: fading in
    EXPECT_EQ(PixelAt(work, 10, 2) >> 24, 128u);             // old only: fading out
    world.Tick(50); // the effect has ended and is gone
    EXPECT_TRUE(change.newSprite.IsVisible());
    EXPECT_EQ(change.newSprite.GetX(), 45);
    EXPECT_EQ(change.newSprite.GetY(), 40);
}

// The blended steps equal the layered form (clear, copy the old picture, fade the alpha of its
// own strips, cross-fade the new one by its alpha) on pictures with clear, opaque and partly
// clear pixels, at every SIMD level and with the SIMD switch off.
TEST(SpChange, BlendedStepsEqualTheLayeredPasses)
{
    struct Size {
        LONG oldW, oldH, newW, newH;
    };
    std::mt19937 random(61);
    const auto scribble = [&](CImage& image) {
        for (LONG y = 0; y < image.GetHeight(); ++y)
            for (LONG x = 0; x < image.GetWidth(); ++x) {
                const uint32_t pick = random() % 4, v = random();
                reinterpret_cast<uint32_t*>(image.GetBits() + intptr_t(y) * image.GetPitch())[x] =
                    pick == 0 ? v & 0xFFFFFFu : pick == 1 ? v | 0xFF000000u : v;
            }
    };
    const BYTE savedSwitch = g_bUseMmx;
    for (const Size size : {Size{20, 20, 30, 10}, Size{21, 9, 13, 27}}) {
        for (SimdLevel level : kAllSimdLevels) {
            for (BYTE simdSwitch : {0, 1}) {
                SCOPED_TRACE(::testing::Message() << "new " << size.newW << "x" << size.newH << " SIMD level "
                                                  << int(level) << " switch " << int(simdSwitch));
                ScopedSimdLevel scoped(level);
                g_bUseMmx = simdSwitch;
                Cosines cosines;
                EffectWorld world(128, 96);
                Change change(world, size.oldW, size.oldH, size.newW, size.newH);
                scribble(*change.oldImage);
                scribble(*change.newImage);
                ASSERT_EQ(change.Start(&world.scheduler, "100 p10,0", 2, 0, 100), 0);
                const RectSplit& split = change.effect->GetSplit();
                const POINT oldAt{40 - split.area.left, 30 - split.area.top};
                const POINT newAt{change.newSprite.GetX() - split.area.left,
                                  change.newSprite.GetY() - split.area.top};
                const RECT oldAll{0, 0, size.oldW, size.oldH}, newAll{0, 0, size.newW, size.newH};
                for (uint32_t dt : {0u, 1u, 13u, 29u, 7u, 30u, 19u}) {
                    world.Tick(dt);
                    const BYTE at = change.effect->GetLastLevel();
                    const CImage& work = *change.effect->GetWorkSprite()->GetImage();
                    CImage layered;
                    ASSERT_EQ(layered.Create(work.GetWidth(), work.GetHeight(), 32, 0), 0);
                    layered.FillRect32(0, nullptr);
                    layered.Copy(change.oldImage, oldAt.x, oldAt.y, &oldAll, false);
                    for (int i = 0; i < split.oldOnlyCount; ++i)
                        AdjustAlphaLevel(layered, 255 - at, &split.oldOnly[i]);
                    CrossFadeAlphaAware(layered, change.newImage.get(), at, newAt.x, newAt.y, &newAll);
                    for (LONG y = 0; y < work.GetHeight(); ++y)
                        for (LONG x = 0; x < work.GetWidth(); ++x)
                            ASSERT_EQ(PixelAt(work, x, y), PixelAt(layered, x, y))
                                << "level " << int(at) << " at " << x << "," << y;
                }
            }
        }
    }
    g_bUseMmx = savedSwitch;
}

// The frame restacks the sprite's group during the change: the old picture and the work sprite
// follow to the sprite's new priority.
TEST(SpChange, OwnSpritesMoveToTheSpritesPriority)
{
    Cosines cosines;
    EffectWorld world(128, 96);
    Change change(world, 20, 20, 30, 10);
    ASSERT_EQ(change.Start(&world.scheduler, "100 p10,0", 2, 0, 100), 0);
    ASSERT_NE(change.effect->GetWorkSprite(), nullptr);
    change.effect->MoveOwnSprites(20400);
    std::vector<std::pair<const CDrawable*, uint32_t>> listed;
    for (const DrawNode* n = world.front.GetScene()->GetList().Head(); n != nullptr; n = n->next)
        listed.emplace_back(n->drawable, n->priority);
    const auto priorityOf = [&](const CDrawable* d) {
        for (const auto& [drawable, priority] : listed)
            if (drawable == d)
                return static_cast<int64_t>(priority);
        return int64_t{-1};
    };
    EXPECT_EQ(priorityOf(change.oldSprite), 20400);
    EXPECT_EQ(priorityOf(change.effect->GetWorkSprite()), 20400);
    EXPECT_EQ(priorityOf(&change.newSprite), 30);
}

TEST(SpChange, OldSpriteMovesInModeOneAndCancelShowsTheNewOne)
{
    EffectWorld world(128, 96);
    Change change(world, 20, 20, 30, 10);
    ASSERT_EQ(change.Start(&world.scheduler, "200 p20,-10", 1, 0, 200), 0);
    world.Tick(0);
    EXPECT_TRUE(change.oldSprite->IsVisible());
    EXPECT_FALSE(change.newSprite.IsVisible());
    world.Tick(100);
    EXPECT_EQ(change.oldSprite->GetX(), 50);
    EXPECT_EQ(change.oldSprite->GetY(), 25);
    world.scheduler.Cancel(change.effect);
    EXPECT_FALSE(change.oldSprite->IsVisible());
    EXPECT_TRUE(change.newSprite.IsVisible());
    EXPECT_EQ(change.newSprite.GetAlpha(), 255);
    EXPECT_EQ(change.newSprite.GetX(), 55);
    EXPECT_EQ(change.newSprite.GetY(), 30);
}

TEST(SpChange, ZoomedBlendKeepsTheOldScaleThenEndsNative)
{
    Cosines cosines;
    EffectWorld world(128, 96);
    Change change(world, 20, 20, 40, 10);
    const auto before = change.Frame();
    ASSERT_EQ(change.Start(&world.scheduler, "100 p0,0", 2, 1, 100), 0);
    CSpChangeEffect& effect = *change.effect;
    EXPECT_EQ(effect.GetPlan().mode, 2);
    EXPECT_DOUBLE_EQ(effect.GetPlan().ratio, 0.5);
    world.Tick(0);
    EXPECT_TRUE(Change::Same(*change.Frame(), *before));
    world.Tick(50);
    EXPECT_DOUBLE_EQ(effect.GetWorkSprite()->GetZoom(), 1.5);
    world.Tick(50);
    EXPECT_TRUE(change.newSprite.IsVisible());
    EXPECT_DOUBLE_EQ(change.newSprite.GetZoom(), 1.0);
}

TEST(SpChange, SetUpCodesAndOwnership)
{
    EffectWorld world(128, 96);
    {
        Change change(world, 20, 20, 30, 10);
        EXPECT_EQ(change.Start(nullptr, "P1,1", 0, 0, 100), 1);
        EXPECT_EQ(change.Start(&world.scheduler, "P1,1#", 0, 0, 100), 3);
        RefusingScheduler refusing;
        EXPECT_EQ(change.Start(&refusing, "P1,1", 2, 0, 100), 4); // the old sprite stays the caller's
        change.oldSprite->SetSize(10, 10);
        EXPECT_EQ(change.Start(&world.scheduler, "P1,1", 0, 0, 100), 2);
    }
    {
        Change change(world, 20, 20, 30, 10);
        change.newSprite.DetachFromList();
        EXPECT_EQ(change.Start(&world.scheduler, "P1,1", 0, 0, 100), 1);
    }
    {
        Change change(world, 20, 20, 30, 10);
        auto* effect = new CSpChangeEffect;
        EXPECT_EQ(effect->SetUp(&world.scheduler, &world.front, static_cast<CDrawable*>(&change.newSprite), nullptr,
                                "P1,1", 0, 0, 0, 100, 0),
                  1);
        delete effect;
    }
}

} // namespace
