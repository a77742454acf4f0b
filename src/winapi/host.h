// The host edge of the stand-in: the one interface that knows the machine under it. It shows each
// top-level window's client pixels, turns the machine's input into the window system's events,
// shows message boxes and reports the displays. Two hosts: SDL2 (a real window per top-level
// window) and headless (windows are records, input is injected, frames are captured, time is the
// virtual clock). TESSARO_HOST=headless|sdl chooses; without a display headless is chosen.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "winapi/base.h"
#include "winapi/display_info.h"

namespace winapi {

// A window's client pixels: 32-bit, top-down, B G R A bytes, `width` pixels a row.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The presenter's view of a window's client pixels (layout as Frame), valid during Present only.
struct FrameView {
    int width = 0;
    int height = 0;
    const uint32_t* pixels = nullptr;
};

struct HostWindowState {
    std::string titleUtf8;
    RECT client{0, 0, 0, 0};  // screen coordinates of the client area
    bool visible = false;
    bool minimized = false;
    bool topmost = false;
    bool decorated = true;    // caption and frame (false for WS_POPUP windows)
    // A frameless window whose client covers a whole display (as the window system lists the
    // displays now, virtual modes included) is that display's full-screen window: its index
    // there, primary 0; -1 for every other window. The SDL host shows it full screen on that
    // display at the desktop's own mode, the client picture scaled in (aspect kept, linear, black
    // borders) and the pointer mapped back; leaving gives the window its size and place again.
    int fullScreenDisplay = -1;
    // The top-level window that owns this one (a dialog's owner), null for none. The host keeps
    // the window over its owner and, where the machine can say so, modal for it.
    HWND owner = nullptr;
};

class Host {
public:
    virtual ~Host() = default;
    virtual const char* Name() const = 0;

    // Windows. Called on the thread that owns the window (the host's window thread).
    virtual bool OpenWindow(HWND hwnd, const HostWindowState& state) = 0;
    virtual void CloseWindow(HWND hwnd) = 0;
    virtual void UpdateWindow(HWND hwnd, const HostWindowState& state) = 0;
    // Shows what changed of the client pixels: only `rects` (client coordinates, inside the
    // view, at least one) are read from the view, which is the window's store under its lock.
    // Called on the window thread at the end of a drawing batch, never for an unchanged frame.
    virtual void Present(HWND hwnd, const FrameView& view, const std::vector<RECT>& rects) = 0;
    // The same in two steps, for a host that keeps its own copy of the pixels: Upload copies the
    // rectangles while the caller holds the store's lock (so no copy of the store is needed) and
    // must take no lock of the window system; ShowUploaded then shows them, without that lock (a
    // host that shows into memory of its own may show them in Upload already).
    // A host that cannot answers false and is given Present.
    virtual bool Upload(HWND hwnd, const FrameView& view, const std::vector<RECT>& rects)
    {
        return (void)hwnd, (void)view, (void)rects, false;
    }
    virtual void ShowUploaded(HWND hwnd) { (void)hwnd; }
    // The client pixels last shown, as the host holds them; empty when none.
    virtual Frame ReadBack(HWND hwnd) = 0;

    // Turns pending machine input into window-system events; on the window thread. Answers
    // whether it must be called again soon (a host that cannot wake a waiting thread).
    virtual bool Pump() = 0;
    // Waits on the window thread until machine input arrives, WakeWait is called or timeoutMs
    // pass; what arrived is left for the next Pump. Answers false at once when this host cannot
    // wait so (Pump's answer then says whether to poll).
    virtual bool WaitForInput(int timeoutMs) { return (void)timeoutMs, false; }
    // Ends the window thread's WaitForInput (also one about to begin); any thread, called with no
    // lock of the window system held.
    virtual void WakeWait() {}

    // A message box (text and caption in UTF-8, MB_ flags) → IDOK, IDYES, ...; a box that cannot be
    // shown answers its default button (MB_DEFBUTTONn), as Windows does.
    virtual int MessageBox(const std::string& textUtf8, const std::string& captionUtf8, UINT type) = 0;
    virtual std::vector<DisplayInfo> Displays() = 0;
    // Display modes the device offers (width, height, depth, refresh); the current one first.
    virtual std::vector<DisplayInfo> Modes(int display) = 0;

    // The cursor: shown or hidden, moved (client coordinates of a window), and its shape: a
    // picture (32-bit, top-down, B G R A) with its hot spot, or with null pixels the host's own
    // cursor for a standard id (32512 arrow, 32513 I-beam, ...; 0 none).
    virtual void SetCursorVisible(bool visible) = 0;
    virtual void WarpCursor(HWND hwnd, int x, int y) = 0;
    virtual void SetCursorShape(const uint32_t* pixels, int width, int height, int hotX, int hotY, int standardId) = 0;
    // Text composition (the IME) on or off.
    virtual void SetTextInput(bool on) = 0;

    // --- Application frame: screen saver, keyboard grab, IME candidate window ---
    // Whether the machine's screen saver may run (the SDL host lets it run by default).
    virtual void SetScreenSaverAllowed(bool allowed) { (void)allowed; }
    // While set, system key combinations go to the window (full screen with the keyboard hook).
    virtual void SetKeyboardGrab(HWND hwnd, bool grab) { (void)hwnd, (void)grab; }
    // Where the IME's candidate window goes (client coordinates of hwnd).
    virtual void SetTextInputRect(HWND hwnd, const RECT& rect) { (void)hwnd, (void)rect; }

    // --- Clipboard ---
    // Puts UTF-8 text on the system clipboard (the headless host records it).
    virtual void SetClipboardText(const std::string& textUtf8) { (void)textUtf8; }
};

// Where a frame of frameWidth x frameHeight goes on a surface of surfaceWidth x surfaceHeight:
// the largest rectangle with the frame's aspect, centred (the rest is black border). Empty when a
// size is below 1.
RECT LetterboxRect(int frameWidth, int frameHeight, int surfaceWidth, int surfaceHeight);

// The button a box of the MB_ type answers by default: its MB_DEFBUTTONn (the first when the box
// has fewer buttons), e.g. IDNO for MB_YESNO | MB_DEFBUTTON2.
int DefaultMessageBoxButton(UINT type);
// Writes a box's text to stderr as one UTF-8 line (line breaks become spaces), so that a player
// without a screen, or whose box did not show, still reads it.
void EchoMessageBox(const std::string& textUtf8);

// The host of the process, chosen on first use.
Host& CurrentHost();
// Replaces the host (tests); the previous one is destroyed. Only while no window exists.
void SetHost(std::unique_ptr<Host> host);
// Makes the SDL host (SDL's video subsystem started with whatever driver SDL_VIDEODRIVER names);
// null when SDL cannot start.
std::unique_ptr<Host> MakeSdlHost();

// Entry points through which a host delivers input to the window system. `hwnd` is the top-level
// window the event belongs to; coordinates are client coordinates of that window. They may be
// called on any thread: the events join the owner thread's input queue.
struct HostKeyEvent {
    int scancode = 0;     // USB HID usage (as SDL scancodes are)
    bool down = true;
    bool repeat = false;
};
void HostKey(HWND hwnd, const HostKeyEvent& key);
// Typed text (UTF-8): WM_CHAR bytes in Shift-JIS, or through the IME when it is open.
void HostText(HWND hwnd, const std::string& utf8);
// The IME's composition string changed (empty: composition ended).
void HostComposition(HWND hwnd, const std::string& utf8, int cursor);
// The same with the clause ends and the delta start (in characters), which the real hosts never
// give (tests of the composition highlight use it).
void HostComposition(HWND hwnd, const std::string& utf8, int cursor, const std::vector<int>& clauseEnds,
                     int deltaStart);
void HostMouseMove(HWND hwnd, int x, int y);
// button: 0 left, 1 right, 2 middle.
void HostMouseButton(HWND hwnd, int button, bool down, int x, int y);
void HostMouseWheel(HWND hwnd, int delta, int x, int y);
void HostCloseRequest(HWND hwnd);
// The session ends (SIGTERM, SIGINT): each top-level window's owner thread gets WM_QUERYENDSESSION,
// then WM_ENDSESSION with its answer, and a window that allowed it is destroyed, as the process
// would end under Windows. Waits for each owner. → false when there was no top-level window.
bool HostEndSession();
void HostFocus(HWND hwnd, bool gained);
void HostMinimized(HWND hwnd, bool minimized);
void HostExposed(HWND hwnd);
void HostDisplaysChanged();
// The virtual-key code of a USB HID scancode; 0 when none.
int VirtualKeyFromScancode(int scancode);

} // namespace winapi
