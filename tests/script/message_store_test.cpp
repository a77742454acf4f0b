// The message store: names and bodies expanded from records in script memory ("%" references
// direct, indirect, inside tags and blocks, bad addresses), the parse codes, choices, the history
// ring across capacities, and history blobs written by hand, round-tripped and damaged.
#include <gtest/gtest.h>

#include "script/message_store.h"
#include "support/sob_files.h"

using sobtest::Bytes;

namespace {

struct Store {
    CScriptMemory memory{1u << 20};
    CMessageStore store{memory};

    // A block of script memory holding bytes.
    uint32_t Put(const std::vector<uint8_t>& bytes)
    {
        const uint32_t at = memory.Allocate(static_cast<uint32_t>(bytes.size()));
        std::memcpy(memory.Span(at, static_cast<uint32_t>(bytes.size())), bytes.data(), bytes.size());
        return at;
    }
    uint32_t PutText(const std::string& text) { return Put(Bytes().Text(text).U8(0).b); }
    // A message record: scope, number, text.
    uint32_t Message(const std::string& text, uint16_t number = 1, uint8_t scope = 0)
    {
        return Put(Bytes().U8(scope).U16(number).Text(text).U8(0).b);
    }
    std::vector<int> Codes()
    {
        std::vector<int> codes;
        for (int i = 0; i < 64; ++i) {
            const int c = store.ParseNextToken();
            codes.push_back(c);
            if (c == 5 || c < 0)
                break;
        }
        return codes;
    }
};

std::string Ref(uint8_t indirect, uint32_t pointer)
{
    const std::vector<uint8_t> b = Bytes().Text("%").U8(indirect).U32(pointer).b;
    return std::string(b.begin(), b.end());
}

TEST(MessageStore, NameAndBodyFromTheRecord)
{
    Store s;
    const uint32_t record = s.Message("#Taro$$&Hello");
    ASSERT_EQ(s.store.SetMessage(record), 0);
    EXPECT_EQ(s.store.Name(), "Taro");
    EXPECT_EQ(s.store.Body(), "Hello");
    EXPECT_EQ(s.store.MessageNumber(), 1);
    uint8_t c = 1;
    s.memory.Load8(record + 3 + 5, &c);
    EXPECT_EQ(c, 0); // the "$" became NUL
    ASSERT_EQ(s.store.SetMessage(record), 0);
    EXPECT_EQ(s.store.Name(), "Taro");
    EXPECT_EQ(s.store.Body(), "Hello");

    // A record the script rewrites afterwards does not change the shown texts.
    s.memory.Store8(record + 3 + 7, 'J');
    EXPECT_EQ(s.store.Body(), "Hello");

    // Without "#" there is no name; a bad address gives an empty message.
    ASSERT_EQ(s.store.SetMessage(s.Message("plain")), 0);
    EXPECT_FALSE(s.store.HasName());
    EXPECT_EQ(s.store.Body(), "plain");
    ASSERT_EQ(s.store.SetMessage(0x20), 0);
    EXPECT_EQ(s.store.Body(), "");
    s.store.SetMessagesEnabled(false);
    EXPECT_EQ(s.store.SetMessage(record), -1);
}

TEST(MessageStore, ReferencesAreExpandedOutsideTagsAndBlocks)
{
    Store s;
    const uint32_t text = s.PutText("abc");
    const uint32_t cell = s.Put(Bytes().U32(text).b);
    const std::string direct = Ref(0, text), indirect = Ref(1, cell), bad = Ref(0, 0x30), badCell = Ref(1, 0x30);
    const std::string block = std::string("[\0", 2) + "WXYZ" + std::string("\x06\0", 2) + direct;
    const struct {
        const char* name;
        std::string text;
        std::string name_, body;
    } cases[] = {
        {"direct", "x" + direct + "y", "", "xabcy"},
        {"indirect", indirect + "!", "", "abc!"},
        {"in the name", "#N" + direct + "$B" + direct, "Nabc", "Babc"},
        {"bad addresses", "<" + bad + badCell + ">", "", "<>"},
        {"inside a quoted tag", "<\"" + direct + "\">" + direct, "", "<\"" + direct + "\">abc"},
        {"inside a block", block + direct, "", block + "abc"},
        {"a reference cut by the block's end", "ab%", "", "ab"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(s.store.SetMessage(s.Message(c.text)), 0) << c.name;
        EXPECT_EQ(s.store.Name(), c.name_) << c.name;
        EXPECT_EQ(s.store.Body(), c.body) << c.name;
    }
    // A block running past the record's memory block ends the text.
    const uint32_t cut = s.Put(Bytes().U8(0).U16(0).Text("ok[").U8(0).Text("ABCD").U16(200).b);
    ASSERT_EQ(s.store.SetMessage(cut), 0);
    EXPECT_EQ(s.store.Body(), "ok");
}

TEST(MessageStore, ParseCodes)
{
    const struct {
        const char* name;
        std::string body;
        std::vector<int> codes;
    } cases[] = {
        {"plain, wait, page end, end", "a$b&", {0, 1, 0, 4, 5}},
        {"wait before a page end", "$&", {2, 4, 5}},
        {"wait at the end", "x$", {0, 3, 5}},
        {"two-byte character and [ pair", "\x82\xA0[a", {0, 0, 5}},
        {"<< is plain", "<<", {0, 5}},
        {"string tag eats one backslash", "<\"face\">\\z", {6, 0, 5}},
        {"numeric tags", "<0x10><-3><0b11>", {7, 7, 7, 5}},
        {"empty string tag", "<\"\">", {-1}},
        {"unterminated numeric tag", "<12", {-1}},
        {"embedded block", std::string("[\0ABCD\x01\0Q\\", 10) + "z", {8, 0, 5}},
    };
    for (const auto& c : cases) {
        Store s;
        ASSERT_EQ(s.store.SetMessage(s.Message(c.body)), 0) << c.name;
        EXPECT_EQ(s.Codes(), c.codes) << c.name;
    }
    Store s;
    s.store.SetMessage(s.Message("<\"face\"><0x10>" + std::string("[\0ABCD\0\0", 8)));
    EXPECT_EQ(s.store.ParseNextToken(), 6);
    EXPECT_EQ(s.store.TagString(), "face");
    EXPECT_EQ(s.store.ParseNextToken(), 7);
    EXPECT_EQ(s.store.TagValue(), 16);
    EXPECT_EQ(s.store.ParseNextToken(), 8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.store.BlockBytes()), 4), "ABCD");

    // Skip passes plain text in one call; SeekTag counts tags and blocks from 0.
    s.store.SetMessage(s.Message("abc$de<1>f<\"g\">&"));
    EXPECT_EQ(s.store.SkipToNextToken(), 1);
    EXPECT_EQ(s.store.SkipToNextToken(), 7);
    s.store.SetMessage(s.Message("ab$<1>c<\"g\">&x"));
    EXPECT_EQ(s.store.SeekTag(1), 3);
    EXPECT_EQ(s.store.TagString(), "g");
    EXPECT_EQ(s.store.SeekTag(0), 1);
    EXPECT_EQ(s.store.SeekTag(0), 2);
}

TEST(MessageStore, CopyLineOfTheName)
{
    Store s;
    s.store.SetMessage(s.Message("#ab\\\x83\x5C" "c\\$body"));
    char buffer[8];
    EXPECT_EQ(s.store.CopyLine(nullptr, 0, 0), 8u);
    EXPECT_EQ(s.store.CopyLine(buffer, sizeof buffer, 1), 3u);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(s.store.CopyLine(buffer, sizeof buffer, 2), 4u); // the trail byte 0x5C is not a break
    EXPECT_STREQ(buffer, "\x83\x5C" "c");
    EXPECT_EQ(s.store.CopyLine(buffer, sizeof buffer, 3), 0u); // empty
    EXPECT_EQ(s.store.CopyLine(buffer, sizeof buffer, 4), 0u); // absent
    EXPECT_EQ(s.store.CopyLine(buffer, 3, 2), 4u);              // cut, never inside a character
    EXPECT_STREQ(buffer, "\x83\x5C");
    s.store.SetMessage(s.Message("#$x"));
    EXPECT_EQ(s.store.CopyLine(buffer, sizeof buffer, 0), 1u);
    EXPECT_STREQ(buffer, "");
    s.store.SetMessage(s.Message("x"));
    EXPECT_EQ(s.store.CopyLine(buffer, sizeof buffer, 0), 0u);
}

TEST(MessageStore, ChoicesFromRecordsAndAdded)
{
    Store s;
    const uint32_t text = s.PutText("R");
    const std::string ref = Ref(0, text);
    const uint32_t record = s.Put(Bytes()
                                      .U8(1).U16(40).U8(3).U8(1)
                                      .U8(5).U8(0).Text("A1").U8(0)
                                      .U8(static_cast<uint32_t>(3 + ref.size() + 1)).U8(1).Text("B" + ref).U8(0)
                                      .U8(2).U8(0).Text("C").U8(0)
                                      .b);
    ASSERT_EQ(s.store.SetChoices(record), 0);
    EXPECT_EQ(s.store.ChoiceCount(), 2); // the third entry has L < 3
    EXPECT_STREQ(s.store.GetChoice(0), "A1");
    EXPECT_STREQ(s.store.GetChoice(1), "BR");
    EXPECT_EQ(s.store.SeenFlagBase(), 40);
    char small[2];
    EXPECT_EQ(s.store.CopyChoice(1, small, sizeof small), 3);
    EXPECT_EQ(s.store.CopyChoice(5, small, sizeof small), 1);
    // An entry past the record's memory block ends the list.
    const uint32_t cut = s.Put(Bytes().U8(2).U16(0).U8(2).U8(0).U8(5).U8(0).Text("ok").U8(0).U8(200).U8(0).Text("x").b);
    ASSERT_EQ(s.store.SetChoices(cut), 0);
    EXPECT_EQ(s.store.ChoiceCount(), 1);

    s.store.ClearChoices();
    EXPECT_EQ(s.store.AddChoice(nullptr), 1);
    EXPECT_EQ(s.store.AddChoice(std::string(253, 'x').c_str()), 3);
    EXPECT_EQ(s.store.AddChoice(std::string(252, 'x').c_str()), 0);
    for (int i = 1; i < 8; ++i)
        EXPECT_EQ(s.store.AddChoice("c"), 0);
    EXPECT_EQ(s.store.AddChoice("c"), 2);
    s.store.SetChoicesEnabled(false);
    EXPECT_EQ(s.store.AddChoice("c"), -1);
}

TEST(MessageStore, HistoryRingAcrossCapacities)
{
    for (int capacity : {1, 2, 3, 5}) {
        Store s;
        s.store.SetHistoryCapacity(capacity);
        s.store.SetHistoryEnabled(true);
        for (int i = 0; i < 5; ++i)
            ASSERT_EQ(s.store.SetMessage(s.Message("m" + std::to_string(i))), 0);
        const int held = std::min(capacity, 5);
        EXPECT_EQ(s.store.HistoryCount(), held) << capacity;
        EXPECT_EQ(s.store.ShowFirstEntry(), 0);
        EXPECT_EQ(s.store.Body(), "m" + std::to_string(5 - held)) << capacity;
        EXPECT_EQ(s.store.ShowPreviousEntry(), -1);
        EXPECT_EQ(s.store.MoveEntry(100), 0);
        EXPECT_EQ(s.store.Body(), "m4") << capacity;
        EXPECT_EQ(s.store.ShowNextEntry(), -1);
        EXPECT_EQ(s.store.ShowEntry(held), 1);
    }
    Store empty;
    EXPECT_EQ(empty.store.ShowLastEntry(), -1);
}

TEST(MessageStore, HistoryBlobRoundTripsAndMatchesItsLayout)
{
    Store s;
    s.store.SetHistoryCapacity(4);
    s.store.SetHistoryEnabled(true);
    s.store.SetMessage(s.Message("#N$Hi", 7, 2));
    s.store.AddChoice(std::string(252, 'y').c_str());
    s.store.SetSelectedChoice(0);
    s.store.SetMessage(s.Message("B", 8));
    const std::vector<uint8_t> expected = Bytes()
                                              .U32(2)
                                              .U32(2).Text("N").U8(0).U32(3).Text("Hi").U8(0).U8(2).U16(7)
                                              .U32(255).U8(255).U8(0).Text(std::string(252, 'y')).U8(0)
                                              .U32(1).U8(0).U8(2).U16(0)
                                              .U32(0).U32(2).Text("B").U8(0).U8(0).U16(8).U32(0)
                                              .b;
    ASSERT_EQ(s.store.GetSaveSize(), expected.size());
    std::vector<uint8_t> blob(expected.size());
    uint8_t* out = blob.data();
    size_t left = blob.size();
    ASSERT_EQ(s.store.Save(&out, &left), 0);
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(blob, expected);

    Store t;
    t.store.SetHistoryCapacity(4);
    const uint8_t* in = blob.data();
    left = blob.size();
    ASSERT_EQ(t.store.Load(&in, &left, true), 0);
    EXPECT_EQ(t.store.HistoryCount(), 2);
    ASSERT_EQ(t.store.ShowFirstEntry(), 0);
    EXPECT_EQ(t.store.Name(), "N");
    EXPECT_EQ(t.store.ChoiceCount(), 1);
    EXPECT_EQ(std::string(t.store.GetChoice(0)), std::string(252, 'y'));

    // Ten entries into a ring of four keep the newest four and show the last.
    Store ten;
    ten.store.SetHistoryCapacity(10);
    ten.store.SetHistoryEnabled(true);
    for (int i = 0; i < 10; ++i)
        ten.store.SetMessage(ten.Message("m" + std::to_string(i)));
    std::vector<uint8_t> tenBlob(ten.store.GetSaveSize());
    out = tenBlob.data();
    left = tenBlob.size();
    ASSERT_EQ(ten.store.Save(&out, &left), 0);
    Store four;
    four.store.SetHistoryCapacity(4);
    in = tenBlob.data();
    left = tenBlob.size();
    ASSERT_EQ(four.store.Load(&in, &left, true), 0);
    EXPECT_EQ(four.store.HistoryCount(), 4);
    EXPECT_EQ(four.store.ShownIndex(), 3);
    four.store.ShowFirstEntry();
    EXPECT_EQ(four.store.Body(), "m6");
}

TEST(MessageStore, DamagedHistoryBlobsLeaveTheHistory)
{
    const std::vector<uint8_t> good = Bytes()
                                          .U32(1)
                                          .U32(2).Text("N").U8(0).U32(3).Text("Hi").U8(0).U8(0).U16(7)
                                          .U32(5).U8(5).U8(0).Text("ab").U8(0)
                                          .U32(1).U8(0).U8(2).U16(0)
                                          .b;
    auto with = [&](size_t at, uint8_t v) {
        auto b = good;
        b[at] = v;
        return b;
    };
    const struct {
        const char* name;
        std::vector<uint8_t> blob;
    } cases[] = {
        {"count past the bytes", with(0, 9)},
        {"name size past the bytes", with(4, 200)},
        {"name without NUL", with(9, 'x')},
        {"body without NUL", with(16, 'x')},
        {"choice entry past its block", with(24, 9)},
        {"choice entry below 3", with(24, 2)},
        {"truncated", std::vector<uint8_t>(good.begin(), good.end() - 1)},
    };
    for (const auto& c : cases) {
        Store s;
        s.store.SetHistoryCapacity(3);
        s.store.SetHistoryEnabled(true);
        s.store.SetMessage(s.Message("kept"));
        const uint8_t* in = c.blob.data();
        size_t left = c.blob.size();
        EXPECT_EQ(s.store.Load(&in, &left, true), 1) << c.name;
        EXPECT_EQ(left, c.blob.size()) << c.name;
        EXPECT_EQ(s.store.HistoryCount(), 1) << c.name;
        s.store.ShowFirstEntry();
        EXPECT_EQ(s.store.Body(), "kept") << c.name;
    }
    Store s;
    s.store.SetHistoryCapacity(3);
    const uint8_t* in = good.data();
    size_t left = good.size();
    EXPECT_EQ(s.store.Load(&in, &left, true), 0);
    EXPECT_EQ(s.store.HistoryCount(), 1);
}

} // namespace
