// Axis-aligned textured quads by rows (the texture path's frame quad): the same pixels as the
// strip's two triangles drawn one by one, point or bilinear. The rows work out which pixels
// each triangle owns from the triangles' own edge tests, and sample with per-column and per-row
// positions; a pixel whose colour the triangles' per-pixel rounding could move is drawn by the
// triangle itself. Internal to winapi.
#pragma once

#include <cstdint>
#include <vector>

#include "winapi/ddraw/triangle.h"

namespace winapi::ddraw {

// Columns begin..end-1 of a row.
struct Span {
    LONG begin = 0, end = 0;
    bool Empty() const { return begin >= end; }
};

class QuadRows {
public:
    // Draws the strip q (4 vertices) when it is an axis-aligned quad: corners top-left,
    // top-right, bottom-left, bottom-right, u along x and v along y, at least a pixel wide and
    // high, with coordinates the rows can bound. False when it is not one (nothing drawn).
    // Point samples in the target's own format are copied whole, unused bits included.
    bool Draw(const TLVertex* q, const SurfaceMemory& target, const SurfaceMemory& texture, bool linear);

private:
    // The source row y sampled across every column into one of two slots (three float rows).
    const float* const* Across(const SurfaceMemory& texture, LONG y, LONG keep);

    // Per column (from the quad's first column on).
    std::vector<int32_t> m_xa, m_xb;  // bilinear: texels mixed (into the source row used); point: texel
    std::vector<float> m_fu;          // bilinear weight of xb
    std::vector<uint8_t> m_sure;      // point: the texel cannot round the other way
    LONG m_columns = 0;
    LONG m_base = 0;                  // first texel of the widened source row (0: the texture's own row)
    std::vector<uint32_t> m_widened;  // a source row in x888, for other texture formats
    LONG m_rowOf[2] = {-1, -1};
    std::vector<float> m_across[2];   // red, green, blue rows one after the other
    float* m_slot[2][3]{};
    std::vector<uint32_t> m_out;
    std::vector<int32_t> m_unsure;
    std::vector<uint32_t> m_shaded;   // the unsure pixels' colours (x888)
};

} // namespace winapi::ddraw
