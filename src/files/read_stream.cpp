#include "files/read_stream.h"

#include <algorithm>
#include <cstring>

#include "winapi/kernel.h"

void* GlobalAllocCallback(DWORD size, CLoadRecord* record, void* supplied)
{
    if (record == nullptr)
        return nullptr;
    record->size = size;
    if (supplied != nullptr) {
        record->pointer = supplied;
        return supplied;
    }
    // A size of 0 allocates nothing: loading an empty file through this pair fails with 8.
    record->pointer = size == 0 ? nullptr : GlobalAlloc(GMEM_FIXED, size);
    return record->pointer;
}

void GlobalFreeCallback(CLoadRecord* record)
{
    if (record == nullptr)
        return;
    if (record->pointer != nullptr)
        GlobalFree(record->pointer);
    record->pointer = nullptr;
}

void* CReadStream::GetBuffer(bool)
{
    return nullptr;
}

void CReadStream::Release()
{
    if (m_refCount != 0)
        --m_refCount;
    else
        delete this;
}

namespace {

// The position after a seek, clamped to 0 .. size.
DWORD Clamp(int64_t position, DWORD size)
{
    return static_cast<DWORD>(std::clamp<int64_t>(position, 0, size));
}

} // namespace

// --- CSeekingStream ----------------------------------------------------------------------------

int CSeekingStream::SeekSet(DWORD position)
{
    return MoveTo(std::min(position, GetSize()));
}

int CSeekingStream::SeekCurrent(LONG distance)
{
    return MoveTo(Clamp(static_cast<int64_t>(Tell()) + distance, GetSize()));
}

int CSeekingStream::SeekEnd(DWORD distance)
{
    const DWORD size = GetSize();
    return MoveTo(distance > size ? 0 : size - distance);
}

// --- CFileReader -------------------------------------------------------------------------------

CFileReader::~CFileReader()
{
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_handle);
}

int CFileReader::Attach(HANDLE handle)
{
    if (m_handle != INVALID_HANDLE_VALUE)
        return 10;
    DWORD high = 0;
    DWORD size = GetFileSize(handle, &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
        m_size = 0;
        return 10;
    }
    if (high != 0) {
        // Sizes are 32-bit here; a larger file cannot be read whole.
        m_size = 0;
        return 10;
    }
    m_handle = handle;
    m_size = size;
    m_position = 0;
    return 0;
}

int CFileReader::MoveTo(DWORD position)
{
    if (m_handle == INVALID_HANDLE_VALUE)
        return 2;
    LARGE_INTEGER target;
    target.QuadPart = position;
    if (!SetFilePointerEx(m_handle, target, nullptr, FILE_BEGIN))
        return 1;
    m_position = position;
    return 0;
}

DWORD CFileReader::Read(void* buffer, DWORD bytes)
{
    if (buffer == nullptr || m_handle == INVALID_HANDLE_VALUE)
        return 0;
    DWORD wanted = std::min(bytes, m_size - m_position);
    DWORD done = 0;
    if (!ReadFile(m_handle, buffer, wanted, &done, nullptr))
        return 0;
    m_position += done;
    return done;
}

// --- CMemoryReader -----------------------------------------------------------------------------

CMemoryReader::~CMemoryReader()
{
    if (m_base != nullptr)
        GlobalFree(m_base);
}

int CMemoryReader::Attach(void* block, DWORD size)
{
    if (m_base != nullptr)
        return 10;
    m_base = static_cast<BYTE*>(block);
    m_current = m_base;
    m_size = size;
    return 0;
}

DWORD CMemoryReader::Tell()
{
    return m_base == nullptr ? 0 : static_cast<DWORD>(m_current - m_base);
}

int CMemoryReader::MoveTo(DWORD position)
{
    if (m_base == nullptr)
        return 1;
    m_current = m_base + position;
    return 0;
}

DWORD CMemoryReader::Read(void* buffer, DWORD bytes)
{
    if (m_base == nullptr || buffer == nullptr)
        return 0;
    DWORD n = std::min(bytes, m_size - Tell());
    std::memcpy(buffer, m_current, n);
    m_current += n;
    return n;
}

void* CMemoryReader::GetBuffer(bool detach)
{
    void* block = m_base;
    if (detach) {
        m_base = nullptr;
        m_current = nullptr;
    }
    return block;
}

// --- CRegionStream -----------------------------------------------------------------------------

CRegionStream::CRegionStream(HANDLE handle, DWORD startOffset, DWORD length, BYTE* head, WORD headLength,
                             ByteTransform unscramble)
    : m_handle(handle), m_startOffset(startOffset), m_length(length), m_head(head), m_headLength(headLength),
      m_unscramble(unscramble)
{
}

CRegionStream::~CRegionStream()
{
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_handle);
    delete[] m_head;
}

int CRegionStream::MoveTo(DWORD position)
{
    LARGE_INTEGER target;
    target.QuadPart = static_cast<LONGLONG>(m_startOffset) + (position > m_headLength ? position - m_headLength : 0);
    if (!SetFilePointerEx(m_handle, target, nullptr, FILE_BEGIN))
        return 1;
    m_position = position;
    return 0;
}

DWORD CRegionStream::Read(void* buffer, DWORD bytes)
{
    if (buffer == nullptr)
        return 0;
    BYTE* out = static_cast<BYTE*>(buffer);
    DWORD wanted = std::min(bytes, m_length - m_position);
    DWORD fromHead = 0;
    if (m_position < m_headLength) {
        fromHead = std::min<DWORD>(wanted, m_headLength - m_position);
        std::memcpy(out, m_head + m_position, fromHead);
        m_position += fromHead;
        if (fromHead == wanted)
            return fromHead;
    }
    DWORD done = 0;
    if (!ReadFile(m_handle, out + fromHead, wanted - fromHead, &done, nullptr))
        done = 0;
    if (m_unscramble != nullptr)
        for (DWORD i = 0; i < done; ++i)
            out[fromHead + i] = m_unscramble(out[fromHead + i]);
    m_position += done;
    return fromHead + done;
}
