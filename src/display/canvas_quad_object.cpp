// The canvas quad scene object; see canvas_quad_object.h.
#include "display/canvas_quad_object.h"

#include "display/canvas_texture.h"

int CCanvasQuadObject::Init(CSurface* texture, LONG x, LONG y, const RECT* srcRect)
{
    if (texture == nullptr || texture->GetKind() != kSurfaceCanvasTexture)
        return 1;
    return CTexturedQuad::Init(texture, x, y, srcRect);
}

int CCanvasQuadObject::SetSurface(CSurface* texture)
{
    if (texture == nullptr || texture->GetKind() != kSurfaceCanvasTexture)
        return 1;
    return CTexturedQuad::SetSurface(texture);
}

int CCanvasQuadObject::Draw(IDirectDrawSurface7* target, const RECT* output, CScreen* context)
{
    if (IsEnabled() && GetSurface() != nullptr)
        static_cast<CCanvasTexture*>(GetSurface())->Update(true);
    return CTexturedQuad::Draw(target, output, context);
}
