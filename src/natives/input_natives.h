// Natives of the group "time, input, desktop" (541-595, 796-799, 802-808): the clock, the
// scripts' timers, the game's input actions, the raw devices and the cursor, message boxes and
// dialogs, and the desktop services that are safe here.
#pragma once

#include "script/sob_native_args.h"

// 541-550: the clock and g_ScriptTimers.
uint32_t NativeTimeNow(SobNativeArgs& args);
uint32_t NativeLocalTime(SobNativeArgs& args);
uint32_t NativeTimersCreate(SobNativeArgs& args);
uint32_t NativeTimerReset(SobNativeArgs& args);
uint32_t NativeTimerElapsed(SobNativeArgs& args);
uint32_t NativeTimerSetElapsed(SobNativeArgs& args);
uint32_t NativeTimerPause(SobNativeArgs& args);
uint32_t NativeTimerResume(SobNativeArgs& args);
uint32_t NativeTimersPauseAll(SobNativeArgs& args);
uint32_t NativeTimersResumeAll(SobNativeArgs& args);
// 551-571: the application's action map (null: 0, and -1 for the searches).
uint32_t NativeActionPushed(SobNativeArgs& args);
uint32_t NativeActionDown(SobNativeArgs& args);
uint32_t NativeActionFirstPushed(SobNativeArgs& args);
uint32_t NativeActionFirstDown(SobNativeArgs& args);
uint32_t NativeActionBind(SobNativeArgs& args);
uint32_t NativeActionUnbind(SobNativeArgs& args);
uint32_t NativeActionRebind(SobNativeArgs& args);
uint32_t NativeAction4Pushed(SobNativeArgs& args);
uint32_t NativeAction5Pushed(SobNativeArgs& args);
uint32_t NativeAction0Pushed(SobNativeArgs& args);
uint32_t NativeAction1Pushed(SobNativeArgs& args);
uint32_t NativeAction2Pushed(SobNativeArgs& args);
uint32_t NativeAction3Pushed(SobNativeArgs& args);
uint32_t NativeAction4Down(SobNativeArgs& args);
uint32_t NativeAction5Down(SobNativeArgs& args);
uint32_t NativeAction0Down(SobNativeArgs& args);
uint32_t NativeAction1Down(SobNativeArgs& args);
uint32_t NativeAction2Down(SobNativeArgs& args);
uint32_t NativeAction3Down(SobNativeArgs& args);
uint32_t NativeIsSkipKeyPushed(SobNativeArgs& args);
// Native 571: 1 while the forced fast-forward key (Shift or Ctrl, as the settings choose) is
// held, else 0.
uint32_t NativeIsSkipKeyDown(SobNativeArgs& args);
// 572-595: the keyboard, mouse and joystick (null devices: 0).
uint32_t NativeKeyPushed(SobNativeArgs& args);
uint32_t NativeKeyDown(SobNativeArgs& args);
uint32_t NativeKeyScrollLock(SobNativeArgs& args);
uint32_t NativeKeyCapsLock(SobNativeArgs& args);
uint32_t NativeKeyNumLock(SobNativeArgs& args);
uint32_t NativeKeySetRepeat(SobNativeArgs& args);
uint32_t NativeKeyRepeated(SobNativeArgs& args);
uint32_t NativeCursorShape(SobNativeArgs& args);
uint32_t NativeCursorImage(SobNativeArgs& args);
uint32_t NativeShowCursorRequest(SobNativeArgs& args);
uint32_t NativeCursorPosition(SobNativeArgs& args);
uint32_t NativeSetCursorPosition(SobNativeArgs& args);
uint32_t NativeFrameActive(SobNativeArgs& args);
uint32_t NativeMouse0Pushed(SobNativeArgs& args);
uint32_t NativeMouse1Pushed(SobNativeArgs& args);
uint32_t NativeMouse2Pushed(SobNativeArgs& args);
uint32_t NativeMouse0Down(SobNativeArgs& args);
uint32_t NativeMouse1Down(SobNativeArgs& args);
uint32_t NativeMouse2Down(SobNativeArgs& args);
uint32_t NativeMouseWheelUp(SobNativeArgs& args);
uint32_t NativeMouseWheelDown(SobNativeArgs& args);
uint32_t NativeJoystickButtons(SobNativeArgs& args);
uint32_t NativeJoystickPushed(SobNativeArgs& args);
uint32_t NativeJoystickDown(SobNativeArgs& args);
// 796-799: message boxes through the frame, the application's message dialog.
uint32_t NativeInfoBox(SobNativeArgs& args);
uint32_t NativeYesNoBox(SobNativeArgs& args);
uint32_t NativeOkCancelBox(SobNativeArgs& args);
uint32_t NativeMessageDialog(SobNativeArgs& args);
// 802-808: the desktop.
uint32_t NativeOpenDocument(SobNativeArgs& args);
uint32_t NativeSpecialFolder(SobNativeArgs& args);
uint32_t NativeOpenFolder(SobNativeArgs& args);
uint32_t NativeCopyWholeFile(SobNativeArgs& args);
uint32_t NativeSetWallpaper(SobNativeArgs& args);
uint32_t NativeSetScreenSaver(SobNativeArgs& args);
uint32_t NativeStartScreenSaver(SobNativeArgs& args);
