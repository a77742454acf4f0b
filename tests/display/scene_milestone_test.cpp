// The scene-object milestone on the headless host (with and without Direct3D, losses, deletions)
// and once through SDL's offscreen driver.
#include "scene_milestone.h"

namespace {

using scene_milestone::SceneMilestone;

TEST_F(SceneMilestone, EveryObjectTypeOnTheHeadlessHost)
{
    ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
    RunWithDevice(false);
}

TEST_F(SceneMilestone, AsShippedTheBlitsAreDrawnAndTheTexturesRefused)
{
    ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
    RunAsShipped();
}

TEST_F(SceneMilestone, ALossAtEveryCallOfAFrame)
{
    ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
    RunWithDevice(true);
}

TEST_F(SceneMilestone, DeletionsInAnyOrder)
{
    ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
    RunDeletions();
}

TEST_F(SceneMilestone, EveryObjectTypeOnSdlOffscreen)
{
    if (!StartSdlHost("offscreen"))
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    RunWithDevice(false);
}

} // namespace
