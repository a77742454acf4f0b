#include "files/lzss.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr int kRingStart = CLzssCodec::kRingSize - CLzssCodec::kMaxMatch; // 4078
// A group: one flag byte and up to eight two-byte matches, and a run of literals reads eight bytes
// from its first (at most the fifteenth byte of the group); it writes at most eight longest
// matches, and an item may write up to 32 bytes from its start (the bytes past its length are
// rewritten by what follows).
constexpr ptrdiff_t kGroupInput = 1 + 7 * 2 + 8;
constexpr DWORD kGroupRoom = 8 * CLzssCodec::kMaxMatch + 32;

inline void Copy8(BYTE* d, const BYTE* s)
{
    uint64_t a;
    std::memcpy(&a, s, 8);
    std::memcpy(d, &a, 8);
}

inline void Copy16(BYTE* d, const BYTE* s)
{
    uint64_t a, b;
    std::memcpy(&a, s, 8);
    std::memcpy(&b, s + 8, 8);
    std::memcpy(d, &a, 8);
    std::memcpy(d + 8, &b, 8);
}

// One group of eight items at output index o, whose input and output room the caller checked;
// returns the output index after it. Same bytes as the item-by-item loop.
DWORD DecodeGroup(const BYTE*& in, BYTE* out, DWORD o)
{
    const BYTE* p = in;
    unsigned flags = *p++;
    // The literals before each match go as one eight-byte copy (their count from the flag bits),
    // so a group costs a step per match instead of a guess per item.
    int left = 8;
    while (left > 0) {
        const int literals = std::min(std::countr_one(flags), left);
        Copy8(out + o, p);
        o += static_cast<DWORD>(literals);
        p += literals;
        left -= literals;
        if (left == 0)
            break;
        flags >>= literals + 1;
        --left;
        const unsigned b1 = p[0];
        const unsigned b2 = p[1];
        p += 2;
        const unsigned position = b1 | ((b2 & 0xF0u) << 4);
        const DWORD length = (b2 & 0x0Fu) + 3;
        const unsigned r = (kRingStart + o) & (CLzssCodec::kRingSize - 1);
        const DWORD distance = ((r - position - 1) & (CLzssCodec::kRingSize - 1)) + 1; // 0 means 4096
        BYTE* d = out + o;
        if (distance > o) {
            // Starts in the zero-filled ring before the data.
            for (DWORD k = 0; k < length; ++k)
                d[k] = (o + k >= distance) ? out[o + k - distance] : 0;
        } else if (distance >= 16) {
            // Each 16-byte step reads only bytes already final: the second starts 16 further on
            // and reads at most up to what the first wrote.
            const BYTE* from = d - distance;
            Copy16(d, from);
            if (length > 16)
                Copy16(d + 16, from + 16);
        } else {
            // Overlapping: the last `distance` bytes repeat. The first eight bytes go one by one;
            // from there the output repeats with a period of at least eight (a multiple of the
            // distance), so the rest goes eight bytes at a time.
            const BYTE* from = d - distance;
            for (int k = 0; k < 8; ++k)
                d[k] = from[k];
            static constexpr BYTE kPeriod[8] = {0, 8, 8, 9, 8, 10, 12, 14}; // least multiple >= 8
            const DWORD period = distance >= 8 ? distance : kPeriod[distance];
            for (DWORD k = 8; k < length; k += 8)
                Copy8(d + k, d + k - period);
        }
        o += length;
    }
    in = p;
    return o;
}

} // namespace

int CLzssCodec::Decompress(const BYTE* input, DWORD inSize, BYTE** output, DWORD outSize, bool allocate,
                           DWORD* consumed)
{
    if (consumed != nullptr)
        *consumed = 0;
    if (outSize == 0)
        return 1;
    if (output == nullptr)
        return 2;
    BYTE* out = allocate ? static_cast<BYTE*>(std::malloc(outSize)) : *output;
    if (out == nullptr)
        return 2;
    if (input == nullptr)
        inSize = 0;

    // The ring is never materialised: ring position p, seen from output index o written at ring
    // position r = (4078 + o) & 4095, holds output byte o - d with d = (r - p) & 4095 (4096 for
    // 0), or a zero of the initial ring when that index lies before the output.
    const BYTE* in = input;
    const BYTE* end = input + inSize;
    DWORD o = 0;
    unsigned flags = 0;
    int result = 0;
    while (o < outSize) {
        // A whole group of eight items with room to spare on both sides goes through the quick
        // loop, which checks nothing per item; the tail and the start go item by item below.
        if ((flags & 0x200u) == 0 && outSize - o >= kGroupRoom && end - in >= kGroupInput) {
            o = DecodeGroup(in, out, o);
            flags = 0;
            continue;
        }
        flags >>= 1;
        if ((flags & 0x100) == 0) {
            if (in == end) {
                result = 3;
                break;
            }
            flags = *in++ | 0xFF00u;
        }
        if (flags & 1) {
            if (in == end) {
                result = 3;
                break;
            }
            out[o++] = *in++;
            continue;
        }
        if (end - in < 2) {
            result = 3;
            break;
        }
        unsigned b1 = in[0];
        unsigned b2 = in[1];
        in += 2;
        unsigned position = b1 | ((b2 & 0xF0u) << 4);
        DWORD length = (b2 & 0x0Fu) + 3;
        unsigned r = (kRingStart + o) & (kRingSize - 1);
        DWORD distance = (r - position) & (kRingSize - 1);
        if (distance == 0)
            distance = kRingSize;
        if (length > outSize - o)
            length = outSize - o;
        if (distance > o) {
            // Starts in the zero-filled ring before the data.
            for (DWORD k = 0; k < length; ++k, ++o)
                out[o] = (o >= distance) ? out[o - distance] : 0;
        } else if (distance >= length) {
            std::memcpy(out + o, out + o - distance, length);
            o += length;
        } else {
            // Overlapping: repeats the last `distance` bytes.
            for (DWORD k = 0; k < length; ++k, ++o)
                out[o] = out[o - distance];
        }
    }
    if (consumed != nullptr)
        *consumed = static_cast<DWORD>(in - input);
    if (result != 0) {
        if (allocate)
            std::free(out);
        return result;
    }
    if (allocate)
        *output = out;
    return 0;
}

namespace {
// Eight bytes as one number whose order is the bytes' order.
inline uint64_t LoadOrdered(const BYTE* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::little)
        v = __builtin_bswap64(v);
    return v;
}
} // namespace

void CLzssCodec::InsertNode(int r)
{
    // The walk is a chain of dependent loads. Where its turns follow no pattern (text, mixed
    // data) a branch on each turn is mispredicted half the time, so the next node is selected
    // from both children instead; where nearly every turn repeats the last (sorted runs, as in
    // gradients) a branch is predicted and lets the processor run several steps ahead. Both walks
    // visit the same nodes; the share of repeated turns chooses between them.
    if (m_turns >= 4096) {
        m_steadyTurns = m_repeatedTurns * 5 >= m_turns * 4;
        m_turns = m_repeatedTurns = 0;
    }
    if (m_steadyTurns)
        Walk<true>(r);
    else
        Walk<false>(r);
}

template <bool kSteadyTurns>
void CLzssCodec::Walk(int r)
{
    // Bytes 1-17 of the new string are compared eight at a time: the first differing byte gives
    // the same match length and the same direction as comparing byte by byte. The best match so
    // far is kept by selection (the first node of the longest length wins, as in a byte-wise
    // walk).
    const BYTE* key = &m_ring[r];
    const uint64_t key1 = LoadOrdered(key + 1);
    const uint64_t key9 = LoadOrdered(key + 9);
    const unsigned key17 = key[17];
    int p = kRingSize + 1 + key[0];
    int right = 1;
    int lastRight = 1;
    int bestLength = 0;
    int bestPosition = 0;
    int turns = 0;
    int repeated = 0;
    m_child[r][0] = m_child[r][1] = kNone;
    // Without a predictable turn both children of a node are read as soon as the node is known,
    // beside its key, so that the comparison only selects between them.
    uint32_t children = Children(p);
    int next = m_child[p][1];
    for (;;) {
        if constexpr (!kSteadyTurns)
            next = static_cast<int>((children >> (16 * right)) & 0xFFFF);
        if (next == kNone) {
            m_child[p][right] = static_cast<uint16_t>(r);
            m_parent[r] = static_cast<uint16_t>(p);
            m_matchLength = bestLength;
            m_matchPosition = bestPosition;
            m_turns += turns;
            m_repeatedTurns += repeated;
            return;
        }
        p = next;
        if constexpr (!kSteadyTurns)
            children = Children(p);
        const BYTE* node = &m_ring[p];
        int i;
        const uint64_t node1 = LoadOrdered(node + 1);
        if (node1 != key1) [[likely]] {
            i = 1 + std::countl_zero(node1 ^ key1) / 8;
            right = key1 > node1;
        } else {
            const uint64_t node9 = LoadOrdered(node + 9);
            if (node9 != key9) {
                i = 9 + std::countl_zero(node9 ^ key9) / 8;
                right = key9 > node9;
            } else if (node[17] != key17) {
                i = 17;
                right = key17 > node[17];
            } else {
                break;
            }
        }
        bestPosition = i > bestLength ? p : bestPosition;
        bestLength = i > bestLength ? i : bestLength;
        ++turns;
        repeated += right == lastRight;
        lastRight = right;
        if constexpr (kSteadyTurns) {
            if (__builtin_expect(right, 1))
                next = m_child[p][1];
            else
                next = m_child[p][0];
        }
    }
    m_matchPosition = p;
    m_matchLength = kMaxMatch;
    // A full match: the new string takes the old node's place.
    const int up = m_parent[p];
    m_parent[r] = static_cast<uint16_t>(up);
    m_child[r][0] = m_child[p][0];
    m_child[r][1] = m_child[p][1];
    m_parent[m_child[p][0]] = static_cast<uint16_t>(r);
    m_parent[m_child[p][1]] = static_cast<uint16_t>(r);
    m_child[up][m_child[up][1] == p] = static_cast<uint16_t>(r);
    m_parent[p] = kNone;
}

void CLzssCodec::DeleteNode(int p)
{
    const int up = m_parent[p];
    if (up == kNone)
        return;
    int q;
    if (m_child[p][1] == kNone) {
        q = m_child[p][0];
    } else if (m_child[p][0] == kNone) {
        q = m_child[p][1];
    } else {
        // Two children: the greatest smaller node takes p's place.
        q = m_child[p][0];
        if (m_child[q][1] != kNone) {
            do {
                q = m_child[q][1];
            } while (m_child[q][1] != kNone);
            m_child[m_parent[q]][1] = m_child[q][0];
            m_parent[m_child[q][0]] = m_parent[q];
            m_child[q][0] = m_child[p][0];
            m_parent[m_child[p][0]] = static_cast<uint16_t>(q);
        }
        m_child[q][1] = m_child[p][1];
        m_parent[m_child[p][1]] = static_cast<uint16_t>(q);
    }
    m_parent[q] = static_cast<uint16_t>(up);
    m_child[up][m_child[up][1] == p] = static_cast<uint16_t>(q);
    m_parent[p] = kNone;
}

int CLzssCodec::Compress(const BYTE* input, BYTE** output, DWORD inSize, DWORD* outSize, bool allocate)
{
    if (outSize != nullptr)
        *outSize = 0;
    if (input == nullptr || inSize < 9)
        return 1;
    if (allocate && output == nullptr)
        return 2;
    const DWORD limit = inSize - 8;
    BYTE* out = nullptr;
    if (allocate) {
        out = static_cast<BYTE*>(std::malloc(limit));
        if (out == nullptr)
            return 2;
    }

    for (int i = kRingSize + 1; i <= kRingSize + 256; ++i)
        m_child[i][1] = kNone;
    m_turns = m_repeatedTurns = 0;
    m_steadyTurns = false;
    for (int i = 0; i < kRingSize; ++i)
        m_parent[i] = kNone;
    // The parent of the "none" slot is written by the tree surgery; keep it in bounds.
    m_parent[kRingSize] = kNone;
    std::memset(m_ring, 0, sizeof m_ring);

    const BYTE* in = input;
    const BYTE* end = input + inSize;
    int s = 0;
    int r = kRingStart;
    int len = 0;
    for (; len < kMaxMatch && in < end; ++len)
        m_ring[r + len] = *in++;
    for (int i = 1; i <= kMaxMatch; ++i)
        InsertNode(r - i);
    InsertNode(r);

    BYTE group[1 + 8 * 2];
    group[0] = 0;
    int groupLength = 1;
    unsigned mask = 1;
    DWORD count = 0;
    bool refused = false;
    do {
        if (m_matchLength > len)
            m_matchLength = len;
        if (m_matchLength <= kThreshold) {
            m_matchLength = 1;
            group[0] |= static_cast<BYTE>(mask);
            group[groupLength++] = m_ring[r];
        } else {
            group[groupLength++] = static_cast<BYTE>(m_matchPosition);
            group[groupLength++] =
                static_cast<BYTE>(((m_matchPosition >> 4) & 0xF0) | (m_matchLength - (kThreshold + 1)));
        }
        mask = (mask << 1) & 0xFF;
        if (mask == 0) {
            if (count + groupLength >= limit) {
                count += groupLength;
                refused = true;
                break;
            }
            if (out != nullptr)
                std::memcpy(out + count, group, groupLength);
            count += groupLength;
            group[0] = 0;
            groupLength = 1;
            mask = 1;
        }
        int lastMatchLength = m_matchLength;
        int i = 0;
        for (; i < lastMatchLength && in < end; ++i) {
            DeleteNode(s);
            BYTE c = *in++;
            m_ring[s] = c;
            if (s < kMaxMatch - 1)
                m_ring[s + kRingSize] = c;
            s = (s + 1) & (kRingSize - 1);
            r = (r + 1) & (kRingSize - 1);
            InsertNode(r);
        }
        while (i++ < lastMatchLength) {
            DeleteNode(s);
            s = (s + 1) & (kRingSize - 1);
            r = (r + 1) & (kRingSize - 1);
            if (--len)
                InsertNode(r);
        }
    } while (len > 0);

    if (!refused && groupLength > 1) {
        if (count + groupLength >= limit) {
            refused = true;
        } else if (out != nullptr) {
            std::memcpy(out + count, group, groupLength);
        }
        count += groupLength;
    }
    if (outSize != nullptr)
        *outSize = count;
    if (refused || count >= limit) {
        std::free(out);
        return 1;
    }
    if (allocate)
        *output = out;
    return 0;
}

namespace {
// One codec per thread (its trees are large), made at first use. Objects destroyed after it as
// their thread ends (a static object saving at exit) get a codec of their own for the call.
thread_local CLzssCodec* t_codec = nullptr;
thread_local bool t_codecGone = false;

struct CodecOwner {
    ~CodecOwner()
    {
        delete t_codec;
        t_codec = nullptr;
        t_codecGone = true;
    }
};

template <class Call>
int WithCodec(Call call)
{
    if (!t_codecGone) {
        thread_local CodecOwner owner;
        if (t_codec == nullptr)
            t_codec = new CLzssCodec;
        return call(*t_codec);
    }
    const auto late = std::make_unique<CLzssCodec>();
    return call(*late);
}
} // namespace

int LzssDecompress(const BYTE* input, DWORD inSize, BYTE** output, DWORD outSize, bool allocate, DWORD* consumed)
{
    return WithCodec([&](CLzssCodec& c) { return c.Decompress(input, inSize, output, outSize, allocate, consumed); });
}

int LzssCompress(const BYTE* input, BYTE** output, DWORD inSize, DWORD* outSize, bool allocate)
{
    return WithCodec([&](CLzssCodec& c) { return c.Compress(input, output, inSize, outSize, allocate); });
}

void LzssFree(BYTE* buffer)
{
    std::free(buffer);
}
