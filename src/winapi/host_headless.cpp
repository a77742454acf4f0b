// The headless host; see host_headless.h.
#include "winapi/host_headless.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>

#include "winapi/clock.h"
#include "winapi/dialogs/dialog_script.h"
#include "winapi/user_internal.h"

namespace winapi {

HeadlessHost::HeadlessHost()
{
    displays_.push_back(DisplayInfo{});
    DisplayInfo vga;
    vga.bounds = RECT{0, 0, 640, 480};
    modes_ = {displays_.front(), vga};
    UseVirtualClock(true);
}

HeadlessHost::~HeadlessHost()
{
    if (playListener_ >= 0)
        RemoveClockListener(playListener_);
}

bool HeadlessHost::OpenWindow(HWND hwnd, const HostWindowState& state)
{
    std::lock_guard lock(mutex_);
    if (windows_.count(hwnd) == 0)
        openOrder_.push_back(hwnd);
    windows_[hwnd].state = state;
    return true;
}

void HeadlessHost::CloseWindow(HWND hwnd)
{
    std::lock_guard lock(mutex_);
    windows_.erase(hwnd);
    openOrder_.erase(std::remove(openOrder_.begin(), openOrder_.end(), hwnd), openOrder_.end());
}

void HeadlessHost::UpdateWindow(HWND hwnd, const HostWindowState& state)
{
    std::lock_guard lock(mutex_);
    auto it = windows_.find(hwnd);
    if (it != windows_.end())
        it->second.state = state;
}

void HeadlessHost::Present(HWND hwnd, const FrameView& view, const std::vector<RECT>& rects)
{
    std::lock_guard lock(mutex_);
    auto it = windows_.find(hwnd);
    if (it == windows_.end())
        return;
    // The captured frame stays whole: a new size starts from black, then only the presented
    // rectangles are copied in.
    Frame& frame = it->second.frame;
    // The newest presents only: a game that runs for ever grew this list without end.
    auto& presented = it->second.presented;
    if (presented.size() >= kMaxPresentRecords)
        presented.pop_front();
    presented.push_back(rects);
    ++it->second.presents;
    if (!captureFrames_)
        return;
    if (frame.width != view.width || frame.height != view.height) {
        frame.width = view.width;
        frame.height = view.height;
        frame.pixels.assign(static_cast<size_t>(view.width) * view.height, 0);
    }
    for (const RECT& r : rects) {
        const LONG left = std::max<LONG>(r.left, 0), right = std::min<LONG>(r.right, view.width);
        for (LONG y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, view.height) && left < right; ++y) {
            const size_t at = static_cast<size_t>(y) * view.width + left;
            std::copy(view.pixels + at, view.pixels + at + (right - left), frame.pixels.begin() + at);
        }
    }
}

void HeadlessHost::SetFrameCapture(bool on)
{
    std::lock_guard lock(mutex_);
    captureFrames_ = on;
}

std::vector<std::vector<RECT>> HeadlessHost::TakePresentedRects(HWND hwnd)
{
    std::lock_guard lock(mutex_);
    auto it = windows_.find(hwnd);
    if (it == windows_.end())
        return {};
    auto taken = std::exchange(it->second.presented, {});
    return std::vector<std::vector<RECT>>(std::make_move_iterator(taken.begin()), std::make_move_iterator(taken.end()));
}

Frame HeadlessHost::ReadBack(HWND hwnd)
{
    std::lock_guard lock(mutex_);
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? Frame{} : it->second.frame;
}

int HeadlessHost::MessageBox(const std::string& textUtf8, const std::string& captionUtf8, UINT type)
{
    std::unique_lock lock(mutex_);
    int answer;
    if (holdBoxes_) {
        // Held open: the box is on screen until the test answers it.
        boxes_.push_back(MessageBoxRecord{textUtf8, captionUtf8, type, 0});
        const size_t index = boxes_.size() - 1;
        ++heldBoxes_;
        heldChanged_.notify_all();
        heldChanged_.wait(lock, [this] { return !heldAnswers_.empty(); });
        answer = heldAnswers_.front();
        heldAnswers_.pop_front();
        --heldBoxes_;
        boxes_[index].answer = answer;
        return answer;
    }
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    } else {
        answer = DefaultMessageBoxButton(type);
    }
    boxes_.push_back(MessageBoxRecord{textUtf8, captionUtf8, type, answer});
    if (echoBoxes_)
        EchoMessageBox(textUtf8);
    return answer;
}

void HeadlessHost::SetEchoMessageBoxes(bool echo)
{
    std::lock_guard lock(mutex_);
    echoBoxes_ = echo;
}

std::vector<DisplayInfo> HeadlessHost::Displays()
{
    std::lock_guard lock(mutex_);
    return displays_;
}

std::vector<DisplayInfo> HeadlessHost::Modes(int)
{
    std::lock_guard lock(mutex_);
    return modes_;
}

void HeadlessHost::SetCursorVisible(bool visible)
{
    std::lock_guard lock(mutex_);
    cursorVisible_ = visible;
}

void HeadlessHost::WarpCursor(HWND, int, int) {}

void HeadlessHost::SetCursorShape(const uint32_t*, int, int, int, int, int standardId)
{
    std::lock_guard lock(mutex_);
    cursorStandardId_ = standardId;
}

void HeadlessHost::SetTextInput(bool on)
{
    std::lock_guard lock(mutex_);
    textInput_ = on;
}

void HeadlessHost::SetDisplays(std::vector<DisplayInfo> displays)
{
    if (displays.empty())
        return;
    {
        std::lock_guard lock(mutex_);
        displays_ = std::move(displays);
    }
    HostDisplaysChanged();
}

void HeadlessHost::SetModes(std::vector<DisplayInfo> modes)
{
    std::lock_guard lock(mutex_);
    modes_ = std::move(modes);
}

void HeadlessHost::QueueMessageBoxAnswers(std::vector<int> answers)
{
    std::lock_guard lock(mutex_);
    answers_.insert(answers_.end(), answers.begin(), answers.end());
}

std::vector<HeadlessHost::MessageBoxRecord> HeadlessHost::MessageBoxes()
{
    std::lock_guard lock(mutex_);
    return boxes_;
}

bool HeadlessHost::HasWindow(HWND hwnd)
{
    std::lock_guard lock(mutex_);
    return windows_.count(hwnd) != 0;
}

HostWindowState HeadlessHost::WindowState(HWND hwnd)
{
    std::lock_guard lock(mutex_);
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? HostWindowState{} : it->second.state;
}

size_t HeadlessHost::HeldPresentRecords(HWND hwnd)
{
    std::lock_guard lock(mutex_);
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? 0 : it->second.presented.size();
}

int HeadlessHost::PresentCount(HWND hwnd)
{
    std::lock_guard lock(mutex_);
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? 0 : it->second.presents;
}

bool HeadlessHost::CursorVisible()
{
    std::lock_guard lock(mutex_);
    return cursorVisible_;
}

int HeadlessHost::CursorStandardId()
{
    std::lock_guard lock(mutex_);
    return cursorStandardId_;
}

bool HeadlessHost::TextInput()
{
    std::lock_guard lock(mutex_);
    return textInput_;
}

void HeadlessHost::PressKey(HWND hwnd, int scancode, const std::string& textUtf8)
{
    HostKey(hwnd, HostKeyEvent{scancode, true, false});
    if (!textUtf8.empty())
        HostText(hwnd, textUtf8);
    HostKey(hwnd, HostKeyEvent{scancode, false, false});
}

void HeadlessHost::Click(HWND hwnd, int x, int y, int button)
{
    HostMouseMove(hwnd, x, y);
    HostMouseButton(hwnd, button, true, x, y);
    HostMouseButton(hwnd, button, false, x, y);
}

void HeadlessHost::HoldKey(int virtualKey, bool down)
{
    user::HoldKey(virtualKey, down);
}

void HeadlessHost::AdvanceClock(uint32_t ms)
{
    AdvanceVirtualClock(ms);
    user::WakeAllQueues();
}

void HeadlessHost::SetClipboardText(const std::string& textUtf8)
{
    std::lock_guard<std::mutex> lock(mutex_);
    clipboard_.push_back(textUtf8);
}

std::vector<std::string> HeadlessHost::ClipboardTexts()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return clipboard_;
}

} // namespace winapi

namespace winapi {

// Application frame.
void HeadlessHost::SetScreenSaverAllowed(bool allowed)
{
    std::lock_guard lock(mutex_);
    screenSaverAllowed_ = allowed;
}

void HeadlessHost::SetKeyboardGrab(HWND, bool grab)
{
    std::lock_guard lock(mutex_);
    keyboardGrabbed_ = grab;
}

void HeadlessHost::SetTextInputRect(HWND, const RECT& rect)
{
    std::lock_guard lock(mutex_);
    textInputRect_ = rect;
}

bool HeadlessHost::ScreenSaverAllowed()
{
    std::lock_guard lock(mutex_);
    return screenSaverAllowed_;
}

bool HeadlessHost::KeyboardGrabbed()
{
    std::lock_guard lock(mutex_);
    return keyboardGrabbed_;
}

RECT HeadlessHost::TextInputRect()
{
    std::lock_guard lock(mutex_);
    return textInputRect_;
}

void HeadlessHost::SetHoldMessageBoxes(bool hold)
{
    std::lock_guard lock(mutex_);
    holdBoxes_ = hold;
}

int HeadlessHost::HeldBoxCount()
{
    std::lock_guard lock(mutex_);
    return heldBoxes_;
}

void HeadlessHost::AnswerHeldBox(int answer)
{
    std::lock_guard lock(mutex_);
    heldAnswers_.push_back(answer);
    heldChanged_.notify_all();
}

} // namespace winapi

namespace winapi {

// Play script.
bool HeadlessHost::StartPlayScript(const std::string& pathUtf8, std::string* error)
{
    // A script is a page of text; anything far larger is not one.
    constexpr std::streamoff kMaxScriptBytes = 1 << 20;
    std::ifstream in(pathUtf8, std::ios::binary);
    if (!in) {
        *error = pathUtf8 + ": cannot be opened";
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxScriptBytes) {
        *error = pathUtf8 + ": not a play script (over 1 MiB)";
        return false;
    }
    in.seekg(0);
    std::string text(static_cast<size_t>(size), '\0');
    if (!in.read(text.data(), size)) {
        *error = pathUtf8 + ": cannot be read";
        return false;
    }
    std::vector<PlayEvent> events;
    if (!ParsePlayScript(text, pathUtf8, &events, error))
        return false;
    {
        std::lock_guard lock(playMutex_);
        if (playListener_ >= 0) {
            *error = pathUtf8 + ": a play script is already running";
            return false;
        }
        play_ = std::move(events);
        playNext_ = 0;
        playStart_ = ClockMilliseconds();
    }
    playListener_ = AddClockListener(&HeadlessHost::OnClock, this);
    RunDueEvents();
    return true;
}

size_t HeadlessHost::PendingPlayEvents()
{
    std::lock_guard lock(playMutex_);
    return play_.size() - playNext_;
}

void HeadlessHost::OnClock(void* context, uint64_t)
{
    static_cast<HeadlessHost*>(context)->RunDueEvents();
}

void HeadlessHost::RunDueEvents()
{
    // An event's own work may move the clock (a dialog step, a sleep): its listener call on the
    // same thread finds the events taken already and does nothing.
    thread_local bool running = false;
    if (running)
        return;
    running = true;
    for (;;) {
        const bool settled = GameSettled();
        PlayEvent event;
        {
            std::lock_guard lock(playMutex_);
            if (playNext_ >= play_.size())
                break;
            // The play's clock stands still while the game is busy with the input given to it
            // (a dialog being made and run, in the threaded mode on the other thread while the
            // game's frames move the clock on): the delays of the script count from when the
            // game has done with the event before.
            const uint64_t now = ClockMilliseconds();
            if (!settled) {
                if (!playHeld_) {
                    playHeld_ = true;
                    playHeldSince_ = now;
                }
                break;
            }
            if (playHeld_) {
                playStart_ += now - playHeldSince_;
                playHeld_ = false;
            }
            if (now < playStart_ + play_[playNext_].at)
                break;
            event = std::move(play_[playNext_++]);
        }
        Carry(event);
    }
    running = false;
}

bool HeadlessHost::GameSettled()
{
    const HWND window = GameWindow();
    return dialogs::ModalDialogsRunning() == 0 && (window == nullptr || user::InputSettled(window));
}

HWND HeadlessHost::GameWindow()
{
    std::lock_guard lock(mutex_);
    return openOrder_.empty() ? nullptr : openOrder_.front();
}

void HeadlessHost::Carry(const PlayEvent& e)
{
    const HWND window = GameWindow();
    auto complain = [&e](const std::string& what) {
        std::fprintf(stderr, "play: line %d: %s\n", e.line, what.c_str());
    };
    if (window == nullptr && (e.kind == PlayEvent::Click || e.kind == PlayEvent::Key || e.kind == PlayEvent::Frame ||
                              e.kind == PlayEvent::Close)) {
        complain("no game window yet; the event is dropped");
        return;
    }
    switch (e.kind) {
    case PlayEvent::Click:
        Click(window, e.x, e.y, e.button);
        break;
    case PlayEvent::Key:
        PressKey(window, e.scancode);
        break;
    case PlayEvent::Hold:
        HoldKey(VirtualKeyFromScancode(e.scancode), e.down);
        break;
    case PlayEvent::Dialog:
        dialogs::QueueDialogScript(e.templateId, e.steps);
        break;
    case PlayEvent::Answer:
        QueueMessageBoxAnswers({e.answer});
        break;
    case PlayEvent::Frame: {
        const Frame frame = ReadBack(window);
        if (frame.width == 0)
            complain("nothing presented yet; " + e.file + " not written");
        else if (!WriteFrameBmp(e.file, frame.width, frame.height, frame.pixels))
            complain(e.file + " cannot be written");
        break;
    }
    case PlayEvent::Close:
        HostCloseRequest(window);
        break;
    }
}

} // namespace winapi
