#include "drawing/kad_file.h"

#include <cstring>

namespace {

constexpr uint32_t kEntrySize = 16;
constexpr uint32_t kSmallestRecord = 6; // length, c and d of an empty record

} // namespace

void CKadFile::Clear()
{
    std::memset(m_header, 0, sizeof m_header);
    m_blob.clear();
    m_entries.clear();
    m_records.clear();
    m_pairs.clear();
    m_groupStarts.clear();
    m_longestGroup = 0;
}

int CKadFile::Load(const char* name)
{
    Clear();
    const int code = ReadFile(name, [this](CReadStream& stream) { return LoadStream(stream); });
    if (code != 0)
        Clear();
    return code;
}

int CKadFile::LoadFromMemory(const void* data, uint32_t size)
{
    Clear();
    const int code = ReadBytes(data, size, [this](CReadStream& stream) { return LoadStream(stream); });
    if (code != 0)
        Clear();
    return code;
}

int CKadFile::LoadStream(CReadStream& stream)
{
    uint8_t magic[4];
    uint32_t blobSize = 0, n = 0;
    if (!ReadExact(stream, magic, 4) || std::memcmp(magic, "KAD\0", 4) != 0)
        return 2;
    if (!ReadExact(stream, m_header, sizeof m_header) || GetGroupCount() == 0)
        return 3;
    if (!ReadU32(stream, &blobSize) || blobSize > BytesLeft(stream))
        return 4;
    m_blob.resize(blobSize);
    if (blobSize && !ReadExact(stream, m_blob.data(), blobSize))
        return 4;
    if (!ReadU32(stream, &n) || static_cast<uint64_t>(n) * kEntrySize > BytesLeft(stream))
        return 5;
    std::vector<uint8_t> raw(static_cast<size_t>(n) * kEntrySize);
    if (!raw.empty() && !ReadExact(stream, raw.data(), static_cast<uint32_t>(raw.size())))
        return 5;
    m_entries.resize(static_cast<size_t>(n) + 1); // the last one: the appended closing entry
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = raw.data() + i * kEntrySize;
        KadEntry& e = m_entries[i];
        e.first = static_cast<int32_t>(GetU32(p));
        e.second = static_cast<int32_t>(GetU32(p + 4));
        e.x = static_cast<int16_t>(GetU16(p + 8));
        e.y = static_cast<int16_t>(GetU16(p + 10));
        e.offset = GetU32(p + 12);
    }
    if (const int code = LoadRecords(stream); code != 0)
        return code;
    // A control entry whose second field is below 1 closes a group.
    const auto closes = [this](uint32_t i) { return m_entries[i].first < 0 && m_entries[i].second < 1; };
    return WalkGroups(GetEntryCount(), GetGroupCount(), closes, m_groupStarts, &m_longestGroup) ? 0 : 10;
}

int CKadFile::LoadRecords(CReadStream& stream)
{
    uint32_t k = 0;
    if (!ReadU32(stream, &k) || static_cast<uint64_t>(k) * kSmallestRecord > BytesLeft(stream))
        return 6;
    m_records.resize(k);
    for (KadRecord& record : m_records) {
        uint16_t length = 0;
        if (!ReadU16(stream, &length))
            return 6;
        if (length > BytesLeft(stream))
            return 7;
        record.bytes.resize(length);
        if (length && !ReadExact(stream, record.bytes.data(), length))
            return 7;
        if (!ReadU16(stream, &record.c))
            return 8;
        if (!ReadU16(stream, &record.d))
            return 9;
    }
    return 0;
}

const uint8_t* CKadFile::GetEntryData(uint32_t i, uint32_t* bytes) const
{
    if (i >= m_entries.size() || m_entries[i].offset >= m_blob.size())
        return nullptr;
    if (bytes)
        *bytes = static_cast<uint32_t>(m_blob.size() - m_entries[i].offset);
    return m_blob.data() + m_entries[i].offset;
}

int32_t CKadFile::GetGroupStart(uint32_t g) const
{
    if (m_groupStarts.empty() || g >= GetGroupCount() || g >= m_groupStarts.size())
        return -1;
    return static_cast<int32_t>(m_groupStarts[g]);
}

int32_t CKadFile::GetGroupEnd(uint32_t g) const
{
    if (GetGroupStart(g) < 0)
        return -1;
    if (g + 1 < m_groupStarts.size())
        return static_cast<int32_t>(m_groupStarts[g + 1]) - 1;
    return static_cast<int32_t>(m_entries.size()) - 1;
}

int32_t CKadFile::FindGroup(uint32_t index, uint32_t* offset) const
{
    if (m_groupStarts.empty() || index >= m_entries.size())
        return -1;
    for (size_t g = m_groupStarts.size(); g-- > 0;)
        if (m_groupStarts[g] <= index) {
            if (offset)
                *offset = index - m_groupStarts[g];
            return static_cast<int32_t>(g);
        }
    return -1;
}
