// The script host's registration of its effects, and the shared generator behind them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "display/surface_sprite.h"
#include "effects/effect_random.h"
#include "effects/layer_effect.h"
#include "files/object_plugin_manager.h"
#include "files/transition_plugin_manager.h"
#include "support/host_fixture.h"
#include "winapi/kernel.h"

using hosttest::HostFixture;

namespace {

struct Registries {
    Registries()
    {
        g_pObjectPluginManager = &objects;
        g_pTransitionPluginManager = &transitions;
        SetEffectRandomSources(nullptr);
    }
    ~Registries()
    {
        g_pObjectPluginManager = nullptr;
        g_pTransitionPluginManager = nullptr;
        SetEffectRandomSources(nullptr);
    }
    CObjectPluginManager objects;
    CTransitionPluginManager transitions;
};

} // namespace

TEST(RegisterScreenEffects, TheHostRegistersItsRowsInOrderAndPublishesItsGenerator)
{
    Registries registries;
    HostFixture f;
    f.Start();
    const char* expected[] = {"quake",    "noise",   "sp_cfade", "sp_change", "sp_parts", "sp_fade",
                              "sp_gfade", "sp_loop", "paper",    "light",     "snow",     "rain"};
    auto check = [&] {
        const auto& kinds = registries.objects.GetKinds();
        ASSERT_EQ(kinds.size(), std::size(expected));
        for (size_t i = 0; i < kinds.size(); ++i) {
            EXPECT_STREQ(kinds[i].name, expected[i]);
            EXPECT_EQ(kinds[i].type, std::strncmp(expected[i], "sp_", 3) == 0 ? 1 : 3);
            EXPECT_EQ(kinds[i].callback, nullptr);
        }
    };
    check();
    for (SubtractiveRandomState* source : {g_pLayerQuakeRandom, g_pNoiseRandom, g_pPaperRandom, g_pLightRandom,
                                           g_pSnowRandom, g_pRainRandom, g_pQuakeFilterRandom})
        EXPECT_EQ(source, &g_Ran3State);
    // A host made again does not stack copies.
    f.Start();
    check();
    // Each name makes its own class.
    for (const char* name : expected) {
        std::unique_ptr<CPluginEffect> object(registries.objects.CreateRaw(name));
        auto* effect = dynamic_cast<CLayerEffect*>(object.get());
        ASSERT_NE(effect, nullptr) << name;
        EXPECT_STREQ(effect->GetName(), name);
        EXPECT_EQ(effect->GetKind(), std::strncmp(name, "sp_", 3) == 0 ? 14001 : kLayerEffectKind);
    }
}

TEST(RegisterScreenEffects, TwoEffectsDrawFromOneSequence)
{
    Registries registries;
    HostFixture f;
    f.Start();
    CTimerManager scheduler;
    g_pObjectManager = &scheduler;
    CSurfaceSprite canvases[4];
    CImage background;
    ASSERT_EQ(background.Create(8, 8, 32, 0), 0);
    for (auto& canvas : canvases) {
        ASSERT_EQ(canvas.Create(8, 8, 32, 1), 0);
        canvas.GetScene()->SetBackgroundImage(&background, 0, 0, true);
    }
    canvases[0].SetBackCanvas(&canvases[1]);
    canvases[2].SetBackCanvas(&canvases[3]);
    SeedSubtractiveRandom(g_Ran3State, 4242);
    SubtractiveRandomState copy = g_Ran3State;
    CLayerEffect* holders[2] = {nullptr, nullptr};
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(CreateLayerEffect("quake", &canvases[2 * i], CEffectArgs::Of(0, 1000, 1000, 0, nullptr, 0, 1, 0, 0),
                                    &holders[i]),
                  0);
    for (int step = 0; step < 3; ++step) {
        scheduler.RunDue(timeGetTime() + 1000 + step);
        for (int i = 0; i < 2; ++i) {
            const double rx = DrawSubtractiveRandom(copy), ry = DrawSubtractiveRandom(copy);
            LONG x = 0, y = 0;
            canvases[2 * i].GetScene()->GetBackground(nullptr, &x, &y, nullptr, nullptr, nullptr);
            EXPECT_EQ(x, -LONG(std::trunc(rx * 1000 * 1e-9 - 500))) << step << " " << i;
            EXPECT_EQ(y, -LONG(std::trunc(ry * 1000 * 1e-9 - 500))) << step << " " << i;
        }
    }
    EXPECT_EQ(std::memcmp(&copy, &g_Ran3State, sizeof copy), 0);
    // The host's end cancels the effects before their canvases go.
    f.host.reset();
    EXPECT_EQ(scheduler.GetCount(), 0u);
    EXPECT_EQ(holders[0], nullptr);
    g_pObjectManager = nullptr;
}
