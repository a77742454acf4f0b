// Fuzzes the LZSS codec. Input: a 4-byte little-endian output size (at most 1 MiB) and a
// compressed stream (seeds: `tessaro-tool lzss pack` outputs behind their size). The stream is
// expanded; the whole input is also compressed and expanded again, which must give it back.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "files/lzss.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    DWORD outSize = static_cast<DWORD>(data[0] | (data[1] << 8) | (data[2] << 16) | (data[3] << 24));
    outSize %= (1u << 20) + 1;
    BYTE* out = nullptr;
    if (LzssDecompress(data + 4, static_cast<DWORD>(size - 4), &out, outSize, true) == 0)
        LzssFree(out);

    BYTE* packed = nullptr;
    DWORD packedSize = 0;
    if (LzssCompress(data, &packed, static_cast<DWORD>(size), &packedSize, true) == 0) {
        BYTE* back = nullptr;
        DWORD consumed = 0;
        if (LzssDecompress(packed, packedSize, &back, static_cast<DWORD>(size), true, &consumed) != 0 ||
            consumed != packedSize || std::memcmp(back, data, size) != 0)
            __builtin_trap();
        LzssFree(back);
        LzssFree(packed);
    }
    return 0;
}
