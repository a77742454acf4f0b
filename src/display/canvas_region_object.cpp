// The canvas region scene object; see canvas_region_object.h.
#include "display/canvas_region_object.h"

#include "display/canvas_surface.h"

IDirectDrawSurface7* CCanvasRegionObject::DeviceSurfaceOf(CSurface* surface) const
{
    return surface != nullptr && surface->GetKind() == kSurfaceCanvas
               ? static_cast<CCanvasSurface*>(surface)->GetDeviceSurface()
               : nullptr;
}

int CCanvasRegionObject::Init(CSurface* surface, const RECT* srcRect, LONG x, LONG y)
{
    if (surface == nullptr || surface->GetKind() != kSurfaceCanvas)
        return 1;
    return CImageRegionObject::Init(surface, srcRect, x, y);
}

int CCanvasRegionObject::SetSurface(CSurface* surface)
{
    if (surface == nullptr || surface->GetKind() != kSurfaceCanvas)
        return 1;
    return CImageRegionObject::SetSurface(surface);
}

int CCanvasRegionObject::Draw(IDirectDrawSurface7* target, const RECT* output, CScreen* context)
{
    if (IsEnabled() && GetSurface() != nullptr)
        static_cast<CCanvasSurface*>(GetSurface())->Update(true);
    return CImageRegionObject::Draw(target, output, context);
}
