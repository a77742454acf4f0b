// DIB rows to the loads' output forms. Colour rules: palette bitmaps give the index (8-bit), the
// entry's four bytes (32-bit without alpha) or the entry with alpha 255; 16-bit pixels are 5-5-5;
// gray = (77 R + 150 G + 29 B) >> 8.
#include "files/bmp_convert.h"

#include <cstring>

namespace {

inline BYTE GrayOf(unsigned r, unsigned g, unsigned b) { return static_cast<BYTE>((r * 77 + g * 150 + b * 29) >> 8); }

}  // namespace

bool ConvertBitmapRows(BYTE* dst, int dstPitch, EBitmapConversion kind, const BITMAPINFOHEADER* header,
                       const BYTE* bits, int srcPitch, int width, int height)
{
    if (dst == nullptr || header == nullptr || bits == nullptr || width <= 0 || height <= 0)
        return false;
    const int bitCount = header->biBitCount;
    if (header->biHeight < height || header->biWidth < width)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return false;
    if (bitCount <= 8 && header->biCompression != BI_RGB)
        return false;
    const BYTE* table = reinterpret_cast<const BYTE*>(header) + header->biSize;
    for (int y = 0; y < height; ++y) {
        // The DIB is bottom-up: picture row y is stored row (height - 1 - y).
        const BYTE* row = bits + static_cast<ptrdiff_t>(srcPitch) * (header->biHeight - 1 - y);
        BYTE* out = dst + static_cast<ptrdiff_t>(dstPitch) * y;
        for (int x = 0; x < width; ++x) {
            unsigned index = 0;
            unsigned r = 0;
            unsigned g = 0;
            unsigned b = 0;
            unsigned a = 0;
            bool indexed = false;
            switch (bitCount) {
            case 1:
                index = (row[x >> 3] >> (7 - (x & 7))) & 1;
                indexed = true;
                break;
            case 4:
                index = (x & 1) == 0 ? row[x >> 1] >> 4 : row[x >> 1] & 15;
                indexed = true;
                break;
            case 8:
                index = row[x];
                indexed = true;
                break;
            case 16: {
                const unsigned v = row[x * 2] | (row[x * 2 + 1] << 8);
                r = ((v >> 10) & 31) << 3;
                g = ((v >> 5) & 31) << 3;
                b = (v & 31) << 3;
                break;
            }
            case 24:
                b = row[x * 3];
                g = row[x * 3 + 1];
                r = row[x * 3 + 2];
                break;
            default:
                b = row[x * 4];
                g = row[x * 4 + 1];
                r = row[x * 4 + 2];
                a = row[x * 4 + 3];
                break;
            }
            if (indexed) {
                const BYTE* e = table + index * 4;
                b = e[0];
                g = e[1];
                r = e[2];
                a = e[3];
            }
            switch (kind) {
            case kConvertTo8:
                out[x] = indexed ? static_cast<BYTE>(index) : GrayOf(r, g, b);
                break;
            case kConvertTo32:
                out[x * 4 + 0] = static_cast<BYTE>(b);
                out[x * 4 + 1] = static_cast<BYTE>(g);
                out[x * 4 + 2] = static_cast<BYTE>(r);
                out[x * 4 + 3] = static_cast<BYTE>(bitCount == 32 ? a : 255);
                break;
            default:
                out[x * 4 + 0] = static_cast<BYTE>(b);
                out[x * 4 + 1] = static_cast<BYTE>(g);
                out[x * 4 + 2] = static_cast<BYTE>(r);
                out[x * 4 + 3] = static_cast<BYTE>(indexed ? a : 0);
                break;
            }
        }
    }
    return true;
}
