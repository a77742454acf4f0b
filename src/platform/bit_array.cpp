#include "platform/bit_array.h"

#include <cstring>
#include <new>

CBitArray::~CBitArray()
{
    Release();
}

void CBitArray::Release()
{
    delete[] m_bytes;
    m_bytes = nullptr;
    m_bitCount = 0;
    m_byteCount = 0;
}

uint32_t CBitArray::Create(uint32_t bitCount)
{
    if (bitCount == 0)
        return 1;
    Release();
    // In 64 bits: (count + 7) / 8 in 32 bits gave 0 bytes for counts near 2^32.
    const auto byteCount = static_cast<uint32_t>((static_cast<uint64_t>(bitCount) + 7) / 8);
    m_bytes = new (std::nothrow) uint8_t[byteCount];
    if (!m_bytes)
        return 2;
    std::memset(m_bytes, 0, byteCount);
    m_bitCount = bitCount;
    m_byteCount = byteCount;
    return 0;
}

uint32_t CBitArray::CopyFrom(const void* bytes, uint32_t n)
{
    if (!m_bytes || !bytes || n > m_byteCount)
        return 1;
    std::memcpy(m_bytes, bytes, n);
    return 0;
}

uint32_t CBitArray::SetBit(uint32_t i, int value)
{
    if (!m_bytes)
        return 1;
    if (i >= m_bitCount)
        return 2;
    const auto mask = static_cast<uint8_t>(1u << (i % 8));
    if (value)
        m_bytes[i / 8] |= mask;
    else
        m_bytes[i / 8] &= static_cast<uint8_t>(~mask);
    return 0;
}

bool CBitArray::GetBit(uint32_t i) const
{
    if (!m_bytes || i >= m_bitCount)
        return false;
    return (m_bytes[i / 8] >> (i % 8)) & 1;
}

uint32_t CBitArray::CountSet() const
{
    uint32_t count = 0;
    for (uint32_t i = 0; m_bytes && i < m_byteCount; ++i)
        count += static_cast<uint32_t>(__builtin_popcount(m_bytes[i]));
    return count;
}

bool CBitArray::AllSet() const
{
    if (!m_bytes)
        return false;
    const uint32_t whole = m_bitCount / 8;
    for (uint32_t i = 0; i < whole; ++i)
        if (m_bytes[i] != 0xFF)
            return false;
    const uint32_t rest = m_bitCount % 8;
    if (rest != 0) {
        const auto mask = static_cast<uint8_t>((1u << rest) - 1);
        if ((m_bytes[whole] & mask) != mask)
            return false;
    }
    return true;
}
