// The keyboard's code table: each row pairs a DirectInput key code with the Windows virtual key
// that the polling and message keyboards read for it. Keys that share a virtual key (both Shifts,
// both Controls, both Alts, the two Enters) read alike through the Win32 back-ends.
#pragma once

#include <cstddef>
#include <cstdint>

struct KeyCodeRow {
    uint8_t code;        // DIK_
    uint8_t virtualKey;  // VK_
};

extern const KeyCodeRow KeyCodeTable[104];
// The rows of the key subset (method 3), as indexes into KeyCodeTable.
extern const uint8_t KeyCodeSubset[47];
