// Milestone (headless): a system script plays an H.264/AAC movie as the game would: 632 (the
// movie-sprite option on), 635, frames on the virtual clock, 640, 636, 633, the sprite in the scene
// of an 800×600 frame image. The frames presented at 0 s, at 1 s and at the end equal ffmpeg's; the
// sound the headless output recorded (TESSARO_AUDIO_WAV) equals ffmpeg's decode.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "authoring/sob_assembler.h"
#include "authoring/sob_module_writer.h"
#include "display/surface_sprite.h"
#include "files/temp_folder.h"
#include "game/game_app.h"
#include "game/game_folder.h"
#include "movie_fixtures.h"
#include "raster/pixel_lib.h"
#include "winapi/movie.h"
#include "winapi/clock.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

namespace {

std::string Str(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

struct Capture {
    int64_t ms = -1;
    winapi::Frame frame;
};
Capture g_first, g_second, g_last;

// Native 809: the frame the main window shows, with the movie position (word 0) it was taken at.
uint32_t CaptureNative(SobNativeArgs& args)
{
    const int64_t ms = args.I32(0);
    HWND window = g_pGameApp != nullptr ? g_pGameApp->GetMainWindow() : nullptr;
    if (window == nullptr || winapi::CurrentHeadlessHost() == nullptr)
        return 0;
    Capture c{ms, winapi::CurrentHeadlessHost()->ReadBack(window)};
    if (g_first.ms < 0)
        g_first = c;
    if (g_second.ms < 0 && ms >= 1000)
        g_second = c;
    g_last = std::move(c);
    return 0;
}

struct FrameImageApp : CGameApp {
    CSurfaceSprite canvas;
    int OnDevicesReady() override
    {
        const int code = CGameApp::OnDevicesReady();
        if (canvas.Create(800, 600, 32, 1) == 0)
            ScreenObject().SetFrameImage(&canvas);
        return code;
    }
    void OnExit(int code) override
    {
        CGameApp::OnExit(code);
        ScreenObject().SetFrameImage(nullptr);
    }
};

int Difference(const std::vector<uint8_t>& expected, const winapi::Frame& frame)
{
    if (frame.width < 320 || frame.height < 240)
        return -1;
    int worst = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint32_t got = frame.At(x, y);
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(int((got >> (8 * c)) & 0xFF) - int(expected[(size_t(y) * 320 + x) * 4 + c]));
                worst = std::max(worst, d);
            }
        }
    return worst;
}

} // namespace

TEST(MovieMilestone, ScriptPlaysAMovieIntoTheFrameImage)
{
    if (!movie_test::HaveFfmpeg() || !movie_test::HaveEncoder("libx264") || !movie_test::HaveEncoder("aac"))
        GTEST_SKIP() << "ffmpeg with libx264 and aac is missing";
    TempFolder dir;
    ASSERT_TRUE(movie_test::MakeMovie(dir.Linux("MOVIE.MP4"), "libx264", "aac", "", 2.0));
    SobVariableLayout layout;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseSobVariables("Score 0 1 4 = 0\n", "vars", &layout, &errors));
    dir.Write("SCRIPT/USER_VAR.SOB", Str(WriteSobUserVarFile(layout)));
    AppDescription sys = DefaultAppDescription(AppFrameOptions{});
    sys.SetU16(kSysWidth, 800);
    sys.SetU16(kSysHeight, 600);
    sys.bytes[kSysSaveMode] = 5;
    sys.bytes[kSysSingleInstance] = 0;
    WriteAppFiles(dir, sys, "MovieMilestone", 0);
    const char* source = R"(
        ncall native 632, open, r
        movm r, opened.1
opened: jz 0, play
        ret
play:   ncall native 635, none, r
loop:   yield
        ncall native 640, none, cap
        ncall native 809, cap, r
        ncall native 645, none, st
        movm st, check.1
check:  eq 0, 1, branch.1
branch: jz 0, bound
        jmp done
bound:  inc count
        movm count, limit.1
limit:  lt 0, 600, more.1
more:   jz 0, done
        jmp loop
done:   yield
        ncall native 640, none, cap
        ncall native 809, cap, r
        ncall native 636, none, r
        ncall native 633, none, r
        ret
open:   .word name, 0, 10
name:   .sjis "MOVIE.MP4"
none:   .word 0, 0, 0, 0
cap:    .word 0
st:     .word 0
r:      .word 0
count:  .word 0
)";
    SobAssembly assembly;
    ASSERT_TRUE(AssembleSob(source, "MAIN", &assembly, &errors)) << (errors.empty() ? "" : errors[0]);
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(WriteSobLinkable(assembly, false, &layout, nullptr, &bytes, &error)) << error;
    dir.Write("SCRIPT/MAIN.SOB", Str(bytes));

    RegisterMovieModules();
    RegisterPixelLibraryModule();
    const std::string wav = dir.Linux("sound.wav");
    setenv("TESSARO_AUDIO_WAV", wav.c_str(), 1);
    {
        FrameImageApp app;
        app.SetExtraNatives({CaptureNative});
        std::string line = "/L" + dir.Windows();
        EXPECT_EQ(app.Run(nullptr, nullptr, line.data(), SW_SHOWNORMAL), 0);
        EXPECT_EQ(app.GetEndCode(), 0);
    }
    unsetenv("TESSARO_AUDIO_WAV");

    const std::string movie = dir.Linux("MOVIE.MP4");
    for (const Capture* c : {&g_first, &g_second, &g_last}) {
        SCOPED_TRACE(c->ms);
        ASSERT_GE(c->ms, 0);
        // The frame was drawn when the frame fell due; the frame loop's wait may have moved the
        // clock past the next frame's start before the script read the position.
        const int index = std::min(49, movie_test::FrameIndexAt(c->ms / 1000.0));
        const int now = Difference(movie_test::ReferenceFrameAt(movie, index), c->frame);
        const int before = index > 0 ? Difference(movie_test::ReferenceFrameAt(movie, index - 1), c->frame) : 255;
        EXPECT_LE(std::min(now, before), 2) << now << " " << before;
    }
    EXPECT_LT(g_first.ms, 40);
    EXPECT_LT(g_second.ms, 1100);
    EXPECT_GE(g_last.ms, 1960);

    // The recording: after its silence, the movie's sound.
    std::ifstream in(wav, std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(raw.size(), 44u);
    std::vector<int16_t> got((raw.size() - 44) / 2);
    std::memcpy(got.data(), raw.data() + 44, got.size() * 2);
    const auto want = movie_test::ReferenceSound(movie, 44100);
    size_t g = 0, w = 0;
    while (g < got.size() && got[g] == 0)
        ++g;
    while (w < want.size() && want[w] == 0)
        ++w;
    g &= ~size_t{1};
    w &= ~size_t{1};
    ASSERT_GT(got.size(), g + 44100);
    ASSERT_GT(want.size(), w + 44100);
    int worst = 0;
    for (size_t i = 0; i < 44100; ++i)
        worst = std::max(worst, std::abs(got[g + i] - want[w + i]));
    EXPECT_LE(worst, 1);
}
