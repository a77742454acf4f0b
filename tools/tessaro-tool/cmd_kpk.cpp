// tessaro-tool kpk: pack a folder into a KPK archive, list one, extract an entry (read through the
// engine's KPK reader).
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "authoring/file_io.h"
#include "authoring/kpk_writer.h"
#include "command.h"
#include "files/kpk_archive.h"
#include "winapi/kernel.h"
#include "winapi/text.h"

namespace {

int Pack(int argc, char** argv)
{
    if (argc < 4)
        return -1;
    KpkWriterOptions options;
    for (int i = 4; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--no-names")
            options.names = false;
        else if (option == "--units")
            options.units = true;
        else if (option == "--compress")
            options.compress = true;
        else if (option == "--scramble")
            options.scramble = true;
        else if (option == "--words")
            options.words = true;
        else if (option == "--prefix")
            options.prefix = true;
        else
            return -1;
    }
    std::vector<KpkWriterEntry> entries;
    std::string error, archivePath;
    if (!CheckedWindowsPathOf(argv[2], &archivePath, &error) || !CollectKpkEntries(argv[3], &entries, &error) ||
        !WriteKpkArchive(archivePath, entries, options, &error)) {
        std::fprintf(stderr, "kpk: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

// Opens an archive through the engine's decoder, with entry records → the archive or null.
CKpkArchive* OpenArchive(const char* path)
{
    std::string windowsPath, error;
    if (!CheckedWindowsPathOf(path, &windowsPath, &error)) {
        std::fprintf(stderr, "kpk: %s\n", error.c_str());
        return nullptr;
    }
    BYTE previous = g_KpkBuildRecords;
    g_KpkBuildRecords = 1;
    CKpkDecoder decoder;
    int code = 0;
    CArchive* archive = decoder.Open(windowsPath.c_str(), INVALID_HANDLE_VALUE, &code);
    g_KpkBuildRecords = previous;
    if (archive == nullptr) {
        std::fprintf(stderr, "kpk: cannot open %s (code %d)\n", path, code);
        return nullptr;
    }
    return static_cast<CKpkArchive*>(archive);
}

int List(int argc, char** argv)
{
    if (argc != 3)
        return -1;
    CKpkArchive* archive = OpenArchive(argv[2]);
    if (archive == nullptr)
        return 1;
    for (DWORD i = 0; i < archive->GetEntryCount(); ++i) {
        char name[MAX_PATH];
        const CArchiveEntry* entry = archive->GetEntry(i, name);
        std::printf("%u\t%s\t%u\t%u\t%u\t%u\n", i, winapi::SjisToUtf8(name).c_str(), entry->storedSize, entry->unpackedSize, entry->offset,
                    entry->flag);
    }
    archive->Release();
    return 0;
}

int Extract(int argc, char** argv)
{
    if (argc != 5)
        return -1;
    std::string name, error;
    if (!SjisName(argv[3], &name, &error)) {
        std::fprintf(stderr, "kpk: %s\n", error.c_str());
        return 1;
    }
    CKpkArchive* archive = OpenArchive(argv[2]);
    if (archive == nullptr)
        return 1;
    // Names are stored with '\' between folders; '/' is accepted on the command line.
    for (char& c : name)
        if (c == '/')
            c = '\\';
    CLoadRecord record;
    int code = archive->LoadByName(name.c_str(), GlobalAllocCallback, &record, nullptr, nullptr);
    if (code == 3) {
        // A "%06d.DAT" name of an archive without names.
        unsigned index = 0;
        char tail[8] = {};
        if (std::strlen(argv[3]) == 10 && std::sscanf(argv[3], "%6u.%3s", &index, tail) == 2 &&
            (std::strcmp(tail, "DAT") == 0 || std::strcmp(tail, "dat") == 0))
            code = archive->LoadByIndex(index, GlobalAllocCallback, &record, nullptr, nullptr);
    }
    if (code != 0) {
        GlobalFreeCallback(&record);
        archive->Release();
        std::fprintf(stderr, "kpk: cannot load %s (code %d)\n", argv[3], code);
        return 1;
    }
    bool ok = WriteWholeFile(argv[4], static_cast<BYTE*>(record.pointer), record.size);
    GlobalFreeCallback(&record);
    archive->Release();
    if (!ok) {
        std::fprintf(stderr, "kpk: cannot write %s\n", argv[4]);
        return 1;
    }
    return 0;
}

int RunKpk(int argc, char** argv)
{
    int r = -1;
    if (argc >= 2 && std::strcmp(argv[1], "pack") == 0)
        r = Pack(argc, argv);
    else if (argc >= 2 && std::strcmp(argv[1], "list") == 0)
        r = List(argc, argv);
    else if (argc >= 2 && std::strcmp(argv[1], "extract") == 0)
        r = Extract(argc, argv);
    if (r >= 0)
        return r;
    std::fprintf(stderr, "usage: tessaro-tool kpk pack OUT.KPK FOLDER [options] | list ARCHIVE | "
                         "extract ARCHIVE NAME OUT\n");
    return 2;
}

} // namespace

TESSARO_TOOL_COMMAND("kpk",
                     "  kpk pack OUT.KPK FOLDER [--no-names] [--units] [--compress] [--scramble] [--words] [--prefix]\n"
                     "                            pack every file below FOLDER (the archive's name is part of its key)\n"
                     "  kpk list ARCHIVE          index, name, stored size, unpacked size, offset, flag\n"
                     "  kpk extract ARCHIVE NAME OUT",
                     RunKpk);
