// The window system's message paths on the headless host: a cross-thread SendMessageA round trip
// (goal: median <= 20 us) and PumpMessages clearing 10,000 queued mouse moves.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "platform/window_app.h"
#include "winapi/user.h"

namespace {

const bool g_headless = setenv("TESSARO_HOST", "headless", 1) == 0;

LRESULT CALLBACK Echo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER)
        return static_cast<LRESULT>(wParam + 1);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void RegisterEcho()
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = Echo;
    wc.lpszClassName = "BenchEcho";
    RegisterClassExA(&wc);
}

// A UI thread that owns a window and sits in GetMessageA; the benchmark thread sends to it.
void BM_CrossThreadSendMessage(benchmark::State& state)
{
    (void)g_headless;
    RegisterEcho();
    std::atomic<HWND> window{nullptr};
    std::thread ui([&] {
        HWND hwnd = CreateWindowExA(0, "BenchEcho", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        window = hwnd;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        DestroyWindow(hwnd);
    });
    while (window.load() == nullptr)
        std::this_thread::yield();
    WPARAM value = 0;
    for (auto _ : state) {
        const LRESULT answer = SendMessageA(window, WM_USER, value, 0);
        benchmark::DoNotOptimize(answer);
        ++value;
    }
    PostMessageA(window, WM_QUIT, 0, 0);
    ui.join();
    state.counters["goal_us"] = 20;
}
BENCHMARK(BM_CrossThreadSendMessage)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

class PumpApp : public CWindowApp {
public:
    PumpApp() : CWindowApp(true) {}
    int Init() override { return 0; }
};

void BM_PumpMessagesDropsMouseMoves(benchmark::State& state)
{
    RegisterEcho();
    HWND hwnd = CreateWindowExA(0, "BenchEcho", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    PumpApp app;
    app.PumpMessages(true);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 10000; ++i)
            PostMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELONG(i & 0x3FF, i >> 10));
        state.ResumeTiming();
        benchmark::DoNotOptimize(app.PumpMessages(false));
    }
    DestroyWindow(hwnd);
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_PumpMessagesDropsMouseMoves)->Unit(benchmark::kMillisecond);

} // namespace
