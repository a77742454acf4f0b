#include "platform/string_list.h"

#include <cstring>

CStringList::~CStringList()
{
    Clear();
}

uint32_t CStringList::Add(const char* text)
{
    if (!text)
        return 1;
    const size_t n = std::strlen(text) + 1;
    auto copy = std::make_unique<char[]>(n);
    std::memcpy(copy.get(), text, n);
    m_items.push_back(std::move(copy));
    return 0;
}

const char* CStringList::Get(int32_t i) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_items.size())
        return nullptr;
    return m_items[static_cast<size_t>(i)].get();
}

void CStringList::Clear()
{
    m_items.clear();
}
