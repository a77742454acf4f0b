// The keyed DirectDraw surface; see dd_keyed_surface.h.
#include "display/dd_keyed_surface.h"

#include "display/device_surface_create.h"
#include "platform/rect_clip.h"

#include <cstring>

namespace {

HRESULT SetSourceKey(IDirectDrawSurface7* surface, DWORD key)
{
    DDCOLORKEY ck{key, key};
    return surface->SetColorKey(DDCKEY_SRCBLT, &ck);
}

} // namespace

CDDKeyedSurface::~CDDKeyedSurface() { ReleaseSurface(); }

void CDDKeyedSurface::ResetKeys()
{
    m_keyX = -1;
    m_keyY = -1;
    m_deviceKey = kNoColorKey;
    m_colorKey = kNoColorKey;
}

void CDDKeyedSurface::ReleaseSurface()
{
    if (m_surface) {
        m_surface->Release();
        m_surface = nullptr;
    }
    ResetKeys();
}

int CDDKeyedSurface::SetKeyAgain(DWORD rgbKey, LONG keyX, LONG keyY)
{
    if (rgbKey != kNoColorKey) {
        return SetColorKeyRgb(static_cast<BYTE>(rgbKey >> 16), static_cast<BYTE>(rgbKey >> 8),
                              static_cast<BYTE>(rgbKey)) != 0
                   ? 5
                   : 0;
    }
    return keyX >= 0 && SetColorKeyAt(keyX, keyY) != 0 ? 6 : 0;
}

int64_t CDDKeyedSurface::GetPixelValue(LONG x, LONG y) const
{
    if (!m_surface || x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return -1;
    }
    DDSURFACEDESC2 locked;
    std::memset(&locked, 0, sizeof(locked));
    locked.dwSize = sizeof(locked);
    if (m_surface->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) {
        return -1;
    }
    const DDPIXELFORMAT& pf = locked.ddpfPixelFormat;
    const DWORD bits = pf.dwRGBBitCount;
    const BYTE* p = static_cast<const BYTE*>(locked.lpSurface) + static_cast<ptrdiff_t>(y) * locked.lPitch +
                    static_cast<ptrdiff_t>(x) * (bits / 8);
    const DWORD mask = pf.dwRBitMask | pf.dwGBitMask | pf.dwBBitMask;
    int64_t value = -1;
    if (bits == 8) {
        value = p[0];
    } else if (bits == 16) {
        value = (p[0] | (p[1] << 8)) & mask;
    } else if (bits == 24) {
        value = (p[0] | (p[1] << 8) | (p[2] << 16)) & mask;
    } else if (bits == 32) {
        DWORD v;
        std::memcpy(&v, p, 4);
        value = v & mask;
    }
    m_surface->Unlock(nullptr);
    return value;
}

int CDDKeyedSurface::SetColorKeyRgb(BYTE r, BYTE g, BYTE b)
{
    ResetKeys();
    if (!m_surface) {
        return 1;
    }
    CPixelFormatDesc desc;
    if (::GetPixelFormatCode(m_surface, &desc, nullptr) == 0) {
        return 2;
    }
    const DWORD key = PackColorKey(desc, r, g, b);
    if (SetSourceKey(m_surface, key) != DD_OK) {
        return 3;
    }
    m_deviceKey = key;
    m_colorKey = (static_cast<DWORD>(r) << 16) | (static_cast<DWORD>(g) << 8) | b;
    return 0;
}

int CDDKeyedSurface::SetColorKeyAt(LONG x, LONG y)
{
    // The point is checked on its own: a valid pixel's value may be any 32-bit pattern.
    const int64_t value = GetPixelValue(x, y);
    if (value < 0) {
        return 1;
    }
    ResetKeys();
    const auto key = static_cast<DWORD>(value);
    if (SetSourceKey(m_surface, key) != DD_OK) {
        return 2;
    }
    m_deviceKey = key;
    m_keyX = x;
    m_keyY = y;
    return 0;
}

bool CDDKeyedSurface::ClipRectToSize(const RECT* r) { return ::ClipRectToSize(m_clip, m_width, m_height, r); }

bool CDDKeyedSurface::ClipRectToBounds(RECT* r) const { return r && ::ClipRectToBounds(m_clip, *r); }
