// The common base of the image-group files (KAG and KAD): a reference count shared by the
// animation tasks and natives that hold one file, and the byte reading both loaders do over one
// read stream (a file through the file manager, or bytes in memory).
#pragma once

#include "files/read_stream.h"
#include "platform/object_lifetime.h"

#include <cstdint>
#include <functional>
#include <vector>

class CGroupFile {
public:
    CGroupFile() = default;
    CGroupFile(const CGroupFile&) = delete;
    CGroupFile& operator=(const CGroupFile&) = delete;
    virtual ~CGroupFile() { NotifyObjectDestroyed(this); }

    // One more holder (the count is 0 with one holder).
    void AddRef() { ++m_refCount; }
    // Drops one holder; deletes the object when it was the last (count already 0).
    void Release();
    uint32_t GetRefCount() const { return m_refCount; }

protected:
    // Runs load over a stream of the file name (an archive entry stored compressed is read whole
    // into memory) → load's code, 1 when the file cannot be opened, -1 when memory runs out.
    static int ReadFile(const char* name, const std::function<int(CReadStream&)>& load);
    // The same over a copy of size bytes (1 for null data with a size, or no memory).
    static int ReadBytes(const void* data, uint32_t size, const std::function<int(CReadStream&)>& load);
    // Cuts entries into groups: group 0 starts at entry 0, each entry that closes(i) ends the
    // current group and the next starts after it. True when `groups` groups were closed (later
    // entries stay unused); longest (optional) gets the most entries of one group, its closing
    // entry counted.
    static bool WalkGroups(uint32_t entryCount, uint32_t groups, const std::function<bool(uint32_t)>& closes,
                           std::vector<uint32_t>& starts, uint32_t* longest);
    // Reads exactly size bytes; false on a short read.
    static bool ReadExact(CReadStream& stream, void* buffer, uint32_t size);
    static bool ReadU32(CReadStream& stream, uint32_t* value);
    static bool ReadU16(CReadStream& stream, uint16_t* value);
    // Bytes between the position and the end.
    static uint64_t BytesLeft(CReadStream& stream);

private:
    uint32_t m_refCount = 0;
};

// Little-endian fields of a byte block.
inline uint32_t GetU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
inline uint16_t GetU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
