#include "support/pixel_buffers.h"

#include <cstring>

namespace raster_test {

namespace {
constexpr BYTE kGuardByte = 0xA5;
}

GuardedBuffer::GuardedBuffer(size_t size, uint8_t fill) : m_size(size), m_bytes(size + 2 * kGuard, kGuardByte)
{
    std::memset(m_bytes.data() + kGuard, fill, size);
}

bool GuardedBuffer::GuardsIntact() const
{
    for (size_t i = 0; i < kGuard; ++i) {
        if (m_bytes[i] != kGuardByte || m_bytes[kGuard + m_size + i] != kGuardByte) {
            return false;
        }
    }
    return true;
}

GuardedPlane::GuardedPlane(int w, int h, int bpp, int extraPitch)
    : width(w), height(h), bytesPerPixel(bpp), pitch(((w * bpp + 3) & ~3) + extraPitch),
      buffer(static_cast<size_t>(pitch) * static_cast<size_t>(h))
{
}

void Random::Fill(BYTE* p, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        p[i] = static_cast<BYTE>(Next());
    }
}

void Random::FillPixels(BYTE* p, size_t pixels)
{
    for (size_t i = 0; i < pixels; ++i) {
        uint32_t v = Next();
        switch (Next() % 4) {
        case 0:
            v &= 0x00FFFFFFu;
            break;
        case 1:
            v |= 0xFF000000u;
            break;
        default:
            break;
        }
        std::memcpy(p + i * 4, &v, 4);
    }
}

void FillRandom(CImage& image, Random& random)
{
    for (LONG y = 0; y < image.GetHeight(); ++y) {
        BYTE* row = image.GetRowAddress(y);
        if (image.GetBitsPerPixel() == 32) {
            random.FillPixels(row, static_cast<size_t>(image.GetWidth()));
        } else {
            random.Fill(row, static_cast<size_t>(image.GetWidth()));
        }
    }
}

std::vector<BYTE> Snapshot(const CImage& image)
{
    const size_t bytes = static_cast<size_t>(image.GetPitch()) * static_cast<size_t>(image.GetHeight());
    return std::vector<BYTE>(image.GetBits(), image.GetBits() + bytes);
}

bool SameOutside(const CImage& image, const std::vector<BYTE>& before, const RECT& rect)
{
    const int bpp = image.GetBitsPerPixel() / 8;
    for (LONG y = 0; y < image.GetHeight(); ++y) {
        for (LONG x = 0; x < image.GetPitch(); ++x) {
            const LONG px = x / bpp;
            const bool inside = y >= rect.top && y < rect.bottom && px >= rect.left && px < rect.right &&
                                px < image.GetWidth();
            const size_t i = static_cast<size_t>(y) * image.GetPitch() + x;
            if (!inside && image.GetBits()[i] != before[i]) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace raster_test
