#include "drawing/primitive_object.h"

#include "drawing/draw_list.h"
#include "raster/blend_tables.h"
#include "raster/fill_ops.h"
#include "raster/image.h"

CPrimitiveObject::CPrimitiveObject()
{
    Reset();
}

void CPrimitiveObject::Reset()
{
    m_alpha = 255;
    m_blendMode = 0;
    m_width = m_height = 0;
    m_shownWidth = m_shownHeight = 0;
}

void CPrimitiveObject::UpdateRect()
{
    const LONG w = m_shownWidth ? m_shownWidth : m_width;
    const LONG h = m_shownHeight ? m_shownHeight : m_height;
    m_rect = RECT{m_x, m_y, AddClamped(m_x, w), AddClamped(m_y, h)};
}

int CPrimitiveObject::Setup(LONG width, LONG height, DWORD argb, LONG x, LONG y)
{
    Reset();
    m_width = width;
    m_height = height;
    m_x = x;
    m_y = y;
    UpdateRect();
    m_alpha = static_cast<BYTE>(argb >> 24);
    m_color = argb & 0xFFFFFF;
    SetDirty(true);
    return 0;
}

bool CPrimitiveObject::SetColor(DWORD rgb)
{
    rgb &= 0xFFFFFF;
    if (rgb == m_color) {
        return false;
    }
    m_color = rgb;
    SetDirty(true);
    return true;
}

bool CPrimitiveObject::SetColorARGB(DWORD argb)
{
    const BYTE alpha = static_cast<BYTE>(argb >> 24);
    const DWORD rgb = argb & 0xFFFFFF;
    if (alpha == m_alpha && rgb == m_color) {
        return false;
    }
    m_alpha = alpha;
    m_color = rgb;
    SetDirty(true);
    return true;
}

bool CPrimitiveObject::SetNaturalSize(LONG width, LONG height)
{
    if (width < 0 || height < 0 || (width == m_width && height == m_height)) {
        return false;
    }
    m_width = width;
    m_height = height;
    m_shownWidth = m_shownHeight = 0;
    UpdateRect();
    SetDirty(true);
    return true;
}

bool CPrimitiveObject::SetNaturalSizeAndPosition(LONG width, LONG height, LONG x, LONG y)
{
    const bool moved = SetPosition(x, y);
    const bool sized = SetNaturalSize(width, height);
    return moved || sized;
}

int CPrimitiveObject::SetBlendMode(BYTE mode)
{
    if (mode > 3) {
        return 1;
    }
    if (mode != m_blendMode) {
        m_blendMode = mode;
        SetDirty(true);
    }
    return 0;
}

int CPrimitiveObject::SetAlpha(BYTE alpha)
{
    if (alpha != m_alpha) {
        m_alpha = alpha;
        SetDirty(true);
    }
    return 0;
}

bool CPrimitiveObject::SetPosition(LONG x, LONG y)
{
    if (x == m_x && y == m_y) {
        return false;
    }
    m_x = x;
    m_y = y;
    UpdateRect();
    SetDirty(true);
    return true;
}

bool CPrimitiveObject::MoveBy(LONG dx, LONG dy)
{
    if (dx == 0 && dy == 0) {
        return false;
    }
    return SetPosition(AddClamped(m_x, dx), AddClamped(m_y, dy));
}

bool CPrimitiveObject::SetSize(LONG width, LONG height)
{
    if (width == m_shownWidth && height == m_shownHeight) {
        return false;
    }
    m_shownWidth = width;
    m_shownHeight = height;
    UpdateRect();
    SetDirty(true);
    return true;
}

bool CPrimitiveObject::SetSizeAndPosition(LONG width, LONG height, LONG x, LONG y)
{
    const bool sized = SetSize(width, height);
    const bool moved = SetPosition(x, y);
    return sized || moved;
}

bool CPrimitiveObject::InvalidateLocalRect(RECT* rect)
{
    if (!rect || !GetOwnerList()) {
        return false;
    }
    const RECT shown{0, 0, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top};
    if (!IntersectRects(rect, *rect, shown)) {
        return false;
    }
    *rect = MovedRect(*rect, m_x, m_y);
    GetOwnerList()->InvalidateRect(rect);
    return true;
}

bool CPrimitiveObject::HitTest(LONG x, LONG y, bool)
{
    if (m_width == 0) {
        return false;
    }
    return static_cast<uint32_t>(x - static_cast<int64_t>(m_rect.left)) <
               static_cast<uint32_t>(static_cast<int64_t>(m_rect.right) - m_rect.left) &&
           static_cast<uint32_t>(y - static_cast<int64_t>(m_rect.top)) <
               static_cast<uint32_t>(static_cast<int64_t>(m_rect.bottom) - m_rect.top);
}

bool CPrimitiveObject::Intersects(CDrawable* other)
{
    if (m_width == 0 || !other) {
        return false;
    }
    RECT o;
    other->GetScreenRect(&o);
    return o.left < m_rect.right && m_rect.left < o.right && o.top < m_rect.bottom && m_rect.top < o.bottom;
}

RECT* CPrimitiveObject::GetScreenRect(RECT* out) const
{
    if (out) {
        *out = m_rect;
    }
    return out;
}

int CPrimitiveObject::Paint(CImage* target, const RECT& area) const
{
    const BYTE r = static_cast<BYTE>(m_color >> 16);
    const BYTE g = static_cast<BYTE>(m_color >> 8);
    const BYTE b = static_cast<BYTE>(m_color);
    const auto scaled = [this](BYTE c) { return m_alpha == 255 ? c : g_MulTable[c][m_alpha]; };
    int result = 0;
    switch (m_blendMode) {
    case 0:
        result = FillRectAlpha(*target, r, g, b, m_alpha, &area);
        break;
    case 2:
        result = AddColor(*target, scaled(r), scaled(g), scaled(b), &area);
        break;
    case 3:
        result = SubColor(*target, scaled(r), scaled(g), scaled(b), &area);
        break;
    default:
        return 2;
    }
    return result == 0 ? 0 : 3;
}

int CPrimitiveObject::Draw(CImage* target, RECT* outRect)
{
    if (!target) {
        return 1;
    }
    if (!IsVisible() || m_alpha == 0 || m_width == 0) {
        return 0;
    }
    const int result = Paint(target, m_rect);
    ReportDrawn(target, m_rect, outRect);
    return result;
}

void CPrimitiveObject::DrawRegion(CImage* target, const RECT& rect)
{
    RECT area;
    if (!target || m_width == 0 || !IntersectRects(&area, m_rect, rect)) {
        return;
    }
    Paint(target, area);
}
