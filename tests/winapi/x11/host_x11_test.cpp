// The SDL host on a real X server (the private Xvfb that scripts/test starts).
#include <cstdlib>

#include "winapi/sdl_round_trip.h"

namespace {

TEST(SdlHostX11, WindowShowsWhatGdiDrew)
{
    const char* display = std::getenv("TESSARO_TEST_X_DISPLAY");
    if (display == nullptr)
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
    setenv("DISPLAY", display, 1);
    ASSERT_TRUE(StartSdlHost("x11"));
    DrawAndReadBack();
}

} // namespace
