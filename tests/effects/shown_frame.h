// What the effects' milestones ask of a presented frame: that it equals a rendered scene, and its
// colours' CRC-32 for the golden table.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <zlib.h>

#include "authoring/picture_io.h"
#include "effect_test_world.h"
#include "winapi/host.h"

namespace effects_test {

// Pixels whose colour differs from the rendered scene (the first three reported under `what`).
inline int CountShownMismatches(const winapi::Frame& shown, const CImage& rendered, const std::string& what)
{
    int wrong = 0;
    for (LONG y = 0; y < shown.height; ++y)
        for (LONG x = 0; x < shown.width; ++x)
            if ((shown.At(x, y) & 0xFFFFFF) != (PixelAt(rendered, x, y) & 0xFFFFFF) && wrong++ < 3)
                ADD_FAILURE() << what << " at " << x << "," << y << ": " << std::hex << shown.At(x, y)
                              << " against " << PixelAt(rendered, x, y);
    return wrong;
}

// The CRC-32 of the frame's colours (alpha left out). With TESSARO_EFFECTS_FRAMES=DIR set the frame
// is also written there as NAME.bmp, for review.
inline uint32_t ShownFrameCrc(const winapi::Frame& shown, const std::string& name)
{
    std::vector<uint32_t> colours(shown.pixels.size());
    for (size_t i = 0; i < colours.size(); ++i)
        colours[i] = shown.pixels[i] & 0xFFFFFF;
    const auto crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(colours.data()), static_cast<uInt>(colours.size() * 4)));
    if (const char* dir = std::getenv("TESSARO_EFFECTS_FRAMES")) {
        pictures::Decoded picture;
        picture.width = shown.width;
        picture.height = shown.height;
        picture.pixels.resize(colours.size());
        for (size_t i = 0; i < colours.size(); ++i)
            picture.pixels[i] = 0xFF000000u | colours[i];
        std::vector<uint8_t> bmp;
        std::string error;
        if (pictures::EncodeBmp32(picture, bmp, &error))
            pictures::WriteFile(std::string(dir) + "/" + name + ".bmp", bmp, &error);
    }
    return crc;
}

} // namespace effects_test
