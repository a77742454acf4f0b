// The page's voice on the headless mix: played on channel 6 with the speaking sprite's pan, the
// music ducked under it, auto play and the advance at the voice's end counted from its end, and
// the voice stopped at the next text when the settings ask.
#include <gtest/gtest.h>

#include <memory>

#include "sound/sound_fade_tasks.h"
#include "sound/sound_player.h"
#include "sound/sound_support.h"
#include "support/tgs_engine_host.h"

using soundtest::Counter;
using tgsengine::Bench;

namespace {

class TgsVoice : public soundtest::SoundTest {
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        Counter voice; // one second
        Write("VOICE/V001.CNT", voice);
        Counter music;
        music.frames = 20 * 44100;
        Write("m1.cnt", music);
        player = std::make_unique<CSoundPlayer>();
        player->SetTaskScheduler(&scheduler);
        ASSERT_EQ(player->SetChannelCount(12), 0);
        table.prefixes = {{"V", 0}};
        table.characters.resize(1);
        table.extension = "CNT";
        player->SetVoiceTable(&table);
        g_pSoundManager = player.get();
        NewBench();
    }
    void TearDown() override
    {
        b.reset();
        g_pSoundManager = nullptr;
        player.reset();
        SoundTest::TearDown();
    }
    // A bench whose clock moves the mix along; the settings published one bench at a time.
    void NewBench()
    {
        b.reset();
        b = std::make_unique<Bench>();
        b->settings.config.voiceOn = 1;
        b->settings.config.unreadNoWait = 1; // the page stands at once
        b->settings.config.stopVoiceAtNext = 0;
        b->settings.config.lowerBgmForVoice = 0;
        b->settings.config.option110[0] = 1;
        b->settings.config.option110[2] = 0;
        b->link.onStep = [this](tgsengine::RecordingLink& l) {
            winapi::AdvanceVirtualClock(l.stepMs);
            scheduler.RunDue(0);
            if (onStep)
                onStep(l);
        };
    }
    // Starts a one-page scenario whose speaker has voice V001, the speaking character (0) shown
    // by group B's second sprite at x.
    void Start(const std::string& page, int32_t x)
    {
        b->frame->files["MAIN.TOB"] = tgstest::Pack("@message\n@speaker \"A\" \"V001\"\n" + page + "\n@page\n");
        ASSERT_EQ(b->frame->StartScript("MAIN"), 0);
        ASSERT_EQ(b->frame->StartScenario(false), 0);
        int count = 0;
        TgsSpriteRecord* const* group = b->frame->GetSpriteGroup(1, 0, &count);
        ASSERT_EQ(count, 5);
        group[1]->character = 0;
        group[1]->x = x;
    }

    CTimerManager scheduler;
    VoiceTable table;
    std::unique_ptr<CSoundPlayer> player;
    std::unique_ptr<Bench> b;
    std::function<void(tgsengine::RecordingLink&)> onStep;
};

} // namespace

TEST(TgsVoicePan, FollowsTheSpeakersPosition)
{
    const struct {
        int32_t x, pan;
    } cases[] = {{-5, -5000}, {0, -5000}, {1, -4988}, {200, -2500}, {400, 0}, {600, 2500}, {799, 4987}, {800, 5000}, {5000, 5000}};
    for (const auto& c : cases)
        EXPECT_EQ(CTgsFrame::VoicePan(c.x), c.pan) << c.x;
}

TEST_F(TgsVoice, PlaysOnChannelSixPannedBySpeaker)
{
    const struct {
        int32_t x;
        bool panning;
        LONG pan;
    } cases[] = {{200, true, -2500}, {600, true, 2500}, {600, false, 0}};
    for (const auto& c : cases) {
        NewBench();
        b->settings.config.option110[0] = c.panning ? 1 : 0;
        bool heard = false;
        LONG pan = 1;
        onStep = [&](tgsengine::RecordingLink& l) {
            if (b->frame->PageWaitByte() && player->IsChannelPlaying(CTgsFrame::kVoiceChannel) && !heard) {
                heard = true;
                pan = player->GetChannelRecord(CTgsFrame::kVoiceChannel)->pan;
                l.advance = true;
            }
        };
        Start("text", c.x);
        EXPECT_EQ(b->frame->RunText(), 0);
        EXPECT_TRUE(heard) << c.x;
        EXPECT_EQ(pan, c.pan) << c.x;
    }
}

TEST_F(TgsVoice, VoicesOffOrUnknownPlayNothing)
{
    for (const char* voice : {"V001", "X001"}) {
        NewBench();
        b->settings.config.voiceOn = std::string(voice) == "V001" ? 0 : 1;
        bool heard = false;
        int frames = 0;
        onStep = [&](tgsengine::RecordingLink& l) {
            heard = heard || player->IsChannelPlaying(CTgsFrame::kVoiceChannel);
            if (++frames == 5)
                l.advance = true;
        };
        b->frame->files["MAIN.TOB"] = tgstest::Pack(std::string("@message\n@speaker \"A\" \"") + voice + "\"\nt\n@page\n");
        ASSERT_EQ(b->frame->StartScript("MAIN"), 0);
        ASSERT_EQ(b->frame->StartScenario(false), 0);
        EXPECT_EQ(b->frame->RunText(), 0);
        EXPECT_FALSE(heard) << voice;
    }
}

// Auto play: 40 characters at 30 ms with a minimum of 1000 ms end the page 2200 ms after the voice
// ended, however long the voice ran.
TEST_F(TgsVoice, AutoPlayCountsFromTheVoicesEnd)
{
    b->settings.config.autoCharMs = 30;
    b->settings.config.autoMinimumWait = 1000;
    uint32_t voiceEnd = 0;
    bool started = false;
    onStep = [&](tgsengine::RecordingLink& l) {
        const bool playing = player->IsChannelPlaying(CTgsFrame::kVoiceChannel);
        started = started || playing;
        if (started && !playing && voiceEnd == 0)
            voiceEnd = l.now;
    };
    std::string page;
    for (int i = 0; i < 40; ++i)
        page += "あ";
    Start(page, 400);
    b->frame->SetAutoPlay(true);
    const uint32_t began = b->link.now;
    EXPECT_EQ(b->frame->RunText(), 0);
    ASSERT_NE(voiceEnd, 0u);
    EXPECT_GE(voiceEnd - began, 1000u);
    EXPECT_GT(b->link.now - voiceEnd, 2200u - b->link.stepMs);
    EXPECT_LE(b->link.now - voiceEnd, 2200u + b->link.stepMs);
}

// The advance at the voice's end waits the minimum after it, without auto play.
TEST_F(TgsVoice, AdvanceAtTheVoicesEnd)
{
    b->settings.config.option110[2] = 1;
    b->settings.config.autoMinimumWait = 500;
    uint32_t voiceEnd = 0;
    bool started = false;
    onStep = [&](tgsengine::RecordingLink& l) {
        const bool playing = player->IsChannelPlaying(CTgsFrame::kVoiceChannel);
        started = started || playing;
        if (started && !playing && voiceEnd == 0)
            voiceEnd = l.now;
    };
    Start("text", 400);
    EXPECT_EQ(b->frame->RunText(), 0);
    ASSERT_NE(voiceEnd, 0u);
    EXPECT_GT(b->link.now - voiceEnd, 500u - b->link.stepMs);
    EXPECT_LE(b->link.now - voiceEnd, 500u + b->link.stepMs);
}

// A click mid-voice: the voice goes on unless the settings stop it at the next text.
TEST_F(TgsVoice, StopAtTheNextTextAndDucking)
{
    ASSERT_EQ(player->PlayMusic("m1.cnt", nullptr, true), 0);
    for (const bool stop : {false, true}) {
        NewBench();
        b->settings.config.stopVoiceAtNext = stop ? 1 : 0;
        b->settings.config.lowerBgmForVoice = 1;
        bool ducked = false;
        onStep = [&](tgsengine::RecordingLink& l) {
            if (player->IsChannelPlaying(CTgsFrame::kVoiceChannel)) {
                ducked = ducked || scheduler.FindKind(kMusicDuckKind) != nullptr;
                l.advance = true;
            }
        };
        Start("text", 400);
        EXPECT_EQ(b->frame->RunText(), 0);
        EXPECT_TRUE(ducked) << stop;
        EXPECT_EQ(player->IsChannelPlaying(CTgsFrame::kVoiceChannel), !stop) << stop;
        player->StopChannel(CTgsFrame::kVoiceChannel);
    }
}
