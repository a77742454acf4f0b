// Test helper: a game folder's application files (KW_APP.SYS, KW_APP.INF, USER.CFG) written from
// the game layer's own writers.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "authoring/sob_assembler.h"
#include "authoring/sob_module_writer.h"
#include "files/temp_folder.h"
#include "game/game_app.h"
#include "game/app_files.h"
#include "game/user_settings.h"

// Save mode and one copy only off unless sys says otherwise; USER.CFG with the default user block
// and the threading mode.
inline void WriteAppFiles(const TempFolder& dir, const AppDescription& sys, const std::string& name, uint8_t gameThread)
{
    const std::vector<uint8_t> sysBytes = BuildAppSys(sys);
    dir.Write("SCRIPT/KW_APP.SYS", std::string(sysBytes.begin(), sysBytes.end()));
    AppInfo info;
    info.name = name;
    std::vector<uint8_t> inf;
    BuildAppInf(info, &inf);
    dir.Write("SCRIPT/KW_APP.INF", std::string(inf.begin(), inf.end()));
    UserCfg user;
    SetUserBlockDefaults(user.user);
    user.frame.gameThread = gameThread;
    const std::vector<uint8_t> cfg = BuildUserCfg(user);
    dir.Write("USER.CFG", std::string(cfg.begin(), cfg.end()));
}

namespace gamefolder {

// Assembler source: a loop of n frames (yields) under the label prefix p, which also names its
// counter word "<p>n" (the caller's data declares it).
inline std::string Frames(const std::string& p, int n)
{
    return p + ":  yield\n"
               "        inc " + p + "n\n"
               "        movm " + p + "n, " + p + "l.1\n" +
           p + "l: lt 0, " + std::to_string(n) + ", " + p + "m.1\n" +
           p + "m: jz 0, " + p + "e\n"
               "        jmp " + p + "\n" +
           p + "e:\n";
}

inline std::string Str(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

// Fails the program instead of letting a deadlock hang the suite.
struct Watchdog {
    std::atomic<bool> done{false};
    std::thread thread;
    explicit Watchdog(int seconds = 30)
        : thread([this, seconds] {
              for (int i = 0; i < seconds * 20 && !done; ++i)
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              if (!done) {
                  std::fprintf(stderr, "watchdog: the game did not end\n");
                  std::abort();
              }
          })
    {
    }
    ~Watchdog()
    {
        done = true;
        thread.join();
    }
};

// A game folder (save mode 5: the game folder keeps the saves) whose scripts are given as
// assembler source, with the variables of a list.
struct ScriptGame {
    TempFolder dir;
    SobVariableLayout layout;
    explicit ScriptGame(uint8_t thread, const char* variables = "Score 0 1 4 = 0\n")
    {
        std::vector<std::string> errors;
        EXPECT_TRUE(ParseSobVariables(variables, "vars", &layout, &errors));
        dir.Write("SCRIPT/USER_VAR.SOB", Str(WriteSobUserVarFile(layout)));
        AppDescription sys = DefaultAppDescription(AppFrameOptions{});
        sys.bytes[kSysSaveMode] = 5;
        sys.bytes[kSysSingleInstance] = 0;
        WriteAppFiles(dir, sys, "LoopTest", thread);
    }
    void Module(const std::string& name, const std::string& source)
    {
        SobAssembly assembly;
        std::vector<std::string> errors;
        ASSERT_TRUE(AssembleSob(source, name, &assembly, &errors)) << (errors.empty() ? "" : errors[0]);
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(WriteSobLinkable(assembly, false, &layout, nullptr, &bytes, &error)) << error;
        dir.Write("SCRIPT/" + name + ".SOB", Str(bytes));
    }
    // Natives 809 and up for the game's scripts.
    std::vector<SobNative> natives;
    // Runs the game → Run's code; frames and end code through the pointers.
    int Run(int* frames, int* endCode, int watchdogSeconds = 30)
    {
        CGameApp app;
        return Run(app, frames, endCode, watchdogSeconds);
    }
    int Run(CGameApp& app, int* frames, int* endCode, int watchdogSeconds = 30)
    {
        Watchdog watchdog(watchdogSeconds);
        app.SetExtraNatives(natives);
        std::string line = "/L" + dir.Windows();
        const int code = app.Run(nullptr, nullptr, line.data(), SW_SHOWNORMAL);
        *frames = app.GetSteppedFrames();
        *endCode = app.GetEndCode();
        return code;
    }
};

} // namespace gamefolder
