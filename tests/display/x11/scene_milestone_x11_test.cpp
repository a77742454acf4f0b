// The scene-object milestone through SDL on a real X server (the private Xvfb of scripts/test).
#include "display/scene_milestone.h"

namespace {

using scene_milestone::SceneMilestone;

TEST_F(SceneMilestone, EveryObjectTypeOnX11)
{
    if (!UseTestXServer())
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
    ASSERT_TRUE(StartSdlHost("x11"));
    RunWithDevice(false);
}

} // namespace
