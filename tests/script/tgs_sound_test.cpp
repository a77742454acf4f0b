// The scenario's sound channels on the headless mix: effects handed out on channels 8-11 in
// rotation, the loop records a saved state restarts, fades, the waits and their chains, the music
// by number through the link, and the channel numbers a scenario may not name.
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "sound/sound_fade_tasks.h"
#include "sound/sound_player.h"
#include "sound/sound_support.h"
#include "support/tgs_engine_host.h"

using soundtest::Counter;
using tgsengine::Bench;

namespace {

class TgsSound : public soundtest::SoundTest {
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        Counter second; // one second
        Write("SE/A.CNT", second);
        Write("SE/B.CNT", second);
        Counter longer;
        longer.frames = 10 * 44100;
        Write("SE/LONG.CNT", longer);
        Write("m1.cnt", second);
        Write("VOICE/V001.CNT", second);
        player = std::make_unique<CSoundPlayer>();
        player->SetTaskScheduler(&scheduler);
        ASSERT_EQ(player->SetChannelCount(12), 0);
        voices.prefixes = {{"V", 0}};
        voices.characters.resize(1);
        voices.extension = "CNT";
        player->SetVoiceTable(&voices);
        g_pSoundManager = player.get();
        NewBench();
    }
    // A bench whose clock moves the mix along; the settings published one bench at a time.
    void NewBench()
    {
        b.reset();
        b = std::make_unique<Bench>();
        b->link.onStep = [this](tgsengine::RecordingLink& l) {
            winapi::AdvanceVirtualClock(l.stepMs);
            scheduler.RunDue(0);
            if (onStep)
                onStep(l);
        };
    }
    void TearDown() override
    {
        b.reset();
        g_pSoundManager = nullptr;
        player.reset();
        SoundTest::TearDown();
    }
    CTgsFrame& F() { return *b->frame; }
    bool Loaded(int32_t channel) { return player->GetChannelRecord(channel)->current != nullptr; }
    bool Playing(int32_t channel) { return player->IsChannelPlaying(channel); }

    CTimerManager scheduler;
    VoiceTable voices;
    std::unique_ptr<CSoundPlayer> player;
    std::unique_ptr<Bench> b;
    std::function<void(tgsengine::RecordingLink&)> onStep;
};

TEST_F(TgsSound, FiveEffectsRotateThroughChannelsEightToEleven)
{
    const char* names[] = {"SE/A.CNT", "SE/B.CNT", "SE/A.CNT", "SE/B.CNT", "SE/LONG.CNT"};
    std::vector<int32_t> used;
    for (const char* name : names) {
        const int32_t next = CTgsFrame::kFirstEffectChannel + F().NextEffectChannel();
        ASSERT_EQ(F().PlayEffect(name, -1, false, true), 0) << name;
        EXPECT_TRUE(Playing(next)) << name;
        used.push_back(next);
    }
    EXPECT_EQ(used, (std::vector<int32_t>{8, 9, 10, 11, 8}));
    // The loop records follow: channel 8 now keeps the fifth name.
    EXPECT_EQ(F().SoundChannel(0).name, "SE/LONG.CNT");
    EXPECT_EQ(F().SoundChannel(1).name, "SE/B.CNT");
    for (int32_t c = 8; c < 12; ++c)
        EXPECT_EQ(F().ChannelLoop(c), 1) << c;
    // A one-shot sound on a looping channel forgets the loop it replaced.
    ASSERT_EQ(F().PlayEffect("SE/A.CNT", 0, false, false), 0);
    EXPECT_EQ(F().ChannelLoop(8), 0);
    EXPECT_TRUE(F().SoundChannel(0).name.empty());
    // Stopping them all releases the four and starts the rotation again.
    F().StopAllEffects();
    for (int32_t c = 8; c < 12; ++c) {
        EXPECT_FALSE(Loaded(c)) << c;
        EXPECT_EQ(F().ChannelLoop(c), 0) << c;
        EXPECT_TRUE(F().SoundChannel(c - 8).name.empty()) << c;
    }
    EXPECT_EQ(F().NextEffectChannel(), 0);
}

TEST_F(TgsSound, EffectsOffKeepTheLoopRecordOnly)
{
    b->settings.config.seOn = 0;
    ASSERT_EQ(F().PlayEffect("SE/A.CNT", 2, true, true), 0);
    EXPECT_FALSE(Loaded(10));
    EXPECT_EQ(F().ChannelLoop(10), 1);
    EXPECT_EQ(F().SoundChannel(2).name, "SE/A.CNT");
    EXPECT_EQ(F().SoundChannel(2).flag, 1);
    // A one-shot only moves the rotation.
    ASSERT_EQ(F().PlayEffect("SE/B.CNT", -1, false, false), 0);
    EXPECT_EQ(F().NextEffectChannel(), 1);
    EXPECT_FALSE(Loaded(8));
}

TEST_F(TgsSound, MissingFileOrOverlongName)
{
    EXPECT_EQ(F().PlayEffect("SE/NONE.CNT", 0, false, true), 1);
    EXPECT_EQ(F().ChannelLoop(8), 0);
    EXPECT_TRUE(F().SoundChannel(0).name.empty());
    // The saved form counts a name and its NUL in one byte: 254 characters fit, 255 do not.
    const std::string fits = "SE/" + std::string(247, 'A') + ".CNT";
    ASSERT_EQ(fits.size(), 254u);
    b->settings.config.seOn = 0;
    EXPECT_EQ(F().PlayEffect(fits.c_str(), 1, false, true), 0);
    EXPECT_EQ(F().SoundChannel(1).name, fits);
    const std::string tooLong = fits + "X";
    EXPECT_EQ(F().PlayEffect(tooLong.c_str(), 2, false, true), 1);
    EXPECT_EQ(F().FadeInEffect(tooLong.c_str(), 0, 2, true), 1);
    EXPECT_EQ(F().ChannelLoop(10), 0);
    EXPECT_TRUE(F().SoundChannel(2).name.empty());
}

// n >= 0 is channel n + 8 for every operation; n < 0 is the rotation for plays and fade-ins and
// channel -n for stops, fade-outs and waits. Anything else is refused with nothing touched.
TEST_F(TgsSound, ChannelNumbers)
{
    const struct {
        int32_t n;
        int32_t play;  // the channel a play uses, -1 refused
        int32_t named; // the channel a stop or wait uses, -1 refused
    } cases[] = {{0, 8, 8},   {3, 11, 11},  {4, -1, -1},  {100, -1, -1},      {INT32_MAX, -1, -1},
                 {-1, 8, 1},  {-6, 8, 6},   {-11, 8, 11}, {-12, 8, -1},       {INT32_MIN, 8, -1}};
    for (const auto& c : cases) {
        NewBench();
        for (int32_t ch = 0; ch < 12; ++ch)
            player->ReleaseChannel(ch);
        EXPECT_EQ(CTgsFrame::NamedChannel(c.n), c.named) << c.n;
        EXPECT_EQ(F().EffectChannel(c.n), c.play) << c.n;
        F().NextEffectChannel() = 0;
        // Plays: a refused number plays nothing and keeps nothing.
        EXPECT_EQ(F().PlayEffect("SE/LONG.CNT", c.n, false, true), c.play < 0 ? 1 : 0) << c.n;
        EXPECT_EQ(F().FadeInEffect("SE/LONG.CNT", 0, c.n, true), c.play < 0 ? 1 : 0) << c.n;
        if (c.play < 0) {
            for (int32_t ch = 0; ch < 12; ++ch)
                EXPECT_FALSE(Loaded(ch)) << c.n << " " << ch;
            EXPECT_EQ(F().NextEffectChannel(), 0) << c.n;
        }
        // Stops and waits on channels that loop: every loop byte but the named one stays.
        for (int32_t ch = 0; ch < 12; ++ch)
            F().ChannelLoop(ch) = 1;
        EXPECT_EQ(F().WaitEffect(c.n, true, true, false), c.named < 0 ? -1 : 2) << c.n;
        EXPECT_EQ(F().StopEffect(c.n), c.named < 0 ? 1 : 0) << c.n;
        const int fadeOut = F().FadeOutEffect(0, c.n);
        if (c.named < 0) {
            EXPECT_EQ(fadeOut, 1) << c.n;
        }
        for (int32_t ch = 0; ch < 12; ++ch)
            EXPECT_EQ(F().ChannelLoop(ch), ch == c.named ? 0 : 1) << c.n << " " << ch;
        EXPECT_EQ(F().WaitEffectFade(c.n, true, true, false), c.named < 0 ? -1 : 0) << c.n;
    }
}

TEST_F(TgsSound, WaitOnALoopingChannelStopsIt)
{
    ASSERT_EQ(F().PlayEffect("SE/LONG.CNT", 1, false, true), 0);
    ASSERT_TRUE(Playing(9));
    EXPECT_EQ(F().WaitEffect(1, false, false, false), 2);
    EXPECT_FALSE(Playing(9));
    EXPECT_EQ(F().ChannelLoop(9), 0);
    EXPECT_TRUE(F().SoundChannel(1).name.empty());
    EXPECT_EQ(b->link.steps, 0); // at once, no frame
}

TEST_F(TgsSound, WaitRunsUntilTheChannelFallsSilentOrIsSkipped)
{
    ASSERT_EQ(F().PlayEffect("SE/A.CNT", 0, false, false), 0);
    const uint32_t start = b->link.now;
    EXPECT_EQ(F().WaitEffect(0, false, false, false), 0);
    EXPECT_GE(b->link.now - start, 1000u);
    EXPECT_LE(b->link.now - start, 1100u);

    const struct {
        bool skipKey, quickSetting, checkSetting, stop;
        int result;
        bool playsOn;
    } cases[] = {
        {true, false, false, true, 1, false},  // the skip key, stopped
        {true, false, false, false, 1, true},  // skipped, left playing
        {false, true, true, true, 1, false},   // quick effects count when asked
        {false, true, false, true, 0, false},  // and only then: waited to the end
    };
    for (const auto& c : cases) {
        b->settings.config.fastEffects = c.quickSetting ? 1 : 0;
        ASSERT_EQ(F().PlayEffect("SE/A.CNT", 2, false, false), 0);
        b->link.skipKey = c.skipKey;
        EXPECT_EQ(F().WaitEffect(2, true, c.stop, c.checkSetting), c.result);
        EXPECT_EQ(Playing(10), c.playsOn);
        b->link.skipKey = false;
        F().StopEffect(2);
    }
    b->settings.config.fastEffects = 0;
    // The game ending mid-wait: -1, the sound plays on.
    ASSERT_EQ(F().PlayEffect("SE/A.CNT", 2, false, false), 0);
    b->link.stopAfter = b->link.steps + 3;
    EXPECT_EQ(F().WaitEffect(2, true, true, false), -1);
    EXPECT_TRUE(Playing(10));
}

TEST_F(TgsSound, FadeOutWithoutATimeTakesOneSecond)
{
    ASSERT_EQ(F().PlayEffect("SE/LONG.CNT", 0, false, true), 0);
    ASSERT_EQ(F().FadeOutEffect(0, 0), 0);
    EXPECT_EQ(F().ChannelLoop(8), 0);
    EXPECT_TRUE(F().SoundChannel(0).name.empty());
    int32_t halfway = -1;
    const uint32_t start = b->link.now;
    onStep = [&](tgsengine::RecordingLink& l) {
        if (halfway < 0 && l.now - start >= 500)
            halfway = player->GetChannelRecord(8)->volume;
    };
    EXPECT_EQ(F().WaitEffectFade(0, false, false, false), 0);
    EXPECT_GE(b->link.now - start, 1000u);
    EXPECT_LE(b->link.now - start, 1100u);
    EXPECT_GT(halfway, 35);
    EXPECT_LT(halfway, 65);
    EXPECT_FALSE(Playing(8));
}

TEST_F(TgsSound, FadeInStartsTheSoundAndKeepsItsLoop)
{
    ASSERT_EQ(F().FadeInEffect("SE/LONG.CNT", 0, -1, true), 0);
    EXPECT_TRUE(Playing(8));
    EXPECT_EQ(F().ChannelLoop(8), 1);
    EXPECT_EQ(F().SoundChannel(0).name, "SE/LONG.CNT");
    const uint32_t start = b->link.now;
    EXPECT_EQ(F().WaitEffectFade(0, false, false, false), 0);
    EXPECT_GE(b->link.now - start, 1000u);
    EXPECT_LE(b->link.now - start, 1100u);
    EXPECT_EQ(player->GetChannelRecord(8)->volume, 100);
    // A one-shot fade-in is no loop to restart.
    ASSERT_EQ(F().FadeInEffect("SE/A.CNT", 300, 1, false), 0);
    EXPECT_EQ(F().ChannelLoop(9), 0);
    EXPECT_TRUE(F().SoundChannel(1).name.empty());
    EXPECT_EQ(F().FadeInEffect("SE/NONE.CNT", 0, 2, true), 1);
}

TEST_F(TgsSound, MusicCommandsGoThroughTheLink)
{
    EXPECT_EQ(b->Run("@bgm 7 500 1\n@bgm 3\n"), 0);
    EXPECT_EQ(b->link.bgmCalls, (std::vector<std::array<int32_t, 3>>{{7, 500, 1}, {3, 0, 0}}));
    EXPECT_EQ(F().MusicNumber(), 3);
}

// Music that ends by itself: the wait runs to its end, then the number is forgotten and the music
// stopped through the link; a looping piece is not waited for (121 over it stops it at once).
TEST_F(TgsSound, WaitMusicEnd)
{
    ASSERT_EQ(player->PlayMusic("m1.cnt", nullptr, false), 0);
    F().MusicNumber() = 4;
    const uint32_t start = b->link.now;
    EXPECT_EQ(F().WaitMusicEnd(false), 0);
    EXPECT_GE(b->link.now - start, 1000u);
    EXPECT_LE(b->link.now - start, 3000u);  // the stream's end is seen by its worker
    EXPECT_EQ(F().MusicNumber(), 0);
    EXPECT_EQ(b->link.bgmCalls, (std::vector<std::array<int32_t, 3>>{{0, 0, 1}}));

    ASSERT_EQ(player->PlayMusic("m1.cnt", nullptr, true), 0);
    b->link.bgmCalls.clear();
    const int steps = b->link.steps;
    EXPECT_EQ(b->Run("@bgm 5\n@bgmend 1\n"), 0);
    EXPECT_EQ(b->link.steps, steps);
    EXPECT_EQ(b->link.bgmCalls, (std::vector<std::array<int32_t, 3>>{{5, 0, 0}, {0, 0, 1}}));
    EXPECT_EQ(F().MusicNumber(), 0);
    EXPECT_EQ(F().HandlerCounter(), 0);
}

// After the player cuts one wait short, the skippable waits that follow at once are not run:
// each does its end action and the chain grows, until another command runs.
TEST_F(TgsSound, ChainedWaits)
{
    ASSERT_EQ(player->PlayMusic("m1.cnt", nullptr, false), 0);
    player->m_musicFadeState = 3; // fading out: a chained 120 stops the music at once
    for (int n = 0; n < 3; ++n)
        ASSERT_EQ(F().PlayEffect("SE/LONG.CNT", n, false, false), 0);
    int stepsAtSkip = -1;
    onStep = [&](tgsengine::RecordingLink& l) {
        l.skipKey = l.steps >= 3;
        if (l.skipKey && stepsAtSkip < 0)
            stepsAtSkip = l.steps;
    };
    // The first wait is cut short; the four after it are chained.
    EXPECT_EQ(b->Run("@sewait 0 1 0 1\n@sefadewait 1 0 1\n@bgmend 1\n@sewait 2 1 0 1\n@bgmwait 1\n"), 0);
    EXPECT_EQ(b->link.steps, stepsAtSkip); // no frame after the skipped wait
    EXPECT_EQ(F().HandlerCounter(), 5);
    EXPECT_FALSE(Playing(8));  // skipped with stop set
    EXPECT_FALSE(Playing(9));  // 128 chained: stopped
    EXPECT_FALSE(Playing(10)); // 127 chained with stop set
    EXPECT_EQ(b->link.bgmCalls, (std::vector<std::array<int32_t, 3>>{{0, 0, 1}})); // 121 chained
    EXPECT_FALSE(player->IsMusicPlaying()); // 120 chained while no piece is current
    // Any other command between two waits breaks the chain: the second wait runs in full.
    player->m_musicFadeState = 0;
    onStep = nullptr;
    NewBench();
    ASSERT_EQ(F().PlayEffect("SE/A.CNT", 0, false, false), 0);
    F().HandlerCounter() = 1;
    EXPECT_EQ(b->Run("@sestop 3\n@sewait 0 0 0 1\n"), 0);
    EXPECT_GT(b->link.steps, 1000 / 16 - 2);
    EXPECT_EQ(F().HandlerCounter(), 0);
}

// The voice again: PlayVoiceNow on channel 6 with its answers, and a click on a backlog page with a
// voice playing it.
TEST_F(TgsSound, VoiceAgain)
{
    EXPECT_EQ(F().PlayVoiceNow("V001", false), 0);
    EXPECT_TRUE(Playing(CTgsFrame::kVoiceChannel));
    F().StopVoiceIfAsked(0xFF);
    player->StopChannel(CTgsFrame::kVoiceChannel);
    EXPECT_EQ(F().PlayVoiceNow("X001", false), 3);
    voices.characters[0].enabled = 0;
    EXPECT_EQ(F().PlayVoiceNow("V001", false), 2);
    voices.characters[0].enabled = 1;
    b->settings.config.voiceOn = 0;
    EXPECT_EQ(F().PlayVoiceNow("V001", false), 1);
    b->settings.config.voiceOn = 1;
    EXPECT_FALSE(Playing(CTgsFrame::kVoiceChannel));

    ASSERT_EQ(F().StartScenario(false), 0);
    const std::string page = "voiced";
    ASSERT_EQ(F().TextLog().AddMessage(reinterpret_cast<const uint8_t*>(page.data()), static_cast<uint32_t>(page.size()),
                                       30, "A", "V001", 0),
              0);
    bool heard = false;
    b->link.stopAfter = 2000;
    onStep = [&](tgsengine::RecordingLink& l) {
        if (l.steps == 20) {
            l.mouseX = 100;
            l.mouseY = F().BacklogPageY(0) + 5;
            l.input.click = true;
        } else if (l.steps == 22) {
            heard = Playing(CTgsFrame::kVoiceChannel);
            l.input.cancel = true;
        }
    };
    EXPECT_EQ(F().RunBacklog(), 0);
    EXPECT_TRUE(heard);
}

} // namespace
