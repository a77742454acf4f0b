// tessaro-tool kag|kad pack LAYOUT.txt OUT and kag|kad list FILE: image-group files built from a
// layout (docs/image-groups.md) and listed field by field as the engine loads them.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/image_group_writer.h"
#include "authoring/picture_io.h"
#include "command.h"
#include "drawing/kad_file.h"
#include "drawing/kag_file.h"
#include "files/gll_manager.h"

namespace {

int ListKag(const std::vector<uint8_t>& bytes)
{
    CGllManager manager;
    RegisterBuiltinImageLoaders(manager);
    g_pGllManager = &manager;
    CKagFile file;
    const int code = file.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), false);
    g_pGllManager = nullptr;
    if (code != 0) {
        std::fprintf(stderr, "kag list: load failed with %d\n", code);
        return 1;
    }
    std::printf("header A %u B %u groups %u\n", file.GetHeaderWordA(), file.GetHeaderWordB(), file.GetGroupCount());
    for (uint32_t g = 0; g < file.GetGroupCount(); ++g)
        std::printf("group %u start %d\n", g, file.GetGroupStart(g));
    std::printf("entries %u\n", file.GetEntryCount());
    for (uint32_t i = 0; i < file.GetEntryCount(); ++i) {
        const KagEntry& e = file.GetEntries()[i];
        std::printf("entry %u picture %d time %u x %d y %d\n", i, e.picture, e.time, e.x, e.y);
    }
    std::printf("pictures %u\n", file.GetPictureCount());
    for (uint32_t i = 0; i < file.GetPictureCount(); ++i) {
        const CImage* p = file.GetPicture(static_cast<int32_t>(i));
        std::printf("picture %u %dx%d bits %u alpha %d key %08X\n", i, p->GetWidth(), p->GetHeight(),
                    p->GetBitsPerPixel(), p->HasAlpha() ? 1 : 0, p->GetColorKey());
    }
    return 0;
}

int ListKad(const std::vector<uint8_t>& bytes)
{
    CKadFile file;
    const int code = file.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (code != 0) {
        std::fprintf(stderr, "kad list: load failed with %d\n", code);
        return 1;
    }
    std::printf("header");
    for (int i = 0; i < 12; ++i)
        std::printf(" %02X", file.GetHeader()[i]);
    std::printf("\ngroups %u longest %u\n", file.GetGroupCount(), file.GetLongestGroup());
    for (uint32_t g = 0; g < file.GetGroupCount(); ++g)
        std::printf("group %u entries %d..%d\n", g, file.GetGroupStart(g), file.GetGroupEnd(g));
    std::printf("blob %zu bytes\nentries %u\n", file.GetBlob().size(), file.GetEntryCount());
    for (uint32_t i = 0; i < file.GetEntryCount(); ++i) {
        const KadEntry& e = file.GetEntries()[i];
        std::printf("entry %u first %d second %d x %d y %d offset %u\n", i, e.first, e.second, e.x, e.y, e.offset);
    }
    std::printf("records %zu\n", file.GetRecords().size());
    for (size_t i = 0; i < file.GetRecords().size(); ++i) {
        const KadRecord& r = file.GetRecords()[i];
        std::printf("record %zu c %u d %u bytes %zu '", i, r.c, r.d, r.bytes.size());
        for (uint8_t b : r.bytes)
            std::printf(b >= 32 && b < 127 ? "%c" : "\\x%02X", b);
        std::printf("'\n");
    }
    return 0;
}

int Run(int argc, char** argv, bool kad)
{
    const char* name = kad ? "kad" : "kag";
    std::string error;
    if (argc == 4 && std::strcmp(argv[1], "pack") == 0) {
        if (!image_groups::PackFile(kad, argv[2], argv[3], &error)) {
            std::fprintf(stderr, "%s pack: %s\n", name, error.c_str());
            return 1;
        }
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "list") == 0) {
        std::vector<uint8_t> bytes;
        if (!pictures::ReadFile(argv[2], bytes, &error)) {
            std::fprintf(stderr, "%s list: %s\n", name, error.c_str());
            return 1;
        }
        return kad ? ListKad(bytes) : ListKag(bytes);
    }
    std::fprintf(stderr, "usage: tessaro-tool %s pack LAYOUT.txt OUT | %s list FILE\n", name, name);
    return 2;
}

int RunKag(int argc, char** argv)
{
    return Run(argc, argv, false);
}

int RunKad(int argc, char** argv)
{
    return Run(argc, argv, true);
}

} // namespace

TESSARO_TOOL_COMMAND("kag",
                     "  kag pack LAYOUT.txt OUT.KAG | kag list FILE.KAG\n"
                     "      build an image-group file from a layout (docs/image-groups.md), or list one",
                     RunKag);
TESSARO_TOOL_COMMAND("kad",
                     "  kad pack LAYOUT.txt OUT.KAD | kad list FILE.KAD\n"
                     "      build a grouped data file from a layout (docs/image-groups.md), or list one",
                     RunKad);
