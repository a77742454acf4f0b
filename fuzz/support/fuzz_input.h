// Turns a fuzzer's bytes into parameters: little-endian words, read past the end as zeros, so
// every input, however short, gives a complete set of values.
#pragma once

#include <cstddef>
#include <cstdint>

struct FuzzInput {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;

    uint32_t U32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(pos < size ? data[pos++] : 0) << (8 * i);
        return v;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    uint16_t U16()
    {
        const uint16_t low = Byte();
        return static_cast<uint16_t>(low | (Byte() << 8));
    }
    // A value in [0, range).
    int Small(int range) { return static_cast<int>(U32() % static_cast<uint32_t>(range)); }
    bool AtEnd() const { return pos >= size; }
};
