// Input natives of the form group.
#pragma once

#include "script/sob_native_args.h"

// Native 571: 1 while the forced fast-forward key (Shift or Ctrl, as the settings choose) is
// held, else 0.
uint32_t NativeIsSkipKeyDown(SobNativeArgs& args);
