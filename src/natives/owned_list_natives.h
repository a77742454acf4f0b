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
class CPartsFileA;
class CPartsFileB;

extern COwnedList<CKagFile> g_ScriptKagFiles;
extern COwnedList<CKadFile> g_ScriptKadFiles;
extern COwnedList<CCellSheet> g_ScriptCellSheets;
// The program-wide parts files: sprites of a scene (522-526) and controls of the main form
// (527-531).
extern CPartsFileA g_ScriptPartsA;
extern CPartsFileB g_ScriptPartsB;
// The kind of 539's task, a cell-sheet user.
constexpr int32_t kSheetFrameTaskKind = 13002;

// Ends every user task of the three lists and releases every object (the host's end).
void ReleaseScriptOwnedLists();
// An object is ending: a listed sheet that draws into or borrows it (its source, picture or the
// record sprite's image) ends its animations and is cleared; a user drawable leaves the sheet's
// users; KAG animations shown on a canvas that ends stop.
void ForgetOwnedListObject(const void* object);

uint32_t NativeKagCreate(SobNativeArgs& args);      // 510
uint32_t NativeKagRelease(SobNativeArgs& args);     // 511
uint32_t NativeKagReleaseAll(SobNativeArgs& args);  // 512
uint32_t NativeKagReload(SobNativeArgs& args);      // 513
uint32_t NativeKagAnimate(SobNativeArgs& args);     // 514
uint32_t NativeKagGetValue(SobNativeArgs& args);    // 515
uint32_t NativeKagSetValue(SobNativeArgs& args);    // 516
uint32_t NativeSheetImage(SobNativeArgs& args);     // 540
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
uint32_t NativeSheetDrawFrames(SobNativeArgs& args); // 539
uint32_t NativePartsALoad(SobNativeArgs& args);     // 522
uint32_t NativePartsAClear(SobNativeArgs& args);    // 523
uint32_t NativePartsACount(SobNativeArgs& args);    // 524
uint32_t NativePartsAPart(SobNativeArgs& args);     // 525
uint32_t NativePartsARange(SobNativeArgs& args);    // 526
uint32_t NativePartsBLoad(SobNativeArgs& args);     // 527
uint32_t NativePartsBClear(SobNativeArgs& args);    // 528
uint32_t NativePartsBCount(SobNativeArgs& args);    // 529
uint32_t NativePartsBPart(SobNativeArgs& args);     // 530
uint32_t NativePartsBRange(SobNativeArgs& args);    // 531
