// The untextured geometry objects' shared vertex work; see color_vertices.h.
#include "display/color_vertices.h"

#include <algorithm>
#include <cmath>

#include "display/screen.h"
#include "platform/cos_table.h"

namespace color_vertices {

void PresetFor(DWORD argb, uint8_t blend[3])
{
    const bool opaque = (argb >> 24) == 255;
    blend[0] = opaque ? 0 : 1;
    blend[1] = opaque ? D3DBLEND_ONE : D3DBLEND_SRCALPHA;
    blend[2] = opaque ? D3DBLEND_ZERO : D3DBLEND_INVSRCALPHA;
}

bool Bounds(const Vertex* v, size_t count, RECT* out)
{
    if (out == nullptr || count == 0)
        return false;
    float minX = v[0].x, maxX = minX, minY = v[0].y, maxY = minY;
    for (size_t i = 1; i < count; ++i) {
        minX = std::min(minX, v[i].x);
        maxX = std::max(maxX, v[i].x);
        minY = std::min(minY, v[i].y);
        maxY = std::max(maxY, v[i].y);
    }
    auto toLong = [](double f) { return static_cast<LONG>(std::clamp(f, -2147483648.0, 2147483647.0)); };
    *out = RECT{toLong(std::floor(minX)), toLong(std::floor(minY)), toLong(std::ceil(maxX)), toLong(std::ceil(maxY))};
    return out->left < out->right && out->top < out->bottom;
}

bool TurnFactors(int32_t angle, int64_t* c, int64_t* s)
{
    if (g_pCosTable == nullptr)
        return false;
    *c = g_pCosTable->Cos(-angle);
    *s = g_pCosTable->Cos(-angle - 128);
    return true;
}

void PivotPoint(int pivot, int64_t x, int64_t y, int64_t w, int64_t h, int64_t* px, int64_t* py)
{
    *px = x;
    *py = y;
    switch (pivot) {
    case 1: *px += w; break;
    case 2: *py += h; break;
    case 3: *px += w; *py += h; break;
    case 4: *px += w / 2; *py += h / 2; break;
    default: break;  // 0, and modes without a meaning: about the position
    }
}

int Draw(CScreen* context, const CTaskList* list, const uint8_t blend[3], D3DPRIMITIVETYPE type, Vertex* v,
         size_t count)
{
    if (context == nullptr)
        return 1;
    IDirect3DDevice7* device = context->GetD3DDevice();
    if (device == nullptr)
        return 2;
    context->SetTexture(nullptr);
    if (list != nullptr) {
        if (blend[0] != 255)
            context->SetAlphaBlendEnable(blend[0]);
        if (blend[1] != 255)
            context->SetSrcBlend(blend[1]);
        if (blend[2] != 255)
            context->SetDestBlend(blend[2]);
    }
    return device->DrawPrimitive(type, D3DFVF_XYZRHW | D3DFVF_DIFFUSE, v, static_cast<DWORD>(count), 0) != DD_OK ? 4 : 0;
}

void Lay(Vertex* v, const LONG* xs, const LONG* ys, size_t count, int32_t scale, LONG x, LONG y)
{
    if (count == 0)
        return;
    if (scale == 0x10000) {
        for (size_t i = 0; i < count; ++i) {
            v[i].x = static_cast<float>(static_cast<int64_t>(xs[i]) + x);
            v[i].y = static_cast<float>(static_cast<int64_t>(ys[i]) + y);
        }
        return;
    }
    const LONG minX = *std::min_element(xs, xs + count), minY = *std::min_element(ys, ys + count);
    for (size_t i = 0; i < count; ++i) {
        v[i].x = static_cast<float>((((static_cast<int64_t>(xs[i]) - minX) * scale) >> 16) + x);
        v[i].y = static_cast<float>((((static_cast<int64_t>(ys[i]) - minY) * scale) >> 16) + y);
    }
}

} // namespace color_vertices
