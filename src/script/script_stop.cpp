#include "script/script_stop.h"

#include <chrono>

std::atomic<bool> g_scriptStopRequested{false};

namespace {

using Clock = std::chrono::steady_clock;
// Deadline in steady-clock ticks; the maximum while no request is raised.
std::atomic<Clock::rep> g_deadline{Clock::duration::max().count()};
std::atomic<bool> g_lasting{false};
std::atomic<uint32_t> g_lastingGraceMs{0};
// The grace of the request that set the deadline, given again to steps that begin after it.
std::atomic<uint32_t> g_graceMs{0};
// When this thread's running step began, taken only while a request is raised: 0 for a step that
// began before any request (the request's deadline rules it).
thread_local Clock::rep t_stepStart = 0;

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
    if (due <= g_deadline.load())
        g_graceMs.store(graceMs);
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
    if (!g_scriptStopRequested.load())
        return false;
    const Clock::rep now = Clock::now().time_since_epoch().count();
    if (now < g_deadline.load())
        return false;
    if (t_stepStart == 0)
        return true;
    const auto grace = std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(g_graceMs.load()));
    return now - t_stepStart >= grace.count();
}

CScriptStepScope::CScriptStepScope() : m_outer(t_stepStart)
{
    t_stepStart = g_scriptStopRequested.load(std::memory_order_relaxed) ? Clock::now().time_since_epoch().count() : 0;
}

CScriptStepScope::~CScriptStepScope()
{
    t_stepStart = m_outer;
}
