// tessaro-tool save: looks into save files and makes them from a script state (seeds for the
// harnesses, damaged cases for the tests).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/file_io.h"
#include "authoring/picture_io.h"
#include "command.h"
#include "natives/save_file.h"
#include "winapi/text.h"

namespace {

int Show(const char* path, const char* thumbnailOut)
{
    std::vector<BYTE> bytes;
    if (!ReadWholeFile(path, &bytes)) {
        std::fprintf(stderr, "save: cannot read %s\n", path);
        return 1;
    }
    savefile::View view;
    int code = savefile::Parse(bytes.data(), bytes.size(), &view);
    std::vector<uint8_t> state;
    if (code == 0)
        code = savefile::Unpack(view, &state);
    std::printf("file       %zu bytes\n", bytes.size());
    if (view.thumbnail != nullptr) {
        std::printf("title      \"%s\"\n", winapi::SjisToUtf8(view.title).c_str());
        std::printf("comment    \"%s\"\n", winapi::SjisToUtf8(view.comment).c_str());
        std::printf("protect    %u\n", view.protect);
        std::printf("stored     %u bytes, unpacked %u%s, checksum %02X\n", view.stored, view.unpacked,
                    view.unpacked == 0 ? " (raw)" : "", view.checksum);
    }
    if (code != 0) {
        std::printf("damaged    load code %d\n", code);
        return 1;
    }
    std::printf("state      %zu bytes\n", state.size());
    if (thumbnailOut != nullptr) {
        pictures::Decoded picture;
        picture.width = savefile::kThumbWidth;
        picture.height = savefile::kThumbHeight;
        for (size_t i = 0; i < savefile::kThumbBytes; i += 3)
            picture.pixels.push_back(0xFF000000u | view.thumbnail[i] | (view.thumbnail[i + 1] << 8) |
                                     (view.thumbnail[i + 2] << 16));
        std::vector<uint8_t> bmp;
        std::string error;
        if (!pictures::EncodeBmp32(picture, bmp, &error) || !pictures::WriteFile(thumbnailOut, bmp, &error)) {
            std::fprintf(stderr, "save: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}

int Pack(int argc, char** argv)
{
    savefile::Contents contents;
    bool pack = true;
    for (int i = 4; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        std::string* text = std::strcmp(argv[i], "--title") == 0     ? &contents.title
                            : std::strcmp(argv[i], "--comment") == 0 ? &contents.comment
                                                                     : nullptr;
        if (text != nullptr && hasValue) {
            if (!winapi::Utf8ToSjisChecked(argv[++i], text)) {
                std::fprintf(stderr, "save: %s has a character without a Shift-JIS form\n", argv[i]);
                return 2;
            }
        } else if (std::strcmp(argv[i], "--raw") == 0) {
            pack = false;
        } else {
            return -1;
        }
    }
    std::vector<BYTE> state;
    if (!ReadWholeFile(argv[2], &state)) {
        std::fprintf(stderr, "save: cannot read %s\n", argv[2]);
        return 1;
    }
    std::vector<uint8_t> bytes;
    if (!savefile::Build(contents, state.data(), state.size(), pack, &bytes)) {
        std::fprintf(stderr, "save: the state is larger than %u bytes\n", savefile::kMaxUnpacked);
        return 1;
    }
    if (!WriteWholeFile(argv[3], bytes.data(), bytes.size())) {
        std::fprintf(stderr, "save: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}

int RunSave(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "show") == 0) {
        if (argc == 3)
            return Show(argv[2], nullptr);
        if (argc == 5 && std::strcmp(argv[3], "--thumbnail") == 0)
            return Show(argv[2], argv[4]);
        return -1;
    }
    if (argc >= 4 && std::strcmp(argv[1], "pack") == 0)
        return Pack(argc, argv);
    return -1;
}

} // namespace

TESSARO_TOOL_COMMAND("save",
                     "  save show FILE [--thumbnail OUT.BMP]\n"
                     "      print a save file's header and check it (damage: its load code, exit 1)\n"
                     "  save pack STATE OUT.SAV [--title T] [--comment C] [--raw]\n"
                     "      make a save file around a script state (black thumbnail; --raw: not packed)",
                     RunSave);
