// The file-related tessaro-tool commands end to end: lzss, kpk pack/list/extract and file cat.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "command_output.h"
#include "files/temp_folder.h"

namespace {

int Tool(const std::string& arguments)
{
    std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool " + arguments + " 2>/dev/null";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(ToolCommands, LzssPackAndUnpack)
{
    TempFolder dir;
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "a line of script text\r\n";
    dir.Write("in.txt", text);
    dir.Write("short", "12345678");
    EXPECT_EQ(Tool("lzss pack " + dir.Linux("in.txt") + " " + dir.Linux("p")), 0);
    EXPECT_EQ(Tool("lzss unpack " + dir.Linux("p") + " " + dir.Linux("out") + " " + std::to_string(text.size())), 0);
    EXPECT_EQ(dir.Read("out"), text);
    EXPECT_EQ(Tool("lzss pack " + dir.Linux("short") + " " + dir.Linux("q")), 3);
    EXPECT_EQ(Tool("lzss unpack " + dir.Linux("p") + " " + dir.Linux("out") + " 999999"), 1); // ends early
    EXPECT_EQ(Tool("lzss"), 2);
}

TEST(ToolCommands, KpkAndFileCat)
{
    TempFolder dir;
    dir.Write("base/src/Script/Main.SOB", "base main");
    dir.Write("base/src/bg/sky.elg", std::string(3000, 's'));
    dir.Write("patch/script/main.sob", "patched main");
    std::string base = dir.Linux("base");
    ASSERT_EQ(Tool("kpk pack " + base + "/SCRIPT.KPK " + base + "/src --compress --scramble --words --units"), 0);
    ASSERT_EQ(Tool("kpk pack " + base + "/PATCH.KPK " + dir.Linux("patch") + " --no-names"), 0);
    ASSERT_EQ(Tool("kpk pack " + base + "/PATCH2.KPK " + dir.Linux("patch")), 0);

    ASSERT_EQ(Tool("kpk list " + base + "/SCRIPT.KPK > " + dir.Linux("list.txt")), 0);
    std::string list = dir.Read("list.txt");
    EXPECT_NE(list.find("0\tbg\\sky.elg\t"), std::string::npos) << list;
    EXPECT_NE(list.find("1\tscript\\main.sob\t9\t9\t"), std::string::npos) << list;

    EXPECT_EQ(Tool("kpk extract " + base + "/SCRIPT.KPK bg/SKY.ELG " + dir.Linux("sky")), 0);
    EXPECT_EQ(dir.Read("sky"), std::string(3000, 's'));
    EXPECT_EQ(Tool("kpk extract " + base + "/PATCH.KPK 000000.DAT " + dir.Linux("p0")), 0);
    EXPECT_EQ(dir.Read("p0"), "patched main");
    EXPECT_EQ(Tool("kpk extract " + base + "/SCRIPT.KPK none " + dir.Linux("x")), 1);

    // Archives are asked in the order given; a loose file wins over both.
    EXPECT_EQ(Tool("file cat " + base + " script\\\\main.sob " + dir.Linux("cat1") + " --mount " + base +
                   "/PATCH2.KPK --mount " + base + "/SCRIPT.KPK"), 0);
    EXPECT_EQ(dir.Read("cat1"), "patched main");
    EXPECT_EQ(Tool("file cat " + base + " SCRIPT/MAIN.SOB " + dir.Linux("cat2") + " --mount " + base +
                   "/SCRIPT.KPK --mount " + base + "/PATCH2.KPK"), 0);
    EXPECT_EQ(dir.Read("cat2"), "base main");
    dir.Write("base/script/main.sob", "loose main");
    EXPECT_EQ(Tool("file cat " + base + " script/main.sob " + dir.Linux("cat3") + " --mount " + base + "/PATCH2.KPK"), 0);
    EXPECT_EQ(dir.Read("cat3"), "loose main");
    EXPECT_EQ(Tool("file cat " + base + " none " + dir.Linux("cat4")), 1);
}

TEST(ToolCommands, JapaneseNamesTravelAsUtf8AtTheEdgeAndShiftJisInside)
{
    TempFolder dir;
    dir.Write("src/bg/背景.txt", "夕焼けの空");
    dir.Write("loose/bg/背景.txt", "ばら");
    const std::string archive = dir.Linux("loose/SCRIPT.KPK");
    ASSERT_EQ(Tool("kpk pack " + archive + " " + dir.Linux("src")), 0);
    ASSERT_EQ(Tool("kpk list " + archive + " > " + dir.Linux("list.txt")), 0);
    EXPECT_NE(dir.Read("list.txt").find("0\tbg\\背景.txt\t"), std::string::npos) << dir.Read("list.txt");
    EXPECT_EQ(Tool("kpk extract " + archive + " 'bg\\背景.txt' " + dir.Linux("out1")), 0);
    EXPECT_EQ(dir.Read("out1"), "夕焼けの空");
    // Through the file manager: from the archive, and as a loose file (which wins).
    EXPECT_EQ(Tool("file cat " + dir.Linux("loose") + " 'bg\\背景.txt' " + dir.Linux("out2") + " --mount " + archive), 0);
    EXPECT_EQ(dir.Read("out2"), "ばら");
    std::filesystem::remove(dir.Linux("loose/bg/背景.txt"));
    EXPECT_EQ(Tool("file cat " + dir.Linux("loose") + " 'bg\\背景.txt' " + dir.Linux("out3") + " --mount " + archive), 0);
    EXPECT_EQ(dir.Read("out3"), "夕焼けの空");
    // A name with no Shift-JIS form is an error that names it, never a silent '?'.
    EXPECT_EQ(Tool("kpk extract " + archive + " 'bg\\😀.txt' " + dir.Linux("x")), 1);
    EXPECT_EQ(Tool("file cat " + dir.Linux("loose") + " 'bg\\😀.txt' " + dir.Linux("x")), 1);
    dir.Write("bad/😀.txt", "x");
    const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool kpk pack " +
                                dir.Linux("bad.kpk") + " " + dir.Linux("bad") + " 2>&1";
    EXPECT_EQ(Tool("kpk pack " + dir.Linux("bad.kpk") + " " + dir.Linux("bad")), 1);
    const std::string output = CommandOutput(command + "; true");
    EXPECT_NE(output.find("😀.txt"), std::string::npos) << output;
}

// A command given arguments it cannot use says how to call it and exits with 2, as a wrong
// command name does; it never fails silently.
TEST(ToolCommands, BadArgumentsPrintTheUsageAndExitWith2)
{
    TempFolder dir;
    const std::string out = dir.Linux("out");
    const struct {
        const char* arguments;
        const char* usage;
    } cases[] = {
        {"cfg", "usage: tessaro-tool cfg"},
        {"cfg sys OUT --size 640x480 --save-mode 1 --bogus", "cfg sys OUT --size WxH"},
        {"cfg sys OUT --size 0x480 --save-mode 1", "cfg sys OUT --size WxH"},
        {"cfg sys OUT --size 640x480", "cfg sys OUT --size WxH"},
        {"cfg inf OUT --version 1.0 --name N", "cfg inf OUT --version"},
        {"cfg user OUT --thread 7", "cfg user OUT"},
        {"cfg app OUT --set 196=1", "cfg app OUT"},
        {"cfg show", "cfg show FILE"},
        {"cfg frobnicate OUT", "usage: tessaro-tool cfg"},
        {"kpk pack OUT.KPK FOLDER --bogus", "kpk pack OUT.KPK FOLDER"},
        {"frobnicate", "usage: tessaro-tool COMMAND"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::string arguments = c.arguments;
        for (size_t at; (at = arguments.find("OUT")) != std::string::npos;)
            arguments.replace(at, 3, out);
        const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool " + arguments +
                                    " 2>&1 >/dev/null; echo \"exit $?\"";
        const std::string said = CommandOutput(command);
        EXPECT_NE(said.find(c.usage), std::string::npos) << said;
        EXPECT_NE(said.find("exit 2"), std::string::npos) << said;
    }
    EXPECT_FALSE(dir.Exists("out"));
}
