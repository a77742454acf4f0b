// Fuzz harness of the pixel library: the input chooses a pixel-library operation, a raster
// operation that hands its work to the library, or an entry called directly, with pictures of
// any size and depth (empty ones, the destination as its own source), rectangles and sizes near
// the 32-bit limits, zero and negative sizes, corners and transforms with NaN, infinities and
// 1e300, modes, filters, opacities and rule pictures. Nothing may read or write outside them.
#include "files/pixel_library.h"
#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "raster/blend_mode_ops.h"
#include "raster/compose_ops.h"
#include "raster/fill_ops.h"
#include "raster/pixel_lib_ops.h"
#include "raster/rotate_ops.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint32_t U32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= uint32_t(Byte()) << (8 * i);
        }
        return v;
    }
    // Usually near the pictures; sometimes at the ends of the 32-bit range.
    int32_t Coord()
    {
        const uint8_t kind = Byte();
        if (kind < 180) {
            return int32_t(int8_t(Byte()));
        }
        if (kind < 220) {
            const int32_t edge[] = {INT32_MIN,     INT32_MIN + 1, INT32_MAX,
                                    INT32_MAX - 1, 0x40000000,    -0x40000000};
            return int32_t(uint32_t(edge[Byte() % 6]) + uint32_t(int32_t(int8_t(Byte()))));
        }
        return int32_t(U32());
    }
    RECT Rect() { return RECT{Coord(), Coord(), Coord(), Coord()}; }
    double Real()
    {
        switch (Byte() % 8) {
        case 0:
            return std::numeric_limits<double>::quiet_NaN();
        case 1:
            return INFINITY;
        case 2:
            return -INFINITY;
        case 3:
            return Byte() & 1 ? 1e300 : -1e300;
        case 4:
            return double(int32_t(U32())) / 1024.0;
        default:
            return double(int8_t(Byte())) / 4.0;
        }
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// A picture of the input's choosing: none, empty, 8- or 32-bit of up to 40 x 40 pixels.
std::unique_ptr<CImage> Picture(Reader& in)
{
    const uint8_t kind = in.Byte() % 8;
    if (kind == 0) {
        return nullptr;
    }
    auto image = std::make_unique<CImage>();
    if (kind == 1) {
        return image;
    }
    const int bpp = kind == 2 ? 8 : 32;
    if (image->Create(1 + in.Byte() % 40, 1 + in.Byte() % 40, bpp, kImageWithTracker) != 0) {
        return nullptr;
    }
    for (LONG y = 0; y < image->GetHeight(); ++y) {
        for (LONG x = 0; x < image->GetPitch(); ++x) {
            image->GetRowAddress(y)[x] = uint8_t(x * 11 + y * 5 + kind);
        }
    }
    if (in.Byte() % 8 == 0) {
        RECT clip = in.Rect();
        image->ClipRectToSize(&clip);
    }
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CCosTable cosTable;
    static std::unique_ptr<CPixelLibrary> library = [] {
        RegisterPixelLibraryModule();
        return std::unique_ptr<CPixelLibrary>(LoadPixelLibrary("Z:\\Game\\tvpgl.dll", nullptr));
    }();
    g_pCosTable = &cosTable;
    SetPixelLibrary(library.get());
    Reader in(data, size);
    g_bUseMmx = in.Byte() & 1;
    std::unique_ptr<CImage> pictures[4];
    for (auto& p : pictures) {
        p = Picture(in);
    }
    if (!pictures[0]) {
        return 0;
    }
    CImage& d = *pictures[0];
    // The destination as its own source, or another picture.
    const CImage* s1 = in.Byte() % 4 == 0 ? &d : pictures[1].get();
    const CImage* s2 = in.Byte() % 4 == 0 ? &d : pictures[2].get();
    const CImage* rule = pictures[3].get();
    RECT rect = in.Rect();
    const RECT* rectArg = in.Byte() & 1 ? &rect : nullptr;
    const SIZE dstSize{in.Coord(), in.Coord()};
    const LONG x = in.Coord(), y = in.Coord();
    const DWORD mode = in.Byte() % 40, filter = in.Byte(), opacity = in.Byte() % 4 ? in.Byte() : in.U32();
    const DWORD clear = in.Byte() & 1, fill = in.U32();
    const PixelLibPoint corners[3] = {{in.Real(), in.Real()}, {in.Real(), in.Real()}, {in.Real(), in.Real()}};
    const PixelLibTransform t{in.Real(), in.Real(), in.Real(), in.Real(), in.Real(), in.Real()};
    const LONG a[10] = {in.Coord(), in.Coord(), in.Coord(), in.Coord(), in.Coord(),
                        in.Coord(), in.Coord(), in.Coord(), in.Coord(), in.Coord()};
    RECT out;
    const BYTE level = BYTE(opacity);
    switch (in.Byte() % 28) {
    case 0:
        PixelLibOp5(d, in.U32(), opacity, mode % 4, rectArg);
        break;
    case 1:
        PixelLibOp7(d, level, rectArg);
        break;
    case 2:
        PixelLibBlend(d, s1, mode, opacity, 0, x, y, rectArg);
        break;
    case 3:
        PixelLibStretchCopy(d, s1, mode, filter, opacity, 0, &dstSize, x, y, rectArg);
        break;
    case 4:
        PixelLibOp11(d, s1, corners, rectArg, mode, filter, opacity, 0, clear, fill, &out);
        break;
    case 5:
        PixelLibOp12(d, s1, &t, rectArg, mode, filter, opacity, 0, clear, fill, &out);
        break;
    case 6:
        PixelLibOp14(d, rectArg);
        PixelLibOp16(d, rectArg);
        break;
    case 7:
        PixelLibOp13(d, 1, 2, 3, 4);
        PixelLibOp21(d, level);
        PixelLibOp23(d, 1);
        PixelLibOp24(d, 2);
        break;
    case 8:
        PixelLibOp25(d, s1, s2, opacity, 0, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
        break;
    case 9:
        PixelLibOp26(d, s1, s2, rule, opacity, in.U32() % 1000, 0, a[0], a[1], a[2], a[3], a[4], a[5], a[6],
                     a[7], a[8], a[9]);
        break;
    case 10:
        d.FillRect(1, 2, 3, rectArg);
        d.FillRect32(in.U32(), rectArg);
        break;
    case 11:
        d.FillRgbKeepAlpha(4, 5, 6, rectArg);
        FillRectAlpha(d, 7, 8, 9, level, rectArg);
        break;
    case 12:
        d.StretchCopy(s1, in.Byte() & 1 ? &dstSize : nullptr, x, y, rectArg, false);
        break;
    case 13:
        d.BlendAlpha(s1, x, y, rectArg, false);
        break;
    case 14:
        d.StretchBlendAlpha(s1, &dstSize, x, y, rectArg, false);
        break;
    case 15:
        CrossFade(d, s1, level, x, y, rectArg);
        break;
    case 16:
        StretchCrossFade(d, s1, level, &dstSize, x, y, rectArg);
        break;
    case 17:
        AddBlendOpacity(d, s1, level, x, y, rectArg);
        break;
    case 18:
        BlendAlphaTable(d, mode % 4, s1, level, x, y, rectArg);
        break;
    case 19:
        StretchBlendAlphaTable(d, mode % 4, s1, level, &dstSize, x, y, rectArg);
        break;
    case 20:
        BlendAlphaOnAlpha(d, s1, level, x, y, rectArg);
        break;
    case 21:
        StretchBlendAlphaOnAlpha(d, s1, level, &dstSize, x, y, rectArg);
        break;
    case 22:
        RotateZoom(d, s1, in.Byte(), x, y, int(in.U32()), int(in.U32()), rectArg, nullptr);
        break;
    case 23:
        RotateZoomBlend(d, s1, in.Byte(), x, y, int(in.U32()), int(in.U32()), level, rectArg, &rect);
        break;
    case 24: {
        // Pixel runs of the first two pictures' first rows.
        if (s1 && s2 && s1->GetBits() && s2->GetBits() && s1->GetBitsPerPixel() == 32 &&
            s2->GetBitsPerPixel() == 32 && d.GetBits() && d.GetBitsPerPixel() == 32) {
            const int n = int(std::min<LONG>({d.GetWidth(), s1->GetWidth(), s2->GetWidth()})) - int(in.Byte() % 3);
            g_PixelLibFuncs.fadePixels(reinterpret_cast<DWORD*>(d.GetBits()),
                                       reinterpret_cast<const DWORD*>(s1->GetBits()),
                                       reinterpret_cast<const DWORD*>(s2->GetBits()), n, opacity);
        }
        break;
    }
    case 25:
        g_PixelLibFuncs.fillColorMode(&d, in.U32(), opacity, rectArg, mode);
        break;
    case 26:
        g_PixelLibFuncs.drawQuad(&d, s1, corners, rectArg, mode, filter, opacity, 0, clear, fill, nullptr);
        break;
    default:
        g_PixelLibFuncs.stretchBlend(&d, s1, &dstSize, x, y, rectArg, mode, filter, opacity, 0);
        break;
    }
    SetPixelLibrary(nullptr);
    return 0;
}
