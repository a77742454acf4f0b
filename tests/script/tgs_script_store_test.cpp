// The scenario store: TOB files and TGS_INIT.DAT written by hand from their layouts (and by the
// packer from source), the load checks, labels and messages, calls, jumps and returns across
// scripts, the saved state and the TSLG read log.
#include <gtest/gtest.h>

#include "files/file_manager.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "support/sob_files.h"
#include "support/tgs_test_frame.h"

using sobtest::Bytes;
using tgstest::Host;
using tgstest::Pack;

namespace {

const char* kSmallSource = "*top\n@message\nAB\n@page\n*end\n";

// The small scenario's text area: a message record (command 12, always, one constant 0), "AB",
// and a page record (command 16, no arguments).
Bytes SmallText()
{
    return Bytes()
        .Text("[ ").U32(12).U8(1).U32(11).U8(1).U8(1).U8(0).U32(0)
        .Text("AB")
        .Text("[ ").U32(16).U8(1).U32(5).U8(0);
}

std::vector<uint8_t> SmallTob(bool tob1)
{
    Bytes b;
    b.Text(tob1 ? "TOB1" : "TOB0").U32(26).U32(2);
    b.U8(8).Text("top").U8(0).U32(0);
    b.U8(8).Text("end").U8(0).U32(32);
    if (tob1)
        b.U32(16).U32(1).U32(0).U32(7);
    else
        b.U32(12).U32(1).U32(0);
    const Bytes text = SmallText();
    b.b.insert(b.b.end(), text.b.begin(), text.b.end());
    return b.b;
}

TEST(TgsScriptStore, HandWrittenFilesMatchThePacker)
{
    EXPECT_EQ(Pack(kSmallSource), SmallTob(false));
    EXPECT_EQ(Pack("*top\n@message word=7\nAB\n@page\n*end\n", true), SmallTob(true));

    std::vector<uint8_t> table;
    std::string error;
    ASSERT_TRUE(WriteTgsInit({{"MAIN", 2, 5}, {"SUB", 0, 0}}, &table, &error));
    EXPECT_EQ(table, Bytes().U32(2).U8(5).Text("MAIN").U8(0).U32(2).U32(5).U8(4).Text("SUB").U8(0).U32(0).U32(0).b);
}

TEST(TgsScriptStore, LoadsLabelsMessagesAndWords)
{
    Host h;
    CTgsFrame& f = *h.frame;
    for (bool tob1 : {false, true}) {
        const std::vector<uint8_t> file = SmallTob(tob1);
        ASSERT_EQ(f.LoadScriptBytes("MAIN", file.data(), file.size(), true), kTobLoadOk);
        const TobScript* s = f.PreloadedScripts().back();
        EXPECT_EQ(s->textSize, 32u);
        EXPECT_EQ(f.FindLabel(s, "top"), 0);
        EXPECT_EQ(f.FindLabel(s, "end"), 32);
        EXPECT_EQ(f.FindLabel(s, "none"), -1);
        EXPECT_EQ(f.FindLabel(s, nullptr), 0);
        EXPECT_EQ(f.GetMessageOffset(s, 0), 0);
        EXPECT_EQ(f.GetMessageOffset(s, 1), -1);
        uint32_t word = 0;
        EXPECT_EQ(f.GetMessageWord(s, 0, &word), tob1);
        EXPECT_EQ(word, tob1 ? 7u : 0u);
        // The end of the text area reads as NUL.
        uint8_t end = 1;
        EXPECT_TRUE(h.rt.Memory().Load8(s->TextAddress() + s->textSize, &end));
        EXPECT_EQ(end, 0);
    }
}

TEST(TgsScriptStore, DamagedFilesAreRefused)
{
    const std::vector<uint8_t> good = SmallTob(true);
    auto with = [&](size_t at, uint32_t v) {
        std::vector<uint8_t> b = good;
        sobtest::SetU32(b, at, v);
        return b;
    };
    const size_t l2At = 4 + 26;
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
    } cases[] = {
        {"bad magic", Bytes().Text("TOB2").U32(8).U32(0).U32(8).U32(0).b},
        {"too short", Bytes().Text("TOB0").U32(8).b},
        {"L1 below its two words", with(4, 7)},
        {"L1 past the file", with(4, 0x7FFFFFF0)},
        {"L2 below its two words", with(l2At, 4)},
        {"L2 past the file", with(l2At, 100)},
        {"message words past L2", with(l2At + 4, 2)},
        {"message offset past the text", with(l2At + 8, 33)},
        {"label count past L1", with(8, 3)},
        {"label offset past the text", with(12 + 5, 33)},
        {"label n below 5", [&] { auto b = good; b[12] = 4; return b; }()},
        {"label name without NUL", [&] { auto b = good; b[16] = 'x'; return b; }()},
        {"label entry past L1", [&] { auto b = good; b[21] = 20; return b; }()},
    };
    for (const Case& c : cases) {
        Host h;
        const uint64_t before = h.rt.Memory().AllocatedBytes();
        EXPECT_EQ(h.frame->LoadScriptBytes("MAIN", c.file.data(), c.file.size(), false), kTobLoadDamaged) << c.name;
        EXPECT_TRUE(h.frame->ScriptStack().empty()) << c.name;
        EXPECT_EQ(h.rt.Memory().AllocatedBytes(), before) << c.name;
    }
    // No room in script memory: 4.
    CSobRuntime tiny(64 * 1024);
    CTgsFrame frame(tiny);
    std::string text(70 * 1024, 'a');
    const std::vector<uint8_t> big = Pack("*x\n" + text + "\n");
    EXPECT_EQ(frame.LoadScriptBytes("MAIN", big.data(), big.size(), false), kTobLoadNoMemory);
}

TEST(TgsScriptStore, ScriptTableDecidesWhichScriptsLoad)
{
    Host h;
    tgstest::TestFrame& f = *h.frame;
    std::vector<uint8_t> table;
    std::string error;
    ASSERT_TRUE(WriteTgsInit({{"MAIN", 10, 3}, {"Sub", 4, 0}}, &table, &error));
    h.frame->AddFile("SCRIPT\\TGS_INIT.DAT", table);
    EXPECT_EQ(f.SetScriptFolder("SCRIPT"), 0);
    EXPECT_EQ(f.ScriptFolder(), "SCRIPT\\");
    EXPECT_EQ(f.SetScriptFolder("SCRIPT\\"), 0);
    EXPECT_EQ(f.ScriptFolder(), "SCRIPT\\");
    EXPECT_EQ(f.SetScriptFolder(nullptr), 1);
    EXPECT_EQ(f.LoadScriptTable("NONE.DAT"), 1);
    ASSERT_EQ(f.LoadScriptTable("TGS_INIT.DAT"), 0);
    const std::vector<uint8_t> file = SmallTob(false);
    f.AddFile("SCRIPT\\main.TOB", file);
    f.AddFile("SCRIPT\\Sub.TOB", file);
    f.AddFile("SCRIPT\\SUB.TOB", file);
    EXPECT_EQ(f.StartScript("main"), 1 + kTobLoadNotInTable); // the name is compared byte for byte
    EXPECT_EQ(f.PreloadScript("SUB"), kTobLoadNotInTable);
    EXPECT_EQ(f.PreloadScript("Sub"), kTobLoadOk);
    EXPECT_EQ(f.StartScript("NONE"), 1 + kTobLoadOpenFailed);

    // Read bits follow the current script; counts over one entry (any case) or all.
    f.AddFile("SCRIPT\\MAIN.TOB", file);
    ASSERT_EQ(f.StartScript("MAIN"), 0);
    EXPECT_EQ(f.StartScript("MAIN"), 1);
    EXPECT_FALSE(f.IsMessageRead(3));
    EXPECT_EQ(f.SetMessageRead(3), 0);
    EXPECT_EQ(f.SetMessageRead(10), -1);
    EXPECT_TRUE(f.IsMessageRead(3));
    EXPECT_EQ(f.GetMessageCount(nullptr), 14u);
    EXPECT_EQ(f.GetMessageCount("main"), 10u);
    EXPECT_EQ(f.GetReadMessageCount(nullptr), 1u);
    EXPECT_EQ(f.GetMessageCount("NONE"), 0u);
    EXPECT_FALSE(f.IsAllRead("MAIN"));
    for (uint32_t i = 0; i < 4; ++i)
        f.ScriptTableEntry(1)->readBits.SetBit(i, 1);
    EXPECT_TRUE(f.IsAllRead("sub"));
    EXPECT_FALSE(f.IsAllRead(nullptr));

    // Damaged tables keep nothing.
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } damaged[] = {
        {"entry past the end", Bytes().U32(1).U8(5).Text("MAIN").U8(0).U32(1).b},
        {"name length 0", Bytes().U32(1).U8(0).U32(1).U32(1).b},
        {"count beyond the bytes", Bytes().U32(1000).U8(2).Text("A").U8(0).U32(1).U32(1).b},
        {"bit count beyond the limit", Bytes().U32(1).U8(2).Text("A").U8(0).U32(0xFFFFFFFF).U32(1).b},
        {"bit counts together beyond the limit", [] {
             // Ten bytes an entry, each at the per-entry limit: the whole table is bounded.
             Bytes b;
             b.U32(3);
             for (int i = 0; i < 3; ++i)
                 b.U8(2).Text("A").U8(0).U32(CTgsScriptStore::kMaxTableBits).U32(0);
             return b.b;
         }()},
    };
    for (const auto& d : damaged) {
        EXPECT_EQ(f.LoadScriptTableBytes(d.bytes.data(), d.bytes.size()), 2) << d.name;
        EXPECT_EQ(f.ScriptTableCount(), 2u) << d.name;
    }
}

// Three scripts: MAIN on the script stack, A preloaded, B loaded by name.
struct ThreeScripts : Host {
    ThreeScripts()
    {
        frame->AddFile("MAIN.TOB", Pack("*m1\nm\n*m2\nmm\n"));
        frame->AddFile("A.TOB", Pack("*a1\na\n*a2\naa\n"));
        frame->AddFile("B.TOB", Pack("*b1\nb\n*b2\nbb\n"));
        EXPECT_EQ(frame->StartScript("MAIN"), 0);
        EXPECT_EQ(frame->PreloadScript("A"), 0);
    }
    std::string Current() const { return frame->CurrentScript() ? frame->CurrentScript()->name : "-"; }
    uint32_t Offset(uint32_t address) const { return address - frame->CurrentScript()->TextAddress(); }
};

TEST(TgsScriptStore, CallsJumpsAndReturnsAcrossScripts)
{
    ThreeScripts t;
    CTgsFrame& f = *t.frame;
    f.SetCursor(1);
    // A call into the preloaded script, then into B (loaded to the script stack), and back.
    uint32_t at = f.CallLabel("a", "a2", 0);
    ASSERT_NE(at, 0u);
    EXPECT_EQ(t.Current(), "A");
    EXPECT_EQ(t.Offset(at), 1u);
    f.SetCursor(2);
    at = f.CallLabel("B", "b2", 0);
    EXPECT_EQ(t.Current(), "B");
    EXPECT_EQ(f.ScriptStack().size(), 2u);
    EXPECT_EQ(f.ReleasePreloaded("A"), 3); // a pending return refers to it
    at = f.ReturnFromLabel(nullptr, nullptr, 0);
    EXPECT_EQ(t.Current(), "A");
    EXPECT_EQ(t.Offset(at), 2u);
    EXPECT_EQ(f.ScriptStack().size(), 1u); // B was freed
    at = f.ReturnFromLabel(nullptr, nullptr, 0xFFFFFFFFu);
    EXPECT_EQ(t.Current(), "MAIN");
    EXPECT_EQ(t.Offset(at), 0u);
    EXPECT_EQ(f.ReturnFromLabel(nullptr, nullptr, 0), 0u); // empty stack

    // A call without a name stays in its script on return, whatever was selected meanwhile.
    f.SetCursor(3);
    EXPECT_NE(f.CallLabel(nullptr, "m2", 0), 0u);
    EXPECT_NE(f.JumpLabel("A", nullptr, 0), 0u);
    EXPECT_EQ(t.Current(), "A");
    at = f.ReturnFromLabel(nullptr, nullptr, 0);
    EXPECT_EQ(t.Current(), "A");
    EXPECT_EQ(t.Offset(at), 3u);

    // A jump to a script that cannot be loaded leaves the current one; missing labels give 0.
    EXPECT_EQ(f.JumpLabel("NONE", "x", 0), 0u);
    EXPECT_EQ(t.Current(), "A");
    EXPECT_EQ(f.JumpLabel(nullptr, "none", 0), 0u);
    EXPECT_EQ(f.JumpLabel(nullptr, nullptr, 100), 0u); // past the text
    // Jumping from the script-stack script frees it once the new one is loaded.
    EXPECT_NE(f.JumpLabel("MAIN", "m1", 0), 0u);
    EXPECT_NE(f.JumpLabel("B", "b1", 0), 0u);
    ASSERT_EQ(f.ScriptStack().size(), 1u);
    EXPECT_EQ(f.ScriptStack()[0]->name, "B");

    // Releasing: none, unknown, current, the last one.
    EXPECT_EQ(f.ReleasePreloaded("Z"), 2);
    EXPECT_EQ(f.ReleasePreloaded(nullptr), 0);
    EXPECT_EQ(f.ReleasePreloaded(nullptr), 1);
}

TEST(TgsScriptStore, ReturnStackHolds128Calls)
{
    ThreeScripts t;
    CTgsFrame& f = *t.frame;
    for (int i = 0; i < 128; ++i)
        ASSERT_NE(f.CallLabel(nullptr, "m2", 0), 0u) << i;
    EXPECT_EQ(f.CallLabel(nullptr, "m2", 0), 0u);
    EXPECT_EQ(f.ReturnDepth(), 128u);
}

TEST(TgsScriptStore, SavedStateRoundTripsAndIsWrittenAsLaidOut)
{
    ThreeScripts t;
    CTgsFrame& f = *t.frame;
    f.SetCursor(1);
    ASSERT_NE(f.CallLabel("A", "a2", 0), 0u);
    f.SetCursor(2);
    std::vector<uint8_t> state(f.GetStateSize() + 3, 0xEE);
    uint8_t* cursor = state.data();
    size_t left = state.size();
    ASSERT_EQ(f.SaveState(&cursor, &left), 0);
    EXPECT_EQ(left, 3u);
    const std::vector<uint8_t> expected =
        Bytes().U32(1).U16(5).Text("MAIN").U8(0).U32(1).U16(2).Text("A").U8(0).U32(1).U32(0xFFFFFFFF).U32(1).U32(0).U32(2).b;
    EXPECT_EQ(std::vector<uint8_t>(state.begin(), state.end() - 3), expected);
    size_t small = expected.size() - 1;
    cursor = state.data();
    EXPECT_EQ(f.SaveState(&cursor, &small), 3);

    ThreeScripts u;
    u.frame->JumpLabel("B", nullptr, 0);
    const uint8_t* in = expected.data();
    size_t inLeft = expected.size();
    ASSERT_EQ(u.frame->LoadState(&in, &inLeft), 0);
    EXPECT_EQ(inLeft, 0u);
    EXPECT_EQ(u.Current(), "A");
    EXPECT_EQ(u.frame->Cursor(), 2u);
    EXPECT_EQ(u.Offset(u.frame->ReturnFromLabel(nullptr, nullptr, 0)), 1u);
    EXPECT_EQ(u.Current(), "MAIN");
}

TEST(TgsScriptStore, DamagedStatesLeaveTheRunningStateAlone)
{
    auto state = [](uint32_t depth, uint32_t index, uint32_t returnOffset, uint32_t current, uint32_t cursor,
                    const char* name = "MAIN") {
        Bytes b;
        b.U32(1).U16(static_cast<uint32_t>(std::strlen(name) + 1)).Text(name).U8(0).U32(1).U16(2).Text("A").U8(0);
        b.U32(depth);
        for (uint32_t i = 0; i < depth && i < 200; ++i)
            b.U32(index).U32(returnOffset);
        return b.U32(current).U32(cursor).b;
    };
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        int result;
    } cases[] = {
        {"script that cannot be loaded", state(0, 0, 0, 0, 0, "NONE"), 2},
        {"more than 128 returns", state(129, 0xFFFFFFFE, 0, 0, 0), 2},
        {"cursor past the text", state(0, 0, 0, 0, 100), 2},
        {"return offset past its text", state(1, 0xFFFFFFFF, 100, 0, 0), 2},
        {"current index names no script", state(0, 0, 0, 5, 0), 3},
        {"return index names no script", state(1, 3, 0, 0, 0), 3},
        {"truncated", Bytes().U32(1).U16(5).Text("MA").b, 2},
        {"name without NUL", Bytes().U32(1).U16(2).Text("AB").U32(0).U32(0).U32(0xFFFFFFFF).U32(0).b, 2},
    };
    for (const auto& c : cases) {
        ThreeScripts t;
        t.frame->SetCursor(1);
        t.frame->CallLabel("A", nullptr, 0);
        const TobScript* before = t.frame->CurrentScript();
        const uint8_t* in = c.bytes.data();
        size_t left = c.bytes.size();
        EXPECT_EQ(t.frame->LoadState(&in, &left), c.result) << c.name;
        EXPECT_EQ(t.frame->CurrentScript(), before) << c.name;
        EXPECT_EQ(t.frame->ReturnDepth(), 1u) << c.name;
        EXPECT_EQ(left, c.bytes.size()) << c.name;
    }
}

TEST(TgsScriptStore, TextLogRoundTripsAndRefusesDamage)
{
    TempFolder dir;
    CFileManager manager;
    ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
    g_pFileManager = &manager;
    const std::string folder = dir.Windows() + "\\";
    std::vector<uint8_t> table;
    std::string error;
    ASSERT_TRUE(WriteTgsInit({{"MAIN", 20, 3}, {"SUB", 9, 0}}, &table, &error));
    {
        Host h;
        ASSERT_EQ(h.frame->LoadScriptTableBytes(table.data(), table.size()), 0);
        h.frame->ScriptTableEntry(0)->readBits.SetBit(17, 1);
        h.frame->ScriptTableEntry(0)->choiceBits.SetBit(2, 1);
        h.frame->SetReadLogFolder(folder.c_str());
        EXPECT_EQ(h.frame->SaveReadLog(nullptr), 1);
        ASSERT_TRUE(h.frame->SetReadLogFile("TEXT_LOG.DAT"));
        const std::vector<uint8_t> log = h.frame->BuildTextLog();
        EXPECT_EQ(std::string(log.begin(), log.begin() + 4), "TSLG");
        // The destructor saves.
    }
    Host h;
    ASSERT_EQ(h.frame->LoadScriptTableBytes(table.data(), table.size()), 0);
    h.frame->SetReadLogFolder(folder.c_str());
    EXPECT_EQ(h.frame->LoadReadLog("NONE.DAT"), 1);
    ASSERT_EQ(h.frame->LoadReadLog("TEXT_LOG.DAT"), 0);
    EXPECT_TRUE(h.frame->ScriptTableEntry(0)->readBits.GetBit(17));
    EXPECT_TRUE(h.frame->ScriptTableEntry(0)->choiceBits.GetBit(2));

    // A runtime's TLOG is not a TSLG; a damaged log merges nothing.
    std::vector<uint8_t> log = h.frame->BuildTextLog();
    std::vector<uint8_t> tlog = log;
    std::memcpy(tlog.data(), "TLOG", 4);
    EXPECT_EQ(h.frame->MergeTextLog(tlog.data(), tlog.size()), 2);
    std::vector<uint8_t> truncated(log.begin(), log.end() - 1);
    EXPECT_EQ(h.frame->MergeTextLog(truncated.data(), truncated.size()), 2);
    h.frame->ScriptTableEntry(1)->readBits.SetBit(1, 1);
    EXPECT_TRUE(h.frame->ScriptTableEntry(1)->readBits.GetBit(1));

    // Without a table: save 2, load 0.
    Host bare;
    EXPECT_EQ(bare.frame->SaveReadLog("X.DAT"), 2);
    EXPECT_EQ(bare.frame->LoadReadLog("X.DAT"), 0);
    g_pFileManager = nullptr;
}

} // namespace
