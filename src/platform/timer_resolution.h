// The program-wide millisecond clock, chosen once per process: timeGetTime with the finest period
// the multimedia timer offers, or GetTickCount when that timer is unusable or coarse (10 ms or
// more). "Now" everywhere in the engine is TimerNow().
#pragma once

#include "winapi/kernel.h"

// 1 = timeGetTime, 0 = GetTickCount. Written once, by InitTimerResolution.
extern uint8_t g_UseTimeGetTime;
// The multimedia timer's capabilities; wPeriodMin is the period in use.
extern TIMECAPS g_TimerCaps;

// First call: picks the clock and, for timeGetTime, begins its minimum period; returns that period,
// or 1 when GetTickCount is used. Later calls return the stored period.
uint32_t InitTimerResolution();

// The clock's current reading in milliseconds (wraps at 2^32).
inline DWORD TimerNow()
{
    return g_UseTimeGetTime ? timeGetTime() : GetTickCount();
}

// Holder of the timer period for the life of the program: the constructor calls
// InitTimerResolution, the destructor ends the period when timeGetTime is in use.
class CTimerResolution {
public:
    CTimerResolution();
    ~CTimerResolution();
    CTimerResolution(const CTimerResolution&) = delete;
    CTimerResolution& operator=(const CTimerResolution&) = delete;
};
