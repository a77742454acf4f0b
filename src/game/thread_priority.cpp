#include "game/thread_priority.h"

#include "display/screen_filter.h"
#include "game/game_app.h"
#include "game/user_settings.h"
#include "winapi/kernel.h"

std::atomic<int> g_ThreadPriorityNesting{0};

namespace {

bool KeepsPriority()
{
    return g_pTheGameApp == nullptr || g_pTheGameApp->UserBlock()[kUserKeepPriority] != 0;
}

// The game thread when it runs, the calling thread when the game has none; null when a game
// thread is wanted but not running.
HANDLE TargetThread()
{
    // A worker that never started reports "running" too: it has no handle.
    CWorkerThread& thread = g_pTheGameApp->GetGameThread();
    if (HANDLE handle = thread.GetThreadHandle(); handle != nullptr && thread.IsRunning())
        return handle;
    return g_pTheGameApp->UsesGameThread() ? nullptr : GetCurrentThread();
}

int SetTarget(int priority)
{
    HANDLE thread = TargetThread();
    if (thread == nullptr || !SetThreadPriority(thread, priority))
        return 2;
    return 0;
}

} // namespace

int LowerThreadPriority()
{
    if (KeepsPriority())
        return -1;
    if (++g_ThreadPriorityNesting > 1)
        return 1;
    return SetTarget(THREAD_PRIORITY_LOWEST);
}

int RestoreThreadPriority()
{
    if (KeepsPriority())
        return -1;
    // An unmatched Restore would take the count below 0, and the next Lower would lower nothing.
    int open = g_ThreadPriorityNesting.load();
    do {
        if (open <= 0)
            return -1;
    } while (!g_ThreadPriorityNesting.compare_exchange_weak(open, open - 1));
    if (open > 1)
        return 1;
    return SetTarget(THREAD_PRIORITY_NORMAL);
}

bool IsThreadPriorityLowered()
{
    return g_ThreadPriorityNesting.load() > 0;
}

void InstallThreadPriorityHooks(bool install)
{
    g_pfnLowerThreadPriority = install ? +[] { LowerThreadPriority(); } : nullptr;
    g_pfnRestoreThreadPriority = install ? +[] { RestoreThreadPriority(); } : nullptr;
}
