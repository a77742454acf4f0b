// Natives 57 and 58: the caption's fonts as handles, and the host's function switch (music by
// number, tasks of the frame's task list, the cursor glide, the caption, the scenario frame's
// read counts, variable lookup). 54, the scale task, lives with the other path tasks.
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

uint32_t NativeCaptionFont(SobNativeArgs& args);    // 57
uint32_t NativeHostFunction(SobNativeArgs& args);   // 58
