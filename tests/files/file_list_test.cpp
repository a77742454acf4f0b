// Folder lists over a tree made here: Shift-JIS names, hidden and read-only files, nested
// folders; modes 0, 1 and 2 with and without recursion; local times against the C library; a
// folder linking to itself.
#include "files/file_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>

#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "winapi/text.h"

namespace {

struct Expected {
    const char* name; // UTF-8, '\' separated; folders end with '\'
    DWORD size;
    BYTE kind;
};

// The tree: files of several sizes, a hidden file and a hidden folder, a read-only file,
// Japanese names, three levels of folders.
const Expected kTree[] = {
    {"a.txt", 3, 0},
    {".hidden", 1, FILE_LIST_HIDDEN},
    {"ro.dat", 7, FILE_LIST_READONLY},
    {"セーブ\\", 0, FILE_LIST_FOLDER},
    {"セーブ\\データ01.sav", 1000, 0},
    {"sub\\", 0, FILE_LIST_FOLDER},
    {"sub\\b.txt", 2, 0},
    {"sub\\inner\\", 0, FILE_LIST_FOLDER},
    {"sub\\inner\\deep.txt", 70000, 0},
    {".dots\\", 0, FILE_LIST_FOLDER | FILE_LIST_HIDDEN},
    {".dots\\c.txt", 4, 0},
};

bool IsFolder(const std::string& name)
{
    return !name.empty() && name.back() == '\\';
}

// Depth of a name: the number of folders it lies in.
size_t Depth(const std::string& name)
{
    const std::string trimmed = IsFolder(name) ? name.substr(0, name.size() - 1) : name;
    return static_cast<size_t>(std::count(trimmed.begin(), trimmed.end(), '\\'));
}

std::string ParentOf(const std::string& name)
{
    const std::string trimmed = IsFolder(name) ? name.substr(0, name.size() - 1) : name;
    const size_t cut = trimmed.rfind('\\');
    return cut == std::string::npos ? std::string() : trimmed.substr(0, cut + 1);
}

std::string LinuxName(std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

class FileList : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const Expected& e : kTree) {
            const std::string path = dir.Linux("tree/" + LinuxName(e.name));
            if (IsFolder(e.name))
                std::filesystem::create_directories(path);
            else
                dir.Write("tree/" + LinuxName(e.name), std::string(e.size, 'x'));
        }
        chmod(dir.Linux("tree/ro.dat").c_str(), 0444);
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
    }

    TempFolder dir;
};

} // namespace

TEST_F(FileList, ListsEntriesKindsSizesAndLocalTimes)
{
    struct Case {
        int mode;
        bool recurse;
    };
    for (Case c : {Case{0, false}, Case{0, true}, Case{1, false}, Case{1, true}, Case{2, false}, Case{2, true}}) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + (c.recurse ? " recursive" : ""));
        std::set<std::string> expected;
        for (const Expected& e : kTree) {
            const bool folder = IsFolder(e.name);
            if ((folder && c.mode == 0) || (!folder && c.mode == 2) || (!c.recurse && Depth(e.name) > 0))
                continue;
            expected.insert(winapi::Utf8ToSjis(e.name));
        }
        CFileList list;
        const DWORD count = list.Build("tree", nullptr, c.mode, c.recurse);
        ASSERT_EQ(count, list.GetCount());
        std::set<std::string> got;
        for (DWORD i = 0; i < count; ++i) {
            const CFileListEntry* entry = list.GetEntry(i);
            ASSERT_NE(entry, nullptr);
            EXPECT_STREQ(list.GetName(i), entry->name.c_str());
            got.insert(entry->name);
            const std::string utf8 = winapi::SjisToUtf8(entry->name);
            const Expected* e = std::find_if(std::begin(kTree), std::end(kTree),
                                             [&](const Expected& x) { return utf8 == x.name; });
            ASSERT_NE(e, std::end(kTree)) << utf8;
            EXPECT_EQ(entry->kind, e->kind) << utf8;
            EXPECT_EQ(entry->size, e->size) << utf8;
            struct stat st = {};
            ASSERT_EQ(stat(dir.Linux("tree/" + LinuxName(e->name)).c_str(), &st), 0);
            std::tm tm = {};
            localtime_r(&st.st_mtime, &tm);
            EXPECT_EQ(entry->year, tm.tm_year + 1900) << utf8;
            EXPECT_EQ(entry->month, tm.tm_mon + 1);
            EXPECT_EQ(entry->day, tm.tm_mday);
            EXPECT_EQ(entry->dayOfWeek, tm.tm_wday);
            EXPECT_EQ(entry->hour, tm.tm_hour);
            EXPECT_EQ(entry->minute, tm.tm_min);
            EXPECT_EQ(entry->second, tm.tm_sec);
        }
        EXPECT_EQ(got, expected);
        // Order: a folder's entry comes before what lies in it, and everything under a folder's
        // sub-folders comes before the folder's own files.
        for (DWORD i = 0; i < count; ++i)
            for (DWORD j = 0; j < count; ++j) {
                const std::string a = list.GetName(i);
                const std::string b = list.GetName(j);
                if (IsFolder(a) && b.size() > a.size() && b.compare(0, a.size(), a) == 0) {
                    EXPECT_LT(i, j) << a << " holds " << b;
                }
                const std::string parent = ParentOf(b);
                if (!IsFolder(b) && a.compare(0, parent.size(), parent) == 0 && Depth(a) > Depth(b)) {
                    EXPECT_LT(i, j) << a << " lies in a sub-folder beside the file " << b;
                }
            }
    }
}

TEST_F(FileList, PatternsFoldersAndLimits)
{
    CFileList list;
    // A pattern picks the files; folders still lead into sub-folders.
    ASSERT_EQ(list.Build("tree\\", "*.txt", 0, true), 4u);
    std::set<std::string> names;
    for (DWORD i = 0; i < list.GetCount(); ++i)
        names.insert(list.GetName(i));
    EXPECT_EQ(names, (std::set<std::string>{"a.txt", "sub\\b.txt", "sub\\inner\\deep.txt", ".dots\\c.txt"}));
    EXPECT_EQ(list.GetEntry(4), nullptr);
    EXPECT_EQ(list.GetName(4), nullptr);
    // Null folder: the base folder.
    EXPECT_EQ(list.Build(nullptr, nullptr, 2, false), 1u);
    EXPECT_STREQ(list.GetName(0), "tree\\");
    EXPECT_EQ(list.Build("no-such-folder", nullptr, 1, true), 0u);
    EXPECT_EQ(list.Build("..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..", nullptr, 1, true), 0u); // above the root
    list.Clear();
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST_F(FileList, AFolderLinkingToItselfEndsAtTheLengthLimit)
{
    std::filesystem::create_directory_symlink(".", dir.Linux("tree/sub/loop"));
    CFileList list;
    const DWORD count = list.Build("tree", nullptr, 1, true);
    ASSERT_GT(count, 10u);
    const size_t folder = dir.Windows().size() + 5; // "tree\\"
    size_t longest = 0;
    for (DWORD i = 0; i < count; ++i)
        longest = std::max(longest, std::strlen(list.GetName(i)));
    EXPECT_LT(folder + longest, static_cast<size_t>(MAX_PATH));
    EXPECT_GT(folder + longest, static_cast<size_t>(MAX_PATH) - 20);
}
