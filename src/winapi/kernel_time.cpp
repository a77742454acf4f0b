#include "winapi/kernel_time.h"

#include "winapi/clock.h"

#include <atomic>
#include <chrono>
#include <ctime>
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

namespace {
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kUnixEpochTicks = 116444736000000000; // 1970-01-01 in 100 ns units since 1601

int64_t FileTimeTicks(const FILETIME& t)
{
    return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

FILETIME TicksToFileTime(int64_t ticks)
{
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks));
    t.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    return t;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian), valid for any 64-bit day count in
// the FILETIME range.
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

void FillSystemTime(int64_t ticks, SYSTEMTIME& out)
{
    const int64_t secondsSince1601 = ticks / kTicksPerSecond;
    const int64_t unixSeconds = secondsSince1601 - kUnixEpochTicks / kTicksPerSecond;
    int64_t days = unixSeconds / 86400;
    int64_t rest = unixSeconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int64_t year;
    unsigned month, day;
    CivilFromDays(days, year, month, day);
    out.wYear = static_cast<WORD>(year);
    out.wMonth = static_cast<WORD>(month);
    out.wDay = static_cast<WORD>(day);
    out.wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 4) % 7); // 1970-01-01 was a Thursday
    out.wHour = static_cast<WORD>(rest / 3600);
    out.wMinute = static_cast<WORD>(rest / 60 % 60);
    out.wSecond = static_cast<WORD>(rest % 60);
    out.wMilliseconds = static_cast<WORD>(ticks % kTicksPerSecond / 10000);
}

int64_t NowTicks()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(now).count() * 10 + kUnixEpochTicks;
}

// Offset of local time from UTC at a Unix time, in seconds; false when the C library cannot say.
bool LocalOffsetSeconds(int64_t unixSeconds, long& offset)
{
    const time_t t = static_cast<time_t>(unixSeconds);
    struct tm local;
    if (!localtime_r(&t, &local))
        return false;
    offset = local.tm_gmtoff;
    return true;
}
} // namespace

BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* utc, LPFILETIME local)
{
    if (!utc || !local) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const int64_t ticks = FileTimeTicks(*utc);
    long offset = 0;
    if (ticks < 0 || !LocalOffsetSeconds(ticks / kTicksPerSecond - kUnixEpochTicks / kTicksPerSecond, offset)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const int64_t shifted = ticks + static_cast<int64_t>(offset) * kTicksPerSecond;
    if (shifted < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *local = TicksToFileTime(shifted);
    return TRUE;
}

BOOL WINAPI FileTimeToSystemTime(const FILETIME* time, LPSYSTEMTIME system)
{
    if (!time || !system || FileTimeTicks(*time) < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FillSystemTime(FileTimeTicks(*time), *system);
    return TRUE;
}

void WINAPI GetSystemTime(LPSYSTEMTIME time)
{
    if (time)
        FillSystemTime(NowTicks(), *time);
}

void WINAPI GetLocalTime(LPSYSTEMTIME time)
{
    if (!time)
        return;
    const int64_t now = NowTicks();
    long offset = 0;
    LocalOffsetSeconds(now / kTicksPerSecond - kUnixEpochTicks / kTicksPerSecond, offset);
    FillSystemTime(now + static_cast<int64_t>(offset) * kTicksPerSecond, *time);
}
