// Natives 770-780: the script text objects (type 111): click advance, typing (start, advance,
// control, the wait animation's sheet), the linked name panel and toggle, the typing task's phase
// and fast-forward flag, and the voice name of the shown text.
//
// A word that finds no text object (0, stale, foreign, another type) gives the row's own result and
// changes nothing. Links are kept until the linked object ends (then they are none).
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

uint32_t NativeSetClickAdvance(SobNativeArgs& args);
uint32_t NativeIsTextObject(SobNativeArgs& args);
uint32_t NativeStartTyping(SobNativeArgs& args);
uint32_t NativeAdvanceTyping(SobNativeArgs& args);
uint32_t NativeControlTyping(SobNativeArgs& args);
uint32_t NativeSetTypingAnimation(SobNativeArgs& args);
uint32_t NativeLinkNamePanel(SobNativeArgs& args);
uint32_t NativeLinkControl(SobNativeArgs& args);
uint32_t NativeTypingPhase(SobNativeArgs& args);
uint32_t NativeTypingFastForward(SobNativeArgs& args);
// The voice name with its NUL goes only inside the buffer's block (else the call faults and
// nothing is written).
uint32_t NativeCopyVoiceName(SobNativeArgs& args);
