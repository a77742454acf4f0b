// tessaro-tool tgs skin FOLDER: writes the scenario engine's SYS pictures and parts file into a game
// folder (docs/tgs-skin.md).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "authoring/file_io.h"
#include "authoring/tgs_skin.h"
#include "command.h"

namespace {

int RunTgs(int argc, char** argv)
{
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
                     "                                     parts file (docs/tgs-skin.md)",
                     RunTgs);
