#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/frame_timer.h"
#include "platform/stopwatch.h"
#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"
#include "winapi/clock.h"

namespace {

std::vector<std::string> g_log;

// A task that logs its steps and cancellations and runs an optional action in Step.
class LogTask : public CTimedTask {
public:
    LogTask(std::string name, int32_t kind, int32_t finishAfter = 0)
        : m_name(std::move(name)), m_kind(kind), m_finishAfter(finishAfter)
    {}
    ~LogTask() override { g_log.push_back("~" + m_name); }
    int32_t GetKind() override { return m_kind; }
    int32_t Step(uint32_t) override
    {
        ++steps;
        g_log.push_back(m_name);
        if (action)
            action();
        return m_finishAfter != 0 && steps >= m_finishAfter;
    }
    void OnCancel() override { g_log.push_back("cancel " + m_name); }

    int steps = 0;
    std::function<void()> action;

private:
    std::string m_name;
    int32_t m_kind;
    int32_t m_finishAfter;
};

class Timers : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitTimerResolution();
        winapi::UseVirtualClock(true);
        winapi::SetVirtualTime(10000);
        g_log.clear();
    }
    void TearDown() override { winapi::UseVirtualClock(false); }
    static void At(uint64_t ms) { winapi::SetVirtualTime(ms); }
};

} // namespace

TEST_F(Timers, ClockIsTimeGetTimeWithTheFinestPeriod)
{
    EXPECT_EQ(InitTimerResolution(), 1u);
    EXPECT_EQ(g_UseTimeGetTime, 1);
    EXPECT_EQ(TimerNow(), 10000u);
}

TEST_F(Timers, PeriodZeroStepsEveryRunUntilFinished)
{
    CTimerManager manager;
    auto* task = new LogTask("a", 1, 3);
    ASSERT_EQ(manager.Add(task, 10, 0, 0), 0u);
    manager.RunDue(10005);
    EXPECT_TRUE(g_log.empty());
    for (int i = 0; i < 3; ++i)
        manager.RunDue(10010 + i);
    EXPECT_EQ(g_log, (std::vector<std::string>{"a", "a", "a", "~a"}));
    EXPECT_EQ(manager.GetCount(), 0u);
}

TEST_F(Timers, CatchUpStepsOncePerMissedPeriodAndRunDueOnce)
{
    CTimerManager manager;
    auto* a = new LogTask("a", 1);
    manager.Add(a, 0, 100, 3);
    manager.RunDueCatchUp(10350);
    EXPECT_EQ(g_log, (std::vector<std::string>{"a", "a", "a", "~a"}));

    g_log.clear();
    auto* b = new LogTask("b", 1);
    manager.Add(b, 0, 100, 3);
    manager.RunDue(10350);
    EXPECT_EQ(b->steps, 1);
    EXPECT_EQ(b->GetDueTime(), 10450u);
    EXPECT_EQ(b->GetRemainingRepeats(), 2u);
}

TEST_F(Timers, DueTimesHoldAcrossTheClockWrap)
{
    CTimerManager manager;
    At(0xFFFFFF00ull);
    auto* late = new LogTask("after wrap", 1);
    auto* early = new LogTask("before wrap", 1);
    manager.Add(late, 0x180, 0, 1); // due 0x00000080
    manager.Add(early, 0x80, 0, 1); // due 0xFFFFFF80
    manager.RunDue(0xFFFFFFA0u);
    EXPECT_EQ(g_log, (std::vector<std::string>{"before wrap", "~before wrap"}));
    manager.RunDueCatchUp(0x70u);
    EXPECT_EQ(g_log.size(), 2u);
    manager.RunDueCatchUp(0x80u);
    EXPECT_EQ(g_log.back(), "~after wrap");

    // A periodic task keeps its rhythm through the wrap.
    g_log.clear();
    At(0xFFFFFFF0ull);
    auto* tick = new LogTask("tick", 1);
    manager.Add(tick, 0, 10, 0);
    manager.RunDueCatchUp(0xFFFFFFF0u);
    manager.RunDueCatchUp(0x0Au); // due 0xFFFFFFFA and 0x04 (wrapped); 0x0E is not
    EXPECT_EQ(tick->steps, 3);
    EXPECT_EQ(tick->GetDueTime(), 0x0Eu);
}

TEST_F(Timers, PauseDelaysByThePausedTime)
{
    CTimerManager manager;
    auto* a = new LogTask("a", 1);
    manager.Add(a, 100, 0, 0);
    EXPECT_TRUE(manager.PauseTask(a));
    At(10600);
    manager.RunDue(0);
    EXPECT_EQ(a->steps, 0);
    EXPECT_TRUE(manager.ResumeTask(a));
    EXPECT_EQ(a->GetDueTime(), 10100u + 600u);
    manager.ResumeTask(a); // unpaired: ignored
    EXPECT_EQ(a->GetPauseDepth(), 0);
    manager.RunDue(10699);
    EXPECT_EQ(a->steps, 0);
    manager.RunDue(10700);
    EXPECT_EQ(a->steps, 1);
}

TEST_F(Timers, PauseAndCancelByKind)
{
    CTimerManager manager;
    auto* a = new LogTask("a", 1);
    auto* b = new LogTask("b", 2);
    auto* c = new LogTask("c", 2);
    manager.Add(a, 0, 0, 0);
    manager.Add(b, 0, 0, 0);
    manager.Add(c, 0, 0, 0);
    EXPECT_EQ(manager.FindKind(2), b);
    manager.PauseKind(2);
    manager.RunDue(10000);
    EXPECT_EQ(g_log, (std::vector<std::string>{"a"}));
    manager.ResumeKind(-1);
    manager.PauseKind(-1);
    manager.ResumeKind(2);
    g_log.clear();
    manager.RunDue(10000);
    EXPECT_EQ(g_log, (std::vector<std::string>{"b", "c"}));
    g_log.clear();
    manager.CancelKind(2);
    EXPECT_EQ(g_log, (std::vector<std::string>{"cancel b", "cancel c"}));
    EXPECT_EQ(manager.FindKind(2), nullptr);
    manager.RunDue(10000); // deletes the cancelled ones
    EXPECT_EQ(manager.GetCount(), 1u);
}

TEST_F(Timers, CancelClearsTheOwnerAndHappensOnce)
{
    CTimerManager manager;
    LogTask* owned = new LogTask("a", 1);
    LogTask* ownerPointer = owned;
    owned->SetOwnerSlot(&ownerPointer);
    EXPECT_EQ(manager.Add(nullptr, 0, 0, 0), 1u);
    EXPECT_EQ(manager.Add(owned, 0, 0, 0), 0u);
    EXPECT_EQ(manager.Add(owned, 0, 0, 0), 2u);
    LogTask stranger("s", 1);
    EXPECT_FALSE(manager.Cancel(&stranger));
    EXPECT_FALSE(manager.Reschedule(&stranger, 5));
    EXPECT_TRUE(manager.Cancel(owned));
    EXPECT_EQ(ownerPointer, nullptr);
    EXPECT_FALSE(manager.Cancel(owned));
    EXPECT_EQ(g_log, (std::vector<std::string>{"cancel a"}));
    manager.RunDue(10000);
    EXPECT_EQ(g_log.back(), "~a");
    EXPECT_EQ(manager.GetCount(), 0u);
}

TEST_F(Timers, TasksAddAndCancelTasksWhileRunning)
{
    CTimerManager manager;
    auto* spawner = new LogTask("spawner", 1, 1);
    auto* victim = new LogTask("victim", 1);
    auto* suicidal = new LogTask("self", 1);
    spawner->action = [&] {
        manager.Add(new LogTask("child", 1, 1), 0, 0, 0);
        manager.Cancel(victim);
    };
    suicidal->action = [&] { manager.Cancel(suicidal); };
    manager.Add(spawner, 0, 0, 0);
    manager.Add(victim, 0, 0, 0);
    manager.Add(suicidal, 0, 5, 0);
    manager.RunDueCatchUp(10000);
    EXPECT_EQ(g_log, (std::vector<std::string>{"spawner", "cancel victim", "self", "cancel self", "child",
                                               "~spawner", "~victim", "~self", "~child"}));
    EXPECT_EQ(manager.GetCount(), 0u);
}

TEST_F(Timers, CancelAllFromAStepDefersTheDeletes)
{
    CTimerManager manager;
    auto* a = new LogTask("a", 1);
    auto* b = new LogTask("b", 1);
    a->action = [&] { manager.CancelAll(); };
    manager.Add(a, 0, 0, 0);
    manager.Add(b, 0, 0, 0);
    manager.RunDue(10000);
    EXPECT_EQ(g_log, (std::vector<std::string>{"a", "cancel a", "cancel b", "~a", "~b"}));
    EXPECT_EQ(manager.GetCount(), 0u);
}

TEST_F(Timers, DestructorDeletesWithoutOnCancel)
{
    LogTask* pointer = nullptr;
    {
        CTimerManager manager;
        pointer = new LogTask("a", 1);
        pointer->SetOwnerSlot(&pointer);
        manager.Add(pointer, 0, 0, 0);
    }
    EXPECT_EQ(pointer, nullptr);
    EXPECT_EQ(g_log, (std::vector<std::string>{"~a"}));
}

TEST_F(Timers, StopwatchPausesAndSets)
{
    CStopwatch watch;
    At(10100);
    EXPECT_EQ(watch.GetElapsed(), 100u);
    watch.Pause();
    watch.Pause();
    At(10300);
    EXPECT_EQ(watch.GetElapsed(), 100u);
    watch.Resume();
    EXPECT_EQ(watch.GetElapsed(), 100u);
    watch.Resume();
    At(10350);
    EXPECT_EQ(watch.GetElapsed(), 150u);
    watch.SetElapsed(5);
    EXPECT_EQ(watch.GetElapsed(), 5u);
    watch.Resume(); // unpaired: ignored
    watch.Pause();
    At(10400);
    EXPECT_EQ(watch.GetElapsed(), 5u);
}

TEST_F(Timers, TimerSetChecksItsIndexes)
{
    CTimerSet set;
    EXPECT_FALSE(set.PauseAll());
    EXPECT_EQ(set.GetElapsed(0), 0u);
    EXPECT_EQ(set.Create(0), 1u);
    ASSERT_EQ(set.Create(2), 0u);
    At(10040);
    EXPECT_EQ(set.GetElapsed(1), 40u);
    EXPECT_FALSE(set.ResetTimer(2));
    EXPECT_TRUE(set.SetElapsed(0, 7));
    EXPECT_TRUE(set.PauseAll());
    EXPECT_TRUE(set.IsAllPaused());
    At(10090);
    EXPECT_EQ(set.GetElapsed(0), 7u);
    EXPECT_TRUE(set.ResumeAll());
    At(10100);
    EXPECT_EQ(set.GetElapsed(0), 17u);
}

TEST_F(Timers, FrameTimerOnTheMillisecondClock)
{
    CFrameTimer timer(60, false);
    EXPECT_EQ(timer.GetMsPerFrame(), 16u);
    At(10010);
    EXPECT_FALSE(timer.Tick());
    EXPECT_EQ(timer.GetWaitHint(), 6u);
    EXPECT_EQ(timer.MicrosecondsUntilDue(), 6000u);
    At(10016);
    EXPECT_EQ(timer.MicrosecondsUntilDue(), 0u);
    EXPECT_TRUE(timer.Tick());
    timer.SetCountLateFrames(true);
    At(10016 + 16 * 3 + 1);
    EXPECT_TRUE(timer.Tick());
    EXPECT_EQ(timer.GetLateFrames(), 2);
    EXPECT_EQ(timer.GetWaitHint(), 8u);
    for (int i = 0; i < 130; ++i) {
        winapi::AdvanceVirtualClock(16);
        timer.Tick();
    }
    EXPECT_EQ(timer.GetMeasuredFps(), 63); // frames until 1000 ms were summed: 63 x 16 = 1008
    timer.SetFrameRate(0, false);
    EXPECT_TRUE(timer.Tick());
    EXPECT_TRUE(timer.Tick());
    EXPECT_EQ(timer.GetLateFrames(), 0);
}

TEST_F(Timers, FrameTimerOnThePerformanceCounter)
{
    CFrameTimer timer(50, true);
    ASSERT_TRUE(timer.IsHighResolution());
    At(10005);
    EXPECT_FALSE(timer.Tick());
    EXPECT_EQ(timer.GetWaitHint(), 5u);
    At(10011);
    EXPECT_FALSE(timer.Tick());
    EXPECT_EQ(timer.GetWaitHint(), 0u); // past half a frame
    EXPECT_EQ(timer.MicrosecondsUntilDue(), 9000u); // the wait to the frame is still known
    At(10020);
    EXPECT_EQ(timer.MicrosecondsUntilDue(), 0u);
    EXPECT_TRUE(timer.Tick());
    // 60 fps: a frame is 16 666.6 us; the wait rounds up, never waking before the frame is due.
    timer.SetFrameRate(60, true);
    EXPECT_EQ(timer.MicrosecondsUntilDue(), 16667u);
    At(10036);
    EXPECT_EQ(timer.MicrosecondsUntilDue(), 667u);
    timer.SetFreeRunning(true);
    EXPECT_EQ(timer.MicrosecondsUntilDue(), 0u);
    timer.SetCountLateFrames(true);
    EXPECT_TRUE(timer.Tick());
    At(10020 + 70);
    EXPECT_TRUE(timer.Tick());
    EXPECT_EQ(timer.GetLateFrames(), 2);
}

TEST_F(Timers, FreeRunningFrameTimerMeasuresWholeSeconds)
{
    CFrameTimer timer(30, false);
    timer.SetFreeRunning(true);
    timer.SetCountLateFrames(true);
    for (int i = 0; i < 30; ++i) {
        EXPECT_TRUE(timer.Tick());
        winapi::AdvanceVirtualClock(33);
    }
    EXPECT_TRUE(timer.Tick()); // at 990 ms: no full second yet
    EXPECT_EQ(timer.GetMeasuredFps(), 0);
    winapi::AdvanceVirtualClock(10);
    EXPECT_TRUE(timer.Tick());
    EXPECT_EQ(timer.GetMeasuredFps(), 32);
    winapi::AdvanceVirtualClock(33 * 3);
    EXPECT_TRUE(timer.Tick());
    EXPECT_EQ(timer.GetLateFrames(), 2);
}
