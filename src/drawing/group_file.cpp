#include "drawing/group_file.h"

#include "files/file_stream.h"
#include "winapi/kernel.h"

#include <cstring>
#include <new>

namespace {

// A read stream over an open CFileStream, which it owns.
class CFileStreamReader : public CReadStream {
public:
    CFileStream file;

    DWORD GetSize() override { return file.GetSize(); }
    DWORD Tell() override { return file.Tell(); }
    bool IsEof() override { return file.IsEof(); }
    int SeekSet(DWORD position) override { return static_cast<int>(file.SeekSet(position)); }
    int SeekCurrent(LONG distance) override { return static_cast<int>(file.SeekCurrent(distance)); }
    int SeekEnd(DWORD distance) override { return static_cast<int>(file.SeekEnd(distance)); }
    DWORD Read(void* buffer, DWORD bytes) override { return file.Read(buffer, bytes); }
};

// The loaders' allocations follow checked counts, yet a large file may still exhaust memory.
int Guarded(const std::function<int(CReadStream&)>& load, CReadStream& stream)
{
    try {
        return load(stream);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

} // namespace

void CGroupFile::Release()
{
    if (m_refCount == 0) {
        delete this;
        return;
    }
    --m_refCount;
}

int CGroupFile::ReadFile(const char* name, const std::function<int(CReadStream&)>& load)
{
    if (!name)
        return 1;
    auto* reader = new CFileStreamReader;
    DWORD opened = reader->file.Open(name);
    if (opened == 3) // stored compressed in an archive: only a whole read can give it
        opened = reader->file.OpenInMemory(name);
    const int code = opened == 0 ? Guarded(load, *reader) : 1;
    reader->Release();
    return code;
}

int CGroupFile::ReadBytes(const void* data, uint32_t size, const std::function<int(CReadStream&)>& load)
{
    void* block = data || size == 0 ? GlobalAlloc(GMEM_FIXED, size ? size : 1) : nullptr;
    if (!block)
        return 1;
    if (size)
        std::memcpy(block, data, size);
    auto* reader = new CMemoryReader;
    reader->Attach(block, size);
    const int code = Guarded(load, *reader);
    reader->Release();
    return code;
}

bool CGroupFile::WalkGroups(uint32_t entryCount, uint32_t groups, const std::function<bool(uint32_t)>& closes,
                            std::vector<uint32_t>& starts, uint32_t* longest)
{
    starts.assign(1, 0);
    for (uint32_t i = 0; i < entryCount; ++i) {
        if (!closes(i))
            continue;
        if (longest && i - starts.back() + 1 > *longest)
            *longest = i - starts.back() + 1;
        if (starts.size() == groups)
            return true;
        starts.push_back(i + 1);
    }
    return false;
}

bool CGroupFile::ReadExact(CReadStream& stream, void* buffer, uint32_t size)
{
    return stream.Read(buffer, size) == size;
}

bool CGroupFile::ReadU32(CReadStream& stream, uint32_t* value)
{
    uint8_t bytes[4];
    if (!ReadExact(stream, bytes, 4))
        return false;
    *value = GetU32(bytes);
    return true;
}

bool CGroupFile::ReadU16(CReadStream& stream, uint16_t* value)
{
    uint8_t bytes[2];
    if (!ReadExact(stream, bytes, 2))
        return false;
    *value = GetU16(bytes);
    return true;
}

uint64_t CGroupFile::BytesLeft(CReadStream& stream)
{
    const DWORD size = stream.GetSize();
    const DWORD position = stream.Tell();
    return position < size ? size - position : 0;
}
