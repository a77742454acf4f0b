// The milestone picture on the headless host and on SDL's offscreen driver, in the GDI window and
// in each of the screen's modes.
#include "milestone.h"

namespace {

using milestone::Milestone;

TEST_F(Milestone, HeadlessHostShowsTheComposedPicture)
{
    ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
    RunFrames(true);
}

TEST_F(Milestone, SdlOffscreenShowsTheComposedPicture)
{
    if (!StartSdlHost("offscreen"))
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    RunFrames(false);
}

TEST_F(Milestone, EveryModeOnTheHeadlessHost)
{
    ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
    for (const milestone::Mode& mode : milestone::kModes)
        RunMode(mode);
}

TEST_F(Milestone, EveryModeOnSdlOffscreen)
{
    if (!StartSdlHost("offscreen"))
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    for (const milestone::Mode& mode : milestone::kModes)
        RunMode(mode);
}

} // namespace
