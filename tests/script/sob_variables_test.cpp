// User variables of the SOB runtime: the three copies, pointer cells and fix-ups, the variable
// operations over the selector grid, damaged USER_VAR.SOB files, and the save blocks.
#include <gtest/gtest.h>

#include <string>

#include "authoring/sob_module_writer.h"
#include "script/sob_runtime.h"
#include "support/sob_files.h"

using namespace sobtest;

namespace {

// One 4-byte variable of each kind and class: record i has kind i / 3, class i % 3, value i + 1.
std::vector<uint8_t> GridFile()
{
    std::string source;
    for (int i = 0; i < 9; ++i)
        source += "v" + std::to_string(i) + " " + std::to_string(i / 3) + " " + std::to_string(i % 3) + " 4 = " +
                  std::to_string(i + 1) + "\n";
    SobVariableLayout layout;
    EXPECT_TRUE(ParseSobVariables(source, "grid.txt", &layout, nullptr));
    return WriteSobUserVarFile(layout);
}

struct Grid {
    CSobRuntime rt{1u << 20};
    explicit Grid(bool copies = true)
    {
        const std::vector<uint8_t> file = GridFile();
        EXPECT_EQ(rt.LoadUserVariables(file.data(), file.size(), copies, copies), 0);
    }
    uint32_t Get(int i, SobVarCopy copy = kSobLiveCopy)
    {
        uint32_t a = 0, v = 0;
        EXPECT_TRUE(rt.VariableValueAddress(copy, i, &a));
        rt.Memory().Load32(a, &v);
        return v;
    }
    void Set(int i, uint32_t v, SobVarCopy copy = kSobLiveCopy)
    {
        uint32_t a = 0;
        EXPECT_TRUE(rt.VariableValueAddress(copy, i, &a));
        rt.Memory().Store32(a, v);
    }
    void SetAll(uint32_t base, SobVarCopy copy = kSobLiveCopy)
    {
        for (int i = 0; i < 9; ++i)
            Set(i, base + i, copy);
    }
};

bool Selected(int i, int classSelector, int storageSelector)
{
    const int kind = i / 3, cls = i % 3;
    const bool classOk = classSelector >= 1 && classSelector <= 3 ? cls == classSelector - 1 : true;
    return classOk && (storageSelector == 0 || kind == storageSelector - 1);
}

} // namespace

TEST(SobVariables, CopiesPointerCellsAndFixups)
{
    TinyRuntime t;
    const CSobRuntime& rt = t.rt;
    uint32_t score[3], name[3];
    for (int c = 0; c < 3; ++c) {
        const SobVarCopy copy = static_cast<SobVarCopy>(c);
        ASSERT_TRUE(rt.VariableValueAddress(copy, 0, &score[c]));
        ASSERT_TRUE(rt.VariableValueAddress(copy, 1, &name[c]));
        EXPECT_EQ(name[c], score[c] + 4);                 // the pointer cell points at block + 4
        EXPECT_EQ(t.Value(4, copy), score[c] + 5);        // Ptr fixed up to Name + 1 in this copy
        EXPECT_EQ(t.Value(0, copy), 7u);
        EXPECT_EQ(t.Value(1, copy), 0x00636261u);
    }
    EXPECT_NE(score[0], score[1]);
    EXPECT_NE(score[1], score[2]);
    EXPECT_EQ(rt.VariableRecords()[1].kind, 1);
    EXPECT_EQ(t.Word(rt.VariableRecords()[1].address), name[0]);
    EXPECT_EQ(rt.FindVariable(rt.VariableRecords()[3].address), 3);
    EXPECT_EQ(rt.FindVariable(name[0]), -1); // the buffer is not the record's address
    // Kind-1 records take the pointer cells in order.
    const std::vector<uint8_t> two = Bytes()
                                         .Text("SOB1").U32(8).U32(0).U32(0)
                                         .U32(3)
                                         .U8(1).U8(0).U32(4).U32(4)
                                         .U8(0).U8(0).U32(0).U32(4)
                                         .U8(1).U8(0).U32(0).U32(4)
                                         .U32(0).U32(0)
                                         .b;
    CSobRuntime other(1u << 20);
    ASSERT_EQ(other.LoadUserVariables(two.data(), two.size(), false, false), 0);
    const std::vector<SobVarRecord>& r = other.VariableRecords();
    EXPECT_EQ(r[2].address, r[0].address + 4);
    uint32_t a0 = 0, a2 = 0;
    ASSERT_TRUE(other.VariableValueAddress(kSobLiveCopy, 0, &a0));
    ASSERT_TRUE(other.VariableValueAddress(kSobLiveCopy, 2, &a2));
    EXPECT_EQ(a0, a2 + 4);
    EXPECT_EQ(r[1].address, a2);
    EXPECT_FALSE(other.HasInitialCopy());
    EXPECT_FALSE(other.VariableValueAddress(kSobSnapshotCopy, 0, &a0));
}

TEST(SobVariables, OperationsOverTheSelectorGrid)
{
    for (int cs : {0, 1, 2, 3, 4}) {
        for (int ss : {0, 1, 2, 3, 4}) {
            Grid g;
            const std::string at = "class " + std::to_string(cs) + " storage " + std::to_string(ss);
            g.SetAll(100);
            EXPECT_EQ(g.rt.ClearVariables(cs, ss), 0);
            for (int i = 0; i < 9; ++i)
                EXPECT_EQ(g.Get(i), Selected(i, cs, ss) ? 0u : 100u + i) << at << " clear " << i;
            g.SetAll(100);
            EXPECT_EQ(g.rt.ResetVariables(cs, ss), 0);
            for (int i = 0; i < 9; ++i)
                EXPECT_EQ(g.Get(i), Selected(i, cs, ss) ? i + 1u : 100u + i) << at << " reset " << i;
            g.SetAll(200);
            EXPECT_EQ(g.rt.SnapshotVariables(cs, ss), 0);
            for (int i = 0; i < 9; ++i)
                EXPECT_EQ(g.Get(i, kSobSnapshotCopy), Selected(i, cs, ss) ? 200u + i : i + 1u) << at << " snapshot " << i;
            g.SetAll(300, kSobSnapshotCopy);
            EXPECT_EQ(g.rt.RestoreSnapshot(cs, ss), 0);
            for (int i = 0; i < 9; ++i)
                EXPECT_EQ(g.Get(i), Selected(i, cs, ss) ? 300u + i : 200u + i) << at << " restore " << i;
            for (int i = 0; i < 9; ++i)
                EXPECT_EQ(g.Get(i, kSobInitialCopy), i + 1u) << at << " initial kept " << i;
        }
    }
}

TEST(SobVariables, SingleVariablesAndMissingCopies)
{
    Grid g;
    g.SetAll(50);
    const uint32_t v4 = g.rt.VariableRecords()[4].address; // kind 1: its pointer cell
    EXPECT_EQ(g.rt.SnapshotVariable(v4), 0);
    EXPECT_EQ(g.Get(4, kSobSnapshotCopy), 54u);
    EXPECT_EQ(g.Get(3, kSobSnapshotCopy), 4u);
    EXPECT_EQ(g.rt.SnapshotVariable(0x12345), 2);
    EXPECT_EQ(g.rt.AddTrackedVariable(v4), 0);
    EXPECT_EQ(g.rt.AddTrackedVariable(0x12345), 2);
    EXPECT_EQ(g.rt.TrackedVariables(), std::vector<int>{4});
    g.rt.ClearTrackedVariables();
    EXPECT_TRUE(g.rt.TrackedVariables().empty());

    Grid bare(false);
    EXPECT_EQ(bare.rt.ResetVariables(0, 0), 1);
    EXPECT_EQ(bare.rt.SnapshotVariables(0, 0), 1);
    EXPECT_EQ(bare.rt.RestoreSnapshot(0, 0), 1);
    EXPECT_EQ(bare.rt.SnapshotVariable(v4), 1);
    EXPECT_EQ(bare.rt.AddTrackedVariable(v4), 1);
    EXPECT_EQ(bare.rt.GetVariablesSaveSize(2, true), 0u);
    uint8_t buffer[64];
    uint8_t* cursor = buffer;
    size_t left = sizeof buffer;
    EXPECT_EQ(bare.rt.SaveVariables(&cursor, &left, 2, true), 2);
    EXPECT_EQ(bare.rt.SaveVariables(nullptr, &left, 2, false), 1);
}

TEST(SobVariables, BentPointerCellsAreSkipped)
{
    Grid g;
    g.SetAll(10);
    const uint32_t cell = g.rt.VariableRecords()[3].address;
    ASSERT_TRUE(g.rt.Memory().Store32(cell, 0x10)); // below script memory
    EXPECT_EQ(g.rt.ClearVariables(0, 0), 0);
    EXPECT_EQ(g.rt.SnapshotVariables(0, 0), 0);
    EXPECT_EQ(g.rt.RestoreSnapshot(0, 0), 0);
    EXPECT_EQ(g.Get(4), 0u);
    uint32_t a;
    EXPECT_FALSE(g.rt.VariableValueAddress(kSobLiveCopy, 3, &a));
    // Saved as zeros, skipped when loaded back.
    std::vector<uint8_t> block(g.rt.GetVariablesSaveSize(2, false));
    uint8_t* out = block.data();
    size_t left = block.size();
    ASSERT_EQ(g.rt.SaveVariables(&out, &left, 2, false), 0);
    const uint8_t* in = block.data();
    left = block.size();
    EXPECT_EQ(g.rt.LoadVariables(&in, &left), 0);
}

TEST(SobVariables, DamagedUserVariableFilesKeepNothing)
{
    // Offsets in the tiny game's USER_VAR.SOB: D at 4, V at 40, records at 44, P at 94, fix-up at
    // 98, end word at 106.
    struct Case {
        const char* what;
        size_t at;     // SIZE_MAX: cut the file to value bytes
        uint32_t value;
        bool byte;     // write one byte instead of a word
        int result;
    } cases[] = {
        {"magic", 0, 'X', true, 3},
        {"empty", SIZE_MAX, 0, false, 3},
        {"D past the file", 4, 1000, false, 4},
        {"V past the file", 40, 100, false, 4},
        {"P past the file", 94, 5, false, 4},
        {"fix-up list not ended by 0", 106, 1, false, 4},
        {"cut before the end word", SIZE_MAX, 109, false, 4},
        {"kind 3", 44, 3, true, 4},
        {"class 3", 45, 3, true, 4},
        {"offset + size past D", 46, 30, false, 4},
        {"size wrapping 32 bits", 50, 0xFFFFFFFF, false, 4},
        {"fix-up cell past D", 98, 30, false, 4},
        {"fix-up target outside D", 102, 32, false, 4},
    };
    TinyRuntime t;
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = HandUserVariables();
        if (c.at == SIZE_MAX)
            bytes.resize(c.value);
        else if (c.byte)
            bytes[c.at] = static_cast<uint8_t>(c.value);
        else
            SetU32(bytes, c.at, c.value);
        const uint64_t allocated = t.rt.Memory().AllocatedBytes();
        EXPECT_EQ(t.rt.LoadUserVariables(bytes.data(), bytes.size(), true, true), c.result) << c.what;
        EXPECT_EQ(t.rt.VariableRecords().size(), 5u) << c.what;
        EXPECT_EQ(t.Value(0), 7u) << c.what;
        EXPECT_EQ(t.rt.Memory().AllocatedBytes(), allocated) << c.what;
    }
    // No room in script memory for the copies.
    CSobRuntime tiny(CScriptMemory::kMinSize);
    const std::vector<uint8_t> big = Bytes().Text("SOB1").U32(4000).b;
    std::vector<uint8_t> file = big;
    file.resize(big.size() + 4000 + 12, 0);
    EXPECT_EQ(tiny.LoadUserVariables(file.data(), file.size(), true, true), kSobSysNoScriptMemory);
    EXPECT_TRUE(tiny.VariableRecords().empty());
}

TEST(SobVariables, SaveBlocksRoundTripPerSelector)
{
    // Score (kind 0, class 1, 4), Name (1, 1, 16), Flags (0, 2, 4), Temp (2, 0: never saved), Ptr (0, 0, 4).
    TinyRuntime t;
    EXPECT_EQ(t.rt.GetVariablesSaveSize(0, false), 1u + 5 + 17);
    EXPECT_EQ(t.rt.GetVariablesSaveSize(1, false), 1u + 5);
    EXPECT_EQ(t.rt.GetVariablesSaveSize(7, true), 1u + 5 + 17 + 5 + 5);
    struct Case {
        int selector;
        bool restored[5];
    } cases[] = {
        {0, {true, true, false, false, false}},
        {1, {false, false, true, false, false}},
        {-1, {true, true, true, false, true}},
    };
    for (const Case& c : cases) {
        uint32_t saved[5];
        for (int i = 0; i < 5; ++i) {
            uint32_t a;
            ASSERT_TRUE(t.rt.VariableValueAddress(kSobLiveCopy, i, &a));
            t.rt.Memory().Store32(a, 1000 + i + 10 * c.selector);
            saved[i] = 1000 + i + 10 * c.selector;
        }
        std::vector<uint8_t> block(t.rt.GetVariablesSaveSize(c.selector, false) + 3, 0xEE);
        uint8_t* out = block.data();
        size_t left = block.size();
        ASSERT_EQ(t.rt.SaveVariables(&out, &left, c.selector, false), 0);
        EXPECT_EQ(left, 3u);
        EXPECT_EQ(out, block.data() + block.size() - 3);
        EXPECT_EQ(block[0], static_cast<uint8_t>(c.selector));
        for (int i = 0; i < 5; ++i) {
            uint32_t a;
            t.rt.VariableValueAddress(kSobLiveCopy, i, &a);
            t.rt.Memory().Store32(a, 5);
        }
        const uint8_t* in = block.data();
        left = block.size();
        ASSERT_EQ(t.rt.LoadVariables(&in, &left), 0) << c.selector;
        EXPECT_EQ(left, 3u);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(t.Value(i), c.restored[i] ? saved[i] : 5u) << c.selector << " variable " << i;
    }
    // From the snapshot copy.
    ASSERT_EQ(t.rt.SnapshotVariables(0, 0), 0);
    std::vector<uint8_t> block(t.rt.GetVariablesSaveSize(1, true));
    uint8_t* out = block.data();
    size_t left = block.size();
    ASSERT_EQ(t.rt.SaveVariables(&out, &left, 1, true), 0);
    const uint32_t flags = t.Value(2);
    EXPECT_EQ(block, (std::vector<uint8_t>{1, 0, uint8_t(flags), uint8_t(flags >> 8), uint8_t(flags >> 16), uint8_t(flags >> 24)}));
    // Too small a buffer: nothing written, nothing advanced.
    std::vector<uint8_t> small(t.rt.GetVariablesSaveSize(0, false) - 1, 0xEE);
    out = small.data();
    left = small.size();
    EXPECT_EQ(t.rt.SaveVariables(&out, &left, 0, false), 3);
    EXPECT_EQ(out, small.data());
    EXPECT_EQ(small, std::vector<uint8_t>(small.size(), 0xEE));
}

TEST(SobVariables, DamagedSaveBlocksChangeNothing)
{
    TinyRuntime t;
    std::vector<uint8_t> block(t.rt.GetVariablesSaveSize(-1, false));
    uint8_t* out = block.data();
    size_t left = block.size();
    ASSERT_EQ(t.rt.SaveVariables(&out, &left, -1, false), 0);
    for (int i = 0; i < 5; ++i) {
        uint32_t a;
        t.rt.VariableValueAddress(kSobLiveCopy, i, &a);
        t.rt.Memory().Store32(a, 77);
    }
    auto unchanged = [&](const char* what) {
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(t.Value(i), 77u) << what << " variable " << i;
    };
    std::vector<uint8_t> kind = block;
    kind[block.size() - 5] = 1; // Ptr's kind byte
    const uint8_t* in = kind.data();
    left = kind.size();
    EXPECT_EQ(t.rt.LoadVariables(&in, &left), 1);
    EXPECT_EQ(in, kind.data());
    unchanged("last kind byte changed");
    in = block.data();
    left = block.size() - 1;
    EXPECT_EQ(t.rt.LoadVariables(&in, &left), 1);
    unchanged("one byte short");
    left = 0;
    EXPECT_EQ(t.rt.LoadVariables(&in, &left), 1);
    EXPECT_EQ(t.rt.LoadVariables(nullptr, &left), 1);
    unchanged("empty");
}
