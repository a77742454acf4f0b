// The headless host's play script (TESSARO_PLAY=FILE): the player's input as a text file, one event
// a line, run on the virtual clock. Each line is a time and an event:
//
//   TIME  click X Y [left|right|middle]     a click at client (X, Y) of the game's window
//         key NAME                          a key pressed and let go (a-z, 0-9, f1-f12, return,
//                                           escape, space, tab, backspace, up, down, left, right)
//         hold NAME down|up                 a key held down, or let go (also ctrl, shift, alt)
//         dialog TEMPLATE STEP[; STEP]...   the steps a player takes in the next dialog of that
//                                           template: click ID, dclick ID, type ID TEXT,
//                                           check ID 0|1, tab ID N, row ID N, page N (a
//                                           property sheet's page), key NAME, advance MS
//         answer yes|no|ok|cancel|retry|abort|ignore   the next message box's answer
//         frame FILE.bmp                    the game's window as last presented, as a 24-bit BMP
//         close                             the window's close box
//
// TIME is milliseconds of virtual time since the script started (`2500`), or a delay after the
// event before (`+800`); times never go backwards. `#` starts a comment; blank lines are skipped.
// Errors name the line: "FILE:LINE: message".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "winapi/dialogs/dialog_script.h"

namespace winapi {

struct PlayEvent {
    enum Kind { Click, Key, Hold, Dialog, Answer, Frame, Close } kind = Click;
    uint64_t at = 0;   // virtual milliseconds after the start
    int line = 0;      // in the script, for messages
    int x = 0, y = 0;  // Click
    int button = 0;    // Click: 0 left, 1 right, 2 middle
    int scancode = 0;  // Key, Hold: USB HID usage
    bool down = true;  // Hold
    int templateId = 0;                        // Dialog
    std::vector<dialogs::DialogStep> steps;    // Dialog
    int answer = 0;    // Answer: IDOK, IDYES, ...
    std::string file;  // Frame
};

// Reads a play script. `name` is used in the messages. → false with "NAME:LINE: message" in
// *error at the first bad line (events stay as read so far).
bool ParsePlayScript(const std::string& text, const std::string& name, std::vector<PlayEvent>* events,
                     std::string* error);

// The USB HID usage of a key name of the play script (lower case); 0 when there is none.
int PlayKeyScancode(const std::string& name);

// Writes 32-bit 0x00RRGGBB pixels (rows top first) as a 24-bit BMP. → false when the file cannot
// be written or the size is not 1..16384 a side.
bool WriteFrameBmp(const std::string& pathUtf8, int width, int height, const std::vector<uint32_t>& pixels);

} // namespace winapi
