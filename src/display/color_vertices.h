// What the geometry scene objects (colour rectangle, textured quad, triangle, point list) share:
// the pre-transformed coloured vertex, colour and alpha setters over a run of vertices, their
// bounding rectangle, turning about a pivot, and the untextured draw with the blend triple.
#pragma once

#include <cstddef>
#include <cstdint>

#include "winapi/d3d.h"

class CScreen;
class CTaskList;

namespace color_vertices {

struct Vertex {
    float x, y, z, rhw;
    DWORD diffuse;
};

// The opaque preset for alpha 255, else the alpha preset.
void PresetFor(DWORD argb, uint8_t blend[3]);

// The setters and the turn below take any vertex with float x, y and a DWORD diffuse.
template <class V>
void SetRgb(V* v, size_t count, DWORD rgb)
{
    for (size_t i = 0; i < count; ++i)
        v[i].diffuse = (v[i].diffuse & 0xFF000000) | (rgb & 0xFFFFFF);
}

template <class V>
void SetAlpha(V* v, size_t count, LONG alpha)  // clamped to 0..255
{
    const DWORD a = static_cast<DWORD>(alpha < 0 ? 0 : alpha > 255 ? 255 : alpha);
    for (size_t i = 0; i < count; ++i)
        v[i].diffuse = (v[i].diffuse & 0xFFFFFF) | a << 24;
}

// C = cos a and S = -sin a of angle from the cosine table; false without the table.
bool TurnFactors(int32_t angle, int64_t* c, int64_t* s);

// The point a rectangle at (x, y), w x h turns about: pivot 0 top-left, 1 top-right, 2 bottom-left,
// 3 bottom-right, 4 centre; any other mode the position.
void PivotPoint(int pivot, int64_t x, int64_t y, int64_t w, int64_t h, int64_t* px, int64_t* py);
// The vertices' bounding rectangle (floor of the least, ceiling of the greatest); false when empty.
bool Bounds(const Vertex* v, size_t count, RECT* out);
// Each vertex (truncated to integers) turned by angle (512 steps a turn, positive counter-clockwise
// on the screen) about (px, py) with the cosine table, in 64-bit integers; nothing without the table.
template <class V>
void Turn(V* v, size_t count, int32_t angle, int64_t px, int64_t py)
{
    int64_t c = 0, s = 0;
    if (!TurnFactors(angle, &c, &s))
        return;
    // 64-bit products, as a 32-bit product of a far point overflowed.
    for (size_t i = 0; i < count; ++i) {
        const int64_t dx = static_cast<int64_t>(v[i].x) - px, dy = static_cast<int64_t>(v[i].y) - py;
        v[i].x = static_cast<float>(((dx * c - dy * s) >> 16) + px);
        v[i].y = static_cast<float>(((dx * s + dy * c) >> 16) + py);
    }
}
// The geometry types' draw: 0 drawn; 1 no context; 2 no Direct3D device; 4 DrawPrimitive failed.
// The blend triple is applied (255: left as it is) when the object sits in a list.
int Draw(CScreen* context, const CTaskList* list, const uint8_t blend[3], D3DPRIMITIVETYPE type, Vertex* v,
         size_t count);
// Offset of each point from the least x and least y of all, times the 16.16 scale, plus the
// position; with scale 1.0 simply point + position.
void Lay(Vertex* v, const LONG* xs, const LONG* ys, size_t count, int32_t scale, LONG x, LONG y);

} // namespace color_vertices
