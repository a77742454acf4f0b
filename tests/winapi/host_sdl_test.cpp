// The SDL host with SDL's offscreen video driver: a real SDL window, presented and read back.
#include "winapi/sdl_round_trip.h"

namespace {

TEST(SdlHost, OffscreenWindowShowsWhatGdiDrew)
{
    if (!StartSdlHost("offscreen"))
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    DrawAndReadBack();
}

} // namespace
