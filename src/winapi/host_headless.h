// The headless host: no screen and no SDL. Windows are records, frames are captured, message
// boxes are recorded and answered from a script, displays and display modes are whatever the test
// sets, and time is the virtual clock (switched on when the host starts). Input is injected with
// the Host* entry points of winapi/host.h or the helpers below.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "winapi/host.h"
#include "winapi/play_script.h"

namespace winapi {

class HeadlessHost : public Host {
public:
    struct MessageBoxRecord {
        std::string text;     // UTF-8
        std::string caption;  // UTF-8
        UINT type = 0;
        int answer = 0;
    };

    HeadlessHost();
    ~HeadlessHost() override;

    const char* Name() const override { return "headless"; }
    bool OpenWindow(HWND hwnd, const HostWindowState& state) override;
    void CloseWindow(HWND hwnd) override;
    void UpdateWindow(HWND hwnd, const HostWindowState& state) override;
    void Present(HWND hwnd, const FrameView& view, const std::vector<RECT>& rects) override;
    // The recorder keeps its own copy: it takes the rectangles straight from the store.
    bool Upload(HWND hwnd, const FrameView& view, const std::vector<RECT>& rects) override
    {
        Present(hwnd, view, rects);
        return true;
    }
    Frame ReadBack(HWND hwnd) override;
    bool Pump() override { return false; }
    int MessageBox(const std::string& textUtf8, const std::string& captionUtf8, UINT type) override;
    std::vector<DisplayInfo> Displays() override;
    std::vector<DisplayInfo> Modes(int display) override;
    void SetCursorVisible(bool visible) override;
    void WarpCursor(HWND hwnd, int x, int y) override;
    void SetCursorShape(const uint32_t* pixels, int width, int height, int hotX, int hotY, int standardId) override;
    void SetTextInput(bool on) override;
    // Application frame: recorded for tests.
    void SetScreenSaverAllowed(bool allowed) override;
    void SetKeyboardGrab(HWND hwnd, bool grab) override;
    void SetTextInputRect(HWND hwnd, const RECT& rect) override;
    bool ScreenSaverAllowed();
    bool KeyboardGrabbed();
    RECT TextInputRect();
    // Message boxes held open: while holding, a box waits until AnswerHeldBox; HeldBoxCount says
    // how many are waiting.
    void SetHoldMessageBoxes(bool hold);
    int HeldBoxCount();
    void AnswerHeldBox(int answer);

    // Configuration. SetDisplays also informs the window system (WM_DISPLAYCHANGE).
    void SetDisplays(std::vector<DisplayInfo> displays);
    void SetModes(std::vector<DisplayInfo> modes);
    // Answers for the next message boxes, in order; when none is left a box answers its default
    // button (DefaultMessageBoxButton).
    void QueueMessageBoxAnswers(std::vector<int> answers);
    std::vector<MessageBoxRecord> MessageBoxes();
    // The engine outside tests: each box also goes to stderr as one UTF-8 line.
    void SetEchoMessageBoxes(bool echo);

    // What the host holds.
    bool HasWindow(HWND hwnd);
    HostWindowState WindowState(HWND hwnd);
    int PresentCount(HWND hwnd);
    // The rectangles of each present since the last call, oldest first: the newest
    // kMaxPresentRecords presents of them.
    static constexpr size_t kMaxPresentRecords = 1024;
    std::vector<std::vector<RECT>> TakePresentedRects(HWND hwnd);
    // How many presents' rectangles the host holds for the window now.
    size_t HeldPresentRecords(HWND hwnd);
    bool CursorVisible();
    int CursorStandardId();
    bool TextInput();

    // Injection helpers: a key press (down, the text it types when printable, up) and a click.
    void PressKey(HWND hwnd, int scancode, const std::string& textUtf8 = std::string());
    void Click(HWND hwnd, int x, int y, int button = 0);
    // Holds a key down (or lets it go) as if it had been pressed before the program started:
    // GetAsyncKeyState, and GetKeyState on the calling thread, see it.
    void HoldKey(int virtualKey, bool down);
    // Moves the virtual clock and wakes the threads waiting for timers.
    void AdvanceClock(uint32_t ms);
    // Frame capture (on at start). Off, presents are still counted and their rectangles recorded,
    // but no pixels are copied: ReadBack answers the frame as last captured. For benchmarks that
    // time the way to a window's store without the recorder's copy behind it.
    void SetFrameCapture(bool on);
    // Clipboard: each text put there, oldest first.
    void SetClipboardText(const std::string& textUtf8) override;
    std::vector<std::string> ClipboardTexts();

    // Plays a play script (play_script.h) on the virtual clock: each event is carried out when
    // the clock passes its time, counted from this call, by whichever thread moves the clock.
    // The play's time stands still while a dialog runs or the game's window has input it has
    // not yet handled.
    // Clicks, keys, the close request and frames go to the game's window (the first window
    // opened that is still open). → false with "FILE:LINE: message" (or why the file could not
    // be read) in *error; nothing is started then.
    bool StartPlayScript(const std::string& pathUtf8, std::string* error);
    // The events of the play script not yet carried out.
    size_t PendingPlayEvents();

private:
    struct WindowRecord {
        HostWindowState state;
        Frame frame;
        int presents = 0;
        std::deque<std::vector<RECT>> presented;
    };
    std::mutex mutex_;
    std::map<HWND, WindowRecord> windows_;
    std::vector<DisplayInfo> displays_;
    std::vector<DisplayInfo> modes_;
    std::deque<int> answers_;
    std::vector<MessageBoxRecord> boxes_;
    std::vector<std::string> clipboard_;
    bool cursorVisible_ = true;
    int cursorStandardId_ = 0;
    bool textInput_ = false;
    // Application frame.
    bool screenSaverAllowed_ = true;
    bool keyboardGrabbed_ = false;
    RECT textInputRect_{0, 0, 0, 0};
    bool holdBoxes_ = false;
    int heldBoxes_ = 0;
    std::deque<int> heldAnswers_;
    std::condition_variable heldChanged_;
    bool echoBoxes_ = false;
    bool captureFrames_ = true;
    std::vector<HWND> openOrder_;  // windows open now, oldest first

    // The play script: events in time order, the next one to carry out, the clock at the start.
    static void OnClock(void* context, uint64_t ms);
    void RunDueEvents();
    void Carry(const PlayEvent& event);
    HWND GameWindow();
    // No dialog runs and the game's window has handled its input.
    bool GameSettled();
    std::mutex playMutex_;
    std::vector<PlayEvent> play_;
    size_t playNext_ = 0;
    uint64_t playStart_ = 0;
    bool playHeld_ = false;  // the clock moved while the game was not settled, since playHeldSince_
    uint64_t playHeldSince_ = 0;
    int playListener_ = -1;
};

// The current host when it is the headless one, else null.
HeadlessHost* CurrentHeadlessHost();

} // namespace winapi
