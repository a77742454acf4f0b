// DirectDraw 7 in memory: surfaces are plain pixel blocks; blits run on the calling thread.
#include "winapi/ddraw.h"

#include "winapi/gdi.h"
#include "winapi/gdi_memory_dc.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

const IID IID_IDirectDraw7 = {0x15e65ec0, 0x3b9c, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
const IID IID_IDirectDrawSurface7 = {
    0x06675a80, 0x3b9b, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};

namespace {

const IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr DWORD kMaxSide = 16384;

bool SizeIsValid(DWORD size)
{
    return size == sizeof(DDSURFACEDESC2) || size == DDSURFACEDESC2_SIZE32;
}

DDPIXELFORMAT DefaultFormat()
{
    DDPIXELFORMAT pf{};
    pf.dwSize = sizeof(DDPIXELFORMAT);
    pf.dwFlags = DDPF_RGB;
    pf.dwRGBBitCount = 32;
    pf.dwRBitMask = 0x00FF0000;
    pf.dwGBitMask = 0x0000FF00;
    pf.dwBBitMask = 0x000000FF;
    return pf;
}

bool FormatIsUsable(const DDPIXELFORMAT& pf)
{
    if ((pf.dwFlags & DDPF_RGB) == 0 || (pf.dwFlags & (DDPF_FOURCC | DDPF_PALETTEINDEXED8)) != 0)
        return false;
    return pf.dwRGBBitCount == 16 || pf.dwRGBBitCount == 24 || pf.dwRGBBitCount == 32;
}

bool SameLayout(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b)
{
    return a.dwRGBBitCount == b.dwRGBBitCount && a.dwRBitMask == b.dwRBitMask &&
           a.dwGBitMask == b.dwGBitMask && a.dwBBitMask == b.dwBBitMask;
}

// A rectangle that is not empty and lies inside width x height.
bool RectInside(const RECT& r, LONG width, LONG height)
{
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= width &&
           r.bottom <= height;
}

inline DWORD ReadPixel(const BYTE* p, int bytes)
{
    switch (bytes) {
    case 2:
        return static_cast<DWORD>(p[0] | (p[1] << 8));
    case 3:
        return static_cast<DWORD>(p[0] | (p[1] << 8) | (p[2] << 16));
    default:
        DWORD v;
        std::memcpy(&v, p, 4);
        return v;
    }
}

inline void WritePixel(BYTE* p, int bytes, DWORD v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    if (bytes >= 3)
        p[2] = static_cast<BYTE>(v >> 16);
    if (bytes == 4)
        p[3] = static_cast<BYTE>(v >> 24);
}

// Source positions of a stretched axis: the same accumulator walk as the raster's scaled copies,
// so a device stretch and a memory stretch of the same rectangles sample the same pixels.
void StretchPositions(LONG srcExtent, LONG dstExtent, std::vector<LONG>& out)
{
    out.resize(static_cast<size_t>(dstExtent));
    const LONG whole = srcExtent / dstExtent;
    const LONG fraction = srcExtent % dstExtent;
    LONG accumulator = -dstExtent - 1;
    LONG position = 0;
    for (LONG i = 0; i < dstExtent; ++i) {
        out[static_cast<size_t>(i)] = position;
        position += whole;
        accumulator += fraction;
        if (accumulator >= 0) {
            ++position;
            accumulator -= dstExtent;
        }
    }
}

// IUnknown of the objects made here: they answer their own interface and IUnknown, and the last
// Release deletes them.
template <typename Object, typename Interface, const IID& kIid>
class CComObject : public Interface {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        if (iid == kIid || iid == kIidUnknown) {
            AddRef();
            *out = static_cast<Interface*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete static_cast<Object*>(this);
        return left;
    }

private:
    std::atomic<ULONG> m_refs{1};
};

class CMemorySurface;

// What a surface's device context draws into: the surface's pixels while the DC is out. The
// surface cuts the link when the DC comes back or the surface goes, so a DC kept too long draws
// nothing instead of into freed memory.
class CSurfaceDcTarget final : public winapi::DcTarget {
public:
    explicit CSurfaceDcTarget(const winapi::PixelView& view) : m_view(view) {}
    bool Lock(winapi::PixelView* view) override
    {
        if (m_view.top == nullptr)
            return false;
        *view = m_view;
        return true;
    }
    void Unlock(const RECT*) override {}
    void Detach() { m_view.top = nullptr; }

private:
    winapi::PixelView m_view;
};

class CMemorySurface final : public CComObject<CMemorySurface, IDirectDrawSurface7, IID_IDirectDrawSurface7> {
public:
    CMemorySurface(LONG width, LONG height, const DDPIXELFORMAT& format, DWORD caps)
        : m_width(width), m_height(height), m_format(format), m_caps(caps)
    {
        m_bytes = static_cast<int>(format.dwRGBBitCount / 8);
        m_pitch = (width * m_bytes + 3) & ~3;
        m_pixels.assign(static_cast<size_t>(m_pitch) * static_cast<size_t>(height), 0);
    }

    HRESULT Blt(LPRECT destRect, IDirectDrawSurface7* src, LPRECT srcRect, DWORD flags,
                LPDDBLTFX fx) override;
    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* src, LPRECT srcRect, DWORD flags) override;
    HRESULT GetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT GetDC(HDC* dc) override;
    HRESULT ReleaseDC(HDC dc) override;
    HRESULT GetPixelFormat(LPDDPIXELFORMAT format) override
    {
        if (format == nullptr)
            return DDERR_INVALIDPARAMS;
        *format = m_format;
        return DD_OK;
    }
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC2 desc) override
    {
        if (desc == nullptr || !SizeIsValid(desc->dwSize))
            return DDERR_INVALIDPARAMS;
        FillDesc(desc, nullptr);
        return DD_OK;
    }
    HRESULT Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE event) override;
    HRESULT Unlock(LPRECT rect) override;
    HRESULT IsLost() override { return DD_OK; }
    HRESULT Restore() override { return DD_OK; }

private:
    ~CMemorySurface()
    {
        if (m_dcTarget)
            m_dcTarget->Detach();
    }

    BYTE* At(LONG x, LONG y) { return m_pixels.data() + static_cast<size_t>(y) * m_pitch + x * m_bytes; }
    bool Busy() const { return m_locked || m_dcOut; }
    void FillDesc(LPDDSURFACEDESC2 desc, BYTE* surface) const;
    HRESULT Transfer(const RECT& dst, CMemorySurface* src, const RECT& srcRect, const DDCOLORKEY* key);
    // The source of a blit and its rectangle (null: the whole surface) → DD_OK, DDERR_INVALIDPARAMS
    // without a source, DDERR_INVALIDRECT for a rectangle not inside it.
    static HRESULT BlitSource(IDirectDrawSurface7* src, const RECT* srcRect, CMemorySurface** source, RECT* from);

    friend CComObject;
    LONG m_width;
    LONG m_height;
    LONG m_pitch = 0;
    int m_bytes = 4;
    DDPIXELFORMAT m_format;
    DWORD m_caps;
    std::vector<BYTE> m_pixels;
    bool m_hasSrcKey = false;
    DDCOLORKEY m_srcKey{};
    bool m_hasDestKey = false;
    DDCOLORKEY m_destKey{};
    bool m_locked = false;
    bool m_dcOut = false;
    HDC m_dc = nullptr;
    std::shared_ptr<CSurfaceDcTarget> m_dcTarget;
};

void CMemorySurface::FillDesc(LPDDSURFACEDESC2 desc, BYTE* surface) const
{
    const DWORD size = desc->dwSize;
    // Only the bytes the caller's size covers are written (a 32-bit-sized record is shorter).
    DDSURFACEDESC2 d{};
    d.dwSize = size;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    d.dwWidth = static_cast<DWORD>(m_width);
    d.dwHeight = static_cast<DWORD>(m_height);
    d.lPitch = m_pitch;
    d.lpSurface = surface;
    if (surface != nullptr)
        d.dwFlags |= DDSD_LPSURFACE;
    if (m_hasSrcKey) {
        d.dwFlags |= DDSD_CKSRCBLT;
        d.ddckCKSrcBlt = m_srcKey;
    }
    d.ddpfPixelFormat = m_format;
    d.ddsCaps.dwCaps = m_caps;
    // The record is always sizeof(DDSURFACEDESC2) here: the engine declares it with this layout
    // and only writes the smaller size number into it.
    *desc = d;
}

HRESULT CMemorySurface::Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD, HANDLE)
{
    if (desc == nullptr || !SizeIsValid(desc->dwSize))
        return DDERR_INVALIDPARAMS;
    if (Busy())
        return DDERR_SURFACEBUSY;
    RECT r{0, 0, m_width, m_height};
    if (rect != nullptr) {
        if (!RectInside(*rect, m_width, m_height))
            return DDERR_INVALIDRECT;
        r = *rect;
    }
    FillDesc(desc, At(r.left, r.top));
    m_locked = true;
    return DD_OK;
}

HRESULT CMemorySurface::Unlock(LPRECT)
{
    if (!m_locked)
        return DDERR_NOTLOCKED;
    m_locked = false;
    return DD_OK;
}

HRESULT CMemorySurface::GetColorKey(DWORD flags, LPDDCOLORKEY key)
{
    if (key == nullptr)
        return DDERR_INVALIDPARAMS;
    if (flags == DDCKEY_SRCBLT) {
        if (!m_hasSrcKey)
            return DDERR_NOCOLORKEY;
        *key = m_srcKey;
        return DD_OK;
    }
    if (flags == DDCKEY_DESTBLT) {
        if (!m_hasDestKey)
            return DDERR_NOCOLORKEY;
        *key = m_destKey;
        return DD_OK;
    }
    return DDERR_INVALIDPARAMS;
}

HRESULT CMemorySurface::SetColorKey(DWORD flags, LPDDCOLORKEY key)
{
    const DWORD kind = flags & ~DDCKEY_COLORSPACE;
    bool* has = nullptr;
    DDCOLORKEY* slot = nullptr;
    if (kind == DDCKEY_SRCBLT) {
        has = &m_hasSrcKey;
        slot = &m_srcKey;
    } else if (kind == DDCKEY_DESTBLT) {
        has = &m_hasDestKey;
        slot = &m_destKey;
    } else {
        return DDERR_INVALIDPARAMS;
    }
    if (key == nullptr) {
        *has = false;
        return DD_OK;
    }
    *slot = *key;
    if ((flags & DDCKEY_COLORSPACE) == 0)
        slot->dwColorSpaceHighValue = slot->dwColorSpaceLowValue;
    *has = true;
    return DD_OK;
}

HRESULT CMemorySurface::GetDC(HDC* dc)
{
    if (dc == nullptr)
        return DDERR_INVALIDPARAMS;
    *dc = nullptr;
    if (m_dcOut)
        return DDERR_DCALREADYCREATED;
    if (m_locked)
        return DDERR_SURFACEBUSY;
    // GDI draws 16-bit pixels as X1R5G5B5 or R5G6B5 only; A4R4G4B4 has no DC.
    winapi::PixelView view;
    view.top = m_pixels.data();
    view.stride = m_pitch;
    view.width = m_width;
    view.height = m_height;
    view.bitsPerPixel = static_cast<int>(m_format.dwRGBBitCount);
    if (m_format.dwRGBBitCount == 16) {
        if (m_format.dwRBitMask == 0xF800)
            view.r5g6b5 = true;
        else if (m_format.dwRBitMask != 0x7C00)
            return DDERR_CANTCREATEDC;
    }
    auto target = std::make_shared<CSurfaceDcTarget>(view);
    HDC made = winapi::CreateTargetDC(target);
    if (made == nullptr)
        return DDERR_CANTCREATEDC;
    m_dcTarget = std::move(target);
    m_dc = made;
    m_dcOut = true;
    *dc = made;
    return DD_OK;
}

HRESULT CMemorySurface::ReleaseDC(HDC dc)
{
    if (!m_dcOut || dc == nullptr || dc != m_dc)
        return DDERR_NODC;
    m_dcTarget->Detach();
    m_dcTarget.reset();
    DeleteDC(dc);
    m_dcOut = false;
    m_dc = nullptr;
    return DD_OK;
}

HRESULT CMemorySurface::Transfer(const RECT& dst, CMemorySurface* src, const RECT& srcRect,
                                 const DDCOLORKEY* key)
{
    if (!SameLayout(m_format, src->m_format))
        return DDERR_INVALIDPIXELFORMAT;
    const LONG dw = dst.right - dst.left;
    const LONG dh = dst.bottom - dst.top;
    const LONG sw = srcRect.right - srcRect.left;
    const LONG sh = srcRect.bottom - srcRect.top;
    const int bytes = m_bytes;

    // A blit within one surface reads a copy of the source rows, so overlaps come out right.
    std::vector<BYTE> copy;
    const BYTE* srcBase = src->At(srcRect.left, srcRect.top);
    LONG srcPitch = src->m_pitch;
    if (src == this) {
        const size_t rowBytes = static_cast<size_t>(sw) * bytes;
        copy.resize(rowBytes * static_cast<size_t>(sh));
        for (LONG r = 0; r < sh; ++r)
            std::memcpy(copy.data() + rowBytes * r, src->At(srcRect.left, srcRect.top + r), rowBytes);
        srcBase = copy.data();
        srcPitch = static_cast<LONG>(rowBytes);
    }

    std::vector<LONG> xs;
    std::vector<LONG> ys;
    StretchPositions(sw, dw, xs);
    StretchPositions(sh, dh, ys);
    const bool straight = sw == dw && key == nullptr;
    for (LONG row = 0; row < dh; ++row) {
        const BYTE* s = srcBase + static_cast<ptrdiff_t>(ys[static_cast<size_t>(row)]) * srcPitch;
        BYTE* d = At(dst.left, dst.top + row);
        if (straight) {
            std::memmove(d, s, static_cast<size_t>(dw) * bytes);
            continue;
        }
        for (LONG col = 0; col < dw; ++col) {
            const BYTE* sp = s + static_cast<ptrdiff_t>(xs[static_cast<size_t>(col)]) * bytes;
            if (key != nullptr) {
                const DWORD v = ReadPixel(sp, bytes);
                if (v >= key->dwColorSpaceLowValue && v <= key->dwColorSpaceHighValue)
                    continue;
            }
            std::memcpy(d + static_cast<ptrdiff_t>(col) * bytes, sp, static_cast<size_t>(bytes));
        }
    }
    return DD_OK;
}

HRESULT CMemorySurface::Blt(LPRECT destRect, IDirectDrawSurface7* src, LPRECT srcRect, DWORD flags,
                            LPDDBLTFX fx)
{
    RECT dst{0, 0, m_width, m_height};
    if (destRect != nullptr) {
        if (!RectInside(*destRect, m_width, m_height))
            return DDERR_INVALIDRECT;
        dst = *destRect;
    }
    if (flags & DDBLT_COLORFILL) {
        if (fx == nullptr)
            return DDERR_INVALIDPARAMS;
        if (Busy())
            return DDERR_SURFACEBUSY;
        for (LONG y = dst.top; y < dst.bottom; ++y)
            for (LONG x = dst.left; x < dst.right; ++x)
                WritePixel(At(x, y), m_bytes, fx->dwFillColor);
        return DD_OK;
    }
    CMemorySurface* source;
    RECT from;
    if (const HRESULT result = BlitSource(src, srcRect, &source, &from); result != DD_OK)
        return result;
    if (Busy() || source->Busy())
        return DDERR_SURFACEBUSY;
    const DDCOLORKEY* key = nullptr;
    if (flags & DDBLT_KEYSRCOVERRIDE) {
        if (fx == nullptr)
            return DDERR_INVALIDPARAMS;
        key = &fx->ddckSrcColorkey;
    } else if (flags & DDBLT_KEYSRC) {
        if (!source->m_hasSrcKey)
            return DDERR_NOCOLORKEY;
        key = &source->m_srcKey;
    }
    return Transfer(dst, source, from, key);
}

HRESULT CMemorySurface::BlitSource(IDirectDrawSurface7* src, const RECT* srcRect, CMemorySurface** source,
                                   RECT* from)
{
    *source = static_cast<CMemorySurface*>(src);
    if (*source == nullptr)
        return DDERR_INVALIDPARAMS;
    *from = RECT{0, 0, (*source)->m_width, (*source)->m_height};
    if (srcRect != nullptr) {
        if (!RectInside(*srcRect, (*source)->m_width, (*source)->m_height))
            return DDERR_INVALIDRECT;
        *from = *srcRect;
    }
    return DD_OK;
}

HRESULT CMemorySurface::BltFast(DWORD x, DWORD y, IDirectDrawSurface7* src, LPRECT srcRect, DWORD flags)
{
    CMemorySurface* source;
    RECT from;
    if (const HRESULT result = BlitSource(src, srcRect, &source, &from); result != DD_OK)
        return result;
    // Positions are unsigned: a "negative" one is far outside and fails like any other.
    if (x >= static_cast<DWORD>(m_width) || y >= static_cast<DWORD>(m_height))
        return DDERR_INVALIDRECT;
    const RECT dst{static_cast<LONG>(x), static_cast<LONG>(y),
                   static_cast<LONG>(x) + (from.right - from.left),
                   static_cast<LONG>(y) + (from.bottom - from.top)};
    if (!RectInside(dst, m_width, m_height))
        return DDERR_INVALIDRECT;
    if (Busy() || source->Busy())
        return DDERR_SURFACEBUSY;
    const DDCOLORKEY* key = nullptr;
    if (flags & DDBLTFAST_SRCCOLORKEY) {
        if (!source->m_hasSrcKey)
            return DDERR_NOCOLORKEY;
        key = &source->m_srcKey;
    }
    return Transfer(dst, source, from, key);
}

class CDirectDraw final : public CComObject<CDirectDraw, IDirectDraw7, IID_IDirectDraw7> {
public:
    HRESULT CreateSurface(LPDDSURFACEDESC2 desc, IDirectDrawSurface7** surface, IUnknown* outer) override
    {
        if (surface == nullptr)
            return DDERR_INVALIDPARAMS;
        *surface = nullptr;
        if (desc == nullptr || !SizeIsValid(desc->dwSize) || outer != nullptr)
            return DDERR_INVALIDPARAMS;
        if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT))
            return DDERR_INVALIDPARAMS;
        const DWORD width = desc->dwWidth;
        const DWORD height = desc->dwHeight;
        if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
            return DDERR_INVALIDPARAMS;
        DDPIXELFORMAT format = DefaultFormat();
        if (desc->dwFlags & DDSD_PIXELFORMAT) {
            if (!FormatIsUsable(desc->ddpfPixelFormat))
                return DDERR_INVALIDPIXELFORMAT;
            format = desc->ddpfPixelFormat;
            format.dwSize = sizeof(DDPIXELFORMAT);
        }
        const DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : DDSCAPS_OFFSCREENPLAIN;
        auto* made = new (std::nothrow) CMemorySurface(static_cast<LONG>(width), static_cast<LONG>(height),
                                                       format, caps | DDSCAPS_SYSTEMMEMORY);
        if (made == nullptr)
            return DDERR_OUTOFMEMORY;
        if (desc->dwFlags & DDSD_CKSRCBLT)
            made->SetColorKey(DDCKEY_SRCBLT, &desc->ddckCKSrcBlt);
        *surface = made;
        return DD_OK;
    }

private:
    friend CComObject;
    ~CDirectDraw() = default;
};

} // namespace

HRESULT WINAPI DirectDrawCreateEx(GUID*, LPVOID* out, REFIID iid, IUnknown* outer)
{
    if (out == nullptr)
        return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer != nullptr || !(iid == IID_IDirectDraw7))
        return DDERR_INVALIDPARAMS;
    auto* dd = new (std::nothrow) CDirectDraw();
    if (dd == nullptr)
        return DDERR_OUTOFMEMORY;
    *out = static_cast<IDirectDraw7*>(dd);
    return DD_OK;
}
