// The demo game the build makes (build/demo), in the real program's entry:
// - from GameMain to the first present showing the title picture, on the headless host (goal
//   <= 150 ms) and on SDL's offscreen driver (goal: at most 150 ms above the peer). The peer is a
//   plain SDL program of ours that decodes the title's PNG with libpng, opens an 800x600 window and
//   presents the picture. SDL's own start (SDL_InitSubSystem) is outside both times.
// - the peak resident memory (VmHWM) of the real `tessaro` over the whole scripted play of
//   tools/demo/play.txt on the headless host (goal <= 64 MB; the close box answered Yes after the
//   play's end), beside the peak of the same plain SDL program as a process of its own: the
//   floor of any SDL window. That program is this file built with TESSARO_DEMO_PEER (its `main`
//   at the end, nothing of the game linked); it prints its peak (VmHWM, kB) for the contest.
//
// "Showing the title": the band above the title's choice lines holds the picture, either whole or
// as the first step of its cross-fade from black (every pixel the picture's scaled by one factor,
// within rounding). The time to the whole picture (the fade's 500 ms take part on the real clock)
// is printed beside, as title_whole_ms, and the time to the window's first present of any picture
// as first_present_ms.
#include <SDL.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifndef TESSARO_DEMO_PEER
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "contest.h"
#include "game/game_main.h"
#include "game/resources.h"
#include "winapi/clock.h"
#include "winapi/dialogs/dialog_script.h"
#include "winapi/host_headless.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

const std::string kGame = TESSARO_DEMO_DIR;
const std::string kTitlePng = std::string(TESSARO_DEMO_WORK_DIR) + "/png/TITLE.png";

// A picture as 0x00RRGGBB words, rows top first (the layout of a window's pixels).
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

// The peer's way to the picture: libpng's simplified reader, BGRA bytes.
bool DecodePng(const std::string& path, Picture* out)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_BGRA;
    out->width = static_cast<int>(image.width);
    out->height = static_cast<int>(image.height);
    out->pixels.assign(static_cast<size_t>(out->width) * out->height, 0);
    if (!png_image_finish_read(&image, nullptr, out->pixels.data(), 0, nullptr))
        return false;
    for (uint32_t& p : out->pixels)
        p &= 0xFFFFFF;
    return true;
}

// The plain SDL program: the picture from its PNG into an 800x600 window, presented → false when
// a step failed. The window closes after the present.
bool PeerShowsTitle()
{
    Picture title;
    if (!DecodePng(kTitlePng, &title))
        return false;
    SDL_Window* window = SDL_CreateWindow("peer", 0, 0, 800, 600, SDL_WINDOW_SHOWN);
    if (window == nullptr)
        return false;
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(title.pixels.data(), title.width, title.height, 32,
                                                              title.width * 4, SDL_PIXELFORMAT_RGB888);
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    const bool ok = picture != nullptr && surface != nullptr && SDL_BlitSurface(picture, nullptr, surface, nullptr) == 0 &&
                    SDL_UpdateWindowSurface(window) == 0;
    SDL_FreeSurface(picture);
    SDL_DestroyWindow(window);
    return ok;
}

// The peak resident memory of a process in kB (VmHWM of /proc/PID/status); 0 when unknown.
long PeakKb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

// What the window shows in the band above the title's choice lines.
enum class Seen { Nothing, FadeBegun, Whole };

Seen TitleIn(const winapi::FrameView& view, const Picture& title)
{
    constexpr int kBandHeight = 130;
    if (view.width != title.width || view.height < kBandHeight || title.height < kBandHeight)
        return Seen::Nothing;
    if (std::memcmp(view.pixels, title.pixels.data(), static_cast<size_t>(view.width) * kBandHeight * 4) == 0)
        return Seen::Whole;
    // The fade on a grid of every 4th pixel each way: the check runs at every present until the
    // title stands, inside the time measured.
    int64_t shown = 0, picture = 0;
    for (int y = 0; y < kBandHeight; y += 4)
        for (int x = 0; x < view.width; x += 4)
            for (int shift = 0; shift < 24; shift += 8) {
                shown += (view.pixels[y * view.width + x] >> shift) & 0xFF;
                picture += (title.pixels[y * title.width + x] >> shift) & 0xFF;
            }
    if (shown == 0 || picture == 0)
        return Seen::Nothing;
    // Each sampled channel within 3 of the picture's times shown / picture.
    for (int y = 0; y < kBandHeight; y += 4)
        for (int x = 0; x < view.width; x += 4)
            for (int shift = 0; shift < 24; shift += 8) {
                const int64_t v = (view.pixels[y * view.width + x] >> shift) & 0xFF;
                const int64_t t = (title.pixels[y * title.width + x] >> shift) & 0xFF;
                if (std::llabs(v * picture - t * shown) > 3 * picture)
                    return Seen::Nothing;
            }
    return Seen::FadeBegun;
}

// Watches the game's presents for the title; once it stands whole, a helper thread asks the
// window to close (the quit question is answered by a dialog script).
struct TitleWatch {
    Picture title;
    std::atomic<bool> whole{false};
    std::atomic<HWND> window{nullptr};
    Clock::time_point first{}, begun{}, wholeAt{};
    bool sawFirst = false, sawBegun = false;

    void Look(HWND hwnd, const winapi::FrameView& view)
    {
        if (!sawFirst) {
            sawFirst = true;
            first = Clock::now();
        }
        if (whole)
            return;
        const Seen seen = TitleIn(view, title);
        if (seen == Seen::Nothing)
            return;
        const auto now = Clock::now();
        if (!sawBegun) {
            sawBegun = true;
            begun = now;
        }
        if (seen == Seen::Whole) {
            wholeAt = now;
            window = hwnd;
            whole = true;
        }
    }
};

TitleWatch g_watch;

class WatchedHeadlessHost : public winapi::HeadlessHost {
public:
    void Present(HWND hwnd, const winapi::FrameView& view, const std::vector<RECT>& rects) override
    {
        HeadlessHost::Present(hwnd, view, rects);
        g_watch.Look(hwnd, view);
    }
};

// The SDL host with the watch after each present.
class WatchedHost : public winapi::Host {
public:
    explicit WatchedHost(std::unique_ptr<winapi::Host> inner) : inner_(std::move(inner)) {}
    const char* Name() const override { return inner_->Name(); }
    bool OpenWindow(HWND hwnd, const winapi::HostWindowState& state) override { return inner_->OpenWindow(hwnd, state); }
    void CloseWindow(HWND hwnd) override { inner_->CloseWindow(hwnd); }
    void UpdateWindow(HWND hwnd, const winapi::HostWindowState& state) override { inner_->UpdateWindow(hwnd, state); }
    void Present(HWND hwnd, const winapi::FrameView& view, const std::vector<RECT>& rects) override
    {
        inner_->Present(hwnd, view, rects);
        g_watch.Look(hwnd, view);
    }
    winapi::Frame ReadBack(HWND hwnd) override { return inner_->ReadBack(hwnd); }
    bool Pump() override { return inner_->Pump(); }
    bool WaitForInput(int timeoutMs) override { return inner_->WaitForInput(timeoutMs); }
    void WakeWait() override { inner_->WakeWait(); }
    int MessageBox(const std::string& text, const std::string& caption, UINT type) override
    {
        return inner_->MessageBox(text, caption, type);
    }
    std::vector<winapi::DisplayInfo> Displays() override { return inner_->Displays(); }
    std::vector<winapi::DisplayInfo> Modes(int display) override { return inner_->Modes(display); }
    void SetCursorVisible(bool visible) override { inner_->SetCursorVisible(visible); }
    void WarpCursor(HWND hwnd, int x, int y) override { inner_->WarpCursor(hwnd, x, y); }
    void SetCursorShape(const uint32_t* pixels, int width, int height, int hotX, int hotY, int standardId) override
    {
        inner_->SetCursorShape(pixels, width, height, hotX, hotY, standardId);
    }
    void SetTextInput(bool on) override { inner_->SetTextInput(on); }
    void SetScreenSaverAllowed(bool allowed) override { inner_->SetScreenSaverAllowed(allowed); }
    void SetKeyboardGrab(HWND hwnd, bool grab) override { inner_->SetKeyboardGrab(hwnd, grab); }
    void SetTextInputRect(HWND hwnd, const RECT& rect) override { inner_->SetTextInputRect(hwnd, rect); }
    void SetClipboardText(const std::string& text) override { inner_->SetClipboardText(text); }

private:
    std::unique_ptr<winapi::Host> inner_;
};

// HOME and the XDG folders of the runs (saves, settings, the one-copy lock) in a temporary folder.
struct RunFolders {
    std::string root;
    RunFolders()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessaro-demo-bench-XXXXXX").string();
        root = mkdtemp(pattern.data());
        std::filesystem::create_directories(root + "/run");
        std::filesystem::permissions(root + "/run", std::filesystem::perms::owner_all);
        std::filesystem::create_directories(root + "/frames");
    }
    ~RunFolders() { std::filesystem::remove_all(root); }
    std::vector<std::string> Environment() const
    {
        return {"HOME=" + root + "/home", "XDG_DATA_HOME=" + root + "/home/data",
                "XDG_CONFIG_HOME=" + root + "/home/config", "XDG_RUNTIME_DIR=" + root + "/run"};
    }
    void Use() const
    {
        for (const std::string& pair : Environment()) {
            const size_t eq = pair.find('=');
            setenv(pair.substr(0, eq).c_str(), pair.substr(eq + 1).c_str(), 1);
        }
    }
};

// One run of the game from GameMain until the title stands whole and the window is closed →
// the milliseconds to the first present showing the title (negative when the run failed), to the
// whole title through *wholeMs and to the window's first present through *firstMs.
double RunToTitle(double* wholeMs, double* firstMs)
{
    g_watch.whole = false;
    g_watch.sawFirst = false;
    g_watch.sawBegun = false;
    g_watch.window = nullptr;
    winapi::dialogs::QueueDialogScript(kDlgMessageYesNo, {winapi::dialogs::ClickOn(kCtlYes)});
    std::atomic<bool> ended{false};
    std::thread closer([&] {
        for (int i = 0; i < 30000 && !ended && !g_watch.whole; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (HWND hwnd = g_watch.window)
            winapi::HostCloseRequest(hwnd);
    });
    std::string folder = kGame;
    char program[] = "tessaro";
    char* argv[] = {program, folder.data(), nullptr};
    const auto start = Clock::now();
    const int status = GameMain(2, argv);
    ended = true;
    closer.join();
    winapi::dialogs::ClearDialogScripts();
    if (status != 0 || !g_watch.whole)
        return -1;
    *wholeMs = Ms(start, g_watch.wholeAt);
    *firstMs = Ms(start, g_watch.first);
    return Ms(start, g_watch.begun);
}

// Ours and the peer alternately, `runs` times each: medians as the contest's counters.
void TitleContest(benchmark::State& state, int runs, double mostAbovePeer, double mostMs)
{
    if (!DecodePng(kTitlePng, &g_watch.title)) {
        state.SkipWithError(("cannot read " + kTitlePng).c_str());
        return;
    }
    RunFolders folders;
    folders.Use();
    std::vector<double> ours, whole, first, peer;
    for (auto _ : state) {
        for (int i = 0; i < runs; ++i) {
            double wholeMs = 0, firstMs = 0;
            const double ms = RunToTitle(&wholeMs, &firstMs);
            if (ms < 0) {
                state.SkipWithError("the game did not show its title and end with 0");
                return;
            }
            ours.push_back(ms);
            whole.push_back(wholeMs);
            first.push_back(firstMs);
            const auto a = Clock::now();
            if (!PeerShowsTitle()) {
                state.SkipWithError("the peer could not show the title");
                return;
            }
            peer.push_back(Ms(a, Clock::now()));
        }
    }
    const double o = bench::MedianMs(ours), p = bench::MedianMs(peer);
    state.counters["ours_ms"] = o;
    state.counters["peer_ms"] = p;
    state.counters["ratio"] = p / o;
    state.counters["title_whole_ms"] = bench::MedianMs(whole);
    state.counters["first_present_ms"] = bench::MedianMs(first);
    state.counters["ms_above_peer"] = o - p;
    // Headless the goal is a time, at most mostMs: the ratio peer / mostMs at least. On SDL ours
    // may stand at most mostAbovePeer ms above the peer: the ratio peer / (peer + mostAbovePeer).
    const bench::Goal goal{.ratio = mostAbovePeer > 0 ? p / (p + mostAbovePeer) : p / mostMs, .ms = mostMs};
    bench::ReportGoal(state, goal);
    if (mostAbovePeer > 0)
        bench::ReportCeiling(state, "ms_above_peer", mostAbovePeer);
    if (!(o > 0 && p > 0))
        state.SkipWithError("the contest measured no time");
}

// SDL's offscreen driver for the peer (and the SDL host); false with the entry skipped when SDL
// cannot start it.
bool StartSdlOffscreen(benchmark::State& state)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        state.SkipWithError("SDL has no offscreen driver");
        return false;
    }
    return true;
}

void DemoTitleHeadless(benchmark::State& state)
{
    if (!StartSdlOffscreen(state))
        return;
    winapi::SetHost(std::make_unique<WatchedHeadlessHost>());
    TitleContest(state, 7, 0, 150);
}
BENCHMARK(DemoTitleHeadless)->Iterations(1)->Unit(benchmark::kMillisecond);

void DemoTitleSdl(benchmark::State& state)
{
    if (!StartSdlOffscreen(state))
        return;
    // A machine with sound: where SDL finds no card the start-up would stop at the warning box.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    auto host = winapi::MakeSdlHost();
    if (!host) {
        state.SkipWithError("the SDL host cannot start");
        return;
    }
    winapi::SetHost(std::make_unique<WatchedHost>(std::move(host)));
    winapi::UseVirtualClock(false);
    TitleContest(state, 5, 150, 0);
}
BENCHMARK(DemoTitleSdl)->Iterations(1)->Unit(benchmark::kMillisecond);

// Starts a program with extra environment pairs in the working folder, its output into the file
// named (none: its own), its errors to /dev/null → its pid, or -1.
pid_t Start(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& extra,
            const std::string& folder, const std::string& output = {})
{
    std::vector<std::string> env(extra);
    for (char** e = environ; *e != nullptr; ++e)
        env.emplace_back(*e);
    std::vector<char*> envp, argv;
    for (std::string& s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    for (std::string& s : all)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!output.empty())
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

void DemoPlayPeakMemory(benchmark::State& state)
{
    RunFolders folders;
    long oursKb = 0, peerKb = 0;
    double oursMs = 0, peerMs = 0;
    for (auto _ : state) {
        // Ours: the real program over the whole play; its VmHWM read until it ends (the peak
        // only grows, and its end only frees).
        // The play, with the window's close box answered Yes after its end, so that a play that
        // does not reach おわる still ends.
        const std::string play = folders.root + "/play.txt";
        {
            std::ifstream in(TESSARO_PLAY_FILE);
            std::ofstream out(play);
            out << in.rdbuf() << "\n+10000 answer yes\n+0 close\n";
        }
        std::vector<std::string> env = folders.Environment();
        env.insert(env.end(), {"TESSARO_HOST=headless", "TESSARO_PLAY=" + play});
        auto a = Clock::now();
        const pid_t game = Start(TESSARO_EXE, {kGame}, env, folders.root + "/frames", "/dev/null");
        if (game < 0) {
            state.SkipWithError("cannot start " TESSARO_EXE);
            return;
        }
        int status = 0;
        for (;;) {
            const long kb = PeakKb(game);
            if (kb > oursKb)
                oursKb = kb;
            if (waitpid(game, &status, WNOHANG) == game)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        oursMs = Ms(a, Clock::now());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the play did not end with status 0");
            return;
        }
        // The peer: the plain SDL program (this file's peer build), reporting its own peak.
        const std::string report = folders.root + "/peer-peak";
        a = Clock::now();
        const pid_t peer = Start(TESSARO_PEER_EXE, {kTitlePng}, {}, folders.root, report);
        if (peer < 0 || waitpid(peer, &status, 0) != peer || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the peer program failed");
            return;
        }
        peerMs = Ms(a, Clock::now());
        std::ifstream(report) >> peerKb;
    }
    // ours_ms and peer_ms are the programs' whole runs; the ratio is of the peaks.
    state.counters["ours_ms"] = oursMs;
    state.counters["peer_ms"] = peerMs;
    state.counters["ours_mb"] = oursKb / 1024.0;
    state.counters["peer_mb"] = peerKb / 1024.0;
    state.counters["ratio"] = oursKb > 0 ? static_cast<double>(peerKb) / oursKb : 0;
    // At most 64 MB of ours: the ratio of the peaks at least the peer's peak over 64 MB.
    constexpr double kMostMb = 64;
    const bench::Goal goal{.ratio = peerKb / (kMostMb * 1024)};
    bench::ReportGoal(state, goal);
    bench::ReportCeiling(state, "ours_mb", kMostMb);
    if (!(oursMs > 0 && peerMs > 0 && oursKb > 0 && peerKb > 0))
        state.SkipWithError("the contest measured no time or no memory");
}
BENCHMARK(DemoPlayPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

#else

// The peer: decodes the PNG with libpng, opens an 800x600 window on SDL's offscreen driver,
// presents the picture and prints its own peak resident memory. Usage: peer_sdl_title PNG.
int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, argv[1]))
        return 1;
    image.format = PNG_FORMAT_BGRA;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return 1;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return 1;
    SDL_Window* window = SDL_CreateWindow("peer", 0, 0, 800, 600, SDL_WINDOW_SHOWN);
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), static_cast<int>(image.width),
                                                              static_cast<int>(image.height), 32,
                                                              static_cast<int>(image.width) * 4, SDL_PIXELFORMAT_ARGB8888);
    SDL_Surface* surface = window != nullptr ? SDL_GetWindowSurface(window) : nullptr;
    const bool ok = picture != nullptr && surface != nullptr && SDL_BlitSurface(picture, nullptr, surface, nullptr) == 0 &&
                    SDL_UpdateWindowSurface(window) == 0;
    long peak = 0;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr)
            if (std::strncmp(line, "VmHWM:", 6) == 0)
                peak = std::strtol(line + 6, nullptr, 10);
        std::fclose(status);
    }
    SDL_FreeSurface(picture);
    if (window != nullptr)
        SDL_DestroyWindow(window);
    SDL_Quit();
    if (!ok)
        return 1;
    std::printf("%ld\n", peak);
    return 0;
}

#endif
