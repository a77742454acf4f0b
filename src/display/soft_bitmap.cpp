#include "display/soft_bitmap.h"

#include "winapi/kernel.h"

#include <cstdint>
#include <cstring>

namespace {

// Row bytes of a width at a depth, rounded up to four; 0 when it does not fit 32 bits.
uint64_t PitchFor(LONG width, uint8_t bitsPerPixel)
{
    return ((static_cast<uint64_t>(bitsPerPixel / 8) * static_cast<uint64_t>(width)) + 3) & ~uint64_t{3};
}

} // namespace

CSoftBitmap::~CSoftBitmap()
{
    Free();
}

int CSoftBitmap::Create(LONG width, LONG height, uint8_t bitsPerPixel)
{
    Free();
    if (width < 1 || height < 1 || bitsPerPixel < 8) {
        return 1;
    }
    const uint64_t pitch = PitchFor(width, bitsPerPixel);
    const uint64_t bytes = pitch * static_cast<uint64_t>(height);
    if (pitch > INT32_MAX || bytes > UINT32_MAX) {
        return 2;
    }
    m_pixels = static_cast<BYTE*>(GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(bytes)));
    if (!m_pixels) {
        return 2;
    }
    m_bitsPerPixel = bitsPerPixel;
    m_allocated = static_cast<uint32_t>(bytes);
    m_width = width;
    m_height = height;
    m_pitch = static_cast<LONG>(pitch);
    m_clip = RECT{0, 0, width, height};
    return 0;
}

void CSoftBitmap::Free()
{
    if (m_pixels) {
        GlobalFree(m_pixels);
        m_pixels = nullptr;
    }
    m_colorKey = kNoColorKey;
    m_width = 0;
    m_allocated = 0;
}

int CSoftBitmap::Resize(LONG width, LONG height)
{
    if (!m_pixels || width < 1 || height < 1) {
        return 1;
    }
    if (width == m_width && height == m_height) {
        return 0;
    }
    const uint64_t pitch = PitchFor(width, m_bitsPerPixel);
    if (pitch * static_cast<uint64_t>(height) <= m_allocated) {
        m_width = width;
        m_height = height;
        m_pitch = static_cast<LONG>(pitch);
        m_clip = RECT{0, 0, width, height};
        return 0;
    }
    return Create(width, height, m_bitsPerPixel);
}

BYTE* CSoftBitmap::GetRowPointer(LONG y) const
{
    if (!m_pixels || y < 0 || y >= m_height) {
        return nullptr;
    }
    return m_pixels + static_cast<ptrdiff_t>(y) * m_pitch;
}

LONG CSoftBitmap::GetPixel(LONG x, LONG y) const
{
    if (!m_pixels || x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return -1;
    }
    const BYTE* row = GetRowPointer(y);
    switch (m_bitsPerPixel) {
    case 8:
        return row[x];
    case 16: {
        uint16_t v;
        std::memcpy(&v, row + 2 * static_cast<ptrdiff_t>(x), 2);
        return v;
    }
    case 32: {
        uint32_t v;
        std::memcpy(&v, row + 4 * static_cast<ptrdiff_t>(x), 4);
        return static_cast<LONG>(v);
    }
    default:
        return -1;
    }
}

int CSoftBitmap::SetColorKeyAt(LONG x, LONG y)
{
    m_colorKey = static_cast<DWORD>(GetPixel(x, y));
    return m_colorKey == kNoColorKey ? 1 : 0;
}

int CSoftBitmap::SetColorKeyRgb(BYTE r, BYTE g, BYTE b)
{
    switch (m_bitsPerPixel) {
    case 8:
        m_colorKey = r;
        break;
    case 16:
        m_colorKey = static_cast<DWORD>((r & 0xF8) << 8 | (g & 0xFC) << 3 | b >> 3);
        break;
    case 32:
        m_colorKey = static_cast<DWORD>(r) << 16 | static_cast<DWORD>(g) << 8 | b;
        break;
    default:
        break;
    }
    return m_colorKey == kNoColorKey ? 1 : 0;
}

int CSoftBitmap::ClearColorKey()
{
    m_colorKey = kNoColorKey;
    return 0;
}
