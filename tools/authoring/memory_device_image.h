// A device image (surface kind 0 or 1) over a DirectDraw memory surface, for the tests and fuzz
// harnesses that drive the device-blit paths before the display layer's own images exist.
#pragma once

#include <algorithm>
#include <cstdint>

#include "raster/device_surface.h"
#include "winapi/ddraw.h"

class CMemoryDeviceImage final : public CDeviceSurface {
public:
    // formatCode: the pixel-format code the image reports (32 = X8R8G8B8), which may differ from
    // the surface's own format on purpose.
    explicit CMemoryDeviceImage(IDirectDrawSurface7* surface, uint8_t kind = 0, uint32_t formatCode = 32)
        : m_surface(surface), m_kind(kind), m_format(formatCode)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        if (surface != nullptr && SUCCEEDED(surface->GetSurfaceDesc(&d))) {
            m_width = static_cast<LONG>(d.dwWidth);
            m_height = static_cast<LONG>(d.dwHeight);
            m_pitch = d.lPitch;
        }
        m_clip = RECT{0, 0, m_width, m_height};
    }
    uint8_t GetKind() const override { return m_kind; }
    int SetColorKeyRgb(BYTE r, BYTE g, BYTE b) override
    {
        m_colorKey = (DWORD{r} << 16) | (DWORD{g} << 8) | b;
        return 0;
    }
    int SetColorKeyAt(LONG, LONG) override { return 1; }
    int ClearColorKey() override
    {
        m_colorKey = kNoColorKey;
        return 0;
    }
    int Restore(bool) override { return 0; }
    // Null: the whole surface; an empty or inverted rectangle is refused; otherwise cut to the surface.
    bool ClipRectToSize(const RECT* r) override
    {
        if (r == nullptr) {
            m_clip = RECT{0, 0, m_width, m_height};
            return true;
        }
        if (r->left >= r->right || r->top >= r->bottom)
            return false;
        m_clip = RECT{std::max<LONG>(r->left, 0), std::max<LONG>(r->top, 0), std::min(r->right, m_width),
                      std::min(r->bottom, m_height)};
        return true;
    }
    bool ClipRectToBounds(RECT* r) const override
    {
        r->left = std::max(r->left, m_clip.left);
        r->right = std::min(r->right, m_clip.right);
        r->top = std::max(r->top, m_clip.top);
        r->bottom = std::min(r->bottom, m_clip.bottom);
        return r->left < r->right && r->top < r->bottom;
    }
    IDirectDrawSurface7* GetDirectDrawSurface() const override { return m_surface; }
    uint32_t GetPixelFormatCode() const override { return m_format; }
    void SetKey(DWORD key) { m_colorKey = key; }

private:
    IDirectDrawSurface7* m_surface;
    uint8_t m_kind;
    uint32_t m_format;
};
