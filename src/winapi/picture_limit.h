// The one limit on decoded pictures, for every reader of pictures (bitmaps, ELG, image-group
// entries, plug-in pictures, textures, text images): a few hundred bytes of compressed data can
// declare a picture of gigabytes, so a size past the limit is damage, refused before anything is
// allocated. Sides as surfaces and sprites take them; bytes counted at 32 bits a pixel.
#pragma once

#include <cstdint>

constexpr int64_t kMaxPictureSide = 16384;
constexpr uint64_t kMaxPictureBytes = 256ull << 20;

// True when a width x height picture lies inside the limit (and both sides are at least 1).
constexpr bool PictureWithinLimit(int64_t width, int64_t height)
{
    return width >= 1 && height >= 1 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4 <= kMaxPictureBytes;
}
