// Helpers shared by the natives: surfaces behind surface objects, the clipboard as the headless
// host records it, the load-file name and the numbered music player's choice of files.
#include <gtest/gtest.h>

#include <algorithm>

#include "display/surface_sprite.h"
#include "natives/script_helpers.h"
#include "platform/timer_manager.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "../sound/sound_support.h"
#include "sound/sound_fade_tasks.h"
#include "support/test_game_app.h"
#include "winapi/host_headless.h"
#include "winapi/text.h"
#include "winapi/user.h"

using namespace hosttest;

TEST(ScriptHelpers, SurfaceImageCanvasAndSceneByKind)
{
    CImage image;
    ASSERT_EQ(image.Create(4, 4, 32, 0), 0);
    CSurfaceSprite sprite;
    CSurfaceSprite10 sprite10;
    EXPECT_EQ(GetSurfaceImage(&image), &image);
    EXPECT_EQ(GetSurfaceCanvas(&image), nullptr);
    EXPECT_EQ(GetSurfaceImage(nullptr), nullptr);
    for (CSurfaceSprite* s : {&sprite, static_cast<CSurfaceSprite*>(&sprite10)}) {
        EXPECT_EQ(GetSurfaceCanvas(s), static_cast<CImageObject*>(s));
        EXPECT_EQ(GetSurfaceImage(s), static_cast<CImageObject*>(s)->GetImage());
        CScene* scene = reinterpret_cast<CScene*>(1);
        EXPECT_EQ(GetSurfaceCanvasAndScene(s, &scene), static_cast<CImageObject*>(s));
        EXPECT_EQ(scene, static_cast<CImageObject*>(s)->GetScene());
        EXPECT_EQ(GetSurfaceScene(s), scene);
    }
}

TEST(ScriptHelpers, ClipboardGetsTheTextAsUtf8)
{
    auto* host = dynamic_cast<winapi::HeadlessHost*>(&winapi::CurrentHost());
    ASSERT_NE(host, nullptr);
    const size_t before = host->ClipboardTexts().size();
    const std::string text = winapi::Sjis("コピー");
    EXPECT_EQ(CopyTextToClipboard(text.c_str(), 0), 0);           // with its NUL
    EXPECT_EQ(CopyTextToClipboard(text.c_str(), 2), 0);           // one character
    EXPECT_EQ(CopyTextToClipboard(nullptr, 0), 1);
    const std::vector<std::string> texts = host->ClipboardTexts();
    ASSERT_EQ(texts.size(), before + 2);
    EXPECT_EQ(texts[before], "コピー");
    EXPECT_EQ(texts[before + 1], "コ");
    // The clipboard refuses a second open and data while closed.
    EXPECT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr));
    EXPECT_TRUE(CloseClipboard());
    EXPECT_EQ(SetClipboardData(CF_TEXT, nullptr), nullptr);
    SetLoadFileName("SAVE01");
    EXPECT_EQ(g_LoadFileName, "SAVE01");
    SetLoadFileName(nullptr);
    EXPECT_EQ(g_LoadFileName, "");
}

TEST(ScriptHelpers, MusicByNumberChoosesItsFiles)
{
    HostFixture f;
    f.dir.Write("BGM/BGM03.OGG", "x");
    CScriptHost& host = f.Start();
    CSoundPlayer& sound = host.SoundPlayer();
    sound.SetEnableMask(0, false); // silent: the names are kept without opening the files
    g_CurrentBgmNumber = 0;
    PlayBgmByNumber(3, 0, 1);
    EXPECT_EQ(g_CurrentBgmNumber, 3);
    EXPECT_NE(sound.GetActiveSlot()->main.find("BGM03.OGG"), std::string::npos) << sound.GetActiveSlot()->main;
    EXPECT_TRUE(sound.GetActiveSlot()->intro.empty());
    PlayBgmByNumber(4, 0, 1); // no single file: the loop with its intro
    EXPECT_EQ(sound.GetActiveSlot()->main, "BGM\\BGM04B.OGG");
    EXPECT_EQ(sound.GetActiveSlot()->intro, "BGM\\BGM04A.OGG");
    PlayBgmByNumber(4, 0, 1); // the same number: nothing
    EXPECT_EQ(g_CurrentBgmNumber, 4);
    EXPECT_EQ(PlayBgmByNumber(0, 0, 0), 0);
    EXPECT_EQ(g_CurrentBgmNumber, 0);
    EXPECT_EQ(PlayBgmByNumber(0, 0, 0), 0); // 0 twice stops twice
    EXPECT_FALSE(sound.IsMusicPlaying());
}

namespace {

// The host over the headless mixer: counter files stand for the music, each of its own length.
class HostSound : public soundtest::SoundTest {
protected:
    static std::string Piece(uint32_t ms, uint32_t start)
    {
        soundtest::Counter c;
        c.frames = ms * 441 / 10;
        c.start = start;
        return soundtest::CounterFile(c);
    }
    // The frame's task list stepped millisecond by millisecond.
    static void RunTasks(CTimerManager& tasks, int ms)
    {
        for (int i = 0; i < ms; ++i) {
            winapi::AdvanceVirtualClock(1);
            tasks.RunDue(0);
        }
    }
};

} // namespace

TEST_F(HostSound, MusicByNumberPlaysTheChosenFileOnTheMixer)
{
    HostFixture f;
    f.dir.Write("BGM/BGM03.OGG", Piece(3000, 100));
    f.dir.Write("BGM/BGM04A.OGG", Piece(500, 2000));
    f.dir.Write("BGM/BGM04B.OGG", Piece(2000, 9000));
    f.app.hasTaskList = false; // no task list: changes happen at once
    CScriptHost& host = f.Start();
    CSoundPlayer& sound = host.SoundPlayer();
    g_CurrentBgmNumber = 0;
    struct Case {
        int32_t number;
        int result;
        const char* main;
        const char* intro;
        uint32_t lengthMs;
    };
    const Case cases[] = {
        {3, 0, "BGM03.OGG", "", 3000},
        {4, 0, "BGM\\BGM04B.OGG", "BGM\\BGM04A.OGG", 2500}, // the intro, then the loop
        {5, 1, "", "", 0}, // neither the piece nor its parts: the open failed
    };
    for (const Case& c : cases) {
        winapi::DsoundClearRecorded();
        EXPECT_EQ(PlayBgmByNumber(c.number, 0, 1), c.result) << c.number;
        Run(200);
        const std::vector<int16_t> mix = Mixed();
        const bool sounded = std::any_of(mix.begin(), mix.end(), [](int16_t v) { return v != 0; });
        EXPECT_EQ(sound.IsMusicPlaying(), c.result == 0) << c.number;
        EXPECT_EQ(sounded, c.result == 0) << c.number;
        if (c.result != 0)
            continue;
        const CMusicSlot* slot = sound.GetActiveSlot();
        EXPECT_NE(slot->main.find(c.main), std::string::npos) << slot->main;
        EXPECT_EQ(slot->intro, c.intro);
        EXPECT_EQ(sound.GetActiveSlot()->stream.GetLengthMs(), c.lengthMs) << c.number;
    }
    EXPECT_EQ(PlayBgmByNumber(0, 0, 0), 0);
    EXPECT_FALSE(sound.IsMusicPlaying());
}

TEST_F(HostSound, MusicFadesRunOnTheFramesTaskList)
{
    HostFixture f;
    f.dir.Write("BGM/BGM01.OGG", Piece(3000, 100));
    f.dir.Write("BGM/BGM02.OGG", Piece(3000, 500));
    CScriptHost& host = f.Start();
    CSoundPlayer& sound = host.SoundPlayer();
    g_CurrentBgmNumber = 0;
    EXPECT_EQ(PlayBgmByNumber(1, 300, 1), 0); // nothing played before: a fade-in
    EXPECT_NE(f.app.tasks.FindKind(kMusicFadeKind), nullptr);
    EXPECT_EQ(PlayBgmByNumber(2, 300, 1), 0); // a cross-fade from the first
    EXPECT_NE(f.app.tasks.FindKind(kMusicCrossFadeKind), nullptr);
    RunTasks(f.app.tasks, 400);
    EXPECT_NE(sound.GetActiveSlot()->main.find("BGM02.OGG"), std::string::npos);
    EXPECT_EQ(PlayBgmByNumber(0, 300, 0), 0); // a fade-out
    EXPECT_NE(f.app.tasks.FindKind(kMusicFadeKind), nullptr);
    RunTasks(f.app.tasks, 400);
    EXPECT_FALSE(sound.IsMusicPlaying());
}

TEST_F(HostSound, DuckTaskLowersTheMusicByTheRatioOrTheSetting)
{
    HostFixture f;
    f.dir.Write("BGM/BGM01.OGG", Piece(5000, 100));
    f.dir.Write("VOICE/V.OGG", Piece(5000, 300));
    CScriptHost& host = f.Start();
    CSoundPlayer& sound = host.SoundPlayer();
    ASSERT_EQ(sound.SetChannelCount(2), 0);
    struct Case {
        const char* ratio;
        int32_t setting;
        int result;
        int32_t low; // the music scale once lowered
    };
    const Case cases[] = {
        {"0.25", 0, 0, 64},
        {nullptr, 30, 0, 76},
        {nullptr, 50, 0, 128}, // 50 is the half the task picks itself
        {"1.5", 0, 1, 256},    // a ratio that would not lower: refused
    };
    for (const Case& c : cases) {
        g_CurrentBgmNumber = 0;
        sound.StopMusic();
        sound.SetMusicVolume(-1, 256, true);
        ASSERT_EQ(PlayBgmByNumber(1, 0, 1), 0);
        ASSERT_EQ(sound.SetChannelSound(1, "VOICE\\V.OGG", 0, false), 0);
        ASSERT_EQ(sound.StartChannel(1, false), 0);
        EXPECT_EQ(StartBgmDuckTask(1, c.ratio, c.setting), c.result) << (c.ratio ? c.ratio : "setting");
        RunTasks(f.app.tasks, 600);
        EXPECT_EQ(sound.GetMusicScale(), c.low) << (c.ratio ? c.ratio : "setting");
        sound.CancelDucking();
        sound.StopChannel(1);
    }
}

namespace {

std::vector<std::pair<UINT, WPARAM>> g_sent;

LRESULT CALLBACK RecordProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND || message == WM_CLOSE || message == 0x9009) {
        g_sent.emplace_back(message, wParam);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

TEST(ScriptHelpers, SystemMenuCommandsPostedAndSentAsATable)
{
    CTestGameApp app;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RecordProc;
    wc.lpszClassName = "MenuCommands";
    RegisterClassExA(&wc);
    app.window = CreateWindowExA(0, "MenuCommands", "main", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(app.window, nullptr);
    struct Case {
        uint8_t request;
        uint32_t command;
        UINT message;
        WPARAM wParam;
    };
    const Case cases[] = {
        {0, 0, WM_COMMAND, 40005}, {1, 0, WM_COMMAND, 40007}, {2, 0, WM_COMMAND, 40008}, {3, 0, WM_CLOSE, 0},
        {4, 0, WM_COMMAND, 40001}, {5, 0, WM_COMMAND, 40004}, {6, 0, WM_COMMAND, 40002}, {7, 77, 0x9009, 77},
    };
    for (const Case& c : cases) {
        // Posted: it waits in the queue.
        EXPECT_EQ(PostSystemMenuCommand(c.request, false, c.command), 1) << int(c.request);
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, app.window, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, c.message);
        EXPECT_EQ(msg.wParam, c.wParam);
        // Sent: the procedure ran before the answer, between the pause and the resume.
        g_sent.clear();
        app.calls.clear();
        EXPECT_EQ(PostSystemMenuCommand(c.request, true, c.command), 1);
        ASSERT_EQ(g_sent.size(), 1u);
        EXPECT_EQ(g_sent[0], std::make_pair(c.message, c.wParam));
        EXPECT_EQ(app.calls, (std::vector<std::string>{"Pause", "Resume"}));
    }
    // Refusals: a clear menu flag, no window mode, command 0, a request above 7.
    app.menuFlags[2] = false;
    app.windowMode = false;
    EXPECT_EQ(PostSystemMenuCommand(2, false, 0), 0);
    EXPECT_EQ(PostSystemMenuCommand(4, false, 0), 0);
    EXPECT_EQ(PostSystemMenuCommand(7, false, 0), 0);
    EXPECT_EQ(PostSystemMenuCommand(8, false, 0), 0);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, app.window, 0, 0, PM_REMOVE));
    DestroyWindow(app.window);
}

namespace {

struct IdleTask : CTimedTask {
    int32_t GetKind() override { return 4242; }
    int32_t Step(uint32_t) override { return 0; }
};

} // namespace

// FindObject is the object manager's FindKind; RemoveObject reads the handle in a script cell,
// clears the cell and cancels the task, for a live, a stale and a null cell.
TEST(ScriptHelpers, FindAndRemoveTheObjectManagersTasks)
{
    HostFixture f;
    CScriptHost& host = f.Start();
    EXPECT_EQ(FindObject(4242), nullptr); // no manager
    CTimerManager manager;
    g_pObjectManager = &manager;
    auto* task = new IdleTask;
    ASSERT_EQ(manager.Add(task, 0, 0, 0), 0u);
    EXPECT_EQ(FindObject(4242), task);
    EXPECT_EQ(FindObject(4243), nullptr);
    const uint32_t handle = host.ObjectHandle(static_cast<CTimedTask*>(task));
    const uint32_t cell = host.Memory().Allocate(4);
    struct Case {
        const char* name;
        uint32_t held;      // what the cell holds before
        uint32_t address;   // the cell's address given
        int result;
    };
    const Case cases[] = {
        {"live task", handle, cell, 1},
        {"the same handle again: stale", handle, cell, 0},
        {"a word naming nothing", 0x12345, cell, 0},
        {"null address", 7, 0, 0},
        {"outside memory", 7, 0xFFFFFFF0, -1},
    };
    for (const Case& c : cases) {
        host.Memory().Store32(cell, c.held);
        EXPECT_EQ(RemoveObject(host, c.address), c.result) << c.name;
        uint32_t now = 1;
        host.Memory().Load32(cell, &now);
        EXPECT_EQ(now, c.address == cell ? 0u : c.held) << c.name;
        manager.RunDue(1);
    }
    EXPECT_EQ(FindObject(4242), nullptr);
    EXPECT_EQ(manager.GetCount(), 0u);
    g_pObjectManager = nullptr;
}
