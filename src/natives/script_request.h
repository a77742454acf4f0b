// The requests the system script makes of the main window's thread: the data-input dialog, the
// open and save dialogs, the folder browser and the primary sound format. A native reads its
// words into a ScriptRequest, sends WM_COMMAND with the record's address as lParam and waits;
// the window's handler fills the answer, and the native copies it back by checked stores.
#pragma once

#include <cstdint>
#include <string>

#include "winapi/base.h"

// The command ids (WM_COMMAND's low word).
enum : uint16_t {
    kScriptRequestDataInput = 40026,   // native 73
    kScriptRequestOpenFile = 40027,    // native 158
    kScriptRequestSaveFile = 40028,    // native 159
    kScriptRequestFolder = 40029,      // native 160
    kScriptRequestSoundFormat = 40030, // native 596
};

// Sent, never posted: the record lives on the native's stack for the length of the call, and
// the answer exists before the native reads it. Texts are Shift-JIS; an empty text is a null
// word.
struct ScriptRequest {
    uint16_t command = 0;
    // The script's argument words as given (script addresses, for the handler's information).
    uint32_t words[6] = {};
    // 40026: the buffer's text, the edit's initial text.
    // 40027/40028: title (word 0), the file buffer's text as the initial name (word 1), the
    // initial folder (word 3; empty: the program folder), the filter (word 4, its parts
    // separated by NULs), the default extension (word 5, save only).
    // 40029: title (word 0), the initial folder (word 1; empty: the program folder).
    std::string title;
    std::string text;
    std::string folder;
    std::string filter;
    std::string extension;
    // 40030: whether word 0 gives a format (rate code word 1, channels word 2, bits the low byte
    // of word 3); without one the handler uses 44 kHz, 2 channels, 16 bits.
    bool formatGiven = false;
    int32_t rateCode = 0;
    int32_t channels = 0;
    int32_t bits = 0;

    // --- the handler's answer ---
    // The answer word (word 0 after the call; 40030: the sound device's result).
    int32_t answer = 0;
    // 40026 the text entered; 40027/40028 the chosen path; 40029 the chosen folder, ending in '\'.
    std::string answerText;
    // 40027/40028: the chosen file's name part (the file-title buffer of word 2).
    std::string answerTitle;
};

// Sends the request to the application's main window, between the frame's pause and resume, and
// waits for the handler → false when there is no application or window (nothing was sent and
// the answer is as it was).
bool SendScriptRequest(ScriptRequest* request);
