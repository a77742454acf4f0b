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

// A block of such memory, owned: large blocks come straight from the system's zero pages, so the
// rows a program never draws cost neither a clearing pass nor resident memory.
class ZeroedBytes {
public:
    ZeroedBytes() = default;
    ~ZeroedBytes() { Free(); }
    ZeroedBytes(const ZeroedBytes&) = delete;
    ZeroedBytes& operator=(const ZeroedBytes&) = delete;

    // size zeroed bytes in place of the old block, which is freed either way; false when there is
    // no memory.
    bool Allocate(size_t size)
    {
        Free();
        const size_t held = size == 0 ? 1 : size;
        data_ = static_cast<unsigned char*>(AllocatePixelBytes(held));
        if (data_ != nullptr) {
            held_ = held;
            size_ = size;
        }
        return data_ != nullptr;
    }
    void Free()
    {
        FreePixelBytes(data_, held_);
        data_ = nullptr;
        size_ = held_ = 0;
    }
    unsigned char* data() const { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    unsigned char* data_ = nullptr;
    size_t size_ = 0;
    size_t held_ = 0; // bytes allocated: at least one
};

} // namespace winapi
