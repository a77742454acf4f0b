// The triangle scene object; see triangle_object.h.
#include "display/triangle_object.h"

#include "display/screen.h"

CTriangleObject::CTriangleObject() : m_blend{0, D3DBLEND_ONE, D3DBLEND_ZERO}
{
    for (Vertex& v : m_vertices)
        v = Vertex{0, 0, 0, 1, 0xFF000000};
}

int CTriangleObject::Init(LONG x0, LONG y0, LONG x1, LONG y1, LONG x2, LONG y2, DWORD argb, LONG x, LONG y)
{
    m_scale = 0x10000;
    m_px[0] = x0, m_py[0] = y0, m_px[1] = x1, m_py[1] = y1, m_px[2] = x2, m_py[2] = y2;
    for (Vertex& v : m_vertices)
        v.diffuse = argb;
    color_vertices::PresetFor(argb, m_blend);
    SetPosition(x, y);
    return 0;
}

void CTriangleObject::SetPosition(LONG x, LONG y)
{
    m_x = x;
    m_y = y;
    color_vertices::Lay(m_vertices.data(), m_px, m_py, 3, m_scale, x, y);
}

bool CTriangleObject::HitTest(LONG x, LONG y, bool)
{
    RECT r;
    return GetBounds(&r) && x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool CTriangleObject::Overlaps(CTask* other)
{
    RECT a, b;
    return other != nullptr && GetBounds(&a) && other->GetBounds(&b) && a.left < b.right && b.left < a.right &&
           a.top < b.bottom && b.top < a.bottom;
}

int CTriangleObject::Draw(IDirectDrawSurface7*, const RECT*, CScreen* context)
{
    if (!IsEnabled())
        return 0;
    return color_vertices::Draw(context, GetList(), m_blend, D3DPT_TRIANGLELIST, m_vertices.data(), 3);
}

bool CTriangleObject::SetPoint(int index, LONG x, LONG y)
{
    if (index < 0 || index >= 3)
        return false;
    m_px[index] = x;
    m_py[index] = y;
    SetPosition(m_x, m_y);
    return true;
}

void CTriangleObject::SetPoints(LONG x0, LONG y0, LONG x1, LONG y1, LONG x2, LONG y2)
{
    m_px[0] = x0, m_py[0] = y0, m_px[1] = x1, m_py[1] = y1, m_px[2] = x2, m_py[2] = y2;
    SetPosition(m_x, m_y);
}

void CTriangleObject::SetScale(int32_t scale)
{
    m_scale = scale;
    SetPosition(m_x, m_y);
}

void CTriangleObject::SetBlend(bool additive, LONG alpha)
{
    SetBlendStates(1, D3DBLEND_SRCALPHA, additive ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
    SetAlpha(alpha);
}

void CTriangleObject::SetBlendStates(uint8_t enable, uint8_t source, uint8_t destination)
{
    m_blend[0] = enable;
    m_blend[1] = source;
    m_blend[2] = destination;
}

void CTriangleObject::SetVertexRgb(int index, DWORD rgb)
{
    if (index >= 0 && index < 3)
        color_vertices::SetRgb(&m_vertices[static_cast<size_t>(index)], 1, rgb);
}

void CTriangleObject::SetVertexAlpha(int index, LONG alpha)
{
    if (index >= 0 && index < 3)
        color_vertices::SetAlpha(&m_vertices[static_cast<size_t>(index)], 1, alpha);
}
