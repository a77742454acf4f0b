// The KPK archive reader: CKpkDecoder (the built-in archive decoder, type 1, extension "KPK") and
// the CKpkArchive it opens. The index is deciphered with the project's cipher profile
// (kpk_cipher.h) and checked whole before anything in it is used.
// Open codes: 0, 1 not a KPK archive or an inconsistent index, 3 cannot open, 5 no path,
// 7 header or index cut short, 8 no memory. Entry codes as in archive.h.
#pragma once

#include <string>
#include <vector>

#include "files/archive.h"
#include "files/kpk_cipher.h"
#include "platform/lock.h"

// Header flag bits.
enum : BYTE {
    KPK_FLAG_UNITS = 0x01,      // offsets and index length in 2048-byte units
    KPK_FLAG_NAMES = 0x02,      // the index holds a name trie
    KPK_FLAG_WORDS = 0x04,      // loaded entries get the word-wise unscrambling of their first bytes
    KPK_FLAG_UNPACKED = 0x08,   // entries carry an unpacked size (13-byte entries)
    KPK_FLAG_RESERVED = 0x10,   // kept, not used by the reader
};

constexpr DWORD kKpkMagic = 0x314B504Bu; // "KPK1"
constexpr DWORD kKpkUnit = 2048;
// Entries that would unpack to more than this are refused as damaged.
constexpr DWORD kKpkMaxUnpackedSize = 1u << 30;

// The program-wide build-records switch and the two run-time key words (set by the assist call).
extern BYTE g_KpkBuildRecords;
extern DWORD g_KpkKeyWords[2];

// Assist calls: block word 0 is the command. 0: build-records switch = (block byte 4 != 0);
// 1: key words = block words 1 and 2. → 0, or 5 for another command or a null block.
DWORD KpkAssistFunc(void* block);
DWORD KpkAssistFunc2(void* block);

class CKpkDecoder : public CArchiveDecoder {
public:
    CArchive* Open(const char* path, HANDLE handle, int* outCode) override;
    DWORD Assist(void* block) override { return KpkAssistFunc2(block); }
};

class CKpkArchive : public CArchive {
public:
    ~CKpkArchive() override;

    DWORD GetEntryCount() override { return m_count; }
    const CArchiveEntryName* GetEntryTable() override;
    bool Exists(const char* name) override;
    const CArchiveEntry* FindEntry(const char* name) override;
    const CArchiveEntry* GetEntry(DWORD index, char* outName) override;
    int LoadByName(const char* name, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc progress,
                   void* progressContext) override;
    int LoadByIndex(DWORD index, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc progress,
                    void* progressContext) override;
    CReadStream* OpenByName(const char* name, int* outCode) override;
    CReadStream* OpenByIndex(DWORD index, int* outCode) override;

    // The entry's fields (from the records or straight from the index) → 0, 3 no such entry, or 6
    // when the archive file cannot be positioned at the entry.
    int GetEntryInfo(DWORD index, CArchiveEntry* out);
    BYTE GetFlags() const { return m_flags; }
    DWORD GetPrefixLength() const { return m_prefixLength; }
    const char* GetPath() const { return m_path.c_str(); }

private:
    friend class CKpkDecoder;
    CKpkArchive() = default;

    // Splits and checks the deciphered index → 0, or 1 when it is inconsistent.
    int Parse(ULONGLONG fileSize);
    bool CheckTrie() const;
    void BuildRecords();
    CArchiveEntry ReadEntry(DWORD index) const;
    // The entry index of a name in the trie, -1 when none.
    int Lookup(const char* name) const;
    int LoadEntry(DWORD index, LoadAllocFunc allocate, CLoadRecord* record, LoadProgressFunc progress,
                  void* progressContext);
    CReadStream* OpenEntryStream(DWORD index, int* outCode);

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    BYTE m_flags = 0;
    DWORD m_wordKey = 0;
    CKpkCipher m_cipher{nullptr, 0, 0};
    std::vector<BYTE> m_index;
    const BYTE* m_trie = nullptr;
    DWORD m_trieSize = 0;
    const BYTE* m_prefix = nullptr;
    DWORD m_prefixLength = 0;
    const BYTE* m_entries = nullptr;
    DWORD m_entrySize = 9;
    bool m_wideLinks = false;
    DWORD m_count = 0;
    std::string m_path;
    // Built only when the build-records switch is on.
    std::vector<std::string> m_names;
    std::vector<CArchiveEntry> m_records;
    std::vector<CArchiveEntryName> m_table;
    // Loads position and read the shared handle: one at a time.
    CLock m_lock;
};
