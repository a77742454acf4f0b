// The dialog manager: dialogs made from templates, the dialog procedure's default handling, the
// modal loop with its scripts and records, and the keyboard of dialogs.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "winapi/dialogs/controls.h"
#include "winapi/dialogs/dialog_script.h"
#include "winapi/host_headless.h"
#include "winapi/joystick.h"
#include "winapi/text.h"
#include "winapi/user_internal.h"

namespace winapi::dialogs {

namespace {

struct DialogState {
    const DialogResource* resource = nullptr;
    int templateId = 0;
    HFONT font = nullptr;
    int baseX = 8;
    int baseY = 16;
    std::vector<HWND> order;
    bool ended = false;
    INT_PTR result = 0;
    DialogRecord record;
};

struct Manager {
    std::mutex mutex;
    std::map<HWND, std::shared_ptr<DialogState>> dialogs;
    std::map<int, std::deque<std::vector<DialogStep>>> scripts;
    std::vector<DialogRecord> records;
};

std::atomic<int> g_modalRunning{0};

Manager& TheManager()
{
    static Manager* manager = new Manager;
    return *manager;
}

std::shared_ptr<DialogState> FindState(HWND hwnd)
{
    auto& m = TheManager();
    std::lock_guard lock(m.mutex);
    auto it = m.dialogs.find(hwnd);
    return it == m.dialogs.end() ? nullptr : it->second;
}

bool TakeScript(int templateId, std::vector<DialogStep>* steps)
{
    auto& m = TheManager();
    std::lock_guard lock(m.mutex);
    auto it = m.scripts.find(templateId);
    if (it == m.scripts.end() || it->second.empty())
        return false;
    *steps = std::move(it->second.front());
    it->second.pop_front();
    return true;
}

std::string ClassNameOf(HWND hwnd)
{
    auto window = user::FindWindowRecord(hwnd);
    return window && window->cls ? window->cls->name : std::string();
}

ControlRecord RecordControl(HWND control, const std::string& className)
{
    ControlRecord record;
    record.id = GetDlgCtrlID(control);
    record.className = className;
    record.textUtf8 = SjisToUtf8(WindowText(control));
    record.enabled = IsWindowEnabled(control) != FALSE;
    record.visible = (GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE) != 0;
    if (className == "BUTTON")
        record.check = static_cast<int>(SendMessageA(control, BM_GETCHECK, 0, 0));
    else if (className == WC_TABCONTROLA)
        record.selection = static_cast<int>(SendMessageA(control, TCM_GETCURSEL, 0, 0));
    else if (className == WC_LISTVIEWA)
        record.selection = static_cast<int>(SendMessageA(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    else if (className == "COMBOBOX" || className == "LISTBOX") {
        const bool combo = className == "COMBOBOX";
        record.selection = static_cast<int>(SendMessageA(control, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
        const LRESULT count = SendMessageA(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            const auto at = static_cast<WPARAM>(i);
            const LRESULT length = SendMessageA(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, at, 0);
            std::string item(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
            if (length > 0)
                SendMessageA(control, combo ? CB_GETLBTEXT : LB_GETTEXT, at, reinterpret_cast<LPARAM>(item.data()));
            item.resize(std::strlen(item.c_str()));
            record.itemsUtf8.push_back(SjisToUtf8(item));
        }
    }
    else if (className == TRACKBAR_CLASSA)
        record.selection = static_cast<int>(SendMessageA(control, TBM_GETPOS, 0, 0));
    return record;
}

HWND TopLevelOf(HWND hwnd)
{
    while (hwnd != nullptr && (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD) != 0)
        hwnd = GetParent(hwnd);
    return hwnd;
}

// Messages whose dialog-procedure answer is the result itself, not DWLP_MSGRESULT.
bool AnswersDirectly(UINT message)
{
    switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_INITDIALOG: return true;
    default: return false;
    }
}

HWND DefaultButton(HWND dialog)
{
    for (HWND control : ControlsInOrder(dialog))
        if ((SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0)
            return control;
    return nullptr;
}

void PressButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button != nullptr && !IsWindowEnabled(button))
        return;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// Where a control's centre, or a rectangle of it, lies in the dialog's client area.
POINT CentreInDialog(HWND dialog, HWND control, const RECT* part)
{
    RECT rect;
    if (part != nullptr) {
        rect = *part;
        POINT corner{rect.left, rect.top};
        ClientToScreen(control, &corner);
        rect = RECT{corner.x, corner.y, corner.x + (part->right - part->left), corner.y + (part->bottom - part->top)};
    } else {
        GetWindowRect(control, &rect);
    }
    POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ScreenToClient(dialog, &centre);
    return centre;
}

void ClickAt(HWND dialog, POINT at)
{
    HostMouseMove(dialog, at.x, at.y);
    HostMouseButton(dialog, 0, true, at.x, at.y);
    HostMouseButton(dialog, 0, false, at.x, at.y);
}

// The control a step names: the dialog's own, else one in a shown child dialog (a sheet's page).
HWND FindStepControl(HWND dialog, int id)
{
    if (HWND control = GetDlgItem(dialog, id); control != nullptr && IsDialogWindow(control) == false)
        return control;
    for (HWND h = GetWindow(dialog, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT))
        if (IsDialogWindow(h) && IsWindowVisible(h))
            if (HWND control = FindStepControl(h, id))
                return control;
    return nullptr;
}

// Serves the dialog's messages while the clock runs for `ms` in 16 ms steps. False when a
// WM_QUIT came (it is posted again) or the dialog went away.
bool ServeFor(HWND dialog, uint32_t ms)
{
    uint32_t left = ms;
    do {
        MSG msg;
        while (IsWindow(dialog) && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return false;
            }
            if (!IsDialogMessageA(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        if (!IsWindow(dialog) || left == 0)
            break;
        const uint32_t slice = std::min<uint32_t>(left, 16);
        if (auto* host = CurrentHeadlessHost())
            host->AdvanceClock(slice);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(slice));
        left -= slice;
    } while (true);
    return IsWindow(dialog) != FALSE;
}

void PressAndRelease(HWND dialog, POINT down, POINT up)
{
    HostMouseMove(dialog, down.x, down.y);
    HostMouseButton(dialog, 0, true, down.x, down.y);
    ServeFor(dialog, 0);  // the press takes the capture before the move
    HostMouseMove(dialog, up.x, up.y);
    HostMouseButton(dialog, 0, false, up.x, up.y);
}

void SlideStep(HWND dialog, HWND bar, const DialogStep& step)
{
    RECT thumb{}, channel{};
    SendMessageA(bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    SendMessageA(bar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    const POINT grip = CentreInDialog(dialog, bar, &thumb);
    if (step.slide == DialogStep::Drag) {
        const int low = static_cast<int>(SendMessageA(bar, TBM_GETRANGEMIN, 0, 0));
        const int high = static_cast<int>(SendMessageA(bar, TBM_GETRANGEMAX, 0, 0));
        const int span = channel.right - channel.left - 1, range = high - low;
        const int along = range > 0 ? static_cast<int>((static_cast<int64_t>(std::clamp(step.index, low, high) - low) *
                                                            span + range / 2) / range)
                                    : 0;
        POINT to{channel.left + along, (thumb.top + thumb.bottom) / 2};
        ClientToScreen(bar, &to);
        ScreenToClient(dialog, &to);
        PressAndRelease(dialog, grip, to);
        return;
    }
    const int presses = std::abs(step.index);
    const bool right = step.index > 0;
    if (step.slide == DialogStep::Arrow) {
        SetFocus(bar);
        for (int i = 0; i < presses; ++i) {
            HostKey(dialog, HostKeyEvent{right ? 79 : 80, true, false});
            HostKey(dialog, HostKeyEvent{right ? 79 : 80, false, false});
        }
        return;
    }
    for (int i = 0; i < presses; ++i) {
        SendMessageA(bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
        RECT beside{right ? thumb.right + 1 : channel.left, thumb.top, right ? channel.right : thumb.left - 1,
                    thumb.bottom};
        if (beside.right <= beside.left)
            beside = RECT{right ? thumb.right : thumb.left - 1, thumb.top, right ? thumb.right + 1 : thumb.left,
                          thumb.bottom};
        const POINT at = CentreInDialog(dialog, bar, &beside);
        PressAndRelease(dialog, at, at);
        ServeFor(dialog, 0);
    }
}

void PickItemStep(HWND dialog, HWND control, int index)
{
    HWND list = control;
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(control, &info)) {
        if (info.hwndList == nullptr) {
            ClickAt(dialog, CentreInDialog(dialog, control, nullptr));
            ServeFor(dialog, 0);  // the click opens the list
        }
        GetComboBoxInfo(control, &info);
        list = info.hwndList;
        if (list == nullptr)
            return;
    }
    RECT item{};
    if (SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) == LB_ERR) {
        if (list != control)
            SendMessageA(control, CB_SHOWDROPDOWN, FALSE, 0);
        return;
    }
    InvalidateRect(list, nullptr, FALSE);
    ClickAt(dialog, CentreInDialog(dialog, list, &item));
}

void RunStep(HWND dialog, const DialogStep& step)
{
    const bool named = step.kind != DialogStep::Key && step.kind != DialogStep::Advance &&
                       step.kind != DialogStep::HoldKey && step.kind != DialogStep::HoldButton &&
                       step.kind != DialogStep::HoldAxis && step.kind != DialogStep::SwitchPage;
    HWND control = named ? FindStepControl(dialog, step.id) : nullptr;
    switch (step.kind) {
    case DialogStep::Click:
        if (control != nullptr)
            ClickAt(dialog, CentreInDialog(dialog, control, nullptr));
        break;
    case DialogStep::DoubleClick:
        if (control != nullptr) {
            const POINT at = CentreInDialog(dialog, control, nullptr);
            ClickAt(dialog, at);
            ClickAt(dialog, at);
        }
        break;
    case DialogStep::Type:
        if (control != nullptr) {
            SetFocus(control);
            HostText(dialog, step.textUtf8);
        }
        break;
    case DialogStep::Check:
        if (control != nullptr && (SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED) != (step.index != 0))
            ClickAt(dialog, CentreInDialog(dialog, control, nullptr));
        break;
    case DialogStep::PickTab:
    case DialogStep::PickRow: {
        if (control == nullptr)
            break;
        RECT item{LVIR_BOUNDS, 0, 0, 0};
        const bool tab = step.kind == DialogStep::PickTab;
        if (!tab)
            SendMessageA(control, LVM_ENSUREVISIBLE, static_cast<WPARAM>(step.index), FALSE);
        if (SendMessageA(control, tab ? TCM_GETITEMRECT : LVM_GETITEMRECT, static_cast<WPARAM>(step.index),
                         reinterpret_cast<LPARAM>(&item)) != 0)
            ClickAt(dialog, CentreInDialog(dialog, control, &item));
        break;
    }
    case DialogStep::Key:
        HostKey(dialog, HostKeyEvent{step.scancode, true, false});
        HostKey(dialog, HostKeyEvent{step.scancode, false, false});
        break;
    case DialogStep::Advance:
        if (auto* host = CurrentHeadlessHost())
            host->AdvanceClock(step.ms);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(step.ms));
        break;
    case DialogStep::PickItem:
        if (control != nullptr)
            PickItemStep(dialog, control, step.index);
        break;
    case DialogStep::Slide:
        if (control != nullptr)
            SlideStep(dialog, control, step);
        break;
    case DialogStep::SwitchPage: {
        HWND tabs = GetDlgItem(dialog, kPropertySheetTabId);
        RECT item{};
        if (tabs != nullptr && SendMessageA(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(step.index),
                                            reinterpret_cast<LPARAM>(&item)) != 0)
            ClickAt(dialog, CentreInDialog(dialog, tabs, &item));
        break;
    }
    case DialogStep::HoldKey:
        HostKey(dialog, HostKeyEvent{step.scancode, true, false});
        if (ServeFor(dialog, step.ms))
            HostKey(dialog, HostKeyEvent{step.scancode, false, false});
        else
            HostKey(nullptr, HostKeyEvent{step.scancode, false, false});
        break;
    case DialogStep::HoldButton: {
        winapi::JoystickState state;
        if (!winapi::ReadJoystick(step.id, nullptr, &state) || step.index < 0 || step.index > 31)
            break;
        state.buttons |= 1u << step.index;
        winapi::SetJoystickState(step.id, state);
        ServeFor(dialog, step.ms);
        winapi::ReadJoystick(step.id, nullptr, &state);
        state.buttons &= ~(1u << step.index);
        winapi::SetJoystickState(step.id, state);
        break;
    }
    case DialogStep::HoldAxis: {
        winapi::JoystickState state;
        if (!winapi::ReadJoystick(step.id, nullptr, &state) || step.axis < 0 || step.axis >= winapi::kJoystickAxes)
            break;
        const int32_t rest = winapi::JoystickState{}.axes[step.axis];
        state.axes[step.axis] = std::clamp(step.index, 0, 65535);
        winapi::SetJoystickState(step.id, state);
        ServeFor(dialog, step.ms);
        winapi::ReadJoystick(step.id, nullptr, &state);
        state.axes[step.axis] = rest;
        winapi::SetJoystickState(step.id, state);
        break;
    }
    }
}

// A message template run without a script: the headless host answers as for a message box.
std::vector<DialogStep> MessageAnswer(HWND dialog, const DialogResource& resource, bool headless)
{
    char caption[256] = {};
    GetWindowTextA(dialog, caption, sizeof caption);
    const std::string text = SjisToUtf8(WindowText(GetDlgItem(dialog, resource.messageTextId)));
    if (!headless) {
        EchoMessageBox(text);
        return {};
    }
    const int answer = CurrentHeadlessHost()->MessageBox(text, SjisToUtf8(caption), resource.messageType);
    if (answer == IDOK || answer == IDYES)
        return {ClickOn(1)};
    if (answer == IDNO)
        return {ClickOn(2)};
    return {};
}

HWND Create(HINSTANCE instance, const DialogResource* resource, int templateId, HWND owner, DLGPROC proc,
            LPARAM param, std::shared_ptr<DialogState>* out)
{
    if (resource == nullptr)
        return nullptr;
    auto state = std::make_shared<DialogState>();
    state->resource = resource;
    state->templateId = templateId;
    // The dialog font and its base units.
    HDC screen = GetDC(nullptr);
    LOGFONTA font{};
    font.lfHeight = -((resource->pointSize * GetDeviceCaps(screen, LOGPIXELSY) + 36) / 72);
    font.lfCharSet = SHIFTJIS_CHARSET;
    std::strncpy(font.lfFaceName, resource->face != nullptr ? resource->face : "", LF_FACESIZE - 1);
    ReleaseDC(nullptr, screen);
    state->font = CreateFontIndirectA(&font);
    if (state->font != nullptr) {
        HDC measure = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(measure, state->font);
        TEXTMETRICA metrics{};
        SIZE size{0, 0};
        static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        if (GetTextMetricsA(measure, &metrics) && GetTextExtentPoint32A(measure, kAlphabet, 52, &size)) {
            state->baseX = std::max<int>(1, (size.cx / 26 + 1) / 2);
            state->baseY = std::max<int>(1, metrics.tmHeight);
        }
        SelectObject(measure, old);
        DeleteDC(measure);
    }
    // A child template (a property sheet's page) lives in its parent's client area.
    const bool child = (resource->style & WS_CHILD) != 0 && owner != nullptr;
    if (!child) {
        owner = TopLevelOf(owner);
        if (owner == GetDesktopWindow())
            owner = nullptr;
    }
    // The client area in pixels, placed on the owner's client origin or centred.
    auto toX = [&](int units) { return units * state->baseX / 4; };
    auto toY = [&](int units) { return units * state->baseY / 8; };
    const DWORD style = child ? (resource->style & ~WS_VISIBLE & ~WS_POPUP & ~WS_CAPTION)
                              : (resource->style & ~WS_VISIBLE & ~WS_CHILD) | WS_POPUP;
    RECT frame{0, 0, toX(resource->cx), toY(resource->cy)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    POINT origin{0, 0};
    if (owner != nullptr && !child)
        ClientToScreen(owner, &origin);
    int x = origin.x + toX(resource->x), y = origin.y + toY(resource->y);
    if ((resource->style & DS_CENTER) != 0 && !child) {
        RECT area;
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (owner != nullptr && IsWindowVisible(owner))
            GetWindowRect(owner, &area);
        else if (GetMonitorInfoA(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &info))
            area = info.rcWork;
        else
            area = RECT{0, 0, width, height};
        x = (area.left + area.right - width) / 2;
        y = (area.top + area.bottom - height) / 2;
    }
    HWND dialog = CreateWindowExA(0, WC_DIALOG, resource->caption, style, x, y, width, height, owner, nullptr,
                                  instance, nullptr);
    if (dialog == nullptr) {
        if (state->font != nullptr)
            DeleteObject(state->font);
        return nullptr;
    }
    {
        auto& m = TheManager();
        std::lock_guard lock(m.mutex);
        m.dialogs[dialog] = state;
    }
    state->record.templateId = state->templateId;
    state->record.captionUtf8 = SjisToUtf8(resource->caption != nullptr ? resource->caption : "");
    SetWindowLongPtrA(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    for (int i = 0; i < resource->itemCount; ++i) {
        const DialogItemResource& item = resource->items[i];
        HWND control = CreateWindowExA(item.exStyle, item.className, item.text != nullptr ? item.text : "",
                                       item.style | WS_CHILD, toX(item.x), toY(item.y), toX(item.cx), toY(item.cy),
                                       dialog, reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id)), instance,
                                       nullptr);
        if (control == nullptr) {
            DestroyWindow(dialog);
            return nullptr;
        }
        state->order.push_back(control);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
    }
    SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) != 0 && IsWindow(dialog)) {
        HWND focus = GetNextDlgTabItem(dialog, nullptr, FALSE);
        if (focus != nullptr)
            SetFocus(focus);
    }
    if (!IsWindow(dialog))
        return nullptr;
    *out = state;
    return dialog;
}

} // namespace

std::vector<HWND> ControlsInOrder(HWND dialog)
{
    if (auto state = FindState(dialog)) {
        std::vector<HWND> alive;
        for (HWND h : state->order)
            if (IsWindow(h))
                alive.push_back(h);
        return alive;
    }
    std::vector<HWND> children;
    for (HWND h = GetWindow(dialog, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT))
        children.push_back(h);
    std::reverse(children.begin(), children.end());
    return children;
}

bool IsDialogWindow(HWND hwnd)
{
    return FindState(hwnd) != nullptr;
}

void AddChildDialog(HWND dialog, HWND child)
{
    if (auto state = FindState(dialog)) {
        std::lock_guard lock(TheManager().mutex);
        state->order.insert(state->order.begin(), child);
    }
}

HWND CreateDialogFrom(HINSTANCE instance, const DialogResource* resource, int templateId, HWND owner, DLGPROC proc,
                      LPARAM param)
{
    std::shared_ptr<DialogState> state;
    HWND dialog = Create(instance, resource, templateId, owner, proc, param, &state);
    if (dialog != nullptr && (state->resource->style & WS_VISIBLE) != 0)
        ShowWindow(dialog, SW_SHOW);
    return dialog;
}

HWND DialogMouseTarget(HWND dialog, POINT* point)
{
    POINT screen = *point;
    ClientToScreen(dialog, &screen);
    // Windows made after the template's (a dropped combo list, an added button) lie on top.
    auto controls = ControlsInOrder(dialog);
    std::vector<HWND> candidates;
    for (HWND h = GetWindow(dialog, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT))
        if (std::find(controls.begin(), controls.end(), h) == controls.end())
            candidates.push_back(h);
    candidates.insert(candidates.end(), controls.begin(), controls.end());
    for (HWND control : candidates) {  // the first made lies on top
        const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
        if ((style & WS_VISIBLE) == 0)
            continue;
        RECT rect;
        GetWindowRect(control, &rect);
        if (screen.x < rect.left || screen.x >= rect.right || screen.y < rect.top || screen.y >= rect.bottom)
            continue;
        const LRESULT code = SendMessageA(control, WM_GETDLGCODE, 0, 0);
        const bool transparent =
            ((code & DLGC_STATIC) != 0 && (style & SS_NOTIFY) == 0) ||
            ((code & DLGC_BUTTON) != 0 && (style & BS_TYPEMASK) == BS_GROUPBOX);
        if (transparent)
            continue;
        if (!IsWindowEnabled(control))
            return nullptr;
        ScreenToClient(control, &screen);
        *point = screen;
        if (IsDialogWindow(control)) {
            HWND inner = DialogMouseTarget(control, point);
            return inner;
        }
        return control;
    }
    return dialog;
}

namespace {

DialogStep Step(DialogStep::Kind kind, int id)
{
    DialogStep step;
    step.kind = kind;
    step.id = id;
    return step;
}

} // namespace

DialogStep ClickOn(int id) { return Step(DialogStep::Click, id); }
DialogStep DoubleClickOn(int id) { return Step(DialogStep::DoubleClick, id); }

DialogStep TypeInto(int id, const std::string& textUtf8)
{
    DialogStep step = Step(DialogStep::Type, id);
    step.textUtf8 = textUtf8;
    return step;
}

DialogStep SetCheck(int id, bool ticked)
{
    DialogStep step = Step(DialogStep::Check, id);
    step.index = ticked ? 1 : 0;
    return step;
}

DialogStep PickTabOf(int id, int tab)
{
    DialogStep step = Step(DialogStep::PickTab, id);
    step.index = tab;
    return step;
}

DialogStep PickRowOf(int id, int row)
{
    DialogStep step = Step(DialogStep::PickRow, id);
    step.index = row;
    return step;
}

DialogStep PressKey(int scancode)
{
    DialogStep step = Step(DialogStep::Key, 0);
    step.scancode = scancode;
    return step;
}

DialogStep AdvanceClock(uint32_t ms)
{
    DialogStep step = Step(DialogStep::Advance, 0);
    step.ms = ms;
    return step;
}

DialogStep PickItemOf(int id, int item)
{
    DialogStep step = Step(DialogStep::PickItem, id);
    step.index = item;
    return step;
}

namespace {
DialogStep SlideStep(int id, DialogStep::SlideKind how, int amount)
{
    DialogStep step = Step(DialogStep::Slide, id);
    step.slide = how;
    step.index = amount;
    return step;
}
} // namespace

DialogStep DragSlider(int id, int position) { return SlideStep(id, DialogStep::Drag, position); }
DialogStep PageSlider(int id, int pages) { return SlideStep(id, DialogStep::Page, pages); }
DialogStep ArrowSlider(int id, int presses) { return SlideStep(id, DialogStep::Arrow, presses); }

DialogStep SwitchToPage(int page)
{
    DialogStep step = Step(DialogStep::SwitchPage, 0);
    step.index = page;
    return step;
}

DialogStep HoldKeyFor(int scancode, uint32_t ms)
{
    DialogStep step = Step(DialogStep::HoldKey, 0);
    step.scancode = scancode;
    step.ms = ms;
    return step;
}

DialogStep HoldJoystickButton(int joystick, int button, uint32_t ms)
{
    DialogStep step = Step(DialogStep::HoldButton, joystick);
    step.index = button;
    step.ms = ms;
    return step;
}

DialogStep HoldJoystickAxis(int joystick, int axis, int position, uint32_t ms)
{
    DialogStep step = Step(DialogStep::HoldAxis, joystick);
    step.axis = axis;
    step.index = position;
    step.ms = ms;
    return step;
}

const ControlRecord* DialogRecord::Control(int id) const
{
    for (const ControlRecord& control : controls)
        if (control.id == id)
            return &control;
    return nullptr;
}

void QueueDialogScript(int templateId, std::vector<DialogStep> steps)
{
    auto& m = TheManager();
    std::lock_guard lock(m.mutex);
    m.scripts[templateId].push_back(std::move(steps));
}

std::vector<DialogRecord> DialogRecords()
{
    auto& m = TheManager();
    std::lock_guard lock(m.mutex);
    return m.records;
}

int ModalDialogsRunning()
{
    return g_modalRunning.load();
}

void ClearDialogScripts()
{
    auto& m = TheManager();
    std::lock_guard lock(m.mutex);
    m.scripts.clear();
    m.records.clear();
}

} // namespace winapi::dialogs

using namespace winapi;
using namespace winapi::dialogs;

LRESULT WINAPI DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto state = FindState(dialog);
    if (state != nullptr) {
        if (message == WM_COMMAND) {
            std::lock_guard lock(TheManager().mutex);
            state->record.notifications.push_back({WM_COMMAND, LOWORD(wParam), HIWORD(wParam)});
        } else if (message == WM_NOTIFY && lParam != 0) {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            std::lock_guard lock(TheManager().mutex);
            state->record.notifications.push_back({WM_NOTIFY, static_cast<int>(header->idFrom), header->code});
        } else if (message == WM_DESTROY) {
            std::vector<ControlRecord> controls;
            for (HWND control : ControlsInOrder(dialog))
                controls.push_back(RecordControl(control, ClassNameOf(control)));
            std::lock_guard lock(TheManager().mutex);
            state->record.controls = std::move(controls);
        }
    }
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dialog, DWLP_DLGPROC));
    if (proc != nullptr && message != WM_NCDESTROY) {
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
        const INT_PTR handled = proc(dialog, message, wParam, lParam);
        if (handled != 0)
            return AnswersDirectly(message) ? handled : GetWindowLongPtrA(dialog, DWLP_MSGRESULT);
        // FALSE to WM_INITDIALOG: the procedure placed the focus itself.
        if (AnswersDirectly(message) && message != WM_CTLCOLORDLG)
            return 0;
    }
    switch (message) {
    case WM_INITDIALOG: return TRUE;  // the default: focus to the first control
    case WM_CLOSE:
        PressButton(dialog, IDCANCEL);
        return 0;
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(dialog, &rc);
        HDC hdc = reinterpret_cast<HDC>(wParam);
        const LRESULT brush = SendMessageA(dialog, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(dialog));
        FillRect(hdc, &rc, brush != 0 ? reinterpret_cast<HBRUSH>(brush) : FaceBrush());
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(dialog, &ps);
        SendMessageA(dialog, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
        EndPaint(dialog, &ps);
        return 0;
    }
    case WM_CTLCOLORDLG: return 0;
    case WM_SETFONT:
        if (state != nullptr && wParam != 0)
            state->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT: return state != nullptr ? reinterpret_cast<LRESULT>(state->font) : 0;
    case DM_GETDEFID: {
        HWND button = DefaultButton(dialog);
        return button != nullptr ? MAKELONG(GetDlgCtrlID(button), DC_HASDEFID) : 0;
    }
    case WM_NEXTDLGCTL: {
        HWND next = LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam)
                                         : GetNextDlgTabItem(dialog, GetFocus(), wParam != 0);
        if (next != nullptr)
            SetFocus(next);
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus == nullptr || (focus != dialog && TopLevelOf(focus) != dialog)) {
                HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
                SetFocus(first != nullptr ? first : dialog);
            }
            return 0;
        }
        return DefWindowProcA(dialog, message, wParam, lParam);
    case WM_NCDESTROY: {
        const LRESULT done = DefWindowProcA(dialog, message, wParam, lParam);
        if (state != nullptr) {
            auto& m = TheManager();
            std::lock_guard lock(m.mutex);
            state->record.result = state->result;
            m.records.push_back(state->record);
            m.dialogs.erase(dialog);
        }
        if (state != nullptr && state->font != nullptr)
            DeleteObject(state->font);
        return done;
    }
    default: return DefWindowProcA(dialog, message, wParam, lParam);
    }
}

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param)
{
    return CreateDialogFrom(instance, FindDialogResource(name), static_cast<int>(reinterpret_cast<uintptr_t>(name)),
                            owner, proc, param);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param)
{
    return DialogBoxFrom(instance, FindDialogResource(name), static_cast<int>(reinterpret_cast<uintptr_t>(name)),
                         owner, proc, param, false);
}

INT_PTR winapi::dialogs::DialogBoxFrom(HINSTANCE instance, const DialogResource* resource, int templateId,
                                       HWND owner, DLGPROC proc, LPARAM param, bool sheet)
{
    if (resource == nullptr)
        return -1;
    struct Running {
        Running() { ++g_modalRunning; }
        ~Running() { --g_modalRunning; }
    } running;
    // The owner is disabled before the dialog exists: its initialisation already runs modal.
    HWND top = TopLevelOf(owner);
    const bool disable = top != nullptr && top != GetDesktopWindow() && IsWindowEnabled(top);
    if (disable)
        EnableWindow(top, FALSE);
    std::shared_ptr<DialogState> state;
    HWND dialog = Create(instance, resource, templateId, owner, proc, param, &state);
    if (dialog == nullptr) {
        if (disable && IsWindow(top))
            EnableWindow(top, TRUE);
        return -1;
    }
    state->record.propertySheet = sheet;
    if (!state->ended)
        ShowWindow(dialog, SW_SHOW);
    const bool headless = CurrentHeadlessHost() != nullptr;
    std::vector<DialogStep> steps;
    bool scripted = TakeScript(state->templateId, &steps);
    if (!scripted && state->resource->messageTextId != 0) {
        steps = MessageAnswer(dialog, *state->resource, headless);
        scripted = headless;
    } else if (!scripted && headless) {
        scripted = true;  // nobody to answer: the dialog is cancelled
    }
    size_t next = 0;
    bool cancelPressed = false, quit = false;
    WPARAM quitCode = 0;
    while (!state->ended && IsWindow(dialog)) {
        MSG msg;
        BOOL got = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
        if (!got && scripted) {
            if (next < steps.size()) {
                RunStep(dialog, steps[next++]);
            } else if (!cancelPressed) {
                cancelPressed = true;
                state->record.scriptRanOut = true;
                PressButton(dialog, IDCANCEL);
            } else {
                EndDialog(dialog, IDCANCEL);  // it ignored IDCANCEL: nobody else could end it
            }
            continue;
        }
        if (!got && GetMessageA(&msg, nullptr, 0, 0) == 0) {
            quit = true;
            quitCode = msg.wParam;
            break;
        }
        if (msg.message == WM_QUIT) {
            quit = true;
            quitCode = msg.wParam;
            break;
        }
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    const INT_PTR result = state->ended ? state->result : 0;
    state->result = result;
    if (disable && IsWindow(top))
        EnableWindow(top, TRUE);
    if (IsWindow(dialog))
        DestroyWindow(dialog);
    if (disable && IsWindow(top) && IsWindowVisible(top))
        SetActiveWindow(top);
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode));
    return result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    auto state = FindState(dialog);
    if (state == nullptr)
        return FALSE;
    state->ended = true;
    state->result = result;
    return TRUE;
}

BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg)
{
    if (msg == nullptr || dialog == nullptr || !IsWindow(dialog))
        return FALSE;
    if (msg->hwnd != dialog && TopLevelOf(msg->hwnd) != dialog)
        return FALSE;
    const bool key = msg->message == WM_KEYDOWN || msg->message == WM_CHAR;
    if (key) {
        const LRESULT code = SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        const bool wantsAll = (code & DLGC_WANTALLKEYS) != 0;
        if (msg->message == WM_KEYDOWN) {
            switch (msg->wParam) {
            case VK_TAB:
                if (!wantsAll && (code & DLGC_WANTTAB) == 0) {
                    HWND next = GetNextDlgTabItem(dialog, GetFocus(), GetKeyState(VK_SHIFT) < 0);
                    if (next != nullptr)
                        SetFocus(next);
                    return TRUE;
                }
                break;
            case VK_RETURN:
                if (!wantsAll) {
                    int id = IDOK;
                    if ((code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0) {
                        id = GetDlgCtrlID(msg->hwnd);
                    } else {
                        const LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
                        if (HIWORD(def) == DC_HASDEFID)
                            id = LOWORD(def);
                    }
                    PressButton(dialog, id);
                    return TRUE;
                }
                break;
            case VK_ESCAPE:
                if (!wantsAll) {
                    PressButton(dialog, IDCANCEL);
                    return TRUE;
                }
                break;
            default: break;
            }
        } else if ((msg->wParam == '\t' || msg->wParam == '\r' || msg->wParam == 0x1B) && !wantsAll) {
            return TRUE;  // the key-down did the work
        }
    }
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous)
{
    std::vector<HWND> stops;
    // The controls of a shown child dialog (a sheet's page) take part in its parent's order.
    std::function<void(HWND)> collect = [&](HWND parent) {
        for (HWND h : ControlsInOrder(parent)) {
            const LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE);
            if ((style & WS_VISIBLE) == 0 || !IsWindowEnabled(h))
                continue;
            if (IsDialogWindow(h))
                collect(h);
            else if ((style & WS_TABSTOP) != 0)
                stops.push_back(h);
        }
    };
    collect(IsDialogWindow(GetParent(dialog)) && (GetWindowLongPtrA(dialog, GWL_STYLE) & WS_CHILD) != 0
                ? GetParent(dialog)
                : dialog);
    if (stops.empty())
        return nullptr;
    auto it = std::find(stops.begin(), stops.end(), control);
    if (it == stops.end())
        return previous ? stops.back() : stops.front();
    const size_t at = static_cast<size_t>(it - stops.begin());
    return previous ? stops[(at + stops.size() - 1) % stops.size()] : stops[(at + 1) % stops.size()];
}

HWND WINAPI GetDlgItem(HWND dialog, int id)
{
    for (HWND h = GetWindow(dialog, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT))
        if (GetDlgCtrlID(h) == id)
            return h;
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND control)
{
    return static_cast<int>(GetWindowLongPtrA(control, GWLP_ID));
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr ? SendMessageA(control, message, wParam, lParam) : 0;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size)
{
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        if (buffer != nullptr && size > 0)
            buffer[0] = '\0';
        return 0;
    }
    return static_cast<UINT>(GetWindowTextA(control, buffer, size));
}

BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL signedValue)
{
    const std::string text = signedValue ? std::to_string(static_cast<int>(value)) : std::to_string(value);
    return SetDlgItemTextA(dialog, id, text.c_str());
}

UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL signedValue)
{
    char text[64] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    const bool ok = end != text && *end == '\0' && (signedValue || value >= 0) && value <= 0xFFFFFFFFLL &&
                    value >= -0x80000000LL;
    if (translated != nullptr)
        *translated = ok ? TRUE : FALSE;
    return ok ? static_cast<UINT>(value) : 0;
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr)
        return FALSE;
    SendMessageA(control, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id)
{
    return static_cast<UINT>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL WINAPI CheckRadioButton(HWND dialog, int first, int last, int check)
{
    for (int id = first; id <= last; ++id)
        SendDlgItemMessageA(dialog, id, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect)
{
    auto state = FindState(dialog);
    if (state == nullptr || rect == nullptr)
        return FALSE;
    rect->left = rect->left * state->baseX / 4;
    rect->right = rect->right * state->baseX / 4;
    rect->top = rect->top * state->baseY / 8;
    rect->bottom = rect->bottom * state->baseY / 8;
    return TRUE;
}

void WINAPI InitCommonControls() {}
