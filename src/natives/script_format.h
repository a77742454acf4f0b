// The scripts' printf (natives 67 and 142): flags '-' '0' '#', width and precision, the types
// d i u x X c s and "%%", the size prefixes 'l' and 'h' read as 32 bits, no floats. Each argument
// is the next word; each %s word a checked string view (0 prints "(null)").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/sob_native_args.h"

// Formats the string of word formatWord with the words from firstArg on into out, at most limit
// bytes (no terminator) → false when the output would pass limit (out then holds the first limit
// bytes); a bad format or argument address marks the call.
bool FormatScriptText(SobNativeArgs& args, uint32_t formatWord, uint32_t firstArg, uint32_t limit, std::string* out);

// The same with the text in small while it fits there (most texts), else in *large: *text views
// it either way, valid until small or large changes.
constexpr size_t kScriptFormatBuffer = 256;
bool FormatScriptText(SobNativeArgs& args, uint32_t formatWord, uint32_t firstArg, uint32_t limit,
                      char (&small)[kScriptFormatBuffer], std::string* large, std::string_view* text);
