// Path helpers: full paths against the base folder, cutting and splitting, Shift-JIS awareness.
#include "files/path_utils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

TEST(PathUtils, MakeFullPath)
{
    struct Case {
        const char* path;
        const char* folder;
        int result;
        const char* out;
    } cases[] = {
        {"..\\x", "c:\\a\\b\\", 2, "c:\\a\\x"},
        {"./x", "c:\\a\\b\\", 2, "c:\\a\\b\\x"},
        {"d:x", "c:\\a\\b\\", 1, "d:x"},
        {"a/b", "c:\\a\\", 2, "c:\\a\\a\\b"},
        {"\\x", "c:\\a\\", 2, "c:\\a\\x"},
        {"..\\..\\x", "c:\\a\\b\\", 2, "c:\\x"},
        {"..\\..\\..\\x", "c:\\a\\b\\", 0, nullptr},
        {"z:/a/b", "c:\\", 1, "z:\\a\\b"},
        {"\\\\srv/share/a", "c:\\", 1, "\\\\srv\\share\\a"},
        {"x", "c:\\no-separator", 2, "c:\\no-separator\\x"},
        {"x", "", 0, nullptr},
    };
    for (const Case& c : cases) {
        char out[MAX_PATH] = "untouched";
        EXPECT_EQ(MakeFullPath(out, c.path, c.folder), c.result) << c.path;
        if (c.out != nullptr) {
            EXPECT_STREQ(out, c.out) << c.path;
        }
    }
    char out[MAX_PATH];
    EXPECT_EQ(MakeFullPath(out, nullptr, "c:\\"), 0);
    EXPECT_EQ(MakeFullPath(out, std::string(300, 'a').c_str(), "c:\\"), 0); // too long: refused

    ASSERT_EQ(SetBaseFolder("Z:\\game"), 0);
    EXPECT_STREQ(g_BaseFolder, "Z:\\game\\");
    EXPECT_EQ(MakeFullPath(out, "script\\a.sob", nullptr), 2);
    EXPECT_STREQ(out, "Z:\\game\\script\\a.sob");
}

TEST(PathUtils, ShiftJisTrailBytesAreNoSeparators)
{
    // "表" is 0x95 0x5C: the second byte looks like a backslash.
    const std::string name = "\x95\x5C.elg";
    char out[MAX_PATH];
    ASSERT_EQ(MakeFullPath(out, ("bg/" + name).c_str(), "c:\\g\\"), 2);
    EXPECT_EQ(std::string(out), "c:\\g\\bg\\" + name);
    char file[MAX_PATH];
    GetFileName(out, file, false);
    EXPECT_EQ(std::string(file), name);
    char extension[MAX_PATH];
    GetFileExtension(name.c_str(), extension);
    EXPECT_STREQ(extension, "elg");
    std::string folder = "c:\\\x95\x5C\\";
    char cut[MAX_PATH];
    std::snprintf(cut, sizeof cut, "%s", folder.c_str());
    EXPECT_EQ(CutLastPathComponent(cut), 0);
    EXPECT_STREQ(cut, "c:\\");
}

TEST(PathUtils, CuttingAndSplitting)
{
    struct CutCase {
        const char* in;
        int result;
        const char* out;
    } cuts[] = {
        {"c:\\a\\b", 0, "c:\\a\\"},
        {"c:\\a\\b\\", 0, "c:\\a\\"},
        {"c:\\", 1, "c:\\"},
        {"ab", 1, "ab"},
        {"abc", 1, "abc"},
        {"\\\\srv\\", 1, "\\\\srv\\"},
        {"\\\\srv\\share\\", 0, "\\\\srv\\"},
    };
    for (const CutCase& c : cuts) {
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%s", c.in);
        EXPECT_EQ(CutLastPathComponent(path), c.result) << c.in;
        EXPECT_STREQ(path, c.out) << c.in;
    }

    struct SplitCase {
        const char* in;
        const char* folder;
        const char* name;
    } splits[] = {
        {"c:\\a\\b.kpk", "c:\\a\\", "b.kpk"},
        {"c:\\a\\", "c:\\a\\", ""},
        {"b.kpk", "b.kpk", ""},
        {"\\\\srv", "\\\\srv", ""},
    };
    for (const SplitCase& c : splits) {
        char path[MAX_PATH];
        char name[MAX_PATH] = "x";
        std::snprintf(path, sizeof path, "%s", c.in);
        SplitPath(path, name);
        EXPECT_STREQ(path, c.folder) << c.in;
        EXPECT_STREQ(name, c.name) << c.in;
    }

    char out[MAX_PATH];
    GetFileName("c:\\a\\save\\", out, true);
    EXPECT_STREQ(out, "save");
    GetFileName("c:\\a\\save\\", out, false);
    EXPECT_STREQ(out, "");
    GetFileName("plain", out, false);
    EXPECT_STREQ(out, "plain");
    GetFileExtension("c:\\a.b\\c", out); // separators are not looked at
    EXPECT_STREQ(out, "b\\c");
    GetFileExtension("noext", out);
    EXPECT_STREQ(out, "");
    char path[MAX_PATH] = "c:\\g\\SCRIPT.KPK";
    StripExtension(path, out);
    EXPECT_STREQ(path, "c:\\g\\SCRIPT");
    EXPECT_STREQ(out, "KPK");
}

TEST(PathUtils, NoCdDriveOnThisMachine)
{
    char root[MAX_PATH];
    // Drive Z: is a fixed disk unless the file system root is an optical disc.
    EXPECT_EQ(FindFileOnCdDrives(nullptr, root), 1);
}
