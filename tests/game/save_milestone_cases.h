// The save milestone on the real application, on whichever host runs: MAIN opens the save and
// load groups, sets a variable and asks for the save dialog; the dialog saves into Page.1 row 0
// and the game ends. A second run asks for the load dialog, loads that row, and its variable is
// the one saved. Both threading modes, and once through the system-menu native's synchronous form.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "game/game_folder.h"
#include "game/save_dialog.h"
#include "natives/save_file.h"
#include "script/sob_native_args.h"
#include "winapi/dialogs/dialog_script.h"

namespace save_milestone {

using gamefolder::ScriptGame;
using namespace winapi::dialogs;

inline std::atomic<size_t> g_dialogsBefore{0};
inline std::atomic<int64_t> g_reported{-1};

// Native 809: 1 once a dialog has ended since the run began.
inline uint32_t DialogEnded(SobNativeArgs&)
{
    return DialogRecords().size() > g_dialogsBefore ? 1 : 0;
}

// Native 810: reports its first word to the test.
inline uint32_t Report(SobNativeArgs& args)
{
    g_reported = args.U32(0);
    return 0;
}

// Enables the save and load groups (native 4, selectors 8 and 9), sets Score, asks for the dialog
// (native 24: request 1 save, 2 load; the second word chooses the synchronous form), waits for it
// to end, and reports Score.
inline std::string Main(int request, bool synchronous, int score)
{
    return "ncall native 4, g1, res\n"
           "ncall native 4, g2, res\n"
           "mov " + std::to_string(score) + ", uservar Score\n"
           "yield\n"
           "ncall native 24, req, res\n"
           "wait: yield\n"
           "ncall native 809, none, done\n"
           "movm done, t.1\n"
           "t: jz 0, wait\n"
           "yield\n"
           "movm uservar Score, arg\n"
           "ncall native 810, arg, res\n"
           "ret\n"
           ".data\n"
           "g1: .word 8, 1\n"
           "g2: .word 9, 1\n"
           "req: .word " + std::to_string(request) + ", " + (synchronous ? "1" : "0") + "\n"
           "none: .word 0\n"
           "res: .word 0\n"
           "done: .word 0\n"
           "arg: .word 0\n";
}

inline void CheckSaveMilestone()
{
    struct Case {
        const char* what;
        uint8_t thread;
        bool synchronous;
    };
    const Case cases[] = {
        {"single-threaded", 0, false},
        {"threaded", 1, false},
        {"threaded, synchronous request", 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptGame game(c.thread);
        game.natives = {DialogEnded, Report};

        // First run: Page.1 (tab 2), row 0, セーブ.
        game.Module("MAIN", Main(1, c.synchronous, 4321));
        g_dialogsBefore = DialogRecords().size();
        g_reported = -1;
        QueueDialogScript(kDlgSave, {PickTabOf(kCtlBankTabs, 2), PickRowOf(kCtlSlotList, 0), ClickOn(kCtlSlotAction)});
        int frames = 0, end = 0;
        EXPECT_EQ(0, game.Run(&frames, &end));
        EXPECT_EQ(0, end);
        EXPECT_EQ(g_reported, 4321);
        const std::vector<DialogRecord> saved = DialogRecords();
        ASSERT_GT(saved.size(), g_dialogsBefore.load());
        EXPECT_EQ(saved.back().templateId, kDlgSave);
        ASSERT_TRUE(game.dir.Exists("DATA0200.SAV"));
        const std::string file = game.dir.Read("DATA0200.SAV");
        ASSERT_GE(file.size(), savefile::kHeaderSize);
        EXPECT_EQ(file.substr(0, 4), "DJN1");

        // Second run: the script sets another value, the dialog loads the row back.
        game.Module("MAIN", Main(2, c.synchronous, 7));
        g_dialogsBefore = DialogRecords().size();
        g_reported = -1;
        QueueDialogScript(kDlgLoad, {PickTabOf(kCtlBankTabs, 2), PickRowOf(kCtlSlotList, 0), ClickOn(kCtlSlotAction)});
        EXPECT_EQ(0, game.Run(&frames, &end));
        EXPECT_EQ(0, end);
        EXPECT_EQ(g_reported, 4321);
        const std::vector<DialogRecord> loaded = DialogRecords();
        ASSERT_GT(loaded.size(), g_dialogsBefore.load());
        EXPECT_EQ(loaded.back().templateId, kDlgLoad);
        EXPECT_EQ(loaded.back().result, IDOK);
    }
}

} // namespace save_milestone
