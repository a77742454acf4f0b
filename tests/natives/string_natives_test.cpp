// Natives 59-93 through the host: strings (libc as reference on ASCII, Shift-JIS trail bytes never
// folded), the formatter against snprintf, writes bounded by their block, the heap, the cosine
// table, both generators, float arithmetic, argmax and argmin.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "support/native_script.h"
#include "platform/cos_table.h"
#include "platform/random.h"
#include "winapi/kernel_string.h"

using namespace hosttest;

namespace {

struct Fixture : testing::Test {
    HostFixture f;
    CCosTable cos;
    CScriptHost* host = nullptr;
    void SetUp() override
    {
        host = &f.Start();
        g_pCosTable = &cos;
    }
    void TearDown() override { g_pCosTable = nullptr; }
};

} // namespace

using StringNatives = Fixture;

TEST_F(StringNatives, CopyCatLengthCompareAgainstLibc)
{
    struct Case {
        const char* name;
        std::string source;
        uint32_t out;       // expected result (kAny: the dst label's address)
        const char* buffer; // expected text at "buf", null for none
    };
    constexpr uint32_t kDst = 0xDEADBEEF;
    const Case cases[] = {
        {"59 copies and answers dst", Call(59, "buf, s", "s: .sjis \"hello\"\nbuf: .space 8"), kDst, "hello"},
        {"59 null source answers 0", Call(59, "buf, 0", "buf: .sjis \"keep\""), 0, "keep"},
        {"60 from an offset, at most max", Call(60, "buf, 2, s, 3, 0", "s: .sjis \"abcdefg\"\nbuf: .space 8"), 0, "cde"},
        {"60 max 0 terminates only", Call(60, "buf, 2, s, 0", "s: .sjis \"abc\"\nbuf: .sjis \"xyz\""), 0, ""},
        {"61 stops at the stop byte", Call(61, "buf, 1, s, 0x2C", "s: .sjis \"key,value\"\nbuf: .space 8"), 0, "ey"},
        {"61 stops at the NUL", Call(61, "buf, 0, s, 0x3B", "s: .sjis \"abc\"\nbuf: .space 8"), 0, "abc"},
        {"62 appends", Call(62, "buf, s", "s: .sjis \"def\"\nbuf: .sjis \"abc\"\n.space 4"), kDst, "abcdef"},
        {"62 appends itself", Call(62, "buf, buf", "buf: .sjis \"abc\"\n.space 4"), kDst, "abcabc"},
        {"62 a tail inside the landing bytes", Call(62, "buf, t", "buf: .sjis \"ab\"\nt: .sjis \"cdef\"\n.space 4"), kDst, "abcdef"},
        {"63 length", Call(63, "s", "s: .sjis \"hello\""), 5, nullptr},
        {"63 null is 0", Call(63, "0"), 0, nullptr},
        {"64 less", Call(64, "a, b", "a: .sjis \"abc\"\nb: .sjis \"abd\""), static_cast<uint32_t>(lstrcmpA("abc", "abd")), nullptr},
        {"64 equal", Call(64, "a, a", "a: .sjis \"abc\""), 0, nullptr},
        {"64 a prefix is less", Call(64, "a, b", "a: .sjis \"ab\"\nb: .sjis \"abc\""), static_cast<uint32_t>(-1), nullptr},
        {"64 a longer is greater", Call(64, "a, b", "a: .sjis \"abc\"\nb: .sjis \"ab\""), 1, nullptr},
        {"64 bytes compare unsigned", Call(64, "a, b", "a: .sjis \"ア\"\nb: .sjis \"a\""), 1, nullptr},
        {"64 null against a string", Call(64, "0, a", "a: .sjis \"abc\""), static_cast<uint32_t>(lstrcmpA(nullptr, "abc")), nullptr},
        {"64 a string against null", Call(64, "a, 0", "a: .sjis \"abc\""), static_cast<uint32_t>(lstrcmpA("abc", nullptr)), nullptr},
        {"65 ignores case", Call(65, "a, b", "a: .sjis \"HeLLo\"\nb: .sjis \"hello\""), 0, nullptr},
        {"66 equal runs to 0", Call(66, "a, b, 1, 0, 3", "a: .sjis \"xabc\"\nb: .sjis \"abcd\""), 0, nullptr},
        {"66 a difference leaves the rest", Call(66, "a, b, 0, 0, 5", "a: .sjis \"abXd\"\nb: .sjis \"abcd\""), 3, nullptr},
        {"66 a NUL stops", Call(66, "a, b, 0, 0, 9", "a: .sjis \"ab\"\nb: .sjis \"ab\""), 7, nullptr},
        {"68 decimal", Call(68, "s", "s: .sjis \"  -1234xyz\""), static_cast<uint32_t>(-1234), nullptr},
        {"68 null", Call(68, "0"), 0, nullptr},
        {"69 float", Call(69, "s", "s: .sjis \"2.5\""), std::bit_cast<uint32_t>(2.5f), nullptr},
        {"70 upper", Call(70, "buf", "buf: .sjis \"abc1z\""), 0, "ABC1Z"},
        {"71 lower", Call(71, "buf", "buf: .sjis \"ABC1Z\""), 0, "abc1z"},
    };
    for (const Case& c : cases) {
        Script r(*host, c.source);
        ASSERT_FALSE(r.Faulted()) << c.name;
        EXPECT_EQ(r.Word("out"), c.out == kDst ? r.At("buf") : c.out) << c.name;
        if (c.buffer != nullptr) {
            EXPECT_EQ(r.Text("buf"), c.buffer) << c.name;
        }
    }
}

// Strings around the 16-byte steps and past the lengths done without the library; the formatted
// text of the longest passes the formatter's small buffer.
TEST_F(StringNatives, LongStringsAgreeWithLibc)
{
    for (size_t length : {15, 16, 17, 63, 64, 65, 127, 128, 129, 300}) {
        std::string text;
        for (size_t i = 0; i < length; ++i)
            text += static_cast<char>('a' + i * 7 % 26);
        std::string later = text; // differs in its last byte
        later.back() = static_cast<char>(later.back() + 1);
        const std::string data = "s: .sjis \"" + text + "\"\nt: .sjis \"" + later + "\"\nf: .sjis \"%s=%d\"\nbuf: .space 512";
        Script copy(*host, Call(59, "buf, s", data));
        ASSERT_FALSE(copy.Faulted()) << length;
        EXPECT_EQ(copy.Text("buf"), text) << length;
        Script measure(*host, Call(63, "s", data));
        EXPECT_EQ(measure.Word("out"), length);
        for (const char* args : {"s, t", "t, s", "s, s"}) {
            Script compare(*host, Call(64, args, data));
            const int expected = std::strcmp(args[0] == 's' ? text.c_str() : later.c_str(),
                                             args[3] == 's' ? text.c_str() : later.c_str());
            EXPECT_EQ(static_cast<int32_t>(compare.Word("out")), expected < 0 ? -1 : expected > 0 ? 1 : 0)
                << length << " " << args;
        }
        Script format(*host, Call(67, "buf, f, s, -42", data));
        ASSERT_FALSE(format.Faulted()) << length;
        EXPECT_EQ(format.Text("buf"), text + "=-42") << length;
    }
}

TEST_F(StringNatives, ShiftJisTrailBytesAreNeverFolded)
{
    // ア is 0x83 0x41: its trail byte is an 'A' that case mapping must leave alone.
    Script lower(*host, Call(71, "buf", "buf: .sjis \"アB\""));
    ASSERT_FALSE(lower.Faulted());
    uint8_t bytes[3] = {};
    std::memcpy(bytes, host->Memory().Span(lower.At("buf"), 3), 3);
    EXPECT_EQ(bytes[0], 0x83);
    EXPECT_EQ(bytes[1], 0x41);
    EXPECT_EQ(bytes[2], 0x62);
    Script cmp(*host, Call(65, "a, b", "a: .sjis \"アb\"\nb: .sjis \"ヂb\""));
    EXPECT_NE(cmp.Word("out"), 0u);
}

TEST_F(StringNatives, WritesEndAtTheirBlockOrFault)
{
    struct Case {
        const char* name;
        std::string source;
        bool faults;
    };
    // The destination is a block of 16 bytes of its own.
    const uint32_t block = host->Memory().Allocate(16);
    uint32_t start = 0, size = 0;
    ASSERT_TRUE(host->Memory().FindBlock(block, &start, &size));
    ASSERT_EQ(size, 16u);
    const std::string b = std::to_string(block), b8 = std::to_string(block + 8);
    const Case cases[] = {
        {"59 exactly to the block's end", Call(59, b8 + ", s", "s: .sjis \"abcdefg\""), false},
        {"59 one byte more", Call(59, b8 + ", s", "s: .sjis \"abcdefgh\""), true},
        {"62 past the end", Call(62, b8 + ", s", "s: .sjis \"abcdefgh\""), true},
        {"67 to the end", Call(67, b8 + ", f, 12345", "f: .sjis \"n=%d\""), false},
        {"67 past the end", Call(67, b8 + ", f, 123456", "f: .sjis \"n=%05d\""), true},
        {"67 a huge width", Call(67, b + ", f, 1", "f: .sjis \"%999999999d\""), true},
        {"67 a bad %s address", Call(67, b + ", f, 0x7FFFFFF0", "f: .sjis \"%s\""), true},
        {"78 words to the end", Call(78, b8 + ", 5, 2"), false},
        {"78 one word more", Call(78, b8 + ", 5, 3"), true},
        {"78 a count that wraps", Call(78, b + ", 5, 0x40000001"), true},
        {"79 bytes to the end", Call(79, b8 + ", 1, 8"), false},
        {"79 one byte more", Call(79, b8 + ", 1, 9"), true},
        {"80 past the end", Call(80, b8 + ", args, 9"), true},
        {"80 a read past memory", Call(80, b + ", 0x7FFFFFF0, 4"), true},
        {"60 past the end", Call(60, b8 + ", 0, s, 8", "s: .sjis \"abcdefghij\""), true},
        {"61 past the end", Call(61, b8 + ", 0, s, 0", "s: .sjis \"abcdefghij\""), true},
        {"63 a string outside memory", Call(63, "0x7FFFFFF0"), true},
        {"92 a count beyond memory", Call(92, "0x10000000, 1"), true},
    };
    for (const Case& c : cases) {
        Script r(*host, c.source);
        EXPECT_EQ(r.Faulted(), c.faults) << c.name;
        if (c.faults) {
            EXPECT_EQ(r.Word("out"), 0x7777u) << c.name << ": no result stored";
        }
    }
    // A string without NUL up to the end of memory.
    const uint32_t end = host->Memory().End() - 4;
    host->Memory().Store32(end, 0x41414141);
    EXPECT_TRUE(Script(*host, Call(63, std::to_string(end))).Faulted());
    // Compared against strings near the end of memory: the bytes past memory are never read.
    host->Memory().Store8(end + 3, 0); // "AAA" ends at memory's last byte
    Script shortAtEnd(*host, Call(64, "a, " + std::to_string(end), "a: .sjis \"AAAA\""));
    ASSERT_FALSE(shortAtEnd.Faulted());
    EXPECT_EQ(shortAtEnd.Word("out"), 1u);
    Script equalAtEnd(*host, Call(64, "a, " + std::to_string(end), "a: .sjis \"AAA\""));
    ASSERT_FALSE(equalAtEnd.Faulted());
    EXPECT_EQ(equalAtEnd.Word("out"), 0u);
    host->Memory().Store8(end + 3, 0x41); // no NUL up to the end again
    EXPECT_TRUE(Script(*host, Call(64, "a, " + std::to_string(end), "a: .sjis \"AAAAAAAA\"")).Faulted());
    EXPECT_TRUE(Script(*host, Call(64, std::to_string(end) + ", a", "a: .sjis \"AAAA\"")).Faulted());
    // While memory's last byte is not 0, strings elsewhere still measure and compare as always.
    const struct {
        const char *a, *b;
        uint32_t out;
    } compares[] = {{"abc", "abd", static_cast<uint32_t>(-1)}, {"abc", "abc", 0}, {"abc", "ab", 1}, {"ab", "abc", static_cast<uint32_t>(-1)}};
    for (const auto& c : compares) {
        Script r(*host, Call(64, "a, b", std::string("a: .sjis \"") + c.a + "\"\nb: .sjis \"" + c.b + "\""));
        ASSERT_FALSE(r.Faulted()) << c.a << " " << c.b;
        EXPECT_EQ(r.Word("out"), c.out) << c.a << " " << c.b;
    }
    Script length(*host, Call(63, "s", "s: .sjis \"hello\""));
    ASSERT_FALSE(length.Faulted());
    EXPECT_EQ(length.Word("out"), 5u);
    host->Memory().Store32(end, 0);
    host->Memory().Free(block);
}

TEST_F(StringNatives, FormatterMatchesSnprintfOnRandomFormats)
{
    std::mt19937 rng(12345);
    const char* types = "diuxXcs%";
    for (int round = 0; round < 300; ++round) {
        std::string format = "<";
        std::string flags;
        if (rng() % 3 == 0)
            flags += '-';
        if (rng() % 3 == 0)
            flags += '0';
        if (rng() % 4 == 0)
            flags += '#';
        const char type = types[rng() % 8];
        if (type == '%') {
            format += "%%>";
        } else {
            format += "%" + flags;
            if (rng() % 2)
                format += std::to_string(rng() % 12);
            if (rng() % 2 && type != 'c')
                format += "." + std::to_string(rng() % 6);
            if (rng() % 3 == 0 && type != 'c' && type != 's')
                format += 'l';
            format += type;
            format += '>';
        }
        const int32_t value = static_cast<int32_t>(rng());
        const uint32_t v = static_cast<uint32_t>(value) >> (rng() % 32);
        std::string reference; // snprintf's 'l' means long: the reference goes without it
        for (char ch : format)
            if (ch != 'l')
                reference += ch;
        char expected[256];
        if (type == 's')
            std::snprintf(expected, sizeof expected, reference.c_str(), "text");
        else if (type == 'c')
            std::snprintf(expected, sizeof expected, reference.c_str(), 'A' + static_cast<int>(v % 26));
        else if (type == 'd' || type == 'i')
            std::snprintf(expected, sizeof expected, reference.c_str(), static_cast<int>(v) - 5000);
        else
            std::snprintf(expected, sizeof expected, reference.c_str(), v);
        const uint32_t arg = type == 'c' ? 'A' + v % 26 : (type == 'd' || type == 'i') ? v - 5000 : v;
        std::string escaped;
        for (char ch : format)
            escaped += ch;
        Script r(*host, Call(67, "buf, f, " + (type == 's' ? std::string("s") : std::to_string(arg)),
                          "f: .sjis \"" + escaped + "\"\ns: .sjis \"text\"\nbuf: .space 64"));
        ASSERT_FALSE(r.Faulted()) << format;
        EXPECT_EQ(r.Text("buf"), expected) << format;
    }
}

// The formatter keeps the last format taken apart: formats in turn that differ in one byte, one
// used again with other words, and formats too long or with too many pieces to be kept.
TEST_F(StringNatives, FormatsInTurnEachFormatTheirOwnWay)
{
    struct Case {
        std::string format;
        std::string words;
        std::string expected;
    };
    std::string many, manyWords, manyExpected;
    for (int i = 0; i < 14; ++i) {
        many += "%d,";
        manyWords += ", " + std::to_string(i * 7);
        manyExpected += std::to_string(i * 7) + ",";
    }
    const std::string longText(70, 'L');
    const Case cases[] = {
        {"n=%d!", ", 255", "n=255!"},
        {"n=%x!", ", 255", "n=ff!"},
        {"n=%x!", ", 4096", "n=1000!"},
        {"n=%d!", ", -3", "n=-3!"},
        {many, manyWords, manyExpected},
        {longText + "%s<%5d", ", s, 42", longText + "text<   42"},
        {"%08X|%-4s|%c%", ", 48879, s, 65", "0000BEEF|text|A"},
        {"%08X|%-4s|%c%%", ", 48879, s, 65", "0000BEEF|text|A%"},
    };
    for (const Case& c : cases) {
        Script r(*host, Call(67, "buf, f" + c.words, "f: .sjis \"" + c.format + "\"\ns: .sjis \"text\"\nbuf: .space 160"));
        ASSERT_FALSE(r.Faulted()) << c.format;
        EXPECT_EQ(r.Text("buf"), c.expected) << c.format;
    }
}

TEST_F(StringNatives, HeapBlocksAreRecordedAndOnlyThoseFreed)
{
    const uint32_t block = Script(*host, Call(76, "16")).Word("out");
    ASSERT_NE(block, 0u);
    EXPECT_TRUE(g_ScriptHeapBlocks.count(block));
    EXPECT_EQ(host->Memory().Span(block, 16)[15], 0);
    EXPECT_EQ(Script(*host, Call(75, "0")).Word("out"), 0u);
    EXPECT_EQ(Script(*host, Call(75, "-4")).Word("out"), 0u);
    EXPECT_EQ(Script(*host, Call(75, "0x7FFFFFFF")).Word("out"), 0u); // more than memory
    EXPECT_EQ(Script(*host, Call(77, std::to_string(block + 4))).Word("out"), 0u);
    EXPECT_EQ(Script(*host, Call(77, std::to_string(block))).Word("out"), 1u);
    EXPECT_EQ(Script(*host, Call(77, std::to_string(block))).Word("out"), 0u);
    EXPECT_TRUE(g_ScriptHeapBlocks.empty());
    // Left over blocks go with the host.
    (void)Script(*host, Call(75, "8")).Word("out");
    EXPECT_EQ(g_ScriptHeapBlocks.size(), 1u);
    f.host.reset();
    EXPECT_TRUE(g_ScriptHeapBlocks.empty());
}

TEST_F(StringNatives, FillsAndCopies)
{
    Script w(*host, Call(78, "buf, 0x01020304, 2", "buf: .word 9, 9, 9"));
    EXPECT_EQ(w.Word("out"), 1u);
    EXPECT_EQ(w.Word("buf", 1), 0x01020304u);
    EXPECT_EQ(w.Word("buf", 2), 9u);
    EXPECT_EQ(Script(*host, Call(78, "0, 1, 1")).Word("out"), 0u);
    Script b(*host, Call(79, "buf, 0x1AB, 3", "buf: .word 0"));
    EXPECT_EQ(b.Word("buf"), 0x00ABABABu);
    // Forwards, byte by byte: an overlap one byte ahead repeats the first byte.
    Script c(*host, Call(80, "buf+1, buf, 3", "buf: .word 0x03020107"));
    EXPECT_EQ(c.Word("out"), 1u);
    EXPECT_EQ(c.Word("buf"), 0x07070707u);
    EXPECT_EQ(Script(*host, Call(80, "0, args, 1")).Word("out"), 0u);
}

TEST_F(StringNatives, CosineTableAndCirclePoint)
{
    struct Case {
        int native;
        int32_t angle;
        int32_t expected;
    };
    const Case cases[] = {
        {82, 0, 65536}, {82, 512, 65536}, {82, 256, -65536}, {82, -129, cos.Cos(-129)},
        {81, 128, 65536}, {81, -128, -65536}, {81, -129, cos.Sin(-129)}, {81, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(static_cast<int32_t>(Script(*host, Call(c.native, std::to_string(c.angle))).Word("out")), c.expected)
            << c.native << " " << c.angle;
    Script p(*host, Call(83, "128, 100, 10, 20, x, y", "x: .word 0\ny: .word 0"));
    EXPECT_EQ(static_cast<int32_t>(p.Word("x")), 10);
    EXPECT_EQ(static_cast<int32_t>(p.Word("y")), -80);
    // A radius whose product passes 32 bits.
    Script big(*host, Call(83, "0, 0x10000000, 0, 0, x, y", "x: .word 0\ny: .word 0"));
    EXPECT_EQ(big.Word("x"), 0x10000000u);
    EXPECT_TRUE(Script(*host, Call(83, "0, 1, 0, 0, 0x7FFFFFF0, 0x7FFFFFF0")).Faulted());
    g_pCosTable = nullptr;
    EXPECT_EQ(Script(*host, Call(82, "0")).Word("out"), 0u);
}

TEST_F(StringNatives, GeneratorsFollowTheirReferences)
{
    SubtractiveRandomState ref = {};
    SeedSubtractiveRandom(ref, 77);
    (void)Script(*host, Call(85, "77")).Word("out");
    for (int i = 0; i < 120; ++i) // across the refills
        EXPECT_EQ(Script(*host, Call(84, "1000")).Word("out"), DrawSubtractiveRandom(ref) % 1000) << i;
    EXPECT_EQ(Script(*host, Call(84, "0")).Word("out"), 0u);

    CMersenneTwister mt;
    mt.Seed(5489);
    EXPECT_EQ(Script(*host, Call(87, "5489")).Word("out"), 1u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Script(*host, Call(86, "0xFFFFFFFF")).Word("out"), mt.Next() % 0xFFFFFFFFu);
    EXPECT_EQ(Script(*host, Call(86, "0")).Word("out"), 0u);
    // A draw first makes and seeds the generator.
    f.host.reset();
    EXPECT_EQ(g_pMersenneTwister, nullptr);
    host = &f.Start();
    EXPECT_LT(Script(*host, Call(86, "6")).Word("out"), 6u);
    EXPECT_NE(g_pMersenneTwister, nullptr);
}

TEST_F(StringNatives, FloatArithmeticAndExtremes)
{
    auto bits = [](float x) { return std::to_string(std::bit_cast<uint32_t>(x)); };
    auto value = [&](int native, float a, float b) {
        return std::bit_cast<float>(Script(*host, Call(native, bits(a) + ", " + bits(b))).Word("out"));
    };
    EXPECT_EQ(value(88, 1.5f, 2.25f), 3.75f);
    EXPECT_EQ(value(89, 1.5f, 2.25f), -0.75f);
    EXPECT_EQ(value(90, 1.5f, -2.0f), -3.0f);
    EXPECT_EQ(value(91, 1.0f, 3.0f), static_cast<float>(1.0 / 3.0));
    EXPECT_TRUE(std::isinf(value(91, 1.0f, 0.0f)));
    EXPECT_TRUE(std::isnan(value(91, 0.0f, 0.0f)));
    EXPECT_TRUE(std::isnan(value(88, NAN, 1.0f)));

    EXPECT_EQ(Script(*host, Call(92, "3, 5, 9, 9")).Word("out"), 1u); // the first of equal greatest
    EXPECT_EQ(Script(*host, Call(92, "4, 3, 5, 9, 9")).Word("out"), 2u);
    EXPECT_EQ(Script(*host, Call(93, "4, 3, -5, 9, -5")).Word("out"), 1u);
    EXPECT_EQ(Script(*host, Call(92, "1, 9")).Word("out"), 0u);
    EXPECT_EQ(Script(*host, Call(92, "-3")).Word("out"), 0u);
}
