// The DIB conversions over arbitrary headers, colour tables, pixels, origins and rectangles. The
// harness allocates exactly what a header promises (its rows at the given pitch and a full colour
// table), so any read past that is a fault of the conversions.
#include "raster/dib_convert.h"
#include "support/fuzz_input.h"

#include <cstdint>
#include <cstring>
#include <vector>


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * 4);
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = in.I32() % 80;
    header.biHeight = in.I32() % 80;
    header.biBitCount = static_cast<WORD>(in.U32());
    header.biCompression = in.U32() % 5;
    header.biClrUsed = in.U32();
    std::memcpy(info.data(), &header, sizeof header);
    for (size_t i = 0; i < 256 * 4; ++i) {
        info[sizeof header + i] = static_cast<uint8_t>(in.U32());
    }
    const LONG srcPitch = in.I32() % 400;
    const POINT origin{in.I32() % 100, in.I32() % 100};
    const RECT rect{in.I32() % 40, in.I32() % 40, in.I32() % 90, in.I32() % 90};
    const uint32_t height = static_cast<uint32_t>(header.biHeight < 0 ? -header.biHeight : header.biHeight);
    std::vector<uint8_t> bits(srcPitch > 0 ? static_cast<size_t>(srcPitch) * height : 0);
    for (uint8_t& b : bits) {
        b = !in.AtEnd() ? in.data[in.pos++] : 0;
    }
    // A destination that holds the rectangle at 4 bytes a pixel, rows of 90 pixels.
    const LONG dstPitch = 90 * 4;
    std::vector<uint8_t> dst(static_cast<size_t>(dstPitch) * 90);
    const DibConverter converters[] = {ConvertDibTo32,         ConvertDibTo32NoAlpha,  ConvertDibTo8,
                                       ConvertDibTo16Argb4444, ConvertDibTo16Argb1555, ConvertDibTo24,
                                       ConvertDibTo16Rgb565,   ConvertDibTo16Rgb555};
    const BYTE* srcBits = bits.empty() ? reinterpret_cast<const BYTE*>("") : bits.data();
    for (DibConverter convert : converters) {
        convert(dst.data(), rect, dstPitch, reinterpret_cast<const BITMAPINFO*>(info.data()), srcBits, srcPitch,
                origin);
    }
    return 0;
}
