// The request to stop every running script: how a close, SIGTERM or SIGINT end a script that never
// yields. The machine reads the flag at each backward jump and call (one relaxed load); once the
// grace given with the request has passed, the running step stops with the Stopped fault, which
// the game ends as an invalid script.
#pragma once

#include <atomic>
#include <cstdint>

// Set while a stop is requested (read by the machine; raised and cleared only through the calls
// below).
extern std::atomic<bool> g_scriptStopRequested;

// Raises the request: a step still running graceMs real milliseconds from now stops; a step that
// begins after the request gets graceMs from its own start. A script that yields in time is never
// cut short, however long the game takes to end after the request. A second request keeps the earlier deadline. A lasting
// request (the session ends) outlives ClearScriptStop, which gives it its grace again: a signal
// that comes while the game starts must still stop the script the game then runs.
void RequestScriptStop(uint32_t graceMs, bool lasting = false);
// Withdraws a request that does not last, and restarts a lasting one's grace (a game starts).
void ClearScriptStop();
// Whether a raised request's grace has run out for the step running on this thread (the
// machine's slow path).
bool ScriptStopDue();

// Marks a machine step on this thread for its lifetime (nested steps restore the outer one).
class CScriptStepScope {
public:
    CScriptStepScope();
    ~CScriptStepScope();
    CScriptStepScope(const CScriptStepScope&) = delete;
    CScriptStepScope& operator=(const CScriptStepScope&) = delete;

private:
    int64_t m_outer;
};
