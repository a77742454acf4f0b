// Test helpers of the raster operation kernels: random pictures with guard bytes around the rows
// (so a kernel writing outside its rectangle is caught), plain-versus-SIMD twin runs, and
// independent per-channel formulas written from the definitions of the blend tables.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace pixel_test {

constexpr int kGuard = 64;

// width x height pixels of 1 or 4 bytes, rows `pitch` apart, guard bytes before and after.
struct Picture {
    int width = 0, height = 0, bpp = 4, pitch = 0;
    std::vector<uint8_t> mem;
    uint8_t* First() { return mem.data() + kGuard; }
    const uint8_t* First() const { return mem.data() + kGuard; }
    uint8_t* At(int x, int y) { return First() + y * pitch + x * bpp; }
    const uint8_t* At(int x, int y) const { return First() + y * pitch + x * bpp; }
    uint32_t Px(int x, int y) const
    {
        uint32_t v;
        std::memcpy(&v, At(x, y), 4);
        return v;
    }
    void SetPx(int x, int y, uint32_t v) { std::memcpy(At(x, y), &v, 4); }
    int Skip() const { return pitch - width * bpp; }
};

inline Picture RandomPicture(std::mt19937& rng, int width, int height, int bpp, int extraPitch = -1)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.bpp = bpp;
    if (extraPitch < 0) {
        extraPitch = static_cast<int>(rng() % 3) * 4;
    }
    p.pitch = width * bpp + extraPitch;
    p.mem.resize(size_t(p.pitch) * height + 2 * kGuard);
    for (auto& b : p.mem) {
        b = static_cast<uint8_t>(rng());
    }
    return p;
}

// Random pixels with a bias towards the alpha and colour values where rules change (0, 255).
inline void SprinkleEdges(std::mt19937& rng, Picture& p)
{
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            uint8_t* q = p.At(x, y);
            for (int c = 0; c < p.bpp; ++c) {
                const uint32_t r = rng() % 8;
                if (r == 0) {
                    q[c] = 0;
                } else if (r == 1) {
                    q[c] = 255;
                }
            }
        }
    }
}

inline uint32_t Mul(uint32_t a, uint32_t b) { return (a * b + 127) / 255; }
inline uint32_t Factor(uint32_t o) { return o == 0 ? 0 : o + 1; }
inline int Chan(uint32_t p, int c) { return static_cast<int>((p >> (8 * c)) & 0xFF); }
inline int FloorShift8(int v) { return v >= 0 ? v / 256 : -((-v + 255) / 256); }
inline uint32_t BlendF(uint32_t d, uint32_t s, uint32_t f)
{
    uint32_t out = d & 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
        out |= uint32_t(Chan(d, c) + FloorShift8((Chan(s, c) - Chan(d, c)) * int(f))) << (8 * c);
    }
    return out;
}
// Source weight and alpha union from their definitions.
inline uint32_t Weight(uint32_t d, uint32_t s)
{
    if (d == 0) {
        return 255;
    }
    const uint64_t v = 255ull * 255 * s / (255ull * s + 255ull * d - s * d);
    return v > 255 ? 255 : uint32_t(v);
}
inline uint32_t Union(uint32_t a, uint32_t b) { return 255 - (255 - a) * (255 - b) / 255; }

} // namespace pixel_test
