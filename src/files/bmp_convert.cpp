// DIB rows to the loads' output forms, through the raster's DIB conversions (the loaders' picture
// conversions are those of the memory images).
#include "files/bmp_convert.h"

#include "raster/dib_convert.h"

bool ConvertBitmapRows(BYTE* dst, int dstPitch, EBitmapConversion kind, const BITMAPINFOHEADER* header,
                       const BYTE* bits, int srcPitch, int width, int height)
{
    if (dst == nullptr || header == nullptr || bits == nullptr || width <= 0 || height <= 0)
        return false;
    const RECT rect = {0, 0, width, height};
    const POINT origin = {0, 0};
    const auto* info = reinterpret_cast<const BITMAPINFO*>(header);
    switch (kind) {
    case kConvertTo8:
        return ConvertDibTo8(dst, rect, dstPitch, info, bits, srcPitch, origin);
    case kConvertTo32:
        return ConvertDibTo32(dst, rect, dstPitch, info, bits, srcPitch, origin);
    default:
        return ConvertDibTo32NoAlpha(dst, rect, dstPitch, info, bits, srcPitch, origin);
    }
}
