// Natives 737-769 and 781-788: a control's second part, the per-type value, flag and enabled
// helpers, the control set's defaults, and the operations of one control type each (radio groups,
// scroll arrows, image-button anchors, text panels and text layers, list layers, image maps).
//
// Control words are handles (a text object is taken where a text panel is asked for). A word that
// finds no control of the row's type (0, stale, foreign, another type) gives the row's own result
// and changes nothing; every word, string and out cell is resolved before anything changes.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "script/sob_native_args.h"

class CControl;
class CScriptHostBase;
struct ControlPart;

// The control behind word k as T when its type is one of `types` (a text panel's natives take
// type 5 and 111), else null; null as well without a host.
CControl* NativeControlOfType(SobNativeArgs& args, uint32_t k, std::initializer_list<int> types);
// A control part as a script handle: an image as an Image, a sprite as a Sprite (other drawables
// as theirs); 0 for none.
uint32_t ControlPartHandle(CScriptHostBase& host, const ControlPart& part);

uint32_t NativeControlPart2(SobNativeArgs& args);
uint32_t NativeSetControlValue(SobNativeArgs& args);
uint32_t NativeGetControlValue(SobNativeArgs& args);
uint32_t NativeSetControlFlag(SobNativeArgs& args);
uint32_t NativeSetControlEnabledByType(SobNativeArgs& args);
uint32_t NativeSetButtonColors(SobNativeArgs& args);
uint32_t NativeSetGroupValue(SobNativeArgs& args);
uint32_t NativeGetGroupValue(SobNativeArgs& args);
uint32_t NativeSetTextInputDefaults(SobNativeArgs& args);
uint32_t NativeSetCompositionDefaults(SobNativeArgs& args);
uint32_t NativeSetScrollDefaults(SobNativeArgs& args);
uint32_t NativeSetListDefaults(SobNativeArgs& args);
uint32_t NativeScrollArrows(SobNativeArgs& args);
uint32_t NativeSetImageButtonAnchor(SobNativeArgs& args);
uint32_t NativeSetTextMargins(SobNativeArgs& args);
uint32_t NativeSetTextFonts(SobNativeArgs& args);
uint32_t NativeSetTextBackground(SobNativeArgs& args);
uint32_t NativeSetTextDisplayByte(SobNativeArgs& args);
uint32_t NativeClearText(SobNativeArgs& args);
uint32_t NativeTextPosition(SobNativeArgs& args);
uint32_t NativeListAddItem(SobNativeArgs& args);
uint32_t NativeListRefresh(SobNativeArgs& args);
uint32_t NativeListSetItemFlag(SobNativeArgs& args);
uint32_t NativeListGetItemFlag(SobNativeArgs& args);
uint32_t NativeListItemCount(SobNativeArgs& args);
uint32_t NativeImageMapItem(SobNativeArgs& args);
uint32_t NativePanelLayout(SobNativeArgs& args);
uint32_t NativePanelMinLineHeight(SobNativeArgs& args);
uint32_t NativePanelResize(SobNativeArgs& args);
uint32_t NativePanelLoadFrame(SobNativeArgs& args);
uint32_t NativePanelFrameImages(SobNativeArgs& args);
uint32_t NativePanelChildMode(SobNativeArgs& args);
uint32_t NativePanelVertical(SobNativeArgs& args);
uint32_t NativeLayerSetSize(SobNativeArgs& args);
uint32_t NativeLayerLoadImages(SobNativeArgs& args);
uint32_t NativeLayerHighlight(SobNativeArgs& args);
uint32_t NativeLayerColors(SobNativeArgs& args);
uint32_t NativeLayerGradients(SobNativeArgs& args);
uint32_t NativeLayerPressOffset(SobNativeArgs& args);
uint32_t NativeLayerAddItem(SobNativeArgs& args);
uint32_t NativeLayerSetItemFlag(SobNativeArgs& args);
