#include "script/script_stop.h"

#include <chrono>

std::atomic<bool> g_scriptStopRequested{false};

namespace {

using Clock = std::chrono::steady_clock;
// Deadline in steady-clock ticks; the maximum while no request is raised.
std::atomic<Clock::rep> g_deadline{Clock::duration::max().count()};
std::atomic<bool> g_lasting{false};
std::atomic<uint32_t> g_lastingGraceMs{0};

Clock::rep DeadlineFromNow(uint32_t graceMs)
{
    return (Clock::now() + std::chrono::milliseconds(graceMs)).time_since_epoch().count();
}

} // namespace

void RequestScriptStop(uint32_t graceMs, bool lasting)
{
    if (lasting) {
        g_lastingGraceMs.store(graceMs);
        g_lasting.store(true);
    }
    const Clock::rep due = DeadlineFromNow(graceMs);
    Clock::rep current = g_deadline.load();
    while (due < current && !g_deadline.compare_exchange_weak(current, due)) {
    }
    g_scriptStopRequested.store(true);
}

void ClearScriptStop()
{
    if (g_lasting.load()) {
        g_deadline.store(DeadlineFromNow(g_lastingGraceMs.load()));
        return;
    }
    g_scriptStopRequested.store(false);
    g_deadline.store(Clock::duration::max().count());
}

bool ScriptStopDue()
{
    return g_scriptStopRequested.load() && Clock::now().time_since_epoch().count() >= g_deadline.load();
}
