#include "platform/name_trie.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/name_trie_writer.h"

namespace {

const std::vector<authoring::NameValue> kNames = {
    {"script\\main.sob", 1},
    {"script\\main", 2},
    {"script", 3},
    {"bg001.elg", 4},
    {"bg002.elg", 5},
    {"b", 6},
    {"\x83\x5C\x83\x74\x83\x67.ogg", 7}, // Shift-JIS with a 0x5C trail byte
};

std::vector<uint8_t> Build(bool wide)
{
    std::vector<uint8_t> trie;
    EXPECT_TRUE(authoring::BuildNameTrie(kNames, wide, trie));
    return trie;
}

} // namespace

TEST(NameTrie, FindsEveryNameAndNoPrefix)
{
    for (bool wide : {false, true}) {
        const std::vector<uint8_t> trie = Build(wide);
        for (const auto& n : kNames)
            EXPECT_EQ(FindInNameTrie(trie.data(), trie.size(), wide, n.name.c_str(), 0),
                      static_cast<int32_t>(n.value))
                << n.name;
        for (const char* missing : {"scrip", "script\\", "bg00", "bg003.elg", "", "c", "script\\main.sobx"})
            EXPECT_EQ(FindInNameTrie(trie.data(), trie.size(), wide, missing, 0), -1) << missing;
    }
}

TEST(NameTrie, CaseModes)
{
    const std::vector<uint8_t> trie = Build(false);
    EXPECT_EQ(FindInNameTrie(trie.data(), trie.size(), false, "BG001.ELG", 2), 4);
    EXPECT_EQ(FindInNameTrie(trie.data(), trie.size(), false, "BG001.ELG", 0), -1);
    EXPECT_EQ(FindInNameTrie(trie.data(), trie.size(), false, "SCRIPT", 1), -1); // stored lower-case
    std::vector<uint8_t> upper;
    ASSERT_TRUE(authoring::BuildNameTrie({{"SCRIPT", 9}}, false, upper));
    EXPECT_EQ(FindInNameTrie(upper.data(), upper.size(), false, "script", 1), 9);
    std::string longName(300, 'a');
    EXPECT_EQ(FindInNameTrie(trie.data(), trie.size(), false, longName.c_str(), 2), -1);
    EXPECT_EQ(FindInNameTrie(nullptr, 0, false, "b", 0), -1);
    EXPECT_EQ(FindInNameTrie(trie.data(), trie.size(), false, nullptr, 0), -1);
}

TEST(NameTrie, StaysInsideForDamagedTries)
{
    const std::vector<uint8_t> good = Build(false);
    // Every truncation of a good trie, and every single-byte change of a small one, is looked up
    // without reading outside it (the sanitizers watch the reads).
    for (size_t n = 0; n < good.size(); ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        for (const auto& name : kNames)
            FindInNameTrie(cut.data(), cut.size(), false, name.name.c_str(), 0);
    }
    std::vector<uint8_t> small;
    ASSERT_TRUE(authoring::BuildNameTrie({{"ab", 1}, {"ac", 2}}, false, small));
    for (size_t i = 0; i < small.size(); ++i) {
        for (int v : {0x00, 0x7F, 0xFF}) {
            std::vector<uint8_t> bad = small;
            bad[i] = static_cast<uint8_t>(v);
            FindInNameTrie(bad.data(), bad.size(), false, "ab", 0);
            FindInNameTrie(bad.data(), bad.size(), false, "ac", 0);
        }
    }
    // A root count larger than the trie, and a link past its end.
    const uint8_t bigCount[] = {200, 'a', 0, 0};
    EXPECT_EQ(FindInNameTrie(bigCount, sizeof bigCount, false, "a", 0), -1);
    const uint8_t farLink[] = {1, 'a', 0xFF, 0x7F};
    EXPECT_EQ(FindInNameTrie(farLink, sizeof farLink, false, "a", 0), -1);
}

TEST(NameTrieWriter, RefusesWhatTheFormCannotHold)
{
    std::vector<uint8_t> out;
    EXPECT_FALSE(authoring::BuildNameTrie({}, false, out));
    EXPECT_FALSE(authoring::BuildNameTrie({{"a", 1}, {"a", 2}}, false, out));
    EXPECT_FALSE(authoring::BuildNameTrie({{"a", 70000}}, false, out));
    EXPECT_TRUE(authoring::BuildNameTrie({{"a", 70000}}, true, out));
    EXPECT_EQ(FindInNameTrie(out.data(), out.size(), true, "a", 0), 70000);
}
