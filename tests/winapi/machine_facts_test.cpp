// Machine facts of the stand-in: the presented version, the locale's language, the registry, the
// process snapshots over a made-up /proc, the EDIT class, and the checked UTF-8 → CP932 form.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "files/temp_folder.h"
#include "winapi/kernel.h"
#include "winapi/registry.h"
#include "winapi/simd_level.h"
#include "winapi/text.h"
#include "winapi/toolhelp.h"
#include "winapi/user.h"

namespace {

TEST(MachineFacts, VersionCarriesUnamesSystemAndRelease)
{
    winapi::SetUnameForTests(winapi::UnameFacts{false, "Linux", "6.1.0-18-amd64"});
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)));
    EXPECT_EQ(version.dwMajorVersion, 6u);
    EXPECT_EQ(version.dwMinorVersion, 1u);
    EXPECT_EQ(version.dwBuildNumber, 7601u);
    EXPECT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_STREQ(version.szCSDVersion, "Linux 6.1.0-18-amd64");
    OSVERSIONINFOA small{};
    small.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(GetVersionExA(&small));
    winapi::SetUnameForTests(winapi::UnameFacts{true, "", ""});
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)));
    winapi::SetUnameForTests(std::nullopt);
}

TEST(MachineFacts, LanguageOfTheLocale)
{
    const char* saved = std::getenv("LANG");
    const std::string keep = saved != nullptr ? saved : "";
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    struct Case {
        const char* lang;
        const char* name;
    } cases[] = {{"ja_JP.UTF-8", "日本語"}, {"en_US.UTF-8", "English (United States)"}, {"C", "English (United States)"}};
    for (const Case& c : cases) {
        setenv("LANG", c.lang, 1);
        char buffer[64];
        const int needed = GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SLANGUAGE, nullptr, 0);
        ASSERT_EQ(GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SLANGUAGE, buffer, sizeof buffer), needed) << c.lang;
        EXPECT_EQ(winapi::SjisToUtf8(buffer), c.name) << c.lang;
        EXPECT_EQ(GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SLANGUAGE, buffer, 2), 0) << c.lang;
    }
    setenv("LANG", keep.c_str(), 1);
}

TEST(MachineFacts, RegistryReadCalls)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tessaro\\Test", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    winapi::SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tessaro\\Test", "Value", "abc");
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\tessaro\\test", 0, KEY_READ, &key), ERROR_SUCCESS);
    char data[8];
    DWORD size = 2, type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "value", nullptr, &type, reinterpret_cast<BYTE*>(data), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    size = sizeof data;
    ASSERT_EQ(RegQueryValueExA(key, "VALUE", nullptr, &type, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
    EXPECT_STREQ(data, "abc");
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(RegQueryValueExA(key, "other", nullptr, &type, reinterpret_cast<BYTE*>(data), &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    winapi::SetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tessaro\\Test", "Value", nullptr);
}

TEST(MachineFacts, ProcessSnapshotsOverAMadeUpProc)
{
    TempFolder proc;
    proc.Write("1/comm", "init\n");
    std::filesystem::create_symlink("/sbin/init", proc.Linux("1/exe"));
    proc.Write("42/comm", "ゲーム\n");
    std::filesystem::create_symlink("/opt/ゲーム/game (deleted)", proc.Linux("42/exe"));
    proc.Write("77/comm", "kthread\n");  // its executable cannot be read
    std::filesystem::create_directories(proc.Linux("99"));  // vanished: no comm
    proc.Write("self/comm", "x\n");
    proc.Write("notaprocess/comm", "x\n");
    winapi::SetProcRootForTests(proc.Linux());
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    std::set<std::string> names;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        names.insert(std::to_string(entry.th32ProcessID) + "=" + winapi::SjisToUtf8(entry.szExeFile));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_EQ(names, (std::set<std::string>{"1=init", "42=game", "77=kthread"}));
    EXPECT_TRUE(CloseHandle(snapshot));
    HANDLE module = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 42);
    ASSERT_NE(module, INVALID_HANDLE_VALUE);
    MODULEENTRY32 first{};
    first.dwSize = sizeof(first);
    ASSERT_TRUE(Module32First(module, &first));
    EXPECT_EQ(winapi::SjisToUtf8(first.szExePath), "Z:\\opt\\ゲーム\\game");
    EXPECT_STREQ(first.szModule, "game");
    EXPECT_TRUE(CloseHandle(module));
    EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 77), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 99999), INVALID_HANDLE_VALUE);
    winapi::SetProcRootForTests("");
}

TEST(MachineFacts, EditControlKeepsAndAppendsItsText)
{
    HWND edit = CreateWindowExA(0, "EDIT", "ab", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("cd"));
    SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(winapi::Sjis("日本")));
    char text[32];
    ASSERT_EQ(SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)), 8);
    EXPECT_EQ(winapi::SjisToUtf8(text), "abcd日本");
    DestroyWindow(edit);
}

TEST(MachineFacts, CheckedShiftJisForm)
{
    struct Case {
        const char* utf8;
        bool ok;
    } cases[] = {{"bg\\背景.txt", true}, {"plain", true}, {"", true}, {"😀", false}, {"a\xFF", false}, {"Ⅹ①～", true}};
    for (const Case& c : cases) {
        std::string sjis;
        EXPECT_EQ(winapi::Utf8ToSjisChecked(c.utf8, &sjis), c.ok) << c.utf8;
        if (c.ok) {
            EXPECT_EQ(sjis, winapi::Utf8ToSjis(c.utf8)) << c.utf8;
        }
    }
}

} // namespace

TEST(MachineFacts, SimdLevelIsForcedNeverAboveTheMachines)
{
    const SimdLevel machine = MachineSimdLevel();
    const SimdLevel before = ActiveSimdLevel();
    EXPECT_EQ(before, machine); // nothing lowered it in this program
    {
        ScopedSimdLevel plain(SimdLevel::Plain);
        EXPECT_EQ(ActiveSimdLevel(), SimdLevel::Plain);
        EXPECT_FALSE(UseSse2());
        EXPECT_FALSE(UseAvx512Bw()); // the wide twins follow the level down
        EXPECT_EQ(ForceSimdLevel(SimdLevel::Avx2), machine); // clamped to what runs here
        EXPECT_EQ(UseAvx2(), machine == SimdLevel::Avx2);
        EXPECT_EQ(UseAvx512Bw(), machine == SimdLevel::Avx2 && MachineHasAvx512Bw());
        {
            // Tests reach the AVX2 forms behind the wide twins; the level itself stays.
            ScopedAvx512 narrow(false);
            EXPECT_FALSE(UseAvx512Bw());
            EXPECT_EQ(UseAvx2(), machine == SimdLevel::Avx2);
        }
        EXPECT_EQ(UseAvx512Bw(), machine == SimdLevel::Avx2 && MachineHasAvx512Bw());
        ForceSimdLevel(SimdLevel::Plain);
    }
    EXPECT_EQ(ActiveSimdLevel(), before);
}
