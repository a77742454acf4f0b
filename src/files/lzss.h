// The LZSS codec of the whole program (4096-byte zero-filled ring, first byte at 4078, matches of
// 3 to 18 bytes, binary-tree match search). Streams carry no header or length: the caller keeps
// the uncompressed size beside them. Buffers these calls allocate are freed with LzssFree.
#pragma once

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
    static constexpr int kNone = kRingSize;

    // The search tree orders the strings that start at each ring position by their first 18
    // bytes, under one root per first byte (nodes kRingSize + 1 + byte); kNone is no node.
    void InsertNode(int r);
    template <bool kSteadyTurns>
    void Walk(int r);
    void DeleteNode(int p);
    // Node p's children: the left in the low half, the right in the high.
    uint32_t Children(int p) const { return m_child[p][0] | static_cast<uint32_t>(m_child[p][1]) << 16; }

    BYTE m_ring[kRingSize + kMaxMatch - 1];
    uint16_t m_child[kRingSize + 257][2]; // [0] left (smaller), [1] right
    uint16_t m_parent[kRingSize + 1];
    int m_matchPosition = 0;
    int m_matchLength = 0;
    int m_turns = 0;         // turns of the walks since the last choice of walk
    int m_repeatedTurns = 0; // of them, those the same way as the turn before
    bool m_steadyTurns = false;
};

// The same through a codec object of the calling thread.
int LzssDecompress(const BYTE* input, DWORD inSize, BYTE** output, DWORD outSize, bool allocate,
                   DWORD* consumed = nullptr);
int LzssCompress(const BYTE* input, BYTE** output, DWORD inSize, DWORD* outSize, bool allocate);
void LzssFree(BYTE* buffer);
