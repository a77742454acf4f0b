// Loading and saving the player's settings files in their folders: USER.CFG and APP_CFG.DAT,
// written through the crash-safe writer so that a failed save keeps the previous file whole.
#pragma once

#include <string>

#include "game/user_settings.h"

// What is saved, with the two user-block bytes the temporary overrides may have changed.
struct SettingsState {
    UserCfg user;
    AppConfig config;
    uint8_t savedSyncMode = 1;
    uint8_t savedTimerFlag = 1;
};

// Writes USER.CFG into userFolder and APP_CFG.DAT into saveFolder (both end in a backslash):
// the saved sync mode and timer flag go back into the user block first, and the window position
// becomes -1, -1 unless the settings keep it → 0, 1 USER.CFG failed, 2 APP_CFG.DAT failed (the
// old file stays whole in both cases).
int WriteSettingsFiles(SettingsState* state, const std::string& userFolder, const std::string& saveFolder);

// Reads a whole file by its (Windows) path, up to 64 MiB → false when it
// cannot be opened or read.
bool ReadWholeGameFile(const std::string& path, std::vector<uint8_t>* out);
