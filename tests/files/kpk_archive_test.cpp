// The KPK reader against archives made by the packer: every layout option, names, streams,
// the file manager's view, the assist calls, and damaged archives (each a code, never a crash).
#include "files/kpk_archive.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "authoring/kpk_writer.h"
#include "files/file_manager.h"
#include "files/file_stream.h"
#include "files/kpk_cipher.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "winapi/text.h"

namespace {

std::vector<BYTE> Bytes(const std::string& s)
{
    return std::vector<BYTE>(s.begin(), s.end());
}

std::vector<BYTE> Text(size_t n, const std::string& head = "")
{
    std::string s = head;
    static const char* words[] = {"the ", "engine ", "reads ", "a ", "script\r\n"};
    for (size_t i = 0; s.size() < n; ++i)
        s += words[(i * 7 + i / 3) % 5];
    s.resize(n);
    return Bytes(s);
}

std::vector<BYTE> Random(size_t n, unsigned seed, const std::string& head = "")
{
    std::mt19937 random(seed);
    std::vector<BYTE> v = Bytes(head);
    while (v.size() < n)
        v.push_back(static_cast<BYTE>(random()));
    return v;
}

// The entries of most tests: text, noise, a sound, a tiny entry and a Shift-JIS name whose trail
// byte is a backslash; all start with the same four bytes.
std::vector<KpkWriterEntry> SampleEntries()
{
    return {
        {"script\\Main.SOB", Text(5000, "HDR0")},
        {"bg/sky.elg", Random(700, 1, "HDR0")},
        {"se\\ping.ogg", Text(3000, "HDR0")},
        {"tiny", Bytes("HDR0!")},
        {"bg\\\x95\x5C.elg", Text(600, "HDR0")}, // "表.elg"
    };
}

std::string Lower(std::string s)
{
    CharLowerA(s.data());
    for (char& c : s)
        if (c == '/')
            c = '\\';
    return s;
}

class KpkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        g_KpkBuildRecords = 1;
        g_KpkKeyWords[0] = g_KpkKeyWords[1] = 0;
    }
    void TearDown() override
    {
        g_KpkBuildRecords = 0;
        g_KpkKeyWords[0] = g_KpkKeyWords[1] = 0;
    }

    std::string Pack(const std::string& name, const std::vector<KpkWriterEntry>& entries,
                     const KpkWriterOptions& options)
    {
        std::string path = dir.Windows(name);
        std::string error;
        EXPECT_TRUE(WriteKpkArchive(path, entries, options, &error)) << error;
        return path;
    }

    CKpkArchive* OpenArchive(const std::string& path, int* code)
    {
        CKpkDecoder decoder;
        return static_cast<CKpkArchive*>(decoder.Open(path.c_str(), INVALID_HANDLE_VALUE, code));
    }

    static std::string Load(CArchive* archive, const char* name, int* code)
    {
        CLoadRecord record;
        *code = archive->LoadByName(name, GlobalAllocCallback, &record, nullptr, nullptr);
        std::string data = *code == 0 ? std::string(static_cast<char*>(record.pointer), record.size) : "";
        GlobalFreeCallback(&record);
        return data;
    }

    static std::string StreamAll(CReadStream* stream)
    {
        std::string data(stream->GetSize(), '\0');
        DWORD n = stream->Read(data.data(), stream->GetSize());
        data.resize(n);
        return data;
    }

    TempFolder dir;
};

} // namespace

TEST_F(KpkTest, EveryLayoutLoadsWhatWasPacked)
{
    struct Case {
        const char* name;
        KpkWriterOptions options;
    };
    auto with = [](auto set) {
        KpkWriterOptions o;
        set(o);
        return o;
    };
    const Case cases[] = {
        {"plain", KpkWriterOptions{}},
        {"no names", with([](KpkWriterOptions& o) { o.names = false; })},
        {"units", with([](KpkWriterOptions& o) { o.units = true; })},
        {"compressed", with([](KpkWriterOptions& o) { o.compress = true; })},
        {"scrambled", with([](KpkWriterOptions& o) { o.scramble = true; })},
        {"words", with([](KpkWriterOptions& o) { o.words = true; })},
        {"prefix", with([](KpkWriterOptions& o) { o.prefix = true; })},
        {"everything", with([](KpkWriterOptions& o) {
             o.units = o.compress = o.scramble = o.words = o.prefix = true;
         })},
    };
    const std::vector<KpkWriterEntry> entries = SampleEntries();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Pack("DATA.KPK", entries, c.options);
        int code = -1;
        CKpkArchive* archive = OpenArchive(path, &code);
        ASSERT_NE(archive, nullptr);
        EXPECT_EQ(code, 0);
        ASSERT_EQ(archive->GetEntryCount(), entries.size());
        EXPECT_EQ(archive->GetPrefixLength(), c.options.prefix ? 4u : 0u);
        for (DWORD i = 0; i < entries.size(); ++i) {
            const std::string expected(entries[i].data.begin(), entries[i].data.end());
            std::string lower = Lower(entries[i].name);
            CLoadRecord record;
            ASSERT_EQ(archive->LoadByIndex(i, GlobalAllocCallback, &record, nullptr, nullptr), 0);
            EXPECT_EQ(std::string(static_cast<char*>(record.pointer), record.size), expected) << lower;
            GlobalFreeCallback(&record);

            char name[MAX_PATH];
            const CArchiveEntry* entry = archive->GetEntry(i, name);
            ASSERT_NE(entry, nullptr);
            EXPECT_EQ(std::string(name), c.options.names ? lower : "00000" + std::to_string(i) + ".DAT");
            if (c.options.units) {
                EXPECT_EQ(entry->offset % 2048, 0u);
            }
            bool compressed = entry->storedSize != entry->unpackedSize;
            EXPECT_EQ(compressed, c.options.compress && lower != "se\\ping.ogg" && lower != "tiny" &&
                                      lower != "bg\\sky.elg")
                << lower;
            EXPECT_EQ(entry->flag != 0, c.options.scramble);

            if (c.options.names) {
                std::string upper = lower;
                CharUpperA(upper.data());
                EXPECT_TRUE(archive->Exists(upper.c_str()));
                EXPECT_EQ(Load(archive, upper.c_str(), &code), expected);
                EXPECT_EQ(archive->FindEntry(upper.c_str()), entry);
            }
            // Stored entries stream (the same bytes); compressed ones must be loaded.
            CReadStream* stream = archive->OpenByIndex(i, &code);
            if (compressed) {
                EXPECT_EQ(stream, nullptr);
                EXPECT_EQ(code, -3);
                continue;
            }
            ASSERT_NE(stream, nullptr) << lower;
            EXPECT_EQ(StreamAll(stream), expected) << lower;
            // Back into the head, then across into the file part.
            if (expected.size() > 300) {
                ASSERT_EQ(stream->SeekSet(2), 0);
                std::string part(298, '\0');
                ASSERT_EQ(stream->Read(part.data(), 298), 298u);
                EXPECT_EQ(part, expected.substr(2, 298)) << lower;
                ASSERT_EQ(stream->SeekEnd(5), 0);
                EXPECT_EQ(StreamAll(stream).size(), 5u);
            }
            stream->Release();
        }
        EXPECT_FALSE(archive->Exists("none"));
        EXPECT_EQ(Load(archive, "none", &code), "");
        EXPECT_EQ(code, 3);
        EXPECT_EQ(archive->OpenByName("none", &code), nullptr);
        EXPECT_EQ(code, 3);
        EXPECT_EQ(archive->OpenByIndex(99, &code), nullptr);
        EXPECT_EQ(code, 3);
        archive->Release();
    }
}

TEST_F(KpkTest, RecordsAreBuiltOnlyWhenSwitchedOn)
{
    std::string path = Pack("DATA.KPK", SampleEntries(), KpkWriterOptions{});
    BYTE block[8] = {0, 0, 0, 0, 0};
    EXPECT_EQ(KpkAssistFunc(block), 0u);
    EXPECT_EQ(g_KpkBuildRecords, 0);
    int code = 0;
    CKpkArchive* archive = OpenArchive(path, &code);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->GetEntryTable(), nullptr);
    EXPECT_EQ(archive->GetEntry(0, nullptr), nullptr);
    EXPECT_EQ(archive->FindEntry("tiny"), nullptr);
    EXPECT_EQ(Load(archive, "TINY", &code), "HDR0!"); // loading works without records
    CArchiveEntry info;
    EXPECT_EQ(archive->GetEntryInfo(3, &info), 0);
    EXPECT_EQ(info.storedSize, 5u);
    archive->Release();
    block[0] = 7;
    EXPECT_EQ(KpkAssistFunc2(block), 5u);
    EXPECT_EQ(KpkAssistFunc2(nullptr), 5u);
}

TEST_F(KpkTest, KeyWordsAndTheArchiveNameAreTheKey)
{
    KpkWriterOptions options;
    options.keyWords[0] = 0x12345678;
    options.keyWords[1] = 0x9ABCDEF0;
    std::string path = Pack("KEYED.KPK", SampleEntries(), options);
    // Without the key words the header deciphers to nonsense: the archive is refused.
    int code = 0;
    EXPECT_EQ(OpenArchive(path, &code), nullptr);
    EXPECT_NE(code, 0);
    BYTE block[12] = {1, 0, 0, 0, 0x78, 0x56, 0x34, 0x12, 0xF0, 0xDE, 0xBC, 0x9A};
    ASSERT_EQ(KpkAssistFunc2(block), 0u);
    CArchive* archive = OpenArchive(path, &code);
    ASSERT_NE(archive, nullptr);
    archive->Release();

    // The same bytes under another name do not decipher.
    std::string renamed = dir.Windows("OTHER.KPK");
    ASSERT_TRUE(CopyFileA(path.c_str(), renamed.c_str(), FALSE));
    EXPECT_EQ(OpenArchive(renamed, &code), nullptr);
    EXPECT_NE(code, 0);
    // Folder and letter case are not part of the key.
    EXPECT_EQ(CKpkCipher::NameKey("Z:\\a\\keyed.kpk"), CKpkCipher::NameKey("c:/KEYED.Kpk"));
}

TEST_F(KpkTest, EmptyEntriesAndNumberedNames)
{
    KpkWriterOptions options;
    options.names = false;
    std::vector<KpkWriterEntry> entries = {{"a", Bytes("first")}, {"b", {}}};
    std::string path = Pack("NONAME.KPK", entries, options);
    CFileManager manager;
    manager.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
    ASSERT_EQ(manager.Mount("noname.kpk", 5, false, true, nullptr), 0);
    CArchive* archive = manager.GetMountArchive(5, 0);
    EXPECT_FALSE(archive->Exists("a"));
    int code = 0;
    Load(archive, "a", &code);
    EXPECT_EQ(code, 3);
    CLoadRecord record;
    char where[MAX_PATH];
    ASSERT_EQ(manager.LoadArchiveEntry(5, 0, nullptr, GlobalAllocCallback, GlobalFreeCallback, &record, where), 0);
    EXPECT_EQ(std::string(static_cast<char*>(record.pointer), record.size), "first");
    EXPECT_EQ(std::string(where), std::string(manager.GetMountPrefix(5, 0)) + "000000.DAT");
    GlobalFreeCallback(&record);
    EXPECT_EQ(manager.LoadArchiveEntry(5, 1, nullptr, GlobalAllocCallback, GlobalFreeCallback, &record, where), 2);
    EXPECT_EQ(record.pointer, nullptr);
    g_pFileManager = &manager;
    CFileStream file;
    EXPECT_EQ(file.OpenArchiveEntry(5, 0, nullptr), 0u);
    EXPECT_EQ(std::string(static_cast<char*>(file.GetBuffer()), file.GetSize()), "first");
    EXPECT_EQ(std::string(file.GetPath()), std::string(manager.GetMountPrefix(5, 0)) + "000000.DAT");
    EXPECT_EQ(file.OpenArchiveEntry(5, 1, nullptr), 2u);
    EXPECT_EQ(file.OpenArchiveEntry(6, 0, nullptr), 3u);
    g_pFileManager = nullptr;
}

TEST_F(KpkTest, GameMountOrderThroughTheFileManager)
{
    std::string error;
    ASSERT_TRUE(WriteKpkArchive(dir.Windows("SCRIPT.KPK"),
                                {{"main.sob", Bytes("base main")}, {"lib.sob", Bytes("base lib")}},
                                KpkWriterOptions{}, &error));
    ASSERT_TRUE(WriteKpkArchive(dir.Windows("PATCH.KPK"), {{"script\\lib.sob", Bytes("patched lib")}},
                                KpkWriterOptions{}, &error));
    KpkWriterOptions packed;
    packed.compress = true;
    ASSERT_TRUE(WriteKpkArchive(dir.Windows("PATCH2.KPK"), {{"script\\main.sob", Text(4000)}, {"script\\new.sob", Text(3000)}},
                                packed, &error));
    CFileManager manager;
    manager.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
    ASSERT_EQ(manager.Mount("PATCH.KPK", -2, false, true, nullptr), 0);
    ASSERT_EQ(manager.Mount("PATCH2.KPK", -2, false, false, nullptr), 0);
    ASSERT_EQ(manager.Mount("PATCH3.KPK", -2, false, false, nullptr), 5);
    ASSERT_EQ(manager.Mount("SCRIPT.KPK", -2, true, true, nullptr), 0);

    auto read = [&](const char* name, bool allowLoad) {
        int code = 0;
        char where[MAX_PATH];
        CReadStream* stream = manager.Open(name, where, &code, allowLoad);
        if (stream == nullptr)
            return "<code " + std::to_string(code) + ">";
        std::string data = StreamAll(stream);
        stream->Release();
        return data;
    };
    std::vector<BYTE> text = Text(4000);
    EXPECT_EQ(read("Script\\Main.sob", true), std::string(text.begin(), text.end()));
    // Compressed entries cannot be streamed: without loading, the walk goes on to older archives.
    EXPECT_EQ(read("script\\main.sob", false), "base main");
    EXPECT_EQ(read("script\\new.sob", false), "<code 3>");
    EXPECT_EQ(read("script/lib.sob", false), "patched lib");
    g_pFileManager = &manager;
    CFileStream file;
    EXPECT_EQ(file.Open("script\\new.sob"), 3u);
    EXPECT_EQ(file.OpenInMemory("script\\main.sob"), 0u);
    EXPECT_EQ(file.GetSize(), 4000u);
    file.Close();
    g_pFileManager = nullptr;
}

TEST_F(KpkTest, LoadsFromSeveralThreadsDoNotInterleave)
{
    std::vector<KpkWriterEntry> entries;
    for (int i = 0; i < 16; ++i)
        entries.push_back({"e" + std::to_string(i), Random(3000 + i * 100, static_cast<unsigned>(i))});
    std::string path = Pack("MANY.KPK", entries, KpkWriterOptions{});
    int code = 0;
    CKpkArchive* archive = OpenArchive(path, &code);
    ASSERT_NE(archive, nullptr);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                DWORD i = static_cast<DWORD>((round * 5 + t * 3) % 16);
                CLoadRecord record;
                if (archive->LoadByIndex(i, GlobalAllocCallback, &record, nullptr, nullptr) != 0 ||
                    record.size != entries[i].data.size() ||
                    std::memcmp(record.pointer, entries[i].data.data(), record.size) != 0)
                    ++wrong;
                GlobalFreeCallback(&record);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    archive->Release();
}

TEST_F(KpkTest, PackerCollectsAFolderAsTheToolDoes)
{
    dir.Write("src/Script/Main.SOB", "main");
    dir.Write("src/bg/予定.elg", "picture"); // UTF-8 on disk, Shift-JIS in the archive
    dir.Write("src/top.txt", "top");
    std::vector<KpkWriterEntry> entries;
    std::string error;
    ASSERT_TRUE(CollectKpkEntries(dir.Linux("src"), &entries, &error)) << error;
    ASSERT_EQ(entries.size(), 3u);
    std::string path = Pack("PACKED.KPK", entries, KpkWriterOptions{});
    int code = 0;
    CKpkArchive* archive = OpenArchive(path, &code);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(Load(archive, "script\\main.sob", &code), "main");
    EXPECT_EQ(Load(archive, ("BG\\" + winapi::Utf8ToSjis("予定.ELG")).c_str(), &code), "picture");
    EXPECT_EQ(Load(archive, "top.txt", &code), "top");
    archive->Release();
    EXPECT_FALSE(CollectKpkEntries(dir.Linux("none"), &entries, &error));
}
