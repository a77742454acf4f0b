// The clip computations and the copy and blend operations over arbitrary rectangles, sizes,
// positions, clips, depths and flips; the SIMD switch is taken from the input too.
#include "platform/cpu_info.h"
#include "raster/dib_surface.h"
#include "raster/image.h"

#include <cstdint>

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    uint32_t U32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= static_cast<uint32_t>(pos < size ? data[pos++] : 0) << (8 * i);
        }
        return v;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    // Mostly small values near the images, sometimes the extremes of the 32-bit range.
    int32_t Coord()
    {
        const uint32_t v = U32();
        return (v & 0xC0000000u) == 0xC0000000u ? static_cast<int32_t>(v) : static_cast<int32_t>(v % 80) - 30;
    }
    RECT Rect() { return RECT{Coord(), Coord(), Coord(), Coord()}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Reader in{data, size};
    const int dstBpp = (in.U32() & 1) ? 32 : 8;
    const int srcBpp = (in.U32() & 1) ? 32 : 8;
    CImage dst, src;
    if (dst.Create(1 + in.U32() % 40, 1 + in.U32() % 40, dstBpp, in.U32() & 3) != 0 ||
        src.Create(1 + in.U32() % 40, 1 + in.U32() % 40, srcBpp, 0) != 0) {
        return 0;
    }
    const RECT dstClip = in.Rect();
    const RECT srcClip = in.Rect();
    dst.ClipRectToSize(&dstClip);
    src.ClipRectToSize(&srcClip);
    if (in.U32() & 1) {
        src.SetColorKeyAt(0, 0);
    }
    g_bUseMmx = static_cast<uint8_t>(in.U32() & 1);
    for (int step = 0; step < 8 && in.pos < in.size; ++step) {
        const uint32_t op = in.U32() % 12;
        const uint8_t mode = static_cast<uint8_t>(in.U32() % 3);
        const RECT srcRect = in.Rect();
        const RECT* rect = (in.U32() & 1) ? &srcRect : nullptr;
        const LONG x = in.Coord(), y = in.Coord();
        const SIZE dstSize{in.Coord(), in.Coord()};
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
            RECT a = in.Rect(), b = in.Rect();
            const RECT clipB = in.Rect();
            StretchSteps steps;
            dst.MapStretchRects(&a, &b, &clipB, &steps);
            break;
        }
        default: {
            RECT s = srcRect, d;
            const RECT clip = in.Rect();
            ClipBlitRects(x, y, &s, &d, &clip, (mode & 1) ? &dstSize : nullptr);
            dst.FillRgbKeepAlpha(1, 2, 3, rect);
            break;
        }
        }
    }
    return 0;
}
