// Pictures made by other programs, for the tools: PNG (through libpng) and every BMP header that
// common writers use (ImageMagick's default v4 and v5 headers with BITFIELDS masks, OS/2 core
// headers, RLE), which the engine's own BMP loader does not read. Each refusal says why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pictures {

// The tools' limits, the engine's: 16384 pixels a side, 256 MiB of pixels.
constexpr int kReaderMaxSide = 16384;

struct ReadPicture {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;        // the file carries alpha (a mask, an alpha channel, tRNS)
    std::vector<uint32_t> pixels; // top-down rows, 0xAARRGGBB (alpha 255 where the file has none)
};

bool IsPng(const uint8_t* data, size_t size);
bool IsBmp(const uint8_t* data, size_t size);

// → true with the picture, or false with why in *error ("BMP: ..." / "PNG: ...").
bool ReadPng(const uint8_t* data, size_t size, ReadPicture& out, std::string* error);
bool ReadBmp(const uint8_t* data, size_t size, ReadPicture& out, std::string* error);

} // namespace pictures
