#include "display/surface_base.h"

#include "platform/rect_clip.h"

bool CSurfaceBase::ClipRectToSize(const RECT* r)
{
    return ::ClipRectToSize(m_clip, m_width, m_height, r);
}

bool CSurfaceBase::ClipRectToBounds(RECT* r) const
{
    return r && ::ClipRectToBounds(m_clip, *r);
}

bool CDeviceSurfaceBase::ClipRectToSize(const RECT* r)
{
    return ::ClipRectToSize(m_clip, m_width, m_height, r);
}

bool CDeviceSurfaceBase::ClipRectToBounds(RECT* r) const
{
    return r && ::ClipRectToBounds(m_clip, *r);
}
