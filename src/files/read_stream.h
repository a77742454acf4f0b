// Read streams: the read-only byte source behind an open file. A plain file (CFileReader), a block
// in memory (CMemoryReader) and a stored archive entry (CRegionStream) look the same to readers.
// Streams are reference-counted: a count of 0 means one holder; Release at 0 destroys.
#pragma once

#include "winapi/base.h"

// The record that the load callbacks fill: the block and its size.
struct CLoadRecord {
    void* pointer = nullptr;
    DWORD size = 0;
};

// allocate(size, record, supplied) → the block for size bytes (stored in the record), supplied
// when the caller gives one; null for size 0 or when out of memory.
using LoadAllocFunc = void* (*)(DWORD size, CLoadRecord* record, void* supplied);
// free(record): releases the block of the record and sets its pointer to null.
using LoadFreeFunc = void (*)(CLoadRecord* record);
// progress(done, total, context): called with (0, 1) before and (1, 1) after a load.
using LoadProgressFunc = void (*)(DWORD done, DWORD total, void* context);

// The standard pair over GlobalAlloc (fixed memory) and GlobalFree.
void* GlobalAllocCallback(DWORD size, CLoadRecord* record, void* supplied);
void GlobalFreeCallback(CLoadRecord* record);

class CReadStream {
public:
    CReadStream() = default;
    CReadStream(const CReadStream&) = delete;
    CReadStream& operator=(const CReadStream&) = delete;
    virtual ~CReadStream() = default;

    virtual DWORD GetSize() = 0;
    virtual DWORD Tell() = 0;
    virtual bool IsEof() = 0;
    // Seeks → 0 success; CFileReader 2 when not attached, 1 when the file cannot be positioned;
    // CMemoryReader 1 when not attached; CRegionStream 1 when the file cannot be positioned.
    virtual int SeekSet(DWORD position) = 0;    // position = min(position, size)
    virtual int SeekCurrent(LONG distance) = 0; // clamped to 0 .. size
    virtual int SeekEnd(DWORD distance) = 0;    // position = size - distance, 0 when larger
    // Copies min(bytes, size - position) bytes and advances → bytes read (0 at the end).
    virtual DWORD Read(void* buffer, DWORD bytes) = 0;
    // The whole contents when held in memory, else null. With detach the caller takes the block
    // (free it with GlobalFree) and the stream forgets it.
    virtual void* GetBuffer(bool detach);

    void AddRef() { ++m_refCount; }
    // Drops one holder; destroys the stream when it was the last.
    void Release();

private:
    DWORD m_refCount = 0;
};

// The three seeks of the streams below, each turned into one move to a position within 0 .. size.
class CSeekingStream : public CReadStream {
public:
    int SeekSet(DWORD position) override;
    int SeekCurrent(LONG distance) override;
    int SeekEnd(DWORD distance) override;

protected:
    // Goes to position (at most the size) → 0, or the stream's seek failure code.
    virtual int MoveTo(DWORD position) = 0;
};

// A plain file on a Win32 handle; closes the handle on destruction.
class CFileReader : public CSeekingStream {
public:
    CFileReader() = default;
    ~CFileReader() override;
    // Takes an open handle → 0, or 10 when one is attached already or the size is unknown.
    int Attach(HANDLE handle);

    DWORD GetSize() override { return m_size; }
    DWORD Tell() override { return m_position; }
    bool IsEof() override { return m_position == m_size; }
    DWORD Read(void* buffer, DWORD bytes) override;

private:
    int MoveTo(DWORD position) override;

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    DWORD m_size = 0;
    DWORD m_position = 0;
};

// A GlobalAlloc block in memory; frees it on destruction unless detached.
class CMemoryReader : public CSeekingStream {
public:
    CMemoryReader() = default;
    ~CMemoryReader() override;
    // Takes the block → 0, or 10 when a block is attached already.
    int Attach(void* block, DWORD size);

    DWORD GetSize() override { return m_size; }
    DWORD Tell() override;
    bool IsEof() override { return Tell() == m_size; }
    DWORD Read(void* buffer, DWORD bytes) override;
    void* GetBuffer(bool detach) override;

private:
    int MoveTo(DWORD position) override;

    BYTE* m_base = nullptr;
    BYTE* m_current = nullptr;
    DWORD m_size = 0;
};

// One stored archive entry: a head held in memory, then length - head bytes of the archive file
// from the start offset on, optionally passed through the archive's per-byte unscrambling.
class CRegionStream : public CSeekingStream {
public:
    using ByteTransform = BYTE (*)(BYTE stored);

    // Takes the handle (closed on destruction) and the head block (new[]; freed on destruction).
    CRegionStream(HANDLE handle, DWORD startOffset, DWORD length, BYTE* head, WORD headLength,
                  ByteTransform unscramble);
    ~CRegionStream() override;

    DWORD GetSize() override { return m_length; }
    DWORD Tell() override { return m_position; }
    bool IsEof() override { return m_position == m_length; }
    DWORD Read(void* buffer, DWORD bytes) override;

private:
    int MoveTo(DWORD position) override;

    HANDLE m_handle;
    DWORD m_position = 0;
    DWORD m_startOffset;
    DWORD m_length;
    BYTE* m_head;
    WORD m_headLength;
    ByteTransform m_unscramble; // null: bytes are stored plain
};
