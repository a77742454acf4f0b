// The LZSS codec of the whole program (4096-byte zero-filled ring, first byte at 4078, matches of
// 3 to 18 bytes, hash-chain match search). Streams carry no header or length: the caller keeps
// the uncompressed size beside them. Buffers these calls allocate are freed with LzssFree.
#pragma once

#include <cstdint>

#include "winapi/base.h"

class CLzssCodec {
public:
    static constexpr int kRingSize = 4096;
    static constexpr int kMaxMatch = 18;
    static constexpr int kThreshold = 2;

    // Expands inSize bytes of input into outSize bytes → 0 success, 1 outSize is 0, 2 no memory
    // or no output buffer, 3 the input ends before outSize bytes are produced. With allocate a
    // buffer of outSize bytes is made and stored into *output. Decoding stops as soon as outSize
    // bytes exist, even inside a match; *consumed (when given) receives the input bytes read.
    int Decompress(const BYTE* input, DWORD inSize, BYTE** output, DWORD outSize, bool allocate,
                   DWORD* consumed = nullptr);
    // → 0 success, 1 input shorter than 9 bytes or not smaller than inSize - 8 bytes compressed,
    // 2 no memory. With allocate a buffer of inSize - 8 bytes is made, stored into *output and
    // filled (freed again on failure); without, the call only measures. *outSize receives the
    // compressed size (on failure the count that reached the limit).
    int Compress(const BYTE* input, BYTE** output, DWORD inSize, DWORD* outSize, bool allocate);

private:
    // Match search: chains of earlier positions with the same first four bytes (positions in the
    // compressor's working copy of the input), newest first, and the newest position for each
    // first three bytes (a match of three is worth the same wherever it is).
    static constexpr int kHashBits = 13;
    int32_t m_head[1 << kHashBits];
    int32_t m_head3[1 << kHashBits];
    int32_t m_previous[kRingSize];
    // The input passes through this window: the last ring's worth of bytes before the current
    // position, a block ahead of it, and spare bytes so that comparisons read whole words.
    static constexpr int kWorkBlock = 1 << 16;
    static constexpr int kWorkSpare = 32;
    BYTE m_work[kRingSize * 2 + kWorkBlock + kWorkSpare];
};

// The same through a codec object of the calling thread.
int LzssDecompress(const BYTE* input, DWORD inSize, BYTE** output, DWORD outSize, bool allocate,
                   DWORD* consumed = nullptr);
int LzssCompress(const BYTE* input, BYTE** output, DWORD inSize, DWORD* outSize, bool allocate);
void LzssFree(BYTE* buffer);
