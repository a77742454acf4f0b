// The 87 wipe patterns of the transitions, held in one table and reached only through
// DrawTransition: one call draws what a pattern shows of the source at a progress from 0 (nothing)
// to 256 (the whole source), between two memory images (copied or alpha-blended) or between
// DirectDraw surfaces (device blit).
#pragma once

#include "raster/surface.h"
#include "winapi/ddraw.h"

#include <cstdint>

// Drawing modes.
enum ETransitionMode : int32_t {
    kTransitionCopy = 0,       // memory images, CImage::Copy
    kTransitionBlendAlpha = 1, // memory images, CImage::BlendAlpha
    kTransitionDeviceBlit = 2, // DirectDraw surfaces, BltFastClipped
};

constexpr int32_t kTransitionCount = 87;

// What a transition drawn straight onto the screen reads of the display object: the DirectDraw
// surface the display draws into (null: nothing to draw into) and its target rectangle, which
// clips every piece and is the far edge of the slides.
class CDisplayTarget {
public:
    virtual ~CDisplayTarget() = default;
    virtual IDirectDrawSurface7* GetTargetSurface() const = 0;
    virtual RECT GetTargetRect() const = 0;
};

// One table entry: (destination, source, progress, x, y, mode, screen target) -> result.
using TransitionOp = int32_t (*)(CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y,
                                 int32_t mode, const CDisplayTarget* screen);

extern const TransitionOp g_TransitionOps[kTransitionCount];

// Draws wipe `index` at `progress` with the source's top-left corner at (x, y).
// 0 drawn (or nothing to draw); 1 the surfaces do not allow the step (missing, or kinds that fit
// no mode: memory images are kind 4 and must be CImage destinations; device sources kind 0 or 1,
// device destinations kind 0), a device mode without a device destination, or an entry that needs
// the cosine table without one; -1 index outside 0..86 (tested after the surfaces); otherwise the
// whole-picture routine's or the entry's own result (cross-fade, filters).
int32_t DrawTransition(int32_t index, CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y,
                       int32_t mode, const CDisplayTarget* screen);
