// Loading archive-decoder plug-ins: the seven exports, the loading codes, folders of plug-ins,
// and unloading.
#include "files/plugin_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "files/file_manager.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "winapi/kernel.h"
#include "winapi/text.h"

namespace {

std::string PluginFolder(const char* folder)
{
    return winapi::WindowsPathFromLinux(std::string(TESSARO_BINARY_DIR) + "/tests/files/plugins/" + folder) + "\\";
}

} // namespace

TEST(PluginRecord, LoadingCodes)
{
    struct Case {
        const char* path;
        int code;
    } cases[] = {
        {"mixed\\good.ADL", 0},
        {"mixed\\no_config.ADL", 0},
        {"mixed\\no_assist2.ADL", 3},
        {"single\\null_object.ADL", 4},
        {"single\\throws.ADL", 5},
        {"single\\missing.ADL", 2},
    };
    CFileManager manager;
    for (const Case& c : cases) {
        std::string path = winapi::WindowsPathFromLinux(std::string(TESSARO_BINARY_DIR) + "/tests/files/plugins/") +
                           "\\" + c.path;
        EXPECT_EQ(manager.LoadDecoderPlugin(path.c_str()), c.code) << c.path;
    }
    CArchiveDecoder* decoder = manager.FindDecoderByExtension("x.ts2");
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(decoder->Assist(nullptr), 77u);
    EXPECT_EQ(manager.FindDecoderByType(9)(nullptr), 2u);
    char tooLong[400];
    std::memset(tooLong, 'a', sizeof tooLong - 1);
    tooLong[sizeof tooLong - 1] = '\0';
    EXPECT_EQ(manager.LoadDecoderPlugin(tooLong), 1);
    manager.UnloadDecoderType(9); // both loaded records: modules released
    EXPECT_EQ(manager.FindDecoderByExtension("x.tst"), nullptr);
}

TEST(PluginRecord, FoldersCountTheFailures)
{
    CFileManager manager;
    ASSERT_EQ(SetBaseFolder(PluginFolder("").c_str()), 0);
    EXPECT_EQ(manager.LoadDecoderFolder("mixed"), 1);
    EXPECT_EQ(manager.LoadDecoderFolder("single\\"), 2);
    EXPECT_EQ(manager.LoadDecoderFolder("none"), 0);
    // A built-in registered first keeps its extensions.
    CPluginList list;
    EXPECT_EQ(RegisterPlugin(list, new CPluginObject, "TST\0", "built in", 1, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(LoadPluginFolder(list, g_AdlFamily, "mixed"), 1);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(FindPluginByExtension(list, "a.tst"), list[0]);
    EXPECT_EQ(FindPluginByExtension(list, "a.ts2"), list[1]);
    EXPECT_NE(list[1]->configDlg == nullptr, list[2]->configDlg == nullptr); // one has no dialog
    UnloadAllPlugins(list);
    EXPECT_TRUE(list.empty());
}

TEST(PluginRecord, FolderNamesEndingInATrailByteBackslash)
{
    // "予" is 0x97 0x5C: the folder still needs its separator before the pattern.
    TempFolder dir;
    dir.Write("予/broken.ADL", "not a module");
    CPluginList list;
    EXPECT_EQ(LoadPluginFolder(list, g_AdlFamily, dir.Windows(winapi::Utf8ToSjis("予")).c_str()), 1);
    EXPECT_TRUE(list.empty());
}
