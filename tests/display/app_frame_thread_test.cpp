// CAppFrame's two threading modes with a game that runs frames and ends, and the single-instance
// rule across processes (the end-to-end game program is the other copy).
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>

#include "frame_test_game.h"
#include "winapi/host_headless.h"

extern char** environ;

namespace {

int IndexOf(const std::vector<std::string>& log, const std::string& name)
{
    auto at = std::find(log.begin(), log.end(), name);
    return at == log.end() ? -1 : static_cast<int>(at - log.begin());
}

class CallbackHandler : public CMessageHandler {
public:
    explicit CallbackHandler(std::function<uint32_t(CWindowMessage*)> call) : m_call(std::move(call)) {}
    uint32_t Invoke(CWindowMessage* m) override { return m_call(m); }

private:
    std::function<uint32_t(CWindowMessage*)> m_call;
};

TEST(FrameThreads, ThreadedCloseStopsTheThreadWhichEndsTheWindow)
{
    FrameTestScreen screen;
    FrameTestGame game(&screen);
    game.configure = [](AppFrameOptions& o) { o.gameThread = 1; };
    std::atomic<bool> closeSent{false};
    std::atomic<bool> windowAliveAfterClose{false};
    game.onFrame = [&](FrameTestGame& g) {
        if (g.frames == 3 && !closeSent) {
            closeSent = true;
            // WM_CLOSE only asks the thread to stop: the window is still there afterwards.
            SendMessageA(g.GetMainWindow(), WM_CLOSE, 0, 0);
            windowAliveAfterClose = IsWindow(g.GetMainWindow()) != FALSE;
        }
    };
    EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), 0);
    EXPECT_TRUE(windowAliveAfterClose);
    auto log = screen.Log();
    EXPECT_LT(IndexOf(log, "OnThreadStart"), IndexOf(log, "OnThreadEnd"));
    EXPECT_LT(IndexOf(log, "OnThreadEnd"), IndexOf(log, "ReleaseDevice"));
    EXPECT_GE(game.frames, 3);
}

TEST(FrameThreads, AFailingThreadStartStillEndsTheWindowWithoutThreadEnd)
{
    FrameTestScreen screen;
    FrameTestGame game(&screen);
    game.configure = [](AppFrameOptions& o) { o.gameThread = 1; };
    game.failing.insert("OnThreadStart");
    EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), 0);
    auto log = screen.Log();
    EXPECT_GE(IndexOf(log, "OnThreadStart"), 0);
    EXPECT_EQ(IndexOf(log, "OnThreadEnd"), -1);
    EXPECT_EQ(game.frames, 0);
}

// The game's own handler destroys the window while the thread runs: the thread is stopped (and
// its last send answered) before the display it draws on is released.
TEST(FrameThreads, AWindowDestroyedByTheGameStopsTheThreadBeforeTheScreenGoes)
{
    FrameTestScreen screen;
    FrameTestGame game(&screen);
    game.configure = [](AppFrameOptions& o) { o.gameThread = 1; };
    game.GetMainWindowObject().SetMessageHandler(WM_USER + 7, new CallbackHandler([](CWindowMessage* m) {
        DestroyWindow(m->GetWindowHandle());
        return 0u;
    }));
    std::atomic<bool> posted{false};
    game.onFrame = [&](FrameTestGame& g) {
        if (!posted.exchange(true))
            PostMessageA(g.GetMainWindow(), WM_USER + 7, 0, 0);
    };
    EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), 0);
    auto log = screen.Log();
    ASSERT_GE(IndexOf(log, "OnThreadEnd"), 0);
    EXPECT_LT(IndexOf(log, "OnThreadEnd"), IndexOf(log, "ReleaseDevice"));
}

TEST(FrameThreads, SingleThreadedRunsFramesAndCloseDestroysTheWindow)
{
    FrameTestScreen screen;
    FrameTestGame game(&screen);
    game.onFrame = [&](FrameTestGame& g) {
        if (g.frames == 4)
            PostMessageA(g.GetMainWindow(), WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), 0);
    EXPECT_GE(game.frames, 4);
    EXPECT_FALSE(game.HasMessageLoop());
    EXPECT_GT(screen.Presents(), 3);
}

// --- single instance across processes ---

pid_t StartGame(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    const std::string program = TESSARO_BINARY_DIR "/tests/display/tessaro_frame_game";
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    setenv("TESSARO_HOST", "headless", 1);
    pid_t pid = -1;
    posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    return pid;
}

int WaitExit(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string UniqueGameName()
{
    return "FrameGame" + std::to_string(getpid()) + "_" + std::to_string(std::rand());
}

TEST(FrameInstances, ASecondCopyEndsWithThreeWithoutAWindow)
{
    const std::string name = UniqueGameName();
    pid_t first = StartGame({"single", "--hold", "1500", "--name", name});
    ASSERT_GT(first, 0);
    // The first copy holds the mutex once its window shows; give it that long.
    usleep(700 * 1000);
    pid_t second = StartGame({"single", "--hold", "10", "--name", name});
    ASSERT_GT(second, 0);
    EXPECT_EQ(WaitExit(second), 3);
    EXPECT_EQ(WaitExit(first), 0);
}

TEST(FrameInstances, TwoStartedTogetherExactlyOneRuns)
{
    const std::string name = UniqueGameName();
    pid_t a = StartGame({"threaded", "--hold", "500", "--name", name});
    pid_t b = StartGame({"threaded", "--hold", "500", "--name", name});
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    std::vector<int> codes = {WaitExit(a), WaitExit(b)};
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<int>{0, 3}));
}

} // namespace
