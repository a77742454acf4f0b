// tessaro-tool elg encode: any picture the engine reads → an ELG file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "authoring/elg_encoder.h"
#include "authoring/picture_io.h"
#include "command.h"

namespace {

int RunElg(int argc, char** argv)
{
    if (argc < 4 || std::strcmp(argv[1], "encode") != 0) {
        std::fprintf(stderr, "usage: tessaro-tool elg encode IN OUT.ELG [--depth 8|24|32] [--variant 0|1|2] "
                             "[--every-opcode]\n");
        return 2;
    }
    const std::string in = argv[2];
    const std::string out = argv[3];
    int depth = 0;
    elg::Options options;
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--depth") == 0 && i + 1 < argc) {
            depth = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--variant") == 0 && i + 1 < argc) {
            options.variant = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--every-opcode") == 0) {
            options.everyOpcode = true;
        } else {
            std::fprintf(stderr, "elg encode: unknown option '%s'\n", argv[i]);
            return 2;
        }
    }
    std::string error;
    pictures::Decoded picture;
    if (!pictures::DecodeFile(in, picture, &error)) {
        std::fprintf(stderr, "elg encode: %s\n", error.c_str());
        return 1;
    }
    if (depth == 0)
        depth = picture.hasAlpha ? 32 : 24;
    elg::Picture elgPicture;
    std::vector<uint8_t> bytes;
    if (!elg::PictureFromPixels(picture.width, picture.height, picture.pixels.data(), depth, elgPicture, &error)
        || (elgPicture.x = picture.x, elgPicture.y = picture.y, !elg::Encode(elgPicture, options, bytes, &error))
        || !pictures::WriteFile(out, bytes, &error)) {
        std::fprintf(stderr, "elg encode: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

TESSARO_TOOL_COMMAND("elg",
                     "  elg encode IN OUT.ELG [--depth 8|24|32] [--variant 0|1|2] [--every-opcode]\n"
                     "      encode a picture as ELG: any the engine reads (ELG, BMP), PNG, and BMPs of every common header",
                     RunElg);
