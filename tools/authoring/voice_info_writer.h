// The voice-information file (SCRIPT\VOICEINF.DAT) from a text list: the first line is the voice
// file extension, then a line a voice: its name, its alias (or "-" for none, "hidden" for a
// hidden name without alias) and its name prefixes, separated by blanks. UTF-8, written as
// Shift-JIS.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// → true with the file's bytes; false with "LINE: message" for a missing field, an extension over
// 7 bytes, a name of 255 bytes or more, or text without a Shift-JIS form.
bool WriteVoiceInfo(std::string_view list, std::vector<uint8_t>* out, std::string* error);
