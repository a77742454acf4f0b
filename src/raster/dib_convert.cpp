#include "raster/dib_convert.h"

#include "winapi/simd_level.h"

#include <cstring>

#include <immintrin.h>

namespace {

struct Quad {
    uint32_t b, g, r, a;
};

// What the header promises, checked before any pixel is read.
struct Source {
    const BYTE* bits;
    LONG pitch;
    int bitCount;
    LONG width;
    LONG height;
    bool bottomUp;
    const RGBQUAD* table;
    int tableCount;
};

bool CheckSource(const BITMAPINFO* info, const BYTE* srcBits, LONG srcPitch, const RECT& dstRect, POINT origin,
                 Source& out)
{
    if (!info || !srcBits) {
        return false;
    }
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int bits = h.biBitCount;
    switch (bits) {
    case 1:
    case 4:
    case 8:
    case 24:
        if (h.biCompression != BI_RGB) {
            return false;
        }
        break;
    case 16:
    case 32:
        if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) {
            return false;
        }
        break;
    default:
        return false;
    }
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) {
        return false;
    }
    const int64_t width = h.biWidth;
    const int64_t height = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
    const int64_t rowBytes = (width * bits + 7) / 8;
    if (srcPitch < rowBytes) {
        return false;
    }
    const int64_t w = static_cast<int64_t>(dstRect.right) - dstRect.left;
    const int64_t hgt = static_cast<int64_t>(dstRect.bottom) - dstRect.top;
    if (w < 0 || hgt < 0 || dstRect.left < 0 || dstRect.top < 0) {
        return false;
    }
    if (origin.x < 0 || origin.y < 0 || origin.x + w > width || origin.y + hgt > height) {
        return false;
    }
    out.bits = srcBits;
    out.pitch = srcPitch;
    out.bitCount = bits;
    out.width = static_cast<LONG>(width);
    out.height = static_cast<LONG>(height);
    out.bottomUp = h.biHeight > 0;
    out.table = info->bmiColors;
    out.tableCount = 0;
    if (bits <= 8) {
        const uint32_t full = 1u << bits;
        out.tableCount = static_cast<int>(h.biClrUsed == 0 || h.biClrUsed > full ? full : h.biClrUsed);
    }
    return true;
}

// Image row y of the source.
inline const BYTE* SourceRow(const Source& s, LONG y)
{
    const LONG memoryRow = s.bottomUp ? s.height - 1 - y : y;
    return s.bits + static_cast<ptrdiff_t>(memoryRow) * s.pitch;
}

inline int IndexAt(const Source& s, const BYTE* row, LONG x)
{
    switch (s.bitCount) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    default:
        return row[x];
    }
}

// Entries past the colour table read as black.
inline Quad TableEntry(const Source& s, int index)
{
    if (index >= s.tableCount) {
        return Quad{0, 0, 0, 0};
    }
    const RGBQUAD& q = s.table[index];
    return Quad{q.rgbBlue, q.rgbGreen, q.rgbRed, q.rgbReserved};
}

// Whole words (a little-endian host): the same bytes as the per-channel rule, a pixel at a time.
void Expand24Plain(BYTE* d, const BYTE* p, LONG w, uint32_t alpha)
{
    for (LONG x = 0; x < w; ++x, p += 3, d += 4) {
        const uint32_t v = p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 | alpha;
        std::memcpy(d, &v, 4);
    }
}

// Four pixels a step by a byte shuffle. A step loads sixteen bytes for the twelve it uses, so it
// runs while two more pixels of the row follow; the rest goes a pixel at a time.
__attribute__((target("ssse3"))) void Expand24Ssse3(BYTE* d, const BYTE* p, LONG w, uint32_t alpha)
{
    const __m128i order = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i top = _mm_set1_epi32(static_cast<int>(alpha));
    LONG x = 0;
    for (; x + 6 <= w; x += 4, p += 12, d += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_or_si128(_mm_shuffle_epi8(v, order), top));
    }
    Expand24Plain(d, p, w - x, alpha);
}

// Eight pixels a step: the 24 bytes are spread to twelve in each half, then shuffled as above.
// A step loads 32 bytes, so it runs while three more pixels of the row follow.
__attribute__((target("avx2"))) void Expand24Avx2(BYTE* d, const BYTE* p, LONG w, uint32_t alpha)
{
    const __m256i spread = _mm256_setr_epi32(0, 1, 2, 2, 3, 4, 5, 5);
    const __m256i order = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, //
                                           0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i top = _mm256_set1_epi32(static_cast<int>(alpha));
    LONG x = 0;
    for (; x + 11 <= w; x += 8, p += 24, d += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i halves = _mm256_permutevar8x32_epi32(v, spread);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm256_or_si256(_mm256_shuffle_epi8(halves, order), top));
    }
    Expand24Ssse3(d, p, w - x, alpha);
}

using Expand24 = void (*)(BYTE*, const BYTE*, LONG, uint32_t);
// Chosen a call, from the SIMD level in use.
Expand24 PickExpand24()
{
    return UseAvx2() ? Expand24Avx2 : UseSsse3() ? Expand24Ssse3 : Expand24Plain;
}

// Walks the rectangle: Out gives the bytes per output pixel and the four source forms.
template <typename Out>
bool Convert(BYTE* dstBits, const RECT& dstRect, LONG dstPitch, const BITMAPINFO* info, const BYTE* srcBits,
             LONG srcPitch, POINT origin)
{
    Source s;
    if (!dstBits || !CheckSource(info, srcBits, srcPitch, dstRect, origin, s)) {
        return false;
    }
    const LONG w = dstRect.right - dstRect.left;
    const LONG h = dstRect.bottom - dstRect.top;
    if (w > 0 && dstPitch < static_cast<int64_t>(w) * Out::kBytes) {
        return false;
    }
    const Expand24 expand24 = PickExpand24();
    for (LONG y = 0; y < h; ++y) {
        const BYTE* row = SourceRow(s, origin.y + y);
        BYTE* d = dstBits + static_cast<ptrdiff_t>(dstRect.top + y) * dstPitch +
                  static_cast<ptrdiff_t>(dstRect.left) * Out::kBytes;
        // The source form is chosen once a row, so that the pixel loops stay plain (a picture
        // taken from the image cache is converted on every load).
        switch (s.bitCount) {
        case 1:
        case 4:
        case 8:
            for (LONG x = 0; x < w; ++x, d += Out::kBytes) {
                const int index = IndexAt(s, row, origin.x + x);
                Out::FromIndex(d, index, TableEntry(s, index));
            }
            break;
        case 16:
            for (LONG x = 0; x < w; ++x, d += Out::kBytes) {
                const BYTE* p = row + static_cast<ptrdiff_t>(origin.x + x) * 2;
                Out::From16(d, p[0] | static_cast<uint32_t>(p[1]) << 8);
            }
            break;
        case 24:
            if constexpr (requires { Out::kAlpha24; }) {
                expand24(d, row + static_cast<ptrdiff_t>(origin.x) * 3, w, Out::kAlpha24 << 24);
                break;
            }
            for (LONG x = 0; x < w; ++x, d += Out::kBytes) {
                const BYTE* p = row + static_cast<ptrdiff_t>(origin.x + x) * 3;
                Out::From24(d, Quad{p[0], p[1], p[2], 0});
            }
            break;
        default:
            if constexpr (requires { Out::kKeeps32; }) {
                // The pixels as they are.
                std::memcpy(d, row + static_cast<ptrdiff_t>(origin.x) * 4, static_cast<size_t>(w) * 4);
                break;
            }
            for (LONG x = 0; x < w; ++x, d += Out::kBytes) {
                const BYTE* p = row + static_cast<ptrdiff_t>(origin.x + x) * 4;
                Out::From32(d, Quad{p[0], p[1], p[2], p[3]});
            }
            break;
        }
    }
    return true;
}

inline void Put16(BYTE* d, uint32_t v)
{
    d[0] = static_cast<BYTE>(v);
    d[1] = static_cast<BYTE>(v >> 8);
}

inline void Put32(BYTE* d, uint32_t b, uint32_t g, uint32_t r, uint32_t a)
{
    d[0] = static_cast<BYTE>(b);
    d[1] = static_cast<BYTE>(g);
    d[2] = static_cast<BYTE>(r);
    d[3] = static_cast<BYTE>(a);
}

// The three 5-bit channels of an X1R5G5B5 word.
inline uint32_t R5(uint32_t v) { return (v >> 10) & 31; }
inline uint32_t G5(uint32_t v) { return (v >> 5) & 31; }
inline uint32_t B5(uint32_t v) { return v & 31; }

inline uint32_t Gray(uint32_t r, uint32_t g, uint32_t b)
{
    return (r * 77 + g * 150 + b * 29) >> 8;
}

struct To32 {
    static constexpr int kBytes = 4;
    static constexpr uint32_t kAlpha24 = 0xFF; // the alpha From24 writes
    static constexpr bool kKeeps32 = true;     // From32 writes its four bytes unchanged
    static void FromIndex(BYTE* d, int, Quad q) { Put32(d, q.b, q.g, q.r, 0xFF); }
    static void From16(BYTE* d, uint32_t v) { Put32(d, B5(v) * 8, G5(v) * 8, R5(v) * 8, 0xFF); }
    static void From24(BYTE* d, Quad q) { Put32(d, q.b, q.g, q.r, 0xFF); }
    static void From32(BYTE* d, Quad q) { Put32(d, q.b, q.g, q.r, q.a); }
};

struct To32NoAlpha {
    static constexpr int kBytes = 4;
    static constexpr uint32_t kAlpha24 = 0;
    static void FromIndex(BYTE* d, int, Quad q) { Put32(d, q.b, q.g, q.r, q.a); }
    static void From16(BYTE* d, uint32_t v) { Put32(d, B5(v) << 3, G5(v) << 3, R5(v) << 3, 0); }
    static void From24(BYTE* d, Quad q) { Put32(d, q.b, q.g, q.r, 0); }
    static void From32(BYTE* d, Quad q) { Put32(d, q.b, q.g, q.r, 0); }
};

struct To8 {
    static constexpr int kBytes = 1;
    static void FromIndex(BYTE* d, int index, Quad) { *d = static_cast<BYTE>(index); }
    static void From16(BYTE* d, uint32_t v)
    {
        *d = static_cast<BYTE>(Gray((v >> 7) & 0xF8, (v >> 2) & 0xF8, (v & 31) * 8));
    }
    static void From24(BYTE* d, Quad q) { *d = static_cast<BYTE>(Gray(q.r, q.g, q.b)); }
    static void From32(BYTE* d, Quad q) { *d = static_cast<BYTE>(Gray(q.r, q.g, q.b)); }
};

struct To4444 {
    static constexpr int kBytes = 2;
    static uint32_t Nibbles(Quad q) { return (q.r >> 4) << 8 | (q.g >> 4) << 4 | (q.b >> 4); }
    static void FromIndex(BYTE* d, int, Quad q) { Put16(d, 0xF000 | Nibbles(q)); }
    static void From16(BYTE* d, uint32_t v) { Put16(d, 0xF000 | (R5(v) >> 1) << 8 | (G5(v) >> 1) << 4 | (B5(v) >> 1)); }
    static void From24(BYTE* d, Quad q) { Put16(d, 0xF000 | Nibbles(q)); }
    static void From32(BYTE* d, Quad q) { Put16(d, (q.a >> 4) << 12 | Nibbles(q)); }
};

struct To1555 {
    static constexpr int kBytes = 2;
    static uint32_t Fives(Quad q) { return (q.r >> 3) << 10 | (q.g >> 3) << 5 | (q.b >> 3); }
    static void FromIndex(BYTE* d, int, Quad q) { Put16(d, 0x8000 | Fives(q)); }
    static void From16(BYTE* d, uint32_t v) { Put16(d, v | 0x8000); }
    static void From24(BYTE* d, Quad q) { Put16(d, 0x8000 | Fives(q)); }
    static void From32(BYTE* d, Quad q) { Put16(d, (q.a & 0x80) << 8 | Fives(q)); }
};

struct To24 {
    static constexpr int kBytes = 3;
    static void Put(BYTE* d, uint32_t b, uint32_t g, uint32_t r)
    {
        d[0] = static_cast<BYTE>(b);
        d[1] = static_cast<BYTE>(g);
        d[2] = static_cast<BYTE>(r);
    }
    static void FromIndex(BYTE* d, int, Quad q) { Put(d, q.b, q.g, q.r); }
    static void From16(BYTE* d, uint32_t v) { Put(d, (v << 3) & 0xFF, (v >> 2) & 0xF8, (v >> 7) & 0xF8); }
    static void From24(BYTE* d, Quad q) { Put(d, q.b, q.g, q.r); }
    static void From32(BYTE* d, Quad q) { Put(d, q.b, q.g, q.r); }
};

struct To565 {
    static constexpr int kBytes = 2;
    static void FromIndex(BYTE* d, int, Quad q) { Put16(d, (q.r >> 3) << 11 | (q.g >> 2) << 5 | (q.b >> 3)); }
    static void From16(BYTE* d, uint32_t v) { Put16(d, (v & 0x1F) + (v & 0x7FE0) * 2); }
    static void From24(BYTE* d, Quad q) { Put16(d, (q.r & 0xF8) << 8 | (q.g & 0xFC) << 3 | (q.b >> 3)); }
    static void From32(BYTE* d, Quad q) { From24(d, q); }
};

struct To555 {
    static constexpr int kBytes = 2;
    static void FromIndex(BYTE* d, int, Quad q) { Put16(d, (q.r >> 3) << 10 | (q.g >> 3) << 5 | (q.b >> 3)); }
    static void From16(BYTE* d, uint32_t v) { Put16(d, v); }
    static void From24(BYTE* d, Quad q) { Put16(d, (q.r & 0xF8) << 7 | (q.g & 0xF8) << 2 | (q.b >> 3)); }
    static void From32(BYTE* d, Quad q) { From24(d, q); }
};

}  // namespace

int PixelFormatBytes(uint32_t code)
{
    switch (code) {
    case kPixelX1R5G5B5:
    case kPixelR5G6B5:
    case kPixelA1R5G5B5:
    case kPixelA4R4G4B4:
        return 2;
    case kPixelR8G8B8:
        return 3;
    case kPixelX8R8G8B8:
    case kPixelA8R8G8B8:
        return 4;
    default:
        return 0;
    }
}

#define TESSARO_DIB_CONVERTER(Name, Out)                                                                        \
    bool Name(BYTE* dstBits, const RECT& dstRect, LONG dstPitch, const BITMAPINFO* info, const BYTE* srcBits, \
              LONG srcPitch, POINT srcOrigin)                                                                 \
    {                                                                                                         \
        return Convert<Out>(dstBits, dstRect, dstPitch, info, srcBits, srcPitch, srcOrigin);                  \
    }

TESSARO_DIB_CONVERTER(ConvertDibTo32, To32)
TESSARO_DIB_CONVERTER(ConvertDibTo32NoAlpha, To32NoAlpha)
TESSARO_DIB_CONVERTER(ConvertDibTo8, To8)
TESSARO_DIB_CONVERTER(ConvertDibTo16Argb4444, To4444)
TESSARO_DIB_CONVERTER(ConvertDibTo16Argb1555, To1555)
TESSARO_DIB_CONVERTER(ConvertDibTo24, To24)
TESSARO_DIB_CONVERTER(ConvertDibTo16Rgb565, To565)
TESSARO_DIB_CONVERTER(ConvertDibTo16Rgb555, To555)

#undef TESSARO_DIB_CONVERTER

DibConverter DibConverterForFormat(uint32_t code)
{
    struct Row {
        uint32_t code;
        DibConverter convert;
    };
    static constexpr Row kTable[] = {
        {kPixelX1R5G5B5, ConvertDibTo16Rgb555},  {kPixelR5G6B5, ConvertDibTo16Rgb565},
        {kPixelR8G8B8, ConvertDibTo24},          {kPixelX8R8G8B8, ConvertDibTo32NoAlpha},
        {kPixelA1R5G5B5, ConvertDibTo16Argb1555}, {kPixelA4R4G4B4, ConvertDibTo16Argb4444},
        {kPixelA8R8G8B8, ConvertDibTo32},
    };
    for (const Row& row : kTable) {
        if (row.code == code) {
            return row.convert;
        }
    }
    return nullptr;
}
