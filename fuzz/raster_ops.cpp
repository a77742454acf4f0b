// Fuzz harness of the raster operations: quad mapping (copy, keyed, blend), rotation and zoom,
// smooth and stretched copies, and the blends, rule blends, filters and fills, over picture sizes,
// depths, placements, rectangles, quads, angles, zooms and rule images taken from the input.
// Nothing may read or write outside the pictures.
#include "platform/cos_table.h"
#include "raster/blend_mode_ops.h"
#include "raster/blur_ops.h"
#include "raster/compose_ops.h"
#include "raster/fill_ops.h"
#include "raster/image.h"
#include "raster/rotate_ops.h"
#include "raster/scale_ops.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint32_t U32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= uint32_t(Byte()) << (8 * i);
        }
        return v;
    }
    int32_t I32() { return int32_t(U32()); }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    // A coordinate that is usually near the pictures but can be anything.
    int32_t Coord()
    {
        const uint8_t kind = Byte();
        return kind < 200 ? int32_t(int8_t(Byte())) : I32();
    }
    RECT Rect() { return RECT{Coord(), Coord(), Coord(), Coord()}; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CCosTable cosTable;
    g_pCosTable = &cosTable;
    Reader in(data, size);
    CImage dst, src;
    const int dstBpp = in.Byte() & 1 ? 8 : 32;
    const int srcBpp = in.Byte() & 1 ? 8 : 32;
    if (dst.Create(1 + in.Byte() % 48, 1 + in.Byte() % 48, dstBpp, kImageWithTracker) != 0 ||
        src.Create(1 + in.Byte() % 48, 1 + in.Byte() % 48, srcBpp, 0) != 0) {
        return 0;
    }
    for (LONG y = 0; y < src.GetHeight(); ++y) {
        for (LONG x = 0; x < src.GetPitch(); ++x) {
            src.GetRowAddress(y)[x] = uint8_t(x * 7 + y * 13);
        }
    }
    if (in.Byte() & 1) {
        src.SetColorKeyAt(0, 0);
    }
    RECT clip = in.Rect();
    const RECT* clipArg = in.Byte() & 1 ? &clip : nullptr;
    RECT srcRect = in.Rect();
    const RECT* srcRectArg = in.Byte() & 1 ? &srcRect : nullptr;
    POINT quad[4];
    for (POINT& p : quad) {
        p = POINT{in.Coord(), in.Coord()};
    }
    POINT srcQuad[4];
    for (POINT& p : srcQuad) {
        p = POINT{in.Coord(), in.Coord()};
    }
    const LONG x = in.Coord(), y = in.Coord();
    const int angle = in.I32();
    const int zoom = in.Byte() & 1 ? in.I32() : int(in.Byte()) << 10;
    const BYTE level = in.Byte();
    const SIZE dstSize{in.Coord(), in.Coord()};
    CImage rule;
    const bool haveRule = rule.Create(1 + in.Byte() % 48, 1 + in.Byte() % 48, in.Byte() & 1 ? 32 : 8, 0) == 0;
    const int progress = int(in.U32() % 700) - 50;
    const int softness = int(in.U32() % 600) - 20;
    const BYTE mode = in.Byte();
    switch (in.Byte() % 24) {
    case 0: MapQuad(dst, &src, quad, srcRectArg, clipArg); break;
    case 1: MapQuadToRect(dst, &src, srcQuad, srcRectArg, clipArg); break;
    case 2: MapQuadCore(dst, &src, quad, srcQuad, clipArg, level & 1); break;
    case 3: MapQuadBlend(dst, &src, quad, srcQuad, level, clipArg, level & 1); break;
    case 4: RotateZoom(dst, &src, in.Byte(), x, y, angle, zoom, srcRectArg, clipArg); break;
    case 5: RotateZoomBlend(dst, &src, in.Byte(), x, y, angle, zoom, level, srcRectArg, clipArg); break;
    case 6: SmoothStretchCopy(dst, &src, &dstSize, x, y, srcRectArg); break;
    case 7: StretchCrossFade(dst, &src, level, &dstSize, x, y, srcRectArg); break;
    case 8: StretchBlendAlphaTable(dst, level % 4, &src, level, &dstSize, x, y, srcRectArg); break;
    case 9: BlendByRule(dst, &src, haveRule && (mode & 1) ? &rule : nullptr, level, progress, softness, x, y, srcRectArg); break;
    case 10: BlendAlphaByRule(dst, &src, haveRule ? &rule : nullptr, level, progress, softness, x, y, srcRectArg); break;
    case 11: BlurBlend(dst, &src, mode, level, x, y, srcRectArg); break;
    case 12: BlurBlendAlpha(dst, &src, mode, level, x, y, srcRectArg); break;
    case 13: PaintThroughMask(dst, mode % 4, haveRule ? &rule : nullptr, level, 1, 2, 3, x, y, srcRectArg); break;
    case 14: BlendMode(dst, mode % 4, &src, x, y, srcRectArg); break;
    case 15: StretchMixChannels(dst, &src, in.U32(), in.U32(), &dstSize, x, y, srcRectArg); break;
    case 16: StretchBlendAlphaOnAlpha(dst, &src, level, &dstSize, x, y, srcRectArg); break;
    case 17: CrossFadeAlphaAware(dst, &src, level, x, y, srcRectArg); break;
    case 18: FillRectAlpha(dst, 1, 2, 3, level, srcRectArg); AddColor(dst, 9, 8, 7, clipArg); break;
    case 19: Grayscale(dst, srcRectArg); Colorize(dst, mode, level, 128, progress % 300, 0, 0, clipArg); break;
    case 20: Invert(dst, mode, srcRectArg); GradientFill(dst, mode % 3, in.U32(), in.U32(), clipArg); break;
    case 21: Blur(dst, mode, srcRectArg); break;
    case 22: Mosaic(dst, in.U32() % 70, mode, srcRectArg); break;
    default: AdjustAlphaLevel(dst, progress, srcRectArg); ScaleOffsetAlpha(dst, softness, progress % 300, clipArg); break;
    }
    return 0;
}
