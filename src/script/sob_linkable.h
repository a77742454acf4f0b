// The linkable image of SOB0 modules and the SOB2 library, as stored after the magic: u32 H, a
// link header of five tables (each u32 count and count × (u32 offset, u32 value)) ended by a 0
// word, u32 C (code bytes), u32 S (image bytes) and the S image bytes. The runtime's linker and
// the tools read it through this one checked parser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

struct SobLinkTable {
    uint32_t count = 0;
    const uint8_t* entries = nullptr; // count × 8 bytes

    uint32_t Offset(uint32_t i) const { return Word(entries + 8 * i); }
    uint32_t Value(uint32_t i) const { return Word(entries + 8 * i + 4); }
    static uint32_t Word(const uint8_t* p)
    {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v; // little-endian host
    }
};

struct SobLinkable {
    static constexpr int kTableCount = 5; // user variable, native, host variable, library, own
    uint32_t headerLength = 0;
    SobLinkTable tables[kTableCount];
    uint32_t codeLength = 0;
    uint32_t imageSize = 0;
    const uint8_t* image = nullptr;
};

// Parses the bytes after the magic → true when the five tables and the 0 end word lie inside H,
// C ≤ S, the image lies inside the data and (with checkCells) every entry's cell (offset + 4)
// lies inside S. Bytes after the end word inside H, and after the image, are ignored.
bool ParseSobLinkable(const uint8_t* data, size_t size, SobLinkable* out, bool checkCells = true);
