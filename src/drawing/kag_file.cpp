#include "drawing/kag_file.h"

#include <cstring>
#include <new>

namespace {

constexpr uint32_t kEntrySize = 16;
constexpr uint32_t kPictureRecordSize = 12;

} // namespace

void CKagFile::Clear()
{
    m_wordA = m_wordB = 0;
    m_groupCount = 0;
    m_entries.clear();
    m_groupStarts.clear();
    m_pictureCount = 0;
    m_pictures.reset();
}

int32_t CKagFile::GetGroupStart(uint32_t g) const
{
    return g < m_groupStarts.size() ? static_cast<int32_t>(m_groupStarts[g]) : -1;
}

CImage* CKagFile::GetPicture(int32_t i) const
{
    return i >= 0 && static_cast<uint32_t>(i) < m_pictureCount ? &m_pictures[static_cast<size_t>(i)] : nullptr;
}

int CKagFile::Load(const char* name, bool withPalette)
{
    Clear();
    return ReadFile(name, [&](CReadStream& stream) { return LoadStream(stream, withPalette); });
}

int CKagFile::LoadFromMemory(const void* data, uint32_t size, bool withPalette)
{
    Clear();
    return ReadBytes(data, size, [&](CReadStream& stream) { return LoadStream(stream, withPalette); });
}

int CKagFile::LoadStream(CReadStream& stream, bool withPalette)
{
    int code = 0;
    try {
        uint8_t head[16];
        uint32_t skip = 0, n = 0;
        if (!ReadExact(stream, head, 4) || std::memcmp(head, "KAG\0", 4) != 0)
            code = 2;
        else if (!ReadExact(stream, head + 4, 12))
            code = 3;
        else if (GetU16(head + 10) == 0)
            code = 2;
        else if (!ReadU32(stream, &skip))
            code = 3;
        else if (skip != 0 && (skip > BytesLeft(stream) || stream.SeekSet(stream.Tell() + skip) != 0))
            code = 4; // the skip word is unsigned: past the end is a failed seek
        else if (!ReadU32(stream, &n) || static_cast<uint64_t>(n) * kEntrySize > BytesLeft(stream))
            code = 3;
        if (code == 0) {
            m_entries.resize(static_cast<size_t>(n) + 1);
            std::vector<uint8_t> raw(static_cast<size_t>(n) * kEntrySize);
            if (!raw.empty() && !ReadExact(stream, raw.data(), static_cast<uint32_t>(raw.size())))
                code = 3;
            for (size_t i = 0; code == 0 && i < n; ++i) {
                const uint8_t* p = raw.data() + i * kEntrySize;
                KagEntry& e = m_entries[i];
                e.picture = static_cast<int32_t>(GetU32(p));
                e.time = GetU32(p + 4);
                e.x = static_cast<int16_t>(GetU16(p + 8));
                e.y = static_cast<int16_t>(GetU16(p + 10));
                std::memcpy(e.unused, p + 12, 4);
            }
            m_entries[n] = KagEntry{}; // the closing entry the loader appends
        }
        if (code == 0)
            code = LoadPictures(stream, withPalette);
        if (code == 0) {
            m_wordA = GetU16(head + 4);
            m_wordB = GetU16(head + 6);
            m_groupCount = GetU16(head + 10);
            // Group 0 starts at entry 0; each closing entry ends a group, the next begins after it.
            m_groupStarts.assign(1, 0);
            code = 6;
            for (uint32_t i = 0; i < m_entries.size(); ++i) {
                if (m_entries[i].picture >= 0)
                    continue;
                if (m_groupStarts.size() == m_groupCount) {
                    code = 0;
                    break;
                }
                m_groupStarts.push_back(i + 1);
            }
        }
    } catch (const std::bad_alloc&) {
        code = -1;
    }
    if (code != 0)
        Clear();
    return code;
}

int CKagFile::LoadPictures(CReadStream& stream, bool withPalette)
{
    uint32_t m = 0;
    if (!ReadU32(stream, &m) || static_cast<uint64_t>(m) * kPictureRecordSize > BytesLeft(stream))
        return 3;
    m_pictures.reset(new CImage[m]);
    m_pictureCount = m;
    std::vector<uint8_t> data;
    for (uint32_t i = 0; i < m; ++i) {
        uint8_t record[kPictureRecordSize];
        if (!ReadExact(stream, record, kPictureRecordSize))
            return 3;
        const uint32_t size = GetU32(record);
        const uint32_t offset = GetU32(record + 4);
        const auto a = static_cast<int16_t>(GetU16(record + 8));
        const auto b = static_cast<int16_t>(GetU16(record + 10));
        const DWORD back = stream.Tell();
        if (offset > stream.GetSize() || stream.SeekSet(offset) != 0)
            return 4;
        if (size > BytesLeft(stream))
            return 3;
        data.resize(size);
        if (size && !ReadExact(stream, data.data(), size))
            return 3;
        CImage& picture = m_pictures[i];
        const int loaded = withPalette ? picture.LoadWithPalette(nullptr, data.data(), size, 0)
                                       : picture.Load(nullptr, data.data(), size, 0);
        if (loaded != 0)
            return 5;
        if (a < 0) {
            picture.SetAlphaFlag(a == -2);
        } else {
            picture.SetColorKeyAt(a, b);
        }
        if (stream.SeekSet(back) != 0)
            return 4;
    }
    return 0;
}
