#include "platform/timer_resolution.h"

uint8_t g_UseTimeGetTime = 0;
TIMECAPS g_TimerCaps = {0, 0};

namespace {
bool g_timerInitialised = false;
uint32_t g_timerPeriod = 1;
CTimerResolution g_TimerResolution;
} // namespace

uint32_t InitTimerResolution()
{
    if (g_timerInitialised)
        return g_timerPeriod;
    g_timerInitialised = true;
    if (timeGetDevCaps(&g_TimerCaps, sizeof g_TimerCaps) != TIMERR_NOERROR || g_TimerCaps.wPeriodMin >= 10) {
        g_UseTimeGetTime = 0;
        g_timerPeriod = 1;
        return 1;
    }
    timeBeginPeriod(g_TimerCaps.wPeriodMin);
    g_UseTimeGetTime = 1;
    g_timerPeriod = g_TimerCaps.wPeriodMin;
    return g_timerPeriod;
}

CTimerResolution::CTimerResolution()
{
    InitTimerResolution();
}

CTimerResolution::~CTimerResolution()
{
    if (g_UseTimeGetTime)
        timeEndPeriod(g_TimerCaps.wPeriodMin);
}
