// Natives 0-2: the transfer requests of the system script (call, jump, return). They only record
// the request; the host's run step carries it out once the script has stopped.
#pragma once

#include "script/sob_native_args.h"

// Word 0: the target's name (0 = empty). State 2 (call) / 1 (jump) and the name → 0.
uint32_t NativeCallScript(SobNativeArgs& args);
uint32_t NativeJumpScript(SobNativeArgs& args);
// State 3 (end the system script) → 0.
uint32_t NativeReturnScript(SobNativeArgs& args);
