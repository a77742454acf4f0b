// Playing a movie: a 1280×720, 30 fps, 20 s H.264 movie without sound (made once by ffmpeg)
// played by CMovieSprite into a 1280×720 frame image presented on the headless host, one frame
// per step of the virtual clock; the peer is ffmpeg on the same file doing the same work: every
// frame decoded and converted to B, G, R, A at its size with the libraries' swscale flags
// (`ffmpeg -threads 0 -i FILE -sws_flags FLAGS -pix_fmt bgra -f null -`). Counters: ours_fps and
// peer_fps, and the ratio of our rate to ffmpeg's (ratio = peer time / our time); the goal is 0.9.
#include "contest.h"
#include "display/movie_object.h"
#include "display/surface_sprite.h"
#include "files/file_manager.h"
#include "files/movie_library.h"
#include "files/path_utils.h"
#include "files/pixel_library.h"
#include "platform/cpu_info.h"
#include "raster/pixel_lib.h"
#include "winapi/clock.h"
#include "winapi/host_headless.h"
#include "winapi/movie.h"
#include "winapi/user.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

constexpr int kW = 1280, kH = 720, kFps = 30, kSeconds = 20, kFrames = kFps * kSeconds;

struct Setup {
    Setup()
    {
        folder = (std::filesystem::temp_directory_path() / "tessaro-movie-bench").string();
        std::filesystem::create_directories(folder);
        path = folder + "/play.mp4";
        if (!std::filesystem::exists(path)) {
            const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=1280x720:rate=30:duration=20 "
                                        "-c:v libx264 -preset veryfast -pix_fmt yuv420p -an '" + path + ".tmp.mp4' && mv '" +
                                        path + ".tmp.mp4' '" + path + "'";
            if (std::system(command.c_str()) != 0)
                return;
        }
        winapi::SetHost(std::make_unique<winapi::HeadlessHost>());
        RegisterPixelLibraryModule();
        pixels.reset(LoadPixelLibrary("Z:\\Game\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(pixels.get());
        RegisterMovieModules();
        sprites.reset(LoadMovieLibrary("Z:\\Game\\", MovieLibraryKind::Sprite));
        PublishMovieLibrary(MovieLibraryKind::Sprite, sprites.get());
        std::string base = "Z:" + folder + "\\";
        for (char& c : base)
            if (c == '/')
                c = '\\';
        SetBaseFolder(base.c_str());
        g_pFileManager = &files;
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "MovieBench";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "MovieBench", "bench", WS_POPUP | WS_VISIBLE, 0, 0, kW, kH, nullptr, nullptr,
                                 nullptr, nullptr);
        canvas.Create(kW, kH, 32, 0);
        winapi::UseVirtualClock(true);
        ready = window != nullptr;
    }
    std::string folder, path;
    CFileManager files;
    std::unique_ptr<CPixelLibrary> pixels;
    std::unique_ptr<CMovieLibrary> sprites;
    HWND window = nullptr;
    CSurfaceSprite canvas;
    bool ready = false;
};

Setup& Shared()
{
    static Setup* setup = new Setup();
    return *setup;
}

void BM_MoviePlay(benchmark::State& state)
{
    Setup& s = Shared();
    if (!s.ready) {
        state.SkipWithError("ffmpeg or the headless window is missing");
        return;
    }
    bool failed = false;
    bench::Contest(
        state,
        [&] {
            CMovieSprite sprite;
            if (sprite.Open("play.mp4", 0, 0, nullptr) != 0) {
                failed = true;
                return;
            }
            const uint64_t start = winapi::ClockMilliseconds();
            sprite.Play();
            for (int k = 0; k < kFrames; ++k) {
                // Frame k falls due at k / 30 s: the clock is put just past it.
                winapi::SetVirtualTime(start + static_cast<uint64_t>(k) * 1000 / kFps + 1);
                sprite.Draw(s.canvas.GetImage(), nullptr);
                s.canvas.Present(s.window, nullptr, nullptr, 0, false);
            }
        },
        [&] {
            const std::string command = "ffmpeg -nostdin -loglevel error -threads 0 -i '" + s.path + "' -sws_flags " +
                                        kMovieSwsFlagsText + " -pix_fmt bgra -f null -";
            if (std::system(command.c_str()) != 0)
                failed = true;
        },
        3);
    // A side that did not play its movie timed nothing: no figures rather than false ones.
    if (failed) {
        state.SkipWithError("the movie did not open or ffmpeg failed");
        return;
    }
    const double oursFps = kFrames / (state.counters["ours_ms"] / 1000.0);
    const double peerFps = kFrames / (state.counters["peer_ms"] / 1000.0);
    state.counters["ours_fps"] = oursFps;
    state.counters["peer_fps"] = peerFps;
    state.counters["ratio"] = oursFps / peerFps; // the same work both sides: peer time / our time
    bench::ReportGoal(state, {.ratio = 0.9});
}
BENCHMARK(BM_MoviePlay)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
