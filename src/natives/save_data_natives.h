// Natives 39-53: what a save takes from the system script (the boot value, the title, the
// comment cell, the thumbnail's source), the saves of one bank and slot (write, load, copy,
// delete, the pending load file, the header texts) and the back-to-previous-choice snapshot, over
// the script host's save members (script_host.h) and the slot helpers (save_slots.h).
//
// Texts go to script buffers of unknown size only inside the buffer's block: a text that would
// not end there faults the call with nothing written.
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

uint32_t NativeSetSaveSettings(SobNativeArgs& args);     // 39
uint32_t NativeTrackVariable(SobNativeArgs& args);       // 40
uint32_t NativeSetThumbnailSource(SobNativeArgs& args);  // 41
uint32_t NativeSetLoadSlot(SobNativeArgs& args);         // 42
uint32_t NativeSaveGame(SobNativeArgs& args);            // 43
uint32_t NativeLoadGame(SobNativeArgs& args);            // 44
uint32_t NativeSaveTitleText(SobNativeArgs& args);       // 45
uint32_t NativeSaveDateText(SobNativeArgs& args);        // 46
uint32_t NativeSaveInfoRecord(SobNativeArgs& args);      // 47
uint32_t NativeCopySave(SobNativeArgs& args);            // 48
uint32_t NativeDeleteSave(SobNativeArgs& args);          // 49
uint32_t NativeTakeStateSnapshot(SobNativeArgs& args);    // 50
uint32_t NativeRestoreStateSnapshot(SobNativeArgs& args); // 51
uint32_t NativeHasStateSnapshot(SobNativeArgs& args);     // 52
uint32_t NativeDiscardStateSnapshot(SobNativeArgs& args); // 53
