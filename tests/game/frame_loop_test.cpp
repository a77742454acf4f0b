// The frame loop in both threading modes on the headless host: a yielding MAIN runs a frame per
// yield and ends with 0; script errors give their messages and exit codes; the step counts of late
// frames; the frame timing and the overrides.
#include <gtest/gtest.h>

#include "game/resources.h"

#include "winapi/dialogs/dialog_script.h"

#include <cstdint>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "authoring/sob_assembler.h"
#include "authoring/sob_module_writer.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "game/game_app.h"
#include "game/game_folder.h"
#include "game/game_main.h"
#include "game/thread_priority.h"
#include "display/screen_filter.h"
#include "natives/script_host.h"
#include "platform/timer_manager.h"
#include "winapi/dsound.h"
#include "winapi/host_headless.h"
#include "winapi/sdl_testing.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace {

using gamefolder::ScriptGame;
using gamefolder::Str;
using gamefolder::Watchdog;

// An application that runs a test's step right after its device set-up (on the UI thread, before
// the game starts).
struct AfterDevicesApp : CGameApp {
    std::function<void(CGameApp&)> step;
    explicit AfterDevicesApp(std::function<void(CGameApp&)> s) : step(std::move(s)) {}
    int OnDevicesReady() override
    {
        const int code = CGameApp::OnDevicesReady();
        step(*this);
        return code;
    }
};

} // namespace

TEST(FrameLoop, AYieldingMainRunsAFramePerYieldInBothModes)
{
    for (uint8_t thread : {0, 1}) {
        SCOPED_TRACE(thread ? "threaded" : "single-threaded");
        ScriptGame game(thread);
        game.Module("MAIN", "yield\nyield\nyield\nyield\nyield\nret\n");
        int frames = 0, end = 0;
        EXPECT_EQ(0, game.Run(&frames, &end));
        EXPECT_EQ(0, end);
        EXPECT_EQ(6, frames);  // five yields, then the frame that ends
    }
}

TEST(FrameLoop, ScriptErrorsGiveTheirMessagesAndCodes)
{
    struct Case {
        const char* source;
        const char* message;
        int endCode;
    };
    // SUB exists so that a jump to it loads; NONE does not.
    const Case cases[] = {
        {"ncall native 1, sub, res\nyield\nret\n", "不正なスクリプトを実行しました", 3},
        {"ncall native 1, missing, res\nret\n", "Jump命令でスクリプトのロードに失敗", 4},
        {"ncall native 0, missing, res\nyield\nret\n", "Call命令でスクリプトのロードに失敗", 5},
    };
    const std::string data = ".data\nres: .word 0\nsub: .word subname\nmissing: .word nonename\n"
                             "subname: .sjis \"SUB\"\nnonename: .sjis \"NONE\"\n";
    auto* host = winapi::CurrentHeadlessHost();
    for (uint8_t thread : {0, 1}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.message << (thread ? " threaded" : " single"));
            ScriptGame game(thread);
            game.Module("MAIN", c.source + data);
            game.Module("SUB", "yield\nret\n");
            const size_t before = host->MessageBoxes().size();
            int frames = 0, end = 0;
            EXPECT_EQ(0, game.Run(&frames, &end));
            EXPECT_EQ(c.endCode, end);
            const auto boxes = host->MessageBoxes();
            ASSERT_GT(boxes.size(), before);
            EXPECT_EQ(c.message, boxes[before].text);
        }
    }
    // MAIN missing: the script cannot start.
    ScriptGame game(0);
    int frames = 0, end = 0;
    EXPECT_EQ(0, game.Run(&frames, &end));
    EXPECT_EQ(1, end);
}

TEST(FrameLoop, LateFramesBecomeExtraSteps)
{
    const int late[] = {0, 1, 4, 5};
    const int single[] = {1, 1, 4, 1};
    const int threaded[] = {1, 2, 5, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(single[i], CGameApp::StepsForLateFrames(late[i], false)) << late[i];
        EXPECT_EQ(threaded[i], CGameApp::StepsForLateFrames(late[i], true)) << late[i];
    }
}

TEST(FrameLoop, FrameTimingAndOverrides)
{
    struct Case {
        uint8_t syncMode;
        int hz;
        bool vblank;
        int interval;
    };
    const Case cases[] = {
        {0, 60, true, 1}, {0, 75, true, 0}, {1, 60, true, 0}, {2, 75, true, 1},
        {0, 60, false, 0}, {2, 60, false, 0}, {1, 75, false, 0},
    };
    for (const Case& c : cases) {
        CGameApp app;
        app.UserBlock()[kUserSyncMode] = c.syncMode;
        app.SetDisplayTiming(c.vblank, c.hz);
        app.ApplyFrameTiming(60);
        EXPECT_EQ(c.interval, app.GetSyncInterval()) << int(c.syncMode) << " " << c.hz << " " << c.vblank;
        EXPECT_EQ(c.interval == 0, app.Timer().IsHighResolution());
    }
    // A sync override forces sync mode 2 and pops back to the saved mode.
    CGameApp app;
    app.SetDisplayTiming(true, 75);
    app.Settings().savedSyncMode = 1;
    app.UserBlock()[kUserSyncMode] = 1;
    app.ApplyFrameTiming(60);
    EXPECT_EQ(1, app.PushSyncOverride());
    EXPECT_EQ(1, app.GetSyncInterval());
    EXPECT_EQ(0, app.PushSyncOverride());  // nested: nothing more to change
    app.PopSyncOverride();
    EXPECT_EQ(1, app.GetSyncInterval());
    app.PopSyncOverride();
    EXPECT_EQ(0, app.GetSyncInterval());
    EXPECT_EQ(1, app.UserBlock()[kUserSyncMode]);
    // The timer override drops the high-resolution timer until the last pop.
    EXPECT_TRUE(app.Timer().IsHighResolution());
    app.PushTimerFlagOverride();
    EXPECT_FALSE(app.Timer().IsHighResolution());
    app.PopTimerFlagOverride();
    EXPECT_TRUE(app.Timer().IsHighResolution());
}

// Return to the title: MAIN again from the top with a negative boot value, every override popped;
// a MAIN that can no longer be opened answers 1.
TEST(FrameLoop, InterruptReopensMainAndPopsTheOverrides)
{
    ScriptGame game(0);
    game.Module("MAIN", "yield\nret\n");
    CGameApp app;
    SetBaseFolder(game.dir.Windows().c_str());
    ASSERT_EQ(0, app.SetAppInfo());
    ASSERT_EQ(0, app.StartScriptHost());
    app.Host()->SetSettingsFlag(7);
    app.SetDisplayTiming(true, 75);
    app.PushSyncOverride();
    app.PushSyncOverride();
    app.PushTimerFlagOverride();
    EXPECT_EQ(0, app.InterruptToMain(0));
    EXPECT_EQ(-7, app.Host()->BootFlag());
    EXPECT_EQ(0, app.GetSyncOverrides());
    EXPECT_EQ(0, app.GetTimerOverrides());
    EXPECT_EQ(0, app.InterruptToMain(1));
    EXPECT_EQ(7, app.Host()->BootFlag());
    std::filesystem::remove(game.dir.Linux("SCRIPT/MAIN.SOB"));
    EXPECT_EQ(1, app.InterruptToMain(0));
}

namespace {

// What the test natives saw.
std::vector<int> g_stepAnswers;
std::vector<int> g_dialogAnswers;

// Native 809: waits frame by frame as a script wait does, and asks the host to close the window
// on its first and its fifth frame; → the driver's last answer. Virtual frames cost next to
// nothing, and a busy machine may hold the window's thread (which asks the questions) back for
// thousands of them, so only a generous wall-clock bound gives up.
uint32_t WaitWhileClosing(SobNativeArgs&)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (int frame = 1;; ++frame) {
        if (frame == 1 || frame == 5)
            winapi::HostCloseRequest(g_pTheGameApp->GetMainWindow());
        const int answer = g_pTheGameApp->StepFrame();
        g_stepAnswers.push_back(answer);
        if (answer == 0 || std::chrono::steady_clock::now() > giveUp)
            return static_cast<uint32_t>(answer);
    }
}

// Native 810: a Yes/No dialog, then an OK dialog, asked from the script's thread.
uint32_t AskTwice(SobNativeArgs&)
{
    g_dialogAnswers.push_back(g_pTheGameApp->RequestMessageDialog(winapi::Sjis("続けますか？"), 2, nullptr, nullptr, 0));
    uint8_t tick = 7;
    g_dialogAnswers.push_back(g_pTheGameApp->RequestMessageDialog(winapi::Sjis("保存しました"), 1, &tick, nullptr, 0));
    g_dialogAnswers.push_back(tick);
    return 0;
}

} // namespace

// The player closes the window while a native waits inside a call: the first question is answered
// No and the game goes on; the second Yes, and the waiting native gets 0; a script that steps on
// gets no more frames, and the game ends with 0.
TEST(FrameLoop, ClosingWhileANativeWaitsEndsTheGame)
{
    auto* host = winapi::CurrentHeadlessHost();
    for (uint8_t thread : {0, 1}) {
        SCOPED_TRACE(thread ? "threaded" : "single-threaded");
        ScriptGame game(thread);
        game.natives = {WaitWhileClosing};
        // After the wait the script steps on for ever, as a game's main loop does.
        game.Module("MAIN", "yield\nncall native 809, args, res\nloop: yield\njmp loop\n.data\nargs: .word 0\n"
                            "res: .word 1\n");
        g_stepAnswers.clear();
        const size_t before = host->MessageBoxes().size();
        host->QueueMessageBoxAnswers({IDNO, IDYES});
        int frames = 0, end = 0;
        EXPECT_EQ(0, game.Run(&frames, &end));
        EXPECT_EQ(0, end);
        ASSERT_FALSE(g_stepAnswers.empty());
        EXPECT_EQ(0, g_stepAnswers.back());
        EXPECT_GE(g_stepAnswers.size(), 5u);  // the first close was refused
        const auto boxes = host->MessageBoxes();
        ASSERT_EQ(before + 2, boxes.size());
        for (size_t i = before; i < boxes.size(); ++i) {
            EXPECT_EQ("「LoopTest」\nゲームを終了しますか？", boxes[i].text);
            EXPECT_EQ(static_cast<UINT>(MB_YESNO), boxes[i].type & 0xFu);
        }
    }
}

namespace {

// Native 811: asks the host to close the window, and returns at once.
uint32_t CloseTheWindow(SobNativeArgs&)
{
    winapi::HostCloseRequest(g_pTheGameApp->GetMainWindow());
    return 0;
}

} // namespace

// A script that never yields holds the game thread: the player's close (answered Yes) still ends
// the game, the step giving up as an invalid script (its message, end code 3). The game hung
// before, and nothing ended it.
TEST(FrameLoop, ClosingEndsAScriptThatNeverYields)
{
    auto* host = winapi::CurrentHeadlessHost();
    ScriptGame game(1);
    game.natives = {WaitWhileClosing, AskTwice, CloseTheWindow};
    game.Module("MAIN", "yield\nncall native 811, args, res\nloop: jmp loop\n.data\nargs: .word 0\nres: .word 1\n");
    const size_t before = host->MessageBoxes().size();
    host->QueueMessageBoxAnswers({IDYES});
    int frames = 0, end = 0;
    EXPECT_EQ(0, game.Run(&frames, &end));
    EXPECT_EQ(3, end);
    const auto boxes = host->MessageBoxes();
    ASSERT_EQ(before + 2, boxes.size());
    EXPECT_EQ("「LoopTest」\nゲームを終了しますか？", boxes[before].text);
    EXPECT_EQ("不正なスクリプトを実行しました", boxes[before + 1].text);
}

namespace {

// Native 813: never returns (a native caught in a wait that nothing ends).
uint32_t NeverReturn(SobNativeArgs&)
{
    for (;;)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

// A game thread caught in a native never answers the stop: the UI thread waits a bounded time,
// then the process ends with what was saved, as the invalid script would (exit 23). The window
// closed and the game waited for ever before.
void RunAGameCaughtInANative()
{
    ScriptGame game(1);
    game.natives = {WaitWhileClosing, AskTwice, CloseTheWindow, NeverReturn, NeverReturn};
    game.Module("MAIN", "yield\nncall native 811, args, res\nncall native 813, args, res\nret\n.data\n"
                        "args: .word 0\nres: .word 1\n");
    winapi::CurrentHeadlessHost()->QueueMessageBoxAnswers({IDYES});
    int frames = 0, end = 0;
    game.Run(&frames, &end);
}

TEST(FrameLoopDeathTest, AGameThreadThatNeverAnswersEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunAGameCaughtInANative(), testing::ExitedWithCode(kExitGameError + 3), "did not stop");
}

// On the SDL host of a machine where no message box can show, the close's quit question answers
// its default button, Yes, and the game ends; it answered 0 before, read as No, and the window
// could not be closed.
TEST(FrameLoop, ClosingWithoutAMessageBoxEndsTheGame)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    auto sdl = winapi::MakeSdlHost();
    if (!sdl)
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    winapi::SetHost(std::move(sdl));
    winapi::sdl_testing::SetNoMessageBoxes(true);
    for (uint8_t thread : {0, 1}) {
        SCOPED_TRACE(thread ? "threaded" : "single-threaded");
        ScriptGame game(thread);
        game.natives = {WaitWhileClosing, AskTwice, CloseTheWindow};
        game.Module("MAIN", "yield\nncall native 811, args, res\nloop: yield\njmp loop\n.data\nargs: .word 0\n"
                            "res: .word 1\n");
        // The quit question is the game's own dialog now: the player answers Yes.
        winapi::dialogs::QueueDialogScript(kDlgMessageYesNo, {winapi::dialogs::ClickOn(kCtlYes)});
        winapi::dialogs::QueueDialogScript(kDlgMessageYesNoTick, {winapi::dialogs::ClickOn(kCtlYes)});
        testing::internal::CaptureStderr();
        int frames = 0, end = 0;
        const int code = game.Run(&frames, &end);
        testing::internal::GetCapturedStderr();
        bool asked = false;
        for (const winapi::dialogs::DialogRecord& r : winapi::dialogs::DialogRecords())
            for (const winapi::dialogs::ControlRecord& c : r.controls)
                asked = asked || c.textUtf8.find("ゲームを終了しますか？") != std::string::npos;
        winapi::dialogs::ClearDialogScripts();
        EXPECT_EQ(0, code);
        EXPECT_EQ(0, end);
        EXPECT_TRUE(asked);
    }
    winapi::sdl_testing::SetNoMessageBoxes(false);
    winapi::SetHost(std::make_unique<winapi::HeadlessHost>());
}

namespace {

// Native 812: counts the frames; at the last one it looks at what the headless host holds and
// closes the window.
constexpr int kLongRunFrames = 100000;
int g_longRunFrames = 0;
size_t g_heldPresents = 0;
size_t g_recordedSamples = 0;
uint32_t CountFrames(SobNativeArgs&)
{
    if (++g_longRunFrames == kLongRunFrames) {
        HWND main = g_pTheGameApp->GetMainWindow();
        g_heldPresents = winapi::CurrentHeadlessHost()->HeldPresentRecords(main);
        g_recordedSamples = winapi::DsoundRecorded().samples.size();
        winapi::HostCloseRequest(main);
    }
    return 0;
}

} // namespace

// A game that never ends on the headless host holds its memory flat: over 100,000 virtual frames
// the host keeps only the newest presents' rectangles and, unless asked, none of the mixed audio
// (it kept both for the whole run, 176 KB a virtual second of audio alone).
TEST(FrameLoop, AnEndlessHeadlessGameHoldsItsMemoryFlat)
{
    auto* host = winapi::CurrentHeadlessHost();
    for (uint8_t thread : {0, 1}) {
        SCOPED_TRACE(thread ? "threaded" : "single-threaded");
        ScriptGame game(thread);
        game.natives = {WaitWhileClosing, AskTwice, CloseTheWindow, CountFrames};
        game.Module("MAIN", "loop: ncall native 812, args, res\nyield\njmp loop\n.data\nargs: .word 0\n"
                            "res: .word 1\n");
        g_longRunFrames = 0;
        g_heldPresents = g_recordedSamples = SIZE_MAX;
        winapi::DsoundKeepRecording(false);
        host->QueueMessageBoxAnswers({IDYES});
        int frames = 0, end = 0;
        const int code = game.Run(&frames, &end, 600);
        winapi::DsoundKeepRecording(true);
        EXPECT_EQ(0, code);
        EXPECT_EQ(0, end);
        EXPECT_GE(g_longRunFrames, kLongRunFrames);
        EXPECT_LE(g_heldPresents, winapi::HeadlessHost::kMaxPresentRecords);
        EXPECT_EQ(0u, g_recordedSamples);
    }
}

// Message dialogs asked from the game thread (or the single thread) through 0x9009: Yes/No gives
// the answer, an OK dialog 1, and the host's box leaves "do not show again" unticked.
TEST(FrameLoop, MessageDialogRequests)
{
    auto* host = winapi::CurrentHeadlessHost();
    for (uint8_t thread : {0, 1}) {
        SCOPED_TRACE(thread ? "threaded" : "single-threaded");
        ScriptGame game(thread);
        game.natives = {WaitWhileClosing, AskTwice};
        game.Module("MAIN", "ncall native 810, args, res\nret\n.data\nargs: .word 0\nres: .word 1\n");
        g_dialogAnswers.clear();
        const size_t before = host->MessageBoxes().size();
        host->QueueMessageBoxAnswers({IDNO, IDOK});
        int frames = 0, end = 0;
        EXPECT_EQ(0, game.Run(&frames, &end));
        EXPECT_EQ((std::vector<int>{0, 1, 0}), g_dialogAnswers);
        const auto boxes = host->MessageBoxes();
        ASSERT_EQ(before + 2, boxes.size());
        EXPECT_EQ("続けますか？", boxes[before].text);
        EXPECT_EQ(static_cast<UINT>(MB_YESNO), boxes[before].type & 0xFu);
        EXPECT_EQ("保存しました", boxes[before + 1].text);
        EXPECT_EQ(static_cast<UINT>(MB_OK), boxes[before + 1].type & 0xFu);
    }
}

// The frame loop runs the two schedulers: the task list on its passes, the object manager once a
// shown frame; in both modes.
TEST(FrameLoop, RunsTheTaskListAndTheObjectManager)
{
    struct CountingTask : CTimedTask {
        std::atomic<int>* steps;
        explicit CountingTask(std::atomic<int>* s) : steps(s) {}
        int32_t GetKind() override { return 1; }
        int32_t Step(uint32_t) override
        {
            ++*steps;
            return 0;
        }
    };
    std::atomic<int> tasks{0}, objects{0};
    for (uint8_t thread : {0, 1}) {
        SCOPED_TRACE(thread ? "threaded" : "single-threaded");
        ScriptGame game(thread);
        game.Module("MAIN", "yield\nyield\nyield\nyield\nyield\nret\n");
        tasks = objects = 0;
        AfterDevicesApp app([&](CGameApp&) {
            g_pTaskList->Add(new CountingTask(&tasks), 0, 0, 0);
            g_pObjectManager->Add(new CountingTask(&objects), 0, 0, 0);
        });
        int frames = 0, end = 0;
        EXPECT_EQ(0, game.Run(app, &frames, &end));
        EXPECT_GE(objects.load(), 5) << "a step a shown frame";
        EXPECT_GE(tasks.load(), objects.load()) << "the task list runs on every pass";
    }
}

// Lower and Restore nest; they target the calling thread when the game has no game thread; the
// keep-priority flag and an unmatched Restore change nothing.
TEST(ThreadPriority, NestsOnTheCallingThreadWithoutAGameThread)
{
    EXPECT_EQ(-1, LowerThreadPriority()) << "no application";
    CGameApp app;
    struct Step {
        int (*call)();
        int result;
        int priority;
    };
    const Step steps[] = {
        {LowerThreadPriority, 0, THREAD_PRIORITY_LOWEST},
        {LowerThreadPriority, 1, THREAD_PRIORITY_LOWEST},
        {RestoreThreadPriority, 1, THREAD_PRIORITY_LOWEST},
        {RestoreThreadPriority, 0, THREAD_PRIORITY_NORMAL},
        {RestoreThreadPriority, -1, THREAD_PRIORITY_NORMAL},  // unmatched: the count stays 0
        {LowerThreadPriority, 0, THREAD_PRIORITY_LOWEST},     // so the next Lower lowers
        {RestoreThreadPriority, 0, THREAD_PRIORITY_NORMAL},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        EXPECT_EQ(steps[i].result, steps[i].call()) << "step " << i;
        EXPECT_EQ(steps[i].priority, GetThreadPriority(GetCurrentThread())) << "step " << i;
        EXPECT_EQ(steps[i].priority == THREAD_PRIORITY_LOWEST, IsThreadPriorityLowered()) << "step " << i;
    }
    app.UserBlock()[kUserKeepPriority] = 1;
    EXPECT_EQ(-1, LowerThreadPriority());
    EXPECT_FALSE(IsThreadPriorityLowered());
    EXPECT_EQ(-1, RestoreThreadPriority());
    EXPECT_EQ(THREAD_PRIORITY_NORMAL, GetThreadPriority(GetCurrentThread()));
}

// Lowered before the game starts: single-threaded the UI thread is lowered (0); with a game thread
// that does not run yet nothing is (2), the count rises all the same. Either way the frame loop
// draws between frames and still waits, so the game ends on the virtual clock; the start-up
// installs the two operations as the display layer's hooks and the application removes them.
TEST(ThreadPriority, LoweredLoopStillWaitsAndEndsInBothModes)
{
    int lowered = 99;
    bool hooked = false;
    for (uint8_t thread : {0, 1}) {
        SCOPED_TRACE(thread ? "threaded" : "single-threaded");
        ScriptGame game(thread);
        game.Module("MAIN", "yield\nyield\nyield\nyield\nyield\nret\n");
        {
            AfterDevicesApp app([&](CGameApp&) {
                hooked = g_pfnLowerThreadPriority != nullptr && g_pfnRestoreThreadPriority != nullptr;
                lowered = LowerThreadPriority();
            });
            int frames = 0, end = 0;
            EXPECT_EQ(0, game.Run(app, &frames, &end));
            EXPECT_EQ(6, frames);
            EXPECT_TRUE(hooked);
            EXPECT_EQ(thread ? 2 : 0, lowered);
            EXPECT_TRUE(IsThreadPriorityLowered());
            EXPECT_EQ(thread ? THREAD_PRIORITY_NORMAL : THREAD_PRIORITY_LOWEST, GetThreadPriority(GetCurrentThread()));
            EXPECT_EQ(thread ? 2 : 0, RestoreThreadPriority()) << "the game thread has ended";
            EXPECT_EQ(THREAD_PRIORITY_NORMAL, GetThreadPriority(GetCurrentThread()));
        }
        EXPECT_EQ(nullptr, g_pfnLowerThreadPriority);
        EXPECT_EQ(nullptr, g_pfnRestoreThreadPriority);
    }
}

namespace {

std::atomic<bool> g_jobAsked{false};

// Native 809: asks the user-interface thread for the save dialog and returns once that waits for
// its job, so that the script ends and the game thread stops with the job not taken.
uint32_t AskForTheSaveDialog(SobNativeArgs&)
{
    g_pTheGameApp->PostWindowCommand(kCmdSave);
    for (int i = 0; i < 500 && !g_jobAsked; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return 0;
}

} // namespace

// A job handed to a game thread that stops without taking it answers -1 and never runs (it would
// have run on a host already gone).
TEST(FrameLoop, AGameJobAnswersMinusOneWhenTheGameThreadStops)
{
    ScriptGame game(1);
    game.natives = {AskForTheSaveDialog};
    game.Module("MAIN", "ncall native 4, g1, res\nncall native 809, none, res\nret\n.data\n"
                        "g1: .word 8, 1\nnone: .word 0\nres: .word 0\n");
    g_jobAsked = false;
    CGameApp app;
    bool ran = false;
    int answer = 7;
    app.SetSaveLoadDialog([&](HWND, bool) {
        g_jobAsked = true;
        answer = app.RunGameJob([&] {
            ran = true;
            return 0;
        });
    });
    int frames = 0, end = 0;
    EXPECT_EQ(0, game.Run(app, &frames, &end));
    EXPECT_TRUE(g_jobAsked);
    EXPECT_EQ(answer, -1);
    EXPECT_FALSE(ran);
}
