// Rasterised characters and the per-font glyph cache: 256 hash buckets whose first entries live in
// the bucket array, chains of heap entries behind them, and a use list from newest to oldest that
// evicts the least recently used glyph once the entry limit is passed.
#pragma once

#include <cstdint>

// One character's 8-bit coverage (0 empty .. 255 full), placed relative to the pen (the top-left of
// the character cell).
struct CGlyphBitmap {
    CGlyphBitmap() = default;
    ~CGlyphBitmap() { delete[] pixels; }
    CGlyphBitmap(const CGlyphBitmap&) = delete;
    CGlyphBitmap& operator=(const CGlyphBitmap&) = delete;

    int32_t left = 0;
    int32_t top = 0;
    int32_t advanceX = 0;
    int32_t advanceY = 0;
    uint32_t pitch = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t* pixels = nullptr;    // owned; null for a glyph without ink
    uint32_t extraReferences = 0; // holders beyond the first
};

// Drops one holder: deletes the glyph when it had no extra references.
void ReleaseGlyph(CGlyphBitmap* glyph);

struct GlyphCacheEntry {
    uint32_t hash = 0;
    uint32_t flags = 2; // bit 0 in use, bit 1 lives in the bucket array
    uint64_t key = 0;
    CGlyphBitmap* glyph = nullptr;
    GlyphCacheEntry* chainPrev = nullptr;
    GlyphCacheEntry* chainNext = nullptr;
    GlyphCacheEntry* newer = nullptr;
    GlyphCacheEntry* older = nullptr;
};

class CGlyphCache {
public:
    explicit CGlyphCache(uint32_t limit = 512);
    virtual ~CGlyphCache();
    CGlyphCache(const CGlyphCache&) = delete;
    CGlyphCache& operator=(const CGlyphCache&) = delete;

    virtual void StoreEntry(GlyphCacheEntry* entry, uint64_t key, CGlyphBitmap* glyph);
    virtual void FreeEntry(GlyphCacheEntry* entry);

    // The key holds the whole height: heights 1024 apart no longer share glyphs.
    static uint64_t MakeKey(uint32_t code, uint32_t height, uint8_t outlined, uint8_t bold, uint8_t italic);
    static uint32_t MakeHash(uint32_t code, uint32_t height, uint8_t outlined, uint8_t bold, uint8_t italic);

    // The cached glyph (moved to the newest end), or null.
    CGlyphBitmap* Find(uint64_t key, uint32_t hash);
    // Caches a glyph and evicts the oldest while the count exceeds the limit. Returns the glyph that
    // is cached for the key (an equal entry found again keeps its glyph; the new one is released).
    CGlyphBitmap* Store(uint64_t key, uint32_t hash, CGlyphBitmap* glyph);

    void Touch(GlyphCacheEntry* entry);
    void PushFront(GlyphCacheEntry* entry);
    // Removes up to n oldest entries; the number removed.
    uint32_t Evict(uint32_t n);
    // Frees every glyph; buckets back to empty.
    void Clear();

    uint32_t Count() const { return m_count; }
    uint32_t Limit() const { return m_limit; }
    void SetLimit(uint32_t limit) { m_limit = limit; }
    bool Enabled() const { return m_limit != 0; }
    // Lookups and misses since the cache was made (for the hit-rate figures).
    uint64_t Lookups() const { return m_lookups; }
    uint64_t Misses() const { return m_misses; }

private:
    GlyphCacheEntry* FindEntry(uint64_t key, uint32_t hash);
    void Unlink(GlyphCacheEntry* entry);
    void LinkNewest(GlyphCacheEntry* entry);

    GlyphCacheEntry m_buckets[256];
    GlyphCacheEntry* m_newest = nullptr;
    GlyphCacheEntry* m_oldest = nullptr;
    uint32_t m_count = 0;
    uint32_t m_limit;
    uint64_t m_lookups = 0;
    uint64_t m_misses = 0;
};
