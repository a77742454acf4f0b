// CDDKeyedSurface: what the DirectDraw image and the DirectDraw text surface share: the one
// DirectDraw surface they own, its clip rectangle, the pixel read and the colour keys in the
// surface's own format (set from a colour or from a pixel, so a restore can set them again).
#pragma once

#include "raster/device_surface.h"

class CDDKeyedSurface : public CDeviceSurface {
public:
    ~CDDKeyedSurface() override;

    IDirectDrawSurface7* GetDirectDrawSurface() const override { return m_surface; }
    // The pixel's raw value (alpha removed above 8 bits); -1 outside, no surface or lock failed.
    int64_t GetPixelValue(LONG x, LONG y) const;
    // 0; 1 no surface; 2 format unreadable; 3 DirectDraw refused. 0x00RRGGBB becomes the
    // surface's key as well.
    int SetColorKeyRgb(BYTE r, BYTE g, BYTE b) override;
    // 0; 1 the pixel could not be read (the old key stays); 2 DirectDraw refused.
    int SetColorKeyAt(LONG x, LONG y) override;
    // The key in the surface's own format; kNoColorKey = none.
    DWORD GetColorKey() const override { return m_deviceKey; }
    bool ClipRectToSize(const RECT* r) override;
    bool ClipRectToBounds(RECT* r) const override;

protected:
    void ResetKeys();
    // Releases the surface and resets the keys.
    void ReleaseSurface();
    // Sets the remembered key (a colour, else a pixel) again on a rebuilt surface: 0; 5 the colour
    // key failed; 6 the pixel key failed.
    int SetKeyAgain(DWORD rgbKey, LONG keyX, LONG keyY);

    IDirectDrawSurface7* m_surface = nullptr;
    LONG m_keyX = -1;
    LONG m_keyY = -1;
    DWORD m_deviceKey = kNoColorKey;
};
