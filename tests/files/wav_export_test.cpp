// WAV export: sox reads what ConvertSoundToWav writes and gets the decoded PCM back, also when the
// decoder over-reports its size, when the disk fills up part way, and through the tool.
#include "files/wav_export.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>

#include "files/sound_fixtures.h"

namespace {

using sound_test::Capture;

// A decoder for "*.FAKE" files: it reports `reported` bytes of 8 kHz mono 16-bit sound, delivers
// `delivered` bytes of a counting pattern, and answers reads of `piece` bytes at most.
class FakeStream : public CDecodeStream {
public:
    FakeStream(CFileStream* file, DWORD reported, DWORD delivered) : m_file(file), m_reported(reported), m_left(delivered)
    {
        m_format = {WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
    }
    ~FakeStream() override { m_file->Release(); }
    DWORD GetLength() override { return m_reported / 16; }
    DWORD GetTotalBytes() override { return m_reported; }
    int Seek(DWORD) override { return 6; }
    DWORD GetPosition() override { return 0; }
    bool IsEnd() override { return m_left == 0; }
    DWORD Read(void* buffer, DWORD bytes) override
    {
        const DWORD n = std::min({bytes, m_left, DWORD{5000}});
        for (DWORD i = 0; i < n; ++i)
            static_cast<BYTE*>(buffer)[i] = static_cast<BYTE>(m_sent++);
        m_left -= n;
        return n;
    }
    WAVEFORMATEX* GetFormat() override { return &m_format; }

private:
    CFileStream* m_file;
    DWORD m_reported;
    DWORD m_left;
    DWORD m_sent = 0;
    WAVEFORMATEX m_format;
};

class FakeDecoder : public CSoundDecoder {
public:
    CDecodeStream* Open(CFileStream* file, int*) override
    {
        char text[32] = {};
        file->Read(text, sizeof text - 1);
        DWORD reported = 0;
        DWORD delivered = 0;
        if (std::sscanf(text, "FAKE %u %u", &reported, &delivered) != 2)
            return nullptr;
        return new FakeStream(file, reported, delivered);
    }
};

std::string Pattern(size_t bytes)
{
    std::string out(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i)
        out[i] = static_cast<char>(i);
    return out;
}

uint32_t Get32(const std::string& s, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(s[at + i]);
    return v;
}

class WavExport : public sound_test::SoundTest {
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        ASSERT_EQ(sll.Register(new FakeDecoder, "FAKE\0", "fake", 9, nullptr, nullptr, nullptr), 0);
        ASSERT_EQ(sll.LoadFolder(("Z:" + std::string(TESSARO_BINARY_DIR) + "/tests/files/plugins/sll").c_str()), 0);
    }
    std::string SoxRaw(const std::string& wav) { return Capture("sox '" + s_dir->Linux(wav) + "' -t raw -"); }
};

} // namespace

TEST_F(WavExport, SoxReadsTheDecodedSound)
{
    for (const std::string& name : sound_test::OggNames()) {
        SCOPED_TRACE(name);
        const sound_test::Reference ref = sound_test::DecodeReference(s_dir->Linux(name));
        ASSERT_EQ(ConvertSoundToWav(name.c_str(), "out.wav", &sll), 0);
        EXPECT_EQ(Capture("sox --i -r '" + s_dir->Linux("out.wav") + "'"), std::to_string(ref.rate) + "\n");
        EXPECT_EQ(Capture("sox --i -c '" + s_dir->Linux("out.wav") + "'"), std::to_string(ref.channels) + "\n");
        EXPECT_TRUE(sound_test::SamePcm(SoxRaw("out.wav"), ref.pcm));
        const std::string file = s_dir->Read("out.wav");
        EXPECT_EQ(Get32(file, 16), 18u);
        EXPECT_EQ(file[36] | file[37], 0); // a PCM format has no extension bytes
    }
    // WAV through the plug-in, by the game's manager: the same samples come back.
    g_pSllManager = &sll;
    for (const char* stem : {"noise22k", "tiny"}) {
        const std::string wav = std::string(stem) + ".wav";
        ASSERT_EQ(ConvertSoundToWav(wav.c_str(), "again.wav", nullptr), 0);
        EXPECT_EQ(SoxRaw("again.wav"), SoxRaw(wav));
    }
}

TEST_F(WavExport, SizesFollowWhatWasWritten)
{
    struct Case {
        const char* what;
        DWORD reported;
        DWORD delivered;
        DWORD written; // the limit is the reported size + one second (16000 bytes)
    };
    const Case cases[] = {
        {"over-reported", 100000, 3001, 3001},
        {"as reported", 40000, 40000, 40000},
        {"under-reported", 1000, 90000, 17000},
        {"empty", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        s_dir->Write("s.fake", "FAKE " + std::to_string(c.reported) + " " + std::to_string(c.delivered));
        ASSERT_EQ(ConvertSoundToWav("s.fake", "fake.wav", &sll), 0);
        const std::string file = s_dir->Read("fake.wav");
        const size_t pad = c.written % 2;
        ASSERT_EQ(file.size(), 46 + c.written + pad);
        EXPECT_EQ(Get32(file, 4), 38 + c.written + pad);
        EXPECT_EQ(Get32(file, 42), c.written);
        EXPECT_EQ(file.substr(46, c.written), Pattern(c.written));
        if (pad != 0) {
            EXPECT_EQ(file.back(), '\0');
        }
        // sox reads whole samples of it; an odd last byte is no sample.
        EXPECT_EQ(SoxRaw("fake.wav"), Pattern(c.written - pad));
    }
}

TEST_F(WavExport, FailuresGiveTheirCodes)
{
    s_dir->Write("s.fake", "FAKE 20000 20000");
    EXPECT_EQ(ConvertSoundToWav(nullptr, "x.wav", &sll), 1);
    EXPECT_EQ(ConvertSoundToWav("s.fake", nullptr, &sll), 1);
    EXPECT_EQ(ConvertSoundToWav("s.fake", "x.wav", nullptr), 1); // no game manager
    EXPECT_EQ(ConvertSoundToWav("missing.ogg", "x.wav", &sll), 2);
    s_dir->Write("junk.ogg", "not a sound at all");
    EXPECT_EQ(ConvertSoundToWav("junk.ogg", "x.wav", &sll), 2);
    EXPECT_EQ(ConvertSoundToWav("s.fake", "no\\such\\folder\\x.wav", &sll), 3);
    EXPECT_EQ(ConvertSoundToWav("s.fake", "Z:\\dev\\full", &sll), 6);
}

TEST_F(WavExport, AFullDiskLeavesAValidShorterWav)
{
    // The file may grow to 10,046 bytes: the header and 10,000 bytes of data get there, the rest
    // of the write fails.
    s_dir->Write("s.fake", "FAKE 30000 30000");
    struct sigaction ignore = {};
    struct sigaction previous = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit old = {};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 10046;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int code = ConvertSoundToWav("s.fake", "cut.wav", &sll);
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(code, 6);
    const std::string file = s_dir->Read("cut.wav");
    ASSERT_EQ(file.size(), 10046u);
    EXPECT_EQ(Get32(file, 4), 38u + 10000u);
    EXPECT_EQ(Get32(file, 42), 10000u);
    EXPECT_EQ(SoxRaw("cut.wav"), Pattern(10000));
}

TEST_F(WavExport, ToolConvertsThroughThePlugins)
{
    const std::string tool = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool sound convert '" + s_dir->Linux() + "' ";
    ASSERT_TRUE(sound_test::Run(tool + "sweep48k.ogg '" + s_dir->Linux("tool1.wav") + "'"));
    EXPECT_TRUE(sound_test::SamePcm(SoxRaw("tool1.wav"), sound_test::DecodeReference(s_dir->Linux("sweep48k.ogg")).pcm));
    const std::string plugins = std::string(TESSARO_BINARY_DIR) + "/tests/files/plugins/sll";
    ASSERT_TRUE(sound_test::Run(tool + "tone8k.wav '" + s_dir->Linux("tool2.wav") + "' --plugins '" + plugins + "'"));
    EXPECT_EQ(SoxRaw("tool2.wav"), SoxRaw("tone8k.wav"));
    EXPECT_FALSE(sound_test::Run(tool + "tone8k.wav '" + s_dir->Linux("tool3.wav") + "'")); // no plug-in for it
    EXPECT_FALSE(sound_test::Run(tool + "tone8k.wav"));
}
