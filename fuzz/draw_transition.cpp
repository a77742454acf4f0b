// Fuzz harness of the wipe table: any entry (in range or not), any drawing mode, any progress and
// position, between memory images of small sizes and both depths, or between DirectDraw surfaces
// of every supported pixel format (sometimes through a screen target), with clip rectangles,
// colour keys and a source that is the destination itself. Nothing may read or write outside the
// pictures or surfaces.
#include "authoring/memory_device_image.h"
#include "platform/cos_table.h"
#include "platform/random.h"
#include "raster/device_surface.h"
#include "raster/draw_transition.h"
#include "raster/image.h"
#include "support/fuzz_input.h"
#include "winapi/ddraw.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Mostly small values near the pictures, sometimes the extremes of the 32-bit range.
int32_t Coord(FuzzInput& in)
{
    const uint32_t v = in.U32();
    if ((v & 0xC0000000u) == 0xC0000000u) {
        switch (v & 3) {
        case 0: return INT32_MIN;
        case 1: return INT32_MAX;
        case 2: return static_cast<int32_t>(v >> 2) - (1 << 29);
        default: return static_cast<int32_t>(v);
        }
    }
    return static_cast<int32_t>(v % 100) - 30;
}

RECT Rect(FuzzInput& in)
{
    return RECT{Coord(in), Coord(in), Coord(in), Coord(in)};
}

class FuzzScreen final : public CDisplayTarget {
public:
    FuzzScreen(IDirectDrawSurface7* surface, RECT rect) : m_surface(surface), m_rect(rect) {}
    IDirectDrawSurface7* GetTargetSurface() const override { return m_surface; }
    RECT GetTargetRect() const override { return m_rect; }

private:
    IDirectDrawSurface7* m_surface;
    RECT m_rect;
};

struct Format {
    DWORD bits, flags, r, g, b, a;
    uint32_t code;
};

// The pixel formats DirectDraw surfaces come in, with their codes.
constexpr Format kFormats[] = {
    {32, DDPF_RGB, 0xFF0000, 0xFF00, 0xFF, 0, 32},
    {32, DDPF_RGB | DDPF_ALPHAPIXELS, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 256},
    {24, DDPF_RGB, 0xFF0000, 0xFF00, 0xFF, 0, 16},
    {16, DDPF_RGB, 0xF800, 0x07E0, 0x001F, 0, 8},
    {16, DDPF_RGB, 0x7C00, 0x03E0, 0x001F, 0, 4},
    {16, DDPF_RGB | DDPF_ALPHAPIXELS, 0x7C00, 0x03E0, 0x001F, 0x8000, 64},
    {16, DDPF_RGB | DDPF_ALPHAPIXELS, 0x0F00, 0x00F0, 0x000F, 0xF000, 128},
};

IDirectDrawSurface7* MakeSurface(IDirectDraw7* dd, FuzzInput& in, const Format& f, uint32_t* code)
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = 1 + in.U32() % 64;
    d.dwHeight = 1 + in.U32() % 64;
    d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    d.ddpfPixelFormat.dwFlags = f.flags;
    d.ddpfPixelFormat.dwRGBBitCount = f.bits;
    d.ddpfPixelFormat.dwRBitMask = f.r;
    d.ddpfPixelFormat.dwGBitMask = f.g;
    d.ddpfPixelFormat.dwBBitMask = f.b;
    d.ddpfPixelFormat.dwRGBAlphaBitMask = f.a;
    // The format code the display layer recorded: usually right, sometimes stale.
    const uint32_t pick = in.U32();
    *code = (pick & 7) == 0 ? kFormats[(pick >> 3) % std::size(kFormats)].code : f.code;
    IDirectDrawSurface7* s = nullptr;
    if (FAILED(dd->CreateSurface(&d, &s, nullptr)))
        return nullptr;
    DDSURFACEDESC2 lock{};
    lock.dwSize = sizeof(lock);
    if (SUCCEEDED(s->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr))) {
        BYTE* p = static_cast<BYTE*>(lock.lpSurface);
        for (DWORD j = 0; j < lock.dwHeight; ++j)
            for (LONG i = 0; i < lock.lPitch; ++i)
                p[j * lock.lPitch + i] = static_cast<BYTE>(i * 7 + j * 13);
        s->Unlock(nullptr);
    }
    if (in.U32() & 1) {
        DDCOLORKEY key{in.U32() & 0xFF, 0};
        key.dwColorSpaceHighValue = key.dwColorSpaceLowValue;
        s->SetColorKey(DDCKEY_SRCBLT, &key);
    }
    return s;
}

int32_t Progress(FuzzInput& in)
{
    const uint32_t v = in.U32();
    switch (v & 7) {
    case 0: return static_cast<int32_t>(v);
    case 1: return static_cast<int32_t>(v >> 3) % 600 - 300;
    default: return static_cast<int32_t>((v >> 3) % 258);
    }
}

int32_t Mode(FuzzInput& in)
{
    const uint32_t v = in.U32();
    return (v & 0xF0) == 0xF0 ? static_cast<int32_t>(v) : static_cast<int32_t>(v % 4);
}

void RunMemory(FuzzInput& in, int32_t index)
{
    CImage dst, src;
    const int dstBpp = (in.U32() & 3) == 0 ? 8 : 32;
    const int srcBpp = (in.U32() & 3) == 0 ? 8 : 32;
    if (dst.Create(1 + in.U32() % 64, 1 + in.U32() % 64, dstBpp, in.U32() & kImageWithTracker) != 0 ||
        src.Create(1 + in.U32() % 64, 1 + in.U32() % 64, srcBpp, 0) != 0) {
        return;
    }
    for (LONG y = 0; y < src.GetHeight(); ++y)
        for (LONG x = 0; x < src.GetPitch(); ++x)
            src.GetRowAddress(y)[x] = static_cast<uint8_t>(x * 7 + y * 13);
    const uint32_t clips = in.U32();
    const RECT dstClip = Rect(in), srcClip = Rect(in);
    if (clips & 1)
        dst.ClipRectToSize(&dstClip);
    if (clips & 2)
        src.ClipRectToSize(&srcClip);
    const uint32_t keys = in.U32();
    if (keys & 1)
        src.SetColorKeyAt(static_cast<LONG>(keys >> 8) % src.GetWidth(), static_cast<LONG>(keys >> 16) % src.GetHeight());
    else if (keys & 2)
        src.SetColorKeyRgb(static_cast<BYTE>(keys >> 8), static_cast<BYTE>(keys >> 16), static_cast<BYTE>(keys >> 24));
    CImage* source = (in.U32() & 7) == 0 ? &dst : &src;
    for (int step = 0; step < 4; ++step) {
        const int32_t progress = Progress(in);
        const int32_t mode = Mode(in);
        const int32_t x = Coord(in), y = Coord(in);
        DrawTransition(index, &dst, source, progress, x, y, mode, nullptr);
        if (in.AtEnd())
            break;
    }
}

void RunDevice(FuzzInput& in, int32_t index)
{
    IDirectDraw7* dd = nullptr;
    if (FAILED(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr)))
        return;
    // Source and destination share a format, as surfaces of one display do; sometimes not.
    const Format& f = kFormats[in.U32() % std::size(kFormats)];
    const Format& g = (in.U32() & 7) == 0 ? kFormats[in.U32() % std::size(kFormats)] : f;
    uint32_t dstCode = 0, srcCode = 0;
    IDirectDrawSurface7* dstSurface = MakeSurface(dd, in, f, &dstCode);
    IDirectDrawSurface7* srcSurface = MakeSurface(dd, in, g, &srcCode);
    if (dstSurface != nullptr && srcSurface != nullptr) {
        CMemoryDeviceImage dst(dstSurface, 0, dstCode);
        const bool onItself = (in.U32() & 7) == 0;
        CMemoryDeviceImage src(onItself ? dstSurface : srcSurface, static_cast<uint8_t>(in.U32() & 1),
                              onItself ? dstCode : srcCode);
        const uint32_t clips = in.U32();
        const RECT dstClip = Rect(in);
        if (clips & 1)
            dst.ClipRectToSize(&dstClip);
        if (clips & 2)
            src.SetKey((clips & 4) ? kNoColorKey - 1 : (in.U32() & 0xFF));
        const uint32_t screenKind = in.U32();
        const RECT screenRect = Rect(in);
        FuzzScreen screen((screenKind & 2) ? dstSurface : nullptr, screenRect);
        const CDisplayTarget* target = (screenKind & 1) ? &screen : nullptr;
        for (int step = 0; step < 4; ++step) {
            const int32_t progress = Progress(in);
            const int32_t mode = Mode(in);
            const int32_t x = Coord(in), y = Coord(in);
            DrawTransition(index, &dst, &src, progress, x, y, mode, target);
            if (in.AtEnd())
                break;
        }
    }
    if (srcSurface != nullptr)
        srcSurface->Release();
    if (dstSurface != nullptr)
        dstSurface->Release();
    dd->Release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CCosTable cosTable;
    FuzzInput in{data, size};
    const uint32_t head = in.U32();
    // Now and then no cosine table, which the rotating entries must refuse.
    g_pCosTable = (head & 0x3F) == 0x3F ? nullptr : &cosTable;
    SeedSubtractiveRandom(g_RandomState, static_cast<int32_t>(in.U32()));
    const uint32_t pick = in.U32();
    const int32_t index = (pick & 0x3F00) == 0x3F00 ? static_cast<int32_t>(pick)
                                                     : static_cast<int32_t>(pick % (kTransitionCount + 2)) - 1;
    if (head & 0x40)
        RunDevice(in, index);
    else
        RunMemory(in, index);
    return 0;
}
