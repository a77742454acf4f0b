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
// The window starts with this many zero bytes: the ring before the data, as the decoder sees it,
// so that a leading run matches from the first item.
constexpr int kZeroLead = CLzssCodec::kMaxMatch;
// The farthest match the ring still holds for the decoder when it is read.
constexpr int kMaxDistance = CLzssCodec::kRingSize - 1;
// Candidates tried per position: within a 4 KB window this finds nearly every longest match.
constexpr int kChainLimit = 256;
constexpr int32_t kNoPosition = -(1 << 30);

inline uint32_t Load32(const BYTE* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline uint64_t Load64(const BYTE* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

template <int kBits>
inline uint32_t Hash3(const BYTE* p)
{
    return ((Load32(p) & 0xFFFFFFu) * 2654435761u) >> (32 - kBits);
}

template <int kBits>
inline uint32_t Hash4(const BYTE* p)
{
    return (Load32(p) * 2654435761u) >> (32 - kBits);
}

// Bytes a[0..] equal to b[0..], at most limit (<= 18); both have eight readable bytes past limit.
inline int MatchLength(const BYTE* a, const BYTE* b, int limit)
{
    int n = 0;
    for (;;) {
        const uint64_t x = Load64(a + n) ^ Load64(b + n);
        if (x != 0) {
            if constexpr (std::endian::native == std::endian::little)
                n += std::countr_zero(x) / 8;
            else
                n += std::countl_zero(x) / 8;
            return std::min(n, limit);
        }
        n += 8;
        if (n >= limit)
            return limit;
    }
}
} // namespace

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
    std::fill(std::begin(m_head), std::end(m_head), kNoPosition);
    std::fill(std::begin(m_head3), std::end(m_head3), kNoPosition);
    constexpr int32_t kWindowBytes = sizeof m_work - kWorkSpare;
    // Positions are window indexes; base is the input index of m_work[0].
    int32_t base = -kZeroLead;
    DWORD taken = 0;
    int32_t filled = kZeroLead;
    int32_t end = 0; // positions below end are searched
    int32_t inputEnd = 0;
    auto refill = [&] {
        const DWORD n = std::min<DWORD>(inSize - taken, static_cast<DWORD>(kWindowBytes - filled));
        std::memcpy(m_work + filled, input + taken, n);
        taken += n;
        filled += static_cast<int32_t>(n);
        if (taken == inSize) {
            std::memset(m_work + filled, 0, kWorkSpare);
            end = inputEnd = filled;
        } else {
            // The position, its longest match and a word past it are all in the window.
            end = filled - kWorkSpare;
            inputEnd = INT32_MAX;
        }
    };
    auto insert = [&](int32_t i) {
        const uint32_t h = Hash4<kHashBits>(m_work + i);
        m_previous[i & (kRingSize - 1)] = m_head[h];
        m_head[h] = i;
        m_head3[Hash3<kHashBits>(m_work + i)] = i;
    };
    std::memset(m_work, 0, kZeroLead);
    refill();
    for (int32_t i = 0; i < kZeroLead; ++i)
        insert(i);

    BYTE group[1 + 8 * 2];
    group[0] = 0;
    int groupLength = 1;
    unsigned mask = 1;
    DWORD count = 0;
    bool refused = false;
    int32_t i = kZeroLead;
    for (;;) {
        if (i >= end) {
            if (taken == inSize)
                break;
            // Slide by whole rings (the chain slots stay where they are), keeping at least one
            // ring behind the position; older positions are out of reach.
            const int32_t shift = (i - kRingSize) & ~(kRingSize - 1);
            std::memmove(m_work, m_work + shift, static_cast<size_t>(filled - shift));
            filled -= shift;
            i -= shift;
            base += shift;
            for (int32_t* table : {m_head, m_head3})
                for (int k = 0; k < (1 << kHashBits); ++k)
                    table[k] = table[k] >= shift ? table[k] - shift : kNoPosition;
            for (int32_t& v : m_previous)
                v = v >= shift ? v - shift : kNoPosition;
            refill();
            continue;
        }
        const int room = static_cast<int>(std::min<int32_t>(kMaxMatch, inputEnd - i));
        int bestLength = kThreshold;
        int32_t bestPosition = 0;
        const uint32_t h = Hash4<kHashBits>(m_work + i);
        const uint32_t h3 = Hash3<kHashBits>(m_work + i);
        int32_t candidate = m_head[h];
        const int32_t candidate3 = m_head3[h3];
        m_previous[i & (kRingSize - 1)] = candidate;
        m_head[h] = i;
        m_head3[h3] = i;
        if (room > kThreshold) {
            const BYTE* here = m_work + i;
            const int32_t farthest = i - kMaxDistance;
            // Without a longer match, the newest string with the same first three bytes.
            if (candidate3 >= farthest && std::memcmp(m_work + candidate3, here, 3) == 0) {
                bestLength = 3;
                bestPosition = candidate3;
            }
            int tries = kChainLimit;
            // The byte just past the best length must agree before a candidate can be longer.
            while (candidate >= farthest && tries-- > 0) {
                const BYTE* there = m_work + candidate;
                if (there[bestLength] == here[bestLength]) {
                    const int length = MatchLength(there, here, room);
                    if (length > bestLength) {
                        bestLength = length;
                        bestPosition = candidate;
                        if (length >= room)
                            break;
                    }
                }
                candidate = m_previous[candidate & (kRingSize - 1)];
            }
        }
        int advance;
        if (bestLength <= kThreshold) {
            group[0] |= static_cast<BYTE>(mask);
            group[groupLength++] = m_work[i];
            advance = 1;
        } else {
            const int position = (kRingStart + base + bestPosition) & (kRingSize - 1);
            group[groupLength++] = static_cast<BYTE>(position);
            group[groupLength++] = static_cast<BYTE>(((position >> 4) & 0xF0) | (bestLength - (kThreshold + 1)));
            advance = bestLength;
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
        // Every position a match covers starts a string later searches may find.
        for (int32_t k = i + 1; k < i + advance; ++k)
            insert(k);
        i += advance;
    }

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
