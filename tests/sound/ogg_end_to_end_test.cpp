// End to end: Ogg Vorbis files made by sox and oggenc, loaded and streamed through the sound
// manager on the headless host at full volume and centre pan, mix to exactly what libvorbisfile
// decodes; once more through SDL's disk audio driver.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <fstream>
#include <iterator>
#include <thread>

#include "files/ogg_decoder.h"
#include "files/sound_fixtures.h"
#include "sound/sound_player.h"
#include "sound_support.h"

using soundtest::SoundTest;

namespace {

std::vector<int16_t> Pcm16(const std::string& bytes)
{
    std::vector<int16_t> s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

class OggEndToEnd : public SoundTest {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempFolder;
        auto make = [](const std::string& stem, const std::string& synth) {
            const std::string wav = s_dir->Linux(stem + ".wav");
            return sound_test::Run("sox -n -r 44100 -c 2 -b 16 '" + wav + "' " + synth) &&
                   sound_test::Run("oggenc -Q -q 3 '" + wav + "' -o '" + s_dir->Linux(stem + ".ogg") + "'");
        };
        s_made = make("piece", "synth 5 sine 440 sine 554 vol 0.6") && make("intro", "synth 1.2 sine 300 sine 450 vol 0.5") &&
                 make("loop", "synth 2.3 sine 500 sine 750 vol 0.5");
        for (const char* stem : {"piece", "intro", "loop"})
            s_pcm[stem] = Pcm16(sound_test::DecodeReference(s_dir->Linux(std::string(stem) + ".ogg")).pcm);
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override
    {
        SoundTest::SetUp();
        ASSERT_TRUE(s_made) << "sox or oggenc failed";
        ASSERT_EQ(SetBaseFolder(s_dir->Windows().c_str()), 0);
        ASSERT_EQ(RegisterOggDecoder(sll), 0);
        manager.SetTaskScheduler(&scheduler);
        manager.SetChannelCount(2);
    }
    void TearDown() override
    {
        manager.~CSoundPlayer();
        new (&manager) CSoundPlayer;
        SoundTest::TearDown();
    }
    static ::testing::AssertionResult Same(const std::vector<int16_t>& mix, const std::vector<int16_t>& want)
    {
        if (mix.size() < want.size())
            return ::testing::AssertionFailure() << "mix of " << mix.size() << " samples, want " << want.size();
        for (size_t i = 0; i < want.size(); ++i)
            if (mix[i] != want[i])
                return ::testing::AssertionFailure() << "sample " << i << ": " << mix[i] << " want " << want[i];
        return ::testing::AssertionSuccess();
    }

    static inline TempFolder* s_dir = nullptr;
    static inline bool s_made = false;
    static inline std::map<std::string, std::vector<int16_t>> s_pcm;
    CTimerManager scheduler;
    CSoundPlayer manager;
};

} // namespace

TEST_F(OggEndToEnd, LoadedSoundMixesToTheDecodedSamples)
{
    ASSERT_EQ(manager.SetChannelSound(0, "piece.ogg", 0, false), 0);
    ASSERT_EQ(manager.StartChannel(0, false), 0);
    Run(5500);
    auto want = s_pcm["piece"];
    want.resize(want.size() + 4410 * 2, 0); // then silence
    EXPECT_TRUE(Same(Mixed(), want));
}

TEST_F(OggEndToEnd, StreamedMusicMixesToTheDecodedSamples)
{
    for (bool notify : {false, true}) {
        SCOPED_TRACE(notify);
        g_bStreamNotify = notify ? 1 : 0;
        winapi::DsoundClearRecorded();
        ASSERT_EQ(manager.PlayMusic("piece.ogg", nullptr, false), 0);
        Play(manager.GetActiveSlot()->stream, 6000);
        EXPECT_FALSE(manager.IsMusicPlaying());
        auto want = s_pcm["piece"];
        want.resize(want.size() + 4410 * 2, 0);
        EXPECT_TRUE(Same(Mixed(), want));
        manager.StopMusic();
    }
}

TEST_F(OggEndToEnd, IntroThenLoopMixesSeamlessly)
{
    ASSERT_EQ(manager.PlayMusic("loop.ogg", "intro.ogg", true), 0);
    Play(manager.GetActiveSlot()->stream, 7000);
    std::vector<int16_t> want = s_pcm["intro"];
    while (want.size() < 7 * 44100 * 2)
        want.insert(want.end(), s_pcm["loop"].begin(), s_pcm["loop"].end());
    want.resize(7 * 44100 * 2);
    EXPECT_TRUE(Same(Mixed(), want));
}

TEST_F(OggEndToEnd, SdlDiskOutputHoldsTheSameSamples)
{
    const std::string raw = s_dir->Linux("disk.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    winapi::SetDsoundOutput(winapi::DsoundOutput::Sdl);
    winapi::UseVirtualClock(false);
    {
        CSoundDevice sdl;
        g_pSoundDevice = &sdl;
        ASSERT_EQ(sdl.CreateDevice(reinterpret_cast<HWND>(1), false, false, nullptr), 0);
        CLoadedSound s;
        ASSERT_EQ(s.Open("intro.ogg", 0), 0);
        ASSERT_EQ(s.Play(), 0);
        for (int i = 0; i < 1000 && s.IsPlaying(nullptr, nullptr); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_FALSE(s.IsPlaying(nullptr, nullptr));
        // The mix runs up to two periods ahead of the output: let those reach the file.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        s.Release();
        g_pSoundDevice = device;
    }
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    // SDL writes silence whenever the queue runs dry (a loaded machine delays the mixing thread),
    // so the output is compared without its zero samples against the decoded sound without its own.
    const auto withoutSilence = [](std::vector<int16_t> v) {
        v.erase(std::remove(v.begin(), v.end(), int16_t{0}), v.end());
        return v;
    };
    const std::vector<int16_t> got = withoutSilence(Pcm16(s_dir->Read("disk.raw")));
    const std::vector<int16_t> want = withoutSilence(s_pcm["intro"]);
    ASSERT_GT(want.size(), 1000u);
    EXPECT_TRUE(Same(got, want));
}
