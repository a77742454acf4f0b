// The raster's view of a surface that lives on the display device (surface kinds 0 and 1): the
// DirectDraw surface it wraps and, for DirectDraw images, the pixel-format code fixed when that
// surface was made. The display layer's surface classes of those kinds derive from it, so the
// device-blit mode of the transitions can reach their DirectDraw surfaces.
#pragma once

#include "raster/surface.h"
#include "winapi/ddraw.h"

class CDeviceSurface : public CSurface {
public:
    // Device kinds have no pixel pointer.
    BYTE* GetBits() const override { return nullptr; }
    BYTE* GetRowPointer(LONG) const override { return nullptr; }

    // The DirectDraw surface this object wraps; null when it has none.
    virtual IDirectDrawSurface7* GetDirectDrawSurface() const = 0;
    // EPixelFormatCode of that surface (0 when unknown).
    virtual uint32_t GetPixelFormatCode() const = 0;
};
