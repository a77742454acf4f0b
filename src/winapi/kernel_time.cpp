#include "winapi/kernel_time.h"

#include "winapi/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
constexpr LONGLONG kCounterFrequency = 10000000; // 10 MHz, as common Windows machines report
std::atomic<int> g_periodDepth{0};
} // namespace

DWORD WINAPI timeGetTime()
{
    return static_cast<DWORD>(winapi::ClockMilliseconds());
}

DWORD WINAPI GetTickCount()
{
    return static_cast<DWORD>(winapi::ClockMilliseconds());
}

ULONGLONG WINAPI GetTickCount64()
{
    return winapi::ClockMilliseconds();
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count)
{
    if (!count) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    count->QuadPart = static_cast<LONGLONG>(winapi::ClockMicroseconds()) * (kCounterFrequency / 1000000);
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    if (!frequency) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    frequency->QuadPart = kCounterFrequency;
    return TRUE;
}

void WINAPI Sleep(DWORD ms)
{
    if (winapi::IsVirtualClock() && ms != INFINITE) {
        winapi::AdvanceVirtualClock(ms);
        std::this_thread::yield();
        return;
    }
    if (ms == 0) {
        std::this_thread::yield();
        return;
    }
    if (ms == INFINITE) {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

MMRESULT WINAPI timeGetDevCaps(LPTIMECAPS caps, UINT size)
{
    if (!caps || size < sizeof(TIMECAPS))
        return TIMERR_NOCANDO;
    caps->wPeriodMin = 1;
    caps->wPeriodMax = 1000000;
    return TIMERR_NOERROR;
}

MMRESULT WINAPI timeBeginPeriod(UINT period)
{
    if (period == 0)
        return TIMERR_NOCANDO;
    g_periodDepth.fetch_add(1);
    return TIMERR_NOERROR;
}

MMRESULT WINAPI timeEndPeriod(UINT period)
{
    if (period == 0)
        return TIMERR_NOCANDO;
    g_periodDepth.fetch_sub(1);
    return TIMERR_NOERROR;
}
