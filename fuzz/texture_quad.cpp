// The software Direct3D device with any float vertices (NaN, infinities, huge values), any target
// and texture sizes and formats, strips and lists, point and bilinear sampling; axis-aligned quads
// drawn by rows must give the bytes of their triangles drawn pixel by pixel.
#include "support/fuzz_input.h"
#include "winapi/d3d.h"
#include "winapi/ddraw.h"
#include "winapi/ddraw_testing.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const DWORD kFormats[][4] = {{16, 0x7C00, 0x3E0, 0x1F}, {16, 0xF800, 0x7E0, 0x1F}, {24, 0xFF0000, 0xFF00, 0xFF},
                             {32, 0xFF0000, 0xFF00, 0xFF}};

IDirectDrawSurface7* Make(IDirectDraw7* dd, FuzzInput& in, DWORD caps)
{
    const DWORD* f = kFormats[in.Small(4)];
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
        for (int round = 0; round < 4 && !in.AtEnd(); ++round) {
            const bool linear = in.Small(2) != 0;
            device->SetTextureStageState(0, D3DTSS_MAGFILTER, linear ? D3DTFG_LINEAR : D3DTFG_POINT);
            if (in.Small(3) == 0) {
                CompareQuad(device, target, in, linear);
                continue;
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
