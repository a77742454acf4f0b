// Message queues: retrieval order, WM_QUIT, cross-thread SendMessageA in every kind of wait,
// sends to windows that die, timers and painting.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "winapi/host_headless.h"
#include "winapi/kernel_sync.h"
#include "winapi/user.h"
#include "winapi/user_internal.h"

namespace {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD thread;
};

std::mutex g_mutex;
std::vector<Seen> g_seen;
// Per-test behaviour of the window procedure; null: record and pass on.
std::atomic<LRESULT (*)(HWND, UINT, WPARAM, LPARAM, bool* handled)> g_behaviour{nullptr};

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard lock(g_mutex);
        g_seen.push_back(Seen{hwnd, message, wParam, lParam, GetCurrentThreadId()});
    }
    if (auto behaviour = g_behaviour.load()) {
        bool handled = false;
        const LRESULT result = behaviour(hwnd, message, wParam, lParam, &handled);
        if (handled)
            return result;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

std::vector<UINT> SeenMessages(UINT low = 0, UINT high = 0xFFFF)
{
    std::lock_guard lock(g_mutex);
    std::vector<UINT> out;
    for (const Seen& s : g_seen)
        if (s.message >= low && s.message <= high)
            out.push_back(s.message);
    return out;
}

class Queues : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_behaviour = nullptr;
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "QueueTest";
        RegisterClassExA(&wc);
        hwnd = CreateWindowExA(0, "QueueTest", "queue", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                               nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        Drain();
        std::lock_guard lock(g_mutex);
        g_seen.clear();
    }
    void TearDown() override
    {
        g_behaviour = nullptr;
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
        Drain();
    }
    // Takes and dispatches everything waiting.
    static void Drain()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    static size_t PendingSends(HWND window)
    {
        auto record = winapi::user::FindWindowRecord(window);
        std::lock_guard lock(record->queue->mutex);
        return record->queue->sent.size();
    }
    HWND hwnd = nullptr;
};

TEST_F(Queues, RetrievalOrderIsSentPostedInputPaintTimer)
{
    auto* host = winapi::CurrentHeadlessHost();
    ASSERT_NE(host, nullptr);
    SetTimer(hwnd, 7, 50, nullptr);
    host->AdvanceClock(60);
    InvalidateRect(hwnd, nullptr, FALSE);
    winapi::HostMouseMove(hwnd, 5, 6);
    PostMessageA(hwnd, WM_USER, 1, 2);
    std::thread other([this] { SendNotifyMessageA(hwnd, WM_USER + 9, 0, 0); });
    other.join();

    std::vector<UINT> order;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        order.push_back(msg.message);
        if (msg.message == WM_TIMER)
            KillTimer(hwnd, 7);
        DispatchMessageA(&msg);
    }
    // The sent message ran inside the first PeekMessageA and was never returned.
    EXPECT_EQ(SeenMessages(WM_USER + 9, WM_USER + 9).size(), 1u);
    const std::vector<UINT> expected = {WM_USER, WM_MOUSEMOVE, WM_PAINT, WM_TIMER};
    EXPECT_EQ(order, expected);
}

TEST_F(Queues, QuitComesOnlyAfterThePostedMessages)
{
    PostMessageA(hwnd, WM_USER, 0, 0);
    PostQuitMessage(3);
    PostMessageA(hwnd, WM_USER + 1, 0, 0);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // taken once
}

TEST_F(Queues, APostedQuitAlsoEndsGetMessage)
{
    PostMessageA(hwnd, WM_QUIT, 5, 0);
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, 5u);
}

TEST_F(Queues, PeekWithoutRemoveLeavesTheMessageAndFiltersWork)
{
    PostMessageA(hwnd, WM_USER + 2, 0, 0);
    PostMessageA(hwnd, WM_USER + 1, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 1, WM_USER + 1, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_NE(msg.time, 0u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    EXPECT_EQ(GetMessageA(&msg, reinterpret_cast<HWND>(0x1234), 0, 0), -1);  // not a window
}

// The UI thread waits in one of three ways; a worker's SendMessageA runs the procedure on the UI
// thread and gets its answer.
enum class Wait { GetMessage, PeekMessage, NestedModalLoop };

class CrossThreadSend : public Queues, public ::testing::WithParamInterface<Wait> {};

LRESULT Doubler(HWND hwnd, UINT message, WPARAM wParam, LPARAM, bool* handled)
{
    if (message == WM_USER + 1) {
        *handled = true;
        return static_cast<LRESULT>(wParam * 2);
    }
    if (message == WM_USER + 3) {
        // A modal loop inside a handler, as a dialog or the frame's modal pause runs it.
        *handled = true;
        MSG msg;
        for (;;) {
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_USER + 2)
                    return 1;
                DispatchMessageA(&msg);
            } else
                std::this_thread::yield();
        }
    }
    (void)hwnd;
    return 0;
}

TEST_P(CrossThreadSend, SenderGetsTheAnswerFromTheUiThread)
{
    g_behaviour = Doubler;
    const DWORD uiThread = GetCurrentThreadId();
    std::atomic<LRESULT> answer{-1};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        answer = SendMessageA(hwnd, WM_USER + 1, 21, 0);
        done = true;
        PostMessageA(hwnd, WM_USER + 2, 0, 0);
    });
    MSG msg;
    switch (GetParam()) {
    case Wait::GetMessage:
        while (GetMessageA(&msg, nullptr, 0, 0) && msg.message != WM_USER + 2)
            DispatchMessageA(&msg);
        break;
    case Wait::PeekMessage:
        while (!done)
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        break;
    case Wait::NestedModalLoop:
        SendMessageA(hwnd, WM_USER + 3, 0, 0);
        break;
    }
    worker.join();
    EXPECT_EQ(answer.load(), 42);
    std::lock_guard lock(g_mutex);
    for (const Seen& s : g_seen) {
        if (s.message == WM_USER + 1) {
            EXPECT_EQ(s.thread, uiThread);
        }
    }
}

std::string WaitName(const ::testing::TestParamInfo<Wait>& info)
{
    static const char* const names[] = {"InGetMessage", "InPeekMessage", "InNestedModalLoop"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Waits, CrossThreadSend,
                         ::testing::Values(Wait::GetMessage, Wait::PeekMessage, Wait::NestedModalLoop), WaitName);

TEST_F(Queues, SendToAWindowDestroyedWhileTheSenderWaitsAnswersZero)
{
    std::atomic<LRESULT> answer{-1};
    std::thread worker([&] { answer = SendMessageA(hwnd, WM_USER + 4, 0, 0); });
    while (PendingSends(hwnd) == 0)
        std::this_thread::yield();
    DestroyWindow(hwnd);
    worker.join();
    EXPECT_EQ(answer.load(), 0);
    EXPECT_TRUE(SeenMessages(WM_USER + 4, WM_USER + 4).empty());
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 4, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
}

// A window destroyed after the sender found it but before its send was queued: the send used to
// be queued all the same and the sender waited until the owner pumped again (maybe never).
TEST_F(Queues, SendToAWindowDestroyedBeforeItIsQueuedAnswersZeroAtOnce)
{
    static std::atomic<int> step{0};
    step = 0;
    winapi::user::g_afterSendLookupHook = [](HWND) {
        step = 1;
        while (step != 2)
            std::this_thread::yield();
    };
    std::atomic<LRESULT> answer{-1};
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        answer = SendMessageA(hwnd, WM_USER + 5, 0, 0);
        returned = true;
    });
    while (step != 1)
        std::this_thread::yield();
    winapi::user::g_afterSendLookupHook = nullptr;
    DestroyWindow(hwnd);
    step = 2;
    // This thread does not pump: the sender must come back on its own.
    for (int i = 0; i < 5000 && !returned; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(returned.load());
    while (!returned)
        winapi::user::ProcessSentMessages();
    worker.join();
    EXPECT_EQ(answer.load(), 0);
    EXPECT_TRUE(SeenMessages(WM_USER + 5, WM_USER + 5).empty());
}

TEST_F(Queues, SendsToAThreadThatEndsAnswerZero)
{
    HWND other = nullptr;
    std::atomic<bool> created{false}, release{false};
    std::thread owner([&] {
        other = CreateWindowExA(0, "QueueTest", "other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        created = true;
        while (!release)
            std::this_thread::yield();
    });
    while (!created)
        std::this_thread::yield();
    std::atomic<LRESULT> answer{-1};
    std::thread sender([&] { answer = SendMessageA(other, WM_USER + 1, 1, 0); });
    while (PendingSends(other) == 0)
        std::this_thread::yield();
    release = true;
    owner.join();
    sender.join();
    EXPECT_EQ(answer.load(), 0);
    EXPECT_FALSE(IsWindow(other));
}

// A thread that ends with windows open takes them with it: their class can be unregistered
// afterwards (the records used to stay, counted against the class, for the rest of the process).
// Every application message reaches the procedure, whatever its number: the window system's own
// cross-thread calls used to ride on WM_APP + 0x3FFE, so such a message ran its wParam as code.
TEST_F(Queues, EveryApplicationMessageReachesTheProcedure)
{
    constexpr UINT kLastApp = 0xBFFE;
    EXPECT_EQ(SendMessageA(hwnd, kLastApp, 0, 0), 0);
    std::thread worker([&] { SendMessageA(hwnd, kLastApp, 1, 0); });
    while (PendingSends(hwnd) == 0)
        std::this_thread::yield();
    ASSERT_TRUE(PostMessageA(hwnd, kLastApp, 2, 0));
    Drain();
    worker.join();
    std::lock_guard lock(g_mutex);
    std::vector<WPARAM> seen;
    for (const Seen& s : g_seen)
        if (s.message == kLastApp)
            seen.push_back(s.wParam);
    EXPECT_EQ(seen, (std::vector<WPARAM>{0, 1, 2}));
}

TEST_F(Queues, WindowsOfAnEndedThreadLeaveTheirClass)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "LeftBehind";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    HWND left = nullptr;
    std::thread owner([&] {
        left = CreateWindowExA(0, "LeftBehind", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    });
    owner.join();
    ASSERT_NE(left, nullptr);
    EXPECT_FALSE(IsWindow(left));
    EXPECT_TRUE(UnregisterClassA("LeftBehind", nullptr));
}

TEST_F(Queues, TwoThreadsSendingToEachOtherDoNotDeadlock)
{
    g_behaviour = [](HWND, UINT message, WPARAM, LPARAM lParam, bool* handled) -> LRESULT {
        if (message == WM_USER + 5) {
            *handled = true;
            return SendMessageA(reinterpret_cast<HWND>(lParam), WM_USER + 1, 4, 0);
        }
        return Doubler(nullptr, message, 0, 0, handled);
    };
    HWND other = nullptr;
    std::atomic<bool> created{false}, stop{false};
    std::thread owner([&] {
        other = CreateWindowExA(0, "QueueTest", "other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        created = true;
        // While this thread waits for the UI thread's answer, the UI thread sends back to it.
        SendMessageA(hwnd, WM_USER + 5, 0, reinterpret_cast<LPARAM>(other));
        while (!stop) {
            MSG msg;
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
        }
        DestroyWindow(other);
    });
    while (!created)
        std::this_thread::yield();
    MSG msg;
    while (SeenMessages(WM_USER + 1, WM_USER + 1).empty()) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    stop = true;
    owner.join();
    EXPECT_EQ(SeenMessages(WM_USER + 5, WM_USER + 5).size(), 1u);
}

TEST_F(Queues, TimersFireOnTheVirtualClockUntilKilled)
{
    auto* host = winapi::CurrentHeadlessHost();
    ASSERT_EQ(SetTimer(hwnd, 3, 100, nullptr), 3u);
    MSG msg;
    host->AdvanceClock(99);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    host->AdvanceClock(1);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));  // next one in 100 ms
    host->AdvanceClock(100);
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_TRUE(KillTimer(hwnd, 3));
    host->AdvanceClock(500);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_FALSE(KillTimer(hwnd, 3));
}

// An invalidation that lands while another thread is inside BeginPaint, between taking the
// region and clearing the window's paint request, keeps its WM_PAINT; the request used to be
// cleared after it, so the window was never painted again. The queue lock held here holds
// BeginPaint at that point; the window is hidden for the invalidation so that it needs no lock.
TEST_F(Queues, AnInvalidationDuringBeginPaintIsNotLost)
{
    InvalidateRect(hwnd, nullptr, FALSE);
    auto record = winapi::user::FindWindowRecord(hwnd);
    const LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
    std::thread painter;
    {
        std::lock_guard lock(record->queue->mutex);
        painter = std::thread([&] {
            PAINTSTRUCT paint;
            BeginPaint(hwnd, &paint);
            EndPaint(hwnd, &paint);
        });
        while (GetUpdateRect(hwnd, nullptr, FALSE))  // the painter took the region
            std::this_thread::yield();
        SetWindowLongPtrA(hwnd, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_VISIBLE));
        RECT part{1, 1, 5, 5};
        InvalidateRect(hwnd, &part, FALSE);
        SetWindowLongPtrA(hwnd, GWL_STYLE, style);
    }
    painter.join();
    EXPECT_TRUE(GetUpdateRect(hwnd, nullptr, FALSE));
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, hwnd, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}

TEST_F(Queues, PaintComesFromTheInvalidRegionUntilValidated)
{
    RECT part{10, 10, 20, 20};
    InvalidateRect(hwnd, &part, TRUE);
    RECT more{30, 5, 40, 15};
    InvalidateRect(hwnd, &more, FALSE);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));  // still invalid
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    EXPECT_NE(hdc, nullptr);
    EXPECT_EQ(paint.rcPaint.left, 10);
    EXPECT_EQ(paint.rcPaint.top, 5);
    EXPECT_EQ(paint.rcPaint.right, 40);
    EXPECT_EQ(paint.rcPaint.bottom, 20);
    EXPECT_EQ(SeenMessages(WM_ERASEBKGND, WM_ERASEBKGND).size(), 1u);
    EndPaint(hwnd, &paint);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);  // paints at once, through DefWindowProcA
    EXPECT_EQ(SeenMessages(WM_PAINT, WM_PAINT).size(), 1u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
}

TEST_F(Queues, ThreadMessagesAndTimerCallbacks)
{
    static std::atomic<int> calls{0};
    calls = 0;
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP, 1, 2));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP));
    const UINT_PTR id = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) { ++calls; });
    ASSERT_NE(id, 0u);
    winapi::CurrentHeadlessHost()->AdvanceClock(10);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    DispatchMessageA(&msg);
    EXPECT_EQ(calls.load(), 1);
    EXPECT_TRUE(KillTimer(nullptr, id));
    EXPECT_FALSE(PostThreadMessageA(0xFFFFFFF0u, WM_APP, 0, 0));
}

// Fresh thread timer ids come round again after 65,536 timers: they skip the ids of timers still
// running (one used to be handed out again, so the new timer replaced the old).
TEST_F(Queues, FreshThreadTimerIdsSkipLiveTimers)
{
    auto tick = [](HWND, UINT, UINT_PTR, DWORD) {};
    const UINT_PTR kept = SetTimer(nullptr, 0, 1000, tick);
    ASSERT_NE(kept, 0u);
    int reused = 0;
    for (int i = 0; i < 0x10001; ++i) {
        const UINT_PTR id = SetTimer(nullptr, 0, 1000, tick);
        ASSERT_NE(id, 0u);
        reused += id == kept;
        KillTimer(nullptr, id);
    }
    EXPECT_EQ(reused, 0);
    EXPECT_TRUE(KillTimer(nullptr, kept));
}

} // namespace
