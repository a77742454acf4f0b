// The milestone picture through SDL on a real X server (the private Xvfb of scripts/test), in the
// GDI window and in each of the screen's modes.
#include "display/milestone.h"

namespace {

using milestone::Milestone;

TEST_F(Milestone, SdlOnX11ShowsTheComposedPicture)
{
    if (!UseTestXServer())
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
    ASSERT_TRUE(StartSdlHost("x11"));
    RunFrames(false);
}

TEST_F(Milestone, EveryModeOnX11)
{
    if (!UseTestXServer())
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
    ASSERT_TRUE(StartSdlHost("x11"));
    for (const milestone::Mode& mode : milestone::kModes)
        RunMode(mode);
}

} // namespace
