// The save and load dialog (templates 138 and 139): a tab per bank ("Auto", "Quick", "Page.1" to
// "Page.10"), ten slot rows with the selected row's thumbnail, title, date and comment, and the
// buttons that save, load, delete and protect. The file work goes through the script host's save
// members, on the game thread (CGameApp::RunGameJob).
#pragma once

#include <cstdint>

#include "winapi/user.h"

class CGameApp;

enum SaveDialogId : uint16_t {
    kDlgSave = 138,
    kDlgLoad = 139,
};
enum SaveDialogControl : uint16_t {
    kCtlSlotList = 1201,
    kCtlBankTabs = 1202,
    kCtlSlotDate = 1203,
    kCtlSlotAction = 1204,  // セーブ / ロード
    kCtlSlotDelete = 1205,
    kCtlSlotThumbnail = 1084,
    kCtlSlotTitle = 1014,
    kCtlSlotComment = 1056,
    kCtlSlotProtect = 1070,
    kCtlSlotOption1 = 1071, // save: confirm overwriting; load: confirm loading
    kCtlSlotOption2 = 1072, // save: comment = current message; load: confirm quick loads
    kCtlSlotOption3 = 1073, // save: close after saving; load: autosave before loading
    kCtlSlotOption5 = 1075, // save: no text frame in thumbnails
};

// Registers templates 138 and 139 once (with the game's other resources).
void RegisterSaveDialogResources();
// Dialog 138 (save) or 139 (load) over the application's script host → the dialog's end value.
INT_PTR RunSaveLoadDialog(CGameApp& app, HWND owner, bool save);
