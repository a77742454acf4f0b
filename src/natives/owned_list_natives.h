// Natives over the scripts' owned lists: KAG image groups (510-514), KAD files (517-521) and
// cell sheets (532-538). Objects are handed out as handles and listed with a use count; a release
// first ends the object manager's tasks that use the object (KAG animations, kind 13000; KAD
// background animations, 15000; cell animations and lip sync, 13001 and 13002), so no task is
// left reading a freed file. A reload ends them too: their entry and cell indexes belong to the
// old contents.
#pragma once

#include <cstdint>

#include "natives/owned_list.h"
#include "script/sob_native_args.h"

class CCellSheet;
class CKadFile;
class CKagFile;

extern COwnedList<CKagFile> g_ScriptKagFiles;
extern COwnedList<CKadFile> g_ScriptKadFiles;
extern COwnedList<CCellSheet> g_ScriptCellSheets;

// Ends every user task of the three lists and releases every object (the host's end).
void ReleaseScriptOwnedLists();

uint32_t NativeKagCreate(SobNativeArgs& args);      // 510
uint32_t NativeKagRelease(SobNativeArgs& args);     // 511
uint32_t NativeKagReleaseAll(SobNativeArgs& args);  // 512
uint32_t NativeKagReload(SobNativeArgs& args);      // 513
uint32_t NativeKagAnimate(SobNativeArgs& args);     // 514
uint32_t NativeKadCreate(SobNativeArgs& args);      // 517
uint32_t NativeKadRelease(SobNativeArgs& args);     // 518
uint32_t NativeKadReleaseAll(SobNativeArgs& args);  // 519
uint32_t NativeKadReload(SobNativeArgs& args);      // 520
uint32_t NativeKadField(SobNativeArgs& args);       // 521
uint32_t NativeSheetCreate(SobNativeArgs& args);    // 532
uint32_t NativeSheetRemoveUser(SobNativeArgs& args); // 533
uint32_t NativeSheetRedraw(SobNativeArgs& args);    // 534
uint32_t NativeSheetRelease(SobNativeArgs& args);   // 535
uint32_t NativeSheetReleaseAll(SobNativeArgs& args); // 536
uint32_t NativeSheetReload(SobNativeArgs& args);    // 537
uint32_t NativeSheetAnimate(SobNativeArgs& args);   // 538
