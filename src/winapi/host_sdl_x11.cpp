#include "winapi/host_sdl_x11.h"

#include <SDL.h>
#include <SDL_syswm.h>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xutil.h>
#endif

namespace winapi::sdl_x11 {

int IsTransientFor(SDL_Window* window, SDL_Window* owner)
{
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info, ownerInfo;
    SDL_VERSION(&info.version);
    SDL_VERSION(&ownerInfo.version);
    if (!SDL_GetWindowWMInfo(window, &info) || !SDL_GetWindowWMInfo(owner, &ownerInfo) ||
        info.subsystem != SDL_SYSWM_X11 || ownerInfo.subsystem != SDL_SYSWM_X11)
        return -1;
    ::Window named = 0;
    if (XGetTransientForHint(info.info.x11.display, info.info.x11.window, &named) == 0)
        return 0;
    return named == ownerInfo.info.x11.window ? 1 : 0;
#else
    (void)window, (void)owner;
    return -1;
#endif
}

bool SendDeleteWindow(SDL_Window* window)
{
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return false;
    // A connection of its own, as the window manager's is: SDL's is not for other threads.
    Display* display = XOpenDisplay(DisplayString(info.info.x11.display));
    if (display == nullptr)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = info.info.x11.window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, info.info.x11.window, False, NoEventMask, &event) != 0;
    XCloseDisplay(display);
    return sent;
#else
    (void)window;
    return false;
#endif
}

} // namespace winapi::sdl_x11
