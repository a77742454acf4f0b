// The request a transfer native leaves for the loop that runs a script (the system script's run
// step, the scenario engine's inline code): which transfer, and to which script file.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t {
    kTransferNone = 0,
    kTransferJump = 1,   // replace the running module by the target
    kTransferCall = 2,   // run the target, then come back after the caller's yield
    kTransferReturn = 3, // end the system script
};

constexpr uint32_t kTransferTargetSize = 260;

extern uint32_t g_ScriptTransferState;
// The target's name (no folder, no extension), NUL-terminated.
extern char g_ScriptTransferTarget[kTransferTargetSize];
// Calls now running (a called module that leaves brings it one lower).
extern uint32_t g_ScriptCallDepth;

// Records a request: state and the name (cut to the buffer; a name that long is refused later
// by the script opener, which takes at most 52 bytes).
void SetScriptTransfer(uint32_t state, const char* name, size_t length);
