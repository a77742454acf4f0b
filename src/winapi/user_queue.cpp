// Thread message queues: posting, sending across threads, retrieval in Win32 order, timers.
#include <algorithm>
#include <chrono>
#include <utility>

#include "winapi/kernel_sync.h"
#include "winapi/kernel_time.h"
#include "winapi/user_internal.h"

namespace winapi::user {

namespace {

struct QueueRegistry {
    std::mutex mutex;
    std::vector<std::weak_ptr<ThreadQueue>> queues;
    std::weak_ptr<ThreadQueue> hostThread;
};

QueueRegistry& Registry()
{
    static QueueRegistry* registry = new QueueRegistry;
    return *registry;
}

void Complete(const std::shared_ptr<SentMessage>& sent, LRESULT result)
{
    if (!sent->sender)
        return;
    std::lock_guard lock(sent->sender->mutex);
    sent->result = result;
    sent->done = true;
    sent->sender->cv.notify_all();
}

// A queue's mutex, held while something arrives. Wake counts the arrival and wakes the owner;
// an owner waiting in the host is woken once the mutex is released, since the host takes locks
// of its own that other threads may hold while they take this mutex.
class WakingLock {
public:
    explicit WakingLock(ThreadQueue& queue) : queue_(queue), lock_(queue.mutex) {}
    ~WakingLock()
    {
        lock_.unlock();
        if (host_ != nullptr)
            host_->WakeWait();
    }
    WakingLock(const WakingLock&) = delete;
    WakingLock& operator=(const WakingLock&) = delete;

    void Wake()
    {
        ++queue_.wakeCount;
        queue_.cv.notify_all();
        if (queue_.waitingHost != nullptr)
            host_ = std::exchange(queue_.waitingHost, nullptr);
    }

private:
    ThreadQueue& queue_;
    std::unique_lock<std::mutex> lock_;
    Host* host_ = nullptr;
};

// Ends the thread's queue when the thread ends: waiting senders get 0, its windows go silently.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder()
    {
        if (!queue)
            return;
        std::deque<std::shared_ptr<SentMessage>> pending;
        {
            std::lock_guard lock(queue->mutex);
            queue->alive = false;
            pending.swap(queue->sent);
        }
        for (auto& sent : pending)
            Complete(sent, 0);
        // As when a Windows thread ends, its windows go without messages (there is nobody left to
        // answer them), and their classes no longer count them.
        std::vector<HWND> orphans;
        for (auto& window : AllWindows())
            if (window->queue == queue)
                orphans.push_back(window->hwnd);
        for (HWND hwnd : orphans)
            UnlinkWindow(hwnd);
    }
};

thread_local QueueHolder t_queue;

bool MatchesFilter(const MSG& msg, HWND filter, UINT low, UINT high)
{
    if (low != 0 || high != 0) {
        if (msg.message < low || msg.message > high)
            return false;
    }
    if (filter == nullptr)
        return true;
    if (filter == reinterpret_cast<HWND>(static_cast<intptr_t>(-1)))
        return msg.hwnd == nullptr;
    if (msg.hwnd == filter)
        return true;
    // Children of the filter window match too.
    std::lock_guard lock(WindowLock());
    for (HWND h = msg.hwnd; h != nullptr;) {
        auto window = FindWindowRecord(h);
        if (!window)
            return false;
        if (window->parent == filter)
            return true;
        h = window->parent;
    }
    return false;
}

bool RangeHas(UINT low, UINT high, UINT message)
{
    return (low == 0 && high == 0) || (message >= low && message <= high);
}

bool IsMouseMessage(UINT message)
{
    return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST;
}

void FillTimeAndPoint(MSG& msg)
{
    msg.time = Now();
    POINT point{0, 0};
    GetCursorPos(&point);
    msg.pt = point;
}

bool IsHostThread(const std::shared_ptr<ThreadQueue>& queue)
{
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    return registry.hostThread.lock() == queue;
}

enum class Fetch { Message, Quit, None };

// One pass over the queue in retrieval order. Sent messages are run before it.
Fetch FetchOnce(ThreadQueue& queue, MSG* out, HWND filter, UINT low, UINT high, bool remove, bool* mouse)
{
    *mouse = false;
    std::unique_lock lock(queue.mutex);
    if (!queue.sent.empty())
        return Fetch::None;
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (MatchesFilter(*it, filter, low, high)) {
            *out = *it;
            if (remove)
                queue.posted.erase(it);
            return Fetch::Message;
        }
    }
    if (queue.quit && queue.posted.empty() && RangeHas(low, high, WM_QUIT)) {
        MSG quit{};
        quit.message = WM_QUIT;
        quit.wParam = static_cast<WPARAM>(queue.quitCode);
        lock.unlock();
        FillTimeAndPoint(quit);
        lock.lock();
        *out = quit;
        if (remove)
            queue.quit = false;
        return Fetch::Quit;
    }
    for (auto it = queue.input.begin(); it != queue.input.end(); ++it) {
        if (MatchesFilter(*it, filter, low, high)) {
            *out = *it;
            *mouse = IsMouseMessage(it->message);
            if (remove) {
                queue.input.erase(it);
                queue.inputTaken = true;
            }
            return Fetch::Message;
        }
    }
    if (RangeHas(low, high, WM_PAINT)) {
        for (HWND hwnd : queue.invalid) {
            MSG paint{};
            paint.hwnd = hwnd;
            paint.message = WM_PAINT;
            if (!MatchesFilter(paint, filter, low, high))
                continue;
            lock.unlock();
            FillTimeAndPoint(paint);
            *out = paint;
            return Fetch::Message;
        }
    }
    if (RangeHas(low, high, WM_TIMER)) {
        const DWORD now = Now();
        for (Timer& timer : queue.timers) {
            if (static_cast<int32_t>(now - timer.due) < 0)
                continue;
            MSG tick{};
            tick.hwnd = timer.hwnd;
            tick.message = WM_TIMER;
            tick.wParam = timer.id;
            tick.lParam = reinterpret_cast<LPARAM>(timer.proc);
            if (!MatchesFilter(tick, filter, low, high))
                continue;
            if (remove)
                timer.due = now + timer.elapse;
            lock.unlock();
            FillTimeAndPoint(tick);
            tick.time = now;
            *out = tick;
            return Fetch::Message;
        }
    }
    if (queue.input.empty())
        queue.inputTaken = false;
    return Fetch::None;
}

// Waits a little without sleeping for `changed` to become true: a reply or a message that comes
// within microseconds costs no trip through the scheduler.
template <class Changed>
bool SpinFor(Changed changed)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
    do {
        for (int i = 0; i < 64; ++i) {
            if (changed())
                return true;
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
    } while (std::chrono::steady_clock::now() < until);
    return changed();
}

// The message loop's core: GetMessageA (wait) and PeekMessageA (no wait).
Fetch Retrieve(MSG* out, HWND filter, UINT low, UINT high, bool remove, bool wait)
{
    auto queue = CurrentQueue();
    const bool hostThread = IsHostThread(queue);
    for (;;) {
        const uint64_t seen = queue->wakeCount.load();
        ProcessSentMessages();
        bool pollHost = false;
        Host* host = hostThread ? &CurrentHost() : nullptr;
        if (host != nullptr)
            pollHost = host->Pump();
        ProcessSentMessages();
        if (queue->presentPending.load())
            PresentDirtyWindows();
        bool mouse = false;
        Fetch got = FetchOnce(*queue, out, filter, low, high, remove, &mouse);
        if (got != Fetch::None) {
            queue->lastTime = out->time;
            queue->lastPoint = out->pt;
            if (remove) {
                UpdateKeyStateFromMessage(*queue, *out);
                if (out->message == WM_IME_COMPOSITION)
                    ImeOnRetrieve(out->hwnd, out->lParam);
                if (mouse && out->hwnd != nullptr)
                    SendMessageA(out->hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(out->hwnd),
                                 MAKELONG(HTCLIENT, out->message));
            }
            return got;
        }
        if (!wait)
            return Fetch::None;
        if (!pollHost && SpinFor([&] { return queue->wakeCount.load() != seen; }))
            continue;
        std::unique_lock lock(queue->mutex);
        if (!queue->sent.empty() || queue->presentPending || queue->wakeCount != seen)
            continue;
        auto timeout = std::chrono::milliseconds(pollHost ? 5 : 1000);
        if (!queue->timers.empty()) {
            const DWORD now = Now();
            int32_t soonest = INT32_MAX;
            for (const Timer& timer : queue->timers)
                soonest = std::min(soonest, static_cast<int32_t>(timer.due - now));
            // The clock may be virtual: look again often rather than trust a real-time wait.
            timeout = std::min(timeout, std::chrono::milliseconds(std::clamp(soonest, 0, 10)));
        }
        if (host != nullptr && !pollHost) {
            // Where the host can sleep until the machine's input comes, the window thread waits
            // there; an arrival counted under the mutex from here on wakes the host instead.
            queue->waitingHost = host;
            lock.unlock();
            const bool waited = host->WaitForInput(static_cast<int>(timeout.count()));
            lock.lock();
            queue->waitingHost = nullptr;
            if (waited || queue->wakeCount != seen || !queue->sent.empty())
                continue;
        }
        queue->cv.wait_for(lock, timeout, [&] { return queue->wakeCount != seen || !queue->sent.empty(); });
    }
}

// Appends a posted message to a thread's queue; FALSE when that thread has ended.
BOOL PostToQueue(ThreadQueue& queue, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    FillTimeAndPoint(msg);
    WakingLock lock(queue);
    if (!queue.alive)
        return FALSE;
    queue.posted.push_back(msg);
    lock.Wake();
    return TRUE;
}

// Hands a sent message (or a call) to the thread that owns the window; null when that thread has
// ended. `sender` waits for the answer (null: nobody does).
std::shared_ptr<SentMessage> SendToQueue(ThreadQueue& queue, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         std::shared_ptr<ThreadQueue> sender, LRESULT (*call)(void*) = nullptr,
                                         void* context = nullptr)
{
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hwnd;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    sent->sender = std::move(sender);
    sent->call = call;
    sent->context = context;
    WakingLock lock(queue);
    if (!queue.alive)
        return nullptr;
    // Looked at again under the queue lock: a window destroyed since the caller found it has
    // already had its sends dropped, and one queued now would wait for an owner that may never
    // pump again.
    if (hwnd != nullptr && !FindWindowRecord(hwnd))
        return nullptr;
    queue.sent.push_back(sent);
    lock.Wake();
    return sent;
}

// Sends to a window of another thread and waits for the answer; 0 when that thread ends or the
// window dies first. While waiting, this thread still answers messages sent to its own windows,
// so that two threads sending to each other do not deadlock.
LRESULT SendAcross(ThreadQueue& target, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                   LRESULT (*call)(void*) = nullptr, void* context = nullptr)
{
    auto self = CurrentQueue();
    const uint64_t selfSeen = self->wakeCount.load();
    auto sent = SendToQueue(target, hwnd, message, wParam, lParam, self, call, context);
    if (!sent)
        return 0;
    if (SpinFor([&] { return sent->done.load() || self->wakeCount.load() != selfSeen; }) && sent->done.load())
        return sent->result;
    std::unique_lock lock(self->mutex);
    while (!sent->done) {
        if (!self->sent.empty()) {
            lock.unlock();
            ProcessSentMessages();
            lock.lock();
            continue;
        }
        self->cv.wait(lock);
    }
    return sent->result;
}

} // namespace

std::atomic<void (*)(HWND)> g_afterSendLookupHook{nullptr};

DWORD CurrentThreadId()
{
    return GetCurrentThreadId();
}

DWORD Now()
{
    return timeGetTime();
}

std::shared_ptr<ThreadQueue> CurrentQueue()
{
    if (!t_queue.queue) {
        auto queue = std::make_shared<ThreadQueue>();
        queue->threadId = CurrentThreadId();
        queue->stdThread = std::this_thread::get_id();
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        std::erase_if(registry.queues, [](const std::weak_ptr<ThreadQueue>& q) { return q.expired(); });
        registry.queues.push_back(queue);
        t_queue.queue = queue;
    }
    return t_queue.queue;
}

void WakeAllQueues()
{
    std::vector<std::shared_ptr<ThreadQueue>> queues;
    {
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        for (auto& weak : registry.queues)
            if (auto queue = weak.lock())
                queues.push_back(queue);
    }
    for (auto& queue : queues)
        WakingLock(*queue).Wake();
}

void NoteHostWindowThread(const std::shared_ptr<ThreadQueue>& queue)
{
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    if (registry.hostThread.expired())
        registry.hostThread = queue;
}

void ProcessSentMessages()
{
    auto queue = CurrentQueue();
    for (;;) {
        std::shared_ptr<SentMessage> sent;
        {
            std::lock_guard lock(queue->mutex);
            if (queue->sent.empty())
                return;
            sent = queue->sent.front();
            queue->sent.pop_front();
        }
        LRESULT result = 0;
        if (FindWindowRecord(sent->hwnd)) {
            ++queue->inSend;
            result = sent->call != nullptr ? sent->call(sent->context)
                                           : CallProcedure(sent->hwnd, sent->message, sent->wParam, sent->lParam);
            --queue->inSend;
        }
        Complete(sent, result);
    }
}

LRESULT CallOnOwnerThread(ThreadQueue& owner, HWND hwnd, LRESULT (*call)(void*), void* context)
{
    return SendAcross(owner, hwnd, 0, 0, 0, call, context);
}

void ForgetWindowInQueue(ThreadQueue& queue, HWND hwnd)
{
    std::deque<std::shared_ptr<SentMessage>> dropped;
    {
        std::lock_guard lock(queue.mutex);
        for (auto it = queue.sent.begin(); it != queue.sent.end();) {
            if ((*it)->hwnd == hwnd) {
                dropped.push_back(*it);
                it = queue.sent.erase(it);
            } else
                ++it;
        }
        std::erase_if(queue.posted, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
        std::erase_if(queue.input, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
        std::erase_if(queue.timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
        queue.invalid.erase(hwnd);
    }
    for (auto& sent : dropped)
        Complete(sent, 0);
}

bool InputSettled(HWND hwnd)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return true;
    ThreadQueue& queue = *window->queue;
    std::lock_guard lock(queue.mutex);
    return queue.input.empty() && !queue.inputTaken;
}

void QueueInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, POINT screenPoint)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return;
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = Now();
    msg.pt = screenPoint;
    ThreadQueue& queue = *window->queue;
    WakingLock lock(queue);
    // Mouse moves in a row collapse into the last one, as the system's input queue does.
    if (message == WM_MOUSEMOVE && !queue.input.empty()) {
        MSG& last = queue.input.back();
        if (last.message == WM_MOUSEMOVE && last.hwnd == hwnd && last.wParam == wParam) {
            last = msg;
            lock.Wake();
            return;
        }
    }
    queue.input.push_back(msg);
    lock.Wake();
}

void RequestPresent(ThreadQueue& queue)
{
    WakingLock lock(queue);
    queue.presentPending = true;
    lock.Wake();
}

void ClearPresentPending(ThreadQueue& queue)
{
    std::lock_guard lock(queue.mutex);
    queue.presentPending = false;
}

void InvalidateInQueue(ThreadQueue& queue, HWND hwnd, bool invalid)
{
    WakingLock lock(queue);
    if (invalid) {
        queue.invalid.insert(hwnd);
        lock.Wake();
        return;
    }
    // Looked at again under the queue lock: another thread may have invalidated the window since
    // the caller validated it, and its paint request must stay.
    auto window = FindWindowRecord(hwnd);
    std::lock_guard windowLock(WindowLock());
    if (!window || !window->hasInvalid || !IsVisibleStyle(*window))
        queue.invalid.erase(hwnd);
}

} // namespace winapi::user

using namespace winapi::user;

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (msg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hwnd != nullptr && hwnd != reinterpret_cast<HWND>(static_cast<intptr_t>(-1)) && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    // A WM_QUIT ends the loop also when it was posted like any other message.
    Retrieve(msg, hwnd, filterMin, filterMax, true, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove)
{
    if (msg == nullptr)
        return FALSE;
    return Retrieve(msg, hwnd, filterMin, filterMax, (remove & PM_REMOVE) != 0, false) != Fetch::None;
}

BOOL WINAPI WaitMessage()
{
    auto queue = CurrentQueue();
    ProcessSentMessages();
    MSG msg;
    if (Retrieve(&msg, nullptr, 0, 0, false, false) != Fetch::None)
        return TRUE;
    std::unique_lock lock(queue->mutex);
    const uint64_t seen = queue->wakeCount;
    queue->cv.wait_for(lock, std::chrono::milliseconds(10),
                       [&] { return queue->wakeCount != seen || !queue->sent.empty(); });
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg)
{
    if (msg == nullptr)
        return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (msg->hwnd == nullptr)
        return 0;
    auto window = FindWindowRecord(msg->hwnd);
    if (!window || window->queue != CurrentQueue())
        return 0;
    return CallProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<ThreadQueue> queue;
    if (hwnd == nullptr)
        queue = CurrentQueue();
    else {
        auto window = FindWindowRecord(hwnd);
        if (!window) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        queue = window->queue;
    }
    return PostToQueue(*queue, hwnd, message, wParam, lParam);
}

BOOL WINAPI PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<ThreadQueue> target;
    {
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        for (auto& weak : registry.queues)
            if (auto queue = weak.lock(); queue && queue->threadId == threadId)
                target = queue;
    }
    if (!target) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return PostToQueue(*target, nullptr, message, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode)
{
    auto queue = CurrentQueue();
    WakingLock lock(*queue);
    queue->quit = true;
    queue->quitCode = exitCode;
    lock.Wake();
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto window = FindWindowRecord(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->queue == CurrentQueue())
        return CallProcedure(hwnd, message, wParam, lParam);
    if (auto hook = g_afterSendLookupHook.load())
        hook(hwnd);
    return SendAcross(*window->queue, hwnd, message, wParam, lParam);
}

BOOL WINAPI SendNotifyMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return FALSE;
    if (window->queue == CurrentQueue()) {
        CallProcedure(hwnd, message, wParam, lParam);
        return TRUE;
    }
    return SendToQueue(*window->queue, hwnd, message, wParam, lParam, nullptr) ? TRUE : FALSE;
}

BOOL WINAPI InSendMessage()
{
    return CurrentQueue()->inSend > 0;
}

DWORD WINAPI GetMessagePos()
{
    auto queue = CurrentQueue();
    return static_cast<DWORD>(MAKELONG(queue->lastPoint.x, queue->lastPoint.y));
}

LONG WINAPI GetMessageTime()
{
    return static_cast<LONG>(CurrentQueue()->lastTime);
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    std::shared_ptr<ThreadQueue> queue;
    if (hwnd != nullptr) {
        auto window = FindWindowRecord(hwnd);
        if (!window || window->queue != CurrentQueue()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        queue = window->queue;
    } else
        queue = CurrentQueue();
    // Win32 keeps elapse within 10 ms .. 0x7FFFFFFF.
    elapse = std::clamp<UINT>(elapse, 10, 0x7FFFFFFF);
    WakingLock lock(*queue);
    if (hwnd == nullptr) {
        // Thread timers get fresh ids unless the caller names one of its own.
        auto existing = std::find_if(queue->timers.begin(), queue->timers.end(),
                                     [id](const Timer& t) { return t.hwnd == nullptr && t.id == id; });
        if (id == 0 || existing == queue->timers.end()) {
            // Fresh ids run through 0x10000-0x1FFFF and skip those of live thread timers: after
            // a wrap they could name a timer still running.
            id = 0;
            for (int tries = 0; tries < 0x10000 && id == 0; ++tries) {
                const UINT_PTR candidate = 0x10000 | (queue->nextTimerId++ & 0xFFFF);
                if (std::none_of(queue->timers.begin(), queue->timers.end(), [candidate](const Timer& t) {
                        return t.hwnd == nullptr && t.id == candidate;
                    }))
                    id = candidate;
            }
            if (id == 0)
                return 0;
        }
    }
    for (Timer& timer : queue->timers) {
        if (timer.hwnd == hwnd && timer.id == id) {
            timer.elapse = elapse;
            timer.proc = proc;
            timer.due = Now() + elapse;
            lock.Wake();
            return id == 0 ? 1 : id;
        }
    }
    Timer timer;
    timer.hwnd = hwnd;
    timer.id = id;
    timer.elapse = elapse;
    timer.proc = proc;
    timer.due = Now() + elapse;
    queue->timers.push_back(timer);
    lock.Wake();
    return hwnd != nullptr && id == 0 ? 1 : id;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id)
{
    std::shared_ptr<ThreadQueue> queue;
    if (hwnd != nullptr) {
        auto window = FindWindowRecord(hwnd);
        if (!window)
            return FALSE;
        queue = window->queue;
    } else
        queue = CurrentQueue();
    std::lock_guard lock(queue->mutex);
    const auto before = queue->timers.size();
    std::erase_if(queue->timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    return queue->timers.size() != before;
}
