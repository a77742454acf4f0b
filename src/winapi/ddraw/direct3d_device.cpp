// The software Direct3D device: opaque textured triangles of pre-transformed vertices by Direct3D
// 7's rules (pixel centres at integers, top-left fill, affine coordinates, clamped addressing),
// point or bilinear sampling, into 555, 565, 888 and x888 targets.
#include <atomic>
#include <new>

#include "winapi/d3d.h"
#include "winapi/ddraw/display_modes.h"
#include "winapi/ddraw/quad_rows.h"
#include "winapi/ddraw/surface_access.h"
#include "winapi/ddraw_testing.h"

namespace {

namespace dd = winapi::ddraw;

const IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

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
    std::atomic<ULONG> m_refs{1};
    IDirectDrawSurface7* m_target;
    IDirectDrawSurface7* m_texture = nullptr;
    bool m_blend = false;
    bool m_alphaTest = false;
    bool m_linear = false;
    bool m_inScene = false;
    dd::QuadRows m_quadRows;
};

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
    if (!dd::PixelFormat(target.format).Usable() || !dd::PixelFormat(texture.format).Usable())
        return DDERR_INVALIDPIXELFORMAT;
    const auto* v = static_cast<const dd::TLVertex*>(vertices);
    if (type == D3DPT_TRIANGLESTRIP && count == 4 && !winapi::ddraw_testing::Current().noQuadRows &&
        m_quadRows.Draw(v, target, texture, m_linear)) {
        dd::CountQuadByRows();
        return DD_OK;
    }
    const dd::Sampler sampler(texture, m_linear);
    const DWORD step = type == D3DPT_TRIANGLELIST ? 3 : 1;
    for (DWORD i = 0; i + 2 < count; i += step)
        dd::Triangle(v[i], v[i + 1], v[i + 2], target.width, target.height).Draw(target, sampler);
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
    auto* made = new (std::nothrow) CDevice(target);
    if (made == nullptr)
        return DDERR_OUTOFMEMORY;
    *out = made;
    return DD_OK;
}
