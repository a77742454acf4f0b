// tessaro-tool image decode: any picture through the image-loader manager → a 32-bit BMP.
#include <cstdio>
#include <cstring>
#include <string>

#include "authoring/picture_io.h"
#include "command.h"

namespace {

int RunImage(int argc, char** argv)
{
    if (argc != 4 || std::strcmp(argv[1], "decode") != 0) {
        std::fprintf(stderr, "usage: tessaro-tool image decode IN OUT.bmp\n");
        return 2;
    }
    std::string error;
    pictures::Decoded picture;
    std::vector<uint8_t> bytes;
    if (!pictures::DecodeFile(argv[2], picture, &error) || !pictures::EncodeBmp32(picture, bytes, &error)
        || !pictures::WriteFile(argv[3], bytes, &error)) {
        std::fprintf(stderr, "image decode: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

TESSARO_TOOL_COMMAND("image",
                     "  image decode IN OUT.bmp\n"
                     "      decode any picture the engine reads and write it as a 32-bit BMP",
                     RunImage);
