// Quadrilateral mapping, rotation and zoom on an image (the destination): a source rectangle or
// quadrilateral mapped affinely onto a destination quadrilateral or rectangle (copied, keyed by
// the source's colour key, or blended by the source alpha at a level), and rotation with zoom
// about an anchor built on it. Quads are four points: top-left, top-right, bottom-left,
// bottom-right of the rectangle they image (quad_kernels.h gives the coverage rules). clip null =
// the image's clip rectangle; a given one is cut to it.
//
// Results: 0 drawn, or nothing to draw; 1 the destination has no pixels, the source is null or has
// none (rotations: also no cosine table); 2 either side is not 32-bit.
#pragma once

#include "raster/image.h"

// The quad of a rectangle: (L, T), (R - 1, T), (L, B - 1), (R - 1, B - 1).
void RectQuad(const RECT& r, POINT* quad);

// The source rectangle (null: its clip rectangle; cut to it) onto dstQuad, source points reached
// exactly at both ends of every span.
int MapQuad(CImage& dst, const CSurface* src, const POINT* dstQuad, const RECT* srcRect, const RECT* clip);
// As filling fill (cut to the image) with colour, then MapQuad: the pixels an unkeyed source's
// mapping draws are not filled first. Records only what MapQuad records.
int MapQuadOnColour(CImage& dst, const CSurface* src, const POINT* dstQuad, const RECT* srcRect, const RECT* clip,
                    const RECT& fill, DWORD colour);
// srcQuad onto the rectangle quad of dstRect (null: the clip rectangle; an empty one draws
// nothing); the span's source step is the source extent divided by the span length.
int MapQuadToRect(CImage& dst, const CSurface* src, const POINT* srcQuad, const RECT* dstRect, const RECT* clip);
// The mapping itself (keyed when the source has a colour key). The bounding box of dstQuad, cut to
// the clip rectangle, is recorded as changed, even when the quad draws nothing.
int MapQuadCore(CImage& dst, const CSurface* src, const POINT* dstQuad, const POINT* srcQuad, const RECT* clip,
                int edgeFlag);
// The mapping blended by the source alpha scaled by level (mul(level, sA)); the colour key is not used.
int MapQuadBlend(CImage& dst, const CSurface* src, const POINT* dstQuad, const POINT* srcQuad, BYTE level,
                 const RECT* clip, int edgeFlag);

// The source rectangle (null: the whole source; cut to the source's clip rectangle) zoomed by
// zoom / 65536 and turned by angle (512 steps a turn, positive = counter-clockwise on the screen)
// about a pivot at (x, y) plus the anchor's offset of the zoomed size W x H: 0 (0, 0), 1 (W, 0),
// 2 (0, H), 3 (W, H), 4 (W / 2, H / 2); other anchors pivot at (x, y). A zoom of 0 draws nothing;
// a negative zoom mirrors; corners that do not fit 32 bits draw nothing.
int RotateZoom(CImage& dst, const CSurface* src, BYTE anchor, LONG x, LONG y, int angle, int zoom,
               const RECT* srcRect, const RECT* clip);
// As RotateZoom, blended by the source alpha at level.
int RotateZoomBlend(CImage& dst, const CSurface* src, BYTE anchor, LONG x, LONG y, int angle, int zoom, BYTE level,
                    const RECT* srcRect, const RECT* clip);
// The four corners RotateZoom maps to (top-left, top-right, bottom-left, bottom-right of the
// unrotated picture); false when there is no cosine table, the zoom is 0 or a corner does not fit.
bool RotateZoomCorners(BYTE anchor, LONG x, LONG y, int angle, int zoom, LONG width, LONG height, POINT* corners);

// A parallelogram's corners (top-left, top-right, bottom-left, in destination pixels) as the
// whole-pixel quad the pixel library draws: each rounded half up, the fourth completing the
// parallelogram. False when a corner is not finite or the quad does not fit 32 bits.
bool ParallelogramQuad(const double (*corners)[2], POINT* quad);
// As copying background's rectangle at (bx, by) onto area, then the pixel library's bilinear
// parallelogram copy of src's rectangle (srcRect cut to the source's clip rectangle) onto corners:
// area's pixels the picture covers are not copied first. area must lie inside the destination's
// clip rectangle and the background's rectangle inside it; src must not share the destination's
// memory. Records area and the picture's box as changed. Results as MapQuad's.
int DrawParallelogramOnPicture(CImage& dst, const CSurface* src, const double (*corners)[2], const RECT& srcRect,
                               const RECT& area, const CSurface* background, LONG bx, LONG by);
