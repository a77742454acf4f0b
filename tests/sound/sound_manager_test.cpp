// The sound manager: effective volumes, music slots, channels, kinds and the mask, voices, saved
// state, and every fade stepped millisecond by millisecond on the virtual clock.
#include "sound/sound_manager.h"

#include <cmath>

#include "sound/sound_fade_tasks.h"
#include "sound/sound_player.h"
#include "sound_support.h"

using soundtest::Counter;
using soundtest::SoundTest;

namespace {

class ManagerTest : public SoundTest {
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        Counter c;
        c.frames = 10 * 44100;
        for (const char* name : {"m1.cnt", "m2.cnt", "se.cnt", "VOICE/A001.OGG", "VOICE/B002.CNT", "VOICE/X.OGG"})
            Write(name, c);
        manager.SetTaskScheduler(&scheduler);
        ASSERT_EQ(manager.SetChannelCount(4), 0);
    }
    void TearDown() override
    {
        manager.~CSoundPlayer();
        new (&manager) CSoundPlayer;
        SoundTest::TearDown();
    }
    // One millisecond of clock and one pass of the scheduler.
    void Tick()
    {
        winapi::AdvanceVirtualClock(1);
        scheduler.RunDue(0);
    }
    LONG BufferDb(CSoundBuffer* b)
    {
        LONG v = 1;
        b->GetBuffer()->GetVolume(&v);
        return v;
    }

    CTimerManager scheduler;
    CSoundPlayer manager;
};

} // namespace

TEST_F(ManagerTest, EffectiveVolumes)
{
    ASSERT_EQ(manager.SetChannelSound(0, "se.cnt", 0, false), 0);
    EXPECT_EQ(manager.SetChannelVolume(0, 50, 128), 0);
    EXPECT_EQ(manager.GetChannel(0)->GetVolume(), 64);
    manager.SetChannelKind(0, 4);
    manager.SetVoiceMasterVolume(128);
    manager.SetChannelVolume(0, -1, -1);
    EXPECT_EQ(manager.GetChannel(0)->GetVolume(), 32);
    manager.SetMasterVolume(128, false);
    EXPECT_EQ(manager.GetChannel(0)->GetVolume(), 16);
    EXPECT_EQ(manager.SetChannelVolume(9, 1, 1), 1);
    // Music: trunc(volume × scale / 100) × master >> 8.
    manager.SetMasterVolume(200, false);
    ASSERT_EQ(manager.PlayMusic("m1.cnt", nullptr, true), 0);
    manager.SetMusicVolume(70, 100, false);
    EXPECT_EQ(manager.GetActiveSlot()->stream.GetVolume(), 70 * 100 / 100 * 200 >> 8);
    EXPECT_EQ(BufferDb(&manager.GetActiveSlot()->stream), SoundVolumeToDb(54));
}

TEST_F(ManagerTest, MusicPlaysOncePerPieceAndWaitsWhileInaudible)
{
    ASSERT_EQ(manager.PlayMusic("m1.cnt", nullptr, true), 0);
    IDirectSoundBuffer* first = manager.GetActiveSlot()->stream.GetBuffer();
    EXPECT_EQ(manager.PlayMusic("M1.CNT", nullptr, true), -1);
    EXPECT_EQ(manager.GetActiveSlot()->stream.GetBuffer(), first);
    EXPECT_EQ(manager.PlayMusic(nullptr, nullptr, true), 1);
    EXPECT_EQ(manager.PlayMusic("missing.cnt", nullptr, true), 2);
    manager.StopMusic();
    EXPECT_FALSE(manager.IsMusicPlaying());
    manager.SetEnableMask(0, false);
    EXPECT_EQ(manager.PlayMusic("m2.cnt", nullptr, true), -2);
    EXPECT_FALSE(manager.IsMusicPlaying());
    manager.SetEnableMask(1, false);
    EXPECT_TRUE(manager.IsMusicPlaying());
    EXPECT_EQ(manager.GetActiveSlot()->main, "m2.cnt");
    manager.PauseMusic();
    EXPECT_FALSE(manager.IsMusicPlaying());
    manager.ResumeMusic();
    EXPECT_TRUE(manager.IsMusicPlaying());
    manager.EnableMusic(0, false);
    EXPECT_FALSE(manager.IsMusicPlaying());
    EXPECT_EQ(manager.EnableMusic(1, false), 0);
    EXPECT_TRUE(manager.IsMusicPlaying());
}

TEST_F(ManagerTest, ChannelsKindsAndMask)
{
    EXPECT_EQ(manager.SetChannelCount(0), 1);
    EXPECT_EQ(manager.GetChannelCount(), 4);
    EXPECT_EQ(manager.SetChannelSound(4, "se.cnt", 0, false), 1);
    EXPECT_EQ(manager.SetChannelSound(0, "missing.cnt", 0, false), 2);
    EXPECT_EQ(manager.SetChannelKind(0, 8), 2);
    ASSERT_EQ(manager.SetChannelSound(0, "se.cnt", 0, false), 0);
    ASSERT_EQ(manager.SetChannelSound(1, "se.cnt", 0, true), 0);
    EXPECT_TRUE(manager.GetChannel(1)->IsStreamed());
    EXPECT_EQ(manager.StartChannel(0, false), 0);
    EXPECT_EQ(manager.StartChannel(1, true), 0);
    // Disabling kind 1 stops the one-shot and the loop; enabling it again restarts only the loop.
    manager.SetKindEnabled(0, 1, false, false);
    EXPECT_FALSE(manager.IsChannelPlaying(0));
    EXPECT_FALSE(manager.IsChannelPlaying(1));
    EXPECT_EQ(manager.StartChannel(0, false), -1);
    manager.SetKindEnabled(1, 1, false, false);
    EXPECT_TRUE(manager.IsChannelPlaying(1));
    EXPECT_FALSE(manager.IsChannelPlaying(0));
    // A looped request while the mask is 0 is kept and starts with the mask.
    manager.SetEnableMask(0, false);
    EXPECT_EQ(manager.StartChannel(0, true), -1);
    EXPECT_FALSE(manager.IsChannelPlaying(0));
    manager.SetEnableMask(1, false);
    EXPECT_TRUE(manager.IsChannelPlaying(0));
    // Shrinking keeps the first channels.
    ASSERT_EQ(manager.SetChannelCount(1), 0);
    EXPECT_TRUE(manager.IsChannelPlaying(0));
    EXPECT_EQ(manager.GetChannel(1), nullptr);
    manager.SetKindVolume(128, false, 1);
    EXPECT_EQ(manager.GetChannelRecord(0)->volume2, 128);
    manager.ReleaseChannel(0);
    EXPECT_EQ(manager.GetChannel(0), nullptr);
}

TEST_F(ManagerTest, Voices)
{
    EXPECT_EQ(manager.PlayVoice(0, "A001", 0, nullptr), -5);
    VoiceTable plain;
    manager.SetVoiceTable(&plain);
    EXPECT_EQ(manager.PlayVoice(0, nullptr, 0, nullptr), -3);
    EXPECT_EQ(manager.PlayVoice(0, "A001", 0, nullptr), -1);
    EXPECT_NE(manager.GetChannel(0), nullptr);
    EXPECT_EQ(manager.PlayVoice(0, "NONE", 0, nullptr), -4);
    EXPECT_EQ(manager.PlayVoice(0, std::string(300, 'A').c_str(), 0, nullptr), -4);
    manager.SetKindEnabled(0, 4, false, false);
    EXPECT_EQ(manager.PlayVoice(0, "A001", 0, nullptr), -2);
    manager.SetKindEnabled(1, 4, false, false);

    VoiceTable table;
    table.prefixes = {{"A", 0}, {"B", 1}};
    table.characters = {{200, 1, 1}, {100, 1, 1}};
    table.extension = "CNT";
    manager.SetVoiceTable(&table);
    const int32_t list[] = {1, 0};
    struct Case {
        const char* name;
        int32_t channel;
        int32_t count;
        int want;
    };
    const Case cases[] = {
        {"B002", -1, 2, 1},  // look up: the prefix index
        {"B002", -2, 2, 1},  // look up: the character index
        {"Z002", 0, 2, -3},  // no prefix
        {"B002", 1, 2, 0},   // position of character 1 in the list
        {"B002", 1, 0, 1},   // empty list: the prefix index
        {"B002", 1, 1, 0},
        {"A001", 1, 1, -4},  // "VOICE\A001.CNT" does not exist
    };
    for (const Case& c : cases)
        EXPECT_EQ(manager.PlayVoice(c.channel, c.name, c.count, list), c.want) << c.name << " " << c.channel;
    ASSERT_EQ(manager.PlayVoice(2, "b002", 2, list), 0);
    EXPECT_EQ(manager.GetChannelRecord(2)->volume2, 100);
    EXPECT_EQ(table.characters[1].flag, 0);
    EXPECT_EQ(manager.GetChannelRecord(2)->loaded.GetOpenMode(), 2); // in the list: level copy
    g_bVoiceLevel = 0;
    ASSERT_EQ(manager.PlayVoice(2, "B002", 2, list), 0);
    EXPECT_EQ(manager.GetChannelRecord(2)->loaded.GetOpenMode(), 0);
    g_bVoiceLevel = 1;
    table.characters[1].enabled = 0;
    EXPECT_EQ(manager.PlayVoice(2, "B002", 2, list), -2);
}

TEST_F(ManagerTest, SaveAndLoadRoundTrip)
{
    manager.SetMusicPan(-300);
    ASSERT_EQ(manager.PlayMusic("m1.cnt", "m2.cnt", true), 0);
    manager.SetMusicVolume(80, -1, false);
    manager.SetChannelKind(0, 4);
    ASSERT_EQ(manager.SetChannelSound(0, "se.cnt", 0, true), 0);
    manager.SetChannelVolume(0, 60, -1);
    manager.SetChannelPan(0, 500);
    ASSERT_EQ(manager.StartChannel(0, true), 0);
    ASSERT_EQ(manager.SetChannelSound(1, "se.cnt", 1, false), 0); // 16-bit level-less copy
    manager.SetChannelKind(2, 2);
    ASSERT_EQ(manager.SetChannelSound(2, ("se" + std::string(260, 'x')).c_str(), 0, false), 2); // no such file
    std::vector<uint8_t> blob(manager.GetSaveSize());
    uint8_t* w = blob.data();
    ASSERT_EQ(manager.Save(&w), 0);
    EXPECT_EQ(w, blob.data() + blob.size());

    CSoundPlayer other;
    other.SetTaskScheduler(&scheduler);
    const uint8_t* r = blob.data();
    // Every cut of the blob is refused and changes nothing.
    for (size_t cut = 0; cut < blob.size(); ++cut) {
        const uint8_t* c = blob.data();
        ASSERT_EQ(other.Load(&c, cut), 2) << cut;
    }
    EXPECT_EQ(other.GetChannelCount(), 0);
    ASSERT_EQ(other.Load(&r, blob.size()), 0);
    EXPECT_EQ(r, blob.data() + blob.size());
    EXPECT_EQ(other.GetActiveSlot()->main, "m1.cnt");
    EXPECT_EQ(other.GetActiveSlot()->intro, "m2.cnt");
    EXPECT_EQ(other.GetActiveSlot()->volume, 80);
    EXPECT_EQ(other.GetMusicPan(), -300);
    EXPECT_TRUE(other.IsMusicPlaying());
    ASSERT_EQ(other.GetChannelCount(), 4);
    const CSoundChannel* c0 = other.GetChannelRecord(0);
    EXPECT_EQ(c0->kind, 4);
    EXPECT_EQ(c0->volume, 60);
    EXPECT_EQ(c0->pan, 500);
    EXPECT_EQ(c0->state, 2);
    EXPECT_TRUE(other.IsChannelPlaying(0));
    EXPECT_TRUE(other.GetChannel(0)->IsStreamed());
    EXPECT_EQ(other.GetChannelRecord(1)->loaded.GetOpenMode(), 1); // the mode, not the width
    EXPECT_EQ(other.GetChannelRecord(2)->kind, 2);
    EXPECT_EQ(other.GetChannel(2), nullptr);
    // Impossible data: a bad source type.
    std::vector<uint8_t> bad = blob;
    bad[4 + 1 + 7 + 1 + 7 + 4 + 1 + 4] = 9;
    const uint8_t* b = bad.data();
    EXPECT_EQ(other.Load(&b, bad.size()), 2);
    const uint8_t* none = nullptr;
    EXPECT_EQ(other.Load(&none, 10), 1);
}

TEST_F(ManagerTest, MusicFadesStepPerMillisecond)
{
    ASSERT_EQ(CMusicFadeInTask::Start(&scheduler, &manager, manager.GetActiveSlot(), "m1.cnt", nullptr, true, 400), 0);
    EXPECT_EQ(manager.m_musicFadeState, 2);
    EXPECT_EQ(CMusicFadeInTask::Start(&scheduler, &manager, manager.GetActiveSlot(), "M1.cnt", nullptr, true, 400), -1);
    scheduler.RunDue(0);
    for (uint32_t e = 1; e < 400; ++e) {
        Tick();
        ASSERT_EQ(manager.GetActiveSlot()->volume, static_cast<int32_t>(100 * e / 400)) << e;
    }
    Tick();
    EXPECT_EQ(manager.GetActiveSlot()->volume, 100);
    EXPECT_EQ(manager.m_musicFadeState, 0);
    ASSERT_EQ(CMusicFadeTask::Start(&scheduler, &manager, manager.GetActiveSlot(), 150, 300), 0);
    scheduler.RunDue(0);
    for (uint32_t e = 1; e < 300; ++e) {
        Tick();
        ASSERT_EQ(manager.GetActiveSlot()->volume, static_cast<int32_t>(100 - 0 * e / 300)); // clamped target 100
    }
    Tick();
    ASSERT_EQ(CMusicFadeTask::Start(&scheduler, &manager, manager.GetActiveSlot(), 40, 300), 0);
    scheduler.RunDue(0);
    for (uint32_t e = 1; e < 300; ++e) {
        Tick();
        ASSERT_EQ(manager.GetActiveSlot()->volume, static_cast<int32_t>(100 - 60 * e / 300)) << e;
    }
    Tick();
    EXPECT_EQ(manager.GetActiveSlot()->volume, 40);
    ASSERT_EQ(CMusicFadeOutTask::Start(&scheduler, &manager, manager.GetActiveSlot(), 200), 0);
    scheduler.RunDue(0);
    for (uint32_t e = 1; e < 200; ++e) {
        Tick();
        ASSERT_EQ(manager.GetActiveSlot()->volume, static_cast<int32_t>(40 - 40 * e / 200)) << e;
    }
    Tick();
    EXPECT_FALSE(manager.IsMusicPlaying());
    EXPECT_EQ(manager.GetActiveSlot()->volume, 40); // ready for the next piece
    EXPECT_EQ(CMusicFadeOutTask::Start(&scheduler, &manager, manager.GetActiveSlot(), 200), -1);
    manager.SetEnableMask(0, false);
    EXPECT_EQ(CMusicFadeInTask::Start(&scheduler, &manager, manager.GetActiveSlot(), "m1.cnt", nullptr, true, 400), -2);
    EXPECT_EQ(manager.GetActiveSlot()->volume, 40);
}

TEST_F(ManagerTest, CrossFadeKeepsFadingTheNewPieceIn)
{
    ASSERT_EQ(manager.PlayMusic("m1.cnt", nullptr, true), 0);
    manager.SetMusicVolume(90, -1, false);
    CMusicSlot* old = manager.GetActiveSlot();
    CMusicSlot* next = manager.GetOtherSlot();
    // Duration 400, overlap 100: the new piece starts at 300 and the whole lasts 700 ms.
    ASSERT_EQ(CMusicCrossFadeTask::Start(&scheduler, &manager, "m2.cnt", nullptr, 60, 400, 100), 0);
    EXPECT_EQ(manager.m_musicFadeState, 4);
    EXPECT_EQ(manager.GetActiveSlot(), old);
    scheduler.RunDue(0);
    for (uint32_t e = 1; e < 700; ++e) {
        Tick();
        if (e < 400) {
            ASSERT_EQ(old->volume, static_cast<int32_t>(90 - 90 * e / 400)) << e;
        }
        if (e >= 300) {
            ASSERT_TRUE(next->stream.IsPlaying(nullptr, nullptr)) << e;
            ASSERT_EQ(next->volume, static_cast<int32_t>(60 * (e - 300) / 400)) << e;
        } else {
            ASSERT_FALSE(next->stream.IsPlaying(nullptr, nullptr)) << e;
        }
    }
    Tick();
    EXPECT_EQ(manager.GetActiveSlot(), next);
    EXPECT_EQ(next->volume, 60);
    EXPECT_EQ(old->volume, 90);
    EXPECT_FALSE(old->stream.IsPlaying(nullptr, nullptr));
    EXPECT_EQ(manager.m_musicFadeState, 0);
    EXPECT_EQ(CMusicCrossFadeTask::Start(&scheduler, &manager, "m2.cnt", nullptr, 60, 400, 100), -1);
    // Overlap ≥ duration: the new piece starts at once and the whole lasts one duration.
    ASSERT_EQ(CMusicCrossFadeTask::Start(&scheduler, &manager, "m1.cnt", nullptr, -1, 200, 500), 0);
    scheduler.RunDue(0);
    EXPECT_TRUE(manager.GetOtherSlot()->stream.IsPlaying(nullptr, nullptr));
    for (int i = 0; i < 200; ++i)
        Tick();
    EXPECT_EQ(manager.GetActiveSlot()->main, "m1.cnt");
    EXPECT_EQ(manager.GetActiveSlot()->volume, 60);
}

TEST_F(ManagerTest, DuckingLowersTheMusicWhileVoicesPlay)
{
    ASSERT_EQ(manager.PlayMusic("m1.cnt", nullptr, true), 0);
    ASSERT_EQ(manager.SetChannelSound(0, "se.cnt", 0, false), 0);
    EXPECT_EQ(manager.StartVoiceDucking(&scheduler, 0, 0.5), -1); // the voice does not play
    ASSERT_EQ(manager.StartChannel(0, false), 0);
    EXPECT_EQ(manager.StartVoiceDucking(&scheduler, 0, 1.0), 1);
    EXPECT_EQ(manager.StartVoiceDucking(&scheduler, 0, std::nan("")), 1);
    ASSERT_EQ(manager.StartVoiceDucking(&scheduler, 0, 0.5), 0);
    scheduler.RunDue(0);
    for (uint32_t e = 1; e <= 500; ++e) {
        Tick();
        ASSERT_EQ(manager.GetMusicScale(), e > 499 ? 128 : static_cast<int32_t>(256 - 128 * e / 500)) << e;
    }
    // A second voice while the music is held low keeps the normal scale and holds at once.
    ASSERT_EQ(manager.SetChannelSound(1, "se.cnt", 0, false), 0);
    ASSERT_EQ(manager.StartChannel(1, false), 0);
    ASSERT_EQ(manager.StartVoiceDucking(&scheduler, 1, 0.25), 0);
    auto* duck = static_cast<CMusicDuckTask*>(scheduler.FindKind(kMusicDuckKind));
    ASSERT_NE(duck, nullptr);
    EXPECT_EQ(duck->GetState(), 2);
    EXPECT_EQ(manager.GetMusicScale(), 128);
    manager.StopChannel(1);
    Tick(); // hold ends
    uint32_t e = 0;
    while (e <= 1000) {
        Tick();
        ++e;
        ASSERT_EQ(manager.GetMusicScale(), 128);
    }
    // Up from the second voice's low level: drop = 256 - 64.
    for (uint32_t u = 1; u < 1000; ++u) {
        Tick();
        ASSERT_EQ(manager.GetMusicScale(), static_cast<int32_t>(192 * u / 1000 + 256 - 192)) << u;
    }
    Tick();
    EXPECT_EQ(manager.GetMusicScale(), 256);
    EXPECT_EQ(scheduler.FindKind(kMusicDuckKind), nullptr);
}

TEST_F(ManagerTest, ChannelFades)
{
    EXPECT_EQ(CChannelFadeTask::Start(&scheduler, &manager, 0, 50, 100), 2); // no sound
    ASSERT_EQ(CChannelFadeInTask::Start(&scheduler, &manager, "se.cnt", 0, true, 200), 0);
    EXPECT_EQ(manager.GetChannelFadeFlag(0), 2);
    scheduler.RunDue(0);
    for (uint32_t e = 1; e < 200; ++e) {
        Tick();
        ASSERT_EQ(manager.GetChannelRecord(0)->volume, static_cast<int32_t>(100 * e / 200)) << e;
    }
    Tick();
    EXPECT_EQ(manager.GetChannelRecord(0)->volume, 100);
    EXPECT_EQ(manager.GetChannelFadeFlag(0), 0);
    ASSERT_EQ(CChannelFadeTask::Start(&scheduler, &manager, 0, 30, 100), 0);
    scheduler.RunDue(0);
    for (uint32_t e = 1; e < 100; ++e) {
        Tick();
        ASSERT_EQ(manager.GetChannelRecord(0)->volume, static_cast<int32_t>(100 - 70 * e / 100)) << e;
    }
    Tick();
    EXPECT_EQ(manager.GetChannelRecord(0)->volume, 30);
    ASSERT_EQ(CChannelFadeOutTask::Start(&scheduler, &manager, 0, 100), 0);
    EXPECT_EQ(manager.GetChannelFadeFlag(0), 3);
    scheduler.RunDue(0);
    for (int i = 0; i < 40; ++i)
        Tick();
    EXPECT_EQ(manager.GetChannelRecord(0)->volume, 30 - 30 * 40 / 100);
    // Cancelling a fade-out leaves the channel stopped with its former volume.
    manager.StopChannel(0);
    EXPECT_FALSE(manager.IsChannelPlaying(0));
    EXPECT_EQ(manager.GetChannelRecord(0)->volume, 30);
    EXPECT_EQ(manager.GetChannelFadeFlag(0), 0);
    EXPECT_EQ(CChannelFadeOutTask::Start(&scheduler, &manager, 0, 100), -1);
    manager.SetKindEnabled(0, 1, false, false);
    EXPECT_EQ(CChannelFadeInTask::Start(&scheduler, &manager, nullptr, 0, false, 100), -1);
    EXPECT_EQ(manager.GetChannelRecord(0)->volume, 30);
    EXPECT_EQ(CChannelFadeInTask::Start(&scheduler, &manager, "missing.cnt", 0, false, 100), 2);
}
