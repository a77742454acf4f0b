// The save milestone on the headless host (tests/game/save_milestone_cases.h).
#include <gtest/gtest.h>

#include "game/save_milestone_cases.h"

TEST(SaveMilestone, TheDialogSavesAndASecondRunLoadsTheVariables) { save_milestone::CheckSaveMilestone(); }
