// The frame every settings page runs in: the page object made at the page's initialisation and
// destroyed with it, the table-bound controls filled, stored and restored for it, and the hooks
// a page adds for what its tables do not cover.
#pragma once

#include <memory>

#include "game/settings_sheet.h"

class CSettingsPage {
public:
    virtual ~CSettingsPage() = default;
    // The page's index (0-6, stored in b2 when it becomes active) and its bound controls.
    virtual int Index() const = 0;
    virtual SheetTables Tables() const { return {}; }
    // Once, before the first fill: lists, fonts, devices.
    virtual void Init(HWND) {}
    // The controls beyond the tables from a block (the stored one, or the defaults).
    virtual void Fill(HWND, const AppConfig&) {}
    // After the tables are stored into `config` (before: the block as it was) → nothing.
    virtual void Store(HWND, AppConfig*, const AppConfig& /*before*/) {}
    // After the defaults were filled in by the restore button.
    virtual void Restored(HWND) {}
    // A WM_COMMAND or WM_HSCROLL from one of the page's controls (after the tables' handling).
    virtual void Command(HWND, int /*id*/, int /*code*/) {}
    virtual void Scrolled(HWND, int /*id*/) {}
    virtual void Activate(HWND, bool /*active*/) {}
    // PSN_KILLACTIVE → true to keep the page.
    virtual bool KillActive(HWND) { return false; }
    virtual void Reset(HWND) {}
    virtual void Timer(HWND, UINT_PTR) {}
    virtual void Destroy(HWND) {}
};

// The page procedure over a page object made by `make` at WM_INITDIALOG.
INT_PTR RunSettingsPage(std::unique_ptr<CSettingsPage> (*make)(), HWND page, UINT message, WPARAM wParam,
                        LPARAM lParam);

// The block the sheet edits (a default block when no sheet runs).
AppConfig& SheetConfig();

// The input pages' fourteen assignment edits (1056-1069, actions 4-17 in order).
constexpr int kFirstAssignEdit = 1056;
constexpr int kAssignEdits = 14;
// The edit of the page that has the focus (0-13), or -1.
int FocusedAssignEdit(HWND page);
// Gives edit `index` the code (its text the Shift-JIS name; code 0 clears): another edit holding
// the code is cleared first, and the focus moves on.
void AssignCode(HWND page, uint8_t (&codes)[kAssignEdits], int index, uint8_t code, const char* nameSjis);
