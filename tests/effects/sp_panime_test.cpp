#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "drawing/draw_list.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effect_test_world.h"
#include "effects/sp_panime.h"
#include "platform/cos_table.h"

namespace {

using effects_test::EffectWorld;
using effects_test::OriginImage;

// Cancels the scheduler's effects before the sprites they move go.
struct CancelFirst {
    CTimerManager& scheduler;
    ~CancelFirst() { scheduler.CancelAll(); }
};

// A 16 × 8 sprite at (x, y) in the front scene at priority 20.
struct TestSprite {
    TestSprite(EffectWorld& world, LONG x, LONG y, uint32_t priority = 20) : image(OriginImage(16, 8, 9))
    {
        EXPECT_EQ(sprite.SetImage(image.get(), nullptr, x, y), 0);
        EXPECT_EQ(world.front.GetScene()->GetList().Insert(&sprite, priority, 0), 0);
    }
    std::unique_ptr<CImage> image;
    CSprite sprite;
};

// The application's cosine table, published for the object's life (sprites turn through it).
struct Cosines {
    Cosines() { g_pCosTable = &table; }
    ~Cosines() { g_pCosTable = nullptr; }
    CCosTable table;
};

uint32_t PriorityOf(CScene& scene, const CDrawable& drawable)
{
    const DrawNode* node = scene.GetList().FindNode(&drawable);
    return node != nullptr ? node->priority : 0xFFFFFFFFu;
}

// Exposes the curve of the interpreter.
class CurveProbe : public CSpPanimeEffect {
public:
    double At(uint8_t curve, double acceleration, uint32_t u, uint32_t d)
    {
        m_curve = curve;
        m_acceleration = acceleration;
        m_duration = d;
        return Factor(u);
    }
};

TEST(SpPanime, EaseValuesOfBothCurves)
{
    CurveProbe probe;
    const struct {
        const char* name;
        uint8_t curve;
        double acceleration;
        uint32_t u, d;
        double f;
    } kCases[] = {
        {"cosine at a quarter", 0, 0.0, 250, 1000, (std::cos(std::numbers::pi * 1.25) + 1) / 2},
        {"cosine at half", 0, 0.0, 500, 1000, 0.5},
        {"cosine at the start", 0, 0.0, 0, 1000, 0.0},
        {"linear", 1, 0.0, 300, 1000, 0.3},
        {"power 2", 1, 2.0, 500, 1000, 0.25},
        {"power -2", 1, -2.0, 500, 1000, 0.75},
        {"duration 1 is at once", 0, 0.0, 0, 1, 1.0},
    };
    for (const auto& c : kCases)
        EXPECT_NEAR(probe.At(c.curve, c.acceleration, c.u, c.d), c.f, 1e-9) << c.name;
}

TEST(SpPanime, SwingGoesOutAndBack)
{
    const struct {
        int32_t a, b;
        double f;
        int32_t offset;
    } kCases[] = {
        {0, 0, 0.5, 0},    {100, 0, 0.25, 50}, {100, 0, 0.5, 100}, {100, 0, 0.75, 50},
        {100, 0, 1.0, 0},  {100, 10, 0.25, 70}, {100, 10, 0.75, 50}, {-40, 30, 0.5, -40},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(SwingOffset(c.a, c.b, c.f), c.offset) << c.a << "," << c.b << " at " << c.f;
}

TEST(SpPanime, MovesFadesAndEndsAfterItsLastRecord)
{
    EffectWorld world(128, 96);
    TestSprite s(world, 0, 0);
    CancelFirst cancel{world.scheduler};
    CLayerEffect* holder = nullptr;
    RegisterRows(world.registry, GameEffectRows());
    ASSERT_EQ(CreateLayerEffect("sp_panime", &world.front,
                                CEffectArgs::Of(static_cast<CDrawable*>(&s.sprite), "1000 P100,50O0", 500, 0, 0),
                                &holder),
              0);
    EXPECT_EQ(holder->GetKind(), kSpEffectKind);
    world.Tick(0);
    world.Tick(500);
    EXPECT_EQ(s.sprite.GetX(), 50);
    EXPECT_EQ(s.sprite.GetY(), 25);
    EXPECT_EQ(s.sprite.GetAlpha(), 128);
    CEffectArgs out;
    EXPECT_EQ(holder->Query(&out), 0);
    EXPECT_EQ(out.IntAt(0), 100);
    EXPECT_EQ(out.IntAt(1), 50);
    EXPECT_EQ(out.IntAt(2), 0);
    world.Tick(500);
    EXPECT_EQ(holder, nullptr);
    EXPECT_EQ(s.sprite.GetX(), 100);
    EXPECT_EQ(s.sprite.GetY(), 50);
    EXPECT_EQ(s.sprite.GetAlpha(), 0);
}

TEST(SpPanime, SetUpCodes)
{
    EffectWorld world(128, 96);
    TestSprite s(world, 0, 0);
    CancelFirst cancel{world.scheduler};
    auto* d = static_cast<CDrawable*>(&s.sprite);
    const struct {
        const char* name;
        bool manager;
        CDrawable* sprite;
        const char* text;
        int32_t duration, loop;
        int code;
    } kCases[] = {
        {"no manager", false, d, "P1,1", 100, 0, 1},
        {"no sprite", true, nullptr, "P1,1", 100, 0, 1},
        {"unreadable list", true, d, "P1,1#", 100, 0, 2},
        {"no text", true, d, nullptr, 100, 0, 2},
        {"looping without a point after record 0", true, d, "P1,1", 100, 1, 2},
        {"looping with only a command after the point", true, d, "P1,1 200", 100, 1, 2},
        {"duration 0 finishes at once", true, d, "P7,3", 0, 0, -1},
    };
    for (const auto& c : kCases) {
        CSpPanimeEffect effect;
        EXPECT_EQ(effect.SetUp(c.manager ? &world.scheduler : nullptr, &world.front, c.sprite, c.text, c.duration,
                               c.loop, 0),
                  c.code)
            << c.name;
    }
    EXPECT_EQ(s.sprite.GetX(), 7);
    EXPECT_EQ(s.sprite.GetY(), 3);
}

TEST(SpPanime, LoopSkipsWholeCyclesAfterAStall)
{
    EffectWorld world(128, 96);
    TestSprite s(world, 0, 0);
    CancelFirst cancel{world.scheduler};
    CSpPanimeEffect* effect = new CSpPanimeEffect;
    ASSERT_EQ(effect->SetUp(&world.scheduler, &world.front, static_cast<CDrawable*>(&s.sprite), "100 P10,0 P20,0",
                            100, 1, 0),
              0);
    world.Tick(0);
    world.Tick(150);
    EXPECT_EQ(s.sprite.GetX(), 15);
    // From 200 the cycle is point 1 to point 0 and back, 200 ms: at 1 000 000 250 half-way back.
    world.Tick(1000000100);
    EXPECT_EQ(s.sprite.GetX(), 15);
    world.Tick(100);
    EXPECT_EQ(s.sprite.GetX(), 15);
    world.Tick(50);
    EXPECT_EQ(s.sprite.GetX(), 20);
}

TEST(SpPanime, PriorityCommandsUseTheCopiedRange)
{
    EffectWorld world(128, 96);
    TestSprite s(world, 0, 0);
    CancelFirst cancel{world.scheduler};
    EXPECT_EQ(ApplySpPanimeDirect(CEffectArgs::Of(0, 5, 50), nullptr), 0);
    EXPECT_EQ(g_spPriorityLow, 5u);
    auto* effect = new CSpPanimeEffect;
    ASSERT_EQ(effect->SetUp(&world.scheduler, &world.front, static_cast<CDrawable*>(&s.sprite),
                            "F 100 P10,0 B P20,0", 100, 0, 0),
              0);
    ApplySpPanimeDirect(CEffectArgs::Of(0, 6, 60), nullptr); // copied at set-up: no effect
    world.Tick(0);
    EXPECT_EQ(PriorityOf(*world.front.GetScene(), s.sprite), 5u);
    world.Tick(150);
    EXPECT_EQ(PriorityOf(*world.front.GetScene(), s.sprite), 50u);
    world.Tick(100);
}

TEST(SpPanime, ZoomAndTurnThroughTheWorkImage)
{
    Cosines cosines;
    EffectWorld world(128, 96);
    TestSprite s(world, 0, 0);
    CancelFirst cancel{world.scheduler};
    auto* effect = new CSpPanimeEffect;
    ASSERT_EQ(effect->SetUp(&world.scheduler, &world.front, static_cast<CDrawable*>(&s.sprite), "100 P10,10Z2R90",
                            100, 0, 0),
              0);
    EXPECT_TRUE(effect->HasWorkImage());
    world.Tick(0);
    world.Tick(50);
    EXPECT_DOUBLE_EQ(s.sprite.GetZoom(), 1.5);
    EXPECT_EQ(s.sprite.GetAngle(), 64);
    CEffectArgs out;
    EXPECT_EQ(effect->Query(&out), 0);
    double zoom = 0, turns = 0, rotated = 0;
    EXPECT_TRUE(out.GetDouble(4, &zoom));
    EXPECT_TRUE(out.GetDouble(5, &turns));
    EXPECT_TRUE(out.GetDouble(8, &rotated));
    EXPECT_DOUBLE_EQ(zoom, 2.0);
    EXPECT_DOUBLE_EQ(turns, 0.25);
    EXPECT_DOUBLE_EQ(rotated, 1.0);
    world.Tick(100);
    EXPECT_DOUBLE_EQ(s.sprite.GetZoom(), 2.0);
    EXPECT_EQ(s.sprite.GetAngle(), 128);
}

TEST(SpPanime, DirectApplyLeavesTheEffectsEndState)
{
    Cosines cosines;
    EffectWorld world(128, 96);
    TestSprite a(world, 3, 4), b(world, 3, 4);
    CancelFirst cancel{world.scheduler};
    const char* list = "200 P30,20O100]2 A2 P60,10Z1.5R45";
    auto* effect = new CSpPanimeEffect;
    ASSERT_EQ(effect->SetUp(&world.scheduler, &world.front, static_cast<CDrawable*>(&a.sprite), list, 100, 0, 0), 0);
    for (int i = 0; i < 50; ++i)
        world.Tick(16);
    CEffectArgs out;
    ASSERT_EQ(ApplySpPanimeDirect(CEffectArgs::Of(1, static_cast<CDrawable*>(&b.sprite), list), &out), 0);
    EXPECT_EQ(b.sprite.GetX(), a.sprite.GetX());
    EXPECT_EQ(b.sprite.GetY(), a.sprite.GetY());
    EXPECT_EQ(b.sprite.GetAlpha(), a.sprite.GetAlpha());
    EXPECT_EQ(b.sprite.GetAngle(), a.sprite.GetAngle());
    EXPECT_DOUBLE_EQ(b.sprite.GetZoom(), a.sprite.GetZoom());
    EXPECT_EQ(out.IntAt(3), 60);
    EXPECT_EQ(out.IntAt(4), 10);
    EXPECT_EQ(out.IntAt(5), 255);
    EXPECT_EQ(out.IntAt(7), 1);
    EXPECT_EQ(ApplySpPanimeDirect(CEffectArgs::Of(1, nullptr, list), &out), 1);
    EXPECT_EQ(ApplySpPanimeDirect(CEffectArgs::Of(1, static_cast<CDrawable*>(&b.sprite), "#"), &out), 4);
}

} // namespace
