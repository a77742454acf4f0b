// The general Direct3D device and its render-state cache.
#include "display/d3d_device.h"

#include <bit>
#include <new>

#include "display/device_image.h"
#include "raster/device_blit.h"

CD3DDevice* g_pRenderDevice = nullptr;

namespace {

struct CachedRow {
    bool stage;  // a stage-0 state, else a render state
    DWORD state;
};
// The Direct3D state behind each cached 8-bit state, in CachedState order.
constexpr CachedRow kCachedRows[CD3DDevice::kCachedStateCount] = {
    {false, D3DRENDERSTATE_CULLMODE},        {false, D3DRENDERSTATE_SHADEMODE},
    {false, D3DRENDERSTATE_COLORKEYENABLE},  {false, D3DRENDERSTATE_ALPHABLENDENABLE},
    {false, D3DRENDERSTATE_SRCBLEND},        {false, D3DRENDERSTATE_DESTBLEND},
    {false, D3DRENDERSTATE_ALPHATESTENABLE}, {true, D3DTSS_COLOROP},
    {true, D3DTSS_COLORARG1},                {true, D3DTSS_COLORARG2},
    {true, D3DTSS_ALPHAOP},                  {true, D3DTSS_ALPHAARG1},
    {true, D3DTSS_ALPHAARG2},                {false, D3DRENDERSTATE_ALPHAFUNC},
};

// The index of a texture-format code 4..256 (log2 - 2); -1 for any other code.
int FormatIndex(uint32_t code)
{
    if (code < 4 || code > 256 || !std::has_single_bit(code))
        return -1;
    return std::countr_zero(code) - 2;
}

struct ZSearch {
    DWORD bits;
    DDPIXELFORMAT found{};
    bool ok = false;
};

HRESULT CALLBACK FindZFormat(LPDDPIXELFORMAT format, LPVOID context)
{
    auto* search = static_cast<ZSearch*>(context);
    if ((format->dwFlags & DDPF_ZBUFFER) != 0 && format->dwZBufferBitDepth == search->bits) {
        search->found = *format;
        search->ok = true;
        return D3DENUMRET_CANCEL;
    }
    return D3DENUMRET_OK;
}

} // namespace

CD3DDevice::CD3DDevice() { m_cache.fill(kUnknown); }

CD3DDevice::~CD3DDevice() { ReleaseDevice(); }

HRESULT CALLBACK CD3DDevice::CollectTextureFormat(LPDDPIXELFORMAT format, LPVOID context)
{
    auto* self = static_cast<CD3DDevice*>(context);
    const uint32_t code = GetPixelFormatCode(nullptr, nullptr, format);
    const int index = FormatIndex(code);
    if (index < 0)
        return D3DENUMRET_OK;
    self->m_textureFormatMask |= code;
    auto& slot = self->m_textureFormats[static_cast<size_t>(index)];
    if (!slot)
        slot.reset(new (std::nothrow) DDPIXELFORMAT(*format));
    return D3DENUMRET_OK;
}

int CD3DDevice::CreateDevice(IDirectDrawSurface7* target, const RECT* output, bool zBuffer)
{
    ReleaseDevice();
    if (m_directDraw == nullptr || target == nullptr)
        return 1;
    void* d3d = nullptr;
    if (FAILED(m_directDraw->QueryInterface(IID_IDirect3D7, &d3d)) || d3d == nullptr)
        return 2;
    m_direct3D = static_cast<IDirect3D7*>(d3d);
    const GUID wanted = m_hasDeviceGuid ? m_deviceGuid : IID_IDirect3DHALDevice;
    HRESULT result = m_direct3D->CreateDevice(wanted, target, &m_d3dDevice);
    if (FAILED(result)) {
        // Another device of the same driver may do.
        const bool built = DriverList().empty();
        if (built)
            BuildDriverList(false, false);
        CBestDevice best;
        if (FindBestDevice(&best, false) && best.driverHasGuid == m_hasDriverGuid &&
            (!m_hasDriverGuid || best.driverGuid == m_driverGuid)) {
            m_deviceGuid = best.deviceGuid;
            m_hasDeviceGuid = true;
            m_renderDepths = best.renderDepths;
            m_deviceKind = best.kind;
            m_hardware3D = best.hardware3D;
            result = m_direct3D->CreateDevice(best.deviceGuid, target, &m_d3dDevice);
        }
        if (built)
            FreeDriverList();
    }
    if (FAILED(result) || m_d3dDevice == nullptr) {
        ReleaseDevice();
        return 3;
    }
    D3DDEVICEDESC7 desc{};
    if (FAILED(m_d3dDevice->GetCaps(&desc))) {
        ReleaseDevice();
        return 4;
    }
    const D3DPRIMCAPS& tri = desc.dpcTriCaps;
    m_tlVertex = (desc.dwDevCaps & D3DDEVCAPS_DRAWPRIMTLVERTEX) != 0;
    m_alphaGouraud = (tri.dwShadeCaps & D3DPSHADECAPS_ALPHAGOURAUDBLEND) != 0;
    m_alphaTestUsable = tri.dwAlphaCmpCaps != 1u << (D3DCMP_NEVER - 1) &&
                        tri.dwAlphaCmpCaps != 1u << (D3DCMP_ALWAYS - 1);
    m_noZBufferNeeded = (tri.dwRasterCaps & D3DPRASTERCAPS_ZBUFFERLESSHSR) != 0;
    m_blendStages = desc.wMaxTextureBlendStages;
    m_textureCaps = tri.dwTextureCaps;
    m_textureOpCaps = desc.dwTextureOpCaps;
    m_srcBlendCaps = tri.dwSrcBlendCaps;
    m_destBlendCaps = tri.dwDestBlendCaps;
    m_minTextureWidth = desc.dwMinTextureWidth;
    m_minTextureHeight = desc.dwMinTextureHeight;
    m_maxTextureWidth = desc.dwMaxTextureWidth;
    m_maxTextureHeight = desc.dwMaxTextureHeight;
    m_textureFormatMask = 0;
    m_d3dDevice->EnumTextureFormats(&CollectTextureFormat, this);
    m_d3dDevice->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    m_d3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    m_d3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    if (zBuffer && output != nullptr) {
        // The viewport's size is the rectangle's extent (it once took right and bottom as the
        // size, which put any rectangle not at the origin outside the target).
        const LONG width = output->right - output->left, height = output->bottom - output->top;
        D3DVIEWPORT7 viewport{static_cast<DWORD>(output->left), static_cast<DWORD>(output->top),
                              static_cast<DWORD>(width), static_cast<DWORD>(height), 0.0f, 1.0f};
        if (output->left < 0 || output->top < 0 || width < 0 || height < 0 ||
            FAILED(m_d3dDevice->SetViewport(&viewport))) {
            ReleaseDevice();
            return 5;
        }
    }
    int code = 0;
    if (zBuffer && CreateZBuffer(target, 0) != 0)
        code = -1;
    m_d3dDevice->SetRenderState(D3DRENDERSTATE_ANTIALIAS, 0);
    return code;
}

void CD3DDevice::ReleaseDevice()
{
    if (m_d3dDevice != nullptr && m_currentTexture != nullptr)
        m_d3dDevice->SetTexture(0, nullptr);
    m_currentTexture = nullptr;
    if (m_zBuffer != nullptr) {
        m_zBuffer->Release();
        m_zBuffer = nullptr;
    }
    m_zBufferDepth = 0;
    if (m_d3dDevice != nullptr) {
        m_d3dDevice->Release();
        m_d3dDevice = nullptr;
    }
    if (m_direct3D != nullptr) {
        m_direct3D->Release();
        m_direct3D = nullptr;
    }
    for (auto& format : m_textureFormats)
        format.reset();
}

int CD3DDevice::CreateZBuffer(IDirectDrawSurface7* target, DWORD bits)
{
    if (m_noZBufferNeeded)
        return 0;
    if (m_zBuffer != nullptr) {
        m_zBuffer->Release();
        m_zBuffer = nullptr;
        m_zBufferDepth = 0;
    }
    if (m_direct3D == nullptr || target == nullptr)
        return 1;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(target->GetSurfaceDesc(&desc)))
        return 1;
    if (bits == 0)
        bits = desc.ddpfPixelFormat.dwRGBBitCount;
    ZSearch search{bits};
    const GUID device = m_hasDeviceGuid ? m_deviceGuid : IID_IDirect3DHALDevice;
    m_direct3D->EnumZBufferFormats(device, &FindZFormat, &search);
    if (!search.ok && bits == 32) {
        search.bits = 24;
        m_direct3D->EnumZBufferFormats(device, &FindZFormat, &search);
    }
    if (!search.ok)
        return 2;
    void* out = nullptr;
    if (FAILED(target->GetDDInterface(&out)) || out == nullptr)
        return 3;
    auto* directDraw = static_cast<IDirectDraw7*>(out);
    DDSURFACEDESC2 z{};
    z.dwSize = sizeof z;
    z.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    z.dwWidth = desc.dwWidth;
    z.dwHeight = desc.dwHeight;
    z.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (m_deviceKind == 0 ? DDSCAPS_SYSTEMMEMORY : 0);
    z.ddpfPixelFormat = search.found;
    IDirectDrawSurface7* surface = nullptr;
    const HRESULT made = directDraw->CreateSurface(&z, &surface, nullptr);
    directDraw->Release();
    if (FAILED(made) || surface == nullptr)
        return 4;
    if (FAILED(target->AddAttachedSurface(surface))) {
        surface->Release();
        return 5;
    }
    m_zBuffer = surface;
    m_zBufferDepth = static_cast<uint8_t>(search.found.dwZBufferBitDepth);
    return 0;
}

const DDPIXELFORMAT* CD3DDevice::GetTextureFormat(uint32_t code) const
{
    const int index = FormatIndex(code);
    return index < 0 ? nullptr : m_textureFormats[static_cast<size_t>(index)].get();
}

int CD3DDevice::SetCached(CachedState state, DWORD value)
{
    if (m_d3dDevice == nullptr)
        return 1;
    const uint8_t byte = static_cast<uint8_t>(value);
    if (m_cache[state] == byte)
        return 0;
    const CachedRow& row = kCachedRows[state];
    const HRESULT result = row.stage ? m_d3dDevice->SetTextureStageState(0, row.state, byte)
                                     : m_d3dDevice->SetRenderState(row.state, byte);
    if (FAILED(result))
        return 2;
    m_cache[state] = byte;
    return 0;
}

int CD3DDevice::SetTextureFactor(DWORD value)
{
    if (m_d3dDevice == nullptr)
        return 1;
    if (m_textureFactor == value && value != 0xFFFFFFFF)
        return 0;
    if (FAILED(m_d3dDevice->SetRenderState(D3DRENDERSTATE_TEXTUREFACTOR, value)))
        return 2;
    m_textureFactor = value;
    return 0;
}

int CD3DDevice::SetAlphaRef(DWORD value)
{
    if (m_d3dDevice == nullptr)
        return 1;
    const uint8_t byte = static_cast<uint8_t>(value);
    if (m_alphaRef == byte)
        return 0;
    if (FAILED(m_d3dDevice->SetRenderState(D3DRENDERSTATE_ALPHAREF, byte)))
        return 2;
    m_alphaRef = byte;
    return 0;
}

int CD3DDevice::SetTexture(CDeviceImage* image)
{
    if (m_d3dDevice == nullptr)
        return 1;
    IDirectDrawSurface7* surface = nullptr;
    if (image != nullptr) {
        surface = image->GetTextureSurface();
        if (surface == nullptr)
            return 1;
    }
    if (image == m_currentTexture)
        return 0;
    if (m_currentTexture != nullptr) {
        m_d3dDevice->SetTexture(0, nullptr);
        m_currentTexture = nullptr;
    }
    if (surface != nullptr) {
        if (FAILED(m_d3dDevice->SetTexture(0, surface)))
            return 2;
        m_currentTexture = image;
    }
    return 0;
}

void CD3DDevice::ForgetTexture(CDeviceImage* image)
{
    if (image == nullptr || image != m_currentTexture)
        return;
    if (m_d3dDevice != nullptr)
        m_d3dDevice->SetTexture(0, nullptr);
    m_currentTexture = nullptr;
}

int CD3DDevice::ReapplyStates()
{
    int last = 0;
    for (int i = 0; i < kCachedStateCount; ++i) {
        const uint8_t old = m_cache[static_cast<size_t>(i)];
        if (old == kUnknown)
            continue;
        m_cache[static_cast<size_t>(i)] = kUnknown;
        if (const int r = SetCached(static_cast<CachedState>(i), old); r != 0)
            last = r;
    }
    if (m_textureFactor != 0xFFFFFFFF) {
        const DWORD old = m_textureFactor;
        m_textureFactor = 0xFFFFFFFF;
        if (const int r = SetTextureFactor(old); r != 0)
            last = r;
    }
    if (m_alphaRef != 0) {
        const uint8_t old = m_alphaRef;
        m_alphaRef = 0;
        if (const int r = SetAlphaRef(old); r != 0)
            last = r;
    }
    if (m_currentTexture != nullptr) {
        CDeviceImage* image = m_currentTexture;
        m_currentTexture = nullptr;
        if (const int r = SetTexture(image); r != 0)
            last = r;
    }
    return last;
}
