// Test hooks of the SDL host (tests do not include SDL): SDL's virtual joysticks, drops pushed as
// SDL events, and the SDL window of a window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "winapi/base.h"
#include "winapi/host.h"

namespace winapi::sdl_testing {

// Attaches a virtual game controller (6 axes, 15 buttons, 1 hat) → a handle for the calls below,
// or -1 when SDL cannot.
int AttachVirtualController();
bool SetVirtualAxis(int handle, int axis, int16_t value);
bool SetVirtualButton(int handle, int button, bool down);
bool SetVirtualHat(int handle, uint8_t hat);
bool DetachVirtual(int handle);
// Pushes SDL_DROPBEGIN, one SDL_DROPFILE a name and SDL_DROPCOMPLETE for a window.
void PushDrop(HWND hwnd, const std::vector<std::string>& pathsUtf8);
// The SDL window id of a window of the SDL host; 0 when none.
uint32_t SdlWindowId(HWND hwnd);
// The SDL_Renderer a window of the SDL host presents through (benchmarks draw beside it); null
// when it has none yet.
void* Renderer(HWND hwnd);
// Whether the window system holds the window as one over its owner (X11: the transient-for hint
// names the owner's window) → 1 yes, 0 no, -1 it cannot tell (not X11, or either is no window).
int IsModalFor(HWND hwnd, HWND owner);
// Application frame: the SDL window's flags, desktop full screen, keyboard grab, the screen-saver
// switch and the display's current mode (false when SDL cannot tell).
uint32_t WindowFlags(HWND hwnd);
bool IsDesktopFullScreen(HWND hwnd);
bool IsKeyboardGrabbed(HWND hwnd);
bool IsScreenSaverAllowed();
bool CurrentDisplayMode(int display, int* width, int* height);
// Full screen: what the window shows (renderer pixels, borders included; empty when nothing was
// presented), the SDL window's place and size (false when none), and a pointer move pushed as an
// SDL event at a point of the SDL window.
Frame ReadShown(HWND hwnd);
bool WindowBounds(HWND hwnd, RECT* bounds);
void PushMouseMotion(HWND hwnd, int x, int y);
// A button (0 left, 1 right, 2 middle) pressed or let go at a point of the SDL window, pushed as
// an SDL event.
void PushMouseButton(HWND hwnd, int x, int y, int button, bool down);
// The window's close box as a window manager clicks it: on X11 the WM_DELETE_WINDOW message sent
// to the window, elsewhere SDL's close event pushed. → false when the window has no SDL window.
bool ClickCloseBox(HWND hwnd);
// Every wait of the window thread in SDL lasts up to `ms` whatever its caller asked (0: as
// asked), so that a lost wake-up shows as a hang.
void SetWaitTimeout(int ms);
// While set, message boxes fail to show, as on a machine without a dialog program.
void SetNoMessageBoxes(bool none);

} // namespace winapi::sdl_testing
