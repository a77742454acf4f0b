// The BMP loader and writer. Headers are read field by field and every offset, count and run is
// checked against the file and the bitmap before use.
#include "files/bmp_loader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "files/bmp_convert.h"
#include "winapi/gdi.h"
#include "winapi/kernel.h"
#include "winapi/picture_limit.h"

namespace {

inline DWORD U16(const BYTE* p) { return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8); }
inline DWORD U32(const BYTE* p) { return U16(p) | (U16(p + 2) << 16); }
inline void Put16(BYTE* p, DWORD v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}
inline void Put32(BYTE* p, DWORD v)
{
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

// One colour channel of a mask bitmap reduced to 8 bits: the field is shifted down to bit 0 and
// scaled to 8 bits (5 bits << 3, 6 bits << 2); a field wider than 8 bits keeps its top 8 bits.
struct MaskChannel {
    DWORD mask = 0;
    int shift = 0;
    int bits = 0;
    explicit MaskChannel(DWORD m) : mask(m)
    {
        if (m == 0)
            return;
        while (((m >> shift) & 1) == 0)
            ++shift;
        for (DWORD v = m >> shift; v != 0; v >>= 1)
            bits += static_cast<int>(v & 1);
    }
    BYTE Apply(DWORD pixel) const
    {
        if (mask == 0)
            return 0;
        const DWORD v = (pixel & mask) >> shift;
        return static_cast<BYTE>(bits <= 8 ? v << (8 - bits) : v >> (bits - 8));
    }
};

// Expands one stored row of a mask bitmap into blue, green, red triples.
void ExpandMaskRow(const BYTE* src, int width, int bytesPerPixel, const MaskChannel* ch, BYTE* bgr)
{
    for (int x = 0; x < width; ++x, src += bytesPerPixel, bgr += 3) {
        DWORD p = src[0] | (static_cast<DWORD>(src[1]) << 8);
        if (bytesPerPixel > 2)
            p |= static_cast<DWORD>(src[2]) << 16;
        if (bytesPerPixel > 3)
            p |= static_cast<DWORD>(src[3]) << 24;
        bgr[0] = ch[2].Apply(p);
        bgr[1] = ch[1].Apply(p);
        bgr[2] = ch[0].Apply(p);
    }
}

uint64_t StrideOf(uint64_t width, int bitCount)
{
    return ((width * static_cast<uint64_t>(bitCount) + 7) / 8 + 3) & ~uint64_t{3};
}

}  // namespace

int ParseBmpHeader(const BYTE* data, DWORD size, BmpInfo& info)
{
    info = BmpInfo{};
    if (data == nullptr || size < 2 || data[0] != 'B' || data[1] != 'M')
        return kGllNotSupported;
    if (size < 18)
        return kGllBadData;
    if (U32(data + 14) != 40)
        return kGllNotSupported;
    if (size < 54)
        return kGllBadData;
    info.pixelOffset = U32(data + 10);
    const auto width = static_cast<int32_t>(U32(data + 18));
    const auto heightField = static_cast<int32_t>(U32(data + 22));
    info.bitCount = static_cast<int>(U16(data + 28));
    info.compression = U32(data + 30);
    const DWORD clrUsed = U32(data + 46);
    if (width <= 0 || heightField == 0 || heightField == INT32_MIN)
        return kGllBadData;
    info.width = width;
    info.topDown = heightField < 0;
    info.height = heightField < 0 ? -heightField : heightField;
    switch (info.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        return kGllBadData;
    }
    // Each compression belongs to certain bit counts; RLE8 data in a 4-bit bitmap would write
    // twice the bytes its rows hold.
    switch (info.compression) {
    case BI_RGB:
        break;
    case BI_RLE8:
        if (info.bitCount != 8)
            return kGllBadData;
        break;
    case BI_RLE4:
        if (info.bitCount != 4)
            return kGllBadData;
        break;
    case BI_BITFIELDS:
        if (info.bitCount < 16)
            return kGllBadData;
        break;
    default:
        return kGllBadData;
    }
    if (info.bitCount < 16) {
        const DWORD most = 1u << info.bitCount;
        info.colours = clrUsed == 0 ? most : clrUsed;
        if (info.colours > most || 54 + 4ull * info.colours > size)
            return kGllBadData;
    }
    if (info.compression == BI_BITFIELDS) {
        if (size < 66)
            return kGllBadData;
        for (int i = 0; i < 3; ++i)
            info.masks[i] = U32(data + 54 + 4 * i);
    }
    // Every output form (up to 32 bits a pixel) inside the picture limit, before any allocation.
    if (!PictureWithinLimit(info.width, info.height))
        return kGllBadData;
    const uint64_t stride = StrideOf(static_cast<uint64_t>(info.width), info.bitCount);
    info.srcStride = static_cast<DWORD>(stride);
    if (info.compression == BI_RLE8 || info.compression == BI_RLE4) {
        if (info.pixelOffset >= size)
            return kGllBadData;
    } else if (static_cast<uint64_t>(info.pixelOffset) + stride * static_cast<uint64_t>(info.height) > size) {
        return kGllBadData;
    }
    return kGllOk;
}

bool CBmpLoader::IsSupported(const BYTE* header, DWORD size, const char*)
{
    return header != nullptr && size >= 2 && header[0] == 'B' && header[1] == 'M';
}

bool CBmpLoader::CanSave() { return true; }

bool CBmpLoader::DecodeRle8(BYTE* bits, const BYTE* src, const BYTE* srcEnd, int width, int height, int stride)
{
    int x = 0;
    int y = 0;
    while (srcEnd - src >= 2) {
        const int n = src[0];
        const int v = src[1];
        src += 2;
        if (n > 0) {
            if (y >= height)
                return false;
            // Writers pad rows with runs past the last pixel; what lies beyond the row is dropped.
            const int kept = std::min(n, std::max(0, width - x));
            std::memset(bits + static_cast<ptrdiff_t>(stride) * y + x, v, static_cast<size_t>(kept));
            x = std::min(x + n, width);
            continue;
        }
        switch (v) {
        case 0:  // end of line
            x = 0;
            ++y;
            break;
        case 1:  // end of bitmap
            return true;
        case 2:  // position delta: not supported
            return false;
        default: {
            const int padded = (v + 1) & ~1;
            if (srcEnd - src < padded || y >= height)
                return false;
            const int kept = std::min(v, std::max(0, width - x));
            std::memcpy(bits + static_cast<ptrdiff_t>(stride) * y + x, src, static_cast<size_t>(kept));
            src += padded;
            x = std::min(x + v, width);
            break;
        }
        }
    }
    return false;  // no end-of-bitmap escape
}

bool CBmpLoader::DecodeRle4(BYTE* bits, const BYTE* src, const BYTE* srcEnd, int width, int height, int stride)
{
    int x = 0;
    int y = 0;
    auto put = [&](int pixel) {
        if (x >= width)
            return;  // beyond the row: dropped
        BYTE& b = bits[static_cast<ptrdiff_t>(stride) * y + x / 2];
        if ((x & 1) == 0)
            b = static_cast<BYTE>((b & 0x0F) | (pixel << 4));
        else
            b = static_cast<BYTE>((b & 0xF0) | pixel);
        ++x;
    };
    while (srcEnd - src >= 2) {
        const int n = src[0];
        const int v = src[1];
        src += 2;
        if (n > 0) {
            if (y >= height)
                return false;
            for (int i = 0; i < n; ++i)
                put((i & 1) == 0 ? v >> 4 : v & 15);
            continue;
        }
        switch (v) {
        case 0:
            x = 0;
            ++y;
            break;
        case 1:
            return true;
        case 2:
            return false;
        default: {
            const int bytes = (v + 1) / 2;
            const int padded = (bytes + 1) & ~1;
            if (srcEnd - src < padded || y >= height)
                return false;
            for (int i = 0; i < v; ++i)
                put((i & 1) == 0 ? src[i / 2] >> 4 : src[i / 2] & 15);
            src += padded;
            break;
        }
        }
    }
    return false;
}

int CBmpLoader::LoadPicture(const BYTE* data, DWORD size, HGLOBAL* outInfo, HGLOBAL* outBits,
                            GllProgressFunc progress, void* progressUser)
{
    if (data == nullptr)
        return kGllBadData;
    if ((outInfo == nullptr) != (outBits == nullptr))
        return kGllBadArguments;
    BmpInfo info;
    int code = ParseBmpHeader(data, size, info);
    if (code != kGllOk)
        return code;
    FreePicture();
    if (progress != nullptr && progress(0, info.height, progressUser) != 0) {
        progress(info.height, info.height, progressUser);
        return kGllAborted;
    }
    code = LoadPictureBody(data, size, info);
    if (code != kGllOk) {
        FreePicture();
    } else if (outInfo != nullptr) {
        *outInfo = m_info;
        *outBits = m_bits;
        m_info = nullptr;
        m_bits = nullptr;
    }
    if (progress != nullptr)
        progress(info.height, info.height, progressUser);
    return code;
}

int CBmpLoader::LoadPictureBody(const BYTE* data, DWORD size, const BmpInfo& info)
{
    const bool masks = info.compression == BI_BITFIELDS;
    const int outBitCount = masks ? 24 : info.bitCount;
    const DWORD tableEntries = info.bitCount < 16 ? (1u << info.bitCount) : 1;
    const DWORD infoSize = 40 + 4 * tableEntries;
    const uint64_t stride = masks ? StrideOf(static_cast<uint64_t>(info.width), 24) : info.srcStride;
    const uint64_t imageSize = stride * static_cast<uint64_t>(info.height);
    const int code = AllocatePictureBlocks(*this, info.width, info.height, outBitCount, infoSize, stride);
    if (code != kGllOk)
        return code;
    auto* bih = static_cast<BITMAPINFOHEADER*>(m_info);
    bih->biXPelsPerMeter = static_cast<LONG>(U32(data + 38));
    bih->biYPelsPerMeter = static_cast<LONG>(U32(data + 42));
    if (info.bitCount < 16) {
        bih->biClrUsed = info.colours;
        std::memcpy(static_cast<BYTE*>(m_info) + 40, data + 54, 4 * info.colours);
    }

    auto* bits = static_cast<BYTE*>(m_bits);
    const int h = info.height;
    // Stored row r of the file goes to DIB row r, or to row h - 1 - r for a top-down file.
    auto dibRow = [&](int r) { return bits + stride * static_cast<uint64_t>(info.topDown ? h - 1 - r : r); };
    const BYTE* pixels = data + info.pixelOffset;
    if (info.compression == BI_RLE8 || info.compression == BI_RLE4) {
        // Pixels that the runs skip (end of line, early end of bitmap) are index 0.
        std::memset(bits, 0, static_cast<size_t>(imageSize));
        // A top-down file is decoded from the last DIB row upwards. Flipping afterwards cost three
        // copies a row, which made a tiny file naming millions of blank rows run for seconds.
        const int step = info.topDown ? -static_cast<int>(stride) : static_cast<int>(stride);
        BYTE* first = info.topDown ? bits + stride * static_cast<uint64_t>(h - 1) : bits;
        const bool ok = info.compression == BI_RLE8 ? DecodeRle8(first, pixels, data + size, info.width, h, step)
                                                    : DecodeRle4(first, pixels, data + size, info.width, h, step);
        if (!ok)
            return kGllBadCompression;
    } else if (masks) {
        const MaskChannel ch[3] = {MaskChannel(info.masks[0]), MaskChannel(info.masks[1]),
                                   MaskChannel(info.masks[2])};
        for (int r = 0; r < h; ++r) {
            BYTE* row = dibRow(r);
            ExpandMaskRow(pixels + static_cast<uint64_t>(info.srcStride) * r, info.width, info.bitCount / 8, ch,
                          row);
            std::memset(row + info.width * 3, 0, stride - static_cast<uint64_t>(info.width) * 3);
        }
    } else {
        for (int r = 0; r < h; ++r)
            std::memcpy(dibRow(r), pixels + stride * r, stride);
    }
    return kGllOk;
}

int CBmpLoader::Load(const BYTE* data, DWORD size, GllAllocateFunc allocate, void* allocateUser, BOOL eightBit,
                     GllProgressFunc progress, void* progressUser)
{
    if (data == nullptr)
        return kGllBadData;
    if (allocate == nullptr)
        return kGllBadArguments;
    BmpInfo info;
    int code = ParseBmpHeader(data, size, info);
    if (code != kGllOk)
        return code;
    if (progress != nullptr && progress(0, info.height, progressUser) != 0) {
        progress(info.height, info.height, progressUser);
        return kGllAborted;
    }
    code = LoadBody(data, size, info, allocate, allocateUser, eightBit);
    if (progress != nullptr)
        progress(info.height, info.height, progressUser);
    return code;
}

int CBmpLoader::LoadBody(const BYTE* data, DWORD size, const BmpInfo& info, GllAllocateFunc allocate,
                         void* allocateUser, BOOL eightBit)
{
    const bool masks = info.compression == BI_BITFIELDS;
    const bool wantPalette = eightBit && info.bitCount < 16;
    int pitch = 0;
    BYTE* palette = nullptr;
    auto* dst = static_cast<BYTE*>(allocate(info.width, info.height, eightBit ? 8 : 32,
                                            info.bitCount == 32 && !masks ? TRUE : FALSE, &pitch,
                                            wantPalette ? &palette : nullptr, allocateUser));
    if (dst == nullptr || (wantPalette && palette == nullptr))
        return kGllNoMemory;
    if (pitch < static_cast<int64_t>(info.width) * (eightBit ? 1 : 4))
        return kGllBadData;
    if (wantPalette) {
        std::memset(palette, 0, 1024);
        std::memcpy(palette, data + 54, 4 * info.colours);
    }

    if (masks) {
        const MaskChannel ch[3] = {MaskChannel(info.masks[0]), MaskChannel(info.masks[1]),
                                   MaskChannel(info.masks[2])};
        std::unique_ptr<BYTE[]> bgr(new (std::nothrow) BYTE[static_cast<size_t>(info.width) * 3]);
        if (!bgr)
            return kGllNoMemory;
        for (int y = 0; y < info.height; ++y) {
            // Output row y is the file's stored row (height - 1 - y), or row y of a top-down file.
            const int r = info.topDown ? y : info.height - 1 - y;
            ExpandMaskRow(data + info.pixelOffset + static_cast<uint64_t>(info.srcStride) * r, info.width,
                          info.bitCount / 8, ch, bgr.get());
            BYTE* out = dst + static_cast<ptrdiff_t>(pitch) * y;
            const BYTE* p = bgr.get();
            for (int x = 0; x < info.width; ++x, p += 3) {
                if (eightBit) {
                    out[x] = static_cast<BYTE>((29u * p[0] + 150u * p[1] + 77u * p[2]) >> 8);
                } else {
                    out[x * 4 + 0] = p[0];
                    out[x * 4 + 1] = p[1];
                    out[x * 4 + 2] = p[2];
                    out[x * 4 + 3] = 0;
                }
            }
        }
        return kGllOk;
    }

    // The conversions read a bottom-up DIB whose colour table holds every index the bits can name.
    // Compressed and top-down files go through LoadPicture first; the others are read in place.
    const BITMAPINFOHEADER* header = nullptr;
    const BYTE* bits = nullptr;
    int srcPitch = 0;
    alignas(4) BYTE local[40 + 1024];
    if (info.compression != BI_RGB || info.topDown) {
        const int code = LoadPicture(data, size, nullptr, nullptr, nullptr, nullptr);
        if (code != kGllOk)
            return code == kGllNoMemory ? kGllNoMemory : kGllBadCompression;
        header = static_cast<const BITMAPINFOHEADER*>(m_info);
        bits = static_cast<const BYTE*>(m_bits);
        srcPitch = static_cast<int>(m_stride);
    } else {
        std::memset(local, 0, sizeof(local));
        auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(local);
        bih->biSize = 40;
        bih->biWidth = info.width;
        bih->biHeight = info.height;
        bih->biPlanes = 1;
        bih->biBitCount = static_cast<WORD>(info.bitCount);
        bih->biCompression = BI_RGB;
        bih->biSizeImage = info.srcStride * static_cast<DWORD>(info.height);
        bih->biClrUsed = info.colours;
        std::memcpy(local + 40, data + 54, 4 * info.colours);
        header = bih;
        bits = data + info.pixelOffset;
        srcPitch = static_cast<int>(info.srcStride);
    }
    const bool ok = ConvertBitmapRows(dst, pitch, eightBit ? kConvertTo8 : (info.bitCount == 32 ? kConvertTo32 : kConvertTo32NoAlpha),
                                      header, bits, srcPitch, info.width, info.height);
    FreePicture();
    return ok ? kGllOk : kGllConvertFailed;
}

int CBmpLoader::Save(int mode, const void* pixels, int width, int height, int bits, int pitch, GllWriteFunc write,
                     void* writeUser, const BYTE* palette, GllProgressFunc progress, void* progressUser)
{
    if (pixels == nullptr || (bits != 8 && bits != 24 && bits != 32))
        return kGllBadData;
    if (write == nullptr)
        return kGllBadArguments;
    if ((mode != 0 && bits != 32) || mode < 0 || mode > 2)
        return kGllBadCompression;
    if (width <= 0 || height == 0 || height == INT32_MIN)
        return kGllBadData;
    return SaveBody(mode, static_cast<const BYTE*>(pixels), width, height, bits, pitch, write, writeUser, palette,
                    progress, progressUser);
}

int CBmpLoader::SaveBody(int mode, const BYTE* pixels, int width, int height, int bits, int pitch,
                         GllWriteFunc write, void* writeUser, const BYTE* palette, GllProgressFunc progress,
                         void* progressUser)
{
    const int rows = height < 0 ? -height : height;
    const int outBits = mode == 1 ? 32 : (mode == 2 || bits == 8 ? 8 : 24);
    const uint64_t stride = StrideOf(static_cast<uint64_t>(width), outBits);
    const DWORD colours = outBits == 8 ? 256 : 0;
    const uint64_t imageSize = stride * static_cast<uint64_t>(rows);
    const uint64_t offset = 54 + 4ull * colours;
    if (offset + imageSize > 0xFFFFFFFFull)
        return kGllNoMemory;
    // The source rows must hold width pixels of the given depth.
    if (pitch < static_cast<int64_t>(width) * (bits / 8))
        return kGllBadData;

    auto put = [&](const void* p, size_t n) { return write(p, static_cast<DWORD>(n), writeUser) == n; };
    BYTE head[54] = {};
    head[0] = 'B';
    head[1] = 'M';
    Put32(head + 2, static_cast<DWORD>(offset + imageSize));
    Put32(head + 10, static_cast<DWORD>(offset));
    Put32(head + 14, 40);
    Put32(head + 18, static_cast<DWORD>(width));
    Put32(head + 22, static_cast<DWORD>(rows));
    Put16(head + 26, 1);
    Put16(head + 28, static_cast<DWORD>(outBits));
    Put32(head + 34, static_cast<DWORD>(imageSize));
    Put32(head + 46, colours);
    if (!put(head, sizeof(head)))
        return kGllFileError;
    if (colours != 0) {
        BYTE table[1024];
        if (palette != nullptr) {
            std::memcpy(table, palette, sizeof(table));
        } else {
            for (int i = 0; i < 256; ++i) {
                table[i * 4 + 0] = table[i * 4 + 1] = table[i * 4 + 2] = static_cast<BYTE>(i);
                table[i * 4 + 3] = 0;
            }
        }
        if (!put(table, sizeof(table)))
            return kGllFileError;
    }

    std::unique_ptr<BYTE[]> row(new (std::nothrow) BYTE[stride]);
    if (!row)
        return kGllNoMemory;
    if (progress != nullptr && progress(0, rows, progressUser) != 0)
        return kGllAborted;
    for (int i = 0; i < rows; ++i) {
        // The file stores the bottom row first.
        const int source = height > 0 ? rows - 1 - i : i;
        const BYTE* src = pixels + static_cast<ptrdiff_t>(pitch) * source;
        BYTE* out = row.get();
        std::memset(out, 0, stride);
        if (mode == 2) {
            for (int x = 0; x < width; ++x)
                out[x] = src[x * 4 + 3];
        } else if (outBits == 24 && bits == 32) {
            for (int x = 0; x < width; ++x) {
                out[x * 3 + 0] = src[x * 4 + 0];
                out[x * 3 + 1] = src[x * 4 + 1];
                out[x * 3 + 2] = src[x * 4 + 2];
            }
        } else {
            std::memcpy(out, src, static_cast<size_t>(width) * (bits / 8));
        }
        if (!put(out, stride))
            return kGllFileError;
        if (progress != nullptr && progress(i, rows, progressUser) != 0)
            return kGllAborted;
    }
    if (progress != nullptr)
        progress(rows, rows, progressUser);
    return kGllOk;
}
