// The version dialog 111: the version, the system-information report with its copy to the
// clipboard and its log file, and the maker's web page.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/file_stream.h"
#include "files/shell_dialogs.h"
#include "game/game_app.h"
#include "game/resources.h"
#include "platform/system_information.h"
#include "winapi/gdi.h"
#include "winapi/kernel.h"
#include "winapi/shell.h"
#include "winapi/text.h"

namespace {

constexpr COLORREF kVersionBackground = 0x353505;

struct VersionDialog {
    CGameApp* app = nullptr;
    HFONT versionFont = nullptr;
    HFONT reportFont = nullptr;
    HBRUSH versionBrush = nullptr;
};

HFONT MakeFont(int pixels, const char* face)
{
    LOGFONTA font{};
    font.lfHeight = -pixels;
    font.lfCharSet = SHIFTJIS_CHARSET;
    std::strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirectA(&font);
}

void FillReport(HWND dialog, VersionDialog& self)
{
    CGameApp& app = *self.app;
    HWND edit = GetDlgItem(dialog, kCtlVersionReport);
    SetWindowTextA(edit, "");
    ReportFrameInfo frame;
    const AppInfo& info = app.Info();
    frame.appName = info.name;
    frame.title = info.title;
    frame.notice = info.notice;
    frame.webAddress = info.web;
    frame.versionMajor = info.version[0];
    frame.versionMinor = info.version[1];
    frame.revision = info.version[2];
    const bool detailed = app.Config().detailedReport != 0;
    WriteSystemInformation(edit, frame, app.GetWindowsInfo(), detailed ? &app.GetInput() : nullptr,
                           detailed ? &app.GetMonitorList() : nullptr);
}

std::string EditText(HWND dialog)
{
    HWND edit = GetDlgItem(dialog, kCtlVersionReport);
    const int length = GetWindowTextLengthA(edit);
    std::vector<char> text(static_cast<size_t>(length) + 1);
    GetWindowTextA(edit, text.data(), length + 1);
    return std::string(text.data());
}

void CopyReport(HWND dialog, VersionDialog& self)
{
    const std::string text = EditText(dialog);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (memory == nullptr) {
        self.app->ShowMessageDialog(winapi::Sjis("メモリの確保に失敗しました。"), 0, nullptr, nullptr, 1, dialog);
        return;
    }
    std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    if (OpenClipboard(dialog)) {
        EmptyClipboard();
        SetClipboardData(CF_TEXT, memory);
        CloseClipboard();
    } else {
        GlobalFree(memory);
    }
    self.app->ShowMessageDialog(winapi::Sjis("クリップボードにシステム情報をコピーしました。"), 0, nullptr, nullptr, 1,
                                dialog);
}

void SaveReport(HWND dialog, VersionDialog& self)
{
    char file[MAX_PATH] = {};
    const std::string name = std::string(winapi::Sjis("【")) + self.app->Info().name + winapi::Sjis("】システム情報") + ".txt";
    std::snprintf(file, sizeof file, "%s", name.c_str());
    char folder[MAX_PATH] = {};
    GetSpecialFolderPath(folder, CSIDL_PERSONAL);
    std::string filter = std::string(winapi::Sjis("システム情報ファイル(*.TXT)")) + '\0' + "*.TXT" + '\0';
    CFileDialog chooser;
    if (!chooser.ShowSave(dialog, winapi::Sjis("ログを保存"), file, nullptr, folder, filter.c_str(), "txt"))
        return;
    // The edit's lines, "\r\n" between them.
    const std::string text = EditText(dialog);
    CFileStream stream;
    bool written = stream.Create(file, true) == 0;
    if (written)
        written = stream.Write(text.data(), static_cast<DWORD>(text.size())) == text.size();
    stream.Close();
    self.app->ShowMessageDialog(winapi::Sjis(written ? "システム情報をファイルに保存しました。"
                                                     : "システム情報ファイルの作成に失敗しました。"),
                                0, nullptr, nullptr, 1, dialog);
}

void OpenWebPage(HWND dialog, VersionDialog& self)
{
    AppConfig& config = self.app->Config();
    if (config.askBeforeWebPage != 0) {
        uint8_t tick = config.askBeforeWebPage;
        const int yes = self.app->ShowMessageDialog(
            winapi::Sjis("「Pellwick」のWebページを表示します。\nよろしいですか？"), 3, &tick, nullptr, 1, dialog);
        // A tick given with はい turns the question off.
        config.askBeforeWebPage = tick != 0 ? 0 : 1;
        if (yes != 1)
            return;
    }
    ShellExecuteA(dialog, "open", self.app->Info().web.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (self.app->IsFullScreen())
        EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<VersionDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        self = reinterpret_cast<VersionDialog*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        SendDlgItemMessageA(dialog, kCtlVersionIcon, STM_SETICON, reinterpret_cast<WPARAM>(self->app->GetIcon()), 0);
        self->versionFont = MakeFont(16, winapi::Sjis("ＭＳ Ｐ明朝"));
        self->reportFont = MakeFont(12, "");
        self->versionBrush = CreateSolidBrush(kVersionBackground);
        const uint8_t* version = self->app->Info().version;
        char text[64];
        int n = std::snprintf(text, sizeof text, "Version %d.%02d", version[0], version[1]);
        if (version[2] != 0)
            std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "%X ", version[2]);
        SendDlgItemMessageA(dialog, kCtlVersionText, WM_SETFONT, reinterpret_cast<WPARAM>(self->versionFont), FALSE);
        SetDlgItemTextA(dialog, kCtlVersionText, text);
        SendDlgItemMessageA(dialog, kCtlVersionReport, WM_SETFONT, reinterpret_cast<WPARAM>(self->reportFont), FALSE);
        CheckDlgButton(dialog, kCtlVersionDetailed, self->app->Config().detailedReport != 0 ? BST_CHECKED : 0);
        FillReport(dialog, *self);
        self->app->CenterWindow(dialog);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        if (self != nullptr && reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, kCtlVersionText)) {
            SetTextColor(reinterpret_cast<HDC>(wParam), 0xFFFFFF);
            return reinterpret_cast<INT_PTR>(self->versionBrush);
        }
        return FALSE;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == GetDlgItem(dialog, kCtlVersionLogo)) {
            SetCursor(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kCursorId)));
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        if (self == nullptr)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL: EndDialog(dialog, IDOK); return TRUE;
        case kCtlVersionDetailed:
            self->app->Config().detailedReport = IsDlgButtonChecked(dialog, kCtlVersionDetailed) == BST_CHECKED ? 1 : 0;
            FillReport(dialog, *self);
            return TRUE;
        case kCtlVersionCopy: CopyReport(dialog, *self); return TRUE;
        case kCtlVersionSave: SaveReport(dialog, *self); return TRUE;
        case kCtlVersionLogo:
            if (HIWORD(wParam) == STN_CLICKED)
                OpenWebPage(dialog, *self);
            return TRUE;
        default: return FALSE;
        }
    case WM_DESTROY:
        if (self != nullptr) {
            DeleteObject(self->versionFont);
            DeleteObject(self->reportFont);
            DeleteObject(self->versionBrush);
        }
        return FALSE;
    default: return FALSE;
    }
}

} // namespace

INT_PTR CGameApp::RunVersionDialog(HWND owner)
{
    RegisterGameResources();
    VersionDialog self;
    self.app = this;
    return DialogBoxParamA(GetInstance(), MAKEINTRESOURCEA(kDlgVersion), owner, VersionDialogProc,
                           reinterpret_cast<LPARAM>(&self));
}
