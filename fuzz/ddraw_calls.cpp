// The stand-in's DirectDraw driven by the input: surfaces of any description, rectangles (also
// overlapping on one surface), flags, keys, stretches, fills, the primary with or without a
// clipper, flip chains, cooperative levels, mode changes, losses and Restore.
#include "support/fuzz_input.h"
#include "winapi/ddraw.h"
#include "winapi/ddraw_testing.h"
#include "winapi/gdi.h"
#include "winapi/user.h"

#include <cstdint>
#include <vector>

namespace {

HWND Window()
{
    static HWND window = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "DDrawCallsFuzz";
        RegisterClassExA(&wc);
        return CreateWindowExA(0, "DDrawCallsFuzz", "f", WS_POPUP | WS_VISIBLE, 40, 30, 160, 120, nullptr, nullptr,
                               nullptr, nullptr);
    }();
    return window;
}

RECT AnyRect(FuzzInput& in)
{
    const LONG l = in.I32() % 300, t = in.I32() % 300;
    return RECT{l, t, l + in.I32() % 300, t + in.I32() % 300};
}

const DWORD kMasks[][4] = {
    {0x7C00, 0x3E0, 0x1F, 0}, {0xF800, 0x7E0, 0x1F, 0}, {0xFF0000, 0xFF00, 0xFF, 0},
    {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {0x0F00, 0xF0, 0xF, 0xF000}, {0x1, 0x2, 0x4, 0},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    winapi::ddraw_testing::Reset();
    HWND window = Window();
    IDirectDraw7* dd = nullptr;
    if (DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr) != DD_OK)
        return 0;
    std::vector<IDirectDrawSurface7*> surfaces;
    IDirectDrawClipper* clipper = nullptr;
    auto pick = [&]() -> IDirectDrawSurface7* {
        return surfaces.empty() ? nullptr : surfaces[static_cast<size_t>(in.Small(static_cast<int>(surfaces.size())))];
    };
    for (int step = 0; step < 48 && !in.AtEnd(); ++step) {
        switch (in.Small(14)) {
        case 0: {
            if (surfaces.size() >= 6)
                break;
            DDSURFACEDESC2 d{};
            d.dwSize = in.Small(8) == 0 ? in.U32() : sizeof d;
            d.dwFlags = in.U32() & (DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_CKSRCBLT |
                                     DDSD_BACKBUFFERCOUNT);
            d.dwWidth = static_cast<DWORD>(in.Small(5) == 0 ? in.U32() : 1 + in.Small(200));
            d.dwHeight = static_cast<DWORD>(in.Small(5) == 0 ? in.U32() : 1 + in.Small(200));
            d.dwBackBufferCount = static_cast<DWORD>(in.Small(4));
            d.ddsCaps.dwCaps = in.U32() & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                                            DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
            const auto& m = kMasks[in.Small(6)];
            d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
            d.ddpfPixelFormat.dwFlags = in.Small(6) == 0 ? in.U32() : DDPF_RGB | (m[3] ? DDPF_ALPHAPIXELS : 0);
            d.ddpfPixelFormat.dwRGBBitCount = (m[0] == 0xFF0000 && m[3] == 0) ? (in.Small(2) ? 24 : 32)
                                              : m[0] == 0xFF0000                ? 32
                                                                               : 16;
            d.ddpfPixelFormat.dwRBitMask = m[0];
            d.ddpfPixelFormat.dwGBitMask = m[1];
            d.ddpfPixelFormat.dwBBitMask = m[2];
            d.ddpfPixelFormat.dwRGBAlphaBitMask = m[3];
            d.ddckCKSrcBlt = DDCOLORKEY{in.U32(), in.U32()};
            IDirectDrawSurface7* s = nullptr;
            if (dd->CreateSurface(&d, &s, nullptr) == DD_OK) {
                surfaces.push_back(s);
                DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
                IDirectDrawSurface7* back = nullptr;
                if (s->GetAttachedSurface(&caps, &back) == DD_OK)
                    surfaces.push_back(back);
            }
            break;
        }
        case 1: {
            IDirectDrawSurface7* to = pick();
            IDirectDrawSurface7* from = pick();
            if (!to)
                break;
            RECT dst = AnyRect(in), src = AnyRect(in);
            DDBLTFX fx{};
            fx.dwSize = sizeof fx;
            fx.dwFillColor = in.U32();
            fx.ddckSrcColorkey = DDCOLORKEY{in.U32(), in.U32()};
            const DWORD flags = in.U32() & (DDBLT_COLORFILL | DDBLT_KEYSRC | DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT);
            to->Blt(in.Small(3) ? &dst : nullptr, from, in.Small(3) ? &src : nullptr, flags,
                    in.Small(5) ? &fx : nullptr);
            break;
        }
        case 2: {
            IDirectDrawSurface7* to = pick();
            IDirectDrawSurface7* from = pick();
            if (!to)
                break;
            RECT src = AnyRect(in);
            to->BltFast(in.U32() % 400, in.U32() % 400, from, in.Small(3) ? &src : nullptr, in.U32() & 1);
            break;
        }
        case 3:
            if (IDirectDrawSurface7* s = pick()) {
                DDCOLORKEY key{in.U32(), in.U32()};
                s->SetColorKey(in.U32() & 0x1F, in.Small(4) ? &key : nullptr);
            }
            break;
        case 4:
            if (IDirectDrawSurface7* s = pick()) {
                DDSURFACEDESC2 d{};
                d.dwSize = sizeof d;
                RECT r = AnyRect(in);
                if (s->Lock(in.Small(2) ? &r : nullptr, &d, 0, nullptr) == DD_OK) {
                    if (d.lpSurface != nullptr && d.dwHeight > 0)
                        static_cast<BYTE*>(d.lpSurface)[0] ^= 0xFF;
                    s->Unlock(nullptr);
                }
            }
            break;
        case 5:
            if (IDirectDrawSurface7* s = pick()) {
                HDC dc = nullptr;
                if (s->GetDC(&dc) == DD_OK) {
                    RECT r = AnyRect(in);
                    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
                    s->ReleaseDC(dc);
                }
            }
            break;
        case 6:
            if (IDirectDrawSurface7* s = pick())
                s->Flip(nullptr, in.U32());
            break;
        case 7:
            dd->SetCooperativeLevel(in.Small(3) ? window : nullptr, in.U32() & 0x1F);
            break;
        case 8: {
            winapi::ddraw_testing::Current().displayModeAtNormalLevel = in.Small(2) != 0;
            const DWORD sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1920, 1080}, {123, 45}};
            const int which = in.Small(5);
            dd->SetDisplayMode(sizes[which][0], sizes[which][1], in.Small(2) ? 16 : 32, in.Small(2) ? 60 : 0, 0);
            break;
        }
        case 9:
            dd->RestoreDisplayMode();
            break;
        case 10:
            if (IDirectDrawSurface7* s = pick())
                s->Restore();
            else
                winapi::ddraw_testing::LoseAllSurfaces();
            break;
        case 11:
            if (!clipper && dd->CreateClipper(0, &clipper, nullptr) == DD_OK)
                clipper->SetHWnd(0, in.Small(2) ? window : nullptr);
            if (IDirectDrawSurface7* s = pick())
                s->SetClipper(in.Small(3) ? clipper : nullptr);
            break;
        case 12:
            winapi::ddraw_testing::Current().loseAtCall = in.Small(20);
            break;
        case 13:
            if (!surfaces.empty() && in.Small(3) == 0) {
                surfaces.back()->Release();
                surfaces.pop_back();
            }
            break;
        }
    }
    for (IDirectDrawSurface7* s : surfaces)
        s->Release();
    if (clipper)
        clipper->Release();
    dd->Release();
    winapi::ddraw_testing::Reset();
    return 0;
}
