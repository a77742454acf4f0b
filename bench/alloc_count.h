// Counts the heap allocations of a benchmark program (the global operator new is replaced), so a
// contest can report how many its own side makes (`allocs`, each call of our side) and cap them
// at none with a `goal_allocs` of 0. Include it in exactly one source file of a program.
#pragma once

#include "contest.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>

namespace bench {

inline std::atomic<uint64_t> g_allocations{0};

// Allocations made through operator new so far.
inline uint64_t AllocationCount()
{
    return g_allocations.load(std::memory_order_relaxed);
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

// New and the deletes stay out of line: inlined, the compiler would pair malloc with delete and warn.
__attribute__((noinline)) void* operator new(std::size_t bytes)
{
    bench::g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(bytes == 0 ? 1 : bytes))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t bytes)
{
    return ::operator new(bytes);
}
__attribute__((noinline)) void operator delete(void* p) noexcept
{
    std::free(p);
}
__attribute__((noinline)) void operator delete[](void* p) noexcept
{
    std::free(p);
}
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
__attribute__((noinline)) void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
