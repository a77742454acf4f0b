// tessaro-tool name-trie: writes the packed name trie of an archive index from NAME=VALUE pairs.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/name_trie_writer.h"
#include "command.h"

static int RunNameTrie(int argc, char** argv)
{
    int i = 1;
    bool wide = false;
    if (i < argc && std::strcmp(argv[i], "--wide") == 0) {
        wide = true;
        ++i;
    }
    if (argc - i < 2) {
        std::fprintf(stderr, "usage: tessaro-tool name-trie [--wide] OUT NAME=VALUE...\n");
        return 2;
    }
    const char* outPath = argv[i++];
    std::vector<authoring::NameValue> names;
    for (; i < argc; ++i) {
        const char* eq = std::strrchr(argv[i], '=');
        if (!eq) {
            std::fprintf(stderr, "name-trie: '%s' is not NAME=VALUE\n", argv[i]);
            return 2;
        }
        names.push_back({std::string(argv[i], static_cast<size_t>(eq - argv[i])),
                         static_cast<uint32_t>(std::strtoul(eq + 1, nullptr, 0))});
    }
    std::vector<uint8_t> trie;
    if (!authoring::BuildNameTrie(names, wide, trie)) {
        std::fprintf(
            stderr,
            "name-trie: the names do not fit a trie (duplicates, or too large for the narrow form)\n");
        return 1;
    }
    FILE* out = std::fopen(outPath, "wb");
    if (!out || std::fwrite(trie.data(), 1, trie.size(), out) != trie.size() || std::fclose(out) != 0) {
        std::fprintf(stderr, "name-trie: cannot write %s\n", outPath);
        return 1;
    }
    return 0;
}

TESSARO_TOOL_COMMAND("name-trie", "  name-trie [--wide] OUT NAME=VALUE...   write a packed name trie",
                     RunNameTrie);
