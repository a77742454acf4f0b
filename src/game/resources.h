// The game's own resources: the application icon, the two cursors, the menu and its accelerators,
// and the window style. RegisterGameResources puts them in the stand-in's resource table, where
// LoadIconA, LoadCursorA, LoadMenuA and LoadAcceleratorsA find them by id.
#pragma once

#include <cstdint>

constexpr uint16_t kMenuId = 101;
constexpr uint16_t kAcceleratorsId = 102;
constexpr uint16_t kIconId = 103;
constexpr uint16_t kCursorId = 120;
constexpr uint16_t kBusyCursorId = 121;
// WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX.
constexpr uint32_t kGameWindowStyle = 0x00CB0000;

// The menu's commands.
enum GameCommand : uint16_t {
    kCmdScreenMode = 40001,
    kCmdReturnToTitle = 40002,
    kCmdQuit = 40003,
    kCmdVersion = 40004,
    kCmdSettings = 40005,
    kCmdSettingsFromMenu = 40006,
    kCmdSave = 40007,
    kCmdLoad = 40008,
};

// Dialogs: the message dialogs (OK; OK with "do not show again"; Yes/No; Yes/No with the tick),
// the version dialog and the data-input dialog, and their controls.
enum GameDialog : uint16_t {
    kDlgVersion = 111,
    kDlgMessageOk = 112,
    kDlgMessageOkTick = 113,
    kDlgMessageYesNo = 114,
    kDlgMessageYesNoTick = 115,
    kDlgDataInput = 116,
};
enum GameDialogControl : uint16_t {
    kCtlYes = 1,          // OK / はい
    kCtlNo = 2,           // いいえ
    kCtlFrame = 1011,
    kCtlText = 1012,      // the message; the data-input edit
    kCtlTick = 1013,
    kCtlInputLabel = 1014,
    kCtlVersionIcon = 1000,
    kCtlVersionLogo = 1001,
    kCtlVersionText = 1002,
    kCtlVersionReport = 1003,
    kCtlVersionDetailed = 1004,
    kCtlVersionCopy = 1005,
    kCtlVersionSave = 1006,
};

// Registers the rows once (later calls do nothing).
void RegisterGameResources();
// The dialog templates (dialog_resources.cpp), registered with the rest.
void RegisterDialogResources();
