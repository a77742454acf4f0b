// The host's files: variable files (natives 31-33), the persistent-variable file and the voice
// table, compared with bytes laid out by hand from their formats, round trips, and damage that
// must change nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "authoring/voice_info_writer.h"
#include "files/lzss.h"
#include "support/host_fixture.h"

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
    Bytes& Str(const std::string& s, bool nul = true)
    {
        b.insert(b.end(), s.begin(), s.end());
        if (nul)
            b.push_back(0);
        return *this;
    }
};

// The stored form of raw data as the writers choose it: packed when LZSS wins, else raw (U = 0).
void Stored(const std::vector<uint8_t>& raw, std::vector<uint8_t>* stored, uint32_t* unpacked)
{
    BYTE* out = nullptr;
    DWORD size = 0;
    if (LzssCompress(raw.data(), &out, static_cast<DWORD>(raw.size()), &size, true) == 0) {
        stored->assign(out, out + size);
        LzssFree(out);
        *unpacked = static_cast<uint32_t>(raw.size());
    } else {
        *stored = raw;
        *unpacked = 0;
    }
}

uint8_t Sum(const std::vector<uint8_t>& v)
{
    uint32_t s = 0;
    for (uint8_t x : v)
        s += x;
    return static_cast<uint8_t>(s);
}

// Class-1 variables of kVariables: Header (kind 0, 8 bytes), Comment (kind 1, 16), Score (0, 4).
std::vector<uint8_t> ClassOneData()
{
    std::vector<uint8_t> comment = {'h', 'e', 'l', 'l', 'o'};
    comment.resize(16, 0);
    return Bytes().U8(0).U32(1).U32(2).U8(1).Raw(comment).U8(0).U32(7).b;
}

std::vector<uint8_t> HandVariableFile(bool withHeader, bool withComment)
{
    std::vector<uint8_t> stored;
    uint32_t unpacked = 0;
    Stored(ClassOneData(), &stored, &unpacked);
    Bytes file;
    file.U32(static_cast<uint32_t>(stored.size())).U32(unpacked);
    file.U32(withHeader ? 8 : 0);
    if (withHeader)
        file.U32(1).U32(2);
    file.U32(withComment ? 6 : 0);
    if (withComment)
        file.Str("hello");
    return file.U8(0).U8(Sum(stored)).Raw(stored).b;
}

} // namespace

TEST(VariableFiles, WrittenBytesEqualTheFormatLaidOutByHand)
{
    HostFixture f;
    CScriptHost& host = f.Start();
    std::vector<uint8_t> ours;
    ASSERT_EQ(host.BuildVariableFile(0, f.Address("Header"), f.Address("Comment"), false, &ours), 0);
    EXPECT_EQ(ours, HandVariableFile(true, true));
    ASSERT_EQ(host.BuildVariableFile(0, 0, 0, false, &ours), 0);
    EXPECT_EQ(ours, HandVariableFile(false, false));
    // No header and no comment: LA = LB = 0, and it still loads.
    f.SetWord("Score", 1);
    EXPECT_EQ(host.ApplyVariableFile(ours.data(), ours.size()), 0);
    EXPECT_EQ(f.Word("Score"), 7u);
}

TEST(VariableFiles, RoundTripsPerSelectorAndFromTheSnapshot)
{
    struct Case {
        int selector;
        bool snapshot;
        bool scoreBack, keepBack;
    };
    for (const Case c : {Case{0, false, true, false}, Case{1, false, false, true}, Case{2, false, true, true},
                         Case{0, true, true, false}}) {
        SCOPED_TRACE(c.selector * 10 + c.snapshot);
        HostFixture f;
        CScriptHost& host = f.Start();
        f.SetWord("Score", 11);
        f.SetWord("Keep", 12);
        if (c.snapshot) {
            ASSERT_EQ(host.SnapshotVariables(0, 0), 0);
            f.SetWord("Score", 99); // the live value is not what is saved
        }
        ASSERT_EQ(host.SaveVariableFile("V.DAT", c.selector, 0, 0, c.snapshot), 0);
        f.SetWord("Score", 1);
        f.SetWord("Keep", 2);
        ASSERT_EQ(host.LoadVariableFile("V.DAT"), 0);
        EXPECT_EQ(f.Word("Score"), c.scoreBack ? 11u : 1u);
        EXPECT_EQ(f.Word("Keep"), c.keepBack ? 12u : 2u);
    }
}

TEST(VariableFiles, DamageChangesNoVariable)
{
    const std::vector<uint8_t> good = HandVariableFile(true, true);
    const size_t dataAt = 4 * 3 + 8 + 4 + 6 + 2;
    auto refreshSum = [&](std::vector<uint8_t>& v) { v[dataAt - 1] = Sum(std::vector<uint8_t>(v.begin() + dataAt, v.end())); };
    // The data stored raw (U = 0) with its sum.
    auto storeRaw = [&](std::vector<uint8_t>& v, const std::vector<uint8_t>& raw) {
        v.resize(dataAt);
        v.insert(v.end(), raw.begin(), raw.end());
        v[0] = static_cast<uint8_t>(raw.size());
        v[1] = v[2] = v[3] = 0;
        v[4] = v[5] = v[6] = v[7] = 0;
        refreshSum(v);
    };
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
    };
    const Case cases[] = {
        {"a stored byte changed", [&](std::vector<uint8_t>& v) { v[dataAt] ^= 0x40; }},
        {"cut short", [&](std::vector<uint8_t>& v) { v.resize(v.size() - 1); }},
        {"cut inside the header", [&](std::vector<uint8_t>& v) { v.resize(10); }},
        {"huge U", [&](std::vector<uint8_t>& v) { v[7] = 0x7F; }},
        {"S past the end", [&](std::vector<uint8_t>& v) { v[3] = 0x10; }},
        {"LZSS garbage with a good sum", [&](std::vector<uint8_t>& v) {
             for (size_t i = dataAt; i < v.size(); ++i)
                 v[i] = 0xFF;
             refreshSum(v);
         }},
        {"raw data with a wrong kind", [&](std::vector<uint8_t>& v) {
             std::vector<uint8_t> raw = ClassOneData();
             raw[0] = 1;
             storeRaw(v, raw);
         }},
        {"raw data one byte short", [&](std::vector<uint8_t>& v) {
             std::vector<uint8_t> raw = ClassOneData();
             raw.pop_back();
             storeRaw(v, raw);
         }},
    };
    HostFixture f;
    CScriptHost& host = f.Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bad = good;
        c.damage(bad);
        f.SetWord("Header", 0xAAAA);
        f.SetWord("Score", 0xBBBB);
        EXPECT_EQ(host.ApplyVariableFile(bad.data(), bad.size()), 2);
        EXPECT_EQ(f.Word("Header"), 0xAAAAu);
        EXPECT_EQ(f.Word("Score"), 0xBBBBu);
        EXPECT_EQ(f.Word("Comment"), 0x6C6C6568u);
    }
}

TEST(VariableFiles, ResultCodesOfSaveAndLoad)
{
    HostFixture f("Header 0 1 8\nBuf 1 1 4 = \"abc\"\nFull 1 1 4 = 0x64636261\nTemp 2 0 4\n");
    CScriptHost& host = f.Start();
    const uint32_t header = f.Address("Header"), buf = f.Address("Buf");
    EXPECT_EQ(host.SaveVariableFile(nullptr, 0, 0, 0, false), 1);
    EXPECT_EQ(host.SaveVariableFile("A.DAT", 0, buf, 0, false), 4);    // header of kind 1
    EXPECT_EQ(host.SaveVariableFile("A.DAT", 0, 0, header, false), 4); // comment of kind 0
    EXPECT_EQ(host.SaveVariableFile("A.DAT", 0, 0x10000, 0, false), 4);
    EXPECT_EQ(host.SaveVariableFile("A.DAT", 0, 0, f.Address("Full"), false), 4); // no NUL in its buffer
    EXPECT_EQ(host.SaveVariableFile("A.DAT", 1, 0, 0, false), 2);     // no class-2 variable
    EXPECT_EQ(host.SaveVariableFile("..\\A.DAT", 0, 0, 0, false), 1); // leaves the folder
    EXPECT_EQ(host.LoadVariableFile("NONE.DAT"), 1);
    EXPECT_EQ(host.LoadVariableFile(nullptr), 1); // no persistent name
    // Unwritable: the old file stays whole.
    ASSERT_EQ(host.SaveVariableFile("A.DAT", 0, 0, 0, false), 0);
    const std::string before = f.dir.Read("A.DAT");
    std::filesystem::create_directory(f.dir.Linux("A.DAT.tmp"));
    f.SetWord("Header", 5);
    EXPECT_EQ(host.SaveVariableFile("A.DAT", 0, 0, 0, false), 1);
    EXPECT_EQ(f.dir.Read("A.DAT"), before);
}

TEST(VariableFiles, HeaderReadsAsATable)
{
    HostFixture f("Header 0 1 8 = 1, 2\nSmall 0 1 4\nComment 1 1 16 = \"hello\"\nShort 1 1 4 = \"ab\"\n"
                  "Score 0 1 4 = 7\n");
    CScriptHost& host = f.Start();
    const uint32_t header = f.Address("Header"), small = f.Address("Small"), comment = f.Address("Comment"),
                   shortBuf = f.Address("Short");
    ASSERT_EQ(host.SaveVariableFile("H.DAT", 0, header, comment, false), 0);
    ASSERT_EQ(host.SaveVariableFile("N.DAT", 0, 0, 0, false), 0);
    struct Case {
        const char* file;
        uint32_t header, comment;
        int result;
        bool written;
    };
    // After each read the variables are set back; "written" says whether the read changed them.
    const Case cases[] = {
        {"H.DAT", header, comment, 0, true},
        {"H.DAT", 0, 0, 0, false},           // neither asked for: nothing read
        {"H.DAT", small, comment, 3, false}, // header longer than its variable
        {"H.DAT", header, shortBuf, 3, false}, // comment longer than its buffer
        {"N.DAT", header, 0, 2, false},        // empty header block
        {"N.DAT", 0, comment, 2, false},       // empty comment block
        {"NONE.DAT", header, comment, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.result));
        f.SetWord("Header", 0);
        f.SetWord("Comment", 0);
        const int r = host.ReadVariableFileHeader(c.file, c.header, c.comment);
        if (c.header == 0 && c.comment == 0) {
            EXPECT_EQ(r, 0);
            continue;
        }
        EXPECT_EQ(r, c.result);
        EXPECT_EQ(f.Word("Header"), c.written ? 1u : 0u);
        EXPECT_EQ(f.Word("Comment"), c.written ? 0x6C6C6568u : 0u);
    }
    // The comment is measured against its buffer, not the string now in it.
    f.SetWord("Comment", 0);
    EXPECT_EQ(host.ReadVariableFileHeader("H.DAT", 0, comment), 0);
    EXPECT_EQ(f.Word("Comment"), 0x6C6C6568u);
    // A cut file writes nothing.
    std::string cut = f.dir.Read("H.DAT");
    f.dir.Write("C.DAT", cut.substr(0, 12 + 8 + 4 + 3));
    f.SetWord("Header", 0);
    EXPECT_EQ(host.ReadVariableFileHeader("C.DAT", header, comment), 2);
    EXPECT_EQ(f.Word("Header"), 0u);
}

// ---- persistent file ----

TEST(PersistentFile, BytesRoundTripAndVoiceCountRule)
{
    HostFixture f;
    CScriptHost& host = f.Start();
    const std::vector<uint8_t> voices = Bytes().U8(4).Str("OGG").U32(2).U32(2)
        .U8(2).Str("A").U8(0).U32(1).U8(3).Str("a_")
        .U8(2).Str("B").U8(1).U8(0).U32(1).U8(3).Str("b_").b;
    ASSERT_TRUE(host.LoadVoiceInfoBytes(voices.data(), voices.size()));
    host.Voices().characters[1].volume2 = 100;
    host.Voices().characters[1].enabled = 0;
    f.SetWord("Keep", 0x1234);
    std::vector<uint8_t> raw = Bytes().U32(2).U32(256).U8(1).U8(0).U32(100).U8(0).U8(1).U8(1).U8(0).U32(0x1234).b;
    std::vector<uint8_t> stored;
    uint32_t unpacked = 0;
    Stored(raw, &stored, &unpacked);
    const std::vector<uint8_t> hand = Bytes().U32(static_cast<uint32_t>(stored.size())).U32(unpacked).Raw(stored).b;
    EXPECT_EQ(host.BuildPersistentFile(), hand);

    EXPECT_EQ(host.SavePersistentVariables(nullptr), 1);
    ASSERT_TRUE(host.SetPersistentFile("P.DAT"));
    ASSERT_EQ(host.SavePersistentVariables(nullptr), 0);
    host.Voices().characters[1] = VoiceCharacter();
    f.SetWord("Keep", 0);
    f.SetWord("Score", 3);
    ASSERT_EQ(host.LoadPersistentVariables(nullptr), 0);
    EXPECT_EQ(f.Word("Keep"), 0x1234u);
    EXPECT_EQ(f.Word("Score"), 3u); // class 1 is not in it
    EXPECT_EQ(host.Voices().characters[1].volume2, 100);
    EXPECT_EQ(host.Voices().characters[1].enabled, 0);
    // Another voice count keeps the voices but still loads the variables.
    ASSERT_TRUE(host.LoadVoiceInfoBytes(voices.data(), voices.size() - 8) == false);
    f.SetWord("Keep", 0);
    ASSERT_EQ(host.LoadPersistentVariables(nullptr), 0);
    EXPECT_EQ(f.Word("Keep"), 0x1234u);
    EXPECT_TRUE(host.Voices().characters.empty());
    // With no read-log name the persistent file's result is the answer.
    EXPECT_EQ(host.SaveAllPersistentData(), 0);
}

TEST(PersistentFile, DamageAppliesNothingAndAFailedSaveKeepsTheOldFile)
{
    HostFixture f;
    CScriptHost& host = f.Start();
    f.SetWord("Keep", 77);
    const std::vector<uint8_t> good = host.BuildPersistentFile();
    std::vector<std::vector<uint8_t>> bad;
    bad.push_back(std::vector<uint8_t>(good.begin(), good.end() - 1));                      // cut
    bad.push_back(Bytes().U32(4).U32(0x7FFFFFFF).U32(0).b);                                  // huge U
    bad.push_back(Bytes().U32(9).U32(500).U32(0xFFFFFFFF).U8(0xFF).U8(0xFF).U8(0xFF).U8(0xFF).U8(0xFF).b); // garbage
    bad.push_back(Bytes().U32(8).U32(0).U32(0x40000000).U32(0).b);                           // E × 6 past the data
    bad.push_back(Bytes().U32(10).U32(0).U32(0).U8(1).U8(1).U32(5).b);                       // wrong kind
    bad.push_back(Bytes().U32(0).U32(0).b);                                                  // empty
    for (size_t i = 0; i < bad.size(); ++i) {
        f.SetWord("Keep", 1);
        EXPECT_EQ(host.ApplyPersistentFile(bad[i].data(), bad[i].size()), 2) << i;
        EXPECT_EQ(f.Word("Keep"), 1u) << i;
    }
    EXPECT_EQ(host.ApplyPersistentFile(good.data(), good.size()), 0);
    EXPECT_EQ(f.Word("Keep"), 77u);
    ASSERT_TRUE(host.SetPersistentFile("P.DAT"));
    ASSERT_EQ(host.SavePersistentVariables(nullptr), 0);
    const std::string before = f.dir.Read("P.DAT");
    std::filesystem::create_directory(f.dir.Linux("P.DAT.tmp"));
    f.SetWord("Keep", 78);
    EXPECT_EQ(host.SavePersistentVariables(nullptr), 3);
    EXPECT_EQ(f.dir.Read("P.DAT"), before);
    EXPECT_EQ(host.LoadPersistentVariables("NONE.DAT"), 1);
    std::filesystem::remove(f.dir.Linux("P.DAT.tmp"));
}

// ---- voice table ----

TEST(VoiceInfo, ReadsEntriesAliasesAndTheMap)
{
    HostFixture f;
    CScriptHost& host = f.Start();
    const std::vector<uint8_t> file = Bytes().U8(4).Str("WAV").U32(3).U32(3)
        .U8(4).Str("Ann").U8(0).U32(2).U8(3).Str("an").U8(3).Str("AN")
        .U8(4).Str("Bob").U8(1).U8(0).U32(0)             // alias count 1: hidden, no alias
        .U8(3).Str("Cy").U8(4).Str("Who").U32(1).U8(2).Str("c").b;
    // The list writer of the tools lays out the same bytes.
    std::vector<uint8_t> written;
    std::string error;
    ASSERT_TRUE(WriteVoiceInfo("WAV\nAnn - an AN\n\nBob hidden\nCy Who c\n", &written, &error)) << error;
    EXPECT_EQ(written, file);
    EXPECT_FALSE(WriteVoiceInfo("TOOLONGEXT\n", &written, &error));
    EXPECT_FALSE(WriteVoiceInfo("OGG\nAnn\n", &written, &error));
    f.dir.Write("SCRIPT/VOICEINF.DAT", Text(file));
    EXPECT_EQ(host.LoadVoiceInfo("SCRIPT\\VOICEINF.DAT"), 0);
    const VoiceTable& t = host.Voices();
    EXPECT_EQ(t.extension, "WAV");
    ASSERT_EQ(t.characters.size(), 3u);
    ASSERT_EQ(t.prefixes.size(), 3u);
    EXPECT_EQ(t.prefixes[1].prefix, "AN");
    EXPECT_EQ(t.prefixes[1].character, 0);
    EXPECT_EQ(t.prefixes[2].character, 2);
    EXPECT_EQ(t.characters[0].volume2, 256);
    EXPECT_EQ(t.characters[0].enabled, 1);
    EXPECT_EQ(t.characters[0].flag, 0);
    EXPECT_EQ(t.characters[1].flag, 1);
    EXPECT_EQ(*host.VoiceAlias(1), "");
    EXPECT_EQ(*host.VoiceAlias(2), "Who");
    EXPECT_EQ(*host.VoiceName(2), "Cy");
    EXPECT_EQ(host.SoundPlayer().GetVoiceTable(), &host.Voices());
    // A missing file leaves an empty table.
    EXPECT_EQ(host.LoadVoiceInfo("SCRIPT\\NONE.DAT"), 0);
    EXPECT_TRUE(host.Voices().characters.empty());
}

TEST(VoiceInfo, DamageGivesAnEmptyTable)
{
    auto one = [](uint32_t m, uint8_t nameLength, const std::string& ext) {
        return Bytes().U8(static_cast<uint32_t>(ext.size() + 1)).Str(ext).U32(m).U32(1)
            .U8(nameLength).Str("Ann").U8(0).U32(1).U8(3).Str("an").b;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const std::vector<uint8_t> good = one(1, 4, "OGG");
    std::vector<Case> cases = {
        {"good", one(1, 4, "OGG")},
        {"map count above the names", one(2, 4, "OGG")},
        {"map count below the names", one(0, 4, "OGG")},
        {"name length without its NUL", one(1, 3, "OGG")},
        {"extension of 8 characters", one(1, 4, "OGGOGGOG")},
        {"cut", std::vector<uint8_t>(good.begin(), good.end() - 2)},
        {"huge entry count", Bytes().U8(4).Str("OGG").U32(0).U32(0xFFFFFFFF).b},
        {"no extension NUL", Bytes().U8(3).Str("OGG", false).U32(0).U32(0).b},
    };
    HostFixture f;
    CScriptHost& host = f.Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool whole = c.bytes == good;
        EXPECT_EQ(host.LoadVoiceInfoBytes(c.bytes.data(), c.bytes.size()), whole);
        EXPECT_EQ(host.Voices().characters.size(), whole ? 1u : 0u);
        EXPECT_EQ(host.Voices().prefixes.size(), whole ? 1u : 0u);
    }
}
