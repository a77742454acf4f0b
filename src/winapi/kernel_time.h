// Millisecond and performance clocks, Sleep and the timer-period calls, all read from the one
// replaceable clock of winapi/clock.h. While the virtual clock is on, Sleep advances it instead of
// blocking (and yields the processor once).
#pragma once

#include "winapi/base.h"

using MMRESULT = UINT;
#define TIMERR_NOERROR 0u
#define TIMERR_NOCANDO 97u

struct TIMECAPS {
    UINT wPeriodMin;
    UINT wPeriodMax;
};
using LPTIMECAPS = TIMECAPS*;

// Milliseconds of the clock, wrapping at 2^32 (about 49.7 days) as on Windows.
DWORD WINAPI timeGetTime();
DWORD WINAPI GetTickCount();
ULONGLONG WINAPI GetTickCount64();

// Counter of 10 MHz ticks. Both return TRUE, or FALSE (ERROR_INVALID_PARAMETER) for a null pointer.
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency);

// Blocks for `ms` milliseconds (0: yields); INFINITE blocks for ever on the real clock.
void WINAPI Sleep(DWORD ms);

// Period range 1..1000000 ms. TIMERR_NOERROR, or TIMERR_NOCANDO for a null record or a size below 8.
MMRESULT WINAPI timeGetDevCaps(LPTIMECAPS caps, UINT size);
// Accepted and counted, no effect on Linux timers. TIMERR_NOCANDO for period 0.
MMRESULT WINAPI timeBeginPeriod(UINT period);
MMRESULT WINAPI timeEndPeriod(UINT period);

// Calendar time. A FILETIME counts 100 ns intervals since 1601-01-01 UTC.
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek; // 0 = Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

// UTC to the host's local time (its time zone through the C library, daylight saving included, for
// the instant given). FALSE (ERROR_INVALID_PARAMETER) for null records or a time the C library
// cannot convert.
BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* utc, LPFILETIME local);
// Splits a file time into its calendar fields, day of week included. FALSE
// (ERROR_INVALID_PARAMETER) for null records or a time at or past 0x8000000000000000.
BOOL WINAPI FileTimeToSystemTime(const FILETIME* time, LPSYSTEMTIME system);
// The current time of the real wall clock (not the virtual clock), local or UTC.
void WINAPI GetLocalTime(LPSYSTEMTIME time);
void WINAPI GetSystemTime(LPSYSTEMTIME time);
