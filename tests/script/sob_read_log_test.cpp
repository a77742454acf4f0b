// The read log (TLOG): packed and stored round trips, the merge rules, damaged logs refused
// without a bit changed, and a failed save that keeps the previous log.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "files/file_manager.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "script/sob_runtime.h"
#include "support/sob_files.h"

using namespace sobtest;

namespace {

struct Row {
    std::string name;
    uint16_t readBits, choiceBits;
};

std::vector<uint8_t> Table(const std::vector<Row>& rows)
{
    Bytes b;
    b.U16(static_cast<uint32_t>(rows.size()));
    for (const Row& r : rows)
        b.U8(static_cast<uint32_t>(r.name.size() + 1)).Text(r.name).U8(0).U16(r.readBits).U16(r.choiceBits);
    return b.b;
}

struct Runtime {
    CSobRuntime rt{1u << 20};
    explicit Runtime(const std::vector<Row>& rows)
    {
        const std::vector<uint8_t> table = Table(rows);
        EXPECT_EQ(rt.LoadModuleTable(table.data(), table.size()), 0);
    }
    // Every bit of every entry as text, "r" and "c" sets.
    std::string Bits()
    {
        std::string s;
        for (uint32_t i = 0; i < rt.ModuleTableCount(); ++i) {
            SobModuleEntry* e = rt.ModuleTableEntry(i);
            s += e->name + " r";
            for (uint32_t k = 0; k < e->readBits.GetBitCount(); ++k)
                s += e->readBits.GetBit(k) ? '1' : '0';
            s += " c";
            for (uint32_t k = 0; k < e->choiceBits.GetBitCount(); ++k)
                s += e->choiceBits.GetBit(k) ? '1' : '0';
            s += "\n";
        }
        return s;
    }
    void Scatter(uint32_t seed, int percent)
    {
        std::mt19937 random(seed);
        for (uint32_t i = 0; i < rt.ModuleTableCount(); ++i) {
            SobModuleEntry* e = rt.ModuleTableEntry(i);
            for (uint32_t k = 0; k < e->readBits.GetBitCount(); ++k)
                e->readBits.SetBit(k, static_cast<int>(random() % 100) < percent);
            for (uint32_t k = 0; k < e->choiceBits.GetBitCount(); ++k)
                e->choiceBits.SetBit(k, static_cast<int>(random() % 100) < percent);
        }
    }
};

uint32_t Word(const std::vector<uint8_t>& b, size_t at)
{
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

class SobReadLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        g_pFileManager = &manager;
    }
    void TearDown() override { g_pFileManager = nullptr; }

    TempFolder dir;
    CFileManager manager;
};

} // namespace

TEST_F(SobReadLog, PackedAndStoredRoundTrips)
{
    const std::vector<Row> rows = {{"MAIN", 4000, 100}, {"SUB", 3, 9}, {"COMMON", 800, 0}};
    for (int percent : {2, 50}) {
        Runtime a(rows);
        a.Scatter(7 + percent, percent);
        a.rt.SetReadLogFolder(dir.Windows().c_str());
        ASSERT_TRUE(a.rt.SetReadLogFile("READ.DAT"));
        ASSERT_EQ(a.rt.SaveReadLog(nullptr), 0);
        const std::string text = dir.Read("READ.DAT");
        const std::vector<uint8_t> file(text.begin(), text.end());
        ASSERT_GE(file.size(), 16u);
        EXPECT_EQ(text.substr(0, 4), "TLOG");
        EXPECT_EQ(Word(file, 4), file.size() - 16);
        EXPECT_EQ(Word(file, 12), 3u);
        // Sparse bits pack; random ones are stored with unpacked size 0.
        if (percent == 2)
            EXPECT_GT(Word(file, 8), Word(file, 4));
        else
            EXPECT_EQ(Word(file, 8), 0u);
        Runtime b(rows);
        b.rt.SetReadLogFolder(dir.Windows().c_str());
        EXPECT_EQ(b.rt.LoadReadLog("READ.DAT"), 0);
        EXPECT_EQ(b.Bits(), a.Bits());
        EXPECT_FALSE(dir.Exists("READ.DAT.tmp"));
    }
    // The destructor saves under the kept name.
    std::string saved;
    {
        Runtime c(rows);
        c.Scatter(1, 30);
        c.rt.SetReadLogFolder(dir.Windows().c_str());
        c.rt.SetReadLogFile("END.DAT");
        saved = c.Bits();
    }
    Runtime e(rows);
    e.rt.SetReadLogFolder(dir.Windows().c_str());
    e.rt.SetReadLogFile("END.DAT");
    EXPECT_EQ(e.rt.LoadReadLog(nullptr), 0);
    EXPECT_EQ(e.Bits(), saved);
}

TEST_F(SobReadLog, NamesAndMissingTables)
{
    Runtime a({{"A", 8, 8}});
    EXPECT_EQ(a.rt.SaveReadLog(nullptr), 1);
    EXPECT_EQ(a.rt.LoadReadLog(nullptr), 1);
    EXPECT_FALSE(a.rt.SetReadLogFile(nullptr));
    EXPECT_EQ(a.rt.LoadReadLog("NONE.DAT"), 1);
    CSobRuntime bare(1u << 20);
    EXPECT_EQ(bare.SaveReadLog("X.DAT"), 2);
    EXPECT_EQ(bare.LoadReadLog("X.DAT"), 0);
    EXPECT_FALSE(dir.Exists("X.DAT"));
}

TEST_F(SobReadLog, MergeRules)
{
    Runtime source({{"DUP", 8, 0}, {"DUP", 8, 0}, {"Z", 8, 8}, {"X", 16, 8}, {"Y", 16, 16}});
    source.Scatter(3, 50);
    SobModuleEntry* dup1 = source.rt.ModuleTableEntry(0);
    SobModuleEntry* dup2 = source.rt.ModuleTableEntry(1);
    for (int k = 0; k < 8; ++k) {
        dup1->readBits.SetBit(k, k == 1);
        dup2->readBits.SetBit(k, k == 2);
    }
    const std::vector<uint8_t> log = source.rt.BuildReadLog();

    Runtime target({{"X", 8, 8}, {"DUP", 8, 0}, {"Y", 16, 16}, {"DUP", 8, 0}, {"W", 8, 8}});
    target.Scatter(11, 50);
    const std::string before = target.Bits();
    ASSERT_EQ(target.rt.MergeReadLog(log.data(), log.size()), 0);
    auto line = [](const std::string& bits, int n) {
        size_t at = 0;
        for (int i = 0; i < n; ++i)
            at = bits.find('\n', at) + 1;
        return bits.substr(at, bits.find('\n', at) - at);
    };
    auto part = [](const std::string& l, char which) {
        const size_t c = l.find(" c");
        return which == 'r' ? l.substr(0, c) : l.substr(c);
    };
    const std::string after = target.Bits(), stored = source.Bits();
    // X: its 8 read bits against 16 stored keep their own; its choice bits (8 and 8) are merged.
    EXPECT_EQ(part(line(after, 0), 'r'), part(line(before, 0), 'r'));
    EXPECT_EQ(part(line(after, 0), 'c'), part(line(stored, 3), 'c'));
    // Duplicate names take the stored entries in order.
    EXPECT_EQ(target.rt.ModuleTableEntry(1)->readBits.GetBytes()[0], 0x02);
    EXPECT_EQ(target.rt.ModuleTableEntry(3)->readBits.GetBytes()[0], 0x04);
    // Y merged whole; W (no stored entry) and the stored Z (no entry) change nothing.
    EXPECT_EQ(line(after, 2), line(stored, 4));
    EXPECT_EQ(line(after, 4), line(before, 4));
}

TEST_F(SobReadLog, DamagedLogsChangeNoBit)
{
    // A stored log by hand: one entry "A" with readBits read bits in readBytes bytes and 12 choice
    // bits (2 bytes).
    auto file = [&](uint32_t count, uint32_t readBits, uint32_t readBytes) {
        Bytes b;
        Bytes body;
        body.U8(2).Text("A").U8(0).U32(readBits).U32(readBytes);
        for (uint32_t i = 0; i < readBytes && i < 64; ++i)
            body.U8(0xFF);
        body.U32(12).U32(2).U8(0xFF).U8(0x0F);
        b.Text("TLOG").U32(static_cast<uint32_t>(body.b.size())).U32(0).U32(count);
        b.b.insert(b.b.end(), body.b.begin(), body.b.end());
        return b.b;
    };
    Runtime good({{"A", 8, 12}});
    const std::vector<uint8_t> valid = file(1, 8, 1);
    ASSERT_EQ(good.rt.MergeReadLog(valid.data(), valid.size()), 0);
    EXPECT_EQ(good.Bits(), "A r11111111 c111111111111\n");

    // A packed log to damage: sparse bits so that it packs.
    Runtime packedSource({{"A", 8, 12}, {"B", 2000, 0}});
    packedSource.rt.ModuleTableEntry(1)->readBits.SetBit(5, 1);
    const std::vector<uint8_t> packed = packedSource.rt.BuildReadLog();
    ASSERT_NE(Word(packed, 8), 0u);

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases = {
        {"magic", [&] { auto b = valid; b[0] = 'X'; return b; }()},
        {"shorter than the header", std::vector<uint8_t>(valid.begin(), valid.begin() + 15)},
        {"cut inside the body", std::vector<uint8_t>(valid.begin(), valid.end() - 1)},
        {"stored size past the file", [&] { auto b = valid; SetU32(b, 4, Word(b, 4) + 1); return b; }()},
        {"more entries than stored", file(2, 8, 1)},
        {"byte count not the bit count's", file(1, 8, 2)},
        {"bit count above the bytes", file(1, 9, 1)},
        {"huge byte count", file(1, 0xFFFFFFF8, 0x1FFFFFFF)},
        {"huge unpacked size", [&] { auto b = packed; SetU32(b, 8, (64u << 20) + 1); return b; }()},
        {"unpacked size larger than the packed data gives", [&] { auto b = packed; SetU32(b, 8, Word(b, 8) + 100); return b; }()},
        {"garbage packed data", [&] { auto b = packed; for (size_t i = 16; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 37); return b; }()},
        {"name length 0", [&] { auto b = valid; b[16] = 0; return b; }()},
    };
    for (const Case& c : cases) {
        Runtime target({{"A", 8, 12}, {"B", 2000, 0}});
        target.Scatter(5, 50);
        const std::string before = target.Bits();
        EXPECT_EQ(target.rt.MergeReadLog(c.bytes.data(), c.bytes.size()), 2) << c.what;
        EXPECT_EQ(target.Bits(), before) << c.what;
    }
}

TEST_F(SobReadLog, FailedSaveKeepsThePreviousLog)
{
    Runtime a({{"MAIN", 64, 8}});
    a.Scatter(9, 50);
    a.rt.SetReadLogFolder(dir.Windows().c_str());
    ASSERT_EQ(a.rt.SaveReadLog("LOG.DAT"), 0);
    const std::string old = dir.Read("LOG.DAT");
    a.Scatter(10, 50);
    // The temporary file cannot be made: a folder holds its name.
    std::filesystem::create_directories(dir.Linux("LOG.DAT.tmp"));
    EXPECT_EQ(a.rt.SaveReadLog("LOG.DAT"), 3);
    EXPECT_EQ(dir.Read("LOG.DAT"), old);
    // A folder that does not exist.
    a.rt.SetReadLogFolder((dir.Windows() + "MISSING\\").c_str());
    EXPECT_EQ(a.rt.SaveReadLog("LOG.DAT"), 3);
}
