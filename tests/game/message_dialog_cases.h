// Message-dialog and data-input scripts run on the headless host and on the SDL host under X.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "game/game_app.h"
#include "game/resources.h"
#include "natives/script_request.h"
#include "winapi/dialogs/dialog_script.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace message_dialog_cases {

using namespace winapi::dialogs;

// Message dialogs: kinds, answers and the tick; a request while busy; a kind without a dialog.
inline void CheckMessageDialogAnswers()
{
    struct Case {
        uint8_t kind;
        std::vector<DialogStep> steps;
        int answer;
        uint8_t tick;
    };
    const Case cases[] = {
        {0, {ClickOn(kCtlYes)}, 0, 9},
        {1, {SetCheck(kCtlTick, true), ClickOn(kCtlYes)}, 0, 1},
        {2, {ClickOn(kCtlYes)}, 1, 9},
        {2, {ClickOn(kCtlNo)}, 0, 9},
        {3, {SetCheck(kCtlTick, true), ClickOn(kCtlYes)}, 1, 1},
        {3, {SetCheck(kCtlTick, true), ClickOn(kCtlNo)}, 0, 0},  // いいえ clears the tick
        {1, {}, 0, 0},                                            // closed: the tick starts clear
    };
    static const WORD kTemplates[] = {kDlgMessageOk, kDlgMessageOkTick, kDlgMessageYesNo, kDlgMessageYesNoTick};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << int(c.kind) << " steps " << c.steps.size());
        RegisterGameResources();
        ClearDialogScripts();
        QueueDialogScript(kTemplates[c.kind], c.steps);
        CGameApp app;
        uint8_t tick = 9;
        EXPECT_EQ(app.ShowMessageDialog(winapi::Sjis("テスト"), c.kind, &tick, nullptr, 1, nullptr), c.answer);
        EXPECT_EQ(tick, c.tick);
        ASSERT_EQ(DialogRecords().size(), 1u);
        EXPECT_EQ(DialogRecords()[0].Control(kCtlText)->textUtf8, "テスト");
    }
    CGameApp app;
    EXPECT_EQ(app.ShowMessageDialog(winapi::Sjis("x"), 4, nullptr, nullptr, 0, nullptr), 0);
    EXPECT_EQ(app.ShowMessageDialog(nullptr, 2, nullptr, nullptr, 0, nullptr), 0);
}

inline void CheckDataInputDialog()
{
    RegisterGameResources();
    ClearDialogScripts();
    QueueDialogScript(kDlgDataInput, {TypeInto(kCtlText, "あいab"), ClickOn(kCtlYes)});
    CGameApp app;
    app.InputTextForScript(nullptr, winapi::Sjis("名前"), 1, 0, 0, 0, -1, -1);
    ScriptRequest request;
    request.command = kScriptRequestDataInput;
    CWindowMessage m;
    m.message = WM_COMMAND;
    m.wParam = kScriptRequestDataInput;
    m.lParam = reinterpret_cast<LPARAM>(&request);
    app.OnCommand(&m);
    EXPECT_EQ(request.answer, 1);
    EXPECT_EQ(request.answerText, winapi::Sjis("あい"));
    ASSERT_EQ(DialogRecords().size(), 1u);
    EXPECT_EQ(DialogRecords()[0].Control(kCtlInputLabel)->textUtf8, "名前");
    EXPECT_EQ(DialogRecords()[0].captionUtf8, "データ入力");
}

} // namespace message_dialog_cases
