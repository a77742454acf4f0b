// The software Direct3D device with any target and texture (sizes, formats with and without alpha,
// colour keys), any render and stage states, scene brackets, primitive types, vertex formats and
// counts, any float vertices (NaN, infinities, 1e30) and losses. Axis-aligned quads drawn by rows
// must give the bytes of their triangles drawn pixel by pixel, and the fast spans the general
// loop's bytes.
#include "support/fuzz_input.h"
#include "winapi/d3d.h"
#include "winapi/ddraw.h"
#include "winapi/ddraw_testing.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

const DWORD kFormats[][5] = {{16, 0x7C00, 0x3E0, 0x1F, 0},         {16, 0xF800, 0x7E0, 0x1F, 0},
                             {24, 0xFF0000, 0xFF00, 0xFF, 0},       {32, 0xFF0000, 0xFF00, 0xFF, 0},
                             {16, 0x7C00, 0x3E0, 0x1F, 0x8000},     {16, 0xF00, 0xF0, 0xF, 0xF000},
                             {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}};

IDirectDrawSurface7* Make(IDirectDraw7* dd, FuzzInput& in, DWORD caps)
{
    const DWORD* f = kFormats[in.Small((caps & DDSCAPS_TEXTURE) ? 7 : 4)];
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = static_cast<DWORD>(1 + in.Small(96));
    d.dwHeight = static_cast<DWORD>(1 + in.Small(96));
    d.ddsCaps.dwCaps = caps;
    d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    d.ddpfPixelFormat.dwFlags = DDPF_RGB;
    d.ddpfPixelFormat.dwRGBBitCount = f[0];
    d.ddpfPixelFormat.dwRBitMask = f[1];
    d.ddpfPixelFormat.dwGBitMask = f[2];
    d.ddpfPixelFormat.dwBBitMask = f[3];
    d.ddpfPixelFormat.dwRGBAlphaBitMask = f[4];
    if (f[4] != 0)
        d.ddpfPixelFormat.dwFlags |= DDPF_ALPHAPIXELS;
    IDirectDrawSurface7* s = nullptr;
    dd->CreateSurface(&d, &s, nullptr);
    if (s != nullptr && s->Lock(nullptr, &d, 0, nullptr) == DD_OK) {
        // Colours from a small generator seeded by the input.
        uint32_t seed = in.U32() | 1;
        for (DWORD y = 0; y < d.dwHeight; ++y)
            for (DWORD x = 0; x < d.dwWidth * (f[0] / 8); ++x) {
                seed = seed * 1664525u + 1013904223u;
                static_cast<BYTE*>(d.lpSurface)[static_cast<ptrdiff_t>(y) * d.lPitch + x] = static_cast<BYTE>(seed >> 24);
            }
        s->Unlock(nullptr);
    }
    return s;
}

float AnyFloat(FuzzInput& in)
{
    switch (in.Small(4)) {
    case 0: {
        const uint32_t bits = in.U32();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    case 1:
        return static_cast<float>(in.I32() % 200) - 50.5f;
    default:
        return static_cast<float>(in.U16()) / 65535.0f;
    }
}

// The target's bytes (the lock's rows one after the other).
std::vector<BYTE> Bytes(IDirectDrawSurface7* s)
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    std::vector<BYTE> bytes;
    if (s->Lock(nullptr, &d, 0, nullptr) != DD_OK)
        return bytes;
    const size_t row = d.dwWidth * (d.ddpfPixelFormat.dwRGBBitCount / 8);
    for (DWORD y = 0; y < d.dwHeight; ++y) {
        const BYTE* p = static_cast<BYTE*>(d.lpSurface) + static_cast<ptrdiff_t>(y) * d.lPitch;
        bytes.insert(bytes.end(), p, p + row);
    }
    s->Unlock(nullptr);
    return bytes;
}

void Restore(IDirectDrawSurface7* s, const std::vector<BYTE>& bytes)
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    if (s->Lock(nullptr, &d, 0, nullptr) != DD_OK)
        return;
    const size_t row = d.dwWidth * (d.ddpfPixelFormat.dwRGBBitCount / 8);
    for (DWORD y = 0; y < d.dwHeight && (y + 1) * row <= bytes.size(); ++y)
        std::memcpy(static_cast<BYTE*>(d.lpSurface) + static_cast<ptrdiff_t>(y) * d.lPitch, &bytes[y * row], row);
    s->Unlock(nullptr);
}

// An axis-aligned quad drawn by rows must give the bytes of its two triangles drawn pixel by pixel
// (point samples copied in the target's format may keep the texel's unused bits).
void CompareQuad(IDirect3DDevice7* device, IDirectDrawSurface7* target, FuzzInput& in, bool linear)
{
    const float left = AnyFloat(in), top = AnyFloat(in), right = left + AnyFloat(in), bottom = top + AnyFloat(in);
    const float u0 = AnyFloat(in), u1 = AnyFloat(in), v0 = AnyFloat(in), v1 = AnyFloat(in);
    float quad[4][6] = {{left, top, 0, 1, u0, v0}, {right, top, 0, 1, u1, v0}, {left, bottom, 0, 1, u0, v1},
                        {right, bottom, 0, 1, u1, v1}};
    const std::vector<BYTE> before = Bytes(target);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, quad, 4, 0);
    const std::vector<BYTE> rows = Bytes(target);
    Restore(target, before);
    winapi::ddraw_testing::Current().noQuadRows = true;
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_TEX1, quad, 4, 0);
    winapi::ddraw_testing::Current().noQuadRows = false;
    const std::vector<BYTE> triangles = Bytes(target);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    target->GetSurfaceDesc(&d);
    const DWORD used = d.ddpfPixelFormat.dwRBitMask | d.ddpfPixelFormat.dwGBitMask | d.ddpfPixelFormat.dwBBitMask;
    const size_t bytes = d.ddpfPixelFormat.dwRGBBitCount / 8;
    for (size_t i = 0; i + bytes <= rows.size() && rows.size() == triangles.size(); i += bytes) {
        DWORD a = 0, b = 0;
        std::memcpy(&a, &rows[i], bytes);
        std::memcpy(&b, &triangles[i], bytes);
        if (linear ? a != b : (a & used) != (b & used))
            __builtin_trap();
    }
}

} // namespace

// Any primitive drawn twice, with and without the fast spans: the same bytes.
void ComparePrimitive(IDirect3DDevice7* device, IDirectDrawSurface7* target, FuzzInput& in)
{
    const DWORD fvfs[] = {D3DFVF_XYZRHW | D3DFVF_DIFFUSE, D3DFVF_XYZRHW | D3DFVF_TEX1,
                          D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1};
    const DWORD fvf = fvfs[in.Small(3)];
    const size_t floats = fvf == (D3DFVF_XYZRHW | D3DFVF_DIFFUSE) ? 5 : fvf == (D3DFVF_XYZRHW | D3DFVF_TEX1) ? 6 : 7;
    const DWORD count = static_cast<DWORD>(in.Small(9));
    std::vector<float> v(floats * count + 1);
    for (size_t i = 0; i < floats * count; ++i) {
        if ((fvf & D3DFVF_DIFFUSE) && i % floats == 4) {
            const uint32_t colour = in.U32();
            std::memcpy(&v[i], &colour, 4);
        } else {
            v[i] = AnyFloat(in);
        }
    }
    const auto type = static_cast<D3DPRIMITIVETYPE>(in.Small(8));
    const std::vector<BYTE> before = Bytes(target);
    const HRESULT fast = device->DrawPrimitive(type, fvf, v.data(), count, 0);
    const std::vector<BYTE> fastBytes = Bytes(target);
    Restore(target, before);
    winapi::ddraw_testing::Current().noFastSpans = true;
    const HRESULT general = device->DrawPrimitive(type, fvf, v.data(), count, 0);
    winapi::ddraw_testing::Current().noFastSpans = false;
    if (fast != general || fastBytes != Bytes(target))
        __builtin_trap();
}

// Any state with any value (unknown ones included).
void AnyState(IDirect3DDevice7* device, FuzzInput& in)
{
    const DWORD render[] = {D3DRENDERSTATE_SHADEMODE,  D3DRENDERSTATE_CULLMODE,        D3DRENDERSTATE_COLORKEYENABLE,
                            D3DRENDERSTATE_SRCBLEND,   D3DRENDERSTATE_DESTBLEND,       D3DRENDERSTATE_ALPHABLENDENABLE,
                            D3DRENDERSTATE_ALPHAREF,   D3DRENDERSTATE_ALPHAFUNC,       D3DRENDERSTATE_ALPHATESTENABLE,
                            D3DRENDERSTATE_TEXTUREFACTOR, 9999};
    const DWORD stage[] = {D3DTSS_COLOROP, D3DTSS_COLORARG1, D3DTSS_COLORARG2, D3DTSS_ALPHAOP,
                           D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2, D3DTSS_MAGFILTER, D3DTSS_MINFILTER};
    const DWORD value = in.Small(2) ? static_cast<DWORD>(in.Small(20)) : in.U32();
    if (in.Small(2))
        device->SetRenderState(render[in.Small(static_cast<int>(std::size(render)))], value);
    else
        device->SetTextureStageState(in.Small(4) == 0 ? 1 : 0, stage[in.Small(static_cast<int>(std::size(stage)))], value);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    IDirectDraw7* dd = nullptr;
    if (DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr) != DD_OK)
        return 0;
    void* out = nullptr;
    dd->QueryInterface(IID_IDirect3D7, &out);
    auto* d3d = static_cast<IDirect3D7*>(out);
    IDirectDrawSurface7* target = Make(dd, in, DDSCAPS_3DDEVICE);
    IDirectDrawSurface7* texture = Make(dd, in, DDSCAPS_TEXTURE);
    IDirect3DDevice7* device = nullptr;
    if (d3d != nullptr && target != nullptr && texture != nullptr &&
        d3d->CreateDevice(IID_IDirect3DRGBDevice, target, &device) == DD_OK) {
        device->SetTexture(0, texture);
        if (in.Small(2)) {
            DDCOLORKEY key{in.U32() & 0xFFFF, 0};
            key.dwColorSpaceHighValue = key.dwColorSpaceLowValue + in.Small(4);
            texture->SetColorKey(DDCKEY_SRCBLT, &key);
        }
        device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        for (int round = 0; round < 8 && !in.AtEnd(); ++round) {
            const bool linear = in.Small(2) != 0;
            device->SetTextureStageState(0, D3DTSS_MAGFILTER, linear ? D3DTFG_LINEAR : D3DTFG_POINT);
            device->SetTextureStageState(0, D3DTSS_MINFILTER, linear ? D3DTFN_LINEAR : D3DTFN_POINT);
            switch (in.Small(8)) {
            case 0:
                CompareQuad(device, target, in, linear);
                continue;
            case 1:
            case 2:
                ComparePrimitive(device, target, in);
                continue;
            case 3:
                AnyState(device, in);
                AnyState(device, in);
                continue;
            case 4:
                if (in.Small(2))
                    device->BeginScene();
                else
                    device->EndScene();
                continue;
            case 5:
                if (const int what = in.Small(4); what == 0) {
                    winapi::ddraw_testing::LoseAllSurfaces();
                } else if (what == 1) {
                    target->Restore();
                    texture->Restore();
                } else
                    device->SetTexture(0, in.Small(3) == 0 ? nullptr : texture);
                continue;
            default:
                break;
            }
            std::vector<float> v(static_cast<size_t>(6 * (3 + in.Small(6))));
            for (float& f : v)
                f = AnyFloat(in);
            device->DrawPrimitive(in.Small(2) ? D3DPT_TRIANGLESTRIP : D3DPT_TRIANGLELIST, D3DFVF_XYZRHW | D3DFVF_TEX1,
                                  v.data(), static_cast<DWORD>(v.size() / 6), 0);
        }
        device->Release();
    }
    if (texture)
        texture->Release();
    if (target)
        target->Release();
    if (d3d)
        d3d->Release();
    dd->Release();
    return 0;
}
