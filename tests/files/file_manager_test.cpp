// The file manager: lookup order over loose files, search folders and mounted archives, mount
// groups, codes, and the archive-decoder records.
#include "files/file_manager.h"

#include <gtest/gtest.h>

#include <string>

#include "files/map_archive.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "winapi/text.h"

namespace {

class FileManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        manager.RegisterDecoder(new MapDecoder, "MAP\0", "Map archive", 7, nullptr, nullptr, nullptr);
    }

    // Contents of name as the manager hands it out, or "<code N>".
    std::string Read(const char* name, bool allowLoad = true)
    {
        int code = -100;
        char path[MAX_PATH] = "";
        CReadStream* stream = manager.Open(name, path, &code, allowLoad);
        if (stream == nullptr)
            return "<code " + std::to_string(code) + ">";
        std::string data(stream->GetSize(), '\0');
        stream->Read(data.data(), stream->GetSize());
        stream->Release();
        lastPath = path;
        return data;
    }

    std::string Load(const char* name)
    {
        CLoadRecord record;
        char path[MAX_PATH] = "";
        int code = manager.LoadFile(name, GlobalAllocCallback, GlobalFreeCallback, &record, path);
        if (code != 0)
            return "<code " + std::to_string(code) + ">";
        std::string data(static_cast<char*>(record.pointer), record.size);
        GlobalFreeCallback(&record);
        lastPath = path;
        return data;
    }

    std::string Groups()
    {
        std::string s;
        for (const CFileManager::CMount& m : manager.GetMounts()) {
            char name[MAX_PATH];
            GetFileName(m.prefix.c_str(), name, true);
            s += (s.empty() ? "" : " ") + std::string(name) + ":" + std::to_string(m.group);
        }
        return s;
    }

    TempFolder dir;
    CFileManager manager;
    std::string lastPath;
};

} // namespace

TEST_F(FileManagerTest, LooseFilesWinOverSearchFoldersOverArchives)
{
    dir.Write("data.map", "MAP\nbg\\a.elg\tfrom archive\nbg\\b.elg\tarchive b\nbg\\c.elg\tarchive c\n");
    dir.Write("extra/bg/b.elg", "search folder b");
    dir.Write("bg/a.elg", "loose a");
    ASSERT_EQ(manager.AddSearchFolder("Extra", true), 0);
    ASSERT_EQ(manager.Mount("DATA.MAP", -2, false, true, nullptr), 0);

    EXPECT_EQ(Read("bg\\a.elg"), "loose a");
    EXPECT_EQ(lastPath, dir.Windows("bg\\a.elg"));
    EXPECT_EQ(Read("BG/B.ELG"), "search folder b");
    EXPECT_EQ(Read("bg\\c.elg"), "archive c");
    EXPECT_EQ(Load("bg\\c.elg"), "archive c");
    EXPECT_EQ(Read("bg\\d.elg"), "<code 3>");
    EXPECT_EQ(Load("bg\\d.elg"), "<code 3>");
    // An absolute name that is missing is not looked for under the search folders.
    EXPECT_EQ(Read((dir.Windows("bg\\b.elg")).c_str()), "archive b");
    EXPECT_EQ(Read("Z:\\no\\such\\file"), "<code 3>");
}

TEST_F(FileManagerTest, ArchivesUnderSearchFoldersAreAskedLast)
{
    dir.Write("extra/more.map", "MAP\nx.txt\tunder search folder\n");
    ASSERT_EQ(manager.AddSearchFolder("extra\\", true), 0);
    ASSERT_EQ(manager.Mount("extra\\more.map", -2, false, true, nullptr), 0);
    EXPECT_EQ(Read("x.txt"), "under search folder");
    EXPECT_EQ(lastPath, std::string(manager.GetSearchFolder(0)) + "x.txt");
}

TEST_F(FileManagerTest, PatchesShadowTheScriptArchiveInMountOrder)
{
    dir.Write("PATCH.MAP", "MAP\nscript\\a\tpatch 1\nscript\\b\tpatch 1 b\nother\tpatch 1 other\n");
    dir.Write("PATCH2.MAP", "MAP\nscript\\a\tpatch 2\n");
    dir.Write("SCRIPT.MAP", "MAP\na\tscript a\nb\tscript b\nc\tscript c\nother\tnever\n");
    ASSERT_EQ(manager.Mount("PATCH.MAP", -2, false, true, nullptr), 0);
    ASSERT_EQ(manager.Mount("PATCH2.MAP", -2, false, false, nullptr), 0);
    ASSERT_EQ(manager.Mount("PATCH3.MAP", -2, false, false, nullptr), 5); // the game stops here
    ASSERT_EQ(manager.Mount("SCRIPT.MAP", -2, true, true, nullptr), 0);
    ASSERT_EQ(manager.GetMountCount(), 3);
    // One group: the newest patch heads it, the script archive ends it.
    std::string folderPrefix = manager.GetMountPrefix(-1, 0);
    EXPECT_EQ(manager.GetMounts().front().group, static_cast<int>(folderPrefix.size()));
    EXPECT_EQ(manager.GetMounts().back().group, -1);
    EXPECT_EQ(std::string(manager.GetMountPrefix(-1, -1)), folderPrefix + "script\\");

    EXPECT_EQ(Read("script\\a"), "patch 2");
    EXPECT_EQ(Read("SCRIPT\\B"), "patch 1 b");
    EXPECT_EQ(Read("script\\c"), "script c");
    EXPECT_EQ(Read("other"), "patch 1 other");
    EXPECT_EQ(Read("b"), "<code 3>"); // outside the script folder: never asked of SCRIPT
}

TEST_F(FileManagerTest, EntriesThatMustBeLoadedNeedAllowLoad)
{
    dir.Write("a.map", "MAP\n*packed.bin\tunpacked bytes\n");
    ASSERT_EQ(manager.Mount("a.map", 5, false, true, nullptr), 0);
    EXPECT_EQ(Read("packed.bin", false), "<code 3>");
    EXPECT_EQ(Read("packed.bin", true), "unpacked bytes");
    EXPECT_EQ(Load("packed.bin"), "unpacked bytes");
}

TEST_F(FileManagerTest, FolderMountOfANameEndingInATrailByteBackslash)
{
    // "予" is 0x97 0x5C: the archive's folder prefix still ends in its own separator.
    const std::string yo = winapi::Utf8ToSjis("予");
    dir.Write("予.map", "MAP\na.txt\tinside\n");
    ASSERT_EQ(manager.Mount((yo + ".map").c_str(), 1, true, true, nullptr), 0);
    EXPECT_EQ(Read((yo + "\\a.txt").c_str()), "inside");
}

TEST_F(FileManagerTest, UnmountKeepsGroupMarkersRight)
{
    for (const char* name : {"a.map", "b.map", "c.map"})
        dir.Write(name, "MAP\n");
    dir.Write("sub/d.map", "MAP\n");
    ASSERT_EQ(manager.Mount("a.map", 1, true, true, nullptr), 0);
    ASSERT_EQ(manager.Mount("b.map", 2, true, true, nullptr), 0);
    ASSERT_EQ(manager.Mount("c.map", 3, true, true, nullptr), 0);
    std::string base = manager.GetMountPrefix(1, 0);
    int shared = static_cast<int>(base.size()) - 2; // "...\a\" and "...\b\" share the folder
    EXPECT_EQ(Groups(), "a:" + std::to_string(shared) + " b:0 c:-1");
    manager.Unmount(nullptr, 2, 0); // a middle record
    EXPECT_EQ(Groups(), "a:" + std::to_string(shared) + " c:-1");
    manager.Unmount(nullptr, 1, 0); // the head of a two-record group
    EXPECT_EQ(Groups(), "c:0");
    manager.Unmount((dir.Windows("C")).c_str(), 0, 0); // by path, any case
    EXPECT_EQ(manager.GetMountCount(), 0);
    manager.Unmount(nullptr, 9, 0); // nothing mounted: nothing happens
    EXPECT_EQ(MapArchive::s_live, 0);

    ASSERT_EQ(manager.Mount("a.map", 1, true, true, nullptr), 0);
    ASSERT_EQ(manager.Mount("sub\\d.map", 4, true, false, nullptr), 0);
    ASSERT_EQ(manager.GetMountCount(), 2);
    manager.Unmount(nullptr, -2, -1); // the last
    EXPECT_EQ(manager.GetMountCount(), 1);
    EXPECT_EQ(Groups(), "d:0");
}

TEST_F(FileManagerTest, Codes)
{
    dir.Write("plain.txt", "text");
    dir.Write("notes.map", "not a map");
    dir.Write("notes.dat", "MAP\n");
    EXPECT_EQ(manager.Mount("missing.map", -2, false, true, nullptr), 5);
    EXPECT_EQ(manager.Mount("notes.map", -2, false, true, nullptr), 1);
    CArchive* archive = nullptr;
    // No decoder claims ".dat": every decoder is tried.
    EXPECT_EQ(manager.Mount("notes.dat", 3, false, true, &archive), 0);
    EXPECT_EQ(archive, manager.GetMountArchive(3, 0));

    char path[MAX_PATH];
    WIN32_FIND_DATAA data;
    EXPECT_EQ(manager.FindFile(path, "PLAIN.TXT", &data), 0);
    EXPECT_EQ(data.nFileSizeLow, 4u);
    EXPECT_EQ(manager.FindFile(path, "none.txt", nullptr), 3);
    EXPECT_EQ(manager.FindFile(path, "Z:\\none\\x.txt", nullptr), 2);
    EXPECT_EQ(manager.FindFile(path, "..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\x", nullptr), 1);

    HANDLE handle = INVALID_HANDLE_VALUE;
    EXPECT_EQ(manager.OpenFileHandle(&handle, "plain.txt", true, path), 0);
    CloseHandle(handle);
    EXPECT_EQ(manager.OpenFileHandle(&handle, "none.txt", true, path), 2);
    EXPECT_EQ(manager.OpenFileHandle(&handle, "Z:\\none\\x.txt", true, path), 1);

    CLoadRecord record;
    dir.Write("empty.txt", "");
    EXPECT_EQ(manager.LoadFile("empty.txt", GlobalAllocCallback, GlobalFreeCallback, &record, path), 8);
}

TEST_F(FileManagerTest, FindFileOrEntryAndEntriesByMount)
{
    dir.Write("pack.map", "MAP\nin.txt\tinside\nsecond.txt\tsecond\n");
    dir.Write("loose.txt", "loose");
    ASSERT_EQ(manager.Mount("pack.map", 42, false, true, nullptr), 0);
    char path[MAX_PATH];
    EXPECT_EQ(manager.FindFileOrEntry(path, "loose.txt", nullptr), 0);
    EXPECT_EQ(manager.FindFileOrEntry(path, "IN.TXT", nullptr), -1);
    EXPECT_EQ(manager.FindFileOrEntry(path, "out.txt", nullptr), 2);

    CLoadRecord record;
    ASSERT_EQ(manager.LoadArchiveEntry(42, -1, "in.txt", GlobalAllocCallback, GlobalFreeCallback, &record, path), 0);
    EXPECT_EQ(std::string(path), std::string(manager.GetMountPrefix(42, 0)) + "in.txt");
    GlobalFreeCallback(&record);
    ASSERT_EQ(manager.LoadArchiveEntry(42, 1, nullptr, GlobalAllocCallback, GlobalFreeCallback, &record, path), 0);
    EXPECT_EQ(std::string(path), std::string(manager.GetMountPrefix(42, 0)) + "000001.DAT");
    EXPECT_EQ(std::string(static_cast<char*>(record.pointer), record.size), "second");
    GlobalFreeCallback(&record);
    EXPECT_EQ(manager.LoadArchiveEntry(42, 7, nullptr, GlobalAllocCallback, GlobalFreeCallback, &record, path), 3);
    EXPECT_EQ(record.pointer, nullptr);
    EXPECT_EQ(manager.LoadArchiveEntry(41, 0, nullptr, GlobalAllocCallback, GlobalFreeCallback, &record, path), 3);
}

TEST_F(FileManagerTest, SearchFolders)
{
    EXPECT_EQ(manager.AddSearchFolder("One", true), 0);
    EXPECT_EQ(manager.AddSearchFolder("two\\", false), 0);
    EXPECT_EQ(manager.AddSearchFolder("Three/", true), 0);
    ASSERT_EQ(manager.GetSearchFolderCount(), 3);
    std::string base = g_BaseFolder;
    CharLowerA(base.data());
    EXPECT_EQ(std::string(manager.GetSearchFolder(0)), base + "two\\");
    EXPECT_EQ(std::string(manager.GetSearchFolder(-1)), base + "three\\");
    EXPECT_EQ(manager.GetSearchFolder(3), nullptr);
    EXPECT_EQ(manager.RemoveSearchFolder("ONE", 0), 0);
    EXPECT_EQ(manager.RemoveSearchFolder("one", 0), -1);
    EXPECT_EQ(manager.RemoveSearchFolder(nullptr, -1), 0);
    EXPECT_EQ(manager.GetSearchFolderCount(), 1);
    manager.ClearSearchFolders();
    EXPECT_EQ(manager.GetSearchFolderCount(), 0);
}

namespace {
DWORD AssistA(void*)
{
    return 11;
}
DWORD AssistB(void*)
{
    return 22;
}
} // namespace

TEST_F(FileManagerTest, DecoderRecords)
{
    auto* first = new MapDecoder;
    auto* second = new MapDecoder;
    EXPECT_EQ(manager.RegisterDecoder(first, "KPK\0PAK\0", "first", 1, AssistA, AssistA, nullptr), 0);
    EXPECT_EQ(manager.RegisterDecoder(second, "KPK\0", "second", 1, AssistB, AssistB, nullptr), 0);
    EXPECT_EQ(manager.RegisterDecoder(nullptr, "X\0", "none", 3, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(manager.FindDecoderByExtension("Z:\\a\\script.kpk"), first); // first registered wins
    EXPECT_EQ(manager.FindDecoderByExtension("b.Pak"), first);
    EXPECT_EQ(manager.FindDecoderByExtension("noext"), nullptr);
    EXPECT_EQ(manager.FindDecoderByType(1)(nullptr), 11u);
    EXPECT_EQ(manager.FindDecoderByType(9), nullptr);
    manager.UnloadDecoderType(1); // both records of type 1
    EXPECT_EQ(manager.FindDecoderByExtension("a.kpk"), nullptr);
    EXPECT_NE(manager.FindDecoderByExtension("a.map"), nullptr);
    EXPECT_EQ(manager.LoadDecoderPlugin("plugin\\missing.adl"), 2);
    EXPECT_EQ(manager.LoadDecoderFolder("no-plugins-here"), 0);
}
