// Reading and writing pictures for the tools and tests: any file the engine's image loaders read
// (by extension, then by header), or else a PNG or a BMP of another header (picture_readers.h),
// decoded to 32-bit pixels, and 32-bit BMPs made by the engine's BMP writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pictures {

struct Decoded {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;        // what the loader reported to the allocate callback
    std::vector<uint32_t> pixels; // top-down rows, 0xAARRGGBB
    int x = 0;
    int y = 0;
};

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error);
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

// Decodes bytes through a manager with the built-in loaders; name picks the loader by extension
// (may be empty) before the headers are asked. false with a message saying why.
bool DecodeBytes(const std::vector<uint8_t>& bytes, const std::string& name, Decoded& out, std::string* error);
bool DecodeFile(const std::string& path, Decoded& out, std::string* error);

// A 32-bit BMP of the pixels (the engine's writer, mode 1).
bool EncodeBmp32(const Decoded& picture, std::vector<uint8_t>& out, std::string* error);

}  // namespace pictures
