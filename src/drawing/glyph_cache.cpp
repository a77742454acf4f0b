#include "drawing/glyph_cache.h"

void ReleaseGlyph(CGlyphBitmap* glyph)
{
    if (glyph == nullptr)
        return;
    if (glyph->extraReferences > 0)
        --glyph->extraReferences;
    else
        delete glyph;
}

CGlyphCache::CGlyphCache(uint32_t limit) : m_limit(limit) {}

CGlyphCache::~CGlyphCache()
{
    Clear();
}

void CGlyphCache::StoreEntry(GlyphCacheEntry* entry, uint64_t key, CGlyphBitmap* glyph)
{
    entry->key = key;
    entry->glyph = glyph;
    entry->flags |= 1;
}

void CGlyphCache::FreeEntry(GlyphCacheEntry* entry)
{
    ReleaseGlyph(entry->glyph);
    entry->glyph = nullptr;
    entry->flags &= ~1u;
}

uint64_t CGlyphCache::MakeKey(uint32_t code, uint32_t height, uint8_t outlined, uint8_t bold, uint8_t italic)
{
    return (code & 0xFFFFu) | (uint64_t{height} << 16) | (uint64_t{italic != 0} << 61) |
           (uint64_t{bold != 0} << 62) | (uint64_t{outlined != 0} << 63);
}

uint32_t CGlyphCache::MakeHash(uint32_t code, uint32_t height, uint8_t outlined, uint8_t bold, uint8_t italic)
{
    return ((((uint32_t{bold} << 3) ^ italic) << 4) ^ outlined ^ (code >> 8) ^ (code & 255) ^
            ((height >> 8) & 255) ^ (height & 255)) &
           255;
}

GlyphCacheEntry* CGlyphCache::FindEntry(uint64_t key, uint32_t hash)
{
    GlyphCacheEntry* bucket = &m_buckets[hash & 255];
    if (bucket->hash == hash && (bucket->flags & 1) && bucket->key == key)
        return bucket;
    for (GlyphCacheEntry* e = bucket->chainNext; e != nullptr; e = e->chainNext)
        if (e->hash == hash && e->key == key)
            return e;
    return nullptr;
}

CGlyphBitmap* CGlyphCache::Find(uint64_t key, uint32_t hash)
{
    ++m_lookups;
    GlyphCacheEntry* entry = FindEntry(key, hash);
    if (entry == nullptr) {
        ++m_misses;
        return nullptr;
    }
    Touch(entry);
    return entry->glyph;
}

void CGlyphCache::Unlink(GlyphCacheEntry* entry)
{
    if (entry->newer != nullptr)
        entry->newer->older = entry->older;
    else if (m_newest == entry)
        m_newest = entry->older;
    if (entry->older != nullptr)
        entry->older->newer = entry->newer;
    else if (m_oldest == entry)
        m_oldest = entry->newer;
    entry->newer = entry->older = nullptr;
}

void CGlyphCache::LinkNewest(GlyphCacheEntry* entry)
{
    entry->newer = nullptr;
    entry->older = m_newest;
    if (m_newest != nullptr)
        m_newest->newer = entry;
    m_newest = entry;
    if (m_oldest == nullptr)
        m_oldest = entry;
}

void CGlyphCache::Touch(GlyphCacheEntry* entry)
{
    if (m_newest == entry)
        return;
    Unlink(entry);
    LinkNewest(entry);
}

void CGlyphCache::PushFront(GlyphCacheEntry* entry)
{
    LinkNewest(entry);
    ++m_count;
}

CGlyphBitmap* CGlyphCache::Store(uint64_t key, uint32_t hash, CGlyphBitmap* glyph)
{
    if (GlyphCacheEntry* found = FindEntry(key, hash)) {
        Touch(found);
        if (found->glyph != glyph)
            ReleaseGlyph(glyph);
        return found->glyph;
    }
    GlyphCacheEntry* bucket = &m_buckets[hash & 255];
    GlyphCacheEntry* entry;
    if ((bucket->flags & 1) == 0) {
        entry = bucket;
        entry->hash = hash;
    } else {
        entry = new GlyphCacheEntry;
        entry->flags = 0;
        entry->hash = hash;
        entry->chainNext = bucket->chainNext;
        entry->chainPrev = bucket;
        if (bucket->chainNext != nullptr)
            bucket->chainNext->chainPrev = entry;
        bucket->chainNext = entry;
    }
    StoreEntry(entry, key, glyph);
    PushFront(entry);
    while (m_count > m_limit && m_oldest != nullptr && m_oldest != entry)
        Evict(1);
    return glyph;
}

uint32_t CGlyphCache::Evict(uint32_t n)
{
    uint32_t evicted = 0;
    while (evicted < n && m_oldest != nullptr) {
        GlyphCacheEntry* entry = m_oldest;
        Unlink(entry);
        FreeEntry(entry);
        --m_count;
        if ((entry->flags & 2) == 0) {
            entry->chainPrev->chainNext = entry->chainNext;
            if (entry->chainNext != nullptr)
                entry->chainNext->chainPrev = entry->chainPrev;
            delete entry;
        }
        ++evicted;
    }
    return evicted;
}

void CGlyphCache::Clear()
{
    for (GlyphCacheEntry& bucket : m_buckets) {
        GlyphCacheEntry* e = bucket.chainNext;
        while (e != nullptr) {
            GlyphCacheEntry* next = e->chainNext;
            FreeEntry(e);
            delete e;
            e = next;
        }
        if (bucket.flags & 1)
            FreeEntry(&bucket);
        bucket = GlyphCacheEntry{};
    }
    m_newest = m_oldest = nullptr;
    m_count = 0;
}
