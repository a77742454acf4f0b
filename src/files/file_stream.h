// CFileStream: the one file object of the program. Reads go through the file manager (loose
// files, search folders, mounted archives alike); writes go straight to a Win32 file handle.
// Result codes: 0 success, 1 no file manager, 3 closed or cannot open/create, 5 bad path,
// 6 seek on the write handle failed, 8 no memory, 10 size or temporary name unknown; the file
// manager's codes (3, 5, 7, 8, 10, 14) pass through unchanged.
#pragma once

#include "files/read_stream.h"
#include "winapi/base.h"

class CFileBase {
public:
    CFileBase() = default;
    CFileBase(const CFileBase&) = delete;
    CFileBase& operator=(const CFileBase&) = delete;
    virtual ~CFileBase() = default;

    virtual void* GetBuffer() = 0;
    virtual const char* GetPath() = 0;
    virtual DWORD GetSize() = 0;
    virtual void Reset() = 0;
    virtual void Close() = 0;
    virtual DWORD OpenInMemory(const char* name) = 0;
    virtual DWORD OpenArchiveEntry(int mountId, int index, const char* name) = 0;
    virtual DWORD Open(const char* name) = 0;
    virtual DWORD Tell() = 0;
    virtual bool IsEof() = 0;
    virtual DWORD SeekSet(DWORD position) = 0;
    virtual DWORD SeekCurrent(LONG distance) = 0;
    virtual DWORD SeekEnd(DWORD distance) = 0;
    virtual DWORD Read(void* buffer, DWORD bytes) = 0;
    virtual void* DetachBuffer() = 0;
    virtual DWORD ReadLine(char* buffer, DWORD bufferSize) = 0;
    virtual DWORD Create(const char* name, bool overwrite) = 0;
    virtual DWORD OpenReadWrite(const char* name) = 0;
    virtual DWORD Write(const void* buffer, DWORD bytes) = 0;
    virtual DWORD Printf(const char* format, ...) = 0;
    virtual DWORD CreateTempFile(const char* name) = 0;
};

class CFileStream : public CFileBase {
public:
    CFileStream() = default;
    ~CFileStream() override;

    // The whole contents when the file is held in memory, else null.
    void* GetBuffer() override;
    const char* GetPath() override { return m_path; }
    DWORD GetSize() override { return m_size; }
    void Reset() override { Close(); }
    // Releases the reader, closes the handle, deletes the file when delete-on-close is set.
    void Close() override;
    // Loads the whole file through the file manager → 0, 1, 8 (also for an empty file), manager's code.
    DWORD OpenInMemory(const char* name) override;
    // Loads entry `index` (or `name` when index is -1) of the first mount with that id → as above.
    DWORD OpenArchiveEntry(int mountId, int index, const char* name) override;
    // Opens a read stream through the file manager → 0, 1, or the manager's code (3 for an
    // archive entry stored compressed: use OpenInMemory for those).
    DWORD Open(const char* name) override;
    // Position; -1 when closed.
    DWORD Tell() override;
    // Whether the position is at the end; false when closed.
    bool IsEof() override;
    // → the reader's code, or 0 / 6 on the write handle, 3 when closed.
    DWORD SeekSet(DWORD position) override;
    DWORD SeekCurrent(LONG distance) override;
    DWORD SeekEnd(DWORD distance) override; // distance bytes before the end
    // → bytes read, 0 when closed.
    DWORD Read(void* buffer, DWORD bytes) override;
    // Hands the in-memory block to the caller (free with GlobalFree) and drops the reader; null
    // without reader.
    void* DetachBuffer() override;
    // One CR LF-terminated line of a file held in memory → bytes consumed (CR LF included), or with
    // a null buffer the buffer size needed; 0 when the line does not fit (the position stays).
    DWORD ReadLine(char* buffer, DWORD bufferSize) override;
    // Creates a file for writing relative to the base folder → 0, 3 cannot create, 5 bad path.
    DWORD Create(const char* name, bool overwrite) override;
    // Opens an existing file for reading and writing → 0, 3, 5, 10 size unknown.
    DWORD OpenReadWrite(const char* name) override;
    // → bytes written, 0 without handle or buffer.
    DWORD Write(const void* buffer, DWORD bytes) override;
    // Formats into a 512-byte buffer (longer output is cut) and writes it → bytes written.
    DWORD Printf(const char* format, ...) override;
    // Copies any loadable file to a temporary disk file that Close deletes → 0, 3, 10 or the code
    // of OpenInMemory.
    DWORD CreateTempFile(const char* name) override;

    // Reference count (0 = one holder), used by decode streams that take the file over.
    void AddRef() { ++m_refCount; }
    // Drops one holder; the last destroys the stream. Inline, so that plug-in libraries can call it.
    void Release()
    {
        if (m_refCount != 0)
            --m_refCount;
        else
            delete this;
    }

private:
    // Makes a block loaded with code (0 = loaded) the stream's memory reader → 0, or the
    // failure with the stream closed.
    DWORD TakeLoadedBlock(int code, CLoadRecord& record);

    DWORD m_refCount = 0;
    char m_path[MAX_PATH] = {};
    DWORD m_size = 0;
    CReadStream* m_reader = nullptr;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    BYTE m_deleteOnClose = 0;
};
