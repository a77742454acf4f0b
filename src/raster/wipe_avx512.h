// What the wipes' 512-bit twins share: the raster's 512-bit header and its blend of sixteen pixels.
// Included first in their translation units.
#pragma once

#include "raster/pixel_simd_avx512.h"

#define WIPE_SIMD_AVX512 RASTER_SIMD_AVX512

namespace wipe {

using raster_simd::BlendAlpha16;

} // namespace wipe
