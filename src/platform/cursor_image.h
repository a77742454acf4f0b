// What the software cursor needs of the scene object that draws it: its type, whether its
// texture or surface is ready, its source rectangle, and enabling, placing and moving the source
// origin. The display's image-region and textured-quad objects implement it.
#pragma once

#include "winapi/base.h"

class ICursorImage {
public:
    enum : int { kImageRegion = 0, kTexturedQuad = 4 };

    virtual ~ICursorImage() = default;
    virtual int GetType() = 0;
    // The quad's texture or the region's surface reports ready.
    virtual bool IsReady() = 0;
    // The source rectangle (left, top = the source origin).
    virtual RECT GetSourceRect() = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void SetPosition(int x, int y) = 0;
    // Moves the source rectangle's origin (the position-rectangle setter).
    virtual void SetSourceOrigin(int x, int y) = 0;
};
