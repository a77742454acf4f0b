// A small scene driven by the input: sprites over 8- and 32-bit images with and without keys and
// rectangle shapes go through inserts, removals, priorities, positions, sizes, zooms, angles,
// source origins, blend modes, alpha and visibility, and are redrawn into an image, a device
// context and a locked surface; every redraw must equal the scene rendered afresh.
#include "drawing/primitive_object.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "files/pixel_library.h"
#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "raster/dib_convert.h"
#include "support/fuzz_input.h"
#include "winapi/ddraw.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr LONG kW = 48;
constexpr LONG kH = 40;

struct Shared {
    Shared()
    {
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\fuzz\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        g_pCosTable = &cos;
        DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr);
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = kW - 7;
        d.dwHeight = kH;
        d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        d.ddpfPixelFormat.dwFlags = DDPF_RGB;
        d.ddpfPixelFormat.dwRGBBitCount = 16;
        d.ddpfPixelFormat.dwRBitMask = 0xF800;
        d.ddpfPixelFormat.dwGBitMask = 0x7E0;
        d.ddpfPixelFormat.dwBBitMask = 0x1F;
        dd->CreateSurface(&d, &surface, nullptr);
        dc.Create(kW + 4, kH + 4, 32, kImageWithDc);
    }
    std::unique_ptr<CPixelLibrary> library;
    CCosTable cos;
    IDirectDraw7* dd = nullptr;
    IDirectDrawSurface7* surface = nullptr;
    CImage dc;
};

void Fill(CImage& image, uint32_t seed)
{
    for (LONG y = 0; y < image.GetHeight(); ++y)
        for (LONG x = 0; x < image.GetWidth(); ++x) {
            seed = seed * 1103515245u + 12345u;
            if (image.GetBitsPerPixel() == 8)
                image.GetRowAddress(y)[x] = static_cast<BYTE>(seed >> 16);
            else
                std::memcpy(image.GetRowAddress(y) + 4 * x, &seed, 4);
        }
}

LONG Coord(FuzzInput& in)
{
    const uint32_t v = in.U32();
    return (v & 0xF0000000u) == 0xF0000000u ? static_cast<LONG>(v ^ 0x70000000u) : static_cast<LONG>(v % 90) - 30;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Shared shared;
    FuzzInput in{data, size};
    CImage target;
    if (target.Create(kW, kH, 32, kImageWithDc | kImageWithTracker) != 0)
        return 0;
    CImage images[4];
    images[0].Create(20, 16, 32, kImageWithTracker);
    images[1].Create(12, 30, 32, 0);
    images[2].Create(17, 9, 8, 0);
    images[3].Create(60, 50, 32, 0);
    for (int i = 0; i < 4; ++i)
        Fill(images[i], in.U32());
    images[2].SetPaletteEntries(nullptr, 256, 0);
    if (in.U32() & 1)
        images[1].SetColorKeyAt(0, 0);
    if (in.U32() & 1)
        images[2].SetColorKeyAt(1, 1);
    images[0].SetAlphaFlag(true);

    CScene scene;
    CDrawList overlay;
    scene.SetOverlay(&overlay);
    scene.SetTarget(&target, true);
    scene.SetBackgroundColor(in.U32(), false);
    if (in.U32() & 1)
        scene.SetBackgroundImage(&images[3], Coord(in), Coord(in), true);
    CSprite sprites[4];
    CPrimitiveObject shapes[2];
    std::vector<CDrawable*> all;
    for (int i = 0; i < 4; ++i) {
        sprites[i].SetImage(&images[i % 3], nullptr, Coord(in), Coord(in));
        all.push_back(&sprites[i]);
    }
    for (auto& shape : shapes) {
        shape.Setup(in.Small(40), in.Small(40), in.U32(), Coord(in), Coord(in));
        all.push_back(&shape);
    }
    CImage fresh;
    fresh.Create(kW, kH, 32, 0);
    for (int step = 0; step < 64 && !in.AtEnd(); ++step) {
        CDrawable* d = all[static_cast<size_t>(in.Small(static_cast<int>(all.size())))];
        CSprite* sprite = d->GetKind() == kDrawableSprite ? static_cast<CSprite*>(d) : nullptr;
        const uint32_t op = in.U32() % 16;
        switch (op) {
        case 0: (in.U32() & 1 ? scene.GetList() : overlay).Insert(d, in.U32() % 4, in.U32() % 3); break;
        case 1: (in.U32() & 1 ? scene.GetList() : overlay).InsertAfterEqual(d, in.U32(), 0); break;
        case 2: d->DetachFromList(); break;
        case 3: if (d->GetOwnerList()) d->GetOwnerList()->SetPriority(d, in.U32() % 4, in.U32() & 1); break;
        case 4: d->SetPosition(Coord(in), Coord(in)); break;
        case 5: d->SetSize(in.Small(70) - 2, in.Small(70) - 2); break;
        case 6: if (sprite) sprite->SetRotateZoom(in.I32(), (in.Small(40) + 1) / 10.0); break;
        case 7: if (sprite) sprite->SetSourceOrigin(Coord(in), Coord(in)); break;
        case 8: d->SetBlendMode(static_cast<BYTE>(in.U32())); break;
        case 9: d->SetAlpha(static_cast<BYTE>(in.U32())); break;
        case 10: d->SetVisible(in.U32() & 1); break;
        case 11: if (sprite) sprite->SetDrawMode(static_cast<BYTE>(in.U32() & 0x13)); break;
        case 12: {
            const RECT r{Coord(in), Coord(in), Coord(in), Coord(in)};
            if (sprite) sprite->SetSourceRect((in.U32() & 1) ? &r : nullptr);
            break;
        }
        case 13: if (sprite) sprite->ReplaceImage(&images[in.Small(4)]); break;
        case 14: overlay.RemoveWhere(in.U32() % 4 == 0 ? kDrawAny : in.U32() % 3, kDrawAny, in.U32() & 1); break;
        default: {
            const uint32_t how = in.U32();
            g_bBandedRedraw = static_cast<uint8_t>(how & 1);
            g_bMergeUpdateRects = static_cast<uint8_t>(how >> 1 & 1);
            switch (how >> 2 & 3) {
            case 0: scene.Redraw(nullptr, nullptr, 0, 0); break;
            case 1: scene.RedrawToDC(nullptr, shared.dc.GetDc(), nullptr, Coord(in) % 8, Coord(in) % 8); break;
            default: scene.RedrawToSurface(shared.surface, kPixelR5G6B5, Coord(in), Coord(in)); break;
            }
            if (scene.GetRegion().Count() != 0)
                __builtin_trap();
            if (scene.RenderToImage(&fresh, 0, 0, true) != 0)
                __builtin_trap();
            for (LONG y = 0; y < kH; ++y)
                if (std::memcmp(fresh.GetRowAddress(y), target.GetRowAddress(y), kW * 4) != 0)
                    __builtin_trap();
            break;
        }
        }
    }
    return 0;
}
