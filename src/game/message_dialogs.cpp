// The message dialogs 112-115 behind ShowMessageDialog, fitted to their text, and the data-input
// dialog 116.
#include "game/message_dialogs.h"

#include <algorithm>
#include <cstring>

#include "game/game_app.h"
#include "game/resources.h"
#include "winapi/gdi.h"
#include "winapi/imm.h"
#include "winapi/text.h"

namespace {

RECT ClientRectOf(HWND dialog, HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    POINT corner{rect.left, rect.top};
    ScreenToClient(dialog, &corner);
    return RECT{corner.x, corner.y, corner.x + (rect.right - rect.left), corner.y + (rect.bottom - rect.top)};
}

void MoveBy(HWND dialog, int id, int dx, int dy)
{
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr)
        return;
    const RECT r = ClientRectOf(dialog, control);
    MoveWindow(control, r.left + dx, r.top + dy, r.right - r.left, r.bottom - r.top, TRUE);
}

void GrowBy(HWND dialog, HWND window, int dx, int dy)
{
    RECT r;
    if (window == dialog) {
        GetWindowRect(dialog, &r);
        MoveWindow(dialog, r.left, r.top, r.right - r.left + dx, r.bottom - r.top + dy, TRUE);
        return;
    }
    r = ClientRectOf(dialog, window);
    MoveWindow(window, r.left, r.top, r.right - r.left + dx, r.bottom - r.top + dy, TRUE);
}

struct MessageDialog {
    CGameApp* app;
    CGameApp::MessageDialogRequest* request;
};

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<MessageDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        self = reinterpret_cast<MessageDialog*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        const auto& request = *self->request;
        const uint8_t kind = request.kind;
        const char* title = request.title;
        if (title == nullptr)
            title = !self->app->Info().title.empty() ? self->app->Info().title.c_str() : self->app->GetName();
        SetWindowTextA(dialog, title);
        if (request.fit != 0)
            FitDialogToText(dialog, request.text, kind >= 2, kind == 1 || kind == 3);
        SetDlgItemTextA(dialog, kCtlText, request.text);
        self->app->CenterWindow(dialog);
        if (self->app->m_options.cursorPlacement != 0) {
            // The pointer goes onto OK / はい.
            RECT button;
            if (GetWindowRect(GetDlgItem(dialog, kCtlYes), &button))
                SetCursorPos(button.left + (kind < 2 ? 56 : 60), button.top + 8);
        }
        if ((kind == 1 || kind == 3) && request.check != nullptr)
            *request.check = 0;
        return TRUE;
    }
    case WM_COMMAND: {
        if (self == nullptr)
            return FALSE;
        const auto& request = *self->request;
        switch (LOWORD(wParam)) {
        case kCtlYes: EndDialog(dialog, 1); return TRUE;
        case kCtlNo:  // いいえ, or the close box of kinds 0 and 1 (IDCANCEL)
            if (request.kind == 3 && request.check != nullptr)
                *request.check = 0;  // the tick sticks only with はい
            EndDialog(dialog, 0);
            return TRUE;
        case kCtlTick:
            if (request.check != nullptr)
                *request.check = IsDlgButtonChecked(dialog, kCtlTick) == BST_CHECKED ? 1 : 0;
            return TRUE;
        default: return FALSE;
        }
    }
    default: return FALSE;
    }
}

INT_PTR CALLBACK DataInputDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* app = reinterpret_cast<CGameApp*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        app = reinterpret_cast<CGameApp*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        auto& request = app->GetDataInputRequest();
        if (!request.caption.empty())
            SetWindowTextA(dialog, request.caption.c_str());
        SetDlgItemTextA(dialog, kCtlInputLabel, request.label.c_str());
        if (!request.result.empty())
            SetDlgItemTextA(dialog, kCtlText, request.result.c_str());
        RECT frame;
        GetWindowRect(dialog, &frame);
        int width = frame.right - frame.left;
        const int height = frame.bottom - frame.top;
        if (request.width > 0) {
            width = request.width;
            RECT client;
            GetClientRect(dialog, &client);
            const int inner = std::max(0, static_cast<int>(client.right) + (request.width - (frame.right - frame.left)) - 16);
            for (int id : {static_cast<int>(kCtlInputLabel), static_cast<int>(kCtlText)}) {
                HWND control = GetDlgItem(dialog, id);
                const RECT r = ClientRectOf(dialog, control);
                MoveWindow(control, 8, r.top, inner, r.bottom - r.top, TRUE);
            }
            HWND ok = GetDlgItem(dialog, kCtlYes);
            const RECT r = ClientRectOf(dialog, ok);
            const int clientWidth = static_cast<int>(client.right) + (request.width - (frame.right - frame.left));
            MoveWindow(ok, (clientWidth - (r.right - r.left)) / 2, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        }
        HWND main = app->GetMainWindow();
        int x, y;
        if (request.x < 0 || request.y < 0) {
            RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
            if (main != nullptr && IsWindow(main)) {
                GetClientRect(main, &area);
                POINT corner{0, 0};
                ClientToScreen(main, &corner);
                area = RECT{area.left + corner.x, area.top + corner.y, area.right + corner.x, area.bottom + corner.y};
            }
            x = (area.left + area.right - width) / 2;
            y = (area.top + area.bottom - height) / 2;
        } else {
            POINT at{request.x, request.y};
            if (main != nullptr)
                ClientToScreen(main, &at);
            x = at.x;
            y = at.y;
        }
        MoveWindow(dialog, x, y, width, height, TRUE);
        if (request.imeOn != 0)
            ImmSetOpenStatus(ImmGetContext(GetDlgItem(dialog, kCtlText)), TRUE);
        return TRUE;
    }
    case WM_COMMAND:
        if (app == nullptr)
            return FALSE;
        if (LOWORD(wParam) == kCtlYes) {
            auto& request = app->GetDataInputRequest();
            char text[256] = {};
            GetDlgItemTextA(dialog, kCtlText, text, sizeof text);
            request.result = FilterDataInput(text, request.doubleByteOnly != 0, request.maxBytes);
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

} // namespace

DialogFit ComputeDialogFit(const RECT& textStatic, int textWidth, int textHeight, int lines)
{
    DialogFit fit;
    fit.text = textStatic;
    const int staticWidth = textStatic.right - textStatic.left;
    const int staticHeight = textStatic.bottom - textStatic.top;
    if (textWidth > staticWidth)
        fit.dx = textWidth - staticWidth;
    if (lines > 2 && textHeight > staticHeight)
        fit.dy = textHeight - staticHeight;
    if (lines == 1) {
        // One line sits in the middle of the static's two.
        fit.text.top += textHeight / 2;
    }
    fit.text.right += fit.dx;
    fit.text.bottom += fit.dy;
    return fit;
}

void FitDialogToText(HWND dialog, const char* text, bool hasNo, bool hasTick)
{
    HWND textStatic = GetDlgItem(dialog, kCtlText);
    if (text == nullptr || textStatic == nullptr)
        return;
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    LOGFONTA face{};
    if (dialogFont == nullptr || GetObjectA(dialogFont, sizeof face, &face) == 0)
        std::strncpy(face.lfFaceName, winapi::Sjis("ＭＳ Ｐゴシック"), LF_FACESIZE - 1);
    face.lfHeight = -(9 * dpi / 72);
    face.lfWidth = 0;
    face.lfCharSet = SHIFTJIS_CHARSET;
    HFONT font = CreateFontIndirectA(&face);
    if (font == nullptr)
        return;  // unmeasured: the resource size stays
    HDC hdc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(hdc, font);
    RECT measured{0, 0, 0, 0};
    const int height = DrawTextA(hdc, text, -1, &measured, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(hdc, old);
    DeleteDC(hdc);
    DeleteObject(font);
    if (height <= 0)
        return;
    int lines = 1;
    for (const char* p = text; *p != '\0'; ++p)
        if (*p == '\n')
            ++lines;
    const DialogFit fit =
        ComputeDialogFit(ClientRectOf(dialog, textStatic), measured.right - measured.left, height, lines);
    MoveWindow(textStatic, fit.text.left, fit.text.top, fit.text.right - fit.text.left, fit.text.bottom - fit.text.top,
               TRUE);
    if (fit.dx == 0 && fit.dy == 0)
        return;
    MoveBy(dialog, kCtlYes, fit.dx / 2, fit.dy);
    if (hasNo)
        MoveBy(dialog, kCtlNo, fit.dx / 2, fit.dy);
    if (hasTick)
        MoveBy(dialog, kCtlTick, fit.dx / 2, fit.dy);
    if (HWND frame = GetDlgItem(dialog, kCtlFrame))
        GrowBy(dialog, frame, fit.dx, fit.dy);
    GrowBy(dialog, dialog, fit.dx, fit.dy);
}

std::string FilterDataInput(const std::string& text, bool doubleByteOnly, unsigned maxBytes)
{
    std::string out = text;
    if (doubleByteOnly) {
        size_t i = 0;
        while (i + 1 < out.size() && winapi::IsSjisLeadByte(static_cast<unsigned char>(out[i])))
            i += 2;
        out.resize(i);
    }
    if (maxBytes != 0 && out.size() > maxBytes) {
        size_t cut = 0;
        while (cut < out.size()) {
            const size_t length = winapi::IsSjisLeadByte(static_cast<unsigned char>(out[cut])) ? 2 : 1;
            if (cut + length > maxBytes)
                break;
            cut += length;
        }
        out.resize(cut);
    }
    return out;
}

int CGameApp::ShowMessageDialog(const char* text, uint8_t kind, uint8_t* check, const char* title, uint8_t fit,
                                HWND owner)
{
    if (text == nullptr || kind > 3)
        return 0;
    if (owner == nullptr)
        owner = GetMainWindow() != nullptr ? GetMainWindow() : GetDesktopWindow();
    MessageDialogRequest request;
    request.kind = kind;
    request.text = text;
    request.title = title;
    request.check = check;
    request.fit = fit;
    MessageDialog self{this, &request};
    RegisterGameResources();
    static const WORD kTemplates[] = {kDlgMessageOk, kDlgMessageOkTick, kDlgMessageYesNo, kDlgMessageYesNoTick};
    const INT_PTR answer = DialogBoxParamA(GetInstance(), MAKEINTRESOURCEA(kTemplates[kind]), owner, MessageDialogProc,
                                           reinterpret_cast<LPARAM>(&self));
    return kind >= 2 && answer == 1 ? 1 : 0;
}

int CGameApp::RunMessageDialog(MessageDialogRequest* request)
{
    if (request == nullptr || request->text == nullptr)
        return 1;
    if (request->kind > 3) {
        request->result = 0;  // no such dialog: nothing shows
        return 0;
    }
    const bool entered = !IsModal();
    if (entered)
        EnterModal();
    const int answer =
        ShowMessageDialog(request->text, request->kind, request->check, request->title, request->fit, nullptr);
    if (request->kind == 2 || request->kind == 3)
        request->result = static_cast<uint8_t>(answer);
    if (entered)
        LeaveModal();
    return 0;
}

INT_PTR CGameApp::RunDataInputDialog(HWND owner)
{
    RegisterGameResources();
    return DialogBoxParamA(GetInstance(), MAKEINTRESOURCEA(kDlgDataInput), owner, DataInputDialogProc,
                           reinterpret_cast<LPARAM>(this));
}
