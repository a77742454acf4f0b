// Helpers of the control natives that act on a script-made control by its type code: its value,
// its type-specific flag byte and its enabled state. A null control, or a type the operation has
// no meaning for, answers -1.
#pragma once

#include <cstdint>

class CControl;

// Toggle: checked = (value ≠ 0) → its new on state (0/1); text input: SetText(text) → its code;
// scroll bar: SetValue's result; text panel and text object: text written character by character
// (CR, LF or CR LF as one new line; stops when the panel is full) → 0; list layer: SelectItem(value)
// → its code; image map: SelectRegion(value) → 0 selected, 1 not; other types, null control or a
// null text for a text type → -1.
int SetObjectValue(CControl* control, int32_t value, const char* text);
// Toggle: 1 when on; text input: its text's length in bytes; scroll bar: its value; text layer:
// its current line; list layer: its selected row; image map: its current region (-1 for none of
// the last three); other types and null → -1.
int GetObjectValue(CControl* control);
// The rectangular-hit byte of a button (type 0), a toggle (1) or a scroll bar (4) = (flag ≠ 0)
// → 0; other types and null → -1.
int SetObjectFlagByType(CControl* control, int32_t flag);
// SetEnabled(flag ≠ 0) for toggles, text inputs, text panels and text objects, text layers and
// image maps → 0; other types and null → -1.
int SetObjectEnabledByType(CControl* control, int32_t flag);
