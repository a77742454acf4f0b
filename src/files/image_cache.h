// The picture cache of the image-loader manager: a 64-bucket hash table of lower-cased paths (one
// inline entry a bucket plus a chain), with a recency list for eviction and a byte budget.
#pragma once

#include <cstdint>

#include "files/loaded_picture.h"
#include "winapi/base.h"

struct CNameHashEntry {
    static constexpr DWORD kInUse = 1;
    static constexpr DWORD kInline = 2;
    DWORD hash = 0;
    DWORD flags = 0;
    char* key = nullptr;               // heap copy, lower-cased
    CLoadedPicture* value = nullptr;   // one reference held by the table
    CNameHashEntry* chainPrev = nullptr;
    CNameHashEntry* chainNext = nullptr;
    CNameHashEntry* newer = nullptr;   // toward the most recent
    CNameHashEntry* older = nullptr;   // toward the least recent
};

class CNameHashTable {
public:
    static constexpr int kBuckets = 64;

    CNameHashTable();
    CNameHashTable(const CNameHashTable&) = delete;
    CNameHashTable& operator=(const CNameHashTable&) = delete;
    // Empties the table, releasing every picture.
    virtual ~CNameHashTable();
    // Copies key (null stays null), stores value without a new reference, marks the entry in use.
    // Returns false when the key cannot be copied.
    virtual bool ConstructEntry(CNameHashEntry* entry, const char* key, CLoadedPicture* value);
    // Frees the key, releases the value, clears the in-use bit; links are the caller's work.
    virtual void DestroyEntry(CNameHashEntry* entry);

    // Hash of a lower-cased key; never 0 for a key, 0 for null.
    static DWORD HashName(const char* key);

    // The entry of key (lower-cased) or null.
    CNameHashEntry* Find(const char* key) const;
    // Inserts key → value as the most recent entry (no reference added) → the entry, or null when
    // out of memory (nothing inserted).
    CNameHashEntry* Insert(const char* key, CLoadedPicture* value);
    // Makes entry the most recent.
    void Touch(CNameHashEntry* entry);
    // Removes the least-recent entry (releasing its picture) → false when the table is empty.
    bool EvictOldest();
    // Removes every entry (chain entries first, then the inline entry of each bucket).
    void Clear();

    DWORD GetCount() const { return m_count; }
    CNameHashEntry* GetNewest() const { return m_newest; }
    CNameHashEntry* GetOldest() const { return m_oldest; }

protected:
    void ResetBuckets();
    void Unlink(CNameHashEntry* entry);

    CNameHashEntry m_buckets[kBuckets];
    CNameHashEntry* m_newest = nullptr;
    CNameHashEntry* m_oldest = nullptr;
    DWORD m_count = 0;
};

// Adds the byte budget (0 = cache off) and the total of the cached pictures' sizes, both 64-bit
// so that large budgets and many pictures cannot wrap.
class CImageCacheTable : public CNameHashTable {
public:
    ~CImageCacheTable() override;
    // Subtracts the picture's size from the total, then destroys as the base does.
    void DestroyEntry(CNameHashEntry* entry) override;

    uint64_t m_budget = 0;
    uint64_t m_total = 0;
};
