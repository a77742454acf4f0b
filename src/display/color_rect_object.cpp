// The coloured rectangle scene object; see color_rect_object.h.
#include "display/color_rect_object.h"

#include <algorithm>
#include <cmath>

#include "display/color_vertices.h"
#include "display/screen.h"

CColorRectObject::CColorRectObject() : m_blend{0, D3DBLEND_ONE, D3DBLEND_ZERO}
{
    for (Vertex& v : m_vertices)
        v = Vertex{0, 0, 0, 1, 0xFF000000};
}

int CColorRectObject::Init(LONG width, LONG height, DWORD argb, LONG x, LONG y)
{
    m_width = width;
    m_height = height;
    const DWORD alpha = argb >> 24;
    if (alpha == 255)
        SetBlendStates(0, D3DBLEND_ONE, D3DBLEND_ZERO);
    else
        SetBlendStates(1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    for (Vertex& v : m_vertices)
        v.diffuse = argb;
    SetPosition(x, y);
    return 0;
}

void CColorRectObject::Lay()
{
    const float left = static_cast<float>(m_x), top = static_cast<float>(m_y);
    const float right = static_cast<float>(static_cast<int64_t>(m_x) + ShownWidth());
    const float bottom = static_cast<float>(static_cast<int64_t>(m_y) + ShownHeight());
    m_vertices[0].x = m_vertices[2].x = left;
    m_vertices[1].x = m_vertices[3].x = right;
    m_vertices[0].y = m_vertices[1].y = top;
    m_vertices[2].y = m_vertices[3].y = bottom;
}

void CColorRectObject::SetPosition(LONG x, LONG y)
{
    m_x = x;
    m_y = y;
    Lay();
}

void CColorRectObject::SetSize(LONG width, LONG height)
{
    m_explicitW = width;
    m_explicitH = height;
    Lay();
}

void CColorRectObject::SetSizeAndPosition(LONG width, LONG height, LONG x, LONG y)
{
    m_explicitW = width;
    m_explicitH = height;
    SetPosition(x, y);
}

bool CColorRectObject::GetBounds(RECT* out)
{
    if (out == nullptr)
        return false;
    float minX = m_vertices[0].x, maxX = minX, minY = m_vertices[0].y, maxY = minY;
    for (const Vertex& v : m_vertices) {
        minX = std::min(minX, v.x);
        maxX = std::max(maxX, v.x);
        minY = std::min(minY, v.y);
        maxY = std::max(maxY, v.y);
    }
    auto toLong = [](float f) { return static_cast<LONG>(std::clamp<double>(std::floor(f), -2147483648.0, 2147483647.0)); };
    *out = RECT{toLong(minX), toLong(minY), toLong(std::ceil(maxX)), toLong(std::ceil(maxY))};
    return out->left < out->right && out->top < out->bottom;
}

bool CColorRectObject::HitTest(LONG x, LONG y, bool)
{
    RECT r;
    return GetBounds(&r) && x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool CColorRectObject::Overlaps(CTask* other)
{
    RECT a, b;
    return other != nullptr && GetBounds(&a) && other->GetBounds(&b) && a.left < b.right && b.left < a.right &&
           a.top < b.bottom && b.top < a.bottom;
}

int CColorRectObject::Draw(IDirectDrawSurface7*, const RECT*, CScreen* context)
{
    if (!IsEnabled())
        return 0;
    if (context == nullptr)
        return 1;
    IDirect3DDevice7* device = context->GetD3DDevice();
    if (device == nullptr)
        return 2;
    context->SetTexture(nullptr);
    if (GetList() != nullptr) {
        if (m_blend[0] != 255)
            context->SetAlphaBlendEnable(m_blend[0]);
        if (m_blend[1] != 255)
            context->SetSrcBlend(m_blend[1]);
        if (m_blend[2] != 255)
            context->SetDestBlend(m_blend[2]);
    }
    Vertex strip[4] = {m_vertices[0], m_vertices[1], m_vertices[2], m_vertices[3]};
    return device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_DIFFUSE, strip, 4, 0) != DD_OK ? 4 : 0;
}

void CColorRectObject::SetBlend(bool additive, LONG alpha)
{
    SetBlendStates(1, D3DBLEND_SRCALPHA, additive ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
    SetAlpha(alpha);
}

void CColorRectObject::SetBlendStates(uint8_t enable, uint8_t source, uint8_t destination)
{
    m_blend[0] = enable;
    m_blend[1] = source;
    m_blend[2] = destination;
}

void CColorRectObject::SetRgb(DWORD rgb)
{
    color_vertices::SetRgb(m_vertices.data(), m_vertices.size(), rgb);
}

void CColorRectObject::SetVertexRgb(int index, DWORD rgb)
{
    if (index >= 0 && index < 4)
        color_vertices::SetRgb(&m_vertices[static_cast<size_t>(index)], 1, rgb);
}

void CColorRectObject::SetAlpha(LONG alpha)
{
    color_vertices::SetAlpha(m_vertices.data(), m_vertices.size(), alpha);
}

void CColorRectObject::SetVertexAlpha(int index, LONG alpha)
{
    if (index >= 0 && index < 4)
        color_vertices::SetAlpha(&m_vertices[static_cast<size_t>(index)], 1, alpha);
}

void CColorRectObject::SetCorners(LONG x0, LONG y0, LONG x1, LONG y1, LONG x2, LONG y2, LONG x3, LONG y3)
{
    const LONG xs[4] = {x0, x1, x2, x3}, ys[4] = {y0, y1, y2, y3};
    for (size_t i = 0; i < 4; ++i) {
        m_vertices[i].x = static_cast<float>(xs[i]);
        m_vertices[i].y = static_cast<float>(ys[i]);
    }
}

void CColorRectObject::Rotate(int32_t angle, int pivot)
{
    Lay();
    int64_t px = 0, py = 0;
    color_vertices::PivotPoint(pivot, m_x, m_y, ShownWidth(), ShownHeight(), &px, &py);
    color_vertices::Turn(m_vertices.data(), m_vertices.size(), angle, px, py);
}
