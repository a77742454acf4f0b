// The frame's effect control against recording effects registered under the real names: each start
// with effects effective, with the effects setting off and with a skip asked → made with the pack
// in its table's order, applied at once through the kind's callback, or nothing; the layer records;
// failure codes; waits; the chained-wait commands.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/sp_panime.h"
#include "script/message_window.h"
#include "support/tgs_effect_recorder.h"
#include "support/tgs_engine_host.h"

using tgsengine::Bench;
using tgsrecord::SamePack;
using tgsrecord::TheLog;

namespace {

class TgsEffects : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pictures.ok);
        b = std::make_unique<Bench>();
        f = b->frame.get();
        ASSERT_EQ(f->StartScenario(false), 0);
        ASSERT_NE(f->Screen(1), nullptr);
        b->link.onStep = [this](tgsengine::RecordingLink& link) {
            reg.scheduler.RunDue(link.now);
            if (CImageObject* screen = f->Screen(0);
                screen->HasFilter() && screen->GetFilter()->Step(link.now) != 0)
                screen->DetachFilter(screen->GetApplyOnEnd());
        };
    }
    void TearDown() override
    {
        if (b)
            f->ClearScene();
        b.reset();
    }
    void Off() { b->settings.config.option9 = 0; }
    void Skip() { f->SkipMode() = 1; }

    tgsrecord::Pictures pictures;
    tgsrecord::Registries reg;
    std::unique_ptr<Bench> b;
    CTgsFrame* f = nullptr;
};

enum class Outcome { Made, AtOnce, Nothing, Any };

struct StartCase {
    const char* what;
    std::function<int(CTgsFrame&)> start;
    const char* effect;
    int page;  // the target's page
    int layer; // -1: not a layer start
    std::function<CEffectArgs(CTgsFrame&)> pack;
    Outcome off, skip;
};

CSprite* Sprite(CTgsFrame& f, int n, uint8_t page, int group)
{
    TgsSpriteRecord* r = f.FindSpriteSlot(n, page, group);
    return r != nullptr ? r->sprite : nullptr;
}

CDrawable* WindowSprite(CTgsFrame& f)
{
    return &f.MessageWindow()->GetSprite();
}

const TgsEffectValue kBlur[15] = {400, 300, "1.0", "0", "2.0", "0.25", 1000, 200, "0.5", 0, 0, 0, 0, 3, 0};
const TgsEffectValue kBlurEx[10] = {1, 1000, 255, "0.5", 0, 0, 0, 0, 2, 0};

std::vector<StartCase> Cases()
{
    return {
        {"bg_zoom", [](CTgsFrame& f) { return f.StartBgZoom(1, 10, 20, "1.5", "0.2", 900); }, "bg_zoom", 1,
         -1, [](CTgsFrame&) { return CEffectArgs::Of(10, 20, "1.5", "0.2", 900); }, Outcome::Any,
         Outcome::Any},
        {"bg_rot", [](CTgsFrame& f) { return f.StartBgRot(0, 128, "2.0", 300, 200, "0.5", 800); }, "bg_rot",
         0, -1, [](CTgsFrame&) { return CEffectArgs::Of(300, 200, 128, "2.0", "0.5", 800); }, Outcome::Any,
         Outcome::Any},
        {"bg_panime on a layer",
         [](CTgsFrame& f) { return f.StartBgPanime(1, "(0,0)(10,10)", 700, true, false, true, 2); },
         "bg_panime", 1, 2, [](CTgsFrame&) { return CEffectArgs::Of("(0,0)(10,10)", 700, 1, 0, 1, 1, 1); },
         Outcome::AtOnce, Outcome::Made},
        {"bg_panime on a page",
         [](CTgsFrame& f) { return f.StartBgPanime(0, "(0,0)", 300, false, true, false, -1); }, "bg_panime",
         0, -1, [](CTgsFrame&) { return CEffectArgs::Of("(0,0)", 300, 0, 1, 0, 0, 0); }, Outcome::AtOnce,
         Outcome::AtOnce},
        {"bg_blur", [](CTgsFrame& f) { return f.StartBgBlur(1, kBlur, false, false, true); }, "bg_blur", 1,
         -1,
         [](CTgsFrame&) {
             return CEffectArgs::Of(0, 400, 300, "1.0", "0", "2.0", "0.25", 1000, 200, "0.5", 0, 0, 0, 0, 3,
                                    0, 0);
         },
         Outcome::Nothing, Outcome::Nothing},
        {"bg_blur with a list",
         [](CTgsFrame& f) { return f.StartBgBlurEx(0, "(1,2,1.0)(3,4,2.0)", kBlurEx, false, false, true); },
         "bg_blur", 0, -1,
         [](CTgsFrame&) {
             return CEffectArgs::Of("(1,2,1.0)(3,4,2.0)", 1, 1000, 255, "0.5", 0, 0, 0, 0, 2, 0, 0);
         },
         Outcome::Nothing, Outcome::Nothing},
        {"noise", [](CTgsFrame& f) { return f.StartNoise(1, 300, true, false); }, "noise", 0, 1,
         [](CTgsFrame&) { return CEffectArgs::Of(300 & 0xFF, 19900, 1, 0); }, Outcome::Nothing,
         Outcome::Made},
        {"quake on a layer", [](CTgsFrame& f) { return f.StartQuake(1, 1, 2, 3, 0, 5, 6, 7, 8, 9); }, "quake",
         0, 0, [](CTgsFrame&) { return CEffectArgs::Of(1, 2, 3, 0, 5, 6, 7, 8, 9); }, Outcome::Nothing,
         Outcome::Made},
        {"quake on a page", [](CTgsFrame& f) { return f.StartQuake(1, 1, 2, 3, 400, 5, 6, 7, 8, 9); },
         "quake", 0, -1, [](CTgsFrame&) { return CEffectArgs::Of(1, 2, 3, 400, 5, 6, 7, 8, 9); },
         Outcome::Nothing, Outcome::Made},
        {"bg_rast", [](CTgsFrame& f) { return f.StartBgRasterHaze(1, 0, 10, 20, 30, -2, 40, 50, 0x1FF); },
         "bg_rast", 1, 2, [](CTgsFrame&) { return CEffectArgs::Of(10, 20, 30, 0, 40, 50, 0xFF, 1); },
         Outcome::Nothing, Outcome::Made},
        {"bg_haze", [](CTgsFrame& f) { return f.StartBgRasterHaze(0, 2, 10, 20, 30, 700, 40, 50, 1); },
         "bg_haze", 0, -1, [](CTgsFrame&) { return CEffectArgs::Of("(1,0,20)", 20, 30, 700, 40, 50, 1, 0); },
         Outcome::Nothing, Outcome::Made},
        {"bg_loop", [](CTgsFrame& f) { return f.StartBgLoop(1, 0x102, 50, 600); }, "bg_loop", 1, -1,
         [](CTgsFrame&) { return CEffectArgs::Of(2, 50, 600, 0); }, Outcome::Nothing, Outcome::Made},
        {"bg_cross", [](CTgsFrame& f) { return f.StartBgCross(2000, -1, 1, 0); }, "bg_cross", 0, 1,
         [](CTgsFrame&) { return CEffectArgs::Of(2000, 0, 1, 0, 1); }, Outcome::Nothing, Outcome::Made},
        {"snow", [](CTgsFrame& f) { return f.StartWeather(2, 2, 40, true, "1.5", false, true); }, "snow", 0,
         2, [](CTgsFrame&) { return CEffectArgs::Of(40, 19950, 600, 1, "1.5", 0, 1); }, Outcome::Nothing,
         Outcome::Made},
        {"rain without a text",
         [](CTgsFrame& f) { return f.StartWeather(0, 3, 10, false, nullptr, true, true); }, "rain", 0, 0,
         [](CTgsFrame&) { return CEffectArgs::Of(10, 19950, 600, 0, "", 1, 1); }, Outcome::Nothing,
         Outcome::Made},
        {"sp_parts on both pages",
         [](CTgsFrame& f) { return f.StartSpParts("SYS/P.TXT", 15000, 2, 0, true, false, true); }, "sp_parts",
         0, 0, [](CTgsFrame&) { return CEffectArgs::Of("SYS/P.TXT", 0, 0, 15000, 0, 1.0, 0, 1, 1, 1, 0); },
         Outcome::Nothing, Outcome::Made},
        {"sp_parts on a page",
         [](CTgsFrame& f) { return f.StartSpParts("SYS/P.TXT", 15000, 1, 1, true, false, false); },
         "sp_parts", 1, -1,
         [](CTgsFrame&) { return CEffectArgs::Of("SYS/P.TXT", 0, 0, 15000, 1, 1.0, 1, 0, 0, 1, 0); },
         Outcome::Nothing, Outcome::Nothing},
        {"sp_panime", [](CTgsFrame& f) { return f.StartSpPanime(0, "(0,0)", 400, 0, 0, false); }, "sp_panime",
         0, -1,
         [](CTgsFrame& f) {
             return CEffectArgs::Of(static_cast<CDrawable*>(Sprite(f, 0, 0, 0)), "(0,0)", 400, 0, 1);
         },
         Outcome::AtOnce, Outcome::AtOnce},
        {"sp_panime remembered", [](CTgsFrame& f) { return f.StartSpPanime(0, "(0,0)", 400, 0, 0, true); },
         "sp_panime", 0, -1,
         [](CTgsFrame& f) {
             return CEffectArgs::Of(static_cast<CDrawable*>(Sprite(f, 0, 0, 0)), "(0,0)", 400, 1, 0);
         },
         Outcome::AtOnce, Outcome::Made},
        {"window sp_panime", [](CTgsFrame& f) { return f.StartWindowPanime(-1, "(0,5)", 300); }, "sp_panime",
         0, -1, [](CTgsFrame& f) { return CEffectArgs::Of(WindowSprite(f), "(0,5)", 300, 0, 1); },
         Outcome::AtOnce, Outcome::AtOnce},
        {"sp_parts from a list", [](CTgsFrame& f) { return f.StartSpPartsFromList(0, 2, 0, 0, true); },
         "sp_parts", 0, -1,
         [](CTgsFrame& f) {
             const TgsSpriteRecord* r = f.FindSpriteSlot(0, 0, 0);
             return CEffectArgs::Of("SYS/CA022.TXT", r->x - r->originX, r->y - r->originY, 10000, 0, 1.0, 1);
         },
         Outcome::Nothing, Outcome::Nothing},
    };
}

TEST_F(TgsEffects, StartsHandTheirPacksInTheTablesOrder)
{
    for (const char* mode : {"effective", "off", "skip"}) {
        for (const StartCase& c : Cases()) {
            SCOPED_TRACE(std::string(c.what) + ", " + mode);
            TearDown();
            SetUp();
            ASSERT_EQ(f->LoadSpriteImage(0, "CH1S.ELG", 0, 0, false), 0);
            TheLog() = tgsrecord::Log{};
            const CEffectArgs want = c.pack(*f);
            if (std::string(mode) == "off")
                Off();
            else if (std::string(mode) == "skip")
                Skip();
            const int r = c.start(*f);
            const Outcome expected = std::string(mode) == "effective" ? Outcome::Made
                                     : std::string(mode) == "off"     ? c.off
                                                                      : c.skip;
            if (expected == Outcome::Made) {
                EXPECT_EQ(r, 0);
                ASSERT_EQ(TheLog().setUps.size(), 1u);
                EXPECT_EQ(TheLog().setUps[0].name, c.effect);
                EXPECT_EQ(TheLog().setUps[0].target, f->Screen(static_cast<uint8_t>(c.page)));
                EXPECT_TRUE(SamePack(TheLog().setUps[0].pack, want));
            } else if (expected == Outcome::AtOnce) {
                EXPECT_EQ(r, 0);
                EXPECT_EQ(TheLog().setUps.size(), 0u);
                ASSERT_EQ(TheLog().callbacks.size(), 1u);
                EXPECT_EQ(TheLog().callbacks[0].name, c.effect);
            } else if (expected == Outcome::Nothing) {
                EXPECT_EQ(r, 0);
                EXPECT_EQ(TheLog().setUps.size(), 0u);
                EXPECT_EQ(TheLog().callbacks.size(), 0u);
            }
            // A layer start is remembered whether or not its effect runs.
            if (c.layer >= 0) {
                EXPECT_NE(f->LayerSlot(c.layer).effectKind, 0);
            }
        }
    }
}

struct RecordCase {
    const char* what;
    std::function<int(CTgsFrame&)> start;
    int layer;
    int32_t kind;
    std::array<int32_t, 7> words;
    const char* text;
};

TEST_F(TgsEffects, LayerStartsWriteTheirRecords)
{
    const RecordCase cases[] = {
        {"noise", [](CTgsFrame& f) { return f.StartNoise(1, 300, true, false); }, 1, 1, {0, 44, 1, 0}, ""},
        {"bg_panime",
         [](CTgsFrame& f) { return f.StartBgPanime(1, "(1,1)", 700, true, false, true, 2); },
         2,
         2,
         {0, 1, 700, 1, 0},
         "(1,1)"},
        {"quake",
         [](CTgsFrame& f) { return f.StartQuake(1, 1, 2, 3, -1, 5, 6, 7, 8, 9); },
         1,
         3,
         {0, 1, 2, 3, 6, 7, 8},
         ""},
        {"bg_rast",
         [](CTgsFrame& f) { return f.StartBgRasterHaze(1, 0, 10, 20, 30, -2, 40, 50, 0x1FF); },
         2,
         4,
         {0, 1, 10, 20, 30, 50, 0xFF},
         ""},
        {"bg_haze 10",
         [](CTgsFrame& f) { return f.StartBgRasterHaze(0, 1, 10, 20, 30, 0, 40, 50, 1); },
         0,
         5,
         {0, 0, 10, 20, 30, 50, 1},
         ""},
        {"bg_loop", [](CTgsFrame& f) { return f.StartBgLoop(1, 0x102, 50, -1); }, 1, 7, {0, 1, 2, 50}, ""},
        {"sp_parts",
         [](CTgsFrame& f) { return f.StartSpParts("SYS/P.TXT", 15000, 2, -2, true, false, true); },
         2,
         8,
         {0, 15000, 1, 0, 2, 1},
         "SYS/P.TXT"},
        {"bg_cross",
         [](CTgsFrame& f) { return f.StartBgCross(2000, 0, 0x101, 0); },
         0,
         9,
         {0, 2000, 1, 0},
         ""},
        {"light",
         [](CTgsFrame& f) { return f.StartWeather(2, 1, 40, true, "1.5", false, true); },
         2,
         11,
         {0, 40, 0, 1, 1},
         "1.5"},
    };
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.start(*f), 0);
        const TgsLayerSlot& slot = f->LayerSlot(c.layer);
        EXPECT_EQ(slot.effectKind, c.kind);
        for (size_t i = 1; i < 7; ++i)
            EXPECT_EQ(slot.words[i], c.words[i]) << "word " << i;
        EXPECT_STREQ(slot.text, c.text);
        EXPECT_NE(slot.effect, nullptr);
    }
}

TEST_F(TgsEffects, FailureCodes)
{
    const std::string text47(47, 'x'), text48(48, 'x');
    struct Case {
        const char* what;
        std::function<int(CTgsFrame&)> start;
        int code;
    };
    const Case cases[] = {
        {"a weather text of 47",
         [&](CTgsFrame& f) { return f.StartWeather(0, 0, 1, false, text47.c_str(), 1, 1); }, 0},
        {"a weather text of 48",
         [&](CTgsFrame& f) { return f.StartWeather(0, 0, 1, false, text48.c_str(), 1, 1); }, 1},
        {"weather kind 4", [](CTgsFrame& f) { return f.StartWeather(0, 4, 1, false, nullptr, 1, 1); }, 1},
        {"weather on layer 3", [](CTgsFrame& f) { return f.StartWeather(3, 0, 1, false, nullptr, 1, 1); }, 1},
        {"noise on layer 3", [](CTgsFrame& f) { return f.StartNoise(3, 1, true, true); }, 1},
        {"haze variant 3", [](CTgsFrame& f) { return f.StartBgRasterHaze(0, 3, 1, 1, 1, 0, 1, 1, 1); }, 1},
        {"bg_rast on layer 3", [](CTgsFrame& f) { return f.StartBgRasterHaze(0, 0, 1, 1, 1, -3, 1, 1, 1); },
         1},
        {"sp_parts without a list", [](CTgsFrame& f) { return f.StartSpParts(nullptr, 1, 0, 0, 1, 0, 0); },
         1},
        {"sp_parts showing the back on a page",
         [](CTgsFrame& f) { return f.StartSpParts("L", 1, 0, 1, 1, 1, 0); }, 2},
        {"sp_parts list of 48 on a layer",
         [&](CTgsFrame& f) { return f.StartSpParts(text48.c_str(), 1, 0, 0, 1, 0, 0); }, 3},
        {"sp_parts on layer 3", [](CTgsFrame& f) { return f.StartSpParts("L", 1, 0, -3, 1, 0, 0); }, 1},
        {"bg_panime on layer 3", [](CTgsFrame& f) { return f.StartBgPanime(0, "(0,0)", 1, 0, 0, 0, 3); }, 1},
        {"a remembered bg_panime text of 48",
         [&](CTgsFrame& f) { return f.StartBgPanime(0, text48.c_str(), 1, 0, 0, 0, 0); }, 1},
        {"sp_panime on no slot", [](CTgsFrame& f) { return f.StartSpPanime(3, "(0,0)", 1, 0, 0, false); }, 1},
        {"sp_panime of group 3", [](CTgsFrame& f) { return f.StartSpPanime(0, "(0,0)", 1, 0, 3, false); }, 1},
        {"sp_panime on an empty slot",
         [](CTgsFrame& f) { return f.StartSpPanime(1, "(0,0)", 1, 0, 0, false); }, 2},
        {"window 1", [](CTgsFrame& f) { return f.StartWindowPanime(1, "(0,0)", 1); }, 1},
        {"sp_change without a name",
         [](CTgsFrame& f) { return f.StartSpChange(0, nullptr, "", 0, 1, 0, 0, 0); }, 1},
        {"sp_change mode 3", [](CTgsFrame& f) { return f.StartSpChange(0, "CH2M.ELG", "", 3, 1, 0, 0, 0); },
         1},
        {"sp_change on an empty slot",
         [](CTgsFrame& f) { return f.StartSpChange(1, "CH2M.ELG", "", 0, 1, 0, 0, 0); }, 2},
        {"sp_change to the same name",
         [](CTgsFrame& f) { return f.StartSpChange(0, "ch1s.elg", "", 0, 1, 0, 0, 0); }, 3},
        {"sp_change to a missing picture",
         [](CTgsFrame& f) { return f.StartSpChange(0, "NONE", "", 0, 1, 0, 0, 0); }, 4},
        {"sp_cfade on no slot", [](CTgsFrame& f) { return f.StartSpCfade(5, "CH2M.ELG", 0, 1, false, 0, 0); },
         1},
        {"sp_cfade of nothing into an empty slot",
         [](CTgsFrame& f) { return f.StartSpCfade(1, nullptr, 0, 1, 0, 0, 0); }, 2},
        {"sp_cfade to a missing picture",
         [](CTgsFrame& f) { return f.StartSpCfade(0, "NONE", 0, 1, false, 0, 0); }, 4},
        {"parts list number 7", [](CTgsFrame& f) { return f.StartSpPartsFromList(0, 7, 0, 0, false); }, 3},
        {"layer params on layer 3", [](CTgsFrame& f) { return f.SetLayerEffectParams(3, 1, 1); }, 1},
        {"layer params without an effect", [](CTgsFrame& f) { return f.SetLayerEffectParams(1, 1, 1); }, 1},
        {"stop layer 3", [](CTgsFrame& f) { return f.StopLayerEffect(3, true); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(f->LoadSpriteImage(0, "CH1S.ELG", 0, 0, false), 0);
        EXPECT_EQ(c.start(*f), c.code);
    }
    // A refused set-up leaves nothing in the holder; a name nobody registered is 1.
    TheLog().refuse = 4;
    EXPECT_EQ(f->StartNoise(0, 1, true, true), 2);
    EXPECT_EQ(f->LayerSlot(0).effect, nullptr);
    EXPECT_EQ(f->StartBgRasterHaze(0, 1, 1, 1, 1, 0, 1, 1, 1), 3);
    EXPECT_EQ(f->StartSpParts("L", 1, 0, 0, 1, 0, 0), 4);
    EXPECT_EQ(f->StartSpCfade(0, "CH2M.ELG", 0, 1, false, 0, 0), 5);
    EXPECT_EQ(f->FindSpriteSlot(0, 0, 0)->effect, nullptr);
    TheLog().refuse = 0;
    CObjectPluginManager empty;
    g_pObjectPluginManager = &empty;
    EXPECT_EQ(f->StartNoise(0, 1, true, true), 1);
    // Without the callback a skipped bg_panime reports -2 + 4.
    Skip();
    EXPECT_EQ(f->StartBgPanime(0, "(0,0)", 1, 0, 0, 0, -1), 2);
    g_pObjectPluginManager = &reg.effects;
}

TEST_F(TgsEffects, WaitsEndSkipOrStop)
{
    CLayerEffect* empty = nullptr;
    const int before = b->link.steps;
    EXPECT_EQ(f->WaitEffectObject(&empty, true), 0);
    EXPECT_EQ(b->link.steps, before); // no frame step for an empty holder

    // Ending by itself.
    ASSERT_EQ(f->StartNoise(0, 1, true, true), 0);
    TheLog().endNow = true;
    EXPECT_EQ(f->WaitEffectObject(&f->LayerSlot(0).effect, false), 0);
    EXPECT_EQ(f->LayerSlot(0).effect, nullptr);
    TheLog().endNow = false;

    // Skipped: cancelled, the holder empty.
    ASSERT_EQ(f->StartNoise(0, 1, true, true), 0);
    CLayerEffect* running = f->LayerSlot(0).effect;
    b->link.onStep = [this](tgsengine::RecordingLink&) { f->SkipMode() = 1; };
    EXPECT_EQ(f->WaitEffectObject(&f->LayerSlot(0).effect, true), 1);
    EXPECT_EQ(f->LayerSlot(0).effect, nullptr);
    EXPECT_FALSE(reg.scheduler.Contains(running) && !running->IsDead());
    f->SkipMode() = 0;

    // Stopped by the application.
    ASSERT_EQ(f->StartNoise(0, 1, true, true), 0);
    b->link.onStep = nullptr;
    b->link.stopAfter = b->link.steps + 3;
    EXPECT_EQ(f->WaitEffectObject(&f->LayerSlot(0).effect, true), -1);
    EXPECT_NE(f->LayerSlot(0).effect, nullptr);
    b->link.stopAfter = -1;

    // A sprite's remembered animation is released, not waited for; no record is 3.
    ASSERT_EQ(f->LoadSpriteImage(0, "CH1S.ELG", 0, 0, false), 0);
    ASSERT_EQ(f->StartSpPanime(0, "(0,0)", 100, 0, 0, true), 0);
    EXPECT_EQ(f->FindSpriteSlot(0, 0, 0)->pendingKind, 1);
    EXPECT_EQ(f->WaitSpriteEffect(0, 0, 0, true), 2);
    EXPECT_EQ(f->FindSpriteSlot(0, 0, 0)->pendingKind, 0);
    EXPECT_EQ(f->FindSpriteSlot(0, 0, 0)->effect, nullptr);
    EXPECT_EQ(f->WaitSpriteEffect(0, 0, 5, true), 3);
    EXPECT_EQ(f->WaitSpriteEffect(0, 0, 0, true), 0);
    EXPECT_EQ(f->WaitWindowEffect(1, true), 2);
}

TEST_F(TgsEffects, StoppingLayerEffects)
{
    // Without release a quake with a cycle and the kinds above 3 are asked to end by themselves.
    ASSERT_EQ(f->StartWeather(0, 2, 10, false, nullptr, true, true), 0);
    TheLog().params.clear();
    EXPECT_EQ(f->StopLayerEffect(0, false), 0);
    ASSERT_EQ(TheLog().params.size(), 1u);
    EXPECT_TRUE(SamePack(TheLog().params[0], CEffectArgs::Of(0)));
    EXPECT_EQ(f->LayerSlot(0).effectKind, 0);
    EXPECT_NE(f->LayerSlot(0).effect, nullptr);
    // Noise (kind 1) is released at once.
    ASSERT_EQ(f->StartNoise(1, 1, true, true), 0);
    EXPECT_EQ(f->StopLayerEffect(1, false), 0);
    EXPECT_EQ(f->LayerSlot(1).effect, nullptr);
    // Parameters: noise takes (a, b), weather (1, a, b), others refuse with 2.
    ASSERT_EQ(f->StartNoise(1, 1, true, true), 0);
    ASSERT_EQ(f->StartWeather(2, 0, 10, false, nullptr, true, true), 0);
    TheLog().params.clear();
    EXPECT_EQ(f->SetLayerEffectParams(1, 0, 1), 0);
    EXPECT_EQ(f->SetLayerEffectParams(2, 1, 0), 0);
    ASSERT_EQ(TheLog().params.size(), 2u);
    EXPECT_TRUE(SamePack(TheLog().params[0], CEffectArgs::Of(0, 1)));
    EXPECT_TRUE(SamePack(TheLog().params[1], CEffectArgs::Of(1, 1, 0)));
    EXPECT_EQ(f->LayerSlot(1).words[2], 0);
    EXPECT_EQ(f->LayerSlot(1).words[3], 1);
    ASSERT_EQ(f->StartBgCross(100, 0, 1, 1), 0);
    EXPECT_EQ(f->SetLayerEffectParams(0, 1, 1), 2);
}

TEST_F(TgsEffects, ResettingThePageStopsItsEffects)
{
    // bg_loop on the back page is kept by the front page: the front's reset stops it.
    ASSERT_EQ(f->StartBgLoop(1, 1, 50, 600), 0);
    EXPECT_NE(f->Page(0).effects[0], nullptr);
    EXPECT_EQ(f->Page(1).effects[0], nullptr);
    ASSERT_EQ(f->StartBgRasterHaze(1, 0, 1, 1, 1, -1, 1, 1, 1), 0);
    ASSERT_EQ(f->StartBgRasterHaze(0, 0, 1, 1, 1, -2, 1, 1, 1), 0);
    ASSERT_EQ(f->StartNoise(0, 1, true, true), 0);
    f->ResetBackgroundEffects(0, false);
    EXPECT_EQ(f->Page(0).effects[0], nullptr);
    EXPECT_EQ(f->LayerSlot(1).effectKind, 4); // bound to the back page
    EXPECT_EQ(f->LayerSlot(2).effectKind, 0);
    EXPECT_EQ(f->LayerSlot(0).effectKind, 1); // noise is no page's
}

TEST_F(TgsEffects, SpriteFadesAndChanges)
{
    ASSERT_EQ(f->LoadSpriteImage(0, "CH1S.ELG", 0, 0, false), 0);
    CSprite* old = Sprite(*f, 0, 0, 0);
    // A cross-fade runs with the effects setting off; the old sprite goes to the effect.
    Off();
    ASSERT_EQ(f->StartSpCfade(0, "CH2M.ELG", 1, 300, false, 0, 0), 0);
    ASSERT_EQ(TheLog().setUps.size(), 1u);
    EXPECT_TRUE(
        SamePack(TheLog().setUps[0].pack, CEffectArgs::Of(static_cast<CDrawable*>(Sprite(*f, 0, 0, 0)),
                                                          static_cast<CDrawable*>(old), 10000, 300, 1)));
    EXPECT_STREQ(f->FindSpriteSlot(0, 0, 0)->name, "CH2M.ELG");
    // The same name again does nothing.
    EXPECT_EQ(f->StartSpCfade(0, "ch2m.elg", -1, 300, false, 0, 0), 0);
    EXPECT_EQ(TheLog().setUps.size(), 1u);
    // With a skip the old picture is deleted at once.
    Skip();
    ASSERT_EQ(f->StartSpCfade(0, "CH3X.ELG", 0, 300, false, 0, 0), 0);
    EXPECT_EQ(TheLog().setUps.size(), 1u);
    f->SkipMode() = 0;
    b->settings.config.option9 = 1;

    // sp_change takes its change mode from the new name's last letter.
    CSprite* before = Sprite(*f, 0, 0, 0);
    ASSERT_EQ(f->StartSpChange(0, "CH2M.ELG", "(0,0)", 2, 500, true, 0, 0), 0);
    ASSERT_EQ(TheLog().setUps.size(), 2u);
    EXPECT_EQ(TheLog().setUps[1].name, "sp_change");
    EXPECT_TRUE(SamePack(TheLog().setUps[1].pack,
                         CEffectArgs::Of(static_cast<CDrawable*>(Sprite(*f, 0, 0, 0)),
                                         static_cast<CDrawable*>(before), "(0,0)", 3, 10000, 1, 500, 1)));
    EXPECT_EQ(g_spPriorityLow, 10000u);
    EXPECT_EQ(g_spPriorityHigh, 10200u);
    // Effects off: the new picture's animation is applied at once.
    Off();
    ASSERT_EQ(f->StartSpChange(0, "CH1S.ELG", "(0,0)", 0, 500, false, 0, 0), 0);
    EXPECT_EQ(TheLog().setUps.size(), 2u);
    EXPECT_EQ(TheLog().callbacks.size(), 1u);
}

// Restacking a group moves the pictures a running change shows for a sprite with the sprite.
TEST_F(TgsEffects, ChangesFollowTheirSpriteInTheGroupOrder)
{
    const char* names[] = {"CH1S.ELG", "CH2M.ELG", "CH3X.ELG"};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(f->LoadSpriteImage(i, names[i], 0, 0, false), 0);
    ASSERT_EQ(f->StartSpCfade(1, "CH4S.ELG", -1, 300, false, 0, 0), 0);
    ASSERT_NE(f->FindSpriteSlot(1, 0, 0)->effect, nullptr);
    // Slot 1 to the top, then slot 2 above it: the fade's sprites go 10100 → 10200 → 10100.
    ASSERT_EQ(f->MoveSpriteToTop(1, 0, 0, true), 0);
    ASSERT_EQ(f->MoveSpriteToTop(2, 0, 0, true), 0);
    EXPECT_EQ(TheLog().ownSpriteMoves, (std::vector<uint32_t>{10200, 10100}));
    // Without a re-sort nothing in the lists moves.
    ASSERT_EQ(f->MoveSpriteToBottom(1, 0, 0, false), 0);
    EXPECT_EQ(TheLog().ownSpriteMoves.size(), 2u);
}

TEST_F(TgsEffects, AnimationReportPlacesTheSprite)
{
    ASSERT_EQ(f->LoadSpriteImage(1, "CH1S.ELG", 0, 1, false), 0);
    ASSERT_EQ(f->LoadSpriteImage(3, "CH2M.ELG", 0, 1, false), 0);
    const int32_t x = f->FindSpriteSlot(1, 0, 1)->x;
    CEffectArgs report;
    report.SetInt(0, 30);
    report.SetInt(1, -10);
    report.SetInt(2, 255);
    report.SetInt(3, 2); // to the top of the group
    report.SetDouble(4, 1.5);
    report.SetDouble(5, 0.25);
    report.SetInt(6, 7);
    report.SetInt(7, 8);
    report.SetDouble(8, 1.0);
    TheLog().report = report;
    ASSERT_EQ(f->StartSpPanime(1, "(30,-10)", 100, 0, 1, false), 0);
    const TgsSpriteRecord& r = *f->FindSpriteSlot(1, 0, 1);
    EXPECT_EQ(r.x, x + 30);
    EXPECT_EQ(r.animationZoom, 1.5);
    EXPECT_EQ(r.animationAngle, 128);
    EXPECT_EQ(r.priority, 20400);
    EXPECT_EQ(g_spPriorityLow, 20000u);
    EXPECT_EQ(g_spPriorityHigh, 20400u);
}

TEST_F(TgsEffects, PartListOffsetFromThePicturesTable)
{
    struct Case {
        const char* picture;
        int32_t number;
        const char* list;
        int32_t offset;
    };
    const Case cases[] = {
        {"CH4S.ELG", 2, "SYS/CA022.TXT", 7}, {"CH4S.ELG", 1, "SYS/CA021.TXT", -10},
        {"CH4S.ELG", 3, "SYS/CA023.TXT", 0}, // not listed
        {"CH2M.ELG", 0, "SYS/CA040.TXT", 0}, // no table; 'M' takes base 40
        {"CH3X.ELG", 6, "SYS/CA086.TXT", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.picture) + " " + std::to_string(c.number));
        ASSERT_EQ(f->LoadSpriteImage(2, c.picture, 0, 2, false), 0);
        TheLog().setUps.clear();
        ASSERT_EQ(f->StartSpPartsFromList(2, c.number, 0, 2, false), 0);
        ASSERT_EQ(TheLog().setUps.size(), 1u);
        const TgsSpriteRecord& r = *f->FindSpriteSlot(2, 0, 2);
        EXPECT_TRUE(SamePack(
            TheLog().setUps[0].pack,
            CEffectArgs::Of(c.list, r.x - r.originX, r.y - r.originY + c.offset, r.priority, 0, 1.0, 1)));
    }
}

// Runs a command handler with pairs of plain values.
int Command(CTgsFrame& f, uint32_t command, std::initializer_list<int32_t> values)
{
    std::vector<TgsArgPair> pairs(CTgsFrame::kPaddingPairs + values.size(), TgsArgPair{0, 0});
    size_t i = 0;
    for (int32_t v : values)
        pairs[i++] = TgsArgPair{1, static_cast<uint32_t>(v)};
    return f.DispatchDeferred(command, pairs.data());
}

TEST_F(TgsEffects, ChainedWaitCommands)
{
    struct Case {
        uint32_t command;
        std::function<void(CTgsFrame&)> start;
        std::function<bool(CTgsFrame&)> running;
        std::initializer_list<int32_t> pairs; // skippable set
    };
    const Case cases[] = {
        {33,
         [](CTgsFrame& f) { f.StartWindowPanime(-1, "(0,0)", 100); },
         [](CTgsFrame& f) { return f.WindowRecord().effects[0] != nullptr; },
         {-1, 1}},
        {57,
         [](CTgsFrame& f) { f.StartBgPanime(1, "(0,0)", 100, 0, 0, 0, -1); },
         [](CTgsFrame& f) { return f.Page(1).effects[0] != nullptr; },
         {1, 1}},
        {67,
         [](CTgsFrame& f) {
             f.StopLayerEffect(2, true), f.StartNoise(2, 1, 1, 1), f.LayerSlot(2).effectKind = 0;
         },
         [](CTgsFrame& f) { return f.LayerSlot(2).effect != nullptr; },
         {2, 1}},
        {88,
         [](CTgsFrame& f) { f.StartSpPanime(0, "(0,0)", 100, 0, 0, false); },
         [](CTgsFrame& f) { return f.FindSpriteSlot(0, 0, 0)->effect != nullptr; },
         {0, 0, 0, 1}},
        {113,
         [](CTgsFrame& f) { f.StartQuake(0, 1, 1, 1, 500, 0, 0, 1, 1, 0); },
         [](CTgsFrame& f) { return f.Page(0).effects[1] != nullptr; },
         {0, 1}},
    };
    ASSERT_EQ(f->LoadSpriteImage(0, "CH1S.ELG", 0, 0, false), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        // The player cuts the first wait short: the counter becomes 1.
        c.start(*f);
        ASSERT_TRUE(c.running(*f));
        f->HandlerCounter() = 0;
        b->link.onStep = [this](tgsengine::RecordingLink&) { f->SkipMode() = 1; };
        EXPECT_EQ(Command(*f, c.command, c.pairs), 0);
        EXPECT_FALSE(c.running(*f));
        EXPECT_EQ(f->HandlerCounter(), 1);
        f->SkipMode() = 0;
        b->link.onStep = nullptr;
        // Chained: no frame step, the effect ended at once, the counter rises.
        c.start(*f);
        ASSERT_TRUE(c.running(*f));
        const int steps = b->link.steps;
        EXPECT_EQ(Command(*f, c.command, c.pairs), 0);
        EXPECT_EQ(b->link.steps, steps);
        EXPECT_FALSE(c.running(*f));
        EXPECT_EQ(f->HandlerCounter(), 2);
        // A wait that runs out sets it to 0; a stop is -1.
        f->HandlerCounter() = 0;
        c.start(*f);
        TheLog().endNow = true;
        b->link.onStep = [this](tgsengine::RecordingLink& link) { reg.scheduler.RunDue(link.now); };
        EXPECT_EQ(Command(*f, c.command, c.pairs), 0);
        EXPECT_EQ(f->HandlerCounter(), 0);
        TheLog().endNow = false;
        c.start(*f);
        b->link.stopAfter = b->link.steps + 1;
        EXPECT_EQ(Command(*f, c.command, c.pairs), -1);
        b->link.stopAfter = -1;
        b->link.onStep = nullptr;
    }
    // Command 67 on a slot that remembers its effect stops it without a wait; a layer above 2 does
    // nothing.
    ASSERT_EQ(f->StartNoise(1, 1, true, true), 0);
    f->HandlerCounter() = 5;
    const int steps = b->link.steps;
    EXPECT_EQ(Command(*f, 67, {1, 0}), 0);
    EXPECT_EQ(b->link.steps, steps);
    EXPECT_EQ(f->LayerSlot(1).effect, nullptr);
    EXPECT_EQ(f->HandlerCounter(), 5);
    EXPECT_EQ(Command(*f, 67, {3, 1}), 0);
}

} // namespace
