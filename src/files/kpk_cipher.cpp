#include "files/kpk_cipher.h"

#include <cstring>
#include <string>

#include "winapi/kernel.h"
#include "winapi/text.h"

namespace {

DWORD Rotl(DWORD x, unsigned n)
{
    n &= 31;
    return n == 0 ? x : (x << n) | (x >> (32 - n));
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

} // namespace

DWORD CKpkCipher::NameKey(const char* archivePath)
{
    std::string path = archivePath != nullptr ? archivePath : "";
    // The base name: after the last separator (never a Shift-JIS trail byte), before the last dot.
    size_t start = 0;
    size_t dot = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (winapi::IsSjisLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (IsSeparator(path[i])) {
            start = i + 1;
            dot = std::string::npos;
        } else if (path[i] == '.') {
            dot = i;
        }
    }
    std::string name = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    CharUpperA(name.data());
    DWORD hash = 2166136261u;
    for (unsigned char c : name) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

CKpkCipher::CKpkCipher(const char* archivePath, DWORD keyWord1, DWORD keyWord2)
{
    m_key = NameKey(archivePath) ^ keyWord1 ^ Rotl(keyWord2, 16);
    m_wordKey = m_key * 0x9E3779B1u + 0x7F4A7C15u;
}

void CKpkCipher::ApplyIndexKeystream(BYTE* data, size_t length) const
{
    DWORD x = m_key ^ 0x9E3779B9u;
    if (x == 0)
        x = 1;
    for (size_t i = 0; i < length; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data[i] ^= static_cast<BYTE>(x & 0xFF);
    }
}

void CKpkCipher::ApplyWordTransform(BYTE* body, DWORD length) const
{
    DWORD words = length / 4 < 64 ? length / 4 : 64;
    for (DWORD i = 0; i < words; ++i) {
        DWORD key = Rotl(m_wordKey, i % 32);
        for (int b = 0; b < 4; ++b)
            body[i * 4 + b] ^= static_cast<BYTE>(key >> (8 * b));
    }
}
