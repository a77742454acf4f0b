// The game thread's priority while effects, transitions and long loads run: lowered on the first
// request and restored by the last, nestable. Installed as the display layer's busy hooks at
// start-up; the frame drivers draw between frames while it is lowered.
#pragma once

#include <atomic>

// Requests that are open (Lower calls not yet matched by Restore).
extern std::atomic<int> g_ThreadPriorityNesting;

// → 0 lowered to THREAD_PRIORITY_LOWEST, 1 already lowered (the count raised only), 2 no running
// game thread or no handle (the count raised all the same), -1 nothing done (the user block's
// keep-priority flag is set, or there is no application).
int LowerThreadPriority();
// → 0 restored to THREAD_PRIORITY_NORMAL, 1 still lowered (the count lowered only), 2 no running
// game thread or no handle (the count lowered all the same), -1 nothing done (the flag is set,
// there is no application, or nothing is lowered).
int RestoreThreadPriority();
// Whether a request is open.
bool IsThreadPriorityLowered();
// The display layer's hooks := the two operations above (null with install false).
void InstallThreadPriorityHooks(bool install);
