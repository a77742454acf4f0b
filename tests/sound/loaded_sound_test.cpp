// Loaded sounds: the volume law, controls, pause nesting, positions, short decodes, kept copies,
// fades on the virtual clock and lost buffers.
#include "sound/loaded_sound.h"

#include "sound_support.h"

using soundtest::Counter;
using soundtest::CounterSample;
using soundtest::SoundTest;

namespace {

LONG DsVolume(CSoundBuffer& s)
{
    LONG v = 1;
    s.GetBuffer()->GetVolume(&v);
    return v;
}

} // namespace

TEST_F(SoundTest, VolumeLawAndStoredVolume)
{
    CLoadedSound none;
    EXPECT_EQ(none.SetVolume(100), -1);
    EXPECT_EQ(none.GetVolume(), 100); // stored without a buffer
    Write("a.cnt", Counter{});
    CLoadedSound s;
    ASSERT_EQ(s.Open("a.cnt", 0), 0);
    struct Case {
        int32_t set;
        int32_t stored;
        LONG db;
    };
    for (const Case& c : {Case{300, 256, 0}, Case{256, 256, 0}, Case{128, 128, -602}, Case{1, 1, -4816},
                          Case{0, 0, -10000}, Case{-5, 0, -10000}}) {
        EXPECT_EQ(s.SetVolume(c.set), 0);
        EXPECT_EQ(s.GetVolume(), c.stored) << c.set;
        EXPECT_EQ(DsVolume(s), c.db) << c.set;
    }
}

TEST_F(SoundTest, ChangeVolPanFreqClampsAndReportsEachControl)
{
    Write("a.cnt", Counter{});
    CLoadedSound s;
    ASSERT_EQ(s.Open("a.cnt", 0), 0);
    EXPECT_EQ(s.ChangeVolPanFreq(0, 12000, -50000), 0);
    LONG pan = 0;
    DWORD hz = 0;
    int32_t volume = 0;
    EXPECT_EQ(s.GetVolPanFreq(&volume, &pan, &hz), 0);
    EXPECT_EQ(pan, 10000);
    EXPECT_EQ(hz, 100u);
    EXPECT_EQ(s.ChangeVolPanFreq(-56, 0, 0), 0);
    EXPECT_EQ(s.GetVolume(), 200);
    // Without pan and frequency control (the fallback buffer) each control answers its own code.
    winapi::Dsound().refuseControls = true;
    CLoadedSound fallback;
    ASSERT_EQ(fallback.Open("a.cnt", 0), -1);
    EXPECT_EQ(fallback.ChangeVolPanFreq(-10, 0, 0), 0);
    EXPECT_EQ(fallback.ChangeVolPanFreq(0, 5, 0), 3);
    EXPECT_EQ(fallback.ChangeVolPanFreq(0, 0, 5), 4);
    EXPECT_EQ(fallback.GetVolPanFreq(&volume, &pan, nullptr), 2);
    EXPECT_EQ(volume, 246);
    EXPECT_EQ(fallback.GetVolPanFreq(nullptr, nullptr, &hz), 3);
    CLoadedSound empty;
    EXPECT_EQ(empty.ChangeVolPanFreq(1, 1, 1), 1);
    EXPECT_EQ(empty.GetVolPanFreq(&volume, nullptr, nullptr), 1);
    EXPECT_EQ(volume, 256);
}

TEST_F(SoundTest, OpenReportsEachFailure)
{
    Write("a.cnt", Counter{});
    Write("nothing.cnt", Counter{44100, 2, 16, 100, 0, 0, 1, 0});
    Write("junk.cnt", "not a sound");
    CLoadedSound s;
    EXPECT_EQ(s.Open(nullptr, 0), 1);
    EXPECT_EQ(s.Open("missing.cnt", 0), 2);
    EXPECT_EQ(s.Open("junk.cnt", 0), 2);
    EXPECT_EQ(s.Open("nothing.cnt", 0), 5);
    EXPECT_EQ(s.GetBuffer(), nullptr);
    winapi::Dsound().refuseCreateBuffer = true;
    EXPECT_EQ(s.Open("a.cnt", 0), 3);
    winapi::Dsound().refuseCreateBuffer = false;
    ASSERT_EQ(s.Open("a.cnt", 0), 0);
    IDirectSoundBuffer* first = s.GetBuffer();
    EXPECT_EQ(s.Open("a.cnt", 0), 0);
    EXPECT_EQ(s.GetBuffer(), first); // the same file: nothing changes
    // Another mode is another open: the level copy comes.
    EXPECT_EQ(s.Open("a.cnt", 2), 0);
    EXPECT_EQ(s.GetKeptWidth(), 2);
    g_pSoundDevice = nullptr;
    EXPECT_EQ(s.Open("a.cnt", 0), 1);
}

TEST_F(SoundTest, PlaysTheDecodedSamplesAndPadsShortDecodes)
{
    // 1000 frames announced 400 frames longer: the rest plays as silence.
    const Counter c{44100, 2, 16, 1000, 7, 1600, 0, 0};
    Write("short.cnt", c);
    CLoadedSound s;
    ASSERT_EQ(s.Open("short.cnt", 0), 0);
    EXPECT_EQ(s.GetDataBytes(), 5600u);
    ASSERT_EQ(s.Play(), 0);
    Run(40);
    const auto mix = Mixed();
    EXPECT_EQ(FirstMismatch(mix, 1764, [&](size_t i, int ch) { return i < 1000 ? CounterSample(c, i, ch) : 0; }), -1);
    EXPECT_FALSE(s.IsPlaying(nullptr, nullptr)); // a one-shot ends by itself
}

TEST_F(SoundTest, PauseNestsAndPositionsHold)
{
    const Counter c{44100, 2, 16, 44100};
    Write("a.cnt", c);
    CLoadedSound s;
    ASSERT_EQ(s.Open("a.cnt", 0), 0);
    EXPECT_EQ(s.Pause(), 2);  // never started
    EXPECT_EQ(s.Resume(), 2); // not paused
    ASSERT_EQ(s.Play(), 0);
    Run(100);
    EXPECT_EQ(s.Pause(), 0);
    EXPECT_EQ(s.Pause(), 0);
    EXPECT_EQ(s.Resume(), 0);
    EXPECT_FALSE(s.IsPlaying(nullptr, nullptr)); // two pauses need two resumes
    EXPECT_EQ(s.Resume(), 0);
    EXPECT_TRUE(s.IsPlaying(nullptr, nullptr));
    EXPECT_EQ(s.GetPositionMs(), 100u);
    // A position set while stopped is where the next Play starts.
    s.Stop();
    EXPECT_EQ(s.SetPositionMs(500), 0);
    EXPECT_EQ(s.SetPositionMs(1000), 3);
    EXPECT_EQ(s.SetPositionMs(250), 0);
    winapi::DsoundClearRecorded();
    ASSERT_EQ(s.Play(), 0);
    Run(10);
    EXPECT_EQ(FirstMismatch(Mixed(), 441, [&](size_t i, int ch) { return CounterSample(c, 11025 + i, ch); }), -1);
    // Playing again without a position starts from the beginning.
    winapi::DsoundClearRecorded();
    ASSERT_EQ(s.PlayLooped(), 0);
    Run(10);
    EXPECT_EQ(FirstMismatch(Mixed(), 441, [&](size_t i, int ch) { return CounterSample(c, i, ch); }), -1);
    EXPECT_EQ(s.GetLengthMs(), 1000u);
}

TEST_F(SoundTest, KeptCopiesGiveSamplesAndLevels)
{
    // 8-bit mono counting 0..255 (b - 128 from -128 to 127), and 16-bit.
    Write("b8.cnt", Counter{8000, 1, 8, 256});
    Write("b16.cnt", Counter{8000, 1, 16, 64, 100});
    CLoadedSound s;
    ASSERT_EQ(s.Open("b8.cnt", 1), 0);
    EXPECT_EQ(s.GetKeptWidth(), 1);
    EXPECT_EQ(s.GetSample(5), 5);
    EXPECT_EQ(s.GetLevel(0, 0), 255u);   // |0 - 128| × 2, limited
    EXPECT_EQ(s.GetLevel(130, 0), 4u);   // |130 - 128| × 2
    EXPECT_EQ(s.GetLevel(130, 10), 0u);  // no level peak without an envelope
    EXPECT_EQ(s.GetSample(255), 255);
    EXPECT_EQ(s.GetSample(256), 0);
    ASSERT_EQ(s.Open("b16.cnt", 1), 0);
    EXPECT_EQ(s.GetSample(2), 101);
    EXPECT_EQ(s.GetSample(127), 0); // a 16-bit sample starting at the last byte lies outside
    EXPECT_EQ(s.GetSample(126), 163);
    ASSERT_EQ(s.Open("b16.cnt", 2), 0);
    // Blocks of 32 samples: 100..131 → 115, 132..163 → 147; peak 147 >> 2 = 36.
    EXPECT_EQ(s.GetLevelPeak(), 36);
    EXPECT_EQ(s.GetSample(0), 115);
    EXPECT_EQ(s.GetSample(64), 147);
    EXPECT_EQ(s.GetLevel(64, 0), 1u);    // 147 >> 7
    EXPECT_EQ(s.GetLevel(0, 100), 99u);  // 115 × 100 / 36, limited below the scale
    ASSERT_EQ(s.Open("b8.cnt", 2), 0);
    // 8-bit blocks: |b - 128| means 112.5 → 112 for the first block; read back as a level.
    EXPECT_EQ(s.GetLevel(0, 0), 224u);
    EXPECT_EQ(s.GetLevelPeak(), 112 >> 2);
}

TEST_F(SoundTest, FadesFollowTheClock)
{
    Write("a.cnt", Counter{44100, 2, 16, 441000});
    CLoadedSound s;
    ASSERT_EQ(s.Open("a.cnt", 0), 0);
    CTimerManager scheduler;
    ASSERT_EQ(s.FadeIn(&scheduler, 1000, false), 0);
    EXPECT_EQ(s.FadeIn(&scheduler, 1000, false), 2);
    const uint32_t t0 = timeGetTime();
    scheduler.RunDue(0);
    for (uint32_t e = 20; e < 1000; e += 20) {
        winapi::AdvanceVirtualClock(20);
        scheduler.RunDue(0);
        ASSERT_EQ(s.GetVolume(), static_cast<int32_t>(e * 256 / 1000)) << e;
        ASSERT_EQ(timeGetTime() - t0, e);
    }
    winapi::AdvanceVirtualClock(20);
    scheduler.RunDue(0);
    EXPECT_EQ(s.GetVolume(), 256);
    EXPECT_EQ(s.GetFadeState(), 0);
    ASSERT_EQ(s.FadeOut(&scheduler, 500), 0);
    EXPECT_EQ(s.FadeOut(&scheduler, 500), 3);
    scheduler.RunDue(0);
    for (uint32_t e = 20; e < 500; e += 20) {
        winapi::AdvanceVirtualClock(20);
        scheduler.RunDue(0);
        ASSERT_EQ(s.GetVolume(), static_cast<int32_t>(256 - e * 256 / 500)) << e;
    }
    winapi::AdvanceVirtualClock(20);
    scheduler.RunDue(0);
    // Faded out: paused, with its former volume, ready to resume.
    EXPECT_EQ(s.GetVolume(), 256);
    EXPECT_FALSE(s.IsPlaying(nullptr, nullptr));
    EXPECT_EQ(s.GetPauseCount(), 1u);
    EXPECT_EQ(s.Resume(), 0);
    // A fade of 0 ms jumps to its end; a fade-out at volume 0 pauses at once.
    s.SetVolume(100);
    ASSERT_EQ(s.FadeOut(&scheduler, 0), 0);
    scheduler.RunDue(0);
    EXPECT_EQ(s.GetPauseCount(), 1u);
    EXPECT_EQ(s.GetVolume(), 100);
    ASSERT_EQ(s.FadeIn(&scheduler, 0, true), 0);
    scheduler.RunDue(0);
    EXPECT_EQ(s.GetVolume(), 100);
    EXPECT_TRUE(s.IsPlaying(nullptr, nullptr));
    s.SetVolume(0);
    EXPECT_EQ(s.FadeOut(&scheduler, 100), -1);
    EXPECT_EQ(s.GetPauseCount(), 1u);
    // Stop cancels a running fade, which jumps to its end value.
    s.SetVolume(200);
    ASSERT_EQ(s.FadeIn(&scheduler, 1000, false), 0);
    winapi::AdvanceVirtualClock(1);
    scheduler.RunDue(0);
    winapi::AdvanceVirtualClock(100);
    scheduler.RunDue(0);
    EXPECT_LT(s.GetVolume(), 200);
    s.Stop();
    EXPECT_EQ(s.GetVolume(), 200);
    EXPECT_EQ(s.GetFadeState(), 0);
    CLoadedSound empty;
    EXPECT_EQ(empty.FadeIn(&scheduler, 10, false), 1);
    EXPECT_EQ(s.FadeIn(nullptr, 10, false), 1);
    EXPECT_EQ(s.FadeOut(&scheduler, 10), 2); // stopped
}

TEST_F(SoundTest, LostBuffersAreReopenedOrRestored)
{
    const Counter c{44100, 2, 16, 4410};
    Write("a.cnt", c);
    CLoadedSound s;
    ASSERT_EQ(s.Open("a.cnt", 1), 0);
    winapi::DsoundMarkLost(s.GetBuffer());
    EXPECT_EQ(s.Play(), 0); // reopened from its file (mode 0), then played
    EXPECT_EQ(s.GetKeptWidth(), 0);
    Run(10);
    EXPECT_EQ(FirstMismatch(Mixed(), 441, [&](size_t i, int ch) { return CounterSample(c, i, ch); }), -1);
    CLoadedSound copy;
    ASSERT_EQ(copy.OpenCopy(&s), 0);
    EXPECT_EQ(copy.GetDataBytes(), s.GetDataBytes());
    EXPECT_EQ(copy.GetName(), nullptr);
    winapi::DsoundMarkLost(copy.GetBuffer());
    EXPECT_EQ(copy.RestoreLost(), 0);
    EXPECT_EQ(copy.Play(), 0);
    EXPECT_EQ(copy.OpenCopy(nullptr), 1);
}
