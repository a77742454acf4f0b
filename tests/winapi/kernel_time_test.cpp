#include "winapi/kernel_time.h"

#include <gtest/gtest.h>

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
