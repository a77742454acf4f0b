// Motion-path tasks on explicit times: one-segment moves, curves against the spline path's
// evaluation, easing against its formula, loops, pauses, start delays and visibility, size
// alignment and anchor, rotate and zoom, alpha, segment time 0, refusals while running, kinds,
// the owner's pointer, the priority hooks, and a scene object (a test task) as target.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "display/path_move_task.h"
#include "display/color_rect_object.h"
#include "display/primitive_list_object.h"
#include "display/triangle_object.h"
#include "platform/cos_table.h"
#include "display/path_rotate_task.h"
#include "display/path_size_task.h"
#include "display/screen_filter.h"
#include "display/task.h"
#include "drawing/drawing_test_util.h"
#include "drawing/scene.h"
#include "drawing/spline_path.h"
#include "drawing/sprite.h"
#include "platform/timer_manager.h"

namespace {

// A scene object that only keeps what the tasks set.
class TestTask : public CTask {
public:
    explicit TestTask(uint8_t type) : m_type(type) {}
    uint8_t GetType() const override { return m_type; }
    LONG GetX() const override { return x; }
    LONG GetY() const override { return y; }
    void SetPosition(LONG nx, LONG ny) override
    {
        x = nx;
        y = ny;
    }
    void SetSize(LONG, LONG) override {}
    void SetSizeAndPosition(LONG, LONG, LONG nx, LONG ny) override { SetPosition(nx, ny); }
    void MoveBy(LONG dx, LONG dy) override { SetPosition(x + dx, y + dy); }
    bool HitTest(LONG, LONG, bool) override { return false; }
    bool Overlaps(CTask*) override { return false; }
    bool GetBounds(RECT*) override { return false; }
    int Draw(IDirectDrawSurface7*, const RECT*, CScreen*) override { return 0; }
    int OnDeviceRestore() override { return 0; }

    LONG x = 5;
    LONG y = 6;

private:
    uint8_t m_type;
};

int g_lowered = 0;
int g_restored = 0;

class PathTaskTest : public drawing_test::DrawingEnvironment {
protected:
    void SetUp() override
    {
        DrawingEnvironment::SetUp();
        picture = drawing_test::RandomImage(40, 30, 32, 4);
        ASSERT_EQ(sprite.SetImage(picture.get(), nullptr, 10, 20), 0);
        ASSERT_EQ(target.Create(320, 240, 32, 0), 0);
        ASSERT_EQ(scene.SetTarget(&target, false), 0);
        g_lowered = g_restored = 0;
    }
    void TearDown() override
    {
        g_pfnLowerThreadPriority = nullptr;
        g_pfnRestoreThreadPriority = nullptr;
        DrawingEnvironment::TearDown();
    }

    drawing_test::VirtualClockAt clock{1000};
    std::unique_ptr<CImage> picture;
    CSprite sprite;
    CImage target;
    CScene scene;
    CTimerManager timers;
};

TEST_F(PathTaskTest, OneGroupMovesInOneSegment)
{
    CPathMoveTask* task = new CPathMoveTask(100, 0, 0, 0.0, 1, 0, 0, 0);
    task->SetOwnerSlot(&task);
    ASSERT_EQ(task->SetPathText("(110, 220, 255)"), 0);
    ASSERT_EQ(task->SetTarget(&timers, &sprite), 0);
    EXPECT_EQ(task->GetKind(), 12003);
    EXPECT_EQ(task->GetTotalTime(), 100u);
    timers.RunDue(1000);
    EXPECT_EQ(sprite.GetX(), 10);
    timers.RunDue(1050);
    EXPECT_EQ(sprite.GetX(), 60);
    EXPECT_EQ(sprite.GetY(), 120);
    // Refusals while running.
    const int32_t triple[3] = {1, 2, 3};
    EXPECT_EQ(task->SetPathText("(1, 2, 3)"), -1);
    EXPECT_EQ(task->SetPoints(1, triple), -1);
    EXPECT_EQ(task->SetTarget(&timers, &sprite), -1);
    timers.RunDue(1100);
    EXPECT_EQ(sprite.GetX(), 110);
    EXPECT_EQ(sprite.GetY(), 220);
    EXPECT_EQ(task, nullptr); // finished, deleted, the owner's pointer nulled
}

TEST_F(PathTaskTest, PathTextAndPointCodes)
{
    struct Case {
        const char* name;
        const char* text;
        uint8_t curve;
        int code;
        uint32_t points;
    };
    const Case cases[] = {
        {"null", nullptr, 0, 1, 0},
        {"no group", "1, 2, 3", 0, 2, 0},
        {"one group", "(1, 2, 3)", 0, 0, 2},
        {"one group with curve", "(1, 2, 3)", 1, 2, 0},
        {"two groups with curve", "(1, 2, 3)(4, 5, 6)", 1, 0, 3},
        {"missing value", "(1, 2)", 0, 2, 0},
        {"not a number", "(1, x, 3)", 0, 2, 0},
        {"trail byte is no group", "\x82(", 0, 2, 0},
        {"lead byte before the end", "(1, 2, 3)\x82", 0, 0, 2},
    };
    for (const Case& c : cases) {
        CPathMoveTask task(100, 0, 0, 0.0, 1, c.curve, 0, 0);
        EXPECT_EQ(task.SetPathText(c.text), c.code) << c.name;
        EXPECT_EQ(task.GetPointCount(), c.points) << c.name;
    }
    // A failed text keeps the path before it.
    CPathMoveTask task(100, 0, 0, 0.0, 1, 0, 0, 0);
    ASSERT_EQ(task.SetPathText("(1, 2, 3)(4, 5, 6)"), 0);
    EXPECT_EQ(task.SetPathText("(7, 8)"), 2);
    EXPECT_EQ(task.GetPointCount(), 3u);
    const int32_t triples[6] = {1, 2, 300, 4, 5, -6};
    EXPECT_EQ(task.SetPoints(0, triples), 1);
    EXPECT_EQ(task.SetPoints(2, nullptr), 1);
    ASSERT_EQ(task.SetPoints(2, triples), 0);
    EXPECT_EQ(task.GetValues()[1], 255);
    EXPECT_EQ(task.GetValues()[2], 0);
    CPathMoveTask curve(100, 0, 0, 0.0, 1, 1, 0, 0);
    EXPECT_EQ(curve.SetPoints(1, triples), 1);
    // Binding without timers, points or target.
    CPathMoveTask empty(100, 0, 0, 0.0, 1, 0, 0, 0);
    EXPECT_EQ(empty.SetTarget(&timers, &sprite), 1);
    EXPECT_EQ(task.SetTarget(nullptr, &sprite), 1);
    EXPECT_EQ(task.SetTarget(&timers, nullptr), 1);
}

TEST_F(PathTaskTest, CurveFollowsTheSplinePath)
{
    const int32_t triples[] = {100, 50, 255, 200, 150, 255, 20, 200, 255, 300, 10, 255};
    auto* task = new CPathMoveTask(100, 0, 0, 0.0, 1, 1, 0, 0);
    ASSERT_EQ(task->SetPoints(4, triples), 0);
    ASSERT_EQ(task->SetTarget(&timers, &sprite), 0);
    std::vector<PathStep> steps(5);
    for (size_t i = 0; i < 5; ++i) {
        steps[i].pointIndex = static_cast<int32_t>(i);
        steps[i].x = i == 0 ? 10 : triples[3 * (i - 1)];
        steps[i].y = i == 0 ? 20 : triples[3 * (i - 1) + 1];
    }
    CSplinePath reference;
    ASSERT_EQ(reference.SetSteps(steps.data(), 5, 5, 1), 0);
    timers.RunDue(1000);
    for (uint32_t t = 0; t < 400; t += 7) {
        timers.RunDue(1000 + t);
        const uint32_t i = t / 100;
        int32_t x = 0, y = 0;
        reference.EvalCubic(static_cast<int32_t>(i), steps[i], steps[i + 1], (t % 100) / 100.0, &x, &y);
        ASSERT_EQ(sprite.GetX(), x) << "t " << t;
        ASSERT_EQ(sprite.GetY(), y) << "t " << t;
    }
    timers.RunDue(1400);
    EXPECT_EQ(sprite.GetX(), 300);
    EXPECT_EQ(sprite.GetY(), 10);
}

TEST_F(PathTaskTest, EasingFollowsItsFormula)
{
    for (const double e : {0.0, 2.0, -2.0, 0.5}) {
        ASSERT_TRUE(sprite.SetPosition(0, 0));
        auto* task = new CPathMoveTask(1000, 0, 0, e, 1, 0, 0, 0);
        ASSERT_EQ(task->SetPathText("(1000, 0, 255)"), 0);
        ASSERT_EQ(task->SetTarget(&timers, &sprite), 0);
        timers.RunDue(1000);
        for (uint32_t elapsed = 0; elapsed < 1000; elapsed += 37) {
            timers.RunDue(1000 + elapsed);
            const double x = elapsed / 1000.0;
            const double t = e == 0 ? elapsed : e > 0 ? std::pow(x, e) * 1000 : (1 - std::pow(1 - x, -e)) * 1000;
            // Position = truncated time: one pixel a millisecond.
            ASSERT_EQ(sprite.GetX(), static_cast<int32_t>(t)) << "e " << e << " elapsed " << elapsed;
        }
        timers.RunDue(2000);
        EXPECT_EQ(sprite.GetX(), 1000);
        EXPECT_EQ(timers.GetCount(), 0u);
        timers.RunDue(2001);
    }
}

TEST_F(PathTaskTest, LoopsPausesAndDelays)
{
    // A loop jumps back to the bound state and never finishes.
    auto* loop = new CPathMoveTask(100, 0, 0, 0.0, 1, 0, 1, 0);
    ASSERT_EQ(loop->SetPathText("(110, 20, 255)"), 0);
    ASSERT_EQ(loop->SetTarget(&timers, &sprite), 0);
    timers.RunDue(1000);
    timers.RunDue(1090);
    EXPECT_EQ(sprite.GetX(), 100);
    timers.RunDue(1100);
    EXPECT_EQ(sprite.GetX(), 10);
    timers.RunDue(1150);
    EXPECT_EQ(sprite.GetX(), 60);
    EXPECT_EQ(timers.GetCount(), 1u);
    // Pausing 500 ms shifts the rest of the motion by 500 ms.
    loop->Pause(1150);
    timers.RunDue(1400);
    EXPECT_EQ(sprite.GetX(), 60);
    loop->Resume(1650);
    timers.RunDue(1670);
    EXPECT_EQ(sprite.GetX(), 80);
    timers.CancelAll();
    timers.RunDue(1700);

    // A start delay with visible while running shows the target when it ends; the end hides it.
    sprite.SetVisible(false);
    ASSERT_TRUE(sprite.SetPosition(10, 20));
    auto* delayed = new CPathMoveTask(100, 300, 1, 0.0, 1, 0, 0, 0);
    ASSERT_EQ(delayed->SetPathText("(110, 20, 255)"), 0);
    ASSERT_EQ(delayed->SetTarget(&timers, &sprite), 0);
    timers.RunDue(2000);
    timers.RunDue(2299);
    EXPECT_FALSE(sprite.IsVisible());
    EXPECT_EQ(sprite.GetX(), 10);
    timers.RunDue(2300);
    EXPECT_TRUE(sprite.IsVisible());
    timers.RunDue(2350);
    EXPECT_EQ(sprite.GetX(), 60);
    timers.RunDue(2400);
    EXPECT_FALSE(sprite.IsVisible());
    // Without a start delay the task does not show the target itself.
    auto* plain = new CPathMoveTask(100, 0, 1, 0.0, 1, 0, 0, 0);
    ASSERT_EQ(plain->SetPathText("(110, 20, 255)"), 0);
    ASSERT_EQ(plain->SetTarget(&timers, &sprite), 0);
    timers.RunDue(3000);
    timers.RunDue(3050);
    EXPECT_FALSE(sprite.IsVisible());
    timers.CancelAll();
}

TEST_F(PathTaskTest, SizeKeepsItsAlignment)
{
    struct Case {
        uint8_t h, v, anchor;
        LONG x, y;
    };
    const Case cases[] = {{0, 0, 1, 100, 100}, {1, 1, 1, 110, 110}, {2, 2, 1, 120, 120},
                          {1, 2, 0, 110, 120}, {2, 0, 0, 120, 100}};
    for (const Case& c : cases) {
        CSprite s;
        ASSERT_EQ(s.SetImage(picture.get(), nullptr, 100, 100), 0);
        auto* task = new CPathSizeTask(100, 0, 0, 0.0, c.h, c.v, c.anchor, 0, 0, 0);
        ASSERT_EQ(task->SetPathText("(20, 10, 255)(60, 40, 255)"), 0);
        ASSERT_EQ(task->SetTarget(&timers, &s), 0);
        EXPECT_EQ(task->GetLargestWidth(), 60);
        EXPECT_EQ(task->GetLargestHeight(), 40);
        ASSERT_NE(s.GetWorkImage(), nullptr);
        EXPECT_EQ(s.GetWorkImage()->GetWidth(), 60);
        timers.RunDue(1000);
        // The same time twice: the offsets do not pile up.
        timers.RunDue(1100);
        timers.RunDue(1100);
        EXPECT_EQ(s.GetRequestedWidth(), 20);
        EXPECT_EQ(s.GetX(), c.x) << int(c.h) << int(c.v) << int(c.anchor);
        EXPECT_EQ(s.GetY(), c.y) << int(c.h) << int(c.v) << int(c.anchor);
        timers.CancelAll();
        timers.RunDue(1101);
    }
    // The anchor ignores a move made meanwhile; without it the move is kept.
    for (const uint8_t anchor : {1, 0}) {
        CSprite s;
        ASSERT_EQ(s.SetImage(picture.get(), nullptr, 100, 100), 0);
        auto* task = new CPathSizeTask(100, 0, 0, 0.0, 1, 1, anchor, 0, 0, 0);
        ASSERT_EQ(task->SetPathText("(20, 10, 255)"), 0);
        ASSERT_EQ(task->SetTarget(&timers, &s), 0);
        timers.RunDue(1000);
        ASSERT_TRUE(s.SetPosition(200, 200));
        timers.RunDue(1100);
        EXPECT_EQ(s.GetX(), anchor ? 110 : 210);
        timers.RunDue(1101);
    }
}

TEST_F(PathTaskTest, RotateTurnsAndZooms)
{
    for (const uint8_t zoomOn : {1, 0}) {
        CSprite s;
        ASSERT_EQ(s.SetImage(picture.get(), nullptr, 50, 50), 0);
        auto* task = new CPathRotateTask(100, 0, 0, 0.0, zoomOn, 1, 0, 0);
        ASSERT_EQ(task->SetPathText("(128, 2.0, 0)"), 0);
        ASSERT_EQ(task->SetTarget(&timers, &s), 0);
        ASSERT_NE(s.GetWorkImage(), nullptr);
        // The work image fits any angle at the largest zoom (the 40×30 picture's diagonal is 50).
        EXPECT_GT(s.GetWorkImage()->GetWidth(), zoomOn ? 90 : 45);
        EXPECT_LT(s.GetWorkImage()->GetWidth(), zoomOn ? 110 : 55);
        timers.RunDue(1000);
        timers.RunDue(1050);
        EXPECT_EQ(s.GetAngle(), 64);
        EXPECT_EQ(s.GetZoom(), zoomOn ? 1.5 : 1.0);
        EXPECT_EQ(s.GetAlpha(), 127);
        timers.RunDue(1100);
        EXPECT_EQ(s.GetAngle(), 128);
        EXPECT_EQ(s.GetAlpha(), 0);
    }
}

TEST_F(PathTaskTest, SegmentTimeZeroFinishesAtOnce)
{
    auto* task = new CPathMoveTask(0, 0, 0, 0.0, 1, 0, 0, 0);
    ASSERT_EQ(task->SetPathText("(70, 80, 40)"), 0);
    EXPECT_EQ(task->SetTarget(&timers, &sprite), -2);
    EXPECT_EQ(sprite.GetX(), 70);
    EXPECT_EQ(sprite.GetAlpha(), 40);
    EXPECT_EQ(timers.GetCount(), 0u);
    EXPECT_FALSE(task->IsRunning());
    delete task; // not listed: still the caller's
}

TEST_F(PathTaskTest, KindsCancelAndHooks)
{
    g_pfnLowerThreadPriority = [] { ++g_lowered; };
    g_pfnRestoreThreadPriority = [] { ++g_restored; };
    ASSERT_EQ(scene.GetList().Insert(&sprite, 1, 0), 0);
    struct Case {
        CPathTask* task;
        int32_t kind;
    };
    auto* move = new CPathMoveTask(100, 0, 0, 0.0, 1, 0, 0, 1);
    auto* size = new CPathSizeTask(100, 0, 0, 0.0, 0, 0, 0, 0, 0, 1);
    auto* rotate = new CPathRotateTask(100, 0, 0, 0.0, 1, 0, 1, 1); // looping: no hook
    ASSERT_EQ(move->SetPathText("(100, 100, 255)"), 0);
    ASSERT_EQ(size->SetPathText("(10, 10, 255)"), 0);
    ASSERT_EQ(rotate->SetPathText("(10, 1.0, 255)"), 0);
    ASSERT_EQ(move->SetTarget(&timers, &sprite), 0);
    ASSERT_EQ(size->SetTarget(&timers, &sprite), 0);
    ASSERT_EQ(rotate->SetTarget(&timers, &sprite), 0);
    const Case cases[] = {{move, 12004}, {size, 12006}, {rotate, 12008}};
    for (const Case& c : cases)
        EXPECT_EQ(c.task->GetKind(), c.kind);
    EXPECT_EQ(g_lowered, 2);
    EXPECT_EQ(move->GetWaitMode(), 2);
    EXPECT_EQ(rotate->GetWaitMode(), 1);
    // Cancelling finishes a running task at once.
    timers.RunDue(1000);
    timers.CancelKind(12004);
    EXPECT_EQ(sprite.GetX(), 100);
    timers.RunDue(1001);
    EXPECT_EQ(g_restored, 1);
    timers.CancelAll();
    timers.RunDue(1002);
    EXPECT_EQ(g_lowered, 2);
    EXPECT_EQ(g_restored, 2);
    CPathSizeTask unbound(100, 0, 0, 0.0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(unbound.GetKind(), 12005);
}

TEST_F(PathTaskTest, AColourRectanglesAlphaFollowsThePath)
{
    CColorRectObject rect;
    ASSERT_EQ(rect.Init(10, 10, 0x40FF0000, 0, 0), 0);
    CPathMoveTask* task = new CPathMoveTask(100, 0, 0, 0.0, 0, 0, 0, 0);
    task->SetOwnerSlot(&task);
    ASSERT_EQ(task->SetPathText("(100, 0, 200)"), 0);
    ASSERT_EQ(task->SetSceneTarget(&timers, &rect), 0);
    EXPECT_TRUE(task->IsAlphaOn());
    EXPECT_EQ(task->GetValues()[0], 0x40);
    timers.RunDue(1000);
    timers.RunDue(1050);
    EXPECT_EQ(rect.GetX(), 50);
    EXPECT_EQ(rect.Vertices()[0].diffuse >> 24, (0x40u + 200u) / 2);
    EXPECT_EQ(rect.Vertices()[3].diffuse & 0xFFFFFF, 0xFF0000u);
    timers.RunDue(1200);
    EXPECT_EQ(task, nullptr);
    EXPECT_EQ(rect.Vertices()[0].diffuse >> 24, 200u);
}

TEST_F(PathTaskTest, TrianglesAndPointListsFadeAlongThePath)
{
    CCosTable table;
    CCosTable* before = g_pCosTable;
    g_pCosTable = &table;
    CTriangleObject triangle;
    ASSERT_EQ(triangle.Init(0, 0, 4, 0, 0, 4, 0x40FF0000, 0, 0), 0);
    LONG xs[] = {0, 3}, ys[] = {0, 3};
    CPrimitiveListObject list;
    ASSERT_EQ(list.Init(2, xs, ys, 0x40FF0000, D3DPT_LINELIST, false), 0);
    auto alpha = [&](CTask* object) {
        return object == &triangle ? triangle.Vertices()[2].diffuse >> 24 : list.Vertices()[1].diffuse >> 24;
    };
    uint32_t now = 1000;
    for (CTask* object : {static_cast<CTask*>(&triangle), static_cast<CTask*>(&list)}) {
        CPathMoveTask* task = new CPathMoveTask(100, 0, 0, 0.0, 0, 0, 0, 0);
        task->SetOwnerSlot(&task);
        ASSERT_EQ(task->SetPathText("(100, 0, 200)"), 0);
        ASSERT_EQ(task->SetSceneTarget(&timers, object), 0);
        EXPECT_TRUE(task->IsAlphaOn());
        EXPECT_EQ(task->GetValues()[0], 0x40);
        timers.RunDue(now);
        timers.RunDue(now + 200);
        now += 1000;
        EXPECT_EQ(task, nullptr);
        EXPECT_EQ(object->GetX(), 100);
        EXPECT_EQ(alpha(object), 200u);
    }
    g_pCosTable = before;
}

TEST_F(PathTaskTest, SceneObjectTarget)
{
    for (const uint8_t type : {9, 10}) {
        TestTask object(type);
        CPathMoveTask task(100, 0, 0, 0.0, 1, 0, 0, 0);
        ASSERT_EQ(task.SetPathText("(1, 2, 3)"), 0);
        EXPECT_EQ(task.SetSceneTarget(&timers, &object), 2);
    }
    TestTask object(kSceneImageRegion);
    object.SetEnabled(0);
    CPathMoveTask* task = new CPathMoveTask(100, 200, 1, 0.0, 0, 0, 0, 0);
    task->SetOwnerSlot(&task);
    ASSERT_EQ(task->SetPathText("(105, 206, 3)"), 0);
    EXPECT_EQ(task->SetSceneTarget(&timers, nullptr), 1);
    ASSERT_EQ(task->SetSceneTarget(&timers, &object), 0);
    EXPECT_EQ(task->GetKind(), 12000);
    EXPECT_FALSE(task->IsAlphaOn());
    timers.RunDue(1000);
    timers.RunDue(1200);
    EXPECT_EQ(object.IsEnabled(), 1);
    timers.RunDue(1250);
    EXPECT_EQ(object.x, 55);
    EXPECT_EQ(object.y, 106);
    timers.RunDue(1300);
    EXPECT_EQ(object.x, 105);
    EXPECT_EQ(object.IsEnabled(), 0);
    EXPECT_EQ(task, nullptr);
}

} // namespace

namespace {

// A scene object deleted under its path task: the task ends on its next step without touching
// the object (it used to move freed memory); a task deleted first leaves nothing behind.
TEST_F(PathTaskTest, DeletingTheTargetEndsTheTask)
{
    auto* rect = new CColorRectObject;
    ASSERT_EQ(rect->Init(10, 10, 0x40FF0000, 0, 0), 0);
    CPathMoveTask* task = new CPathMoveTask(100, 0, 0, 0.0, 1, 0, 0, 0);
    task->SetOwnerSlot(&task);
    ASSERT_EQ(task->SetPathText("(100, 0, 200)"), 0);
    ASSERT_EQ(task->SetSceneTarget(&timers, rect), 0);
    EXPECT_EQ(rect->WatcherCount(), 1u);
    timers.RunDue(1000);
    delete rect;
    EXPECT_FALSE(task->IsRunning());
    timers.RunDue(1050);
    EXPECT_EQ(task, nullptr);

    CColorRectObject kept;
    ASSERT_EQ(kept.Init(10, 10, 0x40FF0000, 0, 0), 0);
    task = new CPathMoveTask(100, 0, 0, 0.0, 1, 0, 0, 0);
    ASSERT_EQ(task->SetPathText("(100, 0, 200)"), 0);
    ASSERT_EQ(task->SetSceneTarget(&timers, &kept), 0);
    EXPECT_EQ(kept.WatcherCount(), 1u);
    timers.CancelAll();
    EXPECT_EQ(kept.WatcherCount(), 0u);
}

} // namespace
