// docs/natives.md lists every native with its group and whether it is built; the list must stay
// the native table's, so a native built without its line in the docs fails here.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "natives/native_table.h"

namespace {

// The table as docs/natives.md writes it: a row per run of numbers with one group and one state.
std::string ExpectedTable()
{
    std::string table = "| natives | group | state |\n|---|---|---|\n";
    uint32_t first = 0;
    for (uint32_t n = 1; n <= kNativeCount; ++n) {
        const NativeRow& a = GetNativeRow(first);
        if (n < kNativeCount) {
            const NativeRow& b = GetNativeRow(n);
            if (std::strcmp(a.group, b.group) == 0 && a.built == b.built)
                continue;
        }
        const std::string numbers =
            n - 1 == first ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(n - 1);
        table += "| " + numbers + " | " + a.group + " | " + (a.built ? "built" : "not built") + " |\n";
        first = n;
    }
    return table;
}

} // namespace

TEST(NativeDocs, ListsEveryNativeOfTheTable)
{
    std::ifstream file(std::string(TESSARO_SOURCE_DIR) + "/docs/natives.md");
    ASSERT_TRUE(file) << "docs/natives.md is missing";
    std::stringstream text;
    text << file.rdbuf();
    const std::string docs = text.str();
    const std::string head = "| natives | group | state |\n";
    const size_t start = docs.find(head);
    ASSERT_NE(start, std::string::npos) << "docs/natives.md has no table of natives";
    size_t end = start;
    while (end < docs.size() && docs[end] == '|')
        end = docs.find('\n', end) + 1;
    EXPECT_EQ(docs.substr(start, end - start), ExpectedTable())
        << "docs/natives.md should list the natives as above (replace its table with it)";
}
