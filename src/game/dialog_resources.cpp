// The game's dialog templates, in dialog units of their 9-point font: the four message dialogs and
// the data-input dialog.
#include <iterator>

#include "game/dialog_items.h"
#include "game/resources.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace {

constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDefault = WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kTick = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kFrame = WS_VISIBLE | SS_SUNKEN;
constexpr DWORD kText = WS_VISIBLE | SS_LEFT;
constexpr DWORD kMessageStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME;

const ItemText kOk[] = {
    {"STATIC", nullptr, kCtlFrame, kFrame, 7, 7, 186, 36},
    {"STATIC", nullptr, kCtlText, kText, 14, 12, 172, 26},
    {"BUTTON", "OK", kCtlYes, kDefault, 75, 50, 50, 14},
};
const ItemText kOkTick[] = {
    {"STATIC", nullptr, kCtlFrame, kFrame, 7, 7, 186, 36},
    {"STATIC", nullptr, kCtlText, kText, 14, 12, 172, 26},
    {"BUTTON", "OK", kCtlYes, kDefault, 75, 64, 50, 14},
    {"BUTTON", "今後、このメッセージを表示しない", kCtlTick, kTick, 14, 49, 172, 10},
};
const ItemText kYesNo[] = {
    {"STATIC", nullptr, kCtlFrame, kFrame, 7, 7, 186, 36},
    {"STATIC", nullptr, kCtlText, kText, 14, 12, 172, 26},
    {"BUTTON", "はい", kCtlYes, kDefault, 46, 50, 50, 14},
    {"BUTTON", "いいえ", kCtlNo, kButton, 104, 50, 50, 14},
};
const ItemText kYesNoTick[] = {
    {"STATIC", nullptr, kCtlFrame, kFrame, 7, 7, 186, 36},
    {"STATIC", nullptr, kCtlText, kText, 14, 12, 172, 26},
    {"BUTTON", "はい", kCtlYes, kDefault, 46, 64, 50, 14},
    {"BUTTON", "いいえ", kCtlNo, kButton, 104, 64, 50, 14},
    {"BUTTON", "今後、このメッセージを表示しない", kCtlTick, kTick, 14, 49, 172, 10},
};
const ItemText kDataInput[] = {
    {"STATIC", nullptr, kCtlInputLabel, kText, 8, 6, 184, 10},
    {"EDIT", nullptr, kCtlText, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 8, 18, 184, 12},
    {"BUTTON", "OK", kCtlYes, kDefault, 75, 36, 50, 14},
};

const ItemText kVersion[] = {
    {"STATIC", nullptr, kCtlVersionIcon, WS_VISIBLE | SS_ICON, 8, 8, 21, 20},
    {"STATIC", "Pellwick", kCtlVersionLogo, WS_VISIBLE | SS_NOTIFY | SS_CENTER, 36, 8, 90, 20},
    {"STATIC", nullptr, kCtlVersionText, WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, 132, 8, 120, 20},
    {"EDIT", nullptr, kCtlVersionReport, WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY | WS_VSCROLL, 8, 34,
     244, 120},
    {"BUTTON", "詳細な情報を表示する", kCtlVersionDetailed, kTick, 8, 160, 120, 10},
    {"BUTTON", "クリップボードにコピー", kCtlVersionCopy, kButton, 8, 176, 80, 14},
    {"BUTTON", "ファイルに保存", kCtlVersionSave, kButton, 92, 176, 70, 14},
    {"BUTTON", "OK", IDOK, kDefault, 202, 176, 50, 14},
};

} // namespace

void RegisterDialogResources()
{
    const char* face = winapi::Sjis("ＭＳ Ｐゴシック");
    static const winapi::DialogResource dialogs[] = {
        {kMessageStyle | WS_SYSMENU, 0, 0, 200, 71, nullptr, face, 9, Items<kOk>(), 3, kCtlText, MB_OK},
        {kMessageStyle | WS_SYSMENU, 0, 0, 200, 85, nullptr, face, 9, Items<kOkTick>(), 4, kCtlText, MB_OK},
        {kMessageStyle, 0, 0, 200, 71, nullptr, face, 9, Items<kYesNo>(), 4, kCtlText, MB_YESNO},
        {kMessageStyle, 0, 0, 200, 85, nullptr, face, 9, Items<kYesNoTick>(), 5, kCtlText, MB_YESNO},
        {kMessageStyle | WS_SYSMENU, 0, 0, 200, 57, winapi::Sjis("データ入力"), face, 9, Items<kDataInput>(), 3},
        {kMessageStyle | WS_SYSMENU, 0, 0, 260, 198, winapi::Sjis("バージョン情報"), face, 9, Items<kVersion>(),
         static_cast<int>(std::size(kVersion))},
    };
    static const WORD ids[] = {kDlgMessageOk, kDlgMessageOkTick, kDlgMessageYesNo, kDlgMessageYesNoTick,
                               kDlgDataInput, kDlgVersion};
    winapi::ResourceRow rows[6] = {};
    for (int i = 0; i < 6; ++i) {
        rows[i].kind = winapi::ResourceKind::Dialog;
        rows[i].id = ids[i];
        rows[i].dialog = &dialogs[i];
    }
    winapi::RegisterResources(rows, 6);
}
