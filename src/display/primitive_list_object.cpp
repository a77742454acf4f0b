// The point-list scene object; see primitive_list_object.h.
#include "display/primitive_list_object.h"

#include <algorithm>
#include <new>

#include "display/screen.h"
#include "platform/cos_table.h"

void CPrimitiveListObject::Reset()
{
    m_count = 0;
    m_xs = m_ys = nullptr;
    m_ownX.reset();
    m_ownY.reset();
    m_vertices.reset();
    color_vertices::PresetFor(0xFF000000, m_blend);
    m_primitiveType = 0;
    m_scale = 0x10000;
    m_x = m_y = 0;
}

int CPrimitiveListObject::Init(LONG count, LONG* xs, LONG* ys, DWORD argb, uint8_t primitiveType, bool lend)
{
    // A negative count once became a huge allocation; DrawPrimitive takes at most 65535 vertices.
    if (count < 1 || count > 65535 || xs == nullptr || ys == nullptr || g_pCosTable == nullptr)
        return 1;
    Reset();
    const size_t n = static_cast<size_t>(count);
    if (lend) {
        m_xs = xs;
        m_ys = ys;
    } else {
        m_ownX.reset(new (std::nothrow) LONG[n]);
        m_ownY.reset(new (std::nothrow) LONG[n]);
        if (!m_ownX || !m_ownY) {
            Reset();
            return 2;
        }
        std::copy(xs, xs + n, m_ownX.get());
        std::copy(ys, ys + n, m_ownY.get());
        m_xs = m_ownX.get();
        m_ys = m_ownY.get();
    }
    m_vertices.reset(new (std::nothrow) Vertex[n]);
    if (!m_vertices) {
        Reset();
        return 2;
    }
    for (size_t i = 0; i < n; ++i)
        m_vertices[i] = Vertex{0, 0, 0, 1, argb};
    m_count = n;
    color_vertices::PresetFor(argb, m_blend);
    m_primitiveType = primitiveType;
    SetPosition(0, 0);
    return 0;
}

void CPrimitiveListObject::SetPosition(LONG x, LONG y)
{
    m_x = x;
    m_y = y;
    color_vertices::Lay(m_vertices.get(), m_xs, m_ys, m_count, m_scale, x, y);
}

bool CPrimitiveListObject::HitTest(LONG x, LONG y, bool)
{
    RECT r;
    return GetBounds(&r) && x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool CPrimitiveListObject::Overlaps(CTask* other)
{
    RECT a, b;
    return other != nullptr && GetBounds(&a) && other->GetBounds(&b) && a.left < b.right && b.left < a.right &&
           a.top < b.bottom && b.top < a.bottom;
}

int CPrimitiveListObject::Draw(IDirectDrawSurface7*, const RECT*, CScreen* context)
{
    if (!IsEnabled())
        return 0;
    if (m_count == 0)
        return 1;
    return color_vertices::Draw(context, GetList(), m_blend, static_cast<D3DPRIMITIVETYPE>(m_primitiveType),
                                m_vertices.get(), m_count);
}

bool CPrimitiveListObject::SetPoint(int index, LONG x, LONG y)
{
    if (index < 0 || static_cast<size_t>(index) >= m_count)
        return false;
    m_xs[index] = x;
    m_ys[index] = y;
    // With a scale the least x and y may have moved, so every vertex is laid again.
    SetPosition(m_x, m_y);
    return true;
}

bool CPrimitiveListObject::SetLine(LONG x0, LONG y0, LONG x1, LONG y1)
{
    if (m_count < 2)
        return false;
    m_xs[0] = x0, m_ys[0] = y0, m_xs[1] = x1, m_ys[1] = y1;
    SetPosition(m_x, m_y);
    return true;
}

void CPrimitiveListObject::SetScale(int32_t scale)
{
    m_scale = scale;
    SetPosition(m_x, m_y);
}

bool CPrimitiveListObject::Rotate(int32_t angle, int pivot)
{
    if (m_count == 0)
        return false;
    SetPosition(m_x, m_y);
    RECT box{};
    color_vertices::Bounds(m_vertices.get(), m_count, &box);
    const int64_t bw = static_cast<int64_t>(box.right) - box.left, bh = static_cast<int64_t>(box.bottom) - box.top;
    int64_t px = 0, py = 0;
    color_vertices::PivotPoint(pivot, m_x, m_y, bw, bh, &px, &py);
    color_vertices::Turn(m_vertices.get(), m_count, angle, px, py);
    return true;
}

void CPrimitiveListObject::SetBlend(bool additive, LONG alpha)
{
    SetBlendStates(1, D3DBLEND_SRCALPHA, additive ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
    SetAlpha(alpha);
}

void CPrimitiveListObject::SetBlendStates(uint8_t enable, uint8_t source, uint8_t destination)
{
    m_blend[0] = enable;
    m_blend[1] = source;
    m_blend[2] = destination;
}

void CPrimitiveListObject::SetVertexRgb(int index, DWORD rgb)
{
    if (index >= 0 && static_cast<size_t>(index) < m_count)
        color_vertices::SetRgb(&m_vertices[static_cast<size_t>(index)], 1, rgb);
}

void CPrimitiveListObject::SetVertexAlpha(int index, LONG alpha)
{
    if (index >= 0 && static_cast<size_t>(index) < m_count)
        color_vertices::SetAlpha(&m_vertices[static_cast<size_t>(index)], 1, alpha);
}
