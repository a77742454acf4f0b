// The cursor move on a started frame: positions per step, landing, inactive modes, a newer move
// cancelling an older one, and StartCursorMove's refusals.
#include "../display/frame_fixture.h"

#include <cmath>

#include "effects/cursor_move.h"
#include "effects/eased_time.h"
#include "platform/timer_resolution.h"

namespace {

class CursorMove : public FrameFixture {
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        Start();
        SendMessageA(hwnd, WM_ACTIVATEAPP, 1, 0);
        g_pTaskList = &tasks;
        origin = POINT{0, 0};
        game->ClientToScreen(&origin);
        ::SetCursorPos(origin.x + 10, origin.y + 20);
    }
    void TearDown() override
    {
        tasks.CancelAll();
        g_pTaskList = nullptr;
        FrameFixture::TearDown();
    }
    POINT Cursor()
    {
        POINT at{0, 0};
        ::GetCursorPos(&at);
        return POINT{at.x - origin.x, at.y - origin.y};
    }
    void Active(bool on) { SendMessageA(hwnd, WM_ACTIVATEAPP, on ? 1 : 0, 0); }

    CTimerManager tasks;
    POINT origin{0, 0};
};

} // namespace

TEST_F(CursorMove, FollowsTheEasedCurveAndLandsExactly)
{
    for (double acceleration : {0.0, 2.0, -2.0}) {
        SCOPED_TRACE(acceleration);
        ::SetCursorPos(origin.x + 10, origin.y + 20);
        auto* task = new CCursorMoveEffect;
        ASSERT_EQ(task->Setup(&tasks, game.get(), 610, 421, 300, acceleration, 0), 0);
        const uint32_t base = TimerNow();
        for (uint32_t e = 0; e <= 320; e += 16) {
            tasks.RunDue(base + e);
            const double eased = std::trunc(EasedTime(std::min(e, 300u), 300, acceleration));
            const POINT at = Cursor();
            EXPECT_EQ(at.x, 10 + int64_t(600) * int64_t(eased) / 300) << e;
            EXPECT_EQ(at.y, 20 + int64_t(401) * int64_t(eased) / 300) << e;
            if (e >= 300) {
                EXPECT_EQ(at.x, 610);
                EXPECT_EQ(at.y, 421);
            }
        }
        EXPECT_EQ(tasks.GetCount(), 0u);
    }
}

TEST_F(CursorMove, InactiveModesAndZeroDuration)
{
    struct Case {
        uint8_t mode;
        bool jumps;
    };
    for (const Case c : {Case{0, false}, Case{1, false}, Case{2, true}}) {
        SCOPED_TRACE(int(c.mode));
        ::SetCursorPos(origin.x + 10, origin.y + 20);
        Active(false);
        CCursorMoveEffect* task = nullptr;
        EXPECT_EQ(StartCursorMove(100, 50, 200, 1, c.mode, &task), -1);
        EXPECT_EQ(task, nullptr);
        EXPECT_EQ(tasks.GetCount(), 0u);
        EXPECT_EQ(Cursor().x, c.jumps ? 100 : 10);
        Active(true);
    }
    // A move of 0 ms lands at its first step.
    CCursorMoveEffect* task = nullptr;
    ASSERT_EQ(StartCursorMove(33, 44, 0, 1, 0, &task), 0);
    ASSERT_NE(task, nullptr);
    tasks.RunDue(TimerNow());
    EXPECT_EQ(Cursor().x, 33);
    EXPECT_EQ(Cursor().y, 44);
    EXPECT_EQ(tasks.GetCount(), 0u);
}

TEST_F(CursorMove, ANewerMoveCancelsTheOlder)
{
    for (uint8_t mode : {0, 1, 2}) {
        SCOPED_TRACE(int(mode));
        ::SetCursorPos(origin.x + 10, origin.y + 20);
        CCursorMoveEffect* first = nullptr;
        ASSERT_EQ(StartCursorMove(300, 200, 1000, 1, mode, &first), 0);
        const uint32_t base = TimerNow();
        tasks.RunDue(base);
        tasks.RunDue(base + 100);
        const POINT midway = Cursor();
        EXPECT_GT(midway.x, 10);
        EXPECT_LT(midway.x, 300);
        CCursorMoveEffect* second = nullptr;
        ASSERT_EQ(StartCursorMove(50, 60, 100, 1, 0, &second), 0);
        // Modes 1 and 2 land the older move first, mode 0 leaves it where it was.
        EXPECT_EQ(Cursor().x, mode == 0 ? midway.x : 300);
        EXPECT_EQ(first->GetState(), 2);
        tasks.RunDue(base + 101);
        tasks.RunDue(base + 300);
        EXPECT_EQ(Cursor().x, 50);
        EXPECT_EQ(Cursor().y, 60);
        EXPECT_EQ(tasks.GetCount(), 0u);
    }
}

TEST_F(CursorMove, StartRefusals)
{
    struct Case {
        const char* what;
        uint8_t placement;
        bool atCorner;
        uint8_t forced;
        bool task;
    };
    const Case cases[] = {
        {"auto-move off", 0, false, 1, false},
        {"resting at the bottom-right pixel", 1, true, 0, false},
        {"forced from the bottom-right pixel", 1, true, 1, true},
        {"plain", 1, false, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        game->m_options.cursorPlacement = c.placement;
        game->SetCursorPos(c.atCorner ? 639 : 5, c.atCorner ? 479 : 5);
        CCursorMoveEffect* task = reinterpret_cast<CCursorMoveEffect*>(1);
        EXPECT_EQ(StartCursorMove(200, 100, 50, c.forced, 1, &task), 0);
        EXPECT_EQ(task != nullptr, c.task);
        EXPECT_EQ(tasks.GetCount(), c.task ? 1u : 0u);
        tasks.CancelAll();
    }
    game->m_options.cursorPlacement = 1;
    g_pTaskList = nullptr;
    EXPECT_EQ(StartCursorMove(1, 1, 1, 1, 0, nullptr), 1);
}
