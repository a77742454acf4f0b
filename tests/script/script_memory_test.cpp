// Script memory: checked accessors at every boundary, and the sub-allocator against a model.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "script/script_memory.h"

namespace {

constexpr uint32_t kBase = CScriptMemory::kBase;

TEST(ScriptMemory, AccessorsAtTheBoundaries)
{
    CScriptMemory memory(0x10000);
    const uint32_t end = memory.End();
    ASSERT_EQ(end, 0x20000u);
    const struct {
        const char* name;
        uint32_t address;
        uint32_t length;
        bool inside;
    } cases[] = {
        {"null", 0, 4, false},
        {"small integer", 0x100, 4, false},
        {"last byte below memory", 0xFFFF, 1, false},
        {"cell straddling the start", 0xFFFE, 4, false},
        {"first cell", kBase, 4, true},
        {"last cell", end - 4, 4, true},
        {"cell straddling the end", end - 3, 4, false},
        {"one cell past the end", end, 4, false},
        {"last byte", end - 1, 1, true},
        {"empty range at the end", end, 0, true},
        {"empty range past the end", end + 1, 0, false},
        {"handle range", 0x40000100u, 4, false},
        {"0xFFFFFFFC", 0xFFFFFFFCu, 4, false},
        {"0xFFFFFFFF", 0xFFFFFFFFu, 1, false},
        {"length that would wrap 32 bits", kBase + 16, 0xFFFFFFF0u, false},
        {"whole memory", kBase, 0x10000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(memory.Contains(c.address, c.length), c.inside);
        EXPECT_EQ(memory.Span(c.address, c.length) != nullptr, c.inside);
        if (c.length == 4) {
            uint32_t v = 77;
            EXPECT_EQ(memory.Store32(c.address, 0x11223344u), c.inside);
            EXPECT_EQ(memory.Load32(c.address, &v), c.inside);
            EXPECT_EQ(v, c.inside ? 0x11223344u : 77u);
        }
        if (c.length == 1) {
            uint8_t b = 77;
            EXPECT_EQ(memory.Store8(c.address, 0xAB), c.inside);
            EXPECT_EQ(memory.Load8(c.address, &b), c.inside);
            EXPECT_EQ(b, c.inside ? 0xAB : 77);
        }
    }
}

TEST(ScriptMemory, CellsAreLittleEndianAndUnaligned)
{
    CScriptMemory memory(4096);
    ASSERT_TRUE(memory.Store32(kBase + 1, 0x04030201u));
    uint8_t b = 0;
    ASSERT_TRUE(memory.Load8(kBase + 1, &b));
    EXPECT_EQ(b, 1);
    ASSERT_TRUE(memory.Load8(kBase + 4, &b));
    EXPECT_EQ(b, 4);
}

TEST(ScriptMemory, CopyAndStringsStayInside)
{
    CScriptMemory memory(4096);
    const uint32_t end = memory.End();
    for (uint32_t i = 0; i < 8; ++i)
        memory.Store8(kBase + i, static_cast<uint8_t>('a' + i));
    EXPECT_TRUE(memory.Copy(kBase + 2, kBase, 6)); // overlapping
    std::string_view text;
    ASSERT_TRUE(memory.Str(kBase, &text));
    EXPECT_EQ(text, "ababcdef");
    EXPECT_FALSE(memory.Copy(end - 4, kBase, 5));
    EXPECT_FALSE(memory.Copy(kBase, 0xFFFC, 4));
    EXPECT_TRUE(memory.Copy(end - 4, kBase, 4));

    uint32_t length = 99;
    memory.Store8(end - 1, 'z'); // the last byte: no NUL after it
    EXPECT_FALSE(memory.StrLen(end - 1, &length));
    EXPECT_EQ(length, 99u);
    EXPECT_FALSE(memory.StrLen(end, &length));
    memory.Store8(end - 1, 0);
    ASSERT_TRUE(memory.StrLen(end - 1, &length));
    EXPECT_EQ(length, 0u);
}

// Random allocations and frees against a model of the live blocks: inside memory, 16-byte
// aligned, no overlap, zeroed, and FindBlock answers for inner addresses.
TEST(ScriptMemory, AllocatorAgreesWithAModel)
{
    CScriptMemory memory(1u << 20);
    std::map<uint32_t, uint32_t> live; // start -> asked size
    std::mt19937 random(99);
    for (int step = 0; step < 4000; ++step) {
        if (live.empty() || random() % 3 != 0) {
            const uint32_t size = random() % 4 == 0 ? 1025 + random() % 40000 : random() % 1025;
            const uint32_t address = memory.Allocate(size);
            if (address == 0)
                continue; // full for that size
            ASSERT_EQ(address % 16, 0u);
            ASSERT_TRUE(memory.Contains(address, std::max(size, 1u)));
            auto next = live.lower_bound(address);
            if (next != live.end()) {
                ASSERT_LE(address + size, next->first);
            }
            if (next != live.begin()) {
                auto previous = std::prev(next);
                ASSERT_LE(previous->first + std::max(previous->second, 1u), address);
            }
            const uint8_t* bytes = memory.Span(address, size);
            for (uint32_t i = 0; i < size; ++i)
                ASSERT_EQ(bytes[i], 0) << "block not zeroed";
            std::memset(memory.Span(address, size), 0xCD, size); // dirty it for later reuse
            uint32_t start = 0, blockSize = 0;
            ASSERT_TRUE(memory.FindBlock(address + size / 2, &start, &blockSize));
            ASSERT_EQ(start, address);
            ASSERT_GE(blockSize, size);
            live.emplace(address, size);
        } else {
            auto it = live.begin();
            std::advance(it, random() % live.size());
            uint32_t start = 0, blockSize = 0;
            // The block found last is the one freed: it must not be found again.
            ASSERT_TRUE(memory.FindBlock(it->first, &start, &blockSize));
            ASSERT_TRUE(memory.Free(it->first));
            EXPECT_FALSE(memory.FindBlock(it->first, &start, &blockSize));
            EXPECT_FALSE(memory.FindBlock(it->first + it->second / 2, &start, &blockSize));
            EXPECT_FALSE(memory.Free(it->first)); // twice
            live.erase(it);
        }
    }
    EXPECT_FALSE(memory.Free(0));
    EXPECT_FALSE(memory.Free(kBase + 8)); // not a block's start
}

TEST(ScriptMemory, FullGivesZeroAndFreedLargeBlocksCoalesce)
{
    CScriptMemory memory(1u << 20);
    std::vector<uint32_t> blocks;
    while (uint32_t address = memory.Allocate(4096 + 16))
        blocks.push_back(address);
    EXPECT_GE(blocks.size(), (1u << 20) / (4096 + 16) - 1);
    EXPECT_EQ(memory.Allocate(memory.Size()), 0u);
    EXPECT_EQ(memory.Allocate(0xFFFFFFFFu), 0u);
    for (uint32_t address : blocks)
        ASSERT_TRUE(memory.Free(address));
    EXPECT_EQ(memory.AllocatedBytes(), 0u);
    // Every range came back together: the whole memory is one block again.
    const uint32_t whole = memory.Allocate(memory.Size());
    EXPECT_EQ(whole, kBase);
    const uint8_t* bytes = memory.Span(whole, memory.Size());
    EXPECT_EQ(bytes[4096], 0);
}

TEST(ScriptMemory, SizeIsClampedBelowTheHandleRange)
{
    CScriptMemory tiny(1);
    EXPECT_EQ(tiny.Size(), CScriptMemory::kMinSize);
    static_assert(CScriptMemory::kBase + CScriptMemory::kMaxSize <= CScriptMemory::kHandleBase);
    CScriptMemory standard;
    ASSERT_TRUE(standard.IsValid());
    EXPECT_EQ(standard.Size(), 256u << 20);
    EXPECT_EQ(standard.End(), 0x10010000u);
}

// The inline string steps against the C library: strings of every length around the 16-byte
// chunks and the inline limit, some ending at the last byte that may be read, and moves of every
// size in both directions of overlap.
TEST(ScriptMemory, ShortStringStepsAgreeWithTheLibrary)
{
    std::mt19937 rng(7);
    std::vector<uint8_t> bytes(512);
    const size_t lengths[] = {0, 1, 2, 3, 7, 8, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 127, 128, 129, 200, 300};
    for (size_t length : lengths) {
        for (bool atEnd : {false, true}) {
            for (auto& b : bytes)
                b = static_cast<uint8_t>(1 + rng() % 255);
            const size_t start = atEnd ? bytes.size() - length - 1 : rng() % 8;
            bytes[start + length] = 0;
            const size_t avail = bytes.size() - start;
            EXPECT_EQ(FindNulByte(bytes.data() + start, avail), length) << length;
            EXPECT_EQ(FindNulByte(bytes.data() + start, length), length) << "no NUL inside " << length;

            // A second string: equal, or differing at a random place (unsigned order).
            std::vector<uint8_t> other(bytes.begin() + start, bytes.begin() + start + length + 1);
            other.resize(avail, 'q');
            for (int differ : {-1, 0, 1}) {
                std::vector<uint8_t> b = other;
                if (differ != 0 && length > 0)
                    b[rng() % length] ^= static_cast<uint8_t>(differ > 0 ? 0x80 : 0x01);
                const int expected = std::strcmp(reinterpret_cast<const char*>(bytes.data() + start),
                                                 reinterpret_cast<const char*>(b.data()));
                int r = 99;
                if (CompareShortStrings(bytes.data() + start, b.data(), avail, &r))
                    EXPECT_EQ(r, expected < 0 ? -1 : expected > 0 ? 1 : 0) << length;
                else
                    EXPECT_TRUE(length >= 128 || avail - (length / 16) * 16 < 16) << "undecided at " << length;
            }
        }
    }
    for (size_t n = 0; n <= 200; ++n) {
        for (int shift : {-17, -1, 0, 1, 5, 16, 40}) {
            for (size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<uint8_t>(rng());
            std::vector<uint8_t> expected = bytes;
            const size_t from = 100, to = static_cast<size_t>(100 + shift);
            std::memmove(expected.data() + to, expected.data() + from, n);
            MoveBytes(bytes.data() + to, bytes.data() + from, n);
            EXPECT_EQ(bytes, expected) << n << " shifted by " << shift;
        }
    }
}

} // namespace
