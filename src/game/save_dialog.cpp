// The save and load dialog: the slot list of one bank a tab, the selected row's preview, comment
// and protect edits written back into the file's header, and the save, load and delete buttons.
#include "game/save_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "game/game_app.h"
#include "game/resources.h"
#include "natives/save_file.h"
#include "natives/save_slots.h"
#include "natives/script_host.h"
#include "platform/input_manager.h"
#include "platform/joystick_device.h"
#include "raster/image.h"
#include "script/tgs_frame.h"
#include "winapi/commctrl.h"
#include "winapi/gdi.h"
#include "winapi/text.h"

namespace {

constexpr int kBanks = 12;
constexpr int kRows = 10;
constexpr int kNoRow = 255;
constexpr uint8_t kNoFile = 2;  // a record's protect byte for a row without a file
constexpr uint8_t kCommentChanged = 1, kProtectChanged = 2;
constexpr UINT_PTR kJoystickTimer = 1;

struct SlotRecord {
    bool present = false;
    std::string longDate, shortDate, title, comment;
    uint8_t protect = kNoFile;
};

struct SaveDialogState {
    CGameApp* app = nullptr;
    bool save = false;
    SlotRecord slots[kRows];
    int tab = 2;
    int row = kNoRow;
    uint8_t changes = 0;
    std::string shownComment;  // the comment as the edit got it (wrapped)
    CImage preview;
    bool previewShown = false;
    std::unique_ptr<CWinmmJoystick> joystick;
    int joystickState = 0;  // 1 polling, 2 a message dialog is open
    bool closed = false;
};

int Bank(const SaveDialogState& s)
{
    return s.tab;
}

std::string DlgText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    const int length = GetWindowTextLengthA(control);
    std::vector<char> text(static_cast<size_t>(std::max(length, 0)) + 1);
    GetWindowTextA(control, text.data(), length + 1);
    return std::string(text.data());
}

void SetCell(HWND list, int row, int column, const std::string& text)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::string ProtectColumn(const SaveDialogState& s, const SlotRecord& r)
{
    if (Bank(s) < 2)
        return winapi::Sjis("－");
    return r.present && r.protect == 1 ? winapi::Sjis("○") : "";
}

// A message dialog over the dialog; the joystick rests while it is open.
int Ask(HWND dialog, SaveDialogState& s, const std::string& text, uint8_t kind)
{
    const int before = s.joystickState;
    if (before != 0)
        s.joystickState = 2;
    const int answer = s.app->ShowMessageDialog(text.c_str(), kind, nullptr, nullptr, 1, dialog);
    if (before != 0)
        s.joystickState = before;
    return answer;
}

void ShowError(HWND dialog, SaveDialogState& s, const char* utf8, int code)
{
    char text[256];
    std::snprintf(text, sizeof text, "%s%d", winapi::Sjis(utf8), code);
    Ask(dialog, s, text, 0);
}

// The question's header: 『title』 and the long date.
std::string Header(const SlotRecord& r)
{
    return winapi::Sjis("『") + r.title + winapi::Sjis("』\r\n【記録日時") + r.longDate + winapi::Sjis("】");
}

void FillSlotList(HWND dialog, SaveDialogState& s, int bank)
{
    HWND list = GetDlgItem(dialog, kCtlSlotList);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    const AppConfig& config = s.app->Config();
    for (int slot = 0; slot < kRows; ++slot) {
        SlotRecord& r = s.slots[slot];
        SaveSlotInfo info;
        // Headers only: the state behind them is never read here.
        r = SlotRecord{};
        if (ReadSaveSlotInfo(bank, slot, nullptr, &info, false) == 0) {
            r.present = true;
            r.title = info.title;
            r.comment = info.comment;
            r.longDate = info.date;
            r.shortDate = info.shortDate;
            r.protect = info.protect != 0 ? 1 : 0;
        }
        std::string marker;
        char number[16];
        if (bank == 0 && slot == config.ringBank0) {
            marker = winapi::Sjis(" →");
        } else if (bank == 1 && slot < 5) {
            std::snprintf(number, sizeof number, " F%d", slot + 1);
            marker = number;
        } else if (bank == 1 && slot == config.ringBank1) {
            marker = winapi::Sjis(" →");
        } else if (bank >= 2 && bank == config.lastSaveTab && slot == config.lastSavePosition && r.present) {
            marker = "New";
        }
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = slot;
        item.pszText = marker.data();
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        SetCell(list, slot, 1, r.present ? r.title : "NO DATA");
        SetCell(list, slot, 2, r.present ? r.shortDate : "--/--/-- --:--");
        SetCell(list, slot, 3, r.comment);
        SetCell(list, slot, 4, ProtectColumn(s, r));
    }
}

void ShowSlotPreview(HWND dialog, SaveDialogState& s, int bank, int row)
{
    const bool present = row >= 0 && row < kRows && s.slots[row].present;
    SaveSlotInfo info;
    s.previewShown = false;
    if (present && ReadSaveSlotInfo(bank, row, &s.preview, &info, true) == 0) {
        s.previewShown = true;
        SetDlgItemTextA(dialog, kCtlSlotTitle, info.title.c_str());
        SetDlgItemTextA(dialog, kCtlSlotDate, info.date.c_str());
        s.shownComment = info.comment;
        SetDlgItemTextA(dialog, kCtlSlotComment, info.comment.c_str());
        SendDlgItemMessageA(dialog, kCtlSlotComment, EM_SETREADONLY, FALSE, 0);
        CheckDlgButton(dialog, kCtlSlotProtect, s.slots[row].protect == 1 ? BST_CHECKED : BST_UNCHECKED);
        EnableWindow(GetDlgItem(dialog, kCtlSlotAction), TRUE);
        EnableWindow(GetDlgItem(dialog, kCtlSlotDelete), TRUE);
    } else {
        // Without its picture the frame stays blank.
        s.preview.Destroy();
        s.previewShown = s.preview.Load("SYS\\NO_DATA.ELG", nullptr, 0, 0) == 0;
        SetDlgItemTextA(dialog, kCtlSlotTitle, " NO DATA");
        SetDlgItemTextA(dialog, kCtlSlotDate, winapi::Sjis(" ----/--/--(－) --:--"));
        s.shownComment.clear();
        SetDlgItemTextA(dialog, kCtlSlotComment, "");
        SendDlgItemMessageA(dialog, kCtlSlotComment, EM_SETREADONLY, TRUE, 0);
        CheckDlgButton(dialog, kCtlSlotProtect, BST_UNCHECKED);
        // An empty row takes a save: only loading needs a file.
        EnableWindow(GetDlgItem(dialog, kCtlSlotAction), s.save ? TRUE : FALSE);
        EnableWindow(GetDlgItem(dialog, kCtlSlotDelete), FALSE);
    }
    EnableWindow(GetDlgItem(dialog, kCtlSlotProtect), present && bank >= 2 ? TRUE : FALSE);
    InvalidateRect(GetDlgItem(dialog, kCtlSlotThumbnail), nullptr, TRUE);
}

// → 1 no state, 2 the row has no file, else 0.
int CommitCommentEdit(HWND dialog, SaveDialogState* s, int row, uint8_t* changes)
{
    if (s == nullptr)
        return 1;
    if (row < 0 || row >= kRows || !s->slots[row].present)
        return 2;
    const std::string text = DlgText(dialog, kCtlSlotComment);
    if (text != s->shownComment) {
        s->slots[row].comment = text;
        s->shownComment = text;
        *changes |= kCommentChanged;
        SetCell(GetDlgItem(dialog, kCtlSlotList), row, 3, text);
    }
    return 0;
}

void CommitAndWrite(HWND dialog, SaveDialogState& s)
{
    if (s.row == kNoRow)
        return;
    CommitCommentEdit(dialog, &s, s.row, &s.changes);
    if (s.changes != 0 && s.slots[s.row].present)
        WriteSlotChanges(Bank(s), s.row, s.slots[s.row].comment, s.slots[s.row].protect, &s.changes);
    s.changes = 0;
}

void SelectRow(HWND dialog, int row)
{
    HWND list = GetDlgItem(dialog, kCtlSlotList);
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void ChangeRow(HWND dialog, SaveDialogState& s, int row)
{
    if (row == s.row)
        return;
    CommitAndWrite(dialog, s);
    s.row = row;
    ShowSlotPreview(dialog, s, Bank(s), row);
}

void ChangeTab(HWND dialog, SaveDialogState& s, int tab)
{
    CommitAndWrite(dialog, s);
    s.tab = tab;
    const int row = s.row == kNoRow ? 0 : s.row;
    s.row = kNoRow;
    FillSlotList(dialog, s, Bank(s));
    s.row = row;
    SelectRow(dialog, row);
    ShowSlotPreview(dialog, s, Bank(s), row);
}

void Refill(HWND dialog, SaveDialogState& s)
{
    FillSlotList(dialog, s, Bank(s));
    if (s.row != kNoRow) {
        SelectRow(dialog, s.row);
        ShowSlotPreview(dialog, s, Bank(s), s.row);
    }
}

bool SavingAllowed(CGameApp& app)
{
    return app.IsMenuItemGroupEnabled(1) && (g_pTgsFrame == nullptr || g_pTgsFrame->MenuControlState(0) != 0);
}

void Close(HWND dialog, SaveDialogState& s, INT_PTR result)
{
    if (s.closed)
        return;
    s.closed = true;
    CommitAndWrite(dialog, s);
    AppConfig& config = s.app->Config();
    config.saveDialogTab = static_cast<uint8_t>(s.tab);
    config.saveDialogPosition = static_cast<uint8_t>(s.row == kNoRow ? 0 : s.row);
    if (s.joystick) {
        KillTimer(dialog, kJoystickTimer);
        s.joystick.reset();
        s.joystickState = 0;
    }
    s.preview.Destroy();
    EndDialog(dialog, result);
}

void LoadRow(HWND dialog, SaveDialogState& s)
{
    CGameApp& app = *s.app;
    CScriptHost* host = app.Host();
    const SlotRecord& r = s.slots[s.row];
    if (!r.present || host == nullptr)
        return;
    if (!app.IsMenuItemGroupEnabled(2)) {
        Ask(dialog, s, winapi::Sjis("現在の状態でロードすることは出来ません。\r\n一旦、ダイアログを閉じて下さい。"), 0);
        return;
    }
    if (app.Config().confirmLoad != 0 && Ask(dialog, s, Header(r) + winapi::Sjis("\r\nをロードしますか？"), 2) != 1)
        return;
    if (app.Config().autoSaveBeforeLoad != 0 && SavingAllowed(app)) {
        const int code = app.RunGameJob([host] { return host->SaveGame(0, -1); });
        if (code != 0) {
            ShowError(dialog, s, "ロード直前のオートセーブに失敗しました。ErrNo:", code);
            return;
        }
    }
    const int bank = Bank(s), row = s.row;
    const int code = app.RunGameJob([host, bank, row] {
        const int loaded = host->LoadGameSlot(bank, row);
        if (loaded == 0 && g_pTgsFrame != nullptr)
            g_pTgsFrame->StateReplaced() = 1;
        return loaded;
    });
    if (code != 0) {
        ShowError(dialog, s, "セーブデータのロードに失敗しました。ErrNo:", code);
        return;
    }
    Close(dialog, s, IDOK);
}

void SaveRow(HWND dialog, SaveDialogState& s)
{
    CGameApp& app = *s.app;
    CScriptHost* host = app.Host();
    // The rings' banks take no manual save, and a protected row is not overwritten.
    if (host == nullptr || Bank(s) < 2 || s.slots[s.row].protect == 1)
        return;
    const SlotRecord& r = s.slots[s.row];
    if (!SavingAllowed(app)) {
        Ask(dialog, s, winapi::Sjis("現在の状態をセーブすることは出来ません。\r\n一旦、ダイアログを閉じて下さい。"), 0);
        return;
    }
    if (r.present && app.Config().confirmOverwrite != 0 &&
        Ask(dialog, s, Header(r) + winapi::Sjis("\r\nを上書きしますか？"), 2) != 1)
        return;
    // What the save writes replaces any pending edit of the row.
    CommitAndWrite(dialog, s);
    const int bank = Bank(s), row = s.row;
    const int code = app.RunGameJob([host, bank, row] { return host->SaveGame(bank, row); });
    if (code != 0) {
        ShowError(dialog, s, "セーブデータの作成に失敗しました。ErrNo:", code);
        return;
    }
    app.Config().lastSaveTab = static_cast<uint8_t>(bank);
    app.Config().lastSavePosition = static_cast<uint8_t>(row);
    if (app.Config().closeAfterSave != 0)
        Close(dialog, s, IDOK);
    else
        Refill(dialog, s);
}

void DeleteRow(HWND dialog, SaveDialogState& s)
{
    const SlotRecord& r = s.slots[s.row];
    if (!r.present || r.protect == 1)
        return;
    if (Ask(dialog, s, Header(r) + winapi::Sjis("\r\nを削除しますか？"), 2) != 1)
        return;
    if (DeleteSaveData(Bank(s), s.row) != 0)
        Ask(dialog, s, winapi::Sjis("セーブデータを削除できませんでした。"), 0);
    s.changes = 0;
    Refill(dialog, s);
}

struct OptionBox {
    WORD id;
    uint8_t AppConfig::*setting;
};
constexpr OptionBox kSaveOptions[] = {
    {kCtlSlotOption1, &AppConfig::confirmOverwrite},
    {kCtlSlotOption2, &AppConfig::commentIsMessage},
    {kCtlSlotOption3, &AppConfig::closeAfterSave},
    {kCtlSlotOption5, &AppConfig::thumbnailNoFrame},
};
constexpr OptionBox kLoadOptions[] = {
    {kCtlSlotOption1, &AppConfig::confirmLoad},
    {kCtlSlotOption2, &AppConfig::confirmQuickLoad},
    {kCtlSlotOption3, &AppConfig::autoSaveBeforeLoad},
};

const OptionBox* FindOption(const SaveDialogState& s, WORD id)
{
    const OptionBox* first = s.save ? std::begin(kSaveOptions) : std::begin(kLoadOptions);
    const OptionBox* last = s.save ? std::end(kSaveOptions) : std::end(kLoadOptions);
    for (const OptionBox* o = first; o != last; ++o)
        if (o->id == id)
            return o;
    return nullptr;
}

LRESULT CALLBACK SlotListSubclassProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(list, GWLP_USERDATA));
    switch (message) {
    case WM_GETDLGCODE: {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg != nullptr && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
            return DLGC_WANTALLKEYS;
        break;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            SendMessageA(GetParent(list), WM_COMMAND, kCtlSlotAction, 0);
            return 0;
        }
        break;
    case WM_LBUTTONDBLCLK: {
        const LRESULT r = CallWindowProcA(old, list, message, wParam, lParam);
        SendMessageA(GetParent(list), WM_COMMAND, kCtlSlotAction, 0);
        return r;
    }
    default: break;
    }
    return CallWindowProcA(old, list, message, wParam, lParam);
}

void PaintThumbnail(const DRAWITEMSTRUCT& item, const SaveDialogState& s)
{
    FillRect(item.hDC, &item.rcItem, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (!s.previewShown || s.preview.GetBits() == nullptr || s.preview.GetBitsPerPixel() != 32)
        return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = s.preview.GetWidth();
    info.bmiHeader.biHeight = -s.preview.GetHeight();  // its first row on top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    StretchDIBits(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.right - item.rcItem.left,
                  item.rcItem.bottom - item.rcItem.top, 0, 0, s.preview.GetWidth(), s.preview.GetHeight(),
                  s.preview.GetBits(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void StartJoystick(HWND dialog, SaveDialogState& s)
{
    if (s.app->Config().useJoystick == 0 || s.app->GetInput().GetJoystickCount() == 0)
        return;
    CJoystickDevice* device = s.app->GetInput().GetJoystick(0);
    auto joystick = std::make_unique<CWinmmJoystick>();
    if (device == nullptr || joystick->Open(device->m_number, false, false) != 0)
        return;
    if (SetTimer(dialog, kJoystickTimer, 50, nullptr) == 0)
        return;
    s.joystick = std::move(joystick);
    s.joystickState = 1;
}

void PollJoystick(HWND dialog, SaveDialogState& s)
{
    if (!s.joystick || s.joystickState != 1 || !s.app->IsActive() || s.joystick->Poll() != 0)
        return;
    const int event = s.joystick->FindFirstPushed();
    if (event < 0)
        return;
    HWND list = GetDlgItem(dialog, kCtlSlotList);
    const AppConfig& config = s.app->Config();
    switch (event) {
    case 0:
    case 1: {
        const int row = s.row == kNoRow ? 0 : std::clamp(s.row + (event == 0 ? -1 : 1), 0, kRows - 1);
        SetFocus(list);
        SelectRow(dialog, row);
        ChangeRow(dialog, s, row);
        break;
    }
    case 2:
    case 3: {
        const int tab = (s.tab + (event == 2 ? kBanks - 1 : 1)) % kBanks;
        SendDlgItemMessageA(dialog, kCtlBankTabs, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
        ChangeTab(dialog, s, tab);
        break;
    }
    default:
        if (event - 4 == config.joystickButtons[0])
            SendMessageA(dialog, WM_COMMAND, kCtlSlotAction, 0);
        else if (event - 4 == config.joystickButtons[1])
            Close(dialog, s, IDCANCEL);
        break;
    }
}

void InitDialog(HWND dialog, SaveDialogState& s)
{
    HWND tabs = GetDlgItem(dialog, kCtlBankTabs);
    for (int bank = 0; bank < kBanks; ++bank) {
        char name[16];
        if (bank == 0)
            std::snprintf(name, sizeof name, "Auto");
        else if (bank == 1)
            std::snprintf(name, sizeof name, "Quick");
        else
            std::snprintf(name, sizeof name, "Page.%d", bank - 1);
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = name;
        SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(bank), reinterpret_cast<LPARAM>(&item));
    }
    // The frame shows the 120 × 90 thumbnail pixel for pixel.
    HWND frame = GetDlgItem(dialog, kCtlSlotThumbnail);
    RECT r;
    GetWindowRect(frame, &r);
    POINT at{r.left, r.top};
    ScreenToClient(dialog, &at);
    MoveWindow(frame, at.x, at.y, savefile::kThumbWidth, savefile::kThumbHeight, TRUE);

    HWND list = GetDlgItem(dialog, kCtlSlotList);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    static const struct {
        const char* utf8;
        int width;
    } kColumns[] = {{"", 40}, {"タイトル", 220}, {"記録日時", 110}, {"コメント", 250}, {"保護", 40}};
    for (int c = 0; c < 5; ++c) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = LVCFMT_LEFT;
        column.cx = kColumns[c].width;
        column.pszText = const_cast<char*>(winapi::Sjis(kColumns[c].utf8));
        column.iSubItem = c;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    }
    const AppConfig& config = s.app->Config();
    s.tab = config.saveDialogTab < kBanks ? config.saveDialogTab : 2;
    const int row = config.saveDialogPosition < kRows ? config.saveDialogPosition : 0;
    SendMessageA(tabs, TCM_SETCURSEL, static_cast<WPARAM>(s.tab), 0);
    FillSlotList(dialog, s, Bank(s));
    s.row = row;
    SelectRow(dialog, row);
    ShowSlotPreview(dialog, s, Bank(s), row);
    for (const OptionBox& o : s.save ? std::vector<OptionBox>(std::begin(kSaveOptions), std::end(kSaveOptions))
                                     : std::vector<OptionBox>(std::begin(kLoadOptions), std::end(kLoadOptions)))
        CheckDlgButton(dialog, o.id, config.*o.setting != 0 ? BST_CHECKED : BST_UNCHECKED);
    SetWindowLongPtrA(list, GWLP_USERDATA, GetWindowLongPtrA(list, GWLP_WNDPROC));
    SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SlotListSubclassProc));
    StartJoystick(dialog, s);
    s.app->CenterWindow(dialog);
}

INT_PTR CALLBACK SaveLoadDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* s = reinterpret_cast<SaveDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        s = reinterpret_cast<SaveDialogState*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        InitDialog(dialog, *s);
        return TRUE;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (s == nullptr || item == nullptr || item->CtlID != kCtlSlotThumbnail)
            return FALSE;
        PaintThumbnail(*item, *s);
        return TRUE;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (s == nullptr || header == nullptr || s->closed)
            return FALSE;
        if (header->idFrom == kCtlBankTabs && header->code == TCN_SELCHANGE) {
            const int tab = static_cast<int>(SendDlgItemMessageA(dialog, kCtlBankTabs, TCM_GETCURSEL, 0, 0));
            if (tab >= 0 && tab < kBanks)
                ChangeTab(dialog, *s, tab);
            return TRUE;
        }
        if (header->idFrom == kCtlSlotList && header->code == LVN_ITEMCHANGED) {
            const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
            if ((change->uNewState & LVIS_SELECTED) != 0 && (change->uOldState & LVIS_SELECTED) == 0 &&
                change->iItem >= 0 && change->iItem < kRows)
                ChangeRow(dialog, *s, change->iItem);
            return TRUE;
        }
        return FALSE;
    }
    case WM_TIMER:
        if (s != nullptr && wParam == kJoystickTimer)
            PollJoystick(dialog, *s);
        return TRUE;
    case WM_COMMAND: {
        if (s == nullptr || s->closed)
            return FALSE;
        const WORD id = LOWORD(wParam);
        switch (id) {
        case IDCANCEL: Close(dialog, *s, IDCANCEL); return TRUE;
        case kCtlSlotComment:
            if (HIWORD(wParam) == EN_KILLFOCUS)
                CommitCommentEdit(dialog, s, s->row, &s->changes);
            return TRUE;
        case kCtlSlotProtect:
            if (s->row != kNoRow && s->slots[s->row].present && Bank(*s) >= 2) {
                SlotRecord& r = s->slots[s->row];
                r.protect = IsDlgButtonChecked(dialog, kCtlSlotProtect) == BST_CHECKED ? 1 : 0;
                s->changes |= kProtectChanged;
                SetCell(GetDlgItem(dialog, kCtlSlotList), s->row, 4, ProtectColumn(*s, r));
            }
            return TRUE;
        case kCtlSlotAction:
            if (s->row == kNoRow)
                return TRUE;
            if (s->save)
                SaveRow(dialog, *s);
            else
                LoadRow(dialog, *s);
            return TRUE;
        case kCtlSlotDelete:
            if (s->row != kNoRow)
                DeleteRow(dialog, *s);
            return TRUE;
        default:
            if (const OptionBox* o = FindOption(*s, id)) {
                s->app->Config().*o->setting = IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0;
                return TRUE;
            }
            return FALSE;
        }
    }
    case WM_DESTROY:
        if (s != nullptr && !s->closed) {
            s->closed = true;
            CommitAndWrite(dialog, *s);
            s->app->Config().saveDialogTab = static_cast<uint8_t>(s->tab);
            s->app->Config().saveDialogPosition = static_cast<uint8_t>(s->row == kNoRow ? 0 : s->row);
            if (s->joystick)
                KillTimer(dialog, kJoystickTimer);
            s->joystick.reset();
        }
        return FALSE;
    default: return FALSE;
    }
}

} // namespace

INT_PTR RunSaveLoadDialog(CGameApp& app, HWND owner, bool save)
{
    RegisterGameResources();
    RegisterSaveDialogResources();
    InitCommonControls();
    auto state = std::make_unique<SaveDialogState>();
    state->app = &app;
    state->save = save;
    return DialogBoxParamA(app.GetInstance(), MAKEINTRESOURCEA(save ? kDlgSave : kDlgLoad), owner, SaveLoadDialogProc,
                           reinterpret_cast<LPARAM>(state.get()));
}
