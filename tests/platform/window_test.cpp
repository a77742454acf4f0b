// CWindow and CFrameWindow: creation, the message map, placement, handlers that replace
// themselves or delete their window, and the frame window's IME handling.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "platform/frame_window.h"
#include "platform/monitor_list.h"
#include "winapi/host_headless.h"
#include "winapi/imm.h"

namespace {

winapi::HeadlessHost& Host()
{
    return *winapi::CurrentHeadlessHost();
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

struct CountingHandler : CMessageHandler {
    explicit CountingHandler(int* deleted, uint32_t answer = 0) : m_deleted(deleted), m_answer(answer) {}
    ~CountingHandler() override { ++*m_deleted; }
    uint32_t Invoke(CWindowMessage* message) override
    {
        ++calls;
        message->result = 77;
        return m_answer;
    }
    int calls = 0;
    int* m_deleted;
    uint32_t m_answer;
};

CWindowCreateParams Params(const char* className, uint8_t placement = 0)
{
    CWindowCreateParams params;
    params.className = className;
    params.title = className;
    params.placement = placement;
    params.x = 10;
    params.y = 20;
    params.style = WS_POPUP;
    params.clientWidth = 200;
    params.clientHeight = 100;
    return params;
}

// Unregisters a class when the test ends (declared before the windows, so it runs after them).
struct ClassGuard {
    const char* name;
    ~ClassGuard() { UnregisterClassA(name, nullptr); }
};

// Creation parameters that live until the end of the test program.
const CWindowCreateParams* Keep(const char* className)
{
    static std::vector<std::unique_ptr<CWindowCreateParams>> kept;
    kept.push_back(std::make_unique<CWindowCreateParams>(Params(className)));
    return kept.back().get();
}

TEST(Window, CreateRegistersTheClassAndRoutesThroughTheMap)
{
    ClassGuard guard{"RoutedWindow"};
    CWindow window;
    EXPECT_EQ(window.Create(nullptr, Keep("RoutedWindow"), nullptr, false, true), 0);
    ASSERT_TRUE(window.IsValid());
    EXPECT_EQ(GetWindowLongPtrA(window.GetHwnd(), GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&window));
    int deleted = 0;
    auto* handler = new CountingHandler(&deleted);
    window.SetMessageHandler(WM_USER, handler);
    EXPECT_EQ(window.SendMessage(WM_USER, 0, 0), 77);  // the handler's result field
    EXPECT_EQ(handler->calls, 1);
    // A second handler for the same message deletes the first.
    window.SetMessageHandler(WM_USER, new CountingHandler(&deleted, 1));
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(window.SendMessage(WM_USER, 0, 0), 0);  // not handled: DefWindowProcA's answer
    // The class exists now: a second creation with registration fails with 1.
    CWindow twin;
    EXPECT_EQ(twin.Create(nullptr, Keep("RoutedWindow"), nullptr, false, true), 1);
    EXPECT_EQ(twin.Create(nullptr, Keep("RoutedWindow"), nullptr, false, false), 0);
    window.Destroy();
    EXPECT_EQ(deleted, 2);
    EXPECT_FALSE(window.IsValid());
    EXPECT_EQ(window.SendMessage(WM_USER, 0, 0), 0);
    EXPECT_FALSE(window.PostMessage(WM_USER, 0, 0));
}

TEST(Window, StandardControlClassesAreNotRegistered)
{
    CWindow edit;
    CWindowCreateParams params = Params("EDIT");
    EXPECT_EQ(edit.Create(nullptr, &params, nullptr, false, true), 0);
    EXPECT_TRUE(edit.IsValid());
    EXPECT_EQ(FindWindowA("EDIT", "EDIT"), edit.GetHwnd());
    CWindow missing;
    EXPECT_EQ(missing.Create(nullptr, Keep("NeverRegistered"), nullptr, false, false), 2);
}

TEST(Window, QuitOnDestroyPostsQuit)
{
    ClassGuard guard{"QuittingWindow"};
    CWindow window;
    ASSERT_EQ(window.Create(nullptr, Keep("QuittingWindow"), nullptr, true, true), 0);
    window.Destroy();
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
}

// A handler that deletes the window object it belongs to while it runs.
struct SelfDestroyingHandler : CMessageHandler {
    explicit SelfDestroyingHandler(CWindow** window) : m_window(window) {}
    uint32_t Invoke(CWindowMessage*) override
    {
        delete *m_window;
        *m_window = nullptr;
        return 1;  // not handled: the dispatch goes on without the object
    }
    CWindow** m_window;
};

// A handler that replaces itself in the map while it runs.
struct ReplacingHandler : CMessageHandler {
    ReplacingHandler(CWindow* window, int* deleted) : m_window(window), m_deleted(deleted) {}
    ~ReplacingHandler() override { ++*m_deleted; }
    uint32_t Invoke(CWindowMessage*) override
    {
        m_window->SetMessageHandler(WM_USER, nullptr);
        m_marker = 5;  // still alive
        return 0;
    }
    CWindow* m_window;
    int* m_deleted;
    int m_marker = 0;
};

TEST(Window, HandlersMayReplaceThemselvesOrDeleteTheirWindow)
{
    ClassGuard replacingClass{"ReplacingWindow"};
    ClassGuard deletedClass{"DeletedWindow"};
    CWindow replacing;
    ASSERT_EQ(replacing.Create(nullptr, Keep("ReplacingWindow"), nullptr, false, true), 0);
    int deleted = 0;
    replacing.SetMessageHandler(WM_USER, new ReplacingHandler(&replacing, &deleted));
    replacing.SendMessage(WM_USER, 0, 0);
    EXPECT_EQ(deleted, 1);  // deleted once its call returned

    auto* window = new CWindow;
    ASSERT_EQ(window->Create(nullptr, Keep("DeletedWindow"), nullptr, false, true), 0);
    const HWND hwnd = window->GetHwnd();
    window->SetMessageHandler(WM_CLOSE, new SelfDestroyingHandler(&window));
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(window, nullptr);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(Window, PlacementRules)
{
    winapi::DisplayInfo display;
    display.bounds = RECT{0, 0, 1024, 768};
    display.work = RECT{0, 0, 1024, 728};
    Host().SetDisplays({display});
    struct Case {
        const char* name;
        uint8_t placement;
        int x, y, width, height;
        LONG left, top;
    } cases[] = {
        {"placement 0 keeps the position", 0, -5, 7, 200, 100, -5, 7},
        {"placement 1 keeps a position that fits", 1, 10, 20, 200, 100, 10, 20},
        {"placement 1 with x = -1 centres", 1, -1, -1, 200, 100, 412, 314},
        {"placement 2 centres", 2, 10, 20, 200, 100, 412, 314},
        {"placement 2 larger than the work area", 2, 10, 20, 2000, 100, 0, 0},
        {"other placements keep the position", 7, 3, 4, 200, 100, 3, 4},
    };
    for (const Case& c : cases) {
        CWindow window;
        window.SetPlacement(c.placement);
        RECT out;
        window.ComputeWindowRect(&out, c.width, c.height, WS_POPUP, 0, false, true, c.x, c.y);
        EXPECT_EQ(out.left, c.left) << c.name;
        EXPECT_EQ(out.top, c.top) << c.name;
        EXPECT_EQ(out.right, c.width) << c.name;  // (left, top, width, height)
    }
    // The menu counts only with WS_SYSMENU.
    CWindow window;
    RECT withMenu, withoutSysMenu;
    window.ComputeWindowRect(&withMenu, 640, 480, WS_CAPTION | WS_SYSMENU, 0, true, false, 0, 0);
    window.ComputeWindowRect(&withoutSysMenu, 640, 480, WS_CAPTION, 0, true, false, 0, 0);
    EXPECT_EQ((withMenu.bottom - withMenu.top) - (withoutSysMenu.bottom - withoutSysMenu.top),
              GetSystemMetrics(SM_CYMENU));
}

// Client sizes near the integer limits: the frame used to be added in 32 bits and wrapped.
TEST(Window, HugeClientSizesGiveClampedRectangles)
{
    constexpr LONG kLimit = 1 << 30;
    CWindow window;
    RECT out;
    window.ComputeWindowRect(&out, INT_MAX, INT_MAX, WS_OVERLAPPEDWINDOW, 0, false, false, 0, 0);
    EXPECT_LT(out.left, 0);
    EXPECT_LT(out.top, 0);
    EXPECT_EQ(out.right, kLimit);
    EXPECT_EQ(out.bottom, kLimit);
    window.ComputeWindowRect(&out, INT_MIN, INT_MIN, WS_OVERLAPPEDWINDOW, 0, false, false, 0, 0);
    EXPECT_EQ(out.right, -kLimit);
    EXPECT_EQ(out.bottom, -kLimit);
    for (uint8_t placement : {0, 2}) {
        window.SetPlacement(placement);
        window.ComputeWindowRect(&out, INT_MAX, INT_MAX - 1, WS_OVERLAPPEDWINDOW, 0, false, true, 5, 6);
        EXPECT_EQ(out.right, kLimit) << int{placement};  // (left, top, width, height)
        EXPECT_EQ(out.bottom, kLimit) << int{placement};
    }
}

TEST(Window, PlacementOnSeveralMonitorsUsesTheMonitorList)
{
    winapi::DisplayInfo left, right;
    left.bounds = left.work = RECT{0, 0, 800, 600};
    right.bounds = right.work = RECT{800, 0, 2400, 1200};
    right.deviceName = "\\\\.\\DISPLAY2";
    right.primary = false;
    Host().SetDisplays({left, right});
    CMonitorList list;
    g_pMonitorList = &list;
    CWindow window;
    window.SetPlacement(1);
    RECT out;
    window.ComputeWindowRect(&out, 200, 100, WS_POPUP, 0, false, true, 1000, 50);  // on the right monitor
    EXPECT_EQ(out.left, 1000);
    window.SetPlacement(2);
    window.ComputeWindowRect(&out, 200, 100, WS_POPUP, 0, false, true, 1000, 50);
    EXPECT_EQ(out.left, 800 + 800 - 100);
    EXPECT_EQ(out.top, 600 - 50);
    g_pMonitorList = nullptr;
}

struct FakeFrame : CFrameWindow::Frame {
    HIMC GetImeContextHandle() override { return context; }
    POINT GetCandidatePos() override { return POINT{30, 40}; }
    void SetCandidateListOpen(bool open) override { candidateOpen = open; }
    bool IsFullScreen() override { return fullScreen; }
    HIMC context = nullptr;
    bool candidateOpen = false;
    bool fullScreen = false;
};

TEST(FrameWindow, ImeMessages)
{
    ClassGuard guard{"FrameWindowTest"};
    FakeFrame frame;
    CFrameWindow window(&frame);
    CWindowCreateParams params = Params("FrameWindowTest");
    ASSERT_EQ(window.Create(nullptr, &params, nullptr, false, true), 0);
    frame.context = ImmGetContext(window.GetHwnd());
    CWindowMessage message;
    message.window = &window;
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        uint32_t answer;
    } cases[] = {
        {"start composition swallowed", WM_IME_STARTCOMPOSITION, 0, 0, 0},
        {"end composition swallowed", WM_IME_ENDCOMPOSITION, 0, 0, 0},
        {"composition without result swallowed", WM_IME_COMPOSITION, 0, GCS_COMPSTR, 0},
        {"composition with result passed on", WM_IME_COMPOSITION, 0, GCS_RESULTSTR, 1},
        {"status window in a window", WM_IME_NOTIFY, IMN_OPENSTATUSWINDOW, 0, 1},
        {"other messages passed on", WM_USER, 0, 0, 1},
    };
    for (const Case& c : cases) {
        message.message = c.message;
        message.wParam = c.wParam;
        message.lParam = c.lParam;
        EXPECT_EQ(window.OnMessage(&message), c.answer) << c.name;
    }
    frame.fullScreen = true;
    message.message = WM_IME_NOTIFY;
    message.wParam = IMN_OPENSTATUSWINDOW;
    EXPECT_EQ(window.OnMessage(&message), 0u);
    message.wParam = IMN_OPENCANDIDATE;
    EXPECT_EQ(window.OnMessage(&message), 1u);
    EXPECT_TRUE(frame.candidateOpen);
    CANDIDATEFORM form{};
    ASSERT_TRUE(ImmGetCandidateWindow(frame.context, 0, &form));
    EXPECT_EQ(form.dwStyle, static_cast<DWORD>(CFS_EXCLUDE));
    EXPECT_EQ(form.ptCurrentPos.x, 30);
    EXPECT_EQ(form.rcArea.bottom, 40);
    message.wParam = IMN_CLOSECANDIDATE;
    window.OnMessage(&message);
    EXPECT_FALSE(frame.candidateOpen);
    message.message = WM_IME_SETCONTEXT;
    message.lParam = static_cast<LPARAM>(0xC000000F);
    window.OnMessage(&message);
    EXPECT_EQ(message.lParam, 0);
    Pump();
}

} // namespace
