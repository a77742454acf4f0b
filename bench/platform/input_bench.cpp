// Input: CInputManager::Poll once a frame in each mode, without joysticks and with one, beside
// SDL's own per-frame read (SDL_PumpEvents, SDL_GetKeyboardState, SDL_GetMouseState, and the
// joystick's axes and buttons); CActionMap::IsPushed over six actions of three bindings; and
// the process walk of the system information over 500 made-up processes and over this /proc.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "contest.h"
#include "platform/input_manager.h"
#include "platform/report_format.h"
#include "winapi/host.h"
#include "winapi/joystick.h"
#include "winapi/toolhelp.h"

namespace {

constexpr int kFrames = 1000;

// Our time per frame beside the contest's figures.
void ContestPerFrame(benchmark::State& state, const std::function<void()>& ours, const std::function<void()>& peer)
{
    bench::Contest(state, ours, peer);
    state.counters["ours_us_per_frame"] = state.counters["ours_ms"] * 1000.0 / kFrames;
}

HWND Window()
{
    static HWND hwnd = [] {
        setenv("TESSARO_HOST", "headless", 1);
        winapi::CurrentHost();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "InputBench";
        RegisterClassExA(&wc);
        HWND window = CreateWindowExA(0, "InputBench", "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480,
                                      nullptr, nullptr, nullptr, nullptr);
        SetActiveWindow(window);
        return window;
    }();
    return hwnd;
}

SDL_Joystick* g_sdlJoystick = nullptr;

bool StartSdl()
{
    static const bool started = [] {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) != 0)
            return false;
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 1);
        g_sdlJoystick = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
        return true;
    }();
    return started;
}

// mode: 0 DirectInput, 1 polling, 2 window messages; range(1): with one joystick.
void PollPerFrame(benchmark::State& state)
{
    const int mode = static_cast<int>(state.range(0));
    const bool joystick = state.range(1) != 0;
    HWND hwnd = Window();
    if (!StartSdl()) {
        state.SkipWithError("SDL did not start");
        return;
    }
    CoInitialize(nullptr);
    winapi::DetachAllJoysticks();
    JoystickSlotTable = JoystickSlotTableType{};
    if (joystick) {
        winapi::JoystickInfo pad;
        pad.nameUtf8 = "pad";
        pad.buttons = 10;
        pad.axes = 6;
        winapi::AttachJoystick(pad);
    }
    {
        CInputManager manager;
        manager.OpenDirectInput(mode == 0, reinterpret_cast<HINSTANCE>(1));
        manager.CreateDevices(hwnd, mode, mode);
        if (joystick)
            manager.CreateJoystick(-1, hwnd);
        manager.AcquireAll();
        volatile int sink = 0;
        ContestPerFrame(
            state,
            [&] {
                for (int frame = 0; frame < kFrames; ++frame) {
                    manager.Poll();
                    sink = sink + manager.GetKeyboard()->IsPushed(DIK_RETURN);
                }
            },
            [&] {
                for (int frame = 0; frame < kFrames; ++frame) {
                    SDL_PumpEvents();
                    int count = 0;
                    const Uint8* keys = SDL_GetKeyboardState(&count);
                    int x = 0, y = 0;
                    const Uint32 buttons = SDL_GetMouseState(&x, &y);
                    int value = keys[SDL_SCANCODE_RETURN] + static_cast<int>(buttons);
                    if (joystick && g_sdlJoystick != nullptr) {
                        value += SDL_JoystickGetAxis(g_sdlJoystick, 0) + SDL_JoystickGetAxis(g_sdlJoystick, 1);
                        for (int b = 0; b < 10; ++b)
                            value += SDL_JoystickGetButton(g_sdlJoystick, b);
                    }
                    sink = sink + value;
                }
            });
    }
    // Without joysticks a frame's poll stays under 2 µs (ours_ms holds kFrames of them); with one,
    // it is no slower than SDL's own read of the same state.
    if (!joystick)
        bench::ReportGoal(state, {.ms = 0.002 * kFrames});
    else
        bench::ReportGoal(state, {.ratio = 1});
    winapi::DetachAllJoysticks();
    CoUninitialize();
}
BENCHMARK(PollPerFrame)
    ->ArgNames({"mode", "joystick"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Six actions of three bindings each (a key, a mouse button, a joystick button), all released:
// every binding is asked.
void ActionMapIsPushedSixActions(benchmark::State& state)
{
    HWND hwnd = Window();
    winapi::DetachAllJoysticks();
    JoystickSlotTable = JoystickSlotTableType{};
    winapi::JoystickInfo pad;
    pad.nameUtf8 = "pad";
    pad.buttons = 10;
    winapi::AttachJoystick(pad);
    CInputManager manager;
    manager.CreateDevices(hwnd, 2, 2);
    manager.CreateJoystick(-1, hwnd);
    manager.AcquireAll();
    manager.Poll();
    CActionMap* map = nullptr;
    manager.CreateActionMap(6, &map);
    for (uint32_t action = 0; action < 6; ++action) {
        map->Bind(action, 0, static_cast<uint8_t>(DIK_A + action));
        map->Bind(action, 1, static_cast<uint8_t>(action % 3));
        map->Bind(action, 2, static_cast<uint8_t>(4 + action));
    }
    int pushed = 0;
    for (auto _ : state) {
        for (uint32_t action = 0; action < 6; ++action)
            pushed += map->IsPushed(action) ? 1 : 0;
        benchmark::DoNotOptimize(pushed);
    }
    state.counters["ns_per_six"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    winapi::DetachAllJoysticks();
}
BENCHMARK(ActionMapIsPushedSixActions);

// The report's process walk (module paths) over 500 made-up processes (range 1) or this /proc (0).
void ProcessWalk(benchmark::State& state)
{
    std::filesystem::path root;
    if (state.range(0) != 0) {
        char pattern[] = "/tmp/tessaro-proc-XXXXXX";
        root = mkdtemp(pattern);
        for (int pid = 1; pid <= 500; ++pid) {
            const std::filesystem::path folder = root / std::to_string(pid);
            std::filesystem::create_directories(folder);
            std::ofstream(folder / "comm") << "process" << pid << "\n";
            std::filesystem::create_symlink("/usr/bin/program" + std::to_string(pid), folder / "exe");
        }
        winapi::SetProcRootForTests(root.string());
    }
    size_t lines = 0;
    for (auto _ : state) {
        lines = 0;
        ForEachProcess(true, [&](const char*) { ++lines; });
    }
    state.counters["processes"] = static_cast<double>(lines);
    winapi::SetProcRootForTests("");
    if (!root.empty())
        std::filesystem::remove_all(root);
}
BENCHMARK(ProcessWalk)->ArgNames({"fake500"})->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace
