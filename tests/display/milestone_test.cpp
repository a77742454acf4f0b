// The milestone picture on the headless host and on SDL's offscreen driver.
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
    if (!milestone::StartSdl("offscreen"))
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    RunFrames(false);
}

} // namespace
