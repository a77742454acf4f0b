#include "platform/name_trie.h"

#include <cstring>

#include "winapi/kernel.h"

int32_t FindInNameTrie(const uint8_t* trie, size_t size, bool wide, const char* name, int32_t caseMode)
{
    if (!trie || !name)
        return -1;
    char copy[256];
    const char* key = name;
    if (caseMode != 0) {
        const size_t length = std::strlen(name);
        if (length >= sizeof copy)
            return -1;
        std::memcpy(copy, name, length + 1);
        if (caseMode == 1)
            CharUpperA(copy);
        else
            CharLowerA(copy);
        key = copy;
    }
    const size_t linkSize = wide ? 4 : 2;
    const size_t entrySize = 1 + linkSize;
    size_t node = 0;
    // Every count and link is checked against the trie's size: a damaged index used to send the
    // walk outside the trie.
    for (const char* p = key;; ++p) {
        if (node >= size)
            return -1;
        const size_t count = trie[node];
        if (count == 0 || count > (size - node - 1) / entrySize)
            return -1;
        const auto c = static_cast<uint8_t>(*p);
        const uint8_t* entry = trie + node + 1;
        size_t i = 0;
        while (i < count && entry[i * entrySize] != c)
            ++i;
        if (i == count)
            return -1;
        const uint8_t* link = entry + i * entrySize + 1;
        uint32_t value = static_cast<uint32_t>(link[0]) | static_cast<uint32_t>(link[1]) << 8;
        if (wide)
            value |= static_cast<uint32_t>(link[2]) << 16 | static_cast<uint32_t>(link[3]) << 24;
        if (c == 0)
            return static_cast<int32_t>(value);
        const size_t entryEnd = node + 1 + (i + 1) * entrySize;
        if (value > size - entryEnd)
            return -1;
        node = entryEnd + value;
    }
}
