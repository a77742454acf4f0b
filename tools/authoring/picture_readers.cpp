#include "authoring/picture_readers.h"

#include <png.h>

#include <cstring>

namespace pictures {
namespace {

constexpr uint64_t kMaxPixelBytes = 256ull << 20;

uint16_t U16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t U32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

bool Fail(std::string* error, const std::string& why)
{
    if (error)
        *error = why;
    return false;
}

bool SizeAllowed(uint64_t width, uint64_t height)
{
    return width >= 1 && height >= 1 && width <= kReaderMaxSide && height <= kReaderMaxSide &&
           width * height * 4 <= kMaxPixelBytes;
}

// A channel of a BITFIELDS mask: its shift and width (0 = no channel).
struct Channel {
    int shift = 0;
    int bits = 0;
    uint32_t mask = 0;
    uint8_t Of(uint32_t pixel) const
    {
        if (bits == 0)
            return 255;
        const uint64_t value = (pixel & mask) >> shift;
        const uint64_t most = (uint64_t{1} << bits) - 1;
        return static_cast<uint8_t>((value * 255 + most / 2) / most);
    }
};

// → false when the mask's bits are not one run.
bool MakeChannel(uint32_t mask, Channel* c)
{
    *c = Channel{};
    c->mask = mask;
    if (mask == 0)
        return true;
    while (((mask >> c->shift) & 1) == 0)
        ++c->shift;
    const uint32_t run = mask >> c->shift;
    while (c->bits < 32 && ((run >> c->bits) & 1) != 0)
        ++c->bits;
    return c->bits == 32 || (run >> c->bits) == 0;
}

enum : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kJpeg = 4, kPng = 5, kAlphaBitfields = 6 };

const char* CompressionName(uint32_t compression)
{
    switch (compression) {
    case kRle8:
        return "RLE8";
    case kRle4:
        return "RLE4";
    case kBitfields:
        return "BITFIELDS";
    case kJpeg:
        return "JPEG";
    case kPng:
        return "PNG";
    case kAlphaBitfields:
        return "ALPHABITFIELDS";
    default:
        return "RGB";
    }
}

// RLE8 / RLE4 data → palette indices, bottom-up rows of width; false when it overruns or ends
// without its end mark (a picture that stops early keeps index 0 below the end of data).
bool DecodeRle(const uint8_t* p, const uint8_t* end, bool four, int width, int height, std::vector<uint8_t>& index)
{
    index.assign(static_cast<size_t>(width) * height, 0);
    int x = 0, y = 0;
    auto put = [&](uint8_t value) {
        if (x < width && y < height)
            index[static_cast<size_t>(y) * width + x] = value;
        ++x;
    };
    while (end - p >= 2) {
        const uint8_t count = p[0], value = p[1];
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(four ? (i % 2 == 0 ? value >> 4 : value & 15) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of picture
            return true;
        } else if (value == 2) { // move
            if (end - p < 2)
                return false;
            x += p[0];
            y += p[1];
            p += 2;
        } else { // value pixels as they are, padded to a word
            const int bytes = four ? (value + 1) / 2 : value;
            const int padded = (bytes + 1) & ~1;
            if (end - p < padded)
                return false;
            for (int i = 0; i < value; ++i)
                put(four ? (i % 2 == 0 ? p[i / 2] >> 4 : p[i / 2] & 15) : p[i]);
            p += padded;
        }
        if (y > height)
            return false;
    }
    return false;
}

} // namespace

bool IsPng(const uint8_t* data, size_t size)
{
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return size >= 8 && std::memcmp(data, signature, 8) == 0;
}

bool IsBmp(const uint8_t* data, size_t size)
{
    return size >= 2 && data[0] == 'B' && data[1] == 'M';
}

bool ReadPng(const uint8_t* data, size_t size, ReadPicture& out, std::string* error)
{
    out = ReadPicture{};
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size))
        return Fail(error, std::string("PNG: ") + image.message);
    if (!SizeAllowed(image.width, image.height)) {
        png_image_free(&image);
        return Fail(error, "PNG: " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                               " is past the limit of " + std::to_string(kReaderMaxSide) +
                               " pixels a side and 256 MiB");
    }
    out.hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_BGRA; // little-endian words 0xAARRGGBB
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), static_cast<png_int_32>(image.width * 4),
                               nullptr)) {
        const std::string why = image.message;
        png_image_free(&image);
        out = ReadPicture{};
        return Fail(error, "PNG: " + why);
    }
    return true;
}

bool ReadBmp(const uint8_t* data, size_t size, ReadPicture& out, std::string* error)
{
    out = ReadPicture{};
    if (!IsBmp(data, size) || size < 18)
        return Fail(error, "BMP: not a BMP file (no \"BM\" and header)");
    const uint32_t pixelsAt = U32(data + 10);
    const uint32_t headerSize = U32(data + 14);
    // 12: OS/2 and Windows 2 core; 40: Windows 3; 52, 56: with masks; 108: v4; 124: v5.
    if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
        headerSize != 124)
        return Fail(error, "BMP: a header of " + std::to_string(headerSize) +
                               " bytes is none of 12, 40, 52, 56, 108 or 124");
    if (size < 14 + uint64_t{headerSize})
        return Fail(error, "BMP: the file ends inside its " + std::to_string(headerSize) + "-byte header");
    const uint8_t* h = data + 14;
    int64_t width, height;
    int bits;
    uint32_t compression = kRgb, colours = 0;
    if (headerSize == 12) {
        width = U16(h + 4);
        height = U16(h + 6);
        bits = U16(h + 10);
    } else {
        width = static_cast<int32_t>(U32(h + 4));
        height = static_cast<int32_t>(U32(h + 8));
        bits = U16(h + 14);
        compression = U32(h + 16);
        colours = U32(h + 32);
    }
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (!SizeAllowed(static_cast<uint64_t>(width < 0 ? 0 : width), static_cast<uint64_t>(height)))
        return Fail(error, "BMP: " + std::to_string(width) + "x" + std::to_string(height) +
                               " is not a size from 1 to " + std::to_string(kReaderMaxSide) +
                               " pixels a side within 256 MiB");
    const std::string form = std::to_string(bits) + "-bit " + CompressionName(compression);
    bool known = false;
    switch (compression) {
    case kRgb:
        known = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
        break;
    case kRle8:
        known = bits == 8;
        break;
    case kRle4:
        known = bits == 4;
        break;
    case kBitfields:
    case kAlphaBitfields:
        known = bits == 16 || bits == 32;
        break;
    default:
        break;
    }
    if (!known)
        return Fail(error, "BMP: " + form + " pixels are not read (RGB at 1, 4, 8, 16, 24 or 32 bits, RLE8, RLE4, "
                           "BITFIELDS at 16 or 32 bits)");
    if ((compression == kRle8 || compression == kRle4) && topDown)
        return Fail(error, "BMP: a top-down picture cannot be " + std::string(CompressionName(compression)));

    // Masks: in the header from 52 bytes on, else after a 40-byte header.
    uint64_t tableAt = 14 + uint64_t{headerSize};
    uint32_t masks[4] = {0, 0, 0, 0};
    if (compression == kBitfields || compression == kAlphaBitfields) {
        const int count = compression == kAlphaBitfields || headerSize >= 56 ? 4 : 3;
        const uint8_t* m = h + 40;
        if (headerSize == 40) {
            if (size < tableAt + 4u * count)
                return Fail(error, "BMP: the file ends inside its colour masks");
            m = data + tableAt;
            tableAt += 4u * count;
        }
        for (int i = 0; i < count; ++i)
            masks[i] = U32(m + 4 * i);
    } else if (bits == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (bits == 32) {
        masks[0] = 0x00FF0000u, masks[1] = 0x0000FF00u, masks[2] = 0x000000FFu;
    }
    Channel channels[4];
    for (int i = 0; i < 4; ++i) {
        if (!MakeChannel(masks[i], &channels[i]) || (i < 3 && (bits == 16 || bits == 32) && masks[i] == 0))
            return Fail(error, "BMP: the colour masks are not runs of bits for red, green and blue");
    }

    // The palette.
    std::vector<uint32_t> palette;
    if (bits <= 8) {
        const uint32_t most = 1u << bits;
        if (colours == 0 || colours > most)
            colours = most;
        const int entry = headerSize == 12 ? 3 : 4;
        if (size < tableAt + uint64_t{colours} * entry)
            return Fail(error, "BMP: the file ends inside its palette of " + std::to_string(colours) + " colours");
        for (uint32_t i = 0; i < colours; ++i) {
            const uint8_t* c = data + tableAt + uint64_t{i} * entry;
            palette.push_back(0xFF000000u | static_cast<uint32_t>(c[2]) << 16 | static_cast<uint32_t>(c[1]) << 8 | c[0]);
        }
    }
    if (pixelsAt >= size)
        return Fail(error, "BMP: the pixel data starts at " + std::to_string(pixelsAt) + ", past the end of the file");

    const int w = static_cast<int>(width), ht = static_cast<int>(height);
    out.width = w;
    out.height = ht;
    out.pixels.assign(static_cast<size_t>(w) * ht, 0xFF000000u);
    auto rowOut = [&](int stored) { // stored row → top-down row
        return out.pixels.data() + static_cast<size_t>(topDown ? stored : ht - 1 - stored) * w;
    };
    const uint8_t* pixels = data + pixelsAt;
    const uint8_t* end = data + size;

    if (compression == kRle8 || compression == kRle4) {
        std::vector<uint8_t> index;
        if (!DecodeRle(pixels, end, compression == kRle4, w, ht, index)) {
            out = ReadPicture{};
            return Fail(error, std::string("BMP: the ") + CompressionName(compression) +
                                   " data runs past the picture or the file");
        }
        for (int y = 0; y < ht; ++y) {
            uint32_t* row = rowOut(y);
            for (int x = 0; x < w; ++x) {
                const uint8_t i = index[static_cast<size_t>(y) * w + x];
                if (i >= palette.size()) {
                    out = ReadPicture{};
                    return Fail(error, "BMP: colour " + std::to_string(i) + " is past the palette");
                }
                row[x] = palette[i];
            }
        }
        return true;
    }

    const uint64_t stride = ((uint64_t{static_cast<uint32_t>(w)} * bits + 31) / 32) * 4;
    if (static_cast<uint64_t>(end - pixels) < stride * (ht - 1) + (uint64_t{static_cast<uint32_t>(w)} * bits + 7) / 8) {
        out = ReadPicture{};
        return Fail(error, "BMP: the file ends inside its pixels (" + std::to_string(stride * ht) + " bytes expected)");
    }
    // 32-bit RGB keeps its fourth byte as alpha only when some pixel sets it.
    bool alphaInRgb = false;
    if (bits == 32 && compression == kRgb) {
        for (int y = 0; y < ht && !alphaInRgb; ++y)
            for (int x = 0; x < w && !alphaInRgb; ++x)
                alphaInRgb = pixels[stride * y + 4u * x + 3] != 0;
        if (alphaInRgb)
            MakeChannel(0xFF000000u, &channels[3]);
    }
    out.hasAlpha = channels[3].bits != 0;
    for (int y = 0; y < ht; ++y) {
        const uint8_t* src = pixels + stride * y;
        uint32_t* row = rowOut(y);
        for (int x = 0; x < w; ++x) {
            if (bits <= 8) {
                const int perByte = 8 / bits;
                const int shift = 8 - bits * (x % perByte + 1);
                const uint32_t i = (src[x / perByte] >> shift) & ((1u << bits) - 1);
                if (i >= palette.size()) {
                    out = ReadPicture{};
                    return Fail(error, "BMP: colour " + std::to_string(i) + " is past the palette of " +
                                           std::to_string(palette.size()));
                }
                row[x] = palette[i];
                continue;
            }
            uint32_t value;
            if (bits == 24) {
                const uint8_t* p = src + 3 * x;
                row[x] = 0xFF000000u | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
                continue;
            }
            value = bits == 16 ? U16(src + 2 * x) : U32(src + 4 * x);
            row[x] = static_cast<uint32_t>(channels[3].Of(value)) << 24 | static_cast<uint32_t>(channels[0].Of(value))
                     << 16 | static_cast<uint32_t>(channels[1].Of(value)) << 8 | channels[2].Of(value);
        }
    }
    return true;
}

} // namespace pictures
