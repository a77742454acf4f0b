// The main window's commands and the message dialogs: commands against menu groups and the busy
// value, maximising, a drop; the message dialogs' answers, ticks and fitting; the data-input
// filter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/drop_files.h"
#include "files/temp_folder.h"
#include "game/game_app.h"
#include "game/message_dialog_cases.h"
#include "game/message_dialogs.h"
#include "game/resources.h"
#include "natives/script_host.h"
#include "natives/script_request.h"
#include "winapi/shell.h"
#include "winapi/shell/dialog_script.h"
#include "winapi/dialogs/dialog_script.h"
#include "winapi/host_headless.h"
#include "winapi/text.h"
#include "winapi/user.h"

using namespace winapi::dialogs;
using namespace message_dialog_cases;

namespace {

CWindowMessage Command(WORD id)
{
    CWindowMessage m;
    m.message = WM_COMMAND;
    m.wParam = id;
    return m;
}

} // namespace

// Each dialog command runs with its busy value unless one is open or its menu group is off.
TEST(GameCommands, DialogCommandsFollowGroupsAndBusy)
{
    struct Case {
        WORD command;
        int group;  // the group that gates it; -1 none
        uint8_t busy;
    };
    const Case cases[] = {
        {kCmdVersion, -1, 6}, {kCmdSettings, 0, 1}, {kCmdSettingsFromMenu, 0, 1}, {kCmdSave, 1, 2}, {kCmdLoad, 2, 3},
    };
    for (const Case& c : cases) {
        for (bool groupOn : {true, false}) {
            for (bool alreadyBusy : {false, true}) {
                SCOPED_TRACE(testing::Message() << c.command << " group " << groupOn << " busy " << alreadyBusy);
                CGameApp app;
                for (int g = 0; g < 4; ++g)
                    app.EnableMenuItemGroup(g, true);
                if (c.group >= 0 && !groupOn)
                    app.EnableMenuItemGroup(c.group, false);
                std::vector<uint8_t> seen;
                auto note = [&](HWND) { seen.push_back(app.GetBusy()); };
                app.SetVersionDialog(note);
                app.SetSettingsSheet(note);
                app.SetSaveLoadDialog([&](HWND, bool) { seen.push_back(app.GetBusy()); });
                CWindowMessage m = Command(c.command);
                if (alreadyBusy) {
                    // A second command while the version dialog is open is ignored.
                    app.SetVersionDialog([&](HWND) {
                        CWindowMessage inner = Command(c.command);
                        app.OnCommand(&inner);
                    });
                    CWindowMessage outer = Command(kCmdVersion);
                    app.OnCommand(&outer);
                    EXPECT_TRUE(seen.empty());
                } else {
                    EXPECT_EQ(app.OnCommand(&m), 0u);
                    const bool runs = c.group < 0 || groupOn;
                    EXPECT_EQ(seen, runs ? std::vector<uint8_t>{c.busy} : std::vector<uint8_t>{});
                }
                EXPECT_EQ(app.GetBusy(), 0);
            }
        }
    }
}

// Return to title: the question, group 3, and the answer that sets the interrupt.
TEST(GameCommands, ReturnToTitleAsksFirst)
{
    auto& host = *winapi::CurrentHeadlessHost();
    struct Case {
        bool groupOn;
        int answer;
        bool interrupted;
        size_t boxes;
    };
    for (const Case c : {Case{true, IDYES, true, 1}, Case{true, IDNO, false, 1}, Case{false, IDYES, false, 0}}) {
        CGameApp app;
        app.EnableMenuItemGroup(3, c.groupOn);
        const size_t before = host.MessageBoxes().size();
        host.QueueMessageBoxAnswers({c.answer});
        CWindowMessage m = Command(kCmdReturnToTitle);
        app.OnCommand(&m);
        EXPECT_EQ(app.IsInterrupted(), c.interrupted);
        EXPECT_EQ(host.MessageBoxes().size(), before + c.boxes);
        if (c.boxes != 0) {
            EXPECT_EQ(host.MessageBoxes().back().text, "タイトルに戻ります。\nよろしいですか？");
        }
        host.QueueMessageBoxAnswers({});
    }
}

TEST(GameMessageDialogs, AnswersAndTicks) { CheckMessageDialogAnswers(); }

TEST(GameMessageDialogs, RequestWhileBusyShowsNothing)
{
    struct Case {
        uint8_t kind;
        uint8_t result;
    };
    for (const Case c : {Case{0, 1}, Case{1, 1}, Case{2, 0}, Case{3, 0}}) {
        CGameApp app;
        ClearDialogScripts();
        CGameApp::MessageDialogRequest request;
        request.kind = c.kind;
        request.text = "x";
        // While the version dialog is open the request comes in.
        app.SetVersionDialog([&](HWND) {
            CWindowMessage m;
            m.message = WM_FRAME_DIALOG;
            m.lParam = reinterpret_cast<LPARAM>(&request);
            app.OnMessageDialogRequest(&m);
        });
        CWindowMessage m = Command(kCmdVersion);
        app.OnCommand(&m);
        EXPECT_EQ(request.result, c.result);
        EXPECT_TRUE(DialogRecords().empty());
    }
    // A kind above 3 shows nothing and answers 0.
    CGameApp app;
    CGameApp::MessageDialogRequest request;
    request.kind = 4;
    request.text = "x";
    EXPECT_EQ(app.RunMessageDialog(&request), 0);
    EXPECT_EQ(request.result, 0);
}

TEST(GameMessageDialogs, FitArithmetic)
{
    const RECT text{20, 18, 278, 58};  // 258 x 40
    struct Case {
        int width, height, lines;
        RECT expected;
        int dx, dy;
    };
    const Case cases[] = {
        {100, 14, 1, {20, 25, 278, 58}, 0, 0},    // one line: down by half its height
        {100, 28, 2, {20, 18, 278, 58}, 0, 0},    // two lines fit
        {100, 60, 3, {20, 18, 278, 78}, 0, 20},   // three lines grow it
        {300, 14, 1, {20, 25, 320, 58}, 42, 0},   // wide: grows right
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " lines " << c.lines);
        const DialogFit fit = ComputeDialogFit(text, c.width, c.height, c.lines);
        EXPECT_EQ(fit.text.left, c.expected.left);
        EXPECT_EQ(fit.text.top, c.expected.top);
        EXPECT_EQ(fit.text.right, c.expected.right);
        EXPECT_EQ(fit.text.bottom, c.expected.bottom);
        EXPECT_EQ(fit.dx, c.dx);
        EXPECT_EQ(fit.dy, c.dy);
    }
}

TEST(GameDataInput, Filters)
{
    const std::string kana = winapi::Sjis("あい");      // two double-byte characters
    const std::string halfKana = "\xB1";                 // half-width katakana: one byte
    struct Case {
        std::string text;
        bool doubleOnly;
        unsigned max;
        std::string expected;
    };
    const Case cases[] = {
        {kana + "a" + kana, true, 0, kana},
        {kana + halfKana + kana, true, 0, kana},  // not a lead byte: the cut
        {"abc" + kana, true, 0, ""},
        {kana + "ab", false, 3, kana.substr(0, 2)},  // never half a character
        {"abcdef", false, 4, "abcd"},
        {"abc", false, 0, "abc"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FilterDataInput(c.text, c.doubleOnly, c.max), c.expected);
}

TEST(GameDataInput, DialogReturnsTheFilteredText) { CheckDataInputDialog(); }

// Maximising asks for the screen-mode switch; a drop reaches the scripts' drop list.
TEST(GameCommands, MaximiseAndDrop)
{
    CGameApp app;
    CWindowMessage m;
    m.message = WM_SYSCOMMAND;
    m.wParam = SC_MAXIMIZE;
    EXPECT_EQ(app.OnSysCommand(&m), 0u);
    m.wParam = SC_MINIMIZE;
    EXPECT_EQ(app.OnSysCommand(&m), 1u);  // default processing

    // A drop on the main window reaches the scripts' drop list.
    static CGameApp* s_app;
    s_app = &app;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_DROPFILES) {
            CWindowMessage drop;
            drop.message = message;
            drop.wParam = wParam;
            return s_app->OnDropFiles(&drop);
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    };
    wc.lpszClassName = "DropTarget";
    RegisterClassExA(&wc);
    HWND hwnd = CreateWindowExA(0, "DropTarget", "drop", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                nullptr, nullptr, nullptr);
    g_ScriptDropFiles.Clear();
    g_ScriptDropFiles.Enable(hwnd, true);
    winapi::HostDrop(hwnd, {"/tmp"}, 1, 2);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    ASSERT_EQ(g_ScriptDropFiles.GetCount(), 1u);
    EXPECT_STREQ(g_ScriptDropFiles.GetFile(0), "Z:\\tmp");
    g_ScriptDropFiles.Clear();
    DestroyWindow(hwnd);
}

// The version dialog: the detailed switch, the clipboard copy with its message, the log file, and
// the web page question whose tick turns it off.
TEST(GameVersionDialog, ReportClipboardLogAndWebQuestion)
{
    auto& host = *winapi::CurrentHeadlessHost();
    TempFolder dir;
    RegisterGameResources();
    ClearDialogScripts();
    CGameApp app;
    app.Config().detailedReport = 0;
    app.Config().askBeforeWebPage = 1;
    winapi::shell::ClearDialogScript();
    winapi::shell::DialogAnswer chosen;
    chosen.result = winapi::shell::DialogAnswer::Chosen;
    chosen.pathLinux = dir.Linux("report.txt");
    winapi::shell::QueueDialogAnswer(chosen);
    QueueDialogScript(kDlgVersion, {SetCheck(kCtlVersionDetailed, true), ClickOn(kCtlVersionCopy),
                                    ClickOn(kCtlVersionSave), ClickOn(kCtlVersionLogo), ClickOn(IDOK)});
    QueueDialogScript(kDlgMessageYesNoTick, {SetCheck(kCtlTick, true), ClickOn(kCtlYes)});
    const size_t boxes = host.MessageBoxes().size();
    CWindowMessage m = Command(kCmdVersion);
    app.OnCommand(&m);
    EXPECT_EQ(app.Config().detailedReport, 1);
    EXPECT_EQ(app.Config().askBeforeWebPage, 0);  // はい with the tick: no more questions
    const auto shown = host.MessageBoxes();
    ASSERT_EQ(shown.size(), boxes + 2);
    EXPECT_EQ(shown[boxes].text, "クリップボードにシステム情報をコピーしました。");
    EXPECT_EQ(shown[boxes + 1].text, "システム情報をファイルに保存しました。");
    const auto records = DialogRecords();
    ASSERT_FALSE(records.empty());
    const DialogRecord& version = records.back();
    EXPECT_EQ(version.templateId, kDlgVersion);
    const std::string report = version.Control(kCtlVersionReport)->textUtf8;
    EXPECT_FALSE(report.empty());
    ASSERT_FALSE(host.ClipboardTexts().empty());
    EXPECT_EQ(host.ClipboardTexts().back(), report);
    EXPECT_TRUE(dir.Exists("report.txt"));
    EXPECT_EQ(app.GetBusy(), 0);
}

// Commands 40027-40030 answer the natives' sent record in place: the chosen file and its name part,
// the folder with its backslash, nothing when cancelled; the sound format's device answer.
TEST(GameCommands, ScriptRequestsAreAnsweredInPlace)
{
    TempFolder dir;
    dir.Write("pick.txt", "x");
    struct Case {
        const char* what;
        WORD command;
        bool chosen;
        std::string linuxPath;
        int answer;
        std::string textEnd, title;
    };
    const Case cases[] = {
        {"open chosen", kScriptRequestOpenFile, true, dir.Linux("pick.txt"), 1, "\\pick.txt", "pick.txt"},
        {"open cancelled", kScriptRequestOpenFile, false, "", 0, "", ""},
        {"save chosen", kScriptRequestSaveFile, true, dir.Linux("new.dat"), 1, "\\new.dat", "new.dat"},
        {"folder chosen", kScriptRequestFolder, true, dir.Linux(), 1, "\\", ""},
        {"folder cancelled", kScriptRequestFolder, false, "", 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CGameApp app;
        winapi::shell::ClearDialogScript();
        winapi::shell::DialogAnswer answer;
        answer.result = c.chosen ? winapi::shell::DialogAnswer::Chosen : winapi::shell::DialogAnswer::Cancelled;
        answer.pathLinux = c.linuxPath;
        winapi::shell::QueueDialogAnswer(answer);
        ScriptRequest request;
        request.command = c.command;
        request.title = "T";
        request.answer = 7;
        CWindowMessage m = Command(c.command);
        m.lParam = reinterpret_cast<LPARAM>(&request);
        EXPECT_EQ(app.OnCommand(&m), 0u);
        EXPECT_EQ(request.answer, c.answer);
        EXPECT_TRUE(request.answerText.size() >= c.textEnd.size() &&
                    request.answerText.compare(request.answerText.size() - c.textEnd.size(), c.textEnd.size(),
                                               c.textEnd) == 0)
            << request.answerText;
        EXPECT_EQ(request.answerTitle, c.title);
        EXPECT_FALSE(app.IsModal());
    }
    // Without a device the sound format answers the device's failure, never the word it was given.
    CGameApp app;
    ScriptRequest request;
    request.command = kScriptRequestSoundFormat;
    request.answer = 12345;
    CWindowMessage m = Command(kScriptRequestSoundFormat);
    m.lParam = reinterpret_cast<LPARAM>(&request);
    app.OnCommand(&m);
    EXPECT_NE(request.answer, 12345);
}
