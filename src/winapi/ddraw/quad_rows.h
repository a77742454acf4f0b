// Axis-aligned textured quads by rows (the texture path's frame quad): the same pixels as the
// strip's two triangles drawn one by one, point or bilinear. The rows work out which pixels
// each triangle owns from the triangles' own edge tests, and sample with per-column and per-row
// texels and weights; a column or row whose texel or weight the triangles' per-pixel rounding
// could move is drawn by the triangles themselves. Internal to winapi.
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
    // blend: the texture's 8888 texels go over an x888 target by their alpha (SRCALPHA /
    // INVSRCALPHA); drawn only point-sampled with every texel sure and each pixel owned by one
    // triangle (false otherwise, nothing drawn).
    bool Draw(const TLVertex* q, const SurfaceMemory& target, const SurfaceMemory& texture, bool linear,
              bool blend = false);

private:
    // The source row y mixed across every column into one of two slots (three channel rows).
    int32_t* const* Across(const SurfaceMemory& texture, LONG y, LONG keep);

    // Per column (from the quad's first column on).
    std::vector<int32_t> m_xa, m_xb;  // bilinear: texels mixed (into the source row used); point: texel
    std::vector<int32_t> m_w;         // bilinear weight of xb
    std::vector<LONG> m_unsureColumns;  // bilinear: columns whose weight the slack could change
    std::vector<uint8_t> m_sure;      // point: the texel cannot round the other way
    LONG m_columns = 0;
    LONG m_base = 0;                  // first texel of the widened source row (0: the texture's own row)
    std::vector<uint32_t> m_widened;  // a source row in x888, for other texture formats
    LONG m_rowOf[2] = {-1, -1};
    std::vector<int32_t> m_across[2];  // red, green, blue rows one after the other
    int32_t* m_slot[2][3]{};
    std::vector<uint32_t> m_out;
    std::vector<int32_t> m_rowTexels;  // point rows: the texture row of each
    std::vector<uint8_t> m_rowSure;    // and whether it is sure
};

} // namespace winapi::ddraw
