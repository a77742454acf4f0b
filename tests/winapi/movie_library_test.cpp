// The built-in movie libraries over FFmpeg: what each container made by ffmpeg decodes to, the
// virtual clock that decides the frame on show, and refusal of what is not a movie.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include <gtest/gtest.h>

#include "files/temp_folder.h"
#include "mapped_library.h"
#include "movie_fixtures.h"
#include "winapi/clock.h"
#include "winapi/dsound.h"
#include "winapi/kernel.h"
#include "winapi/movie.h"
#include "winapi/window_movie_shown.h"

using namespace movie_test;

namespace {

// A movie held in memory, served as the stream of an archived movie.
class MemoryStream final : public IMovieReadStream {
public:
    explicit MemoryStream(std::string bytes) : m_bytes(std::move(bytes)) {}
    LONG ReadMovie(void* buffer, LONG bytes) override
    {
        const int64_t n = std::min<int64_t>(bytes, static_cast<int64_t>(m_bytes.size()) - m_position);
        if (n <= 0)
            return 0;
        std::memcpy(buffer, m_bytes.data() + m_position, static_cast<size_t>(n));
        m_position += n;
        return static_cast<LONG>(n);
    }
    bool SeekMovie(int64_t position) override
    {
        if (position < 0 || position > static_cast<int64_t>(m_bytes.size()))
            return false;
        m_position = position;
        return true;
    }
    int64_t MovieSize() override { return static_cast<int64_t>(m_bytes.size()); }

private:
    std::string m_bytes;
    int64_t m_position = 0;
};

struct Control {
    MemoryTarget frames[2];
    IMovieSpriteCtrl* ctrl = nullptr;
    ~Control()
    {
        if (ctrl != nullptr)
            ctrl->Release();
    }
    const MemoryTarget& Shown(int index) const { return frames[index]; }
};

GetDShowGdiSpriteCtrlProc SpriteFactory()
{
    RegisterMovieModules();
    HMODULE module = LoadLibraryA("Z:\\anywhere\\DS_SPRITE.DLL");
    if (module == nullptr)
        return nullptr;
    return reinterpret_cast<GetDShowGdiSpriteCtrlProc>(GetProcAddress(module, "GetDShowGdiSpriteCtrl"));
}

int OpenSprite(Control* control, const char* path, IMovieReadStream* stream)
{
    return SpriteFactory()(&control->ctrl, &control->frames[0], &control->frames[1], nullptr, stream, 0, path, 0, 0,
                           1);
}

class MovieLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_folder = new TempFolder;
    }
    static void TearDownTestSuite()
    {
        delete s_folder;
        s_folder = nullptr;
    }
    void SetUp() override
    {
        if (!HaveFfmpeg())
            GTEST_SKIP() << "ffmpeg is missing (scripts/bootstrap installs it)";
        winapi::UseVirtualClock(true);
        winapi::SetVirtualTime(1000000);
    }
    void TearDown() override { winapi::UseVirtualClock(false); }

    // A 2 s test movie of that container, made once per suite.
    static std::string Movie(const std::string& name, const std::string& video, const std::string& audio,
                             const std::string& format = "")
    {
        const std::string path = s_folder->Linux(name);
        if (!s_folder->Exists(name))
            MakeMovie(path, video, audio, format);
        return path;
    }
    static std::string WindowsPath(const std::string& name) { return s_folder->Windows(name); }

    // The frame on show at movie time `seconds` of a movie playing since the clock read `start`.
    static int ShowAt(Control& c, uint64_t start, double seconds)
    {
        winapi::SetVirtualTime(start + static_cast<uint64_t>(std::llround(seconds * 1000)));
        return c.ctrl->PrepareFrame(nullptr, 0, 0, nullptr, 0, 255);
    }

    static TempFolder* s_folder;
};

TempFolder* MovieLibraryTest::s_folder = nullptr;

struct FormatRow {
    const char* name;
    const char* video;
    const char* audio;
    const char* format;
};

// Every container the libraries are expected to play, as ffmpeg writes it.
const FormatRow kFormats[] = {
    {"a.mpg", "mpeg1video", "mp2", "mpeg"},
    {"a.mpv", "mpeg1video", "", "mpeg1video"},
    {"a.dat", "mpeg1video", "mp2", "mpeg"},
    {"a.avi", "mpeg4", "pcm_s16le", ""},
    {"a.mov", "libx264", "aac", ""},
    {"a.mp4", "libx264", "aac", ""},
    {"a.wmv", "wmv2", "wmav2", "asf"},
    {"a.asf", "wmv2", "wmav2", "asf"},
    {"a.wma", "", "wmav2", "asf"},
    {"a.webm", "libvpx-vp9", "libopus", ""},
    {"a.mkv", "libx264", "flac", ""},
    {"a.ogv", "libtheora", "libvorbis", "ogg"},
};

TEST_F(MovieLibraryTest, EachContainerDecodesAsFfmpegDoes)
{
    for (const FormatRow& row : kFormats) {
        SCOPED_TRACE(row.name);
        if (!HaveEncoder(row.video) || !HaveEncoder(row.audio)) {
            std::printf("skipped %s: this ffmpeg lacks its encoder\n", row.name);
            continue;
        }
        const std::string path = Movie(row.name, row.video, row.audio, row.format);
        for (bool byStream : {false, true}) {
            SCOPED_TRACE(byStream ? "by stream" : "by path");
            Control c;
            std::unique_ptr<MemoryStream> stream;
            if (byStream) {
                std::ifstream in(path, std::ios::binary);
                stream = std::make_unique<MemoryStream>(std::string(std::istreambuf_iterator<char>(in), {}));
            }
            const std::string windows = WindowsPath(row.name);
            ASSERT_EQ(OpenSprite(&c, byStream ? nullptr : windows.c_str(), stream.get()), 0);
            const bool hasVideo = row.video[0] != '\0';
            EXPECT_EQ(c.ctrl->GetNaturalWidth(), hasVideo ? 320 : 0);
            EXPECT_EQ(c.ctrl->GetNaturalHeight(), hasVideo ? 240 : 0);
            int64_t duration = 0;
            EXPECT_EQ(c.ctrl->GetDuration(&duration), S_OK);
            // Within a frame; ASF's muxer counts its 46 ms preroll in, and wmav2 pads to 2048 samples.
            EXPECT_NEAR(duration / 10000.0, 2000.0, 47.0);
            if (!hasVideo)
                continue;
            const uint64_t start = winapi::ClockMilliseconds();
            c.ctrl->Play();
            for (double t : {0.0, 0.52, 1.96}) {
                SCOPED_TRACE(t);
                const int index = ShowAt(c, start, t);
                ASSERT_GE(index, 0);
                if (byStream)
                    continue; // the same decode as by path; one reference comparison is enough
                const auto expected = ReferenceFrameAt(path, FrameIndexAt(t));
                const MemoryTarget& frame = c.Shown(index);
                EXPECT_LE(MaxDifference(expected, frame.Pixels(), frame.Width() * 4, frame.Width(), frame.Height()), 2);
            }
        }
    }
}

// FFmpeg and the libraries it brings are mapped by the first movie opened, not by loading the
// movie libraries as the game does at start-up.
TEST_F(MovieLibraryTest, FfmpegIsMappedByTheFirstMovieOnly)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a fresh process: no other case has opened a movie
    Movie("a.mpg", "mpeg1video", "mp2", "mpeg");
    const auto step = [](bool ok, const char* what) {
        if (!ok) {
            std::fprintf(stderr, "%s\n", what);
            std::_Exit(1);
        }
    };
    EXPECT_EXIT(
        {
            step(!LibraryMapped("libavformat.so.") && !LibraryMapped("libavcodec.so."), "mapped at start");
            step(SpriteFactory() != nullptr, "no sprite factory");
            step(!LibraryMapped("libavformat.so."), "mapped by loading the movie library");
            Control c;
            step(OpenSprite(&c, WindowsPath("a.mpg").c_str(), nullptr) == 0, "the movie did not open");
            step(LibraryMapped("libavformat.so.") && LibraryMapped("libavcodec.so.") &&
                     LibraryMapped("libswscale.so."),
                 "not mapped by the movie");
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(MovieLibraryTest, VirtualClockPicksTheNewestDueFrame)
{
    const std::string path = Movie("a.mpg", "mpeg1video", "mp2", "mpeg");
    Control c;
    ASSERT_EQ(OpenSprite(&c, WindowsPath("a.mpg").c_str(), nullptr), 0);
    const auto frameAt = [&](double seconds) { return ReferenceFrameAt(path, FrameIndexAt(seconds)); };
    const auto shows = [&](int index, const std::vector<uint8_t>& expected) {
        const MemoryTarget& frame = c.Shown(index);
        return MaxDifference(expected, frame.Pixels(), frame.Width() * 4, frame.Width(), frame.Height()) <= 2;
    };
    DWORD state = 9;
    c.ctrl->GetPlayState(&state);
    EXPECT_EQ(state, kMovieStopped);
    uint64_t start = winapi::ClockMilliseconds();
    c.ctrl->Play();
    c.ctrl->GetPlayState(&state);
    EXPECT_EQ(state, kMoviePlaying);
    // frame = floor(t × 25)
    EXPECT_TRUE(shows(ShowAt(c, start, 0.139), frameAt(0.12)));
    EXPECT_TRUE(shows(ShowAt(c, start, 0.16), frameAt(0.16)));

    // Paused: the clock moves, the picture and position do not.
    c.ctrl->Pause();
    c.ctrl->GetPlayState(&state);
    EXPECT_EQ(state, kMoviePaused);
    winapi::AdvanceVirtualClock(500);
    int64_t position = 0;
    c.ctrl->GetPosition(&position);
    EXPECT_EQ(position, 1600000);
    EXPECT_TRUE(shows(c.ctrl->PrepareFrame(nullptr, 0, 0, nullptr, 0, 255), frameAt(0.16)));
    c.ctrl->Resume();
    winapi::AdvanceVirtualClock(200);
    EXPECT_TRUE(shows(c.ctrl->PrepareFrame(nullptr, 0, 0, nullptr, 0, 255), frameAt(0.36)));

    // Stop keeps the position; play goes on from it.
    c.ctrl->Stop();
    winapi::AdvanceVirtualClock(300);
    c.ctrl->GetPosition(&position);
    EXPECT_EQ(position, 3600000);
    c.ctrl->Play();
    winapi::AdvanceVirtualClock(40);
    EXPECT_TRUE(shows(c.ctrl->PrepareFrame(nullptr, 0, 0, nullptr, 0, 255), frameAt(0.40)));

    // Seek: 1.2 s, low word first.
    const int64_t to = 12000000;
    c.ctrl->SetPosition(static_cast<DWORD>(to), static_cast<DWORD>(to >> 32));
    EXPECT_TRUE(shows(c.ctrl->PrepareFrame(nullptr, 0, 0, nullptr, 0, 255), frameAt(1.2)));
    start = winapi::ClockMilliseconds() - 1200;

    // The end holds the last frame; play again starts from the beginning.
    EXPECT_FALSE(c.ctrl->IsAtEnd());
    EXPECT_TRUE(shows(ShowAt(c, start, 2.5), frameAt(1.96)));
    EXPECT_TRUE(c.ctrl->IsAtEnd());
    c.ctrl->GetPlayState(&state);
    EXPECT_EQ(state, kMoviePaused);
    c.ctrl->GetPosition(&position);
    EXPECT_EQ(position, 20000000);
    c.ctrl->Play();
    EXPECT_FALSE(c.ctrl->IsAtEnd());
    EXPECT_TRUE(shows(c.ctrl->PrepareFrame(nullptr, 0, 0, nullptr, 0, 255), frameAt(0.0)));
}

TEST_F(MovieLibraryTest, RateScalesTheClock)
{
    const std::string path = Movie("a.mpg", "mpeg1video", "mp2", "mpeg");
    Control c;
    ASSERT_EQ(OpenSprite(&c, WindowsPath("a.mpg").c_str(), nullptr), 0);
    c.ctrl->SetRate(2.0);
    c.ctrl->Play();
    winapi::AdvanceVirtualClock(300);
    int64_t position = 0;
    c.ctrl->GetPosition(&position);
    EXPECT_EQ(position, 6000000);
    c.ctrl->SetRate(10.0); // clamped to 2
    winapi::AdvanceVirtualClock(100);
    c.ctrl->GetPosition(&position);
    EXPECT_EQ(position, 8000000);
}

TEST_F(MovieLibraryTest, RefusesWhatIsNoMovie)
{
    s_folder->Write("garbage.mpg", std::string(4096, '\x5a'));
    s_folder->Write("empty.avi", "");
    Control a, b, c, d;
    EXPECT_NE(OpenSprite(&a, WindowsPath("garbage.mpg").c_str(), nullptr), 0);
    EXPECT_EQ(a.ctrl, nullptr);
    EXPECT_NE(OpenSprite(&b, WindowsPath("empty.avi").c_str(), nullptr), 0);
    EXPECT_NE(OpenSprite(&c, WindowsPath("missing.mpg").c_str(), nullptr), 0);
    MemoryStream garbage(std::string(1000, '\x01'));
    EXPECT_NE(OpenSprite(&d, nullptr, &garbage), 0);
    // A movie whose frames are larger than 8192 a side.
    if (HaveEncoder("rawvideo")) {
        const std::string path = s_folder->Linux("wide.avi");
        ASSERT_TRUE(MakeMovie(path, "rawvideo", "", "", 0.04, "8200x16", 25));
        Control e;
        EXPECT_NE(OpenSprite(&e, WindowsPath("wide.avi").c_str(), nullptr), 0);
    }
}

TEST_F(MovieLibraryTest, NamesAreFoundWithoutCase)
{
    Movie("a.mpg", "mpeg1video", "mp2", "mpeg");
    Control c;
    std::string upper = WindowsPath("A.MPG");
    EXPECT_EQ(OpenSprite(&c, upper.c_str(), nullptr), 0);
}

TEST(MovieModules, AnswerTheirVersionAndFactories)
{
    ASSERT_TRUE(RegisterMovieModules());
    ASSERT_TRUE(RegisterMovieModules());
    for (auto [name, factory] : {std::pair{"DS_SPRITE.DLL", "GetDShowGdiSpriteCtrl"},
                                 std::pair{"ds_prim.dll", "GetDShowPrimCtrl"}, std::pair{"DS_MOVIE.DLL", "GetMovieObject"}}) {
        SCOPED_TRACE(name);
        HMODULE module = LoadLibraryA(name);
        ASSERT_NE(module, nullptr);
        auto version = reinterpret_cast<uint32_t (*)()>(GetProcAddress(module, "GetDllVersion"));
        ASSERT_NE(version, nullptr);
        EXPECT_EQ(version(), 0x10000u);
        EXPECT_NE(GetProcAddress(module, factory), nullptr);
        FreeLibrary(module);
    }
}

} // namespace

namespace {

// The movie's sound as the headless output recorded it, from its first sound on.
std::vector<int16_t> PlayAndRecord(const std::string& windowsPath, LONG volume, double seconds)
{
    winapi::SetDsoundOutput(winapi::DsoundOutput::Recorded);
    Control c;
    EXPECT_EQ(OpenSprite(&c, windowsPath.c_str(), nullptr), 0);
    if (c.ctrl == nullptr)
        return {};
    c.ctrl->SetVolume(volume);
    winapi::DsoundClearRecorded();
    c.ctrl->Play();
    for (int t = 0; t < seconds * 1000; t += 50) {
        EXPECT_TRUE(winapi::WaitMovieThreadsIdle(30000));
        winapi::AdvanceVirtualClock(50);
    }
    auto samples = winapi::DsoundRecorded().samples;
    c.ctrl->Stop();
    winapi::SetDsoundOutput(winapi::DsoundOutput::Auto);
    return samples;
}

// Largest difference after lining both up at their first non-zero sample, over `count` samples.
int SoundDifference(const std::vector<int16_t>& got, const std::vector<int16_t>& want, size_t count)
{
    const auto first = [](const std::vector<int16_t>& v) {
        size_t i = 0;
        while (i < v.size() && v[i] == 0)
            ++i;
        return i & ~size_t{1}; // a whole stereo frame
    };
    const size_t g = first(got), w = first(want);
    if (got.size() < g + count || want.size() < w + count)
        return 99999;
    int worst = 0;
    for (size_t i = 0; i < count; ++i)
        worst = std::max(worst, std::abs(got[g + i] - want[w + i]));
    return worst;
}

} // namespace

TEST_F(MovieLibraryTest, SoundIsTheDecodeAtFullVolume)
{
    const FormatRow rows[] = {
        {"a.avi", "mpeg4", "pcm_s16le", ""},
        {"a.mkv", "libx264", "flac", ""},
        {"a.mp4", "libx264", "aac", ""},
        {"a.ogv", "libtheora", "libvorbis", "ogg"},
    };
    for (const FormatRow& row : rows) {
        SCOPED_TRACE(row.name);
        if (!HaveEncoder(row.video) || !HaveEncoder(row.audio))
            continue;
        const std::string path = Movie(row.name, row.video, row.audio, row.format);
        const auto got = PlayAndRecord(WindowsPath(row.name), 0, 1.5);
        const auto want = ReferenceSound(path, 44100);
        EXPECT_LE(SoundDifference(got, want, 44100), 1); // the first half second, both channels
    }
}

TEST_F(MovieLibraryTest, VolumeScalesTheMix)
{
    const std::string path = Movie("a.avi", "mpeg4", "pcm_s16le");
    const auto got = PlayAndRecord(WindowsPath("a.avi"), -636, 1.0);
    auto want = ReferenceSound(path, 44100);
    const double gain = std::pow(10.0, -636 / 2000.0);
    for (int16_t& s : want)
        s = static_cast<int16_t>(std::lround(s * gain));
    EXPECT_LE(SoundDifference(got, want, 20000), 1);
}

TEST(WindowMovie, ShowsOverItsOwnerOnTheHeadlessHost)
{
    ASSERT_STREQ(winapi::CurrentHost().Name(), "headless");
    CheckWindowMovieShown();
}
