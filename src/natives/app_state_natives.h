// Natives 3-30, 34-36 and 38 (application state): the screen-mode menu and keyboard hook, the
// engine options, the frame's state, the application's strings, the settings block by group and
// index, the text-display settings, the screen-mode switch, the host's voice table, native 14's
// flag, the frame timing and its overrides, the game thread's priority, system-menu commands,
// the host's variables and persistent data, and the frame's one-shot notice flag. The
// application is reached through g_pGameApp (null: the row's null result).
#pragma once

#include "script/sob_native_args.h"

uint32_t NativeScreenModeMenu(SobNativeArgs& args);     // 3 selector 0 (menu, styles, flag 4) or 1 (keys), value
uint32_t NativeSetEngineOption(SobNativeArgs& args);    // 4 selector 0-11, value → 0
uint32_t NativeGetEngineOption(SobNativeArgs& args);    // 5 selector 0-13
uint32_t NativeFrameState(SobNativeArgs& args);         // 6 selector 0-22
uint32_t NativeAppString(SobNativeArgs& args);          // 7 which 0-3, buffer, size
uint32_t NativeSetSetting(SobNativeArgs& args);        // 8 group 0-8, index, value → 0, 1, -1
uint32_t NativeGetSetting(SobNativeArgs& args);        // 9 group 0-8, index → value (the face: its address)
uint32_t NativeSetVoiceEntry(SobNativeArgs& args);      // 10 entry, field 0-2, value → 0, -1
uint32_t NativeGetVoiceEntry(SobNativeArgs& args);      // 11 entry, selector 0-6
uint32_t NativeApplyTextSettings(SobNativeArgs& args);  // 12 only if changed, clear, frame, text, font, font?, history?
uint32_t NativeSetScreenMode(SobNativeArgs& args);      // 13 mode → 0, 1 not allowed, 2 no monitor, 3 failed
uint32_t NativeSetScriptFlag(SobNativeArgs& args);      // 14 flag
uint32_t NativePushSyncOverride(SobNativeArgs& args);   // 15
uint32_t NativePopSyncOverride(SobNativeArgs& args);    // 16
uint32_t NativePushTimerOverride(SobNativeArgs& args);  // 17
uint32_t NativePopTimerOverride(SobNativeArgs& args);   // 18
uint32_t NativeLowerPriority(SobNativeArgs& args);      // 19
uint32_t NativeRestorePriority(SobNativeArgs& args);    // 20
uint32_t NativeApplyFrameTiming(SobNativeArgs& args);   // 21 mode
uint32_t NativeFrameTimerValue(SobNativeArgs& args);    // 22 → the measured frames per second
uint32_t NativeSetLateFrames(SobNativeArgs& args);      // 23 flag
uint32_t NativeSystemMenu(SobNativeArgs& args);         // 24 request, synchronous
uint32_t NativeDialogBusy(SobNativeArgs& args);         // 25
uint32_t NativeResetVariables(SobNativeArgs& args);     // 26 class, storage
uint32_t NativeClearVariables(SobNativeArgs& args);     // 27 class, storage
uint32_t NativeSnapshotVariables(SobNativeArgs& args);  // 28 class, storage
uint32_t NativeRestoreSnapshot(SobNativeArgs& args);    // 29 class, storage
uint32_t NativeSnapshotVariable(SobNativeArgs& args);   // 30 variable address
uint32_t NativeSetPersistentFile(SobNativeArgs& args);  // 34 name
uint32_t NativeSavePersistent(SobNativeArgs& args);     // 35
uint32_t NativeLoadPersistent(SobNativeArgs& args);     // 36
uint32_t NativeTakeNoticeFlag(SobNativeArgs& args);     // 38 → 1 once after display flag 8 was set

// The game's identifier, native 7's string 0.
constexpr char kGameIdentifier[] = "{B58B1C34-3454-4844-9126-847C84D0B426}";
