// The message-dialog and data-input scripts of the headless tests, on the SDL host under X.
#include <gtest/gtest.h>

#include "game/message_dialog_cases.h"
#include "winapi/sdl_round_trip.h"

using namespace message_dialog_cases;

class GameDialogsOnX : public testing::Test {
protected:
    void SetUp() override
    {
        if (!UseTestXServer() || !StartSdlHost("x11"))
            GTEST_SKIP() << "no test X server";
    }
};

TEST_F(GameDialogsOnX, MessageDialogAnswersAndTicks) { CheckMessageDialogAnswers(); }

TEST_F(GameDialogsOnX, DataInputDialogReturnsTheFilteredText) { CheckDataInputDialog(); }
