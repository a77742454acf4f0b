// CCanvasRegionObject (scene object type 1): an image region whose source is a canvas surface,
// brought up to date (only its changed rectangles) before each blit.
#pragma once

#include "display/image_region_object.h"

class CCanvasRegionObject : public CImageRegionObject {
public:
    // As the image region's, and 1 for a surface that is not a canvas surface.
    int Init(CSurface* surface, const RECT* srcRect, LONG x, LONG y);
    int SetSurface(CSurface* surface);

    uint8_t GetType() const override { return kSceneCanvasRegion; }
    // The canvas updated, then blitted as an image region.
    int Draw(IDirectDrawSurface7* target, const RECT* output, CScreen* context) override;

protected:
    IDirectDrawSurface7* DeviceSurfaceOf(CSurface* surface) const override;
};
