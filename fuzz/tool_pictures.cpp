// Fuzzes the tools' readers of pictures made by other programs (PNG through libpng, BMPs of every
// header: masks, palettes, RLE) over arbitrary bytes, as elg encode meets them.
#include <cstddef>
#include <cstdint>

#include "authoring/picture_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    pictures::ReadPicture picture;
    std::string error;
    // Both readers see every input: each must refuse what is not its own.
    pictures::ReadBmp(data, size, picture, &error);
    pictures::ReadPng(data, size, picture, &error);
    return 0;
}
