#include "drawing/kag_file.h"

#include <cstring>
#include <map>
#include <tuple>

#include "winapi/picture_limit.h"

namespace {

constexpr uint32_t kEntrySize = 16;
constexpr uint32_t kPictureRecordSize = 12;
constexpr uint64_t kMaxGroupPictureBytes = 4 * kMaxPictureBytes;

} // namespace

void CKagFile::Clear()
{
    m_wordA = m_wordB = 0;
    m_groupCount = 0;
    m_entries.clear();
    m_groupStarts.clear();
    m_pictureCount = 0;
    m_pictures.reset();
    m_pictureOf.clear();
}

int32_t CKagFile::GetGroupStart(uint32_t g) const
{
    return g < m_groupStarts.size() ? static_cast<int32_t>(m_groupStarts[g]) : -1;
}

CImage* CKagFile::GetPicture(int32_t i) const
{
    return i >= 0 && static_cast<uint32_t>(i) < m_pictureCount ? &m_pictures[m_pictureOf[static_cast<size_t>(i)]]
                                                                : nullptr;
}

int CKagFile::Load(const char* name, bool withPalette)
{
    Clear();
    const int code = ReadFile(name, [&](CReadStream& stream) { return LoadStream(stream, withPalette); });
    if (code != 0)
        Clear();
    return code;
}

int CKagFile::LoadFromMemory(const void* data, uint32_t size, bool withPalette)
{
    Clear();
    const int code = ReadBytes(data, size, [&](CReadStream& stream) { return LoadStream(stream, withPalette); });
    if (code != 0)
        Clear();
    return code;
}

int CKagFile::LoadStream(CReadStream& stream, bool withPalette)
{
    uint8_t head[16];
    uint32_t skip = 0, n = 0;
    if (!ReadExact(stream, head, 4) || std::memcmp(head, "KAG\0", 4) != 0)
        return 2;
    if (!ReadExact(stream, head + 4, 12))
        return 3;
    if (GetU16(head + 10) == 0)
        return 2;
    if (!ReadU32(stream, &skip))
        return 3;
    if (skip != 0 && (skip > BytesLeft(stream) || stream.SeekSet(stream.Tell() + skip) != 0))
        return 4; // the skip word is unsigned: past the end is a failed seek
    if (!ReadU32(stream, &n) || static_cast<uint64_t>(n) * kEntrySize > BytesLeft(stream))
        return 3;
    std::vector<uint8_t> raw(static_cast<size_t>(n) * kEntrySize);
    if (!raw.empty() && !ReadExact(stream, raw.data(), static_cast<uint32_t>(raw.size())))
        return 3;
    m_entries.resize(static_cast<size_t>(n) + 1); // the last one: the closing entry the loader appends
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = raw.data() + i * kEntrySize;
        KagEntry& e = m_entries[i];
        e.picture = static_cast<int32_t>(GetU32(p));
        e.time = GetU32(p + 4);
        e.x = static_cast<int16_t>(GetU16(p + 8));
        e.y = static_cast<int16_t>(GetU16(p + 10));
        std::memcpy(e.unused, p + 12, 4);
    }
    if (const int code = LoadPictures(stream, withPalette); code != 0)
        return code;
    m_wordA = GetU16(head + 4);
    m_wordB = GetU16(head + 6);
    m_groupCount = GetU16(head + 10);
    const auto closes = [this](uint32_t i) { return m_entries[i].picture < 0; };
    return WalkGroups(GetEntryCount(), m_groupCount, closes, m_groupStarts, nullptr) ? 0 : 6;
}

int CKagFile::LoadPictures(CReadStream& stream, bool withPalette)
{
    uint32_t m = 0;
    if (!ReadU32(stream, &m) || static_cast<uint64_t>(m) * kPictureRecordSize > BytesLeft(stream))
        return 3;
    m_pictures.reset(new CImage[m]);
    m_pictureOf.assign(m, 0);
    m_pictureCount = m;
    // Records that name the same bytes with the same key share one decoded picture: a few bytes
    // of records must not decode one picture many times over.
    std::map<std::tuple<uint32_t, uint32_t, int16_t, int16_t>, uint32_t> decoded;
    uint32_t images = 0;
    uint64_t total = 0;
    std::vector<uint8_t> data;
    for (uint32_t i = 0; i < m; ++i) {
        uint8_t record[kPictureRecordSize];
        if (!ReadExact(stream, record, kPictureRecordSize))
            return 3;
        const uint32_t size = GetU32(record);
        const uint32_t offset = GetU32(record + 4);
        const auto a = static_cast<int16_t>(GetU16(record + 8));
        const auto b = static_cast<int16_t>(GetU16(record + 10));
        const auto key = std::make_tuple(size, offset, a, b);
        if (auto it = decoded.find(key); it != decoded.end()) {
            m_pictureOf[i] = it->second;
            continue;
        }
        const DWORD back = stream.Tell();
        if (offset > stream.GetSize() || stream.SeekSet(offset) != 0)
            return 4;
        if (size > BytesLeft(stream))
            return 3;
        data.resize(size);
        if (size && !ReadExact(stream, data.data(), size))
            return 3;
        CImage& picture = m_pictures[images];
        const int loaded = withPalette ? picture.LoadWithPalette(nullptr, data.data(), size, 0)
                                       : picture.Load(nullptr, data.data(), size, 0);
        if (loaded != 0)
            return 5;
        // Each picture is inside the picture limit; the file's pictures together get four times it.
        total += static_cast<uint64_t>(picture.GetPitch() < 0 ? -picture.GetPitch() : picture.GetPitch()) *
                 static_cast<uint64_t>(picture.GetHeight());
        if (total > kMaxGroupPictureBytes)
            return 5;
        if (a < 0) {
            picture.SetAlphaFlag(a == -2);
        } else {
            picture.SetColorKeyAt(a, b);
        }
        if (stream.SeekSet(back) != 0)
            return 4;
        decoded.emplace(key, images);
        m_pictureOf[i] = images++;
    }
    return 0;
}
