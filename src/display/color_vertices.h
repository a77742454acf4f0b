// What the untextured geometry scene objects (triangle, point list) share: their pre-transformed
// coloured vertex, colour and alpha setters over a run of them, their bounding rectangle, turning
// about a pivot, and the draw with the blend triple.
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
void SetRgb(Vertex* v, size_t count, DWORD rgb);
void SetAlpha(Vertex* v, size_t count, LONG alpha);  // clamped to 0..255
// The vertices' bounding rectangle (floor of the least, ceiling of the greatest); false when empty.
bool Bounds(const Vertex* v, size_t count, RECT* out);
// Each vertex (truncated to integers) turned by angle (512 steps a turn, positive counter-clockwise
// on the screen) about (px, py) with the cosine table, in 64-bit integers; nothing without the table.
void Turn(Vertex* v, size_t count, int32_t angle, int64_t px, int64_t py);
// The geometry types' draw: 0 drawn; 1 no context; 2 no Direct3D device; 4 DrawPrimitive failed.
// The blend triple is applied (255: left as it is) when the object sits in a list.
int Draw(CScreen* context, const CTaskList* list, const uint8_t blend[3], D3DPRIMITIVETYPE type, Vertex* v,
         size_t count);
// Offset of each point from the least x and least y of all, times the 16.16 scale, plus the
// position; with scale 1.0 simply point + position.
void Lay(Vertex* v, const LONG* xs, const LONG* ys, size_t count, int32_t scale, LONG x, LONG y);

} // namespace color_vertices
