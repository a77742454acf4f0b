// The game's application files in the script folder: KW_APP.SYS (the application-description
// block), KW_APP.INF (version bytes and the application strings) and the installer's SET_UP.IFG.
// docs/game-files.md gives every byte. Parsers take whole files and never read past them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display/app_frame.h"

// KW_APP.SYS record data: 0 width, 2 height (u16), 4 window style, 8 extended style (u32), 12 icon,
// 14 menu, 16 accelerators (u16), 18 single instance, 19 screen-mode switching allowed, 20 mode 1
// read as mode 0, 21 save-folder mode, 22-23 unused.
enum AppDescriptionOffset : int {
    kSysWidth = 0,
    kSysHeight = 2,
    kSysStyle = 4,
    kSysExStyle = 8,
    kSysIcon = 12,
    kSysMenu = 14,
    kSysAccelerators = 16,
    kSysSingleInstance = 18,
    kSysSwitchAllowed = 19,
    kSysMode1AsMode0 = 20,
    kSysSaveMode = 21,
};
constexpr int kAppDescriptionSize = 24;

struct AppDescription {
    uint8_t bytes[kAppDescriptionSize] = {};
    uint16_t U16(int offset) const { return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8)); }
    uint32_t U32(int offset) const { return U16(offset) | (static_cast<uint32_t>(U16(offset + 2)) << 16); }
    void SetU16(int offset, uint16_t v);
    void SetU32(int offset, uint32_t v);
};

// The description the frame's defaults give (what a fresh block holds before the file's record).
AppDescription DefaultAppDescription(const AppFrameOptions& options);
// Reads the record over block (a record longer than the block fills the block) → false when the
// file is shorter than its length word says.
bool ParseAppSys(const uint8_t* data, size_t size, AppDescription* block);
std::vector<uint8_t> BuildAppSys(const AppDescription& block);
// Copies the block into the frame's options, with the style, icon, menu and accelerator ids
// forced to the game's own resources.
void ApplyAppDescription(AppDescription* block, AppFrameOptions* options);

// KW_APP.INF: three version bytes, then five strings (u8 length counting the zero) kept here
// without their zero. saveName is empty when its length is 0.
struct AppInfo {
    uint8_t version[3] = {1, 0, 0};
    std::string name, title, notice, web, saveName;
};
// → false when the file ends inside a field.
bool ParseAppInf(const uint8_t* data, size_t size, AppInfo* info);
// → false when a string is longer than 254 bytes.
bool BuildAppInf(const AppInfo& info, std::vector<uint8_t>* out);

// SET_UP.IFG: "IFG1", u8 n, n bytes of the uninstall key name, u8 per-user flag → false when the
// magic differs, the name is empty or the file ends early.
bool ParseSetupIfg(const uint8_t* data, size_t size, std::string* keyName, uint8_t* perUser);
