// CAppFrame's message map, private messages, modal UI and screen-mode switch, on a frame whose
// Init ran on the test thread (the test pumps its messages).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "frame_fixture.h"
#include "winapi/dinput.h"
#include "winapi/host_headless.h"
#include "winapi/text.h"

namespace {

LPARAM Pack(int low, int high)
{
    return static_cast<LPARAM>((static_cast<uint32_t>(high) << 16) | (static_cast<uint32_t>(low) & 0xFFFF));
}

// Fails the test program instead of hanging when a scenario deadlocks.
class Watchdog {
public:
    explicit Watchdog(int seconds)
        : m_thread([this, seconds] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_finished; })) {
                  std::fprintf(stderr, "watchdog: the scenario hung (a deadlock)\n");
                  std::_Exit(1);
              }
          })
    {}
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

class FrameUi : public FrameFixture {
protected:
    size_t Boxes() { return Host().MessageBoxes().size(); }
    // A hidden pop-up window of a class of its own, at (0, 0).
    static HWND PlainWindow(const char* className, int width, int height)
    {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = className;
        RegisterClassExA(&wc);
        return CreateWindowExA(0, className, "", WS_POPUP, 0, 0, width, height, nullptr, nullptr, nullptr, nullptr);
    }
};

// --- message map ---

TEST_F(FrameUi, InputMessagesReachTheInputManager)
{
    Start();
    game->SetCursorPos(10, 10);
    SendMessageA(hwnd, WM_KEYDOWN, VK_RETURN, 0x1C0001);
    SendMessageA(hwnd, WM_SYSKEYDOWN, VK_F1, 0x3B0001);
    SendMessageA(hwnd, WM_LBUTTONDOWN, 0, Pack(10, 10));
    SendMessageA(hwnd, WM_RBUTTONDOWN, 0, Pack(10, 10));
    SendMessageA(hwnd, WM_MOUSEWHEEL, static_cast<WPARAM>(Pack(0, 120)), 0);
    game->GetInput().Poll();
    EXPECT_TRUE(game->GetInput().GetKeyboard()->IsPushed(DIK_RETURN));
    EXPECT_TRUE(game->GetInput().GetKeyboard()->IsPushed(DIK_F1));
    EXPECT_TRUE(game->GetInput().GetMouse()->IsPushed(0));
    EXPECT_TRUE(game->GetInput().GetMouse()->IsPushed(1));
    EXPECT_GT(game->GetInput().GetMouse()->GetWheel(), 0);
    SendMessageA(hwnd, WM_KEYUP, VK_RETURN, 0xC01C0001);
    SendMessageA(hwnd, WM_LBUTTONUP, 0, Pack(10, 10));
    game->GetInput().Poll();
    EXPECT_FALSE(game->GetInput().GetKeyboard()->IsDown(DIK_RETURN));
    EXPECT_FALSE(game->GetInput().GetMouse()->IsDown(0));
}

TEST_F(FrameUi, SetCursorOffTheClientAreaPassesOn)
{
    Start();
    HCURSOR own = LoadCursorA(nullptr, IDC_WAIT);
    game->GetInput().GetMouse()->m_cursor = own;
    SetCursor(nullptr);
    SendMessageA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), Pack(HTCAPTION, WM_MOUSEMOVE));
    EXPECT_NE(GetCursor(), own);
    EXPECT_EQ(SendMessageA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), Pack(HTCLIENT, WM_MOUSEMOVE)), 0);
    EXPECT_EQ(GetCursor(), own);
}

TEST_F(FrameUi, DisplayChangeIsStoredInAWindowAndIgnoredInFullScreen)
{
    Start();
    SendMessageA(hwnd, WM_DISPLAYCHANGE, 24, Pack(1280, 1024));
    EXPECT_EQ(game->GetWindowsInfo().m_bitsPerPixel, 24);
    EXPECT_EQ(game->GetWindowsInfo().m_screenWidth, 1280);
    EXPECT_EQ(game->SwitchScreenMode(1, 32, 0), 0);
    SendMessageA(hwnd, WM_DISPLAYCHANGE, 16, Pack(800, 600));
    EXPECT_EQ(game->GetWindowsInfo().m_bitsPerPixel, 24);
    EXPECT_EQ(game->GetWindowsInfo().m_screenWidth, 1280);
}

TEST_F(FrameUi, ShowCursorMessageShowsAndHidesTheSystemCursor)
{
    Start();
    SendMessageA(hwnd, WM_FRAME_SHOWCURSOR, 0, 0);
    EXPECT_FALSE(Host().CursorVisible());
    SendMessageA(hwnd, WM_FRAME_SHOWCURSOR, 1, 0);
    EXPECT_TRUE(Host().CursorVisible());
}

TEST_F(FrameUi, SingleThreadedCloseDestroysTheWindow)
{
    Start();
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(FrameUi, RequestsFromASecondThreadRunOnTheUiThread)
{
    Watchdog watchdog(20);
    Start();
    Host().QueueMessageBoxAnswers({IDNO});
    const size_t before = Boxes();
    std::atomic<bool> done{false};
    uint8_t answer = 9;
    int switched = -5;
    std::thread second([&] {
        answer = game->SendRequest(1, winapi::Sjis("続けますか"), 3);
        switched = game->RequestScreenMode(1, 32, 0);
        done = true;
    });
    while (!done) {
        game->PumpMessages(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    second.join();
    EXPECT_EQ(answer, 0);
    auto boxes = Host().MessageBoxes();
    ASSERT_EQ(boxes.size(), before + 1);
    EXPECT_EQ(boxes.back().text, "続けますか");
    EXPECT_EQ(boxes.back().caption, "FrameTestGame");
    // The main window owns it: no system-modal flags.
    EXPECT_EQ(boxes.back().type, static_cast<UINT>(MB_ICONQUESTION | MB_YESNO));
    EXPECT_EQ(switched, 0);
    EXPECT_EQ(screen.mode, 1);
}

// Alt released twice within 250 ms in full screen opens the full-screen menu once.
TEST_F(FrameUi, AltTwiceOpensTheMenuOnce)
{
    Start();
    HMENU menu = CreateMenu();
    AppendMenuA(menu, MF_STRING, 100, "File");
    game->SetMenuHandle(menu);
    screen.flipping = true;
    ASSERT_EQ(game->SwitchScreenMode(1, 32, 0), 0);
    SendMessageA(hwnd, WM_ACTIVATEAPP, 1, 0);
    screen.ClearLog();
    auto opens = [&] {
        auto log = screen.Log();
        return std::count(log.begin(), log.end(), "FlipToGdi");
    };
    SendMessageA(hwnd, WM_SYSKEYUP, VK_MENU, 0xC0380001);
    EXPECT_EQ(opens(), 1);
    EXPECT_FALSE(game->IsMenuOpen());  // the host's menu loop opens and closes at once
    Host().AdvanceClock(100);
    SendMessageA(hwnd, WM_SYSKEYUP, VK_MENU, 0xC0380001);
    EXPECT_EQ(opens(), 1);
    Host().AdvanceClock(300);
    SendMessageA(hwnd, WM_SYSKEYUP, VK_MENU, 0xC0380001);
    EXPECT_EQ(opens(), 2);
    DestroyMenu(menu);
}

TEST_F(FrameUi, MenuWindowFiltersItsSystemCommands)
{
    Start();
    HMENU menu = CreateMenu();
    AppendMenuA(menu, MF_STRING, 100, "File");
    game->SetMenuHandle(menu);
    ASSERT_EQ(game->SwitchScreenMode(1, 32, 0), 0);
    EXPECT_EQ(game->ShowFullScreenMenu(), 0);
    EXPECT_EQ(game->ShowFullScreenMenu(), -1);
    HWND menuWindow = game->GetMenuWindowObject().GetHwnd();
    ASSERT_NE(menuWindow, nullptr);
    EXPECT_EQ(FindWindowA("RVK DX FullScreenMenu", nullptr), menuWindow);
    EXPECT_EQ(GetMenu(menuWindow), menu);
    CWindowMessage save{&game->GetMenuWindowObject(), WM_SYSCOMMAND, SC_SCREENSAVE, 0, 0};
    EXPECT_EQ(game->FilterMenuSysCommand(&save), 0u);
    CWindowMessage other{&game->GetMenuWindowObject(), WM_SYSCOMMAND, SC_KEYMENU, 0, 0};
    EXPECT_EQ(game->FilterMenuSysCommand(&other), 1u);
    // Minimise goes on to the main window.
    CWindowMessage minimise{&game->GetMenuWindowObject(), WM_SYSCOMMAND, SC_MINIMIZE | 3, 0, 0};
    EXPECT_EQ(game->FilterMenuSysCommand(&minimise), 0u);
    game->PumpMessages(true);
    EXPECT_TRUE(IsIconic(hwnd));
    ASSERT_EQ(game->SwitchScreenMode(2, 32, 0), 0);
    EXPECT_FALSE(game->GetMenuWindowObject().IsValid());
    EXPECT_EQ(GetMenu(hwnd), menu);
    DestroyMenu(menu);
}

TEST_F(FrameUi, DeactivatedFullScreenMinimisesAndComesBack)
{
    Start();
    ASSERT_EQ(game->SwitchScreenMode(1, 32, 0), 0);
    game->PumpMessages(true);
    screen.ClearLog();
    SendMessageA(hwnd, WM_ACTIVATEAPP, 0, 0);
    game->PumpMessages(true);
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_EQ(game->GetPendingRestore(), 2);  // the picture is scaled
    EXPECT_FALSE(screen.deviceFullScreen);
    screen.fail.insert("RestoreDevice");
    screen.failCode = 2;
    SendMessageA(hwnd, WM_ACTIVATEAPP, 1, 0);
    EXPECT_EQ(game->GetPendingRestore(), 0);
    EXPECT_TRUE(screen.deviceFullScreen);
    EXPECT_EQ(game->GetDisplayError(), 1);
    auto log = screen.Log();
    const std::vector<std::string> order = {"RestoreWindowedMode", "SetFullScreenMode", "RestoreDevice"};
    auto at = log.begin();
    for (const std::string& call : order) {
        at = std::find(at, log.end(), call);
        EXPECT_NE(at, log.end()) << call;
    }
    game->SetDisplayError(0);
}

TEST_F(FrameUi, PaintShowsTheFrameAndBlackensTheLetterbox)
{
    Start();
    ASSERT_EQ(game->SwitchScreenMode(1, 32, 0), 0);
    HDC dc = GetDC(hwnd);
    RECT all{0, 0, 1920, 1080};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(hwnd, dc);
    screen.lastColor = 0x3366CC;
    screen.ClearLog();
    InvalidateRect(hwnd, nullptr, FALSE);
    game->PumpMessages(true);
    auto log = screen.Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "PaintToDC"), log.end());
    const winapi::Frame frame = Host().ReadBack(hwnd);
    ASSERT_EQ(frame.width, 1920);
    EXPECT_EQ(frame.At(960, 540) & 0xFFFFFF, 0x3366CCu);
    EXPECT_EQ(frame.At(100, 540) & 0xFFFFFF, 0u);
    EXPECT_EQ(frame.At(1800, 540) & 0xFFFFFF, 0u);
}

TEST_F(FrameUi, WithoutACanvasTheRunningGameRepaintsByItself)
{
    Start([](AppFrameOptions& o) { o.displayCanvas = 0; });
    screen.ClearLog();
    InvalidateRect(hwnd, nullptr, FALSE);
    game->PumpMessages(true);
    auto log = screen.Log();
    EXPECT_EQ(std::find(log.begin(), log.end(), "PaintToDC"), log.end());
}

// --- modal UI ---

TEST_F(FrameUi, MessageBoxFlagsByOwner)
{
    Start();
    Host().QueueMessageBoxAnswers({IDOK, IDYES, IDNO, IDOK, IDCANCEL});
    game->ShowMessage("a", 1, GetDesktopWindow());
    EXPECT_TRUE(game->AskYesNo("b", 3));
    EXPECT_FALSE(game->AskYesNo("c", 3));
    EXPECT_TRUE(game->AskOkCancel("d", 2, nullptr, "cap"));
    EXPECT_FALSE(game->AskOkCancel("e", 4));
    auto boxes = Host().MessageBoxes();
    ASSERT_GE(boxes.size(), 5u);
    const auto* b = &boxes[boxes.size() - 5];
    EXPECT_EQ(b[0].type, static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK | MB_SYSTEMMODAL | MB_SETFOREGROUND));
    EXPECT_EQ(b[1].type, static_cast<UINT>(MB_ICONQUESTION | MB_YESNO));
    EXPECT_EQ(b[3].type, static_cast<UINT>(MB_ICONINFORMATION | MB_OKCANCEL));
    EXPECT_EQ(b[3].caption, "cap");
    EXPECT_EQ(b[4].type, static_cast<UINT>(MB_ICONSTOP | MB_OKCANCEL));
    EXPECT_FALSE(game->IsMenuInUse());
    EXPECT_TRUE(game->IsRunningFlag());
}

TEST_F(FrameUi, ModalLoopAnswersAndAlwaysEnablesTheOwner)
{
    Watchdog watchdog(20);
    Start([](AppFrameOptions& o) { o.gameThread = 1; });
    HWND owner = PlainWindow("ModalOwner", 10, 10);

    // Ended by EndModalLoop from the game's frame.
    game->SetOnFrame([&](FrameTestGame& g) {
        if (g.IsModal()) {
            HWND o = owner;
            g.EndModalLoop(&o);
        }
    });
    HWND o = owner;
    EXPECT_EQ(game->RunModalLoop(&o), 0);
    EXPECT_TRUE(IsWindowEnabled(owner));

    // On the game thread: at once.
    std::promise<int> fromGame;
    bool asked = false;  // game thread only
    game->SetOnFrame([&](FrameTestGame& g) {
        if (!asked) {
            asked = true;
            HWND mine = owner;
            fromGame.set_value(g.RunModalLoop(&mine));
        }
    });
    EXPECT_EQ(fromGame.get_future().get(), 1);

    // WM_QUIT: the owner handle is cleared, the window still enabled.
    PostQuitMessage(0);
    o = owner;
    EXPECT_EQ(game->RunModalLoop(&o), -1);
    EXPECT_EQ(o, nullptr);
    EXPECT_TRUE(IsWindowEnabled(owner));

    // The game thread stops while the dialog is up.
    game->GetGameThread().RequestStop();
    o = owner;
    EXPECT_EQ(game->RunModalLoop(&o), -2);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
    UnregisterClassA("ModalOwner", nullptr);
}

TEST_F(FrameUi, ModalLoopIsImmediateWhenSingleThreaded)
{
    Start();
    HWND none = nullptr;
    EXPECT_EQ(game->RunModalLoop(&none), 0);
}

TEST_F(FrameUi, CenterWindowUsesTheWorkAreaOrigin)
{
    winapi::DisplayInfo d;
    d.work = RECT{100, 0, 1920, 1080};
    Host().SetDisplays({d});
    Start();
    HWND box = PlainWindow("CentreMe", 200, 100);
    game->CenterWindow(box);
    RECT r;
    GetWindowRect(box, &r);
    EXPECT_EQ(r.left, 100 + 910 - 100);
    EXPECT_EQ(r.top, 540 - 50);
    DestroyWindow(box);
    UnregisterClassA("CentreMe", nullptr);
}

// A box held open on the UI thread while the game thread waits in SendRequest; the window is
// closed meanwhile: the answer arrives, then the close ends the game.
TEST(FrameModal, CloseWhileABoxIsHeld)
{
    Watchdog watchdog(30);
    FrameTestScreen screen;
    FrameTestGame game(&screen);
    game.configure = [](AppFrameOptions& o) { o.gameThread = 1; };
    Host().SetHoldMessageBoxes(true);
    std::atomic<int> answer{-1};
    game.onFrame = [&](FrameTestGame& g) {
        if (answer < 0)
            answer = g.SendRequest(2, "held", 2);
    };
    std::atomic<bool> ended{false};
    std::thread tester([&] {
        while (Host().HeldBoxCount() == 0 && !ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        PostMessageA(game.GetMainWindow(), WM_CLOSE, 0, 0);
        Host().AnswerHeldBox(IDOK);
    });
    EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), 0);
    ended = true;
    tester.join();
    Host().SetHoldMessageBoxes(false);
    EXPECT_EQ(answer, 1);
}

// The game thread holds the frame lock and sends while the UI thread waits for that lock in
// WM_ACTIVATE: the send gives the lock up, so both go on.
TEST(FrameModal, SendsWhileHoldingTheFrameLockDoNotDeadlock)
{
    Watchdog watchdog(30);
    FrameTestScreen screen;
    FrameTestGame game(&screen);
    game.configure = [](AppFrameOptions& o) { o.gameThread = 1; };
    std::atomic<int> step{0};
    game.onFrame = [&](FrameTestGame& g) {
        if (step != 0)
            return;
        step = 1;
        // Under the frame lock (Frame takes it): make the UI thread wait for it first.
        PostMessageA(g.GetMainWindow(), WM_ACTIVATE, WA_ACTIVE, 0);
        Sleep(20);
        g.SendRequest(0, "message", 2);
        g.RequestScreenMode(1, 32, 0);
        g.AttachTextInput(g.GetMainWindow());
        g.AttachTextInput(nullptr);
        g.UpdateCursor();
        step = 2;
        PostMessageA(g.GetMainWindow(), WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(game.Run(nullptr, nullptr, nullptr, SW_SHOW), 0);
    EXPECT_EQ(step, 2);
}

// --- screen modes ---

struct SwitchCase {
    const char* name;
    uint8_t mode;
    uint8_t force;
    const char* failing;  // a screen call that fails, or null
    int result;
    uint8_t modeAfter;
};

TEST_F(FrameUi, SwitchScreenModeTable)
{
    Start();
    HMENU menu = CreateMenu();
    AppendMenuA(menu, MF_STRING, 100, "File");
    game->SetMenuHandle(menu);
    SetMenu(hwnd, menu);
    const SwitchCase kCases[] = {
        {"same mode does nothing", 2, 0, nullptr, 0, 2},
        {"to full screen", 1, 0, nullptr, 0, 1},
        {"full screen again does nothing", 1, 0, nullptr, 0, 1},
        {"full screen forced switches again", 1, 1, nullptr, 0, 1},
        {"failing to the window keeps full screen", 2, 0, "CreateDisplay(window)", 5, 1},
        {"back to the window", 2, 0, nullptr, 0, 2},
        {"failing to full screen", 1, 0, "CreateDisplay(full)", 5, 2},
    };
    for (const SwitchCase& c : kCases) {
        SCOPED_TRACE(c.name);
        screen.fail.clear();
        if (c.failing != nullptr)
            screen.fail.insert(c.failing);
        screen.ClearLog();
        const uint8_t before = game->m_options.requestedMode;
        EXPECT_EQ(game->SwitchScreenMode(c.mode, 32, c.force), c.result);
        EXPECT_EQ(screen.mode, c.modeAfter);
        EXPECT_EQ(game->m_options.requestedMode, c.result != 0 ? before : c.modeAfter);
        if (c.result == 0 && c.force == 0 && c.mode == before) {
            EXPECT_TRUE(screen.Log().empty());
        }
    }
    DestroyMenu(menu);
}

TEST_F(FrameUi, FullScreenAndBackChangeStyleMenuAndTopMost)
{
    Start([](AppFrameOptions& o) { o.windowX = 50, o.windowY = 40; });
    HMENU menu = CreateMenu();
    AppendMenuA(menu, MF_STRING, 100, "File");
    game->SetMenuHandle(menu);
    SetMenu(hwnd, menu);
    RECT before;
    GetWindowRect(hwnd, &before);
    ASSERT_EQ(game->SwitchScreenMode(1, 32, 0), 0);
    EXPECT_EQ(static_cast<uint32_t>(GetWindowLongA(hwnd, GWL_STYLE)) & ~0x1000000u, 0x900A0000u);
    EXPECT_EQ(GetMenu(hwnd), nullptr);
    EXPECT_TRUE(Host().WindowState(hwnd).topmost);
    RECT full;
    GetWindowRect(hwnd, &full);
    EXPECT_EQ(full.right - full.left, 1920);
    EXPECT_EQ(full.bottom - full.top, 1080);
    EXPECT_EQ(game->m_options.keyOptions & 8, 8);
    ASSERT_EQ(game->SwitchScreenMode(2, 3, 0), 0);
    EXPECT_EQ(GetMenu(hwnd), menu);
    EXPECT_FALSE(Host().WindowState(hwnd).topmost);
    EXPECT_EQ(static_cast<uint32_t>(GetWindowLongA(hwnd, GWL_STYLE)) & 0x0FFF0000u, game->m_options.windowStyle);
    RECT after;
    GetWindowRect(hwnd, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(game->m_options.requestedDepth, 3);
    DestroyMenu(menu);
}

TEST(FrameScreenModes, NoWindowAnswersOne)
{
    FrameTestScreen screen;
    FrameTestGame game(&screen);
    EXPECT_EQ(game.SwitchScreenMode(1, 32, 1), 1);
}

TEST(FrameScreenModes, WindowedModeCheck)
{
    struct Case {
        int depth;
        uint8_t modes;
        uint16_t width;
        uint8_t requested;
        int result;
        uint8_t requestedAfter;
    } kCases[] = {
        {32, 0, 640, 0, 0, 2},  {8, 0, 640, 0, 1, 0},   {32, 0, 4000, 0, 2, 0},
        {8, 2, 640, 2, 0, 0},   {32, 2, 4000, 2, 0, 0}, {32, 2, 640, 2, 0, 2},
    };
    for (const Case& c : kCases) {
        winapi::DisplayInfo d;
        d.bitsPerPixel = c.depth;
        Host().SetDisplays({d});
        FrameTestScreen screen;
        FrameTestGame game(&screen);
        game.m_options.screenModes = c.modes;
        game.m_options.screenWidth = c.width;
        game.m_options.requestedMode = c.requested;
        EXPECT_EQ(game.CheckWindowedMode(), c.result);
        EXPECT_EQ(game.m_options.requestedMode, c.requestedAfter);
    }
    Host().SetDisplays({winapi::DisplayInfo{}});
}

} // namespace
