// Copies from surfaces of any kind (see device_copy_ops.h).
#include "raster/device_copy_ops.h"

#include "raster/device_surface.h"
#include "winapi/gdi.h"

#include <algorithm>

namespace {

// The DirectDraw surface behind a device kind (0 to 3), null for anything else.
IDirectDrawSurface7* DeviceSurfaceOf(const CSurface* src)
{
    const auto* device = dynamic_cast<const CDeviceSurface*>(src);
    return device ? device->GetDirectDrawSurface() : nullptr;
}

int FromAny(CImage& dst, const CSurface* src, const SIZE* dstSize, bool scaled, LONG x, LONG y,
            const RECT* srcRect)
{
    if (!dst.GetDc() || !dst.GetBits() || !src) {
        return 1;
    }
    switch (src->GetKind()) {
    case kSurfaceMemoryImage:
    case kSurfaceCanvas:
    case kSurfaceCanvasTexture:
        // Canvases draw into a memory image and hand out its pixels.
        return scaled ? dst.StretchCopy(src, dstSize, x, y, srcRect, false) : dst.Copy(src, x, y, srcRect, false);
    case kSurfaceDDImage:
    case kSurfaceDDSurface:
    case kSurfaceFileImage:
    case kSurfaceTextTexture:
        break;
    default:
        return 1;
    }
    IDirectDrawSurface7* surface = DeviceSurfaceOf(src);
    if (!surface) {
        return 1;
    }
    RECT s = srcRect ? *srcRect : RECT{0, 0, src->GetWidth(), src->GetHeight()};
    if (!scaled) {
        // A source rectangle reaching outside the surface is cut to it, each pixel keeping its place.
        if (s.left < 0) {
            x = LONG(int64_t(x) - s.left);
            s.left = 0;
        }
        if (s.top < 0) {
            y = LONG(int64_t(y) - s.top);
            s.top = 0;
        }
        s.right = std::min(s.right, src->GetWidth());
        s.bottom = std::min(s.bottom, src->GetHeight());
        if (s.left >= s.right || s.top >= s.bottom) {
            return 0;
        }
    }
    SIZE whole{dst.GetWidth(), dst.GetHeight()};
    StretchState state{};
    if (dst.TransferRect(nullptr, x, y, &s, scaled ? (dstSize ? dstSize : &whole) : nullptr,
                         scaled ? &state : nullptr, nullptr) != 0) {
        return 0;
    }
    const RECT d = dst.TransferDstRect();
    const RECT from = dst.TransferSrcRect();
    HDC hdc = nullptr;
    if (surface->GetDC(&hdc) != DD_OK || !hdc) {
        return 2;
    }
    BOOL ok;
    if (scaled) {
        ok = StretchBlt(dst.GetDc(), d.left, d.top, d.right - d.left, d.bottom - d.top, hdc, from.left, from.top,
                        from.right - from.left, from.bottom - from.top, SRCCOPY);
    } else {
        ok = BitBlt(dst.GetDc(), d.left, d.top, d.right - d.left, d.bottom - d.top, hdc, from.left, from.top,
                    SRCCOPY);
    }
    surface->ReleaseDC(hdc);
    if (!ok) {
        return 2;
    }
    dst.MarkChanged(d);
    return 0;
}

} // namespace

int CopyFromAny(CImage& dst, const CSurface* src, LONG x, LONG y, const RECT* srcRect)
{
    return FromAny(dst, src, nullptr, false, x, y, srcRect);
}

int StretchCopyFromAny(CImage& dst, const CSurface* src, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect)
{
    return FromAny(dst, src, dstSize, true, x, y, srcRect);
}
