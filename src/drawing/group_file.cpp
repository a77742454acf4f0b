#include "drawing/group_file.h"

#include "files/file_stream.h"
#include "winapi/kernel.h"

#include <cstring>

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

} // namespace

void CGroupFile::Release()
{
    if (m_refCount == 0) {
        delete this;
        return;
    }
    --m_refCount;
}

CReadStream* CGroupFile::OpenStream(const char* name)
{
    if (!name)
        return nullptr;
    auto* reader = new CFileStreamReader;
    DWORD code = reader->file.Open(name);
    if (code == 3) // stored compressed in an archive: only a whole read can give it
        code = reader->file.OpenInMemory(name);
    if (code != 0) {
        reader->Release();
        return nullptr;
    }
    return reader;
}

CReadStream* CGroupFile::MemoryStream(const void* data, uint32_t size)
{
    void* block = GlobalAlloc(GMEM_FIXED, size ? size : 1);
    if (!block)
        return nullptr;
    if (size)
        std::memcpy(block, data, size);
    auto* reader = new CMemoryReader;
    reader->Attach(block, size);
    return reader;
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
