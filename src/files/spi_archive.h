// CSPIArchiveDecoder and CSPIArchive: an SPI archive plug-in as an archive decoder of the file
// manager. Opening reads the plug-in's file records (428 bytes each, field by field) into a name
// table whose names fold ASCII case, full-width capitals and both rows of Roman numerals; entries
// are loaded (never streamed) through the plug-in's GetFile, and can be written into a folder.
// Open codes: 0, 1 the plug-in gave no records (or the path has no Linux form), 2 no entries,
// 8 no memory, 10 a name listed twice. Entry codes as in archive.h (1: the plug-in failed).
#pragma once

#include <string>
#include <vector>

#include "files/archive.h"
#include "files/spi_plugin.h"

constexpr size_t kSpiRecordSize = 428;

// The SPI build-records switch: with it on, archives opened afterwards keep a {name, record} table.
extern BYTE g_SpiBuildRecords;

// Assist calls: block words {command, value}; command 0 sets the build-records switch to
// (value != 0) → 0; any other command or a null block → 5.
DWORD SpiAssistFunc(void* block);

class CSPIArchiveDecoder : public CArchiveDecoder {
public:
    CSPIArchiveDecoder(SpiModuleRef module, SpiGetArchiveInfoFunc getArchiveInfo, SpiGetFileFunc getFile,
                       std::string typeString, std::string extensions);

    // The handle, when the archive opens, is closed: the plug-in reads the file by its path.
    CArchive* Open(const char* path, HANDLE handle, int* outCode) override;
    DWORD Assist(void* block) override { return SpiAssistFunc(block); }

    const char* GetTypeString() const { return m_typeString.c_str(); }
    const char* GetExtensions() const { return m_extensions.c_str(); }

private:
    SpiModuleRef m_module;
    SpiGetArchiveInfoFunc m_getArchiveInfo;
    SpiGetFileFunc m_getFile;
    std::string m_typeString;
    std::string m_extensions;
};

class CSPIArchive : public CArchive {
public:
    DWORD GetEntryCount() override { return static_cast<DWORD>(m_entries.size()); }
    const CArchiveEntryName* GetEntryTable() override { return m_table.empty() ? nullptr : m_table.data(); }
    bool Exists(const char* name) override { return Lookup(name) >= 0; }
    const CArchiveEntry* FindEntry(const char* name) override;
    const CArchiveEntry* GetEntry(DWORD index, char* outName) override;
    int LoadByName(const char* name, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc progress,
                   void* progressContext) override;
    int LoadByIndex(DWORD index, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc progress,
                    void* progressContext) override;
    int ExtractByName(const char* name, const char* folder, LoadProgressFunc progress,
                      void* progressContext) override;
    int ExtractByIndex(DWORD index, const char* folder, LoadProgressFunc progress, void* progressContext) override;
    // Never streams: null with outCode -3 when the entry exists (it is to be loaded), else 3.
    CReadStream* OpenByName(const char* name, int* outCode) override;
    CReadStream* OpenByIndex(DWORD index, int* outCode) override;

    // Folds a name for comparison: ASCII capitals, full-width capitals and Roman numerals.
    static std::string FoldName(const char* name);

private:
    friend class CSPIArchiveDecoder;
    CSPIArchive();

    struct CNamedEntry {
        std::string name;
        std::string folded;
        DWORD hash;
        int next; // the next entry of the bucket, -1 at the end
        CArchiveEntry entry;
    };
    static constexpr int kBuckets = 64;

    // Adds an entry → false when its name is there already.
    bool Add(std::string name, const CArchiveEntry& entry);
    // The index of name's entry, -1 when none.
    int Lookup(const char* name) const;
    int LoadEntry(const CArchiveEntry& entry, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc progress,
                  void* progressContext);
    int ExtractEntry(const CArchiveEntry& entry, const char* folder, LoadProgressFunc progress,
                     void* progressContext);

    SpiModuleRef m_module;
    SpiGetFileFunc m_getFile = nullptr;
    std::string m_path; // the archive's Linux path, as the plug-in reads it
    std::vector<CNamedEntry> m_entries;
    int m_buckets[kBuckets];
    std::vector<CArchiveEntryName> m_table; // built with the build-records switch on
};
