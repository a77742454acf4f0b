// tessaro-tool effect-data: writes the layer effects' pictures into a game folder.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "authoring/effect_data.h"
#include "command.h"

namespace {

int RunEffectData(int argc, char** argv)
{
    uint32_t seed = 1;
    if (argc == 4 && std::strcmp(argv[2], "--seed") == 0) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(argv[3], &end, 10);
        if (end == argv[3] || *end != '\0' || value > 0xFFFFFFFFul) {
            std::fprintf(stderr, "effect-data: bad seed %s\n", argv[3]);
            return 2;
        }
        seed = static_cast<uint32_t>(value);
    } else if (argc != 2) {
        std::fprintf(stderr, "usage: tessaro-tool effect-data DIR [--seed N]\n");
        return 2;
    }
    std::string error;
    if (!effect_data::Write(argv[1], seed, &error)) {
        std::fprintf(stderr, "effect-data: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

TESSARO_TOOL_COMMAND("effect-data",
                     "  effect-data DIR [--seed N]   write SYS\\NOISE.ELG, PAPER_0..7, GR_LT0..2, SNOW_0..4, RULE001..003, the parts list CA040.TXT, ANIME\\BG.KAD and its frames into DIR",
                     RunEffectData);
