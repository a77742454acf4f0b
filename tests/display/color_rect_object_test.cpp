// The coloured rectangle scene object on the screen's task list: drawn opaque and blended by the
// general device into the back buffer; as shipped (no device) it ends the task pass with 2; the
// blend presets and clamped alphas; turning about each pivot with the cosine table; lay-outs and
// bounds; the creator's listing and deletion leaving the task list.
#include <gtest/gtest.h>

#include "display/color_rect_object.h"
#include "display/screen.h"
#include "display_test_util.h"
#include "platform/cos_table.h"
#include "winapi/ddraw_testing.h"
#include "winapi/headless_util.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <cstring>
#include <memory>

namespace {

namespace sw = winapi::ddraw_testing;

class ColorRect : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        sw::Reset();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "ColorRect";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "ColorRect", "c", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        screen.reset();
        DestroyWindow(window);
        sw::Reset();
    }
    void Open(bool direct3D)
    {
        screen = std::make_unique<CScreen>();
        ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
        screen->SetClearColor(0x10, 0x20, 0x30);
        screen->SetWantDirect3DForTests(direct3D);
        ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
        screen->ClearBackBuffer();
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
    std::unique_ptr<CScreen> screen;
};

TEST_F(ColorRect, DrawnOpaqueAndBlendedByTheDevice)
{
    Open(true);
    CColorRectObject* opaque = nullptr;
    CColorRectObject* blended = nullptr;
    ASSERT_EQ(screen->CreateColorRect(&opaque, 16, 12, 0xFFFF0000, 8, 8), 0);
    ASSERT_EQ(screen->CreateColorRect(&blended, 10, 10, 0x8000FF00, 30, 20), 0);
    EXPECT_EQ(opaque->BlendEnable(), 0);
    EXPECT_EQ(blended->BlendEnable(), 1);
    EXPECT_EQ(blended->DestinationBlend(), D3DBLEND_INVSRCALPHA);
    screen->Insert(opaque, 2, 0);
    screen->Insert(blended, 1, 0);
    ASSERT_EQ(Frame(), 0);
    // Pixel centres at integers: the rectangle (8, 8)-(24, 20) owns columns 8..23 and rows 8..19.
    EXPECT_EQ(Back(8, 8), 0xFF0000u);
    EXPECT_EQ(Back(23, 19), 0xFF0000u);
    EXPECT_EQ(Back(24, 19), 0x102030u);
    EXPECT_EQ(Back(8, 20), 0x102030u);
    // 0x80 of green over the clear colour: (0x10 * 0x7F + 0) / 255 rounded and so on.
    const uint32_t mix = Back(35, 25);
    auto near = [](uint32_t got, int want, int shift) { return std::abs(static_cast<int>(got >> shift & 0xFF) - want) <= 1; };
    EXPECT_TRUE(near(mix, (0x10 * 127 + 127) / 255, 16)) << std::hex << mix;
    EXPECT_TRUE(near(mix, (255 * 128 + 0x20 * 127 + 127) / 255, 8)) << std::hex << mix;
    EXPECT_TRUE(near(mix, (0x30 * 127 + 127) / 255, 0)) << std::hex << mix;
    // Disabled: nothing drawn, 0.
    screen->ClearBackBuffer();
    opaque->SetEnabled(0);
    ASSERT_EQ(Frame(), 0);
    EXPECT_EQ(Back(10, 10), 0x102030u);
    // Deleting an object takes it out of the task list.
    EXPECT_EQ(screen->DeleteSceneObject(opaque), 0);
    EXPECT_EQ(screen->Head()->task, blended);
    EXPECT_EQ(screen->Head()->next, nullptr);
}

TEST_F(ColorRect, AsShippedTheFirstGeometryObjectEndsThePass)
{
    Open(false);
    CColorRectObject* rect = nullptr;
    ASSERT_EQ(screen->CreateColorRect(&rect, 16, 12, 0xFFFF0000, 8, 8), 0);
    std::string log;
    display_test::LogTask after("A", &log);
    screen->Insert(rect, 2, 0);
    screen->Insert(&after, 1, 0);
    EXPECT_EQ(Frame(), 2);
    EXPECT_EQ(log, "");
    EXPECT_EQ(Back(10, 10), 0x102030u);
    EXPECT_EQ(rect->Draw(nullptr, nullptr, nullptr), 1);
    screen->Remove(&after);
}

TEST_F(ColorRect, BlendsAlphasLayOutsAndBounds)
{
    CColorRectObject rect;
    ASSERT_EQ(rect.Init(20, 10, 0xFF123456, 5, 6), 0);
    RECT b;
    ASSERT_TRUE(rect.GetBounds(&b));
    EXPECT_EQ(b.left, 5);
    EXPECT_EQ(b.right, 25);
    EXPECT_EQ(b.bottom, 16);
    rect.SetSize(0, 4);  // 0: the Init width
    ASSERT_TRUE(rect.GetBounds(&b));
    EXPECT_EQ(b.right, 25);
    EXPECT_EQ(b.bottom, 10);
    EXPECT_TRUE(rect.HitTest(5, 6, false));
    EXPECT_FALSE(rect.HitTest(25, 6, false));
    rect.MoveBy(-5, -6);
    EXPECT_EQ(rect.GetX(), 0);
    struct {
        bool additive;
        LONG alpha;
        uint8_t destination;
        DWORD vertexAlpha;
    } const blends[] = {{false, 300, D3DBLEND_INVSRCALPHA, 255}, {true, -4, D3DBLEND_ONE, 0}, {false, 77, D3DBLEND_INVSRCALPHA, 77}};
    for (const auto& c : blends) {
        rect.SetBlend(c.additive, c.alpha);
        EXPECT_EQ(rect.BlendEnable(), 1);
        EXPECT_EQ(rect.DestinationBlend(), c.destination);
        for (const auto& v : rect.Vertices())
            EXPECT_EQ(v.diffuse >> 24, c.vertexAlpha);
    }
    rect.SetVertexRgb(4, 0xFFFFFF);  // outside: ignored
    rect.SetVertexRgb(1, 0xABCDEF);
    EXPECT_EQ(rect.Vertices()[1].diffuse & 0xFFFFFF, 0xABCDEFu);
    EXPECT_EQ(rect.Vertices()[0].diffuse & 0xFFFFFF, 0x123456u);
    CColorRectObject empty;
    EXPECT_FALSE(empty.GetBounds(&b));
    EXPECT_FALSE(empty.Overlaps(&rect));
}

TEST_F(ColorRect, TurnsAboutEachPivot)
{
    CCosTable table;
    CCosTable* before = g_pCosTable;
    CColorRectObject rect;
    ASSERT_EQ(rect.Init(20, 10, 0xFFFFFFFF, 100, 50), 0);
    rect.Rotate(128, 0);  // without the table: only re-laid
    EXPECT_EQ(rect.Vertices()[1].x, 120.0f);
    g_pCosTable = &table;
    // A quarter turn (128 of 512) counter-clockwise on the screen: (dx, dy) -> (dy, -dx).
    struct {
        int pivot;
        float px, py;
    } const pivots[] = {{0, 100, 50}, {1, 120, 50}, {2, 100, 60}, {3, 120, 60}, {4, 110, 55}, {9, 100, 50}};
    for (const auto& p : pivots) {
        rect.Rotate(128, p.pivot);
        const float corners[4][2] = {{100, 50}, {120, 50}, {100, 60}, {120, 60}};
        for (int i = 0; i < 4; ++i) {
            const float dx = corners[i][0] - p.px, dy = corners[i][1] - p.py;
            EXPECT_EQ(rect.Vertices()[static_cast<size_t>(i)].x, p.px + dy) << p.pivot << " corner " << i;
            EXPECT_EQ(rect.Vertices()[static_cast<size_t>(i)].y, p.py - dx) << p.pivot << " corner " << i;
        }
    }
    // Far corners do not overflow the products.
    rect.SetSizeAndPosition(2000000000, 2000000000, 0, 0);
    rect.Rotate(256, 0);
    EXPECT_EQ(rect.Vertices()[3].x, -2000000000.0f);
    g_pCosTable = before;
}

} // namespace
