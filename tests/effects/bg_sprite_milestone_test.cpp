// The background and sprite effects on the screen, headless and without a scenario engine: an
// 800 × 600 memory canvas (background, three sprites, a back canvas) is the GDI screen's frame
// image; each of the sixteen names is made through the registries filled from the shipped rows;
// every 16 ms the clock, the scheduler and RenderFrameImage run. Each shown frame equals a second
// scene set by hand to the state the effect's formulas give at that time (a view, a turn, a
// position, an alpha, a source rectangle, or a per-pixel reference picture as its background);
// the effects whose state is a picture of their own (frames, parts, blends) are compared against
// copies of what they show, after their formula checks.
#include "effect_test_world.h"
#include "shown_frame.h"

#include <functional>
#include <map>
#include <optional>

#include <zlib.h>

#include "authoring/picture_io.h"
#include "display/screen.h"
#include "drawing/kad_file.h"
#include "drawing/primitive_object.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/bg_anime.h"
#include "effects/bg_effects.h"
#include "effects/sp_cfade.h"
#include "effects/sp_loop.h"
#include "platform/cos_table.h"
#include "raster/pixel_lib.h"
#include "raster/pixel_lib_ops.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

using namespace effects_test;

namespace {

constexpr LONG kW = 800, kH = 600;
constexpr int kSprites = 3;
// The sprites' places: (x, y, priority).
constexpr LONG kPlace[kSprites][3] = {{40, 40, 10}, {320, 200, 20}, {560, 400, 30}};

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

LONG Lerp(LONG from, LONG to, double t)
{
    return static_cast<LONG>(from + std::trunc((double(to) - double(from)) * t));
}

// An origin picture with its colours inverted: blends and cross-fades against it show.
std::unique_ptr<CImage> InvertedImage(LONG w, LONG h, BYTE id)
{
    auto image = OriginImage(w, h, id);
    for (LONG y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image->GetBits() + intptr_t(y) * image->GetPitch());
        for (LONG x = 0; x < w; ++x)
            row[x] ^= 0xFFFFFFu;
    }
    return image;
}

// An old sprite as the scenario engine hands it over: on the heap with its picture.
CSprite* HeapSprite(LONG w, LONG h, BYTE id, LONG x, LONG y)
{
    auto* sprite = new CSprite;
    EXPECT_EQ(sprite->SetImage(InvertedImage(w, h, id).release(), nullptr, x, y), 0);
    return sprite;
}

class BgSpriteMilestone : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_pCosTable = &cosines;
        RegisterRows(world.registry, GameEffectRows());
        ASSERT_EQ(screen.CreateSurfaceSprite(&front, kW, kH, 32, 1), 0);
        ASSERT_EQ(screen.CreateSurfaceSprite(&back, kW, kH, 32, 1), 0);
        ASSERT_EQ(front->SetBackCanvas(back), 0);
        for (int i = 0; i < kSprites; ++i) {
            pictures[i] = OriginImage(160, 120, BYTE(5 + i));
            ASSERT_EQ(front->GetScene()->GetList().Insert(&sprites[i], kPlace[i][2], 0), 0);
            ASSERT_EQ(expected.GetList().Insert(&mine[i], kPlace[i][2], 0), 0);
        }
        g_shownScreen = &screen;
        ASSERT_EQ(screen.SetFrameImage(front), 0);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PaintProc;
        wc.lpszClassName = "BgSpriteMilestone";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "BgSpriteMilestone", "effects", WS_POPUP | WS_VISIBLE, 0, 0, kW, kH, nullptr,
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
        for (CSprite& sprite : sprites)
            front->GetScene()->GetList().Remove(&sprite);
        screen.SetFrameImage(nullptr);
        g_shownScreen = nullptr;
        if (window)
            DestroyWindow(window);
        Pump();
        g_pCosTable = nullptr;
    }

    // Both scenes back to the start: the plain pictures, the sprites in their places.
    void Reset()
    {
        front->GetScene()->SetBackgroundImage(world.frontBackground.get(), 0, 0, true);
        back->GetScene()->SetBackgroundImage(backPicture.get(), 0, 0, true);
        expected.SetBackgroundImage(world.frontBackground.get(), 0, 0, true);
        expected.GetList().Clear();
        mirrors.clear();
        for (int i = 0; i < kSprites; ++i) {
            for (CSprite* sprite : {&sprites[i], &mine[i]}) {
                ASSERT_EQ(sprite->SetImage(pictures[i].get(), nullptr, kPlace[i][0], kPlace[i][1]), 0);
                sprite->SetAlpha(255);
                sprite->SetVisible(true);
            }
            front->GetScene()->GetList().Remove(&sprites[i]);
            ASSERT_EQ(front->GetScene()->GetList().Insert(&sprites[i], kPlace[i][2], 0), 0);
            ASSERT_EQ(expected.GetList().Insert(&mine[i], kPlace[i][2], 0), 0);
        }
        front->GetScene()->InvalidateAll();
    }

    // One frame: clock, scheduler, frame image, messages.
    void Frame()
    {
        world.Tick(16);
        ASSERT_GE(screen.RenderFrameImage(), 0);
        Pump();
    }

    // The host's pixels against the hand-set scene.
    void ExpectShown(const std::string& what)
    {
        expected.InvalidateAll();
        ASSERT_EQ(expected.RenderToImage(&rendered, 0, 0, false), 0);
        const winapi::Frame shown = winapi::CurrentHost().ReadBack(window);
        ASSERT_EQ(shown.width, kW);
        ASSERT_EQ(shown.height, kH);
        EXPECT_EQ(CountShownMismatches(shown, rendered, what), 0) << what;
    }

    // The shown frame's CRC-32, kept under its name (TESSARO_EFFECTS_FRAMES=DIR writes it out).
    void Golden(const std::string& name) { crcs[name] = ShownFrameCrc(winapi::CurrentHost().ReadBack(window), name); }

    // The hand-set scene takes copies of the front scene: its background as it stands (the work
    // image when there is one) and every drawable in place.
    void Mirror()
    {
        CScene& scene = *front->GetScene();
        CSurface* picture = nullptr;
        LONG x = 0, y = 0;
        scene.GetBackground(&picture, &x, &y, nullptr, nullptr, nullptr);
        if (scene.GetBackgroundWork() != nullptr)
            expected.SetBackgroundImage(scene.GetBackgroundWork(), 0, 0, false);
        else if (picture != nullptr)
            expected.SetBackgroundImage(picture, x, y, false);
        else
            expected.SetBackgroundColor(scene.GetBackgroundColor(), false);
        expected.GetList().Clear();
        mirrors.clear();
        for (DrawNode* node = scene.GetList().Head(); node; node = node->next) {
            CDrawable* d = node->drawable;
            ASSERT_EQ(d->GetKind(), kDrawableSprite);
            auto copy = std::make_unique<CSprite>();
            ASSERT_EQ(copy->CopyFrom(static_cast<CSprite*>(d)), 0);
            copy->SetPosition(d->GetX(), d->GetY());
            copy->SetAlpha(d->GetAlpha());
            copy->SetVisible(d->IsVisible());
            expected.GetList().InsertAfterEqual(copy.get(), node->priority, 0);
            mirrors.push_back(std::move(copy));
        }
    }

    // The front background moved as a picture of the test's own: reference(x, y) for each pixel.
    void ReferenceBackground(const std::function<uint32_t(LONG, LONG)>& reference)
    {
        if (reference_.GetBits() == nullptr) {
            ASSERT_EQ(reference_.Create(kW, kH, 32, 0), 0);
        }
        for (LONG y = 0; y < kH; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(reference_.GetBits() + intptr_t(y) * reference_.GetPitch());
            for (LONG x = 0; x < kW; ++x)
                row[x] = reference(x, y);
        }
        expected.SetBackgroundImage(&reference_, 0, 0, false);
    }

    // The copies leave the hand-set scene before they go.
    void DropMirrors()
    {
        for (auto& copy : mirrors)
            expected.GetList().Remove(copy.get());
        mirrors.clear();
    }

    uint32_t Front(LONG x, LONG y) const { return PixelAt(*world.frontBackground, x, y); }

    EffectWorld world{kW, kH};
    CCosTable cosines;
    CScreen screen;
    CSurfaceSprite* front = nullptr;
    CSurfaceSprite* back = nullptr;
    HWND window = nullptr;
    std::unique_ptr<CImage> backPicture = InvertedImage(kW, kH, 2);
    std::unique_ptr<CImage> pictures[kSprites];
    CSprite sprites[kSprites]; // in the front scene
    CSprite mine[kSprites];    // their hand-set twins
    CImage expectedTarget;
    CScene expected;
    CImage rendered;
    CImage reference_;
    std::vector<std::unique_ptr<CSprite>> mirrors;
    std::map<std::string, uint32_t> crcs;
};

// One name's run: how it starts, what each frame must show at elapsed e, how many frames, which
// frames are pinned as golden.
struct EffectRun {
    const char* name;
    std::function<CEffectArgs()> args;
    std::function<void(CLayerEffect*)> started; // after the set-up (may be empty)
    std::function<void(uint32_t e, CLayerEffect* holder)> want;
    int frames;
    std::vector<int> golden;
    bool endsAlone = true; // the effect ends by itself within its frames
};

} // namespace

TEST_F(BgSpriteMilestone, EveryNameRunsOnTheScreen)
{
    const double turnZoomTo = 2.0;
    CKadFile kad;
    ASSERT_EQ(kad.Load(world.dir.Windows("ANIME\\BG.KAD").c_str()), 0);
    const std::string animeFolder = world.dir.Windows("ANIME");
    CSprite* oldCfade = nullptr;
    CSprite* oldChange = nullptr;
    std::vector<int32_t> hazeTable;
    CImage blurWork;
    LONG rotFrom[2] = {0, 0};
    uint32_t animeShown = 0, animeSince = 0;

    const std::vector<EffectRun> runs = {
        // bg_zoom: the view glides linearly from the whole picture to the zoomed rectangle.
        {"bg_zoom", [] { return CEffectArgs::Of(400, 300, "2.0", nullptr, 160); }, nullptr,
         [&](uint32_t e, CLayerEffect*) {
             const LONG to[4] = {200, 150, 400, 300}, from[4] = {0, 0, kW, kH};
             const double t = std::min(e, 160u) / 160.0;
             LONG r[4];
             for (int i = 0; i < 4; ++i)
                 r[i] = Lerp(from[i], to[i], t);
             const RECT src{r[0], r[1], r[0] + r[2], r[1] + r[3]};
             expected.SetBackgroundView(0, 0, kW, kH, &src);
         },
         11, {5, 10}},
        // bg_rot: centre, angle and zoom from the layer's plain state to the end state.
        {"bg_rot", [] { return CEffectArgs::Of(400, 300, 128, "2.0", nullptr, 160); },
         [&](CLayerEffect*) {
             int angle = 0;
             double zoom = 0;
             if (!front->GetScene()->GetBackgroundRotation(&rotFrom[0], &rotFrom[1], &angle, &zoom))
                 rotFrom[0] = rotFrom[1] = 0;
         },
         [&](uint32_t e, CLayerEffect*) {
             const double t = std::min(e, 160u) / 160.0;
             expected.SetBackgroundRotateZoom(Lerp(rotFrom[0], 400, t), Lerp(rotFrom[1], 300, t), int(Lerp(0, 128, t)),
                                              1.0 + (turnZoomTo - 1.0) * t);
         },
         11, {5, 10}},
        // bg_loop: to the right once in 320 ms; work pixel x shows picture pixel x - shift, wrapped.
        {"bg_loop", [] { return CEffectArgs::Of(0, 320, 1, 0); }, nullptr,
         [&](uint32_t e, CLayerEffect* holder) {
             if (holder == nullptr) {
                 expected.SetBackgroundImage(world.frontBackground.get(), 0, 0, false); // restored
                 return;
             }
             const LONG shift = LONG(int64_t{kW} * e / 320) % kW;
             ReferenceBackground([&](LONG x, LONG y) { return Front((x - shift + kW) % kW, y); });
         },
         21, {7}},
        // bg_rast: amplitude 24 over rows of wavelength 64 in 320 ms, ramps of 64, held 160, filled.
        {"bg_rast", [] { return CEffectArgs::Of(24, 64, 320, 160, 64, 64, 1, 0); }, nullptr,
         [&](uint32_t e, CLayerEffect* holder) {
             if (holder == nullptr) {
                 expected.SetBackgroundImage(world.frontBackground.get(), 0, 0, false); // restored
                 return;
             }
             int32_t amplitude = e < 64 ? int32_t(24 * e / 64) : 24;
             if (e >= 224)
                 amplitude = int32_t(24 - 24 * int64_t(e - 224) / 64);
             const auto phase = int32_t(int64_t(e % 320) * 512 / 320);
             ReferenceBackground([&](LONG x, LONG y) {
                 const LONG from = x - RastRowShift(y, phase, amplitude, 64);
                 return from >= 0 && from < kW ? Front(from, y) : 0xFF000000u; // the layer's colour
             });
         },
         19, {6, 12}},
        // bg_haze: rows moved by the averaged table, the level ramping in and out (512 full).
        {"bg_haze", [] { return CEffectArgs::Of("(1,0,10)(3,128,4)", 600, 320, 160, 64, 64, 1, 0); },
         [&](CLayerEffect* holder) { hazeTable = static_cast<CBgHazeEffect*>(holder)->Table(); },
         [&](uint32_t e, CLayerEffect* holder) {
             if (holder == nullptr) {
                 expected.SetBackgroundImage(world.frontBackground.get(), 0, 0, false); // restored
                 return;
             }
             int32_t level = e < 64 ? int32_t(512 * e / 64) : 512;
             if (e >= 224)
                 level = int32_t(512 - 512 * int64_t(e - 224) / 64);
             const auto phase = int32_t(int64_t(e % 320) * 600 / 320);
             ReferenceBackground([&](LONG x, LONG y) {
                 const int64_t o = (int64_t{hazeTable[size_t((phase + y) % 600)]} * level) >> 9;
                 const int64_t sx = x - o, sy = y + o;
                 return sx >= 0 && sx < kW && sy >= 0 && sy < kH ? Front(LONG(sx), LONG(sy)) : 0xFF000000u;
             });
         },
         19, {6}},
        // bg_cross: to the back page's picture and back within 320 ms, once.
        {"bg_cross", [] { return CEffectArgs::Of(320, 1, 0, 0, 0); }, nullptr,
         [&](uint32_t e, CLayerEffect* holder) {
             if (holder == nullptr) {
                 expected.SetBackgroundImage(world.frontBackground.get(), 0, 0, false); // restored
                 return;
             }
             const auto raw = int32_t(int64_t{e} * 510 / 320);
             const DWORD level = DWORD(raw > 255 ? 510 - raw : raw);
             if (reference_.GetBits() == nullptr) {
                 ASSERT_EQ(reference_.Create(kW, kH, 32, 0), 0);
             }
             ASSERT_EQ(g_PixelLibFuncs.crossFade(&reference_, world.frontBackground.get(), backPicture.get(),
                                                 level, 0, 0, 0, kW, kH, 0, 0, 0, 0),
                       0);
             expected.SetBackgroundImage(&reference_, 0, 0, false);
         },
         21, {5, 10}},
        // bg_blur at level 255: zoom 1 → 1.5 about the centre, each step the picture stretched
        // over the work image; then the final view.
        {"bg_blur",
         [] {
             return CEffectArgs::Of(0, 400, 300, "1.0", nullptr, "1.5", nullptr, 160, 255, nullptr, 0, 0, 0, 0, 0, 0, 1);
         },
         nullptr,
         [&](uint32_t e, CLayerEffect* holder) {
             if (holder == nullptr) {
                 const RECT view{133, 100, 133 + 533, 100 + 400}; // 400 - 400 / 1.5 + 0.5, 800 / 1.5 + 0.5
                 expected.SetBackgroundImage(world.frontBackground.get(), 0, 0, false);
                 expected.SetBackgroundView(0, 0, kW, kH, &view);
                 return;
             }
             const double z = 1.0 + 0.5 * (e / 160.0);
             if (blurWork.GetBits() == nullptr) {
                 ASSERT_EQ(blurWork.Create(kW, kH, 32, 0), 0);
             }
             blurWork.Copy(world.frontBackground.get(), 0, 0, nullptr, false);
             const SIZE size{LONG(std::trunc(kW * z + 0.5)), LONG(std::trunc(kH * z + 0.5))};
             PixelLibStretchCopy(blurWork, world.frontBackground.get(), 0, 0, 255, 0, &size,
                                 LONG(std::trunc(400 - (400 * z + 0.5))), LONG(std::trunc(300 - (300 * z + 0.5))),
                                 nullptr);
             expected.SetBackgroundImage(&blurWork, 0, 0, false);
         },
         12, {5, 11}},
        // bg_panime: the layer's picture slides to (-80, -60) in 160 ms on the linear curve.
        {"bg_panime", [] { return CEffectArgs::Of("P-80,-60", 160, 65535, 0, 0, 0, 0); }, nullptr,
         [&](uint32_t e, CLayerEffect*) {
             const double f = std::min(e, 160u) / 160.0;
             expected.SetBackgroundImage(world.frontBackground.get(), Lerp(0, -80, f), Lerp(0, -60, f), false);
         },
         11, {5, 10}},
        // bg_anime: group 0 shows F0, F1, F0 for 100 ms each, then group 1 F2 and F3.
        {"bg_anime",
         [&] {
             return CEffectArgs::Of(static_cast<CGroupFile*>(&kad), animeFolder.c_str(), 0, 0, 1, 1);
         },
         nullptr,
         [&](uint32_t e, CLayerEffect* holder) {
             ASSERT_NE(holder, nullptr);
             // Without the global option each change restarts the 100 ms at the step that made it.
             const int frames[] = {0, 1, 0, 2, 3, 2, 3};
             if (e == 0)
                 animeShown = animeSince = 0;
             if (e - animeSince >= 100) {
                 ++animeShown;
                 animeSince = e;
             }
             const CImage* frame = static_cast<CBgAnimeEffect*>(holder)->GetFrameImage();
             ASSERT_NE(frame, nullptr);
             EXPECT_EQ(PixelAt(*frame, 0, 0) & 0xFF, uint32_t(frames[animeShown])) << e;
             Mirror();
         },
         30, {8, 22}, false},
        // sp_gfade: sprite 0 wiped in from the left with a hard edge over its 160 pixels.
        {"sp_gfade", [&] { return CEffectArgs::Of(static_cast<CDrawable*>(&sprites[0]), 160, 0, 0, nullptr); }, nullptr,
         [&](uint32_t e, CLayerEffect*) {
             const LONG edge = LONG(160 * std::min(e, 160u) / 160);
             const RECT src{0, 0, edge, 120};
             if (edge >= 1) {
                 ASSERT_EQ(mine[0].SetImage(pictures[0].get(), &src, kPlace[0][0], kPlace[0][1]), 0);
             }
             mine[0].SetVisible(edge >= 1);
         },
         11, {5}},
        // sp_loop: SYS/NOISE.ELG (96 wide) through a window of 64 at (100, 500), once in 320 ms.
        {"sp_loop", [] { return CEffectArgs::Of("SYS\\NOISE.ELG", nullptr, 100, 500, 64, 0, 320, 1, 0, 0); },
         nullptr,
         [&](uint32_t e, CLayerEffect* holder) {
             expected.GetList().Clear();
             for (int i = 0; i < kSprites; ++i)
                 ASSERT_EQ(expected.GetList().Insert(&mine[i], kPlace[i][2], 0), 0);
             DropMirrors();
             if (holder == nullptr)
                 return;
             CImage* picture = static_cast<CSpLoopEffect*>(holder)->GetSprite(0)->GetImage();
             ASSERT_NE(picture, nullptr);
             const LONG span = picture->GetWidth(), h = picture->GetHeight();
             const LONG offset = LONG(int64_t{span} * e / 320);
             const LONG first = std::min(span - offset, LONG(64));
             const RECT head{offset, 0, offset + first, h};
             auto a = std::make_unique<CSprite>();
             ASSERT_EQ(a->SetImage(picture, &head, 100, 500), 0);
             mirrors.push_back(std::move(a));
             if (first < 64) {
                 const RECT tail{0, 0, 64 - first, h};
                 auto b = std::make_unique<CSprite>();
                 ASSERT_EQ(b->SetImage(picture, &tail, 100 + first, 500), 0);
                 mirrors.push_back(std::move(b));
             }
             DWORD priority = 0;
             for (DrawNode* node = front->GetScene()->GetList().Head(); node; node = node->next)
                 if (node->drawable == static_cast<CSpLoopEffect*>(holder)->GetSprite(0))
                     priority = node->priority;
             for (auto& sprite : mirrors)
                 expected.GetList().InsertAfterEqual(sprite.get(), priority, 0);
         },
         21, {8}},
        // sp_panime: sprite 1 to (400, 260) with its alpha to 64 in 160 ms, linear.
        {"sp_panime",
         [&] { return CEffectArgs::Of(static_cast<CDrawable*>(&sprites[1]), "P400,260O64", 160, 0, 0); }, nullptr,
         [&](uint32_t e, CLayerEffect*) {
             const double f = std::min(e, 160u) / 160.0;
             mine[1].SetPosition(Lerp(320, 400, f), Lerp(200, 260, f));
             mine[1].SetAlpha(BYTE(255 + std::trunc((64 - 255) * f)));
         },
         11, {5, 10}},
        // sp_fade: sprite 2 faded out in 160 ms, sprite 0 in after 48 ms for 96 ms.
        {"sp_fade", [] { return CEffectArgs::Of(4, 0, 0); },
         [&](CLayerEffect* holder) {
             sprites[0].SetVisible(false);
             ASSERT_EQ(holder->SetParams(2, 0, static_cast<CDrawable*>(&sprites[2]), 160, 0, 0, 0, 0, 0), 0);
             ASSERT_EQ(holder->SetParams(1, 1, static_cast<CDrawable*>(&sprites[0]), 96, 48, 0, 0, 0, 0), 0);
         },
         [&](uint32_t e, CLayerEffect*) {
             const uint32_t out = std::min(e, 160u);
             mine[2].SetAlpha(BYTE(int(-255.0 * out / 160 + 255)));
             mine[2].SetVisible(out < 160);
             const uint32_t in = std::min(e < 48 ? 0 : e - 48, 96u);
             mine[0].SetAlpha(BYTE(int(255.0 * in / 96)));
             mine[0].SetVisible(e >= 48);
         },
         12, {6}, false},
        // sp_cfade: sprite 1's new picture fades in while a separate old picture fades out.
        {"sp_cfade",
         [&] {
             oldCfade = HeapSprite(160, 120, 3, 40, 400);
             front->GetScene()->GetList().Insert(oldCfade, 20, 0);
             return CEffectArgs::Of(static_cast<CDrawable*>(&sprites[1]), static_cast<CDrawable*>(oldCfade), 20, 160,
                                    0);
         },
         nullptr,
         [&](uint32_t e, CLayerEffect* holder) {
             const auto level = BYTE(std::min<uint64_t>(uint64_t{e} * 255 / 160, 255));
             expected.GetList().Remove(&mine[1]);
             expected.GetList().Insert(&mine[1], kPlace[1][2], 0);
             mine[1].SetAlpha(holder ? level : 255);
             DropMirrors();
             if (holder != nullptr) {
                 auto old = std::make_unique<CSprite>();
                 ASSERT_EQ(old->SetImage(oldCfade->GetImage(), nullptr, 40, 400), 0);
                 old->SetAlpha(BYTE(255 - level));
                 expected.GetList().Insert(old.get(), 20, 0);
                 mirrors.push_back(std::move(old));
             } else {
                 expected.GetList().Clear();
                 for (int i = 0; i < kSprites; ++i)
                     expected.GetList().Insert(&mine[i], kPlace[i][2], 0);
             }
         },
         11, {5}},
        // sp_change, blended (mode 2): at the start exactly the old picture where it stood, at
        // the end exactly the new sprite at the list's end; between, what the effect shows.
        {"sp_change",
         [&] {
             oldChange = HeapSprite(120, 160, 3, 580, 380);
             front->GetScene()->GetList().Insert(oldChange, 30, 0);
             sprites[2].SetVisible(false);
             return CEffectArgs::Of(static_cast<CDrawable*>(&sprites[2]), static_cast<CDrawable*>(oldChange),
                                    "160 p-40,-20", 2, 35, 0, 160, 0);
         },
         nullptr,
         [&](uint32_t e, CLayerEffect* holder) {
             if (e == 0) {
                 expected.GetList().Remove(&mine[2]);
                 auto old = std::make_unique<CSprite>();
                 ASSERT_EQ(old->SetImage(oldChange->GetImage(), nullptr, 580, 380), 0);
                 DropMirrors();
                 expected.GetList().Insert(old.get(), 30, 0);
                 mirrors.push_back(std::move(old));
             } else if (holder == nullptr) {
                 // The new picture (160 × 120) stood on the old one's feet (640, 540), then moved.
                 EXPECT_EQ(sprites[2].GetX(), 640 - 80 - 40);
                 EXPECT_EQ(sprites[2].GetY(), 540 - 120 - 20);
                 expected.GetList().Clear();
                 mirrors.clear();
                 mine[2].SetPosition(640 - 80 - 40, 540 - 120 - 20);
                 for (int i = 0; i < kSprites; ++i)
                     expected.GetList().Insert(&mine[i], kPlace[i][2], 0);
             } else {
                 Mirror();
             }
         },
         11, {5}},
        // sp_parts: SYS/CA040.TXT at (200, 380) below priority 100: eyes blink, the mouth talks.
        {"sp_parts", [] { return CEffectArgs::Of("SYS\\CA040.TXT", 200, 380, 100, 0, 1.0, 0, 0, 0, 1, 1); }, nullptr,
         [&](uint32_t, CLayerEffect* holder) {
             ASSERT_NE(holder, nullptr);
             Mirror();
             EXPECT_GT(mirrors.size(), size_t(kSprites)) << "the parts are in the scene";
         },
         40, {10, 27}, false},
    };

    for (const EffectRun& run : runs) {
        SCOPED_TRACE(run.name);
        Reset();
        if (HasFailure())
            return;
        reference_.Destroy();
        ASSERT_EQ(screen.RenderFrameImage(), 0);
        Pump();
        ExpectShown(std::string(run.name) + " before");
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect(run.name, front, run.args(), &holder), 0);
        ASSERT_NE(holder, nullptr);
        if (run.started)
            run.started(holder);
        uint32_t start = 0;
        for (int i = 0; i < run.frames; ++i) {
            Frame();
            if (i == 0)
                start = VirtualClock::Now();
            run.want(VirtualClock::Now() - start, holder);
            ExpectShown(std::string(run.name) + " frame " + std::to_string(i));
            for (int g : run.golden)
                if (g == i)
                    Golden(std::string(run.name) + "_" + std::to_string(i));
            if (HasFailure())
                return;
        }
        EXPECT_EQ(holder == nullptr, run.endsAlone);
        if (holder != nullptr)
            world.scheduler.Cancel(holder);
        EXPECT_EQ(holder, nullptr);
    }

    // Frames reviewed once (written with TESSARO_EFFECTS_FRAMES) and kept as their CRC-32s.
    const std::map<std::string, uint32_t> golden = {
        {"bg_zoom_5", 0x914f830bu},    {"bg_zoom_10", 0xffd3f490u},  {"bg_rot_5", 0xb26f807cu},
        {"bg_rot_10", 0xf4b22ae1u},    {"bg_loop_7", 0x093eaa7fu},   {"bg_rast_6", 0x17de18eeu},
        {"bg_rast_12", 0xb8773bd5u},   {"bg_haze_6", 0x31e3f9c5u},   {"bg_cross_5", 0x9f1c8b0au},
        {"bg_cross_10", 0xb962443bu},  {"bg_blur_5", 0xdc3a59d0u},   {"bg_blur_11", 0xd8607c64u},
        {"bg_panime_5", 0x759d3b31u},  {"bg_panime_10", 0x5985fb79u}, {"bg_anime_8", 0xae29bc49u},
        {"bg_anime_22", 0xd8f8e704u},  {"sp_gfade_5", 0x6935b3f5u},  {"sp_loop_8", 0x47d0ea4cu},
        {"sp_panime_5", 0xf24ac96bu},  {"sp_panime_10", 0x1f7134f4u}, {"sp_fade_6", 0xb3367652u},
        {"sp_cfade_5", 0xb106c7a5u},   {"sp_change_5", 0x5aeec73eu}, {"sp_parts_10", 0xf5e66d60u},
        {"sp_parts_27", 0xe4dbfcafu},
    };
    EXPECT_EQ(crcs.size(), golden.size());
    for (const auto& [name, crc] : crcs) {
        const auto pinned = golden.find(name);
        EXPECT_TRUE(pinned != golden.end() && pinned->second == crc) << name << std::hex << " 0x" << crc;
    }
}
