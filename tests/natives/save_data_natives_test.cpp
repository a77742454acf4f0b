// Natives 39-53 as scripts call them: a module saves and loads a slot (variables and history come
// back), what 39 and 41 store reaches the file (title, comment, thumbnail), the pending load file,
// the header texts into script buffers only inside their blocks, copy and delete, the snapshot,
// damaged or missing files that change nothing, and the milestone: a message and its choices
// revealed into the frame and a form built by a module, its click read, then saved and loaded.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "authoring/elg_encoder.h"
#include "display/surface_sprite.h"
#include "drawing/glyph_font.h"
#include "files/gll_manager.h"
#include "natives/main_form.h"
#include "natives/native_table.h"
#include "natives/text_object.h"
#include "platform/input_manager.h"
#include "natives/save_file.h"
#include "natives/save_slots.h"
#include "natives/script_helpers.h"
#include "support/native_script.h"
#include "support/pixel_library.h"
#include "support/save_fixture.h"
#include "winapi/text.h"

using namespace hosttest;

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);

struct SaveHost {
    SaveFixture s;
    CScriptHost& host = s.Host();

    SaveHost() { g_LoadFileName.clear(); }
    ~SaveHost() { g_LoadFileName.clear(); }

    uint32_t Call(uint32_t n, std::vector<uint32_t> words, bool* faulted = nullptr)
    {
        return CallNative(host, n, words, faulted);
    }
    // Bytes at the end of a block of their own (size bytes at least, filled with 0x55 first).
    uint32_t Block(const std::string& bytes, uint32_t size = 0)
    {
        return PlaceAtBlockEnd(host, bytes, size);
    }
    uint32_t Str(const std::string& text) { return Block(text + std::string(1, '\0')); }
    // A message record: scope 1, number 3, the text.
    uint32_t Message(const std::string& text) { return Call(468, {Str(std::string("\x01\x03\x00", 3) + text)}); }
    std::string Bytes(uint32_t at, uint32_t n) const
    {
        const uint8_t* p = host.Memory().Span(at, n);
        return p != nullptr ? std::string(reinterpret_cast<const char*>(p), n) : "<bad>";
    }
    SaveSlotInfo Info(int bank, int slot)
    {
        SaveSlotInfo info;
        EXPECT_EQ(ReadSaveSlotInfo(bank, slot, nullptr, &info, false), 0);
        return info;
    }
    // The thumbnail pixel (x, y) of a slot's file.
    uint32_t Thumb(int bank, int slot, int x, int y)
    {
        const std::vector<uint8_t> file = s.Read(bank, slot);
        const size_t at = savefile::kThumbOffset + (static_cast<size_t>(y) * savefile::kThumbWidth + x) * 3;
        return at + 2 < file.size() ? file[at] | (file[at + 1] << 8) | (file[at + 2] << 16) : 0xDEADBEEF;
    }
};

std::string Elg(int width, int height, uint32_t colour)
{
    const std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0xFF000000u | colour);
    elg::Picture picture;
    std::string error;
    EXPECT_TRUE(elg::PictureFromPixels(width, height, pixels.data(), 24, picture, &error)) << error;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(elg::Encode(picture, elg::Options{}, bytes, &error)) << error;
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TEST(SaveDataNatives, AModuleSavesAndLoadsASlotWithItsVariablesAndHistory)
{
    SaveHost t;
    t.s.config.historyInSaves = 1;
    ASSERT_EQ(t.Call(466, {0x108}), 0u); // room for eight entries
    ASSERT_EQ(t.Call(467, {1}), 0u);
    ASSERT_EQ(t.Message("one"), 0u);
    ASSERT_EQ(t.Message("two"), 0u);
    t.s.f.SetWord("Score", 77);

    Script save(t.host, Call(43, "3, 4"));
    ASSERT_FALSE(save.Faulted());
    EXPECT_EQ(save.Word("out"), 0u);

    // The game goes on: another page, another score.
    ASSERT_EQ(t.Message("three"), 0u);
    t.s.f.SetWord("Score", 1);
    ASSERT_EQ(t.host.TextObject().HistoryCount(), 3);

    Script load(t.host, Call(44, "3, 4"));
    ASSERT_FALSE(load.Faulted());
    EXPECT_EQ(load.Word("out"), 0u);
    EXPECT_EQ(t.s.f.Word("Score"), 77u);
    EXPECT_EQ(t.host.TextObject().HistoryCount(), 2);
    EXPECT_EQ(t.Call(488, {}), 0u); // the newest entry shown again is the saved page
    EXPECT_EQ(t.host.TextObject().Body(), "two");

    // A missing slot and a damaged file answer their codes and change nothing.
    t.s.f.SetWord("Score", 5);
    std::vector<uint8_t> bad = t.s.Read(3, 4);
    bad[savefile::kHeaderSize] ^= 0x40;
    t.s.Write(3, 6, bad);
    const struct {
        const char* what;
        uint32_t bank, slot, code;
    } cases[] = {
        {"a slot without a file", 3, 5, kMinus1},
        {"a changed data byte", 3, 6, 3},
        {"bank 0's ring holds no file", 0, kMinus1, kMinus1},
        {"no pending load file", kMinus1, 0, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(t.Call(44, {c.bank, c.slot}), c.code) << c.what;
        EXPECT_EQ(t.s.f.Word("Score"), 5u) << c.what;
    }
}

TEST(SaveDataNatives, TheWordsOf39ReachTheSave)
{
    SaveHost t;
    t.s.config.commentIsMessage = 1;
    ASSERT_EQ(t.Message("hello"), 0u);
    const uint32_t cell = t.Block(std::string(4, '\0'));

    // 40 tracks a variable; 0 is none.
    EXPECT_EQ(t.Call(40, {0}), 0u);
    EXPECT_EQ(t.Call(40, {t.s.f.Address("Score")}), 1u);
    EXPECT_EQ(t.host.TrackedVariables().size(), 1u);

    // A boot value of 0 stores nothing.
    const std::string kanji = winapi::Utf8ToSjis("漢");
    const std::string title = std::string(39, 't') + kanji + "tail";
    EXPECT_EQ(t.Call(39, {0, t.Str(title), cell}), 0u);
    EXPECT_EQ(t.host.SettingsText(), nullptr);
    EXPECT_EQ(t.host.SettingsFlag(), 1);
    EXPECT_EQ(t.host.TrackedVariables().size(), 1u);

    // The title is kept as a copy cut at 40 bytes without splitting the character across it.
    EXPECT_EQ(t.Call(39, {0x10007, t.Str(title), cell}), 1u);
    EXPECT_EQ(t.host.SettingsFlag(), 7); // the low 16 bits
    ASSERT_NE(t.host.SettingsText(), nullptr);
    EXPECT_EQ(std::string(t.host.SettingsText()), std::string(39, 't'));
    EXPECT_TRUE(t.host.TrackedVariables().empty());

    // The comment is the current message only while the cell holds a non-zero value.
    const struct {
        const char* what;
        uint32_t cellValue;
        const char* comment;
    } cases[] = {
        {"cell 0", 0, ""},
        {"cell 1", 1, "hello"},
    };
    for (const auto& c : cases) {
        t.host.Memory().Store32(cell, c.cellValue);
        ASSERT_EQ(t.Call(43, {2, 0}), 0u) << c.what;
        const SaveSlotInfo info = t.Info(2, 0);
        EXPECT_EQ(info.title, std::string(39, 't')) << c.what;
        EXPECT_EQ(info.comment, c.comment) << c.what;
    }
    // A null title saves none; the cell word 0 asks for no comment.
    EXPECT_EQ(t.Call(39, {1, 0, 0}), 1u);
    ASSERT_EQ(t.Call(43, {2, 1}), 0u);
    EXPECT_EQ(t.Info(2, 1).title, "");
    EXPECT_EQ(t.Info(2, 1).comment, "");

    // A title outside script memory faults before anything is stored.
    bool faulted = false;
    EXPECT_EQ(t.Call(39, {3, 0x7FFFFFF0u, 0}, &faulted), 0u);
    EXPECT_TRUE(faulted);
    EXPECT_EQ(t.host.SettingsFlag(), 1);
}

TEST(SaveDataNatives, ThumbnailFromThePictureNamedIn41OrTheScreen)
{
    SaveHost t;
    CGllManager loaders;
    ASSERT_EQ(RegisterBuiltinImageLoaders(loaders), 0);
    g_pGllManager = &loaders;
    struct Unpublish {
        ~Unpublish() { g_pGllManager = nullptr; }
    } unpublish;
    CScreen& screen = t.s.f.UseScreen();
    t.s.f.dir.Write("SYS/_THUMB.ELG", Elg(120, 90, 0x336699));
    // A canvas of its own colour as the object whose picture is taken.
    CSurfaceSprite* canvas = nullptr;
    ASSERT_EQ(screen.CreateSurfaceSprite(&canvas, 80, 60, 32, 0), 0);
    CImage* picture = canvas->GetImage();
    for (int y = 0; y < picture->GetHeight(); ++y)
        for (int x = 0; x < picture->GetWidth(); ++x)
            reinterpret_cast<uint32_t*>(picture->GetRowPointer(y))[x] = 0xFF0A0B0C;
    const uint32_t live = t.host.ObjectHandle(static_cast<CSurface*>(canvas));
    CSurfaceSprite* gone = nullptr;
    ASSERT_EQ(screen.CreateSurfaceSprite(&gone, 80, 60, 32, 0), 0);
    const uint32_t stale = t.host.ObjectHandle(static_cast<CSurface*>(gone));
    ASSERT_EQ(screen.DeleteSurface(gone), 0);

    const struct {
        const char* what;
        uint32_t object;
        const char* name; // null: word 0
        uint32_t topLeft, bottomRight;
    } cases[] = {
        {"the named picture, its folder dropped", 0, "CG\\THUMB.ELG", 0x336699, 0x336699},
        {"a missing picture: the screen", 0, "CG\\NONE.ELG", kQuadrants[0] & 0xFFFFFF, kQuadrants[3] & 0xFFFFFF},
        {"an empty name: the object", live, "", 0x0A0B0C, 0x0A0B0C},
        {"no name: the object", live, nullptr, 0x0A0B0C, 0x0A0B0C},
        {"a stale object: the screen", stale, nullptr, kQuadrants[0] & 0xFFFFFF, kQuadrants[3] & 0xFFFFFF},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(t.Call(41, {c.object, c.name != nullptr ? t.Str(c.name) : 0}), 1u) << c.what;
        ASSERT_EQ(t.Call(43, {2, 0}), 0u) << c.what;
        EXPECT_EQ(t.Thumb(2, 0, 5, 5), c.topLeft) << c.what;
        EXPECT_EQ(t.Thumb(2, 0, 115, 85), c.bottomRight) << c.what;
    }
    bool faulted = false;
    EXPECT_EQ(t.Call(41, {0, 0x7FFFFFF0u}, &faulted), 0u);
    EXPECT_TRUE(faulted);
}

TEST(SaveDataNatives, PendingLoadFileCopyAndDelete)
{
    SaveHost t;
    t.s.f.SetWord("Score", 31);
    ASSERT_EQ(t.Call(43, {1, -1u}), 0u); // bank 1's ring starts at 5
    t.s.f.SetWord("Score", 2);

    // 42: a slot without a file keeps the pending name as it was.
    EXPECT_EQ(t.Call(42, {1, 6}), 1u);
    EXPECT_TRUE(g_LoadFileName.empty());
    EXPECT_EQ(t.Call(42, {1, kMinus1}), 0u);
    EXPECT_EQ(g_LoadFileName, t.s.f.app.saveFolder + "DATA0105.SAV");
    EXPECT_EQ(t.Call(44, {kMinus1, 0}), 0u);
    EXPECT_EQ(t.s.f.Word("Score"), 31u);

    // 48 and 49.
    EXPECT_EQ(t.Call(48, {1, 5, 4, 2}), 0u);
    EXPECT_EQ(t.s.Read(4, 2), t.s.Read(1, 5));
    EXPECT_EQ(t.Call(48, {1, 7, 4, 3}), 1u);
    EXPECT_EQ(t.Call(49, {4, 2}), 0u);
    EXPECT_EQ(t.Call(49, {4, 2}), 1u);
    EXPECT_EQ(t.Call(42, {4, 2}), 1u);
}

TEST(SaveDataNatives, HeaderTextsGoIntoBuffersOnlyInsideTheirBlocks)
{
    SaveHost t;
    EXPECT_EQ(t.Call(39, {1, t.Str("Chapter"), 0}), 1u);
    ASSERT_EQ(t.Call(43, {2, 0}), 0u);
    SaveSlotInfo info = t.Info(2, 0);
    const std::string title = std::string(winapi::Sjis("『Chapter』")) + "\r\n" + winapi::Sjis("【記録日時 ") + info.date +
                              winapi::Sjis("】");
    const std::vector<uint8_t> file = t.s.Read(2, 0);
    const std::string record(reinterpret_cast<const char*>(file.data() + savefile::kTitleOffset), savefile::kTitleSize);

    struct Case {
        const char* what;
        uint32_t native;
        std::vector<uint32_t> words; // word 0 (the buffer, or 47's record) is patched in
        size_t bufferWord;
        uint32_t size;      // the buffer's block
        uint32_t code;
        bool faults;
        std::string written; // what the buffer holds after (empty: untouched)
    };
    const std::vector<Case> cases = {
        {"45 the whole title text", 45, {0, 2, 0, 2}, 0, 200, 0, false, title + '\0'},
        {"45 a block one byte short", 45, {0, 2, 0, 2}, 0, static_cast<uint32_t>(title.size()), 0, true, ""},
        {"45 a slot without a file", 45, {0, 2, 9, 2}, 0, 200, 2, false, ""},
        {"45 a bank without a ring", 45, {0, 2, kMinus1, 2}, 0, 200, kMinus1, false, ""},
        {"46 the short date", 46, {0, 2, 0, 0, 0, 0, 0, 0, 0}, 0, 40, 0, false, info.shortDate + '\0'},
        {"46 the long date", 46, {0, 2, 0, 1, 0, 0, 0, 0, 0}, 0, 40, 0, false, info.date + '\0'},
        {"46 a block one byte short", 46, {0, 2, 0, 1, 0, 0, 0, 0, 0}, 0, static_cast<uint32_t>(info.date.size()), 0,
         true, ""},
        {"46 a slot without a file", 46, {0, 2, 9, 1, 0, 0, 0, 0, 0}, 0, 40, 2, false, ""},
        {"47 the record", 47, {2, 0, 0}, 2, 44, 0, false, record},
        {"47 a record block short of 44 bytes", 47, {2, 0, 0}, 2, 43, 0, true, ""},
        {"47 a slot without a file", 47, {2, 9, 0}, 2, 44, kMinus1, false, ""},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> words = c.words;
        const uint32_t buffer = t.Block("", c.size);
        words[c.bufferWord] = buffer;
        bool faulted = false;
        EXPECT_EQ(t.Call(c.native, words, &faulted), c.code) << c.what;
        EXPECT_EQ(faulted, c.faults) << c.what;
        const std::string untouched(c.size, '\x55');
        const std::string want = c.written.empty() ? untouched : c.written + untouched.substr(c.written.size());
        EXPECT_EQ(t.Bytes(buffer, c.size), want) << c.what;
    }
    // Null buffers and records.
    EXPECT_EQ(t.Call(45, {0, 2, 0, 0}), 1u);
    EXPECT_EQ(t.Call(46, {0, 2, 0, 0, 0, 0, 0, 0, 0}), 1u);
    EXPECT_EQ(t.Call(47, {2, 0, 0}), 1u);
    // A file that is no save file.
    t.s.f.dir.Write(t.s.File(2, 1), "not a save");
    const uint32_t buffer = t.Block("", 200);
    EXPECT_EQ(t.Call(45, {buffer, 2, 1, 0}), 3u);
    EXPECT_EQ(t.Call(47, {2, 1, buffer}), 3u);
}

TEST(SaveDataNatives, SnapshotRows)
{
    SaveHost t;
    t.s.f.SetWord("Score", 40);
    const struct {
        const char* what;
        uint32_t native, code, held;
        uint32_t scoreBefore, scoreAfter; // Score set before the call, and read after
    } steps[] = {
        {"none held", 52, 0, 0, 40, 40},
        {"restoring none", 51, kMinus1, 0, 40, 40},
        {"taken", 50, 0, 1, 40, 40},
        {"restored: the score as it was taken", 51, 0, 0, 9, 40},
        {"taken again", 50, 0, 1, 40, 40},
        {"discarded", 53, 0, 0, 40, 40},
        {"nothing to restore after the discard", 51, kMinus1, 0, 8, 8},
    };
    for (const auto& s : steps) {
        t.s.f.SetWord("Score", s.scoreBefore);
        EXPECT_EQ(t.Call(s.native, {}), s.code) << s.what;
        EXPECT_EQ(t.Call(52, {}), s.held) << s.what;
        EXPECT_EQ(t.s.f.Word("Score"), s.scoreAfter) << s.what;
    }
}

// A MAIN module reveals a message and its choices into a kind-9 canvas that the screen shows as its
// frame, saves the slot and, once the game has gone on, loads it back.
TEST(SaveDataNatives, MilestoneMessageChoicesAndAFormThenSavedAndLoaded)
{
    SaveHost t;
    CScreen& screen = t.s.f.UseScreen();
    CFont* made = nullptr;
    ASSERT_EQ(screen.CreateGlyphFont(&made, winapi::Sjis("ＭＳ ゴシック"), 16), 0);
    CGlyphFont* font = dynamic_cast<CGlyphFont*>(made);
    ASSERT_NE(font, nullptr);
    CSurfaceSprite* canvas = nullptr;
    ASSERT_EQ(screen.CreateSurfaceSprite(&canvas, 320, 120, 32, 0), 0);
    const std::string surface = std::to_string(t.host.ObjectHandle(static_cast<CSurface*>(canvas)));
    const std::string fontHandle = std::to_string(t.host.ObjectHandle(made));
    const std::string body = winapi::Sjis("あいう");
    const uint32_t message = t.Block(std::string("\x01\x03\x00", 3) + body + std::string(1, '\0'));
    // Choices of kind 2 (no seen flags): "はい" and "いいえ".
    std::string choices("\x02\x00\x00\x02\x00", 5);
    for (const char* c : {"はい", "いいえ"}) {
        const std::string text = winapi::Sjis(c);
        choices += static_cast<char>(text.size() + 3);
        choices += '\0';
        choices += text + std::string(1, '\0');
    }
    const uint32_t choiceRecord = t.Block(choices);

    // The form: a button, a list layer and a text object placed in the main form (in the form's
    // scene); the script waits frames for the button's click and keeps its user value as Score.
    // Buttons draw their faces through the pixel library, lists load their bar's picture.
    TestPixelLibrary pixels;
    CGllManager loaders;
    ASSERT_EQ(RegisterBuiltinImageLoaders(loaders), 0);
    g_pGllManager = &loaders;
    struct SetScene {
        explicit SetScene(CScene* scene) { g_TextObjectList.SetScene(scene); }
        ~SetScene()
        {
            g_MainForm.RemoveAllControls();
            g_TextObjectList.DeleteAll();
            g_TextObjectList.SetScene(nullptr);
            g_pGllManager = nullptr;
        }
    } setScene(&t.s.scene);
    CInputManager& input = t.s.f.app.GetInput();
    ASSERT_EQ(input.CreateDevices(nullptr, kInputMessages, kInputMessages), 0u);
    CActionMap* actions = nullptr;
    ASSERT_EQ(input.CreateActionMap(8, &actions), 0u);
    input.m_active = 1;
    t.s.f.app.actions = actions;
    t.s.f.dir.Write("BAR.ELG", Elg(12, 30, 0x808080));
    const std::string bar = std::to_string(t.Str("BAR.ELG"));
    Script reveal(t.host, "ncall native 242, a242, r242\n"
                          "ncall native 468, a468, r468\n"
                          "ncall native 497, a497, r497\n"
                          "ncall native 470, a470, r470\n"
                          "ncall native 473, a473, r473\n"
                          "ncall native 504, a504, r504\n"
                          "ret\n.data\n"
                          "a242: .word " + surface + "\nr242: .word 9\n"
                          "a468: .word " + std::to_string(message) + "\nr468: .word 9\n"
                          "a497: .word " + std::to_string(choiceRecord) + "\nr497: .word 9\n"
                          "a470: .word " + surface + ", 0, 4, 6, " + fontHandle + ", 0, 0, 2\nr470: .word 9\n"
                          "a473: .word 1\nr473: .word 9\n"
                          "a504: .word 0, 60, 40, 0, 0, 0\nr504: .word 9\n");
    ASSERT_FALSE(reveal.Faulted());
    for (const char* r : {"r242", "r468", "r497", "r470", "r504"})
        EXPECT_EQ(reveal.Word(r), 0u) << r;
    EXPECT_EQ(reveal.Word("r473"), 5u); // the text's end

    t.s.f.Module("MAIN", "       ncall native 685, a685, button\n"
                         "       ncall native 700, a700, list\n"
                         "       ncall native 697, a697, object\n"
                         "       movm button, a723\n"
                         "       ncall native 723, a723, r723\n"
                         "       movm button, a716\n"
                         "       ncall native 716, a716, r716\n"
                         "       movm list, a716\n"
                         "       ncall native 716, a716, r716\n"
                         "       movm object, a716\n"
                         "       ncall native 716, a716, r716\n"
                         "wait:  yield\n"
                         "       ncall native 706, a716, r706\n"
                         "       ncall native 707, a716, got\n"
                         "       movm got, chk.1\n"
                         "chk:   eq 0, -1, back.1\n"
                         "back:  jz 0, done\n"
                         "       jz 0, wait\n"
                         "done:  movm got, uservar Score\n"
                         "       ncall native 43, slot, r43\n"
                         "       ret\n"
                         ".data\n"
                         "a685: .word 500, 100, 60, 24, 65535\nbutton: .word 0\n"
                         "a700: .word " + fontHandle + ", 20, 200, 10, 10, " + bar + ", 0, 0, 100, 212, 10, 65535\n"
                         "list: .word 0\n"
                         "a697: .word 500, 400, 200, 60, " + fontHandle + ", -1\nobject: .word 0\n"
                         "a723: .word 0, 11\nr723: .word 9\n"
                         "a716: .word 0, -1\nr716: .word 9\nr706: .word 0\ngot: .word 0\n"
                         "slot: .word 3, 1\nr43: .word 9\n");
    CScriptHost& host = t.host;
    ASSERT_EQ(host.OpenScript("MAIN", nullptr), 0);
    ASSERT_EQ(host.RunStep(), kRunYielded) << static_cast<int>(host.Machine().Fault());
    // The button, the list layer with its scroll bar, and the text object.
    ASSERT_EQ(g_MainForm.GetControls().size(), 4u);
    // Frames pass while nothing is clicked; the pointer comes to the button, it goes down; its
    // release ends the wait and the script saves.
    const std::function<void()> steps[] = {
        [] {},
        [&] { t.s.f.app.SetCursorPos(510, 110); },
        [&] { input.OnLButtonDown(); },
    };
    for (const auto& step : steps) {
        step();
        input.Poll();
        ASSERT_EQ(host.RunStep(), kRunYielded) << static_cast<int>(host.Machine().Fault());
    }
    input.OnLButtonUp();
    input.Poll();
    ASSERT_EQ(host.RunStep(), kRunEnded) << static_cast<int>(host.Machine().Fault());
    EXPECT_EQ(t.s.f.Word("Score"), 11u);

    // The frame the screen shows is the message as the font draws it, and the first choice.
    ASSERT_EQ(screen.GetFrameImage(), static_cast<CImageObject*>(canvas));
    CImage reference;
    ASSERT_EQ(reference.Create(320, 120, 32, 0), 0);
    RECT r{};
    int32_t x = 4;
    for (size_t i = 0; i < body.size(); i += 2) {
        ASSERT_EQ(font->DrawString(&reference, x, 6, body.substr(i, 2).c_str(), &r, nullptr), 0);
        x += r.right - r.left + 2;
    }
    ASSERT_EQ(font->DrawString(&reference, 60, 40, winapi::Sjis("はい"), &r, nullptr), 0);
    const auto sameAsReference = [&] {
        const CImage* shown = screen.GetFrameImage()->GetImage();
        for (int y = 0; y < 120; ++y)
            if (std::memcmp(shown->GetRowPointer(y), reference.GetRowPointer(y), 320 * 4) != 0)
                return false;
        return true;
    };
    EXPECT_TRUE(sameAsReference());

    // The game goes on; the slot brings the variables back and leaves the frame as it was.
    t.s.f.SetWord("Score", 3);
    Script load(t.host, Call(44, "3, 1"));
    ASSERT_FALSE(load.Faulted());
    EXPECT_EQ(load.Word("out"), 0u);
    EXPECT_EQ(t.s.f.Word("Score"), 11u);
    EXPECT_TRUE(sameAsReference());
}
