// The software Direct3D device: points, lines and triangles of pre-transformed vertices by the
// rules stated in d3d.h, into 555, 565, 888 and x888 targets.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
#include <new>
#include <optional>
#include <vector>

#include "winapi/d3d.h"
#include "winapi/ddraw/display_modes.h"
#include "winapi/ddraw/quad_rows.h"
#include "winapi/ddraw/render_pipeline.h"
#include "winapi/ddraw/surface_access.h"
#include "winapi/ddraw_testing.h"

namespace {

namespace dd = winapi::ddraw;

const IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class CDevice final : public IDirect3DDevice7 {
public:
    CDevice(IDirectDrawSurface7* target, LONG width, LONG height) : m_target(target), m_viewport{0, 0, width, height}
    {
        m_target->AddRef();
    }

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
        if (dd::MethodCall("GetCaps") != DD_OK)
            return DDERR_GENERIC;
        if (desc == nullptr)
            return DDERR_INVALIDPARAMS;
        const auto& sw = winapi::ddraw_testing::Current();
        *desc = D3DDEVICEDESC7{};
        desc->dwDevCaps = D3DDEVCAPS_DRAWPRIMTLVERTEX;
        desc->dwDeviceRenderBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
        desc->dwDeviceZBufferBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
        desc->dwMinTextureWidth = desc->dwMinTextureHeight = sw.minTextureSide;
        desc->dwMaxTextureWidth = desc->dwMaxTextureHeight = sw.maxTextureSide;
        for (D3DPRIMCAPS* caps : {&desc->dpcTriCaps, &desc->dpcLineCaps}) {
            caps->dwSize = sizeof(D3DPRIMCAPS);
            caps->dwMiscCaps = D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW;
            caps->dwRasterCaps = sw.needsZBuffer ? 0 : D3DPRASTERCAPS_ZBUFFERLESSHSR;
            caps->dwZCmpCaps = D3DPCMPCAPS_ALL;
            caps->dwSrcBlendCaps = D3DPBLENDCAPS_ALL;
            caps->dwDestBlendCaps = D3DPBLENDCAPS_ALL;
            caps->dwAlphaCmpCaps = D3DPCMPCAPS_ALL;
            caps->dwShadeCaps = D3DPSHADECAPS_COLORFLATRGB | D3DPSHADECAPS_COLORGOURAUDRGB |
                                D3DPSHADECAPS_ALPHAFLATBLEND | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
            caps->dwTextureCaps = D3DPTEXTURECAPS_ALPHA | sw.textureCaps;
            caps->dwTextureFilterCaps = D3DPTFILTERCAPS_NEAREST | D3DPTFILTERCAPS_LINEAR | D3DPTFILTERCAPS_MINFPOINT |
                                        D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                                        D3DPTFILTERCAPS_MAGFLINEAR;
            caps->dwTextureAddressCaps = D3DPTADDRESSCAPS_CLAMP;
        }
        desc->dwFVFCaps = 1;
        desc->dwTextureOpCaps = D3DTEXOPCAPS_ALL;
        desc->wMaxTextureBlendStages = 1;
        desc->wMaxSimultaneousTextures = 1;
        return DD_OK;
    }
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override
    {
        if (dd::MethodCall("EnumTextureFormats") != DD_OK)
            return DDERR_GENERIC;
        if (callback == nullptr)
            return DDERR_INVALIDPARAMS;
        using winapi::ddraw_testing::TextureFormat;
        std::vector<DDPIXELFORMAT> formats = winapi::ddraw_testing::Current().textureFormats;
        if (formats.empty())
            formats = {TextureFormat(16, 0, 0x7C00, 0x3E0, 0x1F),          TextureFormat(16, 0, 0xF800, 0x7E0, 0x1F),
                       TextureFormat(16, 0x8000, 0x7C00, 0x3E0, 0x1F),     TextureFormat(16, 0xF000, 0xF00, 0xF0, 0xF),
                       TextureFormat(24, 0, 0xFF0000, 0xFF00, 0xFF),       TextureFormat(32, 0, 0xFF0000, 0xFF00, 0xFF),
                       TextureFormat(32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF)};
        for (DDPIXELFORMAT& pf : formats)
            if (callback(&pf, context) == D3DENUMRET_CANCEL)
                break;
        return DD_OK;
    }
    HRESULT SetViewport(LPD3DVIEWPORT7 viewport) override
    {
        if (dd::MethodCall("SetViewport") != DD_OK)
            return DDERR_GENERIC;
        dd::SurfaceMemory target;
        if (viewport == nullptr || !dd::GetSurfaceMemory(m_target, &target))
            return DDERR_INVALIDPARAMS;
        const uint64_t right = uint64_t{viewport->dwX} + viewport->dwWidth;
        const uint64_t bottom = uint64_t{viewport->dwY} + viewport->dwHeight;
        if (right > static_cast<uint64_t>(target.width) || bottom > static_cast<uint64_t>(target.height))
            return DDERR_INVALIDPARAMS;
        m_viewport = {static_cast<LONG>(viewport->dwX), static_cast<LONG>(viewport->dwY), static_cast<LONG>(right),
                      static_cast<LONG>(bottom)};
        return DD_OK;
    }
    HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture) override
    {
        if (dd::MethodCall("SetTexture") != DD_OK)
            return DDERR_GENERIC;
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
        if (dd::MethodCall("SetRenderState") != DD_OK)
            return DDERR_GENERIC;
        dd::CountRenderState(state);
        m_states.SetRender(state, value);
        return DD_OK;
    }
    HRESULT SetTextureStageState(DWORD stage, DWORD state, DWORD value) override
    {
        if (dd::MethodCall("SetTextureStageState") != DD_OK)
            return DDERR_GENERIC;
        if (stage != 0)
            return DDERR_INVALIDPARAMS;
        dd::CountStageState(state);
        m_states.SetStage(state, value);
        return DD_OK;
    }
    HRESULT BeginScene() override
    {
        if (dd::MethodCall("BeginScene") != DD_OK)
            return DDERR_GENERIC;
        if (m_inScene)
            return D3DERR_SCENE_IN_SCENE;
        m_inScene = true;
        return DD_OK;
    }
    HRESULT EndScene() override
    {
        if (dd::MethodCall("EndScene") != DD_OK)
            return DDERR_GENERIC;
        if (!m_inScene)
            return D3DERR_SCENE_NOT_IN_SCENE;
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
    // Whether the strip q draws as the texture path's plain quad: unkeyed, the texture's own
    // colours, one filter for both triangles (into *linear), opaque or blended by the texture's
    // alpha (into *blend).
    bool PlainQuad(const dd::TLVertex* q, const dd::SurfaceMemory& target, const dd::SurfaceMemory& texture,
                   bool* linear, bool* blend) const;

    std::atomic<ULONG> m_refs{1};
    IDirectDrawSurface7* m_target;
    RECT m_viewport;
    IDirectDrawSurface7* m_texture = nullptr;
    dd::RenderStates m_states;
    bool m_inScene = false;
    dd::QuadRows m_quadRows;
    std::vector<dd::RasterVertex> m_unpacked;
};

bool CDevice::PlainQuad(const dd::TLVertex* q, const dd::SurfaceMemory& target, const dd::SurfaceMemory& texture,
                        bool* linear, bool* blend) const
{
    const dd::RenderStates& s = m_states;
    if (s.alphaTest || (s.colorKey && texture.hasKey))
        return false;
    // Whether a stage-0 operation passes the texture on (the vertices are white: modulating by
    // their colour changes nothing).
    auto passes = [](DWORD op, DWORD arg1, DWORD arg2) {
        auto diffuse = [](DWORD arg) { return arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT; };
        return (op == D3DTOP_SELECTARG1 && arg1 == D3DTA_TEXTURE) || (op == D3DTOP_SELECTARG2 && arg2 == D3DTA_TEXTURE) ||
               (op == D3DTOP_MODULATE &&
                ((arg1 == D3DTA_TEXTURE && diffuse(arg2)) || (arg2 == D3DTA_TEXTURE && diffuse(arg1))));
    };
    const bool alphaOfTexture = passes(s.alphaOp, s.alphaArg1, s.alphaArg2);
    if (s.blend && !(s.srcBlend == D3DBLEND_SRCALPHA && s.destBlend == D3DBLEND_INVSRCALPHA && alphaOfTexture))
        return false;
    *blend = s.blend;
    // Each triangle takes the filter of its own scale; the rows draw both with one.
    const bool minifies = dd::Minifies(q[0], q[1], q[2], texture.width, texture.height);
    if (s.magLinear != s.minLinear && minifies != dd::Minifies(q[1], q[2], q[3], texture.width, texture.height))
        return false;
    *linear = minifies ? s.minLinear : s.magLinear;
    const bool passesTexture = passes(s.colorOp, s.colorArg1, s.colorArg2);
    if (!passesTexture || !(m_viewport.left == 0 && m_viewport.top == 0 && m_viewport.right == target.width &&
                            m_viewport.bottom == target.height))
        return false;
    // The strip's first triangle decides the culling of both (the second counts reversed).
    const double cross = (static_cast<double>(q[1].x) - q[0].x) * (static_cast<double>(q[2].y) - q[0].y) -
                         (static_cast<double>(q[1].y) - q[0].y) * (static_cast<double>(q[2].x) - q[0].x);
    if (s.cull == D3DCULL_CW && cross > 0)
        return false;
    if (s.cull == D3DCULL_CCW && cross < 0)
        return false;
    return true;
}

HRESULT CDevice::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD count, DWORD)
{
    if (dd::MethodCall("DrawPrimitive") != DD_OK)
        return DDERR_GENERIC;
    if (vertices == nullptr || type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN || count > D3DMAXNUMVERTICES)
        return DDERR_INVALIDPARAMS;
    const DWORD kFormats[] = {D3DFVF_XYZRHW | D3DFVF_DIFFUSE, D3DFVF_XYZRHW | D3DFVF_TEX1,
                              D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1};
    if (std::find(std::begin(kFormats), std::end(kFormats), fvf) == std::end(kFormats))
        return DDERR_INVALIDPARAMS;
    dd::SurfaceMemory target, texture;
    if (!dd::GetSurfaceMemory(m_target, &target) ||
        (m_texture != nullptr && !dd::GetSurfaceMemory(m_texture, &texture)))
        return DDERR_INVALIDPARAMS;
    if (target.lost || (m_texture != nullptr && texture.lost))
        return DDERR_SURFACELOST;
    if (!dd::PixelFormat(target.format).Usable() ||
        (m_texture != nullptr && !dd::PixelFormat(texture.format).Usable()))
        return DDERR_INVALIDPIXELFORMAT;
    const RECT clip{std::min(m_viewport.left, target.width), std::min(m_viewport.top, target.height),
                    std::min(m_viewport.right, target.width), std::min(m_viewport.bottom, target.height)};
    const auto& sw = winapi::ddraw_testing::Current();
    if (fvf == (D3DFVF_XYZRHW | D3DFVF_TEX1) && m_texture != nullptr && type == D3DPT_TRIANGLESTRIP && count == 4 &&
        !sw.noQuadRows) {
        const auto* q = static_cast<const dd::TLVertex*>(vertices);
        bool linear = false, blend = false;
        if (PlainQuad(q, target, texture, &linear, &blend) && m_quadRows.Draw(q, target, texture, linear, blend)) {
            dd::CountQuadByRows();
            return DD_OK;
        }
    }
    // Unpack the vertices: x, y, z, rhw, then the diffuse colour, then u, v.
    const bool hasDiffuse = (fvf & D3DFVF_DIFFUSE) != 0, hasTex = (fvf & D3DFVF_TEX1) != 0;
    const size_t stride = 16 + (hasDiffuse ? 4 : 0) + (hasTex ? 8 : 0);
    m_unpacked.resize(count);
    const auto* bytes = static_cast<const BYTE*>(vertices);
    for (DWORD i = 0; i < count; ++i) {
        const BYTE* p = bytes + i * stride;
        dd::RasterVertex& v = m_unpacked[i];
        std::memcpy(&v.x, p, 16);
        DWORD colour = 0xFFFFFFFF;
        if (hasDiffuse)
            std::memcpy(&colour, p + 16, 4);
        v.colour[0] = static_cast<int>(colour >> 16 & 0xFF);
        v.colour[1] = static_cast<int>(colour >> 8 & 0xFF);
        v.colour[2] = static_cast<int>(colour & 0xFF);
        v.colour[3] = static_cast<int>(colour >> 24);
        v.u = v.v = 0;
        if (hasTex) {
            std::memcpy(&v.u, p + 16 + (hasDiffuse ? 4 : 0), 4);
            std::memcpy(&v.v, p + 20 + (hasDiffuse ? 4 : 0), 4);
        }
    }
    std::optional<dd::TexelSource> source;
    if (m_texture != nullptr)
        source.emplace(texture, m_states.colorKey);
    dd::PrimitiveDrawer draw(target, clip, source ? &*source : nullptr, m_states, !sw.noFastSpans);
    const dd::RasterVertex* v = m_unpacked.data();
    switch (type) {
    case D3DPT_POINTLIST:
        for (DWORD i = 0; i < count; ++i)
            draw.Point(v[i]);
        break;
    case D3DPT_LINELIST:
        for (DWORD i = 0; i + 1 < count; i += 2)
            draw.Line(v[i], v[i + 1]);
        break;
    case D3DPT_LINESTRIP:
        for (DWORD i = 0; i + 1 < count; ++i)
            draw.Line(v[i], v[i + 1]);
        break;
    case D3DPT_TRIANGLELIST:
        for (DWORD i = 0; i + 2 < count; i += 3)
            draw.Triangle(v[i], v[i + 1], v[i + 2], 0, false);
        break;
    case D3DPT_TRIANGLESTRIP:
        for (DWORD i = 0; i + 2 < count; ++i)
            draw.Triangle(v[i], v[i + 1], v[i + 2], 0, (i & 1) != 0);
        break;
    case D3DPT_TRIANGLEFAN:
        for (DWORD i = 1; i + 1 < count; ++i)
            draw.Triangle(v[0], v[i], v[i + 1], 1, false);
        break;
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
        !dd::PixelFormat(memory.format).Usable())
        return DDERR_INVALIDPARAMS;
    auto* made = new (std::nothrow) CDevice(target, memory.width, memory.height);
    if (made == nullptr)
        return DDERR_OUTOFMEMORY;
    *out = made;
    return DD_OK;
}
