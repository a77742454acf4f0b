// Natives 439, 597-631 and 652-684 through the host on the headless mix: Oggs made by sox and
// oggenc, free sounds loaded and streamed, their fades on the task list, the sound manager's
// settings, music and channels with their fades, voice ducking, the decoders and WAV export.
#include <gtest/gtest.h>

#include <filesystem>

#include "files/ogg_decoder.h"
#include "files/sll_manager.h"
#include "files/sound_fixtures.h"
#include "platform/timed_task.h"
#include "sound/sound_buffer.h"
#include "sound/sound_device.h"
#include "sound/sound_player.h"
#include "support/native_script.h"
#include "winapi/clock.h"
#include "winapi/dsound.h"

using namespace hosttest;

namespace {

struct SoundNatives : testing::Test {
    static inline TempFolder* s_dir = nullptr;
    static inline bool s_made = false;
    static void SetUpTestSuite()
    {
        s_dir = new TempFolder;
        const std::string wav = s_dir->Linux("tone.wav");
        s_made = sound_test::Run("sox -n -r 22050 -c 2 -b 16 '" + wav + "' synth 1 sine 440 vol 0.5") &&
                 sound_test::Run("oggenc -Q -q 3 '" + wav + "' -o '" + s_dir->Linux("tone.ogg") + "'");
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    HostFixture f;
    CSllManager sll;
    CSoundDevice* device = nullptr;
    CScriptHost* host = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(s_made) << "sox or oggenc failed";
        winapi::SetDsoundOutput(winapi::DsoundOutput::Recorded);
        const std::string ogg = s_dir->Read("tone.ogg");
        f.dir.Write("SE/tone.ogg", ogg);
        f.dir.Write("BGM/tone.ogg", ogg);
        f.dir.Write("BGM/next.ogg", ogg);
        ASSERT_EQ(RegisterOggDecoder(sll), 0);
        g_pSllManager = &sll;
        device = new CSoundDevice;
        g_pSoundDevice = device;
        g_pSoundList = device;
        ASSERT_EQ(device->CreateDevice(reinterpret_cast<HWND>(1), false, false, nullptr), 0);
        host = &f.Start();
    }
    void TearDown() override
    {
        f.host.reset();
        delete device;
        g_pSoundDevice = nullptr;
        g_pSoundList = nullptr;
        g_pSllManager = nullptr;
        winapi::SetDsoundOutput(winapi::DsoundOutput::Auto);
    }
    uint32_t Out(int native, const std::string& args = "0", const std::string& data = "")
    {
        return Script(*host, Call(native, args, data)).Word("out");
    }
    static std::string Str(const char* label, const std::string& text) { return std::string(label) + ": .sjis \"" + text + "\"\n"; }
    // Moves the clock and runs the task list in 20 ms steps.
    void Run(uint32_t ms)
    {
        for (uint32_t t = 0; t < ms; t += 20) {
            winapi::AdvanceVirtualClock(20);
            f.app.tasks.RunDue(0);
        }
    }
};

} // namespace

TEST_F(SoundNatives, FreeSoundsLoadedAndStreamed)
{
    const std::string tone = Str("s", "SE\\\\tone.ogg");
    const uint32_t loaded = Out(603, "s, 1", tone);
    ASSERT_NE(loaded, 0u);
    EXPECT_EQ(Out(603, "s, 0", Str("s", "SE\\\\none.ogg")), 0u);
    EXPECT_NEAR(static_cast<double>(Out(620, std::to_string(loaded))), 1000.0, 30.0);
    EXPECT_EQ(Out(628, std::to_string(loaded)), host->Object<CSoundBuffer>(loaded)->GetDataBytes());
    {
        Script format(*host, Call(619, std::to_string(loaded) + ", c, r, b", "c: .word 0\nr: .word 0\nb: .word 0"));
        EXPECT_EQ(format.Word("out"), 0u);
        EXPECT_EQ(format.Word("c"), 2u);
        EXPECT_EQ(format.Word("r"), 22050u);
        EXPECT_EQ(format.Word("b"), 16u);
    }
    EXPECT_EQ(Out(608, std::to_string(loaded)), 0u);
    Run(100);
    for (int native : {622, 439}) {
        Script playing(*host, Call(native, std::to_string(loaded) + ", p, 0", "p: .word 0"));
        EXPECT_EQ(playing.Word("out"), 1u) << native;
    }
    EXPECT_GT(Out(621, std::to_string(loaded)), 0u);
    EXPECT_EQ(Out(623, std::to_string(loaded) + ", 128"), 0u);
    {
        Script vpf(*host, Call(627, std::to_string(loaded) + ", v, p, q", "v: .word 0\np: .word 9\nq: .word 0"));
        EXPECT_EQ(vpf.Word("v"), 128u);
        EXPECT_EQ(vpf.Word("p"), 0u);
        EXPECT_EQ(vpf.Word("q"), 22050u);
    }
    // The kept copy: a sine's samples and levels over a few periods are not all 0.
    uint32_t samples = 0, levels = 0;
    for (uint32_t at = 20000; at < 20400; at += 4) {
        samples |= Out(629, std::to_string(loaded) + ", " + std::to_string(at));
        levels |= Out(630, std::to_string(loaded) + ", " + std::to_string(at) + ", 0");
    }
    EXPECT_NE(samples, 0u);
    EXPECT_NE(levels, 0u);

    const uint32_t copy = Out(604, std::to_string(loaded));
    ASSERT_NE(copy, 0u);
    EXPECT_NE(copy, loaded);
    const uint32_t stream = Out(605, "s", tone);
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(Out(604, std::to_string(stream)), 2u);
    EXPECT_NE(Out(606, "s, t", tone + Str("t", "SE\\\\tone.ogg")), 0u);
    // Samples and levels are for loaded sounds only.
    EXPECT_EQ(Out(629, std::to_string(stream) + ", 100"), 0u);
    EXPECT_EQ(Out(630, std::to_string(stream) + ", 100, 0"), 0u);
    EXPECT_EQ(Out(609, std::to_string(stream)), 0u);
    Run(100);
    EXPECT_EQ(Out(622, std::to_string(stream) + ", 0, 0"), 1u);
    Out(612, std::to_string(stream));
    EXPECT_EQ(Out(622, std::to_string(stream) + ", 0, 0"), 0u);

    // Null objects: the rows' null results.
    const struct {
        int native;
        uint32_t expected;
    } nulls[] = {{608, 0xFFFFFFFF}, {612, 0xFFFFFFFF}, {613, 0xFFFFFFFE}, {614, 0xFFFFFFFE}, {618, 0xFFFFFFFF},
                 {620, 0},          {622, 0},          {623, 0xFFFFFFFE}, {624, 0xFFFFFFFF}, {628, 0}, {604, 0}};
    for (const auto& n : nulls)
        EXPECT_EQ(Out(n.native, "0, 0, 0, 0"), n.expected) << n.native;

    // 607 through a cell: destroyed and cleared; an empty cell 1; a stale handle 2.
    {
        Script destroy(*host, Call(607, "cell", "cell: .word " + std::to_string(copy)));
        EXPECT_EQ(destroy.Word("out"), 0u);
        EXPECT_EQ(destroy.Word("cell"), 0u);
    }
    EXPECT_EQ(Out(607, "cell", "cell: .word 0"), 1u);
    EXPECT_EQ(Out(607, "cell", "cell: .word " + std::to_string(copy)), 2u);
    EXPECT_TRUE(Script(*host, Call(607, "0xFFFFFFF0")).Faulted());
    Out(602);
    EXPECT_EQ(device->GetSounds().size(), 0u);
    EXPECT_EQ(Out(608, std::to_string(loaded)), 0xFFFFFFFFu); // its handle went with it
}

TEST_F(SoundNatives, FreeSoundFadesRunOnTheTaskList)
{
    const uint32_t sound = Out(603, "s, 0", Str("s", "SE\\\\tone.ogg"));
    ASSERT_NE(sound, 0u);
    CSoundBuffer* buffer = host->Object<CSoundBuffer>(sound);
    EXPECT_EQ(Out(613, std::to_string(sound) + ", 200, 1"), 0u);
    EXPECT_EQ(buffer->GetFadeState(), 1);
    Run(300);
    EXPECT_EQ(buffer->GetFadeState(), 0);
    EXPECT_EQ(Out(622, std::to_string(sound) + ", 0, 0"), 1u);
    EXPECT_EQ(Out(614, std::to_string(sound) + ", 100"), 0u);
    EXPECT_EQ(buffer->GetFadeState(), 2);
    Run(200);
    EXPECT_EQ(Out(622, std::to_string(sound) + ", 0, 0"), 0u);
}

TEST_F(SoundNatives, ManagerSettingsReadBack)
{
    struct Row {
        const char* set;
        const char* get;
        uint32_t expected;
    } rows[] = {
        {"0, 0, 0, 0, 0", "0, 0", 0},     {"0, 1, 0, 0, 0", "0, 0", 1},   {"2, 2, 0, 0, 0", "2, 2", 0},
        {"2, 1, 1, 0, 0", "2, 1", 1},     {"3, 1, 77, 0, 0", "3, 1", 77}, {"3, 2, 200, 0, 0", "3, 2", 200},
        {"4, 1, 128, 0, 0", "4, 1", 128}, {"4, 2, 100, 0, 0", "4, 2", 100}, {"4, 0, 3, 0, 0", "4, 0", 3},
        {"9, 1, 1, 1, 1", "9, 0", 0},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Out(652, r.set), 0u) << r.set;
        EXPECT_EQ(Out(653, r.get), r.expected) << r.set;
    }
    // The decoders' in-memory switch: 0 and 1 as given, else the application's default.
    Out(597, "1");
    EXPECT_TRUE(sll.GetStreamOff());
    Out(597, "0x100"); // the low byte
    EXPECT_FALSE(sll.GetStreamOff());
    f.app.streamOffDefault = true;
    Out(597, "7");
    EXPECT_TRUE(sll.GetStreamOff());
}

TEST_F(SoundNatives, MusicAndChannelsWithTheirFades)
{
    const std::string bgm = Str("m", "BGM\\\\tone.ogg");
    EXPECT_EQ(Out(668, "0"), 1u);
    EXPECT_EQ(Out(668, "0x7FFFFFFF"), 1u); // refused before anything is made
    ASSERT_EQ(Out(668, "4"), 0u);
    EXPECT_EQ(g_pSoundManager->GetChannelCount(), 4);
    const std::string se = Str("s", "SE\\\\tone.ogg");
    EXPECT_EQ(Out(672, "9, s", se), 1u);
    EXPECT_EQ(Out(672, "0, s", Str("s", "SE\\\\none.ogg")), 2u);
    ASSERT_EQ(Out(672, "0, s", se), 0u);
    EXPECT_EQ(Out(675, "0, 1"), 0u);
    EXPECT_EQ(Out(680, "0"), 1u);
    const uint32_t channelSound = Out(682, "0");
    EXPECT_EQ(host->Object<CSoundBuffer>(channelSound), g_pSoundManager->GetChannel(0));
    EXPECT_EQ(Out(682, "9"), 0u);
    EXPECT_EQ(Out(682, "1"), host->MirrorString(&g_pSoundManager->GetChannelRecord(1)->streamName, ""));
    EXPECT_EQ(Out(671, "0, 0"), 2u);
    EXPECT_EQ(Out(669, "0, 50, -1"), 0u);
    Out(677, "0, 100, 100");
    EXPECT_EQ(Out(681, "0"), 1u);
    Run(200);
    EXPECT_EQ(Out(681, "0"), 0u);

    // Music: play, a fade-out that stops it, a fade-in, a cross-fade.
    EXPECT_EQ(Out(657, "m, 65535, 0", bgm), 0u);
    EXPECT_EQ(Out(665), 1u);
    EXPECT_EQ(Out(667), 0u);
    // Voice ducking under the playing channel answers the task's handle.
    const uint32_t duck = Out(684, "30, 0");
    ASSERT_NE(duck, 0u);
    EXPECT_NE(host->Object<CTimedTask>(duck), nullptr);
    EXPECT_EQ(Out(684, "30, 3"), 0u); // channel 3 does not play
    Out(663, "100");
    EXPECT_EQ(Out(666), 3u);
    Run(200);
    EXPECT_EQ(Out(665), 0u);
    EXPECT_EQ(Out(666), 0u);
    Out(662, "100, m, 65535, 1", bgm);
    EXPECT_EQ(Out(666), 2u);
    Run(200);
    EXPECT_EQ(Out(665), 1u);
    Out(664, "100, n, 65535, 0, 65535, 0", Str("n", "BGM\\\\next.ogg"));
    EXPECT_EQ(Out(666), 4u);
    Run(400);
    EXPECT_EQ(Out(665), 1u);
    EXPECT_EQ(Out(667), 1u); // the new piece plays in the other slot
    Out(658);
    EXPECT_EQ(Out(665), 0u);
    Out(676, "0");
    EXPECT_EQ(Out(680, "0"), 0u);
}

TEST_F(SoundNatives, DecodersAndWavExportStayInTheRoots)
{
    EXPECT_EQ(Out(631, "s, d", Str("s", "SE\\\\tone.ogg") + Str("d", "out.wav")), 0u);
    EXPECT_EQ(f.dir.Read("out.wav").substr(0, 4), "RIFF");
    const std::string outside = (std::filesystem::temp_directory_path() / "tessaro_631_outside.wav").string();
    std::filesystem::remove(outside);
    EXPECT_EQ(Out(631, "s, d", Str("s", "SE\\\\tone.ogg") + Str("d", winapi::WindowsPathFromLinux(outside))), 1u);
    EXPECT_FALSE(std::filesystem::exists(outside));
    EXPECT_EQ(Out(598, "s", Str("s", "Z:\\\\tmp\\\\x.sll")), 1u);
    EXPECT_EQ(Out(599, "s", Str("s", "Z:\\\\tmp")), 0xFFFFFFFFu);
    EXPECT_EQ(Out(601, "12345, 1, 2"), 0xFFFFFFFEu); // no decoder of that type
    Out(600, "-1");
    EXPECT_EQ(Out(603, "s, 0", Str("s", "SE\\\\tone.ogg")), 0u); // no decoder left
    // No voice table entry matches a name the table does not know.
    EXPECT_EQ(Out(683, "0, 6, 0"), 0xFFFFFFFDu);
}
