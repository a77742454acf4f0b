// The transitions on the screen, headless and without a scenario engine: two 800 × 600 memory
// canvases (the front the GDI screen's frame image, the back its back canvas, each a scene with
// its own background); each of the fourteen names is made through the registry from the shipped
// rows, attached (mode 1, applied at the end) and the frame image rendered every 16 ms of virtual
// time. Every shown frame equals a twin object stepped at the same times and drawn whole from the
// two backgrounds; after the end the window shows the swapped scene.
#include "effect_test_world.h"

#include <functional>

#include "display/screen.h"
#include "effects/screen_transition.h"
#include "files/transition_plugin_manager.h"
#include "platform/cos_table.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

using namespace effects_test;

namespace {

constexpr LONG kW = 800, kH = 600;

CScreen* g_shown = nullptr;

LRESULT CALLBACK PaintProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        if (g_shown)
            g_shown->PaintToDC(dc, &paint.rcPaint);
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

class TransitionMilestone : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_pCosTable = &cosines;
        ASSERT_EQ(screen.CreateSurfaceSprite(&front, kW, kH, 32, 1), 0);
        ASSERT_EQ(screen.CreateSurfaceSprite(&back, kW, kH, 32, 1), 0);
        ASSERT_EQ(front->SetBackCanvas(back), 0);
        g_shown = &screen;
        ASSERT_EQ(screen.SetFrameImage(front), 0);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PaintProc;
        wc.lpszClassName = "TransitionMilestone";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "TransitionMilestone", "transitions", WS_POPUP | WS_VISIBLE, 0, 0, kW, kH, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        Pump();
        ASSERT_EQ(screen.CreateDisplay(window, true, false, false), 0);
        RegisterRows(registry, GameTransitionRows());
        RegisterRows(registry, HostFilterRows());
        ASSERT_EQ(rule.Create(kW, kH, 8, 0), 0);
        for (LONG y = 0; y < kH; ++y)
            for (LONG x = 0; x < kW; ++x)
                rule.GetRowAddress(y)[x] = BYTE((x + y) * 255 / (kW + kH));
    }
    void TearDown() override
    {
        registry.UnloadAll();
        screen.SetFrameImage(nullptr);
        g_shown = nullptr;
        if (window)
            DestroyWindow(window);
        Pump();
        g_pCosTable = nullptr;
    }

    // The shown colours against want's.
    void ExpectShown(const CImage& want, const std::string& what)
    {
        const winapi::Frame shown = winapi::CurrentHost().ReadBack(window);
        ASSERT_EQ(shown.width, kW);
        ASSERT_EQ(shown.height, kH);
        int wrong = 0;
        for (LONG y = 0; y < kH; ++y)
            for (LONG x = 0; x < kW; ++x)
                if ((shown.At(x, y) & 0xFFFFFF) != (PixelAt(want, x, y) & 0xFFFFFF) && wrong++ < 3)
                    ADD_FAILURE() << what << " at " << x << "," << y << ": " << std::hex << shown.At(x, y)
                                  << " against " << PixelAt(want, x, y);
        EXPECT_EQ(wrong, 0) << what;
    }

    // Scenes back to their own backgrounds (the last transition swapped them).
    void ResetScenes()
    {
        front->GetScene()->SetBackgroundImage(world.frontBackground.get(), 0, 0, true);
        back->GetScene()->SetBackgroundImage(world.backBackground.get(), 0, 0, true);
    }

    EffectWorld world{kW, kH, false};
    CCosTable cosines;
    CScreen screen;
    CSurfaceSprite* front = nullptr;
    CSurfaceSprite* back = nullptr;
    HWND window = nullptr;
    CTransitionPluginManager registry;
    CImage rule;
};

} // namespace

TEST_F(TransitionMilestone, EveryNameRunsOnTheScreen)
{
    CSurface* rulePicture = &rule;
    const std::pair<const char*, CEffectArgs> runs[] = {
        {"cross", CEffectArgs::Of(80)},
        {"rule", CEffectArgs::Of(80, rulePicture, 32)},
        {"scroll", CEffectArgs::Of(80, 1, 2, "1.5")},
        {"wave", CEffectArgs::Of(80, 0, 16, 900, 0, 0xFFFFFF)},
        {"mosaic", CEffectArgs::Of(80, 0, 24, 1)},
        {"rotaxis", CEffectArgs::Of(80, 2)},
        {"trans", CEffectArgs::Of(80, 12, 0)},
        {"tone", CEffectArgs::Of(80, 0x336699, 0)},
        {"quake", CEffectArgs::Of(0, 10, 7, 80, "0.5", 1)},
        {"zoomflip", CEffectArgs::Of(80, 4, 0)},
        {"rotcenter", CEffectArgs::Of(80, 0, 0)},
        {"addsub", CEffectArgs::Of(80, 1)},
        {"hblur", CEffectArgs::Of(80, 1, 8)},
        {"ripple", CEffectArgs::Of(80, -1, -1, 32, nullptr, nullptr, 24)},
    };
    for (const auto& [name, args] : runs) {
        SCOPED_TRACE(name);
        ResetScenes();
        ASSERT_EQ(screen.RenderFrameImage(), 0);
        Pump();
        ExpectShown(*world.frontBackground, "before");
        auto* filter = static_cast<CScreenFilter*>(registry.CreateObject(front, name, args));
        auto* twin = static_cast<CScreenFilter*>(registry.CreateObject(front, name, args));
        ASSERT_NE(filter, nullptr);
        ASSERT_NE(twin, nullptr);
        // The twin's quake draws from its own copy of the generator.
        SubtractiveRandomState twinState = world.Copy();
        ASSERT_EQ(front->AttachFilter(filter, 1, 1, 0), 0);
        CImage want;
        ASSERT_EQ(want.Create(kW, kH, 32, 0), 0);
        int frames = 0;
        while (front->HasFilter() && frames < 20) {
            ++frames;
            world.Tick(16);
            const uint32_t now = VirtualClock::Now();
            ASSERT_GE(screen.RenderFrameImage(), 0);
            Pump();
            SubtractiveRandomState* shared = g_pQuakeFilterRandom;
            g_pQuakeFilterRandom = &twinState;
            ASSERT_EQ(twin->Step(now), 0);
            g_pQuakeFilterRandom = shared;
            const bool twoPictures = twin->GetObjectType() <= 1;
            ASSERT_EQ(twin->Draw(FilterJob{0, 0, kW, kH, &want, 0, 0, world.frontBackground.get(), 0, 0,
                                           twoPictures ? world.backBackground.get() : nullptr, 0, 0}),
                      0);
            ExpectShown(want, std::string(name) + " frame " + std::to_string(frames));
            if (HasFailure())
                break;
        }
        twin->Release();
        EXPECT_FALSE(front->HasFilter());
        EXPECT_GE(frames, 5);
        // After the end the swapped scene shows.
        world.Tick(16);
        ASSERT_EQ(screen.RenderFrameImage(), 0);
        Pump();
        ExpectShown(*world.backBackground, "after");
        if (HasFailure())
            break;
        front->SwapScenes(back);
    }
}
