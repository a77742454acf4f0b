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

} // namespace winapi::sdl_x11
