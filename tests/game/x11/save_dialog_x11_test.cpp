// The save and load dialog's scripted paths of the headless tests, on the SDL host under X: the
// dialog and its message dialogs are windows of their own there, over the game's window.
#include <gtest/gtest.h>

#include "game/save_dialog_cases.h"
#include "winapi/sdl_round_trip.h"

using namespace save_dialog_cases;

class SaveDialogOnX : public testing::Test {
protected:
    void SetUp() override
    {
        if (!UseTestXServer() || !StartSdlHost("x11"))
            GTEST_SKIP() << "no test X server";
    }
};

TEST_F(SaveDialogOnX, ScriptedPaths) { CheckScriptedPaths(); }
