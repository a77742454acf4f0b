// The SOB runtime: the tiny game's files against the writers and run end to end, the module
// table's name rule and bits, and linking (each table's value, damaged images refused).
#include "script/sob_runtime.h"

#include <gtest/gtest.h>

#include "authoring/sob_sample_game.h"
#include "files/file_manager.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "support/sob_files.h"

using namespace sobtest;

TEST(SobRuntimeFiles, WritersGiveTheHandWrittenBytes)
{
    samples::SobSampleGame game;
    ASSERT_TRUE(samples::MakeSobSampleGame(&game));
    EXPECT_EQ(game.moduleTable, HandModuleTable());
    EXPECT_EQ(game.userVariables, HandUserVariables());
    EXPECT_EQ(game.library, HandLibrary());
    EXPECT_EQ(game.main, HandMain());
}

TEST(SobRuntimeFiles, TinyGameLoadsFromDiskAndRuns)
{
    TempFolder dir;
    CFileManager manager;
    ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
    g_pFileManager = &manager;
    auto text = [](const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); };
    dir.Write("SCRIPT/SOB_INIT.DAT", text(HandModuleTable()));
    dir.Write("SCRIPT/USER_VAR.SOB", text(HandUserVariables()));
    dir.Write("SCRIPT/FUNC_LIB.SOB", text(HandLibrary()));
    dir.Write("SCRIPT/main.sob", text(HandMain()));
    {
        CSobRuntime rt(1u << 20);
        ASSERT_EQ(rt.AddNative(SumNative), 0);
        ASSERT_EQ(rt.LoadSystemFiles("SCRIPT\\SOB_INIT.DAT", "SCRIPT\\USER_VAR.SOB", "SCRIPT\\FUNC_LIB.SOB", true, true), 0);
        EXPECT_EQ(rt.LoadSystemFiles(nullptr, nullptr, nullptr, true, true), kSobSysAlreadyLoaded);
        // A lower-case file name is upper-cased and matches "MAIN".
        ASSERT_EQ(rt.LoadModule("SCRIPT\\main.sob", nullptr), 0);
        EXPECT_EQ(rt.LoadModule("SCRIPT\\NONE.SOB", nullptr), kSobLoadOpenFailed);
        EXPECT_EQ(rt.CurrentEntryIndex(), 0);
        EXPECT_EQ(rt.Machine().Ip(), rt.GetEntry());
        rt.SetRetTgsExp(55);
        EXPECT_EQ(rt.Machine().Run(), kSobLeave) << static_cast<int>(rt.Machine().Fault());
        uint32_t a = 0;
        auto value = [&](size_t i) {
            EXPECT_TRUE(rt.VariableValueAddress(kSobLiveCopy, i, &a));
            uint32_t v = 0;
            rt.Memory().Load32(a, &v);
            return v;
        };
        EXPECT_EQ(value(0), 17u);           // the library added 10 to Score
        EXPECT_EQ(value(2), 7u);            // Flags = native 0 (3, 4)
        EXPECT_EQ(value(3), 55u);           // Temp = retTgsExp
        EXPECT_EQ(rt.RetTgsExp(), 0x00636261); // retTgsExp = "abc"
        EXPECT_EQ(value(1), 0x44434241u);   // Name's buffer through its pointer cell
        EXPECT_EQ(rt.UnloadModule(), 0);
        EXPECT_EQ(rt.LoadedModules().size(), 1u);
        EXPECT_TRUE(rt.LoadedModules()[0].library);
    }
    // Missing system files are skipped.
    CSobRuntime empty(1u << 20);
    EXPECT_EQ(empty.LoadSystemFiles("SCRIPT\\A.DAT", "SCRIPT\\B.SOB", "SCRIPT\\C.SOB", true, true), 0);
    EXPECT_FALSE(empty.HasModuleTable());
    g_pFileManager = nullptr;
}

TEST(SobRuntimeModules, NameRuleAndUnknownNames)
{
    TinyRuntime t;
    const std::vector<uint8_t> main = HandMain();
    struct Case {
        const char* name;
        int result;
    } cases[] = {
        {"MAIN.SOB", 0}, {"main.sob", 0}, {"SCRIPT\\Main.Sob", 0}, {"a/b\\MAIN", 0}, {"MAIN.X.SOB", 2},
        {"MAINX.SOB", 2}, {"COMMON.SOB", 0}, {"", 2}, {"MAI.SOB", 2},
    };
    for (const Case& c : cases) {
        const size_t before = t.rt.LoadedModules().size();
        EXPECT_EQ(t.Load(main, c.name), c.result) << c.name;
        EXPECT_EQ(t.rt.LoadedModules().size(), before + (c.result == 0)) << c.name;
        if (c.result == 0)
            t.rt.UnloadModule();
    }
    // A table entry spelled in lower case never matches, and the first of two equal names wins.
    CSobRuntime rt(1u << 20);
    const std::vector<uint8_t> table =
        Bytes().U16(3).U8(5).Text("main").U8(0).U16(1).U16(1).U8(4).Text("DUP").U8(0).U16(1).U16(1).U8(4).Text("DUP").U8(0).U16(1).U16(1).b;
    ASSERT_EQ(rt.LoadModuleTable(table.data(), table.size()), 0);
    ASSERT_EQ(rt.AddNative(SumNative), 0);
    const std::vector<uint8_t> vars = HandUserVariables(), lib = HandLibrary();
    ASSERT_EQ(rt.LoadUserVariables(vars.data(), vars.size(), false, false), 0);
    ASSERT_EQ(rt.LoadFunctionLibrary(lib.data(), lib.size()), 0);
    EXPECT_EQ(rt.LoadModuleBytes("main.sob", main.data(), main.size(), nullptr), kSobLoadBadModule);
    EXPECT_EQ(rt.LoadModuleBytes("dup.sob", main.data(), main.size(), nullptr), 0);
    EXPECT_EQ(rt.CurrentEntryIndex(), 1);
}

TEST(SobRuntimeModules, BitsFollowLoadAndUnload)
{
    TinyRuntime t;
    // No current entry before a program is loaded (linking the library leaves none).
    EXPECT_EQ(t.rt.CurrentEntryIndex(), -1);
    EXPECT_FALSE(t.rt.SetReadBit(0, false));
    EXPECT_TRUE(t.rt.SetReadBit(31, true)); // the common entry works without a module
    EXPECT_TRUE(t.rt.TestReadBit(31, true));
    EXPECT_FALSE(t.rt.SetChoiceBit(0, true)); // the common entry has no choice bits
    const std::vector<uint8_t> main = HandMain();
    ASSERT_EQ(t.Load(main, "MAIN.SOB"), 0);
    ASSERT_EQ(t.Load(main, "COMMON.SOB"), 0);
    EXPECT_EQ(t.rt.CurrentEntryIndex(), 1);
    EXPECT_TRUE(t.rt.SetReadBit(3, false)); // COMMON's bit 3
    EXPECT_FALSE(t.rt.SetChoiceBit(0, false));
    EXPECT_EQ(t.rt.UnloadModule(), 0);
    EXPECT_EQ(t.rt.CurrentEntryIndex(), 0);
    EXPECT_FALSE(t.rt.TestReadBit(3, false)); // MAIN's bit 3
    EXPECT_TRUE(t.rt.SetReadBit(15, false));
    EXPECT_FALSE(t.rt.SetReadBit(16, false)); // past MAIN's 16 bits
    EXPECT_TRUE(t.rt.SetChoiceBit(7, false));
    EXPECT_TRUE(t.rt.TestChoiceBit(7, false));
    EXPECT_TRUE(t.rt.TestReadBit(3, true));
    EXPECT_EQ(t.rt.UnloadModule(), 0);
    EXPECT_EQ(t.rt.CurrentEntryIndex(), -1);
    EXPECT_FALSE(t.rt.TestChoiceBit(7, false));
    // Nothing more to unload: the library stays.
    EXPECT_EQ(t.rt.UnloadModule(), 0);
    EXPECT_EQ(t.rt.LoadedModules().size(), 1u);
    EXPECT_NE(t.rt.LibraryBase(), 0u);
    // Without a module table every bit call answers false and modules load with index -1.
    CSobRuntime bare(1u << 20);
    EXPECT_FALSE(bare.SetReadBit(0, true));
    EXPECT_FALSE(bare.TestChoiceBit(0, false));
    const std::vector<uint8_t> plain = Bytes().Text("SOB0").U32(24).Words({0, 0, 0, 0, 0, 0}).U32(4).U32(4).U32(1).b;
    EXPECT_EQ(bare.LoadModuleBytes("ANY.SOB", plain.data(), plain.size(), nullptr), 0);
    EXPECT_EQ(bare.LoadedModules().back().tableIndex, -1);
    EXPECT_EQ(bare.CallAddress(bare.GetEntry()), kSobLeave);
}

TEST(SobRuntimeModules, DamagedModuleTablesKeepNothing)
{
    const std::vector<std::vector<uint8_t>> damaged = {
        {},
        {2},
        Bytes().U16(1).b,                                      // entry past the end
        Bytes().U16(1).U8(0).U16(1).U16(1).b,                  // name length 0
        Bytes().U16(1).U8(5).Text("MAIN").U8(0).U16(1).b,      // bit counts cut
        Bytes().U16(2).U8(2).Text("A").U8(0).U16(1).U16(1).b,  // second entry missing
    };
    for (const std::vector<uint8_t>& table : damaged) {
        CSobRuntime rt(1u << 20);
        EXPECT_EQ(rt.LoadModuleTable(table.data(), table.size()), kSobSysBadModuleTable) << table.size();
        EXPECT_FALSE(rt.HasModuleTable());
    }
}

TEST(SobRuntimeLink, EachTableWritesItsValue)
{
    TinyRuntime t;
    ASSERT_EQ(t.Load(HandMain()), 0);
    const uint32_t image = t.rt.GetEntry();
    const uint32_t lib = t.rt.LibraryBase();
    const std::vector<SobVarRecord>& vars = t.rt.VariableRecords();
    EXPECT_EQ(t.Word(image + 4), lib);                                // 4: library base + 0
    EXPECT_EQ(t.Word(image + 12), CScriptMemory::kNativeBase + 0);    // 2: native 0
    EXPECT_EQ(t.Word(image + 16), image + 64);                        // 5: own image + 64
    EXPECT_EQ(t.Word(image + 20), vars[2].address);                   // 1: Flags' storage
    EXPECT_EQ(t.Word(image + 28), t.rt.RetTgsExpAddress());           // 3: host variable 0
    EXPECT_EQ(t.Word(image + 40), vars[1].address);                   // 1: Name's pointer cell
    EXPECT_EQ(t.Word(image + 52), 0x44434241u);                       // not linked
    EXPECT_EQ(t.Word(lib + 8), lib + 16);                             // the library's own table
    EXPECT_EQ(t.rt.HostVariable(0), t.rt.RetTgsExpAddress());
    // The same resolution for other linkers (scenario expressions), with its refusals.
    struct Resolve {
        int table;
        uint32_t value;
        bool ok;
        uint32_t cell;
    } resolves[] = {
        {1, 1, true, vars[1].address}, {1, 5, false, 0}, {2, 0, true, CScriptMemory::kNativeBase},
        {2, 1, false, 0}, {3, 0, true, t.rt.RetTgsExpAddress()}, {3, 1, false, 0}, {4, 32, true, lib + 32},
        {4, 33, false, 0}, {5, 8, true, 0x20008}, {5, 9, false, 0}, {6, 0, false, 0},
    };
    for (const Resolve& r : resolves) {
        uint32_t cell = 0;
        EXPECT_EQ(t.rt.ResolveLink(r.table, r.value, 0x20000, 8, &cell), r.ok) << r.table << " " << r.value;
        if (r.ok) {
            EXPECT_EQ(cell, r.cell) << r.table;
        }
    }
    // A foreign machine over the same memory gets ip, the sentinel and the natives.
    CSobVM other(t.rt.Memory());
    ASSERT_EQ(other.AllocateStack(64), 0);
    ASSERT_EQ(t.rt.LoadModuleBytes("MAIN", HandMain().data(), HandMain().size(), &other), 0);
    EXPECT_EQ(other.Ip(), t.rt.GetEntry());
    EXPECT_EQ(other.Run(), kSobLeave);
    // A machine over other memory is refused.
    CScriptMemory elsewhere(1u << 16);
    CSobVM stranger(elsewhere);
    const size_t count = t.rt.LoadedModules().size();
    EXPECT_EQ(t.rt.LoadModuleBytes("MAIN", HandMain().data(), HandMain().size(), &stranger), kSobLoadBadMachine);
    EXPECT_EQ(t.rt.LoadedModules().size(), count);
}

// Long tables are checked several entries at a time: a bad entry is found wherever it sits, one
// past either limit, and entries right at the limits link.
TEST(SobRuntimeLink, EveryEntryOfALongTableIsChecked)
{
    constexpr uint32_t kImage = 72; // bytes; cells up to offset 68, own offsets up to 72
    auto module = [&](const std::vector<std::pair<uint32_t, uint32_t>>& entries) {
        Bytes b;
        b.Text("SOB0").U32(static_cast<uint32_t>(4 * 4 + 4 + 8 * entries.size() + 4));
        b.U32(0).U32(0).U32(0).U32(0).U32(static_cast<uint32_t>(entries.size()));
        for (const auto& [offset, value] : entries)
            b.U32(offset).U32(value);
        b.U32(0).U32(64).U32(kImage);
        for (uint32_t i = 0; i < kImage / 4; ++i)
            b.U32(0);
        return b.b;
    };
    for (size_t count : {1, 2, 3, 7, 8, 9, 17}) {
        std::vector<std::pair<uint32_t, uint32_t>> entries;
        for (size_t i = 0; i < count; ++i)
            entries.emplace_back(i % 2 ? kImage - 4 : static_cast<uint32_t>(4 * (i % 17)), i % 3 ? kImage : 0);
        TinyRuntime good;
        ASSERT_EQ(good.Load(module(entries)), kSobLoadOk) << count;
        const uint32_t image = good.rt.GetEntry();
        EXPECT_EQ(good.Word(image + entries.back().first), image + entries.back().second) << count;
        for (size_t bad = 0; bad < count; ++bad) {
            for (const auto& [offset, value] : {std::pair{kImage - 3, 0u}, std::pair{0u, kImage + 1}}) {
                std::vector<std::pair<uint32_t, uint32_t>> damaged = entries;
                damaged[bad] = {offset, value};
                TinyRuntime t;
                EXPECT_EQ(t.Load(module(damaged)), kSobLoadLinkFailed) << count << " " << bad << " " << offset;
                EXPECT_TRUE(t.rt.LoadedModules().size() <= 1u) << count;
            }
        }
    }
}

TEST(SobRuntimeLink, DamagedImagesChangeNothing)
{
    struct Case {
        const char* what;
        size_t at;     // byte to overwrite with a 32-bit value (SIZE_MAX: cut the file instead)
        uint32_t value;
    } cases[] = {
        {"header longer than the file", kMainH, 1000},
        {"header too short for its tables", kMainH, 20},
        {"code longer than the image", kMainC, 73},
        {"image past the file", kMainS, 76},
        {"table 5 count past the header", 88, 50},
        {"cell past the image", 92, 70},
        {"user variable beyond its table", 16, 5},
        {"native beyond its table", 52, 1},
        {"host variable beyond its table", 64, 1},
        {"library offset beyond the library", 84, 33},
        {"own offset beyond the image", 96, 73},
        {"word after table 5 not 0", 100, 1},
        {"file cut inside the image", SIZE_MAX, 183},
        {"file cut inside the header", SIZE_MAX, 50},
    };
    TinyRuntime t;
    ASSERT_EQ(t.Load(HandMain()), 0);
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = HandMain();
        if (c.at == SIZE_MAX)
            bytes.resize(c.value);
        else
            SetU32(bytes, c.at, c.value);
        const uint64_t allocated = t.rt.Memory().AllocatedBytes();
        EXPECT_EQ(t.Load(bytes, "COMMON.SOB"), kSobLoadLinkFailed) << c.what;
        EXPECT_EQ(t.rt.LoadedModules().size(), 2u) << c.what;
        EXPECT_EQ(t.rt.CurrentEntryIndex(), 0) << c.what;
        EXPECT_EQ(t.rt.Memory().AllocatedBytes(), allocated) << c.what;
    }
    // Table 4 with no library loaded.
    TinyRuntime noLibrary(true, false);
    EXPECT_EQ(noLibrary.Load(HandMain()), kSobLoadLinkFailed);
    EXPECT_TRUE(noLibrary.rt.LoadedModules().empty());
    // The library: damaged → 6, a library inside the library → 6, a second library → 6.
    std::vector<uint8_t> lib = HandLibrary();
    SetU32(lib, 52, 1);
    EXPECT_EQ(noLibrary.rt.LoadFunctionLibrary(lib.data(), lib.size()), kSobSysLibraryLink);
    lib = Bytes().Text("SOB2").U32(32).U32(0).U32(0).U32(0).U32(1).Words({0, 0}).U32(0).U32(0).U32(4).U32(4).U32(1).b;
    EXPECT_EQ(noLibrary.rt.LoadFunctionLibrary(lib.data(), lib.size()), kSobSysLibraryLink);
    lib = HandLibrary();
    lib[3] = '0';
    EXPECT_EQ(noLibrary.rt.LoadFunctionLibrary(lib.data(), lib.size()), kSobSysBadLibraryMagic);
    EXPECT_EQ(noLibrary.rt.LibraryBase(), 0u);
    lib = HandLibrary();
    EXPECT_EQ(t.rt.LoadFunctionLibrary(lib.data(), lib.size()), kSobSysLibraryLink);
    // A wrong magic and no room in script memory.
    std::vector<uint8_t> bytes = HandMain();
    bytes[3] = '1';
    EXPECT_EQ(t.Load(bytes), kSobLoadBadModule);
    CSobRuntime tiny(CScriptMemory::kMinSize);
    const std::vector<uint8_t> big = Bytes().Text("SOB0").U32(24).Words({0, 0, 0, 0, 0, 0}).U32(0).U32(8192).b;
    std::vector<uint8_t> image = big;
    image.resize(big.size() + 8192);
    EXPECT_EQ(tiny.LoadModuleBytes("A", image.data(), image.size(), nullptr), kSobLoadNoScriptMemory);
    EXPECT_TRUE(tiny.LoadedModules().empty());
}

TEST(SobRuntimeLink, NativesAndStack)
{
    CSobRuntime rt(1u << 20);
    EXPECT_EQ(rt.AddNative(nullptr), 1);
    for (uint32_t i = 0; i < CSobRuntime::kMaxNatives; ++i)
        ASSERT_EQ(rt.AddNative(SumNative), 0);
    EXPECT_EQ(rt.AddNative(SumNative), 1);
    EXPECT_EQ(rt.NativeCount(), CSobRuntime::kMaxNatives);
    EXPECT_EQ(rt.StackSize(), CSobRuntime::kDefaultStackCells);
    EXPECT_EQ(rt.Machine().StackEnd() - rt.Machine().StackBase(), CSobRuntime::kDefaultStackCells * 4);
    // A full stack refuses the module and keeps nothing.
    ASSERT_EQ(rt.SetStackSize(1), 0);
    ASSERT_EQ(rt.PushZero(), 0);
    const std::vector<uint8_t> plain = Bytes().Text("SOB0").U32(24).Words({0, 0, 0, 0, 0, 0}).U32(4).U32(4).U32(1).b;
    EXPECT_EQ(rt.LoadModuleBytes("A", plain.data(), plain.size(), nullptr), kSobLoadBadMachine);
    EXPECT_TRUE(rt.LoadedModules().empty());
}
