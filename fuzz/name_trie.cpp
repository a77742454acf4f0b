// Fuzzes the name-trie lookup (seeds: tries written by `tessaro-tool name-trie`, each behind a
// flags byte and a name). Input: a flags byte (bit 0 wide form, bits 1-2 case mode), a
// NUL-terminated name, then the trie, copied to a buffer of exactly its size.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/name_trie.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const bool wide = data[0] & 1;
    const int32_t caseMode = (data[0] >> 1) & 3;
    const auto* nameStart = reinterpret_cast<const char*>(data + 1);
    const void* nul = std::memchr(nameStart, 0, size - 1);
    if (!nul)
        return 0;
    const size_t nameLength = static_cast<size_t>(static_cast<const char*>(nul) - nameStart);
    std::vector<char> name(nameStart, nameStart + nameLength + 1);
    const uint8_t* trieStart = data + 1 + nameLength + 1;
    std::vector<uint8_t> trie(trieStart, data + size);
    FindInNameTrie(trie.empty() ? nullptr : trie.data(), trie.size(), wide, name.data(), caseMode);
    return 0;
}
