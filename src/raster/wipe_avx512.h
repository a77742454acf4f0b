// What the wipes' 512-bit twins share: the raster's 512-bit header and its blend of sixteen pixels.
// Included first in their translation units.
#pragma once

#include "raster/pixel_simd_avx512.h"

#define WIPE_SIMD_AVX512 RASTER_SIMD_AVX512

namespace wipe {

using raster_simd::BlendAlpha16;
using raster_simd::BlendConstants16;

// The blend's constants for a loop, made once before it: the ones the compiler would otherwise
// build again inside the loop are kept in registers.
WIPE_SIMD_AVX512 inline __attribute__((always_inline)) BlendConstants16 LoopBlendConstants16()
{
    BlendConstants16 c = raster_simd::MakeBlendConstants16();
    raster_simd::KeepInRegister(c.up);
    raster_simd::KeepInRegister(c.by255);
    raster_simd::KeepInRegister(c.colour);
    return c;
}

} // namespace wipe
