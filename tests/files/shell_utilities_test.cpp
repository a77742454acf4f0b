// Shell dialogs, file utilities and dropped files on the headless host: the filter conversion,
// the dialog's hook sequence and error codes, the folder browser, copies and dates with set
// times, programs started with their arguments, a stub xdg-open, and drops.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "command_output.h"
#include "files/drop_files.h"
#include "files/file_manager.h"
#include "files/file_utilities.h"
#include "files/path_utils.h"
#include "files/shell_dialogs.h"
#include "files/temp_folder.h"
#include "winapi/host_headless.h"
#include "winapi/shell/dialog_script.h"
#include "winapi/text.h"

namespace {

using winapi::shell::DialogAnswer;
using winapi::shell::DialogRequest;


TEST(ShellFilters, TabsBecomeNulsAndTheListEndsInTwo)
{
    struct Case {
        const char* name;
        const char* filter;
        std::string expected;
    } cases[] = {
        {"description, tab, pattern, final tab", "Text\t*.txt\t", std::string("Text\0*.txt\0\0", 12)},
        {"no final tab still ends in two NULs", "Text\t*.txt", std::string("Text\0*.txt\0\0", 12)},
        {"a trail byte 0x09 stays", "\x81\x09\t*.a\t", std::string("\x81\x09\0*.a\0\0", 8)},
        {"a lead byte before the end is dropped", "A\t*.a\x81", std::string("A\0*.a\0\0", 7)},
        {"empty", "", std::string("\0\0", 2)},
        {"null", nullptr, std::string("\0\0", 2)},
        {"Japanese description", "画像\t*.bmp;*.png\t", winapi::Utf8ToSjis("画像") + std::string("\0*.bmp;*.png\0\0", 14)},
    };
    for (const Case& c : cases) {
        const char* filter = c.filter;
        if (filter != nullptr && std::string(c.name).find("Japanese") != std::string::npos)
            filter = winapi::Sjis(c.filter);
        EXPECT_EQ(ConvertFilter(filter), c.expected) << c.name;  // the literal itself is never written
    }
}

class ShellDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        winapi::shell::ClearDialogScript();
        SetBaseFolder(dir.Windows().c_str());
        g_hookLog.clear();
    }
    void TearDown() override { winapi::shell::ClearDialogScript(); }
    static UINT_PTR CALLBACK LoggingHook(HWND hook, UINT message, WPARAM wParam, LPARAM lParam)
    {
        g_hookLog.push_back(message == WM_NOTIFY ? reinterpret_cast<const NMHDR*>(lParam)->code : message);
        g_hookParent = GetParent(hook);
        return FileDialogHookProc(hook, message, wParam, lParam);
    }
    static inline std::vector<UINT> g_hookLog;
    static inline HWND g_hookParent = nullptr;
    TempFolder dir;
};

TEST_F(ShellDialogs, OpenDialogPublishesItsWindowWhileOpenAndAnswersAZPath)
{
    dir.Write("save/データ.sav", "x");
    DialogAnswer answer;
    answer.result = DialogAnswer::Chosen;
    answer.pathLinux = dir.Linux("save/データ.sav");
    answer.filterIndex = 1;
    HWND whileOpen = nullptr;
    answer.whileOpen = [&] { whileOpen = g_FileDialogWindow; };
    winapi::shell::QueueDialogAnswer(answer);
    CFileDialog dialog;
    char file[MAX_PATH] = "old.sav";
    char title[256] = "stale";
    ASSERT_TRUE(dialog.ShowOpen(nullptr, winapi::Sjis("開く"), file, title, "save",
                                winapi::Sjis("セーブ\t*.SAV\tすべて\t*.*\t"), true));
    EXPECT_NE(whileOpen, nullptr) << "set by the hook on CDN_INITDONE";
    EXPECT_EQ(g_FileDialogWindow, nullptr) << "cleared on WM_DESTROY";
    EXPECT_EQ(winapi::SjisToUtf8(file), winapi::SjisToUtf8(dir.Windows("save\\")) + "データ.sav");
    EXPECT_EQ(winapi::SjisToUtf8(title), "データ.sav");
    EXPECT_EQ(dialog.GetFilterIndex(), 2u);
    const auto requests = winapi::shell::DialogRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, DialogRequest::Open);
    EXPECT_EQ(requests[0].titleUtf8, "開く");
    ASSERT_EQ(requests[0].filters.size(), 2u);
    EXPECT_EQ(requests[0].filters[0].nameUtf8, "セーブ");
    EXPECT_EQ(requests[0].filters[0].patterns, std::vector<std::string>{"*.SAV"});
    EXPECT_EQ(requests[0].folderLinux, dir.Linux("save"));
    EXPECT_EQ(requests[0].nameUtf8, "") << "clear empties the buffer";
}

TEST_F(ShellDialogs, HookSequenceAndErrorCodes)
{
    struct Case {
        const char* name;
        DialogAnswer::Result result;
        std::string path;
        DWORD bufferSize;
        BOOL expected;
        DWORD error;
    } cases[] = {
        {"cancel", DialogAnswer::Cancelled, "", MAX_PATH, FALSE, 0},
        {"no display", DialogAnswer::NoDisplay, "", MAX_PATH, FALSE, CDERR_INITIALIZATION},
        {"buffer too small", DialogAnswer::Chosen, "/tmp/" + std::string(300, 'a'), MAX_PATH, FALSE, FNERR_BUFFERTOOSMALL},
        {"no Shift-JIS form", DialogAnswer::Chosen, "/tmp/😀.sav", MAX_PATH, FALSE, FNERR_INVALIDFILENAME},
        {"chosen", DialogAnswer::Chosen, "/tmp/a.sav", MAX_PATH, TRUE, 0},
    };
    for (const Case& c : cases) {
        DialogAnswer answer;
        answer.result = c.result;
        answer.pathLinux = c.path;
        winapi::shell::QueueDialogAnswer(answer);
        g_hookLog.clear();
        char file[MAX_PATH] = "";
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof(ofn);
        ofn.lpstrFile = file;
        ofn.nMaxFile = c.bufferSize;
        ofn.Flags = OFN_ENABLEHOOK | OFN_EXPLORER;
        ofn.lpfnHook = LoggingHook;
        ofn.lpstrDefExt = "sav";
        EXPECT_EQ(GetSaveFileNameA(&ofn), c.expected) << c.name;
        EXPECT_EQ(CommDlgExtendedError(), c.error) << c.name;
        EXPECT_EQ(g_hookLog, (std::vector<UINT>{WM_INITDIALOG, CDN_INITDONE, WM_DESTROY})) << c.name;
        EXPECT_NE(g_hookParent, nullptr) << "the hook's window is a child of the dialog's";
        if (c.error == FNERR_BUFFERTOOSMALL) {
            WORD needed;
            std::memcpy(&needed, file, sizeof needed);
            EXPECT_EQ(needed, c.path.size() + 7) << "the size needed: Z:, the path, .sav and its NUL";
        }
    }
    // A saved name without extension takes the default one.
    DialogAnswer answer;
    answer.result = DialogAnswer::Chosen;
    answer.pathLinux = "/tmp/save01";
    winapi::shell::QueueDialogAnswer(answer);
    CFileDialog dialog;
    char file[MAX_PATH] = "";
    ASSERT_TRUE(dialog.ShowSave(nullptr, "save", file, nullptr, nullptr, "Save\t*.sav\t", "sav"));
    EXPECT_STREQ(file, "Z:\\tmp\\save01.sav");
    OPENFILENAMEA bad{};
    bad.lStructSize = 12;
    EXPECT_FALSE(GetOpenFileNameA(&bad));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
}

TEST_F(ShellDialogs, FolderBrowserStartsAtTheFolderAndEmptiesItsResult)
{
    std::filesystem::create_directories(dir.Linux("start"));
    struct Case {
        const char* name;
        std::string initial;
        std::string expectedStart;
    } cases[] = {
        {"trailing backslash dropped", dir.Windows("start\\"), dir.Linux("start")},
        {"relative to the base folder", "start", dir.Linux("start")},
        {"bare drive letter: the root", "Z:", "/"},
    };
    for (const Case& c : cases) {
        winapi::shell::ClearDialogScript();
        DialogAnswer answer;
        answer.result = DialogAnswer::Chosen;
        answer.pathLinux = dir.Linux("start");
        HWND whileOpen = nullptr;
        answer.whileOpen = [&] { whileOpen = g_FileDialogWindow; };
        winapi::shell::QueueDialogAnswer(answer);
        char result[MAX_PATH] = "stale";
        EXPECT_EQ(BrowseForFolder(nullptr, "folder", c.initial.c_str(), result), 0) << c.name;
        EXPECT_EQ(std::string(result), dir.Windows("start")) << c.name;
        ASSERT_EQ(winapi::shell::DialogRequests().size(), 1u);
        EXPECT_EQ(winapi::shell::DialogRequests()[0].folderLinux, c.expectedStart) << c.name;
        EXPECT_EQ(winapi::shell::DialogRequests()[0].kind, DialogRequest::Folder);
        EXPECT_NE(whileOpen, nullptr) << c.name;
        EXPECT_EQ(g_FileDialogWindow, nullptr) << c.name;
    }
    char result[MAX_PATH] = "stale";
    EXPECT_EQ(BrowseForFolder(nullptr, "folder", nullptr, result), 0);
    EXPECT_STREQ(result, "") << "a cancel leaves an empty result";
}

class FileUtilities : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetBaseFolder(dir.Windows().c_str());
        previous = g_pFileManager;
        g_pFileManager = &manager;
    }
    void TearDown() override { g_pFileManager = previous; }
    void SetTime(const std::string& relative, int secondsAgo)
    {
        std::filesystem::last_write_time(dir.Linux(relative),
                                         std::filesystem::file_time_type::clock::now() - std::chrono::seconds(secondsAgo));
    }
    TempFolder dir;
    CFileManager manager;
    CFileManager* previous = nullptr;
};

TEST_F(FileUtilities, CopyFileCheckedByMode)
{
    struct Case {
        const char* name;
        int sourceAge, destinationAge;  // seconds; -1 no destination
        int mode;
        int expected;
        bool copied;
    } cases[] = {
        {"mode 0, newer source", 10, 100, 0, 0, true},
        {"mode 0, same time", 100, 100, 0, 1, false},
        {"mode 0, older source", 100, 10, 0, 1, false},
        {"mode 0, no destination", 100, -1, 0, 0, true},
        {"mode 1 always", 100, 10, 1, 0, true},
        {"mode 2 never over a file", 10, 100, 2, 2, false},
        {"mode 2, no destination", 10, -1, 2, 0, true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(dir.Linux("dst.txt"));
        dir.Write("src.txt", "new");
        SetTime("src.txt", c.sourceAge);
        if (c.destinationAge >= 0) {
            dir.Write("dst.txt", "old");
            SetTime("dst.txt", c.destinationAge);
        }
        EXPECT_EQ(CopyFileChecked("dst.txt", "src.txt", c.mode), c.expected) << c.name;
        EXPECT_EQ(dir.Read("dst.txt") == "new", c.copied) << c.name;
    }
    // A read-only destination is overwritten by mode 1 and left writable.
    dir.Write("dst.txt", "old");
    ASSERT_TRUE(SetFileAttributesA(dir.Windows("dst.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(CopyFileChecked("dst.txt", "src.txt", 1), 0);
    EXPECT_EQ(dir.Read("dst.txt"), "new");
    struct stat info {};
    ASSERT_EQ(stat(dir.Linux("dst.txt").c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IWUSR, 0u);
    EXPECT_EQ(CopyFileChecked("dst.txt", "missing.txt", 1), -1);
    EXPECT_EQ(CopyFileChecked("dst.txt", "missing.txt", 0), 1) << "a missing source is not newer";
    EXPECT_EQ(CopyFileChecked(nullptr, "src.txt", 1), 2);
}

TEST_F(FileUtilities, NewerSizeExistenceAndDate)
{
    dir.Write("a.txt", "12345");
    dir.Write("b.txt", "1");
    SetTime("a.txt", 10);
    SetTime("b.txt", 100);
    EXPECT_EQ(IsFileNewer("a.txt", "b.txt", {}, {}), 1);
    EXPECT_EQ(IsFileNewer("b.txt", "a.txt", {}, {}), 0);
    EXPECT_EQ(IsFileNewer("missing", "a.txt", {}, {}), -1);
    EXPECT_EQ(IsFileNewer("a.txt", "missing", {}, {}), 1);
    EXPECT_EQ(IsFileNewer(nullptr, "a.txt", FILETIME{0xFFFFFFFF, 0xFFFFFFFF}, {}), 1);
    EXPECT_EQ(GetFileSizeAny("a.txt"), 5);
    EXPECT_EQ(GetFileSizeAny("missing"), -1);
    EXPECT_TRUE(FileExistsAny("A.TXT"));
    EXPECT_FALSE(FileExistsAny("missing"));
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, weekday = -1;
    ASSERT_EQ(GetFileDateTime("a.txt", &year, &month, &day, &hour, &minute, &second, &weekday), 0);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d %d", year, month, day, hour, minute, second, weekday);
    EXPECT_EQ(std::string(text), CommandOutput("date -r '" + dir.Linux("a.txt") + "' '+%Y-%m-%d %H:%M:%S %w'"));
    EXPECT_EQ(GetFileDateTime("missing", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 3);
    g_pFileManager = nullptr;
    EXPECT_EQ(GetFileDateTime("a.txt", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 3);
    EXPECT_EQ(GetFileSizeAny("a.txt"), -1);
}

TEST_F(FileUtilities, RunProcessPassesItsArgumentsAndOpenFolderUsesXdgOpen)
{
    dir.Write("argv.sh", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$OUT\"\n");
    setenv("OUT", dir.Linux("argv.txt").c_str(), 1);
    const std::string command =
        "/bin/sh " + dir.Linux("argv.sh") + " plain \"two words\" a\\\"b " + winapi::Sjis("日本") + " \"c\\\\\"";
    ASSERT_EQ(RunProcess(command.c_str(), 1), 0);
    EXPECT_EQ(dir.Read("argv.txt"), "plain\ntwo words\na\"b\n日本\nc\\\n");
    EXPECT_EQ(RunProcess("/no/such/program", 1), 1);
    EXPECT_EQ(RunProcess(std::string(300, 'a').c_str(), 0), 1) << "longer than the 260-byte buffer";

    dir.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"$OUT\"\n");
    std::filesystem::permissions(dir.Linux("bin/xdg-open"), std::filesystem::perms::owner_all);
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (dir.Linux("bin") + ":" + path).c_str(), 1);
    std::filesystem::create_directories(dir.Linux("フォルダ"));
    EXPECT_EQ(OpenFolderInExplorer(winapi::Sjis("フォルダ")), 0);
    for (int i = 0; i < 200 && dir.Read("argv.txt") != dir.Linux("フォルダ"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(dir.Read("argv.txt"), dir.Linux("フォルダ"));
    EXPECT_EQ(OpenFolderInExplorer(std::string(270, 'f').c_str()), 1) << "over 272 bytes with \"explorer \"";
    setenv("PATH", path.c_str(), 1);
}

TEST_F(FileUtilities, ShellExecuteOpensAddressesAndExistingFilesRecordedHeadless)
{
    ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
    dir.Write("doc.txt", "x");
    const size_t before = winapi::ShellOpenedTargets().size();
    const auto code = [](HINSTANCE h) { return reinterpret_cast<intptr_t>(h); };
    EXPECT_GT(code(ShellExecuteA(nullptr, "open", "HTTPS://example.org/a", nullptr, nullptr, SW_SHOWNORMAL)), 32);
    EXPECT_GT(code(ShellExecuteA(nullptr, nullptr, "mailto:a@example.org", nullptr, nullptr, SW_SHOWNORMAL)), 32);
    EXPECT_GT(code(ShellExecuteA(nullptr, "open", dir.Windows("doc.txt").c_str(), nullptr, nullptr, SW_SHOWNORMAL)), 32);
    EXPECT_EQ(code(ShellExecuteA(nullptr, "open", dir.Windows("none.txt").c_str(), nullptr, nullptr, 1)), SE_ERR_FNF);
    EXPECT_EQ(code(ShellExecuteA(nullptr, "print", dir.Windows("doc.txt").c_str(), nullptr, nullptr, 1)), SE_ERR_ACCESSDENIED);
    EXPECT_EQ(code(ShellExecuteA(nullptr, "open", "", nullptr, nullptr, 1)), SE_ERR_FNF);
    const auto opened = winapi::ShellOpenedTargets();
    ASSERT_EQ(opened.size(), before + 3);
    EXPECT_EQ(opened[before], "HTTPS://example.org/a");
    EXPECT_EQ(opened[before + 1], "mailto:a@example.org");
    EXPECT_EQ(opened[before + 2], dir.Linux("doc.txt"));
}

TEST_F(FileUtilities, SpecialFoldersAreTheXdgFolders)
{
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    setenv("HOME", dir.Linux().c_str(), 1);
    setenv("XDG_CONFIG_HOME", dir.Linux("config").c_str(), 1);
    setenv("XDG_DATA_HOME", dir.Linux("data").c_str(), 1);
    dir.Write("config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/文書\"\n");
    char path[MAX_PATH];
    ASSERT_TRUE(GetSpecialFolderPath(path, CSIDL_PERSONAL));
    EXPECT_EQ(winapi::SjisToUtf8(path), winapi::SjisToUtf8(dir.Windows("")) + "文書");
    EXPECT_TRUE(std::filesystem::is_directory(dir.Linux("文書"))) << "made with create";
    ASSERT_TRUE(GetSpecialFolderPath(path, CSIDL_APPDATA));
    EXPECT_EQ(std::string(path), dir.Windows("data"));
    ASSERT_TRUE(GetSpecialFolderPath(path, CSIDL_DESKTOP));
    EXPECT_EQ(std::string(path), dir.Windows("Desktop"));
    EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_MYPICTURES, FALSE)) << "missing and not made";
    EXPECT_FALSE(GetSpecialFolderPath(path, 0x99));
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
}

class DroppedFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        winapi::CurrentHost();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "TessaroDropTest";
        RegisterClassExA(&wc);
        hwnd = CreateWindowExA(0, "TessaroDropTest", "drop", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                               nullptr, nullptr);
        g_drops = &drops;
    }
    void TearDown() override { DestroyWindow(hwnd); }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_DROPFILES) {
            g_results.push_back(g_drops->OnDropFiles(reinterpret_cast<HDROP>(wParam)));
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    static inline CDropFiles* g_drops = nullptr;
    static inline std::vector<int> g_results;
    CDropFiles drops;
    HWND hwnd = nullptr;
};

TEST_F(DroppedFiles, OneDropIsOneMessageAndASecondWaitsForTheFirstToBeTaken)
{
    g_results.clear();
    winapi::HostDrop(hwnd, {"/tmp/a.txt"}, 5, 5);
    Pump();
    EXPECT_TRUE(g_results.empty()) << "the window does not accept drops yet";
    drops.Enable(hwnd, true);
    EXPECT_EQ(drops.m_enabled, 1);
    winapi::HostDrop(hwnd, {"/tmp/背景.png", "/tmp/😀.png", "/tmp/b.txt"}, 5, 5);
    Pump();
    ASSERT_EQ(g_results, std::vector<int>{0});
    ASSERT_EQ(drops.GetCount(), 2u) << "the name with no Shift-JIS form is left out";
    EXPECT_EQ(winapi::SjisToUtf8(drops.GetFile(0)), "Z:\\tmp\\背景.png");
    EXPECT_STREQ(drops.GetFile(1), "Z:\\tmp\\b.txt");
    EXPECT_EQ(drops.GetFile(2), nullptr);
    winapi::HostDrop(hwnd, {"/tmp/c.txt"}, 5, 5);
    Pump();
    EXPECT_EQ(g_results, (std::vector<int>{0, -1})) << "refused while names are held";
    winapi::HostDrop(hwnd, {"/tmp/😀.png"}, 5, 5);
    Pump();
    EXPECT_EQ(g_results.size(), 2u) << "nothing left: nothing sent";
    drops.Clear();
    drops.m_singleFile = 1;
    winapi::HostDrop(hwnd, {"/tmp/1.txt", "/tmp/2.txt"}, 5, 5);
    Pump();
    ASSERT_EQ(drops.GetCount(), 1u);
    EXPECT_STREQ(drops.GetFile(0), "Z:\\tmp\\1.txt");
    char name[4];
    EXPECT_EQ(DragQueryFileA(nullptr, 0, name, sizeof name), 0u);
}

} // namespace
