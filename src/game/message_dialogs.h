// The message dialogs' pieces that stand on their own: fitting a dialog to its text and the
// data-input dialog's filter.
#pragma once

#include <string>

#include "winapi/user.h"

// Where the text static and the dialog go for a text of `lines` lines measuring textWidth x
// textHeight, against the static's client rectangle.
struct DialogFit {
    RECT text;     // the static, dialog client coordinates
    int dx = 0;    // the dialog, the frame static grow by (dx, dy); the buttons and the tick move
    int dy = 0;    // right by dx / 2 and down by dy
};
DialogFit ComputeDialogFit(const RECT& textStatic, int textWidth, int textHeight, int lines);

// Grows a message dialog to its text (measured with its 9-point face at the screen's vertical
// resolution): static 1012, buttons 1 and (hasNo) 2, the tick 1013 (hasTick), frame 1011.
void FitDialogToText(HWND dialog, const char* text, bool hasNo, bool hasTick);

// The entered text as the data-input dialog keeps it: with doubleByteOnly, up to the first byte
// that does not start a double-byte Shift-JIS character; then at most maxBytes bytes (0: no
// limit), never half a character.
std::string FilterDataInput(const std::string& text, bool doubleByteOnly, unsigned maxBytes);
