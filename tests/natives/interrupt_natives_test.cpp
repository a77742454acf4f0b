// Natives 54, 57 and 58: the scale task on the virtual clock, the caption's fonts as handles, and
// 58's function codes as a table, with the task-list codes on real cursor glides.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "controls/control_set.h"
#include "controls/text_panel.h"
#include "display/screen.h"
#include "drawing/glyph_font.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/cursor_move.h"
#include "natives/caption.h"
#include "natives/main_form.h"
#include "natives/native_table.h"
#include "natives/script_helpers.h"
#include "natives/text_object.h"
#include "platform/message_handler.h"
#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "support/native_script.h"
#include "support/pixel_library.h"
#include "winapi/clock.h"
#include "winapi/text.h"

using namespace hosttest;

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);

struct HostWithTasks {
    TestPixelLibrary pixels;
    CTimerManager objects;
    CTimerManager tasks;
    HostFixture f;
    CScriptHost& host;

    HostWithTasks() : host((Publish(), f.UseScreen(), f.Start()))
    {
        CWindowMessage active;
        active.wParam = 1;
        f.app.OnActivateApp(&active);
    }
    ~HostWithTasks()
    {
        g_MainForm.RemoveAllControls();
        f.host.reset();
        objects.CancelAll();
        tasks.CancelAll();
        g_pObjectManager = nullptr;
        g_pTaskList = nullptr;
        winapi::UseVirtualClock(false);
    }
    void Publish()
    {
        winapi::UseVirtualClock(true);
        g_pObjectManager = &objects;
        g_pTaskList = &tasks;
    }
    void Run(uint32_t ms)
    {
        winapi::AdvanceVirtualClock(ms);
        objects.RunDue(TimerNow());
        tasks.RunDue(TimerNow());
    }
    uint32_t Call(uint32_t n, std::vector<uint32_t> words, bool* faulted = nullptr)
    {
        return CallNative(host, n, words, faulted);
    }
    uint32_t Str(const std::string& text)
    {
        const uint32_t at = host.Memory().Allocate(static_cast<uint32_t>(text.size() + 1));
        std::memcpy(host.Memory().Span(at, static_cast<uint32_t>(text.size() + 1)), text.c_str(), text.size() + 1);
        return at;
    }
    uint32_t Cell(uint32_t value)
    {
        const uint32_t at = host.Memory().Allocate(4);
        host.Memory().Store32(at, value);
        return at;
    }
    uint32_t Load(uint32_t at)
    {
        uint32_t v = 0;
        host.Memory().Load32(at, &v);
        return v;
    }
};

RECT ScreenRect(const CDrawable& d)
{
    RECT r{};
    d.GetScreenRect(&r);
    return r;
}

} // namespace

TEST(InterruptNatives, TheRowsOfThisRoundAreBuilt)
{
    for (uint32_t n : {54u, 57u, 58u})
        EXPECT_TRUE(GetNativeRow(n).built) << n;
}

TEST(InterruptNatives, ScaleTaskGrowsTheDrawableFromItsStartScale)
{
    HostWithTasks t;
    CImage* image = nullptr;
    ASSERT_EQ(t.f.screen->CreateImage(&image, 40, 20, 32, 0), 0);
    CSprite* sprite = nullptr;
    ASSERT_EQ(t.f.screen->CreateSprite(&sprite, image, nullptr, 100, 100), 0);
    const uint32_t handle = t.host.ObjectHandle(static_cast<CDrawable*>(sprite));

    // Refusals: no drawable, an unreadable, zero or huge scale, a start scale below a pixel.
    const struct {
        uint32_t drawable;
        const char* scale;
        const char* start;
    } refused[] = {{0, "2", nullptr},        {handle, "x", nullptr},    {handle, "0", nullptr},
                   {handle, "1e6", nullptr}, {handle, "2", "0.001"},   {handle + 0x10000, "2", nullptr}};
    for (const auto& c : refused) {
        EXPECT_EQ(t.Call(54, {c.drawable, 0, 100, t.Str(c.scale), c.start != nullptr ? t.Str(c.start) : 0}), 0u)
            << c.scale;
    }
    EXPECT_EQ(t.objects.GetCount(), 0u);

    // From half size to twice the size over 100 ms, the top-left corner kept.
    const uint32_t task = t.Call(54, {handle, 0, 100, t.Str("2"), t.Str("0.5")});
    ASSERT_NE(task, 0u);
    EXPECT_NE(t.host.Object<CTimedTask>(task), nullptr);
    RECT r = ScreenRect(*sprite);
    EXPECT_EQ(r.right - r.left, 20);
    t.Run(0); // the first step starts the clock
    t.Run(100);
    r = ScreenRect(*sprite);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.right - r.left, 80);
    EXPECT_EQ(r.bottom - r.top, 40);
    EXPECT_EQ(t.host.Object<CTimedTask>(task), nullptr); // ended: its handle retired

    // Mode 1 keeps the centre.
    ASSERT_NE(t.Call(54, {handle, 1, 50, t.Str("1"), 0}), 0u);
    t.Run(0);
    t.Run(50);
    r = ScreenRect(*sprite);
    EXPECT_EQ(r.right - r.left, 40);
    EXPECT_EQ((r.left + r.right) / 2, 140);
}

TEST(InterruptNatives, CaptionFontsAsHandles)
{
    HostWithTasks t;
    const uint32_t small = t.Call(57, {0, 0}), big = t.Call(57, {0, 1});
    EXPECT_EQ(t.host.Object<CFont>(small), &g_Caption.Font());
    EXPECT_EQ(t.host.Object<CFont>(big), &g_Caption.BigFont());
    EXPECT_EQ(t.Call(57, {0, 0}), small); // one handle per font
    EXPECT_EQ(t.Call(57, {1, 0}), 0u);
    EXPECT_EQ(t.Call(57, {0, 2}), 0u);
}

TEST(InterruptNatives, FunctionCodesAsATable)
{
    HostWithTasks t;
    g_CurrentBgmNumber = 7;
    const uint32_t score = t.f.Address("Score");
    const struct {
        std::vector<uint32_t> words;
        uint32_t expected;
    } cases[] = {
        {{1}, 7},                                     // the music number
        {{10, score}, static_cast<uint32_t>(t.f.layout.Find("Score"))},
        {{10, 4}, kMinus1},                           // no variable there
        {{9, 0, 0}, 0},                               // no scenario frame
        {{7}, 0},
        {{8}, 0},
        {{2, 0}, 0},                                  // no task
        {{3, 0}, 1},                                  // null cell
        {{11}, 1},
        {{0xFFFFFFFFu}, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(t.Call(58, c.words), c.expected) << c.words[0];
    g_CurrentBgmNumber = 0;
    bool faulted = false;
    t.Call(58, {3, 0xFFFFFFF0u}, &faulted);
    EXPECT_TRUE(faulted);
}

TEST(InterruptNatives, CursorGlideTasksAreWatchedAndCancelledByCell)
{
    HostWithTasks t;
    t.f.app.SetCursorPos(10, 10);
    const uint32_t glide = t.Call(58, {4, 200, 100, 140, 1, 0});
    ASSERT_NE(glide, 0u);
    auto* move = dynamic_cast<CCursorMoveEffect*>(t.host.Object<CTimedTask>(glide));
    ASSERT_NE(move, nullptr);
    EXPECT_EQ(move->GetTargetX(), 200);
    EXPECT_EQ(t.Call(58, {2, glide}), 1u);

    // A stale handle in the cell: 2, the cell unchanged; the live one: 0 and the cell cleared.
    const uint32_t stale = t.Cell(glide + 0x10000);
    EXPECT_EQ(t.Call(58, {3, stale}), 2u);
    EXPECT_EQ(t.Load(stale), glide + 0x10000);
    const uint32_t cell = t.Cell(glide);
    EXPECT_EQ(t.Call(58, {3, cell}), 0u);
    EXPECT_EQ(t.Load(cell), 0u);
    EXPECT_EQ(t.Call(58, {3, cell}), 1u); // the cleared cell
    t.Run(0);
    EXPECT_EQ(t.Call(58, {2, glide}), 0u);

    // Waiting steps frames until the glide lands; the handle has ended by then.
    int frames = 0;
    t.f.app.onStep = [&] {
        ++frames;
        t.Run(20);
        return 1;
    };
    t.f.app.SetCursorPos(10, 10);
    EXPECT_EQ(t.Call(58, {4, 300, 200, 140, 1, 1}), 0u);
    EXPECT_GE(frames, 7);
    EXPECT_EQ(t.tasks.GetCount(), 0u);
    t.f.app.onStep = [] { return 0; };
    t.f.app.SetCursorPos(10, 10);
    EXPECT_NE(t.Call(58, {4, 300, 200, 140, 1, 1}), 0u); // the frame loop ended: still gliding
    t.f.app.onStep = nullptr;
}

TEST(InterruptNatives, CaptionCodes)
{
    HostWithTasks t;
    EXPECT_EQ(t.Call(58, {5, t.Str("Saved"), 0}), 0u);
    EXPECT_NE(g_Caption.GetValidHandle(), nullptr);

    CGlyphFont font;
    ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    CImage target;
    ASSERT_EQ(target.Create(640, 480, 32, 0), 0);
    CScene scene;
    ASSERT_EQ(scene.SetTarget(&target, false), 0);
    CControlSet set;
    set.SetScene(&scene);
    CTextPanel* panel = nullptr;
    ASSERT_EQ(set.AddTextPanel(&panel, 100, 200, 60, 40, &font, nullptr, 0, 0, 0, 1), 0);
    panel->SetVisible(true);
    ASSERT_EQ(g_MainForm.AddControl(panel, -1), 0);
    t.f.app.SetCursorPos(10, 10);
    EXPECT_EQ(t.Call(58, {6, t.host.ObjectHandle(static_cast<CControl*>(panel)), 0, 0}), 0u);
    auto* move = static_cast<CCursorMoveEffect*>(t.tasks.FindKind(kCursorMoveKind));
    ASSERT_NE(move, nullptr);
    EXPECT_EQ(move->GetTargetX(), 130);
    EXPECT_EQ(t.Call(58, {6, 0, 0, 0}), static_cast<uint32_t>(-2));
    g_MainForm.RemoveAllControls();
    set.DeleteAll();
}
