#include "winapi/kernel_module.h"

#include <dlfcn.h>
#include <link.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "files/temp_folder.h"
#include "winapi/text.h"

namespace {
int WINAPI Twice(int v)
{
    return 2 * v;
}
const winapi::BuiltinProc kProcs[] = {{"twice", winapi::ToFarProc(&Twice)}};
} // namespace

TEST(Modules, BuiltinModulesFoundByLastComponentAnyCase)
{
    ASSERT_TRUE(winapi::RegisterBuiltinModule("testlib.dll", kProcs, 1));
    HMODULE a = LoadLibraryA("Z:\\game\\TESTLIB.DLL");
    HMODULE b = LoadLibraryA("testlib");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    auto twice = reinterpret_cast<int(WINAPI*)(int)>(GetProcAddress(a, "twice"));
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(twice(21), 42);
    EXPECT_EQ(GetProcAddress(a, "missing"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(a, reinterpret_cast<LPCSTR>(1)), nullptr);
    EXPECT_TRUE(FreeLibrary(a));
    EXPECT_TRUE(FreeLibrary(b));
    EXPECT_FALSE(FreeLibrary(b));
    EXPECT_EQ(GetProcAddress(a, "twice"), nullptr);
    winapi::UnregisterBuiltinModule("testlib.dll");
    EXPECT_EQ(LoadLibraryA("testlib.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(winapi::RegisterBuiltinModule("", kProcs, 1));
}

TEST(Modules, SharedObjectsFromDiskAndWindowsFilesFail)
{
    HMODULE libc = LoadLibraryA("libc.so.6");
    ASSERT_NE(libc, nullptr);
    EXPECT_NE(GetProcAddress(libc, "strlen"), nullptr);
    EXPECT_TRUE(FreeLibrary(libc));
    // Any file that is no shared object (this test's own source) fails like a missing library.
    EXPECT_EQ(LoadLibraryA("Z:" TESSARO_SOURCE_DIR "/tests/winapi/kernel_module_test.cpp"), nullptr);
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
}

// A plug-in is named by its Windows path: Shift-JIS folder names (UTF-8 on disk, "表" ends in the
// byte 0x5C) and any case. The path used to go to dlopen as it stood, with 0x5C made a '/'.
TEST(Modules, SharedObjectsByWindowsPathWithShiftJisAndAnyCase)
{
    void* libc = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(libc, nullptr);
    link_map* map = nullptr;
    ASSERT_EQ(dlinfo(libc, RTLD_DI_LINKMAP, &map), 0);
    const std::string real = map->l_name;
    dlclose(libc);
    TempFolder dir;
    std::filesystem::create_directory(dir.Linux("表"));
    std::filesystem::create_symlink(real, dir.Linux("表/Plugin.so"));

    HMODULE module = LoadLibraryA(dir.Windows(winapi::Sjis("表\\PLUGIN.SO")).c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "getpid"), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
}
