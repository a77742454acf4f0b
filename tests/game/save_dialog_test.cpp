// The save and load dialog on the headless host: its scripted paths, and its joystick.
#include <gtest/gtest.h>

#include "game/save_dialog_cases.h"
#include "platform/joystick_device.h"
#include "winapi/joystick.h"

using namespace save_dialog_cases;

TEST(SaveDialog, ScriptedPaths) { CheckScriptedPaths(); }

namespace {

// The game with the joystick option on and the dialog's two buttons assigned (decide 2, cancel 3).
struct JoystickGameApp : CGameApp {
    int OnDevicesReady() override
    {
        const int code = CGameApp::OnDevicesReady();
        Config().useJoystick = 1;
        Config().joystickButtons[0] = 2;
        Config().joystickButtons[1] = 3;
        Config().closeAfterSave = 0;
        return code;
    }
};

} // namespace

// The dialog's joystick: the stick moves between tabs (wrapping at both ends) and rows (stopping at
// both ends), the decide button saves into the row, the cancel button ends the dialog.
TEST(SaveDialog, JoystickMovesAndChooses)
{
    winapi::DetachAllJoysticks();
    JoystickSlotTable = JoystickSlotTableType{};
    winapi::JoystickInfo pad;
    pad.nameUtf8 = "pad";
    pad.buttons = 8;
    const int id = winapi::AttachJoystick(pad);
    ASSERT_GE(id, 0);
    constexpr uint32_t kHold = 120;  // a few of the dialog's polls
    const auto stick = [&](int axis, int position) { return HoldJoystickAxis(id, axis, position, kHold); };
    const DialogStep left = stick(0, 0), right = stick(0, 65535), up = stick(1, 0), down = stick(1, 65535);
    const DialogStep rest = AdvanceClock(kHold);  // the stick let go between two moves

    ScriptGame game(0);
    game.natives = {DialogsEnded, Report};
    game.Module("MAIN", Main(1, 1));
    g_dialogsBefore = DialogRecords().size();
    // From Page.1, row 0: three tabs to the left (past Auto to Page.10) and three back; one row up
    // (none there) and three down; decide, cancel.
    std::vector<DialogStep> steps;
    for (const DialogStep& move : {left, left, left, right, right, right, up, down, down, down})
        steps.insert(steps.end(), {move, rest});
    steps.insert(steps.end(), {HoldJoystickButton(id, 2, kHold), rest, HoldJoystickButton(id, 3, kHold), rest});
    QueueDialogScript(kDlgSave, steps);
    JoystickGameApp app;
    int frames = 0, end = 0;
    EXPECT_EQ(0, game.Run(app, &frames, &end));
    winapi::DetachAllJoysticks();
    EXPECT_TRUE(game.dir.Exists("DATA0203.SAV"));
    const auto records = DialogRecords();
    ASSERT_GT(records.size(), g_dialogsBefore.load());
    const DialogRecord& dialog = records.back();
    EXPECT_EQ(dialog.templateId, kDlgSave);
    EXPECT_EQ(dialog.Control(kCtlBankTabs)->selection, 2);
    EXPECT_EQ(dialog.Control(kCtlSlotList)->selection, 3);
    EXPECT_EQ(dialog.result, IDCANCEL);
    EXPECT_FALSE(dialog.scriptRanOut) << "the cancel button ended it";
    ClearDialogScripts();
}
