// What the surface objects on the display device (images, text surfaces, blank surfaces,
// canvases) share: making their off-screen DirectDraw surfaces (one description for all, with the
// widening of odd widths that 24-bit modes need), their key values and their restore checks.
#pragma once

#include "display/display_device.h"
#include "raster/device_blit.h"

// Creates a width x height off-screen surface (a texture when asked; then `format` is required)
// in system memory when asked, else textures are managed on a hardware device and in system memory
// otherwise; in a 24-bit display mode an odd plain width is made one wider. `made` receives the
// surface's description. 0; 1 no device, a size below 1 or a texture without a format; 2 no
// DirectDraw object; 3 CreateSurface failed; 4 GetSurfaceDesc failed (the surface is released).
int CreateDeviceSurface(CDisplayDevice* device, LONG width, LONG height, bool systemMemory, bool texture,
                        const DDPIXELFORMAT* format, IDirectDrawSurface7** out, DDSURFACEDESC2* made);

// A plain surface's format code: 1555 recorded as 555 and 8888 as x888, others as they are.
uint32_t OpaqueFormat(uint32_t code);

// (r, g, b) as a colour key in a format: r itself (an index) at 8 bits or fewer, else each channel
// cut to its top bits and placed at its shift (channels the format lacks left out).
DWORD PackColorKey(const CPixelFormatDesc& desc, BYTE r, BYTE g, BYTE b);

// Whether a surface object's Restore has work: it has a surface, and it is lost or the rebuild
// is forced.
bool SurfaceNeedsRebuild(IDirectDrawSurface7* surface, bool onlyIfLost);
// Removes the source key of a surface whose key in its own format is *deviceKey: 0 (at once when
// none is set), *deviceKey none; 1 no surface; 2 DirectDraw refused.
int RemoveSourceKey(IDirectDrawSurface7* surface, DWORD* deviceKey);
