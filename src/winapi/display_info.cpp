// The displays known to the stand-in; the host replaces the default list when it starts.
#include "winapi/display_info.h"

#include <mutex>

#include "winapi/host.h"

namespace winapi {

namespace {
std::mutex g_displayMutex;
std::vector<DisplayInfo> g_displays;
} // namespace

std::vector<DisplayInfo> CurrentDisplays()
{
    CurrentHost();  // the host reports its displays when it starts
    std::lock_guard lock(g_displayMutex);
    if (g_displays.empty())
        return {DisplayInfo{}};
    return g_displays;
}

void SetDisplays(std::vector<DisplayInfo> displays)
{
    std::lock_guard lock(g_displayMutex);
    g_displays = std::move(displays);
}

} // namespace winapi
