// Replaces the global operator new and delete of a test program with forms that count every
// allocation, so a test can show that a path allocates nothing. Include it in exactly one source
// file of the program (the replacement operators must be defined once).
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

namespace counting_new {
inline std::atomic<long> allocations{0};
} // namespace counting_new

void* operator new(std::size_t size)
{
    ++counting_new::allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    ++counting_new::allocations;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
// The replacements pair malloc with free; the compiler, seeing both inlined, would take the
// free for a mismatch with new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
