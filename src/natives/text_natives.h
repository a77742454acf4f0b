// Natives 466-509: the system script's messages and choices through the script text object
// (g_pScriptTextObject): the message record, its stepping and drawing into a surface, the history
// browse, the choices, and the choice layer (a text layer told where the seen flags of the
// current choices are).
//
// Without a text object every row answers 0. Surfaces are handles of kinds 4, 7 and 9, fonts
// handles of fonts; the target's surface, owner and font are kept as handles too, so an object
// that ends leaves the text object without a target instead of drawing into freed memory.
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

class CScriptHostBase;
class CTextLayerBase;

// The choice layer is a text-layer handle (0: none); a layer that ended reads as none.
void SetChoiceLayer(uint32_t handle);
uint32_t ChoiceLayerHandle();
CTextLayerBase* ChoiceLayer(CScriptHostBase& host);
// Tells the choice layer the seen flags of the current choices (kind 0 the running module's
// choice bits, kind 1 the shared entry's, others none) and the seen-flag base.
void SyncChoiceLayer(CScriptHostBase& host);

uint32_t NativeSetHistoryCapacity(SobNativeArgs& args);
uint32_t NativeEnableHistory(SobNativeArgs& args);
uint32_t NativeSetMessage(SobNativeArgs& args);
uint32_t NativeEnableMessages(SobNativeArgs& args);
uint32_t NativeSetTextTarget(SobNativeArgs& args);
uint32_t NativeCopyNameLine(SobNativeArgs& args);
uint32_t NativeDrawNameLine(SobNativeArgs& args);
uint32_t NativeStepText(SobNativeArgs& args);
uint32_t NativeSeekTextEnd(SobNativeArgs& args);
uint32_t NativeSeekTag(SobNativeArgs& args);
uint32_t NativeRedrawText(SobNativeArgs& args);
uint32_t NativeGetDrawPosition(SobNativeArgs& args);
uint32_t NativeCopyTagString(SobNativeArgs& args);
uint32_t NativeGetTagValue(SobNativeArgs& args);
uint32_t NativeHasPreviousEntry(SobNativeArgs& args);
uint32_t NativeHasNextEntry(SobNativeArgs& args);
uint32_t NativeCopyPlainText(SobNativeArgs& args);
uint32_t NativeHistoryCount(SobNativeArgs& args);
uint32_t NativeShownEntry(SobNativeArgs& args);
uint32_t NativeShowPreviousEntry(SobNativeArgs& args);
uint32_t NativeShowNextEntry(SobNativeArgs& args);
uint32_t NativeShowFirstEntry(SobNativeArgs& args);
uint32_t NativeShowLastEntry(SobNativeArgs& args);
uint32_t NativeShowEntry(SobNativeArgs& args);
uint32_t NativeMoveEntry(SobNativeArgs& args);
uint32_t NativeSaveTextPosition(SobNativeArgs& args);
uint32_t NativeRestoreTextPosition(SobNativeArgs& args);
uint32_t NativeClearMessages(SobNativeArgs& args);
uint32_t NativeMessageAlreadyRead(SobNativeArgs& args);
uint32_t NativeSetReadLogFile(SobNativeArgs& args);
uint32_t NativeLoadReadLog(SobNativeArgs& args);
uint32_t NativeSetChoices(SobNativeArgs& args);
uint32_t NativeEnableChoices(SobNativeArgs& args);
uint32_t NativeReserveChoices(SobNativeArgs& args);
uint32_t NativeResetChoiceSeenBase(SobNativeArgs& args);
uint32_t NativeAddChoice(SobNativeArgs& args);
uint32_t NativeClearChoices(SobNativeArgs& args);
uint32_t NativeChoiceCount(SobNativeArgs& args);
uint32_t NativeDrawChoice(SobNativeArgs& args);
uint32_t NativeCopyChoice(SobNativeArgs& args);
uint32_t NativeGetChoice(SobNativeArgs& args);
uint32_t NativeSelectChoice(SobNativeArgs& args);
uint32_t NativeSelectedChoice(SobNativeArgs& args);
uint32_t NativeIsChoiceSeen(SobNativeArgs& args);
// 789: the active text layer (the choice layer) := word 0 → 0 when it is a text layer, else 1
// (none is active then); the layer that was active loses its seen flags first. 790: a text layer
// takes the seen-flag settings of the active one → CopyReadSettings' code (1 none active); -1 for
// a word that is no text layer.
uint32_t NativeSetChoiceLayer(SobNativeArgs& args);
uint32_t NativeCopyChoiceLayerSettings(SobNativeArgs& args);
