// Scripted dialogs: a test queues the steps a player would take in the next dialog made from a
// template; each dialog is recorded (its controls' last state, the notifications its procedure
// got, its end value). Scripts run on every host; on the headless host a dialog without a script
// ends at once with IDCANCEL, except a message template, which takes the host's next message-box
// answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "winapi/user.h"

namespace winapi::dialogs {

struct DialogStep {
    enum Kind { Click, DoubleClick, Type, Check, PickTab, PickRow, Key, Advance } kind = Click;
    int id = 0;                // the control acted on
    std::string textUtf8;      // Type: the text typed into the control
    int index = 0;             // Check: 1 ticked, 0 clear; PickTab, PickRow: the item
    int scancode = 0;          // Key: USB HID usage, pressed and let go on the focused control
    uint32_t ms = 0;           // Advance: the virtual clock (on SDL: a wait)
};

// Step makers, for scripts written as lists.
DialogStep ClickOn(int id);
DialogStep DoubleClickOn(int id);
DialogStep TypeInto(int id, const std::string& textUtf8);
DialogStep SetCheck(int id, bool ticked);
DialogStep PickTabOf(int id, int tab);
DialogStep PickRowOf(int id, int row);
DialogStep PressKey(int scancode);
DialogStep AdvanceClock(uint32_t ms);

struct ControlRecord {
    int id = 0;
    std::string className;
    std::string textUtf8;
    int check = 0;       // buttons: BM_GETCHECK
    int selection = -1;  // tab: the current tab; list view: the selected row
    bool enabled = true;
    bool visible = true;
};

struct NotificationRecord {
    UINT message = 0;  // WM_COMMAND or WM_NOTIFY
    int id = 0;
    UINT code = 0;
};

struct DialogRecord {
    int templateId = 0;
    std::string captionUtf8;
    std::vector<ControlRecord> controls;
    std::vector<NotificationRecord> notifications;
    INT_PTR result = 0;
    bool scriptRanOut = false;  // ended by the IDCANCEL pressed after the last step
    const ControlRecord* Control(int id) const;
};

void QueueDialogScript(int templateId, std::vector<DialogStep> steps);
// Every dialog ended so far, oldest first.
std::vector<DialogRecord> DialogRecords();
void ClearDialogScripts();

} // namespace winapi::dialogs
