// Two memory canvases driven by the input: creation at any size, depth and scene mode, depth
// changes, invalidations, scene activity, scene and background swaps, back canvases, filters of
// the harness's own (shared between the canvases too), shapes in their lists, and presents into a
// device context and into DirectDraw surfaces of every format, some smaller than the canvas.
#include "display/surface_sprite.h"
#include "drawing/primitive_object.h"
#include "raster/dib_convert.h"
#include "support/fuzz_input.h"
#include "winapi/ddraw.h"
#include "winapi/gdi_memory_dc.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A cross-fade that reads every row it is given; ends after `frames` steps.
class Fade : public CScreenFilter {
public:
    Fade(uint8_t type, int frames) : m_type(type), m_frames(frames) {}
    uint8_t GetObjectType() override { return m_type; }
    int Step(DWORD) override { return ++m_steps > m_frames ? 1 : 0; }
    const char* GetName() override { return "fade"; }
    int Draw(const FilterJob& job) override
    {
        const int bytes = job.destination->GetBitsPerPixel() / 8;
        for (LONG y = 0; y < job.bandHeight; ++y) {
            BYTE* to = job.destination->GetRowAddress(job.destinationY + y);
            const BYTE* a = job.source->GetRowAddress(job.sourceY + y);
            const BYTE* b = job.secondSource ? job.secondSource->GetRowAddress(job.secondY + y) : nullptr;
            for (LONG i = 0; i < job.bandWidth * bytes; ++i)
                to[i] = static_cast<BYTE>(b ? (a[i] + b[i]) / 2 : a[i]);
        }
        return 0;
    }
    int IsDone() override { return m_frames == 3 ? 1 : 0; }

private:
    uint8_t m_type;
    int m_frames;
    int m_steps = 0;
};

const struct {
    uint32_t code;
    DWORD bits, r, g, b, a;
} kFormats[] = {
    {kPixelX1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0},      {kPixelR5G6B5, 16, 0xF800, 0x7E0, 0x1F, 0},
    {kPixelR8G8B8, 24, 0xFF0000, 0xFF00, 0xFF, 0},     {kPixelX8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {kPixelA1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0x8000}, {kPixelA4R4G4B4, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {kPixelA8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
};

IDirectDraw7* DirectDraw()
{
    static IDirectDraw7* dd = [] {
        IDirectDraw7* made = nullptr;
        DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&made), IID_IDirectDraw7, nullptr);
        return made;
    }();
    return dd;
}

IDirectDrawSurface7* MakeSurface(int format, LONG w, LONG h)
{
    const auto& f = kFormats[format];
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = static_cast<DWORD>(w);
    d.dwHeight = static_cast<DWORD>(h);
    d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    d.ddpfPixelFormat.dwFlags = DDPF_RGB | (f.a ? DDPF_ALPHAPIXELS : 0);
    d.ddpfPixelFormat.dwRGBBitCount = f.bits;
    d.ddpfPixelFormat.dwRBitMask = f.r;
    d.ddpfPixelFormat.dwGBitMask = f.g;
    d.ddpfPixelFormat.dwBBitMask = f.b;
    d.ddpfPixelFormat.dwRGBAlphaBitMask = f.a;
    IDirectDrawSurface7* s = nullptr;
    DirectDraw()->CreateSurface(&d, &s, nullptr);
    return s;
}

std::unique_ptr<CSurfaceSprite> MakeCanvas(bool ten)
{
    if (ten)
        return std::make_unique<CSurfaceSprite10>();
    return std::make_unique<CSurfaceSprite>();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    CImage backgrounds[2];
    backgrounds[0].Create(60, 50, 32, kImageWithDc);
    backgrounds[1].Create(60, 50, 8, 0);
    CPrimitiveObject shapes[4];
    std::unique_ptr<CSurfaceSprite> canvases[2] = {MakeCanvas(in.Small(4) == 0), MakeCanvas(false)};
    std::vector<uint32_t> dcPixels(100 * 80);
    HDC dc = winapi::CreateMemoryDC(dcPixels.data(), 100, 80, 400, 32);
    for (int step = 0; step < 64 && !in.AtEnd(); ++step) {
        CSurfaceSprite& c = *canvases[in.Small(2)];
        CSurfaceSprite& other = *canvases[in.Small(2)];
        switch (in.Small(13)) {
        case 0:
            c.Create(1 + in.Small(90), 1 + in.Small(70), in.Small(3) == 0 ? 8 : 32, in.Small(3));
            break;
        case 1:
            c.SetDepth(in.Small(2) ? 8 : 32);
            break;
        case 2: {
            RECT r{in.I32() % 120 - 10, in.I32() % 90 - 10, 0, 0};
            r.right = r.left + in.Small(100);
            r.bottom = r.top + in.Small(80);
            c.InvalidateRect(in.Small(4) == 0 ? nullptr : &r);
            break;
        }
        case 3:
            c.SetSceneActive(in.Small(2) != 0);
            break;
        case 4:
            c.SwapScenes(&other);
            break;
        case 5:
            if (c.GetScene())
                c.GetScene()->SetBackgroundImage(&backgrounds[in.Small(2)], in.I32() % 40, in.I32() % 40, true);
            c.SwapBackgrounds(&other);
            break;
        case 6:
            c.SetBackCanvas(in.Small(3) == 0 ? nullptr : &other);
            break;
        case 7: {
            auto* filter = new Fade(static_cast<uint8_t>(in.Small(4)), in.Small(5));
            const uint8_t mode = static_cast<uint8_t>(in.Small(3));
            if (c.AttachFilter(filter, mode, static_cast<uint8_t>(in.Small(2)), 0) != 0) {
                delete filter;
                break;
            }
            // Shared with the other canvas: one more holder while it is attached there too.
            if (&other != &c && in.Small(2)) {
                filter->SetUseCount(filter->GetUseCount() + 1);
                if (other.AttachFilter(filter, mode, 0, 0) != 0)
                    filter->SetUseCount(filter->GetUseCount() - 1);
            }
            break;
        }
        case 8:
            c.DetachFilter(in.Small(2) != 0);
            break;
        case 9: {
            CPrimitiveObject& shape = shapes[in.Small(4)];
            shape.DetachFromList();
            shape.Setup(1 + in.Small(40), 1 + in.Small(40), in.U32(), in.I32() % 100, in.I32() % 80);
            CDrawList* list = in.Small(2) && c.GetOverlayList() ? c.GetOverlayList()
                              : c.GetScene()                   ? &c.GetScene()->GetList()
                                                               : nullptr;
            if (list)
                list->Insert(&shape, in.U32(), 0);
            break;
        }
        case 10:
            c.Present(nullptr, in.Small(4) == 0 ? nullptr : dc, nullptr, 0, in.Small(3) != 0);
            break;
        case 11: {
            const int format = in.Small(7);
            IDirectDrawSurface7* surface = MakeSurface(format, 1 + in.Small(100), 1 + in.Small(80));
            if (surface) {
                c.Present(nullptr, nullptr, surface, kFormats[format].code, in.Small(3) != 0);
                surface->Release();
            }
            break;
        }
        case 12:
            c.SetSceneListsHidden(static_cast<uint8_t>(in.Small(2)), static_cast<uint8_t>(in.Small(2)));
            break;
        }
    }
    canvases[0].reset();
    canvases[1].reset();
    DeleteDC(dc);
    return 0;
}
