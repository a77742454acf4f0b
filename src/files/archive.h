// The archive interfaces of the archive-decoder family: CArchiveDecoder opens an archive file
// and answers assist calls; CArchive finds, loads and streams its entries. Archives are
// reference-counted like read streams (0 = one holder).
// Entry codes: 0 success, 2 empty entry, 3 not found, 5 bad arguments, 6 cannot position the
// file, 7 read failed, 8 no memory, 12 the entry does not expand, -2 not supported,
// -3 (streams) the entry exists but must be loaded.
#pragma once

#include "files/plugin_record.h"
#include "files/read_stream.h"
#include "winapi/base.h"

// One entry as the archive describes it (built when the archive builds entry records).
struct CArchiveEntry {
    DWORD index = 0;
    DWORD storedSize = 0;
    DWORD unpackedSize = 0;
    DWORD offset = 0; // in bytes
    DWORD timeStamp = 0; // as the archive stores it (KPK: 0)
    DWORD crc = 0;       // KPK: 0
    BYTE flag = 0;
    bool hasUnpackedSize = false;
};

struct CArchiveEntryName {
    const char* name;
    const CArchiveEntry* entry;
};

class CArchive {
public:
    CArchive() = default;
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    virtual ~CArchive() = default;

    virtual DWORD GetEntryCount() = 0;
    // The {name, record} table, null when records were not built.
    virtual const CArchiveEntryName* GetEntryTable() = 0;
    virtual bool Exists(const char* name) = 0;
    // The record of name, null when not found or not built.
    virtual const CArchiveEntry* FindEntry(const char* name) = 0;
    // The record at index and its name into outName (MAX_PATH bytes) when given; null when none.
    virtual const CArchiveEntry* GetEntry(DWORD index, char* outName) = 0;
    // Loads an entry into a block from allocate → entry code; on failure after allocation the
    // caller frees the record's block.
    virtual int LoadByName(const char* name, LoadAllocFunc allocate, CLoadRecord* record,
                           LoadProgressFunc progress, void* progressContext) = 0;
    virtual int LoadByIndex(DWORD index, LoadAllocFunc allocate, CLoadRecord* record,
                            LoadProgressFunc progress, void* progressContext) = 0;
    // Writes an entry as a file into folder (made full against the base folder) → 0, 1 the
    // decoder failed, 3 not found, 5 bad folder; -2 when the archive cannot (the base).
    virtual int ExtractByName(const char* name, const char* folder, LoadProgressFunc progress, void* progressContext)
    {
        (void)name, (void)folder, (void)progress, (void)progressContext;
        return -2;
    }
    virtual int ExtractByIndex(DWORD index, const char* folder, LoadProgressFunc progress, void* progressContext)
    {
        (void)index, (void)folder, (void)progress, (void)progressContext;
        return -2;
    }
    // A stream over a stored entry, or null with outCode 3 not found, -3 must be loaded, or the
    // code of the failing step.
    virtual CReadStream* OpenByName(const char* name, int* outCode) = 0;
    virtual CReadStream* OpenByIndex(DWORD index, int* outCode) = 0;
    virtual int ReservedOperation3() { return -2; }
    virtual int ReservedOperation4() { return -2; }
    // The archive's own query over a block of count words (the first a command) that it may
    // write back → its answer; -2 when the archive answers no queries (the base).
    virtual int Query(DWORD* words, uint32_t count)
    {
        (void)words, (void)count;
        return -2;
    }

    void AddRef() { ++m_refCount; }
    void Release();

private:
    DWORD m_refCount = 0;
};

class CArchiveDecoder : public CPluginObject {
public:
    // Opens the archive at path (or on handle, which the archive then owns; -1: the decoder
    // opens path itself) → the archive, or null with outCode set.
    virtual CArchive* Open(const char* path, HANDLE handle, int* outCode) = 0;
    // The same service as the family's assist export.
    virtual DWORD Assist(void* block) = 0;
    virtual int ReservedOperation() { return -2; }
};
