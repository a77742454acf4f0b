// The dialog scripts of the headless tests, on the SDL host under X: each dialog is a window of
// its own there.
#include <gtest/gtest.h>

#include "winapi/dialog_cases.h"
#include "winapi/sdl_round_trip.h"
#include "winapi/sdl_testing.h"
#include "winapi/sheet_cases.h"

using namespace dialog_cases;

class DialogsOnX : public testing::Test {
protected:
    void SetUp() override
    {
        if (!UseTestXServer() || !StartSdlHost("x11"))
            GTEST_SKIP() << "no test X server";
    }
};

TEST_F(DialogsOnX, ActionsNotifyInWin32Order) { CheckActions(); }

TEST_F(DialogsOnX, ControlsKeepTheirLastState) { CheckStates(); }

TEST_F(DialogsOnX, SubclassedControlSeesKeysFirst) { CheckSubclass(); }

TEST_F(DialogsOnX, ModalDialogsNest) { CheckNesting(); }

// Each dialog is a window of its own, held by the window system over (modal for) its owner.
TEST_F(DialogsOnX, DialogsStayOverTheirOwners)
{
    CheckDialogsStayOverTheirOwners(winapi::sdl_testing::IsModalFor);
}

TEST_F(DialogsOnX, PropertySheetPagesLiveInWin32Order) { sheet_cases::CheckPageLife(); }

TEST_F(DialogsOnX, ListControlsNotifyAndKeepTheirChoice) { sheet_cases::CheckListControls(); }
