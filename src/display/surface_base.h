// The two intermediate bases of the surface interface: CSurfaceBase gives memory kinds the clip
// operations, CDeviceSurfaceBase gives device kinds the clip operations and no pixel memory, and
// leaves them the DirectDraw surface they own to answer.
#pragma once

#include "raster/surface.h"
#include "winapi/ddraw.h"

class CSurfaceBase : public CSurface {
public:
    // Null: clip := bounds, true. Empty r: false, clip kept. Else r cut to the surface (an empty
    // clip at the nearest edge when r lies wholly outside), true.
    bool ClipRectToSize(const RECT* r) override;
    // Cuts r in place to the clip rectangle; false when nothing is left (top and bottom untouched
    // when nothing is left across).
    bool ClipRectToBounds(RECT* r) const override;
};

class CDeviceSurfaceBase : public CSurface {
public:
    bool ClipRectToSize(const RECT* r) override;
    bool ClipRectToBounds(RECT* r) const override;
    // Device kinds have no addressable pixels.
    BYTE* GetBits() const override { return nullptr; }
    BYTE* GetRowPointer(LONG) const override { return nullptr; }
    // The owned DirectDraw surface, not add-referenced; null when not created.
    virtual IDirectDrawSurface7* GetDeviceSurface() const = 0;
};
