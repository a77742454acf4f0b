#include "winapi/kernel_time.h"

#include <gtest/gtest.h>

#include <ctime>

#include "winapi/clock.h"

class VirtualClock : public ::testing::Test {
protected:
    void SetUp() override { winapi::UseVirtualClock(true); }
    void TearDown() override { winapi::UseVirtualClock(false); }
};

TEST_F(VirtualClock, AllClocksFollowIt)
{
    winapi::SetVirtualTime(1000);
    EXPECT_EQ(timeGetTime(), 1000u);
    EXPECT_EQ(GetTickCount(), 1000u);
    LARGE_INTEGER f, c0, c1;
    ASSERT_TRUE(QueryPerformanceFrequency(&f));
    ASSERT_TRUE(QueryPerformanceCounter(&c0));
    winapi::AdvanceVirtualClock(250);
    Sleep(250); // advances instead of blocking
    QueryPerformanceCounter(&c1);
    EXPECT_EQ(timeGetTime(), 1500u);
    EXPECT_EQ((c1.QuadPart - c0.QuadPart) * 1000 / f.QuadPart, 500);
    // A wait in microseconds moves it by the whole milliseconds that cover the wait.
    winapi::SleepMicroseconds(16667);
    EXPECT_EQ(timeGetTime(), 1517u);
    winapi::SleepMicroseconds(0);
    EXPECT_EQ(timeGetTime(), 1517u);
}

TEST_F(VirtualClock, MillisecondsWrapAt32Bits)
{
    winapi::SetVirtualTime(0xFFFFFFF0ull);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
    winapi::AdvanceVirtualClock(0x20);
    EXPECT_EQ(timeGetTime(), 0x10u);
    EXPECT_EQ(GetTickCount64(), 0x100000010ull);
}

TEST(RealClock, MovesForwardAndSleeps)
{
    EXPECT_FALSE(winapi::IsVirtualClock());
    DWORD t0 = timeGetTime();
    Sleep(20);
    EXPECT_GE(timeGetTime() - t0, 19u);
    winapi::SetVirtualTime(5); // ignored while real
    EXPECT_GE(timeGetTime() - t0, 19u);
    const uint64_t us = winapi::ClockMicroseconds();
    winapi::SleepMicroseconds(2500);
    EXPECT_GE(winapi::ClockMicroseconds() - us, 2500u);
}

TEST(TimerCalls, CapsAndPeriods)
{
    TIMECAPS caps{};
    EXPECT_EQ(timeGetDevCaps(&caps, sizeof caps), TIMERR_NOERROR);
    EXPECT_EQ(caps.wPeriodMin, 1u);
    EXPECT_EQ(timeGetDevCaps(&caps, 4), TIMERR_NOCANDO);
    EXPECT_EQ(timeGetDevCaps(nullptr, 8), TIMERR_NOCANDO);
    EXPECT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
}

namespace {
FILETIME FileTimeFromUnix(int64_t seconds, int64_t extraTicks = 0)
{
    const uint64_t ticks = static_cast<uint64_t>((seconds + 11644473600LL) * 10000000LL + extraTicks);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}
} // namespace

TEST(CalendarTime, FileTimeSplitsIntoTheCFieldsOfTheSameInstant)
{
    // Leap days, the turn of centuries, before 1970 and the 32-bit time_t limit.
    const int64_t instants[] = {0, 951782400, 951868799, -2208988800LL, 2147483647, 4102444800LL,
                                1700000000, -11644473600LL};
    for (int64_t seconds : instants) {
        SCOPED_TRACE(seconds);
        const FILETIME ft = FileTimeFromUnix(seconds, 1234567);
        SYSTEMTIME st{};
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
        const time_t t = static_cast<time_t>(seconds);
        struct tm ref;
        ASSERT_TRUE(gmtime_r(&t, &ref));
        EXPECT_EQ(st.wYear, ref.tm_year + 1900);
        EXPECT_EQ(st.wMonth, ref.tm_mon + 1);
        EXPECT_EQ(st.wDay, ref.tm_mday);
        EXPECT_EQ(st.wDayOfWeek, ref.tm_wday);
        EXPECT_EQ(st.wHour, ref.tm_hour);
        EXPECT_EQ(st.wMinute, ref.tm_min);
        EXPECT_EQ(st.wSecond, ref.tm_sec);
        EXPECT_EQ(st.wMilliseconds, 123);
    }
    const FILETIME negative{0, 0x80000000u};
    SYSTEMTIME st;
    EXPECT_FALSE(FileTimeToSystemTime(&negative, &st));
    EXPECT_FALSE(FileTimeToSystemTime(nullptr, &st));
}

TEST(CalendarTime, LocalFileTimeFollowsTheHostTimeZone)
{
    const int64_t seconds = 1700000000;
    const FILETIME utc = FileTimeFromUnix(seconds);
    FILETIME local{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    SYSTEMTIME st{};
    ASSERT_TRUE(FileTimeToSystemTime(&local, &st));
    const time_t t = static_cast<time_t>(seconds);
    struct tm ref;
    ASSERT_TRUE(localtime_r(&t, &ref));
    EXPECT_EQ(st.wYear, ref.tm_year + 1900);
    EXPECT_EQ(st.wDay, ref.tm_mday);
    EXPECT_EQ(st.wHour, ref.tm_hour);
    EXPECT_EQ(st.wMinute, ref.tm_min);
    EXPECT_FALSE(FileTimeToLocalFileTime(nullptr, &local));
}
