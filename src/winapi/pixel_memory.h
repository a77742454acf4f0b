// Memory for pixels: zeroed, its first byte on a 64-byte line so that a vector row that starts
// there never splits a cache line, and large buffers on huge pages where the system grants them
// (a full-screen pass then walks a few TLB entries instead of thousands).
#pragma once

#include <cstddef>

namespace winapi {

// Line of the first pixel byte.
inline constexpr size_t kPixelAlignment = 64;

// bytes of zeroed memory, or nullptr when there is none (also for 0 bytes). Freed only by
// FreePixelBytes with the same size.
void* AllocatePixelBytes(size_t bytes);
void FreePixelBytes(void* block, size_t bytes);

} // namespace winapi
