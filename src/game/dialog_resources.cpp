// The game's dialog templates, in dialog units of their 9-point font: the four message dialogs and
// the data-input dialog.
#include <iterator>

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

struct ItemText {
    const char* className;
    const char* utf8;
    WORD id;
    DWORD style;
    short x, y, cx, cy;
};

// Rows with UTF-8 texts, turned into Shift-JIS once.
template <const auto& rows>
const winapi::DialogItemResource* Items()
{
    constexpr size_t N = std::size(rows);
    static winapi::DialogItemResource items[N];
    for (size_t i = 0; i < N; ++i)
        items[i] = {rows[i].className, rows[i].utf8 != nullptr ? winapi::Sjis(rows[i].utf8) : nullptr, rows[i].id,
                    rows[i].style, rows[i].x, rows[i].y, rows[i].cx, rows[i].cy};
    return items;
}

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
    };
    static const WORD ids[] = {kDlgMessageOk, kDlgMessageOkTick, kDlgMessageYesNo, kDlgMessageYesNoTick,
                               kDlgDataInput};
    winapi::ResourceRow rows[5] = {};
    for (int i = 0; i < 5; ++i) {
        rows[i].kind = winapi::ResourceKind::Dialog;
        rows[i].id = ids[i];
        rows[i].dialog = &dialogs[i];
    }
    winapi::RegisterResources(rows, 5);
}
