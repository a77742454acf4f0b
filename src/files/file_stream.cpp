#include "files/file_stream.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "files/file_manager.h"
#include "files/path_utils.h"
#include "platform/object_lifetime.h"
#include "winapi/kernel.h"

CFileStream::~CFileStream()
{
    Close();
    NotifyObjectDestroyed(this);
}

void* CFileStream::GetBuffer()
{
    return m_reader != nullptr ? m_reader->GetBuffer(false) : nullptr;
}

void CFileStream::Close()
{
    if (m_reader != nullptr) {
        m_reader->Release();
        m_reader = nullptr;
    }
    if (m_handle != INVALID_HANDLE_VALUE) {
        CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
    if (m_deleteOnClose) {
        DeleteFileA(m_path);
        m_deleteOnClose = 0;
    }
    m_path[0] = '\0';
    m_size = 0;
}

namespace {

// Hands a loaded block to a new memory reader → 0, or 8 (the block is freed).
DWORD AttachBlock(CLoadRecord& record, CReadStream** reader)
{
    auto* memory = new (std::nothrow) CMemoryReader;
    if (memory == nullptr) {
        GlobalFreeCallback(&record);
        return 8;
    }
    memory->Attach(record.pointer, record.size);
    *reader = memory;
    return 0;
}

} // namespace

DWORD CFileStream::TakeLoadedBlock(int code, CLoadRecord& record)
{
    DWORD result = code != 0 ? static_cast<DWORD>(code) : AttachBlock(record, &m_reader);
    if (result != 0) {
        Close();
        return result;
    }
    m_size = record.size;
    return 0;
}

DWORD CFileStream::OpenInMemory(const char* name)
{
    if (g_pFileManager == nullptr)
        return 1;
    Close();
    CLoadRecord record;
    return TakeLoadedBlock(g_pFileManager->LoadFile(name, GlobalAllocCallback, GlobalFreeCallback, &record, m_path),
                           record);
}

DWORD CFileStream::OpenArchiveEntry(int mountId, int index, const char* name)
{
    if (g_pFileManager == nullptr)
        return 1;
    Close();
    CLoadRecord record;
    return TakeLoadedBlock(g_pFileManager->LoadArchiveEntry(mountId, index, name, GlobalAllocCallback,
                                                            GlobalFreeCallback, &record, m_path),
                           record);
}

DWORD CFileStream::Open(const char* name)
{
    if (g_pFileManager == nullptr)
        return 1;
    Close();
    int code = 0;
    m_reader = g_pFileManager->Open(name, m_path, &code, false);
    if (m_reader == nullptr) {
        Close();
        return static_cast<DWORD>(code != 0 ? code : 3);
    }
    m_size = m_reader->GetSize();
    return 0;
}

DWORD CFileStream::Tell()
{
    if (m_reader != nullptr)
        return m_reader->Tell();
    if (m_handle != INVALID_HANDLE_VALUE)
        return SetFilePointer(m_handle, 0, nullptr, FILE_CURRENT);
    return static_cast<DWORD>(-1);
}

bool CFileStream::IsEof()
{
    if (m_reader != nullptr)
        return m_reader->IsEof();
    if (m_handle != INVALID_HANDLE_VALUE)
        return SetFilePointer(m_handle, 0, nullptr, FILE_CURRENT) == m_size;
    return false;
}

namespace {

DWORD SeekHandle(HANDLE handle, LONGLONG distance, DWORD method)
{
    LARGE_INTEGER move;
    move.QuadPart = distance;
    return SetFilePointerEx(handle, move, nullptr, method) ? 0 : 6;
}

} // namespace

DWORD CFileStream::SeekSet(DWORD position)
{
    if (m_reader != nullptr)
        return static_cast<DWORD>(m_reader->SeekSet(position));
    if (m_handle != INVALID_HANDLE_VALUE)
        return SeekHandle(m_handle, static_cast<LONG>(position), FILE_BEGIN);
    return 3;
}

DWORD CFileStream::SeekCurrent(LONG distance)
{
    if (m_reader != nullptr)
        return static_cast<DWORD>(m_reader->SeekCurrent(distance));
    if (m_handle != INVALID_HANDLE_VALUE)
        return SeekHandle(m_handle, distance, FILE_CURRENT);
    return 3;
}

DWORD CFileStream::SeekEnd(DWORD distance)
{
    if (m_reader != nullptr)
        return static_cast<DWORD>(m_reader->SeekEnd(distance));
    if (m_handle != INVALID_HANDLE_VALUE)
        return SeekHandle(m_handle, -static_cast<LONGLONG>(distance), FILE_END); // before the start → 6
    return 3;
}

DWORD CFileStream::Read(void* buffer, DWORD bytes)
{
    if (m_reader != nullptr)
        return m_reader->Read(buffer, bytes);
    if (m_handle != INVALID_HANDLE_VALUE) {
        DWORD done = 0;
        if (!ReadFile(m_handle, buffer, bytes, &done, nullptr))
            return 0;
        return done;
    }
    return 0;
}

void* CFileStream::DetachBuffer()
{
    if (m_reader == nullptr)
        return nullptr;
    void* block = m_reader->GetBuffer(true);
    m_reader->Release();
    m_reader = nullptr;
    return block;
}

DWORD CFileStream::ReadLine(char* buffer, DWORD bufferSize)
{
    if (m_reader == nullptr)
        return 0;
    const BYTE* data = static_cast<const BYTE*>(m_reader->GetBuffer(false));
    if (data == nullptr)
        return 0;
    DWORD position = m_reader->Tell();
    DWORD size = m_reader->GetSize();
    if (position > size)
        return 0;
    // The stop point: the first CR LF pair, or the end.
    DWORD stop = position;
    while (stop < size && !(data[stop] == 13 && stop + 1 < size && data[stop + 1] == 10))
        ++stop;
    DWORD lineLength = stop - position;
    bool ctrlZ = lineLength > 0 && data[stop - 1] == 26;
    if (buffer == nullptr)
        return lineLength + 1 - (ctrlZ ? 1 : 0);
    if (bufferSize <= 1)
        return 0;
    // At most bufferSize - 2 characters of line; a longer line leaves the position where it is.
    if (lineLength > bufferSize - 2)
        return 0;
    DWORD kept = lineLength - (ctrlZ ? 1 : 0);
    std::memcpy(buffer, data + position, kept);
    buffer[kept] = '\0';
    DWORD consumed = lineLength + (stop < size ? 2 : 0);
    m_reader->SeekSet(position + consumed);
    return consumed;
}

DWORD CFileStream::Create(const char* name, bool overwrite)
{
    Close();
    if (MakeFullPath(m_path, name, nullptr) == 0) {
        m_path[0] = '\0';
        return 5;
    }
    m_handle = CreateFileA(m_path, GENERIC_WRITE, 0, nullptr, overwrite ? CREATE_ALWAYS : CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) {
        m_path[0] = '\0';
        return 3;
    }
    return 0;
}

DWORD CFileStream::OpenReadWrite(const char* name)
{
    Close();
    if (MakeFullPath(m_path, name, nullptr) == 0) {
        m_path[0] = '\0';
        return 5;
    }
    m_handle = CreateFileA(m_path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) {
        m_path[0] = '\0';
        return 3;
    }
    DWORD high = 0;
    DWORD size = GetFileSize(m_handle, &high);
    if ((size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) || high != 0) {
        Close();
        return 10;
    }
    m_size = size;
    return 0;
}

DWORD CFileStream::Write(const void* buffer, DWORD bytes)
{
    if (m_handle == INVALID_HANDLE_VALUE || buffer == nullptr)
        return 0;
    DWORD done = 0;
    WriteFile(m_handle, buffer, bytes, &done, nullptr);
    return done;
}

DWORD CFileStream::Printf(const char* format, ...)
{
    if (m_handle == INVALID_HANDLE_VALUE || format == nullptr)
        return 0;
    char text[512];
    va_list args;
    va_start(args, format);
    // Output longer than the buffer is cut at 511 bytes instead of running past it.
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0)
        return 0;
    return Write(text, static_cast<DWORD>(std::strlen(text)));
}

DWORD CFileStream::CreateTempFile(const char* name)
{
    DWORD code = OpenInMemory(name);
    if (code != 0)
        return code;
    char folder[MAX_PATH];
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, folder);
    if (n == 0 || n >= MAX_PATH || GetTempFileNameA(folder, "KWF", 0, temp) == 0) {
        Close();
        return 10;
    }
    CFileStream out;
    if (out.Create(temp, true) != 0) {
        DeleteFileA(temp);
        Close();
        return 3;
    }
    DWORD size = m_size;
    bool written = out.Write(GetBuffer(), size) == size;
    out.Close();
    Close();
    if (!written) {
        // A short write (disk full) would hand out a cut copy.
        DeleteFileA(temp);
        return 3;
    }
    std::memcpy(m_path, temp, std::strlen(temp) + 1);
    m_size = size;
    m_deleteOnClose = 1;
    return 0;
}
