// Writes the packed character trie that archive indexes use for name lookup (read by
// FindInNameTrie): a node is a u8 child count and entries {character u8, link u16 or u32}; the
// children of a node follow its entry table, and a NUL entry's link is the value of the name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace authoring {

struct NameValue {
    std::string name; // bytes as stored (no NUL inside)
    uint32_t value;
};

// Builds the trie of `names` into `out`. False (out then undefined) for an empty list, a
// duplicate name, a name holding NUL, more than 255 children in one node, or a link or value that
// does not fit the narrow form.
bool BuildNameTrie(const std::vector<NameValue>& names, bool wide, std::vector<uint8_t>& out);

} // namespace authoring
