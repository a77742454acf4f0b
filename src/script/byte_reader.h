// Checked little-endian reads over a byte range, for the script loaders: every read is checked
// against the bytes left, and a failed read sticks (every later read fails too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
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

// A text counted by a byte: 0 none (empty), else count − 1 bytes and a NUL, no NUL before it →
// false when damaged.
inline bool TakeCountedText(ByteReader& in, std::string* out)
{
    uint32_t n = 0;
    const uint8_t* bytes = nullptr;
    if (!in.U8(&n))
        return false;
    out->clear();
    if (n == 0)
        return true;
    if (!in.Take(n, &bytes) || bytes[n - 1] != 0 || std::memchr(bytes, 0, n - 1) != nullptr)
        return false;
    out->assign(reinterpret_cast<const char*>(bytes), n - 1);
    return true;
}

// The writing side: 0 for an empty text, else its length + 1, the text and a NUL (the caller
// keeps texts below 255 bytes).
inline void PutCountedText(std::vector<uint8_t>& out, const std::string& text)
{
    if (text.empty()) {
        out.push_back(0);
        return;
    }
    out.push_back(static_cast<uint8_t>(text.size() + 1));
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}
