// The settings sheet's seven page templates (131-137), child dialogs in dialog units of their
// 9-point font. The tab of each page shows its caption.
#include <iterator>
#include <mutex>

#include "game/dialog_items.h"
#include "game/settings_sheet.h"

namespace {

constexpr DWORD kTick = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kRadio = WS_VISIBLE | BS_RADIOBUTTON;
constexpr DWORD kText = WS_VISIBLE | SS_LEFT;
constexpr DWORD kGroup = WS_VISIBLE | BS_GROUPBOX;
constexpr DWORD kSlider = WS_VISIBLE | WS_TABSTOP | TBS_AUTOTICKS;
constexpr DWORD kNumber = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kCombo = WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST;
constexpr DWORD kPush = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kKeyEdit = WS_VISIBLE | WS_TABSTOP | ES_READONLY;
constexpr DWORD kPreview = WS_VISIBLE | SS_SUNKEN;
constexpr DWORD kPageStyle = WS_CHILD | WS_CAPTION | DS_CONTROL;
constexpr WORD kNone = 0xFFFF;

const ItemText kSystem[] = {
    {"BUTTON", "画面モード", kNone, kGroup, 6, 4, 248, 24},
    {"BUTTON", "ウィンドウ", 1080, kRadio | WS_GROUP | WS_TABSTOP, 14, 14, 80, 10},
    {"BUTTON", "フルスクリーン", 1081, kRadio, 100, 14, 80, 10},
    {"BUTTON", "画面演出を素早く表示する", 1101, kTick, 8, 32, 240, 10},
    {"BUTTON", "クリックで画面演出をスキップする", 1102, kTick, 8, 43, 240, 10},
    {"BUTTON", "システム画面を素早く表示する", 1103, kTick, 8, 54, 240, 10},
    {"BUTTON", "未読テキストはスキップしない", 1104, kTick, 8, 65, 240, 10},
    {"BUTTON", "選択肢でテキストスキップを解除する", 1105, kTick, 8, 76, 240, 10},
    {"BUTTON", "一度選択した選択肢の色を変えて表示する", 1106, kTick, 8, 87, 240, 10},
    {"BUTTON", "選択肢表示時にオートセーブを行う", 1107, kTick, 8, 98, 240, 10},
    {"BUTTON", "「前の選択肢に戻る」データを作成する", 1108, kTick, 8, 109, 240, 10},
    {"BUTTON", "「前の選択肢に戻る」確認ダイアログを表示する", 1070, kTick, 8, 120, 240, 10},
    {"BUTTON", "Webページ表示時に確認ダイアログを表示する", 1071, kTick, 8, 131, 240, 10},
    {"BUTTON", "システムボタンを自動的に隠す", 1072, kTick, 8, 142, 240, 10},
    {"STATIC", "システムメニュー初期位置", kNone, kText, 8, 156, 90, 10},
    {"COMBOBOX", nullptr, 1082, kCombo, 100, 154, 100, 12},
    {"STATIC", "※マウスカーソルの自動移動が有効な場合のみ", kNone, kText, 8, 168, 240, 10},
    {"BUTTON", "ポップアップヒントを表示する", 1109, kTick, 8, 181, 150, 10},
    {"msctls_trackbar32", nullptr, 1051, kSlider, 8, 193, 180, 14},
    {"EDIT", nullptr, 1056, kNumber, 192, 194, 36, 12},
    {"STATIC", "ms", kNone, kText, 232, 196, 20, 10},
};

const ItemText kTextSpeed[] = {
    {"BUTTON", "未読テキストの表示速度", kNone, kGroup, 6, 4, 248, 44},
    {"BUTTON", "ウェイト無し", 1070, kTick, 12, 14, 60, 10},
    {"msctls_trackbar32", nullptr, 1051, kSlider, 74, 12, 130, 14},
    {"EDIT", nullptr, 1056, kNumber, 208, 13, 36, 12},
    {"STATIC", nullptr, 1084, kPreview, 12, 30, 232, 12},
    {"BUTTON", "既読テキストの表示速度", kNone, kGroup, 6, 50, 248, 44},
    {"BUTTON", "ウェイト無し", 1071, kTick, 12, 60, 60, 10},
    {"msctls_trackbar32", nullptr, 1052, kSlider, 74, 58, 130, 14},
    {"EDIT", nullptr, 1057, kNumber, 208, 59, 36, 12},
    {"STATIC", nullptr, 1085, kPreview, 12, 76, 232, 12},
    {"BUTTON", "オートプレイ", kNone, kGroup, 6, 96, 248, 44},
    {"STATIC", "文字時間", kNone, kText, 12, 108, 60, 10},
    {"msctls_trackbar32", nullptr, 1053, kSlider, 74, 106, 130, 14},
    {"EDIT", nullptr, 1058, kNumber, 208, 107, 36, 12},
    {"STATIC", "最小時間", kNone, kText, 12, 124, 60, 10},
    {"msctls_trackbar32", nullptr, 1054, kSlider, 74, 122, 130, 14},
    {"EDIT", nullptr, 1059, kNumber, 208, 123, 36, 12},
    {"BUTTON", "テキスト履歴", kNone, kGroup, 6, 142, 248, 44},
    {"STATIC", "保存ページ数", kNone, kText, 12, 154, 60, 10},
    {"msctls_trackbar32", nullptr, 1055, kSlider, 74, 152, 130, 14},
    {"EDIT", nullptr, 1060, kNumber, 208, 153, 36, 12},
    {"BUTTON", "テキスト履歴データのセーブ・ロードを行う", 1072, kTick, 12, 170, 230, 10},
};

const ItemText kTextFont[] = {
    {"STATIC", "フォント", kNone, kText, 6, 4, 100, 10},
    {"LISTBOX", nullptr, 1121, WS_VISIBLE | WS_TABSTOP | LBS_NOTIFY | WS_VSCROLL, 6, 16, 120, 70},
    {"BUTTON", "アンチエイリアス", 1122, kTick, 134, 16, 120, 10},
    {"BUTTON", "グラデーション", 1123, kTick, 134, 28, 120, 10},
    {"BUTTON", "影付き", 1124, kTick, 134, 40, 120, 10},
    {"BUTTON", "縁取り", 1125, kTick, 134, 52, 120, 10},
    {"BUTTON", "太字", 1126, kTick, 134, 64, 120, 10},
    {"BUTTON", "太字（ルビ）", 1127, kTick, 134, 76, 120, 10},
    {"BUTTON", "テキストフレームを描画する", 1070, kTick, 6, 92, 200, 10},
    {"STATIC", "R", kNone, kText, 6, 108, 20, 10},
    {"msctls_trackbar32", nullptr, 1051, kSlider, 30, 106, 170, 14},
    {"EDIT", nullptr, 1056, kNumber, 204, 107, 36, 12},
    {"STATIC", "G", kNone, kText, 6, 124, 20, 10},
    {"msctls_trackbar32", nullptr, 1052, kSlider, 30, 122, 170, 14},
    {"EDIT", nullptr, 1057, kNumber, 204, 123, 36, 12},
    {"STATIC", "B", kNone, kText, 6, 140, 20, 10},
    {"msctls_trackbar32", nullptr, 1053, kSlider, 30, 138, 170, 14},
    {"EDIT", nullptr, 1058, kNumber, 204, 139, 36, 12},
    {"STATIC", "透明度", kNone, kText, 6, 156, 24, 10},
    {"msctls_trackbar32", nullptr, 1054, kSlider, 30, 154, 170, 14},
    {"EDIT", nullptr, 1059, kNumber, 204, 155, 36, 12},
    {"STATIC", nullptr, 1084, kPreview, 6, 172, 248, 30},
};

const ItemText kSound[] = {
    {"BUTTON", "全ミュート", 1070, kTick, 6, 6, 60, 10},
    {"msctls_trackbar32", nullptr, 1051, kSlider, 74, 4, 130, 14},
    {"EDIT", nullptr, 1056, kNumber, 208, 5, 36, 12},
    {"BUTTON", "ＢＧＭ", 1071, kTick, 6, 24, 60, 10},
    {"msctls_trackbar32", nullptr, 1052, kSlider, 74, 22, 130, 14},
    {"EDIT", nullptr, 1057, kNumber, 208, 23, 36, 12},
    {"BUTTON", "ＳＥ", 1072, kTick, 6, 42, 40, 10},
    {"BUTTON", "TEST", kCtlTestSe, kPush, 46, 40, 26, 12},
    {"msctls_trackbar32", nullptr, 1053, kSlider, 74, 40, 130, 14},
    {"EDIT", nullptr, 1058, kNumber, 208, 41, 36, 12},
    {"BUTTON", "システムＳＥ", 1073, kTick, 6, 60, 40, 10},
    {"BUTTON", "TEST", kCtlTestSystemSe, kPush, 46, 58, 26, 12},
    {"msctls_trackbar32", nullptr, 1054, kSlider, 74, 58, 130, 14},
    {"EDIT", nullptr, 1059, kNumber, 208, 59, 36, 12},
    {"BUTTON", "音声", kNone, kGroup, 6, 76, 248, 96},
    {"BUTTON", "音声", 1074, kTick, 12, 88, 60, 10},
    {"BUTTON", "全キャラクターの音量を統一", 1075, kTick, 80, 88, 160, 10},
    {"COMBOBOX", nullptr, 1141, kCombo, 12, 102, 120, 12},
    {"BUTTON", "このキャラクターの音声を再生する", 1076, kTick, 12, 118, 200, 10},
    {"BUTTON", "TEST", kCtlTestVoice, kPush, 12, 132, 26, 12},
    {"msctls_trackbar32", nullptr, 1055, kSlider, 40, 132, 164, 14},
    {"EDIT", nullptr, 1060, kNumber, 208, 133, 36, 12},
    {"BUTTON", "音声再生中にBGM音量を下げる", 1142, kTick, 12, 150, 160, 10},
    {"EDIT", nullptr, 1061, kNumber, 176, 149, 30, 12},
    {"STATIC", "%", kNone, kText, 210, 151, 20, 10},
    {"BUTTON", "次テキスト表示時に音声を停止する", 1143, kTick, 12, 176, 200, 10},
};

// Fourteen labelled key edits in two columns, then the modifier radios.
#define KEY_ROW(label, id, column, row)                                                       \
    {"STATIC", label, kNone, kText, static_cast<short>(6 + (column) * 126),                   \
     static_cast<short>(6 + (row) * 16), 64, 10},                                              \
    {"EDIT", nullptr, id, kKeyEdit, static_cast<short>(72 + (column) * 126), static_cast<short>(4 + (row) * 16), 52, 12}
const ItemText kKeyboard[] = {
    KEY_ROW("決定", 1056, 0, 0),        KEY_ROW("キャンセル", 1057, 1, 0),
    KEY_ROW("オートプレイ", 1058, 0, 1), KEY_ROW("セーブ", 1059, 1, 1),
    KEY_ROW("ロード", 1060, 0, 2),      KEY_ROW("クイックセーブ", 1061, 1, 2),
    KEY_ROW("クイックロード", 1062, 0, 3), KEY_ROW("テキストフレームを消去", 1063, 1, 3),
    KEY_ROW("システムメニュー", 1064, 0, 4), KEY_ROW("環境設定", 1065, 1, 4),
    KEY_ROW("テキスト履歴", 1066, 0, 5), KEY_ROW("次の選択肢までスキップ", 1067, 1, 5),
    KEY_ROW("前の選択肢に戻る", 1068, 0, 6), KEY_ROW("タイトルに戻る", 1069, 1, 6),
    {"BUTTON", "クイックセーブ・ロード", kNone, kGroup, 6, 122, 248, 40},
    {"BUTTON", "Shift", 1080, kRadio | WS_GROUP | WS_TABSTOP, 14, 134, 50, 10},
    {"BUTTON", "Ctrl", 1081, kRadio, 70, 134, 50, 10},
    {"STATIC", nullptr, 1084, kText, 14, 148, 30, 10},
    {"STATIC", "＋F1～F5", kNone, kText, 44, 148, 60, 10},
    {"BUTTON", "未読テキストは早送りしない", 1070, kTick, 6, 170, 200, 10},
};
const ItemText kJoystick[] = {
    {"BUTTON", "ジョイスティックを使用する", 1070, kTick, 6, 2, 200, 10},
#define PAD_ROW(label, id, column, row)                                                       \
    {"STATIC", label, kNone, kText, static_cast<short>(6 + (column) * 126),                   \
     static_cast<short>(16 + (row) * 14), 64, 10},                                             \
    {"EDIT", nullptr, id, kKeyEdit, static_cast<short>(72 + (column) * 126), static_cast<short>(14 + (row) * 14), 52, 12}
    PAD_ROW("決定", 1056, 0, 0),        PAD_ROW("キャンセル", 1057, 1, 0),
    PAD_ROW("オートプレイ", 1058, 0, 1), PAD_ROW("セーブ", 1059, 1, 1),
    PAD_ROW("ロード", 1060, 0, 2),      PAD_ROW("クイックセーブ", 1061, 1, 2),
    PAD_ROW("クイックロード", 1062, 0, 3), PAD_ROW("テキストフレームを消去", 1063, 1, 3),
    PAD_ROW("システムメニュー", 1064, 0, 4), PAD_ROW("環境設定", 1065, 1, 4),
    PAD_ROW("テキスト履歴", 1066, 0, 5), PAD_ROW("次の選択肢までスキップ", 1067, 1, 5),
    PAD_ROW("前の選択肢に戻る", 1068, 0, 6), PAD_ROW("タイトルに戻る", 1069, 1, 6),
    {"STATIC", "＜右ボタン＞", kNone, kText, 6, 116, 60, 10},
    {"COMBOBOX", nullptr, 1082, kCombo, 72, 114, 110, 12},
    {"STATIC", "＜ホイールボタン＞", kNone, kText, 6, 130, 60, 10},
    {"COMBOBOX", nullptr, 1083, kCombo, 72, 128, 110, 12},
    {"BUTTON", "右クリックでオートプレイを解除する", 1071, kTick, 6, 144, 240, 10},
    {"BUTTON", "ホイール↓回転でテキストを読み進める", 1072, kTick, 6, 155, 240, 10},
    {"BUTTON", "マウスカーソルを自動的に既定位置に移動する", 1161, kTick, 6, 166, 240, 10},
    {"BUTTON", "マウスカーソルを自動的に隠す", 1162, kTick, 6, 177, 240, 10},
    {"BUTTON", "画面下にマウスカーソル移動でフレームを消去する", 1163, kTick, 6, 188, 240, 10},
};
#undef KEY_ROW
#undef PAD_ROW

const ItemText kWindow[] = {
    {"BUTTON", "フルスクリーン時に解像度を変更する", 1181, kTick, 6, 4, 240, 10},
    {"BUTTON", "フルスクリーン時に最前面ウィンドウに変更する", 1182, kTick, 6, 15, 240, 10},
    {"BUTTON", "解像度変更にDirectDrawを使用する", 1183, kTick, 6, 26, 240, 10},
    {"STATIC", "対象モニタ", kNone, kText, 6, 40, 80, 10},
    {"COMBOBOX", nullptr, 1082, kCombo, 90, 38, 150, 12},
    {"STATIC", "画面拡大時の描画方式", kNone, kText, 6, 56, 80, 10},
    {"COMBOBOX", nullptr, 1083, kCombo, 90, 54, 150, 12},
    {"BUTTON", "画面拡大時以外にも描画方式を変更する", 1184, kTick, 6, 70, 240, 10},
    {"BUTTON", "テクスチャは２の累乗サイズで作成する", 1185, kTick, 6, 81, 240, 10},
    {"BUTTON", "バイリニアフィルタ補間を行う", 1186, kTick, 6, 92, 240, 10},
    {"BUTTON", "VRAM転送時にデバイスコンテキストを経由する", 1187, kTick, 6, 103, 240, 10},
    {"BUTTON", "ウィンドウモードで起動する", 1188, kTick, 6, 114, 240, 10},
    {"BUTTON", "終了時にウィンドウの位置を保存する", 1189, kTick, 6, 125, 240, 10},
    {"BUTTON", "ムービーを再生する", 1190, kTick, 6, 140, 240, 10},
    {"BUTTON", "DirectShowウィンドウを使用する", 1191, kTick, 6, 151, 240, 10},
    {"STATIC", "ムービー音量", kNone, kText, 6, 166, 60, 10},
    {"msctls_trackbar32", nullptr, 1051, kSlider, 70, 164, 134, 14},
    {"EDIT", nullptr, 1056, kNumber, 208, 165, 36, 12},
};

} // namespace

void RegisterSettingsResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const char* face = winapi::Sjis("ＭＳ Ｐゴシック");
        auto page = [face](const char* captionUtf8, const winapi::DialogItemResource* items, size_t count) {
            return winapi::DialogResource{kPageStyle, 0,    0,     260, 210, winapi::Sjis(captionUtf8), face, 9, items,
                                          static_cast<int>(count)};
        };
        static const winapi::DialogResource pages[kSettingsPageCount] = {
            page("システム", Items<kSystem>(), std::size(kSystem)),
            page("テキスト１", Items<kTextSpeed>(), std::size(kTextSpeed)),
            page("テキスト２", Items<kTextFont>(), std::size(kTextFont)),
            page("サウンド", Items<kSound>(), std::size(kSound)),
            page("入力１", Items<kKeyboard>(), std::size(kKeyboard)),
            page("入力２", Items<kJoystick>(), std::size(kJoystick)),
            page("ウィンドウ", Items<kWindow>(), std::size(kWindow)),
        };
        winapi::ResourceRow rows[kSettingsPageCount] = {};
        for (int i = 0; i < kSettingsPageCount; ++i) {
            rows[i].kind = winapi::ResourceKind::Dialog;
            rows[i].id = static_cast<WORD>(kDlgSettingsSystem + i);
            rows[i].dialog = &pages[i];
        }
        winapi::RegisterResources(rows, kSettingsPageCount);
    });
}
