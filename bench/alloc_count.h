// Counting of the heap allocations a contest's own side makes: the program's global operator new
// is replaced by one that counts. Include this header in exactly one source file of a benchmark
// program (the replacement operators are defined here, once per program).
//
//   bench::AllocationTally tally;
//   Contest(state, tally.Wrap(ours), peer, goal);
//   tally.Report(state); // counter `allocs`: allocations per call of ours
#pragma once

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>

namespace bench {

inline std::atomic<uint64_t> g_allocations{0};

inline uint64_t Allocations()
{
    return g_allocations.load(std::memory_order_relaxed);
}

// Counts what the wrapped calls allocate; reports the mean per call as `allocs`, and with a most
// (ceiling) as `goal_allocs` beside it.
class AllocationTally {
public:
    std::function<void()> Wrap(std::function<void()> f)
    {
        return [this, f = std::move(f)] {
            const uint64_t before = Allocations();
            f();
            m_allocations += Allocations() - before;
            ++m_calls;
        };
    }
    void Report(benchmark::State& state, double most = -1) const
    {
        state.counters["allocs"] = m_calls ? double(m_allocations) / double(m_calls) : 0.0;
        if (most >= 0) {
            state.counters["goal_allocs"] = most;
        }
    }

private:
    uint64_t m_calls = 0;
    uint64_t m_allocations = 0;
};

} // namespace bench

void* operator new(std::size_t size)
{
    bench::g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
