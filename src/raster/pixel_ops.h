// Routines over locked surface memory in the device pixel formats (invert, mosaic, alpha plane to
// texture), the reduction of supersampled 32-bit rows to a byte plane, and the noise table of the
// noise wipes.
#pragma once

#include "platform/random.h"
#include "raster/dib_convert.h"

#include <cstdint>

// 0 done; 1 no pixels, no bounds, or a nonzero mode for a format without alpha (code below 33);
// -1 the clip rectangle does not meet the bounds (it is cut to them in place); 2 unknown format.
// mode (32-bit formats): 0 colour bytes, 1 all bytes, other alpha only.
int InvertPixels(uint8_t mode, uint32_t format, BYTE* pixels, LONG pitch, const RECT* bounds, RECT* clip);
// 0 done (also when nothing is to do); 1 no pixels or no bounds; -1 the clip rectangle does not meet
// the bounds; 2 unknown format. Blocks of n take their top-left pixel; anchor as MosaicPlane8.
int MosaicPixels(uint32_t format, BYTE* pixels, LONG pitch, const RECT* bounds, RECT* clip, int n,
                 BYTE anchor);
// Moves an 8-bit plane into the alpha bits of texture pixels of format 64, 128 or 256.
void WriteAlphaPlaneToTexture16(uint32_t format, BYTE* texture, LONG x, LONG y, LONG width, LONG height,
                                LONG texturePitch, const BYTE* plane, LONG planeX, LONG planeY,
                                LONG planePitch);
// Reduces 4 x height rows of width 32-bit pixels to height byte rows, in place.
void ReduceToBytePlane(BYTE* pixels, LONG pitch, LONG width, LONG height);

// Builds g_pNoiseTable (256 bytes drawn from the shared random state seeded with 0) once; the
// shared state is then reseeded from the clock. A failed allocation leaves g_pNoiseTable null.
void BuildNoiseTable();
