// The software Direct3D device with any float vertices (NaN, infinities, huge values), any target
// and texture sizes and formats, strips and lists, point and bilinear sampling.
#include "support/fuzz_input.h"
#include "winapi/d3d.h"
#include "winapi/ddraw.h"

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
            device->SetTextureStageState(0, D3DTSS_MAGFILTER, in.Small(2) ? D3DTFG_LINEAR : D3DTFG_POINT);
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
