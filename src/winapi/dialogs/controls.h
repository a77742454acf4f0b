// Inside the dialog stand-in: the class procedures of the controls and what they share (their
// state record, the parent's colours and notifications, drawing). Internal to winapi.
#pragma once

#include <string>
#include <vector>

#include "winapi/commctrl.h"
#include "winapi/gdi.h"
#include "winapi/user.h"

LRESULT CALLBACK ButtonWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK TabControlWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListViewWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListBoxWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ComboBoxWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK TrackbarWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

namespace winapi::dialogs {

// The record every control keeps behind its first window long; made at WM_NCCREATE, freed at
// WM_NCDESTROY. Subclass procedures reach it through the same window.
struct ControlState {
    virtual ~ControlState() = default;
    HFONT font = nullptr;
};

template <class T>
T* StateOf(HWND hwnd)
{
    return dynamic_cast<T*>(reinterpret_cast<ControlState*>(GetWindowLongPtrA(hwnd, 0)));
}

// The class procedures' common handling of creation, destruction and the font. True when the
// message was one of them (*result holds the answer).
template <class T>
bool HandleStateMessages(HWND hwnd, UINT message, WPARAM wParam, LRESULT* result)
{
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(static_cast<ControlState*>(new T)));
        return false;  // the default procedure keeps the title
    case WM_NCDESTROY:
        delete reinterpret_cast<ControlState*>(SetWindowLongPtrA(hwnd, 0, 0));
        return false;
    case WM_SETFONT:
        if (auto* state = StateOf<ControlState>(hwnd))
            state->font = reinterpret_cast<HFONT>(wParam);
        *result = 0;
        return true;
    case WM_GETFONT: {
        auto* state = StateOf<ControlState>(hwnd);
        *result = reinterpret_cast<LRESULT>(state != nullptr ? state->font : nullptr);
        return true;
    }
    default: return false;
    }
}

// WM_COMMAND (id, code) to the control's parent.
void NotifyParent(HWND control, UINT code);
// WM_NOTIFY with a header (the caller's record starts with it) to the parent; the parent's answer.
LRESULT NotifyParentHeader(HWND control, NMHDR* header, UINT code);
// The background brush for a control: the parent's WM_CTLCOLORxxx answer, else `fallback`.
HBRUSH ControlBrush(HWND control, HDC hdc, UINT message, HBRUSH fallback);
// The dialog face and window colours and their brushes.
constexpr COLORREF kFaceColour = 0x00F0F0F0;
constexpr COLORREF kWindowColour = 0x00FFFFFF;
constexpr COLORREF kShadowColour = 0x00A0A0A0;
constexpr COLORREF kSelectedColour = 0x00D77800;
HBRUSH FaceBrush();
HBRUSH WindowBrush();
HBRUSH ShadowBrush();
HBRUSH SelectedBrush();
// A one-pixel frame in the brush.
void FrameRectangle(HDC hdc, const RECT& rect, HBRUSH brush);
// The window's text (Shift-JIS).
std::string WindowText(HWND hwnd);
// Selects the control's font into the DC; the previous one.
HGDIOBJ SelectControlFont(HWND hwnd, HDC hdc);
// A click on a control that takes the focus: focus first, as Win32 gives it on the button's press.
void TakeFocusOnClick(HWND hwnd);

} // namespace winapi::dialogs

namespace winapi::dialogs {

// A dialog's controls in creation order (the tab order); a window that is not a dialog: its
// children from the bottom of the z-order up.
std::vector<HWND> ControlsInOrder(HWND dialog);
// The control of a dialog that takes a mouse event at a client point: the topmost visible one
// under it, skipping statics without SS_NOTIFY and group boxes; the dialog itself when none, null
// when that control is disabled. `point` becomes the target's client coordinates.
HWND DialogMouseTarget(HWND dialog, POINT* point);
// Whether the window is a dialog of the stand-in.
bool IsDialogWindow(HWND hwnd);
// A dialog from a template given directly (a template with WS_CHILD becomes a child of `owner`,
// placed in its client area); null as CreateDialogParamA. `templateId` names it in records.
HWND CreateDialogFrom(HINSTANCE instance, const DialogResource* resource, int templateId, HWND owner, DLGPROC proc,
                      LPARAM param);
// DialogBoxParamA over a template given directly; `sheet` marks the record of a property sheet.
INT_PTR DialogBoxFrom(HINSTANCE instance, const DialogResource* resource, int templateId, HWND owner, DLGPROC proc,
                      LPARAM param, bool sheet);
// Puts a child dialog (a property sheet's page) first in a dialog's control order: it lies above
// the other controls for the mouse and its controls come first in the tab order.
void AddChildDialog(HWND dialog, HWND child);

} // namespace winapi::dialogs
