// DirectDraw 7 in memory: surfaces are plain pixel blocks; blits run on the calling thread.
#include "winapi/ddraw.h"

#include "winapi/d3d.h"
#include "winapi/ddraw/bilinear_rows.h"
#include "winapi/ddraw/display_modes.h"
#include "winapi/ddraw/primary_stores.h"
#include "winapi/ddraw/row_kernels.h"
#include "winapi/ddraw/surface_access.h"
#include "winapi/ddraw_testing.h"
#include "winapi/gdi.h"
#include "winapi/gdi_memory_dc.h"
#include "winapi/host.h"
#include "winapi/kernel_module.h"
#include "winapi/picture_limit.h"
#include "winapi/pixel_memory.h"
#include "winapi/user.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

const IID IID_IDirectDraw7 = {0x15e65ec0, 0x3b9c, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
const IID IID_IDirectDrawSurface7 = {
    0x06675a80, 0x3b9b, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
const IID IID_IDirectDrawClipper = {0x6c14db85, 0xa733, 0x11ce, {0xa5, 0x21, 0x00, 0x20, 0xaf, 0x0b, 0xe5, 0x60}};
const CLSID CLSID_DirectDraw = {0xd7b70ee0, 0x4340, 0x11cf, {0xb0, 0x63, 0x00, 0x20, 0xaf, 0xc2, 0xcd, 0x35}};

namespace {

namespace dd = winapi::ddraw;
using winapi::ddraw_testing::Current;

const IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

bool SizeIsValid(DWORD size)
{
    return size == sizeof(DDSURFACEDESC2) || size == DDSURFACEDESC2_SIZE32;
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

// count pixels of `bytes` bytes from p on, each v; whole words where the pixel is one.
void FillRow(BYTE* p, int bytes, LONG count, DWORD v)
{
    if (bytes == 4) {
        const uint32_t word = v;
        for (LONG x = 0; x < count; ++x)
            std::memcpy(p + 4 * static_cast<ptrdiff_t>(x), &word, 4);
    } else if (bytes == 2) {
        const auto half = static_cast<uint16_t>(v);
        for (LONG x = 0; x < count; ++x)
            std::memcpy(p + 2 * static_cast<ptrdiff_t>(x), &half, 2);
    } else {
        for (LONG x = 0; x < count; ++x)
            WritePixel(p + static_cast<ptrdiff_t>(x) * bytes, bytes, v);
    }
}

// Source positions of a stretched axis: the same accumulator walk as the raster's scaled copies,
// so a device stretch and a memory stretch of the same rectangles sample the same pixels.
void StretchPositions(LONG srcExtent, LONG dstExtent, std::vector<LONG>& out)
{
    out.resize(static_cast<size_t>(dstExtent));
    const LONG whole = srcExtent / dstExtent;
    const LONG fraction = srcExtent % dstExtent;
    LONG accumulator = -dstExtent;
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

// One row of a keyed stretched copy for 2- and 4-byte pixels: the key is a range of values.
template <typename Pixel>
void KeyedStretchRow(BYTE* dst, const BYTE* src, const std::vector<LONG>& xs, LONG width, const DDCOLORKEY& key)
{
    const DWORD low = key.dwColorSpaceLowValue, high = key.dwColorSpaceHighValue;
    for (LONG x = 0; x < width; ++x) {
        Pixel v;
        std::memcpy(&v, src + static_cast<size_t>(xs[static_cast<size_t>(x)]) * sizeof(Pixel), sizeof(Pixel));
        if (v < low || v > high)
            std::memcpy(dst + static_cast<size_t>(x) * sizeof(Pixel), &v, sizeof(Pixel));
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

class CClipper final : public CComObject<CClipper, IDirectDrawClipper, IID_IDirectDrawClipper> {
public:
    HRESULT SetHWnd(DWORD, HWND hwnd) override
    {
        dd::CountCall();
        m_hwnd = hwnd;
        return DD_OK;
    }
    HRESULT GetHWnd(HWND* hwnd) override
    {
        if (hwnd == nullptr)
            return DDERR_INVALIDPARAMS;
        *hwnd = m_hwnd;
        return m_hwnd == nullptr ? DDERR_NOHWND : DD_OK;
    }
    HWND Window() const { return m_hwnd; }

private:
    friend CComObject;
    ~CClipper() = default;
    HWND m_hwnd = nullptr;
};

// Bytes of video memory in use by live video-memory surfaces (GetCaps reports the rest free).
std::atomic<uint64_t> g_videoBytes{0};
constexpr DWORD kVideoMemory = 256u << 20;

class CDirectDraw;

// The DirectDraw object a surface came from, cut when that object goes, so GetDDInterface never
// hands out a freed object.
struct OwnerLink {
    std::mutex lock;
    CDirectDraw* owner = nullptr;
};

struct SurfaceMake {
    LONG width;
    LONG height;
    DDPIXELFORMAT format;
    DWORD caps;
    bool primary;
    RECT area;  // the primary's place on the desktop
    std::shared_ptr<OwnerLink> owner = {};
};

class CMemorySurface final : public CComObject<CMemorySurface, IDirectDrawSurface7, IID_IDirectDrawSurface7> {
public:
    explicit CMemorySurface(const SurfaceMake& make)
        : m_width(make.width), m_height(make.height), m_format(make.format), m_caps(make.caps),
          m_primary(make.primary), m_area(make.area), m_owner(make.owner)
    {
        m_bytes = static_cast<int>(m_format.dwRGBBitCount / 8);
        m_pitch = (m_width * m_bytes + 3) & ~3;
        m_video = (m_caps & DDSCAPS_VIDEOMEMORY) != 0;
        m_epoch = dd::LossEpoch();
        m_displayBits = dd::DisplayBits(0);
        if (!m_primary)
            m_pixels.Allocate(static_cast<size_t>(m_pitch) * static_cast<size_t>(m_height));
        if (m_video)
            g_videoBytes += m_pixels.size();
    }

    // A surface with its pixels, or nullptr when there is no memory for them.
    static CMemorySurface* Make(const SurfaceMake& make)
    {
        auto* made = new (std::nothrow) CMemorySurface(make);
        if (made != nullptr && !made->m_primary && made->m_pixels.data() == nullptr) {
            made->Release();
            return nullptr;
        }
        return made;
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
    HRESULT IsLost() override
    {
        dd::CountCall();
        return Lost() ? DDERR_SURFACELOST : DD_OK;
    }
    HRESULT Restore() override;
    HRESULT GetCaps(LPDDSCAPS2 caps) override
    {
        if (caps == nullptr)
            return DDERR_INVALIDPARAMS;
        *caps = DDSCAPS2{m_caps, 0, 0, 0};
        return DD_OK;
    }
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER clipper) override
    {
        dd::CountCall();
        if (!m_primary)
            return DDERR_INVALIDPARAMS;
        if (clipper != nullptr)
            clipper->AddRef();
        if (m_clipper != nullptr)
            m_clipper->Release();
        m_clipper = static_cast<CClipper*>(clipper);
        return DD_OK;
    }
    HRESULT GetClipper(LPDIRECTDRAWCLIPPER* clipper) override
    {
        if (clipper == nullptr)
            return DDERR_INVALIDPARAMS;
        *clipper = m_clipper;
        if (m_clipper == nullptr)
            return DDERR_NOCLIPPERATTACHED;
        m_clipper->AddRef();
        return DD_OK;
    }
    HRESULT GetAttachedSurface(LPDDSCAPS2 caps, IDirectDrawSurface7** surface) override
    {
        if (caps == nullptr || surface == nullptr)
            return DDERR_INVALIDPARAMS;
        *surface = nullptr;
        if (m_back == nullptr || (caps->dwCaps & ~(DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY)) != 0)
            return DDERR_NOTFOUND;
        m_back->AddRef();
        *surface = m_back;
        return DD_OK;
    }
    HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) override;
    HRESULT AddAttachedSurface(IDirectDrawSurface7* attach) override
    {
        if (dd::MethodCall("AddAttachedSurface") != DD_OK)
            return DDERR_GENERIC;
        if (attach == nullptr)
            return DDERR_INVALIDPARAMS;
        CMemorySurface* z = From(attach);
        if (Lost() || z->Lost())
            return DDERR_SURFACELOST;
        if (m_primary || m_zbuffer != nullptr || z == this || (z->m_caps & DDSCAPS_ZBUFFER) == 0 ||
            (m_caps & DDSCAPS_ZBUFFER) != 0 || z->m_width != m_width || z->m_height != m_height)
            return DDERR_CANNOTATTACHSURFACE;
        z->AddRef();
        m_zbuffer = z;
        return DD_OK;
    }
    HRESULT GetDDInterface(LPVOID* out) override;

    bool Memory(winapi::ddraw::SurfaceMemory* out)
    {
        if (m_primary || m_pixels.empty())
            return false;
        *out = {m_pixels.data(), m_pitch, m_width, m_height, m_format, m_caps, Lost(), m_hasSrcKey, m_srcKey};
        return true;
    }
    // Links the chain: this front (or back buffer) shows `back` (the reference is taken over).
    void Attach(CMemorySurface* back) { m_back = back; }
    static CMemorySurface* From(IDirectDrawSurface7* surface) { return static_cast<CMemorySurface*>(surface); }

private:
    ~CMemorySurface()
    {
        if (m_dcTarget)
            m_dcTarget->Detach();
        if (m_clipper != nullptr)
            m_clipper->Release();
        if (m_back != nullptr)
            m_back->Release();
        if (m_zbuffer != nullptr)
            m_zbuffer->Release();
        if (m_video)
            g_videoBytes -= m_pixels.size();
    }

    BYTE* At(LONG x, LONG y) { return m_pixels.data() + static_cast<size_t>(y) * m_pitch + x * m_bytes; }
    bool Busy() const { return m_locked || m_dcOut; }
    bool Lost() const { return m_video && m_epoch != dd::LossEpoch(); }
    HWND ClipWindow() const { return m_clipper != nullptr ? m_clipper->Window() : nullptr; }
    void FillDesc(LPDDSURFACEDESC2 desc, BYTE* surface) const;
    HRESULT Transfer(const RECT& dst, CMemorySurface* src, const RECT& srcRect, const DDCOLORKEY* key);
    void Smooth(const RECT& dst, const BYTE* srcBase, LONG srcPitch, LONG sw, LONG sh);
    // The source of a blit and its rectangle (null: the whole surface) → DD_OK, DDERR_INVALIDPARAMS
    // without a source, DDERR_INVALIDRECT for a rectangle not inside it.
    static HRESULT BlitSource(IDirectDrawSurface7* src, const RECT* srcRect, CMemorySurface** source, RECT* from);
    HRESULT Write(const RECT& dst, CMemorySurface* source, const RECT& from, const DDCOLORKEY* key,
                  const DWORD* fill);
    // The primary's pixels of a rectangle as a surface of their own (gathered from the windows
    // when `gather`), and that surface written back.
    CMemorySurface* PrimaryBlock(const RECT& r, bool gather);
    void PrimaryWriteBack(CMemorySurface* block, const RECT& r);
    // The primary's whole picture held in m_pixels while it is locked or a DC is out.
    bool GatherWhole();
    void ScatterWhole();

    friend CComObject;
    LONG m_width;
    LONG m_height;
    LONG m_pitch = 0;
    int m_bytes = 4;
    DDPIXELFORMAT m_format;
    DWORD m_caps;
    bool m_primary;
    RECT m_area;
    bool m_video = false;
    uint32_t m_epoch = 0;
    DWORD m_displayBits = 32;
    winapi::ZeroedBytes m_pixels;
    bool m_hasSrcKey = false;
    DDCOLORKEY m_srcKey{};
    bool m_hasDestKey = false;
    DDCOLORKEY m_destKey{};
    bool m_locked = false;
    bool m_dcOut = false;
    HDC m_dc = nullptr;
    std::shared_ptr<CSurfaceDcTarget> m_dcTarget;
    CClipper* m_clipper = nullptr;
    CMemorySurface* m_back = nullptr;
    CMemorySurface* m_zbuffer = nullptr;
    std::shared_ptr<OwnerLink> m_owner;
    bool m_smoothStretch = false;  // a block of the primary: stretches into it are bilinear
};

void CMemorySurface::FillDesc(LPDDSURFACEDESC2 desc, BYTE* surface) const
{
    const DWORD size = desc->dwSize;
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

bool CMemorySurface::GatherWhole()
{
    if (!m_pixels.Allocate(static_cast<size_t>(m_pitch) * static_cast<size_t>(m_height)))
        return false;
    dd::GatherFromWindows({m_area, m_bytes, m_pixels.data(), m_pitch}, ClipWindow());
    return true;
}

void CMemorySurface::ScatterWhole()
{
    dd::ScatterToWindows({m_area, m_bytes, m_pixels.data(), m_pitch}, ClipWindow());
    m_pixels.Free();
}

HRESULT CMemorySurface::Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD, HANDLE)
{
    dd::CountCall();
    if (desc == nullptr || !SizeIsValid(desc->dwSize))
        return DDERR_INVALIDPARAMS;
    if (Lost())
        return DDERR_SURFACELOST;
    if (Current().failLock)
        return DDERR_GENERIC;
    if (Busy())
        return DDERR_SURFACEBUSY;
    RECT r{0, 0, m_width, m_height};
    if (rect != nullptr) {
        if (!RectInside(*rect, m_width, m_height))
            return DDERR_INVALIDRECT;
        r = *rect;
    }
    if (m_primary && !GatherWhole())
        return DDERR_OUTOFMEMORY;
    FillDesc(desc, At(r.left, r.top));
    m_locked = true;
    return DD_OK;
}

HRESULT CMemorySurface::Unlock(LPRECT)
{
    if (!m_locked)
        return DDERR_NOTLOCKED;
    m_locked = false;
    if (m_primary)
        ScatterWhole();
    return DD_OK;
}

HRESULT CMemorySurface::Restore()
{
    dd::CountCall();
    if (Current().failRestore)
        return DDERR_GENERIC;
    if (!Lost())
        return DD_OK;
    if (dd::DisplayBits(0) != m_displayBits)
        return DDERR_WRONGMODE;
    if (m_pixels.size() != 0)
        std::memset(m_pixels.data(), 0, m_pixels.size());
    m_epoch = dd::LossEpoch();
    if (m_back != nullptr)
        m_back->Restore();
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
    dd::CountCall();
    if (dc == nullptr)
        return DDERR_INVALIDPARAMS;
    *dc = nullptr;
    if (Lost())
        return DDERR_SURFACELOST;
    if (Current().failGetDC)
        return DDERR_GENERIC;
    if (m_dcOut)
        return DDERR_DCALREADYCREATED;
    if (m_locked)
        return DDERR_SURFACEBUSY;
    // GDI draws 16-bit pixels as X1R5G5B5 or R5G6B5 only; A4R4G4B4 has no DC.
    if (m_format.dwRGBBitCount == 16 && m_format.dwRBitMask != 0xF800 && m_format.dwRBitMask != 0x7C00)
        return DDERR_CANTCREATEDC;
    if (m_primary && !GatherWhole())
        return DDERR_OUTOFMEMORY;
    winapi::PixelView view;
    view.top = m_pixels.data();
    view.stride = m_pitch;
    view.width = m_width;
    view.height = m_height;
    view.bitsPerPixel = static_cast<int>(m_format.dwRGBBitCount);
    view.r5g6b5 = m_format.dwRGBBitCount == 16 && m_format.dwRBitMask == 0xF800;
    auto target = std::make_shared<CSurfaceDcTarget>(view);
    HDC made = winapi::CreateTargetDC(target);
    if (made == nullptr) {
        if (m_primary)
            m_pixels.Free();
        return DDERR_CANTCREATEDC;
    }
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
    if (m_primary)
        ScatterWhole();
    return DD_OK;
}

// One 8-bit channel of a pixel by its mask.
inline int Channel(DWORD v, DWORD mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    return dd::WidenChannel(v, shift, std::popcount(mask >> shift));
}

inline DWORD Pack(int c, DWORD mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask >> shift);
    const DWORD value = bits >= 8 ? static_cast<DWORD>(c) << (bits - 8) : static_cast<DWORD>(c) >> (8 - bits);
    return (value << shift) & mask;
}

// Bilinear stretch (pixel centres aligned, edges clamped): the primary's stretches.
void CMemorySurface::Smooth(const RECT& dst, const BYTE* srcBase, LONG srcPitch, LONG sw, LONG sh)
{
    const LONG dw = dst.right - dst.left;
    const LONG dh = dst.bottom - dst.top;
    const DWORD masks[3] = {m_format.dwRBitMask, m_format.dwGBitMask, m_format.dwBBitMask};
    const int bytes = m_bytes;
    if (bytes == 4 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF) {
        dd::BilinearRows rows(srcBase, srcPitch, sw, sh, dw, dh);
        for (LONG row = 0; row < dh; ++row)
            rows.Make(row, 0, dw, reinterpret_cast<uint32_t*>(At(dst.left, dst.top + row)));
        return;
    }
    // Other formats by their masks, from 16.16 positions and 8-bit weights per column.
    std::vector<LONG> x0(static_cast<size_t>(dw));
    std::vector<int> wx(static_cast<size_t>(dw));
    for (LONG i = 0; i < dw; ++i)
        dd::BilinearAxis(i, sw, dw, &x0[static_cast<size_t>(i)], &wx[static_cast<size_t>(i)]);
    for (LONG row = 0; row < dh; ++row) {
        LONG y0;
        int wy;
        dd::BilinearAxis(row, sh, dh, &y0, &wy);
        const LONG y1 = std::min(y0 + 1, sh - 1);
        const BYTE* r0 = srcBase + static_cast<ptrdiff_t>(y0) * srcPitch;
        const BYTE* r1 = srcBase + static_cast<ptrdiff_t>(y1) * srcPitch;
        BYTE* d = At(dst.left, dst.top + row);
        for (LONG col = 0; col < dw; ++col) {
            const LONG xa = x0[static_cast<size_t>(col)];
            const LONG xb = std::min(xa + 1, sw - 1);
            const int w = wx[static_cast<size_t>(col)];
            const DWORD p00 = ReadPixel(r0 + xa * bytes, bytes), p01 = ReadPixel(r0 + xb * bytes, bytes);
            const DWORD p10 = ReadPixel(r1 + xa * bytes, bytes), p11 = ReadPixel(r1 + xb * bytes, bytes);
            DWORD out = 0;
            for (DWORD mask : masks) {
                const int top = Channel(p00, mask) * (256 - w) + Channel(p01, mask) * w;
                const int bottom = Channel(p10, mask) * (256 - w) + Channel(p11, mask) * w;
                const int c = (top * (256 - wy) + bottom * wy + 32768) >> 16;
                out |= Pack(c, mask);
            }
            WritePixel(d + static_cast<ptrdiff_t>(col) * bytes, bytes, out);
        }
    }
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
    const size_t rowBytes = static_cast<size_t>(dw) * bytes;
    const bool scaled = sw != dw || sh != dh;

    if (!scaled && key == nullptr) {
        if (src != this && dst.left == 0 && srcRect.left == 0 && static_cast<LONG>(rowBytes) == m_pitch &&
            m_pitch == src->m_pitch) {
            std::memcpy(At(0, dst.top), src->At(0, srcRect.top), rowBytes * static_cast<size_t>(dh));
            return DD_OK;
        }
        // Rows of one surface that overlap go bottom up when the target lies lower.
        const bool upward = src == this && dst.top > srcRect.top;
        for (LONG i = 0; i < dh; ++i) {
            const LONG row = upward ? dh - 1 - i : i;
            std::memmove(At(dst.left, dst.top + row), src->At(srcRect.left, srcRect.top + row), rowBytes);
        }
        return DD_OK;
    }

    // A keyed or stretched blit within one surface reads a copy of the source rows.
    std::vector<BYTE> copy;
    const BYTE* srcBase = src->At(srcRect.left, srcRect.top);
    LONG srcPitch = src->m_pitch;
    if (src == this) {
        const size_t srcRowBytes = static_cast<size_t>(sw) * bytes;
        copy.resize(srcRowBytes * static_cast<size_t>(sh));
        for (LONG r = 0; r < sh; ++r)
            std::memcpy(copy.data() + srcRowBytes * r, src->At(srcRect.left, srcRect.top + r), srcRowBytes);
        srcBase = copy.data();
        srcPitch = static_cast<LONG>(srcRowBytes);
    }

    if (m_smoothStretch && key == nullptr) {
        Smooth(dst, srcBase, srcPitch, sw, sh);
        return DD_OK;
    }
    if (!scaled) {
        const DWORD low = key->dwColorSpaceLowValue, high = key->dwColorSpaceHighValue;
        for (LONG row = 0; row < dh; ++row) {
            const BYTE* s = srcBase + static_cast<ptrdiff_t>(row) * srcPitch;
            BYTE* d = At(dst.left, dst.top + row);
            if (bytes == 4) {
                dd::KeyedCopy32(s, d, dw, low, high);
            } else if (bytes == 2) {
                dd::KeyedCopy16Sse2(s, d, dw, low, high);
            } else {
                for (LONG col = 0; col < dw; ++col) {
                    const DWORD v = ReadPixel(s + static_cast<ptrdiff_t>(col) * 3, 3);
                    if (v < low || v > high)
                        std::memcpy(d + static_cast<ptrdiff_t>(col) * 3, s + static_cast<ptrdiff_t>(col) * 3, 3);
                }
            }
        }
        return DD_OK;
    }
    std::vector<LONG> xs;
    std::vector<LONG> ys;
    StretchPositions(sw, dw, xs);
    StretchPositions(sh, dh, ys);
    for (LONG row = 0; row < dh; ++row) {
        const BYTE* s = srcBase + static_cast<ptrdiff_t>(ys[static_cast<size_t>(row)]) * srcPitch;
        BYTE* d = At(dst.left, dst.top + row);
        if (key == nullptr && row > 0 && ys[static_cast<size_t>(row)] == ys[static_cast<size_t>(row) - 1]) {
            // The same source row again: the row just made.
            std::memcpy(d, At(dst.left, dst.top + row - 1), rowBytes);
            continue;
        }
        if (key == nullptr && sw == dw) {
            std::memcpy(d, s, rowBytes);
        } else if (key == nullptr && bytes == 4) {
            dd::Pick32Sse2(s, xs.data(), d, dw);
        } else if (key == nullptr && bytes == 2) {
            dd::Pick16Sse2(s, xs.data(), d, dw);
        } else if (bytes == 4) {
            KeyedStretchRow<uint32_t>(d, s, xs, dw, *key);
        } else if (bytes == 2) {
            KeyedStretchRow<uint16_t>(d, s, xs, dw, *key);
        } else {
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
    }
    return DD_OK;
}

CMemorySurface* CMemorySurface::PrimaryBlock(const RECT& r, bool gather)
{
    SurfaceMake make{r.right - r.left, r.bottom - r.top, m_format, DDSCAPS_SYSTEMMEMORY, false, RECT{}};
    auto* block = Make(make);
    if (block == nullptr)
        return nullptr;
    if (gather) {
        const RECT onScreen{m_area.left + r.left, m_area.top + r.top, m_area.left + r.right, m_area.top + r.bottom};
        dd::GatherFromWindows({onScreen, m_bytes, block->m_pixels.data(), block->m_pitch}, ClipWindow());
    }
    return block;
}

void CMemorySurface::PrimaryWriteBack(CMemorySurface* block, const RECT& r)
{
    const RECT onScreen{m_area.left + r.left, m_area.top + r.top, m_area.left + r.right, m_area.top + r.bottom};
    dd::ScatterToWindows({onScreen, m_bytes, block->m_pixels.data(), block->m_pitch}, ClipWindow());
}

HRESULT CMemorySurface::Write(const RECT& dst, CMemorySurface* source, const RECT& from, const DDCOLORKEY* key,
                              const DWORD* fill)
{
    if (source != nullptr && !SameLayout(m_format, source->m_format))
        return DDERR_INVALIDPIXELFORMAT;
    // A primary source is read as a gathered block first.
    CMemorySurface* readFrom = source;
    RECT readRect = from;
    if (source != nullptr && source->m_primary) {
        readFrom = source->PrimaryBlock(from, true);
        if (readFrom == nullptr)
            return DDERR_OUTOFMEMORY;
        readRect = RECT{0, 0, from.right - from.left, from.bottom - from.top};
    }
    HRESULT result = DD_OK;
    CMemorySurface* into = this;
    RECT at = dst;
    if (m_primary && fill == nullptr && key == nullptr && readFrom == source &&
        dst.right - dst.left == from.right - from.left && dst.bottom - dst.top == from.bottom - from.top) {
        // An opaque unscaled copy goes from the source's pixels straight into the windows.
        const RECT onScreen{m_area.left + dst.left, m_area.top + dst.top, m_area.left + dst.right,
                            m_area.top + dst.bottom};
        dd::ScatterToWindows({onScreen, m_bytes, source->At(from.left, from.top), source->m_pitch}, ClipWindow());
        return DD_OK;
    }
    if (m_primary && fill == nullptr && key == nullptr && readFrom == source && m_bytes == 4 &&
        m_format.dwRBitMask == 0xFF0000 && m_format.dwGBitMask == 0xFF00 && m_format.dwBBitMask == 0xFF) {
        // An opaque x888 stretch is made straight in the windows, only where they show it.
        const RECT onScreen{m_area.left + dst.left, m_area.top + dst.top, m_area.left + dst.right,
                            m_area.top + dst.bottom};
        dd::BilinearRows rows(source->At(from.left, from.top), source->m_pitch, from.right - from.left,
                              from.bottom - from.top, dst.right - dst.left, dst.bottom - dst.top);
        dd::MakeInWindows(onScreen, ClipWindow(), [&](LONG y, LONG left, LONG right, uint32_t* out) {
            rows.Make(y - onScreen.top, left - onScreen.left, right - onScreen.left, out);
        });
        return DD_OK;
    }
    if (m_primary) {
        // An opaque write covers every pixel: nothing to gather.
        into = PrimaryBlock(dst, key != nullptr);
        at = RECT{0, 0, dst.right - dst.left, dst.bottom - dst.top};
        if (into == nullptr)
            result = DDERR_OUTOFMEMORY;
        else
            into->m_smoothStretch = true;
    }
    if (result == DD_OK) {
        if (fill != nullptr) {
            for (LONG y = at.top; y < at.bottom; ++y)
                FillRow(into->At(at.left, y), m_bytes, at.right - at.left, *fill);
        } else {
            result = into->Transfer(at, readFrom, readRect, key);
        }
        if (m_primary && result == DD_OK)
            PrimaryWriteBack(into, dst);
    }
    if (into != nullptr && into != this)
        into->Release();
    if (readFrom != source)
        readFrom->Release();
    return result;
}

HRESULT CMemorySurface::Blt(LPRECT destRect, IDirectDrawSurface7* src, LPRECT srcRect, DWORD flags,
                            LPDDBLTFX fx)
{
    dd::CountCall();
    if (Lost())
        return DDERR_SURFACELOST;
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
        const DWORD fill = fx->dwFillColor;
        return Write(dst, nullptr, RECT{}, nullptr, &fill);
    }
    CMemorySurface* source;
    RECT from;
    if (const HRESULT result = BlitSource(src, srcRect, &source, &from); result != DD_OK)
        return result;
    if (source->Lost())
        return DDERR_SURFACELOST;
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
    return Write(dst, source, from, key, nullptr);
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
    dd::CountCall();
    if (Lost())
        return DDERR_SURFACELOST;
    CMemorySurface* source;
    RECT from;
    if (const HRESULT result = BlitSource(src, srcRect, &source, &from); result != DD_OK)
        return result;
    if (source->Lost())
        return DDERR_SURFACELOST;
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
    return Write(dst, source, from, key, nullptr);
}

HRESULT CMemorySurface::Flip(IDirectDrawSurface7*, DWORD)
{
    dd::CountCall();
    if (!m_primary || m_back == nullptr)
        return DDERR_NOTFLIPPABLE;
    if (Lost() || m_back->Lost())
        return DDERR_SURFACELOST;
    if (Busy() || m_back->Busy())
        return DDERR_SURFACEBUSY;
    dd::ScatterToWindows({m_area, m_bytes, m_back->m_pixels.data(), m_back->m_pitch}, ClipWindow());
    return DD_OK;
}

std::atomic<CDirectDraw*> g_exclusiveOwner{nullptr};

DDPIXELFORMAT DisplayFormat(size_t display) { return dd::FormatOfBits(dd::DisplayBits(display)); }

class CDirect3D;

class CDirectDraw final : public CComObject<CDirectDraw, IDirectDraw7, IID_IDirectDraw7> {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override;
    HRESULT CreateSurface(LPDDSURFACEDESC2 desc, IDirectDrawSurface7** surface, IUnknown* outer) override;
    HRESULT Initialize(GUID* guid) override
    {
        dd::CountCall();
        if (m_initialized)
            return DDERR_ALREADYINITIALIZED;
        GUID* asked = guid == DDCREATE_EMULATIONONLY || guid == DDCREATE_HARDWAREONLY ? nullptr : guid;
        if (!dd::FindDriver(asked, &m_driver))
            return DDERR_INVALIDPARAMS;
        m_initialized = true;
        return DD_OK;
    }
    HRESULT GetCaps(LPDDCAPS hardware, LPDDCAPS emulation) override;
    HRESULT GetDeviceIdentifier(LPDDDEVICEIDENTIFIER2 identifier, DWORD) override
    {
        if (identifier == nullptr)
            return DDERR_INVALIDPARAMS;
        if (!m_initialized)
            return DDERR_NOTINITIALIZED;
        *identifier = DDDEVICEIDENTIFIER2{};
        std::snprintf(identifier->szDriver, sizeof identifier->szDriver, "%s", "tessaro_display.drv");
        std::snprintf(identifier->szDescription, sizeof identifier->szDescription, "%s",
                      m_driver.description.c_str());
        identifier->liDriverVersion.u.HighPart = 0x00060001;
        identifier->liDriverVersion.u.LowPart = 0x00070000;
        return DD_OK;
    }
    HRESULT EnumDisplayModes(DWORD flags, LPDDSURFACEDESC2 desc, LPVOID context,
                             LPDDENUMMODESCALLBACK2 callback) override;
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override;
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD) override
    {
        dd::CountCall();
        if (!m_initialized)
            return DDERR_NOTINITIALIZED;
        if (Current().failDisplayMode)
            return DDERR_GENERIC;
        if (m_level != DDSCL_EXCLUSIVE && !Current().displayModeAtNormalLevel)
            return DDERR_NOEXCLUSIVEMODE;
        const HRESULT result = dd::SetMode(m_driver.display, {width, height, bits, refresh});
        if (result == DD_OK)
            m_modeSet = true;
        return result;
    }
    HRESULT RestoreDisplayMode() override
    {
        dd::CountCall();
        if (m_modeSet)
            dd::RestoreMode(m_driver.display);
        m_modeSet = false;
        return DD_OK;
    }
    HRESULT GetDisplayMode(LPDDSURFACEDESC2 desc) override
    {
        if (desc == nullptr || !SizeIsValid(desc->dwSize))
            return DDERR_INVALIDPARAMS;
        const auto displays = winapi::CurrentDisplays();
        const auto& info = displays[m_driver.display < displays.size() ? m_driver.display : 0];
        DescribeMode(desc, {static_cast<DWORD>(info.bounds.right - info.bounds.left),
                            static_cast<DWORD>(info.bounds.bottom - info.bounds.top),
                            static_cast<DWORD>(info.bitsPerPixel), static_cast<DWORD>(info.refreshHz)});
        return DD_OK;
    }
    HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) override
    {
        dd::CountCall();
        return DirectDrawCreateClipper(flags, clipper, outer);
    }
    HRESULT WaitForVerticalBlank(DWORD, HANDLE) override;
    HRESULT GetVerticalBlankStatus(BOOL* inBlank) override
    {
        if (inBlank == nullptr)
            return DDERR_INVALIDPARAMS;
        *inBlank = FALSE;
        return DD_OK;
    }
    HRESULT FlipToGDISurface() override
    {
        dd::CountCall();
        return DD_OK;
    }

    size_t Display() const { return m_driver.display; }
    const std::shared_ptr<OwnerLink>& Link() const { return m_link; }

private:
    friend CComObject;
    ~CDirectDraw()
    {
        if (m_link) {
            std::lock_guard<std::mutex> hold(m_link->lock);
            m_link->owner = nullptr;
        }
        if (m_modeSet)
            dd::RestoreMode(m_driver.display);
        CDirectDraw* self = this;
        g_exclusiveOwner.compare_exchange_strong(self, nullptr);
    }
    static void DescribeMode(LPDDSURFACEDESC2 desc, const dd::Mode& mode)
    {
        const DWORD size = desc->dwSize;
        *desc = DDSURFACEDESC2{};
        desc->dwSize = size;
        desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
        desc->dwWidth = mode.width;
        desc->dwHeight = mode.height;
        desc->lPitch = static_cast<LONG>((mode.width * (mode.bits / 8) + 3) & ~3u);
        desc->dwRefreshRate = mode.refresh;
        desc->ddpfPixelFormat = dd::FormatOfBits(mode.bits);
    }
    HRESULT CreateChain(const DDSURFACEDESC2& desc, CMemorySurface* front);
    RECT PrimaryArea() const;
    static std::shared_ptr<OwnerLink> MakeLink(CDirectDraw* self)
    {
        std::shared_ptr<OwnerLink> link(new (std::nothrow) OwnerLink);
        if (link)
            link->owner = self;
        return link;
    }

    bool m_initialized = false;
    std::shared_ptr<OwnerLink> m_link = MakeLink(this);
    dd::Driver m_driver{};
    DWORD m_level = 0;
    bool m_modeSet = false;
};

RECT CDirectDraw::PrimaryArea() const
{
    const auto displays = winapi::CurrentDisplays();
    if (m_driver.hasGuid && m_driver.display < displays.size())
        return displays[m_driver.display].bounds;
    RECT all = displays.front().bounds;
    for (const auto& display : displays) {
        all.left = std::min(all.left, display.bounds.left);
        all.top = std::min(all.top, display.bounds.top);
        all.right = std::max(all.right, display.bounds.right);
        all.bottom = std::max(all.bottom, display.bounds.bottom);
    }
    return all;
}

HRESULT CDirectDraw::CreateSurface(LPDDSURFACEDESC2 desc, IDirectDrawSurface7** surface, IUnknown* outer)
{
    dd::CountCall();
    if (surface == nullptr)
        return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    if (desc == nullptr || !SizeIsValid(desc->dwSize) || outer != nullptr)
        return DDERR_INVALIDPARAMS;
    if (!m_initialized)
        return DDERR_NOTINITIALIZED;
    if (Current().failCreateSurface)
        return DDERR_OUTOFMEMORY;
    DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : DDSCAPS_OFFSCREENPLAIN;
    if (Current().fail3DDeviceSurfaces && (caps & DDSCAPS_3DDEVICE))
        return DDERR_OUTOFMEMORY;
    if ((caps & DDSCAPS_SYSTEMMEMORY) == 0)
        caps |= DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    DDPIXELFORMAT format = DisplayFormat(m_driver.display);
    if (caps & DDSCAPS_PRIMARYSURFACE) {
        const RECT area = PrimaryArea();
        const bool chain = (caps & DDSCAPS_FLIP) != 0;
        if (chain) {
            if ((caps & DDSCAPS_COMPLEX) == 0 || (desc->dwFlags & DDSD_BACKBUFFERCOUNT) == 0 ||
                desc->dwBackBufferCount < 1 || desc->dwBackBufferCount > 2)
                return DDERR_INVALIDPARAMS;
            if (m_level != DDSCL_EXCLUSIVE)
                return DDERR_NOEXCLUSIVEMODE;
            caps |= DDSCAPS_FRONTBUFFER;
        }
        auto* front = CMemorySurface::Make(
            {area.right - area.left, area.bottom - area.top, format, caps, true, area, m_link});
        if (front == nullptr)
            return DDERR_OUTOFMEMORY;
        if (chain) {
            if (const HRESULT result = CreateChain(*desc, front); result != DD_OK) {
                front->Release();
                return result;
            }
        }
        *surface = front;
        return DD_OK;
    }
    if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT))
        return DDERR_INVALIDPARAMS;
    const DWORD width = desc->dwWidth;
    const DWORD height = desc->dwHeight;
    if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide)
        return DDERR_INVALIDPARAMS;
    if (caps & DDSCAPS_ZBUFFER) {
        // A z-buffer takes one of the depth formats EnumZBufferFormats offers.
        const DDPIXELFORMAT& z = desc->ddpfPixelFormat;
        if ((desc->dwFlags & DDSD_PIXELFORMAT) == 0 || (z.dwFlags & DDPF_ZBUFFER) == 0 ||
            (z.dwZBufferBitDepth != 16 && z.dwZBufferBitDepth != 32))
            return DDERR_INVALIDPIXELFORMAT;
        format = z;
        format.dwSize = sizeof(DDPIXELFORMAT);
    } else if (desc->dwFlags & DDSD_PIXELFORMAT) {
        if (!FormatIsUsable(desc->ddpfPixelFormat))
            return DDERR_INVALIDPIXELFORMAT;
        format = desc->ddpfPixelFormat;
        format.dwSize = sizeof(DDPIXELFORMAT);
    }
    auto* made =
        CMemorySurface::Make({static_cast<LONG>(width), static_cast<LONG>(height), format, caps, false, RECT{}, m_link});
    if (made == nullptr)
        return DDERR_OUTOFMEMORY;
    if (desc->dwFlags & DDSD_CKSRCBLT)
        made->SetColorKey(DDCKEY_SRCBLT, &desc->ddckCKSrcBlt);
    *surface = made;
    return DD_OK;
}

HRESULT CDirectDraw::CreateChain(const DDSURFACEDESC2& desc, CMemorySurface* front)
{
    DDSURFACEDESC2 d{};
    front->GetSurfaceDesc(&(d.dwSize = sizeof d, d));
    const DWORD backCaps = DDSCAPS_BACKBUFFER | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM |
                           (desc.ddsCaps.dwCaps & DDSCAPS_3DDEVICE);
    CMemorySurface* link = front;
    for (DWORD i = 0; i < desc.dwBackBufferCount; ++i) {
        auto* back = CMemorySurface::Make(
            {static_cast<LONG>(d.dwWidth), static_cast<LONG>(d.dwHeight), d.ddpfPixelFormat, backCaps, false, RECT{},
             m_link});
        if (back == nullptr)
            return DDERR_OUTOFMEMORY;
        link->Attach(back);
        link = back;
    }
    return DD_OK;
}

HRESULT CDirectDraw::GetCaps(LPDDCAPS hardware, LPDDCAPS emulation)
{
    dd::CountCall();
    if (hardware == nullptr && emulation == nullptr)
        return DDERR_INVALIDPARAMS;
    const DWORD software = DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTSTRETCH | DDCAPS_COLORKEY;
    auto fill = [](LPDDCAPS caps, DWORD bits) {
        const DWORD size = caps->dwSize;
        *caps = DDCAPS{};
        caps->dwSize = size;
        caps->dwCaps = bits;
        caps->dwCKeyCaps = DDCKEYCAPS_SRCBLT;
        caps->dwFXCaps = DDFXCAPS_BLTSTRETCHX | DDFXCAPS_BLTSTRETCHY;
    };
    if (hardware != nullptr) {
        fill(hardware, Current().noHardware ? DDCAPS_NOHARDWARE : software | DDCAPS_3D);
        const uint64_t used = std::min<uint64_t>(g_videoBytes.load(), kVideoMemory);
        hardware->dwVidMemTotal = kVideoMemory;
        hardware->dwVidMemFree = static_cast<DWORD>(kVideoMemory - used);
        hardware->ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_OFFSCREENPLAIN | DDSCAPS_FLIP |
                                   DDSCAPS_VIDEOMEMORY | DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE;
    }
    if (emulation != nullptr)
        fill(emulation, software);
    return DD_OK;
}

HRESULT CDirectDraw::EnumDisplayModes(DWORD flags, LPDDSURFACEDESC2 desc, LPVOID context,
                                      LPDDENUMMODESCALLBACK2 callback)
{
    dd::CountCall();
    if (callback == nullptr || (desc != nullptr && !SizeIsValid(desc->dwSize)))
        return DDERR_INVALIDPARAMS;
    if (!m_initialized)
        return DDERR_NOTINITIALIZED;
    for (const dd::Mode& mode : dd::OfferedModes(m_driver.display)) {
        if (desc != nullptr && (((desc->dwFlags & DDSD_WIDTH) && desc->dwWidth != mode.width) ||
                                ((desc->dwFlags & DDSD_HEIGHT) && desc->dwHeight != mode.height)))
            continue;
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        dd::Mode shown = mode;
        if ((flags & DDEDM_REFRESHRATES) == 0)
            shown.refresh = 0;
        DescribeMode(&d, shown);
        if (callback(&d, context) == DDENUMRET_CANCEL)
            break;
    }
    return DD_OK;
}

HRESULT CDirectDraw::SetCooperativeLevel(HWND hwnd, DWORD flags)
{
    dd::CountCall();
    if (Current().failCooperativeLevel)
        return DDERR_GENERIC;
    if (flags & DDSCL_EXCLUSIVE) {
        if ((flags & DDSCL_FULLSCREEN) == 0 || hwnd == nullptr)
            return DDERR_INVALIDPARAMS;
        CDirectDraw* expected = nullptr;
        if (!g_exclusiveOwner.compare_exchange_strong(expected, this) && expected != this)
            return DDERR_EXCLUSIVEMODEALREADYSET;
        m_level = DDSCL_EXCLUSIVE;
        return DD_OK;
    }
    if (flags & DDSCL_NORMAL) {
        CDirectDraw* self = this;
        g_exclusiveOwner.compare_exchange_strong(self, nullptr);
        m_level = DDSCL_NORMAL;
        return DD_OK;
    }
    return DDERR_INVALIDPARAMS;
}

HRESULT CDirectDraw::WaitForVerticalBlank(DWORD, HANDLE)
{
    dd::CountCall();
    if (std::strcmp(winapi::CurrentHost().Name(), "headless") == 0)
        return DD_OK;
    using namespace std::chrono;
    const auto tick = microseconds(16667);
    const auto now = steady_clock::now().time_since_epoch();
    std::this_thread::sleep_for(tick - duration_cast<microseconds>(now) % tick);
    return DD_OK;
}

class CDirect3D final : public CComObject<CDirect3D, IDirect3D7, IID_IDirect3D7> {
public:
    explicit CDirect3D(CDirectDraw* owner) : m_owner(owner) { m_owner->AddRef(); }
    HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, LPVOID context) override
    {
        dd::CountCall();
        if (callback == nullptr)
            return DDERR_INVALIDPARAMS;
        const bool hardware = !Current().noHardware;
        struct Device {
            const char* description;
            const char* name;
            const IID* iid;
            DWORD caps;
        };
        const Device devices[] = {
            {"Direct3D HAL", "Direct3D HAL", &IID_IDirect3DHALDevice, D3DDEVCAPS_HWRASTERIZATION},
            {"RGB Emulation", "RGB Emulation", &IID_IDirect3DRGBDevice, 0},
        };
        for (const Device& device : devices) {
            if (device.caps != 0 && !hardware)
                continue;
            D3DDEVICEDESC7 desc{};
            desc.dwDevCaps = device.caps;
            desc.dpcTriCaps.dwSize = sizeof(D3DPRIMCAPS);
            desc.dpcLineCaps.dwSize = sizeof(D3DPRIMCAPS);
            desc.dwDeviceRenderBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
            desc.dwDeviceZBufferBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
            desc.dwMinTextureWidth = 1;
            desc.dwMinTextureHeight = 1;
            desc.dwMaxTextureWidth = Current().maxTextureSide;
            desc.dwMaxTextureHeight = Current().maxTextureSide;
            desc.wMaxTextureBlendStages = 8;
            desc.wMaxSimultaneousTextures = 1;
            desc.deviceGUID = *device.iid;
            char description[64];
            char name[64];
            std::snprintf(description, sizeof description, "%s", device.description);
            std::snprintf(name, sizeof name, "%s", device.name);
            if (callback(description, name, &desc, context) == DDENUMRET_CANCEL)
                break;
        }
        return DD_OK;
    }

    HRESULT EnumZBufferFormats(REFCLSID device, LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override
    {
        if (dd::MethodCall("EnumZBufferFormats") != DD_OK)
            return DDERR_GENERIC;
        if (callback == nullptr || (!(device == IID_IDirect3DHALDevice) && !(device == IID_IDirect3DRGBDevice)))
            return DDERR_INVALIDPARAMS;
        const DWORD kinds[][2] = {{16, 0xFFFF}, {32, 0xFFFFFF}, {32, 0xFFFFFFFF}};
        for (const auto& kind : kinds) {
            DDPIXELFORMAT pf{};
            pf.dwSize = sizeof pf;
            pf.dwFlags = DDPF_ZBUFFER;
            pf.dwZBufferBitDepth = kind[0];
            pf.dwZBitMask = kind[1];
            if (callback(&pf, context) == D3DENUMRET_CANCEL)
                break;
        }
        return DD_OK;
    }

    HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface7* target, IDirect3DDevice7** out) override
    {
        dd::CountCall();
        if (out != nullptr)
            *out = nullptr;
        if (Current().failCreateDevice)
            return DDERR_GENERIC;
        if (device == IID_IDirect3DHALDevice && Current().noHardware)
            return DDERR_INVALIDPARAMS;
        return CreateDirect3DDevice(device, target, out);
    }

private:
    friend CComObject;
    ~CDirect3D() { m_owner->Release(); }
    CDirectDraw* m_owner;
};

HRESULT CDirectDraw::QueryInterface(REFIID iid, void** out)
{
    if (out != nullptr && iid == IID_IDirect3D7) {
        *out = nullptr;
        if (!m_initialized)
            return DDERR_NOTINITIALIZED;
        auto* d3d = new (std::nothrow) CDirect3D(this);
        if (d3d == nullptr)
            return DDERR_OUTOFMEMORY;
        *out = static_cast<IDirect3D7*>(d3d);
        return S_OK;
    }
    return CComObject::QueryInterface(iid, out);
}

HRESULT WINAPI CreateEx(GUID* guid, LPVOID* out, REFIID iid, IUnknown* outer)
{
    return DirectDrawCreateEx(guid, out, iid, outer);
}
HRESULT WINAPI EnumerateExA(LPDDENUMCALLBACKEXA callback, LPVOID context, DWORD flags)
{
    return DirectDrawEnumerateExA(callback, context, flags);
}
HRESULT WINAPI CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer)
{
    return DirectDrawCreateClipper(flags, clipper, outer);
}

const winapi::BuiltinProc kDdrawProcs[] = {
    {"DirectDrawCreateEx", winapi::ToFarProc(&CreateEx)},
    {"DirectDrawEnumerateExA", winapi::ToFarProc(&EnumerateExA)},
    {"DirectDrawCreateClipper", winapi::ToFarProc(&CreateClipper)},
};

} // namespace

namespace {

HRESULT CMemorySurface::GetDDInterface(LPVOID* out)
{
    if (out == nullptr)
        return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!m_owner)
        return DDERR_INVALIDOBJECT;
    std::lock_guard<std::mutex> hold(m_owner->lock);
    if (m_owner->owner == nullptr)
        return DDERR_INVALIDOBJECT;
    m_owner->owner->AddRef();
    *out = static_cast<IDirectDraw7*>(m_owner->owner);
    return DD_OK;
}

} // namespace

bool winapi::ddraw::GetSurfaceMemory(IDirectDrawSurface7* surface, SurfaceMemory* out)
{
    return surface != nullptr && CMemorySurface::From(surface)->Memory(out);
}

const IID IID_IDirect3D7 = {0xf5049e77, 0x4861, 0x11d2, {0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8}};
const IID IID_IDirect3DRGBDevice = {0xa4665c60, 0x2673, 0x11cf, {0xa3, 0x1a, 0x00, 0xaa, 0x00, 0xb9, 0x33, 0x56}};
const IID IID_IDirect3DHALDevice = {0x84e63de0, 0x46aa, 0x11cf, {0x81, 0x6f, 0x00, 0x00, 0xc0, 0x20, 0x15, 0x6e}};
const IID IID_IDirect3DMMXDevice = {0x881949a1, 0xd6f3, 0x11d0, {0x89, 0xab, 0x00, 0xa0, 0xc9, 0x05, 0x41, 0x29}};
const IID IID_IDirect3DTnLHalDevice = {0xf5049e78, 0x4861, 0x11d2, {0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8}};

namespace winapi {

void RegisterDirectDrawClass()
{
    static const bool registered = [] {
        RegisterComClass(CLSID_DirectDraw, [](REFIID iid, void** out) -> HRESULT {
            if (!(iid == IID_IDirectDraw7))
                return E_NOINTERFACE;
            *out = static_cast<IDirectDraw7*>(new (std::nothrow) CDirectDraw);
            return *out ? S_OK : E_OUTOFMEMORY;
        });
        // "ddraw.dll" is there from the start, as on Windows.
        return RegisterBuiltinModule("ddraw.dll", kDdrawProcs, std::size(kDdrawProcs));
    }();
    (void)registered;
}

namespace {
const bool g_ddrawRegistered = (RegisterDirectDrawClass(), true);
} // namespace

} // namespace winapi

HRESULT WINAPI DirectDrawCreateEx(GUID* guid, LPVOID* out, REFIID iid, IUnknown* outer)
{
    if (out == nullptr)
        return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer != nullptr || !(iid == IID_IDirectDraw7))
        return DDERR_INVALIDPARAMS;
    auto* dd = new (std::nothrow) CDirectDraw();
    if (dd == nullptr)
        return DDERR_OUTOFMEMORY;
    if (const HRESULT result = dd->Initialize(guid); result != DD_OK) {
        dd->Release();
        return result;
    }
    *out = static_cast<IDirectDraw7*>(dd);
    return DD_OK;
}

HRESULT WINAPI DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, LPVOID context, DWORD flags)
{
    if (callback == nullptr)
        return DDERR_INVALIDPARAMS;
    for (auto& driver : winapi::ddraw::Drivers()) {
        if (driver.hasGuid && (flags & DDENUM_ATTACHEDSECONDARYDEVICES) == 0)
            continue;
        std::vector<char> description(driver.description.begin(), driver.description.end());
        description.push_back('\0');
        std::vector<char> name(driver.name.begin(), driver.name.end());
        name.push_back('\0');
        if (!callback(driver.hasGuid ? &driver.guid : nullptr, description.data(), name.data(), context,
                      driver.monitor))
            break;
    }
    return DD_OK;
}

HRESULT WINAPI DirectDrawCreateClipper(DWORD, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer)
{
    if (clipper == nullptr)
        return DDERR_INVALIDPARAMS;
    *clipper = nullptr;
    if (outer != nullptr)
        return DDERR_INVALIDPARAMS;
    if (winapi::ddraw_testing::Current().failClipper)
        return DDERR_GENERIC;
    auto* made = new (std::nothrow) CClipper;
    if (made == nullptr)
        return DDERR_OUTOFMEMORY;
    *clipper = made;
    return DD_OK;
}
