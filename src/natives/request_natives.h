// Natives that ask the main window's thread: the data-input dialog (73, 74), the open, save and
// folder dialogs (158-160) and the primary sound format (596). Each reads its words first, sends
// a ScriptRequest (natives/script_request.h) and copies the answer back by checked stores; a
// file or folder the player picks joins the host's roots.
#pragma once

#include "script/sob_native_args.h"

uint32_t NativeInputText(SobNativeArgs& args);        // 73 buffer → 0 copied, 1 empty, 2 null buffer
uint32_t NativeSetInputText(SobNativeArgs& args);     // 74 caption, label, double-byte, max, IME, width, x, y
uint32_t NativeOpenFileDialog(SobNativeArgs& args);   // 158 title/answer, file buffer, title buffer, folder, filter
uint32_t NativeSaveFileDialog(SobNativeArgs& args);   // 159 the same and the default extension (word 5)
uint32_t NativeFolderDialog(SobNativeArgs& args);     // 160 title/answer, initial folder, out path
uint32_t NativeSoundFormat(SobNativeArgs& args);      // 596 format block (word 0 receives the result)

// The longest path the dialogs hand back, and the file-title buffer's size.
constexpr uint32_t kDialogPathSize = 260;
constexpr uint32_t kDialogTitleSize = 256;
