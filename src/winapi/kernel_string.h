// Shift-JIS aware string calls (CharUpperA, CharNextA, lstrcmpiA, wsprintfA, ...). Case mapping
// touches ASCII letters only and never the trail byte of a double-byte character.
#pragma once

#include <cstdarg>

#include "winapi/base.h"

// Lead bytes of code page 932: 0x81-0x9F and 0xE0-0xFC.
BOOL WINAPI IsDBCSLeadByte(BYTE c);

// Map the string in place and return it. As on Windows, a "pointer" below 0x10000 holds a single
// character in its low byte, and the mapped character is returned the same way.
LPSTR WINAPI CharLowerA(LPSTR text);
LPSTR WINAPI CharUpperA(LPSTR text);

// The next character (a lead byte and its trail byte are one); stays on the terminator, and never
// steps past a terminator that follows a lead byte.
LPSTR WINAPI CharNextA(LPCSTR current);
// The character before `current`, walking from `start`; `start` itself when current <= start.
LPSTR WINAPI CharPrevA(LPCSTR start, LPCSTR current);

// Byte length; 0 for null.
int WINAPI lstrlenA(LPCSTR text);
// Copies at most max - 1 bytes and always terminates (max > 0); returns dest, null for a null
// argument or max <= 0.
LPSTR WINAPI lstrcpynA(LPSTR dest, LPCSTR src, int max);
LPSTR WINAPI lstrcpyA(LPSTR dest, LPCSTR src);
LPSTR WINAPI lstrcatA(LPSTR dest, LPCSTR src);
// Byte-order comparisons (< 0, 0, > 0); lstrcmpiA ignores ASCII case outside double-byte
// characters. Null sorts before any string.
int WINAPI lstrcmpA(LPCSTR a, LPCSTR b);
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b);

// Windows' small printf: %d %i %u %x %X %c %s %% with flags '-' '0' '#', width and precision; the
// size prefix 'l' means 32 bits as on Windows ('h' 16 bits, "I64" 64 bits). Writes at most 1024
// bytes including the terminator (the documented limit); returns the bytes written without it.
int WINAPIV wsprintfA(LPSTR out, LPCSTR format, ...);
int WINAPI wvsprintfA(LPSTR out, LPCSTR format, va_list args);
