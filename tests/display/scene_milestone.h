// The scene-object milestone: a window screen without frame image, 800x600 x888, holding every
// scene-object type over an ELG texture, a text texture, a canvas texture holding a sprite, a
// DirectDraw image and a canvas surface, with both render-state objects. The presented frames
// equal the test's own reference (exact for blits and flat fills, within 1 where alpha blends).
// As shipped (no Direct3D) the blits are drawn, the first geometry object ends the pass and the
// texture kinds are refused. A loss at every call of a frame answers codes, RestoreDevice brings
// the next frame back whole; deleting the objects and surfaces in any order leaves nothing behind.
#pragma once

#include "display/canvas_quad_object.h"
#include "display/canvas_region_object.h"
#include "display/canvas_surface.h"
#include "display/canvas_texture.h"
#include "display/color_rect_object.h"
#include "display/dd_image.h"
#include "display/file_image_surface.h"
#include "display/image_region_object.h"
#include "display/primitive_list_object.h"
#include "display/render_state_object_a.h"
#include "display/render_state_object_b.h"
#include "display/screen.h"
#include "display/text_surface.h"
#include "display/textured_quad.h"
#include "display/transition_object.h"
#include "display/triangle_object.h"
#include "drawing/drawing_test_util.h"
#include "drawing/glyph_font.h"
#include "drawing/sprite.h"
#include "files/gll_manager.h"
#include "raster/dib_convert.h"
#include "raster/draw_transition.h"
#include "raster/image.h"
#include "winapi/ddraw_testing.h"
#include "winapi/host_headless.h"
#include "winapi/sdl_round_trip.h"
#include "winapi/text.h"
#include "winapi/user.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace scene_milestone {

constexpr LONG kWidth = 800, kHeight = 600;
constexpr uint32_t kClear = 0x102030;
constexpr int32_t kWipe = 0;  // mirrored columns: no random pieces
namespace sw = winapi::ddraw_testing;

// A picture's pixel: a pattern that differs from its neighbours in every channel.
inline uint32_t Pattern(int x, int y, int seed)
{
    return static_cast<uint32_t>(((x * 7 + seed * 40) & 0xFF) << 16 | ((y * 11 + seed * 90) & 0xFF) << 8 |
                                 ((x * y + seed * 17) & 0xFF));
}

// A 24-bit bottom-up BMP of the pattern.
inline std::vector<BYTE> Bmp(int w, int h, int seed)
{
    const int row = (w * 3 + 3) & ~3, size = 54 + row * h;
    std::vector<BYTE> b(static_cast<size_t>(size), 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<uint32_t>(size));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE* p = &b[54 + static_cast<size_t>((h - 1 - y) * row + x * 3)];
            const uint32_t c = Pattern(x, y, seed);
            p[0] = static_cast<BYTE>(c), p[1] = static_cast<BYTE>(c >> 8), p[2] = static_cast<BYTE>(c >> 16);
        }
    return b;
}

inline std::vector<BYTE> ReadFile(const std::string& path)
{
    std::vector<BYTE> out;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        BYTE buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0)
            out.insert(out.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return out;
}

// The raw 32-bit pixel (x, y) of a surface.
inline uint32_t Texel(IDirectDrawSurface7* s, LONG x, LONG y)
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    if (s->Lock(nullptr, &d, 0, nullptr) != DD_OK)
        return 0;
    uint32_t p = 0;
    std::memcpy(&p, static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * 4, 4);
    s->Unlock(nullptr);
    return p;
}

// Where each object lies.
constexpr POINT kRegionAt{10, 10}, kCanvasRegionAt{120, 10}, kTransitionAt{230, 10}, kElgQuadAt{340, 10},
    kTextQuadAt{10, 120}, kCanvasQuadAt{120, 120}, kRectAt{230, 120}, kSoftRectAt{290, 120}, kTriangleAt{450, 120},
    kLateRegionAt{520, 10};
constexpr LONG kPictureW = 100, kPictureH = 80, kElgW = 64, kElgH = 48, kSpriteW = 40, kSpriteH = 30;
constexpr POINT kSpriteInCanvas{10, 10}, kSpriteInTexture{30, 20};
constexpr LONG kPointXs[3] = {400, 402, 404}, kPointYs[3] = {130, 131, 132};

struct Scene {
    CRenderStateObjectA* stateA = nullptr;
    CRenderStateObjectB* stateB = nullptr;
    CDDImage* picture = nullptr;
    CImageRegionObject* region = nullptr;
    CCanvasSurface* canvas = nullptr;
    CCanvasRegionObject* canvasRegion = nullptr;
    CDDImage* wipeSource = nullptr;
    CDDImage* wipeTarget = nullptr;
    CTransitionObject* transition = nullptr;
    CFileImageSurface* elg = nullptr;
    CTexturedQuad* elgQuad = nullptr;
    CTextSurface* text = nullptr;
    CTexturedQuad* textQuad = nullptr;
    CCanvasTexture* canvasTexture = nullptr;
    CCanvasQuadObject* canvasQuad = nullptr;
    CColorRectObject* rect = nullptr;
    CColorRectObject* softRect = nullptr;
    CPrimitiveListObject* points = nullptr;
    CTriangleObject* triangle = nullptr;
    CImageRegionObject* lateRegion = nullptr;  // after every geometry object
    std::vector<uint32_t> wipe;                // what the transition shows (DrawTransition's own)
};

class SceneMilestone : public drawing_test::DrawingEnvironment {
protected:
    void SetUp() override
    {
        DrawingEnvironment::SetUp();
        sw::Reset();
        CDisplayDevice::ExclusiveNeeded() = false;
        ASSERT_EQ(RegisterBuiltinImageLoaders(manager), 0);
        g_pGllManager = &manager;
        const std::string dir =
            std::string(TESSARO_BINARY_DIR) + "/tmp_scene_milestone_" + std::to_string(getpid());
        ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
        const std::vector<BYTE> bmp = Bmp(kElgW, kElgH, 3);
        if (FILE* f = std::fopen((dir + "/q.bmp").c_str(), "wb")) {
            std::fwrite(bmp.data(), 1, bmp.size(), f);
            std::fclose(f);
        }
        ASSERT_EQ(std::system((std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool elg encode '" + dir +
                               "/q.bmp' '" + dir + "/q.elg' --depth 24 >/dev/null 2>&1")
                                  .c_str()),
                  0);
        elgBytes = ReadFile(dir + "/q.elg");
        std::system(("rm -rf '" + dir + "'").c_str());
        ASSERT_FALSE(elgBytes.empty());
        ASSERT_EQ(font.SetFont(20, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        font.SetTextColor(250, 240, 10);
        for (CImage* image : {&spriteA, &spriteB}) {
            ASSERT_EQ(image->Create(kSpriteW, kSpriteH, 32, 0), 0);
            for (LONG y = 0; y < kSpriteH; ++y)
                for (LONG x = 0; x < kSpriteW; ++x)
                    drawing_test::SetPx(*image, x, y, 0xFF000000u | Pattern(x, y, image == &spriteA ? 5 : 6));
        }
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "SceneMilestone";
        RegisterClassExA(&wc);
    }
    void TearDown() override
    {
        g_pGllManager = nullptr;
        sw::Reset();
        DrawingEnvironment::TearDown();
    }

    HWND MakeWindow()
    {
        HWND window = CreateWindowExA(0, "SceneMilestone", "scene", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight,
                                      nullptr, nullptr, nullptr, nullptr);
        Pump();
        return window;
    }
    static void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    // Every object made and listed in drawing order. As shipped the texture kinds are refused and
    // the quads are left out.
    void Build(CScreen& screen, bool direct3D, Scene& s)
    {
        const std::vector<BYTE> picture = Bmp(kPictureW, kPictureH, 1), source = Bmp(kPictureW, kPictureH, 2);
        uint32_t priority = 0;
        auto list = [&](CTask* task) { ASSERT_EQ(screen.Insert(task, 1000 - ++priority, 0), 0); };
        ASSERT_EQ(screen.CreateRenderStateA(&s.stateA), 0);
        s.stateA->SetState(CRenderStateObjectA::kCull, D3DCULL_NONE);
        s.stateA->SetState(CRenderStateObjectA::kShade, D3DSHADE_FLAT);
        list(s.stateA);
        ASSERT_EQ(screen.CreateDDImageFromFile(&s.picture, nullptr, picture.data(),
                                               static_cast<uint32_t>(picture.size()), false),
                  0);
        ASSERT_EQ(screen.CreateImageRegion(&s.region, s.picture, nullptr, kRegionAt.x, kRegionAt.y), 0);
        list(s.region);
        ASSERT_EQ(screen.CreateCanvasSurface(&s.canvas, kPictureW, kPictureH, 32, 1), 0);
        CSprite* sprite = nullptr;
        ASSERT_EQ(screen.CreateSprite(&sprite, &spriteA, nullptr, kSpriteInCanvas.x, kSpriteInCanvas.y), 0);
        ASSERT_EQ(s.canvas->GetScene()->GetList().Insert(sprite, 1, 0), 0);
        ASSERT_EQ(screen.CreateCanvasRegion(&s.canvasRegion, s.canvas, nullptr, kCanvasRegionAt.x, kCanvasRegionAt.y),
                  0);
        list(s.canvasRegion);
        ASSERT_EQ(screen.CreateDDImageFromFile(&s.wipeSource, nullptr, source.data(),
                                               static_cast<uint32_t>(source.size()), false),
                  0);
        ASSERT_EQ(screen.CreateDDImage(&s.wipeTarget, kPictureW, kPictureH, false), 0);
        ASSERT_EQ(s.wipeTarget->FillColor(0, 0, 0), 0);
        {
            CDDImage reference;
            ASSERT_EQ(reference.Create(kPictureW, kPictureH, false, false, nullptr), 0);
            ASSERT_EQ(reference.FillColor(0, 0, 0), 0);
            ASSERT_EQ(DrawTransition(kWipe, &reference, s.wipeSource, 128, 0, 0, kTransitionCopy, nullptr), 0);
            s.wipe.clear();
            for (LONG y = 0; y < kPictureH; ++y)
                for (LONG x = 0; x < kPictureW; ++x)
                    s.wipe.push_back(static_cast<uint32_t>(reference.GetPixelValue(x, y)) & 0xFFFFFF);
        }
        ASSERT_EQ(screen.CreateTransition(&s.transition, s.wipeTarget, s.wipeSource, kWipe, kTransitionAt.x,
                                          kTransitionAt.y, 128),
                  0);
        list(s.transition);
        const int elgCode = screen.CreateFileImageSurface(&s.elg, kPixelX8R8G8B8, nullptr, elgBytes.data(),
                                                          static_cast<uint32_t>(elgBytes.size()), false);
        const int textCode = screen.CreateTextSurface(&s.text, kPixelA8R8G8B8, "Ag", &font);
        const int canvasCode = screen.CreateCanvasTexture(&s.canvasTexture, kPixelX8R8G8B8, kPictureW, kPictureH, 32,
                                                          1, false);
        if (!direct3D) {
            EXPECT_EQ(elgCode, 2);
            EXPECT_EQ(textCode, 4);
            EXPECT_EQ(canvasCode, 2);
        } else {
            ASSERT_EQ(elgCode, 0);
            ASSERT_EQ(textCode, 0);
            ASSERT_EQ(canvasCode, 0);
            ASSERT_EQ(screen.CreateTexturedQuad(&s.elgQuad, s.elg, kElgQuadAt.x, kElgQuadAt.y, nullptr), 0);
            list(s.elgQuad);
            ASSERT_EQ(screen.CreateTexturedQuad(&s.textQuad, s.text, kTextQuadAt.x, kTextQuadAt.y, nullptr), 0);
            list(s.textQuad);
            CSprite* held = nullptr;
            ASSERT_EQ(screen.CreateSprite(&held, &spriteB, nullptr, kSpriteInTexture.x, kSpriteInTexture.y), 0);
            ASSERT_EQ(s.canvasTexture->GetScene()->GetList().Insert(held, 1, 0), 0);
            ASSERT_EQ(screen.CreateCanvasQuad(&s.canvasQuad, s.canvasTexture, kCanvasQuadAt.x, kCanvasQuadAt.y,
                                              nullptr),
                      0);
            list(s.canvasQuad);
        }
        ASSERT_EQ(screen.CreateColorRect(&s.rect, 50, 40, 0xFFC08040, kRectAt.x, kRectAt.y), 0);
        list(s.rect);
        ASSERT_EQ(screen.CreateColorRect(&s.softRect, 50, 40, 0x80FFFFFF, kSoftRectAt.x, kSoftRectAt.y), 0);
        list(s.softRect);
        ASSERT_EQ(screen.CreateRenderStateB(&s.stateB), 0);
        s.stateB->SetState(CRenderStateObjectB::kColorOp, D3DTOP_MODULATE);
        list(s.stateB);
        LONG xs[3] = {kPointXs[0], kPointXs[1], kPointXs[2]}, ys[3] = {kPointYs[0], kPointYs[1], kPointYs[2]};
        ASSERT_EQ(screen.CreatePrimitiveList(&s.points, 3, xs, ys, 0xFF00FF00, D3DPT_POINTLIST, false), 0);
        list(s.points);
        ASSERT_EQ(screen.CreateTriangle(&s.triangle, 0, 0, 20, 0, 0, 20, 0xFFFF0000, kTriangleAt.x, kTriangleAt.y), 0);
        list(s.triangle);
        ASSERT_EQ(screen.CreateImageRegion(&s.lateRegion, s.picture, nullptr, kLateRegionAt.x, kLateRegionAt.y), 0);
        list(s.lateRegion);
    }

    // The picture the scene must show, and which pixels blend (within 1 there).
    void Reference(const Scene& s, bool direct3D, std::vector<uint32_t>& want, std::vector<uint8_t>& soft)
    {
        want.assign(static_cast<size_t>(kWidth) * kHeight, kClear);
        soft.assign(want.size(), 0);
        auto put = [&](LONG x, LONG y, uint32_t c, bool blended = false) {
            want[static_cast<size_t>(y) * kWidth + x] = c & 0xFFFFFF;
            soft[static_cast<size_t>(y) * kWidth + x] = blended ? 1 : 0;
        };
        auto blend = [&](LONG x, LONG y, uint32_t c, uint32_t a) {
            const uint32_t d = want[static_cast<size_t>(y) * kWidth + x];
            uint32_t out = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const double v =
                    (((c >> shift) & 255) * static_cast<double>(a) + ((d >> shift) & 255) * (255.0 - a)) / 255;
                out |= static_cast<uint32_t>(std::lround(v)) << shift;
            }
            put(x, y, out, true);
        };
        // A canvas: black, its sprite copied in.
        auto canvas = [&](POINT at, POINT sprite, const CImage& image) {
            for (LONG y = 0; y < kPictureH; ++y)
                for (LONG x = 0; x < kPictureW; ++x) {
                    const bool in =
                        x >= sprite.x && x < sprite.x + kSpriteW && y >= sprite.y && y < sprite.y + kSpriteH;
                    put(at.x + x, at.y + y, in ? drawing_test::Px(image, x - sprite.x, y - sprite.y) : 0);
                }
        };
        for (LONG y = 0; y < kPictureH; ++y)
            for (LONG x = 0; x < kPictureW; ++x) {
                put(kRegionAt.x + x, kRegionAt.y + y, Pattern(x, y, 1));
                put(kTransitionAt.x + x, kTransitionAt.y + y, s.wipe[static_cast<size_t>(y) * kPictureW + x]);
            }
        canvas(kCanvasRegionAt, kSpriteInCanvas, spriteA);
        if (!direct3D)
            return;  // the first geometry object ends the pass
        for (LONG y = 0; y < kElgH; ++y)
            for (LONG x = 0; x < kElgW; ++x)
                put(kElgQuadAt.x + x, kElgQuadAt.y + y, Pattern(x, y, 3));
        for (LONG y = 0; y < s.text->GetSourceHeight(); ++y)
            for (LONG x = 0; x < s.text->GetSourceWidth(); ++x) {
                const uint32_t t = Texel(s.text->GetTextureSurface(), x, y);
                blend(kTextQuadAt.x + x, kTextQuadAt.y + y, t, t >> 24);
            }
        canvas(kCanvasQuadAt, kSpriteInTexture, spriteB);
        for (LONG y = 0; y < 40; ++y)
            for (LONG x = 0; x < 50; ++x) {
                put(kRectAt.x + x, kRectAt.y + y, 0xC08040);
                blend(kSoftRectAt.x + x, kSoftRectAt.y + y, 0xFFFFFF, 0x80);
            }
        for (int i = 0; i < 3; ++i)
            put(kPointXs[i], kPointYs[i], 0x00FF00);
        for (LONG y = 0; y < 20; ++y)
            for (LONG x = 0; x + y < 20; ++x)
                put(kTriangleAt.x + x, kTriangleAt.y + y, 0xFF0000);
        for (LONG y = 0; y < kPictureH; ++y)
            for (LONG x = 0; x < kPictureW; ++x)
                put(kLateRegionAt.x + x, kLateRegionAt.y + y, Pattern(x, y, 1));
    }

    // One frame as the game draws it: cleared, the task list, presented. The pass's code.
    static int Frame(CScreen& screen, int* presented = nullptr)
    {
        screen.ClearBackBuffer();
        int drawn = 1;
        if (IDirectDrawSurface7* back = screen.GetBackBuffer())
            drawn = screen.RenderAll(back, &screen.GetOutputRect(), &screen);
        const int shown = screen.Present();
        if (presented != nullptr)
            *presented = shown;
        Pump();
        return drawn;
    }

    // The window's pixels as the host shows them against the reference.
    void ExpectShown(HWND window, const std::vector<uint32_t>& want, const std::vector<uint8_t>& soft)
    {
        const winapi::Frame frame = winapi::CurrentHost().ReadBack(window);
        ASSERT_EQ(frame.width, kWidth);
        ASSERT_EQ(frame.height, kHeight);
        int wrong = 0;
        for (LONG y = 0; y < kHeight; ++y)
            for (LONG x = 0; x < kWidth; ++x) {
                const size_t i = static_cast<size_t>(y) * kWidth + x;
                const uint32_t got = frame.pixels[i] & 0xFFFFFF;
                for (int shift = 0; shift < 24; shift += 8) {
                    const int d = std::abs(static_cast<int>((got >> shift) & 255) -
                                           static_cast<int>((want[i] >> shift) & 255));
                    if (d > (soft[i] ? 1 : 0)) {
                        if (wrong++ < 5)
                            ADD_FAILURE() << "(" << x << ", " << y << "): " << std::hex << got << " want " << want[i];
                        break;
                    }
                }
            }
        EXPECT_EQ(wrong, 0);
    }

    // The scene with the device on: frames equal the reference, a loss at every call of a frame
    // answers a code and RestoreDevice brings the next frame back whole.
    void RunWithDevice(bool losses)
    {
        HWND window = MakeWindow();
        ASSERT_NE(window, nullptr);
        {
            CScreen screen;
            ASSERT_EQ(screen.SetOutputSize(kWidth, kHeight), 0);
            screen.SetClearColor(0x10, 0x20, 0x30);
            screen.SetWantDirect3DForTests(true);
            ASSERT_EQ(screen.CreateDisplay(window, true, false, false), 0);
            ASSERT_EQ(screen.GetPixelFormatCode(), static_cast<uint32_t>(kPixelX8R8G8B8));
            Scene s;
            Build(screen, true, s);
            if (HasFatalFailure())
                return;
            std::vector<uint32_t> want;
            std::vector<uint8_t> soft;
            Reference(s, true, want, soft);
            int presented = -1;
            ASSERT_EQ(Frame(screen, &presented), 0);
            ASSERT_EQ(presented, 0);
            ExpectShown(window, want, soft);
            // The second frame draws only changes of the canvases: the same picture.
            ASSERT_EQ(Frame(screen), 0);
            ExpectShown(window, want, soft);
            if (losses) {
                sw::Current().loseAtCall = 1 << 30;
                Frame(screen);
                const int calls = sw::CallsCounted();
                ASSERT_GT(calls, 20);
                for (int call = 1; call <= calls; ++call) {
                    SCOPED_TRACE("lost at call " + std::to_string(call));
                    sw::Reset();
                    sw::Current().loseAtCall = call;
                    const int drawn = Frame(screen, &presented);
                    EXPECT_TRUE(drawn >= -1 && drawn <= 4) << drawn;
                    EXPECT_TRUE(presented == 0 || presented == 2) << presented;
                    sw::Reset();
                    ASSERT_EQ(screen.RestoreDevice(), 0);
                    ASSERT_EQ(Frame(screen, &presented), 0);
                    ASSERT_EQ(presented, 0);
                    ExpectShown(window, want, soft);
                    if (HasFailure())
                        break;
                }
            }
        }
        DestroyWindow(window);
        Pump();
    }

    // As shipped: no Direct3D, so the texture kinds are refused, the blits are drawn and the
    // first geometry object (the colour rectangle) ends the pass with 2.
    void RunAsShipped()
    {
        HWND window = MakeWindow();
        ASSERT_NE(window, nullptr);
        {
            CScreen screen;
            ASSERT_EQ(screen.SetOutputSize(kWidth, kHeight), 0);
            screen.SetClearColor(0x10, 0x20, 0x30);
            ASSERT_EQ(screen.CreateDisplay(window, true, false, false), 0);
            Scene s;
            Build(screen, false, s);
            if (HasFatalFailure())
                return;
            std::vector<uint32_t> want;
            std::vector<uint8_t> soft;
            Reference(s, false, want, soft);
            EXPECT_EQ(Frame(screen), 2);
            ExpectShown(window, want, soft);
        }
        DestroyWindow(window);
        Pump();
    }

    // Objects and surfaces deleted in random orders, singly, by group or all at once, a frame
    // after each step: codes only, nothing drawn from freed memory.
    void RunDeletions()
    {
        HWND window = MakeWindow();
        ASSERT_NE(window, nullptr);
        for (uint32_t seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE("seed " + std::to_string(seed));
            CScreen screen;
            ASSERT_EQ(screen.SetOutputSize(kWidth, kHeight), 0);
            screen.SetWantDirect3DForTests(true);
            ASSERT_EQ(screen.CreateDisplay(window, true, false, false), 0);
            Scene s;
            Build(screen, true, s);
            if (HasFatalFailure())
                return;
            ASSERT_EQ(Frame(screen), 0);
            std::vector<CTask*> tasks = {s.stateA,    s.region,   s.canvasRegion, s.transition, s.elgQuad,
                                         s.textQuad,  s.canvasQuad, s.rect,       s.softRect,   s.stateB,
                                         s.points,    s.triangle, s.lateRegion};
            std::vector<CSurface*> surfaces = {s.picture, s.canvas, s.wipeSource, s.wipeTarget,
                                               s.elg,     s.text,   s.canvasTexture};
            std::mt19937 random(seed);
            std::shuffle(tasks.begin(), tasks.end(), random);
            std::shuffle(surfaces.begin(), surfaces.end(), random);
            // Surfaces and objects interleaved; seed 4 takes the rest by group at half way.
            size_t t = 0, u = 0;
            while (t < tasks.size() || u < surfaces.size()) {
                const bool surfaceNext = u < surfaces.size() && (t >= tasks.size() || (random() & 1));
                if (surfaceNext)
                    ASSERT_EQ(screen.DeleteSurface(surfaces[u++]), 0);
                else
                    ASSERT_EQ(screen.DeleteSceneObject(tasks[t++]), 0);
                const int drawn = Frame(screen);
                EXPECT_TRUE(drawn == 0 || drawn == 1) << drawn;
                if (seed == 4 && t + u == (tasks.size() + surfaces.size()) / 2) {
                    screen.DeleteObjectsByGroup(0, 1);
                    break;
                }
            }
            EXPECT_EQ(screen.SceneObjectCount(), 0u);
            EXPECT_EQ(screen.SurfaceCount(), 0u);
            EXPECT_EQ(Frame(screen), 0);
        }
        DestroyWindow(window);
        Pump();
    }

    CGllManager manager;
    CGlyphFont font;
    CImage spriteA, spriteB;
    std::vector<BYTE> elgBytes;
};

} // namespace scene_milestone
