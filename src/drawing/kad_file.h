// CKadFile: an image-group file without pictures: grouped entries that point into a data blob,
// and a list of named records. The effects and natives ask it for group ranges and entry data.
#pragma once

#include "drawing/group_file.h"

#include <cstdint>
#include <vector>

struct KadEntry {
    int32_t first = -1;   // not negative: a frame; negative: a control entry
    int32_t second = -1;  // control entries: below 1 closes the group
    int16_t x = 0;
    int16_t y = 0;
    uint32_t offset = 0;  // into the blob, as stored (read through GetEntryData)
};

struct KadRecord {
    uint32_t word0 = 0;
    uint32_t word1 = 0;
    std::vector<uint8_t> bytes;
    uint16_t c = 0;
    uint16_t d = 0;
};

// The second record list's rows (the loader leaves the list empty).
struct KadRecordPair {
    std::vector<uint8_t> first;
    std::vector<uint8_t> second;
    uint32_t word = 0;
};

class CKadFile : public CGroupFile {
public:
    CKadFile() = default;
    ~CKadFile() override = default;

    // 0 ok; 1 cannot open; 2 bad magic; 3 group count 0 (or no whole header); 4 short blob; 5 short
    // entry list; 6, 7, 8, 9 short record length, record bytes, c, d (also a record count larger
    // than the bytes left can hold); 10 the entries close fewer groups than the header says; -1 out
    // of memory. Any failure leaves the object cleared.
    int Load(const char* name);
    int LoadFromMemory(const void* data, uint32_t size);
    void Clear();

    const uint8_t* GetHeader() const { return m_header; }
    uint16_t GetGroupCount() const { return GetU16(m_header + 6); }
    const std::vector<uint8_t>& GetBlob() const { return m_blob; }
    // N + 1: the last entry is the appended closing one (first two fields -1, the rest 0).
    uint32_t GetEntryCount() const { return static_cast<uint32_t>(m_entries.size()); }
    const KadEntry* GetEntries() const { return m_entries.data(); }
    const std::vector<KadRecord>& GetRecords() const { return m_records; }
    const std::vector<KadRecordPair>& GetRecordPairs() const { return m_pairs; }
    uint32_t GetLongestGroup() const { return m_longestGroup; }

    // Entry i's data in the blob, and the bytes from there to the blob's end through bytes (when
    // given); null when i is not an entry or its offset is not inside the blob.
    const uint8_t* GetEntryData(uint32_t i, uint32_t* bytes) const;
    // First entry of group g; -1 without group table or when g is not below the group count.
    int32_t GetGroupStart(uint32_t g) const;
    // Last entry of group g (the next start - 1; the appended closing entry for the last); -1 as above.
    int32_t GetGroupEnd(uint32_t g) const;
    // The group holding entry index (the last one starting at or before it), its distance from
    // that start through offset; -1 without table or when index is not below the entry count.
    int32_t FindGroup(uint32_t index, uint32_t* offset) const;

private:
    int LoadStream(CReadStream& stream);
    int LoadRecords(CReadStream& stream);

    uint8_t m_header[12] = {};
    std::vector<uint8_t> m_blob;
    std::vector<KadEntry> m_entries;
    std::vector<KadRecord> m_records;
    std::vector<KadRecordPair> m_pairs;
    std::vector<uint32_t> m_groupStarts;
    uint32_t m_longestGroup = 0;
};
