#include "raster/surface.h"

RECT* CSurface::GetBounds(RECT* out) const
{
    *out = RECT{0, 0, m_width, m_height};
    return out;
}

RECT* CSurface::GetClipRect(RECT* out) const
{
    *out = m_clip;
    return out;
}
