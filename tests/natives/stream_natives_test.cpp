// Natives 124-142 through the host: a stream made, written with the formatter, read back from
// memory, by line and by count, released through its cell; names outside the roots refused and
// reads bounded by their block.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/native_script.h"

using namespace hosttest;

namespace {

struct StreamNatives : testing::Test {
    HostFixture f;
    CScriptHost* host = nullptr;
    void SetUp() override { host = &f.Start(); }
    uint32_t Out(int native, const std::string& args, const std::string& data = "")
    {
        return Script(*host, Call(native, args, data)).Word("out");
    }
    static std::string Name(const std::string& text) { return "n: .sjis \"" + text + "\""; }
};

} // namespace

TEST_F(StreamNatives, WriteFormatReadBackAndRelease)
{
    const uint32_t stream = Out(124, "0");
    ASSERT_NE(stream, 0u);
    const std::string s = std::to_string(stream);
    EXPECT_EQ(Out(130, s + ", n, 1", Name("save\\\\out.txt")), 3u); // no such folder
    EXPECT_EQ(Out(130, s + ", n, 1", Name("out.txt")), 0u);
    EXPECT_EQ(Out(142, s + ", fmt, v, 42, 0xBEEF", "fmt: .sjis \"%s=%d (%08X)\\r\\n\"\nv: .sjis \"score\""), 21u);
    EXPECT_EQ(Out(141, s + ", b, 3", "b: .sjis \"end\""), 3u);
    EXPECT_EQ(Out(132, s), 0u);
    EXPECT_EQ(f.dir.Read("out.txt"), "score=42 (0000BEEF)\r\nend");

    EXPECT_EQ(Out(127, s + ", n", Name("out.txt")), 0u);
    EXPECT_EQ(Out(134, s), 24u);
    {
        Script buffer(*host, Call(133, s));
        const uint32_t at = buffer.Word("out");
        ASSERT_NE(at, 0u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(host->Memory().Span(at, 24)), 24),
                  "score=42 (0000BEEF)\r\nend");
        Script path(*host, Call(135, s));
        EXPECT_NE(path.TextAt(path.Word("out")).find("out.txt"), std::string::npos);
    }
    Script line(*host, Call(140, s + ", buf, 32", "buf: .space 32"));
    EXPECT_EQ(line.Word("out"), 21u);
    EXPECT_EQ(line.Text("buf"), "score=42 (0000BEEF)");
    EXPECT_EQ(Out(136, s), 21u);
    EXPECT_EQ(Out(137, s + ", 6"), 0u);
    Script read(*host, Call(139, s + ", buf, 2", "buf: .word 0"));
    EXPECT_EQ(read.Word("out"), 2u);
    EXPECT_EQ(read.Word("buf"), 0x3234u); // "42"
    EXPECT_EQ(Out(138, s + ", -2"), 0u);
    EXPECT_EQ(Out(136, s), 6u);
    // A read past its block faults and reads nothing.
    const uint32_t block = host->Memory().Allocate(16);
    EXPECT_TRUE(Script(*host, Call(139, s + ", " + std::to_string(block + 8) + ", 9")).Faulted());
    EXPECT_EQ(Out(136, s), 6u);
    EXPECT_TRUE(Script(*host, Call(141, s + ", 0x7FFFFFF0, 4")).Faulted());
    host->Memory().Free(block);

    // Released through its cell: the cell becomes 0, the handle finds nothing after.
    Script release(*host, Call(125, "cell", "cell: .word " + s));
    EXPECT_EQ(release.Word("out"), 0u);
    EXPECT_EQ(release.Word("cell"), 0u);
    EXPECT_EQ(g_ScriptFileStreams.GetCount(), 0u);
    EXPECT_EQ(Out(125, "cell", "cell: .word 0"), 1u);
    EXPECT_EQ(Out(125, "cell", "cell: .word " + s), 2u);
    EXPECT_EQ(Out(134, s), 0u);
    EXPECT_EQ(Out(136, s), 0xFFFFFFFFu);
    EXPECT_EQ(Out(129, s + ", n", Name("out.txt")), 5u);
}

TEST_F(StreamNatives, NamesOutsideTheRootsAreRefused)
{
    const std::string s = std::to_string(Out(124, "0"));
    std::string outside = f.dir.Windows();
    outside.pop_back();
    outside += "-stream";
    std::string escaped;
    for (char c : outside)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    EXPECT_EQ(Out(130, s + ", n, 1", Name(escaped)), 5u);
    EXPECT_FALSE(std::filesystem::exists(f.dir.Linux() + "-stream"));
    EXPECT_EQ(Out(129, s + ", n", Name("Z:\\\\etc\\\\hostname")), 5u);
    EXPECT_EQ(Out(131, s + ", n", Name("..\\\\..\\\\x")), 5u);
    // The host's end releases what is left.
    Out(124, "0");
    EXPECT_EQ(g_ScriptFileStreams.GetCount(), 2u);
    f.host.reset();
    EXPECT_EQ(g_ScriptFileStreams.GetCount(), 0u);
}

TEST(OwnedList, UseCountsDelayTheDelete)
{
    struct Counted {
        explicit Counted(int* d) : deaths(d) {}
        virtual ~Counted() { ++*deaths; }
        int* deaths;
    };
    int deaths = 0;
    COwnedList<Counted> list;
    Counted* a = list.Add(std::unique_ptr<Counted>(new Counted(&deaths)));
    Counted* b = list.Add(std::unique_ptr<Counted>(new Counted(&deaths)));
    EXPECT_TRUE(list.AddUse(a));
    EXPECT_EQ(list.Release(nullptr), 1);
    Counted stranger(&deaths);
    EXPECT_EQ(list.Release(&stranger), 2);
    EXPECT_EQ(list.Release(a), 0); // a use dropped
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(list.Release(b), 0);
    EXPECT_EQ(deaths, 1);
    list.ReleaseAll();
    EXPECT_EQ(deaths, 2);
    EXPECT_EQ(list.GetCount(), 0u);
    deaths = -100; // the stranger's own end
}

TEST_F(StreamNatives, BackgroundLoaderFillsSlots)
{
    f.dir.Write("a.bin", "alpha");
    f.dir.Write("b.bin", "bravo!");
    EXPECT_EQ(Out(143, "3"), 0u);
    EXPECT_EQ(Out(144, "1, 2, list", "list: .word a, b\na: .sjis \"a.bin\"\nb: .sjis \"b.bin\""), 0u);
    // 1 when it waited, 0 when the batch was already done: either way it is done now.
    EXPECT_LE(Out(145, "0"), 1u);
    EXPECT_EQ(Out(148, "1"), 5u);
    EXPECT_EQ(Out(148, "2"), 6u);
    EXPECT_EQ(Out(148, "0"), 0u);
    {
        Script buffer(*host, Call(147, "0x10002")); // the slot is 16 bits
        const uint32_t at = buffer.Word("out");
        ASSERT_NE(at, 0u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(host->Memory().Span(at, 6)), 6), "bravo!");
    }
    EXPECT_EQ(Out(144, "0, 9, list", "list: .word 0"), 1u);                 // past the slots
    EXPECT_TRUE(Script(*host, Call(144, "0, 2, 0x7FFFFFF0")).Faulted());     // the list outside memory
    EXPECT_TRUE(Script(*host, Call(144, "0, 1, list", "list: .word 0x7FFFFFF0")).Faulted());
    EXPECT_EQ(Out(146, "1, 1"), 0u);
    EXPECT_EQ(Out(148, "1"), 0u);
    EXPECT_EQ(Out(146, "0, 0"), 0u);
    EXPECT_EQ(Out(148, "2"), 0u);
}
