// Windows paths over the Linux file system: drive Z:, both separators, components matched
// without case, Shift-JIS names stored as UTF-8.
#include "winapi/kernel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "files/temp_folder.h"
#include "winapi/text.h"

TEST(FilePaths, ResolvesAnyCaseAndEitherSeparator)
{
    TempFolder dir;
    dir.Write("Data/Bg/Sky.ELG", "x");
    struct Case {
        const char* relative;
        bool found;
    } cases[] = {
        {"Data\\Bg\\Sky.ELG", true},
        {"data\\bg\\sky.elg", true},
        {"DATA/BG/SKY.elg", true},
        {"data/./bg/../Bg\\sky.ELG", true},
        {"data\\bg\\cloud.elg", false},
    };
    for (const Case& c : cases) {
        std::string path;
        ASSERT_TRUE(winapi::ResolvePath(dir.Windows(c.relative).c_str(), &path));
        EXPECT_EQ(path == dir.Linux("Data/Bg/Sky.ELG"), c.found) << c.relative << " → " << path;
        EXPECT_EQ(GetFileAttributesA(dir.Windows(c.relative).c_str()) != INVALID_FILE_ATTRIBUTES, c.found)
            << c.relative;
    }
    std::string missing;
    ASSERT_TRUE(winapi::ResolvePath(dir.Windows("DATA\\new.txt").c_str(), &missing));
    EXPECT_EQ(missing, dir.Linux("Data/new.txt")); // existing part matched, new name kept
}

TEST(FilePaths, OtherDrivesAndUncNamesDoNotExist)
{
    std::string path;
    EXPECT_FALSE(winapi::ResolvePath("C:\\Windows\\win.ini", &path));
    EXPECT_FALSE(winapi::ResolvePath("\\\\server\\share\\a", &path));
    EXPECT_TRUE(winapi::ResolvePath("z:\\tmp", &path));
    EXPECT_EQ(path, "/tmp");
    EXPECT_EQ(CreateFileA("C:\\a.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(FilePaths, ShiftJisNamesAreUtf8OnDisk)
{
    TempFolder dir;
    // "予" is 0x97 0x5C: its trail byte is a backslash and must not split the name.
    std::string sjisName = winapi::Utf8ToSjis("予定表.txt");
    ASSERT_EQ(sjisName[1], '\\');
    std::string windows = dir.Windows(sjisName);
    HANDLE h = CreateFileA(windows.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(h));
    EXPECT_TRUE(dir.Exists("予定表.txt"));

    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(dir.Windows("*.TXT").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::string(data.cFileName), sjisName);
    EXPECT_FALSE(FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
}

TEST(FilePaths, PathsEndingInATrailByteBackslash)
{
    // "予" (0x97 0x5C) ends these paths: its trail byte is no final separator.
    TempFolder dir;
    const std::string yo = winapi::Utf8ToSjis("予");
    dir.Write("予/x.txt", "x");

    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(dir.Windows(yo).c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::string(data.cFileName), yo);
    FindClose(find);

    char full[MAX_PATH];
    LPSTR filePart = nullptr;
    DWORD n = GetFullPathNameA(("Z:\\a\\" + yo).c_str(), sizeof full, full, &filePart);
    EXPECT_EQ(std::string(full), "Z:\\a\\" + yo);
    EXPECT_EQ(n, 5 + yo.size());
    ASSERT_NE(filePart, nullptr);
    EXPECT_EQ(std::string(filePart), yo);

    char name[MAX_PATH];
    ASSERT_EQ(GetTempFileNameA(dir.Windows(yo).c_str(), "KWF", 0x12, name), 0x12u);
    EXPECT_EQ(std::string(name), dir.Windows(yo) + "\\KWF12.TMP");

    const char* saved = std::getenv("TMPDIR");
    std::string savedValue = saved != nullptr ? saved : "";
    setenv("TMPDIR", dir.Linux("予").c_str(), 1);
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (saved != nullptr)
        setenv("TMPDIR", savedValue.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_EQ(std::string(temp, length), dir.Windows(yo) + "\\");
}

TEST(FilePaths, FullPathNames)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"Z:\\a\\b\\..\\c", "Z:\\a\\c"},
        {"z:/a/./b/", "Z:\\a\\b\\"},
        {"C:\\x\\..\\y", "C:\\y"},
        {"\\\\srv\\share\\a\\..\\b", "\\\\srv\\share\\b"},
        {"\\top", "Z:\\top"},
    };
    for (const Case& c : cases) {
        char buffer[MAX_PATH];
        DWORD n = GetFullPathNameA(c.in, sizeof buffer, buffer, nullptr);
        EXPECT_EQ(std::string(buffer), c.out) << c.in;
        EXPECT_EQ(n, std::strlen(c.out));
    }
    char small[4];
    EXPECT_EQ(GetFullPathNameA("Z:\\abc\\def", sizeof small, small, nullptr), 11u); // size needed

    char cwd[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(sizeof cwd, cwd), 2u);
    char full[MAX_PATH];
    LPSTR filePart = nullptr;
    GetFullPathNameA("rel.txt", sizeof full, full, &filePart);
    EXPECT_EQ(std::string(full), std::string(cwd) + "\\rel.txt");
    ASSERT_NE(filePart, nullptr);
    EXPECT_STREQ(filePart, "rel.txt");
}

// Long names follow symbolic links, so a caller can tell where a path really leads.
TEST(FilePaths, LongPathNamesFollowLinks)
{
    TempFolder dir;
    TempFolder outside;
    dir.Write("Data/Sky.ELG", "x");
    outside.Write("secret.txt", "x");
    std::filesystem::create_symlink(outside.Linux(), dir.Linux("out"));
    std::filesystem::create_symlink("Data", dir.Linux("in"));
    std::filesystem::create_symlink(outside.Linux("new.txt"), dir.Linux("dangling"));
    std::filesystem::create_symlink("loop2", dir.Linux("loop1"));
    std::filesystem::create_symlink("loop1", dir.Linux("loop2"));
    char base[MAX_PATH], away[MAX_PATH];
    ASSERT_GT(GetLongPathNameA(dir.Windows().c_str(), base, sizeof base), 0u);
    ASSERT_GT(GetLongPathNameA(outside.Windows().c_str(), away, sizeof away), 0u);
    struct Case {
        std::string in;
        std::string out; // empty: fails with error
        DWORD error;
    } cases[] = {
        {dir.Windows("data\\sky.elg"), std::string(base) + "\\Data\\Sky.ELG", 0},
        {dir.Windows("IN\\Sky.ELG"), std::string(base) + "\\Data\\Sky.ELG", 0},
        {dir.Windows("out\\secret.txt"), std::string(away) + "\\secret.txt", 0},
        {dir.Windows("dangling"), std::string(away) + "\\new.txt", 0},
        {dir.Windows("missing.txt"), "", ERROR_FILE_NOT_FOUND},
        {dir.Windows("nofolder\\x.txt"), "", ERROR_PATH_NOT_FOUND},
        {dir.Windows("loop1"), "", ERROR_CANT_RESOLVE_FILENAME},
        {"", "", ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        char buffer[MAX_PATH] = {};
        SetLastError(0);
        const DWORD n = GetLongPathNameA(c.in.c_str(), buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer), c.out) << c.in;
        EXPECT_EQ(n, c.out.size()) << c.in;
        if (c.out.empty()) {
            EXPECT_EQ(GetLastError(), c.error) << c.in;
        }
    }
    char small[4];
    EXPECT_EQ(GetLongPathNameA(dir.Windows().c_str(), small, sizeof small), std::strlen(base) + 1); // size needed
}

// "表" is 0x95 0x5C in Shift-JIS: its second byte must not read as a path separator at the end
// of a folder name (it used to end the path with "\\" and lose the file part).
TEST(FilePaths, TrailByteBackslashEndsNoFolderName)
{
    const std::string folder = winapi::Sjis("Z:\\a\\表");
    char full[MAX_PATH];
    LPSTR filePart = nullptr;
    EXPECT_EQ(GetFullPathNameA(folder.c_str(), sizeof full, full, &filePart), folder.size());
    EXPECT_EQ(std::string(full), folder);
    ASSERT_NE(filePart, nullptr);
    EXPECT_STREQ(filePart, winapi::Sjis("表"));

    char name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA(folder.c_str(), "KWF", 0x12, name), 0x12u);
    EXPECT_EQ(std::string(name), folder + "\\KWF12.TMP");
}

TEST(FilePaths, ModuleTempAndDriveFacts)
{
    char module[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
    ASSERT_GT(n, 3u);
    EXPECT_EQ(std::string(module, 3), "Z:\\");
    EXPECT_EQ(GetFileAttributesA(module) & FILE_ATTRIBUTE_DIRECTORY, 0u);

    char temp[MAX_PATH];
    n = GetTempPathA(sizeof temp, temp);
    ASSERT_GT(n, 3u);
    EXPECT_EQ(temp[n - 1], '\\');
    char name[MAX_PATH];
    UINT unique = GetTempFileNameA(temp, "KWF", 0, name);
    ASSERT_NE(unique, 0u);
    EXPECT_NE(std::string(name).find("\\KWF"), std::string::npos);
    EXPECT_NE(GetFileAttributesA(name), INVALID_FILE_ATTRIBUTES); // made empty
    EXPECT_TRUE(DeleteFileA(name));
    EXPECT_EQ(GetTempFileNameA(temp, "KWF", 0x1A2B, name), 0x1A2Bu);
    EXPECT_NE(std::string(name).find("KWF1A2B.TMP"), std::string::npos);

    EXPECT_EQ(GetDriveTypeA("Z:\\"), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    char drives[8];
    EXPECT_EQ(GetLogicalDriveStringsA(sizeof drives, drives), 4u);
    EXPECT_EQ(std::memcmp(drives, "Z:\\\0\0", 5), 0);
    ULARGE_INTEGER freeBytes;
    ULARGE_INTEGER total;
    ASSERT_TRUE(GetDiskFreeSpaceExA(temp, &freeBytes, &total, nullptr));
    EXPECT_GT(total.QuadPart, 0u);
}

TEST(FilePaths, WildcardsMatchWithoutCase)
{
    TempFolder dir;
    for (const char* name : {"a.ADL", "b.adl", "c.adlx", "readme", "d.Adl"})
        dir.Write(name, "");
    struct Case {
        const char* pattern;
        std::string expected; // names in listing order, joined by '|'
    } cases[] = {
        {"*.ADL", "a.ADL|b.adl|d.Adl"},
        {"?.adl", "a.ADL|b.adl|d.Adl"},
        {"*.*", ".|..|a.ADL|b.adl|c.adlx|d.Adl|readme"},
        {"READ*", "readme"},
        {"*x", "c.adlx"},
    };
    for (const Case& c : cases) {
        WIN32_FIND_DATAA data;
        std::string found;
        HANDLE find = FindFirstFileA(dir.Windows(c.pattern).c_str(), &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE) << c.pattern;
        do {
            found += (found.empty() ? "" : "|") + std::string(data.cFileName);
        } while (FindNextFileA(find, &data));
        FindClose(find);
        EXPECT_EQ(found, c.expected) << c.pattern;
    }
    WIN32_FIND_DATAA data;
    EXPECT_EQ(FindFirstFileA(dir.Windows("*.GLL").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FindFirstFileA(dir.Windows("nope\\*.*").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(FilePaths, NamesShiftJisCannotHoldAreFoundByWhatTheEngineSees)
{
    TempFolder dir;
    dir.Write("café/menu.txt", "x"); // "é" has no Shift-JIS form: the engine sees "caf?"
    std::string seen = winapi::WindowsPathFromLinux(dir.Linux("café"));
    EXPECT_EQ(seen.substr(seen.size() - 5), "\\caf?");
    EXPECT_NE(GetFileAttributesA((seen + "\\MENU.TXT").c_str()), INVALID_FILE_ATTRIBUTES);
}
