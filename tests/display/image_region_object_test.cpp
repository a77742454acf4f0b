// The image region scene object on the screen as shipped (blits need no Direct3D): drawn unscaled,
// at an explicit size and keyed into the back buffer, cut by the output rectangle; hit tests; and
// the surface it borrows deleted alone, by group or with everything, in any order: the region
// forgets it and answers the missing-source code instead of reading freed memory. The canvas
// region takes only canvas surfaces and brings the canvas up to date before it blits. The
// transition steps a wipe into its destination as the dispatcher does, or straight onto the screen.
#include <gtest/gtest.h>

#include "display/canvas_region_object.h"
#include "display/canvas_surface.h"
#include "display/dd_image.h"
#include "display/image_region_object.h"
#include "display/transition_object.h"
#include "raster/draw_transition.h"
#include "display/screen.h"
#include "winapi/ddraw_testing.h"
#include "winapi/headless_util.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <cstring>
#include <memory>

namespace {

class ImageRegion : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        winapi::ddraw_testing::Reset();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "ImageRegion";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "ImageRegion", "r", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(window, nullptr);
        screen = std::make_unique<CScreen>();
        ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
        screen->SetClearColor(0x10, 0x20, 0x30);
        ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
        screen->ClearBackBuffer();
        ASSERT_EQ(screen->CreateDDImage(&image, 16, 8, false), 0);
        ASSERT_EQ(image->FillColor(0xC0, 0x40, 0x20), 0);
    }
    void TearDown() override
    {
        screen.reset();
        DestroyWindow(window);
        winapi::ddraw_testing::Reset();
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
    CDDImage* image = nullptr;
};

TEST_F(ImageRegion, BlitsUnscaledScaledAndCut)
{
    CImageRegionObject* region = nullptr;
    EXPECT_EQ(screen->CreateImageRegion(&region, nullptr, nullptr, 0, 0), 1);
    const RECT part{2, 1, 12, 7};
    ASSERT_EQ(screen->CreateImageRegion(&region, image, &part, 10, 5), 0);
    screen->Insert(region, 1, 0);
    ASSERT_EQ(Frame(), 0);
    EXPECT_EQ(Back(10, 5), 0xC04020u);
    EXPECT_EQ(Back(19, 10), 0xC04020u);
    EXPECT_EQ(Back(20, 10), 0x102030u);
    EXPECT_EQ(Back(19, 11), 0x102030u);
    // At twice the size.
    region->SetSizeAndPosition(20, 12, 30, 30);
    ASSERT_EQ(Frame(), 0);
    EXPECT_EQ(Back(49, 41), 0xC04020u);
    EXPECT_EQ(Back(50, 41), 0x102030u);
    RECT bounds;
    ASSERT_TRUE(region->GetBounds(&bounds));
    EXPECT_EQ(bounds.right, 50);
    EXPECT_TRUE(region->HitTest(30, 30, true));
    EXPECT_FALSE(region->HitTest(50, 30, false));
    // Wholly outside the output: nothing, 0. Partly outside: cut.
    region->SetSizeAndPosition(0, 0, 70, 10);
    EXPECT_EQ(Frame(), 0);
    region->SetPosition(58, 44);
    EXPECT_EQ(Frame(), 0);
    EXPECT_EQ(Back(63, 47), 0xC04020u);
    // A keyed source leaves its key's pixels; an exact hit test misses them.
    ASSERT_EQ(image->SetColorKeyRgb(0xC0, 0x40, 0x20), 0);
    screen->ClearBackBuffer();
    region->SetPosition(0, 0);
    EXPECT_EQ(Frame(), 0);
    EXPECT_EQ(Back(3, 3), 0x102030u);
    EXPECT_FALSE(region->HitTest(3, 3, true));
    EXPECT_TRUE(region->HitTest(3, 3, false));
}

TEST_F(ImageRegion, CanvasRegionBlitsTheUpdatedCanvas)
{
    CCanvasRegionObject* region = nullptr;
    EXPECT_EQ(screen->CreateCanvasRegion(&region, image, nullptr, 0, 0), 1);  // not a canvas
    EXPECT_EQ(screen->CreateCanvasRegion(&region, nullptr, nullptr, 0, 0), 1);
    CCanvasSurface* canvas = nullptr;
    ASSERT_EQ(screen->CreateCanvasSurface(&canvas, 8, 4, 32, 0), 0);
    const RECT part{2, 1, 6, 4};
    ASSERT_EQ(screen->CreateCanvasRegion(&region, canvas, &part, 10, 5), 0);
    EXPECT_EQ(region->GetType(), kSceneCanvasRegion);
    EXPECT_EQ(region->SetSurface(image), 1);
    EXPECT_EQ(region->GetSurface(), canvas);
    screen->Insert(region, 1, 0);
    // Drawn into the canvas image only: the region's draw carries it to the surface.
    canvas->GetImage()->CDibSurface::FillRect(200, 100, 50, nullptr, nullptr);
    canvas->GetImage()->MarkChanged(RECT{0, 0, 8, 4});
    ASSERT_EQ(Frame(), 0);
    EXPECT_EQ(Back(10, 5), 0xC86432u);
    EXPECT_EQ(Back(13, 7), 0xC86432u);
    EXPECT_EQ(Back(14, 7), 0x102030u);
    EXPECT_EQ(Back(13, 8), 0x102030u);
    EXPECT_EQ(screen->DeleteSurface(canvas), 0);
    EXPECT_EQ(Frame(), 1);
}

TEST_F(ImageRegion, TransitionStepsAsTheDispatcherDoes)
{
    CTransitionObject* transition = nullptr;
    CDDImage unmade;
    CDDImage* destination = nullptr;
    CDDImage* reference = nullptr;
    ASSERT_EQ(screen->CreateDDImage(&destination, 16, 8, false), 0);
    ASSERT_EQ(screen->CreateDDImage(&reference, 16, 8, false), 0);
    ASSERT_EQ(destination->FillColor(0, 0, 0), 0);
    ASSERT_EQ(reference->FillColor(0, 0, 0), 0);
    struct {
        CSurface* destination;
        CSurface* source;
        int32_t wipe;
        int code;
    } const codes[] = {{destination, nullptr, 0, 1}, {destination, &unmade, 0, 1}, {&unmade, image, 0, 2},
                       {destination, image, 87, 3},  {destination, image, -1, 3},   {nullptr, image, 0, 0}};
    for (const auto& c : codes) {
        EXPECT_EQ(screen->CreateTransition(&transition, c.destination, c.source, c.wipe, 0, 0, 100), c.code)
            << c.wipe;
        if (c.code == 0) {
            EXPECT_EQ(screen->DeleteSceneObject(transition), 0);
        }
    }
    ASSERT_EQ(screen->CreateTransition(&transition, destination, image, 5, 20, 10, 128), 0);
    ASSERT_EQ(DrawTransition(5, reference, image, 128, 0, 0, kTransitionCopy, nullptr), 0);
    screen->Insert(transition, 1, 0);
    ASSERT_EQ(Frame(), 0);
    for (LONG y = 0; y < 8; ++y)
        for (LONG x = 0; x < 16; ++x) {
            ASSERT_EQ(destination->GetPixelValue(x, y), reference->GetPixelValue(x, y)) << x << "," << y;
            ASSERT_EQ(Back(20 + x, 10 + y), static_cast<uint32_t>(reference->GetPixelValue(x, y))) << x << "," << y;
        }
    // The whole wipe over a refilled destination; then a rectangle of it at twice the size.
    ASSERT_EQ(transition->DrawStep(256), 0);
    EXPECT_EQ(transition->GetProgress(), 256);
    EXPECT_EQ(destination->GetPixelValue(15, 7), 0xC04020);
    const RECT part{0, 0, 4, 4};
    ASSERT_TRUE(transition->SetPositionRect(0, 0, &part));
    transition->SetSize(8, 8);
    screen->ClearBackBuffer();
    ASSERT_EQ(Frame(), 0);
    EXPECT_EQ(Back(27, 17), 0xC04020u);
    EXPECT_EQ(Back(28, 17), 0x102030u);
    // Its destination deleted: it draws nothing and ends the pass.
    EXPECT_EQ(screen->DeleteSurface(destination), 0);
    EXPECT_EQ(Frame(), 1);
    ASSERT_EQ(transition->SetDestination(nullptr), 0);
    // Without a destination the whole wipe lands on the screen at the screen position.
    ASSERT_EQ(transition->DrawStep(256), 0);
    screen->ClearBackBuffer();
    ASSERT_EQ(Frame(), 0);
    EXPECT_EQ(Back(20, 10), 0xC04020u);
    EXPECT_EQ(Back(35, 17), 0xC04020u);
    EXPECT_EQ(Back(36, 17), 0x102030u);
    // A wipe index outside the table is a failure, not a success.
    ASSERT_EQ(screen->CreateTransition(&transition, nullptr, image, 99, 0, 0, 256), 0);
    EXPECT_EQ(transition->Draw(screen->GetBackBuffer(), &screen->GetOutputRect(), screen.get()), -1);
}

TEST_F(ImageRegion, DeletedSurfacesAreForgottenInAnyOrder)
{
    struct Case {
        const char* name;
        int how;  // 0 the surface alone, 1 its group, 2 everything, 3 the region first
    } const cases[] = {{"surface alone", 0}, {"by group", 1}, {"everything", 2}, {"region first", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDDImage* source = nullptr;
        screen->SetGroup(5);
        ASSERT_EQ(screen->CreateDDImage(&source, 8, 8, false), 0);
        screen->SetGroup(6);
        CImageRegionObject* a = nullptr;
        CImageRegionObject* b = nullptr;
        ASSERT_EQ(screen->CreateImageRegion(&a, source, nullptr, 0, 0), 0);
        ASSERT_EQ(screen->CreateImageRegion(&b, source, nullptr, 4, 4), 0);
        screen->Insert(a, 2, 0);
        screen->Insert(b, 1, 0);
        EXPECT_EQ(SurfaceBorrowerCount(source), 2u);
        switch (c.how) {
        case 0:
            EXPECT_EQ(screen->DeleteSurface(source), 0);
            break;
        case 1:
            screen->DeleteObjectsByGroup(5, 1);  // group 5's surfaces; the regions are group 6
            break;
        case 2:
            screen->DeleteAllObjects();
            break;
        case 3:
            EXPECT_EQ(screen->DeleteSceneObject(a), 0);
            EXPECT_EQ(SurfaceBorrowerCount(source), 1u);
            EXPECT_EQ(screen->DeleteSurface(source), 0);
            a = nullptr;
            break;
        }
        if (c.how == 2) {
            EXPECT_EQ(screen->SceneObjectCount(), 0u);
            EXPECT_EQ(screen->Head(), nullptr);
            continue;
        }
        EXPECT_EQ(b->GetSurface(), nullptr);
        EXPECT_EQ(Frame(), 1);  // the missing source ends the pass
        EXPECT_FALSE(b->HitTest(5, 5, true));
        if (a != nullptr) {
            EXPECT_EQ(screen->DeleteSceneObject(a), 0);
        }
        EXPECT_EQ(screen->DeleteSceneObject(b), 0);
        EXPECT_EQ(screen->Head(), nullptr);
    }
}

} // namespace
