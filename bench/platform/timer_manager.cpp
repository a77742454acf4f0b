// The timed-task scheduler stepping the due tasks among 1,000 (periods of 1 to 64 frames of
// 16 ms with staggered phases, as effects and animations are), one frame per iteration.
#include <benchmark/benchmark.h>

#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"

namespace {

class CountingTask : public CTimedTask {
public:
    int32_t GetKind() override { return 1; }
    int32_t Step(uint32_t) override
    {
        ++steps;
        return 0;
    }
    uint64_t steps = 0;
};

void BM_RunDueAmong1000(benchmark::State& state)
{
    CTimerManager manager;
    std::vector<CountingTask*> tasks;
    for (int i = 0; i < 1000; ++i) {
        auto* task = new CountingTask;
        tasks.push_back(task);
        manager.Add(task, static_cast<uint32_t>(i % 97), static_cast<uint32_t>(16 * (1 + i % 64)), 0);
    }
    uint32_t now = TimerNow();
    for (auto _ : state) {
        now += 16;
        manager.RunDue(now);
    }
    uint64_t steps = 0;
    for (CountingTask* task : tasks)
        steps += task->steps;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.counters["due_steps_per_run"] =
        static_cast<double>(steps) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_RunDueAmong1000);

void BM_RunDueCatchUpAmong1000(benchmark::State& state)
{
    CTimerManager manager;
    for (int i = 0; i < 1000; ++i)
        manager.Add(new CountingTask, static_cast<uint32_t>(i % 97), static_cast<uint32_t>(16 * (1 + i % 64)),
                    0);
    uint32_t now = TimerNow();
    for (auto _ : state) {
        now += 16;
        manager.RunDueCatchUp(now);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_RunDueCatchUpAmong1000);

} // namespace
