// The player's settings files: USER.CFG (the machine options of the frame, the 17-byte user
// block of engine options and the chosen save folder) and APP_CFG.DAT (the settings block).
// docs/game-files.md gives every byte. Reading never copies past a block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display/app_frame.h"
#include "platform/app_config.h"

// Offsets of the user block (USER.CFG record 3).
enum UserBlockOffset : int {
    kUserCompiledScripts = 0,
    kUserSyncMode = 1,          // 0 sync only at 60 Hz, 1 never, 2 always
    kUserHighResTimer = 2,
    kUserSyncIntervalMinus1 = 3,
    kUserKeepMouseMoves = 4,
    kUserCountLateFrames = 5,
    kUserWarnNoSound = 6,
    kUserOption7 = 7,
    kUserDrawFlag8 = 8,
    kUserOption9 = 9,
    kUserImageLoaderOption = 10,
    kUserDrawLimit = 11,        // u16
    kUserSyncOverrideAllowed = 13,
    kUserOption14 = 14,
    kUserKeepPriority = 15,
    kUserDrawFlag16 = 16,
};
constexpr int kUserBlockSize = 17;
constexpr int kFrameRecord1Size = 72;
constexpr int kFrameRecord2Size = 14;
constexpr uint32_t kAppConfigSize = 196;

// Fills the user block with its defaults.
void SetUserBlockDefaults(uint8_t block[kUserBlockSize]);

// What USER.CFG holds: the frame's machine options (kept in AppFrameOptions, plus the two
// options the frame keeps elsewhere), the user block and the chosen save folder (Shift-JIS).
struct UserCfg {
    AppFrameOptions frame;
    uint8_t stopWhenInactive = 0;
    uint8_t monitorChoice = 0;
    uint8_t displayFlags = 0;
    uint8_t user[kUserBlockSize] = {};
    std::string chosenFolder;
};

// The two frame records as stored, and back (a short record fills the start of its block; the
// rest keeps what the block held).
void PackFrameRecord1(const UserCfg& cfg, uint8_t out[kFrameRecord1Size]);
void PackFrameRecord2(const UserCfg& cfg, uint8_t out[kFrameRecord2Size]);
void UnpackFrameRecord1(const uint8_t in[kFrameRecord1Size], UserCfg* cfg);
void UnpackFrameRecord2(const uint8_t in[kFrameRecord2Size], UserCfg* cfg);

// The bytes of USER.CFG for cfg.
std::vector<uint8_t> BuildUserCfg(const UserCfg& cfg);
// Reads USER.CFG's four records over cfg → 0, or 3 when the file ends before the last record
// does (cfg is then left as it was).
int ParseUserCfg(const uint8_t* data, size_t size, UserCfg* cfg);

// The bytes of APP_CFG.DAT for the block.
std::vector<uint8_t> BuildAppCfg(const AppConfig& config);
// Reads APP_CFG.DAT over config: min(length, 196) bytes are taken; a file shorter than that (or
// than its length word) leaves config as it was. → true when bytes were taken.
bool ParseAppCfg(const uint8_t* data, size_t size, AppConfig* config);
