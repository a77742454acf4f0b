// The triangle, point-list and render-state scene objects: drawn by the general device into the
// back buffer; as shipped the geometry ends the task pass with 2 and the state objects change
// nothing; the point list's count and argument codes, lent and copied points, scale and turning;
// the triangle's points and scale; the state objects applying only bytes other than 255.
#include <gtest/gtest.h>

#include "display/primitive_list_object.h"
#include "display/render_state_object_a.h"
#include "display/render_state_object_b.h"
#include "display/screen.h"
#include "display/triangle_object.h"
#include "display_test_util.h"
#include "platform/cos_table.h"
#include "winapi/ddraw_testing.h"
#include "winapi/headless_util.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

namespace sw = winapi::ddraw_testing;

class GeometryObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        sw::Reset();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "GeometryObjects";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "GeometryObjects", "g", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        before = g_pCosTable;
        g_pCosTable = &table;
    }
    void TearDown() override
    {
        g_pCosTable = before;
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
    CCosTable table;
    CCosTable* before = nullptr;
};

TEST_F(GeometryObjects, DrawnByTheDevice)
{
    Open(true);
    CTriangleObject* triangle = nullptr;
    ASSERT_EQ(screen->CreateTriangle(&triangle, 0, 0, 20, 0, 0, 20, 0xFFFF0000, 4, 4), 0);
    LONG xs[] = {40, 42, 44}, ys[] = {30, 30, 30};
    CPrimitiveListObject* points = nullptr;
    ASSERT_EQ(screen->CreatePrimitiveList(&points, 3, xs, ys, 0xFF00FF00, D3DPT_POINTLIST, false), 0);
    points->SetPosition(0, 2);
    LONG lx[] = {10, 30}, ly[] = {40, 40};
    CPrimitiveListObject* line = nullptr;
    ASSERT_EQ(screen->CreatePrimitiveList(&line, 2, lx, ly, 0xFF0000FF, D3DPT_LINELIST, true), 0);
    screen->Insert(triangle, 3, 0);
    screen->Insert(points, 2, 0);
    screen->Insert(line, 1, 0);
    ASSERT_EQ(Frame(), 0);
    EXPECT_EQ(Back(5, 5), 0xFF0000u);
    EXPECT_EQ(Back(20, 20), 0x102030u);  // beyond the hypotenuse
    EXPECT_EQ(Back(40, 32), 0x00FF00u);
    EXPECT_EQ(Back(44, 32), 0x00FF00u);
    EXPECT_EQ(Back(41, 32), 0x102030u);
    EXPECT_EQ(Back(10, 40), 0x0000FFu);
    EXPECT_EQ(Back(30, 40), 0x0000FFu);  // both ends drawn
    EXPECT_EQ(Back(20, 41), 0x102030u);
    // A lent array is read where it lies: the caller's change shows at the next lay-out.
    lx[1] = 20;
    line->SetPosition(0, 0);
    EXPECT_EQ(line->Vertices()[1].x, 20.0f);
    EXPECT_EQ(points->SetPoint(0, 0, 0), true);
    EXPECT_EQ(xs[0], 40);  // copied: the caller's array is untouched
    EXPECT_EQ(screen->DeleteSceneObject(triangle), 0);
    EXPECT_EQ(screen->Head()->task, points);
}

TEST_F(GeometryObjects, AsShippedGeometryEndsThePassAndStatesChangeNothing)
{
    Open(false);
    CRenderStateObjectA* states = nullptr;
    ASSERT_EQ(screen->CreateRenderStateA(&states), 0);
    states->SetState(CRenderStateObjectA::kCull, 1);
    CTriangleObject* triangle = nullptr;
    ASSERT_EQ(screen->CreateTriangle(&triangle, 0, 0, 8, 0, 0, 8, 0xFFFF0000, 0, 0), 0);
    LONG xs[] = {1}, ys[] = {1};
    CPrimitiveListObject* points = nullptr;
    ASSERT_EQ(screen->CreatePrimitiveList(&points, 1, xs, ys, 0xFFFFFFFF, D3DPT_POINTLIST, false), 0);
    screen->Insert(states, 3, 0);
    screen->Insert(triangle, 2, 0);
    EXPECT_EQ(Frame(), 2);
    EXPECT_EQ(points->Draw(nullptr, nullptr, screen.get()), 2);
    EXPECT_EQ(points->Draw(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(triangle->Draw(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(states->Draw(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(Back(1, 1), 0x102030u);
    CPrimitiveListObject empty;
    EXPECT_EQ(empty.Draw(nullptr, nullptr, screen.get()), 1);
    EXPECT_FALSE(empty.Rotate(10, 0));
}

TEST_F(GeometryObjects, StateObjectsApplyOnlyTheirSetBytes)
{
    Open(true);
    CRenderStateObjectA a;
    CRenderStateObjectB b;
    const int cullCalls = sw::RenderStateCalls(D3DRENDERSTATE_CULLMODE);
    const int opCalls = sw::StageStateCalls(D3DTSS_COLOROP);
    EXPECT_EQ(a.Draw(nullptr, nullptr, screen.get()), 0);  // all 255: nothing
    EXPECT_EQ(b.Draw(nullptr, nullptr, screen.get()), 0);
    EXPECT_EQ(sw::RenderStateCalls(D3DRENDERSTATE_CULLMODE), cullCalls);
    EXPECT_EQ(sw::StageStateCalls(D3DTSS_COLOROP), opCalls);
    a.SetState(CRenderStateObjectA::kCull, D3DCULL_CW);
    a.SetState(CRenderStateObjectA::kAlphaFunc, D3DCMP_GREATER);
    b.SetState(CRenderStateObjectB::kColorOp, D3DTOP_ADD);
    b.SetState(CRenderStateObjectB::kAlphaArg2, D3DTA_DIFFUSE);
    EXPECT_EQ(a.Draw(nullptr, nullptr, screen.get()), 0);
    EXPECT_EQ(b.Draw(nullptr, nullptr, screen.get()), 0);
    EXPECT_EQ(screen->GetCachedState(CD3DDevice::kCullMode), D3DCULL_CW);
    EXPECT_EQ(screen->GetCachedState(CD3DDevice::kAlphaFunc), D3DCMP_GREATER);
    EXPECT_EQ(screen->GetCachedState(CD3DDevice::kColorOp), D3DTOP_ADD);
    EXPECT_EQ(screen->GetCachedState(CD3DDevice::kAlphaArg2), D3DTA_DIFFUSE);
    // The same values again cost no device call; disabled, nothing is applied.
    const int calls = sw::MethodCalls("SetRenderState") + sw::MethodCalls("SetTextureStageState");
    EXPECT_EQ(a.Draw(nullptr, nullptr, screen.get()), 0);
    EXPECT_EQ(b.Draw(nullptr, nullptr, screen.get()), 0);
    a.SetState(CRenderStateObjectA::kCull, D3DCULL_NONE);
    a.SetEnabled(0);
    EXPECT_EQ(a.Draw(nullptr, nullptr, screen.get()), 0);
    EXPECT_EQ(sw::MethodCalls("SetRenderState") + sw::MethodCalls("SetTextureStageState"), calls);
    a.Reset();
    EXPECT_EQ(a.States()[CRenderStateObjectA::kAlphaFunc], 255);
    RECT r;
    EXPECT_FALSE(a.GetBounds(&r));
    EXPECT_FALSE(b.HitTest(0, 0, true));
}

TEST_F(GeometryObjects, PointListCodes)
{
    LONG xs[4] = {}, ys[4] = {};
    struct {
        LONG count;
        bool xs, ys, table;
        int code;
    } const cases[] = {
        {1, true, true, true, 0},      {4, true, true, true, 0},     {0, true, true, true, 1},
        {-1, true, true, true, 1},     {-2147483647 - 1, true, true, true, 1}, {65536, true, true, true, 1},
        {3, false, true, true, 1},     {3, true, false, true, 1},    {3, true, true, false, 1},
    };
    for (const auto& c : cases) {
        g_pCosTable = c.table ? &table : nullptr;
        CPrimitiveListObject list;
        EXPECT_EQ(list.Init(c.count, c.xs ? xs : nullptr, c.ys ? ys : nullptr, 0xFFFFFFFF, D3DPT_POINTLIST, true),
                  c.code)
            << c.count;
        EXPECT_EQ(list.Count(), c.code == 0 ? static_cast<size_t>(c.count) : 0u);
    }
    g_pCosTable = &table;
    // The largest count the device draws is taken, copied.
    std::vector<LONG> big(65535, 7);
    CPrimitiveListObject list;
    ASSERT_EQ(list.Init(65535, big.data(), big.data(), 0x80FFFFFF, D3DPT_POINTLIST, false), 0);
    EXPECT_EQ(list.Blend()[0], 1);
    EXPECT_EQ(list.Vertices()[65534].x, 7.0f);
    EXPECT_FALSE(list.SetPoint(65535, 0, 0));
    CPrimitiveListObject one;
    ASSERT_EQ(one.Init(1, xs, ys, 0xFFFFFFFF, D3DPT_POINTLIST, false), 0);
    EXPECT_EQ(one.Blend()[0], 0);
    EXPECT_FALSE(one.SetLine(0, 0, 1, 1));
}

TEST_F(GeometryObjects, ScaleAndTurning)
{
    // Scale 2.0 from the points' least corner, then the position.
    CTriangleObject triangle;
    ASSERT_EQ(triangle.Init(5, 5, 9, 5, 5, 8, 0xFFFFFFFF, 100, 50), 0);
    EXPECT_EQ(triangle.Vertices()[1].x, 109.0f);
    triangle.SetScale(0x20000);
    EXPECT_EQ(triangle.Vertices()[0].x, 100.0f);
    EXPECT_EQ(triangle.Vertices()[1].x, 108.0f);
    EXPECT_EQ(triangle.Vertices()[2].y, 56.0f);
    EXPECT_FALSE(triangle.SetPoint(3, 0, 0));
    EXPECT_FALSE(triangle.SetPoint(-1, 0, 0));
    EXPECT_TRUE(triangle.SetPoint(2, 5, 10));
    EXPECT_EQ(triangle.Vertices()[2].y, 60.0f);
    triangle.SetBlend(true, 400);
    EXPECT_EQ(triangle.Blend()[2], D3DBLEND_ONE);
    EXPECT_EQ(triangle.Vertices()[0].diffuse >> 24, 255u);

    // A quarter turn counter-clockwise on the screen about each pivot of the box (20 x 10).
    LONG xs[] = {0, 20, 0, 20}, ys[] = {0, 0, 10, 10};
    CPrimitiveListObject list;
    ASSERT_EQ(list.Init(4, xs, ys, 0xFFFFFFFF, D3DPT_TRIANGLESTRIP, false), 0);
    list.SetPosition(100, 50);
    struct {
        int pivot;
        float px, py;
    } const pivots[] = {{0, 100, 50}, {1, 120, 50}, {2, 100, 60}, {3, 120, 60}, {4, 110, 55}, {7, 100, 50}};
    for (const auto& p : pivots) {
        ASSERT_TRUE(list.Rotate(128, p.pivot));
        for (size_t i = 0; i < 4; ++i) {
            const float dx = static_cast<float>(100 + xs[i]) - p.px, dy = static_cast<float>(50 + ys[i]) - p.py;
            EXPECT_EQ(list.Vertices()[i].x, p.px + dy) << p.pivot << " point " << i;
            EXPECT_EQ(list.Vertices()[i].y, p.py - dx) << p.pivot << " point " << i;
        }
    }
    // Far points do not overflow the products.
    ASSERT_TRUE(list.SetPoint(3, 2000000000, 2000000000));
    list.SetPosition(0, 0);
    ASSERT_TRUE(list.Rotate(256, 0));
    EXPECT_EQ(list.Vertices()[3].x, -2000000000.0f);
    EXPECT_EQ(list.Vertices()[3].y, -2000000000.0f);
    // Without the table the points are only laid again.
    g_pCosTable = nullptr;
    ASSERT_TRUE(list.Rotate(128, 0));
    EXPECT_EQ(list.Vertices()[1].x, 20.0f);
}

} // namespace
