// Decoders of the ELG stream codings. Every member expands its stream into one contiguous linear
// sequence first (where the output layout allows, straight into the output) and then places the
// rows, so that copies, which count in units of the linear sequence, behave the same in every
// layout. All reads are bounded by the stream's end and all writes by the picture's value count.
#include "files/elg_decoders.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace {

inline DWORD ReadPixel(const BYTE* s)
{
    return static_cast<DWORD>(s[0]) | (static_cast<DWORD>(s[1]) << 8) | (static_cast<DWORD>(s[2]) << 16);
}

// Copies n bytes from `distance` bytes back, one at a time when the two overlap, so that a
// distance shorter than the length repeats the last `distance` bytes as a pattern.
inline void CopyBack(BYTE* dst, size_t distance, size_t n)
{
    const BYTE* from = dst - distance;
    if (distance >= n) {
        std::memcpy(dst, from, n);
        return;
    }
    for (size_t i = 0; i < n; ++i)
        dst[i] = from[i];
}

// Byte coding into count contiguous bytes.
const BYTE* DecodeByteStream(const BYTE* s, const BYTE* e, BYTE* out, size_t count)
{
    if (s == nullptr || out == nullptr)
        return nullptr;
    size_t pos = 0;
    for (;;) {
        if (s >= e)
            return nullptr;  // no terminator
        const unsigned c = *s++;
        if (c == 0xFF)
            return pos == count ? s : nullptr;
        const size_t left = count - pos;
        size_t length = 0;
        size_t distance = 0;
        switch (c >> 5) {
        case 0:
        case 1: {  // literal
            if (c < 0x20) {
                length = (c & 31) + 1;
            } else {
                if (s >= e)
                    return nullptr;
                length = ((c & 31u) << 8) + *s++ + 33;
            }
            if (static_cast<size_t>(e - s) < length || length > left)
                return nullptr;
            std::memcpy(out + pos, s, length);
            s += length;
            pos += length;
            continue;
        }
        case 2:
        case 3: {  // fill
            if (c < 0x60) {
                length = (c & 31) + 3;
            } else {
                if (s >= e)
                    return nullptr;
                length = ((c & 31u) << 8) + *s++ + 35;
            }
            if (s >= e || length > left)
                return nullptr;
            std::memset(out + pos, *s++, length);
            pos += length;
            continue;
        }
        case 4:
        case 5:
            if (s >= e)
                return nullptr;
            switch (c >> 4) {
            case 8:
                length = (c & 15) + 2;
                distance = *s++ + 2u;
                break;
            case 9:
                if (e - s < 2)
                    return nullptr;
                distance = ((c & 15u) << 8) + s[0] + 3;
                length = s[1] + 4u;
                s += 2;
                break;
            case 10:
                distance = ((c & 15u) << 8) + *s++ + 3;
                length = 3;
                break;
            default:
                distance = ((c & 15u) << 8) + *s++ + 3;
                length = 4;
                break;
            }
            break;
        case 6:
            distance = (c & 31) + 1;
            length = 1;
            break;
        default:
            distance = (c & 31) + 2;
            length = 2;
            break;
        }
        if (distance > pos || length > left)
            return nullptr;
        CopyBack(out + pos, distance, length);
        pos += length;
    }
}

// Pixel coding into count contiguous units of Size bytes (3: blue, green, red; 4: blue, green,
// red, 0) in rows of width units.
template <int Size>
const BYTE* DecodePixelStream(const BYTE* s, const BYTE* e, BYTE* out, size_t count, size_t width)
{
    if (s == nullptr || out == nullptr || width == 0)
        return nullptr;
    size_t pos = 0;
    size_t rowStart = 0;  // linear position of the current row's first value (kept lazily)
    size_t row = 0;
    for (;;) {
        if (s >= e)
            return nullptr;
        const unsigned c = *s++;
        if (c == 0xFF)
            return pos == count ? s : nullptr;
        const size_t left = count - pos;
        size_t length = 1;
        size_t distance = 0;
        switch (c >> 4) {
        case 0:
        case 1:
        case 2:
        case 3: {  // literal
            if (c < 0x20) {
                length = (c & 31) + 1;
            } else {
                if (s >= e)
                    return nullptr;
                length = ((c & 31u) << 8) + *s++ + 33;
            }
            if (static_cast<size_t>(e - s) / 3 < length || length > left)
                return nullptr;
            BYTE* d = out + pos * Size;
            if constexpr (Size == 3) {
                std::memcpy(d, s, length * 3);
                s += length * 3;
            } else {
                // Four bytes read at once where the stream has a byte to spare after the pixel.
                size_t i = 0;
                if (static_cast<size_t>(e - s) > length * 3) {
                    for (; i < length; ++i, s += 3) {
                        DWORD px;
                        std::memcpy(&px, s, 4);
                        px &= 0xFFFFFF;
                        std::memcpy(d + i * 4, &px, 4);
                    }
                }
                for (; i < length; ++i, s += 3) {
                    const DWORD px = ReadPixel(s);
                    std::memcpy(d + i * 4, &px, 4);
                }
            }
            pos += length;
            continue;
        }
        case 4:
        case 5:
        case 6:
        case 7: {  // fill
            if (c < 0x60) {
                length = (c & 31) + 2;
            } else {
                if (s >= e)
                    return nullptr;
                length = ((c & 31u) << 8) + *s++ + 34;
            }
            if (e - s < 3 || length > left)
                return nullptr;
            const DWORD px = ReadPixel(s);
            s += 3;
            BYTE* d = out + pos * Size;
            if constexpr (Size == 3) {
                d[0] = static_cast<BYTE>(px);
                d[1] = static_cast<BYTE>(px >> 8);
                d[2] = static_cast<BYTE>(px >> 16);
                CopyBack(d + 3, 3, (length - 1) * 3);
            } else {
                for (size_t i = 0; i < length; ++i)
                    std::memcpy(d + i * 4, &px, 4);
            }
            pos += length;
            continue;
        }
        case 8:
            if (s >= e)
                return nullptr;
            length = (c & 15) + 1;
            distance = *s++ + 2u;
            break;
        case 9:
            if (e - s < 2)
                return nullptr;
            distance = ((c & 15u) << 8) + s[0] + 2;
            length = s[1] + 1u;
            s += 2;
            break;
        case 10:
            if (e - s < 3)
                return nullptr;
            distance = ((c & 15u) << 16) + (static_cast<size_t>(s[0]) << 8) + s[1] + 4098;
            length = s[2] + 1u;
            s += 3;
            break;
        case 11:
            if ((c & 8) == 0) {
                distance = (c & 7) + 2;
            } else {
                if (s >= e)
                    return nullptr;
                distance = ((c & 7u) << 8) + *s++ + 10;
            }
            break;
        case 12:
        case 13:
        case 14:
        case 15: {
            size_t rows = 0;
            int offset = 0;
            if (c < 0xD0) {
                if (s >= e)
                    return nullptr;
                const size_t value = ((c & 3u) << 8) + *s++;
                const unsigned kind = (c >> 2) & 3;
                if (kind == 3) {  // 110011dd m: a one-pixel copy
                    distance = value + 2058;
                    break;
                }
                rows = value + 16;
                offset = kind == 0 ? 0 : (kind == 1 ? -1 : 1);
            } else {
                rows = (c & 15) + 1;
                offset = c < 0xE0 ? 0 : (c < 0xF0 ? -1 : 1);
            }
            // Up-reference: the pixel rows higher and offset columns to the right.
            while (pos - rowStart >= width) {
                rowStart += width;
                ++row;
            }
            const size_t column = pos - rowStart;
            if (left == 0 || rows > row || (offset < 0 && column == 0)
                || (offset > 0 && column + 1 >= width))
                return nullptr;
            distance = offset < 0 ? rows * width + 1 : rows * width - static_cast<size_t>(offset);
            break;
        }
        }
        if (distance > pos || length > left)
            return nullptr;
        BYTE* d = out + pos * Size;
        if (length == 1) {
            // Single pixels (near copies, up-references) are the most frequent operation in photos.
            std::memcpy(d, d - distance * Size, Size);
        } else {
            CopyBack(d, distance * Size, length * Size);
        }
        pos += length;
    }
}

inline size_t Count(int width, int height)
{
    return static_cast<size_t>(width) * static_cast<size_t>(height);
}

inline bool BadSize(int width, int height)
{
    return width <= 0 || height <= 0;
}

std::unique_ptr<BYTE[]> Scratch(size_t bytes)
{
    return std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[bytes == 0 ? 1 : bytes]);
}

// Places height rows of rowBytes from a contiguous top-down buffer at dst, pitch bytes apart
// (negative pitch: bottom-up, dst is then the first stored row of the top picture row).
void PlaceRows(const BYTE* linear, size_t rowBytes, int height, BYTE* dst, ptrdiff_t pitch)
{
    for (int y = 0; y < height; ++y)
        std::memcpy(dst + pitch * y, linear + rowBytes * y, rowBytes);
}

void FlipRows(BYTE* bits, size_t rowBytes, int height)
{
    auto tmp = Scratch(rowBytes);
    if (!tmp)
        return;
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        BYTE* a = bits + rowBytes * top;
        BYTE* b = bits + rowBytes * bottom;
        std::memcpy(tmp.get(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, tmp.get(), rowBytes);
    }
}

inline BYTE Gray(const BYTE* p)
{
    return static_cast<BYTE>((29u * p[0] + 150u * p[1] + 77u * p[2]) >> 8);
}

// Pixel coding into 8-bit gray rows pitch bytes apart.
const BYTE* DecodeGray(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height, ptrdiff_t pitch)
{
    if (BadSize(width, height) || dst == nullptr)
        return nullptr;
    auto linear = Scratch(Count(width, height) * 3);
    if (!linear)
        return nullptr;
    const BYTE* next = DecodePixelStream<3>(src, srcEnd, linear.get(), Count(width, height), width);
    if (next == nullptr)
        return nullptr;
    const BYTE* p = linear.get();
    for (int y = 0; y < height; ++y) {
        BYTE* row = dst + pitch * y;
        for (int x = 0; x < width; ++x, p += 3)
            row[x] = Gray(p);
    }
    return next;
}

// Byte coding into the alpha bytes of 32-bit rows pitch bytes apart.
const BYTE* DecodeAlpha(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height, ptrdiff_t pitch)
{
    if (BadSize(width, height) || dst == nullptr)
        return nullptr;
    auto linear = Scratch(Count(width, height));
    if (!linear)
        return nullptr;
    const BYTE* next = DecodeByteStream(src, srcEnd, linear.get(), Count(width, height));
    if (next == nullptr)
        return nullptr;
    const BYTE* a = linear.get();
    for (int y = 0; y < height; ++y) {
        BYTE* row = dst + pitch * y + 3;
        for (int x = 0; x < width; ++x)
            row[x * 4] = *a++;
    }
    return next;
}

}  // namespace

const BYTE* DecodeRleImageA(const BYTE* src, const BYTE* srcEnd, BYTE* dst, size_t count)
{
    return DecodeByteStream(src, srcEnd, dst, count);
}

const BYTE* DecodeRleImageB(const BYTE* src, const BYTE* srcEnd, BYTE* bits, int width, int height, int stride)
{
    if (BadSize(width, height) || bits == nullptr || stride < width)
        return nullptr;
    if (stride == width) {
        const BYTE* next = DecodeByteStream(src, srcEnd, bits, Count(width, height));
        if (next != nullptr)
            FlipRows(bits, static_cast<size_t>(width), height);
        return next;
    }
    auto linear = Scratch(Count(width, height));
    if (!linear)
        return nullptr;
    const BYTE* next = DecodeByteStream(src, srcEnd, linear.get(), Count(width, height));
    if (next != nullptr)
        PlaceRows(linear.get(), width, height, bits + static_cast<size_t>(stride) * (height - 1), -stride);
    return next;
}

const BYTE* DecodeRleIndexesPitched(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height,
                                    int pitch)
{
    if (BadSize(width, height) || dst == nullptr || pitch < width)
        return nullptr;
    if (pitch == width)
        return DecodeByteStream(src, srcEnd, dst, Count(width, height));
    auto linear = Scratch(Count(width, height));
    if (!linear)
        return nullptr;
    const BYTE* next = DecodeByteStream(src, srcEnd, linear.get(), Count(width, height));
    if (next != nullptr)
        PlaceRows(linear.get(), width, height, dst, pitch);
    return next;
}

const BYTE* DecodeRleIndexedTo32(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height, int pitch,
                                 const BYTE* palette, BYTE alpha)
{
    if (BadSize(width, height) || dst == nullptr || palette == nullptr || pitch / 4 < width)
        return nullptr;
    const size_t count = Count(width, height);
    // Rows that follow each other without a gap hold the indexes in their last quarter: pixel i
    // (four bytes from 4i) never reaches index i + 1 (at 3 count + i + 1) before it is read, so
    // the picture needs no second buffer. Other pitches decode into one.
    std::unique_ptr<BYTE[]> linear;
    BYTE* indexes = dst + count * 3;
    if (static_cast<size_t>(pitch) != static_cast<size_t>(width) * 4) {
        linear = Scratch(count);
        if (!linear)
            return nullptr;
        indexes = linear.get();
    }
    const BYTE* next = DecodeByteStream(src, srcEnd, indexes, count);
    if (next == nullptr)
        return nullptr;
    DWORD table[256];
    for (int i = 0; i < 256; ++i) {
        const BYTE* entry = palette + i * 4;
        table[i] = ReadPixel(entry) | (static_cast<DWORD>(alpha) << 24);
    }
    const BYTE* index = indexes;
    for (int y = 0; y < height; ++y) {
        BYTE* row = dst + static_cast<ptrdiff_t>(pitch) * y;
        int x = 0;
        // Eight indexes are read before their pixels are written (32 bytes from 4i end at
        // 4i + 32 <= 3 count + i + 8 whenever i + 8 <= count).
        for (; x + 8 <= width; x += 8, index += 8) {
            uint64_t v;
            std::memcpy(&v, index, 8);
            DWORD px[8];
            for (int k = 0; k < 8; ++k)
                px[k] = table[(v >> (8 * k)) & 0xFF];
            std::memcpy(row + x * 4, px, sizeof px);
        }
        for (; x < width; ++x)
            std::memcpy(row + x * 4, &table[*index++], 4);
    }
    return next;
}

const BYTE* DecodeRleAlphaTo32(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height, int pitch)
{
    if (pitch / 4 < width)
        return nullptr;
    return DecodeAlpha(src, srcEnd, dst, width, height, pitch);
}

const BYTE* DecodeRleAlphaTo32BottomUp(const BYTE* src, const BYTE* srcEnd, BYTE* bits, int width, int height)
{
    if (BadSize(width, height) || bits == nullptr)
        return nullptr;
    const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(width) * 4;
    return DecodeAlpha(src, srcEnd, bits + rowBytes * (height - 1), width, height, -rowBytes);
}

const BYTE* DecodeRleBytesBottomUp(const BYTE* src, const BYTE* srcEnd, BYTE* bits, int width, int height,
                                   int stride)
{
    if (BadSize(width, height) || bits == nullptr || stride / 3 < width)
        return nullptr;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    if (static_cast<size_t>(stride) == rowBytes) {
        const BYTE* next = DecodePixelStream<3>(src, srcEnd, bits, Count(width, height), width);
        if (next != nullptr)
            FlipRows(bits, rowBytes, height);
        return next;
    }
    auto linear = Scratch(Count(width, height) * 3);
    if (!linear)
        return nullptr;
    const BYTE* next = DecodePixelStream<3>(src, srcEnd, linear.get(), Count(width, height), width);
    if (next != nullptr)
        PlaceRows(linear.get(), rowBytes, height, bits + static_cast<size_t>(stride) * (height - 1), -stride);
    return next;
}

const BYTE* DecodeRleRgbTo32BottomUp(const BYTE* src, const BYTE* srcEnd, BYTE* bits, int width, int height)
{
    if (BadSize(width, height) || bits == nullptr)
        return nullptr;
    const BYTE* next = DecodePixelStream<4>(src, srcEnd, bits, Count(width, height), width);
    if (next != nullptr)
        FlipRows(bits, static_cast<size_t>(width) * 4, height);
    return next;
}

const BYTE* DecodeRleRgbTo32(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height, int pitch)
{
    if (BadSize(width, height) || dst == nullptr || pitch / 4 < width)
        return nullptr;
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    if (static_cast<size_t>(pitch) == rowBytes)
        return DecodePixelStream<4>(src, srcEnd, dst, Count(width, height), width);
    auto linear = Scratch(Count(width, height) * 4);
    if (!linear)
        return nullptr;
    const BYTE* next = DecodePixelStream<4>(src, srcEnd, linear.get(), Count(width, height), width);
    if (next != nullptr)
        PlaceRows(linear.get(), rowBytes, height, dst, pitch);
    return next;
}

const BYTE* DecodeRleImageC(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height)
{
    return DecodeGray(src, srcEnd, dst, width, height, width);
}

const BYTE* DecodeRleBytesPitched(const BYTE* src, const BYTE* srcEnd, BYTE* dst, int width, int height, int pitch)
{
    if (pitch < width)
        return nullptr;
    return DecodeGray(src, srcEnd, dst, width, height, pitch);
}
