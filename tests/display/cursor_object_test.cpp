// Scene objects as the mouse's software cursor: a three-frame cursor over an image region or a
// textured quad moves the object's source origin cell by cell and places it at the cursor;
// deleting the object (singly or by group) leaves the mouse without a cursor image.
#include <gtest/gtest.h>

#include "display/canvas_texture.h"
#include "display/dd_image.h"
#include "display/image_region_object.h"
#include "display/screen.h"
#include "display/textured_quad.h"
#include "platform/mouse_device.h"
#include "raster/dib_convert.h"
#include "winapi/ddraw_testing.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <memory>

namespace {

namespace sw = winapi::ddraw_testing;

class CursorObject : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = winapi::CurrentHeadlessHost();
        ASSERT_NE(host, nullptr);
        sw::Reset();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "CursorObject";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "CursorObject", "c", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        screen = std::make_unique<CScreen>();
        ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
        screen->SetWantDirect3DForTests(true);
        ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
        mouse.m_cursorPos = &position;
    }
    void TearDown() override
    {
        screen.reset();
        DestroyWindow(window);
        sw::Reset();
    }
    // Three frames of 10 ms: the source origins the object shows, one a frame.
    std::vector<LONG> RunFrames(CTask* object, ICursorImage* image, const RECT& (*source)(CTask*))
    {
        EXPECT_EQ(mouse.SetCursorImage(image, 3, 10, false, 2, 3), 0u);
        std::vector<LONG> lefts;
        for (int frame = 0; frame < 3; ++frame) {
            mouse.UpdateCursorImage();
            lefts.push_back(source(object).left);
            host->AdvanceClock(10);
        }
        EXPECT_EQ(object->GetX(), 20 - 2);
        EXPECT_EQ(object->GetY(), 30 - 3);
        EXPECT_EQ(object->IsEnabled(), 1);
        return lefts;
    }

    winapi::HeadlessHost* host = nullptr;
    HWND window = nullptr;
    std::unique_ptr<CScreen> screen;
    CPollingMouse mouse;
    CursorPosition position{20, 30};
};

TEST_F(CursorObject, AnImageRegionCursorMovesItsSourceOrigin)
{
    CDDImage* cells = nullptr;
    ASSERT_EQ(screen->CreateDDImage(&cells, 48, 16, false), 0);
    CImageRegionObject* region = nullptr;
    const RECT first{0, 0, 16, 16};
    ASSERT_EQ(screen->CreateImageRegion(&region, cells, &first, 0, 0), 0);
    const std::vector<LONG> lefts = RunFrames(region, region, [](CTask* t) -> const RECT& {
        return static_cast<CImageRegionObject*>(t)->GetSourceRect();
    });
    EXPECT_EQ(lefts, (std::vector<LONG>{0, 16, 32}));
    EXPECT_EQ(region->GetSourceRect().right - region->GetSourceRect().left, 16);
    position = CursorPosition{-1, 4};
    mouse.UpdateCursorImage();
    EXPECT_EQ(region->IsEnabled(), 0);

    ASSERT_EQ(screen->DeleteSceneObject(region), 0);
    EXPECT_EQ(mouse.m_image, nullptr);
    position = CursorPosition{20, 30};
    mouse.UpdateCursorImage();  // nothing left to draw with
    EXPECT_EQ(mouse.SetCursorImage(nullptr, 0, 0, false, 0, 0), 0u);
}

TEST_F(CursorObject, ATexturedQuadCursorMovesItsSourceOrigin)
{
    CCanvasTexture* cells = nullptr;
    ASSERT_EQ(screen->CreateCanvasTexture(&cells, kPixelA8R8G8B8, 48, 16, 32, 0, false), 0);
    CTexturedQuad* quad = nullptr;
    const RECT first{0, 0, 16, 16};
    screen->SetGroup(7);
    ASSERT_EQ(screen->CreateTexturedQuad(&quad, cells, 0, 0, &first), 0);
    const std::vector<LONG> lefts = RunFrames(quad, quad, [](CTask* t) -> const RECT& {
        return static_cast<CTexturedQuad*>(t)->GetSourceRect();
    });
    EXPECT_EQ(lefts, (std::vector<LONG>{0, 16, 32}));
    EXPECT_FLOAT_EQ(quad->Vertices()[0].tu, static_cast<float>(cells->GetTexU(32)));

    // Deleted with its group: the mouse forgets it.
    screen->SetGroup(0);
    CTexturedQuad* other = nullptr;
    ASSERT_EQ(screen->CreateTexturedQuad(&other, cells, 0, 0, nullptr), 0);
    screen->DeleteObjectsByGroup(7, 0);
    EXPECT_EQ(mouse.m_image, nullptr);
    EXPECT_EQ(screen->SceneObjectCount(), 1u);
    // A quad whose texture is gone is not ready: 2.
    ASSERT_EQ(screen->DeleteSurface(cells), 0);
    EXPECT_EQ(mouse.SetCursorImage(other, 3, 10, false, 0, 0), 2u);
    EXPECT_EQ(mouse.m_image, nullptr);
}

} // namespace
