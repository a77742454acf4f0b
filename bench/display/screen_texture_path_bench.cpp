// The screen's full-screen texture path on the headless host: a 640x480 frame image changed
// whole, shown scaled to a 1440x1080 display (texture upload, bilinear quad, blit into the
// window's store), beside pixman's bilinear scaling (PIXMAN_REPEAT_PAD) of the same pixels.
#include "contest.h"
#include "display/screen.h"
#include "display/surface_sprite.h"
#include "platform/monitor_list.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <pixman.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace {

void BM_FullScreenTexturePathVsPixman(benchmark::State& state)
{
    setenv("TESSARO_HOST", "headless", 1);
    winapi::CurrentHost();
    winapi::DisplayInfo display;
    display.bounds = display.work = RECT{0, 0, 1440, 1080};
    winapi::CurrentHeadlessHost()->SetDisplays({display});
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "TexturePathBench";
    RegisterClassExA(&wc);
    HWND window = CreateWindowExA(0, "TexturePathBench", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 1440, 1080, nullptr,
                                  nullptr, nullptr, nullptr);
    CSurfaceSprite canvas;
    canvas.Create(640, 480, 32, 0);
    std::mt19937 random(5);
    std::vector<uint32_t> src(640 * 480);
    for (LONG y = 0; y < 480; ++y)
        for (LONG x = 0; x < 640; ++x) {
            const uint32_t v = 0xFF000000u | (random() & 0xF0F0F0u);
            reinterpret_cast<uint32_t*>(canvas.GetImage()->GetRowAddress(y))[x] = v;
            src[static_cast<size_t>(y) * 640 + x] = v;
        }
    {
        CScreen screen;
        screen.SetFrameImage(&canvas);
        screen.SetPresentPathRequest(3);
        CMonitorList monitors;
        screen.EnumDisplayDevices(&monitors, 640, 480, false);
        // Full screen at the desktop's resolution: the game is scaled into it.
        screen.SelectDisplayMode(false, nullptr, 0, 0, &monitors);
        if (screen.CreateDisplay(window, false, false, false) != 0 || screen.GetPresentPath() != 2) {
            state.SkipWithError("no texture path");
            return;
        }
        std::vector<uint32_t> dst(1440 * 1080);
        pixman_image_t* in = pixman_image_create_bits(PIXMAN_x8r8g8b8, 640, 480, src.data(), 640 * 4);
        pixman_image_t* out = pixman_image_create_bits(PIXMAN_x8r8g8b8, 1440, 1080, dst.data(), 1440 * 4);
        pixman_transform_t transform;
        pixman_transform_init_scale(&transform, pixman_double_to_fixed(640.0 / 1440),
                                    pixman_double_to_fixed(480.0 / 1080));
        pixman_image_set_transform(in, &transform);
        pixman_image_set_filter(in, PIXMAN_FILTER_BILINEAR, nullptr, 0);
        pixman_image_set_repeat(in, PIXMAN_REPEAT_PAD);
        bench::Contest(
            state,
            [&] {
                canvas.InvalidateRect(nullptr);
                screen.ClearBackBuffer();
                screen.RenderFrameImage();
            },
            [&] { pixman_image_composite32(PIXMAN_OP_SRC, in, nullptr, out, 0, 0, 0, 0, 0, 0, 1440, 1080); }, 5);
        // Ours scales as the peer does and also uploads the frame and copies the result into the
        // window's store: at most twice the peer's time.
        state.counters["ratio"] = state.counters["peer_ms"] / state.counters["ours_ms"];
        bench::ReportGoal(state, {.ratio = 0.5});
        pixman_image_unref(in);
        pixman_image_unref(out);
        screen.SetFrameImage(nullptr);
    }
    DestroyWindow(window);
}
BENCHMARK(BM_FullScreenTexturePathVsPixman)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
