// Inside the window system: window records, classes, thread queues and backing stores. Internal
// to winapi. Locks: the window lock (WindowLock) is innermost: code holding it takes no other lock
// and calls nothing outside this file set. No lock is held while a window procedure, a hook or
// the host runs.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "winapi/gdi_memory_dc.h"
#include "winapi/host.h"
#include "winapi/user.h"

namespace winapi::user {

struct ThreadQueue;

struct SentMessage {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    std::atomic<bool> done{false};        // set under sender->mutex; read without it while spinning
    std::shared_ptr<ThreadQueue> sender;  // null: nobody waits (SendNotifyMessageA)
    LRESULT (*call)(void*) = nullptr;     // set: run call(context) instead of the procedure
    void* context = nullptr;
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    DWORD due = 0;
};

struct ThreadQueue {
    std::mutex mutex;
    std::condition_variable cv;
    DWORD threadId = 0;
    std::thread::id stdThread;
    bool alive = true;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::deque<MSG> posted;
    std::deque<MSG> input;
    // An input message was taken out and the thread has not yet come back to find its queue
    // empty: it is still handling that input (under the mutex).
    bool inputTaken = false;
    bool quit = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    UINT_PTR nextTimerId = 1;
    std::set<HWND> invalid;    // windows with something to paint
    std::atomic<bool> presentPending{false};
    std::atomic<uint64_t> wakeCount{0};  // changes with every arrival (read without the mutex)
    Host* waitingHost = nullptr;         // the host the owner waits in (WaitForInput), if any
    // Retrieval state of the thread (touched only by the owner thread).
    DWORD lastTime = 0;
    POINT lastPoint{0, 0};
    int inSend = 0;
    BYTE keyState[256]{};
};

// The calling thread's queue, made on first use.
std::shared_ptr<ThreadQueue> CurrentQueue();
DWORD CurrentThreadId();
// Milliseconds on the clock the window system runs on (the virtual clock under the headless host).
DWORD Now();
// Wakes every waiting thread (the clock moved, a host event arrived).
void WakeAllQueues();

// A window's client pixels. A top-level window presents its own with its visible children's
// over them (clipped to each ancestor's client, in z-order); a child's changes present there. It keeps the region drawn since the last present as a few merged
// rectangles (bands of one rectangle join again; past kMaxPending rectangles or half the client
// they become their bounding box). Presents happen in batches, on the window's owner thread only:
// at the end of a batch there (ReleaseDC, EndPaint, GdiFlush) or when the owner is woken because
// another thread drew; a drawing thread marks and wakes, it never waits for the owner.
class BackingStore : public DcTarget {
public:
    static constexpr size_t kMaxPending = 48;

    explicit BackingStore(HWND hwnd) : hwnd_(hwnd) {}
    bool Lock(PixelView* view) override;
    void Unlock(const RECT* changed) override;
    HWND Window() const override { return hwnd_; }
    void Flush() override;
    void Resize(int width, int height);
    // Hands the pending rectangles to the host, which reads them from a copy made under the
    // store's lock; nothing when none is pending. Owner thread only.
    void PresentPending();
    // The whole client pending (an expose).
    void MarkDirty();
    // A rectangle pending (client coordinates; a child's pixels shown over this window changed).
    void MarkPending(const RECT& rect);
    // Copies what of `area` (target coordinates) this store covers, placed with its top-left
    // corner at `origin`, into a width x height target (a child composed over its top-level).
    void CopyShown(const RECT& area, POINT origin, uint32_t* target, int width, int height);
    // The pending rectangles (tests).
    std::vector<RECT> Pending();

private:
    void AddPending(const RECT& rect);

    HWND hwnd_;
    std::recursive_mutex mutex_;
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
    std::vector<RECT> pending_;
    // What the host is shown: the pixels as of the last present (presentMutex_).
    std::mutex presentMutex_;
    int presentedWidth_ = 0;
    int presentedHeight_ = 0;
    std::vector<uint32_t> presented_;
    std::vector<RECT> presentRects_;
    std::vector<RECT> composedRects_;
};

struct WindowClass {
    std::string name;  // compared without case
    ATOM atom = 0;
    WNDCLASSEXA info{};
    std::string menuName;
    bool system = false;
    int windows = 0;
};

struct Window {
    HWND hwnd = nullptr;
    std::shared_ptr<WindowClass> cls;
    std::shared_ptr<ThreadQueue> queue;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{0, 0, 0, 0};  // whole window, screen coordinates
    HWND parent = nullptr;
    HWND owner = nullptr;
    std::vector<HWND> children;
    std::string text;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    std::vector<BYTE> extra;  // the class's cbWndExtra bytes (window longs at index 0 and up)
    HINSTANCE instance = nullptr;
    HMENU menu = nullptr;
    HMENU systemMenu = nullptr;
    bool destroying = false;
    bool destroyed = false;
    bool messageOnly = false;  // created under HWND_MESSAGE: never shown, never activated
    bool hostDirty = false;    // the host's copy of the window state waits for the owner thread
    bool hasInvalid = false;
    bool invalidErase = false;
    RECT invalid{0, 0, 0, 0};
    std::shared_ptr<BackingStore> store;
    bool hostWindow = false;
};

std::recursive_mutex& WindowLock();
// The live window for a handle (null for a bad or destroyed one).
std::shared_ptr<Window> FindWindowRecord(HWND hwnd);
// Every live window (snapshot), in creation order.
std::vector<std::shared_ptr<Window>> AllWindows();
bool IsTopLevel(const Window& window);
// Client rectangle in screen coordinates.
RECT ClientRectOnScreen(const Window& window);
// Menu-bar, caption and frame sizes of a style (what AdjustWindowRectEx adds).
RECT NonClientInsets(DWORD style, DWORD exStyle, bool menu);

// Visibility, minimised, maximised, enabled and top-most live in the style bits.
inline bool IsVisibleStyle(const Window& w) { return (w.style & WS_VISIBLE) != 0; }
inline bool IsMinimizedStyle(const Window& w) { return (w.style & WS_MINIMIZE) != 0; }

// Runs `call` on the window's owner thread (directly when that is the calling thread, else by a
// send that waits); 0 when the window is gone.
LRESULT RunOnOwner(HWND hwnd, LRESULT (*call)(void*), void* context);
// Runs `call` on another thread, inside its message retrieval, and waits for it (RunOnOwner's
// cross-thread half); 0 when that thread ends or the window dies first.
LRESULT CallOnOwnerThread(ThreadQueue& owner, HWND hwnd, LRESULT (*call)(void*), void* context);
// Calls the window's procedure on the calling thread (the owner).
LRESULT CallProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Whether the window's owner thread has handled all the input given to it: none waits in its
// queue, and it came back for more after the last one it took.
bool InputSettled(HWND hwnd);
// Input for a window's owner thread (key state, coalesced mouse moves).
void QueueInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, POINT screenPoint);
// Queue bookkeeping: a store changed (present on the owner thread), the invalid set.
void RequestPresent(ThreadQueue& queue);
void ClearPresentPending(ThreadQueue& queue);
// `invalid` false drops the request only while the window has nothing left to paint.
void InvalidateInQueue(ThreadQueue& queue, HWND hwnd, bool invalid);
// Runs the sent messages waiting for the calling thread.
void ProcessSentMessages();
// Removes a window for good, without messages: after its WM_NCDESTROY, or when its thread ended.
void UnlinkWindow(HWND hwnd);
// Ends the sends waiting on a destroyed window with 0, drops its posted messages and timers.
void ForgetWindowInQueue(ThreadQueue& queue, HWND hwnd);
// The window-system state of the host: the thread that owns host windows pumps the host.
void NoteHostWindowThread(const std::shared_ptr<ThreadQueue>& queue);
// Presents the stores of this thread's windows that changed.
void PresentDirtyWindows();
// Host window state of a window.
HostWindowState HostState(const Window& window);
void UpdateHostWindow(HWND hwnd);
// Every top-level window's host state again (the displays changed: full screen may have too).
void UpdateHostWindows();
// Key-state update when a key or button message is taken out of the queue.
void UpdateKeyStateFromMessage(ThreadQueue& queue, const MSG& msg);
// A key held down at the host (headless): the async state and the calling thread's key state.
void HoldKey(int virtualKey, bool down);
// Activation (WM_ACTIVATEAPP, WM_NCACTIVATE, WM_ACTIVATE, focus) to a top-level window or none.
void Activate(HWND hwnd);
// Drops activation, focus and capture state that names this window.
void ForgetWindowInput(HWND hwnd);
// The cursor a window's class names.
HCURSOR ClassCursor(HWND hwnd);
// IME: runs the host's text through the window's input context (imm.cpp).
bool ImeTakesText(HWND hwnd, const std::string& sjis);
void ImeComposition(HWND hwnd, const std::string& sjis, int cursor);
// The same with clause ends (bytes) and a delta start, as the test host gives them.
void ImeComposition(HWND hwnd, const std::string& sjis, int cursor, const std::vector<DWORD>& clauseEnds,
                    int deltaStart);
void ImeForgetWindow(HWND hwnd);
void ImeOnRetrieve(HWND hwnd, LPARAM flags);
// Hands the cursor's picture (or its standard shape) to the host.
void ShowCursorShape(HCURSOR cursor);
// Whether the last Alt press had no other key pressed before its release.
bool AltPressedAlone();
// The low-level keyboard hooks; true when a hook swallowed the key.
bool RunKeyboardHooks(WPARAM message, const KBDLLHOOKSTRUCT& info);
// Tests only: runs in a cross-thread SendMessageA between finding the window and queuing the send.
extern std::atomic<void (*)(HWND)> g_afterSendLookupHook;

} // namespace winapi::user
