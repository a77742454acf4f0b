// The scenario packer: its listing and disassembly pack back to the same bytes, bad source gives
// one "FILE:LINE: message" per bad line, and tessaro-tool tob does the same end to end.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "authoring/tob_packer.h"
#include "files/temp_folder.h"
#include "support/tgs_test_frame.h"

using tgstest::Pack;

namespace {

const std::string kRich = "*start\n"
                    "@message WORD\n"
                    "こんにちは \\\\ \\x5Bx\\x0A\n"
                    "\\x40not a command\n"
                    "@name \"太\\\"郎\"\n"
                    "@if Flags[2] wait 100 - =5 \"\" Score Flags[3] #9:4 {Score * (Flags[1] - 3) >> 1}\n"
                    "@if {!Score || ~Flags[0] != -2} cmd 52 0x10 -7\n"
                    "@if 0 goto0 *end\n"
                    "@call *sub \"OTHER\"\n"
                    "@jump \"far\" -\n"
                    "@message 1\n"
                    "@sob\n"
                    "  inc uservar Score\n"
                    "  ret\n"
                    "@end\n"
                    "@wait {asm mov 5, hostvar 0 | ret}\n"
                    "*sub\n"
                    "@return #255:0\n"
                    "*end\n";

TEST(TobPacker, DisassemblyPacksBackToTheSameBytes)
{
    const SobVariableLayout layout = tgstest::Layout();
    for (bool tob1 : {false, true}) {
        std::string rich = kRich;
        rich.replace(rich.find("WORD"), 4, tob1 ? "word=3" : "");
        const std::vector<uint8_t> file = Pack(rich, tob1);
        std::string source, error;
        ASSERT_TRUE(DisassembleTob(file.data(), file.size(), &layout, nullptr, &source, &error)) << error;
        EXPECT_EQ(Pack(source, tob1), file) << source;
        std::string list;
        ASSERT_TRUE(ListTob(file.data(), file.size(), &list, &error));
        EXPECT_NE(list.find("3 labels, 2 messages"), std::string::npos) << list;
        EXPECT_NE(list.find(tob1 ? "message 0 0 word 3" : "message 0 0\n"), std::string::npos) << list;
    }
}

TEST(TobPacker, ErrorsNameTheirLines)
{
    const struct {
        const char* source;
        const char* error;
    } cases[] = {
        {"@jump2\n", "t.txt:1: unknown command jump2"},
        {"ok\n@wait {Nope + 1}\n", "t.txt:2: unknown variable 'Nope'"},
        {"@wait Flags[4]\n", "t.txt:1: element 4 lies outside Flags"},
        {"@goto *nowhere\n", "t.txt:1: undefined label *nowhere"},
        {"a[b\n", "t.txt:1: '[' starts a record in the text: write \\x5B"},
        {"@message 1\n", "t.txt:1: message 0 is missing"},
        {"@message\n@message 0\n", "t.txt:2: message 0 given twice"},
        {"@sob\nret\n", "t.txt:1: @sob without @end"},
        {"@wait \"open\n", "t.txt:1: unterminated string or expression"},
        {"@wait {1 +}\n", "t.txt:1: the expression ends too soon"},
        {"@message word=2\n", "t.txt:1: word= needs --tob1"},
    };
    const SobVariableLayout layout = tgstest::Layout();
    for (const auto& c : cases) {
        TobPackOptions options;
        options.variables = &layout;
        std::vector<uint8_t> out;
        std::vector<std::string> errors;
        EXPECT_FALSE(PackTob(c.source, "t.txt", options, &out, &errors)) << c.source;
        ASSERT_FALSE(errors.empty()) << c.source;
        EXPECT_EQ(errors[0], c.error) << c.source;
    }
}

TEST(TobPacker, CommandNamesRoundTrip)
{
    for (uint32_t n = 0; n < 130; ++n) {
        const std::string name = TobCommandName(n);
        if (name.rfind("cmd ", 0) != 0) {
            EXPECT_EQ(TobCommandNumber(name), static_cast<int>(n)) << name;
        }
    }
    EXPECT_EQ(TobCommandName(15), "cmd 15");
    EXPECT_EQ(TobCommandNumber("nothing"), -1);
}

int Tool(const std::string& arguments)
{
    const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool " + arguments + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TobTool, PacksListsDisassemblesAndWritesTheTable)
{
    TempFolder dir;
    std::string rich = kRich;
    rich.replace(rich.find("WORD"), 4, "word=3");
    dir.Write("vars.txt", tgstest::kVariables);
    dir.Write("rich.txt", rich);
    const std::string vars = " --vars " + dir.Linux("vars.txt");
    ASSERT_EQ(Tool("tob pack " + dir.Linux("rich.txt") + " " + dir.Linux("RICH.TOB") + " --tob1" + vars), 0);
    const std::vector<uint8_t> file = Pack(rich, true);
    EXPECT_EQ(dir.Read("RICH.TOB"), std::string(file.begin(), file.end()));
    ASSERT_EQ(Tool("tob dis " + dir.Linux("RICH.TOB") + vars + " > " + dir.Linux("dis.txt")), 0);
    ASSERT_EQ(Tool("tob pack " + dir.Linux("dis.txt") + " " + dir.Linux("AGAIN.TOB") + " --tob1" + vars), 0);
    EXPECT_EQ(dir.Read("AGAIN.TOB"), dir.Read("RICH.TOB"));
    ASSERT_EQ(Tool("tob list " + dir.Linux("RICH.TOB") + " > " + dir.Linux("list.txt")), 0);
    EXPECT_EQ(dir.Read("list.txt").substr(0, 4), "TOB1");

    ASSERT_EQ(Tool("tob init " + dir.Linux("TGS_INIT.DAT") + " " + dir.Linux("RICH.TOB") + ":5"), 0);
    std::vector<uint8_t> table;
    std::string error;
    ASSERT_TRUE(WriteTgsInit({{"RICH", 2, 5}}, &table, &error));
    EXPECT_EQ(dir.Read("TGS_INIT.DAT"), std::string(table.begin(), table.end()));

    dir.Write("bad.txt", "@wait {Nobody}\n");
    EXPECT_EQ(Tool("tob pack " + dir.Linux("bad.txt") + " " + dir.Linux("x") + vars), 1);
    EXPECT_EQ(Tool("tob pack " + dir.Linux("rich.txt") + " " + dir.Linux("x")), 1); // variables need --vars
    EXPECT_EQ(Tool("tob dis " + dir.Linux("vars.txt")), 1);
    EXPECT_EQ(Tool("tob pack " + dir.Linux("rich.txt")), 2);
    EXPECT_EQ(Tool("tob nothing"), 2);
}

} // namespace
