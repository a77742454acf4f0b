// CCanvasQuadObject (scene object type 5): a textured quad whose texture is a canvas texture,
// brought up to date (only its changed rectangles) before each draw.
#pragma once

#include "display/textured_quad.h"

class CCanvasQuadObject : public CTexturedQuad {
public:
    // As the textured quad's, and 1 for a surface that is not a canvas texture.
    int Init(CSurface* texture, LONG x, LONG y, const RECT* srcRect);
    int SetSurface(CSurface* texture);

    uint8_t GetType() const override { return kSceneCanvasQuad; }
    // The canvas texture updated, then drawn as a textured quad.
    int Draw(IDirectDrawSurface7* target, const RECT* output, CScreen* context) override;
};
