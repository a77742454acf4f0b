// CAppFrame start-up and exit: every failing step of Init answers its code and message, Exit
// releases only what exists and in order, the display-error state, the system switches.
#include <gtest/gtest.h>

#include <algorithm>

#include "display/canvas_surface.h"
#include "frame_test_game.h"
#include "platform/cpu_info.h"
#include "winapi/host_headless.h"
#include "winapi/kernel.h"
#include "winapi/simd_level.h"
#include "winapi/text.h"

namespace {

winapi::HeadlessHost& Host()
{
    winapi::CurrentHost();
    return *winapi::CurrentHeadlessHost();
}

class FrameInit : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        Host().SetDisplays({winapi::DisplayInfo{}});
        m_boxesBefore = Host().MessageBoxes().size();
    }
    void TearDown() override { Host().SetDisplays({winapi::DisplayInfo{}}); }
    std::vector<winapi::HeadlessHost::MessageBoxRecord> NewBoxes()
    {
        auto all = Host().MessageBoxes();
        return {all.begin() + static_cast<long>(m_boxesBefore), all.end()};
    }
    size_t m_boxesBefore = 0;
};

int IndexOf(const std::vector<std::string>& log, const std::string& name)
{
    auto at = std::find(log.begin(), log.end(), name);
    return at == log.end() ? -1 : static_cast<int>(at - log.begin());
}

struct InitFault {
    const char* name;
    std::function<void(FrameTestGame&, FrameTestScreen&)> arrange;
    int code;
    const char* text;  // null: no box
    UINT icon;
};

// The stop message of a failed screen-mode switch names the code (the device's 4, plus 1).
const InitFault kFaults[] = {
    {"SetAppInfo", [](FrameTestGame& g, FrameTestScreen&) { g.failing.insert("SetAppInfo"); }, 1, nullptr, 0},
    {"ScreenSizeZero", [](FrameTestGame& g, FrameTestScreen&) { g.configure = [](AppFrameOptions& o) { o.screenWidth = 0; }; },
     1, nullptr, 0},
    {"ScreenTooLarge",
     [](FrameTestGame& g, FrameTestScreen&) { g.configure = [](AppFrameOptions& o) { o.screenHeight = 8193; }; }, 1,
     nullptr, 0},
    {"SecondInstance",
     [](FrameTestGame& g, FrameTestScreen&) { g.configure = [](AppFrameOptions& o) { o.singleInstance = 1; }; }, 3,
     nullptr, 0},
    {"EightBitDesktop",
     [](FrameTestGame& g, FrameTestScreen&) {
         winapi::DisplayInfo d;
         d.bitsPerPixel = 8;
         Host().SetDisplays({d});
         g.configure = [](AppFrameOptions& o) { o.screenModes = 0; };
     },
     5, "画面モードをHighColor(16bit)以上にして起動して下さい", MB_ICONINFORMATION},
    {"WindowTooLarge",
     [](FrameTestGame& g, FrameTestScreen&) {
         g.configure = [](AppFrameOptions& o) { o.screenModes = 0, o.screenWidth = 4000, o.screenHeight = 3000; };
     },
     5, "画面解像度を現在の設定より大きくして起動して下さい", MB_ICONINFORMATION},
    {"NoDisplayDevicesFullScreenOnly",
     [](FrameTestGame& g, FrameTestScreen& s) {
         s.fail.insert("EnumDisplayDevices");
         g.configure = [](AppFrameOptions& o) { o.screenModes = 1; };
     },
     5, "ディスプレイデバイスの情報を取得できません。", MB_ICONSTOP},
    {"ReportNotCreatable",
     [](FrameTestGame& g, FrameTestScreen&) {
         g.logFolder = "Z:\\no\\such\\folder\\";
         g.configure = [](AppFrameOptions& o) { o.writeReport = 1, o.reportInProgramFolder = 0; };
     },
     6, "ログファイルの作成に失敗", MB_ICONSTOP},
    {"DisplayCanvas", [](FrameTestGame&, FrameTestScreen& s) { s.fail.insert("CreateSurfaceSprite"); }, 7,
     "ディスプレイキャンバスの作成に失敗", MB_ICONSTOP},
    {"OnBeforeCreateWindow", [](FrameTestGame& g, FrameTestScreen&) { g.failing.insert("OnBeforeCreateWindow"); }, 8,
     nullptr, 0},
    {"WindowClassTaken",
     [](FrameTestGame&, FrameTestScreen&) {
         WNDCLASSEXA wc{};
         wc.cbSize = sizeof wc;
         wc.lpfnWndProc = DefWindowProcA;
         wc.lpszClassName = "FrameTestGame";
         RegisterClassExA(&wc);
     },
     11, "ウィンドウの作成に失敗", MB_ICONSTOP},
    {"ScreenModeTwice", [](FrameTestGame&, FrameTestScreen& s) { s.fail.insert("CreateDisplay(window)"); }, 12,
     "画面の初期化に失敗 : 5", MB_ICONSTOP},
    {"OnDevicesReady", [](FrameTestGame& g, FrameTestScreen&) { g.failing.insert("OnDevicesReady"); }, 13, nullptr,
     0},
};

TEST_F(FrameInit, EachFailingStepAnswersItsCodeAndMessageAndExitReleasesWhatExists)
{
    for (const InitFault& fault : kFaults) {
        SCOPED_TRACE(fault.name);
        Host().SetDisplays({winapi::DisplayInfo{}});
        m_boxesBefore = Host().MessageBoxes().size();
        FrameTestScreen screen;
        HANDLE heldMutex = nullptr;
        {
            FrameTestGame game(&screen);
            if (std::string(fault.name) == "SecondInstance")
                heldMutex = CreateMutexA(nullptr, TRUE, "Ravelkit DXFrameTestGame");
            fault.arrange(game, screen);
            EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), fault.code);
            EXPECT_FALSE(game.GetMainWindowObject().IsValid());
        }
        UnregisterClassA("FrameTestGame", nullptr);
        if (heldMutex != nullptr)
            CloseHandle(heldMutex);
        auto boxes = NewBoxes();
        if (fault.text == nullptr) {
            EXPECT_TRUE(boxes.empty());
        } else {
            // A failed switch also leaves the display-error state, which Exit reports.
            ASSERT_EQ(boxes.size(), fault.code == 12 ? 2u : 1u);
            EXPECT_EQ(boxes[0].text, fault.text);
            EXPECT_EQ(boxes[0].caption, "FrameTestGame");
            EXPECT_EQ(boxes[0].type, fault.icon | MB_OK | MB_SYSTEMMODAL | MB_SETFOREGROUND);
        }
        // Exit runs whole, in its order; the display goes before the windows and the settings.
        auto log = screen.Log();
        const int onExit = IndexOf(log, "OnExit"), device = IndexOf(log, "ReleaseDevice"),
                  surfaces = IndexOf(log, "ReleaseSurfaces"), release = IndexOf(log, "Release"),
                  done = IndexOf(log, "OnExitDone");
        EXPECT_GE(onExit, 0);
        EXPECT_LT(onExit, device);
        EXPECT_LT(device, surfaces);
        EXPECT_LT(surfaces, release);
        EXPECT_LT(release, done);
    }
}

TEST_F(FrameInit, FullScreenOnlyTurnsAWindowRequestIntoTheDefault)
{
    FrameTestScreen screen;
    FrameTestGame game(&screen);
    game.configure = [](AppFrameOptions& o) { o.screenModes = 1, o.requestedMode = 2; };
    game.failing.insert("OnBeforeCreateWindow");
    EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), 8);
    EXPECT_EQ(game.m_options.requestedMode, 0);
}

TEST_F(FrameInit, EnumerationFailureWithBothModesFallsBackToTheWindow)
{
    FrameTestScreen screen;
    screen.fail.insert("EnumDisplayDevices");
    FrameTestGame game(&screen);
    game.configure = [](AppFrameOptions& o) { o.screenModes = 2, o.requestedMode = 1; };
    game.failing.insert("OnDevicesReady");
    EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), 13);
    auto boxes = NewBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "ディスプレイデバイスの情報取得に失敗しました。\nウィンドウモードのみ利用可能です。");
    EXPECT_EQ(boxes[0].type, MB_ICONEXCLAMATION | MB_SYSTEMMODAL | MB_SETFOREGROUND);
    EXPECT_EQ(game.m_options.screenModes, 0);
    EXPECT_EQ(game.m_options.requestedMode, 2);
    EXPECT_EQ(game.m_options.keyOptions & 4, 0);
    EXPECT_EQ(screen.mode, 0);  // released by Exit
    auto log = screen.Log();
    EXPECT_GE(IndexOf(log, "CreateDisplay(window)"), 0);
    EXPECT_EQ(IndexOf(log, "CreateDisplay(full)"), -1);
}

// A first switch that fails and a retry that succeeds: the game runs and no error is reported.
TEST_F(FrameInit, ARetryThatSucceedsLeavesNoDisplayError)
{
    FrameTestScreen screen;
    screen.fail.insert("CreateDisplay(full)");
    FrameTestGame game(&screen);
    game.configure = [](AppFrameOptions& o) { o.requestedMode = 1; };
    game.frameLimit = 2;
    EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), 0);
    EXPECT_EQ(game.GetDisplayError(), 0);
    EXPECT_TRUE(NewBoxes().empty());
    auto log = screen.Log();
    const int full = IndexOf(log, "CreateDisplay(full)"), flags = IndexOf(log, "ClearDisplayFlags"),
              window = IndexOf(log, "CreateDisplay(window)");
    EXPECT_LT(full, flags);
    EXPECT_LT(flags, window);
    EXPECT_EQ(game.frames, 2);
}

TEST_F(FrameInit, ARetryThatFailsToo)
{
    FrameTestScreen screen;
    screen.fail = {"CreateDisplay(full)", "CreateDisplay(window)"};
    FrameTestGame game(&screen);
    game.configure = [](AppFrameOptions& o) { o.requestedMode = 1; };
    EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), 12);
    auto boxes = NewBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "画面の初期化に失敗 : 5");
    EXPECT_EQ(boxes[1].text, "予期せぬエラーが発生したため、強制終了しました。ErrorCode：2");
    EXPECT_EQ(boxes[1].type, MB_ICONSTOP | MB_SYSTEMMODAL | MB_SETFOREGROUND);
}

TEST_F(FrameInit, SystemSwitchesAreTurnedOffAndRestored)
{
    BOOL on = TRUE;
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
    SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, TRUE, nullptr, 0);
    FrameTestScreen screen;
    FrameTestGame game(&screen);
    game.configure = [](AppFrameOptions& o) { o.disableScreenSaver = o.disablePowerSaving = o.keepSystemAwake = 1; };
    bool sawOff = false, hostKeptAway = false;
    DWORD stateDuring = 0;
    game.onFrame = [&](FrameTestGame&) {
        SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &on, 0);
        sawOff = !on;
        hostKeptAway = !Host().ScreenSaverAllowed();
        stateDuring = SetThreadExecutionState(0);
    };
    game.frameLimit = 1;
    EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), 0);
    EXPECT_TRUE(sawOff);
    EXPECT_TRUE(hostKeptAway);
    EXPECT_EQ(stateDuring, 0x80000001u);
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &on, 0);
    EXPECT_TRUE(on);
    SystemParametersInfoA(SPI_GETLOWPOWERACTIVE, 0, &on, 0);
    EXPECT_TRUE(on);
    EXPECT_TRUE(Host().ScreenSaverAllowed());
}

// The global display switch decides, once at start-up, whether canvas images get a device context.
TEST_F(FrameInit, TheGlobalDisplaySwitchChoosesCanvasImagesWithADeviceContext)
{
    for (uint8_t option : {0, 1}) {
        SCOPED_TRACE(int(option));
        g_bCanvasImageDC = option ? 0 : 1;
        FrameTestScreen screen;
        FrameTestGame game(&screen);
        game.configure = [option](AppFrameOptions& o) { o.globalDisplaySwitch = option; };
        game.frameLimit = 1;
        EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), 0);
        EXPECT_EQ(g_bCanvasImageDC, option);
    }
    g_bCanvasImageDC = 0;
}

// The options that forbid SSE2 turn the kernels' SIMD level down to the plain one for the game;
// allowed, the level is the processor's.
TEST_F(FrameInit, ForbiddenSse2LowersTheKernelsSimdLevel)
{
    const CpuInfo facts = g_CpuInfo;
    const SimdLevel before = ActiveSimdLevel();
    for (uint8_t allow : {1, 0}) {
        SCOPED_TRACE(int(allow));
        FrameTestScreen screen;
        FrameTestGame game(&screen);
        SimdLevel during = SimdLevel::Avx2;
        game.configure = [allow](AppFrameOptions& o) { o.allowSse2 = allow; };
        game.onFrame = [&](FrameTestGame&) { during = ActiveSimdLevel(); };
        game.frameLimit = 1;
        EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), 0);
        EXPECT_EQ(during, allow ? MachineSimdLevel() : SimdLevel::Plain);
        g_CpuInfo = facts;
    }
    ForceSimdLevel(before);
}

} // namespace
