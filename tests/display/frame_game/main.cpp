// A small game over the application frame, run end to end on the headless host: it starts, and a
// driver thread waits for its first presented frame, types keys, clicks and Japanese text that
// must reach its action map and its text control, then closes the window. Exit code 0 when all of
// it arrived; the frame's own code otherwise (3: another copy runs).
//   frame_game threaded|single [--hold MS] [--name NAME]
// --hold runs the game for MS milliseconds of real time instead (for the single-instance checks).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "../frame_test_game.h"
#include "winapi/dinput.h"
#include "winapi/host_headless.h"
#include "winapi/text.h"

namespace {

constexpr uint32_t kDecide = 4;
constexpr uint32_t kClick = 6;

bool WaitFor(const std::function<bool()>& done, int ms = 10000)
{
    for (int waited = 0; waited < ms; waited += 2) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

} // namespace

int main(int argc, char** argv)
{
    const bool threaded = argc > 1 && std::strcmp(argv[1], "threaded") == 0;
    int holdMs = 0;
    std::string name = "FrameGame";
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--hold") == 0)
            holdMs = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--name") == 0)
            name = argv[i + 1];
    }
    winapi::CurrentHost();
    winapi::HeadlessHost* host = winapi::CurrentHeadlessHost();
    if (host == nullptr) {
        std::fprintf(stderr, "frame_game: needs the headless host\n");
        return 2;
    }
    FrameTestScreen screen;
    FrameTestGame game(&screen, name);
    game.configure = [threaded](AppFrameOptions& o) {
        o.singleInstance = 1;
        o.gameThread = threaded ? 1 : 0;
        o.inputMode = 2;
    };
    std::atomic<bool> decided{false}, clicked{false}, typed{false};
    const std::string wanted = winapi::Utf8ToSjis("aあ");
    bool attached = false;
    // The main window as the game's frames see it: the driver must not read the frame's handle
    // while the main thread is still setting it.
    std::atomic<HWND> window{nullptr};
    game.onFrame = [&](FrameTestGame& g) {
        if (!attached) {
            window = g.GetMainWindow();
            g.AttachTextInput(g.GetMainWindow());
            if (g.actions != nullptr) {
                g.actions->Bind(kDecide, 0, DIK_RETURN);
                g.actions->Bind(kClick, 1, 0);
            }
            attached = true;
        }
        if (g.actions != nullptr && g.actions->IsPushed(kDecide))
            decided = true;
        if (g.actions != nullptr && g.actions->IsPushed(kClick))
            clicked = true;
        g.DeliverTextInput(&g.textControl);
        if (g.textControl.text.find(wanted) != std::string::npos)
            typed = true;
    };
    std::atomic<bool> driverOk{true}, finished{false};
    std::thread driver([&] {
        HWND hwnd = nullptr;
        const bool shown = WaitFor([&] {
            hwnd = window;
            return finished || (hwnd != nullptr && host->PresentCount(hwnd) > 0 && game.frames > 1);
        });
        if (finished)
            return;
        if (!shown) {
            std::fprintf(stderr, "frame_game: no frame presented\n");
            driverOk = false;
            return;
        }
        if (holdMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
        } else {
            host->PressKey(hwnd, 40);  // Enter
            host->Click(hwnd, 20, 20);
            winapi::HostText(hwnd, "aあ");
            if (!WaitFor([&] { return decided && clicked && typed; })) {
                std::fprintf(stderr, "frame_game: input lost (key %d, click %d, text %d)\n", decided.load(),
                             clicked.load(), typed.load());
                driverOk = false;
            }
        }
        winapi::HostCloseRequest(hwnd);
    });
    const int code = game.Run(nullptr, nullptr, nullptr, SW_SHOW);
    finished = true;
    driver.join();
    if (code != 0)
        return code;
    return driverOk ? 0 : 1;
}
