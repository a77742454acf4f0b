// Streamed sounds over the counter decoder: the output continues exactly across refills, the
// intro/loop seam and loop wraps, in both waking modes; positions; failing and stalling decoders.
#include "sound/stream_sound.h"

#include "sound_support.h"

using soundtest::Counter;
using soundtest::CounterSample;
using soundtest::SoundTest;

namespace {

constexpr uint32_t kRate = 44100;

Counter Seconds(double seconds, uint32_t start = 0)
{
    Counter c;
    c.frames = static_cast<uint32_t>(seconds * kRate);
    c.start = start;
    return c;
}

class StreamTest : public SoundTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        g_bStreamNotify = GetParam() ? 1 : 0;
    }
};

} // namespace

TEST_P(StreamTest, SinglePartPlaysExactlyThenStops)
{
    const Counter c = Seconds(6);
    Write("a.cnt", c);
    CStreamSound s;
    ASSERT_EQ(s.Open("a.cnt", nullptr), 0);
    EXPECT_EQ(s.IsNotifying(), GetParam());
    EXPECT_EQ(s.GetLengthMs(), 6000u);
    ASSERT_EQ(s.Play(), 0);
    Play(s, 3000);
    EXPECT_NEAR(s.GetPositionMs(), 3000.0, 1000.0);
    Play(s, 4000);
    EXPECT_FALSE(s.IsPlaying(nullptr, nullptr));
    EXPECT_FALSE(s.IsWorkerRunning());
    EXPECT_EQ(FirstMismatch(Mixed(), 7 * kRate,
                            [&](size_t i, int ch) { return i < c.frames ? CounterSample(c, static_cast<uint32_t>(i), ch) : int16_t{0}; }),
              -1);
}

TEST_P(StreamTest, IntroThenLoopPartSeamlessly)
{
    const Counter intro = Seconds(1.5);
    const Counter loop = Seconds(2, 5000);
    Write("intro.cnt", intro);
    Write("loop.cnt", loop);
    CStreamSound s;
    ASSERT_EQ(s.Open("intro.cnt", "loop.cnt"), 0);
    EXPECT_EQ(s.GetDataBytes(), (intro.frames + loop.frames) * 4);
    ASSERT_EQ(s.PlayLooped(), 0);
    uint32_t last = 0;
    bool wrapped = false;
    for (int i = 0; i < 9; ++i) {
        Play(s, 1000);
        const uint32_t pos = s.GetPositionMs();
        if (i >= 2) {
            EXPECT_GE(pos, 1000u); // never back before the intro's end once there
        }
        EXPECT_LT(pos, 3500u);
        wrapped = wrapped || pos < last;
        last = pos;
    }
    EXPECT_TRUE(wrapped);
    EXPECT_TRUE(s.IsPlaying(nullptr, nullptr));
    s.Stop();
    EXPECT_EQ(FirstMismatch(Mixed(), 9 * kRate,
                            [&](size_t i, int ch) {
                                return i < intro.frames ? CounterSample(intro, static_cast<uint32_t>(i), ch)
                                                        : CounterSample(loop, static_cast<uint32_t>((i - intro.frames) % loop.frames), ch);
                            }),
              -1);
}

TEST_P(StreamTest, LoopingSinglePartWraps)
{
    const Counter c = Seconds(2.5);
    Write("a.cnt", c);
    CStreamSound s;
    ASSERT_EQ(s.Open("a.cnt", nullptr), 0);
    ASSERT_EQ(s.PlayLooped(), 0);
    for (int i = 0; i < 8; ++i) {
        Play(s, 1000);
        EXPECT_LT(s.GetPositionMs(), 2500u);
    }
    EXPECT_EQ(FirstMismatch(Mixed(), 8 * kRate,
                            [&](size_t i, int ch) { return CounterSample(c, static_cast<uint32_t>(i % c.frames), ch); }),
              -1);
}

INSTANTIATE_TEST_SUITE_P(WakingModes, StreamTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Notifications" : "Sleeping"; });

TEST_F(SoundTest, StreamOpenRefusals)
{
    Write("a.cnt", Seconds(1));
    Counter other = Seconds(1);
    other.rate = 22050;
    Write("other.cnt", other);
    CStreamSound s;
    EXPECT_EQ(s.Open(nullptr, nullptr), 1);
    EXPECT_EQ(s.Open("missing.cnt", nullptr), 2);
    EXPECT_EQ(s.Open("a.cnt", "missing.cnt"), 3);
    EXPECT_EQ(s.Open("a.cnt", "other.cnt"), 4);
    EXPECT_EQ(s.GetBuffer(), nullptr);
    EXPECT_EQ(s.Play(), 1);
    EXPECT_EQ(s.GetPositionMs(), 0xFFFFFFFFu);
    winapi::Dsound().refuseCreateBuffer = true;
    EXPECT_EQ(s.Open("a.cnt", nullptr), 5);
    winapi::Dsound().refuseCreateBuffer = false;
    winapi::Dsound().refuseControls = true;
    EXPECT_EQ(s.Open("a.cnt", nullptr), -1);
}

TEST_F(SoundTest, StreamPositionsIntoTheLoopPart)
{
    const Counter intro = Seconds(1.5);
    const Counter loop = Seconds(2, 5000);
    Write("intro.cnt", intro);
    Write("loop.cnt", loop);
    CStreamSound s;
    ASSERT_EQ(s.Open("intro.cnt", "loop.cnt"), 0);
    ASSERT_EQ(s.SetPositionMs(2000), 0);
    EXPECT_EQ(s.GetPositionMs(), 2000u);
    ASSERT_EQ(s.PlayLooped(), 0);
    winapi::AdvanceVirtualClock(10);
    EXPECT_EQ(FirstMismatch(Mixed(), 441,
                            [&](size_t i, int ch) { return CounterSample(loop, static_cast<uint32_t>(kRate / 2 + i), ch); }),
              -1);
    // A stop ends the worker's sleep at once: the clock does not move here.
    EXPECT_EQ(s.Stop(), 0);
    EXPECT_FALSE(s.IsWorkerRunning());
    EXPECT_EQ(s.GetPositionMs(), 0u);
}

TEST_F(SoundTest, PauseAndResumeKeepTheStreamGoing)
{
    const Counter c = Seconds(8);
    Write("a.cnt", c);
    CStreamSound s;
    ASSERT_EQ(s.Open("a.cnt", nullptr), 0);
    ASSERT_EQ(s.Play(), 0);
    Play(s, 1000);
    EXPECT_EQ(s.Resume(), 2);
    ASSERT_EQ(s.Pause(), 0);
    ASSERT_EQ(s.Pause(), 0);
    winapi::DsoundClearRecorded();
    Play(s, 6000);
    EXPECT_EQ(s.Resume(), 0);
    EXPECT_FALSE(s.IsPlaying(nullptr, nullptr));
    EXPECT_EQ(s.Resume(), 0);
    Play(s, 1000);
    const auto mix = Mixed();
    // Silent while paused, then on from where it stopped.
    ASSERT_GE(mix.size(), 6u * kRate * 2 + 2);
    EXPECT_EQ(mix[0], 0);
    EXPECT_EQ(mix[6 * kRate * 2], CounterSample(c, kRate, 0));
    EXPECT_TRUE(s.IsPlaying(nullptr, nullptr));
}

TEST_F(SoundTest, FailingDecoderEndsThePieceOnTime)
{
    Counter c = Seconds(5);
    c.failAt = 2 * kRate * 4; // nothing more after two seconds, though not at its end
    Write("a.cnt", c);
    CStreamSound s;
    ASSERT_EQ(s.Open("a.cnt", nullptr), 0);
    ASSERT_EQ(s.Play(), 0);
    Play(s, 4500);
    EXPECT_TRUE(s.IsPlaying(nullptr, nullptr));
    Play(s, 1000);
    EXPECT_FALSE(s.IsPlaying(nullptr, nullptr));
    EXPECT_EQ(FirstMismatch(Mixed(), 5 * kRate,
                            [&](size_t i, int ch) { return i < 2 * kRate ? CounterSample(c, static_cast<uint32_t>(i), ch) : int16_t{0}; }),
              -1);
}

TEST_F(SoundTest, StalledDecoderRecoversAndEndsOnTime)
{
    Counter c = Seconds(10);
    c.stallAt = 5 * kRate * 4;
    Write("a.cnt", c);
    CStreamSound s;
    ASSERT_EQ(s.Open("a.cnt", nullptr), 0);
    const uint32_t start = timeGetTime();
    ASSERT_EQ(s.Play(), 0);
    // Until the decoder stalls, then 5 s more (longer than the ring) while it hangs.
    while (!soundtest::TheStall().entered && timeGetTime() - start < 6000) {
        winapi::AdvanceVirtualClock(100);
        while (s.IsWorkerRunning() && !soundtest::TheStall().entered && !winapi::WaitForClockWaiters(1, 20)) {
        }
    }
    ASSERT_TRUE(soundtest::TheStall().entered);
    for (int i = 0; i < 50; ++i)
        winapi::AdvanceVirtualClock(100);
    soundtest::ReleaseStall();
    uint32_t stopped = 0;
    while (timeGetTime() - start < 14000) {
        Play(s, 100);
        if (!stopped && !s.IsPlaying(nullptr, nullptr))
            stopped = timeGetTime() - start;
    }
    EXPECT_GE(stopped, 10000u);
    EXPECT_LE(stopped, 11100u);
    // After the stall the decoder's next samples are heard in order.
    const auto mix = Mixed();
    EXPECT_EQ((mix[2 * 9 * kRate + 2] - mix[2 * 9 * kRate]) & 0x3FFF, 1);
}

TEST_F(SoundTest, DeviceLossMidStreamKeepsTimeAndSoundComesBack)
{
    const Counter c = Seconds(8);
    Write("a.cnt", c);
    CStreamSound s;
    ASSERT_EQ(s.Open("a.cnt", nullptr), 0);
    ASSERT_EQ(s.Play(), 0);
    Play(s, 1000);
    winapi::DsoundDropOutput();
    Play(s, 2000);
    EXPECT_TRUE(s.IsPlaying(nullptr, nullptr));
    EXPECT_NEAR(s.GetPositionMs(), 3000.0, 600.0);
    winapi::DsoundReturnOutput();
    Play(s, 1000);
    // One second before the loss, none during it, then on from three seconds in.
    const auto mix = Mixed();
    ASSERT_EQ(mix.size(), 2u * kRate * 2);
    EXPECT_EQ(mix[2 * kRate], CounterSample(c, 3 * kRate, 0));
    EXPECT_EQ(mix[2 * kRate - 2], CounterSample(c, kRate - 1, 0));
}
