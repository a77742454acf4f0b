// tessaro-tool file cat: reads a path through the engine's file manager, set up with a base
// folder, search folders and mounted archives, in the engine's lookup order.
#include <cstdio>
#include <cstring>
#include <string>

#include "authoring/file_io.h"
#include "command.h"
#include "files/file_manager.h"
#include "files/file_stream.h"
#include "files/kpk_archive.h"
#include "files/path_utils.h"
#include "winapi/text.h"

namespace {

int RunFile(int argc, char** argv)
{
    if (argc < 5 || std::strcmp(argv[1], "cat") != 0 || (argc - 5) % 2 != 0) {
        std::fprintf(stderr, "usage: tessaro-tool file cat BASEFOLDER PATH OUT [--search FOLDER]... "
                             "[--mount ARCHIVE]... [--mount-folder ARCHIVE]...\n");
        return 2;
    }
    std::string base, name, error;
    if (!CheckedWindowsPathOf(argv[2], &base, &error) || !SjisName(argv[3], &name, &error)) {
        std::fprintf(stderr, "file: %s\n", error.c_str());
        return 1;
    }
    if (SetBaseFolder(base.c_str()) != 0) {
        std::fprintf(stderr, "file: bad base folder %s\n", argv[2]);
        return 1;
    }
    CFileManager manager;
    manager.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
    for (int i = 5; i < argc; i += 2) {
        std::string option = argv[i];
        std::string path;
        if (!CheckedWindowsPathOf(argv[i + 1], &path, &error)) {
            std::fprintf(stderr, "file: %s\n", error.c_str());
            return 1;
        }
        int code = 0;
        if (option == "--search") {
            code = manager.AddSearchFolder(path.c_str(), true);
        } else if (option == "--mount" || option == "--mount-folder") {
            // Archives are asked in the order given.
            code = manager.Mount(path.c_str(), -2, option == "--mount-folder", true, nullptr);
        } else {
            std::fprintf(stderr, "file: unknown option %s\n", option.c_str());
            return 2;
        }
        if (code != 0) {
            std::fprintf(stderr, "file: %s %s failed (code %d)\n", option.c_str(), argv[i + 1], code);
            return 1;
        }
    }
    CFileManager* previous = g_pFileManager;
    g_pFileManager = &manager;
    CFileStream file;
    DWORD code = file.OpenInMemory(name.c_str());
    int result = 0;
    if (code != 0) {
        std::fprintf(stderr, "file: cannot read %s (code %u)\n", argv[3], code);
        result = 1;
    } else if (!WriteWholeFile(argv[4], static_cast<const BYTE*>(file.GetBuffer()), file.GetSize())) {
        std::fprintf(stderr, "file: cannot write %s\n", argv[4]);
        result = 1;
    } else {
        std::fprintf(stderr, "%s\n", winapi::SjisToUtf8(file.GetPath()).c_str());
    }
    file.Close();
    g_pFileManager = previous;
    return result;
}

} // namespace

TESSARO_TOOL_COMMAND("file",
                     "  file cat BASEFOLDER PATH OUT [--search FOLDER]... [--mount ARCHIVE]... [--mount-folder ARCHIVE]...\n"
                     "                            read PATH as the engine finds it (prints where it was found)",
                     RunFile);
