// Test helper: a game folder's application files (KW_APP.SYS, KW_APP.INF, USER.CFG) written from
// the game layer's own writers.
#pragma once

#include <string>
#include <vector>

#include "files/temp_folder.h"
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
