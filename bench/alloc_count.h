// Counts the allocations of a benchmark program, so an entry can report how many its step makes
// (the `allocs` counter). Include it in exactly one source file of the program: it replaces the
// global operator new and delete.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace bench {

inline std::atomic<uint64_t> g_allocations{0};

// Allocations made through operator new so far.
inline uint64_t AllocationCount()
{
    return g_allocations.load(std::memory_order_relaxed);
}

} // namespace bench

void* operator new(std::size_t size)
{
    bench::g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size != 0 ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
