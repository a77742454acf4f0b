// Internal to our pixel library: the entries it serves, the copy kernels tvpglConfig handed it
// and the rectangle in which its entries report what they changed.
#pragma once

#include "raster/pixel_lib.h"

namespace pixel_lib {

// The kernels of tvpglConfig; until it is called, the plain ones.
struct ConfigKernels {
    PixelLibCopyKernel copyRows;
    PixelLibCopyKernel copyColorRows;
    PixelLibCopyKernel copyAlphaRows;
};
extern ConfigKernels g_kernels;
// The library's changed rectangle (entry 1 of every table it hands out).
extern RECT g_changed;

// Every entry of our library.
PixelLibEntries Entries();

} // namespace pixel_lib
