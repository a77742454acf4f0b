// The end-session signals; see end_session.h. The handler only writes to a pipe (all a signal
// handler may do); the watcher thread reads it and runs the hook and the window system's
// session end there.
#include "winapi/end_session.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "winapi/host.h"
#include "winapi/kernel_system.h"

namespace winapi {

namespace {

// A game that only runs slowly (a loaded machine) must still end by its own path, with its exit
// status; one truly caught is ended after this.
constexpr int kEndSessionTimeoutMs = 10000;
int g_pipe[2] = {-1, -1};
std::atomic<EndSessionHook> g_hook{nullptr};

void OnSignal(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
    errno = saved;
}

void Watch()
{
    for (;;) {
        char byte = 0;
        const ssize_t got = read(g_pipe[0], &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != 1)
            return;
        std::fprintf(stderr, "tessaro: %s received; saving and ending the game\n",
                     byte == SIGINT ? "SIGINT" : "SIGTERM");
        if (EndSessionHook hook = g_hook.load())
            hook();
        // As Windows ends a program that holds up the end of the session: one whose window
        // thread never answers (a native caught in a wait) is ended after a while, as the
        // signal would have ended it.
        const int code = 128 + byte;
        std::thread([code] {
            std::this_thread::sleep_for(std::chrono::milliseconds(kEndSessionTimeoutMs));
            std::fprintf(stderr, "tessaro: the game did not end in time; ending it\n");
            ExitProcess(static_cast<UINT>(code));
        }).detach();
        // A signal that comes before the game's window exists waits for it.
        while (!HostEndSession())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool Install()
{
    if (pipe2(g_pipe, O_CLOEXEC) != 0)
        return false;
    fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    // The watcher lives as long as the process: it blocks on the pipe, which is never closed.
    std::thread(Watch).detach();
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Once handled, the next signal takes its default action: a player who presses Ctrl+C again
    // while the game saves gets the program ended at once.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

} // namespace

bool InstallEndSessionSignals(EndSessionHook hook)
{
    g_hook.store(hook);
    static const bool installed = Install();
    return installed;
}

} // namespace winapi
