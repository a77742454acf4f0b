// CDeviceImage: the image face of the texture kinds (file image texture, text texture, canvas
// texture), a second face of the same object beside its surface part. The Direct3D device binds
// its DirectDraw surface, and the scene objects read its sizes and texture coordinates through it.
#pragma once

#include <cstdint>

#include "winapi/ddraw.h"

class CDeviceImage {
public:
    virtual ~CDeviceImage() = default;
    // The surface kind (2 file image texture, 3 text texture, 8 canvas texture).
    virtual uint8_t GetImageKind() const = 0;
    // The texture's size.
    virtual LONG GetImageWidth() const = 0;
    virtual LONG GetImageHeight() const = 0;
    // The DirectDraw surface bound as the texture; null when not created.
    virtual IDirectDrawSurface7* GetTextureSurface() const = 0;
    // The picture's own size inside the texture.
    virtual LONG GetSourceWidth() const = 0;
    virtual LONG GetSourceHeight() const = 0;
    // Texture coordinates of a source pixel position (0 before creation).
    virtual double GetTexU(LONG x) const = 0;
    virtual double GetTexV(LONG y) const = 0;
};
