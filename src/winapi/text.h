// Text encodings. Inside the engine all text is Shift-JIS (code page 932) bytes; UTF-8 appears only
// at the host edge (window titles, message boxes, names on disk) and in source literals.
#pragma once

#include <string>
#include <string_view>

namespace winapi {

// The Shift-JIS bytes of one of the system's own texts, written in the source as a UTF-8 literal:
// `MessageBoxA(hwnd, winapi::Sjis("ハードディスクから起動してください"), ...)`.
// Converted once, at first use; the pointer stays valid for the life of the process.
const char* Sjis(const char* utf8);

// CP932 → UTF-8. Bytes that are not valid Shift-JIS become U+FFFD; never fails.
std::string SjisToUtf8(std::string_view sjis);

// UTF-8 → CP932. Characters that Shift-JIS cannot hold become '?'; invalid UTF-8 bytes too.
std::string Utf8ToSjis(std::string_view utf8);

// UTF-8 → CP932, checked: false (and *sjis unspecified) when a character has no Shift-JIS form or
// the UTF-8 is invalid. For names given at the host edge, which must never silently become '?'.
bool Utf8ToSjisChecked(std::string_view utf8, std::string* sjis);

// Shift-JIS lead bytes: 0x81-0x9F and 0xE0-0xFC. A lead byte and the byte after it form one character.
constexpr bool IsSjisLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The length of the longest start of `sjis` of at most `limit` bytes that does not end between
// the two bytes of a character (where a truncating copy may cut).
size_t SjisPrefixLength(std::string_view sjis, size_t limit);

// --- character codes -------------------------------------------------------------------------
// The Unicode form of one CP932 character code (a single byte, or lead × 256 + trail), read from
// a table built once for all 65,536 codes; 0 when the code has no Unicode form (an unassigned
// code, a lone lead byte, a trail byte out of range).
char32_t SjisCodeToUnicode(unsigned code);

} // namespace winapi
