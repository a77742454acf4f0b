// Test support for raster tests: pixel buffers with guard bytes around them, random pixels, and
// snapshots of images to compare what changed.
#pragma once

#include "raster/image.h"

#include <cstdint>
#include <random>
#include <vector>

namespace raster_test {

// A block of bytes with a guard zone before and after it, both filled with a known pattern.
class GuardedBuffer {
public:
    static constexpr size_t kGuard = 64;
    explicit GuardedBuffer(size_t size, uint8_t fill = 0);
    BYTE* data() { return m_bytes.data() + kGuard; }
    const BYTE* data() const { return m_bytes.data() + kGuard; }
    size_t size() const { return m_size; }
    // True when no guard byte changed.
    bool GuardsIntact() const;

private:
    size_t m_size;
    std::vector<BYTE> m_bytes;
};

// A pixel rectangle of width x height at bytesPerPixel with a pitch (by default the tight one
// rounded to 4 plus some slack, so that row skips are exercised) inside a guarded buffer.
struct GuardedPlane {
    GuardedPlane(int width, int height, int bytesPerPixel, int extraPitch = 12);
    BYTE* Row(int y) { return buffer.data() + static_cast<ptrdiff_t>(y) * pitch; }
    BYTE* At(int x, int y) { return Row(y) + static_cast<ptrdiff_t>(x) * bytesPerPixel; }
    int width, height, bytesPerPixel, pitch;
    GuardedBuffer buffer;
};

// Deterministic random bytes.
class Random {
public:
    explicit Random(uint32_t seed) : m_engine(seed) {}
    uint32_t Next() { return static_cast<uint32_t>(m_engine()); }
    int Range(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_engine); }
    void Fill(BYTE* p, size_t n);
    // Pixels whose alpha bytes favour 0 and 255 (the blends' special cases) besides random ones.
    void FillPixels(BYTE* p, size_t pixels);

private:
    std::mt19937 m_engine;
};

// An image with random pixels (32-bit: random alpha with extra 0 and 255).
void FillRandom(CImage& image, Random& random);
// Every pixel row of the image, pitch slack included.
std::vector<BYTE> Snapshot(const CImage& image);
// True when no byte of the image outside rect differs from before.
bool SameOutside(const CImage& image, const std::vector<BYTE>& before, const RECT& rect);

}  // namespace raster_test
