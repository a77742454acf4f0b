// The settings sheet's page tables of the headless tests, on the SDL host under X: the sheet and
// each page are windows of the host there.
#include <gtest/gtest.h>

#include "game/settings_sheet_cases.h"
#include "winapi/sdl_round_trip.h"

using namespace settings_sheet_cases;

class SettingsSheetOnX : public testing::Test {
protected:
    void SetUp() override
    {
        if (!UseTestXServer() || !StartSdlHost("x11"))
            GTEST_SKIP() << "no test X server";
    }
};

TEST_F(SettingsSheetOnX, PageControlsStoreTheirFields) { CheckFieldCases(); }
