// On the game: a busy effect and a canvas transition keep the thread lowered until both have
// ended; with the keep-priority byte set neither lowers it.
#include <gtest/gtest.h>

#include "display/surface_sprite.h"
#include "effects/effect_random.h"
#include "effects/effect_rows.h"
#include "effects/layer_effect.h"
#include "game/game_app.h"
#include "game/thread_priority.h"
#include "game/user_settings.h"
#include "winapi/kernel.h"

namespace {

class StillFilter : public CScreenFilter {
public:
    uint8_t GetObjectType() override { return 2; }
    int Step(DWORD) override { return 0; }
    void Draw(const FilterJob&) override {}
    int IsDone() override { return 0; }
};

} // namespace

TEST(EffectPriority, BusyEffectAndTransitionNest)
{
    for (uint8_t keep : {0, 1}) {
        SCOPED_TRACE(int(keep));
        CGameApp app;
        // As the device set-up copies byte 15.
        app.UserBlock()[kUserKeepPriority] = keep;
        g_bKeepEffectPriority = keep;
        InstallThreadPriorityHooks(true);
        CObjectPluginManager registry;
        RegisterRows(registry, HostEffectRows());
        g_pObjectPluginManager = &registry;
        CTimerManager scheduler;
        g_pObjectManager = &scheduler;
        SubtractiveRandomState state{};
        SeedSubtractiveRandom(state, 1);
        SetEffectRandomSources(&state);
        CSurfaceSprite front, back;
        ASSERT_EQ(front.Create(16, 16, 32, 1), 0);
        ASSERT_EQ(back.Create(16, 16, 32, 1), 0);
        ASSERT_EQ(front.SetBackCanvas(&back), 0);

        CLayerEffect* quake = nullptr;
        const uint32_t now = timeGetTime();
        ASSERT_EQ(CreateLayerEffect("quake", &front, CEffectArgs::Of(0, 4, 4, 100, nullptr, 0, 1, 1, 1), &quake), 0);
        EXPECT_EQ(IsThreadPriorityLowered(), keep == 0);
        ASSERT_EQ(front.AttachFilter(new StillFilter, 0, 0, 1), 0);
        EXPECT_EQ(IsThreadPriorityLowered(), keep == 0);
        scheduler.RunDue(now + 10);
        scheduler.RunDue(now + 1000); // the quake ends
        EXPECT_EQ(quake, nullptr);
        EXPECT_EQ(IsThreadPriorityLowered(), keep == 0); // the transition still runs
        front.DetachFilter(false);
        EXPECT_FALSE(IsThreadPriorityLowered());
        EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);

        SetEffectRandomSources(nullptr);
        g_pObjectManager = nullptr;
        g_pObjectPluginManager = nullptr;
        InstallThreadPriorityHooks(false);
        g_bKeepEffectPriority = 0;
    }
}
