// The two rectangle clip rules of every surface: setting a surface's clip rectangle from a wanted
// rectangle, and cutting a rectangle to a clip rectangle. Surfaces call these with their own size
// and clip rectangle. Rectangles exclude their right and bottom edges.
#pragma once

#include "winapi/base.h"

// Sets `clip` for a width × height surface: the whole surface for a null `wanted` (true); false
// (clip untouched) for an empty or inverted `wanted`; else `wanted` cut to the surface (true), an
// empty clip at the nearest edge when it lies wholly outside.
bool ClipRectToSize(RECT& clip, LONG width, LONG height, const RECT* wanted);

// Cuts `rect` to `clip`. Left and right first: false when nothing is left across (top and bottom
// then untouched); then top and bottom; the result is top < bottom.
bool ClipRectToBounds(const RECT& clip, RECT& rect);
