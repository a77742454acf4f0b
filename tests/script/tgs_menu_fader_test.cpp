// The system menu's fader: an "sp_fade" of eleven entries made at the scenario's start in the
// effect scheduler, cancelled and forgotten when the scene is cleared; without the effect
// registry the frame runs without one.
#include <gtest/gtest.h>

#include "effects/sp_fade.h"
#include "effects/sp_loop.h"
#include "files/object_plugin_manager.h"
#include "platform/timer_manager.h"
#include "support/tgs_engine_host.h"

using tgsengine::Bench;

TEST(TgsMenuFader, MadeAtTheStartAndCancelledWithTheScene)
{
    CObjectPluginManager registry;
    CTimerManager scheduler;
    ASSERT_EQ(registry.Register(&CSpFadeEffect::Create, "sp_fade", 1, nullptr, nullptr, 0), 0);
    g_pObjectPluginManager = &registry;
    g_pObjectManager = &scheduler;
    {
        Bench b;
        ASSERT_EQ(b.frame->StartScenario(false), 0);
        auto* fader = dynamic_cast<CSpFadeEffect*>(b.frame->MenuFader());
        ASSERT_NE(fader, nullptr);
        EXPECT_EQ(fader->GetEntryCount(), 11u);
        EXPECT_EQ(scheduler.FindKind(fader->GetKind()), fader);
        // A second start keeps the one fader.
        ASSERT_EQ(b.frame->StartScenario(true), 0);
        EXPECT_EQ(b.frame->MenuFader(), fader);
        EXPECT_EQ(b.frame->ClearScene(), 0);
        EXPECT_EQ(b.frame->MenuFader(), nullptr);
        scheduler.RunDue(0);
        EXPECT_EQ(scheduler.FindKind(kSpEffectKind), nullptr);
        // Made again by the next start; the frame's end cancels it.
        ASSERT_EQ(b.frame->StartScenario(false), 0);
        EXPECT_NE(b.frame->MenuFader(), nullptr);
    }
    scheduler.RunDue(0);
    EXPECT_EQ(scheduler.FindKind(kSpEffectKind), nullptr);
    g_pObjectPluginManager = nullptr;
    {
        Bench b;
        ASSERT_EQ(b.frame->StartScenario(false), 0);
        EXPECT_EQ(b.frame->MenuFader(), nullptr);
    }
    g_pObjectManager = nullptr;
}
