#include "display/display_objects.h"

#include "display/image_object.h"
#include "raster/image.h"
#include "raster/surface.h"

CImage* GetSurfaceImage(CSurface* surface)
{
    if (surface == nullptr)
        return nullptr;
    if (surface->GetKind() == kSurfaceMemoryImage)
        return dynamic_cast<CImage*>(surface);
    CImageObject* canvas = GetSurfaceCanvas(surface);
    return canvas != nullptr ? canvas->GetImage() : nullptr;
}

CImageObject* GetSurfaceCanvas(CSurface* surface)
{
    if (surface == nullptr)
        return nullptr;
    const uint8_t kind = surface->GetKind();
    if (kind < kSurfaceCanvas || kind > kSurfaceSprite10)
        return nullptr;
    return dynamic_cast<CImageObject*>(surface);
}

CScene* GetSurfaceScene(CSurface* surface)
{
    CImageObject* canvas = GetSurfaceCanvas(surface);
    return canvas != nullptr ? canvas->GetScene() : nullptr;
}

CImageObject* GetSurfaceCanvasAndScene(CSurface* surface, CScene** scene)
{
    CImageObject* canvas = GetSurfaceCanvas(surface);
    if (scene != nullptr)
        *scene = canvas != nullptr ? canvas->GetScene() : nullptr;
    return canvas;
}

CSurface* GetEffectTargetImage(CImageObject* canvas)
{
    auto* surface = dynamic_cast<CSurface*>(canvas);
    if (surface == nullptr || surface->GetKind() < kSurfaceCanvas || surface->GetKind() > kSurfaceSprite10)
        return nullptr;
    return surface;
}
