// CKagFile: an image-group file of pictures and frame entries. Each group of entries, closed by an
// entry with a negative picture index, is one animation: which picture, how long, at what offset.
// Every picture is decoded into a CImage when the file loads; nothing in the engine writes KAGs.
#pragma once

#include "drawing/group_file.h"
#include "raster/image.h"

#include <cstdint>
#include <memory>
#include <vector>

struct KagEntry {
    int32_t picture = -1; // negative: closes the group
    uint32_t time = 0;    // ms
    int16_t x = 0;
    int16_t y = 0;
    uint8_t unused[4] = {};
};

class CKagFile : public CGroupFile {
public:
    CKagFile() = default;
    ~CKagFile() override = default;

    // 0 ok; 1 cannot be opened; 2 bad magic or a group count of 0; 3 a short read (also a count or
    // size larger than the bytes left); 4 a seek past the end (also the skip word); 5 a picture
    // could not be decoded; 6 the entries close fewer groups than the header says; -1 out of
    // memory. Any failure leaves the object cleared.
    int Load(const char* name, bool withPalette);
    // As Load, from size bytes at data.
    int LoadFromMemory(const void* data, uint32_t size, bool withPalette);
    void Clear();

    uint16_t GetHeaderWordA() const { return m_wordA; }
    uint16_t GetHeaderWordB() const { return m_wordB; }
    uint16_t GetGroupCount() const { return m_groupCount; }
    // N + 1: the last entry is the appended closing one.
    uint32_t GetEntryCount() const { return static_cast<uint32_t>(m_entries.size()); }
    const KagEntry* GetEntries() const { return m_entries.data(); }
    // First entry index of group g; -1 when g is not below the group count.
    int32_t GetGroupStart(uint32_t g) const;
    uint32_t GetPictureCount() const { return m_pictureCount; }
    // Picture i; null when i is not below the picture count.
    CImage* GetPicture(int32_t i) const;

private:
    int LoadStream(CReadStream& stream, bool withPalette);
    int LoadPictures(CReadStream& stream, bool withPalette);

    uint16_t m_wordA = 0;
    uint16_t m_wordB = 0;
    uint16_t m_groupCount = 0;
    std::vector<KagEntry> m_entries;
    std::vector<uint32_t> m_groupStarts;
    uint32_t m_pictureCount = 0;
    std::unique_ptr<CImage[]> m_pictures; // the decoded pictures, shared by records of equal bytes
    std::vector<uint32_t> m_pictureOf;    // record -> its picture
};
