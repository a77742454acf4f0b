// Saving the settings files: what is written back, and crash safety (failing writes, flushes and
// renames, and a process killed while saving).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "files/temp_folder.h"
#include "game/settings_files.h"
#include "winapi/kernel.h"

namespace {

SettingsState Fresh()
{
    SettingsState state;
    SetUserBlockDefaults(state.user.user);
    SetAppConfigDefaults(&state.config);
    return state;
}

size_t FileCount(const TempFolder& dir)
{
    size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Linux()))
        n += entry.is_regular_file() ? 1 : 0;
    return n;
}

} // namespace

TEST(SettingsFiles, SaveWritesBackTheSavedBytesAndForgetsThePosition)
{
    TempFolder dir;
    SettingsState state = Fresh();
    state.user.user[kUserSyncMode] = 2;     // a temporary override
    state.user.user[kUserHighResTimer] = 0;
    state.savedSyncMode = 0;
    state.savedTimerFlag = 1;
    state.user.frame.windowX = 10;
    state.user.frame.windowY = 20;
    ASSERT_EQ(0, WriteSettingsFiles(&state, dir.Windows(), dir.Windows()));
    const std::string bytes = dir.Read("USER.CFG");
    UserCfg read;
    ASSERT_EQ(0, ParseUserCfg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &read));
    EXPECT_EQ(0, read.user[kUserSyncMode]);
    EXPECT_EQ(1, read.user[kUserHighResTimer]);
    EXPECT_EQ(-1, read.frame.windowX);
    EXPECT_EQ(-1, read.frame.windowY);

    state.config.keepWindowPosition = 1;
    state.user.frame.windowX = 10;
    ASSERT_EQ(0, WriteSettingsFiles(&state, dir.Windows(), dir.Windows()));
    const std::string kept = dir.Read("USER.CFG");
    ASSERT_EQ(0, ParseUserCfg(reinterpret_cast<const uint8_t*>(kept.data()), kept.size(), &read));
    EXPECT_EQ(10, read.frame.windowX);
    EXPECT_EQ(200u, dir.Read("APP_CFG.DAT").size());
}

TEST(SettingsFiles, AFailedSaveKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    TempFolder dir;
    SettingsState state = Fresh();
    ASSERT_EQ(0, WriteSettingsFiles(&state, dir.Windows(), dir.Windows()));
    std::string oldUser = dir.Read("USER.CFG");
    const std::string oldApp = dir.Read("APP_CFG.DAT");
    state.config.fastEffects = 1;
    state.user.user[kUserCountLateFrames] = 1;

    struct Case {
        const char* name;
        long long writeBudget;
        bool flush, move;
        int code;
    };
    const Case cases[] = {
        {"no byte written", 0, false, false, 1}, {"USER.CFG cut", 50, false, false, 1},
        {"APP_CFG.DAT cut", 130, false, false, 2}, {"flush", -1, true, false, 1}, {"rename", -1, false, true, 1},
    };
    for (const Case& c : cases) {
        winapi::testing::FailFileWritesAfter(c.writeBudget);
        winapi::testing::FailFileFlush(c.flush);
        winapi::testing::FailFileMove(c.move);
        EXPECT_EQ(c.code, WriteSettingsFiles(&state, dir.Windows(), dir.Windows())) << c.name;
        winapi::testing::FailFileWritesAfter(-1);
        winapi::testing::FailFileFlush(false);
        winapi::testing::FailFileMove(false);
        if (c.code == 1) {
            EXPECT_EQ(oldUser, dir.Read("USER.CFG")) << c.name;
        }
        oldUser = dir.Read("USER.CFG");  // written whole when only APP_CFG.DAT failed
        EXPECT_EQ(oldApp, dir.Read("APP_CFG.DAT")) << c.name;
        EXPECT_EQ(2u, FileCount(dir)) << c.name << ": a temporary file was left";
    }
}

// A child saves in a loop and is killed at a random moment; the files must load every time.
TEST(SettingsFiles, AKilledSaveLeavesFilesThatLoad)
{
    TempFolder dir;
    SettingsState first = Fresh();
    ASSERT_EQ(0, WriteSettingsFiles(&first, dir.Windows(), dir.Windows()));
    std::mt19937 random(12345);
    for (int round = 0; round < 12; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SettingsState state = Fresh();
            for (uint32_t i = 0;; ++i) {
                state.user.chosenFolder = std::string(1 + i % 200, 'a');
                state.config.popupHintDelay = i;
                WriteSettingsFiles(&state, dir.Windows(), dir.Windows());
            }
        }
        usleep(1000 + random() % 20000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const std::string user = dir.Read("USER.CFG"), app = dir.Read("APP_CFG.DAT");
        UserCfg cfg;
        EXPECT_EQ(0, ParseUserCfg(reinterpret_cast<const uint8_t*>(user.data()), user.size(), &cfg)) << round;
        EXPECT_EQ(200u, app.size()) << round;
    }
}
