// The save milestone on the SDL host under X: the save and load dialogs are windows of their own
// over the game's window.
#include <gtest/gtest.h>

#include "game/save_milestone_cases.h"
#include "winapi/sdl_round_trip.h"

class SaveMilestoneOnX : public testing::Test {
protected:
    void SetUp() override
    {
        if (!UseTestXServer() || !StartSdlHost("x11"))
            GTEST_SKIP() << "no test X server";
    }
};

TEST_F(SaveMilestoneOnX, TheDialogSavesAndASecondRunLoadsTheVariables) { save_milestone::CheckSaveMilestone(); }
