// Generated pictures: deterministic for a seed, so tests and benchmarks see the same pixels.
#include "authoring/sample_pictures.h"

#include <cstddef>

namespace samples {
namespace {

struct Rng {
    uint32_t state;
    uint32_t Next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

uint32_t Rgb(int r, int g, int b, int a = 255)
{
    auto clamp = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
    return clamp(b) | (clamp(g) << 8) | (clamp(r) << 16) | (clamp(a) << 24);
}

}  // namespace

std::vector<uint32_t> PhotoLike(int width, int height, uint32_t seed)
{
    Rng rng{seed | 1};
    std::vector<uint32_t> px(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int n = static_cast<int>(rng.Next() % 5) - 2;
            const int r = (x * 255) / (width > 1 ? width - 1 : 1) + n;
            const int g = (y * 255) / (height > 1 ? height - 1 : 1) + n;
            const int b = ((x + y) * 128) / (width + height) + 64 + ((x / 40 + y / 40) % 2) * 40;
            px[static_cast<size_t>(y) * width + x] = Rgb(r, g, b);
        }
    }
    return px;
}

std::vector<uint32_t> WithAlpha(int width, int height, uint32_t seed)
{
    std::vector<uint32_t> px = PhotoLike(width, height, seed);
    const int cx = width / 2;
    const int cy = height / 2;
    const int radius = (width < height ? width : height) / 2;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int dx = x - cx;
            const int dy = y - cy;
            const int d2 = dx * dx + dy * dy;
            int a = 0;
            if (d2 < radius * radius)
                a = 255 - (d2 * 255) / (radius * radius + 1);
            uint32_t& p = px[static_cast<size_t>(y) * width + x];
            p = (p & 0xFFFFFF) | (static_cast<uint32_t>(a) << 24);
        }
    }
    return px;
}

std::vector<uint32_t> InterfacePart(int width, int height, uint32_t seed)
{
    Rng rng{seed | 1};
    uint32_t colours[16];
    for (uint32_t& c : colours)
        c = Rgb(static_cast<int>(rng.Next() & 255), static_cast<int>(rng.Next() & 255),
                static_cast<int>(rng.Next() & 255));
    std::vector<uint32_t> px(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int c = ((x / 48) + (y / 32) * 3) % 6;  // panels
            if (x % 48 < 2 || y % 32 < 2)
                c = 6;  // frames
            if (((x + y) % 37) == 0)
                c = 7 + (x / 100) % 4;  // strokes
            if (((x * 7 + y * 3) % 211) == 0)
                c = 11 + static_cast<int>(rng.Next() % 5);
            px[static_cast<size_t>(y) * width + x] = colours[c];
        }
    }
    return px;
}

std::vector<uint32_t> Coverage(int width, int height, uint32_t seed)
{
    Rng rng{seed | 1};
    std::vector<uint32_t> px(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t p;
            if (y < 8)
                p = Rgb(static_cast<int>(rng.Next() & 255), static_cast<int>(rng.Next() & 255),
                        static_cast<int>(rng.Next() & 255), static_cast<int>(rng.Next() & 255));
            else if (y < 16)
                p = Rgb(x * 4, y * 8, 0, x * 4);
            else
                p = Rgb(200, 100, 50, 128);
            px[static_cast<size_t>(y) * width + x] = p;
        }
    }
    return px;
}

}  // namespace samples
