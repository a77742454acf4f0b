// Making the off-screen DirectDraw surfaces of the surface objects (images, blank surfaces) on a
// display device: one description for all of them, with the widening of odd widths that 24-bit
// display modes need.
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
