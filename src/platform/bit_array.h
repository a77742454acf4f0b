// One bit per item (for example one per scenario message, marking it read). The array is stored in
// files byte for byte, so its bit order is part of those formats: bit i is bit (i mod 8), counted
// from the least significant, of byte i / 8.
#pragma once

#include <cstdint>

class CBitArray {
public:
    CBitArray() = default;
    virtual ~CBitArray();
    CBitArray(const CBitArray&) = delete;
    CBitArray& operator=(const CBitArray&) = delete;

    // 0 ok (all bits clear), 1 count 0 (the array is left as it was), 2 no memory (the array is
    // then empty).
    uint32_t Create(uint32_t bitCount);
    // Copies n bytes to the start of the buffer; the rest stays. 0 ok; 1 no buffer, null source or
    // n greater than the byte count.
    uint32_t CopyFrom(const void* bytes, uint32_t n);
    // 0 ok; 1 no buffer; 2 i >= bit count.
    uint32_t SetBit(uint32_t i, int value);
    // false without a buffer or for i >= bit count.
    bool GetBit(uint32_t i) const;
    // Set bits in every byte of the buffer (also bits past the count that CopyFrom put there).
    uint32_t CountSet() const;
    // True when each of the bit-count bits is set; false without a buffer.
    bool AllSet() const;

    uint32_t GetBitCount() const { return m_bitCount; }
    uint32_t GetByteCount() const { return m_byteCount; }
    const uint8_t* GetBytes() const { return m_bytes; }

private:
    void Release();

    uint32_t m_bitCount = 0;
    uint32_t m_byteCount = 0;
    uint8_t* m_bytes = nullptr;
};
