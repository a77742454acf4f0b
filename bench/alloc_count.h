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

} // namespace bench
