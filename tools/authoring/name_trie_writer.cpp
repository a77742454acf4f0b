#include "authoring/name_trie_writer.h"

#include <map>
#include <string_view>

namespace authoring {

namespace {

struct Item {
    std::string_view name;
    uint32_t value;
};

void PutLink(std::vector<uint8_t>& out, size_t at, uint64_t link, bool wide)
{
    out[at] = static_cast<uint8_t>(link);
    out[at + 1] = static_cast<uint8_t>(link >> 8);
    if (wide) {
        out[at + 2] = static_cast<uint8_t>(link >> 16);
        out[at + 3] = static_cast<uint8_t>(link >> 24);
    }
}

bool WriteNode(const std::vector<Item>& items, size_t depth, bool wide, std::vector<uint8_t>& out)
{
    // Children by character, NUL first (the name that ends here).
    std::map<uint8_t, std::vector<Item>> children;
    for (const Item& item : items) {
        const uint8_t c = depth < item.name.size() ? static_cast<uint8_t>(item.name[depth]) : 0;
        if (depth < item.name.size() && c == 0)
            return false;
        children[c].push_back(item);
    }
    if (children.size() > 255)
        return false;
    const size_t linkSize = wide ? 4 : 2;
    const uint64_t maxLink = wide ? 0xFFFFFFFFull : 0xFFFFull;
    const size_t node = out.size();
    out.push_back(static_cast<uint8_t>(children.size()));
    out.resize(node + 1 + children.size() * (1 + linkSize));
    size_t index = 0;
    for (const auto& [c, group] : children) {
        const size_t entry = node + 1 + index * (1 + linkSize);
        out[entry] = c;
        if (c == 0) {
            if (group.size() != 1 || group[0].value > maxLink)
                return false; // duplicate name, or a value the narrow form cannot hold
            PutLink(out, entry + 1, group[0].value, wide);
        } else {
            const size_t child = out.size();
            const uint64_t link = child - (entry + 1 + linkSize);
            if (link > maxLink)
                return false;
            PutLink(out, entry + 1, link, wide);
            if (!WriteNode(group, depth + 1, wide, out))
                return false;
        }
        ++index;
    }
    return true;
}

} // namespace

bool BuildNameTrie(const std::vector<NameValue>& names, bool wide, std::vector<uint8_t>& out)
{
    out.clear();
    if (names.empty())
        return false;
    std::vector<Item> items;
    items.reserve(names.size());
    for (const NameValue& n : names)
        items.push_back(Item{n.name, n.value});
    return WriteNode(items, 0, wide, out);
}

} // namespace authoring
