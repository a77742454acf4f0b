// The image region scene object; see image_region_object.h.
#include "display/image_region_object.h"

#include <algorithm>
#include <cstdint>

#include "display/dd_keyed_surface.h"
#include "raster/device_surface.h"
#include "raster/dib_surface.h"

IDirectDrawSurface7* CImageRegionObject::DeviceSurfaceOf(CSurface* surface) const
{
    auto* device = dynamic_cast<CDeviceSurface*>(surface);
    return device != nullptr ? device->GetDirectDrawSurface() : nullptr;
}

CImageRegionObject::~CImageRegionObject()
{
    if (m_surface != nullptr)
        RemoveSurfaceBorrower(m_surface, this);
}

void CImageRegionObject::Borrow(CSurface* surface)
{
    if (surface == m_surface)
        return;
    if (m_surface != nullptr)
        RemoveSurfaceBorrower(m_surface, this);
    m_surface = surface;
    if (surface != nullptr)
        AddSurfaceBorrower(surface, this);
}

void CImageRegionObject::OnSurfaceGone(CSurface* surface)
{
    if (surface == m_surface)
        m_surface = nullptr;
}

void CImageRegionObject::Reset()
{
    Borrow(nullptr);
    m_src = RECT{0, 0, 0, 0};
    m_offsetX = m_offsetY = m_x = m_y = m_w = m_h = 0;
}

int CImageRegionObject::Init(CSurface* surface, const RECT* srcRect, LONG x, LONG y)
{
    if (surface == nullptr || DeviceSurfaceOf(surface) == nullptr)
        return 1;
    Reset();
    Borrow(surface);
    if (srcRect != nullptr) {
        m_src = *srcRect;
        if (!surface->ClipRectToBounds(&m_src))
            m_src = RECT{0, 0, 0, 0};
    } else {
        surface->GetBounds(&m_src);
    }
    SetPosition(x, y);
    return 0;
}

int CImageRegionObject::SetSurface(CSurface* surface)
{
    if (surface == nullptr || DeviceSurfaceOf(surface) == nullptr)
        return 1;
    Borrow(surface);
    return 0;
}

bool CImageRegionObject::SetPositionRect(LONG offsetX, LONG offsetY, const RECT* srcRect)
{
    if (m_surface == nullptr || DeviceSurfaceOf(m_surface) == nullptr)
        return false;
    if (srcRect != nullptr) {
        m_src = *srcRect;
        if (!m_surface->ClipRectToBounds(&m_src))
            m_src = RECT{0, 0, 0, 0};
    }
    m_offsetX = offsetX;
    m_offsetY = offsetY;
    return true;
}

bool CImageRegionObject::GetBounds(RECT* out)
{
    if (out == nullptr || m_surface == nullptr)
        return false;
    *out = RECT{m_x, m_y, static_cast<LONG>(static_cast<int64_t>(m_x) + ShownWidth()),
                static_cast<LONG>(static_cast<int64_t>(m_y) + ShownHeight())};
    return out->left < out->right && out->top < out->bottom;
}

bool CImageRegionObject::HitTest(LONG x, LONG y, bool exact)
{
    RECT r;
    if (!GetBounds(&r) || x < r.left || x >= r.right || y < r.top || y >= r.bottom)
        return false;
    if (!exact || m_surface->GetKind() != kSurfaceDDImage || m_surface->GetColorKey() == kNoColorKey)
        return true;
    int64_t dx = static_cast<int64_t>(x) - m_x, dy = static_cast<int64_t>(y) - m_y;
    if (m_w != 0)
        dx = dx * (m_src.right - m_src.left) / m_w;
    if (m_h != 0)
        dy = dy * (m_src.bottom - m_src.top) / m_h;
    const auto* image = static_cast<const CDDKeyedSurface*>(dynamic_cast<CDeviceSurface*>(m_surface));
    const int64_t pixel = image->GetPixelValue(static_cast<LONG>(dx + m_src.left + m_offsetX),
                                               static_cast<LONG>(dy + m_src.top + m_offsetY));
    return pixel != static_cast<int64_t>(m_surface->GetColorKey());
}

bool CImageRegionObject::Overlaps(CTask* other)
{
    RECT a, b;
    return other != nullptr && GetBounds(&a) && other->GetBounds(&b) && a.left < b.right && b.left < a.right &&
           a.top < b.bottom && b.top < a.bottom;
}

int CImageRegionObject::Draw(IDirectDrawSurface7* target, const RECT* output, CScreen*)
{
    if (!IsEnabled())
        return 0;
    IDirectDrawSurface7* source = m_surface != nullptr ? DeviceSurfaceOf(m_surface) : nullptr;
    if (target == nullptr || output == nullptr || source == nullptr)
        return 1;
    RECT src = m_src;
    if (m_offsetX != 0 || m_offsetY != 0) {
        // Moved in 64 bits and held to 32: the clip to the surface cuts what is left.
        auto moved = [](LONG v, LONG by) {
            return static_cast<LONG>(std::clamp<int64_t>(static_cast<int64_t>(v) + by, INT32_MIN, INT32_MAX));
        };
        src = RECT{moved(src.left, m_offsetX), moved(src.top, m_offsetY), moved(src.right, m_offsetX),
                   moved(src.bottom, m_offsetY)};
    }
    if (!m_surface->ClipRectToBounds(&src))
        return 0;
    const bool keyed = m_surface->GetColorKey() != kNoColorKey;
    RECT dst;
    if (m_w == 0 && m_h == 0) {
        if (ClipBlitRects(m_x, m_y, &src, &dst, output, nullptr) != 0)
            return 0;
        return source == target ||
                       FAILED(target->BltFast(static_cast<DWORD>(dst.left), static_cast<DWORD>(dst.top), source, &src,
                                              keyed ? DDBLTFAST_SRCCOLORKEY : 0))
                   ? 3
                   : 0;
    }
    const SIZE size{m_w != 0 ? m_w : src.right - src.left, m_h != 0 ? m_h : src.bottom - src.top};
    if (ClipBlitRects(m_x, m_y, &src, &dst, output, &size) != 0)
        return 0;
    return source == target || FAILED(target->Blt(&dst, source, &src, keyed ? DDBLT_KEYSRC : 0, nullptr)) ? 2 : 0;
}

void CImageRegionObject::SetCursorSourceOrigin(int x, int y)
{
    const RECT moved{x, y, static_cast<LONG>(static_cast<int64_t>(x) + (m_src.right - m_src.left)),
                     static_cast<LONG>(static_cast<int64_t>(y) + (m_src.bottom - m_src.top))};
    SetPositionRect(m_offsetX, m_offsetY, &moved);
}
