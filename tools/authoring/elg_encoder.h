// ELG encoder for test data and games: both stream codings with a hash-chain copy search, runs and
// (for pixels) up-references, and the three header variants. In every-opcode mode the encoder
// uses each opcode class at least once where the data allows it, so decoders see every form.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace elg {

// Opcode classes of the byte coding, in table order.
enum ByteOp { kByteLiteral, kByteLiteralLong, kByteFill, kByteFillLong, kByteCopyShort, kByteCopyLong,
              kByteCopy3, kByteCopy4, kByteCopy1Near, kByteCopy2Near, kByteOpCount };
// Opcode classes of the pixel coding, in table order.
enum PixelOp { kPixLiteral, kPixLiteralLong, kPixFill, kPixFillLong, kPixCopyShort, kPixCopyMid, kPixCopyFar,
               kPixCopy1Near, kPixCopy1Mid, kPixCopy1Far, kPixUpFar, kPixUpFarLeft, kPixUpFarRight, kPixUp,
               kPixUpLeft, kPixUpRight, kPixelOpCount };

struct OpUse {
    std::array<uint32_t, kByteOpCount> byteOps{};
    std::array<uint32_t, kPixelOpCount> pixelOps{};
};

// Appends the byte-coded stream of count values (terminator included) to out.
void EncodeByteStream(const uint8_t* values, size_t count, bool everyOpcode, std::vector<uint8_t>& out,
                      OpUse* use = nullptr);
// Appends the pixel-coded stream of count pixels (low three bytes: blue, green, red; rows of width)
// to out.
void EncodePixelStream(const uint32_t* pixels, size_t count, size_t width, bool everyOpcode,
                       std::vector<uint8_t>& out, OpUse* use = nullptr);

struct Picture {
    int width = 0;
    int height = 0;
    int depth = 32;                  // 8, 24 or 32
    std::vector<uint32_t> pixels;    // depth 24/32: top-down rows, 0xAARRGGBB
    std::vector<uint8_t> indexes;    // depth 8: top-down rows of palette indexes
    std::vector<uint8_t> palette;    // depth 8: 1024 bytes (blue, green, red, reserved)
    int x = 0;                       // placement offset (variants 1 and 2)
    int y = 0;
    std::vector<uint8_t> extension;  // variant 2: the chain's blocks (tag, length, data), no final 0
};

struct Options {
    int variant = 0;  // 0 plain header, 1 with position, 2 with position and extension chain
    bool everyOpcode = false;
};

// Encodes a whole file; false with a message when the picture cannot be stored.
bool Encode(const Picture& picture, const Options& options, std::vector<uint8_t>& out, std::string* error,
            OpUse* use = nullptr);

// Makes a picture of the given depth from 32-bit pixels (0xAARRGGBB, top-down). Depth 8 needs at
// most 256 distinct colours (alpha ignored); false with a message otherwise.
bool PictureFromPixels(int width, int height, const uint32_t* pixels, int depth, Picture& picture,
                       std::string* error);

}  // namespace elg
