// The effects on the screen, headless: the front canvas is the GDI screen's frame image; quake
// (both modes), noise and weather are made by name from the host's rows; every 16 ms the clock,
// the scheduler and RenderFrameImage run, and the host's pixels must equal a second scene set by
// hand to the effects' state. Then a wipe reveals a picture on an image the scene shows.
#include "effect_test_world.h"
#include "shown_frame.h"

#include <cmath>

#include "display/screen.h"
#include "drawing/primitive_object.h"
#include "drawing/sprite.h"
#include "effects/layer_quake.h"
#include "effects/wipe_task.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <cstdlib>
#include <map>

#include <zlib.h>

#include "authoring/picture_io.h"

using namespace effects_test;

namespace {

constexpr LONG kW = 160, kH = 120;

CScreen* g_shownScreen = nullptr;

LRESULT CALLBACK PaintProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        if (g_shownScreen)
            g_shownScreen->PaintToDC(dc, &paint.rcPaint);
        EndPaint(hwnd, &paint);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

class EffectsMilestone : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(screen.CreateSurfaceSprite(&front, kW, kH, 32, 1), 0);
        ASSERT_EQ(screen.CreateSurfaceSprite(&back, kW, kH, 32, 1), 0);
        ASSERT_EQ(front->SetBackCanvas(back), 0);
        front->GetScene()->SetBackgroundImage(world.frontBackground.get(), 0, 0, true);
        back->GetScene()->SetBackgroundImage(world.backBackground.get(), 0, 0, true);
        g_shownScreen = &screen;
        ASSERT_EQ(screen.SetFrameImage(front), 0);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PaintProc;
        wc.lpszClassName = "EffectsMilestone";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "EffectsMilestone", "effects", WS_POPUP | WS_VISIBLE, 0, 0, kW, kH, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        Pump();
        ASSERT_EQ(screen.CreateDisplay(window, true, false, false), 0);
        ASSERT_EQ(expectedTarget.Create(kW, kH, 32, 0), 0);
        ASSERT_EQ(expected.SetTarget(&expectedTarget, true), 0);
        ASSERT_EQ(rendered.Create(kW, kH, 32, 0), 0);
    }
    void TearDown() override
    {
        world.scheduler.CancelAll();
        screen.SetFrameImage(nullptr);
        g_shownScreen = nullptr;
        if (window)
            DestroyWindow(window);
        Pump();
    }

    // One frame: clock, scheduler, frame image, messages.
    void Frame()
    {
        world.Tick(16);
        ASSERT_GE(screen.RenderFrameImage(), 0);
        Pump();
    }

    // The host's pixels against the hand-set scene.
    void ExpectShown(const char* what)
    {
        ASSERT_EQ(expected.RenderToImage(&rendered, 0, 0, false), 0);
        const winapi::Frame shown = winapi::CurrentHost().ReadBack(window);
        ASSERT_EQ(shown.width, kW);
        ASSERT_EQ(shown.height, kH);
        EXPECT_EQ(CountShownMismatches(shown, rendered, what), 0) << what;
    }

    // The shown frame's CRC-32, kept under its name (TESSARO_EFFECTS_FRAMES=DIR writes it out).
    void Golden(const std::string& name) { crcs[name] = ShownFrameCrc(winapi::CurrentHost().ReadBack(window), name); }

    // The hand-set scene takes copies of every drawable of the front scene, in place.
    void MirrorDrawables()
    {
        expected.GetList().Clear();
        mirrors.clear();
        effects_test::MirrorDrawables(*front->GetScene(), expected, &mirrors);
    }

    EffectWorld world{kW, kH};
    CScreen screen;
    CSurfaceSprite* front = nullptr;
    CSurfaceSprite* back = nullptr;
    HWND window = nullptr;
    CImage expectedTarget;
    CScene expected;
    CImage rendered;
    std::vector<std::unique_ptr<CDrawable>> mirrors;
    std::map<std::string, uint32_t> crcs;
};

} // namespace

TEST_F(EffectsMilestone, QuakeNoiseWeatherAndAWipeOnTheScreen)
{
    // Quake, normal mode: the background at minus the offsets of the formulas (random, equal
    // amplitudes), run on a copy of the generator.
    ASSERT_EQ(screen.RenderFrameImage(), 0);
    Pump();
    expected.SetBackgroundImage(world.frontBackground.get(), 0, 0, true);
    ExpectShown("before");
    for (int frameMode = 0; frameMode < 2; ++frameMode) {
        SCOPED_TRACE(frameMode ? "frame mode" : "normal mode");
        SubtractiveRandomState copy = world.Copy();
        CLayerEffect* quake = nullptr;
        ASSERT_EQ(CreateLayerEffect("quake", front, CEffectArgs::Of(0, 12, 12, 160, "0.5", frameMode, 1, 1, 0), &quake),
                  0);
        uint32_t start = 0;
        for (int i = 0; quake != nullptr && i < 20; ++i) {
            Frame();
            if (i == 0)
                start = VirtualClock::Now();
            const uint32_t e = VirtualClock::Now() - start;
            int dx = 0, dy = 0;
            if (quake != nullptr) {
                const double factor = 1.0 - 0.5 * e / 160.0;
                const double r1 = DrawSubtractiveRandom(copy), r2 = DrawSubtractiveRandom(copy);
                dx = int(std::trunc((r1 * 12 * 1e-9 - 6) * factor));
                dy = int(std::trunc((r2 * 12 * 1e-9 - 6) * factor));
            }
            expected.SetBackgroundImage(world.frontBackground.get(), -dx, -dy, true);
            ExpectShown("quake");
            if (i == 3)
                Golden(frameMode ? "quake_frame_mode_3" : "quake_3");
        }
        EXPECT_EQ(quake, nullptr);
        expected.SetBackgroundImage(world.frontBackground.get(), 0, 0, true);
        Frame();
        ExpectShown("after the quake");
    }

    // Noise over snow and rain: the hand-set scene holds copies of what the effects show.
    CLayerEffect* noise = nullptr;
    CLayerEffect* snow = nullptr;
    CLayerEffect* rain = nullptr;
    ASSERT_EQ(CreateLayerEffect("snow", front, CEffectArgs::Of(40, 100, 600, 1, "1.5", 1, 0), &snow), 0);
    ASSERT_EQ(CreateLayerEffect("rain", front, CEffectArgs::Of(10, 200, 600, 1, nullptr, 1, 0), &rain), 0);
    ASSERT_EQ(CreateLayerEffect("noise", front, CEffectArgs::Of(64, 19900, 1, 0), &noise), 0);
    for (int i = 0; i < 30; ++i) {
        Frame();
        MirrorDrawables();
        ExpectShown("weather");
        if (i == 12 || i == 29)
            Golden("weather_" + std::to_string(i));
        if (i == 5) { // the comparison has something to show
            int visible = 0;
            for (DrawNode* n = expected.GetList().Head(); n; n = n->next)
                visible += n->drawable->IsVisible();
            EXPECT_GT(visible, 5);
        }
        if (HasFailure())
            break;
    }
    for (CLayerEffect* effect : {noise, snow, rain})
        world.scheduler.Cancel(effect);
    Frame();
    MirrorDrawables();
    EXPECT_EQ(expected.GetList().Head(), nullptr);
    ExpectShown("after the weather");

    // A wipe (kind 18, the sweep from the left) reveals a picture on the background image.
    CWipeRunner runner{&world.scheduler};
    CImage picture;
    ASSERT_EQ(picture.Create(kW, kH, 32, 0), 0);
    picture.FillRect32(0xFF20C040u, nullptr);
    const int32_t words[8] = {0, 0, 0, 65535, 0, 0, 0, 0};
    CWipeTask* wipe = StartWipeTask(&runner, 18, 200, world.frontBackground.get(), &picture, words);
    ASSERT_NE(wipe, nullptr);
    CImage shownBackground;
    ASSERT_EQ(shownBackground.CopyFrom(world.frontBackground.get(), 0), 0);
    expected.SetBackgroundImage(&shownBackground, 0, 0, true);
    const uint32_t wipeStart = VirtualClock::Now();
    for (int i = 0; i < 16; ++i) {
        Frame();
        front->GetScene()->InvalidateAll(); // the scene is told its background changed
        ASSERT_GE(screen.RenderFrameImage(), 0);
        Pump();
        const uint32_t e = std::min<uint32_t>(VirtualClock::Now() - wipeStart, 200);
        const int64_t strips = (kW + 15) / 16, t = int64_t(e) * (strips + 15) / 200;
        for (LONG x = 0; x < kW; ++x) {
            const bool revealed = e >= 200 || x % 16 < std::clamp<int64_t>(t - x / 16, 0, 16);
            if (revealed)
                shownBackground.FillRect32XYWH(x, 0, 1, kH, 0xFF20C040u);
        }
        expected.InvalidateAll();
        ExpectShown("wipe");
        if (i == 5)
            Golden("wipe_5");
    }
    EXPECT_EQ(IsWipeTaskAlive(&runner, wipe), 0);

    // Frames reviewed once (written with TESSARO_EFFECTS_FRAMES) and kept as their CRC-32s.
    const std::map<std::string, uint32_t> golden = {
        {"quake_3", 0xa1ae0493u},    {"quake_frame_mode_3", 0xcd240870u}, {"weather_12", 0xb1bcc192u},
        {"weather_29", 0xcc1a708eu}, {"wipe_5", 0x7989b33eu},
    };
    for (const auto& [name, crc] : golden)
        EXPECT_EQ(crcs[name], crc) << name << std::hex << " 0x" << crcs[name];
}
