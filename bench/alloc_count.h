// Counts the heap allocations of a benchmark program (the tests' counting operator new), so a
// contest can report how many its own side makes (`allocs`, each call of our side) and cap them
// at none with a `goal_allocs` of 0. Include it in exactly one source file of a program.
#pragma once

#include "../tests/counting_new.h"
#include "contest.h"

#include <cstdint>
#include <functional>

namespace bench {

// Allocations made through operator new so far.
inline uint64_t AllocationCount()
{
    return static_cast<uint64_t>(counting_new::allocations.load(std::memory_order_relaxed));
}

// Runs `work` once and reports the allocations it made as `allocs`, with `most` as its ceiling.
inline void ReportAllocations(benchmark::State& state, const std::function<void()>& work, double most = 0)
{
    const uint64_t before = AllocationCount();
    work();
    state.counters["allocs"] = static_cast<double>(AllocationCount() - before);
    ReportCeiling(state, "allocs", most);
}

// Counts what the wrapped calls of a contest's own side allocate and reports the mean a call as
// `allocs`, with a ceiling when one is given:
//   bench::AllocationTally tally;
//   Contest(state, tally.Wrap(ours), peer, goal);
//   tally.Report(state, 0);
class AllocationTally {
public:
    std::function<void()> Wrap(std::function<void()> f)
    {
        return [this, f = std::move(f)] {
            const uint64_t before = AllocationCount();
            f();
            m_allocations += AllocationCount() - before;
            ++m_calls;
        };
    }
    void Report(benchmark::State& state, double most = -1) const
    {
        state.counters["allocs"] = m_calls ? double(m_allocations) / double(m_calls) : 0.0;
        if (most >= 0)
            ReportCeiling(state, "allocs", most);
    }

private:
    uint64_t m_calls = 0;
    uint64_t m_allocations = 0;
};

} // namespace bench
