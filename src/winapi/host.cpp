// Choosing the host: TESSARO_HOST=headless|sdl, else SDL where there is a display.
#include "winapi/host.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "winapi/host_headless.h"
#include "winapi/user.h"

namespace winapi {

namespace {

std::recursive_mutex g_hostMutex;
Host* g_host = nullptr;  // never freed while the process runs: windows may outlive main
// The installed host, read without the lock: CurrentHost is called under the window system's
// locks, and installing a host takes the host's own.
std::atomic<Host*> g_installed{nullptr};

bool HaveDisplay()
{
    return std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr ||
           std::getenv("SDL_VIDEODRIVER") != nullptr;
}

std::unique_ptr<Host> ChooseHost()
{
    const char* wanted = std::getenv("TESSARO_HOST");
    const bool headless = wanted != nullptr && std::strcmp(wanted, "headless") == 0;
    const bool sdl = wanted != nullptr && std::strcmp(wanted, "sdl") == 0;
    if (!headless && (sdl || HaveDisplay())) {
        if (auto host = MakeSdlHost())
            return host;
        std::fprintf(stderr, "tessaro: SDL video did not start; running headless\n");
    }
    return std::make_unique<HeadlessHost>();
}

void Install(std::unique_ptr<Host> host)
{
    g_installed.store(nullptr, std::memory_order_release);
    delete g_host;
    g_host = host.release();
    SetDisplays(g_host->Displays());
    g_installed.store(g_host, std::memory_order_release);
}

} // namespace

RECT LetterboxRect(int frameWidth, int frameHeight, int surfaceWidth, int surfaceHeight)
{
    if (frameWidth < 1 || frameHeight < 1 || surfaceWidth < 1 || surfaceHeight < 1)
        return RECT{0, 0, 0, 0};
    int64_t width = surfaceWidth;
    int64_t height = width * frameHeight / frameWidth;
    if (height > surfaceHeight) {
        height = surfaceHeight;
        width = height * frameWidth / frameHeight;
    }
    const auto left = static_cast<LONG>((surfaceWidth - width) / 2);
    const auto top = static_cast<LONG>((surfaceHeight - height) / 2);
    return RECT{left, top, left + static_cast<LONG>(width), top + static_cast<LONG>(height)};
}

int DefaultMessageBoxButton(UINT type)
{
    static const int kButtons[][3] = {
        {IDOK, IDOK, IDOK},        {IDOK, IDCANCEL, IDCANCEL}, {IDABORT, IDRETRY, IDIGNORE},
        {IDYES, IDNO, IDCANCEL},   {IDYES, IDNO, IDNO},        {IDRETRY, IDCANCEL, IDCANCEL},
    };
    const UINT kind = type & 0xF;
    const UINT which = (type >> 8) & 0xF;  // MB_DEFBUTTON1..3 are 0x000, 0x100, 0x200
    return kButtons[kind < 6 ? kind : 0][which < 3 ? which : 0];
}

void EchoMessageBox(const std::string& textUtf8)
{
    std::string line = textUtf8;
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

Host& CurrentHost()
{
    if (Host* host = g_installed.load(std::memory_order_acquire))
        return *host;
    std::lock_guard lock(g_hostMutex);
    if (g_host == nullptr)
        Install(ChooseHost());
    return *g_host;
}

void SetHost(std::unique_ptr<Host> host)
{
    if (!host)
        return;
    std::lock_guard lock(g_hostMutex);
    Install(std::move(host));
}

HeadlessHost* CurrentHeadlessHost()
{
    return dynamic_cast<HeadlessHost*>(&CurrentHost());
}

} // namespace winapi
