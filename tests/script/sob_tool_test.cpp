// tessaro-tool sob writers end to end: vars, init, asm --library / --module give the tiny game's
// hand-written bytes, a listing of a module assembles back to the same file, and bad input exits
// with 1 or 2.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "authoring/sob_sample_game.h"
#include "files/temp_folder.h"
#include "support/sob_files.h"

namespace {

int Tool(const std::string& arguments)
{
    const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool " + arguments + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Text(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TEST(SobTool, WritersMakeTheTinyGame)
{
    TempFolder dir;
    dir.Write("vars.txt", samples::kSobSampleVariables);
    dir.Write("lib.txt", samples::kSobSampleLibrary);
    dir.Write("main.txt", samples::kSobSampleMain);
    const std::string vars = " --vars " + dir.Linux("vars.txt"), lib = " --lib " + dir.Linux("lib.txt");
    ASSERT_EQ(Tool("sob vars " + dir.Linux("vars.txt") + " " + dir.Linux("USER_VAR.SOB")), 0);
    ASSERT_EQ(Tool("sob init " + dir.Linux("SOB_INIT.DAT") + " MAIN:16:8 COMMON:32:0"), 0);
    ASSERT_EQ(Tool("sob asm " + dir.Linux("lib.txt") + " " + dir.Linux("FUNC_LIB.SOB") + " --library" + vars), 0);
    ASSERT_EQ(Tool("sob asm " + dir.Linux("main.txt") + " " + dir.Linux("MAIN.SOB") + " --module" + vars + lib), 0);
    EXPECT_EQ(dir.Read("USER_VAR.SOB"), Text(sobtest::HandUserVariables()));
    EXPECT_EQ(dir.Read("SOB_INIT.DAT"), Text(sobtest::HandModuleTable()));
    EXPECT_EQ(dir.Read("FUNC_LIB.SOB"), Text(sobtest::HandLibrary()));
    EXPECT_EQ(dir.Read("MAIN.SOB"), Text(sobtest::HandMain()));

    // The listing names the references as the source does and assembles back to the same file.
    ASSERT_EQ(Tool("sob dis " + dir.Linux("MAIN.SOB") + vars + lib + " > " + dir.Linux("dis.txt")), 0);
    const std::string listing = dir.Read("dis.txt");
    for (const char* text : {"call lib bump", "native 0", "uservar Flags", "hostvar 0", ".data"})
        EXPECT_NE(listing.find(text), std::string::npos) << text << "\n" << listing;
    ASSERT_EQ(Tool("sob asm " + dir.Linux("dis.txt") + " " + dir.Linux("AGAIN.SOB") + " --module" + vars + lib), 0);
    EXPECT_EQ(dir.Read("AGAIN.SOB"), dir.Read("MAIN.SOB"));

    // Errors: an unknown variable or library label, no --vars, a damaged file, bad rows.
    dir.Write("bad.txt", "mov 1, uservar Nobody\n");
    EXPECT_EQ(Tool("sob asm " + dir.Linux("bad.txt") + " " + dir.Linux("x") + " --module" + vars), 1);
    EXPECT_EQ(Tool("sob asm " + dir.Linux("main.txt") + " " + dir.Linux("x") + " --module" + vars), 1);
    EXPECT_EQ(Tool("sob asm " + dir.Linux("lib.txt") + " " + dir.Linux("x") + " --library"), 1);
    dir.Write("cut.sob", dir.Read("MAIN.SOB").substr(0, 100));
    EXPECT_EQ(Tool("sob dis " + dir.Linux("cut.sob")), 1);
    dir.Write("badvars.txt", "A 3 0 4\nB 0 0 2 = 1\nfixup A -> C\n");
    EXPECT_EQ(Tool("sob vars " + dir.Linux("badvars.txt") + " " + dir.Linux("x")), 1);
    EXPECT_EQ(Tool("sob init " + dir.Linux("x") + " MAIN:70000:0"), 2);
    EXPECT_EQ(Tool("sob init " + dir.Linux("x") + " MAIN"), 2);
    EXPECT_EQ(Tool("sob asm " + dir.Linux("main.txt") + " " + dir.Linux("x") + " --module --library"), 2);
}
