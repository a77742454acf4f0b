// Natives 723-736: any script-made control by its handle, through its own class's operations.
// A word that names no control (0, stale, foreign) does nothing and gives 0 (726: -1).
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

uint32_t NativeControlSetUserValue(SobNativeArgs& args);  // 723 → 1
uint32_t NativeControlSetName(SobNativeArgs& args);       // 724 → 1
uint32_t NativeControlSetExtra(SobNativeArgs& args);      // 725 → 1
// 726: the three event channels (activation, entering, leaving) of types 0, 1, 2, 4, 6, 7 and 10,
// with no names or cells → 0; 1 another type; -1 null.
uint32_t NativeControlSetChannels(SobNativeArgs& args);
uint32_t NativeControlSetEnabled(SobNativeArgs& args);    // 727 → 1 when it changed
uint32_t NativeControlIsEnabled(SobNativeArgs& args);     // 728
uint32_t NativeControlSetVisible(SobNativeArgs& args);    // 729 → 1
uint32_t NativeControlIsVisible(SobNativeArgs& args);     // 730
uint32_t NativeControlSetPosition(SobNativeArgs& args);   // 731
uint32_t NativeControlSetPriority(SobNativeArgs& args);   // 732
uint32_t NativeControlSetAlpha(SobNativeArgs& args);      // 733
uint32_t NativeControlWidth(SobNativeArgs& args);         // 734
uint32_t NativeControlHeight(SobNativeArgs& args);        // 735
// 736: the control's first part (GetObjectPart) as an image or drawable handle; 0 none.
uint32_t NativeControlPart(SobNativeArgs& args);
