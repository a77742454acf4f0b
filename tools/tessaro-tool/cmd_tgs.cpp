// tessaro-tool tgs skin FOLDER: writes the scenario engine's SYS pictures and parts file into a game
// folder (docs/tgs-skin.md). tgs state FILE: prints every field of a saved frame state block
// (docs/tgs-state.md) as the engine reads it.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "authoring/file_io.h"
#include "authoring/tgs_skin.h"
#include "command.h"
#include "script/tgs_state.h"

namespace {

// The block read through the engine's reader; a damaged one gives its code and the offset
// where reading stopped. The message number is not checked: that needs the game's scripts.
int PrintState(const char* path)
{
    std::vector<BYTE> bytes;
    if (!ReadWholeFile(path, &bytes)) {
        std::fprintf(stderr, "tgs: cannot read %s\n", path);
        return 1;
    }
    auto state = std::make_unique<TgsSavedState>();
    const uint8_t* at = bytes.data();
    size_t left = bytes.size();
    size_t stopped = 0;
    // The largest ring the settings allow, so that every saved entry is shown.
    const int code = DecodeTgsState(&at, &left, true, 256, state.get(), &stopped);
    if (code != 0) {
        std::fprintf(stderr, "tgs: damaged state block: code %d at offset %zu\n", code, stopped);
        return 1;
    }
    std::fputs(DescribeTgsState(*state).c_str(), stdout);
    if (left != 0)
        std::printf("trailing bytes: %zu\n", left);
    return 0;
}

int RunTgs(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "state") == 0)
        return PrintState(argv[2]);
    if (argc != 3 || std::strcmp(argv[1], "skin") != 0)
        return -1;
    std::vector<TgsSkinFile> files;
    std::string error;
    if (!MakeTgsSkin(&files, &error)) {
        std::fprintf(stderr, "tgs: %s\n", error.c_str());
        return 1;
    }
    const std::filesystem::path folder(argv[2]);
    for (const TgsSkinFile& f : files) {
        const std::filesystem::path path = folder / f.name;
        std::error_code code;
        std::filesystem::create_directories(path.parent_path(), code);
        if (code || !WriteWholeFile(path.string(), f.bytes.data(), f.bytes.size())) {
            std::fprintf(stderr, "tgs: cannot write %s\n", path.string().c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace

TESSARO_TOOL_COMMAND("tgs",
                     "  tgs skin FOLDER                    write the scenario engine's SYS pictures and\n"
                     "                                     parts file (docs/tgs-skin.md)\n"
                     "  tgs state FILE                     print every field of a saved frame state\n"
                     "                                     (docs/tgs-state.md); damage: code and offset",
                     RunTgs);
