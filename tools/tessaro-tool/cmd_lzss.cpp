// tessaro-tool lzss: the engine's LZSS codec on whole files.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "authoring/file_io.h"
#include "command.h"
#include "files/lzss.h"

namespace {

int RunLzss(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "pack") == 0) {
        std::vector<BYTE> in;
        if (!ReadWholeFile(argv[2], &in)) {
            std::fprintf(stderr, "lzss: cannot read %s\n", argv[2]);
            return 1;
        }
        BYTE* packed = nullptr;
        DWORD size = 0;
        int r = LzssCompress(in.data(), &packed, static_cast<DWORD>(in.size()), &size, true);
        if (r == 1) {
            std::fprintf(stderr, "lzss: %s does not compress (LZSS saves 8 bytes or fewer)\n", argv[2]);
            return 3;
        }
        if (r != 0) {
            std::fprintf(stderr, "lzss: out of memory\n");
            return 1;
        }
        bool ok = WriteWholeFile(argv[3], packed, size);
        LzssFree(packed);
        if (!ok) {
            std::fprintf(stderr, "lzss: cannot write %s\n", argv[3]);
            return 1;
        }
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "unpack") == 0) {
        char* end = nullptr;
        unsigned long long size = std::strtoull(argv[4], &end, 10);
        if (end == argv[4] || *end != '\0' || size == 0 || size > 0xFFFFFFFFull) {
            std::fprintf(stderr, "lzss: bad size %s\n", argv[4]);
            return 2;
        }
        std::vector<BYTE> in;
        if (!ReadWholeFile(argv[2], &in)) {
            std::fprintf(stderr, "lzss: cannot read %s\n", argv[2]);
            return 1;
        }
        BYTE* out = nullptr;
        int r = LzssDecompress(in.data(), static_cast<DWORD>(in.size()), &out, static_cast<DWORD>(size), true);
        if (r != 0) {
            std::fprintf(stderr, "lzss: %s\n", r == 3 ? "the stream ends before that size" : "out of memory");
            return 1;
        }
        bool ok = WriteWholeFile(argv[3], out, static_cast<size_t>(size));
        LzssFree(out);
        if (!ok) {
            std::fprintf(stderr, "lzss: cannot write %s\n", argv[3]);
            return 1;
        }
        return 0;
    }
    std::fprintf(stderr, "usage: tessaro-tool lzss pack IN OUT | lzss unpack IN OUT SIZE\n");
    return 2;
}

} // namespace

TESSARO_TOOL_COMMAND("lzss",
                     "  lzss pack IN OUT          compress (exit 3 when LZSS would not save more than 8 bytes)\n"
                     "  lzss unpack IN OUT SIZE   expand to SIZE bytes",
                     RunLzss);
