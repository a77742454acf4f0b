#include "script/script_memory.h"

#include <algorithm>
#include <cstdlib>

CScriptMemory::CScriptMemory(uint32_t size)
{
    size = std::clamp(size, kMinSize, kMaxSize) & ~(kAlignment - 1);
    // calloc of a block this large maps fresh zero pages, committed only when touched.
    m_host = static_cast<uint8_t*>(std::calloc(size, 1));
    if (m_host == nullptr)
        return;
    m_size = size;
    m_freeRanges.emplace(0, size);
}

CScriptMemory::~CScriptMemory()
{
    std::free(m_host);
}

bool CScriptMemory::Copy(uint32_t destination, uint32_t source, uint32_t length)
{
    uint8_t* to = Span(destination, length);
    const uint8_t* from = Span(source, length);
    if (to == nullptr || from == nullptr)
        return false;
    std::memmove(to, from, length);
    return true;
}

uint32_t CScriptMemory::TakeRange(uint32_t size)
{
    // First fit in address order.
    for (auto it = m_freeRanges.begin(); it != m_freeRanges.end(); ++it) {
        if (it->second < size)
            continue;
        const uint32_t offset = it->first;
        const uint32_t rest = it->second - size;
        m_freeRanges.erase(it);
        if (rest != 0)
            m_freeRanges.emplace(offset + size, rest);
        return offset;
    }
    return UINT32_MAX;
}

void CScriptMemory::ReturnRange(uint32_t offset, uint32_t size)
{
    auto next = m_freeRanges.lower_bound(offset);
    if (next != m_freeRanges.end() && offset + size == next->first) {
        size += next->second;
        next = m_freeRanges.erase(next);
    }
    if (next != m_freeRanges.begin()) {
        auto previous = std::prev(next);
        if (previous->first + previous->second == offset) {
            previous->second += size;
            return;
        }
    }
    m_freeRanges.emplace(offset, size);
}

uint32_t CScriptMemory::Allocate(uint32_t size, bool zeroed)
{
    if (m_host == nullptr)
        return 0;
    const uint64_t rounded64 = (std::max<uint64_t>(size, 1) + kAlignment - 1) & ~uint64_t(kAlignment - 1);
    if (rounded64 > m_size)
        return 0;
    const uint32_t rounded = static_cast<uint32_t>(rounded64);
    uint32_t offset = UINT32_MAX;
    uint32_t blockSize = rounded;
    if (rounded <= kSmallLimit) {
        std::vector<uint32_t>& list = m_classFree[rounded / kAlignment - 1];
        if (!list.empty()) {
            offset = list.back();
            list.pop_back();
        }
    }
    if (offset == UINT32_MAX)
        offset = TakeRange(rounded);
    if (offset == UINT32_MAX && rounded <= kSmallLimit) {
        // No range left: a freed block of a larger class will do, whole.
        for (uint32_t c = rounded / kAlignment; c < kClassCount && offset == UINT32_MAX; ++c) {
            if (!m_classFree[c].empty()) {
                offset = m_classFree[c].back();
                m_classFree[c].pop_back();
                blockSize = (c + 1) * kAlignment;
            }
        }
    }
    if (offset == UINT32_MAX)
        return 0;
    // Only bytes that an earlier block may have used need clearing.
    if (zeroed && offset < m_touched)
        std::memset(m_host + offset, 0, std::min(blockSize, m_touched - offset));
    m_touched = std::max(m_touched, offset + blockSize);
    m_live.emplace(offset, blockSize);
    m_allocatedBytes += blockSize;
    return kBase + offset;
}

bool CScriptMemory::Free(uint32_t address)
{
    if (!Contains(address, 1))
        return false;
    auto it = m_live.find(address - kBase);
    if (it == m_live.end())
        return false;
    const uint32_t offset = it->first;
    const uint32_t size = it->second;
    m_live.erase(it);
    m_allocatedBytes -= size;
    if (offset == m_lastBlockOffset)
        m_lastBlockSize = 0;
    if (size <= kSmallLimit)
        m_classFree[size / kAlignment - 1].push_back(offset);
    else
        ReturnRange(offset, size);
    return true;
}

bool CScriptMemory::FindBlockInMap(uint32_t address, uint32_t* start, uint32_t* size) const
{
    if (!Contains(address, 1))
        return false;
    const uint32_t offset = address - kBase;
    auto it = m_live.upper_bound(offset);
    if (it == m_live.begin())
        return false;
    --it;
    if (offset - it->first >= it->second)
        return false;
    *start = kBase + it->first;
    *size = it->second;
    m_lastBlockOffset = it->first;
    m_lastBlockSize = it->second;
    return true;
}
