// The KPK cipher profile of this project: how the header word, the index and the entry bytes of
// a KPK archive are enciphered, and the key material behind them (docs/kpk-format.md). Every
// transform here is its own inverse except the per-byte one, which has a scramble/unscramble pair.
#pragma once

#include <cstddef>

#include "winapi/base.h"

class CKpkCipher {
public:
    // Keys for an archive at path (its base name, without folder and extension, is part of the
    // key) and the two run-time key words.
    CKpkCipher(const char* archivePath, DWORD keyWord1, DWORD keyWord2);

    // 32-bit FNV-1a over the upper-cased base name of path.
    static DWORD NameKey(const char* archivePath);

    DWORD Key() const { return m_key; }
    DWORD WordKey() const { return m_wordKey; }

    // stored ↔ plain header word.
    DWORD HeaderWord(DWORD word) const { return word ^ m_key; }
    // Xors the index with its keystream (deciphers or enciphers).
    void ApplyIndexKeystream(BYTE* data, size_t length) const;
    // The per-byte entry transform.
    static BYTE UnscrambleByte(BYTE stored)
    {
        return static_cast<BYTE>(static_cast<BYTE>((stored >> 3) | (stored << 5)) ^ 0x5A);
    }
    static BYTE ScrambleByte(BYTE plain)
    {
        BYTE x = static_cast<BYTE>(plain ^ 0x5A);
        return static_cast<BYTE>((x << 3) | (x >> 5));
    }
    // Xors the first min(length / 4, 64) little-endian words of an entry body with the rotated
    // archive key word (deciphers or enciphers).
    void ApplyWordTransform(BYTE* body, DWORD length) const;

private:
    DWORD m_key;
    DWORD m_wordKey;
};
