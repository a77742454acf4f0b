// The name hash table behind the picture cache.
#include "files/image_cache.h"

#include <cstring>
#include <new>

CNameHashTable::CNameHashTable() { ResetBuckets(); }

CNameHashTable::~CNameHashTable()
{
    // Runs after a derived destructor has emptied the table; this covers a plain table.
    Clear();
}

void CNameHashTable::ResetBuckets()
{
    for (CNameHashEntry& bucket : m_buckets)
        bucket = CNameHashEntry{0, CNameHashEntry::kInline};
    m_newest = nullptr;
    m_oldest = nullptr;
    m_count = 0;
}

bool CNameHashTable::ConstructEntry(CNameHashEntry* entry, const char* key, CLoadedPicture* value)
{
    entry->key = nullptr;
    if (key != nullptr) {
        const size_t length = std::strlen(key);
        entry->key = new (std::nothrow) char[length + 1];
        if (entry->key == nullptr)
            return false;
        std::memcpy(entry->key, key, length + 1);
    }
    entry->value = value;
    entry->flags |= CNameHashEntry::kInUse;
    return true;
}

void CNameHashTable::DestroyEntry(CNameHashEntry* entry)
{
    delete[] entry->key;
    entry->key = nullptr;
    if (entry->value != nullptr)
        entry->value->Release();
    entry->value = nullptr;
    entry->flags &= ~CNameHashEntry::kInUse;
}

DWORD CNameHashTable::HashName(const char* key)
{
    if (key == nullptr)
        return 0;
    uint32_t h = 0;
    for (const char* p = key; *p != 0; ++p) {
        h += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(*p)));
        h *= 1025;
        h ^= h >> 6;
    }
    h *= 9;
    h ^= h >> 11;
    h *= 32769;
    return h == 0 ? 0xFFFFFFFFu : h;
}

CNameHashEntry* CNameHashTable::Find(const char* key) const
{
    const DWORD hash = HashName(key);
    const CNameHashEntry* bucket = &m_buckets[hash & (kBuckets - 1)];
    auto matches = [&](const CNameHashEntry* e) {
        return (e->flags & CNameHashEntry::kInUse) != 0 && e->hash == hash && e->key != nullptr && key != nullptr
               && std::strcmp(e->key, key) == 0;
    };
    if (matches(bucket))
        return const_cast<CNameHashEntry*>(bucket);
    for (CNameHashEntry* e = bucket->chainNext; e != nullptr; e = e->chainNext)
        if (matches(e))
            return e;
    return nullptr;
}

CNameHashEntry* CNameHashTable::Insert(const char* key, CLoadedPicture* value)
{
    const DWORD hash = HashName(key);
    CNameHashEntry* bucket = &m_buckets[hash & (kBuckets - 1)];
    CNameHashEntry* entry = bucket;
    if ((bucket->flags & CNameHashEntry::kInUse) != 0) {
        entry = new (std::nothrow) CNameHashEntry;
        if (entry == nullptr)
            return nullptr;
        if (!ConstructEntry(entry, key, value)) {
            delete entry;
            return nullptr;
        }
        // Head of the bucket's chain.
        entry->chainPrev = bucket;
        entry->chainNext = bucket->chainNext;
        if (bucket->chainNext != nullptr)
            bucket->chainNext->chainPrev = entry;
        bucket->chainNext = entry;
    } else if (!ConstructEntry(entry, key, value)) {
        return nullptr;
    }
    entry->hash = hash;
    entry->older = m_newest;
    entry->newer = nullptr;
    if (m_newest != nullptr)
        m_newest->newer = entry;
    m_newest = entry;
    if (m_oldest == nullptr)
        m_oldest = entry;
    ++m_count;
    return entry;
}

void CNameHashTable::Touch(CNameHashEntry* entry)
{
    if (entry == m_newest)
        return;
    // Out of the recency list ...
    if (entry->newer != nullptr)
        entry->newer->older = entry->older;
    if (entry->older != nullptr)
        entry->older->newer = entry->newer;
    if (m_oldest == entry)
        m_oldest = entry->newer;
    // ... and back in at the newest end.
    entry->older = m_newest;
    entry->newer = nullptr;
    if (m_newest != nullptr)
        m_newest->newer = entry;
    m_newest = entry;
}

void CNameHashTable::Unlink(CNameHashEntry* entry)
{
    if (entry->newer != nullptr)
        entry->newer->older = entry->older;
    else
        m_newest = entry->older;
    if (entry->older != nullptr)
        entry->older->newer = entry->newer;
    else
        m_oldest = entry->newer;
    entry->newer = nullptr;
    entry->older = nullptr;
}

bool CNameHashTable::EvictOldest()
{
    CNameHashEntry* entry = m_oldest;
    if (entry == nullptr)
        return false;
    Unlink(entry);
    DestroyEntry(entry);
    --m_count;
    if ((entry->flags & CNameHashEntry::kInline) == 0) {
        // A chain entry leaves its bucket; an inline entry stays as the bucket's free slot and
        // keeps its chain.
        entry->chainPrev->chainNext = entry->chainNext;
        if (entry->chainNext != nullptr)
            entry->chainNext->chainPrev = entry->chainPrev;
        delete entry;
    }
    return true;
}

void CNameHashTable::Clear()
{
    for (CNameHashEntry& bucket : m_buckets) {
        CNameHashEntry* e = bucket.chainNext;
        while (e != nullptr) {
            CNameHashEntry* next = e->chainNext;
            DestroyEntry(e);
            delete e;
            e = next;
        }
        if ((bucket.flags & CNameHashEntry::kInUse) != 0)
            DestroyEntry(&bucket);
    }
    ResetBuckets();
}

CImageCacheTable::~CImageCacheTable() { Clear(); }

void CImageCacheTable::DestroyEntry(CNameHashEntry* entry)
{
    if (entry->value != nullptr) {
        const uint64_t size = entry->value->m_pictureSize;
        m_total = m_total > size ? m_total - size : 0;
    }
    CNameHashTable::DestroyEntry(entry);
}
