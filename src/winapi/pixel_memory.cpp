#include "winapi/pixel_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace winapi {
namespace {

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer every buffer comes from the heap at its exact size, so a write one byte
// past the last row is still caught.
constexpr bool kFromHeapOnly = true;
#else
constexpr bool kFromHeapOnly = false;
#endif

constexpr size_t kHugePage = size_t{2} << 20;
// From two huge pages on a buffer is mapped on its own, starts on a huge page and asks for them
// (the part of the last one it leaves unused is then at most a third of the buffer); fresh pages
// are zero, so rows a program never draws cost neither a clearing pass nor resident memory.
// Smaller buffers come from the heap, which keeps freed blocks for the next picture: mapping
// each afresh costs a page fault every 4 KB, several times the clearing pass.
constexpr size_t kMappedFrom = 2 * kHugePage;

size_t RoundUp(size_t bytes, size_t to)
{
    return (bytes + to - 1) & ~(to - 1);
}

size_t MappedBytes(size_t bytes)
{
    return RoundUp(bytes, kHugePage);
}

void* Map(size_t bytes)
{
    const size_t mapped = MappedBytes(bytes);
    // Map a huge page more than needed and give back the ends around the aligned part.
    const size_t reach = mapped + kHugePage;
    void* raw = mmap(nullptr, reach, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = RoundUp(start, kHugePage);
    if (aligned > start)
        munmap(raw, aligned - start);
    const uintptr_t end = aligned + mapped;
    if (start + reach > end)
        munmap(reinterpret_cast<void*>(end), start + reach - end);
    void* block = reinterpret_cast<void*>(aligned);
    // Advice only: where the system keeps huge pages off, the block is ordinary memory.
    madvise(block, mapped, MADV_HUGEPAGE);
    return block;
}

bool IsMapped(size_t bytes)
{
    return !kFromHeapOnly && bytes >= kMappedFrom;
}

} // namespace

void* AllocatePixelBytes(size_t bytes)
{
    if (bytes == 0 || bytes > SIZE_MAX / 2)
        return nullptr;
    if (IsMapped(bytes))
        return Map(bytes);
    void* block = nullptr;
    if (posix_memalign(&block, kPixelAlignment, bytes) != 0)
        return nullptr;
    std::memset(block, 0, bytes);
    return block;
}

void FreePixelBytes(void* block, size_t bytes)
{
    if (block == nullptr)
        return;
    if (IsMapped(bytes))
        munmap(block, MappedBytes(bytes));
    else
        std::free(block);
}

} // namespace winapi
