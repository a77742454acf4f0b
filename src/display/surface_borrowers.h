// Who borrows which surface: scene objects drawing a surface they do not own register here, and
// the screen tells them before it deletes that surface, so none keeps a freed pointer. Keyed by
// surface, so a deletion looks up its own borrowers and never scans every object. Game thread.
#pragma once

#include "raster/surface.h"

class ISurfaceBorrower {
public:
    // The surface is about to be deleted: forget it.
    virtual void OnSurfaceGone(CSurface* surface) = 0;

protected:
    ~ISurfaceBorrower() = default;
};

void AddSurfaceBorrower(CSurface* surface, ISurfaceBorrower* borrower);
void RemoveSurfaceBorrower(CSurface* surface, ISurfaceBorrower* borrower);
// Tells every borrower of the surface, then forgets them.
void SurfaceGone(CSurface* surface);
// Borrowers of a surface (tests).
size_t SurfaceBorrowerCount(const CSurface* surface);
