// The save and load dialog's scripted paths, run on the headless host and on the SDL host under
// X: each row of the table prepares save files, opens the dialog as often as it has scripts,
// answers the message dialogs by their own scripts, and looks at the files, the message dialogs
// and the variable afterwards.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "game/game_folder.h"
#include "game/resources.h"
#include "game/save_dialog.h"
#include "natives/save_file.h"
#include "script/sob_native_args.h"
#include "winapi/dialogs/dialog_script.h"
#include "winapi/text.h"

namespace save_dialog_cases {

using gamefolder::ScriptGame;
using namespace winapi::dialogs;

inline std::atomic<size_t> g_dialogsBefore{0};
inline std::atomic<int64_t> g_reported{-1};

// Native 809: the dialogs ended since the run began.
inline uint32_t DialogsEnded(SobNativeArgs&)
{
    return static_cast<uint32_t>(DialogRecords().size() - g_dialogsBefore);
}

inline uint32_t Report(SobNativeArgs& args)
{
    g_reported = args.U32(0);
    return 0;
}

// Opens the save (1) or load (2) dialog `times` times, one after the other, then reports Score.
inline std::string Main(int request, int times)
{
    std::string s = "ncall native 4, g1, res\nncall native 4, g2, res\nmov 55, uservar Score\nyield\n";
    for (int i = 1; i <= times; ++i) {
        const std::string n = std::to_string(i);
        s += "ncall native 24, req, res\n"
             "wait" + n + ": yield\n"
             "ncall native 809, none, count\n"
             "movm count, c" + n + ".1\n"
             "c" + n + ": ge 0, " + n + ", t" + n + ".1\n"
             "t" + n + ": jz 0, wait" + n + "\n"
             "yield\n";
    }
    s += "movm uservar Score, arg\nncall native 810, arg, res\nret\n.data\n"
         "g1: .word 8, 1\ng2: .word 9, 1\nreq: .word " + std::to_string(request) + ", 0\n"
         "none: .word 0\nres: .word 0\ncount: .word 0\narg: .word 0\n";
    return s;
}

// A save file of Score's state.
inline std::string SaveOf(uint32_t score, uint8_t protect = 0, const std::string& comment = "")
{
    const std::vector<uint8_t> state = {0, 0, static_cast<uint8_t>(score), static_cast<uint8_t>(score >> 8), 0, 0, 0};
    savefile::Contents contents;
    contents.protect = protect;
    contents.comment = comment;
    contents.title = "T" + std::to_string(score);
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(savefile::Build(contents, state.data(), state.size(), false, &bytes));
    return std::string(bytes.begin(), bytes.end());
}

inline std::string CommentOf(const std::string& file)
{
    if (file.size() < savefile::kHeaderSize)
        return "?";
    const char* at = file.data() + savefile::kCommentOffset;
    return std::string(at, strnlen(at, savefile::kCommentSize));
}

struct Outcome {
    ScriptGame& game;
    std::vector<std::string> messages;  // the message dialogs' texts, UTF-8
    std::vector<DialogRecord> dialogs;
};

constexpr int kEnter = 0x28;  // USB HID Return

struct DialogCase {
    const char* what;
    int request;  // 1 save, 2 load
    std::function<void(ScriptGame&)> prepare;
    std::vector<std::vector<DialogStep>> scripts;
    std::vector<int> answers;  // the message dialogs' answers in order: IDOK, IDYES, IDNO
    std::function<void(Outcome&)> check;
};

inline std::vector<DialogStep> Page1Row(int row, std::vector<DialogStep> then)
{
    std::vector<DialogStep> steps = {PickTabOf(kCtlBankTabs, 2), PickRowOf(kCtlSlotList, row)};
    steps.insert(steps.end(), then.begin(), then.end());
    return steps;
}

inline bool HasMessage(const Outcome& r, const std::string& start)
{
    for (const std::string& m : r.messages)
        if (m.rfind(start, 0) == 0)
            return true;
    return false;
}

// The message dialogs' answers as scripts of their templates (the same on every host).
inline void QueueMessageAnswers(const std::vector<int>& answers)
{
    for (int answer : answers) {
        if (answer == IDOK)
            QueueDialogScript(kDlgMessageOk, {ClickOn(kCtlYes)});
        else
            QueueDialogScript(kDlgMessageYesNo, {ClickOn(answer == IDYES ? kCtlYes : kCtlNo)});
    }
}

inline void CheckScriptedPaths()
{
    const DialogCase cases[] = {
        {"the Auto and Quick tabs take no manual save", 1, nullptr,
         {{PickTabOf(kCtlBankTabs, 0), PickRowOf(kCtlSlotList, 3), ClickOn(kCtlSlotAction),
           PickTabOf(kCtlBankTabs, 1), ClickOn(kCtlSlotAction)}},
         {},
         [](Outcome& r) {
             EXPECT_FALSE(r.game.dir.Exists("DATA0003.SAV"));
             EXPECT_FALSE(r.game.dir.Exists("DATA0103.SAV"));
         }},
        {"a protected row is neither overwritten nor deleted", 1,
         [](ScriptGame& g) { g.dir.Write("DATA0201.SAV", SaveOf(9, 1)); },
         {Page1Row(1, {ClickOn(kCtlSlotAction), ClickOn(kCtlSlotDelete)})},
         {},
         [](Outcome& r) {
             EXPECT_EQ(r.game.dir.Read("DATA0201.SAV"), SaveOf(9, 1));
             EXPECT_TRUE(r.messages.empty());
         }},
        {"overwriting asks; No keeps the file, Yes replaces it", 1,
         [](ScriptGame& g) { g.dir.Write("DATA0202.SAV", SaveOf(9)); },
         {Page1Row(2, {SetCheck(kCtlSlotOption1, true), SetCheck(kCtlSlotOption3, false), ClickOn(kCtlSlotAction),
                       ClickOn(kCtlSlotAction)})},
         {IDNO, IDYES},
         [](Outcome& r) {
             ASSERT_EQ(r.messages.size(), 2u);
             EXPECT_NE(r.messages[0].find("を上書きしますか？"), std::string::npos) << r.messages[0];
             EXPECT_NE(r.game.dir.Read("DATA0202.SAV"), SaveOf(9));
         }},
        {"a comment is committed on a row change and on a tab change", 1,
         [](ScriptGame& g) {
             g.dir.Write("DATA0200.SAV", SaveOf(1));
             g.dir.Write("DATA0201.SAV", SaveOf(2));
         },
         {Page1Row(0, {TypeInto(kCtlSlotComment, "first"), PickRowOf(kCtlSlotList, 1),
                       TypeInto(kCtlSlotComment, "second"), PickTabOf(kCtlBankTabs, 3)})},
         {},
         [](Outcome& r) {
             EXPECT_EQ(CommentOf(r.game.dir.Read("DATA0200.SAV")), "first");
             EXPECT_EQ(CommentOf(r.game.dir.Read("DATA0201.SAV")), "second");
             // Only the comment field changed.
             std::string file = r.game.dir.Read("DATA0200.SAV");
             const std::string old = SaveOf(1);
             file.replace(savefile::kCommentOffset, savefile::kCommentSize, old, savefile::kCommentOffset,
                          savefile::kCommentSize);
             EXPECT_EQ(file, old);
         }},
        {"the tab and row shown last come back", 1, nullptr,
         {{PickTabOf(kCtlBankTabs, 5), PickRowOf(kCtlSlotList, 7), ClickOn(IDCANCEL)}, {ClickOn(IDCANCEL)}},
         {},
         [](Outcome& r) {
             ASSERT_GE(r.dialogs.size(), 2u);
             const DialogRecord& second = r.dialogs[r.dialogs.size() - 1];
             EXPECT_EQ(second.Control(kCtlBankTabs)->selection, 5);
             EXPECT_EQ(second.Control(kCtlSlotList)->selection, 7);
         }},
        {"a double click on a row loads it", 2, [](ScriptGame& g) { g.dir.Write("DATA0204.SAV", SaveOf(404)); },
         {{PickTabOf(kCtlBankTabs, 2), DoubleClickOn(kCtlSlotList)}},
         {},
         [](Outcome&) { EXPECT_EQ(g_reported, 404); }},
        {"Enter on the list loads the row", 2, [](ScriptGame& g) { g.dir.Write("DATA0203.SAV", SaveOf(303)); },
         {Page1Row(3, {PressKey(kEnter)})},
         {},
         [](Outcome&) { EXPECT_EQ(g_reported, 303); }},
        {"a damaged file shows the load code", 2,
         [](ScriptGame& g) {
             std::string bad = SaveOf(5);
             bad.back() ^= 1;
             g.dir.Write("DATA0202.SAV", bad);
         },
         {Page1Row(2, {ClickOn(kCtlSlotAction)})},
         {IDOK},
         [](Outcome& r) {
             EXPECT_TRUE(HasMessage(r, "セーブデータのロードに失敗しました。ErrNo:3"));
             EXPECT_EQ(g_reported, 55);
         }},
        {"loading with the autosave saves into the Auto ring first", 2,
         [](ScriptGame& g) { g.dir.Write("DATA0205.SAV", SaveOf(505)); },
         {Page1Row(5, {SetCheck(kCtlSlotOption3, true), SetCheck(kCtlSlotOption1, true), ClickOn(kCtlSlotAction)})},
         {IDYES},
         [](Outcome& r) {
             ASSERT_EQ(r.messages.size(), 1u);
             EXPECT_NE(r.messages[0].find("をロードしますか？"), std::string::npos);
             EXPECT_TRUE(r.game.dir.Exists("DATA0000.SAV"));
             EXPECT_EQ(g_reported, 505);
         }},
        {"deleting asks, and Yes deletes", 1, [](ScriptGame& g) { g.dir.Write("DATA0206.SAV", SaveOf(6)); },
         {Page1Row(6, {ClickOn(kCtlSlotDelete), ClickOn(IDCANCEL)})},
         {IDYES},
         [](Outcome& r) {
             ASSERT_EQ(r.messages.size(), 1u);
             EXPECT_NE(r.messages[0].find("を削除しますか？"), std::string::npos);
             EXPECT_FALSE(r.game.dir.Exists("DATA0206.SAV"));
         }},
    };
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptGame game(0);
        game.natives = {DialogsEnded, Report};
        if (c.prepare)
            c.prepare(game);
        game.Module("MAIN", Main(c.request, static_cast<int>(c.scripts.size())));
        g_dialogsBefore = DialogRecords().size();
        g_reported = -1;
        for (const auto& script : c.scripts)
            QueueDialogScript(c.request == 1 ? kDlgSave : kDlgLoad, script);
        QueueMessageAnswers(c.answers);
        int frames = 0, end = 0;
        EXPECT_EQ(0, game.Run(&frames, &end));
        Outcome r{game, {}, {}};
        const auto records = DialogRecords();
        for (size_t i = g_dialogsBefore; i < records.size(); ++i) {
            const DialogRecord& d = records[i];
            if (d.templateId >= kDlgMessageOk && d.templateId <= kDlgMessageYesNoTick)
                r.messages.push_back(d.Control(kCtlText)->textUtf8);
            else if (d.templateId == kDlgSave || d.templateId == kDlgLoad)
                r.dialogs.push_back(d);
        }
        c.check(r);
        ClearDialogScripts();
    }
}

} // namespace save_dialog_cases
