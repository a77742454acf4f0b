#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "drawing/draw_list.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effect_test_world.h"
#include "effects/sp_parts.h"

namespace {

using effects_test::EffectWorld;

CSprite& Front(const CSpPartsEffect& effect, size_t i)
{
    return *effect.GetPart(i).front;
}

uint32_t PriorityOf(CScene& scene, const CDrawable& drawable)
{
    const DrawNode* node = scene.GetList().FindNode(&drawable);
    return node != nullptr ? node->priority : 0xFFFFFFFFu;
}

TEST(SpParts, LoadCodes)
{
    EffectWorld world(128, 96);
    CTimerManager loops;
    PartsListContext cx;
    cx.scene = world.front.GetScene();
    cx.canvas = &world.front;
    cx.loops = &loops;
    cx.basePriority = 50;
    const std::string eye = "* CA040_EYE.ELG\n";
    const struct {
        const char* name;
        std::string text;
        bool blocks;
        int code;
        size_t parts;
    } kCases[] = {
        {"a line too long", eye + "1,1\n" + std::string(1100, '1'), false, 2, 0},
        {"a missing picture", "* NONE.ELG\n1,1\n", false, 3, 0},
        {"a loop part on a missing picture", "$ NONE.ELG, 0, 0\n", false, 3, 0},
        {"a step before any part", "t 100\n" + eye + "1,1\n", false, 4, 0},
        {"a point before any part", "10,10\n" + eye, false, 5, 0},
        {"a point line that is no point", eye + "1,1\n?\n", false, 5, 0},
        {"no part", "// nothing\r\n\r\n", false, 6, 0},
        {"a t without a number", eye + "1,1\nt\n", false, 8, 0},
        {"a t of 0", eye + "1,1\nt 0\n", false, 9, 0},
        {"a step before the first point", eye + "t 100\n1,1\n", false, 10, 0},
        {"a skipped block", "#s\n* NONE.ELG\n#e\n" + eye + "1,1\n", false, 0, 1},
        {"the block when asked", "#s\n* NONE.ELG\n#e\n" + eye + "1,1\n", true, 3, 0},
        {"a single point keeps no frames", eye + "1,1\n", false, 0, 1},
        {"frames after #n are ignored", eye + "1,1\n#n\nt 0\n* CA040_MOUTH.ELG\n2,2\nt 5\n3,3\n", false, 0, 2},
        {"a loop part and an animated one", "$ CA040_EYE.ELG, 5, 6, 0, 128, 0, 500\n" + eye + "1,1\nt 5\n2,2\n",
         false, 0, 2},
    };
    for (const auto& c : kCases) {
        cx.blocks = c.blocks;
        std::vector<std::unique_ptr<SpPart>> parts;
        EXPECT_EQ(ReadPartsList(c.text.data(), c.text.size(), "SYS/", cx, &parts), c.code) << c.name;
        EXPECT_EQ(parts.size(), c.parts) << c.name;
        loops.CancelAll();
    }
    std::vector<std::unique_ptr<SpPart>> parts;
    PartsListContext none = cx;
    none.scene = nullptr;
    EXPECT_EQ(ReadPartsList("* X\n", 4, "SYS/", none, &parts), 1);
}

TEST(SpParts, FramesOfTheSampleList)
{
    EffectWorld world(128, 96);
    CTimerManager loops;
    PartsListContext cx;
    cx.scene = world.front.GetScene();
    cx.loops = &loops;
    cx.basePriority = 50;
    cx.offsetX = 3;
    const std::string text = "* CA040_MOUTH.ELG\n10, 20, 200, 2, 90\nl 1, 2, 3, 4\na 0.5, 7\nt 300\n"
                             "c\nc 5, 6\nf\nb\ns 0\n11, 21\ns\n";
    std::vector<std::unique_ptr<SpPart>> parts;
    ASSERT_EQ(ReadPartsList(text.data(), text.size(), "SYS/", cx, &parts), 0);
    const SpPart& part = *parts[0];
    ASSERT_EQ(part.frameCount, 10);
    const PathStep& first = part.frames[0];
    EXPECT_EQ(first.x, 13);
    EXPECT_EQ(first.y, 20);
    EXPECT_EQ(first.opacity, 200);
    EXPECT_DOUBLE_EQ(first.zoom, 2.0);
    EXPECT_DOUBLE_EQ(first.rotation, 90.0);
    EXPECT_EQ(part.front->GetX(), 13); // the first point places the sprite
    EXPECT_EQ(part.front->GetAlpha(), 200);
    EXPECT_EQ(part.frames[1].kind, kPathStepValue);
    EXPECT_EQ(part.frames[1].opacity, 1);
    EXPECT_DOUBLE_EQ(part.frames[1].amount, 0.5);
    EXPECT_EQ(part.frames[2].value, 300);
    EXPECT_EQ(part.frames[3].value, 8); // half of 16 × 8
    EXPECT_EQ(part.frames[3].value2, 4);
    EXPECT_EQ(part.frames[4].value, 5);
    EXPECT_EQ(part.frames[5].kind, kPathStepForward);
    EXPECT_EQ(part.frames[6].kind, kPathStepBack);
    EXPECT_EQ(part.frames[7].kind, kPathStepN);
    const PathStep& second = part.frames[8];
    EXPECT_EQ(second.widthChange, 1);
    EXPECT_EQ(second.heightChange, 2);
    EXPECT_EQ(second.xCorrection, 3);
    EXPECT_EQ(second.yCorrection, 4);
    EXPECT_EQ(second.opacity, 255);
    EXPECT_EQ(part.frames[9].kind, kPathStepSpline);
    EXPECT_EQ(part.loopFrames, 1);
    EXPECT_EQ(part.motion, 2);
    EXPECT_DOUBLE_EQ(part.largestZoom, 2.0);
}

TEST(SpParts, SampleListRunsUntilAskedToStop)
{
    EffectWorld world(128, 96);
    RegisterRows(world.registry, HostEffectRows());
    CLayerEffect* holder = nullptr;
    ASSERT_EQ(CreateLayerEffect("sp_parts", &world.front,
                                CEffectArgs::Of("SYS\\CA040.TXT", 0, 0, 100, 0, 1.0, 0, 0, 0, 1, 1), &holder),
              0);
    auto& effect = *static_cast<CSpPartsEffect*>(holder);
    ASSERT_EQ(effect.GetPartCount(), 2u);
    EXPECT_EQ(effect.GetPartState(0), 1);
    EXPECT_EQ(PriorityOf(*world.front.GetScene(), Front(effect, 0)), 99u);
    EXPECT_EQ(PriorityOf(*world.front.GetScene(), Front(effect, 1)), 98u);
    EXPECT_EQ(g_spPriorityLow, 98u);
    EXPECT_EQ(g_spPriorityHigh, 100u);
    world.Tick(0);
    world.Tick(50); // the mouth a quarter into its swing of 2
    EXPECT_EQ(Front(effect, 1).GetY(), 61);
    world.Tick(390); // the eyes half-way closed
    EXPECT_EQ(Front(effect, 0).GetAlpha(), 128);
    world.Tick(10000);
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->SetParams(0), 0);
    world.Tick(700);
    world.Tick(1);
    EXPECT_EQ(holder, nullptr);
}

TEST(SpParts, ShowRequestsAndTheMirroredBack)
{
    EffectWorld world(128, 96);
    RegisterRows(world.registry, HostEffectRows());
    CLayerEffect* holder = nullptr;
    ASSERT_EQ(CreateLayerEffect("sp_parts", &world.front,
                                CEffectArgs::Of("SYS\\CA040.TXT", 0, 0, 100, 0, 1.0, 0, 0, 1, 1, 1), &holder),
              0);
    auto& effect = *static_cast<CSpPartsEffect*>(holder);
    const SpPart& mouth = effect.GetPart(1);
    ASSERT_NE(mouth.back, nullptr);
    EXPECT_EQ(mouth.back->GetOwnerList(), &world.back.GetScene()->GetList());
    world.Tick(0);
    world.Tick(50);
    RECT a{}, b{};
    mouth.front->GetScreenRect(&a);
    mouth.back->GetScreenRect(&b);
    EXPECT_TRUE(SameRect(a, b));
    EXPECT_TRUE(mouth.back->IsVisible());
    EXPECT_EQ(holder->SetParams(1, 1, 0), 0);
    EXPECT_TRUE(mouth.front->IsVisible());
    EXPECT_FALSE(mouth.back->IsVisible());
    world.Tick(16);
    EXPECT_FALSE(mouth.back->IsVisible());
    EXPECT_EQ(holder->SetParams(2, 1, 0), 0);
    EXPECT_FALSE(mouth.front->IsVisible());
    EXPECT_EQ(holder->SetParams(2, 2, 1), 1);
    EXPECT_EQ(holder->SetParams(2, -1, 1), 1);
    EXPECT_EQ(holder->SetParams(9), 1);
    holder->OnCancel();
    EXPECT_EQ(effect.GetPartState(0), 0);
    world.scheduler.CancelAll();
}

TEST(SpParts, OwnScenesDrawIntoThePagePictures)
{
    EffectWorld world(128, 96);
    CLayerEffect* holder = nullptr;
    ASSERT_EQ(CreateLayerEffect("sp_parts", &world.front,
                                CEffectArgs::Of("SYS\\CA040.TXT", 0, 0, 100, 0, 1.0, 0, 1, 0, 1, 1), &holder),
              0);
    auto& effect = *static_cast<CSpPartsEffect*>(holder);
    const SpPart& eye = effect.GetPart(0);
    EXPECT_NE(eye.front->GetOwnerList()->GetScene(), world.front.GetScene());
    world.Tick(0);
    // The eye (24 x 12 at (40, 30)) is drawn straight into the canvas picture.
    EXPECT_EQ(effects_test::PixelAt(*world.front.GetImage(), 52, 36) & 0xFFFFFF,
              effects_test::PixelAt(*eye.image, 12, 6) & 0xFFFFFF);
    world.scheduler.CancelAll();
}

TEST(SpParts, SetUpCodesAndZoom)
{
    EffectWorld world(128, 96);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        bool manager;
        const char* list;
        int back;
        double zoom;
        int code;
        LONG eyeWidth;
    } kCases[] = {
        {"no manager", false, "SYS\\CA040.TXT", 0, 1.0, 1, 0},
        {"no list", true, nullptr, 0, 1.0, 1, 0},
        {"a missing list", true, "SYS\\NONE.TXT", 0, 1.0, 3, 0},
        {"zoom 2", true, "SYS\\CA040.TXT", 0, 2.0, 0, 48},
        {"zoom NaN counts as 1", true, "SYS\\CA040.TXT", 0, nan, 0, 24},
        {"zoom -1 counts as 1", true, "SYS\\CA040.TXT", 0, -1.0, 0, 24},
    };
    for (const auto& c : kCases) {
        auto* effect = new CSpPartsEffect;
        const int code = effect->SetUp(c.manager ? &world.scheduler : nullptr, &world.front, c.list, 0, 0, 100, 0,
                                       c.zoom, 0, 0, c.back, 1, 1);
        EXPECT_EQ(code, c.code) << c.name;
        if (code == 0) {
            EXPECT_EQ(effect->GetPart(0).image->GetWidth(), c.eyeWidth) << c.name;
            world.scheduler.Cancel(effect);
        } else {
            delete effect;
        }
    }
    world.scheduler.RunDue(timeGetTime());
    // Both pages without a back page.
    CSurfaceSprite lone;
    ASSERT_EQ(lone.Create(64, 48, 32, 1), 0);
    CSpPartsEffect effect;
    EXPECT_EQ(effect.SetUp(&world.scheduler, &lone, "SYS\\CA040.TXT", 0, 0, 100, 0, 1.0, 0, 0, 1, 1, 1), 2);
}

// A part placed by PlaceWithinStep (the effect's way) stands where the interpreter's Step puts
// the same frames, at every time of two cycles: lines, the spline, swings, a power curve.
TEST(SpParts, PlacingWithinAStepEqualsTheInterpreter)
{
    EffectWorld world(128, 96);
    CTimerManager loops;
    PartsListContext cx;
    cx.scene = world.front.GetScene();
    cx.loops = &loops;
    const char* kLists[] = {
        "* CA040_EYE.ELG\n10, 20\nt 100\n20, 20, 128\nt 90\n10, 20\n",
        "* CA040_EYE.ELG\n0, 0\nt 103\n10, 7, 128\nt 90\n0, 0\ns\n",
        "* CA040_EYE.ELG\n5, 5\nt 120\n40, 30, 10\ns\nt 70\n-9, 60\nt 33\n5, 5, 255\n",
        "* CA040_MOUTH.ELG\n10, 20, 200\nl 3, 7, 2, 1\nt 150\n11, 21\nl 0, 0, 4, -2\nt 80\n10, 20\n",
        "* CA040_EYE.ELG\n0, 0\na 0.5, 7\nt 200\n50, 25, 0\na 2, 3\nt 60\n0, 0, 255\n",
    };
    for (const char* list : kLists) {
        const std::string text = list;
        std::vector<std::unique_ptr<SpPart>> byStep, byPlacing;
        ASSERT_EQ(ReadPartsList(text.data(), text.size(), "SYS/", cx, &byStep), 0) << list;
        ASSERT_EQ(ReadPartsList(text.data(), text.size(), "SYS/", cx, &byPlacing), 0) << list;
        SpPart& a = *byStep[0];
        SpPart& b = *byPlacing[0];
        CSpPartObject stepped, placed;
        ASSERT_EQ(stepped.SetUpFrames(a.front.get(), 1000, a.frames.data(), a.frameCount, a.points, true), 0);
        ASSERT_EQ(placed.SetUpFrames(b.front.get(), 1000, b.frames.data(), b.frameCount, b.points, true), 0);
        int placings = 0;
        for (uint32_t now = 5000; now < 5000 + 2 * 1400; now += 7) {
            ASSERT_EQ(stepped.Step(now), 0);
            CSpPartObject::Placing at{};
            if (placed.PlaceWithinStep(now, &at)) {
                ++placings;
                b.front->SetPosition(at.x, at.y);
                b.front->SetAlpha(at.alpha);
            } else {
                ASSERT_EQ(placed.Step(now), 0);
            }
            ASSERT_EQ(b.front->GetX(), a.front->GetX()) << list << " at " << now;
            ASSERT_EQ(b.front->GetY(), a.front->GetY()) << list << " at " << now;
            ASSERT_EQ(b.front->GetAlpha(), a.front->GetAlpha()) << list << " at " << now;
        }
        EXPECT_GT(placings, 100) << list;
    }
}

} // namespace
