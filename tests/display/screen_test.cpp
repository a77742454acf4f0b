// The screen on GDI: display creation, the frame image brought to the window (only what changed
// reaches the host), WM_PAINT repaints, a minimised window, a game thread drawing while the UI
// thread repaints; the factory's lists, groups and restore order.
#include "display/screen.h"
#include "display/surface_sprite.h"
#include "display_test_util.h"
#include "drawing/primitive_object.h"
#include "winapi/ddraw_testing.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <atomic>
#include <thread>

namespace {

using display_test::LogTask;

winapi::HeadlessHost& Host()
{
    return *winapi::CurrentHeadlessHost();
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

CScreen* g_paintScreen = nullptr;

LRESULT CALLBACK PaintProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        if (g_paintScreen)
            g_paintScreen->PaintToDC(dc, &paint.rcPaint);
        EndPaint(hwnd, &paint);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PaintProc;
        wc.lpszClassName = "ScreenTest";
        RegisterClassExA(&wc);
        RECT frame{0, 0, 64, 48};
        AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
        window = CreateWindowExA(0, "ScreenTest", "screen", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                 frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        g_paintScreen = &screen;
        Pump();
        Host().TakePresentedRects(window);
    }
    void TearDown() override
    {
        g_paintScreen = nullptr;
        DestroyWindow(window);
        Pump();
    }
    uint32_t Shown(int x, int y) { return Host().ReadBack(window).At(x, y) & 0xFFFFFF; }

    CScreen screen;
    HWND window = nullptr;
};

TEST_F(ScreenTest, CreateDisplayOnGdi)
{
    EXPECT_EQ(screen.CreateDisplay(window, true, false, false), 1); // no output size
    EXPECT_EQ(screen.SetOutputSize(0, 5), 1);
    CSurfaceSprite empty;
    screen.SetFrameImage(&empty); // size 0
    EXPECT_EQ(screen.CreateDisplay(window, true, false, false), 1);
    CSurfaceSprite canvas;
    ASSERT_EQ(canvas.Create(64, 48, 32, 1), 0);
    screen.SetFrameImage(nullptr);
    ASSERT_EQ(screen.SetOutputSize(64, 48), 0);
    screen.SetFrameImage(&canvas);
    // Full screen with a frame image and no scaling: no display surfaces, drawn as on GDI.
    ASSERT_EQ(screen.CreateDisplay(window, false, false, false), 0);
    EXPECT_EQ(screen.GetMode(), kDisplayFullScreen);
    EXPECT_EQ(screen.GetPresentPath(), 0);
    screen.SetPresentPathRequest(3);
    screen.SetTexturePathInWindow(true);
    winapi::ddraw_testing::Current().maxTextureSide = 32; // below the output: no texture path
    ASSERT_EQ(screen.CreateDisplay(window, true, false, false), 0);
    winapi::ddraw_testing::Reset();
    EXPECT_EQ(screen.GetPresentPathRequest(), 0); // the texture path fell back to GDI
    EXPECT_EQ(screen.GetMode(), kDisplayWindow);
    EXPECT_EQ(screen.GetColorDepth(), 32);
    EXPECT_EQ(screen.GetPresentPath(), 0);
    EXPECT_EQ(screen.ClearBackBuffer(), 1);
    EXPECT_EQ(screen.Present(), 1);
    EXPECT_EQ(screen.RestoreDevice(), 0);
    EXPECT_EQ(screen.FlipToGdi(), 1);
    EXPECT_FALSE(screen.IsStretchBlitSmooth());
}

TEST_F(ScreenTest, OnlyTheMovedShapesRectanglesReachTheHost)
{
    CSurfaceSprite canvas;
    ASSERT_EQ(canvas.Create(64, 48, 32, 1), 0);
    screen.SetFrameImage(&canvas);
    ASSERT_EQ(screen.CreateDisplay(window, true, false, false), 0);
    canvas.GetScene()->SetBackgroundRGB(0, 0, 80, true);
    CPrimitiveObject shape;
    ASSERT_EQ(shape.Setup(8, 6, 0xFFFF0000, 4, 4), 0);
    canvas.GetScene()->GetList().Insert(&shape, 0, 0);
    EXPECT_EQ(screen.RenderFrameImage(), 0);
    EXPECT_EQ(Shown(5, 5), 0xFF0000u);
    EXPECT_EQ(Shown(40, 40), 0x000050u);
    Host().TakePresentedRects(window);

    EXPECT_EQ(screen.RenderFrameImage(), 0); // unchanged
    Pump();
    EXPECT_TRUE(Host().TakePresentedRects(window).empty());

    shape.SetPosition(40, 30);
    EXPECT_EQ(screen.RenderFrameImage(), 0);
    auto presents = Host().TakePresentedRects(window);
    ASSERT_EQ(presents.size(), 1u);
    ASSERT_EQ(presents[0].size(), 2u);
    auto same = [](const RECT& a, const RECT& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    const RECT before{4, 4, 12, 10}, after{40, 30, 48, 36};
    EXPECT_TRUE((same(presents[0][0], before) && same(presents[0][1], after)) ||
                (same(presents[0][1], before) && same(presents[0][0], after)));
    EXPECT_EQ(Shown(5, 5), 0x000050u);
    EXPECT_EQ(Shown(41, 31), 0xFF0000u);
    canvas.GetScene()->GetList().Remove(&shape);
}

TEST_F(ScreenTest, PaintBeforeTheFirstFrameAndAfterARestore)
{
    CSurfaceSprite canvas;
    ASSERT_EQ(canvas.Create(64, 48, 32, 1), 0);
    canvas.GetScene()->SetBackgroundRGB(0, 200, 0, true);
    EXPECT_EQ(screen.PaintToDC(nullptr, nullptr), E_FAIL); // no frame image
    screen.SetFrameImage(&canvas);
    ASSERT_EQ(screen.CreateDisplay(window, true, false, false), 0);
    InvalidateRect(window, nullptr, FALSE);
    Pump();
    EXPECT_EQ(Shown(10, 10), 0u); // black until the first frame

    ShowWindow(window, SW_MINIMIZE);
    Pump();
    EXPECT_EQ(screen.RenderFrameImage(), 0); // frames meanwhile do no harm
    EXPECT_EQ(screen.RenderFrameImage(), 0);
    ShowWindow(window, SW_RESTORE);
    InvalidateRect(window, nullptr, FALSE);
    Pump();
    EXPECT_EQ(Shown(10, 10), 0x00C800u);
    EXPECT_EQ(Shown(63, 47), 0x00C800u);

    // A kind-10 frame image has no device context to paint from.
    CSurfaceSprite10 plain;
    ASSERT_EQ(plain.Create(64, 48, 32, 0), 0);
    screen.SetFrameImage(&plain);
    HDC dc = GetDC(window);
    EXPECT_EQ(screen.PaintToDC(dc, nullptr), E_FAIL);
    ReleaseDC(window, dc);
}

TEST_F(ScreenTest, AFrameImageOfAnotherSizeShowsWhatFits)
{
    CSurfaceSprite canvas;
    ASSERT_EQ(canvas.Create(64, 48, 32, 1), 0);
    screen.SetFrameImage(&canvas);
    ASSERT_EQ(screen.CreateDisplay(window, true, false, false), 0);
    CSurfaceSprite large;
    ASSERT_EQ(large.Create(200, 150, 32, 1), 0);
    large.GetScene()->SetBackgroundRGB(9, 9, 9, true);
    screen.SetFrameImage(&large);
    EXPECT_EQ(screen.GetOutputRect().right, 200);
    EXPECT_EQ(screen.RenderFrameImage(), 0);
    const winapi::Frame frame = Host().ReadBack(window);
    ASSERT_EQ(frame.width, 64);
    EXPECT_EQ(frame.At(63, 47) & 0xFFFFFF, 0x090909u);
    InvalidateRect(window, nullptr, FALSE);
    Pump(); // the repaint is cut to the window as well
}

TEST_F(ScreenTest, RepaintsRaceAGameThreadsFrames)
{
    CSurfaceSprite canvas;
    ASSERT_EQ(canvas.Create(64, 48, 32, 1), 0);
    screen.SetFrameImage(&canvas);
    ASSERT_EQ(screen.CreateDisplay(window, true, false, false), 0);
    CPrimitiveObject shape;
    ASSERT_EQ(shape.Setup(8, 8, 0xFFFFFFFF, 0, 0), 0);
    canvas.GetScene()->GetList().Insert(&shape, 0, 0);
    std::atomic<bool> done{false};
    std::thread game([&] {
        for (int i = 0; i < 200; ++i) {
            {
                CScopedLock lock(screen.GetLock()); // the frame's changes happen under the frame lock
                shape.SetPosition(i % 56, i % 40);
            }
            EXPECT_EQ(screen.RenderFrameImage(), 0);
        }
        done = true;
    });
    while (!done) {
        InvalidateRect(window, nullptr, FALSE);
        Pump();
    }
    game.join();
    Pump();
    EXPECT_EQ(Shown(199 % 56 + 1, 199 % 40 + 1), 0xFFFFFFu);
    canvas.GetScene()->GetList().Remove(&shape);
}

TEST(ScreenFactory, CreatorsListWhatTheyMadeAndNothingElse)
{
    CScreen screen;
    CImage* image = reinterpret_cast<CImage*>(1);
    EXPECT_EQ(screen.CreateImage(&image, 0, 4, 32, 0), 2); // the creation step's code
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(screen.SurfaceCount(), 0u);
    screen.SetGroup(7);
    ASSERT_EQ(screen.CreateImage(&image, 4, 4, 32, 0), 0);
    EXPECT_EQ(image->GetGroup(), 7u);
    CSurfaceSprite* canvas = nullptr;
    CSurfaceSprite10* canvas10 = nullptr;
    ASSERT_EQ(screen.CreateSurfaceSprite(&canvas, 8, 8, 32, 2), 0);
    ASSERT_EQ(screen.CreateSurfaceSprite10(&canvas10, 8, 8, 32, 1), 0);
    CSurfaceSprite* refused = canvas;
    EXPECT_EQ(screen.CreateSurfaceSprite(&refused, 8, 8, 7, 0), 1);
    EXPECT_EQ(refused, nullptr);
    CImage* copy = nullptr;
    ASSERT_EQ(screen.CreateImageCopy(&copy, image, 0), 0);
    screen.SetFrameImage(canvas10);
    CSurface* frameSurface = canvas10;
    EXPECT_EQ(screen.DeleteSurfaceAndClear(&frameSurface), 0);
    EXPECT_EQ(screen.GetFrameImage(), nullptr); // never left pointing at a deleted canvas
    ASSERT_EQ(screen.CreateSurfaceSprite10(&canvas10, 8, 8, 32, 1), 0);
    EXPECT_EQ(screen.SurfaceCount(), 4u);

    screen.SetDrawableGroup(3);
    CPrimitiveObject* shape = nullptr;
    ASSERT_EQ(screen.CreatePrimitive(&shape, 4, 4, 0xFF000000, 0, 0), 0);
    CSprite* sprite = nullptr;
    EXPECT_NE(screen.CreateSprite(&sprite, nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(sprite, nullptr);
    EXPECT_EQ(screen.DrawableCount(), 1u);
    canvas->GetScene()->GetList().Insert(shape, 0, 0);

    CScreen other;
    EXPECT_EQ(other.DeleteSurface(image), 2);
    EXPECT_EQ(screen.DeleteSurface(nullptr), 1);
    CSurface* doomed = copy;
    EXPECT_EQ(screen.DeleteSurfaceAndClear(&doomed), 0);
    EXPECT_EQ(doomed, nullptr);
    EXPECT_EQ(screen.DeleteSurface(copy), 2); // already gone
    CDrawable* drawable = shape;
    EXPECT_EQ(screen.DeleteDrawableAndClear(&drawable), 0); // leaves the canvas's list
    EXPECT_EQ(canvas->GetScene()->GetList().Head(), nullptr);
    EXPECT_EQ(screen.DeleteDrawable(shape), 2);
}

TEST(ScreenFactory, GroupDeletionMatrix)
{
    struct Case {
        DWORD flags;
        const char* tasksLeft;    // of A (group 3), B (group 4)
        size_t surfacesLeft;      // of one in group 3 and one in group 4
    } cases[] = {{1, "B", 1}, {2, "A", 2}, {3, "A", 1}, {0, "B", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        std::string log;
        CScreen screen;
        auto* a = new LogTask("A", &log);
        auto* b = new LogTask("B", &log);
        CImage* in3 = nullptr;
        CImage* in4 = nullptr;
        screen.SetGroup(3);
        ASSERT_EQ(screen.AdoptSceneObject(a), 0);
        ASSERT_EQ(screen.CreateImage(&in3, 2, 2, 32, 0), 0);
        screen.SetGroup(4);
        ASSERT_EQ(screen.AdoptSceneObject(b), 0);
        EXPECT_EQ(screen.AdoptSceneObject(b), 1);
        ASSERT_EQ(screen.CreateImage(&in4, 2, 2, 32, 0), 0);
        screen.Insert(a, 1, 0);
        screen.Insert(b, 1, 0);
        screen.DeleteObjectsByGroup(3, c.flags);
        screen.RenderAll(nullptr, nullptr, &screen);
        EXPECT_EQ(log, c.tasksLeft);
        EXPECT_EQ(screen.SurfaceCount(), c.surfacesLeft);
        if (c.surfacesLeft == 1) {
            EXPECT_EQ(screen.HasSurface(in3), (c.flags & 2) != 0);
        }
    }
}

TEST(ScreenFactory, DrawablesByGroupAndEverythingAtOnce)
{
    CScreen screen;
    CPrimitiveObject* shapes[3] = {};
    for (int i = 0; i < 3; ++i) {
        screen.SetDrawableGroup(i == 2 ? 5 : 1);
        ASSERT_EQ(screen.CreatePrimitive(&shapes[i], 2, 2, 0xFF000000, 0, 0), 0);
    }
    screen.DeleteDrawablesByGroup(5, true);
    EXPECT_EQ(screen.DrawableCount(), 1u);
    EXPECT_TRUE(screen.HasDrawable(shapes[2]));
    std::string log;
    auto* task = new LogTask("T", &log);
    screen.AdoptSceneObject(task);
    screen.Insert(task, 1, 0);
    CImage* image = nullptr;
    screen.CreateImage(&image, 2, 2, 32, 0);
    screen.DeleteAllObjects();
    EXPECT_EQ(screen.SceneObjectCount() + screen.DrawableCount() + screen.SurfaceCount(), 0u);
    EXPECT_EQ(screen.Head(), nullptr);
}

// A surface whose Restore answers what it is told, and counts its calls.
class RestoreProbe : public CImage {
public:
    int Restore(bool) override { return ++*calls, answer; }
    int answer = 0;
    int* calls = nullptr;
};

TEST(ScreenFactory, RestoreStopsAtTheFirstFailure)
{
    CScreen screen;
    int calls = 0;
    std::string log;
    auto* task = new LogTask("T", &log);
    screen.AdoptSceneObject(task);
    screen.Insert(task, 1, 0);
    RestoreProbe* probes[3] = {};
    for (auto*& probe : probes) {
        probe = new RestoreProbe();
        probe->calls = &calls;
        ASSERT_EQ(screen.AdoptSurface(probe), 0);
    }
    EXPECT_EQ(screen.RestoreSurfaces(true), 0);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(log, "T");
    probes[1]->answer = 6;
    calls = 0;
    log.clear();
    EXPECT_EQ(screen.RestoreSurfaces(true), 6);
    EXPECT_EQ(calls, 2); // the third surface and the task wait
    EXPECT_EQ(log, "");
}

} // namespace
