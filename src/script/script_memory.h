// The one 32-bit address space that scripts see. Cells hold script addresses (offsets into one
// host block owned here), never host pointers; every access is bounds-checked, so no script can
// reach memory outside its space. All machines of one runtime share one CScriptMemory.
//
// Address map (every value positive as a signed word):
//   0x00000000-0x0000FFFF  never valid (0 is null; small integers used as addresses fault)
//   0x00010000-...         script memory, its size set at construction (ends below 0x40000000)
//   0x40000000-0x7EFFFFFF  engine-object handles (CScriptHandleTable)
//   0x7F000000 + n         native function n
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

#include <emmintrin.h>

// Index of the first 0 byte in p[0, avail), or avail when there is none. Script strings are
// mostly short: their first bytes are scanned here 16 at a time without a library call; a longer
// string goes on through memchr.
inline size_t FindNulByte(const uint8_t* p, size_t avail)
{
    constexpr size_t kInline = 128;
    size_t i = 0;
    for (; i < kInline && avail - i >= 16; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const unsigned zero = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_setzero_si128())));
        if (zero != 0)
            return i + static_cast<size_t>(std::countr_zero(zero));
    }
    const void* nul = std::memchr(p + i, 0, avail - i);
    return nul != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : avail;
}

// strcmp of two strings of which at least avail bytes may be read at each (-1, 0 or 1 as
// unsigned bytes order them); false when neither ends nor differs within them.
inline bool CompareShortStrings(const uint8_t* a, const uint8_t* b, size_t avail, int* result)
{
    constexpr size_t kInline = 128;
    for (size_t i = 0; i < kInline && avail - i >= 16; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const unsigned same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)));
        const unsigned end = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_setzero_si128())));
        const unsigned differ = ~same & 0xFFFFu;
        const unsigned stop = differ | end;
        if (stop != 0) {
            // Decided from the registers: the first stop is a byte where a > b, a < b, or the NUL
            // both share.
            const unsigned greater =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(x, y), x))) & differ;
            const unsigned first = stop & (0u - stop);
            *result = (greater & first) != 0 ? 1 : (differ & first) != 0 ? -1 : 0;
            return true;
        }
    }
    return false;
}

// memmove of n bytes; up to 128 are moved here without a library call (every load before any
// store, so overlap is safe).
inline void MoveBytes(uint8_t* d, const uint8_t* s, size_t n)
{
    const auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    const auto store = [](uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); };
    if (n >= 16 && n <= 32) {
        const __m128i a = load(s), b = load(s + n - 16);
        store(d, a);
        store(d + n - 16, b);
    } else if (n > 32 && n <= 64) {
        const __m128i a = load(s), b = load(s + 16), c = load(s + n - 32), e = load(s + n - 16);
        store(d, a);
        store(d + 16, b);
        store(d + n - 32, c);
        store(d + n - 16, e);
    } else if (n > 64 && n <= 128) {
        const __m128i a0 = load(s), a1 = load(s + 16), a2 = load(s + 32), a3 = load(s + 48);
        const uint8_t* t = s + n - 64;
        const __m128i b0 = load(t), b1 = load(t + 16), b2 = load(t + 32), b3 = load(t + 48);
        uint8_t* e = d + n - 64;
        store(d, a0);
        store(d + 16, a1);
        store(d + 32, a2);
        store(d + 48, a3);
        store(e, b0);
        store(e + 16, b1);
        store(e + 32, b2);
        store(e + 48, b3);
    } else if (n >= 8 && n < 16) {
        uint64_t a, b;
        std::memcpy(&a, s, 8);
        std::memcpy(&b, s + n - 8, 8);
        std::memcpy(d, &a, 8);
        std::memcpy(d + n - 8, &b, 8);
    } else if (n >= 4 && n < 8) {
        uint32_t a, b;
        std::memcpy(&a, s, 4);
        std::memcpy(&b, s + n - 4, 4);
        std::memcpy(d, &a, 4);
        std::memcpy(d + n - 4, &b, 4);
    } else if (n > 0 && n < 4) {
        const uint8_t a = s[0], b = s[n / 2], c = s[n - 1];
        d[0] = a;
        d[n / 2] = b;
        d[n - 1] = c;
    } else if (n != 0) {
        std::memmove(d, s, n);
    }
}

class CScriptMemory {
public:
    static constexpr uint32_t kBase = 0x10000;
    static constexpr uint32_t kDefaultSize = 256u << 20;
    static constexpr uint32_t kMinSize = 4096;
    static constexpr uint32_t kMaxSize = 0x40000000u - kBase;
    static constexpr uint32_t kHandleBase = 0x40000000u;
    static constexpr uint32_t kHandleEnd = 0x7F000000u; // first address past the handles
    static constexpr uint32_t kNativeBase = 0x7F000000u;
    static constexpr uint32_t kAlignment = 16;

    // The size is clamped to [kMinSize, kMaxSize] and rounded down to 16 bytes. The host block is
    // allocated once, zeroed, and never moves; the system commits its pages on first touch.
    explicit CScriptMemory(uint32_t size = kDefaultSize);
    ~CScriptMemory();
    CScriptMemory(const CScriptMemory&) = delete;
    CScriptMemory& operator=(const CScriptMemory&) = delete;

    // False when the host block could not be allocated (then Size() is 0 and every access fails).
    bool IsValid() const { return m_host != nullptr; }
    uint32_t Size() const { return m_size; }
    uint32_t Begin() const { return kBase; }
    uint32_t End() const { return kBase + m_size; } // first address past script memory

    // True when [address, address + length) lies inside script memory. One unsigned compare:
    // addresses below kBase wrap to offsets above any size.
    bool Contains(uint32_t address, uint32_t length) const
    {
        return static_cast<uint64_t>(static_cast<uint32_t>(address - kBase)) + length <= m_size;
    }
    // Host pointer of a checked range, or null when any byte of it is outside (length 0 too:
    // the address must then still be inside or at End()).
    uint8_t* Span(uint32_t address, uint32_t length)
    {
        return Contains(address, length) ? m_host + (address - kBase) : nullptr;
    }
    const uint8_t* Span(uint32_t address, uint32_t length) const
    {
        return Contains(address, length) ? m_host + (address - kBase) : nullptr;
    }

    // Little-endian, unaligned allowed. Each answers false (and leaves *value / memory untouched)
    // when the access is outside script memory.
    bool Load32(uint32_t address, uint32_t* value) const
    {
        if (!Contains(address, 4))
            return false;
        std::memcpy(value, m_host + (address - kBase), 4);
        return true;
    }
    bool Store32(uint32_t address, uint32_t value)
    {
        if (!Contains(address, 4))
            return false;
        std::memcpy(m_host + (address - kBase), &value, 4);
        return true;
    }
    bool Load8(uint32_t address, uint8_t* value) const
    {
        if (!Contains(address, 1))
            return false;
        *value = m_host[address - kBase];
        return true;
    }
    bool Store8(uint32_t address, uint8_t value)
    {
        if (!Contains(address, 1))
            return false;
        m_host[address - kBase] = value;
        return true;
    }
    // Overlapping ranges allowed (memmove). False, nothing copied, when either range is outside.
    bool Copy(uint32_t destination, uint32_t source, uint32_t length);
    // Length of the NUL-terminated string at address (the NUL not counted). False when no NUL is
    // found before the end of script memory or the address is outside.
    bool StrLen(uint32_t address, uint32_t* length) const
    {
        if (!Contains(address, 1))
            return false;
        const uint32_t offset = address - kBase;
        if (StringsEndInside()) { // the library's walk measured faster for lengths and appends
            *length = static_cast<uint32_t>(std::strlen(reinterpret_cast<const char*>(m_host + offset)));
            return true;
        }
        const size_t n = FindNulByte(m_host + offset, m_size - offset);
        if (n == m_size - offset)
            return false;
        *length = static_cast<uint32_t>(n);
        return true;
    }
    // True while the last byte of memory is 0: then every string that starts inside memory ends
    // inside it, and the C library may walk one without a bound.
    bool StringsEndInside() const { return m_size != 0 && m_host[m_size - 1] == 0; }
    // Bytes readable from the host pointer of address to the end of memory (0 when outside).
    size_t ReadableFrom(uint32_t address) const
    {
        const uint32_t offset = address - kBase;
        return offset < m_size ? m_size - offset : 0;
    }
    // The bytes of that string without its NUL, or false as StrLen.
    bool Str(uint32_t address, std::string_view* text) const
    {
        uint32_t length = 0;
        if (!StrLen(address, &length))
            return false;
        *text = std::string_view(reinterpret_cast<const char*>(m_host + (address - kBase)), length);
        return true;
    }

    // Sub-allocator of script memory (stacks, module images, the script heap): 16-byte aligned
    // zeroed blocks. → the block's address, or 0 when no free range is large enough (size 0 gives
    // the smallest block). Its bookkeeping lives in host memory, so no script write can corrupt it.
    // With zeroed false the block may hold old bytes (for callers that overwrite all of it).
    uint32_t Allocate(uint32_t size, bool zeroed = true);
    // → true when address was the start of a live block (which is then free), false otherwise.
    bool Free(uint32_t address);
    // The live block holding address (any byte of it): its start and size; false when none.
    // Natives ask this on every write they size themselves, mostly of the block they asked last.
    bool FindBlock(uint32_t address, uint32_t* start, uint32_t* size) const
    {
        if (static_cast<uint32_t>(address - kBase - m_lastBlockOffset) < m_lastBlockSize) {
            *start = kBase + m_lastBlockOffset;
            *size = m_lastBlockSize;
            return true;
        }
        return FindBlockInMap(address, start, size);
    }
    // Bytes in live blocks (their rounded sizes).
    uint64_t AllocatedBytes() const { return m_allocatedBytes; }

private:
    static constexpr uint32_t kSmallLimit = 1024; // blocks up to this size use the class lists
    static constexpr uint32_t kClassCount = kSmallLimit / kAlignment;

    bool FindBlockInMap(uint32_t address, uint32_t* start, uint32_t* size) const;
    uint32_t TakeRange(uint32_t size);
    void ReturnRange(uint32_t offset, uint32_t size);

    uint8_t* m_host = nullptr;
    uint32_t m_size = 0;
    // Offsets below this have been handed out at some time and may hold old bytes; above it the
    // block is still as the system gave it (zero), so fresh blocks there need no clearing.
    uint32_t m_touched = 0;
    uint64_t m_allocatedBytes = 0;
    std::map<uint32_t, uint32_t> m_live;            // offset -> size of each live block
    // The block FindBlock found last (size 0: none); a freed block is forgotten.
    mutable uint32_t m_lastBlockOffset = 0;
    mutable uint32_t m_lastBlockSize = 0;
    std::map<uint32_t, uint32_t> m_freeRanges;      // offset -> size, coalesced, address order
    std::vector<uint32_t> m_classFree[kClassCount]; // freed small blocks by size class
};
