// The backlog ring: eviction order and serials, capacity changes, the choice entry named by its
// serial, the saved form (round trip, ranges, byte cuts) and damaged blobs refused whole.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "script/bg_table.h"
#include "script/text_log.h"

namespace {

const uint8_t* Bytes(const char* s)
{
    return reinterpret_cast<const uint8_t*>(s);
}

void AddPage(CTextLog& log, const std::string& text, const char* name = nullptr)
{
    ASSERT_EQ(log.AddMessage(Bytes(text.c_str()), static_cast<uint32_t>(text.size()), 40, name, nullptr, 0), 0);
}

std::string Data(const TextLogEntry* e)
{
    return e == nullptr ? "<null>" : std::string(e->message.data.begin(), e->message.data.end());
}

std::vector<uint8_t> SaveAll(const CTextLog& log, uint32_t from = 0, uint32_t to = CTextLog::kAllSerials)
{
    std::vector<uint8_t> out(log.GetSaveSize(from, to));
    uint8_t* p = out.data();
    EXPECT_EQ(log.Save(&p, from, to), 0);
    EXPECT_EQ(p, out.data() + out.size());
    return out;
}

TEST(TextLog, RingKeepsTheNewestInOrder)
{
    CTextLog log;
    log.SetCapacity(3);
    for (int i = 0; i < 5; ++i)
        AddPage(log, "m" + std::to_string(i));
    EXPECT_EQ(log.Count(), 3);
    EXPECT_EQ(Data(log.GetEntry(0)), "m2");
    EXPECT_EQ(log.GetEntry(0)->serial, 2u);
    EXPECT_EQ(Data(log.GetEntry(2)), "m4");
    EXPECT_EQ(log.GetEntry(3), nullptr);
    // Smaller: the newest stay, oldest first from slot 0.
    log.SetCapacity(2);
    EXPECT_EQ(Data(log.GetEntry(0)), "m3");
    EXPECT_EQ(Data(log.GetEntry(1)), "m4");
    log.SetCapacity(0);
    EXPECT_EQ(log.Count(), 0);
    EXPECT_EQ(log.AddMessage(Bytes("x"), 1, 0, nullptr, nullptr, 0), 2);
    EXPECT_EQ(log.GetSaveSize(0, CTextLog::kAllSerials), 0u);
}

TEST(TextLog, ChoiceEntryIsNamedBySerial)
{
    CTextLog log;
    log.SetCapacity(2);
    EXPECT_EQ(log.BeginChoices(0), 1);
    ASSERT_EQ(log.BeginChoices(2), 0);
    EXPECT_EQ(log.BeginChoices(1), 3);
    EXPECT_EQ(log.AddChoice("a", 1), 0);
    EXPECT_EQ(log.AddChoice("b", 0), 0);
    EXPECT_EQ(log.AddChoice("c", 1), 3);
    uint32_t serial = 99;
    ASSERT_EQ(log.EndChoices(&serial), 0);
    EXPECT_EQ(log.EndChoices(nullptr), 1);
    EXPECT_TRUE(log.SetSelectedChoice(serial, 1));
    EXPECT_EQ(log.GetEntry(0)->choices.selected, 1);
    // Evicted, emptied or freed before the choice is written: nothing is written anywhere.
    AddPage(log, "p1");
    AddPage(log, "p2");
    EXPECT_FALSE(log.SetSelectedChoice(serial, 0));
    ASSERT_EQ(log.BeginChoices(1), 0);
    log.AddChoice("x", 1);
    log.EndChoices(&serial);
    log.SetCapacity(0);
    EXPECT_FALSE(log.SetSelectedChoice(serial, 0));
}

TEST(TextLog, SavedFormRoundTripsAndCutsLongTexts)
{
    CTextLog log;
    log.SetCapacity(8);
    // A name of 300 bytes of two-byte characters is cut to 254, at a character boundary.
    std::string longName;
    for (int i = 0; i < 150; ++i)
        longName += "\x82\xa0";
    AddPage(log, std::string("page\0[x", 7), longName.c_str());
    ASSERT_EQ(log.BeginChoices(2), 0);
    log.AddChoice(std::string(300, 'c').c_str(), 1);
    log.AddChoice("no", 0);
    uint32_t serial = 0;
    log.EndChoices(&serial);
    log.SetSelectedChoice(serial, 0);
    TextLogScene scene;
    scene.background = "BG01";
    scene.words[10] = -7;
    scene.items.push_back(TextLogSceneItem{"CH1", 5, -6, {1, 2, 3, 4, 5, 6, 7}});
    ASSERT_EQ(log.AddScene(scene), 0);

    EXPECT_EQ(log.GetEntry(0)->message.name.size(), 254u);
    EXPECT_EQ(log.GetEntry(1)->choices.texts[0].size(), 253u);
    const std::vector<uint8_t> blob = SaveAll(log);
    CTextLog copy;
    copy.SetCapacity(8);
    const uint8_t* p = blob.data();
    ASSERT_EQ(copy.Load(&p, blob.data() + blob.size(), true), 0);
    EXPECT_EQ(p, blob.data() + blob.size());
    ASSERT_EQ(copy.Count(), 3);
    EXPECT_EQ(Data(copy.GetEntry(0)), std::string("page\0[x", 7));
    EXPECT_EQ(copy.GetEntry(1)->choices.selected, 0);
    EXPECT_EQ(copy.GetEntry(1)->choices.flags, (std::vector<uint8_t>{1, 0}));
    EXPECT_EQ(copy.GetEntry(2)->scene.items[0].y, -6);
    EXPECT_EQ(copy.GetEntry(2)->scene.words[10], -7);
    EXPECT_EQ(SaveAll(copy), blob);

    // A range: entry 1 alone; a range matching nothing is a count of 0.
    const std::vector<uint8_t> one = SaveAll(log, 1, 1);
    EXPECT_EQ(one[0], 1u);
    const std::vector<uint8_t> none = SaveAll(log, 50, 60);
    EXPECT_EQ(none, (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(TextLog, DamagedBlobsLeaveTheLogUnchanged)
{
    CTextLog log;
    log.SetCapacity(4);
    AddPage(log, "keep");
    CTextLog source;
    source.SetCapacity(4);
    AddPage(source, "hello", "name");
    source.BeginChoices(1);
    source.AddChoice("c", 1);
    source.EndChoices(nullptr);
    const std::vector<uint8_t> good = SaveAll(source);
    std::vector<std::vector<uint8_t>> bad;
    for (size_t cut = 1; cut < good.size(); ++cut)
        bad.emplace_back(good.begin(), good.begin() + static_cast<long>(cut));
    std::vector<uint8_t> hugeCount = good;
    hugeCount[0] = 0xFF;
    hugeCount[3] = 0x7F;
    bad.push_back(hugeCount);
    std::vector<uint8_t> badType = good;
    badType[4] = 9;
    bad.push_back(badType);
    std::vector<uint8_t> hugeData = good;
    // Entry 0: type, name length 5 + "name\0", voice 0, then the data size.
    hugeData[4 + 1 + 1 + 5 + 1] = 0xFF;
    hugeData[4 + 1 + 1 + 5 + 4] = 0xFF;
    bad.push_back(hugeData);
    for (const auto& b : bad) {
        const uint8_t* p = b.data();
        EXPECT_EQ(log.Load(&p, b.data() + b.size(), true), 2) << b.size();
        ASSERT_EQ(log.Count(), 1);
        EXPECT_EQ(Data(log.GetEntry(0)), "keep");
    }
    EXPECT_EQ(log.Load(nullptr, nullptr, true), 1);
}

TEST(BgTable, LinesAndCodes)
{
    const struct {
        const char* text;
        int code;
        std::vector<int32_t> values;
    } cases[] = {
        {"// header\n\n12\n[BG 3\n*\n*\n-4\r\n", 0, {12, -3, -3, -3, -4}},
        {"[NAME] 2\n7\n", 0, {-2, 7}},
        {"", 2, {}},
        {"[BG 0\n", 3, {}},
        {"*\n", 4, {}},
        {"5\n*\n", 5, {}},
        {"12x\n", 6, {}},
        {"[BG\n", 6, {}},
        {"99999999999\n", 6, {}},
        {"[ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOP 1\n", 6, {}},
    };
    for (const auto& c : cases) {
        std::vector<int32_t> out{42};
        EXPECT_EQ(ParseBackgroundTable(Bytes(c.text), std::strlen(c.text), &out), c.code) << c.text;
        EXPECT_EQ(out, c.values) << c.text;
    }
    const std::string longLine(2000, '1');
    std::vector<int32_t> out;
    EXPECT_EQ(ParseBackgroundTable(Bytes(longLine.c_str()), longLine.size(), &out), 6);
}

} // namespace
