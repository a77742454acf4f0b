// Scripted dialogs: a test queues the steps a player would take in the next dialog made from a
// template; each dialog is recorded (its controls' last state, the notifications its procedure
// got, its end value). Scripts run on every host; on the headless host a dialog without a script
// ends at once with IDCANCEL, except a message template, which takes the host's next message-box
// answer. A property sheet takes the script queued for its first page's template; steps find
// their control in the sheet or in the page in view.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "winapi/user.h"

namespace winapi::dialogs {

struct DialogStep {
    enum Kind {
        Click, DoubleClick, Type, Check, PickTab, PickRow, Key, Advance,
        PickItem,    // a combo box's item (opened and clicked) or a list box's row
        Slide,       // a trackbar moved as `slide` says
        SwitchPage,  // a property sheet's tab clicked
        HoldKey,     // a key held for `ms`, then let go
        HoldButton,  // a joystick's button held for `ms`, then let go
        HoldAxis,    // a joystick's axis held at `index` for `ms`, then centred
    } kind = Click;
    enum SlideKind { Drag, Page, Arrow };
    int id = 0;                // the control acted on; HoldButton, HoldAxis: the joystick id
    std::string textUtf8;      // Type: the text typed into the control
    // Check: 1 ticked, 0 clear; PickTab, PickRow, PickItem, SwitchPage: the item; Slide: the
    // position dragged to, or the pages or arrow presses (negative: to the left); HoldButton:
    // the button number; HoldAxis: the position (0..65535).
    int index = 0;
    int axis = 0;              // HoldAxis: the axis (0 x, 1 y, ...)
    SlideKind slide = Drag;
    int scancode = 0;          // Key, HoldKey: USB HID usage (Key: pressed and let go at once)
    uint32_t ms = 0;           // Advance: the virtual clock (on SDL: a wait); HoldKey, HoldButton
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
DialogStep PickItemOf(int id, int item);
DialogStep DragSlider(int id, int position);
DialogStep PageSlider(int id, int pages);
DialogStep ArrowSlider(int id, int presses);
DialogStep SwitchToPage(int page);
// While held, the messages of the dialog are served and the clock runs in 16 ms steps, so that
// timers polling the DirectInput or joystick state see the key or button down.
DialogStep HoldKeyFor(int scancode, uint32_t ms);
DialogStep HoldJoystickButton(int joystick, int button, uint32_t ms);
DialogStep HoldJoystickAxis(int joystick, int axis, int position, uint32_t ms);

struct ControlRecord {
    int id = 0;
    std::string className;
    std::string textUtf8;
    int check = 0;       // buttons: BM_GETCHECK
    int selection = -1;  // tab: the current tab; list view, list box, combo box: the selected row;
                         // trackbar: the position
    bool enabled = true;
    bool visible = true;
    std::vector<std::string> itemsUtf8;  // list box, combo box: every item in order
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
    bool propertySheet = false;  // a property sheet (templateId is its first page's)
    const ControlRecord* Control(int id) const;
};

void QueueDialogScript(int templateId, std::vector<DialogStep> steps);
// Every dialog ended so far, oldest first.
std::vector<DialogRecord> DialogRecords();
void ClearDialogScripts();
// Modal dialogs running now, from the moment DialogBox starts making one until it returns.
int ModalDialogsRunning();

} // namespace winapi::dialogs
