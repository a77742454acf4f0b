// CWindowApp: Run's order of Init, the loop and Exit; PumpMessages; accelerators.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/window.h"
#include "platform/window_app.h"
#include "winapi/host_headless.h"

namespace {

struct Call {
    std::string what;
    int code;
};

class TestApp : public CWindowApp {
public:
    explicit TestApp(bool loop, int initCode = 0) : CWindowApp(loop), m_initCode(initCode) {}
    int Init() override
    {
        calls.push_back({"Init", m_initCode});
        return m_initCode;
    }
    void RunNoMessageLoop() override
    {
        calls.push_back({"RunNoMessageLoop", 0});
        PostQuitMessage(9);  // whatever the game loop did, Run answers 0
    }
    void Exit(int code) override { calls.push_back({"Exit", code}); }
    bool PreTranslateMessage(HWND, UINT message, WPARAM, LPARAM, DWORD, LONG, LONG) override
    {
        offered.push_back(message);
        return message == consume;
    }
    std::vector<Call> calls;
    std::vector<UINT> offered;
    UINT consume = 0;

private:
    int m_initCode;
};

std::vector<UINT> g_dispatched;

LRESULT CALLBACK Recorder(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER || message == WM_CHAR || message == WM_COMMAND)
        g_dispatched.push_back(message);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class WindowApp : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_dispatched.clear();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = Recorder;
        wc.lpszClassName = "AppTest";
        RegisterClassExA(&wc);
        hwnd = CreateWindowExA(0, "AppTest", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
        TestApp drain(true);
        drain.PumpMessages(true);
        g_dispatched.clear();
    }
    void TearDown() override { DestroyWindow(hwnd); }
    HWND hwnd = nullptr;
};

TEST_F(WindowApp, FailedInitExitsWithItsCodeWithoutTheLoop)
{
    TestApp app(true, 4);
    PostMessageA(hwnd, WM_USER, 0, 0);
    EXPECT_EQ(app.Run(nullptr, nullptr, nullptr, SW_SHOW), 4);
    ASSERT_EQ(app.calls.size(), 2u);
    EXPECT_EQ(app.calls[1].what, "Exit");
    EXPECT_EQ(app.calls[1].code, 4);
    EXPECT_TRUE(g_dispatched.empty());
}

TEST_F(WindowApp, WithoutMessageLoopRunOnceThenExitZero)
{
    TestApp app(false);
    EXPECT_EQ(app.Run(nullptr, nullptr, nullptr, SW_SHOW), 0);
    ASSERT_EQ(app.calls.size(), 3u);
    EXPECT_EQ(app.calls[1].what, "RunNoMessageLoop");
    EXPECT_EQ(app.calls[2].what, "Exit");
    EXPECT_EQ(app.calls[2].code, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

TEST_F(WindowApp, LoopDispatchesUntilQuitAndConsumedMessagesAreSkipped)
{
    TestApp app(true);
    app.consume = WM_USER + 1;
    PostMessageA(hwnd, WM_USER, 0, 0);
    PostMessageA(hwnd, WM_USER + 1, 0, 0);
    PostMessageA(hwnd, WM_USER + 2, 0, 0);
    PostQuitMessage(0);
    EXPECT_EQ(app.Run(nullptr, nullptr, nullptr, SW_SHOW), 0);
    const std::vector<UINT> expected = {WM_USER, WM_USER + 2};
    EXPECT_EQ(g_dispatched, expected);
    EXPECT_EQ(app.calls.back().what, "Exit");
}

TEST_F(WindowApp, PumpDropsMouseMovesUnseen)
{
    TestApp app(true);
    for (int i = 0; i < 5; ++i)
        PostMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELONG(i, i));
    PostMessageA(hwnd, WM_SETCURSOR, 0, 0);
    PostMessageA(hwnd, WM_NCHITTEST, 0, 0);
    EXPECT_FALSE(app.PumpMessages(false));
    EXPECT_TRUE(app.offered.empty());
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    PostMessageA(hwnd, WM_MOUSEMOVE, 0, 0);
    EXPECT_FALSE(app.PumpMessages(true));
    EXPECT_EQ(app.offered.size(), 1u);
}

TEST_F(WindowApp, PumpStopsAtQuitAndLeavesTheRestQueued)
{
    TestApp app(true);
    PostMessageA(hwnd, WM_USER, 0, 0);
    PostQuitMessage(0);
    InvalidateRect(hwnd, nullptr, FALSE);  // not yet shown: no paint
    ShowWindow(hwnd, SW_SHOWNA);           // now a WM_PAINT waits behind the quit
    EXPECT_TRUE(app.PumpMessages(false));
    EXPECT_TRUE(app.IsQuitting());
    EXPECT_EQ(g_dispatched, std::vector<UINT>{WM_USER});
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    ValidateRect(hwnd, nullptr);
    // A WM_QUIT that PreTranslateMessage consumes does not end the pump.
    TestApp other(true);
    other.consume = WM_QUIT;
    PostQuitMessage(0);
    EXPECT_FALSE(other.PumpMessages(false));
    EXPECT_FALSE(other.IsQuitting());
}

TEST_F(WindowApp, AcceleratorsTranslateForTheAcceleratorWindow)
{
    static const ACCEL entries[] = {{FVIRTKEY, VK_F1, 500}};
    static const winapi::ResourceRow row{winapi::ResourceKind::Accelerators, 77, nullptr, 0, 0, 0, 0, entries, 1};
    winapi::RegisterResources(&row, 1);
    TestApp app(true);
    PostQuitMessage(0);
    app.Run(reinterpret_cast<HINSTANCE>(1), nullptr, nullptr, 0);
    EXPECT_FALSE(app.LoadAccelerators(78));
    ASSERT_TRUE(app.LoadAccelerators(77));
    app.SetAcceleratorWindow(hwnd);
    winapi::HostKey(hwnd, {58, true, false});  // F1
    winapi::HostKey(hwnd, {58, false, false});
    app.PumpMessages(false);
    EXPECT_EQ(g_dispatched, std::vector<UINT>{WM_COMMAND});
}

} // namespace

namespace {

// The threaded mode end to end: a game thread asks the UI thread for a message box and then
// reports its end with a private message; the handler destroys the main window, WM_DESTROY posts
// WM_QUIT and Run's loop ends with 0.
class ThreadedApp : public CWindowApp {
public:
    ThreadedApp() : CWindowApp(true) {}
    int Init() override
    {
        CWindowCreateParams params;
        params.className = "ThreadedMain";
        params.title = "ThreadedMain";
        params.style = WS_POPUP | WS_VISIBLE;
        if (m_window.Create(GetInstance(), &params, nullptr, true, true) != 0)
            return 11;
        m_window.SetMessageHandler(0x9001, MakeMessageHandler(this, &ThreadedApp::OnMessageBoxRequest));
        m_window.SetMessageHandler(0x9005, MakeMessageHandler(this, &ThreadedApp::OnThreadEnded));
        m_game = std::thread([this] {
            answer = static_cast<int>(m_window.SendMessage(0x9001, 0, 0));
            m_window.SendMessage(0x9005, 0, 0);
        });
        return 0;
    }
    void Exit(int code) override
    {
        exitCode = code;
        if (m_game.joinable())
            m_game.join();
    }
    uint32_t OnMessageBoxRequest(CWindowMessage* message)
    {
        message->result = MessageBoxA(m_window.GetHwnd(), "question", nullptr, MB_YESNO);
        return 0;
    }
    uint32_t OnThreadEnded(CWindowMessage*)
    {
        DestroyWindow(m_window.GetHwnd());
        return 0;
    }
    int answer = 0;
    int exitCode = -1;

private:
    CWindow m_window;
    std::thread m_game;
};

TEST(WindowAppThreaded, GameThreadEndsTheLoopThroughTheUiThread)
{
    winapi::CurrentHeadlessHost()->QueueMessageBoxAnswers({IDNO});
    ThreadedApp app;
    EXPECT_EQ(app.Run(nullptr, nullptr, nullptr, SW_SHOW), 0);
    EXPECT_EQ(app.exitCode, 0);
    EXPECT_EQ(app.answer, IDNO);
    EXPECT_EQ(FindWindowA("ThreadedMain", nullptr), nullptr);
    EXPECT_TRUE(UnregisterClassA("ThreadedMain", nullptr));
}

} // namespace
