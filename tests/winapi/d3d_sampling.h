// Direct3D 7's sampling of one texel position, written out for the tests that check drawn quads:
// point = the texel floor(u * size), bilinear = the four texels around u * size - 0.5, clamped.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "winapi/base.h"

namespace d3d_test {

// texel(x, y) answers the x888 colour of a texel; u and v run over the whole texture (0..1).
template <class Texel>
uint32_t Sample(const Texel& texel, LONG tw, LONG th, double u, double v, bool linear)
{
    if (!linear)
        return texel(std::clamp<LONG>(static_cast<LONG>(std::floor(u * tw)), 0, tw - 1),
                     std::clamp<LONG>(static_cast<LONG>(std::floor(v * th)), 0, th - 1));
    const double su = std::clamp(u * tw - 0.5, 0.0, tw - 1.0), sv = std::clamp(v * th - 0.5, 0.0, th - 1.0);
    const LONG x0 = static_cast<LONG>(su), y0 = static_cast<LONG>(sv);
    const LONG x1 = std::min(x0 + 1, tw - 1), y1 = std::min(y0 + 1, th - 1);
    const double fx = su - x0, fy = sv - y0;
    uint32_t out = 0;
    for (int shift : {16, 8, 0}) {
        auto c = [&](LONG x, LONG y) { return static_cast<double>((texel(x, y) >> shift) & 0xFF); };
        const double top = c(x0, y0) * (1 - fx) + c(x1, y0) * fx;
        const double bottom = c(x0, y1) * (1 - fx) + c(x1, y1) * fx;
        out |= static_cast<uint32_t>(top * (1 - fy) + bottom * fy + 0.5) << shift;
    }
    return out;
}

} // namespace d3d_test
