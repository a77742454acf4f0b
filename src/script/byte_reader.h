// Checked little-endian reads over a byte range, for the script loaders: every read is checked
// against the bytes left, and a failed read sticks (every later read fails too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(data != nullptr ? size : 0) {}

    bool Take(size_t n, const uint8_t** out)
    {
        if (!m_ok || n > m_size - m_at) {
            m_ok = false;
            return false;
        }
        *out = m_data + m_at;
        m_at += n;
        return true;
    }
    bool Skip(size_t n)
    {
        const uint8_t* p;
        return Take(n, &p);
    }
    bool U8(uint32_t* v)
    {
        const uint8_t* p;
        if (!Take(1, &p))
            return false;
        *v = p[0];
        return true;
    }
    bool U16(uint32_t* v)
    {
        const uint8_t* p;
        if (!Take(2, &p))
            return false;
        *v = p[0] | (p[1] << 8);
        return true;
    }
    bool U32(uint32_t* v)
    {
        const uint8_t* p;
        if (!Take(4, &p))
            return false;
        std::memcpy(v, p, 4); // little-endian host
        return true;
    }
    size_t Left() const { return m_size - m_at; }
    size_t Position() const { return m_at; }
    bool Ok() const { return m_ok; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
    bool m_ok = true;
};

inline void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
