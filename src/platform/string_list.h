// An ordered list of heap copies of strings, owned by the list.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

class CStringList {
public:
    CStringList() = default;
    virtual ~CStringList();
    CStringList(const CStringList&) = delete;
    CStringList& operator=(const CStringList&) = delete;

    // Appends a copy: 0 ok, 1 null string.
    uint32_t Add(const char* text);
    // The i-th string; null when i < 0 or i >= count.
    const char* Get(int32_t i) const;
    // Frees every string and empties the list.
    void Clear();
    int32_t GetCount() const { return static_cast<int32_t>(m_items.size()); }

    uint8_t flag = 0; // free for the list's users

private:
    std::deque<std::unique_ptr<char[]>> m_items;
};
