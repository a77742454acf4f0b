// The software Direct3D device: opaque textured triangles of pre-transformed vertices by Direct3D
// 7's rules (pixel centres at integers, top-left fill, affine coordinates, clamped addressing),
// point or bilinear sampling, into 555, 565, 888 and x888 targets.
#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "winapi/d3d.h"
#include "winapi/ddraw/display_modes.h"
#include "winapi/ddraw/surface_access.h"
#include "winapi/ddraw_testing.h"

namespace {

namespace dd = winapi::ddraw;

const IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct Vertex {
    float x, y, z, rhw, u, v;
};

// Reads and writes RGB pixels of a surface format by its masks.
struct Format {
    int bytes = 4;
    DWORD mask[3]{};
    int shift[3]{};
    int bits[3]{};

    explicit Format(const DDPIXELFORMAT& pf)
    {
        bytes = static_cast<int>(pf.dwRGBBitCount / 8);
        const DWORD masks[3] = {pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask};
        for (int i = 0; i < 3; ++i) {
            mask[i] = masks[i];
            shift[i] = masks[i] ? std::countr_zero(masks[i]) : 0;
            bits[i] = std::popcount(masks[i]);
        }
    }
    bool Usable() const
    {
        return (bytes == 2 || bytes == 3 || bytes == 4) && bits[0] > 0 && bits[1] > 0 && bits[2] > 0 &&
               bits[0] <= 8 && bits[1] <= 8 && bits[2] <= 8;
    }
    DWORD Read(const BYTE* p) const
    {
        DWORD v = 0;
        std::memcpy(&v, p, static_cast<size_t>(bytes));
        return v;
    }
    // Channel i of a pixel, widened to 8 bits by repeating its top bits.
    int Channel(DWORD v, int i) const { return dd::WidenChannel(v, shift[i], bits[i]); }
    void Write(BYTE* p, int r, int g, int b) const
    {
        const int c[3] = {r, g, b};
        DWORD v = 0;
        for (int i = 0; i < 3; ++i)
            v |= (static_cast<DWORD>(c[i] >> (8 - bits[i])) << shift[i]) & mask[i];
        std::memcpy(p, &v, static_cast<size_t>(bytes));
    }
};

class CDevice final : public IDirect3DDevice7 {
public:
    explicit CDevice(IDirectDrawSurface7* target) : m_target(target) { m_target->AddRef(); }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (!(iid == kIidUnknown))
            return E_NOINTERFACE;
        AddRef();
        *out = static_cast<IUnknown*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT GetCaps(LPD3DDEVICEDESC7 desc) override
    {
        if (desc == nullptr)
            return DDERR_INVALIDPARAMS;
        *desc = D3DDEVICEDESC7{};
        desc->dwDeviceRenderBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
        desc->dwMinTextureWidth = desc->dwMinTextureHeight = 1;
        desc->dwMaxTextureWidth = desc->dwMaxTextureHeight = winapi::ddraw_testing::Current().maxTextureSide;
        desc->dpcTriCaps.dwSize = sizeof(D3DPRIMCAPS);
        desc->wMaxSimultaneousTextures = 1;
        return DD_OK;
    }
    HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture) override
    {
        dd::CountCall();
        if (stage != 0)
            return DDERR_INVALIDPARAMS;
        if (texture != nullptr)
            texture->AddRef();
        if (m_texture != nullptr)
            m_texture->Release();
        m_texture = texture;
        return DD_OK;
    }
    HRESULT SetRenderState(DWORD state, DWORD value) override
    {
        dd::CountCall();
        if (state == D3DRENDERSTATE_ALPHABLENDENABLE)
            m_blend = value != 0;
        else if (state == D3DRENDERSTATE_ALPHATESTENABLE)
            m_alphaTest = value != 0;
        return DD_OK;
    }
    HRESULT SetTextureStageState(DWORD stage, DWORD state, DWORD value) override
    {
        dd::CountCall();
        if (stage != 0)
            return DDERR_INVALIDPARAMS;
        if (state == D3DTSS_MAGFILTER)
            m_linear = value == D3DTFG_LINEAR;
        return DD_OK;
    }
    HRESULT BeginScene() override
    {
        dd::CountCall();
        m_inScene = true;
        return DD_OK;
    }
    HRESULT EndScene() override
    {
        dd::CountCall();
        m_inScene = false;
        return DD_OK;
    }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD count, DWORD) override;

private:
    ~CDevice()
    {
        if (m_texture != nullptr)
            m_texture->Release();
        m_target->Release();
    }
    void Triangle(const Vertex& a, const Vertex& b, const Vertex& c, const dd::SurfaceMemory& target,
                  const dd::SurfaceMemory& texture);
    // The axis-aligned point-sampled quad by rows; false when q is not one.
    bool AlignedQuad(const Vertex* q, const dd::SurfaceMemory& target, const dd::SurfaceMemory& texture);

    std::atomic<ULONG> m_refs{1};
    IDirectDrawSurface7* m_target;
    IDirectDrawSurface7* m_texture = nullptr;
    bool m_blend = false;
    bool m_alphaTest = false;
    bool m_linear = false;
    bool m_inScene = false;
};

// Edge a -> b seen from p, doubled area sign; top-left edges own the pixels on them.
inline double Edge(double ax, double ay, double bx, double by, double px, double py)
{
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

inline bool Owns(double e, double ax, double ay, double bx, double by)
{
    if (e > 0)
        return true;
    if (e < 0)
        return false;
    // The inside is on the positive side. With y growing down the screen, a top edge runs
    // right (the inside below it) and a left edge runs up (the inside to its right).
    const double dx = bx - ax, dy = by - ay;
    return (dy == 0 && dx > 0) || dy < 0;
}

// An axis-aligned strip quad (corners top-left, top-right, bottom-left, bottom-right, u along x
// and v along y) with point sampling goes by rows: the pixels whose centres the two triangles
// own are the columns ceil(left) .. ceil(right) - 1 and the rows likewise.
bool CDevice::AlignedQuad(const Vertex* q, const dd::SurfaceMemory& target, const dd::SurfaceMemory& texture)
{
    const double left = q[0].x, right = q[1].x, top = q[0].y, bottom = q[2].y;
    if (!(q[2].x == left && q[3].x == right && q[1].y == top && q[3].y == bottom && left < right && top < bottom))
        return false;
    if (!(q[2].u == q[0].u && q[3].u == q[1].u && q[1].v == q[0].v && q[3].v == q[2].v))
        return false;
    if (!(std::isfinite(left) && std::isfinite(right) && std::isfinite(top) && std::isfinite(bottom)))
        return false;
    const double u0 = q[0].u, u1 = q[1].u, v0 = q[0].v, v1 = q[2].v;
    if (!(std::isfinite(u0) && std::isfinite(u1) && std::isfinite(v0) && std::isfinite(v1)))
        return false;
    const LONG x0 = static_cast<LONG>(std::clamp(std::ceil(left), 0.0, static_cast<double>(target.width)));
    const LONG x1 = static_cast<LONG>(std::clamp(std::ceil(right), 0.0, static_cast<double>(target.width)));
    const LONG y0 = static_cast<LONG>(std::clamp(std::ceil(top), 0.0, static_cast<double>(target.height)));
    const LONG y1 = static_cast<LONG>(std::clamp(std::ceil(bottom), 0.0, static_cast<double>(target.height)));
    const Format to(target.format), from(texture.format);
    std::vector<LONG> columns(static_cast<size_t>(std::max<LONG>(x1 - x0, 0)));
    bool straight = x1 - x0 <= texture.width;
    for (LONG x = x0; x < x1; ++x) {
        const double u = u0 + (x - left) / (right - left) * (u1 - u0);
        const LONG t = static_cast<LONG>(std::clamp(std::floor(u * texture.width), 0.0, texture.width - 1.0));
        columns[static_cast<size_t>(x - x0)] = t;
        straight = straight && t == columns[0] + (x - x0);
    }
    std::vector<LONG> rows(static_cast<size_t>(std::max<LONG>(y1 - y0, 0)));
    bool rowsStraight = true;
    for (LONG y = y0; y < y1; ++y) {
        const double v = v0 + (y - top) / (bottom - top) * (v1 - v0);
        const LONG ty = static_cast<LONG>(std::clamp(std::floor(v * texture.height), 0.0, texture.height - 1.0));
        rows[static_cast<size_t>(y - y0)] = ty;
        rowsStraight = rowsStraight && ty == rows[0] + (y - y0);
    }
    const bool same = to.bytes == from.bytes && std::memcmp(to.mask, from.mask, sizeof to.mask) == 0;
    const size_t span = columns.size() * static_cast<size_t>(to.bytes);
    if (same && straight && rowsStraight && !columns.empty() && !rows.empty() && x0 == 0 && columns[0] == 0 &&
        static_cast<LONG>(span) == target.pitch && target.pitch == texture.pitch) {
        // Whole rows of both, one after the other: one block.
        std::memcpy(target.pixels + static_cast<ptrdiff_t>(y0) * target.pitch,
                    texture.pixels + static_cast<ptrdiff_t>(rows[0]) * texture.pitch, span * rows.size());
        return true;
    }
    for (LONG y = y0; y < y1; ++y) {
        const BYTE* src = texture.pixels + static_cast<ptrdiff_t>(rows[static_cast<size_t>(y - y0)]) * texture.pitch;
        BYTE* dst = target.pixels + static_cast<ptrdiff_t>(y) * target.pitch + x0 * to.bytes;
        if (same && straight && !columns.empty()) {
            std::memcpy(dst, src + columns[0] * from.bytes, span);
            continue;
        }
        for (size_t i = 0; i < columns.size(); ++i) {
            const BYTE* p = src + columns[i] * from.bytes;
            if (same) {
                std::memcpy(dst + i * static_cast<size_t>(to.bytes), p, static_cast<size_t>(to.bytes));
            } else {
                const DWORD value = from.Read(p);
                to.Write(dst + i * static_cast<size_t>(to.bytes), from.Channel(value, 0), from.Channel(value, 1),
                         from.Channel(value, 2));
            }
        }
    }
    return true;
}

void CDevice::Triangle(const Vertex& a0, const Vertex& b0, const Vertex& c0, const dd::SurfaceMemory& target,
                       const dd::SurfaceMemory& texture)
{
    const Vertex* a = &a0;
    const Vertex* b = &b0;
    const Vertex* c = &c0;
    double area = Edge(a->x, a->y, b->x, b->y, c->x, c->y);
    if (!std::isfinite(area) || area == 0)
        return;
    if (area < 0) {
        std::swap(b, c);
        area = -area;
    }
    const double minX = std::floor(std::min({a->x, b->x, c->x}));
    const double maxX = std::ceil(std::max({a->x, b->x, c->x}));
    const double minY = std::floor(std::min({a->y, b->y, c->y}));
    const double maxY = std::ceil(std::max({a->y, b->y, c->y}));
    if (!(std::isfinite(minX) && std::isfinite(maxX) && std::isfinite(minY) && std::isfinite(maxY)))
        return;
    const LONG x0 = static_cast<LONG>(std::clamp(minX, 0.0, static_cast<double>(target.width)));
    const LONG x1 = static_cast<LONG>(std::clamp(maxX + 1, 0.0, static_cast<double>(target.width)));
    const LONG y0 = static_cast<LONG>(std::clamp(minY, 0.0, static_cast<double>(target.height)));
    const LONG y1 = static_cast<LONG>(std::clamp(maxY + 1, 0.0, static_cast<double>(target.height)));
    const Format to(target.format);
    const Format from(texture.format);
    const double tw = texture.width, th = texture.height;
    for (LONG y = y0; y < y1; ++y) {
        BYTE* row = target.pixels + static_cast<ptrdiff_t>(y) * target.pitch;
        for (LONG x = x0; x < x1; ++x) {
            const double px = x, py = y;
            const double ea = Edge(b->x, b->y, c->x, c->y, px, py);
            const double eb = Edge(c->x, c->y, a->x, a->y, px, py);
            const double ec = Edge(a->x, a->y, b->x, b->y, px, py);
            if (!Owns(ea, b->x, b->y, c->x, c->y) || !Owns(eb, c->x, c->y, a->x, a->y) ||
                !Owns(ec, a->x, a->y, b->x, b->y))
                continue;
            const double wa = ea / area, wb = eb / area, wc = ec / area;
            const double u = wa * a->u + wb * b->u + wc * c->u;
            const double v = wa * a->v + wb * b->v + wc * c->v;
            int rgb[3];
            if (!m_linear) {
                const double fu = std::floor(u * tw), fv = std::floor(v * th);
                const LONG tx = static_cast<LONG>(std::clamp(std::isfinite(fu) ? fu : 0.0, 0.0, tw - 1));
                const LONG ty = static_cast<LONG>(std::clamp(std::isfinite(fv) ? fv : 0.0, 0.0, th - 1));
                const DWORD p = from.Read(texture.pixels + static_cast<ptrdiff_t>(ty) * texture.pitch + tx * from.bytes);
                for (int i = 0; i < 3; ++i)
                    rgb[i] = from.Channel(p, i);
            } else {
                double su = u * tw - 0.5, sv = v * th - 0.5;
                if (!std::isfinite(su))
                    su = 0;
                if (!std::isfinite(sv))
                    sv = 0;
                su = std::clamp(su, 0.0, tw - 1);
                sv = std::clamp(sv, 0.0, th - 1);
                const LONG ux = static_cast<LONG>(su), vy = static_cast<LONG>(sv);
                const LONG ux1 = std::min<LONG>(ux + 1, texture.width - 1), vy1 = std::min<LONG>(vy + 1, texture.height - 1);
                const double fu = su - ux, fv = sv - vy;
                auto texel = [&](LONG tx, LONG ty) {
                    return from.Read(texture.pixels + static_cast<ptrdiff_t>(ty) * texture.pitch + tx * from.bytes);
                };
                const DWORD p00 = texel(ux, vy), p01 = texel(ux1, vy), p10 = texel(ux, vy1), p11 = texel(ux1, vy1);
                for (int i = 0; i < 3; ++i) {
                    const double top = from.Channel(p00, i) * (1 - fu) + from.Channel(p01, i) * fu;
                    const double bottom = from.Channel(p10, i) * (1 - fu) + from.Channel(p11, i) * fu;
                    rgb[i] = static_cast<int>(top * (1 - fv) + bottom * fv + 0.5);
                }
            }
            to.Write(row + x * to.bytes, rgb[0], rgb[1], rgb[2]);
        }
    }
}

HRESULT CDevice::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD count, DWORD)
{
    dd::CountCall();
    if (vertices == nullptr || (type != D3DPT_TRIANGLELIST && type != D3DPT_TRIANGLESTRIP))
        return DDERR_INVALIDPARAMS;
    if (fvf != (D3DFVF_XYZRHW | D3DFVF_TEX1) || m_blend || m_alphaTest || m_texture == nullptr)
        return DDERR_UNSUPPORTED;
    dd::SurfaceMemory target, texture;
    if (!dd::GetSurfaceMemory(m_target, &target) || !dd::GetSurfaceMemory(m_texture, &texture))
        return DDERR_INVALIDPARAMS;
    if (target.lost || texture.lost)
        return DDERR_SURFACELOST;
    if (!Format(target.format).Usable() || !Format(texture.format).Usable())
        return DDERR_INVALIDPIXELFORMAT;
    const auto* v = static_cast<const Vertex*>(vertices);
    if (type == D3DPT_TRIANGLESTRIP && count == 4 && !m_linear && AlignedQuad(v, target, texture))
        return DD_OK;
    if (type == D3DPT_TRIANGLELIST) {
        for (DWORD i = 0; i + 2 < count; i += 3)
            Triangle(v[i], v[i + 1], v[i + 2], target, texture);
    } else {
        for (DWORD i = 0; i + 2 < count; ++i)
            Triangle(v[i], v[i + 1], v[i + 2], target, texture);
    }
    return DD_OK;
}

} // namespace

HRESULT CreateDirect3DDevice(REFCLSID device, IDirectDrawSurface7* target, IDirect3DDevice7** out)
{
    if (out == nullptr || target == nullptr)
        return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!(device == IID_IDirect3DHALDevice) && !(device == IID_IDirect3DRGBDevice))
        return DDERR_INVALIDPARAMS;
    dd::SurfaceMemory memory;
    if (!dd::GetSurfaceMemory(target, &memory) || (memory.caps & DDSCAPS_3DDEVICE) == 0 ||
        !Format(memory.format).Usable())
        return DDERR_INVALIDPARAMS;
    auto* made = new (std::nothrow) CDevice(target);
    if (made == nullptr)
        return DDERR_OUTOFMEMORY;
    *out = made;
    return DD_OK;
}
