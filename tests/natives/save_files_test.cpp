// Save files of the script host: a file laid out by hand against SaveGame's, the slot rings and
// names, damaged files that must change nothing, comment writes that touch only their field, the
// snapshot, and writes that fail half-way.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

#include "drawing/scene.h"
#include "files/lzss.h"
#include "natives/main_form.h"
#include "natives/save_file.h"
#include "natives/save_slots.h"
#include "platform/app_config.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "support/save_fixture.h"
#include "winapi/kernel.h"
#include "winapi/text.h"

using namespace hosttest;

namespace {

struct Bytes {
    std::vector<uint8_t> b;
    Bytes& U8(uint32_t v)
    {
        b.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Bytes& U32(uint32_t v) { return U8(v).U8(v >> 8).U8(v >> 16).U8(v >> 24); }
    Bytes& Raw(const std::vector<uint8_t>& v)
    {
        b.insert(b.end(), v.begin(), v.end());
        return *this;
    }
    Bytes& Zeros(size_t n)
    {
        b.resize(b.size() + n, 0);
        return *this;
    }
    Bytes& Field(const std::string& s, size_t size)
    {
        b.insert(b.end(), s.begin(), s.end());
        return Zeros(size - s.size());
    }
};

// Class-1 variables of kVariables: Header (kind 0, 8 bytes), Comment (kind 1, 16), Score (0, 4).
std::vector<uint8_t> VariablesPart(uint32_t score)
{
    std::vector<uint8_t> comment = {'h', 'e', 'l', 'l', 'o'};
    comment.resize(16, 0);
    return Bytes().U8(0).U8(0).U32(1).U32(2).U8(1).Raw(comment).U8(0).U32(score).b; // selector 0, then kind, value
}

uint32_t Get32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

} // namespace

TEST(SaveFiles, SavedBytesEqualTheLayoutWrittenByHand)
{
    SaveFixture s;
    s.f.SetWord("Score", 41);
    const std::string title = "Chapter 1: the long road home, and back again"; // cut at 40
    ASSERT_TRUE(s.Host().SetSettingsText(title.c_str()));
    ASSERT_EQ(s.Host().SaveGame(2, 0), 0);
    const std::vector<uint8_t> file = s.Read(2, 0);

    // The state: the class-1 variables, then the text flag 0 (history not kept in saves).
    std::vector<uint8_t> state = VariablesPart(41);
    state.push_back(0);
    std::vector<uint8_t> stored = state;
    uint32_t unpacked = 0;
    BYTE* packed = nullptr;
    DWORD packedSize = 0;
    if (LzssCompress(state.data(), &packed, static_cast<DWORD>(state.size()), &packedSize, true) == 0) {
        stored.assign(packed, packed + packedSize);
        LzssFree(packed);
        unpacked = static_cast<uint32_t>(state.size());
    }
    uint32_t sum = 0;
    for (uint8_t b : stored)
        sum += b;
    Bytes hand;
    hand.U8('D').U8('J').U8('N').U8('1').U32(0);
    hand.Raw(std::vector<uint8_t>(file.begin() + 8, file.begin() + 8 + 32400)); // checked below
    hand.Field(title.substr(0, 40), 44).Field("", 253).U8(0);
    hand.U32(static_cast<uint32_t>(stored.size())).U32(unpacked).U8(sum).Raw(stored);
    EXPECT_EQ(file, hand.b);
    EXPECT_EQ(s.State(), state);

    // The thumbnail: 120 × 90, three bytes a pixel, first row first; each quadrant's colour away
    // from the seams.
    for (int y : {0, 20, 44, 46, 70, 89})
        for (int x : {0, 30, 59, 61, 100, 119}) {
            if (y == 44 || y == 46 || x == 59 || x == 61)
                continue; // next to a seam: the stretch may blend
            const uint32_t want = kQuadrants[(y >= 45 ? 2 : 0) + (x >= 60 ? 1 : 0)];
            const size_t at = 8 + (static_cast<size_t>(y) * 120 + x) * 3;
            EXPECT_EQ(file[at] | (file[at + 1] << 8) | (file[at + 2] << 16), want & 0xFFFFFF) << x << "," << y;
        }
    EXPECT_EQ(s.config.savedOnce, 1);
}

TEST(SaveFiles, RingsAndNames)
{
    SaveFixture s;
    // Ten saves without a slot into bank 0 walk 0-9 and come back to 0; bank 1 walks 5-9.
    std::vector<int> bank0, bank1;
    EXPECT_EQ(LastRingSlot(1), 5); // nothing saved: the next slot
    EXPECT_EQ(LastRingSlot(2), -1);
    for (int i = 0; i < 11; ++i) {
        bank0.push_back(NextRingSlot(0));
        ASSERT_EQ(s.Host().SaveGame(0, -1), 0);
        EXPECT_EQ(s.config.lastSlotBank0, bank0.back());
    }
    for (int i = 0; i < 6; ++i) {
        bank1.push_back(NextRingSlot(1));
        ASSERT_EQ(s.Host().SaveGame(1, -1), 0);
        EXPECT_EQ(s.config.lastSlotBank1, bank1.back());
        EXPECT_EQ(LastRingSlot(1), bank1.back()); // a quick load finds what was just saved
    }
    EXPECT_EQ(bank0, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
    EXPECT_EQ(bank1, (std::vector<int>{5, 6, 7, 8, 9, 5}));

    struct Case {
        const char* what;
        int bank, slot, code;
        const char* file; // the name's end, or null
    };
    const Case cases[] = {
        {"an existing slot", 0, 3, 0, "DATA0003.SAV"},
        {"a missing slot still has its name", 5, 7, 3, "DATA0507.SAV"},
        {"bank 0's newest file (ring next is 1)", 0, -1, 0, "DATA0000.SAV"},
        {"bank 1's newest file (ring next is 6)", 1, -1, 0, "DATA0105.SAV"},
        {"no file in a ring", 4, -1, -1, nullptr},
        {"bank past 99", 100, 0, -1, nullptr},
        {"slot past 99", 2, 100, -1, nullptr},
        {"negative bank", -1, 0, -1, nullptr},
    };
    for (const Case& c : cases) {
        std::string name;
        EXPECT_EQ(MakeSaveFileName(&name, c.bank, c.slot), c.code) << c.what;
        if (c.file != nullptr) {
            EXPECT_EQ(name, s.f.app.saveFolder + c.file) << c.what;
        }
    }
    // An empty ring answers 1 for bank 0, 2 for bank 1.
    for (int slot = 0; slot < 10; ++slot) {
        std::filesystem::remove(s.f.dir.Linux(s.File(0, slot)));
        std::filesystem::remove(s.f.dir.Linux(s.File(1, slot)));
    }
    std::string name;
    EXPECT_EQ(MakeSaveFileName(&name, 0, -1), 1);
    EXPECT_EQ(MakeSaveFileName(&name, 1, -1), 2);

    // Saves that would name another file or have no slot write nothing.
    const int before = static_cast<int>(std::distance(std::filesystem::directory_iterator(s.f.dir.Linux("SAVE")),
                                                      std::filesystem::directory_iterator()));
    EXPECT_EQ(s.Host().SaveGame(2, -1), -1);
    EXPECT_EQ(s.Host().SaveGame(100, 0), -1);
    EXPECT_EQ(s.Host().SaveGame(3, 100), -1);
    EXPECT_EQ(static_cast<int>(std::distance(std::filesystem::directory_iterator(s.f.dir.Linux("SAVE")),
                                             std::filesystem::directory_iterator())),
              before);
}

TEST(SaveFiles, LoadBringsTheVariablesBack)
{
    SaveFixture s;
    s.f.SetWord("Score", 77);
    ASSERT_EQ(s.Host().SaveGame(3, 4), 0);
    s.f.SetWord("Score", 1);
    EXPECT_EQ(s.Host().LoadGameSlot(3, 4), 0);
    EXPECT_EQ(s.f.Word("Score"), 77u);
    EXPECT_EQ(s.Host().LoadGameSlot(3, 5), -1); // no file

    // A raw state (unpacked length 0) loads the same.
    std::vector<uint8_t> state = VariablesPart(12);
    state.push_back(0);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(savefile::Build({}, state.data(), state.size(), false, &bytes));
    EXPECT_EQ(Get32(bytes, savefile::kUnpackedOffset), 0u);
    s.Write(3, 6, bytes);
    EXPECT_EQ(s.Host().LoadGameSlot(3, 6), 0);
    EXPECT_EQ(s.f.Word("Score"), 12u);
}

TEST(SaveFiles, DamagedFilesChangeNothing)
{
    SaveFixture s;
    s.f.SetWord("Score", 5);
    ASSERT_EQ(s.Host().SaveGame(2, 1), 0);
    const std::vector<uint8_t> good = s.Read(2, 1);
    const size_t data = savefile::kHeaderSize;
    const auto fixSum = [](std::vector<uint8_t>& b) {
        b[savefile::kChecksumOffset] = savefile::Checksum(b.data() + savefile::kHeaderSize,
                                                          b.size() - savefile::kHeaderSize);
    };
    // A state its owner refuses: the variables' first kind byte is wrong (stored raw).
    std::vector<uint8_t> refused = VariablesPart(9);
    refused[1] = 7;
    refused.push_back(0);
    std::vector<uint8_t> refusedFile;
    ASSERT_TRUE(savefile::Build({}, refused.data(), refused.size(), false, &refusedFile));
    // A text part that does not parse behind good variables.
    std::vector<uint8_t> badText = VariablesPart(9);
    badText.push_back(1);
    const std::vector<uint8_t> history = Bytes().U32(1000).b; // 1000 entries in four bytes
    badText.insert(badText.end(), history.begin(), history.end());
    std::vector<uint8_t> badTextFile;
    ASSERT_TRUE(savefile::Build({}, badText.data(), badText.size(), false, &badTextFile));

    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        int code;
    };
    const Case cases[] = {
        {"bad magic", [](auto& b) { b[0] = 'X'; }, 3},
        {"version 1", [](auto& b) { b[4] = 1; }, 5},
        {"header cut short", [](auto& b) { b.resize(100); }, 3},
        {"header cut before the lengths", [](auto& b) { b.resize(savefile::kStoredLengthOffset + 3); }, 3},
        {"stored length past the end", [](auto& b) { b[savefile::kStoredLengthOffset + 2] = 1; }, 3},
        {"checksum off by one", [](auto& b) { ++b[savefile::kChecksumOffset]; }, 3},
        {"a data byte changed", [&](auto& b) { b[data] ^= 0x40; }, 3},
        {"packed bytes that end before the unpacked length", [](auto& b) {
             b[savefile::kUnpackedOffset + 1] = 0x10; // 4096 bytes and more from a few dozen
         }, 3},
        {"LZSS garbage", [&](auto& b) {
             b.resize(data + 4);
             for (size_t i = data; i < b.size(); ++i)
                 b[i] = 0xFF;
             b[savefile::kStoredLengthOffset] = 4;
             b[savefile::kStoredLengthOffset + 1] = 0;
             b[savefile::kUnpackedOffset] = 200;
             fixSum(b);
         }, 3},
        {"unpacked length 2^32-1", [](auto& b) {
             for (int i = 0; i < 4; ++i)
                 b[savefile::kUnpackedOffset + i] = 0xFF;
         }, 3},
        {"unpacked length just past 64 MiB", [](auto& b) {
             const uint32_t v = savefile::kMaxUnpacked + 1;
             for (int i = 0; i < 4; ++i)
                 b[savefile::kUnpackedOffset + i] = static_cast<uint8_t>(v >> (8 * i));
         }, 3},
        {"variables refused", [&](auto& b) { b = refusedFile; }, 4},
        {"text part refused", [&](auto& b) { b = badTextFile; }, 4},
        {"empty state", [](auto& b) {
             b.resize(savefile::kHeaderSize);
             for (size_t i = savefile::kStoredLengthOffset; i < savefile::kHeaderSize; ++i)
                 b[i] = 0;
         }, 4},
    };
    s.f.SetWord("Score", 6);
    const std::vector<uint8_t> before = s.State();
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        c.damage(bad);
        s.Write(2, 2, bad);
        EXPECT_EQ(s.Host().LoadGameSlot(2, 2), c.code) << c.what;
        EXPECT_EQ(s.State(), before) << c.what;
    }
    EXPECT_EQ(s.Host().LoadGameFile(s.f.dir.Windows("SAVE\\NONE.SAV").c_str()), 1);
    EXPECT_EQ(s.Host().LoadGameFile(""), 1);
    EXPECT_EQ(s.Host().LoadGameSlot(-1, 0), 1); // no pending load file
}

TEST(SaveFiles, CommentWritesTouchOnlyTheirField)
{
    SaveFixture s;
    ASSERT_EQ(s.Host().SaveGame(2, 3), 0);
    const std::vector<uint8_t> before = s.Read(2, 3);
    const std::string kanji = winapi::Utf8ToSjis("漢");
    struct Case {
        const char* what;
        std::string comment, stored;
    };
    const Case cases[] = {
        {"300 single bytes keep 248", std::string(300, 'a'), std::string(248, 'a')},
        {"a double-byte character across 248 is left out", std::string(247, 'b') + kanji,
         std::string(247, 'b')},
        {"a short comment", "note", "note"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(WriteSaveComment(2, 3, c.comment.c_str()), 0) << c.what;
        std::vector<uint8_t> after = s.Read(2, 3);
        ASSERT_EQ(after.size(), before.size());
        std::vector<uint8_t> field(savefile::kCommentSize, 0);
        std::memcpy(field.data(), c.stored.data(), c.stored.size());
        EXPECT_TRUE(std::equal(field.begin(), field.end(), after.begin() + savefile::kCommentOffset)) << c.what;
        std::memcpy(after.data() + savefile::kCommentOffset, before.data() + savefile::kCommentOffset,
                    savefile::kCommentSize);
        EXPECT_EQ(after, before) << c.what;
        SaveSlotInfo info;
        ASSERT_EQ(ReadSaveSlotInfo(2, 3, nullptr, &info, false), 0);
        EXPECT_EQ(info.comment, c.stored) << c.what;
    }
    EXPECT_EQ(WriteSaveComment(2, 3, nullptr), 0);
    EXPECT_EQ(WriteSaveComment(2, 9, "x"), 1);  // no file
    EXPECT_EQ(WriteSaveComment(2, -1, "x"), -1); // no ring: no name
    // A file with the magic but another version, or too short for a header, is no save file.
    for (auto damage : {+[](std::vector<uint8_t>& b) { b[4] = 2; }, +[](std::vector<uint8_t>& b) { b.resize(400); }}) {
        std::vector<uint8_t> other = before;
        damage(other);
        s.Write(2, 4, other);
        EXPECT_EQ(WriteSaveComment(2, 4, "x"), 2);
        EXPECT_EQ(s.Read(2, 4), other);
    }
    // The protect byte and the comment through the dialog's writer.
    uint8_t bits = 3;
    ASSERT_EQ(WriteSlotChanges(2, 3, "kept", 1, &bits), 0);
    EXPECT_EQ(bits, 0);
    SaveSlotInfo info;
    ASSERT_EQ(ReadSaveSlotInfo(2, 3, nullptr, &info, false), 0);
    EXPECT_EQ(info.comment, "kept");
    EXPECT_EQ(info.protect, 1);
}

TEST(SaveFiles, SlotHeadersAreReadWithinTheirBytes)
{
    SaveFixture s;
    ASSERT_EQ(s.Host().SaveGame(2, 0), 0);
    std::vector<uint8_t> file = s.Read(2, 0);
    // Title and comment fields without a NUL end at the field.
    std::memset(file.data() + savefile::kTitleOffset, 'T', savefile::kTitleSize);
    std::memset(file.data() + savefile::kCommentOffset, 'C', savefile::kCommentSize);
    s.Write(2, 1, file);
    SaveSlotInfo info;
    CImage thumb;
    ASSERT_EQ(ReadSaveSlotInfo(2, 1, &thumb, &info, false), 0);
    EXPECT_EQ(info.title, std::string(44, 'T'));
    EXPECT_EQ(info.comment, std::string(253, 'C'));
    EXPECT_EQ(*reinterpret_cast<const uint32_t*>(thumb.GetRowPointer(10)) & 0xFFFFFF, kQuadrants[0] & 0xFFFFFF);
    // Wrapped: 82 bytes a line, four lines at most.
    ASSERT_EQ(ReadSaveSlotInfo(2, 1, nullptr, &info, true), 0);
    EXPECT_EQ(info.comment, std::string(82, 'C') + "\r\n" + std::string(82, 'C') + "\r\n" + std::string(82, 'C') +
                                "\r\n" + std::string(7, 'C'));
    // A header cut anywhere is no save file, with or without the thumbnail asked for; the header
    // alone is one.
    for (size_t cut : {savefile::kHeaderSize, size_t{4}, savefile::kThumbOffset + 100, savefile::kTitleOffset + 10,
                       savefile::kHeaderSize - 1}) {
        s.Write(2, 2, std::vector<uint8_t>(file.begin(), file.begin() + static_cast<ptrdiff_t>(cut)));
        const int expected = cut == savefile::kHeaderSize ? 0 : 3;
        EXPECT_EQ(ReadSaveSlotInfo(2, 2, nullptr, &info, false), expected) << cut;
        EXPECT_EQ(ReadSaveSlotInfo(2, 2, &thumb, &info, false), expected) << cut;
    }
    EXPECT_EQ(ReadSaveSlotInfo(2, 7, nullptr, &info, false), 2);
    // The title text names the date.
    std::string text;
    ASSERT_EQ(GetSaveTitleText(&text, 2, 0, 0), 0);
    EXPECT_EQ(text.rfind(winapi::Utf8ToSjis("『』 【記録日時 "), 0), 0u) << winapi::SjisToUtf8(text);
    EXPECT_EQ(GetSaveTitleText(nullptr, 2, 0, 0), 1);
    EXPECT_EQ(GetSaveTitleText(&text, 2, 2, 0), 3);
    // Copy and delete.
    EXPECT_EQ(CopySaveData(2, 0, 5, 5), 0);
    EXPECT_EQ(s.Read(5, 5), s.Read(2, 0));
    EXPECT_EQ(CopySaveData(2, 8, 5, 6), 1);
    EXPECT_EQ(DeleteSaveData(5, 5), 0);
    EXPECT_EQ(DeleteSaveData(5, 5), 1);
}

TEST(SaveFiles, SnapshotGoesBackAndIsKeptWhenRefused)
{
    SaveFixture s;
    EXPECT_EQ(s.Host().RestoreStateSnapshot(), -1);
    s.f.SetWord("Score", 10);
    ASSERT_EQ(s.Host().TakeStateSnapshot(), 0);
    s.f.SetWord("Score", 20);
    EXPECT_EQ(s.Host().RestoreStateSnapshot(), 0);
    EXPECT_EQ(s.f.Word("Score"), 10u);
    EXPECT_FALSE(s.Host().HasStateSnapshot());

    // With the history kept in saves the snapshot travels in the file and comes back with it.
    s.config.historyInSaves = 1;
    ASSERT_EQ(s.Host().TakeStateSnapshot(), 0);
    ASSERT_EQ(s.Host().SaveGame(2, 0), 0);
    s.Host().DiscardStateSnapshot();
    s.f.SetWord("Score", 30);
    ASSERT_EQ(s.Host().LoadGameSlot(2, 0), 0);
    EXPECT_TRUE(s.Host().HasStateSnapshot());
    EXPECT_EQ(s.Host().RestoreStateSnapshot(), 0);
    EXPECT_EQ(s.f.Word("Score"), 10u);
}

TEST(SaveFiles, AFailedWriteLeavesTheOldFileWhole)
{
    SaveFixture s;
    s.f.SetWord("Score", 1);
    ASSERT_EQ(s.Host().SaveGame(2, 0), 0);
    const std::vector<uint8_t> old = s.Read(2, 0);
    s.f.SetWord("Score", 2);
    struct Case {
        const char* what;
        void (*arm)(bool);
    };
    const Case cases[] = {
        {"writes fail half-way", [](bool on) { winapi::testing::FailFileWritesAfter(on ? 1000 : -1); }},
        {"flush fails", [](bool on) { winapi::testing::FailFileFlush(on); }},
        {"rename fails", [](bool on) { winapi::testing::FailFileMove(on); }},
    };
    for (const Case& c : cases) {
        c.arm(true);
        EXPECT_EQ(s.Host().SaveGame(2, 0), 5) << c.what;
        c.arm(false);
        EXPECT_EQ(s.Read(2, 0), old) << c.what;
        EXPECT_FALSE(s.f.dir.Exists(s.File(2, 0) + ".tmp")) << c.what;
        s.f.SetWord("Score", 3);
        EXPECT_EQ(s.Host().LoadGameSlot(2, 0), 0) << c.what;
        EXPECT_EQ(s.f.Word("Score"), 1u) << c.what;
    }
}

TEST(SaveFiles, ToolPacksAndShowsFiles)
{
    SaveFixture s;
    const auto tool = [&](const std::string& arguments) {
        const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool save " + arguments +
                                    " > " + s.f.dir.Linux("out.txt") + " 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::vector<uint8_t> state = VariablesPart(99);
    state.push_back(0);
    s.f.dir.Write("state.bin", std::string(state.begin(), state.end()));
    for (const char* mode : {"", " --raw"}) {
        ASSERT_EQ(tool("pack " + s.f.dir.Linux("state.bin") + " " + s.f.dir.Linux(s.File(4, 0)) +
                       " --title 'はじまり' --comment note" + mode),
                  0)
            << mode;
        EXPECT_EQ(tool("show " + s.f.dir.Linux(s.File(4, 0)) + " --thumbnail " + s.f.dir.Linux("t.bmp")), 0);
        const std::string shown = s.f.dir.Read("out.txt");
        EXPECT_NE(shown.find("title      \"はじまり\""), std::string::npos) << shown;
        EXPECT_NE(shown.find("state      " + std::to_string(state.size()) + " bytes"), std::string::npos) << shown;
        EXPECT_TRUE(s.f.dir.Exists("t.bmp"));
        s.f.SetWord("Score", 0);
        EXPECT_EQ(s.Host().LoadGameSlot(4, 0), 0);
        EXPECT_EQ(s.f.Word("Score"), 99u);
    }
    std::vector<uint8_t> bad = s.Read(4, 0);
    bad.back() ^= 1;
    s.Write(4, 1, bad);
    EXPECT_EQ(tool("show " + s.f.dir.Linux(s.File(4, 1))), 1);
    EXPECT_NE(s.f.dir.Read("out.txt").find("damaged    load code 3"), std::string::npos);
}

// A save killed at any point leaves the slot loadable, holding the old count or a newer one.
TEST(SaveFiles, KilledSavesLeaveTheOldOrTheNewFile)
{
    SaveFixture s;
    s.f.SetWord("Header", 0);
    ASSERT_EQ(s.Host().SaveGame(2, 0), 0);
    const std::string child = std::string(TESSARO_BINARY_DIR) + "/tests/natives/save_loop_child";
    std::mt19937 random(20261210);
    uint32_t lastSeen = 0;
    int advanced = 0;
    for (int round = 0; round < 100; ++round) {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string start = std::to_string(lastSeen + 1);
        std::string folder = s.f.dir.Windows();
        char* argv[] = {const_cast<char*>(child.c_str()), folder.data(), const_cast<char*>(start.c_str()), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, child.c_str(), &actions, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        char line[8] = {};
        const ssize_t got = read(out[0], line, 6); // "ready\n" once the host stands
        close(out[0]);
        ASSERT_EQ(got, 6) << "round " << round;
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round << ": the child ended by itself";
        ASSERT_EQ(s.Host().LoadGameSlot(2, 0), 0) << "round " << round;
        const uint32_t seen = s.f.Word("Header");
        ASSERT_GE(seen, lastSeen) << "round " << round;
        advanced += seen > lastSeen ? 1 : 0;
        lastSeen = seen;
        std::string name;
        ASSERT_EQ(MakeSaveFileName(&name, 2, 0), 0);
        EXPECT_EQ(name.find(".tmp"), std::string::npos);
    }
    EXPECT_GT(advanced, 0);
}
