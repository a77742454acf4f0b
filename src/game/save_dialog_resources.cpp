// Templates 138 (セーブ) and 139 (ロード), in dialog units of their 9-point font. Both share the
// list, preview and buttons; their option boxes differ.
#include <iterator>
#include <mutex>

#include "game/save_dialog.h"
#include "winapi/commctrl.h"
#include "winapi/text.h"

namespace {

constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kTick = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kText = WS_VISIBLE | SS_LEFT;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

struct ItemText {
    const char* className;
    const char* utf8;
    WORD id;
    DWORD style;
    short x, y, cx, cy;
};

#define SLOT_DIALOG_COMMON(action)                                                                                  \
    {"SysTabControl32", nullptr, kCtlBankTabs, WS_VISIBLE | WS_TABSTOP, 7, 7, 406, 16},                               \
        {"SysListView32", nullptr, kCtlSlotList,                                                                    \
         WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, 7,   \
         26, 406, 112},                                                                                             \
        {"STATIC", nullptr, kCtlSlotThumbnail, WS_VISIBLE | SS_OWNERDRAW, 7, 144, 80, 60},                            \
        {"STATIC", "タイトル", kCtlSlotTitle, kText, 95, 144, 318, 10},                                               \
        {"STATIC", "記録日時", kCtlSlotDate, kText, 95, 156, 318, 10},                                               \
        {"EDIT", "コメント", kCtlSlotComment,                                                                        \
         WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 95, 168, 318, 36},      \
        {"BUTTON", "上書き禁止", kCtlSlotProtect, kTick, 7, 208, 80, 10},                                             \
        {"BUTTON", action, kCtlSlotAction, kButton, 253, 262, 50, 14},                                              \
        {"BUTTON", "削除", kCtlSlotDelete, kButton, 308, 262, 50, 14},                                              \
        {"BUTTON", "キャンセル", IDCANCEL, kButton, 363, 262, 50, 14}

const ItemText kSave[] = {
    SLOT_DIALOG_COMMON("セーブ"),
    {"BUTTON", "上書き時に確認ダイアログを表示する", kCtlSlotOption1, kTick, 95, 210, 200, 10},
    {"BUTTON", "セーブ時にコメントを現在のテキストメッセージにする", kCtlSlotOption2, kTick, 95, 222, 200, 10},
    {"BUTTON", "セーブ実行後にダイアログを閉じる", kCtlSlotOption3, kTick, 95, 234, 200, 10},
    {"BUTTON", "サムネイルにフレームを描画しない", kCtlSlotOption5, kTick, 95, 246, 200, 10},
};
const ItemText kLoad[] = {
    SLOT_DIALOG_COMMON("ロード"),
    {"BUTTON", "ロード時に確認ダイアログを表示する", kCtlSlotOption1, kTick, 95, 210, 200, 10},
    {"BUTTON", "クイックロード時に確認ダイアログを表示する", kCtlSlotOption2, kTick, 95, 222, 200, 10},
    {"BUTTON", "ロード時に直前の状態をオートセーブ（セーブ可能な場合）", kCtlSlotOption3, kTick, 95, 234, 240, 10},
};

#undef SLOT_DIALOG_COMMON

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

} // namespace

void RegisterSaveDialogResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const char* face = winapi::Sjis("ＭＳ Ｐゴシック");
        static const winapi::DialogResource dialogs[] = {
            {kStyle, 0, 0, 420, 283, winapi::Sjis("セーブ"), face, 9, Items<kSave>(),
             static_cast<int>(std::size(kSave))},
            {kStyle, 0, 0, 420, 283, winapi::Sjis("ロード"), face, 9, Items<kLoad>(),
             static_cast<int>(std::size(kLoad))},
        };
        winapi::ResourceRow rows[2] = {};
        const WORD ids[] = {kDlgSave, kDlgLoad};
        for (int i = 0; i < 2; ++i) {
            rows[i].kind = winapi::ResourceKind::Dialog;
            rows[i].id = ids[i];
            rows[i].dialog = &dialogs[i];
        }
        winapi::RegisterResources(rows, 2);
    });
}
