// Natives 685-722: the system script makes its controls in g_TextObjectList (a control set) and
// places them in the main form g_MainForm, which routes the player's input to them. Creations
// hand out the new control's handle (0 when it cannot be made); an optional tail of arguments
// that starts with the marker (65535, or -1 for 696, 697 and 699) takes its defaults instead,
// and is not read then (a script that passes the marker passes nothing after it).
//
// Control, font and surface words are handles: 0, stale, foreign and wrong-type words find
// nothing and give the row's null result, before anything changes.
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

// An object is ending: the control set forgets the scene 702 gave it when that canvas ends.
void ForgetFormNativesObject(const void* object);
// The host's end: the control set keeps no scene of the host's canvases.
void ReleaseFormNativesScene();

uint32_t NativeAddButton(SobNativeArgs& args);          // 685
uint32_t NativeAddButtonFromFile(SobNativeArgs& args);  // 686
uint32_t NativeAddButtonFromImage(SobNativeArgs& args); // 687
uint32_t NativeAddToggle(SobNativeArgs& args);          // 688
uint32_t NativeAddToggleFromImage(SobNativeArgs& args); // 689
uint32_t NativeAddRectControl(SobNativeArgs& args);     // 690
uint32_t NativeAddTextInput(SobNativeArgs& args);       // 691
uint32_t NativeAddTextInputLines(SobNativeArgs& args);  // 692
uint32_t NativeAddScrollBar(SobNativeArgs& args);       // 693
uint32_t NativeAddScrollBarImages(SobNativeArgs& args); // 694
uint32_t NativeSetScrollRange(SobNativeArgs& args);     // 695
uint32_t NativeAddTextPanel(SobNativeArgs& args);       // 696
uint32_t NativeAddTextObject(SobNativeArgs& args);      // 697
uint32_t NativeAddTextLayer(SobNativeArgs& args);       // 698
uint32_t NativeAddImageButton(SobNativeArgs& args);     // 699
uint32_t NativeAddListLayer(SobNativeArgs& args);       // 700
uint32_t NativeAddImageMap(SobNativeArgs& args);        // 701

// 702: the form and the control set draw into the scene of a canvas → 0; 1 no scene part.
uint32_t NativeFormSetScene(SobNativeArgs& args);
// 703: popup hints (on, delay, duration) and the hint font (a word that finds no font: none) → 0.
uint32_t NativeFormHintOptions(SobNativeArgs& args);
// 704: cursor kind 0-6 (others ignored) → the kind set before.
uint32_t NativeFormCursorKind(SobNativeArgs& args);
uint32_t NativeFormReset(SobNativeArgs& args);          // 705 → 0
// 706: one frame of input routing at the timer's time → HandleInput's code.
uint32_t NativeFormHandleInput(SobNativeArgs& args);
uint32_t NativeFormTakeActivated(SobNativeArgs& args);  // 707
// 708: SetFocus's code (0 clears); a word that names no control: 2 (not in the layer).
uint32_t NativeFormSetFocus(SobNativeArgs& args);
uint32_t NativeFormFocus(SobNativeArgs& args);          // 709 handle or 0
uint32_t NativeFormCapture(SobNativeArgs& args);        // 710 handle or 0
uint32_t NativeControlsDeleteAll(SobNativeArgs& args);  // 711 → 0
uint32_t NativeControlsUseOverlay(SobNativeArgs& args); // 712 → the previous choice
uint32_t NativeControlsSetId(SobNativeArgs& args);      // 713 → 0
uint32_t NativeControlsRemoveById(SobNativeArgs& args); // 714 → 0
// 715: the control in a script cell deleted → 0 (the cell cleared); 1 the cell holds 0; 2 its
// handle names no control of the set (stale included; the cell is left as it was).
uint32_t NativeControlsRemove(SobNativeArgs& args);
uint32_t NativeFormAdd(SobNativeArgs& args);            // 716
uint32_t NativeFormRemove(SobNativeArgs& args);         // 717
uint32_t NativeFormRemoveAll(SobNativeArgs& args);      // 718 → 0
uint32_t NativeFormTextInput(SobNativeArgs& args);      // 719
// 720: word 0 a font → the IME indicator at (word 1, word 2), CreateImeIndicator's code; 0
// releases it → 0.
uint32_t NativeControlsImeIndicator(SobNativeArgs& args);
uint32_t NativeFormPushLayer(SobNativeArgs& args);      // 721
uint32_t NativeFormPopLayer(SobNativeArgs& args);       // 722
