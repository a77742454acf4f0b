// The system-script host: the run step and its transfers between script files, the opener's
// name rules, the call-stack reset, the native table and the shared generator.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "support/host_fixture.h"
#include "authoring/sob_assembler.h"
#include "controls/control_container.h"
#include "controls/control_set.h"
#include "controls/image_button.h"
#include "drawing/sprite.h"
#include "drawing/glyph_font.h"
#include "drawing/scene.h"
#include "natives/caption.h"
#include "platform/object_lifetime.h"
#include "natives/main_form.h"
#include "natives/native_args.h"
#include "natives/native_table.h"
#include "script/tgs_frame.h"
#include "support/test_game_app.h"

using namespace hosttest;

namespace {

// MAIN calls SUB, which yields three frames and leaves; MAIN resumes and jumps to END, which
// saves a variable file (31) and returns (2).
void WriteMilestone(HostFixture& f)
{
    f.Module("MAIN", "ncall native 0, call, res\nyield\nncall native 1, jump, res\nret\n.data\n"
                     "call: .word sub\njump: .word end\nres: .word 0\n"
                     "sub: .sjis \"SUB\"\nend: .sjis \"END\"\n");
    f.Module("SUB", "inc uservar Score\nyield\nyield\nyield\nret\n");
    f.Module("END", "ncall native 31, save, saved\nncall native 2, 0, res\nret\n.data\n"
                    "save: .word name, uservar Header, uservar Comment, 0\nres: .word 0\n"
                    "saved: .word 99\nname: .sjis \"SLOT.DAT\"\n");
}

} // namespace

TEST(ScriptHostRunStep, MilestoneCallsJumpsSavesAndReturns)
{
    HostFixture f;
    WriteMilestone(f);
    CScriptHost& host = f.Start();
    ASSERT_EQ(host.OpenScript("MAIN", nullptr), 0);
    EXPECT_EQ(host.RunStep(), kRunYielded);
    EXPECT_EQ(g_ScriptCallDepth, 1u);
    EXPECT_EQ(host.RunStep(), kRunYielded);
    EXPECT_EQ(host.RunStep(), kRunYielded);
    EXPECT_EQ(host.RunStep(), kRunEnded) << static_cast<int>(host.Machine().Fault()) << " at "
                                         << host.Machine().FaultIp() - host.GetEntry();
    EXPECT_EQ(g_ScriptCallDepth, 0u);
    EXPECT_EQ(g_ScriptTransferState, kTransferReturn);
    EXPECT_EQ(host.RunStep(), kRunEnded); // the return request stays
    EXPECT_EQ(f.Word("Score"), 8u);
    ASSERT_TRUE(f.dir.Exists("SLOT.DAT"));
    // The file loads back with native 33's operation.
    f.SetWord("Score", 100);
    f.SetWord("Header", 0);
    EXPECT_EQ(host.LoadVariableFile("SLOT.DAT"), 0);
    EXPECT_EQ(f.Word("Score"), 8u);
    EXPECT_EQ(f.Word("Header"), 1u);
}

TEST(ScriptHostRunStep, TransferCasesAsATable)
{
    struct Case {
        const char* name;
        const char* main;
        std::vector<uint32_t> steps;
        uint32_t depth;
    };
    const char* data = ".data\nres: .word 0\nsub: .word subname\nmissing: .word nonename\n"
                       "subname: .sjis \"SUB\"\nnonename: .sjis \"NONE\"\n";
    const Case cases[] = {
        {"a leave at depth 0 ends", "ret\n", {kRunEnded}, 0},
        {"a jump then a yield is a bad script", "ncall native 1, sub, res\nyield\nret\n", {kRunBadScript}, 0},
        {"a call then a leave is a bad script", "ncall native 0, sub, res\nret\n", {kRunBadScript}, 0},
        {"the return ends at any depth", "ncall native 2, 0, res\nyield\nret\n", {kRunEnded, kRunEnded}, 0},
        {"a failed jump answers 3 until reset", "ncall native 1, missing, res\nret\n", {kRunJumpFailed, kRunJumpFailed}, 0},
        {"a failed call answers 4, the caller resumes", "ncall native 0, missing, res\nyield\nret\n",
         {kRunCallFailed, kRunEnded}, 0},
        {"a called module that yields keeps the depth", "ncall native 0, sub, res\nyield\nret\n",
         {kRunYielded, kRunEnded}, 0},
        {"a fault is a bad script", "div 1, 0, res\nret\n", {kRunBadScript}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostFixture f;
        f.Module("MAIN", std::string(c.main) + data);
        f.Module("SUB", "yield\nret\n");
        CScriptHost& host = f.Start();
        ASSERT_EQ(host.OpenScript("MAIN", nullptr), 0);
        for (uint32_t expected : c.steps)
            EXPECT_EQ(host.RunStep(), expected);
        EXPECT_EQ(g_ScriptCallDepth, c.depth);
    }
}

TEST(ScriptHostRunStep, ResetAfterAFailedJumpKeepsTheLibraryAndRestarts)
{
    HostFixture f;
    f.Module("MAIN", "ncall native 1, missing, res\nret\n.data\nres: .word 0\nmissing: .word n\nn: .sjis \"NONE\"\n");
    CScriptHost& host = f.Start();
    ASSERT_EQ(host.OpenScript("MAIN", nullptr), 0);
    EXPECT_EQ(host.RunStep(), kRunJumpFailed);
    host.ResetCallStack(-7);
    EXPECT_EQ(host.BootFlag(), -7);
    EXPECT_EQ(host.LoadedModules().size(), 0u);
    EXPECT_EQ(host.Machine().Sp(), host.Machine().StackBase());
    EXPECT_EQ(g_ScriptTransferState, kTransferNone);
    ASSERT_EQ(host.OpenScript("MAIN", nullptr), 0);
    EXPECT_EQ(host.RunStep(), kRunJumpFailed);
}

TEST(ScriptHostRunStep, CallWithAFullStackLoadsNothing)
{
    HostFixture f;
    // Two cells of stack: the sentinel and the ip of the yield's call take them both.
    f.Module("MAIN", "push 1\nncall native 0, sub, res\nyield\nret\n.data\nres: .word 0\nsub: .word n\nn: .sjis \"SUB\"\n");
    f.Module("SUB", "yield\nret\n");
    CScriptHost& host = f.Start(2);
    ASSERT_EQ(host.OpenScript("MAIN", nullptr), 0);
    EXPECT_EQ(host.RunStep(), kRunCallFailed);
    EXPECT_EQ(host.LoadedModules().size(), 1u);
    EXPECT_EQ(g_ScriptCallDepth, 0u);
}

TEST(ScriptHostOpen, NamesThatOverrunOrLeaveTheFolderAreRefused)
{
    HostFixture f;
    const std::string name52(52, 'A'), name53(53, 'A');
    f.Module(name52, "ret\n");
    f.Module(name53, "ret\n");
    f.dir.Write("OUT.SOB", f.dir.Read("SCRIPT/" + name52 + ".SOB"));
    CScriptHost& host = f.Start();
    EXPECT_EQ(host.OpenScript(name52.c_str(), nullptr), 0);
    EXPECT_EQ(host.OpenScript(name53.c_str(), nullptr), kSobLoadOpenFailed);
    for (const char* bad : {"..\\OUT", "../OUT", "\\OUT", "Z:\\OUT", "A\\..\\..\\OUT", ""})
        EXPECT_EQ(host.OpenScript(bad, nullptr), kSobLoadOpenFailed) << bad;
    // A jump target longer than the transfer buffer is cut there and refused by the opener.
    const std::string huge(400, 'B');
    SetScriptTransfer(kTransferJump, huge.data(), huge.size());
    EXPECT_EQ(std::strlen(g_ScriptTransferTarget), kTransferTargetSize - 1);
    EXPECT_EQ(host.OpenScript(nullptr, nullptr), kSobLoadOpenFailed);
}

TEST(ScriptHostNatives, TableHasEveryNumberInOrderAndEveryRowBuilt)
{
    HostFixture f;
    CScriptHost& host = f.Start();
    EXPECT_EQ(host.NativeCount(), kNativeCount);
    std::map<std::string, int> stubs;
    for (uint32_t n = 0; n < kNativeCount; ++n) {
        const NativeRow& row = GetNativeRow(n);
        EXPECT_EQ(row.number, n);
        if (!row.built)
            ++stubs[row.group];
    }
    // Every group is built: no row holds the stub any more.
    EXPECT_TRUE(stubs.empty());
    for (uint32_t n : {37u, 55u, 56u, 795u, 800u, 801u})
        EXPECT_EQ(GetNativeRow(n).function, &NativeNoOp) << n;
    for (const auto& [group, count] : stubs)
        std::printf("stubs: %-32s %d\n", group.c_str(), count);
}

TEST(ScriptHostNatives, NoOpOverwritesTheResultCell)
{
    HostFixture f;
    f.Module("MAIN", "ncall native 55, 0, a\nret\n.data\na: .word 5\n");
    CScriptHost& host = f.Start();
    ASSERT_EQ(host.OpenScript("MAIN", nullptr), 0);
    const uint32_t image = host.GetEntry();
    EXPECT_EQ(host.RunStep(), kRunEnded);
    uint32_t a = 1;
    host.Memory().Load32(image + 20, &a);
    EXPECT_EQ(a, 0u);
}

// Ran3 written out from its description, to compare with the shared generator.
namespace {
struct Ran3 {
    int position = 0;
    int32_t table[56] = {};
    void Pass()
    {
        for (int i = 1; i <= 24; ++i) {
            table[i] -= table[i + 31];
            if (table[i] < 0)
                table[i] += 1000000000;
        }
        for (int i = 25; i <= 55; ++i) {
            table[i] -= table[i - 24];
            if (table[i] < 0)
                table[i] += 1000000000;
        }
    }
    void Seed(int32_t s)
    {
        table[55] = s;
        int32_t mk = 1, mj = s;
        for (int i = 1; i <= 54; ++i) {
            const int ii = (21 * i) % 55;
            table[ii] = mk;
            mk = mj - mk;
            if (mk < 0)
                mk += 1000000000;
            mj = table[ii];
        }
        for (int k = 0; k < 3; ++k)
            Pass();
        position = 55;
    }
    uint32_t Draw()
    {
        if (++position > 55) {
            Pass();
            position = 1;
        }
        return static_cast<uint32_t>(table[position]);
    }
};
} // namespace

TEST(ScriptHostRandom, SharedGeneratorIsRan3)
{
    for (int32_t seed : {0, 1, 12345, 999999999, 161803398}) {
        Ran3 reference;
        reference.Seed(seed);
        SeedSubtractiveRandom(g_Ran3State, seed);
        for (int i = 0; i < 200; ++i)
            ASSERT_EQ(DrawSubtractiveRandom(g_Ran3State), reference.Draw()) << seed << " draw " << i;
    }
}

TEST(ScriptHostObjects, HandlesEndWithTheirObjectsAndClearTheirCells)
{
    HostFixture f;
    CScriptHost& host = f.Start();
    auto* sprite = new CSprite();
    const uint32_t handle = host.ObjectHandle(sprite);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(host.ObjectHandle(sprite), handle); // one object, one handle
    EXPECT_EQ(host.Object<CSprite>(handle), sprite);
    const uint32_t owner = host.Memory().Allocate(8);
    host.Memory().Store32(owner, handle);
    host.Memory().Store32(owner + 4, 1234); // reused by the script: left alone
    EXPECT_TRUE(host.ClearOnDestruction(handle, owner));
    EXPECT_TRUE(host.ClearOnDestruction(handle, owner + 4));
    EXPECT_FALSE(host.ClearOnDestruction(handle, 0x100));
    delete sprite; // the engine deletes it
    uint32_t a = 1, b = 0;
    host.Memory().Load32(owner, &a);
    host.Memory().Load32(owner + 4, &b);
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, 1234u);
    EXPECT_EQ(host.Object<CSprite>(handle), nullptr);
    EXPECT_FALSE(host.ClearOnDestruction(handle, owner));
    EXPECT_EQ(host.ObjectHandle(static_cast<CSprite*>(nullptr)), 0u);
}

TEST(ScriptHostPaths, NamesResolveOnlyInsideTheRoots)
{
    HostFixture f;
    std::filesystem::create_directories(f.dir.Linux("game/save"));
    std::filesystem::create_directories(f.dir.Linux("chosen"));
    // Symbolic links in the save folder: out of every root, to a missing file out of them, and
    // to folders inside the save folder and the game's.
    std::filesystem::create_directories(f.dir.Linux("other/sub"));
    f.dir.Write("escape/secret.txt", "x");
    std::filesystem::create_symlink(f.dir.Linux("escape"), f.dir.Linux("other/out"));
    std::filesystem::create_symlink(f.dir.Linux("escape/new.txt"), f.dir.Linux("other/dangling"));
    std::filesystem::create_symlink("sub", f.dir.Linux("other/in"));
    std::filesystem::create_symlink("../game", f.dir.Linux("other/game"));
    ASSERT_EQ(SetBaseFolder(f.dir.Windows("game").c_str()), 0);
    CScriptHost& host = f.Start();
    host.SetReadLogFolder(f.dir.Windows("other\\").c_str());
    ASSERT_TRUE(host.PathRoots().AddRoot(f.dir.Windows("chosen").c_str()));
    const std::string game = f.dir.Windows("game\\");
    struct Case {
        std::string name;
        bool inside;
    };
    const Case cases[] = {
        {"DATA\\A.TXT", true},
        {"save/../B.TXT", true},
        {game + "C.TXT", true},
        {f.dir.Windows("CHOSEN\\d.txt"), true},
        {f.dir.Windows("other\\E.DAT"), true},
        {f.dir.Windows("other\\in\\E.DAT"), true},
        {f.dir.Windows("other\\newdir\\x.txt"), true}, // to be made: its folder decides
        {f.dir.Windows("OTHER\\GAME\\save\\F.DAT"), true},
        {f.dir.Windows("other\\out\\secret.txt"), false},
        {f.dir.Windows("other\\out\\new.txt"), false},
        {f.dir.Windows("other\\dangling"), false},
        {"..\\OUT.TXT", false},
        {"DATA\\..\\..\\OUT.TXT", false},
        {game + "..\\OUT.TXT", false},
        {"C:\\WINDOWS\\X", false},
        {"Z:\\etc\\passwd", false},
        {f.dir.Windows("chosenfolder\\x"), false},
        {"\\\\server\\share\\x", false},
        {"", false},
    };
    for (const Case& c : cases) {
        std::string path;
        EXPECT_EQ(host.ResolveScriptPath(c.name.c_str(), &path), c.inside) << c.name << " -> " << path;
    }
}

TEST(ScriptHostObjects, HostPublishesTheFramesMembersAndTakesThemBack)
{
    HostFixture f;
    f.app.settings[18] = 3;
    f.app.settings[19] = 5;
    f.Start();
    EXPECT_EQ(g_pCaption, &g_Caption);
    EXPECT_EQ(g_pSoundManager, &f.host->SoundPlayer());
    EXPECT_EQ(f.host->SoundPlayer().GetTaskScheduler(), &f.app.tasks);
    EXPECT_EQ(g_TextObjectList.textInputTimers, &f.app.tasks);
    EXPECT_EQ(g_TextObjectList.textInputIme, &f.app.GetImeContext());
    EXPECT_EQ(g_TextObjectList.pageBackAction, 3);
    EXPECT_EQ(g_TextObjectList.pageForwardAction, 5);
    // A hint font or target canvas the scripts delete leaves the form.
    auto* font = new CGlyphFont;
    int canvas = 0;
    CScene scene;
    g_MainForm.SetHintFont(font);
    g_MainForm.DetachAndSetTarget(&scene, &canvas);
    delete font;
    EXPECT_EQ(g_MainForm.GetHintFont(), nullptr);
    EXPECT_EQ(g_MainForm.GetTarget(), &scene);
    NotifyObjectDestroyed(&canvas);
    EXPECT_EQ(g_MainForm.GetTarget(), nullptr);
    f.host.reset();
    EXPECT_EQ(g_pCaption, nullptr);
    EXPECT_EQ(g_pSoundManager, nullptr);
    EXPECT_EQ(g_pScriptTextObject, nullptr);
    EXPECT_EQ(g_TextObjectList.textInputTimers, nullptr);
    EXPECT_EQ(g_TextObjectList.textInputIme, nullptr);
    g_TextObjectList.pageBackAction = g_TextObjectList.pageForwardAction = 0;
}

namespace {

// A scenario frame left over at the host's end, noting what still stood when it was deleted.
class LeftoverTgsFrame : public CTgsFrame {
public:
    LeftoverTgsFrame(CSobRuntime& host, CTestGameApp& app, CMainForm& form)
        : CTgsFrame(host), m_app(app), m_form(form)
    {
    }
    ~LeftoverTgsFrame() override
    {
        m_app.calls.push_back("TgsFrame: form " + std::to_string(m_form.GetControls().size()) + ", set " +
                              std::to_string(g_TextObjectList.GetCount()) + ", heap " +
                              std::to_string(g_ScriptHeapBlocks.size()));
    }

private:
    CTestGameApp& m_app;
    CMainForm& m_form;
};

} // namespace

TEST(ScriptHostObjects, HostEndsInTheOrderOfItsParts)
{
    HostFixture f;
    CMainForm& form = g_MainForm;
    CScriptHost& host = f.Start();
    CButton* button = nullptr;
    ASSERT_EQ(g_TextObjectList.AddImageButton(&button, 1, 1, 5, 5, -1, -1, true, true), 0);
    ASSERT_EQ(form.AddControl(button, -1), 0);
    g_ScriptHeapBlocks.insert(host.Memory().Allocate(16));
    g_pTgsFrame = new LeftoverTgsFrame(host, f.app, form);
    ASSERT_TRUE(host.SetSettingsText("title"));
    EXPECT_STREQ(host.SettingsText(), "title");
    EXPECT_TRUE(host.SetSettingsText(nullptr));
    EXPECT_EQ(host.SettingsText(), nullptr);
    ASSERT_TRUE(host.SetSettingsText("kept to the end")); // ASan reports it if the end forgets it
    f.host.reset();
    // The frame went before the form, the control set and the heap blocks.
    EXPECT_EQ(f.app.calls, (std::vector<std::string>{"TgsFrame: form 1, set 1, heap 1"}));
    EXPECT_EQ(g_pTgsFrame, nullptr);
    EXPECT_TRUE(form.GetControls().empty());
    EXPECT_EQ(form.GetTarget(), nullptr);
    EXPECT_EQ(form.GetHintFont(), nullptr);
    EXPECT_EQ(g_TextObjectList.GetCount(), 0u);
    EXPECT_TRUE(g_ScriptHeapBlocks.empty());
}

TEST(ScriptHostObjects, EngineStringsAreMirroredInScriptMemory)
{
    HostFixture f;
    CScriptHost& host = f.Start();
    // The test native hands out the name of the engine object in word 0 (null for no object).
    struct Engine {
        static uint32_t HandOutName(SobNativeArgs& args)
        {
            CScriptHostBase* host = NativeHost(args);
            CSprite* sprite = host->Object<CSprite>(args.U32(0));
            if (args.Faulted() || sprite == nullptr)
                return 0;
            return host->MirrorString(sprite, Names()[sprite]);
        }
        static std::map<const void*, const char*>& Names()
        {
            static std::map<const void*, const char*> names;
            return names;
        }
    };
    ASSERT_EQ(host.AddNative(Engine::HandOutName), 0);
    const uint32_t native = host.NativeCount() - 1;
    auto call = [&](uint32_t handle) {
        SobAssembly assembly;
        std::vector<std::string> errors;
        EXPECT_TRUE(AssembleSob("ncall native " + std::to_string(native) + ", args, out\nret\n.data\nargs: .word " +
                                    std::to_string(handle) + "\nout: .word 7\n",
                                "name", &assembly, &errors));
        const uint32_t code = host.Memory().Allocate(static_cast<uint32_t>(assembly.cells.size() * 4));
        std::string error;
        EXPECT_TRUE(PlaceSob(assembly, host.Memory(), code, &error)) << error;
        EXPECT_EQ(host.Machine().Call(code), kSobLeave);
        uint32_t out = 0;
        host.Memory().Load32(code + assembly.labels["out"], &out);
        host.Memory().Free(code);
        return out;
    };
    auto text = [&](uint32_t address) {
        uint32_t start = 0, size = 0;
        EXPECT_TRUE(host.Memory().FindBlock(address, &start, &size));
        return std::string(reinterpret_cast<const char*>(host.Memory().Span(address, 1)));
    };
    auto* first = new CSprite;
    CSprite second;
    const uint32_t one = host.ObjectHandle(first);
    const uint32_t two = host.ObjectHandle(&second);
    Engine::Names()[first] = "alpha";
    Engine::Names()[&second] = "beta";
    const uint32_t a = call(one);
    ASSERT_NE(a, 0u);
    EXPECT_EQ(text(a), "alpha");
    const uint32_t b = call(two);
    EXPECT_NE(b, a); // a block per source
    EXPECT_EQ(text(b), "beta");
    // Refreshed at each call: in place while it fits, in a new block when it grows.
    Engine::Names()[first] = "ab";
    EXPECT_EQ(call(one), a);
    EXPECT_EQ(text(a), "ab");
    Engine::Names()[first] = "a much longer name";
    const uint32_t grown = call(one);
    EXPECT_EQ(text(grown), "a much longer name");
    EXPECT_NE(grown, a);
    uint32_t start = 0, size = 0;
    EXPECT_FALSE(host.Memory().FindBlock(a, &start, &size) && start == a);
    // Freed with its source, on the script's thread: at the next mirror or run step.
    delete first;
    Engine::Names().erase(first);
    EXPECT_EQ(call(one), 0u); // the handle is stale: the native's null result
    EXPECT_EQ(call(two), b);
    EXPECT_FALSE(host.Memory().FindBlock(grown, &start, &size) && start == grown);
    EXPECT_EQ(text(b), "beta");
    host.ReleaseMirror(&second);
    EXPECT_FALSE(host.Memory().FindBlock(b, &start, &size) && start == b);
    EXPECT_EQ(host.MirrorString(nullptr, "x"), 0u);
}

TEST(ScriptHostObjects, HostDeletesTheScriptsControls)
{
    HostFixture f;
    f.Start();
    CButton* first = nullptr;
    CButton* second = nullptr;
    ASSERT_EQ(g_TextObjectList.AddImageButton(&first, 1, 1, 5, 5, -1, -1, true, true), 0);
    ASSERT_EQ(g_TextObjectList.AddImageButton(&second, 9, 9, 5, 5, -1, -1, true, true), 0);
    f.host.reset();
    EXPECT_EQ(g_TextObjectList.GetCount(), 0u);
    EXPECT_EQ(g_TextObjectList.GetImeIndicator(), nullptr);
}

TEST(ScriptHostNatives, UnboundedWritesMustEndInsideTheirBlock)
{
    HostFixture f;
    CScriptHost& host = f.Start();
    const uint32_t block = host.Memory().Allocate(32);
    struct Case {
        uint32_t dst, length;
        bool ok;
    };
    const Case cases[] = {
        {block, 32, true}, {block + 31, 1, true}, {block + 16, 17, false}, {block, 0xFFFFFFFFu, false},
        {0x100, 1, false}, {host.Memory().End() - 4, 4, false},
    };
    for (const Case& c : cases) {
        SobNativeArgs args(host.Memory(), nullptr, 0, &host);
        EXPECT_EQ(NativeBlockSpan(args, c.dst, c.length) != nullptr, c.ok) << c.dst - block << " " << c.length;
        EXPECT_EQ(args.Faulted(), !c.ok);
    }
}
