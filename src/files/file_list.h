// CFileList: the files (and optionally folders) under a folder, recursively if asked, with their
// local last-write times, sizes and attributes. The system scripts list save folders and data
// folders with it. Within a folder its sub-folders (and everything under them) come first, then
// its files, each in the file system's order.
#pragma once

#include <deque>
#include <memory>
#include <string>

#include "winapi/kernel.h"

struct CFileListEntry {
    std::string name; // relative to the listed folder; a folder's name ends with '\'
    // The entry's second string: its short (8.3) name where the file system keeps one; empty
    // here, where names have no short form.
    std::string shortName;
    WORD year = 0;    // last write, local time
    BYTE month = 0;
    BYTE day = 0;
    BYTE dayOfWeek = 0; // 0 = Sunday
    BYTE hour = 0;
    BYTE minute = 0;
    BYTE second = 0;
    DWORD size = 0; // low 32 bits; 0 for folders
    BYTE kind = 0;  // FILE_LIST_* bits
};

// Entry kinds.
#define FILE_LIST_READONLY 1
#define FILE_LIST_HIDDEN 2
#define FILE_LIST_SYSTEM 4
#define FILE_LIST_ARCHIVE 8
#define FILE_LIST_FOLDER 16

class CFileList {
public:
    // Lists folder (made full against the base folder; null: the base folder) for pattern (null:
    // "*.*"). Mode 0 files only, 1 folders and files, 2 folders only; recurse descends into every
    // sub-folder. → the entry count, 0 when the folder cannot be made full. Entries whose path
    // would pass MAX_PATH are skipped (a folder linking to itself ends there).
    DWORD Build(const char* folder, const char* pattern, int mode, bool recurse);
    // The entry, or null for i past the count.
    const CFileListEntry* GetEntry(DWORD i) const;
    // Its name, or null for i past the count.
    const char* GetName(DWORD i) const;
    DWORD GetCount() const { return static_cast<DWORD>(m_entries.size()); }
    void Clear();

private:
    void Scan(const std::string& folder, const std::string& sub, const char* pattern, int mode, bool recurse);
    void Add(const std::string& name, const WIN32_FIND_DATAA& data);

    std::deque<std::unique_ptr<CFileListEntry>> m_entries;
};
