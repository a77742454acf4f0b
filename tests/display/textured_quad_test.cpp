// The textured quad scene object over a file image texture: drawn 1:1 by the general device,
// brightened, darkened and blended by SetBlend (held to 0..510 and 0..255); its creation codes,
// states from the texture's format, texture coordinates moved by the offset, turning in 64 bits,
// exact hits over a keyed texture, the texture deleted under it, and a path task fading it.
#include <gtest/gtest.h>

#include "display/dd_image.h"
#include "display/file_image_surface.h"
#include "display/path_move_task.h"
#include "display/screen.h"
#include "display/textured_quad.h"
#include "drawing/drawing_test_util.h"
#include "files/gll_manager.h"
#include "platform/cos_table.h"
#include "platform/timer_manager.h"
#include "raster/dib_convert.h"
#include "winapi/ddraw_testing.h"
#include "winapi/headless_util.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

namespace sw = winapi::ddraw_testing;

// An 8 x 8 24-bit bottom-up BMP: the left half red, the right half blue.
std::vector<BYTE> HalvesBmp()
{
    const int w = 8, h = 8, row = w * 3, size = 54 + row * h;
    std::vector<BYTE> b(static_cast<size_t>(size), 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<uint32_t>(size));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE* p = &b[54 + static_cast<size_t>(y * row + x * 3)];
            p[0] = x < 4 ? 0 : 255;  // blue
            p[2] = x < 4 ? 255 : 0;  // red
        }
    return b;
}

class TexturedQuad : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        sw::Reset();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "TexturedQuad";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "TexturedQuad", "q", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(RegisterBuiltinImageLoaders(manager), 0);
        g_pGllManager = &manager;
        before = g_pCosTable;
        g_pCosTable = &table;
        screen = std::make_unique<CScreen>();
        ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
        screen->SetClearColor(0x10, 0x20, 0x30);
        screen->SetWantDirect3DForTests(true);
        ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
        screen->ClearBackBuffer();
        const std::vector<BYTE> bmp = HalvesBmp();
        ASSERT_EQ(screen->CreateFileImageSurface(&texture, kPixelX8R8G8B8, nullptr, bmp.data(),
                                                 static_cast<uint32_t>(bmp.size()), false),
                  0);
    }
    void TearDown() override
    {
        g_pCosTable = before;
        screen.reset();
        g_pGllManager = nullptr;
        DestroyWindow(window);
        sw::Reset();
    }
    int Frame() { return screen->RenderAll(screen->GetBackBuffer(), &screen->GetOutputRect(), screen.get()); }
    uint32_t Back(int x, int y)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        EXPECT_EQ(screen->GetBackBuffer()->Lock(nullptr, &d, 0, nullptr), DD_OK);
        uint32_t p = 0;
        std::memcpy(&p, static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * 4, 4);
        screen->GetBackBuffer()->Unlock(nullptr);
        return p & 0xFFFFFF;
    }

    HWND window = nullptr;
    CGllManager manager;
    std::unique_ptr<CScreen> screen;
    CFileImageSurface* texture = nullptr;
    CCosTable table;
    CCosTable* before = nullptr;
};

TEST_F(TexturedQuad, DrawnBrightenedAndDarkenedByTheDevice)
{
    CTexturedQuad* quad = nullptr;
    ASSERT_EQ(screen->CreateTexturedQuad(&quad, texture, 10, 10, nullptr), 0);
    EXPECT_EQ(quad->Blend()[0], 0);  // an opaque format: blending off
    EXPECT_EQ(quad->ColorStage()[0], D3DTOP_MODULATE);
    EXPECT_EQ(quad->AlphaStage()[0], D3DTOP_SELECTARG1);
    screen->Insert(quad, 1, 0);
    struct {
        LONG brightness;
        uint32_t left, right;
    } const cases[] = {{-1, 0x000000, 0x000000},      {0, 0x000000, 0x000000}, {255, 0xFF0000, 0x0000FF},
                       {510, 0xFFFFFF, 0xFFFFFF},     {9999, 0xFFFFFF, 0xFFFFFF}};
    ASSERT_EQ(Frame(), 0);
    EXPECT_EQ(Back(10, 10), 0xFF0000u);
    EXPECT_EQ(Back(17, 17), 0x0000FFu);
    EXPECT_EQ(Back(18, 17), 0x102030u);
    for (const auto& c : cases) {
        quad->SetBlend(false, 255, c.brightness);
        screen->ClearBackBuffer();
        ASSERT_EQ(Frame(), 0);
        EXPECT_EQ(Back(11, 12), c.left) << c.brightness;
        EXPECT_EQ(Back(16, 12), c.right) << c.brightness;
    }
    // Alpha 0 leaves the back buffer as it was; disabled, nothing is drawn.
    quad->SetBlend(false, -7, 255);
    EXPECT_EQ(quad->Vertices()[0].diffuse >> 24, 0u);
    screen->ClearBackBuffer();
    ASSERT_EQ(Frame(), 0);
    EXPECT_EQ(Back(11, 12), 0x102030u);
    quad->SetEnabled(0);
    EXPECT_EQ(quad->Draw(nullptr, nullptr, nullptr), 0);
    quad->SetEnabled(1);
    EXPECT_EQ(quad->Draw(nullptr, nullptr, nullptr), 1);
    // The texture deleted under it: forgotten, the missing-source code ends the pass.
    EXPECT_EQ(screen->DeleteSurface(texture), 0);
    EXPECT_EQ(quad->GetSurface(), nullptr);
    EXPECT_EQ(Frame(), 1);
}

TEST_F(TexturedQuad, CodesBlendsAndCoordinates)
{
    CTexturedQuad* quad = nullptr;
    EXPECT_EQ(screen->CreateTexturedQuad(&quad, nullptr, 0, 0, nullptr), 1);
    CDDImage* plain = nullptr;
    ASSERT_EQ(screen->CreateDDImage(&plain, 8, 8, false), 0);
    EXPECT_EQ(screen->CreateTexturedQuad(&quad, plain, 0, 0, nullptr), 1);  // not a texture
    CFileImageSurface unloaded;
    EXPECT_EQ(screen->CreateTexturedQuad(&quad, &unloaded, 0, 0, nullptr), 1);
    const RECT part{2, 1, 20, 6};  // cut to the 8 x 8 picture
    ASSERT_EQ(screen->CreateTexturedQuad(&quad, texture, 5, 6, &part), 0);
    EXPECT_EQ(quad->GetSourceRect().right, 8);
    EXPECT_EQ(quad->Vertices()[3].x, 11.0f);
    EXPECT_EQ(quad->Vertices()[3].y, 11.0f);
    EXPECT_FLOAT_EQ(quad->Vertices()[0].tu, static_cast<float>(texture->GetTexU(2)));
    EXPECT_EQ(quad->SetSurface(plain), 1);
    ASSERT_TRUE(quad->SetPositionRect(1, 0, nullptr));
    EXPECT_FLOAT_EQ(quad->Vertices()[0].tu, static_cast<float>(texture->GetTexU(3)));
    EXPECT_EQ(quad->Vertices()[0].x, 5.0f);

    struct {
        bool additive;
        LONG alpha, brightness;
        uint8_t destination, colorOp;
        DWORD vertexAlpha, grey;
    } const blends[] = {
        {false, 255, 255, D3DBLEND_INVSRCALPHA, D3DTOP_ADD, 255, 0},
        {true, 300, 0, D3DBLEND_ONE, D3DTOP_SUBTRACT, 255, 255},
        {false, -5, 600, D3DBLEND_INVSRCALPHA, D3DTOP_ADD, 0, 255},
        {false, 77, -20, D3DBLEND_INVSRCALPHA, D3DTOP_SUBTRACT, 77, 255},
        {false, 128, 100, D3DBLEND_INVSRCALPHA, D3DTOP_SUBTRACT, 128, 155},
    };
    for (const auto& c : blends) {
        quad->SetBlend(c.additive, c.alpha, c.brightness);
        EXPECT_EQ(quad->Blend()[0], 1);
        EXPECT_EQ(quad->Blend()[1], D3DBLEND_SRCALPHA);
        EXPECT_EQ(quad->Blend()[2], c.destination);
        EXPECT_EQ(quad->ColorStage()[0], c.colorOp);
        EXPECT_EQ(quad->AlphaStage()[0], D3DTOP_MODULATE);
        EXPECT_EQ(quad->AlphaStage()[2], D3DTA_DIFFUSE);
        for (const auto& v : quad->Vertices()) {
            EXPECT_EQ(v.diffuse >> 24, c.vertexAlpha) << c.brightness;
            EXPECT_EQ(v.diffuse & 0xFFFFFF, c.grey * 0x010101u) << c.brightness;
        }
    }
}

TEST_F(TexturedQuad, TurnsAboutEachPivotAndHitsExactly)
{
    CTexturedQuad quad;
    ASSERT_EQ(quad.Init(texture, 100, 50, nullptr), 0);
    quad.SetSize(20, 10);
    struct {
        int pivot;
        float px, py;
    } const pivots[] = {{0, 100, 50}, {1, 120, 50}, {2, 100, 60}, {3, 120, 60}, {4, 110, 55}, {5, 100, 50}};
    for (const auto& p : pivots) {
        quad.Rotate(128, p.pivot);
        const float corners[4][2] = {{100, 50}, {120, 50}, {100, 60}, {120, 60}};
        for (size_t i = 0; i < 4; ++i) {
            const float dx = corners[i][0] - p.px, dy = corners[i][1] - p.py;
            EXPECT_EQ(quad.Vertices()[i].x, p.px + dy) << p.pivot << " corner " << i;
            EXPECT_EQ(quad.Vertices()[i].y, p.py - dx) << p.pivot << " corner " << i;
        }
    }
    // Far corners do not overflow the products.
    quad.SetSizeAndPosition(2000000000, 2000000000, 0, 0);
    quad.Rotate(256, 0);
    EXPECT_EQ(quad.Vertices()[3].x, -2000000000.0f);
    // Exact hits over a keyed texture miss the key's pixels.
    quad.SetSizeAndPosition(0, 0, 10, 10);
    EXPECT_TRUE(quad.HitTest(11, 11, true));
    ASSERT_EQ(texture->SetColorKeyRgb(255, 0, 0), 0);
    EXPECT_FALSE(quad.HitTest(11, 11, true));
    EXPECT_TRUE(quad.HitTest(11, 11, false));
    EXPECT_TRUE(quad.HitTest(16, 11, true));
    EXPECT_FALSE(quad.HitTest(18, 11, false));
}

TEST_F(TexturedQuad, APathTaskFadesIt)
{
    CTexturedQuad quad;
    ASSERT_EQ(quad.Init(texture, 0, 0, nullptr), 0);
    quad.SetAlpha(0x40);
    drawing_test::VirtualClockAt clock{1000};
    CTimerManager timers;
    CPathMoveTask* task = new CPathMoveTask(100, 0, 0, 0.0, 0, 0, 0, 0);
    task->SetOwnerSlot(&task);
    ASSERT_EQ(task->SetPathText("(100, 0, 200)"), 0);
    ASSERT_EQ(task->SetSceneTarget(&timers, &quad), 0);
    EXPECT_TRUE(task->IsAlphaOn());
    EXPECT_EQ(task->GetValues()[0], 0x40);
    timers.RunDue(1000);
    timers.RunDue(1200);
    EXPECT_EQ(task, nullptr);
    EXPECT_EQ(quad.GetX(), 100);
    EXPECT_EQ(quad.Vertices()[3].diffuse >> 24, 200u);
}

} // namespace
