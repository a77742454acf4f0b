#include "script/script_stop.h"

#include <chrono>

std::atomic<bool> g_scriptStopRequested{false};

namespace {

using Clock = std::chrono::steady_clock;
// Deadline in steady-clock ticks; the maximum while no request is raised.
std::atomic<Clock::rep> g_deadline{Clock::duration::max().count()};

} // namespace

void RequestScriptStop(uint32_t graceMs)
{
    const Clock::rep due = (Clock::now() + std::chrono::milliseconds(graceMs)).time_since_epoch().count();
    Clock::rep current = g_deadline.load();
    while (due < current && !g_deadline.compare_exchange_weak(current, due)) {
    }
    g_scriptStopRequested.store(true);
}

void ClearScriptStop()
{
    g_scriptStopRequested.store(false);
    g_deadline.store(Clock::duration::max().count());
}

bool ScriptStopDue()
{
    return g_scriptStopRequested.load() && Clock::now().time_since_epoch().count() >= g_deadline.load();
}
