// The clip computations and the copy and blend operations over arbitrary rectangles, sizes,
// positions, clips, depths and flips; the SIMD switch is taken from the input too.
#include "platform/cpu_info.h"
#include "raster/dib_surface.h"
#include "raster/image.h"
#include "support/fuzz_input.h"

#include <cstdint>

namespace {

// Mostly small values near the images, sometimes the extremes of the 32-bit range.
int32_t Coord(FuzzInput& in)
{
    const uint32_t v = in.U32();
    return (v & 0xC0000000u) == 0xC0000000u ? static_cast<int32_t>(v) : static_cast<int32_t>(v % 80) - 30;
}

RECT Rect(FuzzInput& in)
{
    return RECT{Coord(in), Coord(in), Coord(in), Coord(in)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    const int dstBpp = (in.U32() & 1) ? 32 : 8;
    const int srcBpp = (in.U32() & 1) ? 32 : 8;
    CImage dst, src;
    if (dst.Create(1 + in.U32() % 40, 1 + in.U32() % 40, dstBpp, in.U32() & 3) != 0 ||
        src.Create(1 + in.U32() % 40, 1 + in.U32() % 40, srcBpp, 0) != 0) {
        return 0;
    }
    const RECT dstClip = Rect(in);
    const RECT srcClip = Rect(in);
    dst.ClipRectToSize(&dstClip);
    src.ClipRectToSize(&srcClip);
    if (in.U32() & 1) {
        src.SetColorKeyAt(0, 0);
    }
    g_bUseMmx = static_cast<uint8_t>(in.U32() & 1);
    for (int step = 0; step < 8 && !in.AtEnd(); ++step) {
        const uint32_t op = in.U32() % 12;
        const uint8_t mode = static_cast<uint8_t>(in.U32() % 3);
        const RECT srcRect = Rect(in);
        const RECT* rect = (in.U32() & 1) ? &srcRect : nullptr;
        const LONG x = Coord(in), y = Coord(in);
        const SIZE dstSize{Coord(in), Coord(in)};
        const bool onItself = (in.U32() & 7) == 0;
        const CSurface* source = onItself ? static_cast<const CSurface*>(&dst) : &src;
        switch (op) {
        case 0: dst.Copy(source, x, y, rect, mode & 1); break;
        case 1: dst.StretchCopy(source, &dstSize, x, y, rect, mode & 1); break;
        case 2: dst.CopyFlip(source, mode, x, y, rect); break;
        case 3: dst.StretchCopyFlip(source, mode, &dstSize, x, y, rect); break;
        case 4: dst.BlendAlphaFlip(source, mode, x, y, rect); break;
        case 5: dst.StretchBlendAlphaFlip(source, mode, &dstSize, x, y, rect); break;
        case 6: dst.CopyAlphaPlaneFlip(source, mode, x, y, rect); break;
        case 7: dst.StretchCopyAlphaPlaneFlip(source, mode, &dstSize, x, y, rect); break;
        case 8: dst.StretchCopyColorKeepAlpha(source, &dstSize, x, y, rect); break;
        case 9: dst.CopyAlphaKeepColor(source, x, y, rect); break;
        case 10: {
            RECT a = Rect(in), b = Rect(in);
            const RECT clipB = Rect(in);
            StretchSteps steps;
            dst.MapStretchRects(&a, &b, &clipB, &steps);
            break;
        }
        default: {
            RECT s = srcRect, d;
            const RECT clip = Rect(in);
            ClipBlitRects(x, y, &s, &d, &clip, (mode & 1) ? &dstSize : nullptr);
            dst.FillRgbKeepAlpha(1, 2, 3, rect);
            break;
        }
        }
    }
    return 0;
}
