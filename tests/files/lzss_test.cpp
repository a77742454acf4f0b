// LZSS: round trips, the exact stream of the compressor, refusals, and decoding of streams that
// end early.
#include "files/lzss.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<BYTE> Bytes(const std::string& s)
{
    return std::vector<BYTE>(s.begin(), s.end());
}

std::vector<BYTE> RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<BYTE> v(n);
    for (BYTE& b : v)
        b = static_cast<BYTE>(random());
    return v;
}

std::vector<BYTE> Twice(std::vector<BYTE> v)
{
    v.insert(v.end(), v.begin(), v.end());
    return v;
}

std::vector<BYTE> Text(size_t n)
{
    static const char* words[] = {"the ", "engine ", "reads ", "a ", "script ", "file ", "and ", "shows ", "text\r\n"};
    std::mt19937 random(7);
    std::string s;
    while (s.size() < n)
        s += words[random() % 9];
    s.resize(n);
    return Bytes(s);
}

} // namespace

TEST(Lzss, RoundTripsWhereItCompressesAndRefusesWhereItCannot)
{
    struct Case {
        const char* name;
        std::vector<BYTE> data;
        bool compresses;
    } cases[] = {
        {"8 bytes", Bytes("abcdefgh"), false},
        {"9 distinct bytes", Bytes("abcdefghi"), false},
        {"4096 zeros", std::vector<BYTE>(4096, 0), true},
        {"random 10000", RandomBytes(10000, 1), false},
        {"text 50000", Text(50000), true},
        {"ones 100000", std::vector<BYTE>(100000, 1), true},
        // A block repeated at the farthest distance the ring still holds, and one byte farther.
        {"random 4095 twice", Twice(RandomBytes(4095, 2)), true},
        {"random 4097 twice", Twice(RandomBytes(4097, 3)), false},
    };
    CLzssCodec codec;
    for (const Case& c : cases) {
        BYTE* packed = nullptr;
        DWORD packedSize = 0;
        int r = codec.Compress(c.data.data(), &packed, static_cast<DWORD>(c.data.size()), &packedSize, true);
        ASSERT_EQ(r, c.compresses ? 0 : 1) << c.name;
        DWORD measured = 0;
        BYTE* untouched = nullptr;
        EXPECT_EQ(codec.Compress(c.data.data(), &untouched, static_cast<DWORD>(c.data.size()), &measured, false), r);
        EXPECT_EQ(untouched, nullptr) << c.name;
        if (r != 0) {
            EXPECT_EQ(packed, nullptr) << c.name;
            continue;
        }
        EXPECT_EQ(measured, packedSize) << c.name;
        EXPECT_LT(packedSize, c.data.size() - 8) << c.name;
        BYTE* unpacked = nullptr;
        DWORD consumed = 0;
        ASSERT_EQ(codec.Decompress(packed, packedSize, &unpacked, static_cast<DWORD>(c.data.size()), true, &consumed), 0)
            << c.name;
        EXPECT_EQ(consumed, packedSize) << c.name;
        EXPECT_EQ(std::vector<BYTE>(unpacked, unpacked + c.data.size()), c.data) << c.name;
        LzssFree(unpacked);
        LzssFree(packed);
    }
}

TEST(Lzss, ZerosMatchTheZeroRingFromTheFirstItem)
{
    std::vector<BYTE> zeros(4096, 0);
    BYTE* packed = nullptr;
    DWORD size = 0;
    ASSERT_EQ(LzssCompress(zeros.data(), &packed, 4096, &size, true), 0);
    // 4096 = 227 matches of 18 and one of 10: 228 items in 29 groups (28 full, one of 4).
    EXPECT_EQ(size, 28u * 17 + 1 + 4 * 2);
    EXPECT_EQ(packed[0], 0); // all items are matches
    EXPECT_EQ(packed[2] & 0x0F, 15); // length 18
    LzssFree(packed);
}

TEST(Lzss, DecoderFollowsTheRing)
{
    // Flag 0x01: item 0 is the literal 'A', item 1 (bit clear) a match at ring
    // position 4078 (where 'A' went), length 18: the match overlaps what it writes.
    const BYTE stream[] = {0x01, 'A', 0xEE, 0xFF};
    BYTE out[19];
    BYTE* p = out;
    ASSERT_EQ(LzssDecompress(stream, sizeof stream, &p, sizeof out, false), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 19), std::string(19, 'A'));

    // A match into the untouched ring gives zeros; stopping inside a match is fine.
    const BYTE zeros[] = {0x00, 0x00, 0x0F};
    BYTE five[5] = {9, 9, 9, 9, 9};
    p = five;
    DWORD consumed = 0;
    ASSERT_EQ(LzssDecompress(zeros, sizeof zeros, &p, 5, false, &consumed), 0);
    EXPECT_EQ(std::vector<BYTE>(five, five + 5), std::vector<BYTE>(5, 0));
    EXPECT_EQ(consumed, 3u);
}

TEST(Lzss, StreamsThatEndEarlyFail)
{
    struct Case {
        const char* name;
        std::vector<BYTE> stream;
        DWORD outSize;
        int code;
    } cases[] = {
        {"empty stream", {}, 4, 3},
        {"flag byte only", {0xFF}, 1, 3},
        {"literals run out", {0xFF, 'a', 'b'}, 3, 3},
        {"half a match", {0x00, 0x12}, 3, 3},
        {"nothing asked", {0xFF, 'a'}, 0, 1},
    };
    for (const Case& c : cases) {
        BYTE* out = nullptr;
        EXPECT_EQ(LzssDecompress(c.stream.data(), static_cast<DWORD>(c.stream.size()), &out, c.outSize, true), c.code)
            << c.name;
        EXPECT_EQ(out, nullptr) << c.name;
    }
    BYTE* none = nullptr;
    const BYTE ok[] = {0xFF, 'a'};
    EXPECT_EQ(LzssDecompress(ok, 2, &none, 1, false), 2); // no output buffer
}

// An object that a thread's end destroys after the thread's codec (made later, so gone first) still
// compresses and decompresses: a static object saving at exit does so.
TEST(Lzss, WorksWhileTheThreadEnds)
{
    static bool roundTrip = false;
    std::thread([] {
        struct Late {
            ~Late()
            {
                const std::vector<BYTE> in = Text(5000);
                BYTE* packed = nullptr;
                DWORD size = 0;
                if (LzssCompress(in.data(), &packed, static_cast<DWORD>(in.size()), &size, true) != 0)
                    return;
                BYTE* out = nullptr;
                DWORD consumed = 0;
                const int r = LzssDecompress(packed, size, &out, static_cast<DWORD>(in.size()), true, &consumed);
                roundTrip = r == 0 && std::vector<BYTE>(out, out + in.size()) == in;
                LzssFree(packed);
                LzssFree(out);
            }
        };
        thread_local Late late;
        (void)&late;
        BYTE* packed = nullptr;
        DWORD size = 0;
        const std::vector<BYTE> first = Text(100);
        if (LzssCompress(first.data(), &packed, static_cast<DWORD>(first.size()), &size, true) == 0)
            LzssFree(packed);
    }).join();
    EXPECT_TRUE(roundTrip);
}

namespace {

// The decoder as the format describes it: a real 4096-byte ring, byte by byte. Returns the bytes
// made before the input ran out (at most outSize) and the input bytes read.
std::vector<BYTE> RingDecode(const std::vector<BYTE>& in, size_t outSize, size_t* consumed)
{
    std::vector<BYTE> ring(4096, 0), out;
    size_t r = 4078, i = 0;
    unsigned flags = 0;
    while (out.size() < outSize) {
        flags >>= 1;
        if ((flags & 0x100) == 0) {
            if (i == in.size())
                break;
            flags = in[i++] | 0xFF00u;
        }
        if (flags & 1) {
            if (i == in.size())
                break;
            out.push_back(ring[r] = in[i++]);
            r = (r + 1) & 4095;
            continue;
        }
        if (in.size() - i < 2)
            break;
        const size_t position = in[i] | ((in[i + 1] & 0xF0u) << 4), length = (in[i + 1] & 0x0Fu) + 3;
        i += 2;
        for (size_t k = 0; k < length && out.size() < outSize; ++k) {
            out.push_back(ring[r] = ring[(position + k) & 4095]);
            r = (r + 1) & 4095;
        }
    }
    *consumed = i;
    return out;
}

} // namespace

// Any stream, however its matches overlap, reach into the zero ring or end, decodes to the bytes
// of a plain ring walk; the streams mix literal-heavy and match-heavy flag bytes and near and far
// distances, and the output sizes stop inside and past the data.
TEST(Lzss, RandomStreamsDecodeLikeTheRingWalk)
{
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        // Groups item by item, so that distances can be chosen: a quarter of the matches reach
        // back 1-20 bytes (overlapping copies), the others anywhere in the ring.
        const unsigned bias = random() % 3; // flags: random, mostly matches, mostly literals
        std::vector<BYTE> stream;
        size_t o = 0;
        const size_t groups = 1 + random() % 800;
        for (size_t g = 0; g < groups; ++g) {
            BYTE flags = static_cast<BYTE>(random());
            flags = bias == 1 ? flags & 0x11 : (bias == 2 ? flags | 0xEE : flags);
            stream.push_back(flags);
            for (int bit = 0; bit < 8; ++bit) {
                if (flags >> bit & 1) {
                    stream.push_back(static_cast<BYTE>(random()));
                    ++o;
                    continue;
                }
                const size_t length = 3 + random() % 16;
                const size_t distance = random() % 4 == 0 ? 1 + random() % 20 : 1 + random() % 4096;
                const size_t position = ((4078 + o) - distance) & 4095;
                stream.push_back(static_cast<BYTE>(position));
                stream.push_back(static_cast<BYTE>(((position >> 4) & 0xF0) | (length - 3)));
                o += length;
            }
        }
        stream.resize(1 + random() % stream.size()); // often cut inside a group
        const size_t outSize = 1 + random() % 40000;
        size_t expectedConsumed = 0;
        const std::vector<BYTE> expected = RingDecode(stream, outSize, &expectedConsumed);
        std::vector<BYTE> out(outSize, 0xCD);
        BYTE* p = out.data();
        DWORD consumed = 0;
        const int r = LzssDecompress(stream.data(), static_cast<DWORD>(stream.size()), &p,
                                     static_cast<DWORD>(outSize), false, &consumed);
        ASSERT_EQ(r, expected.size() == outSize ? 0 : 3) << "round " << round;
        EXPECT_EQ(consumed, expectedConsumed) << "round " << round;
        if (r == 0) {
            ASSERT_EQ(out, expected) << "round " << round;
        }
    }
}

namespace {

// The encoder as it was first written (byte-by-byte search of the longest match in a binary tree),
// kept as the yardstick for how well the codec packs.
class ReferenceEncoder {
public:
    // → the stream, or nothing where the codec refuses (fewer than 9 bytes, or no gain).
    std::vector<BYTE> Encode(const std::vector<BYTE>& input)
    {
        std::vector<BYTE> out;
        if (input.size() < 9)
            return out;
        const size_t limit = input.size() - 8;
        for (int i = kN + 1; i <= kN + 256; ++i)
            right[i] = kN;
        for (int i = 0; i <= kN; ++i)
            parent[i] = kN;
        std::fill(std::begin(ring), std::end(ring), 0);
        size_t in = 0;
        int s = 0, r = kN - kF, len = 0;
        for (; len < kF && in < input.size(); ++len)
            ring[r + len] = input[in++];
        for (int i = 1; i <= kF; ++i)
            Insert(r - i);
        Insert(r);
        BYTE group[17] = {0};
        int groupLength = 1;
        unsigned mask = 1;
        do {
            matchLength = std::min(matchLength, len);
            if (matchLength <= 2) {
                matchLength = 1;
                group[0] |= static_cast<BYTE>(mask);
                group[groupLength++] = ring[r];
            } else {
                group[groupLength++] = static_cast<BYTE>(matchPosition);
                group[groupLength++] = static_cast<BYTE>(((matchPosition >> 4) & 0xF0) | (matchLength - 3));
            }
            mask = (mask << 1) & 0xFF;
            if (mask == 0) {
                out.insert(out.end(), group, group + groupLength);
                if (out.size() >= limit)
                    return {};
                group[0] = 0;
                groupLength = 1;
                mask = 1;
            }
            const int last = matchLength;
            int i = 0;
            for (; i < last && in < input.size(); ++i) {
                Delete(s);
                ring[s] = input[in++];
                if (s < kF - 1)
                    ring[s + kN] = ring[s];
                s = (s + 1) & (kN - 1);
                r = (r + 1) & (kN - 1);
                Insert(r);
            }
            while (i++ < last) {
                Delete(s);
                s = (s + 1) & (kN - 1);
                r = (r + 1) & (kN - 1);
                if (--len)
                    Insert(r);
            }
        } while (len > 0);
        if (groupLength > 1)
            out.insert(out.end(), group, group + groupLength);
        if (out.size() >= limit)
            return {};
        return out;
    }

private:
    static constexpr int kN = 4096, kF = 18;

    void Insert(int r)
    {
        int cmp = 1;
        int p = kN + 1 + ring[r];
        right[r] = left[r] = kN;
        matchLength = 0;
        for (;;) {
            short& next = cmp >= 0 ? right[p] : left[p];
            if (next == kN) {
                next = static_cast<short>(r);
                parent[r] = static_cast<short>(p);
                return;
            }
            p = next;
            int i = 1;
            for (; i < kF; ++i)
                if ((cmp = ring[r + i] - ring[p + i]) != 0)
                    break;
            if (i > matchLength) {
                matchPosition = p;
                matchLength = i;
                if (i >= kF)
                    break;
            }
        }
        parent[r] = parent[p];
        left[r] = left[p];
        right[r] = right[p];
        parent[left[p]] = static_cast<short>(r);
        parent[right[p]] = static_cast<short>(r);
        (right[parent[p]] == p ? right[parent[p]] : left[parent[p]]) = static_cast<short>(r);
        parent[p] = kN;
    }

    void Delete(int p)
    {
        if (parent[p] == kN)
            return;
        int q;
        if (right[p] == kN) {
            q = left[p];
        } else if (left[p] == kN) {
            q = right[p];
        } else {
            q = left[p];
            if (right[q] != kN) {
                do
                    q = right[q];
                while (right[q] != kN);
                right[parent[q]] = left[q];
                parent[left[q]] = parent[q];
                left[q] = left[p];
                parent[left[p]] = static_cast<short>(q);
            }
            right[q] = right[p];
            parent[right[p]] = static_cast<short>(q);
        }
        parent[q] = parent[p];
        (right[parent[p]] == p ? right[parent[p]] : left[parent[p]]) = static_cast<short>(q);
        parent[p] = kN;
    }

    BYTE ring[kN + kF - 1];
    short left[kN + 1], right[kN + 257], parent[kN + 1];
    int matchPosition = 0, matchLength = 0;
};

// Pixels as a screen capture holds them: gradients, flat areas, a little noise.
std::vector<BYTE> Picture(size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<BYTE> v(n);
    for (size_t i = 0; i < n; ++i) {
        const size_t pixel = i / 4, x = pixel % 800, y = pixel / 800;
        const bool flat = (x / 64 + y / 48) % 3 == 0;
        const BYTE value = i % 4 == 3 ? 0xFF
                                      : static_cast<BYTE>(flat ? 0x40 * (i % 4)
                                                               : (x * 255 / 800 + y * (i % 4) + (random() % 8 == 0)));
        v[i] = value;
    }
    return v;
}

// A smooth gradient of 32-bit pixels: its strings arrive nearly sorted, so the search tree grows
// long one-sided runs (the walk that bets on repeated turns).
std::vector<BYTE> Gradient(int width, int height)
{
    std::vector<BYTE> v;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (const int byte : {(x + y) & 255, y * 255 / height, x * 255 / width, 255})
                v.push_back(static_cast<BYTE>(byte));
    return v;
}

// Few distinct bytes, so that many strings share long prefixes and the tree is deep and busy.
std::vector<BYTE> SmallAlphabet(size_t n, unsigned seed, unsigned letters)
{
    std::mt19937 random(seed);
    std::vector<BYTE> v(n);
    for (BYTE& b : v)
        b = static_cast<BYTE>('a' + random() % letters);
    return v;
}

} // namespace

// On every kind of input the codec's streams decode back and pack about as well as the longest
// match at every step would (a bounded search may miss a few), and it refuses where that does.
TEST(Lzss, CompressPacksLikeTheLongestMatchSearch)
{
    std::vector<std::pair<std::string, std::vector<BYTE>>> inputs = {
        {"9 bytes", Bytes("abcabcabc")},
        {"text 200000", Text(200000)},
        {"zeros 70000", std::vector<BYTE>(70000, 0)},
        {"picture 300000", Picture(300000, 3)},
        {"gradient 400x300", Gradient(400, 300)},
        {"text, gradient, text", [] {
             std::vector<BYTE> v = Text(30000), g = Gradient(200, 100), t = Text(20000);
             v.insert(v.end(), g.begin(), g.end());
             v.insert(v.end(), t.begin(), t.end());
             return v;
         }()},
        {"two letters 60000", SmallAlphabet(60000, 4, 2)},
        {"three letters 60000", SmallAlphabet(60000, 5, 3)},
        {"six letters 100000", SmallAlphabet(100000, 6, 6)},
        {"random 5000", RandomBytes(5000, 7)},
    };
    // Mixtures and odd lengths: each ends at another place in a group and in the look-ahead.
    std::mt19937 random(8);
    for (int round = 0; round < 40; ++round) {
        std::vector<BYTE> mixed;
        const size_t pieces = 1 + random() % 6;
        for (size_t k = 0; k < pieces; ++k) {
            const size_t n = 1 + random() % 9000;
            const unsigned kind = random() % 4;
            const std::vector<BYTE> piece = kind == 0   ? Text(n)
                                            : kind == 1 ? Picture(n, random())
                                            : kind == 2 ? SmallAlphabet(n, random(), 1 + random() % 4)
                                                        : RandomBytes(n, random());
            mixed.insert(mixed.end(), piece.begin(), piece.end());
        }
        inputs.emplace_back("mixture " + std::to_string(round), std::move(mixed));
    }
    auto reference = std::make_unique<ReferenceEncoder>();
    CLzssCodec codec;
    size_t ours = 0;
    size_t longest = 0;
    for (const auto& [name, data] : inputs) {
        const std::vector<BYTE> expected = reference->Encode(data);
        BYTE* packed = nullptr;
        DWORD size = 0;
        const int r = codec.Compress(data.data(), &packed, static_cast<DWORD>(data.size()), &size, true);
        if (expected.empty()) {
            EXPECT_EQ(r, 1) << name;
            continue;
        }
        ASSERT_EQ(r, 0) << name;
        // Small alphabets make the longest chains, where the bounded search loses most.
        EXPECT_LE(size, expected.size() + expected.size() / 10) << name;
        ours += size;
        longest += expected.size();
        BYTE* unpacked = nullptr;
        ASSERT_EQ(codec.Decompress(packed, size, &unpacked, static_cast<DWORD>(data.size()), true), 0) << name;
        EXPECT_EQ(std::vector<BYTE>(unpacked, unpacked + data.size()), data) << name;
        LzssFree(unpacked);
        LzssFree(packed);
    }
    EXPECT_LE(ours, longest + longest / 100);
}
