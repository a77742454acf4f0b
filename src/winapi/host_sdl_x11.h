// What the SDL host asks of X11 itself, kept apart: Xlib's macros (None, Bool, Status, Window)
// must not meet the window system's names.
#pragma once

struct SDL_Window;

namespace winapi::sdl_x11 {

// 1 when the window's transient-for hint names the owner's window, 0 when not, -1 when either is
// no X11 window.
int IsTransientFor(SDL_Window* window, SDL_Window* owner);

// Sends the window the window manager's WM_DELETE_WINDOW message, as its close box does → false
// when it is no X11 window.
bool SendDeleteWindow(SDL_Window* window);

} // namespace winapi::sdl_x11
