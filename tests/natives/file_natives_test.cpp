// Natives 94-123 through the host on a real game folder: the base and search folders, mounts of
// a test archive kind, look-ups and the path helpers; folders outside the roots are refused and
// paths written back stay inside their block.
#include <gtest/gtest.h>

#include <cctype>
#include <ctime>
#include <filesystem>
#include <set>

#include "support/native_script.h"
#include "authoring/kpk_writer.h"
#include "files/kpk_archive.h"
#include "files/file_list.h"
#include "files/path_utils.h"
#include "natives/file_natives.h"

using namespace hosttest;

namespace {

struct FileNatives : testing::Test {
    HostFixture f;
    CScriptHost* host = nullptr;
    void SetUp() override
    {
        host = &f.Start();
        f.manager.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
    }
    uint32_t Out(int native, const std::string& args, const std::string& data = "")
    {
        return Script(*host, Call(native, args, data)).Word("out");
    }
    std::string Str(const std::string& text) { return "s: .sjis \"" + text + "\""; }
};

} // namespace

TEST_F(FileNatives, SearchFoldersInTheRootsOnly)
{
    std::filesystem::create_directories(f.dir.Linux("extra"));
    f.dir.Write("extra/only.txt", "12345");
    EXPECT_EQ(Out(96, "s, 0", Str("extra")), 0u);
    EXPECT_EQ(Out(98, "-2"), 1u); // below -1: the count
    {
        Script last(*host, Call(98, "-1"));
        std::string expected = f.dir.Windows() + "extra\\"; // search folders are lower-cased
        for (char& ch : expected)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(last.TextAt(last.Word("out")), expected);
    }
    EXPECT_EQ(Out(98, "5"), 0u);
    // A folder outside every root is a bad path and joins nothing.
    EXPECT_EQ(Out(96, "s, 1", Str("Z:\\\\etc")), 1u);
    EXPECT_EQ(Out(96, "s, 1", Str("..\\\\..")), 1u);
    EXPECT_EQ(Out(98, "-2"), 1u);
    // 102 finds the file through the search folder.
    Script size(*host, Call(102, "s, n", Str("only.txt") + "\nn: .word 0"));
    EXPECT_EQ(size.Word("out"), 1u);
    EXPECT_EQ(size.Word("n"), 5u);
    EXPECT_EQ(Out(102, "s, 0", Str("missing.txt")), 0u);
    EXPECT_EQ(Out(97, "0, -1"), 0u);
    EXPECT_EQ(Out(98, "-2"), 0u);
    EXPECT_EQ(Out(96, "s, 0", Str("extra")), 0u);
    EXPECT_EQ(Out(99, "0"), 0u);
    EXPECT_EQ(Out(98, "-2"), 0u);
    // 101: there are no CD drives.
    EXPECT_EQ(Out(101, "s, 0", Str("x")), 1u);
}

TEST_F(FileNatives, BaseFolderStaysInTheRoots)
{
    std::filesystem::create_directories(f.dir.Linux("sub"));
    const std::string before = g_BaseFolder;
    Out(94, "s", Str("Z:\\\\etc"));
    EXPECT_EQ(std::string(g_BaseFolder), before);
    Out(94, "s", Str("sub"));
    EXPECT_EQ(std::string(g_BaseFolder), f.dir.Windows() + "sub\\");
    Script base(*host, Call(95, "0"));
    EXPECT_EQ(base.TextAt(base.Word("out")), f.dir.Windows() + "sub\\");
    EXPECT_EQ(Out(123, "s", Str("Z:\\\\")), 0u);
    EXPECT_EQ(SetBaseFolder(f.dir.Windows().c_str()), 0);
}

TEST_F(FileNatives, MountsAndTheirEntries)
{
    std::string error;
    ASSERT_TRUE(WriteKpkArchive(f.dir.Linux("data.kpk"), {{"bg\\a.elg", {'a'}}, {"bg\\b.elg", {'b', 'b'}}}, {}, &error))
        << error;
    g_KpkBuildRecords = 1; // names by index need the records (a script asks for them through 106)
    EXPECT_EQ(Out(107, "s, 4, 0, 1", Str("data.kpk")), 0u);
    g_KpkBuildRecords = 0;
    EXPECT_EQ(Out(107, "s, 4, 0, 1", Str("Z:\\\\etc\\\\passwd")), 5u);
    EXPECT_EQ(Out(109, "0"), 1u);
    EXPECT_EQ(Out(111, "4"), 2u);
    EXPECT_EQ(Out(111, "9"), 0u);
    {
        Script name(*host, Call(112, "4, 1"));
        EXPECT_EQ(name.TextAt(name.Word("out")), "bg\\b.elg");
    }
    EXPECT_EQ(Out(112, "4, 2"), 0u);
    {
        Script info(*host, Call(113, "4, 1, a, b, t, 0, 0", "a: .word 9\nb: .word 9\nt: .word 9"));
        EXPECT_EQ(info.Word("out"), 0u);
        EXPECT_EQ(info.Word("b"), 2u); // "bb" unpacked
        EXPECT_EQ(info.Word("t"), 0u); // KPK entries carry no time
    }
    EXPECT_EQ(Out(113, "4, 2, 0, 0, 0, 0, 0"), 2u);
    EXPECT_EQ(Out(113, "8, 0, 0, 0, 0, 0, 0"), 1u);
    EXPECT_TRUE(Script(*host, Call(113, "4, 0, 0x7FFFFFF0, 0, 0, 0, 0")).Faulted());
    EXPECT_EQ(Out(112, "4, -1"), 0u);
    // 115: only in the archive answers -1 and the path found.
    Script found(*host, Call(115, "s, buf", Str("bg\\\\a.elg") + "\nbuf: .space 260"));
    EXPECT_EQ(static_cast<int32_t>(found.Word("out")), -1);
    EXPECT_NE(found.Text("buf").find("a.elg"), std::string::npos) << found.Text("buf");
    EXPECT_EQ(Out(115, "s, 0", Str("nothing.txt")), 2u);
    EXPECT_EQ(Out(108, "4, 0"), 0u);
    EXPECT_EQ(Out(109, "0"), 0u);
    Out(107, "s, 4, 0, 1", Str("data.kpk"));
    Out(110, "0");
    EXPECT_EQ(Out(109, "0"), 0u);
}

TEST_F(FileNatives, PathHelpersWriteInsideTheirBlocks)
{
    struct Case {
        const char* name;
        int native;
        const char* path;
        uint32_t out;
        const char* pathAfter; // null: path not written
        const char* part;      // null: no dst
    };
    const Case cases[] = {
        {"118 cuts the last part", 118, "a\\\\b\\\\c.txt", 0, "a\\b\\", nullptr},
        {"118 without separator", 118, "abc", 1, "abc", nullptr},
        {"119 the file name", 119, "a\\\\b\\\\c.txt", 0, "a\\b\\c.txt", "c.txt"},
        {"119 the last folder", 119, "a\\\\b\\\\", 0, "a\\b\\", "b"},
        {"120 splits", 120, "a\\\\b\\\\c.txt", 0, "a\\b\\", "c.txt"},
        {"121 the extension", 121, "c.txt", 0, "c.txt", "txt"},
        {"122 strips", 122, "a\\\\c.tar.gz", 0, "a\\c.tar", "gz"},
    };
    for (const Case& c : cases) {
        Script r(*host, Call(c.native, c.part ? "p, d" : "p", "p: .sjis \"" + std::string(c.path) + "\"\nd: .space 32"));
        ASSERT_FALSE(r.Faulted()) << c.name;
        EXPECT_EQ(r.Word("out"), c.out) << c.name;
        EXPECT_EQ(r.Text("p"), c.pathAfter) << c.name;
        if (c.part != nullptr) {
            EXPECT_EQ(r.Text("d"), c.part) << c.name;
        }
    }
    // A destination block too small for the part: nothing written, the call faults.
    const uint32_t block = host->Memory().Allocate(16);
    Script small(*host, Call(120, "p, " + std::to_string(block + 8), "p: .sjis \"a\\\\abcdefgh.txt\""));
    EXPECT_TRUE(small.Faulted());
    EXPECT_EQ(small.Text("p"), "a\\abcdefgh.txt");
    host->Memory().Free(block);
}

TEST_F(FileNatives, FolderListingInTheRoots)
{
    f.dir.Write("list/a.txt", "a");
    f.dir.Write("list/b.txt", "bb");
    f.dir.Write("list/c.dat", "c");
    EXPECT_EQ(Out(149, "s, p, 0, 0", Str("list") + "\np: .sjis \"*.txt\""), 2u);
    std::set<std::string> names;
    for (int i = 0; i < 2; ++i) {
        Script name(*host, Call(150, std::to_string(i)));
        names.insert(name.TextAt(name.Word("out")));
    }
    EXPECT_EQ(names, (std::set<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(Out(150, "2"), 0u);
    EXPECT_EQ(Out(152, "0") & FILE_LIST_FOLDER, 0u);
    EXPECT_EQ(Out(152, "9"), 0u);
    Script time(*host, Call(153, "0, y, 0, d, 0, 0, 0, w", "y: .word 0\nd: .word 0\nw: .word 9"));
    EXPECT_EQ(time.Word("out"), 1u);
    EXPECT_GE(time.Word("y"), 2000u);
    EXPECT_GE(time.Word("d"), 1u);
    EXPECT_LE(time.Word("w"), 6u);
    EXPECT_EQ(Out(153, "5, 0, 0, 0, 0, 0, 0, 0"), 0u);
    EXPECT_TRUE(Script(*host, Call(153, "0, 0x7FFFFFF0, 0, 0, 0, 0, 0, 0")).Faulted());
    // Outside the roots nothing is listed.
    EXPECT_EQ(Out(149, "s, 0, 1, 1", Str("Z:\\\\etc")), 0u);
    EXPECT_EQ(Out(150, "0"), 0u);
    EXPECT_GE(Out(149, "0, 0, 1, 1"), 4u); // the base folder: list\ and its files at least
    Out(154, "0");
    EXPECT_EQ(Out(150, "0"), 0u);
    // Nothing was dropped.
    EXPECT_EQ(Out(156, "-1"), 0u);
    EXPECT_EQ(Out(156, "0"), 0u);
    EXPECT_EQ(Out(157, "0"), 0u);
}

TEST_F(FileNatives, FileSystemOperationsStayInTheRoots)
{
    const std::string outside = f.dir.Linux() + "-outside";
    std::string outsideWindows = f.dir.Windows();
    outsideWindows.pop_back(); // the folder's sibling, outside every root
    outsideWindows += "-outside";
    std::string escaped;
    for (char c : outsideWindows)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    EXPECT_EQ(Out(162, "s", Str(escaped)), 1u);
    EXPECT_FALSE(std::filesystem::exists(outside));
    EXPECT_EQ(Out(162, "s", Str("made")), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(f.dir.Linux("made")));
    EXPECT_EQ(Out(162, "s", Str("made")), 2u); // exists already

    f.dir.Write("one.txt", "data");
    EXPECT_EQ(Out(164, "d, s", "d: .sjis \"made\\\\two.txt\"\n" + Str("one.txt")), 0u);
    EXPECT_EQ(f.dir.Read("made/two.txt"), "data");
    EXPECT_EQ(Out(164, "d, s, 1", "d: .sjis \"" + escaped + "\"\n" + Str("one.txt")), 2u);
    EXPECT_FALSE(std::filesystem::exists(outside));
    EXPECT_EQ(Out(163, "s, d", Str("one.txt") + "\nd: .sjis \"" + escaped + "\""), 2u);
    EXPECT_EQ(Out(163, "d, s", Str("one.txt") + "\nd: .sjis \"" + escaped + "\""), 1u);
    EXPECT_EQ(Out(163, "s, d", Str("one.txt") + "\nd: .sjis \"three.txt\""), 0u);
    EXPECT_TRUE(f.dir.Exists("three.txt"));
    EXPECT_FALSE(f.dir.Exists("one.txt"));
    EXPECT_EQ(Out(163, "s, d", Str("one.txt") + "\nd: .sjis \"four.txt\""), 3u);

    Script when(*host, Call(165, "s, y, 0, 0, 0, 0, 0, 0", Str("three.txt") + "\ny: .word 0"));
    EXPECT_EQ(when.Word("out"), 0u);
    EXPECT_GE(when.Word("y"), 2000u);
    EXPECT_NE(Out(165, "s, 0, 0, 0, 0, 0, 0, 0", Str("none.txt")), 0u);

    // Scripts run no programs.
    testing::internal::CaptureStderr();
    EXPECT_EQ(Out(161, "s, 1", Str("touch ran")), 1u);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(f.dir.Exists("ran"));
    std::filesystem::remove_all(outside);
}

TEST(DosTime, PacksLocalTimeWithinItsYears)
{
    std::tm when = {};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 10;
    when.tm_hour = 7;
    when.tm_min = 21;
    when.tm_sec = 59;
    when.tm_isdst = -1;
    const uint32_t packed = PackDosTime(static_cast<int64_t>(std::mktime(&when)));
    EXPECT_EQ(packed, (46u << 25) | (12u << 21) | (10u << 16) | (7u << 11) | (21u << 5) | 29u);
    EXPECT_EQ(PackDosTime(0), 0u);
    EXPECT_EQ(PackDosTime(86400 * 365), 0u);          // 1971: before the layout's first year
    EXPECT_EQ(PackDosTime(int64_t{1} << 33), 0u);     // 2242: past its last
}
