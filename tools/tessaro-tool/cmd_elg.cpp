// tessaro-tool elg encode: any picture the engine reads → an ELG file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/elg_encoder.h"
#include "authoring/picture_io.h"
#include "command.h"

namespace {

bool ParsePosition(const char* text, int* x, int* y)
{
    char* end = nullptr;
    const long a = std::strtol(text, &end, 10);
    if (end == text || *end != ',')
        return false;
    const char* second = end + 1;
    const long b = std::strtol(second, &end, 10);
    if (end == second || *end != 0 || a < -32768 || a > 32767 || b < -32768 || b > 32767)
        return false;
    *x = static_cast<int>(a);
    *y = static_cast<int>(b);
    return true;
}

// TAG:FILE → one chain block: u8 tag (1-255), u32 length counting itself, the file's bytes.
bool AppendBlock(const char* text, std::vector<uint8_t>& chain, std::string* error)
{
    char* end = nullptr;
    const long tag = std::strtol(text, &end, 0);
    if (end == text || *end != ':' || tag < 1 || tag > 255) {
        *error = "wants TAG:FILE with a tag of 1 to 255";
        return false;
    }
    std::vector<uint8_t> data;
    if (!pictures::ReadFile(end + 1, data, error))
        return false;
    if (data.size() > 0x7FFFFFF0u) {
        *error = "block too large";
        return false;
    }
    const auto length = static_cast<uint32_t>(data.size() + 4);
    chain.push_back(static_cast<uint8_t>(tag));
    for (int i = 0; i < 4; ++i)
        chain.push_back(static_cast<uint8_t>(length >> (8 * i)));
    chain.insert(chain.end(), data.begin(), data.end());
    return true;
}

int RunElg(int argc, char** argv)
{
    if (argc < 4 || std::strcmp(argv[1], "encode") != 0) {
        std::fprintf(stderr, "usage: tessaro-tool elg encode IN OUT.ELG [--depth 8|24|32] [--variant 0|1|2] "
                             "[--pos X,Y] [--ext TAG:FILE]... [--every-opcode]\n");
        return 2;
    }
    const std::string in = argv[2];
    const std::string out = argv[3];
    int depth = 0;
    elg::Options options;
    bool variantGiven = false, posGiven = false;
    int posX = 0, posY = 0;
    std::vector<uint8_t> extension;
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--depth") == 0 && i + 1 < argc) {
            depth = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--variant") == 0 && i + 1 < argc) {
            options.variant = std::atoi(argv[++i]);
            variantGiven = true;
        } else if (std::strcmp(argv[i], "--pos") == 0 && i + 1 < argc) {
            if (!ParsePosition(argv[++i], &posX, &posY)) {
                std::fprintf(stderr, "elg encode: --pos wants X,Y within -32768..32767\n");
                return 2;
            }
            posGiven = true;
        } else if (std::strcmp(argv[i], "--ext") == 0 && i + 1 < argc) {
            std::string error;
            if (!AppendBlock(argv[++i], extension, &error)) {
                std::fprintf(stderr, "elg encode: --ext %s\n", error.c_str());
                return 2;
            }
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
    // A placement needs variant 1 or 2, an extension block variant 2.
    if (!extension.empty())
        options.variant = 2;
    else if (posGiven && (!variantGiven || options.variant == 0))
        options.variant = 1;
    elg::Picture elgPicture;
    std::vector<uint8_t> bytes;
    if (!elg::PictureFromPixels(picture.width, picture.height, picture.pixels.data(), depth, elgPicture, &error)
        || (elgPicture.x = posGiven ? posX : picture.x, elgPicture.y = posGiven ? posY : picture.y,
            elgPicture.extension = extension, !elg::Encode(elgPicture, options, bytes, &error))
        || !pictures::WriteFile(out, bytes, &error)) {
        std::fprintf(stderr, "elg encode: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

TESSARO_TOOL_COMMAND("elg",
                     "  elg encode IN OUT.ELG [--depth 8|24|32] [--variant 0|1|2] [--pos X,Y] [--ext TAG:FILE]...\n"
                     "      [--every-opcode]\n"
                     "      encode a picture as ELG: any the engine reads (ELG, BMP), PNG, and BMPs of every common header;\n"
                     "      --pos gives it a placement (variant 1 or 2), --ext adds an extension block (variant 2)",
                     RunElg);
